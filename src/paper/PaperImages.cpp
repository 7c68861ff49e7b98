// TPaper: trimming a layer to the canvas, pasting images as layers and into layers, the
// selection-limited transforms and the transforms of the whole image.
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "document/BlendMode.h"
#include "document/Clipboard.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "document/ShellServices.h"
#include "paper/FlowImage.h"
#include "paper/LayerBuild.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "platform/Host.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"

namespace tf {

namespace {

constexpr const char* kLayerCommandFailedText = "Failed to execute layer command!";

bool ValidSide(int64_t side) { return side >= 1 && side <= kMaxLayerStoreSide; }

// The store size a pasted image needs: at least the canvas and the image; with clipboard
// attributes also what their position and stored size ask for. False for positions or sizes
// that are negative or would take a side beyond the tiled store's reach.
bool PastedStoreSize(const TPaper& paper, const TMTC& image, const SClipLayerAttr* attributes, SSize& size) {
  int64_t width = std::max(paper.canvasWidth, image.Width());
  int64_t height = std::max(paper.canvasHeight, image.Height());
  if (attributes != nullptr) {
    const SClipLayerAttr& a = *attributes;
    if (a.offsetX < 0 || a.offsetY < 0) return false;
    if ((a.flags & kClipLayerClipboard) != 0) {
      if (a.storeWidth < 0 || a.storeHeight < 0) return false;
      width = std::max({width, int64_t{a.offsetX} + paper.canvasWidth, int64_t{a.storeWidth}});
      height = std::max({height, int64_t{a.offsetY} + paper.canvasHeight, int64_t{a.storeHeight}});
    } else {
      width += a.offsetX;
      height += a.offsetY;
    }
  }
  if (!ValidSide(width) || !ValidSide(height)) return false;
  size = SSize{static_cast<int32_t>(width), static_cast<int32_t>(height)};
  return true;
}

bool ValidImage(const TMTC& image) {
  return image.IsValid() && ValidSide(image.Width()) && ValidSide(image.Height());
}

// The attribute record as it travels in an image packet.
struct SEncodedAttributes {
  uint8_t bytes[kClipLayerAttrBytes];
  const uint8_t* From(const SClipLayerAttr* attributes) {
    if (attributes == nullptr) return nullptr;
    EncodeClipLayerAttr(*attributes, bytes);
    return bytes;
  }
};

// The paper event of an image-wide code: all layers 12 -> 32, 13 -> 33, 14 -> 35, 15 -> 34; the
// visible layers 12 -> 16, 13 -> 17, 14 -> 19, 15 -> 18.
uint8_t ImageEventCode(uint8_t code, bool all) {
  static constexpr uint8_t kAll[4] = {32, 33, 35, 34};
  static constexpr uint8_t kVisible[4] = {16, 17, 19, 18};
  return (all ? kAll : kVisible)[code - kUndoFlipImageHorizontal];
}

// The selection-limited layer event of a code: 7 -> 48, 8 -> 49, 10 -> 50, 9 -> 51.
uint8_t SelectionEventCode(uint8_t code) {
  static constexpr uint8_t kEvent[4] = {48, 49, 51, 50};
  return kEvent[code - kUndoFlipLayerHorizontal];
}

// Applies code 7 to 10 to a flat image over the whole of it.
bool TransformImage(TMTC& image, uint8_t code) {
  SRectWH all{0, 0, image.Width(), image.Height()};
  switch (code) {
    case kUndoFlipLayerHorizontal: return image.FlipHorizontal(all);
    case kUndoFlipLayerVertical: return image.FlipVertical(all);
    case kUndoInvertLayerColors: return image.XorRect(all, 0x00FFFFFFu);
    case kUndoRotateLayer180: return image.Rotate180(all);
    default: return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Bounds and shared layer routines

namespace {

// The canvas united with the store rectangles of the layers in range that pass the filter.
template <class Pick>
int32_t UniteStores(const TPaper& paper, int32_t first, int32_t count, TRect& bounds, Pick pick) {
  bounds = TRect{0, 0, paper.canvasWidth, paper.canvasHeight};
  int32_t matched = 0;
  const int64_t end = std::min<int64_t>(int64_t{first} + std::max(count, 0), paper.GetLayerCount());
  for (int64_t i = std::max(first, 0); i < end; ++i) {
    const CLayerData* layer = paper.GetLayer(static_cast<int32_t>(i));
    if (layer == nullptr || layer->Store() == nullptr || !pick(*layer)) continue;
    TRect store{};
    layer->GetStoreRect(store);
    bounds.left = std::min(bounds.left, store.left);
    bounds.top = std::min(bounds.top, store.top);
    bounds.right = std::max(bounds.right, store.right);
    bounds.bottom = std::max(bounds.bottom, store.bottom);
    ++matched;
  }
  return matched;
}

}  // namespace

int32_t TPaper::GetLayersBounds(int32_t first, int32_t count, bool visible, TRect& bounds) const {
  return UniteStores(*this, first, count, bounds,
                     [&](const CLayerData& layer) { return (layer.visible != 0) == visible; });
}

int32_t TPaper::GetAllLayersBounds(TRect& bounds, bool visible) const {
  return GetLayersBounds(0, GetLayerCount(), visible, bounds);
}

int32_t TPaper::GetLayerRangeBounds(int32_t first, int32_t count, TRect& bounds) const {
  return UniteStores(*this, first, count, bounds, [](const CLayerData&) { return true; });
}

int32_t TPaper::GetAllStoresBounds(TRect& bounds) const {
  return GetLayerRangeBounds(0, GetLayerCount(), bounds);
}

bool TPaper::RefreshLayerContent(int32_t index, bool navigator) {
  const CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  const SRectWH canvas{0, 0, canvasWidth, canvasHeight};
  TRect store{};
  layer->GetStoreRect(store);
  RefreshDirtyRegions(index, &canvas, navigator);
  return store.left < canvasWidth && store.top < canvasHeight && store.right > 0 && store.bottom > 0;
}

int32_t TPaper::InsertCanvasLayer(int32_t position, bool visible, uint8_t opacity, uint8_t mode) {
  return InsertLayer(position, canvasWidth, visible, opacity, mode, canvasHeight);
}

// ---------------------------------------------------------------------------------------------
// Trimming

bool TPaper::TrimLayer(TFlowImage* flow, int32_t index, bool record) {
  auto check = [&] {
    const CLayerData* layer = GetLayer(index);
    return layer != nullptr && layer->Store() != nullptr &&
           (layer->StoreWidth() > canvasWidth || layer->StoreHeight() > canvasHeight);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    CLayerData& layer = *GetLayer(index);
    // A new layer (new id, no own undo) of the canvas size receives the canvas part of the store.
    auto trimmed = std::unique_ptr<CLayerData>(new (std::nothrow) CLayerData(layer.index, false));
    if (!trimmed || !trimmed->Init(canvasWidth, canvasHeight, layer.blendMode)) return false;
    TPoint at{0, 0};
    SRectWH part{layer.offsetX, layer.offsetY, canvasWidth, canvasHeight};
    if (!trimmed->Store()->CopyFrom(*layer.Store(), at, part)) {
      // Nothing to copy is fine (the store does not reach the canvas); a refused tile is not.
      TRect reach{layer.offsetX, layer.offsetY, layer.offsetX + canvasWidth, layer.offsetY + canvasHeight};
      if (layer.Store()->ClipBounds(reach)) return false;
    }
    trimmed->Store()->Compact();
    trimmed->CopyAttributes(layer);
    trimmed->canvasWidth = canvasWidth;
    trimmed->canvasHeight = canvasHeight;
    trimmed->UpdateThumbnailSize();
    trimmed->UpdateThumbnail();
    return ReplaceRebuiltLayer(flow, index, std::move(trimmed), command, [&](CEventMngr& events) {
      events.writeLayerOp(static_cast<int16_t>(index), static_cast<int16_t>(index), 8);
    });
  });
}

// ---------------------------------------------------------------------------------------------
// Pasting images

bool TPaper::PasteClipboardAsLayer(TFlowImage* flow, bool record) {
  const WindowHandle window = window_ != nullptr ? window_->Handle() : 0;
  std::unique_ptr<TMTC> image = GetClipboardImage(window);
  if (!image) return false;
  SClipLayerAttr attributes;
  std::string name;
  if (GetClipLayerAttr(window, attributes, name)) return AddImageLayer(flow, *image, record, name, &attributes);
  return AddImageLayer(flow, *image, record, std::string(), nullptr);
}

bool TPaper::AddImageLayer(TFlowImage* flow, const TMTC& image, bool record, const std::string& name,
                           const SClipLayerAttr* attributes) {
  SSize size{0, 0};
  auto check = [&] {
    return CanAddLayer(-1) && ValidImage(image) && PastedStoreSize(*this, image, attributes, size);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t active = GetActiveLayerIndex();
    const int32_t index = Layers().AddLayer(size.width, size.height, true, 255, false, 3);
    if (index < 0) return false;
    CLayerData* layer = GetLayer(index);
    Layers().AssignDefaultName(index, 1);
    layer->offsetX = 0;
    layer->offsetY = 0;
    layer->canvasWidth = canvasWidth;
    layer->canvasHeight = canvasHeight;
    layer->UpdateThumbnailSize();
    Layers().EnsureDepthArray(true);
    if (!PutImageToLayer(index, image, 255, SRectWH{0, 0, image.Width(), image.Height()}, TPoint{0, 0})) {
      Layers().Delete(index);
      Layers().SetActive(active);
      return false;
    }
    if (attributes != nullptr) ApplyClipLayerAttr(*layer, *attributes, name);
    SEncodedAttributes encoded;
    command.Record([&](CEventMngr& events) {
      events.writeLayerImage(static_cast<int16_t>(active), image, 1, name, encoded.From(attributes));
    });
    command.Undo([&] { return PushUndo(layer, kUndoNewLayerFromPaste, index, active, layer->id, 0); });
    Layers().SetActive(index);
    if (flow != nullptr) SyncFlowImage(flow, index, true);
    SetModified(true);
    RedrawAll(true);
    layer->UpdateThumbnail();
    UpdateThumbnailsRect(true, index, SRectWH{0, 0, image.Width(), image.Height()});
    RefreshView();
    tf::UpdateLayerPane();
    return true;
  });
}

bool TPaper::PasteImageToLayer(TFlowImage* flow, int32_t index, bool record, const std::string& name,
                               const SClipLayerAttr* attributes, const TMTC& image) {
  auto check = [&] {
    const CLayerData* layer = GetLayer(index);
    return layer != nullptr && layer->Store() != nullptr && ValidImage(image);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData* layer = GetLayer(index);
    const SRectWH rect{0, 0, std::min(image.Width(), layer->StoreWidth()),
                       std::min(image.Height(), layer->StoreHeight())};
    if (command.Recording() && IsRecording()) {
      // The packet carries the whole store as it will be after the paste: replaying it into a
      // layer of this store size writes exactly these pixels.
      TMTC after(layer->StoreWidth(), layer->StoreHeight());
      if (!after.IsValid() || !layer->CopyStoreToImage(after)) return false;
      TPoint at{0, 0};
      SRectWH from = rect;
      if (!after.CopyFrom(image, at, from)) return false;
      SEncodedAttributes encoded;
      command.Record([&](CEventMngr& events) {
        events.writeLayerImage(static_cast<int16_t>(index), after, 2, name, encoded.From(attributes));
      });
    }
    command.Undo([&] { return SaveLayerUndo(index, rect, kUndoPasteIntoLayer); });
    const bool copied = PutImageToLayer(index, image, 255, rect, TPoint{0, 0});
    if (attributes != nullptr) ApplyClipLayerAttr(*layer, *attributes, name);
    SetModified(true);
    RedrawAll(true);
    const SRectWH canvasRect{rect.left - layer->offsetX, rect.top - layer->offsetY, rect.width, rect.height};
    UpdateThumbnailsRect(false, index, canvasRect);
    if (flow != nullptr) CommitFlowImage(flow, index, false);
    return copied;
  });
}

bool TPaper::ShiftLayerLegacy(TFlowImage* flow, int32_t index, int32_t dx, int32_t dy) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Store() == nullptr || canvasWidth < 1 || canvasHeight < 1) return false;
  auto store = std::unique_ptr<CBlockVMTC>(new (std::nothrow) CBlockVMTC(canvasWidth, canvasHeight));
  if (!store || !store->IsValid()) return false;
  const uint32_t neutral = GetBlendModeNeutralColor(layer->blendMode) & 0x00FFFFFFu;
  store->FillAll(neutral | (HasModernEngine() ? 0u : 0xFF000000u));
  TPoint at{dx, dy};
  SRectWH whole{0, 0, layer->StoreWidth(), layer->StoreHeight()};
  store->CopyFrom(*layer->Store(), at, whole);  // nothing to copy when shifted wholly off
  store->Compact();
  layer->SwapStore(std::move(store));
  layer->offsetX = 0;
  layer->offsetY = 0;
  layer->UpdateThumbnail();
  SetModified(true);
  RefreshLayerAll(flow, index, false);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Transforms within the selection

bool TPaper::TransformInSelection(TFlowImage* flow, int32_t index, bool record, bool withAlpha, uint8_t code,
                                  int32_t mask) {
  CMaskMngr* masks = MaskMngr();
  if (!IsValidLayerIndex(index) || GetLayer(index)->Store() == nullptr || code < kUndoFlipLayerHorizontal ||
      code > kUndoRotateLayer180)
    return false;
  if (mask != -1 && (masks == nullptr || !masks->IsValidIndex(mask))) return false;
  const CMaskData* selection =
      masks != nullptr ? masks->GetMask(mask == -1 ? masks->GetActiveIndex() : mask) : nullptr;
  TRect bounds{};
  if (selection == nullptr || !selection->IsAllocated() || !selection->GetBounds(bounds))
    return ApplyLayerCommand(flow, index, record, code);  // no selection: the whole layer
  CLayerData& layer = *GetLayer(index);
  // The selection's bounds in store coordinates, clipped to the store.
  SRectWH area{bounds.left + layer.offsetX, bounds.top + layer.offsetY, bounds.right - bounds.left,
               bounds.bottom - bounds.top};
  auto check = [&] { return layer.Store()->ClipRect(area); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    if (flow != nullptr) SyncFlowImage(flow, index, false);
    // The area's content, transformed within its rectangle.
    TMTC part(area.width, area.height);
    TPoint origin{0, 0};
    SRectWH from = area;
    if (!part.IsValid() || !layer.Store()->CopyToImage(part, origin, from, 255, false) ||
        !TransformImage(part, code)) {
      ShowWarning(kLayerCommandFailedText);
      return false;
    }
    command.Record([&](CEventMngr& events) {
      events.writeLayerOpEx(static_cast<int16_t>(index), static_cast<int16_t>(mask), SelectionEventCode(code), 0,
                            withAlpha ? 1 : 0);
    });
    command.Undo([&] { return SaveLayerUndo(index, area, kUndoLayerRect); });
    const TPoint dest{area.left, area.top};
    const SRectWH source{0, 0, area.width, area.height};
    const bool written = withAlpha ? PasteThroughMaskAlpha(layer, part, dest, *selection, source)
                                   : PasteThroughMaskColour(layer, part, dest, *selection, source);
    if (!written) {
      ShowWarning(kLayerCommandFailedText);
      return false;
    }
    SetModified(true);
    RefreshLayerArea(flow, index, false,
                     TRect{area.left, area.top, area.left + area.width, area.top + area.height});
    return true;
  });
}

bool TPaper::FlipSelectionHorizontal(TFlowImage* flow, int32_t index, bool record) {
  return TransformInSelection(flow, index, record, !GetLayerProtect(index), kUndoFlipLayerHorizontal, -1);
}
bool TPaper::FlipSelectionVertical(TFlowImage* flow, int32_t index, bool record) {
  return TransformInSelection(flow, index, record, !GetLayerProtect(index), kUndoFlipLayerVertical, -1);
}
bool TPaper::InvertSelectionColors(TFlowImage* flow, int32_t index, bool record) {
  return TransformInSelection(flow, index, record, !GetLayerProtect(index), kUndoInvertLayerColors, -1);
}
bool TPaper::RotateSelection180(TFlowImage* flow, int32_t index, bool record) {
  return TransformInSelection(flow, index, record, !GetLayerProtect(index), kUndoRotateLayer180, -1);
}

// ---------------------------------------------------------------------------------------------
// Transforms of the whole image

namespace {

// Runs an image-wide code over the layers the filter picks: the paper event and the undo record
// first, then every picked layer's whole store, thumbnails, the view, and the active layer made
// active again.
template <class Pick>
bool ApplyImageCode(TPaper& paper, TFlowImage* flow, uint8_t code, bool record, bool all, Pick pick) {
  auto check = [&] {
    if (code < kUndoFlipImageHorizontal || code > kUndoRotateImage180 || paper.GetLayerCount() < 1) return false;
    for (int32_t i = 0; i < paper.GetLayerCount(); ++i)
      if (pick(*paper.GetLayer(i))) return true;
    return false;  // nothing to change
  };
  return paper.RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t active = paper.GetActiveLayerIndex();
    command.Record([&](CEventMngr& events) { events.writePaperOp(ImageEventCode(code, all)); });
    command.Undo([&] {
      CLayerData* current = paper.GetActiveLayer();
      if (current == nullptr) return false;
      const SRectWH whole{0, 0, current->StoreWidth(), current->StoreHeight()};
      CUndoMngrEx* undo = paper.UndoMngr();
      if (undo == nullptr || all) {
        CDocumentUndo* any = paper.DocumentUndo();
        return any != nullptr && any->SaveLayerRect(*current, whole, code);
      }
      // The visible-only form keeps the ids of the layers it changes.
      std::unique_ptr<CUndoData> entry(new (std::nothrow) CUndoData(current->id));
      if (!entry) return false;
      entry->SetReversible(current->id, whole, code);
      entry->SetLayerIndex(active);
      for (int32_t i = 0; i < paper.GetLayerCount(); ++i)
        if (pick(*paper.GetLayer(i))) entry->layerIds.push_back(paper.GetLayer(i)->id);
      return undo->PushRecord(entry);
    });
    const uint8_t op = static_cast<uint8_t>(code - (kUndoFlipImageHorizontal - kUndoFlipLayerHorizontal));
    bool done = true;
    for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
      CLayerData& layer = *paper.GetLayer(i);
      if (!pick(layer)) continue;
      if (!ApplyReversibleCode(layer, op)) done = false;
      layer.UpdateThumbnail();
    }
    paper.SetModified(true);
    paper.RedrawAll(true);
    paper.SetActiveLayer(flow, active);
    if (!done) ShowWarning(kLayerCommandFailedText);
    return done;
  });
}

}  // namespace

bool TPaper::ApplyImageToAll(TFlowImage* flow, uint8_t code, bool record) {
  return ApplyImageCode(*this, flow, code, record, true,
                        [](const CLayerData& layer) { return layer.Store() != nullptr; });
}

bool TPaper::ApplyImageToVisible(TFlowImage* flow, uint8_t code, bool record) {
  return ApplyImageCode(*this, flow, code, record, false,
                        [](const CLayerData& layer) { return layer.Store() != nullptr && layer.visible != 0; });
}

namespace {
bool ImageCommand(TPaper& paper, TFlowImage* flow, uint8_t code, bool allLayers) {
  return allLayers ? paper.ApplyImageToAll(flow, code, true) : paper.ApplyImageToVisible(flow, code, true);
}
}  // namespace

bool TPaper::FlipImageHorizontal(TFlowImage* flow, bool allLayers) {
  return ImageCommand(*this, flow, kUndoFlipImageHorizontal, allLayers);
}
bool TPaper::FlipImageVertical(TFlowImage* flow, bool allLayers) {
  return ImageCommand(*this, flow, kUndoFlipImageVertical, allLayers);
}
bool TPaper::InvertImage(TFlowImage* flow, bool allLayers) {
  return ImageCommand(*this, flow, kUndoInvertImageColors, allLayers);
}
bool TPaper::RotateImage180(TFlowImage* flow, bool allLayers) {
  return ImageCommand(*this, flow, kUndoRotateImage180, allLayers);
}

}  // namespace tf
