#include "events/EventFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

#include "events/EventStream.h"
#include "platform/BlockPack.h"
#include "platform/ByteOrder.h"
#include "platform/Memory.h"
#include "platform/Progress.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/ImageChunk.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// Layouts

void EncodeEventFileHeader(const SEventFileHeader& h, uint8_t* out) {
  StoreU32(out + 0, h.id);
  StoreU32(out + 4, h.size);
  StoreI32(out + 8, h.canvasWidth);
  StoreI32(out + 12, h.canvasHeight);
  StoreU16(out + 16, h.version);
  StoreU16(out + 18, h.flagWord);
  StoreU16(out + 20, h.appMajor);
  StoreU16(out + 22, h.appMinor);
  StoreI32(out + 24, h.stepCount);
  StoreI32(out + 28, h.streamLength);
  StoreI32(out + 32, h.reserved1[0]);
  StoreI32(out + 36, h.reserved1[1]);
  StoreI32(out + 40, h.blockCount);
  StoreI32(out + 44, h.blockSize);
  StoreI32(out + 48, h.reserved2[0]);
  StoreI32(out + 52, h.reserved2[1]);
}

SEventFileHeader DecodeEventFileHeader(const uint8_t* in) {
  SEventFileHeader h;
  h.id = LoadU32(in + 0);
  h.size = LoadU32(in + 4);
  h.canvasWidth = LoadI32(in + 8);
  h.canvasHeight = LoadI32(in + 12);
  h.version = LoadU16(in + 16);
  h.flagWord = LoadU16(in + 18);
  h.appMajor = LoadU16(in + 20);
  h.appMinor = LoadU16(in + 22);
  h.stepCount = LoadI32(in + 24);
  h.streamLength = LoadI32(in + 28);
  h.reserved1[0] = LoadI32(in + 32);
  h.reserved1[1] = LoadI32(in + 36);
  h.blockCount = LoadI32(in + 40);
  h.blockSize = LoadI32(in + 44);
  h.reserved2[0] = LoadI32(in + 48);
  h.reserved2[1] = LoadI32(in + 52);
  return h;
}

void EncodeEventBlockHeader(const SEventBlockHeader& h, uint8_t* out) {
  StoreU32(out + 0, h.id);
  StoreU32(out + 4, h.size);
  StoreI32(out + 8, h.offset);
  StoreI32(out + 12, h.unpackedLength);
  StoreI32(out + 16, h.packedLength);
  StoreI32(out + 20, h.reserved[0]);
  StoreI32(out + 24, h.reserved[1]);
}

SEventBlockHeader DecodeEventBlockHeader(const uint8_t* in) {
  SEventBlockHeader h;
  h.id = LoadU32(in + 0);
  h.size = LoadU32(in + 4);
  h.offset = LoadI32(in + 8);
  h.unpackedLength = LoadI32(in + 12);
  h.packedLength = LoadI32(in + 16);
  h.reserved[0] = LoadI32(in + 20);
  h.reserved[1] = LoadI32(in + 24);
  return h;
}

void EncodeEventStreamHeader(const SEventStreamHeader& h, uint8_t* out) {
  StoreU32(out + 0, h.id);
  StoreU32(out + 4, h.size);
  StoreI32(out + 8, h.canvasWidth);
  StoreI32(out + 12, h.canvasHeight);
  StoreU16(out + 16, h.version);
  StoreU16(out + 18, h.flagWord);
  StoreU16(out + 20, h.appMajor);
  StoreU16(out + 22, h.appMinor);
  StoreI32(out + 24, h.stepCount);
  StoreI32(out + 28, h.streamLength);
  StoreI32(out + 32, h.reserved[0]);
  StoreI32(out + 36, h.reserved[1]);
}

SEventStreamHeader DecodeEventStreamHeader(const uint8_t* in) {
  SEventStreamHeader h;
  h.id = LoadU32(in + 0);
  h.size = LoadU32(in + 4);
  h.canvasWidth = LoadI32(in + 8);
  h.canvasHeight = LoadI32(in + 12);
  h.version = LoadU16(in + 16);
  h.flagWord = LoadU16(in + 18);
  h.appMajor = LoadU16(in + 20);
  h.appMinor = LoadU16(in + 22);
  h.stepCount = LoadI32(in + 24);
  h.streamLength = LoadI32(in + 28);
  h.reserved[0] = LoadI32(in + 32);
  h.reserved[1] = LoadI32(in + 36);
  return h;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

// A block of memory from the nothrow allocator, freed with the object.
struct MemBlock {
  uint8_t* data = nullptr;
  ~MemBlock() { FreeMem(data); }
  bool Get(int64_t size) { return TryGetMem(data, size); }
};

}  // namespace

bool CheckEventStreamForWriting(const CEventMngr& manager) {
  if (manager.isBroken()) return false;
  const SPacketWalkResult walk = manager.walkPackets(0, static_cast<uint32_t>(manager.committed()),
                                                     [](const SPacketFrame&) { return true; });
  if (!walk.ok) {
    ShowWarning(kEventPacketsBadText);
    return false;
  }
  return true;
}

uint8_t WriteEventBlocks(Stream& stream, const CEventMngr& manager, TProgressDlg* dialog) {
  if (manager.isBroken()) return kFileBrokenStream;
  const uint32_t blockSize = manager.blockSize();
  MemBlock input;
  if (blockSize == 0 || !input.Get(blockSize)) return kFileNoMemory;
  std::vector<uint8_t> output;
  BlockPacker packer;
  const int32_t length = manager.committed();
  if (manager.getBlockCount() <= 0 || length <= 0) return kFileEmptyStream;
  uint32_t offset = 0;
  while (offset < static_cast<uint32_t>(length)) {
    const uint32_t e = std::min(blockSize, static_cast<uint32_t>(length) - offset);
    if (e > blockSize) return kFileBlockSize;
    if (manager.readSpan(offset, input.data, e) != e) return kFileBlockRead;
    const uint32_t packed = packer.Pack(input.data, e, output);
    if (packed == 0) return kFileNoMemory;
    SEventBlockHeader header;
    header.size = 20 + packed + ChunkPadding(packed);
    header.offset = static_cast<int32_t>(offset);
    header.unpackedLength = static_cast<int32_t>(e);
    header.packedLength = static_cast<int32_t>(packed);
    uint8_t bytes[kEventBlockHeaderBytes];
    EncodeEventBlockHeader(header, bytes);
    static const uint8_t kZeros[4] = {};
    if (!stream.WriteExact(bytes, sizeof bytes) || !stream.WriteExact(output.data(), packed) ||
        !stream.WriteExact(kZeros, ChunkPadding(packed)))
      return kFileShortWrite;
    offset += e;
    ProgressStepBy(dialog, 1);
  }
  return kFileOk;
}

uint8_t WriteEventData(Stream& stream, const CEventMngr& manager, const SSize& canvasSize, int32_t level,
                       TProgressDlg* dialog, int32_t flagWord) {
  if (manager.isBroken()) return kFileBrokenStream;
  if (manager.committed() <= 0) return kFileEmptyStream;
  if (!CheckEventStreamForWriting(manager)) return kFileBrokenStream;
  SEventFileHeader header;
  header.canvasWidth = canvasSize.width;
  header.canvasHeight = canvasSize.height;
  header.version = static_cast<uint16_t>(level >= 0 && level <= kMaxEventFileLevel ? level : kMaxEventFileLevel);
  header.flagWord = static_cast<uint16_t>(flagWord == -1 ? 0 : flagWord);
  header.appMajor = kAppVersionMajor;
  header.appMinor = kAppVersionMinor;
  header.stepCount = manager.stepCount();
  header.streamLength = manager.committed();
  header.blockCount = manager.getBlockCount();
  header.blockSize = static_cast<int32_t>(manager.blockSize());
  uint8_t bytes[kEventFileHeaderBytes];
  EncodeEventFileHeader(header, bytes);
  if (!stream.WriteExact(bytes, sizeof bytes)) return kFileShortWrite;
  return WriteEventBlocks(stream, manager, dialog);
}

uint8_t WriteEventStream(Stream& stream, const CEventMngr& manager, const SSize& canvasSize) {
  if (manager.isBroken()) return kFileBrokenStream;
  const int32_t length = manager.committed();
  if (length <= 0) return kFileEmptyStream;
  if (!CheckEventStreamForWriting(manager)) return kFileBrokenStream;
  SEventStreamHeader header;
  header.size = 32 + static_cast<uint32_t>(length) + ChunkPadding(static_cast<uint32_t>(length));
  header.canvasWidth = canvasSize.width;
  header.canvasHeight = canvasSize.height;
  header.version = kMaxEventFileLevel;
  header.appMajor = kAppVersionMajor;
  header.appMinor = kAppVersionMinor;
  header.stepCount = manager.stepCount();
  header.streamLength = length;
  uint8_t bytes[kEventStreamHeaderBytes];
  EncodeEventStreamHeader(header, bytes);
  if (!stream.WriteExact(bytes, sizeof bytes)) return kFileShortWrite;
  if (manager.writeStreamTo(stream) != static_cast<uint32_t>(length)) return kFileShortWrite;
  static const uint8_t kZeros[4] = {};
  if (!stream.WriteExact(kZeros, ChunkPadding(static_cast<uint32_t>(length)))) return kFileShortWrite;
  return kFileOk;
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

// The longest stream the manager's blocks can hold (positions are int32).
int64_t LongestStream(const CEventMngr& manager) {
  const int64_t block = manager.blockSize();
  return block > 0 ? (int64_t{INT32_MAX} / block) * block : 0;
}

// The first step: 40 bytes, after a thumbnail when one comes first; the id must be TEVP or TEVS.
uint8_t ReadEventLead(Stream& stream, uint8_t (&lead)[kEventStreamHeaderBytes]) {
  if (!stream.ReadExact(lead, sizeof lead)) return kFileShortRead;
  SChunkHeader header = DecodeChunkHeader(lead);
  if (header.id == kChunkImage) {
    // 40 bytes of the thumbnail were read: the header and 32 of its info.
    if (header.size < kImageChunkInfoBytes) return kFileChunkSize;
    if (int64_t{header.size} - 32 > stream.Remaining()) return kFileShortRead;
    if (!SkipChunkBytes(stream, int64_t{header.size} - 32)) return kFileShortRead;
    if (!stream.ReadExact(lead, sizeof lead)) return kFileShortRead;
    header = DecodeChunkHeader(lead);
  }
  if (header.id != kChunkEventData && header.id != kChunkEventStream) return kFileChunkId;
  return kFileOk;
}

// The TBEV blocks after a TEVP header; total := the bytes appended.
uint8_t ReadEventBlocks(Stream& stream, CEventMngr& manager, TProgressDlg* dialog, int32_t length,
                        uint32_t& total) {
  const uint32_t blockSize = manager.blockSize();
  std::vector<uint8_t> packed;
  std::vector<uint8_t> data;
  while (total < static_cast<uint32_t>(length)) {
    const int64_t blockStart = stream.Position();
    uint8_t code = kFileOk;
    do {
      uint8_t bytes[kEventBlockHeaderBytes];
      if (!stream.ReadExact(bytes, sizeof bytes)) {
        code = kFileShortRead;
        break;
      }
      const SEventBlockHeader header = DecodeEventBlockHeader(bytes);
      if (header.id != kChunkEventBlock) {
        code = kFileChunkId;
        break;
      }
      // Every length is checked before it is used: the body, the block, what is left of the
      // stream, and what the packed bytes can unpack to.
      const int64_t body = int64_t{header.size} - 20;
      const int64_t left = int64_t{length} - total;
      if (body >= 0 && body > stream.Remaining()) {
        code = kFileShortRead;
        break;
      }
      if (body < 0 || header.packedLength < 1 || header.packedLength > body || header.unpackedLength < 1 ||
          static_cast<uint32_t>(header.unpackedLength) > blockSize || header.unpackedLength > left ||
          static_cast<uint64_t>(header.unpackedLength) >
              MaxUnpackedLength(static_cast<uint64_t>(header.packedLength))) {
        code = kFileChunkSize;
        break;
      }
      try {
        packed.resize(static_cast<size_t>(header.packedLength));
        data.assign(static_cast<size_t>(header.unpackedLength), 0);
      } catch (const std::bad_alloc&) {
        code = kFileNoMemory;
        break;
      }
      if (!stream.ReadExact(packed.data(), header.packedLength)) {
        code = kFileShortRead;
        break;
      }
      if (!SkipChunkBytes(stream, body - header.packedLength)) {
        code = kFileShortRead;
        break;
      }
      if (!BlockUnpack(packed.data(), packed.size(), data.data(), data.size())) {
        code = kFileBadEventBlock;
        break;
      }
      const uint32_t n = static_cast<uint32_t>(data.size());
      if (manager.writeSpan(total, data.data(), n) != n) {
        code = kFileBlockAppend;
        break;
      }
      total += n;
      ProgressStepBy(dialog, 1);
    } while (false);
    if (code != kFileOk) {
      if (blockStart >= 0) stream.SetPosition(blockStart);
      return code;
    }
  }
  return kFileOk;
}

uint8_t ReadFullForm(Stream& stream, CEventMngr* manager, TProgressDlg* dialog) {
  if (!stream.SetPosition(stream.Position() - kEventStreamHeaderBytes)) return kFileSeekFailed;
  uint8_t bytes[kEventFileHeaderBytes];
  if (!stream.ReadExact(bytes, sizeof bytes)) return kFileShortRead;
  const SEventFileHeader header = DecodeEventFileHeader(bytes);
  if (uint8_t code = CheckChunkHeader(SChunkHeader{header.id, header.size}, kChunkEventData, 48)) return code;
  if (header.version > kMaxEventFileLevel) return kFileLevel;
  if (manager == nullptr || !manager->isReady()) return kFileNoEventManager;
  if (header.blockCount == 0) return kFileEmptyStream;
  if (header.blockSize < 0 || static_cast<uint32_t>(header.blockSize) != manager->blockSize())
    return kFileBlockSize;
  if (header.streamLength < 0 || header.stepCount < 0 || header.blockCount < 0 ||
      header.streamLength > LongestStream(*manager))
    return kFileChunkSize;
  if (header.streamLength == 0) return kFileEmptyStream;
  if (!manager->resetForLoad()) return kFileNoEventManager;
  ProgressSetRange(dialog, header.blockCount, 0);

  uint32_t total = 0;
  const uint8_t code = ReadEventBlocks(stream, *manager, dialog, header.streamLength, total);
  // Whatever was read becomes the stream, also after a failure.
  if (total > 0) manager->setLoadedLength(static_cast<int32_t>(total), header.stepCount);
  if (code == kFileOk) {
    manager->version = static_cast<uint8_t>(header.version);
    manager->fileFlags = header.flagWord;
  }
  return code;
}

uint8_t ReadRawForm(Stream& stream, CEventMngr* manager, const uint8_t* lead) {
  const SEventStreamHeader header = DecodeEventStreamHeader(lead);
  if (header.version > kMaxEventFileLevel) return kFileLevel;
  if (header.flagWord != 0) return kFileContentCode;
  const int64_t padding = int64_t{header.size} - header.streamLength - 32;
  if (padding < 0 || header.streamLength < 0 || header.stepCount < 0) return kFileChunkSize;
  if (manager == nullptr || !manager->isReady()) return kFileNoEventManager;
  if (header.streamLength > LongestStream(*manager)) return kFileChunkSize;
  if (header.streamLength == 0) return kFileEmptyStream;
  // The stream and its padding must be in the file before the manager's stream is replaced.
  if (int64_t{header.size} - 32 > stream.Remaining()) return kFileRawStreamShort;
  if (manager->loadRawStream(stream, header.streamLength, header.stepCount) !=
      static_cast<uint32_t>(header.streamLength))
    return kFileRawStreamShort;
  manager->version = static_cast<uint8_t>(header.version);
  manager->fileFlags = header.flagWord;
  if (!SkipChunkBytes(stream, padding)) return kFileSeekFailed;
  return kFileOk;
}

}  // namespace

uint8_t ReadEventChunk(Stream& stream, CEventMngr* manager, TProgressDlg* dialog) {
  uint8_t lead[kEventStreamHeaderBytes];
  if (uint8_t code = ReadEventLead(stream, lead)) return code;
  if (DecodeChunkHeader(lead).id == kChunkEventData) return ReadFullForm(stream, manager, dialog);
  return ReadRawForm(stream, manager, lead);
}

uint8_t ReadEventThumbnail(const std::string& path, std::unique_ptr<TMTC>& image, SSize& canvasSize) {
  try {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return kFileMissing;
    FileStream file;
    if (!file.OpenRead(path)) return kFileOpenFailed;
    uint8_t lead[kEventStreamHeaderBytes];
    if (uint8_t code = ReadEventLead(file, lead)) return code;
    canvasSize = SSize{LoadI32(lead + 8), LoadI32(lead + 12)};
    if (!file.SetPosition(0)) return kFileSeekFailed;
    return ReadImageChunk(file, image);
  } catch (...) {
    return kFileException;
  }
}

}  // namespace tf
