// TPaper: its masks, selection outline and selection slots.
#include <memory>
#include <new>

#include "document/Mask.h"
#include "document/MaskCanvas.h"
#include "document/SelectionOutline.h"
#include "paper/Paper.h"
#include "platform/Debug.h"

namespace tf {

namespace {

// The document's mask list, seen by the document through PaperMasks and by the masks through
// MaskCanvas.
class CPaperMaskList final : public PaperMasks, public MaskCanvas {
 public:
  explicit CPaperMaskList(const TPaper& paper) : paper_(paper), masks_(this, kMaskListCapacity) {}

  CMaskMngr& Mngr() { return masks_; }

  // PaperMasks
  int32_t ActiveIndex() const override { return masks_.GetActiveIndex(); }
  void RefreshThumbnails() override { masks_.UpdateAllThumbnails(); }
  int64_t MemorySize() const override { return masks_.GetCommittedBytes(); }

  // MaskCanvas
  SSize CanvasSize() const override { return SSize{paper_.canvasWidth, paper_.canvasHeight}; }
  void CanvasToClientPoint(TPoint& point) const override { paper_.CanvasToClientPoint(point); }
  float ViewZoom() const override { return paper_.GetZoom(); }
  float ViewSine() const override { return paper_.rotation.sine; }
  float ViewCosine() const override { return paper_.rotation.cosine; }

 private:
  static constexpr int32_t kMaskListCapacity = 16;
  const TPaper& paper_;
  CMaskMngr masks_;
};

class CPaperSelectSlots final : public SelectionSlots {
 public:
  CPaperSelectSlots(int32_t width, int32_t height) : slots_(width, height) {}
  bool Resize(int32_t width, int32_t height) override { return slots_.Resize(width, height); }
  TSelectMng& Mngr() { return slots_; }

 private:
  TSelectMng slots_;
};

}  // namespace

bool TPaper::CreateMaskMngr() {
  masks_.reset();
  try {
    masks_ = std::make_unique<CPaperMaskList>(*this);
  } catch (const std::bad_alloc&) {
    DebugOut("failed to create maskMngr!\n");
    return false;
  }
  return true;
}

bool TPaper::CreateSelectionSlots(int32_t width, int32_t height) {
  slots_.reset();
  if (width <= 0 || height <= 0) return false;
  try {
    auto slots = std::make_unique<CPaperSelectSlots>(width, height);
    if (!slots->Mngr().IsValid()) {
      DebugOut("failed to create the selection slots!\n");
      return false;
    }
    slots_ = std::move(slots);
  } catch (const std::bad_alloc&) {
    DebugOut("failed to create the selection slots!\n");
    return false;
  }
  return true;
}

CMaskMngr* TPaper::MaskMngr() const {
  auto* list = dynamic_cast<CPaperMaskList*>(masks_.get());
  return list != nullptr ? &list->Mngr() : nullptr;
}

TSelectMng* TPaper::SelectMngr() const {
  auto* slots = dynamic_cast<CPaperSelectSlots*>(slots_.get());
  return slots != nullptr ? &slots->Mngr() : nullptr;
}

bool TPaper::RebuildSelectionOutline() {
  CMaskMngr* masks = MaskMngr();
  if (masks == nullptr) return false;
  return masks->RebuildOutline(SSize{canvasWidth, canvasHeight}, -1);
}

bool TPaper::StepAnts() {
  CMaskMngr* masks = MaskMngr();
  return masks != nullptr && masks->StepOutline();
}

bool TPaper::DrawAnts(Surface& surface, int32_t clientWidth, int32_t clientHeight) {
  // A hidden selection draws no outline.
  CMaskMngr* masks = MaskMngr();
  return selectionVisible != 0 && masks != nullptr && masks->DrawOutline(surface, clientWidth, clientHeight);
}

}  // namespace tf
