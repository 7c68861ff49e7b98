// TPaper: the document undo and the undo and redo commands.
#include <algorithm>
#include <memory>
#include <new>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "document/ShellServices.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Warning.h"

namespace tf {

namespace {

TRect ToEdges(const SRectWH& r) { return TRect{r.left, r.top, r.left + r.width, r.top + r.height}; }

}  // namespace

bool TPaper::CreateUndoMngr() {
  undo_.reset();
  const int32_t depth = PaperSettings().undoMax;
  try {
    undo_ = std::make_unique<CUndoMngrEx>(*this, layers_.get(), depth, depth, kUndoMargin);
  } catch (const std::bad_alloc&) {
    DebugOut("failed to create undoMngrEx!\n");
    return false;
  }
  // The document undo replaces the layers' own pixel undo.
  layers_->FreeAllOwnUndo();
  return true;
}

CUndoMngrEx* TPaper::UndoMngr() const { return dynamic_cast<CUndoMngrEx*>(undo_.get()); }

bool TPaper::IsUndoEnabled() const {
  const CUndoMngrEx* undo = UndoMngr();
  return undo != nullptr && undo->IsEnabled();
}

bool TPaper::CanUndo(int32_t layerIndex) const {
  if (undo_ != nullptr) {
    const CUndoMngrEx* undo = UndoMngr();
    return undo != nullptr && undo->CanUndo();
  }
  const CLayerData* layer = GetLayer(layerIndex);
  return layer != nullptr && layer->CanUndoOwn();
}

bool TPaper::CanRedo(int32_t layerIndex) const {
  if (undo_ != nullptr) {
    const CUndoMngrEx* undo = UndoMngr();
    return undo != nullptr && undo->CanRedo();
  }
  const CLayerData* layer = GetLayer(layerIndex);
  return layer != nullptr && layer->CanRedoOwn();
}

bool TPaper::UndoLayerPixels(TFlowImage* flow, int32_t layerIndex, SRectWH& rect) {
  if (!CanUndo(layerIndex) || undo_ != nullptr) return false;
  WaitCursor busy;
  CLayerData* layer = GetLayer(layerIndex);
  if (flow != nullptr) SyncFlowImage(flow, layerIndex, false);
  SRectWH area{0, 0, 0, 0};
  if (layer->UndoOwnPixels(flow != nullptr ? &flow->Image() : nullptr, area)) {
    rect = area;
    RefreshLayerRect(layerIndex,
                     SRectWH{area.left - layer->offsetX, area.top - layer->offsetY, area.width, area.height});
  }
  if (flow != nullptr) CommitFlowImage(flow, layerIndex, false);
  return CanUndo(layerIndex);
}

bool TPaper::Undo(TFlowImage* flow, int32_t layerIndex, SRectWH& rect) {
  return UndoRedo(true, flow, layerIndex, rect);
}

bool TPaper::Redo(TFlowImage* flow, int32_t layerIndex, SRectWH& rect) {
  return UndoRedo(false, flow, layerIndex, rect);
}

bool TPaper::UndoRedo(bool undoing, TFlowImage* flow, int32_t layerIndex, SRectWH& rect) {
  if (undoing ? !CanUndo(layerIndex) : !CanRedo(layerIndex)) return false;
  CUndoMngrEx* undo = UndoMngr();
  if (undo == nullptr) return undoing && UndoLayerPixels(flow, layerIndex, rect);  // legacy: own pixel undo
  WaitCursor busy;

  // The checkpoints of the recording must cover the records.
  CEventMngr* events = eventMngr_.get();
  const bool recording = IsRecording();
  if (recording) {
    if (undoing) {
      if (events->getUndoSteps() < undo->UndoCount()) {
        ShowWarning("イベント状態の問題を修正しました!");
        undo->TrimUndo();
        if (events->getUndoSteps() < undo->UndoCount()) ShowWarning("イベント記録に問題が検出されました!");
      }
    } else if (std::max(events->getRedoSteps(), 0) < undo->RedoCount()) {
      ShowWarning("イベント記録に問題が検出されました!");
    }
  }

  int32_t index = layerIndex;
  uint32_t flags = 0;
  SRectWH area = rect;
  const bool done =
      undoing ? layers_->UndoStep(*undo, index, flags, area) : layers_->RedoStep(*undo, index, flags, area);
  if (!done) {
    // The record was dropped (its layer is gone) or could not be applied: its step in the
    // recording has no record any more, so both lists go with the stream's steps ahead, and
    // the stream and the lists stay in step.
    ClearUndo();
    return false;
  }
  rect = area;

  if (recording) {
    if (undoing ? !events->undoStep() : !events->redoStep())
      ShowWarning(undoing ? "failed to undo event!" : "failed to redo event!");
  }

  uint32_t low = flags & 0xFFu;
  const uint32_t high = (flags >> 8) & 0xFFu;
  if ((low & kUndoFlagRebuildView) != 0) {
    const int32_t active = GetActiveLayerIndex();
    if (flow != nullptr) {
      flow->Resize(true);
      SyncFlowImage(flow, active, false);
      CommitFlowImage(flow, active, false);
    }
    RedrawAll(true);
    if (window_ != nullptr) {
      if ((low & kUndoFlagCanvasSize) != 0) window_->UpdateScrollBars(nullptr);
      window_->RefreshAfterEdit((low & kUndoFlagCanvasSize) != 0, true, true);
      window_->UpdateCaption(false);
    }
    if ((high & 0x01) != 0) {
      InvalidateWindow(false);
      RebuildSelectionOutline();
    }
    return true;
  }
  if (index != GetActiveLayerIndex() && (high & 0x02) == 0) SetActiveLayer(flow, index);
  if ((low & kUndoFlagWholeStore) != 0) {
    const CLayerData* active = GetActiveLayer();
    area = active != nullptr ? SRectWH{0, 0, active->StoreWidth(), active->StoreHeight()} : area;
  }
  if ((high & 0x04) == 0 && (!undoing || index == GetActiveLayerIndex()) && IsValidLayerIndex(index))
    SyncFlowRect(flow, index, false, ToEdges(area));
  if ((low & kUndoFlagMasks) != 0) {
    if ((high & 0x01) != 0) RebuildSelectionOutline();
    if ((low & kUndoFlagLayerPane) != 0) {
      low &= ~static_cast<uint32_t>(kUndoFlagMasks);
    } else {
      InvalidateWindow(false);
    }
    UpdateMaskPane();
  }
  if ((low & kUndoFlagMasks) == 0 && IsValidLayerIndex(index)) {
    if ((high & 0x10) == 0) {
      if ((high & 0x08) != 0) {
        RefreshDirtyRegions(index, nullptr, true);
      } else {
        const CLayerData* layer = GetLayer(index);
        RefreshLayerRect(index,
                         SRectWH{area.left - layer->offsetX, area.top - layer->offsetY, area.width, area.height});
      }
    }
    if ((low & kUndoFlagLayerList) != 0) low |= kUndoFlagLayerPane;
  }
  if ((low & kUndoFlagLayerPane) != 0) UpdateLayerPane();
  return true;
}

void TPaper::ClearRedo() {
  if (CUndoMngrEx* undo = UndoMngr()) undo->ClearRedo();
  if (IsRecording()) eventMngr_->clearRedo();
}

void TPaper::ClearUndo() {
  if (undo_ != nullptr) undo_->ClearAll();
  if (IsRecording()) eventMngr_->clearRedo();
}

void TPaper::ClearAllUndo() {
  for (int32_t i = 0; i < layers_->Count(); ++i) layers_->Get(i)->ClearOwnUndo();
  if (undo_ != nullptr) ClearUndo();
}

bool TPaper::ApplyUndoDepth() {
  CUndoMngrEx* undo = UndoMngr();
  if (undo == nullptr) return false;
  const int32_t capacity = GetCheckpointCapacity();
  const bool resized = eventMngr_ != nullptr && eventMngr_->ring().Resize(capacity, capacity);
  if (resized) {
    const int32_t depth = PaperSettings().undoMax;
    undo->SetLimits(depth, depth);
  } else {
    ShowWarning(kUndoDepthFailedText);
  }
  return resized;
}

}  // namespace tf
