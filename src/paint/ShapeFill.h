// Shape fills: rectangles, ellipses through three points and even-odd polygons, row by row into
// spans with anti-aliased ends, written through the pixel writer chain.
#pragma once
// CFillMngr fills rectangles and holds what the fillers share: the bounds of the target layer,
// the fill rectangle, a coverage buffer for one span and the span writer (colour images through
// the stroke's image chain, 8-bit channels through the channel chain with a fixed value).
// CEllipseFiller fills the ellipse inscribed in a rectangle; CPolygonFiller any polygon by the
// even-odd rule. Shallow edges (more than one column per row) get a coverage ramp at the span's
// ends from the edge slopes.
//
// Coordinates from recordings are untrusted: far-off points are clipped to the bounds before
// anything is sized by them, and a degenerate ellipse (collinear points, an infinite extent) is
// refused.
#include <cstdint>
#include <vector>

#include "raster/Geometry.h"

namespace tf {

class TStroke;
class TMTC;
class TChannel;
class PaintDocument;

// The ellipse through three points: P1 and P2 are the ends of a diameter, P3 lies on it.
struct SEllipse3 {
  bool valid = false;
  float cross = 0.0f;  // u x w
  SPointF p1{}, p2{}, p3{};
  SPointF c{};                                              // centre (P1 + P2) / 2
  SPointF u{}, v{}, w{};                                    // P1 - C, P2 - C, P3 - C
  float axisSq1 = 0.0f;                                     // squared semi-axis along the longer of u and w
  float axisSq2 = 0.0f;                                     // the other, computed
  float a = 0.0f, b = 0.0f, cq = 0.0f, k = 0.0f, d = 0.0f;  // A x^2 + 2 B x y + Cq y^2 = K / A
  float e = 0.0f;                                           // vertical half-extent
  float yMin = 0.0f, yMax = 0.0f;
  int32_t rowFirst = 0, rowLast = -1;  // Floor(C.y - E) .. Ceil(C.y + E)
};

// Sets the record up; false (not valid) for P1 = P2, collinear points or a non-finite extent.
bool SetupEllipse3(SEllipse3& ellipse, SPointF p1, SPointF p2, SPointF p3);
// The ellipse's points on the integer row: 0, 1 or 2 (left first).
int32_t EllipseRowSpan(const SEllipse3& ellipse, int32_t y, SPointF out[2]);
// Span mode: the points of every row of rowFirst..rowLast (limited to firstRow..lastRow), in
// order. Polygon mode (axis-aligned ellipses): the outline as a polygon refined to a quarter
// pixel. False when the ellipse is not valid.
bool MakeEllipse3Points(SEllipse3& ellipse, std::vector<SPointF>& points, SPointF p1, SPointF p2, SPointF p3,
                        bool polygonMode, int32_t firstRow = INT32_MIN, int32_t lastRow = INT32_MAX);
bool MakeEllipsePolygon(std::vector<SPointF>& points, SPointF p1, SPointF p2, SPointF p3, bool polygonMode);
// Smallest and largest x of the points (0, 0 for none).
void MinMaxX(float& low, float& high, const SPointF* points, int32_t count);

class CFillMngr {
 public:
  // The bounds are the target layer's size (0, 0, width, height); the stroke gives opacity,
  // colour and the pixel writer (bound to the document when one is given).
  CFillMngr(PaintDocument* document, TStroke& stroke, int32_t width, int32_t height);
  virtual ~CFillMngr() = default;
  CFillMngr(const CFillMngr&) = delete;
  CFillMngr& operator=(const CFillMngr&) = delete;

  // The colour span writer, and the stroke bound again to the document's present switches.
  void Prepare();
  // Channel targets get this value through the channel writer.
  void SetChannelValue(uint8_t value);
  // The rectangle from min(a, b) to max(a, b) + 1, clipped to the bounds; false when it misses them.
  virtual bool SetRect(SPointF a, SPointF b);
  // The covering integer rectangle of what is filled.
  void GetBounds(SRectWH& rect) const { rect = fillRect_; }
  bool IsValid() const { return valid_; }
  // Fills into a colour image or an 8-bit channel (of the bounds' size); the number of rows, 0
  // when not valid.
  int32_t Fill(TMTC& target);
  int32_t Fill(TChannel& target);

  // The coverage buffer of the last span (entry 0 = column Floor(x0) of the unclipped span).
  const std::vector<float>& Coverage() const { return coverage_; }

 protected:
  virtual int32_t FillRows();
  // One span on row y from x0 to x1 at the row coverage, through the writer of the target.
  void Span(float x0, float x1, int32_t y, float rowCoverage);
  // Whether the exact rectangle meets the bounds; sets the clipped exact and integer rectangles.
  bool ClipFillRect();

  PaintDocument* document_;
  TStroke& stroke_;
  bool valid_ = false;
  uint8_t channelValue_ = 255;
  SRectWH bounds_;
  SRectF exact_{0, 0, 0, 0};
  SRectWH fillRect_{0, 0, 0, 0};
  float leftSlope_ = 0.01f;
  float rightSlope_ = 0.01f;

 private:
  // Fills coverage_ for the columns first..last (clipped) of the span; entries index column -
  // Floor(x0).
  void BuildCoverage(float x0, float x1, int32_t first, int32_t last);

  TMTC* image_ = nullptr;
  TChannel* channel_ = nullptr;
  std::vector<float> coverage_;
  int32_t coverageBase_ = 0;  // column of coverage_[0]
};

class CEllipseFiller : public CFillMngr {
 public:
  CEllipseFiller(PaintDocument* document, TStroke& stroke, int32_t width, int32_t height, bool keepFullRect);
  // The ellipse inscribed in the rectangle from min(a, b) to max(a, b) + 1.
  bool SetRect(SPointF a, SPointF b) override;
  const SEllipse3& Ellipse() const { return ellipse_; }
  const std::vector<SPointF>& SpanPoints() const { return points_; }

 protected:
  int32_t FillRows() override;

 private:
  bool keepFullRect_;
  SRectWH geometry_{0, 0, 0, 0};
  SEllipse3 ellipse_;
  std::vector<SPointF> points_;
};

class CPolygonFiller : public CFillMngr {
 public:
  CPolygonFiller(PaintDocument* document, TStroke& stroke, int32_t width, int32_t height);
  // False (not valid) below 3 points, for non-finite points, or when the polygon misses the bounds.
  bool SetPoints(const SPointF* points, int32_t count);

 protected:
  int32_t FillRows() override;

 private:
  struct Edge {
    float x;
    float slope;
    int32_t key;
  };
  std::vector<SPointF> vertices_;
  std::vector<int32_t> order_;
  std::vector<Edge> active_;
};

}  // namespace tf
