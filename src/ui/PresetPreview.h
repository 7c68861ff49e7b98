// TPresetPreview and its four thumbnails: a nib (TPenNibPreview), a colour swatch
// (TSwatchPreview), a gradient (TGradientPreview) and a screen tone or pattern (TTonePreview).
#pragma once
// Passive: the pictures are app/PresetPreview.h; the controls take the mouse and drop it (no
// standard events), so a click on one reaches neither it nor its parent.
#include "app/PresetPreview.h"
#include "ui/GraphicControl.h"

namespace tf {

class TPresetPreview : public GraphicControl {
  Q_OBJECT
 public:
  TPresetPreview(CPresetPreview::Kind kind, QWidget* parent);
  const CPresetPreview& Logic() const { return preview_; }
  virtual void RenderPreview();
  virtual void RenderControl();

 protected:
  void RenderGraphic() override {}
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  // After a setter: the bounds invalidated.
  void Shown();

  CPresetPreview preview_;
};

class TPenNibPreview : public TPresetPreview {
  Q_OBJECT
 public:
  explicit TPenNibPreview(QWidget* parent = nullptr) : TPresetPreview(CPresetPreview::kNib, parent) {}
  void SetNib(const SNibPreview& nib);
};

class TSwatchPreview : public TPresetPreview {
  Q_OBJECT
 public:
  explicit TSwatchPreview(QWidget* parent = nullptr) : TPresetPreview(CPresetPreview::kSwatch, parent) {}
  void SetColor(uint32_t colour);
};

class TGradientPreview : public TPresetPreview {
  Q_OBJECT
 public:
  explicit TGradientPreview(QWidget* parent = nullptr) : TPresetPreview(CPresetPreview::kGradient, parent) {}
  void SetGradient(const CGradObj* gradient, const SGradOption& option);
};

class TTonePreview : public TPresetPreview {
  Q_OBJECT
 public:
  explicit TTonePreview(QWidget* parent = nullptr) : TPresetPreview(CPresetPreview::kTone, parent) {}
  void SetPattern(const CPatObj* pattern);
};

}  // namespace tf
