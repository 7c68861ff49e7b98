// Player rows of the canvas transforms and the layer and folder moves.
#include <cstdint>

#include "paper/CanvasLayers.h"
#include "paper/Paper.h"
#include "playback/PlayRows.h"

namespace tf {
namespace {

bool CanvasSizeInRange(int32_t width, int32_t height) {
  return CanvasSideValid(width) && CanvasSideValid(height);
}

// A rectangle of four int32 at offset: left, top, width, height.
bool GetRect(const CPlayPayload& p, uint32_t offset, SRectWH& rect) {
  return p.Get(offset, rect.left) && p.Get(offset + 4, rect.top) && p.Get(offset + 8, rect.width) &&
         p.Get(offset + 12, rect.height);
}

bool GetPoint(const CPlayPayload& p, uint32_t offset, TPoint& point) {
  return p.Get(offset, point.x) && p.Get(offset + 4, point.y);
}

// ---- Class 2 ----------------------------------------------------------------------------------

bool PlayResizeCanvas(SPlayCall& call) {
  const CPlayPayload& p = call.payload;
  uint8_t anchor = 0, keep = 0;
  int32_t width = 0, height = 0;
  if (!p.Get(0, anchor) || !p.Get(1, keep) || !p.Get(2, width) || !p.Get(6, height)) return false;
  if (!CanvasSizeInRange(width, height)) return false;
  return call.paper.ResizeCanvas(call.flow, width, false, keep != 0, anchor, height);
}

bool PlayResolution(SPlayCall& call, bool sampled) {
  const CPlayPayload& p = call.payload;
  uint16_t keep = 0;
  int32_t width = 0, height = 0;
  if (!p.Get(0, keep) || !p.Get(2, width) || !p.Get(6, height)) return false;
  if (!CanvasSizeInRange(width, height)) return false;
  return sampled ? call.paper.ChangeResolutionSampled(call.flow, width, false, keep != 0, height)
                 : call.paper.ChangeResolution(call.flow, width, false, keep != 0, height);
}
bool PlayResolutionSampled(SPlayCall& call) { return PlayResolution(call, true); }
bool PlayResolutionAveraged(SPlayCall& call) { return PlayResolution(call, false); }

bool PlayRotateClockwise(SPlayCall& call) { return call.paper.RotateCanvas90(call.flow, true, false); }
bool PlayRotateCounterClockwise(SPlayCall& call) { return call.paper.RotateCanvas90(call.flow, false, false); }

bool PlayTrim(SPlayCall& call, uint32_t rectOffset, bool withMode) {
  const CPlayPayload& p = call.payload;
  int16_t layer = 0, mode = 0;
  SRectWH rect{};
  if (!p.Get(0, layer) || (withMode && !p.Get(2, mode)) || !GetRect(p, rectOffset, rect)) return false;
  if (!CanvasSizeInRange(rect.width, rect.height)) return false;
  return call.paper.TrimCanvas(call.flow, layer, mode != 0, false, rect);
}
bool PlayTrimOld(SPlayCall& call) { return PlayTrim(call, 2, false); }
bool PlayTrimCanvas(SPlayCall& call) { return PlayTrim(call, 4, true); }

// ---- Class 4 ----------------------------------------------------------------------------------

bool PlayOffsetLayer(SPlayCall& call) {
  const CPlayPayload& p = call.payload;
  int16_t layer = 0;
  int32_t dx = 0, dy = 0;
  if (!p.Get(0, layer) || !p.Get(4, dx) || !p.Get(8, dy)) return false;
  if (!call.paper.IsValidLayerIndex(layer)) return false;
  return call.paper.OffsetLayer(call.flow, layer, false, dy, dx);
}

bool PlayOffsetLayerEx(SPlayCall& call) {
  const CPlayPayload& p = call.payload;
  int16_t layer = 0;
  uint8_t bits = 0, flag = 0;
  int32_t dy = 0, dx = 0;
  // The grown form carries the offsets in the order dy, dx.
  if (!p.Get(0, layer) || !p.Get(2, bits) || !p.Get(3, flag) || !p.Get(4, dy) || !p.Get(8, dx)) return false;
  if (!call.paper.IsValidLayerIndex(layer)) return false;
  return call.paper.OffsetLayerEx(call.flow, layer, false, bits, flag, dy, dx);
}

bool PlayOffsetLayerInMask(SPlayCall& call) {
  const CPlayPayload& p = call.payload;
  int16_t layer = 0, mask = 0;
  TPoint d{};
  if (!p.Get(0, layer) || !p.Get(2, mask) || !GetPoint(p, 4, d)) return false;
  if (!call.paper.IsValidLayerIndex(layer)) return false;
  return call.paper.OffsetLayerInMask(call.flow, layer, false, d, mask);
}

bool PlayOffsetLayerInMaskEx(SPlayCall& call) {
  const CPlayPayload& p = call.payload;
  int16_t layer = 0, mask = 0, bits = 0;
  TPoint d{};
  if (!p.Get(0, layer) || !p.Get(2, mask) || !GetPoint(p, 4, d) || !p.Get(12, bits)) return false;
  if (!call.paper.IsValidLayerIndex(layer)) return false;
  return call.paper.OffsetLayerInMaskEx(call.flow, layer, false, d, mask, bits);
}

// ---- Class 5 ----------------------------------------------------------------------------------

bool PlayOffsetGroup(SPlayCall& call, bool withMask) {
  const CPlayPayload& p = call.payload;
  int16_t layer = 0;
  TPoint d{};
  int32_t count = 0, mask = 0;
  if (!p.Get(0, layer) || !GetPoint(p, 4, d) || !p.Get(12, count) || !p.Get(16, mask)) return false;
  // The count names layers present from the block's first layer.
  if (!call.paper.IsValidLayerIndex(layer) || count < 1 || count > call.paper.GetLayerCount() - layer)
    return false;
  return withMask ? call.paper.OffsetGroupInMask(call.flow, layer, false, d, count, mask)
                  : call.paper.OffsetGroup(call.flow, layer, false, d, count);
}
bool PlayOffsetGroupOnly(SPlayCall& call) { return PlayOffsetGroup(call, false); }
bool PlayOffsetGroupInMask(SPlayCall& call) { return PlayOffsetGroup(call, true); }

constexpr SPlayRow kRows[] = {
    {2, 2, PlayResizeCanvas, 0x87, "ResizeCanvas"},
    {2, 3, PlayResolutionSampled, 0x87, "ChangeResolutionSampled"},
    {2, 4, PlayRotateClockwise, 0x87, "RotateCanvas90"},
    {2, 5, PlayRotateCounterClockwise, 0x87, "RotateCanvas90"},
    {2, 6, PlayTrimOld, 0x87, "TrimCanvas"},
    {2, 9, PlayResolutionAveraged, 0x87, "ChangeResolution"},
    {2, 11, PlayTrimCanvas, 0x87, "TrimCanvas"},
    {4, 6, PlayOffsetLayer, 0x01, "OffsetLayer"},
    {4, 7, PlayOffsetLayerEx, 0x01, "OffsetLayerEx"},
    {4, 12, PlayOffsetLayerInMask, 0x01, "OffsetLayerInMask"},
    {4, 13, PlayOffsetLayerInMaskEx, 0x01, "OffsetLayerInMaskEx"},
    {5, 9, PlayOffsetGroupOnly, 0x03, "OffsetGroup"},
    {5, 10, PlayOffsetGroupInMask, 0x03, "OffsetGroupInMask"},
};

}  // namespace

std::span<const SPlayRow> CanvasPlayRows() { return kRows; }

}  // namespace tf
