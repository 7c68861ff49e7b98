// The tool window's keyboard shortcuts and the popup-slider filters of its number edits.
#pragma once
// HandleToolKey is called by the main window's key filter before a key reaches anything else;
// what the keys change is reached through ToolKeyHost. The filters map a number's linear 0..1
// position to the popup slider's position (In) and back (Out), all in single precision.
#include <cstdint>

namespace tf {

class CToolSelection;

inline constexpr int32_t kVkCloseBracket = 221;  // ]
inline constexpr int32_t kVkOpenBracket = 219;   // [

class ToolKeyHost {
 public:
  virtual ~ToolKeyHost() = default;
  // Shows or hides every floating window of the tool window together.
  virtual void FlipFloatVisibility() = 0;
  virtual bool PlaybackMode() = 0;
  virtual void SetEventWait(int32_t wait) = 0;
  virtual bool ToolFindNext() = 0;
  // The group's button has just opened its drop-down menu.
  virtual bool ButtonOpenedMenu(uint8_t group) = 0;
  // The options pane's tool-item list and gradient list: shown, and a step of the selection.
  virtual bool ItemListVisible() = 0;
  virtual bool GradientListVisible() = 0;
  virtual void StepItemList(int32_t delta) = 0;
  virtual void StepGradientList(int32_t delta) = 0;
  virtual void SwapColors() = 0;
  virtual bool HasDocument() = 0;
  // The selected layer moves one place up (past its group) or down, within the list.
  virtual void MoveSelectedLayer(bool up) = 0;
  virtual void SelectVisibleLayer(bool next) = 0;
  virtual void NibSizeUp(bool shift) = 0;
  virtual void NibSizeDown(bool shift) = 0;
  virtual void SetToolDensity(float percent) = 0;
};

// Key code (virtual key) and modifier bits (Shift 1, Alt 2, Ctrl 4); true when handled.
bool HandleToolKey(CToolSelection& selection, ToolKeyHost& host, int32_t key, int32_t shift);

// The event wait a playback digit '0'..'5' sets; -1 for other keys.
int32_t EventWaitOfDigit(int32_t key);

// Nib radius 0.1..200 px; 20 px at the slider's middle.
float NibRadiusInFilter(float x);
float NibRadiusOutFilter(float p);

// Image-nib scale between minPercent and maxPercent; 100 % at the slider's middle when 1 lies
// strictly inside the range, else the slider is linear. A range with min >= max is not editable.
bool NibScaleEditable(float minPercent, float maxPercent);
float NibScaleInFilter(float x, float minPercent, float maxPercent);
float NibScaleOutFilter(float p, float minPercent, float maxPercent);

// One twentieth of the slider's travel up (+0.05) or down (-0.05) from linear position x, through
// the filters; returns the new linear position.
float NibRadiusStep(float x, float delta);
float NibScaleStep(float x, float delta, float minPercent, float maxPercent);

// Display scale 6.25..1600 %: 100 % at the slider's middle; snapping to the zoom steps when snap
// (Shift held differs from ForceDispParam).
float DispScaleInFilter(float x);
float DispScaleOutFilter(float p, bool snap);
// Display rotation: 15 degree steps when snap.
float DispRotOutFilter(float p, bool snap);
// The zoom buttons: the next step above or below a scale in percent, in percent.
float ZoomButtonScale(float scalePercent, bool zoomIn);

// The opacity ApplyTool remembers for the tool density in percent.
float ToolDensityOpacity(float percent);

}  // namespace tf
