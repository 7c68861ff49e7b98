// The display texts of tools, paint kinds and their settings: ids of resources/texts/paint.txt.
#pragma once
// Read with Tx, so the language module can supply them; brush names made from the kind names are
// turned into code page 932 bytes where they become preset names.
#include "platform/ResourceText.h"

namespace tf::texts {

inline constexpr TextId kPencil = TextId::ToolPencil;
inline constexpr TextId kEraser = TextId::ToolEraser;
inline constexpr TextId kMagicEraser = TextId::ToolMagicEraser;
inline constexpr TextId kWatercolour = TextId::ToolWatercolour;
inline constexpr TextId kAirbrush = TextId::ToolAirbrush;
inline constexpr TextId kBlur = TextId::ToolBlur;
inline constexpr TextId kFingertip = TextId::ToolFingertip;
inline constexpr TextId kSpread = TextId::ToolSpread;
inline constexpr TextId kBurn = TextId::ToolBurn;
inline constexpr TextId kDodge = TextId::ToolDodge;
inline constexpr TextId kRectFill = TextId::ToolRectFill;
inline constexpr TextId kEllipseFill = TextId::ToolEllipseFill;
inline constexpr TextId kPolygonFill = TextId::ToolPolygonFill;
inline constexpr TextId kFreeFill = TextId::ToolFreeFill;
inline constexpr TextId kBucketFill = TextId::ToolBucketFill;
inline constexpr TextId kGradient = TextId::ToolGradient;
inline constexpr TextId kRectSelect = TextId::ToolRectSelect;
inline constexpr TextId kEllipseSelect = TextId::ToolEllipseSelect;
inline constexpr TextId kPolygonSelect = TextId::ToolPolygonSelect;
inline constexpr TextId kFreeSelect = TextId::ToolFreeSelect;
inline constexpr TextId kMagicWand = TextId::ToolMagicWand;
inline constexpr TextId kLayerMove = TextId::ToolLayerMove;
inline constexpr TextId kLayerMoveWithSelection = TextId::ToolLayerMoveWithSelection;
inline constexpr TextId kText = TextId::ToolText;
inline constexpr TextId kTextSelect = TextId::ToolTextSelect;
inline constexpr TextId kCrop = TextId::ToolCrop;
inline constexpr TextId kEyedropper = TextId::ToolEyedropper;
inline constexpr TextId kHand = TextId::ToolHand;
inline constexpr TextId kZoom = TextId::ToolZoom;
inline constexpr TextId kNameJoin = TextId::ToolNameJoin;
inline constexpr TextId kOlderCompatible = TextId::ToolOlderCompatible;

inline constexpr TextId kFreehand = TextId::ToolFreehand;
inline constexpr TextId kSingleLine = TextId::ToolSingleLine;
inline constexpr TextId kPolyline = TextId::ToolPolyline;
inline constexpr TextId kRectangle = TextId::ToolRectangle;
inline constexpr TextId kEllipse = TextId::ToolEllipse;
inline constexpr TextId kPolygon = TextId::ToolPolygon;

// Effect labels.
inline constexpr TextId kEffect = TextId::ToolEffect;
inline constexpr TextId kSpreadEffect = TextId::ToolSpreadEffect;
inline constexpr TextId kBlurEffect = TextId::ToolBlurEffect;
inline constexpr TextId kReach = TextId::ToolReach;
inline constexpr TextId kEffectReach = TextId::ToolEffectReach;
inline constexpr TextId kBlurStrength = TextId::ToolBlurStrength;
inline constexpr TextId kExposure = TextId::ToolExposure;
// A hint is the label, "|", the label and this suffix.
inline constexpr TextId kChangeSuffix = TextId::ToolChangeSuffix;

// Brush set messages.
inline constexpr TextId kBrushSetWord = TextId::ToolBrushSetWord;

}  // namespace tf::texts
