#include "document/Mask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "document/MaskCanvas.h"
#include "platform/Warning.h"
#include "raster/Composite.h"
#include "support/TestRng.h"

namespace tf {
namespace {

class FakeCanvas final : public MaskCanvas {
 public:
  FakeCanvas(int32_t w, int32_t h) : size{w, h} {}
  SSize CanvasSize() const override { return size; }
  void CanvasToClientPoint(TPoint& point) const override {
    point.x = static_cast<int32_t>(static_cast<float>(point.x) * zoom + 0.01f);
    point.y = static_cast<int32_t>(static_cast<float>(point.y) * zoom + 0.01f);
  }
  float ViewZoom() const override { return zoom; }
  float ViewSine() const override { return 0.0f; }
  float ViewCosine() const override { return 1.0f; }
  SSize size;
  float zoom = 1.0f;
};

// A random channel: a third of the pixels 0, the others 1..255.
std::unique_ptr<TChannel> RandomChannel(test::XorShiftRng& rng, int32_t w, int32_t h) {
  auto made = std::make_unique<TChannel>(w, h);
  TChannel& channel = *made;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      channel.GetPixelPtr(x, y)[0] = rng.Next() % 3 == 0 ? 0 : static_cast<uint8_t>(1 + rng.Next() % 255);
  return made;
}

// The value a shape lying at offset puts on a canvas pixel; 0 off the shape.
int32_t ShapeAt(const TChannel& channel, const TPoint& offset, int32_t x, int32_t y) {
  const int32_t sx = x + offset.x;
  const int32_t sy = y + offset.y;
  if (sx < 0 || sy < 0 || sx >= channel.Width() || sy >= channel.Height()) return 0;
  return channel.GetPixelPtr(sx, sy)[0];
}

int32_t MaskAt(const CMaskData& mask, int32_t x, int32_t y) { return std::max(mask.ValueAtCanvas(x, y), 0); }

TEST(MaskCombine, EveryModeMatchesItsFormulaOnTheUnionWithOffsetsAndZeroOutside) {
  test::XorShiftRng rng(0x5EED18);
  FakeCanvas canvas(40, 30);
  for (int round = 0; round < 40; ++round) {
    for (int32_t mode = 0; mode <= 3; ++mode) {
      CMaskMngr masks(&canvas);
      const SSize sizeA{1 + static_cast<int32_t>(rng.Next() % 50), 1 + static_cast<int32_t>(rng.Next() % 40)};
      const SSize sizeB{1 + static_cast<int32_t>(rng.Next() % 50), 1 + static_cast<int32_t>(rng.Next() % 40)};
      const TPoint offA{static_cast<int32_t>(rng.Next() % 21) - 10, static_cast<int32_t>(rng.Next() % 21) - 10};
      const TPoint offB{static_cast<int32_t>(rng.Next() % 21) - 10, static_cast<int32_t>(rng.Next() % 21) - 10};
      const std::unique_ptr<TChannel> pa = RandomChannel(rng, sizeA.width, sizeA.height);
      const TChannel& a = *pa;
      const std::unique_ptr<TChannel> pb = RandomChannel(rng, sizeB.width, sizeB.height);
      const TChannel& b = *pb;
      std::unique_ptr<CMaskData> old;
      ASSERT_TRUE(masks.CombineChannel(0, a, kMaskReplace, old, offA, sizeA));
      const std::unique_ptr<CMaskData> before = CMaskData::CreateCopy(*masks.GetMask(0));
      old.reset();
      ASSERT_TRUE(masks.CombineChannel(0, b, mode, old, offB, sizeB)) << "mode " << mode;
      ASSERT_NE(old, nullptr);
      const CMaskData& result = *masks.GetMask(0);
      EXPECT_EQ(result.name,
                "\x83\x7D\x83\x58\x83\x4E"
                "1");
      // The handed-out mask is the old one, unchanged (subtract inverts it and back).
      for (int32_t y = -12; y < 52; ++y)
        for (int32_t x = -12; x < 62; ++x) {
          ASSERT_EQ(MaskAt(*old, x, y), MaskAt(*before, x, y));
          const int32_t va = ShapeAt(a, offA, x, y);
          const int32_t vb = ShapeAt(b, offB, x, y);
          int32_t expected = 0;
          switch (mode) {
            case 0: expected = vb; break;
            case 1: expected = std::max(va, vb); break;
            case 2: expected = std::min(va, 255 - vb); break;
            case 3: expected = static_cast<int32_t>((static_cast<uint32_t>(va) * vb * 32897u) >> 23); break;
          }
          ASSERT_EQ(MaskAt(result, x, y), expected) << "mode " << mode << " at " << x << "," << y;
        }
      // Subtracting never grows the store.
      if (mode == kMaskSubtract) {
        EXPECT_EQ(result.Store()->Width(), sizeA.width);
        EXPECT_EQ(result.Store()->Height(), sizeA.height);
      }
    }
  }
}

TEST(MaskCombine, SubtractAndIntersectNeedAStoreAndAddIntoNoStoreIsTheShape) {
  FakeCanvas canvas(20, 20);
  CMaskMngr masks(&canvas);
  TChannel shape(4, 4);
  SRectWH all{0, 0, 4, 4};
  shape.FillRect(all, 200);
  std::unique_ptr<CMaskData> old;
  EXPECT_FALSE(masks.CombineChannel(0, shape, kMaskSubtract, old, TPoint{0, 0}, SSize{4, 4}));
  EXPECT_FALSE(masks.CombineChannel(0, shape, kMaskIntersect, old, TPoint{0, 0}, SSize{4, 4}));
  EXPECT_FALSE(masks.GetMask(0)->IsAllocated());
  EXPECT_TRUE(masks.CombineChannel(0, shape, kMaskAdd, old, TPoint{-3, -3}, SSize{4, 4}));
  EXPECT_EQ(masks.GetMask(0)->ValueAtCanvas(3, 3), 200);
  EXPECT_EQ(masks.GetMask(0)->ValueAtCanvas(7, 7), -1);
  // Intersecting with a shape outside the old mask: all zero over the union.
  old.reset();
  EXPECT_TRUE(masks.CombineChannel(0, shape, kMaskIntersect, old, TPoint{-12, -12}, SSize{4, 4}));
  TRect bounds{};
  EXPECT_FALSE(masks.GetMask(0)->GetBounds(bounds));
  EXPECT_EQ(masks.GetMask(0)->GetRect(), (TRect{3, 3, 16, 16}));
}

TEST(MaskCombine, RefusedSizesOffsetsModesAndIndexesChangeNothing) {
  FakeCanvas canvas(20, 20);
  CMaskMngr masks(&canvas);
  TChannel shape(4, 4);
  struct Case {
    int32_t index;
    int32_t mode;
    TPoint offset;
    SSize size;
  };
  const Case cases[] = {
      {0, 4, {0, 0}, {4, 4}},                   // no such mode
      {0, -1, {0, 0}, {4, 4}},                  // nor this
      {5, 0, {0, 0}, {4, 4}},                   // no such mask
      {-2, 0, {0, 0}, {4, 4}},                  // nor this
      {0, 0, {0, 0}, {0, 4}},                   // empty size
      {0, 0, {0, 0}, {4, -4}},                  // negative size
      {0, 1, {INT32_MIN, 0}, {4, 4}},           // an offset whose rectangle would wrap
      {0, 1, {0, kMaxMaskOffset + 1}, {4, 4}},  // beyond the offset range
      {0, 0, {0, 0}, {kMaxMaskSide + 1, 4}},    // beyond the size range
  };
  for (const Case& c : cases) {
    std::unique_ptr<CMaskData> old;
    const int32_t id = masks.GetMask(0)->id;
    EXPECT_FALSE(masks.CombineChannel(c.index, shape, c.mode, old, c.offset, c.size));
    EXPECT_EQ(old, nullptr);
    EXPECT_EQ(masks.GetCount(), 1);
    EXPECT_EQ(masks.GetMask(0)->id, id);
    if (c.index == 0) {
      EXPECT_EQ(masks.CombineToNew(0, shape, c.mode, c.offset, c.size), nullptr);
    }
  }
}

TEST(MaskInvert, InsideTheCanvasInPlaceOverTheStoreOnlyElseExtendedAndHandedOut) {
  FakeCanvas canvas(20, 10);
  CMaskMngr masks(&canvas);
  TChannel shape(5, 4);
  SRectWH all{0, 0, 5, 4};
  shape.FillRect(all, 55);
  std::unique_ptr<CMaskData> old;
  // A store inside the canvas, smaller than it: inverted over its own area only.
  ASSERT_TRUE(masks.CombineChannel(0, shape, kMaskReplace, old, TPoint{-2, -3}, SSize{5, 4}));
  old.reset();
  const int32_t id = masks.GetMask(0)->id;
  ASSERT_TRUE(masks.InvertMask(0, old));
  EXPECT_EQ(old, nullptr);
  EXPECT_EQ(masks.GetMask(0)->id, id);
  EXPECT_EQ(masks.GetMask(0)->ValueAtCanvas(2, 3), 200);
  EXPECT_EQ(masks.GetMask(0)->ValueAtCanvas(0, 0), -1);
  // A store sticking out of the canvas: a store covering both, the old mask handed out.
  ASSERT_TRUE(masks.CombineChannel(0, shape, kMaskReplace, old, TPoint{3, 0}, SSize{5, 4}));
  old.reset();
  ASSERT_TRUE(masks.InvertMask(0, old));
  ASSERT_NE(old, nullptr);
  const CMaskData& inverted = *masks.GetMask(0);
  EXPECT_EQ(inverted.GetRect(), (TRect{-3, 0, 20, 10}));
  EXPECT_EQ(inverted.ValueAtCanvas(-3, 0), 200);
  EXPECT_EQ(inverted.ValueAtCanvas(10, 5), 255);
  EXPECT_FALSE(masks.InvertMask(3, old));
}

TEST(MaskList, NamesDuplicateMoveAndTheStartingMask) {
  FakeCanvas canvas(10, 10);
  CMaskMngr masks(&canvas);
  const std::string stem = "\x83\x7D\x83\x58\x83\x4E";
  ASSERT_EQ(masks.GetCount(), 1);
  EXPECT_FALSE(masks.GetMask(0)->IsAllocated());
  EXPECT_EQ(masks.GetMask(0)->name, stem + "1");
  EXPECT_EQ(masks.GetActiveIndex(), 0);
  EXPECT_EQ(masks.NewMask(1), 1);
  EXPECT_EQ(masks.GetMask(1)->name, stem + "2");
  EXPECT_EQ(masks.SetNameCounter(7), 2);
  EXPECT_EQ(masks.NewMask(2), 2);
  EXPECT_EQ(masks.GetMask(2)->name, stem + "8");
  // The copy goes to n, the source to n + 1, with a new id.
  CMaskData* source = masks.GetMask(1);
  EXPECT_EQ(masks.Duplicate(1), 1);
  EXPECT_EQ(masks.GetMask(2), source);
  EXPECT_NE(masks.GetMask(1)->id, source->id);
  EXPECT_EQ(masks.GetMask(1)->name, source->name);
  EXPECT_EQ(masks.GetMask(2)->index, 2);
  EXPECT_EQ(masks.Move(0, 2), 0);
  EXPECT_EQ(masks.GetMask(0), source);
  EXPECT_EQ(masks.Move(0, 0), -1);
  EXPECT_EQ(masks.Move(9, 0), -1);
  EXPECT_EQ(masks.CombineModeCaption(2), "選択範囲から取り除く(&R)");
  EXPECT_EQ(masks.CombineModeCaption(4), "");
}

TEST(MaskCombineMasks, IntersectIntoNoStoreFailsAndAddCopies) {
  FakeCanvas canvas(10, 10);
  CMaskMngr masks(&canvas);
  ASSERT_EQ(masks.NewMask(1), 1);
  TChannel shape(3, 3);
  SRectWH all{0, 0, 3, 3};
  shape.FillRect(all, 90);
  std::unique_ptr<CMaskData> old;
  ASSERT_TRUE(masks.CombineChannel(1, shape, kMaskReplace, old, TPoint{-1, -1}, SSize{3, 3}));
  old.reset();
  const std::string name = masks.GetMask(0)->name;
  EXPECT_FALSE(masks.CombineMasks(0, 1, kMaskIntersect, old));
  EXPECT_FALSE(masks.GetMask(0)->IsAllocated());
  EXPECT_TRUE(masks.CombineMasks(0, 1, kMaskAdd, old));
  EXPECT_EQ(masks.GetMask(0)->ValueAtCanvas(1, 1), 90);
  EXPECT_EQ(masks.GetMask(0)->name, name);
  old.reset();
  EXPECT_TRUE(masks.CombineMasks(0, 1, kMaskSubtract, old));
  EXPECT_EQ(masks.GetMask(0)->ValueAtCanvas(1, 1), 90);  // min(90, 255 - 90)
}

TEST(MaskThumbnail, FitNeverGivesAZeroSide) {
  CMaskData mask(0);
  EXPECT_TRUE(mask.FitThumbnail(1000, 10, 48, 48));
  EXPECT_EQ(mask.Thumbnail()->Width(), 48);
  EXPECT_EQ(mask.Thumbnail()->Height(), 1);
  EXPECT_TRUE(mask.FitThumbnail(10, 20, 48, 48));
  EXPECT_EQ(mask.Thumbnail()->Width(), 24);
  EXPECT_EQ(mask.Thumbnail()->Height(), 48);
}

TEST(MaskScale, NegativeOffsetsStayNegativeAndScaleWithTheStore) {
  FakeCanvas canvas(100, 50);
  CMaskMngr masks(&canvas);
  TChannel shape(40, 20);
  SRectWH all{0, 0, 40, 20};
  shape.FillRect(all, 255);
  std::unique_ptr<CMaskData> old;
  ASSERT_TRUE(masks.CombineChannel(0, shape, kMaskReplace, old, TPoint{-20, -10}, SSize{40, 20}));
  for (int32_t method : {1, 2}) {
    std::unique_ptr<CMaskData> scaled =
        masks.ScaleMask(*masks.GetMask(0), SSize{100, 50}, SSize{200, 100}, method);
    ASSERT_NE(scaled, nullptr);
    EXPECT_EQ(scaled->offsetX, -40);
    EXPECT_EQ(scaled->offsetY, -20);
    EXPECT_EQ(scaled->Store()->Width(), 80);
    EXPECT_EQ(scaled->ValueAtCanvas(50, 30), 255);
  }
  EXPECT_EQ(masks.ScaleMask(*masks.GetMask(0), SSize{100, 50}, SSize{200, 100}, 3), nullptr);
  std::unique_ptr<CMaskMngr> zoomed = masks.makeZoomMask(SSize{50, 25}, 2);
  ASSERT_NE(zoomed, nullptr);
  EXPECT_EQ(zoomed->GetMask(0)->offsetX, -10);
  EXPECT_EQ(masks.GetMask(0)->offsetX, -20);  // the old list is untouched
  EXPECT_TRUE(masks.ScaleAllMasks(SSize{50, 25}, 1));
  EXPECT_EQ(masks.GetMask(0)->Store()->Width(), 20);
}

}  // namespace
}  // namespace tf
