// CEventMngr: recording of the paper and canvas commands (class 2), the start of a recording and
// its end marker.
#include <cstring>

#include "events/EventStream.h"
#include "platform/Clock.h"

namespace tf {

bool CEventMngr::startRecording() {
  if (state != kEventRecording) return true;
  if (!writeDocState()) return false;
  const SSystemTime now = GetSystemTimeUtc();
  uint8_t info[4 + 16];
  StoreU32(info, 16);
  const uint16_t fields[8] = {now.year, now.month,  now.dayOfWeek, now.day,
                              now.hour, now.minute, now.second,    now.milliseconds};
  for (int i = 0; i < 8; ++i) StoreU16(info + 4 + 2 * i, fields[i]);
  if (!appendPacket(kPcInfo, kInfoStartTime, info, sizeof info)) return false;
  startTime = now;
  return appendStep(kPcPaper, kPaperStartMarker, nullptr, 0);
}

bool CEventMngr::writeEventFin() {
  if (state != kEventRecording) return true;
  if (!appendStep(kPcPaper, kPaperEndMarker, nullptr, 0)) return false;
  state = kEventFinished;
  return true;
}

bool CEventMngr::writePaperOp(uint8_t code) {
  const bool known = code == 4 || code == 5 || (code >= 16 && code <= 19) || (code >= 32 && code <= 35);
  if (!known) return false;
  return recordCommand(RecordGroup::kDocument, kPcPaper, code, nullptr, 0);
}

bool CEventMngr::writePaperColor(uint32_t color) {
  SPaperColorPacket p{};
  p.color = static_cast<int32_t>(color);
  return recordCommand(RecordGroup::kDocument, kPcPaper, 1, &p, sizeof p);
}

bool CEventMngr::writeCanvasSize(int32_t width, int32_t height, uint8_t keepAttributes, uint8_t anchor) {
  SCanvasSizePacket p{};
  p.place1 = anchor;
  p.place2 = keepAttributes;
  p.width = width;
  p.height = height;
  return recordCommand(RecordGroup::kDocument, kPcPaper, 2, &p, sizeof p);
}

bool CEventMngr::writeResolution(uint8_t code, uint16_t mode, int32_t width, int32_t height) {
  if (code != 3 && code != 9) return false;
  SResolutionPacket p{};
  p.mode = mode;
  p.width = width;
  p.height = height;
  return recordCommand(RecordGroup::kDocument, kPcPaper, code, &p, sizeof p);
}

bool CEventMngr::writeNewDocument(int32_t canvasWidth, int32_t canvasHeight, int32_t layerWidth,
                                  int32_t layerHeight, int32_t resolution, bool showCanvasColor,
                                  bool opaqueLayer) {
  if (state != kEventRecording) return true;
  SAppStateRecord app{};
  app.major = kAppVersionMajor;
  app.minor = kAppVersionMinor;
  if (writeStateRecord(kStAppState, &app, sizeof app) == StateWrite::kFailed) return false;
  SNewDocumentPacket p{};
  p.canvasWidth = canvasWidth;
  p.canvasHeight = canvasHeight;
  p.layerWidth = layerWidth;
  p.layerHeight = layerHeight;
  p.documentValue = resolution;
  p.showCanvasColor = showCanvasColor ? 0xFF : 0;
  p.opaqueLayer = opaqueLayer ? 0xFF : 0;
  return recordCommand(RecordGroup::kNone, kPcPaper, kPaperNewDocument, &p, sizeof p);
}

bool CEventMngr::writeMergeVisible(int16_t layer, int16_t value, int32_t a, int32_t b) {
  SLayerValue2Packet p{};
  p.layer = layer;
  p.value = value;
  p.a = a;
  p.b = b;
  return recordCommand(RecordGroup::kDocument, kPcPaper, 10, &p, sizeof p);
}

bool CEventMngr::writePaperValue(int16_t layer, int16_t value, uint8_t code) {
  if (code < 24 || code > 26) return false;
  SLayerValuePacket p{};
  p.layer = layer;
  p.value = value;
  return recordCommand(RecordGroup::kDocument, kPcPaper, code, &p, sizeof p);
}

bool CEventMngr::writeTrimCanvas(int16_t layer, int16_t mode, const SRectWH& rect) {
  // The crop command's rectangle goes to the player's crop command as it came.
  SCropCanvasPacket p{};
  p.layer = layer;
  p.mode = mode;
  p.rect.left = rect.left;
  p.rect.top = rect.top;
  p.rect.right = rect.width;
  p.rect.bottom = rect.height;
  return recordCommand(RecordGroup::kDocument, kPcPaper, 11, &p, sizeof p);
}

}  // namespace tf
