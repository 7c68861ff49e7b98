#include "filters/ScaleImageFilter.h"

#include "document/BlendMode.h"
#include "filters/FilterLoops.h"
#include "filters/Samplers.h"

namespace tf {

CScaleImageFilter::CScaleImageFilter(const FilterContext& context, uint8_t flagA, uint8_t flagB)
    : context_(context), flagA_(flagA), flagB_(flagB) {
  const int32_t w = context.Store != nullptr ? context.Store->Width() : 0;
  const int32_t h = context.Store != nullptr ? context.Store->Height() : 0;
  sourceSize_ = SSize{w + 1, h + 1};
  destSize_ = sourceSize_;
  background_ = (GetBlendModeNeutralColor(context.BlendMode) & 0x00FFFFFFu) |
                (context.KeepAlpha != 0 ? 0xFF000000u : 0u);
}

const uint8_t* CScaleImageFilter::SourcePixel(int32_t x, int32_t y) {
  sample_ = background_;
  if (context_.Store != nullptr && PointWithinSize(context_.Store->Width(), context_.Store->Height(), x, y)) {
    const int32_t c = CoverageAt(context_, x, y);
    const uint32_t p = context_.Source->GetPixel(x, y);
    if (context_.KeepAlpha != 0)
      BlendColor(&sample_, p, c);
    else
      PixelLerpARGB(&sample_, p, c);
  }
  return reinterpret_cast<const uint8_t*>(&sample_);
}

uint8_t* CScaleImageFilter::DestPixel(int32_t x, int32_t y) {
  return reinterpret_cast<uint8_t*>(context_.Store->WritePtr(x, y));
}

void CScaleImageFilter::AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  Average(dest, x0, y0, x1, y1);
}

void CScaleImageFilter::SampleArea(uint32_t& dest, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  Average(reinterpret_cast<uint8_t*>(&dest), x0, y0, x1, y1);
}

// The scaler's averaging without its cuts at 0 and at the source size; shifts are floors.
void CScaleImageFilter::Average(uint8_t* dest, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  const int64_t cx0 = (x0 + 65535) & ~int64_t{65535}, cy0 = (y0 + 65535) & ~int64_t{65535};
  const int64_t fx1 = x1 & ~int64_t{65535}, fy1 = y1 & ~int64_t{65535};
  const int64_t leftW = cx0 - x0, topW = cy0 - y0, rightW = x1 & 65535, bottomW = y1 & 65535;
  const int64_t n = (fx1 - cx0) >> 16, m = (fy1 - cy0) >> 16;
  const int64_t w = x1 - x0, h = y1 - y0;
  const auto c = static_cast<int32_t>(x0 >> 16);
  auto r = static_cast<int32_t>(y0 >> 16);
  const auto weight = [](int64_t v) { return static_cast<float>(v) / 65536.0f; };
  SScaleAcc acc{{0.0f, 0.0f, 0.0f, 0.0f}};
  const auto addRow = [&](SScaleAcc& a, int32_t row) {
    AddRow(c, row, a, static_cast<int32_t>(leftW), static_cast<int32_t>(rightW), static_cast<int32_t>(n));
  };
  if (n < 0 && m < 0) {
    AddPixel(acc, SourcePixel(c, r));
    StorePixel(dest, acc, 1.0f);
    return;
  }
  if (n < 0) {
    if (topW > 0) AddPixelWeighted(acc, SourcePixel(c, r++), weight(topW));
    for (int64_t k = 0; k < m; ++k) AddPixel(acc, SourcePixel(c, r++));
    if (bottomW > 0) AddPixelWeighted(acc, SourcePixel(c, r), weight(bottomW));
    StorePixel(dest, acc, weight(h));
    return;
  }
  if (m < 0) {
    addRow(acc, r);
    StorePixel(dest, acc, weight(w));
    return;
  }
  if (topW > 0) {
    addRow(acc, r++);
    for (float& v : acc.sum) v *= weight(topW);
  }
  for (int64_t k = 0; k < m; ++k) {
    SScaleAcc t{{0.0f, 0.0f, 0.0f, 0.0f}};
    addRow(t, r++);
    for (int i = 0; i < 4; ++i) acc.sum[i] += t.sum[i];
  }
  if (bottomW > 0) {
    SScaleAcc t{{0.0f, 0.0f, 0.0f, 0.0f}};
    addRow(t, r);
    for (int i = 0; i < 4; ++i) acc.sum[i] += t.sum[i] * weight(bottomW);
  }
  StorePixel(dest, acc, weight(w) * weight(h));
}

}  // namespace tf
