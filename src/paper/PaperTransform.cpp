// TPaper: the layer transforms: mirror, invert, turn by 180 and 90 degrees and by any angle.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

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

// The undo record of a rebuilt layer: it names the layer now in the stack and holds the former
// one. On true the undo owns the former layer.
bool PushRebuildUndo(TPaper& paper, CLayerData* former, const CLayerData& now, int32_t index) {
  CUndoMngrEx* undo = paper.UndoMngr();
  if (undo == nullptr) return paper.PushUndo(former, kUndoRebuildLayer, 0, 0, now.id, index);
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

bool RotateImageBilinear(const TMTC& source, uint32_t fill, int32_t sourceOffsetX, int32_t sourceOffsetY,
                         const SSize& canvas, const SRotatedGeometry& g, TMTC& dest) {
  const int32_t sw = source.Width();
  const int32_t sh = source.Height();
  if (dest.Width() != g.width || dest.Height() != g.height) return false;
  const int64_t s = g.sine;
  const int64_t c = g.cosine;
  const int64_t halfW = int64_t{canvas.width} * 32768;
  const int64_t halfH = int64_t{canvas.height} * 32768;
  const int64_t cdx = halfW + int64_t{g.offsetX} * 65536;
  const int64_t cdy = halfH + int64_t{g.offsetY} * 65536;
  const int64_t csx = halfW + int64_t{sourceOffsetX} * 65536;
  const int64_t csy = halfH + int64_t{sourceOffsetY} * 65536;
  // v = (i + 0.5, j + 0.5) - Cd; since i * 65536 is a multiple of 256, v >> 8 grows by 256 per
  // column and the products step exactly.
  const int64_t cs8 = c >> 8;
  const int64_t ss8 = s >> 8;
  const int64_t nss8 = (-s) >> 8;
  auto read = [&](int64_t x, int64_t y) -> uint32_t {
    if (x < 0 || y < 0 || x >= sw || y >= sh) return fill;
    return source.GetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
  };
  for (int32_t j = 0; j < g.height; ++j) {
    const int64_t vy8 = (int64_t{j} * 65536 + 32768 - cdy) >> 8;
    const int64_t vx8Start = (32768 - cdx) >> 8;
    int64_t px = csx + cs8 * vx8Start + ss8 * vy8 - 32768;  // u = p - 0.5
    int64_t py = csy + nss8 * vx8Start + cs8 * vy8 - 32768;
    const int64_t stepX = cs8 * 256;
    const int64_t stepY = nss8 * 256;
    uint32_t* out = dest.Pixel(0, j);
    for (int32_t i = 0; i < g.width; ++i, px += stepX, py += stepY) {
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
      uint32_t p00, p10, p01, p11;
      if (ix >= 0 && iy >= 0 && ix + 1 < sw && iy + 1 < sh) {
        const uint32_t* row0 = source.Pixel(static_cast<int32_t>(ix), static_cast<int32_t>(iy));
        const uint32_t* row1 = source.Pixel(static_cast<int32_t>(ix), static_cast<int32_t>(iy + 1));
        p00 = row0[0];
        p10 = row0[1];
        p01 = row1[0];
        p11 = row1[1];
      } else {
        p00 = read(ix, iy);
        p10 = read(ix + 1, iy);
        p01 = read(ix, iy + 1);
        p11 = read(ix + 1, iy + 1);
      }
      uint32_t result = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        int64_t sum = w00 * ((p00 >> shift) & 0xFF) + w10 * ((p10 >> shift) & 0xFF) +
                      w01 * ((p01 >> shift) & 0xFF) + w11 * ((p11 >> shift) & 0xFF);
        sum = std::clamp<int64_t>(sum, 0, int64_t{255} * 65536);
        result |= static_cast<uint32_t>(sum >> 16) << shift;
      }
      out[i] = result;
    }
  }
  return true;
}

std::unique_ptr<CLayerData> MakeRotatedLayer(const SSize& canvas, const CLayerData& layer, double degrees) {
  const CBlockVMTC* store = layer.Store();
  if (store == nullptr) return nullptr;
  SRotatedGeometry g;
  if (!RotatedLayerGeometry(canvas, store->Width(), store->Height(), layer.offsetX, layer.offsetY, degrees, g))
    return nullptr;
  TMTC source(store->Width(), store->Height());
  if (!source.IsValid() || !layer.CopyStoreToImage(source)) return nullptr;
  TMTC turned(g.width, g.height);
  if (!turned.IsValid()) return nullptr;
  if (!RotateImageBilinear(source, store->DefaultFill(), layer.offsetX, layer.offsetY, canvas, g, turned))
    return nullptr;
  std::unique_ptr<CLayerData> result = NewLayerLike(layer, g.width, g.height, g.offsetX, g.offsetY);
  if (!result) return nullptr;
  result->canvasWidth = canvas.width;
  result->canvasHeight = canvas.height;
  TPoint at{0, 0};
  SRectWH all{0, 0, g.width, g.height};
  if (!result->Store()->CopyFromImage(turned, at, all, 255)) return nullptr;
  result->Store()->Compact();
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
  if (command.Undo([&] { return PushRebuildUndo(*this, old, *now, index); })) (void)former.release();
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

}  // namespace tf
