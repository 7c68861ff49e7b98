// The row forms of the descriptor composite against CompositePixel: the last step over every
// colour byte and alpha, every kind of descriptor over every alpha pair and a spread of
// opacities, runs the rows skip or copy, every tail; and the store and image composites worked
// by rows against the same walks pixel by pixel.
#include "raster/CompositeRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/BlockVMTC.h"
#include "raster/PixelOpDispatch.h"
#include "raster/RegionOps.h"
#include "support/TestRng.h"

namespace tf {
namespace {

// Routines for descriptors: the accumulator takes the colour (so a test chooses the bytes that
// reach the last step), or stays.
void TakeColour(uint32_t* acc, uint32_t colour, int32_t) { *acc = colour; }
void Leave(uint32_t*, uint32_t, int32_t) {}

// The row form of a routine, as a blend mode gives it.
template <PixelOp Op>
void RowOf(uint32_t* acc, const uint32_t* colour, const uint32_t* weight, int32_t count) {
  for (int32_t i = 0; i < count; ++i) Op(acc + i, colour[i], static_cast<int32_t>(weight[i]));
}

SCompositeOps Descriptor(uint32_t start, uint8_t flags, PixelOp destination, WeightedRowOp destinationRows,
                         PixelOp source, WeightedRowOp sourceRows) {
  SCompositeOps ops;
  ops.startColor = start;
  ops.flags = flags;
  ops.destination = destination;
  ops.source = source;
  ops.destinationRows = destinationRows;
  ops.sourceRows = sourceRows;
  return ops;
}

// Each test of the rows runs on both builds: the one this processor takes (AVX2 where it has it)
// and the baseline.
class CompositeRowsBuilds : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { ForceBaselineCompositeRows(GetParam()); }
  void TearDown() override { ForceBaselineCompositeRows(false); }
};
INSTANTIATE_TEST_SUITE_P(Builds, CompositeRowsBuilds, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Baseline" : "Preferred");
                         });

// CompositeRow against CompositePixel pixel by pixel, from an odd start.
void ExpectRowAsPixels(const std::vector<uint32_t>& dest, const std::vector<uint32_t>& source, int32_t opacity,
                       const SCompositeOps& ops, const std::string& what) {
  SCompositeRowOps rows;
  ASSERT_TRUE(CompositeRowOpsOf(ops, rows));
  std::vector<uint32_t> want = dest, got = dest;
  for (size_t i = 0; i < dest.size(); ++i) CompositePixel(&want[i], source[i], opacity, ops);
  CompositeRow(got.data(), source.data(), static_cast<int32_t>(dest.size()), opacity, rows);
  for (size_t i = 0; i < dest.size(); ++i)
    ASSERT_EQ(got[i], want[i]) << what << " opacity " << opacity << std::hex << " dest " << dest[i] << " source "
                               << source[i];
  // One colour.
  want = dest;
  got = dest;
  for (size_t i = 0; i < dest.size(); ++i) CompositePixel(&want[i], source[7], opacity, ops);
  CompositeColorRow(got.data(), source[7], static_cast<int32_t>(dest.size()), opacity, rows);
  ASSERT_EQ(got, want) << what << " colour " << std::hex << source[7];
}

// The last step divides every colour byte by the new alpha: with the colour taken from the
// destination and e = 0 the new alpha is the destination's, so these rows reach every (byte,
// alpha) pair in each channel.
TEST_P(CompositeRowsBuilds, LastStepGivesWhatCompositePixelGivesForEveryByteAndAlpha) {
  test::XorShiftRng rng(0xB17E5);
  std::vector<uint32_t> dest, source;
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t x = 0; x < 256; ++x) {
      dest.push_back((a << 24) | (((x * 7u) & 0xFFu) << 16) | ((255u - x) << 8) | x);
      source.push_back(rng.Next() & 0x00FFFFFFu);
    }
  }
  ExpectRowAsPixels(dest, source, 255, Descriptor(0, 0, TakeColour, RowOf<TakeColour>, Leave, RowOf<Leave>),
                    "take colour");
}

struct Kind {
  const char* name;
  PixelOp destination;
  WeightedRowOp destinationRows;
  PixelOp source;
  WeightedRowOp sourceRows;
};
// BlendColor is worked inline on either side (with or without its row form named); other
// routines through their row forms.
const Kind kKinds[] = {
    {"blend/blend", BlendColor, nullptr, BlendColor, nullptr},
    {"blend/blend rows", BlendColor, BlendColorWeightedRow, BlendColor, BlendColorWeightedRow},
    {"multiply/blend", MultiplyOp, RowOf<MultiplyOp>, BlendColor, nullptr},
    {"blend/add", BlendColor, nullptr, AddOp, RowOf<AddOp>},
    {"subtract/multiply", SubtractOp, RowOf<SubtractOp>, MultiplyOp, RowOf<MultiplyOp>},
};
const uint8_t kFlags[] = {0, kCompositeStartFromSource, kCompositeSkipZeroAlpha,
                          kCompositeStartFromSource | kCompositeSkipZeroAlpha};

TEST_P(CompositeRowsBuilds, EveryKindOfDescriptorGivesWhatCompositePixelGivesForEveryAlphaPair) {
  test::XorShiftRng rng(0xA1FA);
  std::vector<uint32_t> dest, source;
  for (uint32_t da = 0; da < 256; ++da) {
    for (uint32_t sa = 0; sa < 256; ++sa) {
      dest.push_back((da << 24) | (rng.Next() & 0x00FFFFFFu));
      source.push_back((sa << 24) | (rng.Next() & 0x00FFFFFFu));
    }
  }
  for (const Kind& k : kKinds)
    for (uint8_t flags : kFlags)
      for (int32_t opacity : {255, 128})
        ExpectRowAsPixels(dest, source, opacity,
                          Descriptor(0x7F7F7F, flags, k.destination, k.destinationRows, k.source, k.sourceRows),
                          std::string(k.name) + " flags " + std::to_string(flags));
}

// Runs of clear and opaque source pixels over clear and opaque destinations (which the rows
// skip or copy eight at a time), between partly covered ones; more opacities (held to 0..255)
// and start colours; every length up to 33 from every start up to 16 (two steps of either build
// and every tail).
TEST_P(CompositeRowsBuilds, RunsOpacitiesAndTailsGiveWhatCompositePixelGives) {
  test::XorShiftRng rng(0x7A11);
  std::vector<uint32_t> dest, source;
  const uint32_t kRunAlpha[] = {0u, 255u, 0x100u};
  while (dest.size() < 1500) {
    const uint32_t sourceKind = kRunAlpha[rng.Next() % 3], destKind = kRunAlpha[rng.Next() % 3];
    const uint32_t run = 1 + rng.Next() % 30;
    for (uint32_t k = 0; k < run; ++k) {
      const uint32_t sa = sourceKind == 0x100u ? (rng.Next() & 0xFFu) : sourceKind;
      const uint32_t da = destKind == 0x100u ? (rng.Next() & 0xFFu) : destKind;
      dest.push_back((da << 24) | (rng.Next() & 0x00FFFFFFu));
      source.push_back((sa << 24) | (rng.Next() & 0x00FFFFFFu));
    }
  }
  for (const Kind& k : kKinds) {
    for (uint8_t flags : kFlags) {
      for (uint32_t start : {0u, 0x00FFFFFFu, 0xA0123456u}) {
        const SCompositeOps ops =
            Descriptor(start, flags, k.destination, k.destinationRows, k.source, k.sourceRows);
        const std::string what = std::string(k.name) + " flags " + std::to_string(flags);
        for (int32_t opacity : {255, 254, 128, 1, 0, 300, -4})
          ExpectRowAsPixels(dest, source, opacity, ops, what);
        for (int32_t first = 0; first <= 16; ++first) {
          for (int32_t n = 0; n <= 33; ++n) {
            const std::vector<uint32_t> d(dest.begin() + first, dest.begin() + first + n);
            std::vector<uint32_t> s(source.begin() + first + 3, source.begin() + first + 3 + n);
            s.resize(std::max<size_t>(s.size(), 8));  // the colour test reads pixel 7
            SCompositeRowOps rows;
            ASSERT_TRUE(CompositeRowOpsOf(ops, rows));
            std::vector<uint32_t> want = d, got = d;
            for (int32_t i = 0; i < n; ++i) CompositePixel(&want[i], s[i], 200, ops);
            CompositeRow(got.data(), s.data(), n, 200, rows);
            ASSERT_EQ(got, want) << what << " first " << first << " length " << n;
          }
        }
      }
    }
  }
}

TEST(CompositeRows, OnlyDescriptorsWithRowFormsForBothRoutinesHaveRows) {
  SCompositeRowOps rows;
  EXPECT_TRUE(CompositeRowOpsOf(Descriptor(0, 0, BlendColor, nullptr, BlendColor, nullptr), rows));
  EXPECT_EQ(rows.destination, &BlendColorWeightedRow);
  EXPECT_FALSE(CompositeRowOpsOf(Descriptor(0, 0, MultiplyOp, nullptr, BlendColor, nullptr), rows));
  EXPECT_FALSE(CompositeRowOpsOf(Descriptor(0, 0, BlendColor, nullptr, nullptr, nullptr), rows));
}

// A store with tiles of every kind: opaque, partly covered, uniform (uncommitted, with a clear
// or a coloured fill) and one committed but uniform.
void PaintStore(CBlockVMTC& store, test::XorShiftRng& rng) {
  const int32_t width = store.Width(), height = store.Height();
  for (int32_t ty = 0; ty * 32 < height; ++ty) {
    for (int32_t tx = 0; tx * 32 < width; ++tx) {
      const uint32_t kind = rng.Next() % 5;
      SRectWH tile{tx * 32, ty * 32, 32, 32};
      if (kind == 3) {
        store.FillRect(tile, 0x80336699u);
        continue;
      }
      if (kind == 4) continue;  // the default fill, clear
      for (int32_t y = tile.top; y < tile.top + 32 && y < height; ++y)
        for (int32_t x = tile.left; x < tile.left + 32 && x < width; ++x) {
          const uint32_t a =
              kind == 0 ? 255u : (kind == 1 ? (rng.Next() & 0xFFu) : ((x + y) % 3 == 0 ? 0u : 255u));
          store.SetPixel(x, y, (a << 24) | (rng.Next() & 0x00FFFFFFu));
        }
    }
  }
}

bool SameImages(const TMTC& a, const TMTC& b) {
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

bool SameStores(const CBlockVMTC& a, const CBlockVMTC& b) {
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

// The store's composite (and into an image, and the flat image's) worked by rows against the
// same walks pixel by pixel.
TEST_P(CompositeRowsBuilds, StoreAndImageCompositesByRowsGiveWhatThePixelWalksGive) {
  test::XorShiftRng rng(0x5708E);
  CBlockVMTC lower(150, 110), upper(130, 100);
  PaintStore(lower, rng);
  PaintStore(upper, rng);
  TMTC flatUpper(130, 100), image(170, 120);
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 130; ++x) *flatUpper.Pixel(x, y) = upper.GetPixel(x, y);
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 170; ++x) *image.Pixel(x, y) = rng.Next();
  for (uint8_t flags : {uint8_t{0}, uint8_t{kCompositeSkipZeroAlpha}}) {
    const SCompositeOps ops = Descriptor(0, flags, BlendColor, nullptr, BlendColor, nullptr);
    for (int32_t scale : {255, 77}) {
      for (int32_t opacity : {255, 128}) {
        const std::string what = "flags " + std::to_string(flags) + " scale " + std::to_string(scale) +
                                 " opacity " + std::to_string(opacity);
        // Tiles out of step, and in step (whole tile rows are worked as one span).
        for (const TPoint at : {TPoint{11, -9}, TPoint{32, 0}}) {
          CBlockVMTC ours(lower), theirs(lower);
          TPoint point = at, point2 = at;
          SRectWH rect{3 * (at.x & 1), 0, 127, 100}, rect2 = rect;
          EXPECT_TRUE(ours.CompositeFrom(upper, point, rect, scale, opacity, ops));
          EXPECT_TRUE(theirs.CompositeFromWith(upper, point2, rect2, scale, opacity, CompositeWithOps{&ops}));
          EXPECT_TRUE(SameStores(ours, theirs)) << what << " at " << at.x;
          EXPECT_EQ(point.y, point2.y);
          EXPECT_EQ(rect.height, rect2.height);
        }

        TMTC ourImage(image), theirImage(image);
        TPoint at{-5, 14}, at2{-5, 14};
        SRectWH from{0, 0, 130, 100}, from2{0, 0, 130, 100};
        upper.CompositeToImage(ourImage, at, from, scale, opacity, ops);
        upper.CompositeToImageWith(theirImage, at2, from2, scale, opacity, CompositeWithOps{&ops});
        EXPECT_TRUE(SameImages(ourImage, theirImage)) << what;

        TMTC ourFlat(image), theirFlat(image);
        TPoint fp{20, 5}, fp2{20, 5};
        SRectWH fr{1, 2, 129, 98}, fr2{1, 2, 129, 98};
        EXPECT_TRUE(ourFlat.CompositeFrom(flatUpper, fp, fr, scale, opacity, ops));
        EXPECT_TRUE(CompositeFromWith(theirFlat, flatUpper, fp2, fr2, scale, opacity, CompositeWithOps{&ops}));
        SRectWH cr{-3, 7, 60, 200}, cr2{-3, 7, 60, 200};
        EXPECT_TRUE(ourFlat.CompositeColorRect(cr, 0x9944AA22u, scale, opacity, ops));
        EXPECT_TRUE(CompositeColorRectWith(theirFlat, cr2, 0x9944AA22u, scale, opacity, CompositeWithOps{&ops}));
        EXPECT_TRUE(SameImages(ourFlat, theirFlat)) << what;
      }
    }
  }
}

// Whole rows of a flat image follow each other in memory and are worked as long spans (broken
// every 65,536 pixels): whole-width composites of pixels and of a colour, and one of part of the
// width, against the pixel walks.
TEST_P(CompositeRowsBuilds, RowsWorkedAsOneSpanGiveWhatThePixelWalksGive) {
  test::XorShiftRng rng(0x5BA4);
  constexpr int32_t kWidth = 256, kHeight = 300;  // 76,800 pixels: more than one span
  TMTC upper(kWidth, kHeight), image(kWidth, kHeight);
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint32_t kind = static_cast<uint32_t>((x / 40 + y / 7) % 4);
      const uint32_t a = kind == 0 ? 0u : (kind == 1 ? 255u : (rng.Next() & 0xFFu));
      *upper.Pixel(x, y) = (a << 24) | (rng.Next() & 0x00FFFFFFu);
      *image.Pixel(x, y) = rng.Next();
    }
  }
  const SCompositeOps ops = Descriptor(0, 0, BlendColor, nullptr, BlendColor, nullptr);
  for (const SRectWH whole :
       {SRectWH{0, 0, kWidth, kHeight}, SRectWH{0, 5, kWidth, 290}, SRectWH{7, 0, 200, kHeight}}) {
    const std::string what = "rect " + std::to_string(whole.left) + "," + std::to_string(whole.top) + " " +
                             std::to_string(whole.width) + "x" + std::to_string(whole.height);
    TMTC ours(image), theirs(image);
    TPoint p{whole.left, whole.top}, p2 = p;
    SRectWH r = whole, r2 = whole;
    EXPECT_TRUE(ours.CompositeFrom(upper, p, r, 200, 255, ops));
    EXPECT_TRUE(CompositeFromWith(theirs, upper, p2, r2, 200, 255, CompositeWithOps{&ops}));
    EXPECT_TRUE(SameImages(ours, theirs)) << what;
    SRectWH c = whole, c2 = whole;
    EXPECT_TRUE(ours.CompositeColorRect(c, 0x7F10E0C0u, 255, 128, ops));
    EXPECT_TRUE(CompositeColorRectWith(theirs, c2, 0x7F10E0C0u, 255, 128, CompositeWithOps{&ops}));
    EXPECT_TRUE(SameImages(ours, theirs)) << what << " colour";
  }
}

}  // namespace
}  // namespace tf
