// TGraphicProgressBar: the flat bar under the event list that shows how far a playback has come.
#pragma once
// One state (done, total, start time), four readings: percentage, count, elapsed time and the
// estimated time still needed (raster/ProgressReading.h). Every setter and every size change renders
// the whole small surface again; there is no timer, so the time readings stand still between reports.
#include <functional>
#include <string>

#include "raster/Geometry.h"
#include "raster/ProgressReading.h"
#include "ui/GraphicControl.h"

namespace tf {

class TGraphicProgressBar : public GraphicControl {
  Q_OBJECT
 public:
  explicit TGraphicProgressBar(QWidget* parent = nullptr);

  // Stores the three values and renders; true when it drew.
  bool SetProgress(int32_t current, int32_t total, uint32_t startTime);
  // A different mode is stored and rendered; the same mode does nothing.
  void SetDisplayMode(uint8_t mode);
  uint8_t DisplayMode() const { return mode_; }
  // The next reading of a click: percentage, count, elapsed time, back to percentage (the remaining
  // reading also goes on to the percentage).
  static uint8_t NextDisplayMode(uint8_t mode) { return mode == kProgressCount ? kProgressElapsed
                                                       : mode == kProgressPercent ? kProgressCount
                                                                                  : kProgressPercent; }

  SRatio Progress() const { return progress_; }
  uint32_t StartTime() const { return startTime_; }
  uint32_t GetElapsed() const;
  uint32_t GetRemaining() const;
  // The text the last render drew, and how many renders drew (tests).
  const std::string& RenderedText() const { return text_; }
  int32_t RenderCount() const { return renders_; }

  // Mouse press (the tool window binds it to the reading step).
  std::function<void(TGraphicProgressBar*)> OnMouseDown;

 protected:
  void RenderGraphic() override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool Render();

  SRatio progress_{0, 100};
  uint32_t startTime_ = 0;
  uint8_t mode_ = kProgressPercent;
  std::string text_;
  int32_t renders_ = 0;
  bool drew_ = false;
};

}  // namespace tf
