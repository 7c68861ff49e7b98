#include "paint/ToneRecord.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "raster/ChunkStream.h"
#include "raster/ImageChunk.h"

namespace tf {

namespace {

// The name as stored: at most 0xFFFF code page 932 bytes.
size_t StoredNameLength(const std::string& name) { return Cp932FitLength(name, 0xFFFF); }

void BuildCommonBody(const CPat8& pattern, uint16_t kind, uint32_t flags, uint8_t out[kPatternBodyBytes]) {
  std::memset(out, 0, kPatternBodyBytes);
  StoreU16(out + 0, kPatternBodyTag);
  StoreU16(out + 2, kind);
  StoreU16(out + 4, static_cast<uint16_t>(StoredNameLength(pattern.Name())));
  StoreU16(out + 6, 1);
  if (pattern.Inverted()) flags |= kPatternFlagInverted;
  StoreU32(out + 8, flags);
  StoreI32(out + 12, pattern.Scale());
  StoreI32(out + 16, pattern.OffsetX());
  StoreI32(out + 20, pattern.OffsetY());
  StoreI32(out + 24, pattern.Width());
  StoreI32(out + 28, pattern.Height());
}

}  // namespace

void EncodeToneAttr(const SToneAttr& attr, uint8_t out[kToneAttrBytes], uint32_t& flags) {
  ToneAttrToBytes(attr, out);
  flags = (flags & ~kPatternFlagSwitch) | (attr.toneSwitch != 0 ? kPatternFlagSwitch : 0);
}

void DecodeToneAttr(const uint8_t in[kToneAttrBytes], uint32_t flags, SToneAttr& attr) {
  ToneAttrFromBytes(attr, in);
  attr.toneSwitch = (flags & kPatternFlagSwitch) != 0 ? 1 : 0;
}

void BuildPatternRecordBody(const CPat8& pattern, uint8_t out[kPatternBodyBytes]) {
  BuildCommonBody(pattern, kPatternPlain, kPatternFlagPlain, out);
}

void BuildToneRecordBody(const CPat8Tone& tone, uint8_t out[kPatternBodyBytes]) {
  uint32_t flags = 0;
  uint8_t attr[kToneAttrBytes];
  EncodeToneAttr(tone.Attr(), attr, flags);
  BuildCommonBody(tone, kPatternTone, flags, out);
  std::memcpy(out + 40, attr, kToneAttrBytes);
}

uint8_t WritePatternRecord(Stream& stream, const CPat8& pattern) {
  const TChannel& tile = pattern.Tile();
  if (!tile.IsValid()) return kFileChunkSize;
  uint8_t body[kPatternBodyBytes];
  const bool tone = pattern.Kind() == kPatternTone;
  if (tone)
    BuildToneRecordBody(static_cast<const CPat8Tone&>(pattern), body);
  else
    BuildPatternRecordBody(pattern, body);
  const size_t nameLength = StoredNameLength(pattern.Name());
  const uint32_t padding = ChunkPadding(nameLength);
  if (!WriteChunkHeader(stream, SChunkHeader{kPatternRecordId,
                                             static_cast<uint32_t>(kPatternBodyBytes + nameLength + padding)}))
    return kFileShortWrite;
  if (!stream.WriteExact(body, sizeof body)) return kFileShortWrite;
  if (!stream.WriteExact(pattern.Name().data(), static_cast<int64_t>(nameLength))) return kFileShortWrite;
  const uint8_t zeros[4] = {};
  if (!stream.WriteExact(zeros, padding)) return kFileShortWrite;

  SImageChunkInfo info;
  info.kind = kImagePassed;
  info.contentCode = tone ? kContentChannel : kContentChannel4;
  info.groupSize = 3;
  info.xorByte = kPatternImageXorByte;
  info.stride = 2;
  info.tail = 0;
  info.width = info.sourceWidth = tile.Width();
  info.height = info.sourceHeight = tile.Height();
  info.unpackedLength = tile.GetImageSize();
  return WriteImageChunk(stream, info, tile.Bits());
}

int64_t ScaledPatternSide(int32_t side, int32_t scale) { return int64_t{scale} * side / 100; }

uint8_t ReadPatternRecord(Stream& stream, uint32_t size, SPatternRecord& record, int64_t& imageChunkLength) {
  imageChunkLength = 0;
  const int64_t start = stream.Position();
  if (start < 0) return kFileSeekFailed;
  const int64_t recordEnd = start + int64_t{size};
  // The image chunk that follows the record: its length lets the caller step over it whatever
  // happens to the record.
  const int64_t streamSize = stream.Size();
  if (recordEnd + kChunkHeaderBytes <= streamSize && stream.SetPosition(recordEnd)) {
    SChunkHeader image;
    if (ReadChunkHeader(stream, image) && image.id == kChunkImage)
      imageChunkLength = std::min<int64_t>(kChunkHeaderBytes + int64_t{image.size}, streamSize - recordEnd);
  }
  if (!stream.SetPosition(start)) return kFileSeekFailed;

  if (size < static_cast<uint32_t>(kPatternBodyBytes)) return kToneRecordShort;
  uint8_t body[kPatternBodyBytes];
  if (!stream.ReadExact(body, sizeof body)) return kFileShortRead;
  const uint32_t nameLength = LoadU16(body + 4);
  if (nameLength > size - kPatternBodyBytes) return kToneRecordShort;
  if (uint8_t code = ReadChunkString(stream, nameLength, record.name)) return code;
  if (!stream.SetPosition(recordEnd)) return kFileSeekFailed;
  if (LoadU16(body + 0) != kPatternBodyTag) return kToneRecordField;
  if (LoadU16(body + 6) > 1) return kFileLevel;
  record.kind = LoadU16(body + 2);
  record.flags = LoadU32(body + 8);
  record.scale = LoadI32(body + 12);
  record.offsetX = LoadI32(body + 16);
  record.offsetY = LoadI32(body + 20);
  record.width = LoadI32(body + 24);
  record.height = LoadI32(body + 28);
  if (record.kind != kPatternPlain && record.kind != kPatternTone) return kToneRecordField;
  if (record.kind == kPatternTone) {
    InitToneAttr(record.attr);
    DecodeToneAttr(body + 40, record.flags, record.attr);
    record.attr.name = record.name;
    if (!IsBuildableToneAttr(record.attr, record.scale)) return kToneRecordField;
  }

  SImageChunkInfo info;
  std::unique_ptr<TChannel> tile;
  int64_t chunkLength = 0;
  if (uint8_t code = ReadChannelChunk(stream, info, tile, chunkLength)) return code;
  // A tile of no pixels or of a byte count other than width x height is refused: patterns take
  // remainders by its sides, and its scale range divides by them.
  if (info.width <= 0 || info.height <= 0 || info.width > kMaxPatternSide || info.height > kMaxPatternSide ||
      int64_t{info.unpackedLength} != int64_t{info.width} * info.height || !tile || !tile->IsValid())
    return kFileChunkSize;
  if (record.kind == kPatternPlain) {
    const int64_t w = ScaledPatternSide(info.width, record.scale);
    const int64_t h = ScaledPatternSide(info.height, record.scale);
    if (w < 1 || h < 1 || w > kMaxPatternSide || h > kMaxPatternSide) return kToneRecordField;
  }
  record.tile = std::move(tile);
  return kFileOk;
}

}  // namespace tf
