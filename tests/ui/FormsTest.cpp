#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "platform/Clock.h"
#include "platform/qt/AppEventFilter.h"
#include "ui/BaseForm.h"
#include "ui/PopupBase.h"

namespace tf {
namespace {

// Runs the dialog modally and does `act` once it shows; the dialog's result.
int RunDialog(TDialogBaseForm& dialog, const std::function<void()>& act) {
  QTimer::singleShot(0, &dialog, act);
  return dialog.exec();
}

TEST(DialogBaseTest, EscapeClicksTheCancelRoleButton) {
  TDialogBaseForm dialog;
  EXPECT_EQ(dialog.ButtonMode(), 1);
  dialog.SetButtonMode(1);  // unchanged
  EXPECT_EQ(dialog.CancelRoleButton(), dialog.ButtonCancel());
  EXPECT_EQ(RunDialog(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }), 2);
  EXPECT_EQ(RunDialog(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Return); }), 1);
  EXPECT_EQ(RunDialog(dialog, [&] { dialog.ButtonCancel()->click(); }), 2);
  EXPECT_EQ(RunDialog(dialog, [&] { dialog.close(); }), 2);
}

TEST(DialogBaseTest, ModeZeroClosesWithOKOnEscape) {
  TDialogBaseForm dialog;
  dialog.SetButtonMode(0);
  EXPECT_EQ(dialog.CancelRoleButton(), dialog.ButtonOK());
  bool cancelVisible = true;
  EXPECT_EQ(RunDialog(dialog,
                      [&] {
                        cancelVisible = dialog.ButtonCancel()->isVisible();
                        QTest::keyClick(&dialog, Qt::Key_Escape);
                      }),
            1);
  EXPECT_FALSE(cancelVisible);
  dialog.SetButtonMode(7);  // stored, nothing else changes
  EXPECT_EQ(dialog.ButtonMode(), 7);
  EXPECT_EQ(dialog.CancelRoleButton(), dialog.ButtonOK());
}

TEST(DialogBaseTest, OKTakesTheFocusBeforeClosing) {
  TDialogBaseForm dialog;
  auto* edit = new QLineEdit(&dialog);
  edit->setGeometry(8, 8, 100, 20);
  bool editLostFocus = false;
  QObject::connect(edit, &QLineEdit::editingFinished, [&] { editLostFocus = true; });
  EXPECT_EQ(RunDialog(dialog,
                      [&] {
                        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
                        edit->setFocus();
                        edit->setText("5");
                        dialog.ButtonOK()->click();
                      }),
            1);
  EXPECT_TRUE(editLostFocus);
  EXPECT_EQ(dialog.ButtonOK()->geometry(), QRect(216, 8, 88, 20));
  // Centred on the screen.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_NEAR(dialog.frameGeometry().center().x(), screen.center().x(), 2);
}

// Qt centres a dialog over its owner; ours opens centred on the screen, unless placed first.
TEST(DialogBaseTest, DialogWithAnOwnerOpensCentredOnTheScreen) {
  QWidget owner;
  owner.setGeometry(20, 30, 300, 200);
  owner.show();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  TDialogBaseForm dialog(&owner);
  QPoint shownAt;
  EXPECT_EQ(RunDialog(dialog,
                      [&] {
                        shownAt = dialog.geometry().center();
                        dialog.ButtonOK()->click();
                      }),
            1);
  EXPECT_NEAR(shownAt.x(), screen.center().x(), 2);
  EXPECT_NEAR(shownAt.y(), screen.center().y(), 2);

  TDialogBaseForm placed(&owner);
  placed.move(40, 50);
  EXPECT_EQ(RunDialog(placed, [&] { placed.ButtonOK()->click(); }), 1);
  EXPECT_EQ(placed.pos(), QPoint(40, 50));
}

// Popups with real events delivered through the window system's path and a fake clock.
class PopupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMillisecondSource([this] { return now_; });
    main_.setGeometry(100, 100, 400, 300);
    main_.show();
    main_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main_));
    depth_ = AppEventFilter::Instance().Depth();
  }
  void TearDown() override {
    SetMillisecondSource({});
    EXPECT_EQ(AppEventFilter::Instance().Depth(), depth_) << "handlers left behind";
  }
  QWindow* MainWindow() { return main_.windowHandle(); }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(MainWindow(), static_cast<Qt::Key>(key), mods);
  }
  // A click at a point of the main window's client area.
  void Click(QPoint local, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(MainWindow(), button, {}, local);
  }

  uint32_t now_ = 5000;
  QWidget main_;
  int32_t depth_ = 0;
};

TEST_F(PopupTest, KeysCloseAcceptedOrCancelled) {
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    int32_t result;
  };
  for (const Case& c :
       {Case{Qt::Key_Escape, {}, 2}, Case{Qt::Key_Tab, {}, 1}, Case{Qt::Key_Backtab, Qt::ShiftModifier, 1},
        Case{Qt::Key_Return, {}, 1}, Case{Qt::Key_Enter, {}, 1}, Case{Qt::Key_Space, {}, 1}}) {
    TPopupBaseForm popup;
    int opened = 0, closed = 0;
    popup.OnPopupOpen = [&](TPopupBaseForm*) { ++opened; };
    popup.OnPopupClose = [&](TPopupBaseForm*) { ++closed; };
    popup.Popup(150, 150);
    ASSERT_TRUE(popup.isVisible());
    EXPECT_FALSE(popup.isActiveWindow());  // shown without activating
    Key(Qt::Key_A);                        // other keys pass
    EXPECT_TRUE(popup.IsShown());
    Key(c.key, c.mods);
    EXPECT_FALSE(popup.IsShown()) << c.key;
    EXPECT_FALSE(popup.isVisible());
    EXPECT_EQ(popup.Result(), c.result) << c.key;
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);
    popup.Popup(150, 150);  // opens again
    EXPECT_EQ(popup.Result(), 0);
    popup.ClosePopup();
  }
}

TEST_F(PopupTest, ClickOutsideClosesAcceptedInsideDoesNot) {
  TPopupBaseForm popup;
  popup.Popup(200, 200);
  ASSERT_TRUE(popup.frameGeometry().contains(QPoint(210, 210)));
  QTest::mouseClick(popup.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(popup.IsShown());
  Click(QPoint(20, 20), Qt::RightButton);  // screen (120, 120): outside
  EXPECT_FALSE(popup.IsShown());
  EXPECT_EQ(popup.Result(), 1);
  popup.Popup(200, 200);
  popup.Popup(10, 10);  // ignored while shown
  EXPECT_EQ(popup.pos(), QPoint(200, 200));
  Click(QPoint(150, 150));  // screen (250, 250): inside the popup's bounds
  EXPECT_TRUE(popup.IsShown());
  popup.ClosePopup();
}

TEST_F(PopupTest, HoldRule) {
  TPopupBaseForm popup;
  popup.SetHold(true);  // opened by a press
  popup.Popup(150, 150);
  EXPECT_EQ(popup.OpenTime(), 5000u);
  now_ += 500;
  QTest::mouseRelease(MainWindow(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(popup.IsShown());  // too quick: stays, the hold flag cleared
  EXPECT_FALSE(popup.Hold());
  now_ += 700;
  QTest::mouseRelease(MainWindow(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(popup.IsShown());  // only the first release may close it
  popup.ClosePopup();

  TPopupBaseForm held;
  held.SetHold(true);
  held.Popup(150, 150);
  now_ += 1200;
  QTest::mouseRelease(MainWindow(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(held.IsShown());
  EXPECT_EQ(held.Result(), 1);
  EXPECT_TRUE(held.Hold());  // left set by the release that closed it
  // The clock wraps: the difference is taken without sign.
  TPopupBaseForm wrapped;
  now_ = 0xFFFFFF00u;
  wrapped.SetHold(true);
  wrapped.Popup(150, 150);
  now_ = 0x00000400u;
  QTest::mouseRelease(MainWindow(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(wrapped.IsShown());
}

TEST_F(PopupTest, ShortcutsAreSwallowedWhileOpen) {
  QAction action(&main_);
  action.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  action.setShortcutContext(Qt::ApplicationShortcut);
  main_.addAction(&action);
  int fired = 0;
  QObject::connect(&action, &QAction::triggered, [&] { ++fired; });
  Key(Qt::Key_K, Qt::ControlModifier);
  ASSERT_EQ(fired, 1);
  TPopupBaseForm popup;
  popup.Popup(150, 150);
  Key(Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(fired, 1);
  EXPECT_TRUE(popup.IsShown());
  popup.ClosePopup();
  Key(Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(fired, 2);
}

TEST_F(PopupTest, AModalDialogAboveLeavesThePopupAlone) {
  TPopupBaseForm popup;
  popup.Popup(150, 150);
  QDialog modal(&main_);
  QAction action(&modal);
  action.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
  modal.addAction(&action);
  int fired = 0;
  QObject::connect(&action, &QAction::triggered, [&] { ++fired; });
  modal.setWindowModality(Qt::ApplicationModal);
  modal.setGeometry(500, 100, 100, 100);
  modal.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&modal));
  ASSERT_TRUE(IsModalFormShowing());
  QTest::mouseClick(modal.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));  // outside the popup
  EXPECT_TRUE(popup.IsShown());
  QTest::keyClick(modal.windowHandle(), Qt::Key_J, Qt::ControlModifier);
  EXPECT_EQ(fired, 1);  // shortcuts are not swallowed under a modal dialog
  QEvent deactivate(QEvent::ApplicationDeactivate);
  QCoreApplication::sendEvent(qApp, &deactivate);
  EXPECT_TRUE(popup.IsShown());
  QTest::keyClick(modal.windowHandle(), Qt::Key_Escape);  // closes the dialog, not the popup
  EXPECT_FALSE(modal.isVisible());
  EXPECT_TRUE(popup.IsShown());
  main_.activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&main_));
  Key(Qt::Key_Escape);
  EXPECT_FALSE(popup.IsShown());
  EXPECT_EQ(popup.Result(), 2);
}

TEST_F(PopupTest, DeactivationAndFocusLossCloseAccepted) {
  TPopupBaseForm popup;
  popup.Popup(150, 150);
  QEvent deactivate(QEvent::ApplicationDeactivate);
  QCoreApplication::sendEvent(qApp, &deactivate);
  EXPECT_FALSE(popup.IsShown());
  EXPECT_EQ(popup.Result(), 1);
  popup.Popup(150, 150);
  QWidget other;
  other.setGeometry(600, 100, 100, 100);
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_FALSE(popup.IsShown());  // a click on another window's title bar ends here
  EXPECT_EQ(popup.Result(), 1);
}

TEST_F(PopupTest, NestedPopupsCloseInnermostFirst) {
  TPopupBaseForm outer, inner;
  outer.Popup(150, 150);
  inner.Popup(180, 180);
  EXPECT_EQ(AppEventFilter::Instance().Depth(), depth_ + 2);
  Key(Qt::Key_Escape);
  EXPECT_FALSE(inner.IsShown());
  EXPECT_TRUE(outer.IsShown());
  Key(Qt::Key_Escape);
  EXPECT_FALSE(outer.IsShown());
  // Deactivation closes both, innermost first.
  outer.Popup(150, 150);
  inner.Popup(180, 180);
  std::vector<TPopupBaseForm*> order;
  outer.OnPopupClose = inner.OnPopupClose = [&](TPopupBaseForm* p) { order.push_back(p); };
  QEvent deactivate(QEvent::ApplicationDeactivate);
  QCoreApplication::sendEvent(qApp, &deactivate);
  EXPECT_EQ(order, (std::vector<TPopupBaseForm*>{&inner, &outer}));
}

// A popup destroyed while shown left its handlers installed, so the next event called into a
// freed object. It now takes them off (and hides) in its destructor.
TEST_F(PopupTest, DestroyedWhileShownTakesItsHandlersOff) {
  TPopupBaseForm outer;
  outer.Popup(150, 150);
  auto* inner = new TPopupBaseForm();
  inner->Popup(180, 180);
  delete inner;
  EXPECT_EQ(AppEventFilter::Instance().Depth(), depth_ + 1);
  Key(Qt::Key_Escape);  // reaches the outer popup, not the freed one
  EXPECT_FALSE(outer.IsShown());
  EXPECT_EQ(outer.Result(), 2);
}

TEST_F(PopupTest, PlacedBesideTheRectangleToAvoid) {
  TPopupBaseForm popup;
  popup.resize(100, 40);
  const TRect avoid{140, 140, 300, 170};
  popup.Popup(150, 150, &avoid);
  EXPECT_EQ(popup.geometry(), QRect(150, 170, 100, 40));  // below it
  popup.ClosePopup();
}

}  // namespace
}  // namespace tf
