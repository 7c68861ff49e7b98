#include "paint/SeedFill.h"

#include <algorithm>

#include "raster/ChannelShapes.h"
#include "raster/ColorMath.h"
#include "raster/Composite.h"

namespace tf {

uint32_t ToleranceToThreshold(int32_t tolerance) {
  const int64_t t = std::clamp<int64_t>(tolerance, 0, 32767);
  return static_cast<uint32_t>(2 * t * t);
}

// ---------------------------------------------------------------------------------------------
// The core

CSeedFillCore::CSeedFillCore(int32_t capacity, const TRect& fillBounds)
    : CDynStack(static_cast<int32_t>(sizeof(SSeedPoint)), capacity), bounds(fillBounds) {}

void CSeedFillCore::PrepareCoverage() {
  reciprocal_ = threshold > 0 ? (uint64_t{1} << 40) / threshold : 0;
  coverageTable_.clear();
  if (threshold == 0 || threshold > kCoverageTableLimit) return;
  std::vector<uint8_t> table(threshold);
  for (uint32_t d = 0; d < threshold; ++d) {
    const uint64_t value = (uint64_t{threshold} - d) * 255u / threshold;
    table[d] = static_cast<uint8_t>(std::clamp<uint64_t>(value, 1, 255));
  }
  coverageTable_ = std::move(table);
}

bool CSeedFillCore::Fill(const TPoint& seed, int64_t t) {
  if (t > 0) threshold = static_cast<uint32_t>(std::min<int64_t>(t, UINT32_MAX));
  PrepareCoverage();
  if (!Reset()) return false;
  if (seed.x < bounds.left || seed.x >= bounds.right || seed.y < bounds.top || seed.y >= bounds.bottom)
    return false;
  const SSeedPoint start{seed.x, seed.y};
  if (!BeginFill(start)) return false;
  filled_ = TRect{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  Push(&start);
  Scan();
  if (filled_.left >= filled_.right) filled_ = TRect{0, 0, 0, 0};
  if (Overflow()) return true;
  return Finish();
}

// ---------------------------------------------------------------------------------------------
// Members over a pixel source

template <class Source>
int32_t CSeedFillOn<Source>::FillSpan(int32_t x, int32_t y, int32_t count) {
  uint8_t* out = target_->GetPixelPtr(x, y);
  for (int32_t i = 0; i < count; ++i) out[i] = Coverage(this->Distance(x + i, y));
  return count;
}

template <class Source>
uint32_t CSeedFillOn<Source>::Distance(int32_t x, int32_t y) {
  return PlainDistance(x, y);
}

template <class Source>
bool CSeedFillOn<Source>::Finish() {
  if (antiAlias != 0) {
    MakeOutline(*target_, 255);
  } else if (filled_.left < filled_.right) {
    // The callers give a cleared channel: only the runs just written hold nonzero bytes.
    for (int32_t y = filled_.top; y < filled_.bottom; ++y) {
      uint8_t* row = target_->GetPixelPtr(0, y);
      for (int32_t x = filled_.left; x < filled_.right; ++x)
        if (row[x] != 0) row[x] = 255;
    }
    return true;
  } else {
    SetNonZero(*target_, 255);
  }
  TRect area{};
  return target_->GetNonZeroBounds(area);
}

template <class Source>
bool CSeedFillOn<Source>::BeginFill(const SSeedPoint& seed) {
  seedColor_ = Pixel(seed.x, seed.y);
  return true;
}

template <class Parent>
bool CSeedFillAlphaOf<Parent>::BeginFill(const SSeedPoint& seed) {
  this->seedColor_ = this->Pixel(seed.x, seed.y);
  const uint32_t alpha = this->seedColor_ >> 24;
  if (alpha == 0) {
    transparentSeed = 1;
    return true;
  }
  transparentSeed = 0;
  if (PixelLuminance(&this->seedColor_) > 128) background = 0x000000;
  uint32_t over = background;
  BlendColor(&over, this->seedColor_, static_cast<int32_t>(alpha));
  this->seedColor_ = over;
  return true;
}

template class CSeedFillOn<CBlockVMTC>;
template class CSeedFillOn<TMTC>;
template class CSeedFillAlphaOf<CSeedFill>;
template class CSeedFillAlphaOf<CSeedFillTC>;

}  // namespace tf
