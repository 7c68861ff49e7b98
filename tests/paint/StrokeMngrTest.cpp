// The stroke manager of the newest engine: the history of input points, the stepping along each
// segment (positions, sizes, opacities and the dab interval) checked against a step model of its
// own, the dirty rectangles, and points that are not finite.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <vector>

#include "paint/Interpolate.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

// The document as the manager sees it: one layer store offset, no store, no playback.
class FakeStrokePaper final : public StrokePaper {
 public:
  bool HasModernEngine() const override { return true; }
  bool IsLockedForPlayback() const override { return false; }
  bool HasLayers() const override { return true; }
  bool ActiveLayerKeepsAlpha() const override { return false; }
  bool GetLayerBlendMode(int32_t, uint32_t& mode) const override {
    mode = 0;
    return true;
  }
  bool IsSelectionEnabled() const override { return false; }
  MaskSampler* GetActiveMask() override { return nullptr; }
  TPoint GetActiveMaskOrigin() const override { return {0, 0}; }
  TPoint GetActiveLayerOffset() const override { return offset; }
  ToneSampler* GetToneSampler() override { return nullptr; }
  uint32_t GradationColorAt(int32_t, int32_t) override { return 0; }
  int32_t ActiveLayerIndex() const override { return 0; }
  int32_t TopLayerIndex() const override { return 2; }
  TPoint LayerOffset(int32_t) const override { return offset; }
  CBlockVMTC* LayerStore(int32_t) const override { return nullptr; }
  bool PlaysVersion33OrLower() const override { return false; }
  CPenShapeObj* PenShape() const override { return nullptr; }

  TPoint offset{0, 0};
};

struct DabCall {
  float factor, size, x, y;
  bool operator==(const DabCall&) const = default;
};

std::ostream& operator<<(std::ostream& os, const DabCall& d) {
  return os << "(f " << d.factor << ", s " << d.size << ", " << d.x << ", " << d.y << ")";
}

// Notes every dab; draws it only when asked.
class NotingStrokeMngr : public CStrokeMngr {
 public:
  using CStrokeMngr::CStrokeMngr;
  std::vector<DabCall> dabs;
  bool draw = false;

 protected:
  bool Dab(float factor, float size, float x, float y) override {
    dabs.push_back({factor, size, x, y});
    return draw ? CStrokeMngr::Dab(factor, size, x, y) : true;
  }
};

// ---- The step model: one segment, written from the stepping rules ----
struct ModelPen {
  float nib = 10.0f;      // radius
  float minRatio = 1.0f;  // the nib's minimum size ratio
  SStrokeParam params{};
};

// Steps one segment (canvas points, store offset); counter is the stroke's step counter.
std::vector<DabCall> ModelSegment(const SStrokePoint& a, const SStrokePoint& b, TPoint offset,
                                  const ModelPen& pen, int32_t& counter) {
  std::vector<DabCall> out;
  const float g = static_cast<float>(pen.params.gamma) / 100.0f;
  auto power = [g](float p) {
    if (g == 0.0f) return 1.0f;
    if (p == 0.0f) return 0.0f;
    return static_cast<float>(std::pow(static_cast<double>(p), static_cast<double>(g)));
  };
  const float ax = a.x + static_cast<float>(offset.x), ay = a.y + static_cast<float>(offset.y);
  const float bx = b.x + static_cast<float>(offset.x), by = b.y + static_cast<float>(offset.y);
  const float pa = power(a.pressure), pb = power(b.pressure);
  const float dx = bx - ax, dy = by - ay, dp = pb - pa;
  const float h = std::fabs(dx) > std::fabs(dy) ? std::fabs(dx) : std::fabs(dy);
  if (h == 0.0f) return out;
  const float divisor = h < 1.0f ? 1.0f : h;
  float stepX = dx / divisor, stepY = dy / divisor, stepP = dp / divisor;
  int64_t steps = static_cast<int64_t>(std::ceil(h));
  const bool ramp = pen.params.ifSize != 0;
  const float smallest = ramp ? pen.minRatio * pen.nib : pen.nib;
  const float spread = ramp ? pen.nib - smallest : 0.0f;
  const float first = smallest + spread * pa, last = smallest + spread * pb;
  const double spacing = static_cast<double>(static_cast<float>(pen.params.spacing) / 1000.0f * pen.nib);
  int32_t every = spacing >= 1.0 ? static_cast<int32_t>(std::ceil(spacing)) : 1;
  if (first < static_cast<float>(pen.params.sizeThreshold1) ||
      last < static_cast<float>(pen.params.sizeThreshold1))
    every = 1;
  if (first < static_cast<float>(pen.params.sizeThreshold2) ||
      last < static_cast<float>(pen.params.sizeThreshold2)) {
    const float k = (first < last ? first : last) <= 0.7f ? 3.0f : 2.0f;
    steps *= static_cast<int64_t>(k);
    stepX /= k;
    stepY /= k;
    stepP /= k;
  }
  float x = ax + 0.25f, y = ay + 0.25f, p = pa;
  for (int64_t i = 0; i < steps; ++i) {
    if (counter % every == 0)
      out.push_back({pen.params.ifTransparency != 0 ? p : 1.0f, smallest + spread * p, x, y});
    x += stepX;
    y += stepY;
    p += stepP;
    p = p < 0.0f ? 0.0f : (p > 1.0f ? 1.0f : p);
    ++counter;
  }
  return out;
}

// The segments a stroke's points give: mode 0 from point to point; mode 1 from the point two
// back to the midpoint, the first point with pressure 0.
std::vector<DabCall> ModelStroke(const std::vector<SStrokePoint>& points, int32_t mode, TPoint offset,
                                 const ModelPen& pen) {
  std::vector<DabCall> out;
  int32_t counter = 0;
  SStrokePoint h[3];
  for (SStrokePoint& e : h) e = {points[0].x, points[0].y, 0.0f};
  for (size_t i = 1; i < points.size(); ++i) {
    h[2] = h[1];
    h[1] = h[0];
    h[0] = points[i];
    if (mode == 1)
      h[1] = {(h[0].x + h[2].x) / 2.0f, (h[0].y + h[2].y) / 2.0f, (h[0].pressure + h[2].pressure) / 2.0f};
    const SStrokePoint& from = mode == 1 ? h[2] : h[1];
    const SStrokePoint& to = mode == 1 ? h[1] : h[0];
    const std::vector<DabCall> seg = ModelSegment(from, to, offset, pen, counter);
    out.insert(out.end(), seg.begin(), seg.end());
  }
  return out;
}

class StrokeMngrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPixelWriters();
    stroke.SetColor(0x00336699);
    SNibShape nib{};
    nib.Init(10.0f);
    renderer.SetNibShape(nib);
  }
  void TearDown() override { ResetPixelWriters(); }

  void SetNib(float size, float minRatio) {
    SNibShape nib{};
    nib.Init(size);
    nib.SetMinRatio(minRatio);
    renderer.SetNibShape(nib);
    pen.nib = nib.GetSize();
    pen.minRatio = nib.GetMinRatio();
  }
  // Begins at the first point, adds and steps the others; answers the dabs per step.
  std::vector<int32_t> Run(const std::vector<SStrokePoint>& points, int32_t mode) {
    manager.SetInterpolateMode(mode);
    manager.SetStrokeParams(pen.params);
    EXPECT_TRUE(manager.BeginStroke(0, SStrokeCanvas{&image, &channel, paper.offset}, &stroke, &paper));
    EXPECT_TRUE(manager.FirstPoint(points[0].x, points[0].y, points[0].pressure));
    std::vector<int32_t> counts;
    for (size_t i = 1; i < points.size(); ++i) {
      EXPECT_TRUE(manager.AddPoint(points[i].x, points[i].y, points[i].pressure));
      counts.push_back(manager.Step());
    }
    return counts;
  }

  TStroke stroke{2};
  CPenRender renderer{&stroke};
  NotingStrokeMngr manager{&stroke, &renderer};
  FakeStrokePaper paper;
  TMTC image{96, 96};
  TChannel channel{96, 96};
  ModelPen pen;
};

TEST_F(StrokeMngrTest, InterpolationModesKeepTheSegmentEnds) {
  CInterpolate history;
  EXPECT_FALSE(history.Push({1, 2, 0.5f}));  // no point array before Reset
  EXPECT_EQ(history.GetMode(), 1);
  ASSERT_TRUE(history.Reset());
  ASSERT_TRUE(history.Push({2, 4, 0.5f}));
  SStrokePoint p{};
  ASSERT_TRUE(history.GetSegmentStart(p));
  EXPECT_EQ(p.pressure, 0.0f);  // the first point enters with pressure 0
  ASSERT_TRUE(history.Push({6, 8, 1.0f}));
  ASSERT_TRUE(history.GetSegmentEnd(p));
  EXPECT_EQ((std::vector<float>{p.x, p.y, p.pressure}), (std::vector<float>{4, 6, 0.5f}));  // midpoint of 0 and 2
  ASSERT_TRUE(history.GetSegmentStart(p));
  EXPECT_EQ((std::vector<float>{p.x, p.y, p.pressure}), (std::vector<float>{2, 4, 0}));
  EXPECT_FALSE(history.GetPoint(3, p));

  EXPECT_TRUE(history.SetMode(0));
  ASSERT_TRUE(history.Reset());
  history.Push({2, 4, 0.5f});
  history.Push({6, 8, 1.0f});
  ASSERT_TRUE(history.GetSegmentEnd(p));
  EXPECT_EQ((std::vector<float>{p.x, p.y, p.pressure}), (std::vector<float>{6, 8, 1}));
  ASSERT_TRUE(history.GetSegmentStart(p));
  EXPECT_EQ((std::vector<float>{p.x, p.y, p.pressure}), (std::vector<float>{2, 4, 0}));

  EXPECT_TRUE(history.SetMode(5));
  EXPECT_FALSE(history.Reset());
  EXPECT_FALSE(history.IsReady());
}

// Each case: nib, minimum ratio, parameters, mode, points; the manager's dabs equal the model's.
struct StepCase {
  const char* name;
  float nib;
  float minRatio;
  uint8_t ifSize, ifTransparency;
  int32_t gamma, spacing, threshold1, threshold2;
  int32_t mode;
  TPoint offset;
  std::vector<SStrokePoint> points;
};

TEST_F(StrokeMngrTest, DabsMatchTheStepModel) {
  const std::vector<StepCase> cases = {
      {"half-pixel segment", 10, 1, 0, 0, 100, 100, 0, 0, 0, {0, 0}, {{10, 10, 1}, {10.5f, 10.25f, 1}}},
      {"spacing across segments",
       20,
       1,
       0,
       0,
       100,
       100,
       0,
       0,
       0,
       {0, 0},
       {{5, 5, 1}, {8, 5, 1}, {12, 6, 1}, {13, 20, 1}}},
      {"size ramp and opacity",
       8,
       0.25f,
       1,
       1,
       100,
       50,
       0,
       0,
       1,
       {3, -2},
       {{4, 4, 0.2f}, {20, 9, 0.9f}, {33, 30, 0.4f}, {40, 31, 1}}},
      {"gamma two", 6, 0.5f, 1, 1, 200, 100, 0, 0, 0, {0, 0}, {{1, 1, 0.1f}, {30, 12, 0.8f}, {31, 40, 0.3f}}},
      {"gamma zero", 6, 0.5f, 1, 1, 0, 100, 0, 0, 0, {0, 0}, {{1, 1, 0.1f}, {30, 12, 0.8f}}},
      {"threshold 1 every step", 12, 1, 0, 0, 100, 500, 20, 0, 0, {0, 0}, {{2, 2, 1}, {40, 20, 1}}},
      {"threshold 2 doubles", 1.0f, 1, 0, 0, 100, 100, 0, 5, 0, {0, 0}, {{2, 2, 1}, {9, 4, 1}}},
      {"threshold 2 triples", 0.6f, 1, 0, 0, 100, 100, 0, 5, 0, {0, 0}, {{2, 2, 1}, {9, 4, 1}}},
      {"mode 1 trails",
       4,
       0.5f,
       1,
       1,
       100,
       100,
       0,
       0,
       1,
       {0, 0},
       {{10, 10, 0.5f}, {20, 14, 1}, {25, 30, 0.5f}, {60, 31, 1}}},
      {"steep segments", 5, 1, 0, 1, 100, 300, 0, 0, 0, {7, 9}, {{50, 2, 0.3f}, {47, 60, 0.6f}, {80, 59, 0.9f}}},
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetNib(c.nib, c.minRatio);
    InitStrokeParam(pen.params);
    pen.params.ifSize = c.ifSize;
    pen.params.ifTransparency = c.ifTransparency;
    pen.params.gamma = c.gamma;
    pen.params.spacing = c.spacing;
    pen.params.sizeThreshold1 = c.threshold1;
    pen.params.sizeThreshold2 = c.threshold2;
    paper.offset = c.offset;
    manager.dabs.clear();
    const std::vector<int32_t> counts = Run(c.points, c.mode);
    const std::vector<DabCall> expected = ModelStroke(c.points, c.mode, c.offset, pen);
    EXPECT_EQ(manager.dabs, expected);
    int32_t total = 0;
    for (int32_t n : counts) total += n;
    EXPECT_EQ(total, static_cast<int32_t>(expected.size()));
    EXPECT_EQ(manager.GetDabCounter(), total);
  }
}

TEST_F(StrokeMngrTest, HandCheckedSteps) {
  // A 0.5 px segment is one step from the quarter-pixel start.
  SetNib(10, 1);
  pen.params.spacing = 100;
  Run({{10, 10, 1}, {10.5f, 10, 1}}, 0);
  ASSERT_EQ(manager.dabs.size(), 1u);
  EXPECT_EQ(manager.dabs[0], (DabCall{1.0f, 10.0f, 10.25f, 10.25f}));
  EXPECT_EQ(manager.GetMajorAxis(), 1);

  // Spacing 0.1 with a nib of 20: a dab on every second pixel step, counted over the stroke.
  manager.dabs.clear();
  SetNib(20, 1);
  Run({{0, 0, 1}, {3, 0, 1}, {7, 0, 1}}, 0);
  std::vector<float> xs;
  for (const DabCall& d : manager.dabs) xs.push_back(d.x);
  EXPECT_EQ(xs, (std::vector<float>{0.25f, 2.25f, 4.25f, 6.25f}));
  EXPECT_EQ(manager.GetStepCounter(), 7);

  // A nib of 0.6 below threshold 2: third-pixel steps.
  manager.dabs.clear();
  SetNib(0.6f, 1);
  pen.params.sizeThreshold2 = 1;
  Run({{0, 0, 1}, {0, 2, 1}}, 0);
  EXPECT_EQ(manager.dabs.size(), 6u);
  EXPECT_EQ(manager.GetMajorAxis(), 0);

  // Mode 1, first segment: from the first point with pressure 0 to the midpoint at half the
  // second point's pressure.
  manager.dabs.clear();
  SetNib(10, 0.5f);
  pen.params = SStrokeParam{1, 1, {0, 0}, 1000, 100, 100, 0, 0};
  Run({{0, 0, 0.8f}, {8, 0, 0.8f}}, 1);
  ASSERT_EQ(manager.dabs.size(), 4u);
  EXPECT_EQ(manager.dabs.front().factor, 0.0f);
  EXPECT_EQ(manager.dabs.front().size, 5.0f);
  EXPECT_EQ(manager.dabs.back().x, 3.25f);
}

TEST_F(StrokeMngrTest, ZeroSpacingDoesNotDivideByZero) {
  EXPECT_EQ(DabIntervalSteps(0.0f), 1);
  EXPECT_EQ(DabIntervalSteps(-2.0f), 1);
  EXPECT_EQ(DabIntervalSteps(std::nanf("")), 1);
  EXPECT_EQ(DabIntervalSteps(2.0f), 2);
  EXPECT_EQ(DabIntervalSteps(2.01f), 3);
  EXPECT_EQ(DabIntervalSteps(1e30f), INT32_MAX);
  SetNib(10, 1);
  pen.params.spacing = 0;  // a brush file's spacing of 0
  const std::vector<int32_t> counts = Run({{0, 0, 1}, {5, 0, 1}}, 0);
  EXPECT_EQ(counts, (std::vector<int32_t>{5}));
}

TEST_F(StrokeMngrTest, PointsThatAreNotFiniteAreRefused) {
  manager.SetStrokeParams(pen.params);
  ASSERT_TRUE(manager.BeginStroke(0, SStrokeCanvas{&image, &channel, {0, 0}}, &stroke, &paper));
  EXPECT_FALSE(manager.FirstPoint(std::nanf(""), 1, 1));
  ASSERT_TRUE(manager.FirstPoint(1, 1, 1));
  EXPECT_FALSE(manager.AddPoint(INFINITY, 1, 1));
  EXPECT_FALSE(manager.AddPoint(1, 1, std::nanf("")));
  EXPECT_EQ(manager.Step(), 0);  // the history still holds only the first point
  EXPECT_TRUE(manager.dabs.empty());
}

TEST_F(StrokeMngrTest, CoincidingPointsLeaveTheStartSquare) {
  // Nothing added: the stroke rectangle is all zeros.
  SetNib(4, 1);
  Run({{30, 40, 1}}, 0);
  SRectWH rect{1, 1, 1, 1};
  manager.GetStrokeRect(rect);
  EXPECT_EQ(rect, (SRectWH{0, 0, 0, 0}));
  // A point on the first: no dab, but the segment and stroke rectangles are the 8-pixel square
  // around the start point (the step marks it before it finds the segment empty).
  Run({{30, 40, 1}, {30, 40, 1}, {30, 40, 1}}, 1);
  EXPECT_TRUE(manager.dabs.empty());
  manager.GetSegmentRect(rect);
  EXPECT_EQ(rect, (SRectWH{20, 30, 20, 20}));
  manager.GetStrokeRect(rect);
  EXPECT_EQ(rect, (SRectWH{20, 30, 20, 20}));
}

TEST_F(StrokeMngrTest, DirtyRectanglesFollowTheDabs) {
  SetNib(3, 1);
  paper.offset = {10, 20};
  pen.params.spacing = 1000;  // one dab every 3 steps
  Run({{5, 5, 1}, {11, 5, 1}}, 0);
  ASSERT_EQ(manager.dabs.size(), 2u);  // steps 0 and 3
  // Canvas centres (5, 5) and (8, 5), half extents 3 + 2: edges 0..10 and 3..13, even-aligned.
  SRectWH rect{};
  manager.GetSegmentRect(rect);
  EXPECT_EQ(rect, (SRectWH{0, 0, 14, 10}));
  manager.GetStrokeRect(rect);
  EXPECT_EQ(rect, (SRectWH{0, 0, 14, 10}));
  // The next segment resets the segment rectangle; the stroke keeps growing.
  manager.AddPoint(11, 30, 1);
  manager.Step();
  // Its first dab lies on the start point (step 6).
  manager.GetSegmentRect(rect);
  EXPECT_EQ(rect.top, 0);
  EXPECT_GT(rect.height, 24);
  // The 8-pixel square the step marks at its start joins the stroke rectangle too.
  manager.GetStrokeRect(rect);
  EXPECT_EQ(rect.top, -6);
  EXPECT_EQ(rect.left, 0);
}

// The manager's dabs, drawn, give the same pixels as the model's dabs given to the renderer
// directly: positions, sizes and opacities reach the renderer unchanged.
TEST_F(StrokeMngrTest, DrawnDabsEqualTheModelDrawnDirectly) {
  for (const bool channelPen : {false, true}) {
    SCOPED_TRACE(channelPen ? "coverage channel" : "image");
    SetNib(5, 0.3f);
    SPenParam header{};
    header.channel = channelPen ? 1 : 0;
    renderer.SetPenParams(header, 7);
    pen.params = SStrokeParam{1, 1, {0, 0}, 700, 150, 250, 0, 0};
    const std::vector<SStrokePoint> points = {{10, 12, 0.3f}, {30, 20, 0.9f}, {60, 70, 0.5f}, {80, 71, 1}};
    image.FillRectCoords(0, 0, 96, 96, 0x00FFFFFFu);
    channel.FillRectCoords(0, 0, 96, 96, 0);
    manager.draw = true;
    manager.dabs.clear();
    InitStrokeWriters(stroke);
    stroke.SetOpacity(0.7f);
    Run(points, 1);
    // The stroke's opacity reaches the parameters when the stroke starts.
    // trunc(0.7f x 1000) = 699: the float lies just below 0.7.
    const int32_t opacity = manager.StrokeParams().opacity;
    EXPECT_EQ(opacity, 699);
    const TMTC paintedImage(image);
    const TChannel paintedChannel(channel);
    EXPECT_FALSE(manager.dabs.empty());

    image.FillRectCoords(0, 0, 96, 96, 0x00FFFFFFu);
    channel.FillRectCoords(0, 0, 96, 96, 0);
    InitStrokeWriters(stroke);
    renderer.LoadColors();
    for (const DabCall& d : ModelStroke(points, 1, {0, 0}, pen)) {
      const SDabPoint dab{d.x, d.y, static_cast<float>(opacity) * d.factor / 1000.0f};
      if (channelPen)
        renderer.DabToChannel(channel, dab, 255, d.size);
      else
        renderer.DabToImage(image, dab, stroke.GetColor(), d.size);
    }
    for (int32_t y = 0; y < 96; ++y) {
      ASSERT_EQ(std::memcmp(image.GetPixelPtr(0, y), paintedImage.GetPixelPtr(0, y), 96 * 4), 0) << "row " << y;
      ASSERT_EQ(std::memcmp(channel.GetPixelPtr(0, y), paintedChannel.GetPixelPtr(0, y), 96), 0) << "row " << y;
    }
  }
}

}  // namespace
}  // namespace tf
