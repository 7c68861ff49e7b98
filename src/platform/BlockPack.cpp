#include "platform/BlockPack.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

#include "platform/Stream.h"

namespace tf {
namespace {

// zlib counts in uInt; longer inputs and outputs are handled in pieces of at most this size.
constexpr size_t kMaxPiece = size_t{1} << 30;
constexpr size_t kSinkPiece = 64 * 1024;

}  // namespace

// One zlib deflate state, started afresh for every piece (deflateReset), so that a packer that
// packs many pieces allocates its tables once.
class BlockPacker::Deflater {
 public:
  Deflater() { ok_ = deflateInit(&z_, kBlockPackLevel) == Z_OK; }
  ~Deflater() {
    if (ok_) deflateEnd(&z_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // A fresh stream at the level; false when zlib refuses.
  bool Reset(int level) {
    if (!ok_ || deflateReset(&z_) != Z_OK) return false;
    // A piece that failed half way may have left input behind.
    z_.next_in = nullptr;
    z_.avail_in = 0;
    if (level != level_) {
      if (deflateParams(&z_, level, Z_DEFAULT_STRATEGY) != Z_OK) return false;
      level_ = level;
    }
    return true;
  }

  // Runs the stream through; room() gives the next output room (pointer, size) or a null
  // pointer to stop; filled(bytes) takes the bytes of the last room. Answers the total.
  template <typename Room, typename Filled>
  uint64_t Run(const void* source, size_t length, Room&& room, Filled&& filled) {
    if (!ok_ || (!source && length > 0)) return 0;
    const auto* in = static_cast<const uint8_t*>(source);
    size_t left = length;
    int flush = Z_NO_FLUSH;
    if (left == 0) flush = Z_FINISH;
    for (;;) {
      if (z_.avail_in == 0 && left > 0) {
        size_t piece = std::min(left, kMaxPiece);
        z_.next_in = const_cast<Bytef*>(in);
        z_.avail_in = static_cast<uInt>(piece);
        in += piece;
        left -= piece;
        if (left == 0) flush = Z_FINISH;
      }
      auto [out, size] = room();
      if (!out || size == 0) return 0;
      z_.next_out = out;
      z_.avail_out = static_cast<uInt>(std::min(size, kMaxPiece));
      uInt before = z_.avail_out;
      int rc = deflate(&z_, flush);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return 0;
      if (!filled(before - z_.avail_out)) return 0;
      if (rc == Z_STREAM_END) return z_.total_out;
    }
  }

 private:
  z_stream z_{};
  bool ok_ = false;
  int level_ = kBlockPackLevel;
};

namespace {

uint32_t Checked(uint64_t total) {
  if (total == 0 || total > std::numeric_limits<uint32_t>::max()) return 0;
  return static_cast<uint32_t>(total);
}

}  // namespace

BlockPacker::BlockPacker() = default;
BlockPacker::~BlockPacker() = default;

BlockPacker::Deflater* BlockPacker::Ready(int level) {
  try {
    if (!deflater_) deflater_ = std::make_unique<Deflater>();
    if (out_.empty()) out_.resize(kSinkPiece);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return deflater_->Reset(level) ? deflater_.get() : nullptr;
}

uint32_t BlockPacker::Pack(const void* source, size_t length, PackSink& sink, int level) {
  Deflater* deflater = Ready(level);
  if (!deflater) return 0;
  uint64_t total = deflater->Run(
      source, length, [&] { return std::pair<uint8_t*, size_t>(out_.data(), out_.size()); },
      [&](size_t n) { return n == 0 || sink.Write(out_.data(), n); });
  return Checked(total);
}

uint32_t BlockPacker::Pack(const void* source, size_t length, Stream& stream, int level) {
  class StreamSink final : public PackSink {
   public:
    explicit StreamSink(Stream& s) : stream_(s) {}
    bool Write(const void* data, size_t size) override {
      return stream_.WriteExact(data, static_cast<int64_t>(size));
    }

   private:
    Stream& stream_;
  } sink(stream);
  return Pack(source, length, sink, level);
}

uint32_t BlockPacker::Pack(const void* source, size_t length, std::vector<uint8_t>& buffer, int level) {
  try {
    Deflater* deflater = Ready(level);
    if (!deflater) {
      buffer.clear();
      return 0;
    }
    // Room for the usual worst case at once; the buffer grows when that is not enough.
    size_t used = 0;
    size_t first = length <= kMaxPiece ? compressBound(static_cast<uLong>(length)) : kMaxPiece;
    buffer.resize(std::max(first, kSinkPiece));
    uint64_t total = deflater->Run(
        source, length,
        [&] {
          if (used == buffer.size()) buffer.resize(buffer.size() + buffer.size() / 2);
          return std::pair<uint8_t*, size_t>(buffer.data() + used, buffer.size() - used);
        },
        [&](size_t n) {
          used += n;
          return true;
        });
    uint32_t packed = Checked(total);
    buffer.resize(packed);
    return packed;
  } catch (const std::bad_alloc&) {
    buffer.clear();
    return 0;
  }
}

uint32_t BlockPack(const void* source, size_t length, PackSink& sink, int level) {
  return BlockPacker().Pack(source, length, sink, level);
}

uint32_t BlockPack(const void* source, size_t length, Stream& stream, int level) {
  return BlockPacker().Pack(source, length, stream, level);
}

uint32_t BlockPack(const void* source, size_t length, std::vector<uint8_t>& buffer) {
  return BlockPacker().Pack(source, length, buffer);
}

bool BlockUnpack(const void* packed, size_t packedLength, void* destination, size_t destinationSize) {
  if (!packed || packedLength == 0 || (!destination && destinationSize > 0)) return false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  const auto* in = static_cast<const uint8_t*>(packed);
  auto* out = static_cast<uint8_t*>(destination);
  size_t inLeft = packedLength;
  size_t outLeft = destinationSize;
  uint8_t spare = 0;  // room for one byte too many, to catch data beyond the expected size
  bool ok = false;
  for (;;) {
    if (z.avail_in == 0 && inLeft > 0) {
      size_t piece = std::min(inLeft, kMaxPiece);
      z.next_in = const_cast<Bytef*>(in);
      z.avail_in = static_cast<uInt>(piece);
      in += piece;
      inLeft -= piece;
    }
    if (z.avail_out == 0) {
      if (outLeft > 0) {
        size_t piece = std::min(outLeft, kMaxPiece);
        z.next_out = out;
        z.avail_out = static_cast<uInt>(piece);
        out += piece;
        outLeft -= piece;
      } else {
        z.next_out = &spare;
        z.avail_out = 1;
      }
    }
    int rc = inflate(&z, Z_NO_FLUSH);
    if (z.total_out > destinationSize) break;  // longer than expected
    if (rc == Z_STREAM_END) {
      ok = z.total_out == destinationSize;
      break;
    }
    // Z_BUF_ERROR: no progress with room on both sides, so the packed bytes ended inside the
    // stream; anything else: corrupt data, a dictionary wanted, or out of memory.
    if (rc != Z_OK) break;
  }
  inflateEnd(&z);
  return ok;
}

}  // namespace tf
