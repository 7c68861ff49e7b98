// SClipLayerAttr: the 72-byte layer attribute record of documents, image packets and the clipboard.
#pragma once
// One layer's attributes and store geometry, little-endian on disk. It is the body of a layer
// chunk after the chunk header, and travels as it stands in image packets and clipboard copies.
// Offsets in the comments are the record's own.
#include <cstdint>

namespace tf {

class CLayerData;

// Flag bits of the record.
enum ClipLayerFlag : uint16_t {
  kClipLayerVisible = 0x1,
  kClipLayerProtected = 0x2,       // transparency protected
  kClipLayerDissolveValid = 0x10,  // the dissolve fields hold values (always set when written)
  kClipLayerDissolve = 0x20,
  kClipLayerClipboard = 0x40,  // set only in clipboard copies
};

// Blend modes a record may name (0 to 21); level 0 records use only 0 to 3.
inline constexpr uint8_t kClipLayerLastMode = 21;
inline constexpr uint8_t kClipLayerLastLevel0Mode = 3;

struct SClipLayerAttr {
  int32_t index = 0;              // 0: place in the stack
  uint16_t flags = 0;             // 4: ClipLayerFlag
  uint8_t blendMode = 0;          // 6: 0 to 21
  uint8_t opacity = 255;          // 7
  int32_t tileWidth = 0;          // 8: the pixel store's tile size (32)
  int32_t tileHeight = 0;         // 12
  int32_t tilesAcross = 0;        // 16
  int32_t tilesDown = 0;          // 20
  int32_t storeWidth = 0;         // 24
  int32_t storeHeight = 0;        // 28
  int32_t offsetX = 0;            // 32: where the canvas origin lies inside the store
  int32_t offsetY = 0;            // 36
  int32_t canvasWidth = 0;        // 40: the canvas the layer was made for
  int32_t canvasHeight = 0;       // 44
  uint32_t defaultFill = 0;       // 48: the store's default fill value
  uint16_t nameLength = 0;        // 52: the name's bytes with their terminating zero
  uint16_t formatLevel = 0;       // 54: 0 for blend modes 0 to 3, else 1
  uint8_t dissolveOpacity = 255;  // 56
  uint8_t folderDepth = 0;        // 57: 0 to 250
  uint8_t reserved0[2] = {};      // 58: zero
  int32_t dissolveSeed = 0;       // 60
  uint8_t reserved1[8] = {};      // 64: zero
};
static_assert(sizeof(SClipLayerAttr) == 72);
inline constexpr int32_t kClipLayerAttrBytes = 72;

void EncodeClipLayerAttr(const SClipLayerAttr& attr, uint8_t* out);
SClipLayerAttr DecodeClipLayerAttr(const uint8_t* in);

// The record of a layer: index, flags (visible, protected, 0x10, dissolve), mode, opacity, the
// store's geometry and default fill, offsets, canvas size, format level, dissolve opacity,
// folder depth and dissolve seed. The name length is the caller's (it depends on how the name
// is written).
SClipLayerAttr MakeClipLayerAttr(const CLayerData& layer);
// The format level a blend mode needs.
inline uint16_t ClipLayerFormatLevel(uint8_t mode) { return mode <= kClipLayerLastLevel0Mode ? 0 : 1; }

}  // namespace tf
