#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/AboutBox.h"
#include "platform/MemoryStatus.h"
#include "raster/MemoryGraphic.h"

namespace tf {
namespace {

TEST(AboutBoxTest, MemorySizesInTheirUnitsIn64Bits) {
  struct Case {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "   0 B"},
      {1023, "1023 B"},
      {1024, "1.00 KB"},
      {0xFFFFF, "1024.00 KB"},
      {0x100000, "1.00 MB"},
      {0x3FFFFFFF, "1024.00 MB"},
      {0x40000000, "1.00 GB"},
      {uint64_t{16} << 30, "16.00 GB"},  // 32 bits would wrap this to 0 B
      {uint64_t{1} << 47, "131072.00 GB"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatMemorySize(c.bytes), c.text) << c.bytes;
}

TEST(AboutBoxTest, MemoryStatusIsReadFromTheKernelsTexts) {
  const char* meminfo =
      "MemTotal:       16384000 kB\n"
      "MemFree:          100000 kB\n"
      "MemAvailable:    8192000 kB\n"
      "SwapCached:            0 kB\n"
      "SwapTotal:       2097152 kB\n"
      "SwapFree:        1048576 kB\n";
  const char* status = "Name:\ttintaframe4\nVmPeak:\t  999 kB\nVmSize:\t  1048576 kB\n";
  const SMemoryStatus s = ParseMemoryStatus(meminfo, status, uint64_t{1} << 32);
  EXPECT_EQ(s.physicalTotal, uint64_t{16384000} * 1024);
  EXPECT_EQ(s.physicalAvailable, uint64_t{8192000} * 1024);
  EXPECT_EQ(s.pageFileTotal, uint64_t{2097152} * 1024);
  EXPECT_EQ(s.pageFileAvailable, uint64_t{1048576} * 1024);
  EXPECT_EQ(s.virtualTotal, uint64_t{1} << 32);
  EXPECT_EQ(s.virtualAvailable, (uint64_t{1} << 32) - (uint64_t{1} << 30));

  const SAboutMemoryLines lines = AboutMemoryLines(s);
  EXPECT_EQ(lines.physical, "7.81 GB / 15.62 GB");
  EXPECT_EQ(lines.virtualMemory, "1.00 GB / 4.00 GB");
  EXPECT_EQ(lines.pageFile, "1.00 GB / 2.00 GB");

  // Missing or damaged fields read as 0; more available than total is held to the total; a
  // process larger than its limit has nothing left.
  const SMemoryStatus bad = ParseMemoryStatus("MemTotal: 10 kB\nMemAvailable: 99 kB\nSwapTotal: x kB\n",
                                              "VmSize: 5000 kB\n", 4096);
  EXPECT_EQ(bad.physicalAvailable, bad.physicalTotal);
  EXPECT_EQ(bad.pageFileTotal, 0u);
  EXPECT_EQ(bad.virtualAvailable, 0u);
  EXPECT_EQ(AboutMemoryLines(bad).physical, "   0 B / 10.00 KB");
}

TEST(AboutBoxTest, TheRealQueryAndItsTestHook) {
  const SMemoryStatus real = ReadMemoryStatus();
  EXPECT_GT(real.physicalTotal, 0u);
  EXPECT_LE(real.physicalAvailable, real.physicalTotal);
  EXPECT_GT(real.virtualTotal, real.virtualAvailable);
  MemoryStatusSource old = SetMemoryStatusSource([] { return SMemoryStatus{1, 2, 3, 4, 5, 6}; });
  EXPECT_EQ(ReadMemoryStatus().pageFileAvailable, 6u);
  SetMemoryStatusSource(old);
}

TEST(AboutBoxTest, ThePictureIsUprightAndOpaque) {
  TMemoryGraphic surface;
  ASSERT_TRUE(LoadAboutPicture(surface));
  ASSERT_EQ(surface.Width(), kAboutPictureWidth);
  ASSERT_EQ(surface.Height(), kAboutPictureHeight);
  for (int32_t y = 0; y < surface.Height(); y += 17)
    for (int32_t x = 0; x < surface.Width(); x += 13) ASSERT_EQ(surface.GetPixel(x, y) >> 24, 0xFFu);
  // The paper is cool at the top and warm at the bottom: red rises, blue falls.
  const uint32_t top = surface.GetPixel(2, 2), bottom = surface.GetPixel(2, surface.Height() - 3);
  EXPECT_LT((top >> 16) & 0xFF, (bottom >> 16) & 0xFF);
  EXPECT_GT(top & 0xFF, bottom & 0xFF);
}

}  // namespace
}  // namespace tf
