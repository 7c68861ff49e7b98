#include "paper/ViewRender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "platform/AddressSpace.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "raster/Composite.h"
#include "raster/DibImage.h"
#include "support/TestImages.h"
#include "support/TestRng.h"

namespace tf {
namespace {

struct Rng : test::XorShiftRng {
  explicit Rng(uint64_t seed = 0x2545F4914F6CDD1Dull) : XorShiftRng(seed) {}
  int32_t Below(int32_t n) { return static_cast<int32_t>(Next() % static_cast<uint32_t>(n)); }
};

class ViewRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCompositeTables();
    ResetRandomThreshold();
    ResetAddressSpaceSettings();
    SetMillisecondSource([] { return 4242u; });
  }
  void TearDown() override { SetMillisecondSource({}); }
};

// ---- Folder opacity ----------------------------------------------------------------------------

struct LayerSpec {
  int32_t depth;
  int32_t opacity;
  bool visible;
  int32_t expected;  // effective opacity
};
struct FolderCase {
  std::string name;
  std::vector<LayerSpec> stack;  // bottom first
  friend void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }
};

std::string FolderCaseName(const ::testing::TestParamInfo<FolderCase>& info) { return info.param.name; }

class FolderOpacityTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FolderOpacityTest, WalkGivesEachLayerItsEffectiveOpacity) {
  FolderOpacityRecord record;
  ClearFolderOpacity(record);
  const auto& stack = GetParam().stack;
  for (size_t i = 0; i < stack.size(); ++i) {
    CLayerData layer(static_cast<int32_t>(i));
    layer.SetGroupDepth(stack[i].depth);
    layer.opacity = static_cast<uint8_t>(stack[i].opacity);
    layer.visible = stack[i].visible ? 1 : 0;
    EXPECT_EQ(GetEffectiveOpacity(layer, record), stack[i].expected) << "layer " << i;
    const auto& entry = record[static_cast<size_t>(stack[i].depth)];
    EXPECT_EQ(entry.layerIndex, static_cast<int32_t>(i));
    EXPECT_EQ(entry.opacity, stack[i].opacity);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Walks, FolderOpacityTest,
    ::testing::Values(
        // A layer at depth 2 after one of opacity 128 at depth 1 and one of 255 at depth 0.
        FolderCase{"DepthTwoUnderHalfFolder", {{0, 255, true, 255}, {1, 128, true, 128}, {2, 255, true, 128}}},
        // A hidden folder shows nothing but still scales what lies in it.
        FolderCase{"HiddenFolderStillScales", {{0, 128, false, 0}, {1, 255, true, 128}, {1, 64, true, 32}}},
        // Depth 2 first in the stack: no shallower entry was written, the layer keeps its opacity.
        FolderCase{"NoShallowerEntryKeepsOpacity", {{2, 200, true, 200}, {0, 100, true, 100}}},
        // A second folder at depth 0 replaces the first one's entry.
        FolderCase{"LaterFolderReplacesEntry",
                   {{0, 51, true, 51}, {1, 255, true, 51}, {0, 255, true, 255}, {1, 255, true, 255}}},
        // Nested folders multiply: 255 * 128/255 * 128/255 * 128/255.
        FolderCase{"NestedFoldersMultiply", {{0, 128, true, 128}, {1, 128, true, 64}, {2, 128, true, 32}}},
        // A zero-opacity folder hides what lies in it.
        FolderCase{"ZeroFolderHidesChildren", {{0, 0, true, 0}, {1, 255, true, 0}}}),
    FolderCaseName);

// ---- Composing ---------------------------------------------------------------------------------

// A stack of layers with random content: committed tiles, a uniform tile, empty parts, offsets.
void AddRandomLayer(CLayerMngr& layers, int32_t w, int32_t h, uint8_t mode, uint8_t opacity, Rng& rng,
                    int32_t storeExtra = 0) {
  const int32_t index = layers.AddLayer(w + storeExtra, h + storeExtra, true, opacity, false, mode);
  ASSERT_GE(index, 0);
  CLayerData* layer = layers.Get(index);
  layer->offsetX = storeExtra / 2;
  layer->offsetY = storeExtra / 3;
  layer->canvasWidth = w;
  layer->canvasHeight = h;
  CBlockVMTC& store = *layer->Store();
  for (int32_t y = 0; y < store.Height(); ++y)
    for (int32_t x = 0; x < store.Width(); ++x) {
      if (((x / 32) + (y / 32)) % 3 == 2) continue;  // some tiles stay empty
      uint32_t v = rng.Next();
      if ((v & 7) == 0) v &= 0x00FFFFFFu;
      if ((v & 7) == 1) v |= 0xFF000000u;
      store.SetPixel(x, y, v);
    }
  SRectWH uniform{32, 0, 32, 32};
  store.FillRect(uniform, 0x9040A0C0u);
  store.UpdateContentRects();
}

TEST_F(ViewRenderTest, WholeCanvasEqualsRandomRectangles) {
  constexpr int32_t kW = 97, kH = 75;
  for (bool showCanvas : {true, false}) {
    Rng rng(showCanvas ? 11 : 12);
    CLayerMngr layers;
    const uint8_t modes[] = {kModeNormal, kModeMultiply, kModeScreen, kModeOverlay, kModeDifference, kModeColor};
    for (size_t i = 0; i < std::size(modes); ++i)
      AddRandomLayer(layers, kW, kH, modes[i], static_cast<uint8_t>(120 + 27 * i), rng, i % 2 ? 40 : 0);
    layers.Get(2)->SetGroupDepth(1);
    layers.Get(3)->SetGroupDepth(1);
    layers.Get(4)->visible = 0;
    SComposeSettings settings;
    settings.showCanvasColor = showCanvas;
    settings.paperColor = 0xF0E8D0;
    settings.grid = SGridSettings{true, 10, 7, 0x80203040u};

    TTC whole(kW, kH), pieces(kW, kH);
    ASSERT_TRUE(ComposeRect(whole, layers, settings, SRectWH{0, 0, kW, kH}, true));
    // Pieces cover the canvas in random order and overlap; the last one composed wins, and each
    // one gives the same pixels as the whole.
    for (int32_t k = 0; k < 40; ++k) {
      const int32_t l = rng.Below(kW), t = rng.Below(kH);
      ComposeRect(pieces, layers, settings, SRectWH{l, t, 1 + rng.Below(kW - l + 5), 1 + rng.Below(kH - t + 5)},
                  true);
    }
    for (int32_t t = 0; t < kH; t += 16)
      for (int32_t l = 0; l < kW; l += 20) ComposeRect(pieces, layers, settings, SRectWH{l, t, 20, 16}, true);
    EXPECT_EQ(test::PixelsOf(whole), test::PixelsOf(pieces)) << "canvas colour " << showCanvas;
    // The opacities borrowed for drawing are given back.
    for (size_t i = 0; i < std::size(modes); ++i)
      EXPECT_EQ(layers.Get(static_cast<int32_t>(i))->opacity, 120 + 27 * i);
  }
}

// Straight-alpha "over" in doubles: the picture a stack of normal layers shows.
struct Rgba {
  double c[3];
  double a;
};
Rgba Over(const Rgba& dst, uint32_t src, double opacity) {
  const double sa = ((src >> 24) / 255.0) * opacity;
  Rgba out;
  out.a = sa + dst.a * (1.0 - sa);
  for (int k = 0; k < 3; ++k) {
    const double sc = (src >> (8 * k)) & 0xFF;
    out.c[k] = out.a > 0 ? (sc * sa + dst.c[k] * dst.a * (1.0 - sa)) / out.a : dst.c[k];
  }
  return out;
}

TEST_F(ViewRenderTest, NormalStackOnWhiteIsStraightAlphaOver) {
  constexpr int32_t kW = 70, kH = 40;
  Rng rng(5);
  CLayerMngr layers;
  const uint8_t opacities[] = {255, 200, 90, 255};
  for (uint8_t o : opacities) AddRandomLayer(layers, kW, kH, kModeNormal, o, rng, o == 200 ? 20 : 0);
  for (bool showCanvas : {true, false}) {
    SComposeSettings settings;
    settings.showCanvasColor = showCanvas;
    TTC display(kW, kH);
    ASSERT_TRUE(ComposeRect(display, layers, settings, SRectWH{0, 0, kW, kH}, false));
    int32_t worst = 0;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        Rgba model{{255, 255, 255}, showCanvas ? 1.0 : 0.0};
        for (int32_t i = 0; i < layers.Count(); ++i) {
          const CLayerData& layer = *layers.Get(i);
          model =
              Over(model, layer.Store()->GetPixel(x + layer.offsetX, y + layer.offsetY), layer.opacity / 255.0);
        }
        // Shown over white, as the window shows it.
        const uint32_t got = display.GetPixel(x, y);
        const double gotAlpha = showCanvas ? 1.0 : (got >> 24) / 255.0;
        for (int k = 0; k < 3; ++k) {
          const double want = model.c[k] * model.a + 255.0 * (1.0 - model.a);
          const double shown = ((got >> (8 * k)) & 0xFF) * gotAlpha + 255.0 * (1.0 - gotAlpha);
          worst = std::max(worst, static_cast<int32_t>(std::ceil(std::fabs(want - shown) - 1e-9)));
        }
        if (!showCanvas) {
          EXPECT_NEAR((got >> 24) / 255.0, model.a, 4.0 / 255) << x << "," << y;
        }
      }
    // Each layer's blend truncates: at most one level per layer away from the exact picture.
    EXPECT_LE(worst, layers.Count()) << "canvas colour " << showCanvas;
  }
}

TEST_F(ViewRenderTest, LayersOfZeroEffectiveOpacityAreSkipped) {
  // A dissolving layer draws through the process-wide dissolve slot: a layer that is skipped
  // leaves the picture exactly as without it.
  CLayerMngr layers;
  Rng rng(9);
  AddRandomLayer(layers, 40, 40, kModeNormal, 255, rng);
  TTC without(40, 40), with(40, 40);
  SComposeSettings settings;
  ComposeRect(without, layers, settings, SRectWH{0, 0, 40, 40}, false);
  AddRandomLayer(layers, 40, 40, kModeScreen, 0, rng);    // opacity 0
  AddRandomLayer(layers, 40, 40, kModeNormal, 255, rng);  // hidden
  layers.Get(2)->visible = 0;
  ComposeRect(with, layers, settings, SRectWH{0, 0, 40, 40}, false);
  EXPECT_EQ(test::PixelsOf(without), test::PixelsOf(with));
}

TEST_F(ViewRenderTest, GridLinesAtMultiplesOfTheStep) {
  constexpr int32_t kSide = 100;
  CLayerMngr layers;
  SComposeSettings settings;
  settings.paperColor = 0xFFFFFF;
  settings.grid = SGridSettings{true, 25, 25, 0xFF000000u};  // opaque black lines
  TTC display(kSide, kSide);
  ASSERT_TRUE(ComposeRect(display, layers, settings, SRectWH{0, 0, kSide, kSide}, true));
  std::vector<int32_t> columns, rows;
  for (int32_t x = 0; x < kSide; ++x)
    if ((display.GetPixel(x, 3) & 0xFFFFFF) == 0) columns.push_back(x);
  for (int32_t y = 0; y < kSide; ++y)
    if ((display.GetPixel(3, y) & 0xFFFFFF) == 0) rows.push_back(y);
  EXPECT_EQ(columns, (std::vector<int32_t>{0, 25, 50, 75}));
  EXPECT_EQ(rows, (std::vector<int32_t>{0, 25, 50, 75}));
  // A rectangle that starts between lines draws only the lines inside it.
  settings.grid.visible = false;
  ComposeRect(display, layers, settings, SRectWH{0, 0, kSide, kSide}, false);
  settings.grid.visible = true;
  ComposeRect(display, layers, settings, SRectWH{30, 30, 40, 40}, true);
  EXPECT_EQ(display.GetPixel(50, 40) & 0xFFFFFF, 0u);
  EXPECT_EQ(display.GetPixel(25, 40) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(display.GetPixel(50, 29) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(display.GetPixel(50, 69) & 0xFFFFFF, 0u);
  // A step of 0 or less draws every column instead of dividing by zero.
  settings.grid.stepX = 0;
  EXPECT_TRUE(ComposeRect(display, layers, settings, SRectWH{0, 0, 5, 5}, true));
  // Off: nothing.
  EXPECT_FALSE(DrawGridRect(display, SRectWH{0, 0, 5, 5}, SGridSettings{}, true));
}

TEST_F(ViewRenderTest, GridPixelOpMakesThePixelOpaqueOverWhiteFirst) {
  struct Case {
    uint32_t pixel, colour;
    int32_t alpha;
    uint32_t expected;
  };
  const Case cases[] = {
      {0x00123456u, 0x80000000u, 0, 0xFFFFFFFFu},    // transparent: white, then nothing
      {0x00123456u, 0x80000000u, 255, 0xFF000000u},  // transparent: white, then black
      {0xFF102030u, 0x80FFFFFFu, 0, 0xFF102030u},    // opaque stays
      {0x80000000u, 0x80000000u, 0, 0xFF7F7F7Fu},    // half alpha black over white
  };
  for (const Case& c : cases) {
    uint32_t p = c.pixel;
    GridPixelOp(&p, c.colour, c.alpha);
    EXPECT_EQ(p, c.expected) << std::hex << c.pixel;
  }
}

// ---- Zoom steps and the direct path --------------------------------------------------------------

struct Ratio {
  int32_t n, d;
};
constexpr Ratio kZoomSteps[] = {{1, 16}, {1, 12}, {1, 8}, {1, 6}, {1, 4}, {1, 3}, {1, 2},  {2, 3}, {1, 1},
                                {3, 2},  {2, 1},  {3, 1}, {4, 1}, {6, 1}, {8, 1}, {12, 1}, {16, 1}};

TEST(ViewRender, BackgroundIsTheFullStrengthBlendOfThePaperColour) {
  // Over pixels of every alpha, inside a rectangle clipped to the buffer: the canvas colour's
  // background equals BlendRect at 255; without it the rectangle is transparent white.
  test::XorShiftRng rng(0xB6C0);
  const uint32_t colours[] = {0x00FFFFFFu, 0xFF123456u, 0x80000000u, 0x00A0B0C0u};
  const SRectWH rects[] = {{0, 0, 37, 23}, {5, -3, 20, 40}, {30, 10, 50, 50}, {40, 0, 5, 5}};
  for (const uint32_t colour : colours)
    for (const SRectWH& r : rects)
      for (const bool show : {true, false}) {
        SCOPED_TRACE(testing::Message() << std::hex << colour << std::dec << " rect " << r.left << "," << r.top
                                        << (show ? " canvas colour" : " transparent"));
        TMTC buffer(37, 23);
        for (int32_t y = 0; y < 23; ++y)
          for (int32_t x = 0; x < 37; ++x) *buffer.Pixel(x, y) = rng.Next();
        TMTC expected(37, 23);
        for (int32_t y = 0; y < 23; ++y)
          for (int32_t x = 0; x < 37; ++x) *expected.Pixel(x, y) = buffer.GetPixel(x, y);
        SRectWH e = r;
        const bool expectedDrawn =
            show ? expected.BlendRect(e, colour & 0x00FFFFFFu, 255) : expected.FillRect(e, kTransparentWhite);
        EXPECT_EQ(FillBackground(buffer, r, show, colour), expectedDrawn);
        for (int32_t y = 0; y < 23; ++y)
          for (int32_t x = 0; x < 37; ++x)
            ASSERT_EQ(buffer.GetPixel(x, y), expected.GetPixel(x, y)) << x << "," << y;
      }
}

TEST(ViewRender, WholeZoomViewSwitch) {
  struct Case {
    int32_t w, h, n, d;
    bool whole;
  };
  const Case cases[] = {
      {16383, 10, 2, 1, true},      {16384, 10, 2, 1, false}, {10, 16384, 2, 1, false},  {32767, 5, 1, 1, true},
      {100, 100, 3, 2, false},      {100, 100, 1, 2, false},  {2047, 2047, 16, 1, true}, {2048, 1, 16, 1, false},
      {1, 1, 16, 1, true},          {0, 0, 1, 1, true},       {100, 100, 4, 0, false},   {100, 100, 0, 1, false},
      {INT32_MAX, 1, 16, 1, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsWholeZoomView(c.w, c.h, c.n, c.d), c.whole) << c.w << "x" << c.h << " at " << c.n << "/" << c.d;
}

void FillRandom(TMTC& image, Rng& rng, bool someTransparent) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) {
      uint32_t v = rng.Next();
      if (!someTransparent || (v & 3) != 0) v |= 0xFF000000u;
      *image.Pixel(x, y) = v;
    }
}

TEST(ViewRender, ZoomTwoShowsEachPixelAsTwoByTwoBlock) {
  Rng rng;
  TTC display(13, 9);
  FillRandom(display, rng, false);
  MemorySurface window(40, 30, 0xFF00FF00u);
  SViewGeometry view;
  view.zoomNumerator = 2;
  view.scrollX = 5;
  view.scrollY = 3;
  ASSERT_TRUE(PaintDirect(window, display, SRectWH{0, 0, 13, 9}, view));
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const bool in = x >= 5 && x < 5 + 26 && y >= 3 && y < 3 + 18;
      const uint32_t want = in ? (display.GetPixel((x - 5) / 2, (y - 3) / 2) | 0xFF000000u) : 0xFF00FF00u;
      ASSERT_EQ(window.Pixel(x, y), want) << x << "," << y;
    }
  // Zoom 1 with a view offset copies 1:1; a fractional zoom draws nothing here.
  view.zoomNumerator = 1;
  view.scrollX = view.scrollY = 0;
  view.offsetX = 4;
  view.offsetY = 2;
  ASSERT_TRUE(PaintDirect(window, display, SRectWH{4, 2, 9, 7}, view));
  EXPECT_EQ(window.Pixel(0, 0), display.GetPixel(4, 2) | 0xFF000000u);
  view.zoomNumerator = 3;
  view.zoomDenominator = 2;
  EXPECT_FALSE(PaintDirect(window, display, SRectWH{0, 0, 13, 9}, view));
}

TEST(ViewRender, StretchToWindowReplicatesAndFlattensOverTheChecker) {
  Rng rng(3);
  TTC display(20, 10), pattern(50, 40);
  FillRandom(display, rng, true);
  for (int32_t f : {1, 2, 3, 16}) {
    pattern.FillAll(0x00ABCDEFu);
    SViewGeometry view;
    view.zoomNumerator = f;
    view.scrollX = 2;
    view.offsetY = 1;  // canvas row 1 at the window's top
    MemorySurface window(50, 40);
    SRectWH written;
    ASSERT_TRUE(StretchToWindow(&window, pattern, SRectWH{0, 0, 20, 10}, display, view, false, true, &written));
    const int32_t X0 = 2, Y0 = -f;
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 50; ++x) {
        const int32_t cx = (x - X0) / f, cy = (y - Y0) / f;
        const bool in = x >= X0 && y >= Y0 && cx < 20 && cy < 10;
        uint32_t want = 0x00ABCDEFu;
        if (in) {
          want = display.GetPixel(cx, cy);
          FlattenPixel(&want, x, y, ViewBackground(false, true, X0, Y0));
        }
        ASSERT_EQ(pattern.GetPixel(x, y), want) << "zoom " << f << " at " << x << "," << y;
        if (in) {
          ASSERT_EQ(window.Pixel(x, y), want | 0xFF000000u);
        }
      }
  }
}

TEST(ViewRender, EmptyDestinationsAndTinyCanvasesDrawNothingOrOnePixel) {
  Rng rng;
  TTC display(1, 1), view(0, 0), empty;
  *display.Pixel(0, 0) = 0xFF112233u;
  SViewGeometry geometry;
  geometry.zoomNumerator = 16;
  CScaleImageTMTC scaler(&display, &view);
  // A never-sized buffer: nothing is drawn, nothing divides by zero.
  EXPECT_FALSE(
      RenderRotatedNearest(empty, display, SRectWH{0, 0, 10, 10}, TPoint{0, 0}, geometry, true, false, 0));
  EXPECT_FALSE(
      RenderRotatedSmooth(empty, display, scaler, SRectWH{0, 0, 10, 10}, TPoint{0, 0}, geometry, true, false, 0));
  EXPECT_FALSE(RenderRotatedNearest(view, empty, SRectWH{0, 0, 1, 1}, TPoint{0, 0}, geometry, true, false, 0));
  EXPECT_FALSE(StretchToWindow(nullptr, empty, SRectWH{0, 0, 1, 1}, display, geometry, false, true));
  EXPECT_EQ(RotatedPaintSquare(SRectWH{0, 0, 0, 5}, geometry, TPoint{0, 0}).width, 0);
  MemorySurface window0(0, 0);
  PaintDirect(window0, display, SRectWH{0, 0, 1, 1}, geometry);  // clipped away by the surface
  // A canvas of one pixel at 16x fills a 16x16 block about the view centre.
  TTC client(32, 32);
  ASSERT_TRUE(RenderRotatedNearest(client, display, SRectWH{0, 0, 32, 32}, TPoint{0, 0}, geometry, true, false,
                                   0xFF000000u));
  int32_t shown = 0;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) shown += client.GetPixel(x, y) == 0xFF112233u;
  EXPECT_EQ(shown, 256);
  EXPECT_EQ(client.GetPixel(16, 16), 0xFF112233u);
  EXPECT_EQ(client.GetPixel(15, 16), 0xFF000000u);
  // Zoom values of 0 or a zero denominator stop before any division.
  geometry.zoomDenominator = 0;
  EXPECT_FALSE(PaintDirect(window0, display, SRectWH{0, 0, 1, 1}, geometry));
  EXPECT_FALSE(StretchToWindow(nullptr, client, SRectWH{0, 0, 1, 1}, display, geometry, false, true));
}

// ---- The resampled renderers against independent models ----------------------------------------

struct RenderCase {
  Ratio zoom;
  double degrees;
};
std::string RenderCaseText(const RenderCase& c) {
  std::string deg = std::to_string(static_cast<int>(c.degrees));
  if (c.degrees < 0) deg = "minus" + deg.substr(1);
  return "zoom" + std::to_string(c.zoom.n) + "over" + std::to_string(c.zoom.d) + "at" + deg + "deg";
}
std::string RenderCaseName(const ::testing::TestParamInfo<RenderCase>& info) {
  return RenderCaseText(info.param);
}
void PrintTo(const RenderCase& c, std::ostream* os) { *os << RenderCaseText(c); }

class RenderModelTest : public ::testing::TestWithParam<RenderCase> {
 protected:
  static constexpr int32_t kCanvasW = 61, kCanvasH = 43;
  static constexpr int32_t kClientW = 57, kClientH = 38;

  void SetUp() override {
    InitCompositeTables();
    Rng rng(77);
    display_.Resize(kCanvasW, kCanvasH);
    FillRandom(display_, rng, true);
    const RenderCase& c = GetParam();
    view_.zoomNumerator = c.zoom.n;
    view_.zoomDenominator = c.zoom.d;
    view_.clientWidth = kClientW;
    view_.clientHeight = kClientH;
    if (c.degrees != 0) {
      const double radians = c.degrees * M_PI / 180.0;
      view_.angle = static_cast<float>(radians);
      view_.sine = static_cast<float>(std::sin(radians));
      view_.cosine = static_cast<float>(std::cos(radians));
    }
    centre_ = TPoint{23, 17};
  }

  // Where the window-to-canvas mapping of the view puts the window pixel's centre, in canvas
  // pixel units (pixel i covers [i, i + 1)), for a rotated view about the centre: the window
  // centre is W div 2 as the view maps it, or W / 2 where the pixel centres are measured from
  // the exact middle of the buffer (the area sampler).
  void MappedPoint(int32_t x, int32_t y, double& u, double& v, bool exactMiddle = false) const {
    const double s = 1.0 / view_.Zoom();
    const double mx = exactMiddle ? kClientW / 2.0 : kClientW / 2,
                 my = exactMiddle ? kClientH / 2.0 : kClientH / 2;
    const double a = s * (x + 0.5 - mx), b = s * (y + 0.5 - my);
    u = centre_.x + view_.cosine * a - view_.sine * b;
    v = centre_.y + view_.sine * a + view_.cosine * b;
  }

  // One canvas pixel beyond half the window pixel's rotated footprint: a window pixel covers
  // 1/z canvas pixels, and a sample may lie anywhere on it.
  double FootprintTolerance() const {
    return 1.0 + (std::fabs(view_.cosine) + std::fabs(view_.sine)) * 0.5 / view_.Zoom();
  }

  TTC display_;
  SViewGeometry view_;
  TPoint centre_;
};

TEST_P(RenderModelTest, NearestTakesThePixelOfItsSixteenSixteenPoint) {
  for (bool pattern : {false, true}) {
    TTC out(kClientW, kClientH);
    const uint32_t outside = 0x00446688u;
    ASSERT_TRUE(RenderRotatedNearest(out, display_, SRectWH{0, 0, kClientW, kClientH}, centre_, view_, false,
                                     pattern, outside));
    // The model: each point straight from its own 16.16 products (no stepping).
    const float s = 1.0f / (static_cast<float>(view_.zoomNumerator) / static_cast<float>(view_.zoomDenominator));
    const int64_t cs = static_cast<int64_t>(std::nearbyint(static_cast<double>(view_.cosine * s) * 65536.0));
    const int64_t sn = static_cast<int64_t>(std::nearbyint(static_cast<double>(view_.sine * s) * 65536.0));
    const double tolerance = FootprintTolerance();
    for (int32_t y = 0; y < kClientH; ++y)
      for (int32_t x = 0; x < kClientW; ++x) {
        const int64_t a = x - kClientW / 2, b = y - kClientH / 2;
        const int64_t px = int64_t{centre_.x} * 65536 + a * cs - b * sn;
        const int64_t py = int64_t{centre_.y} * 65536 + a * sn + b * cs;
        uint32_t want = outside;
        const bool inside = px >= 0 && py >= 0 && px < kCanvasW * 65536LL && py < kCanvasH * 65536LL;
        if (inside) {
          const int32_t cx = static_cast<int32_t>(px / 65536), cy = static_cast<int32_t>(py / 65536);
          want = display_.GetPixel(cx, cy);
          if ((want >> 24) != 255) {
            const uint32_t cell = pattern ? ((((x / 8) + (y / 8)) & 1) ? 0xE0E0E0u : 0xC8C8C8u) : 0xFFFFFFu;
            const uint32_t alpha = want >> 24;
            uint32_t blended = cell;
            for (int k = 0; k < 3; ++k) {
              const uint32_t c = (cell >> (8 * k)) & 0xFF, p = (want >> (8 * k)) & 0xFF;
              const uint32_t v = (p * alpha + c * (255 - alpha)) / 255;
              blended = (blended & ~(0xFFu << (8 * k))) | (v << (8 * k));
            }
            want = blended;
          }
          // The pixel taken lies within one canvas pixel of the window pixel's footprint under
          // the view's window-to-canvas mapping.
          double u, v;
          MappedPoint(x, y, u, v);
          ASSERT_LE(std::fabs(cx + 0.5 - u), tolerance) << x << "," << y;
          ASSERT_LE(std::fabs(cy + 0.5 - v), tolerance) << x << "," << y;
        }
        ASSERT_EQ(out.GetPixel(x, y), want) << "pattern " << pattern << " at " << x << "," << y;
      }
  }
}

// The area average of a square of the buffer, in doubles; false when it misses the buffer.
bool AreaModel(const TMTC& image, double x0, double y0, double side, double out[4]) {
  const double x1 = std::min<double>(x0 + side, image.Width()), y1 = std::min<double>(y0 + side, image.Height());
  x0 = std::max(x0, 0.0);
  y0 = std::max(y0, 0.0);
  if (!(x0 < x1 && y0 < y1)) return false;
  double sum[4] = {0, 0, 0, 0}, area = 0;
  for (int32_t y = static_cast<int32_t>(std::floor(y0)); y < y1; ++y)
    for (int32_t x = static_cast<int32_t>(std::floor(x0)); x < x1; ++x) {
      const double w = (std::min<double>(x + 1, x1) - std::max<double>(x, x0)) *
                       (std::min<double>(y + 1, y1) - std::max<double>(y, y0));
      if (w <= 0) continue;
      const uint32_t p = image.GetPixel(x, y);
      for (int k = 0; k < 4; ++k) sum[k] += w * ((p >> (8 * k)) & 0xFF);
      area += w;
    }
  for (int k = 0; k < 4; ++k) out[k] = sum[k] / area;
  return true;
}

TEST_P(RenderModelTest, SmoothAveragesTheSquareAboutItsPixelCentre) {
  TTC out(kClientW, kClientH);
  CScaleImageTMTC scaler(&display_, &out);
  const uint32_t outside = 0x00446688u;
  ASSERT_TRUE(RenderRotatedSmooth(out, display_, scaler, SRectWH{0, 0, kClientW, kClientH}, centre_, view_, false,
                                  true, outside));
  const double s = 1.0 / view_.Zoom();
  int32_t worst = 0;
  for (int32_t y = 0; y < kClientH; ++y)
    for (int32_t x = 0; x < kClientW; ++x) {
      // The square's centre is the window pixel's centre mapped into the canvas.
      double u, v, avg[4];
      MappedPoint(x, y, u, v, true);
      double mu, mv;  // within one canvas pixel of the window pixel's footprint under the view's mapping
      MappedPoint(x, y, mu, mv);
      ASSERT_LE(std::fabs(mu - u), FootprintTolerance());
      ASSERT_LE(std::fabs(mv - v), FootprintTolerance());
      const uint32_t got = out.GetPixel(x, y);
      // Squares that straddle the edge by a rounding may land on either side: skip them.
      const double margin = 2.0 / 65536 * (1 + s * 64);
      const bool clearlyIn = u - s / 2 > -1 + margin && v - s / 2 > -1 + margin &&
                             u + s / 2 < kCanvasW + 1 - margin && v + s / 2 < kCanvasH + 1 - margin;
      const bool clearlyOut = u + s / 2 < -margin || v + s / 2 < -margin || u - s / 2 > kCanvasW + margin ||
                              v - s / 2 > kCanvasH + margin;
      if (clearlyOut) {
        ASSERT_EQ(got, outside) << x << "," << y;
        continue;
      }
      if (!clearlyIn || !AreaModel(display_, u - s / 2, v - s / 2, s, avg)) continue;
      if (u - s / 2 < 0.01 || v - s / 2 < 0.01 || u + s / 2 > kCanvasW - 0.01 || v + s / 2 > kCanvasH - 0.01)
        continue;  // partly outside: the model's clip and the 16.16 clip may differ by a sliver
      // Shown over the checker cell at the window pixel.
      const uint32_t cell = ((((x / 8) + (y / 8)) & 1) ? 0xE0E0E0u : 0xC8C8C8u);
      const double alpha = avg[3] / 255.0;
      for (int k = 0; k < 3; ++k) {
        const double want = avg[k] * alpha + ((cell >> (8 * k)) & 0xFF) * (1 - alpha);
        worst =
            std::max(worst, static_cast<int32_t>(std::ceil(std::fabs(want - ((got >> (8 * k)) & 0xFF)) - 1e-9)));
      }
    }
  // 16.16 corners, single-precision sums and the truncating stores: within three levels.
  EXPECT_LE(worst, 3);
}

TEST_P(RenderModelTest, PaintSquareCoversTheChangedRectangle) {
  // Every window pixel whose nearest sample falls in the changed canvas rectangle lies in the
  // square that the repaint renders.
  const SRectWH changed{20, 10, 9, 14};
  const SRectWH square = RotatedPaintSquare(changed, view_, centre_);
  const float s = 1.0f / view_.Zoom();
  const int64_t cs = SingleToFix(view_.cosine * s), sn = SingleToFix(view_.sine * s);
  for (int32_t y = 0; y < kClientH; ++y)
    for (int32_t x = 0; x < kClientW; ++x) {
      const int64_t a = x - kClientW / 2, b = y - kClientH / 2;
      const int64_t px = (int64_t{centre_.x} * 65536 + a * cs - b * sn) >> 16;
      const int64_t py = (int64_t{centre_.y} * 65536 + a * sn + b * cs) >> 16;
      if (px < changed.left || px >= changed.left + changed.width || py < changed.top ||
          py >= changed.top + changed.height)
        continue;
      ASSERT_TRUE(x >= square.left && x < square.left + square.width && y >= square.top &&
                  y < square.top + square.height)
          << x << "," << y << " outside the square " << square.left << "," << square.top << " " << square.width;
    }
}

std::vector<RenderCase> AllRenderCases() {
  std::vector<RenderCase> cases;
  for (const Ratio& r : kZoomSteps)
    for (double deg : {0.0, -30.0, -90.0, -200.0}) cases.push_back(RenderCase{r, deg});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(ZoomStepsAndAngles, RenderModelTest, ::testing::ValuesIn(AllRenderCases()),
                         RenderCaseName);

// ---- Thumbnails and the navigator ---------------------------------------------------------------

TEST(ViewRender, ThumbnailRectMapsTheCanvasRect) {
  struct Case {
    SRectWH canvas;
    int32_t iw, ih, cw, ch;
    SRectWH expected;
  };
  const Case cases[] = {
      {{0, 0, 100, 50}, 32, 16, 100, 50, {0, 0, 33, 17}},
      {{50, 25, 10, 10}, 32, 16, 100, 50, {16, 8, 4, 4}},
      {{0, 0, 1, 1}, 32, 32, 1, 1, {0, 0, 33, 33}},
      {{0, 0, 10, 10}, 32, 32, 0, 10, {0, 0, 0, 0}},
      // The bottom edge 8 * 15/38 = 3.16 reaches row 3 though the height alone scales to 2.37.
      {{45, 2, 30, 6}, 32, 15, 80, 38, {18, 0, 13, 4}},
  };
  for (const Case& c : cases) {
    const SRectWH r = ScaledThumbnailRect(c.canvas, c.iw, c.ih, c.cw, c.ch);
    EXPECT_EQ((std::vector<int32_t>{r.left, r.top, r.width, r.height}),
              (std::vector<int32_t>{c.expected.left, c.expected.top, c.expected.width, c.expected.height}));
  }
}

TEST(ViewRender, NavigatorShowsTheReducedBufferOverTheChecker) {
  TTC display(64, 32);
  display.FillAll(0x00000000u);  // transparent
  TMTC navigator(16, 8);
  navigator.FillAll(0x12345678u);
  ASSERT_TRUE(UpdateNavigatorRect(navigator, display, SRectWH{0, 0, 16, 8}, false, true));
  EXPECT_EQ(navigator.GetPixel(0, 0) & 0xFFFFFF, kCheckerEvenColour);
  EXPECT_EQ(navigator.GetPixel(8, 0) & 0xFFFFFF, kCheckerOddColour);
  ASSERT_TRUE(UpdateNavigatorRect(navigator, display, SRectWH{0, 0, 16, 8}, true, true));
  EXPECT_EQ(navigator.GetPixel(8, 0), 0u);  // canvas colour shown: no flattening
}

}  // namespace
}  // namespace tf
