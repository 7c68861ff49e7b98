// Tiled-block chunks: TBIM (layer tiles) and TBMK (mask tiles).
#pragma once
// Tiled-block chunks: a tiled store written as runs of tiles, TBIM for layer pixels (CBlockVMTC,
// 32x32 tiles of 4 bytes) and TBMK for mask values (CBlockVCH, 64x64 tiles of 1 byte). A block
// is one tile's 4096 bytes. Kind 1 packs up to 16 committed tiles as one piece; kind 2 holds one
// 32-bit fill value per uncommitted tile. A chunk carries no position: a store's chunks follow
// one another in raster order of its tiles.
#include <cstdint>

#include "raster/ChunkStream.h"

namespace tf {

class Stream;
class CBlockVMTC;
class CBlockVCH;

// Block kinds.
enum TiledBlockKind : int32_t {
  kBlocksPacked = 1,   // whole blocks, packed as one piece
  kBlocksUniform = 2,  // one fill value per block
};

inline constexpr int32_t kTiledBlockBytes = 4096;
// Most committed tiles one kind-1 chunk holds (one packed piece is at most 64 KB of data).
inline constexpr int32_t kMaxPackedBlocksPerChunk = 16;

// The head of a tiled-block chunk, chunk header included; little-endian on disk.
struct STiledBlockHead {
  uint32_t id = 0;           // 0: TBIM or TBMK
  uint32_t size = 0;         // 4: 32 + data length (packed for kind 1) + padding
  int32_t blockWidth = 0;    // 8
  int32_t blockHeight = 0;   // 12
  int32_t kind = 0;          // 16
  int32_t count = 0;         // 20: blocks in this chunk, at least 1
  int32_t packedLength = 0;  // 24: kind 1; 0 for kind 2
  int32_t dataLength = 0;    // 28: count x 4096 (kind 1) or count x 4 (kind 2)
  uint8_t reserved[8] = {};  // 32: zero
};
static_assert(sizeof(STiledBlockHead) == 40);
inline constexpr int32_t kTiledBlockHeadBytes = 40;

void EncodeTiledBlockHead(const STiledBlockHead& head, uint8_t* out);
STiledBlockHead DecodeTiledBlockHead(const uint8_t* in);

// Writes every tile of the store in raster order as chunks: runs of committed tiles (at most 16
// a chunk) as kind 1, runs of uncommitted tiles as kind 2. The store's tiles must be 32 (layers,
// else 22) or 64 (masks, else 30) pixels square. 1 and 8 on failure; the bytes written before a
// failure stay (the layer and mask chunk writers guard the whole chunk).
uint8_t WriteLayerBlocks(Stream& stream, const CBlockVMTC& store);
uint8_t WriteMaskBlocks(Stream& stream, const CBlockVCH& store);

// Reads tilesAcross x tilesDown blocks (the counts of the owning record) from the position into
// the store: committed blocks are committed with their bytes, uniform blocks set the tile's fill
// (and every pixel of a committed tile). Layer codes 22 to 26, mask codes 30 to 34, and 1, 9,
// 10, 16; a failure leaves what was read before it.
uint8_t ReadLayerBlocks(Stream& stream, CBlockVMTC& store, int32_t tilesAcross, int32_t tilesDown);
uint8_t ReadMaskBlocks(Stream& stream, CBlockVCH& store, int32_t tilesAcross, int32_t tilesDown);

}  // namespace tf
