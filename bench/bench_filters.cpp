// The filter runner and its shared loops on 4096 x 4096 pictures, each beside a peer in the same
// run: MapByChannelTables (alpha kept) against OpenCV's cv::LUT, ConvolveCoveredAlpha with a 3 x 3
// kernel against cv::filter2D (one thread each), and a whole recorded run around an algorithm
// that does nothing (backup, refresh, record, undo) against one memcpy of the layer's bytes. Last,
// an on-canvas preview of a 1920 x 1080 view of an 8192 x 8192 layer, in milliseconds. Then the
// filters themselves over a whole opaque 4096 x 4096 layer (a few half-transparent too), each
// beside the nearest OpenCV call: the Gaussian blur against cv::GaussianBlur with our kernel's
// size, blur, blur more and sharpen against the 3 x 3 cv::filter2D, the median against
// cv::medianBlur, levels, posterize and invert against cv::LUT, hue/saturation against a
// cv::cvtColor to HLS and back. The slow ones run once or twice. The moving filters likewise: the
// mirror turns against cv::flip, rotate against cv::warpAffine, scale against cv::resize, wave and
// twirl against cv::remap (maps built outside the timing), polar coordinates against
// cv::warpPolar, the custom 5 x 5 kernel against cv::filter2D, solarize against cv::LUT, the floor
// against cv::warpPerspective from a wrapped 256 x 256 texture; the generators and the lighting
// in milliseconds for the layer and for a 1920 x 1080 preview.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/Mask.h"
#include "filters/Blurs.h"
#include "filters/ColourAdjust.h"
#include "filters/Convolve.h"
#include "filters/Distortions.h"
#include "filters/Floor.h"
#include "filters/Generators.h"
#include "filters/Lighting.h"
#include "filters/PointEffects.h"
#include "filters/FilterContext.h"
#include "filters/FilterCore.h"
#include "filters/NoiseDiffuseMedian.h"
#include "filters/Sharpen.h"
#include "paper/FlowImage.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "raster/BlockVMTC.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int32_t kSide = 4096;
constexpr double kPixels = double{kSide} * kSide;

// How the noise pictures' alpha is made: random, all 255, or all 128.
enum class Alpha { Random, Opaque, Half };

void FillNoise(tf::TMTC& image, Alpha alpha = Alpha::Random) {
  uint64_t s = 0x9e3779b97f4a7c15ull;
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) {
      uint32_t p = static_cast<uint32_t>(tf::XorShift64(s));
      if (alpha == Alpha::Opaque) p |= 0xFF000000u;
      if (alpha == Alpha::Half) p = (p & 0x00FFFFFFu) | 0x80000000u;
      *image.Pixel(x, y) = p;
    }
}

// A context over a whole store with no selection: what the runner builds for such a layer.
struct WholeStore {
  tf::TMTC source{kSide, kSide};
  tf::CBlockVMTC store{kSide, kSide};
  tf::CBlockVMTC backup{kSide, kSide};
  tf::TChannel channel{1, 1};
  tf::CMaskData mask;
  tf::FilterContext context;
  explicit WholeStore(Alpha alpha = Alpha::Random) {
    FillNoise(source, alpha);
    store.CopyAllFromImage(source, 0, 0, 255);
    backup.CopyAllFromImage(source, 0, 0, 255);
    context.Store = &store;
    context.Mask = &mask;
    context.Backup = &backup;
    context.Source = &source;
    context.SourceMask = &channel;
    context.Bounds = context.Work = tf::TRect{0, 0, kSide, kSide};
    context.Coverage = &tf::FullCoverage;
    context.KeepAlpha = 1;
  }
};

uint8_t* Table() {
  static uint8_t table[1024];
  for (int32_t i = 0; i < 256; ++i)
    for (int32_t c = 0; c < 4; ++c) table[4 * i + c] = static_cast<uint8_t>(c == 3 ? i : (i * 7 + c * 31) & 0xFF);
  return table;
}

const int32_t kKernel[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};

void BM_MapByChannelTables(benchmark::State& state) {
  WholeStore w;
  const uint8_t* table = Table();
  for (auto _ : state) {
    // The pixels change each pass; the work does not.
    benchmark::DoNotOptimize(tf::MapByChannelTables(w.context, table, true));
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_ConvolveCoveredAlpha3x3(benchmark::State& state) {
  WholeStore w;
  w.context.KeepAlpha = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tf::ConvolveCoveredAlpha(w.context, kKernel, tf::SKernelRect{-1, -1, 3, 3}, 0));
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

#if defined(TF_BENCH_HAVE_OPENCV)
void BM_CvLUT(benchmark::State& state) {
  cv::setNumThreads(1);
  tf::TMTC picture(kSide, kSide);
  FillNoise(picture);
  cv::Mat src(kSide, kSide, CV_8UC4, picture.Bits());
  cv::Mat dst(kSide, kSide, CV_8UC4);
  cv::Mat lut(1, 256, CV_8UC4, Table());
  for (auto _ : state) {
    cv::LUT(src, lut, dst);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvFilter2D3x3(benchmark::State& state) {
  cv::setNumThreads(1);
  tf::TMTC picture(kSide, kSide);
  FillNoise(picture);
  cv::Mat src(kSide, kSide, CV_8UC4, picture.Bits());
  cv::Mat dst(kSide, kSide, CV_8UC4);
  cv::Mat kernel(3, 3, CV_32F);
  for (int32_t i = 0; i < 9; ++i) kernel.at<float>(i / 3, i % 3) = static_cast<float>(kKernel[i]) / 16.0f;
  for (auto _ : state) {
    cv::filter2D(src, dst, -1, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}
#endif

// ---- The filters over a whole layer, each beside its nearest OpenCV call.

// sigma as the Gaussian blur's block (a Single and a zero word).
std::vector<uint8_t> SigmaBlock(float sigma) {
  std::vector<uint8_t> b(8, 0);
  std::memcpy(b.data(), &sigma, 4);
  return b;
}

// The side of our Gaussian kernel for sigma: every tap the filter reads.
int32_t GaussianSide(double sigma) {
  std::vector<float> k1(1025), k2(1025);
  int32_t r1 = 0, r2 = 0;
  tf::BuildGaussianKernelsFloat(k1.data(), k2.data(), 1025, sigma, 1025, r1, r2);
  return 2 * r1 + 1;
}

std::vector<uint8_t> LevelsBlock() {
  std::vector<uint8_t> b(tf::kLevelsBlock, 0);
  const uint8_t master[5] = {12, 80, 240, 3, 250}, red[5] = {40, 130, 200, 0, 255};
  for (int32_t c = 0; c < 4; ++c) {
    const uint8_t plain[5] = {0, 100, 255, 0, 255};
    for (int32_t f = 0; f < 5; ++f) b[4 * f + c] = c == 0 ? master[f] : c == 1 ? red[f] : plain[f];
  }
  return b;
}

std::vector<uint8_t> WordsBlock(std::initializer_list<int32_t> words) {
  std::vector<uint8_t> b(words.size() * 4);
  std::memcpy(b.data(), words.begin(), b.size());
  return b;
}

// One whole-layer run of proc with block per iteration (Source and Backup stay unfiltered, so
// every pass does the same work).
void BM_Ours(benchmark::State& state, tf::FilterProc proc, std::vector<uint8_t> block, Alpha alpha) {
  WholeStore w(alpha);
  w.context.KeepAlpha = 0;
  const void* data = block.empty() ? nullptr : block.data();
  for (auto _ : state) {
    if (!proc(w.context, data, static_cast<int32_t>(block.size()))) state.SkipWithError("the filter failed");
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

// A whole-layer run with Work cut to a 1920 x 1080 preview.
void BM_OursPreview(benchmark::State& state, tf::FilterProc proc, std::vector<uint8_t> block) {
  WholeStore w(Alpha::Opaque);
  w.context.KeepAlpha = 0;
  w.context.Work = tf::TRect{1000, 1000, 1000 + 1920, 1000 + 1080};
  const void* data = block.empty() ? nullptr : block.data();
  for (auto _ : state) {
    if (!proc(w.context, data, static_cast<int32_t>(block.size()))) state.SkipWithError("the filter failed");
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, 1920.0 * 1080.0);
}

std::vector<uint8_t> FloatWords(float f, int32_t second) {
  std::vector<uint8_t> b(8, 0);
  std::memcpy(b.data(), &f, 4);
  std::memcpy(b.data() + 4, &second, 4);
  return b;
}

// The filters whose blocks are not words: the block built once, the size argument ignored.
bool CustomRun(tf::FilterContext& c, const void*, int32_t) {
  static std::vector<uint8_t> data(108);
  static tf::SFilterParam50 block = [] {
    tf::SFilterParam50 b{};
    tf::InitFilterBlock50(b, 1, 108);
    int32_t k[27];
    for (int32_t i = 0; i < 25; ++i) k[i] = (i * 7) % 5 - 2;
    k[25] = 3;
    k[26] = 10;
    std::memcpy(data.data(), k, 108);
    b.data = data.data();
    return b;
  }();
  return tf::CustomKernelFilter(c, &block, 50);
}

bool LightingRun(tf::FilterContext& c, const void*, int32_t) {
  static std::vector<uint8_t> data(56);
  static tf::SFilterParam50 block = [] {
    tf::SFilterParam50 b{};
    tf::InitFilterBlock50(b, 1, 56);
    const int32_t words[4] = {2, 250, static_cast<int32_t>(0xFFFCF9E9u), 150};
    std::memcpy(data.data(), words, 16);
    const float x = 0.4f, y = 0.6f, dir = 0.7f, tilt = 0.5f;
    std::memcpy(data.data() + 16, &x, 4);
    std::memcpy(data.data() + 20, &y, 4);
    const int32_t height = 40, spread = 80;
    std::memcpy(data.data() + 24, &height, 4);
    std::memcpy(data.data() + 28, &dir, 4);
    std::memcpy(data.data() + 32, &tilt, 4);
    std::memcpy(data.data() + 36, &spread, 4);
    b.data = data.data();
    const uint32_t ambient = 0xFFFFFEC7u;
    const int32_t level = 60;
    std::memcpy(b.Inline(), &ambient, 4);
    std::memcpy(b.Inline() + 4, &level, 4);
    return b;
  }();
  return tf::LightingFilter(c, &block, 50);
}

tf::TMTC& FloorTexture() {
  static tf::TMTC texture(256, 256);
  static const bool filled = [] {
    FillNoise(texture, Alpha::Opaque);
    return true;
  }();
  (void)filled;
  return texture;
}

bool FloorRun(tf::FilterContext& c, const void*, int32_t) {
  static tf::SFltFloor block = [] {
    tf::SFltFloor b;
    tf::InitFloorBlock(b);
    b.ceiling.image = b.floor.image = &FloorTexture();
    uint8_t* v = b.values;
    const int32_t shift = 50, proj = 100, height = 100, fog = 100;
    const float eye = 50.0f, tilt = 0.2f;
    std::memcpy(v + 0, &shift, 4);
    std::memcpy(v + 4, &eye, 4);
    std::memcpy(v + 8, &shift, 4);
    std::memcpy(v + 16, &tilt, 4);
    std::memcpy(v + 24, &proj, 4);
    std::memcpy(v + 28, &height, 4);
    std::memcpy(v + 32, &fog, 4);
    v[40] = 0;
    v[41] = 0;
    v[42] = 3;
    v[44] = 1;
    v[45] = 2;
    v[46] = 50;
    for (int32_t i = 0; i < 4; ++i) {
      const int16_t side = 256;
      std::memcpy(v + 47 + 2 * i, &side, 2);
    }
    return b;
  }();
  return tf::FloorFilter(c, &block, 87);
}

#if defined(TF_BENCH_HAVE_OPENCV)
// An opaque noise picture and a destination of its size for the OpenCV peers.
struct CvPicture {
  tf::TMTC picture{kSide, kSide};
  cv::Mat src, dst{kSide, kSide, CV_8UC4};
  CvPicture() {
    cv::setNumThreads(1);
    FillNoise(picture, Alpha::Opaque);
    src = cv::Mat(kSide, kSide, CV_8UC4, picture.Bits());
  }
};

void BM_CvGaussianBlur(benchmark::State& state, double sigma) {
  CvPicture p;
  const int32_t side = GaussianSide(sigma);
  state.SetLabel("ksize " + std::to_string(side));
  for (auto _ : state) {
    cv::GaussianBlur(p.src, p.dst, cv::Size(side, side), sigma, sigma, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvMedianBlur(benchmark::State& state, int ksize) {
  CvPicture p;
  for (auto _ : state) {
    cv::medianBlur(p.src, p.dst, ksize);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvFlip(benchmark::State& state) {
  CvPicture p;
  for (auto _ : state) {
    cv::flip(p.src, p.dst, 1);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvWarpAffine30(benchmark::State& state) {
  CvPicture p;
  const cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(kSide / 2.0f, kSide / 2.0f), -30.0, 1.0);
  for (auto _ : state) {
    cv::warpAffine(p.src, p.dst, m, cv::Size(kSide, kSide), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

// 50 %: the whole picture into a quarter; 200 %: the middle quarter into the whole (the same
// output count as ours).
void BM_CvResize(benchmark::State& state, int percent) {
  CvPicture p;
  const cv::Mat from = percent < 100 ? p.src : p.src(cv::Rect(kSide / 4, kSide / 4, kSide / 2, kSide / 2));
  const cv::Size to = percent < 100 ? cv::Size(kSide / 2, kSide / 2) : cv::Size(kSide, kSide);
  cv::Mat dst;
  for (auto _ : state) {
    cv::resize(from, dst, to, 0, 0, percent < 100 ? cv::INTER_AREA : cv::INTER_LINEAR);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

// Maps of the wave (0) or the twirl (1), built outside the timing.
void BM_CvRemap(benchmark::State& state, int kind) {
  CvPicture p;
  cv::Mat mapX(kSide, kSide, CV_32F), mapY(kSide, kSide, CV_32F);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) {
      float sx, sy;
      if (kind == 0) {
        sx = x + 6.0f * std::sin(y * 0.01f);
        sy = y + 4.0f * std::cos(x * 0.01f);
      } else {
        const float dx = x - kSide / 2.0f, dy = y - kSide / 2.0f;
        const float d = std::sqrt(dx * dx + dy * dy) / (kSide / 2.0f);
        const float a = d < 1 ? 2.6f * (1 - d) * (1 - d) : 0.0f;
        sx = kSide / 2.0f + dx * std::cos(a) - dy * std::sin(a);
        sy = kSide / 2.0f + dx * std::sin(a) + dy * std::cos(a);
      }
      mapX.at<float>(y, x) = sx;
      mapY.at<float>(y, x) = sy;
    }
  for (auto _ : state) {
    cv::remap(p.src, p.dst, mapX, mapY, cv::INTER_LINEAR, kind == 0 ? cv::BORDER_WRAP : cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvWarpPolar(benchmark::State& state) {
  CvPicture p;
  for (auto _ : state) {
    cv::warpPolar(p.src, p.dst, cv::Size(kSide, kSide), cv::Point2f(kSide / 2.0f, kSide / 2.0f), kSide / 2.0,
                  cv::INTER_LINEAR | cv::WARP_POLAR_LINEAR | cv::WARP_INVERSE_MAP);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvFilter2D5x5(benchmark::State& state) {
  CvPicture p;
  cv::Mat kernel(5, 5, CV_32F);
  for (int32_t i = 0; i < 25; ++i) kernel.at<float>(i / 5, i % 5) = static_cast<float>((i * 7) % 5 - 2) / 3.0f;
  for (auto _ : state) {
    cv::filter2D(p.src, p.dst, -1, kernel, cv::Point(-1, -1), 10, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

// The floor's texture wrapped onto a tilted plane.
void BM_CvWarpPerspective(benchmark::State& state) {
  CvPicture p;
  const cv::Mat texture(256, 256, CV_8UC4, FloorTexture().Bits());
  const cv::Point2f from[4] = {{0, 0}, {255, 0}, {255, 255}, {0, 255}};
  const cv::Point2f to[4] = {{1800, 2100}, {2300, 2100}, {4096 + 6000, 4096}, {-6000, 4096}};
  const cv::Mat h = cv::getPerspectiveTransform(from, to);
  for (auto _ : state) {
    cv::warpPerspective(texture, p.dst, h, cv::Size(kSide, kSide), cv::INTER_LINEAR, cv::BORDER_WRAP);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvHlsRoundTrip(benchmark::State& state) {
  CvPicture p;
  cv::Mat hls(kSide, kSide, CV_8UC3);
  for (auto _ : state) {
    cv::cvtColor(p.src, hls, cv::COLOR_BGR2HLS);
    cv::cvtColor(hls, p.dst, cv::COLOR_HLS2BGR, 4);
    benchmark::DoNotOptimize(p.dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}
#endif

// A document of one 4096 x 4096 layer full of pixels, recording.
struct Document {
  tf::HeadlessDocumentWindow window;
  bool ok = false;
  explicit Document(int32_t side) {
    tf::TPaper& paper = window.Paper();
    ok = paper.InitDocument("", &window.Flow(), false, false, 72, side, side, side, side);
    tf::TMTC picture(side, side);
    FillNoise(picture);
    ok = ok && paper.GetLayer(0)->Store()->CopyAllFromImage(picture, 0, 0, 255);
    paper.CommitFlowImage(&window.Flow(), 0, false);
  }
};

bool NoOp(tf::FilterContext& c, const void*, int32_t) { return tf::CheckFilterContext(c); }

void BM_RunnerAroundNoOp(benchmark::State& state) {
  Document d(kSide);
  if (!d.ok) state.SkipWithError("no document");
  tf::TPaper& paper = d.window.Paper();
  for (auto _ : state) {
    tf::CFlt4Core core(paper, &d.window.Flow(), 0, &NoOp, true);
    benchmark::DoNotOptimize(core.IsValid() && core.Run0(81));
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_MemcpyLayer(benchmark::State& state) {
  std::vector<uint32_t> from(static_cast<size_t>(kPixels), 1), to(static_cast<size_t>(kPixels));
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * 4);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

bool InvertRgb(tf::FilterContext& c, const void*, int32_t) {
  static uint8_t table[1024];
  for (int32_t i = 0; i < 256; ++i)
    for (int32_t ch = 0; ch < 4; ++ch) table[4 * i + ch] = static_cast<uint8_t>(ch == 3 ? i : 255 - i);
  return tf::MapByChannelTables(c, table, true);
}

void BM_PreviewOfAView(benchmark::State& state) {
  Document d(8192);
  if (!d.ok) state.SkipWithError("no document");
  d.window.clientSize = tf::SSize{1920, 1080};
  tf::TPaper& paper = d.window.Paper();
  tf::CFlt4Core core(paper, &d.window.Flow(), 0, &InvertRgb, false);
  for (auto _ : state) benchmark::DoNotOptimize(core.ApplyPreview(nullptr, 0));
  core.RestorePreview(false);
  tf::SetPixelRate(state, 1920.0 * 1080.0);
}

class FilterRatioReporter : public tf::RateReporter {
 protected:
  // Without the "/iterations:n" the slow runs carry, so that the summary names stay short.
  std::string RateName(const Run& run) const override {
    std::string name = run.benchmark_name();
    const size_t at = name.find("/iterations:");
    if (at != std::string::npos) {
      const size_t end = name.find('/', at + 1);
      name.erase(at, end == std::string::npos ? std::string::npos : end - at);
    }
    return name;
  }

 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto rate = [&](const char* name) {
      auto it = rates_.find(name);
      return it == rates_.end() ? 0.0 : it->second;
    };
    const auto ratio = [&](const char* what, const char* ours, const char* peer) {
      const double a = rate(ours), b = rate(peer);
      if (a > 0 && b > 0)
        std::printf("  %-50s %.2fx of the peer's speed\n", what, a / b);
      else
        std::printf("  %-50s no peer in this run (scripts/deps.sh --bench)\n", what);
    };
    std::printf("\nSpeed against the peers (above 1.0 is faster):\n");
    ratio("MapByChannelTables vs cv::LUT", "BM_MapByChannelTables/real_time", "BM_CvLUT/real_time");
    ratio("ConvolveCoveredAlpha 3x3 vs cv::filter2D", "BM_ConvolveCoveredAlpha3x3/real_time",
          "BM_CvFilter2D3x3/real_time");
    const auto pair = [&](const char* what, const std::string& ours, const std::string& peer) {
      ratio(what, ("BM_Ours/" + ours + "/real_time").c_str(), (peer + "/real_time").c_str());
    };
    pair("Gaussian sigma 1 vs cv::GaussianBlur", "gauss_1", "BM_CvGaussianBlur/sigma_1");
    pair("Gaussian sigma 3 vs cv::GaussianBlur", "gauss_3", "BM_CvGaussianBlur/sigma_3");
    pair("Gaussian sigma 3, alpha 128 vs cv::GaussianBlur", "gauss_3_half", "BM_CvGaussianBlur/sigma_3");
    pair("Gaussian sigma 10 vs cv::GaussianBlur", "gauss_10", "BM_CvGaussianBlur/sigma_10");
    pair("blur vs cv::filter2D 3x3", "blur", "BM_CvFilter2D3x3");
    pair("blur, alpha 128 vs cv::filter2D 3x3", "blur_half", "BM_CvFilter2D3x3");
    pair("blur more vs cv::filter2D 3x3", "blur_more", "BM_CvFilter2D3x3");
    pair("sharpen vs cv::filter2D 3x3", "sharpen", "BM_CvFilter2D3x3");
    pair("median r 1 vs cv::medianBlur 3", "median_1", "BM_CvMedianBlur/ksize_3");
    pair("median r 8 vs cv::medianBlur 17", "median_8", "BM_CvMedianBlur/ksize_17");
    pair("levels vs cv::LUT", "levels", "BM_CvLUT");
    pair("posterize vs cv::LUT", "posterize", "BM_CvLUT");
    pair("invert vs cv::LUT", "invert", "BM_CvLUT");
    pair("hue/saturation vs cv::cvtColor HLS and back", "hue_saturation", "BM_CvHlsRoundTrip");
    pair("flip horizontal vs cv::flip", "flip_h", "BM_CvFlip");
    pair("half turn vs cv::flip", "rotate_180", "BM_CvFlip");
    pair("rotate 30 vs cv::warpAffine", "rotate_30", "BM_CvWarpAffine30");
    pair("scale 50 % vs cv::resize", "scale_50", "BM_CvResize/percent_50");
    pair("scale 200 % vs cv::resize", "scale_200", "BM_CvResize/percent_200");
    pair("wave vs cv::remap", "wave", "BM_CvRemap/wave");
    pair("twirl vs cv::remap", "twirl", "BM_CvRemap/twirl");
    pair("polar vs cv::warpPolar", "polar", "BM_CvWarpPolar");
    pair("custom 5x5 vs cv::filter2D", "custom", "BM_CvFilter2D5x5");
    pair("solarize vs cv::LUT", "solarize", "BM_CvLUT");
    pair("floor vs cv::warpPerspective", "floor", "BM_CvWarpPerspective");
    const auto ms = [&](const char* what, const char* name, double pixels) {
      const double r = rate(name);
      if (r > 0) std::printf("  %-50s %.1f ms\n", what, pixels / r / 1e3);
    };
    for (const char* g : {"clouds", "plasma", "rock", "lighting"}) {
      const std::string layer = std::string("BM_Ours/") + g + "/real_time";
      const std::string view = std::string("BM_OursPreview/") + g + "/real_time";
      ms((std::string(g) + ", 4096^2 layer").c_str(), layer.c_str(), kPixels);
      ms((std::string(g) + ", 1920x1080 preview").c_str(), view.c_str(), 1920.0 * 1080.0);
    }
    const double runner = rate("BM_RunnerAroundNoOp/real_time"), copy = rate("BM_MemcpyLayer/real_time");
    if (runner > 0 && copy > 0)
      std::printf("  %-50s %.2fx the time of one memcpy of the layer\n", "runner around a no-op", copy / runner);
    const double preview = rate("BM_PreviewOfAView/real_time");
    if (preview > 0)
      std::printf("  %-50s %.1f ms\n", "preview of a 1920x1080 view, 8192^2 layer", 1920.0 * 1080.0 / preview / 1e3);
  }
};

}  // namespace

BENCHMARK(BM_MapByChannelTables)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvolveCoveredAlpha3x3)->UseRealTime()->Unit(benchmark::kMillisecond);
#if defined(TF_BENCH_HAVE_OPENCV)
BENCHMARK(BM_CvLUT)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvFilter2D3x3)->UseRealTime()->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_RunnerAroundNoOp)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyLayer)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewOfAView)->UseRealTime()->Unit(benchmark::kMillisecond);

// The filters: a pass over a whole layer takes tens of milliseconds to seconds, so a few passes.
#define TF_FILTER_RUN(name, proc, block, alpha, passes) \
  BENCHMARK_CAPTURE(BM_Ours, name, proc, block, alpha)   \
      ->Iterations(passes)                               \
      ->UseRealTime()                                    \
      ->Unit(benchmark::kMillisecond)
TF_FILTER_RUN(gauss_1, &tf::GaussianBlurFilter, SigmaBlock(1), Alpha::Opaque, 3);
TF_FILTER_RUN(gauss_3, &tf::GaussianBlurFilter, SigmaBlock(3), Alpha::Opaque, 3);
TF_FILTER_RUN(gauss_3_half, &tf::GaussianBlurFilter, SigmaBlock(3), Alpha::Half, 3);
TF_FILTER_RUN(gauss_10, &tf::GaussianBlurFilter, SigmaBlock(10), Alpha::Opaque, 2);
TF_FILTER_RUN(blur, &tf::BlurFilter, {}, Alpha::Opaque, 3);
TF_FILTER_RUN(blur_half, &tf::BlurFilter, {}, Alpha::Half, 3);
TF_FILTER_RUN(blur_more, &tf::BlurMoreFilter, {}, Alpha::Opaque, 3);
TF_FILTER_RUN(sharpen, &tf::SharpenFilter, {}, Alpha::Opaque, 3);
TF_FILTER_RUN(median_1, &tf::MedianFilter, WordsBlock({1, 0}), Alpha::Opaque, 2);
TF_FILTER_RUN(median_8, &tf::MedianFilter, WordsBlock({8, 0}), Alpha::Opaque, 1);
TF_FILTER_RUN(levels, &tf::LevelsFilter, LevelsBlock(), Alpha::Opaque, 3);
TF_FILTER_RUN(posterize, &tf::PosterizeFilter, WordsBlock({5, 0}), Alpha::Opaque, 3);
TF_FILTER_RUN(invert, &tf::InvertFilter, {}, Alpha::Opaque, 3);
TF_FILTER_RUN(hue_saturation, &tf::HueSaturationFilter, WordsBlock({-90, 0, 0, 0x0100}), Alpha::Opaque, 3);
TF_FILTER_RUN(flip_h, &tf::FlipHorizontalFilter, {}, Alpha::Opaque, 3);
TF_FILTER_RUN(rotate_180, &tf::Rotate180Filter, {}, Alpha::Opaque, 3);
TF_FILTER_RUN(rotate_30, &tf::RotateFilter, FloatWords(30.0f, 1 << 8), Alpha::Opaque, 2);
TF_FILTER_RUN(scale_50, &tf::ScaleFilter, WordsBlock({2048, 2048, 1 << 8, 0}), Alpha::Opaque, 2);
TF_FILTER_RUN(scale_200, &tf::ScaleFilter, WordsBlock({8192, 8192, 1 << 8, 0}), Alpha::Opaque, 2);
TF_FILTER_RUN(wave, &tf::WaveFilterV2, WordsBlock({3 | 2 << 8 | 6 << 16 | 4 << 24, 0}), Alpha::Opaque, 2);
TF_FILTER_RUN(twirl, &tf::TwirlFilter, WordsBlock({150 | 1 << 16, 0}), Alpha::Opaque, 2);
TF_FILTER_RUN(polar, &tf::PolarFilter, WordsBlock({0, 0}), Alpha::Opaque, 2);
TF_FILTER_RUN(custom, &CustomRun, {}, Alpha::Opaque, 2);
TF_FILTER_RUN(solarize, &tf::SolarizeFilter, {}, Alpha::Opaque, 3);
TF_FILTER_RUN(floor, &FloorRun, {}, Alpha::Opaque, 2);
TF_FILTER_RUN(clouds, &tf::CloudsFilter, WordsBlock({static_cast<int32_t>(0xFF000000u), -1, 7, 256 | 255 << 24}), Alpha::Opaque, 2);
TF_FILTER_RUN(plasma, &tf::PlasmaFilter, WordsBlock({7, 256 << 16, 255 << 8, 0}), Alpha::Opaque, 2);
TF_FILTER_RUN(rock, &tf::CloudsRockFilter, WordsBlock({static_cast<int32_t>(0xFF000000u), -1, 7, 256 | 256 << 16, 300 | 40 << 16, 0}), Alpha::Opaque, 2);
TF_FILTER_RUN(lighting, &LightingRun, {}, Alpha::Opaque, 2);
#define TF_PREVIEW_RUN(name, proc, block) \
  BENCHMARK_CAPTURE(BM_OursPreview, name, proc, block)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond)
TF_PREVIEW_RUN(clouds, &tf::CloudsFilter, WordsBlock({static_cast<int32_t>(0xFF000000u), -1, 7, 256 | 255 << 24}));
TF_PREVIEW_RUN(plasma, &tf::PlasmaFilter, WordsBlock({7, 256 << 16, 255 << 8, 0}));
TF_PREVIEW_RUN(rock, &tf::CloudsRockFilter, WordsBlock({static_cast<int32_t>(0xFF000000u), -1, 7, 256 | 256 << 16, 300 | 40 << 16, 0}));
TF_PREVIEW_RUN(lighting, &LightingRun, {});
#if defined(TF_BENCH_HAVE_OPENCV)
BENCHMARK(BM_CvFlip)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvWarpAffine30)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvResize, percent_50, 50)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvResize, percent_200, 200)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvRemap, wave, 0)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvRemap, twirl, 1)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvWarpPolar)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvFilter2D5x5)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvWarpPerspective)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvGaussianBlur, sigma_1, 1.0)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvGaussianBlur, sigma_3, 3.0)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvGaussianBlur, sigma_10, 10.0)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvMedianBlur, ksize_3, 3)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CvMedianBlur, ksize_17, 17)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvHlsRoundTrip)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
#endif

int main(int argc, char** argv) {
  FilterRatioReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
