// CAspectRotation: the nib aspect editor's logic: the nib as an ellipse over a preview area
// with handles for its maximum radius (or an image nib's scale), minimum radius, flattening and
// rotation, a nib-list button and a button that switches the preview between the radius and
// the mapping view.
#pragma once
// Geometry, hit test, drags, values and the picture (without the two numbers, which need a font:
// the widget ui/PressureGamma.h measures and draws them and tells the core their rectangles).
#include <cstdint>
#include <functional>

#include "raster/Geometry.h"
#include "raster/MemoryGraphic.h"
#include "raster/NumMngr.h"

namespace tf {

// Hit codes.
enum : int32_t {
  kAspectHitNone = 0,
  kAspectHitPreview = 1,
  kAspectHitMaxRadius = 2,
  kAspectHitMapScale = 3,
  kAspectHitMinRadius = 4,
  kAspectHitAspect = 5,
  kAspectHitDisplay = 6,
  kAspectHitNibList = 7,
  kAspectHitFlattening = 8,
  kAspectHitRotation = 9,
};
inline constexpr int32_t kAspectOuterPoints = 33;
inline constexpr int32_t kAspectInnerPoints = 25;

// The hint of a hit code (tooltip "|" status text), "" for none.
const char* AspectHint(int32_t code);
// The cursor of a hit code: 1 hand point (handles), 2 I-beam (numbers), 0 the default.
int32_t AspectCursor(int32_t code);

// The increment a drag of dx pixels gives a radius or scale of value v: dx / 10 below 2, dx / 5
// below 5, dx / 2 below 10, dx below 20, 2 dx below 50, then 5 dx (scales: 10 dx from 100 on).
float AspectDragIncrement(float v, int32_t dx, bool scale);

// The values SetParams takes.
struct SAspectParams {
  uint8_t kind = 1;
  float maxRadius = 1.0f;
  float minRadius = 50.0f;
  float flattening = 0.0f;
  float rotation = 0.0f;
  float percentA = 0.0f;
  float percentB = 0.0f;
  bool operator==(const SAspectParams&) const = default;
};

class CAspectRotation {
 public:
  CAspectRotation();

  // Sizes the picture and the preview image, lays the parts out and renders; the numbers'
  // rectangles are placed from their measured widths (the flattening number at x 6, y height -
  // 15; the rotation number after the flattening unit).
  void SetSize(int32_t width, int32_t height);
  void SetTextMetrics(int32_t flatNumberWidth, int32_t rotNumberWidth, int32_t flatUnitWidth, int32_t rotUnitWidth,
                      int32_t numberHeight);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  const SAspectParams& Params() const { return params_; }
  float GetFlattening() const { return flattening_.Value(); }
  float GetRotation() const { return rotation_.Value(); }
  // The numbers behind the inline edits (0..99; -999..999 wrapping within -180..180). A change
  // of either (an edit typing into it) recomputes the outlines, fires OnChange, clears the
  // preview and renders.
  TNumMngr& FlatteningNumber() { return flattening_; }
  TNumMngr& RotationNumber() { return rotation_; }
  // Clamps and wraps; values that are not finite are refused (false, nothing kept). Fires
  // OnChange, clears the preview and renders when anything changed or mapping is on.
  bool SetParams(const SAspectParams& params);
  bool SetMaxRadius(float v);
  bool SetMinRadius(float v);
  bool SetFlattening(float v);
  bool SetRotation(float v);
  bool SetRotationAndFlattening(float rotation, float flattening);
  bool SetKind(uint8_t kind);

  bool Mapping() const { return mapping_; }
  float MapScale() const { return mapScale_; }
  void SetMapping(bool on, int32_t imageWidth, int32_t imageHeight, float scalePercent);
  // Clamped to 100 x the image nib's scale range; a range whose minimum lies above its maximum
  // (a nib with a short side below 4 and a long side above 512) leaves the scale.
  bool SetMapScale(float percent);
  uint8_t DisplayMode() const { return displayMode_; }
  void SetDisplayMode(uint8_t mode);
  float DispScale() const { return dispScale_; }
  void SetDispScale(float scale);
  bool AspectEnabled() const { return aspectEnabled_; }
  void SetAspectEnabled(bool on);
  bool NibListVisible() const { return nibListVisible_; }
  void SetNibListVisible(bool on);

  // Geometry.
  SPointF Centre() const;
  float DisplayRadius() const;
  void ComputeOutlines();
  const SPointF* OuterOutline() const { return outer_; }
  const SPointF* InnerOutline() const { return inner_; }
  SPointF OuterHandle() const { return outer_[0]; }
  SPointF InnerHandle() const { return inner_[0]; }
  SPointF AspectHandle() const { return outer_[8]; }
  TRect PreviewRect() const { return TRect{2, 2, 2 + previewWidth_, 2 + previewHeight_}; }
  TRect NibListRect() const { return TRect{width_ - 13, height_ - 28, width_ - 2, height_ - 17}; }
  TRect DisplayRect() const { return TRect{2, height_ - 28, 13, height_ - 17}; }
  const TRect& FlatteningRect() const { return flatRect_; }
  const TRect& RotationRect() const { return rotRect_; }
  int32_t HitTest(int32_t x, int32_t y) const;

  // The flattening and rotation the aspect handle gives at a point (false when the editor is too
  // small to have a radius).
  bool AspectAt(int32_t x, int32_t y, bool shift, float& flattening, float& rotation) const;

  // Mouse. Down returns the hit code (the drag mode); Move applies the drag of that mode.
  int32_t MouseDown(int32_t x, int32_t y);
  void MouseMove(int32_t x, int32_t y, bool shift, bool ctrl, bool alt);
  void MouseUp() { dragMode_ = kAspectHitNone; }
  int32_t DragMode() const { return dragMode_; }
  // Double click in the preview: rotation and flattening 0.
  void ResetAspect();
  bool Hot() const { return hot_; }
  void SetHot(bool hot);
  // The nib-list hover and the display button's state follow the pointer.
  void HoverAt(int32_t x, int32_t y);
  void SwitchDisplayMode() { SetDisplayMode(displayMode_ == 0 ? 1 : 0); }

  void Render();
  const TMemoryGraphic& Picture() const { return control_; }
  TMemoryGraphic& PreviewImage() { return preview_; }
  // Clears the preview image and asks the owner to draw it.
  void ClearPreview();

  std::function<void()> OnChange;
  std::function<void(TMemoryGraphic& preview)> OnDrawPreview;
  std::function<void()> OnInvalidate;

 private:
  void NumberChanged();
  // SetParams with one value changed.
  bool SetField(float SAspectParams::*field, float v);

  TNumMngr flattening_;
  TNumMngr rotation_;
  bool settingNumbers_ = false;
  TMemoryGraphic control_;
  TMemoryGraphic preview_;
  int32_t width_ = 86, height_ = 88;
  int32_t previewWidth_ = 82, previewHeight_ = 69;
  SAspectParams params_;
  bool mapping_ = false;
  int32_t imageWidth_ = 0, imageHeight_ = 0;
  float mapScale_ = 100.0f;
  uint8_t displayMode_ = 0;
  float dispScale_ = 1.0f;
  bool aspectEnabled_ = true;
  bool nibListVisible_ = false;
  bool nibListHot_ = false;
  uint8_t displayState_ = 0;
  bool hot_ = false;
  int32_t dragMode_ = kAspectHitNone;
  int32_t lastX_ = 0, lastY_ = 0;
  SPointF outer_[kAspectOuterPoints] = {};
  SPointF inner_[kAspectInnerPoints] = {};
  int32_t flatNumberWidth_ = 20, rotNumberWidth_ = 24, flatUnitWidth_ = 8, rotUnitWidth_ = 8, numberHeight_ = 14;
  TRect flatRect_{6, 73, 92, 87};
  TRect rotRect_{40, 73, 126, 87};
};

}  // namespace tf
