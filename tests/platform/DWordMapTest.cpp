#include <gtest/gtest.h>

#include <map>
#include <random>

#include "platform/DWordMap.h"

namespace tf {
namespace {

TEST(MapDD, RoutinesAnswerTheirResultCodes) {
  MapDDHandle map = nullptr;
  ASSERT_EQ(mapDDCreate(&map, 10), kMapDDOk);
  ASSERT_NE(map, nullptr);
  uint32_t value = 0;
  EXPECT_EQ(mapDDLookup(map, 7, &value), 0);
  EXPECT_EQ(mapDDSetAt(map, 7, 70), kMapDDOk);
  EXPECT_NE(mapDDLookup(map, 7, &value), 0);
  EXPECT_EQ(value, 70u);
  EXPECT_EQ(mapDDSetAt(map, 7, 71), kMapDDOk);  // replaces
  EXPECT_NE(mapDDLookup(map, 7, nullptr), 0);
  EXPECT_NE(mapDDLookup(map, 7, &value), 0);
  EXPECT_EQ(value, 71u);
  EXPECT_EQ(mapDDSetAt(map, 0xFFFFFFFFu, 0), kMapDDOk);
  EXPECT_EQ(mapDDRemoveKey(map, 7), kMapDDOk);
  EXPECT_EQ(mapDDRemoveKey(map, 7), kMapDDKeyMissing);
  EXPECT_EQ(mapDDLookup(map, 7, &value), 0);
  EXPECT_NE(mapDDLookup(map, 0xFFFFFFFFu, &value), 0);
  EXPECT_EQ(mapDDRemoveAll(map), kMapDDOk);
  EXPECT_EQ(mapDDLookup(map, 0xFFFFFFFFu, &value), 0);
  EXPECT_EQ(mapDDDestroy(map), kMapDDOk);

  // No map: every routine refuses, none crashes.
  EXPECT_EQ(mapDDCreate(nullptr, 1), kMapDDBadHandle);
  EXPECT_EQ(mapDDDestroy(nullptr), kMapDDBadHandle);
  EXPECT_EQ(mapDDLookup(nullptr, 1, &value), 0);
  EXPECT_EQ(mapDDSetAt(nullptr, 1, 1), kMapDDBadHandle);
  EXPECT_EQ(mapDDRemoveKey(nullptr, 1), kMapDDBadHandle);
  EXPECT_EQ(mapDDRemoveAll(nullptr), kMapDDBadHandle);
  MapDDHandle negative = nullptr;
  EXPECT_EQ(mapDDCreate(&negative, -5), kMapDDOk);
  mapDDDestroy(negative);
}

TEST(CMapDD, RandomOperationsMatchAModel) {
  CMapDD map(10);
  ASSERT_TRUE(map.isValid());
  std::map<uint32_t, uint32_t> model;
  std::mt19937 rng(42);
  for (int i = 0; i < 20000; ++i) {
    uint32_t key = rng() % 300;
    switch (rng() % 5) {
      case 0:
      case 1: {
        uint32_t v = rng();
        EXPECT_TRUE(map.setAt(key, v));
        model[key] = v;
        break;
      }
      case 2: {
        bool present = model.erase(key) == 1;
        EXPECT_EQ(map.removeKey(key), present);
        EXPECT_EQ(map.lastResult(), present ? kMapDDOk : kMapDDKeyMissing);
        break;
      }
      case 3: {
        uint32_t v = 0;
        bool found = map.lookup(key, v);
        auto it = model.find(key);
        ASSERT_EQ(found, it != model.end());
        if (found) {
          EXPECT_EQ(v, it->second);
        }
        break;
      }
      default:
        if (rng() % 200 == 0) {
          EXPECT_TRUE(map.removeAll());
          model.clear();
        }
    }
  }
  for (uint32_t key = 0; key < 300; ++key) EXPECT_EQ(map.contains(key), model.count(key) == 1);
  EXPECT_FALSE(map.removeKey(1000));
  EXPECT_EQ(map.lastResult(), kMapDDKeyMissing);
}

}  // namespace
}  // namespace tf
