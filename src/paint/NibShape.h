// Nib geometry (SNibShape, the nib flag word) and the nib shape rasteriser (CPenShape).
#pragma once
// CPenShape turns the current nib into a footprint: a grid of 16.16 values 0..255 that says, for
// every point around the dab centre, how much ink one dab lays down. Round and elliptic nibs and
// image nibs are supersampled and centred in their grid and reused while unchanged; the exact
// paths build a footprint at pixel resolution for a dab centre at a sub-pixel position.
//
// All coordinates, radii and values are 16.16 fixed point (0x10000 = one pixel, or 1.0) unless a
// float is named. The three planes keep their capacity: a rebuild of the same or a smaller size
// allocates nothing.
#include <cstdint>
#include <vector>

#include "raster/Geometry.h"

namespace tf {

class CGradeMapObj;
class CPenShapeObj;

// Nib geometry, 16 bytes, stored as it is in the nib and brush set files.
struct SNibShape {
  int32_t size;      // radius x 100 (pixels); for an image nib the scale in percent x 100
  int32_t aspect;    // aspect ratio x 1000, 0..1000
  int32_t angle;     // angle x 10, 0..3599
  int32_t minRatio;  // minimum size ratio x 1000

  // size := s x 100 rounded (ties to even; NaN gives 0), aspect 1000, angle 0, minimum 1000.
  void Init(float s);
  bool Equal(const SNibShape& other) const;

  float GetSize() const { return static_cast<float>(size) / 100.0f; }
  int32_t GetSizeInt() const { return size / 100; }
  // Store trunc(x*100 + 0.5) (saturating, NaN 0); return the old size.
  float SetSize(float x);
  // Store a raw value; return the old one.
  int32_t SwapSize(int32_t raw);

  float GetMinRatio() const { return static_cast<float>(minRatio) / 1000.0f; }
  int32_t GetMinPercent() const { return minRatio / 10; }
  // trunc(x*1000 + 0.5) (saturating, NaN 0); returns the old ratio.
  float SetMinRatio(float x);

  float GetAspect() const { return static_cast<float>(aspect) / 1000.0f; }
  int32_t GetAspectPercent() const { return aspect / 10; }
  // clamp(trunc(x*1000 + 0.5), 0, 1000) (NaN 0); returns the old aspect.
  float SetAspect(float x);

  float GetAngle() const { return static_cast<float>(angle) / 10.0f; }
  int32_t GetAngleInt() const { return angle / 10; }
  // floor(x*10 + 0.5) wrapped into 0..3599: -30 degrees gives 3300, -0.04 and 359.96 give 0.
  // NaN and infinities give 0. Returns the old angle.
  float SetAngle(float x);
};
static_assert(sizeof(SNibShape) == 16);

// The nib flag word: 0, or 1 for a hard-edged nib (the renderer compares dab values with it).
namespace NibFlagWord {
inline void Clear(uint32_t& word) { word = 0; }
// Stores 1 for a set flag (0 otherwise); whether it was set before.
inline bool Set(uint32_t& word, bool flag) {
  const bool before = word != 0;
  word = flag ? 1u : 0u;
  return before;
}
inline bool IsSet(uint32_t word) { return word != 0; }
inline bool Equal(uint32_t a, uint32_t b) { return a == b; }
}  // namespace NibFlagWord

// The prepared ellipse: K20*X^2 + K24*X*Y + K28*Y^2 = K32 with X to the right, Y down.
struct SEllipseNib {
  float a = 0;  // major semi-axis (the radius)
  float b = 0;  // minor semi-axis, a * ratio / 100
  float sine = 0;
  float cosine = 1;
  float k20 = 0, k24 = 0, k28 = 0, k32 = 0;
  float k36 = 0;  // 4*K20*K28 - K24^2
  float hx = 0;   // bounding half extents
  float hy = 0;
  float invA = 0;
  float ratio = 1;     // ratio / 100
  float invRatio = 1;  // 100 / ratio
};

// Radius quantisation of the supersampled nibs: 10 pixels and more to 1/2 pixel, below 3 pixels
// to 1/8 pixel (at least 1/16), else to 1/4 pixel, all rounding down. False for radii above 512
// pixels.
bool QuantizeNibRadius(Fixed radius, Fixed& quantised);

// Samples per pixel side for a footprint of s pixels (the larger side).
int32_t NibSupersampleFactor(int32_t s);

// Coverage 0..0x10000 of a pixel square of half sizes hw, hh centred at (x, y) from the centre of
// a circle of radius r, with d the plain distance of (x, y): the circle's edge near the square is
// taken as a straight line (an axis-parallel one near the axes).
Fixed CircleEdgeCoverage(Fixed x, Fixed y, Fixed d, Fixed r, Fixed hh, Fixed hw);

// The largest half extent of any footprint, 512 pixels (image nibs beyond it are refused).
inline constexpr Fixed kMaxNibHalfExtent = 512 << 16;

// The pixels a supersampled footprint will be read at: a dab centred at (cx, cy) on the pixels of
// the rectangle (the dab's bounds clipped to its target).
struct SSampleWindow {
  Fixed cx = 0, cy = 0;
  TRect pixels{0, 0, 0, 0};
};

class CPenShape {
 public:
  // Built clear, falloff and lookup on, antialias off; then SetCircle(10) (10 raw units).
  explicit CPenShape(CGradeMapObj* gradeMap);
  CPenShape(const CPenShape&) = delete;
  CPenShape& operator=(const CPenShape&) = delete;

  // Store the flag; when it changes, built is cleared and true returned.
  bool SetAntialias(bool flag);
  bool SetUseFalloff(bool flag);
  bool SetUseLookup(bool flag);
  void SetGradeMap(CGradeMapObj* gradeMap) {
    gradeMap_ = gradeMap;
    built_ = false;
  }

  // Supersampled footprints centred in their grid, reused while their inputs are unchanged.
  // Without a window the whole grid is built. With one, only the cells its pixels read are (a
  // large nib on a small canvas costs the canvas, not the nib); the built cells are kept and a
  // later window of the same nib adds only what it lacks. A cell holds the same value either way.
  bool SetCircle(Fixed radius, const SSampleWindow* window = nullptr);
  // ratio in percent (below 1 it is taken as 1, above 100 as 100), angle in degrees.
  bool SetEllipse(Fixed radius, int32_t ratio, int32_t angle, const SSampleWindow* window = nullptr);
  bool SetImageNib(const CPenShapeObj* nib, bool force);

  // Footprints at pixel resolution for a dab centred at (cx, cy); never reused. Without
  // antialias they are empty.
  bool SetExactCircle(Fixed cx, Fixed cy, bool rowWise, Fixed radius);
  bool SetExactEllipse(Fixed cx, Fixed cy, bool rowWise, int32_t angle, int32_t ratio, Fixed radius);
  // The pixels an exact footprint is sampled at lie in [0, width) x [0, height) (the target's
  // size): only the part of the footprint there is built, so that a large nib on a small
  // canvas costs the canvas, not the nib. The cells it builds are the same either way.
  void SetExactLimit(int32_t width, int32_t height) {
    limitWidth_ = width;
    limitHeight_ = height;
  }

  // Recomputes the result plane (after the grade map changed).
  bool Update() { return Combine(); }

  // The result-plane value of the grid cell at offset (dx, dy) from the dab centre; 0 outside.
  int32_t SampleAt(Fixed dx, Fixed dy) const {
    const int64_t column = ((int64_t{dx} + centreX_) * supersample_) >> 16;
    const int64_t row = ((int64_t{dy} + centreY_) * supersample_) >> 16;
    if (column < 0 || row < 0 || column >= gridWidth_ || row >= gridHeight_) return 0;
    return result_[static_cast<size_t>(row * gridWidth_ + column)];
  }

  bool IsBuilt() const { return built_; }
  bool Antialias() const { return antialias_; }
  bool UseFalloff() const { return useFalloff_; }
  bool UseLookup() const { return useLookup_; }
  Fixed Size() const { return size_; }
  int32_t Ratio() const { return ratio_; }
  int32_t Angle() const { return angle_; }
  Fixed Sine() const { return sine_; }
  Fixed Cosine() const { return cosine_; }
  Fixed HalfWidth() const { return halfWidth_; }
  Fixed HalfHeight() const { return halfHeight_; }
  Fixed CentreX() const { return centreX_; }
  Fixed CentreY() const { return centreY_; }
  const TRect& Bounds() const { return bounds_; }
  // The grid cells that hold the footprint (the whole grid but for windowed supersampled builds).
  const TRect& BuiltCells() const { return builtCells_; }
  int32_t Supersample() const { return supersample_; }
  int32_t PixelWidth() const { return pixelWidth_; }
  int32_t PixelHeight() const { return pixelHeight_; }
  int32_t GridWidth() const { return gridWidth_; }
  int32_t GridHeight() const { return gridHeight_; }
  const SEllipseNib& Ellipse() const { return ellipse_; }
  const int32_t* DistancePlane() const { return distance_.data(); }
  const int32_t* CoveragePlane() const { return coverage_.data(); }
  const int32_t* ResultPlane() const { return result_.data(); }
  // Bytes the planes hold room for (their capacity): a measure for "no allocation per dab".
  size_t PlaneCapacity() const { return result_.capacity(); }

 private:
  enum class Kind : uint8_t { kNone, kCircle, kEllipse, kImage, kExact };

  // Half extents, centre, bounds, pixel and grid sizes; planes zero-filled. rotate: scaled by
  // the image scale and rotated (image nibs); exact: one sample per pixel. whole: the caller
  // writes every cell of the three planes, so they are sized but not cleared.
  bool Layout(Fixed hw, Fixed hh, bool rotate, bool exact, bool whole = false);
  void PrepareEllipseGeometry(Fixed radius, int32_t ratio, int32_t angle);
  bool PrepareEllipse(Fixed radius, int32_t ratio, int32_t angle, bool exact);
  void SetAngleValues(int32_t angle);
  void FillCircle(const TRect& cells);
  void FillEllipse(const TRect& cells);
  // The cells a window reads (the whole grid without one), inside the grid.
  TRect WantedCells(const SSampleWindow* window) const;
  // Builds (fill, then combine) the wanted cells that are not built yet.
  template <class Fill>
  bool BuildCells(const SSampleWindow* window, Fill fill);
  void FillImage();
  bool Combine();
  // Combine over the top-left width x height cells only (the exact paths' covered pixels).
  bool CombineRect(int32_t width, int32_t height);
  bool CombineCells(const TRect& cells);
  void FillDistanceRect(int32_t width, int32_t height);
  bool AllocatePlanes(bool whole);

  // Exact paths: the covered pixel range starts at (firstColumn_, firstRow_).
  // Coverage and (or) distances of the exact circle, line by line.
  void ExactCircle(int64_t cx, int64_t cy, int64_t r, bool rowWise, bool coverage, bool distances);
  void ExactEllipse(int64_t cx, int64_t cy, bool rowWise, bool distances);
  void SpanCoverage(int64_t start, int64_t end, Fixed weight, int64_t line, bool rowWise);
  template <class Distance>
  void SpanDistances(int64_t start, int64_t end, int64_t line, bool rowWise, Distance distance);
  int32_t* Cell(std::vector<int32_t>& plane, int64_t column, int64_t row);

  CGradeMapObj* gradeMap_;
  const CPenShapeObj* imageNib_ = nullptr;
  uint32_t imageNibSerial_ = 0;
  Kind kind_ = Kind::kNone;
  bool built_ = false;
  bool useFalloff_ = true;
  bool antialias_ = false;
  bool useLookup_ = true;
  Fixed size_ = 0;
  int32_t ratio_ = 100;
  int32_t angle_ = 0;
  float angleRad_ = 0;
  Fixed sine_ = 0;
  Fixed cosine_ = 0x10000;
  Fixed halfWidth_ = 0, halfHeight_ = 0;
  Fixed reqHalfWidth_ = 0, reqHalfHeight_ = 0;
  Fixed centreX_ = 0, centreY_ = 0;
  TRect bounds_{0, 0, 0, 0};
  std::vector<int32_t> distance_, coverage_, result_;
  int32_t supersample_ = 1;
  int32_t pixelWidth_ = 0, pixelHeight_ = 0;
  int32_t gridWidth_ = 0, gridHeight_ = 0;
  SEllipseNib ellipse_;
  int64_t firstColumn_ = 0, firstRow_ = 0;
  TRect builtCells_{0, 0, 0, 0};
  int64_t limitWidth_ = INT64_MAX, limitHeight_ = INT64_MAX;
  // The exact paths' grid: the covered pixels inside the limit (first column, first row and
  // the covered size are narrowed to them), allocated cleared.
  bool PlaceExactGrid(int32_t& coveredWidth, int32_t& coveredHeight);
};

}  // namespace tf
