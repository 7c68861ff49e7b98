#include "app/PenMethodListCore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "paint/PaintParam.h"
#include "paint/PenMethod.h"
#include "paint/PenSetting.h"
#include "paint/Stroke.h"
#include "raster/FlatImage.h"
#include "platform/Debug.h"
#include "support/TestRng.h"

namespace tf {
namespace {

uint8_t KindIndexAt(const CPenMethodMngr& set, int32_t i) { return PenMethodKindIndex(set.GetItem(i)); }

// The nine default brushes, then copies of random kinds, each named by its kind and number.
void FillSet(CPenMethodMngr& set, int32_t extra, uint64_t seed) {
  ASSERT_TRUE(set.AddMissingKinds());
  test::XorShiftRng rng(seed);
  for (int32_t i = 0; i < extra; ++i) {
    const int32_t from = int32_t(rng.Next() % 9);
    auto copy = CPenMethodObj::CreateCopy(*set.GetItem(from));
    copy->SetName("k" + std::to_string(from) + "-" + std::to_string(i));
    set.Insert(int32_t(rng.Next() % uint32_t(set.Count() + 1)), std::move(copy));
  }
  set.SetModified(false);
}

struct PenMethodListCoreTest : ::testing::Test {
  CPenMethodMngr set;
  TStroke stroke{2};
  CPenSettingBlock block;
  CPenMethodListCore list;
  std::vector<std::string> debug;
  DebugSink formerSink;

  void SetUp() override {
    formerSink = SetDebugSink([this](std::string_view line) { debug.emplace_back(line); });
    block.SetDefaults();
    list.SetOptions(kLvSelection | kLvDragSource);
    list.SetBounds(200, 300);
  }
  void TearDown() override { SetDebugSink(formerSink); }
};

TEST_F(PenMethodListCoreTest, PositionsAgreeWithABruteForceCount) {
  FillSet(set, 40, 5);
  list.BindSet(&set, &stroke, &block);
  for (uint8_t kind = 0; kind < 9; ++kind) {
    list.SetKindFilter(kind);
    std::vector<int32_t> ofKind;
    for (int32_t i = 0; i < set.Count(); ++i) {
      if (KindIndexAt(set, i) == kind) ofKind.push_back(i);
    }
    ASSERT_EQ(list.KindItemCount(), int32_t(ofKind.size()));
    EXPECT_EQ(list.GetCount(), int32_t(ofKind.size()));
    for (int32_t p = 0; p < int32_t(ofKind.size()); ++p) {
      EXPECT_EQ(list.SetIndexOf(p), ofKind[p]);
      EXPECT_EQ(list.ListPosOf(ofKind[p]), p);
      EXPECT_EQ(list.GetMethod(p), set.GetItem(ofKind[p]));
    }
    EXPECT_EQ(list.SetIndexOf(-1), -1);
    EXPECT_EQ(list.SetIndexOf(set.Count()), -1);
    EXPECT_EQ(list.SetIndexOf(int32_t(ofKind.size())), set.Count() - 1);
    EXPECT_EQ(list.ListPosOf(set.Count()), -1);
  }
  list.SetShowAll(true);
  EXPECT_EQ(list.GetCount(), set.Count());
  EXPECT_EQ(list.GetMethod(7), set.GetItem(7));
}

TEST_F(PenMethodListCoreTest, KindsLeftAndRetakenReturnToTheirBrush) {
  FillSet(set, 30, 9);
  list.BindSet(&set, &stroke, &block);
  int kindChanges = 0;
  list.OnKindChange = [&](CListViewCore&) { ++kindChanges; };
  list.SetPaintKind(9);
  ASSERT_GE(list.GetCount(), 2);
  list.SelectItem(list.GetCount() - 1, true);
  const CPenMethodObj* pencil = set.GetCurrent();
  EXPECT_EQ(list.GetPaintParam().name, pencil->Name());
  list.SetPaintKind(11);
  EXPECT_EQ(list.KindFilter(), 2);
  list.SelectItem(0, true);
  EXPECT_EQ(KindIndexAt(set, set.GetCurrentIndex()), 2);
  list.SetPaintKind(9);
  EXPECT_EQ(set.GetCurrent(), pencil);
  EXPECT_EQ(list.GetSelected(), list.GetCount() - 1);
  EXPECT_EQ(list.GetPaintParam().name, pencil->Name());
  EXPECT_EQ(kindChanges, 2);
  EXPECT_EQ(list.ItemPaintKind(), 9);
}

TEST_F(PenMethodListCoreTest, TheLastBrushOfAKindStays) {
  FillSet(set, 0, 1);
  auto copy = CPenMethodObj::CreateCopy(*set.GetItem(3));
  set.Add(std::move(copy));
  set.Add(CPenMethodObj::CreateCopy(*set.GetItem(3)));
  list.SetOptions(kLvSelection | kLvDeleteClick);
  list.BindSet(&set, &stroke, &block);
  list.SetPaintKind(9);
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_FALSE(list.CanDelete(0));
  EXPECT_FALSE(list.DeleteItem(0, true));
  list.MouseDown(list.ContentRect().left + 5, list.ContentRect().top + 5, kKeyCtrl);
  EXPECT_EQ(set.Count(), 11);
  list.SetPaintKind(12);
  ASSERT_EQ(list.GetCount(), 3);
  list.SelectItem(2, true);
  EXPECT_TRUE(list.DeleteItem(0, true));
  EXPECT_EQ(list.GetSelected(), 1);
  EXPECT_TRUE(list.DeleteItem(1, true));
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_FALSE(list.DeleteItem(0, true));
  EXPECT_EQ(set.Count(), 9);
  EXPECT_TRUE(set.IsModified());
  EXPECT_TRUE(list.GetModified());
}

TEST_F(PenMethodListCoreTest, ShowAllFollowsTheKindOfTheChosenBrush) {
  FillSet(set, 12, 3);
  list.BindSet(&set, &stroke, &block);
  list.SetPaintKind(9);
  std::vector<uint8_t> seen;
  list.OnKindChange = [&](CListViewCore& v) { seen.push_back(static_cast<CPenMethodListCore&>(v).KindFilter()); };
  list.SetShowAll(true);
  int32_t burn = -1;
  for (int32_t i = set.Count() - 1; i >= 0; --i) {
    if (KindIndexAt(set, i) == 7) burn = i;
  }
  list.SelectItem(burn, true);
  EXPECT_EQ(list.KindFilter(), 7);
  EXPECT_EQ(seen, std::vector<uint8_t>{7});
  EXPECT_EQ(set.GetCurrentIndex(), burn);
  EXPECT_EQ(list.GetSelected(), burn);
  EXPECT_EQ(list.RememberedBrush(7), list.ListPosOf(burn));
}

// A brush of no valid kind (a preset file's unknown render type) has kind index 255; with
// show-all it was used as an index into the nine remembered positions.
TEST_F(PenMethodListCoreTest, BrushOfNoKindIsListedAndChosenWithoutTouchingTheKinds) {
  FillSet(set, 5, 4);
  auto odd = CPenMethodObj::CreateCopy(*set.GetItem(0));
  SPenParam pen = odd->Params().pen;
  pen.type = 99;
  odd->SetParams(&pen, nullptr, nullptr);
  odd->SetName("odd");
  ASSERT_EQ(PenMethodKindIndex(odd.get()), 255);
  const int32_t oddIndex = set.Add(std::move(odd));
  list.BindSet(&set, &stroke, &block);
  list.SetPaintKind(11);
  list.SelectItem(0, true);
  int32_t remembered[9];
  for (int k = 0; k < 9; ++k) remembered[k] = list.RememberedBrush(k);
  list.SetShowAll(true);
  EXPECT_EQ(list.GetCount(), set.Count());
  list.SelectItem(oddIndex, true);
  EXPECT_EQ(set.GetCurrentIndex(), oddIndex);
  EXPECT_EQ(list.GetSelected(), oddIndex);
  EXPECT_EQ(list.KindFilter(), 2);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(list.RememberedBrush(k), remembered[k]);
  EXPECT_EQ(list.GetItemText(oddIndex), "odd");
  list.SetDisplayStyle(kStyleListLarge);
  list.Repaint();  // drawn with the others
  list.SetShowAll(false);
  EXPECT_EQ(list.GetSelected(), remembered[2] < list.KindItemCount() ? remembered[2] : 0);
}

TEST_F(PenMethodListCoreTest, OlderPensShowFiveFixedSlotsThatReachTheStroke) {
  FillSet(set, 0, 1);
  list.SetOptions(kLvSelection | kLvDragSource | kLvDeleteClick);
  list.BindSet(&set, &stroke, &block);
  list.SetPaintKind(2);  // watercolour, pen 2
  EXPECT_EQ(list.PenEngine(), PaintKindEngine(2));
  EXPECT_EQ(list.PenGroup(), 2);
  EXPECT_EQ(list.GetCount(), 5);
  EXPECT_EQ(list.ItemPaintKind(), 2);
  for (int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(list.GetItemFlags(i), kItemFixed | kItemNoRename);
    EXPECT_FALSE(list.CanDelete(i));
    EXPECT_EQ(list.GetItemText(i), "");
  }
  EXPECT_FALSE(list.DeleteItem(1, true));
  EXPECT_FALSE(list.MoveItem(3, 0, true));
  block.Slot(2, 3)->width = 21;
  list.SelectItem(3, true);
  EXPECT_EQ(list.RememberedSlot(2), 3);
  EXPECT_EQ(stroke.GetWidth(), 21.0f);
  // Every field setter reaches the stroke at once.
  list.SetRealField(12, 33.0f);
  EXPECT_EQ(stroke.GetWidth(), 33.0f);
  list.SetRealField(5, 17.0f);
  EXPECT_EQ(stroke.GetEnv(), 17.0f);
  list.SetRealField(7, 2.5f);
  EXPECT_EQ(stroke.GetGamma(), 2.5f);
  list.SetRealField(99, 1.0f);  // changes nothing, still applies
  EXPECT_EQ(stroke.GetWidth(), 33.0f);
  // Stored into the selected slot only.
  list.StoreSettings();
  EXPECT_EQ(block.Slot(2, 3)->width, 33.0f);
  EXPECT_EQ(block.Slot(2, 3)->env, 17.0f);
  EXPECT_NE(block.Slot(2, 2)->width, 33.0f);
  EXPECT_FALSE(set.IsModified());
  // Kinds 4 and 5 share group 4 and its remembered slot.
  list.SetPaintKind(4);
  list.SelectItem(4, true);
  list.SetPaintKind(5);
  EXPECT_EQ(list.PenGroup(), 4);
  EXPECT_EQ(list.GetSelected(), 4);
  EXPECT_EQ(list.ItemPaintKind(), 4);
  // Back to watercolour: slot 3 again.
  list.SetPaintKind(2);
  EXPECT_EQ(list.GetSelected(), 3);
  EXPECT_EQ(list.GetPaintParam().width, 33.0f);
  // Without a block a slot reads as all zero.
  list.UnbindSet();
  SPenSetting record;
  record.width = 5;
  list.GetPenSetting(0, record);
  EXPECT_EQ(record.width, 0.0f);
  EXPECT_EQ(list.StoreSettings(), nullptr);
}

TEST_F(PenMethodListCoreTest, StoreSettingsWritesTheSelectedBrush) {
  FillSet(set, 6, 2);
  list.BindSet(&set, &stroke, &block);
  list.SetPaintKind(9);
  list.SelectItem(0, true);
  int changes = 0, modified = 0;
  list.OnChange = [&](CListViewCore&) { ++changes; };
  list.OnModified = [&](CListViewCore&) { ++modified; };
  list.SetRealField(12, 44.0f);
  list.SetSwitchField(10, 1);
  EXPECT_EQ(changes, 2);
  EXPECT_FALSE(set.IsModified());
  ASSERT_EQ(list.StoreSettings(), &list.GetPaintParam());
  EXPECT_TRUE(set.IsModified());
  EXPECT_EQ(modified, 1);
  TPaintParam check(9);
  ASSERT_TRUE(check.LoadFromPenMethod(list.GetMethod(0)));
  EXPECT_EQ(check.width, 44.0f);
  EXPECT_EQ(check.useGradation, 1);
  list.SetItemName(false, "renamed");
  EXPECT_EQ(list.GetPaintParam().name, "renamed");
  list.SetItemText(0, "direct");
  EXPECT_EQ(list.GetMethod(0)->Name(), "direct");
}

TEST_F(PenMethodListCoreTest, PopupAndEditorsRefuseUntilTheyAreBuilt) {
  FillSet(set, 3, 6);
  list.BindSet(&set, &stroke, &block);
  list.SetPaintKind(9);
  list.SetDisplayStyle(kStyleStrip);
  const int32_t count = set.Count();
  EXPECT_FALSE(list.OpenPopup());
  EXPECT_FALSE(list.NewItem(true));
  EXPECT_FALSE(list.EditItem(0));
  EXPECT_EQ(set.Count(), count);
  EXPECT_FALSE(set.IsModified());
  ASSERT_EQ(debug.size(), 3u);
  EXPECT_NE(debug[0].find("not built yet"), std::string::npos);
  // With the services installed the list uses them.
  struct Services : ToolItemServices {
    int edits = 0, news = 0;
    ListPopup* OpenBrushPopup(CPenMethodListCore&) override { return nullptr; }
    bool CloseBrushPopup(CPenMethodListCore&, ListPopup*) override { return true; }
    bool EditNewPenMethod(CPenMethodListCore&, int32_t) override { return ++news, true; }
    bool ShowBrushEditor(CPenMethodListCore&) override { return ++edits, true; }
  } services;
  ToolItemServices* former = SetToolItemServices(&services);
  EXPECT_TRUE(list.NewItem(true));
  EXPECT_EQ(set.Count(), count + 1);
  EXPECT_TRUE(list.EditItem(0));
  EXPECT_EQ(services.news, 1);
  EXPECT_EQ(services.edits, 1);
  SetToolItemServices(former);
}

TEST_F(PenMethodListCoreTest, CopiesGoToAnotherListsSet) {
  FillSet(set, 4, 8);
  CPenMethodMngr otherSet;
  FillSet(otherSet, 0, 1);
  CPenMethodListCore other;
  other.SetOptions(kLvSelection | kLvDropTarget);
  other.SetBounds(200, 300);
  list.BindSet(&set, &stroke, &block);
  other.BindSet(&otherSet, &stroke, &block);
  list.SetPaintKind(10);
  other.SetPaintKind(10);
  list.SetShowAll(true);
  other.SetShowAll(true);
  list.SelectItem(3, true);
  EXPECT_TRUE(list.CopyCurrentTo(&other, 100, true));
  ASSERT_EQ(otherSet.Count(), 10);
  EXPECT_EQ(otherSet.GetItem(9)->Name(), set.GetItem(3)->Name());
  EXPECT_NE(otherSet.GetItem(9), set.GetItem(3));
  EXPECT_EQ(other.GetSelected(), 9);
  EXPECT_TRUE(otherSet.IsModified());
  EXPECT_TRUE(list.CopyCurrentTo(&other, 2, true));
  EXPECT_EQ(otherSet.GetItem(2)->Name(), set.GetItem(3)->Name());
  EXPECT_EQ(set.Count(), 13);
  EXPECT_FALSE(list.InsertCopy(&other, 0, 99, true));
}

// Repaints reuse scaled pictures; a brush whose icon changes shows the new one.
TEST_F(PenMethodListCoreTest, ThumbnailsFollowTheIcon) {
  FillSet(set, 2, 3);
  list.SetDisplayStyle(kStyleIconLarge);
  list.BindSet(&set, &stroke, &block);
  list.SetPaintKind(9);
  const uint32_t before = list.ViewImage().GetPixel(24, 24);
  for (uint32_t colour : {0xFFFF0000u, 0xFF00FF00u}) {
    TMTC icon(64, 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) *icon.Pixel(x, y) = colour;
    list.GetMethod(0)->SetIcon(&icon);
    list.Repaint();
    EXPECT_EQ(list.ViewImage().GetPixel(24, 24) & 0xFFFFFFu, colour & 0xFFFFFFu);
  }
  list.GetMethod(0)->SetIcon(static_cast<const TMTC*>(nullptr));
  list.Repaint();
  EXPECT_EQ(list.ViewImage().GetPixel(24, 24), before);
}

}  // namespace
}  // namespace tf
