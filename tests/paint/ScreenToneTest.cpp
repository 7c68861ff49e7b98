#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "paint/ScreenTone.h"
#include "raster/FlatImage.h"
#include "support/TestRng.h"

namespace tf {
namespace {

// ---------------------------------------------------------------------------------------------
// An independent model of the screen: the super-cell from the cell size and angle, the spot
// field of the tile, its levels, and the phase of any canvas pixel found by a search over
// lattice shifts instead of the fold table.

struct ModelScreen {
  int32_t a = 0, b = 0, n = 0, voff = 0, width = 0, height = 0;
  std::vector<float> spots;  // normalised, row by row
  float lower = 0, upper = 0;

  static float Dist(float x) {
    x = std::fabs(x);
    float f = x - std::trunc(x);
    return f > 0.5f ? 1.0f - f : f;
  }
  static float Frac(float w) {
    float t = std::trunc(w);
    if (w < 0) t -= 1.0f;
    return w - t;
  }
  static float Spot(int shape, float P, float Q) {
    float p = std::fabs(P), q = std::fabs(Q), f = 0;
    switch (shape) {
      case 0:
        f = (p + q <= 1.0f) ? 1.0f - q * q - p * p : (q - 1.0f) * (q - 1.0f) + (p - 1.0f) * (p - 1.0f) - 1.0f;
        break;
      case 1: f = 1.0f - Q * Q - P * P; break;
      case 2:
        f = (static_cast<float>(std::cos(static_cast<double>(3.14159265358979f * Q))) +
             static_cast<float>(std::cos(static_cast<double>(3.14159265358979f * P)))) /
            2.0f;
        break;
      case 3: f = -p; break;
      case 4: f = Q; break;
      case 5: f = P; break;
      case 6: f = -std::max(q, p); break;
      case 7: f = -std::min(q, p); break;
      case 8: {
        float s = q + p;
        f = s <= 0.75f ? 1.0f - q * q - p * p
                       : (s <= 1.23f ? 1.0f - (0.85f * q + p)
                                     : (q - 1.0f) * (q - 1.0f) + (p - 1.0f) * (p - 1.0f) - 1.0f);
        break;
      }
      case 9: f = (0.9f * q + p) / 2.0f; break;
    }
    return -f;
  }

  bool Build(int shape, float cell, float angle, float density, int spread) {
    float rad = angle * (3.14159265358979f / 180.0f);
    float s = cell * static_cast<float>(std::sin(static_cast<double>(rad)));
    float k = cell * static_cast<float>(std::cos(static_cast<double>(rad)));
    float m = std::max(s, k);
    int limit = std::max(1, static_cast<int>(512.0f / m) - 1);
    float best = 10;
    n = 1;
    for (int i = 1; i <= limit; ++i) {
      float e = Dist(i * k) + Dist(i * s);
      if (e < 0.05f) {
        n = i;
        break;
      }
      if (e < best) best = e, n = i;
    }
    a = static_cast<int>(n * s + 0.15f);
    b = static_cast<int>(n * k + 0.15f);
    voff = (b - a) / 2;
    float L = std::sqrt(static_cast<float>(a * a + b * b));
    float snapped = L / n;
    if (!(snapped >= 3.0f && snapped <= 128.0f)) return false;
    float sine = a / L, cosine = b / L;
    width = a + b;
    height = std::max(a, b);
    spots.assign(static_cast<size_t>(width) * height, 0);
    for (int r = 0; r < height; ++r)
      for (int c = 0; c < width; ++c) {
        float x = c + 0.5f, y = static_cast<float>(r) + static_cast<float>(voff) + 0.5f;
        float u = (x * cosine - y * sine) / snapped, v = (x * sine + y * cosine) / snapped;
        spots[static_cast<size_t>(r) * width + c] = Spot(shape, 2.0f * Frac(v) - 1.0f, 2.0f * Frac(u) - 1.0f);
      }
    float lo = *std::min_element(spots.begin(), spots.end()), hi = *std::max_element(spots.begin(), spots.end());
    for (float& v : spots) v = hi > lo ? (v - lo) / (hi - lo) : 0.0f;
    std::vector<float> sorted(spots);
    std::sort(sorted.begin(), sorted.end());
    long long cnt = static_cast<long long>(sorted.size());
    auto entry = [&](int i) { return sorted[static_cast<size_t>(std::min<long long>(i * cnt / 100, cnt - 1))]; };
    int i = static_cast<int>(std::clamp(density, 0.0f, 100.0f));
    int eqBelow = 0, eqAbove = 0;
    while (i - eqBelow - 1 >= 0 && entry(i - eqBelow - 1) == entry(i)) ++eqBelow;
    while (i + eqAbove + 1 <= 100 && entry(i + eqAbove + 1) == entry(i)) ++eqAbove;
    lower = entry(i - std::min(std::max(eqBelow, spread), i));
    upper = entry(i + std::min(std::max(eqAbove, spread), 100 - i));
    return true;
  }
  int Level(float x) const {
    if (x <= lower) return 0;
    if (x >= upper) return 255;
    return static_cast<int>((x - lower) * 255.0f / (upper - lower));
  }
  // The screen values a pixel may take: 255 minus the level of every tile pixel of its phase.
  std::set<int> PhaseValues(int32_t x, int32_t y) const {
    std::set<int> out;
    // Solve roughly for the lattice coordinates, then search around them.
    double L2 = static_cast<double>(a) * a + static_cast<double>(b) * b;
    double p = (x * static_cast<double>(b) - y * static_cast<double>(a)) / L2;
    double q = (x * static_cast<double>(a) + y * static_cast<double>(b)) / L2;
    for (int di = -3; di <= 3; ++di)
      for (int dj = -3; dj <= 3; ++dj) {
        long long i = static_cast<long long>(std::floor(p)) + di, j = static_cast<long long>(std::floor(q)) + dj;
        long long col = x - (i * b + j * a), row = y - (-i * a + j * b) - voff;
        if (col >= 0 && col < width && row >= 0 && row < height)
          out.insert(255 - Level(spots[static_cast<size_t>(row) * width + col]));
      }
    return out;
  }
};

TEST(ToneMaker, EdgeCasesOfTheGeometry) {
  struct Case {
    float cell, angle;
    int32_t n, a, b, tileW, tileH;
  } cases[] = {
      {8, 0, 1, 0, 8, 8, 8},
      {8, 45, 32, 181, 181, 362, 181},
      {6, 30, 5, 15, 26, 41, 26},
      {128, 0, 1, 0, 128, 128, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "cell " << c.cell << " angle " << c.angle);
    CToneMaker m;
    ASSERT_TRUE(m.Setup(0, 0, c.cell, c.angle, 50));
    EXPECT_EQ(m.N(), c.n);
    EXPECT_EQ(m.A(), c.a);
    EXPECT_EQ(m.B(), c.b);
    ASSERT_NE(m.Tile(), nullptr);
    EXPECT_EQ(m.Tile()->Width(), c.tileW);
    EXPECT_EQ(m.Tile()->Height(), c.tileH);
  }
  CToneMaker m;
  ASSERT_TRUE(m.Setup(0, 0, 8, 45, 50));
  EXPECT_NEAR(m.SuperCellSide(), 255.97f, 0.01f);
  EXPECT_NEAR(m.CellSize(), 7.9991f, 0.0001f);
  EXPECT_FLOAT_EQ(m.SnappedAngle(), 45.0f);
}

TEST(ToneMaker, ScreensRepeatOverTheirSuperCell) {
  CToneMaker m0, m30;
  ASSERT_TRUE(m0.Setup(1, 0, 8, 0, 40));
  ASSERT_TRUE(m30.Setup(1, 5, 6, 30, 40));
  for (int32_t y = -40; y < 40; ++y)
    for (int32_t x = -40; x < 40; ++x) {
      ASSERT_EQ(m0.Sample(x, y), m0.Sample(x + 8, y));
      ASSERT_EQ(m0.Sample(x, y), m0.Sample(x, y + 8));
      ASSERT_EQ(m30.Sample(x, y), m30.Sample(x + 26, y - 15)) << x << "," << y;
      ASSERT_EQ(m30.Sample(x, y), m30.Sample(x + 15, y + 26)) << x << "," << y;
    }
}

TEST(ToneMaker, RefusesCellsAndAnglesItCannotBuild) {
  struct Case {
    float cell, angle;
  } refused[] = {{2, 0},     {2.7f, 10}, {129, 0}, {1e30f, 45}, {1e-30f, 45}, {0, 0},        {-8, 10},
                 {8, -0.5f}, {8, 90.5f}, {8, 400}, {NAN, 10},   {8, NAN},     {INFINITY, 0}, {8, INFINITY}};
  CToneMaker m;
  ASSERT_TRUE(m.Setup(0, 0, 8, 0, 50));
  const uint8_t before = m.Sample(3, 3);
  for (const Case& c : refused) {
    SCOPED_TRACE(testing::Message() << "cell " << c.cell << " angle " << c.angle);
    EXPECT_FALSE(m.Setup(0, 0, c.cell, c.angle, 50));
    EXPECT_FALSE(m.SetGeometry(c.cell, c.angle));
    // The maker keeps its screen.
    EXPECT_EQ(m.B(), 8);
    EXPECT_EQ(m.Sample(3, 3), before);
  }
  EXPECT_FALSE(m.Setup(10, 0, 8, 0, 50));  // no such shape
  EXPECT_FALSE(m.Setup(0, 0, 8, 0, NAN));
  EXPECT_TRUE(m.Setup(0, 0, 3.0f, 0, 50));
  EXPECT_TRUE(m.Setup(0, 0, 8, 90, 50));
  EXPECT_EQ(m.A(), 8);
  EXPECT_EQ(m.B(), 0);
  // A tiny or huge cell is refused before the repeat search.
  EXPECT_EQ(FindToneRepeat(0.001f, 0.0f), 0);
  EXPECT_EQ(FindToneRepeat(1e9f, 1e9f), 0);
  EXPECT_EQ(FindToneRepeat(5.656854f, 5.656854f), 32);
}

TEST(ToneMaker, DensityEndsAndSpread) {
  // Line(X) at angle 0, cell 8: the spot value falls from column 0 to column 7 of a cell.
  CToneMaker m;
  ASSERT_TRUE(m.Setup(4, 0, 8, 0, 0));
  for (int32_t x = -16; x < 16; ++x) EXPECT_EQ(m.Sample(x, 5), ((x & 7) == 7) ? 255 : 0) << x;
  ASSERT_TRUE(m.Setup(4, 0, 8, 0, 100));
  for (int32_t x = -16; x < 16; ++x) EXPECT_EQ(m.Sample(x, 5), 255);
  // Density 50: entry 50 lies in a run of equal values (one column of the cell), so the whole
  // run of column 3 inks with it.
  ASSERT_TRUE(m.Setup(4, 0, 8, 0, 50));
  for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(m.Sample(x, 0), x >= 3 ? 255 : 0) << x;

  // Spread 0 gives two levels; spread 10 a ramp.
  for (int32_t shape = 0; shape < kToneShapeCount; ++shape) {
    SCOPED_TRACE(ToneShapeName(shape));
    ASSERT_TRUE(m.Setup(shape, 0, 12, 20, 40));
    std::set<int> hard, soft;
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 40; ++x) hard.insert(m.Sample(x, y));
    EXPECT_EQ(hard, (std::set<int>{0, 255}));
    ASSERT_TRUE(m.Setup(shape, 10, 12, 20, 40));
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 40; ++x) soft.insert(m.Sample(x, y));
    EXPECT_GT(soft.size(), 4u);
  }
}

TEST(ToneMaker, SpotsAreNormalisedToTheUnitRange) {
  // The smallest cell of every shape: spot values are finite and within 0..1.
  CToneMaker m;
  for (int32_t shape = 0; shape < kToneShapeCount; ++shape) {
    ASSERT_TRUE(m.Setup(shape, 0, 3, 0, 50));
    for (int32_t r = 0; r < m.Tile()->Height(); ++r)
      for (int32_t c = 0; c < m.Tile()->Width(); ++c) {
        ASSERT_TRUE(std::isfinite(m.SpotAt(c, r)));
        ASSERT_GE(m.SpotAt(c, r), 0.0f);
        ASSERT_LE(m.SpotAt(c, r), 1.0f);
      }
  }
}

TEST(ToneMaker, NegativeCoordinatesUseTruncLessOne) {
  // At the negative integers Trunc - 1 differs from floor; the lattice point then lies one cell
  // further, and the fold brings the pixel back: the screen stays periodic through 0.
  CToneMaker m;
  ASSERT_TRUE(m.Setup(0, 0, 8, 45, 35));
  for (int32_t y = -300; y < 300; y += 7)
    for (int32_t x = -300; x < 300; x += 5) ASSERT_EQ(m.SampleSingle(x, y), m.SampleSingle(x + 181, y + 181));
  EXPECT_EQ(m.ClampedReads(), 0);
}

TEST(ToneMaker, MatchesAnIndependentModelOverRandomScreens) {
  test::XorShiftRng rng(0x70E5);
  for (int trial = 0; trial < 24; ++trial) {
    const int shape = static_cast<int>(rng.Next() % 10);
    const float cell = 3.0f + static_cast<float>(rng.Next() % 2000) / 100.0f;  // 3 .. 23
    const float angle = static_cast<float>(rng.Next() % 9001) / 100.0f;        // 0 .. 90
    const float density = static_cast<float>(rng.Next() % 10001) / 100.0f;
    const int spread = static_cast<int>(rng.Next() % 3) * 5;
    SCOPED_TRACE(testing::Message() << "shape " << shape << " cell " << cell << " angle " << angle << " density "
                                    << density << " spread " << spread);
    ModelScreen model;
    const bool modelOk = model.Build(shape, cell, angle, density, spread);
    CToneMaker m;
    ASSERT_EQ(m.Setup(shape, spread, cell, angle, density), modelOk);
    if (!modelOk) continue;
    ASSERT_EQ(m.A(), model.a);
    ASSERT_EQ(m.B(), model.b);
    ASSERT_EQ(m.N(), model.n);
    ASSERT_EQ(m.Tile()->Width(), model.width);
    ASSERT_EQ(m.Tile()->Height(), model.height);
    int64_t ink = 0, total = 0;
    for (int k = 0; k < 400; ++k) {
      const int32_t x = static_cast<int32_t>(rng.Next() % 6000) - 3000;
      const int32_t y = static_cast<int32_t>(rng.Next() % 6000) - 3000;
      const uint8_t v = m.SampleSingle(x, y);
      ASSERT_EQ(v, m.Sample(x, y));
      const std::set<int> allowed = model.PhaseValues(x, y);
      ASSERT_FALSE(allowed.empty()) << x << "," << y;
      ASSERT_TRUE(allowed.count(v)) << x << "," << y << " gave " << int{v};
      // The screen repeats over the super-cell.
      ASSERT_EQ(v, m.Sample(x + model.b, y - model.a));
      ASSERT_EQ(v, m.Sample(x + model.a, y + model.b));
      total += 1;
      ink += v == 255;
    }
    EXPECT_EQ(m.ClampedReads(), 0);
    // Ink share follows the density: at least density percent inks, at most that plus the run
    // of equal values that inks with the threshold entry.
    if (spread == 0) {
      int32_t run = 0;
      for (int i = 0; i <= 100; ++i) run = std::max(run, m.Level(i).runLength);
      const double n = static_cast<double>(model.width) * model.height;
      const double share = static_cast<double>(ink) / total;
      EXPECT_GE(share, density / 100.0 - 0.08 - run / n);
      EXPECT_LE(share, density / 100.0 + 0.08 + run / n);
    }
  }
}

TEST(ToneMaker, RowWalkGivesTheSinglePrecisionResult) {
  // Rows walked pixel by pixel (the fast path) against the single-precision path for each pixel,
  // over random screens, near the origin, at negative coordinates and far out.
  test::XorShiftRng rng(0x3A1C);
  for (int trial = 0; trial < 20; ++trial) {
    const int shape = static_cast<int>(rng.Next() % 10);
    const float cell = 3.0f + static_cast<float>(rng.Next() % 3000) / 100.0f;
    const float angle = static_cast<float>(rng.Next() % 9001) / 100.0f;
    CToneMaker m;
    if (!m.Setup(shape, static_cast<int32_t>(rng.Next() % 12), cell, angle, static_cast<float>(rng.Next() % 101)))
      continue;
    SCOPED_TRACE(testing::Message() << "cell " << cell << " angle " << angle);
    const int32_t origins[][2] = {{-300, -200}, {0, 0}, {1000000, -777777}, {-2000000000, 1999999000}};
    for (const auto& o : origins)
      for (int32_t r = 0; r < 6; ++r) {
        const int32_t y = o[1] + static_cast<int32_t>(rng.Next() % 500);
        const int32_t x0 = o[0] + static_cast<int32_t>(rng.Next() % 500);
        for (int32_t x = x0; x < x0 + 700; ++x) ASSERT_EQ(m.Sample(x, y), m.SampleSingle(x, y)) << x << "," << y;
      }
  }
}

TEST(ToneValues, SortGivesStdSortsSequenceBitForBit) {
  test::XorShiftRng rng(0x51A7);
  const auto uniform = [&](size_t n, uint32_t levels) {
    std::vector<float> v(n);
    for (float& x : v) x = static_cast<float>(rng.Next() % levels) / static_cast<float>(levels - 1);
    return v;
  };
  struct Case {
    const char* name;
    std::vector<float> values;
  };
  std::vector<Case> cases = {
      {"empty", {}},
      {"one", {0.25f}},
      {"spot values", uniform(5000, 1u << 20)},
      {"long runs of equal values", uniform(3000, 7)},
      {"zeros, tiny and large values", {0.0f, 1e-40f, 3.0e38f, 1.0f, 0.0f, 1e-45f, 2.5f, 1e-40f, 65536.0f, 0.5f}},
      // Outside the spot range: the whole set is sorted by std::sort.
      {"negative values", {0.5f, -1.0f, 0.0f, -0.0f, 2.0f, -3.5f}},
      {"infinity", {1.0f, std::numeric_limits<float>::infinity(), 0.0f}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<float> expected = c.values;
    std::sort(expected.begin(), expected.end());
    SortToneValues(c.values);
    ASSERT_EQ(c.values.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      uint32_t a, b;
      std::memcpy(&a, &c.values[i], 4);
      std::memcpy(&b, &expected[i], 4);
      ASSERT_EQ(a, b) << i;
    }
  }
}

TEST(ToneMaker, RepeatedSetupKeepsTheScreenAndAnyChangeRebuildsIt) {
  // A repeated request is answered from the screen already built; each changed field, and a
  // return to the first request after a change, gives the screen a fresh maker builds.
  struct Request {
    int32_t shape, spread;
    float cell, angle, density;
  };
  const Request first{2, 3, 9.5f, 30.0f, 40.0f};
  const Request requests[] = {
      first,
      first,                        // the same again
      {2, 3, 9.5f, 30.0f, 55.0f},   // density
      {2, 7, 9.5f, 30.0f, 55.0f},   // spread
      {4, 7, 9.5f, 30.0f, 55.0f},   // shape
      {4, 7, 12.0f, 30.0f, 55.0f},  // cell
      {4, 7, 12.0f, 45.0f, 55.0f},  // angle
      first,                        // back to the first
      {2, 3, 9.5f, 30.0f, 140.0f},  // density clamped to 100
      {2, 3, 9.5f, 30.0f, 100.0f},  // the same screen as the clamped one
  };
  const auto screen = [](const CToneMaker& m) {
    std::vector<uint8_t> values(40 * 30);
    for (int32_t y = 0; y < 30; ++y) m.SampleRow(-13, y - 7, 40, values.data() + static_cast<size_t>(y) * 40);
    return values;
  };
  CToneMaker shared;
  for (const Request& r : requests) {
    SCOPED_TRACE(testing::Message() << "shape " << r.shape << " spread " << r.spread << " cell " << r.cell
                                    << " angle " << r.angle << " density " << r.density);
    ASSERT_TRUE(shared.Setup(r.shape, r.spread, r.cell, r.angle, r.density));
    CToneMaker fresh;
    ASSERT_TRUE(fresh.Setup(r.shape, r.spread, r.cell, r.angle, r.density));
    EXPECT_EQ(screen(shared), screen(fresh));
    EXPECT_EQ(shared.Density(), fresh.Density());
  }
  // A refused request changes nothing the next request relies on.
  EXPECT_FALSE(shared.Setup(2, 3, 9.5f, 200.0f, 40.0f));
  ASSERT_TRUE(shared.Setup(first.shape, first.spread, first.cell, first.angle, first.density));
  CToneMaker fresh;
  ASSERT_TRUE(fresh.Setup(first.shape, first.spread, first.cell, first.angle, first.density));
  EXPECT_EQ(screen(shared), screen(fresh));
}

TEST(ToneMaker, DrawIntoChannelSamplesEveryPixel) {
  CToneMaker m;
  ASSERT_TRUE(m.Setup(2, 3, 7, 15, 60));
  TChannel ch(20, 10);
  ASSERT_TRUE(m.DrawIntoChannel(ch, 5, -3));
  for (int32_t i = 0; i < 10; ++i)
    for (int32_t j = 0; j < 20; ++j) ASSERT_EQ(ch.GetPixel(j, i), m.Sample(5 + j, -3 + i));
  uint8_t row[33];
  m.SampleRow(-7, 4, 33, row);
  for (int32_t i = 0; i < 33; ++i) EXPECT_EQ(row[i], m.Sample(-7 + i, 4));
  const TPoint p = m.LatticePoint(2, 3);
  EXPECT_EQ(p.x, 2 * m.B() + 3 * m.A());
  EXPECT_EQ(p.y, -2 * m.A() + 3 * m.B());
}

TEST(ToneAttr, StoredBytesAndNames) {
  SToneAttr a;
  InitToneAttr(a);
  a.shape = 3;
  a.reserved[1] = 7;  // kept as read
  a.resolution = 350.0f;
  a.ruling = 60.0f;
  a.density = 12.5f;
  a.angle = 45.0f;
  a.spread = -2;
  uint8_t bytes[kToneAttrBytes];
  ToneAttrToBytes(a, bytes);
  const uint8_t expected[kToneAttrBytes] = {3, 0, 7,    0,    0, 0, 0xAF, 0x43, 0,    0,    0x70, 0x42,
                                            0, 0, 0x48, 0x41, 0, 0, 0x34, 0x42, 0xFE, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(0, std::memcmp(bytes, expected, kToneAttrBytes));
  SToneAttr b;
  InitToneAttr(b);
  ToneAttrFromBytes(b, expected);
  EXPECT_TRUE(SameToneBytes(a, b));
  EXPECT_EQ(b.toneSwitch, 1);
  EXPECT_STREQ(ToneShapeName(0), "Round");
  EXPECT_STREQ(ToneShapeName(9), "Rhomboid");
  EXPECT_STREQ(ToneShapeName(12), "???");
  EXPECT_STREQ(ToneShapeName(-1), "???");
}

// ---------------------------------------------------------------------------------------------
// Patterns

TEST(Pattern, PlainPatternReadsItsTileWithOffsets) {
  ResetPatternIdCounter(1);
  CPat8 p(8, 4, kTypeCodePattern);
  EXPECT_EQ(p.SerialId(), 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x) *p.PixelAddr(x, y) = static_cast<uint8_t>(x * 10 + y);
  EXPECT_EQ(p.PixelAddr(8, 0), nullptr);
  p.SetOffsets(3, 0);
  EXPECT_EQ(p.PixelAt(5, 0), 0);    // column 0
  EXPECT_EQ(p.PixelAt(-4, 1), 71);  // (-4 + 3) mod 8 = 7
  EXPECT_EQ(p.PixelAt(0, -1), 33);  // row 3
  p.SetInverted(true);
  EXPECT_EQ(p.PixelAt(5, 0), 255);
  uint8_t row[20];
  p.PixelRow(-9, -5, 20, row);
  for (int32_t i = 0; i < 20; ++i) EXPECT_EQ(row[i], p.PixelAt(-9 + i, -5));
  int32_t lo, hi;
  p.GetScaleRange(lo, hi);
  EXPECT_EQ(lo, 250);
  EXPECT_EQ(hi, 200);
  EXPECT_EQ(p.RenewId(), 1);
  EXPECT_EQ(p.SerialId(), 2);
  auto copy = CPat8::CreateCopy(p);
  EXPECT_EQ(copy->SerialId(), 3);
  EXPECT_EQ(copy->PixelAt(5, 0), 255);
  EXPECT_EQ(copy->OffsetX(), 3);
}

TEST(Pattern, EmptyTilesAreSafe) {
  CPat8 p(0, 5, kTypeCodePattern);
  EXPECT_FALSE(p.Tile().IsValid());
  EXPECT_EQ(p.PixelAt(3, 3), 0);
  p.SetBuilt(true);
  EXPECT_FALSE(p.IsBuilt());  // no valid display tile
  int32_t lo, hi;
  p.GetScaleRange(lo, hi);
  EXPECT_EQ(hi, 200);
  TChannel empty;
  EXPECT_FALSE(p.SetTileFromChannel(empty));
  TChannel huge(kMaxPatternSide + 1, 1);
  EXPECT_FALSE(p.SetTileFromChannel(huge));
}

TEST(Pattern, DrawTiledCoversTheRectangleInBands) {
  CPat8 p(3, 2, kTypeCodePattern);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) *p.PixelAddr(x, y) = static_cast<uint8_t>(100 + x + 10 * y);
  TMTC img(10, 7);
  img.FillAll(0x80123456u);
  ASSERT_TRUE(p.Paint(img, SRectWH{1, 1, 8, 5}));
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 10; ++x) {
      uint32_t expected = 0x80123456u;
      if (x >= 1 && x < 9 && y >= 1 && y < 6) {
        const uint32_t v = 255u - (100u + (x - 1) % 3 + 10u * ((y - 1) % 2));
        expected = 0x80000000u | v << 16 | v << 8 | v;
      }
      ASSERT_EQ(img.GetPixel(x, y), expected) << x << "," << y;
    }
}

TEST(Pattern, ToneSamplesItsMakerAndBuilds) {
  SToneAttr attr;
  InitToneAttr(attr);
  attr.shape = 1;
  attr.resolution = 600;
  attr.ruling = 75;  // cell 8
  attr.density = 30;
  attr.angle = 45;
  attr.name = "t";
  CPat8Tone tone;
  EXPECT_EQ(tone.Kind(), kPatternTone);
  EXPECT_EQ(tone.TypeCode(), kTypeCodeTone);
  EXPECT_EQ(tone.GetSize().width, 64);
  ASSERT_TRUE(tone.Build(&attr, nullptr, true, nullptr));
  EXPECT_TRUE(tone.OwnsMaker());
  EXPECT_TRUE(tone.IsBuilt());
  EXPECT_EQ(tone.GetSize().width, 100);
  CToneMaker ref;
  ASSERT_TRUE(ref.Setup(1, 0, 8, 45, 30));
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(tone.Tile().GetPixel(x, y), ref.Sample(x, y));
  tone.SetOffsets(3, 0);
  EXPECT_EQ(tone.PixelAt(10, 4), ref.Sample(7, 4));
  tone.SetInverted(true);
  EXPECT_EQ(tone.PixelAt(10, 4), 255 - ref.Sample(7, 4));
  int32_t lo, hi;
  tone.GetScaleRange(lo, hi);
  EXPECT_EQ(lo, 43);  // cell 3.5 at 600 / 75 * s / 100
  EXPECT_EQ(hi, 1593);

  // A copy of a tone that owns its maker builds its own; one that shares, shares.
  auto copy = CPat8Tone::CreateCopy(tone);
  EXPECT_TRUE(copy->OwnsMaker());
  EXPECT_NE(copy->Maker(), tone.Maker());
  CToneMaker shared;
  CPat8Tone user;
  ASSERT_TRUE(user.Build(&attr, &shared, true, nullptr));
  auto copy2 = CPat8Tone::CreateCopy(user);
  EXPECT_EQ(copy2->Maker(), &shared);

  // Refused attributes leave the tone unbuilt.
  SToneAttr bad = attr;
  bad.ruling = 0;
  CPat8Tone t2;
  EXPECT_FALSE(t2.Build(&bad, nullptr, true, nullptr));
  EXPECT_FALSE(t2.IsBuilt());
  bad = attr;
  bad.angle = 120;
  EXPECT_FALSE(t2.Build(&bad, nullptr, true, nullptr));
  EXPECT_FALSE(t2.Build(nullptr, nullptr, true, nullptr));
}

TEST(Pattern, DotPatternStampsDotsOnTheGrid) {
  TChannel work(256, 256);
  auto p = MakeDotPattern(work, 64, 64, 8, 2);
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->IsBuilt());
  EXPECT_EQ(p->Width(), 64);
  // The first dot is centred at 8 * sqrt 2 / 2 = 5.66.
  EXPECT_GT(p->Tile().GetPixel(5, 5), 200);
  EXPECT_EQ(p->Tile().GetPixel(1, 1), 0);
  EXPECT_GT(p->Tile().GetPixel(13, 13), 200);
  EXPECT_FALSE(MakeDotPattern(work, 0.5f, 10, 8, 2));
  EXPECT_FALSE(MakeDotPattern(work, 300, 10, 8, 2));
}

}  // namespace
}  // namespace tf
