#include <gtest/gtest.h>

#include <cstring>

#include "filters/FilterDialogValues.h"
#include "filters/FilterTestSupport.h"
#include "platform/ByteOrder.h"
#include "platform/Clock.h"

namespace tf {
namespace {
using namespace tf::test;

struct ValuesCase {
  const char* name;
  FilterKey key;
  SNeighbourDialogValues values;
  uint8_t alphaProtect;
  std::vector<uint8_t> block;     // what the dialog builds (the seed word written below)
  SNeighbourDialogValues reopened;  // what the next opening shows
};

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> out;
  for (int v : list) out.push_back(static_cast<uint8_t>(v));
  return out;
}
std::vector<uint8_t> FloatBytes(float f, int32_t size) {
  std::vector<uint8_t> out(static_cast<size_t>(size), 0);
  std::memcpy(out.data(), &f, 4);
  return out;
}

// Controls -> block -> OK -> remembered -> the next opening and Filter > Repeat's loader.
TEST(FilterDialogValuesTest, ControlsBlockOkRememberedAndRepeat) {
  const uint32_t seed = 0x12345678u;
  SetMillisecondSource([&] { return seed; });
  const ValuesCase cases[] = {
      {"gaussian 2.5", FilterKey::GaussianBlur, {2.5f}, 0, FloatBytes(2.5f, 8), {2.5f}},
      {"gaussian 0.3 repeats as 0.3", FilterKey::GaussianBlur, {0.3f}, 0, FloatBytes(0.3f, 8), {0.3f}},
      {"motion 270 -> -90", FilterKey::MotionBlur, {270, 12.5f}, 0, Bytes({13, 2, 0xA6, 0xFF, 0, 0, 0, 0}), {-90, 13}},
      {"motion -180.5 -> 179.5 -> 180", FilterKey::MotionBlur, {-180.5f, 1}, 0, Bytes({1, 2, 180, 0, 0, 0, 0, 0}), {180, 1}},
      {"custom sharpen reopens at 0.3", FilterKey::SharpenCustom, {0.75f}, 0, FloatBytes(0.75f, 8), {0.3f}},
      {"noise", FilterKey::Noise, {2.5f, 0, true}, 0,
       Bytes({3, 0, 0, 0, 1, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0}), {3, 0, true}},
      {"diffuse", FilterKey::Diffuse, {-0.5f + 5, 0, true, 2}, 1,
       Bytes({5, 0, 0, 0, 2, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 1, 0, 1, 0}), {5, 0, true, 2}},
      {"median trunc half up", FilterKey::Median, {7.5f}, 1, Bytes({8, 1, 0, 0, 0, 0, 0, 0}), {8}},
      {"emboss angle negated in the block", FilterKey::Emboss, {.a = 270, .b = 2.5f, .c = 150.5f}, 0,
       Bytes({90, 0, 0, 0, 0, 0, 0x20, 0x40, 151, 0, 0, 0, 0, 0, 0, 0}), {.a = -90, .b = 2.5f, .c = 151}},
      {"halftone angles wrapped", FilterKey::ColorHalftone, {.a = 8.5f, .b = 190, .c = -20}, 0,
       Bytes({9, 0, 0, 0, 0x56, 0xFF, 0xFF, 0xFF, 0xEC, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}), {.a = 9, .b = -170, .c = -20}},
      {"mosaic trunc half up", FilterKey::Mosaic, {2.49f}, 0, Bytes({2, 0, 0, 0, 0, 0, 0, 0}), {2}},
  };
  for (const ValuesCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFilterMemory();
    ResetFilterPreviewMemory();
    ASSERT_TRUE(IsNeighbourDialog(c.key));
    SNeighbourDialogValues v = c.values;
    v.seed = seed;
    uint8_t block[16];
    BuildNeighbourBlock(c.key, v, c.alphaProtect, block);
    ASSERT_EQ(c.block.size(), static_cast<size_t>(FilterRow(c.key).blockSize));
    EXPECT_EQ(std::vector<uint8_t>(block, block + c.block.size()), c.block);
    ConfirmNeighbourDialog(c.key, block, false);
    const SNeighbourDialogValues again = LoadNeighbourDialog(c.key);
    EXPECT_FLOAT_EQ(again.a, c.reopened.a);
    EXPECT_FLOAT_EQ(again.b, c.reopened.b);
    EXPECT_FLOAT_EQ(again.c, c.reopened.c);
    EXPECT_FLOAT_EQ(again.d, c.reopened.d);
    EXPECT_EQ(again.check, c.reopened.check);
    EXPECT_EQ(again.choice, c.reopened.choice);
    EXPECT_FALSE(again.preview);
    // Repeat builds the confirmed block (the seed new from the clock, the flag from the layer).
    FilterDocument f(8, 8);
    ASSERT_TRUE(f.ok);
    f.Layer().alphaProtect = c.alphaProtect;
    uint8_t repeat[16];
    ASSERT_TRUE(LoadLastFilter(c.key, repeat, f.Layer()));
    EXPECT_EQ(std::vector<uint8_t>(repeat, repeat + c.block.size()), c.block);
  }
  SetMillisecondSource({});
  ResetFilterMemory();
  ResetFilterPreviewMemory();
}

TEST(FilterDialogValuesTest, OpeningDefaults) {
  ResetFilterMemory();
  ResetFilterPreviewMemory();
  EXPECT_FLOAT_EQ(LoadNeighbourDialog(FilterKey::GaussianBlur).a, 1.0f);
  EXPECT_TRUE(LoadNeighbourDialog(FilterKey::GaussianBlur).preview);
  EXPECT_FALSE(LoadNeighbourDialog(FilterKey::MotionBlur).preview);
  EXPECT_FLOAT_EQ(LoadNeighbourDialog(FilterKey::MotionBlur).b, 1.0f);
  EXPECT_FLOAT_EQ(LoadNeighbourDialog(FilterKey::Median).a, 8.0f);
  EXPECT_FLOAT_EQ(LoadNeighbourDialog(FilterKey::Mosaic).a, 16.0f);
  EXPECT_FLOAT_EQ(LoadNeighbourDialog(FilterKey::Noise).a, 1.0f);
  EXPECT_FALSE(IsNeighbourDialog(FilterKey::Tiles));
}

}  // namespace
}  // namespace tf
