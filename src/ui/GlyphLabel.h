// TtFGlyphLabel: one tool glyph, centred, that doubles as a drag handle for a number.
#pragma once
// Shows GlyphManager's glyph of its type (gsNone when enabled, gsDisabled otherwise) blended over
// the button face. A left press starts a drag: OnBeginDrag gets the value to start from, each move
// reports start + (x - start x) / 100 to OnDrag (one hundred pixels sideways are 1.0; vertical
// movement does nothing), the release reports the same to OnEndDrag.
// The label hears the mouse exactly when it is enabled and not read-only, whatever order the two
// were set in.
#include <functional>

#include "raster/ToolGlyphs.h"
#include "ui/GraphicControl.h"

namespace tf {

// The value of a drag that started at startX from start, with the mouse now at x.
inline float GlyphDragValue(float start, int32_t startX, int32_t x) {
  return start + static_cast<float>(x - startX) / 100.0f;
}

class TtFGlyphLabel : public GraphicControl {
  Q_OBJECT
 public:
  using BeginDragEvent = std::function<void(TtFGlyphLabel* sender, float& position)>;
  using DragEvent = std::function<void(TtFGlyphLabel* sender, float position)>;
  using NotifyEvent = std::function<void(TtFGlyphLabel* sender)>;

  explicit TtFGlyphLabel(QWidget* parent = nullptr);

  TtFGlyphType GlyphType() const { return type_; }
  void SetGlyphType(TtFGlyphType type);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool Dragging() const { return dragging_; }
  float CurrentValue() const { return current_; }
  // Whether a press would reach the label now.
  bool HearsMouse() const { return isEnabled() && !readOnly_; }

  BeginDragEvent OnBeginDrag;
  DragEvent OnDrag;
  DragEvent OnEndDrag;
  NotifyEvent OnDblClick;

 protected:
  void RenderGraphic() override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  TtFGlyphType type_ = tgPencil4;
  bool readOnly_ = false;
  bool dragging_ = false;
  int32_t startX_ = 0;
  float start_ = 0.0f;
  float current_ = 0.0f;
};

}  // namespace tf
