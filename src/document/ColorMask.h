// Selection by colour range: the colour entries, the settings record and CColorMask, which
// computes the coverage of a picture against a list of colours.
#pragma once
// Each colour entry adds coverage to the pixels near its colour or removes it: a pixel within
// the entry's range (squared distance up to 2 x range x range) gets 255, and the coverage falls
// linearly to 0 at 1.5 times that distance (ColorRangeCoverage). Partly transparent pixels are
// selected more strongly; pixels of alpha 0 or 1 never. The entries and the settings record are
// stored as they are in the colour-range record of the event stream.
#include <cstdint>

#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

namespace tf {

class CMaskData;

// One colour of the list (8 bytes): the colour as picked (B, G, R, A; A is not compared), 1 to
// add coverage or 0 to remove it, the range 1..255, two bytes 0.
struct SColorEntry {
  uint32_t colour = 0;
  uint8_t add = 1;
  uint8_t range = 50;
  uint8_t zero[2] = {0, 0};
};
static_assert(sizeof(SColorEntry) == 8);

// At most this many entries are in use.
inline constexpr int32_t kMaxColorEntries = 256;

// The settings record (20 bytes): entry count, source (0 the active layer, 1 the displayed
// picture), a reserved value (0) and two more (0), carried but not read.
struct SColorRangeSettings {
  int32_t count = 0;
  int32_t source = 0;
  int32_t reserved = 0;
  int32_t extra1 = 0;
  int32_t extra2 = 0;
};
static_assert(sizeof(SColorRangeSettings) == 20);

// The coverage of a colour at squared distance d for limit = 2 x range x range: with limit > 0,
// x := 1.5 - d / limit in single precision; 0 when x <= 0, trunc(x x 512) when x < 0.5, else
// 255. With limit 0: 255 for d = 0, else 0.
int32_t ColorRangeCoverage(int32_t distance, int32_t limit);

class CColorMask {
 public:
  CColorMask() = default;

  // The settings' reserved value, the source store, the target channel (the store's size), the
  // selection (may be null or not allocated) and the offset added to a source pixel's
  // coordinates to reach the selection's store.
  void Bind(const SColorRangeSettings& settings, const CBlockVMTC* store, const TPoint& selectionOffset,
            const CMaskData* selection, TChannel* channel);
  // Applies the entries to every pixel of the source in turn, starting from the channel's
  // present bytes (the caller clears the channel for a full computation). Pixels outside the
  // selection are left and not counted; pixels of alpha 0 or 1 count as unselected. False when
  // nothing is bound or the channel is smaller than the store.
  bool Compute(const SColorEntry* entries, int32_t count);

  int32_t reserved = 0;
  int32_t selectedCount = 0;    // bytes above 1 after the computation
  int32_t unselectedCount = 0;  // bytes below 2, and pixels of alpha 0 or 1
  int32_t fullCount = 0;        // bytes of 255

 private:
  const CBlockVMTC* store_ = nullptr;
  TChannel* channel_ = nullptr;
  const CMaskData* selection_ = nullptr;
  int32_t selectionX_ = 0;
  int32_t selectionY_ = 0;
};

}  // namespace tf
