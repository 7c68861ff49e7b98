// TFlowImage: the working copy of one layer that strokes and fills paint into.
#pragma once
// Painting does not write into a layer's tiled store directly. Each document window owns one
// TFlowImage: a flat 32-bit copy of one layer's whole store plus an 8-bit work channel of the
// same size. Pixel (x, y) of the copy is pixel (x, y) of the store (store coordinates). Strokes
// and fills paint into the copy and the document writes the touched rectangle back; commands
// that change a store directly reload the copy afterwards.
//
// The image and the work channel always have the same size, at least that of the store last
// loaded; loading grows them and never shrinks them.
#include <cstdint>

#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class TPaper;

class TFlowImage {
 public:
  // An empty copy of no layer (layer -1, not valid) for the document.
  explicit TFlowImage(TPaper* paper);
  TFlowImage(const TFlowImage&) = delete;
  TFlowImage& operator=(const TFlowImage&) = delete;

  // Loads the layer's store into the copy when the copy is smaller than the store, when forced,
  // when it holds another layer or is not valid; otherwise copies nothing. True when it
  // (re)loaded; false also when the copy cannot grow (then nothing changed). Every call that
  // does not fail sets the canvas rectangle from the layer and tells the current stroke the
  // layer index.
  bool LoadLayer(int32_t index, CBlockVMTC& store, bool force);
  // Resizes the copy to the document's largest store (at least its current size unless
  // allowShrink), filled with 0x00FFFFFF, not valid, canvas rectangle at the origin. False when
  // the document has no layer, when the copy has that size already, or when it cannot be made.
  bool Resize(bool allowShrink);

  // Grows the copy to at least width x height (never shrinks); whatever it held is gone: filled
  // with 0x00FFFFFF, the channel cleared, not valid. False when it cannot grow.
  bool GrowTo(int32_t width, int32_t height);

  TPaper* Paper() const { return paper_; }
  TMTC& Image() { return image_; }
  const TMTC& Image() const { return image_; }
  TChannel& WorkChannel() { return work_; }
  const TChannel& WorkChannel() const { return work_; }

  // Fields.
  int32_t layer = -1;              // stack index of the layer held; -1 for none
  uint8_t valid = 0;               // 1 while the pixels equal the layer's store; 2 while they
                                   // hold the composed picture of the seed fills
  SRectWH canvasRect{0, 0, 0, 0};  // where the canvas lies in the copy

 private:
  // Image and work channel to width x height (the channel cleared); false when either fails.
  bool ResizeBoth(int32_t width, int32_t height);

  TPaper* paper_;
  TMTC image_;
  TChannel work_;
};

}  // namespace tf
