#include "raster/ColorConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace tf {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Textbook conversions in double, written from the usual sector formulas: the model the byte
// conversions are held against. The program's rule truncates where the model rounds, so a
// channel may differ by a little; 2 of 255 is the tolerance.
void ModelHSV(double h, double s, double v, double rgb[3]) {
  h = std::fmod(h, 6.0);
  if (h < 0) h += 6.0;
  const double c = s * v, x = c * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0)), m = v - c;
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(h)) {
    case 0: r = c, g = x; break;
    case 1: r = x, g = c; break;
    case 2: g = c, b = x; break;
    case 3: g = x, b = c; break;
    case 4: r = x, b = c; break;
    default: r = c, b = x; break;
  }
  rgb[0] = (r + m) * 255.0, rgb[1] = (g + m) * 255.0, rgb[2] = (b + m) * 255.0;
}

void ModelHSL(double h, double s, double l, double rgb[3]) {
  const double c = (1.0 - std::fabs(2.0 * l - 1.0)) * s;
  const double v = l + c / 2.0;
  ModelHSV(h, v > 0 ? c / v : 0.0, v, rgb);
}

TEST(ColorConvertTest, ByteConversionsFollowTheModelOverEveryHueStep) {
  const float saturations[] = {1.0f, 0.5f};
  const float levels[] = {1.0f, 0.75f, 0.5f, 0.25f};
  for (int32_t step = 0; step < HueStepsPerTurn; ++step) {
    // The middle of the step, so that truncation lands on it.
    const float hue = static_cast<float>((step + 0.5) * 2.0 * std::numbers::pi / HueStepsPerTurn);
    ASSERT_EQ(HueToStep(hue), step);
    for (float s : saturations) {
      for (float v : levels) {
        uint8_t r, g, b;
        double model[3];
        HSVToRGBBytes(hue, s, v, r, g, b);
        ModelHSV((step + 0.5) / 256.0, s, v, model);
        EXPECT_NEAR(r, model[0], 2.0) << "HSV step " << step << " s " << s << " v " << v;
        EXPECT_NEAR(g, model[1], 2.0) << "HSV step " << step << " s " << s << " v " << v;
        EXPECT_NEAR(b, model[2], 2.0) << "HSV step " << step << " s " << s << " v " << v;
        float fr, fg, fb;
        HSVToRGB(hue, s, v, fr, fg, fb);
        EXPECT_NEAR(fr * 255.0, model[0], 2.0);
        EXPECT_NEAR(fg * 255.0, model[1], 2.0);
        EXPECT_NEAR(fb * 255.0, model[2], 2.0);

        HSLToRGBBytes(hue, s, v, r, g, b);
        ModelHSL((step + 0.5) / 256.0, s, v, model);
        EXPECT_NEAR(r, model[0], 2.0) << "HSL step " << step << " s " << s << " l " << v;
        EXPECT_NEAR(g, model[1], 2.0) << "HSL step " << step << " s " << s << " l " << v;
        EXPECT_NEAR(b, model[2], 2.0) << "HSL step " << step << " s " << s << " l " << v;
        HSLToRGB(hue, s, v, fr, fg, fb);
        EXPECT_NEAR(fr * 255.0, model[0], 2.0);
        EXPECT_NEAR(fg * 255.0, model[1], 2.0);
        EXPECT_NEAR(fb * 255.0, model[2], 2.0);
      }
    }
  }
}

TEST(ColorConvertTest, HueSteps) {
  EXPECT_EQ(HueToStep(0.0f), 0);
  EXPECT_EQ(HueToStep(2.0f * kPi), 0);      // step 1536 reduces to 0
  EXPECT_EQ(HueToStep(-kPi / 3.0f), 1280);  // magenta
  EXPECT_EQ(HueToStep(kPi / 3.0f), 256);    // yellow: the Single pi/3 lies just above pi/3
  EXPECT_EQ(HueToStep(std::nanf("")), 0);
  EXPECT_EQ(HueToStep(1e30f), HueToStep(1e30f));  // huge hues stay defined
  uint8_t r, g, b;
  HSVToRGBBytes(0.0f, 1.0f, 1.0f, r, g, b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{255, 0, 0}));
  HSVToRGBBytes(-kPi / 3.0f, 1.0f, 1.0f, r, g, b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{255, 0, 255}));
}

TEST(ColorConvertTest, HSVClampsValueAndSaturation) {
  uint8_t r, g, b;
  HSVToRGBBytes(0.0f, 1.0f, 1.5f, r, g, b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{255, 0, 0}));
  HSVToRGBBytes(1.0f, -1.0f, 0.5f, r, g, b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{128, 128, 128}));
}

// The grey of HSLToRGBBytes takes the lightness as given; a lightness of 1.5 made the byte 382,
// which wrapped to 127 (a dark grey for a lightness above white). It now saturates to 255. Only
// pictures on screen are made from it (no file or recording stores the bytes), so nothing that
// was saved changes.
TEST(ColorConvertTest, HSLLightnessAboveOneSaturatesInsteadOfWrapping) {
  uint8_t r, g, b;
  HSLToRGBBytes(0.0f, 0.0f, 1.5f, r, g, b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{255, 255, 255}));
  HSLToRGBBytes(0.0f, 0.0f, -0.5f, r, g, b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{0, 0, 0}));
  for (int i = 0; i <= 100; ++i) {  // 0..1 unchanged: Trunc(l * 255 + 0.5)
    const float l = i / 100.0f;
    HSLToRGBBytes(0.0f, 0.0f, l, r, g, b);
    EXPECT_EQ(r, static_cast<int>(l * 255.0 + 0.5));
  }
  float fr, fg, fb;
  HSLToRGB(0.0f, 0.0f, 1.5f, fr, fg, fb);  // the Single form passes the lightness through
  EXPECT_EQ(fr, 1.5f);
}

TEST(ColorConvertTest, RGBToModels) {
  float h = 9, s = 9, v = 9;
  RGBToHSV(1, 0, 0, h, s, v);
  EXPECT_FLOAT_EQ(h, 0.0f);
  RGBToHSV(0, 1, 0, h, s, v);
  EXPECT_FLOAT_EQ(h, 2.0f * kPi / 3.0f);
  RGBToHSV(0, 0, 1, h, s, v);
  EXPECT_FLOAT_EQ(h, -2.0f * kPi / 3.0f);
  EXPECT_FLOAT_EQ(s, 1.0f);
  RGBToHSV(0.5f, 0.5f, 0.5f, h, s, v);
  EXPECT_EQ(h, 0.0f);
  EXPECT_EQ(s, 0.0f);
  EXPECT_EQ(v, 0.5f);

  float l = 9;
  h = 7.0f;
  RGBToHSL(0.5f, 0.5f, 0.5f, h, s, l);
  EXPECT_EQ(h, 7.0f);  // a grey keeps the caller's hue
  EXPECT_EQ(s, 0.0f);
  EXPECT_EQ(l, 0.5f);
  RGBToHSL(0, 0, 0, h, s, l);
  EXPECT_EQ(h + s + l, 0.0f);
  h = 7.0f;
  RGBToHSL(1, 1, 1, h, s, l);
  EXPECT_EQ(h, 0.0f);
  EXPECT_EQ(s, 0.0f);
  EXPECT_EQ(l, 1.0f);
  RGBToHSL(1.0f, 0.5f, 0.0f, h, s, l);
  EXPECT_NEAR(h, kPi / 6.0f, 1e-6);
  EXPECT_FLOAT_EQ(s, 1.0f);
  EXPECT_FLOAT_EQ(l, 0.5f);
}

TEST(ColorConvertTest, RoundTripThroughHSVAndHSL) {
  for (int r = 0; r < 256; r += 51)
    for (int g = 0; g < 256; g += 51)
      for (int b = 0; b < 256; b += 51) {
        float h = 0, s, v;
        RGBToHSV(r / 255.0f, g / 255.0f, b / 255.0f, h, s, v);
        uint8_t br, bg, bb;
        HSVToRGBBytes(h, s, v, br, bg, bb);
        EXPECT_NEAR(br, r, 2);
        EXPECT_NEAR(bg, g, 2);
        EXPECT_NEAR(bb, b, 2);
        float l;
        h = 0;
        RGBToHSL(r / 255.0f, g / 255.0f, b / 255.0f, h, s, l);
        HSLToRGBBytes(h, s, l, br, bg, bb);
        EXPECT_NEAR(br, r, 2);
        EXPECT_NEAR(bg, g, 2);
        EXPECT_NEAR(bb, b, 2);
      }
}

TEST(ColorConvertTest, PackedColours) {
  EXPECT_EQ(ColorToBGRA(0x302010, 0xFF), 0xFF102030u);
  EXPECT_EQ(BGRAToColor(0xFF102030u), 0x302010u);
  EXPECT_EQ(PackBGRA(0x30, 0x20, 0x10, 0xFF), 0xFF102030u);
  const uint32_t a = 0x10FF0080, b = 0xF000FF7F;
  EXPECT_EQ(LerpPixel(a, b, 0.0f), a);
  EXPECT_EQ(LerpPixel(a, b, 1.0f), b);
  // Bytes truncate towards a: 0x10 + Trunc(0xE0 * 0.5) = 0x80; 0xFF + Trunc(-0xFF * 0.5) = 0x80;
  // 0x00 + Trunc(0xFF * 0.5) = 0x7F; 0x80 + Trunc(-1 * 0.5) = 0x80.
  EXPECT_EQ(LerpPixel(a, b, 0.5f), 0x80807F80u);
  EXPECT_EQ(HSLHueToByte(-1536, 0.0f, 1.0f), HSLHueToByte(0, 0.0f, 1.0f));
  EXPECT_EQ(HSLHueToByte(600, -1.0f, 2.0f), 255);  // clamped
  EXPECT_EQ(HSLHueToValue(1200, -1.0f, 2.0f), 0.0f);
}

}  // namespace
}  // namespace tf
