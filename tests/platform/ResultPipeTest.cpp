#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

#include "platform/ResultPipe.h"

namespace tf {
namespace {

TEST(ResultPipeTest, TheCodeGoesThroughThePipeAsFourLittleEndianBytesAndItIsClosed) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  EXPECT_TRUE(WriteResultToDescriptor(p[1], 0x0A0B0C08));
  EXPECT_EQ(::fcntl(p[1], F_GETFD), -1) << "the write end is closed";
  unsigned char bytes[8] = {};
  EXPECT_EQ(::read(p[0], bytes, sizeof bytes), 4);
  EXPECT_EQ(bytes[0], 0x08);
  EXPECT_EQ(bytes[1], 0x0C);
  EXPECT_EQ(bytes[2], 0x0B);
  EXPECT_EQ(bytes[3], 0x0A);
  ::close(p[0]);
}

TEST(ResultPipeTest, ReceiversThatNoLongerExistGetNothing) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  // Not writable: the read end.
  EXPECT_FALSE(WriteResultToDescriptor(p[0], 8));
  EXPECT_NE(::fcntl(p[0], F_GETFD), -1) << "a descriptor not ours to write stays open";
  // The standard ones, closed or absurd numbers.
  for (int64_t fd : {int64_t{-1}, int64_t{0}, int64_t{1}, int64_t{2}, int64_t{987654}, int64_t{1} << 40})
    EXPECT_FALSE(WriteResultToDescriptor(fd, 8)) << fd;
  // A reader that went away: no SIGPIPE, false.
  ::close(p[0]);
  EXPECT_FALSE(WriteResultToDescriptor(p[1], 8));
}

}  // namespace
}  // namespace tf
