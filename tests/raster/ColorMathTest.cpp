#include "raster/ColorMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "support/TestImages.h"

namespace tf {
namespace {

using test::Bgra;
using test::ByteOf;

constexpr int32_t Fix(double v) { return static_cast<int32_t>(v * 65536.0); }
double Unfix(int32_t v) { return v / 65536.0; }

// Textbook HSL of bytes: hue in degrees, lightness and saturation in 0..255.
struct Hsl {
  double h, l, s;
};
Hsl TextbookHsl(int r, int g, int b) {
  const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
  const double M = mx / 255.0, m = mn / 255.0, d = M - m, L = (M + m) / 2;
  if (mx == mn) return {0, L * 255, 0};
  const double S = L <= 0.5 ? d / (M + m) : d / (2 - M - m);
  double H;
  if (mx == r)
    H = (g - b) / 255.0 / d;
  else if (mx == g)
    H = (b - r) / 255.0 / d + 2;
  else
    H = (r - g) / 255.0 / d + 4;
  H *= 60;
  if (H < 0) H += 360;
  return {H, L * 255, S * 255};
}

double HueDistance(double a, double b) {
  const double d = std::fabs(a - b);
  return d > 180 ? 360 - d : d;
}

// Compares a 16.16 HSL record with the textbook values. The tolerances follow the
// arithmetic: bytes scaled to 16.16 lose under one unit each, so the hue ratio errs
// by about 1/(65536*d) of a sector and saturation by about 1/(65536*denominator).
void ExpectNearTextbook(const SHSLFix& h, int r, int g, int b) {
  const Hsl t = TextbookHsl(r, g, b);
  const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
  EXPECT_NEAR(Unfix(h.lightness), t.l, 0.01) << r << "," << g << "," << b;
  if (mx == mn) {
    EXPECT_EQ(h.hue, 0);
    EXPECT_EQ(h.saturation, 0);
    return;
  }
  EXPECT_GE(h.hue, 0);
  EXPECT_LT(h.hue, 0x1680000);
  EXPECT_LE(HueDistance(Unfix(h.hue), t.h), 0.5 / (mx - mn)) << r << "," << g << "," << b;
  const int denominator = (mx + mn <= 255) ? mx + mn : 510 - mx - mn;
  EXPECT_NEAR(Unfix(h.saturation), t.s, 3.0 / denominator) << r << "," << g << "," << b;
}

// ---- Pixel measures and byte orders ---------------------------------------------

TEST(ColorMathTest, Luminance) {
  const uint32_t white = 0xFFFFFFFFu, red = Bgra(0, 0, 255, 0), green = Bgra(0, 255, 0, 0);
  EXPECT_EQ(PixelLuminance(&white), 255);
  EXPECT_EQ(PixelLuminance(&red), 76);
  EXPECT_EQ(PixelLuminance(&green), 38469 * 255 >> 16);
  EXPECT_EQ(LuminanceRGB(255, 255, 255), 255);
  EXPECT_EQ(LuminanceRGB(0, 0, 255), 7472 * 255 >> 16);
  const uint32_t grey = Bgra(100, 100, 100, 0);
  EXPECT_EQ(PixelLuminance(&grey), 100);  // the weights sum to 65536
}

TEST(ColorMathTest, ColorDistanceIgnoresAlpha) {
  const uint32_t a = Bgra(10, 20, 30, 0), b = Bgra(13, 16, 30, 255);
  EXPECT_EQ(ColorDistanceSq(&a, &b), 9 + 16);
  const uint32_t black = 0, white = 0x00FFFFFFu;
  EXPECT_EQ(ColorDistanceSq(&black, &white), 3 * 255 * 255);
}

TEST(ColorMathTest, RedBlueExchangesKeepByte3) {
  EXPECT_EQ(ColorToPixel(0x04030201u), 0x04010203u);  // bytes (1, 2, 3, 4) become (3, 2, 1, 4)
  EXPECT_EQ(SwapRedBlue(0x04030201u), 0x04010203u);
  EXPECT_EQ(ColorToPixel(ColorToPixel(0xDEADBEEFu)), 0xDEADBEEFu);
  uint32_t v = 0x80FF0000u;
  SwapRedBlueInPlace(v);
  EXPECT_EQ(v, 0x800000FFu);

  uint8_t src[3] = {1, 2, 3}, dst[3] = {};
  ReverseRGB3(src, dst);
  EXPECT_EQ(dst[0], 3);
  EXPECT_EQ(dst[1], 2);
  EXPECT_EQ(dst[2], 1);
  ReverseRGB3(dst, dst);  // in place
  EXPECT_EQ(dst[0], 1);
  EXPECT_EQ(dst[2], 3);
}

// ---- HSL, first form ------------------------------------------------------------

TEST(ColorMathTest, PixelToHSLEdgeCases) {
  SHSLFix h;
  const uint32_t grey = Bgra(100, 100, 100, 7);
  PixelToHSL(&grey, h);
  EXPECT_EQ(h.hue, 0);
  EXPECT_EQ(h.saturation, 0);
  EXPECT_EQ(h.lightness, Fix(100.0));

  const uint32_t red = Bgra(0, 0, 255, 0);
  PixelToHSL(&red, h);
  EXPECT_EQ(h.hue, 0);
  EXPECT_EQ(h.lightness, 0x8000 * 255);  // 127.5
  EXPECT_EQ(h.saturation, Fix(255.0));

  uint32_t back = 0x5A000000u;
  HSLToPixel(h, &back);
  EXPECT_EQ(back, Bgra(0, 0, 255, 0x5A));  // red, the alpha byte kept

  const uint32_t blue = Bgra(255, 0, 0, 0), green = Bgra(0, 255, 0, 0), magenta = Bgra(255, 0, 255, 0);
  PixelToHSL(&green, h);
  EXPECT_EQ(h.hue, Fix(120.0));
  PixelToHSL(&blue, h);
  EXPECT_EQ(h.hue, Fix(240.0));
  PixelToHSL(&magenta, h);
  EXPECT_EQ(h.hue, Fix(300.0));  // negative sector hue plus 360.0
}

TEST(ColorMathTest, PixelToHSLAgreesWithTextbook) {
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5) {
        const uint32_t p = Bgra(static_cast<uint32_t>(b), static_cast<uint32_t>(g), static_cast<uint32_t>(r), 0);
        SHSLFix h;
        PixelToHSL(&p, h);
        ExpectNearTextbook(h, r, g, b);
        if (::testing::Test::HasFailure()) return;
      }
}

// The byte scaling truncates on the way in ((x*65536) div 255) and on the way out
// ((v*255) shr 16), so a channel other than 0 and 255 usually comes back one lower.
TEST(ColorMathTest, HSLFirstFormRoundTripWithinOne) {
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 3)
      for (int b = 0; b < 256; b += 3) {
        const uint32_t p =
            Bgra(static_cast<uint32_t>(b), static_cast<uint32_t>(g), static_cast<uint32_t>(r), 0x33);
        SHSLFix h;
        PixelToHSL(&p, h);
        uint32_t q = 0x33000000u;
        HSLToPixel(h, &q);
        ASSERT_EQ(ByteOf(q, 3), 0x33u);
        for (int i = 0; i < 3; ++i) {
          const int want = static_cast<int>(ByteOf(p, i)), got = static_cast<int>(ByteOf(q, i));
          ASSERT_LE(got, want) << r << "," << g << "," << b;
          ASSERT_GE(got, want - 1) << r << "," << g << "," << b;
          if (want == 0 || want == 255) {
            ASSERT_EQ(got, want) << r << "," << g << "," << b;
          }
        }
      }
}

TEST(ColorMathTest, HSLToPixelHueNormalisation) {
  // Hues outside 0..360.0 give the colours of the same angle.
  const SHSLFix base{Fix(30.0), Fix(100.0), Fix(200.0)};
  uint32_t ref = 0;
  HSLToPixel(base, &ref);
  for (int32_t turns : {-2, -1, 1, 3}) {
    SHSLFix h = base;
    h.hue += turns * 0x1680000;
    uint32_t p = 0;
    HSLToPixel(h, &p);
    EXPECT_EQ(p, ref) << turns;
  }
  // Saturation 0: every byte is the lightness.
  uint32_t grey = 0xFF000000u;
  HSLToPixel(SHSLFix{Fix(77.0), Fix(200.9), 0}, &grey);
  EXPECT_EQ(grey, Bgra(200, 200, 200, 255));
}

// ---- HSL, second form ------------------------------------------------------------

TEST(ColorMathTest, SecondFormReadsRedFromByte0) {
  const uint32_t red = 0x000000FFu;  // red in byte 0
  SHSLFix h;
  RGBToHSL2(&red, h);
  EXPECT_EQ(h.hue, 0);
  EXPECT_EQ(h.lightness, 0x8000 * 255);
  EXPECT_EQ(h.saturation, Fix(255.0));
  uint8_t rgb[3];
  HSLToRGB2(h, rgb);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 0);
  EXPECT_EQ(rgb[2], 0);
}

// (x*32897) shr 7 makes 255 into 65536 (not 65537), so red 255, blue 128 has the hue
// 360.0 - 60*FixDiv(32897, 65536) = 360.0 - 60*32897 exactly.
TEST(ColorMathTest, SecondFormScalesByteTo16Dot16With32897) {
  const uint32_t c = 0x008000FFu;  // red 255, green 0, blue 128
  SHSLFix h;
  RGBToHSL2(&c, h);
  EXPECT_EQ(h.hue, 0x1680000 - 60 * 32897);
  EXPECT_EQ(h.saturation, Fix(255.0));
}

TEST(ColorMathTest, SecondFormAgreesWithTextbookAndRoundTrips) {
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 3)
      for (int b = 0; b < 256; b += 3) {
        const uint32_t c =
            static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
        SHSLFix h;
        RGBToHSL2(&c, h);
        if ((r + g + b) % 5 == 0) ExpectNearTextbook(h, r, g, b);
        uint8_t rgb[3];
        HSLToRGB2(h, rgb);
        ASSERT_NEAR(rgb[0], r, 1) << r << "," << g << "," << b;
        ASSERT_NEAR(rgb[1], g, 1) << r << "," << g << "," << b;
        ASSERT_NEAR(rgb[2], b, 1) << r << "," << g << "," << b;
        if (::testing::Test::HasFailure()) return;
      }
}

TEST(ColorMathTest, SecondFormHueNormalisation) {
  uint8_t ref[3], rgb[3];
  HSLToRGB2(SHSLFix{0, Fix(120.0), Fix(255.0)}, ref);
  HSLToRGB2(SHSLFix{0x1680000, Fix(120.0), Fix(255.0)}, rgb);  // exactly 360.0 stays, same colour
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), std::vector<uint8_t>(ref, ref + 3));
  HSLToRGB2(SHSLFix{Fix(200.0), Fix(120.0), Fix(255.0)}, ref);
  HSLToRGB2(SHSLFix{Fix(200.0) - 3 * 0x1680000, Fix(120.0), Fix(255.0)}, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), std::vector<uint8_t>(ref, ref + 3));
  HSLToRGB2(SHSLFix{Fix(200.0) + 2 * 0x1680000, Fix(120.0), Fix(255.0)}, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), std::vector<uint8_t>(ref, ref + 3));
  HSLToRGB2(SHSLFix{Fix(10.0), Fix(42.7), 0}, rgb);
  EXPECT_EQ(rgb[0], 42);
  EXPECT_EQ(rgb[2], 42);
}

// ---- HSV ---------------------------------------------------------------------------

// Textbook HSV to RGB in doubles; s and v in 0..255, h in degrees.
void TextbookHsvToRgb(double h, double s, double v, double out[3]) {
  s /= 255;
  h = std::fmod(h, 360.0);
  if (h < 0) h += 360;
  const double c = v * s, x = c * (1 - std::fabs(std::fmod(h / 60, 2) - 1)), m = v - c;
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(h / 60)) {
    case 0:
      r = c;
      g = x;
      break;
    case 1:
      r = x;
      g = c;
      break;
    case 2:
      g = c;
      b = x;
      break;
    case 3:
      g = x;
      b = c;
      break;
    case 4:
      r = x;
      b = c;
      break;
    default:
      r = c;
      b = x;
      break;
  }
  out[0] = r + m;
  out[1] = g + m;
  out[2] = b + m;
}

TEST(ColorMathTest, HSVToRGBEdgeCases) {
  uint8_t rgb[3];
  HSVToRGB(SHSVFix{Fix(120.0), Fix(255.0), Fix(255.0)}, rgb);
  EXPECT_EQ(rgb[0], 0);
  EXPECT_EQ(rgb[1], 255);
  EXPECT_EQ(rgb[2], 0);

  uint8_t ref[3];
  HSVToRGB(SHSVFix{Fix(270.0), Fix(200.0), Fix(180.0)}, ref);
  HSVToRGB(SHSVFix{Fix(-90.0), Fix(200.0), Fix(180.0)}, rgb);  // -90.0 is 270.0
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), std::vector<uint8_t>(ref, ref + 3));
  HSVToRGB(SHSVFix{Fix(270.0) + 2 * 0x1680000, Fix(200.0), Fix(180.0)}, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), std::vector<uint8_t>(ref, ref + 3));
  // Far below -360.0 still lands on the same angle.
  HSVToRGB(SHSVFix{Fix(270.0) - 3 * 0x1680000, Fix(200.0), Fix(180.0)}, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), std::vector<uint8_t>(ref, ref + 3));

  HSVToRGB(SHSVFix{Fix(33.0), 0, Fix(99.9)}, rgb);  // no saturation: grey of v
  EXPECT_EQ(rgb[0], 99);
  EXPECT_EQ(rgb[1], 99);
  EXPECT_EQ(rgb[2], 99);
  HSVToRGB(SHSVFix{Fix(360.0), Fix(255.0), Fix(255.0)}, rgb);  // 360.0 wraps to red
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 0);
  EXPECT_EQ(rgb[2], 0);
}

TEST(ColorMathTest, HSVToRGBAgreesWithTextbook) {
  for (int h = 0; h < 360 * 4; h += 7)
    for (int s = 0; s <= 255; s += 15)
      for (int v = 0; v <= 255; v += 15) {
        const double hue = h / 4.0;
        uint8_t rgb[3];
        HSVToRGB(SHSVFix{Fix(hue), s << 16, v << 16}, rgb);
        double t[3];
        TextbookHsvToRgb(hue, s, v, t);
        // Each byte truncates a value a few 16.16 units from the exact one.
        for (int i = 0; i < 3; ++i) {
          ASSERT_LE(rgb[i], t[i] + 1e-3) << hue << " " << s << " " << v;
          ASSERT_GT(rgb[i], t[i] - 1.001) << hue << " " << s << " " << v;
        }
      }
}

TEST(ColorMathTest, RGBToHSVAgreesWithTextbookAndRoundTrips) {
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 3)
      for (int b = 0; b < 256; b += 3) {
        const uint8_t rgb[3] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
        SHSVFix hsv;
        RGBToHSV(rgb, hsv);
        const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
        ASSERT_EQ(hsv.value, mx << 16);
        ASSERT_EQ(hsv.saturation, mx == 0 ? 0 : static_cast<int32_t>(int64_t{mx - mn} * 0xFF0000 / mx));
        ASSERT_GE(hsv.hue, 0);
        ASSERT_LT(hsv.hue, 0x1680000);
        if (mx != mn) {
          ASSERT_LE(HueDistance(Unfix(hsv.hue), TextbookHsl(r, g, b).h), 1.0 / 65536);
        }
        uint8_t back[3];
        HSVToRGB(hsv, back);
        for (int i = 0; i < 3; ++i) ASSERT_NEAR(back[i], rgb[i], 1) << r << "," << g << "," << b;
      }
}

// ---- CMYK --------------------------------------------------------------------------

TEST(ColorMathTest, CMYKToRGBRoundsToNearest) {
  uint8_t rgb[3];
  CMYKToRGB(SCMYKFix{0, 0, 0, 0}, rgb);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 255);
  EXPECT_EQ(rgb[2], 255);
  CMYKToRGB(SCMYKFix{0, 0, 0, Fix(255.0)}, rgb);
  EXPECT_EQ(rgb[0], 0);
  EXPECT_EQ(rgb[1], 0);
  EXPECT_EQ(rgb[2], 0);
  for (int c = 0; c <= 255; c += 5)
    for (int k = 0; k <= 255; k += 5) {
      CMYKToRGB(SCMYKFix{c << 16, 0, Fix(255.0), k << 16}, rgb);
      const double exact = (255.0 - c) * (255.0 - k) / 255.0;
      ASSERT_NEAR(rgb[0], exact, 0.5 + 1e-3) << c << " " << k;  // cyan drives byte 0
      ASSERT_NEAR(rgb[1], 255.0 - k, 0.5 + 1e-3);
      ASSERT_EQ(rgb[2], 0);
    }
}

TEST(ColorMathTest, RGBToCMYKOfBlackHasNoDivisionByZero) {
  const uint8_t black[3] = {0, 0, 0};
  SCMYKFix k{-1, -1, -1, -1};
  RGBToCMYK(black, k);
  EXPECT_EQ(k.cyan, 0);
  EXPECT_EQ(k.magenta, 0);
  EXPECT_EQ(k.yellow, 0);
  EXPECT_EQ(k.black, Fix(255.0));
  uint8_t back[3] = {9, 9, 9};
  CMYKToRGB(k, back);
  EXPECT_EQ(back[0], 0);
  EXPECT_EQ(back[2], 0);
  CMYKToRGB2(k, back);
  EXPECT_EQ(back[0], 0);
  EXPECT_EQ(back[1], 0);
}

TEST(ColorMathTest, RGBToCMYKKnownColoursAndRoundTrips) {
  SCMYKFix k;
  const uint8_t white[3] = {255, 255, 255}, red[3] = {255, 0, 0}, darkTeal[3] = {0, 102, 102};
  RGBToCMYK(white, k);
  EXPECT_EQ(k.cyan, 0);
  EXPECT_EQ(k.black, 0);
  RGBToCMYK(red, k);
  EXPECT_EQ(k.cyan, 0);
  EXPECT_EQ(k.magenta, Fix(255.0));
  EXPECT_EQ(k.yellow, Fix(255.0));
  EXPECT_EQ(k.black, 0);
  RGBToCMYK(darkTeal, k);  // K = 153, C = (255 - 153)/(255 - 153) = full, M = Y = 0
  EXPECT_EQ(k.black, Fix(153.0));
  EXPECT_EQ(k.cyan, Fix(255.0));
  EXPECT_EQ(k.magenta, 0);

  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5) {
        const uint8_t rgb[3] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
        RGBToCMYK(rgb, k);
        uint8_t back[3], back2[3];
        CMYKToRGB(k, back);    // rounds: exact
        CMYKToRGB2(k, back2);  // truncates: at most one lower
        for (int i = 0; i < 3; ++i) {
          ASSERT_EQ(back[i], rgb[i]) << r << "," << g << "," << b;
          ASSERT_LE(back2[i], rgb[i]);
          ASSERT_GE(back2[i] + 1, rgb[i]) << r << "," << g << "," << b;
        }
      }
}

// Exact results of the fixed-point conversions for colours away from the corners, worked out
// step by step from the formulas (truncating divisions, FixDiv rounding, FixMul flooring).
// The tolerance tests above would not notice a rounding put in the place of a truncation.
TEST(ColorMathTest, ExactFixedPointResults) {
  struct HslCase {
    uint8_t r, g, b;
    int32_t hue, lightness, saturation;
    uint8_t backR, backG, backB;
  } hslCases[] = {
      {200, 100, 50, 0x13FFEC, 0x7CFF83, 0x990066, 199, 99, 49},
      {17, 240, 129, 0x962274, 0x807F00, 0xE0C15D, 16, 239, 128},
      {90, 60, 250, 0xF97950, 0x9AFF65, 0xF23DCF, 89, 59, 250},
      {255, 128, 0, 0x1E1E00, 0x7F8000, 0xFF0000, 255, 127, 0},
      {1, 2, 3, 0xD20000, 0x1FFFE, 0x7F8000, 0, 1, 2},
  };
  for (const HslCase& c : hslCases) {
    const uint32_t p = Bgra(c.b, c.g, c.r, 0x44);
    SHSLFix h;
    PixelToHSL(&p, h);
    EXPECT_EQ(h.hue, c.hue) << int{c.r} << "," << int{c.g} << "," << int{c.b};
    EXPECT_EQ(h.lightness, c.lightness) << int{c.r} << "," << int{c.g} << "," << int{c.b};
    EXPECT_EQ(h.saturation, c.saturation) << int{c.r} << "," << int{c.g} << "," << int{c.b};
    uint32_t q = 0x44000000u;
    HSLToPixel(h, &q);
    EXPECT_EQ(q, Bgra(c.backB, c.backG, c.backR, 0x44)) << int{c.r} << "," << int{c.g} << "," << int{c.b};
  }
  struct ToPixelCase {
    SHSLFix hsl;
    uint8_t r, g, b;
  } toPixel[] = {
      {{0x123456, 0x7A0000, 0xC8ABCD}, 218, 84, 25},     // hue in the rising edge of green
      {{0x1000000, 0x300000, 0x400000}, 42, 35, 60},     // l <= 0.5
      {{0x2000000, 0xE00000, 0xFF0000}, 192, 255, 226},  // hue above 360.0
  };
  for (const ToPixelCase& c : toPixel) {
    uint32_t q = 0;
    HSLToPixel(c.hsl, &q);
    EXPECT_EQ(q, Bgra(c.b, c.g, c.r, 0)) << std::hex << c.hsl.hue;
  }

  struct HsvCase {
    SHSVFix hsv;
    uint8_t r, g, b;
  } hsvCases[] = {
      {{0x2D8000, 0xC80000, 0xB40000}, 180, 145, 38},  // 45.5 degrees
      {{0xA51234, 0x7F8000, 0xFF0000}, 127, 255, 223},
      {{0x13B0000, 0x400000, 0x640000}, 100, 74, 93},
      {{-0x5A0000, 0xC80000, 0xB40000}, 109, 38, 180},
  };
  for (const HsvCase& c : hsvCases) {
    uint8_t rgb[3];
    HSVToRGB(c.hsv, rgb);
    EXPECT_EQ(rgb[0], c.r) << std::hex << c.hsv.hue;
    EXPECT_EQ(rgb[1], c.g) << std::hex << c.hsv.hue;
    EXPECT_EQ(rgb[2], c.b) << std::hex << c.hsv.hue;
  }

  uint8_t rgb[3];
  CMYKToRGB(SCMYKFix{0x400000, 0x808000, 0, 0x200000}, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), (std::vector<uint8_t>{167, 111, 223}));
  CMYKToRGB(SCMYKFix{0x123456, 0xABCDEF, 0xFF0000, 0x7F0000}, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), (std::vector<uint8_t>{119, 42, 0}));
}

// Reference models of the conversions in doubles, for records with any values: the formulas
// on real numbers, the byte at the end held to 0..255. The fixed-point forms truncate on the
// way, so they may lie one below (or, at a clamp, one above) the model.
double Real(int32_t v) { return v / 65536.0; }
double ByteOfModel(double v) { return std::clamp(std::floor(v), 0.0, 255.0); }
double HueIn360(double h) {
  h = std::fmod(h, 360.0);
  return h < 0 ? h + 360.0 : h;
}
void ModelHsl(const SHSLFix& c, double out[3]) {
  const double l = Real(c.lightness) / 255, s = Real(c.saturation) / 255;
  if (c.saturation == 0) {
    out[0] = out[1] = out[2] = ByteOfModel(Real(c.lightness));
    return;
  }
  const double m2 = l > 0.5 ? l + s - l * s : l * (1 + s), m1 = 2 * l - m2;
  auto channel = [&](double t) {
    t = HueIn360(t);
    const double v = t < 60    ? m1 + (m2 - m1) * t / 60
                     : t < 180 ? m2
                     : t < 240 ? m1 + (m2 - m1) * (240 - t) / 60
                               : m1;
    return ByteOfModel(v * 255);
  };
  out[0] = channel(Real(c.hue) + 120);
  out[1] = channel(Real(c.hue));
  out[2] = channel(Real(c.hue) - 120);
}
void ModelHsv(const SHSVFix& c, double out[3]) {
  const double s = std::clamp(Real(c.saturation), 0.0, 255.0), v = std::clamp(Real(c.value), 0.0, 255.0);
  TextbookHsvToRgb(Real(c.hue), s, v, out);
  for (int i = 0; i < 3; ++i) out[i] = ByteOfModel(out[i]);
}
void ModelCmyk(const SCMYKFix& c, double out[3]) {
  // 255 - black is held to what 16.16 can hold.
  const double ratio = std::clamp(255 - Real(c.black), -32768.0, 32767.0) / 255;
  const double inks[3] = {Real(c.cyan), Real(c.magenta), Real(c.yellow)};
  for (int i = 0; i < 3; ++i) out[i] = ByteOfModel(std::min((255 - inks[i]) * ratio + 0.5, 255.0));
}
void ModelCmyk2(const SCMYKFix& c, double out[3]) {
  const double k = Real(c.black);
  const double inks[3] = {Real(c.cyan), Real(c.magenta), Real(c.yellow)};
  for (int i = 0; i < 3; ++i) out[i] = ByteOfModel(255 - (inks[i] / 255 * (255 - k) + k));
}

// Records from outside (palette files, curves) may carry any value: no overflow, and bytes
// that follow the formulas, held to 0..255.
TEST(ColorMathTest, OutOfRangeRecordsFollowTheFormulasHeldToBytes) {
  // The limits of int32, values just outside 0..255.0, and a little and a lot beyond it.
  const int32_t extremes[] = {INT32_MIN, -0x100000, -1, 0x7FFFFFFF, 0x1000000, 0x1200000, 0x5000000};
  auto expectNear = [](const uint8_t got[3], const double model[3], const char* what, int32_t a, int32_t b) {
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(got[i], model[i], 1.0) << what << " channel " << i << " of " << a << ", " << b;
  };
  uint8_t rgb[3];
  double model[3];
  for (int32_t a : extremes)
    for (int32_t b : extremes) {
      const SCMYKFix cmyk{a, b, a, b};
      CMYKToRGB(cmyk, rgb);
      ModelCmyk(cmyk, model);
      expectNear(rgb, model, "CMYKToRGB", a, b);
      CMYKToRGB2(cmyk, rgb);
      ModelCmyk2(cmyk, model);
      expectNear(rgb, model, "CMYKToRGB2", a, b);
      const SHSVFix hsv{a, b, a};
      HSVToRGB(hsv, rgb);
      ModelHsv(hsv, model);
      expectNear(rgb, model, "HSVToRGB", a, b);
      const SHSLFix hsl{a, b, a};
      HSLToRGB2(hsl, rgb);
      ModelHsl(hsl, model);
      expectNear(rgb, model, "HSLToRGB2", a, b);
      uint32_t p = 0x5A000000u;
      HSLToPixel(hsl, &p);
      EXPECT_EQ(p >> 24, 0x5Au);
      const uint8_t fromPixel[3] = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                    static_cast<uint8_t>(p)};
      expectNear(fromPixel, model, "HSLToPixel", a, b);
    }
  // A few worked out by hand: "more than no black" is still white; ink beyond 255 leaves none
  // of the colour; hue -32768.0 is 352.0 (red with a little blue), saturation and value held
  // to 255.
  CMYKToRGB(SCMYKFix{0, 0, 0, INT32_MIN}, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), (std::vector<uint8_t>{255, 255, 255}));
  CMYKToRGB(SCMYKFix{0x1000000, 0x1000000, 0x1000000, 0}, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), (std::vector<uint8_t>{0, 0, 0}));
  HSVToRGB(SHSVFix{INT32_MIN, 0x7FFFFFFF, 0x7FFFFFFF}, rgb);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 0);
  EXPECT_NEAR(rgb[2], 34, 1);  // 255 * (1 - 52/60)
}

// ---- Palette toolkit ------------------------------------------------------------------

TEST(ColorMathTest, LerpColor4ByteAndFixedForms) {
  EXPECT_EQ(LerpColor4(0x00000000u, 0xFFFFFFFFu, 1, 2), 0x7F7F7F7Fu);
  EXPECT_EQ(LerpColor4(0x10203040u, 0x50403020u, 0, 7), 0x10203040u);
  EXPECT_EQ(LerpColor4(0x10203040u, 0x50403020u, 7, 7), 0x50403020u);
  // Byte form truncates the step toward zero: 1 + (0 - 1)/2 = 1; the 16.16 form gives 0.5 -> 0.
  EXPECT_EQ(LerpColor4(0x00000001u, 0x00000000u, 1, 2), 0x00000001u);
  EXPECT_EQ(LerpColor4Fix(0x00000001u, 0x00000000u, 1, 2), 0x00000000u);
  EXPECT_EQ(LerpColor4Fix(0x00000000u, 0xFFFFFFFFu, 1, 2), 0x7F7F7F7Fu);
  EXPECT_EQ(LerpColor4(0x01020304u, 0xFFFFFFFFu, 1, 0), 0x01020304u);  // no division by zero
  EXPECT_EQ(LerpColor4Fix(0x01020304u, 0xFFFFFFFFu, 1, 0), 0x01020304u);
}

TEST(ColorMathTest, RampsAndTables) {
  uint32_t ramp[5];
  GreyRamp(ramp, 5);
  const uint32_t expected[5] = {0x000000u, 0x3F3F3Fu, 0x7F7F7Fu, 0xBFBFBFu, 0xFFFFFFu};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ramp[i], expected[i]) << i;
  uint32_t one = 0xDEADBEEFu;
  GreyRamp(&one, 1);
  EXPECT_EQ(one, 0u);

  const uint32_t src[2] = {0x000000FFu /* red first */, 0x00FF0000u /* blue */};
  uint32_t dst[2] = {0xAA000000u, 0xBB000000u};
  GreyscaleRows(src, dst, 2);
  EXPECT_EQ(dst[0], 0xAA000000u | 76u * 0x010101u);  // 299*255/1000
  EXPECT_EQ(dst[1], 0xBB000000u | 29u * 0x010101u);  // 114*255/1000

  uint8_t bytes[4];
  ByteRamp(bytes, 4, 250, 3);
  EXPECT_EQ(bytes[0], 250);
  EXPECT_EQ(bytes[1], 253);
  EXPECT_EQ(bytes[2], 0);  // wraps
  EXPECT_EQ(bytes[3], 3);

  uint8_t inv[256], same[256], zero[256] = {};
  for (int i = 0; i < 256; ++i) {
    inv[i] = static_cast<uint8_t>(255 - i);
    same[i] = static_cast<uint8_t>(i);
  }
  const uint32_t in = 0x12345678u;
  uint32_t out = 0x9A000000u;
  ApplyLUT3(&in, &out, 1, inv, same, zero);
  EXPECT_EQ(out, 0x9A005687u);  // byte 0 inverted, byte 1 kept, byte 2 zeroed, byte 3 of dest kept
}

TEST(ColorMathTest, GradientBetweenEntries) {
  uint32_t e[6] = {0x00000000u, 1, 2, 3, 4, 0xFF643200u};
  ASSERT_TRUE(GradientBetweenEntries(e, 0, 5));
  EXPECT_EQ(e[0], 0x00000000u);
  EXPECT_EQ(e[5], 0xFF643200u);
  for (int k = 1; k < 5; ++k) EXPECT_EQ(e[k], LerpColor4Fix(0, 0xFF643200u, k, 5)) << k;
  EXPECT_EQ(e[1], 0x33140A00u);  // 255/5, 100/5, 50/5
  uint32_t f[3] = {0, 7, 9};
  EXPECT_FALSE(GradientBetweenEntries(f, 1, 2));
  EXPECT_FALSE(GradientBetweenEntries(f, 1, 1));
  EXPECT_EQ(f[1], 7u);
  ASSERT_TRUE(GradientBetweenEntries(f, 2, 0));  // either order
  EXPECT_EQ(f[1], LerpColor4Fix(0, 9, 1, 2));
}

TEST(ColorMathTest, FillMoveAndCompare) {
  uint32_t a[6] = {};
  FillDWords(a, 0x11223344u, 4);
  EXPECT_EQ(a[3], 0x11223344u);
  EXPECT_EQ(a[4], 0u);
  a[0] = 1;
  a[1] = 2;
  MoveDWords(a + 1, a, 4);  // overlapping move up
  EXPECT_EQ(a[1], 1u);
  EXPECT_EQ(a[2], 2u);
  const uint32_t x[2] = {0x01ABCDEFu, 0x00000001u}, y[2] = {0xFFABCDEFu, 0x77000001u}, z[2] = {0x01ABCDEFu, 2};
  EXPECT_TRUE(SameColors(x, y, 2));  // byte 3 not compared
  EXPECT_FALSE(SameColors(x, z, 2));
  EXPECT_TRUE(SameColors(x, z, 1));
}

TEST(ColorMathTest, NearestAndFarthestEntries) {
  const uint32_t pal[5] = {0x000000u, 0x101010u, 0x0E0E0Eu, 0xFFFFFFu, 0x0F0F0Fu};
  EXPECT_EQ(NearestColorIndex(pal, 5, 0xFF0F0F0Fu), 4);  // exact match (byte 3 ignored)
  EXPECT_EQ(NearestColorIndex(pal, 5, 0x0F0F0Fu), 4);
  // 0x101010 and 0x0E0E0E are both 3 away from 0x0F0F0F without it: the earlier wins.
  EXPECT_EQ(NearestColorIndex(pal, 4, 0x0F0F0Fu), 1);
  EXPECT_EQ(NearestColorIndex(pal, 0, 0x0F0F0Fu), -1);
  EXPECT_EQ(FarthestColorIndex(pal, 5, 0x000000u), 3);
  const uint32_t twins[3] = {0x000000u, 0xFFFFFFu, 0xFFFFFFu};
  EXPECT_EQ(FarthestColorIndex(twins, 3, 0x000000u), 1);  // ties keep the earlier entry
  EXPECT_EQ(FarthestColorIndex(twins, 0, 0), -1);
}

}  // namespace
}  // namespace tf
