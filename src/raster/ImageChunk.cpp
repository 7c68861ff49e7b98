#include "raster/ImageChunk.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/BlockPack.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/Stream.h"

namespace tf {

void EncodeImageChunkInfo(const SImageChunkInfo& info, uint8_t* out) {
  StoreU16(out + 0, info.kind);
  StoreU16(out + 2, info.contentCode);
  out[4] = info.groupSize;
  out[5] = info.xorByte;
  out[6] = info.stride;
  out[7] = info.tail;
  StoreI32(out + 8, info.sourceWidth);
  StoreI32(out + 12, info.sourceHeight);
  StoreI32(out + 16, info.width);
  StoreI32(out + 20, info.height);
  StoreI32(out + 24, info.packedLength);
  StoreI32(out + 28, info.unpackedLength);
  std::memcpy(out + 32, info.reserved, sizeof info.reserved);
}

SImageChunkInfo DecodeImageChunkInfo(const uint8_t* in) {
  SImageChunkInfo info;
  info.kind = LoadU16(in + 0);
  info.contentCode = LoadU16(in + 2);
  info.groupSize = in[4];
  info.xorByte = in[5];
  info.stride = in[6];
  info.tail = in[7];
  info.sourceWidth = LoadI32(in + 8);
  info.sourceHeight = LoadI32(in + 12);
  info.width = LoadI32(in + 16);
  info.height = LoadI32(in + 20);
  info.packedLength = LoadI32(in + 24);
  info.unpackedLength = LoadI32(in + 28);
  std::memcpy(info.reserved, in + 32, sizeof info.reserved);
  return info;
}

int32_t ImageContentBytesPerPixel(uint16_t contentCode) {
  return contentCode == kContentChannel || contentCode == kContentChannel4 ? 1 : 4;
}

// ---------------------------------------------------------------------------------------------
// Byte pass

namespace {

void ReverseGroups(uint8_t* piece, size_t count, uint8_t groupSize) {
  if (groupSize < 2) return;
  for (size_t at = 0; at + groupSize <= count; at += groupSize) std::reverse(piece + at, piece + at + groupSize);
}

void XorEvery(uint8_t* piece, size_t count, uint8_t xorByte, uint8_t stride) {
  if (xorByte == 0) return;
  const uint8_t mask = static_cast<uint8_t>(~xorByte);
  const size_t step = size_t{stride} + 1;
  for (size_t at = 0; at < count; at += step) piece[at] ^= mask;
}

bool KindIsKnown(uint16_t kind) {
  const uint8_t low = static_cast<uint8_t>(kind);
  return low == kImagePlain || low == kImagePassed;
}
bool KindIsPassed(uint16_t kind) { return static_cast<uint8_t>(kind) == kImagePassed; }

// The image fields every writer and reader checks: a size of 1 to 10000 pixels a side and an
// unpacked length of 1 to the image's pixel bytes (64-bit product).
bool ImageSizesFit(const SImageChunkInfo& info) {
  if (info.width < 1 || info.width > kMaxImageChunkSide || info.height < 1 || info.height > kMaxImageChunkSide)
    return false;
  const int64_t pixelBytes = int64_t{info.width} * info.height * ImageContentBytesPerPixel(info.contentCode);
  return info.unpackedLength >= 1 && info.unpackedLength <= pixelBytes;
}

// A reader's check on top: every writer packs the whole picture, so its pixel bytes lie within
// what the packed bytes can unpack to. A picture larger than that (a few packed bytes claiming
// a 10000 x 10000 picture) is refused before anything of its size is allocated.
bool ImageFitsPackedBytes(const SImageChunkInfo& info) {
  const int64_t pixelBytes = int64_t{info.width} * info.height * ImageContentBytesPerPixel(info.contentCode);
  return info.packedLength >= 1 &&
         static_cast<uint64_t>(pixelBytes) <= MaxUnpackedLength(static_cast<uint64_t>(info.packedLength));
}

}  // namespace

void ApplyBytePass(uint8_t* bytes, size_t count, uint8_t groupSize, uint8_t xorByte, uint8_t stride) {
  for (size_t at = 0; at < count; at += kBytePassPiece) {
    const size_t n = std::min<size_t>(kBytePassPiece, count - at);
    ReverseGroups(bytes + at, n, groupSize);
    XorEvery(bytes + at, n, xorByte, stride);
  }
}

void UndoBytePass(uint8_t* bytes, size_t count, uint8_t groupSize, uint8_t xorByte, uint8_t stride) {
  for (size_t at = 0; at < count; at += kBytePassPiece) {
    const size_t n = std::min<size_t>(kBytePassPiece, count - at);
    XorEvery(bytes + at, n, xorByte, stride);
    ReverseGroups(bytes + at, n, groupSize);
  }
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

bool WriteImageHead(Stream& stream, uint32_t size, const SImageChunkInfo& info) {
  uint8_t head[kImageChunkHeadBytes];
  EncodeChunkHeader(SChunkHeader{kChunkImage, size}, head);
  EncodeImageChunkInfo(info, head + kChunkHeaderBytes);
  return stream.WriteExact(head, sizeof head);
}

}  // namespace

uint8_t WriteImageChunk(Stream& stream, const SImageChunkInfo& given, const void* pixels) {
  if (!KindIsKnown(given.kind)) return kFileImageKind;
  if (!ImageSizesFit(given) || pixels == nullptr) {
    DebugOutF("WriteImageChunk: image %dx%d, unpacked length %d refused", given.width, given.height,
              given.unpackedLength);
    return kFileChunkSize;
  }
  SImageChunkInfo info = given;
  const int64_t start = stream.Position();
  if (start < 0) return kFileSeekFailed;
  info.packedLength = 0;
  if (!WriteImageHead(stream, kImageChunkInfoBytes, info)) return kFileShortWrite;

  const size_t length = static_cast<size_t>(info.unpackedLength);
  uint64_t packed = 0;
  if (KindIsPassed(info.kind)) {
    // The pass runs over the packed bytes in memory before they are written.
    std::vector<uint8_t> buffer;
    packed = BlockPack(pixels, length, buffer);
    if (packed == 0) return kFileNoMemory;
    ApplyBytePass(buffer.data(), buffer.size(), info.groupSize, info.xorByte, info.stride);
    if (!stream.WriteExact(buffer.data(), static_cast<int64_t>(buffer.size()))) return kFileShortWrite;
  } else {
    packed = BlockPack(pixels, length, stream);
    if (packed == 0) return kFileShortWrite;
  }
  // Tail filler bytes count in the packed length.
  static const uint8_t kZeros[256] = {};
  if (!stream.WriteExact(kZeros, info.tail)) return kFileShortWrite;
  packed += info.tail;
  const int32_t padding = WriteChunkPadding(stream);
  if (padding < 0) return kFileShortWrite;
  if (packed > static_cast<uint64_t>(INT32_MAX - kImageChunkInfoBytes - 4)) return kFileChunkSize;

  info.packedLength = static_cast<int32_t>(packed);
  const int64_t end = stream.Position();
  const uint32_t size = static_cast<uint32_t>(kImageChunkInfoBytes + packed + static_cast<uint32_t>(padding));
  if (end < 0 || !stream.SetPosition(start)) return kFileSeekFailed;
  if (!WriteImageHead(stream, size, info)) return kFileShortWrite;
  if (!stream.SetPosition(end)) return kFileSeekFailed;
  return kFileOk;
}

uint8_t WriteImageChunkGuarded(Stream& stream, const SImageChunkInfo& info, const void* pixels) {
  return WriteGuarded(stream, [&] { return WriteImageChunk(stream, info, pixels); });
}

uint8_t WritePictureChunk(Stream& stream, const SSize& sourceSize, const TMTC& image, bool scrambled) {
  return WriteGuarded(stream, [&]() -> uint8_t {
    if (!image.IsValid()) return kFileChunkSize;
    SImageChunkInfo info;
    info.contentCode = kContentPicture;
    if (scrambled) {
      info.kind = kImagePassed;
      info.groupSize = 4;
      info.xorByte = 0x6B;
      info.stride = 3;
    }
    info.sourceWidth = sourceSize.width;
    info.sourceHeight = sourceSize.height;
    info.width = image.Width();
    info.height = image.Height();
    int64_t bytes = 0;
    if (!CDibCore::CheckedImageBytes(image.Width(), image.Height(), 4, bytes)) return kFileChunkSize;
    info.unpackedLength = static_cast<int32_t>(bytes);
    // Rows go top to bottom; an image kept bottom-up (a display image) is gathered first.
    if (image.IsTopDown()) return WriteImageChunk(stream, info, image.Bits());
    std::vector<uint8_t> rows(static_cast<size_t>(bytes));
    const size_t rowBytes = size_t{4} * static_cast<size_t>(image.Width());
    for (int32_t y = 0; y < image.Height(); ++y)
      std::memcpy(rows.data() + rowBytes * static_cast<size_t>(y), image.GetPixelPtr(0, y), rowBytes);
    return WriteImageChunk(stream, info, rows.data());
  });
}

// ---------------------------------------------------------------------------------------------
// Reading

uint8_t ReadImageChunkData(Stream& stream, SImageChunkData& data) {
  uint8_t head[kImageChunkHeadBytes];
  if (!stream.ReadExact(head, sizeof head)) return kFileShortRead;
  const SChunkHeader header = DecodeChunkHeader(head);
  if (header.id != kChunkImage) return kFileChunkId;
  const SImageChunkInfo info = DecodeImageChunkInfo(head + kChunkHeaderBytes);
  if (!KindIsKnown(info.kind)) return kFileImageKind;

  // Every length is checked against the chunk, the image and the bytes left before anything is
  // allocated.
  const int64_t body = int64_t{header.size} - kImageChunkInfoBytes;
  if (body < 0) return kFileChunkSize;
  if (body > stream.Remaining()) return kFileShortRead;
  if (info.packedLength < 1 || info.packedLength > body || info.tail > info.packedLength ||
      !ImageSizesFit(info) || !ImageFitsPackedBytes(info) ||
      static_cast<uint64_t>(info.unpackedLength) > MaxUnpackedLength(static_cast<uint64_t>(info.packedLength)))
    return kFileChunkSize;

  std::vector<uint8_t> packed;
  std::vector<uint8_t> pixels;
  try {
    packed.resize(static_cast<size_t>(info.packedLength));
    pixels.resize(static_cast<size_t>(info.unpackedLength));
  } catch (const std::bad_alloc&) {
    return kFileNoMemory;
  }
  if (!stream.ReadExact(packed.data(), info.packedLength)) return kFileShortRead;
  if (!SkipChunkBytes(stream, body - info.packedLength)) return kFileSeekFailed;

  const size_t transformed = static_cast<size_t>(info.packedLength - info.tail);
  if (KindIsPassed(info.kind))
    UndoBytePass(packed.data(), transformed, info.groupSize, info.xorByte, info.stride);
  if (transformed == 0 || !BlockUnpack(packed.data(), transformed, pixels.data(), pixels.size()))
    return kFileImageData;

  data.info = info;
  data.pixels = std::move(pixels);
  data.chunkLength = int64_t{header.size} + kChunkHeaderBytes;
  return kFileOk;
}

uint8_t ReadImageChunk(Stream& stream, std::unique_ptr<TMTC>& image) {
  SImageChunkData data;
  if (uint8_t code = ReadImageChunkData(stream, data)) return code;
  auto result = std::make_unique<TMTC>(data.info.width, data.info.height);
  if (!result->IsValid()) return kFileNoMemory;
  const size_t bytes = std::min(static_cast<size_t>(result->GetImageSize()), data.pixels.size());
  // A new image is zero: the bytes past the unpacked ones stay 0.
  std::memcpy(result->Bits(), data.pixels.data(), bytes);
  image = std::move(result);
  return kFileOk;
}

uint8_t ReadChannelChunk(Stream& stream, SImageChunkInfo& info, std::unique_ptr<TChannel>& channel,
                         int64_t& chunkLength) {
  SImageChunkData data;
  if (uint8_t code = ReadImageChunkData(stream, data)) return code;
  info = data.info;
  chunkLength = data.chunkLength;
  if (info.contentCode != kContentChannel && info.contentCode != kContentChannel4) return kFileContentCode;
  auto result = std::make_unique<TChannel>(info.width, info.height);
  if (!result->IsValid()) return kFileNoMemory;
  const size_t bytes = std::min(static_cast<size_t>(result->GetImageSize()), data.pixels.size());
  // A new image is zero: the bytes past the unpacked ones stay 0.
  std::memcpy(result->Bits(), data.pixels.data(), bytes);
  channel = std::move(result);
  return kFileOk;
}

uint8_t ReadThumbnail(Stream& stream, std::unique_ptr<TMTC>& image) {
  const int64_t end = stream.Size();
  for (;;) {
    const int64_t start = stream.Position();
    if (start < 0 || end < 0) return kFileSeekFailed;
    if (start >= end) return kFileOk;  // no picture
    SChunkHeader header;
    if (!ReadChunkHeader(stream, header)) return kFileShortRead;
    if (header.id == kChunkImage) {
      uint8_t bytes[kImageChunkInfoBytes];
      if (!stream.ReadExact(bytes, sizeof bytes)) return kFileShortRead;
      if (DecodeImageChunkInfo(bytes).contentCode == kContentPicture) {
        if (!stream.SetPosition(start)) return kFileSeekFailed;
        return ReadImageChunk(stream, image);
      }
    }
    const int64_t next = start + kChunkHeaderBytes + int64_t{header.size};
    if (next > end) return kFilePastEnd;
    if (!stream.SetPosition(next)) return kFileSeekFailed;
  }
}

}  // namespace tf
