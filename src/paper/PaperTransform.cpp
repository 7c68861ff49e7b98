// TPaper: the layer transforms: mirror, invert, turn by 180 and 90 degrees and by any angle.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "document/LayerMngr.h"
#include "paper/FlowImage.h"
#include "paper/LayerBuild.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"
#include "raster/BlockVMTCRows.h"

namespace tf {

namespace {

constexpr const char* kLayerCommandFailedText = "Failed to execute layer command!";

// The product of two 16.16 values as the rotation computes it: both shifted right by 8 first.
inline int64_t Mul1616(int64_t a, int64_t b) { return (a >> 8) * (b >> 8); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Building routines

std::unique_ptr<CLayerData> MakeRotated90Layer(const SSize& canvas, const CLayerData& layer, bool clockwise) {
  const CBlockVMTC* store = layer.Store();
  if (store == nullptr || canvas.width < 1 || canvas.height < 1) return nullptr;
  const int32_t w = canvas.width;
  const int32_t h = canvas.height;
  const int32_t sw = store->Width();
  const int32_t sh = store->Height();
  const int32_t w2 = w / 2;
  const int32_t h2 = h / 2;
  const int32_t right = sw - layer.offsetX;
  const int32_t bottom = sh - layer.offsetY;
  int32_t ox = 0;
  int32_t oy = 0;
  if (clockwise) {
    ox = (bottom - h) + (h2 - w2);
    oy = layer.offsetX + (w2 - h2);
  } else {
    ox = layer.offsetY + (h2 - w2);
    oy = (right - w) + (w2 - h2);
  }
  TPoint shift{0, 0};
  if (ox < 0) {
    shift.x = -ox;
    ox = 0;
  }
  if (oy < 0) {
    shift.y = -oy;
    oy = 0;
  }
  const int32_t width = std::max({w, sh + shift.x, w + ox});
  const int32_t height = std::max({h, sw + shift.y, h + oy});
  std::unique_ptr<CLayerData> turned = NewLayerLike(layer, width, height, ox, oy);
  if (!turned) return nullptr;
  turned->canvasWidth = w;
  turned->canvasHeight = h;
  if (!RotateBlockToBlock(*store, shift, *turned->Store(), clockwise)) return nullptr;
  turned->Store()->Compact();
  turned->UpdateThumbnail();
  return turned;
}

bool RotatedLayerGeometry(const SSize& canvas, int32_t storeWidth, int32_t storeHeight, int32_t offsetX,
                          int32_t offsetY, double degrees, SRotatedGeometry& out) {
  if (!std::isfinite(degrees) || canvas.width < 1 || canvas.height < 1 || storeWidth < 1 || storeHeight < 1)
    return false;
  const double theta = degrees * 3.14159265358979323846 / 180.0;
  const int64_t s = std::llround(std::sin(theta) * 65536.0);
  const int64_t c = std::llround(std::cos(theta) * 65536.0);
  const int64_t halfW = int64_t{canvas.width} * 32768;
  const int64_t halfH = int64_t{canvas.height} * 32768;
  const int64_t xs[2] = {-int64_t{offsetX} * 65536 - halfW, (int64_t{storeWidth} - offsetX) * 65536 - halfW};
  const int64_t ys[2] = {-int64_t{offsetY} * 65536 - halfH, (int64_t{storeHeight} - offsetY) * 65536 - halfH};
  int64_t x0 = INT64_MAX, x1 = INT64_MIN, y0 = INT64_MAX, y1 = INT64_MIN;
  for (int64_t x : xs) {
    for (int64_t y : ys) {
      const int64_t tx = Mul1616(c, x) - Mul1616(s, y);
      const int64_t ty = Mul1616(s, x) + Mul1616(c, y);
      x0 = std::min(x0, tx);
      x1 = std::max(x1, tx);
      y0 = std::min(y0, ty);
      y1 = std::max(y1, ty);
    }
  }
  auto axis = [](int64_t lo, int64_t hi, int64_t half, int32_t side, int64_t& offset, int64_t& size) {
    if ((lo < 0 ? -lo : lo) < half) {
      offset = 0;
      size = std::max<int64_t>((half + hi) / 65536, side);
    } else {
      offset = (-lo - half) / 65536;
      size = std::max<int64_t>((hi - lo) / 65536, side);
    }
    size = std::max<int64_t>(side + offset, size);
  };
  int64_t ox = 0, oy = 0, width = 0, height = 0;
  axis(x0, x1, halfW, canvas.width, ox, width);
  axis(y0, y1, halfH, canvas.height, oy, height);
  if (width > kMaxRotatedSide || height > kMaxRotatedSide || ox < 0 || oy < 0) return false;
  out.sine = static_cast<int32_t>(s);
  out.cosine = static_cast<int32_t>(c);
  out.width = static_cast<int32_t>(width);
  out.height = static_cast<int32_t>(height);
  out.offsetX = static_cast<int32_t>(ox);
  out.offsetY = static_cast<int32_t>(oy);
  return true;
}

namespace {

// Columns of one block of the turned image (with the 32 rows of a tile row).
constexpr int64_t kRotationBlock = 64;

// floor(a / b) for b > 0.
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The columns i of [0, n) at which lo <= start + i * step < hi, as [first, last); empty when
// first >= last.
void LinearRange(int64_t start, int64_t step, int64_t lo, int64_t hi, int64_t n, int64_t& first, int64_t& last) {
  if (step == 0) {
    first = 0;
    last = (start >= lo && start < hi) ? n : 0;
  } else if (step > 0) {
    first = FloorDiv(lo - start + step - 1, step);  // ceil
    last = FloorDiv(hi - start + step - 1, step);
  } else {
    const int64_t d = -step;
    first = FloorDiv(start - hi, d) + 1;
    last = FloorDiv(start - lo, d) + 1;
  }
  first = std::clamp<int64_t>(first, 0, n);
  last = std::clamp<int64_t>(last, 0, n);
}

// Blue and red (or green and alpha, after a shift by 8) in the two 32-bit lanes of a 64-bit word.
inline uint64_t Spread(uint32_t p) { return uint64_t{p & 0xFFu} | (uint64_t{p & 0xFF0000u} << 16); }

// One row of the turned image. The sample positions step exactly from column to column, so the
// columns split into runs: all four samples outside the source (the fill, which the general
// formula gives too since the weights sum to 1), samples at the source's edge (per-pixel reads),
// and all four samples inside.
// The source as a flat image: rows stride pixels apart when they are, else through the row table.
struct SFlatSource {
  const TMTC& image;
  const uint32_t* base = nullptr;
  int64_t stride = 0;

  explicit SFlatSource(const TMTC& source) : image(source) {
    const int32_t h = source.Height();
    if (h < 1 || source.Width() < 1) return;
    const uint32_t* first = source.Pixel(0, 0);
    const int64_t step = h > 1 ? source.Pixel(0, 1) - first : source.Width();
    if (step >= source.Width() && source.Pixel(0, h - 1) == first + step * (h - 1)) {
      base = first;
      stride = step;
    }
  }
  int32_t Width() const { return image.Width(); }
  int32_t Height() const { return image.Height(); }
  // A pixel inside the picture.
  uint32_t At(int64_t x, int64_t y) const {
    return image.GetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
  }
  // The four pixels (ix, iy) .. (ix + 1, iy + 1), all inside the picture.
  void Quad(int64_t ix, int64_t iy, uint32_t& p00, uint32_t& p10, uint32_t& p01, uint32_t& p11) const {
    const uint32_t* row0 = (base != nullptr ? base + iy * stride : image.Pixel(0, static_cast<int32_t>(iy))) + ix;
    const uint32_t* row1 =
        (base != nullptr ? base + (iy + 1) * stride : image.Pixel(0, static_cast<int32_t>(iy + 1))) + ix;
    p00 = row0[0];
    p10 = row0[1];
    p01 = row1[0];
    p11 = row1[1];
  }
};

// The source as a tiled store, read in place: four pixels of one 32 x 32 tile come from its
// memory (or its fill while uncommitted) at once.
struct STiledSource {
  const CBlockVMTC& store;
  int32_t across;

  explicit STiledSource(const CBlockVMTC& source) : store(source), across(source.TilesAcross()) {}
  int32_t Width() const { return store.Width(); }
  int32_t Height() const { return store.Height(); }
  uint32_t At(int64_t x, int64_t y) const {
    return store.GetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
  }
  void Quad(int64_t ix, int64_t iy, uint32_t& p00, uint32_t& p10, uint32_t& p01, uint32_t& p11) const {
    if ((ix & 31) != 31 && (iy & 31) != 31) {
      const STileInfo& t = store.TileByIndex(static_cast<int32_t>((iy >> 5) * across + (ix >> 5)));
      if (!t.committed) {
        p00 = p10 = p01 = p11 = t.fill;
        return;
      }
      const uint32_t* p = reinterpret_cast<const uint32_t*>(t.block) + ((iy & 31) * 32 + (ix & 31));
      p00 = p[0];
      p10 = p[1];
      p01 = p[32];
      p11 = p[33];
      return;
    }
    p00 = At(ix, iy);
    p10 = At(ix + 1, iy);
    p01 = At(ix, iy + 1);
    p11 = At(ix + 1, iy + 1);
  }
};

template <class Source>
struct SRotationRow {
  const Source& source;
  uint32_t fill;
  int32_t sw;
  int32_t sh;

  uint32_t Read(int64_t x, int64_t y) const {
    if (x < 0 || y < 0 || x >= sw || y >= sh) return fill;
    return source.At(x, y);
  }

  // The general pixel, also at the edges.
  uint32_t Edge(int64_t px, int64_t py) const {
    const int64_t ix = px >> 16;  // floor: the left and top half-pixel bands read -1 and 0
    const int64_t iy = py >> 16;
    const int64_t fx = px & 0xFFFF;
    const int64_t fy = py & 0xFFFF;
    const int64_t wx0 = 65536 - fx;  // ceil(u) - u, or 1 when u is whole
    const int64_t wy0 = 65536 - fy;
    const int64_t w00 = (wx0 * wy0) >> 16;
    const int64_t w10 = (fx * wy0) >> 16;
    const int64_t w01 = (wx0 * fy) >> 16;
    const int64_t w11 = 65536 - w00 - w10 - w01;
    const uint32_t p00 = Read(ix, iy), p10 = Read(ix + 1, iy), p01 = Read(ix, iy + 1), p11 = Read(ix + 1, iy + 1);
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      int64_t sum = w00 * ((p00 >> shift) & 0xFF) + w10 * ((p10 >> shift) & 0xFF) +
                    w01 * ((p01 >> shift) & 0xFF) + w11 * ((p11 >> shift) & 0xFF);
      sum = std::clamp<int64_t>(sum, 0, int64_t{255} * 65536);
      result |= static_cast<uint32_t>(sum >> 16) << shift;
    }
    return result;
  }

  // All four samples inside. The weights are never negative (w11 >= fx * fy >> 16) and sum to
  // 65536, so every channel sum stays within 255 * 65536: no clamp, and two channels share one
  // 64-bit product without carrying into each other.
  void Inside(int64_t px, int64_t py, int64_t stepX, int64_t stepY, uint32_t* out, int64_t count) const {
    for (int64_t i = 0; i < count; ++i, px += stepX, py += stepY) {
      const int64_t ix = px >> 16;
      const int64_t iy = py >> 16;
      const uint64_t fx = static_cast<uint64_t>(px & 0xFFFF);
      const uint64_t fy = static_cast<uint64_t>(py & 0xFFFF);
      const uint64_t wx0 = 65536 - fx;
      const uint64_t wy0 = 65536 - fy;
      const uint64_t w00 = (wx0 * wy0) >> 16;
      const uint64_t w10 = (fx * wy0) >> 16;
      const uint64_t w01 = (wx0 * fy) >> 16;
      const uint64_t w11 = 65536 - w00 - w10 - w01;
      uint32_t p00, p10, p01, p11;
      source.Quad(ix, iy, p00, p10, p01, p11);
      const uint64_t br = Spread(p00) * w00 + Spread(p10) * w10 + Spread(p01) * w01 + Spread(p11) * w11;
      const uint64_t ga =
          Spread(p00 >> 8) * w00 + Spread(p10 >> 8) * w10 + Spread(p01 >> 8) * w01 + Spread(p11 >> 8) * w11;
      out[i] = static_cast<uint32_t>((br >> 16) & 0xFF) | (static_cast<uint32_t>((br >> 48) & 0xFF) << 16) |
               (static_cast<uint32_t>((ga >> 16) & 0xFF) << 8) | (static_cast<uint32_t>((ga >> 48) & 0xFF) << 24);
    }
  }

  // Columns i0 .. i1 - 1 of a row of the given width; out points at column 0.
  void Run(int64_t px, int64_t py, int64_t stepX, int64_t stepY, int32_t width, uint32_t* out, int64_t i0,
           int64_t i1) const {
    // Columns where any sample may lie inside (-1 <= floor <= side - 1), and where all four do.
    int64_t ax0, ax1, ay0, ay1, ix0, ix1, iy0, iy1;
    LinearRange(px, stepX, -65536, int64_t{sw} * 65536, width, ax0, ax1);
    LinearRange(py, stepY, -65536, int64_t{sh} * 65536, width, ay0, ay1);
    LinearRange(px, stepX, 0, int64_t{sw - 1} * 65536, width, ix0, ix1);
    LinearRange(py, stepY, 0, int64_t{sh - 1} * 65536, width, iy0, iy1);
    int64_t anyFirst = std::max(ax0, ay0), anyLast = std::min(ax1, ay1);
    if (anyFirst >= anyLast) anyFirst = anyLast = 0;
    int64_t inFirst = std::max({ix0, iy0, anyFirst}), inLast = std::min({ix1, iy1, anyLast});
    if (inFirst >= inLast) inFirst = inLast = anyFirst;
    auto clip = [&](int64_t v) { return std::clamp(v, i0, i1); };
    const int64_t a0 = clip(anyFirst), n0 = clip(inFirst), n1 = clip(inLast), a1 = clip(anyLast);
    for (int64_t i = i0; i < a0; ++i) out[i] = fill;
    for (int64_t i = a0; i < n0; ++i) out[i] = Edge(px + i * stepX, py + i * stepY);
    Inside(px + n0 * stepX, py + n0 * stepY, stepX, stepY, out + n0, n1 - n0);
    for (int64_t i = n1; i < a1; ++i) out[i] = Edge(px + i * stepX, py + i * stepY);
    for (int64_t i = a1; i < i1; ++i) out[i] = fill;
  }
};

// Everything a row of the turned image needs: v = (i + 0.5, j + 0.5) - Cd turned by -theta
// with the products (a >> 8) * (b >> 8); since i * 65536 is a multiple of 256, v >> 8 grows by
// 256 per column and the products step exactly.
template <class Source>
struct SRotationPlan {
  SRotationRow<Source> row;
  int64_t cdy, csx, csy, cs8, ss8, nss8, vx8Start;
  int32_t width;

  SRotationPlan(const Source& source, uint32_t fill, int32_t sourceOffsetX, int32_t sourceOffsetY,
                const SSize& canvas, const SRotatedGeometry& g)
      : row{source, fill, source.Width(), source.Height()} {
    const int64_t halfW = int64_t{canvas.width} * 32768;
    const int64_t halfH = int64_t{canvas.height} * 32768;
    const int64_t cdx = halfW + int64_t{g.offsetX} * 65536;
    cdy = halfH + int64_t{g.offsetY} * 65536;
    csx = halfW + int64_t{sourceOffsetX} * 65536;
    csy = halfH + int64_t{sourceOffsetY} * 65536;
    cs8 = int64_t{g.cosine} >> 8;
    ss8 = int64_t{g.sine} >> 8;
    nss8 = (-int64_t{g.sine}) >> 8;
    vx8Start = (32768 - cdx) >> 8;
    width = g.width;
  }

  // Columns i0 .. i1 - 1 of row j; out points at the row's column 0.
  void Rotate(int32_t j, uint32_t* out, int64_t i0, int64_t i1) const {
    const int64_t vy8 = (int64_t{j} * 65536 + 32768 - cdy) >> 8;
    const int64_t px = csx + cs8 * vx8Start + ss8 * vy8 - 32768;  // u = p - 0.5
    const int64_t py = csy + nss8 * vx8Start + cs8 * vy8 - 32768;
    row.Run(px, py, cs8 * 256, nss8 * 256, width, out, i0, i1);
  }
};

// Writes one band of tile rows (the pixels of the band's rows, store.Width() apart) into the
// store: a tile whose pixels, overhang included, are all one value only takes that value as its
// fill (as Compact leaves it); any other tile is committed and its pixels copied.
bool BandToStore(const uint32_t* band, int32_t tileRow, CBlockVMTC& store) {
  const int32_t tw = store.TileWidth();
  const int32_t th = store.TileHeight();
  const int32_t width = store.Width();
  const int32_t h = std::min(th, store.Height() - tileRow * th);
  for (int32_t column = 0; column < store.TilesAcross(); ++column) {
    const int32_t x0 = column * tw;
    const int32_t w = std::min(tw, width - x0);
    STileInfo* t = store.GetTile(column, tileRow, false);
    if (t == nullptr) return false;
    const uint32_t v = band[x0];
    bool uniform = !t->committed && ((w == tw && h == th) || v == t->fill);  // the overhang keeps the fill
    for (int32_t y = 0; uniform && y < h; ++y) {
      const uint32_t* p = band + int64_t{y} * width + x0;
      for (int32_t x = 0; x < w; ++x) {
        if (p[x] != v) {
          uniform = false;
          break;
        }
      }
    }
    if (uniform) {
      t->fill = v;
      continue;
    }
    t = store.GetTile(column, tileRow, true);
    if (t == nullptr) return false;
    for (int32_t y = 0; y < h; ++y)
      std::memcpy(t->block + size_t{4} * static_cast<size_t>(y * tw), band + int64_t{y} * width + x0,
                  size_t{4} * static_cast<size_t>(w));
  }
  return true;
}

}  // namespace

bool RotateImageBilinear(const TMTC& source, uint32_t fill, int32_t sourceOffsetX, int32_t sourceOffsetY,
                         const SSize& canvas, const SRotatedGeometry& g, TMTC& dest) {
  if (dest.Width() != g.width || dest.Height() != g.height) return false;
  const SFlatSource flat(source);
  const SRotationPlan<SFlatSource> plan(flat, fill, sourceOffsetX, sourceOffsetY, canvas, g);
  for (int32_t j = 0; j < g.height; ++j) plan.Rotate(j, dest.Pixel(0, j), 0, g.width);
  return true;
}

std::unique_ptr<CLayerData> MakeRotatedLayer(const SSize& canvas, const CLayerData& layer, double degrees) {
  const CBlockVMTC* store = layer.Store();
  if (store == nullptr) return nullptr;
  SRotatedGeometry g;
  if (!RotatedLayerGeometry(canvas, store->Width(), store->Height(), layer.offsetX, layer.offsetY, degrees, g))
    return nullptr;
  std::unique_ptr<CLayerData> result = NewLayerLike(layer, g.width, g.height, g.offsetX, g.offsetY);
  if (!result) return nullptr;
  result->canvasWidth = canvas.width;
  result->canvasHeight = canvas.height;
  // The turned pixels go into the new store one band of tile rows at a time.
  CBlockVMTC& dest = *result->Store();
  const int32_t th = dest.TileHeight();
  std::vector<uint32_t> band;
  try {
    band.resize(size_t{static_cast<uint32_t>(g.width)} * static_cast<size_t>(th));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  const STiledSource source(*store);
  const SRotationPlan<STiledSource> plan(source, store->DefaultFill(), layer.offsetX, layer.offsetY, canvas, g);
  for (int32_t tileRow = 0; tileRow < dest.TilesDown(); ++tileRow) {
    const int32_t y0 = tileRow * th;
    const int32_t h = std::min(th, g.height - y0);
    // Blocks of columns across the band keep the source rows they read in the cache.
    for (int64_t i0 = 0; i0 < g.width; i0 += kRotationBlock) {
      const int64_t i1 = std::min<int64_t>(i0 + kRotationBlock, g.width);
      for (int32_t y = 0; y < h; ++y) plan.Rotate(y0 + y, band.data() + int64_t{y} * g.width, i0, i1);
    }
    if (!BandToStore(band.data(), tileRow, dest)) return nullptr;
  }
  dest.UpdateContentRects();
  result->UpdateThumbnail();
  return result;
}

// ---------------------------------------------------------------------------------------------
// Commands

bool TPaper::ApplyLayerCommand(TFlowImage* flow, int32_t index, bool record, uint8_t code) {
  auto check = [&] {
    return IsValidLayerIndex(index) && code >= kUndoFlipLayerHorizontal && code <= kUndoInvertLayerAlpha &&
           GetLayer(index)->Store() != nullptr;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData* layer = GetLayer(index);
    if (flow != nullptr) SyncFlowImage(flow, index, false);
    if (!ApplyReversibleCode(*layer, code)) {
      ShowWarning(kLayerCommandFailedText);
      return false;
    }
    static constexpr uint8_t kEvent[5] = {32, 33, 35, 34, 0};
    const uint8_t event = kEvent[code - kUndoFlipLayerHorizontal];
    if (event != 0) {
      command.Record([&](CEventMngr& events) {
        events.writeLayerOp(static_cast<int16_t>(index), static_cast<int16_t>(index), event);
      });
    }
    command.Undo([&] {
      return PushLayerRectUndo(*layer, SRectWH{0, 0, layer->StoreWidth(), layer->StoreHeight()}, code);
    });
    SetModified(true);
    RedrawAll(true);
    layer->UpdateThumbnail();
    UpdateThumbnailsRect(false, index, SRectWH{0, 0, canvasWidth, canvasHeight});
    if (flow != nullptr) CommitFlowImage(flow, index, false);
    return true;
  });
}

bool TPaper::FlipLayerHorizontal(TFlowImage* flow, int32_t index, bool record) {
  return ApplyLayerCommand(flow, index, record, kUndoFlipLayerHorizontal);
}
bool TPaper::FlipLayerVertical(TFlowImage* flow, int32_t index, bool record) {
  return ApplyLayerCommand(flow, index, record, kUndoFlipLayerVertical);
}
bool TPaper::InvertLayerColors(TFlowImage* flow, int32_t index, bool record) {
  return ApplyLayerCommand(flow, index, record, kUndoInvertLayerColors);
}
bool TPaper::RotateLayer180(TFlowImage* flow, int32_t index, bool record) {
  return ApplyLayerCommand(flow, index, record, kUndoRotateLayer180);
}

bool TPaper::ReplaceRebuiltLayer(TFlowImage* flow, int32_t index, std::unique_ptr<CLayerData> built,
                                 PaperCommand& command, const std::function<void(CEventMngr&)>& write) {
  if (!built) return false;
  ReplaceWithFitted(SSize{canvasWidth, canvasHeight}, built);
  CLayerData* now = built.get();
  std::unique_ptr<CLayerData> former = Layers().Replace(index, built);
  if (!former) return false;
  Layers().EnsureDepthArray(true);
  command.Record(write);
  CLayerData* old = former.get();
  if (command.Undo([&] { return PushRebuildUndo(old, *now, index); })) (void)former.release();
  former.reset();
  SetModified(true);
  if (flow != nullptr) SyncFlowImage(flow, index, true);
  RefreshLayerView(index);
  return true;
}

bool TPaper::RotateLayer90(TFlowImage* flow, int32_t index, bool record, bool clockwise) {
  auto check = [&] { return IsValidLayerIndex(index) && GetLayer(index)->Store() != nullptr; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    return ReplaceRebuiltLayer(
        flow, index, MakeRotated90Layer(SSize{canvasWidth, canvasHeight}, *GetLayer(index), clockwise), command,
        [&](CEventMngr& events) {
          events.writeLayerOp(static_cast<int16_t>(index), static_cast<int16_t>(index), clockwise ? 36 : 37);
        });
  });
}

bool TPaper::RotateLayerFree(TFlowImage* flow, int32_t index, bool record, float degrees) {
  auto check = [&] {
    SRotatedGeometry g;
    const CLayerData* layer = GetLayer(index);
    return layer != nullptr && layer->Store() != nullptr &&
           RotatedLayerGeometry(SSize{canvasWidth, canvasHeight}, layer->StoreWidth(), layer->StoreHeight(),
                                layer->offsetX, layer->offsetY, degrees, g);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    return ReplaceRebuiltLayer(flow, index,
                               MakeRotatedLayer(SSize{canvasWidth, canvasHeight}, *GetLayer(index), degrees),
                               command, [&](CEventMngr& events) {
                                 int32_t bits = 0;
                                 std::memcpy(&bits, &degrees, sizeof bits);
                                 events.writeLayerOpEx(static_cast<int16_t>(index), 0, 38, 0, bits);
                               });
  });
}

// ---------------------------------------------------------------------------------------------
// Fitting a store to its content

std::unique_ptr<CLayerData> FitStoreToContent(const SSize& canvas, CLayerData& layer) {
  CBlockVMTC* store = layer.Store();
  if (store == nullptr) return nullptr;
  store->Compact();
  TRect bounds{0, 0, canvas.width, canvas.height};
  TRect content{0, 0, 0, 0};
  if (BlockVisibleBounds(*store, content)) {
    bounds.left = std::min(0, content.left - layer.offsetX);
    bounds.top = std::min(0, content.top - layer.offsetY);
    bounds.right = std::max(canvas.width, content.right - layer.offsetX);
    bounds.bottom = std::max(canvas.height, content.bottom - layer.offsetY);
  }
  const int32_t width = bounds.right - bounds.left;
  const int32_t height = bounds.bottom - bounds.top;
  if ((width + 31) / 32 == (store->Width() + 31) / 32 && (height + 31) / 32 == (store->Height() + 31) / 32)
    return nullptr;  // already fitted: the same layer
  std::unique_ptr<CLayerData> fitted = NewLayerLike(layer, width, height, -bounds.left, -bounds.top);
  if (!fitted) return nullptr;
  fitted->canvasWidth = canvas.width;
  fitted->canvasHeight = canvas.height;
  TPoint at{0, 0};
  SRectWH part{bounds.left + layer.offsetX, bounds.top + layer.offsetY, width, height};
  if (!fitted->Store()->CopyFrom(*store, at, part)) return nullptr;
  fitted->Store()->Compact();
  fitted->UpdateThumbnail();
  return fitted;
}

bool ReplaceWithFitted(const SSize& canvas, std::unique_ptr<CLayerData>& layer) {
  if (!layer) return false;
  std::unique_ptr<CLayerData> fitted = FitStoreToContent(canvas, *layer);
  if (!fitted) return false;
  layer = std::move(fitted);
  return true;
}

}  // namespace tf

namespace tf {

// ---------------------------------------------------------------------------------------------
// Scaling

CScaleLayerImage::CScaleLayerImage(CBlockVMTC* source, CBlockVMTC* dest) : source_(source), dest_(dest) {
  sourceSize_ = SSize{source != nullptr ? source->Width() : 0, source != nullptr ? source->Height() : 0};
  destSize_ = SSize{dest != nullptr ? dest->Width() : 0, dest != nullptr ? dest->Height() : 0};
}

const uint8_t* CScaleLayerImage::SourcePixel(int32_t x, int32_t y) {
  return reinterpret_cast<const uint8_t*>(source_->WritePtrClamped(x, y));
}

uint8_t* CScaleLayerImage::DestPixel(int32_t x, int32_t y) {
  return reinterpret_cast<uint8_t*>(dest_->WritePtrClamped(x, y));
}

bool ScaleStore(CBlockVMTC& source, CBlockVMTC& dest) {
  if (!source.IsValid() || !dest.IsValid()) return false;
  CScaleLayerImage scaler(&source, &dest);
  const bool done =
      scaler.Scale(SRectWH{0, 0, source.Width(), source.Height()}, SRectWH{0, 0, dest.Width(), dest.Height()});
  dest.Compact();
  return done;
}

bool ScaledLayerSizeValid(int32_t sourceWidth, int32_t sourceHeight, int32_t width, int32_t height) {
  return sourceWidth >= 1 && sourceHeight >= 1 && sourceWidth <= kMaxScaleSourceSide &&
         sourceHeight <= kMaxScaleSourceSide && width >= 1 && height >= 1 && width <= kMaxRotatedSide &&
         height <= kMaxRotatedSide;
}

std::unique_ptr<CLayerData> MakeScaledLayer(const SSize& canvas, const CLayerData& layer, int32_t width,
                                            int32_t height) {
  const CBlockVMTC* store = layer.Store();
  if (store == nullptr || canvas.width < 1 || canvas.height < 1 ||
      !ScaledLayerSizeValid(store->Width(), store->Height(), width, height))
    return nullptr;
  const int32_t ox = static_cast<int32_t>(int64_t{width} * layer.offsetX / store->Width());
  const int32_t oy = static_cast<int32_t>(int64_t{height} * layer.offsetY / store->Height());
  const int32_t storeWidth = ox + std::max(canvas.width, width - ox);
  const int32_t storeHeight = oy + std::max(canvas.height, height - oy);
  if (storeWidth > kMaxRotatedSide || storeHeight > kMaxRotatedSide) return nullptr;
  // The area averaging runs over flat copies (the same arithmetic as CScaleLayerImage, without a
  // tile look-up per pixel); the result goes into the new store's rectangle (0, 0, w, h).
  TMTC source(store->Width(), store->Height());
  TMTC scaled(width, height);
  if (!source.IsValid() || !scaled.IsValid() || !layer.CopyStoreToImage(source)) return nullptr;
  CScaleImageTMTC scaler(&source, &scaled);
  if (!scaler.Scale(SRectWH{0, 0, source.Width(), source.Height()}, SRectWH{0, 0, width, height})) return nullptr;
  std::unique_ptr<CLayerData> result = NewLayerLike(layer, storeWidth, storeHeight, ox, oy);
  if (!result) return nullptr;
  result->canvasWidth = canvas.width;
  result->canvasHeight = canvas.height;
  TPoint at{0, 0};
  SRectWH all{0, 0, width, height};
  if (!result->Store()->CopyFromImage(scaled, at, all, 255)) return nullptr;
  result->Store()->Compact();
  result->UpdateThumbnail();
  return result;
}

bool TPaper::ScaleLayer(TFlowImage* flow, int32_t index, bool record, int32_t width, int32_t height) {
  auto check = [&] {
    const CLayerData* layer = GetLayer(index);
    return layer != nullptr && layer->Store() != nullptr &&
           ScaledLayerSizeValid(layer->StoreWidth(), layer->StoreHeight(), width, height);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    return ReplaceRebuiltLayer(
        flow, index, MakeScaledLayer(SSize{canvasWidth, canvasHeight}, *GetLayer(index), width, height), command,
        [&](CEventMngr& events) { events.writeLayerOpEx(static_cast<int16_t>(index), 0, 39, width, height); });
  });
}

bool TPaper::PushRebuildUndo(CLayerData* former, const CLayerData& now, int32_t index) {
  CUndoMngrEx* undo = UndoMngr();
  if (undo == nullptr) return PushUndo(former, kUndoRebuildLayer, 0, 0, now.id, index);
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
  if (!record) return false;
  record->SetValues(true, now.id, kUndoCategoryLayers, kUndoRebuildLayer, 0, 0, now.id, index);
  record->SetLayerIndex(index);
  record->SetRect(SRectWH{0, 0, now.StoreWidth(), now.StoreHeight()});
  if (!record->SetHeld(former)) return false;
  if (undo->PushRecord(record)) return true;
  if (record) {
    std::unique_ptr<CUndoHeld> slot = record->ReleaseHeldSlot();
    if (slot) slot->Forget();  // the former layer stays the caller's
  }
  return false;
}

}  // namespace tf
