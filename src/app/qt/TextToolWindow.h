// What the main window's semi-modal loop needs of the text tool's window.
#pragma once
// The text tool (its window is built with the tool) implements it; TMainForm::RunTextToolWindow
// runs the loop. The calls stand for the window's private messages: BeginSemiModal and
// EndSemiModal at the start and end of the loop, CanvasPoint for a click on the document canvas,
// AltKey for a key while Alt is held.
#include <QPoint>
#include <cstdint>

class QKeyEvent;
class QWidget;

namespace tf {

class TextToolWindow {
 public:
  virtual ~TextToolWindow() = default;
  virtual QWidget* Widget() = 0;
  virtual void BeginSemiModal() = 0;
  virtual void EndSemiModal() = 0;
  // A left press on the document canvas at the canvas point (16-bit halves, as packed).
  virtual void CanvasPoint(int16_t x, int16_t y) = 0;
  // A key press or release while Alt is held; true swallows it.
  virtual bool AltKey(QKeyEvent* event) = 0;
  // The window edits text now (clicks and Tab elsewhere then pass on).
  virtual bool IsEditing() const = 0;
  // 0 while the loop runs; 1 OK, 2 cancel.
  virtual int32_t ModalResult() const = 0;
  virtual void SetModalResult(int32_t result) = 0;
};

}  // namespace tf
