// The directory of a .cur file: the picture to show and its hot spot, read with every size and
// offset checked against the file.
#pragma once
// The toolkit reads the pixels of the chosen entry; the hot spot lives only in the directory, so
// it is read here. Animated cursors (.ani) are not cursor files.
#include <cstddef>
#include <cstdint>

namespace tf {

struct SCursorEntry {
  int32_t width = 0;   // from the directory (0 stands for 256)
  int32_t height = 0;
  int32_t hotX = 0;    // clamped inside the picture
  int32_t hotY = 0;
  uint32_t offset = 0;  // the entry's picture lies wholly inside the file
  uint32_t size = 0;
};

// The largest entry of a cursor file (type 2); false for anything else, a directory or entry
// past the end, or an empty file.
bool ReadCursorDirectory(const uint8_t* data, size_t size, SCursorEntry& entry);

}  // namespace tf
