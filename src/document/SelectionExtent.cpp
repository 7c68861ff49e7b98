// Grey dilation and erosion of a mask with the octagonal neighbourhood.
#include "document/SelectionExtent.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "document/Mask.h"
#include "platform/Memory.h"
#include "raster/BlockVCH.h"

namespace tf {

namespace {

struct TakeLarger {
  static uint8_t Apply(uint8_t a, uint8_t b) { return a > b ? a : b; }
};
struct TakeSmaller {
  static uint8_t Apply(uint8_t a, uint8_t b) { return a < b ? a : b; }
};

// d := op(a, b) over count bytes (d may be a).
template <class Op>
void Combine2(uint8_t* d, const uint8_t* a, const uint8_t* __restrict b, int32_t count) {
  for (int32_t i = 0; i < count; ++i) d[i] = Op::Apply(a[i], b[i]);
}

// d := op(a, b, c) over count bytes.
template <class Op>
void Combine3(uint8_t* __restrict d, const uint8_t* __restrict a, const uint8_t* __restrict b,
              const uint8_t* __restrict c, int32_t count) {
  for (int32_t i = 0; i < count; ++i) d[i] = Op::Apply(a[i], Op::Apply(b[i], c[i]));
}

// The buffers of one filter run, freed on every path.
class FilterBuffers {
 public:
  FilterBuffers() = default;
  FilterBuffers(const FilterBuffers&) = delete;
  FilterBuffers& operator=(const FilterBuffers&) = delete;
  ~FilterBuffers() { FreeMem(block_); }
  bool Allocate(int64_t bytes) { return TryGetZeroMem(block_, bytes); }
  uint8_t* Data() const { return block_; }

 private:
  uint8_t* block_ = nullptr;
};

// Column extremes: column[k] holds, for every column of the padded row, the extreme of the
// source over rows y - k .. y + k (rows outside read as 0). Padded by `radius` zero columns on
// both sides, so the shifted reads of the neighbourhood never leave the buffer and read 0
// outside the source. The extreme over the neighbourhood is then
//   op( window of width 2b + 1 over column[n],  column[n - j] at x - (b + j) and x + (b + j) for j = 1 .. n - b
//   ),
// the window taken by doubling (runs of 1, 2, 4, ... columns, two overlapping runs at the end).
template <class Op>
bool Filter(const uint8_t* const* sourceRows, int32_t width, int32_t height, int32_t n,
            uint8_t* const* destRows) {
  const int32_t b = (n + 1) / 2;
  const int32_t padded = width + 2 * n;
  const int32_t window = 2 * b + 1;
  int32_t run = 1;
  while (run * 2 <= window) run *= 2;
  // n + 1 column rows, two window rows and a zero row.
  const int64_t rows = int64_t{n} + 1 + 2 + 1;
  FilterBuffers buffers;
  if (!buffers.Allocate(rows * padded)) return false;
  auto row = [&](int64_t i) { return buffers.Data() + i * padded; };
  uint8_t* const windowA = row(n + 1);
  uint8_t* const windowB = row(n + 2);
  const uint8_t* const zero = row(n + 3);
  auto source = [&](int32_t y) -> const uint8_t* { return y >= 0 && y < height ? sourceRows[y] : zero; };
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(row(0) + n, sourceRows[y], static_cast<size_t>(width));
    for (int32_t k = 1; k <= n; ++k)
      Combine3<Op>(row(k) + n, row(k - 1) + n, source(y - k), source(y + k), width);
    // The window of width 2b + 1 over column[n] (the padding columns stay 0).
    const uint8_t* runs = row(n);
    uint8_t* next = windowA;
    for (int32_t s = 1; s < run; s *= 2) {
      Combine2<Op>(next, runs, runs + s, padded - s);
      runs = next;
      next = next == windowA ? windowB : windowA;
    }
    uint8_t* const out = destRows[y];
    Combine2<Op>(out, runs + (n - b), runs + (n + b + 1 - run), width);
    // The slanted sides: one column on each side for every half-height below n.
    for (int32_t j = 1; j <= n - b; ++j) {
      const uint8_t* column = row(n - j);
      Combine2<Op>(out, out, column + (n - b - j), width);
      Combine2<Op>(out, out, column + (n + b + j), width);
    }
  }
  return true;
}

// ---- Large radii ----------------------------------------------------------------------------
//
// The neighbourhood is the square of half-size b grown by the diamond |dx| + |dy| <= d, d = n - b:
// a point (x, y) is in both forms exactly when |x| <= n, |y| <= n and |x| + |y| <= n + b. The
// diamond in turn is the union of its two parity classes; with u = dx + dy and v = dx - dy each
// class is a square in (u, v) of one parity, that is two diagonal runs and a shift. Every step is a
// window along a line, taken with the running block extremes, so the cost per pixel does not grow
// with the radius. Values outside the area read as 0 at every step, which is exact: a grown
// intermediate never leaves the grown area, a shrunk one is 0 outside the source anyway.

// One line of count values, `stride` bytes apart: out[i] := op(in[i + lo .. i + hi]), 0 outside.
template <class Op>
class LineWindow {
 public:
  explicit LineWindow(uint8_t* scratch) : scratch_(scratch) {}
  // scratch holds at least 3 * (count + 2 * (hi - lo + 1)) bytes.
  void Run(uint8_t* line, int64_t stride, int32_t count, int32_t lo, int32_t hi) {
    const int32_t w = hi - lo + 1;
    const int32_t pad = w;
    const int32_t total = count + 2 * pad;
    uint8_t* a = scratch_;
    uint8_t* prefix = a + total;
    uint8_t* suffix = prefix + total;
    std::memset(a, 0, static_cast<size_t>(total));
    for (int32_t i = 0; i < count; ++i) a[pad + i] = line[i * stride];
    for (int32_t i = 0; i < total; ++i)
      prefix[i] = i % w == 0 ? a[i] : Op::Apply(prefix[i - 1], a[i]);
    for (int32_t i = total - 1; i >= 0; --i)
      suffix[i] = (i % w == w - 1 || i == total - 1) ? a[i] : Op::Apply(suffix[i + 1], a[i]);
    for (int32_t i = 0; i < count; ++i) {
      const int32_t start = pad + i + lo;  // within 0 .. total - w
      line[i * stride] = Op::Apply(suffix[start], prefix[start + w - 1]);
    }
  }

 private:
  uint8_t* scratch_;
};

// A flat image of width x height bytes that reads 0 outside.
struct Plane {
  uint8_t* data;
  int32_t width, height;
  uint8_t* At(int32_t x, int32_t y) const { return data + int64_t{y} * width + x; }
};

// Along every row (dx, dy) = (1, 0), column (0, 1), diagonal (1, 1) or anti-diagonal (1, -1).
template <class Op>
void RunLines(const Plane& p, int32_t dx, int32_t dy, int32_t lo, int32_t hi, uint8_t* scratch, uint8_t* line) {
  LineWindow<Op> window(scratch);
  auto run = [&](int32_t x, int32_t y) {
    int32_t count = 0;
    for (int32_t cx = x, cy = y; cx >= 0 && cy >= 0 && cx < p.width && cy < p.height; cx += dx, cy += dy)
      line[count++] = *p.At(cx, cy);
    window.Run(line, 1, count, lo, hi);
    count = 0;
    for (int32_t cx = x, cy = y; cx >= 0 && cy >= 0 && cx < p.width && cy < p.height; cx += dx, cy += dy)
      *p.At(cx, cy) = line[count++];
  };
  if (dy == 0) {
    for (int32_t y = 0; y < p.height; ++y) LineWindow<Op>(scratch).Run(p.At(0, y), 1, p.width, lo, hi);
  } else if (dx == 0) {
    for (int32_t x = 0; x < p.width; ++x) run(x, 0);
  } else if (dy > 0) {
    for (int32_t x = p.width - 1; x > 0; --x) run(x, 0);
    for (int32_t y = 0; y < p.height; ++y) run(0, y);
  } else {
    for (int32_t y = 0; y < p.height; ++y) run(0, y);
    for (int32_t x = 1; x < p.width; ++x) run(x, p.height - 1);
  }
}

// One parity class of the diamond: the points (i + j + shift, i - j) for i, j in lo .. hi.
template <class Op>
void DiamondClass(const Plane& p, int32_t lo, int32_t hi, int32_t shift, uint8_t* scratch, uint8_t* line) {
  RunLines<Op>(p, 1, 1, lo, hi, scratch, line);
  RunLines<Op>(p, 1, -1, lo, hi, scratch, line);
  if (shift == 0) return;
  // A shift by one column: out(x) = in(x + 1), 0 past the right edge.
  for (int32_t y = 0; y < p.height; ++y) {
    uint8_t* row = p.At(0, y);
    std::memmove(row, row + 1, static_cast<size_t>(p.width - 1));
    row[p.width - 1] = 0;
  }
}

// The class of u = dx + dy = v (mod 2) with |u|, |v| <= e and u = e (mod 2) (e >= 0).
template <class Op>
void DiamondParity(const Plane& p, int32_t e, uint8_t* scratch, uint8_t* line) {
  if (e % 2 == 0) {
    DiamondClass<Op>(p, -e / 2, e / 2, 0, scratch, line);
  } else {
    // u = 2i + 1, v = 2j + 1 with i, j in -(e + 1) / 2 .. (e - 1) / 2: (x, y) = (i + j + 1, i - j).
    DiamondClass<Op>(p, -(e + 1) / 2, (e - 1) / 2, 1, scratch, line);
  }
}

template <class Op>
bool FilterLarge(const uint8_t* const* sourceRows, int32_t width, int32_t height, int32_t n,
                 uint8_t* const* destRows) {
  const int32_t b = (n + 1) / 2;
  const int32_t d = n - b;
  const int64_t area = int64_t{width} * height;
  const int32_t longest = std::max(width, height);
  const int64_t scratchBytes = 3 * (int64_t{longest} + 2 * (2 * int64_t{n} + 2));
  FilterBuffers buffers;
  if (!buffers.Allocate(2 * area + scratchBytes + longest)) return false;
  Plane square{buffers.Data(), width, height};
  Plane other{buffers.Data() + area, width, height};
  uint8_t* scratch = buffers.Data() + 2 * area;
  uint8_t* line = scratch + scratchBytes;
  for (int32_t y = 0; y < height; ++y) std::memcpy(square.At(0, y), sourceRows[y], static_cast<size_t>(width));
  RunLines<Op>(square, 1, 0, -b, b, scratch, line);
  RunLines<Op>(square, 0, 1, -b, b, scratch, line);
  std::memcpy(other.data, square.data, static_cast<size_t>(area));
  DiamondParity<Op>(square, d, scratch, line);
  if (d > 0) DiamondParity<Op>(other, d - 1, scratch, line);
  for (int32_t y = 0; y < height; ++y)
    Combine2<Op>(destRows[y], square.At(0, y), other.At(0, y), width);
  return true;
}

// Up to this radius the row-by-row column extremes are the faster form.
constexpr int32_t kColumnFormRadius = 32;

}  // namespace

int32_t OctagonHalfHeight(int32_t radius, int32_t dx) {
  const int32_t d = dx < 0 ? -dx : dx;
  if (radius < 0 || d > radius) return 0;
  const int32_t b = (radius + 1) / 2;
  return d <= b ? radius : radius + b - d;
}

bool OctagonExtremeRows(const uint8_t* const* sourceRows, int32_t width, int32_t height, int32_t radius,
                        bool largest, uint8_t* const* destRows) {
  if (radius < kMinSelectionRadius || radius > kMaxSelectionRadius || width <= 0 || height <= 0) return false;
  if (radius > kColumnFormRadius) {
    return largest ? FilterLarge<TakeLarger>(sourceRows, width, height, radius, destRows)
                   : FilterLarge<TakeSmaller>(sourceRows, width, height, radius, destRows);
  }
  return largest ? Filter<TakeLarger>(sourceRows, width, height, radius, destRows)
                 : Filter<TakeSmaller>(sourceRows, width, height, radius, destRows);
}

bool OctagonExtreme(const TChannel& source, int32_t radius, bool largest, TChannel& dest, int32_t destX,
                    int32_t destY) {
  if (!source.IsValid() || !dest.IsValid()) return false;
  const int32_t width = source.Width();
  const int32_t height = source.Height();
  if (destX < 0 || destY < 0 || int64_t{destX} + width > dest.Width() || int64_t{destY} + height > dest.Height())
    return false;
  try {
    std::vector<const uint8_t*> in(static_cast<size_t>(height));
    std::vector<uint8_t*> out(static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
      in[static_cast<size_t>(y)] = source.GetPixelPtr(0, y);
      out[static_cast<size_t>(y)] = dest.GetPixelPtr(destX, destY + y);
    }
    return OctagonExtremeRows(in.data(), width, height, radius, largest, out.data());
  } catch (const std::bad_alloc&) {
    return false;
  }
}

namespace {

// The mask's nonzero bounds in store coordinates as left, top, width, height.
bool NonZeroArea(const CMaskData& mask, SRectWH& area) {
  TRect bounds{0, 0, 0, 0};
  if (!mask.IsAllocated() || !mask.Store()->GetNonZeroBounds(bounds)) return false;
  area = SRectWH{bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top};
  return area.width > 0 && area.height > 0;
}

// One axis of the placement of the widened area in the result: the area's position p in the
// result and the canvas position c of result pixel 0, so that nothing moves on the canvas.
void PlaceAxis(int32_t areaStart, int32_t areaSize, int32_t resultSize, int32_t maskOffset, int32_t& position,
               int32_t& canvas) {
  position = areaStart;
  canvas = -maskOffset;
  if (areaStart < 0) {
    position = 0;
    canvas += areaStart;
  } else if (areaStart + areaSize > resultSize) {
    position = resultSize - areaSize;
    canvas += areaStart + areaSize - resultSize;
  }
}

}  // namespace

bool GrowMaskChannel(TChannel& channel, const CMaskData& mask, int32_t radius, TPoint& offset,
                     int32_t /*shape*/) {
  if (radius < kMinSelectionRadius || radius > kMaxSelectionRadius) return false;
  SRectWH bounds{0, 0, 0, 0};
  if (!NonZeroArea(mask, bounds)) return false;
  const CBlockVCH& store = *mask.Store();
  const int64_t areaWidth = int64_t{bounds.width} + 2 * radius;
  const int64_t areaHeight = int64_t{bounds.height} + 2 * radius;
  const int64_t resultWidth = std::max<int64_t>(store.Width(), areaWidth);
  const int64_t resultHeight = std::max<int64_t>(store.Height(), areaHeight);
  if (resultWidth > kMaxMaskSide || resultHeight > kMaxMaskSide) return false;
  const SRectWH area{bounds.left - radius, bounds.top - radius, static_cast<int32_t>(areaWidth),
                     static_cast<int32_t>(areaHeight)};
  TChannel source;
  if (!source.Resize(area.width, area.height)) return false;
  TPoint at{radius, radius};
  SRectWH part = bounds;
  store.CopyToChannel(source, at, part, false);
  if (!channel.Resize(static_cast<int32_t>(resultWidth), static_cast<int32_t>(resultHeight))) return false;
  int32_t px = 0, py = 0, cx = 0, cy = 0;
  PlaceAxis(area.left, area.width, channel.Width(), mask.offsetX, px, cx);
  PlaceAxis(area.top, area.height, channel.Height(), mask.offsetY, py, cy);
  if (!OctagonExtreme(source, radius, true, channel, px, py)) return false;
  offset = TPoint{-cx, -cy};
  return true;
}

bool ShrinkMaskChannel(TChannel& channel, const CMaskData& mask, int32_t radius, TPoint& offset,
                       int32_t /*shape*/) {
  if (radius < kMinSelectionRadius || radius > kMaxSelectionRadius) return false;
  SRectWH bounds{0, 0, 0, 0};
  if (!NonZeroArea(mask, bounds)) return false;
  const CBlockVCH& store = *mask.Store();
  TChannel source;
  if (!source.Resize(bounds.width, bounds.height)) return false;
  TPoint at{0, 0};
  SRectWH part = bounds;
  store.CopyToChannel(source, at, part, false);
  if (!channel.Resize(store.Width(), store.Height())) return false;
  if (!OctagonExtreme(source, radius, false, channel, bounds.left, bounds.top)) return false;
  offset = TPoint{mask.offsetX, mask.offsetY};
  return true;
}

}  // namespace tf
