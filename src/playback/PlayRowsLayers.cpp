// Player rows of the layer commands, layer and image-wide transforms and pasted images.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "document/BlendMode.h"
#include "document/ClipLayerAttr.h"
#include "document/LayerData.h"
#include "document/ShellServices.h"
#include "events/EventPacket.h"
#include "paint/Stroke.h"
#include "paper/LayerBuild.h"
#include "paper/Paper.h"
#include "playback/PlayRows.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

bool ValidMode(uint8_t mode) { return mode < kBlendModeCount; }

// The first int16 of every layer packet.
bool GetLayer(const CPlayPayload& p, int32_t& layer) {
  int16_t value = 0;
  if (!p.Get(0, value)) return false;
  layer = value;
  return true;
}

// After a new layer: the player stroke's alpha keeping and the active layer's alpha protection
// follow the packet's protect flag.
void FollowProtectFlag(SPlayCall& call, uint16_t flags) {
  const bool protect = (flags & kLayerFlagProtect) != 0;
  if (CLayerData* active = call.paper.GetActiveLayer()) active->alphaProtect = protect ? 1 : 0;
  call.stroke.SetKeepAlpha(protect, true);
}

// ---- Class 4 ----------------------------------------------------------------------------------

bool PlayAddLayer(SPlayCall& call) {
  const CPlayPayload& p = call.payload;
  int16_t position = 0;
  int32_t width = 0, height = 0;
  uint8_t mode = 0, opacity = 0;
  uint16_t flags = 0;
  if (!p.Get(0, position) || !p.Get(2, width) || !p.Get(6, height) || !p.Get(10, mode) || !p.Get(11, opacity) ||
      !p.Get(12, flags))
    return false;
  if (width < 1 || height < 1 || !ValidMode(mode)) return false;
  if (!call.paper.AddLayer(call.flow, position, false, (flags & kLayerFlagVisible) != 0, opacity, mode, height,
                           width))
    return false;
  FollowProtectFlag(call, flags);
  return true;
}

bool PlayNewLayer(SPlayCall& call) {
  const CPlayPayload& p = call.payload;
  int16_t position = 0;
  int32_t width = 0, height = 0;
  uint8_t mode = 0, opacity = 0;
  uint16_t flags = 0, n = 0;
  uint32_t fill = 0;
  std::string name;
  if (!p.Get(0, position) || !p.Get(2, width) || !p.Get(6, height) || !p.Get(18, mode) || !p.Get(19, opacity) ||
      !p.Get(20, flags) || !p.Get(22, fill) || !p.Get(40, n) || !p.GetName(42, n, name))
    return false;
  if (width < 1 || height < 1 || !ValidMode(mode)) return false;
  if (!call.paper.NewLayer(call.flow, position, false, (flags & kLayerFlagVisible) != 0, name, fill, opacity,
                           mode, height, width))
    return false;
  FollowProtectFlag(call, flags);
  return true;
}

bool PlayDeleteLayer(SPlayCall& call) {
  int32_t layer = 0;
  return GetLayer(call.payload, layer) && call.paper.DeleteLayer(call.flow, layer, false);
}

bool PlayDuplicateLayer(SPlayCall& call) {
  int32_t layer = 0;
  return GetLayer(call.payload, layer) && call.paper.DuplicateLayer(call.flow, layer, false);
}

bool PlayMoveLayer(SPlayCall& call) {
  int32_t layer = 0;
  int16_t target = 0;
  return GetLayer(call.payload, layer) && call.payload.Get(2, target) &&
         call.paper.MoveLayer(call.flow, layer, false, target);
}

bool PlayTrimLayer(SPlayCall& call) {
  int32_t layer = 0;
  return GetLayer(call.payload, layer) && call.paper.TrimLayer(call.flow, layer, false);
}

// The attribute record of codes 16 to 18, 20 and 21.
struct SPlayedAttributes {
  int32_t layer = 0;
  uint8_t mode = 0;
  uint8_t opacity = 0;
  uint16_t flags = 0;
};

bool GetAttributes(const CPlayPayload& p, SPlayedAttributes& a) {
  if (!GetLayer(p, a.layer) || !p.Get(2, a.mode) || !p.Get(3, a.opacity) || !p.Get(4, a.flags)) return false;
  return ValidMode(a.mode);
}

// The record's blend mode, opacity and visible flag, as the recorder read them off the layer.
void TakeAttributes(TPaper& paper, const SPlayedAttributes& a) {
  CLayerData* layer = paper.GetLayer(a.layer);
  if (layer == nullptr) return;
  layer->blendMode = a.mode;
  layer->opacity = a.opacity;
  layer->visible = (a.flags & kLayerFlagVisible) != 0 ? 1 : 0;
}

// Codes 16, 17 and 18: the command that recorded the record, then the record's other fields.
bool PlayLayerAttribute(SPlayCall& call) {
  SPlayedAttributes a;
  if (!GetAttributes(call.payload, a)) return false;
  bool done = false;
  switch (call.frame.header.code) {
    case 16: done = call.paper.SetLayerBlendMode(a.layer, a.mode, false); break;
    case 17: done = call.paper.SetLayerOpacity(a.layer, a.opacity, false); break;
    case 18: done = call.paper.SetLayerVisible(a.layer, (a.flags & kLayerFlagVisible) != 0, false); break;
    default: return false;
  }
  if (!done) return false;
  TakeAttributes(call.paper, a);
  call.paper.RedrawAll(true);
  call.paper.RefreshLayerOrGroup(a.layer, true);
  return true;
}

bool PlayLayerProtect(SPlayCall& call) {
  SPlayedAttributes a;
  if (!GetAttributes(call.payload, a) || !call.paper.IsValidLayerIndex(a.layer)) return false;
  TakeAttributes(call.paper, a);
  const bool protect = (a.flags & kLayerFlagProtect) != 0;
  if (!call.paper.SetLayerProtect(a.layer, protect ? 1 : 0, false)) return false;
  if (a.layer == call.paper.GetActiveLayerIndex()) call.stroke.SetKeepAlpha(protect, true);
  return true;
}

bool PlayLayerDissolve(SPlayCall& call) {
  SPlayedAttributes a;
  uint8_t threshold = 0;
  int32_t seed = 0;
  if (!GetAttributes(call.payload, a) || !call.payload.Get(6, threshold) || !call.payload.Get(8, seed))
    return false;
  if (!call.paper.SetLayerDissolve(a.layer, (a.flags & kLayerFlagClip) != 0, false, threshold)) return false;
  TakeAttributes(call.paper, a);
  call.paper.GetLayer(a.layer)->SetSeed(seed);
  call.paper.RedrawAll(true);
  call.paper.RefreshLayerOrGroup(a.layer, true);
  return true;
}

bool PlayRenameLayer(SPlayCall& call) {
  int32_t layer = 0;
  uint16_t n = 0;
  std::string name;
  return GetLayer(call.payload, layer) && call.payload.Get(2, n) && call.payload.GetName(4, n, name) &&
         call.paper.RenameLayer(call.flow, layer, false, name);
}

// Codes 32 to 35: 7 mirror left-right, 8 top-bottom, 10 turn by 180 degrees, 9 invert colours.
uint8_t LayerKind(uint8_t code) {
  static constexpr uint8_t kKinds[4] = {7, 8, 10, 9};
  return kKinds[code & 3];
}

bool PlayTransformLayer(SPlayCall& call) {
  int32_t layer = 0;
  return GetLayer(call.payload, layer) &&
         call.paper.ApplyLayerCommand(call.flow, layer, false, LayerKind(call.frame.header.code));
}

bool PlayRotateLayer90(SPlayCall& call) {
  int32_t layer = 0;
  return GetLayer(call.payload, layer) &&
         call.paper.RotateLayer90(call.flow, layer, false, call.frame.header.code == 36);
}

bool PlayRotateLayerFree(SPlayCall& call) {
  int32_t layer = 0;
  float angle = 0.0f;
  if (!GetLayer(call.payload, layer) || !call.payload.Get(4, angle)) return false;
  if (!std::isfinite(angle)) return false;
  return call.paper.RotateLayerFree(call.flow, layer, false, angle);
}

bool PlayScaleLayer(SPlayCall& call) {
  int32_t layer = 0, width = 0, height = 0;
  if (!GetLayer(call.payload, layer) || !call.payload.Get(4, width) || !call.payload.Get(8, height)) return false;
  if (width < 1 || height < 1) return false;
  return call.paper.ScaleLayer(call.flow, layer, false, width, height);
}

bool PlayTransformInSelection(SPlayCall& call) {
  int32_t layer = 0;
  int16_t mask = 0;
  uint8_t withAlpha = 0;
  if (!GetLayer(call.payload, layer) || !call.payload.Get(2, mask) || !call.payload.Get(4, withAlpha))
    return false;
  return call.paper.TransformInSelection(call.flow, layer, false, withAlpha != 0,
                                         LayerKind(call.frame.header.code), mask);
}

// ---- Class 2 ----------------------------------------------------------------------------------

// Codes 16 to 19 and 32 to 35: 12 mirror left-right, 13 top-bottom, 15 turn by 180 degrees,
// 14 invert colours.
uint8_t ImageKind(uint8_t code) {
  static constexpr uint8_t kKinds[4] = {12, 13, 15, 14};
  return kKinds[code & 3];
}

bool PlayTransformVisible(SPlayCall& call) {
  return call.paper.ApplyImageToVisible(call.flow, ImageKind(call.frame.header.code), false);
}

bool PlayTransformAll(SPlayCall& call) {
  return call.paper.ApplyImageToAll(call.flow, ImageKind(call.frame.header.code), false);
}

bool PlayShowAll(SPlayCall& call) {
  int32_t layer = 0;
  int16_t show = 0;
  return GetLayer(call.payload, layer) && call.payload.Get(2, show) &&
         call.paper.SetAllLayersVisible(layer, show != 0, false);
}

bool PlayShowOnly(SPlayCall& call) {
  int32_t layer = 0;
  return GetLayer(call.payload, layer) && call.paper.ShowActiveLayerOnly(layer, false);
}

bool PlayInvertVisibility(SPlayCall& call) {
  int32_t layer = 0;
  return GetLayer(call.payload, layer) && call.paper.InvertLayerVisibility(layer, false);
}

// ---- Class 12 ---------------------------------------------------------------------------------

// An image packet read out of the payload, every size checked against what the payload holds.
struct SPlayedImage {
  int32_t layer = 0;
  TMTC image;
  bool hasAttributes = false;
  SClipLayerAttr attributes;
  std::string name;
};

bool ReadImagePacket(const CPlayPayload& p, SPlayedImage& out) {
  int16_t layer = 0, nameLength = 0;
  int32_t width = 0, height = 0, length = 0, pixelBytes = 0;
  uint8_t bits = 0, flagged = 0;
  if (!p.Get(0, layer) || !p.Get(2, width) || !p.Get(6, height) || !p.Get(10, bits) || !p.Get(11, flagged) ||
      !p.Get(12, length) || !p.Get(16, nameLength) || !p.Get(18, pixelBytes))
    return false;
  if (bits != 32 || flagged > 1 || nameLength < 0 || width < 1 || height < 1 || width > kMaxLayerStoreSide ||
      height > kMaxLayerStoreSide)
    return false;
  const uint64_t bytes = uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height) * 4;
  if (pixelBytes < 0 || static_cast<uint64_t>(pixelBytes) != bytes) return false;
  uint64_t at = sizeof(SImagePacketHeader);
  if (flagged != 0) {
    if (!p.Holds(at, kClipLayerAttrBytes)) return false;
    out.attributes = DecodeClipLayerAttr(p.data() + at);
    out.hasAttributes = true;
    at += kClipLayerAttrBytes;
  }
  if (!p.GetName(static_cast<uint32_t>(at), static_cast<uint32_t>(nameLength), out.name)) return false;
  at += static_cast<uint64_t>(nameLength);
  if (!p.Holds(at, bytes)) return false;
  if (!out.image.Resize(width, height) || !out.image.IsValid()) return false;
  const uint8_t* pixels = p.data() + at;
  const size_t row = size_t{4} * static_cast<size_t>(width);
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(out.image.Pixel(0, y), pixels + row * static_cast<size_t>(y), row);
  out.layer = layer;
  return true;
}

bool PlayPastedImage(SPlayCall& call) {
  SPlayedImage packet;
  if (!ReadImagePacket(call.payload, packet)) return false;
  return call.paper.AddImageLayer(call.flow, packet.image, false, packet.name,
                                  packet.hasAttributes ? &packet.attributes : nullptr);
}

bool PlayOpenedImage(SPlayCall& call) {
  SPlayedImage packet;
  if (!ReadImagePacket(call.payload, packet)) return false;
  TPaper& paper = call.paper;
  const CLayerData* target = paper.GetLayer(packet.layer);
  if (target == nullptr) return false;
  if (target->StoreWidth() != packet.image.Width() || target->StoreHeight() != packet.image.Height()) {
    // A layer of the image's size is inserted at the bottom first (never smaller than the canvas:
    // a store always covers it).
    const int32_t width = std::max(packet.image.Width(), paper.canvasWidth);
    const int32_t height = std::max(packet.image.Height(), paper.canvasHeight);
    if (!paper.CanAddLayer(-1) || paper.InsertLayer(0, width, true, 255, 3, height) < 0) return false;
    paper.Layers().AssignDefaultName(0, 1);
    UpdateLayerPane();
  }
  return paper.PasteImageToLayer(call.flow, packet.layer, false, packet.name,
                                 packet.hasAttributes ? &packet.attributes : nullptr, packet.image);
}

constexpr SPlayRow kRows[] = {
    {4, 0, PlayAddLayer, 0x08, "AddLayer"},
    {4, 1, PlayDeleteLayer, 0x01, "DeleteLayer"},
    {4, 3, PlayDuplicateLayer, 0x01, "DuplicateLayer"},
    {4, 4, PlayMoveLayer, 0x01, "MoveLayer"},
    {4, 8, PlayTrimLayer, 0x01, "TrimLayer"},
    {4, 11, PlayNewLayer, 0x08, "NewLayer"},
    {4, 16, PlayLayerAttribute, 0x01, "SetLayerBlendMode"},
    {4, 17, PlayLayerAttribute, 0x01, "SetLayerOpacity"},
    {4, 18, PlayLayerAttribute, 0x01, "SetLayerVisible"},
    {4, 19, PlayRenameLayer, 0x00, "RenameLayer"},
    {4, 20, PlayLayerProtect, 0x00, "SetLayerProtect"},
    {4, 21, PlayLayerDissolve, 0x01, "SetLayerDissolve"},
    {4, 32, PlayTransformLayer, 0x01, "FlipLayerHorizontal"},
    {4, 33, PlayTransformLayer, 0x01, "FlipLayerVertical"},
    {4, 34, PlayTransformLayer, 0x01, "RotateLayer180"},
    {4, 35, PlayTransformLayer, 0x01, "InvertLayerColors"},
    {4, 36, PlayRotateLayer90, 0x01, "RotateLayer90"},
    {4, 37, PlayRotateLayer90, 0x01, "RotateLayer90"},
    {4, 38, PlayRotateLayerFree, 0x01, "RotateLayerFree"},
    {4, 39, PlayScaleLayer, 0x01, "ScaleLayer"},
    {4, 48, PlayTransformInSelection, 0x01, "FlipSelectionHorizontal"},
    {4, 49, PlayTransformInSelection, 0x01, "FlipSelectionVertical"},
    {4, 50, PlayTransformInSelection, 0x01, "RotateSelection180"},
    {4, 51, PlayTransformInSelection, 0x01, "InvertSelectionColors"},
    {2, 16, PlayTransformVisible, 0x07, "ApplyImageToVisible"},
    {2, 17, PlayTransformVisible, 0x07, "ApplyImageToVisible"},
    {2, 18, PlayTransformVisible, 0x07, "ApplyImageToVisible"},
    {2, 19, PlayTransformVisible, 0x07, "ApplyImageToVisible"},
    {2, 24, PlayShowAll, 0x07, "SetAllLayersVisible"},
    {2, 25, PlayShowOnly, 0x07, "ShowActiveLayerOnly"},
    {2, 26, PlayInvertVisibility, 0x07, "InvertLayerVisibility"},
    {2, 32, PlayTransformAll, 0x07, "ApplyImageToAll"},
    {2, 33, PlayTransformAll, 0x07, "ApplyImageToAll"},
    {2, 34, PlayTransformAll, 0x07, "ApplyImageToAll"},
    {2, 35, PlayTransformAll, 0x07, "ApplyImageToAll"},
    {12, 1, PlayPastedImage, 0x03, "AddImageLayer"},
    {12, 2, PlayOpenedImage, 0x03, "PasteImageToLayer"},
};

}  // namespace

std::span<const SPlayRow> LayerPlayRows() { return kRows; }

}  // namespace tf
