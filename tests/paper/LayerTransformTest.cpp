// Layer transforms against independent references: mirrors, the turns by 90 and 180 degrees and
// the free rotation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "document/LayerMngr.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "raster/BlockVMTC.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

// A recording document whose second layer has a store of storeW x storeH at (ox, oy), filled with
// distinct opaque pixels.
struct TransformFixture {
  TransformFixture(int32_t w, int32_t h, int32_t storeW, int32_t storeH, int32_t ox, int32_t oy) {
    scope.host.settings.undoMax = 16;
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("t", &window->Flow(), false, false, 72, h, w));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, storeH, storeW));
    CLayerData& layer = Layer();
    layer.offsetX = ox;
    layer.offsetY = oy;
    for (int32_t y = 0; y < storeH; ++y)
      for (int32_t x = 0; x < storeW; ++x)
        layer.Store()->SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x << 12) | static_cast<uint32_t>(y));
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  CLayerData& Layer() { return *Paper().Layers().Get(1); }
  bool Undo() {
    SRectWH rect{};
    return Paper().Undo(Flow(), 1, rect);
  }
  bool Redo() {
    SRectWH rect{};
    return Paper().Redo(Flow(), 1, rect);
  }
  StreamPacket Last() { return ReadPackets(*Paper().EventMngr()).back(); }

  PaperTestScope scope;
  std::unique_ptr<HeadlessDocumentWindow> window;
};

struct Grid {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y * width + x)]; }
  bool operator==(const Grid&) const = default;
};

Grid Read(const CLayerData& layer) {
  Grid g{layer.StoreWidth(), layer.StoreHeight(), {}};
  for (int32_t y = 0; y < g.height; ++y)
    for (int32_t x = 0; x < g.width; ++x) g.pixels.push_back(layer.Store()->GetPixel(x, y));
  return g;
}

// ---------------------------------------------------------------------------------------------
// Mirrors and the half turn

TEST(LayerTransform, MirrorKeepsTheOffsetInStepAndTwiceRestores) {
  TransformFixture f(40, 30, 64, 30, 10, 0);
  const Grid before = Read(f.Layer());
  ASSERT_TRUE(f.Paper().FlipLayerHorizontal(f.Flow(), 1, true));
  EXPECT_EQ(f.Layer().offsetX, 14);
  EXPECT_EQ(f.Last().cls, 4);
  EXPECT_EQ(f.Last().code, 32);
  const Grid after = Read(f.Layer());
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(after.at(x, y), before.at(63 - x, y)) << x << "," << y;
  ASSERT_TRUE(f.Paper().FlipLayerHorizontal(f.Flow(), 1, true));
  EXPECT_EQ(f.Layer().offsetX, 10);
  EXPECT_EQ(Read(f.Layer()), before);
}

TEST(LayerTransform, ReversibleCommandsMatchReferencesAndUndoExactly) {
  struct Case {
    uint8_t code;
    uint8_t event;
  };
  for (const Case c : {Case{7, 32}, Case{8, 33}, Case{9, 35}, Case{10, 34}}) {
    SCOPED_TRACE(static_cast<int>(c.code));
    TransformFixture f(40, 30, 45, 37, 3, 5);
    const Grid before = Read(f.Layer());
    ASSERT_TRUE(f.Paper().ApplyLayerCommand(f.Flow(), 1, true, c.code));
    EXPECT_EQ(f.Last().code, c.event);
    EXPECT_EQ(f.Last().payload[0], 1);
    const Grid after = Read(f.Layer());
    for (int32_t y = 0; y < 37; ++y) {
      for (int32_t x = 0; x < 45; ++x) {
        uint32_t want = 0;
        switch (c.code) {
          case 7: want = before.at(44 - x, y); break;
          case 8: want = before.at(x, 36 - y); break;
          case 9: want = before.at(x, y) ^ 0x00FFFFFFu; break;
          default: want = before.at(44 - x, 36 - y); break;
        }
        ASSERT_EQ(after.at(x, y), want) << x << "," << y;
      }
    }
    const int32_t ox = c.code == 7 || c.code == 10 ? 45 - 3 - 40 : 3;
    const int32_t oy = c.code == 8 || c.code == 10 ? 37 - 5 - 30 : 5;
    EXPECT_EQ(f.Layer().offsetX, ox);
    EXPECT_EQ(f.Layer().offsetY, oy);
    ASSERT_TRUE(f.Undo());
    EXPECT_EQ(Read(f.Layer()), before);
    EXPECT_EQ(f.Layer().offsetX, 3);
    EXPECT_EQ(f.Layer().offsetY, 5);
    ASSERT_TRUE(f.Redo());
    EXPECT_EQ(Read(f.Layer()), after);
  }
}

// ---------------------------------------------------------------------------------------------
// Quarter turns

TEST(LayerTransform, QuarterTurnOfACanvasSizedLayerAboutTheCanvasCentre) {
  TransformFixture f(100, 60, 100, 60, 0, 0);
  const Grid before = Read(f.Layer());
  CLayerData* former = &f.Layer();
  ASSERT_TRUE(f.Paper().RotateLayer90(f.Flow(), 1, true, true));
  EXPECT_EQ(f.Last().code, 36);
  CLayerData& turned = f.Layer();
  ASSERT_EQ(turned.StoreWidth(), 100);
  ASSERT_EQ(turned.StoreHeight(), 100);
  EXPECT_EQ(turned.offsetX, 0);
  EXPECT_EQ(turned.offsetY, 20);
  // Canvas pixel (cx, cy) goes to (79 - cy, cx - 20): a clockwise turn about (50, 30).
  const Grid after = Read(turned);
  for (int32_t sy = 0; sy < 60; ++sy) {
    for (int32_t sx = 0; sx < 100; ++sx) {
      const int32_t nx = 79 - sy + turned.offsetX;
      const int32_t ny = sx - 20 + turned.offsetY;
      ASSERT_EQ(after.at(nx, ny), before.at(sx, sy)) << sx << "," << sy;
    }
  }
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(&f.Layer(), former);
  EXPECT_EQ(Read(f.Layer()), before);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(Read(f.Layer()), after);
}

TEST(LayerTransform, QuarterTurnsBackAndForthRestoreThePixels) {
  TransformFixture f(64, 48, 64, 48, 0, 0);
  const Grid before = Read(f.Layer());
  ASSERT_TRUE(f.Paper().RotateLayer90(f.Flow(), 1, true, true));
  ASSERT_TRUE(f.Paper().RotateLayer90(f.Flow(), 1, true, false));
  const CLayerData& back = f.Layer();
  ASSERT_GE(back.StoreWidth() - back.offsetX, 64);
  ASSERT_GE(back.StoreHeight() - back.offsetY, 48);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x)
      ASSERT_EQ(back.Store()->GetPixel(x + back.offsetX, y + back.offsetY), before.at(x, y)) << x << "," << y;
}

// ---------------------------------------------------------------------------------------------
// Free rotation

// The rotation's arithmetic written out per pixel (no stepping): 16.16 sine and cosine, products
// of values shifted right by 8, the floor of the sampling position.
Grid ModelRotation(const Grid& source, uint32_t fill, int32_t W, int32_t H, int32_t ox, int32_t oy,
                   const SRotatedGeometry& g) {
  auto mul = [](int64_t a, int64_t b) { return (a >> 8) * (b >> 8); };
  Grid out{g.width, g.height, std::vector<uint32_t>(static_cast<size_t>(g.width) * g.height)};
  const int64_t s = g.sine;
  const int64_t c = g.cosine;
  for (int32_t j = 0; j < g.height; ++j) {
    for (int32_t i = 0; i < g.width; ++i) {
      const int64_t vx = int64_t{i} * 65536 + 32768 - (int64_t{W} * 32768 + int64_t{g.offsetX} * 65536);
      const int64_t vy = int64_t{j} * 65536 + 32768 - (int64_t{H} * 32768 + int64_t{g.offsetY} * 65536);
      const int64_t px = int64_t{W} * 32768 + int64_t{ox} * 65536 + mul(c, vx) + mul(s, vy);
      const int64_t py = int64_t{H} * 32768 + int64_t{oy} * 65536 + mul(-s, vx) + mul(c, vy);
      const int64_t ux = px - 32768;
      const int64_t uy = py - 32768;
      const int64_t ix = static_cast<int64_t>(std::floor(static_cast<double>(ux) / 65536.0));
      const int64_t iy = static_cast<int64_t>(std::floor(static_cast<double>(uy) / 65536.0));
      const int64_t fx = ux - ix * 65536;
      const int64_t fy = uy - iy * 65536;
      const int64_t a = ((65536 - fx) * (65536 - fy)) >> 16;
      const int64_t b = (fx * (65536 - fy)) >> 16;
      const int64_t d = ((65536 - fx) * fy) >> 16;
      const int64_t e = 65536 - a - b - d;
      auto px_at = [&](int64_t x, int64_t y) {
        return x < 0 || y < 0 || x >= source.width || y >= source.height
                   ? fill
                   : source.at(static_cast<int32_t>(x), static_cast<int32_t>(y));
      };
      uint32_t value = 0;
      for (int sh = 0; sh < 32; sh += 8) {
        int64_t sum = a * ((px_at(ix, iy) >> sh) & 255) + b * ((px_at(ix + 1, iy) >> sh) & 255) +
                      d * ((px_at(ix, iy + 1) >> sh) & 255) + e * ((px_at(ix + 1, iy + 1) >> sh) & 255);
        sum = std::min<int64_t>(std::max<int64_t>(sum, 0), 255 * 65536);
        value |= static_cast<uint32_t>(sum >> 16) << sh;
      }
      out.pixels[static_cast<size_t>(j * g.width + i)] = value;
    }
  }
  return out;
}

// A layer of random opaque and translucent pixels.
std::unique_ptr<CLayerData> RandomLayer(int32_t W, int32_t H, int32_t sw, int32_t sh, int32_t ox, int32_t oy) {
  auto layer = std::make_unique<CLayerData>(0, false);
  EXPECT_TRUE(layer->Init(sw, sh, 0));
  layer->canvasWidth = W;
  layer->canvasHeight = H;
  layer->offsetX = ox;
  layer->offsetY = oy;
  test::XorShiftRng rng(7);
  for (int32_t y = 0; y < sh; ++y)
    for (int32_t x = 0; x < sw; ++x) layer->Store()->SetPixel(x, y, rng.Next());
  return layer;
}

TEST(LayerTransform, FreeRotationByZeroReproducesTheLayer) {
  for (const int32_t ox : {0, 7}) {
    auto layer = RandomLayer(50, 40, 61, 45, ox, 3);
    std::unique_ptr<CLayerData> turned = MakeRotatedLayer(SSize{50, 40}, *layer, 0.0);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->offsetX, ox);
    EXPECT_EQ(turned->offsetY, 3);
    EXPECT_EQ(Read(*turned), Read(*layer));
  }
}

TEST(LayerTransform, FreeRotationMatchesTheModelExactly) {
  for (const double angle : {30.0, -45.0, 90.5, 200.0, 1.0}) {
    SCOPED_TRACE(angle);
    auto layer = RandomLayer(50, 40, 57, 44, 4, 2);
    SRotatedGeometry g;
    ASSERT_TRUE(RotatedLayerGeometry(SSize{50, 40}, 57, 44, 4, 2, angle, g));
    std::unique_ptr<CLayerData> turned = MakeRotatedLayer(SSize{50, 40}, *layer, angle);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->offsetX, g.offsetX);
    EXPECT_EQ(turned->offsetY, g.offsetY);
    const Grid want = ModelRotation(Read(*layer), layer->Store()->DefaultFill(), 50, 40, 4, 2, g);
    EXPECT_EQ(Read(*turned), want);
  }
}

TEST(LayerTransform, FreeRotationMatchesTheModelOnLargerPartlyUniformStores) {
  // Stores over several tiles with partial edge tiles, untouched tiles, a uniform block and
  // random pixels: every run of a row (outside, edge, inside) and both kinds of written tile.
  for (const double angle : {33.3, -90.0, 180.0, 0.001, 359.9, 271.0}) {
    SCOPED_TRACE(angle);
    auto layer = std::make_unique<CLayerData>(0, false);
    ASSERT_TRUE(layer->Init(150, 97, 3));
    layer->canvasWidth = 120;
    layer->canvasHeight = 80;
    layer->offsetX = 11;
    layer->offsetY = 9;
    test::XorShiftRng rng(11);
    SRectWH block{70, 5, 70, 60};
    layer->Store()->FillRect(block, 0xFF204060u);
    for (int32_t y = 40; y < 97; ++y)
      for (int32_t x = 0; x < 60; ++x) layer->Store()->SetPixel(x, y, rng.Next());
    SRotatedGeometry g;
    ASSERT_TRUE(RotatedLayerGeometry(SSize{120, 80}, 150, 97, 11, 9, angle, g));
    std::unique_ptr<CLayerData> turned = MakeRotatedLayer(SSize{120, 80}, *layer, angle);
    ASSERT_TRUE(turned);
    const Grid want = ModelRotation(Read(*layer), layer->Store()->DefaultFill(), 120, 80, 11, 9, g);
    ASSERT_EQ(turned->StoreWidth(), g.width);
    EXPECT_TRUE(Read(*turned) == want);
  }
}

TEST(LayerTransform, FreeRotationInteriorIsWithinTwoOfAPlainBilinearSampler) {
  const double angle = 30.0;
  // Smooth content: the 16.16 products place samples within a fraction of a pixel of the exact
  // position, which a gentle gradient turns into at most a level or two.
  auto layer = RandomLayer(64, 64, 64, 64, 0, 0);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x)
      layer->Store()->SetPixel(
          x, y, static_cast<uint32_t>((255 - y) << 24 | (200 - 2 * x) << 16 | (3 * y) << 8 | (2 * x + y)));
  std::unique_ptr<CLayerData> turned = MakeRotatedLayer(SSize{64, 64}, *layer, angle);
  ASSERT_TRUE(turned);
  const Grid src = Read(*layer);
  const double t = angle * M_PI / 180.0;
  int checked = 0;
  for (int32_t j = 0; j < turned->StoreHeight(); ++j) {
    for (int32_t i = 0; i < turned->StoreWidth(); ++i) {
      const double vx = i + 0.5 - (32.0 + turned->offsetX);
      const double vy = j + 0.5 - (32.0 + turned->offsetY);
      const double ux = 32.0 + std::cos(t) * vx + std::sin(t) * vy - 0.5;
      const double uy = 32.0 - std::sin(t) * vx + std::cos(t) * vy - 0.5;
      if (ux < 1 || uy < 1 || ux > 61 || uy > 61) continue;
      const int ix = static_cast<int>(std::floor(ux));
      const int iy = static_cast<int>(std::floor(uy));
      const double fx = ux - ix;
      const double fy = uy - iy;
      const uint32_t got = turned->Store()->GetPixel(i, j);
      for (int sh = 0; sh < 32; sh += 8) {
        auto ch = [&](int x, int y) { return static_cast<double>((src.at(x, y) >> sh) & 255); };
        const double v = ch(ix, iy) * (1 - fx) * (1 - fy) + ch(ix + 1, iy) * fx * (1 - fy) +
                         ch(ix, iy + 1) * (1 - fx) * fy + ch(ix + 1, iy + 1) * fx * fy;
        ASSERT_NEAR(static_cast<double>((got >> sh) & 255), v, 2.0) << i << "," << j << " byte " << sh / 8;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
}

// Sampling positions in the half-pixel band left of column 0 read column -1 (outside: the fill)
// and column 0, not columns 0 and 1.
TEST(LayerTransform, FreeRotationLeftEdgeBandBlendsWithOutsideNotAMirroredColumn) {
  auto layer = std::make_unique<CLayerData>(0, false);
  ASSERT_TRUE(layer->Init(40, 40, 0));
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 40; ++x) layer->Store()->SetPixel(x, y, x == 0 ? 0xFF0000FFu : 0xFF00FF00u);
  SRotatedGeometry g;
  ASSERT_TRUE(RotatedLayerGeometry(SSize{40, 40}, 40, 40, 0, 0, 3.0, g));
  std::unique_ptr<CLayerData> turned = MakeRotatedLayer(SSize{40, 40}, *layer, 3.0);
  ASSERT_TRUE(turned);
  const int64_t s = g.sine;
  const int64_t c = g.cosine;
  auto mul = [](int64_t a, int64_t b) { return (a >> 8) * (b >> 8); };
  int banded = 0;
  for (int32_t j = 0; j < g.height; ++j) {
    for (int32_t i = 0; i < g.width; ++i) {
      const int64_t vx = int64_t{i} * 65536 + 32768 - (20 * 65536 + int64_t{g.offsetX} * 65536);
      const int64_t vy = int64_t{j} * 65536 + 32768 - (20 * 65536 + int64_t{g.offsetY} * 65536);
      const int64_t ux = 20 * 65536 + mul(c, vx) + mul(s, vy) - 32768;
      const int64_t uy = 20 * 65536 + mul(-s, vx) + mul(c, vy) - 32768;
      if (ux <= -65536 || ux >= 0 || uy < 65536 || uy > 37 * 65536) continue;
      // Column 0 (blue, opaque) blends with the transparent white outside: red comes in and
      // alpha drops. Columns 0 and 1 would give neither.
      const uint32_t got = turned->Store()->GetPixel(i, j);
      EXPECT_GT((got >> 16) & 0xFF, 0u) << i << "," << j;
      EXPECT_LT(got >> 24, 255u) << i << "," << j;
      ++banded;
    }
  }
  EXPECT_GT(banded, 10);
}

TEST(LayerTransform, FreeRotationRecordsTheAngleBitsAndUndoes) {
  TransformFixture f(40, 30, 40, 30, 0, 0);
  const Grid before = Read(f.Layer());
  CLayerData* former = &f.Layer();
  const float angle = 12.5f;
  ASSERT_TRUE(f.Paper().RotateLayerFree(f.Flow(), 1, true, angle));
  const StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 4);
  EXPECT_EQ(packet.code, 38);
  ASSERT_EQ(packet.payload.size(), 12u);
  uint32_t bits = 0;
  std::memcpy(&bits, &angle, 4);
  uint32_t recorded = 0;
  std::memcpy(&recorded, packet.payload.data() + 4, 4);
  EXPECT_EQ(recorded, bits);
  const Grid after = Read(f.Layer());
  EXPECT_NE(&f.Layer(), former);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(&f.Layer(), former);
  EXPECT_EQ(Read(f.Layer()), before);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(Read(f.Layer()), after);
}

// ---------------------------------------------------------------------------------------------
// Scaling

TEST(LayerTransform, HalvingAveragesEachTwoByTwoBlock) {
  auto layer = RandomLayer(64, 48, 64, 48, 0, 0);
  std::unique_ptr<CLayerData> half = MakeScaledLayer(SSize{64, 48}, *layer, 32, 24);
  ASSERT_TRUE(half);
  // The store keeps covering the canvas; the scaled content lies at (0, 0).
  EXPECT_EQ(half->StoreWidth(), 64);
  EXPECT_EQ(half->StoreHeight(), 48);
  const Grid src = Read(*layer);
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 32; ++x)
      for (int sh = 0; sh < 32; sh += 8) {
        double sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) sum += (src.at(2 * x + dx, 2 * y + dy) >> sh) & 255;
        ASSERT_NEAR(static_cast<double>((half->Store()->GetPixel(x, y) >> sh) & 255), sum / 4, 1.0)
            << x << "," << y << " byte " << sh / 8;
      }
}

TEST(LayerTransform, ScaledOffsetAndStoreFollowTheScale) {
  auto layer = RandomLayer(40, 30, 100, 60, 20, 10);
  std::unique_ptr<CLayerData> scaled = MakeScaledLayer(SSize{40, 30}, *layer, 61, 37);
  ASSERT_TRUE(scaled);
  EXPECT_EQ(scaled->offsetX, 61 * 20 / 100);
  EXPECT_EQ(scaled->offsetY, 37 * 10 / 60);
  EXPECT_EQ(scaled->StoreWidth(), 12 + std::max(40, 61 - 12));
  EXPECT_EQ(scaled->StoreHeight(), 6 + std::max(30, 37 - 6));
}

TEST(LayerTransform, TiledScalerMatchesTheFlatScaler) {
  auto layer = RandomLayer(64, 48, 90, 70, 0, 0);
  CBlockVMTC dest(55, 43);
  ASSERT_TRUE(ScaleStore(*layer->Store(), dest));
  std::unique_ptr<CLayerData> scaled = MakeScaledLayer(SSize{40, 30}, *layer, 55, 43);
  ASSERT_TRUE(scaled);
  for (int32_t y = 0; y < 43; ++y)
    for (int32_t x = 0; x < 55; ++x)
      ASSERT_EQ(dest.GetPixel(x, y), scaled->Store()->GetPixel(x, y)) << x << "," << y;
}

TEST(LayerTransform, ScaleLayerRecordsBothSizesAndUndoes) {
  TransformFixture f(40, 30, 40, 30, 0, 0);
  const Grid before = Read(f.Layer());
  ASSERT_TRUE(f.Paper().ScaleLayer(f.Flow(), 1, true, 24, 18));
  const StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 4);
  EXPECT_EQ(packet.code, 39);
  ASSERT_EQ(packet.payload.size(), 12u);
  EXPECT_EQ(packet.payload[4], 24);
  EXPECT_EQ(packet.payload[8], 18);
  const Grid after = Read(f.Layer());
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(Read(f.Layer()), before);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(Read(f.Layer()), after);
}

}  // namespace
}  // namespace tf
