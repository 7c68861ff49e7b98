// The playback report form on the offscreen platform: its texts, its layout, the index box, and
// Esc and Close closing it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/qt/EventReportForm.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

TEST(EventReportFormTest, ShowsTheReportAndItsPictures) {
  TMTC picture(40, 30);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) *picture.Pixel(x, y) = 0x00FF0000u;
  TEventReportParam report;
  report.state = kReportInterrupted;
  report.fileName = "scene.wpe";
  report.appendable = 1;
  report.elapsed = 61000;
  report.steps = 42;
  report.indexPictures[6] = &picture;
  TFormEventReport form;
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("再生結果"));
  EXPECT_EQ(form.size(), QSize(544, 351));
  EXPECT_EQ(form.LblTime()->text(), QStringLiteral("-"));
  form.Fill(report);
  EXPECT_EQ(form.LblState()->text(), QString::fromUtf8("イベントの再生を中断しました"));
  EXPECT_EQ(form.LblFileName()->text(), QString::fromUtf8("scene.wpe : 追記可"));
  EXPECT_EQ(form.LblTime()->text(), QString::fromUtf8("1 分 1 秒 000"));
  EXPECT_EQ(form.LblStep()->text(), QString::fromUtf8("42 ステップ"));
  EXPECT_EQ(form.BoxIndex()->geometry(), QRect(16, 55, 512, 206));
  EXPECT_EQ(form.ButtonOK()->text(), QString::fromUtf8("閉じる(&C)"));
  EXPECT_EQ(form.ButtonOK()->pos(), QPoint(440, 323));
  // Slot 6: cell (107, 107), picture at (107 + 28, 107 + 33).
  EXPECT_EQ(form.Surface().GetPixel(135, 140), 0xFFFF0000u);
}

TEST(EventReportFormTest, EscapeAndCloseCloseTheForm) {
  for (bool escape : {true, false}) {
    TFormEventReport form;
    EXPECT_TRUE(form.ButtonCancel()->isHidden());
    QTimer::singleShot(0, &form, [&] {
      if (escape)
        QTest::keyClick(&form, Qt::Key_Escape);
      else
        form.ButtonOK()->click();
    });
    form.exec();
    EXPECT_FALSE(form.isVisible()) << escape;
  }
}

}  // namespace
}  // namespace tf
