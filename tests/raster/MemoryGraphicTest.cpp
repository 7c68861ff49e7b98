#include "raster/MemoryGraphic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "raster/ColorConvert.h"
#include "support/TestRng.h"

namespace tf {
namespace {

constexpr TChannelOp kOps[4] = {ChannelKeep, ChannelCopy, ChannelBlend, ChannelMultiply};

// The channel operations written from their formulas in long double.
uint8_t ReferenceOp(TChannelOp op, int d, int s, float w) {
  switch (op) {
    case TChannelOp::Keep: return static_cast<uint8_t>(d);
    case TChannelOp::Copy: return static_cast<uint8_t>(s);
    case TChannelOp::Multiply:
      s = static_cast<int>((static_cast<uint64_t>(d) * s * 32897) >> 23);
      [[fallthrough]];
    case TChannelOp::Blend:
      return static_cast<uint8_t>(d + static_cast<long long>((s - d) * static_cast<long double>(w)));
  }
  return 0;
}

// The compositing rule at full coverage, from the reference operations.
uint32_t ReferencePaint(uint32_t d, uint32_t c, SChannelOps ops) {
  const float cw = static_cast<float>((c >> 24) * (1.0L / 255.0L));
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
    out |= uint32_t{ReferenceOp(ops.color, d >> shift & 0xFF, c >> shift & 0xFF, cw)} << shift;
  return out | uint32_t{ReferenceOp(ops.alpha, d >> 24, c >> 24, 1.0f)} << 24;
}

std::string OpsName(SChannelOps ops) {
  static const char* names[] = {"Keep", "Copy", "Blend", "Multiply"};
  return std::string(names[static_cast<int>(ops.color)]) + "/" + names[static_cast<int>(ops.alpha)];
}

TEST(ChannelOpTest, EveryBytePairAgainstTheFormula) {
  const float weights[] = {0.0f, 1.0f / 255.0f, 0.25f, 0.5f, 128.0f / 255.0f, 0.999f, 1.0f};
  for (TChannelOp op : kOps)
    for (float w : weights)
      for (int d = 0; d < 256; ++d)
        for (int s = 0; s < 256; ++s)
          ASSERT_EQ(ApplyChannelOp(op, d, s, w), ReferenceOp(op, d, s, w))
              << "op " << static_cast<int>(op) << " d " << d << " s " << s << " w " << w;
  // Multiply blends towards d * s / 255.
  EXPECT_EQ(ApplyChannelOp(ChannelMultiply, 200, 255, 1.0f), 200);
  EXPECT_EQ(ApplyChannelOp(ChannelMultiply, 200, 0, 1.0f), 0);
}

TEST(MemoryGraphicTest, HalfTransparentRedOverWhite) {
  TMemoryGraphic g(4, 4, BGRAWhite);
  ASSERT_TRUE(g.FillRect({0, 0, 4, 4}, 0x80FF0000, {ChannelBlend, ChannelKeep}));
  // The weight is the Single nearest 128/255, slightly above it: Trunc(-255 * w) is -128.
  EXPECT_EQ(g.GetPixel(1, 1), 0xFFFF7F7Fu);
}

TEST(MemoryGraphicTest, SizeAndPixelAccess) {
  TMemoryGraphic g;
  EXPECT_FALSE(g.IsValid());
  EXPECT_FALSE(g.FillRect({0, 0, 1, 1}, BGRABlack, {ChannelCopy, ChannelCopy}));
  EXPECT_EQ(g.GetPixel(0, 0), 0u);
  EXPECT_TRUE(g.SetSize(0, 0));
  EXPECT_EQ(g.Width(), 1);
  EXPECT_EQ(g.Height(), 1);
  EXPECT_EQ(g.GetPixel(0, 0), BGRAClearWhite);
  ASSERT_TRUE(g.SetSize(5, 4));
  g.SetPixel(0, 3, 0x12345678);
  g.SetPixel(-1, 3, 0xFFFFFFFF);  // outside: ignored
  EXPECT_TRUE(g.SetSize(5, 4));   // the same size keeps the pixels
  EXPECT_EQ(g.GetPixel(0, 3), 0x12345678u);
  EXPECT_EQ(g.GetPixel(-5, 3), 0x12345678u);  // clamped into the surface
  EXPECT_FALSE(g.Contains(-1, 0));
  EXPECT_EQ(g.ScanLine(4), nullptr);
  EXPECT_EQ(g.ScanLine(3), g.PixelAddress(0, 3));
  g.SetBackground(BGRABlue);
  EXPECT_TRUE(g.SetSize(6, 4));
  EXPECT_EQ(g.GetPixel(0, 3), BGRABlue);
  TMemoryGraphic colored = TMemoryGraphic::CreateColor(BGRARed);
  EXPECT_FALSE(colored.IsValid());
  colored.SetSize(2, 2);
  EXPECT_EQ(colored.GetPixel(1, 1), BGRARed);
}

TEST(MemoryGraphicTest, Clipping) {
  TMemoryGraphic g(10, 8);
  int32_t x = -3, y = 2, w = 5, h = 20;
  ASSERT_TRUE(g.ClipBounds(x, y, w, h));
  EXPECT_EQ((std::array<int32_t, 4>{x, y, w, h}), (std::array<int32_t, 4>{0, 2, 2, 6}));
  TRect out;
  EXPECT_FALSE(g.ClipRectOut({10, 0, 12, 3}, out));
  EXPECT_EQ(out, (TRect{10, 0, 12, 3}));
  EXPECT_TRUE(g.ClipRectOut({-100, -100, 100, 100}, out));
  EXPECT_EQ(out, (TRect{0, 0, 10, 8}));
  // Extreme edges: no overflow, the whole surface.
  constexpr int32_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
  EXPECT_TRUE(g.ClipRectOut({lo, lo, hi, hi}, out));
  EXPECT_EQ(out, (TRect{0, 0, 10, 8}));
  EXPECT_FALSE(g.ClipRectOut({hi - 1, 0, hi, 5}, out));
}

// Every area primitive, on random rectangles partly outside the surface and random operation
// pairs, leaves every pixel outside its clipped rectangle as it was; FillRect also paints every
// inside pixel by the compositing rule.
TEST(MemoryGraphicTest, PrimitivesTouchNothingOutsideTheirArea) {
  test::XorShiftRng rng(27);
  TMemoryGraphic g(23, 17);
  using Primitive = std::function<bool(TMemoryGraphic&, const TRect&, uint32_t, uint32_t, SChannelOps)>;
  const std::vector<std::pair<std::string, Primitive>> primitives = {
      {"FillRect", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t,
                      SChannelOps o) { return s.FillRect(r, a, o); }},
      {"FillChecker", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t b,
                         SChannelOps o) { return s.FillChecker(r, 3, 2, a, b, o); }},
      {"FrameRect", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t,
                       SChannelOps o) { return s.FrameRect(r, 2, a, o); }},
      {"DrawBevel", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t b,
                       SChannelOps o) { return s.DrawBevel(r, 1, a, b, o); }},
      {"GradientDown", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t b,
                          SChannelOps o) { return s.FillGradient(r, a, b, kDirDown, o); }},
      {"GradientLeft", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t b,
                          SChannelOps o) { return s.FillGradient(r, a, b, kDirLeft, o); }},
      {"Gradient4", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t b,
                       SChannelOps o) { return s.FillGradient4(r, a, b, a, b, o); }},
      {"HueRamp", [](TMemoryGraphic& s, const TRect& r, uint32_t, uint32_t,
                     SChannelOps o) { return s.FillHueRamp(r, kDirRight, 1.0f, 1, 1, 0.7f, o, true); }},
      {"SVPlane",
       [](TMemoryGraphic& s, const TRect& r, uint32_t, uint32_t, SChannelOps o) {
         return s.FillSaturationValuePlane(r, kDirRight, 2.0f, 1, kDirUp, o, false);
       }},
      {"TriangleUp", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t,
                        SChannelOps o) { return s.FillTriangle(r, a, kDirUp, o); }},
      {"TriangleLeft", [](TMemoryGraphic& s, const TRect& r, uint32_t a, uint32_t b,
                          SChannelOps o) { return s.FillGradientTriangle(r, a, b, a, kDirLeft, o); }},
  };
  for (int round = 0; round < 400; ++round) {
    for (int32_t y = 0; y < g.Height(); ++y)
      for (int32_t x = 0; x < g.Width(); ++x) g.SetPixel(x, y, rng.Next() | rng.Next() << 16);
    std::vector<uint32_t> before(g.Pixels(), g.Pixels() + 23 * 17);
    const int32_t left = static_cast<int32_t>(rng.Next() % 40) - 10,
                  top = static_cast<int32_t>(rng.Next() % 30) - 8;
    const TRect r{left, top, left + static_cast<int32_t>(rng.Next() % 20),
                  top + static_cast<int32_t>(rng.Next() % 15)};
    const SChannelOps ops{kOps[rng.Next() % 4], kOps[rng.Next() % 4]};
    const uint32_t a = rng.Next() | rng.Next() << 16, b = rng.Next() | rng.Next() << 16;
    const auto& [name, primitive] = primitives[round % primitives.size()];
    const bool drew = primitive(g, r, a, b, ops);
    TRect clip;
    const bool inside = g.ClipRectOut(r, clip);
    SCOPED_TRACE(name + " " + OpsName(ops));
    if (!inside) {
      EXPECT_FALSE(drew);
    }
    for (int32_t y = 0; y < g.Height(); ++y) {
      for (int32_t x = 0; x < g.Width(); ++x) {
        const uint32_t was = before[static_cast<size_t>(y * 23 + x)];
        const bool in = inside && x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
        if (!in) {
          ASSERT_EQ(g.GetPixel(x, y), was) << "outside pixel (" << x << ", " << y << ")";
        } else if (name == "FillRect") {
          ASSERT_EQ(g.GetPixel(x, y), ReferencePaint(was, a, ops)) << "(" << x << ", " << y << ")";
        }
      }
    }
  }
}

// Counts how often each pixel of a white surface was painted by half-black (Blend, Keep):
// 255 -> 127 once, -> 64 twice, -> 32, -> 16.
std::vector<int> PaintCounts(const TMemoryGraphic& g) {
  std::vector<int> counts;
  for (int32_t y = 0; y < g.Height(); ++y)
    for (int32_t x = 0; x < g.Width(); ++x) {
      const uint32_t v = g.GetPixel(x, y) & 0xFF;
      counts.push_back(v == 255 ? 0 : v == 127 ? 1 : v == 64 ? 2 : v == 32 ? 3 : v == 16 ? 4 : 9);
    }
  return counts;
}

constexpr uint32_t kHalfBlack = 0x80000000;
constexpr SChannelOps kBlendKeep{ChannelBlend, ChannelKeep};

TEST(MemoryGraphicTest, FrameBands) {
  struct Case {
    TRect rect;
    int32_t line;
    bool four, result;
    std::vector<int> counts;  // over a 4 x 3 surface
  };
  const Case cases[] = {
      {{1, 1, 2, 2}, 1, false, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // 1 x 1: every band empty
      {{0, 0, 2, 2}, 1, false, true, {1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0}},  // 2 x 2: each pixel once
      {{0, 1, 4, 2}, 1, false, true, {0, 0, 0, 0, 1, 2, 2, 1, 0, 0, 0, 0}},  // one row: inner pixels twice
      {{0, 0, 4, 3}, 1, false, true, {1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1}},
      {{0, 0, 3, 3}, 2, true, false, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // FrameRect4 needs 2L
      {{0, 0, 3, 3},
       2,
       false,
       true,
       {1, 2, 1, 0, 2, 4, 2, 0, 1, 2, 1, 0}},  // wide bands overlap  // FrameRect needs L
      {{0, 0, 4, 3}, 0, false, false, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    TMemoryGraphic g(4, 3, BGRAWhite);
    const bool result =
        c.four ? g.FrameRect4(c.rect, c.line, kHalfBlack, kHalfBlack, kHalfBlack, kHalfBlack, kBlendKeep)
               : g.FrameRect(c.rect, c.line, kHalfBlack, kBlendKeep);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(PaintCounts(g), c.counts)
        << c.rect.left << "," << c.rect.top << "," << c.rect.right << "," << c.rect.bottom;
  }
}

TEST(MemoryGraphicTest, BevelColoursAndRoundFrame) {
  TMemoryGraphic g(4, 4, BGRAWhite);
  ASSERT_TRUE(g.DrawBevel({0, 0, 4, 4}, 1, BGRARed, BGRABlue, {ChannelCopy, ChannelCopy}));
  EXPECT_EQ(g.GetPixel(0, 0), BGRARed);  // top band
  EXPECT_EQ(g.GetPixel(0, 3), BGRARed);  // left band
  EXPECT_EQ(g.GetPixel(3, 3), BGRABlue);
  EXPECT_EQ(g.GetPixel(3, 0), BGRABlue);  // right band runs over the top row's last pixel
  EXPECT_EQ(g.GetPixel(1, 1), BGRAWhite);

  TMemoryGraphic r(6, 6, BGRAWhite);
  ASSERT_TRUE(r.RoundFrame({0, 0, 6, 6}, 1, BGRABlack, {ChannelBlend, ChannelCopy}));
  EXPECT_EQ(r.GetPixel(0, 0), BGRAWhite);    // the corner itself stays
  EXPECT_EQ(r.GetPixel(1, 0) & 0xFF, 128u);  // beside it: colour weight 0.5
  EXPECT_EQ(r.GetPixel(1, 1) & 0xFF, 128u);
  EXPECT_EQ(r.GetPixel(2, 0), BGRABlack);  // the bands
  EXPECT_EQ(r.GetPixel(5, 3), BGRABlack);
  EXPECT_EQ(r.GetPixel(2, 2), BGRAWhite);
}

TEST(MemoryGraphicTest, Checker) {
  TMemoryGraphic g(12, 12, BGRAWhite);
  const SChannelOps copy{ChannelCopy, ChannelCopy};
  ASSERT_TRUE(g.FillChecker({2, 2, 12, 12}, 4, 4, BGRARed, BGRABlue, copy));
  EXPECT_EQ(g.GetPixel(2, 2), BGRARed);  // colour 1 in the top-left cell of the clipped rectangle
  EXPECT_EQ(g.GetPixel(5, 5), BGRARed);
  EXPECT_EQ(g.GetPixel(6, 2), BGRABlue);
  EXPECT_EQ(g.GetPixel(2, 6), BGRABlue);
  EXPECT_EQ(g.GetPixel(6, 6), BGRARed);
  // A cell size of 0 or less divided by zero; now it is refused and nothing changes.
  TMemoryGraphic h(4, 4, BGRAWhite);
  EXPECT_FALSE(h.FillChecker({0, 0, 4, 4}, 0, 4, BGRARed, BGRABlue, copy));
  EXPECT_FALSE(h.FillChecker({0, 0, 4, 4}, 4, -1, BGRARed, BGRABlue, copy));
  EXPECT_EQ(h.GetPixel(0, 0), BGRAWhite);
}

TEST(MemoryGraphicTest, Gradients) {
  const SChannelOps copy{ChannelCopy, ChannelCopy};
  const uint32_t a = 0xFF000000, b = 0xFFFFFFFF;
  struct Case {
    uint8_t direction;
    uint32_t single;  // the colour of a run of length 1
  };
  for (const Case& c : {Case{kDirDown, a}, Case{kDirUp, b}, Case{kDirRight, a}, Case{kDirLeft, b}}) {
    TMemoryGraphic g(1, 1);
    ASSERT_TRUE(g.FillGradient({0, 0, 1, 1}, a, b, c.direction, copy));
    EXPECT_EQ(g.GetPixel(0, 0), c.single) << int(c.direction);
  }
  TMemoryGraphic h(4, 3);
  ASSERT_TRUE(h.FillGradient({0, 0, 4, 3}, a, b, kDirRight, copy));
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(h.GetPixel(x, 2), LerpPixel(a, b, x / 3.0f));
  ASSERT_TRUE(h.FillGradient({0, 0, 4, 3}, a, b, kDirUp, copy));
  EXPECT_EQ(h.GetPixel(0, 0), b);
  EXPECT_EQ(h.GetPixel(3, 1), LerpPixel(b, a, 0.5f));
  EXPECT_EQ(h.GetPixel(2, 2), a);
  EXPECT_FALSE(h.FillGradient({0, 0, 4, 3}, a, b, 4, copy));
  ASSERT_TRUE(h.FillGradient4({0, 0, 4, 3}, BGRARed, BGRAGreen, BGRABlue, BGRABlack, copy));
  EXPECT_EQ(h.GetPixel(0, 0), BGRARed);
  EXPECT_EQ(h.GetPixel(3, 0), BGRAGreen);
  EXPECT_EQ(h.GetPixel(3, 2), BGRABlue);
  EXPECT_EQ(h.GetPixel(0, 2), BGRABlack);
  EXPECT_EQ(h.GetPixel(1, 1),
            LerpPixel(LerpPixel(BGRARed, BGRABlack, 0.5f), LerpPixel(BGRAGreen, BGRABlue, 0.5f), 1 / 3.0f));
  // Each pixel uses its own colour's alpha as weight: half-transparent black over white.
  TMemoryGraphic k(2, 1, BGRAWhite);
  ASSERT_TRUE(k.FillGradient({0, 0, 2, 1}, 0x00000000, 0xFF000000, kDirRight, kBlendKeep));
  EXPECT_EQ(k.GetPixel(0, 0), BGRAWhite);
  EXPECT_EQ(k.GetPixel(1, 0), BGRABlack);
}

// Wide vertical gradients paint through per-row tables reused while the colour stays: every pixel
// still equals the compositing rule applied to it alone, for every operation pair.
TEST(MemoryGraphicTest, WideVerticalGradientsEqualThePerPixelRule) {
  test::XorShiftRng rng(1024);
  constexpr int32_t kW = 1030, kH = 40;
  std::vector<uint32_t> before(static_cast<size_t>(kW) * kH);
  for (uint32_t& v : before) v = rng.Next();
  const uint32_t a = 0xFF2040C0, b = 0x30F08010;
  for (TChannelOp colourOp : kOps) {
    for (TChannelOp alphaOp : kOps) {
      const SChannelOps ops{colourOp, alphaOp};
      for (uint8_t direction : {kDirDown, kDirUp}) {
        TMemoryGraphic g(kW, kH);
        std::copy(before.begin(), before.end(), g.PixelAddress(0, 0));
        ASSERT_TRUE(g.FillGradient({0, 0, kW, kH}, a, b, direction, ops));
        for (int32_t j = 0; j < kH; ++j) {
          const float t = static_cast<float>(j) / static_cast<float>(kH - 1);
          const uint32_t colour = direction == kDirDown ? LerpPixel(a, b, t) : LerpPixel(b, a, t);
          for (int32_t i = 0; i < kW; ++i) {
            const uint32_t want = ReferencePaint(before[static_cast<size_t>(j) * kW + i], colour, ops);
            ASSERT_EQ(g.GetPixel(i, j), want)
                << "ops " << int(colourOp) << "," << int(alphaOp) << " row " << j << " column " << i;
          }
        }
      }
    }
  }
}

TEST(MemoryGraphicTest, Lines) {
  const SChannelOps blend{ChannelBlend, ChannelBlend};
  const int quarter = 255 + static_cast<int>(-255.0 * static_cast<float>(255.0 * (0xFFFF >> 2) / 16711425.0));
  {
    TMemoryGraphic g(6, 4, BGRAWhite);
    ASSERT_TRUE(g.DrawLine({2, 2}, {2, 2}, BGRABlack, blend));  // one pixel pair at quarter weight
    EXPECT_EQ(static_cast<int>(g.GetPixel(2, 2) & 0xFF), quarter);
    EXPECT_EQ(g.GetPixel(3, 2), BGRAWhite);  // its partner's weight is 0
    EXPECT_EQ(g.GetPixel(2, 1), BGRAWhite);
  }
  {
    TMemoryGraphic g(6, 4, BGRAWhite);
    ASSERT_TRUE(g.DrawLine({4, 1}, {0, 1}, BGRABlack, {ChannelBlend, ChannelKeep}));
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(g.GetPixel(x, 1), BGRABlack) << x;
    EXPECT_EQ(static_cast<int>(g.GetPixel(4, 1) & 0xFF), quarter);
    EXPECT_EQ(g.GetPixel(5, 1), BGRAWhite);
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(g.GetPixel(x, 2), BGRAWhite);
  }
  {
    // Half a pixel down: each column shares the colour between two rows.
    TMemoryGraphic g(6, 4, BGRAWhite);
    ASSERT_TRUE(g.DrawLine({0, 1.5f}, {5, 1.5f}, BGRABlack, {ChannelBlend, ChannelKeep}));
    EXPECT_EQ(g.GetPixel(2, 1) & 0xFF, g.GetPixel(2, 2) & 0xFF);
    EXPECT_NEAR(static_cast<int>(g.GetPixel(2, 1) & 0xFF), 128, 1);
  }
  TMemoryGraphic g(6, 4, BGRAWhite);
  EXPECT_FALSE(g.DrawLine({-5, -5}, {-1, -2}, BGRABlack, blend));
  EXPECT_FALSE(g.DrawLine({0, 0}, {std::nanf(""), 2}, BGRABlack, blend));
  EXPECT_FALSE(g.DrawLine({0, 0}, {INFINITY, 2}, BGRABlack, blend));
  // Huge coordinates are clipped in floating point, not turned into wrapped integers.
  EXPECT_TRUE(g.DrawLine({-1e30f, 1}, {1e30f, 1}, BGRABlack, {ChannelBlend, ChannelKeep}));
  EXPECT_EQ(g.GetPixel(3, 1), BGRABlack);
  const SPointF points[] = {{0, 0}, {5, 0}, {5, 3}};
  EXPECT_TRUE(g.DrawPolyline(points, 3, BGRABlack, blend));
  EXPECT_FALSE(g.DrawPolyline(points, 1, BGRABlack, blend));
}

TEST(MemoryGraphicTest, Blits) {
  TMemoryGraphic src(3, 2);
  const uint32_t pixels[] = {0xFF112233, 0x80FFFFFF, 0x00ABCDEF, 0xFF000000, 0xFF010203, 0xFF040506};
  ASSERT_TRUE(src.CopyBits(0, 0, 3, 2, pixels, 0, 0, 3, 2));
  EXPECT_EQ(src.GetPixel(1, 0), 0x80FFFFFFu);
  TMemoryGraphic dst(4, 4, BGRABlack);
  // A negative destination origin moves the source origin and shortens the size.
  ASSERT_TRUE(dst.DrawGraphic(-1, 1, 3, 2, src, 0, 0, {ChannelBlend, ChannelBlend}));
  EXPECT_EQ(dst.GetPixel(0, 1), 0x80808080u);  // source (1, 0) at half weight; alpha copied (weight 1)
  EXPECT_EQ(dst.GetPixel(1, 1), 0x00000000u);  // source (2, 0): transparent, colour kept, alpha 0
  EXPECT_EQ(dst.GetPixel(0, 2), 0xFF010203u);
  EXPECT_EQ(dst.GetPixel(2, 1), BGRABlack);
  // A negative source origin moves the destination.
  ASSERT_TRUE(dst.DrawBits(0, 0, 2, 1, pixels, -1, 0, 3, 2, {ChannelCopy, ChannelCopy}));
  EXPECT_EQ(dst.GetPixel(0, 0), BGRABlack);
  EXPECT_EQ(dst.GetPixel(1, 0), 0xFF112233u);
  EXPECT_FALSE(dst.DrawBits(4, 0, 2, 2, pixels, 0, 0, 3, 2, {ChannelCopy, ChannelCopy}));
  EXPECT_FALSE(dst.CopyBits(0, 0, 2, 2, pixels, 3, 0, 3, 2));
  EXPECT_FALSE(
      TMemoryGraphic::BlendBits(nullptr, 0, 0, 1, 1, 1, 1, pixels, 0, 0, 1, 1, {ChannelCopy, ChannelCopy}));
}

}  // namespace
}  // namespace tf
