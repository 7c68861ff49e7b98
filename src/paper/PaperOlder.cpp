// TPaper: the older stroke engines and the commands of the older event stream.
//
// Engine 1 steps along the segment between the stroke's two newest points and lays the dab of
// the pen type at the spaced steps; engine 0, which only replays recordings of the older version,
// has its own stepping and its own dabs. Both paint the working copy of the stroke's layer: pen
// and blur2 into the coverage channel, the other pen types into the working image through the
// pixel writers. Dabs that swap the colour writer restore it when they leave, also on failure.
//
// The older stream's own commands (a straight line, fills of region slots, rectangles and
// polygons, a solo-visibility toggle, the merge of the visible layers) come last.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/LayerDraw.h"
#include "document/SelectionOutline.h"
#include "paint/CoverageComposite.h"
#include "paint/OldDabs.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/ViewRender.h"
#include "platform/Debug.h"
#include "raster/ChannelShapes.h"
#include "raster/Drawing.h"
#include "raster/SafeConvert.h"

namespace tf {

namespace {

// Pen types of the older engines.
enum OldPenType : uint8_t {
  kOldPen = 0,
  kOldWatercolour = 1,
  kOldBlur = 2,
  kOldEraser = 3,
  kOldBlur2 = 4,
  kOldAirbrush = 5,
  kOldRubPen = 6,
  kOldDarken = 7,
  kOldLighten = 8,
};
constexpr uint8_t kOldPenTypeCount = 9;

// Layers the older stream's fill and clear commands reach.
constexpr int32_t kOldStreamLayerLimit = 23;

// What a dab of engine 1 draws with: the paper, its working copy, the stroke.
struct DabContext {
  TPaper& paper;
  TFlowImage& flow;
  TStroke& stroke;
};
using OldDab = void (*)(DabContext& c, float x, float y, float factor, float size);

const CBlockVMTC* StrokeStore(const DabContext& c) {
  const CLayerData* layer = c.paper.GetLayer(c.paper.GetStrokeLayer(c.stroke));
  return layer != nullptr ? layer->Store() : nullptr;
}

void OldDabPen(DabContext& c, float x, float y, float factor, float size) {
  TChannel& channel = c.flow.WorkChannel();
  if (size < 3.0f) {
    SpanDiscRows(channel, 255, true, x, y, size, factor);
    SpanDiscColumns(channel, 255, true, x, y, size, factor);
  } else if (c.stroke.GetDabCounter() > 4) {
    if (c.paper.strokeMajorAxis == 0)
      SpanDiscRows(channel, 255, true, x, y, size, factor);
    else
      SpanDiscColumns(channel, 255, true, x, y, size, factor);
  } else {
    DrawRoundDot(channel, 255, true, x, y, size, factor, true);
  }
}

// The watercolour's paint colour for a dab: the mixing colour toward the stroke colour by the
// travelled distance, then toward the environment, which follows the four samples' mean by at
// most maxStep per dab.
uint32_t WatercolourPaint(TStroke& stroke, const TMTC& image, float x, float y, float reach, bool symmetric,
                          float maxStep, int32_t envWeight) {
  const double product = static_cast<double>(stroke.GetSpeed()) * stroke.GetWidth() * 2.0;
  const double t = product == 0.0 ? 1.0 : std::min(1.0, stroke.GetDistance() / product);
  uint32_t paint = stroke.GetMixingColor();
  BlendColorFast(&paint, stroke.GetColor(), TruncClamped(t * 255.0, 0, 255));
  uint32_t sum[3] = {0, 0, 0};
  if (image.IsValid()) {
    const float near = symmetric ? -(reach + 1.0f) : -reach + 1.0f;
    const float far = reach + 1.0f;
    const float points[4][2] = {{x, y + far}, {x, y + near}, {x + far, y}, {x + near, y}};
    for (const auto& p : points) {
      const uint32_t pixel = image.GetPixelClamped(TruncSaturated(p[0]), TruncSaturated(p[1]));
      for (int ch = 0; ch < 3; ++ch) sum[ch] += (pixel >> (8 * ch)) & 0xFFu;
    }
  }
  const float mean[3] = {static_cast<float>(sum[0] >> 2), static_cast<float>(sum[1] >> 2),
                         static_cast<float>(sum[2] >> 2)};
  auto follow = [maxStep](float env, float target) {
    if (std::fabs(target - env) <= maxStep) return target;
    return target > env ? env + maxStep : env - maxStep;
  };
  const float blue = follow(stroke.EnvBlue(), mean[0]);
  const float green = follow(stroke.EnvGreen(), mean[1]);
  const float red = follow(stroke.EnvRed(), mean[2]);
  stroke.SetEnvironment(red, green, blue);
  const uint32_t env = (static_cast<uint32_t>(TruncClamped(red, 0, 255)) << 16) |
                       (static_cast<uint32_t>(TruncClamped(green, 0, 255)) << 8) |
                       static_cast<uint32_t>(TruncClamped(blue, 0, 255));
  BlendColorFast(&paint, env, envWeight);
  stroke.SetPaintColor(paint);
  return paint;
}

void OldDabWatercolour(DabContext& c, float x, float y, float factor, float size) {
  TStroke& s = c.stroke;
  const float env = s.GetEnv();
  const uint32_t paint = WatercolourPaint(s, c.flow.Image(), x, y, size, false, env / 10.0f,
                                          TruncClamped(static_cast<double>(env) * 2.55, 0, 255));
  DrawSoftDotOp(c.flow.Image(), paint, true, x, y, size, factor * 0.35f, s.GetIfEdge());
}

void OldDabBlur(DabContext& c, float x, float y, float factor, float size) {
  const CBlockVMTC* store = StrokeStore(c);
  if (store == nullptr) return;
  const int32_t box = TruncClamped(static_cast<double>(size) * c.stroke.GetEffect() / 100.0, 0,
                                   std::numeric_limits<int32_t>::max());
  if (c.stroke.GetKeepAlpha()) {
    BlurDiscPlain(c.flow.Image(), *store, box, x, y, size, factor);
  } else {
    ScopedColourWriter writer(&PixelLerpARGB);
    BlurDiscWeighted(c.flow.Image(), *store, box, x, y, size, factor);
  }
}

void OldDabEraser(DabContext& c, float x, float y, float factor, float size) {
  ScopedColourWriter writer(c.stroke.GetKeepAlpha() ? GetColourWriter() : PixelOp{&PixelEraseAlpha});
  DrawSoftDotOp(c.flow.Image(), c.stroke.GetNeutralColor(), true, x, y, size, factor, c.stroke.GetIfEdge());
}

void OldDabNone(DabContext&, float, float, float, float) {}

void OldDabAirbrush(DabContext& c, float x, float y, float factor, float size) {
  AirDab(c.flow.Image(), c.stroke.GetColor(), x, y, size, factor);
}

void OldDabFingertip(DabContext& c, float x, float y, float factor, float size) {
  c.stroke.SwapPickupOld(c.flow.Image(), x, y);
  const CPenTC* window = c.stroke.GetPickupWindow();
  if (window == nullptr) return;
  ScopedColourWriter writer(c.stroke.GetKeepAlpha() ? GetColourWriter() : PixelOp{&PixelLerpARGB});
  FingertipDabOld(c.flow.Image(), c.stroke.GetNeutralColor(), *window, x, y, size, factor);
}

void OldDabLightness(DabContext& c, float x, float y, float factor, float size) {
  ScopedColourWriter writer(&PixelLightnessCurve);
  AirDab(c.flow.Image(), c.stroke.GetColor(), x, y, size, factor);
}

// Per pen type: dab, minimum size ratio (-1: the stroke's MIN / 100), size thresholds 1 and 2.
struct OldPenRow {
  OldDab dab;
  float minRatio;
  int32_t threshold1;
  int32_t threshold2;
};
constexpr OldPenRow kOldPenRows[kOldPenTypeCount] = {
    {&OldDabPen, -1.0f, 8, 2},       {&OldDabWatercolour, 0.333f, 0, 0}, {&OldDabBlur, 1.0f, 0, 0},
    {&OldDabEraser, 1.0f, 4, 3},     {&OldDabNone, 1.0f, 0, 0},          {&OldDabAirbrush, -1.0f, 0, 0},
    {&OldDabFingertip, -1.0f, 0, 0}, {&OldDabLightness, -1.0f, 0, 0},    {&OldDabLightness, -1.0f, 0, 0},
};

// Steps beyond which a segment is refused: far more than any canvas the points are bounded to.
constexpr double kMaxSegmentSteps = 1 << 22;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Engine 1

bool StrokeEngine1Step(TPaper& paper, TFlowImage* flow, TStroke& stroke) {
  if (flow == nullptr) {
    DebugOut("StrokeEngine1Step: no working copy\n");
    return false;
  }
  stroke.UpdateSegmentBounds();
  const uint8_t type = stroke.GetPenType();
  if (type >= kOldPenTypeCount) return true;
  const OldPenRow& row = kOldPenRows[type];
  const int32_t layer = paper.GetStrokeLayer(stroke);
  SStrokePoint a{}, b{};
  stroke.GetPoint(2, a);
  stroke.GetPoint(1, b);
  SPointF start{a.x, a.y}, end{b.x, b.y};
  paper.PointToStore(layer, start);
  paper.PointToStore(layer, end);
  const double gamma = stroke.GetGamma();
  const double p0 = std::pow(static_cast<double>(a.pressure), gamma);
  const double p1 = std::pow(static_cast<double>(b.pressure), gamma);
  const double dx = double{end.x} - start.x, dy = double{end.y} - start.y, dp = p1 - p0;
  const double h = std::max(std::fabs(dx), std::fabs(dy));
  if (!std::isfinite(h) || !std::isfinite(dp) || h > kMaxSegmentSteps) {
    DebugOut("StrokeEngine1Step: a segment that is not finite was refused\n");
    return false;
  }
  if (h == 0) return true;
  double sx = 0, sy = 0, sp = 0;
  if (h < 1) {
    sx = dx;
    sy = dy;
    sp = dp;
    paper.strokeMajorAxis = std::fabs(dx) >= std::fabs(dy) ? 1 : 0;
  } else if (std::fabs(dx) >= std::fabs(dy)) {
    paper.strokeMajorAxis = 1;
    sx = dx / std::fabs(dx);
    sy = dy / std::fabs(dx);
    sp = dp / std::fabs(dx);
  } else {
    paper.strokeMajorAxis = 0;
    sx = dx / std::fabs(dy);
    sy = dy / std::fabs(dy);
    sp = dp / std::fabs(dy);
  }
  double x = start.x + 0.5, y = start.y + 0.5, p = p0;
  const double w = stroke.GetWidth();
  int64_t n = static_cast<int64_t>(std::ceil(h));
  const double d = std::hypot(dx, dy) / h * 4.0;
  double sMin = w, range = 0, s0 = w, s1 = w;
  if (stroke.GetIfSize()) {
    double ratio = row.minRatio;
    if (stroke.GetTag() > 0 || !(ratio > 0)) ratio = static_cast<double>(stroke.GetMin()) / 100.0;
    sMin = w * ratio;
    range = w - sMin;
    s1 = sMin + range * p1;
    s0 = sMin + range * p0;
  }
  // The interval comes from WIDTH, not from the ramped sizes; at least one step.
  int64_t interval = std::max<int64_t>(1, TruncClamped(std::ceil(stroke.GetSpacing() * w), 1, 1 << 30));
  if (s1 < row.threshold1 || s0 < row.threshold1) interval = 1;
  if (s1 < row.threshold2 || s0 < row.threshold2) {
    n *= 2;
    sx /= 2;
    sy /= 2;
    sp /= 2;
  }
  DabContext context{paper, *flow, stroke};
  const float opacity = stroke.GetOpacity();
  for (int64_t i = 0; i < n; ++i) {
    const double factor = stroke.GetIfTransparency() ? p : 1.0;
    const double size = sMin + range * p;
    if (stroke.GetStepCounter() % interval == 0) {
      const float f = type == kOldPen ? static_cast<float>(factor) : static_cast<float>(factor) * opacity;
      row.dab(context, static_cast<float>(x), static_cast<float>(y), f, static_cast<float>(size));
      stroke.IncDabCounter();
    }
    x += sx;
    y += sy;
    p += sp;
    paper.strokePreviousMajorAxis = paper.strokeMajorAxis;
    paper.strokeLastX = static_cast<float>(x);
    paper.strokeLastY = static_cast<float>(y);
    p = std::clamp(p, 0.0, 1.0);
    stroke.IncStepCounter();
    stroke.AddDistance(static_cast<float>(d * p));
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Engine 0

bool StrokeEngine0Step(TPaper& paper, TFlowImage* flow, TStroke& stroke) {
  SStrokePoint a{}, b{};
  stroke.GetPoint(2, a);
  stroke.GetPoint(1, b);
  if (stroke.GetGamma() != 0) {
    const double g = stroke.GetGamma();
    a.pressure = static_cast<float>(std::clamp(std::pow(static_cast<double>(a.pressure), g), 0.0, 1.0));
    b.pressure = static_cast<float>(std::clamp(std::pow(static_cast<double>(b.pressure), g), 0.0, 1.0));
  }
  // The segment's bounds give the view and merge rectangles.
  stroke.UpdateSegmentBounds();
  return paper.RenderSegmentOld(flow, stroke, paper.GetStrokeLayer(stroke), a, b);
}

bool TPaper::RenderSegmentOld(TFlowImage* flow, TStroke& stroke, int32_t layer, const SStrokePoint& start,
                              const SStrokePoint& end) {
  if (flow == nullptr) {
    DebugOut("TPaper::RenderSegmentOld: no working copy\n");
    return false;
  }
  if (!std::isfinite(start.x) || !std::isfinite(start.y) || !std::isfinite(start.pressure) ||
      !std::isfinite(end.x) || !std::isfinite(end.y) || !std::isfinite(end.pressure)) {
    DebugOut("TPaper::RenderSegmentOld: a point that is not finite was refused\n");
    return false;
  }
  const uint8_t type = stroke.GetPenType();
  const float width = stroke.GetWidth();
  const float size0 = stroke.SizeAtPressure(start.pressure), size1 = stroke.SizeAtPressure(end.pressure);
  // Dab interval in steps; sizes that come negative from a negative MIN still give 1.
  int64_t m = 1;
  switch (type) {
    case kOldPen: m = int64_t{std::min(TruncSaturated(size0 / 8.0), TruncSaturated(size1 / 8.0))} + 1; break;
    case kOldWatercolour: m = int64_t{TruncSaturated(width / 12.0)} + 1; break;
    case kOldEraser: m = int64_t{std::min(TruncSaturated(size0 / 4.0), TruncSaturated(size1 / 4.0))} + 1; break;
    case kOldBlur:
    case kOldBlur2: m = int64_t{TruncSaturated(width / 4.0)} + 1; break;
    default: m = 1; break;
  }
  m = std::max<int64_t>(m, 1);
  const double dx = double{end.x} - start.x, dy = double{end.y} - start.y;
  const bool xMajor = std::fabs(dx) > std::fabs(dy);
  const double majorDelta = xMajor ? dx : dy, minorDelta = xMajor ? dy : dx;
  const double u = std::fabs(majorDelta);
  if (u > kMaxSegmentSteps) {
    DebugOut("TPaper::RenderSegmentOld: a segment beyond any canvas was refused\n");
    return false;
  }
  double pressureStep = u == 0 ? 0.0 : (double{end.pressure} - start.pressure) / u;
  double majorStep = majorDelta < 0 ? -1.0 : 1.0;
  double minorStep = majorDelta == 0 ? 0.0 : minorDelta / majorDelta * (majorStep < 0 ? -1.0 : 1.0);
  const int64_t base = static_cast<int64_t>(u) + 1;
  int64_t count = base;
  const bool doubled = (type == kOldPen && (stroke.GetIfSize() ? (size0 < 2 || size1 < 2) : width < 2)) ||
                       (type == kOldEraser && width < 3);
  if (doubled) {
    count *= 2;
    pressureStep /= 2;
    majorStep /= 2;
    minorStep /= 2;
  }
  const double travel = std::hypot(dx, dy) / static_cast<double>(base) * 4.0;
  double major = xMajor ? start.x : start.y, minor = xMajor ? start.y : start.x;
  double pressure = start.pressure;
  TMTC& image = flow->Image();
  TChannel& channel = flow->WorkChannel();
  const CLayerData* layerData = GetLayer(layer);
  const CBlockVMTC* store = layerData != nullptr ? layerData->Store() : nullptr;
  const uint32_t neutral = GetBlendModeNeutralColor(layerData != nullptr ? layerData->blendMode : 0);
  for (int64_t i = 0; i < count; ++i) {
    if (stroke.GetStepCounter() % m == 0) {
      pressure = std::clamp(pressure, 0.0, 1.0);
      const float f = stroke.GetIfTransparency() ? static_cast<float>(pressure) : 1.0f;
      const float cx = static_cast<float>((xMajor ? major : minor) + 0.5);
      const float cy = static_cast<float>((xMajor ? minor : major) + 0.5);
      switch (type) {
        case kOldPen: {
          const float s = stroke.SizeAtPressure(static_cast<float>(pressure));
          if (s > 1) DrawSoftDot(channel, 255, true, cx, cy, s, f, false);
          if (s < 8) {
            // A span across the direction of travel.
            const float from = static_cast<float>(minor) - s, to = static_cast<float>(minor) + s;
            if (xMajor)
              DrawVSpanAA(channel, FloorSaturated(cx), 255, from, to, f, true);
            else
              DrawHSpanAA(channel, FloorSaturated(cy), 255, from, to, f, true);
          }
          break;
        }
        case kOldWatercolour: {
          const float s =
              stroke.GetIfSize() ? static_cast<float>(pressure) * (width / 3.0f * 2.0f) + width / 3.0f : width;
          const float env = stroke.GetEnv();
          const uint32_t paint = WatercolourPaint(stroke, image, cx, cy, s, true, env / 10.0f,
                                                  TruncClamped(static_cast<double>(env) * 255.0 / 100.0, 0, 255));
          DrawSoftDot(image, paint, true, cx, cy, s, f * 0.35f, stroke.GetIfEdge());
          break;
        }
        case kOldBlur:
          if (store != nullptr)
            BlurDiscOld(image, *store,
                        TruncClamped(static_cast<double>(width) * stroke.GetEffect() / 100.0, 0,
                                     std::numeric_limits<int32_t>::max()),
                        cx, cy, width);
          break;
        case kOldEraser: DrawSoftDot(image, neutral, true, cx, cy, width, f, stroke.GetIfEdge()); break;
        case kOldBlur2:
          DrawSoftDot(channel, TruncClamped(pressure * 32.0, 0, 255), true, cx, cy, width, 1.0f, true);
          break;
        default: break;
      }
    }
    stroke.IncStepCounter();
    pressure += pressureStep;
    stroke.AddDistance(static_cast<float>(travel * pressure));
    major += majorStep;
    minor += minorStep;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Commands of the older event stream

namespace {

// A layer the fill and clear commands of the older stream may change.
bool OldStreamLayer(const TPaper& paper, int32_t layer) {
  return layer >= 0 && layer <= kOldStreamLayerLimit && paper.IsValidLayerIndex(layer);
}

// Runs a cleanup when it leaves, also on failure.
class ScopeExit {
 public:
  explicit ScopeExit(std::function<void()> done) : done_(std::move(done)) {}
  ~ScopeExit() { done_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  std::function<void()> done_;
};

}  // namespace

bool TPaper::DrawLine(TFlowImage* flow, TStroke& stroke, WindowHandle target, int32_t x0, int32_t y0, int32_t x1,
                      int32_t y1) {
  const int32_t layer = stroke.GetLayerIndex();
  if (flow == nullptr || layer < 0 || layer > GetTopLayerIndex()) return false;
  const float fx0 = static_cast<float>(x0), fy0 = static_cast<float>(y0);
  const float fx1 = static_cast<float>(x1), fy1 = static_cast<float>(y1);
  if (!BeginStrokeDirect(flow, stroke, true, fx0, fy0, 1.0f)) return false;
  stroke.SetSegmentPoints(fx0, fy0, 1.0f, fx1, fy1, 1.0f);
  stroke.UpdateSegmentBounds();
  SStrokePoint start{fx0, fy0, 1.0f}, end{fx1, fy1, 1.0f};
  bool ok = RenderSegmentOld(flow, stroke, layer, start, end);
  SRectWH view{};
  stroke.GetDirtyRect(view);
  if (ok) UpdateStrokeView(flow, target, view, stroke);
  SRectWH rect{};
  if (!EndStroke(flow, stroke, true, rect, target)) ok = false;
  return ok;
}

bool TPaper::FillRegion(TFlowImage* flow, const TSelectSlot& region, uint32_t colour, int32_t layer) {
  if (flow == nullptr || !OldStreamLayer(*this, layer)) return false;
  SyncFlowImage(flow, layer, false);
  const bool ok = FillRegionColor(flow, layer, colour, region);
  UpdateLayerThumbnail(layer);
  return ok;
}

bool TPaper::FillRegionColor(TFlowImage* flow, int32_t layer, uint32_t colour, const TSelectSlot& region) {
  CLayerData* data = GetLayer(layer);
  if (flow == nullptr || data == nullptr || data->Store() == nullptr || flow->layer != layer) return false;
  if (region.empty != 0) {
    // The whole store, opaque; the working copy follows the store.
    if (!data->Store()->FillAll(colour | 0xFF000000u)) return false;
    CommitFlowImage(flow, layer, false);
    return true;
  }
  if (!region.channel || !region.channel->IsValid()) return false;
  CommitFlowImage(flow, layer, true);
  const SRectWH whole{0, 0, data->StoreWidth(), data->StoreHeight()};
  const bool ok = CompositeCoverage(flow->Image(), *region.channel, TPoint{0, 0}, 255, colour, whole);
  CommitFlowImage(flow, layer, true);
  return ok;
}

bool TPaper::ClearRectOld(TFlowImage* flow, int32_t layer, const SRectWH& rect) {
  if (flow == nullptr || !OldStreamLayer(*this, layer) || rect.width < 0 || rect.height < 0) return false;
  CLayerData* data = GetLayer(layer);
  if (data->Store() == nullptr) return false;
  SyncFlowImage(flow, layer, false);
  const uint32_t value = GetBlendModeNeutralColor(data->blendMode) | 0xFF000000u;
  SRectWH area = rect;
  // A rectangle outside the store changes nothing.
  if (data->Store()->MaskedFillRect(area, 0xFFFFFFFFu, value))
    SyncFlowRect(flow, layer, false, TRect{area.left, area.top, area.left + area.width, area.top + area.height});
  UpdateLayerThumbnail(layer);
  return true;
}

bool TPaper::FillRectOld(TFlowImage* flow, int32_t layer, const SRectWH& rect, uint32_t colour) {
  if (flow == nullptr || !OldStreamLayer(*this, layer) || rect.width < 0 || rect.height < 0) return false;
  CLayerData* data = GetLayer(layer);
  if (data->Store() == nullptr) return false;
  SyncFlowImage(flow, layer, false);
  SRectWH area = rect;
  if (data->Store()->SetColorRect(area, colour))
    SyncFlowRect(flow, layer, false, TRect{area.left, area.top, area.left + area.width, area.top + area.height});
  UpdateLayerThumbnail(layer);
  return true;
}

bool TPaper::FillPolygonOld(TFlowImage* flow, int32_t layer, uint32_t colour, int32_t mode, const TPoint* points,
                            int32_t available, int32_t count, TSelectMng* slots) {
  if (slots == nullptr) slots = SelectMngr();
  if (flow == nullptr || slots == nullptr || !OldStreamLayer(*this, layer)) return false;
  if (points == nullptr || count < 1 || available < count) {
    DebugOut("TPaper::FillPolygonOld: the point count exceeds the points given\n");
    return false;
  }
  const int32_t slot = slots->CurrentIndex();
  // The traced area goes again whatever happens to the fill.
  ScopeExit clear([slots, slot] { slots->ClearSlot(slot); });
  if (!slots->AddPolygon(slot, points, mode, count)) return false;
  const TSelectSlot* region = slots->GetCurrentSlot();
  return region != nullptr && FillRegion(flow, *region, colour, layer);
}

bool TPaper::ClearPolygonOld(TFlowImage* flow, int32_t layer, int32_t mode, const TPoint* points,
                             int32_t available, int32_t count, TSelectMng* slots) {
  const CLayerData* data = GetLayer(layer);
  if (data == nullptr) return false;
  return FillPolygonOld(flow, layer, GetBlendModeNeutralColor(data->blendMode), mode, points, available, count,
                        slots);
}

bool TPaper::ClearLayerUndoOld(int32_t layer) {
  CLayerData* data = GetLayer(layer);
  if (data == nullptr) return false;
  if (data->HasOwnUndo()) data->ClearOwnUndo();
  return true;
}

bool TPaper::ToggleSoloVisibility(int32_t layer) {
  CLayerData* chosen = GetLayer(layer);
  if (chosen == nullptr) return false;
  const bool v = chosen->visible != 0;
  for (int32_t i = 0; i < GetLayerCount(); ++i) {
    CLayerData* data = GetLayer(i);
    if (data != nullptr) data->visible = (v != (i == layer)) ? 1 : 0;
  }
  RedrawAll(true);
  UpdateThumbnails(true, layer, 0, 0, canvasWidth, canvasHeight);
  return true;
}

bool TPaper::VisibleLayersMergeable(uint8_t& mode, int32_t& first, int32_t& count) const {
  count = 0;
  bool same = true;
  for (int32_t i = 0; i < GetLayerCount(); ++i) {
    const CLayerData* data = GetLayer(i);
    if (data == nullptr || data->visible == 0) continue;
    if (count == 0) {
      mode = data->blendMode;
      first = i;
    } else if (data->blendMode != mode) {
      same = false;
    }
    ++count;
  }
  return count > 1 && same;
}

bool TPaper::MergeVisibleOld(TFlowImage* flow) {
  uint8_t mode = 0;
  int32_t first = -1, count = 0;
  if (!VisibleLayersMergeable(mode, first, count)) return false;
  TMTC merged;
  if (!merged.Resize(canvasWidth, canvasHeight) || !merged.IsValid()) {
    DebugOut("TPaper::MergeVisibleOld: no memory for the merged picture\n");
    return false;
  }
  const SRectWH canvas{0, 0, canvasWidth, canvasHeight};
  const bool modern = HasModernEngine();
  bool ok = true;
  while (ok) {
    int32_t lower = -1, upper = -1;
    for (int32_t i = 0; i < GetLayerCount() && upper < 0; ++i) {
      const CLayerData* data = GetLayer(i);
      if (data == nullptr || data->visible == 0) continue;
      (lower < 0 ? lower : upper) = i;
    }
    if (upper < 0) break;
    merged.FillAll(GetBlendModeNeutralColor(mode));
    for (const int32_t index : {lower, upper}) {
      const CLayerData& data = *GetLayer(index);
      if (modern)
        DrawLayerRect(merged, data, canvas);
      else
        DrawLayerFastRect(data, merged, canvas);
    }
    if (modern) merged.SetAlphaAll(255);
    ok = PutImage(lower, merged, 255, 0, 0);
    if (!ok) break;
    GetLayer(lower)->opacity = 255;
    ok = DeleteLayer(flow, upper, false);
    first = lower;
  }
  UpdateThumbnails(false, first, 0, 0, canvasWidth, canvasHeight);
  RedrawAll(true);
  SetActiveLayer(flow, 0);
  return ok;
}

}  // namespace tf
