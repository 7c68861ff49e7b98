// libFuzzer target: the directory of a .cur file read against its length.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzQuiet.h"
#include "app/CursorFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  // An exact-size copy, so that reading one byte past the block shows under ASan.
  std::vector<uint8_t> block(data, data + size);
  tf::SCursorEntry entry;
  if (tf::ReadCursorDirectory(block.data(), block.size(), entry)) {
    if (entry.offset > size || entry.size > size - entry.offset || entry.hotX >= entry.width ||
        entry.hotY >= entry.height)
      __builtin_trap();
  }
  return 0;
}
