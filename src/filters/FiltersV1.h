// The first filter generation: algorithms that work straight on a layer, its backup and the
// selection mask (old recordings replay through them; greyscale is still the program's command).
#pragma once
// Unlike the current filters these take no FilterContext. They read unfiltered pixels from the
// backup (reads outside the store clamp to its edge), write the layer's store, and weigh every
// pixel by its selection value (OldCoverage). A tile commit that is refused raises
// std::bad_alloc; the runners put the backup back.
//
// The matrix, motion and zoom filters and greyscale visit the whole store (the selection limits
// them only through the coverage); the others the masked rectangle.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

class CBlockVMTC;
class CLayerData;
class CMaskData;

// The selection value of a store pixel of a layer: the mask byte at (x + dx, y + dy), (dx, dy) =
// the mask's offset minus the layer's, 0 outside the mask store; 255 when the mask has no store.
struct OldCoverage {
  OldCoverage(const CLayerData& layer, const CMaskData* mask);
  int32_t At(int32_t x, int32_t y) const;
  const CMaskData* mask = nullptr;  // null when the mask has no store
  int32_t dx = 0;
  int32_t dy = 0;
};

// The masked rectangle of the layer (GetMaskedLayerRect), intersected with rect when one is
// given (the intersection is written back); false when empty.
bool OldMaskedRect(const CLayerData& layer, const CMaskData* mask, TRect* rect, TRect& out);

// A 3x3 weighted neighbourhood. Evaluate applies the middle-row weights (3, 4, 5) to the middle
// column (pixels 1, 4, 7) and divides by their sum (0 counts as 1): symmetric weights act
// vertically only.
class TPixelMatrix {
 public:
  void SetWeights(const float weights[9]);
  void SetPixels(const uint32_t pixels[9]);
  uint32_t Evaluate() const;

 private:
  float weights_[9]{};
  uint32_t pixels_[9]{};
};

// x^e / 1^e as a Single.
float PowerCurve(double x, double e);
// 1 - |v| x 0.007 for v < 0, its reciprocal for v >= 0.
double CurveExponentV1(double v);

bool MatrixFilterV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, const float weights[9]);
bool SharpenV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask);
bool SharpenMoreV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask);
// Distance 0, a non-finite value or offsets beyond 32 bits: false, nothing changed.
bool MotionBlurV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float distance, float angle,
                  bool keepAlpha);
// Amount 0, a 1 x 1 store (no half size) or a non-finite step: false, nothing changed.
bool ZoomBlurV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float amount, int32_t centreX,
                int32_t centreY, bool keepAlpha);
bool NoiseV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, int32_t range, bool monochrome,
             uint32_t seed, TRect* rect);
bool MosaicV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, int32_t cell, bool keepAlpha,
              TRect* rect);

// The shared channel tables: entry i of each is the new value of i (one table for B, G and R).
struct SChannelTablesV1 {
  uint8_t blue[256];
  uint8_t green[256];
  uint8_t red[256];
};
SChannelTablesV1& ChannelTablesV1();
// Pixels of the masked rectangle with alpha and coverage: B, G, R through the tables.
bool ApplyChannelTablesV1(CLayerData& layer, const CMaskData* mask, TRect* rect);
// Table builders (fill all three tables); false for values they refuse.
bool BuildPosterizeTableV1(int32_t levels);
bool BuildLevelsTableV1(int32_t low, int32_t middle, int32_t high, int32_t outLow, int32_t outHigh);
bool BuildBrightnessContrastTableV1(int32_t contrast, int32_t brightness);
bool PosterizeV1(CLayerData& layer, const CMaskData* mask, int32_t levels, TRect* rect);
bool LevelsV1(CLayerData& layer, const CMaskData* mask, int32_t low, int32_t middle, int32_t high, int32_t outLow,
              int32_t outHigh, TRect* rect);
bool BrightnessContrastV1(CLayerData& layer, const CMaskData* mask, int32_t contrast, int32_t brightness,
                          TRect* rect);
bool GrayscaleV1(CLayerData& layer, const CMaskData* mask);

// The tables of the first hue/saturation (16.16): saturation 257 entries, lightness 256 (the
// lightness held to -127..127).
struct SHueSaturationTablesV1 {
  int32_t saturation[257];
  int32_t lightness[256];
};
bool BuildHueSaturationTablesV1(int32_t saturation, int32_t lightness, SHueSaturationTablesV1& out);
bool HueSaturationV1(CLayerData& layer, const CMaskData* mask, int32_t hue, int32_t saturation, int32_t lightness,
                     TRect* rect);

}  // namespace tf
