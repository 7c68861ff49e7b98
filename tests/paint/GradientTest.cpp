#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <vector>

#include "paint/Gradient.h"
#include "raster/ColorMath.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

constexpr uint32_t kFixed = 0xFF000000u;  // colour source 255 in a colour word

// A compact group of stops (colour word, weight, alpha), normalised.
struct StopValues {
  uint32_t color;
  int32_t weight;
  uint8_t alpha;
};

void FillGroup(CColorSlotGroup& g, const std::vector<StopValues>& stops) {
  for (size_t i = 0; i < stops.size(); ++i)
    ASSERT_TRUE(g.SetStop(static_cast<int32_t>(i), stops[i].color, stops[i].weight, stops[i].alpha));
}

// Black to white, both opaque: the red byte of a colour is floor(255 * f / 65536).
void BlackToWhite(CColorSlotGroup& g) {
  FillGroup(g, {{kFixed | 0x000000, 65536, 255}, {kFixed | 0xFFFFFF, 65536, 255}});
  ASSERT_TRUE(g.Normalize());
}

TEST(ColorSlot, RecordLayoutIsTheStoredOne) {
  SColorSlot s{1, 1, 0, 200, 7, 0x01332211u, 65536, -2, 0x10000};
  uint8_t bytes[24];
  ColorSlotToBytes(s, bytes);
  const uint8_t expected[24] = {1, 1, 0, 200, 7,    0,    0,    0,    0x11, 0x22, 0x33, 0x01,
                                0, 0, 1, 0,   0xFE, 0xFF, 0xFF, 0xFF, 0,    0,    1,    0};
  EXPECT_EQ(0, std::memcmp(bytes, expected, 24));
  EXPECT_EQ(0, std::memcmp(&s, expected, 24));  // in memory as stored
  SColorSlot back = ColorSlotFromBytes(expected);
  EXPECT_EQ(0, std::memcmp(&back, &s, 24));

  SGradOption o{1, 2, 1, 0, 300};
  uint8_t ob[8];
  GradOptionToBytes(o, ob);
  const uint8_t oe[8] = {1, 2, 1, 0, 0x2C, 0x01, 0, 0};
  EXPECT_EQ(0, std::memcmp(ob, oe, 8));
  EXPECT_EQ(GradOptionFromBytes(oe), o);
  InitGradOption(o);
  EXPECT_EQ(o, (SGradOption{0, 0, 0, 0, 1}));
}

TEST(ColorSlotGroup, CreationAndResetSlots) {
  CColorSlotGroup g(2);
  EXPECT_EQ(g.GrowStep(), 4);
  EXPECT_EQ(g.Capacity(), 4);
  EXPECT_EQ(g.Highest(), -1);
  EXPECT_EQ(g.Name(), "untitled");
  EXPECT_EQ(g.GetSlot(0), nullptr);
  const uint8_t* data = nullptr;
  int32_t size = -1;
  EXPECT_FALSE(g.GetData(data, size));
  EXPECT_EQ(size, 0);
  EXPECT_FALSE(g.Normalize());
  EXPECT_FALSE(g.IsValid());

  // SetStop keeps flag 1 and the index that a reset writes.
  ASSERT_TRUE(g.SetStop(2, 0x00123456u, 10, 99));
  const SColorSlot* s = g.GetSlot(2);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->used, 1);
  EXPECT_EQ(s->active, 1);
  EXPECT_EQ(s->flag, 1);
  EXPECT_EQ(s->alpha, 99);
  EXPECT_EQ(s->index, 2);
  EXPECT_EQ(s->color, 0x00123456u);
  // Slots below are reset slots.
  const SColorSlot* r = g.GetSlot(1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->used, 0);
  EXPECT_EQ(r->flag, 1);
  EXPECT_EQ(r->alpha, 255);
  EXPECT_EQ(r->index, 1);
  EXPECT_EQ(r->color, 0xFF000000u);
  EXPECT_TRUE(g.GetData(data, size));
  EXPECT_EQ(size, 3 * 24);
}

TEST(ColorSlotGroup, GrowStopsAtTheSlotLimit) {
  CColorSlotGroup g(16);
  SColorSlot s = CColorSlotGroup::ResetSlot(0);
  EXPECT_TRUE(g.SetSlot(2728, s));
  EXPECT_EQ(g.Highest(), 2728);
  EXPECT_LT(g.Capacity(), CColorSlotGroup::kMaxSlots);
  EXPECT_FALSE(g.SetSlot(2729, s));
  EXPECT_FALSE(g.SetStop(5000, 0, 1, 255));
  EXPECT_FALSE(g.SetSlot(-1, s));
  // Indexes from files and events: the largest ones must not wrap when the need is counted.
  EXPECT_FALSE(g.SetSlot(INT32_MAX, s));
  EXPECT_FALSE(g.SetStop(INT32_MAX, 0, 1, 255));
  EXPECT_EQ(g.Highest(), 2728);
  // Capacity grows in whole steps.
  CColorSlotGroup h(16);
  EXPECT_TRUE(h.SetSlot(16, s));
  EXPECT_EQ(h.Capacity(), 32);
}

struct NormalizeCase {
  const char* name;
  std::vector<int32_t> weights;  // one stop each, the last weight unused
  bool ok;
  int32_t weightSum;
  std::vector<int32_t> positions;
  std::vector<int32_t> spans;
};
void PrintTo(const NormalizeCase& c, std::ostream* os) { *os << c.name; }

class NormalizeTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, PositionsAndSpans) {
  const NormalizeCase& c = GetParam();
  CColorSlotGroup g;
  for (size_t i = 0; i < c.weights.size(); ++i)
    ASSERT_TRUE(g.SetStop(static_cast<int32_t>(i), kFixed, c.weights[i], 255));
  ASSERT_EQ(g.Normalize(), c.ok);
  if (!c.ok) {
    EXPECT_EQ(g.StopCount(), 0);
    EXPECT_FALSE(g.IsValid());
    // Rendering still answers with slot 0's colour.
    EXPECT_EQ(g.ColorAt(30000), 0xFF000000u);
    return;
  }
  EXPECT_EQ(g.WeightSum(), c.weightSum);
  EXPECT_EQ(g.StopCount(), static_cast<int32_t>(c.weights.size()));
  for (size_t i = 0; i < c.positions.size(); ++i) {
    EXPECT_EQ(g.GetSlot(static_cast<int32_t>(i))->position, c.positions[i]) << i;
    EXPECT_EQ(g.GetSlot(static_cast<int32_t>(i))->span, c.spans[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Gradient, NormalizeTest,
    ::testing::Values(
        NormalizeCase{"two_equal", {65536, 65536}, true, 65536, {0, 65536}, {65536, 0}},
        NormalizeCase{"thirds_rounded", {1, 2, 9}, true, 3, {0, 21845, 65536}, {21845, 43691, 0}},
        // 1/131072 of the way is exactly half a unit: ties go to even.
        NormalizeCase{"ties_to_even", {1, 131071, 0}, true, 131072, {0, 0, 65536}, {0, 65536, 0}},
        NormalizeCase{"hard_edges",
                      {21845, 0, 21845, 0, 21846, 65536},
                      true,
                      65536,
                      {0, 21845, 21845, 43690, 43690, 65536},
                      {21845, 0, 21845, 0, 21846, 0}},
        NormalizeCase{"single_stop", {123}, true, 65536, {0}, {65536}},
        NormalizeCase{"all_weights_zero", {0, 0, 0}, false, 0, {}, {}},
        // Weights from files and events: negatives count as 0...
        NormalizeCase{"negative_weight_counts_as_zero", {-5, 10, 1}, true, 10, {0, 0, 65536}, {0, 65536, 0}},
        NormalizeCase{"only_negative_weights", {-5, -7, 1}, false, 0, {}, {}},
        // ...and the sum must fit int32.
        NormalizeCase{"sum_over_int32", {INT_MAX, INT_MAX, 1}, false, 0, {}, {}},
        NormalizeCase{"sum_exactly_int32", {INT_MAX - 1, 1, 1}, true, INT_MAX, {0, 65536, 65536}, {65536, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorSlotGroup, SingleStopAwayFromSlotZeroDescribesSlotZero) {
  CColorSlotGroup g;
  ASSERT_TRUE(g.SetStop(2, kFixed | 0x0000FF, 5, 255));
  ASSERT_TRUE(g.Normalize());
  EXPECT_EQ(g.StopCount(), 1);
  EXPECT_EQ(g.FirstStop(), 2);
  EXPECT_EQ(g.GetSlot(0)->span, 65536);
  // Fewer than two stops: slot 0's colour everywhere.
  EXPECT_EQ(g.ColorAt(40000), 0xFF000000u);
}

TEST(ColorSlotGroup, ColorAtInterpolatesEachByteWithFloor) {
  CColorSlotGroup g;
  // Black with alpha 255 to white with alpha 0.
  FillGroup(g, {{kFixed | 0x000000, 65536, 255}, {kFixed | 0xFFFFFF, 65536, 0}});
  ASSERT_TRUE(g.Normalize());
  EXPECT_EQ(g.ColorAt(32768), 0x7F7F7F7Fu);  // alpha 255 + floor(-127.5)
  EXPECT_EQ(g.ColorAt(0), 0xFF000000u);
  EXPECT_EQ(g.ColorAt(-5), 0xFF000000u);
  EXPECT_EQ(g.ColorAt(65536), 0x00FFFFFFu);
  EXPECT_EQ(g.ColorAt(1 << 30), 0x00FFFFFFu);
  EXPECT_EQ(LerpColor(0x00000000u, 0xFFFFFFFFu, 65536), 0xFFFFFFFFu);
  EXPECT_EQ(LerpColor(0x000000FFu, 0x00000000u, 1), 0x000000FEu);  // 255 + floor(-0.0039)
}

TEST(ColorSlotGroup, HardEdgesSwitchColoursAtOnePosition) {
  CColorSlotGroup g;
  const uint32_t blue = kFixed | 0xFF0000, green = kFixed | 0x00FF00, red = kFixed | 0x0000FF;
  FillGroup(g, {{blue, 21845, 255},
                {blue, 0, 255},
                {green, 21845, 255},
                {green, 0, 255},
                {red, 21846, 255},
                {red, 65536, 255}});
  ASSERT_TRUE(g.Normalize());
  EXPECT_EQ(g.ColorAt(21845), 0xFFFF0000u);
  EXPECT_EQ(g.ColorAt(21846), 0xFF00FF00u);
  EXPECT_EQ(g.ColorAt(43690), 0xFF00FF00u);
  EXPECT_EQ(g.ColorAt(43691), 0xFF0000FFu);
}

TEST(ColorSlotGroup, SlotEditing) {
  CColorSlotGroup g;
  FillGroup(g, {{kFixed | 1, 65536, 255}, {kFixed | 2, 65536, 255}, {kFixed | 3, 65536, 255}});
  ASSERT_TRUE(g.Normalize());
  EXPECT_EQ(g.FirstUsed(), 0);
  EXPECT_EQ(g.LastUsed(), 2);
  EXPECT_EQ(g.NextUsed(0), 1);
  EXPECT_EQ(g.NextUsed(2), -1);
  EXPECT_EQ(g.NextUsed(-5), 0);
  EXPECT_EQ(g.NextUsed(INT32_MAX), -1);  // no index past the last to wrap
  EXPECT_TRUE(g.AllUsed());

  EXPECT_FALSE(g.DeleteSlot(0));
  EXPECT_FALSE(g.DeleteSlot(3));
  EXPECT_FALSE(g.RemoveStop(0));  // the first stop
  EXPECT_FALSE(g.RemoveStop(2));  // the last stop
  // The stop before takes the removed segment.
  ASSERT_TRUE(g.RemoveStop(1));
  EXPECT_EQ(g.Highest(), 1);
  EXPECT_EQ(g.StopCount(), 2);
  EXPECT_EQ(g.GetSlot(0)->weight, 65536);
  EXPECT_EQ(g.GetSlot(1)->color, kFixed | 3);
  EXPECT_EQ(g.ColorAt(65536), 0xFF000003u);

  // DeleteSlot moves later slots down and resets the freed top slot.
  CColorSlotGroup h;
  FillGroup(h, {{kFixed | 1, 1, 255}, {kFixed | 2, 1, 255}, {kFixed | 3, 1, 255}});
  ASSERT_TRUE(h.DeleteSlot(1));
  EXPECT_EQ(h.Highest(), 1);
  EXPECT_EQ(h.GetSlot(1)->color, kFixed | 3);
  EXPECT_EQ(h.GetSlot(2), nullptr);
  ASSERT_TRUE(h.SetSlot(2, CColorSlotGroup::ResetSlot(99)));
  EXPECT_EQ(h.GetSlot(2)->used, 0);
  EXPECT_FALSE(h.AllUsed());
}

TEST(ColorSlotGroup, DynamicColorsFollowTheirSource) {
  CColorSlotGroup one;
  ASSERT_TRUE(one.SetStop(0, 0x00000001u, 1, 255));
  EXPECT_FALSE(one.SetDynamicColors(0x00AABBCCu, 0x00DDEEFFu));
  EXPECT_EQ(one.GetSlot(0)->color, 0x00000001u);

  CColorSlotGroup g;
  FillGroup(g, {{0x00000001u, 1, 255}, {0x01000002u, 1, 255}, {0xFF000003u, 1, 255}});
  ASSERT_TRUE(g.SetDynamicColors(0x7FAABBCCu, 0x80DDEEFFu));
  EXPECT_EQ(g.GetSlot(0)->color, 0x00AABBCCu);
  EXPECT_EQ(g.GetSlot(1)->color, 0x01DDEEFFu);
  EXPECT_EQ(g.GetSlot(2)->color, 0xFF000003u);
  EXPECT_EQ(g.StopCount(), 3);
}

TEST(ColorSlotGroup, CopyToAndCompactCopy) {
  CColorSlotGroup source;
  FillGroup(source, {{kFixed | 1, 10, 255}, {kFixed | 2, 30, 128}, {kFixed | 3, 0, 0}});
  ASSERT_TRUE(source.Normalize());
  source.SetName("sky");

  CColorSlotGroup target;
  FillGroup(target, {{kFixed | 9, 1, 255},
                     {kFixed | 8, 1, 255},
                     {kFixed | 7, 1, 255},
                     {kFixed | 6, 1, 255},
                     {kFixed | 5, 1, 255}});
  ASSERT_TRUE(target.Normalize());
  ASSERT_TRUE(source.CopyTo(&target));
  EXPECT_TRUE(target.Equals(source));
  EXPECT_EQ(target.Name(), "sky");
  EXPECT_FALSE(source.CopyTo(nullptr));

  // A target whose first stop is not slot 0 cannot lose its interior stops one by one.
  CColorSlotGroup odd;
  FillGroup(odd, {{kFixed | 9, 1, 255}, {kFixed | 8, 1, 255}, {kFixed | 7, 1, 255}});
  odd.GetSlot(0)->used = 0;
  ASSERT_TRUE(odd.SetStop(3, kFixed | 6, 1, 255));
  ASSERT_TRUE(odd.Normalize());
  ASSERT_TRUE(source.CopyTo(&odd));
  EXPECT_TRUE(odd.Equals(source));

  // A source with gaps is not AllUsed.
  CColorSlotGroup gaps;
  ASSERT_TRUE(gaps.SetStop(0, kFixed | 1, 1, 255));
  ASSERT_TRUE(gaps.SetStop(2, kFixed | 2, 3, 255));
  ASSERT_TRUE(gaps.SetStop(5, kFixed | 3, 1, 255));
  gaps.SetName("gappy");
  ASSERT_TRUE(gaps.Normalize());
  EXPECT_FALSE(gaps.AllUsed());
  EXPECT_FALSE(gaps.CopyTo(&target));

  auto compact = gaps.CreateCompactCopy();
  ASSERT_NE(compact, nullptr);
  EXPECT_TRUE(compact->AllUsed());
  EXPECT_EQ(compact->Highest(), 2);
  EXPECT_EQ(compact->Name(), "gappy");
  EXPECT_EQ(compact->GetSlot(1)->color, kFixed | 2);
  EXPECT_EQ(compact->GetSlot(1)->position, 16384);  // 1 of 4
  EXPECT_EQ(compact->GetSlot(2)->position, 65536);

  CColorSlotGroup empty;
  EXPECT_EQ(empty.CreateCompactCopy(), nullptr);
  EXPECT_FALSE(empty.Equals(empty));
}

TEST(GradObj, IdentityOptionsAndCopies) {
  ResetGradIdCounter(1);
  CGradObj a;
  CGradObj b;
  EXPECT_EQ(a.Id(), 1);
  EXPECT_EQ(b.Id(), 2);
  EXPECT_EQ(b.RenewId(), 2);
  EXPECT_EQ(b.Id(), 3);
  EXPECT_EQ(a.Options(), (SGradOption{0, 0, 0, 0, 1}));
  EXPECT_EQ(a.Stops()->GrowStep(), 16);

  a.SetOptions(SGradOption{1, 2, 1, 1, 0});
  EXPECT_EQ(a.Options().repeatCount, 1);
  a.SetOptions(SGradOption{1, 2, 1, 1, 5});
  a.SetDefaultName(3);
  EXPECT_EQ(a.Stops()->Name(), "untitled3");

  auto two = CGradObj::CreateTwoColor(0x00000000u, 0xFFFFFFFFu, "** 2色固定 **");
  EXPECT_EQ(two->Id(), 4);
  EXPECT_EQ(two->Stops()->Name(), "** 2色固定 **");
  EXPECT_EQ(two->Stops()->StopCount(), 2);
  EXPECT_EQ(two->Stops()->ColorAt(32768), 0xFF7F7F7Fu);

  ASSERT_TRUE(a.Assign(*two));
  EXPECT_EQ(a.Options(), two->Options());
  EXPECT_TRUE(a.Stops()->Equals(*two->Stops()));
  auto copy = CGradObj::CreateCopy(a);
  EXPECT_NE(copy->Id(), a.Id());
  EXPECT_TRUE(copy->Stops()->Equals(*a.Stops()));
}

TEST(GradObj, AngleOfVectors) {
  EXPECT_EQ(AngleOf(1, 0), 0.0f);
  EXPECT_EQ(AngleOf(0, 5), 0.25f);
  EXPECT_EQ(AngleOf(0, 0), 0.25f);
  EXPECT_EQ(AngleOf(-3, 0), 0.5f);
  EXPECT_EQ(AngleOf(0, -5), 0.75f);
  EXPECT_EQ(AngleOf(5, 5), 0.125f);
  EXPECT_EQ(AngleOf(5, -5), 0.875f);
}

// The red byte of a black-to-white gradient at a pixel.
struct RenderCase {
  const char* name;
  int32_t shape, mirror, endless, count;
  TPoint start, end;  // pixels
  TPoint pixel;
  uint32_t red;
};
void PrintTo(const RenderCase& c, std::ostream* os) { *os << c.name; }

class GradationRender : public ::testing::TestWithParam<RenderCase> {};

TEST_P(GradationRender, ColourAtPixel) {
  const RenderCase& c = GetParam();
  CColorSlotGroup g;
  BlackToWhite(g);
  CGradation r(&g);
  // The scale pair follows the shape in force at SetLine.
  ASSERT_TRUE(r.SetOptions(c.shape, c.mirror, c.endless, c.count));
  r.SetLine(TPoint{c.start.x << 16, c.start.y << 16}, TPoint{c.end.x << 16, c.end.y << 16});
  const uint32_t colour = r.ColorAt(c.pixel.x, c.pixel.y);
  EXPECT_EQ(colour & 0xFFu, c.red);
  EXPECT_EQ(colour >> 24, 255u);
}

INSTANTIATE_TEST_SUITE_P(
    Gradient, GradationRender,
    ::testing::Values(RenderCase{"linear_middle", 0, 0, 0, 1, {0, 0}, {100, 0}, {50, 0}, 127},
                      RenderCase{"linear_perpendicular_constant", 0, 0, 0, 1, {0, 0}, {100, 0}, {50, -70}, 127},
                      RenderCase{"linear_before_start", 0, 0, 0, 1, {0, 0}, {100, 0}, {-20, 0}, 0},
                      RenderCase{"linear_past_end", 0, 0, 0, 1, {0, 0}, {100, 0}, {130, 0}, 255},
                      RenderCase{"count3_t2_5", 0, 0, 0, 3, {0, 0}, {100, 0}, {250, 0}, 127},
                      RenderCase{"count3_t3_2_last_colour", 0, 0, 0, 3, {0, 0}, {100, 0}, {320, 0}, 255},
                      RenderCase{"count3_t_minus_0_2_first_colour", 0, 0, 0, 3, {0, 0}, {100, 0}, {-20, 0}, 0},
                      RenderCase{"endless_t_minus_0_25", 0, 0, 1, 3, {0, 0}, {100, 0}, {-25, 0}, 191},
                      RenderCase{"endless_t_7_25", 0, 0, 1, 1, {0, 0}, {100, 0}, {725, 0}, 63},
                      RenderCase{"mirror_t_0_25", 0, 1, 0, 1, {0, 0}, {100, 0}, {25, 0}, 127},
                      RenderCase{"mirror_t_0_75", 0, 1, 0, 1, {0, 0}, {100, 0}, {75, 0}, 127},
                      RenderCase{"mirror_t_1_first_colour", 0, 1, 0, 1, {0, 0}, {100, 0}, {100, 0}, 0},
                      RenderCase{"mirror_past_end_first_colour", 0, 1, 0, 1, {0, 0}, {100, 0}, {180, 0}, 0},
                      RenderCase{"radial_down_below", 1, 0, 0, 1, {50, 50}, {50, 60}, {50, 55}, 0},
                      RenderCase{"radial_down_right", 1, 0, 0, 1, {50, 50}, {50, 60}, {55, 50}, 191},
                      RenderCase{"radial_down_left", 1, 0, 0, 1, {50, 50}, {50, 60}, {45, 50}, 63},
                      RenderCase{"radial_down_up", 1, 0, 0, 1, {50, 50}, {50, 60}, {50, 45}, 127},
                      RenderCase{"radial_count4_eighth_turn", 1, 0, 0, 4, {50, 50}, {60, 50}, {55, 55}, 127},
                      RenderCase{"radial_count4_quarter_turn", 1, 0, 0, 4, {50, 50}, {60, 50}, {50, 55}, 0},
                      RenderCase{"radial_endless_ignored", 1, 0, 1, 4, {50, 50}, {60, 50}, {55, 55}, 127},
                      // Counts above 2^24: t is compared with the whole count (t = 2^24 lies below 2^24 + 1, so
                      // Frac gives the first stop), and the radial reciprocal is the single nearest to
                      // 1 / (2^24 + 1), 2^-24 - 2^-48, which puts t / r for AngleOf(-20, 1) on a half.
                      RenderCase{"count_above_2_24_linear", 0, 0, 0, 16777217, {0, 0}, {1, 0}, {16777216, 0}, 0},
                      RenderCase{"count_above_2_24_radial", 1, 0, 0, 16777217, {0, 0}, {1, 0}, {-20, 1}, 127},
                      RenderCase{"circular_axis_drag", 2, 0, 0, 1, {20, 20}, {30, 20}, {20, 25}, 127},
                      RenderCase{"circular_ellipse", 2, 0, 0, 1, {20, 20}, {30, 24}, {20, 22}, 127},
                      RenderCase{"circular_outside", 2, 0, 0, 1, {20, 20}, {30, 24}, {31, 20}, 255},
                      // A line of zero length: the first stop's colour, for every shape.
                      RenderCase{"zero_line_linear", 0, 0, 0, 1, {10, 10}, {10, 10}, {50, 3}, 0},
                      RenderCase{"zero_line_linear_endless", 0, 1, 1, 5, {10, 10}, {10, 10}, {-7, 40}, 0},
                      RenderCase{"zero_line_circular", 2, 0, 0, 1, {10, 10}, {10, 10}, {50, 3}, 0},
                      RenderCase{"zero_line_circular_endless", 2, 0, 1, 2, {10, 10}, {10, 10}, {0, 0}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Gradation, ScalePairIsNotRecomputedBySetOptions) {
  CColorSlotGroup g;
  BlackToWhite(g);
  CGradation r(&g);  // linear while the line is set: scale = max(|dx|, |dy|)
  r.SetLine(TPoint{20 << 16, 20 << 16}, TPoint{30 << 16, 24 << 16});
  ASSERT_TRUE(r.SetOptions(kGradCircular, 0, 0, 1));
  // t = 2 / 10 = 0.2: f = 13107, red = floor(255 * 13107 / 65536).
  EXPECT_EQ(r.ColorAt(20, 22) & 0xFFu, 50u);
  r.SetLine(TPoint{20 << 16, 20 << 16}, TPoint{30 << 16, 24 << 16});
  EXPECT_EQ(r.ColorAt(20, 22) & 0xFFu, 127u);
}

TEST(Gradation, OptionsOutOfRangeAreRefused) {
  CColorSlotGroup g;
  BlackToWhite(g);
  CGradation r(&g);
  ASSERT_TRUE(r.SetOptions(kGradLinear, 1, 0, 2));
  const uint32_t before = r.ColorAt(25, 0);
  for (auto [shape, mirror, endless, count] : std::vector<std::array<int32_t, 4>>{
           {3, 0, 0, 1}, {-1, 0, 0, 1}, {0, 2, 0, 1}, {0, 0, 2, 1}, {0, 0, 0, 0}, {0, 0, 0, -4}}) {
    EXPECT_FALSE(r.SetOptions(shape, mirror, endless, count));
  }
  EXPECT_EQ(r.ColorAt(25, 0), before);
  EXPECT_EQ(r.Options().repeatCount, 2);
  TPoint s, e;
  r.GetLine(s, e);
  EXPECT_EQ(s, (TPoint{0, 0}));
  EXPECT_EQ(e, (TPoint{100 << 16, 0}));

  CGradation none;
  EXPECT_EQ(none.ColorAt(5, 5), 0u);
  TMTC image(4, 4);
  SRectWH rect{0, 0, 4, 4};
  EXPECT_FALSE(none.FillRect(image, rect));
}

TEST(Gradation, FillRectWritesPixelsInImageOrder) {
  CColorSlotGroup g;
  // Red to blue (colour words have red in the low byte), alpha 255 to 0.
  FillGroup(g, {{kFixed | 0x0000FF, 65536, 255}, {kFixed | 0xFF0000, 65536, 0}});
  ASSERT_TRUE(g.Normalize());
  CGradation r(TPoint{0, 0}, TPoint{4 << 16, 0}, &g);
  TMTC image(6, 3);
  image.FillValue(0x12345678u);
  SRectWH rect{-2, 1, 7, 5};
  ASSERT_TRUE(r.FillRect(image, rect));
  EXPECT_EQ(rect, (SRectWH{0, 1, 5, 2}));
  EXPECT_EQ(image.GetPixel(0, 1), 0xFFFF0000u);  // red, alpha 255 as a pixel
  EXPECT_EQ(image.GetPixel(2, 2), 0x7F7F007Fu);
  EXPECT_EQ(image.GetPixel(4, 1), 0x000000FFu);  // blue, alpha 0
  EXPECT_EQ(image.GetPixel(5, 1), 0x12345678u);  // outside the rectangle
  EXPECT_EQ(image.GetPixel(0, 0), 0x12345678u);
  for (int32_t y = 1; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(image.GetPixel(x, y), ColorToPixel(r.ColorAt(x, y)));
  SRectWH outside{6, 0, 3, 3};
  EXPECT_FALSE(r.FillRect(image, outside));
}

// Red bytes of a sample row.
std::vector<uint32_t> RedRow(const TMTC& image, int32_t y) {
  std::vector<uint32_t> row;
  for (int32_t x = 0; x < image.Width(); ++x) row.push_back((image.GetPixel(x, y) >> 16) & 0xFFu);
  return row;
}

TEST(GradientSample, ShapesAndRepetitions) {
  CGradObj grad;
  FillGroup(*grad.Stops(), {{kFixed | 0x000000, 65536, 255}, {kFixed | 0xFFFFFF, 65536, 255}});
  ASSERT_TRUE(grad.Stops()->Normalize());

  TMTC line(11, 1);
  ASSERT_TRUE(DrawGradientSample(line, grad, SGradOption{0, kGradLinear, 0, 0, 1}));
  EXPECT_EQ(RedRow(line, 0), (std::vector<uint32_t>{0, 25, 50, 76, 101, 127, 153, 178, 204, 229, 255}));
  // Two repetitions over the width: the second starts at x = 5.
  ASSERT_TRUE(DrawGradientSample(line, grad, SGradOption{0, kGradLinear, 0, 0, 2}));
  EXPECT_EQ(RedRow(line, 0)[5], 0u);
  EXPECT_EQ(RedRow(line, 0)[10], 255u);
  // Endless: ten repetitions, one per pixel.
  ASSERT_TRUE(DrawGradientSample(line, grad, SGradOption{0, kGradLinear, 0, 1, 1}));
  EXPECT_EQ(RedRow(line, 0), std::vector<uint32_t>(11, 0));

  TMTC square(5, 5);
  ASSERT_TRUE(DrawGradientSample(square, grad, SGradOption{0, kGradRadial, 0, 0, 1}));
  EXPECT_EQ((square.GetPixel(4, 2) >> 16) & 0xFF, 0u);    // the first stop points right
  EXPECT_EQ((square.GetPixel(2, 4) >> 16) & 0xFF, 63u);   // a quarter turn clockwise
  EXPECT_EQ((square.GetPixel(0, 2) >> 16) & 0xFF, 127u);  // half a turn

  ASSERT_TRUE(DrawGradientSample(square, grad, SGradOption{0, kGradCircular, 0, 0, 1}));
  EXPECT_EQ(RedRow(square, 2), (std::vector<uint32_t>{255, 127, 0, 127, 255}));
  // Even sizes put the centre between pixels.
  TMTC even(4, 1);
  ASSERT_TRUE(DrawGradientSample(even, grad, SGradOption{0, kGradCircular, 0, 0, 1}));
  EXPECT_EQ(RedRow(even, 0), (std::vector<uint32_t>{255, 84, 84, 255}));

  TMTC invalid;
  EXPECT_FALSE(DrawGradientSample(invalid, grad, SGradOption{0, kGradLinear, 0, 0, 1}));
  EXPECT_FALSE(DrawGradientSample(line, grad, SGradOption{0, 3, 0, 0, 1}));
  EXPECT_FALSE(DrawGradientSample(line, grad, SGradOption{0, kGradLinear, 0, 0, 0}));
}

}  // namespace
}  // namespace tf
