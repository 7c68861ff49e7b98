#include "raster/ByteImage.h"

#include <cstring>
#include <limits>

#include "platform/Memory.h"
#include "raster/FlatImage.h"

namespace tf {

void ByteImageInit(SByteImage& image) { image = SByteImage{}; }

int32_t ByteImageSize(const SByteImage& image) {
  if (!ByteImageAssigned(image)) return 0;
  return image.width * image.height;  // allocated, so it fits
}

void ByteImageFree(SByteImage& image) {
  FreeMem(image.data);
  ByteImageInit(image);
}

bool ByteImageAlloc(SByteImage& image, int32_t width, int32_t height) {
  if (ByteImageAssigned(image) && width == image.width && height == image.height) return true;
  ByteImageFree(image);
  int64_t bytes = int64_t{width} * height;
  if (width <= 0 || height <= 0 || bytes > std::numeric_limits<int32_t>::max()) return false;
  image.width = width;
  image.height = height;
  if (!TryGetMem(image.data, bytes)) {
    image.width = image.height = 0;
    return false;
  }
  return true;
}

void ByteImageAttach(SByteImage& image, const SSize& size, uint8_t* data) {
  ByteImageFree(image);
  image.width = size.width;
  image.height = size.height;
  image.data = data;
}

uint8_t* ByteImageDetach(SByteImage& image) {
  uint8_t* data = image.data;
  ByteImageInit(image);
  return data;
}

bool ByteImageGrab(SByteImage& image, const TChannel& channel, SRectWH& rect) {
  if (!channel.ClipRect(rect)) return false;
  if (!ByteImageAlloc(image, rect.width, rect.height)) return false;
  for (int32_t i = 0; i < rect.height; ++i)
    std::memcpy(ByteImagePixel(image, 0, i), channel.GetPixelPtr(rect.left, rect.top + i),
                static_cast<size_t>(rect.width));
  return true;
}

bool ByteImagePut(const SByteImage& image, TChannel& channel, const SRectWH& rect) {
  if (!ByteImageAssigned(image)) return false;
  SRectWH area{rect.left, rect.top, image.width, image.height};
  if (!channel.ClipRect(area)) return false;
  int32_t dx = area.left - rect.left;
  int32_t dy = area.top - rect.top;
  for (int32_t i = 0; i < area.height; ++i)
    std::memcpy(channel.GetPixelPtr(area.left, area.top + i), ByteImagePixel(image, dx, dy + i),
                static_cast<size_t>(area.width));
  return true;
}

}  // namespace tf
