// The packed-image chunk TTNL: thumbnails and small images of preset files.
#pragma once
// The packed-image chunk TTNL: thumbnails of documents and event files and the small images of
// preset files. A chunk is the 8-byte header, the 40-byte info below, the packed pixel bytes
// (kind 2: passed through the byte pass) with their tail, and zero padding to a multiple of 4.
#include <cstdint>
#include <memory>
#include <vector>

#include "raster/ChunkStream.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class Stream;

// Image kinds (the low byte counts).
enum ImageChunkKind : uint16_t {
  kImagePlain = 1,
  kImagePassed = 2,  // packed bytes through the byte pass
};

// Content codes.
enum ImageContent : uint16_t {
  kContentPicture = 0,   // 32-bit picture: document and event-file thumbnails
  kContentChannel = 2,   // 8-bit channel: tones
  kContentIcon = 3,      // 32-bit icon: brush sets
  kContentChannel4 = 4,  // 8-bit channel: nibs and patterns
};

// Largest image side a chunk may hold.
inline constexpr int32_t kMaxImageChunkSide = 10000;
// Pieces of the byte pass.
inline constexpr int32_t kBytePassPiece = 16384;

// The info after a TTNL chunk header; little-endian on disk, offsets in the comments.
struct SImageChunkInfo {
  uint16_t kind = kImagePlain;  // 0
  uint16_t contentCode = 0;     // 2
  uint8_t groupSize = 0;        // 4: byte pass group size (0, 1: no reversal)
  uint8_t xorByte = 0;          // 5: byte pass XOR byte (0: no XOR step)
  uint8_t stride = 0;           // 6: byte pass stride
  uint8_t tail = 0;             // 7: filler bytes after the packed bytes
  int32_t sourceWidth = 0;      // 8: what the image shows (such as the canvas)
  int32_t sourceHeight = 0;     // 12
  int32_t width = 0;            // 16: image size
  int32_t height = 0;           // 20
  int32_t packedLength = 0;     // 24: tail included
  int32_t unpackedLength = 0;   // 28: the image's pixel bytes
  uint8_t reserved[8] = {};     // 32: zero
};
static_assert(sizeof(SImageChunkInfo) == 40);
inline constexpr int32_t kImageChunkInfoBytes = 40;
// Header and info.
inline constexpr int32_t kImageChunkHeadBytes = kChunkHeaderBytes + kImageChunkInfoBytes;

void EncodeImageChunkInfo(const SImageChunkInfo& info, uint8_t* out);
SImageChunkInfo DecodeImageChunkInfo(const uint8_t* in);

// Bytes per pixel of a content code: 1 for channels (2 and 4), else 4.
int32_t ImageContentBytesPerPixel(uint16_t contentCode);

// The byte pass of kind 2 over count bytes in memory, in pieces of 16384 bytes, each restarting
// its groups and XOR positions. Applying reverses whole groups, then XORs every (stride + 1)th
// byte from the piece's start with the complement of the XOR byte; undoing does the two steps in
// the other order. Undo(Apply(x)) == x for every parameter set.
void ApplyBytePass(uint8_t* bytes, size_t count, uint8_t groupSize, uint8_t xorByte, uint8_t stride);
void UndoBytePass(uint8_t* bytes, size_t count, uint8_t groupSize, uint8_t xorByte, uint8_t stride);

// Writes a TTNL chunk of the info's unpackedLength bytes of pixels (rows as the image keeps
// them: 32-bit rows top to bottom, channel rows bottom to top); the packed length is filled in
// here. 14 for a kind other than 1 or 2; 17 when the sizes are not ones a reader accepts; 1, 8.
uint8_t WriteImageChunk(Stream& stream, const SImageChunkInfo& info, const void* pixels);
// The same under the guard rule.
uint8_t WriteImageChunkGuarded(Stream& stream, const SImageChunkInfo& info, const void* pixels);
// A 32-bit picture (content code 0): kind 1, or scrambled kind 2 with group size 4, XOR byte
// 0x6B, stride 3; under the guard rule.
uint8_t WritePictureChunk(Stream& stream, const SSize& sourceSize, const TMTC& image, bool scrambled);

// One TTNL chunk read from the position: the info, the unpacked bytes (at least the unpacked
// length) and the chunk's total length (8 + size); the stream is left at the next chunk.
// Codes: 9, 16, 14, 17 (sizes that do not fit), 1, 18 (bytes that do not unpack).
struct SImageChunkData {
  SImageChunkInfo info;
  std::vector<uint8_t> pixels;
  int64_t chunkLength = 0;
};
uint8_t ReadImageChunkData(Stream& stream, SImageChunkData& data);
// A new 32-bit image of the chunk's size receiving the unpacked bytes.
uint8_t ReadImageChunk(Stream& stream, std::unique_ptr<TMTC>& image);
// A new channel of the chunk's size; content codes 2 and 4 only (else 15).
uint8_t ReadChannelChunk(Stream& stream, SImageChunkInfo& info, std::unique_ptr<TChannel>& channel,
                         int64_t& chunkLength);
// Walks the chunks from the position to the end and reads the first TTNL of content code 0;
// 0 without an image when there is none. 9, 10, 11 while walking.
uint8_t ReadThumbnail(Stream& stream, std::unique_ptr<TMTC>& image);

}  // namespace tf
