#include "raster/ColorMath.h"

#include <algorithm>
#include <cstring>

namespace tf {

namespace {

constexpr int32_t kHalf = 0x8000;      // 0.5
constexpr int32_t kTwo = 0x20000;      // 2.0
constexpr int32_t kFour = 0x40000;     // 4.0
constexpr int32_t kHue120 = 0x780000;  // 120.0
constexpr int32_t kHue180 = 0xB40000;  // 180.0
constexpr int32_t kHue240 = 0xF00000;  // 240.0

// A computed channel as a byte. In range for every valid input; out-of-range
// records (saturation above 255.0 and the like) are held to 0..255.
inline uint8_t ToByte(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

inline uint32_t Byte(uint32_t v, int index) { return (v >> (index * 8)) & 0xFFu; }

// The two byte scalings of the HSL forms.
struct HslFirstForm {
  // 255 becomes 1.0.
  static int32_t Up(uint32_t x) { return static_cast<int32_t>((x * 65536u) / 255u); }
  // 0..255.0 back to 0..1.0.
  static int32_t Down(int32_t v) { return v / 255; }
};
struct HslSecondForm {
  // (x*32897) shr 7: 255 becomes 65536.
  static int32_t Up(uint32_t x) { return static_cast<int32_t>((x * 32897u) >> 7); }
  // (value*32897) shr 23, in 64 bits (the product leaves 32 bits for values above ~255/4).
  static int32_t Down(int32_t v) { return static_cast<int32_t>((int64_t{v} * 32897) >> 23); }
};

template <class Form>
void BytesToHSL(uint32_t r, uint32_t g, uint32_t b, SHSLFix& out) {
  const uint32_t mn = std::min({r, g, b});
  const uint32_t mx = std::max({r, g, b});
  if (mn == mx) {
    out.hue = 0;
    out.saturation = 0;
    out.lightness = static_cast<int32_t>(r << 16);
    return;
  }
  const int32_t R = Form::Up(r), G = Form::Up(g), B = Form::Up(b);
  const int32_t M = Form::Up(mx), m = Form::Up(mn);
  const int32_t d = M - m;
  const int32_t l = (M + m) / 2;
  const int32_t s = (l <= kHalf) ? FixDiv(d, M + m) : FixDiv(d, kTwo - M - m);
  int32_t h;
  if (mx == r)
    h = FixDiv(G - B, d);
  else if (mx == g)
    h = FixDiv(B - R, d) + kTwo;
  else
    h = FixDiv(R - G, d) + kFour;
  h *= 60;
  if (h < 0) h += kHue360;
  out.hue = h;
  out.lightness = l * 255;
  out.saturation = s * 255;
}

// FixMul in 64 bits: the same value whenever the result fits int32 (every valid record);
// records from outside with wild values cannot overflow.
inline int64_t FixMul64(int64_t a, int64_t b) { return (a * b) >> 16; }

// One channel of the HSL inverse, t already normalised into 0 .. 360.0.
inline uint8_t HslChannel(int32_t t, int64_t m1, int64_t m2) {
  int64_t v;
  if (t < kHue60)
    v = m1 + FixMul64(m2 - m1, t) / 60;
  else if (t < kHue180)
    v = m2;
  else if (t < kHue240)
    v = m1 + FixMul64(m2 - m1, kHue240 - t) / 60;
  else
    v = m1;
  return ToByte((v * 255) >> 16);
}

// Hue into (0, 360.0] when above 360.0, into [0, 360.0) when negative.
inline int32_t NormaliseHueFirst(int64_t t) {
  if (t > kHue360) return static_cast<int32_t>(((t - 1) % kHue360) + 1);
  if (t < 0) {
    t %= kHue360;
    if (t < 0) t += kHue360;
  }
  return static_cast<int32_t>(t);
}

// Repeated addition or subtraction of 360.0; exactly 360.0 stays.
inline int32_t NormaliseHueSecond(int64_t t) {
  while (t > kHue360) t -= kHue360;
  while (t < 0) t += kHue360;
  return static_cast<int32_t>(t);
}

// m1, m2 of the HSL inverse from l, s in 0..1.0.
inline void HslM(int64_t l, int64_t s, int64_t& m1, int64_t& m2) {
  m2 = (l > kHalf) ? l + s - FixMul64(l, s) : FixMul64(l, s + kFixOne);
  m1 = 2 * l - m2;
}

// (a shl 16) div 255.0 in unsigned 64-bit arithmetic.
inline uint64_t DivU(uint64_t a) { return (a << 16) / static_cast<uint64_t>(kFix255); }

inline int32_t Clamp255Fix(int32_t v) { return v < 0 ? 0 : (v > kFix255 ? kFix255 : v); }

}  // namespace

// ---- Byte orders ------------------------------------------------------------

void ReverseRGB3(const uint8_t* source, uint8_t* dest) {
  const uint8_t b0 = source[0], b1 = source[1], b2 = source[2];
  dest[0] = b2;
  dest[1] = b1;
  dest[2] = b0;
}

// ---- HSL --------------------------------------------------------------------

void PixelToHSL(const uint32_t* pixel, SHSLFix& out) {
  const uint32_t p = *pixel;
  BytesToHSL<HslFirstForm>(Byte(p, 2), Byte(p, 1), Byte(p, 0), out);
}

void HSLToPixel(const SHSLFix& hsl, uint32_t* pixel) {
  uint32_t r, g, b;
  if (hsl.saturation == 0) {
    r = g = b = ToByte(hsl.lightness >> 16);
  } else {
    const int32_t l = HslFirstForm::Down(hsl.lightness);
    const int32_t s = HslFirstForm::Down(hsl.saturation);
    int64_t m1, m2;
    HslM(l, s, m1, m2);
    r = HslChannel(NormaliseHueFirst(int64_t{hsl.hue} + kHue120), m1, m2);
    g = HslChannel(NormaliseHueFirst(hsl.hue), m1, m2);
    b = HslChannel(NormaliseHueFirst(int64_t{hsl.hue} - kHue120), m1, m2);
  }
  *pixel = (*pixel & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

void RGBToHSL2(const uint32_t* colour, SHSLFix& out) {
  const uint32_t c = *colour;
  BytesToHSL<HslSecondForm>(Byte(c, 0), Byte(c, 1), Byte(c, 2), out);
}

void HSLToRGB2(const SHSLFix& hsl, uint8_t* rgb) {
  if (hsl.saturation == 0) {
    rgb[0] = rgb[1] = rgb[2] = ToByte(hsl.lightness >> 16);
    return;
  }
  const int32_t l = HslSecondForm::Down(hsl.lightness);
  const int32_t s = HslSecondForm::Down(hsl.saturation);
  int64_t m1, m2;
  HslM(l, s, m1, m2);
  rgb[0] = HslChannel(NormaliseHueSecond(int64_t{hsl.hue} + kHue120), m1, m2);
  rgb[1] = HslChannel(NormaliseHueSecond(hsl.hue), m1, m2);
  rgb[2] = HslChannel(NormaliseHueSecond(int64_t{hsl.hue} - kHue120), m1, m2);
}

// ---- HSV and CMYK -------------------------------------------------------------

void HSVToRGB(const SHSVFix& hsv, uint8_t* rgb) {
  const int32_t s = Clamp255Fix(hsv.saturation);
  const int32_t v = Clamp255Fix(hsv.value);
  if (s == 0) {
    rgb[0] = rgb[1] = rgb[2] = ToByte(v >> 16);
    return;
  }
  int32_t h = hsv.hue;
  while (h < 0) h += kHue360;  // callers pass hues above -360.0: one addition
  while (h >= kHue360) h -= kHue360;
  const int32_t sector = h / kHue60;
  const int64_t f = (h - sector * kHue60) / 60;  // 16.16 fraction within the sector
  const int64_t fs = (f * s) >> 16;
  const uint64_t vv = static_cast<uint64_t>(v);
  const uint64_t p = DivU((static_cast<uint64_t>(kFix255 - s) * vv) >> 16);
  const uint64_t q = DivU((static_cast<uint64_t>(kFix255 - fs) * vv) >> 16);
  const uint64_t t = DivU((static_cast<uint64_t>(kFix255 + fs - s) * vv) >> 16);
  uint64_t r, g, b;
  switch (sector) {
    case 0:
      r = vv;
      g = t;
      b = p;
      break;
    case 1:
      r = q;
      g = vv;
      b = p;
      break;
    case 2:
      r = p;
      g = vv;
      b = t;
      break;
    case 3:
      r = p;
      g = q;
      b = vv;
      break;
    case 4:
      r = t;
      g = p;
      b = vv;
      break;
    default:
      r = vv;
      g = p;
      b = q;
      break;
  }
  rgb[0] = ToByte(static_cast<int64_t>(r >> 16));
  rgb[1] = ToByte(static_cast<int64_t>(g >> 16));
  rgb[2] = ToByte(static_cast<int64_t>(b >> 16));
}

void CMYKToRGB(const SCMYKFix& cmyk, uint8_t* rgb) {
  // In 64 bits: the same for components in 0..255.0, defined for any record.
  const int32_t ratio = FixDiv(SaturateInt32(int64_t{kFix255} - cmyk.black), kFix255);
  const int32_t components[3] = {cmyk.cyan, cmyk.magenta, cmyk.yellow};
  for (int i = 0; i < 3; ++i) {
    int64_t v = FixMul64(int64_t{kFix255} - components[i], ratio) + kHalf;
    if (v > kFix255) v = kFix255;
    rgb[i] = ToByte(v >> 16);
  }
}

void RGBToHSV(const uint8_t* rgb, SHSVFix& out) {
  const int32_t r = rgb[0], g = rgb[1], b = rgb[2];
  const int32_t mx = std::max({r, g, b});
  const int32_t mn = std::min({r, g, b});
  const int32_t d = mx - mn;
  out.value = mx << 16;
  out.saturation = mx == 0 ? 0 : static_cast<int32_t>((int64_t{d} * kFix255) / mx);
  int32_t h = 0;
  if (d != 0) {
    if (mx == r)
      h = FixDiv((g - b) * 60 * kFixOne, d * kFixOne);
    else if (mx == g)
      h = FixDiv((b - r) * 60 * kFixOne, d * kFixOne) + kHue120;
    else
      h = FixDiv((r - g) * 60 * kFixOne, d * kFixOne) + kHue240;
    if (h < 0) h += kHue360;
  }
  out.hue = h;
}

void RGBToCMYK(const uint8_t* rgb, SCMYKFix& out) {
  const int32_t c = (255 - rgb[0]) << 16;
  const int32_t m = (255 - rgb[1]) << 16;
  const int32_t y = (255 - rgb[2]) << 16;
  const int32_t k = std::min({c, m, y});
  out.black = k;
  if (k == kFix255) {
    // Black: no room left for the other inks (and the quotient below would divide by 0).
    out.cyan = out.magenta = out.yellow = 0;
    return;
  }
  out.cyan = FixDiv(c - k, kFix255 - k) * 255;
  out.magenta = FixDiv(m - k, kFix255 - k) * 255;
  out.yellow = FixDiv(y - k, kFix255 - k) * 255;
}

void CMYKToRGB2(const SCMYKFix& cmyk, uint8_t* rgb) {
  const int32_t k = cmyk.black;
  const int32_t components[3] = {cmyk.cyan, cmyk.magenta, cmyk.yellow};
  for (int i = 0; i < 3; ++i) {
    // complement = component/255 * (255.0 - K) + K
    const int64_t complement = FixMul64(components[i] / 255, int64_t{kFix255} - k) + k;
    rgb[i] = ToByte((kFix255 - complement) >> 16);
  }
}

// ---- Palette toolkit -------------------------------------------------------------

uint32_t LerpColor4(uint32_t a, uint32_t b, int32_t num, int32_t den) {
  if (den == 0) return a;
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    const int64_t x = Byte(a, i), y = Byte(b, i);
    const int64_t v = x + (y - x) * num / den;
    out |= (static_cast<uint32_t>(v) & 0xFFu) << (i * 8);
  }
  return out;
}

uint32_t LerpColor4Fix(uint32_t a, uint32_t b, int32_t num, int32_t den) {
  if (den == 0) return a;
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    const int64_t x = int64_t{Byte(a, i)} << 16, y = int64_t{Byte(b, i)} << 16;
    const int64_t v = (x + (y - x) * num / den) >> 16;
    out |= (static_cast<uint32_t>(v) & 0xFFu) << (i * 8);
  }
  return out;
}

void GreyRamp(uint32_t* entries, int32_t n) {
  if (n <= 0) return;
  if (n == 1) {
    entries[0] = 0;
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t grey = static_cast<uint32_t>((int64_t{i} * 255) / (n - 1));
    entries[i] = grey * 0x010101u;
  }
}

void GreyscaleRows(const uint32_t* source, uint32_t* dest, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t s = source[i];
    const uint32_t grey = (299 * Byte(s, 0) + 587 * Byte(s, 1) + 114 * Byte(s, 2)) / 1000;
    dest[i] = (dest[i] & 0xFF000000u) | grey * 0x010101u;
  }
}

void ByteRamp(uint8_t* buffer, int32_t count, uint8_t start, int32_t step) {
  for (int32_t i = 0; i < count; ++i)
    buffer[i] = static_cast<uint8_t>(start + static_cast<uint32_t>(i) * static_cast<uint32_t>(step));
}

void ApplyLUT3(const uint32_t* source, uint32_t* dest, int32_t count, const uint8_t* lut0, const uint8_t* lut1,
               const uint8_t* lut2) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t s = source[i];
    dest[i] = (dest[i] & 0xFF000000u) | (uint32_t{lut2[Byte(s, 2)]} << 16) | (uint32_t{lut1[Byte(s, 1)]} << 8) |
              lut0[Byte(s, 0)];
  }
}

bool GradientBetweenEntries(uint32_t* entries, int32_t first, int32_t last) {
  const int32_t lo = std::min(first, last), hi = std::max(first, last);
  if (int64_t{hi} - lo < 2) return false;
  const uint32_t a = entries[lo], b = entries[hi];
  for (int32_t k = lo + 1; k < hi; ++k) entries[k] = LerpColor4Fix(a, b, k - lo, hi - lo);
  return true;
}

void FillDWords(uint32_t* dest, uint32_t value, int32_t count) {
  for (int32_t i = 0; i < count; ++i) dest[i] = value;
}

void MoveDWords(uint32_t* dest, const uint32_t* source, int32_t count) {
  if (count > 0) std::memmove(dest, source, static_cast<size_t>(count) * 4);
}

bool SameColors(const uint32_t* a, const uint32_t* b, int32_t count) {
  for (int32_t i = 0; i < count; ++i)
    if (((a[i] ^ b[i]) & 0x00FFFFFFu) != 0) return false;
  return true;
}

int32_t NearestColorIndex(const uint32_t* entries, int32_t count, uint32_t colour) {
  int32_t best = -1;
  int32_t bestDistance = 0x100000;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t d = ColorDistanceSq(&entries[i], &colour);
    if (d == 0) return i;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

int32_t FarthestColorIndex(const uint32_t* entries, int32_t count, uint32_t colour) {
  int32_t best = -1;
  int32_t bestDistance = -1;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t d = ColorDistanceSq(&entries[i], &colour);
    if (d > bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

}  // namespace tf
