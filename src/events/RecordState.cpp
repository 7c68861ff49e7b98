// CEventMngr: the state groups written before each command, and the command frame every
// recording operation shares.
#include <cmath>
#include <cstring>

#include "events/EventStream.h"
#include "events/RecordSources.h"
#include "platform/Debug.h"

namespace tf {
namespace {

void LowBytes(uint32_t color, uint8_t rgb[3]) {
  rgb[0] = static_cast<uint8_t>(color);
  rgb[1] = static_cast<uint8_t>(color >> 8);
  rgb[2] = static_cast<uint8_t>(color >> 16);
}

template <typename T>
bool Put(CEventMngr& m, uint8_t code, const T& record) {
  return m.writeStateRecord(code, &record, sizeof record) != StateWrite::kFailed;
}

}  // namespace

SGradOptionsRecord GradOptionsRecordOf(const SGradOption& option) {
  SGradOptionsRecord r{};
  r.shape = option.shape;
  r.repeat1 = option.mirror;
  r.repeat2 = option.endless;
  r.repeatCount = static_cast<int16_t>(option.repeatCount);
  return r;
}

bool CEventMngr::missingSource(const char* what) const {
  DebugOutF("event recorder: no %s to record from", what);
  return false;
}

bool CEventMngr::writeDocState() {
  if (state != kEventRecording) return true;
  if (!document_) return missingSource("document");
  if (!stroke) return missingSource("stroke");
  SRecordedStroke s;
  stroke->recordedStroke(s);
  const IRecordedDocument& doc = *document_;

  SAppStateRecord app{};
  app.major = kAppVersionMajor;
  app.minor = kAppVersionMinor;
  if (!Put(*this, kStAppState, app)) return false;

  SColorRecord paper{};
  LowBytes(doc.paperColor(), paper.rgb);
  if (!Put(*this, kStPaperColor, paper)) return false;

  SColorRecord background{};
  LowBytes(s.secondColor, background.rgb);
  background.flags = static_cast<uint8_t>((doc.showCanvasColor() ? 0 : kBackgroundCanvasHidden) |
                                          (doc.backgroundPattern() ? kBackgroundPattern : 0));
  if (!Put(*this, kStBackground, background)) return false;

  TPoint start{}, end{};
  doc.gradationPoints(start, end);
  SGradPointsRecord points{};
  points.start.x = start.x;
  points.start.y = start.y;
  points.end.x = end.x;
  points.end.y = end.y;
  if (!Put(*this, kStGradPoints, points)) return false;

  if (!Put(*this, kStGradOptions, GradOptionsRecordOf(doc.gradationOptions()))) return false;

  SActiveLayerRecord active{};
  active.layer = static_cast<int16_t>(doc.activeLayerIndex());
  active.mask = static_cast<int16_t>(doc.activeMaskIndex());
  if (!Put(*this, kStActiveLayer, active)) return false;

  SFlagWordRecord flags{};
  flags.flags = static_cast<uint16_t>((doc.selectionEnabled() ? kFlagSelectionEnabled : 0) |
                                      (s.useTone ? kFlagTone : 0) | (s.useGradation ? kFlagGradation : 0));
  if (!Put(*this, kStFlagWord, flags)) return false;

  const uint16_t written = records.flagWord.flags;
  if ((written & kFlagTone) && !writeTone()) return false;
  if ((written & kFlagGradation) && !writeGradientColors(false)) return false;
  return true;
}

bool CEventMngr::writeStrokeState() {
  if (state != kEventRecording) return true;
  if (!stroke) return missingSource("stroke");
  SRecordedStroke s;
  stroke->recordedStroke(s);

  SPressureRecord pressure{};
  pressure.flags = static_cast<uint16_t>((s.pressureToSize ? 0x01 : 0) | (s.pressureToOpacity ? 0x02 : 0) |
                                         (s.edge ? 0x04 : 0));
  if (!Put(*this, kStPressure, pressure)) return false;

  SPenColorRecord color{};
  LowBytes(s.color, color.rgb);
  color.penType = s.penType;
  color.opacity = s.opacity;
  if (!Put(*this, kStPenColor, color)) return false;

  SPenSizeRecord size{};
  size.width = s.width;
  size.minimumSize = s.minimumSize;
  if (!Put(*this, kStPenSize, size)) return false;

  SPenDynamicsRecord dynamics{};
  dynamics.effect = s.effect;
  dynamics.env = s.env;
  dynamics.speed = s.speed;
  dynamics.gamma = s.gamma;
  dynamics.spacing = s.spacing;
  dynamics.mapSelector = s.mapSelector;
  return Put(*this, kStPenDynamics, dynamics);
}

bool CEventMngr::writePenState() {
  if (state != kEventRecording) return true;
  if (!pen_) return missingSource("pen renderer");
  if (!document_) return missingSource("document");
  if (!stroke) return missingSource("stroke");
  SRecordedPen p;
  pen_->recordedPen(p);

  SNibFalloffRecord falloff{};
  falloff.kind = p.falloffKind;
  falloff.value1 = p.falloffValue1;
  falloff.value2 = p.falloffValue2;
  if (!Put(*this, kStNibFalloff, falloff)) return false;

  SNibColorsRecord colors{};
  colors.color1 = p.color1;
  colors.color2 = p.color2;
  if (!Put(*this, kStNibColors, colors)) return false;

  SRecordedNib nib;
  SNibShapeRecord shape{};
  shape.nib0 = p.nibValues[0];
  shape.nib3 = p.nibValues[3];
  shape.nib1 = p.nibValues[1];
  shape.nib2 = p.nibValues[2];
  shape.imageNib = document_->imageNib(nib) ? 1 : 0;
  if (!Put(*this, kStNibShape, shape)) return false;

  SNibFlagsRecord nibFlags{};
  nibFlags.flags = p.nibFlags;
  if (!Put(*this, kStNibFlags, nibFlags)) return false;

  if (!writePenShape()) return false;

  SPenParamsARecord a{};
  a.byte3Set = p.penParams[3] != 0 ? 1 : 0;
  std::memcpy(a.params, p.penParams, 3);
  if (!Put(*this, kStPenParamsA, a)) return false;

  SPenParamsBRecord b{};
  for (int i = 0; i < 3; ++i) b.words[i] = LoadU32(p.penParams + 4 * (i + 1));
  if (!Put(*this, kStPenParamsB, b)) return false;

  SRecordedStroke s;
  stroke->recordedStroke(s);
  SPaintSwitchesRecord switches{};
  switches.flags = static_cast<uint16_t>((s.useGradation ? 0x01 : 0) | (s.useTone ? 0x02 : 0));
  if (!Put(*this, kStPaintSwitches, switches)) return false;

  // The stroke manager's integers, as their low 16 bits.
  const SRecordedStrokeParams& sp = p.strokeParams;
  SStrokeDynamicsRecord dyn{};
  dyn.flags = static_cast<uint16_t>((sp.pressureToSize ? 0x01 : 0) | (sp.pressureToOpacity ? 0x02 : 0));
  dyn.opacity1000 = static_cast<uint16_t>(sp.opacity1000);
  dyn.gamma100 = static_cast<uint16_t>(sp.gamma100);
  dyn.spacing1000 = static_cast<uint16_t>(sp.spacing1000);
  dyn.value5 = static_cast<uint16_t>(sp.sizeThreshold1);
  dyn.value6 = static_cast<uint16_t>(sp.sizeThreshold2);
  return Put(*this, kStStrokeDynamics, dyn);
}

bool CEventMngr::writeAllState() { return writeDocState() && writeStrokeState() && writePenState(); }

bool CEventMngr::writeGroup(RecordGroup group) {
  switch (group) {
    case RecordGroup::kNone: return true;
    case RecordGroup::kDocument: return writeDocState();
    case RecordGroup::kAll: return writeAllState();
  }
  return false;
}

bool CEventMngr::recordCommand(RecordGroup group, uint8_t cls, uint8_t code, const void* payload,
                               uint32_t payloadLen, const void* trailing, uint32_t trailingLen) {
  if (state != kEventRecording) return true;
  if (!writeGroup(group)) return false;
  if (!appendStep(cls, code, payload, payloadLen, trailing, trailingLen)) return false;
  afterCommand(cls, code);
  return true;
}

void CEventMngr::afterCommand(uint8_t cls, uint8_t code) {
  // Commands that change the layer or mask structure: the next step names the active layer
  // and mask again.
  bool structure = false;
  switch (cls) {
    case kPcLayer:
      structure = code <= 1 || (code >= 3 && code <= 5) || code == 10 || code == 11 || code == 18;
      break;
    case kPcMask:
      structure = code == 0 || code == 2 || code == 4 || code == 5 || code == 7 || code == 9 || code == 11 ||
                  code == 22 || code == 24;
      break;
    case kPcPaper: structure = code >= 24 && code <= 26; break;
    case kPcImage:
    case kPcChannel: structure = true; break;
    default: break;
  }
  if (structure) forgetActiveLayer();
}

}  // namespace tf
