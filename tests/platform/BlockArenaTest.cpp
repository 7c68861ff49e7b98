// Blocks carved from large-page chunks: zeroed every time they are handed out, distinct while
// held, the chunk given back once all of its blocks are, other sizes served by the heap, and the
// memory refusal hook honoured.
#include "platform/BlockArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "platform/Memory.h"

namespace tf {
namespace {

bool AllZero(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i] != 0) return false;
  return true;
}

class BlockArena : public testing::Test {
 protected:
  void SetUp() override { ForceArenaCarving(true); }
  void TearDown() override { ForceArenaCarving(false); }
};

TEST_F(BlockArena, BlocksComeZeroedDistinctAndChunksGoBack) {
  constexpr int64_t kSize = 65536;
  const int32_t chunksBefore = ArenaChunkCount();
  std::vector<void*> blocks;
  for (int i = 0; i < 40; ++i) {  // more than one chunk's worth
    void* p = nullptr;
    ASSERT_TRUE(TryGetArenaBlock(p, kSize));
    ASSERT_TRUE(AllZero(p, kSize)) << i;
    std::memset(p, 0xA5, kSize);  // dirty it; the next taker must still get zeros
    blocks.push_back(p);
  }
  EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
  EXPECT_EQ(ArenaChunkCount(), chunksBefore + 2);  // 32 blocks of 64 KB to a chunk
  // A freed block is handed out again zeroed.
  FreeArenaBlock(blocks[3], kSize);
  void* again = nullptr;
  ASSERT_TRUE(TryGetArenaBlock(again, kSize));
  EXPECT_TRUE(AllZero(again, kSize));
  blocks[3] = again;
  for (void* p : blocks) FreeArenaBlock(p, kSize);
  EXPECT_EQ(ArenaChunkCount(), chunksBefore);
  FreeArenaBlock(nullptr, kSize);  // nothing
}

TEST_F(BlockArena, OddSizesUseTheHeapAndRefusalsAreHonoured) {
  for (int64_t size : {int64_t{1000}, int64_t{65536}, int64_t{3} << 20}) {
    void* p = nullptr;
    ASSERT_TRUE(TryGetArenaBlock(p, size)) << size;
    EXPECT_TRUE(AllZero(p, static_cast<size_t>(size)));
    FreeArenaBlock(p, size);
  }
  SetMemoryRefusals(1);
  void* p = reinterpret_cast<void*>(1);
  EXPECT_FALSE(TryGetArenaBlock(p, 65536));
  EXPECT_EQ(p, nullptr);
  SetMemoryRefusals(0);
  EXPECT_FALSE(TryGetArenaBlock(p, 0));
}

}  // namespace
}  // namespace tf
