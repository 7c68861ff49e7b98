// CUndoMngrEx: the layer-structure and mask-structure handlers.
#include <algorithm>
#include <new>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/CanvasLayers.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "platform/Debug.h"
#include "raster/BlockVMTC.h"

namespace tf {

namespace {

int32_t LowHalf(int32_t value) { return static_cast<int16_t>(static_cast<uint32_t>(value) & 0xFFFF); }
int32_t HighHalf(int32_t value) { return static_cast<int16_t>(static_cast<uint32_t>(value) >> 16); }

// Puts a layer the record holds into the stack at index; the record keeps naming it (its release
// rule says who frees it). False, stack unchanged, for an index outside 0..count.
bool InsertHeld(CLayerMngr& layers, CLayerData* layer, int32_t index) {
  if (layer == nullptr || index < 0 || index > layers.Count()) return false;
  std::unique_ptr<CLayerData> owned(layer);
  if (layers.InsertAt(index, owned) < 0) {
    (void)owned.release();
    return false;
  }
  layers.ClampActive();
  layers.Renumber();
  return true;
}

// Takes the layer at index out of the stack without freeing it (a record holds it).
CLayerData* TakeOutAt(CLayerMngr& layers, int32_t index) { return layers.ExtractAndFix(index).release(); }

// Exchanges the layer at index with the record's held layer; the held slot then keeps the one
// taken out.
bool ExchangeWithHeld(CLayerMngr& layers, CUndoData& record, int32_t index) {
  CLayerData* held = record.Held<CLayerData>();
  if (held == nullptr || !layers.IsValidIndex(index)) return false;
  std::unique_ptr<CLayerData> in(held);
  std::unique_ptr<CLayerData> out = layers.Replace(index, in);
  if (!out) {
    (void)in.release();
    return false;
  }
  CLayerData* previous = out.release();
  if (!record.ExchangeHeld(previous)) return false;  // cannot fail: the slot holds a layer
  layers.ClampActive();
  return true;
}

void MoveLayerBy(CLayerData& layer, int32_t dx, int32_t dy) {
  layer.offsetX -= dx;
  layer.offsetY -= dy;
  layer.UpdateThumbnail();
}

// Exchanges the mask at index with the record's held mask (no allocation: the slot keeps its
// holder).
bool ExchangeMaskWithHeld(CMaskMngr& masks, CUndoData& record, int32_t index) {
  CMaskData* held = record.Held<CMaskData>();
  if (held == nullptr || !masks.IsValidIndex(index)) return false;
  std::unique_ptr<CMaskData> in(held);
  if (!masks.PutMask(index, in)) {
    (void)in.release();
    return false;
  }
  CMaskData* out = in.release();
  if (!record.ExchangeHeld(out)) return false;  // cannot fail: the slot holds a mask
  masks.UpdateThumbnail(masks.GetMask(index));
  return true;
}

// Installs the record's layer manager in the document (the canvas size follows it) and keeps
// the one it replaced in the record.
bool ExchangeLayerMngrOf(TPaper& paper, CUndoData& record) {
  CLayerMngr* held = record.Held<CLayerMngr>();
  if (held == nullptr) return false;
  std::unique_ptr<CLayerMngr> in(held);
  if (!paper.SwapLayerMngr(paper.GetFlowImage(), held->CanvasWidth(), held->CanvasHeight(), in)) {
    (void)in.release();  // still the record's
    return false;
  }
  CLayerMngr* previous = in.release();
  return record.ExchangeHeld(previous);  // cannot fail: the slot holds a layer manager
}

}  // namespace

bool CUndoMngrEx::LayerRecord(CUndoData& record, bool undo, int32_t& show) {
  CLayerMngr& layers = *layers_;
  const int32_t found = layers.IndexOfId(record.layerId);
  switch (record.code) {
    case kUndoNewLayer:
    case kUndoDuplicateLayer:
    case kUndoNewLayerFromPaste: {
      CLayerData* layer = record.Held<CLayerData>();
      if (layer == nullptr) return false;
      if (undo) {
        const int32_t index = layers.IndexOfId(layer->id);
        if (index < 0) return false;
        TakeOutAt(layers, index);
        layers.SetActive(record.value2);
        show = layers.ActiveIndex();
      } else {
        if (!InsertHeld(layers, layer, record.value1)) return false;
        show = record.value1;
      }
      break;
    }
    case kUndoDeleteLayer: {
      CLayerData* layer = record.Held<CLayerData>();
      if (layer == nullptr) return false;
      if (undo) {
        if (!InsertHeld(layers, layer, record.value1)) return false;
        show = record.value1;
      } else {
        const int32_t index = layers.IndexOfId(layer->id);
        if (index < 0) return false;
        TakeOutAt(layers, index);
        show = layers.ActiveIndex();
      }
      break;
    }
    case kUndoMoveLayer: {
      if (found < 0 || found != record.value1) return false;
      const int32_t moved = layers.Move(record.value2, record.value1);
      if (moved < 0) return false;
      std::swap(record.value1, record.value2);
      show = moved;
      break;
    }
    case kUndoMergeDown: {
      const int32_t upper = LowHalf(record.value1);
      const int32_t lower = HighHalf(record.value1);
      CLayerData* upperLayer = record.HeldExtra<CLayerData>();
      if (upperLayer == nullptr || !layers.IsValidIndex(lower)) return false;
      if (undo) {
        if (!InsertHeld(layers, upperLayer, upper)) return false;
        if (!ExchangeWithHeld(layers, record, lower)) {
          TakeOutAt(layers, upper);
          return false;
        }
        show = upper;
      } else {
        if (layers.Get(upper) != upperLayer) return false;
        TakeOutAt(layers, upper);
        if (!ExchangeWithHeld(layers, record, lower)) {
          InsertHeld(layers, upperLayer, upper);
          return false;
        }
        show = lower;
      }
      break;
    }
    case kUndoMergeVisible: {
      CLayerMngr* kept = record.Held<CLayerMngr>();
      if (kept == nullptr || kept->Count() < 1 || !layers.IsValidIndex(0)) return false;
      const int32_t n = kept->Count() - 1;
      if (record.value2 == 0) {
        // The merged layer must still be the bottom one.
        if (found != 0) return false;
        if (!layers.SwapWith(0, *kept, false, 0)) return false;
        for (int32_t i = 1; i <= n; ++i) {
          CLayerData* entry = kept->Get(i);
          if (!InsertHeld(layers, entry, std::min(entry->index, layers.Count()))) return false;
        }
        record.value2 = 1;
      } else {
        if (!layers.SwapWith(0, *kept, false, 0)) return false;
        for (int32_t i = n; i >= 1; --i) {
          const int32_t index = layers.IndexOfId(kept->Get(i)->id);
          if (index >= 0) TakeOutAt(layers, index);
        }
        record.value2 = 0;
        show = 0;
      }
      return true;  // undone is not used
    }
    case kUndoGrowLayer:
    case kUndoRebuildLayer: {
      CLayerData* held = record.Held<CLayerData>();
      if (found < 0 || held == nullptr) return false;
      const int32_t heldId = held->id;
      if (!ExchangeWithHeld(layers, record, found)) return false;
      record.layerId = heldId;
      const CLayerData* now = layers.Get(found);
      record.rect = SRectWH{0, 0, now->StoreWidth(), now->StoreHeight()};
      record.value3 = record.value3 == 0 ? 1 : 0;
      show = found;
      return true;  // undone is not flipped
    }
    case kUndoGrowLayerWithSelection: {
      CLayerData* held = record.Held<CLayerData>();
      CMaskMngr* masks = paper_.MaskMngr();
      CMaskData* mask = masks != nullptr ? masks->GetMask(record.maskIndex) : nullptr;
      // The mask is checked before anything changes.
      if (found < 0 || held == nullptr || mask == nullptr || !mask->IsAllocated() ||
          (record.maskId >= 0 && mask->id != record.maskId))
        return false;
      const int32_t heldId = held->id;
      if (!ExchangeWithHeld(layers, record, found)) return false;
      record.layerId = heldId;
      const CLayerData* now = layers.Get(found);
      record.rect = SRectWH{0, 0, now->StoreWidth(), now->StoreHeight()};
      const int32_t sign = undo ? -1 : 1;
      mask->offsetX -= sign * record.value3;
      mask->offsetY -= sign * record.value4;
      masks->UpdateThumbnail(mask);
      show = found;
      break;
    }
    case kUndoSelectionToLayer: {
      CLayerData* created = record.Held<CLayerData>();
      if (found < 0 || created == nullptr) return false;
      CLayerData* source = layers.Get(found);
      if (source->Store() == nullptr) return false;
      if (undo) {
        const int32_t index = layers.IndexOfId(created->id);
        if (index < 0) return false;
        if (!ByteImageSwapAlpha(record.AlphaPlane(), *source->Store())) return false;
        TakeOutAt(layers, index);
        show = layers.IndexOfId(record.layerId);
      } else {
        if (!InsertHeld(layers, created, record.value1)) return false;
        if (!ByteImageSwapAlpha(record.AlphaPlane(), *source->Store())) {
          TakeOutAt(layers, record.value1);
          return false;
        }
        show = record.value1;
      }
      layers.Get(layers.IndexOfId(record.layerId))->UpdateThumbnail();
      break;
    }
    case kUndoFolderDepths: {
      if (found < 0) return false;
      const std::vector<uint8_t>& depths = undo ? record.table : record.table2;
      const int32_t n = std::min(record.value1, layers.Count());
      if (n < 0 || static_cast<int32_t>(depths.size()) < n) return false;
      for (int32_t i = 0; i < n; ++i) layers.Get(i)->SetGroupDepth(depths[static_cast<size_t>(i)]);
      layers.EnsureDepthArray(true);
      show = found;
      break;
    }
    case kUndoRemoveFolder: {
      CLayerData* folder = record.Held<CLayerData>();
      if (folder == nullptr) return false;
      if (undo) {
        if (!InsertHeld(layers, folder, record.layerIndex)) return false;
        layers.EnsureDepthArray(true);
        layers.AddDepth(record.layerIndex + 1, record.value3, true, 1);
        layers.ApplyDepths(record.layerIndex + 1, record.value3);
        show = record.layerIndex;
      } else {
        const int32_t index = layers.IndexOfId(folder->id);
        if (index < 0) return false;
        layers.EnsureDepthArray(true);
        layers.AddDepth(index + 1, record.value3, true, -1);
        layers.ApplyDepths(index + 1, record.value3);
        TakeOutAt(layers, index);
        show = layers.ActiveIndex();
      }
      break;
    }
    case kUndoMergeFolder:
    case kUndoDeleteFolder: {
      CLayerList* list = record.Held<CLayerList>();
      if (list == nullptr) return false;
      const bool merge = record.code == kUndoMergeFolder;
      const int32_t start = merge ? record.layerIndex : record.value1;
      const int32_t n = merge ? record.value1 : record.value2;
      if (n < 0 || start < 0 || start > layers.Count()) return false;
      if (undo) {
        if (static_cast<int32_t>(list->size()) < n) return false;
        CLayerList back;
        // The merged layer (merge) comes out once the list's layers are in.
        for (int32_t i = 0; i < n; ++i) {
          std::unique_ptr<CLayerData>& entry = (*list)[static_cast<size_t>(i)];
          if (layers.InsertAt(start + i, entry) < 0) return false;
        }
        list->erase(list->begin(), list->begin() + n);
        if (merge) {
          std::unique_ptr<CLayerData> merged = layers.Extract(start + n);
          if (merged) list->insert(list->begin(), std::move(merged));
        }
        show = start;
      } else {
        if (merge) {
          if (list->empty() || !(*list)[0]) return false;
          if (layers.InsertAt(start, (*list)[0]) < 0) return false;
          list->erase(list->begin());
          for (int32_t i = 0; i < n; ++i) {
            std::unique_ptr<CLayerData> taken = layers.Extract(start + 1);
            if (!taken) return false;
            list->push_back(std::move(taken));
          }
          show = start;
        } else {
          for (int32_t i = 0; i < n; ++i) {
            std::unique_ptr<CLayerData> taken = layers.Extract(start);
            if (!taken) return false;
            list->push_back(std::move(taken));
          }
          show = record.layerIndex;
        }
      }
      layers.ClampActive();
      layers.Renumber();
      break;
    }
    case kUndoMoveBlock: {
      const int32_t a = record.layerIndex;
      const int32_t q = record.value1;
      const int32_t n = record.value3;
      const int32_t b = record.value4;
      if (undo) {
        const int32_t start = layers.MoveBlock(a + b + n - q, b, n);
        if (start != a) return false;
        const CLayerData* first = layers.Get(a);
        if (first != nullptr && first->GroupDepth() != record.value2) {
          const int32_t delta = record.value2 - first->GroupDepth();
          for (int32_t i = 0; i < n; ++i)
            if (CLayerData* layer = layers.Get(a + i)) layer->AddGroupDepth(delta);
          layers.EnsureDepthArray(true);
        }
        show = a;
      } else {
        if (layers.MoveBlock(q, a, n) != b) return false;
        show = b;
      }
      break;
    }
    case kUndoMoveBlockGrown:
    case kUndoMoveBlockWithSelection: {
      CLayerList* list = record.Held<CLayerList>();
      const int32_t a = record.layerIndex;
      const int32_t n = record.value1;
      if (list == nullptr || n < 0 || static_cast<int32_t>(list->size()) < n || a < 0 || a + n > layers.Count())
        return false;
      const int32_t sign = undo ? -1 : 1;
      CMaskMngr* masks = paper_.MaskMngr();
      CMaskData* mask = nullptr;
      if (record.code == kUndoMoveBlockWithSelection) {
        mask = masks != nullptr ? masks->GetMask(record.maskIndex) : nullptr;
        if (mask == nullptr || (record.maskId >= 0 && mask->id != record.maskId)) return false;
      }
      for (int32_t i = 0; i < n; ++i) {
        std::unique_ptr<CLayerData>& entry = (*list)[static_cast<size_t>(i)];
        if (entry) {
          std::unique_ptr<CLayerData> out = layers.Replace(a + i, entry);
          if (!out) return false;
          entry = std::move(out);
        } else {
          MoveLayerBy(*layers.Get(a + i), sign * record.value2, sign * record.value3);
        }
      }
      if (mask != nullptr) {
        mask->offsetX -= sign * record.value2;
        mask->offsetY -= sign * record.value3;
        masks->UpdateThumbnail(mask);
      }
      show = a;
      break;
    }
    case kUndoShowOnlyActive:
    case kUndoShowAll:
    case kUndoInvertVisibility:
    case kUndoFolderVisibility: {
      if (found < 0) return false;
      const int32_t n = std::min({record.value2, layers.Count(), static_cast<int32_t>(record.table.size())});
      for (int32_t i = 0; i < n; ++i) {
        CLayerData* layer = layers.Get(i);
        const uint8_t visible = layer->visible != 0 ? 1 : 0;
        layer->visible = record.table[static_cast<size_t>(i)] != 0 ? 1 : 0;
        record.table[static_cast<size_t>(i)] = visible;
      }
      show = found;
      return true;  // undone is not flipped
    }
    case kUndoTurnCanvas90: {
      // value2: the direction the canvas was last turned.
      if (!paper_.TurnCanvas90(paper_.GetFlowImage(), record.value2 == 0)) return false;
      std::swap(record.rect.width, record.rect.height);
      record.value2 = record.value2 != 0 ? 0 : 1;
      return true;  // undone is not flipped
    }
    case kUndoCanvasSize:
    case kUndoResolution:
    case kUndoTrimCanvas: {
      if (!ExchangeLayerMngrOf(paper_, record)) return false;
      const CLayerMngr& installed = paper_.Layers();
      const SSize now{installed.CanvasWidth(), installed.CanvasHeight()};
      if (record.code == kUndoCanvasSize) {
        const uint8_t anchor = static_cast<uint8_t>(record.value1 & 0xFF);
        const CLayerMngr* held = record.Held<CLayerMngr>();
        const SSize heldSize{held->CanvasWidth(), held->CanvasHeight()};
        if (undo) {
          const TPoint d = AnchorOffset(SSize{record.value2, record.value3}, now, anchor);
          paper_.MoveAllMasks(TPoint{-d.x, -d.y});
        } else {
          paper_.MoveAllMasks(AnchorOffset(SSize{record.rect.width, record.rect.height}, heldSize, anchor));
        }
      } else if (record.code == kUndoTrimCanvas) {
        paper_.MoveAllMasks(undo ? TPoint{record.value1, record.value2} : TPoint{-record.value1, -record.value2});
      }
      if (record.code != kUndoTrimCanvas) {
        std::swap(record.rect.width, record.value2);
        std::swap(record.rect.height, record.value3);
      }
      if (record.code == kUndoResolution) {
        if (CMaskMngr* masks = record.HeldExtra<CMaskMngr>()) {
          std::unique_ptr<CMaskMngr> in(masks);
          const bool swapped = paper_.SwapMaskMngr(now.width, now.height, in);
          (void)in.release();  // the exchange keeps both objects where they were
          if (!swapped) return false;
        }
      }
      if (CMaskMngr* masks = paper_.MaskMngr()) {
        masks->UpdateAllThumbnails();
        if (masks->HasOutline()) paper_.RebuildSelectionOutline();
      }
      show = installed.ActiveIndex();
      break;
    }
    default: return false;
  }
  record.undone = !record.undone;
  return true;
}

bool CUndoMngrEx::MaskRecord(CUndoData& record, bool undo) {
  CMaskMngr& masks = *paper_.MaskMngr();
  auto check = [&]() {
    const CMaskData* mask = masks.GetMask(record.value1);
    return mask != nullptr && mask->id == record.value2;
  };
  auto activate = [&](int32_t index) {
    masks.ClampActive();
    masks.SetActive(index);
  };
  switch (record.code) {
    case kUndoAddMask: {
      if (undo) {
        if (!check()) return false;
        std::unique_ptr<CMaskData> mask = masks.Detach(record.value1);
        CMaskData* raw = mask.release();
        if (!record.SetHeld(raw)) {
          std::unique_ptr<CMaskData> back(raw);
          masks.InsertMask(record.value1, back);
          return false;
        }
        masks.Renumber();
        activate(LowHalf(record.value3));
      } else {
        std::unique_ptr<CMaskData> mask(record.TakeHeld<CMaskData>());
        if (!mask) return false;
        if (masks.InsertMask(record.value1, mask) < 0) {
          record.SetHeld(mask.release());
          return false;
        }
        masks.Renumber();
        activate(HighHalf(record.value3));
      }
      return true;
    }
    case kUndoMaskFromLayer: {
      CMaskData* held = record.Held<CMaskData>();
      if (held == nullptr) return false;
      if (undo) {
        if (masks.GetMask(record.value1) != held) return false;
        (void)masks.Detach(record.value1).release();
        masks.Renumber();
        activate(LowHalf(record.value3));
      } else {
        std::unique_ptr<CMaskData> mask(held);
        if (masks.InsertMask(record.value1, mask) < 0) {
          (void)mask.release();
          return false;
        }
        masks.Renumber();
        activate(HighHalf(record.value3));
      }
      return true;
    }
    case kUndoDeleteMask: {
      if (undo) {
        std::unique_ptr<CMaskData> mask(record.TakeHeld<CMaskData>());
        if (!mask) return false;
        if (masks.InsertMask(record.value1, mask) < 0) {
          record.SetHeld(mask.release());
          return false;
        }
        masks.Renumber();
        activate(LowHalf(record.value3));
      } else {
        if (!check()) return false;
        CMaskData* raw = masks.Detach(record.value1).release();
        if (!record.SetHeld(raw)) {
          std::unique_ptr<CMaskData> back(raw);
          masks.InsertMask(record.value1, back);
          return false;
        }
        masks.Renumber();
        activate(HighHalf(record.value3));
      }
      return true;
    }
    case kUndoMaskPixels: {
      const CMaskData* now = masks.GetMask(record.value1);
      if (now == nullptr || now->id != record.value2) return false;
      if (!ExchangeMaskWithHeld(masks, record, record.value1)) return false;
      record.value2 = masks.GetMask(record.value1) != nullptr ? masks.GetMask(record.value1)->id : -1;
      return true;
    }
    case kUndoActiveMask: activate(undo ? record.value3 : record.value1); return true;
    case kUndoMoveMask:
      if (undo) {
        if (masks.Move(record.value1, record.value2) < 0) return false;
        activate(record.value1);
      } else {
        if (masks.Move(record.value2, record.value1) < 0) return false;
        activate(record.value2);
      }
      return true;
    case kUndoInvertMask: {
      if (!check()) return false;
      CMaskData* mask = masks.GetMask(record.value1);
      if (!mask->IsAllocated() || !mask->Store()->XorAll(255)) return false;
      mask->Store()->Compact();
      masks.UpdateThumbnail(mask);
      return true;
    }
    case kUndoMaskOffset: {
      if (!check()) return false;
      CMaskData* mask = masks.GetMask(record.value1);
      const int32_t sign = undo ? 1 : -1;
      mask->offsetX += sign * record.value3;
      mask->offsetY += sign * record.value4;
      masks.UpdateThumbnail(mask);
      return true;
    }
    case kUndoSelectionFlags:
      paper_.selectionEnabled = HighHalf(record.value1) != 0 ? 1 : 0;
      paper_.selectionVisible = LowHalf(record.value1) != 0 ? 1 : 0;
      std::swap(record.value1, record.value2);
      return true;
    case kUndoCombineMasks: return ExchangeMaskWithHeld(masks, record, record.value2);
    case kUndoMaskName: {
      if (!check()) return false;
      masks.GetMask(record.value1)->name = undo ? record.name1 : record.name2;
      return true;
    }
    default: return false;
  }
}

}  // namespace tf
