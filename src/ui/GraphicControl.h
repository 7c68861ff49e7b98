// GraphicControl: the base of the owner-drawn controls, a widget that shows its own surface.
#pragma once
// The control keeps a surface of its own size. A change of size re-renders it at once (through
// RenderGraphic) and asks for a paint without erasing; painting only copies the surface, opaque.
// It carries the hot-tracking mixin (ui/HotTrack.h): SetWithholdsMouse makes it read-only.
#include <QWidget>

#include "raster/MemoryGraphic.h"
#include "ui/HotTrack.h"

namespace tf {

class GraphicControl : public QWidget, public HotTrackControl {
  Q_OBJECT
 public:
  explicit GraphicControl(QWidget* parent = nullptr);

  TMemoryGraphic& Graphic() { return graphic_; }
  const TMemoryGraphic& Graphic() const { return graphic_; }
  // Renders the surface again and repaints the control.
  void Rerender();

 protected:
  // Paints the control's picture into the surface; the base clears it to its background.
  virtual void RenderGraphic();
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  TMemoryGraphic graphic_;
};

}  // namespace tf
