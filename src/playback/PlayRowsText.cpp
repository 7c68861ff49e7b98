// Player rows of the text drawn and text selected.
#include <cstddef>
#include <cstring>
#include <vector>

#include "document/Mask.h"
#include "events/EventPacket.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/BlockPack.h"
#include "platform/Debug.h"
#include "playback/PlayRows.h"

namespace tf {

namespace {

// The text's rendered channel travels in the packet: the replay never asks for a font. The
// header is checked against the payload and the layer before anything changes: the rectangle's
// area must be the byte count, the packed bytes must be there, and the rectangle must lie inside
// the layer's store.
bool PlayTextChannel(SPlayCall& call, bool asSelection) {
  SChannelPacket h{};
  if (!call.payload.GetBytes(0, &h, sizeof h)) return false;
  const uint8_t kind = asSelection ? 3 : 2;
  const int64_t left = h.rect.left, top = h.rect.top;
  const int64_t width = int64_t{h.rect.right} - left, height = int64_t{h.rect.bottom} - top;
  const int32_t n = h.n, packedLength = h.packedLength, byteCount = h.channelBytes;
  if (h.kind != kind || width <= 0 || height <= 0 || width * height != byteCount || packedLength <= 0 ||
      packedLength > n || !call.payload.Holds(sizeof h, static_cast<uint64_t>(n))) {
    DebugOut("PlayTextChannel: the text packet's channel header does not hold\n");
    return false;
  }
  TPaper& paper = call.paper;
  const int32_t active = paper.GetActiveLayerIndex();
  const CLayerData* layer = paper.GetLayer(active);
  if (!paper.IsValidLayerIndex(h.layer) || layer == nullptr || call.flow == nullptr) return false;
  if (left < 0 || top < 0 || left + width > layer->StoreWidth() || top + height > layer->StoreHeight()) {
    DebugOut("PlayTextChannel: the text lies outside the layer\n");
    return false;
  }
  std::vector<uint8_t> block(static_cast<size_t>(byteCount));
  if (!BlockUnpack(call.payload.data() + sizeof h, static_cast<size_t>(packedLength), block.data(), block.size()))
    return false;
  // The stroke takes the active layer; the working copy holds it with the text in its channel.
  call.stroke.SetLayerIndex(active);
  paper.SyncFlowImage(call.flow, active, false);
  TChannel& channel = call.flow->WorkChannel();
  if (call.flow->layer != active || channel.Width() < left + width || channel.Height() < top + height)
    return false;
  channel.Fill(0);
  for (int64_t y = 0; y < height; ++y)
    std::memcpy(channel.GetPixelPtr(static_cast<int32_t>(left), static_cast<int32_t>(top + y)),
                block.data() + static_cast<size_t>(y * width), static_cast<size_t>(width));
  const SRectWH rect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(width),
                     static_cast<int32_t>(height)};
  // A text selection combines by the mode it was recorded with (recordings that predate it hold 0,
  // a replacement), never by the keys held during playback.
  const int32_t mode = asSelection ? (h.setting3 <= kMaskIntersect ? h.setting3 : -2) : -1;
  if (mode == -2) return false;
  return paper.DrawStrokeInRect(call.flow, call.stroke, rect, asSelection, false, mode);
}

bool PlayTextDrawn(SPlayCall& call) { return PlayTextChannel(call, false); }
bool PlayTextSelected(SPlayCall& call) { return PlayTextChannel(call, true); }

constexpr SPlayRow kTextRows[] = {
    {kPcChannel, 16, &PlayTextDrawn, 0, "TPaper.DrawStrokeInRect (text drawn)"},
    {kPcChannel, 17, &PlayTextSelected, 0, "TPaper.DrawStrokeInRect (text selected)"},
};

}  // namespace

std::span<const SPlayRow> TextPlayRows() { return kTextRows; }

}  // namespace tf
