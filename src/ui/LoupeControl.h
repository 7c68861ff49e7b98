// TLoupeControl and TPreviewControl: the loupe and the navigator of the tool window's views.
#pragma once
// The logic and pictures are raster/Loupe.h and raster/Navigator.h; these widgets show the
// pictures and pass the mouse. The navigator answers the mouse only inside its thumbnail's inner
// area (elsewhere the event goes on to the parent); a read-only one takes the mouse and drops it.
#include <QPointer>
#include <functional>

#include "raster/Loupe.h"
#include "raster/Navigator.h"
#include "ui/GraphicControl.h"

namespace tf {

class TLoupeControl : public GraphicControl {
  Q_OBJECT
 public:
  explicit TLoupeControl(QWidget* parent = nullptr);

  float Magnification() const { return loupe_.Magnification(); }
  void SetMagnification(float magnification);
  bool Grid() const { return loupe_.Grid(); }
  void SetGrid(bool grid);
  TLoupeBackground Background() const { return loupe_.Background(); }
  void SetBackground(TLoupeBackground background) { loupe_.SetBackground(background); }
  // The tool window passes the document's display image and its display angle.
  void DrawLoupe(const TMTC& source, float x, float y, float angle);
  void ClearLoupe();
  const CLoupe& Logic() const { return loupe_; }

 protected:
  void RenderGraphic() override {}
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  CLoupe loupe_;
};

class TPreviewControl : public GraphicControl {
  Q_OBJECT
 public:
  explicit TPreviewControl(QWidget* parent = nullptr);

  // The bound document window (not owned); none shows an empty control.
  void SetDocumentWindow(QObject* form);
  QObject* DocumentWindow() const { return form_; }
  void SetViewSize(int32_t width, int32_t height) { nav_.SetViewSize(width, height); }
  void SetDocumentSize(int32_t width, int32_t height) { nav_.SetDocumentSize(width, height); }
  void SetViewCenter(int32_t x, int32_t y) { nav_.SetViewCenter(x, y); }
  void SetScale(float scale) { nav_.SetScale(scale); }
  void SetRotation(float radians) { nav_.SetRotation(radians); }
  void SetFitToControl(bool limit) { nav_.SetFitToControl(limit); }
  void SetThumbnailSize(int32_t width, int32_t height) { nav_.SetThumbnailSize(width, height); }
  void SetReverseRotation(bool reverse) { nav_.SetReverseRotation(reverse); }
  void UpdatePreview(uint8_t flags) { nav_.UpdatePreview(flags); }
  TRect GetInnerRect() const { return nav_.GetInnerRect(); }
  CNavigator& Logic() { return nav_; }

  std::function<void(TPreviewControl* sender, TMTC& image, int32_t width, int32_t height)> OnRenderThumbnail;
  std::function<void(TPreviewControl* sender, int32_t x, int32_t y)> OnViewCenterChanged;
  std::function<void(TPreviewControl* sender, float radians)> OnRotationChanged;
  std::function<void(TPreviewControl* sender)> OnResize;

 protected:
  void RenderGraphic() override {}
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // The hit test: the inner area, while enabled. False: the event goes on to the parent.
  bool Answers(QMouseEvent* event) const;

  CNavigator nav_;
  QPointer<QObject> form_;
};

}  // namespace tf
