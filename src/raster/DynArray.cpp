#include "raster/DynArray.h"

#include <cstring>

#include "platform/Memory.h"

namespace tf {
namespace {

// count*itemSize in 64 bits; -1 when a factor is negative or the product passes int32.
int64_t CheckedBytes(int64_t a, int64_t b, int64_t c = 1) {
  if (a < 0 || b < 0 || c < 0) return -1;
  int64_t ab = a * b;  // both within int32: no overflow in 64 bits
  if (ab > kMaxDynArrayBytes) return -1;
  int64_t bytes = ab * c;
  return bytes > kMaxDynArrayBytes ? -1 : bytes;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// SDynArray

void DynArrayInit(SDynArray& array) { array = SDynArray{}; }

int32_t DynArrayByteSize(const SDynArray& array) {
  int64_t bytes = CheckedBytes(array.count, array.itemSize);
  return bytes < 0 ? 0 : static_cast<int32_t>(bytes);
}

bool DynArrayFill(SDynArray& array, uint8_t value) {
  if (!DynArrayAssigned(array)) return false;
  std::memset(array.data, value, static_cast<size_t>(DynArrayByteSize(array)));
  return true;
}

void DynArrayFree(SDynArray& array) {
  if (!DynArrayAssigned(array)) return;
  FreeMem(array.data);
  array.data = nullptr;
  array.count = 0;
  array.itemSize = 0;
}

void* DynArrayDetach(SDynArray& array) {
  void* data = array.data;
  DynArrayInit(array);
  return data;
}

bool DynArrayAlloc(SDynArray& array, int32_t itemSize, int32_t count) {
  int64_t bytes = CheckedBytes(count, itemSize);
  if (bytes < 0) return false;
  if (itemSize != array.itemSize) DynArrayFree(array);
  if (DynArrayAssigned(array) && count == array.count) return true;
  if (bytes == 0) {
    FreeMem(array.data);
    array.data = nullptr;
    array.count = count;
    array.itemSize = itemSize;
    return false;
  }
  if (!TryReallocMem(array.data, bytes)) return false;  // old block, count and size kept
  array.count = count;
  array.itemSize = itemSize;
  return true;
}

bool DynArrayResize(SDynArray& array, int32_t itemSize, int32_t count) {
  if (!DynArrayAssigned(array)) return DynArrayAlloc(array, itemSize, count);
  if (itemSize == array.itemSize && count == array.count) return true;
  SDynArray fresh;
  if (!DynArrayAlloc(fresh, itemSize, count)) return false;
  int32_t oldBytes = DynArrayByteSize(array);
  int32_t newBytes = DynArrayByteSize(fresh);
  std::memcpy(fresh.data, array.data, static_cast<size_t>(oldBytes < newBytes ? oldBytes : newBytes));
  DynArrayFree(array);
  array = fresh;
  return true;
}

bool DynArrayMove(SDynArray& dest, SDynArray& source) {
  if (DynArrayAssigned(dest)) return false;
  dest = source;
  DynArrayInit(source);
  return true;
}

bool DynArrayCopy(SDynArray& dest, const SDynArray& source) {
  if (!DynArrayAssigned(source)) {
    SDynArray copy = source;
    return DynArrayMove(dest, copy);
  }
  if (!DynArrayAlloc(dest, source.itemSize, source.count)) return false;
  std::memcpy(dest.data, source.data, static_cast<size_t>(DynArrayByteSize(source)));
  return true;
}

// ---------------------------------------------------------------------------------------------
// SDynArray2D

void DynArray2DInit(SDynArray2D& array) { array = SDynArray2D{}; }

int32_t DynArray2DByteSize(const SDynArray2D& array) {
  int64_t bytes = CheckedBytes(array.width, array.height, array.itemSize);
  return bytes < 0 ? 0 : static_cast<int32_t>(bytes);
}

bool DynArray2DFill(SDynArray2D& array, uint8_t value) {
  if (!DynArray2DAssigned(array)) return false;
  std::memset(array.data, value, static_cast<size_t>(DynArray2DByteSize(array)));
  return true;
}

bool DynArray2DFillItems(SDynArray2D& array, const void* item) {
  if (!DynArray2DAssigned(array) || item == nullptr) return false;
  auto* out = static_cast<uint8_t*>(array.data);
  size_t size = static_cast<size_t>(array.itemSize);
  for (int32_t i = 0; i < array.count; ++i) std::memcpy(out + i * size, item, size);
  return true;
}

void DynArray2DFree(SDynArray2D& array) {
  FreeMem(array.data);
  DynArray2DInit(array);
}

bool DynArray2DAlloc(SDynArray2D& array, int32_t itemSize, int32_t width, int32_t height) {
  int64_t bytes = CheckedBytes(width, height, itemSize);
  if (bytes < 0) return false;
  if (itemSize != array.itemSize) DynArray2DFree(array);
  if (DynArray2DAssigned(array) && width == array.width && height == array.height) return true;
  if (bytes == 0) {
    FreeMem(array.data);
    array.data = nullptr;
    array.width = width;
    array.height = height;
    array.count = width * height;
    array.itemSize = itemSize;
    return false;
  }
  if (!TryReallocMem(array.data, bytes)) return false;
  array.width = width;
  array.height = height;
  array.count = width * height;
  array.itemSize = itemSize;
  return true;
}

// ---------------------------------------------------------------------------------------------
// SPointArray

void PointArrayInit(SPointArray& array) { array = SPointArray{}; }

void PointArrayFree(SPointArray& array) {
  FreeMem(array.items);
  PointArrayInit(array);
}

bool PointArrayAlloc(SPointArray& array, int32_t count) {
  if (PointArrayAssigned(array) && count == array.count) return true;
  int64_t bytes = CheckedBytes(count, sizeof(TPoint));
  if (bytes < 0) return false;
  if (bytes == 0) {
    PointArrayFree(array);
    return false;
  }
  if (!TryReallocMem(array.items, bytes)) return false;
  array.count = count;
  return true;
}

bool PointArrayMove(SPointArray& dest, SPointArray& source) {
  if (PointArrayAssigned(dest)) return false;
  dest = source;
  PointArrayInit(source);
  return true;
}

}  // namespace tf
