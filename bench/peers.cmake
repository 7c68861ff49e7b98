# Peer libraries for the benchmarks (OpenCV, pixman, libpng), linked into the programs that
# compare against them. Included from bench/CMakeLists.txt.

# OpenCV (core, imgproc) linked into a benchmark that has it as its peer; without it the program
# runs its own cases only.
function(tf_bench_opencv_peer target)
  if(NOT TARGET ${target})
    return()
  endif()
  find_package(OpenCV QUIET COMPONENTS core imgproc)
  if(OpenCV_FOUND)
    target_include_directories(${target} PRIVATE ${OpenCV_INCLUDE_DIRS})
    target_link_libraries(${target} PRIVATE ${OpenCV_LIBS})
    target_compile_definitions(${target} PRIVATE TF_BENCH_HAVE_OPENCV=1)
  else()
    message(STATUS "${target}: OpenCV not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endfunction()

# bench_scale: OpenCV's INTER_AREA resize is the peer of the area-averaging scaler.
tf_bench_opencv_peer(bench_scale)

# bench_blend: pixman's OVER, MULTIPLY and SCREEN are the peers of the layer merges.
if(TARGET bench_blend)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(TF_BLEND_PIXMAN QUIET IMPORTED_TARGET pixman-1)
  endif()
  if(TF_BLEND_PIXMAN_FOUND)
    target_link_libraries(bench_blend PRIVATE PkgConfig::TF_BLEND_PIXMAN)
    target_compile_definitions(bench_blend PRIVATE TF_BENCH_HAVE_PIXMAN=1)
  else()
    message(STATUS "bench_blend: pixman not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endif()

# bench_chunks: libpng's default encode and decode are the peers of the tiled-block chunks.
if(TARGET bench_chunks)
  find_package(PNG QUIET)
  if(PNG_FOUND)
    target_link_libraries(bench_chunks PRIVATE PNG::PNG)
    target_compile_definitions(bench_chunks PRIVATE TF_BENCH_HAVE_PNG=1)
  else()
    message(STATUS "bench_chunks: libpng not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endif()

# bench_compose: pixman composites the same layers; OpenCV's warpAffine paints the same view.
if(TARGET bench_compose)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(TF_COMPOSE_PIXMAN QUIET IMPORTED_TARGET pixman-1)
  endif()
  if(TF_COMPOSE_PIXMAN_FOUND)
    target_link_libraries(bench_compose PRIVATE PkgConfig::TF_COMPOSE_PIXMAN)
    target_compile_definitions(bench_compose PRIVATE TF_BENCH_HAVE_PIXMAN=1)
  else()
    message(STATUS "bench_compose: pixman not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endif()
tf_bench_opencv_peer(bench_compose)

# bench_surface: QPainter on a QImage is the peer of the controls' drawing surface.
if(TARGET bench_surface)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Gui)
  target_link_libraries(bench_surface PRIVATE Qt6::Gui)
endif()

# bench_masks: OpenCV's per-pixel max, min and multiply, and findContours, are the peers of the
# mask combines and the selection outline trace.
tf_bench_opencv_peer(bench_masks)

# bench_dabs: libmypaint's draw_dab on its fixed tiled surface is the peer of the dab renderer.
if(TARGET bench_dabs)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(TF_DABS_MYPAINT QUIET IMPORTED_TARGET libmypaint)
  endif()
  if(TF_DABS_MYPAINT_FOUND)
    target_link_libraries(bench_dabs PRIVATE PkgConfig::TF_DABS_MYPAINT)
    target_compile_definitions(bench_dabs PRIVATE TF_BENCH_HAVE_MYPAINT=1)
  else()
    message(STATUS "bench_dabs: libmypaint not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endif()

# bench_docfile: libpng's default encode of the composed canvas is the peer of saving a document.
if(TARGET bench_docfile)
  find_package(PNG QUIET)
  if(PNG_FOUND)
    target_link_libraries(bench_docfile PRIVATE PNG::PNG)
    target_compile_definitions(bench_docfile PRIVATE TF_BENCH_HAVE_PNG=1)
  else()
    message(STATUS "bench_docfile: libpng not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endif()

# bench_transform: OpenCV's warpAffine (INTER_LINEAR) and resize (INTER_AREA) are the peers of the
# free layer rotation and the layer scaling.
tf_bench_opencv_peer(bench_transform)

# bench_selection_extent: OpenCV's dilate and erode with the octagonal kernel are the peers of the
# selection grow and shrink.
tf_bench_opencv_peer(bench_selection_extent)

# bench_older_blur: OpenCV's 3x3 box blur is the peer of the blur2 pen's area blur.
tf_bench_opencv_peer(bench_older_blur)

# bench_seedfill: OpenCV's floodFill (4-connectivity, fixed range) is the peer of the seed fill.
tf_bench_opencv_peer(bench_seedfill)

# bench_filters: cv::LUT, cv::filter2D, cv::GaussianBlur, cv::medianBlur and cv::cvtColor are the
# peers of the table loops, the convolutions, the blurs, the median and hue/saturation.
tf_bench_opencv_peer(bench_filters)

# ImageMagick (MagickCore, in the same process) as the peer of a benchmark, when installed.
function(tf_bench_magick_peer target)
  if(NOT TARGET ${target})
    return()
  endif()
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(TF_MAGICK_CORE QUIET IMPORTED_TARGET MagickCore)
  endif()
  if(TF_MAGICK_CORE_FOUND)
    target_link_libraries(${target} PRIVATE PkgConfig::TF_MAGICK_CORE)
    target_compile_definitions(${target} PRIVATE TF_BENCH_HAVE_MAGICK=1)
  else()
    message(STATUS "${target}: MagickCore not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endfunction()

# bench_image_files: ImageMagick loads and saves the same picture.
tf_bench_magick_peer(bench_image_files)
# bench_psd: ImageMagick's read of the same PSD file is the peer of the importer.
tf_bench_magick_peer(bench_psd)

# bench_first_window: starts the main window and, as its floor, a bare QMainWindow with a status bar.
if(TARGET bench_first_window)
  target_link_libraries(bench_first_window PRIVATE tfgui)
  set_target_properties(bench_first_window PROPERTIES AUTOMOC ON)
endif()

# bench_draw_window: the document window's widget; its floors are the document's own stroke road
# and QPainter::drawImage, in the same program.
if(TARGET bench_draw_window)
  target_link_libraries(bench_draw_window PRIVATE tfgui)
  set_target_properties(bench_draw_window PROPERTIES AUTOMOC ON)
endif()

# bench_list_view: the brush pane's repaints beside a QListView in icon mode.
if(TARGET bench_list_view)
  target_link_libraries(bench_list_view PRIVATE tfgui)
endif()

# bench_color_pickers: QPainter's linear gradient fill of a QImage is the peer of a picker's redraw.
if(TARGET bench_color_pickers)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Gui)
  target_link_libraries(bench_color_pickers PRIVATE Qt6::Gui)
endif()
