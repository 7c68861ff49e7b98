#include "filters/FilterDialogLogic.h"

#include <algorithm>
#include <cstring>

#include "filters/FilterCore.h"
#include "document/LayerData.h"
#include "platform/Clock.h"
#include "raster/BlockVMTC.h"

namespace tf {

bool CFilterDialogLogic::NeedsUpdate() const {
  if (IsPreviewOn() != previewSeen_) return true;
  const int32_t size = GetParamSize();
  return size > 0 && std::memcmp(GetParams(), GetAppliedParams(), static_cast<size_t>(size)) != 0;
}

bool CFilterDialogLogic::Attach(CFlt4Core* core) {
  if (core == nullptr || !core->IsValid()) return false;
  core_ = core;
  BusyScope busy(*this);
  LoadControls();
  ReadControls();
  return true;
}

void CFilterDialogLogic::UpdatePreview(bool force) {
  if (!force && !NeedsUpdate()) return;
  SetAppliedParams(GetParams());
  if (IsPreviewOn()) ApplyPreviewNow();
}

void CFilterDialogLogic::ValueChange(const void* sender) {
  if (busy_) return;
  int32_t r = 0;
  {
    BusyScope busy(*this);
    r = ControlChanged(sender);
    ReadControls();
    delay_.Changed(timeGetTime());
    SetTimerEnabled(r == 2);
  }
  if (r == 1) UpdatePreview(false);
}

void CFilterDialogLogic::TimerTick() {
  if (!delay_.Due(timeGetTime())) return;
  SetTimerEnabled(false);
  UpdatePreview(false);
}

void CFilterDialogLogic::CheckBoxPreviewClick() {
  previewSeen_ = IsPreviewOn();
  if (busy_) return;
  if (previewSeen_) {
    ApplyPreviewNow();
  } else {
    RemovePreview();
  }
}

bool CFilterDialogLogic::ApplyPreviewNow() {
  return core_ != nullptr && core_->ApplyPreview(GetParams(), GetParamSize());
}

bool CFilterDialogLogic::RemovePreview() { return core_ != nullptr && core_->RestorePreview(true); }

void CFilterDialogLogic::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    if (!pending_) pending_ = std::current_exception();
    SetTimerEnabled(false);
    CancelDialog();
  }
}

namespace {

bool ClipToStore(const CFlt4Core& core, const TRect& w, SRectWH& out) {
  const CLayerData* layer = core.Layer();
  if (layer == nullptr || layer->Store() == nullptr || core.Backup() == nullptr) return false;
  const int32_t left = std::max(0, w.left), top = std::max(0, w.top);
  const int32_t right = std::min(layer->StoreWidth(), w.right), bottom = std::min(layer->StoreHeight(), w.bottom);
  if (right <= left || bottom <= top) return false;
  out = SRectWH{left, top, right - left, bottom - top};
  return true;
}

}  // namespace

bool RenderPlainWindow(const CFlt4Core& core, const TRect& w, TMTC& image) {
  SRectWH from{};
  if (!ClipToStore(core, w, from)) return false;
  TPoint at{from.left - w.left, from.top - w.top};
  return core.Backup()->CopyToImage(image, at, from, 255, false);
}

bool RenderFilteredWindow(CFlt4Core& core, const void* block, int32_t size, const TRect& w, TMTC& image) {
  SRectWH from{};
  if (!ClipToStore(core, w, from)) return false;
  CBlockVMTC& store = *core.Layer()->Store();
  const CBlockVMTC& backup = *core.Backup();
  auto putBack = [&] {
    TPoint at{from.left, from.top};
    SRectWH part = from;
    store.CopyFrom(backup, at, part);
  };
  struct PutBack {
    decltype(putBack)& f;
    ~PutBack() { f(); }
  };
  putBack();
  PutBack guard{putBack};
  const TRect clip{from.left, from.top, from.left + from.width, from.top + from.height};
  if (!core.Execute(block, size, &clip)) return false;
  TPoint at{from.left - w.left, from.top - w.top};
  SRectWH part = from;
  return store.CopyToImage(image, at, part, 255, false);
}

bool RunFilterDialogLogic(CFilterDialogLogic& dialog, CFlt4Core& core, const std::function<int32_t()>& showModal,
                          void* blockOut) {
  if (!dialog.Attach(&core)) return false;
  const int32_t result = showModal ? showModal() : 2;
  const bool ok = result == 1 && !dialog.PendingException();
  core.RestorePreview(!ok);
  if (dialog.PendingException()) std::rethrow_exception(dialog.PendingException());
  if (ok && blockOut != nullptr && dialog.GetParamSize() > 0) {
    std::memcpy(blockOut, dialog.GetParams(), static_cast<size_t>(dialog.GetParamSize()));
  }
  return ok;
}

}  // namespace tf
