// Tool settings: kind tables, TPaintParam conversions, previews and the built-in pen icons.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "document/BlendMode.h"
#include "paint/FalloffMap.h"
#include "paint/NibPreset.h"
#include "paint/PaintParam.h"
#include "paint/PenIconData.h"
#include "paint/PenMethod.h"
#include "paint/PenSetting.h"
#include "paint/Stroke.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "raster/BmpData.h"
#include "raster/FlatImage.h"
#include "raster/MemoryGraphic.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

std::unique_ptr<TChannel> InkChannel(int w, int h) {
  auto channel = std::make_unique<TChannel>(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      *PixelAddr8(channel->View(), x, y) = static_cast<uint8_t>((x * 29 + y * 7) & 0xFF);
  }
  return channel;
}

// An edited pencil: every field away from its default.
void EditPencil(TPaintParam& p) {
  p.SetOpaque(0.735f);
  p.SetPenSpacing(0.27f);
  p.SetEffect(12);
  p.SetEnv(300);
  p.SetSpeed(7);
  p.SetGamma(1.37f);
  p.SetIfSize(1);
  p.SetIfTransparency(1);
  p.SetUseGradation(1);
  p.SetUseTone(0);
  p.SetWidth(12.5f);
  p.SetMin(0.25f);
  p.SetSizeThresholds(3, 9);
  p.SetNibRatio(0.6f);
  p.SetNibAngle(-30.0f);
  p.SetAirMap(5);
  p.SetAirMapParam1(0.2f);
  p.SetAirMapParam2(0.1f);
  p.SetNibFlag(1);
}

TEST(PaintKindTest, NewKindFiveAndSetKindRules) {
  TPaintParam p(5);
  EXPECT_EQ(p.engine, 0);
  EXPECT_EQ(p.airMap, 7);
  EXPECT_EQ(p.opaque, 1.0f);
  EXPECT_EQ(p.penSpacing, 0.1f);
  EXPECT_EQ(p.width, 1.0f);
  EXPECT_EQ(p.nibSerialId, -1);
  EXPECT_EQ(Cp932ToUtf8(p.name), "ぼかし");
  EXPECT_EQ(p.name, Utf8ToCp932("ぼかし"));  // names are code page 932 bytes

  TMTC icon(8, 8);
  p.SetIcon(&icon);
  auto channel = InkChannel(4, 4);
  p.SetNibImage(channel.get());
  p.nibSerialId = 42;
  ASSERT_TRUE(p.hasIcon && p.hasNibImage);
  p.SetKind(12);
  EXPECT_EQ(p.nibSerialId, 42);
  EXPECT_FALSE(p.hasIcon);
  EXPECT_EQ(p.icon, nullptr);
  EXPECT_FALSE(p.hasNibImage);
  EXPECT_EQ(p.nibImage, nullptr);
  EXPECT_EQ(p.settingMask, 0x002FFF8Fu);
  EXPECT_EQ(p.airMapMode, 2);
}

TEST(PaintKindTest, KindTablesAndLookups) {
  const uint8_t airMaps[18] = {7, 7, 7, 0, 0, 7, 5, 5, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (uint8_t k = 0; k < 18; ++k) {
    TPaintParam p(k);
    EXPECT_EQ(p.airMap, airMaps[k]) << int(k);
    EXPECT_EQ(PaintKindEngine(k), k == 5 ? 0 : (k < 9 ? 1 : 2));
    uint8_t oldKind = 99;
    ASSERT_TRUE(PenTypeOldPaintKind(oldKind, PaintKindPenType(k)));
    if (k < 9) {
      EXPECT_EQ(oldKind, k);
    }
  }
  EXPECT_EQ(Cp932ToUtf8(TPaintParam(8).name), "覆い焼き");
  EXPECT_EQ(Cp932ToUtf8(TPaintParam(17).name), "覆い焼き");
  EXPECT_EQ(Cp932ToUtf8(TPaintParam(15).name), "のばし");
  // Past kind 17 nothing is found.
  EXPECT_EQ(PaintKindEngine(18), kNotFoundKind);
  EXPECT_EQ(PaintKindSettingMask(40), 0u);
  EXPECT_EQ(PaintKindDefaultIcon(18), nullptr);
  EXPECT_EQ(PaintKindSettingMask(0x80 | 11), 0x002FFFFFu);  // 7-bit masking
  uint8_t kind = 0;
  EXPECT_FALSE(PenTypeOldPaintKind(kind, 9));

  const uint8_t oldIndex[18] = {0, 1, 2, 3, 4, 4, 5, 6, 7, 255, 255, 255, 255, 255, 255, 255, 255, 255};
  for (uint8_t k = 0; k < 18; ++k) {
    EXPECT_EQ(PaintKindOldPenIndex(k), oldIndex[k]);
    EXPECT_EQ(PaintKindPenMethodIndex(k), k >= 9 ? k - 9 : 255);
  }
  for (uint8_t n = 0; n < 8; ++n) {
    EXPECT_EQ(PaintKindOldPenIndex(OldPenPaintKind(n)), n);
    EXPECT_EQ(OldPenSettingType(n), PaintKindPenType(OldPenPaintKind(n)));
    EXPECT_EQ(PenIndexPaintKind(1, 0, n), OldPenPaintKind(n));
  }
  EXPECT_EQ(PenIndexPaintKind(2, 4, 0), 13);
}

TEST(PaintKindTest, PenParamKindsRoundTripAndAClearedRecordIsTheAirbrush) {
  for (uint8_t k = 9; k < 18; ++k) {
    SPenParam p;
    ASSERT_TRUE(PenParamForKind(p, k));
    uint8_t back = 0;
    ASSERT_TRUE(PenParamPaintKind(back, p));
    EXPECT_EQ(back, k);
  }
  SPenParam cleared{};
  uint8_t kind = 0;
  ASSERT_TRUE(PenParamPaintKind(kind, cleared));
  EXPECT_EQ(kind, 12);
  SPenParam p;
  EXPECT_FALSE(PenParamForKind(p, 8));
  p.type = 7;
  EXPECT_FALSE(PenParamPaintKind(kind, p));
  TPaintParam old(3);
  EXPECT_FALSE(old.SaveToPenParam(p));
}

TEST(PaintKindTest, AirMapConversionTablesWithOutOfRangeInputs) {
  struct Case {
    uint8_t index, gradeKind, strokeAirMap;
  };
  const Case cases[] = {{0, 3, 3}, {1, 4, 0}, {2, 0, 0},     {3, 0, 1},     {4, 1, 0},
                        {5, 2, 2}, {6, 5, 4}, {7, 255, 255}, {8, 255, 255}, {200, 255, 255}};
  for (const Case& c : cases) {
    EXPECT_EQ(AirMapToGradeKind(c.index), c.gradeKind) << int(c.index);
    EXPECT_EQ(AirMapToStrokeAirMap(c.index), c.strokeAirMap) << int(c.index);
  }
  const uint8_t fromGrade[] = {3, 4, 5, 0, 1, 6, 7};
  for (uint8_t k = 0; k < 7; ++k) EXPECT_EQ(GradeKindToAirMap(k), fromGrade[k]);
  for (int k : {7, 100, 254, 255}) EXPECT_EQ(GradeKindToAirMap(static_cast<uint8_t>(k)), 7) << k;
  const uint8_t fromStroke[] = {2, 3, 5, 0, 6};
  for (int v = 0; v < 5; ++v) EXPECT_EQ(StrokeAirMapToAirMap(v), fromStroke[v]);
  for (int v : {5, 6, 127, 255, -1, 1 << 30}) EXPECT_EQ(StrokeAirMapToAirMap(v), 7) << v;
  // Every index but the flat one (2, shared with the circle) survives the grade-map road.
  for (uint8_t i = 0; i < 8; ++i) {
    if (i != 2) {
      EXPECT_EQ(GradeKindToAirMap(AirMapToGradeKind(i)), i);
    }
  }
}

TEST(PaintKindTest, RegressionStrokeAirMapOfNoneReadsBackAsNone) {
  // SaveToPenSetting writes 127 for "none"; reading it indexed a six-entry table.
  TPaintParam p(3);  // airbrush of the older engine: air-map choice offered
  p.SetAirMap(7);
  SPenSetting s{};
  p.SaveToPenSetting(s);
  EXPECT_EQ(s.airMap, 127);
  TPaintParam q(3);
  q.LoadFromPenSetting(s);
  EXPECT_EQ(q.airMap, 7);
}

TEST(PaintKindTest, NibAngleRoundingAndWrapping) {
  struct Case {
    float degrees;
    int32_t stored;
  };
  const Case cases[] = {{-30.0f, 3300}, {360.0f, 0}, {0.0f, 0},     {45.0f, 450}, {359.96f, 0},
                        {-0.04f, 0},    {720.5f, 5}, {12.25f, 123}, {-359.9f, 1}};
  for (const Case& c : cases) {
    TPaintParam p(9);
    p.SetNibAngle(c.degrees);
    SNibShape s;
    p.GetNibShape(s);
    EXPECT_EQ(s.angle, c.stored) << c.degrees;
  }
  TPaintParam p(9);
  p.SetWidth(3.456f);
  p.SetNibRatio(1.7f);
  p.SetMin(0.3333f);
  SNibShape s;
  p.GetNibShape(s);
  EXPECT_EQ(s.size, 346);
  EXPECT_EQ(s.aspect, 1000);  // clamped
  EXPECT_EQ(s.minRatio, 333);
  auto channel = InkChannel(10, 40);
  p.SetNibImage(channel.get());
  p.SetNibScale(0.5f);
  p.GetNibShape(s);
  EXPECT_EQ(s.size, 5000);  // the scale in percent, stored x100
}

TEST(PaintKindTest, ImageNibSizesAndScaleRange) {
  TPaintParam p(9);
  EXPECT_FLOAT_EQ(p.GetMinWidth(), 0.1f);
  EXPECT_FLOAT_EQ(p.GetMaxWidth(), 200.0f);
  EXPECT_FLOAT_EQ(p.GetMinNibScale(), 0.01f);
  EXPECT_FLOAT_EQ(p.GetMaxNibScale(), 5.0f);
  auto channel = InkChannel(10, 40);
  p.SetNibImage(channel.get());
  EXPECT_FLOAT_EQ(p.GetMinNibScale(), 0.4f);
  EXPECT_FLOAT_EQ(p.GetMaxNibScale(), 5.0f);
  EXPECT_FLOAT_EQ(p.GetMinWidth(), 8.0f);
  EXPECT_FLOAT_EQ(p.GetMaxWidth(), 100.0f);
  EXPECT_EQ(p.GetParametricWidth(), 0.0f);
  p.SetNibScale(2.0f);
  EXPECT_FLOAT_EQ(p.GetEffectiveWidth(), 40.0f);
  EXPECT_EQ(p.nibImage[0], 255 - channel->GetPixel(0, 0));
  EXPECT_EQ(p.nibImage[41], 255 - channel->GetPixel(1, 4));
  float lo, hi;
  BitmapNibScaleRange(1000, 2000, lo, hi);
  EXPECT_FLOAT_EQ(lo, 0.01f);
  EXPECT_FLOAT_EQ(hi, 0.256f);
  BitmapNibScaleRange(0, 0, lo, hi);
  EXPECT_FLOAT_EQ(lo, 0.01f);
  EXPECT_FLOAT_EQ(hi, 5.0f);
}

TEST(PaintKindTest, GradeMapByAirMapModeAndIndex) {
  struct Case {
    uint8_t kind, airMap, ifEdge;
    bool result;
    uint8_t curve;
    int32_t core;
  };
  const Case cases[] = {
      {12, 5, 0, true, 2, 200},   {12, 1, 0, true, 4, 200},  {3, 2, 0, false, 3, 900},
      {3, 7, 0, false, 255, 200}, {0, 7, 1, false, 0, 200},  {0, 7, 0, false, 3, 900},
      {4, 2, 1, false, 0, 200},   {12, 7, 0, false, 3, 200}, {12, 2, 0, false, 3, 200},
  };
  for (const Case& c : cases) {
    TPaintParam p(c.kind);
    p.SetAirMap(c.airMap);
    p.SetIfEdge(c.ifEdge);
    p.SetAirMapParam1(0.2f);
    p.SetAirMapParam2(1.5f);
    SGradeMap g;
    EXPECT_EQ(p.GetGradeMap(g), c.result) << int(c.kind) << " " << int(c.airMap);
    EXPECT_EQ(g.kind, c.curve) << int(c.kind) << " " << int(c.airMap);
    EXPECT_EQ(g.core, c.core) << int(c.kind) << " " << int(c.airMap);
    EXPECT_EQ(g.floor, 1000);  // clamped
  }
}

TEST(PaintKindTest, StrokeAndPenParamRounding) {
  TPaintParam p(11);
  p.SetOpaque(0.7349f);
  p.SetPenSpacing(0.274f);
  p.SetGamma(1.379f);
  p.SetSizeThresholds(2.5f, 7.49f);
  p.SetEffect(10.5f);
  p.SetEnv(99.49f);
  p.SetSpeed(70000.0f);
  SStrokeParam s;
  p.SaveToStrokeParam(s);
  EXPECT_EQ(s.opacity, 734);
  EXPECT_EQ(s.spacing, 270);
  EXPECT_EQ(s.gamma, 137);
  EXPECT_EQ(s.sizeThreshold1, 3);
  EXPECT_EQ(s.sizeThreshold2, 7);
  SPenParam pen;
  ASSERT_TRUE(p.SaveToPenParam(pen));
  EXPECT_EQ(pen.type, 1);
  EXPECT_EQ(pen.effect, 11);
  EXPECT_EQ(pen.env, 99);
  EXPECT_EQ(pen.speed, 65535);
}

TEST(PaintKindTest, PenSettingRoundTripThroughTheRegistryFile) {
  test::ScopedTempFolder folder("tf-paintparam");
  ASSERT_FALSE(folder.Path().empty());
  for (uint8_t kind : {0, 1, 3, 6}) {
    TPaintParam p(kind);
    p.SetOpaque(0.5f);
    p.SetPenSpacing(0.3f);
    p.SetEffect(1.5f);
    p.SetEnv(2.5f);
    p.SetSpeed(3.5f);
    p.SetGamma(0.8f);
    p.SetIfSize(1);
    p.SetUseTone(1);
    p.SetWidth(7.25f);
    p.SetMin(0.35f);
    p.SetAirMap(kind == 3 ? 6 : p.airMap);  // an index the stroke's values keep
    p.SetIfEdge(1);
    SPenSetting s;
    InitPenSetting(s, PaintKindPenType(kind));
    ASSERT_TRUE(p.SaveToPenSetting(s));
    EXPECT_FLOAT_EQ(s.min, 35.0f);  // percent in the pen setting
    const std::string key = "\\" + std::string(kRegistryRoot) + "\\penSetting\\t" + std::to_string(kind);
    {
      CRegistry store(folder.Path());
      CRegistryKey registry(&store);
      ASSERT_TRUE(registry.OpenKey(key, true));
      ASSERT_TRUE(WritePenSetting(registry, s));
      ASSERT_TRUE(store.Save());
    }
    CRegistry store(folder.Path());
    ASSERT_TRUE(store.Load());
    CRegistryKey registry(&store);
    ASSERT_TRUE(registry.OpenKey(key, false));
    SPenSetting read{};
    ASSERT_TRUE(ReadPenSetting(registry, read));
    bool made = false;
    auto q = TPaintParam::CreateFromPenSetting(kind, read, made);
    ASSERT_TRUE(made);
    EXPECT_FLOAT_EQ(q->opaque, 0.5f);
    EXPECT_FLOAT_EQ(q->penSpacing, 0.3f);
    EXPECT_FLOAT_EQ(q->effect, 1.5f);
    EXPECT_FLOAT_EQ(q->gamma, 0.8f);
    EXPECT_FLOAT_EQ(q->width, 7.25f);
    EXPECT_NEAR(q->min, 0.35f, 1e-6f);
    EXPECT_EQ(q->ifSize, 1);
    EXPECT_EQ(q->useTone, 1);
    EXPECT_EQ(q->airMap, p.airMap) << int(kind);
    // The edge switch travels only for kinds without the air-map choice that offer it.
    const bool edge = !(p.settingMask & kSettingAirMap) && (p.settingMask & kSettingIfEdge);
    EXPECT_EQ(q->ifEdge, edge ? 1 : 0) << int(kind);
  }
}

TEST(PaintKindTest, NibPresetRoundTripParametricAndImage) {
  TPaintParam p(9);
  EditPencil(p);
  CPenShapeObj nib;
  ASSERT_TRUE(p.SaveToPenShape(&nib));
  TPaintParam q(9);
  ASSERT_TRUE(q.LoadFromPenShape(&nib));
  EXPECT_FLOAT_EQ(q.width, 12.5f);
  EXPECT_NEAR(q.min, 0.25f, 5e-4f);
  EXPECT_NEAR(q.nibRatio, 0.6f, 5e-4f);
  EXPECT_FLOAT_EQ(q.nibAngle, 330.0f);
  EXPECT_EQ(q.airMap, 5);
  EXPECT_NEAR(q.airMapParam1, 0.2f, 5e-4f);
  EXPECT_NEAR(q.airMapParam2, 0.1f, 5e-4f);
  EXPECT_EQ(q.nibFlag, 1);
  EXPECT_FALSE(q.hasNibImage);

  auto channel = InkChannel(10, 40);
  p.SetNibImage(channel.get());
  p.SetNibScale(1.25f);
  p.nibSerialId = 777;
  ASSERT_TRUE(p.SaveToPenShape(&nib));
  EXPECT_TRUE(nib.IsBitmapNib());
  EXPECT_EQ(nib.GetScalePercent(), 125);
  EXPECT_EQ(nib.SerialId(), 777u);
  TPaintParam r(9);
  ASSERT_TRUE(r.LoadFromPenShape(&nib));
  ASSERT_TRUE(r.hasNibImage);
  EXPECT_EQ(r.nibImageWidth, 10);
  EXPECT_EQ(r.nibImageHeight, 40);
  EXPECT_EQ(std::memcmp(r.nibImage.get(), p.nibImage.get(), 400), 0);
  EXPECT_FLOAT_EQ(r.nibScale, 1.25f);
  EXPECT_EQ(r.nibSerialId, 777);
  EXPECT_FALSE(r.LoadFromPenShape(nullptr));
}

TEST(PaintKindTest, RegressionSaveToPenShapeOfFlatAirMapLeavesTheNibUntouched) {
  CPenShapeObj nib;
  nib.SetParametric(nullptr, nullptr, nullptr);
  ASSERT_TRUE(nib.SetImage(InkChannel(12, 12), true));
  const SNibShape shapeBefore = nib.Shape();
  const uint32_t serialBefore = nib.SerialId();
  for (uint8_t airMap : {2, 7}) {
    TPaintParam p(3);
    p.SetAirMap(airMap);
    EXPECT_FALSE(p.SaveToPenShape(&nib));
    EXPECT_TRUE(nib.IsBitmapNib());  // the image was freed before the check once
    EXPECT_TRUE(nib.Shape().Equal(shapeBefore));
    EXPECT_EQ(nib.SerialId(), serialBefore);
  }
}

TEST(PaintKindTest, StrokeRoundTripForOlderKinds) {
  for (uint8_t kind : {0, 1, 2, 3, 4, 5, 6, 7, 8}) {
    TPaintParam p(kind);
    p.SetOpaque(0.625f);
    p.SetEffect(3);
    p.SetEnv(4);
    p.SetSpeed(5);
    p.SetGamma(1.5f);
    p.SetIfSize(1);
    p.SetWidth(6.5f);
    p.SetMin(0.2f);
    p.SetPenSpacing(0.25f);
    TStroke stroke(0);
    ASSERT_TRUE(p.ApplyToStroke(stroke));
    EXPECT_EQ(stroke.GetPenType(), PaintKindPenType(kind));
    TPaintParam q(kind == 5 ? 0 : 9);
    ASSERT_TRUE(q.LoadFromStroke(&stroke));
    EXPECT_EQ(q.kind, kind);
    EXPECT_FLOAT_EQ(q.effect, 3.0f);
    EXPECT_FLOAT_EQ(q.gamma, 1.5f);
    EXPECT_FLOAT_EQ(q.width, 6.5f);
    EXPECT_NEAR(q.min, 0.2f, 1e-6f);
    EXPECT_EQ(q.ifSize, 1);
    EXPECT_FLOAT_EQ(q.opaque, stroke.GetOpacity());
    EXPECT_FLOAT_EQ(q.penSpacing, stroke.GetSpacing());
  }
  TPaintParam p(0);
  EXPECT_FALSE(p.LoadFromStroke(nullptr));
}

TEST(PaintKindTest, LoadFromPenStateTakesTheFalloffOfTheGradeMap) {
  TPaintParam p(16);
  EditPencil(p);
  CPenShapeObj nib;
  ASSERT_TRUE(p.SaveToPenShape(&nib));
  SStrokeParam stroke;
  p.SaveToStrokeParam(stroke);
  SPenParam pen;
  ASSERT_TRUE(p.SaveToPenParam(pen));
  CGradeMapObj map(64);
  SGradeMap g{};
  g.Init();
  g.kind = kGradeCircle;
  g.core = 500;
  g.floor = 250;
  map.SetProfile(g);
  TPaintParam q(0);
  ASSERT_TRUE(q.LoadFromPenState(&map, &nib, stroke, pen));
  EXPECT_EQ(q.kind, 16);
  EXPECT_EQ(q.airMap, 3);
  EXPECT_FLOAT_EQ(q.airMapParam1, 0.5f);
  EXPECT_FLOAT_EQ(q.airMapParam2, 0.25f);
  EXPECT_FLOAT_EQ(q.width, 12.5f);
  EXPECT_FLOAT_EQ(q.opaque, 0.735f);
  EXPECT_FLOAT_EQ(q.gamma, 1.37f);
  EXPECT_FLOAT_EQ(q.sizeThreshold2, 9.0f);
  EXPECT_FALSE(q.LoadFromPenState(nullptr, &nib, stroke, pen));
  pen.type = 9;
  EXPECT_FALSE(q.LoadFromPenState(&map, &nib, stroke, pen));
}

TEST(PaintKindTest, EffectLabelsAndHints) {
  std::string text;
  PaintKindEffectLabel(11, 2, text);
  EXPECT_EQ(text, "影響距離");
  TPaintParam(11).GetEffectLabel(2, text);
  EXPECT_EQ(text, "効果の影響距離");
  TPaintParam(2).GetEffectLabel(0, text);
  EXPECT_EQ(text, "のばし効果");
  PaintKindEffectLabel(5, 0, text);
  EXPECT_EQ(text, "ぼかし強度");
  PaintKindEffectLabel(17, 1, text);
  EXPECT_EQ(text, "覆い焼き");
  PaintKindEffectLabel(16, 0, text);
  EXPECT_EQ(text, "露出量");
  PaintKindEffectLabel(9, 0, text);
  EXPECT_EQ(text, "効果");
  PaintKindEffectLabel(13, 3, text);
  EXPECT_EQ(text, "効果");
  TPaintParam(13).GetEffectHint(1, text);
  EXPECT_EQ(text, "ぼかし|ぼかしの変更");
}

TEST(PaintKindTest, BlendModeListRoundTrips) {
  for (uint32_t id = 0; id < 22; ++id) EXPECT_EQ(BlendModeToLayerMode(LayerModeToBlendMode(id)), id);
}

// ---- Icons ----

TEST(PenIconTest, BuiltinIconsAreTheResourceFilesReadByOurBmpReader) {
  const char* names[] = {"spread", "pen", "wc", "blur", "eraser", "airbrush", "rubpen", "darken", "lighten"};
  const uint8_t* blobs[] = {kPenIcon_spread,   kPenIcon_pen,    kPenIcon_wc,     kPenIcon_blur,   kPenIcon_eraser,
                            kPenIcon_airbrush, kPenIcon_rubpen, kPenIcon_darken, kPenIcon_lighten};
  for (size_t i = 0; i < std::size(names); ++i) {
    std::ifstream file(std::string(TF_TEST_DATA_DIR) + "/../../resources/pen_icons/" + names[i] + ".bmp",
                       std::ios::binary);
    ASSERT_TRUE(file) << names[i];
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kPenIconBytes)) << names[i];
    EXPECT_EQ(std::memcmp(bytes.data(), blobs[i], bytes.size()), 0)
        << names[i] << ": run scripts/make_pen_icons.py";
    TMTC image;
    ASSERT_TRUE(LoadBMPFromMemory(image, bytes.data(), static_cast<int64_t>(bytes.size())));
    EXPECT_EQ(image.Width(), 32);
    EXPECT_EQ(image.Height(), 32);
  }
}

TEST(PenIconTest, KindsShowTheirPenTypeIconSpreadItsOwnBlur2TheBlurPicture) {
  ReleasePenIcons();
  ASSERT_TRUE(BuildPenIcons());
  EXPECT_EQ(PaintKindDefaultIcon(5), PaintKindDefaultIcon(4));
  EXPECT_EQ(PaintKindDefaultIcon(5), PaintKindDefaultIcon(13));
  EXPECT_EQ(PaintKindDefaultIcon(15), BuiltinSpreadIcon());
  EXPECT_NE(PaintKindDefaultIcon(15), PaintKindDefaultIcon(14));
  EXPECT_EQ(PaintKindDefaultIcon(14), BuiltinPenIcon(kPenRubPen));
  for (uint8_t k = 0; k < 18; ++k) {
    TMTC* icon = PaintKindDefaultIcon(k);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->Width(), 32);
  }
  // Rows top first: the BMP's last stored row is the picture's top row.
  TMTC raw;
  ASSERT_TRUE(LoadBMPFromMemory(raw, kPenIcon_pen, kPenIconBytes));
  EXPECT_EQ(BuiltinPenIcon(kPenPen)->GetPixel(3, 0) & 0xFFFFFF, raw.GetPixel(3, 31) & 0xFFFFFF);
  ReleasePenIcons();                              // blur2 freed once (the sanitizer would catch a double free)
  EXPECT_NE(BuiltinPenIcon(kPenBlur2), nullptr);  // built again on demand
}

TEST(PenIconTest, OwnIconAndDrawIcon) {
  TPaintParam p(9);
  EXPECT_EQ(p.GetIcon(), PaintKindDefaultIcon(9));
  TMTC red(4, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) *red.Pixel(x, y) = 0xFFFF0000u;
  }
  p.SetIcon(&red);
  ASSERT_TRUE(p.hasIcon);
  EXPECT_NE(p.GetIcon(), &red);
  TMemoryGraphic graphic(20, 20, 0x80000000u);
  EXPECT_FALSE(p.DrawIcon(graphic, TRect{5, 5, 5, 9}));
  ASSERT_TRUE(p.DrawIcon(graphic, TRect{2, 2, 10, 10}));
  EXPECT_EQ(graphic.GetPixel(5, 5), 0x80FF0000u);  // colour of the icon, alpha of the background
  EXPECT_EQ(graphic.GetPixel(12, 12), 0x80000000u);
  p.SetIcon(nullptr);
  EXPECT_FALSE(p.hasIcon);
}

// ---- Previews ----

// The filled curve computed apart: for each of the 4w sample columns the curve height in samples,
// from the formulas in double precision.
double ModelCurve(int index, double x) {
  switch (index) {
    case 0: return 1 - x;
    case 1: return std::exp(std::log(1 - x) * (std::log(0.3) / std::log(0.5)));
    case 3: return std::sqrt(1 - x * x);
    case 4: return 1 - x * x;
    case 5: return 1 - x * x * (3 - 2 * x);
    case 6: return 1 - std::sqrt(1 - (1 - x) * (1 - x));
    default: return 1;
  }
}

TEST(PreviewTest, AirMapPreviewMatchesAModelOfTheFilledCurve) {
  const int w = 24, h = 16;
  const TRect rect{3, 2, 3 + w, 2 + h};
  for (int index = 0; index < 8; ++index) {
    for (const auto& [core, floor] : {std::pair{0.0, 0.0}, std::pair{0.3, 0.0}, std::pair{0.0, 0.25},
                                      std::pair{0.5, 0.4}, std::pair{1.0, 0.0}}) {
      TMemoryGraphic graphic(32, 20, 0xFF000000u);
      ASSERT_TRUE(DrawAirMapPreview(graphic, rect, static_cast<uint8_t>(index), 0xFFFFFFFFu,
                                    static_cast<float>(floor), static_cast<float>(core)));
      int worst = 0;
      for (int py = 0; py < h; ++py) {
        for (int px = 0; px < w; ++px) {
          double coverage = 0;
          for (int c = 0; c < 4; ++c) {
            const int i = 4 * px + c;
            const double f = i <= 2 * w ? i : std::max(4 * w - i - 1, 0);
            const double x = 1 - f / (2.0 * w);
            double v = 1;
            if (x > 0 && floor < 1 && core < 1) {
              const double xs = core > 0 ? std::clamp((x - core) / (1 - core), 0.0, 1.0) : x;
              v = std::clamp(floor + (1 - floor) * ModelCurve(index, xs), 0.0, 1.0);
            }
            coverage += std::clamp(v * 4 * h - 4 * py, 0.0, 4.0);
          }
          const int expected = static_cast<int>(255 * coverage / 16);
          const uint32_t pixel = graphic.GetPixel(rect.left + px, rect.bottom - 1 - py);
          EXPECT_EQ(pixel >> 24, 255u);
          worst = std::max(worst, std::abs(static_cast<int>(pixel & 0xFF) - expected));
        }
      }
      // Rounding to whole samples moves at most one sample in each of the four columns.
      EXPECT_LE(worst, 64) << index << " core " << core << " floor " << floor;
      // Outside the rectangle nothing changed.
      EXPECT_EQ(graphic.GetPixel(1, 1), 0xFF000000u);
    }
  }
  TMemoryGraphic graphic(10, 10);
  EXPECT_FALSE(DrawAirMapPreview(graphic, TRect{0, 0, 0, 5}, 0, 0xFFFFFFFFu, 0, 0));
  EXPECT_FALSE(DrawAirMapPreview(graphic, TRect{5, 5, 11, 8}, 0, 0xFFFFFFFFu, 0, 0));
}

TEST(PreviewTest, AirMapPreviewOfTheLinearCurveIsATriangle) {
  TMemoryGraphic graphic(8, 8, 0xFF000000u);
  ASSERT_TRUE(DrawAirMapPreview(graphic, TRect{0, 0, 8, 8}, 0, 0xFFFFFFFFu, 0, 0));
  // Sample columns 16..19 lie at x = 0, 2/16, 3/16, 4/16 (the columns after the centre count
  // down from 2w - 1): 32, 28, 26, 24 samples of 32.
  EXPECT_EQ(graphic.GetPixel(4, 0) & 0xFF, 255u * 4 / 16);
  EXPECT_EQ(graphic.GetPixel(4, 1) & 0xFF, 255u * 10 / 16);
  EXPECT_EQ(graphic.GetPixel(3, 0) & 0xFF, 255u * 2 / 16);
  EXPECT_EQ(graphic.GetPixel(0, 7) & 0xFF, 255u * 10 / 16);
  EXPECT_EQ(graphic.GetPixel(0, 7) & 0xFF, graphic.GetPixel(7, 7) & 0xFF);
}

TEST(PreviewTest, NibPreviewsOfParametricAndImageNibsDrawHeadless) {
  TPaintParam p(9);
  p.SetWidth(10);
  p.SetNibRatio(0.5f);
  TMemoryGraphic graphic(40, 40, 0xFFFFFFFFu);
  ASSERT_TRUE(p.DrawNibPreview(graphic, 0xFF000000u, 1.0f, true, 0xFF808080u));
  EXPECT_LT(graphic.GetPixel(20, 20) & 0xFF, 60u);   // inked at the centre
  EXPECT_EQ(graphic.GetPixel(20, 10), 0xFFFFFFFFu);  // beyond the short radius (5)
  EXPECT_LT(graphic.GetPixel(12, 20) & 0xFF, 255u);  // within the long radius
  EXPECT_EQ(graphic.GetPixel(2, 2), 0xFFFFFFFFu);

  // Outline mode: the minimum-size ellipse inside in the second colour.
  p.SetMin(0.5f);
  ASSERT_TRUE(p.DrawNibPreview(graphic, 0xFF000000u, 1.0f, false, 0xFFFF0000u));
  EXPECT_EQ(graphic.GetPixel(20, 20) & 0x00FFFFFF, 0x00FF0000u);

  // An image nib: ink on the left half only, hard-edged (no falloff ellipse under it).
  TPaintParam q(9);
  auto channel = std::make_unique<TChannel>(16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) *PixelAddr8(channel->View(), x, y) = x < 8 ? 0 : 255;  // 0 = full ink
  }
  q.SetNibImage(channel.get());
  q.SetNibFlag(1);
  ASSERT_TRUE(q.DrawNibPreview(graphic, 0xFF0000FFu, 1.0f, true, 0));
  EXPECT_EQ(graphic.GetPixel(15, 20), 0xFF0000FFu);
  EXPECT_EQ(graphic.GetPixel(25, 20), 0xFFFFFFFFu);
  // Turned half a circle, the ink is on the right.
  q.SetNibAngle(180);
  ASSERT_TRUE(q.DrawNibPreview(graphic, 0xFF0000FFu, 1.0f, true, 0));
  EXPECT_EQ(graphic.GetPixel(25, 20), 0xFF0000FFu);
  EXPECT_EQ(graphic.GetPixel(15, 20), 0xFFFFFFFFu);

  // The preview record of a nib preset carries the same picture.
  CPenShapeObj nib;
  ASSERT_TRUE(q.SaveToPenShape(&nib));
  SNibPreview fromShape, fromParam;
  NibPreviewFromShape(nib, fromShape);
  q.GetNibPreview(fromParam);
  ASSERT_TRUE(fromShape.hasImage && fromParam.hasImage);
  EXPECT_EQ(std::memcmp(fromShape.image.get(), fromParam.image.get(), 256), 0);
  EXPECT_EQ(fromShape.nibFlag, 1);
  FreeNibPreview(fromShape);
  EXPECT_FALSE(fromShape.hasImage);
  EXPECT_EQ(fromShape.imageScale, 1.0f);
}

}  // namespace
}  // namespace tf
