// The second filter generation: the algorithms old recordings (events 10 and 32 to 40) replay
// through. Nothing in the user interface reaches them.
#pragma once
// As the first generation they work on whole layer stores: the backup is the source, the layer's
// store is written, and the selection value of a pixel comes from the active mask (OldCoverage,
// filters/FiltersV1.h). Bounds is the layer's masked rectangle; an empty Bounds fails. A refused
// tile commit or a failed allocation raises std::bad_alloc; the runners put the backup back.
// The twirl, wave and emboss address the store by 16.16 positions and refuse a store with a side
// above 32767.
#include <cstdint>
#include <span>

namespace tf {

class CBlockVMTC;
class CLayerData;
class CMaskData;
class TChannel;
class TMTC;

// The tile pattern's record (24 bytes): colour count 1..3, shape (0 squares, 1 triangles), cell
// size (0: no change), three colours.
struct SLegacyTiles {
  int32_t count;
  int32_t shape;
  int32_t cell;
  uint32_t colours[3];
};
static_assert(sizeof(SLegacyTiles) == 24);

// The clouds' record (24 bytes): colours A and B, seed, contrast (0 or less: no change), tile
// size.
struct SLegacyClouds {
  uint32_t colourA;
  uint32_t colourB;
  int32_t seed;
  int32_t contrast;
  int32_t tileWidth;
  int32_t tileHeight;
};
static_assert(sizeof(SLegacyClouds) == 24);

// Strength 0 or less changes nothing.
bool LegacySharpen(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float strength);
// Colours weighted by kernel x alpha, alpha the plain mean of the taps used. Sigma 0 or less
// copies the backup back.
bool LegacyGaussianBlur(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float sigma);
// Distance 0 or less copies the backup back.
bool LegacyEmboss(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float distance,
                  float angle);
bool LegacyTwirl(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float centreYFraction,
                 float centreXFraction, uint8_t radiusFlag, float turns);
bool LegacyWave(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float phase,
                float rowFrequency, float columnFrequency, float rowAmplitude, float columnAmplitude);
// A count outside 1..3, a shape outside 0..1 or a negative cell: false. Triangles of cell 1
// have no width: the backup is copied back.
bool LegacyTiles(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, const SLegacyTiles& tiles);
// Clouds: rock width -1. A tile side of 0 or less: false.
bool LegacyCloudsRender(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask,
                        const SLegacyClouds& clouds, int32_t rockWidth);
bool LegacyClouds(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask,
                  const SLegacyClouds& clouds);
bool LegacyCloudsRock(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, int32_t rockWidth,
                      const SLegacyClouds& clouds);

// The light records (56 bytes each; past the 16th ignored) over the ambient colour and level
// (percent). No record: false.
bool LegacyLighting(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, int32_t ambientLevel,
                    uint32_t ambientColour, std::span<const uint8_t> records);
// The older floor from the 63 recorded bytes of a floor record (generation 0) and its two
// texture pictures; a missing or empty picture copies the backup back.
bool LegacyFloor(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, const uint8_t values[63],
                 const TMTC* ceiling, const TMTC* floor);

// The clouds' tile (w x h, made from the seed and contrast), exposed for the tests' model.
bool BuildCloudTileLegacy(TChannel& tile, int32_t w, int32_t h, int32_t seed, double amplitude);
// The value-weighted Gaussian with wrap-around over a channel, with Single kernels.
bool ValueWeightedBlurFloat(TChannel& dest, const TChannel& source, double sigma);

}  // namespace tf
