// The eight-pixel form of the normal-mode merge against the pixel routine, over every pair of
// alphas and a spread of opacities and colours, with rows whose lengths leave every tail, and
// over rows with runs of clear and opaque source pixels (which the row skips or copies) at every
// opacity.
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

// Runs of clear and opaque source pixels of every length and start, between partly covered
// ones, over destinations of every kind; every opacity (the low byte only counts).
TEST(MergeRowSse2, NormalMergeRowMatchesThePixelRoutineOverRunsOfClearAndOpaqueSource) {
  test::XorShiftRng rng(0xC1EA5);
  constexpr int32_t kLength = 203;
  std::vector<uint32_t> dest(kLength), source(kLength);
  // Source alpha of a run: clear, opaque, or random.
  const uint32_t kRunAlpha[] = {0u, 255u, 0x100u};
  for (int32_t row = 0; row < 48; ++row) {
    int32_t i = 0;
    while (i < kLength) {
      const uint32_t kind = kRunAlpha[rng.Next() % 3];
      const int32_t run = 1 + static_cast<int32_t>(rng.Next() % 24);
      for (int32_t k = 0; k < run && i < kLength; ++k, ++i) {
        const uint32_t a = kind == 0x100u ? (rng.Next() & 0xFFu) : kind;
        source[i] = (a << 24) | (rng.Next() & 0x00FFFFFFu);
        const uint32_t pick = rng.Next() % 3;  // destination clear, opaque or partly covered
        const uint32_t d = pick == 0 ? 0u : (pick == 1 ? 255u : (rng.Next() & 0xFFu));
        dest[i] = (d << 24) | (rng.Next() & 0x00FFFFFFu);
      }
    }
    for (uint32_t value = 0; value < 256 + 2; ++value) {
      const int32_t v = static_cast<int32_t>(value == 256 ? 0x1FFu : (value == 257 ? 0x100u : value));
      const int32_t start = row % 9;  // every alignment of the eight-pixel steps
      std::vector<uint32_t> want(dest.begin() + start, dest.end()), out = want;
      const int32_t n = kLength - start;
      for (int32_t k = 0; k < n; ++k) PixelPaintOverSourceAlpha(&want[k], source[start + k], v);
      if (!row_detail::PaintOverSourceAlphaRowSse2(out.data(), source.data() + start, n, v))
        GTEST_SKIP() << "no SSE2 in this build";
      ASSERT_EQ(out, want) << "row " << row << " value " << v;
    }
  }
}

}  // namespace
}  // namespace tf
