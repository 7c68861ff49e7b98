#pragma once
// Scripted recording sources for tests: a document, a stroke, a pen and a tone set whose values
// the test sets directly, and a player's tone set and pen shapes that note what was rebuilt.
#include <memory>
#include <string>
#include <vector>

#include "events/Dictionaries.h"
#include "events/RecordSources.h"
#include "raster/FlatImage.h"

namespace tf {

struct FakeRecordedLayer {
  uint8_t blendMode = 3;
  uint8_t opacity = 255;
  uint16_t flags = 0x01;
  TPoint origin{0, 0};
};

class FakeRecordedDocument : public IRecordedDocument {
 public:
  FakeRecordedDocument() {
    slots.SetStop(0, 0x000000FF, 1, 255);
    slots.SetStop(1, 0x00FF0000, 1, 255);
    slots.Normalize();
    layers.resize(3);
  }

  uint32_t paperColor() const override { return paper; }
  bool showCanvasColor() const override { return showCanvas; }
  bool backgroundPattern() const override { return pattern; }
  bool selectionEnabled() const override { return selection; }
  int32_t activeLayerIndex() const override { return activeLayer; }
  int32_t activeMaskIndex() const override { return activeMask; }
  void gradationPoints(TPoint& start, TPoint& end) const override {
    start = gradStart;
    end = gradEnd;
  }
  SGradOption gradationOptions() const override { return gradOptions; }
  const CColorSlotGroup* gradationSlots() const override { return hasSlots ? &slots : nullptr; }
  int32_t strokeEngine() const override { return engine; }
  bool imageNib(SRecordedNib& out) const override {
    if (!nibChannel) return false;
    out = nib;
    out.channel = nibChannel.get();
    return true;
  }
  bool layerAttributes(int32_t layer, uint8_t& blendMode, uint8_t& opacity, uint16_t& flags) const override {
    if (layer < 0 || layer >= static_cast<int32_t>(layers.size())) return false;
    blendMode = layers[layer].blendMode;
    opacity = layers[layer].opacity;
    flags = layers[layer].flags;
    return true;
  }
  bool layerOrigin(int32_t layer, TPoint& origin) const override {
    if (layer < 0 || layer >= static_cast<int32_t>(layers.size())) return false;
    origin = layers[layer].origin;
    return true;
  }

  uint32_t paper = 0x00FFFFFF;
  bool showCanvas = true;
  bool pattern = false;
  bool selection = false;
  int32_t activeLayer = 0;
  int32_t activeMask = -1;
  TPoint gradStart{0, 0};
  TPoint gradEnd{100, 0};
  SGradOption gradOptions{0, 0, 0, 0, 1};
  CColorSlotGroup slots{16};
  bool hasSlots = true;
  int32_t engine = 2;
  SRecordedNib nib;
  std::unique_ptr<TChannel> nibChannel;  // set: the pen shape is an image nib
  std::vector<FakeRecordedLayer> layers;
};

class FakeRecordedStroke : public IRecordedStroke {
 public:
  void recordedStroke(SRecordedStroke& out) const override { out = state; }
  SRecordedStroke state;
};

class FakeRecordedPen : public IRecordedPen {
 public:
  void recordedPen(SRecordedPen& out) const override { out = state; }
  SRecordedPen state;
};

class FakeRecordedTones : public IRecordedTones {
 public:
  bool currentPattern(SRecordedPattern& out) const override {
    if (!has) return false;
    out = pattern;
    out.name = name;
    out.tile = tile.get();
    return true;
  }
  bool has = true;
  SRecordedPattern pattern;
  std::string name = "tone";
  std::unique_ptr<TChannel> tile;
};

// The player's tone set and pen shapes: notes every call.
class FakePlayedResources : public IPlayedResources {
 public:
  struct Pattern {
    int kind = 0;
    std::unique_ptr<TChannel> tile;
    int32_t scale = 0, offsetX = 0, offsetY = 0;
    bool inverted = false;
    std::string name;
    int32_t attributes[6] = {};
    bool toneSwitch = false;
  };
  int32_t addImagePattern(std::unique_ptr<TChannel> t, int32_t scale, int32_t ox, int32_t oy) override {
    Pattern p;
    p.tile = std::move(t);
    p.scale = scale;
    p.offsetX = ox;
    p.offsetY = oy;
    patterns.push_back(std::move(p));
    return static_cast<int32_t>(patterns.size() - 1);
  }
  int32_t addScreenTone(const int32_t attributes[6], bool toneSwitch, std::unique_ptr<TChannel> t) override {
    Pattern p;
    p.kind = 1;
    p.tile = std::move(t);
    for (int i = 0; i < 6; ++i) p.attributes[i] = attributes[i];
    p.toneSwitch = toneSwitch;
    patterns.push_back(std::move(p));
    return static_cast<int32_t>(patterns.size() - 1);
  }
  bool setPatternPlacement(int32_t index, int32_t ox, int32_t oy, int32_t scale, bool inverted) override {
    if (index < 0 || index >= static_cast<int32_t>(patterns.size())) return false;
    Pattern& p = patterns[index];
    p.offsetX = ox;
    p.offsetY = oy;
    p.scale = scale;
    p.inverted = inverted;
    return true;
  }
  bool setPatternName(int32_t index, std::string_view name) override {
    if (index < 0 || index >= static_cast<int32_t>(patterns.size())) return false;
    patterns[index].name.assign(name);
    return true;
  }
  int32_t setCurrentPattern(int32_t index) override {
    current = index;
    return index;
  }
  bool rebuildImageShape(const TChannel& channel, int16_t scale, uint32_t key) override {
    shape = std::make_unique<TChannel>(channel);
    shapeScale = scale;
    shapeKey = key;
    ++rebuilds;
    return true;
  }
  bool imageShapeValid() const override { return shape && shape->IsValid(); }

  std::vector<Pattern> patterns;
  int32_t current = -1;
  std::unique_ptr<TChannel> shape;
  int16_t shapeScale = 0;
  uint32_t shapeKey = 0;
  int rebuilds = 0;
};

}  // namespace tf
