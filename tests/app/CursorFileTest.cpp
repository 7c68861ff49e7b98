#include <gtest/gtest.h>

#include <vector>

#include "app/CursorFile.h"

namespace tf {
namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(v & 0xFF);
  b.push_back(v >> 8);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

struct Entry {
  uint8_t w, h;
  uint16_t hx, hy;
  uint32_t size, offset;
};
std::vector<uint8_t> CursorFile(uint16_t type, const std::vector<Entry>& entries, size_t pictureBytes) {
  std::vector<uint8_t> b;
  Put16(b, 0);
  Put16(b, type);
  Put16(b, static_cast<uint16_t>(entries.size()));
  for (const Entry& e : entries) {
    b.push_back(e.w);
    b.push_back(e.h);
    b.push_back(0);
    b.push_back(0);
    Put16(b, e.hx);
    Put16(b, e.hy);
    Put32(b, e.size);
    Put32(b, e.offset);
  }
  b.resize(b.size() + pictureBytes, 0);
  return b;
}

TEST(CursorFile, PicksTheLargestEntryAndItsHotSpot) {
  const auto f = CursorFile(2, {{16, 16, 3, 4, 40, 38}, {32, 32, 7, 9, 40, 78}}, 80);
  SCursorEntry e;
  ASSERT_TRUE(ReadCursorDirectory(f.data(), f.size(), e));
  EXPECT_EQ(e.width, 32);
  EXPECT_EQ(e.hotX, 7);
  EXPECT_EQ(e.hotY, 9);
  EXPECT_EQ(e.offset, 78u);
}

TEST(CursorFile, RefusesWhatIsNotASoundCursorFile) {
  SCursorEntry e;
  const std::vector<std::vector<uint8_t>> bad = {
      {},
      CursorFile(1, {{16, 16, 0, 0, 10, 22}}, 10),                // an icon
      CursorFile(2, {}, 10),                                      // no entries
      CursorFile(2, {{16, 16, 0, 0, 100, 22}}, 10),               // picture past the end
      CursorFile(2, {{16, 16, 0, 0, 0xFFFFFFF0u, 22}}, 10),       // size that wraps
      CursorFile(2, {{16, 16, 0, 0, 4, 0xFFFFFFFEu}}, 10),        // offset past the end
  };
  for (size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(ReadCursorDirectory(bad[i].data(), bad[i].size(), e)) << i;
  auto truncated = CursorFile(2, {{16, 16, 0, 0, 4, 22}}, 4);
  truncated[4] = 3;  // claims three entries, holds one
  EXPECT_FALSE(ReadCursorDirectory(truncated.data(), truncated.size(), e));
  // A hot spot outside the picture is kept on its edge.
  const auto far = CursorFile(2, {{16, 16, 500, 40, 4, 22}}, 4);
  ASSERT_TRUE(ReadCursorDirectory(far.data(), far.size(), e));
  EXPECT_EQ(e.hotX, 15);
  EXPECT_EQ(e.hotY, 15);
}

}  // namespace
}  // namespace tf
