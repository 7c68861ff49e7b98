#include "platform/ByteOrder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tf {
namespace {

// Every width reads and writes the lowest byte first, at any alignment, whatever the host.
TEST(ByteOrder, IntegersAreLittleEndianAtAnyAddress) {
  uint8_t buffer[12];
  for (int offset = 0; offset < 4; ++offset) {
    uint8_t* p = buffer + offset;
    StoreU16(p, 0xA1B2);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 2), (std::vector<uint8_t>{0xB2, 0xA1}));
    EXPECT_EQ(LoadU16(p), 0xA1B2u);
    EXPECT_EQ(LoadI16(p), static_cast<int16_t>(-24142));

    StoreI16(p, -2);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 2), (std::vector<uint8_t>{0xFE, 0xFF}));
    EXPECT_EQ(LoadU16(p), 0xFFFEu);

    StoreU32(p, 0x01020304u);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{4, 3, 2, 1}));
    EXPECT_EQ(LoadU32(p), 0x01020304u);

    StoreI32(p, -6);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{0xFA, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(LoadI32(p), -6);
    EXPECT_EQ(LoadU32(p), 0xFFFFFFFAu);

    StoreU64(p, 0x0102030405060708ull);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 8), (std::vector<uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(LoadU64(p), 0x0102030405060708ull);
  }
  const uint8_t high[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80};
  EXPECT_EQ(LoadU16(high), 0xFFFFu);
  EXPECT_EQ(LoadI32(high + 4), static_cast<int32_t>(0x80FFFFFFu));
  EXPECT_EQ(LoadU64(high), 0x80FFFFFFFFFFFFFFull);
}

// Floats are their IEEE bit patterns, stored as the integer of the same width.
TEST(ByteOrder, FloatsAreTheirBitPatterns) {
  uint8_t p[8];
  StoreF32(p, 1.5f);
  EXPECT_EQ(LoadU32(p), 0x3FC00000u);
  StoreF32(p, -0.25f);
  EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{0x00, 0x00, 0x80, 0xBE}));
  EXPECT_EQ(LoadF32(p), -0.25f);
  StoreF64(p, 1.0);
  EXPECT_EQ(std::vector<uint8_t>(p, p + 8), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  EXPECT_EQ(LoadF64(p), 1.0);
  StoreU64(p, 0x400921FB54442D18ull);
  EXPECT_EQ(LoadF64(p), 3.141592653589793);
}

}  // namespace
}  // namespace tf
