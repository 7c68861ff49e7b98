#include "app/PresetPreview.h"

#include <gtest/gtest.h>

#include "paint/ToneSet.h"
#include "raster/Appearance.h"

namespace tf {
namespace {

TEST(PresetPreview, SwatchShowsItsColourOpaque) {
  CPresetPreview p(CPresetPreview::kSwatch);
  p.SetSize(20, 16);
  p.SetColor(0x00336699u);
  EXPECT_EQ(p.SwatchColor(), 0xFF336699u);
  EXPECT_EQ(p.Picture().GetPixel(10, 8), 0xFF336699u);
  EXPECT_EQ(p.Picture().GetPixel(0, 0), AppearanceColors[acBtnShadow]);
  EXPECT_EQ(p.Picture().GetPixel(1, 1), AppearanceColors[acWindow]);
}

TEST(PresetPreview, GradientWithoutOneShowsTheCheckerboard) {
  CPresetPreview p(CPresetPreview::kGradient);
  p.SetSize(20, 20);
  SGradOption o;
  InitGradOption(o);
  p.SetGradient(nullptr, o);
  EXPECT_EQ(p.Picture().GetPixel(2, 2), kPreviewCheckerWhite);
  EXPECT_EQ(p.Picture().GetPixel(6, 2), kPreviewCheckerGrey);
  EXPECT_EQ(p.Picture().GetPixel(6, 6), kPreviewCheckerWhite);
  auto gradient = CGradObj::CreateTwoColor(0xFF0000FFu, 0xFFFF0000u, "test");
  p.SetGradient(gradient.get(), o);
  EXPECT_NE(p.Picture().GetPixel(2, 2), kPreviewCheckerWhite);
  EXPECT_EQ(p.Picture().GetPixel(2, 2) >> 24, 0xFFu);
}

TEST(PresetPreview, ToneWithoutPatternIsWhite) {
  CPresetPreview p(CPresetPreview::kTone);
  p.SetSize(16, 16);
  p.SetPattern(nullptr);
  for (const int32_t x : {2, 7, 13}) EXPECT_EQ(p.Picture().GetPixel(x, 8) & 0xFFFFFFu, 0xFFFFFFu);
}

TEST(PresetPreview, TinyControlHasNoPreviewUntilResized) {
  CPresetPreview p(CPresetPreview::kSwatch);
  p.SetSize(4, 4);
  p.SetColor(0xFF00FF00u);
  EXPECT_FALSE(p.HasPreview());
  EXPECT_EQ(p.Picture().GetPixel(2, 2), AppearanceColors[acWindow]);
  p.SetSize(12, 12);
  EXPECT_TRUE(p.HasPreview());
  EXPECT_EQ(p.Picture().GetPixel(5, 5), 0xFF00FF00u);
}

TEST(PresetPreview, NibDrawsInk) {
  CPresetPreview p(CPresetPreview::kNib);
  p.SetSize(24, 24);
  SNibPreview nib;
  InitNibPreview(nib);
  nib.size = 5.0f;
  p.SetNib(nib);
  EXPECT_NE(p.Picture().GetPixel(12, 12), AppearanceColors[acWindow]);
  EXPECT_EQ(p.Picture().GetPixel(2, 2), AppearanceColors[acWindow]);
}

void Ramp(TChannel& c, int32_t w, int32_t h) {
  c.Resize(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *c.GetPixelPtr(x, y) = static_cast<uint8_t>((x * 13 + y * 29) & 0xFF);
}

// The plain pattern's preview shows the tone set's own working tile (same scaling, same values).
TEST(PresetPreview, PlainPatternEqualsTheWorkingTile) {
  for (const int32_t scale : {100, 50, 175}) {
    CToneMngr set;
    TChannel tile;
    Ramp(tile, 24, 20);
    ASSERT_GE(set.AddPattern(tile, scale, nullptr), 0);
    set.SetCurrent(set.Count() - 1);
    const auto* working = dynamic_cast<const CPat8*>(set.WorkingCopy());
    ASSERT_NE(working, nullptr);
    TMTC work;
    CToneMaker maker;
    ASSERT_TRUE(DrawTonePreviewPixels(work, 61, 47, set.GetItem(set.Count() - 1), maker));
    for (int32_t y = 0; y < 47; ++y)
      for (int32_t x = 0; x < 61; ++x)
        ASSERT_EQ(work.GetPixel(x, y), 0xFF000000u | (255u - working->PixelAt(x, y)) * 0x010101u)
            << scale << " at " << x << "," << y;
  }
}

// Mended: scales and offsets come unchecked from tone files.
TEST(PresetPreview, PlainPatternScaleAndOffsetsFromFiles) {
  TChannel tile;
  Ramp(tile, 8, 8);
  CPat8 pattern(8, 8, 0);
  pattern.SetTileFromChannel(tile);
  TMTC work;
  CToneMaker maker;
  // A scale of 0 or below makes no tile; a huge one an enormous tile: white, no division by 0.
  for (const int32_t scale : {0, -100, 1000000000}) {
    pattern.SetScale(scale);
    EXPECT_FALSE(DrawTonePreviewPixels(work, 16, 16, &pattern, maker)) << scale;
    EXPECT_EQ(work.GetPixel(5, 5), 0xFFFFFFFFu);
  }
  // An offset below minus the tile size: the floored index, as for a small offset.
  pattern.SetScale(100);
  for (const int32_t offset : {-3, -19, -8000000, 2147483647, -2147483647 - 1}) {
    pattern.SetOffsets(offset, offset);
    ASSERT_TRUE(DrawTonePreviewPixels(work, 16, 16, &pattern, maker));
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const int64_t tx = ((int64_t{x} - offset) % 8 + 8) % 8, ty = ((int64_t{y} - offset) % 8 + 8) % 8;
        const uint32_t v = tile.GetPixel(static_cast<int32_t>(tx), static_cast<int32_t>(ty));
        ASSERT_EQ(work.GetPixel(x, y), 0xFF000000u | (255u - v) * 0x010101u) << offset;
      }
  }
}

TEST(PresetPreview, ScreenToneFollowsTheMaker) {
  CToneMngr set;
  SToneAttr attr;
  InitToneAttr(attr);
  attr.shape = 0;
  attr.resolution = 350;
  attr.ruling = 40;
  attr.density = 30;
  attr.angle = 45;
  const int32_t index = set.AddTone(attr, true, nullptr);
  ASSERT_GE(index, 0);
  set.SetCurrent(index);
  const auto* working = dynamic_cast<const CPat8Tone*>(set.WorkingCopy());
  ASSERT_NE(working, nullptr);
  TMTC work;
  CToneMaker maker;
  ASSERT_TRUE(DrawTonePreviewPixels(work, 40, 30, set.GetItem(index), maker));
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x)
      ASSERT_EQ(work.GetPixel(x, y), 0xFF000000u | (255u - working->PixelAt(x, y)) * 0x010101u);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {
// The tone's grey multiplied onto the preview as the surface's multiply does it.
TEST(PresetPreview, ToneIsMultipliedOntoThePreview) {
  TChannel tile;
  tile.Resize(4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) *tile.GetPixelPtr(x, y) = static_cast<uint8_t>(x * 60 + y * 7);
  CPat8 pattern(4, 4, 0);
  pattern.SetTileFromChannel(tile);
  const uint32_t window = AppearanceColors[acWindow];
  AppearanceColors[acWindow] = 0xFFC08040u;
  CPresetPreview p(CPresetPreview::kTone);
  p.SetSize(12, 12);
  p.SetPattern(&pattern);
  TMemoryGraphic expected(8, 8, 0xFFC08040u);
  TMTC work;
  CToneMaker maker;
  DrawTonePreviewPixels(work, 8, 8, &pattern, maker);
  expected.DrawBits(0, 0, 8, 8, reinterpret_cast<const uint32_t*>(work.Bits()), 0, 0, 8, 8,
                    SChannelOps{ChannelMultiply, ChannelKeep});
  AppearanceColors[acWindow] = window;
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(p.PreviewImage().GetPixel(x, y), expected.GetPixel(x, y)) << x << "," << y;
}
}  // namespace
}  // namespace tf
