#include "ui/DockFloat.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWheelEvent>
#include <memory>
#include <vector>

#include "MouseDriver.h"
#include "platform/Screen.h"

namespace tf {
namespace {

using namespace tf::test;

class Owner : public DockFloatOwner {
 public:
  QWidget window;
  bool hasArea = false;
  TRect area{0, 0, 0, 0};
  bool hasDocument = true;
  intptr_t answer = 0;
  int asked = 0;
  int focused = 0;

  QWidget* DockOwnerWindow() override { return &window; }
  bool DockOwnerDocumentArea(TRect& r) override {
    r = area;
    return hasArea;
  }
  bool DockOwnerAnswer(SDockMessage& m) override {
    ++asked;
    if (!hasDocument) return false;
    m.result = answer;
    return true;
  }
  void DockOwnerFocus() override { ++focused; }
};

class View : public TCustomDockView {
 public:
  intptr_t answer = 0;
  int asked = 0;
  intptr_t DockMessage(SDockMessage&) override {
    ++asked;
    return answer;
  }
};

void FreeLater() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// One form at (300, 200): pane 0 holds v1 and v2 (v2 selected), pane 1 holds v3.
struct DockFixture {
  HeadlessScreenHost screen;
  ScreenHost* oldScreen = nullptr;
  Owner owner;
  View v1, v2, v3;
  std::unique_ptr<TDockFloatManager> manager;
  TDockFloatForm* a = nullptr;

  DockFixture() {
    screen.monitorList = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
    oldScreen = SetScreenHost(&screen);
    owner.window.setGeometry(100, 100, 1000, 700);
    owner.window.show();
    manager = std::make_unique<TDockFloatManager>(&owner);
    a = manager->CreateFloatForm();
    a->setWindowTitle(QStringLiteral("Tools"));
    a->move(300, 200);
    v1.SetCaption("Layers");
    v2.SetCaption("Masks");
    v3.SetCaption("Colour");
    a->DockView(0, &v1);
    a->DockView(0, &v2);
    a->DockView(1, &v3);
    a->ShowSiteKeepBounds();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(a));
  }
  ~DockFixture() {
    manager.reset();
    SetScreenHost(oldScreen);
  }

  // Drags the view's tab from its pane to a screen point and drops it there.
  void DragTab(TCustomDockView* view, QPoint screenPoint) {
    TDockViewManager* pane = view->Pane();
    ASSERT_NE(pane, nullptr);
    const QPoint tab(view->TabLeft() + 12, pane->IsFirst() ? 9 : 13);
    Press(pane, tab);
    MoveTo(pane, tab + QPoint(QApplication::startDragDistance() + 2, 0));
    ASSERT_NE(manager->Drag(), nullptr);
    MoveTo(pane, pane->mapFromGlobal(screenPoint));
    Release(pane, pane->mapFromGlobal(screenPoint));
    FreeLater();
  }
  QPoint ClientPoint(TDockFloatForm* form, int x, int y) { return form->Client()->mapToGlobal(QPoint(x, y)); }
};

TEST(DockFloatTest, TabsOverlapAndTheSelectedOneWinsTheHitTest) {
  DockFixture f;
  TDockViewManager* pane = f.a->GetSiteManager(0);
  EXPECT_EQ(pane->SelectedView(), &f.v2);
  EXPECT_EQ(f.v1.TabLeft(), 4);
  EXPECT_EQ(f.v2.TabLeft(), 4 + f.v1.GetTabWidth() - 9);
  // A point where both tabs are drawn.
  QPoint overlap(-1, 9);
  for (int x = f.v2.TabLeft(); x < f.v1.TabLeft() + f.v1.GetTabWidth(); ++x) {
    if ((f.v1.GetTabImage(false).GetPixel(x - f.v1.TabLeft(), 8) >> 24) != 0 &&
        (f.v2.GetTabImage(true).GetPixel(x - f.v2.TabLeft(), 8) >> 24) != 0) {
      overlap.setX(x);
      break;
    }
  }
  ASSERT_GE(overlap.x(), 0);
  EXPECT_EQ(pane->TabAtPos(overlap), 1);
  Click(pane, {f.v1.TabLeft() + 12, 9});
  EXPECT_EQ(pane->SelectedView(), &f.v1);
  EXPECT_EQ(pane->TabAtPos(overlap), 0);
  EXPECT_TRUE(f.v1.isVisible());
  EXPECT_FALSE(f.v2.isVisible());
  EXPECT_EQ(f.v1.GetViewState(), 0);
  EXPECT_EQ(f.v2.GetViewState(), 1);
  // The second pane has the splitter strip and the taller header.
  EXPECT_EQ(f.a->GetSiteManager(1)->height(), kPaneHeader);
  EXPECT_EQ(pane->height(), kFirstPaneHeader);
}

TEST(DockFloatTest, MenuButtonOpensTheSelectedViewsMenuUnderTheHeader) {
  DockFixture f;
  TDockViewManager* pane = f.a->GetSiteManager(1);
  const QRect button = pane->MenuButtonRect();
  EXPECT_EQ(button, QRect(pane->width() - 19, 2 + (kPaneHeader - 15) / 2, 17, 15));
  Click(pane, button.center());  // no menu: nothing opens, no drag
  EXPECT_EQ(pane->MouseMode(), 0);
  QMenu menu;
  menu.addAction(QStringLiteral("Reset"));
  f.v3.SetPopupMenu(&menu);
  QPoint openedAt;
  QTimer::singleShot(0, [&] {
    openedAt = menu.pos();
    menu.close();
  });
  Click(pane, button.center());
  EXPECT_EQ(openedAt, pane->mapToGlobal(QPoint(button.left(), pane->height())));
  f.v3.SetPopupMenu(nullptr);
}

// A saved layout may name a view that is not there: nothing changes.
TEST(DockFloatTest, SetActiveViewRefusesAnIndexNamingNoView) {
  DockFixture f;
  TDockViewManager* pane = f.a->GetSiteManager(0);
  const QRect before = f.a->geometry();
  EXPECT_FALSE(pane->SetActiveView(2));
  EXPECT_FALSE(pane->SetActiveView(-1));
  EXPECT_EQ(pane->SelectedIndex(), 1);
  EXPECT_TRUE(f.v2.isVisible());
  EXPECT_EQ(f.a->geometry(), before);
}

TEST(DockFloatTest, ViewDraggedOutToANewFormAndBackAsTabAboveBetweenAndBelow) {
  DockFixture f;
  // Out, to where no form is.
  f.DragTab(&f.v2, {1400, 800});
  ASSERT_EQ(f.manager->GetFormCount(), 2);
  QPointer<TDockFloatForm> b = f.v2.GetFloatForm();
  ASSERT_NE(b.data(), f.a);
  EXPECT_EQ(f.manager->IndexOfForm(b), 1);
  EXPECT_TRUE(b->isVisible());
  EXPECT_TRUE(b->geometry().contains(QPoint(1400, 800))) << b->geometry().x() << "," << b->geometry().y();
  EXPECT_EQ(f.a->GetSiteManager(0)->GetViewCount(), 1);
  EXPECT_EQ(f.a->GetSiteManager(0)->SelectedView(), &f.v1);

  // Back as a tab of the first pane: the form it leaves empty is freed, the view lives on.
  f.DragTab(&f.v2, f.ClientPoint(f.a, 60, 50));
  EXPECT_TRUE(b.isNull());
  EXPECT_EQ(f.manager->GetFormCount(), 1);
  EXPECT_EQ(f.v2.GetFloatForm(), f.a);
  EXPECT_EQ(f.a->SiteIndexOfView(&f.v2), 0);
  EXPECT_EQ(f.a->GetSiteManager(0)->GetViewCount(), 2);

  // As a new pane above the first (rows 0-3 of the first pane).
  f.DragTab(&f.v2, f.ClientPoint(f.a, 60, 2));
  ASSERT_EQ(f.a->GetSiteManagerCount(), 3);
  EXPECT_EQ(f.a->GetSiteManager(0)->GetView(0), &f.v2);
  EXPECT_EQ(f.a->SiteIndexOfView(&f.v1), 1);

  // Between: rows 0-7 of the last pane; its old pane goes.
  const int32_t lastTop = f.a->GetSiteManager(2)->y();
  f.DragTab(&f.v2, f.ClientPoint(f.a, 60, lastTop + 5));
  ASSERT_EQ(f.a->GetSiteManagerCount(), 3);
  EXPECT_EQ(f.a->SiteIndexOfView(&f.v1), 0);
  EXPECT_EQ(f.a->SiteIndexOfView(&f.v2), 1);
  EXPECT_EQ(f.a->SiteIndexOfView(&f.v3), 2);
  EXPECT_TRUE(f.a->GetSiteManager(0)->IsFirst());
  EXPECT_FALSE(f.a->GetSiteManager(1)->IsFirst());

  // Below the last pane: appended.
  f.DragTab(&f.v2, f.ClientPoint(f.a, 60, f.a->Client()->height() - 2));
  ASSERT_EQ(f.a->GetSiteManagerCount(), 3);
  EXPECT_EQ(f.a->SiteIndexOfView(&f.v3), 1);
  EXPECT_EQ(f.a->SiteIndexOfView(&f.v2), 2);
  EXPECT_EQ(f.a->GetSitePanesHeight(), f.a->Client()->height());
  EXPECT_EQ(f.manager->GetFormCount(), 1);
}

TEST(DockFloatTest, EscapeCancelsADockDrag) {
  DockFixture f;
  TDockViewManager* pane = f.v2.Pane();
  const QPoint tab(f.v2.TabLeft() + 12, 9);
  Press(pane, tab);
  MoveTo(pane, tab + QPoint(30, 0));
  ASSERT_NE(f.manager->Drag(), nullptr);
  MoveTo(pane, pane->mapFromGlobal(QPoint(1400, 800)));
  EXPECT_TRUE(f.manager->Drag()->Band()->isVisible());
  QPointer<QWidget> band = f.manager->Drag()->Band();
  QTest::keyClick(WindowOf(pane), Qt::Key_Escape);
  EXPECT_TRUE(f.manager->Drag() == nullptr || f.manager->Drag()->Cancelled());
  EXPECT_TRUE(band.isNull() || !band->isVisible());
  Release(pane, pane->mapFromGlobal(QPoint(1400, 800)));
  QCoreApplication::processEvents();
  FreeLater();
  EXPECT_EQ(f.manager->Drag(), nullptr);
  EXPECT_EQ(f.manager->GetFormCount(), 1);
  EXPECT_EQ(f.v2.GetFloatForm(), f.a);
  EXPECT_EQ(pane->MouseMode(), 0);
}

TEST(DockFloatTest, DoubleClicksRollPanesUpAndDown) {
  DockFixture f;
  const SSize frame = f.a->FrameSize();
  const int32_t full = f.a->height();
  TDockViewManager* pane = f.a->GetSiteManager(0);
  DoubleClick(pane, {f.v2.TabLeft() + 12, 9});
  EXPECT_TRUE(pane->GetClosed());
  EXPECT_FALSE(f.v2.isVisible());
  EXPECT_EQ(f.v2.GetViewState(), 2);
  EXPECT_EQ(f.a->height(), full - f.v2.height());
  DoubleClick(pane, {f.v2.TabLeft() + 12, 9});
  EXPECT_FALSE(pane->GetClosed());
  EXPECT_TRUE(f.v2.isVisible());
  EXPECT_EQ(f.a->height(), full);

  // The caption: every pane up, then every pane down.
  QWidget* caption = f.a->childAt(QPoint(20, TDockFloatForm::kBorder + 4));
  ASSERT_NE(caption, nullptr);
  DoubleClick(caption, {20, 4});
  EXPECT_TRUE(f.a->IsAllClosed());
  EXPECT_EQ(f.a->height(), frame.height + kFirstPaneHeader + kPaneHeader);
  // Rolled up, the form can grow no taller than its headers.
  EXPECT_EQ(f.a->maximumHeight(), frame.height + kFirstPaneHeader + kPaneHeader);
  DoubleClick(caption, {20, 4});
  EXPECT_FALSE(f.a->IsAllClosed());
  EXPECT_EQ(f.a->height(), full);
}

TEST(DockFloatTest, TrackSizeLimitsFollowThePanes) {
  DockFixture f;
  const SSize frame = f.a->FrameSize();
  EXPECT_EQ(f.a->minimumWidth(), frame.width + 210);
  EXPECT_EQ(f.a->minimumHeight(), frame.height + kFirstPaneHeader + f.v2.height() + kPaneHeader + 96);
  EXPECT_EQ(f.a->maximumHeight(), QWIDGETSIZE_MAX);
  f.v3.setMinimumWidth(260);
  f.a->LayoutSite(false);
  EXPECT_EQ(f.a->minimumWidth(), frame.width + 260);
  f.a->resize(100, 100);
  EXPECT_EQ(f.a->width(), frame.width + 260);
  EXPECT_GE(f.a->height(), f.a->minimumHeight());
}

TEST(DockFloatTest, SplitterStripResizesTheViewAbove) {
  DockFixture f;
  TDockViewManager* second = f.a->GetSiteManager(1);
  const int32_t before = f.v2.height();
  const int32_t formBefore = f.a->height();
  // The pointer stays where it is on the screen while the pane moves under it.
  const QPoint to = second->mapToGlobal(QPoint(60, 21));
  Press(second, {60, 1});
  EXPECT_EQ(second->MouseMode(), 2);
  MoveTo(second, second->mapFromGlobal(to));
  Release(second, second->mapFromGlobal(to));
  EXPECT_EQ(f.v2.height(), before + 20);
  EXPECT_EQ(f.a->height(), formBefore + 20);
  EXPECT_EQ(second->y(), kFirstPaneHeader + before + 20);
  // Rows 0-3 of the first pane select tabs instead.
  Press(f.a->GetSiteManager(0), {f.v1.TabLeft() + 12, 2});
  EXPECT_EQ(f.a->GetSiteManager(0)->MouseMode(), 1);
  Release(f.a->GetSiteManager(0), {f.v1.TabLeft() + 12, 2});
}

TEST(DockFloatTest, HidingTheOnlyExpandedViewOfAOnePaneFormHidesTheForm) {
  DockFixture f;
  View lone;
  TDockFloatForm* c = f.manager->CreateFloatForm();
  c->DockView(0, &lone);
  c->ShowSiteKeepBounds();
  ASSERT_TRUE(c->isVisible());
  lone.SetExpanded(false);
  EXPECT_FALSE(c->isVisible());
  EXPECT_TRUE(lone.Expanded());
  EXPECT_EQ(lone.GetViewState(), 3);
  lone.SetExpanded(true);
  EXPECT_TRUE(c->isVisible());
  // With a second view expanded, hiding the selected one selects the other and drops its tab.
  f.v2.SetExpanded(false);
  EXPECT_EQ(f.a->GetSiteManager(0)->SelectedView(), &f.v1);
  EXPECT_FALSE(f.v2.Expanded());
  EXPECT_EQ(f.a->GetSiteManager(0)->TabAtPos({f.v1.TabLeft() + f.v1.GetTabWidth() + 5, 9}), -1);
  // In a form of several panes the pane rolls up.
  f.v3.SetExpanded(false);
  EXPECT_TRUE(f.a->GetSiteManager(1)->GetClosed());
  EXPECT_TRUE(f.v3.Expanded());
  EXPECT_TRUE(f.a->isVisible());
  c->UndockView(&lone);
}

TEST(DockFloatTest, FormsMovedByTheirCaptionSnap) {
  DockFixture f;
  QWidget* caption = f.a->childAt(QPoint(20, TDockFloatForm::kBorder + 4));
  ASSERT_NE(caption, nullptr);
  auto dragCaptionBy = [&](QPoint delta) {
    const QPoint start = caption->mapToGlobal(QPoint(30, 5));
    Press(caption, {30, 5});
    MoveTo(caption, caption->mapFromGlobal(start + delta / 2));
    MoveTo(caption, caption->mapFromGlobal(start + delta));
    Release(caption, caption->mapFromGlobal(start + delta));
  };
  dragCaptionBy(QPoint(5 - f.a->x(), 0));  // left edge 5 from the monitor's
  EXPECT_EQ(f.a->x(), 0);
  EXPECT_EQ(f.a->y(), 200);
  dragCaptionBy(QPoint(9, 0));
  EXPECT_EQ(f.a->x(), 9);

  // Beside another form, tops 6 apart: the sides meet and the tops line up.
  View other;
  TDockFloatForm* b = f.manager->CreateFloatForm();
  b->DockView(0, &other);
  b->move(900, 300);
  b->ShowSiteKeepBounds();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(b));
  dragCaptionBy(QPoint(900 - 3 - f.a->width() - f.a->x(), 306 - f.a->y()));
  EXPECT_EQ(f.a->x() + f.a->width(), 900);
  EXPECT_EQ(f.a->y(), 300);
  // The owner's document area counts too.
  f.owner.hasArea = true;
  f.owner.area = {120, 150, 1100, 800};
  dragCaptionBy(QPoint(124 - f.a->x(), 500 - f.a->y()));
  EXPECT_EQ(f.a->x(), 120);
  b->UndockView(&other);
}

TEST(DockFloatTest, WheelIsOfferedToEveryViewThenToTheDocument) {
  DockFixture f;
  f.v2.answer = 7;
  f.v3.answer = 9;
  SDockMessage m = MakeWheelMessage(-120, kWheelKeyShift, -5, 700);
  f.manager->Broadcast(m);
  EXPECT_EQ(m.result, 7);
  EXPECT_EQ(f.v1.asked, 1);
  EXPECT_EQ(f.v3.asked, 0);
  EXPECT_EQ(f.owner.asked, 0);
  EXPECT_EQ(WheelDelta(m), -120);
  EXPECT_EQ(WheelKeys(m), kWheelKeyShift);
  EXPECT_EQ(WheelScreenX(m), -5);
  EXPECT_EQ(WheelScreenY(m), 700);

  f.v2.answer = 0;
  f.v3.answer = 0;
  f.owner.answer = 5;
  // A real wheel turn over a view that does not take it reaches the form.
  // A wheel turn that no widget of the form took reaches the form (Qt passes it up from the view).
  QWheelEvent wheel(QPointF(10, 10), f.a->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(f.a, &wheel);
  EXPECT_EQ(f.v3.asked, 1);
  EXPECT_EQ(f.owner.asked, 1);
  EXPECT_TRUE(wheel.isAccepted());
  f.owner.hasDocument = false;
  m = MakeWheelMessage(120, 0, 0, 0);
  f.manager->Broadcast(m);
  EXPECT_EQ(m.result, 0);
}

TEST(DockFloatTest, HideAllRemembersWhichFormsWereVisible) {
  DockFixture f;
  View other;
  TDockFloatForm* b = f.manager->CreateFloatForm();
  b->DockView(0, &other);
  b->hide();
  f.manager->HideAll();
  EXPECT_TRUE(f.manager->IsHidden());
  EXPECT_FALSE(f.a->isVisible());
  f.manager->HideAll();  // the first record stands
  f.manager->ShowAll();
  EXPECT_TRUE(f.a->isVisible());
  EXPECT_FALSE(b->isVisible());
  EXPECT_FALSE(f.manager->IsHidden());
  EXPECT_EQ(f.owner.focused, 1);
  EXPECT_TRUE(f.manager->IsFloatFormHandle(f.a->winId()));
  EXPECT_FALSE(f.manager->IsFloatFormHandle(f.owner.window.winId()));
  b->UndockView(&other);
}

// The hit map keeps a view's index in one byte: a pane takes at most 256 views.
TEST(DockFloatTest, APaneTakesAtMost256Views) {
  DockFixture f;
  std::vector<std::unique_ptr<View>> views;
  TDockViewManager* pane = f.a->GetSiteManager(1);
  for (int i = 1; i < 256; ++i) {
    views.push_back(std::make_unique<View>());
    views.back()->SetCaption("v");
    ASSERT_EQ(pane->AddView(views.back().get()), i);
  }
  View extra;
  EXPECT_EQ(pane->AddView(&extra), -1);
  EXPECT_EQ(extra.Pane(), nullptr);
  EXPECT_EQ(pane->GetViewCount(), 256);
  EXPECT_EQ(pane->TabAtPos({views.back()->TabLeft() + 9, 13}), 255);
  EXPECT_EQ(pane->AddView(&f.v1), -1);  // already in a pane
}

// Freeing a form used to free the views it held, which belong to the tool window.
TEST(DockFloatTest, FreeingFormsAndTheManagerLeavesTheViews) {
  auto v = std::make_unique<View>();
  QPointer<TDockFloatForm> form;
  {
    DockFixture f;
    form = f.manager->CreateFloatForm();
    form->DockView(0, v.get());
    EXPECT_EQ(v->parentWidget(), form->Client());
    delete form.data();  // a form freed by someone else
    EXPECT_EQ(v->Pane(), nullptr);
    EXPECT_EQ(v->parentWidget(), nullptr);
    EXPECT_EQ(f.manager->GetFormCount(), 1);
    form = f.manager->CreateFloatForm();
    form->DockView(0, v.get());
    f.manager.reset();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(v->Pane(), nullptr);
    EXPECT_EQ(f.v1.parentWidget(), nullptr);
  }
  // The last view leaving frees its form later, not at once.
  Owner owner;
  TDockFloatManager manager(&owner);
  form = manager.CreateFloatForm();
  form->DockView(0, v.get());
  EXPECT_TRUE(manager.RemoveView(v.get()));
  EXPECT_FALSE(form.isNull());
  EXPECT_EQ(manager.GetFormCount(), 0);
  FreeLater();
  EXPECT_TRUE(form.isNull());
  EXPECT_FALSE(manager.RemoveView(v.get()));
  // A view freed in its pane leaves it first.
  form = manager.CreateFloatForm();
  form->DockView(0, v.get());
  v.reset();
  FreeLater();
  EXPECT_TRUE(form.isNull());
}

}  // namespace
}  // namespace tf
