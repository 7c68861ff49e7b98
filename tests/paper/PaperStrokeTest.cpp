// The stroke road of the document: seeded strokes of every pen of the newest engine recorded,
// decoded from the stream's bytes and replayed into a copy of the starting document; engine
// choice; the older engines on the road; points that are not finite; the end of a stroke.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "events/EventStream.h"
#include "events/StrokeSources.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "support/TestRng.h"

namespace tf::test {
namespace {

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 120;

// A window that paints with a given stroke, renderer and gradient stops.
class StrokeWindow : public HeadlessDocumentWindow {
 public:
  const CColorSlotGroup* CurrentGradientStops() override { return stops; }
  int32_t ChosenStrokeEngine() const override { return chosenEngine; }
  const CColorSlotGroup* stops = nullptr;
  int32_t chosenEngine = 2;
};

// Pixel undo of rectangles that a test can take back: each save copies the rectangle.
class SnapshotUndo : public CDocumentUndo {
 public:
  struct Saved {
    int32_t layer;
    SRectWH rect;
    std::unique_ptr<TMTC> pixels;
    uint8_t code;
  };
  bool IsEnabled() const override { return true; }
  bool SaveLayerRect(CLayerData& layer, const SRectWH& rect, uint8_t code) override {
    SRectWH r = rect;
    const int32_t left = std::max(r.left, 0), top = std::max(r.top, 0);
    const int32_t right = std::min(r.left + r.width, layer.StoreWidth());
    const int32_t bottom = std::min(r.top + r.height, layer.StoreHeight());
    r = SRectWH{left, top, std::max(right - left, 0), std::max(bottom - top, 0)};
    Saved s{layer.index, r, nullptr, code};
    if (r.width > 0 && r.height > 0) {
      s.pixels = std::make_unique<TMTC>(r.width, r.height);
      TPoint dest{0, 0};
      SRectWH source = r;
      layer.Store()->CopyToImage(*s.pixels, dest, source, 255, false);
    }
    saved.push_back(std::move(s));
    return true;
  }
  bool PushAttribute(CLayerData*, int32_t, int32_t, uint8_t) override { return true; }
  bool Push(std::unique_ptr<CUndoHeld>&, uint8_t, int32_t, int32_t, int32_t, int32_t) override { return true; }
  void ClearAll() override { saved.clear(); }
  int64_t MemorySize() const override { return 0; }
  // Puts the newest saved rectangle back.
  bool UndoLast(TPaper& paper) {
    if (saved.empty()) return false;
    Saved s = std::move(saved.back());
    saved.pop_back();
    if (!s.pixels) return true;
    TPoint dest{s.rect.left, s.rect.top};
    SRectWH source{0, 0, s.rect.width, s.rect.height};
    return paper.GetLayer(s.layer)->Store()->CopyFromImage(*s.pixels, dest, source, 255);
  }
  std::vector<Saved> saved;
};

// FNV-1a over every layer's pixels.
uint64_t LayerChecksum(const TPaper& paper) {
  uint64_t h = 1469598103934665603ull;
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData* layer = paper.GetLayer(i);
    TMTC image(layer->StoreWidth(), layer->StoreHeight());
    TPoint dest{0, 0};
    SRectWH source{0, 0, layer->StoreWidth(), layer->StoreHeight()};
    layer->Store()->CopyToImage(image, dest, source, 255, false);
    for (int32_t y = 0; y < image.Height(); ++y) {
      const uint8_t* row = image.GetPixelPtr(0, y);
      for (int32_t b = 0; b < image.Width() * 4; ++b) h = (h ^ row[b]) * 1099511628211ull;
    }
  }
  return h;
}

// One pen of the newest engine.
struct PenCase {
  const char* name;
  uint8_t type;
  uint8_t channel;
  uint8_t option1;
  uint16_t effect, env, speed;
  bool gradation;
  int32_t interpolation;
};

// One document with its window, stroke and renderer; the same seed gives the same document.
struct Document {
  explicit Document(uint64_t seed) {
    window.stroke = &stroke;
    window.penRender = &renderer;
    stops.SetStop(0, 0x00FF2010u, 1, 255);
    stops.SetStop(1, 0x0010C0F0u, 1, 200);
    stops.Normalize();
    window.stops = &stops;
    TPaper& paper = window.Paper();
    EXPECT_TRUE(paper.NewDocument("s", &window.Flow(), true, false, 72, kHeight, kWidth));
    for (int i = 0; i < 2; ++i) EXPECT_GE(paper.Layers().AddLayer(kWidth, kHeight, true, 200, false, 0), 0);
    // Random opaque and half-transparent blocks on every layer.
    XorShiftRng rng(seed);
    for (int32_t l = 0; l < paper.GetLayerCount(); ++l) {
      for (int b = 0; b < 12; ++b) {
        SRectWH r{static_cast<int32_t>(rng.Next() % kWidth), static_cast<int32_t>(rng.Next() % kHeight),
                  static_cast<int32_t>(8 + rng.Next() % 40), static_cast<int32_t>(8 + rng.Next() % 40)};
        paper.GetLayer(l)->Store()->FillRect(r, rng.Next() | (b % 3 == 0 ? 0x80000000u : 0xFF000000u));
      }
    }
    paper.SelectLayer(&window.Flow(), 1);
    paper.AdoptDocumentUndo(std::unique_ptr<CDocumentUndo>(undo = new SnapshotUndo));
    EXPECT_TRUE(paper.CreateStrokeMngr());
    EXPECT_EQ(paper.engineLevelInUse, 2);
    paper.SetGradientLineInt(TPoint{10, 10}, TPoint{150, 90});
    paper.SetGradationOptions(0, 0, 1, 0);
    source.SetStroke(&stroke);
    paper.EventMngr()->stroke = &source;
  }
  TPaper& Paper() { return window.Paper(); }

  StrokeWindow window;
  TStroke stroke{2};
  CPenRender renderer{&stroke};
  CColorSlotGroup stops{4};
  SnapshotUndo* undo = nullptr;
  StrokeRecordSource source;
};

void SetPen(Document& d, const PenCase& pen) {
  SPenParam p{};
  p.type = pen.type;
  p.channel = pen.channel;
  p.option1 = pen.option1;
  p.effect = pen.effect;
  p.env = pen.env;
  p.speed = pen.speed;
  d.renderer.SetPenParams(p, 7);
  SNibShape nib{};
  nib.Init(6.0f);
  nib.SetMinRatio(0.3f);
  d.renderer.SetNibShape(nib);
  d.stroke.SetColor(0x00204080u);
  d.stroke.SetUseGradation(pen.gradation, false);
  SStrokeParam params{1, 1, {0, 0}, 1000, 120, 150, 0, 0};
  d.Paper().StrokeMngr()->SetStrokeParams(params);
  d.Paper().StrokeMngr()->SetInterpolateMode(pen.interpolation);
}

std::vector<SStrokePoint> RandomStroke(XorShiftRng& rng, int32_t count) {
  std::vector<SStrokePoint> points;
  float x = static_cast<float>(rng.Next() % kWidth), y = static_cast<float>(rng.Next() % kHeight);
  for (int32_t i = 0; i < count; ++i) {
    x += static_cast<float>(static_cast<int32_t>(rng.Next() % 2001) - 1000) / 100.0f;
    y += static_cast<float>(static_cast<int32_t>(rng.Next() % 2001) - 1000) / 100.0f;
    points.push_back({x, y, static_cast<float>(rng.Next() % 1001) / 1000.0f});
  }
  return points;
}

// The recorded stroke's packets after pos: start packets, point packets, and the points decoded.
struct RecordedStroke {
  int starts = 0, more = 0, last = 0;
  std::vector<SStrokePoint> points;
};

RecordedStroke DecodeStroke(const CEventMngr& events, uint32_t from) {
  RecordedStroke r;
  events.walkPackets(from, events.writePos(), [&](const SPacketFrame& frame) {
    const uint8_t cls = frame.header.cls;
    if (cls == kPcStrokeStart4 || cls == kPcStrokeStart2) ++r.starts;
    if (cls == kPcPointsMore || cls == kPcPointsLast) {
      (cls == kPcPointsMore ? r.more : r.last) += 1;
      std::vector<uint8_t> bytes(static_cast<size_t>(frame.length));
      events.readAt(frame.payloadPos, bytes.data(), static_cast<uint32_t>(frame.length));
      for (size_t at = 0; at + 12 <= bytes.size(); at += 12) {
        SStrokePoint p{};
        std::memcpy(&p.x, &bytes[at], 4);
        std::memcpy(&p.y, &bytes[at + 4], 4);
        std::memcpy(&p.pressure, &bytes[at + 8], 4);
        r.points.push_back(p);
      }
    }
    return true;
  });
  return r;
}

class PaperStrokeTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetPixelWriters(); }
  void TearDown() override { ResetPixelWriters(); }
  PaperTestScope scope;
};

TEST_F(PaperStrokeTest, RecordedStrokesOfEveryPenReplayToTheSameLayers) {
  const std::vector<PenCase> pens = {
      {"pencil", kRenderPaint, 1, 0, 0, 0, 0, false, 1},
      {"pencil with gradation", kRenderPaint, 1, 0, 0, 0, 0, true, 1},
      {"eraser", kRenderEraser, 0, 0, 0, 0, 0, false, 1},
      {"watercolour", kRenderWatercolour, 0, 0, 60, 40, 30, false, 1},
      {"airbrush", kRenderPaint, 0, 0, 0, 0, 0, false, 0},
      {"blur", kRenderBlur, 0, 0, 150, 0, 0, false, 1},
      {"fingertip", kRenderFingertip, 0, 0, 0, 0, 0, false, 1},
      {"spread", kRenderSpread, 0, 0, 0, 0, 0, false, 1},
      {"burn", kRenderBurnDodge, 0, 0, 80, 0, 0, false, 1},
      {"dodge", kRenderBurnDodge, 0, 1, 80, 0, 0, false, 1},
  };
  XorShiftRng rng(0x5eed17);
  for (const PenCase& pen : pens) {
    SCOPED_TRACE(pen.name);
    for (const int32_t count : {1, 16, 17, 40}) {
      SCOPED_TRACE(count);
      Document recorded(42), replayed(42);
      SetPen(recorded, pen);
      SetPen(replayed, pen);
      const uint64_t start = LayerChecksum(recorded.Paper());
      ASSERT_EQ(start, LayerChecksum(replayed.Paper()));

      // Record.
      TPaper& a = recorded.Paper();
      CEventMngr& events = *a.EventMngr();
      const uint32_t before = events.writePos();
      const std::vector<SStrokePoint> points = RandomStroke(rng, count);
      ASSERT_TRUE(a.BeginStrokeMngr(&recorded.window.Flow(), recorded.stroke, true, points[0].x, points[0].y,
                                    points[0].pressure));
      EXPECT_TRUE(recorded.window.strokeActive);
      for (size_t i = 1; i < points.size(); ++i)
        a.StrokeToMngr(&recorded.window.Flow(), recorded.stroke, true, 0, points[i].x, points[i].y,
                       points[i].pressure);
      EXPECT_EQ(recorded.window.strokePoints, count - 1);
      SRectWH rect{};
      ASSERT_TRUE(a.EndStrokeMngr(&recorded.window.Flow(), recorded.stroke, true, rect, 0));
      EXPECT_FALSE(recorded.window.strokeActive);
      // A stroke of one point touches no pixel and saves no undo.
      ASSERT_EQ(recorded.undo->saved.size(), count > 1 ? 1u : 0u);
      if (count > 1) {
        EXPECT_EQ(recorded.undo->saved[0].code, kUndoStroke);
      }

      if (count == 1) {
        // A stroke that painted nothing leaves no step behind (it pushed no undo record either).
        EXPECT_EQ(events.writePos(), before);
        EXPECT_EQ(LayerChecksum(a), start);
        continue;
      }
      // The stream: one start packet, floor((p - 1) / 16) class-17 packets, one class-18 packet.
      const RecordedStroke r = DecodeStroke(events, before);
      EXPECT_EQ(r.starts, 1);
      EXPECT_EQ(r.more, (count - 1) / 16);
      EXPECT_EQ(r.last, 1);
      ASSERT_EQ(r.points.size(), points.size());

      // Replay the decoded points with the record flag clear.
      TPaper& b = replayed.Paper();
      const uint32_t replayedBefore = b.EventMngr()->writePos();
      ASSERT_TRUE(b.BeginStrokeMngr(&replayed.window.Flow(), replayed.stroke, false, r.points[0].x, r.points[0].y,
                                    r.points[0].pressure));
      for (size_t i = 1; i < r.points.size(); ++i)
        b.StrokeToMngr(&replayed.window.Flow(), replayed.stroke, false, 0, r.points[i].x, r.points[i].y,
                       r.points[i].pressure);
      SRectWH replayedRect{};
      ASSERT_TRUE(b.EndStrokeMngr(&replayed.window.Flow(), replayed.stroke, false, replayedRect, 0));
      EXPECT_EQ(replayedRect, rect);
      EXPECT_EQ(LayerChecksum(b), LayerChecksum(a));
      EXPECT_TRUE(replayed.undo->saved.empty());
      EXPECT_EQ(b.EventMngr()->writePos(), replayedBefore);

      if (count == 40) {
        EXPECT_NE(LayerChecksum(a), start);  // the pen painted
      }
      // Undo gives the start back.
      if (count > 1) {
        ASSERT_TRUE(recorded.undo->UndoLast(a));
      }
      EXPECT_EQ(LayerChecksum(a), start);
    }
  }
}

TEST_F(PaperStrokeTest, ALongStrokeChangesPixels) {
  // Guards the replay test against strokes that paint nothing at all.
  Document d(7);
  SetPen(d, PenCase{"pen", kRenderPaint, 0, 0, 0, 0, 0, false, 1});
  TPaper& paper = d.Paper();
  const uint64_t start = LayerChecksum(paper);
  ASSERT_TRUE(paper.BeginStrokeMngr(&d.window.Flow(), d.stroke, true, 10, 10, 1));
  for (int i = 1; i <= 20; ++i) paper.StrokeToMngr(&d.window.Flow(), d.stroke, true, 0, 10.0f + 6 * i, 12, 1);
  SRectWH rect{};
  ASSERT_TRUE(paper.EndStrokeMngr(&d.window.Flow(), d.stroke, true, rect, 0));
  EXPECT_NE(LayerChecksum(paper), start);
  EXPECT_GT(rect.width, 100);
}

TEST_F(PaperStrokeTest, CoincidingPointsPaintNothing) {
  Document d(3);
  SetPen(d, PenCase{"pen", kRenderPaint, 0, 0, 0, 0, 0, false, 1});
  TPaper& paper = d.Paper();
  const uint64_t start = LayerChecksum(paper);
  ASSERT_TRUE(paper.BeginStrokeMngr(&d.window.Flow(), d.stroke, true, 50, 40, 1));
  EXPECT_TRUE(paper.StrokeToMngr(&d.window.Flow(), d.stroke, true, 0, 50, 40, 1));
  SRectWH rect{};
  ASSERT_TRUE(paper.EndStrokeMngr(&d.window.Flow(), d.stroke, true, rect, 0));
  EXPECT_EQ(LayerChecksum(paper), start);
  // Once a point was added, the stroke rectangle is the step's 8-pixel square about the start.
  EXPECT_EQ(rect, (SRectWH{40, 30, 20, 20}));
}

TEST_F(PaperStrokeTest, PointsThatAreNotFiniteAreRefusedAndFarPointsBounded) {
  Document d(5);
  SetPen(d, PenCase{"pen", kRenderPaint, 0, 0, 0, 0, 0, false, 0});
  TPaper& paper = d.Paper();
  CEventMngr& events = *paper.EventMngr();
  const uint32_t before = events.writePos();
  EXPECT_FALSE(paper.BeginStrokeMngr(&d.window.Flow(), d.stroke, true, std::nanf(""), 1, 1));
  EXPECT_FALSE(d.window.strokeActive);
  EXPECT_EQ(events.writePos(), before);  // nothing recorded
  ASSERT_TRUE(paper.BeginStrokeMngr(&d.window.Flow(), d.stroke, true, 10, 10, 1));
  EXPECT_FALSE(paper.StrokeToMngr(&d.window.Flow(), d.stroke, true, 0, INFINITY, 10, 1));
  // A point at 1e30 ends at the border of the range around the canvas: a bounded number of steps.
  paper.StrokeToMngr(&d.window.Flow(), d.stroke, true, 0, 1e30f, 10, 1);
  SStrokePoint newest{};
  ASSERT_TRUE(paper.StrokeMngr()->GetNewestPoint(newest));
  EXPECT_EQ(newest.x, kWidth + 16384.0f);
  EXPECT_LE(paper.StrokeMngr()->GetStepCounter(), 2 * (kWidth + 16384));
  SRectWH rect{};
  EXPECT_TRUE(paper.EndStrokeMngr(&d.window.Flow(), d.stroke, true, rect, 0));
  const RecordedStroke r = DecodeStroke(events, before);
  ASSERT_EQ(r.points.size(), 2u);
  EXPECT_EQ(r.points[1].x, kWidth + 16384.0f);  // the bounded point is what the stream holds
}

TEST_F(PaperStrokeTest, AClickWithoutAPointPaintsNothingAndWarnsNothing) {
  // The document's layers keep their own pixel undo (no document undo installed).
  StrokeWindow window;
  TStroke stroke{2};
  CPenRender renderer{&stroke};
  window.stroke = &stroke;
  window.penRender = &renderer;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("c", &window.Flow(), false, false, 72, 30, 30));
  ASSERT_TRUE(paper.CreateStrokeMngr());
  StrokeRecordSource source(&stroke);
  paper.EventMngr()->stroke = &source;
  const uint64_t start = LayerChecksum(paper);
  const int32_t steps = paper.EventMngr()->stepCount();
  ASSERT_TRUE(paper.BeginStrokeMngr(&window.Flow(), stroke, true, 12, 12, 1));
  SRectWH rect{1, 1, 1, 1};
  EXPECT_TRUE(paper.EndStrokeMngr(&window.Flow(), stroke, true, rect, 0));
  EXPECT_EQ(rect, (SRectWH{0, 0, 0, 0}));
  EXPECT_EQ(LayerChecksum(paper), start);
  // No undo record, so no step either: the next undo takes back the command before the click.
  EXPECT_EQ(paper.EventMngr()->stepCount(), steps);
  EXPECT_TRUE(scope.warnings.Texts().empty());
  // A pressure outside 0..1 is taken as its nearest end.
  ASSERT_TRUE(paper.BeginStrokeMngr(&window.Flow(), stroke, false, 12, 12, 1));
  paper.StrokeToMngr(&window.Flow(), stroke, false, 0, 14, 12, 7.5f);
  SStrokePoint newest{};
  ASSERT_TRUE(paper.StrokeMngr()->GetNewestPoint(newest));
  EXPECT_EQ(newest.pressure, 1.0f);
  paper.EndStrokeMngr(&window.Flow(), stroke, false, rect, 0);
}

// An engine-0/1 click without a point once left an event step with no undo record behind it, so
// the next undo took back the command before the click while the stream kept its step.
TEST_F(PaperStrokeTest, OlderEngineClickWithoutAPointLeavesNoStepAndAnEmptyRect) {
  for (const int32_t engine : {0, 1}) {
    SCOPED_TRACE(engine);
    scope.host.settings.undoMax = 16;
    StrokeWindow window;
    TStroke stroke{2};
    CPenRender renderer{&stroke};
    window.stroke = &stroke;
    window.penRender = &renderer;
    window.chosenEngine = 1;
    TPaper& paper = window.Paper();
    ASSERT_TRUE(paper.NewDocument("c", &window.Flow(), false, false, 72, 30, 30));
    ASSERT_NE(paper.UndoMngr(), nullptr);
    ASSERT_TRUE(paper.CreateStrokeMngr());
    StrokeRecordSource source(&stroke);
    paper.EventMngr()->stroke = &source;
    stroke.SetPenType(0);
    stroke.SetWidth(4);
    CEventMngr& events = *paper.EventMngr();
    const int32_t stepsBefore = events.stepCount();
    ASSERT_TRUE(paper.SetLayerOpacity(0, 100, true));
    ASSERT_EQ(events.stepCount(), stepsBefore + 1);
    const uint32_t afterOpacity = events.writePos();
    if (engine == 0) UseStrokeEngine0(paper);  // which drops the document undo
    ASSERT_TRUE(paper.BeginStroke(&window.Flow(), stroke, true, 12, 12, 1));
    SRectWH rect{1, 1, 1, 1};
    EXPECT_TRUE(paper.EndStroke(&window.Flow(), stroke, true, rect, 0));
    EXPECT_EQ(rect, (SRectWH{0, 0, 0, 0}));
    EXPECT_FALSE(window.strokeActive);
    // The click's step is gone with its undo record that never was.
    EXPECT_EQ(events.stepCount(), stepsBefore + 1);
    EXPECT_EQ(events.writePos(), afterOpacity);
    if (engine == 0) continue;  // no document undo while the older engine plays
    // Undo takes back the opacity and its step together.
    SRectWH area{};
    ASSERT_TRUE(paper.Undo(&window.Flow(), 0, area));
    EXPECT_EQ(paper.GetLayer(0)->opacity, 255);
    EXPECT_EQ(events.getUndoSteps() - paper.UndoMngr()->UndoCount(), stepsBefore);
    EXPECT_TRUE(scope.warnings.Texts().empty());
  }
}

TEST_F(PaperStrokeTest, EngineChoice) {
  StrokeWindow window;
  TStroke stroke{2};
  CPenRender renderer{&stroke};
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("e", &window.Flow(), false, false, 72, 20, 20));
  EXPECT_EQ(paper.engineLevelOffered, 1);
  EXPECT_FALSE(paper.SelectStrokeEngine(2));  // before the manager
  EXPECT_FALSE(paper.CreateStrokeMngr());     // the window has no stroke or renderer yet
  EXPECT_TRUE(scope.DebugSaid("failed to create the stroke manager"));
  EXPECT_EQ(paper.StrokeMngr(), nullptr);
  window.stroke = &stroke;
  window.penRender = &renderer;
  window.chosenEngine = 1;
  ASSERT_TRUE(paper.CreateStrokeMngr());
  EXPECT_EQ(paper.engineLevelOffered, 2);
  EXPECT_EQ(paper.engineLevelInUse, 1);  // the main window's choice
  EXPECT_TRUE(paper.SelectStrokeEngine(2));
  EXPECT_EQ(paper.strokeRoutine, StrokeRoutine::kManager);
  EXPECT_FALSE(paper.SelectStrokeEngine(0));
  EXPECT_FALSE(paper.SelectStrokeEngine(3));
  EXPECT_EQ(paper.engineLevelInUse, 2);

  // The older engine frees the document undo and is no modern engine.
  paper.AdoptDocumentUndo(std::make_unique<SnapshotUndo>());
  UseStrokeEngine0(paper);
  EXPECT_FALSE(paper.HasModernEngine());
  EXPECT_FALSE(paper.HasDocumentUndo());
  EXPECT_EQ(paper.engineLevelInUse, 0);
  // Playback over: engine 1, alpha 255 everywhere, a new manager with the chosen engine.
  paper.ResetStrokeEngines();
  EXPECT_TRUE(paper.HasModernEngine());
  EXPECT_NE(paper.StrokeMngr(), nullptr);
  EXPECT_EQ(paper.engineLevelOffered, 2);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(window.Flow().Image().GetPixelPtr(3, 3)) >> 24, 255u);
  // With engine 2 in use, freeing the manager caps it at 1 (else the check below could not fail).
  ASSERT_TRUE(paper.SelectStrokeEngine(2));
  ASSERT_EQ(paper.engineLevelInUse, 2);
  paper.FreeStrokeMngr();
  EXPECT_EQ(paper.StrokeMngr(), nullptr);
  EXPECT_EQ(paper.engineLevelOffered, 1);
  EXPECT_EQ(paper.engineLevelInUse, 1);
  EXPECT_EQ(paper.strokeRoutine, StrokeRoutine::kStepping);
}

TEST_F(PaperStrokeTest, OlderEnginesPaintThroughTheRoadAndTheEndClearsTheActiveFlag) {
  Document d(9);
  TPaper& paper = d.Paper();
  ASSERT_TRUE(paper.SelectStrokeEngine(1));
  d.stroke.SetPenType(0);
  d.stroke.SetWidth(4);
  CEventMngr& events = *paper.EventMngr();
  const uint32_t before = events.writePos();
  // Engines 0 and 1 record their begin first, then start the stroke.
  ASSERT_TRUE(paper.BeginStroke(&d.window.Flow(), d.stroke, true, 20, 20, 1));
  EXPECT_GT(events.writePos(), before);
  EXPECT_TRUE(d.window.strokeActive);
  EXPECT_TRUE(paper.StrokeTo(&d.window.Flow(), d.stroke, true, 0, 30, 20, 1));
  EXPECT_TRUE(paper.StrokeTo(&d.window.Flow(), d.stroke, true, 0, 60, 40, 1));
  SRectWH rect{};
  const uint64_t unpainted = LayerChecksum(paper);
  EXPECT_TRUE(paper.EndStroke(&d.window.Flow(), d.stroke, true, rect, 0));
  EXPECT_FALSE(d.window.strokeActive);
  EXPECT_EQ(d.undo->saved.size(), 1u);
  EXPECT_NE(LayerChecksum(paper), unpainted);

  UseStrokeEngine0(paper);
  ASSERT_TRUE(paper.BeginStrokeDirect(&d.window.Flow(), d.stroke, false, 5, 5, 1));
  EXPECT_TRUE(paper.StrokeTo(&d.window.Flow(), d.stroke, false, 0, 8, 5, 1));
  paper.EndStroke(&d.window.Flow(), d.stroke, false, rect, 0);
  EXPECT_FALSE(d.window.strokeActive);
}

TEST_F(PaperStrokeTest, EndWithoutManagerStillClearsTheActiveFlag) {
  StrokeWindow window;
  TStroke stroke{2};
  ASSERT_TRUE(window.Paper().NewDocument("n", &window.Flow(), false, false, 72, 10, 10));
  window.strokeActive = true;
  SRectWH rect{1, 1, 1, 1};
  EXPECT_FALSE(window.Paper().EndStrokeMngr(&window.Flow(), stroke, true, rect, 0));
  EXPECT_FALSE(window.strokeActive);
  EXPECT_FALSE(window.Paper().BeginStrokeMngr(&window.Flow(), stroke, true, 1, 1, 1));
}

TEST_F(PaperStrokeTest, RecorderSourcesReadTheStrokeRendererAndManager) {
  Document d(11);
  SetPen(d, PenCase{"watercolour", kRenderWatercolour, 0, 0, 60, 40, 30, false, 1});
  d.stroke.SetWidth(12);
  d.stroke.SetGamma(1.5f);
  SRecordedStroke s;
  d.source.recordedStroke(s);
  EXPECT_EQ(s.color, 0x00204080u);
  EXPECT_EQ(s.width, 12.0f);
  EXPECT_EQ(s.gamma, 1.5f);
  EXPECT_EQ(s.layerIndex, 1);
  PenRecordSource pen;
  pen.Set(&d.renderer, d.Paper().StrokeMngr());
  SRecordedPen p;
  pen.recordedPen(p);
  EXPECT_EQ(p.penParams[0], kRenderWatercolour);
  EXPECT_EQ(p.nibValues[0], 600);
  EXPECT_EQ(p.strokeParams.gamma100, 120);
  EXPECT_EQ(p.strokeParams.spacing1000, 150);

  // Playback sets them back through the setters.
  TStroke other{0};
  CPenRender otherRenderer{&other};
  CStrokeMngr otherManager(&other, &otherRenderer);
  ApplyRecordedStroke(s, other);
  ApplyRecordedPen(p, otherRenderer, &otherManager);
  SRecordedStroke s2;
  StrokeRecordSource(&other).recordedStroke(s2);
  EXPECT_EQ(std::memcmp(&s2.width, &s.width, sizeof(float) * 8), 0);
  SRecordedPen p2;
  pen.Set(&otherRenderer, &otherManager);
  pen.recordedPen(p2);
  EXPECT_EQ(std::memcmp(p2.penParams, p.penParams, 16), 0);
  EXPECT_EQ(std::memcmp(p2.nibValues, p.nibValues, sizeof p.nibValues), 0);
  EXPECT_EQ(p2.strokeParams.spacing1000, p.strokeParams.spacing1000);
}

}  // namespace
}  // namespace tf::test

namespace tf {
namespace test {
namespace {

TEST_F(PaperStrokeTest, ASelectionKeepsTheStrokeInsideTheMask) {
  Document d(11);
  SetPen(d, PenCase{"pen", kRenderPaint, 0, 0, 0, 0, 0, false, 1});
  TPaper& paper = d.Paper();
  CMaskMngr* masks = paper.MaskMngr();
  ASSERT_NE(masks, nullptr);
  std::unique_ptr<CMaskData> mask = CMaskData::Create(0, kWidth, kHeight);
  ASSERT_NE(mask, nullptr);
  SRectWH left{0, 0, kWidth / 2, kHeight};
  ASSERT_TRUE(mask->Store()->FillRect(left, 255));
  const int32_t index = masks->InsertMask(0, mask);
  ASSERT_GE(index, 0);
  masks->SetActive(index);
  paper.selectionEnabled = 1;

  const CBlockVMTC& store = *paper.GetLayer(1)->Store();
  std::vector<uint32_t> before;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) before.push_back(store.GetPixel(x, y));
  ASSERT_TRUE(paper.BeginStrokeMngr(&d.window.Flow(), d.stroke, true, 10, 60, 1));
  for (int i = 1; i <= 24; ++i) paper.StrokeToMngr(&d.window.Flow(), d.stroke, true, 0, 10.0f + 6 * i, 60, 1);
  SRectWH rect{};
  ASSERT_TRUE(paper.EndStrokeMngr(&d.window.Flow(), d.stroke, true, rect, 0));
  int changedInside = 0, changedOutside = 0;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      if (store.GetPixel(x, y) != before[static_cast<size_t>(y) * kWidth + x])
        ++(x < kWidth / 2 ? changedInside : changedOutside);
  EXPECT_GT(changedInside, 100);
  EXPECT_EQ(changedOutside, 0);
}

}  // namespace
}  // namespace test
}  // namespace tf
