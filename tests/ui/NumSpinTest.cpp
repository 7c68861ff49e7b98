#include "ui/NumSpin.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "MouseDriver.h"
#include "platform/Clock.h"
#include "platform/qt/AppEventFilter.h"
#include "ui/NumEdits.h"

namespace tf {
namespace {

using namespace tf::test;

// The millisecond clock, moved by hand.
struct Clock {
  uint32_t now = 5000;
  MillisecondSource before;
  Clock() {
    before = SetMillisecondSource([this] { return now; });
  }
  ~Clock() { SetMillisecondSource(before); }
};

TEST(NumUpDownTest, ArrowsAtTheEndsAndRepeats) {
  QWidget top;
  top.resize(100, 60);
  TNumMngr m;
  m.SetValueMax(10);
  m.SetValue(10);
  auto* spin = new TNumUpDown(&top);
  spin->setGeometry(10, 10, 16, 16);
  spin->SetAssociate(&m);
  ASSERT_TRUE(ShowWindow(&top));
  EXPECT_EQ(spin->UpState(), 0);
  Click(spin, {8, 3});
  EXPECT_EQ(m.Value(), 10);
  Press(spin, {8, 12});  // holding down: one step, then one a tick
  EXPECT_EQ(m.Value(), 9);
  EXPECT_TRUE(spin->Repeating());
  for (int i = 0; i < 9; ++i) spin->Tick();
  EXPECT_EQ(m.Value(), 0);
  EXPECT_EQ(spin->DownState(), 0);
  Release(spin, {8, 12});
  EXPECT_FALSE(spin->Repeating());
  m.SetValueMax(255);
  Click(spin, {8, 3}, Qt::ShiftModifier);
  EXPECT_EQ(m.Value(), 10);
  spin->SetAssociate(nullptr);
  EXPECT_EQ(spin->UpState(), 0);
}

struct PopupFixture {
  Clock clock;
  QWidget top;
  TNumMngr m;
  TNumLabelEditPopup* label;
  PopupFixture() {
    top.resize(200, 200);
    label = new TNumLabelEditPopup(&top);
    label->setGeometry(20, 150, 60, 20);
    label->Orientation = TGraphicTrackbarOrientation::gtVertical;
    m.SetValueMax(100);
    m.SetValue(50);
    label->SetAssociate(&m);
  }
  QPoint Arrow() const { return label->ButtonArea().center(); }
};

TEST(NumLabelEditPopupTest, AreasAndTheVerticalAnchor) {
  PopupFixture f;
  EXPECT_EQ(f.label->LabelArea(), QRect(2, 2, 40, 16));
  EXPECT_EQ(f.label->ButtonArea(), QRect(42, 2, 16, 16));
  EXPECT_EQ(f.label->Text(), "50");
  ASSERT_TRUE(ShowWindow(&f.top));
  Press(f.label, f.Arrow());
  TTrackPopupForm* popup = f.label->PopupForm();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->LastAnchor().y(), f.label->mapToGlobal(f.Arrow()).y() - 59);
  EXPECT_EQ(popup->size(), QSize(24, 119));
  QTest::keyClick(WindowOf(f.label), Qt::Key_Escape);
  EXPECT_EQ(f.label->PopupForm(), nullptr);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  Release(f.label, f.Arrow());
}

TEST(NumLabelEditPopupTest, HeldTwoSecondsAcceptsHalfASecondStaysOpen) {
  PopupFixture f;
  ASSERT_TRUE(ShowWindow(&f.top));
  Press(f.label, f.Arrow());
  TTrackPopupForm* popup = f.label->PopupForm();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(QWidget::mouseGrabber(), popup->Track);
  // The opening press drags the thumb: up by 20 pixels of 102.
  MoveTo(f.label, f.Arrow() - QPoint(0, 20));
  const float dragged = f.m.Value();
  EXPECT_GT(dragged, 50);
  EXPECT_EQ(f.label->Text().toStdString(), FormatNum("%1.0f", dragged));
  f.clock.now += 2000;
  Release(f.label, f.Arrow() - QPoint(0, 20));
  EXPECT_EQ(f.label->PopupForm(), nullptr);
  EXPECT_EQ(f.m.Value(), dragged);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  QTest::qWait(1);

  Press(f.label, f.Arrow());
  MoveTo(f.label, f.Arrow() + QPoint(0, 30));
  EXPECT_LT(f.m.Value(), dragged);
  f.clock.now += 500;
  Release(f.label, f.Arrow() + QPoint(0, 30));
  ASSERT_NE(f.label->PopupForm(), nullptr);  // a quick release leaves it open
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  QTest::keyClick(WindowOf(f.label), Qt::Key_Escape);
  EXPECT_EQ(f.label->PopupForm(), nullptr);
  EXPECT_EQ(f.m.Value(), dragged);  // restored
}

TEST(NumLabelEditPopupTest, LabelOpensTheEditAndNothingElseWhileOpen) {
  PopupFixture f;
  ASSERT_TRUE(ShowWindow(&f.top));
  f.top.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.top));
  Click(f.label, {10, 10});
  ASSERT_TRUE(SharedNumEdit()->isVisible());
  Click(f.label, f.Arrow());  // a click outside the edit: ends it, opens nothing
  EXPECT_FALSE(SharedNumEdit()->isVisible());
  EXPECT_EQ(f.label->PopupForm(), nullptr);
}

TEST(NumLabelEditPopupTest, DestroyedWhileOpenGivesEverythingBack) {
  PopupFixture f;
  ASSERT_TRUE(ShowWindow(&f.top));
  const int32_t depth = AppEventFilter::Instance().Depth();
  Press(f.label, f.Arrow());
  MoveTo(f.label, f.Arrow() - QPoint(0, 20));
  EXPECT_NE(f.m.Value(), 50);
  delete f.label;
  EXPECT_EQ(f.m.Value(), 50);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  EXPECT_EQ(AppEventFilter::Instance().Depth(), depth);
  EXPECT_EQ(f.m.ControlCount(), 0);
  QTest::qWait(1);
}

TEST(NumLabelEditPopupTest, ManagerDestroyedClosesThePopupFirst) {
  QWidget top;
  top.resize(200, 200);
  auto m = std::make_unique<TNumMngr>();
  auto* button = new TNumPopupButton(&top);
  button->setGeometry(20, 20, 16, 16);
  button->SetAssociate(m.get());
  ASSERT_TRUE(ShowWindow(&top));
  Press(button, {8, 8});
  ASSERT_NE(button->PopupForm(), nullptr);
  m.reset();
  EXPECT_EQ(button->PopupForm(), nullptr);
  EXPECT_EQ(button->Associate(), nullptr);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  Release(button, {8, 8});
  QTest::qWait(1);
}

}  // namespace
}  // namespace tf
