// What the parameter dialogs of the neighbourhood filters show and build: their values from the
// remembered ones, their blocks from their values, and what OK remembers.
#pragma once
// The dialogs (Gaussian blur, motion blur, custom sharpen, noise, diffuse, median, mosaic, emboss,
// colour halftone) show one to four numbers, sometimes a check box, a choice and a seed. Their blocks:
//   GaussianBlur  Single radius at 0
//   MotionBlur    distance byte 0 (RoundHalfAway), variant 2 at byte 1, int16 angle at 2
//                 (RoundHalfAway of the angle wrapped into -180..180)
//   SharpenCustom Single amount at 0
//   Noise         word 0 RoundHalfAway(amount), word 1 monochrome, word 2 seed
//   Diffuse       word 0 RoundHalfAway(range), word 1 mode, word 2 seed, byte 12 radial,
//                 byte 14 the layer's alpha protection
//   Median        byte 0 trunc(radius + 0.5), byte 1 the layer's alpha protection
//   Mosaic        word 0 trunc(size + 0.5), word 1 the layer's alpha protection
//   Emboss        word 0 RoundHalfAway(-angle wrapped), Single height at 4, word 2
//                 RoundHalfAway(amount); the angle is remembered in the dialog's sense
//   ColorHalftone words 0..3 RoundHalfAway of the dot size and the red, green and blue angles
//                 (wrapped); it opens with the Preview box cleared
// OK remembers the block as confirmed (the Gaussian radius as accepted, not rounded: a
// confirmed 0.3 repeats as 0.3) and the preview check box.
#include <cstdint>

#include "filters/FilterCommands.h"

namespace tf {

struct SNeighbourDialogValues {
  float a = 0;  // the first number
  float b = 0;  // the second number (motion blur's distance)
  bool check = false;
  int32_t choice = 0;
  uint32_t seed = 0;
  bool preview = false;
  float c = 0;  // the third and fourth numbers (emboss, colour halftone)
  float d = 0;
};

bool IsNeighbourDialog(FilterKey key);
// The remembered preview check box of a filter's dialog (the compiled defaults at start).
bool& FilterPreviewMemory(FilterKey key);
void ResetFilterPreviewMemory();

// The values a dialog opens with (noise and diffuse take a new seed from the clock; custom
// sharpen opens at 0.3 whatever was accepted).
SNeighbourDialogValues LoadNeighbourDialog(FilterKey key);
// The block of the row's size (8 or 16 bytes, cleared first).
void BuildNeighbourBlock(FilterKey key, const SNeighbourDialogValues& values, uint8_t alphaProtect, uint8_t* block);
// OK: the block and the preview state become the remembered values.
void ConfirmNeighbourDialog(FilterKey key, const uint8_t* block, bool preview);

// A number wrapped into -180..180 (motion blur's angle: 270 is -90).
float WrapAngle180(float angle);

}  // namespace tf
