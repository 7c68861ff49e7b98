#include "raster/BlockChunk.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/BlockPack.h"
#include "platform/ByteOrder.h"
#include "platform/Stream.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"

namespace tf {

void EncodeTiledBlockHead(const STiledBlockHead& head, uint8_t* out) {
  StoreU32(out + 0, head.id);
  StoreU32(out + 4, head.size);
  StoreI32(out + 8, head.blockWidth);
  StoreI32(out + 12, head.blockHeight);
  StoreI32(out + 16, head.kind);
  StoreI32(out + 20, head.count);
  StoreI32(out + 24, head.packedLength);
  StoreI32(out + 28, head.dataLength);
  std::memcpy(out + 32, head.reserved, sizeof head.reserved);
}

STiledBlockHead DecodeTiledBlockHead(const uint8_t* in) {
  STiledBlockHead head;
  head.id = LoadU32(in + 0);
  head.size = LoadU32(in + 4);
  head.blockWidth = LoadI32(in + 8);
  head.blockHeight = LoadI32(in + 12);
  head.kind = LoadI32(in + 16);
  head.count = LoadI32(in + 20);
  head.packedLength = LoadI32(in + 24);
  head.dataLength = LoadI32(in + 28);
  std::memcpy(head.reserved, in + 32, sizeof head.reserved);
  return head;
}

namespace {

// The values that make one algorithm serve both stores.
struct SBlockInstance {
  uint32_t id;
  int32_t side;       // tile and block width and height
  uint32_t fillMask;  // the part of a fill value the store keeps
  uint8_t geometryCode;
  uint8_t countCode;
  uint8_t kindCode;
  uint8_t lengthsCode;
  uint8_t tileCode;
};

constexpr SBlockInstance kLayerBlocks{
    kChunkLayerBlocks, 32, 0xFFFFFFFFu, kFileLayerGeometry, kFileLayerCount, kFileLayerKind, kFileLayerLengths,
    kFileLayerTile};
constexpr SBlockInstance kMaskBlocks{
    kChunkMaskBlocks, 64,           0xFFu, kFileMaskGeometry, kFileMaskCount, kFileMaskKind,
    kFileMaskLengths, kFileMaskTile};

bool GeometryFits(const CBlockImage& store, const SBlockInstance& instance) {
  return store.TileWidth() == instance.side && store.TileHeight() == instance.side &&
         store.TileByteSize() == kTiledBlockBytes;
}

// Whether a run's bytes look like noise that will not pack: its first kilobyte packs to
// nearly its own size. Such runs are stored, which costs a copy instead of a search for matches.
bool LooksIncompressible(BlockPacker& packer, const uint8_t* data, size_t length, std::vector<uint8_t>& packed) {
  const size_t sample = std::min<size_t>(length, 1024);
  const uint32_t n = packer.Pack(data, sample, packed);
  return n != 0 && n >= sample - sample / 32;
}

bool WriteHead(Stream& stream, const STiledBlockHead& head) {
  uint8_t bytes[kTiledBlockHeadBytes];
  EncodeTiledBlockHead(head, bytes);
  return stream.WriteExact(bytes, sizeof bytes);
}

// One run of committed tiles as a kind-1 chunk.
uint8_t WritePackedRun(Stream& stream, const CBlockImage& store, const SBlockInstance& instance,
                       BlockPacker& packer, std::vector<uint8_t>& gather, std::vector<uint8_t>& probe,
                       int32_t first, int32_t count) {
  const size_t dataLength = size_t{kTiledBlockBytes} * static_cast<size_t>(count);
  try {
    gather.resize(dataLength);
  } catch (const std::bad_alloc&) {
    return kFileNoMemory;
  }
  for (int32_t k = 0; k < count; ++k)
    std::memcpy(gather.data() + size_t{kTiledBlockBytes} * static_cast<size_t>(k),
                store.TileByIndex(first + k).block, kTiledBlockBytes);
  STiledBlockHead head;
  head.id = instance.id;
  head.size = kTiledBlockHeadBytes - kChunkHeaderBytes;
  head.blockWidth = head.blockHeight = instance.side;
  head.kind = kBlocksPacked;
  head.count = count;
  head.dataLength = static_cast<int32_t>(dataLength);
  const int64_t start = stream.Position();
  if (start < 0) return kFileSeekFailed;
  if (!WriteHead(stream, head)) return kFileShortWrite;
  const int level =
      LooksIncompressible(packer, gather.data(), dataLength, probe) ? kBlockStoreLevel : kBlockPackLevel;
  const uint32_t packed = packer.Pack(gather.data(), dataLength, stream, level);
  if (packed == 0) return kFileShortWrite;
  const int32_t padding = WriteChunkPadding(stream);
  if (padding < 0) return kFileShortWrite;
  const int64_t end = stream.Position();
  head.packedLength = static_cast<int32_t>(packed);
  head.size =
      static_cast<uint32_t>(kTiledBlockHeadBytes - kChunkHeaderBytes) + packed + static_cast<uint32_t>(padding);
  if (end < 0 || !stream.SetPosition(start)) return kFileSeekFailed;
  if (!WriteHead(stream, head)) return kFileShortWrite;
  if (!stream.SetPosition(end)) return kFileSeekFailed;
  return kFileOk;
}

// One run of uncommitted tiles as a kind-2 chunk of fill values.
uint8_t WriteUniformRun(Stream& stream, const CBlockImage& store, const SBlockInstance& instance,
                        std::vector<uint8_t>& gather, int32_t first, int32_t count) {
  const size_t dataLength = size_t{4} * static_cast<size_t>(count);
  try {
    gather.resize(kTiledBlockHeadBytes + dataLength);
  } catch (const std::bad_alloc&) {
    return kFileNoMemory;
  }
  STiledBlockHead head;
  head.id = instance.id;
  head.size = static_cast<uint32_t>(kTiledBlockHeadBytes - kChunkHeaderBytes + dataLength);
  head.blockWidth = head.blockHeight = instance.side;
  head.kind = kBlocksUniform;
  head.count = count;
  head.dataLength = static_cast<int32_t>(dataLength);
  EncodeTiledBlockHead(head, gather.data());
  for (int32_t k = 0; k < count; ++k)
    StoreU32(gather.data() + kTiledBlockHeadBytes + 4 * static_cast<size_t>(k),
             store.TileFillAt(first + k) & instance.fillMask);
  return stream.WriteExact(gather.data(), static_cast<int64_t>(gather.size())) ? kFileOk : kFileShortWrite;
}

uint8_t WriteBlocks(Stream& stream, const CBlockImage& store, const SBlockInstance& instance) {
  if (!store.IsValid() || !GeometryFits(store, instance)) return instance.geometryCode;
  const int32_t tileCount = store.TileCount();
  BlockPacker packer;
  std::vector<uint8_t> gather;
  std::vector<uint8_t> probe;
  int32_t first = 0;
  int32_t count = 0;
  bool committed = false;
  auto flush = [&]() -> uint8_t {
    if (count == 0) return kFileOk;
    const uint8_t code = committed ? WritePackedRun(stream, store, instance, packer, gather, probe, first, count)
                                   : WriteUniformRun(stream, store, instance, gather, first, count);
    count = 0;
    return code;
  };
  for (int32_t i = 0; i < tileCount; ++i) {
    const bool state = store.TileCommittedAt(i);
    if (count > 0 && state != committed)
      if (uint8_t code = flush()) return code;
    if (count == 0) {
      first = i;
      committed = state;
    }
    ++count;
    if (committed && count == kMaxPackedBlocksPerChunk)
      if (uint8_t code = flush()) return code;
  }
  return flush();
}

// ---------------------------------------------------------------------------------------------

// The tile at a raster position of the owning record's grid, or null when the store has none.
STileInfo* TileAtIndex(CBlockImage& store, int64_t index, int32_t tilesAcross, int64_t tileCount) {
  if (index >= tileCount) return nullptr;  // past the record's grid
  const int64_t column = index % tilesAcross;
  const int64_t row = index / tilesAcross;
  if (row > INT32_MAX) return nullptr;
  return store.GetTile(static_cast<int32_t>(column), static_cast<int32_t>(row), false);
}

// Every pixel of a committed tile := the value (its kept part, by bytes per pixel).
void FillCommittedTile(STileInfo& tile, uint32_t value, int32_t bytesPerPixel) {
  if (bytesPerPixel == 1) {
    std::memset(tile.block, static_cast<uint8_t>(value), static_cast<size_t>(tile.byteSize));
    return;
  }
  auto* pixels = reinterpret_cast<uint32_t*>(tile.block);
  std::fill(pixels, pixels + tile.byteSize / 4, value);
}

// Buffers one read keeps from chunk to chunk.
struct SReadBuffers {
  std::vector<uint8_t> packed;
  std::vector<uint8_t> data;
};

// One chunk at the position into the store, from the tile at index on; count := its blocks.
uint8_t ReadBlockChunk(Stream& stream, CBlockImage& store, const SBlockInstance& instance, int32_t tilesAcross,
                       int64_t tileCount, int64_t index, SReadBuffers& buffers, int32_t& count) {
  uint8_t bytes[kTiledBlockHeadBytes];
  if (!stream.ReadExact(bytes, sizeof bytes)) return kFileShortRead;
  const STiledBlockHead head = DecodeTiledBlockHead(bytes);
  if (head.id != instance.id) return kFileChunkId;
  if (head.blockWidth != instance.side || head.blockHeight != instance.side || !store.IsValid() ||
      !GeometryFits(store, instance))
    return instance.geometryCode;
  if (head.kind != kBlocksPacked && head.kind != kBlocksUniform) return instance.kindCode;
  if (head.count < 1) return instance.countCode;
  const int64_t body = int64_t{head.size} - (kTiledBlockHeadBytes - kChunkHeaderBytes);
  if (body > stream.Remaining()) return kFileShortRead;

  if (head.kind == kBlocksPacked) {
    const int64_t dataLength = int64_t{head.count} * kTiledBlockBytes;
    if (dataLength != head.dataLength || head.packedLength < 1 || head.packedLength > body)
      return instance.lengthsCode;
    if (static_cast<uint64_t>(dataLength) > MaxUnpackedLength(static_cast<uint64_t>(head.packedLength)))
      return instance.lengthsCode;
    std::vector<uint8_t>& packed = buffers.packed;
    std::vector<uint8_t>& data = buffers.data;
    try {
      packed.resize(static_cast<size_t>(head.packedLength));
      data.resize(static_cast<size_t>(dataLength));
    } catch (const std::bad_alloc&) {
      return kFileNoMemory;
    }
    if (!stream.ReadExact(packed.data(), head.packedLength)) return kFileShortRead;
    if (!SkipChunkBytes(stream, body - head.packedLength)) return kFileSeekFailed;
    if (!BlockUnpack(packed.data(), packed.size(), data.data(), data.size())) return instance.lengthsCode;
    // The blocks go in order; a block past the grid fails there, the ones before it stay placed.
    for (int32_t k = 0; k < head.count; ++k) {
      STileInfo* tile = TileAtIndex(store, index + k, tilesAcross, tileCount);
      if (tile == nullptr) return instance.tileCode;
      // Every byte is written next: the commit skips filling the tile (the store's own commit
      // would); the content rectangles are rebuilt after the read.
      if (!store.CBlockImage::CommitTile(*tile)) return kFileNoMemory;
      std::memcpy(tile->block, data.data() + size_t{kTiledBlockBytes} * static_cast<size_t>(k), kTiledBlockBytes);
    }
  } else {
    const int64_t valuesLength = int64_t{head.count} * 4;
    if (valuesLength > body) return instance.lengthsCode;
    std::vector<uint8_t> values;
    try {
      values.resize(static_cast<size_t>(valuesLength));
    } catch (const std::bad_alloc&) {
      return kFileNoMemory;
    }
    if (!stream.ReadExact(values.data(), valuesLength)) return kFileShortRead;
    if (!SkipChunkBytes(stream, body - valuesLength)) return kFileSeekFailed;
    for (int32_t k = 0; k < head.count; ++k) {
      const uint32_t value = LoadU32(values.data() + 4 * static_cast<size_t>(k)) & instance.fillMask;
      // A tile of an untouched page already reads as the untouched fill: leave its page be.
      const int64_t column = (index + k) % tilesAcross;
      const int64_t row = (index + k) / tilesAcross;
      if (index + k < tileCount && column < store.TilesAcross() && row < store.TilesDown() &&
          value == store.UntouchedFill() &&
          !store.TileTouched(static_cast<int32_t>(column + row * store.TilesAcross())))
        continue;
      STileInfo* tile = TileAtIndex(store, index + k, tilesAcross, tileCount);
      if (tile == nullptr) return instance.tileCode;
      tile->fill = value;
      if (tile->committed) FillCommittedTile(*tile, value, store.BytesPerPixel());
    }
  }
  count = head.count;
  return kFileOk;
}

uint8_t ReadBlocks(Stream& stream, CBlockImage& store, const SBlockInstance& instance, int32_t tilesAcross,
                   int32_t tilesDown) {
  if (tilesAcross <= 0 || tilesDown <= 0) return kFileOk;
  const int64_t tileCount = int64_t{tilesAcross} * tilesDown;
  int64_t blocksLeft = tileCount;
  int64_t index = 0;
  SReadBuffers buffers;
  while (blocksLeft > 0) {
    int32_t count = 0;
    if (uint8_t code = ReadBlockChunk(stream, store, instance, tilesAcross, tileCount, index, buffers, count))
      return code;
    index += count;
    blocksLeft -= count;
  }
  return kFileOk;
}

}  // namespace

uint8_t WriteLayerBlocks(Stream& stream, const CBlockVMTC& store) {
  return WriteBlocks(stream, store, kLayerBlocks);
}
uint8_t WriteMaskBlocks(Stream& stream, const CBlockVCH& store) {
  return WriteBlocks(stream, store, kMaskBlocks);
}

uint8_t ReadLayerBlocks(Stream& stream, CBlockVMTC& store, int32_t tilesAcross, int32_t tilesDown) {
  const uint8_t code = ReadBlocks(stream, store, kLayerBlocks, tilesAcross, tilesDown);
  // Fills and commits change which tiles show.
  if (store.IsValid()) store.UpdateContentRects();
  return code;
}

uint8_t ReadMaskBlocks(Stream& stream, CBlockVCH& store, int32_t tilesAcross, int32_t tilesDown) {
  return ReadBlocks(stream, store, kMaskBlocks, tilesAcross, tilesDown);
}

}  // namespace tf
