#include "raster/ScaleImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "raster/DibImage.h"
#include "raster/Drawing.h"
#include "raster/FlatImage.h"
#include "support/TestImages.h"

namespace tf {
namespace {

using test::PixelsOf;

// Deterministic pixel values.
uint32_t Noise(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t v = x * 73856093u ^ y * 19349663u ^ seed * 83492791u;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  v ^= v >> 15;
  return v;
}

void FillNoise(TMTC& image, uint32_t seed) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = Noise(x, y, seed);
}

void FillNoise(TChannel& channel, uint32_t seed) {
  for (int32_t y = 0; y < channel.Height(); ++y)
    for (int32_t x = 0; x < channel.Width(); ++x)
      *channel.GetPixelPtr(x, y) = static_cast<uint8_t>(Noise(x, y, seed));
}

std::vector<uint8_t> BytesOf(const TChannel& channel) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < channel.Height(); ++y)
    for (int32_t x = 0; x < channel.Width(); ++x) out.push_back(channel.GetPixel(x, y));
  return out;
}

// Subclasses without overrides of their own: they take the per-pixel path through the virtual
// slots, which is the reference the direct loops must match bit for bit.
class SlotsTMTC : public CScaleImageTMTC {
 public:
  using CScaleImageTMTC::CScaleImageTMTC;
};
class SlotsCH : public CScaleImageCH {
 public:
  using CScaleImageCH::CScaleImageCH;
};
class SlotsCH2TMTC : public CScaleImageCH2TMTC {
 public:
  using CScaleImageCH2TMTC::CScaleImageCH2TMTC;
};
class SlotsBYTE : public CScaleImageBYTE {
 public:
  using CScaleImageBYTE::CScaleImageBYTE;
};
class SlotsFixp : public CScaleImageCH_fixp {
 public:
  using CScaleImageCH_fixp::CScaleImageCH_fixp;
};

struct ScaleCase {
  SSize source;
  SRectWH sourceRect;
  SSize dest;
  SRectWH destRect;
};

// Reductions, enlargements, uneven ratios, sub-rectangles, rectangles sticking out.
const ScaleCase kCases[] = {
    {{4, 4}, {0, 0, 4, 4}, {2, 2}, {0, 0, 2, 2}},
    {{37, 23}, {0, 0, 37, 23}, {10, 7}, {0, 0, 10, 7}},
    {{64, 64}, {0, 0, 64, 64}, {21, 21}, {0, 0, 21, 21}},
    {{5, 3}, {0, 0, 5, 3}, {17, 11}, {0, 0, 17, 11}},
    {{1, 1}, {0, 0, 1, 1}, {13, 9}, {0, 0, 13, 9}},
    {{1, 6}, {0, 0, 1, 6}, {416, 5}, {0, 0, 416, 5}},
    {{3, 2}, {0, 0, 3, 2}, {1000, 7}, {0, 0, 1000, 7}},
    {{50, 40}, {7, 5, 30, 20}, {33, 29}, {4, 3, 20, 25}},
    {{50, 40}, {-5, -5, 70, 70}, {20, 20}, {-3, 2, 30, 30}},
    {{29, 31}, {0, 0, 29, 31}, {29, 31}, {0, 0, 29, 31}},
    {{100, 3}, {0, 0, 100, 3}, {7, 40}, {0, 0, 7, 40}},
    {{512, 4}, {0, 0, 512, 4}, {1500, 9}, {0, 0, 1500, 9}},
    {{4, 512}, {0, 0, 4, 512}, {9, 1500}, {0, 0, 9, 1500}},
    {{7, 7}, {0, 0, 7, 7}, {9, 9}, {0, 0, 9, 9}},
    {{16, 12}, {0, 0, 16, 12}, {32, 36}, {0, 0, 32, 36}},
    {{9, 9}, {0, 0, 9, 9}, {9, 20}, {0, 0, 9, 20}},
    {{30, 4}, {3, 0, 20, 4}, {70, 9}, {5, 1, 61, 7}},
    {{100, 100}, {0, 0, 100, 100}, {293, 293}, {0, 0, 293, 293}},
    {{5, 60}, {0, 0, 5, 60}, {17, 7}, {0, 0, 17, 7}},
    {{60, 60}, {0, 0, 60, 60}, {30, 30}, {0, 0, 30, 30}},
};

// The direct loops of 32-bit images have a baseline and an AVX2 build; runs a test body in both
// (where the processor has no AVX2 both runs take the baseline).
template <class Body>
void InBothBuilds(Body body) {
  for (bool baseline : {false, true}) {
    SCOPED_TRACE(baseline ? "baseline build" : "widest build");
    scale_detail::ForceBaselineScaling(baseline);
    body();
  }
  scale_detail::ForceBaselineScaling(false);
}

TEST(ScaleImage, DirectLoopsMatchThePerPixelSlotsExactly) {
  InBothBuilds([] {
    uint32_t seed = 1;
    for (const ScaleCase& c : kCases) {
      SCOPED_TRACE(testing::Message() << c.source.width << "x" << c.source.height << " -> " << c.dest.width << "x"
                                      << c.dest.height);
      ++seed;
      {  // 32-bit
        TMTC src(c.source), a(c.dest), b(c.dest);
        FillNoise(src, seed);
        a.FillAll(0x12345678);
        b.FillAll(0x12345678);
        CScaleImageTMTC direct(&src, &a);
        SlotsTMTC slots(&src, &b);
        EXPECT_TRUE(direct.Scale(c.sourceRect, c.destRect));
        EXPECT_TRUE(slots.Scale(c.sourceRect, c.destRect));
        EXPECT_EQ(PixelsOf(a), PixelsOf(b));
      }
      TChannel src(c.source);
      FillNoise(src, seed);
      {  // channel to channel
        TChannel a(c.dest), b(c.dest);
        a.Fill(7);
        b.Fill(7);
        CScaleImageCH direct(&src, &a);
        SlotsCH slots(&src, &b);
        EXPECT_TRUE(direct.Scale(c.sourceRect, c.destRect));
        EXPECT_TRUE(slots.Scale(c.sourceRect, c.destRect));
        EXPECT_EQ(BytesOf(a), BytesOf(b));
      }
      {  // channel to grey
        TTC a(c.dest.width, c.dest.height), b(c.dest.width, c.dest.height);
        CScaleImageCH2TMTC direct(&src, &a);
        SlotsCH2TMTC slots(&src, &b);
        EXPECT_TRUE(direct.Scale(c.sourceRect, c.destRect));
        EXPECT_TRUE(slots.Scale(c.sourceRect, c.destRect));
        EXPECT_EQ(PixelsOf(a), PixelsOf(b));
      }
      {  // raw bytes
        std::vector<uint8_t> s = BytesOf(src);
        const size_t n = static_cast<size_t>(c.dest.width) * c.dest.height;
        std::vector<uint8_t> a(n, 3), b(n, 3);
        CScaleImageBYTE direct(s.data(), a.data(), c.source, c.dest);
        SlotsBYTE slots(s.data(), b.data(), c.source, c.dest);
        EXPECT_TRUE(direct.Scale(c.sourceRect, c.destRect));
        EXPECT_TRUE(slots.Scale(c.sourceRect, c.destRect));
        EXPECT_EQ(a, b);
      }
    }
  });
}

// Reductions by 2, 3 and 4 each way take a loop of integer sums of their own: every block sum
// a block can have (per byte lane), noise over widths that leave every kind of tail, and
// sub-rectangles at odd offsets must give the bytes of the per-pixel path.
TEST(ScaleImage, WholeRatioReductionsMatchThePerPixelSlotsForEverySum) {
  InBothBuilds([] {
    for (int32_t n = 2; n <= 4; ++n) {
      SCOPED_TRACE(testing::Message() << "ratio " << n);
      // Every sum 0..255*n*n in each lane (red counting down, alpha a different order).
      const int32_t sums = 255 * n * n + 1, dw = 67, dh = (sums + dw - 1) / dw;
      TMTC sweep(dw * n, dh * n);
      for (int32_t b = 0; b < dw * dh; ++b) {
        const int32_t total[4] = {b % sums, (sums - 1 - b % sums), (b * 7) % sums, (b * 13 + 5) % sums};
        for (int32_t k = 0; k < n * n; ++k) {
          uint8_t* px = reinterpret_cast<uint8_t*>(sweep.Pixel((b % dw) * n + k % n, (b / dw) * n + k / n));
          for (int c = 0; c < 4; ++c) {
            const int32_t before = std::min(total[c], 255 * k);
            px[c] = static_cast<uint8_t>(std::min(total[c] - before, 255));
          }
        }
      }
      struct Case {
        TMTC* source;
        SRectWH sourceRect;
        SSize dest;
        SRectWH destRect;
      };
      TMTC noise(61 * n + 5, 23 * n + 3);
      FillNoise(noise, static_cast<uint32_t>(n));
      const Case cases[] = {
          {&sweep, {0, 0, dw * n, dh * n}, {dw, dh}, {0, 0, dw, dh}},
          {&noise, {0, 0, 61 * n, 23 * n}, {61, 23}, {0, 0, 61, 23}},
          {&noise, {3, 1, 9 * n, 5 * n}, {20, 12}, {5, 2, 9, 5}},
          {&noise, {1, 2, 1 * n, 7 * n}, {4, 9}, {2, 1, 1, 7}},
          {&noise, {5, 3, 17 * n, 20 * n}, {17, 20}, {0, 0, 17, 20}},
      };
      for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.destRect.width << "x" << c.destRect.height);
        TMTC a(c.dest), b(c.dest);
        a.FillAll(0x12345678);
        b.FillAll(0x12345678);
        CScaleImageTMTC direct(c.source, &a);
        SlotsTMTC slots(c.source, &b);
        EXPECT_TRUE(direct.Scale(c.sourceRect, c.destRect));
        EXPECT_TRUE(slots.Scale(c.sourceRect, c.destRect));
        EXPECT_EQ(PixelsOf(a), PixelsOf(b));
      }
    }
  });
}

// One axis of an area cut at the source's far edge. An area that starts at or past the edge
// (rounded steps of an enlargement) takes the last pixel whole; an empty one shrinks to a
// sliver of the pixel where it starts.
void ReferenceEdge(int64_t& a0, int64_t& a1, int32_t size) {
  const int64_t edge = int64_t{size} << 16;
  a1 = std::min(a1, edge);
  if (a0 >= edge) {
    a0 = edge - 65536;
    a1 = edge;
  } else if (a1 <= a0) {
    a1 = a0 + 1;
  }
}

// The guard added to a sum before dividing by its area (Single): 0.01 where the area exceeds
// 0.01, else 0.99*area, so that it never lifts a value by a whole level.
float Guard(float area) { return area > 0.01f ? 0.01f : 0.99f * area; }
// The plain guard, 0.01 at every area, and an earlier mend that shrank it below one pixel of
// area, for the tests that tell the rules apart.
float PlainGuard(float) { return 0.01f; }
float ShrunkGuard(float area) { return area < 1.0f ? 0.01f * area : 0.01f; }

// The averaging of one area written out step by step as the algorithm is defined, over one
// channel of bytes: Single sums in the defined order, the weights 16.16 fractions over 65536,
// and trunc((sum + g)/area) with the guard g. Independent of the scaler's code.
uint8_t ReferenceAverage(const std::vector<uint8_t>& src, int32_t sw, int32_t sh, int64_t x0, int64_t y0,
                         int64_t x1, int64_t y1, float (*guard)(float) = Guard) {
  ReferenceEdge(x0, x1, sw);
  ReferenceEdge(y0, y1, sh);
  const int64_t cx0 = (x0 + 65535) & ~int64_t{65535}, cy0 = (y0 + 65535) & ~int64_t{65535};
  const int64_t fx1 = x1 & ~int64_t{65535}, fy1 = y1 & ~int64_t{65535};
  const int64_t left = cx0 - x0, top = cy0 - y0, right = x1 & 65535, bottom = y1 & 65535;
  const int64_t n = (fx1 - cx0) >> 16, m = (fy1 - cy0) >> 16;
  const int64_t w = x1 - x0, h = y1 - y0;
  const int64_t c = x0 >> 16;
  int64_t r = y0 >> 16;
  auto px = [&](int64_t x, int64_t y) { return static_cast<float>(src[static_cast<size_t>(y * sw + x)]); };
  auto weight = [](int64_t f) { return static_cast<float>(f) / 65536.0f; };
  auto addRow = [&](float& acc, int64_t x, int64_t y) {
    if (left > 0) acc += weight(left) * px(x++, y);
    for (int64_t k = 0; k < n; ++k) acc += px(x++, y);
    if (right > 0) acc += weight(right) * px(x, y);
  };
  float acc = 0.0f, area;
  if (n < 0 && m < 0) {
    acc += px(c, r);
    area = 1.0f;
  } else if (n < 0) {
    if (top > 0) acc += weight(top) * px(c, r++);
    for (int64_t k = 0; k < m; ++k) acc += px(c, r++);
    if (bottom > 0) acc += weight(bottom) * px(c, r);
    area = static_cast<float>(h) / 65536.0f;
  } else if (m < 0) {
    addRow(acc, c, r);
    area = static_cast<float>(w) / 65536.0f;
  } else {
    if (top > 0) {
      addRow(acc, c, r++);
      acc *= weight(top);
    }
    for (int64_t k = 0; k < m; ++k) {
      float t = 0.0f;
      addRow(t, c, r++);
      acc += t;
    }
    if (bottom > 0) {
      float t = 0.0f;
      addRow(t, c, r);
      acc += t * weight(bottom);
    }
    area = (static_cast<float>(w) / 65536.0f) * (static_cast<float>(h) / 65536.0f);
  }
  const float q = (acc + guard(area)) / area;
  return q >= 255.0f ? 255 : (q > 0.0f ? static_cast<uint8_t>(static_cast<int32_t>(q)) : 0);
}

// Recordings replay through the scaler, so its results must be the defined arithmetic to the
// bit: reductions (every area a pixel or more), enlargements of even and uneven ratios (most
// areas inside one source pixel; the last ones of 1 to 416 start past the edge) and mixed
// ratios of noise, in every class with a direct loop and both of its builds, against the
// reference.
TEST(ScaleImage, ResultsMatchTheDefinedArithmeticBitForBit) {
  const ScaleCase cases[] = {
      {{37, 23}, {0, 0, 37, 23}, {10, 7}, {0, 0, 10, 7}},
      {{64, 64}, {0, 0, 64, 64}, {21, 21}, {0, 0, 21, 21}},
      {{50, 40}, {7, 5, 30, 20}, {33, 29}, {4, 3, 20, 13}},
      {{100, 3}, {0, 0, 100, 3}, {7, 3}, {0, 0, 7, 3}},
      {{3, 100}, {0, 0, 3, 100}, {3, 9}, {0, 0, 3, 9}},
      {{300, 200}, {0, 0, 300, 200}, {97, 61}, {0, 0, 97, 61}},
      {{29, 31}, {0, 0, 29, 31}, {29, 31}, {0, 0, 29, 31}},
      {{5, 3}, {0, 0, 5, 3}, {17, 11}, {0, 0, 17, 11}},
      {{7, 6}, {1, 1, 5, 4}, {40, 9}, {3, 0, 31, 9}},
      {{40, 4}, {0, 0, 40, 4}, {13, 27}, {0, 0, 13, 27}},
      // Enlargements.
      {{512, 7}, {0, 0, 512, 7}, {1500, 20}, {0, 0, 1500, 20}},
      {{7, 512}, {0, 0, 7, 512}, {20, 1500}, {0, 0, 20, 1500}},
      {{3, 3}, {0, 0, 3, 3}, {1000, 5}, {0, 0, 1000, 5}},
      {{1, 2}, {0, 0, 1, 2}, {416, 9}, {0, 0, 416, 9}},
      {{2, 1}, {0, 0, 2, 1}, {5, 416}, {0, 0, 5, 416}},
      {{7, 7}, {0, 0, 7, 7}, {9, 9}, {0, 0, 9, 9}},
      {{7, 9}, {0, 0, 7, 9}, {9, 26}, {0, 0, 9, 26}},
      {{8, 6}, {0, 0, 8, 6}, {16, 18}, {0, 0, 16, 18}},
      {{100, 80}, {0, 0, 100, 80}, {293, 234}, {0, 0, 293, 234}},
      {{20, 20}, {2, 3, 11, 9}, {60, 40}, {5, 2, 50, 37}},
      // Enlarged along one axis, reduced along the other.
      {{5, 60}, {0, 0, 5, 60}, {17, 7}, {0, 0, 17, 7}},
      {{90, 4}, {0, 0, 90, 4}, {16, 11}, {0, 0, 16, 11}},
  };
  InBothBuilds([&] {
    uint32_t seed = 40;
    for (const ScaleCase& c : cases) {
      SCOPED_TRACE(testing::Message() << c.source.width << "x" << c.source.height << " -> " << c.destRect.width
                                      << "x" << c.destRect.height);
      ++seed;
      TMTC src(c.source), dst(c.dest);
      FillNoise(src, seed);
      dst.FillAll(0);
      CScaleImageTMTC scaler(&src, &dst);
      ASSERT_TRUE(scaler.Scale(c.sourceRect, c.destRect));
      TChannel ch(c.source), chOut(c.dest);
      FillNoise(ch, seed);
      chOut.Fill(0);
      ASSERT_TRUE(CScaleImageCH(&ch, &chOut).Scale(c.sourceRect, c.destRect));
      TMTC grey(c.dest);
      grey.FillAll(0);
      ASSERT_TRUE(CScaleImageCH2TMTC(&ch, &grey).Scale(c.sourceRect, c.destRect));
      const std::vector<uint8_t> bytes = BytesOf(ch);
      std::vector<uint8_t> raw(static_cast<size_t>(c.dest.width) * c.dest.height, 0);
      ASSERT_TRUE(CScaleImageBYTE(bytes.data(), raw.data(), c.source, c.dest).Scale(c.sourceRect, c.destRect));
      const SRectWH sr = scaler.GetSourceRect(), dr = scaler.GetDestRect();
      const int64_t xs = scaler.GetXStep(), ys = scaler.GetYStep();
      std::vector<uint8_t> planes[4];
      for (int k = 0; k < 4; ++k)
        for (int32_t y = 0; y < c.source.height; ++y)
          for (int32_t x = 0; x < c.source.width; ++x)
            planes[k].push_back(static_cast<uint8_t>(src.GetPixel(x, y) >> (8 * k)));
      int64_t sy = int64_t{sr.top} << 16;
      for (int32_t y = dr.top; y < dr.top + dr.height; ++y, sy += ys) {
        int64_t sx = int64_t{sr.left} << 16;
        for (int32_t x = dr.left; x < dr.left + dr.width; ++x, sx += xs) {
          uint32_t want = 0;
          for (int k = 0; k < 4; ++k)
            want |=
                uint32_t{ReferenceAverage(planes[k], c.source.width, c.source.height, sx, sy, sx + xs, sy + ys)}
                << (8 * k);
          ASSERT_EQ(dst.GetPixel(x, y), want) << x << "," << y;
          const uint8_t v = ReferenceAverage(bytes, c.source.width, c.source.height, sx, sy, sx + xs, sy + ys);
          ASSERT_EQ(chOut.GetPixel(x, y), v) << x << "," << y;
          ASSERT_EQ(grey.GetPixel(x, y), 0xFF000000u | 0x010101u * v) << x << "," << y;
          ASSERT_EQ(raw[static_cast<size_t>(y) * c.dest.width + x], v) << x << "," << y;
        }
      }
    }
  });
}

// Areas that start on whole pixels with sub-pixel extents on both axes (a width or height of
// n + f pixels, 0 < f < 1), sampled through AverageArea against the reference arithmetic: the
// first pixel of such an area is a whole one (no partial left or top weight), which only the
// Single sums in their defined order tell apart from a partial pixel of weight 1.
TEST(ScaleImage, WholePixelStartsWithSubPixelExtentsMatchTheReference) {
  constexpr int32_t kSide = 64;
  TMTC src(kSide, kSide);
  FillNoise(src, 77);
  TChannel ch(kSide, kSide);
  FillNoise(ch, 78);
  const std::vector<uint8_t> bytes = BytesOf(ch);
  std::vector<uint8_t> planes[4];
  for (int k = 0; k < 4; ++k)
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x)
        planes[k].push_back(static_cast<uint8_t>(src.GetPixel(x, y) >> (8 * k)));
  InBothBuilds([&] {
    CScaleImageTMTC scaler(&src, nullptr);
    CScaleImageCH chScaler(&ch, nullptr);
    uint32_t state = 12345;
    auto next = [&] {
      state = state * 1664525u + 1013904223u;
      return state >> 8;
    };
    for (int i = 0; i < 20000; ++i) {
      const int64_t x0 = int64_t(next() % (kSide - 4)) << 16, y0 = int64_t(next() % (kSide - 4)) << 16;
      const int64_t w = int64_t(next() % 3) * 65536 + 1 + next() % 65535;
      const int64_t h = int64_t(next() % 3) * 65536 + 1 + next() % 65535;
      uint32_t got = 0;
      scaler.AverageArea(reinterpret_cast<uint8_t*>(&got), Fixed(x0), Fixed(y0), Fixed(x0 + w), Fixed(y0 + h));
      uint32_t want = 0;
      for (int k = 0; k < 4; ++k)
        want |= uint32_t{ReferenceAverage(planes[k], kSide, kSide, x0, y0, x0 + w, y0 + h)} << (8 * k);
      ASSERT_EQ(got, want) << x0 << "," << y0 << " " << w << "x" << h;
      uint8_t v = 0;
      chScaler.AverageArea(&v, Fixed(x0), Fixed(y0), Fixed(x0 + w), Fixed(y0 + h));
      ASSERT_EQ(v, ReferenceAverage(bytes, kSide, kSide, x0, y0, x0 + w, y0 + h))
          << x0 << "," << y0 << " " << w << "x" << h;
    }
  });
}

// The 16.16 coverage of a uniform 255 channel is 65536 over any area, also over areas of
// millions of pixels where Single sums of whole rows would round past it.
TEST(ScaleImage, FixedPointCoverageOfLargeUniformAreasStaysAt65536) {
  TChannel full(3000, 3000);
  full.Fill(255);
  CScaleImageCH_fixp fixp(&full, nullptr);
  const TRect areas[] = {
      {0, 0, 3000 << 16, 3000 << 16},
      {32768, 12345, (2999 << 16) + 777, (3000 << 16) - 5},
      {0, 0, 3000 << 16, 1 << 16},
      {0, 0, 1 << 16, 3000 << 16},
      {5 << 16, 7 << 16, (2500 << 16) + 32768, (2800 << 16) + 32768},
  };
  for (const TRect& a : areas) {
    int32_t cell = -1;
    TRect area = a;
    ASSERT_TRUE(fixp.SampleArea(reinterpret_cast<uint8_t*>(&cell), area));
    EXPECT_EQ(cell, 65536) << a.left << "," << a.top << " " << a.right << "," << a.bottom;
  }
}

// The mathematically exact mean of the 16.16 area each destination pixel covers; the scaler's
// Single sums may only truncate it (plus the small guard), never pick the wrong pixels or weights.
TEST(ScaleImage, ResultsFollowTheExactAreaMean) {
  const SSize sizes[][2] = {
      {{37, 23}, {10, 7}}, {{9, 9}, {4, 5}}, {{5, 3}, {17, 11}}, {{2, 1}, {3, 1}}, {{60, 2}, {7, 2}}};
  for (const auto& s : sizes) {
    TChannel src(s[0]), dst(s[1]);
    FillNoise(src, 99);
    CScaleImageCH scaler(&src, &dst);
    ASSERT_TRUE(scaler.Scale({0, 0, s[0].width, s[0].height}, {0, 0, s[1].width, s[1].height}));
    const int64_t xs = scaler.GetXStep(), ys = scaler.GetYStep();
    for (int32_t y = 0; y < s[1].height; ++y)
      for (int32_t x = 0; x < s[1].width; ++x) {
        const double x0 = x * xs / 65536.0, x1 = std::min((x + 1) * xs / 65536.0, double(s[0].width));
        const double y0 = y * ys / 65536.0, y1 = std::min((y + 1) * ys / 65536.0, double(s[0].height));
        double sum = 0;
        for (int32_t sy = 0; sy < s[0].height; ++sy)
          for (int32_t sx = 0; sx < s[0].width; ++sx) {
            const double ox = std::max(0.0, std::min(x1, sx + 1.0) - std::max(x0, double(sx)));
            const double oy = std::max(0.0, std::min(y1, sy + 1.0) - std::max(y0, double(sy)));
            sum += ox * oy * src.GetPixel(sx, sy);
          }
        const double area = (x1 - x0) * (y1 - y0);
        const double mean = sum / area;
        const double guard = area > 0.01 ? 0.01 / area : 0.99;
        const int got = dst.GetPixel(x, y);
        EXPECT_GE(got, std::floor(mean - 1e-3)) << x << "," << y;
        EXPECT_LE(got, std::floor(mean + guard + 1e-3)) << x << "," << y;
      }
  }
}

TEST(ScaleImage, FourByFourToTwoByTwoAveragesBlocks) {
  // 10, 20, 30, 40 in each 2x2 block: trunc(100/4) = 25 in every class.
  const uint8_t block[4] = {10, 20, 30, 40};
  TChannel ch(4, 4);
  TMTC img(4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      const uint8_t v = block[(y % 2) * 2 + x % 2];
      *ch.GetPixelPtr(x, y) = v;
      *img.Pixel(x, y) = 0x01010101u * v;
    }
  TChannel chOut(2, 2);
  EXPECT_TRUE(CScaleImageCH(&ch, &chOut).Scale({0, 0, 4, 4}, {0, 0, 2, 2}));
  EXPECT_EQ(BytesOf(chOut), std::vector<uint8_t>(4, 25));

  const std::vector<uint8_t> raw = BytesOf(ch);
  std::vector<uint8_t> rawOut(4);
  EXPECT_TRUE(CScaleImageBYTE(raw.data(), rawOut.data(), {4, 4}, {2, 2}).Scale({0, 0, 4, 4}, {0, 0, 2, 2}));
  EXPECT_EQ(rawOut, std::vector<uint8_t>(4, 25));

  TMTC imgOut(2, 2);
  EXPECT_TRUE(CScaleImageTMTC(&img, &imgOut).Scale({0, 0, 4, 4}, {0, 0, 2, 2}));
  EXPECT_EQ(PixelsOf(imgOut), std::vector<uint32_t>(4, 0x19191919u));

  TTC grey(2, 2);
  EXPECT_TRUE(CScaleImageCH2TMTC(&ch, &grey).Scale({0, 0, 4, 4}, {0, 0, 2, 2}));
  EXPECT_EQ(PixelsOf(grey), std::vector<uint32_t>(4, 0xFF191919u));
}

TEST(ScaleImage, OneToOneKeepsValues) {
  TMTC src(3, 2), dst(3, 2);
  const uint32_t values[6] = {0xFFFFFFFFu, 0, 0x80FF0001u, 0x01020304u, 0xFEFDFCFBu, 0x7F7F7F7Fu};
  for (int i = 0; i < 6; ++i) *src.Pixel(i % 3, i / 3) = values[i];
  EXPECT_TRUE(CScaleImageTMTC(&src, &dst).Scale({0, 0, 3, 2}, {0, 0, 3, 2}));
  EXPECT_EQ(PixelsOf(dst), PixelsOf(src));
}

TEST(ScaleImage, TwoToThreeSplitsTheMiddlePixel) {
  TChannel src(2, 1), dst(3, 1);
  *src.GetPixelPtr(0, 0) = 0;
  *src.GetPixelPtr(1, 0) = 255;
  CScaleImageCH scaler(&src, &dst);
  ASSERT_TRUE(scaler.Scale({0, 0, 2, 1}, {0, 0, 3, 1}));
  EXPECT_EQ(scaler.GetXStep(), 43691);
  EXPECT_EQ(scaler.GetYStep(), 65536);
  // Middle: (21846/65536*255)/(43691/65536) = 127.5.
  EXPECT_EQ(BytesOf(dst), (std::vector<uint8_t>{0, 127, 255}));
}

// Regression: the 8-bit stores divided without the +0.01 guard of the 32-bit class, so a uniform
// area of 255 came out as 254 and a full selection stopped being full after scaling.
TEST(ScaleImage, Uniform255StaysFullInEveryClass) {
  const SSize shrinks[][2] = {
      {{6, 1}, {5, 1}}, {{6, 6}, {5, 5}}, {{7, 3}, {3, 2}}, {{100, 100}, {33, 17}}, {{3, 3}, {7, 8}}};
  for (const auto& s : shrinks) {
    SCOPED_TRACE(testing::Message() << s[0].width << "x" << s[0].height << " -> " << s[1].width << "x"
                                    << s[1].height);
    const SRectWH from{0, 0, s[0].width, s[0].height}, to{0, 0, s[1].width, s[1].height};
    TChannel ch(s[0]), out(s[1]);
    ch.Fill(255);
    EXPECT_TRUE(CScaleImageCH(&ch, &out).Scale(from, to));
    for (uint8_t v : BytesOf(out)) EXPECT_EQ(v, 255);
    TChannel out2(s[1]);
    EXPECT_TRUE(SlotsCH(&ch, &out2).Scale(from, to));
    for (uint8_t v : BytesOf(out2)) EXPECT_EQ(v, 255);
    TTC grey(s[1].width, s[1].height);
    EXPECT_TRUE(CScaleImageCH2TMTC(&ch, &grey).Scale(from, to));
    for (uint32_t v : PixelsOf(grey)) EXPECT_EQ(v, 0xFFFFFFFFu);
    TMTC img(s[0]), imgOut(s[1]);
    img.FillAll(0xFFFFFFFFu);
    EXPECT_TRUE(CScaleImageTMTC(&img, &imgOut).Scale(from, to));
    for (uint32_t v : PixelsOf(imgOut)) EXPECT_EQ(v, 0xFFFFFFFFu);
  }
}

// Regression: rounded steps of an enlargement let the last columns or rows start at or past the
// source edge (1 pixel to 416: 416*158 > 65536), reading outside the source and dividing by an
// area of 0. They now take the last source pixel whole. Run under ASan.
TEST(ScaleImage, EnlargementLastColumnStaysInsideTheSource) {
  // 1 to 513: the steps round to 128, so the last column starts exactly on the source edge.
  const SSize cases[][2] = {{{1, 1}, {416, 416}}, {{1, 3}, {416, 3}}, {{3, 1}, {3, 416}},
                            {{2, 2}, {999, 997}}, {{1, 1}, {513, 1}}, {{1, 1}, {1, 513}}};
  for (const auto& s : cases) {
    SCOPED_TRACE(testing::Message() << s[0].width << "x" << s[0].height << " -> " << s[1].width << "x"
                                    << s[1].height);
    TMTC src(s[0]), dst(s[1]);
    FillNoise(src, 5);
    CScaleImageTMTC scaler(&src, &dst);
    ASSERT_TRUE(scaler.Scale({0, 0, s[0].width, s[0].height}, {0, 0, s[1].width, s[1].height}));
    if (s[0].width == 1) {  // every column of a 1-wide source is that column
      for (int32_t y = 0; y < s[1].height; ++y)
        for (int32_t x = 1; x < s[1].width; ++x)
          ASSERT_EQ(dst.GetPixel(x, y), dst.GetPixel(0, y)) << x << "," << y;
    }
    if (s[0].height == 1) {
      for (int32_t y = 1; y < s[1].height; ++y)
        for (int32_t x = 0; x < s[1].width; ++x)
          ASSERT_EQ(dst.GetPixel(x, y), dst.GetPixel(x, 0)) << x << "," << y;
    }
    // The far corner is the source's far corner pixel.
    EXPECT_EQ(dst.GetPixel(s[1].width - 1, s[1].height - 1), src.GetPixel(s[0].width - 1, s[0].height - 1));
  }
  // A 1x1 source gives its pixel everywhere.
  TChannel one(1, 1), big(416, 416);
  *one.GetPixelPtr(0, 0) = 200;
  EXPECT_TRUE(CScaleImageCH(&one, &big).Scale({0, 0, 1, 1}, {0, 0, 416, 416}));
  for (uint8_t v : BytesOf(big)) ASSERT_EQ(v, 200);
}

// Regression: the guard added before dividing was 0.01 in sum units, which is 0.01/area in value
// units: a 416x enlargement (area 1/173056) turned every pixel to 255, and from about 10x on
// alpha 0 became 1. At areas of 0.01 or less the guard is now 0.99*area.
TEST(ScaleImage, EnlargementKeepsValuesAndTransparency) {
  const int32_t factors[] = {2, 10, 16, 100, 416};
  const uint32_t values[] = {0x00000000u, 0x00FF0000u, 0x01020304u, 0xFEFDFCFBu, 0xFFFFFFFFu};
  for (int32_t f : factors) {
    TMTC src(1, 1), dst(f, f);
    for (uint32_t v : values) {
      *src.Pixel(0, 0) = v;
      EXPECT_TRUE(CScaleImageTMTC(&src, &dst).Scale({0, 0, 1, 1}, {0, 0, f, f}));
      for (uint32_t got : PixelsOf(dst)) ASSERT_EQ(got, v) << "factor " << f;
    }
    TChannel ch(1, 1), chOut(f, f);
    *ch.GetPixelPtr(0, 0) = 0;
    EXPECT_TRUE(CScaleImageCH(&ch, &chOut).Scale({0, 0, 1, 1}, {0, 0, f, f}));
    for (uint8_t got : BytesOf(chOut)) ASSERT_EQ(got, 0) << "factor " << f;
  }
}

// Channel k (byte k of each pixel) of a 32-bit image as a plane of bytes.
std::vector<uint8_t> PlaneOf(const TMTC& image, int k) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x)
      out.push_back(static_cast<uint8_t>(image.GetPixel(x, y) >> (8 * k)));
  return out;
}

// At 416x over a transparent source of varied colours the areas that straddle source pixels are
// far below 0.01 (down to 1/173056): alpha 0 stays 0, and no colour passes the largest value of
// its channel in the source (the plain 0.01 would lift them by up to 1730 levels).
TEST(ScaleImage, Enlargement416KeepsTransparentSourceTransparent) {
  TMTC src(3, 2);
  FillNoise(src, 17);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) *src.Pixel(x, y) &= 0x00FFFFFFu;
  uint8_t largest[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k)
    for (uint8_t v : PlaneOf(src, k)) largest[k] = std::max(largest[k], v);
  InBothBuilds([&] {
    TMTC dst(3 * 416, 2 * 416);
    dst.FillAll(0xFFFFFFFFu);
    ASSERT_TRUE(CScaleImageTMTC(&src, &dst).Scale({0, 0, 3, 2}, {0, 0, 3 * 416, 2 * 416}));
    for (int32_t y = 0; y < dst.Height(); ++y)
      for (int32_t x = 0; x < dst.Width(); ++x) {
        const uint32_t p = dst.GetPixel(x, y);
        ASSERT_EQ(p >> 24, 0u) << x << "," << y;
        for (int k = 0; k < 3; ++k)
          ASSERT_LE((p >> (8 * k)) & 0xFF, largest[k]) << x << "," << y << " byte " << k;
      }
  });
}

// At ordinary enlargements (1.25x, 1.5x: every area above 0.01) the guard is the plain 0.01, so
// truncations are those of trunc((sum + 0.01)/area). The fixture is one where the earlier mend
// (0.01*area below one pixel) moved some of them by a level, so the test tells the rules apart.
TEST(ScaleImage, MildEnlargementsTruncateWithThePlainGuard) {
  const ScaleCase cases[] = {
      {{40, 32}, {0, 0, 40, 32}, {50, 40}, {0, 0, 50, 40}},  // 1.25x
      {{40, 32}, {0, 0, 40, 32}, {60, 48}, {0, 0, 60, 48}},  // 1.5x
  };
  InBothBuilds([&] {
    uint32_t seed = 70;
    for (const ScaleCase& c : cases) {
      SCOPED_TRACE(testing::Message() << c.source.width << "x" << c.source.height << " -> " << c.dest.width << "x"
                                      << c.dest.height);
      TMTC src(c.source), dst(c.dest);
      FillNoise(src, ++seed);
      CScaleImageTMTC scaler(&src, &dst);
      ASSERT_TRUE(scaler.Scale(c.sourceRect, c.destRect));
      TChannel ch(c.source), chOut(c.dest);
      FillNoise(ch, seed);
      ASSERT_TRUE(CScaleImageCH(&ch, &chOut).Scale(c.sourceRect, c.destRect));
      const std::vector<uint8_t> bytes = BytesOf(ch);
      std::vector<uint8_t> planes[4];
      for (int k = 0; k < 4; ++k) planes[k] = PlaneOf(src, k);
      const int64_t xs = scaler.GetXStep(), ys = scaler.GetYStep();
      int moved = 0;  // values the earlier mend gave differently
      for (int32_t y = 0; y < c.dest.height; ++y)
        for (int32_t x = 0; x < c.dest.width; ++x) {
          const int64_t x0 = x * xs, y0 = y * ys, x1 = x0 + xs, y1 = y0 + ys;
          for (int k = 0; k < 4; ++k) {
            const uint8_t want =
                ReferenceAverage(planes[k], c.source.width, c.source.height, x0, y0, x1, y1, PlainGuard);
            ASSERT_EQ((dst.GetPixel(x, y) >> (8 * k)) & 0xFF, want) << x << "," << y << " byte " << k;
            moved +=
                want != ReferenceAverage(planes[k], c.source.width, c.source.height, x0, y0, x1, y1, ShrunkGuard);
          }
          const uint8_t want =
              ReferenceAverage(bytes, c.source.width, c.source.height, x0, y0, x1, y1, PlainGuard);
          ASSERT_EQ(chOut.GetPixel(x, y), want) << x << "," << y;
          moved += want != ReferenceAverage(bytes, c.source.width, c.source.height, x0, y0, x1, y1, ShrunkGuard);
        }
      EXPECT_GT(moved, 0);
    }
  });
}

TEST(ScaleImage, FixedPointCoverage) {
  TChannel full(4, 4), empty(4, 4), half(2, 1);
  full.Fill(255);
  empty.Fill(0);
  *half.GetPixelPtr(0, 0) = 255;
  *half.GetPixelPtr(1, 0) = 0;
  struct Case {
    TChannel* source;
    TRect area;
    int32_t expected;
  } cases[] = {
      {&full, {0, 0, 4 << 16, 4 << 16}, 65536},
      {&full, {32768, 32768, 98304, 65536}, 65536},
      {&empty, {0, 0, 4 << 16, 4 << 16}, 0},
      {&half, {0, 0, 2 << 16, 1 << 16}, 32768},
  };
  for (const Case& c : cases) {
    CScaleImageCH_fixp fixp(c.source, nullptr);
    SlotsFixp slots(c.source, nullptr);
    int32_t cells[2] = {-1, -1};
    TRect area = c.area;
    EXPECT_TRUE(fixp.SampleArea(reinterpret_cast<uint8_t*>(&cells[0]), area));
    area = c.area;
    EXPECT_TRUE(slots.SampleArea(reinterpret_cast<uint8_t*>(&cells[1]), area));
    EXPECT_EQ(cells[0], c.expected);
    EXPECT_EQ(cells[1], c.expected);
  }
  // It keeps no destination image: Scale refuses rather than write 4-byte cells into a channel.
  TChannel dst(2, 2);
  CScaleImageCH_fixp withDest(&full, &dst);
  EXPECT_FALSE(withDest.Scale({0, 0, 4, 4}, {0, 0, 2, 2}));
}

TEST(ScaleImage, SampleAreaIntersectsWithTheSource) {
  TChannel src(2, 2);
  *src.GetPixelPtr(0, 0) = 100;
  *src.GetPixelPtr(1, 0) = 200;
  *src.GetPixelPtr(0, 1) = 100;
  *src.GetPixelPtr(1, 1) = 200;
  CScaleImageCH scaler(&src, nullptr);
  uint8_t out = 0;
  TRect area{-65536, 0, 65536, 65536};  // half outside: the inside half's average
  EXPECT_TRUE(scaler.SampleArea(&out, area));
  EXPECT_EQ(out, 100);
  EXPECT_EQ(area, (TRect{0, 0, 65536, 65536}));
  out = 7;
  TRect outside{3 << 16, 0, 4 << 16, 65536};
  EXPECT_FALSE(scaler.SampleArea(&out, outside));
  EXPECT_EQ(out, 7);
  scaler.SampleAreaRaw(&out, TRect{0, 0, 2 << 16, 2 << 16});
  EXPECT_EQ(out, 150);
}

TEST(ScaleImage, RefusedRectanglesWriteNothing) {
  TMTC src(8, 8), dst(4, 4);
  FillNoise(src, 1);
  dst.FillAll(0xABCDEF01u);
  CScaleImageTMTC scaler(&src, &dst);
  const std::pair<SRectWH, SRectWH> refused[] = {
      {{0, 0, 8, 8}, {4, 0, 2, 2}},      // destination wholly outside
      {{0, 0, 8, 8}, {-10, -10, 5, 5}},  // likewise on the other side
      {{8, 0, 4, 4}, {0, 0, 4, 4}},      // source wholly outside
      {{0, 0, 0, 8}, {0, 0, 4, 4}},      // empty source
      {{0, 0, 8, 8}, {0, 0, 4, -1}},     // empty destination
  };
  for (const auto& [s, d] : refused) EXPECT_FALSE(scaler.Scale(s, d));
  EXPECT_EQ(PixelsOf(dst), std::vector<uint32_t>(16, 0xABCDEF01u));
  // No destination image at all.
  CScaleImageTMTC noDest(&src, nullptr);
  EXPECT_FALSE(noDest.Scale({0, 0, 8, 8}, {0, 0, 4, 4}));
}

TEST(ScaleImage, ClippingHappensBeforeTheSteps) {
  // A destination rectangle sticking out of the image changes the scale: 8 source pixels into
  // the 4 pixels left inside.
  TMTC src(8, 1), dst(4, 1);
  FillNoise(src, 3);
  CScaleImageTMTC scaler(&src, &dst);
  EXPECT_TRUE(scaler.Scale({0, 0, 8, 1}, {0, 0, 8, 1}));
  EXPECT_EQ(scaler.GetXStep(), 131072);
  EXPECT_EQ(scaler.GetDestRect(), (SRectWH{0, 0, 4, 1}));
}

// A subclass that overrides a slot is honoured: the direct loop is only for the class itself.
TEST(ScaleImage, OverriddenSlotsAreCalled) {
  class Inverting : public CScaleImageTMTC {
   public:
    using CScaleImageTMTC::CScaleImageTMTC;
    void StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) override {
      CScaleImageTMTC::StorePixel(dest, acc, area);
      for (int i = 0; i < 3; ++i) dest[i] = static_cast<uint8_t>(255 - dest[i]);
      ++stores;
    }
    int stores = 0;
  };
  TMTC src(4, 4), dst(2, 2);
  src.FillAll(0xFF102030u);
  Inverting scaler(&src, &dst);
  EXPECT_TRUE(scaler.Scale({0, 0, 4, 4}, {0, 0, 2, 2}));
  EXPECT_EQ(scaler.stores, 4);
  EXPECT_EQ(PixelsOf(dst), std::vector<uint32_t>(4, 0xFFEFDFCFu));
}

TEST(ScaleImage, ScaleImageIntoFitsCentred) {
  TMTC src(10, 10), dst(40, 20);
  FillNoise(src, 8);
  EXPECT_TRUE(ScaleImageInto(dst, src, true, 0xFF00FF00u));
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const bool inside = x >= 15 && x < 25 && y >= 5 && y < 15;
      ASSERT_EQ(dst.GetPixel(x, y), inside ? src.GetPixel(x - 15, y - 5) : 0xFF00FF00u) << x << "," << y;
    }
  // Without fitting the whole destination is used.
  TMTC flat(5, 2);
  TMTC stripes(10, 4);
  stripes.FillAll(0x40404040u);
  EXPECT_TRUE(ScaleImageInto(flat, stripes, false, 0));
  EXPECT_EQ(PixelsOf(flat), std::vector<uint32_t>(10, 0x40404040u));
}

TEST(ScaleImage, ScaleChannelIntoShowsOpaqueGrey) {
  TChannel src(2, 2);
  src.Fill(90);
  TTC dst(6, 4);
  EXPECT_TRUE(ScaleChannelInto(dst, src, true, 0x00112233u));
  // 2x2 fits unscaled, centred at (2, 1).
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && x < 4 && y >= 1 && y < 3;
      EXPECT_EQ(dst.GetPixel(x, y), inside ? 0xFF5A5A5Au : 0x00112233u) << x << "," << y;
    }
}

TEST(ScaleImage, MakeScaledCopySizes) {
  TMTC src(200, 100);
  src.FillAll(0xFF336699u);
  struct Case {
    bool shrinkToFit, fitAlways;
    SSize box, expected;
  } cases[] = {
      {true, false, {50, 50}, {50, 25}},
      {false, false, {50, 50}, {50, 50}},
      {true, false, {400, 400}, {200, 100}},  // fits: unscaled
      {true, true, {400, 400}, {400, 200}},   // fitAlways enlarges
  };
  for (const Case& c : cases) {
    std::unique_ptr<TMTC> copy(MakeScaledCopy(c.box, src, c.shrinkToFit, c.fitAlways, 0xFFFFFFFFu));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Size(), c.expected);
    EXPECT_EQ(copy->GetPixel(c.expected.width / 2, c.expected.height / 2), 0xFF336699u);
  }
  // Background above and below the picture in a square box.
  std::unique_ptr<TMTC> boxed(MakeScaledCopy({50, 50}, src, false, false, 0xFFFFFFFFu));
  ASSERT_NE(boxed, nullptr);
  EXPECT_EQ(boxed->GetPixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(boxed->GetPixel(0, 11), 0xFFFFFFFFu);
  EXPECT_EQ(boxed->GetPixel(0, 12), 0xFF336699u);
  EXPECT_EQ(boxed->GetPixel(0, 36), 0xFF336699u);
  EXPECT_EQ(boxed->GetPixel(0, 37), 0xFFFFFFFFu);
  // Failures give nothing.
  TMTC empty;
  EXPECT_EQ(MakeScaledCopy({50, 50}, empty, true, false, 0), nullptr);
  EXPECT_EQ(MakeScaledCopy({0, 50}, src, true, false, 0), nullptr);
}

TEST(ScaleImage, ScaleRotateIntoTurnsAndSamples) {
  TMTC src(8, 8);
  FillNoise(src, 11);
  TMTC dst(8, 8);
  CScaleImageTMTC resampler(nullptr, nullptr);
  // Angle 0, scale 1, centred: a copy.
  EXPECT_TRUE(ScaleRotateInto(dst, src, resampler, {4, 4}, {0, 0, 8, 8}, 0.0f, 1.0f, 0));
  EXPECT_EQ(PixelsOf(dst), PixelsOf(src));
  // A quarter turn: dest (x, y) samples source (7 - y, x).
  EXPECT_TRUE(ScaleRotateInto(dst, src, resampler, {4, 4}, {0, 0, 8, 8}, static_cast<float>(M_PI / 2), 1.0f, 0));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(dst.GetPixel(x, y), src.GetPixel(7 - y, x)) << x << "," << y;
  // Through a resampler of another class (per-pixel slots) the result is the same.
  TMTC viaSlots(8, 8);
  SlotsTMTC slots(nullptr, nullptr);
  EXPECT_TRUE(ScaleRotateInto(viaSlots, src, slots, {4, 4}, {0, 0, 8, 8}, static_cast<float>(M_PI / 2), 1.0f, 0));
  EXPECT_EQ(PixelsOf(viaSlots), PixelsOf(dst));
  // Centre far away: every pixel misses the source and gets the background; outside the
  // destination rectangle nothing changes.
  dst.FillAll(1);
  EXPECT_TRUE(ScaleRotateInto(dst, src, resampler, {100, 100}, {2, 2, 4, 4}, 0.3f, 1.0f, 0xFF0000FFu));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const bool inRect = x >= 2 && x < 6 && y >= 2 && y < 6;
      ASSERT_EQ(dst.GetPixel(x, y), inRect ? 0xFF0000FFu : 1u) << x << "," << y;
    }
  // Scale 2 of a uniform source stays uniform in the middle.
  TMTC grey(8, 8);
  grey.FillAll(0x80808080u);
  EXPECT_TRUE(ScaleRotateInto(dst, grey, resampler, {4, 4}, {0, 0, 8, 8}, 0.7f, 2.0f, 0));
  EXPECT_EQ(dst.GetPixel(4, 4), 0x80808080u);
  // Refused: empty rectangle, bad scales.
  const float badScales[] = {0.0f, -1.0f, NAN, INFINITY, -INFINITY};
  dst.FillAll(5);
  for (float s : badScales)
    EXPECT_FALSE(ScaleRotateInto(dst, src, resampler, {4, 4}, {0, 0, 8, 8}, 0.0f, s, 0)) << s;
  EXPECT_FALSE(ScaleRotateInto(dst, src, resampler, {4, 4}, {8, 8, 4, 4}, 0.0f, 1.0f, 0));
  EXPECT_EQ(PixelsOf(dst), std::vector<uint32_t>(64, 5u));
}

// A turned or unturned view takes loops of its own where every area spans at most two source
// pixels each way (zoom 1 and more): their bytes must be those of the per-pixel path, at the
// source's edges (centres near and past them), at whole and uneven zooms, and with a flatten
// background over transparent pixels.
TEST(ScaleImage, ScaleRotateIntoViewLoopsMatchThePerPixelSlots) {
  TMTC src(53, 41);
  FillNoise(src, 29);
  SFlattenBackground checker;
  checker.kind = SFlattenBackground::kChecker;
  checker.evenColour = 0xFFFFFFFFu;
  checker.oddColour = 0xFFC0C0C0u;
  const float angles[] = {0.0f, 0.5235988f, static_cast<float>(M_PI / 2), static_cast<float>(M_PI), -0.3f, 2.1f};
  const float scales[] = {1.0f, 1.5f, 2.7f, 8.0f, 1.0f / 0.75f, 0.7f};
  const TPoint centres[] = {{26, 20}, {0, 0}, {53, 41}, {-4, 30}};
  for (float angle : angles)
    for (float scale : scales)
      for (const TPoint& centre : centres)
        for (const SFlattenBackground* flatten : {static_cast<const SFlattenBackground*>(nullptr),
                                                  static_cast<const SFlattenBackground*>(&checker)}) {
          SCOPED_TRACE(testing::Message() << "angle " << angle << " scale " << scale << " centre " << centre.x
                                          << "," << centre.y << (flatten ? " flattened" : ""));
          TMTC a(61, 47), b(61, 47);
          a.FillAll(0x01020304u);
          b.FillAll(0x01020304u);
          CScaleImageTMTC direct(nullptr, nullptr);
          SlotsTMTC slots(nullptr, nullptr);
          const SRectWH rect{3, 2, 55, 44};
          EXPECT_TRUE(ScaleRotateInto(a, src, direct, centre, rect, angle, scale, 0xFF00FF00u, flatten));
          EXPECT_TRUE(ScaleRotateInto(b, src, slots, centre, rect, angle, scale, 0xFF00FF00u, flatten));
          ASSERT_EQ(PixelsOf(a), PixelsOf(b));
        }
}

TEST(ScaleImage, ScaleRotateBytesScalesEachAxis) {
  const uint8_t src[2] = {10, 90};
  std::vector<uint8_t> dst(4, 0);
  // x scale 2: each source pixel covers two destination pixels.
  EXPECT_TRUE(ScaleRotateBytes(dst.data(), src, {4, 1}, {2, 1}, {1, 0}, 0.0f, 2.0f, 1.0f, 0));
  EXPECT_EQ(dst, (std::vector<uint8_t>{10, 10, 90, 90}));
  // Half a turn about (1, 1): the areas land half a pixel off the pixel grid, so each value is
  // the mean of the pixels they straddle (the ramp is linear, so the means are exact).
  std::vector<uint8_t> square(9), out(9);
  for (int i = 0; i < 9; ++i) square[i] = static_cast<uint8_t>(i * 20);
  EXPECT_TRUE(ScaleRotateBytes(out.data(), square.data(), {3, 3}, {3, 3}, {1, 1}, static_cast<float>(M_PI), 1.0f,
                               1.0f, 0));
  EXPECT_EQ(out, (std::vector<uint8_t>{120, 100, 90, 60, 40, 30, 30, 10, 0}));
  // Background where the area misses the source.
  std::vector<uint8_t> far(4, 0);
  EXPECT_TRUE(ScaleRotateBytes(far.data(), src, {2, 2}, {2, 1}, {50, 50}, 0.0f, 1.0f, 1.0f, 77));
  EXPECT_EQ(far, std::vector<uint8_t>(4, 77));
  // Refused scales change nothing.
  const float badScales[] = {0.0f, -2.0f, NAN, INFINITY};
  for (float s : badScales) {
    EXPECT_FALSE(ScaleRotateBytes(far.data(), src, {2, 2}, {2, 1}, {1, 0}, 0.0f, s, 1.0f, 1));
    EXPECT_FALSE(ScaleRotateBytes(far.data(), src, {2, 2}, {2, 1}, {1, 0}, 0.0f, 1.0f, s, 1));
  }
  EXPECT_EQ(far, std::vector<uint8_t>(4, 77));
}

}  // namespace
}  // namespace tf
