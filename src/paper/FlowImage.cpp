// The working copy of one layer, and the document's routines that keep it in step with the store.
#include "paper/FlowImage.h"

#include <algorithm>

#include "paint/Stroke.h"
#include "paper/Paper.h"

namespace tf {

TFlowImage::TFlowImage(TPaper* paper) : paper_(paper) {}

bool TFlowImage::ResizeBoth(int32_t width, int32_t height) {
  if (!image_.Resize(width, height)) return false;
  if (!work_.Resize(width, height)) return false;
  work_.Fill(0);
  return true;
}

bool TFlowImage::LoadLayer(int32_t index, CBlockVMTC& store, bool force) {
  const int32_t width = std::max(store.Width(), image_.Width());
  const int32_t height = std::max(store.Height(), image_.Height());
  bool reloaded = false;
  if (image_.Width() < store.Width() || image_.Height() < store.Height() || !image_.IsValid()) {
    // The copy grows to hold the store; whatever lies outside the store is not the layer's.
    if (!ResizeBoth(width, height)) {
      valid = 0;
      return false;
    }
    store.CopyAllToImage(image_, 0, 0, 255, false);
    reloaded = true;
  } else if (force || index != layer || valid != 1) {
    store.Compact();
    store.CopyAllToImage(image_, 0, 0, 255, false);
    work_.Fill(0);
    reloaded = true;
  }
  if (reloaded) {
    layer = index;
    valid = 1;
  }
  const CLayerData* held = paper_ != nullptr ? paper_->GetLayer(index) : nullptr;
  canvasRect = SRectWH{held != nullptr ? held->offsetX : 0, held != nullptr ? held->offsetY : 0,
                       paper_ != nullptr ? paper_->canvasWidth : 0, paper_ != nullptr ? paper_->canvasHeight : 0};
  // The current stroke paints on this layer from now on.
  if (TStroke* stroke = paper_ != nullptr ? paper_->GetCurrentStroke() : nullptr) stroke->SetLayerIndex(index);
  return reloaded;
}

bool TFlowImage::GrowTo(int32_t width, int32_t height) {
  width = std::max(width, image_.Width());
  height = std::max(height, image_.Height());
  if (image_.IsValid() && image_.Width() == width && image_.Height() == height) return true;
  valid = 0;
  if (!ResizeBoth(width, height)) return false;
  image_.FillAll(0x00FFFFFFu);
  return true;
}

bool TFlowImage::Resize(bool allowShrink) {
  if (paper_ == nullptr) return false;
  int32_t width = 0;
  int32_t height = 0;
  if (!paper_->GetMaxStoreSize(width, height)) return false;
  if (!allowShrink) {
    width = std::max(width, image_.Width());
    height = std::max(height, image_.Height());
  }
  if (image_.IsValid() && image_.Width() == width && image_.Height() == height) return false;
  valid = 0;
  if (!ResizeBoth(width, height)) return false;
  image_.FillAll(0x00FFFFFFu);
  canvasRect = SRectWH{0, 0, paper_->canvasWidth, paper_->canvasHeight};
  return true;
}

// ---------------------------------------------------------------------------------------------
// The document's side

bool TPaper::SyncFlowImage(TFlowImage* flow, int32_t index, bool force) {
  CLayerData* layer = GetLayer(index);
  if (flow == nullptr || layer == nullptr || layer->Store() == nullptr) return false;
  return flow->LoadLayer(index, *layer->Store(), force);
}

void TPaper::SyncFlowRect(TFlowImage* flow, int32_t index, bool writeBack, const TRect& rect) {
  CLayerData* layer = GetLayer(index);
  if (flow == nullptr || layer == nullptr || layer->Store() == nullptr) return;
  // The copy and the store share coordinates: one rectangle serves both sides.
  SRectWH area{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  if (flow->Image().ClipRect(area)) {
    if (writeBack) {
      PutImageToLayer(index, flow->Image(), 255, area, TPoint{area.left, area.top});
      layer->Store()->Compact();
    } else {
      TPoint dest{area.left, area.top};
      SRectWH source = area;
      layer->Store()->CopyToImage(flow->Image(), dest, source, 255, false);
      flow->valid = 1;
    }
  }
  flow->WorkChannel().Fill(0);
}

void TPaper::CommitFlowImage(TFlowImage* flow, int32_t index, bool toStore) {
  CLayerData* layer = GetLayer(index);
  if (flow == nullptr || layer == nullptr || layer->Store() == nullptr) return;
  if (toStore) {
    layer->Store()->CopyAllFromImage(flow->Image(), 0, 0, 255);
  } else {
    layer->Store()->CopyAllToImage(flow->Image(), 0, 0, 255, false);
  }
  flow->WorkChannel().Fill(0);
}

}  // namespace tf
