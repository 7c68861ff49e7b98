// The tool glyphs: the artwork's layout, the tints of the three states, the look-up tables.
#include "raster/ToolGlyphs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ByteOrder.h"

namespace tf {
namespace {

// A glyph picture of the exact layout: every pixel transparent paper, except those set.
class Picture {
 public:
  Picture() : bytes_(ToolGlyphPicture(), ToolGlyphPicture() + kGlyphPictureBytes) {
    for (size_t i = 54; i + 2 < 54 + 72 * 2088; i += 3) {
      bytes_[i] = 255;
      bytes_[i + 1] = 255;
      bytes_[i + 2] = 0;
    }
  }
  // Glyph type, x and y counted from the glyph's top.
  void Set(int type, int x, int y, uint8_t red, uint8_t green) {
    const int row = kGlyphPictureHeight - 1 - (type * kGlyphSize + y);  // bottom-up
    uint8_t* p = bytes_.data() + 54 + row * 72 + x * 3;
    p[1] = green;
    p[2] = red;
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

TEST(ToolGlyphs, TheArtworkHasTheExactLayout) {
  const uint8_t* p = ToolGlyphPicture();
  EXPECT_EQ(std::memcmp(p, "BM", 2), 0);
  EXPECT_EQ(LoadLE<uint32_t>(p + 2), 150392u);
  EXPECT_EQ(LoadLE<uint32_t>(p + 10), 54u);
  EXPECT_EQ(LoadLE<uint32_t>(p + 14), 40u);
  EXPECT_EQ(LoadLE<int32_t>(p + 18), 24);
  EXPECT_EQ(LoadLE<int32_t>(p + 22), 2088);  // bottom-up
  EXPECT_EQ(LoadLE<uint16_t>(p + 26), 1);
  EXPECT_EQ(LoadLE<uint16_t>(p + 28), 24);
  EXPECT_EQ(LoadLE<uint32_t>(p + 30), 0u);  // BI_RGB
  EXPECT_EQ(LoadLE<uint32_t>(p + 34), 150338u);
  EXPECT_EQ(LoadLE<int32_t>(p + 38), 2834);
  EXPECT_EQ(LoadLE<int32_t>(p + 42), 2834);
  TtFGlyphManager manager;
  EXPECT_TRUE(manager.PictureRead());
  // Every glyph has something opaque to show.
  for (int type = 0; type < kGlyphTypeCount; ++type) {
    const TMemoryGraphic& g = manager.GetGlyph(type, gsNone);
    int drawn = 0;
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) drawn += (g.GetPixel(x, y) >> 24) >= 128;
    }
    EXPECT_GT(drawn, 15) << "glyph " << type;
  }
}

TEST(ToolGlyphs, TintsOfTheThreeStates) {
  ResetAppearanceManager(ClassicSystemColors());
  ASSERT_EQ(AppearanceColors[acWindow] & 0xFFFFFFu, 0xFFFFFFu);
  ASSERT_EQ(AppearanceColors[acWindowText] & 0xFFFFFFu, 0u);
  Picture picture;
  picture.Set(tgPlay, 0, 0, 255, 0);     // opaque, full ink
  picture.Set(tgPlay, 1, 0, 255, 255);   // opaque, no ink
  picture.Set(tgPlay, 2, 0, 0, 0);       // transparent, full ink
  picture.Set(tgPlay, 3, 0, 128, 128);   // half opaque, half ink
  picture.Set(tgPlay, 23, 23, 255, 0);   // the glyph's last pixel
  TtFGlyphManager manager(picture.Bytes().data(), picture.Bytes().size());
  ASSERT_TRUE(manager.PictureRead());
  struct Tint {
    TGlyphState state;
    TAppearanceColor paper, ink;
  };
  const Tint tints[] = {{gsNone, acWindow, acWindowText},
                        {gsActive, acHighlightText, acHighlight},
                        {gsDisabled, acBtnFace, acGrayText}};
  for (const Tint& t : tints) {
    SCOPED_TRACE(static_cast<int>(t.state));
    const TMemoryGraphic& g = manager.GetGlyph(tgPlay, t.state);
    const uint32_t paper = AppearanceColors[t.paper] & 0xFFFFFFu;
    const uint32_t ink = AppearanceColors[t.ink] & 0xFFFFFFu;
    EXPECT_EQ(g.GetPixel(0, 0), 0xFF000000u | ink);
    EXPECT_EQ(g.GetPixel(1, 0), 0xFF000000u | paper);
    EXPECT_EQ(g.GetPixel(2, 0) >> 24, 0u);
    EXPECT_EQ(g.GetPixel(23, 23), 0xFF000000u | ink);
    // w = 127 / 255: paper + Trunc((ink - paper) * w) per channel.
    const float w = 127.0f / 255.0f;
    uint32_t half = 0x80000000u;
    for (int shift = 0; shift < 24; shift += 8) {
      const int p = (paper >> shift) & 0xFF, k = (ink >> shift) & 0xFF;
      half |= static_cast<uint32_t>(p + static_cast<int>(static_cast<float>(k - p) * w)) << shift;
    }
    EXPECT_EQ(g.GetPixel(3, 0), half);
  }
  EXPECT_EQ(manager.GetGlyph(tgPlay, gsNone).GetPixel(0, 0), 0xFF000000u);  // black, opaque
  EXPECT_EQ(manager.GetGlyph(tgPlay, gsNone).GetPixel(1, 0), 0xFFFFFFFFu);  // white, opaque
  // The neighbours above and below belong to other glyphs and stay clear.
  EXPECT_EQ(manager.GetGlyph(tgPause, gsNone).GetPixel(0, 0) >> 24, 0u);
  EXPECT_EQ(manager.GetGlyph(tgEventLock, gsNone).GetPixel(23, 23) >> 24, 0u);
}

// GetGlyph took its indexes modulo 128, unchecked against the 261 surfaces.
TEST(ToolGlyphs, GlyphsOutsideTheTableAreEmpty) {
  TtFGlyphManager& manager = GlyphManager();
  for (auto [type, state] : {std::pair{87, 0}, {127, 2}, {-1, 0}, {0, 3}, {86, -1}, {200, 1}}) {
    EXPECT_FALSE(manager.GetGlyph(type, state).IsValid()) << type << "," << state;
  }
  EXPECT_TRUE(manager.GetGlyph(86, 2).IsValid());
  EXPECT_EQ(manager.GetGlyph(0, 0).Width(), 24);
}

TEST(ToolGlyphs, AnUnreadablePictureLeavesClearGlyphs) {
  Picture picture;
  std::vector<uint8_t> bytes = picture.Bytes();
  bytes.resize(1000);
  TtFGlyphManager manager(bytes.data(), bytes.size());
  EXPECT_FALSE(manager.PictureRead());
  EXPECT_EQ(manager.GetGlyph(tgPencil4, gsNone).GetPixel(5, 5), AppearanceColors[acBtnFaceClear]);
  EXPECT_EQ(manager.GetGlyph(tgPencil4, gsDisabled).GetPixel(5, 5), AppearanceColors[acGrayText] & 0xFFFFFFu);
  TtFGlyphManager none(nullptr, 0);
  EXPECT_FALSE(none.PictureRead());
}

TEST(ToolGlyphs, PenKindsAndToolsMapToTheirGlyphs) {
  const TtFGlyphType kinds[18] = {tgPencil1,   tgEraser1,    tgWaterColor1, tgAirBrush1, tgBlur1,     tgBlur1,
                                  tgFingertip1, tgBurn1,     tgDodge1,      tgPencil4,   tgEraser4,   tgWaterColor4,
                                  tgAirBrush4,  tgBlur4,     tgFingertip4,  tgSpread4,   tgBurn4,     tgDodge4};
  for (int k = 0; k < 18; ++k) EXPECT_EQ(PenKindToGlyph(k), kinds[k]) << k;
  EXPECT_EQ(PenKindToGlyph(4), PenKindToGlyph(5));
  for (int t = 0; t <= 9; ++t) EXPECT_EQ(ToolToGlyph(t), t);
  EXPECT_EQ(ToolToGlyph(10), tgFingertip4);
  EXPECT_EQ(ToolToGlyph(12), tgBlur1);
  EXPECT_EQ(ToolToGlyph(17), tgDodge1);
  EXPECT_EQ(ToolToGlyph(18), tgFillRectangle);
  EXPECT_EQ(ToolToGlyph(37), tgZoom);
  EXPECT_EQ(ToolToGlyph(38), tgPencil4);
  EXPECT_EQ(PenKindToGlyph(18), tgPencil4);
}

}  // namespace
}  // namespace tf
