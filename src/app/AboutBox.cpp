#include "app/AboutBox.h"

#include "platform/ResourceText.h"
#include "raster/BmpData.h"
#include "raster/FlatImage.h"
#include "raster/MemoryGraphic.h"

namespace tf {

std::string FormatMemorySize(uint64_t n) {
  if (n >= 0x40000000u) return TxFormat(TextId::AboutSizeGB, static_cast<double>(n) / 1073741824.0);
  if (n < 1024) return TxFormat(TextId::AboutSizeB, static_cast<int>(n));
  if (n < 0x100000u) return TxFormat(TextId::AboutSizeKB, static_cast<double>(n) / 1024.0);
  return TxFormat(TextId::AboutSizeMB, static_cast<double>(n) / 1048576.0);
}

namespace {

const uint8_t kAboutPicture[] = {
#include "AboutPicture.inc"
};
static_assert(sizeof(kAboutPicture) == 275576, "the about picture keeps its exact layout");

std::string UsedOfTotal(uint64_t total, uint64_t available) {
  const uint64_t used = available < total ? total - available : 0;
  return TxFormat(TextId::AboutUsedOfTotal, FormatMemorySize(used).c_str(), FormatMemorySize(total).c_str());
}

}  // namespace

SAboutMemoryLines AboutMemoryLines(const SMemoryStatus& s) {
  return {UsedOfTotal(s.physicalTotal, s.physicalAvailable), UsedOfTotal(s.virtualTotal, s.virtualAvailable),
          UsedOfTotal(s.pageFileTotal, s.pageFileAvailable)};
}

bool LoadAboutPicture(TMemoryGraphic& surface) {
  TMTC picture;
  if (!LoadBMPFromMemory(picture, kAboutPicture, sizeof kAboutPicture) || picture.Width() != kAboutPictureWidth ||
      picture.Height() != kAboutPictureHeight) {
    return false;
  }
  TMemoryGraphic made;
  if (!made.SetSize(kAboutPictureWidth, kAboutPictureHeight)) return false;
  // Rows arrive bottom row first: turn them upright, opaque.
  for (int32_t y = 0; y < kAboutPictureHeight; ++y) {
    const uint32_t* source = picture.Pixel(0, kAboutPictureHeight - 1 - y);
    uint32_t* target = made.ScanLine(y);
    for (int32_t x = 0; x < kAboutPictureWidth; ++x) target[x] = source[x] | 0xFF000000u;
  }
  surface = std::move(made);
  return true;
}

}  // namespace tf
