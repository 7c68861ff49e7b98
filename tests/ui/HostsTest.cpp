#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "platform/Confirm.h"
#include "platform/Host.h"
#include "platform/Progress.h"
#include "platform/Screen.h"
#include "platform/Warning.h"
#include "platform/Window.h"
#include "platform/qt/AppEventFilter.h"
#include "platform/qt/QtHosts.h"
#include "ui/ProgressWindow.h"
#include "ui/UiAppearance.h"
#include "ui/UiHosts.h"

namespace tf {
namespace {

class HostsTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallUiHosts(); }
  void TearDown() override { UninstallUiHosts(); }
};

// Acts on the message box once it shows.
void WithMessageBox(const std::function<void(QMessageBox*)>& act) {
  QTimer::singleShot(0, [act] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    act(box);
  });
}

TEST_F(HostsTest, WarningBoxShowsAtOnce) {
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WithMessageBox([&](QMessageBox* box) {
    caption = box->windowTitle();
    text = box->text();
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  ShowWarning("メモリ不足のため実行できませんでした！");
  EXPECT_EQ(caption, QString::fromUtf8("警告 (Tintaframe)"));
  EXPECT_EQ(text, QString::fromUtf8("メモリ不足のため実行できませんでした！"));
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_TRUE(DefaultWarningHost().Texts().empty());
}

TEST_F(HostsTest, ConfirmationButtonSets) {
  struct Case {
    int32_t buttons;
    std::vector<QMessageBox::StandardButton> shown;
    QMessageBox::StandardButton click;
    int32_t answer;
    int32_t closed;  // the cautious answer, on Esc
  };
  const Case cases[] = {
      {kButtonsOk, {QMessageBox::Ok}, QMessageBox::Ok, kResultOk, kResultOk},
      {kButtonsOkCancel, {QMessageBox::Ok, QMessageBox::Cancel}, QMessageBox::Ok, kResultOk, kResultCancel},
      {kButtonsAbortRetryIgnore,
       {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore},
       QMessageBox::Retry,
       kResultRetry,
       kResultAbort},
      {kButtonsYesNoCancel,
       {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel},
       QMessageBox::No,
       kResultNo,
       kResultCancel},
      {kButtonsYesNo, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::Yes, kResultYes, kResultNo},
      {kButtonsRetryCancel,
       {QMessageBox::Retry, QMessageBox::Cancel},
       QMessageBox::Retry,
       kResultRetry,
       kResultCancel},
  };
  for (const Case& c : cases) {
    WithMessageBox([&](QMessageBox* box) {
      EXPECT_EQ(box->buttons().size(), static_cast<qsizetype>(c.shown.size())) << c.buttons;
      for (auto b : c.shown) EXPECT_NE(box->button(b), nullptr) << c.buttons;
      box->button(c.click)->click();
    });
    EXPECT_EQ(AskConfirm("保存しますか?", c.buttons), c.answer) << c.buttons;
    WithMessageBox([&](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(AskConfirm("保存しますか?", c.buttons), c.closed) << c.buttons;
    EXPECT_EQ(c.closed, CautiousAnswer(c.buttons));
  }
}

TEST_F(HostsTest, ScreenAndWindows) {
  EXPECT_GT(GetPrimaryScreenWidth(), 1);
  EXPECT_EQ(GetMonitorCount(), static_cast<int32_t>(QGuiApplication::screens().size()));
  const std::vector<MonitorInfo> monitors = GetMonitors();
  ASSERT_FALSE(monitors.empty());
  EXPECT_EQ(monitors[0].bounds.width, GetPrimaryScreenWidth());
  QWidget w;
  w.setGeometry(40, 50, 120, 80);
  w.show();
  ScreenRect r;
  ASSERT_TRUE(GetWindowHost().GetWindowRect(HandleOfWidget(&w), r));
  EXPECT_EQ(r.width, w.frameGeometry().width());
  EXPECT_TRUE(GetWindowHost().MoveWindow(HandleOfWidget(&w), 70, 60));
  EXPECT_EQ(w.pos(), QPoint(70, 60));
  EXPECT_FALSE(GetWindowHost().GetWindowRect(12345, r));  // not a widget
  EXPECT_GT(GetWindowHost().VirtualScreen().width, 0);
}

TEST_F(HostsTest, OneManagedCursorOverride) {
  const intptr_t before = SetWaitCursor();
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  const intptr_t wait = SetSystemCursor(kCursorCross);  // changed in place, not stacked
  EXPECT_EQ(wait, kCursorWait);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
  RestoreCursor(wait);
  RestoreCursor(before);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // none left over
  {
    WaitCursor busy;
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(HostsTest, KeyAndButtonState) {
  QWidget w;
  w.setGeometry(40, 50, 120, 80);
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyPress(w.windowHandle(), Qt::Key_A);
  EXPECT_TRUE(IsKeyDown(kVkA));
  EXPECT_FALSE(IsKeyDown(kVkSpace));
  QTest::keyRelease(w.windowHandle(), Qt::Key_A);
  EXPECT_FALSE(IsKeyDown(kVkA));
  QTest::keyPress(w.windowHandle(), Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_TRUE(IsKeyDown(kVkShift));
  EXPECT_EQ(GetShiftButtons() & kShiftKey, kShiftKey);
  QTest::keyRelease(w.windowHandle(), Qt::Key_Shift);
  EXPECT_FALSE(IsKeyDown(kVkShift));
  QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(IsKeyDown(kVkLeftButton));
  QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(IsKeyDown(kVkLeftButton));
}

// Counts paint events of one widget.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(HostsTest, ProgressWindowPercentagesAndRepaintsWithinTheCall) {
  QWidget owner;
  owner.setGeometry(100, 100, 600, 400);
  owner.show();
  std::unique_ptr<TProgressDlg> dlg = CreateProgressDlg(HandleOfWidget(&owner), 200, "保存中", "レイヤー");
  ASSERT_NE(dlg, nullptr);
  auto* window = dynamic_cast<TProgressWindow*>(dlg.get());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), ProgramTitleText());  // no title: the program's
  EXPECT_EQ(window->Label1()->text(), QString::fromUtf8("保存中"));
  EXPECT_EQ(window->Label2()->text(), QString::fromUtf8("レイヤー"));
  EXPECT_EQ(window->Label3()->text(), "0%");
  EXPECT_NEAR(window->frameGeometry().center().x(), owner.frameGeometry().center().x(), 2);  // centred
  EXPECT_TRUE(window->windowHandle()->isExposed());  // shown before the work goes on

  PaintCounter counter;
  window->Label3()->installEventFilter(&counter);
  struct Step {
    int32_t maximum, position, percent;
    QString label;
    int bar;
  };
  const Step steps[] = {
      {0, 0, 0, "0%", 0},
      {0, 1, 100, "100%", 100},                 // maximum 0 becomes 1
      {200, 250, 100, "100%", 100},             // clamped above
      {100, -10, -10, "-10%", 0},               // no lower clamp; the bar stays at its minimum
      {2000000000, 1000000000, 50, "50%", 50},  // the product needs 64 bits
  };
  for (const Step& s : steps) {
    const int before = counter.paints;
    EXPECT_EQ(ProgressSetRange(dlg.get(), s.maximum, s.position), s.percent);
    EXPECT_EQ(window->Label3()->text(), s.label);
    EXPECT_EQ(window->ProgressBar1()->value(), s.bar);
    EXPECT_GT(counter.paints, before) << "painted within the call";
  }
  ProgressSetRange(dlg.get(), 4, 0);
  EXPECT_EQ(ProgressStepBy(dlg.get(), 1), 25);
  EXPECT_EQ(ProgressStepBy(dlg.get(), 2), 75);
  ProgressSetTexts(dlg.get(), "読み込み", "ロード中", "");
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("読み込み"));
  EXPECT_EQ(ProgressStepBy(nullptr, 1), 0);
  EXPECT_EQ(ProgressSetPosition(nullptr, 1), 0);
  ProgressSetStatus(nullptr, "x");
  dlg.reset();  // freeing hides it
}

TEST(UiAppearanceTest, FontsAndFrames) {
  QFont font(QStringLiteral("Some Font"));
  font.setPixelSize(17);
  // None of the Windows user-interface fonts is installed here: false, font unchanged.
  EXPECT_FALSE(SetDefaultUIFont(font, kShiftJisCharset));
  EXPECT_EQ(font.family(), QStringLiteral("Some Font"));
  EXPECT_EQ(font.pixelSize(), 17);
  EXPECT_TRUE(IsFontInstalled(QStringLiteral("dejavu sans"), kAnsiCharset));
  EXPECT_FALSE(IsFontInstalled(QStringLiteral("Tahoma"), kAnsiCharset));
  // The substitution maps the form font to an installed Japanese family.
  EXPECT_TRUE(QFontInfo(DefaultFormFont()).family().startsWith(QStringLiteral("IPA")));

  QImage image(8, 6, QImage::Format_RGB32);
  image.fill(Qt::green);
  {
    QPainter p(&image);
    DrawRaisedFrame(p, QRect(0, 0, 8, 6), QColor(Qt::red));
  }
  EXPECT_EQ(image.pixel(0, 0), AppearanceColor(2).rgb());  // highlight top-left
  EXPECT_EQ(image.pixel(7, 5), AppearanceColor(4).rgb());  // shadow bottom-right
  EXPECT_EQ(image.pixel(7, 0), AppearanceColor(4).rgb());
  EXPECT_EQ(image.pixel(3, 3), QColor(Qt::red).rgb());
  {
    QPainter p(&image);
    DrawSunkenFrame(p, QRect(0, 0, 8, 6), std::nullopt);
  }
  EXPECT_EQ(image.pixel(0, 0), AppearanceColor(4).rgb());
  EXPECT_EQ(image.pixel(1, 1), AppearanceColor(26).rgb());
  EXPECT_EQ(image.pixel(3, 3), QColor(Qt::red).rgb());

  QPoint p;
  GetCursorPosIn(nullptr, p);
  EXPECT_EQ(p, QCursor::pos());  // screen coordinates without a control
  QWidget top;
  auto* child = new QWidget(&top);
  child->setGeometry(10, 20, 30, 30);
  QCursor::setPos(QPoint(0, 0));
  GetCursorPosIn(child, p);
  EXPECT_EQ(p, top.mapFromGlobal(QCursor::pos()) - QPoint(10, 20));
  QSize frame(-1, -1);
  EXPECT_TRUE(GetWindowFrameSize(frame, &top));
  EXPECT_GE(frame.width(), 0);
  EXPECT_FALSE(GetWindowFrameSize(frame, child));
}

}  // namespace
}  // namespace tf
