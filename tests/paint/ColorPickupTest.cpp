#include <gtest/gtest.h>

#include <algorithm>

#include "paint/ColorPickup.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

// Every pixel tells where it is.
uint32_t Marker(int32_t x, int32_t y) {
  return 0xFF000000u | (static_cast<uint32_t>(y) << 8) | static_cast<uint32_t>(x);
}

void FillMarkers(TMTC& image) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = Marker(x, y);
}

// The window must hold the source pixel at its position, clamped to the nearest edge.
void ExpectWindow(const CPenTC& w, const TMTC& source) {
  ASSERT_TRUE(w.IsValid());
  ASSERT_EQ(w.Width(), w.WindowWidth());
  ASSERT_EQ(w.Height(), w.WindowHeight());
  for (int32_t j = 0; j < w.Height(); ++j)
    for (int32_t i = 0; i < w.Width(); ++i) {
      const int32_t sx = std::clamp(w.OriginX() + i, 0, source.Width() - 1);
      const int32_t sy = std::clamp(w.OriginY() + j, 0, source.Height() - 1);
      ASSERT_EQ(w.GetPixel(i, j), Marker(sx, sy)) << i << "," << j;
    }
}

TEST(PenTC, PickUpLeftOfTheImageRepeatsColumnZero) {
  TMTC image(8, 8);
  FillMarkers(image);
  CPenTC w;
  ASSERT_TRUE(w.PickUp(image, 4, -5.5f, 3.2f));
  EXPECT_EQ(w.WindowWidth(), 15);
  EXPECT_EQ(w.WindowHeight(), 15);
  EXPECT_EQ(w.OriginX(), -12);
  EXPECT_EQ(w.OriginY(), -4);
  EXPECT_EQ(w.HalfExtentX(), 7);
  EXPECT_EQ(w.FractionX(), 0.5f);
  EXPECT_EQ(w.FractionY(), 3.2f - 3.0f);
  EXPECT_EQ(w.CenterX(), -5.5f);
  EXPECT_EQ(w.RadiusY(), 4.0f);
  for (int32_t j = 0; j < 15; ++j)
    for (int32_t i = 0; i <= 12; ++i) EXPECT_EQ(w.GetPixel(i, j) & 0xFFu, 0u);
  EXPECT_EQ(w.GetPixel(14, 14), Marker(2, 7));
  ExpectWindow(w, image);
}

struct PickCase {
  const char* name;
  int32_t width, height;
  float radius, x, y;
};
void PrintTo(const PickCase& c, std::ostream* os) { *os << c.name; }

class PenTCPick : public ::testing::TestWithParam<PickCase> {};

TEST_P(PenTCPick, WindowRepeatsTheNearestEdge) {
  const PickCase& c = GetParam();
  TMTC image(c.width, c.height);
  FillMarkers(image);
  CPenTC w;
  ASSERT_TRUE(w.PickUp(image, c.radius, c.x, c.y));
  ExpectWindow(w, image);
}

INSTANTIATE_TEST_SUITE_P(Paint, PenTCPick,
                         ::testing::Values(PickCase{"inside", 40, 30, 2.5f, 20.7f, 15.1f},
                                           PickCase{"bottom_right_corner", 10, 10, 3, 9.9f, 9.9f},
                                           PickCase{"top_left_corner", 10, 10, 3, 0.2f, -1.0f},
                                           PickCase{"larger_than_the_image", 1, 1, 6, 0, 0},
                                           PickCase{"far_outside", 5, 7, 1, 300, -200},
                                           // Below -3 the window keeps a size of one pixel.
                                           PickCase{"negative_radius", 5, 5, -10, 2, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PenTC, PickUpFromAnInvalidImageFails) {
  TMTC empty;
  CPenTC w;
  EXPECT_FALSE(w.PickUp(empty, 4, 1, 1));
  EXPECT_FALSE(w.CopyWindow(empty));
}

TEST(PenTC, DabOffsets) {
  TMTC image(8, 8);
  FillMarkers(image);
  CPenTC w;
  int32_t offset = -1, ox = -1, oy = -1;
  EXPECT_FALSE(w.DabOffsetOld(1, offset));  // nothing picked up: half extent 0
  ASSERT_TRUE(w.PickUp(image, 4, -5.5f, 3.2f));

  ASSERT_TRUE(w.DabOffsetOld(4, offset));
  EXPECT_EQ(offset, 3);  // 7 - ceil(4 - 0.5)
  ASSERT_TRUE(w.DabOffsetOld(7, offset));
  EXPECT_EQ(offset, 0);
  EXPECT_FALSE(w.DabOffsetOld(7.5f, offset));

  ASSERT_TRUE(w.DabOffset(4 << 16, 4 << 16, ox, oy));
  EXPECT_EQ(ox, 3);  // 7 - FixCeil(4.0 - 0.5)
  EXPECT_EQ(oy, 3);  // 7 - FixCeil(4.0 - 0.2)
  ASSERT_TRUE(w.DabOffset(0, 0, ox, oy));
  EXPECT_EQ(ox, 7);
  EXPECT_EQ(oy, 7);
  ASSERT_TRUE(w.DabOffset(7 << 16, 7 << 16, ox, oy));
  EXPECT_EQ(ox, 0);
  EXPECT_FALSE(w.DabOffset((7 << 16) + 1, 0, ox, oy));
  EXPECT_FALSE(w.DabOffset(0, (7 << 16) + 1, ox, oy));

  w.Reset();
  EXPECT_EQ(w.HalfExtentX(), 0);
  EXPECT_EQ(w.RadiusX(), 0.0f);
  EXPECT_EQ(w.CenterY(), 0.0f);
  EXPECT_FALSE(w.DabOffset(1 << 16, 0, ox, oy));
}

}  // namespace
}  // namespace tf
