// The image packet as the player reads it.
#include "playback/PlayImage.h"
#include "platform/BlockPack.h"

#include <cstring>
#include <new>

#include "events/EventPacket.h"

namespace tf {

bool PlayedImageSizeAllowed(int64_t width, int64_t height) {
  if (width < 1 || height < 1 || width > kMaxPlayedImageSide || height > kMaxPlayedImageSide) return false;
  int64_t bytes = 0;
  return CDibCore::CheckedImageBytes(static_cast<int32_t>(width), static_cast<int32_t>(height), 4, bytes);
}

bool ReadImagePacket(const CPlayPayload& payload, SPlayedImage& out) {
  out = SPlayedImage{};
  SImagePacketHeader header{};
  if (!payload.GetBytes(0, &header, sizeof header)) return false;
  const int64_t width = header.width.get();
  const int64_t height = header.height.get();
  if (header.bitsPerPixel != 32 || header.hasAttributes > 1 || !PlayedImageSizeAllowed(width, height))
    return false;
  const int64_t pixelBytes = width * height * 4;
  if (header.pixelBytes.get() != pixelBytes) return false;
  const int64_t length = header.length.get();
  const int64_t nameLength = header.nameLength.get();
  const int64_t attributeBytes = header.hasAttributes ? kImageAttributeSize : 0;
  if (length < 0 || nameLength < 0) return false;
  if (attributeBytes + nameLength + pixelBytes > length) return false;
  if (static_cast<int64_t>(sizeof header) + length > payload.size()) return false;
  uint32_t at = sizeof header;
  if (header.hasAttributes) {
    if (!payload.GetBytes(at, out.attributes, kImageAttributeSize)) return false;
    out.hasAttributes = true;
    at += kImageAttributeSize;
  }
  if (nameLength > 0 && !payload.GetName(at, static_cast<uint32_t>(nameLength), out.name)) return false;
  at += static_cast<uint32_t>(nameLength);
  if (!payload.Holds(at, static_cast<uint64_t>(pixelBytes))) return false;
  std::unique_ptr<TMTC> image(new (std::nothrow) TMTC(static_cast<int32_t>(width), static_cast<int32_t>(height)));
  if (image == nullptr || !image->IsValid()) return false;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(image->GetPixelPtr(0, y), payload.data() + at + rowBytes * static_cast<size_t>(y), rowBytes);
  out.layer = header.layer.get();
  out.image = std::move(image);
  return true;
}

bool ReadChannelPacket(const CPlayPayload& payload, SPlayedChannel& out) {
  SChannelPacket& h = out.header;
  if (!payload.GetBytes(0, &h, sizeof h)) return false;
  const int64_t left = h.rect.left, top = h.rect.top;
  const int64_t width = int64_t{h.rect.right} - left, height = int64_t{h.rect.bottom} - top;
  const int32_t n = h.n, packed = h.packedLength, count = h.channelBytes;
  if (left < 0 || top < 0 || width <= 0 || height <= 0 || width * height != count) return false;
  if (packed <= 0 || packed > n || !payload.Holds(sizeof h, static_cast<uint64_t>(n))) return false;
  out.rect = SRectWH{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(width),
                     static_cast<int32_t>(height)};
  try {
    out.bytes.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return BlockUnpack(payload.data() + sizeof h, static_cast<size_t>(packed), out.bytes.data(), out.bytes.size());
}

bool PutPlayedChannel(const SPlayedChannel& played, TChannel& channel) {
  const SRectWH& r = played.rect;
  if (int64_t{r.left} + r.width > channel.Width() || int64_t{r.top} + r.height > channel.Height()) return false;
  for (int32_t y = 0; y < r.height; ++y)
    std::memcpy(channel.GetPixelPtr(r.left, r.top + y),
                played.bytes.data() + static_cast<size_t>(y) * static_cast<size_t>(r.width),
                static_cast<size_t>(r.width));
  return true;
}

}  // namespace tf
