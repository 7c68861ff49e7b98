#include "app/GradientStops.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "paint/Gradient.h"
#include "paint/GradientSet.h"
#include "raster/Appearance.h"

namespace tf {
namespace {

void ExpectInvariants(const CGradientStops& g, const std::string& where) {
  ASSERT_GE(g.GetCount(), 2) << where;
  EXPECT_EQ(g.GetStop(0).position, 0.0f) << where;
  EXPECT_EQ(g.GetStop(g.GetCount() - 1).position, 1.0f) << where;
  EXPECT_FALSE(g.GetStop(g.GetCount() - 1).joined) << where;
  EXPECT_FALSE(g.GetStop(0).joined) << where;
  for (int32_t i = 1; i < g.GetCount(); ++i) {
    EXPECT_LE(g.GetStop(i - 1).position, g.GetStop(i).position) << where << " at " << i;
    if (g.GetStop(i - 1).joined) {
      EXPECT_EQ(g.GetStop(i - 1).position, g.GetStop(i).position) << where << " pair at " << i;
      EXPECT_FALSE(g.GetStop(i).joined) << where << " chained pair at " << i;
    }
  }
  EXPECT_TRUE(g.IsValidIndex(g.SelectIndex())) << where;
}

struct Snapshot {
  std::vector<TGradientEditPos> stops;
  int32_t selected;
};
Snapshot Snap(const CGradientStops& g) {
  Snapshot s{{}, g.SelectIndex()};
  for (int32_t i = 0; i < g.GetCount(); ++i) s.stops.push_back(g.GetStop(i));
  return s;
}

bool SameStops(const Snapshot& a, const CGradientStops& b) {
  if (static_cast<int32_t>(a.stops.size()) != b.GetCount() || a.selected != b.SelectIndex()) return false;
  for (int32_t i = 0; i < b.GetCount(); ++i) {
    const TGradientEditPos &x = a.stops[static_cast<size_t>(i)], &y = b.GetStop(i);
    if (x.position != y.position || x.kind != y.kind || x.opacity != y.opacity || x.joined != y.joined ||
        IsEqualPickerColor(x.colour, y.colour) != 0)
      return false;
  }
  return true;
}

TEST(GradientStops, StartsBlackToWhite) {
  CGradientStops g;
  EXPECT_EQ(g.GetCount(), 2);
  EXPECT_EQ(g.SelectIndex(), 0);
  EXPECT_EQ(g.StopPixel(g.GetStop(0)), 0xFF000000u);
  EXPECT_EQ(g.StopPixel(g.GetStop(1)), 0xFFFFFFFFu);
  EXPECT_EQ(g.GetStopJoin(5), 255);
}

TEST(GradientStops, AddsInterpolatedStops) {
  CGradientStops g;
  int32_t changes = 0;
  g.OnChange = [&] { ++changes; };
  EXPECT_EQ(g.AddStop(true, 1.5f), -1);
  EXPECT_EQ(g.AddStop(true, NAN), -1);
  EXPECT_EQ(g.AddStop(true, 0.5f), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(g.SelectIndex(), 1);
  EXPECT_FLOAT_EQ(g.GetStop(1).colour.rgb.r, 0.5f);
  EXPECT_FLOAT_EQ(g.GetStop(1).colour.rgb.b, 0.5f);
  // Two stops at one place: t = 0.5 (d within the single epsilon).
  ASSERT_EQ(g.AddStop(false, 0.0f), 1);
  g.SetStopOpacity(1, 0.2f);
  EXPECT_EQ(g.AddStop(false, 0.0f), 1);
  EXPECT_FLOAT_EQ(g.GetStop(1).opacity, 0.6f);
  // Kinds: both neighbours following the foreground give a foreground stop.
  CGradientStops k;
  k.SetStopKind(kStopForeground, 0);
  k.SetStopKind(kStopForeground, 1);
  EXPECT_EQ(k.GetStop(k.AddStop(false, 0.3f)).kind, kStopForeground);
  k.SetStopKind(kStopBackground, 0);
  EXPECT_EQ(k.GetStop(k.AddStop(false, 0.1f)).kind, kStopOwnColor);
}

TEST(GradientStops, RefusesPastTheSlotGroupsLimit) {
  CGradientStops g;
  g.SetCapacity(100000);
  int32_t added = 0;
  while (g.AddStop(false, 0.5f) >= 0) ++added;
  EXPECT_EQ(g.GetCount(), kMaxGradientStops);
  EXPECT_EQ(added, kMaxGradientStops - 2);
  CColorSlotGroup group;
  EXPECT_TRUE(g.SaveToColorSlotGroup(group));
  EXPECT_EQ(group.Highest(), kMaxGradientStops - 1);
}

TEST(GradientStops, MovesJoinsAndDeletes) {
  CGradientStops g;
  g.AddStop(false, 0.25f);  // 1
  g.AddStop(false, 0.5f);   // 2
  g.AddStop(false, 0.75f);  // 3
  g.MoveStop(2, 0.9f);      // stops at the neighbour
  EXPECT_EQ(g.GetStop(2).position, 0.75f);
  g.MoveStop(0, 0.5f);  // end stops stay
  g.MoveStop(4, 0.5f);
  EXPECT_EQ(g.GetStop(0).position, 0.0f);
  EXPECT_EQ(g.GetStop(4).position, 1.0f);
  g.MoveStop(2, 0.5f);
  EXPECT_FALSE(g.CanUnionRight(0));
  EXPECT_FALSE(g.CanUnionRight(3));  // the next is the end stop
  ASSERT_TRUE(g.CanUnionRight(2));
  g.UnionRight(2);
  EXPECT_EQ(g.GetStop(2).position, 0.75f);
  EXPECT_EQ(g.GetStopJoin(2), 2);
  EXPECT_EQ(g.GetStopJoin(3), 1);
  EXPECT_FALSE(g.CanUnionRight(1));
  // Selecting the second half selects the first; moving moves both.
  g.SetSelectIndex(3);
  EXPECT_EQ(g.SelectIndex(), 2);
  g.MoveStop(3, 0.1f);
  EXPECT_EQ(g.GetStop(2).position, 0.25f);
  EXPECT_EQ(g.GetStop(3).position, 0.25f);
  g.CenterStop(2);
  EXPECT_EQ(g.GetStop(3).position, 0.625f);
  // Deleting either half deletes both.
  g.DeleteStop(3);
  EXPECT_EQ(g.GetCount(), 3);
  EXPECT_EQ(g.SelectIndex(), 1);
  g.DeleteStop(0);
  EXPECT_EQ(g.GetCount(), 3);
  g.UnionLeft(1);  // onto the end stop's place: refused (index 0 is an end)
  EXPECT_EQ(g.GetStopJoin(0), 0);
}

TEST(GradientStops, Subdivides) {
  CGradientStops g;
  EXPECT_FALSE(g.CanSubdivide(0, 255));
  EXPECT_TRUE(g.CanSubdivide(0, 254));
  g.Subdivide(0, 4);
  ASSERT_EQ(g.GetCount(), 5);
  EXPECT_EQ(g.GetStop(1).position, 0.25f);
  EXPECT_EQ(g.GetStop(3).position, 0.75f);
}

TEST(GradientStops, SeededRandomEditsKeepTheInvariants) {
  std::mt19937 random(58);
  for (int32_t run = 0; run < 20; ++run) {
    CGradientStops g;
    for (int32_t step = 0; step < 200; ++step) {
      const int32_t index = static_cast<int32_t>(random() % static_cast<uint32_t>(g.GetCount() + 1)) - 1;
      // Positions on a binary grid, so 1 - (1 - p) is p again.
      const float p = static_cast<float>(random() % 257) / 256.0f;
      switch (random() % 10) {
        case 0: case 1: g.AddStop(random() % 2 == 0, p); break;
        case 2: g.DeleteStop(index); break;
        case 3: g.MoveStop(index, p); break;
        case 4: g.UnionRight(index); break;
        case 5: g.UnionLeft(index); break;
        case 6: g.Unjoin(index); break;
        case 7: g.CenterStop(index); break;
        case 8: g.SetSelectIndex(index); break;
        case 9: {
          CGradientStops copy;
          CColorSlotGroup group;
          ASSERT_TRUE(g.SaveToColorSlotGroup(group));
          copy.SetColorSlotGroup(&group);
          ASSERT_EQ(copy.GetCount(), g.GetCount());
          for (int32_t i = 0; i < g.GetCount(); ++i) EXPECT_EQ(copy.GetStop(i).joined, g.GetStop(i).joined);
          break;
        }
      }
      ExpectInvariants(g, "run " + std::to_string(run) + " step " + std::to_string(step));
      if (HasFailure()) return;
    }
    CGradientStops twice;
    CColorSlotGroup group;
    ASSERT_TRUE(g.SaveToColorSlotGroup(group));
    twice.SetColorSlotGroup(&group);
    twice.SetSelectIndex(g.SelectIndex());
    const Snapshot before = Snap(g);
    g.Reverse();
    ExpectInvariants(g, "reversed");
    g.Reverse();
    EXPECT_TRUE(SameStops(before, g));
    ASSERT_EQ(twice.GetCount(), g.GetCount());
    for (int32_t i = 0; i < g.GetCount(); ++i) EXPECT_EQ(twice.GetStop(i).position, g.GetStop(i).position);
  }
}

TEST(GradientStops, ReverseTwiceKeepsPairs) {
  CGradientStops g;
  g.AddStop(false, 0.25f);
  g.AddStop(false, 0.5f);
  g.AddStop(false, 0.75f);
  g.UnionRight(1);  // pair (1, 2) at 0.5
  g.SetStopKind(kStopBackground, 4);
  g.SetSelectIndex(1);
  g.Reverse();
  EXPECT_EQ(g.GetStopJoin(2), 2);  // the pair is (2, 3) at 0.5 now
  EXPECT_EQ(g.GetStopJoin(3), 1);
  EXPECT_EQ(g.GetStopJoin(1), 0);
  EXPECT_EQ(g.GetStop(0).kind, kStopBackground);
  EXPECT_EQ(g.SelectIndex(), 3);
  g.Reverse();
  EXPECT_EQ(g.GetStopJoin(1), 2);
  EXPECT_EQ(g.GetStopJoin(2), 1);
  EXPECT_EQ(g.GetStopJoin(3), 0);
  EXPECT_EQ(g.GetStop(4).kind, kStopBackground);
  EXPECT_EQ(g.SelectIndex(), 1);
}

// Loading a built gradient set's slot group and saving it gives the same slots back; the last
// slot's weight is the one field the editor writes anew (next position 0: minus its position).
TEST(GradientStops, LoadThenSaveGivesTheBuiltGradientsBack) {
  CGradMngr set;
  ASSERT_TRUE(set.LoadBuiltins());
  ASSERT_GT(set.Count(), 0);
  for (int32_t n = 0; n < set.Count(); ++n) {
    const CColorSlotGroup& built = *set.GetItem(n)->Stops();
    CGradientStops g;
    g.SetColorSlotGroup(&built);
    CColorSlotGroup saved;
    saved.SetName(built.Name());
    ASSERT_TRUE(g.SaveToColorSlotGroup(saved));
    ASSERT_EQ(saved.Highest(), built.Highest());
    SColorSlot last = *saved.GetSlot(saved.Highest());
    EXPECT_EQ(last.weight, -65536);
    CColorSlotGroup expected(built);
    last.weight = built.GetSlot(built.Highest())->weight;
    ASSERT_TRUE(saved.SetSlot(saved.Highest(), last));
    EXPECT_TRUE(saved.Equals(expected)) << n;
  }
}

TEST(GradientStops, LoadsKindsColoursAndJoins) {
  CColorSlotGroup group;
  group.SetStop(0, 0x00102030u, 100, 255);                   // foreground
  group.SetStop(1, 0xFF0000FFu, 0, 128);                     // own red
  SColorSlot s = *group.GetSlot(1);
  s.flag = 0;                                                 // joined to the next
  group.SetSlot(1, s);
  group.SetStop(2, 0x01FFFFFFu, 100, 255);                   // background
  group.SetStop(3, 0xFF00FF00u, 0, 0);
  ASSERT_TRUE(group.Normalize());
  CGradientStops g;
  g.SetColorSlotGroup(&group);
  ASSERT_EQ(g.GetCount(), 4);
  EXPECT_EQ(g.GetStop(0).kind, kStopForeground);
  EXPECT_EQ(g.GetStop(1).kind, kStopOwnColor);
  EXPECT_TRUE(g.GetStop(1).joined);
  EXPECT_EQ(g.GetStop(1).colour.rgb.r, 1.0f);
  EXPECT_FLOAT_EQ(g.GetStop(1).opacity, 128.0f / 255.0f);
  EXPECT_EQ(g.GetStop(2).kind, kStopBackground);
  EXPECT_FALSE(g.GetStop(3).joined);
  CColorSlotGroup back;
  ASSERT_TRUE(g.SaveToColorSlotGroup(back));
  EXPECT_EQ(back.GetSlot(1)->flag, 0);
  EXPECT_EQ(back.GetSlot(0)->color >> 24, kSourceForeground);
  EXPECT_EQ(back.GetSlot(1)->color, 0xFF0000FFu);
  EXPECT_EQ(back.GetSlot(1)->alpha, 128);
}

TEST(GradientStops, MouseAddsDragsAndDragsOut) {
  CGradientStops g;
  g.SetSize(113, 20);  // bar 100 wide, inner 98
  int32_t changes = 0;
  g.OnChange = [&] { ++changes; };
  // A click in the middle of the bar adds a mid-grey stop and selects it.
  g.MouseDown(7 + 49);
  g.MouseUp(true);
  ASSERT_EQ(g.GetCount(), 3);
  EXPECT_EQ(g.SelectIndex(), 1);
  EXPECT_FLOAT_EQ(g.GetStop(1).position, 0.5f);
  EXPECT_GT(changes, 0);
  // On the marker: selected again, dragged past the end stop it stops there.
  g.MouseDown(g.MarkerLeft(1) + 7);
  EXPECT_EQ(g.GetCount(), 3);
  g.MouseMove(500, true);
  EXPECT_EQ(g.GetStop(1).position, 1.0f);
  g.MouseMove(60, false);
  EXPECT_TRUE(g.Outside());
  g.MouseUp(false);  // released outside: deleted
  EXPECT_EQ(g.GetCount(), 2);
  // A click on an end marker selects it (x < 8 the first).
  g.MouseDown(3);
  EXPECT_EQ(g.SelectIndex(), 0);
  g.MouseUp(false);  // an end stop is never deleted
  EXPECT_EQ(g.GetCount(), 2);
}

TEST(GradientStops, MarkersAreDiamonds) {
  ResetGradientMarkers();
  const TMemoryGraphic& m = GradientMarker(true, false);
  EXPECT_EQ(m.Width(), 15);
  EXPECT_EQ(m.GetPixel(7, 0), AppearanceColors[acWindowFrame]);
  EXPECT_EQ(m.GetPixel(0, 7), AppearanceColors[acWindowFrame]);
  EXPECT_EQ(m.GetPixel(0, 0) >> 24, 0u);
  EXPECT_EQ(m.GetPixel(7, 7), AppearanceColors[acHighlight]);
  EXPECT_EQ(m.GetPixel(2, 7), AppearanceColors[acHighlightText]);
  const TMemoryGraphic& j = GradientMarker(false, true);
  EXPECT_EQ(j.GetPixel(7, 7), (AppearanceColors[acGrayText] & 0xFFFFFFu) | 0xAA000000u);
  EXPECT_EQ(j.GetPixel(6, 7), (AppearanceColors[acBtnFace] & 0xFFFFFFu) | 0xAA000000u);
}

}  // namespace
}  // namespace tf
