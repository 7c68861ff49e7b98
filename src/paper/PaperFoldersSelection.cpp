// TPaper: selection grow and shrink by a radius, and selection by colour range.
#include <algorithm>
#include <cstring>
#include <memory>

#include "document/ColorMask.h"
#include "document/Mask.h"
#include "document/SelectionExtent.h"
#include "paper/Paper.h"
#include "platform/Host.h"

namespace tf {

namespace {

int32_t ResolveMask(const CMaskMngr* masks, int32_t mask) {
  if (masks == nullptr) return -1;
  const int32_t n = mask == -1 ? masks->GetActiveIndex() : mask;
  return masks->IsValidIndex(n) ? n : -1;
}

bool ValidRadius(int32_t radius) { return radius >= kMinSelectionRadius && radius <= kMaxSelectionRadius; }

// The value word of the grow and shrink events: shape in the high half, radius in the low.
int32_t ExtentValue(int32_t shape, int32_t radius) {
  return static_cast<int32_t>((static_cast<uint32_t>(shape) << 16) + (static_cast<uint32_t>(radius) & 0xFFFFu));
}

bool ValidEntries(const SColorRangeSettings& settings, const SColorEntry* entries) {
  return settings.count >= 0 && settings.count <= kMaxColorEntries && (settings.count == 0 || entries != nullptr);
}

}  // namespace

void TPaper::ShowNewSelection() {
  selectionEnabled = 1;
  selectionVisible = 1;
  RebuildSelectionOutline();
  InvalidateWindow(false);
  UpdateMaskPane();
}

// ---------------------------------------------------------------------------------------------
// Grow and shrink

bool TPaper::GrowSelectionBy(int32_t layer, int32_t mask, bool record, int32_t shape, int32_t radius) {
  return ExtendSelection(layer, mask, record, shape, radius, true);
}

bool TPaper::ShrinkSelectionBy(int32_t layer, int32_t mask, bool record, int32_t shape, int32_t radius) {
  return ExtendSelection(layer, mask, record, shape, radius, false);
}

bool TPaper::ExtendSelection(int32_t layer, int32_t mask, bool record, int32_t shape, int32_t radius, bool grow) {
  const CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMask(masks, mask);
  if (n < 0 || !ValidRadius(radius)) return false;
  WaitCursor busy;
  TChannel channel;
  TPoint offset{0, 0};
  const CMaskData& source = *masks->GetMask(n);
  const bool built = grow ? GrowMaskChannel(channel, source, radius, offset, shape)
                          : ShrinkMaskChannel(channel, source, radius, offset, shape);
  return built && CommitExtendedSelection(channel, layer, record, offset, shape, radius, n, grow);
}

bool TPaper::CommitGrownSelection(const TChannel& channel, int32_t layer, bool record, const TPoint& offset,
                                  int32_t shape, int32_t radius, int32_t mask) {
  return CommitExtendedSelection(channel, layer, record, offset, shape, radius, mask, true);
}

bool TPaper::CommitShrunkSelection(const TChannel& channel, int32_t layer, bool record, const TPoint& offset,
                                   int32_t shape, int32_t radius, int32_t mask) {
  return CommitExtendedSelection(channel, layer, record, offset, shape, radius, mask, false);
}

bool TPaper::CommitExtendedSelection(const TChannel& channel, int32_t layer, bool record, const TPoint& offset,
                                     int32_t shape, int32_t radius, int32_t mask, bool grow) {
  CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMask(masks, mask);
  auto check = [&] { return n >= 0 && ValidRadius(radius) && channel.IsValid(); };
  return RunCommand(record, check, [&](PaperCommand& command) {
    std::unique_ptr<CMaskData> old;
    if (!masks->CombineChannel(n, channel, kMaskReplace, old, offset, channel.Size())) return false;
    command.Record([&](CEventMngr& events) {
      events.writeMaskOpEx(static_cast<int16_t>(layer), static_cast<int16_t>(n), grow ? 25 : 26,
                           ExtentValue(shape, radius), 0);
    });
    CMaskData* former = old.get();
    if (command.Undo([&] { return PushUndo(former, kUndoMaskPixels, n, masks->GetMask(n)->id, 0, 0); }))
      (void)old.release();  // the undo holds it now
    ShowNewSelection();
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Colour range

bool TPaper::ComputeColorRangeChannel(int32_t layer, TChannel& channel, int32_t& selected,
                                      const SColorRangeSettings& settings, const SColorEntry* entries,
                                      int32_t mask) {
  selected = 0;
  const CLayerData* source = GetLayer(layer);
  if (source == nullptr || source->Store() == nullptr || !ValidEntries(settings, entries)) return false;
  const CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMask(masks, mask);
  const CMaskData* selection = n >= 0 ? masks->GetMask(n) : nullptr;
  const bool limited = selection != nullptr && selection->IsAllocated();
  TPoint selectionOffset{0, 0};
  CBlockVMTC picture;
  const CBlockVMTC* store = source->Store();
  if (settings.source == 1) {
    // The displayed picture, made opaque.
    const SRectWH canvas{0, 0, canvasWidth, canvasHeight};
    ComposeRect(canvas, false);
    if (!picture.Create(canvasWidth, canvasHeight) || !picture.CopyAllFromImage(DisplayBuffer(), 0, 0, 255) ||
        !picture.SetAlphaAll(255))
      return false;
    store = &picture;
    if (limited) selectionOffset = TPoint{selection->offsetX, selection->offsetY};
  } else {
    if (limited) {
      // The layer's store and the selection's store must meet on the canvas.
      TRect layerRect;
      source->GetStoreRect(layerRect);
      const TRect maskRect = selection->GetRect();
      if (std::max(layerRect.left, maskRect.left) >= std::min(layerRect.right, maskRect.right) ||
          std::max(layerRect.top, maskRect.top) >= std::min(layerRect.bottom, maskRect.bottom))
        return false;
      selectionOffset = TPoint{selection->offsetX - source->offsetX, selection->offsetY - source->offsetY};
    }
  }
  if (!channel.Resize(store->Width(), store->Height())) return false;
  CColorMask colourMask;
  colourMask.Bind(settings, store, selectionOffset, limited ? selection : nullptr, &channel);
  if (!colourMask.Compute(entries, settings.count)) return false;
  selected = colourMask.selectedCount;
  return true;
}

bool TPaper::ColorRangeSelect(int32_t layer, bool record, const SColorRangeSettings& settings,
                              const SColorEntry* entries, int32_t mask) {
  WaitCursor busy;
  TChannel channel;
  int32_t selected = 0;
  bool result = ComputeColorRangeChannel(layer, channel, selected, settings, entries, mask);
  // A computation that selects nothing leaves the mask as it was.
  if (result && selected > 0) result = CommitColorRange(channel, layer, record, settings, entries, mask);
  if (settings.source == 1) RedrawAll(true);
  return result;
}

bool TPaper::CommitColorRange(const TChannel& channel, int32_t layer, bool record,
                              const SColorRangeSettings& settings, const SColorEntry* entries, int32_t mask) {
  CMaskMngr* masks = MaskMngr();
  const int32_t n = ResolveMask(masks, mask);
  const CLayerData* source = GetLayer(layer);
  auto check = [&] {
    return n >= 0 && channel.IsValid() && ValidEntries(settings, entries) &&
           (settings.source == 1 || (source != nullptr && source->Store() != nullptr));
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    TPoint offset{0, 0};
    SSize size{canvasWidth, canvasHeight};
    if (settings.source != 1) {
      offset = TPoint{source->offsetX, source->offsetY};
      size = SSize{source->StoreWidth(), source->StoreHeight()};
    }
    std::unique_ptr<CMaskData> old;
    if (!masks->CombineChannel(n, channel, kMaskReplace, old, offset, size)) return false;
    command.Record([&](CEventMngr& events) {
      SColorRangeHeader header{};
      std::memcpy(&header, &settings, sizeof header);
      static_assert(sizeof header == sizeof settings);
      events.writeColorMask(static_cast<int16_t>(layer), static_cast<int16_t>(n), kMaskReplace, channel, header,
                            reinterpret_cast<const uint8_t*>(entries));
    });
    CMaskData* former = old.get();
    if (command.Undo([&] { return PushUndo(former, kUndoMaskPixels, n, masks->GetMask(n)->id, 0, 0); }))
      (void)old.release();
    ShowNewSelection();
    return true;
  });
}

}  // namespace tf
