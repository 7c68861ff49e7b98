// The runners of the two older filter generations (the event player's way to them) and the
// greyscale command.
#pragma once
// A runner: the layer; a backup of its store (made when none is given; a runner owns only the
// backup it made); the wait cursor; the algorithm on the backup, the layer and the active mask;
// the store compacted where the filter's row says so; RefreshAfterFilter. A first-generation
// runner with the record flag then records its event (layer index, active mask index) and
// pushes the backup as one filter undo step; the backup reference is cleared when the undo took
// it. An algorithm that fails or raises puts the whole store back from the backup and reloads
// the working copy first (the exception goes on to the caller).
//
// The event player calls them with the record flag clear and no backup. The packet words each
// first-generation runner records are the ones its replay row reads:
//   2  (motion):      Single bits of the distance, of the angle
//   3  (zoom):        keep-alpha in word 0's low byte, amount, centre x, centre y
//   16 (levels):      0, low, middle, high, output low, output high
//   18 (contrast):    contrast, brightness
//   19 (hue):         0, hue, saturation, lightness
//   21 (posterize):   0, levels
//   22 (noise):       monochrome, range
//   23 (mosaic):      cell, keep-alpha
//   8, 9, 20:         no values
#include <cstdint>
#include <memory>
#include <span>

#include "filters/FiltersLegacy.h"

namespace tf {

class TPaper;
class TFlowImage;
class CBlockVMTC;
class TMTC;

using BackupRef = std::unique_ptr<CBlockVMTC>;

// ---- First generation
bool ReplaySharpenV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record);
bool ReplaySharpenMoreV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record);
bool ReplayGrayscale(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record);
bool ReplayLevelsV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record, int32_t low,
                    int32_t middle, int32_t high, int32_t outLow, int32_t outHigh);
bool ReplayBrightnessContrastV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                                int32_t contrast, int32_t brightness);
bool ReplayHueSaturationV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                           int32_t hue, int32_t saturation, int32_t lightness);
bool ReplayPosterizeV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                       int32_t levels);
bool ReplayNoiseV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                   int32_t monochrome, int32_t range);
bool ReplayMosaicV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record, int32_t cell,
                    int32_t keepAlpha);
bool ReplayMotionBlurV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                        int32_t distance, float angle, int32_t keepAlpha);
bool ReplayZoomBlurV1(TPaper& paper, TFlowImage* flow, int32_t layer, BackupRef& backup, bool record,
                      int32_t amount, int32_t centreX, int32_t centreY, int32_t keepAlpha);

// The greyscale command (Image menu): the document window's gate, a copy of the layer's store,
// ReplayGrayscale with the record flag set (event 20, one undo step). Out of memory and other
// exceptions are reported. It does not become the filter Filter > Repeat runs.
bool CmdGrayscale(TPaper& paper, TFlowImage* flow, int32_t layer);

// ---- Second generation (no record, no backup given)
bool RunLegacySharpen(TPaper& paper, TFlowImage* flow, int32_t layer, float strength);
bool RunLegacyGaussian(TPaper& paper, TFlowImage* flow, int32_t layer, float sigma);
bool RunLegacyTwirl(TPaper& paper, TFlowImage* flow, int32_t layer, float centreYFraction, float centreXFraction,
                    uint8_t radiusFlag, float turns);
bool RunLegacyEmboss(TPaper& paper, TFlowImage* flow, int32_t layer, float distance, float angle);
bool RunLegacyWave(TPaper& paper, TFlowImage* flow, int32_t layer, float phase, float rowFrequency,
                   float columnFrequency, float rowAmplitude, float columnAmplitude);
bool RunLegacyTiles(TPaper& paper, TFlowImage* flow, int32_t layer, const SLegacyTiles& tiles);
bool RunLegacyClouds(TPaper& paper, TFlowImage* flow, int32_t layer, const SLegacyClouds& clouds);
bool RunLegacyCloudsRock(TPaper& paper, TFlowImage* flow, int32_t layer, int32_t rockWidth,
                         const SLegacyClouds& clouds);

bool RunLegacyLighting(TPaper& paper, TFlowImage* flow, int32_t layer, int32_t ambientLevel,
                       uint32_t ambientColour, std::span<const uint8_t> records);
// The floor record's 63 recorded bytes (generation byte 0) and its two texture pictures.
bool RunLegacyFloor(TPaper& paper, TFlowImage* flow, int32_t layer, const uint8_t values[63], const TMTC* ceiling,
                    const TMTC* floor);

}  // namespace tf
