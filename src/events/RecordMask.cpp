// CEventMngr: recording of the mask and selection commands (class 10), the operations through a
// channel (class 13), the text tool and the colour mask.
#include <cstring>
#include <new>
#include <vector>

#include "events/EventStream.h"
#include "events/RecordSources.h"
#include "platform/BlockPack.h"
#include "raster/FlatImage.h"

namespace tf {

bool PacketString(std::string_view text, std::vector<uint8_t>& out);  // RecordLayer.cpp

bool CEventMngr::writeMaskOp(int16_t layer, int16_t mask, uint8_t code) {
  const bool known = code <= 6 || code == 11 || code == 20 || code == 21;
  if (!known) return false;
  SLayerValuePacket p{};
  p.layer = layer;
  p.value = mask;
  return recordCommand(RecordGroup::kDocument, kPcMask, code, &p, sizeof p);
}

bool CEventMngr::writeMaskOpEx(int16_t layer, int16_t mask, uint8_t code, int32_t value1, int32_t value2) {
  const bool known =
      (code >= 7 && code <= 10) || code == 13 || code == 14 || code == 22 || (code >= 24 && code <= 26);
  if (!known) return false;
  SLayerValue2Packet p{};
  p.layer = layer;
  p.value = mask;
  p.a = value1;
  p.b = value2;
  return recordCommand(RecordGroup::kDocument, kPcMask, code, &p, sizeof p);
}

bool CEventMngr::writeMaskRect(int16_t layer, int16_t mask, uint8_t code, uint8_t combineMode, const TPoint* a,
                               const TPoint* b) {
  if (code != 16 && code != 17 && code != 19) return false;
  SSelectShapePacket p{};
  p.layer = layer;
  p.value = mask;
  p.combine = combineMode;
  if (a) {
    p.first.x = a->x;
    p.first.y = a->y;
  }
  if (b) {
    p.second.x = b->x;
    p.second.y = b->y;
  }
  return recordCommand(RecordGroup::kDocument, kPcMask, code, &p, sizeof p);
}

bool CEventMngr::writeMaskPolygon(int16_t layer, int16_t mask, uint8_t combineMode, const TPoint* points,
                                  int32_t count) {
  if (count < 0 || count > 0xFFFF || (count > 0 && !points)) return false;
  if (state != kEventRecording) return true;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t{8} * static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    StoreU32(bytes.data() + 8 * i, static_cast<uint32_t>(points[i].x));
    StoreU32(bytes.data() + 8 * i + 4, static_cast<uint32_t>(points[i].y));
  }
  SSelectPolygonHeader p{};
  p.layer = layer;
  p.value = mask;
  p.combine = combineMode;
  p.count = static_cast<uint16_t>(count);
  return recordCommand(RecordGroup::kDocument, kPcMask, 18, &p, sizeof p, bytes.data(),
                       static_cast<uint32_t>(bytes.size()));
}

bool CEventMngr::writeMaskName(int16_t mask, std::string_view name) {
  if (state != kEventRecording) return true;
  std::vector<uint8_t> text;
  if (!PacketString(name, text)) return false;
  SNamePacketHeader p{};
  p.index = mask;
  p.n = static_cast<uint16_t>(text.size());
  return recordCommand(RecordGroup::kDocument, kPcMask, 12, &p, sizeof p, text.data(),
                       static_cast<uint32_t>(text.size()));
}

// ---------------------------------------------------------------------------------------------
// Channels

// The channel's non-zero rectangle, its bytes row by row (top row first) packed.
struct SPackedChannel {
  TRect bounds{};
  int32_t byteCount = 0;
  uint32_t packedLength = 0;
  std::vector<uint8_t> packed;  // padded to an even count
};

namespace {

bool PackChannel(const TChannel& channel, SPackedChannel& out) {
  if (!channel.GetNonZeroBounds(out.bounds)) return false;  // empty: nothing to record
  const int32_t w = out.bounds.right - out.bounds.left;
  const int32_t h = out.bounds.bottom - out.bounds.top;
  const int64_t bytes = int64_t{w} * h;
  if (w <= 0 || h <= 0 || bytes > INT32_MAX) return false;
  try {
    std::vector<uint8_t> block(static_cast<size_t>(bytes));
    for (int32_t y = 0; y < h; ++y)
      std::memcpy(block.data() + static_cast<size_t>(w) * static_cast<size_t>(y),
                  channel.GetPixelPtr(out.bounds.left, out.bounds.top + y), static_cast<size_t>(w));
    out.packed.reserve(65536);
    out.packedLength = BlockPack(block.data(), block.size(), out.packed);
    if (out.packedLength == 0 || out.packedLength > INT32_MAX - 1) return false;
    if (out.packedLength & 1) out.packed.push_back(0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  out.byteCount = static_cast<int32_t>(bytes);
  return true;
}

void PutRect(SPacketRect& r, const TRect& b) {
  r.left = b.left;
  r.top = b.top;
  r.right = b.right;
  r.bottom = b.bottom;
}

template <typename Header>
void FillChannelHeader(Header& h, int16_t layer, int16_t mask, int kind, const SChannelSettings& s,
                       const SPackedChannel& pc) {
  h.layer = layer;
  h.value = mask;
  h.kind = static_cast<uint8_t>(kind);
  h.setting1 = s.antiAlias;
  h.setting2 = s.target;
  h.setting3 = s.combineMode;
  h.setting4 = s.tolerance;
  PutRect(h.rect, pc.bounds);
  h.n = static_cast<int32_t>(pc.packed.size());
  h.channelBytes = pc.byteCount;
  h.packedLength = static_cast<int32_t>(pc.packedLength);
}

}  // namespace

bool CEventMngr::appendChannelPacket(uint8_t code, int16_t layer, int16_t mask, const SChannelSettings& settings,
                                     const TPoint points[3], const SPackedChannel& pc) {
  const int kind = ChannelKindOfCode(code);
  if (kind < 0) return false;
  const uint32_t n = static_cast<uint32_t>(pc.packed.size());
  bool ok;
  if (code == 2 || code == 3 || code == 5) {
    SChannelPacketEx h{};
    FillChannelHeader(h, layer, mask, kind, settings, pc);
    for (int i = 0; i < 3; ++i) {
      h.points[i].x = points[i].x;
      h.points[i].y = points[i].y;
    }
    ok = appendStep(kPcChannel, code, &h, sizeof h, pc.packed.data(), n);
  } else {
    SChannelPacket h{};
    FillChannelHeader(h, layer, mask, kind, settings, pc);
    TPoint origin{0, 0};
    if (!document_ || !document_->layerOrigin(layer, origin)) origin = TPoint{0, 0};
    h.origin.x = origin.x;
    h.origin.y = origin.y;
    h.point.x = points[0].x;
    h.point.y = points[0].y;
    ok = appendStep(kPcChannel, code, &h, sizeof h, pc.packed.data(), n);
  }
  if (ok) afterCommand(kPcChannel, code);
  return ok;
}

bool CEventMngr::writeMaskChannel(int16_t layer, int16_t mask, uint8_t code, uint8_t antiAlias, int16_t tolerance,
                                  uint8_t target, uint8_t combineMode, const TPoint* seed,
                                  const TChannel& channel) {
  if (code != 0 && code != 1 && code != 4 && code != 16 && code != 17 && code != 32) return false;
  if (state != kEventRecording) return true;
  SPackedChannel pc;
  if (!PackChannel(channel, pc)) return false;
  if (!writeAllState()) return false;
  const TPoint points[3] = {seed ? *seed : TPoint{0, 0}, {0, 0}, {0, 0}};
  return appendChannelPacket(code, layer, mask, SChannelSettings{antiAlias, target, combineMode, tolerance},
                             points, pc);
}

bool CEventMngr::writeMaskChannelEx(int16_t layer, int16_t mask, uint8_t code, uint8_t antiAlias,
                                    int16_t tolerance, uint8_t target, uint8_t combineMode,
                                    const TPoint& areaSize, const TPoint& areaOffset, const TPoint* seed,
                                    const TChannel& channel) {
  if (code != 2 && code != 3 && code != 5) return false;
  if (state != kEventRecording) return true;
  SPackedChannel pc;
  if (!PackChannel(channel, pc)) return false;
  if (!writeAllState()) return false;
  const TPoint points[3] = {areaSize, areaOffset, seed ? *seed : TPoint{0, 0}};
  return appendChannelPacket(code, layer, mask, SChannelSettings{antiAlias, target, combineMode, tolerance},
                             points, pc);
}

bool CEventMngr::writeTextSelection(int16_t layer, int16_t mask, const TChannel& channel, const TPoint& position,
                                    uint8_t flag, std::string_view text, const uint8_t logFont[60],
                                    int16_t spacing, int16_t leading, uint8_t code, uint8_t combineMode) {
  if (code != 16 && code != 17) return false;
  if (state != kEventRecording) return true;
  if (!logFont) return false;
  SPackedChannel pc;
  std::vector<uint8_t> textRecord;
  std::vector<uint8_t> textBytes;
  if (!PackChannel(channel, pc) || !PacketString(text, textBytes)) return false;
  try {
    textRecord.resize(2 + textBytes.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  StoreU16(textRecord.data(), static_cast<uint16_t>(textBytes.size()));
  std::memcpy(textRecord.data() + 2, textBytes.data(), textBytes.size());
  SFontRecord font{};
  std::memcpy(font.logFont, logFont, sizeof font.logFont);
  font.layout1 = spacing;
  font.layout2 = leading;
  if (!writeAllState()) return false;
  if (writeStateRecord(kStFont, &font, sizeof font) == StateWrite::kFailed) return false;
  if (writeStateRecord(kStText, textRecord.data(), static_cast<uint32_t>(textRecord.size())) ==
      StateWrite::kFailed)
    return false;
  const TPoint points[3] = {position, {0, 0}, {0, 0}};
  return appendChannelPacket(code, layer, mask, SChannelSettings{flag, 0, combineMode, 0}, points, pc);
}

bool CEventMngr::writeColorMask(int16_t layer, int16_t mask, uint8_t combineMode, const TChannel& channel,
                                const SColorRangeHeader& header, const uint8_t* ranges) {
  if (state != kEventRecording) return true;
  const int32_t k = header.count;
  // n = 20 + 8k must be a positive int32 and the ranges must be there.
  if (k < 0 || int64_t{k} * kColorRangeSize + sizeof header > INT32_MAX - 4 || (k > 0 && !ranges)) return false;
  SPackedChannel pc;
  if (!PackChannel(channel, pc)) return false;
  std::vector<uint8_t> record;
  const size_t n = sizeof header + size_t{kColorRangeSize} * static_cast<size_t>(k);
  try {
    record.resize(4 + n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  StoreU32(record.data(), static_cast<uint32_t>(n));
  std::memcpy(record.data() + 4, &header, sizeof header);
  if (k > 0) std::memcpy(record.data() + 4 + sizeof header, ranges, n - sizeof header);
  if (!writeAllState()) return false;
  // The record's first piece is its fixed part; the ranges follow as trailing bytes.
  if (!appendPacket(kPcState, kStColorRange, record.data(), 4 + sizeof header, record.data() + 4 + sizeof header,
                    static_cast<uint32_t>(n - sizeof header)))
    return false;
  const TPoint points[3] = {{0, 0}, {0, 0}, {0, 0}};
  return appendChannelPacket(32, layer, mask, SChannelSettings{0, 0, combineMode, 0}, points, pc);
}

}  // namespace tf
