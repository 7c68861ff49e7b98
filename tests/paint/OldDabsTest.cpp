// Dab rasterisers of the older engines against brute-force models: the falloff and smudging
// discs, the span discs, the blur discs (clamped store reads, any box radius) and the area blur
// of the blur2 pen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "paint/ColorPickup.h"
#include "paint/OldDabs.h"
#include "paint/PixelWriters.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "support/TestRng.h"

namespace tf {
namespace {

// A colour writer that keeps what each pixel was given.
struct WriteLog {
  std::map<const uint32_t*, std::pair<uint32_t, int32_t>> writes;  // colour, value
};
WriteLog g_writes;
void LoggingWriter(uint32_t* pixel, uint32_t colour, int32_t value) { g_writes.writes[pixel] = {colour, value}; }

class OldDabsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPixelWriters();
    g_writes.writes.clear();
  }
  void TearDown() override { ResetPixelWriters(); }
};

// A store of random pixels (alpha random too, some fully transparent).
std::unique_ptr<CBlockVMTC> RandomStore(int32_t w, int32_t h, uint64_t seed) {
  auto store = std::make_unique<CBlockVMTC>(w, h);
  test::XorShiftRng rng(seed);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint32_t p = static_cast<uint32_t>(rng.Next());
      if (rng.Next() % 5 == 0) p &= 0x00FFFFFFu;
      store->SetPixel(x, y, p);
    }
  return store;
}

uint32_t Clamped(const CBlockVMTC& s, int64_t x, int64_t y) {
  return s.GetPixel(static_cast<int32_t>(std::clamp<int64_t>(x, 0, s.Width() - 1)),
                    static_cast<int32_t>(std::clamp<int64_t>(y, 0, s.Height() - 1)));
}

int32_t Byte(uint32_t p, int shift) { return static_cast<int32_t>((p >> shift) & 0xFF); }

TEST_F(OldDabsTest, AirDabReadsTheAirMapByDistance) {
  SetColourWriter(&LoggingWriter);
  TMTC image(12, 12);
  // Radius 1, centre at a pixel centre: that pixel reads entry 0.
  AirDab(image, 0x123456, 5.5f, 5.5f, 1.0f, 1.0f);
  ASSERT_TRUE(g_writes.writes.count(image.Pixel(5, 5)));
  EXPECT_EQ(g_writes.writes[image.Pixel(5, 5)].second,
            static_cast<int32_t>((int64_t{AirMap()[0]} * 65536) >> 32));
  EXPECT_EQ(g_writes.writes[image.Pixel(5, 5)].first, 0x123456u);
  // Random discs against the distance model.
  test::XorShiftRng rng(3);
  for (int i = 0; i < 20; ++i) {
    g_writes.writes.clear();
    const float cx = static_cast<float>(rng.Next() % 1400) / 100.0f - 1,
                cy = static_cast<float>(rng.Next() % 1400) / 100.0f - 1;
    const float r = 0.3f + static_cast<float>(rng.Next() % 600) / 100.0f;
    const float op = static_cast<float>(rng.Next() % 101) / 100.0f;
    AirDab(image, 0xFF, cx, cy, r, op);
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 12; ++x) {
        const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        int64_t expected = 0;
        if (d < r)
          expected =
              (int64_t{AirMap()[static_cast<int>(d * 2047.0 / r)]} * static_cast<int64_t>(op * 65536.0)) >> 32;
        auto it = g_writes.writes.find(image.Pixel(x, y));
        const int64_t got = it == g_writes.writes.end() ? 0 : it->second.second;
        ASSERT_EQ(got, expected) << "disc " << i << " at " << x << "," << y;
      }
  }
  // Opacity 0 and a disc off the image write nothing.
  g_writes.writes.clear();
  AirDab(image, 0xFF, 5, 5, 3, 0);
  AirDab(image, 0xFF, -50, 5, 3, 1);
  AirDab(image, 0xFF, NAN, 5, 3, 1);
  EXPECT_TRUE(g_writes.writes.empty());
}

TEST_F(OldDabsTest, FingertipDabTakesTheWindowColourUnlessTransparent) {
  SetColourWriter(&LoggingWriter);
  TMTC picture(20, 20);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x)
      *picture.Pixel(x, y) = (x < 10 ? 0xFF000000u : 0u) | static_cast<uint32_t>(y * 20 + x);
  CPenTC window;
  ASSERT_TRUE(window.PickUp(picture, 3.0f, 10.0f, 10.0f));
  TMTC image(20, 20);
  FingertipDabOld(image, 0xABCDEF, window, 10.0f, 10.0f, 3.0f, 1.0f);
  int32_t offset = 0;
  ASSERT_TRUE(window.DabOffsetOld(3.0f, offset));
  for (int32_t y = 7; y < 13; ++y)
    for (int32_t x = 7; x < 13; ++x) {
      const uint32_t picked = window.GetPixel(offset + x - 7, offset + y - 7);
      const uint32_t expected = (picked >> 24) != 0 ? picked : 0xABCDEFu;
      // Pixels the falloff gives 0 are not written.
      const auto it = g_writes.writes.find(image.Pixel(x, y));
      if (it != g_writes.writes.end()) {
        ASSERT_EQ(it->second.first, expected) << x << "," << y;
      }
    }
  EXPECT_GE(g_writes.writes.size(), 20u);
  // A window smaller than the dab draws nothing.
  g_writes.writes.clear();
  FingertipDabOld(image, 0, window, 10.0f, 10.0f, 9.0f, 1.0f);
  EXPECT_TRUE(g_writes.writes.empty());
}

// Independent span model: coverage of pixel i by [c - w, c + w], in the formula's terms.
std::vector<int32_t> SpanModel(int32_t length, double c, double w, double op) {
  std::vector<int32_t> v(static_cast<size_t>(length), 0);
  const double lo = c - w, hi = c + w;
  const int64_t h = static_cast<int64_t>(std::floor(lo)), e = static_cast<int64_t>(std::ceil(hi));
  const int64_t n = e - h;
  for (int64_t i = h; i < e; ++i) {
    double cover = 1;
    if (n == 1)
      cover = 2 * w;
    else if (i == h)
      cover = h + 1 - lo;
    else if (i == e - 1)
      cover = 1 - (e - hi);
    if (i < 0) cover = 1;  // a span starting left of the channel starts with the full value
    if (i >= 0 && i < length) v[static_cast<size_t>(i)] = static_cast<int32_t>(op * cover * 255);
  }
  return v;
}

TEST_F(OldDabsTest, SpanCoverageAndSpanDiscs) {
  TChannel channel(16, 16);
  // Width 0.4 inside one pixel.
  HSpanCoverage(channel, 255, 0.8f, 0.2f, 3, 5.5f);
  EXPECT_EQ(channel.GetPixel(5, 3), static_cast<int32_t>(0.4 * 0.8f * 255));
  EXPECT_EQ(channel.GetPixel(4, 3), 0);
  EXPECT_EQ(channel.GetPixel(6, 3), 0);
  // Spans against the model, rows and columns, clipped at both ends.
  struct Case {
    float c, w, op;
  } cases[] = {{5.3f, 2.6f, 1.0f}, {0.7f, 3.1f, 0.5f}, {14.2f, 4.0f, 0.9f}, {8.0f, 1.0f, 1.0f}};
  for (const Case& k : cases) {
    channel.Fill(0);
    HSpanCoverage(channel, 255, k.op, k.w, 9, k.c);
    VSpanCoverage(channel, 255, k.op, k.w, 2, k.c);
    const std::vector<int32_t> model = SpanModel(16, k.c, k.w, k.op);
    for (int32_t i = 0; i < 16; ++i) {
      if (i != 2) {
        EXPECT_EQ(channel.GetPixel(i, 9), model[static_cast<size_t>(i)]) << k.c << " x " << i;
      }
      if (i != 9) {
        EXPECT_EQ(channel.GetPixel(2, i), model[static_cast<size_t>(i)]) << k.c << " y " << i;
      }
    }
  }
  // Radius 0.3: one span at half opacity on the centre's row.
  channel.Fill(0);
  SpanDiscRows(channel, 255, true, 6.5f, 4.5f, 0.3f, 1.0f);
  const std::vector<int32_t> small = SpanModel(16, 6.5, 0.3f, 0.5);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      EXPECT_EQ(channel.GetPixel(x, y), y == 4 ? small[static_cast<size_t>(x)] : 0);
  // A disc: one span per row with the chord at the row's top edge, end rows scaled.
  const double cx = 7.3, cy = 8.6, r = 4.2;
  channel.Fill(0);
  SpanDiscRows(channel, 255, true, static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(r), 1.0f);
  TChannel columns(16, 16);
  SpanDiscColumns(columns, 255, true, static_cast<float>(cy), static_cast<float>(cx), static_cast<float>(r),
                  1.0f);
  const int64_t o = static_cast<int64_t>(std::floor(cy - r)), t = static_cast<int64_t>(std::ceil(cy + r));
  for (int32_t y = 0; y < 16; ++y) {
    std::vector<int32_t> row(16, 0);
    const double q = r * r - (y - cy) * (y - cy);
    if (y >= o && y < t && q > 0) {
      double op = 1;
      if (y == o) op *= o + 1 - (cy - r);
      if (y == t - 1) op *= (cy + r) - (t - 1);
      row = SpanModel(16, cx, std::sqrt(q), op);
    }
    for (int32_t x = 0; x < 16; ++x) {
      ASSERT_EQ(channel.GetPixel(x, y), row[static_cast<size_t>(x)]) << x << "," << y;
      ASSERT_EQ(columns.GetPixel(y, x), row[static_cast<size_t>(x)]) << "columns " << x << "," << y;
    }
  }
}

// The box mean of the model: colour and alpha of the (2b + 1)^2 clamped box.
bool ModelBox(const CBlockVMTC& s, int64_t x, int64_t y, int64_t b, bool weighted, uint32_t& colour) {
  int64_t sum[4] = {0, 0, 0, 0};
  for (int64_t j = y - b; j <= y + b; ++j)
    for (int64_t i = x - b; i <= x + b; ++i) {
      const uint32_t p = Clamped(s, i, j);
      const int64_t a = p >> 24;
      for (int c = 0; c < 3; ++c) sum[c] += weighted ? Byte(p, 8 * c) * a / 255 : Byte(p, 8 * c);
      sum[3] += a;
    }
  const int64_t n = (2 * b + 1) * (2 * b + 1);
  int64_t out[4];
  if (weighted) {
    if (sum[3] == 0) return false;
    for (int c = 0; c < 3; ++c) out[c] = std::min<int64_t>(255, sum[c] * 255 / sum[3]);
  } else {
    for (int c = 0; c < 3; ++c) out[c] = sum[c] / n;
  }
  out[3] = sum[3] / n;
  colour = static_cast<uint32_t>(out[3] << 24 | out[2] << 16 | out[1] << 8 | out[0]);
  return true;
}

// Brute-force blur disc: (colour, value) per pixel that the model writes.
std::map<std::pair<int32_t, int32_t>, std::pair<uint32_t, int32_t>> ModelDisc(const CBlockVMTC& s, int32_t w,
                                                                              int32_t h, int64_t box, double cx,
                                                                              double cy, double radius,
                                                                              double opacity, bool weighted,
                                                                              bool full) {
  std::map<std::pair<int32_t, int32_t>, std::pair<uint32_t, int32_t>> out;
  const int64_t b = std::max<int64_t>(1, box);
  const int64_t r16 = static_cast<int64_t>(radius * 65536.0);
  const uint32_t op = static_cast<uint32_t>(opacity * 255);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int64_t d16 = static_cast<int64_t>(std::hypot(x + 0.5 - cx, y + 0.5 - cy) * 65536.0);
      if (d16 >= r16) continue;
      uint32_t colour = 0;
      if (!ModelBox(s, x, y, b, weighted, colour)) continue;
      const uint32_t fall = static_cast<uint32_t>(255 - d16 * 255 / r16);
      out[{x, y}] = {colour, full ? MulTable[fall][op] : static_cast<int32_t>(MulDiv255(fall, op))};
    }
  return out;
}

TEST_F(OldDabsTest, BlurDiscsMatchTheClampedBoxModel) {
  SetColourWriter(&LoggingWriter);
  const int32_t w = 23, h = 19;
  auto store = RandomStore(w, h, 17);
  TMTC image(w + 4, h + 3);  // the working copy may be larger than the store
  struct Case {
    int32_t box;
    float cx, cy, radius, opacity;
  } cases[] = {
      {0, 10.2f, 9.7f, 4.5f, 1.0f}, {2, 1.0f, 1.5f, 6.0f, 0.7f},   {3, 21.5f, 17.2f, 5.0f, 0.5f},
      {7, 12.0f, 3.0f, 9.0f, 1.0f}, {40, 11.0f, 9.0f, 7.0f, 0.9f}, {1, 24.0f, 20.0f, 3.0f, 1.0f},
  };
  for (const Case& k : cases) {
    for (int form = 0; form < 4; ++form) {
      const bool weighted = form % 2 == 0, full = form >= 2;
      g_writes.writes.clear();
      using Disc = void (*)(TMTC&, const CBlockVMTC&, int32_t, float, float, float, float);
      const Disc discs[4] = {&BlurDiscWeighted, &BlurDiscPlain, &BlurDiscWeightedFull, &BlurDiscPlainFull};
      discs[form](image, *store, k.box, k.cx, k.cy, k.radius, k.opacity);
      const auto model = ModelDisc(*store, image.Width(), image.Height(), k.box, k.cx, k.cy, k.radius, k.opacity,
                                   weighted, full);
      ASSERT_EQ(g_writes.writes.size(), model.size()) << "box " << k.box << " form " << form;
      for (const auto& [at, expected] : model) {
        const auto got = g_writes.writes.at(image.Pixel(at.first, at.second));
        ASSERT_EQ(got, expected) << "box " << k.box << " form " << form << " at " << at.first << "," << at.second;
      }
    }
  }
}

TEST_F(OldDabsTest, HugeBlurBoxRadiusGivesTheExactClampedMean) {
  // A box radius far beyond the store (an effect of 65535 from a file) sums in 64 bits and
  // counts the repeated edge pixels instead of walking the whole box.
  SetColourWriter(&LoggingWriter);
  const int32_t w = 9, h = 7;
  auto store = RandomStore(w, h, 5);
  TMTC image(w, h);
  const int64_t box = 131070;
  BlurDiscWeighted(image, *store, static_cast<int32_t>(box), 4.5f, 3.5f, 3.0f, 1.0f);
  // Model: each store pixel's multiplicity in the clamped box, counted per axis.
  auto weight = [box](int64_t centre, int64_t i, int64_t n) {
    int64_t count = 0;
    if (i == 0)
      count += std::max<int64_t>(0, std::min<int64_t>(centre + box, 0) - (centre - box) + 1);
    else if (i == n - 1)
      count += std::max<int64_t>(0, (centre + box) - std::max<int64_t>(centre - box, n - 1) + 1);
    else
      count = (i >= centre - box && i <= centre + box) ? 1 : 0;
    return count;
  };
  const int64_t total = (2 * box + 1) * (2 * box + 1);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int64_t d16 = static_cast<int64_t>(std::hypot(x + 0.5 - 4.5, y + 0.5 - 3.5) * 65536.0);
      if (d16 >= 3 * 65536) continue;
      int64_t sum[4] = {0, 0, 0, 0};
      for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i) {
          const int64_t m = weight(x, i, w) * weight(y, j, h);
          const uint32_t p = store->GetPixel(i, j);
          const int64_t a = p >> 24;
          for (int c = 0; c < 3; ++c) sum[c] += m * (Byte(p, 8 * c) * a / 255);
          sum[3] += m * a;
        }
      if (sum[3] == 0) continue;
      const uint32_t expected = static_cast<uint32_t>(
          (sum[3] / total) << 24 | std::min<int64_t>(255, sum[2] * 255 / sum[3]) << 16 |
          std::min<int64_t>(255, sum[1] * 255 / sum[3]) << 8 | std::min<int64_t>(255, sum[0] * 255 / sum[3]));
      ASSERT_EQ(g_writes.writes.at(image.Pixel(x, y)).first, expected) << x << "," << y;
    }
}

TEST_F(OldDabsTest, BlurDiscOldBlendsPixelsWhoseCornersAreInside) {
  const int32_t w = 20, h = 16;
  auto store = RandomStore(w, h, 23);
  for (const float radius : {2.0f, 4.3f, 6.0f}) {
    TMTC image(w, h), model(w, h);
    image.FillAll(0x80102030u);
    model.FillAll(0x80102030u);
    const float cx = 9.3f, cy = 7.8f;
    BlurDiscOld(image, *store, 2, cx, cy, radius);
    const int64_t q = static_cast<int64_t>(radius * 4), r2 = q * q;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const int64_t a = 4 * x - static_cast<int64_t>(cx * 4), v = 4 * y - static_cast<int64_t>(cy * 4);
        auto in = [&](int64_t u, int64_t t) { return u * u + t * t < r2; };
        if (x < static_cast<int32_t>(cx - radius) || x > static_cast<int32_t>(cx + radius + 1) ||
            y < static_cast<int32_t>(cy - radius) || y > static_cast<int32_t>(cy + radius + 1))
          continue;
        if (!in(a, v) || !in(a + 4, v) || !in(a, v + 4) || !in(a + 4, v + 4)) continue;
        uint32_t colour = 0;
        ModelBox(*store, x, y, 2, false, colour);
        BlendColorFast(model.Pixel(x, y), colour,
                       static_cast<int32_t>(std::max<int64_t>(0, 255 - (a * a + v * v) * 255 / r2)));
      }
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        ASSERT_EQ(image.GetPixel(x, y), model.GetPixel(x, y)) << radius << " " << x << "," << y;
  }
}

TEST_F(OldDabsTest, AreaBlurThroughChannelMatchesTheModel) {
  const int32_t w = 37, h = 140;  // more rows than one band of the blur
  auto store = RandomStore(w, h, 41);
  TChannel channel(w, h), second(w, h);
  test::XorShiftRng rng(8);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t pick = static_cast<uint32_t>(rng.Next() % 6);
      *channel.GetPixelPtr(x, y) = static_cast<uint8_t>(pick == 0   ? 0
                                                        : pick == 1 ? 1
                                                        : pick == 2 ? 2
                                                                    : rng.Next() % 256);
      *second.GetPixelPtr(x, y) = static_cast<uint8_t>(rng.Next() % 3 == 0 ? 255 : rng.Next() % 256);
      // Some rows covered fully, as in the core of a stroke.
      if (y % 9 == 0) *channel.GetPixelPtr(x, y) = static_cast<uint8_t>(31 + rng.Next() % 225);
    }
  struct Case {
    bool useSecond;
    SRectWH rect;
  } cases[] = {
      {false, {-2, 0, w + 10, h + 1}},  // clipped to the image, reads past the store's edges
      {true, {-2, 0, w + 10, h + 1}},
      {false, {1, 0, w - 2, h}},  // inside the store
  };
  for (const Case& k : cases) {
    const bool useSecond = k.useSecond;
    TMTC image(w + 3, h + 2), model(w + 3, h + 2);
    image.FillAll(0x40AABBCCu);
    model.FillAll(0x40AABBCCu);
    ASSERT_TRUE(AreaBlurThroughChannel(image, *store, channel, useSecond ? &second : nullptr, k.rect));
    for (int32_t y = 0; y < model.Height(); ++y)
      for (int32_t x = 0; x < model.Width(); ++x) {
        if (x < k.rect.left || y < k.rect.top || x >= k.rect.left + k.rect.width ||
            y >= k.rect.top + k.rect.height)
          continue;
        int32_t c = channel.GetPixelClamped(x, y);
        if (useSecond && second.GetPixelClamped(x, y) != 255) c = c * second.GetPixelClamped(x, y) >> 8;
        if (c < 2) {
          *model.Pixel(x, y) = Clamped(*store, x, y);
          continue;
        }
        const int32_t centre = 32 - std::min(c, 31);
        int32_t sum[3] = {0, 0, 0};
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const uint32_t p = Clamped(*store, x + dx, y + dy);
            for (int k = 0; k < 3; ++k) sum[k] += Byte(p, 8 * k) * (dx == 0 && dy == 0 ? centre : 1);
          }
        const int32_t total = 8 + centre;
        BlendColorFast(model.Pixel(x, y),
                       0xFF000000u | static_cast<uint32_t>(sum[2] / total) << 16 |
                           static_cast<uint32_t>(sum[1] / total) << 8 | static_cast<uint32_t>(sum[0] / total),
                       255);
      }
    for (int32_t y = 0; y < model.Height(); ++y)
      for (int32_t x = 0; x < model.Width(); ++x)
        ASSERT_EQ(image.GetPixel(x, y), model.GetPixel(x, y)) << useSecond << " " << x << "," << y;
  }
  // Nothing left after clipping.
  TMTC image(4, 4);
  EXPECT_FALSE(AreaBlurThroughChannel(image, *store, channel, nullptr, SRectWH{10, 10, 3, 3}));
}

}  // namespace
}  // namespace tf
