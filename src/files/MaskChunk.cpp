#include "files/MaskChunk.h"

#include <cstring>
#include <memory>
#include <string>

#include "document/Mask.h"
#include "files/DocChunkParts.h"
#include "platform/ByteOrder.h"
#include "platform/Progress.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "platform/Warning.h"
#include "raster/BlockChunk.h"
#include "raster/BlockVCH.h"

namespace tf {

void EncodeMaskChunkRecord(const SMaskChunkRecord& r, uint8_t* out) {
  std::memset(out, 0, kMaskChunkRecordBytes);
  StoreI32(out + 0, r.index);
  StoreU16(out + 4, r.flags);
  StoreI32(out + 8, r.tileWidth);
  StoreI32(out + 12, r.tileHeight);
  StoreI32(out + 16, r.tilesAcross);
  StoreI32(out + 20, r.tilesDown);
  StoreI32(out + 24, r.storeWidth);
  StoreI32(out + 28, r.storeHeight);
  StoreI32(out + 32, r.offsetX);
  StoreI32(out + 36, r.offsetY);
  StoreI32(out + 40, r.canvasWidth);
  StoreI32(out + 44, r.canvasHeight);
  StoreU32(out + 48, r.defaultFill);
  StoreU16(out + 52, r.nameLength);
  StoreU16(out + 54, r.formatLevel);
}

SMaskChunkRecord DecodeMaskChunkRecord(const uint8_t* in) {
  SMaskChunkRecord r;
  r.index = LoadI32(in + 0);
  r.flags = LoadU16(in + 4);
  r.tileWidth = LoadI32(in + 8);
  r.tileHeight = LoadI32(in + 12);
  r.tilesAcross = LoadI32(in + 16);
  r.tilesDown = LoadI32(in + 20);
  r.storeWidth = LoadI32(in + 24);
  r.storeHeight = LoadI32(in + 28);
  r.offsetX = LoadI32(in + 32);
  r.offsetY = LoadI32(in + 36);
  r.canvasWidth = LoadI32(in + 40);
  r.canvasHeight = LoadI32(in + 44);
  r.defaultFill = LoadU32(in + 48);
  r.nameLength = LoadU16(in + 52);
  r.formatLevel = LoadU16(in + 54);
  return r;
}

uint8_t WriteMaskChunk(Stream& stream, const SSize& canvasSize, const CMaskData& mask, uint32_t* sizeRequest) {
  const std::string name = ChunkNameOf(mask.name);
  const uint32_t size = kMaskChunkRecordBytes + ChunkNameSpan(name);
  if (sizeRequest != nullptr) {
    *sizeRequest = kChunkHeaderBytes + size;
    return kFileOk;
  }
  SMaskChunkRecord record;
  record.index = mask.index;
  record.nameLength = ChunkNameLength(name);
  const CBlockVCH* store = mask.IsAllocated() ? mask.Store() : nullptr;
  if (store != nullptr) {
    if (store->TileWidth() != kMaskChunkTile || store->TileHeight() != kMaskChunkTile) return kFileMaskGeometry;
    record.flags = kMaskChunkHasStore;
    record.tileWidth = store->TileWidth();
    record.tileHeight = store->TileHeight();
    record.tilesAcross = store->TilesAcross();
    record.tilesDown = store->TilesDown();
    record.storeWidth = store->Width();
    record.storeHeight = store->Height();
    record.offsetX = mask.offsetX;
    record.offsetY = mask.offsetY;
    record.canvasWidth = canvasSize.width;
    record.canvasHeight = canvasSize.height;
    record.defaultFill = store->DefaultFill();
  }
  uint8_t bytes[kChunkHeaderBytes + kMaskChunkRecordBytes];
  EncodeChunkHeader(SChunkHeader{kChunkMask, size}, bytes);
  EncodeMaskChunkRecord(record, bytes + kChunkHeaderBytes);
  if (!stream.WriteExact(bytes, sizeof bytes) || !WriteChunkName(stream, name)) return kFileShortWrite;
  if (store == nullptr) return kFileOk;
  return WriteMaskBlocks(stream, *store);
}

uint8_t WriteMaskChunkGuarded(Stream& stream, const SSize& canvasSize, const CMaskData& mask) {
  return WriteGuarded(stream, [&] { return WriteMaskChunk(stream, canvasSize, mask, nullptr); });
}

int32_t WriteMasks(Stream& stream, const CMaskMngr& masks, TProgressDlg* dialog, int32_t* failed) {
  const SSize canvas = masks.CanvasSize();
  int32_t written = 0;
  int32_t failures = 0;
  for (int32_t i = 0; i < masks.GetCount(); ++i) {
    const CMaskData* mask = masks.GetMask(i);
    if (mask == nullptr) continue;
    const std::string name = Cp932ToUtf8(mask->name);
    ProgressSetStatus(dialog, DocFormat(kDocSavingStep, name));
    if (const uint8_t code = WriteMaskChunkGuarded(stream, canvas, *mask)) {
      ShowWarning(DocFormat(kDocSaveFailedText, kDocMaskWord, name, code));
      ++failures;
    } else {
      ++written;
    }
    ProgressStepBy(dialog, 1);
  }
  if (failed != nullptr) *failed = failures;
  return written;
}

uint8_t ReadMaskChunk(Stream& stream, CMaskMngr* masks, uint32_t size, TProgressDlg* dialog) {
  try {
    uint8_t bytes[kMaskChunkRecordBytes];
    if (!stream.ReadExact(bytes, sizeof bytes)) return kFileShortRead;
    const SMaskChunkRecord record = DecodeMaskChunkRecord(bytes);
    if (uint8_t code = CheckNamedRecordSize(size, record.nameLength)) return code;
    if (record.formatLevel != 0) return kFileLevel;
    std::string name;
    if (uint8_t code = ReadChunkString(stream, int64_t{size} - kMaskChunkRecordBytes, name)) return code;

    const bool hasStore = (record.flags & kMaskChunkHasStore) != 0;
    std::unique_ptr<CMaskData> mask;
    if (hasStore) {
      if (!TiledGeometryAgrees(record.tileWidth, record.tileHeight, record.tilesAcross, record.tilesDown,
                               record.storeWidth, record.storeHeight, kMaskChunkTile))
        return kFileMaskGeometry;
      if (!TiledBytesFit(record.tilesAcross, record.tilesDown) ||
          !IsAcceptableMaskGeometry(TPoint{record.offsetX, record.offsetY},
                                    SSize{record.storeWidth, record.storeHeight}))
        return kFileMaskMade;
      mask = CMaskData::Create(record.index, record.storeWidth, record.storeHeight);
    } else {
      mask = std::make_unique<CMaskData>(record.index);
    }
    if (!mask) return kFileMaskMade;
    mask->offsetX = hasStore ? record.offsetX : 0;
    mask->offsetY = hasStore ? record.offsetY : 0;
    mask->name = std::move(name);
    ProgressSetStatus(dialog, DocFormat(kDocLoadingStep, Cp932ToUtf8(mask->name)));

    if (hasStore) {
      if (uint8_t code = ReadMaskBlocks(stream, *mask->Store(), record.tilesAcross, record.tilesDown))
        return code;
      mask->Store()->Compact();
    }
    if (masks == nullptr) return kFileNoMaskManager;
    masks->UpdateThumbnail(mask.get());
    masks->Renumber();
    if (masks->InsertMask(masks->GetCount(), mask) < 0) return kFileMaskAccepted;
    masks->Renumber();
    ProgressStepBy(dialog, 1);
    return kFileOk;
  } catch (...) {
    return kFileException;
  }
}

}  // namespace tf
