// The dab renderer's blur: an n x n box mean of the layer store under every covered pixel.
#include <algorithm>
#include <new>

#include "paint/PenRender.h"
#include "paint/PenRenderWalk.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "platform/Debug.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

namespace tf {

// The box reads the store with coordinates clamped to its edges. Each row of the dab keeps one
// sum per store column and slides the box one column per pixel. A box wider or taller than the
// store reads its edge pixels many times: the column sums count those repeats instead of reading
// them one by one, so a radius of any size costs no more than the store's size, and the sums are
// 64-bit, so the mean is exact for every radius up to kMaxBlurRadius.

void CPenRender::SetBlurSource(CBlockVMTC* store, float size) {
  const int32_t radius = RoundSingle(static_cast<float>(params_.effect) * size / 100.0f);
  blurRadius_ = std::clamp(radius, 0, kMaxBlurRadius);
  blurSource_ = store;
}

void CPenRender::BlurStart() {
  const size_t want = static_cast<size_t>(std::max(nibShape_.GetSizeInt(), 0)) + 1;
  try {
    if (blurSums_.size() < want) blurSums_.resize(want);
  } catch (const std::bad_alloc&) {
    // The dab asks again for what it needs and warns then.
  }
}

bool CPenRender::BlurDab(TMTC& image) {
  if (blurSource_ == nullptr || !blurSource_->IsValid() || blurSource_->Width() < 1 ||
      blurSource_->Height() < 1) {
    DebugOut("CPenRender::BlurDab: no layer store to blur, no dab\n");
    return false;
  }
  if (stroke_ != nullptr && stroke_->GetKeepAlpha()) return BlurDabRows<false>(image);
  ScopedColourWriter lerp(&PixelLerpARGB);
  return BlurDabRows<true>(image);
}

namespace {

// What one store pixel adds to the sums: the weighted blur adds each colour byte times alpha / 255
// and the alpha; the plain blur adds the colour bytes.
template <bool kWeighted>
inline void AddPixel(int64_t sums[4], uint32_t pixel, int64_t count) {
  const int64_t b = pixel & 0xFFu, g = (pixel >> 8) & 0xFFu, r = (pixel >> 16) & 0xFFu;
  if constexpr (kWeighted) {
    const int64_t a = pixel >> 24;
    sums[0] += count * (b * a / 255);
    sums[1] += count * (g * a / 255);
    sums[2] += count * (r * a / 255);
    sums[3] += count * a;
  } else {
    sums[0] += count * b;
    sums[1] += count * g;
    sums[2] += count * r;
  }
}

}  // namespace

template <bool kWeighted>
bool CPenRender::BlurDabRows(TMTC& image) {
  const CBlockVMTC& store = *blurSource_;
  const int64_t storeWidth = store.Width(), storeHeight = store.Height();
  const int64_t r = std::max(1, blurRadius_);
  const int64_t n = 2 * r + 1;
  const int64_t area = n * n;
  const int64_t left = bounds_.left, right = bounds_.right;
  auto clampColumn = [&](int64_t c) { return std::clamp<int64_t>(c, 0, storeWidth - 1); };
  // One sum per store column the box can reach from this dab.
  const size_t columns = static_cast<size_t>(clampColumn(right - 1 + r) - clampColumn(left - r) + 1);
  try {
    if (blurSums_.size() < columns) blurSums_.resize(columns);
    if (rowValues_.size() < static_cast<size_t>(right - left))
      rowValues_.resize(static_cast<size_t>(right - left));
  } catch (const std::bad_alloc&) {
    ShowWarningF(kPenOutOfMemoryFormat, kBlurToolName);
    return false;
  }
  uint8_t* values = rowValues_.data();
  SBlurSum* sums = blurSums_.data();
  const SDibView& view = image.View();

  WithImageWriter([&](auto write) {
    for (int32_t y = bounds_.top; y < bounds_.bottom; ++y) {
      std::fill(values, values + (right - left), uint8_t{0});
      int64_t first = right;
      WalkRow(y, [&](int32_t x, int32_t value) {
        values[x - left] = static_cast<uint8_t>(value);
        first = std::min<int64_t>(first, x);
      });
      // No box is computed before the row's first written pixel.
      if (first >= right) continue;

      // Rows of the box: lo .. hi, clamped into the store. Rows above the store read row 0,
      // rows below it the last row.
      const int64_t lo = int64_t{y} - r, hi = int64_t{y} + r;
      const int64_t rowA = std::max<int64_t>(lo, 0), rowB = std::min<int64_t>(hi, storeHeight - 1);
      auto columnSum = [&](int64_t c, SBlurSum& out) {
        int64_t s[4] = {0, 0, 0, 0};
        const auto column = static_cast<int32_t>(c);
        if (rowA > rowB) {
          AddPixel<kWeighted>(s, store.GetPixel(column, hi < 0 ? 0 : static_cast<int32_t>(storeHeight - 1)), n);
        } else {
          for (int64_t k = rowA; k <= rowB; ++k)
            AddPixel<kWeighted>(s, store.GetPixel(column, static_cast<int32_t>(k)), 1);
          if (rowA > lo) AddPixel<kWeighted>(s, store.GetPixel(column, 0), rowA - lo);
          if (hi > rowB)
            AddPixel<kWeighted>(s, store.GetPixel(column, static_cast<int32_t>(storeHeight - 1)), hi - rowB);
        }
        out = {s[0], s[1], s[2], s[3]};
      };
      // Column sums from base on, computed as the box first reaches them.
      const int64_t base = clampColumn(first - r);
      int64_t computed = 0;
      auto column = [&](int64_t c) -> const SBlurSum& {
        while (base + computed <= c) {
          columnSum(base + computed, sums[computed]);
          ++computed;
        }
        return sums[c - base];
      };
      auto add = [](SBlurSum& box, const SBlurSum& s, int64_t count) {
        box.blue += count * s.blue;
        box.green += count * s.green;
        box.red += count * s.red;
        box.alpha += count * s.alpha;
      };

      // The whole box at the first pixel: columns first - r .. first + r, clamped likewise.
      SBlurSum box{0, 0, 0, 0};
      const int64_t cLo = first - r, cHi = first + r;
      const int64_t colA = std::max<int64_t>(cLo, 0), colB = std::min<int64_t>(cHi, storeWidth - 1);
      if (colA > colB) {
        add(box, column(cHi < 0 ? 0 : storeWidth - 1), n);
      } else {
        for (int64_t c = colA; c <= colB; ++c) add(box, column(c), 1);
        if (colA > cLo) add(box, column(0), colA - cLo);
        if (cHi > colB) add(box, column(storeWidth - 1), cHi - colB);
      }

      for (int64_t x = first; x < right; ++x) {
        if (x > first) {
          add(box, column(clampColumn(x - 1 - r)), -1);
          add(box, column(clampColumn(x + r)), 1);
        }
        const int32_t value = values[x - left];
        if (value == 0) continue;
        uint32_t colour;
        if constexpr (kWeighted) {
          if (box.alpha == 0) continue;
          const auto b = static_cast<uint32_t>(box.blue * 255 / box.alpha);
          const auto g = static_cast<uint32_t>(box.green * 255 / box.alpha);
          const auto rd = static_cast<uint32_t>(box.red * 255 / box.alpha);
          const auto a = static_cast<uint32_t>(box.alpha / area);
          colour = (a << 24) | (rd << 16) | (g << 8) | b;
        } else {
          const auto b = static_cast<uint32_t>(box.blue / area);
          const auto g = static_cast<uint32_t>(box.green / area);
          const auto rd = static_cast<uint32_t>(box.red / area);
          colour = 0xFF000000u | (rd << 16) | (g << 8) | b;
        }
        const auto px = static_cast<int32_t>(x);
        write(PixelAddr32(view, px, y), px, y, value, colour);
      }
    }
  });
  return true;
}

}  // namespace tf
