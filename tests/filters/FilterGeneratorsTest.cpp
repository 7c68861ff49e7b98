// Clouds, plasma, rock, the distortions, the point and kernel effects, lighting and the floor:
// against independent numpy models (tests/data/filters_model.py), one property table over every
// filter, the geometry special cases, the refusals of damaged blocks, the loaders, and every
// filter through its command, undo and replay.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/BlendMode.h"
#include "filters/Distortions.h"
#include "filters/Floor.h"
#include "filters/FilterRunSupport.h"
#include "filters/Generators.h"
#include "filters/Lighting.h"
#include "filters/PointEffects.h"
#include "filters/ScaleImageFilter.h"
#include "platform/ByteOrder.h"
#include "platform/Clock.h"
#include "events/EventPacket.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

class FilterGeneratorsTest : public TempFolderTest {
 protected:
  FilterGeneratorsTest() : TempFolderTest("tf-filter-generators") {}
  ~FilterGeneratorsTest() override { SetMillisecondSource({}); }
  FilterTestScope scope;
};

uint32_t Ch(uint32_t p, int s) { return (p >> s) & 0xFFu; }

// Every channel within one level.
bool WithinOneLevel(uint32_t a, uint32_t b) {
  for (int s = 0; s < 32; s += 8)
    if (std::abs(static_cast<int32_t>(Ch(a, s)) - static_cast<int32_t>(Ch(b, s))) > 1) return false;
  return true;
}

// ---- Blocks

// A 50-byte block over its own data.
struct SBlock50 {
  SFilterParam50 block{};
  std::vector<uint8_t> data;
  SBlock50(const uint8_t* bytes, int32_t n, uint32_t ambient = 0, int32_t level = 0) : data(bytes, bytes + n) {
    InitFilterBlock50(block, 1, n);
    block.data = data.data();
    StoreLE<uint32_t>(block.Inline() + 0, ambient);
    StoreLE<int32_t>(block.Inline() + 4, level);
  }
};

SBlock50 KernelBlock(const int32_t kernel[27]) {
  uint8_t bytes[108];
  for (int32_t i = 0; i < 27; ++i) StoreLE<int32_t>(bytes + 4 * i, kernel[i]);
  return SBlock50(bytes, 108);
}

// A floor block with two textures of its own.
struct SFloorBlock {
  SFltFloor block{};
  TMTC ceiling{kFloorTextureSide, kFloorTextureSide};
  TMTC floor{kFloorTextureSide, kFloorTextureSide};
  SFloorBlock(uint8_t fogMode, uint8_t keep, uint8_t infinite, float tilt, uint8_t used = 3) {
    InitFloorBlock(block);
    for (int32_t y = 0; y < kFloorTextureSide; ++y)
      for (int32_t x = 0; x < kFloorTextureSide; ++x) {
        *ceiling.Pixel(x, y) = 0xFF000000u | static_cast<uint32_t>((x * 5) & 255) << 16 | static_cast<uint32_t>(y) << 8;
        *floor.Pixel(x, y) = (((x / 16 + y / 16) & 1) != 0 ? 0xFF2080E0u : 0x80F0F020u);
      }
    block.ceiling.image = &ceiling;
    block.floor.image = &floor;
    uint8_t* v = block.values;
    StoreLE<int32_t>(v + 0, 40);
    const float eye = 45.0f;
    std::memcpy(v + 4, &eye, 4);
    StoreLE<int32_t>(v + 8, 60);
    const float heading = 0.3f;
    std::memcpy(v + 12, &heading, 4);
    std::memcpy(v + 16, &tilt, 4);
    StoreLE<int32_t>(v + 24, 120);
    StoreLE<int32_t>(v + 28, 100);
    StoreLE<int32_t>(v + 32, 70);
    StoreLE<uint32_t>(v + 36, 0x00405060u);
    v[40] = keep;
    v[41] = fogMode;
    v[42] = used;
    v[44] = infinite;
    v[45] = 2;
    v[46] = 30;
    for (int32_t i = 0; i < 4; ++i) StoreLE<int16_t>(v + 47 + 2 * i, static_cast<int16_t>(64 + 16 * i));
  }
};

// ---- Models

void RandomInto(FilterDocument& f, uint64_t seed, uint32_t orMask) {
  const CBlockVMTC& s = *f.Layer().Store();
  SetPicture(f, RandomPicture(s.Width(), s.Height(), seed, orMask, 0));
}

TEST(GeneratorModels, PlasmaGridsMatchTheModel) {
  struct Case {
    int32_t w, h, roughness;
    uint32_t seed;
  };
  for (const Case c : {Case{1, 1, 256, 5}, Case{2, 2, 256, 1}, Case{5, 3, 256, 77}, Case{8, 2, 900, 0xDEADBEEFu},
                       Case{13, 7, 2560, 123456}, Case{33, 17, 65535, 9}}) {
    for (int32_t channels : {1, 3}) {
      SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " r" << c.roughness << " ch" << channels);
      std::vector<uint32_t> model;
      std::string output;
      ASSERT_TRUE(RunModel("plasma", {c.w, c.h, c.roughness, static_cast<int32_t>(c.seed), channels}, model, output))
          << output;
      std::unique_ptr<TPlasma> plasma = channels == 1 ? std::make_unique<TPlasma>() : std::make_unique<TPlasma3>();
      ASSERT_TRUE(plasma->Generate(c.w, c.h, c.roughness / 256.0, c.seed));
      std::vector<uint32_t> got{static_cast<uint32_t>(plasma->GridWidth()), static_cast<uint32_t>(plasma->GridHeight())};
      for (int32_t ch = 0; ch < channels; ++ch)
        for (int32_t y = 0; y < plasma->GridHeight(); ++y)
          for (int32_t x = 0; x < plasma->GridWidth(); ++x) got.push_back(plasma->At(ch, x, y));
      EXPECT_EQ(got, model);
    }
  }
}

TEST(GeneratorModels, CloudsRockTileMatchesTheModel) {
  struct Case {
    int32_t w, h, contrast;
    bool rock;
  };
  for (const Case c : {Case{20, 20, 100, false}, Case{37, 23, 300, true}, Case{70, 9, 1000, false}, Case{1, 5, 50, true}}) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    std::vector<uint32_t> model;
    std::string output;
    ASSERT_TRUE(RunModel("rock", {c.w, c.h, 4711, c.contrast, c.rock ? 1 : 0}, model, output)) << output;
    std::vector<uint8_t> tile;
    ASSERT_TRUE(RenderCloudsRockTile(tile, c.w, c.h, 4711, c.contrast, c.rock));
    EXPECT_EQ(std::vector<uint32_t>(tile.begin(), tile.end()), model);
  }
}

TEST_F(FilterGeneratorsTest, KernelEdgesAndSolarizeMatchTheModel) {
  const int32_t w = 23, h = 17;
  const int32_t kernels[2][27] = {
      {0, 0, 0, 0, 0, 0, -2, -3, 0, 0, 0, -3, 4, 3, 0, 0, 0, 3, 2, 0, 0, 0, 0, 0, 0, 4, 0},
      {1, -2, 3, -4, 5, 6, 7, -8, 9, 10, -11, 12, 13, 14, -15, 16, 17, 18, -19, 20, 21, -22, 23, 24, 25, -7, 30}};
  for (const auto& k : kernels) {
    FilterDocument f(w, h);
    ASSERT_TRUE(f.ok);
    RandomInto(f, 31, 0);
    const std::vector<uint32_t> pic = LayerPixels(f.Paper(), 0);
    std::vector<int32_t> in{w, h};
    in.insert(in.end(), k, k + 27);
    for (uint32_t p : pic) in.push_back(static_cast<int32_t>(p));
    std::vector<uint32_t> model;
    std::string output;
    ASSERT_TRUE(RunModel("kernel", in, model, output)) << output;
    SBlock50 b = KernelBlock(k);
    ASSERT_TRUE(RunProc(f, &CustomKernelFilter, &b.block, 50));
    EXPECT_EQ(LayerPixels(f.Paper(), 0), model);
  }
  FilterDocument f(w, h), g(w, h);
  ASSERT_TRUE(f.ok && g.ok);
  RandomInto(f, 32, 0xFF000000u);
  RandomInto(g, 32, 0xFF000000u);
  std::vector<int32_t> in{w, h};
  for (uint32_t p : LayerPixels(f.Paper(), 0)) in.push_back(static_cast<int32_t>(p));
  std::vector<uint32_t> model;
  std::string output;
  ASSERT_TRUE(RunModel("edges", in, model, output)) << output;
  ASSERT_TRUE(RunProc(f, &EdgeDetectFilter, nullptr, 0));
  ASSERT_TRUE(RunProc(g, &SolarizeFilter, nullptr, 0));
  const std::vector<uint32_t> edges = LayerPixels(f.Paper(), 0), sol = LayerPixels(g.Paper(), 0);
  for (size_t i = 0; i < edges.size(); ++i) {
    ASSERT_EQ(edges[i], model[2 * i]) << i;
    ASSERT_EQ(sol[i], model[2 * i + 1]) << i;
  }
}

TEST(PointEffects, HandCases) {
  // Solarize: 0, 127, 128, 255.
  FilterTestScope scope;
  FilterDocument f(4, 1);
  ASSERT_TRUE(f.ok);
  SetPicture(f, {0xFF000000u, 0xFF7F7F7Fu, 0xFF808080u, 0xFFFFFFFFu});
  ASSERT_TRUE(RunProc(f, &SolarizeFilter, nullptr, 0));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), (std::vector<uint32_t>{0xFF000000u, 0xFF7F7F7Fu, 0xFF7F7F7Fu, 0xFF000000u}));
  // Edges: a flat colour turns white with its alpha; a black line on white reaches 0.
  FilterDocument e(5, 5);
  ASSERT_TRUE(e.ok);
  std::vector<uint32_t> line(25, 0x80FFFFFFu);
  for (int32_t y = 0; y < 5; ++y) line[static_cast<size_t>(y) * 5 + 2] = 0x80000000u;
  SetPicture(e, line);
  ASSERT_TRUE(RunProc(e, &EdgeDetectFilter, nullptr, 0));
  EXPECT_EQ(e.Layer().Store()->GetPixel(2, 2), 0x80000000u);  // 255 x 16 / 5 > 255
  EXPECT_EQ(e.Layer().Store()->GetPixel(0, 2) >> 24, 0x80u);
  // Luminance to alpha: white becomes transparent keeping its colour; black keeps its alpha and
  // takes the block colour.
  FilterDocument l(2, 1);
  ASSERT_TRUE(l.ok);
  SetPicture(l, {0xFFFFFFFFu, 0xC0000000u});
  uint8_t block[8] = {};
  StoreLE<uint32_t>(block, 0x00112233u);
  block[4] = 1;
  ASSERT_TRUE(RunProc(l, &LumToAlphaFilter, block, 8));
  EXPECT_EQ(l.Layer().Store()->GetPixel(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(l.Layer().Store()->GetPixel(1, 0), 0xC0112233u);
  const std::vector<uint32_t> now = LayerPixels(l.Paper(), 0);
  l.Layer().alphaProtect = 1;
  ASSERT_TRUE(RunProc(l, &LumToAlphaFilter, block, 8));
  EXPECT_EQ(LayerPixels(l.Paper(), 0), now);
}

TEST_F(FilterGeneratorsTest, WaveTwirlAndLightingMatchTheModelWithinOneLevel) {
  const int32_t w = 29, h = 19;
  const auto check = [&](const std::string& mode, std::vector<int32_t> head, FilterProc proc, const void* block,
                         int32_t size) {
    SCOPED_TRACE(mode);
    FilterDocument f(w, h);
    ASSERT_TRUE(f.ok);
    RandomInto(f, 41, 0xFF000000u);
    for (uint32_t p : LayerPixels(f.Paper(), 0)) head.push_back(static_cast<int32_t>(p));
    std::vector<uint32_t> model;
    std::string output;
    ASSERT_TRUE(RunModel(mode, head, model, output)) << output;
    ASSERT_TRUE(RunProc(f, proc, block, size));
    const std::vector<uint32_t> got = LayerPixels(f.Paper(), 0);
    ASSERT_EQ(got.size(), model.size());
    int32_t off = 0;
    for (size_t i = 0; i < got.size(); ++i) off += WithinOneLevel(got[i], model[i]) ? 0 : 1;
    EXPECT_EQ(off, 0);
  };
  const float phase = 0.4f;
  int32_t phaseBits;
  std::memcpy(&phaseBits, &phase, 4);
  const FilterProc waves[3] = {&WaveFilterV0, &WaveFilterV1, &WaveFilterV2};
  for (int32_t v = 0; v < 3; ++v) {
    uint8_t block[8] = {2, 3, 5, 7, 0, 0, 0, 0};
    std::memcpy(block + 4, &phase, 4);
    check("wave", {w, h, 2, 3, 5, 7, phaseBits, v}, waves[v], block, 8);
  }
  for (auto [angle, sat] : {std::pair{120, 1}, {-200, 0}, {999, 1}}) {
    uint8_t block[8] = {};
    StoreLE<int16_t>(block, static_cast<int16_t>(angle));
    block[2] = static_cast<uint8_t>(sat);
    check("twirl", {w, h, angle, sat}, &TwirlFilter, block, 8);
  }
  const SLightRecord lights[] = {SLightRecord(0, 300, 0xFFFCF9E9u, 100, 0.5f, 0.4f, 50),
                                 SLightRecord(0, 150, 0xFF3060FFu, 40, 0.2f, 0.9f, 0),
                                 SLightRecord(1, 180, 0xFFFCF9E9u, 200, 0.3f, 0.5f, 50, -2.1f, 0.5f, 60),
                                 SLightRecord(2, 250, 0xFFFFFFFFu, 200, 0.6f, 0.3f, 40, 0.7f, 0.9f, 90)};
  for (const SLightRecord& r : lights) {
    SBlock50 b(r.bytes, 56, 0xFFFFFEC7u, 35);
    std::vector<int32_t> head{w, h, static_cast<int32_t>(0xFFFFFEC7u), 35};
    for (int32_t i = 0; i < 14; ++i) head.push_back(LoadLE<int32_t>(r.bytes + 4 * i));
    check("light", head, &LightingFilter, &b.block, 50);
  }
}

TEST_F(FilterGeneratorsTest, MirrorTurnsMatchTheModelOnAPartialSelection) {
  const FilterProc procs[3] = {&FlipHorizontalFilter, &FlipVerticalFilter, &Rotate180Filter};
  FilterDocument probe;
  ASSERT_TRUE(probe.ok);
  PartialMask(probe);
  const int32_t w = probe.Layer().Store()->Width(), h = probe.Layer().Store()->Height();
  TRect bounds{};
  ASSERT_TRUE(GetMaskedLayerRect(probe.Layer(), probe.Paper().GetActiveMask(), bounds));
  std::vector<int32_t> in{w, h, bounds.left, bounds.top, bounds.right, bounds.bottom};
  const std::vector<uint32_t> pic = LayerPixels(probe.Paper(), 0);
  for (uint32_t p : pic) in.push_back(static_cast<int32_t>(p));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) in.push_back(ModelCoverage(probe.Layer(), probe.Paper().GetActiveMask(), x, y));
  std::vector<uint32_t> model;
  std::string output;
  ASSERT_TRUE(RunModel("mirror", in, model, output)) << output;
  for (int32_t k = 0; k < 3; ++k) {
    FilterDocument f;
    ASSERT_TRUE(f.ok);
    PartialMask(f);
    ASSERT_TRUE(RunProc(f, procs[k], nullptr, 0));
    EXPECT_EQ(LayerPixels(f.Paper(), 0),
              std::vector<uint32_t>(model.begin() + k * w * h, model.begin() + (k + 1) * w * h))
        << k;
  }
}

// ---- The property table

struct SFilterCase {
  const char* name;
  FilterProc proc;
  std::function<std::vector<uint8_t>(uint8_t protect)> words;  // word blocks: the block's bytes
  int32_t size;
  bool keepsAlphaAlways;  // BlendColor whatever the protection
  bool keepsAlphaProtected = true;
};

std::vector<uint8_t> Bytes(std::initializer_list<int32_t> words) {
  std::vector<uint8_t> b(words.size() * 4);
  size_t i = 0;
  for (int32_t w : words) StoreLE<int32_t>(b.data() + 4 * i++, w);
  return b;
}

std::vector<SFilterCase> FilterCases() {
  const auto fixed = [](std::vector<uint8_t> b) { return [b](uint8_t) { return b; }; };
  const auto withProtect = [](std::vector<uint8_t> b, int32_t at) {
    return [b, at](uint8_t p) {
      auto c = b;
      c[static_cast<size_t>(at)] = p;
      return c;
    };
  };
  return {
      {"clouds", &CloudsFilter, fixed(Bytes({static_cast<int32_t>(0xFF102030u), static_cast<int32_t>(0xFFF0E0D0u), 99, 256 | 0 << 16 | 200 << 24})), 16, false},
      {"clouds difference", &CloudsFilter, fixed(Bytes({static_cast<int32_t>(0xFF102030u), static_cast<int32_t>(0xFFF0E0D0u), 99, 512 | 16 << 16 | 255 << 24})), 16, false, false},
      {"plasma", &PlasmaFilter, fixed(Bytes({1234, 0 | 700 << 16, 0 | 180 << 8, 0})), 16, false},
      {"plasma mono multiply", &PlasmaFilter, fixed(Bytes({77, 1 | 256 << 16, 1 | 255 << 8, 0})), 16, false, false},
      {"clouds pattern", &CloudsRockFilter, fixed(Bytes({static_cast<int32_t>(0xFF000000u), static_cast<int32_t>(0xFFFFFFFFu), 5, 24 | 20 << 16, 150, 0})), 24, false},
      {"rock pattern", &CloudsRockFilter, fixed(Bytes({static_cast<int32_t>(0xFF203040u), static_cast<int32_t>(0xFFE0D0C0u), 6, 30 | 26 << 16, 200 | 40 << 16, 0})), 24, false},
      {"polar", &PolarFilter, withProtect(Bytes({0, 0}), 1), 8, false},
      {"polar back", &PolarFilter, withProtect(Bytes({1, 0}), 1), 8, false},
      {"flip h", &FlipHorizontalFilter, fixed({}), 0, false},
      {"flip v", &FlipVerticalFilter, fixed({}), 0, false},
      {"half turn", &Rotate180Filter, fixed({}), 0, false},
      {"rotate", &RotateFilter, withProtect(Bytes({FloatBits(33.0f), 1 << 8}), 4), 8, false},
      {"rotate older", &RotateFilter, withProtect(Bytes({FloatBits(-71.0f), 0}), 4), 8, false},
      {"scale", &ScaleFilter, withProtect(Bytes({41, -37, 1 << 8, 0}), 8), 16, false},
      {"scale older", &ScaleFilter, withProtect(Bytes({90, 30, 0, 0}), 8), 16, false},
      {"wave", &WaveFilterV2, fixed(Bytes({2 | 3 << 8 | 6 << 16 | 4 << 24, FloatBits(1.0f)})), 8, false},
      {"wave 69", &WaveFilterV0, fixed(Bytes({1 | 2 << 8 | 9 << 16 | 3 << 24, FloatBits(-0.5f)})), 8, false},
      {"twirl", &TwirlFilter, fixed(Bytes({150 | 1 << 16, 0})), 8, false},
      {"twirl older", &TwirlFilter, fixed(Bytes({-90, 0})), 8, false},
      {"edges", &EdgeDetectFilter, fixed({}), 0, true},
      {"solarize", &SolarizeFilter, fixed({}), 0, true},
      {"luminance to alpha", &LumToAlphaFilter, fixed(Bytes({0x00336699, 1})), 8, false},
  };
}

// Runs a case's block (word blocks from the table; the 50-byte and floor filters their own).
bool RunCase(FilterDocument& f, const SFilterCase& c, uint8_t protect, const TRect* clip = nullptr) {
  std::vector<uint8_t> b = c.words(protect);
  return RunProc(f, c.proc, b.empty() ? nullptr : b.data(), c.size, clip);
}

void CheckProperties(const char* name, const std::function<bool(FilterDocument&, uint8_t, const TRect*)>& run,
                     bool keepsAlphaAlways, bool keepsAlphaProtected) {
  SCOPED_TRACE(name);
  std::vector<uint32_t> full;
  for (uint8_t protect : {1, 0}) {
    FilterDocument f;
    ASSERT_TRUE(f.ok);
    ASSERT_TRUE(f.Paper().OffsetLayerGrow(f.Flow(), 0, true, 5, -7, 3));
    PartialMask(f);
    f.Layer().alphaProtect = protect;
    const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
    ASSERT_TRUE(run(f, protect, nullptr));
    const std::vector<uint32_t> after = LayerPixels(f.Paper(), 0);
    if (std::string(name) != "luminance to alpha" || protect == 0) EXPECT_NE(after, before);
    const CBlockVMTC& store = *f.Layer().Store();
    for (int32_t y = 0; y < store.Height(); ++y)
      for (int32_t x = 0; x < store.Width(); ++x) {
        const size_t i = static_cast<size_t>(y) * store.Width() + x;
        if (keepsAlphaAlways || (protect && keepsAlphaProtected)) ASSERT_EQ(after[i] >> 24, before[i] >> 24) << x << "," << y;
        if (ModelCoverage(f.Layer(), f.Paper().GetActiveMask(), x, y) == 0) ASSERT_EQ(after[i], before[i]) << x << "," << y;
      }
    // The same block gives the same pixels.
    FilterDocument g;
    ASSERT_TRUE(g.ok);
    ASSERT_TRUE(g.Paper().OffsetLayerGrow(g.Flow(), 0, true, 5, -7, 3));
    PartialMask(g);
    g.Layer().alphaProtect = protect;
    ASSERT_TRUE(run(g, protect, nullptr));
    EXPECT_EQ(LayerPixels(g.Paper(), 0), after);
    full = after;
  }
  // A preview of a part paints the run's pixels there.
  ExpectPreviewMatchesRunOf([&run](FilterDocument& g, const TRect* clip) { return run(g, 0, clip); }, full);
}

TEST_F(FilterGeneratorsTest, EveryFilterKeepsCoverageAlphaPreviewsAndRepeats) {
  for (const SFilterCase& c : FilterCases())
    CheckProperties(
        c.name, [&c](FilterDocument& f, uint8_t protect, const TRect* clip) { return RunCase(f, c, protect, clip); },
        c.keepsAlphaAlways, c.keepsAlphaProtected);
  static const int32_t kernel[27] = {1, 0, -1, 0, 2, 0, 3, 0, -3, 0, 1, 2, 5, 2, 1, 0, -3, 0, 3, 0, 2, 0, -1, 0, 1, 9, 12};
  CheckProperties(
      "custom",
      [](FilterDocument& f, uint8_t, const TRect* clip) {
        SBlock50 b = KernelBlock(kernel);
        return RunProc(f, &CustomKernelFilter, &b.block, 50, clip);
      },
      true, true);
  for (int32_t kind = 0; kind < 3; ++kind) {
    CheckProperties(
        kind == 0 ? "point light" : kind == 1 ? "warm light" : "spot light",
        [kind](FilterDocument& f, uint8_t, const TRect* clip) {
          const SLightRecord r(kind, 200, 0xFFFCF9E9u, 150, 0.3f, 0.6f, 30, 0.8f, 0.6f, 70);
          SBlock50 b(r.bytes, 56, 0xFFFFFEC7u, 40);
          return RunProc(f, &LightingFilter, &b.block, 50, clip);
        },
        true, true);
  }
  for (uint8_t mode : {0, 1})
    for (uint8_t keep : {0, 1})
      for (uint8_t infinite : {0, 1}) {
        const std::string name = std::string("floor fog ") + (mode ? "transparent" : "colour") +
                                 (keep ? " keep" : " replace") + (infinite ? " infinite" : "");
        CheckProperties(
            name.c_str(),
            [=](FilterDocument& f, uint8_t, const TRect* clip) {
              SFloorBlock b(mode, keep, infinite, 0.2f);
              return RunProc(f, &FloorFilter, &b.block, 87, clip);
            },
            false, true);
      }
}

// ---- Geometry

std::vector<uint32_t> RunOnFresh(const std::function<bool(FilterDocument&)>& run, bool moved = true) {
  FilterDocument f;
  EXPECT_TRUE(f.ok);
  if (moved) EXPECT_TRUE(f.Paper().OffsetLayerGrow(f.Flow(), 0, true, 5, -7, 3));
  MaskOfRect(f, TRect{9, 6, 50, 41});
  EXPECT_TRUE(run(f));
  return LayerPixels(f.Paper(), 0);
}

TEST_F(FilterGeneratorsTest, RotateAndScaleSpecialCases) {
  const std::vector<uint32_t> untouched = RunOnFresh([](FilterDocument&) { return true; });
  const std::vector<uint32_t> half = RunOnFresh([](FilterDocument& f) { return RunProc(f, &Rotate180Filter, nullptr, 0); });
  const std::vector<uint32_t> flipV = RunOnFresh([](FilterDocument& f) { return RunProc(f, &FlipVerticalFilter, nullptr, 0); });
  const auto rotate = [](float angle, uint8_t method) {
    return [=](FilterDocument& f) {
      uint8_t b[8] = {};
      std::memcpy(b, &angle, 4);
      b[5] = method;
      return RunProc(f, &RotateFilter, b, 8);
    };
  };
  for (float a : {0.0f, 360.0f, -360.0f, 720.0f}) EXPECT_EQ(RunOnFresh(rotate(a, 1)), untouched) << a;
  for (float a : {180.0f, -180.0f, 540.0f}) EXPECT_EQ(RunOnFresh(rotate(a, 1)), half) << a;
  EXPECT_EQ(RunOnFresh(rotate(180.0f, 0)), half);
  // Bounds is (9 + 5, 6 - 7 + 7...) in store coordinates: the mask rectangle moved into the store.
  FilterDocument probe;
  ASSERT_TRUE(probe.ok);
  ASSERT_TRUE(probe.Paper().OffsetLayerGrow(probe.Flow(), 0, true, 5, -7, 3));
  MaskOfRect(probe, TRect{9, 6, 50, 41});
  TRect b{};
  ASSERT_TRUE(GetMaskedLayerRect(probe.Layer(), probe.Paper().GetActiveMask(), b));
  const int32_t w0 = b.right - b.left, h0 = b.bottom - b.top;
  const auto scale = [](int32_t w, int32_t h, uint8_t method) {
    return [=](FilterDocument& f) {
      uint8_t blk[16] = {};
      StoreLE<int32_t>(blk, w);
      StoreLE<int32_t>(blk + 4, h);
      blk[9] = method;
      return RunProc(f, &ScaleFilter, blk, 16);
    };
  };
  EXPECT_EQ(RunOnFresh(scale(w0, h0, 1)), untouched);
  EXPECT_EQ(RunOnFresh(scale(w0, -h0, 1)), flipV);
  EXPECT_EQ(RunOnFresh(scale(-w0, -h0, 1)), half);
  // Width 0 erases the covered pixels; method 0 compares with the store and scales by R.
  const std::vector<uint32_t> erased = RunOnFresh(scale(0, h0, 1));
  const int32_t sw = probe.Layer().Store()->Width();
  EXPECT_EQ(erased[static_cast<size_t>(b.top + 3) * sw + b.left + 3] >> 24, 0u);
  EXPECT_NE(RunOnFresh(scale(w0, h0, 0)), untouched);
  EXPECT_EQ(RunOnFresh(scale(probe.Layer().Store()->Width(), probe.Layer().Store()->Height(), 0)), untouched);
  // A rotation on a normal layer leaves the corners that receive nothing transparent; on an
  // alpha-protected layer they take the mode's neutral colour and keep their alpha.
  const std::vector<uint32_t> turned = RunOnFresh(rotate(45.0f, 1));
  EXPECT_EQ(turned[static_cast<size_t>(b.top) * sw + b.left] >> 24, 0u);
  const std::vector<uint32_t> kept = RunOnFresh([&](FilterDocument& f) {
    f.Layer().alphaProtect = 1;
    uint8_t blk[8] = {};
    const float a = 45.0f;
    std::memcpy(blk, &a, 4);
    blk[4] = 1;
    blk[5] = 1;
    return RunProc(f, &RotateFilter, blk, 8);
  });
  const size_t corner = static_cast<size_t>(b.top) * sw + b.left;
  EXPECT_EQ(kept[corner] >> 24, untouched[corner] >> 24);
  EXPECT_EQ(kept[corner] & 0xFFFFFFu, GetBlendModeNeutralColor(probe.Layer().blendMode) & 0xFFFFFFu);
}

TEST_F(FilterGeneratorsTest, WaveVariantsAndTwirlEllipse) {
  // 69 and 80 differ on a store that is not square where offsets run negative.
  const auto wave = [](FilterProc proc) {
    return [proc](FilterDocument& f) {
      uint8_t b[8] = {3, 2, 9, 7, 0, 0, 0, 0};
      const float phase = 2.5f;
      std::memcpy(b + 4, &phase, 4);
      return RunProc(f, proc, b, 8);
    };
  };
  EXPECT_NE(RunOnFresh(wave(&WaveFilterV0)), RunOnFresh(wave(&WaveFilterV1)));
  // A twirl never changes pixels outside the ellipse inscribed in Bounds.
  const std::vector<uint32_t> before = RunOnFresh([](FilterDocument&) { return true; }, false);
  const std::vector<uint32_t> after = RunOnFresh([](FilterDocument& f) {
    uint8_t b[8] = {};
    StoreLE<int16_t>(b, 300);
    b[2] = 1;
    return RunProc(f, &TwirlFilter, b, 8);
  }, false);
  EXPECT_NE(after, before);
  const int32_t w = 72;
  const double cx = (9 + 50) / 2.0, cy = (6 + 41) / 2.0, rx = 41 / 2.0, ry = 35 / 2.0;
  for (int32_t y = 0; y < 56; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const double dx = (x - cx + 0.5) / rx, dy = (y - cy + 0.5) / ry;
      if (dx * dx + dy * dy >= 1.0)
        ASSERT_EQ(after[static_cast<size_t>(y) * w + x], before[static_cast<size_t>(y) * w + x]) << x << "," << y;
    }
}

TEST_F(FilterGeneratorsTest, ScaledReaderReadsTheBackgroundOutsideTheStoreAndSelection) {
  FilterDocument f(8, 6);
  ASSERT_TRUE(f.ok);
  SetPicture(f, std::vector<uint32_t>(48, 0xFF204060u));
  MaskOfRect(f, TRect{0, 0, 4, 6});
  for (uint8_t protect : {0, 1}) {
    f.Layer().alphaProtect = protect;
    f.Layer().blendMode = 7;
    CFlt4Core core(f.Paper(), f.Flow(), 0, &CopySourceCovered, false);
    ASSERT_TRUE(core.IsValid());
    FilterContext context;
    ASSERT_TRUE(BuildFilterContext(context, core, nullptr));
    CScaleImageFilter reader(context, 0, protect);
    const uint32_t background =
        (GetBlendModeNeutralColor(7) & 0xFFFFFFu) | (protect != 0 ? 0xFF000000u : 0u);
    EXPECT_EQ(reader.Background(), background);
    uint32_t v = 0;
    // A selected pixel's centre reads as itself.
    reader.SamplePoint(v, 2 * 65536 + 32768, 3 * 65536 + 32768);
    EXPECT_TRUE(WithinOneLevel(v, 0xFF204060u)) << std::hex << v;
    // Just outside each side of the store: the background.
    for (auto [x, y] : {std::pair{-2, 3}, {9, 3}, {3, -2}, {3, 7}}) {
      reader.SamplePoint(v, x * 65536 + 32768, y * 65536 + 32768);
      EXPECT_EQ(v, background) << x << "," << y;
    }
    // An unselected pixel reads as the background too; half outside the left edge, half the way.
    reader.SamplePoint(v, 6 * 65536 + 32768, 3 * 65536 + 32768);
    EXPECT_EQ(v, background);
    reader.SamplePoint(v, 0, 3 * 65536 + 32768);
    if (protect == 0) {
      EXPECT_NEAR(static_cast<int32_t>(v >> 24), 127, 1);
    }
  }
}

// ---- Damaged blocks

TEST_F(FilterGeneratorsTest, DamagedBlocksFailAndChangeNothing) {
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  PartialMask(f);
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  const auto fails = [&](const char* what, FilterProc proc, const void* block, int32_t size) {
    EXPECT_FALSE(RunProc(f, proc, block, size)) << what;
    EXPECT_EQ(LayerPixels(f.Paper(), 0), before) << what;
  };
  // Blend modes 22..127 (bit 7 ignored) index past the table.
  for (int32_t mode : {22, 100, 127, 0x80 | 30}) {
    const std::vector<uint8_t> b = Bytes({0, 0, 1, 256 | mode << 16 | 255 << 24});
    fails("clouds mode", &CloudsFilter, b.data(), 16);
    const std::vector<uint8_t> p = Bytes({1, 0 | 256 << 16, mode | 255 << 8, 0});
    fails("plasma mode", &PlasmaFilter, p.data(), 16);
  }
  // A recorded tile side of 0.
  fails("rock tile width 0", &CloudsRockFilter, Bytes({0, -1, 3, 0 | 20 << 16, 100, 0}).data(), 24);
  fails("rock tile height 0", &CloudsRockFilter, Bytes({0, -1, 3, 20, 100, 0}).data(), 24);
  // Scale sizes past 16.16 reach.
  fails("scale -2^31", &ScaleFilter, Bytes({INT32_MIN, 10, 1 << 8, 0}).data(), 16);
  fails("scale 40000", &ScaleFilter, Bytes({40000, 10, 1 << 8, 0}).data(), 16);
  // Values that are not finite numbers.
  fails("rotate NaN", &RotateFilter, Bytes({FloatBits(NAN), 1 << 8}).data(), 8);
  fails("wave infinite phase", &WaveFilterV2, Bytes({0x01010505, FloatBits(INFINITY)}).data(), 8);
  fails("polar direction 2", &PolarFilter, Bytes({2, 0}).data(), 8);
  fails("polar protection", &PolarFilter, Bytes({0 | 1 << 8, 0}).data(), 8);
  // Custom: divisor 0 fails; divisor -1 under a sum of -2^31 clamps instead of trapping.
  int32_t k[27] = {};
  SBlock50 zeroDivisor = KernelBlock(k);
  fails("custom divisor 0", &CustomKernelFilter, &zeroDivisor.block, 50);
  // Lighting: range 0; a warm or spot spread whose half has cosine 1; a kind outside 0..2.
  for (const SLightRecord& r : {SLightRecord(0, 100, 0xFFFFFFFFu, 0, 0.5f, 0.5f, 10),
                                SLightRecord(1, 100, 0xFFFFFFFFu, 100, 0.5f, 0.5f, 10, 0, 0, 0),
                                SLightRecord(2, 100, 0xFFFFFFFFu, 100, 0.5f, 0.5f, 10, 0, 0, 720),
                                SLightRecord(3, 100, 0xFFFFFFFFu, 100, 0.5f, 0.5f, 10)}) {
    SBlock50 b(r.bytes, 56, 0xFFFFFFFFu, 100);
    fails("lighting record", &LightingFilter, &b.block, 50);
  }
  // Floor: no texture used; a used texture with a source side of 0; a texture not 256 x 256;
  // generation 0 before the older floor is built.
  {
    SFloorBlock none(0, 0, 1, 0.1f, 0);
    fails("floor no texture", &FloorFilter, &none.block, 87);
    SFloorBlock zero(0, 0, 1, 0.1f);
    StoreLE<int16_t>(zero.block.values + 49, 0);
    fails("floor source side 0", &FloorFilter, &zero.block, 87);
    SFloorBlock small(0, 0, 1, 0.1f);
    TMTC layerSized(72, 56);
    small.block.floor.image = &layerSized;
    fails("floor texture not 256", &FloorFilter, &small.block, 87);
    SFloorBlock older(0, 0, 1, 0.1f);
    older.block.values[45] = 0;
    fails("floor generation 0", &FloorFilter, &older.block, 87);
    EXPECT_TRUE(scope.paper.DebugSaid("older floor algorithm (generation 0) is not built yet"));
  }
  // Wrong sizes.
  const uint8_t any[24] = {};
  for (FilterProc p : {&CloudsFilter, &PlasmaFilter, &CloudsRockFilter, &PolarFilter, &RotateFilter, &ScaleFilter,
                       &WaveFilterV2, &TwirlFilter, &LumToAlphaFilter, &FlipHorizontalFilter, &SolarizeFilter})
    fails("wrong size", p, any, 4);
}

TEST_F(FilterGeneratorsTest, WideStoresAreRefusedAndCustomDividesIn64Bits) {
  FilterDocument wide(32768, 2);
  ASSERT_TRUE(wide.ok);
  const std::vector<uint32_t> before = LayerPixels(wide.Paper(), 0);
  EXPECT_FALSE(RunProc(wide, &PolarFilter, Bytes({0, 0}).data(), 8));
  EXPECT_FALSE(RunProc(wide, &RotateFilter, Bytes({FloatBits(10.0f), 1 << 8}).data(), 8));
  EXPECT_FALSE(RunProc(wide, &ScaleFilter, Bytes({100, 2, 1 << 8, 0}).data(), 16));
  EXPECT_FALSE(RunProc(wide, &WaveFilterV2, Bytes({0x01010505, 0}).data(), 8));
  EXPECT_FALSE(RunProc(wide, &TwirlFilter, Bytes({40 | 1 << 16, 0}).data(), 8));
  EXPECT_EQ(LayerPixels(wide.Paper(), 0), before);
  // A sum that wraps to -2^31 divided by -1: the quotient 2^31 clamps to 255.
  FilterDocument f(5, 5);
  ASSERT_TRUE(f.ok);
  SetPicture(f, std::vector<uint32_t>(25, 0xFF808080u));
  int32_t k[27] = {};
  k[12] = static_cast<int32_t>(0x80000000u / 128u) * -1;  // -2^24 x 128 = -2^31
  k[25] = -1;
  SBlock50 b = KernelBlock(k);
  ASSERT_TRUE(RunProc(f, &CustomKernelFilter, &b.block, 50));
  EXPECT_EQ(f.Layer().Store()->GetPixel(2, 2), 0xFFFFFFFFu);
}


// A recorded filter packet damaged afterwards: the replay step fails, the layer stays as the
// steps before made it, and playback ends. TF_WRITE_FUZZ_CORPUS=1 adds the damaged streams to
// fuzz_player's corpus.
struct SDamage {
  const char* name;
  FilterKey key;
  uint32_t offset;  // into the last packet's payload
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Le32(int32_t v) {
  std::vector<uint8_t> b(4);
  StoreLE<int32_t>(b.data(), v);
  return b;
}

TEST_F(FilterGeneratorsTest, DamagedRecordedBlocksFailTheirReplay) {
  SetMillisecondSource([] { return 777u; });
  const uint32_t data50 = sizeof(SFilterBlock);
  const std::vector<SDamage> cases = {
      {"clouds mode 100", FilterKey::Clouds, 4 + 14, {100}},
      {"plasma mode 60", FilterKey::Plasma, 4 + 8, {60}},
      {"rock tile width 0", FilterKey::CloudsRock, 4 + 12, {0, 0}},
      {"scale -2^31", FilterKey::Scale, 4, Le32(INT32_MIN)},
      {"rotate NaN", FilterKey::Rotate, 4, Le32(0x7FC00000)},
      {"wave infinite phase", FilterKey::Wave, 8, Le32(0x7F800000)},
      {"polar direction 2", FilterKey::Polar, 4, {2}},
      {"custom divisor 0", FilterKey::Custom, data50 + 100, Le32(0)},
      {"lighting range 0", FilterKey::Lighting, data50 + 12, Le32(0)},
      {"lighting spread 0", FilterKey::Lighting, data50 + 0, Le32(2)},
      {"floor source side 0", FilterKey::Floor, data50 + 49, {0, 0}},
      {"floor no texture", FilterKey::Floor, data50 + 42, {0}},
  };
  for (const SDamage& c : cases) {
    SCOPED_TRACE(c.name);
    FilterDocument a;
    ASSERT_TRUE(a.ok);
    const std::vector<uint32_t> before = LayerPixels(a.Paper(), 0);
    ASSERT_TRUE(RunFilterCommand(c.key, a.Paper(), a.Flow(), 0, true));
    CEventMngr& m = a.Events();
    uint32_t last = 0;
    m.walkPackets(0, m.writePos(), [&](const SPacketFrame& frame) {
      last = frame.payloadPos;
      return true;
    });
    std::vector<uint8_t> stream(m.writePos());
    ASSERT_EQ(m.readAt(0, stream.data(), m.writePos()), m.writePos());
    ASSERT_LT(last + c.offset + c.bytes.size(), stream.size() + 1);
    std::memcpy(stream.data() + last + c.offset, c.bytes.data(), c.bytes.size());
    HeadlessPlaybackWindow b;
    CEventMngr& played = *b.Paper().EventMngr();
    ASSERT_TRUE(played.resetForLoad());
    ASSERT_EQ(played.writeSpan(0, stream.data(), static_cast<uint32_t>(stream.size())), stream.size());
    ASSERT_TRUE(played.setLoadedLength(static_cast<int32_t>(stream.size()), 0));
    CPlayer player(b.Paper(), &b);
    ASSERT_EQ(player.startLoaded(), kStartPlayStarted);
    EXPECT_NE(PlayToEnd(player, 10000), kPlayStepPlayed);
    player.stopPlay(false);
    EXPECT_EQ(LayerPixels(b.Paper(), 0), before);
    if (std::getenv("TF_WRITE_FUZZ_CORPUS") != nullptr) {
      std::string name = std::string(TF_TEST_DATA_DIR) + "/../../fuzz/corpus/fuzz_player/filter-" + c.name;
      for (char& ch : name)
        if (ch == ' ' || ch == '^') ch = '-';
      FILE* out = std::fopen(name.c_str(), "wb");
      ASSERT_NE(out, nullptr);
      std::fwrite(stream.data(), 1, stream.size(), out);
      std::fclose(out);
    }
  }
}

// ---- Loaders

TEST_F(FilterGeneratorsTest, LoadersBuildTheirBlocksFromTheRememberedValues) {
  SetMillisecondSource([] { return 4242u; });
  FilterDocument f;
  ASSERT_TRUE(f.ok);
  uint8_t b[24];
  // Plasma: contrast 100 gives roughness 256, opacity 100 gives 255; contrast 1 gives 3.
  ASSERT_TRUE(LoadLastFilter(FilterKey::Plasma, b, f.Layer()));
  EXPECT_EQ(LoadLE<uint32_t>(b), 4242u);
  EXPECT_EQ(LoadLE<uint16_t>(b + 6), 256);
  EXPECT_EQ(b[9], 255);
  StoreLE<uint16_t>(FilterMemory(FilterKey::Plasma).block + 6, 1);
  FilterMemory(FilterKey::Plasma).block[9] = 50;
  ASSERT_TRUE(LoadLastFilter(FilterKey::Plasma, b, f.Layer()));
  EXPECT_EQ(LoadLE<uint16_t>(b + 6), 3);
  EXPECT_EQ(b[9], 128);  // 127.5 rounds away from zero
  // Clouds/rock: the tile with wrap-around, the store's size without.
  ASSERT_TRUE(LoadLastFilter(FilterKey::CloudsRock, b, f.Layer()));
  EXPECT_EQ(LoadLE<uint16_t>(b + 12), 256);
  EXPECT_EQ(LoadLE<uint16_t>(b + 16), 100);
  EXPECT_EQ(LoadLE<uint16_t>(b + 18), 0);
  FilterMemory(FilterKey::CloudsRock).inlineBytes[4] = 0;
  FilterMemory(FilterKey::CloudsRock).inlineBytes[5] = 1;
  ASSERT_TRUE(LoadLastFilter(FilterKey::CloudsRock, b, f.Layer()));
  EXPECT_EQ(LoadLE<uint16_t>(b + 12), f.Layer().StoreWidth());
  EXPECT_EQ(LoadLE<uint16_t>(b + 14), f.Layer().StoreHeight());
  EXPECT_EQ(LoadLE<uint16_t>(b + 18), 50);
  // Rotate, polar and scale take the layer's flag now; scale the percentages of the new Bounds.
  f.Layer().alphaProtect = 1;
  ASSERT_TRUE(LoadLastFilter(FilterKey::Rotate, b, f.Layer()));
  EXPECT_EQ(b[4], 1);
  EXPECT_EQ(b[5], 1);
  ASSERT_TRUE(LoadLastFilter(FilterKey::Polar, b, f.Layer()));
  EXPECT_EQ(b[1], 1);
  const float pw = -150.0f, ph = 50.0f;
  std::memcpy(FilterMemory(FilterKey::Scale).block, &pw, 4);
  std::memcpy(FilterMemory(FilterKey::Scale).block + 4, &ph, 4);
  ASSERT_TRUE(LoadLastFilter(FilterKey::Scale, b, f.Layer()));
  EXPECT_EQ(LoadLE<int32_t>(b), -108);
  EXPECT_EQ(LoadLE<int32_t>(b + 4), 28);
  EXPECT_EQ(b[8], 1);
  EXPECT_EQ(b[9], 1);
  // Wave and twirl defaults; the custom kernel is the built-in one.
  ASSERT_TRUE(LoadLastFilter(FilterKey::Wave, b, f.Layer()));
  EXPECT_EQ(LoadLE<uint32_t>(b), 0x0A0A0101u);
  ASSERT_TRUE(LoadLastFilter(FilterKey::Twirl, b, f.Layer()));
  EXPECT_EQ(LoadLE<int16_t>(b), 50);
  EXPECT_EQ(b[2], 1);
  // Floor: layer textures are Bounds scaled into 256 x 256 with Bounds' size as source size.
  SFltFloor floor{};
  InitFloorBlock(floor);
  TMTC ceiling, ground;
  floor.ceiling.image = &ceiling;
  floor.floor.image = &ground;
  ASSERT_TRUE(LoadLastFilter(FilterKey::Floor, &floor, f.Layer()));
  EXPECT_EQ(ceiling.Width(), 256);
  EXPECT_EQ(ground.Height(), 256);
  EXPECT_EQ(LoadLE<int16_t>(floor.values + 47), 72);
  EXPECT_EQ(LoadLE<int16_t>(floor.values + 53), 56);
  EXPECT_EQ(floor.values[41], 1);
  EXPECT_EQ(floor.values[45], 2);
  EXPECT_EQ(floor.values[43], 0);
}

// ---- Commands, undo, replay

class GeneratorDialogs : public CommandsDialogs {};

// The remembered values that make each filter change the picture, and a floor with a ceiling
// texture from a file.
void SetRemembered(const TMTC& filePicture) {
  const float scale[2] = {140.0f, -70.0f};
  std::memcpy(FilterMemory(FilterKey::Scale).block, scale, 8);
  const float angle = -25.0f;
  std::memcpy(FilterMemory(FilterKey::Rotate).block, &angle, 4);
  SFilterMemory& floor = FilterMemory(FilterKey::Floor);
  floor.floorValues[43] = 1;
  floor.floorValues[41] = 0;
  floor.floorValues[40] = 0;
  StoreLE<int16_t>(floor.floorValues + 47, 128);
  StoreLE<int16_t>(floor.floorValues + 49, 96);
  const float tilt = 0.25f;
  std::memcpy(floor.floorValues + 16, &tilt, 4);
  auto copy = std::make_shared<TMTC>(256, 256);
  for (int32_t y = 0; y < 256; ++y) std::memcpy(copy->Pixel(0, y), filePicture.Pixel(0, y), 1024);
  floor.floorPictures[0] = copy;
  floor.floorResolutions[0] = 300;
  FilterMemory(FilterKey::CloudsRock).inlineBytes[5] = 1;  // rock
}

std::vector<CommandCase> GeneratorCommands() {
  std::vector<CommandCase> cases;
  for (FilterKey k : {FilterKey::Clouds, FilterKey::Clouds2, FilterKey::Plasma, FilterKey::CloudsRock,
                      FilterKey::Polar, FilterKey::FlipHorizontal, FilterKey::FlipVertical, FilterKey::Rotate180,
                      FilterKey::Rotate, FilterKey::Scale, FilterKey::Wave, FilterKey::Twirl, FilterKey::FindEdges,
                      FilterKey::Solarize, FilterKey::Custom, FilterKey::LuminanceToAlpha, FilterKey::Lighting,
                      FilterKey::Floor})
    cases.push_back({k, {}});
  return cases;
}

void FillFilePicture(TMTC& picture) {
  ASSERT_TRUE(picture.Resize(256, 256));
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x)
      *picture.Pixel(x, y) = 0xFF000000u | static_cast<uint32_t>(x ^ y) << 8 | static_cast<uint32_t>(255 - y);
}

TEST_F(FilterGeneratorsTest, EveryFilterRunsUndoesAndReplays) {
  uint32_t now = 100;
  SetMillisecondSource([&] { return now += 37; });
  TMTC picture;
  FillFilePicture(picture);
  SetRemembered(picture);
  GeneratorDialogs dialogs;
  CheckCommandsReplay(PathOf("recording.te4"), GeneratorCommands(), dialogs);
  // Waves of events 69 and 80 replay as their own variants.
  FilterDocument a, b;
  ASSERT_TRUE(a.ok && b.ok);
  SFilterRecordedValues values;
  values.wordCount = 2;
  values.words[0] = 2 | 1 << 8 | 9 << 16 | 4 << 24;
  values.words[1] = FloatBits(-1.0f);
  ASSERT_TRUE(ReplayWaveVariant(0, a.Paper(), a.Flow(), 0, values, false, 0));
  ASSERT_TRUE(ReplayWaveVariant(1, b.Paper(), b.Flow(), 0, values, false, 0));
  EXPECT_NE(LayerPixels(a.Paper(), 0), LayerPixels(b.Paper(), 0));
}

// A painting with every filter here, kept with the checksum of its replay: a change to any of
// their arithmetic fails here. TF_WRITE_FILTER_FIXTURE=1 writes it again (only when the
// arithmetic is meant to change).
TEST_F(FilterGeneratorsTest, KeptRecordingReplaysToItsChecksum) {
  const std::string path = std::string(TF_TEST_DATA_DIR) + "/filters_generators.te4";
  constexpr uint64_t kKeptChecksum = 0xbe02525915110467ull;
  uint32_t now = 500;
  if (std::getenv("TF_WRITE_FILTER_FIXTURE") != nullptr) {
    SetMillisecondSource([&] { return now += 101; });
    TMTC picture;
  FillFilePicture(picture);
    SetRemembered(picture);
    FilterDocument a(64, 48, 0x56);
    ASSERT_TRUE(a.ok);
    TPaper& paper = a.Paper();
    ASSERT_TRUE(paper.OffsetLayerGrow(a.Flow(), 0, true, 3, -4, 3));
    ASSERT_TRUE(paper.SelectRect(a.Flow(), 0, true, 0, TPoint{4, 3}, TPoint{58, 44}));
    for (const CommandCase& c : GeneratorCommands())
      ASSERT_TRUE(RunFilterCommand(c.key, paper, a.Flow(), 0, true)) << FilterRow(c.key).keyName;
    CPaperEventFileDocument file(paper);
    ASSERT_TRUE(SaveEventFile(path, file, false, -1, -1, true));
    std::printf("kept generators recording checksum %016llx\n",
                static_cast<unsigned long long>(FingerprintChecksum(paper)));
  }
  HeadlessPlaybackWindow b;
  CPlayer player(b.Paper(), &b);
  ASSERT_EQ(player.startPlay(path), kStartPlayStarted);
  EXPECT_EQ(PlayToEnd(player), kPlayStepEnded);
  const uint64_t checksum = FingerprintChecksum(b.Paper());
  EXPECT_EQ(checksum, kKeptChecksum) << std::hex << checksum;
}

}  // namespace
}  // namespace tf::test
