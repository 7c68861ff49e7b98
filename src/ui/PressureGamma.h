// TPressureGamma and TAspectRotation: the pressure curve editor and the nib aspect editor of the
// tool options view.
#pragma once
// The logic and pictures are raster/PressureCurve.h and app/AspectRotation.h; these widgets
// route the mouse, hints and cursors, draw the numbers (they need the control's font) and open
// the inline number edit over the flattening or rotation number.
#include <QPointer>
#include <functional>

#include "app/AspectRotation.h"
#include "raster/PressureCurve.h"
#include "ui/GraphicControl.h"

namespace tf {

class TPressureGamma : public GraphicControl {
  Q_OBJECT
 public:
  explicit TPressureGamma(QWidget* parent = nullptr);

  float Gamma() const { return curve_.Gamma(); }
  // Negative values become 0; a value that is not finite is refused (the old one kept).
  void SetGamma(float gamma);
  bool ReadOnly() const { return WithholdsMouse(); }
  void SetReadOnly(bool readOnly) { SetWithholdsMouse(readOnly); }
  const CPressureCurve& Logic() const { return curve_; }
  // The gamma as drawn at the bottom right.
  QString GammaText() const;

  std::function<void(TPressureGamma* sender)> OnChange;

 protected:
  virtual void Change();
  void RenderGraphic() override {}
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  CPressureCurve curve_;
};

class TAspectRotation : public GraphicControl {
  Q_OBJECT
 public:
  explicit TAspectRotation(QWidget* parent = nullptr);
  ~TAspectRotation() override;

  CAspectRotation& Logic() { return aspect_; }
  bool SetParams(const SAspectParams& params) { return aspect_.SetParams(params); }
  void SetMapping(bool on, int32_t imageWidth, int32_t imageHeight, float scalePercent);
  void SetDisplayMode(uint8_t mode) { aspect_.SetDisplayMode(mode); }
  void SetDispScale(float scale) { aspect_.SetDispScale(scale); }
  void SetAspectEnabled(bool on) { aspect_.SetAspectEnabled(on); }
  void SetNibListVisible(bool on) { aspect_.SetNibListVisible(on); }
  void SetRotationUnit(const QString& unit);
  bool ReadOnly() const { return WithholdsMouse(); }
  void SetReadOnly(bool readOnly) { SetWithholdsMouse(readOnly); }
  // The inline number edit while a number is typed (null otherwise).
  QWidget* NumberEdit() const { return edit_; }
  int32_t HintCode() const { return hintCode_; }

  std::function<void(TAspectRotation* sender)> OnChange;
  std::function<void(TAspectRotation* sender, int32_t screenX, int32_t screenY)> OnNibList;
  std::function<void(TAspectRotation* sender, TMemoryGraphic& preview)> OnDrawPreview;

 protected:
  void RenderGraphic() override {}
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 public:
  void HotTrackMouseLeave() override;

 private:
  void Compose();
  void Measure();
  void FollowPointer(QPoint p);
  void OpenNumberEdit(int32_t code);
  void EndNumberEdit();

  CAspectRotation aspect_;
  QString rotationUnit_;
  int32_t hintCode_ = -1;
  QPointer<QWidget> edit_;
  TNumMngr* editNumber_ = nullptr;
  float editOldValue_ = 0.0f;
};

}  // namespace tf
