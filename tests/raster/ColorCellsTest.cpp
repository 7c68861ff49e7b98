#include "raster/ColorCells.h"

#include <gtest/gtest.h>

#include "raster/Appearance.h"

namespace tf {
namespace {

SColorValue FromPixel(uint32_t pixel) {
  SColorValue v;
  BGRAToColorValue(pixel, v);
  return v;
}

TEST(ColorCellsTest, PickerCellShowsTheInitialColourAboveTheCurrentOne) {
  CPickerColorCellCore cell;
  int32_t fired = 0, repaints = 0;
  cell.onChange = [&] { ++fired; };
  cell.onRepaint = [&] { ++repaints; };
  cell.SetColor(FromPixel(0xFF102030));
  cell.SetInitialColor(FromPixel(0xFFA0B0C0));
  EXPECT_EQ(fired, 1);  // the initial colour fires nothing
  cell.SetColor(FromPixel(0xFF102030));
  EXPECT_EQ(fired, 1);
  TMemoryGraphic g;
  cell.RenderCell(g, 40, 30);
  EXPECT_EQ(g.GetPixel(20, 5) & 0xFFFFFF, 0x102030u);  // without DrawInitialColor: the current colour
  cell.SetDrawInitialColor(true);
  cell.RenderCell(g, 40, 30);
  // k = (30 - 4) div 2 = 13: the initial colour over rows 2..14, the current one over 15..27.
  EXPECT_EQ(g.GetPixel(20, 2) & 0xFFFFFF, 0xA0B0C0u);
  EXPECT_EQ(g.GetPixel(20, 14) & 0xFFFFFF, 0xA0B0C0u);
  EXPECT_EQ(g.GetPixel(20, 15) & 0xFFFFFF, 0x102030u);
  EXPECT_EQ(g.GetPixel(20, 27) & 0xFFFFFF, 0x102030u);
  EXPECT_EQ(g.GetPixel(1, 1), AppearanceColors[acWindowFrame]);
  EXPECT_EQ(g.GetPixel(0, 0), AppearanceColors[acBtnShadow]);
  // Disabled: the lower part (grown by 2) is veiled, the upper part not.
  cell.SetEnabled(false);
  cell.RenderCell(g, 40, 30);
  EXPECT_EQ(g.GetPixel(20, 5) & 0xFFFFFF, 0xA0B0C0u);
  EXPECT_NE(g.GetPixel(20, 20) & 0xFFFFFF, 0x102030u);
  // Hits: frame 0, upper half 2, lower half 1.
  EXPECT_EQ(cell.HitTest(1, 10, 40, 30), 0);
  EXPECT_EQ(cell.HitTest(39, 10, 40, 30), 0);
  EXPECT_EQ(cell.HitTest(38, 10, 40, 30), 2);
  EXPECT_EQ(cell.HitTest(20, 14, 40, 30), 2);
  EXPECT_EQ(cell.HitTest(20, 15, 40, 30), 1);
  cell.SetDrawInitialColor(false);
  EXPECT_EQ(cell.HitTest(20, 5, 40, 30), 1);
}

TEST(ColorCellsTest, TwinCellOf36By36) {
  CTwinColorCellCore cell;
  int32_t fired = 0, activeFired = 0;
  cell.onChange = [&] { ++fired; };
  cell.onActiveCell = [&] { ++activeFired; };
  EXPECT_EQ(cell.Color().GetPackedRGB(), 0x000000u);
  EXPECT_EQ(cell.SubColor().GetPackedRGB(), 0xFFFFFFu);
  EXPECT_EQ(CTwinColorCellCore::HitTest(5, 5, 36, 36), 1);
  EXPECT_EQ(CTwinColorCellCore::HitTest(30, 30, 36, 36), 2);
  EXPECT_EQ(CTwinColorCellCore::HitTest(30, 5, 36, 36), 3);
  EXPECT_EQ(CTwinColorCellCore::HitTest(5, 30, 36, 36), 0);
  EXPECT_EQ(cell.MouseDown(30, 5, 36, 36), 3);  // swap
  EXPECT_EQ(cell.Color().GetPackedRGB(), 0xFFFFFFu);
  EXPECT_EQ(cell.SubColor().GetPackedRGB(), 0x000000u);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(cell.DoubleClickOpensDialog(30, 5, 36, 36));
  cell.MouseDown(30, 30, 36, 36);
  EXPECT_EQ(cell.ActiveCell(), 2);
  EXPECT_EQ(activeFired, 1);
  EXPECT_TRUE(cell.DoubleClickOpensDialog(30, 30, 36, 36));
  EXPECT_FALSE(cell.DoubleClickOpensDialog(5, 5, 36, 36));
  // The colour setters act on the active cell.
  cell.SetColor(FromPixel(0xFF336699));
  EXPECT_EQ(cell.SubColor().GetPackedRGB(), 0x336699u);
  cell.SetComponents(cpRGB, 1, 0, 0);
  EXPECT_EQ(cell.SubColor().GetPackedRGB(), 0xFF0000u);
  cell.switchingAllowed = false;
  cell.MouseDown(5, 5, 36, 36);
  EXPECT_EQ(cell.ActiveCell(), 2);
  // Rendering: main over sub, highlight frame on the active part, swap glyph only when big.
  TMemoryGraphic g;
  cell.RenderCell(g, 36, 36);
  EXPECT_EQ(g.GetPixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(g.GetPixel(30, 30) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(g.GetPixel(35, 35), AppearanceColors[acHighlight]);
  EXPECT_EQ(g.GetPixel(0, 0), AppearanceColors[acGrayText]);
  TMemoryGraphic big;
  cell.RenderCell(big, 36, 36);
  cell.RenderCell(big, 60, 60);
  TMemoryGraphic plain;
  CTwinColorCellCore other;
  other.RenderCell(plain, 60, 60);
  bool glyphDrawn = false;
  for (int32_t y = 0; y < 12; ++y) {
    for (int32_t x = 48; x < 60; ++x) glyphDrawn |= plain.GetPixel(x, y) != AppearanceColors[acBtnFace];
  }
  EXPECT_TRUE(glyphDrawn);
}

}  // namespace
}  // namespace tf
