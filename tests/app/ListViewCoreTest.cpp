#include "app/ListViewCore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "platform/Warning.h"
#include "raster/Appearance.h"
#include "support/StandInList.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::NamedItems;
using test::OtherStandInList;
using test::StandInItem;
using test::StandInList;

// A host that records what the core asks of its window.
struct RecordingHost : ListViewHost {
  int invalidations = 0;
  int scrollChanges = 0;
  int timerStarts = 0;
  std::vector<int32_t> intervals;
  bool timerOn = false;
  std::string hint;
  bool showHint = true;
  int drags = 0;
  void Invalidate(const TRect&) override { ++invalidations; }
  void ScrollBarChanged() override { ++scrollChanges; }
  void StartTimer(int32_t ms) override {
    ++timerStarts;
    timerOn = true;
    intervals.push_back(ms);
  }
  void SetTimerInterval(int32_t ms) override { intervals.push_back(ms); }
  void StopTimer() override { timerOn = false; }
  void SetHint(std::string_view text) override { hint = std::string(text); }
  void SetShowHint(bool show) override { showHint = show; }
  TPoint ClientToScreen(TPoint p) override { return {p.x + 1000, p.y + 2000}; }
  void BeginDrag() override { ++drags; }
};

struct TextCall {
  std::string text;
  TRect rect;
  uint32_t format;
  uint32_t colour;
};

// Records every text call; measuring gives 6 pixels a byte, 12 high.
struct RecordingPainter : ListTextPainter {
  std::vector<TextCall> calls;
  bool DrawText(TMemoryGraphic&, std::string_view text, TRect& rect, uint32_t format, uint32_t colour) override {
    calls.push_back({std::string(text), rect, format, colour});
    if (format & kListTextCalcRect) {
      rect.right = rect.left + static_cast<int32_t>(text.size()) * 6;
      rect.bottom = rect.top + 12;
    }
    return true;
  }
};

std::unique_ptr<StandInList> MakeList(int32_t count, int32_t width, int32_t height, int32_t style,
                                      uint16_t options = kLvSelection) {
  auto list = std::make_unique<StandInList>();
  list->Items() = NamedItems(count);
  list->SetOptions(options);
  list->SetBounds(width, height);
  list->SetDisplayStyle(style);
  return list;
}

// ---------------------------------------------------------------------------------------------
// Grid geometry

TEST(ListViewCoreTest, GridRectanglesAndHitTestsAgreeOnEveryPixel) {
  struct Case {
    int32_t style, count, width, height;
    bool bottomUp;
    std::vector<int32_t> positions;
  };
  const Case cases[] = {
      {0, 37, 130, 150, false, {0, 1, 3}},  {1, 20, 120, 110, false, {0, 2}},   {2, 9, 170, 140, false, {0, 1}},
      {3, 15, 100, 121, false, {0, 5, 9}},  {4, 7, 90, 100, true, {0, 2, 4}},   {5, 12, 100, 150, true, {0, 3}},
      {6, 30, 80, 163, false, {0, 10, 22}}, {0, 37, 130, 150, true, {0, 2}},    {1, 5, 200, 80, false, {0}},
  };
  for (const Case& c : cases) {
    auto list = MakeList(c.count, c.width, c.height, c.style);
    list->SetBottomUp(c.bottomUp);
    list->UpdateScrollBar();
    for (int32_t position : c.positions) {
      list->SetScrollPos(position);
      ASSERT_EQ(list->GetScrollPos(), position) << "style " << c.style;
      const TRect content = list->ContentRect();
      for (int32_t y = content.top; y < content.bottom; ++y) {
        for (int32_t x = content.left; x < content.right; ++x) {
          int32_t owner = -1;
          for (int32_t i = 0; i < c.count; ++i) {
            TRect r = list->GetItemRectGrid(i);
            if (x - content.left >= r.left && x - content.left < r.right && y - content.top >= r.top &&
                y - content.top < r.bottom) {
              ASSERT_EQ(owner, -1) << "two rectangles hold " << x << "," << y;
              owner = i;
            }
          }
          const int32_t area = list->HitTestArea(x, y);
          if (owner >= 0) {
            ASSERT_EQ(area, kAreaItem) << "style " << c.style << " at " << x << "," << y;
            ASSERT_EQ(list->ItemAtPos(x, y), owner) << "style " << c.style << " at " << x << "," << y;
          } else {
            ASSERT_EQ(area, kAreaEmpty) << "style " << c.style << " at " << x << "," << y;
          }
        }
      }
      EXPECT_EQ(list->HitTestArea(0, 5), kAreaOutside);
      EXPECT_EQ(list->HitTestArea(content.right + 3, 5), kAreaOutside);
    }
  }
}

// A point right of the last column used to hit the next row's first item, and a Ctrl+click
// there deleted it.
TEST(ListViewCoreTest, PointRightOfTheLastColumnIsNoItem) {
  auto list = MakeList(10, 24 * 3 + 18 + 10, 200, kStyleIconSmall, kLvSelection | kLvDeleteClick);
  ASSERT_EQ(list->ColumnCount(), 3);
  const int32_t x = list->ContentRect().left + 3 * 24 + 5;  // in the 10-pixel gap
  const int32_t y = list->ContentRect().top + 5;
  EXPECT_EQ(list->HitTestArea(x, y), kAreaEmpty);
  EXPECT_EQ(list->ItemAtPos(x, y), -1);
  list->MouseDown(x, y, kKeyCtrl);
  EXPECT_EQ(list->Items().size(), 10u);
  // The insertion index of a drop there is the row's end, not past it.
  EXPECT_EQ(list->InsertPosAt(x, y), 3);
  EXPECT_EQ(list->InsertPosAt(list->ContentRect().left + 2 * 24 + 13, y), 3);  // back half of column 2
  EXPECT_EQ(list->InsertPosAt(list->ContentRect().left + 2 * 24 + 11, y), 2);
}

TEST(ListViewCoreTest, InsertPositionTakesTheBackHalfAndTheBottomUpRow) {
  auto list = MakeList(6, 100, 300, kStyleListNormal);
  const TRect c = list->ContentRect();
  EXPECT_EQ(list->InsertPosAt(c.left + 5, c.top + 15), 0);
  EXPECT_EQ(list->InsertPosAt(c.left + 5, c.top + 17), 1);
  EXPECT_EQ(list->InsertPosAt(c.left + 5, c.top + 32 * 5 + 20), 6);
  EXPECT_EQ(list->DropIndex(), 6);
  list->SetBottomUp(true);
  // Item 5 is shown at the top: its top half inserts after it (index 6), its back half before.
  EXPECT_EQ(list->ItemAtPos(c.left + 5, c.top + 5), 5);
  EXPECT_EQ(list->InsertPosAt(c.left + 5, c.top + 15), 6);
  EXPECT_EQ(list->InsertPosAt(c.left + 5, c.top + 17), 5);
  auto empty = MakeList(0, 100, 300, kStyleListNormal);
  EXPECT_EQ(empty->InsertPosAt(10, 10), -1);
}

// ---------------------------------------------------------------------------------------------
// Strip geometry

// The strip as painted, pixel by pixel, from the rules alone: item first + k of the left run at
// -1 + ceil(k step), the k-th from the right at W - h - 1 - ceil(k step), the highlighted one
// last on top.
std::vector<int32_t> PaintedStrip(int32_t count, int32_t first, int32_t highlight, int32_t visible, int32_t h,
                                  int32_t w) {
  std::vector<int32_t> owner(static_cast<size_t>(w + 4), -1);  // x = -2 .. w + 1
  const int32_t n = std::min(visible, count - first);
  const int32_t last = first + n - 1;
  highlight = std::clamp(highlight, first, last);
  const int32_t span = n * (h + 1) - 1;
  const bool fits = span - w + 1 <= 0;
  const double step = fits ? 0.0 : double(h + 1) * (w - h - 1) / double(span - h - 1);
  auto leftOf = [&](int32_t i) {
    if (fits) return -1 + (i - first) * (h + 1);
    if (i <= highlight) return -1 + int32_t(std::ceil((i - first) * step));
    return w - h - 1 - int32_t(std::ceil((last - i) * step));
  };
  auto paint = [&](int32_t i) {
    for (int32_t x = leftOf(i); x < leftOf(i) + h + 2; ++x) {
      if (x >= -2 && x < w + 2) owner[static_cast<size_t>(x + 2)] = i;
    }
  };
  for (int32_t i = first; i < highlight; ++i) paint(i);
  for (int32_t i = last; i > highlight; --i) paint(i);
  paint(highlight);
  return owner;
}

TEST(ListViewCoreTest, StripHitTestsFindThePaintedItemOnEveryPixel) {
  int32_t overlapped = 0;
  for (int32_t width : {20, 27, 45, 64, 101, 133, 200, 257, 331, 400}) {
    for (int32_t count : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 17, 25, 33, 47, 60}) {
      auto list = MakeList(count, width + 12, 30, kStyleStrip);
      const int32_t h = list->GetCellHeight();
      ASSERT_EQ(list->GetCellWidth(), h + 2);
      const int32_t w = list->ContentRect().right - list->ContentRect().left;
      for (int32_t selected : {0, count / 2, count - 1}) {
        list->SelectItem(selected, true);
        const int32_t first = list->FirstVisible();
        const std::vector<int32_t> model =
            PaintedStrip(count, first, selected, list->GetVisibleCount(), h, w);
        if (list->GetVisibleItemCount() * (h + 1) - 1 > w) ++overlapped;
        const int32_t y = list->ContentRect().top + h / 2;
        for (int32_t x = 0; x < w; ++x) {
          const int32_t cx = list->ContentRect().left + x;
          const int32_t painted = model[static_cast<size_t>(x + 2)];
          ASSERT_EQ(list->ItemAtPosStrip(cx, y), painted)
              << "width " << width << " count " << count << " selected " << selected << " x " << x;
          if (painted >= 0) {
            const TRect r = list->GetItemRectStrip(painted);
            ASSERT_TRUE(cx >= r.left && cx < r.right);
          }
        }
        // The highlighted item is never covered.
        const TRect hr = list->GetItemRectStrip(selected);
        EXPECT_EQ(hr.right - hr.left, h + 2) << "width " << width << " count " << count << " sel " << selected << " first " << list->FirstVisible() << " last " << list->GetLastVisible();
      }
    }
  }
  EXPECT_GT(overlapped, 200);
}

TEST(ListViewCoreTest, StripSliverHitsItsOwnItemAndKeepsNeighboursVisible) {
  auto list = MakeList(40, 212, 34, kStyleStrip);  // content 198 x 30, cells 32 wide
  EXPECT_EQ(list->GetVisibleCount(), (198 - 32) / 16 + 1);
  list->SelectItem(20, true);
  // One neighbour on each side stays visible.
  EXPECT_LT(list->FirstVisible(), 20);
  EXPECT_GT(list->GetLastVisible(), 20);
  const int32_t before = 19;
  const TRect sliver = list->GetItemRectStrip(before);
  ASSERT_GT(sliver.right - sliver.left, 0);
  ASSERT_LT(sliver.right - sliver.left, 32);
  EXPECT_EQ(list->ItemAtPos(sliver.left, 10), before);
  list->MouseDown(sliver.left, 10, 0);
  EXPECT_EQ(list->GetSelected(), before);
  // Styles 7 and 8 show one item: the strip capacity is 1.
  list->SetDisplayStyle(kStyleSingle);
  EXPECT_EQ(list->GetVisibleCount(), 1);
  EXPECT_EQ(list->ItemAtPos(50, 10), before);
}

// A strip with room for one cell moved its first visible item past the selected one, which was
// then not shown at all.
TEST(ListViewCoreTest, StripTooNarrowForNeighboursShowsTheSelectedItem) {
  for (int32_t room : {1, 2}) {
    auto list = MakeList(9, 12 + 2 + 28 + (room - 1) * 14, 30, kStyleStrip);
    ASSERT_EQ(list->GetVisibleCount(), room);
    for (int32_t i : {0, 4, 8, 3, 7, 1}) {
      list->SelectItem(i, true);
      EXPECT_TRUE(list->IsVisibleIndex(i)) << room << " " << i;
      EXPECT_EQ(list->ItemAtPos(list->ContentRect().left + 5, 10), list->FirstVisible());
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Scroll model

TEST(ListViewCoreTest, ScrollModel) {
  RecordingHost host;
  // 4 columns; content height 119: five rows, the last without its bottom separator line, which
  // counts as shown.
  auto list = MakeList(0, 24 * 4 + 18, 24 * 5 + 3, kStyleIconSmall);
  list->SetHost(&host);
  list->UpdateScrollBar();
  SListScrollModel m = list->ScrollModel();
  EXPECT_FALSE(m.enabled);
  EXPECT_EQ(m.minimum, 0);
  EXPECT_EQ(m.maximum, 1);
  EXPECT_EQ(m.page, 1);
  EXPECT_EQ(m.position, 0);

  // 21 items: 6 rows, 5 visible: range 0 .. 5, page 5, last position 1.
  list->Items() = NamedItems(21);
  list->UpdateScrollBar();
  m = list->ScrollModel();
  EXPECT_TRUE(m.enabled);
  EXPECT_EQ(m.maximum, 5);
  EXPECT_EQ(m.page, 5);
  list->SetScrollPos(9);
  EXPECT_EQ(list->GetScrollPos(), 1);

  // Exactly 20 items fill 5 rows: no bar; with option 0x0004 one more row to reach the empty cell.
  list->Items() = NamedItems(20);
  list->SetScrollPos(0);
  list->UpdateScrollBar();
  EXPECT_FALSE(list->ScrollModel().enabled);
  list->SetOptions(kLvSelection | kLvAppendClick);
  list->UpdateScrollBar();
  EXPECT_TRUE(list->ScrollModel().enabled);
  EXPECT_EQ(list->ScrollModel().maximum, 5);
  list->SetScrollPos(1);
  EXPECT_EQ(list->GetScrollPos(), 1);
  const TRect c = list->ContentRect();
  EXPECT_EQ(list->HitTestArea(c.left + 5, c.bottom - 5), kAreaEmpty);

  // A partly visible last row: content height 110 shows 4 rows and a part; one more row so
  // that the fifth can be scrolled fully into view.
  auto partial = MakeList(20, 24 * 4 + 18, 114, kStyleIconSmall);
  partial->UpdateScrollBar();
  EXPECT_EQ(partial->VisibleRowCount(), 5);
  EXPECT_TRUE(partial->ScrollModel().enabled);
  EXPECT_EQ(partial->ScrollModel().maximum, 5);
  partial->SetScrollPos(3);
  EXPECT_EQ(partial->GetScrollPos(), 1);

  // A list that shrinks until every row fits shows them from the top again.
  list->Items() = NamedItems(60);
  list->UpdateScrollBar();
  list->SetScrollPos(8);
  ASSERT_EQ(list->GetScrollPos(), 8);
  list->Items() = NamedItems(4);
  list->UpdateScrollBar();
  EXPECT_FALSE(list->ScrollModel().enabled);
  EXPECT_EQ(list->GetScrollPos(), 0);
  EXPECT_EQ(list->ItemAtPos(c.left + 1, c.top + 1), 0);
  list->SetHost(nullptr);
}

TEST(ListViewCoreTest, ScrollToItemAndEnsureVisible) {
  auto list = MakeList(50, 100, 32 * 4 + 4, kStyleListNormal);  // 4 rows visible
  list->SelectItem(30, true);
  // Row 31 (one-based) ends as the third of the four rows (the last is partly shown).
  EXPECT_EQ(list->GetScrollPos(), 28);
  list->SelectItem(2, true);
  EXPECT_EQ(list->GetScrollPos(), 2);
  // While the user drags the thumb the selection does not scroll.
  list->ScrollBarScroll(10, true);
  EXPECT_EQ(list->GetScrollPos(), 10);
  list->SelectItem(40, true);
  EXPECT_EQ(list->GetScrollPos(), 10);
  list->ScrollBarScroll(12, false);
  EXPECT_FALSE(list->UserScrolling());
  EXPECT_EQ(list->GetScrollPos(), 12);
}

TEST(ListViewCoreTest, WheelStepsOneRowPerNotch) {
  auto list = MakeList(50, 100, 32 * 4 + 4, kStyleListNormal);
  list->UpdateScrollBar();
  list->SetScrollPos(10);
  const TPoint inside{20, 20};
  EXPECT_TRUE(list->MouseWheel(0, -120, inside));
  EXPECT_EQ(list->GetScrollPos(), 11);
  EXPECT_TRUE(list->MouseWheel(0, 120, inside));
  EXPECT_EQ(list->GetScrollPos(), 10);
  // Touchpad deltas add up to a notch.
  for (int i = 0; i < 7; ++i) EXPECT_TRUE(list->MouseWheel(0, 15, inside));
  EXPECT_EQ(list->GetScrollPos(), 10);
  EXPECT_TRUE(list->MouseWheel(0, 15, inside));
  EXPECT_EQ(list->GetScrollPos(), 9);
  EXPECT_FALSE(list->MouseWheel(0, 120, {500, 20}));
  list->SetDisplayStyle(kStyleStrip);
  EXPECT_FALSE(list->MouseWheel(0, 120, inside));
  auto short_list = MakeList(2, 100, 200, kStyleListNormal);
  short_list->UpdateScrollBar();
  EXPECT_FALSE(short_list->MouseWheel(0, 120, inside));
}

TEST(ListViewCoreTest, AutoScrollIntervalsFollowTheDistance) {
  RecordingHost host;
  auto list = MakeList(100, 100, 32 * 8 + 4, kStyleListNormal, kLvSelection | kLvDragSource | kLvDropTarget);
  list->SetHost(&host);
  list->UpdateScrollBar();
  list->SetScrollPos(20);
  list->SelectItem(25, false);
  // A drag over the very top edge: one row up, 20 ms next.
  const TRect c = list->ContentRect();
  list->DragOver(list.get(), {20, c.top}, kDragEnter);
  EXPECT_TRUE(host.timerOn);
  EXPECT_EQ(host.intervals.front(), 500);
  list->TimerTick();
  EXPECT_EQ(list->GetScrollPos(), 19);
  EXPECT_EQ(list->TimerInterval(), 20);
  // At the zone's inner border (zone 32): 500 ms.
  list->DragOver(list.get(), {20, c.bottom - 31}, kDragMove);
  list->TimerTick();
  EXPECT_EQ(list->GetScrollPos(), 20);
  EXPECT_EQ(list->TimerInterval(), 31 * 480 / 31 + 20);
  // Moves while the timer runs do not restart it.
  const int starts = host.timerStarts;
  for (int i = 0; i < 5; ++i) list->DragOver(list.get(), {20, c.bottom - 10}, kDragMove);
  EXPECT_EQ(host.timerStarts, starts);
  // In the middle the timer stops.
  list->DragOver(list.get(), {20, (c.top + c.bottom) / 2}, kDragMove);
  list->TimerTick();
  EXPECT_FALSE(host.timerOn);
  // A drag that leaves stops it too.
  list->DragOver(list.get(), {20, c.top}, kDragMove);
  EXPECT_TRUE(host.timerOn);
  list->DragOver(list.get(), {20, c.top}, kDragLeave);
  EXPECT_FALSE(host.timerOn);
  EXPECT_FALSE(list->Dragging());
  list->SetHost(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Cells, painting

TEST(ListViewCoreTest, ThumbnailSides) {
  for (const auto& [style, side] : {std::pair{0, 17}, {1, 25}, {2, 41}}) {
    auto list = MakeList(3, 200, 200, style);
    EXPECT_EQ(list->GetThumbSize(0).width, side);
    list->SetOptions(0);
    EXPECT_EQ(list->GetThumbSize(0).width, side + 6);
  }
  auto list = MakeList(3, 200, 200, kStyleIconSmall);
  list->SetCellSize({2, 3});
  EXPECT_EQ(list->GetCellSize(), (SSize{4, 4}));
  // Styles not allowed or above 15 change nothing.
  list->SetAllowedStyles(0x0003);
  list->SetDisplayStyle(5);
  list->SetDisplayStyle(16);
  EXPECT_EQ(list->DisplayStyle(), kStyleIconSmall);
}

TEST(ListViewCoreTest, PaintsCellsTextAndTheEmptyView) {
  RecordingPainter painter;
  auto list = MakeList(0, 120, 100, kStyleListNormal);
  list->SetTextPainter(&painter);
  list->Repaint();
  const uint32_t grey = AppearanceColors[acGrayText];
  EXPECT_EQ(list->ViewImage().GetPixel(5, 5), grey);
  EXPECT_EQ(list->ViewImage().GetPixel(90, 90), grey);
  EXPECT_FALSE(list->ScrollModel().enabled);

  list->Items() = NamedItems(3);
  list->Items()[1].name = "\x83\x75\x83\x89\x83\x56";  // "ブラシ" in code page 932
  list->SelectItem(1, true);
  painter.calls.clear();
  list->Repaint();
  ASSERT_EQ(painter.calls.size(), 3u);
  EXPECT_EQ(painter.calls[1].text, "ブラシ");
  EXPECT_EQ(painter.calls[1].format, kListTextFormat);
  EXPECT_EQ(painter.calls[1].colour, AppearanceColors[acHighlightText]);
  EXPECT_EQ(painter.calls[0].colour, AppearanceColors[acWindowText]);
  // Name to the right of the 31-pixel square, inset 3.
  EXPECT_EQ(painter.calls[0].rect.left, 31 + 3);
  const TMemoryGraphic& v = list->ViewImage();
  // Item 1: highlight fill, thumbnail in its colour, separator line at the bottom.
  EXPECT_EQ(v.GetPixel(60, 32 + 2), AppearanceColors[acHighlight]);
  EXPECT_EQ(v.GetPixel(15, 32 + 15), list->Items()[1].colour);
  EXPECT_EQ(v.GetPixel(60, 32 + 31), AppearanceColors[acWindowFrame]);
  EXPECT_EQ(v.GetPixel(60, 2), AppearanceColors[acBtnFace]);
  // The text rectangle measures the name.
  const TRect t = list->GetTextRect(1);
  EXPECT_EQ(t.left, 32 + 3);
  EXPECT_EQ(t.right - t.left, 9 * 6);
  list->SetTextPainter(nullptr);
}

TEST(ListViewCoreTest, PopupStripAndSingleItemStyles) {
  auto list = MakeList(5, 100, 24, kStyleSingle, 0);
  // Without option bit 0 a single-item view shows nothing.
  list->Repaint();
  EXPECT_EQ(list->ViewImage().GetPixel(10, 10), AppearanceColors[acGrayText]);
  list->SetOptions(kLvSelection);
  list->SelectItem(3, true);
  EXPECT_EQ(list->ViewImage().GetPixel(10, 10), list->Items()[3].colour);
  // The strip: left column frame, triangle rows of 5, 3 and 1 at y = h/2 - 1 .. h/2 + 1.
  const TMemoryGraphic& s = list->StripImage();
  ASSERT_EQ(s.Width(), 10);
  ASSERT_EQ(s.Height(), 20);
  const uint32_t frame = AppearanceColors[acWindowFrame];
  const uint32_t face = AppearanceColors[acBtnFace];
  EXPECT_EQ(s.GetPixel(0, 3), frame);
  for (int y = 0; y < 20; ++y) {
    for (int x = 1; x < 10; ++x) {
      const bool on = (y == 9 && x >= 3 && x <= 7) || (y == 10 && x >= 4 && x <= 6) || (y == 11 && x == 5);
      ASSERT_EQ(s.GetPixel(x, y), on ? frame : face) << x << "," << y;
    }
  }
  EXPECT_EQ(list->HitTestArea(90, 10), kAreaPopupStrip);
  EXPECT_EQ(list->HitTestArea(97, 10), kAreaPopupStrip);
  EXPECT_EQ(list->HitTestArea(98, 10), kAreaOutside);
  EXPECT_EQ(list->HitTestArea(30, 10), kAreaItem);
}

TEST(ListViewCoreTest, ToggleOfTheSingleItemStyle) {
  auto list = MakeList(5, 100, 24, kStyleSingleToggle);
  list->SelectItem(2, true);
  const TRect t = list->ToggleRect();
  EXPECT_EQ(t.left, list->ContentRect().left + 1);
  EXPECT_EQ(t.right - t.left, 11);
  EXPECT_EQ(t.top, list->ContentRect().top + (20 - 11) / 2);
  int changes = 0;
  list->OnChange = [&](CListViewCore&) { ++changes; };
  EXPECT_EQ(list->HitTestArea(t.left + 5, t.top + 5), kAreaToggle);
  EXPECT_EQ(list->HitTestArea(90, 10), kAreaPopupStrip);
  list->MouseDown(t.left + 5, t.top + 5, 0);
  EXPECT_TRUE(list->ToggleState());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list->GetSelected(), 2);
  list->MouseMove(t.left + 5, t.top + 5, false, 0);
  EXPECT_TRUE(list->HoverToggle());
  list->MouseLeave();
  EXPECT_FALSE(list->HoverToggle());
}

TEST(ListViewCoreTest, DropMarkerPixels) {
  // A list style: the marker at the top edge of the target row.
  auto list = MakeList(6, 100, 300, kStyleListNormal, kLvSelection | kLvDragSource | kLvDropTarget);
  list->SelectItem(0, false);
  const TRect c = list->ContentRect();
  ASSERT_TRUE(list->DragOver(list.get(), {c.left + 40, c.top + 32 * 3 + 5}, kDragEnter));
  EXPECT_EQ(list->DropIndex(), 3);
  const TMemoryGraphic& v = list->ViewImage();
  const uint32_t frame = AppearanceColors[acWindowFrame];
  const int32_t w = c.right - c.left;
  const int32_t edge = 96;
  for (int32_t x = 2; x < w - 2; ++x) {
    for (int32_t y = edge - 2; y <= edge; ++y) ASSERT_EQ(v.GetPixel(x, y), frame) << x << "," << y;
  }
  EXPECT_EQ(v.GetPixel(2, edge - 4), frame);
  EXPECT_EQ(v.GetPixel(2, edge + 2), frame);
  EXPECT_EQ(v.GetPixel(3, edge - 3), frame);
  EXPECT_EQ(v.GetPixel(3, edge + 1), frame);
  EXPECT_NE(v.GetPixel(3, edge + 2), frame);
  EXPECT_EQ(v.GetPixel(w - 3, edge - 4), frame);
  EXPECT_NE(v.GetPixel(w / 2, edge - 3), frame);
  // The own place and the place after it show no acceptance.
  EXPECT_FALSE(list->DragOver(list.get(), {c.left + 40, c.top + 5}, kDragMove));
  EXPECT_FALSE(list->DropShown());
  EXPECT_FALSE(list->DragOver(list.get(), {c.left + 40, c.top + 32 + 5}, kDragMove));

  // Icons: the two halves on the boundary.
  auto icons = MakeList(8, 24 * 4 + 18, 200, kStyleIconSmall, kLvSelection | kLvDragSource | kLvDropTarget);
  icons->SelectItem(7, false);
  const TRect ic = icons->ContentRect();
  ASSERT_TRUE(icons->DragOver(icons.get(), {ic.left + 24 + 5, ic.top + 24 + 5}, kDragEnter));
  ASSERT_EQ(icons->DropIndex(), 5);
  const TMemoryGraphic& iv = icons->ViewImage();
  const int32_t l = 24, t = 24, h = 24;
  for (int32_t y = t + 1; y < t + h - 2; ++y) {
    ASSERT_EQ(iv.GetPixel(l - 2, y), frame);
    ASSERT_EQ(iv.GetPixel(l - 1, y), frame);
    ASSERT_EQ(iv.GetPixel(l, y), frame);
  }
  EXPECT_EQ(iv.GetPixel(l - 4, t - 1), frame);
  EXPECT_EQ(iv.GetPixel(l + 2, t - 1), frame);
  EXPECT_NE(iv.GetPixel(l + 2, t), frame);
  EXPECT_EQ(iv.GetPixel(l - 3, t), frame);
  EXPECT_NE(iv.GetPixel(l - 4, t), frame);
  EXPECT_EQ(iv.GetPixel(l + 1, t), frame);
}

// ---------------------------------------------------------------------------------------------
// Clicks, hints

TEST(ListViewCoreTest, ClicksByModifierAndOption) {
  struct Case {
    uint16_t options;
    uint32_t keys;
    std::vector<std::string> names;
    int32_t selected;
  };
  const std::vector<std::string> none = {"item0", "item1", "item2", "item3"};
  const Case cases[] = {
      {kLvSelection, 0, none, 2},
      {kLvSelection | kLvDuplicateClick, kKeyCtrl | kKeyShift, {"item0", "item1", "item2", "item2", "item3"}, 2},
      {kLvSelection, kKeyCtrl | kKeyShift, none, 0},
      {kLvSelection | kLvDeleteClick, kKeyCtrl, {"item0", "item1", "item3"}, 0},
      {kLvSelection, kKeyCtrl, none, 0},
      {kLvSelection | kLvPutClick, kKeyShift, none, 0},  // putting the clicked item onto itself
      {kLvSelection | 0x03FF, kKeyAlt, none, 0},
      {kLvSelection | 0x03FF, kKeyAlt | kKeyCtrl, none, 0},
  };
  for (const Case& c : cases) {
    auto list = MakeList(4, 120, 200, kStyleListNormal, c.options);
    list->SelectItem(0, false);
    const TRect r = list->ContentRect();
    EXPECT_FALSE(list->MouseDown(r.left + 5, r.top + 32 * 2 + 5, c.keys));
    std::vector<std::string> names;
    for (const auto& item : list->Items()) names.push_back(item.name);
    EXPECT_EQ(names, c.names) << "options " << c.options << " keys " << c.keys;
    EXPECT_EQ(list->SelectedIndex(), c.selected) << "options " << c.options << " keys " << c.keys;
    EXPECT_EQ(list->Pressed(), c.keys == 0);
    // Border and scroll bar go to the parent.
    EXPECT_TRUE(list->MouseDown(0, 0, 0));
    EXPECT_TRUE(list->MouseDown(list->ContentRect().right + 4, 10, 0));
  }
}

TEST(ListViewCoreTest, EmptyAreaAppendsOrWarns) {
  RecordingWarningHost host;
  const std::vector<std::string>& warnings = host.Texts();
  WarningHost* former = SetWarningHost(&host);
  auto list = MakeList(3, 120, 200, kStyleListNormal, kLvSelection | kLvAppendClick);
  list->SelectItem(1, false);
  const TRect r = list->ContentRect();
  // The current index becomes the empty point's (-1): the base list has nothing to append.
  list->MouseDown(r.left + 5, r.bottom - 5, 0);
  EXPECT_EQ(list->Items().size(), 3u);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "操作に失敗しました！");
  // A list that appends its current item (as the swatch list appends a colour).
  class Appending : public StandInList {
   public:
    bool PutCurrentAt(int32_t index, bool redraw) override {
      current_ = 0;
      return StandInList::PutCurrentAt(index, redraw);
    }
  };
  Appending appending;
  appending.Items() = NamedItems(3);
  appending.SetOptions(kLvSelection | kLvAppendClick);
  appending.SetBounds(120, 200);
  appending.SetDisplayStyle(kStyleListNormal);
  appending.MouseDown(r.left + 5, r.bottom - 5, 0);
  EXPECT_EQ(appending.Items().size(), 4u);
  EXPECT_EQ(appending.Items().back().name, "item0");
  EXPECT_EQ(warnings.size(), 1u);
  SetWarningHost(former);
}

TEST(ListViewCoreTest, SubclassAreaIsLeftToTheSubclass) {
  class WithArea : public StandInList {
   public:
    int32_t HitTestArea(int32_t x, int32_t y) override {
      return x < ContentRect().left + 10 ? kAreaSubclass : StandInList::HitTestArea(x, y);
    }
  };
  WithArea list;
  list.Items() = NamedItems(4);
  list.SetOptions(kLvSelection | kLvDragSource | kLvDeleteClick);
  list.SetBounds(120, 200);
  list.SetDisplayStyle(kStyleListNormal);
  RecordingHost host;
  list.SetHost(&host);
  list.SelectItem(0, false);
  list.MouseDown(list.ContentRect().left + 3, list.ContentRect().top + 32 * 2 + 5, 0);
  EXPECT_EQ(list.CurrentIndex(), 0);
  EXPECT_EQ(list.SelectedIndex(), 0);
  EXPECT_FALSE(list.Pressed());
  list.MouseDown(list.ContentRect().left + 3, list.ContentRect().top + 32 * 2 + 5, kKeyCtrl);
  EXPECT_EQ(list.Items().size(), 4u);
  list.MouseMove(list.ContentRect().left + 3, list.ContentRect().top + 32 * 3 + 5, true, 0);
  EXPECT_EQ(host.drags, 0);
  list.SetHost(nullptr);
}

TEST(ListViewCoreTest, DragStartsPastTheThresholdFromAPressedDraggableItem) {
  RecordingHost host;
  auto list = MakeList(4, 120, 200, kStyleListNormal, kLvSelection | kLvDragSource);
  list->SetHost(&host);
  list->Items()[1].flags = kItemNoDrag;
  const TRect r = list->ContentRect();
  list->MouseDown(r.left + 20, r.top + 5, 0);
  list->MouseMove(r.left + 22, r.top + 7, true, 0);
  EXPECT_EQ(host.drags, 0);
  list->MouseMove(r.left + 20, r.top + 10, true, kKeyShift);
  EXPECT_EQ(host.drags, 0);
  list->MouseMove(r.left + 20, r.top + 10, true, 0);
  EXPECT_EQ(host.drags, 1);
  EXPECT_TRUE(list->Dragging());
  EXPECT_FALSE(host.showHint);
  EXPECT_EQ(list->GetItemState(0), kItemSelected | kItemPressed);
  list->MouseUp();
  EXPECT_FALSE(list->Dragging());
  EXPECT_TRUE(host.showHint);
  // An item that may not be dragged starts no drag.
  list->MouseDown(r.left + 20, r.top + 32 + 5, 0);
  list->MouseMove(r.left + 20, r.top + 32 + 15, true, 0);
  EXPECT_EQ(host.drags, 1);
  list->SetHost(nullptr);
}

TEST(ListViewCoreTest, HintsNameTheItem) {
  RecordingHost host;
  auto list = MakeList(3, 120, 200, kStyleListNormal);
  list->SetHost(&host);
  list->Items()[2].name.clear();
  const TRect r = list->ContentRect();
  list->MouseMove(r.left + 5, r.top + 5, false, 0);
  EXPECT_EQ(host.hint, "item0|クリック: [ item0 ] を選択");
  EXPECT_EQ(list->HintIndex(), 0);
  list->MouseMove(r.left + 5, r.top + 64 + 5, false, 0);
  EXPECT_EQ(host.hint, "(未定義)|クリック: [ (未定義) ] を選択");
  list->MouseMove(r.left + 5, r.top + 96 + 5, false, 0);
  EXPECT_EQ(host.hint, "");
  std::string hint = "kept";
  EXPECT_FALSE(FormatItemHint("%d|%s", "x", hint));
  EXPECT_EQ(hint, "kept");
  EXPECT_TRUE(FormatItemHint("100%% %s", "x", hint));
  EXPECT_EQ(hint, "100% x");
  list->SetHost(nullptr);
}

TEST(ListViewCoreTest, DoubleClickEditsTheCurrentEditableItem) {
  auto list = MakeList(3, 120, 200, kStyleListNormal, kLvSelection | kLvEditDoubleClick);
  list->Items()[2].flags = kItemNoEdit;
  const TRect r = list->ContentRect();
  list->MouseDown(r.left + 5, r.top + 5, 0);
  list->DoubleClick(r.left + 5, r.top + 5, 0);
  list->DoubleClick(r.left + 5, r.top + 5, kKeyCtrl);
  list->MouseDown(r.left + 5, r.top + 64 + 5, 0);
  list->DoubleClick(r.left + 5, r.top + 64 + 5, 0);
  list->DoubleClick(r.left + 5, r.top + 32 + 5, 0);  // not the current item
  EXPECT_EQ(list->edited, (std::vector<int32_t>{0}));
  list->SetOptions(kLvSelection);
  list->MouseDown(r.left + 5, r.top + 5, 0);
  list->DoubleClick(r.left + 5, r.top + 5, 0);
  EXPECT_EQ(list->edited.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Item operations against a plain reference

struct Reference {
  std::vector<StandInItem> items;
  bool Fixed(int32_t i) const { return i >= 0 && i < int32_t(items.size()) && (items[i].flags & kItemFixed) != 0; }
  bool Valid(int32_t i) const { return i >= 0 && i < int32_t(items.size()); }
  bool Insert(int32_t at, int32_t from) {
    if (!Valid(from) || Fixed(at)) return false;
    const StandInItem copy = items[from];
    if (!Valid(at)) at = int32_t(items.size());
    items.insert(items.begin() + at, copy);
    return true;
  }
  bool Move(int32_t to, int32_t from) {
    to = std::clamp(to, 0, int32_t(items.size()));
    if (!Valid(from) || to == from || to == from + 1 || Fixed(from) || Fixed(to)) return false;
    const StandInItem item = items[from];
    items.erase(items.begin() + from);
    items.insert(items.begin() + (to > from ? to - 1 : to), item);
    return true;
  }
  bool Replace(int32_t to, int32_t from) {
    if (to == from || !Valid(to) || !Valid(from) || Fixed(to)) return false;
    items[to] = items[from];
    return true;
  }
};

TEST(ListViewCoreTest, ItemOperationsMatchAPlainReference) {
  for (uint64_t seed : {1u, 7u, 42u, 1234u}) {
    test::XorShiftRng rng(seed);
    StandInList list;
    StandInList other;
    list.Items() = NamedItems(6);
    other.Items() = NamedItems(3, "other");
    for (StandInList* l : {&list, &other}) {
      l->SetOptions(kLvSelection);
      l->SetBounds(120, 300);
      l->SetDisplayStyle(kStyleListSmall);
    }
    list.Items()[1].flags = kItemFixed;
    list.Items()[4].flags = kItemFixed | kItemNoDrag;
    Reference ref{list.Items()};
    Reference otherRef{other.Items()};
    for (int step = 0; step < 400; ++step) {
      const int32_t n = int32_t(list.Items().size());
      const int32_t a = int32_t(rng.Next() % uint32_t(n + 3)) - 1;  // -1 .. n + 1
      const int32_t b = int32_t(rng.Next() % uint32_t(n + 2)) - 1;
      const int32_t current = int32_t(rng.Next() % uint32_t(n));
      list.SetCurrentIndex(current);
      bool done = false, expected = false;
      const uint32_t op = rng.Next() % 7;
      switch (op) {
        case 0: done = list.MoveItem(a, b, false), expected = ref.Move(a, b); break;
        case 1: done = list.ReplaceItem(a, b, false), expected = ref.Replace(a, b); break;
        case 2:
          done = list.PutCurrentAt(a, false);
          expected = ref.Valid(a) ? ref.Replace(a, current) : ref.Insert(a, current);
          break;
        case 3: done = list.DuplicateItem(a, false), expected = ref.Insert(a, current); break;
        case 4: {
          done = list.CopyCurrentTo(&other, a, false);
          // Refused onto a fixed item (copies of fixed items stay fixed).
          expected = !otherRef.Fixed(a);
          const int32_t at = otherRef.Valid(a) ? a : int32_t(otherRef.items.size());
          if (expected) otherRef.items.insert(otherRef.items.begin() + at, ref.items[current]);
          break;
        }
        case 5: done = list.ReplaceItem(b, a, false), expected = ref.Replace(b, a); break;
        case 6:
          done = list.DeleteItem(a, false);
          expected = ref.Valid(a) && !ref.Fixed(a);
          if (expected) ref.items.erase(ref.items.begin() + a);
          break;
      }
      ASSERT_EQ(done, expected) << "seed " << seed << " step " << step << " op " << op << " a " << a << " b " << b
                                << " current " << current;
      ASSERT_EQ(list.Items(), ref.items) << "seed " << seed << " step " << step;
      ASSERT_EQ(other.Items(), otherRef.items) << "seed " << seed << " step " << step;
      if (other.Items().size() > 30) {
        other.Items().resize(3);
        otherRef.items.resize(3);
      }
      if (list.Items().size() > 40) {
        list.Items().resize(20);
        ref.items.resize(20);
      }
      if (list.Items().size() < 3) {
        list.Items() = NamedItems(6);
        ref.items = list.Items();
      }
    }
  }
}

TEST(ListViewCoreTest, CopiesBetweenViewsFollowTheDestinationsRules) {
  StandInList a, b;
  OtherStandInList c;
  a.Items() = NamedItems(3, "a");
  b.Items() = NamedItems(2, "b");
  c.Items() = NamedItems(2, "c");
  b.Items()[0].flags = kItemFixed;
  for (CListViewCore* l : {static_cast<CListViewCore*>(&a), static_cast<CListViewCore*>(&b), static_cast<CListViewCore*>(&c)}) {
    l->SetOptions(kLvSelection | kLvDragSource | kLvDropTarget);
    l->SetBounds(120, 300);
    l->SetDisplayStyle(kStyleListNormal);
  }
  a.SetCurrentIndex(2);
  const TRect r = b.ContentRect();
  // Past the end of another view: appended there, the source keeps it.
  EXPECT_TRUE(b.DragOver(&a, {r.left + 5, r.top + 250}, kDragEnter));
  b.DragDrop(&a, {r.left + 5, r.top + 250});
  ASSERT_EQ(b.Items().size(), 3u);
  EXPECT_EQ(b.Items()[2].name, "a2");
  EXPECT_EQ(a.Items().size(), 3u);
  EXPECT_FALSE(b.Dragging());
  // Onto a fixed item: refused by the destination's copy.
  b.DragDrop(&a, {r.left + 5, r.top + 5});
  EXPECT_EQ(b.Items().size(), 3u);
  // Another class: refused, nothing changes.
  EXPECT_FALSE(c.DragOver(&a, {r.left + 5, r.top + 5}, kDragEnter));
  c.DragDrop(&a, {r.left + 5, r.top + 5});
  EXPECT_EQ(c.Items().size(), 2u);
  // No drops without option 0x0100.
  b.SetOptions(kLvSelection);
  EXPECT_FALSE(b.DragOver(&a, {r.left + 5, r.top + 250}, kDragMove));
  // Reorder within a view.
  a.SetCurrentIndex(0);
  EXPECT_TRUE(a.DragOver(&a, {r.left + 5, r.top + 32 * 2 + 20}, kDragEnter));
  a.DragDrop(&a, {r.left + 5, r.top + 32 * 2 + 20});
  std::vector<std::string> names;
  for (const auto& item : a.Items()) names.push_back(item.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a1", "a2", "a0"}));
  EXPECT_EQ(a.GetSelected(), 2);
}

// ---------------------------------------------------------------------------------------------
// Popup link

using test::SharedSelectionList;

struct StandInPopup : ListPopup {
  explicit StandInPopup(std::shared_ptr<test::StandInCollection> items) : view(std::move(items)) {
    view.SetOptions(kLvSelection);
    view.SetBounds(120, 200);
    view.SetDisplayStyle(kStyleListNormal);
  }
  CListViewCore* PopupView() override { return &view; }
  int32_t PopupResult() const override { return result; }
  int32_t OpenIndex() const override { return openIndex; }
  void ShowPopup(int32_t x, int32_t y, const TRect& a, std::function<void()> o, std::function<void()> c) override {
    at = {x, y};
    avoid = a;
    opened = std::move(o);
    closed = std::move(c);
    opened();
  }
  SharedSelectionList view;
  int32_t result = 0;
  int32_t openIndex = -1;
  TPoint at{};
  TRect avoid{};
  std::function<void()> opened, closed;
};

// A list with a popup over its collection.
class PopupList : public SharedSelectionList {
 public:
  using SharedSelectionList::SharedSelectionList;
  bool OpenPopup() override {
    if (popup_ != nullptr) return false;
    made = std::make_unique<StandInPopup>(Collection());
    made->openIndex = GetSelected();
    popup_ = made.get();
    return true;
  }
  bool ClosePopup() override {
    popup_ = nullptr;
    ++closes;
    return true;
  }
  std::unique_ptr<StandInPopup> made;
  int closes = 0;
};

TEST(ListViewCoreTest, PopupAcceptedOrCancelled) {
  RecordingHost host;
  PopupList list;
  list.Items() = NamedItems(10);
  list.SetOptions(kLvSelection);
  list.SetBounds(100, 40);
  list.SetDisplayStyle(kStyleStrip);
  list.SetHost(&host);
  list.SelectItem(4, true);
  int changes = 0;
  list.OnChange = [&](CListViewCore&) { ++changes; };
  list.SetModified(true);
  ASSERT_FALSE(list.MouseDown(list.ContentRect().right + 3, 10, 0));
  ASSERT_NE(list.made, nullptr);
  StandInPopup& popup = *list.made;
  EXPECT_EQ(popup.at, (TPoint{1000, 2040}));
  EXPECT_EQ(popup.avoid, (TRect{1000, 2000, 1100, 2040}));
  EXPECT_TRUE(popup.view.GetModified());
  // A choice in the popup reaches the view.
  popup.view.SelectItem(7, true);
  EXPECT_EQ(list.GetSelected(), 7);
  // Cancelled: back to the item selected when it opened.
  popup.result = 2;
  popup.closed();
  EXPECT_EQ(list.GetSelected(), 4);
  EXPECT_EQ(list.Popup(), nullptr);
  EXPECT_EQ(list.closes, 1);

  ASSERT_FALSE(list.MouseDown(list.ContentRect().right + 3, 10, 0));
  list.made->view.SelectItem(8, true);
  list.made->view.SetModified(false);
  EXPECT_FALSE(list.GetModified());
  const int before = changes;
  list.made->result = 1;
  list.made->closed();
  EXPECT_EQ(list.GetSelected(), 8);
  EXPECT_GT(changes, before);
  list.SetHost(nullptr);
}

}  // namespace
}  // namespace tf
