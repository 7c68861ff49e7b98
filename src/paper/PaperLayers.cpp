// TPaper: the layer commands: add, new, duplicate, delete, move, rename, visibility, opacity,
// blend mode, dissolve and alpha protection.
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerMngr.h"
#include "document/ShellServices.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"

namespace tf {

namespace {

// Largest store side the commands accept: stores of moved and scaled layers grow past the
// canvas, so this is the tiled store's reach, not the canvas limit.
constexpr int32_t kMaxStoreSide = 1 << 16;

bool ValidMode(int32_t mode) { return mode >= 0 && mode < kBlendModeCount; }

// A store size for a new layer: at least the canvas, at most kMaxStoreSide.
bool ValidStoreSize(const TPaper& paper, int32_t width, int32_t height) {
  return width >= paper.canvasWidth && height >= paper.canvasHeight && width >= 1 && height >= 1 &&
         width <= kMaxStoreSide && height <= kMaxStoreSide;
}

// The failure rule for a layer that could not be inserted or moved: the message and an empty
// undo while recording.
void LayerCommandFailed(TPaper& paper, bool record) {
  if (!record) return;
  ShowWarning(Tx(TextId::PaperCommandIncomplete));
  paper.ClearUndo();
}

// The visibility of every layer before a stack-wide visibility change, for its undo record.
bool PushVisibilityUndo(TPaper& paper, uint8_t code, int32_t index) {
  CUndoMngrEx* undo = paper.UndoMngr();
  if (undo == nullptr) return paper.PushUndo<CLayerData>(nullptr, code, 0, paper.GetLayerCount(), 0, index);
  std::vector<uint8_t> flags;
  if (!paper.Layers().GetVisibility(flags)) return false;
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData);
  if (!record) return false;
  const CLayerData* active = paper.GetActiveLayer();
  record->SetValues(true, active != nullptr ? active->id : -1, kUndoCategoryLayers, code, 0,
                    paper.GetLayerCount(), 0, index);
  record->table = std::move(flags);
  return undo->PushRecord(record);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Queries and shared routines

bool TPaper::CanAddLayer(int32_t mode) const {
  if (GetLayerCount() >= kMaxLayerCount || !Layers().CanAdd()) return false;
  return mode < 0 || ValidMode(mode);
}

int32_t TPaper::GetVisibleLayerCount() const { return Layers().VisibleCount(); }

int32_t TPaper::GetGroupSize(int32_t index) const {
  const int32_t span = Layers().GetGroupSpan(index, false);
  return span < 0 ? 1 : span + 1;
}

bool TPaper::GetLayerProtect(int32_t index) const {
  const CLayerData* layer = GetLayer(index);
  return layer != nullptr && layer->alphaProtect != 0;
}

int32_t TPaper::InsertLayer(int32_t position, int32_t width, bool visible, uint8_t opacity, uint8_t mode,
                            int32_t height) {
  int32_t depth = 0;
  if (position > 0) {
    const CLayerData* below =
        IsValidLayerIndex(position - 1) ? GetLayer(position - 1) : GetLayer(GetTopLayerIndex());
    if (below != nullptr) depth = below->GroupDepth();
  }
  const int32_t index = Layers().InsertLayer(position, width, height, visible, opacity, !HasModernEngine(), mode);
  if (index < 0) return -1;
  PrepareLegacyLayer(index, mode);
  GetLayer(index)->SetGroupDepth(depth);
  Layers().EnsureDepthArray(true);
  return index;
}

bool TPaper::AdoptGroupDepth(int32_t index) {
  CLayerData* layer = GetLayer(index);
  const CLayerData* below = GetLayer(index - 1);
  const CLayerData* above = GetLayer(index + 1);
  if (layer == nullptr || below == nullptr || above == nullptr) return false;
  if (below->GroupDepth() >= above->GroupDepth()) return false;
  if (layer->GroupDepth() == above->GroupDepth()) return false;
  layer->SetGroupDepth(above->GroupDepth());
  Layers().EnsureDepthArray(true);
  return true;
}

bool TPaper::RefreshLayerOrGroup(int32_t index, bool navigator) {
  if (!IsValidLayerIndex(index)) return false;
  const int32_t count = std::min(GetGroupSize(index), GetLayerCount() - index);
  const SRectWH canvas{0, 0, canvasWidth, canvasHeight};
  bool any = false;
  for (int32_t i = index; i < index + count; ++i) {
    const CLayerData* layer = GetLayer(i);
    if (layer == nullptr || layer->Store() == nullptr) continue;
    RefreshDirtyRegions(i, &canvas, navigator);
    any = true;
  }
  return any;
}

// ---------------------------------------------------------------------------------------------
// Adding, duplicating, deleting and moving

bool TPaper::AddLayer(TFlowImage* flow, int32_t position, bool record, bool visible, uint8_t opacity,
                      int32_t mode, int32_t height, int32_t width) {
  auto check = [&] {
    return CanAddLayer(mode) && ValidMode(mode) && position >= 0 && position <= GetLayerCount() &&
           ValidStoreSize(*this, width, height);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record([&](CEventMngr& events) {
      events.writeAddLayer(static_cast<int16_t>(position), width, false, visible, opacity,
                           static_cast<uint8_t>(mode), height);
    });
    const int32_t active = GetActiveLayerIndex();
    const int32_t index = InsertLayer(position, width, visible, opacity, static_cast<uint8_t>(mode), height);
    if (index < 0) {
      LayerCommandFailed(*this, record);
      return false;
    }
    CLayerData* layer = GetLayer(index);
    command.Undo([&] { return PushUndo(layer, kUndoNewLayer, index, active, layer->id, 0); });
    Layers().AssignDefaultName(index, 1);
    AdoptGroupDepth(index);
    SetActiveLayer(flow, index);
    const uint32_t neutral = GetBlendModeNeutralColor(layer->blendMode) & 0x00FFFFFFu;
    SRectWH canvas{layer->offsetX, layer->offsetY, canvasWidth, canvasHeight};
    layer->Store()->FillRect(canvas, neutral);
    SetLayerAlpha(index, HasModernEngine() ? 0 : 255);
    layer->FillThumbnailNeutral(HasModernEngine());
    RefreshLayerOrGroup(index, true);
    if (flow != nullptr) CommitFlowImage(flow, index, false);
    return true;
  });
}

bool TPaper::AddLayerAboveActive(TFlowImage* flow, int32_t mode, bool record) {
  return AddLayer(flow, GetActiveLayerIndex() + 1, record, true, 255, mode, canvasHeight, canvasWidth);
}

bool TPaper::NewLayer(TFlowImage* flow, int32_t position, bool record, bool visible, const std::string& name,
                      uint32_t colour, uint8_t opacity, int32_t mode, int32_t height, int32_t width) {
  auto check = [&] {
    return CanAddLayer(mode) && ValidMode(mode) && position >= 0 && position <= GetLayerCount() &&
           ValidStoreSize(*this, width, height);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record([&](CEventMngr& events) {
      events.writeNewLayer(static_cast<int16_t>(position), width, false, visible, name, colour, opacity,
                           static_cast<uint8_t>(mode), height);
    });
    const int32_t active = GetActiveLayerIndex();
    const int32_t index = InsertLayer(position, width, visible, opacity, static_cast<uint8_t>(mode), height);
    if (index < 0) {
      LayerCommandFailed(*this, record);
      return false;
    }
    CLayerData* layer = GetLayer(index);
    command.Undo([&] { return PushUndo(layer, kUndoNewLayer, index, active, layer->id, 0); });
    Layers().AssignDefaultName(index, 1);
    if (!name.empty()) layer->name = name;
    AdoptGroupDepth(index);
    layer->Store()->FillAll(colour);
    layer->Store()->Compact();
    layer->UpdateThumbnail();
    RefreshLayerOrGroup(index, true);
    SetActiveLayer(flow, index);
    return true;
  });
}

bool TPaper::DuplicateLayer(TFlowImage* flow, int32_t index, bool record) {
  auto check = [&] { return CanAddLayer(-1) && IsValidLayerIndex(index) && GetLayer(index)->Store() != nullptr; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record([&](CEventMngr& events) {
      events.writeLayerOp(static_cast<int16_t>(index), static_cast<int16_t>(index), 3);
    });
    const CLayerData* source = GetLayer(index);
    const int32_t created =
        InsertLayer(index + 1, source->StoreWidth(), true, 255, source->blendMode, source->StoreHeight());
    if (created < 0 || !CopyLayerContent(index, created)) {
      if (created >= 0) Layers().Delete(created);
      LayerCommandFailed(*this, record);
      return false;
    }
    CLayerData* copy = GetLayer(created);
    command.Undo(
        [&] { return PushUndo(copy, kUndoDuplicateLayer, created, GetActiveLayerIndex(), copy->id, 0); });
    ResizeLayerThumbnail(created);
    copy->UpdateThumbnail();
    Layers().EnsureDepthArray(true);
    RedrawAll(true);
    UpdateThumbnailsRect(false, index, SRectWH{0, 0, canvasWidth, canvasHeight});
    SetActiveLayer(flow, created);
    return true;
  });
}

bool TPaper::DeleteLayer(TFlowImage* flow, int32_t index, bool record) {
  auto check = [&] { return CanDeleteLayer() && IsValidLayerIndex(index); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record([&](CEventMngr& events) {
      events.writeLayerOp(static_cast<int16_t>(index), static_cast<int16_t>(index), 1);
    });
    std::unique_ptr<CLayerData> taken = Layers().ExtractAndFix(index);
    if (!taken) return false;
    CLayerData* layer = taken.get();
    if (command.Undo(
            [&] { return PushUndo(layer, kUndoDeleteLayer, index, GetActiveLayerIndex(), layer->id, 0); }))
      (void)taken.release();  // the undo holds it now
    taken.reset();
    Layers().EnsureDepthArray(true);
    Layers().ClampActive();
    SetActiveLayer(flow, GetActiveLayerIndex());
    RedrawAll(true);
    return true;
  });
}

bool TPaper::MoveLayer(TFlowImage* flow, int32_t from, bool record, int32_t to) {
  // A drag that ends where it began, or from a place that does not exist, is no command.
  auto check = [&] {
    if (!CanAddLayer(-1) || !IsValidLayerIndex(from)) return false;
    const int32_t target = std::clamp(to, 0, GetLayerCount() - 1);
    return target != from;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record([&](CEventMngr& events) {
      events.writeLayerOp(static_cast<int16_t>(from), static_cast<int16_t>(to), 4);
    });
    const int32_t moved = Layers().Move(to, from);
    if (moved < 0) {
      ShowWarning(kLayerMoveFailedText);
      LayerCommandFailed(*this, record);
      return false;
    }
    Layers().SetActive(moved);  // the undo record names the moved layer
    command.Undo([&] { return PushUndo<CLayerData>(nullptr, kUndoMoveLayer, moved, from, 0, 0); });
    SetActiveLayer(flow, moved);
    RedrawAll(true);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Name and attributes

bool TPaper::RenameLayer(TFlowImage* flow, int32_t index, bool record, const std::string& name) {
  return RunCommand(
      record, [&] { return IsValidLayerIndex(index); },
      [&](PaperCommand& command) {
        command.Record([&](CEventMngr& events) { events.writeLayerName(static_cast<int16_t>(index), name); });
        CLayerData* layer = GetLayer(index);
        if (record && HasDocumentUndo() &&
            !command.Undo([&] { return PushAttributeUndo(layer, 0, kUndoLayerName, 0); }))
          ClearUndo();
        layer->name = name;
        SetActiveLayer(flow, index);
        return true;
      });
}

bool TPaper::SetLayerVisible(int32_t index, bool visible, bool record) {
  if (!IsValidLayerIndex(index)) return false;
  if ((GetLayer(index)->visible != 0) == visible) return true;  // already so: nothing to record
  return RunCommand(
      record, [] { return true; },
      [&](PaperCommand& command) {
        command.Record(
            [&](CEventMngr& events) { events.writeLayerVisible(static_cast<int16_t>(index), visible); });
        CLayerData* layer = GetLayer(index);
        command.Undo([&] { return PushAttributeUndo(layer, layer->visible, kUndoVisibility, 0); });
        layer->visible = visible ? 1 : 0;
        RefreshLayerOrGroup(index, true);
        RedrawAll(true);
        return true;
      });
}

bool TPaper::ShowActiveLayerOnly(int32_t index, bool record) {
  auto check = [&] {
    const CLayerData* active = GetActiveLayer();
    return !(GetVisibleLayerCount() <= 1 && active != nullptr && active->visible != 0) &&
           IsValidLayerIndex(index);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record([&](CEventMngr& events) { events.writePaperValue(static_cast<int16_t>(index), 0, 25); });
    command.Undo([&] { return PushVisibilityUndo(*this, kUndoShowOnlyActive, index); });
    Layers().ShowOnly(index);
    RedrawAll(true);
    return true;
  });
}

bool TPaper::SetAllLayersVisible(int32_t index, bool show, bool record) {
  auto check = [&] {
    const int32_t visible = GetVisibleLayerCount();
    if (!show) return visible > 0;
    const CEventMngr* events = EventMngr();
    const bool oldStream = events != nullptr && events->hasStream() && events->version < 37;
    return visible < GetLayerCount() - (oldStream ? 1 : 0);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record(
        [&](CEventMngr& events) { events.writePaperValue(static_cast<int16_t>(index), show ? 1 : 0, 24); });
    command.Undo([&] { return PushVisibilityUndo(*this, kUndoShowAll, index); });
    Layers().SetAllVisible(show);
    if (GetLayerCount() > 0) RedrawAll(true);
    return true;
  });
}

bool TPaper::InvertLayerVisibility(int32_t index, bool record) {
  return RunCommand(
      record, [] { return true; },
      [&](PaperCommand& command) {
        command.Record([&](CEventMngr& events) { events.writePaperValue(static_cast<int16_t>(index), 0, 26); });
        command.Undo([&] { return PushVisibilityUndo(*this, kUndoInvertVisibility, index); });
        Layers().InvertVisibility();
        if (GetLayerCount() > 0) RedrawAll(true);
        return true;
      });
}

bool TPaper::SetLayerOpacity(int32_t index, uint8_t opacity, bool record) {
  return RunCommand(
      record, [&] { return IsValidLayerIndex(index); },
      [&](PaperCommand& command) {
        command.Record(
            [&](CEventMngr& events) { events.writeLayerOpacity(static_cast<int16_t>(index), opacity); });
        CLayerData* layer = GetLayer(index);
        const int32_t span = Layers().GetGroupSpan(index, false);
        command.Undo([&] {
          return span > 0 ? PushAttributeUndo(layer, layer->opacity, kUndoFolderOpacity, span)
                          : PushAttributeUndo(layer, layer->opacity, kUndoLayerOpacity, 0);
        });
        layer->opacity = opacity;
        RefreshLayerOrGroup(index, true);
        return true;
      });
}

bool TPaper::StoreLayerOpacity(int32_t index, uint8_t opacity) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr) return false;
  layer->opacity = opacity;
  return true;
}

bool TPaper::SetLayerBlendMode(int32_t index, int32_t mode, bool record) {
  auto check = [&] { return IsValidLayerIndex(index) && ValidMode(mode); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record([&](CEventMngr& events) {
      events.writeLayerBlend(static_cast<int16_t>(index), static_cast<uint8_t>(mode));
    });
    CLayerData* layer = GetLayer(index);
    command.Undo([&] { return PushAttributeUndo(layer, layer->blendMode, kUndoBlendMode, 0); });
    layer->blendMode = static_cast<uint8_t>(mode);
    RefreshLayerOrGroup(index, true);
    RedrawAll(true);
    return true;
  });
}

bool TPaper::SetLayerDissolve(int32_t index, bool dissolve, bool record, uint8_t threshold) {
  return RunCommand(
      record, [&] { return IsValidLayerIndex(index); },
      [&](PaperCommand& command) {
        CLayerData* layer = GetLayer(index);
        command.Record([&](CEventMngr& events) {
          events.writeLayerDissolve(static_cast<int16_t>(index), dissolve, layer->random.seed, threshold);
        });
        command.Undo([&] {
          return PushAttributeUndo(layer, (layer->dissolveThreshold << 8) | layer->dissolve, kUndoDissolve,
                                   layer->random.seed);
        });
        layer->dissolve = dissolve ? 1 : 0;
        layer->dissolveThreshold = threshold;
        RefreshLayerOrGroup(index, true);
        RedrawAll(true);
        return true;
      });
}

bool TPaper::SetLayerProtect(int32_t index, int32_t value, bool record) {
  const int32_t target = index == -1 ? GetActiveLayerIndex() : index;
  return RunCommand(
      record, [&] { return IsValidLayerIndex(target); },
      [&](PaperCommand& command) {
        CLayerData* layer = GetLayer(target);
        const bool on = value < 0 ? layer->alphaProtect == 0 : value > 0;
        command.Record([&](CEventMngr& events) { events.writeLayerProtect(static_cast<int16_t>(target), on); });
        command.Undo([&] { return PushAttributeUndo(layer, layer->alphaProtect, kUndoAlphaProtect, 0); });
        layer->alphaProtect = on ? 1 : 0;
        if (TStroke* stroke = GetCurrentStroke()) stroke->SetKeepAlpha(on, true);
        UpdateLayerPane();
        return true;
      });
}

// ---------------------------------------------------------------------------------------------
// Forms of the older version's player

bool TPaper::AddTopLayer(TFlowImage* flow, int32_t mode) {
  if (!CanAddLayer(mode) || !ValidMode(mode)) return false;
  const int32_t index =
      InsertLayer(GetLayerCount(), canvasWidth, true, 255, static_cast<uint8_t>(mode), canvasHeight);
  if (index < 0) return false;
  Layers().AssignDefaultName(index, 1);
  SetActiveLayer(flow, index);
  CLayerData* layer = GetLayer(index);
  layer->Store()->FillAll(GetBlendModeNeutralColor(layer->blendMode) | (HasModernEngine() ? 0u : 0xFF000000u));
  layer->Store()->Compact();
  layer->UpdateThumbnail();
  if (flow != nullptr) CommitFlowImage(flow, index, false);
  RedrawAll(true);
  return true;
}

bool TPaper::DuplicateToTop(TFlowImage* flow) {
  const int32_t source = GetActiveLayerIndex();
  if (!CanAddLayer(-1) || !IsValidLayerIndex(source)) return false;
  const int32_t index =
      InsertLayer(GetLayerCount(), canvasWidth, true, 255, GetLayer(source)->blendMode, canvasHeight);
  if (index < 0) return false;
  if (!CopyLayerContent(source, index)) {
    Layers().Delete(index);
    return false;
  }
  RedrawAll(true);
  SetActiveLayer(flow, index);
  return true;
}

}  // namespace tf
