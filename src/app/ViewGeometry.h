// The document window's view arithmetic: scroll bars and their margins, the scroll position and
// what it tells the document, centring, fitting the zoom and the window, deltas under rotation.
#pragma once
// Plain integer and single-precision arithmetic over values the window passes in, so it is tested
// as tables without a window. Every float-to-integer conversion truncates toward zero (saturating
// at the int32 range, NaN giving 0) unless a routine says otherwise.
#include <cstdint>

#include "raster/ColorConvert.h"
#include "raster/Geometry.h"

namespace tf {

// Truncation toward zero is TruncToInt (raster/ColorConvert.h).

// One scroll bar: its place in the client area, range and steps.
struct SScrollBarGeometry {
  int32_t left = 0;
  int32_t top = 0;
  int32_t length = 0;     // width of the horizontal bar, height of the vertical one
  int32_t maximum = 0;    // zoomed canvas plus both margins
  int32_t page = 0;       // client width (height)
  int32_t largeStep = 1;  // page up and down
  int32_t smallStep = 1;  // the arrows
  // The largest useful position: maximum - page (never below 0).
  int32_t MaxPosition() const { return maximum - page > 0 ? maximum - page : 0; }
};

struct SViewInputs {
  int32_t canvasWidth = 0;
  int32_t canvasHeight = 0;
  int32_t zoomNumerator = 1;
  int32_t zoomDenominator = 1;
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  int32_t marginX = 0;
  int32_t marginY = 0;
  // Thickness of the horizontal bar (its height) and of the vertical one (its width).
  int32_t horizontalBarHeight = 0;
  int32_t verticalBarWidth = 0;

  float Zoom() const;
  // trunc(canvas size x zoom).
  int32_t ZoomedWidth() const;
  int32_t ZoomedHeight() const;
};

// Both bars: maximum = trunc(canvas x z) + 2 x margin, page = client size, large step
// trunc((client - 16) / z), small step trunc(10 x z); both steps at least 1, so that the arrows
// and pages always move the view (below zoom 1/10 and on a client under 17 pixels they would be 0).
void ComputeScrollBars(const SViewInputs& in, SScrollBarGeometry& horizontal, SScrollBarGeometry& vertical);

// What a pair of scroll positions places: positions as taken (lowered to the largest useful
// one), the document's client offset and canvas origin, and the four margin strips.
struct SScrollPlacement {
  int32_t positionX = 0;
  int32_t positionY = 0;
  TPoint clientOffset{0, 0};  // where the canvas starts in the client (when it starts inside)
  TPoint canvasOrigin{0, 0};  // the canvas column and row at the client edge
  TRect marginLeft{0, 0, 0, 0};
  TRect marginRight{0, 0, 0, 0};
  TRect marginTop{0, 0, 0, 0};
  TRect marginBottom{0, 0, 0, 0};
};
SScrollPlacement PlaceScrollPosition(const SViewInputs& in, int32_t positionX, int32_t positionY);

// The position that shows canvas coordinate c at the client centre (ScrollToCanvasPoint):
// trunc(c x z - client / 2 + 0.5) + margin.
int32_t ScrollPositionCentring(float c, float zoom, int32_t client, int32_t margin);
// The position of SetViewCenter and ResetViewRotation: trunc(c x z) + margin - client div 2.
int32_t ScrollPositionAt(float c, float zoom, int32_t client, int32_t margin);
// PlaceCanvas: (maximum - canvas size) div 2 - 32, and the refit after a size change:
// maximum div 2 - trunc(canvas x z) div 2 - 32.
int32_t PlaceCanvasPosition(int32_t maximum, int32_t canvasSize);
int32_t RecentrePosition(int32_t maximum, int32_t zoomedCanvas);

// The largest zoom at which the canvas, turned by the angle, fits the client less 80 pixels each
// way: available width / trunc(W' + 0.5) or available height / trunc(H' + 0.5); without
// enlarging a ratio above 1 becomes 1/1. False for a canvas without size.
bool FitZoomRatio(int32_t canvasWidth, int32_t canvasHeight, int32_t clientWidth, int32_t clientHeight,
                  float radians, bool allowEnlarge, int32_t& numerator, int32_t& denominator);

// A client-pixel delta as a canvas delta and back, at the zoom and the angle (sine, cosine);
// each result truncated.
TPoint ClientDeltaToCanvas(int32_t dx, int32_t dy, float zoom, float sine, float cosine);
TPoint CanvasDeltaToClient(int32_t dx, int32_t dy, float zoom, float sine, float cosine);

// The window's frame around the zoomed canvas (FitWindowToImage).
struct SFitWindowInputs {
  int32_t zoomedWidth = 0;
  int32_t zoomedHeight = 0;
  int32_t frameWidth = 0;   // one side's frame
  int32_t frameHeight = 0;
  int32_t captionHeight = 0;
  int32_t mainClientWidth = 0;
  int32_t mainClientHeight = 0;
  int32_t statusBarTop = -1;  // -1: no status bar shown
  int32_t left = 0;           // where the window stands now
  int32_t top = 0;
};
struct SFitWindowResult {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};
SFitWindowResult FitWindowRect(const SFitWindowInputs& in);

// The cascade of new windows: slot n (0..6) places at (tool width + 24n, 24n); a count of
// document windows that is 1 modulo 6 restarts at 0; the counter then advances and returns to 0
// after 6.
struct SCascade {
  int32_t counter = 0;
  // The place of the next window; advances the counter.
  TPoint Next(int32_t windowCount, int32_t toolWidth);
  void StepBack() { counter = counter > 0 ? counter - 1 : 6; }
  void Advance() { counter = counter >= 6 ? 0 : counter + 1; }
};

// Auto-scroll: the pointer outside the client less the bars, shrunk by 16, gives
// 4 x clamp(nearest inner point - pointer, -16, 16) per axis; (0, 0) inside.
TPoint AutoScrollDelta(const TPoint& pointer, int32_t width, int32_t height);

}  // namespace tf
