// libFuzzer target: BMP data read into a 32-bit image, from memory and from a stream, into a
// fresh image and into one that already holds pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzQuiet.h"
#include "platform/Stream.h"
#include "raster/BmpData.h"
#include "raster/DibImage.h"
#include "raster/FlatImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  int32_t dpi = 0;
  TMTC fresh;
  if (LoadBMPFromMemory(fresh, data, static_cast<int64_t>(size), &dpi) && fresh.IsValid()) {
    // Touch every pixel so that a wrong size shows up under ASan.
    uint32_t sum = 0;
    for (int32_t y = 0; y < fresh.Height(); ++y)
      for (int32_t x = 0; x < fresh.Width(); ++x) sum += fresh.GetPixel(x, y);
    fresh.FlipVerticalAll();
    (void)sum;
  }
  TTC kept(3, 2);
  kept.FillAll(0x55AA55AAu);
  MemoryStream stream(std::vector<uint8_t>(data, data + size));
  if (!LoadBMP(kept, stream, nullptr)) {
    // A refused file leaves the image alone unless its rows were under way.
    if (kept.Width() == 3 && kept.Height() == 2 && kept.GetPixel(0, 0) != 0x55AA55AAu) __builtin_trap();
  }
  return 0;
}
