#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "events/EventStream.h"
#include "platform/Memory.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "support/CountingNew.h"

namespace tf {
namespace {

constexpr uint32_t kBlock = 65536;

class EventStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousHost_ = SetWarningHost(&warnings_);
    ASSERT_TRUE(mngr_.setupRecording(nullptr, nullptr, 200, 200));
  }
  void TearDown() override {
    SetMemoryRefusals(0);
    SetWarningHost(previousHost_);
  }

  // Bytes [0, n) of the stream.
  std::vector<uint8_t> StreamBytes(CEventMngr& m, uint32_t n) {
    std::vector<uint8_t> bytes(n);
    EXPECT_EQ(m.readSpan(0, bytes.data(), n), n);
    return bytes;
  }

  // A class-1 information packet of n data bytes: int32 n, then the bytes (as trailing data).
  bool AppendInfo(CEventMngr& m, const std::vector<uint8_t>& data, uint8_t code = 3) {
    uint8_t n[4];
    StoreU32(n, static_cast<uint32_t>(data.size()));
    return m.appendPacket(kPcInfo, code, n, 4, data.data(), static_cast<uint32_t>(data.size()));
  }

  RecordingWarningHost warnings_;
  WarningHost* previousHost_ = nullptr;
  CEventMngr mngr_{kBlock, 1048576};
};

TEST_F(EventStreamTest, SetupRecordsTheApplicationStateOpenStep) {
  EXPECT_TRUE(mngr_.isRecording());
  EXPECT_EQ(mngr_.writePos(), 14u);
  EXPECT_EQ(mngr_.committed(), 0);
  EXPECT_EQ(mngr_.stepCount(), 0);
  EXPECT_TRUE(mngr_.isSnapshotValid(kStAppState));
  uint8_t bytes[14];
  ASSERT_EQ(mngr_.readAt(0, bytes, 14), 14u);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(LoadU16(bytes + 2), 4);
  EXPECT_EQ(LoadU16(bytes + 4), 58);
  EXPECT_EQ(LoadU16(bytes + 6), 0);
  EXPECT_EQ(mngr_.version, 43);
}

// A random run of steps (one to four packets of random sizes, often crossing blocks), undos,
// redos and drops, checked against a plain model: the list of step ends, the redo list, and
// the bytes of the committed stream.
TEST_F(EventStreamTest, RandomStepsUndoRedoMatchAModel) {
  std::mt19937 rng(1234);
  std::vector<uint32_t> ends;     // end of each closed step
  std::vector<uint32_t> redo;     // ends of undone steps, newest last
  std::vector<uint8_t> bytes;     // model of the stream up to the write position
  std::vector<bool> hasFlagWord;  // whether each step holds a (0, 12) packet
  std::vector<bool> redoFlagWord;
  ASSERT_TRUE(mngr_.commitStep());  // the application-state record alone
  bytes = StreamBytes(mngr_, 14);
  ends.push_back(14);
  hasFlagWord.push_back(false);

  auto appendModel = [&](uint8_t cls, uint8_t code, const std::vector<uint8_t>& payload) {
    bytes.push_back(cls);
    bytes.push_back(code);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
  };

  size_t maxSteps = 0;
  uint32_t maxCommitted = 0;
  for (int op = 0; op < 600; ++op) {
    int choice = static_cast<int>(rng() % 10);
    if (choice < 5) {
      // A new step.
      bytes.resize(mngr_.writePos());
      int packets = 1 + static_cast<int>(rng() % 4);
      bool flagWord = false;
      for (int p = 0; p < packets; ++p) {
        int kind = static_cast<int>(rng() % 4);
        if (kind == 0) {
          std::vector<uint8_t> data(rng() % 30000);
          for (auto& b : data) b = static_cast<uint8_t>(rng());
          std::vector<uint8_t> payload(4);
          StoreU32(payload.data(), static_cast<uint32_t>(data.size()));
          ASSERT_TRUE(AppendInfo(mngr_, data));
          payload.insert(payload.end(), data.begin(), data.end());
          appendModel(kPcInfo, 3, payload);
        } else if (kind == 1) {
          uint8_t k = static_cast<uint8_t>(1 + rng() % 16);
          std::vector<uint8_t> points(12u * k, static_cast<uint8_t>(op));
          ASSERT_TRUE(mngr_.appendPacket(kPcPointsMore, k, points.data(), 12u * k));
          appendModel(kPcPointsMore, k, points);
        } else if (kind == 2) {
          SFlagWordRecord flags{};
          flags.flags = static_cast<uint16_t>(rng() % 3);
          StateWrite w = mngr_.writeStateRecord(kStFlagWord, &flags, sizeof flags);
          ASSERT_NE(w, StateWrite::kFailed);
          if (w == StateWrite::kWritten) {
            appendModel(kPcState, kStFlagWord, {flags.flags.bytes[0], flags.flags.bytes[1]});
            flagWord = true;
          }
        } else {
          std::vector<uint8_t> payload(4, static_cast<uint8_t>(op));
          ASSERT_TRUE(mngr_.appendPacket(kPcPaper, 1, payload.data(), 4));
          appendModel(kPcPaper, 1, payload);
        }
      }
      ASSERT_TRUE(mngr_.commitStep());
      ends.push_back(static_cast<uint32_t>(bytes.size()));
      hasFlagWord.push_back(flagWord);
      redo.clear();
      redoFlagWord.clear();
      // Redo is refused after a new step.
      EXPECT_FALSE(mngr_.redoStep());
      EXPECT_EQ(mngr_.getRedoSteps(), 0);
    } else if (choice < 8) {
      bool ok = mngr_.undoStep();
      ASSERT_EQ(ok, !ends.empty()) << "op " << op;
      if (ok) {
        redo.push_back(ends.back());
        redoFlagWord.push_back(hasFlagWord.back());
        bool forgot = hasFlagWord.back();
        ends.pop_back();
        hasFlagWord.pop_back();
        if (forgot) {
          EXPECT_FALSE(mngr_.isSnapshotValid(kStFlagWord));
        }
      }
    } else if (choice < 9) {
      bool ok = mngr_.redoStep();
      ASSERT_EQ(ok, !redo.empty()) << "op " << op;
      if (ok) {
        ends.push_back(redo.back());
        hasFlagWord.push_back(redoFlagWord.back());
        redo.pop_back();
        redoFlagWord.pop_back();
      }
    } else {
      bool ok = mngr_.dropLastStep();
      ASSERT_EQ(ok, !ends.empty());
      if (ok) {
        ends.pop_back();
        hasFlagWord.pop_back();
        redo.clear();
        redoFlagWord.clear();
        EXPECT_EQ(mngr_.getRedoSteps(), 0);
      }
    }
    uint32_t committed = ends.empty() ? 0 : ends.back();
    maxSteps = std::max(maxSteps, ends.size());
    maxCommitted = std::max(maxCommitted, committed);
    ASSERT_EQ(static_cast<uint32_t>(mngr_.committed()), committed) << "op " << op;
    ASSERT_EQ(mngr_.writePos(), committed);
    ASSERT_EQ(mngr_.stepCount(), static_cast<int32_t>(ends.size()));
    ASSERT_EQ(mngr_.getUndoSteps(), static_cast<int32_t>(ends.size()));
    ASSERT_EQ(mngr_.getRedoSteps(), static_cast<int32_t>(redo.size()));
    if (op % 50 == 0 || op == 599) {
      ASSERT_EQ(StreamBytes(mngr_, committed), std::vector<uint8_t>(bytes.begin(), bytes.begin() + committed));
      // Every walk over the committed stream steps through whole packets.
      EXPECT_TRUE(mngr_.walkPackets(0, committed, [](const SPacketFrame&) { return true; }).ok);
    }
  }
  EXPECT_EQ(mngr_.getBlockCount(), static_cast<int32_t>((mngr_.committed() + kBlock - 1) / kBlock));
  EXPECT_GT(maxSteps, 20u);
  EXPECT_GT(maxCommitted, 4 * kBlock);
}

TEST_F(EventStreamTest, NewFirstStepAfterUndoingEverythingDiscardsRedo) {
  // Regression: the first step is stored with Put, which kept the redo count, so a redo after
  // undo-everything-then-draw replayed the old step's end over the new bytes.
  std::vector<uint8_t> big(100, 1);
  ASSERT_TRUE(AppendInfo(mngr_, big));
  ASSERT_TRUE(mngr_.commitStep());
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 4, nullptr, 0));
  int32_t twoSteps = mngr_.committed();
  ASSERT_TRUE(mngr_.undoStep());
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_EQ(mngr_.stepCount(), 0);
  EXPECT_EQ(mngr_.getRedoSteps(), 2);

  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 5, nullptr, 0));
  EXPECT_EQ(mngr_.committed(), 2);
  EXPECT_EQ(mngr_.getRedoSteps(), 0);
  EXPECT_FALSE(mngr_.redoStep());
  EXPECT_EQ(mngr_.committed(), 2);
  EXPECT_NE(mngr_.committed(), twoSteps);
  // Undo and redo of the new step still work.
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_EQ(mngr_.committed(), 0);
  ASSERT_TRUE(mngr_.redoStep());
  EXPECT_EQ(mngr_.committed(), 2);
}

TEST_F(EventStreamTest, FirstStepIsPutAndLaterOnesPushed) {
  ASSERT_TRUE(mngr_.commitStep());
  EXPECT_EQ(mngr_.ring().BackCount(), 1);
  EXPECT_EQ(mngr_.ring().Current(), 0);
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 16, nullptr, 0));
  EXPECT_EQ(mngr_.ring().BackCount(), 2);
  EXPECT_EQ(mngr_.ring().Current(), 14);
  EXPECT_EQ(mngr_.committed(), 16);
}

TEST_F(EventStreamTest, UndoBeyondTheRingIsRefused) {
  CEventMngr small(kBlock, 0);
  ASSERT_TRUE(small.setupRecording(nullptr, nullptr, 8, 8));
  ASSERT_TRUE(small.commitStep());
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(small.appendStep(kPcPaper, 16, nullptr, 0));
  EXPECT_EQ(small.getUndoSteps(), 8);
  int undone = 0;
  while (small.undoStep()) ++undone;
  EXPECT_GT(undone, 0);
  EXPECT_LT(undone, 8);
  int32_t committed = small.committed();
  EXPECT_FALSE(small.undoStep());
  EXPECT_EQ(small.committed(), committed);
  EXPECT_EQ(committed, 14 + 2 * (21 - undone - 1));
  for (int i = 0; i < undone; ++i) ASSERT_TRUE(small.redoStep());
  EXPECT_EQ(small.committed(), 14 + 2 * 20);
  EXPECT_FALSE(small.redoStep());
}

// ---------------------------------------------------------------------------------------------
// Blocks

TEST_F(EventStreamTest, PacketEndingAtABlockBoundaryAllocatesTheNextBlock) {
  // Fill up to 6 bytes before the boundary, then a 4-byte packet ends exactly on it.
  std::vector<uint8_t> fill(kBlock - 14 - 6 - 6);
  ASSERT_TRUE(AppendInfo(mngr_, fill));
  ASSERT_EQ(mngr_.writePos(), kBlock - 6);
  EXPECT_EQ(mngr_.allocated(), kBlock);
  ASSERT_TRUE(mngr_.appendPacket(kPcPaper, 1, "\1\2\3\4", 4));
  EXPECT_EQ(mngr_.writePos(), kBlock);
  EXPECT_EQ(mngr_.allocated(), 2 * kBlock);
  EXPECT_EQ(mngr_.blockCountHeld(), 2u);
  // A 0-byte payload writes only its header, at the start of the new block.
  ASSERT_TRUE(mngr_.appendPacket(kPcPaper, 255, nullptr, 0));
  EXPECT_EQ(mngr_.writePos(), kBlock + 2);
  ASSERT_TRUE(mngr_.commitStep());
  uint8_t tail[8];
  ASSERT_EQ(mngr_.readAt(kBlock - 6, tail, 8), 8u);
  const uint8_t expected[8] = {2, 1, 1, 2, 3, 4, 2, 255};
  EXPECT_EQ(std::memcmp(tail, expected, 8), 0);
}

TEST_F(EventStreamTest, PacketsStraddlingBlocksReadBack) {
  std::mt19937 rng(7);
  std::vector<uint8_t> model = StreamBytes(mngr_, mngr_.writePos());
  // Payloads placed so that headers, fixed parts and data all cross boundaries at times.
  for (uint32_t size : {kBlock - 20, 1u, 3u, kBlock, 2 * kBlock + 5, 7u, kBlock - 1}) {
    std::vector<uint8_t> data(size);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    ASSERT_TRUE(AppendInfo(mngr_, data));
    uint8_t n[4];
    StoreU32(n, size);
    model.push_back(kPcInfo);
    model.push_back(3);
    model.insert(model.end(), n, n + 4);
    model.insert(model.end(), data.begin(), data.end());
    ASSERT_TRUE(mngr_.commitStep());
  }
  ASSERT_EQ(mngr_.writePos(), model.size());
  EXPECT_EQ(StreamBytes(mngr_, mngr_.writePos()), model);
  // Every packet is found again by walking.
  int packets = 0;
  EXPECT_TRUE(mngr_
                  .walkPackets(0, mngr_.writePos(),
                               [&](const SPacketFrame&) {
                                 ++packets;
                                 return true;
                               })
                  .ok);
  EXPECT_EQ(packets, 8);
  // Reads across a boundary in one transfer, and refusals.
  uint8_t two[2];
  EXPECT_EQ(mngr_.readAt(kBlock - 1, two, 2), 2u);
  EXPECT_EQ(two[0], model[kBlock - 1]);
  EXPECT_EQ(two[1], model[kBlock]);
  std::vector<uint8_t> tooMuch(kBlock + 1);
  EXPECT_EQ(mngr_.readAt(0, tooMuch.data(), kBlock + 1), 0u);
  EXPECT_EQ(mngr_.readAt(mngr_.writePos() - 1, two, 2), 0u);   // beyond writePos: nothing
  EXPECT_EQ(mngr_.writeAt(mngr_.writePos() + 1, two, 2), 0u);  // no gaps
  EXPECT_EQ(mngr_.writeAt(0, tooMuch.data(), kBlock + 1), 0u);
}

// A committed stream of exactly the given length: the application-state step and one
// information packet that fills the rest.
void FillTo(CEventMngr& m, uint32_t length) {
  ASSERT_TRUE(m.commitStep());
  std::vector<uint8_t> data(length - 14 - 6);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  uint8_t n[4];
  StoreU32(n, static_cast<uint32_t>(data.size()));
  ASSERT_TRUE(m.appendPacket(kPcInfo, 3, n, 4, data.data(), static_cast<uint32_t>(data.size())));
  ASSERT_TRUE(m.commitStep());
  ASSERT_EQ(m.committed(), static_cast<int32_t>(length));
}

TEST_F(EventStreamTest, StreamsOfOneBlockAndOneByteMoreSaveAndLoad) {
  struct Case {
    uint32_t length;
    int32_t blocks;
  };
  for (Case c : {Case{65536, 1}, Case{65537, 2}}) {
    SCOPED_TRACE(c.length);
    CEventMngr source(kBlock, 1048576);
    ASSERT_TRUE(source.setupRecording(nullptr, nullptr, 42, 42));
    FillTo(source, c.length);
    EXPECT_EQ(source.getBlockCount(), c.blocks);

    MemoryStream saved;
    ASSERT_EQ(source.writeStreamTo(saved), c.length);
    ASSERT_EQ(saved.Size(), int64_t{c.length});
    EXPECT_EQ(saved.Bytes(), StreamBytes(source, c.length));

    CEventMngr loaded(kBlock, 1048576);
    ASSERT_TRUE(loaded.setupStream(nullptr, nullptr, 42, 42));
    saved.SetPosition(0);
    ASSERT_EQ(loaded.loadRawStream(saved, static_cast<int32_t>(c.length), 2), c.length);
    EXPECT_EQ(loaded.committed(), static_cast<int32_t>(c.length));
    EXPECT_EQ(loaded.writePos(), c.length);
    EXPECT_EQ(loaded.stepCount(), 2);
    EXPECT_EQ(loaded.getBlockCount(), c.blocks);
    EXPECT_EQ(StreamBytes(loaded, c.length), saved.Bytes());
    EXPECT_GT(loaded.allocated(), loaded.writePos());

    // A short source leaves nothing loaded.
    MemoryStream shortSource(std::vector<uint8_t>(saved.Bytes().begin(), saved.Bytes().end() - 1));
    EXPECT_EQ(loaded.loadRawStream(shortSource, static_cast<int32_t>(c.length), 2), c.length - 1);
    EXPECT_EQ(loaded.committed(), 0);
    EXPECT_EQ(loaded.writePos(), 0u);
  }
}

TEST_F(EventStreamTest, LoadedLengthAndTrimStayInsideTheBlocks) {
  FillTo(mngr_, 3 * kBlock + 10);
  EXPECT_EQ(mngr_.blockCountHeld(), 4u);
  ASSERT_TRUE(mngr_.resetForLoad());
  EXPECT_EQ(mngr_.blockCountHeld(), 1u);
  EXPECT_FALSE(mngr_.setLoadedLength(10, 1));  // nothing held yet
  std::vector<uint8_t> data(2 * kBlock + 100, 9);
  ASSERT_EQ(mngr_.writeSpan(0, data.data(), static_cast<uint32_t>(data.size())), data.size());
  EXPECT_TRUE(mngr_.setLoadedLength(static_cast<int32_t>(data.size()), -4));
  EXPECT_EQ(mngr_.stepCount(), 0);
  mngr_.setWritePosition(kBlock + 5, kBlock + 5, 0);
  mngr_.trimBlocks();
  EXPECT_EQ(mngr_.blockCountHeld(), 2u);
  EXPECT_EQ(mngr_.allocated(), 2 * kBlock);
}

// ---------------------------------------------------------------------------------------------
// Failures

TEST_F(EventStreamTest, FailedAppendStopsRecordingAndRefusesSaving) {
  // Regression: a failed append used to be rolled back silently and recording went on, so the
  // saved stream lacked a command and replayed a different picture.
  ASSERT_TRUE(mngr_.commitStep());
  std::vector<uint8_t> fill(kBlock - 14 - 6 - 10);
  ASSERT_TRUE(AppendInfo(mngr_, fill));
  ASSERT_TRUE(mngr_.commitStep());
  const int32_t committed = mngr_.committed();
  const uint32_t writePos = mngr_.writePos();

  SetMemoryRefusals(1);  // the next block cannot be had
  std::vector<uint8_t> more(100, 5);
  EXPECT_FALSE(AppendInfo(mngr_, more));
  SetMemoryRefusals(0);
  EXPECT_EQ(mngr_.writePos(), writePos);
  EXPECT_EQ(mngr_.committed(), committed);
  EXPECT_TRUE(mngr_.isBroken());
  EXPECT_FALSE(mngr_.isRecording());
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "イベント記録中に例外が発生しました!\r以降のイベント記録は停止します...");

  // Recording has stopped: later commands are not recorded and nothing is warned again.
  EXPECT_TRUE(mngr_.appendStep(kPcPaper, 16, nullptr, 0));
  EXPECT_EQ(mngr_.writePos(), writePos);
  EXPECT_EQ(mngr_.committed(), committed);
  EXPECT_EQ(warnings_.Texts().size(), 1u);

  // A broken stream is not written out.
  MemoryStream out;
  EXPECT_EQ(mngr_.writeStreamTo(out), 0u);
  EXPECT_EQ(out.Size(), 0);

  // A fresh recording starts whole again.
  ASSERT_TRUE(mngr_.setupRecording(nullptr, nullptr, 42, 42));
  EXPECT_FALSE(mngr_.isBroken());
  EXPECT_TRUE(mngr_.isRecording());
}

TEST_F(EventStreamTest, FailedTrailingDataBreaksTheStreamToo) {
  ASSERT_TRUE(mngr_.commitStep());
  std::vector<uint8_t> packed(3 * kBlock, 1);
  SChannelPacket header{};
  header.n = static_cast<int32_t>(packed.size());
  ASSERT_TRUE(mngr_.appendRecord(kPcChannel, 0, header));
  SetMemoryRefusals(1);
  EXPECT_FALSE(mngr_.commitStep(packed.data(), static_cast<uint32_t>(packed.size())));
  SetMemoryRefusals(0);
  EXPECT_TRUE(mngr_.isBroken());
  EXPECT_EQ(mngr_.committed(), 14);
  EXPECT_EQ(mngr_.stepCount(), 1);
  // The channel header stays behind without its data; undo still moves the stream.
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_EQ(mngr_.committed(), 0);
  EXPECT_EQ(mngr_.writePos(), 0u);
}

TEST(EventStreamLimits, StreamNeverGrowsPastTheInt32Range) {
  // Regression: blocks were added without a limit, so a stream past 2 GB gave a negative
  // committed length (and past 4 GB a wrapped allocated count).
  RecordingWarningHost warnings;
  WarningHost* previous = SetWarningHost(&warnings);
  constexpr uint32_t kHugeBlock = 1u << 30;  // allocated lazily; only the last page is touched
  CEventMngr m(kHugeBlock, kHugeBlock);
  ASSERT_TRUE(m.setupRecording(nullptr, nullptr, 8, 8));
  ASSERT_TRUE(m.commitStep());
  ASSERT_TRUE(m.appendStep(kPcPaper, 4, nullptr, 0));  // a second step, so a write position
  // near the end of the first block stays a whole stream
  m.setWritePosition(kHugeBlock - 8, m.committed(), m.stepCount());
  ASSERT_EQ(m.writePos(), kHugeBlock - 8);
  ASSERT_TRUE(m.appendPacket(kPcPaper, 4, nullptr, 0));  // still inside the first block
  // A second block would take the stream past INT32_MAX bytes: refused, nothing written.
  uint8_t payload[8] = {};
  EXPECT_FALSE(m.appendPacket(kPcPaper, 1, payload, 4));
  EXPECT_EQ(m.writePos(), kHugeBlock - 6);
  EXPECT_EQ(m.allocated(), kHugeBlock);
  EXPECT_EQ(m.blockCountHeld(), 1u);
  EXPECT_TRUE(m.isBroken());
  EXPECT_EQ(warnings.Texts().size(), 1u);
  SetWarningHost(previous);
}

TEST_F(EventStreamTest, NothingIsWrittenUnlessRecording) {
  ASSERT_TRUE(mngr_.commitStep());
  mngr_.state = kEventPlaying;
  EXPECT_TRUE(mngr_.appendStep(kPcPaper, 16, nullptr, 0));
  EXPECT_TRUE(mngr_.commitStep());
  EXPECT_EQ(mngr_.writePos(), 14u);
  EXPECT_EQ(mngr_.stepCount(), 1);
  EXPECT_FALSE(mngr_.isBroken());
}

TEST(EventStreamSetup, ResetWithoutARingDoesNothing) {
  CEventMngr m(kBlock, 1048576);
  EXPECT_TRUE(m.isReady());
  EXPECT_FALSE(m.hasStream());
  EXPECT_FALSE(m.resetStream());
  EXPECT_FALSE(m.undoStep());
  EXPECT_FALSE(m.redoStep());
  CEventMngr none(0, 0);
  EXPECT_FALSE(none.isReady());
  EXPECT_FALSE(none.setupRecording(nullptr, nullptr, 8, 8));
  EXPECT_FALSE(m.setupRecording(nullptr, nullptr, 0, 8));  // the ring cannot be set up
}

// ---------------------------------------------------------------------------------------------
// State records and step contents

TEST_F(EventStreamTest, StateRecordsAreWrittenWhenChangedAndForgottenByUndo) {
  ASSERT_TRUE(mngr_.commitStep());
  SPenSizeRecord size{};
  size.width = 3.0f;
  SActiveLayerRecord active{};
  EXPECT_EQ(mngr_.writeStateRecord(kStPenSize, &size, sizeof size), StateWrite::kWritten);
  EXPECT_EQ(mngr_.writeStateRecord(kStActiveLayer, &active, sizeof active), StateWrite::kWritten);
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 32, nullptr, 0));
  // Unchanged: only the active layer (always written) and the command.
  EXPECT_EQ(mngr_.writeStateRecord(kStPenSize, &size, sizeof size), StateWrite::kUnchanged);
  EXPECT_EQ(mngr_.writeStateRecord(kStActiveLayer, &active, sizeof active), StateWrite::kWritten);
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 33, nullptr, 0));
  EXPECT_EQ(mngr_.committed(), 14 + (2 + 8 + 2 + 4 + 2) + (2 + 4 + 2));

  uint8_t cls = 0, code = 0;
  ASSERT_TRUE(mngr_.getLastStepPacket(cls, code));
  EXPECT_EQ(cls, kPcPaper);
  EXPECT_EQ(code, 33);

  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_TRUE(mngr_.isSnapshotValid(kStPenSize));  // written in the earlier step
  EXPECT_FALSE(mngr_.isSnapshotValid(kStActiveLayer));
  ASSERT_TRUE(mngr_.getLastStepPacket(cls, code));
  EXPECT_EQ(code, 32);
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_FALSE(mngr_.isSnapshotValid(kStPenSize));
  EXPECT_EQ(mngr_.writeStateRecord(kStPenSize, &size, sizeof size), StateWrite::kWritten);

  // Wrong sizes and codes without a record are refused.
  EXPECT_EQ(mngr_.writeStateRecord(kStPenSize, &size, 4), StateWrite::kFailed);
  EXPECT_EQ(mngr_.writeStateRecord(kStFloorTexture, &size, sizeof size), StateWrite::kFailed);
  mngr_.forgetActiveLayer();
  EXPECT_FALSE(mngr_.isSnapshotValid(kStActiveLayer));
}

// Steps recorded, undone and redone, each case a script of operations with the answer each
// must give, then the step count and the positions afterwards. Every case starts after the
// application-state step (committed 14).
TEST_F(EventStreamTest, StepScripts) {
  enum class Op { kCommit, kUndo, kRedo, kFont, kStepCountToZero };
  struct Step {
    Op op;
    bool ok;
  };
  struct Case {
    const char* label;
    std::vector<Step> steps;
    int32_t stepCount;
    int32_t committed;
    uint32_t writePos;
  };
  constexpr uint32_t kFontPacket = 2 + sizeof(SFontRecord);
  const Case cases[] = {
      // The font record is written every time, even unchanged: two packets.
      {"font record twice", {{Op::kFont, true}, {Op::kFont, true}}, 1, 14, 14 + 2 * kFontPacket},
      {"font record twice in two steps",
       {{Op::kFont, true}, {Op::kCommit, true}, {Op::kFont, true}, {Op::kCommit, true}},
       3,
       14 + 2 * kFontPacket,
       14 + 2 * kFontPacket},
      // A step count of 0 (a stream loaded with none) leaves nothing to undo.
      {"undo at step count 0", {{Op::kStepCountToZero, true}, {Op::kUndo, false}}, 0, 14, 14},
      // An empty step is a step: undone and redone like any other.
      {"redo of an empty second step",
       {{Op::kCommit, true}, {Op::kCommit, true}, {Op::kUndo, true}, {Op::kRedo, true}},
       3,
       14,
       14},
      {"redo of an empty step after a font step",
       {{Op::kFont, true},
        {Op::kCommit, true},
        {Op::kCommit, true},
        {Op::kUndo, true},
        {Op::kUndo, true},
        {Op::kRedo, true},
        {Op::kRedo, true},
        {Op::kRedo, false}},
       3,
       14 + kFontPacket,
       14 + kFontPacket},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CEventMngr m(kBlock, 1048576);
    ASSERT_TRUE(m.setupRecording(nullptr, nullptr, 200, 200));
    ASSERT_TRUE(m.commitStep());
    SFontRecord font{};
    font.layout1 = 12;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      bool ok = false;
      switch (c.steps[i].op) {
        case Op::kCommit: ok = m.commitStep(); break;
        case Op::kUndo: ok = m.undoStep(); break;
        case Op::kRedo: ok = m.redoStep(); break;
        case Op::kFont: ok = m.writeStateRecord(kStFont, &font, sizeof font) == StateWrite::kWritten; break;
        case Op::kStepCountToZero:
          m.setWritePosition(m.writePos(), m.committed(), 0);
          ok = true;
          break;
      }
      EXPECT_EQ(ok, c.steps[i].ok) << "operation " << i;
    }
    EXPECT_EQ(m.stepCount(), c.stepCount);
    EXPECT_EQ(m.committed(), c.committed);
    EXPECT_EQ(m.writePos(), c.writePos);
  }
}

// A redo that runs out of memory while it puts the keys of its definitions back into the
// dictionaries takes out again the keys it had put back, and the step stays undone. Every
// allocation of the redo is made to fail in turn.
TEST_F(EventStreamTest, RedoThatRunsOutOfMemoryRollsBackItsKeys) {
  bool failedOnce = false;
  for (int64_t after = 0; after < 64; ++after) {
    SCOPED_TRACE(after);
    CEventMngr m(kBlock, 1048576);
    ASSERT_TRUE(m.setupRecording(nullptr, nullptr, 200, 200));
    ASSERT_TRUE(m.commitStep());
    // Many keys, so that the dictionaries allocate as they take them.
    std::vector<uint32_t> keys;
    for (uint32_t k = 0; k < 40; ++k) {
      SToneDefinition tone{};
      tone.key = 1000 + k;
      ASSERT_TRUE(m.appendRecord(kPcState, kStToneDefinition, tone));
      keys.push_back(tone.key);
    }
    SShapeDefinition shape{};
    shape.key = 77;
    ASSERT_TRUE(m.appendRecord(kPcState, kStShapeDefinition, shape));
    ASSERT_TRUE(m.commitStep());
    ASSERT_TRUE(m.undoStep());
    const int32_t committed = m.committed();
    bool redone;
    {
      test::ScopedNewFailure failure(after);
      redone = m.redoStep();
      if (!redone) {
        ASSERT_TRUE(test::NewFailureHappened());
      }
    }
    size_t present = m.shapeDict.contains(77) ? 1 : 0;
    for (uint32_t k : keys) present += m.toneDict.contains(k) ? 1 : 0;
    if (redone) {
      EXPECT_EQ(present, keys.size() + 1);
      EXPECT_EQ(m.stepCount(), 2);
      break;  // no allocation left to fail
    }
    failedOnce = true;
    EXPECT_EQ(present, 0u);
    EXPECT_EQ(m.committed(), committed);
    EXPECT_EQ(m.stepCount(), 1);
    // Memory back: the redo succeeds and every key returns.
    ASSERT_TRUE(m.redoStep());
    EXPECT_TRUE(m.shapeDict.contains(77));
    EXPECT_TRUE(m.toneDict.contains(keys.back()));
  }
  EXPECT_TRUE(failedOnce);
}

TEST_F(EventStreamTest, UndoingADefinitionRemovesItsDictionaryKey) {
  ASSERT_TRUE(mngr_.commitStep());
  SToneDefinition tone{};
  tone.key = 0xBEEF;
  ASSERT_TRUE(mngr_.appendRecord(kPcState, kStToneDefinition, tone));
  ASSERT_TRUE(mngr_.toneDict.setAt(0xBEEF, 14));
  SShapeDefinition shape{};
  shape.key = 77;
  ASSERT_TRUE(mngr_.appendRecord(kPcState, kStShapeDefinition, shape));
  ASSERT_TRUE(mngr_.shapeDict.setAt(77, 176));
  mngr_.setSnapshotValid(kStToneReference, true);
  SFillPacket fill{};
  ASSERT_TRUE(mngr_.appendRecord(kPcFill, 0, fill));
  ASSERT_TRUE(mngr_.commitStep());
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_FALSE(mngr_.toneDict.contains(0xBEEF));
  EXPECT_FALSE(mngr_.shapeDict.contains(77));
  EXPECT_FALSE(mngr_.isSnapshotValid(kStToneReference));
  // Redo brings the definitions back into the stream, so their keys return too, at the
  // positions of the definition packets. Regression: the keys stayed out, the next use of the
  // tone or nib wrote a second definition of the same key, and playback refuses a definition
  // whose key it already has.
  ASSERT_TRUE(mngr_.redoStep());
  EXPECT_EQ(mngr_.committed(), 14 + 162 + 42 + 24);
  uint32_t value = 0;
  ASSERT_TRUE(mngr_.toneDict.lookup(0xBEEF, value));
  EXPECT_EQ(value, 14u);
  ASSERT_TRUE(mngr_.shapeDict.lookup(77, value));
  EXPECT_EQ(value, 14u + 162u);
  // Undo again forgets them again; a new command after it leaves nothing to redo.
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_FALSE(mngr_.toneDict.contains(0xBEEF));
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 16, nullptr, 0));
  EXPECT_FALSE(mngr_.redoStep());
  EXPECT_FALSE(mngr_.toneDict.contains(0xBEEF));
  EXPECT_FALSE(mngr_.shapeDict.contains(77));
}

TEST_F(EventStreamTest, PacketsLeftOpenAfterTheLastStepGoWithIt) {
  // A command may append its state records and then record nothing (a selection from an empty
  // channel, say), which leaves the records open after the last closed step.
  ASSERT_TRUE(mngr_.commitStep());                          // 0 .. 14
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 16, nullptr, 0));  // 14 .. 16
  SToneDefinition tone{};
  tone.key = 5;
  ASSERT_TRUE(mngr_.appendRecord(kPcState, kStToneDefinition, tone));
  ASSERT_TRUE(mngr_.toneDict.setAt(5, 16));
  mngr_.setSnapshotValid(kStToneReference, true);
  SPenSizeRecord size{};
  size.width = 2.0f;
  ASSERT_EQ(mngr_.writeStateRecord(kStPenSize, &size, sizeof size), StateWrite::kWritten);

  // Undo leaves them out of the stream with the last step, so their keys and snapshot bits go
  // too: the next use writes them again instead of referring to bytes no longer there.
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_EQ(mngr_.writePos(), 14u);
  EXPECT_FALSE(mngr_.toneDict.contains(5));
  EXPECT_FALSE(mngr_.isSnapshotValid(kStToneReference));
  EXPECT_FALSE(mngr_.isSnapshotValid(kStPenSize));

  // A record appended now writes over the undone step's bytes: that step cannot be redone.
  ASSERT_EQ(mngr_.writeStateRecord(kStPenSize, &size, sizeof size), StateWrite::kWritten);
  EXPECT_EQ(mngr_.getRedoSteps(), 0);
  EXPECT_FALSE(mngr_.redoStep());
  EXPECT_EQ(mngr_.committed(), 14);
  EXPECT_EQ(mngr_.writePos(), 24u);

  // Dropping the last step takes the open records along as well.
  ASSERT_TRUE(mngr_.commitStep());  // 14 .. 24
  ASSERT_TRUE(mngr_.appendRecord(kPcState, kStToneDefinition, tone));
  ASSERT_TRUE(mngr_.toneDict.setAt(5, 24));
  ASSERT_TRUE(mngr_.dropLastStep());
  EXPECT_EQ(mngr_.writePos(), 14u);
  EXPECT_FALSE(mngr_.toneDict.contains(5));
  EXPECT_FALSE(mngr_.isSnapshotValid(kStPenSize));
  EXPECT_TRUE(mngr_.walkPackets(0, mngr_.writePos(), [](const SPacketFrame&) { return true; }).ok);
}

TEST_F(EventStreamTest, UndoStopsAtAnUnknownStatePacket) {
  ASSERT_TRUE(mngr_.commitStep());
  ASSERT_TRUE(mngr_.appendStep(kPcState, 99, nullptr, 0));  // not a state record
  EXPECT_FALSE(mngr_.undoStep());
  EXPECT_EQ(mngr_.committed(), 16);
}

TEST_F(EventStreamTest, ClearRedoAndDropLastStep) {
  ASSERT_TRUE(mngr_.commitStep());
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 16, nullptr, 0));
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 17, nullptr, 0));
  EXPECT_FALSE(mngr_.clearRedo());
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_TRUE(mngr_.clearRedo());
  EXPECT_FALSE(mngr_.redoStep());
  ASSERT_TRUE(mngr_.dropLastStep());
  EXPECT_EQ(mngr_.committed(), 14);
  EXPECT_EQ(mngr_.stepCount(), 1);
  ASSERT_TRUE(mngr_.appendStep(kPcPaper, 18, nullptr, 0));
  uint8_t cls = 0, code = 0;
  ASSERT_TRUE(mngr_.getLastStepPacket(cls, code));
  EXPECT_EQ(code, 18);
  ASSERT_TRUE(mngr_.dropLastStep());
  ASSERT_TRUE(mngr_.dropLastStep());
  EXPECT_FALSE(mngr_.dropLastStep());
  EXPECT_FALSE(mngr_.getLastStepPacket(cls, code));
  EXPECT_EQ(mngr_.committed(), 0);
}

}  // namespace
}  // namespace tf
