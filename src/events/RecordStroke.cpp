// CEventMngr: recording of strokes: a start packet after the whole state, the points sixteen to
// a packet, all in one step.
#include <bit>
#include <cstring>

#include "events/EventStream.h"
#include "events/RecordSources.h"

namespace tf {

// The point buffer goes out as it lies: three floats a point, which on a little-endian host are
// the packet's bytes.
static_assert(std::endian::native == std::endian::little, "point packets are written from memory");
static_assert(sizeof(CEventMngr::SBufferedPoint) == sizeof(SStrokePointPacket));

bool CEventMngr::writePointPacket(bool last) {
  if (pointCount < 1 || pointCount > kMaxPointsPerPacket) return false;
  const uint8_t code = static_cast<uint8_t>(pointCount);
  const uint32_t len = static_cast<uint32_t>(pointCount) * sizeof(SStrokePointPacket);
  const bool ok = last ? appendStep(kPcPointsLast, code, pointBuffer, len)
                       : appendPacket(kPcPointsMore, code, pointBuffer, len);
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
  SRecordedStroke s;
  stroke->recordedStroke(s);
  if (!writeAllGroups(s)) return false;
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

bool CEventMngr::addStrokePointSlow(float x, float y, float pressure) {
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
