// Colour conversions of the user interface: RGB, HSV and HSL as Singles, hue steps, packed pixels.
#pragma once
// Pure conversions between the three colour models of the controls (RGB, HSV, HSL as Singles
// 0..1, hues in radians) and between packed BGRA pixel values (0xAARRGGBB) and window-system
// colours (red in the low byte). Every conversion to a byte truncates towards zero; a Single
// 0..1 becomes a byte as Trunc(x * 255 + 0.5). None of them keeps state or fails: non-finite
// inputs give 0 where a number has to be made of them.
//
// The 16.16 fixed-point conversions of the painting engine are in raster/ColorMath.h; these are
// the controls' own.
#include <cstdint>

namespace tf {

// Hue steps per turn: six sectors of 256 (red, yellow, green, cyan, blue, magenta).
inline constexpr int32_t HueStepsPerTurn = 1536;

// Trunc(hue * 1536 / (2 pi)), not reduced (for a finite hue the value is reduced by whole turns
// first, which keeps every step modulo 1536); 0 for a non-finite hue.
int32_t HueToRawStep(float hue);
// The step of a hue in 0..1535.
int32_t HueToStep(float hue);

// Hues come back in -pi..pi (red 0, green 2pi/3, blue -2pi/3).
void RGBToHSV(float red, float green, float blue, float& hue, float& saturation, float& value);
// A grey (max = min, not black or white) leaves the hue variable as it was.
void RGBToHSL(float red, float green, float blue, float& hue, float& saturation, float& lightness);
void HSVToRGB(float hue, float saturation, float value, float& red, float& green, float& blue);
void HSVToRGBBytes(float hue, float saturation, float value, uint8_t& red, uint8_t& green, uint8_t& blue);
void HSLToRGB(float hue, float saturation, float lightness, float& red, float& green, float& blue);
// The grey of a zero saturation is Trunc(lightness * 255 + 0.5) saturated into 0..255 (a
// lightness above 1 gives 255, not a wrapped byte).
void HSLToRGBBytes(float hue, float saturation, float lightness, uint8_t& red, uint8_t& green, uint8_t& blue);
// One channel of the HSL conversion from its hue step (any integer) and m1, m2.
float HSLHueToValue(int32_t hueStep, float m1, float m2);
uint8_t HSLHueToByte(int32_t hueStep, float m1, float m2);

inline constexpr uint32_t PackBGRA(uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha) {
  return uint32_t{blue} | uint32_t{green} << 8 | uint32_t{red} << 16 | uint32_t{alpha} << 24;
}
// Window-system colour (red low) to pixel value with the given alpha, and back (alpha dropped).
inline constexpr uint32_t ColorToBGRA(uint32_t color, uint8_t alpha) {
  return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF) | uint32_t{alpha} << 24;
}
inline constexpr uint32_t BGRAToColor(uint32_t pixel) {
  return (pixel & 0xFF) << 16 | (pixel & 0xFF00) | (pixel >> 16 & 0xFF);
}
// Each of the four bytes a + Trunc((b - a) * t).
uint32_t LerpPixel(uint32_t a, uint32_t b, float t);

// Trunc towards zero into int32, saturating; NaN gives 0. The one float-to-integer rule of the
// controls' drawing.
int32_t TruncToInt(double value);

}  // namespace tf
