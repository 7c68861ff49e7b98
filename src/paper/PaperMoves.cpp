// TPaper: moving layers, folder blocks and the selection on the canvas, with stores growing so
// that they keep covering the canvas.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/FlowImage.h"
#include "paper/LayerBuild.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "platform/Debug.h"
#include "platform/Host.h"

namespace tf {

namespace {

// Distances a move accepts: what a store side reaches.
bool DistanceAccepted(int32_t dx, int32_t dy) {
  return std::abs(int64_t{dx}) <= kMaxLayerStoreSide && std::abs(int64_t{dy}) <= kMaxLayerStoreSide;
}

// The record of a grown layer (codes 34 and 35): it names the layer now in the stack and holds
// the former one. On true the undo owns the former layer.
bool PushGrowRecord(TPaper& paper, uint8_t code, std::unique_ptr<CLayerData>& former, const CLayerData& now,
                    int32_t index, const CMaskData* mask, const TPoint& d) {
  CUndoMngrEx* undo = paper.UndoMngr();
  if (undo == nullptr) {
    if (!paper.PushUndo(former.get(), code, 0, 0, now.id, index)) return false;
    (void)former.release();
    return true;
  }
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
  if (!record) return false;
  record->SetValues(true, now.id, kUndoCategoryLayers, code, 0, 0, 0, 0);
  if (mask != nullptr) {
    record->value3 = d.x;
    record->value4 = d.y;
    record->maskIndex = mask->index;
    record->maskId = mask->id;
  }
  record->SetLayerIndex(index);
  record->SetRect(SRectWH{0, 0, now.StoreWidth(), now.StoreHeight()});
  if (!record->SetHeld(former.get())) return false;
  if (undo->PushRecord(record)) {
    (void)former.release();
    return true;
  }
  if (record) (void)record->TakeHeld<CLayerData>();
  return false;
}

// The record of a moved block (codes 43 and 44). On true the undo owns the list.
bool PushBlockRecord(TPaper& paper, uint8_t code, std::unique_ptr<CLayerList>& list, int32_t index, int32_t count,
                     const TPoint& d, const CMaskData* mask) {
  CUndoMngrEx* undo = paper.UndoMngr();
  if (undo == nullptr) {
    if (!paper.PushUndo(list.get(), code, 0, d.x, d.y, index)) return false;
    (void)list.release();
    return true;
  }
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
  if (!record) return false;
  const CLayerData* first = paper.GetLayer(index);
  record->SetValues(true, first != nullptr ? first->id : -1, kUndoCategoryLayers, code, count, d.x, d.y, 0);
  record->SetLayerIndex(index);
  if (mask != nullptr) {
    record->maskIndex = mask->index;
    record->maskId = mask->id;
  }
  if (!record->SetHeld(list.get())) return false;
  if (undo->PushRecord(record)) {
    (void)list.release();
    return true;
  }
  if (record) (void)record->TakeHeld<CLayerList>();
  return false;
}

// The record of a layer moved with the selection (code 24).
bool PushMoveWithMaskRecord(TPaper& paper, const CLayerData& layer, const CMaskData& mask, const TPoint& d) {
  CUndoMngrEx* undo = paper.UndoMngr();
  if (undo == nullptr)
    return paper.PushAttributeUndo(const_cast<CLayerData*>(&layer), d.x, kUndoLayerAndSelectionOffset, d.y);
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
  if (!record) return false;
  record->SetAttribute(layer.id, kUndoLayerAndSelectionOffset, 0, d.x, d.y, 0);
  record->filled = true;
  record->SetLayerIndex(layer.index);
  record->maskIndex = mask.index;
  record->maskId = mask.id;
  return undo->PushRecord(record);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Planning

int32_t TPaper::GetOffsetOverflow(const CLayerData& layer, int32_t dx, int32_t dy) const {
  const int64_t left = int64_t{dx} - layer.offsetX;
  const int64_t top = int64_t{dy} - layer.offsetY;
  int32_t bits = 0;
  if (left > 0 || left + layer.StoreWidth() < canvasWidth) bits |= 1;
  if (top > 0 || top + layer.StoreHeight() < canvasHeight) bits |= 2;
  return bits;
}

bool TPaper::CanOffsetLayers(int32_t index, int32_t count, int32_t dx, int32_t dy, int32_t extraBits) const {
  if (!DistanceAccepted(dx, dy) || count < 1 || !IsValidLayerIndex(index) ||
      int64_t{index} + count > GetLayerCount())
    return false;
  for (int32_t i = index; i < index + count; ++i) {
    const CLayerData* layer = GetLayer(i);
    if (layer == nullptr || layer->Store() == nullptr) return false;
    const int32_t bits = GetOffsetOverflow(*layer, dx, dy) | extraBits;
    SStoreGrowth growth;
    if (bits != 0 && !PlanStoreGrowth(*layer, dx, dy, bits, growth)) return false;
  }
  return true;
}

std::unique_ptr<CLayerData> TPaper::BuildGrownLayer(int32_t index, int32_t dx, int32_t dy, int32_t bits) {
  CLayerData* layer = GetLayer(index);
  SStoreGrowth growth;
  if (layer == nullptr || !PlanStoreGrowth(*layer, dx, dy, bits, growth)) return nullptr;
  std::unique_ptr<CLayerData> grown =
      RelayLayer(*layer, growth.size, SSize{Layers().ThumbnailWidth(), Layers().ThumbnailHeight()}, 0,
                 growth.dest, growth.offset, SSize{canvasWidth, canvasHeight});
  if (!grown) return nullptr;
  // A moved layer keeps every attribute (folder depth, protection, dissolve) and its place.
  grown->CopyAttributes(*layer);
  grown->UpdateThumbnail();
  return grown;
}

bool TPaper::BuildGrownLayers(int32_t index, int32_t count, const TPoint& d, CLayerList& list) {
  list.clear();
  list.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const CLayerData* layer = GetLayer(index + i);
    if (layer == nullptr) return false;
    const int32_t bits = GetOffsetOverflow(*layer, d.x, d.y);
    if (bits == 0) continue;
    list[static_cast<size_t>(i)] = BuildGrownLayer(index + i, d.x, d.y, bits);
    if (!list[static_cast<size_t>(i)]) {
      list.clear();
      return false;
    }
  }
  return true;
}

void TPaper::ApplyGroupOffset(int32_t index, const TPoint& d, CLayerList& list) {
  for (int32_t i = 0; i < static_cast<int32_t>(list.size()); ++i) {
    std::unique_ptr<CLayerData>& entry = list[static_cast<size_t>(i)];
    if (entry) {
      std::unique_ptr<CLayerData> old = Layers().Replace(index + i, entry);
      entry = std::move(old);
    } else if (CLayerData* layer = GetLayer(index + i)) {
      layer->Offset(d.x, d.y);
    }
  }
  Layers().EnsureDepthArray(true);
}

void TPaper::FinishLayerMove(TFlowImage* flow, int32_t index, bool grown) {
  SetModified(true);
  if (flow != nullptr) {
    if (grown) flow->Resize(false);
    SyncFlowImage(flow, GetActiveLayerIndex(), true);
  }
  // Only the active layer's refresh may reload the working copy.
  RefreshLayerAll(index == GetActiveLayerIndex() ? flow : nullptr, index, false);
  if (grown) RedrawAll(false);
}

bool TPaper::OffsetMaskBy(CMaskData& mask, const TPoint& d, bool retrace) {
  CMaskMngr* masks = MaskMngr();
  if (masks == nullptr) return false;
  mask.offsetX -= d.x;
  mask.offsetY -= d.y;
  masks->UpdateThumbnail(&mask);
  if (retrace) {
    RebuildSelectionOutline();
    UpdateMaskPane();
  }
  return true;
}

CMaskData* TPaper::MoveMask(int32_t mask) const {
  CMaskMngr* masks = MaskMngr();
  if (masks == nullptr) return nullptr;
  CMaskData* found = masks->GetMask(mask < 0 ? masks->GetActiveIndex() : mask);
  return CMaskData::IsAllocated(found) ? found : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Layers

bool TPaper::OffsetLayer(TFlowImage* flow, int32_t index, bool record, int32_t dy, int32_t dx) {
  if ((dx == 0 && dy == 0) || !IsValidLayerIndex(index)) return false;
  const int32_t span = Layers().GetGroupSpan(index, false);
  if (span >= 1) return OffsetGroup(flow, index, record, TPoint{dx, dy}, span + 1);
  const int32_t bits = GetOffsetOverflow(*GetLayer(index), dx, dy);
  if (bits != 0) return OffsetLayerGrow(flow, index, record, dy, dx, bits);
  auto check = [&] { return CanOffsetLayers(index, 1, dx, dy, 0); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData& layer = *GetLayer(index);
    const int32_t oldX = layer.offsetX;
    const int32_t oldY = layer.offsetY;
    const bool inside = layer.Offset(dx, dy);
    command.Record([&](CEventMngr& events) { events.writeLayerOffset(static_cast<int16_t>(index), dx, dy); });
    command.Undo([&] { return PushAttributeUndo(&layer, oldX, kUndoLayerOffset, oldY); });
    FinishLayerMove(flow, index, false);
    return inside;
  });
}

bool TPaper::OffsetLayerGrow(TFlowImage* flow, int32_t index, bool record, int32_t dy, int32_t dx, int32_t bits) {
  auto check = [&] {
    return (dx != 0 || dy != 0) && (bits & ~3) == 0 && CanOffsetLayers(index, 1, dx, dy, bits);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    // The recorded bits and whatever the layer needs now: the store keeps covering the canvas.
    const int32_t grow = bits | GetOffsetOverflow(*GetLayer(index), dx, dy);
    std::unique_ptr<CLayerData> grown = BuildGrownLayer(index, dx, dy, grow);
    if (!grown) return false;
    const CLayerData* now = grown.get();
    std::unique_ptr<CLayerData> former = Layers().Replace(index, grown);
    if (!former) return false;
    Layers().EnsureDepthArray(true);
    command.Record([&](CEventMngr& events) {
      events.writeLayerOffsetGrow(static_cast<int16_t>(index), static_cast<uint8_t>(bits), 1, dy, dx);
    });
    command.Undo([&] { return PushGrowRecord(*this, kUndoGrowLayer, former, *now, index, nullptr, TPoint{}); });
    former.reset();
    FinishLayerMove(flow, index, true);
    return true;
  });
}

bool TPaper::OffsetLayerEx(TFlowImage* flow, int32_t index, bool record, uint8_t bits, uint8_t flag, int32_t dy,
                           int32_t dx) {
  if (flag != 1 || !IsValidLayerIndex(index)) return false;
  return OffsetLayerGrow(flow, index, record, dy, dx, bits);
}

bool TPaper::OffsetLayerInMask(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t mask) {
  if ((d.x == 0 && d.y == 0) || !IsValidLayerIndex(index)) return false;
  CMaskData* moved = MoveMask(mask);
  if (moved == nullptr) return OffsetLayer(flow, index, record, d.y, d.x);
  const int32_t span = Layers().GetGroupSpan(index, false);
  if (span >= 1) return OffsetGroupInMask(flow, index, record, d, span + 1, mask);
  const int32_t bits = GetOffsetOverflow(*GetLayer(index), d.x, d.y);
  if (bits != 0) return OffsetLayerInMaskGrow(flow, index, record, d, mask, bits);
  auto check = [&] { return CanOffsetLayers(index, 1, d.x, d.y, 0); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData& layer = *GetLayer(index);
    OffsetMaskBy(*moved, d, true);
    const bool inside = layer.Offset(d.x, d.y);
    command.Record([&](CEventMngr& events) {
      events.writeLayerOffsetInMask(static_cast<int16_t>(index), static_cast<int16_t>(mask), d);
    });
    command.Undo([&] { return PushMoveWithMaskRecord(*this, layer, *moved, d); });
    FinishLayerMove(flow, index, false);
    return inside;
  });
}

bool TPaper::OffsetLayerInMaskGrow(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t mask,
                                   int32_t bits) {
  auto check = [&] {
    return (d.x != 0 || d.y != 0) && (bits & ~3) == 0 && MoveMask(mask) != nullptr &&
           CanOffsetLayers(index, 1, d.x, d.y, bits);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CMaskData* moved = MoveMask(mask);
    const int32_t grow = bits | GetOffsetOverflow(*GetLayer(index), d.x, d.y);
    std::unique_ptr<CLayerData> grown = BuildGrownLayer(index, d.x, d.y, grow);
    if (!grown) return false;
    const CLayerData* now = grown.get();
    std::unique_ptr<CLayerData> former = Layers().Replace(index, grown);
    if (!former) return false;
    Layers().EnsureDepthArray(true);
    OffsetMaskBy(*moved, d, true);
    command.Record([&](CEventMngr& events) {
      events.writeLayerOffsetInMaskGrow(static_cast<int16_t>(index), static_cast<int16_t>(mask), d,
                                        static_cast<int16_t>(bits));
    });
    command.Undo(
        [&] { return PushGrowRecord(*this, kUndoGrowLayerWithSelection, former, *now, index, moved, d); });
    former.reset();
    FinishLayerMove(flow, index, true);
    return true;
  });
}

bool TPaper::OffsetLayerInMaskEx(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t mask,
                                 int32_t bits) {
  if (!IsValidLayerIndex(index)) return false;
  return OffsetLayerInMaskGrow(flow, index, record, d, mask, bits);
}

// ---------------------------------------------------------------------------------------------
// Folder blocks

bool TPaper::OffsetGroup(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t count) {
  return OffsetBlock(flow, index, record, d, count, nullptr, 0);
}

bool TPaper::OffsetGroupInMask(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t count,
                               int32_t mask) {
  CMaskData* moved = MoveMask(mask);
  if (moved == nullptr) return OffsetGroup(flow, index, record, d, count);
  return OffsetBlock(flow, index, record, d, count, moved, mask);
}

bool TPaper::OffsetBlock(TFlowImage* flow, int32_t index, bool record, const TPoint& d, int32_t count,
                         CMaskData* mask, int32_t maskArgument) {
  auto check = [&] { return (d.x != 0 || d.y != 0) && CanOffsetLayers(index, count, d.x, d.y, 0); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    auto list = std::make_unique<CLayerList>();
    if (!BuildGrownLayers(index, count, d, *list)) return false;
    const bool grown =
        std::any_of(list->begin(), list->end(), [](const auto& entry) { return entry != nullptr; });
    const int32_t layerCount = GetLayerCount();
    command.Record([&](CEventMngr& events) {
      if (mask == nullptr) {
        events.writeLinkGroupOpEx(9, static_cast<int16_t>(index), static_cast<int16_t>(layerCount), count, d, -1);
      } else {
        CMaskMngr* masks = MaskMngr();
        const int32_t value = (masks->GetCount() << 16) | layerCount;
        events.writeLinkGroupOpEx(10, static_cast<int16_t>(index), static_cast<int16_t>(value), count, d,
                                  maskArgument);
      }
    });
    ApplyGroupOffset(index, d, *list);
    if (mask != nullptr) OffsetMaskBy(*mask, d, true);
    command.Undo([&] {
      return PushBlockRecord(*this, mask == nullptr ? kUndoMoveBlockGrown : kUndoMoveBlockWithSelection, list,
                             index, count, d, mask);
    });
    list.reset();
    FinishLayerMove(flow, index, grown);
    for (int32_t i = 1; i < count; ++i)
      RefreshLayerAll(index + i == GetActiveLayerIndex() ? flow : nullptr, index + i, false);
    return true;
  });
}

}  // namespace tf
