// Small owner-drawn controls: a strip of overlapping tabs (TGraphicTabControl), a label that
// shows a file path shortened in the middle (TPathLabel), and an 11 x 11 button that drops down
// a menu (TDropDownMenu).
#pragma once
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "raster/Appearance.h"
#include "ui/GraphicControl.h"

class QFontMetrics;

namespace tf {

// One tab: its image as drawn inactive (0) and active (1), and its left edge in the strip.
struct TGraphicTabObject {
  TMemoryGraphic images[2];
  int32_t x = 0;
};

// Blends a tab image at (x, y) onto a view (colour by the image's alpha, the view's alpha kept)
// and writes (index, index, index, 255) into the hit map under every pixel of the tab that is not
// transparent.
void DrawTabWithHit(TMemoryGraphic& view, TMemoryGraphic& hitMap, const TMemoryGraphic& image, int32_t x, int32_t y,
                    int32_t index);
// Sizes a tab view and its hit map to the control (at least 1 x 1) and clears them: the view to
// button face, the hit map to transparent black.
void StartTabRender(TMemoryGraphic& view, TMemoryGraphic& hitMap, int32_t width, int32_t height);
// A sunken one-pixel bevel around the rectangle and a window-frame line just inside it.
void DrawTabFrame(TMemoryGraphic& view, const TRect& rect, SChannelOps bevelOps);
// The index a hit map holds at a point (clamped into it), -1 where no tab is.
int32_t HitMapIndexAt(const TMemoryGraphic& hitMap, QPoint point);

class TGraphicTabControl : public GraphicControl {
  Q_OBJECT
 public:
  explicit TGraphicTabControl(QWidget* parent = nullptr);

  // Appends a tab for the caption and returns its index; -1 when refused (the hit map tells at
  // most kMaxTabs tabs apart).
  virtual int32_t AddTab(const std::string& caption);
  int32_t TabCount() const { return static_cast<int32_t>(tabs_.size()); }
  const TGraphicTabObject& Tab(int32_t index) const { return *tabs_[index]; }
  int32_t ActiveIndex() const { return activeIndex_; }
  // Stores any index (one naming no tab draws the frame only); fires OnChange when it changed.
  void SetActiveIndex(int32_t index);
  // The tab under a point of the control, -1 when none.
  int32_t TabAt(QPoint point) const;
  const TMemoryGraphic& HitMap() const { return hitMap_; }

  std::function<void(TGraphicTabControl* sender)> OnChange;

 protected:
  void RenderGraphic() override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void DrawTab(int32_t index, int32_t y, int32_t image);

  std::vector<std::unique_ptr<TGraphicTabObject>> tabs_;
  TMemoryGraphic hitMap_;
  int32_t activeIndex_ = 0;
};

// The path as it fits in width pixels: the file name kept, folders from the middle replaced by
// "..."; when even that does not fit, the whole path elided in the middle.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int32_t width);

class TPathLabel : public QLabel, public HotTrackControl {
  Q_OBJECT
 public:
  explicit TPathLabel(QWidget* parent = nullptr);

  const QString& Path() const { return path_; }
  // Stores the path; the caption is the path with "*" appended while modified.
  void SetPath(const QString& path);
  bool Modified() const { return modified_; }
  void SetModified(bool modified);
  // The caption in full, and as shown (shortened to the label's width, "*" kept).
  QString Caption() const { return text(); }
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString path_;
  bool modified_ = false;
};

class TDropDownMenu : public GraphicControl {
  Q_OBJECT
 public:
  explicit TDropDownMenu(QWidget* parent = nullptr);

  TGlyphState GlyphState() const { return glyphState_; }
  // True while its menu is open.
  bool Down() const { return down_; }
  // The menu it drops down (not owned).
  void SetPopupMenu(QMenu* menu) { menu_ = menu; }
  QMenu* PopupMenu() const { return menu_; }

  void HotTrackMouseLeave() override;

 protected:
  void RenderGraphic() override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void SetGlyphState(TGlyphState state);

  TGlyphState glyphState_ = gsNone;
  bool down_ = false;
  QPointer<QMenu> menu_;
};

}  // namespace tf
