// Player rows of the layer clears and fills and the fills and selections through a channel.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "paint/Gradient.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/BlockPack.h"
#include "events/EventPacket.h"
#include "playback/PlayRows.h"

namespace tf {

namespace {

// ---------------------------------------------------------------------------------------------
// Class 4: clear, alpha

bool ReadLayerValue(const SPlayCall& call, int16_t& layer, int16_t& value) {
  return call.payload.Get(0, layer) && call.payload.Get(2, value);
}

bool PlayClearLayer(SPlayCall& call) {
  int16_t layer = 0, value = 0;
  return ReadLayerValue(call, layer, value) && call.paper.ClearLayer(call.flow, layer, false);
}

bool PlayFillLayerAlpha(SPlayCall& call) {
  int16_t layer = 0, alpha = 0;
  if (!ReadLayerValue(call, layer, alpha) || alpha < 0 || alpha > 255) return false;
  return call.paper.FillLayerAlpha(call.flow, layer, false, static_cast<uint8_t>(alpha));
}

bool PlayInvertLayerAlpha(SPlayCall& call) {
  int16_t layer = 0, value = 0;
  return ReadLayerValue(call, layer, value) && call.paper.InvertLayerAlpha(call.flow, layer, false);
}

// ---------------------------------------------------------------------------------------------
// Class 6: fills

struct SFillFields {
  int16_t layer = 0;
  int32_t value = 0;
  TPoint first{};
  SPointF second{};
};

// The 22-byte fill payload; the layer is loaded into the working copy first.
bool ReadFill(SPlayCall& call, SFillFields& f) {
  if (!call.payload.Get(0, f.layer) || !call.payload.Get(2, f.value) || !call.payload.Get(6, f.first.x) ||
      !call.payload.Get(10, f.first.y) || !call.payload.Get(14, f.second.x) || !call.payload.Get(18, f.second.y))
    return false;
  if (!call.paper.IsValidLayerIndex(f.layer)) return false;
  call.paper.SyncFlowImage(call.flow, f.layer, false);
  return true;
}

bool PlayFillLayer(SPlayCall& call) {
  SFillFields f;
  return ReadFill(call, f) &&
         call.paper.FillLayer(call.flow, f.layer, false, false, static_cast<uint32_t>(f.value));
}

bool PlayFillRect(SPlayCall& call) {
  SFillFields f;
  return ReadFill(call, f) && call.paper.FillRect(call.flow, f.layer, false, false, f.first, f.second);
}

// Recordings below 282, and those of 298 and 299, fill with a two-colour gradient of the
// stroke's second colour and its colour instead of the played gradient colours.
bool UsesStrokeGradient(int32_t appVersion) { return appVersion < 282 || appVersion == 298 || appVersion == 299; }

bool PlayGradientFill(SPlayCall& call) {
  SFillFields f;
  if (!ReadFill(call, f)) return false;
  if (!UsesStrokeGradient(call.appVersion))
    return call.paper.GradientFillLayer(call.flow, f.layer, false, false, f.first, f.second);
  const TStroke* stroke = call.paper.GetCurrentStroke();
  if (stroke == nullptr) stroke = &call.stroke;
  CColorSlotGroup stops(4);
  if (!stops.SetStop(0, stroke->GetBackColor() & 0x00FFFFFFu, 65536, 255) ||
      !stops.SetStop(1, stroke->GetColor() & 0x00FFFFFFu, 65536, 255))
    return false;
  CGradation& gradation = call.paper.Gradation();
  const CColorSlotGroup* played = gradation.SlotGroup();
  gradation.SetSlotGroup(&stops);
  bool done = false;
  try {
    done = call.paper.GradientFillLayer(call.flow, f.layer, false, false, f.first, f.second);
  } catch (...) {
    gradation.SetSlotGroup(played);
    throw;
  }
  gradation.SetSlotGroup(played);
  return done;
}

bool PlayFillEllipseOld(SPlayCall& call) {
  SFillFields f;
  // Recordings above 305 drew this packet with the newer ellipse.
  return ReadFill(call, f) &&
         call.paper.FillEllipse(call.flow, f.layer, false, f.first, f.second, call.appVersion > kOlderEllipseAppVersion);
}

bool PlayFillEllipse(SPlayCall& call) {
  SFillFields f;
  return ReadFill(call, f) && call.paper.FillEllipse(call.flow, f.layer, false, f.first, f.second, true);
}

bool PlayFillPolygon(SPlayCall& call) {
  int16_t layer = 0;
  uint16_t count = 0;
  if (!call.payload.Get(0, layer) || !call.payload.Get(2, count)) return false;
  // The count must not claim more points than the packet carries.
  if (!call.payload.Holds(4, uint64_t{8} * count) || count < 3) return false;
  std::vector<TPoint> points(count);
  for (uint32_t i = 0; i < count; ++i)
    if (!call.payload.Get(4 + 8 * i, points[i].x) || !call.payload.Get(8 + 8 * i, points[i].y)) return false;
  if (!call.paper.IsValidLayerIndex(layer)) return false;
  call.paper.SyncFlowImage(call.flow, layer, false);
  return call.paper.FillPolygon(call.flow, layer, false, count, points.data());
}

bool PlayClearSelection(SPlayCall& call) {
  SFillFields f;
  return ReadFill(call, f) &&
         call.paper.ClearSelection(call.flow, f.layer, static_cast<uint32_t>(f.value), false);
}

// ---------------------------------------------------------------------------------------------
// Class 13: fills and selections through a channel

struct SChannelFields {
  int16_t layer = 0;
  int16_t value = 0;
  TPoint seed{};
  TPoint areaSize{};
  TPoint areaOffset{};
  uint8_t kind = 0;
  uint8_t antiAlias = 0;
  uint8_t target = 0;
  uint8_t mode = 0;
  int16_t tolerance = 0;
  TRect rect{};
  int32_t n = 0;
  int32_t byteCount = 0;
  int32_t packedLength = 0;
  uint32_t dataOffset = 0;
};

bool IsExCode(uint8_t code) { return code == 2 || code == 3 || code == 5; }

uint8_t ExpectedKind(uint8_t code) {
  switch (code) {
    case 0:
    case 4: return 0;
    case 1: return 1;
    case 2:
    case 5: return 4;
    default: return 5;
  }
}

bool ReadChannelHeader(const SPlayCall& call, SChannelFields& c) {
  const CPlayPayload& p = call.payload;
  const uint8_t code = call.frame.header.code;
  const bool ex = IsExCode(code);
  bool ok = p.Get(0, c.layer) && p.Get(2, c.value);
  uint32_t settings = 0;
  uint32_t rect = 0;
  if (ex) {
    ok = ok && p.Get(4, c.areaSize.x) && p.Get(8, c.areaSize.y) && p.Get(12, c.areaOffset.x) &&
         p.Get(16, c.areaOffset.y) && p.Get(20, c.seed.x) && p.Get(24, c.seed.y) && p.Get(36, c.kind);
    settings = 37;
    rect = 44;
  } else {
    ok = ok && p.Get(12, c.seed.x) && p.Get(16, c.seed.y) && p.Get(20, c.kind);
    settings = 21;
    rect = 26;
  }
  ok = ok && p.Get(settings, c.antiAlias) && p.Get(settings + 1, c.target) && p.Get(settings + 2, c.mode) &&
       p.Get(settings + 3, c.tolerance) && p.Get(rect, c.rect.left) && p.Get(rect + 4, c.rect.top) &&
       p.Get(rect + 8, c.rect.right) && p.Get(rect + 12, c.rect.bottom) && p.Get(rect + 16, c.n) &&
       p.Get(rect + 20, c.byteCount) && p.Get(rect + 24, c.packedLength);
  if (!ok || c.kind != ExpectedKind(code)) return false;
  c.dataOffset = rect + 28;
  // The rectangle's area is the byte count; the packed bytes lie inside the payload.
  const int64_t w = int64_t{c.rect.right} - c.rect.left;
  const int64_t h = int64_t{c.rect.bottom} - c.rect.top;
  if (c.rect.left < 0 || c.rect.top < 0 || w <= 0 || h <= 0 || w * h != c.byteCount) return false;
  if (c.packedLength <= 0 || c.n < c.packedLength || !p.Holds(c.dataOffset, static_cast<uint32_t>(c.n)))
    return false;
  if (ex && (c.areaSize.x <= 0 || c.areaSize.y <= 0 || c.rect.left >= c.areaSize.x || c.rect.top >= c.areaSize.y))
    return false;
  return true;
}

bool PlayChannel(SPlayCall& call) {
  SChannelFields c;
  if (call.flow == nullptr || !ReadChannelHeader(call, c)) return false;
  const uint8_t code = call.frame.header.code;
  TPaper& paper = call.paper;
  const CLayerData* layer = paper.GetLayer(c.layer);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  // The channel counts inside the layer's store, or (the forms with an area) inside the area.
  // Recordings made before the channel was cut to the area may carry the one-pixel fringe of an
  // anti-aliased fill beyond it, which the recording combined or painted nowhere: it is left out.
  const TPoint limit = IsExCode(code) ? c.areaSize : TPoint{layer->StoreWidth(), layer->StoreHeight()};
  if (c.rect.left >= limit.x || c.rect.top >= limit.y) return false;
  std::vector<uint8_t> block;
  try {
    block.resize(static_cast<size_t>(c.byteCount));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!BlockUnpack(call.payload.data() + c.dataOffset, static_cast<size_t>(c.packedLength), block.data(),
                   block.size()))
    return false;
  if (IsExCode(code) && !call.flow->GrowTo(c.areaSize.x, c.areaSize.y)) return false;
  paper.SyncFlowImage(call.flow, c.layer, false);
  TChannel& channel = call.flow->WorkChannel();
  const int32_t right = std::min(c.rect.right, limit.x);
  const int32_t bottom = std::min(c.rect.bottom, limit.y);
  if (right > channel.Width() || bottom > channel.Height()) return false;
  channel.Fill(0);
  BindStrokeToPaper(call.stroke, &paper.StrokeSide());
  const int32_t w = c.rect.right - c.rect.left;
  for (int32_t y = c.rect.top; y < bottom; ++y)
    std::memcpy(channel.GetPixelPtr(c.rect.left, y),
                block.data() + static_cast<size_t>(y - c.rect.top) * static_cast<size_t>(w),
                static_cast<size_t>(right - c.rect.left));
  const bool antiAlias = c.antiAlias != 0;
  bool done = false;
  switch (code) {
    case 0:
    case 4: done = paper.PaintFillChannel(call.flow, c.layer, false, code == 4, antiAlias, c.seed); break;
    case 2:
    case 5:
      done = paper.PaintFillChannelGrow(call.flow, c.layer, false, code == 5, antiAlias, c.areaSize, c.areaOffset,
                                        c.seed);
      break;
    case 1: done = paper.CombineWandChannelAtLayer(call.flow, c.layer, false, antiAlias, c.mode, c.seed); break;
    case 3:
      done = paper.CombineWandChannel(call.flow, c.layer, false, antiAlias, c.mode, c.areaSize, c.areaOffset,
                                      c.seed);
      break;
    default: break;
  }
  // The selections leave the channel behind them; the working copy goes back to the layer.
  if (code == 1 || code == 3) paper.SyncFlowImage(call.flow, c.layer, true);
  return done;
}

constexpr SPlayRow kFillRows[] = {
    {kPcLayer, 2, &PlayClearLayer, 0x01, "TPaper::ClearLayer"},
    {kPcLayer, 24, &PlayFillLayerAlpha, 0x01, "TPaper::FillLayerAlpha"},
    {kPcLayer, 25, &PlayInvertLayerAlpha, 0x01, "TPaper::InvertLayerAlpha"},
    {kPcFill, 0, &PlayFillLayer, 0x03, "TPaper::FillLayer"},
    {kPcFill, 1, &PlayFillRect, 0x03, "TPaper::FillRect"},
    {kPcFill, 2, &PlayGradientFill, 0x03, "TPaper::GradientFillLayer"},
    {kPcFill, 3, &PlayFillEllipseOld, 0x03, "TPaper::FillEllipse (older form)"},
    {kPcFill, 4, &PlayFillPolygon, 0x03, "TPaper::FillPolygon"},
    {kPcFill, 5, &PlayClearSelection, 0x03, "TPaper::ClearSelection"},
    {kPcFill, 6, &PlayFillEllipse, 0x03, "TPaper::FillEllipse"},
    {kPcChannel, 0, &PlayChannel, 0x03, "TPaper::PaintFillChannel"},
    {kPcChannel, 1, &PlayChannel, 0x00, "TPaper::CombineWandChannelAtLayer"},
    {kPcChannel, 2, &PlayChannel, 0x03, "TPaper::PaintFillChannelGrow"},
    {kPcChannel, 3, &PlayChannel, 0x00, "TPaper::CombineWandChannel"},
    {kPcChannel, 4, &PlayChannel, 0x03, "TPaper::PaintFillChannel (eraser)"},
    {kPcChannel, 5, &PlayChannel, 0x03, "TPaper::PaintFillChannelGrow (eraser)"},
};

}  // namespace

std::span<const SPlayRow> FillPlayRows() { return kFillRows; }

}  // namespace tf
