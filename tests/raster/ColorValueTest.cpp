#include "raster/ColorValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>

#include "platform/Debug.h"

namespace tf {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct FromRGBCase {
  float r, g, b;
  SColorHSV hsv;
  SColorHSL hsl;
};

TEST(ColorValueTest, FromRGBDerivesBothModels) {
  const FromRGBCase cases[] = {
      {1, 0, 0, {0, 1, 1}, {0, 1, 0.5f}},
      {0, 0, 1, {-2 * kPi / 3, 1, 1}, {-2 * kPi / 3, 1, 0.5f}},
      {0, 1, 1, {kPi, 1, 1}, {kPi, 1, 0.5f}},
      {0, 1, 0, {2 * kPi / 3, 1, 1}, {2 * kPi / 3, 1, 0.5f}},
      {1, 1, 0, {kPi / 3, 1, 1}, {kPi / 3, 1, 0.5f}},
  };
  for (const auto& c : cases) {
    SColorValue v;
    ColorValueFromRGB(c.r, c.g, c.b, v);
    SCOPED_TRACE(std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b));
    EXPECT_EQ(v.space, cpRGB);
    EXPECT_FLOAT_EQ(v.hsv.h, c.hsv.h);
    EXPECT_FLOAT_EQ(v.hsv.s, c.hsv.s);
    EXPECT_FLOAT_EQ(v.hsv.v, c.hsv.v);
    EXPECT_FLOAT_EQ(v.hsl.h, c.hsl.h);
    EXPECT_FLOAT_EQ(v.hsl.s, c.hsl.s);
    EXPECT_FLOAT_EQ(v.hsl.l, c.hsl.l);
  }
}

TEST(ColorValueTest, RecordBytesAndGreyKeepsItsHslHue) {
  SColorValue v;
  std::memset(static_cast<void*>(&v), 0xAB, sizeof v);
  v.hsl.h = 1.25f;
  BGRAToColorValue(0xFF808080, v);
  uint8_t bytes[40];
  std::memcpy(bytes, &v, sizeof bytes);
  // The whole first word is cleared when built from RGB.
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 0);
  EXPECT_EQ(bytes[3], 0);
  float f;
  const float grey = 128.0f / 255.0f;
  for (int off : {4, 8, 12}) {
    std::memcpy(&f, bytes + off, 4);
    EXPECT_EQ(f, grey) << off;
  }
  std::memcpy(&f, bytes + 16, 4);
  EXPECT_EQ(f, 0.0f);  // hsv hue
  std::memcpy(&f, bytes + 24, 4);
  EXPECT_EQ(f, grey);  // value
  std::memcpy(&f, bytes + 28, 4);
  EXPECT_EQ(f, 1.25f);  // a grey leaves the HSL hue the record held
  std::memcpy(&f, bytes + 32, 4);
  EXPECT_EQ(f, 0.0f);
  std::memcpy(&f, bytes + 36, 4);
  EXPECT_EQ(f, grey);
}

TEST(ColorValueTest, ToBGRARoundsAndKeepsTheAlpha) {
  SColorValue v;
  ColorValueFromRGB(1, 0.5f, 0, v);
  EXPECT_EQ(ColorValueToBGRA(v, 255), 0xFFFF8000u);
  EXPECT_EQ(ColorValueToBGRA(v, 0x12), 0x12FF8000u);
}

// Out-of-range components saturate instead of keeping the low 8 bits (1.5 used to give 127 and
// -0.1 gave 231). Recorded filter blocks keep the bytes they were recorded with and replays never
// recompute them, so this changes no replayed picture.
TEST(ColorValueTest, ComponentsOutsideTheRangeSaturateInsteadOfWrapping) {
  SColorValue v;
  v.rgb = {1.5f, -0.1f, kNaN};
  EXPECT_EQ(ColorValueToBGRA(v, 255), 0xFFFF0000u);
  TColorManager m;
  m.SetRGB(2.0f, -1.0f, 0.25f);
  EXPECT_EQ(m.GetPackedRGB() & 0xFFFFFF, 0xFF0040u);
  // In range, nothing changes.
  for (int i = 0; i <= 255; ++i) EXPECT_EQ(ColorComponentToByte(static_cast<float>(i) / 255.0f), i);
}

TEST(ColorValueTest, BGRAThroughTheRecordIsTheIdentity) {
  for (uint32_t i = 0; i < 256; ++i) {
    // Distinct channels, so that a swapped pair shows.
    const uint32_t pixel = 0xFF000000u | i << 16 | ((i * 7 + 3) & 0xFF) << 8 | ((i * 13 + 101) & 0xFF);
    SColorValue v;
    BGRAToColorValue(pixel, v);
    ASSERT_EQ(ColorValueToBGRA(v, 0xFF), pixel) << i;
    TColorManager m;
    m.SetColor(v);
    ASSERT_EQ(m.GetPackedRGB(), pixel & 0xFFFFFF) << i;
  }
}

TEST(ColorValueTest, SetHSVOfAGreyKeepsTheHueInBothModels) {
  TColorManager m;
  EXPECT_TRUE(m.SetHSV(kPi / 2, 0, 0.5f));
  EXPECT_EQ(m.GetRGB().r, 0.5f);
  EXPECT_EQ(m.GetRGB().g, 0.5f);
  EXPECT_EQ(m.GetRGB().b, 0.5f);
  EXPECT_EQ(m.GetHSV().h, kPi / 2);
  EXPECT_EQ(m.GetHSL().h, kPi / 2);
  EXPECT_TRUE(m.SetHSL(-1.0f, 0, 0.25f));
  EXPECT_EQ(m.GetHSV().h, -1.0f);
  EXPECT_FLOAT_EQ(m.GetHSV().v, 0.25f);
  // SetRGB of a grey: HSV hue 0, HSL hue as it was.
  EXPECT_TRUE(m.SetRGB(0.75f, 0.75f, 0.75f));
  EXPECT_EQ(m.GetHSV().h, 0.0f);
  EXPECT_EQ(m.GetHSL().h, -1.0f);
}

TEST(ColorValueTest, CallbacksFireOnRealChangesOnly) {
  TColorManager m;
  int fired = 0;
  TColorManager* sender = nullptr;
  m.SetOnChange([&](TColorManager& s) { ++fired, sender = &s; });
  EXPECT_TRUE(m.SetRGB(0.2f, 0.4f, 0.6f));
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(sender, &m);
  EXPECT_FALSE(m.SetRGB(0.2f, 0.4f, 0.6f));
  SColorHSV hsv = m.GetHSV();
  EXPECT_FALSE(m.SetHSV(hsv.h, hsv.s, hsv.v));
  EXPECT_EQ(fired, 1);
  // SetComponents routes by the model; an unknown space does nothing.
  EXPECT_TRUE(m.SetComponents(cpLHS, 0, 0, 1));
  EXPECT_EQ(m.GetRGB().r, 1.0f);
  EXPECT_FALSE(m.SetComponents(9, 0, 0, 0));
  EXPECT_EQ(fired, 2);
  // SetColor never fires; it takes the values as given.
  SColorValue v;
  v.space = cpSHV;
  v.rgb = {0.1f, 0.2f, 0.3f};
  v.hsv = {5, 6, 7};
  v.hsl = {8, 9, 10};
  EXPECT_TRUE(m.SetColor(v));
  SColorValue out;
  std::memset(static_cast<void*>(&out), 0x5A, sizeof out);
  m.GetColor(out);
  EXPECT_EQ(out.space, cpSHV);
  EXPECT_EQ(out.reserved[0], 0x5A);  // not written
  EXPECT_EQ(out.hsv.v, 7.0f);
  EXPECT_EQ(out.hsl.l, 10.0f);
  v.space = cpRGB;
  EXPECT_TRUE(m.SetColor(v));  // only the space byte
  EXPECT_EQ(m.GetSpace(), cpRGB);
  EXPECT_FALSE(m.SetColor(v));
  m.Change();
  EXPECT_EQ(fired, 3);
}

TEST(ColorValueTest, IsEqualPickerColorResults) {
  SColorValue a;
  ColorValueFromRGB(0.3f, 0.6f, 0.9f, a);
  SColorValue b = a;
  EXPECT_EQ(IsEqualPickerColor(a, b), 0);
  b.reserved[1] = 7;  // only the first byte of the word counts
  EXPECT_EQ(IsEqualPickerColor(a, b), 0);
  b.space = cpVHS;
  EXPECT_EQ(IsEqualPickerColor(a, b), 1);
  b = a;
  b.hsl.s += 0.001f;
  EXPECT_EQ(IsEqualPickerColor(a, b), 2);
}

// A NaN used to show two raw debugging boxes (lightness) or escape to the caller (others): now it
// equals only a NaN, the note goes to developer output, and the setters refuse it.
TEST(ColorValueTest, NotANumberIsComparedQuietlyAndRefusedBySetters) {
  std::string out;
  auto old = SetDebugSink([&](std::string_view t) { out += t; });
  SColorValue a;
  ColorValueFromRGB(0.3f, 0.6f, 0.9f, a);
  SColorValue b = a;
  b.hsl.l = kNaN;
  EXPECT_EQ(IsEqualPickerColor(a, b), 2);
  EXPECT_NE(out.find("hsl.l"), std::string::npos);
  a.hsl.l = kNaN;
  EXPECT_EQ(IsEqualPickerColor(a, b), 0);

  TColorManager m;
  int fired = 0;
  m.SetOnChange([&](TColorManager&) { ++fired; });
  m.SetRGB(0.5f, 0.5f, 0.5f);
  out.clear();
  EXPECT_FALSE(m.SetRGB(kNaN, 0, 0));
  EXPECT_FALSE(m.SetHSV(0, std::numeric_limits<float>::infinity(), 0));
  EXPECT_FALSE(m.SetHSL(0, 0, kNaN));
  EXPECT_FALSE(m.SetColor(b));
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(m.GetRGB().r, 0.5f);
  EXPECT_NE(out.find("refused"), std::string::npos);
  SetDebugSink(old);
}

}  // namespace
}  // namespace tf
