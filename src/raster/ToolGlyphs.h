// The tool and button glyphs: 87 pictures of 24 x 24 in three tints (TtFGlyphManager).
#pragma once
// All tool icons and most button icons are cut from one picture the program carries
// (resources/glyphs/tool_glyphs.bmp, drawn by scripts/make_tool_glyphs.py): a 24 x 2088 24-bit BMP
// whose pixels give each glyph pixel's opacity (red) and 255 minus its ink (green). The manager
// tints every glyph once for each TGlyphState with the appearance colours:
//   gsNone      paper acWindow         ink acWindowText
//   gsActive    paper acHighlightText  ink acHighlight
//   gsDisabled  paper acBtnFace        ink acGrayText
// colour = paper + Trunc((ink - paper) * w) per channel with w = (255 - green) / 255 (single
// precision), alpha = red.
#include <array>
#include <cstddef>
#include <cstdint>

#include "raster/Appearance.h"
#include "raster/MemoryGraphic.h"

namespace tf {

enum TtFGlyphType : uint8_t {
  tgPencil4, tgPencil1, tgEraser4, tgSeedEraser, tgEraser1, tgWaterColor4, tgWaterColor1, tgAirBrush4,
  tgAirBrush1, tgBlur4, tgBlur1, tgFingertip4, tgFingertip1, tgSpread4, tgBurn4, tgBurn1, tgDodge4, tgDodge1,
  tgDrawLocus, tgDrawLine, tgDrawMultiLine, tgDrawRectangle, tgDrawEllipse, tgDrawPolygon, tgFillRectangle,
  tgFillEllipse, tgFillPolygon, tgFillLasso, tgSeedFill, tgGradient, tgSelectRectangle, tgSelectEllipse,
  tgSelectPolygon, tgSelectLasso, tgMagicWand, tgMoveLayer, tgMoveLayerWithSelection, tgFillText, tgSelectText,
  tgCrop, tgSpuit, tgGrabber, tgDegree, tgZoom, tgDensity, tgCreate, tgDelete, tgSave, tgAntiAlias,
  tgBrushSpace, tgPrsDensity, tgPrsRadius, tgNibRadius, tgNibMinRadius, tgGradNone, tgGradUse, tgGradUnUse,
  tgToneNone, tgToneUse, tgToneUnUse, tgGradLinear, tgGradRadial, tgGradCircular, tgGradReturn, tgGradRepeat,
  tgGradInfinity, tgGradRemind, tgZoomIn, tgZoomOut, tgDisplayGrid, tgColSampAreaS, tgColSampCircleA,
  tgColSampCircleS, tgColSampSlider, tgFlat, tgAdd, tgOffsetX, tgOffsetY, tgInvert, tgProtectAlpha, tgExtend,
  tgEventLock, tgPlay, tgPause, tgStep, tgStop, tgMenu,
};
inline constexpr int32_t kGlyphTypeCount = 87;
inline constexpr int32_t kGlyphStateCount = 3;
inline constexpr int32_t kGlyphSize = 24;
// The glyph picture's exact layout.
inline constexpr int32_t kGlyphPictureHeight = kGlyphSize * kGlyphTypeCount;  // 2088
inline constexpr size_t kGlyphPictureBytes = 150392;

// The picture the program carries (a complete BMP file of kGlyphPictureBytes).
const uint8_t* ToolGlyphPicture();

class TtFGlyphManager {
 public:
  // Builds every glyph from the program's picture with the current appearance colours.
  TtFGlyphManager();
  // Builds from another picture (a complete BMP file in memory); an unreadable picture, or one of
  // another size, leaves every glyph cleared to its background (transparent) and reports nothing.
  TtFGlyphManager(const uint8_t* bmp, size_t size);

  // The glyph of the type in the state (owned by the manager); a type outside 0..86 or a state
  // outside 0..2 gives an empty surface, which draws nothing.
  const TMemoryGraphic& GetGlyph(int32_t type, int32_t state) const;
  // Whether the picture was read (tests).
  bool PictureRead() const { return pictureRead_; }

 private:
  void Build(const uint8_t* bmp, size_t size);

  std::array<TMemoryGraphic, kGlyphTypeCount * kGlyphStateCount> surfaces_;
  bool pictureRead_ = false;
};

// The program's manager, made on first use after the appearance manager.
TtFGlyphManager& GlyphManager();
// Rebuilds it (after the appearance colours changed; tests).
TtFGlyphManager& ResetGlyphManager();

// The glyph of a pen-method kind 0..17 of the painting engine (kinds outside: tgPencil4).
TtFGlyphType PenKindToGlyph(int32_t kind);
// The glyph of a tool number 0..37 of the tool window (numbers outside: tgPencil4).
TtFGlyphType ToolToGlyph(int32_t tool);

}  // namespace tf
