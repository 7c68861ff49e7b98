// The four-pixel form of the normal-mode merge against the pixel routine, over every pair of
// alphas and a spread of opacities and colours, with rows whose lengths leave every tail.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "document/BlendRows.h"
#include "raster/PixelOps.h"
#include "support/TestRng.h"

namespace tf {
namespace {

TEST(MergeRowSse2, NormalMergeRowMatchesThePixelRoutineForEveryAlphaPair) {
  test::XorShiftRng rng(0x5eed);
  std::vector<uint32_t> dest(256), source(256), expected(256);
  for (uint32_t value : {0u, 1u, 2u, 77u, 128u, 200u, 254u, 255u, 256u + 17u}) {
    for (uint32_t da = 0; da < 256; ++da) {
      for (uint32_t i = 0; i < 256; ++i) {
        dest[i] = (da << 24) | (rng.Next() & 0x00FFFFFFu);
        source[i] = (i << 24) | (rng.Next() & 0x00FFFFFFu);
        if (i % 16 == 0) source[i] |= 0x00FFFFFFu;  // bytes at both ends
        if (i % 16 == 1) source[i] &= 0xFF000000u;
        expected[i] = dest[i];
        PixelPaintOverSourceAlpha(&expected[i], source[i], static_cast<int32_t>(value));
      }
      std::vector<uint32_t> out = dest;
      if (!row_detail::PaintOverSourceAlphaRowSse2(out.data(), source.data(), 256, static_cast<int32_t>(value)))
        GTEST_SKIP() << "no SSE2 in this build";
      for (uint32_t i = 0; i < 256; ++i)
        ASSERT_EQ(out[i], expected[i]) << std::hex << "dest " << dest[i] << " source " << source[i] << " value "
                                       << value;
    }
  }
  // Tails: every length up to 9 from an odd start.
  for (int32_t n = 0; n <= 9; ++n) {
    std::vector<uint32_t> out(dest.begin() + 3, dest.begin() + 3 + n), want = out;
    for (int32_t i = 0; i < n; ++i) PixelPaintOverSourceAlpha(&want[i], source[5 + i], 99);
    row_detail::PaintOverSourceAlphaRowSse2(out.data(), source.data() + 5, n, 99);
    EXPECT_EQ(out, want) << n;
  }
}

}  // namespace
}  // namespace tf
