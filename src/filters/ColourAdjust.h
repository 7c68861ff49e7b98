// The colour adjustments: levels, hue/saturation, brightness/contrast, colour balance, posterize,
// threshold, invert and gradient map. Each is a point operation: a table of 256 entries built
// once per run, applied by one of the table appliers (hue/saturation converts every pixel through
// HSL with its own tables).
#pragma once
// The table builders are public so that their tests can compare every entry with an independent
// model. Colour tables are 256 entries of B, G, R, A bytes (1024 bytes).
#include <cstdint>

#include "filters/FilterContext.h"

namespace tf {

// Block sizes of the colour adjustments.
inline constexpr int32_t kLevelsBlock = 24;
inline constexpr int32_t kHueSaturationBlock = 16;
inline constexpr int32_t kBrightnessContrastBlock = 16;
inline constexpr int32_t kColorBalanceBlock = 16;
inline constexpr int32_t kPosterizeBlock = 8;
inline constexpr int32_t kThresholdBlock = 8;

// Levels: 24 bytes (input minimum, midtone x 100, input maximum, output minimum, output maximum,
// four channels each: master, red, green, blue; byte 20 the linear flag).
void BuildLevelsTable(const uint8_t block[24], uint8_t table[1024]);
// Brightness and contrast (each clamped to -100..100), linear or curved.
void BuildBrightnessContrastTable(int32_t brightness, int32_t contrast, bool linear, uint8_t table[1024]);
// Colour balance: false when an exponent is not a finite number.
bool BuildColorBalanceTable(const float exponents[3], uint8_t table[1024]);
void BuildPosterizeTable(int32_t levels, uint8_t table[1024]);
void BuildThresholdTable(int32_t threshold, uint32_t table[256]);
void BuildInvertTable(uint8_t table[1024]);

// Hue/saturation's tables (the lightness clamped to -100..100).
void BuildHueTable(int32_t hue, bool monotone, int32_t table[360]);
void BuildSaturationTable(int32_t saturation, bool monotone, int32_t table[256]);
void BuildLightnessTable(int32_t lightness, uint8_t table[256]);
void BuildLightnessCurve(int32_t lightness, int32_t table[256]);
// The gradient map's table in pixel order (reverse: entry 255 - i gets the colour for i).
class CColorSlotGroup;
void BuildGradientMapTable(const CColorSlotGroup& stops, bool reverse, uint32_t table[256]);

bool LevelsFilter(FilterContext& context, const void* block, int32_t size);
bool HueSaturationFilter(FilterContext& context, const void* block, int32_t size);
bool BrightnessContrastFilter(FilterContext& context, const void* block, int32_t size);
bool ColorBalanceFilter(FilterContext& context, const void* block, int32_t size);
bool PosterizeFilter(FilterContext& context, const void* block, int32_t size);
bool ThresholdFilter(FilterContext& context, const void* block, int32_t size);
bool InvertFilter(FilterContext& context, const void* block, int32_t size);
// Block: SGradientMapBlock, size kBlockGradientMap.
bool GradientMapFilter(FilterContext& context, const void* block, int32_t size);

}  // namespace tf
