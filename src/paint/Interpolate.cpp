// CInterpolate: the history of input points of the newest stroke engine.
#include "paint/Interpolate.h"

#include <new>

namespace tf {

namespace {
constexpr int32_t kHistoryLength = 3;
}

bool CInterpolate::SetMode(int32_t mode) {
  if (mode == mode_) return false;
  mode_ = mode;
  return true;
}

bool CInterpolate::Reset() {
  count_ = 0;
  if (mode_ != 0 && mode_ != 1) {
    points_.clear();
    return false;
  }
  try {
    points_.assign(kHistoryLength, SStrokePoint{0, 0, 0});
  } catch (const std::bad_alloc&) {
    points_.clear();
    return false;
  }
  return true;
}

bool CInterpolate::IsReady() const { return (mode_ == 0 || mode_ == 1) && !points_.empty(); }

bool CInterpolate::Push(const SStrokePoint& point) {
  if (!IsReady()) return false;
  const size_t n = points_.size();
  if (count_ == 0) {
    for (SStrokePoint& p : points_) p = SStrokePoint{point.x, point.y, 0.0f};
  } else {
    for (size_t i = n - 1; i > 0; --i) points_[i] = points_[i - 1];
    points_[0] = point;
    if (mode_ == 1 && n >= 3) {
      points_[1].x = (points_[0].x + points_[2].x) / 2.0f;
      points_[1].y = (points_[0].y + points_[2].y) / 2.0f;
      points_[1].pressure = (points_[0].pressure + points_[2].pressure) / 2.0f;
    }
  }
  if (count_ < INT32_MAX) ++count_;
  return true;
}

bool CInterpolate::GetPoint(int32_t index, SStrokePoint& point) const {
  if (!IsReady() || index < 0 || static_cast<size_t>(index) >= points_.size()) return false;
  point = points_[static_cast<size_t>(index)];
  return true;
}

bool CInterpolate::GetSegmentEnd(SStrokePoint& point) const {
  if (mode_ == 0) return GetPoint(0, point);
  if (mode_ == 1) return GetPoint(1, point);
  return false;
}

bool CInterpolate::GetSegmentStart(SStrokePoint& point) const {
  if (mode_ == 0) return GetPoint(1, point);
  if (mode_ == 1) return GetPoint(2, point);
  return false;
}

}  // namespace tf
