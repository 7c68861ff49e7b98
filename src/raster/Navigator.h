// CNavigator: the navigator's logic: a thumbnail of the whole document with the document
// window's visible area drawn on it as a turned frame; dragging in it moves the view, a
// turning drag turns it.
#pragma once
// Everything but the window: the thumbnail's layout in the control, the view frame's corners,
// the mapping of control points to document points and angles, the drag states and the picture
// (a 32-bit image of the control's size). The owner renders the thumbnail itself, into the image
// it is handed through OnRenderThumbnail. ui/LoupeControl.h shows the picture and passes the mouse.
#include <cstdint>
#include <functional>

#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// Pending flags of UpdatePreview.
enum : uint8_t { kNavigatorThumbnail = 1, kNavigatorFrame = 2 };

class CNavigator {
 public:
  CNavigator();

  // The control's size; lays out again (and renders) when it changed.
  void SetControlSize(int32_t width, int32_t height);
  int32_t ControlWidth() const { return controlWidth_; }
  int32_t ControlHeight() const { return controlHeight_; }

  // A document window is bound (the owner keeps it); without one the picture is button face.
  void SetHasDocument(bool has);
  bool HasDocument() const { return hasDocument_; }
  void SetViewSize(int32_t width, int32_t height);
  void SetDocumentSize(int32_t width, int32_t height);
  void SetViewCenter(int32_t x, int32_t y);
  void SetScale(float scale);
  void SetRotation(float radians);
  void SetFitToControl(bool limit);
  // Ignored when either side is below 5.
  void SetThumbnailSize(int32_t width, int32_t height);
  void SetReverseRotation(bool reverse) { reverseRotation_ = reverse; }
  bool ReverseRotation() const { return reverseRotation_; }

  // Stores the pending flags and renders.
  void UpdatePreview(uint8_t flags);
  // Lays the thumbnail rectangle out; true when it moved (the frame is then recomputed).
  bool LayoutThumbnail();
  void ComputeViewFrame();
  void RenderPreview();

  // The thumbnail rectangle minus its 2-pixel border.
  TRect GetInnerRect() const;
  int32_t InnerWidth() const;
  int32_t InnerHeight() const;
  const TRect& ThumbnailRect() const { return thumbRect_; }
  float ThumbnailScale() const { return thumbScale_; }
  float FrameScale() const { return frameScale_; }
  // Corners top-left, top-right, bottom-right, bottom-left, control coordinates.
  const SPointF* ViewFrame() const { return frame_; }
  int32_t ViewCenterX() const { return centerX_; }
  int32_t ViewCenterY() const { return centerY_; }
  float Rotation() const { return rotation_; }
  float Scale() const { return scale_; }

  // The document point under a control point: the view centre moves until the frame's diagonal
  // touches the thumbnail's edge from outside. False (nothing set) while the thumbnail scale is
  // not above 0.
  bool PointToDocument(int32_t x, int32_t y, int32_t& docX, int32_t& docY) const;
  // atan2 around the thumbnail rectangle's centre, negated when reverse rotation is set.
  float AngleAt(int32_t x, int32_t y) const;
  bool InInner(int32_t x, int32_t y) const;

  // The mouse (the widget checks CanHotTrack and EnterHotState first). True when the event was
  // taken (a right press that starts a turning asks the widget to hold the mouse).
  bool LeftDown(int32_t x, int32_t y, bool alt);
  bool RightDown(int32_t x, int32_t y);
  // dragX, dragY: the system's drag distance; turnHeld: Alt or the right button is held.
  void MouseMove(int32_t x, int32_t y, bool turnHeld, int32_t dragX, int32_t dragY);
  void ButtonUp();
  bool Dragging() const { return dragging_; }
  bool Rotating() const { return rotating_; }
  bool RotationStarted() const { return rotationStarted_; }

  // The picture and the thumbnail the owner renders into (the inner area's size).
  const TMTC& Picture() const { return picture_; }
  TMTC& Thumbnail() { return thumbnail_; }

  uint32_t FrameColour() const { return frameColour_; }
  void SetFrameColour(uint32_t colour) { frameColour_ = colour; }

  // Events: the owner renders the thumbnail; the view centre and the rotation changed; the
  // thumbnail rectangle moved (the owner's resize event).
  std::function<void(TMTC& image, int32_t width, int32_t height)> OnRenderThumbnail;
  std::function<void(int32_t x, int32_t y)> OnViewCenterChanged;
  std::function<void(float radians)> OnRotationChanged;
  std::function<void()> OnResize;
  // The picture changed (the widget repaints).
  std::function<void()> OnInvalidate;

 private:
  void Relayout();

  bool hasDocument_ = false;
  int32_t controlWidth_ = 0, controlHeight_ = 0;
  TMTC picture_;
  TMTC thumbnail_;
  uint32_t frameColour_;
  int32_t viewWidth_ = 0, viewHeight_ = 0;
  int32_t docWidth_ = 0, docHeight_ = 0;
  int32_t centerX_ = 0, centerY_ = 0;
  float scale_ = 1.0f;
  float rotation_ = 0.0f, cos_ = 1.0f, sin_ = 0.0f;
  TRect thumbRect_{0, 0, 0, 0};
  float thumbScale_ = 0.0f;
  float frameScale_ = 0.0f;
  uint8_t pending_ = 0;
  SPointF frame_[4] = {};
  bool reverseRotation_ = true;
  bool limitSize_ = false;
  int32_t boxWidth_ = 32, boxHeight_ = 32;
  bool dragging_ = false, rotating_ = false, rotationStarted_ = false;
  int32_t pressX_ = 0, pressY_ = 0;
  float pressAngle_ = 0.0f;
};

}  // namespace tf
