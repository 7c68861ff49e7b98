// The older stroke engines on a document: step and dab counts against an independent step
// model, the dabs of every pen type, blur2, the joint point of engine 0, a negative minimum size,
// replay; and the older stream's commands, one table each.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/PixelUndo.h"
#include "document/SelectionOutline.h"
#include "events/EventStream.h"
#include "paint/OldDabs.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "raster/ChannelShapes.h"
#include "paper/PaperTestSupport.h"
#include "support/TestRng.h"

namespace tf::test {
namespace {

constexpr int32_t kW = 64;
constexpr int32_t kH = 48;

// A document of several opaque random layers with its window and stroke.
struct OldDocument {
  explicit OldDocument(int32_t layers = 2, uint64_t seed = 1) {
    window.stroke = &stroke;
    TPaper& paper = window.Paper();
    EXPECT_TRUE(paper.NewDocumentWithSlots("o", &window.Flow(), kH, kW));
    for (int32_t i = 1; i < layers; ++i) EXPECT_GE(paper.Layers().AddLayer(kW, kH, true, 255, true, 0), 0);
    XorShiftRng rng(seed);
    for (int32_t l = 0; l < paper.GetLayerCount(); ++l)
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
          paper.GetLayer(l)->Store()->SetPixel(x, y, static_cast<uint32_t>(rng.Next()) | 0xFF000000u);
    paper.SelectLayer(&window.Flow(), paper.GetLayerCount() - 1);
    stroke.SetLayerIndex(paper.GetLayerCount() - 1);
    stroke.SetRawPoints(true);
  }
  TPaper& Paper() { return window.Paper(); }
  TFlowImage& Flow() { return window.Flow(); }
  // A stroke whose one painted segment runs from a to b at pressure 1 (the engines paint the
  // segment between the two points before the newest).
  bool Segment(float ax, float ay, float bx, float by, bool record = false) {
    TPaper& paper = Paper();
    if (!paper.BeginStroke(&Flow(), stroke, record, ax, ay, 1)) return false;
    paper.StrokeTo(&Flow(), stroke, record, 0, ax, ay, 1);
    paper.StrokeTo(&Flow(), stroke, record, 0, bx, by, 1);
    paper.StrokeTo(&Flow(), stroke, record, 0, bx, by, 1);
    return true;
  }
  bool End(bool record = false) {
    SRectWH rect{};
    return Paper().EndStroke(&Flow(), stroke, record, rect, 0);
  }
  uint32_t StorePixel(int32_t layer, int32_t x, int32_t y) {
    return Paper().GetLayer(layer)->Store()->GetPixel(x, y);
  }
  uint64_t Checksum() {
    uint64_t h = 1469598103934665603ull;
    for (int32_t l = 0; l < Paper().GetLayerCount(); ++l)
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) h = (h ^ StorePixel(l, x, y)) * 1099511628211ull;
    return h;
  }

  HeadlessDocumentWindow window;
  TStroke stroke{0};
};

class OlderEnginesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetPixelWriters(); }
  void TearDown() override { ResetPixelWriters(); }
  PaperTestScope scope;
};

// The step model of engine 1 for one segment of pressure 1: steps and dab count.
struct StepModel {
  int64_t steps;
  int64_t dabs;
};
StepModel Engine1Model(const TStroke& s, double dx, double dy, int32_t t1, int32_t t2, double ratio) {
  const double h = std::max(std::fabs(dx), std::fabs(dy));
  int64_t n = static_cast<int64_t>(std::ceil(h));
  const double w = s.GetWidth();
  double size = w;
  if (s.GetIfSize()) {
    if (!(ratio > 0)) ratio = s.GetMin() / 100.0;
    size = w * ratio + (w - w * ratio) * 1.0;
  }
  int64_t interval = static_cast<int64_t>(std::ceil(s.GetSpacing() * w));
  if (size < t1) interval = 1;
  if (size < t2) n *= 2;
  return StepModel{n, (n + interval - 1) / interval};
}

TEST_F(OlderEnginesTest, Engine1StepsAndDabsFollowTheSpacingAndSizeThresholds) {
  struct Case {
    const char* name;
    uint8_t type;
    float width;
    bool ifSize;
    float min;
    float dx, dy;
    int32_t t1, t2;
    double ratio;
  } cases[] = {
      {"airbrush spaced by WIDTH", 5, 10, false, 0, 30, 0, 0, 0, -1},
      {"pen of width 1 with size: every step, steps doubled", 0, 1, true, 50, 30, 0, 8, 2, -1},
      {"pen of width 20", 0, 20, false, 0, 0, -25, 8, 2, -1},
      {"eraser below threshold 1", 3, 3.5f, false, 0, 30, 0, 4, 3, 1},
      {"eraser below threshold 2", 3, 2.5f, false, 0, 30, 0, 4, 3, 1},
      {"watercolour with size", 1, 30, true, 10, 20, 15, 0, 0, 0.333},
      {"a segment shorter than a pixel", 5, 6, false, 0, 0.5f, 0.2f, 0, 0, -1},
  };
  for (const Case& k : cases) {
    OldDocument d;
    d.stroke.SetPenType(k.type);
    d.stroke.SetWidth(k.width);
    d.stroke.SetIfSize(k.ifSize);
    d.stroke.SetMin(k.min);
    ASSERT_TRUE(d.Segment(10, 20, 10 + k.dx, 20 + k.dy)) << k.name;
    const StepModel model = Engine1Model(d.stroke, k.dx, k.dy, k.t1, k.t2, k.ratio);
    EXPECT_EQ(d.stroke.GetStepCounter(), model.steps) << k.name;
    EXPECT_EQ(d.stroke.GetDabCounter(), model.dabs) << k.name;
    EXPECT_EQ(d.Paper().strokeMajorAxis, std::fabs(k.dx) >= std::fabs(k.dy) ? 1 : 0) << k.name;
    EXPECT_TRUE(d.End()) << k.name;
  }
}

TEST_F(OlderEnginesTest, Engine1AirbrushDabsLieWhereTheModelPutsThem) {
  OldDocument d;
  d.stroke.SetPenType(5);
  d.stroke.SetWidth(4);
  d.stroke.SetOpacity(0.75f);
  d.stroke.SetColor(0x00336699u);
  TMTC reference(d.Flow().Image().Width(), d.Flow().Image().Height());
  d.Paper().GetLayer(1)->Store()->CopyAllToImage(reference, 0, 0, 255, false);
  ASSERT_TRUE(d.Segment(10.25f, 12, 30.25f, 19));
  // Model: from the start plus half a pixel, one step per major-axis pixel, a dab every
  // ceil(spacing * WIDTH) steps at the stroke's opacity.
  const double dx = 20, dy = 7;
  const int64_t interval = static_cast<int64_t>(std::ceil(d.stroke.GetSpacing() * 4.0));
  double x = 10.25 + 0.5, y = 12 + 0.5;
  for (int64_t i = 0; i < 20; ++i) {
    if (i % interval == 0)
      AirDab(reference, 0x00336699u, static_cast<float>(x), static_cast<float>(y), 4.0f, 0.75f);
    x += dx / 20;
    y += dy / 20;
  }
  for (int32_t py = 0; py < kH; ++py)
    for (int32_t px = 0; px < kW; ++px)
      ASSERT_EQ(d.Flow().Image().GetPixel(px, py), reference.GetPixel(px, py)) << px << "," << py;
  EXPECT_TRUE(d.End());
}

// The pen's dabs in the working channel against a model: from the start plus half a pixel, one
// step per major-axis pixel (half a pixel below size 2), a dab every step below size 8; below size
// 3 a disc of rows and one of columns; from the sixth dab on one span disc across the major axis,
// before it a round dot.
TEST_F(OlderEnginesTest, Engine1PenDabsLieWhereTheModelPutsThem) {
  struct Case {
    const char* name;
    float width;
    float ax, ay, bx, by;
  } cases[] = {
      {"width 1.5: halved steps, rows and columns", 1.5f, 10.25f, 12, 30.25f, 19},
      {"width 2.5: rows and columns", 2.5f, 8, 30.5f, 14, 10.5f},
      {"width 6 along x: dots, then column spans", 6, 10.25f, 12, 40.25f, 21},
      {"width 6 along y: dots, then row spans", 6, 20.5f, 6, 29.5f, 40},
      {"width 12 spaced by width", 12, 12, 20, 52, 26},
  };
  for (const Case& k : cases) {
    OldDocument d;
    d.stroke.SetPenType(0);
    d.stroke.SetWidth(k.width);
    d.stroke.SetIfSize(false);
    const TChannel& work = d.Flow().WorkChannel();
    TChannel model(work.Width(), work.Height());
    ASSERT_TRUE(d.Segment(k.ax, k.ay, k.bx, k.by)) << k.name;
    const double dx = double{k.bx} - k.ax, dy = double{k.by} - k.ay;
    const bool alongX = std::fabs(dx) >= std::fabs(dy);
    const double h = std::max(std::fabs(dx), std::fabs(dy));
    int64_t n = static_cast<int64_t>(std::ceil(h));
    double sx = dx / h, sy = dy / h;
    const float size = k.width;
    // The interval is taken in double precision (a spacing of 1/6 and WIDTH 12 give 3, not 2).
    const int64_t interval =
        size < 8 ? 1 : static_cast<int64_t>(std::ceil(static_cast<double>(d.stroke.GetSpacing()) * size));
    if (size < 2) {
      n *= 2;
      sx /= 2;
      sy /= 2;
    }
    double x = k.ax + 0.5, y = k.ay + 0.5;
    int64_t dabs = 0;
    for (int64_t i = 0; i < n; ++i) {
      if (i % interval == 0) {
        const float fx = static_cast<float>(x), fy = static_cast<float>(y);
        if (size < 3) {
          SpanDiscRows(model, 255, true, fx, fy, size, 1.0f);
          SpanDiscColumns(model, 255, true, fx, fy, size, 1.0f);
        } else if (dabs > 4) {
          if (alongX)
            SpanDiscColumns(model, 255, true, fx, fy, size, 1.0f);
          else
            SpanDiscRows(model, 255, true, fx, fy, size, 1.0f);
        } else {
          DrawRoundDot(model, 255, true, fx, fy, size, 1.0f, true);
        }
        ++dabs;
      }
      x += sx;
      y += sy;
    }
    ASSERT_EQ(d.stroke.GetDabCounter(), dabs) << k.name;
    int32_t differing = 0;
    for (int32_t py = 0; py < work.Height(); ++py)
      for (int32_t px = 0; px < work.Width(); ++px)
        if (work.GetPixel(px, py) != model.GetPixel(px, py)) ++differing;
    EXPECT_EQ(differing, 0) << k.name;
    EXPECT_TRUE(d.End()) << k.name;
  }
}

TEST_F(OlderEnginesTest, EveryPenTypePaintsAndRestoresTheColourWriter) {
  for (uint8_t type = 0; type < 9; ++type) {
    OldDocument d(2, 3 + type);
    d.stroke.SetPenType(type);
    d.stroke.SetWidth(6);
    d.stroke.SetEffect(60);
    d.stroke.SetEnv(40);
    d.stroke.SetSpeed(10);
    d.stroke.SetColor(0x00FF0000u);
    const uint64_t before = d.Checksum();
    ASSERT_TRUE(d.Segment(12, 12, 40, 30));
    const PixelOp writer = GetColourWriter();
    d.Paper().StrokeTo(&d.Flow(), d.stroke, false, 0, 50, 30, 1);
    EXPECT_EQ(GetColourWriter(), writer) << int{type};
    EXPECT_TRUE(d.End()) << int{type};
    // blur2 paints nothing under engine 1; every other type changes the layer.
    if (type == 4)
      EXPECT_EQ(d.Checksum(), before);
    else
      EXPECT_NE(d.Checksum(), before) << int{type};
  }
}

TEST_F(OlderEnginesTest, ARecordedEngine1StrokeReplaysIdentically) {
  OldDocument a(2, 9), b(2, 9);
  for (OldDocument* d : {&a, &b}) {
    d->stroke.SetPenType(0);
    d->stroke.SetWidth(5);
    d->stroke.SetIfSize(true);
    d->stroke.SetMin(20);
    d->stroke.SetIfTransparency(true);
    d->stroke.SetColor(0x00204080u);
  }
  XorShiftRng rng(4);
  std::vector<SStrokePoint> points;
  for (int i = 0; i < 12; ++i)
    points.push_back({static_cast<float>(5 + rng.Next() % 50), static_cast<float>(5 + rng.Next() % 38),
                      static_cast<float>(rng.Next() % 101) / 100.0f});
  // Record the stroke in a.
  CEventMngr& events = *a.Paper().EventMngr();
  const uint32_t from = events.writePos();
  ASSERT_TRUE(a.Paper().BeginStroke(&a.Flow(), a.stroke, true, 30, 30, 0.5f));
  for (const SStrokePoint& p : points) a.Paper().StrokeTo(&a.Flow(), a.stroke, true, 0, p.x, p.y, p.pressure);
  EXPECT_TRUE(a.End(true));
  // Replay into b the points the stream holds, read from its bytes.
  std::vector<SStrokePoint> recorded;
  events.walkPackets(from, events.writePos(), [&](const SPacketFrame& frame) {
    if (frame.header.cls != kPcPointsMore && frame.header.cls != kPcPointsLast) return true;
    std::vector<uint8_t> bytes(static_cast<size_t>(frame.length));
    events.readAt(frame.payloadPos, bytes.data(), static_cast<uint32_t>(frame.length));
    for (size_t at = 0; at + 12 <= bytes.size(); at += 12) {
      SStrokePoint p{};
      std::memcpy(&p.x, &bytes[at], 4);
      std::memcpy(&p.y, &bytes[at + 4], 4);
      std::memcpy(&p.pressure, &bytes[at + 8], 4);
      recorded.push_back(p);
    }
    return true;
  });
  ASSERT_EQ(recorded.size(), points.size() + 1);  // the begin point first
  ASSERT_TRUE(
      b.Paper().BeginStroke(&b.Flow(), b.stroke, false, recorded[0].x, recorded[0].y, recorded[0].pressure));
  for (size_t i = 1; i < recorded.size(); ++i)
    b.Paper().StrokeTo(&b.Flow(), b.stroke, false, 0, recorded[i].x, recorded[i].y, recorded[i].pressure);
  EXPECT_TRUE(b.End(false));
  EXPECT_EQ(a.Checksum(), b.Checksum());
  OldDocument untouched(2, 9);
  EXPECT_NE(a.Checksum(), untouched.Checksum());
}

TEST_F(OlderEnginesTest, Engine0StepsIncludeBothEndsSoSegmentsShareTheirJointPoint) {
  // Engine 0 steps trunc(length) + 1 times from the start point, so a segment's last step and
  // the next segment's first both fall on their joint point; a segment of length 0 is one step.
  struct Case {
    const char* name;
    uint8_t type;
    float width;
    int64_t factor;  // 2 where the steps double
  } cases[] = {
      {"eraser", 3, 3.5f, 1}, {"eraser below 3: doubled", 3, 2.5f, 2}, {"pen below 2: doubled", 0, 1.5f, 2},
      {"blur", 2, 10, 1},     {"airbrush paints nothing", 5, 10, 1},
  };
  for (const Case& k : cases) {
    OldDocument d;
    UseStrokeEngine0(d.Paper());
    d.stroke.SetPenType(k.type);
    d.stroke.SetWidth(k.width);
    ASSERT_TRUE(d.Segment(10, 10, 40, 10)) << k.name;
    // Two zero-length segments (the begin point twice), then 30 pixels.
    EXPECT_EQ(d.stroke.GetStepCounter(), k.factor * (1 + 1 + 31)) << k.name;
    d.Paper().StrokeTo(&d.Flow(), d.stroke, false, 0, 40, 20, 1);
    d.Paper().StrokeTo(&d.Flow(), d.stroke, false, 0, 40, 20, 1);
    // Once more at the joint (length 0), then 10 pixels down from it.
    EXPECT_EQ(d.stroke.GetStepCounter(), k.factor * (1 + 1 + 31 + 1 + 11)) << k.name;
    EXPECT_TRUE(d.End()) << k.name;
  }
  // With a dab every step the joint point is dabbed by both segments: the eraser clears it.
  OldDocument d;
  UseStrokeEngine0(d.Paper());
  d.stroke.SetPenType(3);
  d.stroke.SetWidth(3.5f);
  ASSERT_TRUE(d.Segment(10, 10, 40, 10));
  d.Paper().StrokeTo(&d.Flow(), d.stroke, false, 0, 40, 20, 1);
  d.Paper().StrokeTo(&d.Flow(), d.stroke, false, 0, 40, 20, 1);
  EXPECT_TRUE(d.End());
  const uint32_t neutral = GetBlendModeNeutralColor(0) & 0xFFFFFFu;
  EXPECT_EQ(d.StorePixel(1, 40, 10) & 0xFFFFFFu, neutral);
  EXPECT_EQ(d.StorePixel(1, 40, 20) & 0xFFFFFFu, neutral);
}

TEST_F(OlderEnginesTest, NegativeMinimumSizeStillGivesADabIntervalOfOneStep) {
  // A minimum of -100 % makes the size at pressure 0 come out at -WIDTH: the interval formula
  // then gives 0 (a division by zero) unless it is held at one step.
  OldDocument d;
  UseStrokeEngine0(d.Paper());
  d.stroke.SetPenType(0);
  d.stroke.SetWidth(10);
  d.stroke.SetIfSize(true);
  d.stroke.SetMin(-100);
  ASSERT_TRUE(d.Paper().BeginStroke(&d.Flow(), d.stroke, false, 10, 10, 0));
  d.Paper().StrokeTo(&d.Flow(), d.stroke, false, 0, 30, 10, 1);
  EXPECT_TRUE(d.Paper().StrokeTo(&d.Flow(), d.stroke, false, 0, 30, 10, 1));
  EXPECT_EQ(d.stroke.GetStepCounter(), 2 * (1 + 21));  // doubled: the size at pressure 0 is below 2
  EXPECT_TRUE(d.End());
  // Engine 1 with the same stroke.
  OldDocument e;
  e.stroke.SetPenType(0);
  e.stroke.SetWidth(10);
  e.stroke.SetIfSize(true);
  e.stroke.SetMin(-100);
  ASSERT_TRUE(e.Paper().BeginStroke(&e.Flow(), e.stroke, false, 10, 10, 0));
  e.Paper().StrokeTo(&e.Flow(), e.stroke, false, 0, 30, 10, 1);
  EXPECT_TRUE(e.Paper().StrokeTo(&e.Flow(), e.stroke, false, 0, 30, 10, 1));
  EXPECT_GT(e.stroke.GetDabCounter(), 0);
  EXPECT_TRUE(e.End());
}

TEST_F(OlderEnginesTest, PointsThatAreNotFiniteAreRefused) {
  OldDocument d;
  d.stroke.SetPenType(3);
  d.stroke.SetWidth(4);
  const uint64_t before = d.Checksum();
  EXPECT_FALSE(
      d.Paper().RenderSegmentOld(&d.Flow(), d.stroke, 1, SStrokePoint{NAN, 1, 1}, SStrokePoint{5, 5, 1}));
  EXPECT_FALSE(
      d.Paper().RenderSegmentOld(&d.Flow(), d.stroke, 1, SStrokePoint{1, 1, 1}, SStrokePoint{INFINITY, 5, 1}));
  EXPECT_FALSE(d.Paper().RenderSegmentOld(nullptr, d.stroke, 1, SStrokePoint{1, 1, 1}, SStrokePoint{5, 5, 1}));
  EXPECT_FALSE(d.Paper().BeginStroke(&d.Flow(), d.stroke, false, NAN, 3, 1));
  EXPECT_EQ(d.Checksum(), before);
}

TEST_F(OlderEnginesTest, Blur2CoverageBlursTheViewThroughTheChannel) {
  OldDocument d;
  UseStrokeEngine0(d.Paper());
  d.stroke.SetPenType(4);
  d.stroke.SetWidth(5);
  ASSERT_TRUE(d.Segment(20, 20, 40, 20));
  // Engine 0 leaves coverage; the view's rebuild turned it into the blur of the store.
  EXPECT_GT(d.Flow().WorkChannel().GetPixel(30, 20), 1);
  EXPECT_NE(d.Flow().Image().GetPixel(30, 20) & 0xFFFFFFu, d.StorePixel(1, 30, 20) & 0xFFFFFFu);
  EXPECT_EQ(d.Flow().Image().GetPixel(5, 5), d.StorePixel(1, 5, 5));
  EXPECT_TRUE(d.End());
  EXPECT_EQ(d.Flow().WorkChannel().GetPixel(30, 20), 0);
}

// ---------------------------------------------------------------------------------------------
// Commands of the older stream

TEST_F(OlderEnginesTest, DrawLinePaintsAStraightStrokeThroughEngine0) {
  struct Case {
    const char* name;
    int32_t layer;
    bool ok;
    int32_t x1 = 50;
  } cases[] = {{"an end point no canvas reaches", 1, false, INT32_MAX},
               {"the top layer", 1, true},
               {"below 0", -1, false},
               {"above the top", 2, false}};
  for (const Case& k : cases) {
    OldDocument d;  // layer 1 keeps its own pixel undo, as the layers of an older document do
    UseStrokeEngine0(d.Paper());
    d.stroke.SetPenType(3);
    d.stroke.SetWidth(3.5f);
    d.stroke.SetLayerIndex(k.layer);
    const uint64_t before = d.Checksum();
    EXPECT_EQ(d.Paper().DrawLine(&d.Flow(), d.stroke, 0, 5, 10, k.x1, 10), k.ok) << k.name;
    EXPECT_FALSE(d.window.strokeActive) << k.name;
    if (!k.ok) {
      EXPECT_EQ(d.Checksum(), before) << k.name;
      continue;
    }
    const uint32_t neutral = GetBlendModeNeutralColor(0) & 0xFFFFFFu;
    for (const int32_t x : {5, 20, 50})
      EXPECT_EQ(d.StorePixel(k.layer, x, 10) & 0xFFFFFFu, neutral) << k.name << x;
  }
}

TEST_F(OlderEnginesTest, FillRegionFillsTheSlotOrTheWholeStore) {
  OldDocument d(25);
  TSelectMng* slots = d.Paper().SelectMngr();
  ASSERT_NE(slots, nullptr);
  struct Case {
    const char* name;
    int32_t layer;
    bool empty;
    bool ok;
  } cases[] = {
      {"empty region: whole store at alpha 255", 3, true, true},
      {"polygon region", 4, false, true},
      {"layer 24 is beyond the older stream", 24, true, false},
      {"below 0", -1, true, false},
      {"beyond the layers", 25, true, false},
  };
  const TPoint square[] = {{10, 10}, {30, 10}, {30, 30}, {10, 30}};
  for (const Case& k : cases) {
    const uint64_t before = d.Checksum();
    slots->ClearSlot(0);
    if (!k.empty) {
      ASSERT_TRUE(slots->AddPolygon(0, square, 0, 4));
    }
    const uint32_t colour = 0x00123456u;  // alpha 0: the fill of an empty region ORs in 255
    EXPECT_EQ(d.Paper().FillRegion(&d.Flow(), *slots->GetCurrentSlot(), colour, k.layer), k.ok) << k.name;
    if (!k.ok) {
      EXPECT_EQ(d.Checksum(), before) << k.name;
    } else if (k.empty) {
      for (const TPoint p : {TPoint{0, 0}, TPoint{63, 47}, TPoint{20, 20}})
        EXPECT_EQ(d.StorePixel(k.layer, p.x, p.y), 0xFF123456u) << k.name;
      EXPECT_EQ(d.Flow().Image().GetPixel(5, 5), 0xFF123456u) << "the working copy follows";
    } else {
      EXPECT_EQ(d.StorePixel(k.layer, 20, 20) & 0xFFFFFFu, 0x123456u) << k.name;
      EXPECT_NE(d.StorePixel(k.layer, 40, 40) & 0xFFFFFFu, 0x123456u) << k.name;
    }
  }
}

TEST_F(OlderEnginesTest, ClearAndFillRectangles) {
  struct Case {
    const char* name;
    bool clear;
    int32_t layer;
    SRectWH rect;
    bool ok;
  } cases[] = {
      {"clear: neutral colour at alpha 255", true, 1, {4, 5, 10, 6}, true},
      {"fill: colour, alpha kept", false, 1, {4, 5, 10, 6}, true},
      {"clear clipped at the store's corner", true, 0, {-5, -5, 10, 10}, true},
      {"fill outside the store changes nothing", false, 0, {100, 100, 5, 5}, true},
      {"negative width refused", true, 1, {4, 5, -3, 6}, false},
      {"layer 24 refused", false, 24, {0, 0, 5, 5}, false},
  };
  for (const Case& k : cases) {
    OldDocument d(25);
    // Half-transparent pixels show whether alpha is kept.
    SRectWH all{0, 0, kW, kH};
    for (int32_t l = 0; l < 2; ++l) d.Paper().GetLayer(l)->Store()->SetAlphaRect(all, 0x40);
    const uint64_t before = d.Checksum();
    const bool ok = k.clear ? d.Paper().ClearRectOld(&d.Flow(), k.layer, k.rect)
                            : d.Paper().FillRectOld(&d.Flow(), k.layer, k.rect, 0x00ABCDEFu);
    EXPECT_EQ(ok, k.ok) << k.name;
    if (!k.ok) {
      EXPECT_EQ(d.Checksum(), before) << k.name;
      continue;
    }
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        const bool inside = x >= k.rect.left && x < k.rect.left + k.rect.width && y >= k.rect.top &&
                            y < k.rect.top + k.rect.height;
        const uint32_t p = d.StorePixel(k.layer, x, y);
        if (!inside)
          ASSERT_EQ(p >> 24, 0x40u) << k.name;
        else if (k.clear)
          ASSERT_EQ(p, GetBlendModeNeutralColor(0) | 0xFF000000u) << k.name;
        else
          ASSERT_EQ(p, 0x40ABCDEFu) << k.name;
      }
  }
}

TEST_F(OlderEnginesTest, PolygonsAreTracedFilledAndTheSlotCleared) {
  const TPoint triangle[] = {{5, 5}, {40, 5}, {5, 40}};
  struct Case {
    const char* name;
    bool clear;
    int32_t layer;
    int32_t available, count;
    bool ok;
  } cases[] = {
      {"fill", false, 1, 3, 3, true},
      {"clear", true, 1, 3, 3, true},
      {"more points claimed than given", false, 1, 2, 3, false},
      {"no points", true, 1, 0, 0, false},
      {"layer 24", false, 24, 3, 3, false},
  };
  for (const Case& k : cases) {
    OldDocument d(25);
    TSelectMng* slots = d.Paper().SelectMngr();
    const uint64_t before = d.Checksum();
    const bool ok = k.clear
                        ? d.Paper().ClearPolygonOld(&d.Flow(), k.layer, 0, triangle, k.available, k.count, slots)
                        : d.Paper().FillPolygonOld(&d.Flow(), k.layer, 0x00FEDCBAu, 0, triangle, k.available,
                                                   k.count, nullptr);
    EXPECT_EQ(ok, k.ok) << k.name;
    EXPECT_TRUE(slots->IsSlotEmpty(slots->CurrentIndex())) << k.name;
    if (!k.ok) {
      EXPECT_EQ(d.Checksum(), before) << k.name;
      continue;
    }
    const uint32_t expected = k.clear ? GetBlendModeNeutralColor(0) & 0xFFFFFFu : 0xFEDCBAu;
    EXPECT_EQ(d.StorePixel(k.layer, 12, 12) & 0xFFFFFFu, expected) << k.name;
    EXPECT_NE(d.StorePixel(k.layer, 40, 40) & 0xFFFFFFu, expected) << k.name;
  }
}

TEST_F(OlderEnginesTest, ClearLayerUndoEmptiesTheLayersOwnUndo) {
  OldDocument d(3);
  CLayerData* layer = d.Paper().GetLayer(1);
  ASSERT_TRUE(layer->HasOwnUndo());
  ASSERT_TRUE(layer->SaveRectOwnUndo(SRectWH{0, 0, 8, 8}));
  ASSERT_TRUE(layer->OwnUndo()->CanUndo());
  EXPECT_TRUE(d.Paper().ClearLayerUndoOld(1));
  EXPECT_FALSE(layer->OwnUndo()->CanUndo());
  EXPECT_TRUE(d.Paper().ClearLayerUndoOld(0));  // a layer without its own undo
  EXPECT_FALSE(d.Paper().ClearLayerUndoOld(3));
  EXPECT_FALSE(d.Paper().ClearLayerUndoOld(-1));
}

TEST_F(OlderEnginesTest, ToggleSoloVisibility) {
  struct Case {
    const char* name;
    std::vector<uint8_t> visible;
    int32_t layer;
    std::vector<uint8_t> after;
  } cases[] = {
      {"a visible layer hides and shows every other", {1, 0, 1, 0}, 2, {1, 1, 0, 1}},
      {"a hidden layer shows only itself", {1, 0, 1, 1}, 1, {0, 1, 0, 0}},
      {"out of range", {1, 0, 1, 1}, 4, {1, 0, 1, 1}},
  };
  for (const Case& k : cases) {
    OldDocument d(4);
    for (int32_t i = 0; i < 4; ++i) d.Paper().GetLayer(i)->visible = k.visible[static_cast<size_t>(i)];
    EXPECT_EQ(d.Paper().ToggleSoloVisibility(k.layer), k.layer < 4) << k.name;
    for (int32_t i = 0; i < 4; ++i)
      EXPECT_EQ(d.Paper().GetLayer(i)->visible, k.after[static_cast<size_t>(i)]) << k.name;
  }
}

TEST_F(OlderEnginesTest, MergeVisibleOld) {
  struct Case {
    const char* name;
    std::vector<uint8_t> visible;
    std::vector<uint8_t> modes;
    bool merged;
    int32_t layersAfter;
  } cases[] = {
      {"three visible of one mode around a hidden one", {1, 0, 1, 1}, {0, 0, 0, 0}, true, 2},
      {"two visible of different modes", {1, 1, 0, 0}, {0, 1, 0, 0}, false, 4},
      {"one visible", {0, 1, 0, 0}, {0, 0, 0, 0}, false, 4},
  };
  for (const Case& k : cases) {
    OldDocument d(4);
    for (int32_t i = 0; i < 4; ++i) {
      d.Paper().GetLayer(i)->visible = k.visible[static_cast<size_t>(i)];
      d.Paper().GetLayer(i)->blendMode = static_cast<uint8_t>(kModeNormal + k.modes[static_cast<size_t>(i)]);
      d.Paper().GetLayer(i)->opacity = 200;
    }
    SRectWH block{8, 8, 6, 6};
    d.Paper().GetLayer(3)->opacity = 255;
    d.Paper().GetLayer(3)->Store()->FillRect(block, 0xFF00FF00u);
    d.Paper().SelectLayer(&d.Flow(), 2);
    const uint64_t before = d.Checksum();
    EXPECT_EQ(d.Paper().MergeVisibleOld(&d.Flow()), k.merged) << k.name;
    EXPECT_EQ(d.Paper().GetLayerCount(), k.layersAfter) << k.name;
    if (!k.merged) {
      EXPECT_EQ(d.Checksum(), before) << k.name;
      continue;
    }
    EXPECT_EQ(d.Paper().GetActiveLayerIndex(), 0) << k.name;
    EXPECT_EQ(d.Paper().GetLayer(0)->opacity, 255) << k.name;
    EXPECT_EQ(d.Paper().GetLayer(1)->visible, 0) << "the hidden layer stays";
    // The opaque top layer's block shows through in the merged layer.
    EXPECT_EQ(d.StorePixel(0, 10, 10) & 0xFFFFFFu, 0x00FF00u) << k.name;
  }
}

}  // namespace
}  // namespace tf::test
