// The view grabber's logic (CViewGrabber): the dial over a document window that turns the view
// with a ring, sets the display scale with a slider and has six buttons (reset the angle, three
// fixed turns, one zoom step in and out).
#pragma once
// Everything but the window: the parts and their hit test, the values the ring and slider give,
// zoom-step snapping over the document's zoom table, the knobs' places, the mouse states and the
// hints, and the picture of the parts (ui/GrabberControl.h shows it and passes the mouse).
//
// Snapping (the ring in steps of 15 degrees, the slider to the nearer zoom step) is on when
// exactly one of Shift and the ForceDispParam setting holds.
#include <cstdint>
#include <string>

#include "raster/Geometry.h"
#include "raster/MemoryGraphic.h"

namespace tf {

enum TGrabberPart : uint8_t {
  kGrabberNone = 0,
  kGrabberRing = 1,
  kGrabberSlider = 2,
  kGrabberResetAngle = 3,
  kGrabberTurnMinus90 = 4,
  kGrabberTurn180 = 5,
  kGrabberTurn90 = 6,
  kGrabberZoomIn = 7,
  kGrabberZoomOut = 8,
};
inline constexpr int32_t kGrabberWidth = 129;
inline constexpr int32_t kGrabberHeight = 146;

// The rectangle of a part (the ring's square for the ring); empty for none.
TRect GrabberPartRect(int32_t part);
// The part under a point: the buttons (3, 4, 5, 6, 8, 7 in that order), the slider, the ring
// band (radius 37 to 50 around (64, 64)), else none.
uint8_t GrabberHitTest(int32_t x, int32_t y);
bool GrabberSnapping(bool shiftDown, bool forceDispParam);
// The rotation the ring gives at a point, before wrapping: the angle around (64.5, 64.5) in
// degrees (right 0, below 90, above -90), snapped to steps of 15 degrees.
float GrabberRingRotation(int32_t x, int32_t y, bool snap);
// The scale the slider gives at x: 1/16 at the left end, 1 in the middle, 16 at the right end;
// snapped to the nearer neighbouring zoom step.
float GrabberSliderScale(int32_t x, bool snap);
float SnapScaleToZoomStep(float scale);
// One zoom step in or out from a scale.
float GrabberZoomInStep(float scale);
float GrabberZoomOutStep(float scale);
// Into -180 (included) .. 180 (excluded) by steps of 360; a value that is not finite gives 0.
float WrapRotation(float degrees);
// Top-left corners of the knobs (11 x 11) relative to the dial's top-left.
TPoint GrabberRingKnob(float rotationDegrees);
TPoint GrabberSliderKnob(float scale);
// The hint of a part (tooltip "|" status text), "" for none.
const char* GrabberHint(int32_t part);

class CViewGrabber {
 public:
  CViewGrabber();

  float Scale() const { return scale_; }
  float Rotation() const { return rotation_; }
  // Stores the value when it changed (true). A scale of 0, below 0 or not finite is refused
  // (false, nothing changes): the slider knob divides by it.
  bool SetScale(float scale);
  bool SetRotation(float degrees);

  uint8_t HotPart() const { return hotPart_; }
  uint8_t DragPart() const { return dragPart_; }
  // Renders the old hot part normal and the new one hot; false when unchanged.
  bool SetHot(uint8_t part);
  // The picture of the parts (129 x 146, transparent between them).
  const TMemoryGraphic& Image() const { return image_; }

  // What a mouse event did.
  struct SResult {
    bool changed = false;   // Scale or Rotation changed
    bool enter = false;     // a ring or slider drag began
    bool exit = false;      // it ended
    bool repaint = false;   // the picture changed
    bool hintChanged = false;
  };
  SResult Press(int32_t x, int32_t y, bool snap);
  SResult Move(int32_t x, int32_t y, bool snap);
  SResult Release(int32_t x, int32_t y);
  // A point the window system tests: the part, and with no drag and no part the hot part clears.
  uint8_t HitTestMessage(int32_t x, int32_t y, SResult* result = nullptr);
  // The hint now shown ("" for none) and the part it belongs to.
  const std::string& Hint() const { return hint_; }
  uint8_t HintPart() const { return lastHintPart_; }

 private:
  void RenderPart(uint8_t part, bool hot);
  void UpdateHint(uint8_t part, SResult& result);

  float scale_ = 1.0f;
  float rotation_ = 0.0f;
  TMemoryGraphic image_;
  uint8_t hotPart_ = 0;
  uint8_t lastHintPart_ = 0;
  uint8_t dragPart_ = 0;
  TPoint pressPoint_{0, 0};
  std::string hint_;
};

}  // namespace tf
