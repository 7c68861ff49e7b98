// libFuzzer target: PNG, JPEG and BMP bytes through the codecs (full and scaled JPEG decodes) and
// the DIB converter, as LoadImageFile reads a file.
#include <cstddef>
#include <cstdint>

#include "FuzzQuiet.h"
#include "files/ImageFiles.h"
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "raster/BmpConv32.h"

namespace {

void Touch(const tf::SDib& dib) {
  std::unique_ptr<tf::TMTC> image = tf::DibToImage32(dib);
  if (!image) return;
  uint32_t sum = 0;
  for (int32_t y = 0; y < image->Height(); ++y)
    for (int32_t x = 0; x < image->Width(); ++x) sum += image->GetPixel(x, y);
  (void)sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  SDib dib;
  if (PngDecode(data, size, dib) == 0) Touch(dib);
  SDib jpeg;
  if (JpegDecode(data, size, jpeg) == 0) Touch(jpeg);
  SDib small;
  if (JpegDecodeScaled(data, size, 8, small) == 0) Touch(small);
  SDib bmp;
  if (ParseBmpFile(data, size, bmp)) Touch(bmp);
  return 0;
}
