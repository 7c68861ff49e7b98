// CEventMngr: the resource dictionaries. Recording writes each tone tile and image nib once as a
// definition under its key and refers to the key afterwards; playback rebuilds the definitions
// into the player's objects and resolves the references through its own dictionaries.
#include "events/Dictionaries.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "events/EventStream.h"
#include "events/RecordSources.h"
#include "platform/BlockPack.h"
#include "platform/Debug.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

constexpr uint32_t kMaxNameLength = 64;

// The picture's rows, top row first, packed; the packed bytes padded to an even count.
bool PackPicture(const TChannel& picture, std::vector<uint8_t>& packed, uint32_t& packedLength) {
  const int32_t w = picture.Width();
  const int32_t h = picture.Height();
  const int64_t bytes = int64_t{w} * h;
  if (!picture.IsValid() || w <= 0 || h <= 0 || bytes > INT32_MAX) return false;
  try {
    std::vector<uint8_t> rows(static_cast<size_t>(bytes));
    for (int32_t y = 0; y < h; ++y)
      std::memcpy(rows.data() + static_cast<size_t>(w) * static_cast<size_t>(y), picture.GetPixelPtr(0, y),
                  static_cast<size_t>(w));
    packed.reserve(65536);
    packedLength = BlockPack(rows.data(), rows.size(), packed);
    if (packedLength == 0 || packedLength > INT32_MAX - 1) return false;
    if (packedLength & 1) packed.push_back(0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Reads n packed bytes at pos and unpacks them into a channel of width x height, whose data
// takes byteCount bytes (at least width x height; rows top row first). Every size is checked
// before it is used; null when anything does not fit.
std::unique_ptr<TChannel> UnpackPicture(const CEventMngr& m, uint32_t pos, int32_t n, int32_t packedLength,
                                        int32_t width, int32_t height, int32_t byteCount) {
  if (width <= 0 || height <= 0 || n <= 0 || packedLength <= 0 || packedLength > n) return nullptr;
  const int64_t pixels = int64_t{width} * height;
  if (pixels > INT32_MAX || byteCount < pixels) return nullptr;
  try {
    std::vector<uint8_t> packed(static_cast<size_t>(n));
    if (m.readSpan(pos, packed.data(), static_cast<uint32_t>(n)) != static_cast<uint32_t>(n)) return nullptr;
    std::vector<uint8_t> data(static_cast<size_t>(byteCount));
    if (!BlockUnpack(packed.data(), static_cast<size_t>(packedLength), data.data(), data.size())) return nullptr;
    auto channel = std::make_unique<TChannel>(width, height);
    if (!channel->IsValid()) return nullptr;
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(channel->GetPixelPtr(0, y), data.data() + static_cast<size_t>(width) * y,
                  static_cast<size_t>(width));
    return channel;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

SToneReference ToneReferenceOf(const SRecordedPattern& p) {
  SToneReference r{};
  r.key = p.key;
  r.kind = static_cast<int16_t>(p.kind);
  r.toneValue = p.kind == 1 ? p.toneValue : 0;
  r.flags = static_cast<uint16_t>((p.inverted ? 0x01 : 0) | (p.kind == 1 ? 0x02 : 0));
  r.scale = static_cast<int16_t>(p.scale);
  r.offsetX = p.offsetX;
  r.offsetY = p.offsetY;
  return r;
}

SShapeReference ShapeReferenceOf(uint32_t key, int16_t scale, int32_t width, int32_t height) {
  SShapeReference r{};
  r.key = key;
  r.scale = scale;
  r.width = width;
  r.height = height;
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Recording

bool CEventMngr::writeTone() {
  if (state != kEventRecording) return true;
  if (!isSnapshotValid(kStFlagWord)) {
    DebugOut("event recorder: tone written before the flag word");
    return false;
  }
  if (!(records.flagWord.flags & kFlagTone)) return true;
  if (!tones) return missingSource("tone set");
  SRecordedPattern p;
  if (!tones->currentPattern(p)) return missingSource("current tone");
  if (p.kind > 1) return false;
  const SToneReference reference = ToneReferenceOf(p);
  if (toneDict.contains(p.key))
    return writeStateRecord(kStToneReference, &reference, sizeof reference) != StateWrite::kFailed;

  SToneDefinition def{};
  def.key = p.key;
  def.bitsPerPixel = 8;
  def.kind = p.kind;
  const uint32_t nameLength = static_cast<uint32_t>(std::min<size_t>(p.name.size(), kMaxNameLength));
  def.nameLength = static_cast<uint16_t>(nameLength);
  def.one = 1;
  def.flags =
      static_cast<uint16_t>((p.kind == 0 ? kToneFlagImagePattern : 0) | (p.inverted ? kToneFlagInverted : 0) |
                            (p.kind == 1 && p.toneSwitch ? kToneFlagSwitch : 0));
  def.scale = p.scale;
  def.offsetX = p.offsetX;
  def.offsetY = p.offsetY;
  if (p.tile && p.tile->IsValid()) {
    def.tileWidth = p.tile->Width();
    def.tileHeight = p.tile->Height();
  }
  if (p.kind == 1)
    for (int i = 0; i < 6; ++i) def.toneAttributes[i] = p.toneAttributes[i];
  if (nameLength) std::memcpy(def.name, p.name.data(), nameLength);
  std::vector<uint8_t> packed;
  uint32_t packedLength = 0;
  if (p.kind == 0) {
    if (!p.tile || !PackPicture(*p.tile, packed, packedLength)) return false;
    def.tileBytes = def.tileWidth * def.tileHeight;
    def.packedLength = static_cast<int32_t>(packedLength);
    def.n = static_cast<int32_t>(packed.size());
  }
  const uint32_t start = writePos();
  if (!appendPacket(kPcState, kStToneDefinition, &def, sizeof def, packed.data(),
                    static_cast<uint32_t>(packed.size())))
    return false;
  // The key and the reference snapshot follow only a definition that is in the stream; a key
  // that cannot be kept takes the definition back, or the next use would define it twice.
  if (!toneDict.setAt(p.key, start)) {
    writePos_ = start;
    return false;
  }
  records.toneReference = reference;
  setSnapshotValid(kStToneReference, true);
  return true;
}

bool CEventMngr::writeGradientColors(bool force) {
  if (state != kEventRecording) return true;
  if (!force) {
    if (!isSnapshotValid(kStFlagWord)) {
      DebugOut("event recorder: gradient colours written before the flag word");
      return false;
    }
    if (!(records.flagWord.flags & kFlagGradation)) return true;
  }
  if (!document_) return missingSource("document");
  const CColorSlotGroup* slots = document_->gradationSlots();
  const uint8_t* data = nullptr;
  int32_t bytes = 0;
  if (!slots || !slots->GetData(data, bytes) || bytes <= 0 || bytes % kColorSlotBytes != 0 || bytes > 0xFFFF)
    return missingSource("gradient colour");
  if (!force && isSnapshotValid(kStGradColors)) {
    const uint8_t* last = nullptr;
    int32_t lastBytes = 0;
    if (slotGroup.GetData(last, lastBytes) && lastBytes == bytes &&
        std::memcmp(last, data, static_cast<size_t>(bytes)) == 0)
      return true;
  }
  SGradOptionsRecord head = GradOptionsRecordOf(document_->gradationOptions());
  head.slotBytes = static_cast<uint16_t>(bytes);
  if (!appendPacket(kPcState, kStGradColors, &head, sizeof head, data, static_cast<uint32_t>(bytes)))
    return false;
  // What was recorded becomes the group compared next time; a copy that fails leaves the bit
  // clear so that the next use writes the colours again.
  bool copied = true;
  slotGroup.Reset(16);
  for (int32_t i = 0; copied && i <= slots->Highest(); ++i) {
    const SColorSlot* slot = slots->GetSlot(i);
    copied = slot && slotGroup.SetSlot(i, *slot);
  }
  setSnapshotValid(kStGradColors, copied);
  return true;
}

bool CEventMngr::writePenShape() {
  if (state != kEventRecording) return true;
  if (!isSnapshotValid(kStNibShape)) {
    DebugOut("event recorder: pen shape written before the nib shape");
    return false;
  }
  if (!document_) return missingSource("document");
  SRecordedNib nib;
  if (!document_->imageNib(nib) || !nib.channel || !nib.channel->IsValid() || nib.channel->Width() <= 0 ||
      nib.channel->Height() <= 0)
    return true;  // not an image nib: nothing to record
  const TChannel& channel = *nib.channel;
  const SShapeReference reference = ShapeReferenceOf(nib.key, nib.scale, channel.Width(), channel.Height());
  if (shapeDict.contains(nib.key))
    return writeStateRecord(kStShapeReference, &reference, sizeof reference) != StateWrite::kFailed;

  std::vector<uint8_t> packed;
  uint32_t packedLength = 0;
  if (!PackPicture(channel, packed, packedLength)) return false;
  SShapeDefinition def{};
  def.key = nib.key;
  def.scale = nib.scale;
  def.nibValue1 = nib.nibValue1;
  def.nibValue2 = nib.nibValue2;
  def.width = channel.Width();
  def.height = channel.Height();
  def.channelBytes = channel.Width() * channel.Height();
  def.packedLength = static_cast<int32_t>(packedLength);
  def.n = static_cast<int32_t>(packed.size());
  const uint32_t start = writePos();
  if (!appendPacket(kPcState, kStShapeDefinition, &def, sizeof def, packed.data(),
                    static_cast<uint32_t>(packed.size())))
    return false;
  if (!shapeDict.setAt(nib.key, start)) {
    writePos_ = start;
    return false;
  }
  records.shapeReference = reference;
  setSnapshotValid(kStShapeReference, true);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Playback

bool CEventMngr::playedResourcesMissing() const {
  DebugOut("event player: no tone set or pen shapes to rebuild the recorded pictures into");
  return false;
}

bool CEventMngr::playToneDefinition(const SPacketFrame& frame) {
  SToneDefinition def;
  if (frame.length < static_cast<int32_t>(sizeof def) ||
      readSpan(frame.payloadPos, &def, sizeof def) != sizeof def)
    return false;
  const int32_t n = def.n;
  if (n < 0 || frame.length - static_cast<int32_t>(sizeof def) != n) return false;
  if (def.nameLength > kMaxNameLength || def.kind > 1) return false;
  const uint32_t key = def.key;
  if (toneDict.contains(key)) return false;  // a key is defined once
  if (!played_) return playedResourcesMissing();
  std::unique_ptr<TChannel> tile;
  if (n != 0) {
    if (def.bitsPerPixel != 8) return false;
    tile = UnpackPicture(*this, frame.payloadPos + sizeof def, n, def.packedLength, def.tileWidth, def.tileHeight,
                         def.tileBytes);
    if (!tile) return false;
  }
  const bool inverted = (def.flags & kToneFlagInverted) != 0;
  int32_t index;
  if (def.kind == 0) {
    index = played_->addImagePattern(std::move(tile), def.scale, def.offsetX, def.offsetY);
  } else {
    int32_t attributes[6];
    for (int i = 0; i < 6; ++i) attributes[i] = def.toneAttributes[i];
    index = played_->addScreenTone(attributes, (def.flags & kToneFlagSwitch) != 0, std::move(tile));
  }
  if (index < 0) return false;
  if (!played_->setPatternPlacement(index, def.offsetX, def.offsetY, def.scale, inverted) ||
      !played_->setPatternName(index, std::string_view(def.name, def.nameLength)) ||
      played_->setCurrentPattern(index) != index)
    return false;
  if (!toneDict.setAt(key, static_cast<uint32_t>(index))) return false;
  SToneReference reference{};
  reference.key = key;
  reference.kind = static_cast<int16_t>(def.kind);
  reference.flags = static_cast<uint16_t>((inverted ? 0x01 : 0) | (def.kind == 1 ? 0x02 : 0));
  reference.scale = static_cast<int16_t>(static_cast<int32_t>(def.scale));
  reference.offsetX = def.offsetX;
  reference.offsetY = def.offsetY;
  records.toneReference = reference;
  setSnapshotValid(kStToneReference, true);
  return true;
}

bool CEventMngr::playToneReference(const SPacketFrame& frame) {
  SToneReference reference;
  if (frame.length != static_cast<int32_t>(sizeof reference) ||
      readSpan(frame.payloadPos, &reference, sizeof reference) != sizeof reference)
    return false;
  records.toneReference = reference;
  setSnapshotValid(kStToneReference, true);
  uint32_t index = 0;
  if (!toneDict.lookup(reference.key, index)) return false;
  if (!played_) return playedResourcesMissing();
  const int32_t i = static_cast<int32_t>(index);
  return played_->setPatternPlacement(i, reference.offsetX, reference.offsetY, reference.scale,
                                      (reference.flags & 0x01) != 0) &&
         played_->setCurrentPattern(i) == i;
}

bool CEventMngr::playGradientColors(const SPacketFrame& frame) {
  SGradOptionsRecord head;
  if (frame.length < static_cast<int32_t>(sizeof head) ||
      readSpan(frame.payloadPos, &head, sizeof head) != sizeof head)
    return false;
  const uint32_t n = head.slotBytes;
  if (n == 0 || n % kColorSlotBytes != 0 || frame.length != static_cast<int32_t>(sizeof head + n)) return false;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (readSpan(frame.payloadPos + sizeof head, bytes.data(), n) != n) return false;
  slotGroup.Reset(16);
  for (uint32_t i = 0; i < n / kColorSlotBytes; ++i)
    if (!slotGroup.SetSlot(static_cast<int32_t>(i), ColorSlotFromBytes(bytes.data() + i * 24))) return false;
  const bool ok = slotGroup.Normalize();
  if (ok) setSnapshotValid(kStGradColors, true);
  return ok;
}

bool CEventMngr::playShapeDefinition(const SPacketFrame& frame) {
  SShapeDefinition def;
  if (frame.length < static_cast<int32_t>(sizeof def) ||
      readSpan(frame.payloadPos, &def, sizeof def) != sizeof def)
    return false;
  const int32_t n = def.n;
  if (n < 0 || frame.length - static_cast<int32_t>(sizeof def) != n) return false;
  const uint32_t key = def.key;
  if (shapeDict.contains(key)) return false;
  if (!played_) return playedResourcesMissing();
  std::unique_ptr<TChannel> channel;
  if (n != 0) {
    channel = UnpackPicture(*this, frame.payloadPos + sizeof def, n, def.packedLength, def.width, def.height,
                            def.channelBytes);
    if (!channel) return false;
  }
  try {
    shapeImages.push_back(std::move(channel));
  } catch (const std::bad_alloc&) {
    return false;
  }
  const uint32_t index = static_cast<uint32_t>(shapeImages.size() - 1);
  if (!shapeDict.setAt(key, index)) {
    shapeImages.pop_back();
    return false;
  }
  if (shapeImages.back() && !played_->rebuildImageShape(*shapeImages.back(), def.scale, key)) return false;
  records.shapeReference = ShapeReferenceOf(key, def.scale, def.width, def.height);
  setSnapshotValid(kStShapeReference, true);
  return true;
}

bool CEventMngr::playShapeReference(const SPacketFrame& frame) {
  SShapeReference reference;
  if (frame.length != static_cast<int32_t>(sizeof reference) ||
      readSpan(frame.payloadPos, &reference, sizeof reference) != sizeof reference)
    return false;
  records.shapeReference = reference;
  setSnapshotValid(kStShapeReference, true);
  uint32_t index = 0;
  if (!shapeDict.lookup(reference.key, index)) return false;
  if (index >= shapeImages.size() || !shapeImages[index]) return false;
  if (!played_) return playedResourcesMissing();
  return played_->rebuildImageShape(*shapeImages[index], reference.scale, reference.key);
}

bool CEventMngr::playUsesImageShape() const {
  return isSnapshotValid(kStNibShape) && records.nibShape.imageNib != 0 && played_ && played_->imageShapeValid();
}

void CEventMngr::clearDictionaries() {
  toneDict.removeAll();
  shapeDict.removeAll();
  shapeImages.clear();
}

}  // namespace tf
