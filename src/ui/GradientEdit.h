// TGradientEdit: the gradient bar editor: a bar over a checkerboard with a diamond marker per
// colour stop; a click on a free place adds a stop, a click on a marker selects it, a drag moves
// it, a drag out of the control deletes it.
#pragma once
// The stops, pictures and mouse logic are app/GradientStops.h; the widget passes the left
// button (Qt's implicit grab keeps the mouse while it is held) and shows the picture.
#include <functional>

#include "app/GradientStops.h"
#include "ui/GraphicControl.h"

namespace tf {

class TGradientEdit : public GraphicControl {
  Q_OBJECT
 public:
  explicit TGradientEdit(QWidget* parent = nullptr);

  CGradientStops& Stops() { return stops_; }
  int32_t Count() const { return stops_.GetCount(); }
  int32_t SelectIndex() const { return stops_.SelectIndex(); }
  void SetSelectIndex(int32_t index) { stops_.SetSelectIndex(index); }
  // The gradient to load.
  void SetColorSlotGroup(const CColorSlotGroup* group) { stops_.SetColorSlotGroup(group); }
  bool SaveToColorSlotGroup(CColorSlotGroup& group) const { return stops_.SaveToColorSlotGroup(group); }

  std::function<void(TGradientEdit* sender)> OnChange;

 protected:
  void RenderGraphic() override {}
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  CGradientStops stops_;
};

}  // namespace tf
