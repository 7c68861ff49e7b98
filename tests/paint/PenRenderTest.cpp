// The dab renderer: dabs by property against independent models (the footprint walk, the blur's
// clamped box mean, the coverage composites), the render types' writer swaps, clipping, the
// settings and the assertion failures.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "document/BlendMode.h"
#include "paint/CoverageComposite.h"
#include "paint/Gradient.h"
#include "paint/NibShape.h"
#include "paint/PaintFakes.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "raster/BlockVMTC.h"
#include "raster/ColorMath.h"
#include "raster/FlatImage.h"
#include "raster/PixelOps.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::XorShiftRng;

class PenRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPixelWriters();
    stroke.SetColor(0x00204080u);
  }
  void TearDown() override { ResetPixelWriters(); }

  void SetType(uint8_t type, uint16_t effect = 0, uint16_t env = 0, uint16_t speed = 0) {
    SPenParam p{};
    p.type = type;
    p.effect = effect;
    p.env = env;
    p.speed = speed;
    pen.SetPenParams(p, 7);
  }
  void SetRadius(float r) {
    SNibShape s{};
    s.Init(r);
    pen.SetNibShape(s);
  }

  TStroke stroke{0};
  CPenRender pen{&stroke};
};

void FillRandom(TMTC& image, uint64_t seed) {
  XorShiftRng rng(seed);
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = rng.Next();
}

void FillRandom(CBlockVMTC& store, uint64_t seed) {
  XorShiftRng rng(seed);
  for (int32_t y = 0; y < store.Height(); ++y)
    for (int32_t x = 0; x < store.Width(); ++x) ASSERT_TRUE(store.SetPixel(x, y, rng.Next()));
}

// The value the walk writes at (x, y), read from the footprint the renderer prepared for the dab
// at (dx, dy), straight through CPenShape.SampleAt.
int32_t ModelValue(const CPenRender& pen, const SDabPoint& dab, uint32_t flag, int32_t x, int32_t y) {
  const TRect& b = pen.DabBounds();
  if (x < b.left || x >= b.right || y < b.top || y >= b.bottom) return 0;
  const Fixed cx = SingleToFix(dab.x), cy = SingleToFix(dab.y);
  int64_t c = pen.Rasteriser().SampleAt((x << 16) - cx + 0x8000, (y << 16) - cy + 0x8000);
  if (flag != 0) c = static_cast<uint32_t>(c) < flag ? 0 : 0xFF0000;
  const int64_t f = (c * SingleToFix(dab.opacity)) >> 16;
  return f > 0xFFFF ? static_cast<int32_t>(f >> 16) : 0;
}

// ---------------------------------------------------------------------------------------------
// The footprint walk

struct WalkCase {
  float x, y, size, opacity;
  int32_t aspect;  // x 1000
  uint8_t exact;
  uint32_t flag = 0;   // the hard edge
  bool blend = false;  // BlendColor (alpha kept) instead of PixelPaintOver
};

class PenRenderWalk : public PenRenderTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(PenRenderWalk, PaintDabMatchesTheFootprintModel) {
  const WalkCase& c = GetParam();
  SetType(kRenderPaint);
  pen.SetPenHeader(-1, c.exact, -1, -1);
  SNibShape s{};
  s.Init(c.size);
  s.aspect = c.aspect;
  s.angle = 300;
  pen.SetNibShape(s);
  pen.SetNibFlag(c.flag);
  const PixelOp op = c.blend ? &BlendColor : &PixelPaintOver;
  SetColourWriter(op);
  TMTC image(80, 70);
  FillRandom(image, 11);
  TMTC before(image);
  const SDabPoint dab{c.x, c.y, c.opacity};
  const uint32_t colour = 0x00336699u;
  const bool drawn = pen.DabToImage(image, dab, colour, c.size);
  ASSERT_FALSE(pen.HasFailure());
  int32_t written = 0;
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      uint32_t expected = before.GetPixel(x, y);
      const int32_t v = drawn ? ModelValue(pen, dab, c.flag, x, y) : 0;
      if (v > 0) {
        op(&expected, colour, v);
        ++written;
      }
      ASSERT_EQ(image.GetPixel(x, y), expected) << "pixel " << x << ", " << y;
    }
  }
  EXPECT_EQ(written > 0, drawn && c.opacity >= 0.01f);
}

INSTANTIATE_TEST_SUITE_P(
    Paint, PenRenderWalk,
    ::testing::Values(WalkCase{20.3f, 30.7f, 2.0f, 1.0f, 1000, 0}, WalkCase{20.5f, 30.5f, 2.3f, 0.7f, 1000, 0},
                      WalkCase{40.1f, 35.2f, 8.0f, 1.0f, 1000, 0}, WalkCase{40.0f, 35.0f, 32.0f, 0.5f, 1000, 0},
                      WalkCase{30.6f, 20.2f, 12.0f, 1.0f, 400, 0}, WalkCase{30.6f, 20.2f, 5.5f, 0.9f, 1000, 1},
                      WalkCase{30.6f, 20.2f, 9.0f, 0.9f, 500, 1},
                      // Centres outside the image: the clipped part only.
                      WalkCase{-3.4f, 10.0f, 6.0f, 1.0f, 1000, 0}, WalkCase{78.0f, 68.5f, 9.0f, 1.0f, 1000, 0},
                      WalkCase{-30.0f, 10.0f, 6.0f, 1.0f, 1000, 0},
                      // Hard edges at part opacity, and the alpha-keeping writer.
                      WalkCase{30.6f, 20.2f, 7.0f, 0.6f, 1000, 0, 1, false},
                      WalkCase{30.6f, 20.2f, 2.5f, 0.6f, 700, 0, 1, true},
                      WalkCase{30.6f, 20.2f, 17.0f, 0.8f, 1000, 0, 0, true},
                      WalkCase{30.6f, 20.2f, 4.0f, 0.3f, 1000, 1, 0, true}));

TEST_F(PenRenderTest, ClippedDabEqualsTheSameDabOnALargerPicture) {
  SetType(kRenderPaint);
  SetRadius(7.5f);
  SetColourWriter(&PixelPaintOver);
  TMTC big(60, 60), small(20, 20);
  big.FillValue(0xFF808080u);
  small.FillValue(0xFF808080u);
  // The small picture is the big one's corner (20, 20) .. (40, 40).
  ASSERT_TRUE(pen.DabToImage(big, SDabPoint{23.3f, 41.6f, 1.0f}, 0x00FF0000u, 7.5f));
  ASSERT_TRUE(pen.DabToImage(small, SDabPoint{3.3f, 21.6f, 1.0f}, 0x00FF0000u, 7.5f));
  EXPECT_EQ(pen.DabBounds(), (TRect{0, 14, 11, 20}));
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x)
      ASSERT_EQ(small.GetPixel(x, y), big.GetPixel(x + 20, y + 20)) << x << ", " << y;
  EXPECT_FALSE(pen.DabToImage(small, SDabPoint{40.0f, 5.0f, 1.0f}, 0, 7.5f));  // wholly outside
}

TEST_F(PenRenderTest, HardEdgeFlagGivesTwoLevels) {
  SetType(kRenderPaint);
  SetRadius(10.0f);
  pen.SetNibFlag(1);
  SetColourWriter(&PixelPaintOver);
  TMTC image(40, 40);
  image.FillValue(0x00000000u);
  ASSERT_TRUE(pen.DabToImage(image, SDabPoint{20.3f, 19.6f, 1.0f}, 0x00FFFFFFu, 10.0f));
  std::vector<uint32_t> levels;
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 40; ++x) {
      const uint32_t p = image.GetPixel(x, y);
      if (std::find(levels.begin(), levels.end(), p) == levels.end()) levels.push_back(p);
    }
  }
  std::sort(levels.begin(), levels.end());
  EXPECT_EQ(levels, (std::vector<uint32_t>{0x00000000u, 0xFFFFFFFFu}));
}

TEST_F(PenRenderTest, NibBelowATenthIsDrawnAtATenth) {
  SetType(kRenderPaint);
  SetColourWriter(&PixelPaintOver);
  TMTC a(8, 8), b(8, 8);
  a.FillValue(0);
  b.FillValue(0);
  pen.SetPenHeader(-1, 1, -1, -1);  // exact placement: the footprint follows the radius
  ASSERT_TRUE(pen.DabToImage(a, SDabPoint{4.5f, 4.5f, 1.0f}, 0x00FFFFFFu, 0.01f));
  ASSERT_TRUE(pen.DabToImage(b, SDabPoint{4.5f, 4.5f, 1.0f}, 0x00FFFFFFu, 0.1f));
  int32_t painted = 0;
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y));
      painted += a.GetPixel(x, y) != 0;
    }
  }
  EXPECT_EQ(painted, 1);
}

TEST_F(PenRenderTest, ZeroOpacityDrawsNothing) {
  SetType(kRenderPaint);
  TMTC image(10, 10);
  image.FillValue(0x11223344u);
  EXPECT_FALSE(pen.DabToImage(image, SDabPoint{5, 5, 0.0f}, 0, 3.0f));
  EXPECT_FALSE(pen.DabToImage(image, SDabPoint{5, 5, -1.0f}, 0, 3.0f));
  EXPECT_EQ(image.GetPixel(5, 5), 0x11223344u);
  EXPECT_FALSE(pen.HasFailure());
}

// ---------------------------------------------------------------------------------------------
// Coverage channel

TEST_F(PenRenderTest, ChannelDabMatchesTheModelAndKeepsTheMaximum) {
  SetType(kRenderPaint);
  pen.SetPenHeader(-1, -1, 1, -1);
  SetRadius(6.0f);
  TChannel channel(30, 30);
  const SDabPoint dab{14.6f, 15.2f, 0.8f};
  ASSERT_TRUE(pen.DabToChannel(channel, dab, 255, 6.0f));
  EXPECT_EQ(pen.PenParams().option2, 0);  // forced only for the call
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 30; ++x)
      ASSERT_EQ(channel.GetPixel(x, y), ModelValue(pen, dab, 0, x, y)) << x << ", " << y;
  // The same dab again changes nothing (the channel keeps the largest coverage).
  TChannel copy(channel);
  ASSERT_TRUE(pen.DabToChannel(channel, dab, 255, 6.0f));
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 30; ++x) ASSERT_EQ(channel.GetPixel(x, y), copy.GetPixel(x, y));
}

TEST_F(PenRenderTest, SmallChannelDabIsDrawnInBothSweepsAndLeavesTheFlagClear) {
  SetType(kRenderPaint);
  pen.SetPenHeader(-1, -1, 1, -1);
  SetRadius(2.0f);
  const SDabPoint dab{5.3f, 5.8f, 1.0f};
  // Each sweep alone, through a size of 3 or more with the flag set by hand, is not possible;
  // the two sweeps of size 2 give at least what the column sweep gives.
  TChannel twice(12, 12), columns(12, 12);
  pen.SetMinorAxis(true);
  ASSERT_TRUE(pen.DabToChannel(twice, dab, 255, 2.0f));
  EXPECT_FALSE(pen.GetMinorAxis());
  ASSERT_TRUE(pen.DabToChannel(columns, SDabPoint{5.3f, 5.8f, 1.0f}, 255, 2.0f));
  int32_t sum = 0;
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 12; ++x) sum += twice.GetPixel(x, y);
  EXPECT_GT(sum, 255 * 4);
  // At size 3 the flag is left as it is.
  pen.SetMinorAxis(true);
  ASSERT_TRUE(pen.DabToChannel(columns, dab, 255, 3.0f));
  EXPECT_TRUE(pen.GetMinorAxis());
}

// ---------------------------------------------------------------------------------------------
// Eraser, burn/dodge, watercolour

TEST_F(PenRenderTest, EraserLowersAlphaUnlessAlphaIsKept) {
  SetType(kRenderEraser);
  SetRadius(5.0f);
  pen.SetNibFlag(1);  // full strength over the whole dab
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(keep);
    stroke.SetKeepAlpha(keep, false);
    SetColourWriter(keep ? &BlendColor : &PixelPaintOver);
    const PixelOp before = GetColourWriter();
    TMTC image(20, 20);
    image.FillValue(0xC0102030u);
    ASSERT_TRUE(pen.DabToImage(image, SDabPoint{10, 10, 1.0f}, 0x00123456u, 5.0f));
    EXPECT_EQ(GetColourWriter(), before);
    const uint32_t centre = image.GetPixel(10, 10);
    if (keep) {
      for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x) ASSERT_EQ(image.GetPixel(x, y) >> 24, 0xC0u);
      EXPECT_EQ(centre & 0x00FFFFFFu, stroke.GetNeutralColor() & 0x00FFFFFFu);  // neutral colour painted
    } else {
      EXPECT_EQ(centre, 0x00102030u);  // alpha gone, colour bytes stay
      EXPECT_EQ(image.GetPixel(0, 0), 0xC0102030u);
    }
  }
}

TEST_F(PenRenderTest, EraserPaintsTheNeutralColourOfTheStrokeLayersMode) {
  test::FakeDocument doc;
  doc.blendMode = 1;
  pen.SetPaper(&doc);
  SetType(kRenderEraser);
  SetRadius(3.0f);
  stroke.SetKeepAlpha(true, false);
  TMTC image(10, 10);
  image.FillValue(0xFF000000u);
  ASSERT_TRUE(pen.DabToImage(image, SDabPoint{5, 5, 1.0f}, 0, 3.0f));
  uint32_t mode = 0;
  ASSERT_TRUE(doc.GetLayerBlendMode(0, mode));
  uint32_t expected = 0xFF000000u;
  BlendColor(&expected, GetBlendModeNeutralColor(mode), 255);
  EXPECT_EQ(image.GetPixel(5, 5), expected);
}

TEST_F(PenRenderTest, BurnAndDodgeWithEffectZeroChangeNothing) {
  for (const uint8_t dodge : {uint8_t{0}, uint8_t{1}}) {
    SetType(kRenderBurnDodge, 0);
    pen.SetPenHeader(-1, -1, -1, dodge);
    SetRadius(6.0f);
    TMTC image(20, 20);
    FillRandom(image, 5);
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 20; ++x) *image.Pixel(x, y) |= 0xFF000000u;
    TMTC before(image);
    ASSERT_TRUE(pen.StartDab(image, 10, 10, 1.0f));
    ASSERT_TRUE(pen.DabToImage(image, SDabPoint{10, 10, 1.0f}, 0, 6.0f));
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 20; ++x) ASSERT_EQ(image.GetPixel(x, y), before.GetPixel(x, y)) << x << ", " << y;
    EXPECT_EQ(GetColourWriter(), &BlendColor);
  }
}

TEST_F(PenRenderTest, BurnDarkensAndDodgeLightens) {
  for (const uint8_t dodge : {uint8_t{0}, uint8_t{1}}) {
    SetType(kRenderBurnDodge, 300);
    pen.SetPenHeader(-1, -1, -1, dodge);
    SetRadius(4.0f);
    TMTC image(10, 10);
    image.FillValue(0xFF606060u);
    ASSERT_TRUE(pen.StartDab(image, 5, 5, 1.0f));
    ASSERT_TRUE(pen.DabToImage(image, SDabPoint{5, 5, 1.0f}, 0, 4.0f));
    const uint32_t grey = image.GetPixel(5, 5) & 0xFFu;
    if (dodge) {
      EXPECT_GT(grey, 0x60u);
    } else {
      EXPECT_LT(grey, 0x60u);
    }
  }
}

// A colour writer that keeps the colours it is given.
std::vector<uint32_t> g_colours;
void KeepColour(uint32_t* pixel, uint32_t colour, int32_t) {
  g_colours.push_back(colour);
  *pixel = colour;
}

TEST_F(PenRenderTest, WatercolourWithSpeedZeroPaintsTheStrokeColour) {
  SetType(kRenderWatercolour, 100, 0, 0);  // EFFECT 100 picks up the picture fully
  SetRadius(4.0f);
  stroke.SetIfTransparency(true);
  ASSERT_TRUE(pen.LoadColors());
  TMTC image(20, 20);
  image.FillValue(0xFF0000FFu);
  ASSERT_TRUE(pen.StartDab(image, 10, 10, 1.0f));
  EXPECT_EQ(stroke.GetMixingColor() & 0x00FFFFFFu, 0x000000FFu);
  // From the first dab on, every pixel gets the stroke colour (t = 1 when SPEED is 0).
  SetColourWriter(&KeepColour);
  g_colours.clear();
  ASSERT_TRUE(pen.DabToImage(image, SDabPoint{10, 10, 1.0f}, 0x00204080u, 4.0f));
  ASSERT_FALSE(g_colours.empty());
  for (uint32_t c : g_colours) ASSERT_EQ(c & 0x00FFFFFFu, 0x00204080u);
  EXPECT_EQ(stroke.GetPaintColor() & 0x00FFFFFFu, 0x00204080u);
}

TEST_F(PenRenderTest, WatercolourWithSpeedStartsFromThePickedColour) {
  SetType(kRenderWatercolour, 100, 0, 10);
  SetRadius(4.0f);
  ASSERT_TRUE(pen.LoadColors());
  TMTC image(20, 20);
  image.FillValue(0xFF0000FFu);
  ASSERT_TRUE(pen.StartDab(image, 10, 10, 1.0f));
  stroke.ResetDistance(0);
  SetColourWriter(&KeepColour);
  ASSERT_TRUE(pen.DabToImage(image, SDabPoint{10, 10, 1.0f}, 0x00204080u, 4.0f));
  EXPECT_EQ(stroke.GetPaintColor() & 0x00FFFFFFu, 0x000000FFu);  // t = 0: the picked-up colour
  stroke.ResetDistance(1000.0f);
  ASSERT_TRUE(pen.DabToImage(image, SDabPoint{10, 10, 1.0f}, 0x00204080u, 4.0f));
  EXPECT_EQ(stroke.GetPaintColor() & 0x00FFFFFFu, 0x00204080u);  // t = 1 past SPEED * size * 2
}

TEST_F(PenRenderTest, WatercolourOpacityIsAThirdOfTheStrokes) {
  SetType(kRenderWatercolour, 0, 0, 0);
  SetRadius(4.0f);
  stroke.SetIfTransparency(true);
  ASSERT_TRUE(pen.LoadColors());
  TMTC image(20, 20);
  image.FillValue(0xFF000000u);
  ASSERT_TRUE(pen.StartDab(image, 10, 10, 1.0f));
  ASSERT_TRUE(pen.DabToImage(image, SDabPoint{10, 10, 0.5f}, 0x00204080u, 4.0f));
  EXPECT_EQ(pen.DabOpacity(), 0x8000 * 22937 / 65536);
}

// ---------------------------------------------------------------------------------------------
// Blur

// The box mean of the store around (x, y) with reads clamped to its edges, summed pixel by pixel.
uint32_t BruteBoxMean(const CBlockVMTC& store, int32_t x, int32_t y, int64_t r, bool weighted, bool& skip) {
  int64_t s[4] = {0, 0, 0, 0};
  for (int64_t j = y - r; j <= y + r; ++j) {
    for (int64_t i = x - r; i <= x + r; ++i) {
      const uint32_t p = store.GetPixelClamped(static_cast<int32_t>(std::clamp<int64_t>(i, -1, 1 << 20)),
                                               static_cast<int32_t>(std::clamp<int64_t>(j, -1, 1 << 20)));
      const int64_t a = p >> 24;
      for (int32_t c = 0; c < 3; ++c) {
        const int64_t v = (p >> (8 * c)) & 0xFF;
        s[c] += weighted ? v * a / 255 : v;
      }
      s[3] += a;
    }
  }
  const int64_t n = 2 * r + 1;
  skip = weighted && s[3] == 0;
  if (skip) return 0;
  if (weighted) {
    return static_cast<uint32_t>(((s[3] / (n * n)) << 24) | ((s[2] * 255 / s[3]) << 16) |
                                 ((s[1] * 255 / s[3]) << 8) | (s[0] * 255 / s[3]));
  }
  return static_cast<uint32_t>(0xFF000000u | ((s[2] / (n * n)) << 16) | ((s[1] / (n * n)) << 8) |
                               (s[0] / (n * n)));
}

// The same means from the independent numpy script (tests/data/blur_box.py) over the rectangle:
// (x, y) -> colour, or 0 with skip set when the weighted box holds no alpha. False when the script
// could not run.
using BoxMeans = std::map<std::pair<int32_t, int32_t>, std::pair<bool, uint32_t>>;
bool NumpyBoxMeans(const CBlockVMTC& store, int64_t r, bool weighted, const TRect& rect, BoxMeans& out,
                   std::string& output) {
  char path[] = "/tmp/tf_blur_box_XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return false;
  std::vector<uint32_t> data = {static_cast<uint32_t>(store.Width()),
                                static_cast<uint32_t>(store.Height()),
                                static_cast<uint32_t>(r),
                                weighted ? 1u : 0u,
                                static_cast<uint32_t>(rect.left),
                                static_cast<uint32_t>(rect.top),
                                static_cast<uint32_t>(rect.right),
                                static_cast<uint32_t>(rect.bottom)};
  for (int32_t y = 0; y < store.Height(); ++y)
    for (int32_t x = 0; x < store.Width(); ++x) data.push_back(store.GetPixel(x, y));
  const auto bytes = static_cast<ssize_t>(data.size() * sizeof(uint32_t));
  const bool written = ::write(fd, data.data(), static_cast<size_t>(bytes)) == bytes;
  ::close(fd);
  bool ran = false;
  // The system's python3 carries numpy (scripts/deps.sh); another one first on the path may not.
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    if (!written) break;
    output.clear();
    const std::string command = std::string(python) + " '" + TF_TEST_DATA_DIR + "/blur_box.py' " + path + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) continue;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) output += line;
    const int status = ::pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      ran = true;
      break;
    }
  }
  ::unlink(path);
  if (!ran) return false;
  size_t at = 0;
  while (at < output.size()) {
    size_t end = output.find('\n', at);
    if (end == std::string::npos) end = output.size();
    int x = 0, y = 0;
    char word[32] = {};
    if (std::sscanf(output.substr(at, end - at).c_str(), "%d %d %31s", &x, &y, word) == 3) {
      const std::string w = word;
      out[{x, y}] = w == "skip" ? std::make_pair(true, 0u)
                                : std::make_pair(false, static_cast<uint32_t>(std::stoul(w, nullptr, 16)));
    }
    at = end + 1;
  }
  return true;
}

struct BlurCase {
  uint16_t effect;
  float size;
  bool keepAlpha;
  int64_t radius;  // expected box radius
};

class PenRenderBlur : public PenRenderTest, public ::testing::WithParamInterface<BlurCase> {};

TEST_P(PenRenderBlur, MatchesTheClampedBoxMean) {
  const BlurCase& c = GetParam();
  SetType(kRenderBlur, c.effect);
  SetRadius(c.size);
  stroke.SetKeepAlpha(c.keepAlpha, false);
  SetColourWriter(c.keepAlpha ? &BlendColor : &PixelPaintOver);
  CBlockVMTC store(23, 19);
  FillRandom(store, 77);
  // Transparent corners: the weighted blur skips boxes without alpha.
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) ASSERT_TRUE(store.SetPixel(x, y, 0x00FFFFFFu));
  TMTC image(23, 19);
  FillRandom(image, 78);
  TMTC before(image);
  pen.SetBlurSource(&store, c.size);
  EXPECT_EQ(pen.GetBlurRadius(), c.effect == 0 ? 0 : c.radius);
  ASSERT_TRUE(pen.StartDab(image, 4, 4, 1.0f));
  const SDabPoint dab{3.4f, 4.2f, 0.9f};
  ASSERT_TRUE(pen.DabToImage(image, dab, 0, c.size));
  EXPECT_EQ(GetColourWriter(), c.keepAlpha ? &BlendColor : &PixelPaintOver);
  BoxMeans numpyMeans;
  std::string output;
  ASSERT_TRUE(NumpyBoxMeans(store, c.radius, !c.keepAlpha, pen.DabBounds(), numpyMeans, output)) << output;
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      uint32_t expected = before.GetPixel(x, y);
      const int32_t v = ModelValue(pen, dab, 0, x, y);
      if (v > 0) {
        bool skip = false;
        const uint32_t mean = BruteBoxMean(store, x, y, c.radius, !c.keepAlpha, skip);
        const auto fromNumpy = numpyMeans.find({x, y});
        ASSERT_NE(fromNumpy, numpyMeans.end()) << x << ", " << y << "\n" << output;
        ASSERT_EQ(fromNumpy->second, std::make_pair(skip, mean)) << x << ", " << y;
        if (!skip) {
          if (c.keepAlpha) {
            BlendColor(&expected, mean, v);
          } else {
            PixelLerpARGB(&expected, mean, v);
          }
        }
      }
      ASSERT_EQ(image.GetPixel(x, y), expected) << "pixel " << x << ", " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paint, PenRenderBlur,
                         ::testing::Values(BlurCase{0, 5.0f, false, 1},  // EFFECT 0: a 3 x 3 box
                                           BlurCase{0, 5.0f, true, 1}, BlurCase{60, 5.0f, false, 3},
                                           BlurCase{60, 5.0f, true, 3}, BlurCase{300, 6.0f, false, 18},
                                           // Boxes far wider than the store.
                                           BlurCase{1000, 6.0f, false, 60}, BlurCase{1000, 6.0f, true, 60}));

TEST_F(PenRenderTest, BlurRadiusFromHugeEffectIsExactAndQuick) {
  // EFFECT 65535 at size 100 asks for a radius of 65535: the mean of the clamped box is computed
  // exactly from counts of the repeated edge pixels, not by reading 131071^2 pixels, and its sums
  // do not overflow.
  SetType(kRenderBlur, 65535);
  SetRadius(3.0f);
  CBlockVMTC store(9, 7);
  FillRandom(store, 5);
  TMTC image(9, 7);
  image.FillValue(0);
  pen.SetBlurSource(&store, 100.0f);
  EXPECT_EQ(pen.GetBlurRadius(), 65535);
  const SDabPoint dab{4.5f, 3.5f, 1.0f};
  SetColourWriter(&PixelPaintOver);
  ASSERT_TRUE(pen.DabToImage(image, dab, 0, 3.0f));
  // For a box this large the four corner pixels dominate: compare with a closed form.
  const int64_t r = 65535, n = 2 * r + 1;
  int64_t s[4] = {0, 0, 0, 0};
  // Centre pixel (4, 3): columns 4 - r .. 4 + r, rows 3 - r .. 3 + r.
  auto count = [&](int64_t centre, int64_t size, int64_t k) {
    const int64_t lo = centre - r, hi = centre + r;
    if (k == 0) return -lo + 1;
    if (k == size - 1) return hi - (size - 1) + 1;
    return int64_t{1};
  };
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      const uint32_t p = store.GetPixel(x, y);
      const int64_t k = count(4, 9, x) * count(3, 7, y), a = p >> 24;
      for (int32_t c = 0; c < 3; ++c) s[c] += k * (((p >> (8 * c)) & 0xFF) * a / 255);
      s[3] += k * a;
    }
  }
  const uint32_t mean = static_cast<uint32_t>(((s[3] / (n * n)) << 24) | ((s[2] * 255 / s[3]) << 16) |
                                              ((s[1] * 255 / s[3]) << 8) | (s[0] * 255 / s[3]));
  uint32_t expected = 0;
  PixelLerpARGB(&expected, mean, ModelValue(pen, dab, 0, 4, 3));
  EXPECT_EQ(image.GetPixel(4, 3), expected);
}

TEST_F(PenRenderTest, BlurKeepsAUniformPicture) {
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(keep);
    SetType(kRenderBlur, 200);
    SetRadius(8.0f);
    stroke.SetKeepAlpha(keep, false);
    CBlockVMTC store(40, 40);
    SRectWH all{0, 0, 40, 40};
    ASSERT_TRUE(store.FillRect(all, 0xFF3366CCu));
    TMTC image(40, 40);
    image.FillValue(0xFF3366CCu);
    pen.SetBlurSource(&store, 8.0f);
    ASSERT_TRUE(pen.StartDab(image, 20, 20, 1.0f));
    ASSERT_TRUE(pen.DabToImage(image, SDabPoint{20.2f, 19.7f, 1.0f}, 0, 8.0f));
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(image.GetPixel(x, y), 0xFF3366CCu);
  }
}

TEST_F(PenRenderTest, BlurWithoutAStoreDrawsNothing) {
  SetType(kRenderBlur, 10);
  TMTC image(10, 10);
  image.FillValue(7);
  EXPECT_FALSE(pen.DabToImage(image, SDabPoint{5, 5, 1.0f}, 0, 3.0f));
  EXPECT_EQ(image.GetPixel(5, 5), 7u);
  EXPECT_FALSE(pen.HasFailure());
}

// ---------------------------------------------------------------------------------------------
// Smudging

TEST_F(PenRenderTest, SpreadCarriesColourAlongTheStroke) {
  SetType(kRenderSpread);
  SetRadius(4.0f);
  SetColourWriter(&PixelPaintOver);
  TMTC image(60, 20);
  image.FillValue(0xFFFFFFFFu);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 12; ++x) *image.Pixel(x, y) = 0xFFFF0000u;
  ASSERT_TRUE(pen.StartDab(image, 8, 10, 1.0f));
  for (float x = 8; x <= 30; x += 1.0f) pen.DabToImage(image, SDabPoint{x, 10, 1.0f}, 0x00000000u, 4.0f);
  EXPECT_FALSE(pen.HasFailure());
  // Red reached far into the white part, along the stroke only.
  const uint32_t carried = image.GetPixel(28, 10);
  EXPECT_GT((carried >> 16) & 0xFF, 200u);
  EXPECT_LT(carried & 0xFF, 0xFFu);
  EXPECT_EQ(image.GetPixel(28, 1), 0xFFFFFFFFu);
  EXPECT_EQ(GetColourWriter(), &PixelPaintOver);
}

TEST_F(PenRenderTest, FingertipPaintsNothingBeforeTheSecondPositionThenCarriesColour) {
  SetType(kRenderFingertip);
  SetRadius(3.0f);
  TMTC image(40, 10);
  image.FillValue(0xFFFFFFFFu);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 8; ++x) *image.Pixel(x, y) = 0xFF0000FFu;
  ASSERT_TRUE(pen.StartDab(image, 6, 5, 1.0f));
  EXPECT_FALSE(pen.DabToImage(image, SDabPoint{6.2f, 5, 1.0f}, 0, 3.0f));  // same pixel: no window yet
  bool drawn = false;
  for (float x = 7; x <= 16; x += 1.0f) drawn |= pen.DabToImage(image, SDabPoint{x, 5, 1.0f}, 0, 3.0f);
  EXPECT_TRUE(drawn);
  EXPECT_LT((image.GetPixel(12, 5) >> 16) & 0xFF, 0xFFu);  // blue smeared to the right
}

// ---------------------------------------------------------------------------------------------
// Settings and failures

TEST_F(PenRenderTest, PenHeaderKeepsFieldsGivenAs255OrNegative) {
  EXPECT_TRUE(pen.SetPenHeader(6, 1, 7, 1));
  SPenParam p{};
  pen.GetPenParams(p);
  EXPECT_EQ(p.type, 6);
  EXPECT_EQ(p.option2, 1);
  EXPECT_EQ(p.channel, 1);  // stored as 0 or 1
  EXPECT_EQ(p.option1, 1);
  EXPECT_FALSE(pen.SetPenHeader(255, -1, 255, -5));
  EXPECT_FALSE(pen.SetPenHeader(6, 1, 1, 1));
  EXPECT_TRUE(pen.SetPenHeader(-1, -1, 0, -1));
  pen.GetPenParams(p);
  EXPECT_EQ(p.channel, 0);
  EXPECT_EQ(p.type, 6);
}

TEST_F(PenRenderTest, PenValuesCopyTheSlotsOfTheMask) {
  SPenParam p{};
  p.effect = 11;
  p.env = 22;
  p.speed = 33;
  EXPECT_TRUE(pen.SetPenValues(p, 1));  // EFFECT and ENV together
  EXPECT_EQ(pen.PenParams().effect, 11);
  EXPECT_EQ(pen.PenParams().env, 22);
  EXPECT_EQ(pen.PenParams().speed, 0);
  EXPECT_FALSE(pen.SetPenValues(p, 1));
  EXPECT_TRUE(pen.SetPenValues(p, 2));
  EXPECT_EQ(pen.PenParams().speed, 33);
}

TEST_F(PenRenderTest, ConstructionStateAndColours) {
  uint32_t pair[2];
  pen.GetColor(pair);
  EXPECT_EQ(pair[0], 0xFFFFFFu);
  EXPECT_EQ(pair[1], 0u);
  SNibShape s{};
  pen.GetNibShape(s);
  EXPECT_EQ(s.size, 1000);
  uint32_t flag = 5;
  pen.GetNibFlag(flag);
  EXPECT_EQ(flag, 0u);
  stroke.SetBackColor(0x00ABCDEFu);
  ASSERT_TRUE(pen.LoadColors());
  pen.GetColor(pair);
  EXPECT_EQ(pair[0], 0x00204080u);
  EXPECT_EQ(pair[1], 0x00ABCDEFu);
  EXPECT_EQ(pen.GetNibSize(), 10.0f);
  EXPECT_EQ(pen.GetSpacingPixels(0.1f, 20.0f), 0.1f * 20.0f);
  int32_t hx = 0, hy = 0;
  pen.GetDabExtent(2.2f, hx, hy);
  EXPECT_EQ(hx, 3);
  EXPECT_EQ(hy, 3);
}

TEST_F(PenRenderTest, GradeMapChangeRebuildsTheFootprint) {
  SGradeMap g{};
  g.Init();
  EXPECT_FALSE(pen.SetGradeMap(g));
  g.kind = kGradeCircle;
  EXPECT_TRUE(pen.SetGradeMap(g));
  SGradeMap back{};
  pen.GetGradeMap(back);
  EXPECT_TRUE(back.Equal(g));
}

TEST_F(PenRenderTest, AssertionFailuresAreFlaggedNotThrown) {
  CPenRender lone(nullptr);
  EXPECT_FALSE(lone.LoadColors());
  EXPECT_TRUE(lone.HasFailure());
  EXPECT_TRUE(lone.TakeFailure());
  EXPECT_FALSE(lone.HasFailure());
  // A nib the rasteriser refuses (radius above 512 pixels).
  SetType(kRenderEraser);
  SetColourWriter(&PixelPaintOver);
  TMTC image(10, 10);
  EXPECT_FALSE(pen.DabToImage(image, SDabPoint{5, 5, 1.0f}, 0, 600.0f));
  EXPECT_TRUE(pen.TakeFailure());
  EXPECT_EQ(GetColourWriter(), &PixelPaintOver);
}

// ---------------------------------------------------------------------------------------------
// Coverage composites

TEST(CoverageComposite, MatchesTheModelWithClipping) {
  ResetPixelWriters();
  SetColourWriter(&PixelPaintOver);
  TChannel channel(16, 12);
  XorShiftRng rng(3);
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 16; ++x) *channel.GetPixelPtr(x, y) = static_cast<uint8_t>(rng.Next());
  TMTC image(20, 10);
  FillRandom(image, 4);
  TMTC before(image);
  const uint32_t colour = 0x00445566u;
  ASSERT_TRUE(CompositeCoverage(image, channel, TPoint{-3, 4}, 200, colour, SRectWH{1, 2, 14, 9}));
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 20; ++x) {
      uint32_t expected = before.GetPixel(x, y);
      // Destination (x, y) comes from channel (x + 3 + 1, y - 4 + 2) when inside the rectangle.
      const int32_t cx = x + 4, cy = y - 2;
      if (x + 3 < 14 && y >= 4 && y - 4 < 9 && cx < 16 && cy < 12) {
        PixelPaintOver(&expected, colour, static_cast<int32_t>(MulDiv255(channel.GetPixel(cx, cy), 200)));
      }
      ASSERT_EQ(image.GetPixel(x, y), expected) << x << ", " << y;
    }
  }
  EXPECT_FALSE(CompositeCoverage(image, channel, TPoint{30, 0}, 255, colour, SRectWH{0, 0, 16, 12}));
  ResetPixelWriters();
}

TEST(CoverageComposite, GradientMatchesTheModel) {
  ResetPixelWriters();
  CColorSlotGroup g;
  ASSERT_TRUE(g.SetStop(0, 0xFF0000FFu, 65536, 255));
  ASSERT_TRUE(g.SetStop(1, 0xFFFF0000u, 65536, 40));
  ASSERT_TRUE(g.Normalize());
  CGradation gradation(TPoint{0, 0}, TPoint{10 << 16, 0}, &g);
  TChannel channel(8, 8);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      *channel.GetPixelPtr(x, y) = static_cast<uint8_t>((x * 37 + y * 11) % 3 == 0 ? 0 : x * 30 + y);
  TMTC image(10, 10);
  FillRandom(image, 9);
  TMTC before(image);
  ASSERT_TRUE(CompositeCoverageGradient(image, channel, gradation, 180, SRectWH{0, 0, 8, 8}, TPoint{2, 1},
                                        &PixelPaintOver));
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 10; ++x) {
      uint32_t expected = before.GetPixel(x, y);
      const int32_t cx = x - 2, cy = y - 1;
      if (cx >= 0 && cy >= 0 && cx < 8 && cy < 8 && channel.GetPixel(cx, cy) > 0) {
        const uint32_t c = gradation.ColorAt(x, y);
        PixelPaintOver(&expected, ColorToPixel(c),
                       static_cast<int32_t>(MulDiv255(MulDiv255(channel.GetPixel(cx, cy), 180), c >> 24)));
      }
      ASSERT_EQ(image.GetPixel(x, y), expected) << x << ", " << y;
    }
  }
}

}  // namespace
}  // namespace tf
