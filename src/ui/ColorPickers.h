// The colour pickers as controls: TCustomColorPicker and its four kinds, and ReplaceColorPicker.
#pragma once
// The logic (layouts, fields, picks, markers) is raster/ColorPickers.h; these widgets route the
// mouse to it and show its foreground. A drag rides Qt's implicit grab: moves outside the control
// keep arriving and pick clamped values.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "raster/ColorPickers.h"
#include "ui/GraphicControl.h"

namespace tf {

class TCustomColorPicker : public GraphicControl {
  Q_OBJECT
 public:
  using ChangeCallback = std::function<void(TCustomColorPicker& sender)>;

  // A picker of a kind 0..3 (CreateColorPickerCore); another kind makes the area-and-slider one.
  explicit TCustomColorPicker(int32_t kind, QWidget* parent = nullptr);
  ~TCustomColorPicker() override;

  int32_t GetPickerKind() const { return core_->GetPickerKind(); }
  uint16_t GetColorSpaces() const { return core_->GetColorSpaces(); }
  uint8_t ColorSpace() const { return core_->ColorSpace(); }
  void SetColorSpace(int32_t space) { core_->SetColorSpace(space); }
  bool SliderColored() const { return core_->SliderColored(); }
  void SetSliderColored(bool colored) { core_->SetSliderColored(colored); }
  void SetColor(const SColorValue& value) { core_->SetColor(value); }
  void GetColor(SColorValue& value) const { core_->GetColor(value); }
  TColorManager& ColorManager() { return core_->Color(); }
  CColorPickerCore& Core() { return *core_; }

  // The change callback (sender: this picker).
  void SetOnChange(ChangeCallback callback) { onChange_ = std::move(callback); }
  const ChangeCallback& OnChange() const { return onChange_; }

 protected:
  void RenderGraphic() override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // A second press of a double-click picks like a press.
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  friend bool ReplaceColorPicker(TCustomColorPicker*& picker, int32_t kind, int32_t space);

  std::unique_ptr<CColorPickerCore> core_;
  ChangeCallback onChange_;
};

// Kind 0: area and slider, any of the nine spaces (cpHSV to start with).
class TColorPicker : public TCustomColorPicker {
  Q_OBJECT
 public:
  explicit TColorPicker(QWidget* parent = nullptr) : TCustomColorPicker(kPickerAreaSlider, parent) {}
};
// Kind 1: three sliders over a spectrum (cpRGB, cpHSV, cpHSL).
class TSliderColorPicker : public TCustomColorPicker {
  Q_OBJECT
 public:
  explicit TSliderColorPicker(QWidget* parent = nullptr) : TCustomColorPicker(kPickerSliders, parent) {}
};
// Kind 2: hue ring with a square (cpHSV) or triangle (cpHSL, to start with).
class TTriangleColorPicker : public TCustomColorPicker {
  Q_OBJECT
 public:
  explicit TTriangleColorPicker(QWidget* parent = nullptr) : TCustomColorPicker(kPickerTriangle, parent) {}
};
// Kind 3: hue disc and slider (cpSHV, cpVHS, cpSHL, cpLHS to start with).
class TCircleColorPicker : public TCustomColorPicker {
  Q_OBJECT
 public:
  explicit TCircleColorPicker(QWidget* parent = nullptr) : TCustomColorPicker(kPickerCircle, parent) {}
};

// A new picker of the kind in place of picker: it takes the old one's parent, place, colour
// manager (so the colour is kept), slider colouring, change callback and context menu; the space
// when the new kind supports it. The old picker is hidden, unparented and deleted later (it may be
// the sender of the call). True when picker is of that kind now; false for a kind outside 0..3.
bool ReplaceColorPicker(TCustomColorPicker*& picker, int32_t kind, int32_t space);

}  // namespace tf
