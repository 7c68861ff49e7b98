#include "ui/GraphicProgressBar.h"

#include <QMouseEvent>
#include <algorithm>

#include "platform/Clock.h"
#include "raster/Appearance.h"
#include "ui/MemoryGraphicQt.h"

namespace tf {

namespace {

constexpr SChannelOps kColourOnly{ChannelCopy, ChannelKeep};
constexpr SChannelOps kTint{ChannelBlend, ChannelKeep};
// Right-aligned, centred vertically, one line, cut with an ellipsis.
constexpr uint32_t kTextFormat = 0x8026;

}  // namespace

TGraphicProgressBar::TGraphicProgressBar(QWidget* parent) : GraphicControl(parent) {
  Graphic().SetBackground(AppearanceColors[acBtnFace]);
  Graphic().SetSize(4, 4);
}

bool TGraphicProgressBar::SetProgress(int32_t current, int32_t total, uint32_t startTime) {
  progress_ = SRatio{current, total};
  startTime_ = startTime;
  Rerender();
  return drew_;
}

void TGraphicProgressBar::SetDisplayMode(uint8_t mode) {
  if (mode == mode_) return;
  mode_ = mode;
  Rerender();
}

uint32_t TGraphicProgressBar::GetElapsed() const { return ProgressElapsed(timeGetTime(), startTime_); }

uint32_t TGraphicProgressBar::GetRemaining() const {
  return ProgressRemaining(GetElapsed(), progress_.numerator, progress_.denominator);
}

void TGraphicProgressBar::RenderGraphic() { drew_ = Render(); }

bool TGraphicProgressBar::Render() {
  TMemoryGraphic& g = Graphic();
  // The surface follows the control but is never smaller than 4 x 4.
  const int32_t w = std::max(width(), 4);
  const int32_t h = std::max(height(), 4);
  if (g.Width() != w || g.Height() != h) g.SetSize(w, h);
  if (!g.IsValid() || g.Width() < 4 || g.Height() < 4) return false;
  TRect r{0, 0, g.Width(), g.Height()};
  g.FrameRect(r, 1, AppearanceColors[acGrayText], kColourOnly);
  r = TRect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  g.FrameRect(r, 1, AppearanceColors[acWindow], kColourOnly);
  r = TRect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  g.FillRect(r, AppearanceColors[acBtnFace], kColourOnly);
  const int32_t bar = ProgressBarWidth(progress_, r.right - r.left);
  if (bar > 0) g.FillRect(TRect{r.left, r.top, r.left + bar, r.bottom}, AppearanceColors[acHighlightHalf], kTint);
  const uint32_t elapsed = mode_ == kProgressElapsed || mode_ == kProgressRemaining ? GetElapsed() : 0;
  text_ = ProgressText(mode_, progress_, elapsed);
  if (!text_.empty()) DrawText(g, text_, r, kTextFormat, AppearanceColors[acWindowText], font());
  ++renders_;
  return true;
}

void TGraphicProgressBar::mousePressEvent(QMouseEvent* event) {
  GraphicControl::mousePressEvent(event);
  if (OnMouseDown) OnMouseDown(this);
}

}  // namespace tf
