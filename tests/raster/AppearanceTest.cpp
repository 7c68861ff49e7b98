#include "raster/Appearance.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Screen.h"
#include "raster/Placement.h"

namespace tf {
namespace {

// A glyph as rows of characters: '.' transparent, 'o' opaque, '+' partly transparent.
std::string AlphaPicture(const TMemoryGraphic& g) {
  std::string out;
  for (int32_t y = 0; y < g.Height(); ++y) {
    for (int32_t x = 0; x < g.Width(); ++x) {
      const uint32_t a = g.GetPixel(x, y) >> 24;
      out += a == 0 ? '.' : a == 255 ? 'o' : '+';
    }
    out += '\n';
  }
  return out;
}

// A glyph as rows of colour names from the appearance table ('?' for a colour not in it).
std::string ColourPicture(const TMemoryGraphic& g) {
  const std::pair<int32_t, char> names[] = {
      {acWindowFrame, '1'}, {ac3DDkShadow, '2'}, {acBtnShadow, '3'}, {acBtnFace, '4'}, {acBtnHighlight, '6'}};
  std::string out;
  for (int32_t y = 0; y < g.Height(); ++y) {
    for (int32_t x = 0; x < g.Width(); ++x) {
      const uint32_t p = g.GetPixel(x, y);
      char c = (p >> 24) == 0 ? '.' : '?';
      for (auto [index, name] : names)
        if (p == AppearanceColors[index]) c = name;
      out += c;
    }
    out += '\n';
  }
  return out;
}

TEST(AppearanceTest, ClassicColours) {
  TAppearanceManager manager;
  EXPECT_EQ(AppearanceColors[acBtnFace], 0xFFD4D0C8u);  // the grey of buttons, opaque
  EXPECT_EQ(AppearanceColors[acBtnFaceClear], 0x00D4D0C8u);
  EXPECT_EQ(AppearanceColors[acBtnFaceHalf], 0x80D4D0C8u);
  EXPECT_EQ(AppearanceColors[acBtnFaceThird] >> 24, 85u);
  EXPECT_EQ(AppearanceColors[acBtnFaceTwoThirds] >> 24, 170u);
  EXPECT_EQ(AppearanceColors[acHighlightHalf], (AppearanceColors[acHighlight] & 0xFFFFFF) | 0x80000000u);
  EXPECT_EQ(AppearanceColors[acGrayTextHalf] >> 24, 128u);
  // Other system colours: red and blue exchanged.
  SystemColorTable custom = ClassicSystemColors();
  custom[acBtnFace] = 0x00332211;
  TAppearanceManager other(custom);
  EXPECT_EQ(AppearanceColors[acBtnFace], 0xFF112233u);
  TAppearanceManager restore;
}

TEST(AppearanceTest, MarkAndCaptionGlyphs) {
  TAppearanceManager m;
  EXPECT_EQ(ColourPicture(m.GetMarkGlyph(1)),
            "....1....\n"
            "...161...\n"
            "..16431..\n"
            ".1644431.\n"
            "164444431\n"
            "164444431\n"
            "164444431\n"
            "143333331\n"
            "111111111\n");
  EXPECT_EQ(m.GetMarkGlyph(3).Height(), 7);
  EXPECT_EQ(m.GetMarkGlyph(7).Width(), 10);
  // The ring cursor: opaque white ring with a dark rim on a transparent background.
  const TMemoryGraphic& ring = m.GetMarkGlyph(0);
  EXPECT_EQ(ring.GetPixel(5, 5) >> 24, 0u);
  EXPECT_EQ(ring.GetPixel(0, 0) >> 24, 0u);
  EXPECT_EQ(ring.GetPixel(5, 1), BGRAWhite);
  EXPECT_EQ(ring.GetPixel(5, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(ring.GetPixel(5, 0) >> 24, 255u);
  const TMemoryGraphic& normal = m.GetCaptionGlyph(0);
  const TMemoryGraphic& active = m.GetCaptionGlyph(1);
  EXPECT_EQ(ColourPicture(normal).substr(0, 19 * 3), std::string("........11........\n") +
                                                         ".......1441.......\n" +
                                                         ".......1441.......\n");  // one column per two rows
  EXPECT_EQ(ColourPicture(normal).substr(19 * 16), "111111111111111111\n666666666666666666\n");
  EXPECT_EQ(ColourPicture(active).substr(19 * 2, 19), ".......1631.......\n");
  EXPECT_EQ(ColourPicture(active).substr(19 * 15),
            "164444444444444431\n164444444444444431\n644444444444444444\n");
}

TEST(AppearanceTest, ButtonGlyphs) {
  TAppearanceManager m;
  const TMemoryGraphic& cross = m.GetButtonGlyph(6, gsActive);
  ASSERT_EQ(cross.Width(), 11);
  // A highlight disc with a highlight cross on a highlight-text face.
  EXPECT_EQ(cross.GetPixel(5, 0), AppearanceColors[acHighlight]);
  EXPECT_EQ(cross.GetPixel(5, 5), AppearanceColors[acHighlight]);      // the cross's centre, full ink
  EXPECT_EQ(cross.GetPixel(5, 2), AppearanceColors[acHighlightText]);  // face where the map is 0
  EXPECT_EQ(AlphaPicture(cross),
            "..+++o+++..\n"
            ".+ooooooo+.\n"
            "+ooooooooo+\n"
            "+ooooooooo+\n"
            "+ooooooooo+\n"
            "ooooooooooo\n"
            "+ooooooooo+\n"
            "+ooooooooo+\n"
            "+ooooooooo+\n"
            ".+ooooooo+.\n"
            "..+++o+++..\n");
  for (int32_t symbol = 0; symbol < 13; ++symbol)
    for (int32_t state = 0; state < 3; ++state) {
      const TMemoryGraphic& g = m.GetButtonGlyph(symbol, state);
      for (auto [x, y] : {std::pair{0, 0}, std::pair{10, 0}, std::pair{0, 10}, std::pair{10, 10}})
        EXPECT_LT(g.GetPixel(x, y) >> 24, 16u) << "corners transparent or nearly so";
    }
  // The triangle pointing up in normal state: ink on rows 3..6 of the glyph, 128 at both ends.
  const TMemoryGraphic& up = m.GetButtonGlyph(0, gsNone);
  EXPECT_EQ(up.GetPixel(5, 6), AppearanceColors[acWindowText]);
  EXPECT_EQ(up.GetPixel(2, 6) & 0xFF, ApplyChannelOp(ChannelBlend, AppearanceColors[acBtnFace] & 0xFF,
                                                     AppearanceColors[acWindowText] & 0xFF, 128.0f / 255.0f));
  EXPECT_EQ(up.GetPixel(5, 2), AppearanceColors[acBtnFace]);
}

TEST(AppearanceTest, ListCheckAndGripGlyphs) {
  TAppearanceManager m;
  const TMemoryGraphic& empty = m.GetListGlyph(0, gsNone);
  EXPECT_EQ(empty.GetPixel(0, 0), AppearanceColors[acBtnShadow]);
  EXPECT_EQ(empty.GetPixel(5, 5), AppearanceColors[acWindow]);
  const TMemoryGraphic& checked = m.GetListGlyph(1, gsNone);
  EXPECT_EQ(checked.GetPixel(2, 5), AppearanceColors[acWindowText]);  // check mark value 255 at (0, 3)
  const TMemoryGraphic& eye = m.GetCheckGlyph(1, gsNone);
  ASSERT_EQ(eye.Width(), 13);
  EXPECT_EQ(eye.GetPixel(0, 0), AppearanceColors[acBtnShadow]);       // sunken: dark top-left
  EXPECT_EQ(eye.GetPixel(12, 12), AppearanceColors[acBtnHighlight]);  // light bottom-right
  EXPECT_EQ(eye.GetPixel(5, 4), AppearanceColors[acWindowText]);      // open eye, value 255 at (3, 1)
  EXPECT_EQ(eye.GetPixel(1, 1), AppearanceColors[acBtnFace]);
  const TMemoryGraphic& grip = m.GetGripGlyph(2);
  ASSERT_EQ(grip.Width(), 17);
  EXPECT_EQ(grip.GetPixel(0, 0), AppearanceColors[acBtnShadow] & 0xFFFFFF);  // ring colour, alpha 0
  EXPECT_EQ(grip.GetPixel(8, 6), AppearanceColors[acGrayText]);              // the down triangle
}

// Glyph indexes were taken modulo 128 and not checked, so a bad index read past the tables;
// each getter now answers an empty surface for an index outside its range.
TEST(AppearanceTest, GlyphIndexesOutsideTheirRangeGiveAnEmptySurface) {
  TAppearanceManager m;
  EXPECT_FALSE(m.GetMarkGlyph(8).IsValid());
  EXPECT_FALSE(m.GetMarkGlyph(-1).IsValid());
  EXPECT_FALSE(m.GetCaptionGlyph(2).IsValid());
  EXPECT_FALSE(m.GetGripGlyph(3).IsValid());
  EXPECT_FALSE(m.GetButtonGlyph(13, gsNone).IsValid());
  EXPECT_FALSE(m.GetButtonGlyph(128 + 6, gsNone).IsValid());
  EXPECT_FALSE(m.GetButtonGlyph(0, 3).IsValid());
  EXPECT_FALSE(m.GetListGlyph(2, gsNone).IsValid());
  EXPECT_FALSE(m.GetCheckGlyph(0, -1).IsValid());
  EXPECT_TRUE(m.GetCheckGlyph(1, gsDisabled).IsValid());
  TMemoryGraphic target(4, 4);
  EXPECT_FALSE(target.DrawGraphic(0, 0, 4, 4, m.GetButtonGlyph(99, 0), 0, 0, {ChannelCopy, ChannelCopy}));
}

class PlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Two monitors side by side; the left one has a task bar at the bottom.
    screen_.monitorList = {{{0, 0, 1000, 800}, {0, 0, 1000, 760}}, {{1000, 0, 800, 600}, {1000, 0, 800, 600}}};
    previous_ = SetScreenHost(&screen_);
  }
  void TearDown() override { SetScreenHost(previous_ == &screen_ ? nullptr : previous_); }
  HeadlessScreenHost screen_;
  ScreenHost* previous_ = nullptr;
};

TEST_F(PlacementTest, NearestMonitor) {
  EXPECT_EQ(MonitorNearestPoint(1500, 100).bounds.left, 1000);
  EXPECT_EQ(MonitorNearestPoint(1500, 700).bounds.left, 1000);  // below the right monitor: nearest
  EXPECT_EQ(MonitorNearestPoint(-50, 900).bounds.left, 0);
  EXPECT_EQ(MonitorNearestPoint(999, 0).bounds.left, 0);
}

TEST_F(PlacementTest, KeepOnMonitor) {
  TPoint offset;
  EXPECT_TRUE(GetMonitorFitOffset({10, 10, 100, 100}, {50, 50}, offset));
  EXPECT_FALSE(GetMonitorFitOffset({950, 700, 1050, 800}, {960, 700}, offset));
  EXPECT_EQ(offset, (TPoint{-50, -40}));  // into the work area, above the task bar
  TRect r{950, 700, 1050, 800};
  EXPECT_TRUE(KeepRectOnMonitor(r, {960, 700}));
  EXPECT_EQ(r, (TRect{900, 660, 1000, 760}));
  // Wider than the work area: the left edge on the work area's left edge, from either side.
  for (int32_t left : {1500, 900}) {
    TRect wide{left, 10, left + 1000, 50};
    EXPECT_TRUE(KeepRectOnMonitor(wide, {1500, 10}));
    EXPECT_EQ(wide.left, 1000);
  }
  TRect empty{5, 5, 5, 9};
  EXPECT_FALSE(KeepRectOnMonitor(empty, {5, 5}));
}

TEST_F(PlacementTest, PlaceBeside) {
  struct Case {
    TRect rect, avoid, expected;
    bool result;
  };
  const Case cases[] = {
      {{100, 100, 200, 150}, {300, 300, 400, 320}, {100, 100, 200, 150}, true},  // no overlap: stays
      // Fits below and above: below wins.
      {{100, 100, 200, 150}, {90, 80, 250, 120}, {100, 120, 200, 170}, true},
      // No room below: above.
      {{100, 700, 200, 740}, {90, 690, 250, 740}, {100, 650, 200, 690}, true},
      // Tall avoid rectangle: right of it.
      {{100, 100, 200, 150}, {50, 0, 300, 760}, {300, 100, 400, 150}, true},
      // The right is the monitor's edge: left of it.
      {{850, 100, 950, 150}, {800, 0, 1000, 760}, {700, 100, 800, 150}, true},
      // Nothing fits: the last candidate, false.
      {{100, 100, 900, 150}, {0, 0, 1000, 760}, {-800, 100, 0, 150}, false},
  };
  for (const Case& c : cases) {
    TRect r = c.rect;
    EXPECT_EQ(PlaceRectBeside(r, {r.left, r.top}, c.avoid), c.result);
    EXPECT_EQ(r, c.expected) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
}

}  // namespace
}  // namespace tf
