// Player rows of the state, information, the new document, the markers and the strokes.
#include <array>
#include <cstring>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "paint/FalloffMap.h"
#include "paint/Gradient.h"
#include "paint/NibPreset.h"
#include "paint/NibShape.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "playback/PlayImage.h"
#include "playback/PlayRows.h"
#include "playback/Player.h"

namespace tf {
namespace {

uint32_t ColourOf(const uint8_t rgb[3]) {
  return uint32_t{rgb[0]} | (uint32_t{rgb[1]} << 8) | (uint32_t{rgb[2]} << 16);
}

// The whole payload as the fixed record of its state code.
template <typename T>
bool ReadRecord(const SPlayCall& call, T& record) {
  return call.payload.size() == sizeof record && call.payload.GetBytes(0, &record, sizeof record);
}

// Keeps the record as the played snapshot of its code (the recorder only stores while not
// recording) and sets its bit.
bool Keep(SPlayCall& call) {
  return call.events.writeStateRecord(call.frame.header.code, call.payload.data(), call.payload.size()) !=
         StateWrite::kFailed;
}

CPenRender* RendererOf(const SPlayCall& call) {
  return call.player != nullptr ? call.player->PenRender() : call.paper.GetPenRender();
}
CPenShapeObj* BaseShapeOf(const SPlayCall& call) {
  return call.player != nullptr ? call.player->BaseShape() : nullptr;
}
CPenShapeObj* ImageShapeOf(const SPlayCall& call) {
  return call.player != nullptr ? call.player->ImageShape() : nullptr;
}

// ---- class 0

bool PlayAppState(SPlayCall& call) {
  if (call.player == nullptr) return false;
  return call.player->readAppStat(call.frame);
}

bool PlayPaperColorState(SPlayCall& call) {
  SColorRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  call.paper.SetPaperColor(ColourOf(r.rgb), false);
  return true;
}

bool PlayBackground(SPlayCall& call) {
  SColorRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  call.stroke.SetBackColor(ColourOf(r.rgb));
  call.paper.SetBackgroundView((r.flags & kBackgroundCanvasHidden) == 0, (r.flags & kBackgroundPattern) != 0,
                               true);
  return true;
}

bool PlayGradPoints(SPlayCall& call) {
  SGradPointsRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  call.paper.SetGradientLineInt(TPoint{r.start.x.get(), r.start.y.get()}, TPoint{r.end.x.get(), r.end.y.get()});
  return true;
}

bool PlayGradOptions(SPlayCall& call) {
  SGradOptionsRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  CGradation& gradation = call.paper.Gradation();
  gradation.SetSlotGroup(&call.events.slotGroup);
  // Options the gradation refuses leave it as it was; the state packet itself is played.
  gradation.SetOptions(r.shape, r.repeat1, r.repeat2, r.repeatCount.get());
  return true;
}

bool PlayActiveLayer(SPlayCall& call) {
  SActiveLayerRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  TPaper& paper = call.paper;
  const int32_t layer = r.layer.get() == -1 ? paper.GetActiveLayerIndex() : r.layer.get();
  const int32_t mask = r.mask.get() == -1 ? paper.GetActiveMaskIndex() : r.mask.get();
  const bool first = call.player == nullptr || !call.player->activeLayerPlayed;
  if (first || layer != paper.GetActiveLayerIndex()) {
    if (paper.IsValidLayerIndex(layer)) paper.SetActiveLayer(call.flow, layer);
    call.afterStep |= kAfterLayerPane;
  }
  if (first || mask != paper.GetActiveMaskIndex()) {
    // Through the document's own setter, so the outline is retraced and the window refreshed.
    if (const CMaskMngr* masks = paper.MaskMngr(); masks != nullptr && masks->IsValidIndex(mask))
      paper.SetActiveMask(call.flow, paper.GetActiveLayerIndex(), false, mask);
    call.afterStep |= kAfterMaskPane;
  }
  if (call.player != nullptr) call.player->activeLayerPlayed = true;
  if (const CLayerData* active = paper.GetActiveLayer()) {
    const bool keep = active->alphaProtect != 0;
    if (call.stroke.GetKeepAlpha() != keep) {
      call.stroke.SetKeepAlpha(keep, false);
      call.afterStep |= kAfterLayerPane;
    }
  }
  call.stroke.SetLayerIndex(paper.GetActiveLayerIndex());
  return true;
}

bool PlayFlagWord(SPlayCall& call) {
  SFlagWordRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  const uint16_t flags = r.flags.get();
  // The selection switch through its own setter, not recording.
  call.paper.SetSelectionEnabled(call.flow, call.paper.GetActiveLayerIndex(), false,
                                 (flags & kFlagSelectionEnabled) != 0);
  call.stroke.SetUseTone((flags & kFlagTone) != 0, false);
  call.stroke.SetUseGradation((flags & kFlagGradation) != 0, false);
  if (PlaysFlagWordAlpha(call.appVersion)) {
    const bool keep = (flags & kFlagAlphaKeep) != 0;
    if (call.stroke.GetKeepAlpha() != keep) {
      call.stroke.SetKeepAlpha(keep, false);
      call.afterStep |= kAfterLayerPane;
    }
    if (CLayerData* active = call.paper.GetActiveLayer()) active->alphaProtect = keep ? 1 : 0;
  }
  return true;
}

bool PlayPressure(SPlayCall& call) {
  SPressureRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  const uint16_t flags = r.flags.get();
  call.stroke.SetIfSize((flags & 0x01) != 0);
  call.stroke.SetIfTransparency((flags & 0x02) != 0);
  call.stroke.SetIfEdge((flags & 0x04) != 0);
  return true;
}

bool PlayPenColor(SPlayCall& call) {
  SPenColorRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  call.stroke.SetColor(ColourOf(r.rgb));
  call.stroke.SetPenType(r.penType);
  call.stroke.SetOpacity(r.opacity.get());
  return true;
}

bool PlayPenSize(SPlayCall& call) {
  SPenSizeRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  call.stroke.SetWidth(r.width.get());
  call.stroke.SetMin(r.minimumSize.get());
  return true;
}

bool PlayPenDynamics(SPlayCall& call) {
  SPenDynamicsRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  call.stroke.SetEffect(r.effect.get());
  call.stroke.SetEnv(r.env.get());
  call.stroke.SetSpeed(r.speed.get());
  call.stroke.SetGamma(r.gamma.get());
  call.stroke.SetSpacing(r.spacing.get());
  SetAirMap(&call.stroke, r.mapSelector, true);
  return true;
}

// 32, 33, 50, 58: kept for the packets that follow (and compared only).
bool PlayKept(SPlayCall& call) { return Keep(call); }

bool PlayToneDefinition(SPlayCall& call) { return call.events.playToneDefinition(call.frame); }
bool PlayToneReference(SPlayCall& call) { return call.events.playToneReference(call.frame); }
bool PlayGradientColors(SPlayCall& call) { return call.events.playGradientColors(call.frame); }
bool PlayShapeDefinition(SPlayCall& call) { return call.events.playShapeDefinition(call.frame); }
bool PlayShapeReference(SPlayCall& call) { return call.events.playShapeReference(call.frame); }

// Falloff, nib shape and nib flag: the base shape, the image shape when there is one, and the
// renderer take the same part.
bool PlayNibPart(SPlayCall& call, const SGradeMap* map, const SNibShape* shape, const uint32_t* flag) {
  CPenRender* renderer = RendererOf(call);
  if (renderer == nullptr) {
    DebugOut("player: no pen renderer for a nib record\n");
    return false;
  }
  if (CPenShapeObj* base = BaseShapeOf(call)) base->SetParametric(map, shape, flag);
  if (CPenShapeObj* image = ImageShapeOf(call)) image->SetShapeParams(map, shape, flag);
  if (map != nullptr) renderer->SetGradeMap(*map);
  if (shape != nullptr) renderer->SetNibShape(*shape);
  if (flag != nullptr) renderer->SetNibFlag(*flag);
  return true;
}

bool PlayNibFalloff(SPlayCall& call) {
  SNibFalloffRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  SGradeMap map{};
  if (CPenRender* renderer = RendererOf(call)) renderer->GetGradeMap(map);  // keeps the bytes after the kind
  map.kind = static_cast<uint8_t>(r.kind.get());
  map.core = r.value1.get();
  map.floor = r.value2.get();
  return PlayNibPart(call, &map, nullptr, nullptr);
}

bool PlayNibShape(SPlayCall& call) {
  SNibShapeRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  SNibShape shape{};
  shape.size = r.nib0.get();
  shape.aspect = r.nib1.get();
  shape.angle = r.nib2.get();
  shape.minRatio = r.nib3.get();
  return PlayNibPart(call, nullptr, &shape, nullptr);
}

bool PlayNibFlags(SPlayCall& call) {
  SNibFlagsRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  const uint32_t flag = r.flags.get();
  return PlayNibPart(call, nullptr, nullptr, &flag);
}

bool PlayPenParamsA(SPlayCall& call) {
  SPenParamsARecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  CPenRender* renderer = RendererOf(call);
  if (renderer == nullptr) return false;
  // Bytes 0, 1, 2 are the render type, first and second option; the flag is the channel switch.
  renderer->SetPenHeader(r.params[0], r.params[2], r.byte3Set, r.params[1]);
  return true;
}

bool PlayPenParamsB(SPlayCall& call) {
  SPenParamsBRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  CPenRender* renderer = RendererOf(call);
  if (renderer == nullptr) return false;
  SPenParam values{};
  auto* bytes = reinterpret_cast<uint8_t*>(&values);
  for (int i = 0; i < 3; ++i) {
    const uint32_t word = r.words[i].get();
    std::memcpy(bytes + 4 * (i + 1), &word, 4);
  }
  renderer->SetPenValues(values, 7);
  return true;
}

bool PlayStrokeDynamics(SPlayCall& call) {
  SStrokeDynamicsRecord r{};
  if (!ReadRecord(call, r) || !Keep(call)) return false;
  if (CStrokeMngr* manager = call.paper.StrokeMngr()) {
    SStrokeParam p{};
    manager->GetStrokeParams(p);
    const uint16_t flags = r.flags.get();
    p.ifSize = (flags & 0x01) ? 1 : 0;
    p.ifTransparency = (flags & 0x02) ? 1 : 0;
    p.opacity = r.opacity1000.get();
    p.gamma = r.gamma100.get();
    p.spacing = r.spacing1000.get();
    p.sizeThreshold1 = r.value5.get();
    p.sizeThreshold2 = r.value6.get();
    manager->SetStrokeParams(p);
  }
  return true;
}

bool PlayTexture(SPlayCall& call) {
  SPlayedImage image;
  if (!ReadImagePacket(call.payload, image)) return false;
  if (call.frame.header.code == kStFloorTexture)
    call.events.floorTexture = std::move(image.image);
  else
    call.events.wallTexture = std::move(image.image);
  return true;
}

bool PlayColorRange(SPlayCall& call) {
  int32_t n = 0;
  SColorRangeHeader header{};
  if (!call.payload.Get(0, n) || !call.payload.GetBytes(4, &header, sizeof header)) return false;
  const int64_t count = header.count.get();
  if (count < 0 || n != 20 + 8 * count || int64_t{n} + 4 != call.payload.size()) return false;
  call.events.colorRange.assign(call.payload.data() + 4, call.payload.data() + call.payload.size());
  return true;
}

// ---- class 1

bool PlayInformation(SPlayCall& call) {
  int32_t n = 0;
  if (!call.payload.Get(0, n) || n < 0 || int64_t{n} + 4 != call.payload.size()) return false;
  if (call.frame.header.code == kInfoStartTime && n == static_cast<int32_t>(sizeof(SSystemTime)))
    call.payload.GetBytes(4, &call.events.startTime, sizeof(SSystemTime));
  return true;
}

// ---- class 2

bool NewDocumentSizesAllowed(int32_t width, int32_t height, int32_t layerWidth, int32_t layerHeight) {
  return width >= 1 && height >= 1 && width <= kMaxPlayedCanvasSide && height <= kMaxPlayedCanvasSide &&
         PlayedImageSizeAllowed(layerWidth, layerHeight);
}

bool PlayNewDocumentOld(SPlayCall& call) {
  SNewDocumentOldPacket p{};
  if (!ReadRecord(call, p)) return false;
  const int32_t w = p.canvasWidth.get(), h = p.canvasHeight.get();
  const int32_t lw = p.layerWidth.get(), lh = p.layerHeight.get();
  if (!NewDocumentSizesAllowed(w, h, lw, lh)) return false;
  return call.paper.InitDocument("", call.flow, true, false, 0, lh, lw, h, w);
}

bool PlayNewDocument(SPlayCall& call) {
  SNewDocumentPacket p{};
  if (!ReadRecord(call, p)) return false;
  const int32_t w = p.canvasWidth.get(), h = p.canvasHeight.get();
  const int32_t lw = p.layerWidth.get(), lh = p.layerHeight.get();
  if (!NewDocumentSizesAllowed(w, h, lw, lh)) return false;
  return call.paper.InitDocument("", call.flow, p.opaqueLayer == 0, p.showCanvasColor == 0, p.documentValue.get(),
                                 lh, lw, h, w);
}

bool PlayPaperColor(SPlayCall& call) {
  SPaperColorPacket p{};
  if (!ReadRecord(call, p)) return false;
  return call.paper.SetPaperColor(static_cast<uint32_t>(p.color.get()), false);
}

bool PlayStartMarker(SPlayCall& call) {
  call.events.clearDictionaries();
  return true;
}

bool PlayEndMarker(SPlayCall& call) {
  call.events.runFlags |= kRunEndMarkerPlayed;
  return true;
}

// ---- strokes

bool PlayStrokeStart(SPlayCall& call) {
  SStrokeStartPacket p{};
  if (call.player == nullptr || !ReadRecord(call, p)) return false;
  const uint8_t cls = call.frame.header.cls;
  // The recorded stroke layer, taken as the recording took it: the active layer when it is not
  // a layer of the document.
  call.player->openStroke(StrokeEngineOfClass(cls), p.layer.get(), IsInterpolationZeroClass(cls));
  return true;
}

bool PlayPoints(SPlayCall& call) {
  CPlayer* player = call.player;
  const uint8_t k = call.frame.header.code;
  // The player's point buffer holds one packet of at most 16 points.
  if (player == nullptr || k > kMaxPointsPerPacket || call.payload.size() != 12u * k) return false;
  CEventMngr& m = call.events;
  for (uint32_t i = 0; i < k; ++i) {
    CEventMngr::SBufferedPoint& point = m.pointBuffer[i];
    if (!call.payload.Get(12 * i, point.x) || !call.payload.Get(12 * i + 4, point.y) ||
        !call.payload.Get(12 * i + 8, point.pressure))
      return false;
  }
  m.pointCount = k;
  m.pointsDrawn = 0;
  const bool last = call.frame.header.cls == kPcPointsLast;
  if (last) m.strokeFlags |= kStrokeLastPacketRead;
  const bool pointByPoint = (m.strokeFlags & kStrokePointByPoint) != 0;
  if (player->drawPoints(0, pointByPoint ? 1 : k) < 0) return false;
  if (last && m.pointsDrawn >= m.pointCount) return player->finishStroke();
  return true;
}

// ---- the rows

constexpr SPlayRow kStateRows[] = {
    {kPcState, kStAppState, PlayAppState, 0, "readAppStat"},
    {kPcState, kStPaperColor, PlayPaperColorState, 0, "SetPaperColor (state)"},
    {kPcState, kStBackground, PlayBackground, 0, "SetBackgroundView"},
    {kPcState, kStGradPoints, PlayGradPoints, 0, "gradient end points"},
    {kPcState, kStGradOptions, PlayGradOptions, 0, "gradient options"},
    {kPcState, kStActiveLayer, PlayActiveLayer, 0, "active layer and mask"},
    {kPcState, kStFlagWord, PlayFlagWord, 0, "flag word"},
    {kPcState, kStPressure, PlayPressure, 0, "pressure switches"},
    {kPcState, kStPenColor, PlayPenColor, 0, "pen colour and kind"},
    {kPcState, kStPenSize, PlayPenSize, 0, "pen size"},
    {kPcState, kStPenDynamics, PlayPenDynamics, 0, "pen dynamics"},
    {kPcState, kStFont, PlayKept, 0, "text-tool font"},
    {kPcState, kStText, PlayKept, 0, "text"},
    {kPcState, kStToneDefinition, PlayToneDefinition, 0, "playToneDefinition"},
    {kPcState, kStToneReference, PlayToneReference, 0, "playToneReference"},
    {kPcState, kStGradColors, PlayGradientColors, 0, "playGradientColors"},
    {kPcState, kStShapeDefinition, PlayShapeDefinition, 0, "playShapeDefinition"},
    {kPcState, kStShapeReference, PlayShapeReference, 0, "playShapeReference"},
    {kPcState, kStNibFalloff, PlayNibFalloff, kAfterNib, "nib falloff"},
    {kPcState, kStNibColors, PlayKept, 0, "nib colours"},
    {kPcState, kStNibShape, PlayNibShape, kAfterNib, "nib shape"},
    {kPcState, kStNibFlags, PlayNibFlags, kAfterNib, "nib flag word"},
    {kPcState, kStPenParamsA, PlayPenParamsA, kAfterPenParams, "pen parameters A"},
    {kPcState, kStPenParamsB, PlayPenParamsB, kAfterPenParams, "pen parameters B"},
    {kPcState, kStPaintSwitches, PlayKept, kAfterPenParams, "paint switches"},
    {kPcState, kStStrokeDynamics, PlayStrokeDynamics, kAfterPenParams, "SetStrokeParams"},
    {kPcState, kStFloorTexture, PlayTexture, 0, "floor texture"},
    {kPcState, kStWallTexture, PlayTexture, 0, "wall texture"},
    {kPcState, kStColorRange, PlayColorRange, 0, "colour-range record"},
    {kPcPaper, kPaperNewDocumentOld, PlayNewDocumentOld, 0, "InitDocument (older form)"},
    {kPcPaper, 1, PlayPaperColor, 0, "SetPaperColor"},
    {kPcPaper, kPaperNewDocument, PlayNewDocument, 0, "InitDocument"},
    {kPcPaper, kPaperStartMarker, PlayStartMarker, 0, "start marker"},
    {kPcPaper, kPaperEndMarker, PlayEndMarker, 0, "end marker"},
    {kPcStrokeStart0, 0, PlayStrokeStart, 0, "stroke start (engine 0)"},
    {kPcStrokeStart0i, 0, PlayStrokeStart, 0, "stroke start (engine 0)"},
    {kPcStrokeStart1, 0, PlayStrokeStart, 0, "stroke start (engine 1)"},
    {kPcStrokeStart1i, 0, PlayStrokeStart, 0, "stroke start (engine 1)"},
    {kPcStrokeStart2, 0, PlayStrokeStart, 0, "stroke start (engine 2)"},
    {kPcStrokeStart2i, 0, PlayStrokeStart, 0, "stroke start (engine 2)"},
    {kPcStrokeStart4, 0, PlayStrokeStart, 0, "stroke start (engine 4)"},
    {kPcStrokeStart4i, 0, PlayStrokeStart, 0, "stroke start (engine 4)"},
};

constexpr size_t kFixedRows = std::size(kStateRows);

// Information packets of every code, and points packets of every count (a count above 16 fails
// in the routine with the packet).
constexpr std::array<SPlayRow, kFixedRows + 3 * 256> MakeRows() {
  std::array<SPlayRow, kFixedRows + 3 * 256> rows{};
  size_t at = 0;
  for (const SPlayRow& row : kStateRows) rows[at++] = row;
  for (int code = 0; code < 256; ++code)
    rows[at++] = SPlayRow{kPcInfo, static_cast<uint8_t>(code), PlayInformation, 0, "information"};
  for (int code = 0; code < 256; ++code)
    rows[at++] = SPlayRow{kPcPointsMore, static_cast<uint8_t>(code), PlayPoints, 0, "points"};
  for (int code = 0; code < 256; ++code)
    rows[at++] = SPlayRow{kPcPointsLast, static_cast<uint8_t>(code), PlayPoints, 0, "points (last)"};
  return rows;
}

constexpr std::array<SPlayRow, kFixedRows + 3 * 256> kCoreRows = MakeRows();

}  // namespace

std::span<const SPlayRow> CorePlayRows() { return kCoreRows; }

}  // namespace tf
