// The protocol of every document command: check first, then record, undo and change in the
// command's order; a refused command leaves no trace and a failed one takes its step back out.
#include <gtest/gtest.h>

#include <ostream>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "paper/PaperTestSupport.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::ScriptedUndo;
using test::ScriptedWindow;
using test::StreamPacket;

// A set-up document in a scripted window with a scripted undo; the undo's probe notes the step
// count of the stream and the paper colour at the moment of each push.
struct ProtocolFixture {
  ProtocolFixture() : window(log) {
    auto scripted = std::make_unique<ScriptedUndo>(log, [this] {
      char text[64];
      std::snprintf(text, sizeof text, "steps=%d colour=%06x", Paper().EventMngr()->stepCount(),
                    static_cast<unsigned>(Paper().paperColor));
      return std::string(text);
    });
    undo = scripted.get();
    Paper().AdoptDocumentUndo(std::move(scripted));
    EXPECT_TRUE(Paper().NewDocument("p", &window.Flow(), false, false, 72, 16, 16));
    log.clear();
  }
  TPaper& Paper() { return window.Paper(); }
  const CEventMngr& Events() { return *Paper().EventMngr(); }

  PaperTestScope scope;
  std::vector<std::string> log;
  ScriptedWindow window;
  ScriptedUndo* undo = nullptr;
};

TEST(CommandProtocol, PaperColourRecordsThenPushesUndoThenChangesThenRedraws) {
  ProtocolFixture f;
  const int32_t stepsBefore = f.Events().stepCount();
  ASSERT_TRUE(f.Paper().SetPaperColor(0x123456, true));
  // At the push the step was in the stream and the colour not yet changed.
  EXPECT_EQ(f.log, (std::vector<std::string>{
                       "undo 17 steps=" + std::to_string(stepsBefore + 1) + " colour=ffffff", "invalidate"}));
  ASSERT_EQ(f.undo->pushes.size(), 1u);
  EXPECT_EQ(f.undo->pushes[0].kind, "attribute");
  EXPECT_EQ(f.undo->pushes[0].value, 0xFFFFFF);  // the colour to go back to
  EXPECT_FALSE(f.undo->pushes[0].layer);
  EXPECT_EQ(f.Paper().paperColor, 0x123456u);
  EXPECT_EQ(f.Events().stepCount(), stepsBefore + 1);

  // The step: the active layer, then the paper colour packet.
  std::vector<StreamPacket> packets = ReadPackets(f.Events());
  ASSERT_GE(packets.size(), 2u);
  const StreamPacket& command = packets.back();
  EXPECT_EQ(command.cls, 2);
  EXPECT_EQ(command.code, 1);
  EXPECT_EQ(command.payload, (std::vector<uint8_t>{0x56, 0x34, 0x12, 0x00}));
  EXPECT_EQ(packets[packets.size() - 2].cls, 0);
  EXPECT_EQ(packets[packets.size() - 2].code, 8);

  // The next command's step carries the colour as a state record, as it changed.
  ASSERT_TRUE(f.Paper().SetPaperColor(0x00FF00, true));
  packets = ReadPackets(f.Events());
  ASSERT_GE(packets.size(), 3u);
  const StreamPacket& state = packets[packets.size() - 3];
  EXPECT_EQ(state.cls, 0);
  EXPECT_EQ(state.code, 2);
  EXPECT_EQ(state.payload, (std::vector<uint8_t>{0x56, 0x34, 0x12, 0x00}));
}

TEST(CommandProtocol, WithoutTheRecordFlagTheChangeIsMadeWithoutEventOrUndo) {
  ProtocolFixture f;
  const uint32_t writePos = f.Events().writePos();
  ASSERT_TRUE(f.Paper().SetPaperColor(0x0000FF, false));
  EXPECT_EQ(f.Paper().paperColor, 0x0000FFu);
  EXPECT_TRUE(f.undo->pushes.empty());
  EXPECT_EQ(f.Events().writePos(), writePos);
  EXPECT_EQ(f.log, std::vector<std::string>{"invalidate"});
}

TEST(CommandProtocol, ARefusedCommandRecordsNothingPushesNothingAndChangesNothing) {
  ProtocolFixture f;
  const uint32_t writePos = f.Events().writePos();
  const int32_t steps = f.Events().stepCount();
  bool ran = false;
  EXPECT_FALSE(f.Paper().RunCommand(
      true, [&] { return f.Paper().IsValidLayerIndex(1); },
      [&](PaperCommand& command) {
        ran = true;
        command.Record([](CEventMngr& events) { events.writeLayerOp(1, 0, 2); });
        return true;
      }));
  EXPECT_FALSE(ran);
  EXPECT_EQ(f.Events().writePos(), writePos);
  EXPECT_EQ(f.Events().stepCount(), steps);
  EXPECT_TRUE(f.undo->pushes.empty());
  EXPECT_TRUE(f.log.empty());
  EXPECT_TRUE(f.scope.warnings.Texts().empty());
}

TEST(CommandProtocol, ACommandFailingAfterItRecordedTakesItsStepsBackOut) {
  ProtocolFixture f;
  const uint32_t writePos = f.Events().writePos();
  const int32_t committed = f.Events().committed();
  const int32_t steps = f.Events().stepCount();
  f.Paper().StorePaperColor(0xABCDEF);  // a state record the failed step writes
  int32_t recorded = -1;
  EXPECT_FALSE(f.Paper().RunCommand(
      true, [] { return true; },
      [&](PaperCommand& command) {
        command.Record([](CEventMngr& events) { events.writePaperColor(1); });
        command.Record([](CEventMngr& events) { events.writeLayerOp(0, 0, 2); });
        recorded = command.RecordedSteps();
        return false;
      }));
  EXPECT_EQ(recorded, 2);
  EXPECT_EQ(f.Events().writePos(), writePos);
  EXPECT_EQ(f.Events().committed(), committed);
  EXPECT_EQ(f.Events().stepCount(), steps);
  // The paper colour the failed step recorded is forgotten: the next step writes it again.
  ASSERT_TRUE(f.Paper().SetPaperColor(0xABCDEF, true));
  const std::vector<StreamPacket> packets = ReadPackets(f.Events());
  ASSERT_GE(packets.size(), 3u);
  EXPECT_EQ(packets[packets.size() - 3].code, 2);
  EXPECT_EQ(packets[packets.size() - 3].payload, (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0x00}));
}

struct ThrowCase {
  const char* name;
  friend void PrintTo(const ThrowCase& c, std::ostream* os) { *os << c.name; }
  bool outOfMemory;
  std::vector<std::string> warnings;
};

class CommandExceptions : public ::testing::TestWithParam<ThrowCase> {};

TEST_P(CommandExceptions, AreShownAndTheRecordedStepIsDropped) {
  ProtocolFixture f;
  const ThrowCase& c = GetParam();
  const uint32_t writePos = f.Events().writePos();
  EXPECT_FALSE(f.Paper().RunCommand(
      true, [] { return true; },
      [&](PaperCommand& command) -> bool {
        command.Record([](CEventMngr& events) { events.writeLayerOp(0, 0, 3); });
        if (c.outOfMemory) throw std::bad_alloc();
        throw std::runtime_error("boom");
      }));
  EXPECT_EQ(f.scope.warnings.Texts(), c.warnings);
  EXPECT_EQ(f.Events().writePos(), writePos);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CommandExceptions,
                         ::testing::Values(ThrowCase{"OutOfMemory", true, {Tx(TextId::PaperCommandOutOfMemory)}},
                                           ThrowCase{"OtherException", false, {Tx(TextId::PaperCommandException), "boom"}}),
                         [](const ::testing::TestParamInfo<ThrowCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(CommandProtocol, ReplayingRunsNoWriterAndNoUndoPush) {
  ProtocolFixture f;
  const uint32_t writePos = f.Events().writePos();
  bool wrote = false;
  bool pushed = false;
  EXPECT_TRUE(f.Paper().RunCommand(
      false, [] { return true; },
      [&](PaperCommand& command) {
        command.Record([&](CEventMngr&) { wrote = true; });
        EXPECT_FALSE(command.Undo([&] { return pushed = true; }));
        return true;
      }));
  EXPECT_FALSE(wrote);
  EXPECT_FALSE(pushed);
  EXPECT_EQ(f.Events().writePos(), writePos);
}

TEST(CommandProtocol, AnUndoThatRefusesTheRecordDoesNotStopTheCommand) {
  ProtocolFixture f;
  f.undo->refuse = true;
  EXPECT_TRUE(f.Paper().SetPaperColor(0x445566, true));
  EXPECT_EQ(f.Paper().paperColor, 0x445566u);
  EXPECT_TRUE(f.undo->pushes.empty());
}

TEST(CommandProtocol, WithoutADocumentUndoThePushesAnswerFalse) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  paper.AdoptDocumentUndo(nullptr);  // a document that keeps no undo
  ASSERT_TRUE(paper.NewDocument("u", &window.Flow(), false, false, 72, 4, 4));
  EXPECT_FALSE(paper.HasDocumentUndo());
  CLayerData object(0, false);
  EXPECT_FALSE(paper.PushUndo(&object, kUndoNewLayer, 0, 0, 0, 0));
  EXPECT_FALSE(paper.PushAttributeUndo(nullptr, 1, kUndoPaperColor, 0));
  EXPECT_FALSE(paper.PushLayerUndo(*paper.GetLayer(0), kUndoLayerRect));
  EXPECT_TRUE(paper.SetPaperColor(0x010203, true));
}

TEST(CommandProtocol, PushUndoHandsTheObjectOverOnlyWhenTheUndoTakesIt) {
  ProtocolFixture f;
  auto* layer = new CLayerData(0, false);
  ASSERT_TRUE(f.Paper().PushUndo(layer, kUndoDeleteLayer, 1, 2, 3, 4));
  ASSERT_EQ(f.undo->kept.size(), 1u);
  EXPECT_EQ(f.undo->kept[0]->Address(), layer);  // the undo's record frees it
  f.undo->refuse = true;
  CLayerData stays(0, false);
  EXPECT_FALSE(f.Paper().PushUndo(&stays, kUndoDeleteLayer, 1, 2, 3, 4));
  EXPECT_EQ(f.undo->kept.size(), 1u);
}

struct GateCase {
  const char* name;
  friend void PrintTo(const GateCase& c, std::ostream* os) { *os << c.name; }
  bool ready;
  bool playing;
  bool paused;
  bool strokeActive;
  bool allowDuringPlayback;
  bool onlyWhenPaused;
  bool expected;
};

class CommandGate : public ::testing::TestWithParam<GateCase> {};

TEST_P(CommandGate, OfTheHeadlessWindow) {
  PaperTestScope scope;
  const GateCase& c = GetParam();
  HeadlessDocumentWindow window;
  if (c.ready) {
    ASSERT_TRUE(window.Paper().NewDocument("g", &window.Flow(), false, false, 72, 4, 4));
  }
  window.playing = c.playing;
  window.playbackPaused = c.paused;
  window.strokeActive = c.strokeActive;
  EXPECT_EQ(window.PrepareCommand(c.allowDuringPlayback, c.onlyWhenPaused), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    States, CommandGate,
    ::testing::Values(GateCase{"NotReady", false, false, false, false, true, false, false},
                      GateCase{"Ready", true, false, false, false, false, false, true},
                      GateCase{"PlayingNotAllowed", true, true, false, false, false, false, false},
                      GateCase{"PlayingAllowed", true, true, false, false, true, false, true},
                      GateCase{"PlayingOnlyWhenPaused", true, true, false, false, true, true, false},
                      GateCase{"PausedOnlyWhenPaused", true, true, true, false, true, true, true},
                      GateCase{"StrokeInProgress", true, false, false, true, true, false, false}),
    [](const ::testing::TestParamInfo<GateCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tf
