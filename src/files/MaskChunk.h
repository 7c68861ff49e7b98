// The mask chunk TMSK of documents: an 80-byte record, the name and, for a mask with a store,
// its TBMK tiled-block chunks.
#pragma once
#include <cstdint>

#include "raster/ChunkStream.h"
#include "raster/Geometry.h"

namespace tf {

class Stream;
class CMaskData;
class CMaskMngr;
class TProgressDlg;

// The tile side of mask stores in documents.
inline constexpr int32_t kMaskChunkTile = 64;
// Flag of the record: the mask has a store (its blocks follow).
inline constexpr uint16_t kMaskChunkHasStore = 0x1;

// The 72 bytes after the chunk header, little-endian; offsets in the comments are the record's.
struct SMaskChunkRecord {
  int32_t index = 0;           // 0: place in the mask list
  uint16_t flags = 0;          // 4: kMaskChunkHasStore
  uint16_t reserved0 = 0;      // 6
  int32_t tileWidth = 0;       // 8: the store's fields (8 to 48) only with kMaskChunkHasStore
  int32_t tileHeight = 0;      // 12
  int32_t tilesAcross = 0;     // 16
  int32_t tilesDown = 0;       // 20
  int32_t storeWidth = 0;      // 24
  int32_t storeHeight = 0;     // 28
  int32_t offsetX = 0;         // 32
  int32_t offsetY = 0;         // 36
  int32_t canvasWidth = 0;     // 40
  int32_t canvasHeight = 0;    // 44
  uint32_t defaultFill = 0;    // 48
  uint16_t nameLength = 0;     // 52: with the terminating zero
  uint16_t formatLevel = 0;    // 54: 0
  uint8_t reserved1[16] = {};  // 56
};
static_assert(sizeof(SMaskChunkRecord) == 72);
inline constexpr int32_t kMaskChunkRecordBytes = 72;

void EncodeMaskChunkRecord(const SMaskChunkRecord& record, uint8_t* out);
SMaskChunkRecord DecodeMaskChunkRecord(const uint8_t* in);

// Writes the chunk header, the record and the name (short writes: 8), then, when the mask has a
// store, its blocks (tiles of 64 pixels, else 30). With a size request only the record's length
// (80 + rounded name length) is given and nothing written. The guarded form applies the guard
// rule (failure: nothing left behind; exception: 3).
uint8_t WriteMaskChunk(Stream& stream, const SSize& canvasSize, const CMaskData& mask, uint32_t* sizeRequest);
uint8_t WriteMaskChunkGuarded(Stream& stream, const SSize& canvasSize, const CMaskData& mask);

// Writes every mask in list order with the guarded writer: status "%sを保存しています..." with the
// mask's name, a failure warned ("マスク", the name, the code) and skipped, progress +1 a mask.
// Returns the number written; failed (when given) receives the number that failed.
int32_t WriteMasks(Stream& stream, const CMaskMngr& masks, TProgressDlg* dialog, int32_t* failed);

// Reads a mask chunk whose header was just read (size: the header's size): the record (9; size
// below 72 or a name beyond it: 17; format level other than 0: 12; tiles other than 64 or tile
// counts that disagree with the store: 30; a store that cannot be made or whose bytes do not
// fit 32 bits: 29), the name (1, 9), the blocks (30 to 34, 1, 9, 16; the mask is dropped), then
// the store compacted, its thumbnail drawn and the mask appended (null list: 28; refused: 35).
// Progress +1.
uint8_t ReadMaskChunk(Stream& stream, CMaskMngr* masks, uint32_t size, TProgressDlg* dialog);

}  // namespace tf
