// Appearance: the controls' colour table and glyph sets (TAppearanceManager).
#pragma once
// The same look for every custom control: 34 colours taken once from the window system's
// scheme (the classic scheme headless and in tests), and the small glyph surfaces the controls
// draw from: slider and picker marks, caption end caps, the drop-down grip, round buttons with
// symbols, check boxes and toggles, each kind with three states. Building the glyphs needs no
// window system; the font and frame helpers are in ui/Appearance.h.
#include <array>
#include <cstdint>

#include "raster/MemoryGraphic.h"

namespace tf {

enum TAppearanceColor : int32_t {
  ac3DDkShadow = 0,
  acBtnFace,
  acBtnHighlight,
  ac3DLight,
  acBtnShadow,
  acActiveBorder,
  acActiveCaption,
  acAppWorkspace,
  acBackground,
  acBtnText,
  acCaptionText,
  acGradientActiveCaption,
  acGradientInactiveCaption,
  acGrayText,
  acHighlight,
  acHighlightText,
  acHotLight,
  acInactiveBorder,
  acInactiveCaption,
  acInactiveCaptionText,
  acInfoBk,
  acInfoText,
  acMenu,
  acMenuText,
  acScrollBar,
  acWindow,
  acWindowFrame,
  acWindowText,
  acBtnFaceClear,
  acHighlightHalf,
  acGrayTextHalf,
  acBtnFaceHalf,
  acBtnFaceThird,
  acBtnFaceTwoThirds,
};
inline constexpr int32_t kAppearanceColorCount = 34;
// System colours the table is made from (window-system colours, red in the low byte), one per
// entry 0..27 in the order above.
inline constexpr int32_t kSystemColorCount = 28;
using SystemColorTable = std::array<uint32_t, kSystemColorCount>;

// The classic scheme: grey button faces, navy highlight, white windows.
const SystemColorTable& ClassicSystemColors();

// The table every control reads (BGRA pixel values, alpha 255 for entries 0..27). It holds the
// classic scheme until a manager loads another.
extern std::array<uint32_t, kAppearanceColorCount> AppearanceColors;

enum TGlyphState : uint8_t { gsNone = 0, gsActive = 1, gsDisabled = 2 };

class TAppearanceManager {
 public:
  static constexpr int32_t kMarkCount = 8;
  static constexpr int32_t kCaptionCount = 2;
  static constexpr int32_t kGripCount = 3;
  static constexpr int32_t kButtonSymbolCount = 13;
  static constexpr int32_t kListKindCount = 2;
  static constexpr int32_t kCheckKindCount = 2;

  // Loads the colours (the classic scheme when none are given) and builds every glyph.
  explicit TAppearanceManager(const SystemColorTable& systemColors = ClassicSystemColors());

  // Entries 0..27 from the system colours (red and blue exchanged, alpha 255), then the copies
  // with other alphas.
  static void LoadSystemColors(const SystemColorTable& systemColors);

  // The manager's own surfaces; callers draw from them and never keep them past the manager.
  // An index outside its range gives an empty surface (which draws nothing).
  const TMemoryGraphic& GetMarkGlyph(int32_t index) const;
  const TMemoryGraphic& GetCaptionGlyph(int32_t active) const;
  const TMemoryGraphic& GetGripGlyph(int32_t state) const;
  const TMemoryGraphic& GetButtonGlyph(int32_t symbol, int32_t state) const;
  const TMemoryGraphic& GetListGlyph(int32_t kind, int32_t state) const;
  const TMemoryGraphic& GetCheckGlyph(int32_t kind, int32_t state) const;

 private:
  void BuildMarkGlyphs();
  void BuildCaptionGlyphs();
  void BuildGripGlyphs();
  void BuildButtonGlyphs();
  void BuildListGlyphs();
  void BuildCheckGlyphs();

  std::array<TMemoryGraphic, kMarkCount> marks_;
  std::array<TMemoryGraphic, kCaptionCount> captions_;
  std::array<TMemoryGraphic, kGripCount> grips_;
  std::array<TMemoryGraphic, kButtonSymbolCount * 3> buttons_;
  std::array<TMemoryGraphic, kListKindCount * 3> lists_;
  std::array<TMemoryGraphic, kCheckKindCount * 3> checks_;
};

// The program's manager, made on first use with the classic scheme (the window system's half
// may make it first from its own palette, see ui/Appearance.h).
TAppearanceManager& AppearanceManager();
// Replaces the program's manager with one built from these colours.
TAppearanceManager& ResetAppearanceManager(const SystemColorTable& systemColors);

}  // namespace tf
