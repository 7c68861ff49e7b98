// libFuzzer target: the tpl palette reader over arbitrary bytes; every colour read is touched
// and the layout values it gives are within their ranges.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzQuiet.h"
#include "paint/PaletteFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  SPaletteData palette;
  const int32_t read = ReadPaletteTpl(std::vector<uint8_t>(data, data + size), palette);
  if (read > 0 && static_cast<size_t>(read) != palette.colours.size()) __builtin_trap();
  if (read > 0 && palette.hasLayout &&
      (palette.cellWidth < 8 || palette.cellWidth > 64 || palette.rows < 1 || palette.rows > 64))
    __builtin_trap();
  uint32_t sum = 0;
  for (uint32_t c : palette.colours) sum += c;
  (void)sum;
  return 0;
}
