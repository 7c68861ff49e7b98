// TGraphicTrackbar: an owner-drawn slider (horizontal or vertical) or dial (clockwise or
// counter-clockwise) with a position 0..1.
#pragma once
// SetPosition clamps to 0..1, then the in-filter may change the value (it is drawn as given);
// the change event fires only when the stored position changes. A press or a drag stores the
// position under the pointer (clamped, no filter) and fires the change event every time.
// Position reads go through the out-filter. The filters let the bar be drawn on another scale than
// the value's: the in-filter turns a model position into a drawn one, the out-filter back.
#include <QPointer>
#include <functional>

#include "raster/TrackbarGeometry.h"
#include "ui/GraphicControl.h"

namespace tf {

class TGraphicTrackbar : public GraphicControl {
  Q_OBJECT
 public:
  using PositionFilter = std::function<void(TGraphicTrackbar* sender, float& position)>;

  explicit TGraphicTrackbar(QWidget* parent = nullptr);

  TGraphicTrackbarOrientation Orientation() const { return orientation_; }
  virtual void SetOrientation(TGraphicTrackbarOrientation orientation);
  // The stored position through the out-filter.
  virtual float GetPosition() const;
  virtual void SetPosition(float position);
  // The position as stored (as drawn).
  float DrawnPosition() const { return position_; }
  bool CenterLine() const { return centerLine_; }
  void SetCenterLine(bool centerLine);
  bool Dragging() const { return dragging_; }
  // A popup opened by a press drags the thumb with that press (the bar holds the mouse).
  void SetDragging(bool dragging) { dragging_ = dragging; }
  TRect TrackRect() const { return track_; }
  // Receives the focus when the bar is clicked (not owned).
  void SetFocusControl(QWidget* control) { focusControl_ = control; }

  PositionFilter OnInFilter;
  PositionFilter OnOutFilter;
  std::function<void(TGraphicTrackbar* sender)> OnChange;

 protected:
  // Fires OnChange.
  virtual void Change();
  void RenderGraphic() override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void LayOut();
  void TakePointAt(QPoint point);

  TGraphicTrackbarOrientation orientation_ = TGraphicTrackbarOrientation::gtHorizontal;
  float position_ = 0.0f;
  bool dragging_ = false;
  TRect track_{3, 0, 1, 8};
  bool centerLine_ = false;
  QPointer<QWidget> focusControl_;
};

}  // namespace tf
