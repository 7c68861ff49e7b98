// New documents: canvas, first layer, paper, the new-document event and the start of recording.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <string>
#include <vector>

#include "document/LayerMngr.h"
#include "document/SelectionOutline.h"
#include "paper/PaperTestSupport.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

const std::string kFirstLayerName = std::string(kLayerNameStem) + "1";

struct SizeCase {
  const char* name;
  friend void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }
  int32_t width;
  int32_t height;
  bool transparent;
  bool hideCanvasColor;
};

class NewDocumentSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(NewDocumentSizes, OneActiveLayerOfTheCanvasSizeAndAReadyDocument) {
  PaperTestScope scope;
  const SizeCase& c = GetParam();
  std::vector<int> readyCalls;
  {
    HeadlessDocumentWindow window;
    TPaper& paper = window.Paper();
    paper.readyHandler = [&](TPaper& p, bool value) {
      EXPECT_EQ(&p, &paper);
      readyCalls.push_back(value ? 1 : 0);
    };
    ASSERT_TRUE(paper.NewDocument("/tmp/doc.tfi", &window.Flow(), c.transparent, c.hideCanvasColor, 144, c.height,
                                  c.width));
    EXPECT_EQ(paper.ready, 1);
    EXPECT_EQ(readyCalls, std::vector<int>{1});
    EXPECT_EQ(paper.filePath, "/tmp/doc.tfi");
    EXPECT_EQ(paper.resolution, 144);
    EXPECT_EQ(paper.showCanvasColor, c.hideCanvasColor ? 0 : 1);
    EXPECT_EQ(paper.canvasWidth, c.width);
    EXPECT_EQ(paper.canvasHeight, c.height);
    EXPECT_EQ(paper.DisplayBuffer().Size(), (SSize{c.width, c.height}));
    EXPECT_EQ(paper.Layers().CanvasWidth(), c.width);

    ASSERT_EQ(paper.GetLayerCount(), 1);
    EXPECT_EQ(paper.GetActiveLayerIndex(), 0);
    const CLayerData& layer = *paper.GetLayer(0);
    EXPECT_EQ(layer.name, kFirstLayerName);
    EXPECT_EQ(layer.blendMode, 3);
    EXPECT_EQ(layer.visible, 1);
    EXPECT_EQ(layer.opacity, 255);
    EXPECT_EQ(layer.StoreWidth(), c.width);
    EXPECT_EQ(layer.StoreHeight(), c.height);
    const uint32_t expected = c.transparent ? 0x00FFFFFFu : 0xFFFFFFFFu;
    EXPECT_EQ(layer.Store()->GetPixel(0, 0), expected);
    EXPECT_EQ(layer.Store()->GetPixel(c.width - 1, c.height - 1), expected);
    EXPECT_EQ(layer.Store()->GetPixel(c.width / 2, c.height / 2), expected);
    ASSERT_NE(layer.Thumbnail(), nullptr);
    EXPECT_EQ(layer.Thumbnail()->GetPixel(0, 0), expected);

    // The working copy holds the layer.
    EXPECT_EQ(window.Flow().layer, 0);
    EXPECT_EQ(window.Flow().valid, 1);
    EXPECT_GE(window.Flow().Image().Width(), c.width);
    EXPECT_GE(window.Flow().Image().Height(), c.height);
    EXPECT_EQ(window.Flow().Image().GetPixel(c.width - 1, c.height - 1), expected);
    EXPECT_EQ(window.Flow().canvasRect, (SRectWH{0, 0, c.width, c.height}));

    TPoint p0{}, p1{};
    paper.GetGradientLine(p0, p1);
    EXPECT_EQ(p0, (TPoint{0, 0}));
    EXPECT_EQ(p1, (TPoint{c.width << 16, 0}));
    EXPECT_EQ(paper.EventMngr()->stepCount(), 2);
  }
  EXPECT_EQ(readyCalls, (std::vector<int>{1, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Documents, NewDocumentSizes,
    ::testing::Values(SizeCase{"OnePixel", 1, 1, true, false}, SizeCase{"OddSizes", 33, 17, false, false},
                      SizeCase{"Screen", 640, 480, true, true}, SizeCase{"Strip", 1000, 3, false, true},
                      SizeCase{"TallPastTiles", 31, 4097, true, false}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST(NewDocument, TheStreamHoldsTheNewDocumentEventAndTheStartOfRecording) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  // A layer larger than the canvas, a transparent first layer, the canvas colour shown.
  ASSERT_TRUE(paper.InitDocument("a", &window.Flow(), true, false, 350, 120, 200, 100, 150));
  const CEventMngr& events = *paper.EventMngr();
  EXPECT_EQ(events.committed(), static_cast<int32_t>(events.writePos()));
  EXPECT_EQ(events.stepCount(), 2);
  const std::vector<StreamPacket> packets = ReadPackets(events);
  ASSERT_GE(packets.size(), 4u);

  EXPECT_EQ(packets[0].cls, 0);
  EXPECT_EQ(packets[0].code, 0);
  EXPECT_EQ(packets[0].payload, (std::vector<uint8_t>{4, 0, 58, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  // Canvas width and height, first layer width and height, resolution, then the flag bytes.
  std::vector<uint8_t> expected;
  for (int32_t v : {150, 100, 200, 120, 350}) test::AppendI32(expected, v);
  expected.insert(expected.end(), {0xFF, 0x00, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(packets[1].cls, 2);
  EXPECT_EQ(packets[1].code, 8);
  EXPECT_EQ(packets[1].payload, expected);

  // The second step: the document state that is not yet in the stream, the start time, the marker.
  std::vector<std::pair<int, int>> headers;
  for (size_t i = 2; i < packets.size(); ++i) headers.emplace_back(packets[i].cls, packets[i].code);
  const std::vector<std::pair<int, int>> second{{0, 2}, {0, 3},  {0, 4},  {0, 5},
                                                {0, 8}, {0, 12}, {1, 17}, {2, 254}};
  EXPECT_EQ(headers, second);
  EXPECT_EQ(packets[2].payload, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0}));  // white paper
  std::vector<uint8_t> line;
  for (int32_t v : {0, 0, 150 << 16, 0}) test::AppendI32(line, v);
  EXPECT_EQ(packets[4].payload, line);                                // the gradient line
  EXPECT_EQ(packets[6].payload, (std::vector<uint8_t>{0, 0, 0, 0}));  // layer 0, mask 0
  EXPECT_EQ(packets[8].payload.size(), 20u);                          // length 16 and the time
}

TEST(NewDocument, AnOpaqueDocumentWithTheCanvasColourHiddenStoresBothFlagsAsZero) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("b", &window.Flow(), false, true, 72, 8, 9));
  const std::vector<StreamPacket> packets = ReadPackets(*paper.EventMngr());
  ASSERT_GE(packets.size(), 2u);
  ASSERT_EQ(packets[1].payload.size(), 28u);
  EXPECT_EQ(packets[1].payload[20], 0x00);  // canvas colour hidden
  EXPECT_EQ(packets[1].payload[21], 0xFF);  // opaque first layer
}

TEST(NewDocument, ALegacyDocumentGetsAnOpaqueMultiplyLayerOfTheCanvasSize) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  paper.strokeRoutine = StrokeRoutine::kLegacy;
  paper.AdoptDocumentUndo(nullptr);  // an older-version recording keeps undo in its layers
  ASSERT_TRUE(paper.InitDocument("old", &window.Flow(), true, false, 0, 300, 300, 40, 50));
  const CLayerData& layer = *paper.GetLayer(0);
  EXPECT_EQ(layer.blendMode, 0);
  EXPECT_EQ(layer.StoreWidth(), 50);
  EXPECT_EQ(layer.StoreHeight(), 40);
  EXPECT_EQ(layer.Store()->GetPixel(7, 7), 0xFFFFFFFFu);
  EXPECT_TRUE(layer.HasOwnUndo());
}

struct RefusalCase {
  const char* name;
  friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
  int32_t canvasWidth;
  int32_t canvasHeight;
  int32_t layerWidth;
  int32_t layerHeight;
};

class NewDocumentRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(NewDocumentRefusals, RecordNothingAndChangeNothing) {
  PaperTestScope scope;
  const RefusalCase& c = GetParam();
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  int readyCalls = 0;
  paper.readyHandler = [&](TPaper&, bool) { ++readyCalls; };
  const uint32_t writePos = paper.EventMngr()->writePos();
  EXPECT_FALSE(paper.InitDocument("x", &window.Flow(), false, false, 72, c.layerHeight, c.layerWidth,
                                  c.canvasHeight, c.canvasWidth));
  EXPECT_EQ(paper.ready, 0);
  EXPECT_EQ(readyCalls, 0);
  EXPECT_EQ(paper.GetLayerCount(), 0);
  EXPECT_EQ(paper.canvasWidth, 0);
  EXPECT_EQ(paper.canvasHeight, 0);
  EXPECT_TRUE(paper.filePath.empty());
  EXPECT_EQ(paper.DisplayBuffer().Width(), 0);
  EXPECT_EQ(paper.EventMngr()->writePos(), writePos);
  EXPECT_EQ(paper.EventMngr()->stepCount(), 0);
  EXPECT_TRUE(scope.warnings.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Arguments, NewDocumentRefusals,
                         ::testing::Values(RefusalCase{"ZeroWidth", 0, 10, 10, 10},
                                           RefusalCase{"NegativeHeight", 10, -1, 10, 10},
                                           RefusalCase{"ZeroLayerWidth", 10, 10, 0, 10},
                                           RefusalCase{"NegativeLayerHeight", 10, 10, 10, -7},
                                           RefusalCase{"CanvasBeyondADisplayBuffer", 50000, 50000, 10, 10},
                                           RefusalCase{"LargestSides", INT32_MAX, INT32_MAX, 1, 1}),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(NewDocument, ASecondSetUpIsRefused) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("first", &window.Flow(), false, false, 72, 20, 30));
  const uint32_t writePos = paper.EventMngr()->writePos();
  EXPECT_FALSE(paper.NewDocument("second", &window.Flow(), true, true, 300, 50, 60));
  EXPECT_EQ(paper.filePath, "first");
  EXPECT_EQ(paper.canvasWidth, 30);
  EXPECT_EQ(paper.GetLayerCount(), 1);
  EXPECT_EQ(paper.EventMngr()->writePos(), writePos);
}

// A first layer that cannot be made used to leave an empty stack behind a document marked ready,
// with its new-document event recorded. The set-up fails instead.
TEST(NewDocument, AFirstLayerThatCannotBeMadeFailsTheSetUp) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  int readyCalls = 0;
  paper.readyHandler = [&](TPaper&, bool) { ++readyCalls; };
  // A store of this size has more tiles than a store can count.
  EXPECT_FALSE(paper.InitDocument("big", &window.Flow(), false, false, 72, 3000000, 3000000, 64, 64));
  EXPECT_EQ(scope.warnings.Texts(), std::vector<std::string>{kLayerInitFailedText});
  EXPECT_EQ(paper.ready, 0);
  EXPECT_EQ(readyCalls, 0);
  EXPECT_EQ(paper.GetLayerCount(), 0);
  EXPECT_EQ(paper.GetActiveLayerIndex(), -1);
  const std::vector<StreamPacket> packets = ReadPackets(*paper.EventMngr());
  ASSERT_EQ(packets.size(), 1u);  // the application-state record of the recorder's set-up only
  EXPECT_EQ(packets[0].cls, 0);
  EXPECT_EQ(paper.EventMngr()->stepCount(), 0);
  EXPECT_EQ(window.Flow().layer, -1);
}

TEST(NewDocument, WithSelectionSlotsMakesSlotsOfTheCanvasSize) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  EXPECT_TRUE(paper.NewDocumentWithSlots("old", &window.Flow(), 30, 40));
  ASSERT_NE(paper.SelectMngr(), nullptr);
  EXPECT_EQ(paper.SelectMngr()->Width(), 40);
  EXPECT_EQ(paper.SelectMngr()->Height(), 30);
  EXPECT_EQ(paper.ready, 1);
  EXPECT_EQ(paper.GetLayerCount(), 1);
}

TEST(CanvasSize, SetsCanvasBuffersAndScrollBarsAndRefusesSizesABufferCannotHold) {
  PaperTestScope scope;
  std::vector<std::string> log;
  test::ScriptedWindow window(log);
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("c", &window.Flow(), false, false, 72, 40, 50));
  log.clear();
  EXPECT_TRUE(paper.SetCanvasSize(nullptr, 80, 60));  // the window's working copy
  EXPECT_EQ(paper.canvasWidth, 80);
  EXPECT_EQ(paper.canvasHeight, 60);
  EXPECT_EQ(paper.DisplayBuffer().Size(), (SSize{80, 60}));
  EXPECT_EQ(paper.Layers().CanvasWidth(), 80);
  EXPECT_EQ(log, std::vector<std::string>{"scrollbars"});
  // The layer is not touched; the working copy keeps at least the largest store.
  EXPECT_EQ(paper.GetLayer(0)->StoreWidth(), 50);
  EXPECT_EQ(window.Flow().Image().Width(), 50);

  for (SSize bad : {SSize{0, 5}, SSize{5, -1}, SSize{40000, 40000}}) {
    EXPECT_FALSE(paper.SetCanvasSize(nullptr, bad.width, bad.height));
    EXPECT_EQ(paper.canvasWidth, 80);
    EXPECT_EQ(paper.DisplayBuffer().Size(), (SSize{80, 60}));
  }
}

TEST(StartEventRecording, FalseWhenTheRecorderIsNotRecording) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  paper.EventMngr()->state = kEventPlaying;
  EXPECT_FALSE(paper.StartEventRecording());
  // A recording played into a new document records no new-document event of its own.
  const uint32_t writePos = paper.EventMngr()->writePos();
  ASSERT_TRUE(paper.NewDocument("played", &window.Flow(), false, false, 72, 10, 10));
  EXPECT_EQ(paper.EventMngr()->writePos(), writePos);
  EXPECT_EQ(paper.ready, 1);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// A headless document set up and changed by the commands built so far: its recording is a
// stream of whole steps whose every packet has the length its class and code give it.
TEST(HeadlessSession, RecordsAStreamOfWholeKnownPackets) {
  test::PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("session", &window.Flow(), true, false, 96, 120, 160));
  for (uint32_t colour : {0xFF0000u, 0x00FF00u, 0x0000FFu}) ASSERT_TRUE(paper.SetPaperColor(colour, true));
  ASSERT_TRUE(paper.SetPaperColor(0x123456, false));  // replayed: not recorded
  scope.host.stroke.state.secondColor = 0x00ABCDEF;   // a state change carried by the next step
  ASSERT_TRUE(paper.SetPaperColor(0xFFFFFF, true));

  const CEventMngr& events = *paper.EventMngr();
  EXPECT_EQ(events.stepCount(), 2 + 4);
  EXPECT_EQ(events.committed(), static_cast<int32_t>(events.writePos()));
  int count = 0;
  const SPacketWalkResult walk = events.walkPackets(0, events.writePos(), [&](const SPacketFrame& frame) {
    ++count;
    uint8_t fixed[64] = {};
    const uint32_t available = std::min<uint32_t>(static_cast<uint32_t>(frame.length), sizeof fixed);
    if (available > 0) events.readAt(frame.payloadPos, fixed, available);
    EXPECT_EQ(PacketLengthFromBytes(frame.header.cls, frame.header.code, fixed, available), frame.length)
        << int(frame.header.cls) << "/" << int(frame.header.code);
    return true;
  });
  EXPECT_TRUE(walk.ok);
  const std::vector<StreamPacket> packets = ReadPackets(events);
  ASSERT_EQ(static_cast<int>(packets.size()), count);
  // The last step: the replayed colour and the stroke's second colour as state, then the command.
  ASSERT_GE(packets.size(), 5u);
  EXPECT_EQ(packets[packets.size() - 4].code, 2);
  EXPECT_EQ(packets[packets.size() - 4].payload, (std::vector<uint8_t>{0x56, 0x34, 0x12, 0}));
  EXPECT_EQ(packets[packets.size() - 3].code, 3);
  EXPECT_EQ(packets[packets.size() - 3].payload, (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0}));
  EXPECT_EQ(packets[packets.size() - 2].code, 8);
  EXPECT_EQ(packets.back().cls, 2);
  EXPECT_EQ(packets.back().code, 1);
}

}  // namespace
}  // namespace tf
