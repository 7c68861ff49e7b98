// CEventMngr: recording of strokes: a start packet after the whole state, the points sixteen to
// a packet, all in one step.
#include <cstring>

#include "events/EventStream.h"
#include "events/RecordSources.h"

namespace tf {

bool CEventMngr::writePointPacket(bool last) {
  if (pointCount < 1 || pointCount > kMaxPointsPerPacket) return false;
  SStrokePoint points[kMaxPointsPerPacket];
  for (int32_t i = 0; i < pointCount; ++i) {
    points[i].x = pointBuffer[i].x;
    points[i].y = pointBuffer[i].y;
    points[i].pressure = pointBuffer[i].pressure;
  }
  const uint8_t code = static_cast<uint8_t>(pointCount);
  const uint32_t len = static_cast<uint32_t>(pointCount) * sizeof(SStrokePoint);
  const bool ok =
      last ? appendStep(kPcPointsLast, code, points, len) : appendPacket(kPcPointsMore, code, points, len);
  if (ok) {
    ++strokePacketCount;
    pointCount = 0;
  }
  return ok;
}

bool CEventMngr::beginStroke(float x, float y, float pressure) {
  if (state != kEventRecording) return true;
  if (!document_) return missingSource("document");
  if (!stroke) return missingSource("stroke");
  // A stroke left open is closed first, so that every start packet has its last points packet.
  if (isInStroke()) endStroke();
  if (!writeAllState()) return false;
  SRecordedStroke s;
  stroke->recordedStroke(s);
  const bool engine2 = document_->strokeEngine() >= 2;
  uint8_t cls;
  if (s.interpolationOff)
    cls = engine2 ? kPcStrokeStart4i : kPcStrokeStart2i;
  else
    cls = engine2 ? kPcStrokeStart4 : kPcStrokeStart2;
  SStrokeStartPacket start{};
  start.layer = s.layerIndex;
  start.mask = static_cast<int16_t>(document_->activeMaskIndex());
  if (!appendRecord(cls, 0, start)) return false;
  strokeStart[0] = start.layer;
  strokeStart[1] = start.mask;
  strokePacketCount = 0;
  pointBuffer[0] = SBufferedPoint{x, y, pressure};
  pointCount = 1;
  strokePointCount = 1;
  runFlags |= kRunInStroke;
  return true;
}

bool CEventMngr::addStrokePoint(float x, float y, float pressure) {
  if (state != kEventRecording) return true;
  if (!isInStroke() || pointCount < 0 || pointCount > kMaxPointsPerPacket) return false;
  if (pointCount == kMaxPointsPerPacket && !writePointPacket(false)) return false;
  pointBuffer[pointCount++] = SBufferedPoint{x, y, pressure};
  ++strokePointCount;
  return true;
}

bool CEventMngr::endStroke() {
  if (state != kEventRecording) return true;
  if (!isInStroke()) return false;
  const bool ok = writePointPacket(true);
  runFlags &= static_cast<uint8_t>(~kRunInStroke);
  pointCount = 0;
  strokePointCount = 0;
  strokePacketCount = 0;
  return ok;
}

}  // namespace tf
