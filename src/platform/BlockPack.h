// The block pack codec: packing and unpacking blocks as zlib streams.
#pragma once
// The block pack codec of the image library: event blocks, tone tiles, nib channels and
// selection channels are stored packed. One packed piece is one complete zlib stream
// (RFC 1950) made at a fixed level; its length travels beside it, and unpacking checks that
// the stream ends with exactly the expected number of bytes inside the packed length.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tf {

class Stream;

// zlib level of every packed piece: the fastest, since whole recordings are packed on every
// document save (about 5x faster than the default level for some 20% more bytes).
constexpr int kBlockPackLevel = 1;

// Where packed bytes go: answers whether the whole piece was taken.
class PackSink {
 public:
  virtual ~PackSink() = default;
  virtual bool Write(const void* data, size_t size) = 0;
};

// Packs length bytes into the sink. Answers the packed length (at least 1), or 0 when the
// sink refused a write, memory ran out or the packed length would not fit 32 bits.
uint32_t BlockPack(const void* source, size_t length, PackSink& sink);

// Packs length bytes into a stream at its position (the stream's writes must take every byte).
uint32_t BlockPack(const void* source, size_t length, Stream& stream);

// Packs length bytes into a growable buffer, which is resized to the packed length.
// Answers the packed length, or 0 on failure (the buffer then holds nothing useful).
uint32_t BlockPack(const void* source, size_t length, std::vector<uint8_t>& buffer);

// Unpacks packedLength bytes into destination. True only when they hold one intact stream
// whose data is exactly destinationSize bytes; nothing beyond packedLength is read. Bytes after
// the end of the stream (padding) are ignored. On false the destination content is undefined.
bool BlockUnpack(const void* packed, size_t packedLength, void* destination, size_t destinationSize);

}  // namespace tf
