#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <memory>
#include <string>
#include <vector>

#include "MouseDriver.h"
#include "palettes/ItemDrag.h"
#include "palettes/ListView.h"
#include "palettes/PenMethodListView.h"
#include "paint/PenMethod.h"
#include "paint/PenSetting.h"
#include "paint/Stroke.h"
#include "raster/Appearance.h"
#include "support/StandInList.h"
#include "ui/PopupBase.h"

namespace tf {
namespace {

using namespace tf::test;

// A parent that sees the presses and wheel events its children pass on.
class Parent : public QWidget {
 public:
  int presses = 0;

 protected:
  void mousePressEvent(QMouseEvent*) override { ++presses; }
};

std::vector<std::string> Names(StandInList& list) {
  std::vector<std::string> names;
  for (const auto& item : list.Items()) names.push_back(item.name);
  return names;
}

struct Lists {
  Parent top;
  TtFListView* a;
  TtFListView* b;
  TtFListView* c;
  Lists() {
    top.resize(560, 360);
    a = Make(std::make_unique<StandInList>(), 10, 6, "a");
    b = Make(std::make_unique<StandInList>(), 200, 3, "b");
    c = Make(std::make_unique<OtherStandInList>(), 390, 3, "c");
  }
  TtFListView* Make(std::unique_ptr<StandInList> core, int x, int count, const char* prefix) {
    core->Items() = NamedItems(count, prefix);
    core->SetOptions(kLvSelection | kLvDragSource | kLvDropTarget | kLvDeleteClick);
    auto* view = new TtFListView(std::move(core), &top);
    view->Core().SetDisplayStyle(kStyleListNormal);
    view->setGeometry(x, 10, 150, 32 * 8 + 4);
    return view;
  }
  StandInList& Of(TtFListView* v) { return static_cast<StandInList&>(v->Core()); }
  // The middle of row r of a list.
  static QPoint Row(TtFListView* v, int r, int dy = 16) { return {40, v->Core().ContentRect().top + 32 * r + dy}; }
  // Drags from one point of a list to a point of another, in steps the drag threshold passes.
  void Drag(TtFListView* from, QPoint start, TtFListView* to, QPoint end, bool release = true) {
    Press(from, start);
    MoveTo(from, start + QPoint(0, 3));
    MoveTo(from, start + QPoint(0, QApplication::startDragDistance() + 2));
    const QPoint target = from->mapFromGlobal(to->mapToGlobal(end));
    MoveTo(from, (start + target) / 2);
    MoveTo(from, target);
    if (release) Release(from, target);
  }
};

TEST(ListViewTest, DragReordersWithinAListAndCopiesBetweenLists) {
  Lists f;
  ASSERT_TRUE(ShowWindow(&f.top));
  // Reorder: item 0 after item 3 (the back half of row 3).
  f.Drag(f.a, Lists::Row(f.a, 0), f.a, Lists::Row(f.a, 3, 20));
  EXPECT_FALSE(ItemDrag::Active());
  EXPECT_EQ(Names(f.Of(f.a)), (std::vector<std::string>{"a1", "a2", "a3", "a0", "a4", "a5"}));
  EXPECT_EQ(f.a->Core().GetSelected(), 3);
  EXPECT_FALSE(f.a->Core().Dragging());
  EXPECT_FALSE(f.a->Timer().isActive());
  // Copy into another list of the same class, past its last item: appended, the source keeps it.
  f.Drag(f.a, Lists::Row(f.a, 1), f.b, Lists::Row(f.b, 6));
  EXPECT_EQ(Names(f.Of(f.b)), (std::vector<std::string>{"b0", "b1", "b2", "a2"}));
  EXPECT_EQ(f.Of(f.a).Items().size(), 6u);
  EXPECT_FALSE(f.b->Core().Dragging());
  EXPECT_FALSE(f.b->Timer().isActive());
  // A list of another class takes nothing.
  f.Drag(f.a, Lists::Row(f.a, 1), f.c, Lists::Row(f.c, 1));
  EXPECT_EQ(f.Of(f.c).Items().size(), 3u);
  // Nor does a list without drops.
  f.b->Core().SetOptions(kLvSelection | kLvDragSource);
  f.Drag(f.a, Lists::Row(f.a, 1), f.b, Lists::Row(f.b, 1));
  EXPECT_EQ(f.Of(f.b).Items().size(), 4u);
  // An item that may not be dragged starts no drag.
  f.Of(f.a).Items()[2].flags = kItemNoDrag;
  f.Drag(f.a, Lists::Row(f.a, 2), f.a, Lists::Row(f.a, 5), false);
  EXPECT_FALSE(ItemDrag::Active());
  Release(f.a, Lists::Row(f.a, 5));
  EXPECT_EQ(Names(f.Of(f.a))[2], "a3");
}

TEST(ListViewTest, MarkerAutoScrollAndEscape) {
  Lists f;
  f.Of(f.b).Items() = NamedItems(40, "b");
  f.b->Core().UpdateScrollBar();
  ASSERT_TRUE(ShowWindow(&f.top));
  f.b->Core().SetScrollPos(10);
  // Hover over the top edge of b: the marker shows and b's timer runs.
  f.Drag(f.a, Lists::Row(f.a, 0), f.b, {40, 5}, false);
  ASSERT_TRUE(ItemDrag::Active());
  EXPECT_EQ(ItemDrag::Target(), f.b);
  EXPECT_TRUE(ItemDrag::Accepted());
  EXPECT_TRUE(f.b->Core().DropShown());
  EXPECT_TRUE(f.b->Timer().isActive());
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::DragMoveCursor);
  const uint32_t frame = AppearanceColors[acWindowFrame];
  EXPECT_EQ(f.b->Core().ViewImage().GetPixel(60, 0), frame);
  // The tick reads the drag's point: one row up.
  f.b->Core().TimerTick();
  EXPECT_EQ(f.b->Core().GetScrollPos(), 9);
  EXPECT_EQ(f.b->Timer().interval(), 20 + 3 * 480 / 31);
  // Leaving b stops its timer.
  MoveTo(f.a, f.a->mapFromGlobal(f.top.mapToGlobal(QPoint(180, 200))));
  EXPECT_EQ(ItemDrag::Target(), nullptr);
  EXPECT_FALSE(f.b->Timer().isActive());
  EXPECT_FALSE(f.b->Core().Dragging());
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ForbiddenCursor);
  // Back over b, then Escape: the drag ends, nothing is dropped.
  MoveTo(f.a, f.a->mapFromGlobal(f.b->mapToGlobal(Lists::Row(f.b, 2))));
  EXPECT_TRUE(ItemDrag::Accepted());
  QTest::keyClick(WindowOf(&f.top), Qt::Key_Escape);
  EXPECT_FALSE(ItemDrag::Active());
  EXPECT_FALSE(f.b->Core().DropShown());
  EXPECT_FALSE(f.a->Core().Dragging());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  Release(f.a, f.a->mapFromGlobal(f.b->mapToGlobal(Lists::Row(f.b, 2))));
  EXPECT_EQ(f.Of(f.b).Items().size(), 40u);
  EXPECT_EQ(f.Of(f.a).Items().size(), 6u);
}

TEST(ListViewTest, ClicksDoubleClicksAndPassedOnPresses) {
  Lists f;
  f.a->Core().SetOptions(kLvSelection | kLvDeleteClick | kLvEditDoubleClick);
  ASSERT_TRUE(ShowWindow(&f.top));
  Click(f.a, Lists::Row(f.a, 2));
  EXPECT_EQ(f.a->Core().GetSelected(), 2);
  Click(f.a, Lists::Row(f.a, 4), Qt::ControlModifier);
  EXPECT_EQ(Names(f.Of(f.a)), (std::vector<std::string>{"a0", "a1", "a2", "a3", "a5"}));
  // The double click edits, and only once (no press of its own).
  Click(f.a, Lists::Row(f.a, 1));
  DoubleClick(f.a, Lists::Row(f.a, 1));
  EXPECT_EQ(f.Of(f.a).edited, std::vector<int32_t>{1});
  // The border and the scroll bar's place pass presses on to the parent.
  const int before = f.top.presses;
  Click(f.a, {0, 50});
  EXPECT_EQ(f.top.presses, before + 1);
  Click(f.a, Lists::Row(f.a, 0));
  EXPECT_EQ(f.top.presses, before + 1);
}

TEST(ListViewTest, ScrollBarIsASiblingDrivenByTheUserOnly) {
  Lists f;
  f.Of(f.a).Items() = NamedItems(30, "a");
  ASSERT_TRUE(ShowWindow(&f.top));
  f.a->Core().UpdateScrollBar();
  QScrollBar* bar = f.a->ScrollBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->parentWidget(), &f.top);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->geometry(), QRect(10 + 150 - 16, 12, 14, 32 * 8));
  // Model range 0 .. 29 with page 8; Qt's maximum is the last position.
  const SListScrollModel& m = f.a->Core().ScrollModel();
  // 30 rows and one more for the last row's separator line; page 8.
  EXPECT_EQ(m.maximum, 30);
  EXPECT_EQ(bar->maximum(), 30 - 8 + 1);
  EXPECT_EQ(bar->pageStep(), 8);
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(f.a->Core().GetScrollPos(), 1);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(f.a->Core().GetScrollPos(), 23);
  EXPECT_FALSE(f.a->Core().UserScrolling());
  // A value set from code is not a user's scroll.
  bar->setValue(3);
  EXPECT_EQ(f.a->Core().GetScrollPos(), 23);
  // The list moves: the bar goes with it.
  f.a->move(30, 20);
  EXPECT_EQ(bar->geometry().topLeft(), QPoint(30 + 150 - 16, 22));
  // The strip styles hide it.
  f.a->Core().SetDisplayStyle(kStyleStrip);
  EXPECT_FALSE(bar->isVisible());
}

TEST(ListViewTest, WheelStepsRowsAndPassesUnusedEventsOn) {
  Lists f;
  f.Of(f.a).Items() = NamedItems(30, "a");
  ASSERT_TRUE(ShowWindow(&f.top));
  f.a->Core().UpdateScrollBar();
  f.a->Core().SetScrollPos(5);
  auto wheel = [&](TtFListView* v, int delta) {
    const QPointF p(40, 40);
    QWheelEvent e(p, v->mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(v, &e);
    return e.isAccepted();
  };
  EXPECT_TRUE(wheel(f.a, -120));
  EXPECT_EQ(f.a->Core().GetScrollPos(), 6);
  for (int i = 0; i < 8; ++i) wheel(f.a, 15);
  EXPECT_EQ(f.a->Core().GetScrollPos(), 5);
  // b has no bar to move, a strip never scrolls: the event is left for the parent.
  EXPECT_FALSE(wheel(f.b, 120));
  f.a->Core().SetDisplayStyle(kStyleStrip);
  EXPECT_FALSE(wheel(f.a, 120));
}

// The popup of a stand-in list: a popup form holding a list of the same class over the same
// collection.
class StandInPopupForm : public TPopupBaseForm, public ListPopup {
 public:
  StandInPopupForm(std::shared_ptr<StandInCollection> items, int32_t openIndex) : openIndex_(openIndex) {
    auto core = std::make_unique<SharedSelectionList>(std::move(items));
    core->SetOptions(kLvSelection);
    view = new TtFListView(std::move(core), this);
    view->Core().SetDisplayStyle(kStyleListSmall);
    view->setGeometry(0, 0, 160, 200);
    resize(160, 200);
    OnPopupOpen = [this](TPopupBaseForm*) {
      if (opened_) opened_();
    };
    OnPopupClose = [this](TPopupBaseForm*) {
      if (closed_) closed_();
    };
  }
  CListViewCore* PopupView() override { return &view->Core(); }
  int32_t PopupResult() const override { return Result(); }
  int32_t OpenIndex() const override { return openIndex_; }
  void ShowPopup(int32_t x, int32_t y, const TRect& avoid, std::function<void()> opened,
                 std::function<void()> closed) override {
    opened_ = std::move(opened);
    closed_ = std::move(closed);
    Popup(x, y, &avoid);
  }
  TtFListView* view;

 private:
  int32_t openIndex_;
  std::function<void()> opened_, closed_;
};

class PopupList : public SharedSelectionList {
 public:
  using SharedSelectionList::SharedSelectionList;
  bool OpenPopup() override {
    if (popup_ != nullptr) return false;
    form = new StandInPopupForm(Collection(), GetSelected());
    popup_ = form;
    return true;
  }
  bool ClosePopup() override {
    popup_ = nullptr;
    form->deleteLater();
    form = nullptr;
    return true;
  }
  QPointer<StandInPopupForm> form;
};

TEST(ListViewTest, PopupAcceptedAndCancelled) {
  Parent top;
  top.resize(300, 200);
  auto core = std::make_unique<PopupList>();
  core->Items() = NamedItems(12, "p");
  core->SetOptions(kLvSelection);
  PopupList* list = core.get();
  auto* view = new TtFListView(std::move(core), &top);
  view->Core().SetDisplayStyle(kStyleStrip);
  view->setGeometry(10, 10, 200, 34);
  ASSERT_TRUE(ShowWindow(&top));
  list->SelectItem(4, true);
  const QPoint strip(200 - 6, 17);
  Click(view, strip);
  ASSERT_NE(list->form, nullptr);
  ASSERT_TRUE(list->form->IsShown());
  EXPECT_EQ(list->form->pos(), view->mapToGlobal(QPoint(0, 34)));
  // A choice inside the popup shows in the list at once.
  TtFListView* inner = list->form->view;
  // The popup's list shows the selected item (it scrolled it to its top row).
  auto itemAt = [](TtFListView* v, int32_t i) {
    return QPoint(30, v->Core().ContentRect().top + 24 * (i - v->Core().GetScrollPos()) + 5);
  };
  EXPECT_EQ(inner->Core().ItemAtPos(30, itemAt(inner, 4).y()), 4);
  Click(inner, itemAt(inner, 7));
  EXPECT_EQ(list->GetSelected(), 7);
  EXPECT_TRUE(list->IsVisibleIndex(7));
  // Escape cancels: the selection goes back.
  QTest::keyClick(WindowOf(inner), Qt::Key_Escape);
  EXPECT_EQ(list->GetSelected(), 4);
  EXPECT_EQ(list->form, nullptr);
  QApplication::processEvents();
  // Accepted: the choice stays.
  Click(view, strip);
  ASSERT_NE(list->form, nullptr);
  inner = list->form->view;
  Click(inner, itemAt(inner, 9));
  QTest::keyClick(WindowOf(inner), Qt::Key_Return);
  EXPECT_EQ(list->GetSelected(), 9);
  EXPECT_EQ(list->form, nullptr);
  QApplication::processEvents();
}

TEST(ListViewTest, PaneDeletingItsChildrenFirstOrLast) {
  {
    auto* pane = new QWidget;
    auto* view = new TtFListView(std::make_unique<StandInList>(), pane);
    QPointer<QScrollBar> bar = view->ScrollBar();
    ASSERT_EQ(bar->parentWidget(), pane);
    delete pane;
    EXPECT_TRUE(bar.isNull());
  }
  {
    QWidget pane;
    auto* view = new TtFListView(std::make_unique<StandInList>(), &pane);
    QPointer<QScrollBar> bar = view->ScrollBar();
    delete view;
    EXPECT_TRUE(bar.isNull());
  }
  {
    // A list made without a parent takes its bar along when it gets one.
    QWidget pane;
    auto* view = new TtFListView(std::make_unique<StandInList>());
    view->setParent(&pane);
    EXPECT_EQ(view->ScrollBar()->parentWidget(), &pane);
    QWidget other;
    view->setParent(&other);
    EXPECT_EQ(view->ScrollBar()->parentWidget(), &other);
  }
}

TEST(ListViewTest, HintsGiveTheTooltipAndTheHintLine) {
  Lists f;
  ASSERT_TRUE(ShowWindow(&f.top));
  MoveTo(f.a, Lists::Row(f.a, 1));
  EXPECT_EQ(f.a->TipText().toStdString(), "a1");
  EXPECT_EQ(f.a->LongHint().toStdString(), "クリック: [ a1 ] を選択");
  EXPECT_EQ(f.a->statusTip(), f.a->LongHint());
}

TEST(ListViewTest, BrushPaneOverTheRealBrushSet) {
  CPenMethodMngr set;
  ASSERT_TRUE(set.AddMissingKinds());
  for (int i = 0; i < 9; ++i) set.Add(CPenMethodObj::CreateCopy(*set.GetItem(i % 3)));
  TStroke stroke(2);
  CPenSettingBlock block;
  block.SetDefaults();
  Parent top;
  top.resize(260, 320);
  auto* pane = new TPenMethodListView(&top);
  pane->setGeometry(5, 5, 210, 300);
  CPenMethodListCore& items = pane->Items();
  items.SetOptions(kLvSelection | kLvDeleteClick | kLvDragSource);
  items.SetDisplayStyle(kStyleListLarge);
  items.BindSet(&set, &stroke, &block);
  items.SetPaintKind(9);
  ASSERT_TRUE(ShowWindow(&top));
  EXPECT_EQ(pane->TipText().toStdString(), "E: 左のアイテムを選択, R: 右のアイテムを選択");
  ASSERT_EQ(items.GetCount(), 4);
  Click(pane, {60, items.ContentRect().top + 48 + 20});
  EXPECT_EQ(items.GetSelected(), 1);
  // Ctrl+click takes brushes away, never the last of the kind.
  Click(pane, {60, items.ContentRect().top + 20}, Qt::ControlModifier);
  Click(pane, {60, items.ContentRect().top + 20}, Qt::ControlModifier);
  Click(pane, {60, items.ContentRect().top + 20}, Qt::ControlModifier);
  Click(pane, {60, items.ContentRect().top + 20}, Qt::ControlModifier);
  EXPECT_EQ(items.GetCount(), 1);
  EXPECT_EQ(set.Count(), 15);
  // The pencil's icon is drawn in the cell.
  const TMemoryGraphic& v = items.ViewImage();
  bool drawn = false;
  for (int y = 4; y < 44 && !drawn; ++y) {
    for (int x = 4; x < 44 && !drawn; ++x) drawn = v.GetPixel(x, y) != AppearanceColors[acHighlight];
  }
  EXPECT_TRUE(drawn);
  items.UnbindSet();
}

}  // namespace
}  // namespace tf
