// Image files: LoadImageFile and the PNG and JPEG writers on a seeded photo-like 4096 x 4096
// picture beside libpng and libjpeg-turbo alone (into and from B, G, R, A rows) and ImageMagick
// (MagickCore in the same process); the preview of an 8000 x 6000 JPEG decoded at 1/8; copy and
// paste of a 4096 x 4096 layer through the clipboard beside building its DIB alone.
//
// Run: build/bench/bench/bench_image_files (ImageMagick's peer from scripts/deps.sh --bench).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "BenchSupport.h"
#include "files/ClipboardExchange.h"
#include "files/FilePreview.h"
#include "files/ImageCodec.h"
#include "files/ImageFiles.h"
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "platform/ClipboardFormats.h"

#if TF_BENCH_HAVE_MAGICK
#include <magick/MagickCore.h>
#endif

namespace tf {
namespace {

constexpr int32_t kSide = 4096;
constexpr double kPixels = double(kSide) * kSide;

std::string Folder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/bench-images-XXXXXX";
    return std::string(::mkdtemp(pattern) ? pattern : "/tmp");
  }();
  return folder;
}

// Smooth gradients, soft blobs and a little grain: compresses like a photograph.
const SDib& Photo24() {
  static SDib dib = [] {
    SDib d;
    d.Make(kSide, kSide, 24, DpiToPelsPerMeter(300));
    uint64_t seed = 0x5eed;
    const int64_t stride = DibRowLength(kSide, 24);
    for (int y = 0; y < kSide; ++y) {
      uint8_t* row = d.pixels.get() + y * stride;
      for (int x = 0; x < kSide; ++x) {
        const int grain = static_cast<int>(XorShift64(seed) & 7) - 4;
        const double fx = x / double(kSide), fy = y / double(kSide);
        const double blob = 60 * std::sin(fx * 9.0) * std::cos(fy * 7.0);
        auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
        row[3 * x] = clamp(90 + 100 * fy + blob + grain);
        row[3 * x + 1] = clamp(120 + 60 * fx - blob / 2 + grain);
        row[3 * x + 2] = clamp(200 - 120 * fy + blob / 3 + grain);
      }
    }
    return d;
  }();
  return dib;
}

// The same picture as B, G, R, A rows, top first.
const std::vector<uint8_t>& PhotoBgra() {
  static std::vector<uint8_t> bgra = [] {
    const SDib& d = Photo24();
    std::vector<uint8_t> out(size_t{4} * kSide * kSide);
    const int64_t stride = DibRowLength(kSide, 24);
    for (int y = 0; y < kSide; ++y) {
      const uint8_t* s = d.pixels.get() + (kSide - 1 - y) * stride;
      uint8_t* o = out.data() + size_t{4} * kSide * y;
      for (int x = 0; x < kSide; ++x) {
        o[4 * x] = s[3 * x], o[4 * x + 1] = s[3 * x + 1], o[4 * x + 2] = s[3 * x + 2], o[4 * x + 3] = 255;
      }
    }
    return out;
  }();
  return bgra;
}

std::map<std::string, int64_t>& FileSizes() {
  static std::map<std::string, int64_t> sizes;
  return sizes;
}

int64_t FileSize(const std::string& path) {
  std::vector<uint8_t> bytes;
  ReadImageFileBytes(path, bytes);
  return static_cast<int64_t>(bytes.size());
}

const std::string& JpegFile() {
  static std::string path = [] {
    const std::string p = Folder() + "/photo.jpg";
    SJpegOptions o;
    o.quality = 90;
    jpegSaveImage(p, Photo24(), o);
    return p;
  }();
  return path;
}

const std::string& PngFile() {
  static std::string path = [] {
    const std::string p = Folder() + "/photo.png";
    pngSaveImage(p, Photo24(), -1);
    return p;
  }();
  return path;
}

// ---- libjpeg-turbo alone ----
struct JErr {
  jpeg_error_mgr pub;
  jmp_buf jump;
};
void JExit(j_common_ptr c) { longjmp(reinterpret_cast<JErr*>(c->err)->jump, 1); }

bool LibjpegDecode(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& out) {
  jpeg_decompress_struct info;
  JErr err;
  info.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  out.resize(size_t{4} * info.output_width * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.data() + size_t{4} * info.output_width * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

void LibjpegEncodeFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct info;
  JErr err;
  info.err = jpeg_std_error(&err.pub);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, f);
  info.image_width = kSide;
  info.image_height = kSide;
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  const SDib& d = Photo24();
  const int64_t stride = DibRowLength(kSide, 24);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = d.pixels.get() + (kSide - 1 - int64_t{info.next_scanline}) * stride;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fflush(f);
  ::fsync(fileno(f));
  std::fclose(f);
}

// ---- libpng alone ----
struct PRead {
  const std::vector<uint8_t>* bytes;
  size_t at;
};
void PngReadFn(png_structp png, png_bytep out, size_t n) {
  auto* r = static_cast<PRead*>(png_get_io_ptr(png));
  std::memcpy(out, r->bytes->data() + r->at, n);
  r->at += n;
}

void LibpngDecode(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  PRead r{&bytes, 0};
  png_set_read_fn(png, &r, PngReadFn);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  out.resize(size_t{4} * w * h);
  std::vector<png_bytep> rows(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = out.data() + size_t{4} * w * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

void LibpngEncodeFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  const SDib& d = Photo24();
  const int64_t stride = DibRowLength(kSide, 24);
  std::vector<png_bytep> rows(kSide);
  for (int y = 0; y < kSide; ++y) rows[y] = d.pixels.get() + (kSide - 1 - y) * stride;
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fflush(f);
  ::fsync(fileno(f));
  std::fclose(f);
}

std::vector<uint8_t> Bytes(const std::string& path) {
  std::vector<uint8_t> b;
  ReadImageFileBytes(path, b);
  return b;
}

// ---- the cases ----
void BM_Load_Jpeg_Ours(benchmark::State& state) {
  const std::string& path = JpegFile();
  for (auto _ : state) benchmark::DoNotOptimize(LoadImageFile(path));
  SetPixelRate(state, kPixels);
  FileSizes()["jpeg (quality 90)"] = FileSize(path);
}
void BM_Load_Jpeg_Libjpeg(benchmark::State& state) {
  const std::string& path = JpegFile();
  for (auto _ : state) {
    std::vector<uint8_t> out;  // a new picture each time, as a load makes
    LibjpegDecode(Bytes(path), out);
  }
  SetPixelRate(state, kPixels);
}
void BM_Load_Png_Ours(benchmark::State& state) {
  const std::string& path = PngFile();
  for (auto _ : state) benchmark::DoNotOptimize(LoadImageFile(path));
  SetPixelRate(state, kPixels);
  FileSizes()["png (default)"] = FileSize(path);
}
void BM_Load_Png_Libpng(benchmark::State& state) {
  const std::string& path = PngFile();
  for (auto _ : state) {
    std::vector<uint8_t> out;  // a new picture each time, as a load makes
    LibpngDecode(Bytes(path), out);
  }
  SetPixelRate(state, kPixels);
}
void BM_Save_Jpeg_Ours(benchmark::State& state) {
  SJpegOptions o;
  o.quality = 90;
  const std::string path = Folder() + "/ours.jpg";
  for (auto _ : state) jpegSaveImage(path, Photo24(), o);
  SetPixelRate(state, kPixels);
}
void BM_Save_Jpeg_Libjpeg(benchmark::State& state) {
  const std::string path = Folder() + "/lib.jpg";
  for (auto _ : state) LibjpegEncodeFile(path);
  SetPixelRate(state, kPixels);
  FileSizes()["jpeg by libjpeg alone"] = FileSize(path);
}
void BM_Save_Png_Ours(benchmark::State& state) {
  const std::string path = Folder() + "/ours.png";
  for (auto _ : state) pngSaveImage(path, Photo24(), -1);
  SetPixelRate(state, kPixels);
}
void BM_Save_Png_Libpng(benchmark::State& state) {
  const std::string path = Folder() + "/lib.png";
  for (auto _ : state) LibpngEncodeFile(path);
  SetPixelRate(state, kPixels);
  FileSizes()["png by libpng alone"] = FileSize(path);
}

#if TF_BENCH_HAVE_MAGICK
void MagickLoad(benchmark::State& state, const std::string& path) {
  std::vector<uint8_t> out(size_t{4} * kSide * kSide);
  for (auto _ : state) {
    ExceptionInfo* e = AcquireExceptionInfo();
    ImageInfo* info = CloneImageInfo(nullptr);
    std::strncpy(info->filename, path.c_str(), MaxTextExtent - 1);
    Image* image = ReadImage(info, e);
    if (image) ExportImagePixels(image, 0, 0, kSide, kSide, "BGRA", CharPixel, out.data(), e);
    if (image) DestroyImage(image);
    DestroyImageInfo(info);
    DestroyExceptionInfo(e);
  }
  SetPixelRate(state, kPixels);
}
void MagickSave(benchmark::State& state, const std::string& path) {
  const std::vector<uint8_t>& bgra = PhotoBgra();
  for (auto _ : state) {
    ExceptionInfo* e = AcquireExceptionInfo();
    Image* image = ConstituteImage(kSide, kSide, "BGRA", CharPixel, bgra.data(), e);
    ImageInfo* info = CloneImageInfo(nullptr);
    info->quality = 90;
    std::strncpy(image->filename, path.c_str(), MaxTextExtent - 1);
    image->quality = 90;
    image->matte = MagickFalse;
    WriteImage(info, image);
    DestroyImage(image);
    DestroyImageInfo(info);
    DestroyExceptionInfo(e);
  }
  SetPixelRate(state, kPixels);
}
void BM_Load_Jpeg_Magick(benchmark::State& state) { MagickLoad(state, JpegFile()); }
void BM_Load_Png_Magick(benchmark::State& state) { MagickLoad(state, PngFile()); }
void BM_Save_Jpeg_Magick(benchmark::State& state) { MagickSave(state, Folder() + "/magick.jpg"); }
void BM_Save_Png_Magick(benchmark::State& state) { MagickSave(state, Folder() + "/magick.png"); }
#endif

// The file dialog's preview of a large JPEG: decoded at 1/8, scaled into 126 x 126.
void BM_Preview_Jpeg8000x6000(benchmark::State& state) {
  static std::string path = [] {
    SDib big;
    big.Make(8000, 6000, 24, 0);
    uint64_t seed = 7;
    // A photo-like picture: smooth colour with a little grain.
    const int64_t stride = DibRowLength(8000, 24);
    for (int64_t y = 0; y < 6000; ++y)
      for (int64_t x = 0; x < 8000; ++x) {
        uint8_t* p = big.pixels.get() + y * stride + 3 * x;
        const uint8_t grain = static_cast<uint8_t>(XorShift64(seed) & 3);
        p[0] = static_cast<uint8_t>(x / 40 + grain), p[1] = static_cast<uint8_t>(y / 30 + grain);
        p[2] = static_cast<uint8_t>((x + y) / 60 + grain);
      }
    const std::string p = Folder() + "/big.jpg";
    jpegSaveImage(p, big, SJpegOptions{});
    return p;
  }();
  TMTC into;
  for (auto _ : state) {
    SSize size;
    benchmark::DoNotOptimize(CFilePreview::MakePicture(path, into, size));
  }
  SetPixelRate(state, 8000.0 * 6000.0, 0);
  FileSizes()["preview source 8000 x 6000 jpeg"] = FileSize(Folder() + "/big.jpg");
}

// Copy (the DIB built and put on the clipboard) and paste (read back as a 32-bit image).
TMTC& Layer() {
  static TMTC image(kSide, kSide);
  static bool filled = [] {
    std::memcpy(image.Bits(), PhotoBgra().data(), PhotoBgra().size());
    return true;
  }();
  (void)filled;
  return image;
}
void BM_Clip_CopyPaste_Ours(benchmark::State& state) {
  MemoryClipboard clipboard;
  ClipboardService* old = SetClipboardService(&clipboard);
  TMTC& layer = Layer();
  for (auto _ : state) {
    ClipboardEmpty(WindowHandle{}, true);
    PutClipboardImage32(WindowHandle{}, layer, SRectWH{0, 0, kSide, kSide});
    benchmark::DoNotOptimize(ReadClipboardImage(WindowHandle{}));
  }
  SetClipboardService(old);
  SetPixelRate(state, kPixels);
}
// The DIB built alone, into a new block each time (as a copy must: the clipboard keeps it).
void BM_Clip_DibBuild(benchmark::State& state) {
  TMTC& layer = Layer();
  for (auto _ : state) {
    std::vector<uint8_t> out;
    BuildClipboardBmp(layer, SRectWH{0, 0, kSide, kSide}, 32, out);
    benchmark::DoNotOptimize(out.data());
  }
  SetPixelRate(state, kPixels);
}

BENCHMARK(BM_Load_Jpeg_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load_Jpeg_Libjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load_Png_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load_Png_Libpng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save_Jpeg_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save_Jpeg_Libjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save_Png_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save_Png_Libpng)->Unit(benchmark::kMillisecond)->UseRealTime();
#if TF_BENCH_HAVE_MAGICK
BENCHMARK(BM_Load_Jpeg_Magick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load_Png_Magick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save_Jpeg_Magick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save_Png_Magick)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
BENCHMARK(BM_Preview_Jpeg8000x6000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Clip_CopyPaste_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Clip_DibBuild)->Unit(benchmark::kMillisecond)->UseRealTime();

// Time per run of each case (ms), then the ratios the goals name and the file sizes.
class ImageReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    // Milliseconds a run took: the pixels of a run (in millions) over its rate.
    auto ms = [&](const char* name, double megapixels = kPixels / 1e6) {
      auto it = rates_.find(std::string(name) + "/real_time");
      return it == rates_.end() || it->second <= 0 ? 0.0 : 1000.0 * megapixels / it->second;
    };
    auto ratio = [&](const char* what, const char* ours, const char* peer) {
      const double a = ms(ours), b = ms(peer);
      if (a > 0 && b > 0) std::printf("  %-34s %8.1f ms vs %8.1f ms   %.2fx\n", what, a, b, a / b);
    };
    std::printf("\nTime of ours over the peer's (lower is better):\n");
    ratio("load JPEG / libjpeg alone", "BM_Load_Jpeg_Ours", "BM_Load_Jpeg_Libjpeg");
    ratio("load PNG / libpng alone", "BM_Load_Png_Ours", "BM_Load_Png_Libpng");
    ratio("save JPEG / libjpeg alone", "BM_Save_Jpeg_Ours", "BM_Save_Jpeg_Libjpeg");
    ratio("save PNG / libpng alone", "BM_Save_Png_Ours", "BM_Save_Png_Libpng");
    ratio("load JPEG / ImageMagick", "BM_Load_Jpeg_Ours", "BM_Load_Jpeg_Magick");
    ratio("load PNG / ImageMagick", "BM_Load_Png_Ours", "BM_Load_Png_Magick");
    ratio("save JPEG / ImageMagick", "BM_Save_Jpeg_Ours", "BM_Save_Jpeg_Magick");
    ratio("save PNG / ImageMagick", "BM_Save_Png_Ours", "BM_Save_Png_Magick");
    ratio("copy+paste 4096^2 / DIB build", "BM_Clip_CopyPaste_Ours", "BM_Clip_DibBuild");
    std::printf("  %-34s %8.1f ms (goal: under 50 ms)\n", "preview of an 8000x6000 JPEG", ms("BM_Preview_Jpeg8000x6000", 48.0));
    std::printf("\nFile sizes of the 4096 x 4096 picture:\n");
    for (const auto& [name, size] : FileSizes()) std::printf("  %-34s %10lld bytes\n", name.c_str(), static_cast<long long>(size));
  }
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
#if TF_BENCH_HAVE_MAGICK
  MagickCoreGenesis(argv[0], MagickFalse);
#endif
  tf::ImageReporter reporter;
  const int result = tf::RunBenchmarks(argc, argv, reporter);
#if TF_BENCH_HAVE_MAGICK
  MagickCoreTerminus();
#endif
  return result;
}
