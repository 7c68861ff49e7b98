// TPaper: the canvas commands (turn by 90 degrees, canvas size with an anchor, trim, resolution)
// and the layer stacks they build.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/CanvasLayers.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "platform/Confirm.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Progress.h"
#include "platform/Text.h"
#include "platform/Warning.h"
#include "raster/BlockVMTCRows.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

constexpr int32_t kTileShift = 5;
constexpr int32_t kTileSide = 32;

inline uint32_t* TileAddress(const STileInfo& tile, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(tile.block) + (y & (kTileSide - 1)) * kTileSide + (x & (kTileSide - 1));
}

// Reads pixels of a store, remembering the last tile looked up.
class TileReader {
 public:
  explicit TileReader(const CBlockVMTC& store) : store_(store) {}
  uint32_t At(int32_t x, int32_t y) {
    const int32_t column = x >> kTileShift;
    const int32_t row = y >> kTileShift;
    if (tile_ == nullptr || column != column_ || row != row_) {
      tile_ = store_.GetTile(column, row);
      column_ = column;
      row_ = row;
    }
    return tile_->committed ? *TileAddress(*tile_, x, y) : tile_->fill;
  }

 private:
  const CBlockVMTC& store_;
  const STileInfo* tile_ = nullptr;
  int32_t column_ = -1;
  int32_t row_ = -1;
};

// The one fill every tile of the store's rectangle reads as, when all are uncommitted and equal.
bool UniformFill(const CBlockVMTC& store, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 uint32_t& fill) {
  bool first = true;
  for (int32_t row = top >> kTileShift; row <= (bottom - 1) >> kTileShift; ++row) {
    for (int32_t column = left >> kTileShift; column <= (right - 1) >> kTileShift; ++column) {
      // Peeks: a tile never looked at before stays so.
      if (column < 0 || row < 0 || column >= store.TilesAcross() || row >= store.TilesDown()) return false;
      const int32_t index = column + row * store.TilesAcross();
      if (store.TileCommittedAt(index)) return false;
      const uint32_t tileFill = store.TileFillAt(index);
      if (first) {
        fill = tileFill;
        first = false;
      } else if (tileFill != fill) {
        return false;
      }
    }
  }
  return !first;
}

void FormatWord(const char* format, const char* word, std::string& out) {
  std::vector<char> buffer(std::string(format).size() + std::string(word).size() + 1);
  std::snprintf(buffer.data(), buffer.size(), format, word);
  out = buffer.data();
}

void ShowCanvasFailure(const char* format, const char* word) {
  std::string text;
  FormatWord(format, word, text);
  ShowWarning(text);
}

// A new layer for a rebuilt stack: index, own undo, blend mode, visibility and opacity of the
// source, a store of the size filled with the mode's neutral colour (alpha 0); with keep all
// attributes, else the name only.
std::unique_ptr<CLayerData> NewStackLayer(const CLayerData& source, int32_t index, int64_t width, int64_t height,
                                          bool keepAttributes) {
  if (!StoreSizeAddressable(width, height)) return nullptr;
  auto layer = std::make_unique<CLayerData>(index, source.HasOwnUndo());
  if (!layer->Init(static_cast<int32_t>(width), static_cast<int32_t>(height), source.blendMode)) return nullptr;
  layer->visible = source.visible;
  layer->opacity = source.opacity;
  if (keepAttributes) {
    layer->CopyAttributes(source);
  } else {
    layer->name = source.name;
  }
  return layer;
}

// The new layer goes into the stack at index i, its thumbnail sized as the old stack's.
bool PutStackLayer(CLayerMngr& stack, const CLayerMngr& old, std::unique_ptr<CLayerData>& layer, int32_t i) {
  if (old.ThumbnailWidth() > 0 && old.ThumbnailHeight() > 0)
    layer->SetThumbnailSize(old.ThumbnailWidth(), old.ThumbnailHeight());
  layer->UpdateThumbnail();
  return stack.InsertAt(i, layer) == i;
}

std::unique_ptr<CLayerMngr> NewStack(const CLayerMngr& old, const SSize& size, bool keepCounter) {
  auto stack = std::make_unique<CLayerMngr>(24);
  if (keepCounter) stack->SetNameCounter(old.NameCounter());
  stack->SetCanvasSize(size.width, size.height);
  stack->SetThumbnailSize(old.ThumbnailWidth(), old.ThumbnailHeight());
  return stack;
}

void FinishStack(CLayerMngr& stack, const CLayerMngr& old) {
  stack.Renumber();
  stack.SetActive(old.ActiveIndex());
  stack.EnsureDepthArray(true);
}

// The union of the new canvas (old canvas coordinates, left top right bottom) and the layer's
// store rectangle, in 64 bits.
struct SUnion {
  int64_t left, top, right, bottom;
  int64_t Width() const { return right - left; }
  int64_t Height() const { return bottom - top; }
};
SUnion ResizeUnion(const CLayerData& layer, const TPoint& d, const SSize& size) {
  const int64_t storeLeft = -int64_t{layer.offsetX};
  const int64_t storeTop = -int64_t{layer.offsetY};
  const int64_t storeRight = storeLeft + layer.StoreWidth();
  const int64_t storeBottom = storeTop + layer.StoreHeight();
  const int64_t left = -int64_t{d.x};
  const int64_t top = -int64_t{d.y};
  return SUnion{std::min(left, storeLeft), std::min(top, storeTop), std::max(left + size.width, storeRight),
                std::max(top + size.height, storeBottom)};
}

// Builds (once) a record of a layer-manager exchange and hands it to the document undo. On true
// the undo owns held (and extra); on false both stay the caller's.
bool PushManagerRecord(TPaper& paper, uint8_t code, std::unique_ptr<CLayerMngr>& held,
                       std::unique_ptr<CMaskMngr>* extra, int32_t value1, int32_t value2, int32_t value3,
                       int32_t value4, const SRectWH& rect) {
  CUndoMngrEx* undo = paper.UndoMngr();
  if (undo == nullptr) {
    if (!paper.PushUndo(held.get(), code, value1, value2, value3, value4)) return false;
    (void)held.release();
    return true;
  }
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
  if (!record) return false;
  const CLayerData* active = paper.GetActiveLayer();
  record->SetValues(true, active != nullptr ? active->id : -1, kUndoCategoryLayers, code, value1, value2, value3,
                    value4);
  record->SetLayerIndex(paper.GetActiveLayerIndex());
  record->SetRect(rect);
  if (held && !record->SetHeld(held.get())) return false;
  if (extra != nullptr && *extra && !record->SetHeldExtra(extra->get())) {
    (void)record->TakeHeld<CLayerMngr>();
    return false;
  }
  if (undo->PushRecord(record)) {
    (void)held.release();
    if (extra != nullptr) (void)extra->release();
    return true;
  }
  if (record) {
    (void)record->TakeHeld<CLayerMngr>();
    (void)record->TakeHeldExtra<CMaskMngr>();
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Building blocks

bool StoreSizeAddressable(int64_t width, int64_t height) {
  if (width < 1 || height < 1 || width > kMaxStoreSide || height > kMaxStoreSide) return false;
  const int64_t tiles = ((width + kTileSide - 1) / kTileSide) * ((height + kTileSide - 1) / kTileSide);
  return tiles <= std::numeric_limits<int32_t>::max();
}

TPoint AnchorOffset(const SSize& a, const SSize& b, uint8_t anchor) {
  if (anchor > 8) anchor = 0;
  const int32_t column = anchor / 3;
  const int32_t row = anchor % 3;
  const int32_t dw = a.width - b.width;
  const int32_t dh = a.height - b.height;
  return TPoint{column == 0 ? 0 : (column == 1 ? dw / 2 : dw), row == 0 ? 0 : (row == 1 ? dh / 2 : dh)};
}

std::unique_ptr<CLayerMngr> MakeResizeLayerEx(const CLayerMngr& layers, const TPoint& d, const SSize& size,
                                              bool keepAttributes) {
  try {
    std::unique_ptr<CLayerMngr> stack = NewStack(layers, size, true);
    for (int32_t i = 0; i < layers.Count(); ++i) {
      const CLayerData& old = *layers.Get(i);
      if (old.Store() == nullptr) return nullptr;
      const SUnion u = ResizeUnion(old, d, size);
      std::unique_ptr<CLayerData> layer = NewStackLayer(old, i, u.Width(), u.Height(), keepAttributes);
      if (!layer) return nullptr;
      TPoint at{static_cast<int32_t>(-old.offsetX - u.left), static_cast<int32_t>(-old.offsetY - u.top)};
      SRectWH all{0, 0, old.StoreWidth(), old.StoreHeight()};
      if (!layer->Store()->CopyFrom(*old.Store(), at, all)) return nullptr;
      layer->offsetX = static_cast<int32_t>(-d.x - u.left);
      layer->offsetY = static_cast<int32_t>(-d.y - u.top);
      layer->canvasWidth = size.width;
      layer->canvasHeight = size.height;
      if (!PutStackLayer(*stack, layers, layer, i)) return nullptr;
    }
    FinishStack(*stack, layers);
    return stack;
  } catch (const std::exception&) {
    DebugOut("makeResizeLayerEx: Exception!\n");
    return nullptr;
  }
}

std::unique_ptr<CLayerMngr> MakeResizeLayer(const CLayerMngr& layers, const SRectWH& rect, bool keepAttributes) {
  try {
    const SSize size{rect.width, rect.height};
    std::unique_ptr<CLayerMngr> stack = NewStack(layers, size, false);
    for (int32_t i = 0; i < layers.Count(); ++i) {
      const CLayerData& old = *layers.Get(i);
      if (old.Store() == nullptr) return nullptr;
      std::unique_ptr<CLayerData> layer = NewStackLayer(old, i, size.width, size.height, keepAttributes);
      if (!layer) return nullptr;
      const int64_t x = -int64_t{rect.left} - old.offsetX;
      const int64_t y = -int64_t{rect.top} - old.offsetY;
      // A store lying wholly outside the rectangle leaves the new one neutral.
      if (x < size.width && y < size.height && x + old.StoreWidth() > 0 && y + old.StoreHeight() > 0) {
        TPoint at{static_cast<int32_t>(x), static_cast<int32_t>(y)};
        SRectWH all{0, 0, old.StoreWidth(), old.StoreHeight()};
        if (!layer->Store()->CopyFrom(*old.Store(), at, all)) return nullptr;
      }
      layer->offsetX = 0;
      layer->offsetY = 0;
      layer->canvasWidth = size.width;
      layer->canvasHeight = size.height;
      if (!PutStackLayer(*stack, layers, layer, i)) return nullptr;
    }
    FinishStack(*stack, layers);
    return stack;
  } catch (const std::exception&) {
    DebugOut("makeResizeLayer: Exception!\n");
    return nullptr;
  }
}

SZoomGeometry ZoomGeometry(const CLayerData& layer, const SSize& size) {
  SZoomGeometry g;
  if (layer.canvasWidth < 1 || layer.canvasHeight < 1) return g;
  const float sx = static_cast<float>(size.width) / static_cast<float>(layer.canvasWidth);
  const float sy = static_cast<float>(size.height) / static_cast<float>(layer.canvasHeight);
  g.width = static_cast<int64_t>(std::floor(static_cast<double>(layer.StoreWidth() * sx) + 0.5));
  g.height = static_cast<int64_t>(std::floor(static_cast<double>(layer.StoreHeight() * sy) + 0.5));
  // The store covers the canvas whatever single precision made of the product.
  g.width = std::max<int64_t>(g.width, size.width);
  g.height = std::max<int64_t>(g.height, size.height);
  int64_t ox = static_cast<int64_t>(std::floor(static_cast<double>(layer.offsetX * sx) + 0.5));
  int64_t oy = static_cast<int64_t>(std::floor(static_cast<double>(layer.offsetY * sy) + 0.5));
  ox -= std::max<int64_t>(ox + size.width - g.width, 0);
  oy -= std::max<int64_t>(oy + size.height - g.height, 0);
  g.offsetX = static_cast<int32_t>(std::clamp<int64_t>(ox, 0, g.width - size.width));
  g.offsetY = static_cast<int32_t>(std::clamp<int64_t>(oy, 0, g.height - size.height));
  return g;
}

bool ResampleStore(const CBlockVMTC& source, CBlockVMTC& dest, int32_t method) {
  if (method == 1) return ScaleBlockTo(source, dest);
  if (method != 2 || !source.IsValid() || !dest.IsValid()) return false;
  // Area averaging over flat copies (the arithmetic of CScaleLayerImage without committing the
  // source's tiles), written back sparsely.
  TMTC from(source.Width(), source.Height());
  TMTC to(dest.Width(), dest.Height());
  if (!from.IsValid() || !to.IsValid() || !source.CopyAllToImage(from, 0, 0, 255, false)) return false;
  CScaleImageTMTC scaler(&from, &to);
  if (!scaler.Scale(SRectWH{0, 0, from.Width(), from.Height()}, SRectWH{0, 0, to.Width(), to.Height()}))
    return false;
  if (!PutImageSparse(dest, to, TPoint{0, 0}, SRectWH{0, 0, to.Width(), to.Height()})) return false;
  dest.Compact();
  return true;
}

std::unique_ptr<CLayerMngr> MakeZoomLayer(const CLayerMngr& layers, const SSize& size, int32_t method,
                                          bool keepAttributes, WindowHandle owner) {
  if (method != 1 && method != 2) return nullptr;
  try {
    std::unique_ptr<TProgressDlg> progress = CreateProgressDlg(owner, layers.Count(), kResamplingText, "");
    std::unique_ptr<CLayerMngr> stack = NewStack(layers, size, true);
    for (int32_t i = 0; i < layers.Count(); ++i) {
      const CLayerData& old = *layers.Get(i);
      if (old.Store() == nullptr) return nullptr;
      std::string status;
      FormatWord(kProcessingLayerText, Cp932ToUtf8(old.name).c_str(), status);
      ProgressSetStatus(progress.get(), status);
      const SZoomGeometry g = ZoomGeometry(old, size);
      std::unique_ptr<CLayerData> layer = NewStackLayer(old, i, g.width, g.height, keepAttributes);
      if (!layer || !ResampleStore(*old.Store(), *layer->Store(), method)) return nullptr;
      layer->offsetX = g.offsetX;
      layer->offsetY = g.offsetY;
      layer->canvasWidth = size.width;
      layer->canvasHeight = size.height;
      if (!PutStackLayer(*stack, layers, layer, i)) return nullptr;
      ProgressStepBy(progress.get(), 1);
    }
    FinishStack(*stack, layers);
    return stack;
  } catch (const std::exception&) {
    DebugOut("makeZoomLayer: Exception!\n");
    return nullptr;
  }
}

bool TurnStoreInto(const CBlockVMTC& source, CBlockVMTC& dest, bool clockwise) {
  const int32_t sw = source.Width();
  const int32_t sh = source.Height();
  if (!source.IsValid() || !dest.IsValid() || &source == &dest || dest.Width() != sh || dest.Height() != sw)
    return false;
  TileReader reader(source);
  bool done = true;
  for (int32_t row = 0; row < dest.TilesDown() && done; ++row) {
    for (int32_t column = 0; column < dest.TilesAcross(); ++column) {
      const int32_t x0 = column << kTileShift;
      const int32_t y0 = row << kTileShift;
      const int32_t x1 = std::min(x0 + kTileSide, sh);
      const int32_t y1 = std::min(y0 + kTileSide, sw);
      // Destination (x, y) reads source (y, sh - 1 - x) clockwise, (sw - 1 - y, x) otherwise.
      const int32_t sx0 = clockwise ? y0 : sw - y1;
      const int32_t sx1 = clockwise ? y1 : sw - y0;
      const int32_t sy0 = clockwise ? sh - x1 : x0;
      const int32_t sy1 = clockwise ? sh - x0 : x1;
      uint32_t fill = 0;
      if (UniformFill(source, sx0, sy0, sx1, sy1, fill)) {
        STileInfo* tile = dest.GetTile(column, row, false);
        if (!tile->committed) {
          tile->fill = fill;
          continue;
        }
      }
      STileInfo* tile = dest.GetTile(column, row, true);
      if (tile == nullptr) {
        done = false;
        break;
      }
      // A whole destination tile over one whole committed source tile: a 32 x 32 transpose.
      if (x1 - x0 == kTileSide && y1 - y0 == kTileSide && (sx0 & (kTileSide - 1)) == 0 &&
          (sy0 & (kTileSide - 1)) == 0) {
        const STileInfo* from = source.GetTile(sx0 >> kTileShift, sy0 >> kTileShift);
        if (from != nullptr && from->committed) {
          const uint32_t* in = reinterpret_cast<const uint32_t*>(from->block);
          uint32_t* out = reinterpret_cast<uint32_t*>(tile->block);
          for (int32_t j = 0; j < kTileSide; ++j) {
            uint32_t* row = out + j * kTileSide;
            if (clockwise) {
              for (int32_t i = 0; i < kTileSide; ++i) row[i] = in[(kTileSide - 1 - i) * kTileSide + j];
            } else {
              for (int32_t i = 0; i < kTileSide; ++i) row[i] = in[i * kTileSide + (kTileSide - 1 - j)];
            }
          }
          continue;
        }
      }
      for (int32_t y = y0; y < y1; ++y) {
        uint32_t* out = TileAddress(*tile, x0, y);
        if (clockwise) {
          for (int32_t x = x0; x < x1; ++x) *out++ = reader.At(y, sh - 1 - x);
        } else {
          for (int32_t x = x0; x < x1; ++x) *out++ = reader.At(sw - 1 - y, x);
        }
      }
    }
  }
  dest.UpdateContentRects();
  return done;
}

bool PutImageSparse(CBlockVMTC& store, const TMTC& image, const TPoint& at, const SRectWH& source) {
  if (!store.IsValid() || !image.IsValid()) return false;
  TPoint point = at;
  SRectWH rect = source;
  if (!ClipBlit(store.Size(), image.Size(), point, rect)) return true;
  const int32_t left = point.x;
  const int32_t top = point.y;
  const int32_t right = point.x + rect.width;
  const int32_t bottom = point.y + rect.height;
  const int32_t dx = rect.left - point.x;  // image x = store x + dx
  const int32_t dy = rect.top - point.y;
  bool done = true;
  for (int32_t row = top >> kTileShift; row <= (bottom - 1) >> kTileShift && done; ++row) {
    for (int32_t column = left >> kTileShift; column <= (right - 1) >> kTileShift; ++column) {
      STileInfo* tile = store.GetTile(column, row, false);
      const int32_t x0 = std::max(left, tile->pixelX);
      const int32_t y0 = std::max(top, tile->pixelY);
      const int32_t x1 = std::min(right, tile->pixelX + tile->clippedWidth);
      const int32_t y1 = std::min(bottom, tile->pixelY + tile->clippedHeight);
      if (x0 >= x1 || y0 >= y1) continue;
      if (!tile->committed) {
        const uint32_t first = image.GetPixel(x0 + dx, y0 + dy);
        bool uniform = true;
        for (int32_t y = y0; y < y1 && uniform; ++y) {
          const uint32_t* p = reinterpret_cast<const uint32_t*>(image.GetPixelPtr(x0 + dx, y + dy));
          for (int32_t x = x0; x < x1; ++x, ++p) {
            if (*p != first) {
              uniform = false;
              break;
            }
          }
        }
        const bool whole = x0 == tile->pixelX && y0 == tile->pixelY && x1 == tile->pixelX + tile->clippedWidth &&
                           y1 == tile->pixelY + tile->clippedHeight;
        if (uniform && (whole || tile->fill == first)) {
          tile->fill = first;
          continue;
        }
        tile = store.GetTile(column, row, true);
        if (tile == nullptr) {
          done = false;
          break;
        }
      }
      for (int32_t y = y0; y < y1; ++y) {
        const uint32_t* p = reinterpret_cast<const uint32_t*>(image.GetPixelPtr(x0 + dx, y + dy));
        std::copy(p, p + (x1 - x0), TileAddress(*tile, x0, y));
      }
    }
  }
  store.UpdateContentRects();
  return done;
}

// ---------------------------------------------------------------------------------------------
// Shared steps

bool TPaper::CanvasSizeAccepted(int32_t width, int32_t height) const {
  return CanvasSideValid(width) && CanvasSideValid(height) && GetLayerCount() > 0;
}

bool TPaper::HasUnsavedChanges() const {
  if (window_ == nullptr) return false;
  const bool was = window_->SetModified(true);
  window_->SetModified(was);
  return was;
}

bool TPaper::AskChangeWithoutUndo() {
  std::string question;
  FormatWord(kNoUndoQuestionText, kUndoWord, question);
  if (HasUnsavedChanges()) question += std::string("\r") + kSaveFirstText;
  return AskConfirm(question, kButtonsOkCancel) == kResultOk;
}

void TPaper::FinishCanvasChange(TFlowImage* flow) {
  const int32_t active = GetActiveLayerIndex();
  SetModified(true);
  TFlowImage* copy = flow != nullptr ? flow : GetFlowImage();
  if (copy != nullptr) copy->Resize(true);
  RedrawAll(true);
  if (window_ != nullptr) {
    window_->UpdateScrollBars(nullptr);
    window_->RefreshAfterEdit(true, true, true);
  }
  SetActiveLayer(copy, active);
}

bool TPaper::SwapLayerMngr(TFlowImage* flow, int32_t width, int32_t height, std::unique_ptr<CLayerMngr>& layers) {
  if (!layers) return false;
  std::swap(layers_, layers);
  CUndoMngrEx* undo = UndoMngr();
  if (undo != nullptr) undo->SetLayerMngr(layers_.get());
  if (!SetCanvasSize(flow, width, height)) {
    std::swap(layers_, layers);
    if (undo != nullptr) undo->SetLayerMngr(layers_.get());
    layers_->SetCanvasSize(canvasWidth, canvasHeight);
    return false;
  }
  return true;
}

bool TPaper::SwapMaskMngr(int32_t width, int32_t height, std::unique_ptr<CMaskMngr>& masks) {
  CMaskMngr* current = MaskMngr();
  if (current == nullptr || !masks) return false;
  const bool shown = current->HasOutline();
  current->ExchangeContent(*masks);
  current->UpdateAllThumbnails();
  if (shown) current->RebuildOutline(SSize{width, height}, -1);
  UpdateMaskPane();
  return true;
}

bool TPaper::MoveAllMasks(const TPoint& d) {
  CMaskMngr* masks = MaskMngr();
  if (masks == nullptr || masks->GetCount() == 0) return false;
  for (int32_t i = 0; i < masks->GetCount(); ++i) {
    CMaskData* mask = masks->GetMask(i);
    if (mask == nullptr) continue;
    mask->offsetX -= d.x;
    mask->offsetY -= d.y;
    masks->UpdateThumbnail(mask);
  }
  if (masks->HasOutline()) RebuildSelectionOutline();
  return true;
}

// ---------------------------------------------------------------------------------------------
// The turn

bool TPaper::TurnCanvas90(TFlowImage* flow, bool clockwise) {
  const int32_t w = canvasWidth;
  const int32_t h = canvasHeight;
  const int32_t count = GetLayerCount();
  if (count == 0 || w < 1 || h < 1) return false;
  WaitCursor busy;
  std::vector<std::unique_ptr<CBlockVMTC>> turned;
  try {
    // Every turned store first: a failure leaves every layer as it was.
    turned.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const CBlockVMTC* store = GetLayer(i)->Store();
      if (store == nullptr) return false;
      auto next = std::make_unique<CBlockVMTC>();
      if (!next->Create(store->Height(), store->Width()) || !TurnStoreInto(*store, *next, clockwise))
        throw std::bad_alloc();
      next->Compact();
      turned.push_back(std::move(next));
    }
  } catch (const std::bad_alloc&) {
    ShowCanvasFailure(kCanvasOutOfMemoryText, kTurnWord);
    return false;
  } catch (const std::exception&) {
    ShowCanvasFailure(kCanvasExceptionText, kTurnWord);
    return false;
  }
  struct SPlace {
    int32_t offsetX, offsetY;
  };
  std::vector<SPlace> places(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    CLayerData& layer = *GetLayer(i);
    const int32_t sw = layer.StoreWidth();
    const int32_t sh = layer.StoreHeight();
    const int32_t lw = layer.canvasWidth;
    const int32_t lh = layer.canvasHeight;
    places[static_cast<size_t>(i)] = {layer.offsetX, layer.offsetY};
    const int32_t ox = clockwise ? sh - (layer.offsetY + lh) : layer.offsetY;
    const int32_t oy = clockwise ? layer.offsetX : sw - (layer.offsetX + lw);
    turned[static_cast<size_t>(i)] = layer.SwapStore(std::move(turned[static_cast<size_t>(i)]));
    layer.offsetX = ox;
    layer.offsetY = oy;
    layer.canvasWidth = lh;
    layer.canvasHeight = lw;
  }
  if (!SetCanvasSize(flow, h, w)) {
    // The display buffer cannot follow: every layer goes back as it was.
    for (int32_t i = 0; i < count; ++i) {
      CLayerData& layer = *GetLayer(i);
      turned[static_cast<size_t>(i)] = layer.SwapStore(std::move(turned[static_cast<size_t>(i)]));
      layer.offsetX = places[static_cast<size_t>(i)].offsetX;
      layer.offsetY = places[static_cast<size_t>(i)].offsetY;
      layer.canvasWidth = w;
      layer.canvasHeight = h;
    }
    ShowCanvasFailure(kCanvasOutOfMemoryText, kTurnWord);
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    CLayerData& layer = *GetLayer(i);
    layer.UpdateThumbnailSize();
    layer.UpdateThumbnail();
  }
  return true;
}

bool TPaper::RotateCanvas90(TFlowImage* flow, bool clockwise, bool record) {
  auto check = [&] {
    return GetLayerCount() > 0 && CanvasSideValid(canvasWidth) && CanvasSideValid(canvasHeight);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    if (!TurnCanvas90(flow, clockwise)) return false;
    command.Record([&](CEventMngr& events) { events.writePaperOp(clockwise ? 4 : 5); });
    command.Undo([&] {
      std::unique_ptr<CLayerMngr> none;
      return PushManagerRecord(*this, kUndoTurnCanvas90, none, nullptr, GetActiveLayerIndex(), clockwise ? 1 : 0,
                               0, 0, SRectWH{0, 0, canvasWidth, canvasHeight});
    });
    FinishCanvasChange(flow);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Canvas size

bool TPaper::ResizeCanvas(TFlowImage* flow, int32_t width, bool record, bool keepAttributes, uint8_t anchor,
                          int32_t height) {
  const SSize size{width, height};
  auto check = [&] {
    if (!CanvasSizeAccepted(width, height)) return false;
    const TPoint d = AnchorOffset(size, SSize{canvasWidth, canvasHeight}, anchor);
    for (int32_t i = 0; i < GetLayerCount(); ++i) {
      const SUnion u = ResizeUnion(*GetLayer(i), d, size);
      if (!StoreSizeAddressable(u.Width(), u.Height())) return false;
    }
    return true;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const SSize old{canvasWidth, canvasHeight};
    const TPoint d = AnchorOffset(size, old, anchor);
    const bool withUndo = command.Recording() && IsUndoEnabled();
    std::unique_ptr<CLayerMngr> built;
    if (withUndo) built = MakeResizeLayerEx(Layers(), d, size, keepAttributes);
    auto write = [&](CEventMngr& events) {
      events.writeCanvasSize(width, height, keepAttributes ? 1 : 0, anchor);
    };
    if (built) {
      command.Record(write);
      if (!SwapLayerMngr(flow, width, height, built)) return false;
      MoveAllMasks(d);
      const bool pushed = command.Undo([&] {
        return PushManagerRecord(*this, kUndoCanvasSize, built, nullptr, anchor, width, height,
                                 GetActiveLayerIndex(), SRectWH{0, 0, old.width, old.height});
      });
      if (!pushed && command.Recording()) ClearUndo();
      built.reset();
    } else {
      if (withUndo && !AskChangeWithoutUndo()) return false;
      command.Record(write);
      if (!ResizeCanvasInPlace(flow, width, height, d)) return false;
      ClearAllUndo();
    }
    FinishCanvasChange(flow);
    if (masks_ != nullptr) masks_->RefreshThumbnails();
    return true;
  });
}

bool TPaper::ResizeCanvasInPlace(TFlowImage* flow, int32_t width, int32_t height, const TPoint& d) {
  const SSize size{width, height};
  const int32_t count = GetLayerCount();
  if (count == 0 || !CanvasSideValid(width) || !CanvasSideValid(height)) return false;
  int32_t maxWidth = 0;
  int32_t maxHeight = 0;
  if (!GetMaxStoreSize(maxWidth, maxHeight)) return false;
  for (int32_t i = 0; i < count; ++i) {
    const SUnion u = ResizeUnion(*GetLayer(i), d, size);
    if (!StoreSizeAddressable(u.Width(), u.Height())) return false;
  }
  TMTC scratch;
  try {
    if (!scratch.Resize(maxWidth, maxHeight)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!scratch.IsValid()) return false;
  struct SFormer {
    int32_t width, height, offsetX, offsetY, canvasWidth, canvasHeight;
    TPoint at;  // where the old store lies in the new one
  };
  std::vector<SFormer> former;
  former.reserve(static_cast<size_t>(count));
  // Brings a store back from the scratch image at its former size.
  auto restore = [&](CLayerData& layer, const SFormer& f) {
    CBlockVMTC* store = layer.Store();
    bool done = store->Create(f.width, f.height);
    if (done) {
      FillNeutralAll(*store, layer.blendMode);
      done = PutImageSparse(*store, scratch, TPoint{0, 0}, SRectWH{0, 0, f.width, f.height});
      store->Compact();
    }
    layer.offsetX = f.offsetX;
    layer.offsetY = f.offsetY;
    layer.canvasWidth = f.canvasWidth;
    layer.canvasHeight = f.canvasHeight;
    if (!done) DebugOut("TPaper::ResizeCanvasInPlace: a layer could not be given back its store\n");
    return done;
  };
  for (int32_t k = 0; k < count; ++k) {
    CLayerData& layer = *GetLayer(k);
    CBlockVMTC* store = layer.Store();
    if (store == nullptr) return false;
    const SUnion u = ResizeUnion(layer, d, size);
    SFormer f{
        store->Width(),
        store->Height(),
        layer.offsetX,
        layer.offsetY,
        layer.canvasWidth,
        layer.canvasHeight,
        TPoint{static_cast<int32_t>(-layer.offsetX - u.left), static_cast<int32_t>(-layer.offsetY - u.top)}};
    scratch.FillAll(GetBlendModeNeutralColor(layer.blendMode) & 0x00FFFFFFu);
    const bool parked = store->CopyAllToImage(scratch, 0, 0, 255, false);
    bool done = parked && store->Create(static_cast<int32_t>(u.Width()), static_cast<int32_t>(u.Height()));
    if (done) {
      FillNeutralAll(*store, layer.blendMode);
      done = PutImageSparse(*store, scratch, f.at, SRectWH{0, 0, f.width, f.height});
    }
    if (!done) {
      // This layer from the scratch image, the layers before it turned back.
      DebugOutF("TPaper::ResizeCanvasInPlace: layer %d could not be re-created; the document is put back\n", k);
      if (parked) restore(layer, f);
      for (int32_t i = k - 1; i >= 0; --i) {
        CLayerData& back = *GetLayer(i);
        const SFormer& g = former[static_cast<size_t>(i)];
        scratch.FillAll(0);
        TPoint origin{0, 0};
        SRectWH part{g.at.x, g.at.y, g.width, g.height};
        back.Store()->CopyToImage(scratch, origin, part, 255, false);
        restore(back, g);
        back.UpdateThumbnailSize();
        back.UpdateThumbnail();
      }
      layer.UpdateThumbnailSize();
      layer.UpdateThumbnail();
      ShowCommandOutOfMemory();
      return false;
    }
    store->Compact();
    layer.offsetX = static_cast<int32_t>(-d.x - u.left);
    layer.offsetY = static_cast<int32_t>(-d.y - u.top);
    layer.canvasWidth = width;
    layer.canvasHeight = height;
    former.push_back(f);
  }
  if (!SetCanvasSize(flow, width, height)) {
    for (int32_t i = count - 1; i >= 0; --i) {
      CLayerData& back = *GetLayer(i);
      const SFormer& g = former[static_cast<size_t>(i)];
      scratch.FillAll(0);
      TPoint origin{0, 0};
      SRectWH part{g.at.x, g.at.y, g.width, g.height};
      back.Store()->CopyToImage(scratch, origin, part, 255, false);
      restore(back, g);
    }
    return false;
  }
  UpdateAllLayerThumbnails();
  for (int32_t i = 0; i < count; ++i) GetLayer(i)->UpdateThumbnailSize();
  UpdateAllLayerThumbnails();
  MoveAllMasks(d);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Trim

bool TPaper::TrimCanvas(TFlowImage* flow, int32_t layerIndex, bool keepAttributes, bool record,
                        const SRectWH& rect) {
  auto check = [&] {
    // The rectangle's origin stays where positions inside int32 reach it.
    return CanvasSizeAccepted(rect.width, rect.height) && std::abs(int64_t{rect.left}) <= kMaxStoreSide &&
           std::abs(int64_t{rect.top}) <= kMaxStoreSide;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    const SSize old{canvasWidth, canvasHeight};
    std::unique_ptr<CLayerMngr> built = MakeResizeLayer(Layers(), rect, keepAttributes);
    if (!built || !SwapLayerMngr(flow, rect.width, rect.height, built)) {
      ShowCanvasFailure(kCanvasOutOfMemoryText, kTrimWord);
      return false;
    }
    MoveAllMasks(TPoint{-rect.left, -rect.top});
    command.Record([&](CEventMngr& events) {
      events.writeTrimCanvas(static_cast<int16_t>(layerIndex), keepAttributes ? 1 : 0, rect);
    });
    const bool pushed = command.Undo([&] {
      return PushManagerRecord(*this, kUndoTrimCanvas, built, nullptr, rect.left, rect.top, rect.width,
                               rect.height, SRectWH{0, 0, old.width, old.height});
    });
    if (!pushed && command.Recording()) ClearUndo();
    built.reset();
    FinishCanvasChange(flow);
    if (masks_ != nullptr) masks_->RefreshThumbnails();
    if (window_ != nullptr) window_->UpdateCaption(false);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Resolution

bool TPaper::ChangeResolution(TFlowImage* flow, int32_t width, bool record, bool keepAttributes, int32_t height) {
  return ResampleCanvas(flow, width, height, record, keepAttributes, 2);
}

bool TPaper::ChangeResolutionSampled(TFlowImage* flow, int32_t width, bool record, bool keepAttributes,
                                     int32_t height) {
  return ResampleCanvas(flow, width, height, record, keepAttributes, 1);
}

bool TPaper::ResampleCanvas(TFlowImage* flow, int32_t width, int32_t height, bool record, bool keepAttributes,
                            int32_t method) {
  const SSize size{width, height};
  auto check = [&] {
    if ((method != 1 && method != 2) || !CanvasSizeAccepted(width, height)) return false;
    for (int32_t i = 0; i < GetLayerCount(); ++i) {
      const SZoomGeometry g = ZoomGeometry(*GetLayer(i), size);
      if (!StoreSizeAddressable(g.width, g.height)) return false;
    }
    return true;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const SSize old{canvasWidth, canvasHeight};
    const bool withUndo = command.Recording() && IsUndoEnabled();
    CMaskMngr* masks = MaskMngr();
    std::unique_ptr<CLayerMngr> built;
    std::unique_ptr<CMaskMngr> builtMasks;
    if (withUndo) {
      built = MakeZoomLayer(Layers(), size, method, keepAttributes, window_ != nullptr ? window_->Handle() : 0);
      if (built && masks != nullptr && masks->HasAnyMask()) {
        builtMasks = masks->makeZoomMask(size, method);
        if (!builtMasks) built.reset();
      }
    }
    auto write = [&](CEventMngr& events) {
      events.writeResolution(method == 1 ? 3 : 9, keepAttributes ? 1 : 0, width, height);
    };
    if (built) {
      command.Record(write);
      if (!SwapLayerMngr(flow, width, height, built)) return false;
      if (builtMasks) SwapMaskMngr(width, height, builtMasks);
      const bool pushed = command.Undo([&] {
        return PushManagerRecord(*this, kUndoResolution, built, &builtMasks, 0, width, height,
                                 GetActiveLayerIndex(), SRectWH{0, 0, old.width, old.height});
      });
      if (!pushed && command.Recording()) ClearUndo();
      built.reset();
      builtMasks.reset();
    } else {
      if (withUndo && !AskChangeWithoutUndo()) return false;
      command.Record(write);
      if (!ResampleInPlace(flow, width, height, method)) return false;
      ClearAllUndo();
    }
    FinishCanvasChange(flow);
    UpdateMaskPane();
    return true;
  });
}

bool TPaper::ResampleInPlace(TFlowImage* flow, int32_t width, int32_t height, int32_t method) {
  const SSize size{width, height};
  const int32_t count = GetLayerCount();
  if (count == 0 || (method != 1 && method != 2) || !CanvasSideValid(width) || !CanvasSideValid(height))
    return false;
  std::vector<SZoomGeometry> plan;
  for (int32_t i = 0; i < count; ++i) {
    plan.push_back(ZoomGeometry(*GetLayer(i), size));
    if (!StoreSizeAddressable(plan.back().width, plan.back().height)) return false;
  }
  // The display buffer first: when it cannot follow, nothing has changed.
  const int32_t oldWidth = canvasWidth;
  const int32_t oldHeight = canvasHeight;
  if (!DisplayBuffer().Resize(width, height)) {
    DisplayBuffer().Resize(oldWidth, oldHeight);
    return false;
  }
  if (CMaskMngr* masks = MaskMngr(); masks != nullptr && masks->HasAnyMask()) {
    if (!masks->ScaleAllMasks(size, method)) DebugOut("TPaper::ResampleInPlace: a mask could not be resampled\n");
  }
  bool complete = true;
  for (int32_t i = 0; i < count; ++i) {
    CLayerData& layer = *GetLayer(i);
    const SZoomGeometry& g = plan[static_cast<size_t>(i)];
    auto next = std::make_unique<CBlockVMTC>();
    bool done = next->Create(static_cast<int32_t>(g.width), static_cast<int32_t>(g.height));
    if (done) {
      FillNeutralAll(*next, layer.blendMode);
      done = ResampleStore(*layer.Store(), *next, method);
    }
    if (!done) {
      // Out of memory part-way: the layer keeps the new size without its pixels, so that the
      // document stays whole (the earlier layers cannot be taken back without loss).
      complete = false;
      next = std::make_unique<CBlockVMTC>();
      layer.SwapStore(nullptr);
      if (!next->Create(static_cast<int32_t>(g.width), static_cast<int32_t>(g.height))) return false;
      FillNeutralAll(*next, layer.blendMode);
    }
    layer.SwapStore(std::move(next));
    layer.offsetX = g.offsetX;
    layer.offsetY = g.offsetY;
    layer.canvasWidth = width;
    layer.canvasHeight = height;
  }
  if (!SetCanvasSize(flow, width, height)) {
    DebugOutF("TPaper::ResampleInPlace: the canvas stays %d x %d\n", oldWidth, oldHeight);
    return false;
  }
  for (int32_t i = 0; i < count; ++i) GetLayer(i)->UpdateThumbnailSize();
  UpdateAllLayerThumbnails();
  RebuildSelectionOutline();
  if (!complete) ShowWarning(Tx(TextId::PaperCommandIncomplete));
  return true;
}

// ---------------------------------------------------------------------------------------------
// Older version's paths

bool TPaper::ResizeCanvasOld(TFlowImage* flow, int32_t width, uint8_t anchor, int32_t height) {
  if (!CanvasSizeAccepted(width, height)) return false;
  const SSize old{canvasWidth, canvasHeight};
  const TPoint at = AnchorOffset(SSize{width, height}, old, anchor);
  TMTC image(old.width, old.height);
  if (!image.IsValid()) return false;
  for (int32_t i = 0; i < GetLayerCount(); ++i) {
    CLayerData& layer = *GetLayer(i);
    if (layer.Store() == nullptr) return false;
    image.FillAll(0);
    if (!layer.Store()->CopyAllToImage(image, -layer.offsetX, -layer.offsetY, 255, false)) return false;
    if (!layer.Store()->Create(width, height)) return false;
    FillNeutralAll(*layer.Store(), layer.blendMode);
    if (!PutImageSparse(*layer.Store(), image, at, SRectWH{0, 0, old.width, old.height})) return false;
    layer.Store()->Compact();
    layer.offsetX = 0;
    layer.offsetY = 0;
    layer.canvasWidth = width;
    layer.canvasHeight = height;
  }
  if (!SetCanvasSize(flow, width, height)) return false;
  for (int32_t i = 0; i < GetLayerCount(); ++i) GetLayer(i)->UpdateThumbnailSize();
  UpdateAllLayerThumbnails();
  FinishCanvasChange(flow);
  return true;
}

bool TPaper::ResizeImageOld(TFlowImage* flow, int32_t width, int32_t height) {
  if (!CanvasSizeAccepted(width, height)) return false;
  for (int32_t i = 0; i < GetLayerCount(); ++i) {
    CLayerData& layer = *GetLayer(i);
    if (layer.Store() == nullptr) return false;
    auto next = std::make_unique<CBlockVMTC>(width, height);
    if (!next->IsValid() || !ScaleBlockTo(*layer.Store(), *next)) return false;
    layer.SwapStore(std::move(next));
    layer.canvasWidth = width;
    layer.canvasHeight = height;
    layer.IsOffsetInside(true);
  }
  if (!SetCanvasSize(flow, width, height)) return false;
  for (int32_t i = 0; i < GetLayerCount(); ++i) GetLayer(i)->UpdateThumbnailSize();
  UpdateAllLayerThumbnails();
  FinishCanvasChange(flow);
  return true;
}

bool TPaper::ReadOldDocumentV1() {
  ShowWarning(kNotImplementedText);
  return false;
}

}  // namespace tf
