#include "raster/DibImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Debug.h"
#include "platform/Memory.h"
#include "platform/Surface.h"

namespace tf {
namespace {

void FillPattern(TMTC& image) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x)
      *image.Pixel(x, y) = 0x01000000u * uint32_t(x + 1) | uint32_t(y * 16 + x);
}

TEST(DibImage, ResizeMakesBottomUpZeroedBlocks) {
  TTC image;
  EXPECT_TRUE(image.MakesDC());
  EXPECT_TRUE(image.Resize(0, 0));  // the size it has: nothing made
  EXPECT_FALSE(image.IsValid());
  EXPECT_TRUE(image.Resize(0, 5));  // sides of at least 1
  ASSERT_TRUE(image.IsValid());
  EXPECT_EQ(image.Size(), (SSize{1, 5}));
  EXPECT_EQ(image.GetRowStep(), -1);
  EXPECT_FALSE(image.IsTopDown());
  EXPECT_EQ(image.GetPixelPtr(0, 4), image.Bits());  // the bottom row comes first
  ASSERT_TRUE(image.Resize(3, 2));
  EXPECT_EQ(image.RowOffsets()[0], 12);
  EXPECT_EQ(image.RowOffsets()[1], 0);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(image.GetPixel(x, y), 0u);
  // The same size again keeps the block and its pixels.
  *image.Pixel(1, 1) = 0xDEADBEEFu;
  const uint8_t* block = image.Bits();
  EXPECT_TRUE(image.Resize(3, 2));
  EXPECT_EQ(image.Bits(), block);
  EXPECT_EQ(image.GetPixel(1, 1), 0xDEADBEEFu);
  EXPECT_EQ(image.GetImageSize(), 24);
  EXPECT_EQ(image.GetBytesPerPixel(), 4);
  image.FreeImage();
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.Size(), (SSize{0, 0}));

  TTC sized(4, 3, false);
  EXPECT_TRUE(sized.IsValid());
  EXPECT_FALSE(sized.MakesDC());
  EXPECT_FALSE(sized.HasDC());
  TTC withDC(true);
  EXPECT_TRUE(withDC.MakesDC());
}

TEST(DibImage, ResizeFailureIsReportedAndLeavesNothing) {
  std::string log;
  DebugSink old = SetDebugSink([&](std::string_view text) { log += text; });
  TTC image(2, 2);
  SetMemoryRefusals(1);
  EXPECT_FALSE(image.Resize(5, 5));
  SetMemoryRefusals(0);
  SetDebugSink(old);
  EXPECT_EQ(log, "TTC::Resize: caught an exception!\n");
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.Size(), (SSize{0, 0}));
  // Not stuck: the next request allocates.
  EXPECT_TRUE(image.Resize(5, 5));
  EXPECT_TRUE(image.IsValid());
  // A size whose bytes do not fit the image's limit.
  EXPECT_FALSE(image.Resize(65536, 65536));
  EXPECT_FALSE(image.IsValid());
}

TEST(DibImage, WorksWithTheFlatImageRoutines) {
  // The bottom-up rows are invisible to routines that go through the row table.
  TTC dib(4, 3);
  TMTC flat(4, 3);
  FillPattern(flat);
  EXPECT_TRUE(dib.CopyAllFrom(0, 0, flat));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dib.GetPixel(x, y), flat.GetPixel(x, y));
  // Row 0 of the picture is the last row of the block.
  EXPECT_EQ(*reinterpret_cast<uint32_t*>(dib.Bits() + 2 * 16), flat.GetPixel(0, 0));
}

TEST(DibImage, DrawsOntoSurfacesOpaque) {
  TTC image(3, 2);
  FillPattern(image);
  MemorySurface surface(6, 5, 0x11111111u);
  image.DrawToWindow(surface, 2, 1, false);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
      EXPECT_EQ(surface.Pixel(x, y), inside ? (image.GetPixel(x - 2, y - 1) | 0xFF000000u) : 0x11111111u);
    }
  // Stretch with the client area of the image's size: 1:1 at (0, 0), whatever x and y say.
  MemorySurface same(3, 2, 0);
  image.DrawToPaintBox(same, 7, 7, true);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(same.Pixel(x, y), image.GetPixel(x, y) | 0xFF000000u);
  // Stretch onto a larger client area: every pixel doubled.
  MemorySurface doubled(6, 4, 0);
  image.DrawToWindow(doubled, 0, 0, true);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(doubled.Pixel(x, y), image.GetPixel(x / 2, y / 2) | 0xFF000000u);
  // DrawToDC answers the copy's result; DrawToCanvas draws the same.
  MemorySurface dc(3, 2, 0);
  EXPECT_TRUE(image.DrawToDC(dc, 0, 0));
  EXPECT_EQ(dc.Pixels(), same.Pixels());
  MemorySurface canvas(3, 2, 0);
  image.DrawToCanvas(canvas, 0, 0);
  EXPECT_EQ(canvas.Pixels(), same.Pixels());
  MemorySurface gone(3, 2, 0);
  gone.SetRefuseDrawing(true);
  EXPECT_FALSE(image.DrawToDC(gone, 0, 0));
}

TEST(DibImage, MemorySurfaceClipsBothSides) {
  TTC image(3, 3);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) *image.Pixel(x, y) = uint32_t(y * 3 + x + 1);
  const PixelBlockView block = BlockViewOf(image);
  MemorySurface surface(2, 2, 0);
  // Partly off the surface's top-left and off the block's right and bottom.
  EXPECT_TRUE(surface.Blit(-1, -1, 3, 3, block, 1, 1));
  EXPECT_EQ(surface.Pixels(), (std::vector<uint32_t>{0xFF000009u, 0, 0, 0}));
  // Stretching a 3x3 block onto 2x2 takes source pixels 0 and 1 of each axis (i*3 div 2).
  EXPECT_TRUE(surface.StretchBlit(0, 0, 2, 2, block, 0, 0, 3, 3));
  EXPECT_EQ(surface.Pixels(), (std::vector<uint32_t>{0xFF000001u, 0xFF000002u, 0xFF000004u, 0xFF000005u}));
  EXPECT_FALSE(surface.StretchBlit(0, 0, 0, 2, block, 0, 0, 3, 3));
  EXPECT_FALSE(surface.Blit(0, 0, 1, 1, PixelBlockView{}, 0, 0));
}

TEST(DibImage, WithoutDrawingContextNothingIsDrawn) {
  TTC image(2, 2, false);
  image.FillAll(0xFFFFFFFFu);
  MemorySurface surface(2, 2, 0);
  image.DrawToWindow(surface, 0, 0, false);
  image.DrawToWindow(surface, 0, 0, true);
  image.DrawToCanvas(surface, 0, 0);
  EXPECT_FALSE(image.DrawToDC(surface, 0, 0));
  EXPECT_EQ(surface.DrawCount(), 0);
  EXPECT_EQ(surface.Pixels(), std::vector<uint32_t>(4, 0u));
  EXPECT_FALSE(image.FrameRectGDI({0, 0, 2, 2}, 0x0000FF));
  EXPECT_EQ(image.GetPixel(0, 0), 0xFFFFFFFFu);
  // An invalid image cannot be drawn either.
  TTC empty;
  EXPECT_FALSE(empty.DrawToDC(surface, 0, 0));
}

TEST(DibImage, PaintToDCDrawsEveryRowOrderUpright) {
  TMTC flat(3, 4);
  FillPattern(flat);
  TTC dib(3, 4);
  dib.CopyAllFrom(0, 0, flat);
  MemorySurface a(5, 6, 0), b(5, 6, 0);
  EXPECT_TRUE(PaintToDC(flat, a, 1, 1));
  EXPECT_TRUE(PaintToDC(dib, b, 1, 1));
  EXPECT_EQ(a.Pixels(), b.Pixels());
  EXPECT_EQ(a.Pixel(1, 1), flat.GetPixel(0, 0) | 0xFF000000u);
  EXPECT_EQ(a.Pixel(3, 4), flat.GetPixel(2, 3) | 0xFF000000u);
  // A single row has no second row to measure the stride by.
  TMTC row(2, 1);
  row.FillAll(0x00ABCDEFu);
  MemorySurface c(2, 1, 0);
  EXPECT_TRUE(PaintToDC(row, c, 0, 0));
  EXPECT_EQ(c.Pixels(), std::vector<uint32_t>(2, 0xFFABCDEFu));
  TMTC invalid;
  EXPECT_FALSE(PaintToDC(invalid, c, 0, 0));
}

TEST(DibImage, FrameRectGDIOutlinesAndKeepsAlpha) {
  TTC image(5, 4);
  image.FillAll(0x40000000u);
  // A window-system colour has red in the low byte.
  EXPECT_TRUE(image.FrameRectGDI({1, 0, 4, 3}, 0x000000FFu));
  const char* expected[4] = {".###.", ".#.#.", ".###.", "....."};
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(image.GetPixel(x, y), expected[y][x] == '#' ? 0x40FF0000u : 0x40000000u) << x << "," << y;
  // Empty bounds draw nothing; partly outside is clipped.
  image.FillAll(0);
  EXPECT_FALSE(image.FrameRectGDI({2, 2, 2, 5}, 0xFFFFFF));
  EXPECT_FALSE(image.FrameRectGDI({3, 1, 1, 3}, 0xFFFFFF));
  EXPECT_FALSE(image.FrameRectGDI({10, 10, 20, 20}, 0xFFFFFF));
  EXPECT_TRUE(image.FrameRectGDI({-1, -1, 2, 2}, 0x00FF00));
  const char* clipped[4] = {".#...", "##...", ".....", "....."};
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(image.GetPixel(x, y), clipped[y][x] == '#' ? 0x0000FF00u : 0u) << x << "," << y;
  // One pixel: written once.
  image.FillAll(0);
  EXPECT_TRUE(image.FrameRectGDI({4, 3, 5, 4}, 0x123456));
  EXPECT_EQ(image.GetPixel(4, 3), 0x00563412u);
}

TEST(DibImage, FixedMemStreamReadsBmpAndNeverGrows) {
  uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  CFixedMemStream stream(static_cast<void*>(block), 8);
  uint8_t got[4];
  EXPECT_TRUE(stream.ReadExact(got, 4));
  EXPECT_EQ(got[3], 4);
  EXPECT_EQ(stream.Write(got, 8), 0);  // past the end: refused
  EXPECT_EQ(stream.Size(), 8);
  EXPECT_EQ(stream.Detach(), block);
  EXPECT_EQ(stream.Size(), 0);
}

}  // namespace
}  // namespace tf
