// A headless document composes its layers and renders its view at every zoom step and rotation
// into buffers the tests read; the window mapping of the view is the document's own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "document/ShellServices.h"
#include "paper/DocumentWindow.h"
#include "paper/Paper.h"
#include "paper/ViewRender.h"
#include "platform/AddressSpace.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "raster/Composite.h"
#include "support/TestImages.h"
#include "support/TestRng.h"

namespace tf {
namespace {

// The document window as the tests need it: a client size, the smooth-drawing state, a handle
// and a count of invalidations.
class FakeWindow final : public DocumentWindow {
 public:
  TFlowImage* GetFlowImage() override { return nullptr; }
  bool PrepareCommand(bool, bool) override { return true; }
  bool SetModified(bool value) override {
    const bool old = modified;
    modified = value;
    return old;
  }
  void UpdateScrollBars(const TPoint*) override {}
  void UpdateCaption(bool) override {}
  void RefreshAfterEdit(bool, bool, bool) override {}
  void Invalidate(bool) override { ++invalidations; }
  void PaintNow() override {}
  void EraseBrushOutline() override { ++outlineErasures; }
  WindowHandle Handle() const override { return 77; }
  SSize ClientSize() const override { return client; }
  bool SmoothDrawing() const override { return smooth; }
  bool IsPlaying() const override { return playing; }
  int32_t PlaybackKind() const override { return 1; }
  bool IsLockedForPlayback() const override { return false; }
  TStroke* CurrentStroke() override { return nullptr; }
  CPenShapeObj* CurrentPenShape() override { return nullptr; }
  const CColorSlotGroup* CurrentGradientStops() override { return nullptr; }
  CToneMngr* ToneMngr() override { return nullptr; }

  SSize client{64, 48};
  bool smooth = false;
  bool playing = false;
  bool modified = false;
  int32_t invalidations = 0;
  int32_t outlineErasures = 0;
};

class PaperComposeRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCompositeTables();
    ResetAddressSpaceSettings();
    ResetViewOutsideColour();
    SetMillisecondSource([] { return 99u; });
    SetToolPaneHost(&panes_);
  }
  void TearDown() override {
    SetToolPaneHost(nullptr);
    SetMillisecondSource({});
    ResetViewOutsideColour();
  }

  // A document of the canvas size with one layer of random pixels (some transparent).
  void MakeDocument(TPaper& paper, int32_t w, int32_t h, uint64_t seed = 1) {
    paper.canvasWidth = w;
    paper.canvasHeight = h;
    paper.Layers().SetCanvasSize(w, h);
    ASSERT_TRUE(paper.DisplayBuffer().Resize(w, h));
    const int32_t index = paper.Layers().AddLayer(w, h, true, 255, false, kModeNormal);
    ASSERT_GE(index, 0);
    test::XorShiftRng rng(seed);
    CBlockVMTC& store = *paper.GetLayer(index)->Store();
    for (int32_t y = 0; y < std::min(h, 200); ++y)
      for (int32_t x = 0; x < std::min(w, 200); ++x) {
        uint32_t v = rng.Next();
        if ((v & 3) != 0) v |= 0xFF000000u;
        store.SetPixel(x, y, v);
      }
    store.UpdateContentRects();
    paper.Layers().SetActive(index);
  }

  RecordingToolPaneHost panes_;
};

TEST_F(PaperComposeRenderTest, LayerAtDepthWithoutShallowerEntryIsDrawn) {
  FakeWindow window;
  TPaper paper(&window);
  MakeDocument(paper, 8, 8);
  CLayerData& layer = *paper.GetLayer(0);
  layer.SetGroupDepth(3);  // nothing below it wrote depths 0..2
  layer.Store()->FillAll(0xFF102030u);
  ASSERT_TRUE(paper.ComposeRect(SRectWH{0, 0, 8, 8}, false));
  EXPECT_EQ(paper.DisplayBuffer().GetPixel(4, 4) & 0xFFFFFF, 0x102030u);
}

TEST_F(PaperComposeRenderTest, EdgeCasesOfThePaintingPaths) {
  struct Case {
    std::string name;
    int32_t width;
    TZoomRatio zoom;
    bool resampled;
  };
  const Case cases[] = {
      {"zoom 2/1 copies", 40, {2, 1}, false},
      {"zoom 3/2 resamples without rotation", 40, {3, 2}, true},
      {"16383 wide at 2/1 copies", 16383, {2, 1}, false},
      {"16384 wide at 2/1 resamples", 16384, {2, 1}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWindow window;
    TPaper paper(&window);
    MakeDocument(paper, c.width, 20);
    paper.showCanvasColor = 1;
    paper.zoom = c.zoom;
    ASSERT_TRUE(paper.ComposeRect(SRectWH{0, 0, c.width, 20}, false));
    EXPECT_EQ(paper.IsWholeZoomView(), !c.resampled);
    const int32_t before = window.invalidations;
    ASSERT_TRUE(paper.PaintRect(77, TRect{0, 0, 10, 10}));
    EXPECT_EQ(window.invalidations, before + 1);
    EXPECT_EQ(paper.ViewBuffer().IsValid(), c.resampled);
    MemorySurface screen(64, 48, 0xFF00FF00u);
    ASSERT_TRUE(paper.PaintWindow(&screen));
    if (!c.resampled && c.width == 40) {
      // Each canvas pixel is a 2 x 2 block of the display buffer's pixel.
      for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 64; ++x)
          ASSERT_EQ(screen.Pixel(x, y), paper.DisplayBuffer().GetPixel(x / 2, y / 2) | 0xFF000000u) << x << "," << y;
    }
  }
  // Another window's handle is not painted.
  FakeWindow window;
  TPaper paper(&window);
  MakeDocument(paper, 10, 10);
  EXPECT_FALSE(paper.PaintRect(12, TRect{0, 0, 10, 10}));
  EXPECT_FALSE(paper.PaintRect(77, TRect{10, 0, 20, 10}));  // outside the canvas
}

TEST_F(PaperComposeRenderTest, NoClientAreaRendersNothing) {
  FakeWindow window;
  window.client = SSize{0, 0};
  TPaper paper(&window);
  MakeDocument(paper, 10, 10);
  paper.ComposeRect(SRectWH{0, 0, 10, 10}, false);
  for (TZoomRatio zoom : {TZoomRatio{3, 2}, TZoomRatio{2, 1}}) {
    paper.zoom = zoom;
    paper.showCanvasColor = 0;
    EXPECT_FALSE(paper.RenderView());
    EXPECT_FALSE(paper.PaintRect(77, TRect{0, 0, 10, 10}));
  }
}

struct ViewCase {
  TZoomRatio zoom;
  float degrees;
};
std::string ViewCaseText(const ViewCase& c) {
  const int deg = static_cast<int>(c.degrees);
  return "zoom" + std::to_string(c.zoom.numerator) + "over" + std::to_string(c.zoom.denominator) + "at" +
         (deg < 0 ? "minus" + std::to_string(-deg) : std::to_string(deg)) + "deg";
}
std::string ViewCaseName(const ::testing::TestParamInfo<ViewCase>& info) { return ViewCaseText(info.param); }
void PrintTo(const ViewCase& c, std::ostream* os) { *os << ViewCaseText(c); }

class PaperViewPaintTest : public PaperComposeRenderTest, public ::testing::WithParamInterface<ViewCase> {};

// The window pixel (x, y) shows the display pixel the document's own window-to-canvas mapping
// gives: exactly on the whole-number path, within one canvas pixel of the window pixel's
// footprint on the resampled path.
TEST_P(PaperViewPaintTest, WindowPixelsShowWhatTheViewMapsThemTo) {
  const ViewCase& c = GetParam();
  FakeWindow window;
  window.client = SSize{71, 53};
  TPaper paper(&window);
  MakeDocument(paper, 90, 70, 5);
  paper.showCanvasColor = 0;
  paper.backgroundPattern = 1;
  paper.SetZoomRatio(c.zoom.numerator, c.zoom.denominator);
  if (c.degrees != 0) {
    paper.SetRotationDegrees(c.degrees);
    paper.SetRotationCenter(41.0f, 30.0f);
  } else {
    // The canvas wider than the window: an offset; narrower: a scroll.
    const float z = paper.GetZoom();
    if (90 * z > 71) paper.SetViewOffset(7, 0); else paper.SetViewScroll(3, 0);
    if (70 * z > 53) paper.SetViewOffset(paper.viewOffset.x, 5); else paper.SetViewScroll(paper.viewScroll.x, 2);
  }
  SetViewOutsideColour(0x00314151u);
  ASSERT_TRUE(paper.ComposeRect(SRectWH{0, 0, 90, 70}, false));
  ASSERT_TRUE(paper.RenderView());
  MemorySurface screen(71, 53, 0xFF000000u);
  ASSERT_TRUE(paper.PaintWindow(&screen));
  const TTC& display = paper.DisplayBuffer();
  const bool whole = paper.IsWholeZoomView() && c.degrees == 0;
  const double s = 1.0 / paper.GetZoom();
  const double tolerance =
      1.0 + (std::fabs(paper.rotation.cosine) + std::fabs(paper.rotation.sine)) * 0.5 * s + 1e-4;
  int32_t checked = 0;
  for (int32_t y = 0; y < 53; ++y)
    for (int32_t x = 0; x < 71; ++x) {
      float u = static_cast<float>(x), v = static_cast<float>(y);
      paper.ClientToCanvas(71, 53, u, v);
      // Non-rotated mapping gives pixel centres at whole numbers; the rotated one pixel corners.
      const double cu = c.degrees == 0 ? u + 0.5 : u, cv = c.degrees == 0 ? v + 0.5 : v;
      const uint32_t shown = screen.Pixel(x, y) & 0xFFFFFFu;
      if (whole) {
        const int32_t px = static_cast<int32_t>(std::floor(cu)), py = static_cast<int32_t>(std::floor(cv));
        if (px < 0 || py < 0 || px >= 90 || py >= 70) continue;  // the window's own surroundings
        uint32_t want = display.GetPixel(px, py);
        const int32_t X0 = paper.viewScroll.x - paper.zoom.numerator * paper.viewOffset.x;
        const int32_t Y0 = paper.viewScroll.y - paper.zoom.numerator * paper.viewOffset.y;
        FlattenPixel(&want, x, y, ViewBackground(false, true, X0, Y0));
        ASSERT_EQ(shown, want & 0xFFFFFFu) << x << "," << y;
        ++checked;
        continue;
      }
      // Resampled: find the display pixel the renderer took; it must carry the shown colour.
      if (cu < -s || cv < -s || cu > 90 + s || cv > 70 + s) continue;
      bool found = false;
      for (int32_t py = static_cast<int32_t>(std::floor(cv - tolerance)); py <= cv + tolerance && !found; ++py)
        for (int32_t px = static_cast<int32_t>(std::floor(cu - tolerance)); px <= cu + tolerance && !found; ++px) {
          if (px < 0 || py < 0 || px >= 90 || py >= 70) continue;
          if (std::fabs(px + 0.5 - cu) > tolerance || std::fabs(py + 0.5 - cv) > tolerance) continue;
          uint32_t p = display.GetPixel(px, py);
          FlattenPixelForView(&p, x, y, true);
          found = (p & 0xFFFFFFu) == shown;
        }
      if (shown == 0x314151u) found = true;  // a sample just outside the canvas
      ASSERT_TRUE(found) << x << "," << y << " shows " << std::hex << shown;
      ++checked;
    }
  EXPECT_GT(checked, 0);
}

std::vector<ViewCase> AllViewCases() {
  std::vector<ViewCase> cases;
  for (const TZoomRatio& r : kZoomSteps)
    for (float deg : {0.0f, 30.0f, -90.0f}) cases.push_back(ViewCase{r, deg});
  return cases;
}
INSTANTIATE_TEST_SUITE_P(ZoomStepsAndAngles, PaperViewPaintTest, ::testing::ValuesIn(AllViewCases()), ViewCaseName);

TEST_F(PaperComposeRenderTest, PaintingAChangedRectangleMatchesTheWholeView) {
  for (bool smooth : {false, true}) {
    FakeWindow window;
    window.smooth = smooth;
    TPaper paper(&window);
    MakeDocument(paper, 80, 60, 9);
    paper.showCanvasColor = 0;
    paper.SetZoomRatio(3, 2);
    paper.SetRotationDegrees(30.0f);
    paper.SetRotationCenter(40.0f, 30.0f);
    paper.ComposeRect(SRectWH{0, 0, 80, 60}, false);
    ASSERT_TRUE(paper.RenderView());
    const std::vector<uint32_t> before = test::PixelsOf(paper.ViewBuffer());
    // Change a rectangle of the layer and repaint only it: the view buffer ends as a whole
    // render of the changed picture does.
    SRectWH changed{30, 20, 12, 9};
    paper.GetLayer(0)->Store()->FillRect(changed, 0xFF0000FFu);
    paper.GetLayer(0)->Store()->UpdateContentRects();
    paper.ComposeRect(changed, false);
    ASSERT_TRUE(paper.PaintRect(77, TRect{30, 20, 42, 29}));
    const std::vector<uint32_t> partial = test::PixelsOf(paper.ViewBuffer());
    ASSERT_TRUE(paper.RenderView());
    EXPECT_EQ(partial, test::PixelsOf(paper.ViewBuffer())) << "smooth " << smooth;
    EXPECT_NE(before, partial);
  }
}

TEST_F(PaperComposeRenderTest, ThumbnailsAndNavigatorFollowTheChangedRectangle) {
  FakeWindow window;
  TPaper paper(&window);
  MakeDocument(paper, 64, 64);
  CLayerData& layer = *paper.GetLayer(0);
  ASSERT_TRUE(layer.SetThumbnailSize(16, 16));
  ASSERT_TRUE(paper.NavigatorImage()->Resize(32, 32));
  layer.Thumbnail()->FillAll(0x01020304u);
  paper.NavigatorImage()->FillAll(0x01020304u);
  SRectWH changed{0, 0, 8, 8};
  layer.Store()->FillRect(changed, 0xFF00FF00u);
  paper.ComposeRect(changed, false);
  const int32_t rows = panes_.layerRowRedraws;
  ASSERT_TRUE(paper.UpdateThumbnailsRect(false, 0, changed));
  EXPECT_EQ(panes_.layerRowRedraws, rows + 1);
  EXPECT_EQ(panes_.lastRedrawnRow, 0);
  // The thumbnail rect is (0, 0, 3, 3): 8 * 16/64 + 1.
  EXPECT_EQ(layer.Thumbnail()->GetPixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(layer.Thumbnail()->GetPixel(3, 3), 0x01020304u);
  EXPECT_EQ(paper.NavigatorImage()->GetPixel(0, 0) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(paper.NavigatorImage()->GetPixel(5, 5), 0x01020304u);
  // While the window plays a recording back the layer list row is left alone.
  window.playing = true;
  ASSERT_TRUE(paper.UpdateThumbnailsRect(false, 0, changed));
  EXPECT_EQ(panes_.layerRowRedraws, rows + 1);
  // Navigator only: the thumbnail is not touched.
  layer.Thumbnail()->FillAll(0x01020304u);
  ASSERT_TRUE(paper.UpdateThumbnailsRect(true, 0, changed));
  EXPECT_EQ(layer.Thumbnail()->GetPixel(0, 0), 0x01020304u);
}

// The first few positions where two images of the given width differ ("" when none).
std::string Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int32_t width) {
  std::string out;
  int32_t shown = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()) && shown < 8; ++i)
    if (a[i] != b[i]) {
      out += "(" + std::to_string(static_cast<int32_t>(i) % width) + "," + std::to_string(static_cast<int32_t>(i) / width) + ")";
      ++shown;
    }
  if (a.size() != b.size()) out += " sizes differ";
  return out;
}

// On a canvas wider than tall, updating the layer thumbnail for a changed rectangle gives the
// image a whole update gives (the rectangle is scaled by width and height apart).
TEST_F(PaperComposeRenderTest, APartialThumbnailUpdateEqualsAWholeOneOnAWideCanvas) {
  const SRectWH rects[] = {{60, 30, 18, 8}, {2, 28, 10, 9}, {45, 2, 30, 6}, {70, 0, 10, 38}, {0, 34, 80, 4}};
  for (const SRectWH& changed : rects) {
    FakeWindow window;
    TPaper paper(&window);
    MakeDocument(paper, 80, 38, 5);
    CLayerData& layer = *paper.GetLayer(0);
    ASSERT_TRUE(layer.SetThumbnailSize(32, 15));
    ASSERT_TRUE(paper.NavigatorImage()->Resize(40, 19));
    paper.ComposeRect(SRectWH{0, 0, 80, 38}, false);
    ASSERT_TRUE(paper.UpdateThumbnailsAll(false, 0));
    SRectWH fill = changed;
    layer.Store()->FillRect(fill, 0xFF2060A0u);
    paper.ComposeRect(changed, false);
    ASSERT_TRUE(paper.UpdateThumbnailsRect(false, 0, changed));
    const std::vector<uint32_t> thumbnail = test::PixelsOf(*layer.Thumbnail());
    ASSERT_TRUE(paper.UpdateThumbnailsAll(false, 0));
    const std::string name = std::to_string(changed.left) + "," + std::to_string(changed.top) + " " +
                             std::to_string(changed.width) + "x" + std::to_string(changed.height);
    EXPECT_EQ(Differing(thumbnail, test::PixelsOf(*layer.Thumbnail()), 32), "") << name;
  }
}

TEST_F(PaperComposeRenderTest, LayerImageTransferRoundTrips) {
  FakeWindow window;
  TPaper paper(&window);
  MakeDocument(paper, 40, 40);
  TMTC image(5, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) *image.Pixel(x, y) = 0xFF000000u | static_cast<uint32_t>(x * 16 + y);
  ASSERT_TRUE(paper.PutImage(0, image, 255, 10, 12));
  TMTC back(5, 4);
  ASSERT_TRUE(paper.GetLayerImage(back, 0, 255, false, SRectWH{10, 12, 5, 4}, TPoint{0, 0}));
  EXPECT_EQ(test::PixelsOf(back), test::PixelsOf(image));
  EXPECT_FALSE(paper.PutImage(3, image, 255, 0, 0));  // no such layer
}

}  // namespace
}  // namespace tf
