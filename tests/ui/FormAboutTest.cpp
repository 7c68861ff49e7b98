#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>

#include "MouseDriver.h"
#include "app/qt/FormAbout.h"
#include "platform/MemoryStatus.h"

namespace tf {
namespace {

using namespace tf::test;

struct FixedMemory {
  MemoryStatusSource old;
  FixedMemory() {
    old = SetMemoryStatusSource(
        [] { return SMemoryStatus{uint64_t{8} << 30, uint64_t{6} << 30, uint64_t{1} << 40, (uint64_t{1} << 40) - 1023, 0, 0}; });
  }
  ~FixedMemory() { SetMemoryStatusSource(old); }
};

TEST(FormAboutTest, ShowsTheVersionPictureCreditAndMemory) {
  FixedMemory memory;
  TFormAbout form(false);
  EXPECT_EQ(form.windowTitle().toStdString(), "バージョン情報");
  EXPECT_EQ(form.LblVersion->text().toStdString(), "Tintaframe 4.5.18 Plus");
  EXPECT_EQ(form.LblPhys->text().toStdString(), "2.00 GB / 8.00 GB");
  EXPECT_EQ(form.LblVirtual->text().toStdString(), "1023 B / 1024.00 GB");
  EXPECT_EQ(form.LblPageFile->text().toStdString(), "   0 B /    0 B");
  EXPECT_TRUE(form.HasPicture());
  EXPECT_EQ(form.LabelIllustrator->text(), form.LabelShadow->text());
  EXPECT_TRUE(form.LabelIllustrator->text().startsWith("Illustrated by "));
  EXPECT_TRUE(form.LblVersion->font().bold());
  TFormAbout rendering(true);
  EXPECT_EQ(rendering.LblVersion->text().toStdString(), "Tintaframe 4.5.18 Plus Render!");
}

// Runs the box modally and does `act` once it is up; the modal result.
int RunAndClose(const std::function<void(TFormAbout&)>& act) {
  FixedMemory memory;
  TFormAbout form(false);
  int result = -1;
  QTimer::singleShot(0, &form, [&] {
    QApplication::processEvents();
    act(form);
    QApplication::processEvents();
    // A box that ignored what was done is closed with a result of its own.
    if (form.isVisible()) form.done(7);
  });
  result = form.exec();
  return result;
}

TEST(FormAboutTest, ClosesFourWays) {
  EXPECT_EQ(RunAndClose([](TFormAbout& f) { QTest::keyClick(&f, Qt::Key_Return); }), 1);
  EXPECT_EQ(RunAndClose([](TFormAbout& f) { QTest::keyClick(&f, Qt::Key_Escape); }), 1);
  EXPECT_EQ(RunAndClose([](TFormAbout& f) { QTest::keyClick(&f, Qt::Key_Enter, Qt::KeypadModifier); }), 1);
  EXPECT_EQ(RunAndClose([](TFormAbout& f) { Click(f.LblPhys, {3, 3}); }), 1);
  EXPECT_EQ(RunAndClose([](TFormAbout& f) { Click(f.BoxImage, {100, 100}); }), 1);
  EXPECT_EQ(RunAndClose([](TFormAbout& f) {
              QEvent deactivate(QEvent::WindowDeactivate);
              QApplication::sendEvent(&f, &deactivate);
            }),
            1);
  // Another key does nothing: the guard closes it with its own result.
  EXPECT_EQ(RunAndClose([](TFormAbout& f) { QTest::keyClick(&f, Qt::Key_A); }), 7);
}

}  // namespace
}  // namespace tf
