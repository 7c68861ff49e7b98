// Player rows of the mask and selection commands.
#include <cstdint>
#include <string>
#include <vector>

#include "paper/Paper.h"
#include "events/EventPacket.h"
#include "playback/PlayRows.h"

namespace tf {

namespace {

// The two int16 fields every mask packet begins with: the layer and the mask index (or value).
struct SMaskHead {
  int16_t layer = 0;
  int16_t mask = 0;
};

bool ReadHead(const CPlayPayload& payload, SMaskHead& head) {
  return payload.Get(0, head.layer) && payload.Get(2, head.mask);
}

// The 12-byte packets: the head and two int32 values.
bool ReadHeadValues(const CPlayPayload& payload, SMaskHead& head, int32_t& a, int32_t& b) {
  return ReadHead(payload, head) && payload.Get(4, a) && payload.Get(8, b);
}

// The shape packets: the head, the combine mode byte, a zero byte and the points from offset 8.
bool ReadShapePoints(const CPlayPayload& payload, uint32_t offset, int32_t count, std::vector<TPoint>& points) {
  if (!payload.Holds(offset, uint64_t{8} * static_cast<uint64_t>(count))) return false;
  points.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t at = offset + 8 * static_cast<uint32_t>(i);
    if (!payload.Get(at, points[static_cast<size_t>(i)].x) ||
        !payload.Get(at + 4, points[static_cast<size_t>(i)].y))
      return false;
  }
  return true;
}

// ---- 4-byte packets (layer, mask) ----

bool PlayNewMask(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.NewMask(c.flow, h.layer, false, h.mask);
}

bool PlayCancelSelection(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.CancelSelection(c.flow, h.layer, false);
}

// The command makes the mask active before it removes it, as it did when it recorded.
bool PlayDeleteMask(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.DeleteMask(c.flow, h.layer, false, h.mask);
}

bool PlayInvertSelection(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.InvertSelection(c.flow, h.layer, false);
}

bool PlayDuplicateMask(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.DuplicateMask(c.flow, h.layer, false, h.mask);
}

bool PlaySetActiveMask(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.SetActiveMask(c.flow, h.layer, false, h.mask);
}

bool PlayTrimOutMask(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.TrimOutMask(c.flow, h.layer, false, h.mask);
}

bool PlaySelectionToNewLayer(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.SelectionToNewLayer(c.flow, h.layer, false, false, 0, h.mask);
}

bool PlaySelectAll(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.SelectAll(c.flow, h.layer, false);
}

bool PlaySelectionToLayerAlpha(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.SelectionToLayerAlpha(c.flow, h.layer, false, h.mask);
}

// ---- 12-byte packets (layer, mask or value, two int32) ----

bool PlayMoveMask(SPlayCall& c) {
  SMaskHead h;
  int32_t to = 0, unused = 0;
  return ReadHeadValues(c.payload, h, to, unused) && c.paper.MoveMask(c.flow, h.layer, false, h.mask, to);
}

bool PlayOffsetMask(SPlayCall& c) {
  SMaskHead h;
  int32_t dx = 0, dy = 0;
  return ReadHeadValues(c.payload, h, dx, dy) && c.paper.OffsetMask(c.flow, h.layer, false, dx, dy);
}

bool PlayCombineMasks(SPlayCall& c) {
  SMaskHead h;
  int32_t target = 0, mode = 0;
  return ReadHeadValues(c.payload, h, target, mode) &&
         c.paper.CombineMasks(c.flow, h.layer, false, mode, h.mask, target);
}

// First value 0: the form that keeps the store; second value: grow (else shrink).
bool PlayGrowOnePixel(SPlayCall& c) {
  SMaskHead h;
  int32_t growsStore = 0, grow = 0;
  if (!ReadHeadValues(c.payload, h, growsStore, grow)) return false;
  if (growsStore == 0) return c.paper.GrowSelectionOnePixelInStore(c.flow, h.layer, false, grow != 0, h.mask);
  return c.paper.GrowSelectionOnePixel(c.flow, h.layer, false, grow != 0, h.mask);
}

// The switches answer the byte in force; the step succeeds once the packet is read.
bool PlaySelectionVisible(SPlayCall& c) {
  SMaskHead h;
  int32_t before = 0, after = 0;
  if (!ReadHeadValues(c.payload, h, before, after)) return false;
  c.paper.SetSelectionVisible(c.flow, h.layer, false, (after & 0xFFFF) != 0);
  return true;
}

bool PlaySelectionEnabled(SPlayCall& c) {
  SMaskHead h;
  int32_t before = 0, after = 0;
  if (!ReadHeadValues(c.payload, h, before, after)) return false;
  c.paper.SetSelectionEnabled(c.flow, h.layer, false, (static_cast<uint32_t>(after) >> 16) != 0);
  return true;
}

bool PlayNewMaskFromLayer(SPlayCall& c) {
  SMaskHead h;
  int32_t kind = 0, unused = 0;
  return ReadHeadValues(c.payload, h, kind, unused) &&
         c.paper.NewMaskFromLayer(c.flow, h.layer, false, 0, kind, h.mask);
}

// Low half the kind, high half the keep-source switch.
bool PlaySelectionToNewLayerEx(SPlayCall& c) {
  SMaskHead h;
  int32_t value = 0, unused = 0;
  if (!ReadHeadValues(c.payload, h, value, unused)) return false;
  const uint32_t v = static_cast<uint32_t>(value);
  return c.paper.SelectionToNewLayer(c.flow, h.layer, false, (v >> 16) != 0, static_cast<int32_t>(v & 0xFFFF),
                                     h.mask);
}

// ---- rename (mask, n, name) ----

bool PlayRenameMask(SPlayCall& c) {
  int16_t mask = 0;
  uint16_t n = 0;
  std::string name;
  if (!c.payload.Get(0, mask) || !c.payload.Get(2, n) || !c.payload.GetName(4, n, name)) return false;
  return c.paper.RenameMask(c.flow, c.paper.GetActiveLayerIndex(), false, name, mask);
}

// ---- shapes ----

bool ReadShape(const CPlayPayload& payload, SMaskHead& h, uint8_t& mode, TPoint& a, TPoint& b) {
  std::vector<TPoint> points;
  if (!ReadHead(payload, h) || !payload.Get(4, mode) || !ReadShapePoints(payload, 6, 2, points)) return false;
  a = points[0];
  b = points[1];
  return true;
}

bool PlaySelectRect(SPlayCall& c) {
  SMaskHead h;
  uint8_t mode = 0;
  TPoint a{}, b{};
  return ReadShape(c.payload, h, mode, a, b) && c.paper.SelectRect(c.flow, h.layer, false, mode, a, b);
}

// The older ellipse packet: the newer ellipse in recordings above version 305.
bool PlaySelectEllipseOlder(SPlayCall& c) {
  SMaskHead h;
  uint8_t mode = 0;
  TPoint a{}, b{};
  return ReadShape(c.payload, h, mode, a, b) &&
         c.paper.SelectEllipse(c.flow, h.layer, false, mode, a, b, c.appVersion > kOlderEllipseAppVersion);
}

bool PlaySelectEllipse(SPlayCall& c) {
  SMaskHead h;
  uint8_t mode = 0;
  TPoint a{}, b{};
  return ReadShape(c.payload, h, mode, a, b) && c.paper.SelectEllipse(c.flow, h.layer, false, mode, a, b, true);
}

// The count may not promise more points than the packet holds.
bool PlaySelectPolygon(SPlayCall& c) {
  SMaskHead h;
  uint8_t mode = 0;
  uint16_t k = 0;
  std::vector<TPoint> points;
  if (!ReadHead(c.payload, h) || !c.payload.Get(4, mode) || !c.payload.Get(6, k)) return false;
  if (uint64_t{8} + uint64_t{8} * k != c.payload.size() || !ReadShapePoints(c.payload, 8, k, points))
    return false;
  return c.paper.SelectPolygon(c.flow, h.layer, false, mode, k, points.data());
}

// ---- class 4 code 9 ----

bool PlayCutSelection(SPlayCall& c) {
  SMaskHead h;
  return ReadHead(c.payload, h) && c.paper.CutSelection(c.flow, h.layer, false, h.mask);
}

constexpr SPlayRow kRows[] = {
    {kPcMask, 0, &PlayNewMask, 0, "NewMask"},
    {kPcMask, 1, &PlayCancelSelection, 0, "CancelSelection"},
    {kPcMask, 2, &PlayDeleteMask, 0, "DeleteMask"},
    {kPcMask, 3, &PlayInvertSelection, 0, "InvertSelection"},
    {kPcMask, 4, &PlayDuplicateMask, 0, "DuplicateMask"},
    {kPcMask, 5, &PlaySetActiveMask, 0, "SetActiveMask"},
    {kPcMask, 6, &PlayTrimOutMask, 0, "TrimOutMask"},
    {kPcMask, 7, &PlayMoveMask, 0, "MoveMask"},
    {kPcMask, 8, &PlayOffsetMask, 0, "OffsetMask"},
    {kPcMask, 9, &PlayCombineMasks, 0, "CombineMasks"},
    {kPcMask, 10, &PlayGrowOnePixel, 0, "GrowSelectionOnePixel"},
    {kPcMask, 11, &PlaySelectionToNewLayer, 0, "SelectionToNewLayer"},
    {kPcMask, 12, &PlayRenameMask, 0, "RenameMask"},
    {kPcMask, 13, &PlaySelectionVisible, 0, "SetSelectionVisible"},
    {kPcMask, 14, &PlaySelectionEnabled, 0, "SetSelectionEnabled"},
    {kPcMask, 16, &PlaySelectRect, 0, "SelectRect"},
    {kPcMask, 17, &PlaySelectEllipseOlder, 0, "SelectEllipse (older packet)"},
    {kPcMask, 18, &PlaySelectPolygon, 0, "SelectPolygon"},
    {kPcMask, 19, &PlaySelectEllipse, 0, "SelectEllipse"},
    {kPcMask, 20, &PlaySelectAll, 0, "SelectAll"},
    {kPcMask, 21, &PlaySelectionToLayerAlpha, 0, "SelectionToLayerAlpha"},
    {kPcMask, 22, &PlayNewMaskFromLayer, 0, "NewMaskFromLayer"},
    {kPcMask, 24, &PlaySelectionToNewLayerEx, 0, "SelectionToNewLayer (kind)"},
    {kPcLayer, 9, &PlayCutSelection, 0x01, "CutSelection"},
};

}  // namespace

std::span<const SPlayRow> SelectionPlayRows() { return kRows; }

}  // namespace tf
