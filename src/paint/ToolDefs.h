// The vocabulary of tools: tool ids 0..37, paint kinds 0..17, sub-paint shapes 0..5, draw modes
// 0..32 and the ten handler groups of the draw window, with pure lookups between them.
#pragma once
// Every routine takes its number masked to the low 7 bits unless its comment says otherwise, and
// a masked number past the end of its table is not found (255, false, or the name untouched).
#include <cstdint>
#include <string>

namespace tf {

inline constexpr int32_t kToolCount = 38;
inline constexpr int32_t kDrawModeCount = 33;
inline constexpr int32_t kSubPaintCount = 6;
inline constexpr int32_t kToolGroupCount = 10;
inline constexpr uint8_t kNotFound = 255;

// Handler groups.
enum ToolGroup : uint8_t {
  kGroupFreehand = 0,
  kGroupZoom = 1,
  kGroupEyedropper = 2,
  kGroupHand = 3,
  kGroupClick = 4,
  kGroupDrag = 5,
  kGroupShapePaint = 6,
  kGroupShapeFill = 7,
  kGroupShapeSelect = 8,
  kGroupText = 9,
};

// 1 for the groups that change the document (0 and 4..9), 0 for the viewing groups 1..3.
uint8_t ToolGroupEditsDocument(uint8_t group);
// The tool of a paint kind (kind 5 shows as tool 12); 255 past kind 17.
uint8_t PaintKindToTool(uint8_t kind);
// False for the tools without a paint kind (3 and 18..37).
bool ToolToPaintKind(uint8_t tool, uint8_t& kind);
// The draw mode of a sub-paint shape; 255 past shape 5.
uint8_t SubPaintToDrawMode(uint8_t shape);
// The display name of a shape (taken whole); a shape above 5 leaves the name empty.
void SubPaintName(uint8_t shape, std::string& name);
// 0 for the painting tools (their mode comes from the sub-paint shape); 255 past tool 37.
uint8_t ToolToDrawMode(uint8_t tool);
uint8_t DrawModeGroup(uint8_t mode);
uint8_t DrawModeVariant(uint8_t mode);
// The mode of a (group, variant) pair, 255 when unused. Group 6 numbers its variants as
// ShapePaintIndex does (1 is mode 5, 2 is mode 4), unlike DrawModeVariant.
uint8_t DrawModeOfGroupVariant(uint8_t group, uint8_t variant);
// The key under which the settings keep the tool's opacity; 255 past tool 37.
uint8_t ToolSettingsClass(uint8_t tool);
// The display name (UTF-8); tools past 37 leave the name unchanged.
void ToolName(uint8_t tool, std::string& name);

// The index a group's handler uses for a draw mode; false (index untouched) for other modes.
// ShapePaintIndex and DragToolIndex mask the mode; the other four compare it whole, so a mode
// with bit 7 set is not found by them.
bool ShapePaintIndex(uint8_t& index, uint8_t mode);
bool ClickToolIndex(uint8_t& index, uint8_t mode);
bool DragToolIndex(uint8_t& index, uint8_t mode);
bool ShapeFillIndex(uint8_t& index, uint8_t mode);
bool ShapeSelectIndex(uint8_t& index, uint8_t mode);
bool HandToolIndex(uint8_t& index, uint8_t mode);

}  // namespace tf
