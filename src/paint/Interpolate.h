// CInterpolate: the last input points of a stroke, optionally smoothed.
#pragma once
// The newest stroke engine draws one segment per input point. Mode 0 draws from the previous
// point to the newest one; mode 1 (midpoint smoothing) draws from the point two places back to
// the midpoint of it and the newest point, so a smoothed stroke trails its newest point.
#include <cstdint>
#include <vector>

#include "paint/Stroke.h"

namespace tf {

class CInterpolate {
 public:
  // Mode 1, count 0, no point array yet.
  CInterpolate() = default;

  int32_t GetMode() const { return mode_; }
  // True when the mode changed. A new mode takes effect at the next Reset.
  bool SetMode(int32_t mode);
  // Allocates the points of the mode (3), all zero, and sets count 0; false when the mode is
  // unknown or the allocation fails.
  bool Reset();
  // Mode 0 or 1 and the points allocated.
  bool IsReady() const;
  // The first point fills every entry with (x, y, 0); later points push the history one place
  // older, and in mode 1 entry 1 becomes the midpoint of entries 0 and 2. False when not ready.
  bool Push(const SStrokePoint& point);
  int32_t Count() const { return count_; }

  // Entry index (0 newest); false for an index outside the array or an unready history.
  bool GetPoint(int32_t index, SStrokePoint& point) const;
  bool GetNewest(SStrokePoint& point) const { return GetPoint(0, point); }
  // Mode 0: entries 0 and 1; mode 1: entries 1 and 2.
  bool GetSegmentEnd(SStrokePoint& point) const;
  bool GetSegmentStart(SStrokePoint& point) const;

 private:
  int32_t mode_ = 1;
  int32_t count_ = 0;
  std::vector<SStrokePoint> points_;
};

}  // namespace tf
