#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "paint/PaintParam.h"
#include "paint/PenSetting.h"
#include "platform/Registry.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

std::string SlotKey(int32_t pen, int32_t slot) {
  std::string key;
  EXPECT_TRUE(PenSettingKey(OldPenType(pen), slot, std::string(kRegistryRoot), key));
  return key;
}

bool SameRecord(const SPenSetting& a, const SPenSetting& b) {
  return a.min == b.min && a.width == b.width && a.gamma == b.gamma && a.effect == b.effect && a.env == b.env &&
         a.speed == b.speed && a.ifSize == b.ifSize && a.ifTransparency == b.ifTransparency && a.ifEdge == b.ifEdge &&
         a.useTone == b.useTone && a.useGradation == b.useGradation && a.opaque == b.opaque &&
         a.penSpacing == b.penSpacing && a.airMap == b.airMap;
}

TEST(PenSettingSlotsTest, FirstStartGivesEachTypesDefaults) {
  test::ScopedTempFolder folder("pen-slots");
  CRegistry store(folder.Path());
  CPenSettingBlock block;
  ASSERT_TRUE(LoadPenSettings(store, block));
  const uint8_t types[kOldPenCount] = {kPenPen, kPenEraser, kPenWatercolour, kPenAirbrush,
                                       kPenBlur, kPenRubPen, kPenDarken, kPenLighten};
  for (int32_t pen = 0; pen < kOldPenCount; ++pen) {
    EXPECT_EQ(OldPenType(pen), types[pen]);
    SPenSetting expected;
    InitPenSetting(expected, types[pen]);
    for (int32_t slot = 0; slot < kPenSlotCount; ++slot) {
      EXPECT_TRUE(SameRecord(*block.Slot(pen, slot), expected)) << pen << " " << slot;
      EXPECT_EQ(block.Slot(pen, slot), block.Record(pen * 5 + slot));
    }
  }
  EXPECT_FLOAT_EQ(block.Slot(2, 0)->min, 0.333f);  // watercolour
  EXPECT_FLOAT_EQ(block.Slot(3, 4)->opaque, 0.1f);  // airbrush
  // Nothing is written by a load.
  EXPECT_FALSE(store.HasChanges());
  // The accessors refuse what lies outside the block.
  EXPECT_EQ(block.Slot(8, 0), nullptr);
  EXPECT_EQ(block.Slot(0, 5), nullptr);
  EXPECT_EQ(block.Slot(-1, 0), nullptr);
  EXPECT_EQ(block.Record(40), nullptr);
  EXPECT_EQ(block.Record(-1), nullptr);
  EXPECT_EQ(OldPenType(8), 255);
}

TEST(PenSettingSlotsTest, KeyWithOnlyTheFirstGroupKeepsTheOtherDefaults) {
  test::ScopedTempFolder folder("pen-slots");
  CRegistry store(folder.Path());
  const std::string key = SlotKey(2, 3);  // "wc3"
  EXPECT_NE(key.find("\\penSetting\\wc3"), std::string::npos);
  ASSERT_TRUE(store.CreateKey(key));
  store.WriteDouble(key, "MIN", 0.5);
  store.WriteDouble(key, "WIDTH", 40);
  store.WriteDouble(key, "GAMMA", 2);
  store.WriteDouble(key, "ENV", 99);  // its group is incomplete: not read
  CPenSettingBlock block;
  ASSERT_TRUE(LoadPenSettings(store, block));
  const SPenSetting& r = *block.Slot(2, 2);
  SPenSetting defaults;
  InitPenSetting(defaults, kPenWatercolour);
  EXPECT_EQ(r.min, 0.5f);
  EXPECT_EQ(r.width, 40.0f);
  EXPECT_EQ(r.gamma, 2.0f);
  EXPECT_EQ(r.env, defaults.env);
  EXPECT_EQ(r.effect, defaults.effect);
  EXPECT_EQ(r.opaque, defaults.opaque);
  EXPECT_EQ(r.airMap, defaults.airMap);
  EXPECT_TRUE(SameRecord(*block.Slot(2, 1), defaults));
}

TEST(PenSettingSlotsTest, SavedSlotsLoadBackEqualInAFreshStore) {
  test::ScopedTempFolder folder("pen-slots");
  CPenSettingBlock saved;
  {
    CRegistry store(folder.Path());
    ASSERT_TRUE(LoadPenSettings(store, saved));
    for (int32_t i = 0; i < kPenSettingRecordCount; ++i) {
      SPenSetting& r = *saved.Record(i);
      r.min = 0.01f * float(i + 1);
      r.width = 3.5f + float(i);
      r.gamma = 0.25f * float(i % 7 + 1);
      r.effect = float(i * 3);
      r.env = float(100 - i);
      r.speed = float(i) / 3.0f;
      r.ifSize = uint8_t(i & 1);
      r.ifTransparency = uint8_t((i >> 1) & 1);
      r.ifEdge = uint8_t((i >> 2) & 1);
      r.useTone = uint8_t((i >> 3) & 1);
      r.useGradation = uint8_t((i >> 4) & 1);
      r.opaque = 1.0f / float(i + 2);
      r.penSpacing = 0.05f * float(i % 9 + 1);
      r.airMap = i % 8;
    }
    ASSERT_TRUE(SavePenSettings(store, saved));
    ASSERT_TRUE(store.Save());
  }
  CRegistry fresh(folder.Path());
  ASSERT_TRUE(fresh.Load());
  // Every slot has its key with fourteen values.
  for (int32_t pen = 0; pen < kOldPenCount; ++pen) {
    for (int32_t slot = 1; slot <= kPenSlotCount; ++slot) {
      EXPECT_EQ(fresh.ValueNames(SlotKey(pen, slot)).size(), 14u) << pen << " " << slot;
    }
  }
  CPenSettingBlock loaded;
  ASSERT_TRUE(LoadPenSettings(fresh, loaded));
  for (int32_t i = 0; i < kPenSettingRecordCount; ++i) {
    EXPECT_TRUE(SameRecord(*loaded.Record(i), *saved.Record(i))) << i;
  }
}

// Values from the settings file were used unchecked: a NaN or an overflowing width reached the
// item settings, the nib preview and the options pane.
TEST(PenSettingSlotsTest, NonFiniteValuesKeepTheDefaults) {
  test::ScopedTempFolder folder("pen-slots");
  CRegistry store(folder.Path());
  const std::string key = SlotKey(0, 1);
  ASSERT_TRUE(store.CreateKey(key));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* name;
    double value;
  } values[] = {{"MIN", nan}, {"WIDTH", 1e300}, {"GAMMA", 3.0}, {"EFFECT", -1e300}, {"ENV", 12.0},
                {"SPEED", std::numeric_limits<double>::infinity()}, {"opaque", 0.5}, {"penSpacing", nan}};
  for (const auto& v : values) store.WriteDouble(key, v.name, v.value);
  for (const char* name : {"ifSIZE", "ifTRANSPARENCY", "ifEDGE", "useTone", "useGradation"}) {
    store.WriteDword(key, name, 1);
  }
  store.WriteDword(key, "airMap", 5);
  CPenSettingBlock block;
  ASSERT_TRUE(LoadPenSettings(store, block));
  SPenSetting defaults;
  InitPenSetting(defaults, kPenPen);
  const SPenSetting& r = *block.Slot(0, 0);
  EXPECT_EQ(r.min, defaults.min);
  EXPECT_EQ(r.width, defaults.width);
  EXPECT_EQ(r.effect, defaults.effect);
  EXPECT_EQ(r.speed, defaults.speed);
  EXPECT_EQ(r.penSpacing, defaults.penSpacing);
  // Finite values stand, also out of the usual ranges (the stroke and the number models clamp).
  EXPECT_EQ(r.gamma, 3.0f);
  EXPECT_EQ(r.env, 12.0f);
  EXPECT_EQ(r.opaque, 0.5f);
  EXPECT_EQ(r.useTone, 1);
  EXPECT_EQ(r.airMap, 5);
}

TEST(PenSettingSlotsTest, BlurKindsShareTheirSlots) {
  // Paint kinds 4 and 5 both use pen 4, the blur type.
  EXPECT_EQ(PaintKindOldPenIndex(4), 4);
  EXPECT_EQ(PaintKindOldPenIndex(5), 4);
  EXPECT_EQ(OldPenType(4), kPenBlur);
  EXPECT_EQ(OldPenType(PaintKindOldPenIndex(5)), kPenBlur);
}

}  // namespace
}  // namespace tf
