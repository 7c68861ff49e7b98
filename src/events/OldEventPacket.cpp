#include "events/OldEventPacket.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "paint/Stroke.h"
#include "platform/ByteOrder.h"
#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/Stream.h"

namespace tf {

namespace {

constexpr int32_t kPacketCapacity = 256000;
constexpr int32_t kLoadCapacity = 65536;
constexpr int32_t kPenSettingsSize = 17;
constexpr int32_t kStrokePointSize = 6;

uint16_t Word(const uint8_t* p) { return LoadLE<uint16_t>(p); }

// The sealed save's own generator (never the process-wide reproducible sequence).
class SealShuffle {
 public:
  explicit SealShuffle(uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
  int32_t Next16() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<int32_t>((state_ >> 8) & 15);
  }

 private:
  uint32_t state_;
};

}  // namespace

int32_t OldEventPayloadLength(uint16_t code, const uint8_t* payload, int32_t available) {
  if (code <= 4) {
    const int32_t fixed = kPenSettingsSize + kStrokePointSize + 2;
    if (available < fixed) return fixed;
    return fixed + kStrokePointSize * Word(payload + fixed - 2);
  }
  switch (code) {
    case kOldMergeVisible:
    case kOldRotateRight:
    case kOldRotateLeft:
    case kOldClearAllUndo:
    case kOldFlipVisibleVertical:
    case kOldFlipVisibleHorizontal:
    case kOldRotateVisible180:
    case kOldInvertVisible:
    case kOldEndCode: return 0;
    case kOldNewLayer:
    case kOldDeleteLayer:
    case kOldCopyLayer:
    case kOldMergeDown:
    case kOldUndoLayer:
    case kOldActiveLayer:
    case kOldShowOnly:
    case kOldFlipLayerVertical:
    case kOldFlipLayerHorizontal:
    case kOldRotateLayer180:
    case kOldInvertLayer:
    case kOldClearLayer:
    case kOldClearLayerUndo: return 1;
    case kOldMoveLayer:
    case kOldLayerVisible:
    case kOldLayerOpacity:
    case kOldLayerMode: return 2;
    case kOldPaperColor: return 3;
    case kOldFillLayer:
    case kOldNewCanvas:
    case kOldResample:
    case kOldNewCanvas2: return 4;
    case kOldShiftLayer:
    case kOldCanvasSize: return 5;
    case kOldEraseRect: return 9;
    case kOldFillRect: return 12;
    case kOldLine: return kPenSettingsSize + 10;
    case kOldErasePolygon:
      if (available < 3) return 3;
      return 3 + 4 * Word(payload + 1);
    case kOldFillPolygon:
      if (available < 6) return 6;
      return 6 + 4 * Word(payload + 4);
    default: return -1;
  }
}

uint8_t ConvertOldAnchor(uint8_t anchor) {
  static constexpr uint8_t kTable[9] = {0, 3, 6, 1, 4, 7, 2, 5, 8};
  return anchor < 9 ? kTable[anchor] : anchor;
}

TEventPacket::TEventPacket() : memory_(kPacketCapacity) {}
TEventPacket::~TEventPacket() = default;

void TEventPacket::Clear() {
  memory_.Clear();
  eventCount_ = 0;
  inStroke_ = 0;
  remainingPoints_ = 0;
}

int32_t TEventPacket::CheckStream(const uint8_t* data, int32_t size, int32_t& events, bool& sealed) {
  events = 0;
  sealed = false;
  uint32_t markers = 0;
  bool first = true;
  int32_t pos = 0;
  for (;;) {
    if (size - pos < 2) return -1;
    const uint16_t code = Word(data + pos);
    pos += 2;
    if (IsOldSealMarker(code)) {
      markers |= 1u << (code - kOldSealFirst);
      continue;
    }
    const int32_t length = OldEventPayloadLength(code, data + pos, size - pos);
    if (length < 0 || length > size - pos) return -1;
    pos += length;
    if (first && code != kOldNewCanvas && code != kOldNewCanvas2) return -1;
    first = false;
    ++events;
    if (code == kOldEndCode) break;
  }
  if (markers != 0) {
    if (markers != 0xFFFFu) return -1;
    sealed = true;
  }
  return pos;
}

bool TEventPacket::Validate(TMyMemory& source, bool& sealed) {
  sealed = false;
  const int32_t start = source.GetReadPos();
  const int32_t size = source.GetWritePos() - start;
  if (start < 0 || size < 2) return false;
  int32_t events = 0;
  bool isSealed = false;
  const int32_t length = CheckStream(source.GetBuffer() + start, size, events, isSealed);
  if (length < 0) return false;
  // Only the stream itself, up to and including its end code: bytes after it would stay before
  // the end code a later drop takes off.
  try {
    TMyMemory copy(std::max(length, kPacketCapacity));
    copy.Write(source.GetBuffer() + start, length);
    memory_ = std::move(copy);
  } catch (const std::bad_alloc&) {
    DebugOut("TEventPacket::Validate: out of memory\n");
    return false;
  }
  memory_.RewindRead();
  eventCount_ = events;
  inStroke_ = 0;
  remainingPoints_ = 0;
  sealed = isSealed;
  return true;
}

bool TEventPacket::LoadFromFile(const std::string& path, bool& sealed) {
  sealed = false;
  try {
    TMyMemory block(kLoadCapacity);
    if (!block.LoadFromFile(path)) return false;
    block.RewindRead();
    return Validate(block, sealed);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool TEventPacket::SaveToFile(const std::string& path, bool seal) {
  uint16_t order[kOldSealCount];
  int32_t interval = 0;
  if (seal) {
    if (eventCount_ < kOldSealMinEvents) return false;
    interval = eventCount_ / 18;
    SealShuffle random(timeGetTime());
    for (int32_t i = 0; i < kOldSealCount; ++i) order[i] = static_cast<uint16_t>(kOldSealFirst + i);
    for (int32_t i = 0; i < 65536; ++i) {
      const int32_t a = random.Next16();
      const int32_t b = random.Next16();
      std::swap(order[a], order[b]);
    }
  }
  memory_.RewindRead();
  const uint8_t* data = memory_.GetBuffer();
  const int32_t size = memory_.GetWritePos();
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(size) + 2 * kOldSealCount);
  int32_t countdown = interval;
  int32_t written = 0;
  int32_t pos = 0;
  for (;;) {
    if (size - pos < 2) return false;
    const uint16_t code = Word(data + pos);
    if (seal && --countdown == 0) {
      if (written < kOldSealCount) {
        uint8_t marker[2];
        StoreLE<uint16_t>(marker, order[written++]);
        out.insert(out.end(), marker, marker + 2);
      }
      countdown = interval;
    }
    if (IsOldSealMarker(code)) return false;
    const int32_t length = OldEventPayloadLength(code, data + pos + 2, size - pos - 2);
    if (length < 0 || length > size - pos - 2) return false;
    out.insert(out.end(), data + pos, data + pos + 2 + length);
    pos += 2 + length;
    if (code == kOldEndCode) break;
  }
  AtomicFileWriter writer;
  if (!writer.Begin(path)) return false;
  if (!writer.GetStream().WriteExact(out.data(), static_cast<int64_t>(out.size()))) return false;
  return writer.Commit();
}

void TEventPacket::AppendEndCode() {
  memory_.WriteWord(kOldEndCode);
  ++eventCount_;
}

void TEventPacket::DropEndCode() {
  const int32_t end = memory_.GetWritePos();
  if (end < 2 || Word(memory_.GetBuffer() + end - 2) != kOldEndCode) {
    DebugOut("TEventPacket::DropEndCode: the stream does not end with its end code\n");
    return;
  }
  memory_.SetWritePos(end - 2);
  if (memory_.GetReadPos() > end - 2) memory_.SkipRead(end - 2 - memory_.GetReadPos());
  if (eventCount_ > 0) --eventCount_;
}

uint16_t TEventPacket::ReadCode() {
  if (memory_.GetUnreadSize() < 2) {
    memory_.SkipRead(memory_.GetUnreadSize() > 0 ? memory_.GetUnreadSize() : 0);
    return kOldEndCode;
  }
  return memory_.ReadWord();
}

bool TEventPacket::WholeEventAhead() const {
  const int32_t left = memory_.GetUnreadSize();
  if (left < 2) return false;
  const uint8_t* p = memory_.GetBuffer() + memory_.GetReadPos();
  const uint16_t code = Word(p);
  if (code >= kOldSealFirst && code <= 895) return true;
  const int32_t length = OldEventPayloadLength(code, p + 2, left - 2);
  return length >= 0 && length <= left - 2;
}

uint32_t TEventPacket::ReadColour() {
  const uint32_t c1 = memory_.ReadByte();
  const uint32_t c2 = memory_.ReadByte();
  const uint32_t c3 = memory_.ReadByte();
  return c1 * 65536 + c2 * 256 + c3;
}

void TEventPacket::ReadLayerShift(uint8_t& layer, int16_t& dx, int16_t& dy) {
  layer = memory_.ReadByte();
  dx = memory_.ReadSmallInt();
  dy = memory_.ReadSmallInt();
}

SOldRect TEventPacket::ReadLayerRect() {
  SOldRect r{};
  r.layer = memory_.ReadByte();
  r.x = memory_.ReadSmallInt();
  r.y = memory_.ReadSmallInt();
  r.width = memory_.ReadSmallInt();
  r.height = memory_.ReadSmallInt();
  return r;
}

void TEventPacket::ReadPolygon(uint8_t& layer, std::vector<SOldPoint>& points) {
  layer = memory_.ReadByte();
  const uint16_t count = memory_.ReadWord();
  points.resize(count);
  for (SOldPoint& p : points) {
    p.x = memory_.ReadSmallInt();
    p.y = memory_.ReadSmallInt();
  }
}

void TEventPacket::ReadPolygonColour(uint8_t& layer, uint32_t& colour, std::vector<SOldPoint>& points) {
  layer = memory_.ReadByte();
  colour = ReadColour();
  const uint16_t count = memory_.ReadWord();
  points.resize(count);
  for (SOldPoint& p : points) {
    p.x = memory_.ReadSmallInt();
    p.y = memory_.ReadSmallInt();
  }
}

SOldSize TEventPacket::ReadSize() {
  SOldSize s{};
  s.width = memory_.ReadWord();
  s.height = memory_.ReadWord();
  return s;
}

void TEventPacket::ReadSizeAnchor(SOldSize& size, uint8_t& anchor) {
  size = ReadSize();
  anchor = memory_.ReadByte();
}

void TEventPacket::ReadPenSettings(TStroke& stroke) {
  stroke.SetLayerIndex(memory_.ReadByte());
  stroke.SetColor(ReadColour());
  const uint8_t switches = memory_.ReadByte();
  stroke.SetIfSize((switches & 1) != 0);
  stroke.SetIfTransparency((switches & 2) != 0);
  stroke.SetIfEdge((switches & 4) != 0);
  stroke.SetMin(memory_.ReadWord() / 256.0f);
  stroke.SetWidth(memory_.ReadWord() / 256.0f);
  stroke.SetGamma(memory_.ReadWord() / 256.0f);
  stroke.SetEffect(memory_.ReadWord() / 256.0f);
  stroke.SetEnv(memory_.ReadWord() / 256.0f);
  stroke.SetSpeed(memory_.ReadWord() / 256.0f);
}

void TEventPacket::ReadPoint(float& x, float& y, float& pressure) {
  x = memory_.ReadSmallInt();
  y = memory_.ReadSmallInt();
  pressure = memory_.ReadSmallInt() / 1024.0f;
}

void TEventPacket::ReadStrokeStart(TStroke& stroke, float& x, float& y, float& pressure) {
  ReadPenSettings(stroke);
  ReadPoint(x, y, pressure);
  remainingPoints_ = memory_.ReadWord();
  inStroke_ = remainingPoints_ > 0 ? 1 : 0;
}

bool TEventPacket::ReadStrokePoint(float& x, float& y, float& pressure) {
  ReadPoint(x, y, pressure);
  if (remainingPoints_ > 0) --remainingPoints_;
  if (remainingPoints_ > 0) return false;
  inStroke_ = 0;
  return true;
}

SOldLine TEventPacket::ReadLine(TStroke& stroke) {
  ReadPenSettings(stroke);
  SOldLine line{};
  line.penType = memory_.ReadSmallInt();
  if (line.penType >= 0 && line.penType <= 4) stroke.SetPenType(static_cast<uint8_t>(line.penType));
  line.x1 = memory_.ReadSmallInt();
  line.y1 = memory_.ReadSmallInt();
  line.x2 = memory_.ReadSmallInt();
  line.y2 = memory_.ReadSmallInt();
  return line;
}

}  // namespace tf
