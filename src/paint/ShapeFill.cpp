// Shape fills: rectangles, ellipses through three points and even-odd polygons.
#include "paint/ShapeFill.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "raster/ColorMath.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

int32_t FloorI(float v) { return static_cast<int32_t>(std::floor(v)); }
int32_t CeilI(float v) { return static_cast<int32_t>(std::ceil(v)); }
bool Finite(SPointF p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Value of entry k of an edge ramp whose step is c (1 / |slope|): f = k c, e = f + c, the area
// under the edge over the column; negative when the ramp has ended (f reached 1).
float RampEntry(int32_t k, float c) {
  const float f = static_cast<float>(k) * c;
  if (f >= 1.0f) return -1.0f;
  const float e = f + c;
  float h = f + e;
  if (e > 1.0f) h -= (e - 1.0f) * (e - 1.0f) / c;
  return std::clamp(h / 2.0f, 0.0f, 1.0f);
}

// Rows are clipped to the bounds this far around them before anything is sized by a shape.
constexpr int32_t kRowMargin = 1;

}  // namespace

// ---------------------------------------------------------------------------------------------
// The ellipse through three points

bool SetupEllipse3(SEllipse3& el, SPointF p1, SPointF p2, SPointF p3) {
  el = SEllipse3{};
  el.p1 = p1;
  el.p2 = p2;
  el.p3 = p3;
  if (!Finite(p1) || !Finite(p2) || !Finite(p3) || p1 == p2) return false;
  el.c = SPointF{(p1.x + p2.x) / 2.0f, (p1.y + p2.y) / 2.0f};
  el.u = SPointF{p1.x - el.c.x, p1.y - el.c.y};
  el.v = SPointF{p2.x - el.c.x, p2.y - el.c.y};
  el.w = SPointF{p3.x - el.c.x, p3.y - el.c.y};
  el.cross = el.u.x * el.w.y - el.u.y * el.w.x;
  if (el.cross == 0.0f) return false;
  const float uu = el.u.x * el.u.x + el.u.y * el.u.y;
  const float ww = el.w.x * el.w.x + el.w.y * el.w.y;
  const SPointF s = ww >= uu ? el.w : el.u;
  const SPointF t = ww >= uu ? el.u : el.w;
  const float ss = ww >= uu ? ww : uu;
  const float len = std::sqrt(ss);
  const float tx = (t.x * s.x + t.y * s.y) / len;
  const float ty = (t.x * s.y - t.y * s.x) / len;
  const float q = std::fabs(ss * ty * ty / (ss - tx * tx));
  el.axisSq1 = ss;
  el.axisSq2 = q;
  el.a = q * s.x * s.x / ss + s.y * s.y;
  el.b = (q / ss - 1.0f) * s.x * s.y;
  el.cq = q * s.y * s.y / ss + s.x * s.x;
  el.k = el.a * q * ss;
  el.d = el.a * el.cq - el.b * el.b;
  el.e = std::sqrt(el.k / el.d);
  // Nearly collinear points give an extent no row range can hold.
  if (!std::isfinite(el.e) || !std::isfinite(el.a) || el.a == 0.0f || el.d <= 0.0f) return false;
  el.yMin = el.c.y - el.e;
  el.yMax = el.c.y + el.e;
  const double first = std::floor(static_cast<double>(el.yMin));
  const double last = std::ceil(static_cast<double>(el.yMax));
  if (first < INT32_MIN / 2 || last > INT32_MAX / 2) return false;
  el.rowFirst = static_cast<int32_t>(first);
  el.rowLast = static_cast<int32_t>(last);
  el.valid = true;
  return true;
}

int32_t EllipseRowSpan(const SEllipse3& el, int32_t y, SPointF out[2]) {
  if (!el.valid || y < el.rowFirst || y > el.rowLast) return 0;
  const float d = static_cast<float>(y) - el.c.y;
  float r = el.k - d * d * el.d;
  if (std::fabs(d) == el.e) r = 0.0f;
  if (r < 0.0f) return 0;
  const float g = std::sqrt(r);
  const float fy = static_cast<float>(y);
  if (g == 0.0f) {
    out[0] = SPointF{el.c.x - d * el.b / el.a, fy};
    return 1;
  }
  out[0] = SPointF{el.c.x + (-d * el.b - g) / el.a, fy};
  out[1] = SPointF{el.c.x + (g - d * el.b) / el.a, fy};
  return 2;
}

bool MakeEllipse3Points(SEllipse3& el, std::vector<SPointF>& points, SPointF p1, SPointF p2, SPointF p3,
                        bool polygonMode, int32_t firstRow, int32_t lastRow) {
  points.clear();
  if (!SetupEllipse3(el, p1, p2, p3)) return false;
  if (!polygonMode) {
    const int32_t from = std::max(el.rowFirst, firstRow);
    const int32_t to = std::min(el.rowLast, lastRow);
    if (to >= from) points.reserve(static_cast<size_t>(to - from + 1) * 2);
    for (int32_t y = from; y <= to; ++y) {
      SPointF row[2];
      const int32_t n = EllipseRowSpan(el, y, row);
      for (int32_t i = 0; i < n; ++i) points.push_back(row[i]);
    }
    return true;
  }
  // The quarter arc (a cos(h pi/2), b sin(h pi/2)) refined until chords lie within a quarter pixel.
  const float a = p2.x - el.c.x;
  const float b = p3.y - el.c.y;
  auto arc = [&](double h) {
    return SPointF{static_cast<float>(a * std::cos(h * M_PI / 2)),
                   static_cast<float>(b * std::sin(h * M_PI / 2))};
  };
  std::vector<SPointF> quarter{arc(0.0)};
  std::function<void(double, double, SPointF, SPointF)> refine = [&](double h0, double h1, SPointF q0,
                                                                     SPointF q1) {
    const double hm = (h0 + h1) / 2;
    const SPointF qm = arc(hm);
    const float mx = (q0.x + q1.x) / 2 - qm.x;
    const float my = (q0.y + q1.y) / 2 - qm.y;
    if (std::sqrt(mx * mx + my * my) >= 0.25f && h1 - h0 >= 1.0 / 1024) {
      refine(h0, hm, q0, qm);
      quarter.push_back(qm);
      refine(hm, h1, qm, q1);
    }
  };
  refine(0.0, 1.0, arc(0.0), arc(1.0));
  quarter.push_back(arc(1.0));
  const size_t n = quarter.size();
  const SPointF c = el.c;
  for (size_t i = 0; i + 1 < n; ++i) points.push_back({c.x + quarter[i].x, c.y + quarter[i].y});
  for (size_t i = n - 1; i >= 1; --i) points.push_back({c.x - quarter[i].x, c.y + quarter[i].y});
  for (size_t i = 0; i + 1 < n; ++i) points.push_back({c.x - quarter[i].x, c.y - quarter[i].y});
  for (size_t i = n - 1; i >= 1; --i) points.push_back({c.x + quarter[i].x, c.y - quarter[i].y});
  return true;
}

bool MakeEllipsePolygon(std::vector<SPointF>& points, SPointF p1, SPointF p2, SPointF p3, bool polygonMode) {
  SEllipse3 el;
  return MakeEllipse3Points(el, points, p1, p2, p3, polygonMode);
}

void MinMaxX(float& low, float& high, const SPointF* points, int32_t count) {
  low = 0.0f;
  high = 0.0f;
  if (points == nullptr || count <= 0) return;
  low = high = points[0].x;
  for (int32_t i = 1; i < count; ++i) {
    low = std::min(low, points[i].x);
    high = std::max(high, points[i].x);
  }
}

// ---------------------------------------------------------------------------------------------
// The rectangle filler and the shared span machinery

CFillMngr::CFillMngr(PaintDocument* document, TStroke& stroke, int32_t width, int32_t height)
    : document_(document), stroke_(stroke), bounds_{0, 0, std::max(width, 0), std::max(height, 0)} {
  BindStrokeToPaper(stroke_, document_);
}

void CFillMngr::Prepare() {
  channel_ = nullptr;
  BindStrokeToPaper(stroke_, document_);
}

void CFillMngr::SetChannelValue(uint8_t value) { channelValue_ = value; }

bool CFillMngr::ClipFillRect() {
  SRectF r{std::max(exact_.left, 0.0f), std::max(exact_.top, 0.0f),
           std::min(exact_.right, static_cast<float>(bounds_.width)),
           std::min(exact_.bottom, static_cast<float>(bounds_.height))};
  valid_ = r.left < r.right && r.top < r.bottom;
  if (!valid_) {
    fillRect_ = SRectWH{0, 0, 0, 0};
    return false;
  }
  exact_ = r;
  fillRect_ =
      SRectWH{FloorI(r.left), FloorI(r.top), CeilI(r.right) - FloorI(r.left), CeilI(r.bottom) - FloorI(r.top)};
  return true;
}

bool CFillMngr::SetRect(SPointF a, SPointF b) {
  valid_ = false;
  if (!Finite(a) || !Finite(b)) return false;
  exact_ = SRectF{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1.0f, std::max(a.y, b.y) + 1.0f};
  leftSlope_ = rightSlope_ = 0.01f;
  return ClipFillRect();
}

int32_t CFillMngr::Fill(TMTC& target) {
  if (!valid_ || !target.IsValid()) return 0;
  image_ = &target;
  channel_ = nullptr;
  const int32_t rows = FillRows();
  image_ = nullptr;
  return rows;
}

int32_t CFillMngr::Fill(TChannel& target) {
  if (!valid_ || !target.IsValid()) return 0;
  image_ = nullptr;
  channel_ = &target;
  const int32_t rows = FillRows();
  channel_ = nullptr;
  return rows;
}

int32_t CFillMngr::FillRows() {
  const int32_t top = fillRect_.top;
  const int32_t rows = fillRect_.height;
  for (int32_t i = 0; i < rows; ++i) {
    float coverage = 1.0f;
    if (i == 0) {
      coverage = static_cast<float>(top) + 1.0f - exact_.top;
    } else if (i == rows - 1) {
      coverage = 1.0f - (std::ceil(exact_.bottom) - exact_.bottom);
    }
    Span(exact_.left, exact_.right, top + i, coverage);
  }
  return rows;
}

void CFillMngr::BuildCoverage(float x0, float x1, int32_t first, int32_t last) {
  // Entries index column - Floor(x0); only the clipped columns first..last are built, so a span
  // reaching far outside the bounds costs nothing and the ramps keep their end values.
  const int32_t base = FloorI(x0);
  const int64_t end = static_cast<int64_t>(CeilI(x1)) - base;  // entry of column Ceil(x1)
  coverageBase_ = first;
  coverage_.assign(static_cast<size_t>(last - first + 1), 1.0f);
  const float leftC = leftSlope_ == 0.0f ? 1000.0f : 1.0f / std::fabs(leftSlope_);
  const float rightC = rightSlope_ == 0.0f ? 1000.0f : 1.0f / std::fabs(rightSlope_);
  for (int32_t col = first; col <= last; ++col) {
    float& entry = coverage_[static_cast<size_t>(col - first)];
    const int64_t fromLeft = static_cast<int64_t>(col) - base;
    if (leftC < 1.0f && fromLeft * leftC < 1.0f) {
      const float r = RampEntry(static_cast<int32_t>(fromLeft), leftC);
      if (r >= 0.0f) entry = r;
    }
    const int64_t fromRight = end - fromLeft;
    if (rightC < 1.0f && fromRight >= 0 && fromRight * rightC < 1.0f) {
      const float r = RampEntry(static_cast<int32_t>(fromRight), rightC);
      if (r >= 0.0f) entry = r;
    }
  }
}

void CFillMngr::Span(float x0, float x1, int32_t y, float rowCoverage) {
  if (rowCoverage <= 0.0f || y < bounds_.top || y >= bounds_.top + bounds_.height) return;
  if (!std::isfinite(x0) || !std::isfinite(x1)) return;
  const double firstColumn = std::floor(static_cast<double>(x0));
  const double lastColumn = std::ceil(static_cast<double>(x1)) - 1;
  if (lastColumn < 0 || firstColumn >= bounds_.width || lastColumn < firstColumn) return;
  const int32_t fx0 = static_cast<int32_t>(std::max(firstColumn, -1.0));
  const int32_t lx = static_cast<int32_t>(std::min(lastColumn, static_cast<double>(bounds_.width)));
  const int32_t first = std::max(fx0, 0);
  const int32_t last = std::min(lx, bounds_.width - 1);
  if (first > last) return;
  BuildCoverage(x0, x1, first, last);
  const float opacity = stroke_.GetOpacity();
  const bool firstCut = firstColumn < first;
  const bool lastCut = lastColumn > last;
  const float kFirst = firstCut ? 1.0f : static_cast<float>(firstColumn) + 1.0f - x0;
  const float kLast = lastCut ? 1.0f : 1.0f - (static_cast<float>(lastColumn + 1) - x1);
  const bool onePixel = firstColumn == lastColumn;
  auto factor = [&](int32_t col) {
    if (col == first && !firstCut) return kFirst;
    if (onePixel) return 1.0f;
    if (col == last && !lastCut) return kLast;
    return 1.0f;
  };
  if (image_ != nullptr) {
    const uint32_t colour = ColorToPixel(stroke_.GetColor());
    WithImageWriter([&](auto write) {
      uint32_t* row = image_->Pixel(0, y);
      for (int32_t col = first; col <= last; ++col) {
        const float entry = coverage_[static_cast<size_t>(col - coverageBase_)];
        const int32_t alpha = static_cast<int32_t>(opacity * rowCoverage * 255.0f * factor(col) * entry);
        if (alpha > 0) write(row + col, col, y, std::min(alpha, 255), colour);
      }
    });
  } else if (channel_ != nullptr) {
    const int32_t middle = static_cast<int32_t>(opacity * rowCoverage * 255.0f);
    WithChannelWriter([&](auto write) {
      for (int32_t col = first; col <= last; ++col) {
        const float entry = coverage_[static_cast<size_t>(col - coverageBase_)];
        const bool end = (col == first && !firstCut) || (col == last && !lastCut);
        const int32_t amount = end ? static_cast<int32_t>(opacity * rowCoverage * factor(col) * entry * 255.0f)
                                   : static_cast<int32_t>(entry * static_cast<float>(middle));
        if (amount > 0) write(channel_->GetPixelPtr(col, y), col, y, std::min(amount, 255), channelValue_);
      }
    });
  }
}

// ---------------------------------------------------------------------------------------------
// Ellipses

CEllipseFiller::CEllipseFiller(PaintDocument* document, TStroke& stroke, int32_t width, int32_t height,
                               bool keepFullRect)
    : CFillMngr(document, stroke, width, height), keepFullRect_(keepFullRect) {}

bool CEllipseFiller::SetRect(SPointF a, SPointF b) {
  valid_ = false;
  points_.clear();
  if (!Finite(a) || !Finite(b)) return false;
  const SRectF r{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1.0f, std::max(a.y, b.y) + 1.0f};
  const float midX = (r.left + r.right) / 2.0f;
  const float midY = (r.top + r.bottom) / 2.0f;
  // Only the rows that can reach the bounds get points.
  if (!MakeEllipse3Points(ellipse_, points_, SPointF{r.left, midY}, SPointF{r.right, midY}, SPointF{midX, r.top},
                          false, bounds_.top - kRowMargin, bounds_.top + bounds_.height + kRowMargin))
    return false;
  float low = 0.0f;
  float high = 0.0f;
  MinMaxX(low, high, points_.data(), static_cast<int32_t>(points_.size()));
  exact_ = SRectF{low, ellipse_.yMin, high, ellipse_.yMax};
  geometry_ = SRectWH{FloorI(low), FloorI(ellipse_.yMin), CeilI(high) - FloorI(low),
                      CeilI(ellipse_.yMax) - FloorI(ellipse_.yMin)};
  if (points_.empty() || !ClipFillRect()) return false;
  if (!keepFullRect_) geometry_ = fillRect_;
  return true;
}

int32_t CEllipseFiller::FillRows() {
  const size_t n = points_.size();
  int32_t rows = 0;
  const float firstCoverage = static_cast<float>(ellipse_.rowFirst) + 1.0f - ellipse_.yMin;
  const float lastCoverage = 1.0f - (static_cast<float>(ellipse_.rowLast) - ellipse_.yMax);
  const float a = static_cast<float>(geometry_.height) / 2.0f;
  for (size_t k = 0; k < n;) {
    const int32_t y = static_cast<int32_t>(points_[k].y);
    const bool edgeRow = y == ellipse_.rowFirst || y == ellipse_.rowLast;
    size_t to = k;
    size_t next = k + 1;
    if (k + 1 < n && points_[k + 1].y == points_[k].y) {
      to = k + 1;
      next = k + 2;
    } else if (!edgeRow && k + 1 < n) {
      to = k + 1;  // a lone point between the first and last rows reaches the following point
    }
    // The edge slopes of this row from the geometry rectangle.
    const float b = static_cast<float>(y - geometry_.top) - a;
    const float c2 = a * a - b * b;
    const float c = c2 > 0.0f ? std::sqrt(c2) : 0.1f;
    float slope = c == 0.0f ? 10.0f : b * (static_cast<float>(geometry_.width) / 2.0f) / (a * c);
    if (slope == 0.0f) slope = 0.1f;
    leftSlope_ = -slope;
    rightSlope_ = slope;
    float coverage = 1.0f;
    if (y == ellipse_.rowFirst) {
      coverage = firstCoverage;
    } else if (y == ellipse_.rowLast) {
      coverage = lastCoverage;
    }
    Span(points_[k].x, points_[to].x, y, coverage);
    ++rows;
    k = next;
  }
  return rows;
}

// ---------------------------------------------------------------------------------------------
// Polygons

CPolygonFiller::CPolygonFiller(PaintDocument* document, TStroke& stroke, int32_t width, int32_t height)
    : CFillMngr(document, stroke, width, height) {}

bool CPolygonFiller::SetPoints(const SPointF* points, int32_t count) {
  valid_ = false;
  vertices_.clear();
  if (points == nullptr || count < 3) return false;
  for (int32_t i = 0; i < count; ++i)
    if (!Finite(points[i])) return false;
  vertices_.assign(points, points + count);
  SRectF r{points[0].x, points[0].y, points[0].x + 1.0f, points[0].y + 1.0f};
  for (int32_t i = 1; i < count; ++i) {
    r.left = std::min(r.left, points[i].x);
    r.top = std::min(r.top, points[i].y);
    if (points[i].x >= r.right) r.right = points[i].x + 1.0f;
    if (points[i].y >= r.bottom) r.bottom = points[i].y + 1.0f;
  }
  exact_ = r;
  leftSlope_ = rightSlope_ = 0.01f;
  return ClipFillRect();
}

int32_t CPolygonFiller::FillRows() {
  const int32_t n = static_cast<int32_t>(vertices_.size());
  order_.resize(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) order_[static_cast<size_t>(i)] = i;
  std::stable_sort(order_.begin(), order_.end(), [&](int32_t l, int32_t r) {
    return vertices_[static_cast<size_t>(l)].y < vertices_[static_cast<size_t>(r)].y;
  });
  float ymin = vertices_[static_cast<size_t>(order_.front())].y;
  float ymax = vertices_[static_cast<size_t>(order_.back())].y;
  const double firstRow = std::max<double>(bounds_.top, std::ceil(static_cast<double>(ymin) - 0.5));
  const double lastRow =
      std::min<double>(bounds_.top + bounds_.height - 1, std::floor(static_cast<double>(ymax) - 0.5));
  if (lastRow < firstRow) return 0;
  active_.clear();
  size_t next = 0;
  int32_t rows = 0;
  auto vertex = [&](int32_t i) -> const SPointF& { return vertices_[static_cast<size_t>((i + n) % n)]; };
  for (int32_t row = static_cast<int32_t>(firstRow); row <= static_cast<int32_t>(lastRow); ++row) {
    const float centre = static_cast<float>(row) + 0.5f;
    while (next < order_.size() && vertices_[static_cast<size_t>(order_[next])].y <= centre) {
      const int32_t v = order_[next++];
      const SPointF& pv = vertex(v);
      // The edge from the predecessor (keyed by it) and the edge to the successor (keyed by v).
      for (int side = 0; side < 2; ++side) {
        const int32_t other = side == 0 ? (v + n - 1) % n : (v + 1) % n;
        const int32_t key = side == 0 ? other : v;
        const SPointF& po = vertex(other);
        if (po.y <= centre - 1.0f) {
          auto found = std::find_if(active_.begin(), active_.end(), [&](const Edge& e) { return e.key == key; });
          if (found != active_.end()) active_.erase(found);
        } else if (po.y > centre) {
          const SPointF& upper = pv.y < po.y ? pv : po;
          const SPointF& lower = pv.y < po.y ? po : pv;
          const float slope = (lower.x - upper.x) / (lower.y - upper.y);
          active_.push_back(Edge{upper.x + (centre - upper.y) * slope, slope, key});
        }
      }
    }
    std::sort(active_.begin(), active_.end(), [](const Edge& l, const Edge& r) { return l.x < r.x; });
    for (size_t i = 0; i + 1 < active_.size(); i += 2) {
      Edge& left = active_[i];
      Edge& right = active_[i + 1];
      if (left.x < right.x) {
        leftSlope_ = left.slope;
        rightSlope_ = right.slope;
        Span(left.x, right.x, row, 1.0f);
      }
      left.x += left.slope;
      right.x += right.slope;
    }
    ++rows;
  }
  return rows;
}

}  // namespace tf
