#include "paint/ScreenTone.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "raster/ChannelShapes.h"
#include "raster/RegionOps.h"

namespace tf {

namespace {

int32_t g_nextPatternId = 1;

constexpr float kPiF = 3.14159265358979f;

// Integer part rounded toward zero, less 1 for negative values. Not floor: the two differ at the
// negative integers (-2.0 gives -3), and stored screens depend on this form.
inline int32_t TruncLess(float w) {
  // Values outside the int32 range never reach here from valid geometry; keep the cast defined.
  if (!(w > -1.0e9f)) w = -1.0e9f;
  if (!(w < 1.0e9f)) w = 1.0e9f;
  const int32_t t = static_cast<int32_t>(w);
  return w < 0.0f ? t - 1 : t;
}

// The fractional part of that form: w - TruncLess(w), in 0 < f <= 1 for negatives.
inline float FracLess(float w) { return w - static_cast<float>(TruncLess(w)); }

// Distance from abs x to the nearest integer.
inline float DistanceToInteger(float x) {
  x = std::fabs(x);
  const float f = x - std::trunc(x);
  return f > 0.5f ? 1.0f - f : f;
}

// Minus the spot function of the shape at P, Q (both -1..1).
float SpotValue(int32_t shape, float P, float Q) {
  const float p = std::fabs(P);
  const float q = std::fabs(Q);
  float f = 0.0f;
  switch (shape) {
    case 0:
      if (p + q <= 1.0f)
        f = 1.0f - q * q - p * p;
      else
        f = (q - 1.0f) * (q - 1.0f) + (p - 1.0f) * (p - 1.0f) - 1.0f;
      break;
    case 1: f = 1.0f - Q * Q - P * P; break;
    case 2: {
      const float cq = static_cast<float>(std::cos(static_cast<double>(kPiF * Q)));
      const float cp = static_cast<float>(std::cos(static_cast<double>(kPiF * P)));
      f = (cq + cp) / 2.0f;
      break;
    }
    case 3: f = -p; break;
    case 4: f = Q; break;
    case 5: f = P; break;
    case 6: f = -std::max(q, p); break;
    case 7: f = -std::min(q, p); break;
    case 8: {
      const float s = q + p;
      if (s <= 0.75f)
        f = 1.0f - q * q - p * p;
      else if (s <= 1.23f)
        f = 1.0f - (0.85f * q + p);
      else
        f = (q - 1.0f) * (q - 1.0f) + (p - 1.0f) * (p - 1.0f) - 1.0f;
      break;
    }
    case 9: f = (0.9f * q + p) / 2.0f; break;
    default: break;
  }
  return -f;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Tone attributes

void InitToneAttr(SToneAttr& attr) {
  attr.shape = 0;
  std::memset(attr.reserved, 0, sizeof attr.reserved);
  attr.resolution = 0;
  attr.ruling = 0;
  attr.density = 0;
  attr.angle = 0;
  attr.spread = 0;
  attr.name.clear();
  attr.toneSwitch = 1;
}

void ToneAttrToBytes(const SToneAttr& attr, uint8_t out[kToneAttrBytes]) {
  out[0] = attr.shape;
  std::memcpy(out + 1, attr.reserved, 3);
  StoreF32(out + 4, attr.resolution);
  StoreF32(out + 8, attr.ruling);
  StoreF32(out + 12, attr.density);
  StoreF32(out + 16, attr.angle);
  StoreI32(out + 20, attr.spread);
}

void ToneAttrFromBytes(SToneAttr& attr, const uint8_t in[kToneAttrBytes]) {
  attr.shape = in[0];
  std::memcpy(attr.reserved, in + 1, 3);
  attr.resolution = LoadF32(in + 4);
  attr.ruling = LoadF32(in + 8);
  attr.density = LoadF32(in + 12);
  attr.angle = LoadF32(in + 16);
  attr.spread = LoadI32(in + 20);
}

bool SameToneBytes(const SToneAttr& a, const SToneAttr& b) {
  uint8_t x[kToneAttrBytes], y[kToneAttrBytes];
  ToneAttrToBytes(a, x);
  ToneAttrToBytes(b, y);
  return std::memcmp(x, y, kToneAttrBytes) == 0;
}

const char* ToneShapeName(int32_t shape) {
  static const char* const kNames[kToneShapeCount] = {"Round",   "Dot",    "Dot(Cos)", "Line",    "Line(X)",
                                                      "Line(Y)", "Square", "Cross",    "Diamond", "Rhomboid"};
  return shape >= 0 && shape < kToneShapeCount ? kNames[shape] : "???";
}

int32_t FindToneRepeat(float k, float s) {
  const float m = std::max(s, k);
  if (!(m >= kToneCellSearchMin * 0.5f) || !(m <= kToneCellSearchMax)) return 0;
  int32_t limit = static_cast<int32_t>(512.0f / m) - 1;
  if (limit < 1) limit = 1;
  float best = 10.0f;
  int32_t bestN = 1;
  for (int32_t n = 1; n <= limit; ++n) {
    const float fn = static_cast<float>(n);
    const float e = DistanceToInteger(fn * k) + DistanceToInteger(fn * s);
    if (e < 0.05f) return n;
    if (e < best) {
      best = e;
      bestN = n;
    }
  }
  return bestN;
}

void SortToneValues(std::vector<float>& values) {
  const size_t n = values.size();
  if (n < 2) return;
  // Finite values with the sign bit clear order as their bits do, and equal values have equal
  // bits (there is no -0), so sorting the bits gives std::sort's sequence exactly.
  std::unique_ptr<uint32_t[]> keys(new uint32_t[n]);
  std::unique_ptr<uint32_t[]> other(new uint32_t[n]);
  std::memcpy(keys.get(), values.data(), n * sizeof(float));
  for (size_t i = 0; i < n; ++i) {
    if (keys[i] >= 0x7F800000u) {  // negative, -0, infinite or not a number
      std::sort(values.begin(), values.end());
      return;
    }
  }
  for (int32_t shift = 0; shift < 32; shift += 11) {
    size_t counts[2048] = {};
    for (size_t i = 0; i < n; ++i) ++counts[(keys[i] >> shift) & 2047u];
    size_t total = 0;
    for (size_t& c : counts) {
      const size_t here = c;
      c = total;
      total += here;
    }
    for (size_t i = 0; i < n; ++i) other[counts[(keys[i] >> shift) & 2047u]++] = keys[i];
    keys.swap(other);
  }
  std::memcpy(values.data(), keys.get(), n * sizeof(float));
}

// ---------------------------------------------------------------------------------------------
// CToneMaker

bool CToneMaker::ComputeGeometry(float cellSize, float angle, Geometry& g) {
  if (!std::isfinite(cellSize) || !std::isfinite(angle)) return false;
  // The super-cell is built for angles 0..90 (both cell components 0 or more).
  if (angle < 0.0f || angle > 90.0f) return false;
  // A cell outside this range can never snap into 3..128; refusing it first keeps the repeat
  // search short and its products in range.
  if (cellSize < kToneCellSearchMin || cellSize > kToneCellSearchMax) return false;
  g.requestedCell = cellSize;
  g.requestedAngle = angle;
  g.radians = angle * (kPiF / 180.0f);
  const float s = cellSize * static_cast<float>(std::sin(static_cast<double>(g.radians)));
  const float k = cellSize * static_cast<float>(std::cos(static_cast<double>(g.radians)));
  g.halfSum = (s + k) / 2.0f;
  g.halfDifference = (k - s) / 2.0f;
  const int32_t n = FindToneRepeat(k, s);
  if (n <= 0) return false;
  const float fn = static_cast<float>(n);
  const int32_t a = static_cast<int32_t>(fn * s + 0.15f);
  const int32_t b = static_cast<int32_t>(fn * k + 0.15f);
  if (a < 0 || b < 0 || a + b <= 0) return false;
  const float side = std::sqrt(static_cast<float>(a * a + b * b));
  const float snapped = side / fn;
  if (!(snapped >= kToneCellMin && snapped <= kToneCellMax)) return false;
  g.a = a;
  g.b = b;
  g.n = n;
  g.verticalOffset = static_cast<float>((b - a) / 2);
  g.side = side;
  g.sine = static_cast<float>(a) / side;
  g.cosine = static_cast<float>(b) / side;
  g.cellSize = snapped;
  g.cellSine = static_cast<float>(a) / fn;
  g.cellCosine = static_cast<float>(b) / fn;
  g.snappedAngle =
      static_cast<float>(std::atan2(static_cast<double>(a), static_cast<double>(b)) * 180.0 / 3.141592653589793);
  return true;
}

bool CToneMaker::CanBuild(float cellSize, float angle) {
  Geometry g{};
  return ComputeGeometry(cellSize, angle, g);
}

bool IsBuildableToneAttr(const SToneAttr& attr, int32_t scale) {
  if (attr.shape >= kToneShapeCount || !std::isfinite(attr.density) || !std::isfinite(attr.resolution) ||
      !std::isfinite(attr.ruling))
    return false;
  if (!(attr.resolution > 0.0f) || !(attr.ruling > 0.0f) || scale <= 0) return false;
  if (!CToneMaker::CanBuild(attr.resolution / attr.ruling, attr.angle)) return false;
  if (scale == 100) return true;
  const float scaled = static_cast<float>(scale) * attr.resolution / 100.0f;
  return scaled > 0.0f && CToneMaker::CanBuild(scaled / attr.ruling, attr.angle);
}

bool CToneMaker::SetGeometry(float cellSize, float angle) {
  Geometry g{};
  if (!ComputeGeometry(cellSize, angle, g)) return false;
  std::unique_ptr<TChannel> tile(new (std::nothrow) TChannel(g.a + g.b, std::max(g.a, g.b)));
  if (!tile || !tile->IsValid()) {
    DebugOut("CToneMaker::SetGeometry: the tile cannot be made\n");
    return false;
  }
  std::vector<float> spots;
  try {
    spots.assign(static_cast<size_t>(tile->Width()) * static_cast<size_t>(tile->Height()), 0.0f);
  } catch (const std::bad_alloc&) {
    DebugOut("CToneMaker::SetGeometry: out of memory\n");
    return false;
  }
  requestedCell_ = g.requestedCell;
  requestedAngle_ = g.requestedAngle;
  radians_ = g.radians;
  halfSum_ = g.halfSum;
  halfDifference_ = g.halfDifference;
  a_ = g.a;
  b_ = g.b;
  n_ = g.n;
  verticalOffset_ = g.verticalOffset;
  verticalOffsetInt_ = (g.b - g.a) / 2;
  side_ = g.side;
  sine_ = g.sine;
  cosine_ = g.cosine;
  cellSize_ = g.cellSize;
  cellSine_ = g.cellSine;
  cellCosine_ = g.cellCosine;
  snappedAngle_ = g.snappedAngle;
  tile_ = std::move(tile);
  superCell_.clear();
  walk_.valid = false;
  tileWidth_ = tile_->Width();
  tileHeight_ = tile_->Height();
  spots_.swap(spots);
  hasGeometry_ = true;
  built_ = false;
  clampedReads_ = 0;
  return true;
}

bool CToneMaker::Setup(int32_t shape, int32_t spread, float cellSize, float angle, float density) {
  if (shape < 0 || shape >= kToneShapeCount) return false;
  if (!std::isfinite(density) || !std::isfinite(cellSize) || !std::isfinite(angle)) return false;
  bool changed = false;
  // The geometry depends only on the requested cell and angle, so the same request keeps it.
  if (!hasGeometry_ || cellSize != requestedCell_ || angle != requestedAngle_) {
    Geometry g{};
    if (!ComputeGeometry(cellSize, angle, g)) return false;  // checked before anything changes
    if (!SetGeometry(cellSize, angle)) return false;
    changed = true;
  }
  if (shape != shape_) changed = true;
  const float clamped = ClampSingle(density, 0.0f, 100.0f);
  // The request of the last finished Setup again: the tile and the table are already its own.
  if (!changed && built_ && clamped == density_ && spread == spread_) return true;
  density_ = clamped;
  shape_ = shape;
  spread_ = spread;
  built_ = Rebuild(changed);
  return built_;
}

void CToneMaker::ComputeSpots() {
  const float voff = verticalOffset_;
  float* out = spots_.data();
  for (int32_t row = 0; row < tileHeight_; ++row) {
    const float y = static_cast<float>(row) + voff + 0.5f;
    for (int32_t col = 0; col < tileWidth_; ++col) {
      const float x = static_cast<float>(col) + 0.5f;
      const float u = (x * cosine_ - y * sine_) / cellSize_;
      const float v = (x * sine_ + y * cosine_) / cellSize_;
      const float P = 2.0f * FracLess(v) - 1.0f;
      const float Q = 2.0f * FracLess(u) - 1.0f;
      *out++ = SpotValue(shape_, P, Q);
    }
  }
  // Normalise to 0..1; a flat field (every value equal) becomes all 0.
  const auto [lo, hi] = std::minmax_element(spots_.begin(), spots_.end());
  const float smallest = *lo;
  const float range = *hi - smallest;
  for (float& s : spots_) s = range > 0.0f ? (s - smallest) / range : 0.0f;
}

void CToneMaker::BuildLevels() {
  std::vector<float> sorted(spots_);
  SortToneValues(sorted);
  const int64_t n = static_cast<int64_t>(sorted.size());
  for (int32_t i = 0; i <= 100; ++i) {
    const int64_t index = std::min<int64_t>(i * n / 100, n - 1);
    const float value = sorted[static_cast<size_t>(index)];
    const auto range = std::equal_range(sorted.begin(), sorted.end(), value);
    SLevelEntry& e = levels_[i];
    e.index = static_cast<int32_t>(index);
    e.value = value;
    e.runLength = static_cast<int32_t>(range.second - range.first);
  }
  for (int32_t i = 0; i <= 100; ++i) {
    SLevelEntry& e = levels_[i];
    e.equalBelow = e.runsBelow = e.equalAbove = e.runsAbove = 0;
    for (int32_t j = i - 1; j >= 0 && levels_[j].value == e.value; --j) {
      ++e.equalBelow;
      e.runsBelow += levels_[j].runLength;
    }
    for (int32_t j = i + 1; j <= 100 && levels_[j].value == e.value; ++j) {
      ++e.equalAbove;
      e.runsAbove += levels_[j].runLength;
    }
  }
}

void CToneMaker::SetThresholds(int32_t i) {
  i = ClampInt(i, 0, 100);
  const SLevelEntry& e = levels_[i];
  const int32_t below = std::min(std::max(e.equalBelow, spread_), i);
  const int32_t above = std::min(std::max(e.equalAbove, spread_), 100 - i);
  lower_ = levels_[i - below].value;
  upper_ = levels_[i + above].value;
  difference_ = upper_ - lower_;
}

uint8_t CToneMaker::LevelOf(float x) const {
  if (x <= lower_) return 0;
  if (x >= upper_) return 255;
  return static_cast<uint8_t>(static_cast<int32_t>((x - lower_) * 255.0f / difference_));
}

bool CToneMaker::Rebuild(bool changed) {
  if (!hasGeometry_ || !IsReady()) return false;
  if (changed) {
    ComputeSpots();
    BuildLevels();
  } else if (spots_.empty()) {
    return false;
  }
  SetThresholds(static_cast<int32_t>(density_));
  const SDibView& view = tile_->View();
  const float* s = spots_.data();
  for (int32_t row = 0; row < tileHeight_; ++row) {
    uint8_t* p = PixelAddr8(view, 0, row);
    for (int32_t col = 0; col < tileWidth_; ++col) p[col] = LevelOf(*s++);
  }
  try {
    BuildSuperCellTable();
  } catch (const std::bad_alloc&) {
    DebugOut("CToneMaker::Rebuild: out of memory\n");
    superCell_.clear();
    walk_.valid = false;
    return false;
  }
  walk_.valid = false;
  return true;
}

TPoint CToneMaker::LatticePoint(int32_t i, int32_t j) const { return TPoint{i * b_ + j * a_, -i * a_ + j * b_}; }

uint8_t CToneMaker::TileLookup(int32_t dx, int32_t dy) const {
  const int32_t a = a_, b = b_;
  const int32_t r = dy - verticalOffsetInt_;
  int32_t col, row;
  if (r >= 0) {
    if (dx < a) {
      if (r < a) {
        col = dx;
        row = r;
      } else {
        col = dx + b;
        row = r - a;
      }
    } else if (r < b) {
      col = dx;
      row = r;
    } else {
      col = dx - a;
      row = r - b;
    }
  } else if (dx < b) {
    if (-r <= b) {
      col = dx + a;
      row = r + b;
    } else {
      col = dx + a - b;
      row = r + a + b;
    }
  } else if (-r <= a) {
    col = dx - b;
    row = r + a;
  } else {
    col = dx - b + a;
    row = r + a + b;
  }
  if (col < 0 || col >= tileWidth_ || row < 0 || row >= tileHeight_) {
    ++clampedReads_;
    col = ClampInt(col, 0, tileWidth_ - 1);
    row = ClampInt(row, 0, tileHeight_ - 1);
  }
  return *PixelAddr8(tile_->View(), col, row);
}

uint8_t CToneMaker::SampleSingle(int32_t x, int32_t y) const {
  if (!IsReady()) return 0;
  const float X = static_cast<float>(x) + 0.5f;
  const float Y = static_cast<float>(y) + 0.5f;
  const float p = (X * cosine_ - Y * sine_) / side_;
  const float q = (X * sine_ + Y * cosine_) / side_;
  const int64_t i = TruncLess(p);
  const int64_t j = TruncLess(q);
  const int64_t ox = i * b_ + j * a_;
  const int64_t oy = -i * a_ + j * b_;
  const int64_t dx = int64_t{x} - ox;
  const int64_t dy = int64_t{y} - oy;
  // Within a super-cell (plus the rounding of p and q) the offsets are small.
  const int32_t limit = 4 * (a_ + b_) + 4;
  if (dx < -limit || dx > limit || dy < -limit || dy > limit) {
    ++clampedReads_;
    return static_cast<uint8_t>(255 - *PixelAddr8(tile_->View(), 0, 0));
  }
  return static_cast<uint8_t>(255 - TileLookup(static_cast<int32_t>(dx), static_cast<int32_t>(dy)));
}

void CToneMaker::BuildSuperCellTable() {
  const int32_t a = a_, b = b_;
  const int32_t side = a + b;
  superCell_.assign(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
  const SDibView& view = tile_->View();
  for (int32_t dy = -a; dy < b; ++dy) {
    uint8_t* out = superCell_.data() + static_cast<size_t>(dy + a) * static_cast<size_t>(side);
    // Within a row TileLookup reads two runs of one tile row each: dx below the split and dx
    // from it, every column moved by the run's offset. A run wholly inside the tile is read
    // straight from the row; one that clamps goes pixel by pixel.
    const auto run = [&](int32_t first, int32_t end, int32_t offset, int32_t row) {
      if (first >= end) return;
      if (row >= 0 && row < tileHeight_ && first + offset >= 0 && end + offset <= tileWidth_) {
        const uint8_t* in = PixelAddr8(view, first + offset, row);
        for (int32_t dx = first; dx < end; ++dx) out[dx] = static_cast<uint8_t>(255 - in[dx - first]);
      } else {
        for (int32_t dx = first; dx < end; ++dx) out[dx] = static_cast<uint8_t>(255 - TileLookup(dx, dy));
      }
    };
    const int32_t r = dy - verticalOffsetInt_;
    if (r >= 0) {
      if (r < a)
        run(0, a, 0, r);
      else
        run(0, a, b, r - a);
      if (r < b)
        run(a, side, 0, r);
      else
        run(a, side, -a, r - b);
    } else {
      if (-r <= b)
        run(0, b, a, r + b);
      else
        run(0, b, a - b, r + a + b);
      if (-r <= a)
        run(b, side, -b, r + a);
      else
        run(b, side, a - b, r + a + b);
    }
  }
  clampedReads_ = 0;
}

namespace {
// floor(n / d) and the remainder 0 <= r < d, for d > 0.
inline void FloorDivide(int64_t n, int64_t d, int64_t& q, int64_t& r) {
  q = n / d;
  r = n - q * d;
  if (r < 0) {
    r += d;
    --q;
  }
}
}  // namespace

uint8_t CToneMaker::SampleStart(int32_t x, int32_t y) const {
  if (!IsReady()) return 0;
  Walk& w = walk_;
  w.valid = false;
  if (superCell_.empty()) return SampleSingle(x, y);
  const int64_t d = 2 * (int64_t{a_} * a_ + int64_t{b_} * b_);
  const int64_t x2 = 2 * int64_t{x} + 1, y2 = 2 * int64_t{y} + 1;
  int64_t i, j, remP, remQ;
  FloorDivide(x2 * b_ - y2 * a_, d, i, remP);
  FloorDivide(x2 * a_ + y2 * b_, d, j, remQ);
  // The walk serves the next 4096 pixels of the row. The single-precision p and q differ from
  // the exact ones by less than 12 * 2^-24 * (|X| + |Y|) / L; the margin takes 2^-18 of
  // ((|X| + |Y|) / L + 1), in units of the remainder, and two more.
  const double reach = std::fabs(static_cast<double>(x)) + 4097.0 + std::fabs(static_cast<double>(y)) + 1.0;
  const int64_t margin = static_cast<int64_t>((reach / static_cast<double>(side_) + 1.0) * (1.0 / 262144.0) *
                                              static_cast<double>(d)) +
                         2;
  if (2 * margin >= d || d > INT32_MAX / 2) return SampleSingle(x, y);
  const int64_t side = a_ + b_;
  w.d = static_cast<int32_t>(d);
  w.remP = static_cast<int32_t>(remP);
  w.remQ = static_cast<int32_t>(remQ);
  w.stepP = 2 * b_;
  w.stepQ = 2 * a_;
  w.margin = static_cast<int32_t>(margin);
  w.inner = static_cast<uint32_t>(d - 2 * margin);
  // dx = x - (i b + j a), dy = y - (-i a + j b): a step of i moves dx by -b and dy by +a, a
  // step of j moves dx by -a and dy by -b.
  w.index = (int64_t{y} + i * a_ - j * b_ + a_) * side + (int64_t{x} - i * b_ - j * a_);
  w.indexStepI = a_ * side - b_;
  w.indexStepJ = -b_ * side - a_;
  w.x = x;
  w.y = y;
  w.xEnd = x > INT32_MAX - 4096 ? INT32_MAX : x + 4096;
  w.valid = true;
  if (static_cast<uint32_t>(w.remP - w.margin) <= w.inner && static_cast<uint32_t>(w.remQ - w.margin) <= w.inner)
    return superCell_[static_cast<size_t>(w.index)];
  return SampleSingle(x, y);
}

void CToneMaker::SampleRow(int32_t x, int32_t y, int32_t count, uint8_t* out) const {
  for (int32_t i = 0; i < count; ++i) out[i] = Sample(x + i, y);
}

bool CToneMaker::DrawIntoChannel(TChannel& channel, int32_t x0, int32_t y0) const {
  const SDibView& view = channel.View();
  if (!channel.IsValid()) return true;
  for (int32_t i = 0; i < channel.Height(); ++i) SampleRow(x0, y0 + i, channel.Width(), PixelAddr8(view, 0, i));
  return true;
}

// ---------------------------------------------------------------------------------------------
// CPatObj

void ResetPatternIdCounter(int32_t next) { g_nextPatternId = next; }

CPatObj::CPatObj(int32_t width, int32_t height, int32_t typeCode)
    : serialId_(g_nextPatternId++), width_(width), height_(height), typeCode_(typeCode) {}

int32_t CPatObj::RenewId() {
  const int32_t old = serialId_;
  serialId_ = g_nextPatternId++;
  return old;
}

void CPatObj::SetBuilt(bool built) {
  if (CDibCore::IsAllocated(displayTile_)) built_ = built;
}

void CPatObj::CopyFieldsFrom(const CPatObj& source) {
  built_ = source.built_;
  kind_ = source.kind_;
  offsetX_ = source.offsetX_;
  offsetY_ = source.offsetY_;
  width_ = source.width_;
  height_ = source.height_;
  scale_ = source.scale_;
  typeCode_ = source.typeCode_;
  name_ = source.name_;
}

void CPatObj::GetScaleRange(int32_t& minimum, int32_t& maximum) const {
  minimum = 1000 / std::max(1, std::min(width_, height_));
  maximum = 200;
}

bool CPatObj::DrawTiled(TMTC& image, SRectWH rect) const {
  if (!image.ClipRect(rect)) return false;
  const int32_t tw = width_, th = height_;
  if (tw <= 0 || th <= 0) return false;
  const int32_t right = rect.left + rect.width;
  const int32_t bottom = rect.top + rect.height;
  for (int32_t top = rect.top; top < bottom; top += th) {
    for (int32_t left = rect.left; left < right; left += tw) {
      const SRectWH piece{left, top, std::min(tw, right - left), std::min(th, bottom - top)};
      DrawTile(image, piece);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// CPat8

CPat8::CPat8(int32_t width, int32_t height, int32_t typeCode) : CPatObj(width, height, typeCode) {
  if (width > 0 && height > 0 && width <= kMaxPatternSide && height <= kMaxPatternSide)
    tile_.Resize(width, height);
  width_ = tile_.Width();
  height_ = tile_.Height();
  displayTile_ = &tile_;
}

std::unique_ptr<CPat8> CPat8::CreateCopy(const CPat8& source) {
  std::unique_ptr<CPat8> copy(new (std::nothrow) CPat8(source.width_, source.height_, source.typeCode_));
  if (!copy) return nullptr;
  copy->CopyFieldsFrom(source);
  if (source.tile_.IsValid()) copy->SetFromChannel(source.tile_);
  copy->inverted_ = source.inverted_;
  copy->width_ = copy->tile_.Width();
  copy->height_ = copy->tile_.Height();
  return copy;
}

std::unique_ptr<CPatObj> CPat8::Clone() const { return CreateCopy(*this); }

uint8_t* CPat8::PixelAddr(int32_t x, int32_t y) {
  if (!tile_.IsValid() || x < 0 || y < 0 || x >= tile_.Width() || y >= tile_.Height()) return nullptr;
  return PixelAddr8(tile_.View(), x, y);
}

uint8_t CPat8::PixelAt(int32_t x, int32_t y) const {
  if (!tile_.IsValid()) return 0;
  const int32_t w = tile_.Width(), h = tile_.Height();
  int64_t tx = (int64_t{x} + offsetX_) % w;
  int64_t ty = (int64_t{y} + offsetY_) % h;
  if (tx < 0) tx += w;
  if (ty < 0) ty += h;
  const uint8_t v = *PixelAddr8(tile_.View(), static_cast<int32_t>(tx), static_cast<int32_t>(ty));
  return inverted_ ? static_cast<uint8_t>(v ^ 255) : v;
}

void CPat8::PixelRow(int32_t x, int32_t y, int32_t count, uint8_t* out) const {
  if (count <= 0) return;
  if (!tile_.IsValid()) {
    std::memset(out, 0, static_cast<size_t>(count));
    return;
  }
  const int32_t w = tile_.Width(), h = tile_.Height();
  int64_t tx = (int64_t{x} + offsetX_) % w;
  int64_t ty = (int64_t{y} + offsetY_) % h;
  if (tx < 0) tx += w;
  if (ty < 0) ty += h;
  const uint8_t* row = PixelAddr8(tile_.View(), 0, static_cast<int32_t>(ty));
  const uint8_t flip = inverted_ ? 255 : 0;
  int32_t c = static_cast<int32_t>(tx);
  for (int32_t i = 0; i < count; ++i) {
    out[i] = static_cast<uint8_t>(row[c] ^ flip);
    if (++c == w) c = 0;
  }
}

void CPat8::GetScaleRange(int32_t& minimum, int32_t& maximum) const { CPatObj::GetScaleRange(minimum, maximum); }

bool CPat8::SetFromChannel(const TChannel& channel) {
  if (!channel.IsValid() || !tile_.IsValid()) return true;
  TPoint at{0, 0};
  SRectWH source{0, 0, channel.Width(), channel.Height()};
  channel.CopyRectTo(tile_, at, source);
  return true;
}

bool CPat8::DrawTile(TMTC& image, SRectWH rect) const {
  if (!tile_.IsValid() || !image.ClipRect(rect)) return false;
  const int32_t w = std::min(rect.width, tile_.Width());
  const int32_t h = std::min(rect.height, tile_.Height());
  const SDibView& d = image.View();
  const SDibView& s = tile_.View();
  for (int32_t j = 0; j < h; ++j) {
    uint32_t* p = PixelAddr32(d, rect.left, rect.top + j);
    const uint8_t* t = PixelAddr8(s, 0, j);
    for (int32_t i = 0; i < w; ++i) {
      const uint32_t v = 255u - t[i];
      p[i] = (p[i] & 0xFF000000u) | (v << 16) | (v << 8) | v;
    }
  }
  return true;
}

bool CPat8::CopyTileFrom(const CPat8& pattern) {
  if (&pattern == this) return tile_.IsValid();
  return pattern.tile_.IsValid() && SetTileFromChannel(pattern.tile_);
}

bool CPat8::SetTileFromChannel(const TChannel& channel) {
  const int32_t w = channel.Width(), h = channel.Height();
  if (!channel.IsValid() || w <= 0 || h <= 0 || w > kMaxPatternSide || h > kMaxPatternSide) return false;
  if (!tile_.Resize(w, h) || !tile_.IsValid()) {
    width_ = height_ = 0;
    return false;
  }
  TPoint at{0, 0};
  SRectWH source{0, 0, w, h};
  channel.CopyRectTo(tile_, at, source);
  width_ = w;
  height_ = h;
  displayTile_ = &tile_;
  return true;
}

// ---------------------------------------------------------------------------------------------
// CPat8Tone

CPat8Tone::CPat8Tone() : CPat8(64, 64, kTypeCodeTone) {
  kind_ = kPatternTone;
  InitToneAttr(attr_);
}

CPat8Tone::~CPat8Tone() { ReleaseMaker(); }

std::unique_ptr<CPat8Tone> CPat8Tone::CreateCopy(const CPat8Tone& source) {
  std::unique_ptr<CPat8Tone> copy(new (std::nothrow) CPat8Tone());
  if (!copy) return nullptr;
  copy->CopyFieldsFrom(source);
  if (source.tile_.IsValid()) {
    if (source.tile_.Width() != copy->tile_.Width() || source.tile_.Height() != copy->tile_.Height())
      copy->SetTileFromChannel(source.tile_);
    else
      copy->SetFromChannel(source.tile_);
  }
  copy->width_ = copy->tile_.Width();
  copy->height_ = copy->tile_.Height();
  copy->inverted_ = source.inverted_;
  copy->attr_ = source.attr_;
  if (source.ownsMaker_) {
    if (!copy->OwnMaker()) return nullptr;
  } else {
    copy->UseMaker(source.maker_);
  }
  return copy;
}

std::unique_ptr<CPatObj> CPat8Tone::Clone() const { return CreateCopy(*this); }

uint8_t CPat8Tone::PixelAt(int32_t x, int32_t y) const {
  const uint8_t v = maker_ != nullptr ? maker_->Sample(PatternX(x), PatternY(y)) : 0;
  return inverted_ ? static_cast<uint8_t>(255 - v) : v;
}

void CPat8Tone::PixelRow(int32_t x, int32_t y, int32_t count, uint8_t* out) const {
  if (count <= 0) return;
  if (maker_ == nullptr)
    std::memset(out, 0, static_cast<size_t>(count));
  else
    maker_->SampleRow(PatternX(x), PatternY(y), count, out);
  if (inverted_)
    for (int32_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(255 - out[i]);
}

SSize CPat8Tone::GetSize() const { return built_ ? SSize{100, 100} : CPat8::GetSize(); }

void CPat8Tone::GetScaleRange(int32_t& minimum, int32_t& maximum) const {
  const float ratio = attr_.ruling / attr_.resolution;
  if (!std::isfinite(ratio) || !(ratio > 0.0f) || ratio > 1.0e5f) {
    minimum = maximum = 100;
    return;
  }
  minimum = static_cast<int32_t>(3.5f * 100.0f * attr_.ruling / attr_.resolution);
  maximum = static_cast<int32_t>(127.5f * 100.0f * attr_.ruling / attr_.resolution);
}

void CPat8Tone::SetName(const std::string& name) {
  name_ = name;
  attr_.name = name;
}

bool CPat8Tone::DrawTile(TMTC& image, SRectWH rect) const {
  if (!image.ClipRect(rect)) return false;
  if (maker_ == nullptr || !maker_->IsReady()) return false;
  std::vector<uint8_t> values(static_cast<size_t>(rect.width));
  const SDibView& d = image.View();
  for (int32_t j = 0; j < rect.height; ++j) {
    maker_->SampleRow(0, j, rect.width, values.data());
    uint32_t* p = PixelAddr32(d, rect.left, rect.top + j);
    for (int32_t i = 0; i < rect.width; ++i) {
      const uint32_t v = 255u - values[static_cast<size_t>(i)];
      p[i] = (p[i] & 0xFF000000u) | (v << 16) | (v << 8) | v;
    }
  }
  return true;
}

bool CPat8Tone::Paint(TMTC& image, SRectWH rect) const {
  if (!image.ClipRect(rect) || !tile_.IsValid()) return false;
  const int32_t tw = tile_.Width(), th = tile_.Height();
  const int32_t right = rect.left + rect.width;
  const int32_t bottom = rect.top + rect.height;
  for (int32_t top = rect.top; top < bottom; top += th) {
    for (int32_t left = rect.left; left < right; left += tw) {
      TPoint at{left, top};
      SRectWH source{0, 0, std::min(tw, right - left), std::min(th, bottom - top)};
      ChannelToPixels(image, tile_, at, source);
    }
  }
  image.XorRect(rect, 0x00FFFFFFu);
  return true;
}

bool CPat8Tone::Build(const SToneAttr* attr, CToneMaker* maker, bool rebuild, const TChannel* channel) {
  if (attr == nullptr) return false;
  if (maker != nullptr)
    UseMaker(maker);
  else if (!OwnMaker())
    return false;
  if (channel == nullptr) rebuild = true;
  if (rebuild) {
    if (!(attr->resolution > 0.0f) || !(attr->ruling > 0.0f)) return false;
    if (!maker_->Setup(attr->shape, attr->spread, attr->resolution / attr->ruling, attr->angle, attr->density))
      return false;
  }
  if (channel != nullptr) {
    const bool sameSize = tile_.IsValid() && channel->IsValid() && channel->Width() == tile_.Width() &&
                          channel->Height() == tile_.Height();
    if (sameSize)
      SetFromChannel(*channel);
    else if (!SetTileFromChannel(*channel))
      return false;
  } else {
    maker_->DrawIntoChannel(tile_, 0, 0);
  }
  attr_ = *attr;
  SetBuilt(true);
  return true;
}

void CPat8Tone::UseMaker(CToneMaker* maker) {
  ReleaseMaker();
  maker_ = maker;
}

bool CPat8Tone::OwnMaker() {
  ReleaseMaker();
  maker_ = new (std::nothrow) CToneMaker();
  ownsMaker_ = maker_ != nullptr;
  return maker_ != nullptr;
}

void CPat8Tone::ReleaseMaker() {
  if (ownsMaker_) delete maker_;
  maker_ = nullptr;
  ownsMaker_ = false;
}

// ---------------------------------------------------------------------------------------------
// Dot patterns

std::unique_ptr<CPat8> MakeDotPattern(TChannel& work, float width, float height, float step, float radius) {
  if (!work.IsValid() || !std::isfinite(width) || !std::isfinite(height)) return nullptr;
  if (!(width >= 1.0f) || !(height >= 1.0f)) return nullptr;
  if (width > static_cast<float>(work.Width()) || height > static_cast<float>(work.Height())) return nullptr;
  const int32_t w = static_cast<int32_t>(width);
  const int32_t h = static_cast<int32_t>(height);
  work.Fill(0);
  const float g = step * 1.41421354f / 2.0f;
  // Stamp with the plain blend, whatever the pixel writer chain has installed as the plotter.
  const DotPlotter saved = SetDotPlotter(nullptr);
  DrawDotGrid(work, g, g, width, height, step, step, radius);
  SetDotPlotter(saved);
  std::unique_ptr<CPat8> pattern(new (std::nothrow) CPat8(w, h, kTypeCodePattern));
  if (!pattern || !pattern->Tile().IsValid()) return nullptr;
  TPoint at{0, 0};
  SRectWH source{0, 0, w, h};
  work.CopyRectTo(pattern->Tile(), at, source);
  pattern->SetBuilt(true);
  return pattern;
}

}  // namespace tf
