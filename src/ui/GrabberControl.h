// TGrabberControl: the view grabber as a child widget of a document window. It paints nothing:
// the document window composites it with DrawTo while painting its own back buffer, and its
// mask holds exactly the parts, so points between them reach the window underneath.
#pragma once
// The logic (values, parts, snapping, hints, the picture) is CViewGrabber (app/ViewGrabber.h).
// Hints: the text before "|" is the tooltip; the rest goes to OnHint (the main window's hint
// line).
#include <QRegion>
#include <functional>
#include <string>

#include "app/ViewGrabber.h"
#include "ui/GraphicControl.h"

class QPainter;

namespace tf {

// The row spans of the parts as a region (the grabber's mask).
QRegion GrabberPartsRegion();

class TGrabberControl : public GraphicControl {
  Q_OBJECT
 public:
  explicit TGrabberControl(QWidget* parent = nullptr);

  float Scale() const { return grabber_.Scale(); }
  float Rotation() const { return grabber_.Rotation(); }
  // The writers: a changed value fires OnChange and invalidates the control's bounds in the
  // parent. A scale of 0, below 0 or not finite is refused (false).
  bool SetScale(float scale);
  bool SetRotation(float degrees);
  const CViewGrabber& Logic() const { return grabber_; }

  // Composites the picture and the two knobs at (x, y) of the painter's device.
  void DrawTo(QPainter& painter, int32_t x, int32_t y) const;

  std::function<void(TGrabberControl*)> OnChange;
  std::function<void(TGrabberControl*)> OnGrabberEnter;
  std::function<void(TGrabberControl*)> OnGrabberExit;
  // The status part of a hint ("" clears it).
  std::function<void(const std::string&)> OnHint;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Apply(const CViewGrabber::SResult& result);
  void InvalidateInParent();
  bool SnapFor(const QMouseEvent* event) const;

  CViewGrabber grabber_;
};

}  // namespace tf
