// The stroke state and the registry pen settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "document/BlendMode.h"
#include "paint/PaintFakes.h"
#include "paint/PenSetting.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "platform/Registry.h"
#include "raster/FlatImage.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

using test::FakeDocument;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class StrokeTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetPixelWriters(); }
  void TearDown() override { ResetPixelWriters(); }
};

TEST_F(StrokeTest, ConstructionDefaults) {
  TStroke s(2);
  EXPECT_EQ(s.GetTag(), 2);
  EXPECT_EQ(s.GetBackColor(), 0xFFFFFFu);
  EXPECT_EQ(s.GetColor(), 0u);
  EXPECT_FLOAT_EQ(s.GetStoredOpacity(), 1.0f);
  EXPECT_FLOAT_EQ(s.GetGamma(), 1.0f);
  EXPECT_EQ(s.GetAirMapKind(), 3);
  EXPECT_EQ(s.GetPickupCount(), -1);
  EXPECT_EQ(s.GetPickupWindow(), nullptr);
  EXPECT_NE(s.GetPickupWindowByIndex(1), nullptr);
  EXPECT_EQ(s.GetPickupWindowByIndex(2), nullptr);
}

TEST_F(StrokeTest, ClampingSettersTakeNonFiniteValuesAsOutOfRange) {
  TStroke s(0);
  s.SetWidth(500);
  EXPECT_FLOAT_EQ(s.GetWidth(), 200);
  s.SetChanged(false);
  s.SetWidth(0);
  EXPECT_FLOAT_EQ(s.GetWidth(), 0.1f);
  EXPECT_TRUE(s.IsChanged());
  s.SetWidth(kNaN);
  EXPECT_FLOAT_EQ(s.GetWidth(), 0.1f);
  s.SetWidth(kInf);
  EXPECT_FLOAT_EQ(s.GetWidth(), 200);
  s.SetOpacity(kNaN);
  EXPECT_FLOAT_EQ(s.GetStoredOpacity(), 0.01f);
  s.SetOpacity(3);
  EXPECT_FLOAT_EQ(s.GetStoredOpacity(), 1);
  s.SetSpacing(-kInf);
  EXPECT_FLOAT_EQ(s.GetStoredSpacing(), 0.02f);
  s.SetGamma(kNaN);
  EXPECT_FLOAT_EQ(s.GetGamma(), 0.01f);
  s.SetGamma(9);
  EXPECT_FLOAT_EQ(s.GetGamma(), 6);
  // An equal gamma changes nothing.
  s.SetChanged(false);
  s.SetGamma(6);
  EXPECT_FALSE(s.IsChanged());
  s.SetSpacing(0.5f);  // spacing never marks
  EXPECT_FALSE(s.IsChanged());
  s.SetMin(0.75f);
  EXPECT_TRUE(s.IsChanged());
}

TEST_F(StrokeTest, SpacingAndSizeByPenType) {
  TStroke s(0);
  s.SetSpacing(0.01f);
  s.SetPenType(kPenAirbrush);
  EXPECT_FLOAT_EQ(s.GetSpacing(), 0.02f);
  s.SetSpacing(0.7f);
  EXPECT_FLOAT_EQ(s.GetSpacing(), 0.7f);
  s.SetPenType(kPenPen);
  EXPECT_EQ(s.GetSpacing(), 0.16666667f);
  s.SetPenType(kPenWatercolour);
  EXPECT_EQ(s.GetSpacing(), 0.083333336f);
  s.SetWidth(10);
  s.SetMin(40);
  EXPECT_FLOAT_EQ(s.SizeAtPressure(0.5f), 10);  // ifSize off
  s.SetIfSize(true);
  EXPECT_FLOAT_EQ(s.SizeAtPressure(0.5f), 4 + 0.5f * 6);
  s.SetPenType(kPenBlur2);  // pressure never scales its size
  EXPECT_FLOAT_EQ(s.SizeAtPressure(0.5f), 10);
}

// Pen types above 8 (recordings) indexed the per-type tables out of bounds.
TEST_F(StrokeTest, PenTypesAbove8GetNeutralAnswers) {
  TStroke s(0);
  s.SetPenType(200);
  EXPECT_FALSE(s.CanUseTone());
  EXPECT_FALSE(s.CanUseGradation());
  s.SetSpacing(0.3f);
  EXPECT_FLOAT_EQ(s.GetSpacing(), 0.3f);
  s.SetIfSize(true);
  s.SetWidth(8);
  EXPECT_FLOAT_EQ(s.SizeAtPressure(0.1f), 8);
  EXPECT_FALSE(PenTypeUsesCoverage(9));
  const struct {
    uint8_t type;
    bool tone, gradation, coverage;
  } table[] = {{0, 1, 1, 1}, {1, 1, 1, 0}, {2, 1, 0, 0}, {3, 0, 0, 0}, {4, 0, 0, 1},
               {5, 1, 1, 0}, {6, 1, 0, 0}, {7, 1, 0, 0}, {8, 1, 0, 0}};
  for (const auto& row : table) {
    EXPECT_EQ(PenTypeCanUseTone(row.type), row.tone) << int(row.type);
    EXPECT_EQ(PenTypeCanUseGradation(row.type), row.gradation) << int(row.type);
    EXPECT_EQ(PenTypeUsesCoverage(row.type), row.coverage) << int(row.type);
  }
}

TEST_F(StrokeTest, OpacityFollowsTheCurrentWindowsEngine) {
  TStroke s(0);
  s.SetOpacity(0.5f);
  EXPECT_FLOAT_EQ(s.GetOpacity(), 0.5f);
  EXPECT_EQ(s.GetOpacity255(), 255);  // no window
  FakeDocument doc;
  SetCurrentDrawWindow(&doc);
  EXPECT_EQ(s.GetOpacity255(), 127);
  doc.modern = false;
  EXPECT_FLOAT_EQ(s.GetOpacity(), 1.0f);
  EXPECT_EQ(s.GetOpacity255(), 255);
  SetCurrentDrawWindow(nullptr);
}

TEST_F(StrokeTest, PointHistorySmoothsUnlessRaw) {
  TStroke s(0);
  s.ResetStroke(nullptr, 1, 2);
  s.AddPoint(5, 6, 0.5f);
  SStrokePoint p;
  s.GetNewestPoint(p);
  EXPECT_FLOAT_EQ(p.x, 5);
  s.GetPoint(1, p);
  EXPECT_FLOAT_EQ(p.x, 3);  // midpoint of (5, 6) and entry 2 = (1, 2)
  EXPECT_FLOAT_EQ(p.y, 4);
  EXPECT_FLOAT_EQ(p.pressure, 0.25f);
  s.SetRawPoints(true);
  s.AddPoint(9, 9, 1);
  s.GetPoint(1, p);
  EXPECT_FLOAT_EQ(p.x, 5);
  EXPECT_FALSE(s.GetPoint(8, p));
  s.SetSegmentPoints(0, 0, 1, 10, 0, 1);
  s.GetPoint(2, p);
  EXPECT_FLOAT_EQ(p.x, 0);
}

TEST_F(StrokeTest, BoundsRoundToEvenPixelsAndSurviveNonFinitePoints) {
  TStroke s(0);
  s.SetWidth(3);
  s.ResetStroke(nullptr, 0, 0);
  s.SetSegmentPoints(10.2f, 20.7f, 1, 13.1f, 21.0f, 1);
  s.UpdateSegmentBounds();
  SRectWH r;
  s.GetDirtyRect(r);
  // Widened by WIDTH + 2 = 5: x 5.2 .. 18.1, y 15.7 .. 26.0.
  EXPECT_EQ(r, (SRectWH{4, 14, 20 - 4, 26 - 14}));
  s.GetStrokeRect(r);
  EXPECT_EQ(r, (SRectWH{4, 14, 16, 12}));
  s.SetSegmentPoints(kNaN, kInf, 1, -kInf, kNaN, 1);
  s.UpdateSegmentBounds();
  s.GetDirtyRect(r);  // no undefined conversion; some rectangle
  s.GetStrokeRect(r);
  SUCCEED();
}

TEST_F(StrokeTest, ResetTakesTheNeutralColourOfTheLayersBlendMode) {
  TStroke s(0);
  FakeDocument doc;
  doc.blendMode = 5;
  s.SetLayerIndex(1);
  s.IncStepCounter();
  s.AddDistance(4);
  s.ResetStroke(&doc, 7, 8);
  EXPECT_EQ(s.GetNeutralColor(), GetBlendModeNeutralColor(5));
  EXPECT_EQ(s.GetStepCounter(), 0);
  EXPECT_FLOAT_EQ(s.GetDistance(), 0);
  EXPECT_EQ(s.StrokeBounds().left, 65535);
  SStrokePoint p;
  s.GetPoint(7, p);
  EXPECT_FLOAT_EQ(p.x, 7);
  EXPECT_FLOAT_EQ(p.pressure, 0);
}

TEST_F(StrokeTest, PickupWindowsAlternateByTheCount) {
  TStroke s(0);
  TMTC image(40, 40);
  image.FillValue(0xFF000000u);
  s.StartPickup(image, 3, 10.5f, 10.5f);
  EXPECT_EQ(s.GetPickupCount(), 0);
  EXPECT_EQ(s.GetPickupWindow(), nullptr);
  EXPECT_FALSE(s.SwapPickup(image, 3, 10.9f, 10.2f));  // same whole pixel
  EXPECT_TRUE(s.SwapPickup(image, 3, 11.5f, 10.5f));
  EXPECT_EQ(s.GetPickupWindow(), s.GetPickupWindowByIndex(0));  // picked at the previous position
  EXPECT_TRUE(s.SwapPickup(image, 3, 12.5f, 10.5f));
  EXPECT_EQ(s.GetPickupWindow(), s.GetPickupWindowByIndex(1));
  EXPECT_TRUE(s.UpdatePickup(image, 3, 20.f, 20.f));
  EXPECT_EQ(s.GetPickupCount(), 1);
  EXPECT_EQ(s.GetPickupPosition(), (TPoint{20, 20}));
}

TEST_F(StrokeTest, PenTypeStartSteps) {
  TStroke s(0);
  TMTC image(30, 30);
  image.FillValue(0xFF204060u);
  s.SetColor(0x00FFFFFFu);
  s.SetPenType(kPenWatercolour);
  s.SetEffect(100);  // keeps the picked-up colour
  s.BeginStroke(nullptr, image, TPoint{2, 3}, 4, 4, 1);
  EXPECT_EQ(s.GetMixingColor() & 0xFFFFFFu, 0x204060u);
  EXPECT_FLOAT_EQ(s.EnvRed(), 0x20);
  EXPECT_FLOAT_EQ(s.EnvBlue(), 0x60);
  // EFFECT beyond 100 (settings, recordings) made a negative blend weight.
  s.SetEffect(300);
  s.BeginStrokeDirect(nullptr, image, 0, 0, 1);
  EXPECT_EQ(s.GetMixingColor() & 0xFFFFFFu, 0x204060u);
  s.SetEffect(kNaN);
  s.BeginStrokeDirect(nullptr, image, 0, 0, 1);
  s.SetPenType(kPenDarken);
  s.SetEffect(500);
  s.BeginStrokeDirect(nullptr, image, 0, 0, 1);  // k = 2
  EXPECT_EQ(LightnessCurve()[1024], static_cast<int32_t>(std::pow(1024.0 / 2047.0, 2.0) * 65536.0));
  s.SetPenType(kPenRubPen);
  s.SetWidth(4);
  s.BeginStrokeDirect(nullptr, image, 10, 10, 1);
  EXPECT_EQ(s.GetPickupCount(), 0);
  EXPECT_GT(s.GetPickupWindowByIndex(0)->Width(), 0);
}

TEST_F(StrokeTest, SwitchesRechooseTheWriters) {
  TStroke s(2);
  s.SetChanged(false);
  EXPECT_TRUE(s.SetUseTone(true, true));
  EXPECT_TRUE(s.IsChanged());
  EXPECT_EQ(GetImageStage1(), &ImageValueTone);
  EXPECT_FALSE(s.SetUseTone(true, true));
  s.SetChanged(false);
  EXPECT_TRUE(s.SetKeepAlpha(true, true));
  EXPECT_FALSE(s.IsChanged());
  EXPECT_EQ(GetColourWriter(), &BlendColor);
}

// ---------------------------------------------------------------------------------------------
// Pen settings

TEST(PenSetting, DefaultsByType) {
  SPenSetting r;
  ASSERT_TRUE(InitPenSetting(r, kPenWatercolour));
  EXPECT_EQ(r.min, 0.333f);
  uint32_t bits;
  std::memcpy(&bits, &r.min, 4);
  EXPECT_EQ(bits, 0x3EAA7EFAu);
  EXPECT_EQ(r.width, 16);
  EXPECT_EQ(r.effect, 65);
  EXPECT_EQ(r.ifSize, 1);
  ASSERT_TRUE(InitPenSetting(r, kPenPen));
  EXPECT_EQ(r.min, 0.75f);  // kept though consumers read MIN as percent
  ASSERT_TRUE(InitPenSetting(r, kPenRubPen));
  EXPECT_EQ(r.opaque, 0.6f);
  EXPECT_EQ(r.penSpacing, 0.04f);
  EXPECT_EQ(r.ifTransparency, 1);
  EXPECT_EQ(r.ifSize, 0);
  EXPECT_FALSE(InitPenSetting(r, kPenBlur2));
  EXPECT_EQ(r.min, 1.0f);
  EXPECT_EQ(r.penSpacing, 0.5f);
  EXPECT_EQ(r.airMap, 3);
  EXPECT_FALSE(InitPenSetting(r, 9));
}

TEST(PenSetting, KeysAndNames) {
  std::string key = "untouched";
  ASSERT_TRUE(PenSettingKey(kPenWatercolour, 2, "root", key));
  EXPECT_EQ(key, "root\\penSetting\\wc2");
  ASSERT_TRUE(PenSettingKey(kPenLighten, 0, "r", key));
  EXPECT_EQ(key, "r\\penSetting\\lighten0");
  EXPECT_FALSE(PenSettingKey(9, 0, "r", key));
  EXPECT_EQ(key, "r\\penSetting\\lighten0");
  std::string name;
  ASSERT_TRUE(PenTypeName(kPenRubPen, name));
  EXPECT_EQ(name, "rubpen");
}

class PenSettingRegistryTest : public test::TempFolderTest {
 protected:
  PenSettingRegistryTest() : TempFolderTest("tf-pensetting") {}
  std::string KeyPath() const { return std::string(kRegistryRoot) + "\\penSetting\\pen1"; }
};

TEST_F(PenSettingRegistryTest, RoundTripThroughTheRegistryFile) {
  SPenSetting written;
  InitPenSetting(written, kPenDarken);
  written.gamma = 2.5f;
  written.useTone = 1;
  written.airMap = 255;
  {
    CRegistry store(dir_);
    CRegistryKey key(&store);
    ASSERT_TRUE(key.OpenKey("\\" + KeyPath(), true));
    ASSERT_TRUE(WritePenSetting(key, written));
    ASSERT_TRUE(store.Save());
    double stored;
    ASSERT_TRUE(key.ReadDouble("WIDTH", stored));  // floats as doubles
    int32_t dword;
    ASSERT_TRUE(key.ReadInteger("ifSIZE", dword));  // switches as dwords 0/1
    EXPECT_EQ(dword, 1);
  }
  CRegistry store(dir_);
  ASSERT_TRUE(store.Load());
  CRegistryKey key(&store);
  ASSERT_TRUE(key.OpenKey("\\" + KeyPath(), false));
  SPenSetting read;
  InitPenSetting(read, kPenPen);
  ASSERT_TRUE(ReadPenSetting(key, read));
  EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
}

TEST_F(PenSettingRegistryTest, GroupsAreReadWholeOrNotAtAll) {
  CRegistry store(dir_);
  CRegistryKey key(&store);
  ASSERT_TRUE(key.OpenKey("\\" + KeyPath(), true));
  SPenSetting defaults;
  InitPenSetting(defaults, kPenPen);
  // Only MIN and WIDTH: nothing is read.
  key.WriteDouble("MIN", 50);
  key.WriteDouble("WIDTH", 9);
  SPenSetting r = defaults;
  EXPECT_FALSE(ReadPenSetting(key, r));
  EXPECT_EQ(std::memcmp(&r, &defaults, sizeof r), 0);
  // Add GAMMA and the effect group: both groups read, the switches are missing.
  key.WriteDouble("GAMMA", 2);
  key.WriteDouble("EFFECT", 1);
  key.WriteDouble("ENV", 2);
  key.WriteDouble("SPEED", 3);
  key.WriteBool("ifSIZE", false);
  EXPECT_FALSE(ReadPenSetting(key, r));
  EXPECT_EQ(r.min, 50);
  EXPECT_EQ(r.width, 9);
  EXPECT_EQ(r.speed, 3);
  EXPECT_EQ(r.ifSize, defaults.ifSize);
  // A value of the wrong kind reads as missing.
  key.WriteString("ifTRANSPARENCY", "1");
  key.WriteBool("ifEDGE", true);
  EXPECT_FALSE(ReadPenSetting(key, r));
  EXPECT_EQ(r.ifSize, defaults.ifSize);
  // The last group needs airMap too.
  key.WriteBool("ifTRANSPARENCY", true);
  key.WriteBool("useTone", true);
  key.WriteBool("useGradation", true);
  key.WriteDouble("opaque", 0.5);
  key.WriteDouble("penSpacing", 0.25);
  EXPECT_FALSE(ReadPenSetting(key, r));
  EXPECT_EQ(r.useTone, 1);
  EXPECT_EQ(r.opaque, defaults.opaque);
  key.WriteInteger("airMap", 1);
  EXPECT_TRUE(ReadPenSetting(key, r));
  EXPECT_EQ(r.opaque, 0.5f);
  EXPECT_EQ(r.airMap, 1);
}

// Floats from the registry may be NaN, infinite or beyond the float range: the stroke clamps them.
TEST_F(PenSettingRegistryTest, NonFiniteValuesReachTheStrokeClamped) {
  CRegistry store(dir_);
  CRegistryKey key(&store);
  ASSERT_TRUE(key.OpenKey("\\" + KeyPath(), true));
  SPenSetting r;
  InitPenSetting(r, kPenPen);
  ASSERT_TRUE(WritePenSetting(key, r));
  key.WriteDouble("WIDTH", std::numeric_limits<double>::quiet_NaN());
  key.WriteDouble("opaque", 1e300);
  key.WriteDouble("penSpacing", -1e300);
  ASSERT_TRUE(ReadPenSetting(key, r));
  EXPECT_TRUE(std::isnan(r.width));
  EXPECT_TRUE(std::isinf(r.opaque));
  TStroke s(0);
  s.SetPenSetting(r);
  EXPECT_FLOAT_EQ(s.GetWidth(), 0.1f);
  EXPECT_FLOAT_EQ(s.GetStoredOpacity(), 1.0f);
  EXPECT_FLOAT_EQ(s.GetStoredSpacing(), 0.02f);
  SPenSetting back;
  s.GetPenSetting(back);
  EXPECT_EQ(back.width, 0.1f);
}

}  // namespace
}  // namespace tf
