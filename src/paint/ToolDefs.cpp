// Tool tables and their lookups.
#include "paint/ToolDefs.h"

#include "paint/ToolTexts.h"

namespace tf {

namespace {

struct ToolRow {
  TextId name;
  bool older;  // name + " - " + "3互換"
  uint8_t kind;
  uint8_t mode;
  uint8_t settingsClass;
};

constexpr uint8_t kNone = kNotFound;

const ToolRow kTools[kToolCount] = {
    {texts::kPencil, false, 9, 0, 0},
    {texts::kPencil, true, 0, 0, 0},
    {texts::kEraser, false, 10, 0, 0},
    {texts::kMagicEraser, false, kNone, 13, 0},
    {texts::kEraser, true, 1, 0, 0},
    {texts::kWatercolour, false, 11, 0, 0},
    {texts::kWatercolour, true, 2, 0, 0},
    {texts::kAirbrush, false, 12, 0, 0},
    {texts::kAirbrush, true, 3, 0, 0},
    {texts::kBlur, false, 13, 0, 0},
    {texts::kFingertip, false, 14, 0, 0},
    {texts::kSpread, false, 15, 0, 0},
    {texts::kBlur, true, 4, 0, 0},
    {texts::kFingertip, true, 6, 0, 0},
    {texts::kBurn, false, 16, 0, 0},
    {texts::kDodge, false, 17, 0, 0},
    {texts::kBurn, true, 7, 0, 0},
    {texts::kDodge, true, 8, 0, 0},
    {texts::kRectFill, false, kNone, 8, 11},
    {texts::kEllipseFill, false, kNone, 9, 11},
    {texts::kPolygonFill, false, kNone, 10, 11},
    {texts::kFreeFill, false, kNone, 11, 11},
    {texts::kBucketFill, false, kNone, 12, 4},
    {texts::kGradient, false, kNone, 7, 19},
    {texts::kRectSelect, false, kNone, 14, 16},
    {texts::kEllipseSelect, false, kNone, 15, 16},
    {texts::kPolygonSelect, false, kNone, 16, 17},
    {texts::kFreeSelect, false, kNone, 17, 17},
    {texts::kMagicWand, false, kNone, 20, 18},
    {texts::kLayerMove, false, kNone, 21, 8},
    {texts::kLayerMoveWithSelection, false, kNone, 23, 8},
    {texts::kText, false, kNone, 25, 14},
    {texts::kTextSelect, false, kNone, 26, 15},
    {texts::kCrop, false, kNone, 27, 20},
    {texts::kEyedropper, false, kNone, 28, 9},
    {texts::kHand, false, kNone, 29, 2},
    {texts::kHand, false, kNone, 30, 1},
    {texts::kZoom, false, kNone, 31, 5},
};

const uint8_t kKindTool[18] = {1, 4, 6, 8, 12, 12, 13, 16, 17, 0, 2, 5, 7, 9, 10, 11, 14, 15};

const TextId kSubPaintNames[kSubPaintCount] = {texts::kFreehand,  texts::kSingleLine, texts::kPolyline,
                                                    texts::kRectangle, texts::kEllipse,    texts::kPolygon};

// Group and variant of each draw mode.
const uint8_t kModeGroup[kDrawModeCount] = {0, 6, 6, 6, 6, 6, 3, 5, 7, 7, 7, 7, 4, 4, 8, 8, 8,
                                            8, 5, 5, 4, 5, 5, 5, 5, 9, 9, 5, 2, 3, 3, 1, 1};
const uint32_t kModeVariant[kDrawModeCount] = {0, 3, 4, 0, 1, 2, 2, 3, 0, 2, 1, 3, 2, 4, 0, 2, 1,
                                               3, 1, 7, 3, 0, 6, 2, 8, 0, 1, 4, 0, 0, 1, 0, 1};

struct IndexPair {
  uint8_t mode;
  uint8_t index;
};

template <size_t N>
bool FindIndex(const IndexPair (&table)[N], uint8_t mode, uint8_t& index) {
  for (const IndexPair& pair : table) {
    if (pair.mode == mode) {
      index = pair.index;
      return true;
    }
  }
  return false;
}

const IndexPair kShapePaint[] = {{1, 3}, {2, 4}, {3, 0}, {4, 2}, {5, 1}};
const IndexPair kClickTool[] = {{12, 2}, {13, 4}, {20, 3}};
const IndexPair kDragTool[] = {{7, 3}, {18, 1}, {19, 7}, {21, 0}, {22, 6}, {23, 2}, {24, 8}, {27, 4}};
const IndexPair kShapeFill[] = {{8, 0}, {9, 2}, {10, 1}, {11, 3}};
const IndexPair kShapeSelect[] = {{14, 0}, {15, 2}, {16, 1}, {17, 3}};
const IndexPair kHandTool[] = {{29, 0}, {30, 1}, {6, 2}};

constexpr uint8_t Low7(uint8_t n) { return static_cast<uint8_t>(n & 0x7F); }

}  // namespace

uint8_t ToolGroupEditsDocument(uint8_t group) {
  group = Low7(group);
  if (group >= kToolGroupCount) return 0;
  return (group == kGroupZoom || group == kGroupEyedropper || group == kGroupHand) ? 0 : 1;
}

uint8_t PaintKindToTool(uint8_t kind) {
  kind = Low7(kind);
  return kind < 18 ? kKindTool[kind] : kNotFound;
}

bool ToolToPaintKind(uint8_t tool, uint8_t& kind) {
  tool = Low7(tool);
  if (tool >= kToolCount || kTools[tool].kind == kNone) return false;
  kind = kTools[tool].kind;
  return true;
}

uint8_t SubPaintToDrawMode(uint8_t shape) {
  shape = Low7(shape);
  return shape < kSubPaintCount ? shape : kNotFound;
}

void SubPaintName(uint8_t shape, std::string& name) {
  if (shape < kSubPaintCount) {
    name = Tx(kSubPaintNames[shape]);
  } else {
    name.clear();
  }
}

uint8_t ToolToDrawMode(uint8_t tool) {
  tool = Low7(tool);
  return tool < kToolCount ? kTools[tool].mode : kNotFound;
}

uint8_t DrawModeGroup(uint8_t mode) {
  mode = Low7(mode);
  return mode < kDrawModeCount ? kModeGroup[mode] : kNotFound;
}

uint8_t DrawModeVariant(uint8_t mode) {
  mode = Low7(mode);
  return mode < kDrawModeCount ? static_cast<uint8_t>(kModeVariant[mode]) : kNotFound;
}

uint8_t DrawModeOfGroupVariant(uint8_t group, uint8_t variant) {
  group = Low7(group);
  variant = Low7(variant);
  if (group == kGroupShapePaint) {
    if (variant == 1) return 5;
    if (variant == 2) return 4;
  }
  for (uint8_t mode = 0; mode < kDrawModeCount; ++mode) {
    if (kModeGroup[mode] == group && kModeVariant[mode] == variant) return mode;
  }
  return kNotFound;
}

uint8_t ToolSettingsClass(uint8_t tool) {
  tool = Low7(tool);
  return tool < kToolCount ? kTools[tool].settingsClass : kNotFound;
}

void ToolName(uint8_t tool, std::string& name) {
  tool = Low7(tool);
  if (tool >= kToolCount) return;
  name = Tx(kTools[tool].name);
  if (kTools[tool].older) {
    name += Tx(texts::kNameJoin);
    name += Tx(texts::kOlderCompatible);
  }
}

bool ShapePaintIndex(uint8_t& index, uint8_t mode) { return FindIndex(kShapePaint, Low7(mode), index); }
bool ClickToolIndex(uint8_t& index, uint8_t mode) { return FindIndex(kClickTool, mode, index); }
bool DragToolIndex(uint8_t& index, uint8_t mode) { return FindIndex(kDragTool, Low7(mode), index); }
bool ShapeFillIndex(uint8_t& index, uint8_t mode) { return FindIndex(kShapeFill, mode, index); }
bool ShapeSelectIndex(uint8_t& index, uint8_t mode) { return FindIndex(kShapeSelect, mode, index); }
bool HandToolIndex(uint8_t& index, uint8_t mode) { return FindIndex(kHandTool, mode, index); }

}  // namespace tf
