#include "files/LayerChunk.h"

#include <algorithm>
#include <string>

#include "document/ClipLayerAttr.h"
#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "files/DocChunkParts.h"
#include "paper/LayerBuild.h"
#include "platform/Debug.h"
#include "platform/Progress.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "raster/BlockChunk.h"
#include "raster/BlockVMTC.h"

namespace tf {

namespace {

constexpr uint8_t kNormalMode = 3;

}  // namespace

bool LayerStoreCouldBeRead(const SClipLayerAttr& attr, int64_t bytesAfterName) {
  // No command makes a store side beyond what the tiled store addresses.
  if (attr.storeWidth > kMaxLayerStoreSide || attr.storeHeight > kMaxLayerStoreSide) return false;
  // Every tile is in the file: as a 4-byte fill value, or packed, and 4096 bytes pack to no
  // fewer than about 4. A store whose tiles cannot fit in what is left of the file is no
  // store the program wrote, and is refused before its tile table or a flat copy is made.
  if (bytesAfterName < 0) return false;
  const uint64_t tiles = static_cast<uint64_t>(attr.tilesAcross) * static_cast<uint64_t>(attr.tilesDown);
  return tiles * kTiledBlockBytes <= MaxUnpackedLength(static_cast<uint64_t>(bytesAfterName));
}

uint8_t WriteLayerRecord(Stream& stream, const CLayerData& layer, uint32_t* sizeRequest) {
  const std::string name = ChunkNameOf(layer.name);
  const uint32_t size = kClipLayerAttrBytes + ChunkNameSpan(name);
  if (sizeRequest != nullptr) {
    *sizeRequest = kChunkHeaderBytes + size;
    return kFileOk;
  }
  SClipLayerAttr attr = MakeClipLayerAttr(layer);
  attr.nameLength = ChunkNameLength(name);
  uint8_t bytes[kChunkHeaderBytes + kClipLayerAttrBytes];
  EncodeChunkHeader(SChunkHeader{kChunkLayer, size}, bytes);
  EncodeClipLayerAttr(attr, bytes + kChunkHeaderBytes);
  if (!stream.WriteExact(bytes, sizeof bytes) || !WriteChunkName(stream, name)) return kFileShortWrite;
  return kFileOk;
}

uint8_t WriteLayerChunk(Stream& stream, const CLayerData& layer) {
  const CBlockVMTC* store = layer.Store();
  if (store == nullptr || store->TileWidth() != kLayerChunkTile || store->TileHeight() != kLayerChunkTile)
    return kFileLayerGeometry;
  if (uint8_t code = WriteLayerRecord(stream, layer, nullptr)) return code;
  return WriteLayerBlocks(stream, *store);
}

uint8_t WriteLayerChunkGuarded(Stream& stream, const CLayerData& layer) {
  return WriteGuarded(stream, [&] { return WriteLayerChunk(stream, layer); });
}

uint8_t ReadLayerChunk(Stream& stream, CLayerMngr& layers, uint32_t size, bool withOwnUndo,
                       TProgressDlg* dialog) {
  try {
    uint8_t bytes[kClipLayerAttrBytes];
    if (!stream.ReadExact(bytes, sizeof bytes)) return kFileShortRead;
    const SClipLayerAttr attr = DecodeClipLayerAttr(bytes);
    if (uint8_t code = CheckNamedRecordSize(size, attr.nameLength)) return code;
    if (attr.formatLevel > 1) return kFileLevel;
    if (!TiledGeometryAgrees(attr.tileWidth, attr.tileHeight, attr.tilesAcross, attr.tilesDown, attr.storeWidth,
                             attr.storeHeight, kLayerChunkTile))
      return kFileLayerGeometry;
    if (!TiledBytesFit(attr.tilesAcross, attr.tilesDown) || attr.index < 0) return kFileLayerInserted;
    if (!LayerStoreCouldBeRead(attr, stream.Remaining() - (int64_t{size} - kClipLayerAttrBytes)))
      return kFileLayerGeometry;
    uint8_t mode = attr.blendMode;
    if (mode > kClipLayerLastMode) {
      DebugOutF("ReadLayerChunk: blend mode %d is unknown; the layer is read as normal\n", mode);
      mode = kNormalMode;
    }

    const int32_t at = layers.InsertLayer(attr.index, attr.storeWidth, attr.storeHeight,
                                          (attr.flags & kClipLayerVisible) != 0, attr.opacity, withOwnUndo, mode);
    if (at < 0) return kFileLayerInserted;
    CLayerData& layer = *layers.Get(at);
    layer.offsetX = attr.offsetX;
    layer.offsetY = attr.offsetY;
    layer.canvasWidth = attr.canvasWidth;
    layer.canvasHeight = attr.canvasHeight;
    layer.alphaProtect = (attr.flags & kClipLayerProtected) ? 1 : 0;
    if (attr.flags & kClipLayerDissolveValid) {
      layer.dissolve = (attr.flags & kClipLayerDissolve) ? 1 : 0;
      layer.dissolveThreshold = attr.dissolveOpacity;
      layer.SetSeed(attr.dissolveSeed);
    }
    layer.SetGroupDepth(std::min<int32_t>(attr.folderDepth, kMaxFolderDepth));

    if (uint8_t code = ReadChunkString(stream, int64_t{size} - kClipLayerAttrBytes, layer.name)) return code;
    ProgressSetStatus(dialog, DocFormat(kDocLoadingStep, Cp932ToUtf8(layer.name)));

    const uint8_t code = ReadLayerBlocks(stream, *layer.Store(), attr.tilesAcross, attr.tilesDown);
    layer.Store()->Compact();
    if (code == kFileOk) {
      layer.UpdateThumbnailSize();
      layer.UpdateThumbnail();
    }
    ProgressStepBy(dialog, 1);
    return code;
  } catch (...) {
    return kFileException;
  }
}

}  // namespace tf
