#include "paper/UndoMngrEx.h"

#include <algorithm>
#include <new>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"
#include "raster/ByteImage.h"

namespace tf {

namespace {

SRectWH StoreExtent(const CLayerData* layer) {
  return layer != nullptr ? SRectWH{0, 0, layer->StoreWidth(), layer->StoreHeight()} : SRectWH{0, 0, 0, 0};
}

}  // namespace

CUndoMngrEx::CUndoMngrEx(TPaper& paper, CLayerMngr* layers, int32_t undoLimit, int32_t redoLimit, int32_t margin)
    : CUndoMngr(std::max(undoLimit, 0), std::max(std::min(redoLimit, undoLimit), 0)),
      paper_(paper),
      layers_(layers),
      margin_(margin) {
  ReplaceLists(std::make_unique<CUndoList>(std::max(UndoLimit(), 4), true),
               std::make_unique<CUndoList>(std::max(RedoLimit(), 4), true));
}

CLayerMngr* CUndoMngrEx::SetLayerMngr(CLayerMngr* layers) {
  CLayerMngr* previous = layers_;
  layers_ = layers;
  return previous;
}

void CUndoMngrEx::DropToHeavyLimit(CUndoList& list, int32_t limit) {
  while (list.Count() > 0 && list.HeavyCount() > limit) list.DropOldest();
}

bool CUndoMngrEx::SetLimits(int32_t undoLimit, int32_t redoLimit) {
  int32_t undo = undoLimit;
  int32_t redo = redoLimit;
  if (undo <= 0 || redo <= 0) {
    undo = 0;
    redo = 0;
  }
  redo = std::min(redo, undo);
  const bool undoChanged = undo != UndoLimit();
  const bool redoChanged = redo != RedoLimit();
  SetLimitFields(undo, redo);
  if (undoChanged) DropToHeavyLimit(UndoList(), undo);
  if (redoChanged) DropToHeavyLimit(RedoList(), redo);
  return undoChanged || redoChanged;
}

bool CUndoMngrEx::PushOnto(CUndoList& list, int32_t limit, std::unique_ptr<CUndoData>& record) {
  if (!record) return false;
  // A list without depth takes nothing: dropping could never make room.
  if (limit <= 0) return false;
  if (record->IsHeavy()) {
    while (list.Count() > 0 && list.HeavyCount() >= limit) list.DropOldest();
  }
  return list.Push(std::move(record));
}

int32_t CUndoMngrEx::TrimUndo() {
  int32_t dropped = 0;
  const int64_t keep = int64_t{UndoLimit()} + margin_;
  while (UndoList().Count() > keep && UndoList().DropOldest()) ++dropped;
  return dropped;
}

bool CUndoMngrEx::Assign(const CUndoMngr& other) {
  if (const auto* ex = dynamic_cast<const CUndoMngrEx*>(&other)) {
    layers_ = ex->layers_;
    margin_ = ex->margin_;
  }
  return CUndoMngr::Assign(other);
}

bool CUndoMngrEx::PushUndo(std::unique_ptr<CUndoData>&& record) {
  std::unique_ptr<CUndoData> held = std::move(record);
  if (PushOnto(UndoList(), UndoLimit(), held)) return true;
  record = std::move(held);
  return false;
}

bool CUndoMngrEx::PushRedo(std::unique_ptr<CUndoData>&& record) {
  std::unique_ptr<CUndoData> held = std::move(record);
  if (PushOnto(RedoList(), RedoLimit(), held)) return true;
  record = std::move(held);
  return false;
}

bool CUndoMngrEx::PeekUndo(CUndoData*& record) const {
  record = UndoList().Get(0);
  return record != nullptr;
}

bool CUndoMngrEx::PeekRedo(CUndoData*& record) const {
  record = RedoList().Get(0);
  return record != nullptr;
}

void CUndoMngrEx::DropNewestUndo() { UndoList().DeleteAt(0); }

void CUndoMngrEx::DropNewestRedo() { RedoList().DeleteAt(0); }

// ---------------------------------------------------------------------------------------------
// Builders

bool CUndoMngrEx::Commit(std::unique_ptr<CUndoData>& record) {
  if (!PushUndo(std::move(record))) return false;
  TrimUndo();
  ClearRedo();
  return true;
}

bool CUndoMngrEx::SaveLayerRect(CLayerData& layer, const SRectWH& rect, uint8_t code) {
  if (!IsEnabled() || layer.Store() == nullptr) return false;
  switch (UndoCodeCategory(code)) {
    case kUndoCategoryPixels: return SaveRectCode(layer.index, layer.id, code, *layer.Store(), rect);
    case kUndoCategoryAlpha: {
      std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData(layer.id));
      SRectWH area = rect;
      if (!ClipRectToSize(area, layer.Store()->Size())) return false;
      if (!record || !record->SaveAlpha(layer.id, *layer.Store(), code, area)) {
        ShowWarning(kUndoOutOfMemoryText);
        return false;
      }
      record->SetLayerIndex(layer.index);
      if (Commit(record)) return true;
      ShowWarning(kUndoOutOfMemoryText);
      return false;
    }
    case kUndoCategoryReversible: {
      std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData(layer.id));
      if (!record) {
        ShowWarning(kUndoOutOfMemoryText);
        return false;
      }
      record->SetReversible(layer.id, rect, code);
      record->SetLayerIndex(layer.index);
      record->filled = true;
      return Commit(record);
    }
    default: return false;
  }
}

bool CUndoMngrEx::PushAttribute(CLayerData* layer, int32_t value, int32_t extra, uint8_t code) {
  if (!IsEnabled() || UndoCodeCategory(code) != kUndoCategoryAttribute) return false;
  // Every attribute but the paper colour names its layer.
  if (code != kUndoPaperColor && layer == nullptr) return false;
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
  if (!record) {
    ShowWarning(kUndoOutOfMemoryText);
    return false;
  }
  const int32_t id = code == kUndoPaperColor ? -1 : layer->id;
  record->SetAttribute(id, code, value, extra, 0, 0);
  record->filled = true;
  if (layer != nullptr) record->SetLayerIndex(layer->index);
  if (code == kUndoLayerOffset) {
    record->value2 = value;
    record->value3 = extra;
  }
  if (code == kUndoLayerName && layer != nullptr) record->name1 = layer->name;
  return Commit(record);
}

bool CUndoMngrEx::Push(std::unique_ptr<CUndoHeld>& held, uint8_t code, int32_t value1, int32_t value2,
                       int32_t value3, int32_t value4) {
  if (!IsEnabled()) return false;
  const uint8_t category = UndoCodeCategory(code);
  switch (category) {
    case kUndoCategoryPixels: {
      // A filter's backup of the layer's former pixels, for the whole store of layer value1.
      auto* backup = dynamic_cast<TUndoHeld<CBlockVMTC>*>(held.get());
      CLayerData* layer = layers_ != nullptr ? layers_->Get(value1) : nullptr;
      if (backup == nullptr || backup->Get() == nullptr || layer == nullptr) return false;
      std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
      if (!record) {
        ShowWarning(kUndoOutOfMemoryText);
        return false;
      }
      CBlockVMTC* store = backup->Get();
      const SRectWH whole{0, 0, store->Width(), store->Height()};
      record->SetPixelBlock(layer->index, layer->id, code, whole, std::unique_ptr<CBlockVMTC>(store));
      if (!Commit(record)) {
        (void)record->TakePixels().release();  // the backup stays the caller's
        return false;
      }
      backup->Forget();
      held.reset();
      return true;
    }
    case kUndoCategoryAttribute: {
      auto* layerHeld = dynamic_cast<TUndoHeld<CLayerData>*>(held.get());
      CLayerData* layer = layerHeld != nullptr ? layerHeld->Get() : nullptr;
      if (!PushAttribute(layer, value1, value2, code)) return false;
      if (held) held->Forget();  // the layer lives in the document
      held.reset();
      return true;
    }
    case kUndoCategoryLayers:
    case kUndoCategoryMasks: {
      std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
      if (!record) {
        ShowWarning(kUndoOutOfMemoryText);
        return false;
      }
      int32_t layerId = -1;
      if (category == kUndoCategoryLayers) {
        if (auto* layerHeld = dynamic_cast<TUndoHeld<CLayerData>*>(held.get()); layerHeld && layerHeld->Get()) {
          layerId = layerHeld->Get()->id;
        } else if (layers_ != nullptr && layers_->Active() != nullptr) {
          layerId = layers_->Active()->id;
        }
      }
      record->SetValues(true, layerId, category, code, value1, value2, value3, value4);
      if (!PushRecordHeld(record, held)) return false;
      return true;
    }
    default: return false;
  }
}

bool CUndoMngrEx::PushRecordHeld(std::unique_ptr<CUndoData>& record, std::unique_ptr<CUndoHeld>& held) {
  record->AdoptHeld(std::move(held));
  if (PushRecord(record)) return true;
  held = record->ReleaseHeldSlot();
  return false;
}

bool CUndoMngrEx::PushRecord(std::unique_ptr<CUndoData>& record) {
  if (!record || !IsEnabled()) return false;
  const uint8_t category = UndoCodeCategory(record->code);
  if (category < kUndoCategoryReversible) return false;
  record->category = category;
  record->filled = true;
  return Commit(record);
}

// ---------------------------------------------------------------------------------------------
// Undo and redo

std::unique_ptr<CUndoData> CUndoMngrEx::Pop(bool undo) { return undo ? PopUndo() : PopRedo(); }

bool CUndoMngrEx::PushOther(bool undo, std::unique_ptr<CUndoData>& record) {
  const bool pushed = undo ? PushRedo(std::move(record)) : PushUndo(std::move(record));
  // A list without depth keeps no record for the other direction; the step itself is done.
  if (!pushed) record.reset();
  return true;
}

bool CUndoMngrEx::Step(bool undo, int32_t& layerIndex, CLayerData* layer, SRectWH& rect) {
  CUndoData* newest = nullptr;
  if (!(undo ? PeekUndo(newest) : PeekRedo(newest))) return false;
  switch (newest->category) {
    case kUndoCategoryPixels: return PixelStep(undo, layer, rect);
    case kUndoCategoryAlpha: return AlphaStep(undo, layer, rect);
    case kUndoCategoryReversible: return ReversibleStep(undo, layer, rect);
    case kUndoCategoryAttribute: return AttributeStep(undo, layer, rect);
    case kUndoCategoryLayers: return LayerStep(undo, layerIndex, rect);
    case kUndoCategoryMasks: return MaskStep(undo, layerIndex, rect);
    default: Pop(undo).reset(); return false;
  }
}

bool CUndoMngrEx::PixelStep(bool undo, CLayerData* layer, SRectWH& rect) {
  if (layer == nullptr || layer->Store() == nullptr) {
    Pop(undo).reset();
    return false;
  }
  if (undo ? UndoPixels(*layer->Store(), rect) : RedoPixels(*layer->Store(), rect)) return true;
  // Not applied (no pixels, or out of memory): the record goes.
  Pop(undo).reset();
  return false;
}

bool CUndoMngrEx::AlphaStep(bool undo, CLayerData* layer, SRectWH& rect) {
  std::unique_ptr<CUndoData> record = Pop(undo);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  SRectWH area = record->rect;
  std::unique_ptr<CUndoData> current(new (std::nothrow) CUndoData(record->layerId));
  if (current) {
    SRectWH grab = area;
    if (!current->SaveAlpha(record->layerId, *layer->Store(), record->code, grab)) {
      ShowWarning(kUndoOutOfMemoryText);
      current.reset();
    }
  }
  if (!record->RestoreAlpha(*layer->Store())) return false;
  rect = area;
  record.reset();
  if (current) {
    current->undone = undo;
    PushOther(undo, current);
  }
  return true;
}

bool CUndoMngrEx::ReversibleStep(bool undo, CLayerData* layer, SRectWH& rect) {
  std::unique_ptr<CUndoData> record = Pop(undo);
  const uint8_t code = record->code;
  // The operation of codes 12 to 15 is that of 7 to 10, over each layer's whole store.
  const uint8_t op = code >= kUndoFlipImageHorizontal ? static_cast<uint8_t>(code - 5) : code;
  auto apply = [&](CLayerData& target, SRectWH area) {
    CBlockVMTC* store = target.Store();
    if (store == nullptr) return false;
    const int32_t w = store->Width();
    const int32_t h = store->Height();
    bool done = false;
    switch (op) {
      case kUndoFlipLayerHorizontal:
        done = store->FlipHorizontal(area);
        if (done) target.offsetX = w - target.offsetX - target.canvasWidth;
        break;
      case kUndoFlipLayerVertical:
        done = store->FlipVertical(area);
        if (done) target.offsetY = h - target.offsetY - target.canvasHeight;
        break;
      case kUndoInvertLayerColors: done = store->XorRect(area, 0x00FFFFFFu); break;
      case kUndoRotateLayer180:
        done = store->Rotate180(area);
        if (done) {
          target.offsetX = w - target.offsetX - target.canvasWidth;
          target.offsetY = h - target.offsetY - target.canvasHeight;
        }
        break;
      case kUndoInvertLayerAlpha: done = store->XorRect(area, 0xFF000000u); break;
      default: break;
    }
    return done;
  };
  if (code <= kUndoInvertLayerAlpha) {
    if (layer == nullptr || !apply(*layer, record->rect)) return false;
  } else {
    if (layers_ == nullptr) return false;
    for (int32_t i = 0; i < layers_->Count(); ++i) {
      CLayerData* target = layers_->Get(i);
      if (!record->layerIds.empty() &&
          std::find(record->layerIds.begin(), record->layerIds.end(), target->id) == record->layerIds.end())
        continue;
      if (!apply(*target, StoreExtent(target))) return false;
      target->UpdateThumbnail();
    }
  }
  rect = record->rect;
  record->undone = undo;
  return PushOther(undo, record);
}

bool CUndoMngrEx::AttributeStep(bool undo, CLayerData* layer, SRectWH& rect) {
  CUndoData* newest = nullptr;
  if (!(undo ? PeekUndo(newest) : PeekRedo(newest))) return false;
  const bool document = newest->code == kUndoPaperColor;
  if (!document && layer == nullptr) return false;  // nothing popped
  std::unique_ptr<CUndoData> record = Pop(undo);
  if (record->category != kUndoCategoryAttribute) return false;
  auto low = [](int32_t v) { return static_cast<uint8_t>(v & 0xFF); };
  switch (record->code) {
    case kUndoPaperColor: {
      const int32_t current = static_cast<int32_t>(paper_.paperColor);
      paper_.StorePaperColor(static_cast<uint32_t>(record->value1));
      record->value1 = current;
      record->value2 = static_cast<int32_t>(paper_.paperColor);
      break;
    }
    case kUndoLayerOpacity:
    case kUndoFolderOpacity: {
      const int32_t current = layer->opacity;
      layer->opacity = low(record->value1);
      record->value1 = current;
      record->value2 = layer->opacity;
      break;
    }
    case kUndoDissolve: {
      const int32_t current = (layer->dissolve != 0 ? 1 : 0) | (layer->dissolveThreshold << 8);
      layer->dissolve = low(record->value1) != 0 ? 1 : 0;
      layer->dissolveThreshold = low(record->value1 >> 8);
      record->value2 = record->value1;
      record->value1 = current;
      break;
    }
    case kUndoBlendMode: {
      const int32_t current = layer->blendMode;
      layer->blendMode = low(record->value1);
      record->value2 = record->value1;
      record->value1 = current;
      break;
    }
    case kUndoVisibility: {
      const int32_t current = layer->visible != 0 ? 1 : 0;
      layer->visible = record->value1 != 0 ? 1 : 0;
      record->value2 = record->value1;
      record->value1 = current;
      break;
    }
    case kUndoLayerOffset: {
      const int32_t x = layer->offsetX;
      const int32_t y = layer->offsetY;
      layer->offsetX = record->value2;
      layer->offsetY = record->value3;
      record->value2 = x;
      record->value3 = y;
      layer->UpdateThumbnail();
      break;
    }
    case kUndoLayerAndSelectionOffset: {
      CMaskMngr* masks = paper_.MaskMngr();
      CMaskData* mask = masks != nullptr ? masks->GetMask(record->maskIndex) : nullptr;
      if (layer->id != record->layerId || mask == nullptr || mask->id != record->maskId) return false;
      const int32_t sign = undo ? 1 : -1;
      layer->offsetX += sign * record->value2;
      layer->offsetY += sign * record->value3;
      layer->UpdateThumbnail();
      mask->offsetX += sign * record->value2;
      mask->offsetY += sign * record->value3;
      masks->UpdateThumbnail(mask);
      break;
    }
    case kUndoLayerName: {
      std::string current = layer->name;
      layer->name = record->name1;
      record->name2 = record->name1;
      record->name1 = std::move(current);
      break;
    }
    case kUndoAlphaProtect: {
      const int32_t current = layer->alphaProtect != 0 ? 1 : 0;
      layer->alphaProtect = record->value1 != 0 ? 1 : 0;
      record->value2 = record->value1;
      record->value1 = current;
      break;
    }
    default: return false;
  }
  record->undone = !record->undone;
  rect = StoreExtent(layer);
  return PushOther(undo, record);
}

bool CUndoMngrEx::LayerStep(bool undo, int32_t& layerIndex, SRectWH& rect) {
  std::unique_ptr<CUndoData> record = Pop(undo);
  if (record->category != kUndoCategoryLayers || layers_ == nullptr) return false;
  int32_t show = layerIndex;
  if (!LayerRecord(*record, undo, show)) return false;
  rect = record->rect;
  layerIndex = show;
  return PushOther(undo, record);
}

bool CUndoMngrEx::MaskStep(bool undo, int32_t layerIndex, SRectWH& rect) {
  std::unique_ptr<CUndoData> record = Pop(undo);
  if (record->category != kUndoCategoryMasks || paper_.MaskMngr() == nullptr) return false;
  if (!MaskRecord(*record, undo)) return false;
  record->undone = !record->undone;
  rect = StoreExtent(layers_ != nullptr ? layers_->Get(layerIndex) : nullptr);
  return PushOther(undo, record);
}

}  // namespace tf
