// Player rows of the folders, merges, selection grow and shrink and the colour-range selection.
#include <cstring>
#include <vector>

#include "document/ColorMask.h"
#include "events/EventPacket.h"
#include "paper/Paper.h"
#include "platform/BlockPack.h"
#include "playback/PlayImage.h"
#include "playback/PlayRows.h"

namespace tf {

namespace {

// The mode words of the two forms of merge visible: flatten, and keeping transparency.
constexpr uint32_t kFlattenWord = 1;
constexpr uint32_t kKeepTransparencyWord = 0x30003u;

// int16 layer, int16 value and, when the payload has them, two int32 at 4 and 8.
struct SFields {
  int16_t layer = 0;
  int16_t value = 0;
  int32_t a = 0;
  int32_t b = 0;
};

bool ReadFields(const CPlayPayload& p, uint32_t size, SFields& f) {
  if (p.size() != size || !p.Get(0, f.layer) || !p.Get(2, f.value)) return false;
  return size < 12 || (p.Get(4, f.a) && p.Get(8, f.b));
}

// 2/7, the older form: flatten.
bool PlayMergeVisibleOld(SPlayCall& c) {
  return c.payload.size() == 0 && c.paper.MergeVisibleLayers(c.flow, false, false, kFlattenWord);
}

// 2/10: (active, 0, composite flag, first visible). The word is not recorded: the composite flag
// (byte 4) gives it.
bool PlayMergeVisible(SPlayCall& c) {
  SFields f;
  uint8_t composite = 0;
  if (!ReadFields(c.payload, 12, f) || !c.payload.Get(4, composite)) return false;
  return c.paper.MergeVisibleLayers(c.flow, composite != 0, false,
                                    composite != 0 ? kKeepTransparencyWord : kFlattenWord);
}

// 4/5: merge down.
bool PlayMergeDown(SPlayCall& c) {
  SFields f;
  return ReadFields(c.payload, 4, f) && c.paper.MergeDown(c.flow, f.layer, false);
}

// 4/10: merge into the layer below with the mode word at offset 4.
bool PlayBindLowerLayer(SPlayCall& c) {
  SFields f;
  return ReadFields(c.payload, 12, f) &&
         c.paper.BindLowerLayer(c.flow, f.layer, false, static_cast<uint32_t>(f.a));
}

// 5/0, 5/1: int16 layer, int32 count, byte 1, byte 2, 4 bytes, int32 n = 2 x count, 8 bytes,
// then the depth arrays after and before (read, not used: the document rebuilds them).
bool PlayGroupDepth(SPlayCall& c) {
  const CPlayPayload& p = c.payload;
  int16_t layer = 0;
  int32_t count = 0;
  uint8_t one = 0, two = 0;
  int32_t n = 0;
  if (!p.Get(0, layer) || !p.Get(2, count) || !p.Get(6, one) || !p.Get(7, two) || !p.Get(12, n)) return false;
  if (one != 1 || two != 2 || count < 0 || n < 0 || (n & 1) != 0 || int64_t{count} * 1 * 2 != n) return false;
  if (int64_t{p.size()} != 24 + int64_t{n} || !p.Holds(24, static_cast<uint32_t>(n))) return false;
  return c.paper.ChangeGroupDepth(c.flow, layer, false, c.frame.header.code == 0);
}

// 5/8: the folder row removed, its content kept.
bool PlayDeleteFolderRow(SPlayCall& c) {
  SFields f;
  return ReadFields(c.payload, 12, f) && c.paper.DeleteFolderRow(c.flow, f.layer, false);
}

// 5/11: (from, 0, depth << 16 | count, to).
bool PlayMoveGroup(SPlayCall& c) {
  SFields f;
  return ReadFields(c.payload, 12, f) && c.paper.MoveLayerGroup(c.flow, f.layer, false, f.b, f.a & 0xFFFF);
}

// 5/12: (index, 0, depth | count << 16, size).
bool PlayMergeGroup(SPlayCall& c) {
  SFields f;
  return ReadFields(c.payload, 12, f) && c.paper.MergeGroup(c.flow, f.layer, false, f.b);
}

// 5/13: (index, 0, count << 16 | depth, size).
bool PlayDeleteGroup(SPlayCall& c) {
  SFields f;
  return ReadFields(c.payload, 12, f) && c.paper.DeleteGroup(c.flow, f.layer, false, f.b);
}

// 5/16: (index, 0, count << 16 | visible, layer count).
bool PlayGroupVisible(SPlayCall& c) {
  SFields f;
  if (!ReadFields(c.payload, 12, f)) return false;
  const int32_t count = static_cast<int32_t>(static_cast<uint32_t>(f.a) >> 16);
  return c.paper.SetGroupVisible(f.layer, count, false, (f.a & 0xFFFF) != 0);
}

// 10/25, 10/26: (layer, mask, shape << 16 | radius, 0).
bool PlaySelectionExtent(SPlayCall& c) {
  SFields f;
  if (!ReadFields(c.payload, 12, f)) return false;
  const int32_t radius = f.a & 0xFFFF;
  const int32_t shape = f.a >> 16;
  return c.frame.header.code == 25 ? c.paper.GrowSelectionBy(f.layer, f.value, false, shape, radius)
                                   : c.paper.ShrinkSelectionBy(f.layer, f.value, false, shape, radius);
}

// The kept colour-range record (0/136): int32 n = 20 + 8k, the settings, k entries.
bool ReadColorRange(const std::vector<uint8_t>& record, SColorRangeSettings& settings,
                    std::vector<SColorEntry>& entries) {
  if (record.size() < 4 + sizeof settings) return false;
  int32_t n = 0;
  std::memcpy(&n, record.data(), sizeof n);
  std::memcpy(&settings, record.data() + 4, sizeof settings);
  const int64_t k = settings.count;
  if (k < 0 || k > kMaxColorEntries || n != 20 + 8 * k || static_cast<int64_t>(record.size()) != 4 + int64_t{n})
    return false;
  entries.resize(static_cast<size_t>(k));
  if (k > 0) std::memcpy(entries.data(), record.data() + 4 + sizeof settings, static_cast<size_t>(k) * 8);
  return true;
}

// 13/32: the channel of a colour-range selection, with the kept colour-range record of the same
// step (without one the packet fails). The record is used once.
bool PlayColorRange(SPlayCall& c) {
  const CPlayPayload& p = c.payload;
  SColorRangeSettings settings;
  std::vector<SColorEntry> entries;
  const bool kept = ReadColorRange(c.events.colorRange, settings, entries);
  c.events.colorRange.clear();
  if (!kept) return false;
  SPlayedChannel played;
  if (!ReadChannelPacket(p, played)) return false;
  const SChannelPacket& h = played.header;
  if (int64_t{p.size()} != int64_t{sizeof h} + h.n) return false;  // nothing after the packed bytes
  const int32_t layer = h.layer;
  // The channel covers the source: the layer's store, or the canvas for the displayed picture.
  const CLayerData* target = c.paper.GetLayer(layer);
  if (target == nullptr || target->Store() == nullptr) return false;
  const int32_t width = settings.source == 1 ? c.paper.canvasWidth : target->StoreWidth();
  const int32_t height = settings.source == 1 ? c.paper.canvasHeight : target->StoreHeight();
  TChannel channel;
  if (!channel.Resize(width, height) || !PutPlayedChannel(played, channel)) return false;
  return c.paper.CommitColorRange(channel, layer, false, settings, entries.data(), h.value);
}

constexpr SPlayRow kRows[] = {
    {kPcPaper, 7, PlayMergeVisibleOld, 0x07, "MergeVisibleLayers (older form)"},
    {kPcPaper, 10, PlayMergeVisible, 0x07, "MergeVisibleLayers"},
    {kPcLayer, 5, PlayMergeDown, 0x01, "MergeDown"},
    {kPcLayer, 10, PlayBindLowerLayer, 0x01, "BindLowerLayer"},
    {kPcLinkGroup, 0, PlayGroupDepth, 0x08, "ChangeGroupDepth (deeper)"},
    {kPcLinkGroup, 1, PlayGroupDepth, 0x08, "ChangeGroupDepth (shallower)"},
    {kPcLinkGroup, 8, PlayDeleteFolderRow, 0x03, "DeleteFolderRow"},
    {kPcLinkGroup, 11, PlayMoveGroup, 0x03, "MoveLayerGroup"},
    {kPcLinkGroup, 12, PlayMergeGroup, 0x03, "MergeGroup"},
    {kPcLinkGroup, 13, PlayDeleteGroup, 0x03, "DeleteGroup"},
    {kPcLinkGroup, 16, PlayGroupVisible, 0x03, "SetGroupVisible"},
    {kPcMask, 25, PlaySelectionExtent, 0x00, "GrowSelectionBy"},
    {kPcMask, 26, PlaySelectionExtent, 0x00, "ShrinkSelectionBy"},
    {kPcChannel, 32, PlayColorRange, 0x00, "CommitColorRange"},
};

}  // namespace

std::span<const SPlayRow> FolderPlayRows() { return kRows; }

}  // namespace tf
