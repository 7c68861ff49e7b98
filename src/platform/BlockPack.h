// The block pack codec: zlib pieces with their lengths (BlockPacker, packing and unpacking).
#pragma once
// The block pack codec of the image library: event blocks, tone tiles, nib channels and
// selection channels are stored packed. One packed piece is one complete zlib stream
// (RFC 1950) made at a fixed level; its length travels beside it, and unpacking checks that
// the stream ends with exactly the expected number of bytes inside the packed length.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tf {

class Stream;

// zlib level of every packed piece: the fastest, since whole recordings are packed on every
// document save (about 5x faster than the default level for some 20% more bytes).
constexpr int kBlockPackLevel = 1;
// Level for bytes known not to pack (noise): stored as they are, still one zlib stream, at the
// speed of a copy.
constexpr int kBlockStoreLevel = 0;

// Where packed bytes go: answers whether the whole piece was taken.
class PackSink {
 public:
  virtual ~PackSink() = default;
  virtual bool Write(const void* data, size_t size) = 0;
};

// Packs length bytes into the sink. Answers the packed length (at least 1), or 0 when the
// sink refused a write, memory ran out or the packed length would not fit 32 bits.
uint32_t BlockPack(const void* source, size_t length, PackSink& sink, int level = kBlockPackLevel);

// Packs length bytes into a stream at its position (the stream's writes must take every byte).
uint32_t BlockPack(const void* source, size_t length, Stream& stream, int level = kBlockPackLevel);

// Packs length bytes into a growable buffer, which is resized to the packed length.
// Answers the packed length, or 0 on failure (the buffer then holds nothing useful).
uint32_t BlockPack(const void* source, size_t length, std::vector<uint8_t>& buffer);

// Packs piece after piece with one zlib state, allocated once: each piece is a complete stream,
// as the functions above make it. For writers of many pieces (tiled stores, event blocks). The
// answers are those of the functions above.
class BlockPacker {
 public:
  BlockPacker();
  ~BlockPacker();
  BlockPacker(const BlockPacker&) = delete;
  BlockPacker& operator=(const BlockPacker&) = delete;

  uint32_t Pack(const void* source, size_t length, PackSink& sink, int level = kBlockPackLevel);
  uint32_t Pack(const void* source, size_t length, Stream& stream, int level = kBlockPackLevel);
  uint32_t Pack(const void* source, size_t length, std::vector<uint8_t>& buffer, int level = kBlockPackLevel);

 private:
  class Deflater;
  Deflater* Ready(int level);

  std::unique_ptr<Deflater> deflater_;
  std::vector<uint8_t> out_;
};

// Unpacks packedLength bytes into destination. True only when they hold one intact stream
// whose data is exactly destinationSize bytes; nothing beyond packedLength is read. Bytes after
// the end of the stream (padding) are ignored. On false the destination content is undefined.
bool BlockUnpack(const void* packed, size_t packedLength, void* destination, size_t destinationSize);

}  // namespace tf
