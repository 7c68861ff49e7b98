#include "raster/MyStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "platform/ByteOrder.h"
#include "platform/Memory.h"

namespace tf {
namespace {

constexpr int64_t kMaxInt32 = std::numeric_limits<int32_t>::max();

int32_t ClampToInt32(int64_t v, int64_t lo, int64_t hi) { return static_cast<int32_t>(std::clamp(v, lo, hi)); }

}  // namespace

int64_t FileSizeByName(const std::string& path) {
  FileStream file;
  if (!file.OpenRead(path)) return -1;
  return file.Size();
}

// ---------------------------------------------------------------------------------------------
// TMyFile

bool TMyFile::OpenRead(const std::string& path) { return stream_.OpenRead(path); }

bool TMyFile::CreateFile(const std::string& path) { return stream_.Create(path); }

bool TMyFile::Read(void* buffer, int32_t count) { return stream_.ReadExact(buffer, count); }

bool TMyFile::Write(const void* buffer, int32_t count) { return stream_.WriteExact(buffer, count); }

uint32_t TMyFile::ReadDWord(bool* ok) {
  uint32_t value = 0;
  bool done = stream_.ReadU32(value);
  if (ok) *ok = done;
  return done ? value : 0;
}

// ---------------------------------------------------------------------------------------------
// TMyMemory

TMyMemory::TMyMemory(int32_t initialSize) {
  if (initialSize > 0) {
    if (!TryGetZeroMem(block_, initialSize)) throw std::bad_alloc();
    capacity_ = initialSize;
    growthStep_ = initialSize;
  }
}

TMyMemory::~TMyMemory() { FreeMem(block_); }

TMyMemory::TMyMemory(TMyMemory&& other) noexcept
    : block_(other.block_),
      readPos_(other.readPos_),
      capacity_(other.capacity_),
      writePos_(other.writePos_),
      growthStep_(other.growthStep_),
      overrun_(other.overrun_) {
  other.block_ = nullptr;
  other.readPos_ = other.capacity_ = other.writePos_ = 0;
  other.overrun_ = false;
}

TMyMemory& TMyMemory::operator=(TMyMemory&& other) noexcept {
  if (this != &other) {
    FreeMem(block_);
    block_ = other.block_;
    readPos_ = other.readPos_;
    capacity_ = other.capacity_;
    writePos_ = other.writePos_;
    growthStep_ = other.growthStep_;
    overrun_ = other.overrun_;
    other.block_ = nullptr;
    other.readPos_ = other.capacity_ = other.writePos_ = 0;
    other.overrun_ = false;
  }
  return *this;
}

void TMyMemory::Grow(int32_t n) {
  if (n <= 0 || int64_t{writePos_} + n <= capacity_) return;
  int64_t newCapacity = int64_t{capacity_} + std::max(n, growthStep_);
  if (newCapacity > kMaxInt32 || newCapacity < int64_t{writePos_} + n) throw std::bad_alloc();
  if (!TryReallocMem(block_, newCapacity)) throw std::bad_alloc();
  std::memset(block_ + capacity_, 0, static_cast<size_t>(newCapacity - capacity_));
  capacity_ = static_cast<int32_t>(newCapacity);
}

void TMyMemory::Write(const void* data, int32_t n) {
  if (n <= 0) return;
  // Bytes of this buffer itself (a packet copied within the stream) would move with the block.
  const auto* source = static_cast<const uint8_t*>(data);
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block_);
  const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(source);
  const bool inside = block_ != nullptr && at >= start && at < start + static_cast<std::uintptr_t>(capacity_);
  const std::uintptr_t offset = at - start;
  Grow(n);
  if (inside) source = block_ + offset;
  std::memmove(block_ + writePos_, source, static_cast<size_t>(n));
  writePos_ += n;
}

bool TMyMemory::WriteWord(uint16_t value, int32_t offset) {
  Grow(2);
  int64_t place = int64_t{writePos_} + offset;
  if (place < 0 || place + 2 > capacity_) return false;
  StoreU16(block_ + place, value);
  if (offset == 0) writePos_ += 2;
  return true;
}

void TMyMemory::WriteDWord(uint32_t value) {
  uint8_t bytes[4];
  StoreU32(bytes, value);
  Write(bytes, 4);
}

void TMyMemory::SkipWrite(int32_t n) { writePos_ = ClampToInt32(int64_t{writePos_} + n, 0, capacity_); }

void TMyMemory::SetWritePos(int32_t pos) { writePos_ = ClampToInt32(pos, 0, capacity_); }

const uint8_t* TMyMemory::ReadPlace(int32_t offset, int32_t size) {
  int64_t place = int64_t{readPos_} + offset;
  if (place < 0 || place + size > writePos_) {
    overrun_ = true;
    return nullptr;
  }
  return block_ + place;
}

void TMyMemory::AdvanceRead(int32_t n) { readPos_ = ClampToInt32(int64_t{readPos_} + n, 0, kMaxInt32); }

uint8_t TMyMemory::ReadByte(int32_t offset) {
  const uint8_t* p = ReadPlace(offset, 1);
  uint8_t value = p ? p[0] : 0;
  if (offset == 0) AdvanceRead(1);
  return value;
}

uint16_t TMyMemory::ReadWord(int32_t offset) {
  const uint8_t* p = ReadPlace(offset, 2);
  uint16_t value = p ? LoadU16(p) : 0;
  if (offset == 0) AdvanceRead(2);
  return value;
}

int16_t TMyMemory::ReadSmallInt(int32_t offset) { return static_cast<int16_t>(ReadWord(offset)); }

uint32_t TMyMemory::ReadDWord(int32_t offset) {
  const uint8_t* p = ReadPlace(offset, 4);
  uint32_t value = p ? LoadU32(p) : 0;
  if (offset == 0) AdvanceRead(4);
  return value;
}

bool TMyMemory::Read(void* data, int32_t n) {
  if (n < 0) {
    overrun_ = true;
    return false;
  }
  if (n == 0) return true;
  const uint8_t* p = ReadPlace(0, n);
  if (p)
    std::memcpy(data, p, static_cast<size_t>(n));
  else
    std::memset(data, 0, static_cast<size_t>(n));
  AdvanceRead(n);
  return p != nullptr;
}

void TMyMemory::SkipRead(int32_t n) {
  int64_t place = int64_t{readPos_} + n;
  if (place < 0 || place > writePos_) overrun_ = true;
  readPos_ = ClampToInt32(place, 0, kMaxInt32);
}

void TMyMemory::Clear() {
  readPos_ = 0;
  writePos_ = 0;
  overrun_ = false;
}

bool TMyMemory::LoadFromFile(const std::string& path) {
  FileStream file;
  if (!file.OpenRead(path)) return false;
  int64_t size = file.Size();
  if (size < 0 || size > kMaxInt32) return false;
  uint8_t* block = nullptr;
  if (size > 0 && !TryGetMem(block, size)) return false;
  if (!file.ReadExact(block, size)) {
    FreeMem(block);
    return false;
  }
  FreeMem(block_);
  block_ = block;
  readPos_ = 0;
  writePos_ = capacity_ = static_cast<int32_t>(size);
  overrun_ = false;
  return true;
}

}  // namespace tf
