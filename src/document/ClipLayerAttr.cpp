#include "document/ClipLayerAttr.h"

#include <cstring>

#include "document/LayerData.h"
#include "platform/ByteOrder.h"

namespace tf {

void EncodeClipLayerAttr(const SClipLayerAttr& a, uint8_t* out) {
  std::memset(out, 0, kClipLayerAttrBytes);
  StoreI32(out + 0, a.index);
  StoreU16(out + 4, a.flags);
  out[6] = a.blendMode;
  out[7] = a.opacity;
  StoreI32(out + 8, a.tileWidth);
  StoreI32(out + 12, a.tileHeight);
  StoreI32(out + 16, a.tilesAcross);
  StoreI32(out + 20, a.tilesDown);
  StoreI32(out + 24, a.storeWidth);
  StoreI32(out + 28, a.storeHeight);
  StoreI32(out + 32, a.offsetX);
  StoreI32(out + 36, a.offsetY);
  StoreI32(out + 40, a.canvasWidth);
  StoreI32(out + 44, a.canvasHeight);
  StoreU32(out + 48, a.defaultFill);
  StoreU16(out + 52, a.nameLength);
  StoreU16(out + 54, a.formatLevel);
  out[56] = a.dissolveOpacity;
  out[57] = a.folderDepth;
  StoreI32(out + 60, a.dissolveSeed);
}

SClipLayerAttr DecodeClipLayerAttr(const uint8_t* in) {
  SClipLayerAttr a;
  a.index = LoadI32(in + 0);
  a.flags = LoadU16(in + 4);
  a.blendMode = in[6];
  a.opacity = in[7];
  a.tileWidth = LoadI32(in + 8);
  a.tileHeight = LoadI32(in + 12);
  a.tilesAcross = LoadI32(in + 16);
  a.tilesDown = LoadI32(in + 20);
  a.storeWidth = LoadI32(in + 24);
  a.storeHeight = LoadI32(in + 28);
  a.offsetX = LoadI32(in + 32);
  a.offsetY = LoadI32(in + 36);
  a.canvasWidth = LoadI32(in + 40);
  a.canvasHeight = LoadI32(in + 44);
  a.defaultFill = LoadU32(in + 48);
  a.nameLength = LoadU16(in + 52);
  a.formatLevel = LoadU16(in + 54);
  a.dissolveOpacity = in[56];
  a.folderDepth = in[57];
  a.dissolveSeed = LoadI32(in + 60);
  return a;
}

SClipLayerAttr MakeClipLayerAttr(const CLayerData& layer) {
  SClipLayerAttr a;
  a.index = layer.index;
  a.flags = kClipLayerDissolveValid;
  if (layer.visible) a.flags |= kClipLayerVisible;
  if (layer.alphaProtect) a.flags |= kClipLayerProtected;
  if (layer.dissolve) a.flags |= kClipLayerDissolve;
  a.blendMode = layer.blendMode;
  a.opacity = layer.opacity;
  if (const CBlockVMTC* store = layer.Store()) {
    a.tileWidth = store->TileWidth();
    a.tileHeight = store->TileHeight();
    a.tilesAcross = store->TilesAcross();
    a.tilesDown = store->TilesDown();
    a.storeWidth = store->Width();
    a.storeHeight = store->Height();
    a.defaultFill = store->DefaultFill();
  }
  a.offsetX = layer.offsetX;
  a.offsetY = layer.offsetY;
  a.canvasWidth = layer.canvasWidth;
  a.canvasHeight = layer.canvasHeight;
  a.formatLevel = ClipLayerFormatLevel(layer.blendMode);
  a.dissolveOpacity = layer.dissolveThreshold;
  a.folderDepth = static_cast<uint8_t>(layer.GroupDepth());
  a.dissolveSeed = layer.random.seed;
  return a;
}

}  // namespace tf
