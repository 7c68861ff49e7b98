#include "app/CursorFile.h"

#include <algorithm>

namespace tf {

namespace {
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 16;
}  // namespace

bool ReadCursorDirectory(const uint8_t* data, size_t size, SCursorEntry& entry) {
  if (data == nullptr || size < kHeaderSize) return false;
  if (U16(data) != 0 || U16(data + 2) != 2) return false;
  const size_t count = U16(data + 4);
  if (count == 0 || kHeaderSize + count * kEntrySize > size) return false;
  bool found = false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + kHeaderSize + i * kEntrySize;
    SCursorEntry c;
    c.width = e[0] == 0 ? 256 : e[0];
    c.height = e[1] == 0 ? 256 : e[1];
    c.size = U32(e + 8);
    c.offset = U32(e + 12);
    if (c.size == 0 || c.offset > size || c.size > size - c.offset) continue;
    c.hotX = std::min<int32_t>(U16(e + 4), c.width - 1);
    c.hotY = std::min<int32_t>(U16(e + 6), c.height - 1);
    if (!found || c.width * c.height > entry.width * entry.height) entry = c;
    found = true;
  }
  return found;
}

}  // namespace tf
