// TPaper: the mask and selection commands: selection shapes, select all, cancel and invert, the
// two selection switches, moving the selection, the mask list commands, masks from a layer,
// one-pixel grow and shrink, and the selected part of a layer made a layer or cut.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "document/ShellServices.h"
#include "paint/PixelWriters.h"
#include "paint/ShapeFill.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/LayerBuild.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/ByteImage.h"

namespace tf {

namespace {

int16_t I16(int32_t value) { return static_cast<int16_t>(value); }

int32_t FlagsWord(bool enabled, bool visible) { return (enabled ? 65536 : 0) + (visible ? 1 : 0); }

// The stroke's opacity set to 1.0 while a selection shape is filled, restored afterwards.
class FullOpacity {
 public:
  explicit FullOpacity(TStroke& stroke) : stroke_(stroke), saved_(stroke.GetStoredOpacity()) {
    stroke_.SetOpacity(1.0f);
  }
  ~FullOpacity() { stroke_.SetOpacity(saved_); }
  FullOpacity(const FullOpacity&) = delete;
  FullOpacity& operator=(const FullOpacity&) = delete;

 private:
  TStroke& stroke_;
  float saved_;
};

// The channel writer's first stage held plain (no selection, no tone) while a selection shape is
// filled: the shape is the new selection itself, not paint through the old one.
class PlainChannelStage {
 public:
  PlainChannelStage() : saved_(SetChannelStage1(&ChannelValuePlain)) {}
  ~PlainChannelStage() { SetChannelStage1(saved_); }
  PlainChannelStage(const PlainChannelStage&) = delete;
  PlainChannelStage& operator=(const PlainChannelStage&) = delete;

 private:
  ChannelStage1 saved_;
};

// The old mask a command replaced: freed unless the undo took it.
bool PushOldMask(TPaper& paper, PaperCommand& command, std::unique_ptr<CMaskData>& old, uint8_t code,
                 int32_t value1, int32_t value2, int32_t value3, int32_t value4) {
  CMaskData* raw = old.get();
  if (raw == nullptr) return false;
  if (!command.Undo([&] { return paper.PushUndo(raw, code, value1, value2, value3, value4); })) return false;
  (void)old.release();  // the undo owns it now
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading the mask list

int32_t TPaper::GetMaskCount() const {
  const CMaskMngr* masks = MaskMngr();
  return masks != nullptr ? masks->GetCount() : 0;
}

CMaskData* TPaper::GetActiveMask() const {
  const CMaskMngr* masks = MaskMngr();
  return masks != nullptr ? masks->GetActiveMask() : nullptr;
}

CMaskData* TPaper::GetMask(int32_t index) const {
  const CMaskMngr* masks = MaskMngr();
  return masks != nullptr ? masks->GetMask(index) : nullptr;
}

bool TPaper::HasActiveMask() const { return GetActiveMask() != nullptr; }

bool TPaper::HasSelection() const { return CMaskData::IsAllocated(GetActiveMask()); }

bool TPaper::CanTrimOutMask() const {
  const CMaskMngr* masks = MaskMngr();
  return masks != nullptr && masks->IsLargerThanCanvas(masks->GetActiveIndex());
}

int32_t TPaper::ResolveMaskIndex(int32_t mask) const {
  const CMaskMngr* masks = MaskMngr();
  if (masks == nullptr) return -1;
  const int32_t n = mask == -1 ? masks->GetActiveIndex() : mask;
  return masks->IsValidIndex(n) && masks->GetMask(n) != nullptr ? n : -1;
}

int32_t TPaper::SelectionValueAt(int32_t clientX, int32_t clientY) const {
  const CMaskData* mask = GetActiveMask();
  if (!CMaskData::IsAllocated(mask)) return -1;
  const SSize client = window_ != nullptr ? window_->ClientSize() : SSize{0, 0};
  float x = static_cast<float>(clientX);
  float y = static_cast<float>(clientY);
  ClientToCanvas(client.width, client.height, x, y);
  if (!(x > -1e9f && x < 1e9f && y > -1e9f && y < 1e9f)) return -1;
  return mask->ValueAtCanvas(static_cast<int32_t>(x), static_cast<int32_t>(y));
}

bool TPaper::RebuildAnts(const SSize* canvasSize) {
  CMaskMngr* masks = MaskMngr();
  if (masks == nullptr) return false;
  if (canvasSize != nullptr) return masks->RebuildOutline(*canvasSize, masks->GetActiveIndex());
  return masks->RebuildOutlineAtStore(masks->GetActiveIndex());
}

void TPaper::SetAntsOffset(const TPoint& offset) {
  if (CMaskMngr* masks = MaskMngr()) masks->SetOutlineOffset(offset);
}

TPoint TPaper::GetAntsOffset() const {
  const CMaskMngr* masks = MaskMngr();
  return masks != nullptr ? masks->GetOutlineOffset() : TPoint{0, 0};
}

void TPaper::SetSelectionFlags(bool enabled, bool visible) {
  selectionEnabled = enabled ? 1 : 0;
  selectionVisible = visible ? 1 : 0;
  RebuildSelectionOutline();
  InvalidateWindow(false);
}

int32_t TPaper::SelectionFlagsWord() const { return FlagsWord(selectionEnabled != 0, selectionVisible != 0); }

int32_t TPaper::GetSelectionCombineMode() const {
  if (!HasSelection()) return kMaskReplace;
  const uint32_t keys = GetShiftButtons();
  const int32_t shortcutMode = PaperSettings().shortcutMode;
  const bool ctrl = (keys & kCtrlKey) != 0;
  const bool alt = (keys & kAltKey) != 0;
  const bool other = (shortcutMode == 1 && ctrl) || (shortcutMode == 0 && alt);
  if ((keys & kShiftKey) != 0) return other ? kMaskIntersect : kMaskAdd;
  return other ? kMaskSubtract : kMaskReplace;
}

bool TPaper::CanSelectionToLayer() const {
  if (window_ == nullptr || !window_->PrepareCommand(false, false)) return false;
  const CLayerData* layer = GetActiveLayer();
  return selectionEnabled != 0 && layer != nullptr && layer->visible != 0 && HasSelection();
}

void TPaper::RepaintMaskList(int32_t index) {
  (void)index;
  tf::RepaintMaskList();
}

void TPaper::RefreshMaskThumbnails() {
  if (CMaskMngr* masks = MaskMngr()) masks->UpdateAllThumbnails();
  UpdateMaskPane();
}

bool TPaper::ActivateMask(int32_t index) {
  CMaskMngr* masks = MaskMngr();
  if (masks == nullptr) return false;
  const bool done = masks->SetActive(index) == index;
  RebuildSelectionOutline();
  InvalidateWindow(false);
  UpdateMaskPane();
  return done;
}

// ---------------------------------------------------------------------------------------------
// Selection shapes and channels

bool TPaper::CombineIntoSelection(PaperCommand& command, const TChannel& channel, int32_t layer, int32_t mode) {
  CMaskMngr* masks = MaskMngr();
  const CLayerData* target = GetLayer(layer);
  if (masks == nullptr || target == nullptr || target->Store() == nullptr) return false;
  const int32_t active = masks->GetActiveIndex();
  const SSize size = target->Store()->Size();
  if (channel.Width() < size.width || channel.Height() < size.height) return false;
  // The working copy may be larger than this layer's store: the selection takes the store's size
  // whatever the copy's, so that a replay into another window gives the same mask.
  const TChannel* source = &channel;
  TChannel fitted;
  if (channel.Width() != size.width || channel.Height() != size.height) {
    fitted.Resize(size.width, size.height);
    if (!fitted.IsValid()) throw std::bad_alloc();
    for (int32_t y = 0; y < size.height; ++y)
      std::memcpy(fitted.GetPixelPtr(0, y), channel.GetPixelPtr(0, y), static_cast<size_t>(size.width));
    source = &fitted;
  }
  std::unique_ptr<CMaskData> old;
  if (!masks->CombineChannel(active, *source, mode, old, TPoint{target->offsetX, target->offsetY}, size))
    return false;
  const CMaskData* now = masks->GetMask(active);
  PushOldMask(*this, command, old, kUndoMaskPixels, active, now != nullptr ? now->id : -1, 0, 0);
  RebuildSelectionOutline();
  return true;
}

bool TPaper::SelectShape(TFlowImage* flow, int32_t layer, bool record, int32_t mode, int kind,
                         const TPoint* points, int32_t count, bool newerVariant) {
  auto check = [&] {
    if (!IsValidLayerIndex(layer) || GetLayer(layer)->Store() == nullptr || MaskMngr() == nullptr) return false;
    if (mode < kMaskReplace || mode > kMaskIntersect || ResolveMaskIndex(-1) < 0) return false;
    if (kind == 1) return count >= 3 && count <= 0xFFFF && points != nullptr;
    return points != nullptr;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    SyncFlowImage(flow, layer, false);
    const CLayerData* target = GetLayer(layer);
    const int32_t width = target->StoreWidth();
    const int32_t height = target->StoreHeight();
    WaitCursor busy;
    TStroke* current = GetCurrentStroke();
    std::unique_ptr<TStroke> own;
    if (current == nullptr) {
      own = std::make_unique<TStroke>(0);
      current = own.get();
    }
    FullOpacity opacity(*current);
    std::unique_ptr<CFillMngr> filler;
    bool shaped = false;
    const SPointF a{static_cast<float>(points[0].x), static_cast<float>(points[0].y)};
    if (kind == 0) {
      filler = std::make_unique<CFillMngr>(&StrokeSide(), *current, width, height);
      shaped = filler->SetRect(a, SPointF{static_cast<float>(points[1].x), static_cast<float>(points[1].y)});
    } else if (kind == 2) {
      filler = std::make_unique<CEllipseFiller>(&StrokeSide(), *current, width, height, newerVariant);
      shaped = filler->SetRect(a, SPointF{static_cast<float>(points[1].x), static_cast<float>(points[1].y)});
    } else {
      std::vector<SPointF> shape(static_cast<size_t>(count));
      for (int32_t i = 0; i < count; ++i)
        shape[static_cast<size_t>(i)] = SPointF{static_cast<float>(points[i].x), static_cast<float>(points[i].y)};
      auto polygon = std::make_unique<CPolygonFiller>(&StrokeSide(), *current, width, height);
      shaped = polygon->SetPoints(shape.data(), count);
      filler = std::move(polygon);
    }
    if (!shaped) return false;
    SRectWH bounds{};
    filler->GetBounds(bounds);
    filler->Prepare();
    filler->SetChannelValue(255);
    std::unique_ptr<TChannel> ownChannel;
    TChannel* channel = flow != nullptr ? &flow->WorkChannel() : nullptr;
    if (channel == nullptr || !channel->IsValid() || channel->Width() < width || channel->Height() < height) {
      ownChannel = std::make_unique<TChannel>(width, height);
      if (!ownChannel->IsValid()) throw std::bad_alloc();
      channel = ownChannel.get();
    }
    channel->Fill(0);
    {
      PlainChannelStage plain;
      filler->Fill(*channel);
    }
    TRect covered{};
    const bool any = channel->GetNonZeroBounds(covered);
    const bool combined = any && CombineIntoSelection(command, *channel, layer, mode);
    channel->Fill(0);
    if (!combined) return false;
    command.Record([&](CEventMngr& events) {
      const int16_t mask = I16(GetActiveMaskIndex());
      if (kind == 1) {
        events.writeMaskPolygon(I16(layer), mask, static_cast<uint8_t>(mode), points, count);
      } else {
        events.writeMaskRect(I16(layer), mask, kind == 0 ? 16 : 19, static_cast<uint8_t>(mode), &points[0],
                             &points[1]);
      }
    });
    selectionEnabled = 1;
    selectionVisible = 1;
    if (flow != nullptr) {
      RefreshLayerArea(flow, layer, false,
                       TRect{bounds.left, bounds.top, bounds.left + bounds.width, bounds.top + bounds.height});
    } else {
      InvalidateWindow(false);
    }
    RepaintMaskList(GetActiveMaskIndex());
    return true;
  });
}

bool TPaper::SelectRect(TFlowImage* flow, int32_t layer, bool record, int32_t mode, const TPoint& p1,
                        const TPoint& p2) {
  const TPoint points[2] = {p1, p2};
  return SelectShape(flow, layer, record, mode, 0, points, 2, false);
}

bool TPaper::SelectPolygon(TFlowImage* flow, int32_t layer, bool record, int32_t mode, int32_t count,
                           const TPoint* points) {
  return SelectShape(flow, layer, record, mode, 1, points, count, false);
}

bool TPaper::SelectEllipse(TFlowImage* flow, int32_t layer, bool record, int32_t mode, const TPoint& p1,
                           const TPoint& p2, bool newerVariant) {
  // The packet carries no ellipse kind and a recording of this version replays it as the newer
  // ellipse: a recorded selection is drawn as that one, so that its replay selects what was
  // selected.
  if (record) newerVariant = true;
  const TPoint points[2] = {p1, p2};
  return SelectShape(flow, layer, record, mode, 2, points, 2, newerVariant);
}

bool TPaper::SelectFromWorkChannel(TFlowImage* flow, int32_t layer, bool record, int32_t mode) {
  auto check = [&] {
    return flow != nullptr && IsValidLayerIndex(layer) && GetLayer(layer)->Store() != nullptr &&
           MaskMngr() != nullptr && ResolveMaskIndex(-1) >= 0 && mode >= -1 && mode <= kMaskIntersect;
  };
  const bool done = RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t combine = mode >= 0 ? mode : GetSelectionCombineMode();
    TChannel& channel = flow->WorkChannel();
    const CLayerData* target = GetLayer(layer);
    if (channel.Width() < target->StoreWidth() || channel.Height() < target->StoreHeight()) return false;
    if (!CombineIntoSelection(command, channel, layer, combine)) return false;
    selectionEnabled = 1;
    selectionVisible = 1;
    InvalidateWindow(false);
    RepaintMaskList(GetActiveMaskIndex());
    return true;
  });
  if (flow != nullptr) flow->WorkChannel().Fill(0);
  return done;
}

bool TPaper::SelectAll(TFlowImage* flow, int32_t layer, bool record) {
  auto check = [&] {
    return IsValidLayerIndex(layer) && GetLayer(layer)->Store() != nullptr && MaskMngr() != nullptr &&
           ResolveMaskIndex(-1) >= 0;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(GetActiveMaskIndex()), 20); });
    SyncFlowImage(flow, layer, false);
    const CLayerData* target = GetLayer(layer);
    std::unique_ptr<TChannel> own;
    TChannel* channel = flow != nullptr ? &flow->WorkChannel() : nullptr;
    if (channel == nullptr || channel->Width() < target->StoreWidth() ||
        channel->Height() < target->StoreHeight()) {
      own = std::make_unique<TChannel>(target->StoreWidth(), target->StoreHeight());
      if (!own->IsValid()) throw std::bad_alloc();
      channel = own.get();
    }
    channel->Fill(255);
    const bool combined = CombineIntoSelection(command, *channel, layer, kMaskReplace);
    channel->Fill(0);
    if (!combined) return false;
    selectionEnabled = 1;
    selectionVisible = 1;
    InvalidateWindow(false);
    RepaintMaskList(GetActiveMaskIndex());
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Cancel, invert, the switches, moving the selection

bool TPaper::CancelSelection(TFlowImage* flow, int32_t layer, bool record) {
  (void)flow;
  auto check = [&] { return HasSelection(); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CMaskMngr* masks = MaskMngr();
    const int32_t active = masks->GetActiveIndex();
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(active), 1); });
    std::unique_ptr<CMaskData> old;
    const bool cleared = masks->ClearMask(active, old);
    if (cleared && old) {
      const CMaskData* now = masks->GetMask(active);
      PushOldMask(*this, command, old, kUndoMaskPixels, active, now != nullptr ? now->id : -1, 0, 0);
    }
    if (!cleared || !command.Recording()) ClearUndo();
    masks->ClearOutline();
    InvalidateWindow(false);
    RepaintMaskList(active);
    return cleared;
  });
}

bool TPaper::InvertSelection(TFlowImage* flow, int32_t layer, bool record) {
  (void)flow;
  auto check = [&] { return HasSelection(); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CMaskMngr* masks = MaskMngr();
    const int32_t active = masks->GetActiveIndex();
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(active), 3); });
    std::unique_ptr<CMaskData> old;
    if (!masks->InvertMask(active, old)) return false;
    const int32_t id = masks->GetMask(active)->id;
    if (old) {
      PushOldMask(*this, command, old, kUndoMaskPixels, active, id, 0, 0);
    } else {
      command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoInvertMask, active, id, 0, 0); });
    }
    masks->UpdateActiveThumbnail();
    RebuildSelectionOutline();
    InvalidateWindow(false);
    RepaintMaskList(active);
    return true;
  });
}

uint8_t TPaper::SetSelectionVisible(TFlowImage* flow, int32_t layer, bool record, bool value) {
  (void)flow;
  auto check = [&] { return HasActiveMask() && (selectionVisible != 0) != value; };
  RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t before = SelectionFlagsWord();
    const int32_t after = FlagsWord(selectionEnabled != 0, value);
    const int32_t active = GetActiveMaskIndex();
    command.Record([&](CEventMngr& events) { events.writeMaskOpEx(I16(layer), I16(active), 13, before, after); });
    command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoSelectionFlags, before, after, active, 0); });
    selectionVisible = value ? 1 : 0;
    InvalidateWindow(false);
    return true;
  });
  return selectionVisible;
}

uint8_t TPaper::SetSelectionEnabled(TFlowImage* flow, int32_t layer, bool record, bool value) {
  (void)flow;
  auto check = [&] { return HasActiveMask() && (selectionEnabled != 0) != value; };
  RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t before = SelectionFlagsWord();
    const int32_t after = FlagsWord(value, selectionVisible != 0);
    const int32_t active = GetActiveMaskIndex();
    command.Record([&](CEventMngr& events) { events.writeMaskOpEx(I16(layer), I16(active), 14, before, after); });
    command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoSelectionFlags, before, after, active, 0); });
    selectionEnabled = value ? 1 : 0;
    return true;
  });
  return selectionEnabled;
}

bool TPaper::OffsetMask(TFlowImage* flow, int32_t layer, bool record, int32_t dx, int32_t dy) {
  (void)flow;
  (void)layer;
  auto check = [&] {
    const CMaskData* mask = GetActiveMask();
    if (!CMaskData::IsAllocated(mask) || (dx == 0 && dy == 0)) return false;
    const int64_t x = int64_t{mask->offsetX} - dx;
    const int64_t y = int64_t{mask->offsetY} - dy;
    return std::llabs(x) <= kMaxMaskOffset && std::llabs(y) <= kMaxMaskOffset;
  };
  // The move is done once recorded and applied, also when the moved selection leaves the canvas
  // and the outline has nothing to trace.
  return RunCommand(record, check, [&](PaperCommand& command) {
    CMaskMngr* masks = MaskMngr();
    const int32_t active = masks->GetActiveIndex();
    CMaskData* mask = masks->GetActiveMask();
    command.Record(
        [&](CEventMngr& events) { events.writeMaskOpEx(I16(GetActiveLayerIndex()), I16(active), 8, dx, dy); });
    command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoMaskOffset, active, mask->id, dx, dy); });
    mask->offsetX -= dx;
    mask->offsetY -= dy;
    masks->UpdateThumbnail(mask);
    RebuildSelectionOutline();
    RepaintMaskList(active);
    InvalidateWindow(false);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// The mask list

bool TPaper::SetActiveMask(TFlowImage* flow, int32_t layer, bool record, int32_t index) {
  (void)flow;
  CMaskMngr* masks = MaskMngr();
  const int32_t n = index == -1 && masks != nullptr ? masks->GetActiveIndex() : index;
  auto check = [&] { return masks != nullptr && n >= 0 && n <= masks->GetCount(); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t before = masks->GetActiveIndex();
    const bool appends = n == masks->GetCount();
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(n), 5); });
    if (!ActivateMask(n)) return false;
    const int32_t id = masks->GetMask(n)->id;
    if (appends) {
      // The appended mask goes again on undo, so that the list is as it was.
      command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoAddMask, n, id, n * 65536 + before, 0); });
    } else {
      command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoActiveMask, n, id, before, 0); });
    }
    return true;
  });
}

bool TPaper::RenameMask(TFlowImage* flow, int32_t layer, bool record, const std::string& name, int32_t mask) {
  (void)flow;
  (void)layer;
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] { return n >= 0; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CMaskData* target = GetMask(n);
    command.Record([&](CEventMngr& events) { events.writeMaskName(I16(n), name); });
    if (command.Recording()) {
      bool pushed = false;
      if (CUndoMngrEx* undo = UndoMngr()) {
        std::unique_ptr<CUndoData> entry(new (std::nothrow) CUndoData);
        if (entry) {
          entry->SetValues(true, -1, UndoCodeCategory(kUndoMaskName), kUndoMaskName, n, target->id, 0, 0);
          entry->name1 = target->name;
          entry->name2 = name;
          pushed = undo->PushRecord(entry);
        }
      }
      if (!pushed) ClearUndo();
    }
    target->name = name;
    RepaintMaskList(n);
    return true;
  });
}

bool TPaper::NewMask(TFlowImage* flow, int32_t layer, bool record, int32_t index) {
  (void)flow;
  CMaskMngr* masks = MaskMngr();
  const int32_t at = masks == nullptr ? -1 : index == -1 ? masks->GetActiveIndex() + 1 : index;
  auto check = [&] { return masks != nullptr && at >= 0 && at <= masks->GetCount(); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t before = masks->GetActiveIndex();
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(at), 0); });
    const int32_t d = masks->NewMask(at);
    if (d < 0) return false;
    const int32_t id = masks->GetMask(d)->id;
    command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoAddMask, d, id, d * 65536 + before, 0); });
    ActivateMask(d);
    return true;
  });
}

bool TPaper::DeleteMask(TFlowImage* flow, int32_t layer, bool record, int32_t mask) {
  (void)flow;
  CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] { return masks != nullptr && masks->GetCount() >= 2 && n >= 0; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t before = masks->GetActiveIndex();
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(n), 2); });
    // The mask to delete is made active first (the player does the same), so that the active
    // mask afterwards is the same whether recorded or replayed.
    if (n != before) masks->SetActive(n);
    std::unique_ptr<CMaskData> removed;
    if (!masks->Remove(n, removed) || !removed) return false;
    const int32_t after = masks->GetActiveIndex();
    PushOldMask(*this, command, removed, kUndoDeleteMask, n, removed->id, after * 65536 + before, 0);
    ActivateMask(after);
    return true;
  });
}

bool TPaper::DuplicateMask(TFlowImage* flow, int32_t layer, bool record, int32_t mask) {
  (void)flow;
  CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] { return masks != nullptr && n >= 0; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t before = masks->GetActiveIndex();
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(n), 4); });
    const int32_t d = masks->Duplicate(n);
    if (d < 0) return false;
    const int32_t id = masks->GetMask(d)->id;
    command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoAddMask, d, id, d * 65536 + before, 0); });
    ActivateMask(d);
    return true;
  });
}

bool TPaper::TrimOutMask(TFlowImage* flow, int32_t layer, bool record, int32_t mask) {
  (void)flow;
  CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] { return masks != nullptr && n >= 0; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    std::unique_ptr<CMaskData> old;
    if (!masks->TrimToCanvas(n, old)) return false;
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(n), 6); });
    PushOldMask(*this, command, old, kUndoMaskPixels, n, masks->GetMask(n)->id, 0, 0);
    ActivateMask(n);
    return true;
  });
}

bool TPaper::MoveMask(TFlowImage* flow, int32_t layer, bool record, int32_t from, int32_t to) {
  (void)flow;
  (void)layer;
  CMaskMngr* masks = MaskMngr();
  const int32_t source = ResolveMaskIndex(from);
  auto check = [&] { return masks != nullptr && source >= 0 && masks->IsValidIndex(to) && to != source; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    if (masks->Move(to, source) < 0) return false;
    command.Record([&](CEventMngr& events) { events.writeMaskOpEx(I16(layer), I16(source), 7, to, 0); });
    const int32_t id = masks->GetMask(to)->id;
    command.Undo([&] { return PushUndo<CMaskData>(nullptr, kUndoMoveMask, source, to, id, 0); });
    ActivateMask(to);
    return true;
  });
}

bool TPaper::CombineMasks(TFlowImage* flow, int32_t layer, bool record, int32_t mode, int32_t source,
                          int32_t target) {
  (void)flow;
  CMaskMngr* masks = MaskMngr();
  const int32_t from = ResolveMaskIndex(source);
  const int32_t into = ResolveMaskIndex(target);
  auto check = [&] { return masks != nullptr && from >= 0 && into >= 0 && mode >= 0 && mode <= 3; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    std::unique_ptr<CMaskData> old;
    {
      WaitCursor busy;
      if (!masks->CombineMasks(into, from, mode, old)) return false;
    }
    command.Record([&](CEventMngr& events) { events.writeMaskOpEx(I16(layer), I16(from), 9, into, mode); });
    if (old) {
      PushOldMask(*this, command, old, kUndoCombineMasks, from, into, mode, 0);
    } else if (command.Recording()) {
      ClearUndo();
    }
    masks->UpdateThumbnail(masks->GetMask(into));
    ActivateMask(into);
    return true;
  });
}

bool TPaper::NewMaskFromLayer(TFlowImage* flow, int32_t layer, bool record, int32_t combine, int32_t kind,
                              int32_t mask) {
  (void)flow;
  (void)combine;  // every caller passes 0; the new mask always goes in as a mask of its own
  CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] {
    return masks != nullptr && IsValidLayerIndex(layer) && GetLayer(layer)->Store() != nullptr &&
           (kind == 0 || kind == 1) && n >= 0;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const int32_t before = masks->GetActiveIndex();
    auto built = std::make_unique<CMaskData>(n + 1);
    const CLayerData& source = *GetLayer(layer);
    if (!(kind == 0 ? built->FromLuminance(source, true) : built->FromAlpha(source))) return false;
    CMaskData* raw = built.get();
    const int32_t g = masks->InsertExisting(n + 1, built);
    if (g < 0) return false;
    command.Record([&](CEventMngr& events) { events.writeMaskOpEx(I16(layer), I16(n), 22, kind, 0); });
    // The mask lives in the list; the record names it (and frees it only once undone).
    command.Undo([&] { return PushUndo(raw, kUndoMaskFromLayer, g, raw->id, g * 65536 + before, 0); });
    ActivateMask(g);
    SetSelectionFlags(true, true);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// One-pixel grow and shrink

bool TPaper::GrowOnePixel(TFlowImage* flow, int32_t layer, bool record, bool grow, int32_t mask, bool growStore) {
  (void)flow;
  CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] {
    if (masks == nullptr || n < 0) return false;
    const CMaskData* m = masks->GetMask(n);
    if (!m->IsAllocated()) return false;
    TRect bounds{};
    return !growStore || m->GetBounds(bounds);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    const CMaskData& old = *masks->GetMask(n);
    const CBlockVCH& oldStore = *old.Store();
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    if (growStore) {
      TRect bounds{};
      old.GetBounds(bounds);
      const TRect rect = old.GetRect();
      left = bounds.left == rect.left ? 1 : 0;
      top = bounds.top == rect.top ? 1 : 0;
      right = bounds.right == rect.right ? 1 : 0;
      bottom = bounds.bottom == rect.bottom ? 1 : 0;
    }
    const int32_t width = oldStore.Width() + left + right;
    const int32_t height = oldStore.Height() + top + bottom;
    const TPoint offset{old.offsetX + left, old.offsetY + top};
    if (!IsAcceptableMaskGeometry(offset, SSize{width, height})) return false;
    std::unique_ptr<CMaskData> built = CMaskData::Create(n, width, height);
    if (!built) throw std::bad_alloc();
    const CBlockVCH* from = &oldStore;
    CBlockVCH widened;
    if (left + top + right + bottom > 0) {
      if (!widened.Create(width, height) || !widened.CopyAllFrom(oldStore, left, top)) throw std::bad_alloc();
      from = &widened;
    }
    bool filtered;
    if (grow) {
      filtered = growStore ? built->Store()->GrowAroundContent(*from) : built->Store()->GrowInsideContent(*from);
    } else {
      filtered = built->Store()->ShrinkFrom(*from);
    }
    if (!filtered) return false;
    built->Store()->Compact();
    built->offsetX = offset.x;
    built->offsetY = offset.y;
    built->name = old.name;
    masks->UpdateThumbnail(built.get());
    command.Record([&](CEventMngr& events) {
      events.writeMaskOpEx(I16(layer), I16(n), 10, growStore ? 1 : 0, grow ? 1 : 0);
    });
    if (!masks->PutMask(n, built)) return false;
    // built now holds the old mask.
    PushOldMask(*this, command, built, kUndoMaskPixels, n, masks->GetMask(n)->id, 0, 0);
    SetSelectionFlags(true, true);
    RepaintMaskList(n);
    return true;
  });
}

bool TPaper::GrowSelectionOnePixel(TFlowImage* flow, int32_t layer, bool record, bool grow, int32_t mask) {
  return GrowOnePixel(flow, layer, record, grow, mask, true);
}

bool TPaper::GrowSelectionOnePixelInStore(TFlowImage* flow, int32_t layer, bool record, bool grow, int32_t mask) {
  return GrowOnePixel(flow, layer, record, grow, mask, false);
}

// ---------------------------------------------------------------------------------------------
// The selected part of a layer

bool TPaper::SelectionToNewLayer(TFlowImage* flow, int32_t layer, bool record, bool keepSource, int32_t kind,
                                 int32_t mask) {
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] {
    if (!IsValidLayerIndex(layer) || GetLayer(layer)->Store() == nullptr || n < 0) return false;
    // The new layer must fit before anything is cut out of the source.
    return CMaskData::IsAllocated(GetMask(n)) && selectionEnabled != 0 && GetLayer(layer)->visible != 0 &&
           (kind == 0 || kind == 1) && CanAddLayer(-1);
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    CLayerData& source = *GetLayer(layer);
    const CMaskData& coverage = *GetMask(n);
    // The source's whole alpha plane: the undo record's block, and what a later failure puts back.
    SByteImage saved;
    ByteImageInit(saved);
    SRectWH whole{0, 0, source.StoreWidth(), source.StoreHeight()};
    if (!ByteImageGrabAlpha(saved, *source.Store(), whole)) throw std::bad_alloc();
    struct PlaneGuard {
      SByteImage& plane;
      ~PlaneGuard() { ByteImageFree(plane); }
    } guard{saved};
    std::unique_ptr<CLayerData> created = CopyLayerInMask(source, coverage);
    if (!created) return false;
    bool erased = false;
    auto restoreSource = [&] {
      if (erased) {
        ByteImagePutAlpha(saved, *source.Store(), whole);
        source.UpdateThumbnail();
      }
    };
    if (!keepSource) {
      if (!EraseLayerByMask(source, coverage, kind)) {
        restoreSource();
        return false;
      }
      erased = true;
    }
    CLayerData* raw = created.get();
    const int32_t at = Layers().InsertExisting(layer + 1, created);
    if (at < 0) {
      restoreSource();
      return false;
    }
    Layers().EnsureDepthArray(true);
    command.Record([&](CEventMngr& events) {
      if (kind == 0 && !keepSource) {
        events.writeMaskOp(I16(layer), I16(n), 11);
      } else {
        events.writeMaskOpEx(I16(layer), I16(n), 24, kind + (keepSource ? 65536 : 0), 0);
      }
    });
    if (command.Recording()) {
      // The record holds the new layer (which lives in the stack) and the source's former alpha.
      if (CUndoMngrEx* undo = UndoMngr()) {
        std::unique_ptr<CUndoData> entry(new (std::nothrow) CUndoData);
        std::unique_ptr<CUndoHeld> held(new (std::nothrow) TUndoHeld<CLayerData>(raw));
        if (entry && held) {
          entry->SetValues(true, source.id, UndoCodeCategory(kUndoSelectionToLayer), kUndoSelectionToLayer, at, 0,
                           0, 0);
          entry->rect = whole;
          entry->AdoptHeld(std::move(held));
          entry->AdoptAlphaPlane(saved);
          if (!undo->PushRecord(entry)) {
            // Not taken: the layer stays in the stack, the plane is freed with the record.
            entry->ForgetHeld();
          }
        } else if (held) {
          held->Forget();
        }
      }
    }
    SetActiveLayer(flow, at);
    RefreshLayerView(at);
    return true;
  });
}

bool TPaper::CutSelection(TFlowImage* flow, int32_t layer, bool record, int32_t mask) {
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] {
    return IsValidLayerIndex(layer) && GetLayer(layer)->Store() != nullptr && n >= 0 &&
           CMaskData::IsAllocated(GetMask(n)) && selectionEnabled != 0;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    WaitCursor busy;
    // Only the user's own cut goes to the clipboard; a replay never touches it and always cuts,
    // so that the replayed picture is the recorded one.
    if (command.Recording() && (window_ == nullptr || !window_->CopySelectionToClipboard(layer, n))) return false;
    CLayerData& target = *GetLayer(layer);
    command.Record([&](CEventMngr& events) { events.writeLayerOp(I16(layer), I16(n), 9); });
    const bool pushed = command.Undo([&] { return PushLayerUndo(target, kUndoLayerAlpha); });
    if (!EraseLayerByMask(target, *GetMask(n), 0)) {
      if (CUndoMngrEx* undo = UndoMngr(); pushed && undo != nullptr) undo->DropNewestUndo();
      return false;
    }
    SetActiveLayer(flow, layer);
    RefreshLayerView(layer);
    return true;
  });
}

bool TPaper::SelectionToLayerAlpha(TFlowImage* flow, int32_t layer, bool record, int32_t mask) {
  const int32_t n = ResolveMaskIndex(mask);
  auto check = [&] { return IsValidLayerIndex(layer) && GetLayer(layer)->Store() != nullptr && n >= 0; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData& target = *GetLayer(layer);
    const CMaskData& source = *GetMask(n);
    // The former alpha, put back should the mask not reach the layer for want of memory.
    SByteImage saved;
    ByteImageInit(saved);
    SRectWH whole{0, 0, target.StoreWidth(), target.StoreHeight()};
    if (!ByteImageGrabAlpha(saved, *target.Store(), whole)) throw std::bad_alloc();
    command.Record([&](CEventMngr& events) { events.writeMaskOp(I16(layer), I16(n), 21); });
    const bool pushed = command.Undo([&] { return PushLayerUndo(target, kUndoLayerAlpha); });
    bool done = source.ToLayerAlpha(target);
    if (!done && source.IsAllocated()) {
      // Stores that do not meet leave every alpha 0, which is what the mask says there.
      TRect m = source.GetRect();
      const TRect l{-target.offsetX, -target.offsetY, target.StoreWidth() - target.offsetX,
                    target.StoreHeight() - target.offsetY};
      done = m.right <= l.left || l.right <= m.left || m.bottom <= l.top || l.bottom <= m.top;
    }
    if (!done) {
      ByteImagePutAlpha(saved, *target.Store(), whole);
      ByteImageFree(saved);
      if (CUndoMngrEx* undo = UndoMngr(); pushed && undo != nullptr) undo->DropNewestUndo();
      return false;
    }
    ByteImageFree(saved);
    target.Store()->Compact();
    target.UpdateThumbnail();
    SyncFlowImage(flow, layer, true);
    RefreshLayerView(layer);
    return true;
  });
}

}  // namespace tf
