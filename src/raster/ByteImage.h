// SByteImage: a plain 8-bit picture for snapshots of masks and alpha planes.
#pragma once
// SByteImage: a plain 8-bit picture (rows top-down, stride = width) used to snapshot a
// rectangle of a mask or of an alpha plane. The record owns its data (from TryGetMem) unless
// detached and is released explicitly with ByteImageFree.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

class TChannel;

struct SByteImage {
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* data = nullptr;
};

void ByteImageInit(SByteImage& image);
inline bool ByteImageAssigned(const SByteImage& image) { return image.data != nullptr; }
// width*height; 0 without data.
int32_t ByteImageSize(const SByteImage& image);
// Frees the data; size 0.
void ByteImageFree(SByteImage& image);
// Data of the same size is kept (contents too). Otherwise frees, stores the size and allocates
// width*height bytes. False (no data) for a side of 0 or less, a size beyond int32, or when
// memory runs out.
bool ByteImageAlloc(SByteImage& image, int32_t width, int32_t height);
// Frees, then adopts a caller's block (from TryGetMem) of size.width*size.height bytes.
void ByteImageAttach(SByteImage& image, const SSize& size, uint8_t* data);
// Returns the data (to be freed with FreeMem) and resets the record without freeing.
uint8_t* ByteImageDetach(SByteImage& image);
// data + x + y*width; no check.
inline uint8_t* ByteImagePixel(const SByteImage& image, int32_t x, int32_t y) {
  return image.data + x + static_cast<int64_t>(y) * image.width;
}
// Clips rect to the channel in place (false when empty), sizes the image to it and copies it;
// row i of the image is channel row rect.top + i, whatever the channel's row order.
bool ByteImageGrab(SByteImage& image, const TChannel& channel, SRectWH& rect);
// Copies the image into the channel with its top-left at rect's origin (rect's size is not
// used), clipped to the channel. False without data or when nothing is left.
bool ByteImagePut(const SByteImage& image, TChannel& channel, const SRectWH& rect);

}  // namespace tf
