#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <cmath>
#include <vector>

#include "MouseDriver.h"
#include "document/BlendMode.h"
#include "paint/GradientSet.h"
#include "platform/qt/AppEventFilter.h"
#include "raster/Appearance.h"
#include "ui/GradientEdit.h"
#include "ui/ItemPicker.h"
#include "ui/LoupeControl.h"
#include "ui/PopupBase.h"
#include "ui/PresetPreview.h"
#include "ui/PressureGamma.h"

namespace tf {
namespace {

using namespace tf::test;

// A parent that counts the presses that reach it.
class CountingParent : public QWidget {
 public:
  int presses = 0;

 protected:
  void mousePressEvent(QMouseEvent*) override { ++presses; }
};

struct Top {
  CountingParent top;
  Top() {
    top.setGeometry(100, 100, 400, 300);
  }
  bool Show() {
    if (!ShowWindow(&top)) return false;
    top.activateWindow();
    return QTest::qWaitForWindowActive(&top);
  }
};

// ---- Item pickers ----------------------------------------------------------------------------

TEST(ItemPickerWidget, GroupsWithAndWithoutAllowAllUp) {
  Top t;
  auto* a = new TItemButton(&t.top);
  auto* b = new TItemButton(&t.top);
  a->setGeometry(10, 10, 28, 28);
  b->setGeometry(40, 10, 28, 28);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  ASSERT_TRUE(t.Show());
  Click(a, {14, 14});
  EXPECT_TRUE(a->GetDown());
  Click(a, {14, 14});  // without allow all up it stays down
  EXPECT_TRUE(a->GetDown());
  Click(b, {14, 14});
  EXPECT_TRUE(b->GetDown());
  EXPECT_FALSE(a->GetDown());
  b->SetAllowAllUp(true);
  EXPECT_TRUE(a->AllowAllUp());
  Click(b, {14, 14});  // with it, toggles
  EXPECT_FALSE(b->GetDown());
  Click(b, {14, 14});
  EXPECT_TRUE(b->GetDown());
  b->SetGroupIndex(2);  // a new group releases
  EXPECT_FALSE(b->GetDown());
  // An ungrouped picker is never down.
  auto* c = new TItemButton(&t.top);
  c->setGeometry(80, 10, 28, 28);
  c->show();
  c->SetDown(true);
  EXPECT_FALSE(c->GetDown());
}

TEST(ItemPickerWidget, ReadOnlyIsInertAndShowsNoHotState) {
  Top t;
  auto* a = new TItemButton(&t.top);
  a->setGeometry(10, 10, 28, 28);
  a->SetGroupIndex(1);
  int clicks = 0;
  a->OnClick = [&](TItemPicker*) { ++clicks; };
  a->SetReadOnly(true);
  ASSERT_TRUE(t.Show());
  MoveTo(a, {14, 14});
  Click(a, {14, 14});
  EXPECT_EQ(a->Hot(), 0);
  EXPECT_FALSE(a->GetDown());
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(t.top.presses, 0);  // taken, not passed on
  a->SetReadOnly(false);
  Click(a, {14, 14});
  EXPECT_EQ(clicks, 1);
  MoveTo(a, {15, 15});
  EXPECT_NE(a->Hot(), 0);
}

TEST(ItemPickerWidget, BlendModeMenuHas22ModesAndFiveSeparators) {
  Top t;
  auto* picker = new TBlendModeDropDwon(&t.top);
  picker->setGeometry(10, 10, 120, 20);
  int changes = 0;
  picker->OnChange = [&](TItemPicker*) { ++changes; };
  ASSERT_TRUE(t.Show());
  int items = 0, separators = 0, checked = -1;
  QPoint menuAt;
  QTimer::singleShot(0, [&] {
    QMenu* menu = picker->OpenMenu();
    ASSERT_NE(menu, nullptr);
    menuAt = menu->pos();
    for (QAction* a : menu->actions()) {
      if (a->isSeparator()) {
        ++separators;
        continue;
      }
      if (a->isChecked()) checked = a->data().toInt();
      ++items;
    }
    menu->close();  // cancelled
  });
  Click(picker, {50, 10});
  EXPECT_EQ(items, 22);
  EXPECT_EQ(separators, 5);
  EXPECT_EQ(checked, 1000);
  EXPECT_GE(menuAt.y(), picker->mapToGlobal(QPoint(0, 0)).y() + picker->height());  // clear of the control
  EXPECT_FALSE(picker->Dropped());
  // The current mode changes nothing; another one is taken.
  for (const int32_t choice : {1000, 1006}) {
    QTimer::singleShot(0, [&, choice] {
      QMenu* menu = picker->OpenMenu();
      ASSERT_NE(menu, nullptr);
      for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->data().toInt() == choice) {
          menu->setActiveAction(a);
          QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    Click(picker, {50, 10});
  }
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(picker->BlendMode(), 6);
  EXPECT_EQ(picker->BlendModeText(), BlendModeName(6));
}

TEST(ItemPickerWidget, AirMapModeZeroTogglesTwoAndThree) {
  Top t;
  auto* picker = new TAirMapDropDown(&t.top);
  picker->setGeometry(10, 10, 40, 24);
  picker->SetDropDownMode(0);
  EXPECT_EQ(picker->MapKind(), 7);
  EXPECT_EQ(picker->Style(), kPickerNoDropDown);
  std::vector<int> kinds;
  picker->OnChange = [&](TItemPicker* p) { kinds.push_back(static_cast<TAirMapDropDown*>(p)->MapKind()); };
  ASSERT_TRUE(t.Show());
  for (int i = 0; i < 3; ++i) Click(picker, {10, 10});
  EXPECT_EQ(kinds, (std::vector<int>{2, 3, 2}));
  EXPECT_EQ(picker->Popup(), nullptr);
}

TEST(ItemPickerWidget, AirMapPopupEscapeRestoresAndFires) {
  Top t;
  auto* picker = new TAirMapDropDown(&t.top);
  picker->setGeometry(10, 10, 40, 24);
  picker->SetMapKind(4);
  picker->SetMapX(30);
  std::vector<int> kinds;
  picker->OnChange = [&](TItemPicker* p) { kinds.push_back(static_cast<TAirMapDropDown*>(p)->MapKind()); };
  ASSERT_TRUE(t.Show());
  Click(picker, {10, 10});
  ASSERT_NE(picker->Popup(), nullptr);
  EXPECT_TRUE(picker->Dropped());
  ASSERT_NE(picker->KindButton(4), nullptr);
  EXPECT_TRUE(picker->KindButton(4)->GetDown());
  ASSERT_NE(picker->Pad(), nullptr);
  EXPECT_FLOAT_EQ(picker->Pad()->X(), 0.3f);
  // Another kind, then the pad's left half: x 0.
  Click(picker->KindButton(3), {14, 14});
  EXPECT_EQ(picker->MapKind(), 3);
  EXPECT_TRUE(picker->KindButton(3)->GetDown());
  EXPECT_FALSE(picker->KindButton(4)->GetDown());
  Click(picker->Pad(), {20, 40});
  EXPECT_EQ(picker->GetMapX(), 0.0f);
  kinds.clear();
  QTest::keyClick(t.top.windowHandle(), Qt::Key_Escape);
  EXPECT_EQ(picker->Popup(), nullptr);
  EXPECT_EQ(picker->MapKind(), 4);
  EXPECT_EQ(picker->GetMapX(), 30.0f);
  EXPECT_FALSE(kinds.empty());
  EXPECT_FALSE(picker->Dropped());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // A click outside accepts.
  Click(picker, {10, 10});
  ASSERT_NE(picker->Popup(), nullptr);
  Click(picker->KindButton(6), {14, 14});
  QTest::mouseClick(t.top.windowHandle(), Qt::LeftButton, {}, QPoint(300, 250));
  EXPECT_EQ(picker->Popup(), nullptr);
  EXPECT_EQ(picker->MapKind(), 6);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ---- Navigator and loupe ---------------------------------------------------------------------

TEST(PreviewControlWidget, OutsideTheInnerAreaTheParentGetsTheMouse) {
  Top t;
  auto* nav = new TPreviewControl(&t.top);
  nav->setGeometry(10, 10, 100, 80);
  nav->SetDocumentWindow(&t.top);
  nav->SetDocumentSize(2000, 1000);  // thumbnail 100 x 52 at top 14
  nav->SetViewSize(400, 300);
  std::vector<QPoint> centres;
  nav->OnViewCenterChanged = [&](TPreviewControl*, int32_t x, int32_t y) { centres.push_back({x, y}); };
  ASSERT_TRUE(t.Show());
  Click(nav, {50, 5});  // above the thumbnail
  EXPECT_EQ(t.top.presses, 1);
  EXPECT_TRUE(centres.empty());
  Click(nav, {50, 40});
  EXPECT_EQ(t.top.presses, 1);
  ASSERT_EQ(centres.size(), 1u);
  EXPECT_EQ(centres[0], QPoint(1000, 500));
  // Read-only: taken and dropped.
  nav->SetWithholdsMouse(true);
  Click(nav, {50, 40});
  Click(nav, {50, 5});
  EXPECT_EQ(t.top.presses, 1);
  EXPECT_EQ(centres.size(), 1u);
}

TEST(PreviewControlWidget, RightClickUprightsRightDragTurns) {
  Top t;
  auto* nav = new TPreviewControl(&t.top);
  nav->setGeometry(10, 10, 104, 104);
  nav->SetDocumentWindow(&t.top);
  nav->SetDocumentSize(1000, 1000);
  nav->SetRotation(0.5f);
  float turned = 9;
  nav->OnRotationChanged = [&](TPreviewControl*, float r) { turned = r; };
  ASSERT_TRUE(t.Show());
  QWindow* w = t.top.windowHandle();
  const QPoint a = InWindow(nav, {92, 52}), b = InWindow(nav, {52, 92});
  QTest::mouseClick(w, Qt::RightButton, {}, a);
  EXPECT_EQ(turned, 0.0f);
  QTest::mousePress(w, Qt::RightButton, {}, a);
  QMouseEvent move(QEvent::MouseMove, QPointF(b), QPointF(b), QPointF(nav->mapToGlobal(QPoint(52, 92))),
                   Qt::NoButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(nav, &move);
  QTest::mouseRelease(w, Qt::RightButton, {}, b);
  EXPECT_NEAR(turned, M_PI / 2, 1e-5);
}

TEST(LoupeControlWidget, FollowsItsSize) {
  Top t;
  auto* loupe = new TLoupeControl(&t.top);
  loupe->setGeometry(10, 10, 60, 50);
  ASSERT_TRUE(t.Show());
  EXPECT_EQ(loupe->Logic().Picture().Width(), 60);
  EXPECT_EQ(loupe->Logic().Picture().Height(), 50);
  TMTC source(32, 32);
  source.FillValue(0xFF204060u);
  loupe->DrawLoupe(source, 16, 16, 0.5f);
  EXPECT_EQ(loupe->Logic().Picture().GetPixel(30, 25), 0xFF204060u);
  EXPECT_EQ(loupe->Logic().Picture().GetPixel(3, 3), 0xFFFFFFFFu);  // outside the source: white
}

// ---- Curve and aspect editor -----------------------------------------------------------------

TEST(PressureGammaWidget, DragsAndDoubleClickResets) {
  Top t;
  auto* curve = new TPressureGamma(&t.top);
  curve->setGeometry(10, 10, 80, 60);
  curve->SetGamma(0.98f);
  int changes = 0;
  curve->OnChange = [&](TPressureGamma*) { ++changes; };
  ASSERT_TRUE(t.Show());
  Press(curve, {20, 20});
  MoveTo(curve, {23, 22});
  EXPECT_EQ(curve->Gamma(), 1.0f);
  MoveTo(curve, {24, 22});
  EXPECT_FLOAT_EQ(curve->Gamma(), 1.05f);
  Release(curve, {24, 22});
  EXPECT_EQ(curve->GammaText(), QStringLiteral("1.05"));
  EXPECT_TRUE(curve->toolTip().startsWith(QStringLiteral("筆圧補正")));
  DoubleClick(curve, {30, 30});
  EXPECT_EQ(curve->Gamma(), 1.0f);
  EXPECT_EQ(changes, 3);
  curve->SetReadOnly(true);
  Press(curve, {20, 20});
  MoveTo(curve, {40, 40});
  Release(curve, {40, 40});
  EXPECT_EQ(curve->Gamma(), 1.0f);
}

TEST(AspectRotationWidget, DoubleClickResetsReadOnlyIgnores) {
  Top t;
  auto* a = new TAspectRotation(&t.top);
  a->setGeometry(10, 10, 86, 88);
  a->Logic().SetParams(SAspectParams{1, 20.0f, 50.0f, 40.0f, 30.0f, 0, 0});
  ASSERT_TRUE(t.Show());
  DoubleClick(a, {20, 20});
  EXPECT_EQ(a->Logic().GetFlattening(), 0.0f);
  EXPECT_EQ(a->Logic().GetRotation(), 0.0f);
  EXPECT_EQ(a->Logic().Params().maxRadius, 20.0f);
  // The outer handle: drag right raises the maximum radius by 2 dx at 20.
  const QPoint h(static_cast<int>(a->Logic().OuterHandle().x), static_cast<int>(a->Logic().OuterHandle().y));
  MoveTo(a, h);
  EXPECT_EQ(a->HintCode(), 2);
  EXPECT_TRUE(a->toolTip() == QStringLiteral("最大半径"));
  Press(a, h);
  MoveTo(a, h + QPoint(3, 0));
  Release(a, h + QPoint(3, 0));
  EXPECT_EQ(a->Logic().Params().maxRadius, 26.0f);
  a->SetReadOnly(true);
  a->Logic().SetRotation(10.0f);
  DoubleClick(a, {20, 20});
  EXPECT_EQ(a->Logic().GetRotation(), 10.0f);
}

// ---- Previews and the gradient bar -----------------------------------------------------------

TEST(PresetPreviewWidget, TakesTheMouseAndDropsIt) {
  Top t;
  auto* p = new TSwatchPreview(&t.top);
  p->setGeometry(10, 10, 30, 30);
  p->SetColor(0x00FF0000u);
  ASSERT_TRUE(t.Show());
  Click(p, {10, 10});
  EXPECT_EQ(t.top.presses, 0);
  EXPECT_EQ(p->Logic().Picture().GetPixel(15, 15), 0xFFFF0000u);
  p->resize(4, 4);
  EXPECT_FALSE(p->Logic().HasPreview());
  p->resize(20, 20);
  EXPECT_EQ(p->Logic().Picture().GetPixel(10, 10), 0xFFFF0000u);
}

TEST(GradientEditWidget, MiddleClickAddsDragStopsAtNeighbourReleaseOutsideDeletes) {
  Top t;
  auto* g = new TGradientEdit(&t.top);
  g->setGeometry(10, 10, 113, 20);  // inner bar 98 wide from x 7
  EXPECT_EQ(g->minimumSize(), QSize(32, 17));
  int changes = 0;
  g->OnChange = [&](TGradientEdit*) { ++changes; };
  ASSERT_TRUE(t.Show());
  Click(g, {7 + 49, 10});
  ASSERT_EQ(g->Count(), 3);
  EXPECT_EQ(g->SelectIndex(), 1);
  EXPECT_FLOAT_EQ(g->Stops().GetStop(1).position, 0.5f);
  EXPECT_FLOAT_EQ(g->Stops().GetStop(1).colour.rgb.g, 0.5f);
  EXPECT_GT(changes, 0);
  Click(g, {7 + 24, 10});  // a second stop at about 0.25
  ASSERT_EQ(g->Count(), 4);
  // Drag the 0.5 stop left past its neighbour: it stops there.
  const int32_t x = g->Stops().MarkerLeft(2) + 7;
  Press(g, {x, 10});
  EXPECT_EQ(g->SelectIndex(), 2);
  MoveTo(g, {x - 40, 10});
  EXPECT_EQ(g->Stops().GetStop(2).position, g->Stops().GetStop(1).position);
  Release(g, {x - 40, 10});
  EXPECT_EQ(g->Count(), 4);
  // Dragged out and released outside: deleted.
  Press(g, {g->Stops().MarkerLeft(2) + 7, 10});
  MoveTo(g, {60, 60});
  EXPECT_TRUE(g->Stops().Outside());
  Release(g, {60, 60});
  EXPECT_EQ(g->Count(), 3);
  // Loaded from a built gradient and written back.
  CGradMngr set;
  ASSERT_TRUE(set.LoadBuiltins());
  g->SetColorSlotGroup(set.GetItem(2)->Stops());
  EXPECT_EQ(g->Count(), 3);
  CColorSlotGroup out;
  EXPECT_TRUE(g->SaveToColorSlotGroup(out));
  EXPECT_EQ(out.Highest(), 2);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {
TEST(AspectRotationWidget, ShowsItsValues) {
  Top t;
  auto* a = new TAspectRotation(&t.top);
  a->setGeometry(10, 10, 96, 104);
  ASSERT_TRUE(t.Show());
  const QImage before = a->grab().toImage();
  a->Logic().SetRotationAndFlattening(45.0f, 40.0f);
  QApplication::processEvents();
  const QImage after = a->grab().toImage();
  // The numbers' strip shows the new values.
  EXPECT_NE(before.copy(0, 88, 96, 16), after.copy(0, 88, 96, 16));
}
}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST(AspectRotationWidget, InlineEditTypesAndEscapeRestores) {
  Top t;
  auto* a = new TAspectRotation(&t.top);
  a->setGeometry(10, 10, 96, 104);
  ASSERT_TRUE(t.Show());
  a->Logic().SetRotation(30.0f);
  const TRect r = a->Logic().RotationRect();
  const QPoint at((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  int changes = 0;
  a->OnChange = [&](TAspectRotation*) { ++changes; };
  Click(a, at);
  ASSERT_NE(a->NumberEdit(), nullptr);
  EXPECT_EQ(a->NumberEdit()->parentWidget(), &t.top);
  EXPECT_EQ(a->NumberEdit()->geometry().topLeft(), a->mapTo(&t.top, QPoint(r.left, r.top)));
  // Typing follows live: the outlines turn as the number changes.
  QLineEdit* edit = static_cast<QLineEdit*>(a->NumberEdit());
  edit->selectAll();
  for (const char c : {'-', '4', '5'}) QTest::keyClick(WindowOf(edit), c);
  EXPECT_EQ(a->Logic().GetRotation(), -45.0f);
  EXPECT_GT(changes, 0);
  QTest::keyClick(WindowOf(edit), Qt::Key_Escape);
  EXPECT_EQ(a->NumberEdit(), nullptr);
  EXPECT_EQ(a->Logic().GetRotation(), 30.0f);
  EXPECT_EQ(a->Logic().Params().rotation, 30.0f);
  // Enter accepts.
  Click(a, at);
  ASSERT_NE(a->NumberEdit(), nullptr);
  edit = static_cast<QLineEdit*>(a->NumberEdit());
  edit->selectAll();
  for (const char c : {'2', '0', '0'}) QTest::keyClick(WindowOf(edit), c);
  QTest::keyClick(WindowOf(edit), Qt::Key_Return);
  EXPECT_EQ(a->NumberEdit(), nullptr);
  EXPECT_EQ(a->Logic().GetRotation(), -160.0f);  // wrapped within -180..180
}

TEST(ItemPickerWidget, AirMapNumberEditMovesThePad) {
  Top t;
  auto* picker = new TAirMapDropDown(&t.top);
  picker->setGeometry(10, 10, 40, 24);
  ASSERT_TRUE(t.Show());
  Click(picker, {10, 10});
  ASSERT_NE(picker->Popup(), nullptr);
  auto* edit = qobject_cast<QLineEdit*>(picker->XEdit());
  ASSERT_NE(edit, nullptr);
  edit->setText(QStringLiteral("75"));
  QTest::keyClick(edit, Qt::Key_Up);  // applies the text and steps
  EXPECT_EQ(picker->GetMapX(), 76.0f);
  EXPECT_FLOAT_EQ(picker->Pad()->X(), 0.76f);
  picker->Popup()->ClosePopup();  // no result: cancelled, restored
  EXPECT_EQ(picker->GetMapX(), 0.0f);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace tf
