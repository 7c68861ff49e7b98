// CEventMngr: recording of the layer (class 4), folder (class 5), fill (class 6) and image
// (class 12) commands.
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "events/EventStream.h"
#include "events/RecordSources.h"
#include "platform/Debug.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

uint16_t LayerFlags(bool visible, bool protect) {
  return static_cast<uint16_t>((visible ? kLayerFlagVisible : 0) | (protect ? kLayerFlagProtect : 0));
}

}  // namespace

bool PacketString(std::string_view text, std::vector<uint8_t>& out) {
  // The text, its terminator, zero padding to an even count; the count must fit 16 bits.
  if (text.size() > 0xFFFD) return false;
  try {
    out.assign(PacketStringLength(static_cast<uint32_t>(text.size())), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!text.empty()) std::memcpy(out.data(), text.data(), text.size());
  return true;
}

bool CEventMngr::writeAddLayer(int16_t position, int32_t width, bool protect, bool visible, uint8_t opacity,
                               uint8_t blendMode, int32_t height) {
  SNewLayerPacket p{};
  p.position = position;
  p.width = width;
  p.height = height;
  p.blendMode = blendMode;
  p.opacity = opacity;
  p.flags = LayerFlags(visible, protect);
  return recordCommand(RecordGroup::kDocument, kPcLayer, 0, &p, sizeof p);
}

bool CEventMngr::writeNewLayer(int16_t position, int32_t width, bool protect, bool visible, std::string_view name,
                               uint32_t fillValue, uint8_t opacity, uint8_t blendMode, int32_t height) {
  if (state != kEventRecording) return true;
  std::vector<uint8_t> text;
  if (!PacketString(name, text)) return false;
  SNewNamedLayerPacket p{};
  p.position = position;
  p.width = width;
  p.height = height;
  p.blendMode = blendMode;
  p.opacity = opacity;
  p.flags = LayerFlags(visible, protect);
  p.fillValue = fillValue;
  p.n = static_cast<uint16_t>(text.size());
  return recordCommand(RecordGroup::kDocument, kPcLayer, 11, &p, sizeof p, text.data(),
                       static_cast<uint32_t>(text.size()));
}

bool CEventMngr::writeLayerOp(int16_t layer, int16_t value, uint8_t code) {
  const bool known = (code >= 1 && code <= 5) || code == 8 || code == 9 || code == 24 || code == 25 ||
                     (code >= 32 && code <= 37);
  if (!known) return false;
  SLayerValuePacket p{};
  p.layer = layer;
  p.value = value;
  return recordCommand(RecordGroup::kDocument, kPcLayer, code, &p, sizeof p);
}

bool CEventMngr::writeLayerOpEx(int16_t layer, int16_t value, uint8_t code, int32_t value2, int32_t value3) {
  SLayerValue2Packet p{};
  p.layer = layer;
  p.value = value;
  if (code == 39) {
    p.a = value2;
    p.b = value3;
  } else if (code == 10 || code == 38) {
    p.a = value3;
    p.b = value2;
  } else if (code >= 48 && code <= 51) {
    // A switch byte and three zero bytes.
    p.a = static_cast<int32_t>(static_cast<uint8_t>(value3));
    p.b = value2;
  } else {
    return false;
  }
  return recordCommand(RecordGroup::kDocument, kPcLayer, code, &p, sizeof p);
}

bool CEventMngr::writeLayerAttribute(int16_t layer, uint8_t code, AttributeChange change, int32_t value) {
  if (state != kEventRecording) return true;
  if (!document_) return missingSource("document");
  SLayerAttrPacket p{};
  uint8_t mode = 0, opacity = 0;
  uint16_t flags = 0;
  if (!document_->layerAttributes(layer, mode, opacity, flags)) return false;
  switch (change) {
    case AttributeChange::kBlend: mode = static_cast<uint8_t>(value); break;
    case AttributeChange::kOpacity: opacity = static_cast<uint8_t>(value); break;
    case AttributeChange::kVisible:
      flags = static_cast<uint16_t>(value ? flags | kLayerFlagVisible : flags & ~kLayerFlagVisible);
      break;
    case AttributeChange::kProtect:
      flags = static_cast<uint16_t>(value ? flags | kLayerFlagProtect : flags & ~kLayerFlagProtect);
      break;
  }
  p.layer = layer;
  p.blendMode = mode;
  p.opacity = opacity;
  p.flags = flags;
  return recordCommand(RecordGroup::kDocument, kPcLayer, code, &p, sizeof p);
}

bool CEventMngr::writeLayerBlend(int16_t layer, uint8_t blendMode) {
  return writeLayerAttribute(layer, 16, AttributeChange::kBlend, blendMode);
}
bool CEventMngr::writeLayerOpacity(int16_t layer, uint8_t opacity) {
  return writeLayerAttribute(layer, 17, AttributeChange::kOpacity, opacity);
}
bool CEventMngr::writeLayerVisible(int16_t layer, bool visible) {
  return writeLayerAttribute(layer, 18, AttributeChange::kVisible, visible);
}
bool CEventMngr::writeLayerProtect(int16_t layer, bool protect) {
  return writeLayerAttribute(layer, 20, AttributeChange::kProtect, protect);
}

bool CEventMngr::writeLayerDissolve(int16_t layer, bool dissolve, int32_t seed, uint8_t threshold) {
  if (state != kEventRecording) return true;
  if (!document_) return missingSource("document");
  SLayerOptionsPacket p{};
  uint8_t mode = 0, opacity = 0;
  uint16_t flags = 0;
  if (!document_->layerAttributes(layer, mode, opacity, flags)) return false;
  flags = static_cast<uint16_t>(dissolve ? flags | kLayerFlagClip : flags & ~kLayerFlagClip);
  p.attr.layer = layer;
  p.attr.blendMode = mode;
  p.attr.opacity = opacity;
  p.attr.flags = flags;
  p.extra = threshold;
  p.seed = seed;
  return recordCommand(RecordGroup::kDocument, kPcLayer, 21, &p, sizeof p);
}

bool CEventMngr::writeLayerOffset(int16_t layer, int32_t dx, int32_t dy) {
  SOffsetLayerPacket p{};
  p.layer = layer;
  p.dx = dx;
  p.dy = dy;
  return recordCommand(RecordGroup::kDocument, kPcLayer, 6, &p, sizeof p);
}

bool CEventMngr::writeLayerOffsetGrow(int16_t layer, uint8_t overflowBits, uint8_t flag, int32_t dy, int32_t dx) {
  SOffsetLayerPacket p{};
  p.layer = layer;
  p.b1 = overflowBits;
  p.b2 = flag;
  p.dx = dy;  // the grown form carries the offsets in the order it was given them
  p.dy = dx;
  return recordCommand(RecordGroup::kDocument, kPcLayer, 7, &p, sizeof p);
}

bool CEventMngr::writeLayerOffsetInMask(int16_t layer, int16_t mask, const TPoint& offset) {
  SOffsetInMaskPacket p{};
  p.layer = layer;
  p.value = mask;
  p.point.x = offset.x;
  p.point.y = offset.y;
  return recordCommand(RecordGroup::kDocument, kPcLayer, 12, &p, sizeof p);
}

bool CEventMngr::writeLayerOffsetInMaskGrow(int16_t layer, int16_t mask, const TPoint& offset,
                                            int16_t overflowBits) {
  SOffsetInMaskPacket p{};
  p.layer = layer;
  p.value = mask;
  p.point.x = offset.x;
  p.point.y = offset.y;
  p.value2 = overflowBits;
  return recordCommand(RecordGroup::kDocument, kPcLayer, 13, &p, sizeof p);
}

bool CEventMngr::writeLayerName(int16_t layer, std::string_view name) {
  if (state != kEventRecording) return true;
  std::vector<uint8_t> text;
  if (!PacketString(name, text)) return false;
  SNamePacketHeader p{};
  p.index = layer;
  p.n = static_cast<uint16_t>(text.size());
  return recordCommand(RecordGroup::kDocument, kPcLayer, 19, &p, sizeof p, text.data(),
                       static_cast<uint32_t>(text.size()));
}

// ---------------------------------------------------------------------------------------------
// Folders

bool CEventMngr::writeLinkGroup(int16_t layer, bool deeper, const uint8_t* first, const uint8_t* second,
                                int32_t count) {
  if (state != kEventRecording) return true;
  if (count < 0 || (count > 0 && (!first || !second)) || count > INT32_MAX / 2) return false;
  std::vector<uint8_t> arrays;
  try {
    arrays.resize(2 * static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (count > 0) {
    std::memcpy(arrays.data(), first, static_cast<size_t>(count));
    std::memcpy(arrays.data() + count, second, static_cast<size_t>(count));
  }
  SLinkGroupPacket p{};
  p.layer = layer;
  p.count = count;
  p.one = 1;
  p.two = 2;
  p.n = 2 * count;
  return recordCommand(RecordGroup::kDocument, kPcLinkGroup, deeper ? 0 : 1, &p, sizeof p, arrays.data(),
                       static_cast<uint32_t>(arrays.size()));
}

bool CEventMngr::writeLinkGroupOp(uint8_t code, int16_t layer, int16_t value, int32_t value2, int32_t value3) {
  if (code != 8 && code != 11 && code != 12 && code != 13 && code != 16) return false;
  SLayerValue2Packet p{};
  p.layer = layer;
  p.value = value;
  p.a = value2;
  p.b = value3;
  return recordCommand(RecordGroup::kDocument, kPcLinkGroup, code, &p, sizeof p);
}

bool CEventMngr::writeLinkGroupOpEx(uint8_t code, int16_t layer, int16_t value, int32_t value2,
                                    const TPoint& offset, int32_t value3) {
  if (code != 9 && code != 10) return false;
  SLinkGroupOffsetPacket p{};
  p.layer = layer;
  p.value = value;
  p.point.x = offset.x;
  p.point.y = offset.y;
  p.a = value2;
  p.b = value3;
  return recordCommand(RecordGroup::kDocument, kPcLinkGroup, code, &p, sizeof p);
}

// ---------------------------------------------------------------------------------------------
// Fills

bool CEventMngr::writeFill(int16_t layer, int32_t value, uint8_t code, const TPoint* first,
                           const SPointF* second) {
  if (code > 6 || code == 4) return false;
  if (state != kEventRecording) return true;
  SFillPacket p{};
  p.layer = layer;
  p.value = value;
  if (first) {
    p.first.x = first->x;
    p.first.y = first->y;
  }
  p.secondX = second ? second->x : 0.0f;
  p.secondY = second ? second->y : 0.0f;
  if (!writeAllState()) return false;
  // A gradient fill carries the gradient's colours in its own step, changed or not.
  if (code == 2 && !writeGradientColors(true)) return false;
  if (code != 3) return recordCommand(RecordGroup::kNone, kPcFill, code, &p, sizeof p);
  // The older ellipse: the packet carries no kind, and a recording of a version above 3.05 plays
  // code 3 as the newer ellipse (as stored recordings must go on doing). Its step states version
  // 3.05, the last to draw the older one, and this version is stated again right after it.
  SAppStateRecord older{};
  older.major = kOlderEllipseVersionMajor;
  older.minor = kOlderEllipseVersionMinor;
  if (writeStateRecord(kStAppState, &older, sizeof older) == StateWrite::kFailed) return false;
  if (!recordCommand(RecordGroup::kNone, kPcFill, code, &p, sizeof p)) return false;
  SAppStateRecord current{};
  current.major = kAppVersionMajor;
  current.minor = kAppVersionMinor;
  return writeStateRecord(kStAppState, &current, sizeof current) != StateWrite::kFailed;
}

bool CEventMngr::writeFillPolygon(int16_t layer, int32_t count, const TPoint* points) {
  if (count < 0 || count > 0xFFFF || (count > 0 && !points)) return false;
  if (state != kEventRecording) return true;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t{8} * static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    StoreU32(bytes.data() + 8 * i, static_cast<uint32_t>(points[i].x));
    StoreU32(bytes.data() + 8 * i + 4, static_cast<uint32_t>(points[i].y));
  }
  SFillPolygonHeader p{};
  p.layer = layer;
  p.count = static_cast<uint16_t>(count);
  return recordCommand(RecordGroup::kAll, kPcFill, 4, &p, sizeof p, bytes.data(),
                       static_cast<uint32_t>(bytes.size()));
}

// ---------------------------------------------------------------------------------------------
// Images

bool CEventMngr::appendImagePacket(uint8_t cls, uint8_t code, int16_t layer, const TMTC& image,
                                   std::string_view name, const uint8_t* attributes, bool closeStep) {
  if (!image.IsValid() || image.Width() <= 0 || image.Height() <= 0) return false;
  const int64_t pixelBytes = int64_t{image.Width()} * image.Height() * 4;
  std::vector<uint8_t> text;
  if (!name.empty() && !PacketString(name, text)) return false;
  const int64_t d = static_cast<int64_t>(text.size()) + (attributes ? kImageAttributeSize : 0);
  const int64_t length = (d + pixelBytes + 1) & ~int64_t{1};
  if (length > INT32_MAX - 64) return false;

  // Header, attribute record and name form the payload; the pixels, top row first, follow.
  std::vector<uint8_t> payload;
  std::vector<uint8_t> pixels;
  const uint8_t* pixelData = nullptr;
  try {
    payload.resize(sizeof(SImagePacketHeader) + static_cast<size_t>(d));
    const uint8_t* base = image.Bits();
    bool contiguous = base != nullptr;
    for (int32_t y = 0; contiguous && y < image.Height(); ++y)
      contiguous = image.GetPixelPtr(0, y) == base + int64_t{4} * image.Width() * y;
    if (contiguous) {
      pixelData = base;
    } else {
      pixels.resize(static_cast<size_t>(pixelBytes));
      const size_t row = size_t{4} * static_cast<size_t>(image.Width());
      for (int32_t y = 0; y < image.Height(); ++y)
        std::memcpy(pixels.data() + row * y, image.GetPixelPtr(0, y), row);
      pixelData = pixels.data();
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  SImagePacketHeader h{};
  h.layer = layer;
  h.width = image.Width();
  h.height = image.Height();
  h.bitsPerPixel = 32;
  h.hasAttributes = attributes ? 1 : 0;
  h.length = static_cast<int32_t>(length);
  h.nameLength = static_cast<int16_t>(text.size());
  h.pixelBytes = static_cast<int32_t>(pixelBytes);
  std::memcpy(payload.data(), &h, sizeof h);
  size_t at = sizeof h;
  if (attributes) {
    std::memcpy(payload.data() + at, attributes, kImageAttributeSize);
    at += kImageAttributeSize;
  }
  if (!text.empty()) std::memcpy(payload.data() + at, text.data(), text.size());
  const uint32_t payloadLen = static_cast<uint32_t>(payload.size());
  if (payloadLen > blockSize()) return false;
  if (closeStep)
    return appendStep(cls, code, payload.data(), payloadLen, pixelData, static_cast<uint32_t>(pixelBytes));
  return appendPacket(cls, code, payload.data(), payloadLen, pixelData, static_cast<uint32_t>(pixelBytes));
}

bool CEventMngr::writeLayerImage(int16_t layer, const TMTC& image, uint8_t code, std::string_view name,
                                 const uint8_t* attributes) {
  if (code != 1 && code != 2) return false;
  if (state != kEventRecording) return true;
  if (!writeDocState()) return false;
  if (!appendImagePacket(kPcImage, code, layer, image, name, attributes, true)) return false;
  afterCommand(kPcImage, code);
  return true;
}

}  // namespace tf
