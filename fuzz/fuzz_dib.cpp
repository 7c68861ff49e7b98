// libFuzzer target: a packed DIB of any header, depth, table and compression (as the clipboard
// hands one over) parsed against its length and converted to 32 bits, copied and borrowed.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzQuiet.h"
#include "raster/BmpConv32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  // An exact-size copy, so that reading one byte past the block shows under ASan.
  std::vector<uint8_t> block(data, data + size);
  for (bool borrow : {false, true}) {
    SDib dib;
    if (!ParsePackedDib(block.data(), block.size(), dib, borrow)) continue;
    const int64_t count = int64_t{dib.Width()} * dib.Rows();
    if (count > 4'000'000) continue;  // converting is linear; keep runs quick
    std::vector<uint32_t> out(static_cast<size_t>(count));
    if (BmpConv32(dib, out.data(), dib.Width(), static_cast<int32_t>(dib.Rows()), dib.Width())) {
      uint32_t sum = 0;
      for (uint32_t p : out) sum += p;
      (void)sum;
    }
    const std::vector<uint8_t> packed = PackDib(dib);
    SDib again;
    (void)ParsePackedDib(packed.data(), packed.size(), again);
  }
  return 0;
}
