// TPaper: the folder commands (depth, visibility, moving, deleting and merging a folder), merging
// a layer down and merging the visible layers.
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerDraw.h"
#include "document/LayerMngr.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "paper/ViewRender.h"
#include "platform/Host.h"
#include "platform/Warning.h"

namespace tf {

namespace {

// A layer-structure record with its values, for CUndoMngrEx::PushRecord.
std::unique_ptr<CUndoData> StructureRecord(uint8_t code, int32_t layerId, int32_t value1, int32_t value2,
                                           int32_t value3, int32_t value4) {
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
  if (!record) return nullptr;
  record->SetValues(true, layerId, kUndoCategoryLayers, code, value1, value2, value3, value4);
  return record;
}

// Pushes the record; false (the record stays the caller's, its slots forgotten) without document
// undo or when the undo does not take it.
bool PushStructure(TPaper& paper, std::unique_ptr<CUndoData>& record) {
  CUndoMngrEx* undo = paper.UndoMngr();
  if (undo == nullptr || !record) return false;
  if (undo->PushRecord(record)) return true;
  record->ForgetHeld();  // what it names still lives in the document
  return false;
}

// The failure rule of a layer structure change that could not be completed.
void CommandIncomplete(TPaper& paper, bool record) {
  if (!record) return;
  ShowWarning(Tx(TextId::PaperCommandIncomplete));
  paper.ClearUndo();
}

int32_t Id16(const CLayerData* layer) { return layer != nullptr ? (layer->id & 0xFFFF) : 0; }

// A layer drawn at another opacity for the length of one composition.
class OpacityOverride {
 public:
  OpacityOverride(CLayerData& layer, int32_t opacity) : layer_(layer), saved_(layer.opacity) {
    layer_.opacity = static_cast<uint8_t>(std::clamp(opacity, 0, 255));
  }
  OpacityOverride(const OpacityOverride&) = delete;
  OpacityOverride& operator=(const OpacityOverride&) = delete;
  ~OpacityOverride() { layer_.opacity = saved_; }

 private:
  CLayerData& layer_;
  uint8_t saved_;
};

// Where a layer's store lies in a store whose canvas origin is at -bounds' left and top.
TPoint PositionIn(const CLayerData& layer, const SRectWH& bounds) {
  return TPoint{-layer.offsetX - bounds.left, -layer.offsetY - bounds.top};
}

// A new normal-mode layer covering the bounds (canvas coordinates), filled with the neutral
// colour of `mode` at alpha 0. Null when it cannot be made.
std::unique_ptr<CLayerData> MakeMergeTarget(const TPaper& paper, const SRectWH& bounds, int32_t index,
                                            uint8_t mode) {
  auto layer = std::make_unique<CLayerData>(index, false);
  if (!layer->Init(bounds.width, bounds.height, kModeNormal)) return nullptr;
  layer->offsetX = -bounds.left;
  layer->offsetY = -bounds.top;
  layer->canvasWidth = paper.canvasWidth;
  layer->canvasHeight = paper.canvasHeight;
  if (!FillNeutralAll(*layer->Store(), mode)) return nullptr;
  return layer;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Tests and bounds

bool TPaper::CanMergeDown(int32_t index) const {
  if (!HasModernEngine()) return index > 0 && IsValidLayerIndex(index);
  return Layers().CanMergeDown(index);
}

bool TPaper::CanMergeVisible(int32_t& first, bool composite, uint32_t modeWord) const {
  first = Layers().FirstVisible();
  if (GetVisibleLayerCount() < 2 || first != 0) return false;
  if (composite) return true;
  const uint8_t mode = GetLayer(0)->blendMode;
  if (modeWord != 0) return mode == kModeMultiply || mode == kModeNormal;
  return mode != kModeAdd && mode != kModeSubtract;
}

bool TPaper::CanShiftGroupDepth(int32_t index, bool deeper, bool rebuild) const {
  return deeper ? Layers().CanIndent(index, rebuild) : Layers().CanOutdent(index, rebuild);
}

bool TPaper::CanChangeGroupDepth(bool deeper, bool rebuild) const {
  return CanShiftGroupDepth(GetActiveLayerIndex(), deeper, rebuild);
}

bool TPaper::HasLayerGroups() const { return Layers().GetMaxDepth() > 0; }

bool TPaper::CanMergeGroup(int32_t index) const {
  if (!IsValidLayerIndex(index) || GetGroupSize(index) <= 1) return false;
  const CLayerData* layer = GetLayer(index);
  return layer->visible != 0 && layer->blendMode == kModeNormal;
}

bool TPaper::CanDeleteGroup(int32_t index) const {
  if (!IsValidLayerIndex(index)) return false;
  const int32_t size = GetGroupSize(index);
  return size > 1 && size < GetLayerCount();
}

SRectWH TPaper::GetLayersBounds(int32_t index, int32_t count, bool visibleOnly) const {
  TRect bounds;
  if (visibleOnly)
    GetLayersBounds(index, count, true, bounds);
  else
    GetLayerRangeBounds(index, count, bounds);
  auto clamp32 = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return SRectWH{bounds.left, bounds.top, clamp32(int64_t{bounds.right} - bounds.left),
                 clamp32(int64_t{bounds.bottom} - bounds.top)};
}

// ---------------------------------------------------------------------------------------------
// Folder rows, visibility, depth and moves

bool TPaper::DeleteFolderRow(TFlowImage* flow, int32_t index, bool record) {
  if (IsValidLayerIndex(index) && Layers().GetGroupSpan(index, true) <= 0)
    return DeleteLayer(flow, index, record);
  int32_t span = 0;
  std::vector<uint8_t> depths;
  auto check = [&] {
    if (GetLayerCount() < 2 || !IsValidLayerIndex(index)) return false;
    span = Layers().GetGroupSpan(index, true);
    if (span <= 0) return false;
    try {
      depths = Layers().DepthArray();
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t count = GetLayerCount();
    const int32_t active = GetActiveLayerIndex();
    CLayerData* row = GetLayer(index);
    command.Record(
        [&](CEventMngr& events) { events.writeLinkGroupOp(8, static_cast<int16_t>(index), 0, count, span); });
    const bool took = command.Undo([&] {
      std::unique_ptr<CUndoData> undo = StructureRecord(kUndoRemoveFolder, row->id, span << 16 | count,
                                                        Id16(row) | Id16(GetLayer(active)) << 16, span, index);
      if (!undo || !undo->SetHeld(row)) return false;
      undo->layerIndex = index;
      undo->table = std::move(depths);
      return PushStructure(*this, undo);
    });
    Layers().EnsureDepthArray(true);
    Layers().AddDepth(index + 1, span, true, -1);
    Layers().ApplyDepths(index + 1, span);
    std::unique_ptr<CLayerData> removed = Layers().ExtractAndFix(index);
    if (took) (void)removed.release();  // the undo holds it now
    removed.reset();
    Layers().EnsureDepthArray(true);
    SetModified(true);
    SetActiveLayer(flow, std::min(active, GetLayerCount() - 1));
    RedrawAll(true);
    return true;
  });
}

bool TPaper::SetGroupVisible(int32_t index, int32_t count, bool record, bool visible) {
  // The count comes from the user interface and from streams: at least 1, no more than the
  // layers from index.
  if (!IsValidLayerIndex(index) || count < 1 || count > GetLayerCount() - index) return false;
  if ((GetLayer(index)->visible != 0) == visible) return true;
  return RunCommand(
      record, [] { return true; },
      [&](PaperCommand& command) {
        const int32_t layers = GetLayerCount();
        command.Record([&](CEventMngr& events) {
          events.writeLinkGroupOp(16, static_cast<int16_t>(index), 0, count << 16 | (visible ? 1 : 0), layers);
        });
        command.Undo([&] {
          std::unique_ptr<CUndoData> undo = StructureRecord(kUndoFolderVisibility, GetLayer(index)->id, 0, layers,
                                                            count << 16 | (visible ? 1 : 0), index);
          if (!undo || !Layers().GetVisibility(undo->table)) return false;
          return PushStructure(*this, undo);
        });
        for (int32_t i = index; i < index + count; ++i) GetLayer(i)->visible = visible ? 1 : 0;
        SetModified(true);
        RefreshLayerOrGroup(index, true);
        RedrawAll(true);
        return true;
      });
}

bool TPaper::ChangeGroupDepth(TFlowImage* flow, int32_t index, bool record, bool deeper) {
  std::vector<uint8_t> before;
  std::vector<uint8_t> after;
  auto check = [&] {
    if (!IsValidLayerIndex(index) || !Layers().EnsureDepthArray(true)) return false;
    if (!CanShiftGroupDepth(index, deeper, true)) return false;
    try {
      before = Layers().DepthArray();
      after.reserve(before.size());  // taken after the change without allocating
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    SelectLayer(flow, index);
    if (!Layers().ChangeDepth(index, deeper, true)) return false;
    Layers().EnsureDepthArray(true);
    after.assign(Layers().DepthArray().begin(), Layers().DepthArray().end());
    const int32_t count = static_cast<int32_t>(after.size());
    command.Record([&](CEventMngr& events) {
      events.writeLinkGroup(static_cast<int16_t>(index), deeper, after.data(), before.data(), count);
    });
    command.Undo([&] {
      std::unique_ptr<CUndoData> undo =
          StructureRecord(kUndoFolderDepths, GetLayer(index)->id, count, 0, 0, index);
      if (!undo) return false;
      undo->table = std::move(before);
      undo->table2 = std::move(after);
      return PushStructure(*this, undo);
    });
    SetModified(true);
    RefreshLayerOrGroup(index, true);
    return true;
  });
}

bool TPaper::MoveLayerGroup(TFlowImage* flow, int32_t from, bool record, int32_t to, int32_t count) {
  auto check = [&] { return IsValidLayerIndex(from) && Layers().CanMoveBlock(to, from, true, count); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t oldDepth = GetLayer(from)->GroupDepth();
    command.Record([&](CEventMngr& events) {
      events.writeLinkGroupOp(11, static_cast<int16_t>(from), 0, oldDepth << 16 | count, to);
    });
    const int32_t moved = Layers().MoveBlock(to, from, count);
    if (moved < 0) {
      CommandIncomplete(*this, record);
      return false;
    }
    command.Undo([&] {
      const CLayerData* row = GetLayer(moved);
      std::unique_ptr<CUndoData> undo = StructureRecord(kUndoMoveBlock, row->id, to, oldDepth, count, moved);
      if (!undo) return false;
      undo->layerIndex = from;
      return PushStructure(*this, undo);
    });
    SetActiveLayer(flow, moved);
    RedrawAll(true);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Folders as a whole

bool TPaper::MergeGroup(TFlowImage* flow, int32_t index, bool record, int32_t size) {
  auto check = [&] {
    return IsValidLayerIndex(index) && size > 1 && size == GetGroupSize(index) && size <= GetLayerCount() - index;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const CLayerData* row = GetLayer(index);
    const int32_t rowDepth = row->GroupDepth();
    const SRectWH bounds = GetLayersBounds(index, size, true);
    std::unique_ptr<CLayerData> merged = MakeMergeTarget(*this, bounds, index, row->blendMode);
    if (!merged) return false;
    merged->name = row->name;
    merged->SetGroupDepth(rowDepth);
    // The folder's ancestors do not dim the result: the merged layer keeps the row's depth, so
    // they still apply when it is drawn.
    FolderOpacityRecord opacities;
    ClearFolderOpacity(opacities);
    for (int32_t i = 0; i < index; ++i) GetEffectiveOpacity(*GetLayer(i), opacities);
    for (int32_t d = 0; d <= std::min(rowDepth, kFolderOpacityEntries - 1); ++d)
      opacities[static_cast<size_t>(d)].opacity = 255;
    for (int32_t i = index; i < index + size; ++i) {
      CLayerData& layer = *GetLayer(i);
      const int32_t effective = GetEffectiveOpacity(layer, opacities);
      if (effective <= 0 || layer.visible == 0 || layer.Store() == nullptr) continue;
      OpacityOverride drawn(layer, effective);
      TPoint at = PositionIn(layer, bounds);
      SRectWH rect{0, 0, layer.StoreWidth(), layer.StoreHeight()};
      if (!CompositeLayers(*merged, layer, at, 0x30003u, rect)) return false;
    }
    merged->Store()->Compact();
    merged->SetThumbnailSize(Layers().ThumbnailWidth(), Layers().ThumbnailHeight());
    merged->UpdateThumbnail();
    auto list = std::make_unique<CLayerList>(static_cast<size_t>(size));
    const int32_t count = GetLayerCount();
    command.Record([&](CEventMngr& events) {
      events.writeLinkGroupOp(12, static_cast<int16_t>(index), 0, rowDepth | count << 16, size);
    });
    // Everything is made: the block comes out (top down, kept in stack order) and the merged
    // layer goes in.
    for (int32_t i = index + size - 1; i >= index; --i)
      (*list)[static_cast<size_t>(i - index)] = Layers().Extract(i);
    CLayerData* mergedLayer = merged.get();
    if (Layers().InsertAt(index, merged) < 0) {
      for (int32_t i = 0; i < size; ++i) Layers().InsertAt(index + i, (*list)[static_cast<size_t>(i)]);
      Layers().Renumber();
      return false;
    }
    Layers().ClampActive();
    Layers().Renumber();
    Layers().EnsureDepthArray(true);
    const bool took = command.Undo([&] {
      std::unique_ptr<CUndoData> undo =
          StructureRecord(kUndoMergeFolder, mergedLayer->id, size, count, size, index);
      if (!undo || !undo->SetHeld(list.get())) return false;
      undo->layerIndex = index;
      return PushStructure(*this, undo);
    });
    if (took) (void)list.release();  // the undo holds the block now
    list.reset();
    SetActiveLayer(flow, index);
    SetModified(true);
    UpdateThumbnailsRect(false, index, SRectWH{0, 0, canvasWidth, canvasHeight});
    RedrawAll(true);
    return true;
  });
}

bool TPaper::DeleteGroup(TFlowImage* flow, int32_t index, bool record, int32_t size) {
  auto check = [&] { return CanDeleteGroup(index) && size == GetGroupSize(index); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t count = GetLayerCount();
    const int32_t rowDepth = GetLayer(index)->GroupDepth();
    auto list = std::make_unique<CLayerList>(static_cast<size_t>(size));
    command.Record([&](CEventMngr& events) {
      events.writeLinkGroupOp(13, static_cast<int16_t>(index), 0, count << 16 | rowDepth, size);
    });
    for (int32_t i = index + size - 1; i >= index; --i)
      (*list)[static_cast<size_t>(i - index)] = Layers().Extract(i);
    Layers().ClampActive();
    Layers().Renumber();
    Layers().EnsureDepthArray(true);
    const int32_t active = std::max(index - 1, 0);
    const bool took = command.Undo([&] {
      const CLayerData* shown = GetLayer(active);
      std::unique_ptr<CUndoData> undo =
          StructureRecord(kUndoDeleteFolder, shown->id, index, size, Id16(shown) << 16 | active, index);
      if (!undo || !undo->SetHeld(list.get())) return false;
      undo->layerIndex = active;
      return PushStructure(*this, undo);
    });
    if (took) (void)list.release();
    list.reset();
    SetActiveLayer(flow, active);
    SetModified(true);
    UpdateThumbnailsRect(false, active, SRectWH{0, 0, canvasWidth, canvasHeight});
    RedrawAll(true);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Merging down

bool TPaper::MergeDown(TFlowImage* flow, int32_t index, bool record) {
  return MergeDownWith(flow, index, record, false, 0);
}

bool TPaper::BindLowerLayer(TFlowImage* flow, int32_t index, bool record, uint32_t modeWord) {
  return MergeDownWith(flow, index, record, true, modeWord);
}

bool TPaper::MergeDownWith(TFlowImage* flow, int32_t index, bool record, bool bind, uint32_t modeWord) {
  auto check = [&] { return CanMergeDown(index) && (modeWord & 0xFFFFu) <= 3; };
  const SRectWH canvas{0, 0, canvasWidth, canvasHeight};
  if (!HasModernEngine() && !bind) {
    // The older engine merges in place and records nothing.
    return RunCommand(false, check, [&](PaperCommand&) {
      WaitCursor busy;
      CLayerData* lower = GetLayer(index - 1);
      const CLayerData* upper = GetLayer(index);
      if (lower->Store() == nullptr || upper->Store() == nullptr) return false;
      if (!MergeLayerLegacy(*upper, *lower->Store(), lower->offsetX - upper->offsetX,
                            lower->offsetY - upper->offsetY))
        return false;
      Layers().Delete(index);
      Layers().EnsureDepthArray(true);
      SetActiveLayer(flow, index - 1);
      SetModified(true);
      UpdateThumbnailsRect(false, index - 1, canvas);
      RedrawAll(true);
      return true;
    });
  }
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    CLayerData* upper = GetLayer(index);
    const int32_t lowerId = GetLayer(index - 1)->id;
    command.Record([&](CEventMngr& events) {
      if (bind) {
        events.writeLayerOpEx(static_cast<int16_t>(index), static_cast<int16_t>(index - 1), 10, 0,
                              static_cast<int32_t>(modeWord));
      } else {
        events.writeLayerOp(static_cast<int16_t>(index), static_cast<int16_t>(index - 1), 5);
      }
    });
    // The record is pushed before the merge; its slots are made now, so that the layers go in
    // afterwards without allocating.
    CUndoData* pushed = nullptr;
    const bool took = command.Undo([&] {
      std::unique_ptr<CUndoData> undo = StructureRecord(kUndoMergeDown, lowerId, index | (index - 1) << 16,
                                                        lowerId, static_cast<int32_t>(modeWord), 0);
      if (!undo) return false;
      std::unique_ptr<CUndoHeld> slot(new (std::nothrow) TUndoHeld<CLayerData>(nullptr));
      if (!slot || !undo->SetHeldExtra(upper)) return false;
      undo->AdoptHeld(std::move(slot));
      undo->layerIndex = index;
      if (!PushStructure(*this, undo)) return false;
      UndoMngr()->PeekUndo(pushed);
      return pushed != nullptr;
    });
    std::unique_ptr<CLayerData> oldLower;
    if (!Layers().MergeDown(index - 1, index, &oldLower, bind ? modeWord : 0u)) {
      // The stack is as it was: the record is taken back, the layers stay.
      if (took) {
        pushed->ForgetHeld();
        UndoMngr()->DropNewestUndo();
      }
      return false;
    }
    std::unique_ptr<CLayerData> merged = Layers().Extract(index);
    if (took) {
      CLayerData* former = oldLower.release();
      pushed->ExchangeHeld(former);  // into the slot made above: no allocation
      (void)merged.release();        // the record's extra slot holds it
    }
    oldLower.reset();
    merged.reset();
    Layers().ClampActive();
    Layers().Renumber();
    Layers().EnsureDepthArray(true);
    SetActiveLayer(flow, index - 1);
    SetModified(true);
    UpdateThumbnailsRect(false, index - 1, canvas);
    RedrawAll(true);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Merging the visible layers

bool TPaper::MergeVisibleLayers(TFlowImage* flow, bool composite, bool record, uint32_t modeWord) {
  int32_t first = -1;
  auto check = [&] {
    return CanMergeVisible(first, composite, modeWord) && (!composite || (modeWord & 0xFFFFu) <= 3);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    const int32_t count = GetLayerCount();
    const int32_t active = GetActiveLayerIndex();
    auto scratch = std::make_unique<CLayerMngr>(count);
    scratch->SetCanvasSize(canvasWidth, canvasHeight);
    // Every allocation comes before any layer leaves the document: the merged layer, its
    // composition, its alpha and its thumbnail.
    const SRectWH bounds = GetAllLayersBounds(true);
    const CLayerData* bottom = GetLayer(0);
    std::unique_ptr<CLayerData> merged = MakeMergeTarget(*this, bounds, 0, bottom->blendMode);
    if (!merged) {
      ShowWarning(Tx(TextId::PaperCommandIncomplete));
      return false;
    }
    merged->name = bottom->name;
    FolderOpacityRecord opacities;
    ClearFolderOpacity(opacities);
    for (int32_t i = first; i < count; ++i) {
      CLayerData& layer = *GetLayer(i);
      const int32_t effective = GetEffectiveOpacity(layer, opacities);
      if (layer.visible == 0 || effective <= 0 || layer.Store() == nullptr) continue;
      OpacityOverride drawn(layer, effective);
      TPoint at = PositionIn(layer, bounds);
      SRectWH rect{0, 0, layer.StoreWidth(), layer.StoreHeight()};
      const bool composed = composite ? CompositeLayers(*merged, layer, at, modeWord, rect)
                                      : BlendFromLayer(*merged->Store(), *layer.Store(), layer, at, rect);
      if (!composed) {
        ShowWarning(Tx(TextId::PaperCommandIncomplete));
        return false;
      }
    }
    if (!composite && !merged->SetAlphaAll(255)) {
      ShowWarning(Tx(TextId::PaperCommandIncomplete));
      return false;
    }
    merged->Store()->Compact();
    if (!merged->SetThumbnailSize(Layers().ThumbnailWidth(), Layers().ThumbnailHeight())) {
      ShowWarning(Tx(TextId::PaperCommandIncomplete));
      return false;
    }
    merged->UpdateThumbnail();
    CLayerData* mergedLayer = merged.get();
    if (scratch->InsertAt(0, merged) < 0) return false;
    // The visible layers above the first leave the document, top down, into the scratch stack
    // at position 1 (so it holds them in stack order, each with its former index). Nothing
    // allocates from here on (the scratch stack has room for every layer); should a step fail,
    // the layers go back before the scratch stack is freed.
    auto putBack = [&] {
      for (int32_t i = 1; i < scratch->Count();) {
        std::unique_ptr<CLayerData> layer = scratch->Extract(i);
        const int32_t at = std::min(layer->index, Layers().Count());
        if (Layers().InsertAt(at, layer) < 0) {
          scratch->InsertAt(i++, layer);  // cannot happen: the document had room for it
        }
      }
      Layers().ClampActive();
      Layers().Renumber();
      Layers().EnsureDepthArray(true);
    };
    for (int32_t i = count - 1; i > first; --i) {
      if (GetLayer(i)->visible == 0) continue;
      std::unique_ptr<CLayerData> layer = Layers().Extract(i);
      if (scratch->InsertAt(1, layer) < 0) {
        Layers().InsertAt(i, layer);
        putBack();
        return false;
      }
    }
    try {
      command.Record([&](CEventMngr& events) {
        events.writeMergeVisible(static_cast<int16_t>(active), 0, composite ? 1 : 0, first);
      });
    } catch (...) {
      putBack();
      throw;
    }
    if (!Layers().SwapWith(0, *scratch, false, 0)) {
      putBack();
      return false;
    }
    Layers().ClampActive();
    Layers().Renumber();
    Layers().EnsureDepthArray(true);
    const bool took = command.Undo([&] {
      std::unique_ptr<CUndoData> undo =
          StructureRecord(kUndoMergeVisible, mergedLayer->id, 0, 0, scratch->Get(0)->id, first);
      if (!undo || !undo->SetHeld(scratch.get())) return false;
      undo->layerIndex = first;
      return PushStructure(*this, undo);
    });
    if (took) (void)scratch.release();  // the undo holds the former layers now
    scratch.reset();
    SetActiveLayer(flow, first);
    SetModified(true);
    UpdateThumbnailsRect(false, first, SRectWH{0, 0, canvasWidth, canvasHeight});
    RedrawAll(true);
    return true;
  });
}

bool TPaper::DeleteLayerOrGroup(TFlowImage* flow, int32_t index, bool record) {
  if (!IsValidLayerIndex(index)) return false;
  return GetGroupSize(index) > 1 ? DeleteFolderRow(flow, index, record) : DeleteLayer(flow, index, record);
}

bool TPaper::SetLayerOrGroupVisible(int32_t index, bool visible, bool record) {
  if (!IsValidLayerIndex(index)) return false;
  const int32_t size = GetGroupSize(index);
  return size > 1 ? SetGroupVisible(index, size, record, visible) : SetLayerVisible(index, visible, record);
}

}  // namespace tf
