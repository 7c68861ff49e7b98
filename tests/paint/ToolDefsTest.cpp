// Tool definitions: tool ids, paint kinds, sub-paint shapes, draw modes and handler groups.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "paint/ToolDefs.h"

namespace tf {
namespace {

TEST(ToolDefsTest, ToolAndPaintKindRoundTripExceptBlur2) {
  for (uint8_t kind = 0; kind < 18; ++kind) {
    const uint8_t tool = PaintKindToTool(kind);
    uint8_t back = 255;
    ASSERT_TRUE(ToolToPaintKind(tool, back)) << int(kind);
    if (kind == 5) {
      EXPECT_EQ(tool, 12);  // blur2 shows as the older blur tool
      EXPECT_EQ(back, 4);
    } else {
      EXPECT_EQ(back, kind);
    }
  }
  for (uint8_t tool = 0; tool < kToolCount; ++tool) {
    uint8_t kind = 99;
    const bool painting = tool < 18 && tool != 3;
    EXPECT_EQ(ToolToPaintKind(tool, kind), painting) << int(tool);
    if (painting) {
      EXPECT_EQ(PaintKindToTool(kind), tool);
      EXPECT_EQ(ToolToDrawMode(tool), 0);
    }
  }
  uint8_t kind = 77;
  EXPECT_FALSE(ToolToPaintKind(3, kind));
  EXPECT_EQ(kind, 77);
  EXPECT_EQ(PaintKindToTool(5), 12);
}

TEST(ToolDefsTest, NumbersAreMaskedToSevenBitsAndTablesEndAtTheirLengths) {
  EXPECT_EQ(PaintKindToTool(0x80 | 9), PaintKindToTool(9));
  EXPECT_EQ(ToolToDrawMode(0x80 | 37), 31);
  EXPECT_EQ(DrawModeGroup(0x80 | 31), 1);
  // Masked values past the tables are not found.
  EXPECT_EQ(PaintKindToTool(18), kNotFound);
  EXPECT_EQ(PaintKindToTool(0x7F), kNotFound);
  EXPECT_EQ(ToolToDrawMode(38), kNotFound);
  EXPECT_EQ(DrawModeGroup(33), kNotFound);
  EXPECT_EQ(DrawModeVariant(100), kNotFound);
  EXPECT_EQ(ToolSettingsClass(120), kNotFound);
  EXPECT_EQ(SubPaintToDrawMode(6), kNotFound);
  uint8_t kind = 0;
  EXPECT_FALSE(ToolToPaintKind(38, kind));
  std::string name = "keep";
  ToolName(38, name);
  EXPECT_EQ(name, "keep");
}

TEST(ToolDefsTest, GroupAndVariantRoundTripWithGroupSixNumberedAsShapePaint) {
  for (uint8_t mode = 0; mode < kDrawModeCount; ++mode) {
    const uint8_t group = DrawModeGroup(mode);
    const uint8_t variant = DrawModeVariant(mode);
    const uint8_t back = DrawModeOfGroupVariant(group, variant);
    if (mode == 4) {
      EXPECT_EQ(back, 5);
    } else if (mode == 5) {
      EXPECT_EQ(back, 4);
    } else {
      EXPECT_EQ(back, mode) << int(mode);
    }
  }
  EXPECT_EQ(DrawModeOfGroupVariant(6, 1), 5);
  EXPECT_EQ(DrawModeOfGroupVariant(6, 2), 4);
  EXPECT_EQ(DrawModeOfGroupVariant(5, 5), 255);
  EXPECT_EQ(DrawModeOfGroupVariant(0, 1), 255);
  EXPECT_EQ(DrawModeOfGroupVariant(10, 0), 255);
}

TEST(ToolDefsTest, PerGroupIndexRoutinesAgreeWithTheVariantTable) {
  struct Routine {
    bool (*index)(uint8_t&, uint8_t);
    uint8_t group;
  };
  const Routine routines[] = {{ClickToolIndex, 4},   {DragToolIndex, 5}, {ShapeFillIndex, 7},
                              {ShapeSelectIndex, 8}, {HandToolIndex, 3}, {ShapePaintIndex, 6}};
  for (const Routine& r : routines) {
    for (int m = 0; m < 128; ++m) {
      const uint8_t mode = static_cast<uint8_t>(m);
      uint8_t index = 200;
      const bool found = r.index(index, mode);
      EXPECT_EQ(found, mode < kDrawModeCount && DrawModeGroup(mode) == r.group) << int(r.group) << " " << m;
      if (!found) {
        EXPECT_EQ(index, 200);
        continue;
      }
      // The handler's index leads back to the mode (group 6 by the shape-paint numbering).
      EXPECT_EQ(DrawModeOfGroupVariant(r.group, index), mode);
      if (r.group != 6) {
        EXPECT_EQ(index, DrawModeVariant(mode));
      }
    }
  }
}

TEST(ToolDefsTest, OnlyShapePaintAndDragToolIndexMaskTheMode) {
  uint8_t index = 0;
  EXPECT_TRUE(ShapePaintIndex(index, 0x80 | 1));
  EXPECT_EQ(index, 3);
  EXPECT_TRUE(DragToolIndex(index, 0x80 | 27));
  EXPECT_EQ(index, 4);
  EXPECT_FALSE(ClickToolIndex(index, 0x80 | 12));
  EXPECT_FALSE(ShapeFillIndex(index, 0x80 | 8));
  EXPECT_FALSE(ShapeSelectIndex(index, 0x80 | 14));
  EXPECT_FALSE(HandToolIndex(index, 0x80 | 29));
}

TEST(ToolDefsTest, NamesGroupsAndSettingsClasses) {
  std::string a, b;
  ToolName(35, a);
  ToolName(36, b);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, "手のひら");
  ToolName(1, a);
  EXPECT_EQ(a, "鉛筆 - 3互換");
  ToolName(15, a);
  EXPECT_EQ(a, "覆い焼き");
  ToolName(30, a);
  EXPECT_EQ(a, "レイヤ移動(選択範囲追随)");
  SubPaintName(2, a);
  EXPECT_EQ(a, "複線描画");
  SubPaintName(6, a);
  EXPECT_EQ(a, "");
  SubPaintName(0x80, a);  // the shape is taken whole
  EXPECT_EQ(a, "");
  for (uint8_t shape = 0; shape < 6; ++shape) EXPECT_EQ(SubPaintToDrawMode(shape), shape);
  const uint8_t edits[10] = {1, 0, 0, 0, 1, 1, 1, 1, 1, 1};
  for (uint8_t g = 0; g < 10; ++g) EXPECT_EQ(ToolGroupEditsDocument(g), edits[g]);
  EXPECT_EQ(ToolSettingsClass(23), 19);
  EXPECT_EQ(ToolSettingsClass(22), 4);
  EXPECT_EQ(ToolSettingsClass(37), 5);
  EXPECT_EQ(ToolToDrawMode(3), 13);
  EXPECT_EQ(ToolToDrawMode(28), 20);
}

}  // namespace
}  // namespace tf
