#include "raster/ByteImage.h"

#include <gtest/gtest.h>

#include "platform/Memory.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

// A channel whose byte at (x, y) is 10*y + x.
void FillPattern(TChannel& c) {
  for (int32_t y = 0; y < c.Height(); ++y)
    for (int32_t x = 0; x < c.Width(); ++x) *c.GetPixelPtr(x, y) = static_cast<uint8_t>(10 * y + x);
}

TEST(ByteImageTest, AllocKeepsSameSize) {
  SByteImage img;
  ByteImageInit(img);
  EXPECT_EQ(ByteImageSize(img), 0);
  ASSERT_TRUE(ByteImageAlloc(img, 3, 2));
  EXPECT_EQ(ByteImageSize(img), 6);
  *ByteImagePixel(img, 2, 1) = 42;
  EXPECT_EQ(img.data[5], 42);
  uint8_t* block = img.data;
  EXPECT_TRUE(ByteImageAlloc(img, 3, 2));
  EXPECT_EQ(img.data, block);
  EXPECT_EQ(img.data[5], 42);
  ASSERT_TRUE(ByteImageAlloc(img, 2, 3));
  EXPECT_EQ(img.width, 2);

  // Refused sizes leave no data.
  const std::pair<int32_t, int32_t> bad[] = {{0, 5}, {5, 0}, {-1, 4}, {65536, 65536}, {INT32_MAX, 2}};
  for (const auto& [w, h] : bad) {
    EXPECT_FALSE(ByteImageAlloc(img, w, h)) << w << "x" << h;
    EXPECT_FALSE(ByteImageAssigned(img));
    EXPECT_EQ(ByteImageSize(img), 0);
  }
  SetMemoryRefusals(1);
  EXPECT_FALSE(ByteImageAlloc(img, 4, 4));
  SetMemoryRefusals(0);
  EXPECT_EQ(img.width, 0);

  uint8_t* own = nullptr;
  ASSERT_TRUE(TryGetMem(own, 8));
  ByteImageAttach(img, SSize{4, 2}, own);
  EXPECT_EQ(ByteImageSize(img), 8);
  EXPECT_EQ(ByteImageDetach(img), own);
  EXPECT_FALSE(ByteImageAssigned(img));
  FreeMem(own);
  ByteImageFree(img);
}

TEST(ByteImageTest, GrabIsTopDownWhateverTheRowOrder) {
  TChannel c(6, 5);  // rows stored bottom-up
  ASSERT_TRUE(c.IsValid());
  FillPattern(c);
  SByteImage img;
  SRectWH r{1, 2, 3, 2};
  ASSERT_TRUE(ByteImageGrab(img, c, r));
  EXPECT_EQ(img.width, 3);
  EXPECT_EQ(img.height, 2);
  EXPECT_EQ(*ByteImagePixel(img, 0, 0), 21);
  EXPECT_EQ(*ByteImagePixel(img, 2, 1), 33);
  ByteImageFree(img);
}

TEST(ByteImageTest, GrabClipsTheRectangleInPlace) {
  TChannel c(6, 5);
  FillPattern(c);
  SByteImage img;
  SRectWH half{-2, 3, 4, 4};  // half outside to the left and below
  ASSERT_TRUE(ByteImageGrab(img, c, half));
  EXPECT_EQ(half, (SRectWH{0, 3, 2, 2}));
  EXPECT_EQ(img.width, 2);
  EXPECT_EQ(img.height, 2);
  EXPECT_EQ(*ByteImagePixel(img, 0, 0), 30);
  EXPECT_EQ(*ByteImagePixel(img, 1, 1), 41);

  SRectWH outside{6, 0, 3, 3};
  EXPECT_FALSE(ByteImageGrab(img, c, outside));
  ByteImageFree(img);
}

TEST(ByteImageTest, PutRestoresAClippedSnapshot) {
  TChannel c(6, 5);
  FillPattern(c);
  SByteImage img;
  SRectWH r{1, 1, 3, 3};
  ASSERT_TRUE(ByteImageGrab(img, c, r));
  c.Fill(0);
  ASSERT_TRUE(ByteImagePut(img, c, r));
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      bool inside = x >= 1 && x < 4 && y >= 1 && y < 4;
      EXPECT_EQ(c.GetPixel(x, y), inside ? 10 * y + x : 0) << x << "," << y;
    }

  // Put at an origin partly outside: the image's matching part lands, the rest is cut.
  c.Fill(0);
  ASSERT_TRUE(ByteImagePut(img, c, SRectWH{-1, 3, 0, 0}));  // rect size is not used
  EXPECT_EQ(c.GetPixel(0, 3), 12);                          // image (1, 0)
  EXPECT_EQ(c.GetPixel(1, 4), 23);                          // image (2, 1)
  EXPECT_EQ(c.GetPixel(2, 3), 0);
  EXPECT_FALSE(ByteImagePut(img, c, SRectWH{6, 0, 0, 0}));
  ByteImageFree(img);
  EXPECT_FALSE(ByteImagePut(img, c, SRectWH{0, 0, 0, 0}));
}

}  // namespace
}  // namespace tf
