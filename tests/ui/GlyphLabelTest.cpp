// TtFGlyphLabel on a real widget: the glyph drawn, drags, read-only and disabled.
#include "ui/GlyphLabel.h"

#include <gtest/gtest.h>

#include <QTest>

namespace tf {
namespace {

TEST(GlyphLabel, DraggingSidewaysChangesTheValueByOnePerHundredPixels) {
  TtFGlyphLabel label;
  label.resize(24, 24);
  float began = -1, last = -1, ended = -1;
  int drags = 0;
  label.OnBeginDrag = [](TtFGlyphLabel*, float& position) { position = 3.0f; };
  label.OnDrag = [&](TtFGlyphLabel*, float position) {
    last = position;
    ++drags;
  };
  label.OnEndDrag = [&](TtFGlyphLabel*, float position) { ended = position; };
  (void)began;
  QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_TRUE(label.Dragging());
  QTest::mouseMove(&label, QPoint(60, 40));  // vertical movement does nothing
  EXPECT_FLOAT_EQ(last, 3.5f);
  QTest::mouseRelease(&label, Qt::LeftButton, Qt::NoModifier, QPoint(260, 12));
  EXPECT_FALSE(label.Dragging());
  EXPECT_EQ(ended, 5.5f);  // 250 pixels from 3
  EXPECT_GE(drags, 1);
  QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
  QTest::mouseRelease(&label, Qt::LeftButton, Qt::NoModifier, QPoint(40, 10));
  EXPECT_LT(ended, 3.0f);
  EXPECT_FLOAT_EQ(ended, 2.4f);
}

// ReadOnly cleared while disabled left the label deaf once enabled.
TEST(GlyphLabel, HearsTheMouseExactlyWhenEnabledAndNotReadOnly) {
  TtFGlyphLabel label;
  label.resize(24, 24);
  int begins = 0;
  label.OnBeginDrag = [&](TtFGlyphLabel*, float&) { ++begins; };
  label.SetReadOnly(true);
  QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  QTest::mouseRelease(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(begins, 0);
  label.setEnabled(false);
  label.SetReadOnly(false);
  EXPECT_FALSE(label.HearsMouse());
  label.setEnabled(true);
  EXPECT_TRUE(label.HearsMouse());
  QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  QTest::mouseRelease(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(begins, 1);
  // A double click starts no drag.
  int doubles = 0;
  label.OnDblClick = [&](TtFGlyphLabel*) { ++doubles; };
  QTest::mouseDClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(doubles, 1);
}

TEST(GlyphLabel, TheGlyphIsCentredAndFollowsTheEnabledState) {
  TtFGlyphLabel label;
  label.resize(20, 30);
  label.show();  // the size reaches a widget once it is shown
  label.SetGlyphType(tgPlay);
  // Expected: the glyph blended over the button face at (-2, 3).
  TMemoryGraphic expected(24, 24, AppearanceColors[acBtnFace]);
  const SChannelOps ops{ChannelBlend, ChannelKeep};
  expected.DrawGraphic(0, 0, 24, 24, GlyphManager().GetGlyph(tgPlay, gsNone), 0, 0, ops);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 20; ++x) {
      ASSERT_EQ(label.Graphic().GetPixel(x, y + 3), expected.GetPixel(x + 2, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(label.Graphic().GetPixel(0, 0), AppearanceColors[acBtnFace]);
  label.setEnabled(false);
  TMemoryGraphic disabled(24, 24, AppearanceColors[acBtnFace]);
  disabled.DrawGraphic(0, 0, 24, 24, GlyphManager().GetGlyph(tgPlay, gsDisabled), 0, 0, ops);
  EXPECT_EQ(label.Graphic().GetPixel(10, 15), disabled.GetPixel(12, 12));
  EXPECT_NE(disabled.GetPixel(12, 12), expected.GetPixel(12, 12));
}

}  // namespace
}  // namespace tf
