#include "app/ViewGrabber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/ResourceText.h"

namespace tf {
namespace {

// The parts as drawn: buttons and slider by their inclusive pixel ranges, the ring by its radii.
uint8_t ModelPart(int x, int y) {
  struct Box {
    uint8_t part;
    int x0, x1, y0, y1;
  };
  // Buttons first, in the order the dial tests them; the slider after them.
  const Box boxes[] = {{3, 118, 128, 59, 69}, {4, 59, 69, 118, 128}, {5, 0, 10, 59, 69},     {6, 59, 69, 0, 10},
                       {8, 0, 10, 133, 143},  {7, 118, 128, 133, 143}, {2, 14, 114, 133, 143}};
  for (const Box& b : boxes) {
    if (x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1) return b.part;
  }
  const double d = std::hypot(x - 64.0, y - 64.0);
  return d >= 37.0 && d <= 50.0 ? 1 : 0;
}

TEST(ViewGrabberTest, HitTestOverEveryPixelAgreesWithAModel) {
  int counts[9] = {};
  for (int y = 0; y < kGrabberHeight; ++y) {
    for (int x = 0; x < kGrabberWidth; ++x) {
      const uint8_t part = GrabberHitTest(x, y);
      ASSERT_EQ(part, ModelPart(x, y)) << x << "," << y;
      ++counts[part];
    }
  }
  for (int part = 3; part <= 8; ++part) EXPECT_EQ(counts[part], 121) << part;
  EXPECT_EQ(counts[2], 101 * 11);
  EXPECT_GT(counts[0], 0);  // points between the parts are not the dial's
  EXPECT_EQ(GrabberHitTest(-1, 64), 0);
  EXPECT_EQ(GrabberHitTest(64, 64), 0);  // the ring's middle
  EXPECT_EQ(GrabberHitTest(129, 64), 0);
}

TEST(ViewGrabberTest, RingAndSliderValues) {
  struct RingCase {
    int x, y;
    bool snap;
    float rotation;
  };
  const RingCase rings[] = {
      {114, 64, false, 0.0f},  // 49.5 right of the centre, half a pixel above: nearly 0
      {64, 114, false, 90.0f}, {64, 15, false, -90.0f}, {15, 64, true, -180.0f}, {114, 65, true, 0.0f},
  };
  for (const RingCase& c : rings) {
    CViewGrabber g;
    g.SetRotation(GrabberRingRotation(c.x, c.y, c.snap));
    EXPECT_NEAR(g.Rotation(), c.rotation, 0.6f) << c.x << "," << c.y;
  }
  // Straight right, below and above the exact centre.
  EXPECT_FLOAT_EQ(WrapRotation(static_cast<float>(std::atan2(0.0, 1.0))), 0.0f);
  // 52 degrees snaps to 45.
  const double a = 52.0 * M_PI / 180.0;
  const int x52 = static_cast<int>(64.5 + 40.0 * std::cos(a)), y52 = static_cast<int>(64.5 + 40.0 * std::sin(a));
  EXPECT_FLOAT_EQ(GrabberRingRotation(x52, y52, true), 45.0f);
  EXPECT_NEAR(GrabberRingRotation(x52, y52, false), 52.0f, 1.5f);

  EXPECT_FLOAT_EQ(GrabberSliderScale(14, false), 0.0625f);
  EXPECT_FLOAT_EQ(GrabberSliderScale(0, false), 0.0625f);
  EXPECT_FLOAT_EQ(GrabberSliderScale(65, false), 1.0f);  // t = 0.5
  EXPECT_FLOAT_EQ(GrabberSliderScale(110, false), 16.0f);
  EXPECT_FLOAT_EQ(GrabberSliderScale(128, false), 16.0f);
}

TEST(ViewGrabberTest, SnappingGoesToTheNearerZoomStep) {
  struct Case {
    float scale, snapped;
  };
  const Case cases[] = {{1.0f, 1.0f},     {1.2f, 1.0f},   {1.3f, 1.5f},  {0.7f, 2.0f / 3.0f}, {0.06f, 0.0625f},
                        {0.0625f, 0.0625f}, {15.0f, 16.0f}, {13.0f, 12.0f}, {16.0f, 16.0f}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(SnapScaleToZoomStep(c.scale), c.snapped) << c.scale;
  EXPECT_TRUE(GrabberSnapping(true, false));
  EXPECT_TRUE(GrabberSnapping(false, true));
  EXPECT_FALSE(GrabberSnapping(true, true));
  EXPECT_FALSE(GrabberSnapping(false, false));
  // One step in and out.
  EXPECT_FLOAT_EQ(GrabberZoomInStep(1.0f), 1.5f);
  EXPECT_FLOAT_EQ(GrabberZoomOutStep(1.0f), 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(GrabberZoomInStep(1.2f), 1.5f);
  EXPECT_FLOAT_EQ(GrabberZoomOutStep(1.2f), 1.0f);
  EXPECT_FLOAT_EQ(GrabberZoomInStep(16.0f), 16.0f);
  EXPECT_FLOAT_EQ(GrabberZoomOutStep(0.0625f), 0.0625f);
}

TEST(ViewGrabberTest, RotationWrapsAndKnobsFollowTheValues) {
  CViewGrabber g;
  EXPECT_TRUE(g.SetRotation(180.0f));
  EXPECT_FLOAT_EQ(g.Rotation(), -180.0f);
  EXPECT_TRUE(g.SetRotation(-190.0f));
  EXPECT_FLOAT_EQ(g.Rotation(), 170.0f);
  EXPECT_FALSE(g.SetRotation(530.0f));  // 170 again: no change
  EXPECT_FLOAT_EQ(WrapRotation(720.0f), 0.0f);
  EXPECT_FLOAT_EQ(WrapRotation(-180.0f), -180.0f);

  EXPECT_EQ(GrabberRingKnob(0.0f), (TPoint{104, 59}));
  EXPECT_EQ(GrabberRingKnob(90.0f), (TPoint{59, 104}));
  EXPECT_EQ(GrabberRingKnob(-90.0f), (TPoint{59, 14}));
  EXPECT_EQ(GrabberSliderKnob(1.0f / 16.0f), (TPoint{14, 133}));
  EXPECT_EQ(GrabberSliderKnob(1.0f), (TPoint{59, 133}));
  EXPECT_EQ(GrabberSliderKnob(16.0f), (TPoint{104, 133}));
}

// A scale of 0, below 0 or not finite would divide by zero in the slider knob's place.
TEST(ViewGrabberTest, SetScaleRefusesValuesWithoutAKnobPlace) {
  CViewGrabber g;
  for (float bad : {0.0f, -0.0f, -1.0f, std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
    EXPECT_FALSE(g.SetScale(bad)) << bad;
    EXPECT_FLOAT_EQ(g.Scale(), 1.0f);
  }
  EXPECT_TRUE(g.SetScale(2.0f));
  EXPECT_FALSE(g.SetScale(2.0f));
}

TEST(ViewGrabberTest, APressAloneAppliesTheValueAndButtonsActOnRelease) {
  CViewGrabber g;
  // The slider's middle: pressed without moving.
  g.SetScale(4.0f);
  CViewGrabber::SResult r = g.Press(65, 138, false);
  EXPECT_TRUE(r.enter);
  EXPECT_TRUE(r.changed);
  EXPECT_FLOAT_EQ(g.Scale(), 1.0f);
  r = g.Release(65, 138);
  EXPECT_TRUE(r.exit);
  EXPECT_EQ(g.DragPart(), 0);

  // The ring below the centre.
  r = g.Press(64, 110, false);
  EXPECT_TRUE(r.changed);
  EXPECT_NEAR(g.Rotation(), 90.0f, 0.7f);
  g.Release(64, 110);

  struct Button {
    int x, y;
    float rotation;
  };
  const Button buttons[] = {{123, 64, 0.0f}, {64, 123, -90.0f}, {5, 64, -180.0f}, {64, 5, 90.0f}};
  for (const Button& b : buttons) {
    g.SetRotation(33.0f);
    r = g.Press(b.x, b.y, false);
    EXPECT_FALSE(r.changed);
    EXPECT_FLOAT_EQ(g.Rotation(), 33.0f);
    r = g.Release(b.x, b.y);
    EXPECT_TRUE(r.changed);
    EXPECT_FLOAT_EQ(g.Rotation(), b.rotation);
  }
  g.Press(123, 138, false);
  g.Release(123, 138);
  EXPECT_FLOAT_EQ(g.Scale(), 1.5f);
  g.Press(5, 138, false);
  g.Release(5, 138);
  g.Press(5, 138, false);
  g.Release(5, 138);
  EXPECT_FLOAT_EQ(g.Scale(), 2.0f / 3.0f);
  // A press between the parts does nothing.
  r = g.Press(64, 64, false);
  EXPECT_FALSE(r.enter || r.changed);
  EXPECT_EQ(g.DragPart(), 0);
}

TEST(ViewGrabberTest, HotPartAndHintsFollowThePointer) {
  CViewGrabber g;
  const uint32_t before = g.Image().GetPixel(123, 64);
  CViewGrabber::SResult r = g.Move(123, 64, false);
  EXPECT_TRUE(r.repaint);
  EXPECT_EQ(g.HotPart(), kGrabberResetAngle);
  EXPECT_NE(g.Image().GetPixel(123, 64), before);
  EXPECT_TRUE(r.hintChanged);
  EXPECT_EQ(g.Hint(), Tx(TextId::GrabberHintResetAngle));
  EXPECT_EQ(g.Hint().substr(0, g.Hint().find('|')), "角度をリセット");
  r = g.Move(124, 65, false);
  EXPECT_FALSE(r.hintChanged);  // the same part: not loaded again
  g.Move(64, 64, false);        // between the parts
  EXPECT_EQ(g.HotPart(), 0);
  EXPECT_EQ(g.Hint(), "");
  EXPECT_EQ(g.Image().GetPixel(123, 64), before);
  // During a drag the hint is the drag part's wherever the pointer is.
  g.Press(65, 138, false);
  g.Move(64, 110, false);
  EXPECT_EQ(g.HintPart(), kGrabberSlider);
  g.Release(64, 64);
  EXPECT_EQ(g.HotPart(), 0);
}

}  // namespace
}  // namespace tf
