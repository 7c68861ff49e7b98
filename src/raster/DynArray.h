// Growable buffer records: 1-D and 2-D arrays and point arrays.
#pragma once
// Plain growable buffer records: a 1-D array of fixed-size items, a 2-D one, and an array of
// points. The record owns its data and is released explicitly with the Free routine. Byte sizes
// are computed in 64 bits; a request whose size does not fit the int32 range is refused.
// Every allocation failure gives false; nothing raises.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

// Largest byte size of a block held by these records.
inline constexpr int64_t kMaxDynArrayBytes = INT32_MAX;

// count items of itemSize bytes. Empty when there is no data, whatever count says.
struct SDynArray {
  int32_t count = 0;
  void* data = nullptr;
  int32_t itemSize = 0;
};

void DynArrayInit(SDynArray& array);
inline bool DynArrayAssigned(const SDynArray& array) { return array.data != nullptr; }
// count*item size (0 when that does not fit int32).
int32_t DynArrayByteSize(const SDynArray& array);
// Every byte := value; false when empty.
bool DynArrayFill(SDynArray& array, uint8_t value);
// Frees the data; count and item size 0. Nothing when there is no data.
void DynArrayFree(SDynArray& array);
// Returns the data (to be freed with FreeMem) and resets the record without freeing.
void* DynArrayDetach(SDynArray& array);
// Makes the array hold count items of itemSize bytes. A different item size frees the data
// first; data of the same count is kept as it is; otherwise the block is reallocated (contents
// up to the smaller size kept). True when a block exists afterwards; a count of 0 leaves none
// and gives false. Refused (false, record unchanged) for negative values and sizes beyond int32.
// On an allocation failure the record keeps its old block, count and item size.
bool DynArrayAlloc(SDynArray& array, int32_t itemSize, int32_t count);
// As DynArrayAlloc, but an array with data gets a new block holding min(old, new) bytes of the
// old contents; on failure the array is unchanged.
bool DynArrayResize(SDynArray& array, int32_t itemSize, int32_t count);
// When dest has no data it takes source's count, data and item size and source is reset; true.
// Otherwise nothing happens; false.
bool DynArrayMove(SDynArray& dest, SDynArray& source);
// dest := a copy of source. A source without data: as DynArrayMove from a copy of the record.
bool DynArrayCopy(SDynArray& dest, const SDynArray& source);

template <typename T>
T* DynArrayItems(const SDynArray& array) {
  return static_cast<T*>(array.data);
}

// width*height items of itemSize bytes.
struct SDynArray2D {
  int32_t width = 0;
  int32_t height = 0;
  int32_t count = 0;
  int32_t itemSize = 0;
  void* data = nullptr;
};

void DynArray2DInit(SDynArray2D& array);
inline bool DynArray2DAssigned(const SDynArray2D& array) { return array.data != nullptr; }
// width*height*item size (0 when that does not fit int32).
int32_t DynArray2DByteSize(const SDynArray2D& array);
bool DynArray2DFill(SDynArray2D& array, uint8_t value);
// Copies the itemSize bytes at item into every cell; false when empty.
bool DynArray2DFillItems(SDynArray2D& array, const void* item);
// Frees the data; every field 0.
void DynArray2DFree(SDynArray2D& array);
// As DynArrayAlloc; the block is kept when width and height are both unchanged.
bool DynArray2DAlloc(SDynArray2D& array, int32_t itemSize, int32_t width, int32_t height);

template <typename T>
T* DynArray2DItems(const SDynArray2D& array) {
  return static_cast<T*>(array.data);
}

// count points.
struct SPointArray {
  int32_t count = 0;
  TPoint* items = nullptr;
};

void PointArrayInit(SPointArray& array);
inline bool PointArrayAssigned(const SPointArray& array) { return array.items != nullptr; }
void PointArrayFree(SPointArray& array);
// Kept when the count is unchanged and items exist; otherwise reallocated to count*8 bytes
// (contents up to the smaller size kept). False for a count of 0 or less, or on failure (the
// array keeps its old items then).
bool PointArrayAlloc(SPointArray& array, int32_t count);
// As DynArrayMove.
bool PointArrayMove(SPointArray& dest, SPointArray& source);

}  // namespace tf
