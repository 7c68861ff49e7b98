// The shared pixel routines of the filters: convolutions with edge extension, the samplers and
// the level curves against an independent numpy model (tests/data/filter_pixels.py), the edge
// cases of each, and the refusals of stores too large for 16.16 positions.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "filters/Convolve.h"
#include "filters/FilterTestSupport.h"
#include "filters/Samplers.h"
#include "raster/ScaleImage.h"
#include "support/PythonReader.h"

namespace tf::test {
namespace {

// Runs the model (filter_pixels.py).
bool RunModel(const std::string& mode, const std::vector<int32_t>& input, std::vector<uint32_t>& out,
              std::string& output) {
  return RunModelScript("filter_pixels.py", mode, input, out, output);
}

void RandomImage(TMTC& image, uint64_t seed, bool someTransparent) {
  const int32_t w = image.Width(), h = image.Height();
  SceneRng rng(seed);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint32_t p = rng.Next();
      if (someTransparent && (rng.Next() % 4) == 0) p &= 0x00FFFFFFu;
      *image.Pixel(x, y) = p;
    }
}

void AppendPixels(std::vector<int32_t>& in, const TMTC& image) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) in.push_back(static_cast<int32_t>(image.GetPixel(x, y)));
}

struct KernelCase {
  const char* name;
  SKernelRect k;
  std::vector<int32_t> weights;
  int32_t divisor;
  int32_t offset;
};

TEST(FilterPixelsTest, ConvolutionsMatchTheModelWithEdgeExtension) {
  const KernelCase cases[] = {
      {"3x3 box", {-1, -1, 3, 3}, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 9, 0},
      {"sharpen with offset", {-1, -1, 3, 3}, {0, -1, 0, -1, 5, -1, 0, -1, 0}, 1, 10},
      {"5x5 uneven", {-2, -2, 5, 5}, {1, 2, 0, -3, 4, 0, 5, 6, 0, 0, 7, -8, 9, 0, 1, 0, 0, 2, 0, 3, 1, 1, 1, 1, 1}, -7, -3},
      {"a window far left of the pixel", {-40, 0, 2, 1}, {3, 1}, 4, 0},
      {"a row kernel", {-3, 0, 7, 1}, {1, 2, 3, 4, 3, 2, 1}, 16, 0},
  };
  TMTC image(17, 13);
  RandomImage(image, 0x5eed, true);
  const SSize size{image.Width(), image.Height()};
  for (const KernelCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int32_t> in = {size.width, size.height, c.k.left, c.k.top, c.k.width, c.k.height, c.divisor, c.offset};
    in.insert(in.end(), c.weights.begin(), c.weights.end());
    AppendPixels(in, image);
    std::vector<uint32_t> model;
    std::string output;
    ASSERT_TRUE(RunModel("conv", in, model, output)) << output;
    ASSERT_EQ(model.size(), static_cast<size_t>(size.width * size.height * 3)) << output;
    size_t at = 0;
    for (int32_t y = 0; y < size.height; ++y)
      for (int32_t x = 0; x < size.width; ++x) {
        uint32_t plain = 0, alpha = 0;
        ConvolvePixel(plain, image, size, c.offset, c.divisor, c.k, c.weights.data(), y, x);
        const bool met = ConvolvePixelAlpha(alpha, image, size, c.offset, c.k, c.weights.data(), y, x);
        ASSERT_EQ(plain, model[at]) << x << "," << y;
        ASSERT_EQ(alpha, model[at + 1]) << x << "," << y;
        ASSERT_EQ(met ? 1u : 0u, model[at + 2]) << x << "," << y;
        at += 3;
      }
  }
}

TEST(FilterPixelsTest, SamplersMatchTheModelBesideTransparentNeighbours) {
  TMTC image(9, 7);
  RandomImage(image, 0xb111, true);
  SceneRng rng(77);
  std::vector<int32_t> points;
  for (int32_t i = 0; i < 300; ++i) {
    points.push_back(rng.Range(0, image.Width() * 65536 - 1));
    points.push_back(rng.Range(0, image.Height() * 65536 - 1));
  }
  // Whole pixels, halves and the last column and row.
  for (const int32_t v : {0, 0x8000, 0x10000, 0x18000, 8 * 65536, 8 * 65536 + 0x8000}) {
    points.push_back(v);
    points.push_back(std::min(v, 6 * 65536 + 0xFFFF));
  }
  const int32_t n = static_cast<int32_t>(points.size() / 2);
  std::vector<int32_t> in = {image.Width(), image.Height(), n};
  in.insert(in.end(), points.begin(), points.end());
  AppendPixels(in, image);
  std::vector<uint32_t> model;
  std::string output;
  ASSERT_TRUE(RunModel("sample", in, model, output)) << output;
  ASSERT_EQ(model.size(), static_cast<size_t>(n) * 5) << output;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t x = points[2 * static_cast<size_t>(i)], y = points[2 * static_cast<size_t>(i) + 1];
    SCOPED_TRACE(testing::Message() << std::hex << x << "," << y);
    const uint32_t* m = &model[static_cast<size_t>(i) * 5];
    EXPECT_EQ(SampleClamped(image, x, y), m[0]);
    EXPECT_EQ(SampleClampedSat(image, x, y), m[1]);
    EXPECT_EQ(SampleWrapped(image, x, y), m[2]);
    EXPECT_EQ(SampleImageBilinear(image, x, y, false), m[3]);
    EXPECT_EQ(SampleImageBilinear(image, x, y, true), m[4]);
  }
}

TEST(FilterPixelsTest, LevelMapMatchesTheModelOverEveryInput) {
  const int32_t sets[][6] = {
      {0, 65536, 65536, 0, 65536, 0},          // identity
      {0, 32768, 65536, 0, 65536, 0},          // square root
      {8000, 98304, 60000, 4000, 61000, 0},    // the upper power branch
      {5000, 40000, 50000, 65536, 1000, 1},    // two halves, output reversed
  };
  std::vector<int32_t> in = {static_cast<int32_t>(std::size(sets))};
  for (const auto& s : sets) in.insert(in.end(), s, s + 6);
  std::vector<uint32_t> model;
  std::string output;
  ASSERT_TRUE(RunModel("levels", in, model, output)) << output;
  ASSERT_EQ(model.size(), std::size(sets) * 65537u) << output;
  size_t at = 0;
  for (const auto& s : sets) {
    int32_t mismatches = 0;
    for (int32_t v = 0; v <= 65536; ++v, ++at) {
      const int32_t mine = LevelMap(v, s[0], s[1], s[2], s[3], s[4], static_cast<uint8_t>(s[5]));
      if (static_cast<uint32_t>(mine) != model[at] && mismatches++ < 5)
        ADD_FAILURE() << "value " << v << " set " << s[0] << "," << s[1] << "," << s[2] << ": " << mine << " vs "
                      << model[at];
    }
  }
  // Middle 65536 in mode 0 is the identity between low and high.
  for (const int32_t v : {0, 1, 12345, 65535, 65536}) EXPECT_EQ(LevelCurve(v, 0, 65536, 65536, 0), v);
}

// The edge cases the routines promise.
TEST(FilterPixelsTest, EdgeCasesOfTheConvolutionsAndSamplers) {
  TMTC image(4, 3);
  image.FillValue(0);
  *image.Pixel(0, 0) = 0xFF102030u;
  const SSize size{4, 3};
  const int32_t box[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  const SKernelRect k3{-1, -1, 3, 3};
  // The corner's missing neighbours are copies of the corner.
  uint32_t out = 0;
  TMTC corner(1, 1);
  *corner.Pixel(0, 0) = 0xFF102030u;
  ConvolvePixel(out, corner, SSize{1, 1}, 0, 9, k3, box, 0, 0);
  EXPECT_EQ(out & 0x00FFFFFFu, 0x102030u);
  // Red beside transparent pixels: pure red, the alpha the weighted mean.
  TMTC red(3, 1);
  red.FillValue(0x00000000u);
  *red.Pixel(1, 0) = 0xFFFF0000u;
  EXPECT_TRUE(ConvolvePixelAlpha(out, red, SSize{3, 1}, 0, SKernelRect{-1, 0, 3, 1}, box, 0, 1));
  EXPECT_EQ(out & 0x00FFFFFFu, 0xFF0000u);
  EXPECT_EQ(out >> 24, 255u / 3);
  // The mean colour of a rectangle whose upper half is transparent: half the lower half's.
  TMTC halves(2, 2);
  *halves.Pixel(0, 0) = *halves.Pixel(1, 0) = 0x00FFFFFFu;
  *halves.Pixel(0, 1) = *halves.Pixel(1, 1) = 0xFF804020u;
  AverageRectColour(out, halves, TRect{0, 0, 2, 2});
  EXPECT_EQ(out, 0x7F402010u);
  // Rounding, modulo.
  EXPECT_EQ(RoundHalfAway(-2.5L), -3);
  EXPECT_EQ(RoundHalfAway(2.5L), 3);
  EXPECT_EQ(RoundHalfAway(-2.4L), -2);
  EXPECT_EQ(PositiveMod(-1, 5), 4);
  EXPECT_EQ(PositiveMod(-5, 5), 0);
  EXPECT_EQ(PositiveMod(INT32_MIN, 7), 7 - static_cast<int32_t>((int64_t{1} << 31) % 7));
  EXPECT_DOUBLE_EQ(FloatMod(-0.5, 3), 2.5);
  EXPECT_EQ(LevelCurve(16384, 0, 32768, 65536, 0), 32768);  // the square root
  EXPECT_EQ(LevelToFix(255), 65536);
  EXPECT_EQ(FixToLevel(32768), 128);
  // Samplers: red and transparent halfway; all transparent.
  TMTC pair(2, 1);
  *pair.Pixel(0, 0) = 0xFFFF0000u;
  *pair.Pixel(1, 0) = 0x00000000u;
  // The colour stays red (the transparent neighbour adds nothing to it) and the alpha halves. The
  // rounding term is a fixed 0x800000, so beside transparent pixels the channels lift by a step:
  // the saturated form holds red at 255, and blue and green at 1.
  const uint32_t half = SampleClampedSat(pair, 0x8000, 0);
  EXPECT_EQ(half & 0x00FFFFFFu, 0xFF0101u);
  EXPECT_NEAR(static_cast<double>(half >> 24), 128.0, 1.0);
  *pair.Pixel(0, 0) = 0;
  EXPECT_EQ(SampleClamped(pair, 0x8000, 0), 0x00FFFFFFu);
  CBlockVMTC store(3, 2);
  store.FillAll(0);
  EXPECT_EQ(SampleStoreBilinear(store, 0x10000, 0, false), 0u);
  store.SetPixel(2, 1, 0x80402010u);
  EXPECT_EQ(SampleStoreBilinear(store, 2 * 65536, 65536, false), 0x80402010u);  // on the pixel, at the edge
  // The global random generator: reproducible from its seed.
  GlobalRandomSeed() = 99;
  int32_t first[3], second[3];
  RandomRGB(first, 1000);
  GlobalRandomSeed() = 99;
  RandomRGB(second, 1000);
  EXPECT_EQ(std::vector<int32_t>(first, first + 3), std::vector<int32_t>(second, second + 3));
  EXPECT_EQ(GlobalRandom(0), 0u);
  ResetGlobalRandom();
  EXPECT_EQ(GlobalRandomSeed(), 0u);
  (void)image;
  (void)size;
}

TEST(FilterPixelsTest, FadedAreaSamplingAndSixteenSixteenLimits) {
  TMTC image(4, 4);
  image.FillValue(0xFF000000u);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 2; ++x) *image.Pixel(x, y) = 0xFFC8C8C8u;
  CScaleImageTMTC scaler(&image, nullptr);
  // An area half outside the clip: the inside half's mean, faded halfway to the fallback.
  const TRect clip{0, 0, 2 * 65536, 4 * 65536};
  uint32_t out = 0;
  ASSERT_TRUE(SampleAreaFaded(out, 0xFF000000u, scaler, &FadeTowardColour, clip, TRect{65536, 0, 3 * 65536, 65536}));
  EXPECT_EQ(out & 0x00FFFFFFu, 0x646464u);
  // Wholly outside: the fallback.
  ASSERT_TRUE(SampleAreaFaded(out, 0xFF123456u, scaler, &FadeTowardColour, clip,
                              TRect{3 * 65536, 0, 4 * 65536, 65536}));
  EXPECT_EQ(out, 0xFF123456u);
  // FadeAlpha: the less inside, the more transparent.
  ASSERT_TRUE(SamplePointInside(out, scaler, &FadeAlpha, clip, 2 * 65536, 65536 + 0x8000));
  EXPECT_LT(out >> 24, 255u);

  // A picture wider than 16.16 positions reach is refused, nothing written.
  class Claimed : public TMTC {
   public:
    Claimed() {
      view_ = SDibView{40000, 2, reinterpret_cast<uint8_t*>(pixels_), rows_};
      ownsBlock_ = ownsRows_ = false;
    }
    ~Claimed() override { view_ = SDibView{0, 0, nullptr, nullptr}; }

   private:
    uint32_t pixels_[2] = {0, 0};
    int32_t rows_[2] = {0, 0};
  };
  Claimed wide;
  CScaleImageTMTC wideScaler(&wide, nullptr);
  out = 0xABCDEF01u;
  EXPECT_FALSE(SampleAreaFaded(out, 0, wideScaler, &FadeTowardColour, clip, TRect{0, 0, 65536, 65536}));
  EXPECT_FALSE(SamplePointInside(out, wideScaler, &FadeAlpha, clip, 0, 0));
  EXPECT_EQ(out, 0xABCDEF01u);
  EXPECT_FALSE(FitsFixedPositions(32768, 10));
  EXPECT_TRUE(FitsFixedPositions(32767, 32767));
}

// The covered convolutions: a zero kernel leaves the layer, a zero divisor and an oversized kernel
// are refused, and a box blur inside a selection matches ConvolvePixel pixel by pixel.
TEST(FilterPixelsTest, CoveredConvolutionsKeepTheCoverageRule) {
  FilterTestScope scope;
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  ASSERT_TRUE(paper.SelectRect(f.Flow(), 0, true, 0, TPoint{3, 3}, TPoint{30, 20}));
  const std::vector<uint32_t> before = LayerPixels(paper, 0);
  static std::vector<int32_t> weights;
  static SKernelRect kernel;
  static int32_t divisor;
  const auto run = [&](FilterProc proc) {
    CFlt4Core core(paper, f.Flow(), 0, proc, false);
    return core.IsValid() && core.Run0(64);
  };
  const FilterProc covered = [](FilterContext& c, const void*, int32_t) {
    return ConvolveCovered(c, weights.data(), kernel, divisor, 0);
  };
  const FilterProc alpha = [](FilterContext& c, const void*, int32_t) {
    return ConvolveCoveredAlpha(c, weights.data(), kernel, 0);
  };
  weights.assign(9, 0);
  kernel = SKernelRect{-1, -1, 3, 3};
  EXPECT_TRUE(run(alpha));
  EXPECT_EQ(LayerPixels(paper, 0), before);
  divisor = 0;
  weights.assign(9, 1);
  EXPECT_FALSE(run(covered));
  EXPECT_EQ(LayerPixels(paper, 0), before);
  weights.assign(257 * 256, 1);
  kernel = SKernelRect{-128, -128, 257, 256};
  EXPECT_FALSE(run(alpha));
  EXPECT_EQ(LayerPixels(paper, 0), before);

  weights.assign(9, 1);
  kernel = SKernelRect{-1, -1, 3, 3};
  divisor = 9;
  TMTC source(f.Layer().StoreWidth(), f.Layer().StoreHeight());
  f.Layer().Store()->CopyAllToImage(source, 0, 0, 255, false);
  ASSERT_TRUE(run(covered));
  const std::vector<uint32_t> after = LayerPixels(paper, 0);
  const SSize size{source.Width(), source.Height()};
  for (int32_t y = 0; y < size.height; ++y)
    for (int32_t x = 0; x < size.width; ++x) {
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(size.width) + static_cast<size_t>(x);
      const int32_t c = ModelCoverage(f.Layer(), paper.GetActiveMask(), x, y);
      uint32_t expected = before[i];
      if (c > 0) {
        uint32_t v = 0;
        ConvolvePixel(v, source, size, 0, 9, kernel, weights.data(), y, x);
        BlendColor(&expected, v, c);
      }
      ASSERT_EQ(after[i], expected) << x << "," << y;
    }
}

}  // namespace
}  // namespace tf::test
