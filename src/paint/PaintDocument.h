// What the painting engine asks of the document it paints into: PaintDocument, and the mask and
// tone samplers of the pixel writers.
#pragma once
// The document window and its document (TPaper) sit above the painting engine, so the engine
// reaches them through these interfaces, which it owns: the document object implements
// PaintDocument; the mask of the selection (CMaskData.ValueAt) and the screen tones
// (CToneMngr.ToneValueAt) implement the two samplers. Tests use fakes.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

// A mask value source for the writers' first stage.
class MaskSampler {
 public:
  virtual ~MaskSampler() = default;
  // The mask holds a pixel store.
  virtual bool IsAllocated() const = 0;
  // The mask value at (x, y) of the mask's store scaled by value / 255 (0 outside).
  virtual int32_t ValueAt(int32_t x, int32_t y, int32_t value) const = 0;
};

// A screen tone source for the writers' first stage.
class ToneSampler {
 public:
  virtual ~ToneSampler() = default;
  // The tone's value at pixel (x, y) scaled by value / 255.
  virtual int32_t ToneValueAt(int32_t x, int32_t y, int32_t value) const = 0;
};

// A document window with its document, as the stroke state and the pixel writers see them.
class PaintDocument {
 public:
  virtual ~PaintDocument() = default;
  // False while the document replays a recording of the older version (stroke engine 0).
  virtual bool HasModernEngine() const = 0;
  // The window is locked for playback.
  virtual bool IsLockedForPlayback() const = 0;
  // The document has at least one layer.
  virtual bool HasLayers() const = 0;
  // The active layer's alpha protection.
  virtual bool ActiveLayerKeepsAlpha() const = 0;
  // The blend mode of the layer at the index; false when there is no such layer.
  virtual bool GetLayerBlendMode(int32_t layerIndex, uint32_t& mode) const = 0;
  // The document's selection-enabled flag.
  virtual bool IsSelectionEnabled() const = 0;
  // The active mask (the selection), or null.
  virtual MaskSampler* GetActiveMask() = 0;
  // The active mask's offset and the active layer's offset (where the canvas lies in each store).
  virtual TPoint GetActiveMaskOrigin() const = 0;
  virtual TPoint GetActiveLayerOffset() const = 0;
  // The screen tones this window paints with (the recorder's while it plays back), or null.
  virtual ToneSampler* GetToneSampler() = 0;
  // The colour of the document's gradient at a pixel (red in the low byte, alpha in byte 3).
  virtual uint32_t GradationColorAt(int32_t x, int32_t y) = 0;
};

}  // namespace tf
