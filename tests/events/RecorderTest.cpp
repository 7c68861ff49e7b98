// The recorder's writers: the bytes each command appends, checked against layouts written out
// by hand, and the steps they close.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "events/EventStream.h"
#include "platform/BlockPack.h"
#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "support/FakeRecordSources.h"

namespace tf {
namespace {

// Little-endian bytes, written field by field.
class Bytes {
 public:
  Bytes& u8(uint32_t v) {
    b_.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  Bytes& u16(uint32_t v) { return u8(v).u8(v >> 8); }
  Bytes& u32(uint32_t v) { return u16(v).u16(v >> 16); }
  Bytes& f32(float v) { return u32(std::bit_cast<uint32_t>(v)); }
  Bytes& zeros(size_t n) {
    b_.insert(b_.end(), n, 0);
    return *this;
  }
  Bytes& text(const std::string& s, size_t n) {
    size_t at = b_.size();
    zeros(n);
    std::memcpy(b_.data() + at, s.data(), s.size());
    return *this;
  }
  Bytes& raw(const std::vector<uint8_t>& v) {
    b_.insert(b_.end(), v.begin(), v.end());
    return *this;
  }
  operator std::vector<uint8_t>() const { return b_; }

 private:
  std::vector<uint8_t> b_;
};

Bytes Header(uint8_t cls, uint8_t code) { return Bytes().u8(cls).u8(code); }

class RecorderFixture {
 public:
  RecorderFixture() {
    mngr.attachDocument(&document);
    mngr.attachPen(&pen);
    tones.pattern.key = 5;
    tones.tile = std::make_unique<TChannel>(4, 4);
    tones.tile->GetPixelPtr(1, 2)[0] = 90;
    previousHost_ = SetWarningHost(&warnings);
    EXPECT_TRUE(mngr.setupRecording(&stroke, &tones, 42, 42));
    EXPECT_TRUE(mngr.writeNewDocument(64, 48, 64, 48, 72, true, false));
    EXPECT_TRUE(mngr.startRecording());
    EXPECT_TRUE(mngr.writeAllState());
    EXPECT_TRUE(mngr.commitStep());
  }
  ~RecorderFixture() { SetWarningHost(previousHost_); }

  std::vector<uint8_t> Read(uint32_t from, uint32_t to) {
    std::vector<uint8_t> bytes(to - from);
    if (!bytes.empty()) {
      EXPECT_EQ(mngr.readSpan(from, bytes.data(), to - from), to - from);
    }
    return bytes;
  }

  // The packets of [from, to) as (class, code) pairs and their bytes.
  std::vector<std::vector<uint8_t>> Packets(uint32_t from, uint32_t to) {
    std::vector<std::vector<uint8_t>> packets;
    SPacketWalkResult walk = mngr.walkPackets(from, to, [&](const SPacketFrame& f) {
      packets.push_back(Read(f.pos, f.next()));
      return true;
    });
    EXPECT_TRUE(walk.ok);
    return packets;
  }

  FakeRecordedDocument document;
  FakeRecordedStroke stroke;
  FakeRecordedPen pen;
  FakeRecordedTones tones;
  RecordingWarningHost warnings;
  WarningHost* previousHost_ = nullptr;
  CEventMngr mngr{65536, 1048576};
};

// The step that one writer closes: the active layer record that every document step carries,
// then the command's packet.
std::vector<uint8_t> ActiveLayerRecord(int16_t layer, int16_t mask) {
  return Header(0, 8).u16(static_cast<uint16_t>(layer)).u16(static_cast<uint16_t>(mask));
}

struct WriterCase {
  const char* name;
  std::function<bool(CEventMngr&)> call;
  std::vector<uint8_t> packet;
};

void PrintTo(const WriterCase& c, std::ostream* os) { *os << c.name; }

std::vector<WriterCase> WriterCases() {
  const TPoint polygon[3] = {{1, 2}, {30, 4}, {5, -6}};
  std::vector<WriterCase> cases = {
      {"PaperTurnClockwise", [](CEventMngr& m) { return m.writePaperOp(4); }, Header(2, 4)},
      {"PaperFlipAll", [](CEventMngr& m) { return m.writePaperOp(32); }, Header(2, 32)},
      {"PaperColor", [](CEventMngr& m) { return m.writePaperColor(0x00A1B2C3); },
       Header(2, 1).u32(0x00A1B2C3)},
      {"CanvasSize", [](CEventMngr& m) { return m.writeCanvasSize(300, 200, 1, 4); },
       Header(2, 2).u8(4).u8(1).u32(300).u32(200)},
      {"Resolution", [](CEventMngr& m) { return m.writeResolution(9, 1, 640, 480); },
       Header(2, 9).u16(1).u32(640).u32(480)},
      {"ResolutionFirstForm", [](CEventMngr& m) { return m.writeResolution(3, 0, 320, 240); },
       Header(2, 3).u16(0).u32(320).u32(240)},
      {"MergeVisible", [](CEventMngr& m) { return m.writeMergeVisible(2, 0, 1, 0); },
       Header(2, 10).u16(2).u16(0).u32(1).u32(0)},
      {"ShowAllLayers", [](CEventMngr& m) { return m.writePaperValue(1, 1, 24); },
       Header(2, 24).u16(1).u16(1)},
      {"InvertVisibility", [](CEventMngr& m) { return m.writePaperValue(-1, 0, 26); },
       Header(2, 26).u16(0xFFFF).u16(0)},
      {"TrimCanvas",
       [](CEventMngr& m) { return m.writeTrimCanvas(1, 1, SRectWH{2, 3, 40, 30}); },
       Header(2, 11).u16(1).u16(1).u32(2).u32(3).u32(40).u32(30)},
      {"AddLayer",
       [](CEventMngr& m) { return m.writeAddLayer(1, 64, true, true, 200, 5, 48); },
       Header(4, 0).u16(1).u32(64).u32(48).u8(5).u8(200).u16(3)},
      {"NewNamedLayer",
       [](CEventMngr& m) {
         return m.writeNewLayer(2, 64, false, true, "abc", 0x00FFFFFF, 255, 3, 48);
       },
       Header(4, 11).u16(2).u32(64).u32(48).zeros(8).u8(3).u8(255).u16(1).u32(0x00FFFFFF)
           .zeros(14).u16(4).text("abc", 4)},
      {"NewLayerEvenName",
       [](CEventMngr& m) { return m.writeNewLayer(0, 8, true, false, "ab", 0, 128, 0, 8); },
       Header(4, 11).u16(0).u32(8).u32(8).zeros(8).u8(0).u8(128).u16(2).u32(0).zeros(14)
           .u16(4).text("ab", 4)},
      {"DeleteLayer", [](CEventMngr& m) { return m.writeLayerOp(1, 0, 1); },
       Header(4, 1).u16(1).u16(0)},
      {"MoveLayer", [](CEventMngr& m) { return m.writeLayerOp(1, 2, 4); },
       Header(4, 4).u16(1).u16(2)},
      {"CutSelection", [](CEventMngr& m) { return m.writeLayerOp(0, 3, 9); },
       Header(4, 9).u16(0).u16(3)},
      {"TurnLayerAnticlockwise", [](CEventMngr& m) { return m.writeLayerOp(2, 0, 37); },
       Header(4, 37).u16(2).u16(0)},
      {"MergeKeepingSettings", [](CEventMngr& m) { return m.writeLayerOpEx(1, 2, 10, 7, 9); },
       Header(4, 10).u16(1).u16(2).u32(9).u32(7)},
      {"RotateLayer",
       [](CEventMngr& m) {
         return m.writeLayerOpEx(1, 0, 38, 0, std::bit_cast<int32_t>(12.5f));
       },
       Header(4, 38).u16(1).u16(0).f32(12.5f).u32(0)},
      {"ScaleLayer", [](CEventMngr& m) { return m.writeLayerOpEx(1, 0, 39, 100, 80); },
       Header(4, 39).u16(1).u16(0).u32(100).u32(80)},
      {"FlipInSelectionKeepingAlpha",
       [](CEventMngr& m) { return m.writeLayerOpEx(1, -1, 48, 0, 1); },
       Header(4, 48).u16(1).u16(0xFFFF).u8(1).zeros(3).u32(0)},
      {"LayerBlend", [](CEventMngr& m) { return m.writeLayerBlend(1, 7); },
       Header(4, 16).u16(1).u8(7).u8(255).u16(1)},
      {"LayerOpacity", [](CEventMngr& m) { return m.writeLayerOpacity(1, 128); },
       Header(4, 17).u16(1).u8(3).u8(128).u16(1)},
      {"LayerHidden", [](CEventMngr& m) { return m.writeLayerVisible(1, false); },
       Header(4, 18).u16(1).u8(3).u8(255).u16(0)},
      {"LayerProtected", [](CEventMngr& m) { return m.writeLayerProtect(1, true); },
       Header(4, 20).u16(1).u8(3).u8(255).u16(3)},
      {"LayerDissolve",
       [](CEventMngr& m) { return m.writeLayerDissolve(1, true, 12345, 77); },
       Header(4, 21).u16(1).u8(3).u8(255).u16(0x11).u8(77).u8(0).u32(12345).zeros(6)},
      {"OffsetLayer", [](CEventMngr& m) { return m.writeLayerOffset(1, 5, -6); },
       Header(4, 6).u16(1).zeros(2).u32(5).u32(static_cast<uint32_t>(-6))},
      {"OffsetLayerGrow", [](CEventMngr& m) { return m.writeLayerOffsetGrow(1, 3, 1, -6, 5); },
       Header(4, 7).u16(1).u8(3).u8(1).u32(static_cast<uint32_t>(-6)).u32(5)},
      {"OffsetInMask",
       [](CEventMngr& m) { return m.writeLayerOffsetInMask(1, 0, TPoint{4, 5}); },
       Header(4, 12).u16(1).u16(0).u32(4).u32(5).zeros(8)},
      {"OffsetInMaskGrow",
       [](CEventMngr& m) { return m.writeLayerOffsetInMaskGrow(1, 0, TPoint{4, 5}, 2); },
       Header(4, 13).u16(1).u16(0).u32(4).u32(5).u16(2).zeros(6)},
      {"RenameLayer", [](CEventMngr& m) { return m.writeLayerName(1, "name"); },
       Header(4, 19).u16(1).u16(6).text("name", 6)},
      {"LinkDeeper",
       [](CEventMngr& m) {
         const uint8_t after[2] = {1, 2}, before[2] = {0, 1};
         return m.writeLinkGroup(2, true, after, before, 2);
       },
       Header(5, 0).u16(2).u32(2).u8(1).u8(2).zeros(4).u32(4).zeros(8).u8(1).u8(2).u8(0).u8(1)},
      {"Unlink",
       [](CEventMngr& m) {
         const uint8_t after[1] = {0}, before[1] = {1};
         return m.writeLinkGroup(3, false, after, before, 1);
       },
       Header(5, 1).u16(3).u32(1).u8(1).u8(2).zeros(4).u32(2).zeros(8).u8(0).u8(1)},
      {"MergeGroup", [](CEventMngr& m) { return m.writeLinkGroupOp(12, 2, 1, 3, 4); },
       Header(5, 12).u16(2).u16(1).u32(3).u32(4)},
      {"OffsetGroup",
       [](CEventMngr& m) { return m.writeLinkGroupOpEx(9, 2, 3, 3, TPoint{7, 8}, -1); },
       Header(5, 9).u16(2).u16(3).u32(7).u32(8).u32(3).u32(0xFFFFFFFF)},
      {"FillRectangle",
       [](CEventMngr& m) {
         const TPoint a{1, 2};
         const SPointF b{3.5f, 4.5f};
         return m.writeFill(0, 1, 1, &a, &b);
       },
       Header(6, 1).u16(0).u32(1).u32(1).u32(2).f32(3.5f).f32(4.5f)},
      {"FillLayerWithoutPoints",
       [](CEventMngr& m) { return m.writeFill(0, 2, 0, nullptr, nullptr); },
       Header(6, 0).u16(0).u32(2).zeros(16)},
      {"FillPolygon",
       [polygon](CEventMngr& m) { return m.writeFillPolygon(0, 3, polygon); },
       Header(6, 4).u16(0).u16(3).u32(1).u32(2).u32(30).u32(4).u32(5).u32(static_cast<uint32_t>(-6))},
      {"InvertSelection", [](CEventMngr& m) { return m.writeMaskOp(0, -1, 3); },
       Header(10, 3).u16(0).u16(0xFFFF)},
      {"GrowSelection", [](CEventMngr& m) { return m.writeMaskOpEx(0, 1, 10, 0, 1); },
       Header(10, 10).u16(0).u16(1).u32(0).u32(1)},
      {"SelectRectangle",
       [](CEventMngr& m) {
         const TPoint a{1, 2}, b{10, 20};
         return m.writeMaskRect(0, -1, 16, 1, &a, &b);
       },
       Header(10, 16).u16(0).u16(0xFFFF).u8(1).u8(0).u32(1).u32(2).u32(10).u32(20)},
      {"SelectEllipseOnePoint",
       [](CEventMngr& m) {
         const TPoint a{1, 2};
         return m.writeMaskRect(0, 2, 19, 3, &a, nullptr);
       },
       Header(10, 19).u16(0).u16(2).u8(3).u8(0).u32(1).u32(2).zeros(8)},
      {"SelectPolygon",
       [polygon](CEventMngr& m) { return m.writeMaskPolygon(0, -1, 2, polygon, 3); },
       Header(10, 18).u16(0).u16(0xFFFF).u8(2).u8(0).u16(3).u32(1).u32(2).u32(30).u32(4).u32(5)
           .u32(static_cast<uint32_t>(-6))},
      {"RenameMask", [](CEventMngr& m) { return m.writeMaskName(1, "sel"); },
       Header(10, 12).u16(1).u16(4).text("sel", 4)},
      {"FilterNoParameters", [](CEventMngr& m) { return m.writeFilter0(8, 0, 0); },
       Header(32, 8).u16(0).u16(0)},
      {"FilterTwoParameters",
       [](CEventMngr& m) {
         const int32_t p[2] = {5, -6};
         return m.writeFilter2(26, 0, 1, p);
       },
       Header(33, 26).u16(0).u16(1).u32(5).u32(static_cast<uint32_t>(-6))},
      {"FilterFourParameters",
       [](CEventMngr& m) {
         const int32_t p[4] = {1, 2, 3, 4};
         return m.writeFilter4(62, 1, 0, p);
       },
       Header(34, 62).u16(1).u16(0).u32(1).u32(2).u32(3).u32(4)},
      {"FilterSixParameters",
       [](CEventMngr& m) {
         const int32_t p[6] = {1, 2, 3, 4, 5, 6};
         return m.writeFilter6(60, 1, 0, p);
       },
       Header(35, 60).u16(1).u16(0).u32(1).u32(2).u32(3).u32(4).u32(5).u32(6)},
      {"FilterBlock",
       [](CEventMngr& m) {
         SFilterBlock block;
         InitFilterBlock(block, 1, 2, 1, 4);
         const uint8_t data[4] = {9, 8, 7, 6};
         return m.writeFilterBlock(51, block, data);
       },
       Header(38, 51).u16(1).u16(2).u16(4).u16(1).u16(4).zeros(40).u8(9).u8(8).u8(7).u8(6)},
  };
  return cases;
}

class WriterTest : public ::testing::TestWithParam<WriterCase> {};

TEST_P(WriterTest, AppendsItsPacketAfterTheActiveLayerAndClosesTheStep) {
  RecorderFixture f;
  const WriterCase& c = GetParam();
  const uint32_t start = f.mngr.writePos();
  const int32_t steps = f.mngr.stepCount();
  ASSERT_TRUE(c.call(f.mngr));
  EXPECT_EQ(f.mngr.stepCount(), steps + 1);
  EXPECT_EQ(static_cast<uint32_t>(f.mngr.committed()), f.mngr.writePos());
  auto packets = f.Packets(start, f.mngr.writePos());
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0], ActiveLayerRecord(0, -1));
  EXPECT_EQ(packets[1], c.packet);
}

INSTANTIATE_TEST_SUITE_P(Recorder, WriterTest, ::testing::ValuesIn(WriterCases()),
                         [](const ::testing::TestParamInfo<WriterCase>& info) {
                           return std::string(info.param.name);
                         });

// The (class, code) pairs of the packets of [from, to).
std::vector<std::pair<int, int>> Codes(RecorderFixture& f, uint32_t from, uint32_t to) {
  std::vector<std::pair<int, int>> codes;
  for (const auto& p : f.Packets(from, to)) codes.emplace_back(p[0], p[1]);
  return codes;
}

// The state codes of the step a command just closed, in order.
std::vector<int> StateCodesOfStep(RecorderFixture& f, uint32_t from) {
  std::vector<int> codes;
  for (auto [cls, code] : Codes(f, from, f.mngr.writePos()))
    if (cls == 0) codes.push_back(code);
  return codes;
}

TEST(RecorderStart, ANewRecordingOpensWithTheDocumentAndTheStartMarker) {
  WallTimeSource previous = SetWallTimeSource([] { return SSystemTime{2026, 12, 4, 10, 16, 34, 13, 250}; });
  FakeRecordedDocument document;
  FakeRecordedStroke stroke;
  FakeRecordedPen pen;
  FakeRecordedTones tones;
  CEventMngr m(65536, 1048576);
  m.attachDocument(&document);
  m.attachPen(&pen);
  ASSERT_TRUE(m.setupRecording(&stroke, &tones, 42, 42));
  ASSERT_TRUE(m.writeNewDocument(640, 480, 320, 240, 350, false, true));
  EXPECT_EQ(m.stepCount(), 1);
  std::vector<uint8_t> first(m.committed());
  ASSERT_EQ(m.readSpan(0, first.data(), static_cast<uint32_t>(first.size())), first.size());
  std::vector<uint8_t> expected = Header(0, 0).u16(4).u16(58).u16(0).zeros(6);
  std::vector<uint8_t> doc =
      Header(2, 8).u32(640).u32(480).u32(320).u32(240).u32(350).u8(0).u8(0xFF).u16(0).u32(0);
  expected.insert(expected.end(), doc.begin(), doc.end());
  EXPECT_EQ(first, expected);

  const uint32_t start = m.writePos();
  ASSERT_TRUE(m.startRecording());
  EXPECT_EQ(m.stepCount(), 2);
  std::vector<std::pair<int, int>> codes;
  std::vector<uint8_t> startTime;
  m.walkPackets(start, static_cast<uint32_t>(m.committed()), [&](const SPacketFrame& f) {
    codes.emplace_back(f.header.cls, f.header.code);
    if (f.header.cls == 1) {
      startTime.resize(f.length);
      m.readAt(f.payloadPos, startTime.data(), f.length);
    }
    return true;
  });
  const std::vector<std::pair<int, int>> want = {{0, 2}, {0, 3},  {0, 4},  {0, 5},
                                                 {0, 8}, {0, 12}, {1, 17}, {2, 254}};
  EXPECT_EQ(codes, want);
  EXPECT_EQ(startTime, std::vector<uint8_t>(
                           Bytes().u32(16).u16(2026).u16(12).u16(4).u16(10).u16(16).u16(34).u16(13).u16(250)));
  EXPECT_EQ(m.startTime.year, 2026);
  SetWallTimeSource(previous);
}

// One setting changed before a command: the records written in its step, in order.
struct StateChangeCase {
  const char* name;
  std::function<void(RecorderFixture&)> change;
  std::vector<int> codes;
};
void PrintTo(const StateChangeCase& c, std::ostream* os) { *os << c.name; }

class StateChangeTest : public ::testing::TestWithParam<StateChangeCase> {};

TEST_P(StateChangeTest, OnlyTheChangedRecordsPrecedeTheCommandAndOnlyOnce) {
  RecorderFixture f;
  const StateChangeCase& c = GetParam();
  const int32_t params[2] = {1, 2};
  c.change(f);
  uint32_t start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeFilter2(26, 0, 0, params));  // a command after the whole state
  EXPECT_EQ(StateCodesOfStep(f, start), c.codes);
  // The same command again: only the active layer, which every step names.
  start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeFilter2(26, 0, 0, params));
  EXPECT_EQ(StateCodesOfStep(f, start), std::vector<int>{8});
}

std::vector<StateChangeCase> StateChangeCases() {
  return {
      {"Nothing", [](RecorderFixture&) {}, {8}},
      {"PaperColor", [](RecorderFixture& f) { f.document.paper = 0x123456; }, {2, 8}},
      {"CanvasColorHidden", [](RecorderFixture& f) { f.document.showCanvas = false; }, {3, 8}},
      {"SecondColor", [](RecorderFixture& f) { f.stroke.state.secondColor = 0x0000FF; }, {3, 8}},
      {"GradientPoints",
       [](RecorderFixture& f) {
         f.document.gradEnd = TPoint{5, 9};
       },
       {4, 8}},
      {"GradientOptions", [](RecorderFixture& f) { f.document.gradOptions.repeatCount = 3; }, {5, 8}},
      {"ActiveLayer", [](RecorderFixture& f) { f.document.activeLayer = 2; }, {8}},
      {"SelectionEnabled", [](RecorderFixture& f) { f.document.selection = true; }, {8, 12}},
      {"PressureSwitch", [](RecorderFixture& f) { f.stroke.state.edge = true; }, {8, 13}},
      {"PenColor", [](RecorderFixture& f) { f.stroke.state.color = 0x00FF00; }, {8, 16}},
      {"PenOpacity", [](RecorderFixture& f) { f.stroke.state.opacity = 0.5f; }, {8, 16}},
      {"PenWidth", [](RecorderFixture& f) { f.stroke.state.width = 12.0f; }, {8, 17}},
      {"PenGamma", [](RecorderFixture& f) { f.stroke.state.gamma = 2.0f; }, {8, 18}},
      {"MapSelector", [](RecorderFixture& f) { f.stroke.state.mapSelector = 3; }, {8, 18}},
      {"Falloff", [](RecorderFixture& f) { f.pen.state.falloffValue2 = 9; }, {8, 48}},
      {"NibColors", [](RecorderFixture& f) { f.pen.state.color2 = 7; }, {8, 50}},
      {"NibShape", [](RecorderFixture& f) { f.pen.state.nibValues[3] = 40; }, {8, 52}},
      {"NibFlags", [](RecorderFixture& f) { f.pen.state.nibFlags = 0x100; }, {8, 53}},
      {"PenParamsFirstBytes", [](RecorderFixture& f) { f.pen.state.penParams[1] = 2; }, {8, 56}},
      {"PenParamsByte3", [](RecorderFixture& f) { f.pen.state.penParams[3] = 1; }, {8, 56}},
      {"PenParamsWords", [](RecorderFixture& f) { f.pen.state.penParams[9] = 1; }, {8, 57}},
      {"StrokeDynamics", [](RecorderFixture& f) { f.pen.state.strokeParams.spacing1000 = 250; }, {8, 60}},
      {"Gradation", [](RecorderFixture& f) { f.stroke.state.useGradation = true; }, {8, 12, 40, 58}},
      {"Tone", [](RecorderFixture& f) { f.stroke.state.useTone = true; }, {8, 12, 36, 58}},
      {"ImageNib",
       [](RecorderFixture& f) {
         f.document.nib.key = 77;
         f.document.nibChannel = std::make_unique<TChannel>(3, 2);
         f.document.nibChannel->GetPixelPtr(1, 1)[0] = 200;
       },
       {8, 52, 44}},
      {"Everything",
       [](RecorderFixture& f) {
         f.document.paper = 1;
         f.document.showCanvas = false;
         f.document.gradStart = TPoint{1, 1};
         f.document.gradOptions.shape = 1;
         f.document.selection = true;
         f.stroke.state.useGradation = true;
         f.stroke.state.useTone = true;
         f.stroke.state.pressureToSize = true;
         f.stroke.state.color = 5;
         f.stroke.state.width = 3;
         f.stroke.state.speed = 2;
         f.pen.state.falloffKind = 2;
         f.pen.state.color1 = 9;
         f.pen.state.nibValues[0] = 11;
         f.pen.state.nibFlags = 1;
         f.document.nib.key = 78;
         f.document.nibChannel = std::make_unique<TChannel>(2, 2);
         f.document.nibChannel->GetPixelPtr(0, 0)[0] = 1;
         f.pen.state.penParams[0] = 1;
         f.pen.state.penParams[12] = 1;
         f.pen.state.strokeParams.gamma100 = 150;
       },
       {2, 3, 4, 5, 8, 12, 36, 40, 13, 16, 17, 18, 48, 50, 52, 53, 44, 56, 57, 58, 60}},
  };
}

INSTANTIATE_TEST_SUITE_P(Recorder, StateChangeTest, ::testing::ValuesIn(StateChangeCases()),
                         [](const ::testing::TestParamInfo<StateChangeCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(RecorderState, DocumentCommandsWriteOnlyTheDocumentGroup) {
  RecorderFixture f;
  f.stroke.state.color = 0x00FF00;  // a stroke setting: not part of the document group
  f.document.paper = 0x101010;
  uint32_t start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeLayerOp(1, 0, 2));
  EXPECT_EQ(StateCodesOfStep(f, start), (std::vector<int>{2, 8}));
  // The pen colour waits for the next stroke, and is written there once.
  start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.beginStroke(1, 2, 0.5f));
  ASSERT_TRUE(f.mngr.endStroke());
  EXPECT_EQ(StateCodesOfStep(f, start), (std::vector<int>{8, 16}));
  start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.beginStroke(1, 2, 0.5f));
  ASSERT_TRUE(f.mngr.endStroke());
  EXPECT_EQ(StateCodesOfStep(f, start), (std::vector<int>{8}));
}

TEST(RecorderState, CommandsThatChangeTheStructureNameTheActiveLayerAgain) {
  RecorderFixture f;
  ASSERT_TRUE(f.mngr.writeLayerOp(1, 0, 2));  // clear: the structure stays
  EXPECT_TRUE(f.mngr.isSnapshotValid(kStActiveLayer));
  ASSERT_TRUE(f.mngr.writeLayerOp(1, 0, 3));  // duplicate
  EXPECT_FALSE(f.mngr.isSnapshotValid(kStActiveLayer));
  ASSERT_TRUE(f.mngr.writeMaskOp(0, -1, 3));  // invert selection
  EXPECT_TRUE(f.mngr.isSnapshotValid(kStActiveLayer));
  ASSERT_TRUE(f.mngr.writeMaskOp(0, -1, 0));  // new mask
  EXPECT_FALSE(f.mngr.isSnapshotValid(kStActiveLayer));
  ASSERT_TRUE(f.mngr.writePaperValue(1, 0, 25));
  EXPECT_FALSE(f.mngr.isSnapshotValid(kStActiveLayer));
}

TEST(RecorderState, AGradientFillAlwaysCarriesTheGradientColours) {
  RecorderFixture f;
  for (int i = 0; i < 2; ++i) {
    const uint32_t start = f.mngr.writePos();
    const TPoint a{0, 0};
    const SPointF b{10, 0};
    ASSERT_TRUE(f.mngr.writeFill(0, 0, 2, &a, &b));
    auto codes = Codes(f, start, f.mngr.writePos());
    const std::vector<std::pair<int, int>> want = {{0, 8}, {0, 40}, {6, 2}};
    EXPECT_EQ(codes, want);
  }
  // The colours packet: the gradient options with the slot byte count, then the slots.
  const uint32_t start = f.mngr.writePos();
  const TPoint a{0, 0};
  ASSERT_TRUE(f.mngr.writeFill(0, 0, 2, &a, nullptr));
  auto packets = f.Packets(start, f.mngr.writePos());
  ASSERT_EQ(packets.size(), 3u);
  const uint8_t* slots = nullptr;
  int32_t bytes = 0;
  ASSERT_TRUE(f.document.slots.GetData(slots, bytes));
  std::vector<uint8_t> want = Header(0, 40).u8(0).u8(0).u8(0).u8(0).u16(1).u16(bytes).zeros(4);
  want.insert(want.end(), slots, slots + bytes);
  EXPECT_EQ(packets[1], want);
}

TEST(RecorderState, NothingIsRecordedWhileTheStreamPlays) {
  RecorderFixture f;
  f.mngr.state = kEventPlaying;
  const uint32_t start = f.mngr.writePos();
  f.document.paper = 5;
  EXPECT_TRUE(f.mngr.writeDocState());
  EXPECT_TRUE(f.mngr.writeLayerOp(1, 0, 1));
  EXPECT_TRUE(f.mngr.beginStroke(1, 1, 1));
  EXPECT_TRUE(f.mngr.addStrokePoint(1, 1, 1));
  EXPECT_TRUE(f.mngr.endStroke());
  EXPECT_TRUE(f.mngr.startRecording());
  EXPECT_EQ(f.mngr.writePos(), start);
  EXPECT_FALSE(f.mngr.isSnapshotValid(kStPaperColor) && f.mngr.records.paperColor.rgb[0] == 5);
}

TEST(RecorderState, CodesAWriterDoesNotTakeAreRefusedAndWriteNothing) {
  RecorderFixture f;
  const uint32_t start = f.mngr.writePos();
  const int32_t p2[2] = {0, 0};
  TMTC image(2, 2);
  TChannel channel(2, 2);
  channel.GetPixelPtr(0, 0)[0] = 1;
  const TPoint point{0, 0};
  EXPECT_FALSE(f.mngr.writeLayerOp(1, 0, 6));
  EXPECT_FALSE(f.mngr.writeLayerOp(1, 0, 10));
  EXPECT_FALSE(f.mngr.writeLayerOpEx(1, 0, 6, 0, 0));
  EXPECT_FALSE(f.mngr.writeLayerOpEx(1, 0, 11, 0, 0));
  EXPECT_FALSE(f.mngr.writePaperOp(8));
  EXPECT_FALSE(f.mngr.writePaperOp(254));
  EXPECT_FALSE(f.mngr.writePaperValue(1, 0, 23));
  EXPECT_FALSE(f.mngr.writeResolution(2, 0, 1, 1));
  EXPECT_FALSE(f.mngr.writeMaskOp(0, 0, 7));
  EXPECT_FALSE(f.mngr.writeMaskOpEx(0, 0, 0, 0, 0));
  EXPECT_FALSE(f.mngr.writeMaskRect(0, 0, 18, 0, &point, &point));
  EXPECT_FALSE(f.mngr.writeFill(0, 0, 4, &point, nullptr));
  EXPECT_FALSE(f.mngr.writeFill(0, 0, 7, &point, nullptr));
  EXPECT_FALSE(f.mngr.writeLinkGroupOp(9, 0, 0, 0, 0));
  EXPECT_FALSE(f.mngr.writeLinkGroupOpEx(8, 0, 0, 0, point, 0));
  EXPECT_FALSE(f.mngr.writeLayerImage(0, image, 0, "", nullptr));
  EXPECT_FALSE(f.mngr.writeMaskChannel(0, 0, 2, 0, 0, 0, 0, &point, channel));
  EXPECT_FALSE(f.mngr.writeMaskChannelEx(0, 0, 1, 0, 0, 0, 0, point, point, &point, channel));
  EXPECT_FALSE(f.mngr.writeFilter0(2, 0, 0));       // a class-33 id
  EXPECT_FALSE(f.mngr.writeFilter2(8, 0, 0, p2));   // a class-32 id
  EXPECT_FALSE(f.mngr.writeFilter2(40, 0, 0, p2));  // the floor filter has its own writer
  EXPECT_FALSE(
      f.mngr.writeTextSelection(0, 0, channel, point, 0, "a", std::vector<uint8_t>(60).data(), 0, 0, 18));
  EXPECT_EQ(f.mngr.writePos(), start);
  EXPECT_EQ(f.mngr.stepCount(), 3);
}

// ---------------------------------------------------------------------------------------------
// Strokes

std::vector<uint8_t> PointBytes(int first, int count) {
  Bytes b;
  for (int i = first; i < first + count; ++i)
    b.f32(static_cast<float>(i)).f32(static_cast<float>(i) + 0.5f).f32(0.25f);
  return b;
}

struct StrokeLengthCase {
  int points;
  std::vector<std::pair<int, int>> packets;  // after the start packet
};

TEST(RecorderStroke, PointsGoSixteenToAPacketAndTheLastPacketClosesTheStep) {
  const std::vector<StrokeLengthCase> cases = {
      {1, {{18, 1}}},
      {16, {{18, 16}}},
      {17, {{17, 16}, {18, 1}}},
      {33, {{17, 16}, {17, 16}, {18, 1}}},
      {40, {{17, 16}, {17, 16}, {18, 8}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.points);
    RecorderFixture f;
    const uint32_t start = f.mngr.writePos();
    const int32_t steps = f.mngr.stepCount();
    ASSERT_TRUE(f.mngr.beginStroke(0, 0.5f, 0.25f));
    EXPECT_TRUE(f.mngr.isInStroke());
    for (int i = 1; i < c.points; ++i) ASSERT_TRUE(f.mngr.addStrokePoint(static_cast<float>(i), i + 0.5f, 0.25f));
    EXPECT_EQ(f.mngr.stepCount(), steps);  // the step stays open until the end
    ASSERT_TRUE(f.mngr.endStroke());
    EXPECT_FALSE(f.mngr.isInStroke());
    EXPECT_EQ(f.mngr.stepCount(), steps + 1);
    auto packets = f.Packets(start, f.mngr.writePos());
    ASSERT_EQ(packets.size(), c.packets.size() + 2);
    EXPECT_EQ(packets[0], ActiveLayerRecord(0, -1));
    EXPECT_EQ(packets[1], std::vector<uint8_t>(Header(48, 0).u16(0).u16(0xFFFF)));
    int point = 0;
    for (size_t i = 0; i < c.packets.size(); ++i) {
      const auto [cls, count] = c.packets[i];
      std::vector<uint8_t> want =
          Header(static_cast<uint8_t>(cls), static_cast<uint8_t>(count)).raw(PointBytes(point, count));
      EXPECT_EQ(packets[i + 2], want);
      point += count;
    }
  }
}

TEST(RecorderStroke, TheStartClassFollowsTheEngineAndTheInterpolationFlag) {
  struct Case {
    int engine;
    bool interpolationOff;
    int cls;
  };
  for (const Case c : {Case{1, false, 23}, Case{1, true, 24}, Case{2, false, 48}, Case{2, true, 49}}) {
    RecorderFixture f;
    f.document.engine = c.engine;
    f.document.activeMask = 3;
    f.stroke.state.interpolationOff = c.interpolationOff;
    f.stroke.state.layerIndex = 2;
    const uint32_t start = f.mngr.writePos();
    ASSERT_TRUE(f.mngr.beginStroke(1, 1, 1));
    ASSERT_TRUE(f.mngr.endStroke());
    auto packets = f.Packets(start, f.mngr.writePos());
    ASSERT_GE(packets.size(), 2u);
    EXPECT_EQ(packets[packets.size() - 2],
              std::vector<uint8_t>(Header(static_cast<uint8_t>(c.cls), 0).u16(2).u16(3)));
  }
}

TEST(RecorderStroke, PointsOutsideAStrokeAreRefused) {
  // Regression: points recorded after a refused start made a step of point packets without
  // its start packet, which no player can take.
  RecorderFixture f;
  const uint32_t start = f.mngr.writePos();
  EXPECT_FALSE(f.mngr.addStrokePoint(1, 1, 1));
  EXPECT_FALSE(f.mngr.endStroke());
  f.mngr.attachPen(nullptr);  // the state group cannot be written: no start packet
  EXPECT_FALSE(f.mngr.beginStroke(1, 1, 1));
  EXPECT_FALSE(f.mngr.addStrokePoint(1, 1, 1));
  EXPECT_FALSE(f.mngr.endStroke());
  EXPECT_EQ(f.mngr.stepCount(), 3);
  EXPECT_EQ(StateCodesOfStep(f, start), (std::vector<int>{8}));  // left open, no command
}

TEST(RecorderStroke, AStrokeLeftOpenIsClosedBeforeTheNextOne) {
  RecorderFixture f;
  const uint32_t start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.beginStroke(0, 0.5f, 0.25f));
  ASSERT_TRUE(f.mngr.addStrokePoint(1, 1.5f, 0.25f));
  ASSERT_TRUE(f.mngr.beginStroke(5, 5, 1));
  ASSERT_TRUE(f.mngr.endStroke());
  EXPECT_EQ(f.mngr.stepCount(), 5);
  const std::vector<std::pair<int, int>> want = {{0, 8}, {48, 0}, {18, 2}, {0, 8}, {48, 0}, {18, 1}};
  EXPECT_EQ(Codes(f, start, f.mngr.writePos()), want);
}

// ---------------------------------------------------------------------------------------------
// Images, channels, text, colour mask, floor filter

TEST(RecorderImage, AnImagePacketCarriesHeaderAttributesNameAndPixelsTopRowFirst) {
  RecorderFixture f;
  TMTC image(2, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) *image.Pixel(x, y) = 0x01020304u * (y * 2 + x + 1);
  std::vector<uint8_t> attributes(72);
  for (size_t i = 0; i < attributes.size(); ++i) attributes[i] = static_cast<uint8_t>(i);
  const uint32_t start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeLayerImage(1, image, 2, "img", attributes.data()));
  auto packets = f.Packets(start, f.mngr.writePos());
  ASSERT_EQ(packets.size(), 2u);
  Bytes want = Header(12, 2).u16(1).u32(2).u32(3).u8(32).u8(1).u32(72 + 4 + 24).u16(4).u32(24);
  want.raw(attributes).text("img", 4);
  for (int i = 1; i <= 6; ++i) want.u32(0x01020304u * i);
  EXPECT_EQ(packets[1], std::vector<uint8_t>(want));
  EXPECT_FALSE(f.mngr.isSnapshotValid(kStActiveLayer));

  // Without a name and record.
  const uint32_t next = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeLayerImage(0, image, 1, "", nullptr));
  packets = f.Packets(next, f.mngr.writePos());
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(std::vector<uint8_t>(packets[1].begin(), packets[1].begin() + 24),
            std::vector<uint8_t>(Header(12, 1).u16(0).u32(2).u32(3).u8(32).u8(0).u32(24).u16(0).u32(24)));
}

// The unpacked rows of a channel packet's trailing bytes.
std::vector<uint8_t> UnpackTrailing(const std::vector<uint8_t>& packet, size_t headerSize, int32_t packedLength,
                                    int32_t bytes) {
  std::vector<uint8_t> out(static_cast<size_t>(bytes));
  EXPECT_TRUE(
      BlockUnpack(packet.data() + 2 + headerSize, static_cast<size_t>(packedLength), out.data(), out.size()));
  return out;
}

TEST(RecorderChannel, TheChannelsNonZeroRectangleIsPackedBehindItsHeader) {
  RecorderFixture f;
  f.document.layers[1].origin = TPoint{7, -3};
  TChannel channel(6, 5);
  channel.GetPixelPtr(2, 1)[0] = 10;
  channel.GetPixelPtr(4, 3)[0] = 20;
  const TPoint seed{3, 2};
  const uint32_t start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeMaskChannel(1, -1, 1, 1, -5, 2, 3, &seed, channel));
  auto packets = f.Packets(start, f.mngr.writePos());
  ASSERT_EQ(packets.size(), 2u);
  const std::vector<uint8_t>& p = packets[1];
  ASSERT_GE(p.size(), 56u);
  const int32_t n = LoadI32(p.data() + 2 + 42);
  const int32_t packed = LoadI32(p.data() + 2 + 50);
  EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 44),
            std::vector<uint8_t>(Header(13, 1)
                                     .u16(1)
                                     .u16(0xFFFF)
                                     .u32(7)
                                     .u32(static_cast<uint32_t>(-3))
                                     .u32(3)
                                     .u32(2)
                                     .u8(1)
                                     .u8(1)
                                     .u8(2)
                                     .u8(3)
                                     .u16(0xFFFB)
                                     .u32(2)
                                     .u32(1)
                                     .u32(5)
                                     .u32(4)));
  EXPECT_EQ(LoadI32(p.data() + 2 + 46), 9);  // 3 x 3 bytes
  EXPECT_EQ(n, (packed + 1) & ~1);
  EXPECT_EQ(p.size(), 2u + 54 + static_cast<size_t>(n));
  const std::vector<uint8_t> rows = {10, 0, 0, 0, 0, 0, 0, 0, 20};
  EXPECT_EQ(UnpackTrailing(p, 54, packed, 9), rows);
  EXPECT_FALSE(f.mngr.isSnapshotValid(kStActiveLayer));

  // The form with three points.
  const uint32_t next = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeMaskChannelEx(0, 2, 5, 0, 30, 1, 0, TPoint{80, 60}, TPoint{-4, -2}, &seed, channel));
  packets = f.Packets(next, f.mngr.writePos());
  ASSERT_EQ(packets.size(), 2u);
  const std::vector<uint8_t>& q = packets[1];
  EXPECT_EQ(std::vector<uint8_t>(q.begin(), q.begin() + 62),
            std::vector<uint8_t>(Header(13, 5)
                                     .u16(0)
                                     .u16(2)
                                     .u32(80)
                                     .u32(60)
                                     .u32(static_cast<uint32_t>(-4))
                                     .u32(static_cast<uint32_t>(-2))
                                     .u32(3)
                                     .u32(2)
                                     .zeros(8)
                                     .u8(4)
                                     .u8(0)
                                     .u8(1)
                                     .u8(0)
                                     .u16(30)
                                     .zeros(2)
                                     .u32(2)
                                     .u32(1)
                                     .u32(5)
                                     .u32(4)));
  EXPECT_EQ(UnpackTrailing(q, 72, LoadI32(q.data() + 2 + 68), 9), rows);
}

TEST(RecorderChannel, AnEmptyChannelRecordsNothing) {
  RecorderFixture f;
  f.document.paper = 9;  // a changed setting stays unwritten too
  TChannel channel(4, 4);
  const uint32_t start = f.mngr.writePos();
  EXPECT_FALSE(f.mngr.writeMaskChannel(0, -1, 0, 0, 0, 0, 0, nullptr, channel));
  EXPECT_EQ(f.mngr.writePos(), start);
}

TEST(RecorderChannel, TextWritesFontAndTextBeforeItsChannel) {
  RecorderFixture f;
  TChannel channel(3, 3);
  channel.GetPixelPtr(1, 1)[0] = 255;
  std::vector<uint8_t> font(60);
  for (size_t i = 0; i < font.size(); ++i) font[i] = static_cast<uint8_t>(i + 1);
  for (int round = 0; round < 2; ++round) {
    const uint32_t start = f.mngr.writePos();
    ASSERT_TRUE(f.mngr.writeTextSelection(0, -1, channel, TPoint{4, 5}, 0, "Hi", font.data(), 2, -1, 16));
    auto packets = f.Packets(start, f.mngr.writePos());
    // The font is written every time, the unchanged text only the first time.
    ASSERT_EQ(packets.size(), round == 0 ? 4u : 3u);
    EXPECT_EQ(packets[1], std::vector<uint8_t>(Header(0, 32).raw(font).u16(2).u16(0xFFFF).zeros(4)));
    if (round == 0) {
      EXPECT_EQ(packets[2], std::vector<uint8_t>(Header(0, 33).u16(4).text("Hi", 4)));
    }
    EXPECT_EQ(packets.back()[0], 13);
    EXPECT_EQ(packets.back()[1], 16);
    EXPECT_EQ(packets.back()[2 + 20], 2);  // channel kind of text drawing
  }
}

TEST(RecorderChannel, TheColourMaskWritesItsRangesBeforeItsChannel) {
  RecorderFixture f;
  TChannel channel(2, 2);
  channel.GetPixelPtr(0, 1)[0] = 9;
  SColorRangeHeader header{};
  header.count = 2;
  header.rest[0] = 0xAB;
  const uint8_t ranges[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const uint32_t start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeColorMask(0, -1, 1, channel, header, ranges));
  auto packets = f.Packets(start, f.mngr.writePos());
  ASSERT_EQ(packets.size(), 3u);
  Bytes want = Header(0, 136).u32(36).u32(2).u8(0xAB).zeros(15);
  want.raw(std::vector<uint8_t>(ranges, ranges + 16));
  EXPECT_EQ(packets[1], std::vector<uint8_t>(want));
  EXPECT_EQ(packets[2][1], 32);
  EXPECT_EQ(packets[2][2 + 20], 6);
  EXPECT_EQ(packets[2][2 + 23], 1);  // the combine mode
  SColorRangeHeader bad{};
  bad.count = -1;
  EXPECT_FALSE(f.mngr.writeColorMask(0, -1, 1, channel, bad, ranges));
}

// A range list that is missing, or a count whose record (4 + 20 + 8k bytes) cannot be a packet,
// is refused before anything is written; no ranges and no list is a record of its own.
TEST(RecorderChannel, TheColourMaskRefusesAMissingRangeListAndACountTooLargeForThePacket) {
  RecorderFixture f;
  TChannel channel(2, 2);
  channel.GetPixelPtr(1, 0)[0] = 30;
  const uint8_t ranges[16] = {};
  // The largest k with 20 + 8k <= INT32_MAX - 4.
  constexpr int32_t kLargest = (INT32_MAX - 4 - 20) / 8;
  struct Case {
    const char* name;
    int32_t count;
    bool withList;
    bool written;
  } cases[] = {
      {"two ranges without their list", 2, false, false},
      {"one range without its list", 1, false, false},
      {"one past the largest count", kLargest + 1, true, false},
      {"the largest int32 count", INT32_MAX, true, false},
      {"no ranges and no list", 0, false, true},
      {"two ranges with their list", 2, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SColorRangeHeader header{};
    header.count = c.count;
    const uint32_t start = f.mngr.writePos();
    EXPECT_EQ(f.mngr.writeColorMask(0, -1, 1, channel, header, c.withList ? ranges : nullptr), c.written);
    EXPECT_EQ(f.mngr.writePos() != start, c.written);
  }
}

TEST(RecorderFilter, TheFloorFilterSendsItsFileTexturesAhead) {
  RecorderFixture f;
  TMTC floor(2, 1), wall(1, 1);
  *floor.Pixel(0, 0) = 1;
  *floor.Pixel(1, 0) = 2;
  *wall.Pixel(0, 0) = 3;
  uint8_t values[63];
  for (int i = 0; i < 63; ++i) values[i] = static_cast<uint8_t>(100 + i);
  const SRecordedImage floorTexture{&floor, "f.png"};
  const SRecordedImage wallTexture{&wall, "w.png"};
  const uint32_t start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeFloorFilter(1, 0, values, 300, 72, &floorTexture, &wallTexture));
  auto packets = f.Packets(start, f.mngr.writePos());
  ASSERT_EQ(packets.size(), 4u);
  EXPECT_EQ(
      packets[1],
      std::vector<uint8_t>(
          Header(0, 128).u16(1).u32(2).u32(1).u8(32).u8(0).u32(14).u16(6).u32(8).text("f.png", 6).u32(1).u32(2)));
  EXPECT_EQ(packets[2][1], 129);
  Bytes block = Header(38, 40).u16(1).u16(0).u16(63).u16(1).u16(63).zeros(8).u16(300).u16(72).zeros(28);
  block.raw(std::vector<uint8_t>(values, values + 63));
  EXPECT_EQ(packets[3], std::vector<uint8_t>(block));

  // Textures from the layer travel with nothing ahead.
  const uint32_t next = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeFloorFilter(1, 0, values, 0, 0, nullptr, nullptr));
  EXPECT_EQ(f.Packets(next, f.mngr.writePos()).size(), 2u);
}

TEST(RecorderEnd, TheEndMarkerIsAStepOfItsOwnAndFinishesTheRecording) {
  RecorderFixture f;
  f.document.paper = 77;  // not written: the marker carries no state
  const uint32_t start = f.mngr.writePos();
  ASSERT_TRUE(f.mngr.writeEventFin());
  EXPECT_EQ(f.Packets(start, f.mngr.writePos()), std::vector<std::vector<uint8_t>>{Header(2, 255)});
  EXPECT_EQ(f.mngr.state, kEventFinished);
  EXPECT_EQ(f.mngr.stepCount(), 4);
  EXPECT_TRUE(f.mngr.writeLayerOp(0, 0, 1));  // finished: nothing more is recorded
  EXPECT_EQ(static_cast<uint32_t>(f.mngr.committed()), start + 2);
}

TEST(RecorderSources, AMissingSourceFailsTheGroupLoudlyAndSkipsTheCommand) {
  RecorderFixture f;
  std::vector<std::string> lines;
  DebugSink previous = SetDebugSink([&](std::string_view l) { lines.emplace_back(l); });
  f.mngr.attachDocument(nullptr);
  const uint32_t start = f.mngr.writePos();
  EXPECT_FALSE(f.mngr.writeLayerOp(1, 0, 1));
  EXPECT_EQ(f.mngr.writePos(), start);
  EXPECT_FALSE(lines.empty());
  SetDebugSink(previous);
}

}  // namespace
}  // namespace tf
