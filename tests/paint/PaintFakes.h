// Fakes of the document, mask and tone interfaces of the painting engine, for tests.
#pragma once
#include <cstdint>

#include "paint/PaintDocument.h"

namespace tf::test {

// Mask value: a fixed value everywhere but (zeroX, zeroY), where it is 0; records the last query.
class FakeMask final : public MaskSampler {
 public:
  bool IsAllocated() const override { return allocated; }
  int32_t ValueAt(int32_t x, int32_t y, int32_t v) const override {
    ++calls;
    lastX = x;
    lastY = y;
    const int32_t m = (x == zeroX && y == zeroY) ? 0 : value;
    return m * v / 255;
  }
  bool allocated = true;
  int32_t value = 128;
  int32_t zeroX = -1000, zeroY = -1000;
  mutable int32_t calls = 0, lastX = 0, lastY = 0;
};

// Tone: value v * level / 255.
class FakeTone final : public ToneSampler {
 public:
  int32_t ToneValueAt(int32_t, int32_t, int32_t v) const override {
    ++calls;
    return v * level / 255;
  }
  int32_t level = 64;
  mutable int32_t calls = 0;
};

class FakeDocument final : public PaintDocument {
 public:
  bool HasModernEngine() const override { return modern; }
  bool IsLockedForPlayback() const override { return locked; }
  bool HasLayers() const override { return layers; }
  bool ActiveLayerKeepsAlpha() const override { return keepAlpha; }
  bool GetLayerBlendMode(int32_t index, uint32_t& mode) const override {
    if (index < 0 || index >= 4) return false;
    mode = blendMode;
    return true;
  }
  bool IsSelectionEnabled() const override { return selection; }
  MaskSampler* GetActiveMask() override { return &mask; }
  TPoint GetActiveMaskOrigin() const override { return maskOrigin; }
  TPoint GetActiveLayerOffset() const override { return layerOffset; }
  ToneSampler* GetToneSampler() override { return hasTone ? &tone : nullptr; }
  uint32_t GradationColorAt(int32_t x, int32_t) override {
    ++gradationCalls;
    return gradient + static_cast<uint32_t>(x);  // red in the low byte
  }

  bool modern = true, locked = false, layers = true, keepAlpha = false, selection = true, hasTone = true;
  uint32_t blendMode = 3;
  TPoint maskOrigin{5, 7}, layerOffset{2, 3};
  uint32_t gradient = 0x80102030u;
  int32_t gradationCalls = 0;
  FakeMask mask;
  FakeTone tone;
};

}  // namespace tf::test
