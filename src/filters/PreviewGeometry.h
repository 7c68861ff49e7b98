// The arithmetic of the filter dialogs' preview frame and of their delayed canvas preview.
#pragma once
// CPreviewGeometry: which part of the layer (the window, in store pixels) a preview box shows at
// which size (the view), for a magnification in percent; panning by mouse movement; the window
// centred on a rectangle. The Qt frame (filters/qt/PreviewFrame.h) draws what it says.
//
// The magnification bar is not linear: PreviewTrackIn/PreviewTrackOut map the value's linear
// position q (0..1 between minimum and maximum) to the drawn position p and back, so that the
// minimum sits at 0, 100 % in the middle and the maximum at 1.
//
// FilterPreviewDelay: the 700 ms delay of the canvas preview after the last control change.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

// Drawn position of linear position q, and back; min and max in percent. Identity when the
// minimum is exactly 100 %.
float PreviewTrackIn(float minPercent, float maxPercent, float q);
float PreviewTrackOut(float minPercent, float maxPercent, float p);

class CPreviewGeometry {
 public:
  static constexpr float kMaxPercent = 1600.0f;

  // The box is the paint box; the view may use its size less 2 in each direction.
  void SetBox(int32_t width, int32_t height);
  // The layer's store size; 0 x 0 without a layer.
  void SetLayer(int32_t width, int32_t height);

  // The smallest magnification: the whole layer fits the view, capped at 100.
  float FitPercent() const;
  // Sizes the view and the window for a magnification, keeping the window's centre.
  void SetMagnification(float percent);
  // The view after the box changed: the box less 2 (the window keeps its size).
  void FitViewToBox();
  // Centres the window on a rectangle (store pixels), clamped into the layer.
  void CentreOn(const TRect& rect);

  void SetWindowLeft(int64_t x);
  void SetWindowTop(int64_t y);
  void SetViewWidth(int32_t w);
  void SetViewHeight(int32_t h);

  // Panning: BeginPan at the mouse-down point, Pan at each move. The remembered coordinate moves
  // only where the window moved, so dragging against the border does not accumulate.
  void BeginPan(int32_t x, int32_t y);
  void Pan(int32_t x, int32_t y);

  int32_t BoxWidth() const { return boxWidth_; }
  int32_t BoxHeight() const { return boxHeight_; }
  int32_t LayerWidth() const;
  int32_t LayerHeight() const;
  int32_t ViewLeft() const;
  int32_t ViewTop() const;
  int32_t ViewWidth() const { return viewWidth_; }
  int32_t ViewHeight() const { return viewHeight_; }
  int32_t WindowLeft() const { return windowLeft_; }
  int32_t WindowTop() const { return windowTop_; }
  int32_t WindowWidth() const { return windowWidth_; }
  int32_t WindowHeight() const { return windowHeight_; }
  TRect Window() const { return {windowLeft_, windowTop_, windowLeft_ + windowWidth_, windowTop_ + windowHeight_}; }
  TRect View() const { return {ViewLeft(), ViewTop(), ViewLeft() + viewWidth_, ViewTop() + viewHeight_}; }

 private:
  int32_t boxWidth_ = 208;
  int32_t boxHeight_ = 208;
  int32_t layerWidth_ = 0;
  int32_t layerHeight_ = 0;
  int32_t viewWidth_ = 206;
  int32_t viewHeight_ = 206;
  int32_t windowWidth_ = 206;
  int32_t windowHeight_ = 206;
  int32_t windowLeft_ = 0;
  int32_t windowTop_ = 0;
  int32_t lastX_ = 0;
  int32_t lastY_ = 0;
};

// The canvas preview's delay: Changed notes the moment of a change; Due answers whether a timer
// tick at now may update (the elapsed time, unsigned, so the wrap of the clock does no harm).
class FilterPreviewDelay {
 public:
  static constexpr uint32_t kIntervalMs = 700;
  void Changed(uint32_t now) { lastChange_ = now; }
  bool Due(uint32_t now) const { return now - lastChange_ >= kIntervalMs; }
  uint32_t LastChange() const { return lastChange_; }

 private:
  uint32_t lastChange_ = 0;
};

}  // namespace tf
