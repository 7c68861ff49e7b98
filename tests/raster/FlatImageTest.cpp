#include "raster/FlatImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Debug.h"
#include "platform/Memory.h"
#include "raster/Composite.h"
#include "support/TestImages.h"

namespace tf {
namespace {

using test::BottomUpMTC;

// Collects debugger output for the length of a test.
class DebugCapture {
 public:
  DebugCapture() {
    previous_ = SetDebugSink([this](std::string_view text) { text_ += text; });
  }
  ~DebugCapture() { SetDebugSink(previous_); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  DebugSink previous_;
};

void FillPattern(TMTC& image) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = 0x01000000u * (y + 1) + 0x100u * y + x;
}

// ---------------------------------------------------------------------------------------------
// ClipBlit

struct ClipCase {
  const char* name;
  SSize dest, source;
  TPoint point;
  SRectWH rect;
  bool ok;
  TPoint wantPoint;
  SRectWH wantRect;
};

TEST(FlatImageClipBlit, Cases) {
  const int32_t big = INT32_MAX;
  const ClipCase cases[] = {
      {"left of source", {20, 20}, {20, 20}, {0, 0}, {-5, 0, 10, 10}, true, {5, 0}, {0, 0, 5, 10}},
      {"dest point at dest width", {20, 20}, {20, 20}, {20, 0}, {0, 0, 5, 5}, false, {}, {}},
      {"negative dest point", {20, 20}, {20, 20}, {-3, -2}, {0, 0, 10, 10}, true, {0, 0}, {3, 2, 7, 8}},
      {"past dest right and bottom", {20, 10}, {30, 30}, {15, 8}, {0, 0, 10, 10}, true, {15, 8}, {0, 0, 5, 2}},
      {"past source right", {50, 50}, {20, 20}, {0, 0}, {15, 15, 10, 10}, true, {0, 0}, {15, 15, 5, 5}},
      {"above source", {20, 20}, {20, 20}, {4, 4}, {0, -8, 4, 10}, true, {4, 12}, {0, 0, 4, 2}},
      {"source wholly right", {20, 20}, {20, 20}, {0, 0}, {20, 0, 5, 5}, false, {}, {}},
      {"source wholly above", {20, 20}, {20, 20}, {0, 0}, {0, -5, 5, 5}, false, {}, {}},
      {"dest wholly left", {20, 20}, {20, 20}, {-5, 0}, {0, 0, 5, 5}, false, {}, {}},
      {"zero width", {20, 20}, {20, 20}, {0, 0}, {0, 0, 0, 5}, false, {}, {}},
      {"negative height", {20, 20}, {20, 20}, {0, 0}, {2, 2, 5, -3}, false, {}, {}},
      {"empty dest", {0, 0}, {20, 20}, {0, 0}, {0, 0, 5, 5}, false, {}, {}},
      {"huge width", {20, 20}, {20, 20}, {big, 0}, {-10, 0, big, 5}, false, {}, {}},
      {"huge left", {20, 20}, {20, 20}, {0, 0}, {big - 1, 0, 10, 5}, false, {}, {}},
      {"huge point", {20, 20}, {20, 20}, {-big, -big}, {-big, -big, big, big}, false, {}, {}},
  };
  for (const ClipCase& c : cases) {
    TPoint point = c.point;
    SRectWH rect = c.rect;
    EXPECT_EQ(ClipBlit(c.dest, c.source, point, rect), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(point, c.wantPoint) << c.name;
      EXPECT_EQ(rect, c.wantRect) << c.name;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Layout and resizing

TEST(FlatImageLayout, RowOrders) {
  TChannel channel(5, 4);
  ASSERT_TRUE(channel.IsValid());
  EXPECT_EQ(channel.GetPixelPtr(0, 3), channel.Bits());  // bottom-up
  EXPECT_EQ(channel.GetPixelPtr(2, 0), channel.Bits() + 3 * 5 + 2);
  EXPECT_EQ(channel.GetRowStep(), -5);
  EXPECT_FALSE(channel.IsTopDown());
  EXPECT_EQ(channel.GetImageSize(), 20);
  EXPECT_EQ(channel.GetBytesPerPixel(), 1);

  TMTC image(5, 4);
  ASSERT_TRUE(image.IsValid());
  EXPECT_EQ(image.GetPixelPtr(0, 0), image.Bits());  // top-down
  EXPECT_EQ(image.GetPixelPtr(2, 3), image.Bits() + 4 * (3 * 5 + 2));
  EXPECT_EQ(image.GetRowStep(), 5);
  EXPECT_TRUE(image.IsTopDown());
  EXPECT_EQ(image.GetImageSize(), 80);
  EXPECT_EQ(image.GetBytesPerPixel(), 4);

  BottomUpMTC dib(5, 4);
  ASSERT_TRUE(dib.IsValid());
  EXPECT_EQ(dib.GetPixelPtr(0, 3), dib.Bits());
  EXPECT_FALSE(dib.IsTopDown());

  SRectWH full;
  EXPECT_TRUE(image.GetFullRect(full));
  EXPECT_EQ(full, (SRectWH{0, 0, 5, 4}));
  EXPECT_TRUE(CDibCore::IsAllocated(&image));
  EXPECT_FALSE(CDibCore::IsAllocated(nullptr));
}

TEST(FlatImageResize, MtcKeepsBlockOfSameByteSize) {
  TMTC image(100, 50);
  ASSERT_TRUE(image.IsValid());
  *image.Pixel(7, 9) = 0x12345678u;
  uint8_t* block = image.Bits();
  SetMemoryRefusals(1);
  EXPECT_TRUE(image.Resize(100, 50));  // same size: nothing happens, no memory asked for
  EXPECT_EQ(PendingMemoryRefusals(), 1);
  SetMemoryRefusals(0);
  EXPECT_EQ(image.Bits(), block);
  EXPECT_EQ(image.GetPixel(7, 9), 0x12345678u);
  EXPECT_TRUE(image.Resize(50, 100));  // transposed: same block, new geometry, cleared
  EXPECT_EQ(image.Bits(), block);
  EXPECT_EQ(image.Width(), 50);
  EXPECT_EQ(image.GetPixelPtr(0, 99), block + 4 * 50 * 99);
  for (uint32_t v : test::PixelsOf(image)) ASSERT_EQ(v, 0u);
  EXPECT_TRUE(image.ResizeTo(SSize{3, 2}));
  EXPECT_EQ(image.Size(), (SSize{3, 2}));
  EXPECT_TRUE(image.IsValid());
}

// New blocks read as zero, whatever the allocator held there before: a block of the same size
// is filled with a pattern and freed first, so a reused block without the clear shows it.
TEST(FlatImageResize, NewBlocksAreZero) {
  const auto dirty = [](int64_t bytes, uint8_t pattern) {
    void* p = nullptr;
    ASSERT_TRUE(TryGetMem(p, bytes));
    std::memset(p, pattern, static_cast<size_t>(bytes));
    FreeMem(p);
  };
  for (uint8_t pattern : {uint8_t{0x5E}, uint8_t{0x0B}}) {
    dirty(4 * 40 * 30, pattern);
    TMTC image(40, 30);
    ASSERT_TRUE(image.IsValid());
    for (uint32_t v : test::PixelsOf(image)) ASSERT_EQ(v, 0u);
    dirty(40 * 30, pattern);
    TChannel channel(40, 30);
    ASSERT_TRUE(channel.IsValid());
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(channel.GetPixel(x, y), 0) << x << "," << y;
    // Another size of a used image: a new block, cleared too.
    image.FillAll(0xA5A5A5A5u);
    dirty(4 * 41 * 30, pattern);
    ASSERT_TRUE(image.Resize(41, 30));
    for (uint32_t v : test::PixelsOf(image)) ASSERT_EQ(v, 0u);
  }
}

// Copies write every byte, so they skip the clear; they still equal their source.
TEST(FlatImageResize, CopiesEqualTheirSource) {
  TMTC image(37, 21);
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t x = 0; x < 37; ++x) *image.Pixel(x, y) = uint32_t(x * 0x01030507u + y * 0x0B0D1113u);
  const TMTC copy(image);
  EXPECT_EQ(test::PixelsOf(copy), test::PixelsOf(image));
  TChannel channel(37, 21);
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t x = 0; x < 37; ++x) *channel.GetPixelPtr(x, y) = static_cast<uint8_t>(x * 7 + y * 3);
  const TChannel channelCopy(channel);
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t x = 0; x < 37; ++x) ASSERT_EQ(channelCopy.GetPixel(x, y), channel.GetPixel(x, y));
}

TEST(FlatImageResize, ChannelReallocatesAtSameSize) {
  TChannel channel(8, 8);
  EXPECT_TRUE(channel.Resize(8, 8));
  EXPECT_TRUE(channel.IsValid());
  EXPECT_EQ(channel.GetPixelPtr(0, 7), channel.Bits());
}

TEST(FlatImageResize, ZeroSideGivesNoBlock) {
  TChannel channel;
  TMTC image;
  EXPECT_FALSE(channel.IsValid());
  EXPECT_TRUE(channel.Resize(0, 10));
  EXPECT_TRUE(image.Resize(0, 10));
  EXPECT_TRUE(image.Resize(10, 0));
  EXPECT_FALSE(channel.IsValid());
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(channel.Bits(), nullptr);
  EXPECT_EQ(image.Bits(), nullptr);
  SRectWH rect{0, 0, 5, 5};
  EXPECT_FALSE(channel.FillRect(rect, 1));
  EXPECT_FALSE(image.FillRect(rect, 1));
  channel.Fill(3);  // nothing to fill
  image.FillAll(3);
}

// Failed Resize: false, a line on the debugger output, an invalid 0 x 0 image that no routine
// writes through.
struct ResizeFailure {
  const char* name;
  int32_t width, height;
  int32_t refusals;  // allocations refused before the call
  bool channelToo;   // whether a channel of this size fails as well
};

void ExpectEmptyAndInert(TChannel& channel) {
  EXPECT_FALSE(channel.IsValid());
  EXPECT_EQ(channel.Size(), (SSize{0, 0}));
  EXPECT_EQ(channel.GetImageSize(), 0);
  SRectWH rect{0, 0, 4, 4};
  TRect bounds{0, 0, 4, 4};
  EXPECT_FALSE(channel.ClipRect(rect));
  EXPECT_FALSE(channel.ClipBounds(bounds));
  EXPECT_FALSE(channel.FillRect(rect, 1));
  EXPECT_FALSE(channel.BlendPixel(0, 0, 1, 255));
  EXPECT_FALSE(channel.GetNonZeroBounds(bounds));
  channel.Fill(1);
}

void ExpectEmptyAndInert(TMTC& image) {
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.Size(), (SSize{0, 0}));
  EXPECT_EQ(image.GetImageSize(), 0);
  SRectWH rect{0, 0, 4, 4};
  TRect bounds{0, 0, 4, 4};
  EXPECT_FALSE(image.ClipRect(rect));
  EXPECT_FALSE(image.ClipBounds(bounds));
  EXPECT_FALSE(image.FillRect(rect, 1));
  EXPECT_FALSE(image.BlendPixel(0, 0, 1, 255));
  EXPECT_EQ(image.GetPixelClamped(0, 0), 0u);
  image.FillAll(1);
}

TEST(FlatImageResize, FailuresLeaveInvalidEmptyImage) {
  const ResizeFailure cases[] = {
      {"negative width", -1, 10, 0, true},
      {"negative height", 10, -1, 0, true},
      {"w*h beyond 32 bits", 70000, 70000, 0, true},
      {"4*w*h beyond 32 bits", 40000, 40000, 0, false},
      {"4*w*h just beyond int32", 32768, 16384, 0, false},  // 2^31 bytes
      {"block refused", 16, 16, 1, true},
  };
  for (const ResizeFailure& c : cases) {
    SCOPED_TRACE(c.name);
    {
      DebugCapture capture;
      TMTC image(4, 4);
      SetMemoryRefusals(c.refusals);
      EXPECT_FALSE(image.Resize(c.width, c.height));
      SetMemoryRefusals(0);
      EXPECT_EQ(capture.Text(), "TMTC::Resize: caught an exception!\n");
      ExpectEmptyAndInert(image);
    }
    if (c.channelToo) {
      DebugCapture capture;
      TChannel channel(4, 4);
      SetMemoryRefusals(c.refusals);
      EXPECT_FALSE(channel.Resize(c.width, c.height));
      SetMemoryRefusals(0);
      EXPECT_EQ(capture.Text(), "TChannel::Resize: caught an exception!\n");
      ExpectEmptyAndInert(channel);
    }
  }
}

TEST(FlatImageResize, RowTableRefusedReleasesKeptBlock) {
  DebugCapture capture;
  TMTC image(16, 1);
  SetMemoryRefusals(1);  // the transposed size keeps the block; only the row table is new
  EXPECT_FALSE(image.Resize(1, 16));
  SetMemoryRefusals(0);
  ExpectEmptyAndInert(image);  // and ASan sees no leaked block
}

TEST(FlatImageResize, FailedConstructionIsInvalid) {
  DebugCapture capture;
  SetMemoryRefusals(1);
  TMTC image(8, 8);
  SetMemoryRefusals(1);
  TChannel channel(SSize{8, 8});
  SetMemoryRefusals(0);
  EXPECT_FALSE(image.IsValid());
  EXPECT_FALSE(channel.IsValid());
  // Copies of an invalid image are invalid too, and copying into a failed copy writes nothing.
  TMTC imageCopy(image);
  EXPECT_FALSE(imageCopy.IsValid());
  TMTC good(4, 4);
  SetMemoryRefusals(1);
  TMTC failedCopy(good);
  SetMemoryRefusals(0);
  EXPECT_FALSE(failedCopy.IsValid());
}

// ---------------------------------------------------------------------------------------------
// TChannel

TEST(FlatImageChannel, NonZeroBounds) {
  struct Case {
    const char* name;
    std::vector<TPoint> points;
    bool ok;
    TRect want;
  };
  const Case cases[] = {
      {"single byte", {{3, 7}}, true, {3, 7, 4, 8}},
      {"all zero", {}, false, {-1, -1, -1, -1}},
      {"corners", {{0, 0}, {9, 9}}, true, {0, 0, 10, 10}},
      {"spread", {{5, 1}, {2, 6}, {8, 4}}, true, {2, 1, 9, 7}},
      {"one column", {{6, 2}, {6, 8}}, true, {6, 2, 7, 9}},
  };
  for (const Case& c : cases) {
    TChannel channel(10, 10);
    channel.Fill(0);
    for (const TPoint& p : c.points) *channel.GetPixelPtr(p.x, p.y) = 200;
    TRect bounds{-1, -1, -1, -1};
    EXPECT_EQ(channel.GetNonZeroBounds(bounds), c.ok) << c.name;
    EXPECT_EQ(bounds, c.want) << c.name;
  }
}

TEST(FlatImageChannel, PixelsAndFills) {
  TChannel channel(6, 4);
  channel.Fill(10);
  EXPECT_EQ(channel.GetPixel(5, 3), 10);
  SRectWH rect{-2, 2, 4, 10};
  EXPECT_TRUE(channel.FillRect(rect, 99));
  EXPECT_EQ(rect, (SRectWH{0, 2, 2, 2}));
  EXPECT_EQ(channel.GetPixel(1, 3), 99);
  EXPECT_EQ(channel.GetPixel(2, 3), 10);
  EXPECT_EQ(channel.GetPixel(1, 1), 10);
  EXPECT_FALSE(channel.FillRectCoords(6, 0, 3, 3, 1));
  EXPECT_TRUE(channel.FillRectCoords(5, 0, 3, 1, 1));
  EXPECT_EQ(channel.GetPixel(5, 0), 1);
  EXPECT_EQ(channel.GetPixelClamped(-4, 100), channel.GetPixel(0, 3));
  EXPECT_EQ(channel.GetPixelClamped(100, -4), channel.GetPixel(5, 0));

  SRectWH all{0, 0, 6, 4};
  EXPECT_TRUE(channel.XorRect(all, 0xFF));
  EXPECT_EQ(channel.GetPixel(1, 3), 99 ^ 0xFF);

  EXPECT_TRUE(channel.BlendPixel(0, 0, 255, 128));  // (255*128 + p*127) div 255
  EXPECT_EQ(channel.GetPixel(0, 0), (255 * 128 + (10 ^ 0xFF) * 127) / 255);
  EXPECT_FALSE(channel.BlendPixel(6, 0, 255, 128));
  EXPECT_FALSE(channel.BlendPixel(-1, 0, 255, 128));
  *channel.GetPixelPtr(1, 0) = 0;
  EXPECT_TRUE(channel.BlendPixelFast(1, 0, 255, 128));
  EXPECT_EQ(channel.GetPixel(1, 0), 127);
  EXPECT_FALSE(channel.BlendPixelFast(0, 4, 255, 128));
}

void ClearLowBitOp(uint8_t* byte, uint8_t value) { *byte = static_cast<uint8_t>((*byte & 0xFE) | (value & 1)); }

TEST(FlatImageChannel, CombineAndApply) {
  TChannel dest(4, 4);
  TChannel source(4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      *dest.GetPixelPtr(x, y) = static_cast<uint8_t>(16 * y + x);
      *source.GetPixelPtr(x, y) = static_cast<uint8_t>(40 + x);
    }
  TPoint point{1, 1};
  SRectWH rect{0, 0, 4, 4};
  EXPECT_TRUE(dest.CombineRect(source, point, rect, &MaxByteOp));
  EXPECT_EQ(rect, (SRectWH{0, 0, 3, 3}));
  EXPECT_EQ(dest.GetPixel(0, 0), 0);
  EXPECT_EQ(dest.GetPixel(1, 1), 40);          // max(17, 40)
  EXPECT_EQ(dest.GetPixel(3, 3), 16 * 3 + 3);  // max(51, 42)

  SRectWH all{0, 0, 4, 4};
  EXPECT_TRUE(dest.ApplyToRect(all, 128, &MulByteOp));
  EXPECT_EQ(dest.GetPixel(1, 1), MulDiv255(40, 128));
  EXPECT_TRUE(dest.ApplyToRect(all, 1, &ClearLowBitOp));  // an operation the loop does not know
  EXPECT_EQ(dest.GetPixel(0, 0), 1);
  EXPECT_FALSE(dest.ApplyToRect(all, 1, nullptr));
  TPoint outside{4, 0};
  SRectWH r{0, 0, 4, 4};
  EXPECT_FALSE(dest.CombineRect(source, outside, r, &SetByteOp));
}

TEST(FlatImageChannel, CopyRectTo) {
  TChannel source(4, 3);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) *source.GetPixelPtr(x, y) = static_cast<uint8_t>(10 * y + x);
  TChannel dest(5, 5);
  dest.Fill(0);
  TPoint point{2, 1};
  SRectWH rect{1, 0, 3, 3};
  EXPECT_TRUE(source.CopyRectTo(dest, point, rect));
  EXPECT_EQ(dest.GetPixel(2, 1), 1);
  EXPECT_EQ(dest.GetPixel(4, 3), 23);
  EXPECT_EQ(dest.GetPixel(1, 1), 0);

  TChannel copy(source);
  ASSERT_TRUE(copy.IsValid());
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(copy.GetPixel(x, y), source.GetPixel(x, y));

  // Images of another pixel size are refused: a channel row is not a 32-bit row.
  TMTC image(4, 3);
  image.FillAll(0xAABBCCDDu);
  EXPECT_FALSE(source.CopyAllTo(image, 0, 0));
  EXPECT_EQ(image.GetPixel(0, 0), 0xAABBCCDDu);
}

TEST(FlatImageChannel, CopyWithinOneChannelOverlapping) {
  TChannel channel(3, 7);
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 3; ++x) *channel.GetPixelPtr(x, y) = static_cast<uint8_t>(y + 1);
  for (int32_t shift : {2, -2}) {
    TChannel c(channel);
    TPoint point{0, 2 + shift};
    SRectWH rect{0, 2, 3, 3};
    EXPECT_TRUE(c.CopyRectTo(c, point, rect));
    for (int32_t j = 0; j < 3; ++j) EXPECT_EQ(c.GetPixel(1, 2 + shift + j), 3 + j) << shift;
  }
}

// ---------------------------------------------------------------------------------------------
// TMTC pixel access

TEST(FlatImageMtc, PixelAccess) {
  TMTC image(3, 2);
  image.FillColor(0x00030201u);  // window-system colour: red 1, green 2, blue 3
  const uint8_t* bytes = image.Bits();
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(bytes[1], 2);
  EXPECT_EQ(bytes[2], 1);
  EXPECT_EQ(bytes[3], 0);
  image.FillValue(0x80102030u);
  EXPECT_EQ(image.GetPixel(2, 1), 0x80102030u);
  *image.Pixel(0, 0) = 0xFFFFFFFFu;
  *image.Pixel(2, 1) = 0xFF0A141Eu;  // R 10, G 20, B 30
  EXPECT_EQ(image.GetPixelClamped(-5, -5), 0xFFFFFFFFu);
  EXPECT_EQ(image.GetPixelClamped(9, 9), 0xFF0A141Eu);
  EXPECT_EQ(image.GetLuminanceClamped(-1, 0), 255);
  int32_t r = 1, g = 2, b = 3;
  image.AddPixelRGB(5, 5, r, g, b);
  EXPECT_EQ(r, 11);
  EXPECT_EQ(g, 22);
  EXPECT_EQ(b, 33);
  SRGBSum sum{0, 0, 0};
  image.AddPixelToSum(2, 1, sum);
  image.AddPixelToSum(2, 1, sum);
  EXPECT_EQ(sum.r, 20);
  EXPECT_EQ(sum.g, 40);
  EXPECT_EQ(sum.b, 60);

  *image.Pixel(1, 0) = 0x80000000u;
  EXPECT_TRUE(image.BlendPixel(1, 0, 0x00FFFFFFu, 128));
  EXPECT_EQ(image.GetPixel(1, 0), 0x80808080u);
  EXPECT_FALSE(image.BlendPixel(3, 0, 0, 255));
  EXPECT_FALSE(image.BlendPixelFast(0, -1, 0, 255));
  EXPECT_TRUE(image.BlendPixelFast(1, 1, 0x00000000u, 255));
  EXPECT_EQ(image.GetPixel(1, 1), 0x80000000u);
}

TEST(FlatImageMtc, CopiesKeepOrientation) {
  BottomUpMTC dib(3, 4);
  FillPattern(dib);
  TMTC copy(dib);  // a top-down copy of a bottom-up image is upright
  ASSERT_TRUE(copy.IsValid());
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(copy.GetPixel(x, y), dib.GetPixel(x, y));

  TMTC same(3, 4);
  EXPECT_TRUE(CopyPixels32(same, copy));
  EXPECT_EQ(same.GetPixel(2, 3), copy.GetPixel(2, 3));
  TMTC other(4, 3);
  other.FillAll(7);
  EXPECT_FALSE(CopyPixels32(other, copy));  // sizes differ
  EXPECT_EQ(other.GetPixel(0, 0), 7u);
  TMTC empty;
  EXPECT_FALSE(CopyPixels32(empty, copy));
}

}  // namespace
}  // namespace tf
