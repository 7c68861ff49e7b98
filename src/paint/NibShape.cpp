// Nib geometry and the nib shape rasteriser.
#include "paint/NibShape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "paint/FalloffMap.h"
#include "paint/NibPreset.h"
#include "platform/Debug.h"
#include "raster/FlatImage.h"
#include "raster/SafeConvert.h"
#include "raster/ScaleImage.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// SNibShape

namespace {

// x*scale + 0.5 truncated, saturating (NaN 0); the product in double.
int32_t ScaledHalfUp(float x, double scale) { return TruncSaturated(static_cast<double>(x) * scale + 0.5); }

inline int64_t FloorPixel(int64_t v) { return v >> 16; }
inline int64_t CeilPixel(int64_t v) { return (v + 0xFFFF) >> 16; }
inline Fixed FixMul64(int64_t a, int64_t b) { return static_cast<Fixed>((a * b) >> 16); }

// SingleToFix inline: x * 65536 rounded to nearest, ties to even. Inside +-2^31 the rounding is
// the add-and-subtract of 1.5 * 2^52 (rounds in double under the default rounding mode); outside,
// and for NaN, SingleToFix decides. The footprints rebuilt at every dab spend much of their time
// here, and nearbyint is a library call on the baseline instruction set.
inline Fixed RoundToFix(float x) {
  const double v = static_cast<double>(x) * 65536.0;
  if (!(v > -2147483648.0 && v < 2147483647.0)) return SingleToFix(x);
  constexpr double kRoundMagic = 6755399441055744.0;
  // IEEE double arithmetic (SSE2): the compiler keeps both steps.
  return static_cast<Fixed>((v + kRoundMagic) - kRoundMagic);
}

// sqrt(chord2) rounded to nearest, ties to even, for 0 < chord2 < 2^52 (a circle's half chord in
// 16.16: the radius is at most 2^25): the same rounding as RoundToFix.
inline int64_t HalfChord(int64_t chord2) {
  constexpr double kRoundMagic = 6755399441055744.0;
  return static_cast<int64_t>((std::sqrt(static_cast<double>(chord2)) + kRoundMagic) - kRoundMagic);
}

// The ratio the geometry uses: 1 .. 100 percent. Below 1 the ellipse would have no minor axis (a
// division by zero); above 100 it would outgrow the radius the footprint is sized by.
int32_t EffectiveRatio(int32_t ratio) { return ratio < 1 ? 1 : (ratio > 100 ? 100 : ratio); }

}  // namespace

void SNibShape::Init(float s) {
  const double scaled = static_cast<double>(s) * 100.0;
  size = std::isnan(scaled) ? 0 : TruncSaturated(std::nearbyint(scaled));
  aspect = 1000;
  angle = 0;
  minRatio = 1000;
}

bool SNibShape::Equal(const SNibShape& o) const {
  return size == o.size && aspect == o.aspect && angle == o.angle && minRatio == o.minRatio;
}

float SNibShape::SetSize(float x) {
  const float old = GetSize();
  size = ScaledHalfUp(x, 100.0);
  return old;
}

int32_t SNibShape::SwapSize(int32_t raw) {
  const int32_t old = size;
  size = raw;
  return old;
}

float SNibShape::SetMinRatio(float x) {
  const float old = GetMinRatio();
  minRatio = ScaledHalfUp(x, 1000.0);
  return old;
}

float SNibShape::SetAspect(float x) {
  const float old = GetAspect();
  aspect = TruncClamped(static_cast<double>(x) * 1000.0 + 0.5, 0, 1000);
  return old;
}

float SNibShape::SetAngle(float x) {
  const float old = GetAngle();
  const double tenths = std::floor(static_cast<double>(x) * 10.0 + 0.5);
  if (!std::isfinite(tenths)) {
    angle = 0;
  } else {
    double wrapped = std::fmod(tenths, 3600.0);  // exact for whole numbers
    if (wrapped < 0) wrapped += 3600.0;
    angle = static_cast<int32_t>(wrapped);
  }
  return old;
}

// ---------------------------------------------------------------------------------------------
// Free routines

bool QuantizeNibRadius(Fixed r, Fixed& q) {
  if (r > (512 << 16)) return false;
  if (r >= (10 << 16)) {
    q = r & ~0x7FFF;
  } else if (r < (3 << 16)) {
    q = r & ~0x1FFF;
    if (q < 4096) q = 4096;
  } else {
    q = r & ~0x3FFF;
  }
  return true;
}

int32_t NibSupersampleFactor(int32_t s) {
  if (s <= 3) return std::max(s, 2);
  if (s <= 7) return std::min(30 / s, 5);
  if (s <= 49) return std::min(50 / s, 2);
  return 1;
}

namespace {

// Part of the square beyond an axis-parallel edge at distance r, with the square's centre at a
// along that axis and half size h.
Fixed AxisCoverage(int64_t r, int64_t h, int64_t a) {
  const int64_t c = r + h - a;
  if (c <= 0) return 0;
  if (c < 2 * h) return static_cast<Fixed>((c << 16) / (2 * h));
  return 0x10000;
}

// The square (centre (ax, ay) >= 0, half sizes hw, hh) against the line perpendicular to the
// centre's direction at distance r from the origin: the part on the origin's side.
Fixed CircleEdgeCoverageAt(int64_t ax, int64_t ay, int64_t d, int64_t r, int64_t hw, int64_t hh) {
  const double dd = static_cast<double>(d);
  const double nx = static_cast<double>(ax) / dd;
  const double ny = static_cast<double>(ay) / dd;
  // Projection of the nearest corner; the farthest one projects to 2d - t.
  const double t = static_cast<double>(ax - hw) * nx + static_cast<double>(ay - hh) * ny;
  const double rr = static_cast<double>(r);
  if (t >= rr) return 0;
  if (rr >= 2.0 * dd - t) return 0x10000;
  const double v = d >= r ? rr : 2.0 * dd - rr;
  const double s = v - t;  // room between the nearest corner and the line, along n
  const double w = 2.0 * static_cast<double>(hw);
  const double h = 2.0 * static_cast<double>(hh);
  const double x0 = s / nx;  // crossing with the corner's horizontal edge
  const double y0 = s / ny;  // crossing with the corner's vertical edge
  double area;
  if (x0 <= w && y0 <= h) {
    area = s * s / (2.0 * nx * ny);
  } else if (x0 > w) {
    const double y1 = (s - nx * w) / ny;
    area = (y0 + y1) * 0.5 * w;
  } else {
    const double x1 = (s - ny * h) / nx;
    area = (x0 + x1) * 0.5 * h;
  }
  double fraction = std::clamp(area / (w * h), 0.0, 1.0);
  if (d < r) fraction = 1.0 - fraction;
  return static_cast<Fixed>(std::nearbyint(fraction * 65536.0));
}

}  // namespace

Fixed CircleEdgeCoverage(Fixed x, Fixed y, Fixed d, Fixed r, Fixed hh, Fixed hw) {
  int64_t vx = x, vy = y, vd = d, vr = r, vhh = hh, vhw = hw;
  while (std::abs(vx) > 0x80000 || std::abs(vy) > 0x80000) {
    vx /= 2;
    vy /= 2;
    vd /= 2;
    vr /= 2;
    vhh /= 2;
    vhw /= 2;
  }
  const int64_t ax = std::abs(vx), ay = std::abs(vy);
  if (vhw <= 0 || vhh <= 0) return 0;
  if (ax < ay && (ax < 4096 || ay > 200 * ax)) return AxisCoverage(vr, vhh, ay);
  if (ay <= ax && (ay < 4096 || ax > 200 * ay)) return AxisCoverage(vr, vhw, ax);
  if (vd <= 0) return 0x10000;
  return CircleEdgeCoverageAt(ax, ay, vd, vr, vhw, vhh);
}

// ---------------------------------------------------------------------------------------------
// CPenShape: set-up

CPenShape::CPenShape(CGradeMapObj* gradeMap) : gradeMap_(gradeMap) { SetCircle(10); }

bool CPenShape::SetAntialias(bool flag) {
  if (antialias_ == flag) return false;
  antialias_ = flag;
  built_ = false;
  return true;
}

bool CPenShape::SetUseFalloff(bool flag) {
  if (useFalloff_ == flag) return false;
  useFalloff_ = flag;
  built_ = false;
  return true;
}

bool CPenShape::SetUseLookup(bool flag) {
  if (useLookup_ == flag) return false;
  useLookup_ = flag;
  built_ = false;
  return true;
}

bool CPenShape::AllocatePlanes(bool whole) {
  const size_t n = static_cast<size_t>(gridWidth_) * static_cast<size_t>(gridHeight_);
  try {
    if (whole) {
      distance_.resize(n);
      coverage_.resize(n);
      result_.resize(n);
    } else {
      distance_.assign(n, 0);
      coverage_.assign(n, 0);
      result_.assign(n, 0);
    }
  } catch (const std::bad_alloc&) {
    DebugOut("CPenShape::Layout: out of memory\n");
    distance_.clear();
    coverage_.clear();
    result_.clear();
    gridWidth_ = gridHeight_ = 0;
    return false;
  }
  return true;
}

bool CPenShape::Layout(Fixed hw, Fixed hh, bool rotate, bool exact, bool whole) {
  reqHalfWidth_ = hw;
  reqHalfHeight_ = hh;
  int64_t halfW = hw, halfH = hh;
  if (rotate) {
    const int64_t scale = size_ >> 16;
    const int64_t w = int64_t{hw} * scale / 100;
    const int64_t h = int64_t{hh} * scale / 100;
    // The corners (w, h) and (w, -h) turned forward: u = y cos - x sin, v = x cos + y sin.
    const int64_t u1 = FixMul64(h, cosine_) - FixMul64(w, sine_);
    const int64_t v1 = FixMul64(w, cosine_) + FixMul64(h, sine_);
    const int64_t u2 = FixMul64(-h, cosine_) - FixMul64(w, sine_);
    const int64_t v2 = FixMul64(w, cosine_) + FixMul64(-h, sine_);
    halfW = (std::max(std::abs(v1), std::abs(v2)) + 7) & ~int64_t{7};
    halfH = (std::max(std::abs(u1), std::abs(u2)) + 7) & ~int64_t{7};
    if (halfW > kMaxNibHalfExtent || halfH > kMaxNibHalfExtent) {
      DebugOut("CPenShape::Layout: image nib footprint above 512 pixels refused\n");
      return false;
    }
  }
  // Anything else is bounded by the radius limit plus the ellipse's margin.
  if (halfW < 0 || halfH < 0 || halfW > kMaxNibHalfExtent + (4 << 16) || halfH > kMaxNibHalfExtent + (4 << 16)) {
    return false;
  }
  halfWidth_ = static_cast<Fixed>(halfW);
  halfHeight_ = static_cast<Fixed>(halfH);
  centreX_ = 0x8000;
  centreY_ = 0x8000;
  bounds_ = {0x8000 - halfWidth_, 0x8000 - halfHeight_, 0x8000 + halfWidth_, 0x8000 + halfHeight_};
  const int32_t firstX = FixFloor(bounds_.left), firstY = FixFloor(bounds_.top);
  pixelWidth_ = FixCeil(bounds_.right) - firstX;
  pixelHeight_ = FixCeil(bounds_.bottom) - firstY;
  if (firstX < 0) {
    centreX_ += -firstX << 16;
    bounds_.left += -firstX << 16;
    bounds_.right += -firstX << 16;
  }
  if (firstY < 0) {
    centreY_ += -firstY << 16;
    bounds_.top += -firstY << 16;
    bounds_.bottom += -firstY << 16;
  }
  supersample_ = exact ? 1 : NibSupersampleFactor(std::max(pixelWidth_, pixelHeight_));
  gridWidth_ = pixelWidth_ * supersample_;
  gridHeight_ = pixelHeight_ * supersample_;
  builtCells_ = {0, 0, gridWidth_, gridHeight_};
  // The exact paths allocate the part of the grid they build (PlaceExactGrid).
  if (exact) return true;
  return AllocatePlanes(whole);
}

bool CPenShape::PlaceExactGrid(int32_t& coveredWidth, int32_t& coveredHeight) {
  // Never more than the layout's grid, as before; then only what the limit lets be sampled.
  const int64_t left = std::max<int64_t>(firstColumn_, 0);
  const int64_t top = std::max<int64_t>(firstRow_, 0);
  const int64_t right = std::min({firstColumn_ + std::min(coveredWidth, gridWidth_), limitWidth_,
                                  firstColumn_ + int64_t{gridWidth_}});
  const int64_t bottom = std::min({firstRow_ + std::min(coveredHeight, gridHeight_), limitHeight_,
                                   firstRow_ + int64_t{gridHeight_}});
  const bool limited = limitWidth_ != INT64_MAX || limitHeight_ != INT64_MAX;
  if (limited) {
    firstColumn_ = left;
    firstRow_ = top;
    gridWidth_ = static_cast<int32_t>(std::max<int64_t>(right - left, 0));
    gridHeight_ = static_cast<int32_t>(std::max<int64_t>(bottom - top, 0));
    coveredWidth = gridWidth_;
    coveredHeight = gridHeight_;
  }
  builtCells_ = {0, 0, gridWidth_, gridHeight_};
  return AllocatePlanes(false);
}

void CPenShape::SetAngleValues(int32_t angle) {
  angle_ = angle;
  angleRad_ = static_cast<float>(angle) * (3.14159265358979f / 180.0f);
  const float s = std::sin(angleRad_), c = std::cos(angleRad_);
  ellipse_.sine = s;
  ellipse_.cosine = c;
  sine_ = SingleToFix(s);
  cosine_ = SingleToFix(c);
}

bool CPenShape::Combine() { return CombineCells(builtCells_); }

bool CPenShape::CombineRect(int32_t width, int32_t height) { return CombineCells({0, 0, width, height}); }

bool CPenShape::CombineCells(const TRect& cells) {
  const size_t n = static_cast<size_t>(gridWidth_) * static_cast<size_t>(gridHeight_);
  if (distance_.size() < n || coverage_.size() < n || result_.size() < n) return false;
  const int32_t left = std::clamp(cells.left, 0, gridWidth_), right = std::clamp(cells.right, left, gridWidth_);
  const int32_t top = std::clamp(cells.top, 0, gridHeight_), bottom = std::clamp(cells.bottom, top, gridHeight_);
  const int32_t* table = nullptr;
  int64_t last = 0;
  if (useFalloff_ && useLookup_) {
    if (gradeMap_ == nullptr || !gradeMap_->IsValid()) {
      DebugOut("CPenShape::Combine: no falloff table\n");
      return false;
    }
    table = gradeMap_->Table();
    last = gradeMap_->LastIndex();
  }
  // The mode is chosen once; each row walks its cells from left to right.
  const auto eachCell = [&](auto cell) {
    for (int32_t row = top; row < bottom; ++row) {
      const size_t first = static_cast<size_t>(row) * static_cast<size_t>(gridWidth_) + static_cast<size_t>(left);
      for (size_t i = first; i < first + static_cast<size_t>(right - left); ++i) cell(i);
    }
  };
  if (!useFalloff_) {
    eachCell([&](size_t i) { result_[i] = coverage_[i] * 255; });
  } else if (table == nullptr) {
    eachCell([&](size_t i) { result_[i] = FixMul(0xFF0000, coverage_[i]); });
  } else {
    const int32_t lastValue = table[last];
    eachCell([&](size_t i) {
      const int32_t d = distance_[i];
      const int32_t v = d > 0xFFFF ? lastValue : table[(last * std::max(d, 0)) >> 16];
      result_[i] = FixMul(v, coverage_[i]);
    });
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Supersampled footprints

bool CPenShape::SetCircle(Fixed radius, const SSampleWindow* window) {
  Fixed r;
  if (!QuantizeNibRadius(radius, r)) {
    built_ = false;
    return false;
  }
  if (!built_ || kind_ != Kind::kCircle || r != size_ || ratio_ != 100) {
    built_ = false;
    kind_ = Kind::kCircle;
    size_ = r;
    ratio_ = 100;
    SetAngleValues(0);
    if (!Layout(r, r, false, false, true)) return false;
    builtCells_ = {0, 0, 0, 0};
  }
  return BuildCells(window, [this](const TRect& cells) { FillCircle(cells); });
}

TRect CPenShape::WantedCells(const SSampleWindow* window) const {
  if (window == nullptr) return {0, 0, gridWidth_, gridHeight_};
  const TRect& p = window->pixels;
  if (p.right <= p.left || p.bottom <= p.top) return {0, 0, 0, 0};
  // The cell a pixel reads, as SampleAt and the renderer's walk find it.
  const int64_t ss = supersample_;
  const auto cell = [ss](int64_t pixel, Fixed dabCentre, Fixed gridCentre) {
    return (((pixel << 16) - dabCentre + 0x8000 + gridCentre) * ss) >> 16;
  };
  const int64_t left = std::max<int64_t>(cell(p.left, window->cx, centreX_), 0);
  const int64_t right = std::min<int64_t>(cell(int64_t{p.right} - 1, window->cx, centreX_) + 1, gridWidth_);
  const int64_t top = std::max<int64_t>(cell(p.top, window->cy, centreY_), 0);
  const int64_t bottom = std::min<int64_t>(cell(int64_t{p.bottom} - 1, window->cy, centreY_) + 1, gridHeight_);
  if (right <= left || bottom <= top) return {0, 0, 0, 0};
  return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
          static_cast<int32_t>(bottom)};
}

template <class Fill>
bool CPenShape::BuildCells(const SSampleWindow* window, Fill fill) {
  const TRect want = WantedCells(window);
  const TRect old = builtCells_;
  const auto empty = [](const TRect& r) { return r.right <= r.left || r.bottom <= r.top; };
  if (empty(want) || (!empty(old) && want.left >= old.left && want.top >= old.top && want.right <= old.right &&
                      want.bottom <= old.bottom)) {
    built_ = true;
    return true;
  }
  // The built cells grow to the rectangle around them and the wanted ones; only the cells new to
  // it are built (the strips above, below, left and right of the old rectangle).
  const TRect grown = empty(old) ? want
                                 : TRect{std::min(old.left, want.left), std::min(old.top, want.top),
                                         std::max(old.right, want.right), std::max(old.bottom, want.bottom)};
  const std::array<TRect, 4> strips = empty(old) ? std::array<TRect, 4>{grown, TRect{}, TRect{}, TRect{}}
                                     : std::array<TRect, 4>{TRect{grown.left, grown.top, grown.right, old.top},
                                                            TRect{grown.left, old.bottom, grown.right, grown.bottom},
                                                            TRect{grown.left, old.top, old.left, old.bottom},
                                                            TRect{old.right, old.top, grown.right, old.bottom}};
  bool combined = true;
  for (const TRect& strip : strips) {
    if (empty(strip)) continue;
    fill(strip);
    combined = combined && CombineCells(strip);
  }
  built_ = combined;
  if (!built_) {
    builtCells_ = {0, 0, 0, 0};
    std::fill(result_.begin(), result_.end(), 0);  // as a cleared layout leaves it
    return false;
  }
  builtCells_ = grown;
  return true;
}

namespace {

// CircleEdgeCoverage of a cell at (x, y) from the centre of a circle of radius r (size in 16.16),
// d its distance in pixels: a cell more than a pixel and a half inside the edge is whole and one
// more than that outside is empty (the cell's square reaches at most 0.71 pixels from its centre),
// so that only the cells of the rim are measured.
inline Fixed RimCoverage(Fixed x, Fixed y, float d, float r, Fixed size) {
  if (d + 1.5f < r) return 0x10000;
  if (d - 1.5f > r) return 0;
  return CircleEdgeCoverage(x, y, FixHypot(x, y), size, 0x8000, 0x8000);
}

}  // namespace

void CPenShape::FillCircle(const TRect& cells) {
  const int32_t step = 0x10000 / supersample_;
  const float halfWidth = FixToSingle(halfWidth_);
  const float radius = FixToSingle(size_);
  for (int32_t row = cells.top; row < cells.bottom; ++row) {
    const Fixed y = step / 2 - centreY_ + row * step;
    const float yf = FixToSingle(y);
    size_t i = static_cast<size_t>(row) * static_cast<size_t>(gridWidth_) + static_cast<size_t>(cells.left);
    for (int32_t column = cells.left; column < cells.right; ++column, ++i) {
      const Fixed x = step / 2 - centreX_ + column * step;
      const float xf = FixToSingle(x);
      const float d = std::sqrt(xf * xf + yf * yf);
      distance_[i] = RoundToFix(d / halfWidth);
      coverage_[i] = antialias_ ? RimCoverage(x, y, d, radius, size_) : 0x10000;
    }
  }
}

void CPenShape::PrepareEllipseGeometry(Fixed radius, int32_t ratio, int32_t angle) {
  size_ = radius;
  ratio_ = ratio;
  SetAngleValues(angle);
  SEllipseNib& e = ellipse_;
  const float rho = static_cast<float>(EffectiveRatio(ratio)) / 100.0f;
  e.a = FixToSingle(radius);
  e.b = e.a * rho;
  const float s = e.sine, c = e.cosine;
  const float a2 = e.a * e.a, b2 = e.b * e.b;
  e.k20 = a2 * s * s + b2 * c * c;
  e.k24 = 2.0f * s * c * (a2 - b2);
  e.k28 = a2 * c * c + b2 * s * s;
  e.k32 = a2 * b2;
  e.k36 = 4.0f * e.k20 * e.k28 - e.k24 * e.k24;
  e.hx = std::sqrt(4.0f * e.k28 * e.k32 / e.k36);
  e.hy = std::sqrt(4.0f * e.k20 * e.k32 / e.k36);
  e.invA = 1.0f / e.a;
  e.ratio = rho;
  e.invRatio = 1.0f / rho;
}

bool CPenShape::PrepareEllipse(Fixed radius, int32_t ratio, int32_t angle, bool exact) {
  PrepareEllipseGeometry(radius, ratio, angle);
  if (!std::isfinite(ellipse_.hx) || !std::isfinite(ellipse_.hy)) return false;
  // The sampled ellipse (not exact) writes every cell of the planes.
  return Layout(SingleToFix(ellipse_.hx) + 0x20000, SingleToFix(ellipse_.hy) + 0x20000, false, exact, !exact);
}

bool CPenShape::SetEllipse(Fixed radius, int32_t ratio, int32_t angle, const SSampleWindow* window) {
  Fixed r;
  if (!QuantizeNibRadius(radius, r)) {
    built_ = false;
    return false;
  }
  if (!built_ || kind_ != Kind::kEllipse || r != size_ || ratio != ratio_ || angle != angle_) {
    built_ = false;
    kind_ = Kind::kEllipse;
    if (!PrepareEllipse(r, ratio, angle, false)) return false;
    builtCells_ = {0, 0, 0, 0};
  }
  return BuildCells(window, [this](const TRect& cells) { FillEllipse(cells); });
}

void CPenShape::FillEllipse(const TRect& cells) {
  const int32_t step = 0x10000 / supersample_;
  const float radius = FixToSingle(size_);
  const float invR = 1.0f / radius;
  const Fixed k = FixDiv(100, EffectiveRatio(ratio_));
  for (int32_t row = cells.top; row < cells.bottom; ++row) {
    const Fixed y = step / 2 - centreY_ + row * step;
    size_t i = static_cast<size_t>(row) * static_cast<size_t>(gridWidth_) + static_cast<size_t>(cells.left);
    for (int32_t column = cells.left; column < cells.right; ++column, ++i) {
      const Fixed x = step / 2 - centreX_ + column * step;
      const Fixed u = FixMul(x, cosine_) - FixMul(y, sine_);
      const Fixed v = FixMul(FixMul(x, sine_) + FixMul(y, cosine_), k);
      const float uf = FixToSingle(u), vf = FixToSingle(v);
      const float d = std::sqrt(uf * uf + vf * vf);
      distance_[i] = RoundToFix(d * invR);
      coverage_[i] = antialias_ ? RimCoverage(u, v, d, radius, size_) : 0x10000;
    }
  }
}

bool CPenShape::SetImageNib(const CPenShapeObj* nib, bool force) {
  if (nib == nullptr || !nib->IsValid() || !nib->IsBitmapNib()) {
    built_ = false;
    return false;
  }
  const TChannel& image = *nib->Image();
  const int32_t scale = nib->GetScalePercent();
  const int32_t ratio = nib->Shape().aspect / 10;
  const int32_t a = nib->Shape().angle / 10;
  if (scale < 1 || scale > 32767 || image.Width() > 65535 || image.Height() > 65535) {
    DebugOut("CPenShape::SetImageNib: scale or image size out of range\n");
    built_ = false;
    return false;
  }
  if (!force && built_ && kind_ == Kind::kImage && imageNibSerial_ == nib->SerialId() && size_ == (scale << 16) &&
      ratio_ == ratio && angle_ == -a) {
    return true;
  }
  imageNib_ = nib;
  imageNibSerial_ = nib->SerialId();
  built_ = false;
  kind_ = Kind::kImage;
  size_ = scale << 16;
  ratio_ = ratio;
  SetAngleValues(-a);
  if (!Layout(image.Width() << 15, image.Height() << 15, true, false)) return false;
  FillImage();
  built_ = Combine();
  return built_;
}

void CPenShape::FillImage() {
  TChannel* image = const_cast<TChannel*>(imageNib_->Image());
  CScaleImageCH_fixp sampler(image, nullptr);
  const int32_t scale = size_ >> 16;
  const Fixed k = FixDiv(100, EffectiveRatio(ratio_));
  const Fixed c = FixDiv(100, scale) / 2;  // half a grid pixel, in image pixels
  const Fixed b = FixMul(c, k);
  const float invR = 1.0f / HypotSingle(static_cast<float>(scale) * static_cast<float>(image->Height()) / 200.0f,
                                        static_cast<float>(scale) * static_cast<float>(image->Width()) / 200.0f);
  const int64_t originX = int64_t{centreX_} + reqHalfWidth_ - halfWidth_;
  const int64_t originY = int64_t{centreY_} + reqHalfHeight_ - halfHeight_;
  const int32_t step = 0x10000 / supersample_;
  size_t i = 0;
  for (int32_t row = 0; row < gridHeight_; ++row) {
    const Fixed y = step / 2 - centreY_ + row * step;
    for (int32_t column = 0; column < gridWidth_; ++column, ++i) {
      const Fixed x = step / 2 - centreX_ + column * step;
      const Fixed u = FixMul(x, cosine_) - FixMul(y, sine_);
      const Fixed v = FixMul(x, sine_) + FixMul(y, cosine_);
      const Fixed v2 = FixMul(v, k);
      const float uf = FixToSingle(u), vf = FixToSingle(v2);
      distance_[i] = RoundToFix(std::sqrt(vf * vf + uf * uf) * invR);
      // The ratio enters the y position twice: once in v2, once in b.
      const int64_t px = FixMul64(u, 2 * int64_t{c}) + originX;
      const int64_t py = FixMul64(v2, 2 * int64_t{b}) + originY;
      TRect area{SaturateInt32(px - c), SaturateInt32(py - b), SaturateInt32(px + c), SaturateInt32(py + b)};
      int32_t average = 0;
      coverage_[i] = sampler.SampleArea(reinterpret_cast<uint8_t*>(&average), area) ? 0x10000 - average : 0;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Exact footprints

void CPenShape::FillDistanceRect(int32_t width, int32_t height) {
  width = std::clamp(width, 0, gridWidth_);
  height = std::clamp(height, 0, gridHeight_);
  for (int32_t row = 0; row < height; ++row) {
    int32_t* line = distance_.data() + static_cast<size_t>(row) * static_cast<size_t>(gridWidth_);
    std::fill(line, line + width, 0x10000);
  }
}

int32_t* CPenShape::Cell(std::vector<int32_t>& plane, int64_t column, int64_t row) {
  const int64_t x = column - firstColumn_, y = row - firstRow_;
  if (x < 0 || y < 0 || x >= gridWidth_ || y >= gridHeight_) return nullptr;
  return &plane[static_cast<size_t>(y * gridWidth_ + x)];
}

void CPenShape::SpanCoverage(int64_t start, int64_t end, Fixed weight, int64_t line, bool rowWise) {
  if (end <= start) return;
  auto put = [&](int64_t p, int64_t value) {
    int32_t* cell = rowWise ? Cell(coverage_, p, line) : Cell(coverage_, line, p);
    if (cell != nullptr) *cell = static_cast<int32_t>(value);
  };
  const int64_t p0 = FloorPixel(start), p1 = CeilPixel(end) - 1;
  if (p0 >= p1) {
    put(p0, FixMul64(end - start, weight));
    return;
  }
  put(p0, FixMul64(0x10000 - (start & 0xFFFF), weight));
  // Cells outside the grid are not kept (Cell): their positions are not walked.
  const int64_t from = std::max(p0 + 1, rowWise ? firstColumn_ : firstRow_);
  const int64_t to = std::min(p1, rowWise ? firstColumn_ + gridWidth_ : firstRow_ + gridHeight_);
  for (int64_t p = from; p < to; ++p) put(p, weight);
  put(p1, FixMul64(end - (p1 << 16), weight));
}

template <class Distance>
void CPenShape::SpanDistances(int64_t start, int64_t end, int64_t line, bool rowWise, Distance distance) {
  if (end <= start) return;
  auto put = [&](int64_t p, int64_t position) {
    int32_t* cell = rowWise ? Cell(distance_, p, line) : Cell(distance_, line, p);
    if (cell != nullptr) *cell = distance(position);
  };
  const int64_t p0 = FloorPixel(start), p1 = CeilPixel(end) - 1;
  if (p0 >= p1) {
    put(p0, (start + end) / 2);
    return;
  }
  put(p0, (start + ((p0 + 1) << 16)) / 2);
  const int64_t from = std::max(p0 + 1, rowWise ? firstColumn_ : firstRow_);
  const int64_t to = std::min(p1, rowWise ? firstColumn_ + gridWidth_ : firstRow_ + gridHeight_);
  for (int64_t p = from; p < to; ++p) put(p, (p << 16) + 0x8000);
  put(p1, ((p1 << 16) + end) / 2);
}

namespace {

// sqrt(dx^2 + dy2) * invR in 16.16.
Fixed PointNormDistance(float dx, float invR, float dy2) {
  const float squared = dx * dx + dy2;
  if (squared < 0.0f || dy2 < 0.0f) DebugOut("PointNormDistance: negative squared distance\n");
  return RoundToFix(std::sqrt(std::max(squared, 0.0f)) * invR);
}

// Fraction of the line [line, line + 1) inside (lo, hi), 16.16.
Fixed LineWeight(int64_t line, int64_t lo, int64_t hi) {
  const int64_t w = std::min((line + 1) << 16, hi) - std::max(line << 16, lo);
  return static_cast<Fixed>(std::clamp<int64_t>(w, 0, 0x10000));
}

}  // namespace

void CPenShape::ExactCircle(int64_t cx, int64_t cy, int64_t r, bool rowWise, bool coverage, bool distances) {
  if (!coverage && !distances) return;
  const int64_t along = rowWise ? cx : cy;
  const int64_t across = rowWise ? cy : cx;
  const float invR = distances ? 1.0f / FixToSingle(static_cast<Fixed>(r)) : 0.0f;
  if (r < 0x8000) {
    const int64_t line = FloorPixel(across);
    if (coverage) SpanCoverage(along - r, along + r, 0x8000, line, rowWise);
    if (distances) {
      SpanDistances(along - r, along + r, line, rowWise, [&](int64_t position) {
        return PointNormDistance(FixToSingle(static_cast<Fixed>(position - along)), invR, 0.0f);
      });
    }
    return;
  }
  // One pass over the lines: each half chord serves the coverage and the distances.
  // Only the lines of the grid are kept.
  const int64_t lineLast = std::min(CeilPixel(across + r) - 1, (rowWise ? firstRow_ + gridHeight_ : firstColumn_ + gridWidth_) - 1);
  for (int64_t line = std::max(FloorPixel(across - r), rowWise ? firstRow_ : firstColumn_); line <= lineLast; ++line) {
    const int64_t dy = (line << 16) + 0x8000 - across;
    const int64_t chord2 = r * r - dy * dy;
    if (chord2 <= 0) continue;
    const int64_t h = HalfChord(chord2);
    if (coverage) SpanCoverage(along - h, along + h, LineWeight(line, across - r, across + r), line, rowWise);
    if (distances) {
      const float dyf = FixToSingle(static_cast<Fixed>(dy));
      const float dy2 = dyf * dyf;
      SpanDistances(along - h, along + h, line, rowWise, [&](int64_t position) {
        return PointNormDistance(FixToSingle(static_cast<Fixed>(position - along)), invR, dy2);
      });
    }
  }
}

void CPenShape::ExactEllipse(int64_t cx, int64_t cy, bool rowWise, bool distances) {
  const SEllipseNib& e = ellipse_;
  // Rows sweep down and solve for x; columns sweep right and solve for y.
  const int64_t along = rowWise ? cx : cy;
  const int64_t across = rowWise ? cy : cx;
  const float extentAcross = rowWise ? e.hy : e.hx;
  const float extentSweep = rowWise ? e.hx : e.hy;  // decides the single-line form
  const float kAlong = rowWise ? e.k20 : e.k28;
  auto ellipseDistance = [&](float x, float y) {
    const float u = x * e.cosine - y * e.sine;
    const float v = (x * e.sine + y * e.cosine) / e.ratio;
    return std::min(RoundToFix(std::sqrt(u * u + v * v) / e.a), 0x10000);
  };
  if (extentSweep < 0.5f) {
    const int64_t half = SingleToFix(extentSweep);
    const int64_t line = FloorPixel(across);
    if (antialias_) SpanCoverage(along - half, along + half, 0x8000, line, rowWise);
    if (distances) {
      SpanDistances(along - half, along + half, line, rowWise, [&](int64_t position) {
        return PointNormDistance(FixToSingle(static_cast<Fixed>(position - along)), e.invA, 0.0f);
      });
    }
    return;
  }
  const int64_t extent = SingleToFix(extentAcross);
  const int64_t lineLast =
      std::min(CeilPixel(across + extent) - 1, (rowWise ? firstRow_ + gridHeight_ : firstColumn_ + gridWidth_) - 1);
  for (int64_t line = std::max(FloorPixel(across - extent), rowWise ? firstRow_ : firstColumn_); line <= lineLast;
       ++line) {
    const float y = FixToSingle(static_cast<Fixed>((line << 16) + 0x8000 - across));
    if (std::fabs(y) >= extentAcross) continue;
    const float disc = 4.0f * kAlong * e.k32 - e.k36 * y * y;
    if (disc < 0.0f) continue;
    const float root = std::sqrt(disc);
    const float x1 = (-e.k24 * y - root) / (2.0f * kAlong);
    const float x2 = (-e.k24 * y + root) / (2.0f * kAlong);
    const int64_t start = along + SingleToFix(x1), end = along + SingleToFix(x2);
    if (antialias_) SpanCoverage(start, end, LineWeight(line, across - extent, across + extent), line, rowWise);
    if (distances) {
      SpanDistances(start, end, line, rowWise, [&](int64_t position) {
        const float x = FixToSingle(static_cast<Fixed>(position - along));
        return rowWise ? ellipseDistance(x, y) : ellipseDistance(y, x);
      });
    }
  }
}

bool CPenShape::SetExactCircle(Fixed cx, Fixed cy, bool rowWise, Fixed radius) {
  built_ = false;
  kind_ = Kind::kExact;
  if (radius < 0 || radius > kMaxNibHalfExtent) return false;
  if (!Layout(radius + 0x20000, radius + 0x20000, false, true)) return false;
  size_ = radius;
  firstColumn_ = FloorPixel(int64_t{cx} - radius);
  firstRow_ = FloorPixel(int64_t{cy} - radius);
  // Only the covered pixels can hold ink; the rest of the grid stays 0 from the layout.
  int32_t coveredWidth = static_cast<int32_t>(CeilPixel(int64_t{cx} + radius) - firstColumn_);
  int32_t coveredHeight = static_cast<int32_t>(CeilPixel(int64_t{cy} + radius) - firstRow_);
  if (!PlaceExactGrid(coveredWidth, coveredHeight)) return false;
  FillDistanceRect(coveredWidth, coveredHeight);
  ExactCircle(cx, cy, radius, rowWise, antialias_, useFalloff_ && radius > 0);
  const bool combined = CombineRect(coveredWidth, coveredHeight);
  // The nib centre's position in the grid, so that SampleAt maps each destination pixel onto its
  // own cell whatever the centre's fraction.
  centreX_ = static_cast<Fixed>(int64_t{cx} - (firstColumn_ << 16));
  centreY_ = static_cast<Fixed>(int64_t{cy} - (firstRow_ << 16));
  return combined;
}

bool CPenShape::SetExactEllipse(Fixed cx, Fixed cy, bool rowWise, int32_t angle, int32_t ratio, Fixed radius) {
  built_ = false;
  kind_ = Kind::kExact;
  if (radius <= 0 || radius > kMaxNibHalfExtent) return false;
  if (!PrepareEllipse(radius, ratio, angle, true)) return false;
  const int64_t hx = SingleToFix(ellipse_.hx), hy = SingleToFix(ellipse_.hy);
  firstColumn_ = FloorPixel(int64_t{cx} - hx);
  firstRow_ = FloorPixel(int64_t{cy} - hy);
  int32_t coveredWidth = static_cast<int32_t>(CeilPixel(int64_t{cx} + hx) - firstColumn_);
  int32_t coveredHeight = static_cast<int32_t>(CeilPixel(int64_t{cy} + hy) - firstRow_);
  if (!PlaceExactGrid(coveredWidth, coveredHeight)) return false;
  FillDistanceRect(coveredWidth, coveredHeight);
  ExactEllipse(cx, cy, rowWise, useFalloff_);
  const bool combined = CombineRect(coveredWidth, coveredHeight);
  centreX_ = static_cast<Fixed>(int64_t{cx} - (firstColumn_ << 16));
  centreY_ = static_cast<Fixed>(int64_t{cy} - (firstRow_ << 16));
  return combined;
}

}  // namespace tf
