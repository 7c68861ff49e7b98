// The older event player: one table of (stream, document change, layers changed, result); a
// stroke played point by point; markers; the anchor, solo and out-of-range layer cases; the
// faults of short streams, markers in a row and strokes of one point; a seeded stream over every
// code played to its pinned checksum.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "events/OldEventPacket.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/PaperTestSupport.h"
#include "playback/OldPlayer.h"
#include "raster/ColorMath.h"
#include "support/OldStreamBuilder.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

struct OldPlay {
  OldPlay() {
    window.stroke = &stroke;
    // As the document window does before an older stream plays: recording stopped, the stream
    // reset, the older engine.
    if (CEventMngr* events = window.Paper().EventMngr(); events != nullptr) events->resetStream();
    UseStrokeEngine0(window.Paper());
  }
  TPaper& Paper() { return window.Paper(); }
  bool Load(const std::vector<uint8_t>& bytes) {
    TMyMemory m(64);
    m.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    m.RewindRead();
    bool sealed = false;
    return packets.Validate(m, sealed);
  }
  // Loads without the check (streams the check refuses).
  void LoadRaw(const std::vector<uint8_t>& bytes) {
    packets.Clear();
    packets.Memory().Write(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  bool Step() {
    return PlayOldEvents(Paper(), &window.Flow(), packets, code, layersChanged, 0, stroke,
                         [this] { return "無題" + std::to_string(++untitled); });
  }
  // Steps until false (at most cap); the number of steps taken.
  int32_t PlayToEnd(int32_t cap = 1000000) {
    int32_t n = 0;
    while (n < cap && Step()) ++n;
    return n;
  }
  uint64_t Checksum() {
    uint64_t h = 1469598103934665603ull;
    auto add = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
    add(static_cast<uint64_t>(Paper().canvasWidth));
    add(static_cast<uint64_t>(Paper().canvasHeight));
    add(Paper().paperColor);
    for (int32_t l = 0; l < Paper().GetLayerCount(); ++l) {
      const CLayerData* layer = Paper().GetLayer(l);
      add(layer->visible);
      add(layer->opacity);
      add(layer->blendMode);
      for (int32_t y = 0; y < Paper().canvasHeight; ++y)
        for (int32_t x = 0; x < Paper().canvasWidth; ++x) add(layer->Store()->GetPixel(x, y));
    }
    return h;
  }
  uint32_t Pixel(int32_t layer, int32_t x, int32_t y) { return Paper().GetLayer(layer)->Store()->GetPixel(x, y); }

  HeadlessDocumentWindow window;
  TStroke stroke{0};
  TEventPacket packets;
  uint16_t code = 0;
  int32_t layersChanged = -1;
  int32_t untitled = 0;
};

class OldPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetPixelWriters(); }
  void TearDown() override { ResetPixelWriters(); }
  PaperTestScope scope;
};

OldStreamBuilder Canvas() {
  OldStreamBuilder b;
  b.NewCanvas(16, 12).Code(256).U8(0).Code(256).U8(1);  // three layers
  return b;
}

TEST_F(OldPlayerTest, OneStepPerEventTable) {
  struct Case {
    const char* name;
    std::vector<uint8_t> event;
    std::function<bool(OldPlay&)> changed;
    int32_t layersChanged;
    bool result;
  };
  const std::vector<Case> cases = {
      {"new layer", OldStreamBuilder().Code(256).U8(2).bytes,
       [](OldPlay& p) { return p.Paper().GetLayerCount() == 4 && p.Paper().GetLayer(3)->blendMode == 2; }, 1,
       true},
      {"new layer of mode 4 fails", OldStreamBuilder().Code(256).U8(4).bytes,
       [](OldPlay& p) { return p.Paper().GetLayerCount() == 3; }, 1, false},
      {"delete layer", OldStreamBuilder().Code(257).U8(1).bytes,
       [](OldPlay& p) { return p.Paper().GetLayerCount() == 2; }, 1, true},
      {"delete a missing layer", OldStreamBuilder().Code(257).U8(9).bytes,
       [](OldPlay& p) { return p.Paper().GetLayerCount() == 3; }, 1, true},
      {"copy to top", OldStreamBuilder().Code(259).U8(0).bytes,
       [](OldPlay& p) { return p.Paper().GetLayerCount() == 4; }, 1, true},
      {"active layer", OldStreamBuilder().Code(273).U8(1).bytes,
       [](OldPlay& p) { return p.Paper().GetActiveLayerIndex() == 1; }, 0, true},
      {"hide layer", OldStreamBuilder().Code(274).U8(1).U8(2).bytes,
       [](OldPlay& p) { return !p.Paper().GetLayer(1)->visible; }, 1, true},
      {"opacity", OldStreamBuilder().Code(275).U8(2).U8(77).bytes,
       [](OldPlay& p) { return p.Paper().GetLayer(2)->opacity == 77; }, 1, true},
      {"blend mode", OldStreamBuilder().Code(276).U8(2).U8(3).bytes,
       [](OldPlay& p) { return p.Paper().GetLayer(2)->blendMode == 3; }, 1, true},
      {"fill layer", OldStreamBuilder().Code(293).U8(0).Colour(0x123456).bytes,
       [](OldPlay& p) { return (p.Pixel(0, 5, 5) & 0xFFFFFF) == ColorToPixel(0x123456); }, 1, true},
      {"fill rectangle", OldStreamBuilder().Code(296).U8(0).I16(2).I16(2).I16(3).I16(3).Colour(0x00FF00).bytes,
       [](OldPlay& p) {
         return (p.Pixel(0, 3, 3) & 0xFFFFFF) == ColorToPixel(0x00FF00) &&
                (p.Pixel(0, 6, 6) & 0xFFFFFF) != ColorToPixel(0x00FF00);
       },
       0, true},
      {"fill polygon",
       OldStreamBuilder()
           .Code(304)
           .U8(0)
           .Colour(0x00FF00)
           .U16(3)
           .I16(0)
           .I16(0)
           .I16(12)
           .I16(0)
           .I16(0)
           .I16(10)
           .bytes,
       [](OldPlay& p) { return (p.Pixel(0, 2, 2) & 0xFFFFFF) == 0x00FF00u; }, 0, true},
      {"paper colour", OldStreamBuilder().Code(513).Colour(0x102030).bytes,
       [](OldPlay& p) { return p.Paper().paperColor == 0x102030u; }, 1, true},
      {"resample", OldStreamBuilder().Code(515).U16(8).U16(6).bytes,
       [](OldPlay& p) { return p.Paper().canvasWidth == 8 && p.Paper().canvasHeight == 6; }, 1, true},
      {"turn clockwise", OldStreamBuilder().Code(516).bytes,
       [](OldPlay& p) { return p.Paper().canvasWidth == 12 && p.Paper().canvasHeight == 16; }, 1, true},
      {"second new canvas form has no operation", OldStreamBuilder().Code(520).U16(4).U16(4).bytes,
       [](OldPlay& p) { return p.Paper().canvasWidth == 16; }, 1, false},
      {"unknown code", OldStreamBuilder().Code(300).bytes, [](OldPlay&) { return true; }, 1, false},
      {"end code", OldStreamBuilder().End().bytes, [](OldPlay& p) { return p.Paper().GetLayerCount() == 3; }, 1,
       false},
  };
  for (const Case& k : cases) {
    OldPlay p;
    OldStreamBuilder b = Canvas();
    b.bytes.insert(b.bytes.end(), k.event.begin(), k.event.end());
    b.End();
    p.LoadRaw(b.bytes);
    ASSERT_EQ(p.PlayToEnd(3), 3) << k.name;
    const uint64_t before = p.Checksum();
    EXPECT_EQ(p.Step(), k.result) << k.name;
    EXPECT_EQ(p.layersChanged, k.layersChanged) << k.name;
    EXPECT_TRUE(k.changed(p)) << k.name;
    if (k.event.size() == 2 && k.event[0] == 0xFF) EXPECT_EQ(p.Checksum(), before) << k.name;
    if (k.result) EXPECT_FALSE(p.Step()) << k.name << ": the end code follows";
  }
}

TEST_F(OldPlayerTest, AStrokeOfThreeMorePointsTakesFourStepsAndTheLastRefreshesItsThumbnail) {
  OldPlay p;
  OldStreamBuilder b = Canvas();
  b.Stroke(0, 2, 0x0000FF, 4, {{2, 2, 1}, {6, 4, 1}, {10, 6, 1}, {14, 8, 1}}).End();
  ASSERT_TRUE(p.Load(b.bytes));
  ASSERT_EQ(p.PlayToEnd(3), 3);
  TMTC* thumbnail = p.Paper().GetLayer(2)->Thumbnail();
  ASSERT_NE(thumbnail, nullptr);
  const std::vector<uint8_t> thumbBefore(thumbnail->Bits(), thumbnail->Bits() + thumbnail->GetImageSize());
  p.code = 1234;
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(p.Step());
    EXPECT_EQ(p.layersChanged, 0);
    EXPECT_TRUE(p.packets.InStroke()) << i;
    EXPECT_TRUE(p.window.strokeActive) << i;
  }
  EXPECT_EQ(p.code, 0) << "the stroke start reports its code";
  const std::vector<uint8_t> thumbMid(thumbnail->Bits(), thumbnail->Bits() + thumbnail->GetImageSize());
  EXPECT_EQ(thumbMid, thumbBefore);
  EXPECT_TRUE(p.Step());
  EXPECT_FALSE(p.packets.InStroke());
  EXPECT_FALSE(p.window.strokeActive);
  const std::vector<uint8_t> thumbAfter(thumbnail->Bits(), thumbnail->Bits() + thumbnail->GetImageSize());
  EXPECT_NE(thumbAfter, thumbBefore);
  EXPECT_NE(p.Pixel(2, 10, 6) & 0xFFFFFF, p.Pixel(2, 0, 11) & 0xFFFFFF) << "the stroke painted";
  EXPECT_FALSE(p.Step());
  // Nothing was recorded: the stream was reset before playing, so the new canvas started no recording.
  EXPECT_FALSE(p.Paper().IsRecording());
  ASSERT_NE(p.Paper().EventMngr(), nullptr);
  EXPECT_EQ(p.Paper().EventMngr()->writePos(), 0u);
}

TEST_F(OldPlayerTest, AStrokeOfOnePointIsBegunAndEndedInItsStepAndTheNextEventsStayEvents) {
  OldPlay p;
  OldStreamBuilder b = Canvas();
  b.Stroke(0, 1, 0x0000FF, 4, {{5, 5, 1}}).Code(273).U8(0).End();
  ASSERT_TRUE(p.Load(b.bytes));
  ASSERT_EQ(p.PlayToEnd(3), 3);
  EXPECT_TRUE(p.Step());
  EXPECT_FALSE(p.packets.InStroke());
  EXPECT_FALSE(p.window.strokeActive);
  EXPECT_TRUE(p.Step());
  EXPECT_EQ(p.code, 273);
  EXPECT_EQ(p.Paper().GetActiveLayerIndex(), 0);
  EXPECT_FALSE(p.Step());
  EXPECT_EQ(p.code, 0xFFFF);
}

TEST_F(OldPlayerTest, MarkersInARowArePassedOverInTheStepAndTheFirstMarkerIsReported) {
  OldPlay p;
  OldStreamBuilder b = Canvas();
  b.Code(770).Code(771).Code(273).U8(1).End();
  p.LoadRaw(b.bytes);
  ASSERT_EQ(p.PlayToEnd(3), 3);
  EXPECT_TRUE(p.Step());
  EXPECT_EQ(p.code, 770);
  EXPECT_EQ(p.Paper().GetActiveLayerIndex(), 1);
  EXPECT_FALSE(p.Step());
}

TEST_F(OldPlayerTest, AStreamCutInsideAnEventFailsTheStepInsteadOfWaitingForEver) {
  OldPlay p;
  OldStreamBuilder b = Canvas();
  b.Code(296).U8(0).I16(1);
  p.LoadRaw(b.bytes);
  ASSERT_EQ(p.PlayToEnd(3), 3);
  p.code = 7;
  EXPECT_FALSE(p.Step());
  EXPECT_EQ(p.code, 7) << "nothing was read";
  EXPECT_EQ(p.layersChanged, 0);
  OldPlay q;
  q.LoadRaw(Canvas().Code(771).bytes);
  ASSERT_EQ(q.PlayToEnd(3), 3);
  EXPECT_FALSE(q.Step()) << "a marker with nothing after it";
}

TEST_F(OldPlayerTest, CanvasSizeWithTheOlderAnchorOneResizesAroundTheCurrentAnchorThree) {
  OldPlay played;
  OldStreamBuilder b = Canvas();
  b.Code(293).U8(0).Colour(0xFF0000).Code(514).U16(24).U16(20).U8(1).End();
  ASSERT_TRUE(played.Load(b.bytes));
  EXPECT_EQ(played.PlayToEnd(), 5);
  OldPlay direct;
  ASSERT_TRUE(direct.Load(Canvas().Code(293).U8(0).Colour(0xFF0000).End().bytes));
  EXPECT_EQ(direct.PlayToEnd(), 4);
  ASSERT_TRUE(direct.Paper().ResizeCanvasOld(&direct.window.Flow(), 24, 3, 20));
  EXPECT_EQ(played.Checksum(), direct.Checksum());
  EXPECT_EQ(played.Paper().canvasWidth, 24);
}

TEST_F(OldPlayerTest, ShowOnlyTogglesBetweenTheLayerAloneAndTheOthers) {
  OldPlay p;
  OldStreamBuilder b = Canvas();
  b.Code(277).U8(1).Code(274).U8(2).U8(0).Code(277).U8(2).End();
  ASSERT_TRUE(p.Load(b.bytes));
  ASSERT_EQ(p.PlayToEnd(3), 3);
  ASSERT_TRUE(p.Step());  // a visible layer: hidden, every other shown
  EXPECT_TRUE(p.Paper().GetLayer(0)->visible);
  EXPECT_FALSE(p.Paper().GetLayer(1)->visible);
  EXPECT_TRUE(p.Paper().GetLayer(2)->visible);
  ASSERT_TRUE(p.Step());  // layer 2 stays hidden
  ASSERT_TRUE(p.Step());  // a hidden layer: shown, every other hidden
  EXPECT_FALSE(p.Paper().GetLayer(0)->visible);
  EXPECT_FALSE(p.Paper().GetLayer(1)->visible);
  EXPECT_TRUE(p.Paper().GetLayer(2)->visible);
}

TEST_F(OldPlayerTest, RectanglesAndPolygonsOnALayerAbove23ChangeNoPixel) {
  OldPlay p;
  OldStreamBuilder b;
  b.NewCanvas(16, 12);
  for (int i = 0; i < 25; ++i) b.Code(256).U8(0);
  b.Code(295).U8(24).I16(0).I16(0).I16(8).I16(8);
  b.Code(296).U8(25).I16(0).I16(0).I16(8).I16(8).Colour(0x00FF00);
  b.Code(297).U8(24).U16(3).I16(0).I16(0).I16(9).I16(0).I16(0).I16(9);
  b.Code(304).U8(24).Colour(0x00FF00).U16(3).I16(0).I16(0).I16(9).I16(0).I16(0).I16(9).End();
  ASSERT_TRUE(p.Load(b.bytes));
  ASSERT_EQ(p.PlayToEnd(26), 26);
  ASSERT_EQ(p.Paper().GetLayerCount(), 26);
  const uint64_t before = p.Checksum();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(p.Step()) << i;
  EXPECT_EQ(p.Checksum(), before);
  EXPECT_FALSE(p.Step());
}

TEST_F(OldPlayerTest, PolygonBoundsLieTwoPixelsAround) {
  const TPoint pts[3] = {{5, 7}, {1, 9}, {4, 3}};
  EXPECT_EQ(PolygonBounds(pts, 3), (SRectWH{-1, 1, 8, 10}));
}

// The independently written fixture: played step by step (the stroke of three more points in
// four steps) to its pinned picture.
TEST_F(OldPlayerTest, FixtureStreamPlaysStepByStepToItsPinnedPicture) {
  constexpr uint64_t kPinned = 0x8bfe658f94807543ull;
  ScopedTempFolder folder("old-player");
  std::map<std::string, std::string> out;
  std::string output;
  ASSERT_EQ(RunDataScript("old_files.py", "write '" + folder.Path() + "'", out, output), 0) << output;
  OldPlay p;
  bool sealed = true;
  ASSERT_TRUE(p.packets.LoadFromFile(folder.File("open.wpe"), sealed));
  EXPECT_FALSE(sealed);
  std::vector<uint16_t> codes;
  while (p.Step()) codes.push_back(p.code);
  EXPECT_EQ(codes, (std::vector<uint16_t>{512, 513, 256, 0, 0, 0, 0, 296, 304, 305}));
  const uint64_t checksum = p.Checksum();
  std::printf("fixture checksum 0x%016llx\n", static_cast<unsigned long long>(checksum));
  EXPECT_EQ(checksum, kPinned);
  EXPECT_EQ(p.Paper().GetLayerCount(), 2);
  EXPECT_EQ(p.untitled, 1) << "the new canvas took one untitled name";
}

// A seeded stream over every code and the five pen types, played to the end: its picture's
// checksum is pinned, so a change that alters the replay of old recordings fails here.
TEST_F(OldPlayerTest, SeededStreamPlaysToItsPinnedChecksum) {
  constexpr uint64_t kPinned = 0x4670db662ff6e22dull;
  std::vector<uint8_t> stream = RandomOldStream(49, 400, 48, 36);
  OldPlay p;
  ASSERT_TRUE(p.Load(stream));
  const int32_t steps = p.PlayToEnd();
  EXPECT_EQ(p.code, 0xFFFF) << "the playback reached its end code after " << steps << " steps";
  p.packets.DropEndCode();
  p.Paper().ResetStrokeEngines();
  const uint64_t checksum = p.Checksum();
  std::printf("old stream checksum 0x%016llx after %d steps\n", static_cast<unsigned long long>(checksum), steps);
  EXPECT_EQ(checksum, kPinned);
  // The played stream written back sealed, as the render mode does, validates sealed.
  p.packets.AppendEndCode();
  const std::string path = ::testing::TempDir() + "old_player_resave.wpe";
  ASSERT_TRUE(p.packets.SaveToFile(path, true));
  TEventPacket resaved;
  bool sealed = false;
  ASSERT_TRUE(resaved.LoadFromFile(path, sealed));
  EXPECT_TRUE(sealed);
  EXPECT_EQ(resaved.EventCount(), p.packets.EventCount());
  std::remove(path.c_str());
  // Played again, the same picture.
  OldPlay again;
  ASSERT_TRUE(again.Load(stream));
  again.PlayToEnd();
  again.Paper().ResetStrokeEngines();
  EXPECT_EQ(again.Checksum(), checksum);
}

}  // namespace
}  // namespace tf::test
