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
#include "playback/PlayImage.h"
#include "playback/PlayRows.h"

namespace tf {

namespace {

// The text's rendered channel travels in the packet: the replay never asks for a font. The
// header is checked against the payload and the layer before anything changes: the rectangle's
// area must be the byte count, the packed bytes must be there, and the rectangle must lie inside
// the layer's store.
bool PlayTextChannel(SPlayCall& call, bool asSelection) {
  SPlayedChannel played;
  if (!ReadChannelPacket(call.payload, played) || played.header.kind != (asSelection ? 3 : 2)) {
    DebugOut("PlayTextChannel: the text packet's channel header does not hold\n");
    return false;
  }
  const SChannelPacket& h = played.header;
  const SRectWH& rect = played.rect;
  TPaper& paper = call.paper;
  const int32_t active = paper.GetActiveLayerIndex();
  const CLayerData* layer = paper.GetLayer(active);
  if (!paper.IsValidLayerIndex(h.layer) || layer == nullptr || call.flow == nullptr) return false;
  if (int64_t{rect.left} + rect.width > layer->StoreWidth() ||
      int64_t{rect.top} + rect.height > layer->StoreHeight()) {
    DebugOut("PlayTextChannel: the text lies outside the layer\n");
    return false;
  }
  // The stroke takes the active layer; the working copy holds it with the text in its channel.
  call.stroke.SetLayerIndex(active);
  paper.SyncFlowImage(call.flow, active, false);
  TChannel& channel = call.flow->WorkChannel();
  if (call.flow->layer != active) return false;
  channel.Fill(0);
  if (!PutPlayedChannel(played, channel)) return false;
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
