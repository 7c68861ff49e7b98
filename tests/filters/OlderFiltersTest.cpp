// The two older filter generations: their algorithms' cases, the mended faults, the runners'
// records and undo, the greyscale command, and their replay rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>

#include "events/EventPacket.h"
#include "filters/FilterTestSupport.h"
#include "filters/FiltersLegacy.h"
#include "filters/FiltersV1.h"
#include "filters/OlderFilterRunners.h"
#include "platform/AddressSpace.h"
#include "raster/ColorMath.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

class OlderFiltersTest : public TempFolderTest {
 protected:
  OlderFiltersTest() : TempFolderTest("tf-older-filters") {}
  FilterTestScope scope;
};

int32_t Bits(float v) {
  int32_t b;
  std::memcpy(&b, &v, 4);
  return b;
}

uint32_t Ch(uint32_t p, int32_t shift) { return (p >> shift) & 0xFFu; }

// The picture pasted into the layer by the recorded command.
void SetPicture(FilterDocument& f, const std::function<uint32_t(int32_t, int32_t)>& pixel, int32_t index = 0) {
  const CBlockVMTC& s = *f.Layer(index).Store();
  TMTC image(s.Width(), s.Height());
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) *image.Pixel(x, y) = pixel(x, y);
  ASSERT_TRUE(f.Paper().PasteImageToLayer(f.Flow(), index, true, "into", nullptr, image));
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) ASSERT_EQ(s.GetPixel(x, y), pixel(x, y));
}

std::unique_ptr<CBlockVMTC> Copy(const CLayerData& layer) { return std::make_unique<CBlockVMTC>(*layer.Store()); }

// ---- First generation

TEST_F(OlderFiltersTest, FirstGenerationSharpenActsOnTheMiddleColumnOnly) {
  FilterDocument f(40, 30, 3);
  ASSERT_TRUE(f.ok);
  // Columns of one colour each: upper and lower neighbours equal the pixel, so nothing changes.
  SetPicture(f, [](int32_t x, int32_t y) {
    return static_cast<uint32_t>(x * 6 % 256 | (x * 37 % 256) << 8 | (255 - x) << 16 | (y * 8 % 256) << 24);
  });
  const std::vector<uint32_t> columns = LayerPixels(f.Paper(), 0);
  auto backup = Copy(f.Layer());
  ASSERT_TRUE(SharpenV1(*backup, f.Layer(), f.Paper().GetActiveMask()));
  ASSERT_TRUE(SharpenMoreV1(*backup, f.Layer(), f.Paper().GetActiveMask()));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), columns);

  // A seeded picture: each colour channel (9c - top - bottom) / 7, truncated and clamped, with the
  // edges repeated; alpha kept.
  FilterDocument g(23, 17, 11);
  ASSERT_TRUE(g.ok);
  const CBlockVMTC& s = *g.Layer().Store();
  const std::vector<uint32_t> before = StorePixels(s);
  auto at = [&](int32_t x, int32_t y) {
    return before[static_cast<size_t>(std::clamp(y, 0, s.Height() - 1) * s.Width() +
                                      std::clamp(x, 0, s.Width() - 1))];
  };
  auto b2 = Copy(g.Layer());
  ASSERT_TRUE(SharpenV1(*b2, g.Layer(), g.Paper().GetActiveMask()));
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) {
      uint32_t want = at(x, y) & 0xFF000000u;
      for (int32_t shift = 0; shift < 24; shift += 8) {
        const int32_t v = (9 * int32_t(Ch(at(x, y), shift)) - int32_t(Ch(at(x, y - 1), shift)) -
                           int32_t(Ch(at(x, y + 1), shift))) /
                          7;
        want |= static_cast<uint32_t>(std::clamp(v, 0, 255)) << shift;
      }
      ASSERT_EQ(s.GetPixel(x, y), want) << x << "," << y;
    }
}

TEST_F(OlderFiltersTest, FirstGenerationTables) {
  // Posterize: two levels put 128 at 0 and 129 at 255; 1 and 255 levels are refused.
  ASSERT_TRUE(BuildPosterizeTableV1(2));
  EXPECT_EQ(ChannelTablesV1().red[128], 0);
  EXPECT_EQ(ChannelTablesV1().red[129], 255);
  EXPECT_EQ(ChannelTablesV1().blue[129], 255);
  EXPECT_FALSE(BuildPosterizeTableV1(1));
  EXPECT_FALSE(BuildPosterizeTableV1(255));
  // Levels whose middle equals the low or the high input (left open): that half gives t = 0.5.
  ASSERT_TRUE(BuildLevelsTableV1(50, 50, 200, 0, 200));
  EXPECT_EQ(ChannelTablesV1().green[10], 100);
  EXPECT_EQ(ChannelTablesV1().green[50], 100);
  EXPECT_EQ(ChannelTablesV1().green[125], 150);
  ASSERT_TRUE(BuildLevelsTableV1(0, 200, 200, 10, 110));
  EXPECT_EQ(ChannelTablesV1().green[100], 10 + 25);
  EXPECT_EQ(ChannelTablesV1().green[200], 60);
  EXPECT_EQ(ChannelTablesV1().green[255], 60);
  // Brightness and contrast 0 leave every value.
  ASSERT_TRUE(BuildBrightnessContrastTableV1(0, 0));
  for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(ChannelTablesV1().red[i], i);

  // Hue and saturation: lightness beyond -127..127 takes the table of the nearest end (-200 wrote
  // 329 entries and 128 divided 0 by 0); saturation 0 has its entry 256.
  SHueSaturationTablesV1 a{}, b{};
  for (const auto& [wild, kept] : {std::pair{-200, -127}, std::pair{128, 127}, std::pair{INT32_MAX, 127}}) {
    ASSERT_TRUE(BuildHueSaturationTablesV1(10, wild, a));
    ASSERT_TRUE(BuildHueSaturationTablesV1(10, kept, b));
    EXPECT_EQ(std::memcmp(a.lightness, b.lightness, sizeof a.lightness), 0) << wild;
  }
  ASSERT_TRUE(BuildHueSaturationTablesV1(0, 0, a));
  EXPECT_EQ(a.saturation[256], 255 * 65536);
  EXPECT_EQ(a.saturation[255], static_cast<int32_t>(255.0 * 255 / 256 * 65536));
  EXPECT_EQ(a.lightness[0], 0);
  EXPECT_EQ(a.lightness[128], 128 * 65536);
  EXPECT_EQ(a.lightness[255], 255 * 65536);
  // A saturation whose table leaves 32 bits fails.
  EXPECT_FALSE(BuildHueSaturationTablesV1(INT32_MIN, 0, a));
}

TEST_F(OlderFiltersTest, FirstGenerationPixelsAndTransparency) {
  FilterDocument f(30, 20, 5);
  ASSERT_TRUE(f.ok);
  SetPicture(f, [](int32_t x, int32_t y) {
    return (x + y) % 3 == 0
               ? 0x00FFFFFFu
               : 0x80000000u | static_cast<uint32_t>(x * 8) << 16 | static_cast<uint32_t>(y * 12) << 8 | 40u;
  });
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  const CMaskData* mask = f.Paper().GetActiveMask();
  ASSERT_TRUE(GrayscaleV1(f.Layer(), mask));
  const std::vector<uint32_t> grey = LayerPixels(f.Paper(), 0);
  for (size_t i = 0; i < grey.size(); ++i) {
    if ((before[i] >> 24) == 0) {
      EXPECT_EQ(grey[i], before[i]);
      continue;
    }
    const uint32_t l = static_cast<uint32_t>(PixelLuminance(&before[i]));
    EXPECT_EQ(grey[i], (before[i] & 0xFF000000u) | l | l << 8 | l << 16);
  }
  // Hue 0, saturation and lightness 0 keep greys grey; the hue shift wraps without overflow.
  ASSERT_TRUE(HueSaturationV1(f.Layer(), mask, INT32_MAX, 0, 0, nullptr));
  for (size_t i = 0; i < grey.size(); ++i) EXPECT_EQ(LayerPixels(f.Paper(), 0)[i], grey[i]);

  // Noise: the same seed draws the same numbers; transparent pixels neither change nor draw.
  SetPicture(f, [&](int32_t x, int32_t y) { return before[static_cast<size_t>(y * 30 + x)]; });
  auto backup = Copy(f.Layer());
  ASSERT_TRUE(NoiseV1(*backup, f.Layer(), mask, 60, false, 0, nullptr));
  const std::vector<uint32_t> once = LayerPixels(f.Paper(), 0);
  const uint32_t seedAfter = GlobalRandomSeed();
  ASSERT_TRUE(f.Layer().Store()->CopyAllFrom(*backup));
  ASSERT_TRUE(NoiseV1(*backup, f.Layer(), mask, 60, false, 0, nullptr));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), once);
  uint32_t expectSeed = 0;
  int32_t opaque = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    if ((before[i] >> 24) == 0) {
      EXPECT_EQ(once[i], before[i]);
      continue;
    }
    ++opaque;
    for (int32_t k = 0; k < 3; ++k) expectSeed = expectSeed * 134775813u + 1u;
  }
  EXPECT_GT(opaque, 0);
  EXPECT_EQ(seedAfter, expectSeed);
}

// Each cell from all n x n positions with clamped reads, every position written where its own
// point is selected (past the store: onto the edge pixel again).
std::vector<uint32_t> MosaicModel(const std::vector<uint32_t>& src, const CLayerData& layer,
                                  const CMaskData* mask, int32_t w, int32_t h, int32_t n, const TRect& r,
                                  bool keepAlpha) {
  std::vector<uint32_t> out = src;
  auto get = [&](int32_t x, int32_t y) {
    return src[static_cast<size_t>(std::min(y, h - 1) * w + std::min(x, w - 1))];
  };
  for (int32_t cy = r.top / n; cy <= (r.bottom - 1) / n; ++cy)
    for (int32_t cx = r.left / n; cx <= (r.right - 1) / n; ++cx) {
      uint64_t a = 0, b = 0, g = 0, rr = 0;
      for (int32_t y = cy * n; y < cy * n + n; ++y)
        for (int32_t x = cx * n; x < cx * n + n; ++x) {
          const uint32_t p = get(x, y);
          a += p >> 24;
          b += (p >> 24) * Ch(p, 0);
          g += (p >> 24) * Ch(p, 8);
          rr += (p >> 24) * Ch(p, 16);
        }
      if (a == 0) continue;
      const uint32_t v =
          static_cast<uint32_t>(b / a | (g / a) << 8 | (rr / a) << 16 | (a / (uint64_t(n) * n)) << 24);
      for (int32_t y = cy * n; y < cy * n + n; ++y)
        for (int32_t x = cx * n; x < cx * n + n; ++x) {
          const int32_t c = ModelCoverage(layer, mask, x, y);
          if (c == 0) continue;
          uint32_t* p = &out[static_cast<size_t>(std::min(y, h - 1) * w + std::min(x, w - 1))];
          if (keepAlpha)
            BlendColor(p, v, c);
          else
            PixelLerpARGB(p, v, c);
        }
    }
  return out;
}

TEST_F(OlderFiltersTest, MosaicRepeatsTheEdgeAndTakesHugeCells) {
  FilterDocument f(29, 22, 9);
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  // A selection reaching past the layer's store (the layer moved left and up).
  ASSERT_TRUE(paper.OffsetLayer(f.Flow(), 0, true, -3, -4));
  ASSERT_TRUE(paper.SelectRect(f.Flow(), 0, true, 0, TPoint{2, 1}, TPoint{29, 22}));
  const CMaskData* mask = paper.GetActiveMask();
  for (const bool keep : {false, true})
    for (const int32_t n : {2, 5, 8, 40}) {
      SCOPED_TRACE(std::to_string(n) + (keep ? " keep" : ""));
      auto backup = Copy(f.Layer());
      const std::vector<uint32_t> src = LayerPixels(paper, 0);
      TRect masked{};
      ASSERT_TRUE(OldMaskedRect(f.Layer(), mask, nullptr, masked));
      const std::vector<uint32_t> want =
          MosaicModel(src, f.Layer(), mask, f.Layer().StoreWidth(), f.Layer().StoreHeight(), n, masked, keep);
      ASSERT_TRUE(MosaicV1(*backup, f.Layer(), mask, n, keep, nullptr));
      EXPECT_EQ(LayerPixels(paper, 0), want);
      ASSERT_TRUE(f.Layer().Store()->CopyAllFrom(*backup));
    }
  EXPECT_FALSE(MosaicV1(*Copy(f.Layer()), f.Layer(), mask, 1, false, nullptr));
  // A recorded cell of 2^30: one cell, its sums in wide integers, no endless loop; the edge
  // pixel repeated 2^60 times sets the colour.
  FilterDocument h(20, 10, 4);
  ASSERT_TRUE(h.ok);
  auto backup = Copy(h.Layer());
  const uint32_t corner = backup->GetPixel(19, 9);
  ASSERT_TRUE(MosaicV1(*backup, h.Layer(), h.Paper().GetActiveMask(), 1 << 30, true, nullptr));
  if ((corner >> 24) != 0) {
    const uint32_t got = h.Layer().Store()->GetPixel(0, 0);
    for (int32_t shift = 0; shift < 24; shift += 8)
      EXPECT_NEAR(int32_t(Ch(got, shift)), int32_t(Ch(corner, shift)), 1);
  }
}

TEST_F(OlderFiltersTest, MotionAndZoomRefuseWhatWouldDivideByZero) {
  FilterDocument f(16, 12, 2);
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
  auto b = Copy(f.Layer());
  const CMaskData* mask = f.Paper().GetActiveMask();
  EXPECT_FALSE(MotionBlurV1(*b, f.Layer(), mask, 0.0f, 0.5f, false));
  EXPECT_FALSE(MotionBlurV1(*b, f.Layer(), mask, NAN, 0.5f, false));
  EXPECT_FALSE(MotionBlurV1(*b, f.Layer(), mask, 3e9f, 0.5f, false));
  EXPECT_FALSE(ZoomBlurV1(*b, f.Layer(), mask, 0.0f, 4, 4, false));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), before);
  FilterDocument one(1, 1, 2);
  ASSERT_TRUE(one.ok);
  const std::vector<uint32_t> single = LayerPixels(one.Paper(), 0);
  EXPECT_FALSE(ZoomBlurV1(*Copy(one.Layer()), one.Layer(), one.Paper().GetActiveMask(), 3.0f, 0, 0, false));
  EXPECT_EQ(LayerPixels(one.Paper(), 0), single);
  // A recorded distance of 30000 (90001 taps a pixel) ends quickly, and alike twice; beyond
  // 32767 the 16.16 offsets leave 32 bits (refused above).
  std::vector<uint32_t> far[2];
  for (auto& run : far) {
    ASSERT_TRUE(f.Layer().Store()->CopyAllFrom(*b));
    ASSERT_TRUE(MotionBlurV1(*b, f.Layer(), mask, 30000.0f, 0.6f, false));
    run = LayerPixels(f.Paper(), 0);
  }
  EXPECT_EQ(far[0], far[1]);
  ASSERT_TRUE(f.Layer().Store()->CopyAllFrom(*b));
  // A motion of 1 pixel at angle 0: 16.16 offsets 65536, 21846, -21844 and -65534, divided
  // toward zero: taps at +1, 0, 0 and 0 (the last falls short of -1).
  ASSERT_TRUE(MotionBlurV1(*b, f.Layer(), mask, 1.0f, 0.0f, true));
  const CBlockVMTC& s = *f.Layer().Store();
  for (int32_t x = 1; x < 15; ++x) {
    const uint32_t taps[4] = {b->GetPixel(x + 1, 5), b->GetPixel(x, 5), b->GetPixel(x, 5), b->GetPixel(x, 5)};
    uint64_t a = 0, c[3] = {0, 0, 0};
    for (uint32_t t : taps) {
      a += t >> 24;
      for (int32_t k = 0; k < 3; ++k) c[k] += (t >> 24) * Ch(t, 8 * k);
    }
    if (a == 0) continue;
    const uint32_t want = (b->GetPixel(x, 5) & 0xFF000000u) | static_cast<uint32_t>(c[0] / a) |
                          static_cast<uint32_t>(c[1] / a) << 8 | static_cast<uint32_t>(c[2] / a) << 16;
    EXPECT_EQ(s.GetPixel(x, 5), want) << x;
  }
}

// ---- Second generation

struct SLegacyCase {
  const char* name;
  std::function<bool(FilterDocument&)> run;
};

// Runs that leave the pixels as they were.
TEST_F(OlderFiltersTest, SecondGenerationZeroParametersChangeNothing) {
  const SLegacyCase cases[] = {
      {"sharpen 0", [](FilterDocument& f) { return RunLegacySharpen(f.Paper(), f.Flow(), 0, 0.0f); }},
      {"sharpen -2", [](FilterDocument& f) { return RunLegacySharpen(f.Paper(), f.Flow(), 0, -2.0f); }},
      {"blur 0", [](FilterDocument& f) { return RunLegacyGaussian(f.Paper(), f.Flow(), 0, 0.0f); }},
      {"emboss 0", [](FilterDocument& f) { return RunLegacyEmboss(f.Paper(), f.Flow(), 0, 0.0f, 1.0f); }},
      {"twirl 0", [](FilterDocument& f) { return RunLegacyTwirl(f.Paper(), f.Flow(), 0, 0.5f, 0.5f, 0, 0.0f); }},
      {"wave 0",
       [](FilterDocument& f) { return RunLegacyWave(f.Paper(), f.Flow(), 0, 1.0f, 0.0f, 3.0f, 5.0f, 0.0f); }},
      {"tiles 0",
       [](FilterDocument& f) {
         return RunLegacyTiles(f.Paper(), f.Flow(), 0, SLegacyTiles{2, 0, 0, {}});
       }},
      {"triangles of 1",
       [](FilterDocument& f) {
         return RunLegacyTiles(f.Paper(), f.Flow(), 0, SLegacyTiles{1, 1, 1, {0xFF000000u}});
       }},
      {"clouds 0",
       [](FilterDocument& f) {
         return RunLegacyClouds(f.Paper(), f.Flow(), 0, SLegacyClouds{0xFF0000FFu, 0xFFFFFFFFu, 5, 0, 16, 16});
       }},
  };
  for (const SLegacyCase& c : cases) {
    SCOPED_TRACE(c.name);
    FilterDocument f(33, 21, 6);
    ASSERT_TRUE(f.ok);
    const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
    EXPECT_TRUE(c.run(f));
    EXPECT_EQ(LayerPixels(f.Paper(), 0), before);
    EXPECT_TRUE(FlowHoldsLayer(f.Paper(), *f.Flow(), 0));
  }
}

// Records the algorithms refuse: nothing changes.
TEST_F(OlderFiltersTest, SecondGenerationRefusals) {
  const SLegacyCase cases[] = {
      {"tiles of 0 colours",
       [](FilterDocument& f) {
         return RunLegacyTiles(f.Paper(), f.Flow(), 0, SLegacyTiles{0, 0, 4, {}});
       }},
      {"tiles of 4 colours",
       [](FilterDocument& f) {
         return RunLegacyTiles(f.Paper(), f.Flow(), 0, SLegacyTiles{4, 0, 4, {}});
       }},
      {"tiles of shape 2",
       [](FilterDocument& f) {
         return RunLegacyTiles(f.Paper(), f.Flow(), 0, SLegacyTiles{1, 2, 4, {}});
       }},
      {"tiles of cell -1",
       [](FilterDocument& f) {
         return RunLegacyTiles(f.Paper(), f.Flow(), 0, SLegacyTiles{1, 0, -1, {}});
       }},
      {"clouds of tile width 0",
       [](FilterDocument& f) {
         return RunLegacyClouds(f.Paper(), f.Flow(), 0, SLegacyClouds{0xFF0000FFu, 0xFFFFFFFFu, 5, 30, 0, 16});
       }},
      {"clouds of tile height -5",
       [](FilterDocument& f) {
         return RunLegacyClouds(f.Paper(), f.Flow(), 0, SLegacyClouds{0xFF0000FFu, 0xFFFFFFFFu, 5, 30, 16, -5});
       }},
      {"lighting without lights",
       [](FilterDocument& f) { return RunLegacyLighting(f.Paper(), f.Flow(), 0, 50, 0xFFFFFF, {}); }},
      {"sharpen NaN", [](FilterDocument& f) { return RunLegacySharpen(f.Paper(), f.Flow(), 0, NAN); }},
  };
  for (const SLegacyCase& c : cases) {
    SCOPED_TRACE(c.name);
    FilterDocument f(33, 21, 6);
    ASSERT_TRUE(f.ok);
    const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
    EXPECT_FALSE(c.run(f));
    EXPECT_EQ(LayerPixels(f.Paper(), 0), before);
  }
}

TEST_F(OlderFiltersTest, SecondGenerationCases) {
  {
    // Three colours in squares: diagonal stripes, (row + column) mod 3.
    FilterDocument f(40, 30, 1);
    ASSERT_TRUE(f.ok);
    const SLegacyTiles tiles{3, 0, 5, {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u}};
    ASSERT_TRUE(RunLegacyTiles(f.Paper(), f.Flow(), 0, tiles));
    const CBlockVMTC& s = *f.Layer().Store();
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x)
        ASSERT_EQ(s.GetPixel(x, y), tiles.colours[(y / 5 + x / 5) % 3]) << x << "," << y;
    // Triangles paint their two shapes.
    ASSERT_TRUE(RunLegacyTiles(f.Paper(), f.Flow(), 0, SLegacyTiles{2, 1, 12, {0xFF102030u, 0xFFA0B0C0u}}));
    int32_t first = 0, second = 0;
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x) {
        first += s.GetPixel(x, y) == 0xFF102030u;
        second += s.GetPixel(x, y) == 0xFFA0B0C0u;
      }
    EXPECT_GT(first, 100);
    EXPECT_GT(second, 100);
  }
  {
    // The twirl leaves everything outside its circle as it was.
    FilterDocument f(41, 31, 8);
    ASSERT_TRUE(f.ok);
    const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
    ASSERT_TRUE(RunLegacyTwirl(f.Paper(), f.Flow(), 0, 0.3f, 0.2f, 1, 0.4f));
    const int32_t cx = static_cast<int32_t>(41 * 0.2f), cy = static_cast<int32_t>(31 * 0.3f);
    const double u = 20 + std::abs(cx - 20), v = 15 + std::abs(cy - 15), d = std::min(u, v);
    const std::vector<uint32_t> after = LayerPixels(f.Paper(), 0);
    int32_t changed = 0;
    for (int32_t y = 0; y < 31; ++y)
      for (int32_t x = 0; x < 41; ++x) {
        const size_t i = static_cast<size_t>(y * 41 + x);
        if (std::hypot(x - cx, y - cy) >= d + 1)
          ASSERT_EQ(after[i], before[i]) << x << "," << y;
        else
          changed += after[i] != before[i];
      }
    EXPECT_GT(changed, 50);
  }
  {
    // Clouds: the same seed paints the same; clouds/rock differs by its tenfold smaller amplitude.
    const SLegacyClouds clouds{0xFF2040C0u, 0xFFF0E0D0u, 1234, 40, 24, 20};
    std::vector<uint32_t> runs[3];
    for (int32_t i = 0; i < 3; ++i) {
      FilterDocument f(50, 40, 2);
      ASSERT_TRUE(f.ok);
      ASSERT_TRUE(i < 2 ? RunLegacyClouds(f.Paper(), f.Flow(), 0, clouds)
                        : RunLegacyCloudsRock(f.Paper(), f.Flow(), 0, -1, clouds));
      runs[i] = LayerPixels(f.Paper(), 0);
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_NE(runs[0], runs[2]);
  }
  {
    // A tiny sigma keeps colours; alpha becomes the plain mean of the taps -1..1 (vertical, then
    // horizontal). A transparent area stays transparent white.
    FilterDocument f(12, 10, 3);
    ASSERT_TRUE(f.ok);
    SetPicture(f, [](int32_t x, int32_t y) {
      return x >= 8 ? 0x00FFFFFFu : static_cast<uint32_t>((x * 20 + y * 7) % 256) << 24 | 0x00336699u;
    });
    const std::vector<uint32_t> src = LayerPixels(f.Paper(), 0);
    ASSERT_TRUE(RunLegacyGaussian(f.Paper(), f.Flow(), 0, 0.01f));
    const CBlockVMTC& s = *f.Layer().Store();
    auto alpha = [&](int32_t x, int32_t y) { return int32_t(src[static_cast<size_t>(y * 12 + x)] >> 24); };
    auto vertical = [&](int32_t x, int32_t y) {
      int32_t sum = 0, n = 0;
      for (int32_t k = -1; k <= 1; ++k)
        if (y + k >= 0 && y + k < 10) sum += alpha(x, y + k), ++n;
      return sum / n;
    };
    for (int32_t y = 1; y < 9; ++y)
      for (int32_t x = 1; x < 7; ++x) {
        const int32_t want = (vertical(x - 1, y) + vertical(x, y) + vertical(x + 1, y)) / 3;
        ASSERT_EQ(s.GetPixel(x, y), static_cast<uint32_t>(want) << 24 | 0x00336699u) << x << "," << y;
      }
    EXPECT_EQ(s.GetPixel(10, 5), 0x00FFFFFFu);
  }
  {
    // Emboss on one flat colour: mid grey; sharpen of strength 1: centre 1.25, edges -0.0625.
    FilterDocument f(14, 9, 3);
    ASSERT_TRUE(f.ok);
    SetPicture(f, [](int32_t, int32_t) { return 0xC0804020u; });
    ASSERT_TRUE(RunLegacyEmboss(f.Paper(), f.Flow(), 0, 2.5f, 0.7f));
    EXPECT_EQ(f.Layer().Store()->GetPixel(6, 4), 0xC0808080u);
    FilterDocument g(14, 9, 13);
    ASSERT_TRUE(g.ok);
    const std::vector<uint32_t> src = LayerPixels(g.Paper(), 0);
    ASSERT_TRUE(RunLegacySharpen(g.Paper(), g.Flow(), 0, 1.0f));
    auto p = [&](int32_t x, int32_t y) { return src[static_cast<size_t>(y * 14 + x)]; };
    for (int32_t shift = 0; shift < 24; shift += 8) {
      const double v = 1.25 * Ch(p(5, 5), shift) - 0.0625 * (Ch(p(4, 5), shift) + Ch(p(6, 5), shift) +
                                                             Ch(p(5, 4), shift) + Ch(p(5, 6), shift));
      EXPECT_NEAR(double(Ch(g.Layer().Store()->GetPixel(5, 5), shift)), std::clamp(std::trunc(v), 0.0, 255.0),
                  1.0);
    }
  }
  {
    // A wave whose offsets and positions pass 32 bits (the sums are 64-bit); stores beyond
    // 32767 are refused.
    FilterDocument f(20, 16, 3);
    ASSERT_TRUE(f.ok);
    EXPECT_TRUE(RunLegacyWave(f.Paper(), f.Flow(), 0, 0.3f, 1.0f, 1.0f, 30000.0f, 30000.0f));
    FilterDocument wide(32768, 2, 3);
    ASSERT_TRUE(wide.ok);
    EXPECT_FALSE(RunLegacyWave(wide.Paper(), wide.Flow(), 0, 0.3f, 1.0f, 1.0f, 3.0f, 3.0f));
    EXPECT_FALSE(RunLegacyEmboss(wide.Paper(), wide.Flow(), 0, 2.0f, 1.0f));
    EXPECT_FALSE(RunLegacyTwirl(wide.Paper(), wide.Flow(), 0, 0.5f, 0.5f, 0, 1.0f));
  }
  {
    // Lighting: a list of two lights and the 17th and later ignored; a floor without a usable
    // texture keeps the picture, with textures it projects.
    FilterDocument f(24, 18, 3);
    ASSERT_TRUE(f.ok);
    std::vector<uint8_t> lights(17 * 56, 0);
    for (int32_t i = 0; i < 17; ++i) {
      uint8_t* r = lights.data() + 56 * i;
      StoreLE<int32_t>(r + 4, 60);
      StoreLE<uint32_t>(r + 8, 0x00FF8040u);
      StoreLE<int32_t>(r + 12, 80);
      StoreLE<float>(r + 16, 0.5f);
      StoreLE<float>(r + 20, 0.5f);
    }
    const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
    ASSERT_TRUE(RunLegacyLighting(f.Paper(), f.Flow(), 0, 60, 0x00FFFFFFu, std::span(lights).first(112)));
    EXPECT_NE(LayerPixels(f.Paper(), 0), before);
    ASSERT_TRUE(RunLegacyLighting(f.Paper(), f.Flow(), 0, 60, 0x00FFFFFFu, lights));

    uint8_t values[63] = {};
    StoreLE<int32_t>(values + 0, 50);
    StoreLE<float>(values + 4, 50.0f);
    StoreLE<int32_t>(values + 8, 50);
    StoreLE<float>(values + 16, 0.2f);
    StoreLE<int32_t>(values + 24, 100);
    StoreLE<int32_t>(values + 28, 100);
    StoreLE<int32_t>(values + 32, 50);
    values[46] = 50;
    const std::vector<uint32_t> lit = LayerPixels(f.Paper(), 0);
    TMTC empty;
    TMTC texture(8, 8);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 8; ++x) *texture.Pixel(x, y) = (x + y) % 2 ? 0xFFFF0000u : 0xFF0000FFu;
    ASSERT_TRUE(RunLegacyFloor(f.Paper(), f.Flow(), 0, values, &empty, &texture));
    EXPECT_EQ(LayerPixels(f.Paper(), 0), lit);
    ASSERT_TRUE(RunLegacyFloor(f.Paper(), f.Flow(), 0, values, &texture, nullptr));
    EXPECT_EQ(LayerPixels(f.Paper(), 0), lit);
    ASSERT_TRUE(RunLegacyFloor(f.Paper(), f.Flow(), 0, values, &texture, &texture));
    EXPECT_NE(LayerPixels(f.Paper(), 0), lit);
  }
}

// ---- The numpy models (tests/data/filters_older_model.py)

bool RunOlderModel(const std::string& mode, const std::vector<int32_t>& input, std::vector<uint32_t>& out,
                   std::string& output) {
  return RunModelScript("filters_older_model.py", mode, input, out, output);
}

// Where ours and the model's differ (at most a few), or empty.
std::string Differences(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& model, int32_t w) {
  if (ours.size() != model.size())
    return "sizes " + std::to_string(ours.size()) + " and " + std::to_string(model.size());
  std::string text;
  int32_t shown = 0;
  for (size_t i = 0; i < ours.size() && shown < 5; ++i)
    if (ours[i] != model[i]) {
      char line[96];
      std::snprintf(line, sizeof line, "(%d, %d) ours %08x model %08x; ",
                    static_cast<int>(i % static_cast<size_t>(w)), static_cast<int>(i / static_cast<size_t>(w)),
                    ours[i], model[i]);
      text += line;
      ++shown;
    }
  return text;
}

TEST_F(OlderFiltersTest, TablesMatchTheModelOverAllInputs) {
  struct SCase {
    std::vector<int32_t> input;
    std::function<bool()> build;
  };
  const SCase cases[] = {
      {{0, 2}, [] { return BuildPosterizeTableV1(2); }},
      {{0, 7}, [] { return BuildPosterizeTableV1(7); }},
      {{0, 254}, [] { return BuildPosterizeTableV1(254); }},
      {{1, 12, 100, 235, 8, 250}, [] { return BuildLevelsTableV1(12, 100, 235, 8, 250); }},
      {{1, 40, 40, 200, 250, 5}, [] { return BuildLevelsTableV1(40, 40, 200, 250, 5); }},
      {{1, 0, 255, 255, 0, 255}, [] { return BuildLevelsTableV1(0, 255, 255, 0, 255); }},
      {{2, 25, -15}, [] { return BuildBrightnessContrastTableV1(25, -15); }},
      {{2, -60, 80}, [] { return BuildBrightnessContrastTableV1(-60, 80); }},
      {{2, 100, 100}, [] { return BuildBrightnessContrastTableV1(100, 100); }},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.input[0] * 1000 + c.input[1]);
    ASSERT_TRUE(c.build());
    std::vector<uint32_t> ours(ChannelTablesV1().red, ChannelTablesV1().red + 256), model;
    std::string output;
    ASSERT_TRUE(RunOlderModel("tables", c.input, model, output)) << output;
    EXPECT_EQ(Differences(ours, model, 256), "");
    EXPECT_EQ(std::memcmp(ChannelTablesV1().red, ChannelTablesV1().blue, 256), 0);
  }
}

TEST_F(OlderFiltersTest, PixelsMatchTheModel) {
  struct SCase {
    const char* mode;
    std::vector<int32_t> args;
    std::function<bool(const CBlockVMTC&, CLayerData&)> run;
  };
  const SCase cases[] = {
      {"sharpen1", {0}, [](const CBlockVMTC& b, CLayerData& l) { return SharpenV1(b, l, nullptr); }},
      {"sharpen1", {1}, [](const CBlockVMTC& b, CLayerData& l) { return SharpenMoreV1(b, l, nullptr); }},
      {"motion1",
       {7, Bits(0.6f), 0},
       [](const CBlockVMTC& b, CLayerData& l) { return MotionBlurV1(b, l, nullptr, 7.0f, 0.6f, false); }},
      {"motion1",
       {3, Bits(-2.2f), 1},
       [](const CBlockVMTC& b, CLayerData& l) { return MotionBlurV1(b, l, nullptr, 3.0f, -2.2f, true); }},
      {"zoom1",
       {6, 9, 20, 0},
       [](const CBlockVMTC& b, CLayerData& l) { return ZoomBlurV1(b, l, nullptr, 6.0f, 9, 20, false); }},
      {"zoom1",
       {3, -5, 4, 1},
       [](const CBlockVMTC& b, CLayerData& l) { return ZoomBlurV1(b, l, nullptr, 3.0f, -5, 4, true); }},
      // Streaks longer than the store: taken from one change of the clamped position to the next.
      {"motion1", {60, Bits(2.5f), 0},
       [](const CBlockVMTC& b, CLayerData& l) { return MotionBlurV1(b, l, nullptr, 60.0f, 2.5f, false); }},
      {"zoom1", {100, 30, -7, 0},
       [](const CBlockVMTC& b, CLayerData& l) { return ZoomBlurV1(b, l, nullptr, 100.0f, 30, -7, false); }},
      {"mosaic1",
       {5, 0},
       [](const CBlockVMTC& b, CLayerData& l) { return MosaicV1(b, l, nullptr, 5, false, nullptr); }},
      {"mosaic1",
       {4, 1},
       [](const CBlockVMTC& b, CLayerData& l) { return MosaicV1(b, l, nullptr, 4, true, nullptr); }},
      {"noise1",
       {50, 0},
       [](const CBlockVMTC& b, CLayerData& l) { return NoiseV1(b, l, nullptr, 50, false, 0, nullptr); }},
      {"noise1",
       {31, 1},
       [](const CBlockVMTC& b, CLayerData& l) { return NoiseV1(b, l, nullptr, 31, true, 0, nullptr); }},
      {"gauss2",
       {Bits(1.7f), 0},
       [](const CBlockVMTC& b, CLayerData& l) { return LegacyGaussianBlur(b, l, nullptr, 1.7f); }},
      {"gauss2",
       {Bits(3.0f), 1},
       [](const CBlockVMTC& b, CLayerData& l) {
         l.alphaProtect = 1;
         return LegacyGaussianBlur(b, l, nullptr, 3.0f);
       }},
      {"emboss2",
       {Bits(2.5f), Bits(0.8f)},
       [](const CBlockVMTC& b, CLayerData& l) { return LegacyEmboss(b, l, nullptr, 2.5f, 0.8f); }},
      {"emboss2",
       {Bits(1.3f), Bits(-2.0f)},
       [](const CBlockVMTC& b, CLayerData& l) { return LegacyEmboss(b, l, nullptr, 1.3f, -2.0f); }},
      {"tiles2",
       {3, 4, static_cast<int32_t>(0xC0305070u), static_cast<int32_t>(0x80FF0000u),
        static_cast<int32_t>(0xFF00FF00u), 0},
       [](const CBlockVMTC& b, CLayerData& l) {
         return LegacyTiles(b, l, nullptr, SLegacyTiles{3, 0, 4, {0xC0305070u, 0x80FF0000u, 0xFF00FF00u}});
       }},
      {"tiles2",
       {2, 5, static_cast<int32_t>(0x60305070u), static_cast<int32_t>(0xFF102030u), 0, 1},
       [](const CBlockVMTC& b, CLayerData& l) {
         l.alphaProtect = 1;
         return LegacyTiles(b, l, nullptr, SLegacyTiles{2, 0, 5, {0x60305070u, 0xFF102030u, 0}});
       }},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + std::to_string(c.args[0]));
    FilterDocument f(23, 17, 0x99);
    ASSERT_TRUE(f.ok);
    SetPicture(f, [](int32_t x, int32_t y) {
      const uint32_t v = static_cast<uint32_t>(x * 2654435761u ^ y * 40503u) * 2246822519u;
      return (x + 2 * y) % 5 == 0 ? v & 0x00FFFFFFu : v;
    });
    const std::vector<uint32_t> src = LayerPixels(f.Paper(), 0);
    std::vector<int32_t> in{23, 17};
    in.insert(in.end(), c.args.begin(), c.args.end());
    for (uint32_t p : src) in.push_back(static_cast<int32_t>(p));
    auto backup = Copy(f.Layer());
    ASSERT_TRUE(c.run(*backup, f.Layer()));
    std::vector<uint32_t> model;
    std::string output;
    ASSERT_TRUE(RunOlderModel(c.mode, in, model, output)) << output;
    EXPECT_EQ(Differences(LayerPixels(f.Paper(), 0), model, 23), "");
  }
}

TEST_F(OlderFiltersTest, CloudTileMatchesTheModelWithinOneLevel) {
  for (const auto& [w, h, seed, contrast] : {std::tuple{24, 20, 77, 35}, std::tuple{70, 9, -5, 120}}) {
    SCOPED_TRACE(seed);
    TChannel tile;
    ASSERT_TRUE(BuildCloudTileLegacy(tile, w, h, seed, contrast / 10.0));
    std::vector<uint32_t> model;
    std::string output;
    ASSERT_TRUE(RunOlderModel("clouds2", {w, h, seed, contrast * 100}, model, output)) << output;
    ASSERT_EQ(model.size(), static_cast<size_t>(w * h));
    int32_t worst = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        worst = std::max(worst,
                         std::abs(int32_t(tile.GetPixel(x, y)) - int32_t(model[static_cast<size_t>(y * w + x)])));
    EXPECT_LE(worst, 1);
  }
}

// ---- Runners

TEST_F(OlderFiltersTest, ARunFailingAfterItWroteLeavesTheLayerAsItWas) {
  FilterDocument f(64, 64, 21);
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  // The lower half one value and released, so that a mosaic cell over both halves needs a commit
  // after it wrote the upper half's pixels.
  CBlockVMTC& store = *f.Layer().Store();
  for (int32_t y = 32; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_TRUE(store.SetPixel(x, y, 0x00FFFFFFu));
  store.Compact();
  paper.CommitFlowImage(f.Flow(), 0, false);
  const std::vector<uint32_t> before = LayerPixels(paper, 0);
  const int64_t committed = f.Events().committed();
  BackupRef backup = std::make_unique<CBlockVMTC>(store);
  RefuseNextCommits(1);
  EXPECT_THROW(ReplayMosaicV1(paper, f.Flow(), 0, backup, true, 64, 0), std::bad_alloc);
  ResetAddressSpaceSettings();
  EXPECT_EQ(LayerPixels(paper, 0), before);
  EXPECT_TRUE(FlowHoldsLayer(paper, *f.Flow(), 0));
  EXPECT_EQ(f.Events().committed(), committed);
  EXPECT_NE(backup, nullptr);  // the caller's backup stays the caller's
}

TEST_F(OlderFiltersTest, RecordedFirstGenerationRunsReplayToTheSamePixels) {
  FilterDocument f(48, 36, 0x77);
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  ASSERT_TRUE(paper.SelectRect(f.Flow(), 0, true, 0, TPoint{3, 2}, TPoint{44, 33}));
  ASSERT_TRUE(paper.SetLayerProtect(0, 1, true));
  using Run = std::function<bool(BackupRef&)>;
  TFlowImage* flow = f.Flow();
  const std::vector<std::pair<uint8_t, Run>> runs = {
      {8, [&](BackupRef& b) { return ReplaySharpenV1(paper, flow, 0, b, true); }},
      {9, [&](BackupRef& b) { return ReplaySharpenMoreV1(paper, flow, 0, b, true); }},
      {16, [&](BackupRef& b) { return ReplayLevelsV1(paper, flow, 0, b, true, 10, 90, 230, 5, 250); }},
      {18, [&](BackupRef& b) { return ReplayBrightnessContrastV1(paper, flow, 0, b, true, 30, -20); }},
      {19, [&](BackupRef& b) { return ReplayHueSaturationV1(paper, flow, 0, b, true, 40, -30, 20); }},
      {21, [&](BackupRef& b) { return ReplayPosterizeV1(paper, flow, 0, b, true, 5); }},
      {22, [&](BackupRef& b) { return ReplayNoiseV1(paper, flow, 0, b, true, 0, 40); }},
      {23, [&](BackupRef& b) { return ReplayMosaicV1(paper, flow, 0, b, true, 6, 0); }},
      {2, [&](BackupRef& b) { return ReplayMotionBlurV1(paper, flow, 0, b, true, 4, 0.6f, 1); }},
      {3, [&](BackupRef& b) { return ReplayZoomBlurV1(paper, flow, 0, b, true, 5, 20, 14, 1); }},
      {20, [&](BackupRef& b) { return ReplayGrayscale(paper, flow, 0, b, true); }},
  };
  std::vector<uint32_t> beforeLast;
  for (const auto& [id, run] : runs) {
    SCOPED_TRACE(static_cast<int>(id));
    beforeLast = LayerPixels(paper, 0);
    BackupRef none;
    const int32_t steps = f.Events().stepCount();
    ASSERT_TRUE(run(none));
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(f.Events().stepCount(), steps + 1);
    const RecordedCommand last = LastRecordedCommand(f.Events());
    ASSERT_TRUE(last.found);
    EXPECT_EQ(last.frame.header.cls, FilterClassOfId(id));
    EXPECT_EQ(last.frame.header.code, id);
  }
  HeadlessPlaybackWindow b;
  ASSERT_TRUE(PlaySavedRecording(paper, PathOf("older.te4"), b));
  EXPECT_EQ(LayerPixels(b.Paper(), 0), LayerPixels(paper, 0));
  // The last run is one undo step.
  SRectWH rect{};
  ASSERT_TRUE(paper.Undo(f.Flow(), 0, rect));
  EXPECT_EQ(LayerPixels(paper, 0), beforeLast);
}

TEST_F(OlderFiltersTest, GreyscaleIsOneRecordedUndoableStep) {
  FilterDocument f(40, 30, 0x31);
  ASSERT_TRUE(f.ok);
  TPaper& paper = f.Paper();
  SetPicture(f, [](int32_t x, int32_t y) {
    return x < 5 ? 0x00FFFFFFu
                 : 0xFF000000u | static_cast<uint32_t>(x * 6) << 16 | static_cast<uint32_t>(y * 8) << 8 | 200u;
  });
  const std::vector<uint32_t> before = LayerPixels(paper, 0);
  const int32_t steps = f.Events().stepCount();
  ASSERT_TRUE(CmdGrayscale(paper, f.Flow(), 0));
  EXPECT_FALSE(CanRepeatFilter());
  EXPECT_EQ(f.Events().stepCount(), steps + 1);
  const RecordedCommand last = LastRecordedCommand(f.Events());
  ASSERT_TRUE(last.found);
  EXPECT_EQ(last.frame.header.cls, kPcFilter0);
  EXPECT_EQ(last.frame.header.code, 20);
  const std::vector<uint32_t> grey = LayerPixels(paper, 0);
  for (int32_t y = 0; y < 30; ++y) EXPECT_EQ(grey[static_cast<size_t>(y * 40 + 2)], 0x00FFFFFFu);
  EXPECT_NE(grey, before);
  EXPECT_TRUE(FlowHoldsLayer(paper, *f.Flow(), 0));
  HeadlessPlaybackWindow b;
  ASSERT_TRUE(PlaySavedRecording(paper, PathOf("grey.te4"), b));
  EXPECT_EQ(LayerPixels(b.Paper(), 0), grey);
  SRectWH rect{};
  ASSERT_TRUE(paper.Undo(f.Flow(), 0, rect));
  EXPECT_EQ(LayerPixels(paper, 0), before);
  ASSERT_TRUE(paper.Redo(f.Flow(), 0, rect));
  EXPECT_EQ(LayerPixels(paper, 0), grey);
}

// ---- Replay rows

TEST_F(OlderFiltersTest, MalformedOlderPacketsFailTheirStepAndChangeNothing) {
  struct SCase {
    const char* name;
    std::function<void(StreamBuilder&)> bad;
  };
  auto words = [](uint8_t cls, uint8_t id, std::vector<int32_t> p) {
    return [=](StreamBuilder& s) {
      std::vector<uint8_t> payload(4 + 4 * p.size(), 0);
      for (size_t i = 0; i < p.size(); ++i) StoreLE<int32_t>(payload.data() + 4 + 4 * i, p[i]);
      s.Bytes(cls, id, payload);
    };
  };
  const int32_t nan = Bits(NAN), inf = Bits(INFINITY);
  const SCase cases[] = {
      {"motion of NaN", words(kPcFilter2, 2, {nan, 0})},
      {"motion of 3e9", words(kPcFilter2, 2, {Bits(3e9f), 0})},
      {"motion of 0", words(kPcFilter2, 2, {Bits(0.0f), 0})},
      {"zoom of 0", words(kPcFilter4, 3, {0, 0, 10, 10})},
      {"posterize of 1", words(kPcFilter2, 21, {0, 1})},
      {"mosaic of 1", words(kPcFilter2, 23, {1, 0})},
      {"sharpen of infinity", words(kPcFilter2, 10, {inf, 0})},
      {"blur of NaN", words(kPcFilter2, 32, {nan, 0})},
      {"twirl of NaN", words(kPcFilter4, 33, {Bits(0.5f), nan, 0, Bits(1.0f)})},
      {"tiles of 4 colours", words(kPcFilter4, 36, {4, 0, 5, -1})},
      {"tiles of shape 7", words(kPcFilter4, 36, {1, 7, 5, -1})},
      {"clouds of tile 0", words(kPcFilter6, 37, {-1, 0, 1, 20, 0, 0})},
      {"clouds/rock", words(kPcFilter6, 38, {-1, 0, 1, 20, 8, 8})},
      {"lighting of item size 50",
       [](StreamBuilder& s) {
         SFilterBlock block{};
         InitFilterBlock(block, 0, 0, 1, 50);
         s.Record(kPcFilterBlock, 39, block);
         s.bytes.insert(s.bytes.end(), 50, 0);
       }},
      {"lighting of 0 lights",
       [](StreamBuilder& s) {
         SFilterBlock block{};
         InitFilterBlock(block, 0, 0, 0, 56);
         s.Record(kPcFilterBlock, 39, block);
       }},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.name);
    StreamBuilder s;
    s.Start(20, 14);
    c.bad(s);
    s.Add(kPcPaper, kPaperEndMarker);
    HeadlessPlaybackWindow b;
    CPlayer player(b.Paper(), &b);
    ASSERT_TRUE(LoadStreamBytes(b.Paper(), s.bytes));
    ASSERT_EQ(player.startLoaded(), kStartPlayStarted);  // the state and the new document
    const std::vector<std::string> before = Fingerprint(b.Paper());
    EXPECT_EQ(player.playStep(), kPlayStepError);
    EXPECT_EQ(Fingerprint(b.Paper()), before);
  }
  EXPECT_TRUE(scope.paper.DebugSaid("clouds/rock event (35, 38) is not replayed yet"));
}

TEST_F(OlderFiltersTest, RowsReadTheirPacketsAsTheRunnersWriteThem) {
  // Event 36's four words go into a zeroed 24-byte record: colour 1 alone, in stripes.
  StreamBuilder s;
  s.Start(30, 20);
  SLayerValue4Packet tiles{};
  tiles.p[0] = 3;
  tiles.p[1] = 0;
  tiles.p[2] = 5;
  tiles.p[3] = static_cast<int32_t>(0xFF112233u);
  s.Record(kPcFilter4, 36, tiles);
  // Event 39 with two lights of 56 bytes.
  SFilterBlock block{};
  InitFilterBlock(block, 0, 0, 2, 56);
  auto* header = reinterpret_cast<uint8_t*>(&block);
  StoreLE<uint32_t>(header + 18, 0x00FFFFFFu);
  StoreLE<int32_t>(header + 22, 70);
  s.Record(kPcFilterBlock, 39, block);
  for (int32_t i = 0; i < 2; ++i) {
    uint8_t r[56] = {};
    StoreLE<int32_t>(r + 4, 50);
    StoreLE<int32_t>(r + 12, 60);
    StoreLE<float>(r + 16, 0.3f + 0.4f * i);
    StoreLE<float>(r + 20, 0.5f);
    s.bytes.insert(s.bytes.end(), r, r + 56);
  }
  s.Add(kPcPaper, kPaperEndMarker);
  HeadlessPlaybackWindow b;
  CPlayer player(b.Paper(), &b);
  ASSERT_TRUE(LoadStreamBytes(b.Paper(), s.bytes));
  ASSERT_EQ(player.startLoaded(), kStartPlayStarted);
  const std::vector<uint32_t> blank = LayerPixels(b.Paper(), 0);
  ASSERT_EQ(player.playStep(), kPlayStepPlayed);
  const std::vector<uint32_t> striped = LayerPixels(b.Paper(), 0);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 30; ++x) {
      const size_t i = static_cast<size_t>(y * 30 + x);
      ASSERT_EQ(striped[i], (x / 5 + y / 5) % 3 == 0 ? 0xFF112233u : blank[i]) << x << "," << y;
    }
  ASSERT_EQ(player.playStep(), kPlayStepPlayed);
  EXPECT_NE(LayerPixels(b.Paper(), 0), striped);
  EXPECT_EQ(player.playStep(), kPlayStepEnded);
}

// ---- The recording written by tests/data/chunk_files.py

// A seeded painting with a selection, a moved and an alpha-protected layer, then one packet of
// every older filter id, written by the independent writer: played to its kept checksum.
TEST_F(OlderFiltersTest, PythonWrittenRecordingOfEveryOlderFilterPlaysToItsChecksum) {
  const std::string path = std::string(TF_TEST_DATA_DIR) + "/py_filters_older.te4";
  constexpr uint64_t kKeptChecksum = 0x5b32e22263534da1ull;
  constexpr int32_t kFilterPackets = 21;
  HeadlessPlaybackWindow b;
  CPlayer player(b.Paper(), &b);
  ASSERT_EQ(player.startPlay(path), kStartPlayStarted);
  std::vector<uint64_t> after{FingerprintChecksum(b.Paper())};
  uint8_t r = kPlayStepPlayed;
  while (r == kPlayStepPlayed && after.size() < 100) {
    r = player.playStep();
    after.push_back(FingerprintChecksum(b.Paper()));
  }
  EXPECT_EQ(r, kPlayStepEnded) << "step " << after.size() - 1;
  // The painting: two layers, the upper one moved and protecting its alpha.
  ASSERT_EQ(b.Paper().Layers().Count(), 2);
  EXPECT_EQ(b.Paper().GetLayer(1)->alphaProtect, 1);
  const CLayerData& moved = *b.Paper().GetLayer(1);
  EXPECT_TRUE(moved.offsetX != 0 || moved.offsetY != 0);
  EXPECT_NE(moved.StoreWidth(), 48);
  // Every filter packet changed the document (the last step is the end marker).
  ASSERT_GT(after.size(), static_cast<size_t>(kFilterPackets + 1));
  for (size_t i = after.size() - 1 - kFilterPackets; i < after.size() - 1; ++i)
    EXPECT_NE(after[i], after[i - 1]) << "step " << i;
  EXPECT_EQ(after.back(), kKeptChecksum) << std::hex << after.back();
}

}  // namespace
}  // namespace tf::test
