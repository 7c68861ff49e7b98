#include "app/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace tf {

float SViewInputs::Zoom() const {
  if (zoomDenominator == 0) return 1.0f;
  return static_cast<float>(static_cast<double>(zoomNumerator) / static_cast<double>(zoomDenominator));
}

int32_t SViewInputs::ZoomedWidth() const { return TruncToInt(static_cast<float>(canvasWidth) * Zoom()); }
int32_t SViewInputs::ZoomedHeight() const { return TruncToInt(static_cast<float>(canvasHeight) * Zoom()); }

namespace {

int32_t AddSat(int64_t a, int64_t b) {
  const int64_t s = a + b;
  return static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
}

void OneBar(SScrollBarGeometry& bar, int32_t zoomed, int32_t margin, int32_t client, float z) {
  bar.maximum = AddSat(zoomed, 2 * static_cast<int64_t>(margin));
  bar.page = client;
  bar.largeStep = std::max(1, TruncToInt(static_cast<float>(client - 16) / z));
  bar.smallStep = std::max(1, TruncToInt(10.0f * z));
}

}  // namespace

void ComputeScrollBars(const SViewInputs& in, SScrollBarGeometry& horizontal, SScrollBarGeometry& vertical) {
  const float z = in.Zoom();
  horizontal.left = 0;
  horizontal.top = in.clientHeight - in.horizontalBarHeight;
  horizontal.length = in.clientWidth - in.verticalBarWidth;
  OneBar(horizontal, in.ZoomedWidth(), in.marginX, in.clientWidth, z);
  vertical.left = in.clientWidth - in.verticalBarWidth;
  vertical.top = 0;
  vertical.length = in.clientHeight - in.horizontalBarHeight;
  OneBar(vertical, in.ZoomedHeight(), in.marginY, in.clientHeight, z);
}

namespace {

// One axis of PlaceScrollPosition. Strips as (start, end) along the axis; empty below 1:1.
struct SAxisPlace {
  int32_t position;
  int32_t clientOffset;
  int32_t canvasOrigin;
  int32_t nearStart, nearEnd;  // margin strip before the canvas
  int32_t farStart, farEnd;    // after it
};

SAxisPlace PlaceAxis(int32_t position, int32_t zoomed, int32_t margin, int32_t client, float z) {
  SAxisPlace p{};
  const int32_t maximum = AddSat(zoomed, 2 * static_cast<int64_t>(margin));
  const int32_t largest = AddSat(maximum, -static_cast<int64_t>(client));
  p.position = std::max(0, std::min(position, largest));
  const bool strips = z >= 1.0f;
  if (p.position < margin) {
    p.clientOffset = margin - p.position;
    p.canvasOrigin = 0;
    if (strips) {
      p.nearStart = 0;
      p.nearEnd = margin - p.position;
    }
  } else {
    p.clientOffset = 0;
    p.canvasOrigin = TruncToInt(static_cast<float>(p.position - margin) / z);
  }
  const int64_t reach = static_cast<int64_t>(p.position) + margin + client;
  if (reach >= maximum && strips) {
    p.farStart = static_cast<int32_t>(std::clamp<int64_t>(client + maximum - reach, INT32_MIN, INT32_MAX));
    p.farEnd = client;
  }
  return p;
}

}  // namespace

SScrollPlacement PlaceScrollPosition(const SViewInputs& in, int32_t positionX, int32_t positionY) {
  const float z = in.Zoom();
  const SAxisPlace x = PlaceAxis(positionX, in.ZoomedWidth(), in.marginX, in.clientWidth, z);
  const SAxisPlace y = PlaceAxis(positionY, in.ZoomedHeight(), in.marginY, in.clientHeight, z);
  SScrollPlacement out;
  out.positionX = x.position;
  out.positionY = y.position;
  out.clientOffset = {x.clientOffset, y.clientOffset};
  out.canvasOrigin = {x.canvasOrigin, y.canvasOrigin};
  if (x.nearEnd > x.nearStart) out.marginLeft = {x.nearStart, 0, x.nearEnd, in.clientHeight};
  if (x.farEnd > x.farStart) out.marginRight = {x.farStart, 0, x.farEnd, in.clientHeight};
  if (y.nearEnd > y.nearStart) out.marginTop = {0, y.nearStart, in.clientWidth, y.nearEnd};
  if (y.farEnd > y.farStart) out.marginBottom = {0, y.farStart, in.clientWidth, y.farEnd};
  return out;
}

int32_t ScrollPositionCentring(float c, float zoom, int32_t client, int32_t margin) {
  return AddSat(TruncToInt(c * zoom - static_cast<float>(client) / 2.0f + 0.5f), margin);
}

int32_t ScrollPositionAt(float c, float zoom, int32_t client, int32_t margin) {
  return AddSat(AddSat(TruncToInt(c * zoom), margin), -static_cast<int64_t>(client / 2));
}

int32_t PlaceCanvasPosition(int32_t maximum, int32_t canvasSize) {
  return static_cast<int32_t>((static_cast<int64_t>(maximum) - canvasSize) / 2 - 32);
}

int32_t RecentrePosition(int32_t maximum, int32_t zoomedCanvas) { return maximum / 2 - zoomedCanvas / 2 - 32; }

bool FitZoomRatio(int32_t canvasWidth, int32_t canvasHeight, int32_t clientWidth, int32_t clientHeight,
                  float radians, bool allowEnlarge, int32_t& numerator, int32_t& denominator) {
  if (canvasWidth <= 0 || canvasHeight <= 0) return false;
  const int64_t availW = static_cast<int64_t>(clientWidth) - 80;
  const int64_t availH = static_cast<int64_t>(clientHeight) - 80;
  const float c = std::fabs(std::cos(radians));
  const float s = std::fabs(std::sin(radians));
  const float w = static_cast<float>(canvasWidth);
  const float h = static_cast<float>(canvasHeight);
  const float turnedW = w * c + h * s;
  const float turnedH = w * s + h * c;
  const int64_t extentW = std::max(1, TruncToInt(turnedW + 0.5f));
  const int64_t extentH = std::max(1, TruncToInt(turnedH + 0.5f));
  // availH x W' > availW x H', in double: the extents are floats.
  int64_t n, d;
  if (static_cast<double>(availH) * turnedW > static_cast<double>(availW) * turnedH) {
    n = availW;
    d = extentW;
  } else {
    n = availH;
    d = extentH;
  }
  if (!allowEnlarge && n > d) n = d = 1;
  numerator = static_cast<int32_t>(std::clamp<int64_t>(n, INT32_MIN, INT32_MAX));
  denominator = static_cast<int32_t>(d);
  return true;
}

TPoint ClientDeltaToCanvas(int32_t dx, int32_t dy, float zoom, float sine, float cosine) {
  const float x = static_cast<float>(dx);
  const float y = static_cast<float>(dy);
  return {TruncToInt((x * cosine - y * sine) / zoom), TruncToInt((x * sine + y * cosine) / zoom)};
}

TPoint CanvasDeltaToClient(int32_t dx, int32_t dy, float zoom, float sine, float cosine) {
  const float x = static_cast<float>(dx);
  const float y = static_cast<float>(dy);
  return {TruncToInt(zoom * (x * cosine + y * sine)), TruncToInt(zoom * (-x * sine + y * cosine))};
}

SFitWindowResult FitWindowRect(const SFitWindowInputs& in) {
  SFitWindowResult r;
  r.left = in.left;
  r.top = in.top;
  const int64_t wantW = 2LL * in.frameWidth + 80 + in.zoomedWidth;
  const int64_t wantH = static_cast<int64_t>(in.captionHeight) + 2LL * in.frameHeight + 80 + in.zoomedHeight;
  const int32_t bottomLimit = in.statusBarTop >= 0 ? in.statusBarTop : in.mainClientHeight;
  r.width = static_cast<int32_t>(std::clamp<int64_t>(std::min<int64_t>(wantW, in.mainClientWidth - in.frameWidth), 0,
                                                     INT32_MAX));
  r.height = static_cast<int32_t>(
      std::clamp<int64_t>(std::min<int64_t>(wantH, bottomLimit - in.frameHeight), 0, INT32_MAX));
  const int64_t overRight = static_cast<int64_t>(r.left) + r.width - in.mainClientWidth;
  if (overRight > 0) r.left = static_cast<int32_t>(std::max<int64_t>(0, r.left - overRight));
  const int64_t overBottom = static_cast<int64_t>(r.top) + r.height - bottomLimit;
  if (overBottom > 0) r.top = static_cast<int32_t>(std::max<int64_t>(0, r.top - overBottom));
  return r;
}

TPoint SCascade::Next(int32_t windowCount, int32_t toolWidth) {
  if (windowCount % 6 == 1) counter = 0;
  const TPoint place{AddSat(toolWidth, 24LL * counter), 24 * counter};
  Advance();
  return place;
}

TPoint AutoScrollDelta(const TPoint& pointer, int32_t width, int32_t height) {
  const int32_t left = 16, top = 16, right = width - 16, bottom = height - 16;
  if (pointer.x >= left && pointer.x < right && pointer.y >= top && pointer.y < bottom) return {0, 0};
  const int32_t nx = std::clamp(pointer.x, left, std::max(left, right - 1));
  const int32_t ny = std::clamp(pointer.y, top, std::max(top, bottom - 1));
  const int32_t dx = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(nx) - pointer.x, -16, 16));
  const int32_t dy = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(ny) - pointer.y, -16, 16));
  return {dx * 4, dy * 4};
}

}  // namespace tf
