#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <limits>
#include <vector>

#include "MouseDriver.h"
#include "raster/Appearance.h"
#include "ui/GrabberControl.h"
#include "ui/GraphicTrackbar.h"
#include "ui/HotTrack.h"
#include "ui/SmallControls.h"

namespace tf {
namespace {

using namespace tf::test;
using O = TGraphicTrackbarOrientation;

struct TrackbarFixture {
  QWidget top;
  TGraphicTrackbar* bar;
  std::vector<float> changes;
  TrackbarFixture() {
    top.resize(200, 150);
    bar = new TGraphicTrackbar(&top);
    bar->setGeometry(10, 10, 109, 12);
    bar->OnChange = [this](TGraphicTrackbar* b) { changes.push_back(b->DrawnPosition()); };
  }
};

TEST(GraphicTrackbarTest, ClicksAndDragsFireEveryTime) {
  TrackbarFixture f;
  ASSERT_TRUE(ShowWindow(&f.top));
  Click(f.bar, {53, 4});
  Click(f.bar, {53, 4});  // no movement: still fires
  EXPECT_EQ(f.changes, (std::vector<float>{0.5f, 0.5f}));
  f.changes.clear();
  Press(f.bar, {3, 4});
  EXPECT_TRUE(f.bar->Dragging());
  MoveTo(f.bar, {53, 4});
  MoveTo(f.bar, {300, 40});  // outside: the bar keeps the mouse
  Release(f.bar, {300, 40});
  EXPECT_FALSE(f.bar->Dragging());
  EXPECT_EQ(f.changes, (std::vector<float>{0.0f, 0.5f, 1.0f}));
  // Drawn: the thumb's left column at trunc(100 * 1 + 0.5).
  EXPECT_EQ(f.bar->Graphic().GetPixel(100 + 4, 2 + 4), AppearanceManager().GetMarkGlyph(1).GetPixel(4, 4) | 0xFF000000u);
}

TEST(GraphicTrackbarTest, DisabledOrReadOnlyBarIgnoresClicksAndIsVeiled) {
  TrackbarFixture f;
  ASSERT_TRUE(ShowWindow(&f.top));
  const uint32_t enabledCorner = f.bar->Graphic().GetPixel(0, 11);
  f.bar->setEnabled(false);
  Click(f.bar, {53, 4});
  EXPECT_TRUE(f.changes.empty());
  EXPECT_FLOAT_EQ(f.bar->DrawnPosition(), 0.0f);
  // Button face veiled with button face: the same; the slot's frame gets lighter.
  EXPECT_EQ(f.bar->Graphic().GetPixel(0, 11), enabledCorner);
  EXPECT_NE(f.bar->Graphic().GetPixel(4, 1), AppearanceColors[acWindowFrame]);
  f.bar->setEnabled(true);
  EXPECT_EQ(f.bar->Graphic().GetPixel(4, 1), AppearanceColors[acWindowFrame]);
  f.bar->SetWithholdsMouse(true);
  Click(f.bar, {53, 4});
  EXPECT_TRUE(f.changes.empty());
}

TEST(GraphicTrackbarTest, SetPositionClampsFiltersAndFiresOnlyOnChange) {
  TrackbarFixture f;
  f.bar->SetPosition(0.25f);
  f.bar->SetPosition(0.25f);
  f.bar->SetPosition(7.0f);
  f.bar->SetPosition(1.0f);
  EXPECT_EQ(f.changes, (std::vector<float>{0.25f, 1.0f}));
  // Filters: drawn on a squared scale.
  f.bar->OnInFilter = [](TGraphicTrackbar*, float& p) { p = p * p; };
  f.bar->OnOutFilter = [](TGraphicTrackbar*, float& p) { p = std::sqrt(p); };
  f.bar->SetPosition(0.5f);
  EXPECT_FLOAT_EQ(f.bar->DrawnPosition(), 0.25f);
  EXPECT_FLOAT_EQ(f.bar->GetPosition(), 0.5f);
  // A press stores the point's position without the in-filter.
  f.top.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.top));
  Click(f.bar, {53, 4});
  EXPECT_FLOAT_EQ(f.bar->DrawnPosition(), 0.5f);
}

// An in-filter may hand back any value: the thumb's place used to overflow the integer; it
// saturates now (not a number at 0), and the value is kept as given.
TEST(GraphicTrackbarTest, AnyFilteredValueIsDrawnWithoutOverflow) {
  for (O o : {O::gtHorizontal, O::gtVertical, O::gtClockWise}) {
    TrackbarFixture f;
    f.bar->SetOrientation(o);
    for (float wild : {1e30f, -1e30f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
      f.bar->OnInFilter = [wild](TGraphicTrackbar*, float& p) { p = wild; };
      f.bar->SetPosition(0.5f);
      if (std::isnan(wild)) EXPECT_TRUE(std::isnan(f.bar->DrawnPosition()));
      else EXPECT_EQ(f.bar->DrawnPosition(), wild);
      f.bar->Rerender();
    }
  }
}

TEST(GraphicTrackbarTest, DialTakesTheAngleAndFocusGoesToItsControl) {
  QWidget top;
  top.resize(100, 100);
  auto* dial = new TGraphicTrackbar(&top);
  dial->SetOrientation(O::gtClockWise);
  dial->setGeometry(10, 10, 32, 32);
  auto* edit = new QWidget(&top);
  edit->setFocusPolicy(Qt::StrongFocus);
  edit->setGeometry(50, 50, 20, 20);
  dial->SetFocusControl(edit);
  ASSERT_TRUE(ShowWindow(&top));
  top.activateWindow();
  Click(dial, {16, 30});
  EXPECT_FLOAT_EQ(dial->DrawnPosition(), 0.25f);
  EXPECT_TRUE(edit->hasFocus() || QApplication::focusWidget() == edit);
  dial->SetOrientation(O::gtCounterClockWise);
  Click(dial, {16, 30});
  EXPECT_FLOAT_EQ(dial->DrawnPosition(), 0.75f);
}

TEST(GraphicTabControlTest, ActiveTabWinsWhereTabsOverlap) {
  QWidget top;
  top.resize(400, 60);
  auto* tabs = new TGraphicTabControl(&top);
  tabs->setGeometry(0, 0, 352, 40);
  int changes = 0;
  tabs->OnChange = [&](TGraphicTabControl*) { ++changes; };
  EXPECT_EQ(tabs->AddTab("ブラシ"), 0);
  EXPECT_EQ(tabs->AddTab("Nib"), 1);
  ASSERT_TRUE(ShowWindow(&top));
  const TGraphicTabObject& first = tabs->Tab(0);
  const TGraphicTabObject& second = tabs->Tab(1);
  EXPECT_EQ(first.x, 4);
  EXPECT_EQ(second.x, 4 + first.images[0].Width() - 9);
  EXPECT_EQ(first.images[0].Height(), 18);
  const QPoint overlap(second.x + 3, 10);
  EXPECT_EQ(tabs->TabAt(overlap), 0);
  Click(tabs, {second.x + 20, 10});
  EXPECT_EQ(tabs->ActiveIndex(), 1);
  EXPECT_EQ(tabs->TabAt(overlap), 1);
  Click(tabs, overlap);  // the active tab again: no change
  Click(tabs, {second.x + second.images[0].Width() + 20, 10});  // right of the last tab
  EXPECT_EQ(tabs->ActiveIndex(), 1);
  EXPECT_EQ(changes, 1);
  tabs->SetActiveIndex(9);  // names no tab: the frame only
  EXPECT_EQ(tabs->TabAt(overlap), -1);
  EXPECT_EQ(changes, 2);
}

// The hit map keeps the index in one byte: a 257th tab used to be hit as tab 0.
TEST(GraphicTabControlTest, A257thTabIsRefused) {
  TGraphicTabControl tabs;
  tabs.resize(300, 30);
  tabs.SetActiveIndex(-1);  // frame only while adding
  for (int i = 0; i < 256; ++i) ASSERT_EQ(tabs.AddTab("t"), i);
  EXPECT_EQ(tabs.AddTab("t"), -1);
  EXPECT_EQ(tabs.TabCount(), 256);
  tabs.SetActiveIndex(255);
  const TGraphicTabObject& last = tabs.Tab(255);
  EXPECT_EQ(tabs.TabAt({last.x + last.images[1].Width() / 2, 10}), 255);
}

TEST(HotTrackTest, OneHotControlPerParentAndNoneWhileAButtonIsHeld) {
  QWidget top;
  top.resize(120, 60);
  auto* a = new TDropDownMenu(&top);
  a->move(10, 10);
  auto* b = new TDropDownMenu(&top);
  b->move(40, 10);
  auto* plain = new QWidget(&top);  // a Qt widget among them gets no notification
  plain->setGeometry(70, 10, 20, 20);
  ASSERT_TRUE(ShowWindow(&top));
  MoveTo(&top, {100, 50});
  MoveTo(a, {5, 5});
  EXPECT_EQ(a->GlyphState(), gsActive);
  MoveTo(b, {5, 5});
  EXPECT_EQ(a->GlyphState(), gsNone);
  EXPECT_EQ(b->GlyphState(), gsActive);
  // A sibling entering its hot state makes the others leave theirs.
  ASSERT_TRUE(HotTrackEnter(a));
  EXPECT_EQ(b->GlyphState(), gsNone);
  MoveTo(&top, {100, 50});

  // A button held elsewhere: no window may become hot.
  Press(&top, {100, 50});
  EXPECT_TRUE(IsMouseCaptured());
  EXPECT_FALSE(HotTrackEnter(a));
  EXPECT_FALSE(HotTrackLeave(a));
  EXPECT_TRUE(EnterHotState(a));  // presses and drags still act
  Release(&top, {100, 50});
  EXPECT_FALSE(IsMouseCaptured());
  b->grabMouse();
  EXPECT_FALSE(HotTrackEnter(a));
  b->releaseMouse();
  a->setEnabled(false);
  EXPECT_EQ(a->GlyphState(), gsDisabled);
  EXPECT_FALSE(CanHotTrack(a));
}

TEST(PathLabelTest, ModifiedMarkAndShortenedPath) {
  TPathLabel label;
  label.resize(400, 16);
  label.SetModified(true);
  EXPECT_EQ(label.Caption(), "*");  // empty path
  label.SetPath(QStringLiteral("/home/user/preset/brush.pmt"));
  EXPECT_EQ(label.Caption(), QStringLiteral("/home/user/preset/brush.pmt*"));
  label.SetModified(false);
  EXPECT_EQ(label.Caption(), QStringLiteral("/home/user/preset/brush.pmt"));
  EXPECT_EQ(label.ShownText(), label.Caption());

  const QString longPath = QStringLiteral("/home/user/a-rather-long-folder/another-long-folder/preset/brush.pmt");
  label.SetPath(longPath);
  label.SetModified(true);
  const QFontMetrics metrics(label.font());
  label.resize(metrics.horizontalAdvance(QStringLiteral("/home/.../preset/brush.pmt*")) + 2, 16);
  const QString shown = label.ShownText();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("brush.pmt*"))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QStringLiteral("..."))) << shown.toStdString();
  EXPECT_LE(metrics.horizontalAdvance(shown), label.contentsRect().width());
  // Too narrow for any folder: elided in the middle, the mark kept.
  label.resize(40, 16);
  EXPECT_TRUE(label.ShownText().endsWith(QLatin1Char('*')));
}

TEST(DropDownMenuTest, WithoutAMenuAClickDoesNothingWithOneItIsDownWhileOpen) {
  QWidget top;
  top.resize(60, 60);
  auto* button = new TDropDownMenu(&top);
  button->move(10, 10);
  ASSERT_TRUE(ShowWindow(&top));
  EXPECT_EQ(button->size(), QSize(11, 11));
  Click(button, {5, 5});
  EXPECT_FALSE(button->Down());

  QMenu menu;
  menu.addAction(QStringLiteral("item"));
  button->SetPopupMenu(&menu);
  bool downWhileOpen = false;
  QPoint openedAt;
  QTimer::singleShot(0, [&] {
    downWhileOpen = button->Down();
    openedAt = menu.pos();
    menu.close();
  });
  Click(button, {5, 5});
  EXPECT_TRUE(downWhileOpen);
  EXPECT_EQ(openedAt, button->mapToGlobal(QPoint(0, 11)));
  EXPECT_FALSE(button->Down());
  EXPECT_EQ(button->GlyphState(), gsNone);
}

// A window under the dial that records the presses reaching it.
class Under : public QWidget {
 public:
  std::vector<QPoint> presses;

 protected:
  void mousePressEvent(QMouseEvent* e) override { presses.push_back(e->position().toPoint()); }
};

TEST(GrabberControlTest, PointsBetweenThePartsReachTheWindowBelow) {
  Under under;
  under.resize(300, 300);
  auto* grabber = new TGrabberControl(&under);
  grabber->move(50, 50);
  int changes = 0, enters = 0, exits = 0;
  grabber->OnChange = [&](TGrabberControl*) { ++changes; };
  grabber->OnGrabberEnter = [&](TGrabberControl*) { ++enters; };
  grabber->OnGrabberExit = [&](TGrabberControl*) { ++exits; };
  std::vector<std::string> hints;
  grabber->OnHint = [&](const std::string& h) { hints.push_back(h); };
  ASSERT_TRUE(ShowWindow(&under));

  Click(grabber, {64, 64});    // the ring's middle
  Click(grabber, {120, 120});  // between the ring and the buttons
  EXPECT_EQ(under.presses, (std::vector<QPoint>{{114, 114}, {170, 170}}));
  EXPECT_EQ(changes, 0);

  // A press on the slider alone applies the value under it.
  grabber->SetScale(4.0f);
  changes = 0;
  Press(grabber, {65, 138});
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(changes, 1);
  EXPECT_FLOAT_EQ(grabber->Scale(), 1.0f);
  Release(grabber, {65, 138});
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(under.presses.size(), 2u);

  // Buttons act on release.
  Press(grabber, {64, 5});
  EXPECT_FLOAT_EQ(grabber->Rotation(), 0.0f);
  Release(grabber, {64, 5});
  EXPECT_FLOAT_EQ(grabber->Rotation(), 90.0f);
  // Shift snaps the ring to 15 degrees.
  Press(grabber, {64 + 30, 64 + 38}, Qt::ShiftModifier);
  Release(grabber, {64 + 30, 64 + 38}, Qt::ShiftModifier);
  EXPECT_FLOAT_EQ(std::fmod(grabber->Rotation(), 15.0f), 0.0f);
  ASSERT_FALSE(hints.empty());
  EXPECT_EQ(grabber->toolTip().toStdString(), "表示回転");
  EXPECT_EQ(hints.back(), "ドラッグ: 書類の表示角度を変更, Shift + ドラッグ: アジャスト");
  EXPECT_FALSE(grabber->SetScale(0.0f));

  // DrawTo composites the ring and the knobs over the target.
  QImage target(129, 146, QImage::Format_ARGB32);
  target.fill(Qt::white);
  {
    QPainter painter(&target);
    grabber->DrawTo(painter, 0, 0);
  }
  EXPECT_EQ(target.pixel(64, 64), qRgb(255, 255, 255));
  EXPECT_NE(target.pixel(64, 20), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace tf
