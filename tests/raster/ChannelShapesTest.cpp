#include <gtest/gtest.h>

#include <vector>

#include "raster/ChannelShapes.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

using Rows = std::vector<std::vector<int>>;

class ChannelShapes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitCompositeTables(); }
};

// A channel from rows given top (y = 0) first.
void Load(TChannel& c, const Rows& rows) {
  ASSERT_TRUE(c.Resize(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size())));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      *c.GetPixelPtr(static_cast<int32_t>(x), static_cast<int32_t>(y)) = static_cast<uint8_t>(rows[y][x]);
}

Rows Dump(const TChannel& c) {
  Rows rows(c.Height(), std::vector<int>(c.Width()));
  for (int32_t y = 0; y < c.Height(); ++y)
    for (int32_t x = 0; x < c.Width(); ++x) rows[y][x] = c.GetPixel(x, y);
  return rows;
}

std::vector<int> Row(const TChannel& c, int32_t y) { return Dump(c)[y]; }

std::vector<int> Column(const TChannel& c, int32_t x) {
  std::vector<int> col;
  for (int32_t y = 0; y < c.Height(); ++y) col.push_back(c.GetPixel(x, y));
  return col;
}

TEST_F(ChannelShapes, MarkEdgePixelsFillsOnlyTheInterior) {
  TChannel c;
  Load(c, {{0, 0, 0, 0, 0, 0, 0},
           {0, 0, 0, 0, 0, 0, 0},
           {0, 0, 100, 100, 100, 0, 0},
           {0, 0, 100, 100, 100, 0, 0},
           {0, 0, 100, 100, 100, 0, 0},
           {0, 0, 0, 0, 0, 0, 0},
           {0, 0, 0, 0, 0, 0, 0}});
  SRectWH all{0, 0, 7, 7};
  ASSERT_TRUE(MarkEdgePixels(c, all, &SetInteriorFull));
  EXPECT_EQ(Dump(c), (Rows{{0, 0, 0, 0, 0, 0, 0},
                           {0, 0, 0, 0, 0, 0, 0},
                           {0, 0, 100, 100, 100, 0, 0},
                           {0, 0, 100, 255, 100, 0, 0},
                           {0, 0, 100, 100, 100, 0, 0},
                           {0, 0, 0, 0, 0, 0, 0},
                           {0, 0, 0, 0, 0, 0, 0}}));

  // The image's own border is an edge even where every neighbour is set.
  TChannel full;
  Load(full, {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}});
  SRectWH big{-3, -3, 20, 20};
  ASSERT_TRUE(MarkEdgePixels(full, big, &SetInteriorFull));
  EXPECT_EQ(Dump(full), (Rows{{7, 7, 7, 7}, {7, 255, 255, 7}, {7, 255, 255, 7}, {7, 7, 7, 7}}));

  // Any callback sees every nonzero byte once.
  static int edges, inner;
  edges = inner = 0;
  TChannel cross;
  Load(cross, {{0, 5, 0}, {5, 5, 5}, {0, 5, 0}});
  SRectWH r{0, 0, 3, 3};
  ASSERT_TRUE(MarkEdgePixels(cross, r, [](uint8_t*, int32_t e) { (e ? edges : inner)++; }));
  EXPECT_EQ(edges, 4);
  EXPECT_EQ(inner, 1);
  SRectWH outside{5, 5, 2, 2};
  EXPECT_FALSE(MarkEdgePixels(cross, outside, &SetInteriorFull));
}

struct MapCase {
  const char* name;
  int kind;  // 0 SetNonZero(9), 1 MarkRunEnds(9, 42), 2 MakeOutline(255)
  Rows in, out;
};
void PrintTo(const MapCase& c, std::ostream* os) { *os << c.name; }

class ChannelMaps : public ChannelShapes, public ::testing::WithParamInterface<MapCase> {};

TEST_P(ChannelMaps, Result) {
  const MapCase& m = GetParam();
  TChannel c;
  Load(c, m.in);
  if (m.kind == 0) SetNonZero(c, 9);
  if (m.kind == 1) MarkRunEnds(c, 9, 42);
  if (m.kind == 2) MakeOutline(c, 255);
  EXPECT_EQ(Dump(c), m.out);
}

INSTANTIATE_TEST_SUITE_P(
    Channel, ChannelMaps,
    ::testing::Values(
        MapCase{"set_non_zero", 0, {{0, 1, 200}, {255, 0, 3}}, {{0, 9, 9}, {9, 0, 9}}},
        // The leading zero is the last zero before a run; the middle run gets both marks.
        MapCase{"run_ends_row", 1, {{0, 5, 5, 0, 0, 5}}, {{42, 9, 9, 42, 42, 9}}},
        MapCase{"run_ends_single_zero", 1, {{5, 0, 5, 0}}, {{9, 42, 9, 42}}},
        MapCase{"run_ends_empty_row", 1, {{0, 0, 0}}, {{0, 0, 0}}},
        // Columns count the marks of the row pass as set.
        MapCase{"run_ends_dot",
                1,
                {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 7, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
                {{0, 0, 0, 0, 0}, {0, 42, 42, 42, 0}, {0, 42, 9, 42, 0}, {0, 42, 42, 42, 0}, {0, 0, 0, 0, 0}}},
        MapCase{"outline_dot",
                2,
                {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 7, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
                {{0, 0, 0, 0, 0}, {0, 42, 84, 42, 0}, {0, 84, 255, 84, 0}, {0, 42, 84, 42, 0}, {0, 0, 0, 0, 0}}},
        // A byte between two runs is raised from both sides.
        MapCase{"outline_gap", 2, {{3, 0, 3}}, {{255, 126, 255}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct PixelExpect {
  int32_t x, y;
  int value;
};

void ExpectPixels(const TChannel& c, const std::vector<PixelExpect>& list) {
  for (const PixelExpect& p : list) EXPECT_EQ(c.GetPixel(p.x, p.y), p.value) << p.x << "," << p.y;
}

TEST_F(ChannelShapes, RoundDotCoverage) {
  TChannel c(11, 11);
  c.Fill(0);
  DrawRoundDot(c, 255, true, 0, 0, 0, 1, false);
  DrawRoundDot(c, 255, true, 5, 5, -1, 1, false);
  EXPECT_EQ(Dump(c), Rows(11, std::vector<int>(11, 0)));

  // Radius 2: every pixel of the 5x5 box gets its 25-sample coverage.
  DrawRoundDot(c, 255, true, 5, 5, 2, 1, false);
  ExpectPixels(c, {{5, 5, 255},
                   {4, 5, 255},
                   {6, 5, 255},
                   {3, 3, 40},
                   {3, 5, 204},
                   {7, 5, 0},
                   {7, 7, 0},
                   {2, 5, 0},
                   {8, 5, 0}});

  // Without antialias every pixel of the box is plotted at the full opacity.
  c.Fill(0);
  DrawRoundDot(c, 255, false, 5, 5, 2, 1, false);
  for (int32_t y = 0; y < 11; ++y)
    for (int32_t x = 0; x < 11; ++x)
      EXPECT_EQ(c.GetPixel(x, y), (x >= 3 && x <= 7 && y >= 3 && y <= 7) ? 255 : 0) << x << "," << y;

  // Above radius 3 the corners decide: all outside leaves the pixel.
  TChannel big(21, 21);
  big.Fill(0);
  DrawRoundDot(big, 255, false, 10, 10, 4, 1, false);
  ExpectPixels(big, {{6, 6, 0}, {10, 6, 255}, {10, 10, 255}, {14, 14, 0}});
}

TEST_F(ChannelShapes, RoundDotKeepsTheMaximum) {
  TChannel c(21, 21);
  c.Fill(100);
  DrawRoundDot(c, 255, true, 10, 10, 4, 0.2f, true);  // full = 51, below what is there
  EXPECT_EQ(c.GetPixel(10, 10), 100);
  DrawRoundDot(c, 255, true, 10, 10, 4, 1, true);
  EXPECT_EQ(c.GetPixel(10, 10), 255);
  EXPECT_EQ(c.GetPixel(6, 6), 100);
}

struct PlotCall {
  int32_t x, y, value, alpha;
};
std::vector<PlotCall> g_calls;

bool RecordingPlotter(TChannel&, int32_t x, int32_t y, int32_t value, int32_t alpha) {
  g_calls.push_back({x, y, value, alpha});
  return true;
}

TEST_F(ChannelShapes, RoundDotGoesThroughTheDotPlotter) {
  EXPECT_EQ(GetDotPlotter(), &BlendPixelPlotter);
  EXPECT_EQ(SetDotPlotter(&RecordingPlotter), &BlendPixelPlotter);
  TChannel c(10, 10);
  c.Fill(0);
  g_calls.clear();
  DrawRoundDot(c, 200, false, 1, 1, 1, 0.5f, false);  // box 0..2, A = 127
  EXPECT_EQ(g_calls.size(), 9u);
  EXPECT_EQ(g_calls[0].value, 200);
  EXPECT_EQ(g_calls[0].alpha, 127);
  EXPECT_EQ(c.GetPixel(1, 1), 0);
  EXPECT_EQ(SetDotPlotter(nullptr), &RecordingPlotter);
  EXPECT_EQ(GetDotPlotter(), &BlendPixelPlotter);
}

TEST_F(ChannelShapes, SoftDotOfALargeRadiusDoesNotOverflow) {
  // A dot of radius 700 whose centre lies far off the channel: squared distances times 255
  // leave the int32 range.
  TChannel c(32, 32);
  c.Fill(0);
  DrawSoftDot(c, 255, false, -480, -480, 700, 1, true);
  ExpectPixels(c, {{10, 10, 5}, {0, 0, 15}});
}

TEST_F(ChannelShapes, SoftDotCoverage) {
  TChannel c(11, 11);
  c.Fill(0);
  DrawSoftDot(c, 255, false, 5, 5, 2, 1, false);
  // Partly covered pixels blend toward the value with (w*K) div 25.
  ExpectPixels(c, {{5, 5, 255}, {3, 3, 39}, {7, 7, 0}});

  // Soft and keeping the maximum: the centre of a dot above radius 3 gets (w*S) div 256.
  c.Fill(10);
  DrawSoftDot(c, 255, true, 5, 5, 4, 1, true);
  EXPECT_EQ(c.GetPixel(5, 5), 254);
  EXPECT_EQ(c.GetPixel(0, 0), 10);

  // A radius below a fifth of a pixel has no squared radius to divide by.
  c.Fill(50);
  DrawSoftDot(c, 255, false, 5, 5, 0.1f, 1, true);
  DrawSoftDot(c, 255, true, 5, 5, 0.1f, 1, true);
  EXPECT_EQ(Dump(c), Rows(11, std::vector<int>(11, 50)));
}

TEST_F(ChannelShapes, DotGrid) {
  TChannel c(16, 16);
  c.Fill(0);
  DrawDotGrid(c, 4, 4, 100, 100, 8, 8, 1);  // the ends are clamped to 16
  ExpectPixels(c, {{4, 4, 224}, {12, 4, 224}, {4, 12, 224}, {12, 12, 224}, {8, 8, 0}});
  TChannel d(16, 16);
  d.Fill(0);
  DrawDotGrid(d, 4, 4, 100, 100, 0, 8, 1);
  DrawDotGrid(d, 4, 4, 100, 100, 8, -1, 1);
  EXPECT_EQ(Dump(d), Rows(16, std::vector<int>(16, 0)));
}

struct SpanCase {
  const char* name;
  float a0, a1, opacity;
  bool keepMax;
  int fill;
  std::vector<int> line;  // row 1, or column 1 for the vertical form
};
void PrintTo(const SpanCase& c, std::ostream* os) { *os << c.name; }

class SpanTest : public ChannelShapes, public ::testing::WithParamInterface<SpanCase> {};

TEST_P(SpanTest, HorizontalAndVertical) {
  const SpanCase& s = GetParam();
  TChannel h(10, 3);
  h.Fill(static_cast<uint8_t>(s.fill));
  DrawHSpanAA(h, 1, 255, s.a0, s.a1, s.opacity, s.keepMax);
  EXPECT_EQ(Row(h, 1), s.line);
  EXPECT_EQ(Row(h, 0), std::vector<int>(10, s.fill));
  EXPECT_EQ(Row(h, 2), std::vector<int>(10, s.fill));

  TChannel v(3, 10);
  v.Fill(static_cast<uint8_t>(s.fill));
  DrawVSpanAA(v, 1, 255, s.a0, s.a1, s.opacity, s.keepMax);
  EXPECT_EQ(Column(v, 1), s.line);
  EXPECT_EQ(Column(v, 0), std::vector<int>(10, s.fill));
}

INSTANTIATE_TEST_SUITE_P(
    Channel, SpanTest,
    ::testing::Values(
        // The sample at exactly 2.0 lies at the half-length and is not counted.
        SpanCase{"two_to_six", 2, 6, 1, false, 77, {77, 0, 251, 255, 255, 255, 0, 0, 77, 77}},
        SpanCase{"keep_max", 2, 6, 1, true, 252, {252, 252, 252, 255, 255, 255, 252, 252, 252, 252}},
        SpanCase{"half_opacity", 2, 6, 0.5f, false, 77, {77, 0, 125, 127, 127, 127, 0, 0, 77, 77}},
        // Starting left of the channel: the first pixel would be -1 and is skipped.
        SpanCase{"left_border", -0.5f, 1.5f, 1, false, 77, {255, 127, 0, 77, 77, 77, 77, 77, 77, 77}},
        SpanCase{"right_border", 8.5f, 10.5f, 1, false, 77, {77, 77, 77, 77, 77, 77, 77, 0, 123, 255}},
        SpanCase{"wholly_outside", -40, -20, 1, false, 77, std::vector<int>(10, 77)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChannelShapes, SpanOutsideTheChannelDrawsNothing) {
  TChannel c(10, 3);
  c.Fill(7);
  DrawHSpanAA(c, -1, 255, 2, 6, 1, false);
  DrawHSpanAA(c, 3, 255, 2, 6, 1, false);
  DrawVSpanAA(c, -1, 255, 0, 2, 1, false);
  DrawVSpanAA(c, 10, 255, 0, 2, 1, false);
  EXPECT_EQ(Dump(c), Rows(3, std::vector<int>(10, 7)));
}

TEST_F(ChannelShapes, PolygonSquareIsExact) {
  TChannel c(16, 16);
  c.Fill(0);
  const TPoint square[4] = {{2, 2}, {12, 2}, {12, 12}, {2, 12}};
  FillPolygon(c, square, 4);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      int expected = (x >= 2 && x <= 11 && y >= 2 && y <= 11) ? 255 : 0;
      if (x == 2 && y == 2) expected = 251;
      EXPECT_EQ(c.GetPixel(x, y), expected) << x << "," << y;
    }
}

TEST_F(ChannelShapes, PolygonTriangleNeedsClosing) {
  // Exactly three points on the heap: closing must not write past them.
  std::vector<TPoint> triangle{{1, 1}, {14, 3}, {4, 13}};
  const std::vector<TPoint> before = triangle;
  TChannel open(16, 16);
  open.Fill(0);
  FillPolygonAA(open, triangle.data(), 3);
  EXPECT_EQ(Dump(open), Rows(16, std::vector<int>(16, 0)));

  TChannel closed(16, 16);
  closed.Fill(0);
  FillPolygon(closed, triangle.data(), 3);
  EXPECT_EQ(triangle, before);
  EXPECT_EQ(closed.GetPixel(6, 6), 255);
  EXPECT_EQ(closed.GetPixel(14, 14), 0);

  // Every point given twice draws the same polygon.
  std::vector<TPoint> doubled;
  for (const TPoint& p : triangle) {
    doubled.push_back(p);
    doubled.push_back(p);
  }
  TChannel twice(16, 16);
  twice.Fill(0);
  FillPolygon(twice, doubled.data(), static_cast<int32_t>(doubled.size()));
  EXPECT_EQ(Dump(twice), Dump(closed));

  // Repeats that leave fewer than four points draw nothing.
  const TPoint line[5] = {{1, 1}, {1, 1}, {9, 9}, {9, 9}, {1, 1}};
  TChannel none(16, 16);
  none.Fill(0);
  FillPolygonAA(none, line, 5);
  EXPECT_EQ(Dump(none), Rows(16, std::vector<int>(16, 0)));
}

TEST_F(ChannelShapes, PolygonSlantedEdgesTakeTheSlopeAdjustments) {
  // A triangle with one steep, one shallow and one diagonal edge: the row pass moves the ends of
  // flat edges' spans in by half the slope, the column pass those of steep edges; each pixel
  // keeps the larger coverage. Values worked out from the algorithm in single precision.
  const TPoint triangle[3] = {{1, 1}, {10, 3}, {3, 10}};
  TChannel c(12, 12);
  c.Fill(0);
  FillPolygon(c, triangle, 3);
  EXPECT_EQ(Dump(c), (Rows{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                           {0, 0, 171, 119, 59, 0, 0, 0, 0, 0, 0, 0},
                           {0, 171, 255, 255, 255, 255, 199, 143, 87, 31, 0, 0},
                           {0, 119, 255, 255, 255, 255, 255, 255, 255, 27, 0, 0},
                           {0, 59, 255, 255, 255, 255, 255, 255, 27, 0, 0, 0},
                           {0, 0, 255, 255, 255, 255, 255, 27, 0, 0, 0, 0},
                           {0, 0, 199, 255, 255, 255, 27, 0, 0, 0, 0, 0},
                           {0, 0, 143, 255, 255, 27, 0, 0, 0, 0, 0, 0},
                           {0, 0, 87, 255, 27, 0, 0, 0, 0, 0, 0, 0},
                           {0, 0, 31, 27, 0, 0, 0, 0, 0, 0, 0, 0},
                           {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                           {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}));
}

TEST_F(ChannelShapes, PolygonPartlyOutsideIsClipped) {
  TChannel c(20, 20);
  c.Fill(0);
  const TPoint tri[3] = {{-30, -30}, {25, 5}, {5, 25}};
  FillPolygon(c, tri, 3);
  EXPECT_EQ(c.GetPixel(1, 1), 255);
  EXPECT_EQ(c.GetPixel(5, 5), 255);
  EXPECT_EQ(c.GetPixel(19, 19), 0);
}

TEST_F(ChannelShapes, PolygonWithMoreThanAThousandCrossingsPerRow) {
  // A comb of 600 teeth: every row through the teeth crosses 1200 edges.
  constexpr int32_t kTeeth = 600;
  std::vector<TPoint> comb{{0, 60}};
  for (int32_t i = 0; i < kTeeth; ++i) {
    comb.push_back({4 * i, 10});
    comb.push_back({4 * i + 2, 10});
    if (i + 1 < kTeeth) {
      comb.push_back({4 * i + 2, 55});
      comb.push_back({4 * i + 4, 55});
    }
  }
  comb.push_back({4 * (kTeeth - 1) + 2, 60});
  TChannel c(4 * kTeeth + 4, 64);
  c.Fill(0);
  FillPolygon(c, comb.data(), static_cast<int32_t>(comb.size()));
  for (int32_t i = 0; i < kTeeth; ++i) {
    ASSERT_EQ(c.GetPixel(4 * i + 1, 30), 255) << i;
    ASSERT_EQ(c.GetPixel(4 * i + 3, 30), 0) << i;
    ASSERT_EQ(c.GetPixel(4 * i + 1, 57), 255) << i;
  }
}

}  // namespace
}  // namespace tf
