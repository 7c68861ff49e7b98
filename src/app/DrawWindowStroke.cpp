// TDrawWindow: the pen stroke road from mouse or tablet into the document.
#include <cmath>

#include "app/DrawWindow.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "platform/Clock.h"
#include "platform/Host.h"

namespace tf {

float TDrawWindow::MinimumPointDistance(int32_t engine, float zoom) {
  if (engine == 2) return zoom > 2.0f ? 4.0f / zoom : 1.0f;
  if (zoom == 0.25f) return 4.0f;
  if (zoom == 0.5f) return 3.0f;
  return 2.0f;
}

TPoint TDrawWindow::MapPenPoint(bool fromTablet, float x, float y, float& cx, float& cy) {
  if (fromTablet) {
    const TPoint origin = site_.ClientOrigin();
    x -= static_cast<float>(origin.x);
    y -= static_cast<float>(origin.y);
  }
  ClientToCanvasF(x, y, cx, cy);
  const TPoint last{TruncToInt(cx), TruncToInt(cy)};
  owner_.SetLastPenPosition(last);
  return last;
}

int32_t TDrawWindow::StrokeTo(TStroke& stroke, bool fromTablet, float x, float y, float pressure) {
  if (paper_ == nullptr || paper_->ready == 0) return -1;
  // 1. Refused during playback and while a modifier or Space is held, unless the program drives it.
  if (!stroke.IsProgramDriven() &&
      (playing_ || IsKeyDown(kVkShift) || IsKeyDown(kVkSpace) || IsKeyDown(kVkControl) || IsKeyDown(kVkMenu)))
    return -1;
  // 2. Screen to client (tablet), client to canvas.
  float cx = 0, cy = 0;
  MapPenPoint(fromTablet, x, y, cx, cy);
  const bool engine2 = paper_->engineLevelInUse == 2;
  // 3. The first point begins the stroke.
  if (!IsStrokeActive()) {
    stroke.SetLayerIndex(paper_->GetActiveLayerIndex());
    if (engine2) {
      paper_->BeginStrokeMngr(flow_.get(), stroke, true, cx, cy, pressure);
    } else {
      paper_->BeginStroke(flow_.get(), stroke, true, cx, cy, pressure);
    }
    owner_.SetLastStrokeTime(timeGetTime());
    return -1;
  }
  // 4. The point limit: the points the stroke holds (its first one included), as the recorder
  // counts them while it records the stroke, else as the window counts the added ones.
  const CEventMngr* events = paper_->EventMngr();
  const int32_t held = events != nullptr && events->state == kEventRecording && events->isInStroke()
                           ? events->strokePointCount
                           : strokePoints_ + 1;
  if (held > kStrokePointLimit) {
    EndStrokeAtLimit(stroke);
    return -1;
  }
  // 5.
  SetModified(true);
  // 6. - 7. Points closer than the minimum distance to the last one are skipped.
  const float minimum = MinimumPointDistance(engine2 ? 2 : 1, paper_->GetZoom());
  float lastX = 0, lastY = 0;
  if (engine2 && paper_->StrokeMngr() != nullptr) {
    const SPointF last = paper_->StrokeMngr()->GetLastPosition();
    lastX = last.x;
    lastY = last.y;
  } else {
    SStrokePoint last{};
    stroke.GetNewestPoint(last);
    lastX = last.x;
    lastY = last.y;
  }
  const float dx = cx - lastX;
  const float dy = cy - lastY;
  if (held >= 2 && std::sqrt(dx * dx + dy * dy) <= minimum) return 1;
  strokeRepaint_ = true;
  strokeInvalidated_ = false;
  if (engine2) {
    paper_->StrokeToMngr(flow_.get(), stroke, true, site_.Handle(), cx, cy, pressure);
  } else {
    paper_->StrokeTo(flow_.get(), stroke, true, site_.Handle(), cx, cy, pressure);
  }
  strokeRepaint_ = false;
  if (strokeInvalidated_) {
    SRectWH rect{};
    if (engine2 && paper_->StrokeMngr() != nullptr) {
      paper_->StrokeMngr()->GetSegmentRect(rect);
    } else {
      stroke.GetDirtyRect(rect);
    }
    MarkStrokeRect(rect);
  }
  return 1;
}

void TDrawWindow::MarkStrokeRect(const SRectWH& rect) {
  // The canvas rectangle's corners in the client, their box widened by a zoomed pixel.
  if (rect.width <= 0 || rect.height <= 0) return;
  const float xs[2] = {static_cast<float>(rect.left), static_cast<float>(rect.left + rect.width)};
  const float ys[2] = {static_cast<float>(rect.top), static_cast<float>(rect.top + rect.height)};
  float minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (int32_t i = 0; i < 4; ++i) {
    float x = xs[i & 1], y = ys[i >> 1];
    paper_->CanvasToClient(x, y);
    if (i == 0 || x < minX) minX = x;
    if (i == 0 || y < minY) minY = y;
    if (i == 0 || x > maxX) maxX = x;
    if (i == 0 || y > maxY) maxY = y;
  }
  const int32_t pad = TruncToInt(std::ceil(paper_->GetZoom())) + 2;
  const TRect client{TruncToInt(std::floor(minX)) - pad, TruncToInt(std::floor(minY)) - pad,
                     TruncToInt(std::ceil(maxX)) + pad, TruncToInt(std::ceil(maxY)) + pad};
  site_.InvalidateClient(&client);
}

void TDrawWindow::EndStrokeAtLimit(TStroke& stroke) {
  SRectWH rect{};
  const bool engine2 = paper_->engineLevelInUse == 2;
  const int32_t layer = engine2 && paper_->StrokeMngr() != nullptr ? paper_->StrokeMngr()->GetLayer()
                                                                  : paper_->GetStrokeLayer(stroke);
  if (engine2) {
    paper_->EndStrokeMngr(flow_.get(), stroke, true, rect, site_.Handle());
  } else {
    paper_->EndStroke(flow_.get(), stroke, true, rect, site_.Handle());
  }
  // The thumbnail and the navigator follow the stroke as StrokeEnd refreshes them.
  paper_->UpdateThumbnailsRect(false, layer, rect);
  owner_.SetLastStrokeTime(timeGetTime());
}

void TDrawWindow::StrokeEnd(TStroke& stroke, bool fromTablet, float x, float y) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  if (!stroke.IsProgramDriven() && playing_) return;
  float cx = 0, cy = 0;
  const TPoint last = MapPenPoint(fromTablet, x, y, cx, cy);
  if (!IsStrokeActive()) return;
  const bool engine2 = paper_->engineLevelInUse == 2;
  const int32_t layer = engine2 && paper_->StrokeMngr() != nullptr ? paper_->StrokeMngr()->GetLayer()
                                                                  : paper_->GetStrokeLayer(stroke);
  const float px = static_cast<float>(last.x);
  const float py = static_cast<float>(last.y);
  SRectWH rect{};
  strokeRepaint_ = true;
  strokeInvalidated_ = false;
  if (engine2) {
    paper_->StrokeToMngr(flow_.get(), stroke, true, site_.Handle(), px, py, 0.0f);
    paper_->EndStrokeMngr(flow_.get(), stroke, true, rect, site_.Handle());
  } else {
    paper_->StrokeTo(flow_.get(), stroke, true, site_.Handle(), px, py, 0.0f);
    paper_->EndStroke(flow_.get(), stroke, true, rect, site_.Handle());
  }
  strokeRepaint_ = false;
  if (strokeInvalidated_) MarkStrokeRect(rect);
  paper_->UpdateThumbnailsRect(false, layer, rect);
  owner_.SetLastStrokeTime(timeGetTime());
}

}  // namespace tf
