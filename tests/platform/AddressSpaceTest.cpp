#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include "platform/AddressSpace.h"

namespace tf {
namespace {

class AddressSpaceTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetAddressSpaceSettings(); }
};

TEST_F(AddressSpaceTest, CommitCountsAndDecommitGivesZerosBack) {
  uint64_t before = CommittedBytesTotal();
  AddressRange r = ReserveAddressSpace(16 * kTileBytes);
  ASSERT_TRUE(r);
  ASSERT_TRUE(CommitTileMemory(r, 3 * kTileBytes, kTileBytes));
  EXPECT_EQ(CommittedBytesTotal(), before + kTileBytes);
  std::memset(r.base + 3 * kTileBytes, 0xAB, kTileBytes);
  ASSERT_TRUE(DecommitTileMemory(r, 3 * kTileBytes, kTileBytes));
  EXPECT_EQ(CommittedBytesTotal(), before);
  ASSERT_TRUE(CommitTileMemory(r, 3 * kTileBytes, kTileBytes));
  EXPECT_EQ(r.base[3 * kTileBytes + 100], 0);
  DecommitTileMemory(r, 3 * kTileBytes, kTileBytes);
  ReleaseAddressSpace(r);
  EXPECT_FALSE(r);
}

TEST_F(AddressSpaceTest, RefusalsAndBudgetFailCommitsCleanly) {
  AddressRange r = ReserveAddressSpace(8 * kTileBytes);
  ASSERT_TRUE(r);
  RefuseNextCommits(2);
  EXPECT_FALSE(CommitTileMemory(r, 0, kTileBytes));
  EXPECT_FALSE(CommitTileMemory(r, 0, kTileBytes));
  EXPECT_TRUE(CommitTileMemory(r, 0, kTileBytes));
  SetCommitBudget(CommittedBytesTotal() + kTileBytes);
  EXPECT_TRUE(CommitTileMemory(r, kTileBytes, kTileBytes));
  EXPECT_FALSE(CommitTileMemory(r, 2 * kTileBytes, kTileBytes));
  SetCommitBudget(0);
  EXPECT_TRUE(CommitTileMemory(r, 2 * kTileBytes, kTileBytes));
  for (size_t i = 0; i < 3; ++i) DecommitTileMemory(r, i * kTileBytes, kTileBytes);
  ReleaseAddressSpace(r);
}

TEST_F(AddressSpaceTest, OutOfRangeRequestsAreRefused) {
  AddressRange r = ReserveAddressSpace(2 * kTileBytes);
  ASSERT_TRUE(r);
  EXPECT_FALSE(CommitTileMemory(r, 2 * kTileBytes, kTileBytes));
  EXPECT_FALSE(CommitTileMemory(r, kTileBytes, SIZE_MAX));
  AddressRange empty;
  EXPECT_FALSE(CommitTileMemory(empty, 0, kTileBytes));
  EXPECT_FALSE(ReserveAddressSpace(0));
  ReleaseAddressSpace(r);
}

TEST_F(AddressSpaceTest, HugeReservationCostsNoMemory) {
  // A 16384 x 16384 32-bit picture: 1 GiB of address space, nothing committed.
  uint64_t before = CommittedBytesTotal();
  AddressRange r = ReserveAddressSpace(size_t{16384} * 16384 * 4);
  ASSERT_TRUE(r);
  EXPECT_EQ(CommittedBytesTotal(), before);
  ReleaseAddressSpace(r);
}

TEST_F(AddressSpaceTest, GuardModeFaultsOnAnUncommittedTile) {
  SetAddressSpaceGuardMode(true);
  AddressRange r = ReserveAddressSpace(4 * kTileBytes);
  ASSERT_TRUE(r);
  ASSERT_TRUE(CommitTileMemory(r, 0, kTileBytes));
  r.base[10] = 1;  // committed: fine
  EXPECT_DEATH({ r.base[kTileBytes + 10] = 1; }, "");
  ASSERT_TRUE(DecommitTileMemory(r, 0, kTileBytes));
  EXPECT_DEATH({ r.base[10] = 1; }, "");
  ReleaseAddressSpace(r);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST(AddressSpaceRelease, ReleasingARangeGivesBackWhatItStillHeld) {
  uint64_t before = CommittedBytesTotal();
  AddressRange r = ReserveAddressSpace(4 * kTileBytes);
  ASSERT_TRUE(r);
  ASSERT_TRUE(CommitTileMemory(r, 0, kTileBytes));
  ASSERT_TRUE(CommitTileMemory(r, kTileBytes, kTileBytes));
  EXPECT_EQ(r.committed, 2 * kTileBytes);
  ReleaseAddressSpace(r);  // without decommitting first
  EXPECT_EQ(CommittedBytesTotal(), before);
}

}  // namespace
}  // namespace tf
