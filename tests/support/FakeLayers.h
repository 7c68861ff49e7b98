#pragma once

// Layers and masks found by id, as a document finds them for an undo record.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "document/UndoData.h"
#include "raster/BlockVMTC.h"

namespace tf::test {

class FakeLayers final : public UndoTargetResolver {
 public:
  std::vector<std::pair<int32_t, CBlockVMTC*>> layers;  // id, store; stack order
  std::vector<int32_t> maskIds;                         // none unless a test adds them
  int32_t FindLayerIndex(int32_t id) const override {
    for (size_t i = 0; i < layers.size(); ++i)
      if (layers[i].first == id) return static_cast<int32_t>(i);
    return -1;
  }
  CBlockVMTC* FindLayerPixels(int32_t id) override {
    const int32_t index = FindLayerIndex(id);
    return index < 0 ? nullptr : layers[static_cast<size_t>(index)].second;
  }
  int32_t FindMaskIndex(int32_t id) const override {
    for (size_t i = 0; i < maskIds.size(); ++i)
      if (maskIds[i] == id) return static_cast<int32_t>(i);
    return -1;
  }
};

}  // namespace tf::test
