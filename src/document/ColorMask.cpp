// Selection by colour range: the coverage of a picture against a list of colours.
#include "document/ColorMask.h"

#include <algorithm>
#include <vector>

#include "document/Mask.h"
#include "raster/ColorMath.h"

namespace tf {

int32_t ColorRangeCoverage(int32_t distance, int32_t limit) {
  if (limit <= 0) return distance == 0 ? 255 : 0;
  const float x = 1.5f - static_cast<float>(distance) / static_cast<float>(limit);
  if (x <= 0.0f) return 0;
  if (x < 0.5f) return static_cast<int32_t>(x * 512.0f);
  return 255;
}

void CColorMask::Bind(const SColorRangeSettings& settings, const CBlockVMTC* store, const TPoint& selectionOffset,
                      const CMaskData* selection, TChannel* channel) {
  reserved = settings.reserved;
  store_ = store;
  channel_ = channel;
  selection_ = selection;
  selectionX_ = selectionOffset.x;
  selectionY_ = selectionOffset.y;
}

bool CColorMask::Compute(const SColorEntry* entries, int32_t count) {
  selectedCount = 0;
  unselectedCount = 0;
  fullCount = 0;
  if (store_ == nullptr || channel_ == nullptr || !store_->IsValid() || !channel_->IsValid()) return false;
  const int32_t width = store_->Width();
  const int32_t height = store_->Height();
  if (channel_->Width() < width || channel_->Height() < height || count < 0 || (count > 0 && entries == nullptr))
    return false;
  const bool limited = selection_ != nullptr && selection_->IsAllocated();
  // Each entry's limit, computed once.
  std::vector<int32_t> limits(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) limits[static_cast<size_t>(i)] = 2 * entries[i].range * entries[i].range;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* out = channel_->GetPixelPtr(0, y);
    for (int32_t x = 0; x < width; ++x) {
      if (limited && selection_->ValueAt(x + selectionX_, y + selectionY_, 255) == 0) continue;
      const uint32_t pixel = store_->GetPixel(x, y);
      const int32_t alpha = static_cast<int32_t>(pixel >> 24);
      if (alpha < 2) {
        ++unselectedCount;
        continue;
      }
      int32_t v = out[x];
      for (int32_t i = 0; i < count; ++i) {
        int32_t e =
            ColorRangeCoverage(ColorDistanceSq(&entries[i].colour, &pixel), limits[static_cast<size_t>(i)]);
        if (e > 0 && e < 255 && alpha < 255) e = std::min(255, e + e * (255 - alpha) / 255);
        v = entries[i].add != 0 ? std::min(v + e, 255) : std::max(v - e, 0);
      }
      out[x] = static_cast<uint8_t>(v);
      if (v > 1) {
        ++selectedCount;
      } else {
        ++unselectedCount;
      }
      if (v == 255) ++fullCount;
    }
  }
  return true;
}

}  // namespace tf
