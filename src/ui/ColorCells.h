// The colour cells as controls: TPickerColorCell (a click opens the colour picker dialog) and
// TTwinColorCell (the main and sub drawing colours with a swap corner).
#pragma once
// Pictures and hit tests are raster/ColorCells.h; these widgets route the mouse and open the
// dialog (PickColorDialog, ui/ColorPickerForm.h).
#include <cstdint>
#include <functional>

#include "raster/ColorCells.h"
#include "ui/GraphicControl.h"

namespace tf {

class TCustomColorCell : public GraphicControl {
  Q_OBJECT
 public:
  using ChangeCallback = std::function<void(TCustomColorCell& sender)>;
  // The usual handling of a left button down (the cell's mouse-down event), at control
  // coordinates.
  using MouseDownCallback = std::function<void(TCustomColorCell& sender, int32_t x, int32_t y)>;

  explicit TCustomColorCell(QWidget* parent = nullptr) : GraphicControl(parent) {}

  virtual void SetColor(const SColorValue& value) { core_->SetColor(value); }
  virtual void GetColor(SColorValue& value) const { core_->GetColor(value); }
  TColorManager& ColorManager() { return core_->Color(); }
  void SetOnChange(ChangeCallback callback) { onChange_ = std::move(callback); }
  void SetOnMouseDown(MouseDownCallback callback) { onMouseDown_ = std::move(callback); }

 protected:
  // The kind's logic, bound once by the kind's constructor.
  void BindCore(CCustomColorCellCore& core);
  void RenderGraphic() override;
  void MouseDownEvent(int32_t x, int32_t y);

 private:
  CCustomColorCellCore* core_ = nullptr;
  ChangeCallback onChange_;
  MouseDownCallback onMouseDown_;
};

class TPickerColorCell : public TCustomColorCell {
  Q_OBJECT
 public:
  explicit TPickerColorCell(QWidget* parent = nullptr);

  CPickerColorCellCore& Core() { return core_; }
  void SetInitialColor(const SColorValue& value) { core_.SetInitialColor(value); }
  void GetInitialColor(SColorValue& value) const { core_.GetInitialColor(value); }
  void SetDrawInitialColor(bool draw) { core_.SetDrawInitialColor(draw); }
  void SetCallPickerDialog(bool call) { core_.callPickerDialog = call; }

 protected:
  void changeEvent(QEvent* event) override;
  // The usual handling, then the dialog on the current colour (when the cell calls it and the
  // point is not on the frame).
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  CPickerColorCellCore core_;
};

class TTwinColorCell : public TCustomColorCell {
  Q_OBJECT
 public:
  explicit TTwinColorCell(QWidget* parent = nullptr);

  CTwinColorCellCore& Core() { return core_; }
  void SetActiveCell(int32_t n) { core_.SetActiveCell(n); }
  int32_t ActiveCell() const { return core_.ActiveCell(); }
  void SetSubColor(const SColorValue& value) { core_.SetSubColor(value); }
  void SwapColors() { core_.SwapColors(); }
  void SetComponents(int32_t space, float c1, float c2, float c3) { core_.SetComponents(space, c1, c2, c3); }
  void SetOnActiveCell(std::function<void()> callback) { core_.onActiveCell = std::move(callback); }

 protected:
  // Nothing is drawn without a parent.
  void RenderGraphic() override;
  // A colour becomes active, the corner swaps; then the usual handling.
  void mousePressEvent(QMouseEvent* event) override;
  // The usual handling; on the active colour the dialog opens for it. Never a second press, so a
  // double-click on the corner swaps once.
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  CTwinColorCellCore core_;
};

}  // namespace tf
