// The image packet as the player reads it.
#include "playback/PlayImage.h"

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

}  // namespace tf
