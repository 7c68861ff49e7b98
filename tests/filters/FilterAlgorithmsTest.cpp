// The filter algorithms: their tables and pixels against an independent numpy model
// (tests/data/filters_model.py), the coverage rule and alpha protection on real layers, the
// refusals of damaged blocks, and every filter through its command, undo and replay.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "filters/Blurs.h"
#include "filters/ColourAdjust.h"
#include "filters/Convolve.h"
#include "filters/FilterRunSupport.h"
#include "filters/FilterTestSupport.h"
#include "filters/NoiseDiffuseMedian.h"
#include "filters/Patterns.h"
#include "filters/Sharpen.h"
#include "paint/Gradient.h"
#include "platform/ByteOrder.h"
#include "raster/ColorMath.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

std::vector<uint32_t> Packed(const uint8_t table[1024]) {
  std::vector<uint32_t> v(256);
  for (int32_t i = 0; i < 256; ++i) std::memcpy(&v[i], table + 4 * i, 4);
  return v;
}

std::vector<uint8_t> LevelBytes(std::initializer_list<int32_t> master, std::initializer_list<int32_t> red,
                                uint8_t linear) {
  std::vector<uint8_t> b(24, 0);
  for (int32_t c = 0; c < 4; ++c) {
    b[4 + c] = 100;
    b[8 + c] = 255;
    b[16 + c] = 255;
  }
  auto put = [&b](int32_t c, std::initializer_list<int32_t> v) {
    int32_t k = 0;
    for (int32_t x : v) b[4 * k++ + c] = static_cast<uint8_t>(x);
  };
  if (master.size() == 5) put(0, master);
  if (red.size() == 5) put(1, red);
  b[20] = linear;
  return b;
}

// Every table of the colour adjustments for a table of settings, both variants, against the model.
TEST(ColourAdjustTest, TablesMatchTheModel) {
  std::vector<int32_t> in{0};
  std::vector<uint32_t> ours;
  auto add = [&](int32_t kind, std::vector<int32_t> values, const std::vector<uint32_t>& table) {
    ++in[0];
    in.push_back(kind);
    in.insert(in.end(), values.begin(), values.end());
    ours.insert(ours.end(), table.begin(), table.end());
  };
  uint8_t t[1024];
  for (uint8_t linear : {0, 1}) {
    for (const auto& lb : {LevelBytes({}, {}, linear), LevelBytes({0, 50, 255, 0, 255}, {}, linear),
                           LevelBytes({0, 150, 128, 0, 255}, {10, 100, 128, 20, 240}, linear),
                           LevelBytes({200, 199, 40, 255, 0}, {64, 1, 64, 0, 255}, linear),  // falling; zero range
                           LevelBytes({30, 77, 220, 5, 250}, {}, linear)}) {
      BuildLevelsTable(lb.data(), t);
      std::vector<int32_t> v(lb.begin(), lb.begin() + 21);
      add(0, v, Packed(t));
    }
    for (auto [b, c] : {std::pair{0, 0}, {10, 0}, {-35, 60}, {80, -100}, {-100, 100}, {100, 55}, {1000, -1000}}) {
      BuildBrightnessContrastTable(b, c, linear != 0, t);
      add(1, {b, c, linear}, Packed(t));
    }
  }
  for (const auto& g : {std::vector<float>{1, 1, 1}, {0.5f, 2.0f, 1.37f}, {0.73f, 1.01f, 1.99f}, {0, -1, 3}}) {
    ASSERT_TRUE(BuildColorBalanceTable(g.data(), t));
    add(2, {FloatBits(g[0]), FloatBits(g[1]), FloatBits(g[2])}, Packed(t));
  }
  for (int32_t n : {-5, 2, 3, 4, 7, 254, 300}) {
    BuildPosterizeTable(n, t);
    add(3, {n}, Packed(t));
  }
  for (int32_t th : {0, 1, 128, 255, 400}) {
    uint32_t lt[256];
    BuildThresholdTable(th, lt);
    add(4, {th}, std::vector<uint32_t>(lt, lt + 256));
  }
  BuildInvertTable(t);
  add(5, {}, Packed(t));
  for (int32_t mono : {0, 1}) {
    for (int32_t h : {0, -90, 180, 359, 725, -725}) {
      int32_t ht[360];
      BuildHueTable(h, mono != 0, ht);
      add(6, {h, mono}, std::vector<uint32_t>(ht, ht + 360));
    }
    for (int32_t s : {0, -100, -37, 1, 50, 100, 150}) {
      int32_t st[256];
      BuildSaturationTable(s, mono != 0, st);
      add(7, {s, mono}, std::vector<uint32_t>(st, st + 256));
    }
  }
  for (int32_t l : {0, -100, -33, 1, 64, 100, -200, 128}) {
    uint8_t lt[256];
    BuildLightnessTable(l, lt);
    add(8, {l}, std::vector<uint32_t>(lt, lt + 256));
    int32_t lc[256];
    BuildLightnessCurve(l, lc);
    add(9, {l}, std::vector<uint32_t>(lc, lc + 256));
  }
  std::vector<uint32_t> model;
  std::string output;
  ASSERT_TRUE(RunModel("tables", in, model, output)) << output;
  ASSERT_EQ(model.size(), ours.size());
  size_t bad = 0;
  for (size_t i = 0; i < ours.size() && bad < 10; ++i)
    if (ours[i] != model[i]) {
      ADD_FAILURE() << "entry " << i << ": " << std::hex << ours[i] << " model " << model[i];
      ++bad;
    }
}

// The edge cases by hand.
TEST(ColourAdjustTest, HandComputedEntries) {
  uint8_t t[1024];
  auto lb = LevelBytes({}, {}, 0);
  for (uint8_t linear : {0, 1}) {
    lb[20] = linear;
    BuildLevelsTable(lb.data(), t);
    for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(static_cast<int32_t>(uint32_t{t[4 * i]} | uint32_t{t[4 * i + 1]} << 8 | uint32_t{t[4 * i + 2]} << 16 | uint32_t{t[4 * i + 3]} << 24),
                                                static_cast<int32_t>(static_cast<uint32_t>(i) * 0x01010101u)) << i;
  }
  // Midtone 50, linear: 64 becomes 128; 150 darkens.
  lb = LevelBytes({0, 50, 255, 0, 255}, {}, 1);
  BuildLevelsTable(lb.data(), t);
  EXPECT_EQ(t[4 * 64], 128);
  lb = LevelBytes({0, 150, 255, 0, 255}, {}, 1);
  BuildLevelsTable(lb.data(), t);
  EXPECT_LT(t[4 * 64], 64);
  // Input maximum 128 on the master and the red channel compounds for red only.
  lb = LevelBytes({0, 100, 128, 0, 255}, {0, 100, 128, 0, 255}, 1);
  BuildLevelsTable(lb.data(), t);
  EXPECT_EQ(t[4 * 32 + 0], 64);   // blue
  EXPECT_NEAR(t[4 * 32 + 2], 128, 1);  // red
  // A zero input range: a step at that level.
  lb = LevelBytes({90, 100, 90, 0, 255}, {}, 1);
  BuildLevelsTable(lb.data(), t);
  EXPECT_EQ(t[4 * 89], 0);
  EXPECT_EQ(t[4 * 91], 255);

  BuildBrightnessContrastTable(10, 0, true, t);
  for (int32_t i = 0; i < 236; ++i) ASSERT_EQ(t[4 * i], i + 20);
  BuildBrightnessContrastTable(0, 0, false, t);
  for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(t[4 * i], i);
  BuildBrightnessContrastTable(-30, -100, true, t);
  for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(t[4 * i], 97);
  // Beyond the range: the same as the range's end (no infinite powers).
  uint8_t u[1024];
  BuildBrightnessContrastTable(100, -100, false, u);
  BuildBrightnessContrastTable(500, -900, false, t);
  EXPECT_EQ(std::memcmp(t, u, 1024), 0);

  BuildPosterizeTable(2, t);
  EXPECT_EQ(t[4 * 127], 0);
  EXPECT_EQ(t[4 * 128], 255);
  uint32_t lt[256];
  BuildThresholdTable(128, lt);
  EXPECT_EQ(lt[127] & 0xFFFFFF, 0u);
  EXPECT_EQ(lt[128] & 0xFFFFFF, 0xFFFFFFu);
  BuildThresholdTable(1, lt);
  EXPECT_EQ(lt[0] & 0xFFFFFF, 0u);
  EXPECT_EQ(lt[1] & 0xFFFFFF, 0xFFFFFFu);
  const float one[3] = {1, 1, 1};
  ASSERT_TRUE(BuildColorBalanceTable(one, t));
  for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(t[4 * i + 1], i);
  const float bad[3] = {1, NAN, 1};
  EXPECT_FALSE(BuildColorBalanceTable(bad, t));

  // A damaged lightness fills exactly the table (as -100 / 100 would).
  int32_t a[256], b[256];
  BuildLightnessCurve(-200, a);
  BuildLightnessCurve(-100, b);
  EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
  BuildLightnessCurve(128, a);
  BuildLightnessCurve(100, b);
  EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
  BuildLightnessCurve(0, a);
  EXPECT_EQ(a[128], 128 * 65536);
  EXPECT_EQ(a[255], 255 * 65536);
}

// ---- Runs on a layer

class FilterAlgorithmsTest : public TempFolderTest {
 protected:
  FilterAlgorithmsTest() : TempFolderTest("tf-filter-algorithms") {}
  FilterTestScope scope;
};

struct PointCase {
  const char* name;
  FilterProc proc;
  std::vector<int32_t> words;
  int32_t size;
  std::function<uint32_t(uint32_t)> value;  // the new pixel of an old one (alpha ignored)
};

std::vector<PointCase> PointCases() {
  static uint8_t inv[1024], post[1024], bc[1024], lv[1024];
  BuildInvertTable(inv);
  BuildPosterizeTable(5, post);
  BuildBrightnessContrastTable(-20, 45, false, bc);
  const auto lb = LevelBytes({12, 80, 240, 3, 250}, {40, 130, 200, 0, 255}, 0);
  BuildLevelsTable(lb.data(), lv);
  auto byTable = [](const uint8_t* t) {
    return [t](uint32_t p) {
      return uint32_t{t[4 * (p & 0xFF)]} | uint32_t{t[4 * ((p >> 8) & 0xFF) + 1]} << 8 |
             uint32_t{t[4 * ((p >> 16) & 0xFF) + 2]} << 16;
    };
  };
  std::vector<int32_t> levelWords(6);
  std::memcpy(levelWords.data(), lb.data(), 24);
  return {
      {"invert", &InvertFilter, {}, 0, byTable(inv)},
      {"posterize", &PosterizeFilter, {5, 0}, 8, byTable(post)},
      {"brightness/contrast", &BrightnessContrastFilter, {-20, 45, 0, 0}, 16, byTable(bc)},
      {"levels", &LevelsFilter, levelWords, 24, byTable(lv)},
      {"threshold", &ThresholdFilter, {100, 0}, 8,
       [](uint32_t p) { return PixelLuminance(&p) >= 100 ? 0xFFFFFFu : 0u; }},
      {"hue/saturation", &HueSaturationFilter, {-90, 0, 0, 0x0100}, 16,
       [](uint32_t p) {
         SHSLFix hsl;
         PixelToHSL(&p, hsl);
         hsl.hue = (((hsl.hue >> 16) + 270) % 360) << 16;
         hsl.saturation = (hsl.saturation >> 16) << 16;  // the table drops the fraction
         HSLToPixel(hsl, &p);
         return p & 0xFFFFFFu;
       }},
  };
}

// Point filters on a partly selected, moved layer: coverage 0 and outside Work unchanged, full
// coverage the exact value, alpha never changes, partial coverage between old and new; a
// sub-rectangle run gives the full run's pixels inside it.
TEST_F(FilterAlgorithmsTest, PointFiltersFollowTheCoverageRuleAndKeepAlpha) {
  for (const PointCase& c : PointCases()) {
    SCOPED_TRACE(c.name);
    for (uint8_t protect : {0, 1}) {
      FilterDocument f;
      ASSERT_TRUE(f.ok);
      ASSERT_TRUE(f.Paper().OffsetLayerGrow(f.Flow(), 0, true, 5, -7, 3));
      PartialMask(f);
      f.Layer().alphaProtect = protect;
      const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
      int32_t block[6] = {};
      for (size_t i = 0; i < c.words.size(); ++i) block[i] = c.words[i];
      ASSERT_TRUE(RunProc(f, c.proc, block, c.size));
      const std::vector<uint32_t> after = LayerPixels(f.Paper(), 0);
      const CBlockVMTC& store = *f.Layer().Store();
      for (int32_t y = 0; y < store.Height(); ++y)
        for (int32_t x = 0; x < store.Width(); ++x) {
          const size_t i = static_cast<size_t>(y) * store.Width() + x;
          const int32_t cov = ModelCoverage(f.Layer(), f.Paper().GetActiveMask(), x, y);
          const uint32_t o = before[i], n = after[i];
          ASSERT_EQ(n >> 24, o >> 24) << x << "," << y;
          if (cov == 0) {
            ASSERT_EQ(n, o) << x << "," << y;
            continue;
          }
          const uint32_t v = c.value(o);
          if (cov == 255) {
            ASSERT_EQ(n & 0xFFFFFF, v) << x << "," << y;
            continue;
          }
          uint32_t expect = o;
          BlendColor(&expect, v | (o & 0xFF000000u), cov);
          ASSERT_EQ(n, expect) << x << "," << y << " coverage " << cov << std::hex << " old " << o << " value " << v;
        }
      // A preview of a sub-rectangle equals the full run there.
      ExpectPreviewMatchesRun(c.proc, block, c.size, after);
    }
  }
}

TEST_F(FilterAlgorithmsTest, HueSaturationNeutralRestoresSourceAndGreysOut) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  int32_t block[4] = {360, 0, 0, 0};
  ASSERT_TRUE(RunProc(f, &HueSaturationFilter, block, 16));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), before);
  for (int32_t words : {0, 1}) {  // saturation -100; monotone with saturation 0 (curve and linear)
    int32_t grey[4] = {0, words == 0 ? -100 : 0, 0, words == 0 ? 0x0100 : 0x0001};
    FilterDocument g;
    ASSERT_TRUE(g.ok);
    ASSERT_TRUE(RunProc(g, &HueSaturationFilter, grey, 16));
    for (uint32_t p : LayerPixels(g.Paper(), 0)) {
      const uint32_t b = p & 0xFF, gg = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
      ASSERT_TRUE(b == gg && gg == r) << std::hex << p;
    }
  }
  // Lightness only, linear: the lightness table on each colour byte.
  int32_t light[4] = {0, 0, 40, 0x0100};
  uint8_t lt[256];
  BuildLightnessTable(40, lt);
  FilterDocument g;
  ASSERT_TRUE(g.ok);
  ASSERT_TRUE(RunProc(g, &HueSaturationFilter, light, 16));
  const std::vector<uint32_t> after = LayerPixels(g.Paper(), 0);
  for (size_t i = 0; i < after.size(); ++i) {
    const uint32_t o = before[i];
    ASSERT_EQ(after[i], (o & 0xFF000000u) | lt[o & 0xFF] | uint32_t{lt[(o >> 8) & 0xFF]} << 8 |
                            uint32_t{lt[(o >> 16) & 0xFF]} << 16);
  }
}

TEST_F(FilterAlgorithmsTest, GradientMapSamplesInPixelOrderAndKeepsOrMovesAlpha) {
  CColorSlotGroup stops(4);
  ASSERT_TRUE(stops.SetStop(0, 0x00112233u, 65536, 255));  // red 0x33, blue 0x11 as a window colour
  ASSERT_TRUE(stops.SetStop(1, 0x00112233u, 65536, 255));
  ASSERT_TRUE(stops.Normalize());
  uint32_t table[256];
  BuildGradientMapTable(stops, false, table);
  const CGradation g(TPoint{0, 0}, TPoint{510 * 65536, 0}, &stops);
  EXPECT_EQ(table[0], ColorToPixel(g.ColorAt(1, 0)));
  EXPECT_EQ(table[255] & 0xFF, (g.ColorAt(511, 0) >> 16) & 0xFF);
  for (uint8_t keep : {0, 1}) {
    FilterDocument f;
    ASSERT_TRUE(f.ok);
    const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
    SGradientMapBlock b;
    InitGradientMapBlock(b);
    b.stops = &stops;
    b.keepAlpha = keep;
    ASSERT_TRUE(RunProc(f, &GradientMapFilter, &b, kBlockGradientMap));
    const std::vector<uint32_t> after = LayerPixels(f.Paper(), 0);
    for (size_t i = 0; i < after.size(); ++i) {
      uint32_t o = before[i];
      const uint32_t colour = table[PixelLuminance(&o)] & 0xFFFFFF;
      ASSERT_EQ(after[i] & 0xFFFFFF, colour);
      ASSERT_EQ(after[i] >> 24, keep != 0 ? o >> 24 : table[o >> 24] >> 24);
    }
  }
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  SGradientMapBlock none;
  EXPECT_FALSE(RunProc(f, &GradientMapFilter, &none, kBlockGradientMap));
}

// Wrong sizes and damaged Singles change nothing.
TEST_F(FilterAlgorithmsTest, WrongSizesAndNonFiniteValuesFailUnchanged) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  int32_t block[6] = {};
  const struct {
    FilterProc proc;
    int32_t wrongSize;
  } cases[] = {{&LevelsFilter, 16}, {&HueSaturationFilter, 8},  {&BrightnessContrastFilter, 24},
               {&ColorBalanceFilter, 8}, {&PosterizeFilter, 16}, {&ThresholdFilter, 0},
               {&InvertFilter, 8},      {&GradientMapFilter, 16}};
  for (const auto& c : cases) EXPECT_FALSE(RunProc(f, c.proc, block, c.wrongSize));
  const float nan[4] = {1.0f, INFINITY, 1.0f, 0.0f};
  CFlt4Core core(f.Paper(), f.Flow(), 0, &ColorBalanceFilter, false);
  ASSERT_TRUE(core.IsValid());
  EXPECT_FALSE(core.Execute(nan, 16, nullptr));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), before);
}

// ---- Commands, undo and replay

TEST_F(FilterAlgorithmsTest, ColourAdjustmentsRunUndoAndReplay) {
  CColorSlotGroup stops(4);
  ASSERT_TRUE(stops.SetStop(0, 0x00336699u, 65536, 255));
  ASSERT_TRUE(stops.SetStop(1, 0x00FFEE10u, 65536, 128));
  ASSERT_TRUE(stops.Normalize());
  CommandsDialogs dialogs;
  dialogs.stops = &stops;
  std::vector<int32_t> levels(6);
  const auto lb = LevelBytes({12, 80, 240, 3, 250}, {40, 130, 200, 0, 255}, 1);
  std::memcpy(levels.data(), lb.data(), 24);
  std::vector<int32_t> curved = levels;
  reinterpret_cast<uint8_t*>(curved.data())[20] = 0;
  CheckCommandsReplay(PathOf("recording.te4"),
                      {{FilterKey::Invert, {}},
                       {FilterKey::Levels, levels},
                       {FilterKey::Levels, curved},
                       {FilterKey::BrightnessContrast, {15, -40, 1, 0}},
                       {FilterKey::BrightnessContrast, {-25, 70, 0, 0}},
                       {FilterKey::ColorBalance, {FloatBits(0.6f), FloatBits(1.0f), FloatBits(1.8f), 0}},
                       {FilterKey::HueSaturation, {-90, 30, 20, 0}},
                       {FilterKey::HueSaturation, {45, -20, -30, 0x0100}},
                       {FilterKey::HueSaturation, {0, 60, 10, 0x0001}},
                       {FilterKey::GradientMap, {}},
                       {FilterKey::Posterize, {}},
                       {FilterKey::Threshold, {90 | 1 << 8, 0}}},
                      dialogs);
}

TEST_F(FilterAlgorithmsTest, RepeatLoadersAndDefaults) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  uint8_t block[24];
  ASSERT_TRUE(LoadLastFilter(FilterKey::Levels, block, f.Layer()));
  EXPECT_EQ(std::vector<uint8_t>(block, block + 24), LevelBytes({}, {}, 1));
  ASSERT_TRUE(LoadLastFilter(FilterKey::Posterize, block, f.Layer()));
  EXPECT_EQ(BlockWord(block, 0), 4);
  ASSERT_TRUE(LoadLastFilter(FilterKey::ColorBalance, block, f.Layer()));
  float g[3];
  std::memcpy(g, block, 12);
  EXPECT_EQ(g[0], 1.0f);
  EXPECT_EQ(g[2], 1.0f);
  // The emboss: a confirmed block's angle comes back as it was (remembered as the dialog shows it).
  ASSERT_TRUE(LoadLastFilter(FilterKey::Emboss, block, f.Layer()));
  EXPECT_EQ(BlockWord(block, 0), -120);
  const int32_t emboss[4] = {-33, FloatBits(2.0f), 150, 0};
  RememberFilterBlock(FilterKey::Emboss, emboss, 16);
  EXPECT_EQ(BlockWord(FilterMemory(FilterKey::Emboss).block, 0), 33);
  ASSERT_TRUE(LoadLastFilter(FilterKey::Emboss, block, f.Layer()));
  EXPECT_EQ(std::memcmp(block, emboss, 16), 0);
  // Noise and diffuse take a new seed from the clock; diffuse and median the layer's flag.
  f.Layer().alphaProtect = 1;
  ASSERT_TRUE(LoadLastFilter(FilterKey::Diffuse, block, f.Layer()));
  EXPECT_EQ(block[14], 1);
  ASSERT_TRUE(LoadLastFilter(FilterKey::Median, block, f.Layer()));
  EXPECT_EQ(block[0], 8);
  EXPECT_EQ(block[1], 1);
  ASSERT_TRUE(LoadLastFilter(FilterKey::Mosaic, block, f.Layer()));
  EXPECT_EQ(BlockWord(block, 0), 16);
  EXPECT_EQ(BlockWord(block, 1), 1);
  // The zoom blur's centre scales from the remembered selection size to the layer's part now.
  SFilterMemory& zoom = FilterMemory(FilterKey::RadialBlur);
  SetBlockWord(zoom.block, 0, 100 | -50 << 16);
  ASSERT_TRUE(LoadLastFilter(FilterKey::RadialBlur, block, f.Layer()));
  EXPECT_EQ(LoadLE<int16_t>(block), 28);       // 100 x 72 / 256
  EXPECT_EQ(LoadLE<int16_t>(block + 2), -11);  // -50 x 56 / 256, halves away from zero
  EXPECT_EQ(block[5], 1);
  EXPECT_EQ(block[6], 1);
  EXPECT_EQ(LoadLE<int32_t>(zoom.inlineBytes), 72);
  StoreLE<int32_t>(zoom.inlineBytes + 4, 0);
  EXPECT_FALSE(LoadLastFilter(FilterKey::RadialBlur, block, f.Layer()));
  f.Layer().alphaProtect = 0;
  const int32_t remembered[2] = {77 | 1 << 8, 0};
  RememberFilterBlock(FilterKey::Threshold, remembered, 8);
  ASSERT_TRUE(LoadLastFilter(FilterKey::Threshold, block, f.Layer()));
  EXPECT_EQ(block[0], 77);
  EXPECT_EQ(block[1], 0);
}

// ---- Blurs

int32_t MotionWords(uint8_t distance, uint8_t variant, int16_t angle) {
  return distance | variant << 8 | static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(angle)) << 16);
}

TEST(GaussianKernelsTest, TinySigmaAndOnePixelSide) {
  int32_t a[9], b[1];
  int32_t ra = -1, rb = -1;
  BuildGaussianKernels(a, b, 9, 0.01, 1, ra, rb);
  EXPECT_EQ(a[4], 65536);
  EXPECT_EQ(a[3], 0);
  EXPECT_EQ(ra, 1);
  EXPECT_EQ(b[0], 65536);
  EXPECT_EQ(rb, 1);
  float fa[9], fb[1];
  BuildGaussianKernelsFloat(fa, fb, 9, 2.0, 1, ra, rb);
  int32_t ia[9];
  int32_t r2 = 0;
  BuildGaussianKernels(ia, b, 9, 2.0, 1, r2, rb);
  EXPECT_EQ(ra, r2);
  for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(ia[i], static_cast<int32_t>(static_cast<double>(fa[i]) * 65536.0 + 0.5)) << i;
}

// The two integer passes against the model, over random pixels with transparent areas, for the
// whole layer and for a preview rectangle, with and without alpha protection.
TEST_F(FilterAlgorithmsTest, GaussianBlurMatchesTheModel) {
  for (float sigma : {0.3f, 1.0f, 2.5f}) {
    for (uint8_t protect : {0, 1}) {
      for (bool part : {false, true}) {
        SCOPED_TRACE(testing::Message() << sigma << " protect " << int{protect} << " part " << part);
        FilterDocument f(40, 30, 11);
        ASSERT_TRUE(f.ok);
        CBlockVMTC& store = *f.Layer().Store();
        SceneRng rng(5);
        for (int32_t y = 0; y < store.Height(); ++y)
          for (int32_t x = 0; x < store.Width(); ++x) {
            uint32_t* p = store.WritePtr(x, y);
            ASSERT_NE(p, nullptr);
            if ((x > 25 && y < 12) || rng.Next() % 5 == 0) *p &= 0x00FFFFFFu;
          }
        f.Layer().alphaProtect = protect;
        const std::vector<uint32_t> before = StorePixels(store);
        const TRect clip = part ? TRect{3, 4, 31, 22} : TRect{0, 0, store.Width(), store.Height()};
        std::vector<int32_t> in{store.Width(), store.Height(), FloatBits(sigma), clip.left, clip.top, clip.right, clip.bottom};
        for (uint32_t p : before) in.push_back(static_cast<int32_t>(p));
        std::vector<uint32_t> model;
        std::string output;
        ASSERT_TRUE(RunModel("gauss", in, model, output)) << output;
        int32_t block[2] = {FloatBits(sigma), 0};
        ASSERT_TRUE(RunProc(f, &GaussianBlurFilter, block, 8, part ? &clip : nullptr));
        const std::vector<uint32_t> after = StorePixels(store);
        size_t k = 0;
        for (int32_t y = 0; y < store.Height(); ++y)
          for (int32_t x = 0; x < store.Width(); ++x) {
            const size_t i = static_cast<size_t>(y) * store.Width() + x;
            const uint32_t o = before[i];
            uint32_t expect = o;
            if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) {
              const bool counted = model[k] != 0;
              const uint32_t v = model[k + 1];
              k += 2;
              if (counted) expect = protect ? (o & 0xFF000000u) | (v & 0xFFFFFFu) : ((v >> 24) != 0 ? v : o & 0xFFFFFFu);
            }
            ASSERT_EQ(after[i], expect) << x << "," << y;
          }
      }
    }
  }
  // A radius not above 0 (NaN too) succeeds and changes nothing.
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  for (float r : {0.0f, -1.0f, NAN}) {
    int32_t block[2] = {FloatBits(r), 0};
    EXPECT_TRUE(RunProc(f, &GaussianBlurFilter, block, 8));
  }
  EXPECT_EQ(LayerPixels(f.Paper(), 0), before);
}

struct NeighbourCase {
  const char* name;
  FilterProc proc;
  std::vector<int32_t> words;
  int32_t size;
  bool previewEqualsRun;
  int32_t alphaByte = -1;  // the block byte that must hold the layer's alpha protection
};

std::vector<NeighbourCase> NeighbourCases() {
  return {
      {"blur", &BlurFilter, {}, 0, true},
      {"blur box", &BlurBoxFilter, {}, 0, true},
      {"blur more", &BlurMoreFilter, {}, 0, true},
      {"blur more box", &BlurMoreBoxFilter, {}, 0, true},
      {"gaussian", &GaussianBlurFilter, {FloatBits(1.7f), 0}, 8, true},
      {"motion float", &MotionBlurFilter, {MotionWords(6, 0, 0), FloatBits(33.0f)}, 8, false},
      {"motion int", &MotionBlurFilter, {MotionWords(5, 1, -40), 0}, 8, false},
      {"motion sat", &MotionBlurFilter, {MotionWords(9, 2, 75), 0}, 8, false},
      {"zoom", &ZoomBlurFilter, {3 | -5 << 16, 7 | 1 << 16}, 8, false},
      {"zoom sat", &ZoomBlurFilter, {0, 12 | 1 << 16}, 8, false},
      {"sharpen", &SharpenFilter, {}, 0, true},
      {"sharpen more", &SharpenMoreFilter, {}, 0, true},
      {"sharpen custom", &SharpenCustomFilter, {FloatBits(0.55f), 0}, 8, true},
      {"noise", &NoiseFilter, {40, 0, 12345, 0}, 16, true},
      {"noise grey", &NoiseFilter, {300, 1, -7, 0}, 16, true},
      {"diffuse", &DiffuseFilter, {3, 0, 99, 0}, 16, true, 14},
      {"diffuse darker", &DiffuseFilter, {6, 1, 5, 0}, 16, true, 14},
      {"diffuse radial lighter", &DiffuseFilter, {4, 2, 77, 1}, 16, true, 14},
      {"median", &MedianFilter, {2}, 8, true},
      {"halftone", &ColorHalftoneFilter, {4, 15, 45, -30}, 16, true},
      {"mosaic", &MosaicFilter, {6, 0}, 8, true, 4},
      {"emboss", &EmbossFilter, {-120, FloatBits(3.0f), 150, 0}, 16, true},
      {"tiles squares", &TilesFilter, {1 | 1 << 8 | 9 << 16, static_cast<int32_t>(0x80102030u), static_cast<int32_t>(0xFF405060u), static_cast<int32_t>(0xC0A0B0C0u)}, 16, true},
      {"tiles triangles", &TilesFilter, {0 | 0 << 8 | 11 << 16, static_cast<int32_t>(0xFF102030u), static_cast<int32_t>(0xA0405060u), 0}, 16, true},
  };
}

// Every neighbourhood filter on a partly selected, moved, alpha-protected layer keeps every alpha
// byte and every pixel of coverage 0; without protection it changes the selected part; the
// filters whose preview must match the run give the run's pixels in a sub-rectangle.
TEST_F(FilterAlgorithmsTest, NeighbourhoodFiltersKeepAlphaCoverageAndPreviews) {
  for (const NeighbourCase& c : NeighbourCases()) {
    SCOPED_TRACE(c.name);
    int32_t block[6] = {};
    for (size_t i = 0; i < c.words.size(); ++i) block[i] = c.words[i];
    std::vector<uint32_t> full;
    for (uint8_t protect : {1, 0}) {
      if (c.alphaByte >= 0) reinterpret_cast<uint8_t*>(block)[c.alphaByte] = protect;
      FilterDocument f;
      ASSERT_TRUE(f.ok);
      ASSERT_TRUE(f.Paper().OffsetLayerGrow(f.Flow(), 0, true, 5, -7, 3));
      PartialMask(f);
      f.Layer().alphaProtect = protect;
      const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
      ASSERT_TRUE(RunProc(f, c.proc, block, c.size));
      const std::vector<uint32_t> after = LayerPixels(f.Paper(), 0);
      EXPECT_NE(after, before);
      const CBlockVMTC& store = *f.Layer().Store();
      for (int32_t y = 0; y < store.Height(); ++y)
        for (int32_t x = 0; x < store.Width(); ++x) {
          const size_t i = static_cast<size_t>(y) * store.Width() + x;
          if (protect) {
            ASSERT_EQ(after[i] >> 24, before[i] >> 24) << x << "," << y;
          }
          if (ModelCoverage(f.Layer(), f.Paper().GetActiveMask(), x, y) == 0) {
            ASSERT_EQ(after[i], before[i]);
          }
        }
      full = after;
    }
    if (c.previewEqualsRun) ExpectPreviewMatchesRun(c.proc, block, c.size, full);
  }
}

TEST_F(FilterAlgorithmsTest, BlursRefuseDamagedBlocksAndDoNothingForZeroAmounts) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  int32_t nanAngle[2] = {MotionWords(4, 0, 0), FloatBits(NAN)};
  EXPECT_FALSE(RunProc(f, &MotionBlurFilter, nanAngle, 8));
  int32_t zero[2] = {MotionWords(0, 2, 30), 0};
  EXPECT_TRUE(RunProc(f, &MotionBlurFilter, zero, 8));
  int32_t zoomZero[2] = {0, 0 | 1 << 16};
  EXPECT_TRUE(RunProc(f, &ZoomBlurFilter, zoomZero, 8));
  int32_t block[2] = {};
  for (FilterProc p : {&BlurFilter, &BlurMoreFilter, &BlurBoxFilter, &BlurMoreBoxFilter})
    EXPECT_FALSE(RunProc(f, p, block, 8));
  for (FilterProc p : {&GaussianBlurFilter, &MotionBlurFilter, &ZoomBlurFilter}) EXPECT_FALSE(RunProc(f, p, block, 16));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), before);
}

TEST_F(FilterAlgorithmsTest, BlursRunUndoAndReplay) {
  CommandsDialogs dialogs;
  CheckCommandsReplay(PathOf("recording.te4"),
                      {{FilterKey::Blur, {}},
                       {FilterKey::BlurMore, {}},
                       {FilterKey::GaussianBlur, {FloatBits(2.0f), 0}},
                       {FilterKey::MotionBlur, {}},
                       {FilterKey::MotionBlur, {MotionWords(7, 2, -60), 0}},
                       {FilterKey::RadialBlur, {}},
                       {FilterKey::RadialBlur, {10 | 20 << 16, 9 | 1 << 16}}},
                      dialogs);
}

// Events 0 and 1 run the box kernels and record their own ids; event 17 is today's colour balance.
TEST_F(FilterAlgorithmsTest, FirstBlursAndColourBalanceRecordAndReplay) {
  FilterDocument a;
  ASSERT_TRUE(a.ok);
  TPaper& paper = a.Paper();
  ASSERT_TRUE(paper.SelectRect(a.Flow(), 0, true, 0, TPoint{6, 5}, TPoint{60, 44}));
  FilterDocument current;
  ASSERT_TRUE(current.ok);
  ASSERT_TRUE(current.Paper().SelectRect(current.Flow(), 0, true, 0, TPoint{6, 5}, TPoint{60, 44}));
  SFilterRecordedValues none;
  ASSERT_TRUE(ReplayBlur(current.Paper(), current.Flow(), 0, none, false, 0));
  ASSERT_TRUE(ReplayBlurV1(paper, a.Flow(), 0, true, 0));
  EXPECT_NE(LayerPixels(paper, 0), LayerPixels(current.Paper(), 0));
  EXPECT_EQ(LastRecordedCommand(a.Events()).frame.header.code, 0);
  ASSERT_TRUE(ReplayBlurMoreV1(paper, a.Flow(), 0, true, 0));
  EXPECT_EQ(LastRecordedCommand(a.Events()).frame.header.code, 1);
  SFilterRecordedValues balance;
  balance.wordCount = 4;
  balance.words[0] = FloatBits(0.7f);
  balance.words[1] = FloatBits(1.3f);
  balance.words[2] = FloatBits(1.0f);
  ASSERT_TRUE(ReplayColorBalanceV1(paper, a.Flow(), 0, balance, true, 0));
  HeadlessPlaybackWindow b;
  ASSERT_TRUE(PlaySavedRecording(paper, PathOf("recording.te4"), b));
  EXPECT_EQ(LayerPixels(b.Paper(), 0), LayerPixels(paper, 0));
}

TEST(SharpenTest, CustomWeightAndKernelOnOpaquePixels) {
  int32_t k = -1;
  ASSERT_TRUE(SharpenCustomWeight(0.0f, k));
  EXPECT_EQ(k, 0);
  ASSERT_TRUE(SharpenCustomWeight(1.0f, k));
  EXPECT_EQ(k, 240);
  ASSERT_TRUE(SharpenCustomWeight(0.3f, k));
  EXPECT_EQ(k, static_cast<int32_t>(std::pow(0.3f * 3718.0624f + 0.5, 2.0 / 3.0)));
  EXPECT_FALSE(SharpenCustomWeight(NAN, k));
  EXPECT_FALSE(SharpenCustomWeight(-1.0f, k));  // a negative base: not a number
}

TEST_F(FilterAlgorithmsTest, SharpenKernelsByHand) {
  FilterDocument f(8, 8);
  ASSERT_TRUE(f.ok);
  CBlockVMTC& store = *f.Layer().Store();
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const uint32_t v = (x == 4 && y == 4) ? 0xFF804140u : 0xFF404040u;
      *store.WritePtr(x, y) = v;
      *f.Flow()->Image().Pixel(x, y) = v;  // the working copy the filters read
    }
  const std::vector<uint32_t> before = StorePixels(store);
  // Amount 0: unchanged; a uniform area under the fixed kernels: unchanged away from the dot.
  int32_t zero[2] = {FloatBits(0.0f), 0};
  ASSERT_TRUE(RunProc(f, &SharpenCustomFilter, zero, 8));
  EXPECT_EQ(StorePixels(store), before);
  // Amount 1: (999 c - 960 n) / 39 per channel at the dot.
  int32_t one[2] = {FloatBits(1.0f), 0};
  ASSERT_TRUE(RunProc(f, &SharpenCustomFilter, one, 8));
  const uint32_t dot = store.GetPixel(4, 4);
  EXPECT_EQ((dot >> 16) & 0xFF, 255u);                       // (999 x 128 - 960 x 64) / 39 > 255
  EXPECT_EQ((dot >> 8) & 0xFF, static_cast<uint32_t>((999 * 65 - 960 * 64) / 39));
  EXPECT_EQ(dot & 0xFF, 64u);
  EXPECT_EQ(store.GetPixel(1, 1), 0xFF404040u);
  int32_t nan[2] = {FloatBits(NAN), 0};
  EXPECT_FALSE(RunProc(f, &SharpenCustomFilter, nan, 8));
}

TEST_F(FilterAlgorithmsTest, SharpenRunsUndoAndReplay) {
  CommandsDialogs dialogs;
  CheckCommandsReplay(PathOf("recording.te4"),
                      {{FilterKey::Sharpen, {}},
                       {FilterKey::SharpenMore, {}},
                       {FilterKey::SharpenCustom, {}},
                       {FilterKey::SharpenCustom, {FloatBits(0.8f), 0}}},
                      dialogs);
}

// ---- Noise, diffuse and median

// Runs the filter over the whole layer and compares every pixel with the model's answer for the
// values and the picture.
void ExpectModelRun(FilterDocument& f, const std::string& mode, std::vector<int32_t> in,
                    const std::vector<uint32_t>& picture, FilterProc proc, const void* block, int32_t size) {
  for (uint32_t p : picture) in.push_back(static_cast<int32_t>(p));
  std::vector<uint32_t> model;
  std::string output;
  ASSERT_TRUE(RunModel(mode, in, model, output)) << output;
  ASSERT_TRUE(RunProc(f, proc, block, size));
  EXPECT_EQ(StorePixels(*f.Layer().Store()), model);
}

TEST_F(FilterAlgorithmsTest, MedianNoiseAndDiffuseMatchTheModel) {
  const int32_t w = 23, h = 17;
  for (int32_t r : {1, 2, 5}) {
    SCOPED_TRACE(r);
    FilterDocument f(w, h);
    ASSERT_TRUE(f.ok);
    const std::vector<uint32_t> pic = RandomPicture(w, h, 3 + r, 0xFF000000u, 0);
    SetPicture(f, pic);
    const uint8_t block[8] = {static_cast<uint8_t>(r), 0, 0, 0, 0, 0, 0, 0};
    ExpectModelRun(f, "median", {w, h, r}, pic, &MedianFilter, block, 8);
  }
  for (auto [amount, mono, seed] : {std::tuple{0, 0, 5}, {30, 0, 123}, {200, 1, -99}, {512, 0, 1}}) {
    SCOPED_TRACE(amount);
    FilterDocument f(w, h);
    ASSERT_TRUE(f.ok);
    const std::vector<uint32_t> pic = RandomPicture(w, h, 8, 0, 4);
    SetPicture(f, pic);
    const int32_t block[4] = {amount, mono, seed, 0};
    ExpectModelRun(f, "noise", {w, h, amount, mono, seed}, pic, &NoiseFilter, block, 16);
    if (amount == 0) {
      EXPECT_EQ(StorePixels(*f.Layer().Store()), pic);
    }
  }
  for (auto [range, mode, seed] : {std::tuple{1, 0, 5}, {4, 1, 123}, {9, 2, -99}}) {
    SCOPED_TRACE(range);
    FilterDocument f(w, h);
    ASSERT_TRUE(f.ok);
    const std::vector<uint32_t> pic = RandomPicture(w, h, 9, 0, 4);
    SetPicture(f, pic);
    const int32_t block[4] = {range, mode, seed, 0};
    ExpectModelRun(f, "diffuse", {w, h, range, mode, seed}, pic, &DiffuseFilter, block, 16);
  }
}

TEST_F(FilterAlgorithmsTest, MedianAlphaRuleAndDiffuseRefusals) {
  FilterDocument f(5, 5);
  ASSERT_TRUE(f.ok);
  std::vector<uint32_t> pic(25, 0x00000000u);
  pic[12] = 0xFF0A2030u;  // one opaque pixel
  SetPicture(f, pic);
  const uint8_t block[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(RunProc(f, &MedianFilter, block, 8));
  // Alpha median 0; the colour of the one pixel with alpha (it sits in every window around it).
  EXPECT_EQ(f.Layer().Store()->GetPixel(2, 2) & 0xFF000000u, 0u);
  uint32_t h[256] = {};
  h[10] = 1;
  h[200] = 1;
  EXPECT_EQ(TwoEndedMedian(h, 1), 10);
  h[10] = 0;
  EXPECT_EQ(TwoEndedMedian(h, 1), 200);
  // Diffuse: a mode outside 0..2, or an alpha byte unlike the layer's flag.
  FilterDocument g;
  ASSERT_TRUE(g.ok);
  const std::vector<uint32_t> before = LayerPixels(g.Paper(), 0);
  int32_t bad[4] = {2, 3, 1, 0};
  EXPECT_FALSE(RunProc(g, &DiffuseFilter, bad, 16));
  int32_t protectedByte[4] = {2, 0, 1, 1 << 16};
  EXPECT_FALSE(RunProc(g, &DiffuseFilter, protectedByte, 16));
  EXPECT_EQ(LayerPixels(g.Paper(), 0), before);
}

TEST_F(FilterAlgorithmsTest, NoiseDiffuseMedianRunUndoAndReplay) {
  CommandsDialogs dialogs;
  CheckCommandsReplay(PathOf("recording.te4"),
                      {{FilterKey::Noise, {}},
                       {FilterKey::Noise, {60, 1, 0, 0}},
                       {FilterKey::Diffuse, {}},
                       {FilterKey::Diffuse, {5, 1, 0, 1}},
                       {FilterKey::Median, {}},
                       {FilterKey::Median, {1}}},
                      dialogs);
}

// ---- Halftone, mosaic, emboss, tiles

TEST_F(FilterAlgorithmsTest, HalftoneMosaicEmbossTilesByHand) {
  const int32_t w = 40, h = 30;
  // Halftone: white stays white; angles 0 and 90, -30 and 60 give the same lattice.
  {
    FilterDocument f(w, h);
    ASSERT_TRUE(f.ok);
    SetPicture(f, std::vector<uint32_t>(static_cast<size_t>(w) * h, 0x80FFFFFFu));
    const int32_t block[4] = {5, 10, 20, 30};
    ASSERT_TRUE(RunProc(f, &ColorHalftoneFilter, block, 16));
    for (uint32_t p : StorePixels(*f.Layer().Store())) ASSERT_EQ(p, 0x80FFFFFFu);
  }
  auto halftone = [&](int32_t red, int32_t green, int32_t blue) {
    FilterDocument f(w, h, 3);
    EXPECT_TRUE(f.ok);
    const int32_t block[4] = {4, red, green, blue};
    EXPECT_TRUE(RunProc(f, &ColorHalftoneFilter, block, 16));
    return StorePixels(*f.Layer().Store());
  };
  // The same lattice, walked from another side: equal but for rounding at a few dot edges.
  const std::vector<uint32_t> a = halftone(0, 0, -30), b = halftone(90, 90, 60), c = halftone(45, 0, 0);
  size_t differ = 0, differOther = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    differ += a[i] != b[i];
    differOther += a[i] != c[i];
  }
  EXPECT_LT(differ * 10, a.size()) << differ;
  EXPECT_GT(differOther, differ * 2) << differOther << " " << differ;
  FilterDocument f(w, h, 3);
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  const int32_t zeroDot[4] = {0, 1, 2, 3};
  EXPECT_FALSE(RunProc(f, &ColorHalftoneFilter, zeroDot, 16));
  // Mosaic: size below 1 refused; cells anchored at the store origin.
  const int32_t zeroCell[2] = {0, 0};
  EXPECT_FALSE(RunProc(f, &MosaicFilter, zeroCell, 8));
  // Emboss: a damaged height refused.
  const int32_t nanHeight[4] = {30, FloatBits(NAN), 100, 0};
  EXPECT_FALSE(RunProc(f, &EmbossFilter, nanHeight, 16));
  // Tiles: a third-colour byte above 1, a width below 8, an unknown shape.
  for (int32_t word0 : {1 | 2 << 8 | 16 << 16, 1 | 7 << 16, 2 | 16 << 16}) {
    const int32_t tiles[4] = {word0, -1, -1, -1};
    EXPECT_FALSE(RunProc(f, &TilesFilter, tiles, 16));
  }
  EXPECT_EQ(LayerPixels(f.Paper(), 0), before);

  {
    FilterDocument g(w, h, 5);
    ASSERT_TRUE(g.ok);
    SetPicture(g, RandomPicture(w, h, 4, 0xFF000000u, 0));
    MaskOfRect(g, TRect{5, 3, 30, 25});
    const int32_t mosaic[2] = {4, 0};
    ASSERT_TRUE(RunProc(g, &MosaicFilter, mosaic, 8));
    // The first cell starts at x = 4, y = 0 and takes column 4 (outside the selection) into its colour.
    uint32_t colour = 0;
    AverageRectColour(colour, g.Flow()->Image(), TRect{4, 0, 8, 4});
    EXPECT_EQ(g.Layer().Store()->GetPixel(5, 3), colour);
    EXPECT_EQ(g.Layer().Store()->GetPixel(7, 3), colour);
  }
  {
    // Emboss on a flat area: grey 127, alpha kept.
    FilterDocument g(w, h);
    ASSERT_TRUE(g.ok);
    SetPicture(g, std::vector<uint32_t>(static_cast<size_t>(w) * h, 0x90336699u));
    const int32_t emboss[4] = {-120, FloatBits(3.0f), 100, 0};
    ASSERT_TRUE(RunProc(g, &EmbossFilter, emboss, 16));
    EXPECT_EQ(g.Layer().Store()->GetPixel(20, 15), 0x907F7F7Fu);
  }
  {
    // Squares: a checkerboard of two colours, diagonal stripes of three; opacity 0 leaves tiles.
    FilterDocument g(w, h);
    ASSERT_TRUE(g.ok);
    SetPicture(g, std::vector<uint32_t>(static_cast<size_t>(w) * h, 0xFF808080u));
    const int32_t two[4] = {1 | 8 << 16, static_cast<int32_t>(0xFF0000FFu), static_cast<int32_t>(0x00FF0000u), 0};
    ASSERT_TRUE(RunProc(g, &TilesFilter, two, 16));
    const CBlockVMTC& s = *g.Layer().Store();
    EXPECT_EQ(s.GetPixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(s.GetPixel(9, 0), 0xFF808080u);  // colour 2 at opacity 0
    EXPECT_EQ(s.GetPixel(9, 9), 0xFF0000FFu);
    const int32_t three[4] = {1 | 1 << 8 | 8 << 16, static_cast<int32_t>(0xFF0000FFu), static_cast<int32_t>(0xFF00FF00u),
                              static_cast<int32_t>(0xFFFF0000u)};
    ASSERT_TRUE(RunProc(g, &TilesFilter, three, 16));
    EXPECT_EQ(s.GetPixel(8, 0), 0xFF00FF00u);
    EXPECT_EQ(s.GetPixel(0, 8), 0xFF00FF00u);
    EXPECT_EQ(s.GetPixel(16, 0), 0xFFFF0000u);
    EXPECT_EQ(s.GetPixel(8, 8), 0xFFFF0000u);
  }
}

TEST_F(FilterAlgorithmsTest, HalftoneMosaicEmbossTilesRunUndoAndReplay) {
  CommandsDialogs dialogs;
  CheckCommandsReplay(PathOf("recording.te4"),
                      {{FilterKey::ColorHalftone, {}},
                       {FilterKey::Mosaic, {}},
                       {FilterKey::Mosaic, {5, 0}},
                       {FilterKey::Emboss, {}},
                       {FilterKey::Emboss, {45, FloatBits(6.5f), 220, 0}},
                       {FilterKey::Tiles, {1 | 1 << 8 | 12 << 16, static_cast<int32_t>(0xC0203040u), static_cast<int32_t>(0xFF908070u), static_cast<int32_t>(0x80FFEEDDu)}},
                       {FilterKey::Tiles, {0 | 1 << 8 | 13 << 16, static_cast<int32_t>(0xFF203040u), static_cast<int32_t>(0x60908070u), static_cast<int32_t>(0xFFFFEEDDu)}}},
                      dialogs);
}

// ---- A kept recording

// The painting with every neighbourhood and colour filter, recorded by their replay twins with
// fixed values, kept with the checksum of its replay: a change to any filter's arithmetic fails
// here. Set TF_WRITE_FILTER_FIXTURE=1 to write the recording again (only when the arithmetic is
// meant to change).
TEST_F(FilterAlgorithmsTest, KeptRecordingReplaysToItsChecksum) {
  const std::string path = std::string(TF_TEST_DATA_DIR) + "/filters_neighbourhood.te4";
  constexpr uint64_t kKeptChecksum = 0xfe24107559ee4588ull;
  if (std::getenv("TF_WRITE_FILTER_FIXTURE") != nullptr) {
    FilterDocument a(64, 48, 0x55);
    ASSERT_TRUE(a.ok);
    TPaper& paper = a.Paper();
    ASSERT_TRUE(paper.OffsetLayerGrow(a.Flow(), 0, true, 3, -4, 3));
    ASSERT_TRUE(paper.SelectRect(a.Flow(), 0, true, 0, TPoint{4, 3}, TPoint{58, 44}));
    const std::vector<std::pair<FilterKey, std::vector<int32_t>>> runs = {
        {FilterKey::Invert, {}},
        {FilterKey::Levels, {0x0A141E28, 0x64508C46, static_cast<int32_t>(0xFAE6DCC8), 0x05000302, static_cast<int32_t>(0xFFF0FAF5), 0}},
        {FilterKey::HueSaturation, {-70, 25, 15, 0}},
        {FilterKey::HueSaturation, {30, -40, -10, 0x0100}},
        {FilterKey::BrightnessContrast, {12, 35, 0, 0}},
        {FilterKey::BrightnessContrast, {-8, -20, 1, 0}},
        {FilterKey::ColorBalance, {FloatBits(0.8f), FloatBits(1.25f), FloatBits(1.6f), 0}},
        {FilterKey::Blur, {}},
        {FilterKey::BlurMore, {}},
        {FilterKey::GaussianBlur, {FloatBits(1.3f), 0}},
        {FilterKey::MotionBlur, {MotionWords(6, 2, 35), 0}},
        {FilterKey::MotionBlur, {MotionWords(5, 0, 0), FloatBits(-20.0f)}},
        {FilterKey::RadialBlur, {2 | -3 << 16, 7 | 1 << 16}},
        {FilterKey::Sharpen, {}},
        {FilterKey::SharpenMore, {}},
        {FilterKey::SharpenCustom, {FloatBits(0.4f), 0}},
        {FilterKey::Noise, {25, 0, 4242, 0}},
        {FilterKey::Diffuse, {3, 0, 77, 0}},
        {FilterKey::Diffuse, {4, 2, 78, 1}},
        {FilterKey::Median, {2, 0}},
        {FilterKey::ColorHalftone, {5, 10, 40, 70}},
        {FilterKey::Mosaic, {5, 0}},
        {FilterKey::Emboss, {-135, FloatBits(2.5f), 130, 0}},
        {FilterKey::Tiles, {1 | 1 << 8 | 10 << 16, static_cast<int32_t>(0xC0203040u), static_cast<int32_t>(0xFF908070u), static_cast<int32_t>(0x80FFEEDDu)}},
        {FilterKey::Tiles, {0 | 1 << 8 | 13 << 16, static_cast<int32_t>(0xFF203040u), static_cast<int32_t>(0x60908070u), static_cast<int32_t>(0xFFFFEEDDu)}},
        {FilterKey::Posterize, {6, 0}},
        {FilterKey::Threshold, {120, 0}},
    };
    for (const auto& [key, words] : runs) {
      SFilterRecordedValues values;
      values.wordCount = static_cast<int32_t>(words.size());
      for (size_t i = 0; i < words.size(); ++i) values.words[i] = words[i];
      ASSERT_TRUE(ReplayFilter(key, paper, a.Flow(), 0, values, true, 0)) << FilterRow(key).keyName;
    }
    ASSERT_TRUE(ReplayBlurV1(paper, a.Flow(), 0, true, 0));
    ASSERT_TRUE(ReplayBlurMoreV1(paper, a.Flow(), 0, true, 0));
    CPaperEventFileDocument file(paper);
    ASSERT_TRUE(SaveEventFile(path, file, false, -1, -1, true));
    std::printf("kept filter recording checksum %016llx\n", static_cast<unsigned long long>(FingerprintChecksum(paper)));
  }
  HeadlessPlaybackWindow b;
  CPlayer player(b.Paper(), &b);
  ASSERT_EQ(player.startPlay(path), kStartPlayStarted);
  EXPECT_EQ(PlayToEnd(player), kPlayStepEnded);
  const uint64_t checksum = FingerprintChecksum(b.Paper());
  EXPECT_EQ(checksum, kKeptChecksum) << std::hex << checksum;
}

// The filters that place samples in 16.16 refuse a store wider than 32767 pixels.
TEST_F(FilterAlgorithmsTest, FixedPointFiltersRefuseWideStores) {
  FilterDocument f(32768, 2);
  ASSERT_TRUE(f.ok);
  ASSERT_EQ(f.Layer().Store()->Width(), 32768);
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  const int32_t motion[2] = {MotionWords(3, 2, 10), 0};
  const int32_t motionFloat[2] = {MotionWords(3, 0, 0), FloatBits(10.0f)};
  const int32_t zoom[2] = {0, 4 | 1 << 16};
  const int32_t radial[4] = {2, 0, 1, 1};
  const int32_t emboss[4] = {30, FloatBits(2.0f), 100, 0};
  EXPECT_FALSE(RunProc(f, &MotionBlurFilter, motion, 8));
  EXPECT_FALSE(RunProc(f, &MotionBlurFilter, motionFloat, 8));
  EXPECT_FALSE(RunProc(f, &ZoomBlurFilter, zoom, 8));
  EXPECT_FALSE(RunProc(f, &DiffuseFilter, radial, 16));
  EXPECT_FALSE(RunProc(f, &EmbossFilter, emboss, 16));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), before);
}

}  // namespace
}  // namespace tf::test
