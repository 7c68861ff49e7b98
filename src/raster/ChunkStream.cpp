#include "raster/ChunkStream.h"

#include <cstring>
#include <new>

#include "platform/ByteOrder.h"
#include "platform/Stream.h"

namespace tf {

std::string ChunkIdText(uint32_t id) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((id >> (8 * i)) & 0xFF);
  return text;
}

void EncodeChunkHeader(const SChunkHeader& header, uint8_t* out) {
  StoreU32(out, header.id);
  StoreU32(out + 4, header.size);
}

SChunkHeader DecodeChunkHeader(const uint8_t* in) { return SChunkHeader{LoadU32(in), LoadU32(in + 4)}; }

bool ReadChunkHeader(Stream& stream, SChunkHeader& header) {
  uint8_t bytes[kChunkHeaderBytes];
  if (!stream.ReadExact(bytes, sizeof bytes)) return false;
  header = DecodeChunkHeader(bytes);
  return true;
}

bool WriteChunkHeader(Stream& stream, const SChunkHeader& header) {
  uint8_t bytes[kChunkHeaderBytes];
  EncodeChunkHeader(header, bytes);
  return stream.WriteExact(bytes, sizeof bytes);
}

uint8_t CheckChunkId(const SChunkHeader& header, uint32_t expectedId) {
  return header.id == expectedId ? kFileOk : kFileChunkId;
}

uint8_t CheckChunkHeader(const SChunkHeader& header, uint32_t expectedId, uint32_t expectedSize) {
  if (header.id != expectedId) return kFileChunkId;
  return header.size == expectedSize ? kFileOk : kFileChunkSize;
}

uint8_t ReadChunkString(Stream& stream, int64_t length, std::string& text) {
  if (length < 0) return kFileShortRead;
  // The bytes must be in the stream before they are held.
  if (length > stream.Remaining()) return kFileShortRead;
  std::string bytes;
  try {
    bytes.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    return kFileNoMemory;
  }
  if (!stream.ReadExact(bytes.data(), length)) return kFileShortRead;
  bytes.resize(std::strlen(bytes.c_str()));
  text = std::move(bytes);
  return kFileOk;
}

int32_t WriteChunkPadding(Stream& stream) {
  const int64_t position = stream.Position();
  if (position < 0) return -1;
  static const uint8_t kZeros[4] = {0, 0, 0, 0};
  const uint32_t count = ChunkPadding(static_cast<uint64_t>(position));
  if (!stream.WriteExact(kZeros, count)) return -1;
  return static_cast<int32_t>(count);
}

bool SkipChunkBytes(Stream& stream, int64_t count) {
  if (count == 0) return true;
  const int64_t position = stream.Position();
  if (position < 0 || count < 0) return false;
  return stream.SetPosition(position + count);
}

ChunkGuard::ChunkGuard(Stream& stream) : stream_(stream), start_(stream.Position()) {}

uint8_t ChunkGuard::Finish(uint8_t code) {
  if (code != kFileOk && start_ >= 0) {
    stream_.SetPosition(start_);
    stream_.SetSize(start_);
  }
  return code;
}

uint8_t SaveChunkFileAtomically(const std::string& path, uint8_t createFailed,
                                const std::function<uint8_t(Stream&)>& write) {
  AtomicFileWriter writer;
  if (!writer.Begin(path)) return createFailed;
  uint8_t code;
  try {
    code = write(writer.GetStream());
  } catch (...) {
    code = kFileException;
  }
  if (code != kFileOk) {
    writer.Abandon();
    return code;
  }
  return writer.Commit() ? kFileOk : kFileShortWrite;
}

}  // namespace tf
