# Peer libraries for the benchmarks (OpenCV, pixman, libpng), linked into the programs that
# compare against them. Included from bench/CMakeLists.txt.

# bench_scale: OpenCV's INTER_AREA resize is the peer of the area-averaging scaler.
if(TARGET bench_scale)
  find_package(OpenCV QUIET COMPONENTS core imgproc)
  if(OpenCV_FOUND)
    target_include_directories(bench_scale PRIVATE ${OpenCV_INCLUDE_DIRS})
    target_link_libraries(bench_scale PRIVATE ${OpenCV_LIBS})
    target_compile_definitions(bench_scale PRIVATE TF_BENCH_HAVE_OPENCV=1)
  else()
    message(STATUS "bench_scale: OpenCV not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endif()

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
  find_package(OpenCV QUIET COMPONENTS core imgproc)
  if(OpenCV_FOUND)
    target_include_directories(bench_compose PRIVATE ${OpenCV_INCLUDE_DIRS})
    target_link_libraries(bench_compose PRIVATE ${OpenCV_LIBS})
    target_compile_definitions(bench_compose PRIVATE TF_BENCH_HAVE_OPENCV=1)
  else()
    message(STATUS "bench_compose: OpenCV not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endif()

# bench_surface: QPainter on a QImage is the peer of the controls' drawing surface.
if(TARGET bench_surface)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Gui)
  target_link_libraries(bench_surface PRIVATE Qt6::Gui)
endif()

# bench_masks: OpenCV's per-pixel max, min and multiply, and findContours, are the peers of the
# mask combines and the selection outline trace.
if(TARGET bench_masks)
  find_package(OpenCV QUIET COMPONENTS core imgproc)
  if(OpenCV_FOUND)
    target_include_directories(bench_masks PRIVATE ${OpenCV_INCLUDE_DIRS})
    target_link_libraries(bench_masks PRIVATE ${OpenCV_LIBS})
    target_compile_definitions(bench_masks PRIVATE TF_BENCH_HAVE_OPENCV=1)
  else()
    message(STATUS "bench_masks: OpenCV not found, running without its peer (scripts/deps.sh --bench)")
  endif()
endif()

<<<<<<< HEAD
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
=======
# bench_transform: OpenCV's warpAffine (INTER_LINEAR) and resize (INTER_AREA) are the peers of the
# free layer rotation and the layer scaling.
if(TARGET bench_transform)
  find_package(OpenCV QUIET COMPONENTS core imgproc)
  if(OpenCV_FOUND)
    target_include_directories(bench_transform PRIVATE ${OpenCV_INCLUDE_DIRS})
    target_link_libraries(bench_transform PRIVATE ${OpenCV_LIBS})
    target_compile_definitions(bench_transform PRIVATE TF_BENCH_HAVE_OPENCV=1)
  else()
    message(STATUS "bench_transform: OpenCV not found, running without its peer (scripts/deps.sh --bench)")
>>>>>>> w19
  endif()
endif()
