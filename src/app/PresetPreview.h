// The preset previews' pictures: the frame and composition shared by the nib, swatch, gradient
// and tone thumbnails, and what each draws into its preview image; and the falloff pad's picture.
#pragma once
// The control image has the control's size; the preview image is (width - 4) x (height - 4) at
// (2, 2) and exists only when both sides are at least 1 (a 4 x 4 control has none). The widgets
// are ui/PresetPreview.h and ui/ItemPicker.h.
#include <cstdint>

#include "paint/Gradient.h"
#include "paint/PaintParam.h"
#include "paint/ScreenTone.h"
#include "raster/FlatImage.h"
#include "raster/MemoryGraphic.h"

namespace tf {

// The preview's checkerboard: 4 x 4 cells of white and grey 204.
inline constexpr uint32_t kPreviewCheckerWhite = 0xFFFFFFFFu;
inline constexpr uint32_t kPreviewCheckerGrey = 0xFFCCCCCCu;

class CPresetPreview {
 public:
  enum Kind : uint8_t { kNib, kSwatch, kGradient, kTone };
  explicit CPresetPreview(Kind kind);
  ~CPresetPreview();
  CPresetPreview(const CPresetPreview&) = delete;
  CPresetPreview& operator=(const CPresetPreview&) = delete;

  Kind GetKind() const { return kind_; }
  // Sizes both images for a control of this size and renders when the size changed.
  void SetSize(int32_t width, int32_t height);
  bool HasPreview() const { return hasPreview_; }
  bool Checkerboard() const { return checkerboard_; }

  // The setters store and re-render; none compares with the old value.
  void SetNib(const SNibPreview& nib);
  // The alpha byte is forced to 255.
  void SetColor(uint32_t colour);
  // Not owned; null shows the checkerboard only.
  void SetGradient(const CGradObj* gradient, const SGradOption& option);
  // Not owned; null shows white.
  void SetPattern(const CPatObj* pattern);

  void RenderPreview();
  void RenderControl();
  const TMemoryGraphic& Picture() const { return control_; }
  const TMemoryGraphic& PreviewImage() const { return preview_; }
  uint32_t SwatchColor() const { return swatch_; }

 private:
  void Rerender();
  void RenderTone();

  Kind kind_;
  TMemoryGraphic control_;
  TMemoryGraphic preview_;
  bool hasPreview_ = false;
  bool checkerboard_ = false;
  SNibPreview nib_;
  uint32_t swatch_ = 0xFFFFFFFFu;
  const CGradObj* gradient_ = nullptr;
  SGradOption option_{};
  const CPatObj* pattern_ = nullptr;
  CToneMaker maker_;
  TMTC work_;
};

// A tone preview's pattern as opaque grey pixels into work (resized to width x height): white
// without a pattern, or when the pattern cannot be shown (a scaled tile outside
// 1..kMaxPatternSide, a screen the tone maker refuses). The maker is the preview's own. False
// when it showed white for want of a pattern it could show.
bool DrawTonePreviewPixels(TMTC& work, int32_t width, int32_t height, const CPatObj* pattern, CToneMaker& maker);

// The falloff pad's picture: window colour, grey-text frame, the falloff curve of the kind with
// x and y inside the frame inset by 7, the cross hair at (x, y) with its dot.
void RenderAirMapPad(TMemoryGraphic& image, uint8_t kind, float x, float y);

}  // namespace tf
