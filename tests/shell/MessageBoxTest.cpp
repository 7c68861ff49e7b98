// The program's message boxes on real widgets: caption, icon, line breaks, owner, nested loop.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "platform/Confirm.h"
#include "platform/Shell.h"
#include "platform/Warning.h"
#include "platform/qt/QtHosts.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

struct SeenBox {
  bool shown = false;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* parent = nullptr;
};

// Looks at the next modal box from the box's own loop (a timer firing there), then presses its
// default or first button.
void WatchNextBox(SeenBox& seen, QMessageBox::StandardButton press = QMessageBox::NoButton) {
  QTimer::singleShot(0, [&seen, press] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen.shown = true;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.parent = box->parentWidget();
    QAbstractButton* button = press != QMessageBox::NoButton ? box->button(press) : box->buttons().value(0);
    if (button != nullptr) button->click();
  });
}

TEST(MessageBoxes, WarningBoxBeforeAnyWindow) {
  SetMainWindowWidget(nullptr);
  SeenBox seen;
  WatchNextBox(seen);
  ShowWarning("unknown command line switch!\r    arg = -foo");
  ASSERT_TRUE(seen.shown);  // the timer fired inside the box's loop
  EXPECT_EQ(seen.title, QString::fromUtf8("警告 (Tintaframe)"));
  EXPECT_EQ(seen.text, QStringLiteral("unknown command line switch!\n    arg = -foo"));
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.parent, nullptr);  // no owner: the desktop
}

TEST(MessageBoxes, OwnerIsTheGivenWindowElseTheMainWindow) {
  QMainWindow main;
  QWidget other;
  SetMainWindowWidget(&main);
  SeenBox seen;
  WatchNextBox(seen);
  ShowWarningBox("a\r\nb", 0, nullptr);
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.parent, &main);
  EXPECT_EQ(seen.text, QStringLiteral("a\nb"));

  SeenBox given;
  WatchNextBox(given);
  ShowWarningBox("x", HandleOfWidget(&other), "Caption");
  ASSERT_TRUE(given.shown);
  EXPECT_EQ(given.parent, &other);
  EXPECT_EQ(given.title, QStringLiteral("Caption"));
  SetMainWindowWidget(nullptr);
}

TEST(MessageBoxes, InformationAndQuestions) {
  SeenBox info;
  WatchNextBox(info);
  ShowInformation("done\rall");
  ASSERT_TRUE(info.shown);
  EXPECT_EQ(info.icon, QMessageBox::Information);
  EXPECT_EQ(info.text, QStringLiteral("done\nall"));
  EXPECT_EQ(info.title, QStringLiteral("Tintaframe"));

  SeenBox question;
  WatchNextBox(question, QMessageBox::No);
  EXPECT_EQ(AskYesNoCancel("save?"), kResultNo);
  ASSERT_TRUE(question.shown);
  EXPECT_EQ(question.icon, QMessageBox::Question);
}

TEST(ShellCallsQt, FilesThatCannotBeReadAreNotHandedToTheDesktop) {
  test::ScopedTempFolder folder("tf-shell");
  EXPECT_FALSE(ShellOpen(folder.File("tF45e.chm")));  // missing
  EXPECT_FALSE(ShellOpen(folder.Path()));             // a folder
  EXPECT_FALSE(OpenURL(""));
}

}  // namespace
}  // namespace tf
