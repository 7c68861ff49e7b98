#pragma once

// Tiled stores with known contents, and every pixel of a store's tile grid, for the tests of
// what records and restores them.

#include <cstdint>
#include <memory>
#include <vector>

#include "raster/BlockVMTC.h"

namespace tf::test {

// A store with a pattern in some tiles (committed) and the default fill in the others.
inline std::unique_ptr<CBlockVMTC> PatternStore(int32_t width, int32_t height, uint32_t seed) {
  auto store = std::make_unique<CBlockVMTC>(width, height);
  uint32_t state = seed;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      if (((x >> 5) + (y >> 5)) % 3 == 0) continue;  // some tiles stay uncommitted
      state = state * 134775813u + 1u;
      store->SetPixel(x, y, state);
    }
  return store;
}

// Every pixel of the tile grid (overhang included).
inline std::vector<uint32_t> GridPixels(const CBlockVMTC& store) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < store.TilesDown() * 32; ++y)
    for (int32_t x = 0; x < store.TilesAcross() * 32; ++x) pixels.push_back(store.GetPixel(x, y));
  return pixels;
}

}  // namespace tf::test
