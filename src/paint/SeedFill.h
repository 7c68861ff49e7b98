// Seed fill: the 4-connected area of pixels whose colour lies within a tolerance of the seed's,
// written as coverage into an 8-bit channel (the bucket fill and the magic wand).
#pragma once
// CSeedFillCore holds the scanline algorithm over a fixed first-in first-out queue of run starts:
// a taken point grows into the widest fillable run of its row, the run is written in one call,
// and the first pixel of every fillable run directly above and below it is queued. The members
// differ in where the pixels come from (a tiled layer store or a flat picture), how transparency
// enters the colour distance, and whether a selection mask walls the fill in:
//
//   CSeedFill            layer store          plain colour distance
//   CSeedFillWithAlpha   layer store          transparency-aware distance
//   CSeedFillWithMask    layer store          transparency-aware, stops at unselected pixels
//   CSeedFillTC          flat 32-bit picture  plain colour distance
//   CSeedFillTCWithAlpha flat 32-bit picture  transparency-aware distance
//   CSeedFillTCWithMask  flat 32-bit picture  transparency-aware, stops at unselected pixels
//
// When the queue overflows the fill stops at once: the channel keeps the graded coverage written
// so far and the finishing step is skipped (the caller warns with kSeedFillTooComplexText).
// The fill reads only inside its bounds; callers give bounds that lie inside the source and
// the channel.
#include <cstdint>
#include <type_traits>
#include <vector>

#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/ColorMath.h"
#include "raster/Composite.h"
#include "raster/DynStack.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// Shown when a fill needs more pending run starts than its queue holds.
inline constexpr const char* kSeedFillTooComplexText = "領域が複雑すぎます！";
// Queue capacity of every document fill (points).
inline constexpr int32_t kSeedFillCapacity = 8192;
// The threshold a fill starts with, and keeps when given none.
inline constexpr uint32_t kSeedFillDefaultThreshold = 10;
// Distance of a fully transparent pixel from a visible seed.
inline constexpr uint32_t kSeedFillTransparentDistance = 0x30000;

// 2 t^2 in 64 bits; t is clamped into 0..32767 (tolerances travel as signed 16 bits), so the
// result always fits 32 bits.
uint32_t ToleranceToThreshold(int32_t tolerance);

struct SSeedPoint {
  int32_t x;
  int32_t y;
};

class CSeedFillCore : public CDynStack {
 public:
  // The queue of capacity points (check IsAllocated); the fill stays inside bounds (right and
  // bottom exclusive).
  CSeedFillCore(int32_t capacity, const TRect& bounds);
  virtual ~CSeedFillCore() = default;

  // Fills from the seed. t > 0 becomes the threshold; t <= 0 keeps it. False when the queue has
  // no buffer, the seed lies outside the bounds or BeginFill refuses; after an overflow
  // (Overflow()) true without Finish; else Finish's answer.
  bool Fill(const TPoint& seed, int64_t t);

  TRect bounds;
  uint32_t threshold = kSeedFillDefaultThreshold;
  uint8_t antiAlias = 0;

  // The point is in the area already or must not be entered.
  virtual bool IsFilled(int32_t x, int32_t y) = 0;
  // Writes count pixels from (x, y) into the area; returns count.
  virtual int32_t FillSpan(int32_t x, int32_t y, int32_t count) = 0;
  // Colour distance of the pixel from the seed colour.
  virtual uint32_t Distance(int32_t x, int32_t y) = 0;
  // Turns the written coverage into the final area; whether it holds a pixel.
  virtual bool Finish() = 0;
  // Prepares for the seed (reads its colour); false ends the fill.
  virtual bool BeginFill(const SSeedPoint& seed) = 0;
  // Runs the queue until it is empty or overflows: every member is ScanWith over itself, which
  // calls its own operations directly (inlined). A class that overrides an operation also
  // overrides Scan.
  virtual void Scan() = 0;

  // The rectangle of the runs written by the last fill (empty when none was).
  const TRect& FilledBounds() const { return filled_; }

 protected:
  template <class Self>
  static void ScanWith(Self& self);
  void NoteSpan(int32_t left, int32_t right, int32_t y) {
    if (left < filled_.left) filled_.left = left;
    if (right + 1 > filled_.right) filled_.right = right + 1;
    if (y < filled_.top) filled_.top = y;
    if (y + 1 > filled_.bottom) filled_.bottom = y + 1;
  }
  TRect filled_{0, 0, 0, 0};

  // max(1, (threshold - d) * 255 / threshold) in 64 bits; the division by a reciprocal taken
  // once per fill, corrected to the exact quotient.
  uint8_t Coverage(uint32_t d) const {
    if (d >= threshold) return 1;
    if (d < coverageTable_.size()) return coverageTable_[d];
    const uint64_t m = (uint64_t{threshold} - d) * 255u;
    uint64_t q = (m * reciprocal_) >> 40;
    if ((q + 1) * threshold <= m) ++q;
    if (q * threshold > m) --q;
    return q < 1 ? 1 : (q > 255 ? 255 : static_cast<uint8_t>(q));
  }
  // Coverage of every distance up to the threshold, for thresholds up to kCoverageTableLimit.
  static constexpr uint32_t kCoverageTableLimit = 1u << 16;
  void PrepareCoverage();
  std::vector<uint8_t> coverageTable_;
  uint64_t reciprocal_ = 0;  // 2^40 / threshold
};

// The member logic over a pixel source: Source is CBlockVMTC (a layer store) or TMTC (a flat
// picture), both read with GetPixel.
template <class Source>
class CSeedFillOn : public CSeedFillCore {
 public:
  CSeedFillOn(int32_t capacity, const TRect& bounds, TChannel* target, const Source* source)
      : CSeedFillCore(capacity, bounds), source_(source), target_(target) {}

  bool IsFilled(int32_t x, int32_t y) override { return target_->GetPixel(x, y) != 0; }
  int32_t FillSpan(int32_t x, int32_t y, int32_t count) override;
  uint32_t Distance(int32_t x, int32_t y) override;
  bool Finish() override;
  bool BeginFill(const SSeedPoint& seed) override;

  uint32_t SeedColor() const { return seedColor_; }
  TChannel* Target() const { return target_; }
  void Scan() override { ScanWith(*this); }
  // FillSpan with Self's distance called directly.
  template <class Self>
  int32_t FillSpanOf(Self& self, int32_t x, int32_t y, int32_t count) {
    uint8_t* out = target_->GetPixelPtr(x, y);
    for (int32_t i = 0; i < count; ++i) out[i] = Coverage(self.Self::Distance(x + i, y));
    return count;
  }
  uint32_t PlainDistance(int32_t x, int32_t y) const {
    const uint32_t p = Pixel(x, y);
    return static_cast<uint32_t>(ColorDistanceSq(&seedColor_, &p));
  }

 protected:
  uint32_t Pixel(int32_t x, int32_t y) const {
    if constexpr (std::is_same_v<Source, TMTC>) {
      return *PixelAddr32(source_->View(), x, y);
    } else {
      // Runs are read along rows: the tile of the last read is kept (32 x 32 tiles).
      const int32_t column = x >> 5, row = y >> 5;
      if (tile_ == nullptr || column != tileColumn_ || row != tileRow_) {
        if (!source_->PointInGrid(x, y)) return 0;
        tile_ = source_->GetTile(column, row);
        tileColumn_ = column;
        tileRow_ = row;
        if (tile_ == nullptr) return 0;
      }
      if (!tile_->committed) return tile_->fill;
      return *reinterpret_cast<const uint32_t*>(tile_->block + ((y & 31) * 32 + (x & 31)) * 4);
    }
  }

  const Source* source_;
  TChannel* target_;
  uint32_t seedColor_ = 0;
  mutable const STileInfo* tile_ = nullptr;
  mutable int32_t tileColumn_ = -1;
  mutable int32_t tileRow_ = -1;
};

// Transparency: a transparent seed matches only nearly transparent pixels; a visible seed is
// compared over black when light and over white when dark, half-transparent pixels likewise.
template <class Parent>
class CSeedFillAlphaOf : public Parent {
 public:
  using Parent::Parent;
  uint32_t Distance(int32_t x, int32_t y) override { return AlphaDistance(x, y); }
  bool BeginFill(const SSeedPoint& seed) override;
  void Scan() override { CSeedFillCore::ScanWith(*this); }
  uint32_t AlphaDistance(int32_t x, int32_t y) const {
    const uint32_t p = this->Pixel(x, y);
    const uint32_t alpha = p >> 24;
    if (transparentSeed != 0) return alpha * alpha * 2;
    if (alpha == 255) return static_cast<uint32_t>(ColorDistanceSq(&this->seedColor_, &p));
    if (alpha == 0) return kSeedFillTransparentDistance;
    uint32_t over = background;
    BlendColor(&over, p, static_cast<int32_t>(alpha));
    return static_cast<uint32_t>(ColorDistanceSq(&this->seedColor_, &over));
  }

  uint32_t background = 0xFFFFFF;
  uint8_t transparentSeed = 0;
};

// The selection walls the fill in: a point whose mask value is 0 (also outside the mask's store)
// counts as filled.
template <class Parent>
class CSeedFillMaskOf : public Parent {
 public:
  template <class Source>
  CSeedFillMaskOf(const CBlockVCH* mask, const TPoint& maskOffset, int32_t capacity, const TRect& bounds,
                  TChannel* target, const Source* source)
      : Parent(capacity, bounds, target, source),
        maskOffsetX(maskOffset.x),
        maskOffsetY(maskOffset.y),
        mask_(mask) {}
  bool IsFilled(int32_t x, int32_t y) override {
    return Parent::IsFilled(x, y) || mask_ == nullptr ||
           mask_->GetPixelSafe(x + maskOffsetX, y + maskOffsetY) == 0;
  }
  void Scan() override { CSeedFillCore::ScanWith(*this); }

  int32_t maskOffsetX;
  int32_t maskOffsetY;

 private:
  const CBlockVCH* mask_;
};

// The scanline loop with Self's operations called directly: a point is fillable when it is not
// filled and its distance is within the threshold; each run found is widened both ways along its
// row, written, and the fillable runs of the rows above and below it are queued.
template <class Self>
void CSeedFillCore::ScanWith(Self& self) {
  const TRect b = self.bounds;
  const uint32_t t = self.threshold;
  auto fillable = [&](int32_t x, int32_t y) {
    return !self.Self::IsFilled(x, y) && self.Self::Distance(x, y) <= t;
  };
  auto pushRuns = [&](int32_t y, int32_t left, int32_t right) {
    if (y < b.top || y >= b.bottom || left < b.left || left >= b.right) return;
    if (right > b.right - 1) right = b.right - 1;
    bool inRun = false;
    for (int32_t x = left; x <= right; ++x) {
      if (fillable(x, y)) {
        if (!inRun) {
          const SSeedPoint point{x, y};
          self.Push(&point);
          inRun = true;
        }
      } else {
        inRun = false;
      }
    }
  };
  // A pixel's coverage as the run is found: the distance is taken once for the test and the
  // write (the run's pixels are not read again before the run is complete).
  auto take = [&](int32_t x, int32_t y) {
    if (self.Self::IsFilled(x, y)) return false;
    const uint32_t d = self.Self::Distance(x, y);
    if (d > t) return false;
    *self.Target()->GetPixelPtr(x, y) = self.Coverage(d);
    return true;
  };
  SSeedPoint point{};
  while (!self.Overflow() && self.PopFront(&point)) {
    if (!take(point.x, point.y)) continue;
    int32_t right = point.x;
    while (right < b.right - 1 && take(right + 1, point.y)) ++right;
    int32_t left = point.x;
    while (b.left < left && take(left - 1, point.y)) --left;
    self.NoteSpan(left, right, point.y);
    pushRuns(point.y - 1, left, right);
    pushRuns(point.y + 1, left, right);
  }
}

class CSeedFill : public CSeedFillOn<CBlockVMTC> {
 public:
  using CSeedFillOn<CBlockVMTC>::CSeedFillOn;
};
class CSeedFillWithAlpha : public CSeedFillAlphaOf<CSeedFill> {
 public:
  using CSeedFillAlphaOf<CSeedFill>::CSeedFillAlphaOf;
};
class CSeedFillWithMask : public CSeedFillMaskOf<CSeedFillWithAlpha> {
 public:
  using CSeedFillMaskOf<CSeedFillWithAlpha>::CSeedFillMaskOf;
};
class CSeedFillTC : public CSeedFillOn<TMTC> {
 public:
  using CSeedFillOn<TMTC>::CSeedFillOn;
};
class CSeedFillTCWithAlpha : public CSeedFillAlphaOf<CSeedFillTC> {
 public:
  using CSeedFillAlphaOf<CSeedFillTC>::CSeedFillAlphaOf;
};
class CSeedFillTCWithMask : public CSeedFillMaskOf<CSeedFillTCWithAlpha> {
 public:
  using CSeedFillMaskOf<CSeedFillTCWithAlpha>::CSeedFillMaskOf;
};

extern template class CSeedFillOn<CBlockVMTC>;
extern template class CSeedFillOn<TMTC>;
extern template class CSeedFillAlphaOf<CSeedFill>;
extern template class CSeedFillAlphaOf<CSeedFillTC>;

}  // namespace tf
