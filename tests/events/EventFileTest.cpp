#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "events/EventFile.h"
#include "events/EventStream.h"
#include "platform/ByteOrder.h"
#include "platform/Memory.h"
#include "platform/Progress.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/ImageChunk.h"
#include "support/FaultStream.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::FaultStream;
using test::XorShiftRng;

constexpr uint32_t kBlock = 65536;
// Small blocks for the tables that try every byte of a file.
constexpr uint32_t kSmallBlock = 256;

// Closes steps of class-1 packets (int32 n, then n bytes) until the committed stream is exactly
// length bytes (14, the application-state record alone, or at least 20).
void RecordToLength(CEventMngr& m, uint32_t length, uint32_t largest, uint64_t seed) {
  XorShiftRng rng(seed);
  ASSERT_TRUE(m.commitStep());
  ASSERT_EQ(m.committed(), 14);
  while (static_cast<uint32_t>(m.committed()) < length) {
    const uint32_t left = length - static_cast<uint32_t>(m.committed());
    ASSERT_GE(left, 6u);
    const uint32_t n = left <= largest + 6 ? left - 6 : largest - rng.Next() % 16;
    std::vector<uint8_t> data(n);
    for (auto& b : data) b = static_cast<uint8_t>(rng.Next());
    uint8_t count[4];
    StoreU32(count, n);
    ASSERT_TRUE(m.appendPacket(kPcInfo, 3, count, 4, data.data(), n));
    ASSERT_TRUE(m.commitStep());
  }
  ASSERT_EQ(static_cast<uint32_t>(m.committed()), length);
}

std::vector<uint8_t> StreamBytes(const CEventMngr& m) {
  std::vector<uint8_t> bytes(static_cast<size_t>(m.committed()));
  EXPECT_EQ(m.readSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
  return bytes;
}

class EventFileTest : public ::testing::Test {
 protected:
  void SetUp() override { previousHost_ = SetWarningHost(&warnings_); }
  void TearDown() override {
    SetMemoryRefusals(0);
    SetWarningHost(previousHost_);
  }

  // A recording manager (blocks of blockSize) holding a stream of exactly length bytes.
  std::unique_ptr<CEventMngr> Recorded(uint32_t length, uint32_t blockSize = kBlock, uint32_t largest = 30000) {
    auto m = std::make_unique<CEventMngr>(blockSize, 1048576);
    EXPECT_TRUE(m->setupRecording(nullptr, nullptr, 64, 64));
    RecordToLength(*m, length, largest, length * 7 + blockSize);
    return m;
  }
  // A fresh manager ready to load into.
  std::unique_ptr<CEventMngr> Fresh(uint32_t blockSize = kBlock) {
    auto m = std::make_unique<CEventMngr>(blockSize, 1048576);
    EXPECT_TRUE(m->setupStream(nullptr, nullptr, 64, 64));
    return m;
  }

  RecordingWarningHost warnings_;
  WarningHost* previousHost_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Layouts

TEST_F(EventFileTest, HeaderBytes) {
  SEventFileHeader file;
  file.canvasWidth = 0x01020304;
  file.canvasHeight = -2;
  file.version = 0x0506;
  file.flagWord = 0x0708;
  file.stepCount = 0x090A0B0C;
  file.streamLength = 0x0D0E0F10;
  file.blockCount = 0x11121314;
  file.blockSize = 65536;
  uint8_t bytes[56];
  EncodeEventFileHeader(file, bytes);
  const uint8_t expectedFile[56] = {'T',  'E',  'V',  'P',  48, 0, 0, 0, 4,  3, 2,    1,    0xFE, 0xFF,
                                    0xFF, 0xFF, 6,    5,    8,  7, 4, 0, 58, 0, 0x0C, 0x0B, 0x0A, 0x09,
                                    0x10, 0x0F, 0x0E, 0x0D, 0,  0, 0, 0, 0,  0, 0,    0,    0x14, 0x13,
                                    0x12, 0x11, 0,    0,    1,  0, 0, 0, 0,  0, 0,    0,    0,    0};
  EXPECT_EQ(std::memcmp(bytes, expectedFile, 56), 0);
  SEventFileHeader fileBack = DecodeEventFileHeader(bytes);
  EXPECT_EQ(std::memcmp(&fileBack, &file, sizeof file), 0);

  SEventBlockHeader block;
  block.size = 20 + 1236;
  block.offset = 0x00030000;
  block.unpackedLength = 0x1234;
  block.packedLength = 1235;
  uint8_t blockBytes[28];
  EncodeEventBlockHeader(block, blockBytes);
  const uint8_t expectedBlock[28] = {'T', 'B', 'E',  'V',  0xE8, 0x04, 0, 0, 0, 0, 3, 0, 0x34, 0x12,
                                     0,   0,   0xD3, 0x04, 0,    0,    0, 0, 0, 0, 0, 0, 0,    0};
  EXPECT_EQ(std::memcmp(blockBytes, expectedBlock, 28), 0);
  SEventBlockHeader blockBack = DecodeEventBlockHeader(blockBytes);
  EXPECT_EQ(std::memcmp(&blockBack, &block, sizeof block), 0);

  SEventStreamHeader raw;
  raw.size = 32 + 1000;
  raw.canvasWidth = 640;
  raw.canvasHeight = 480;
  raw.stepCount = 3;
  raw.streamLength = 999;
  uint8_t rawBytes[40];
  EncodeEventStreamHeader(raw, rawBytes);
  const uint8_t expectedRaw[40] = {'T',  'E',  'V', 'S', 0x08, 0x04, 0, 0, 0x80, 0x02, 0, 0, 0xE0, 0x01,
                                   0,    0,    43,  0,   0,    0,    4, 0, 58,   0,    3, 0, 0,    0,
                                   0xE7, 0x03, 0,   0,   0,    0,    0, 0, 0,    0,    0, 0};
  EXPECT_EQ(std::memcmp(rawBytes, expectedRaw, 40), 0);
  SEventStreamHeader rawBack = DecodeEventStreamHeader(rawBytes);
  EXPECT_EQ(std::memcmp(&rawBack, &raw, sizeof raw), 0);
}

// ---------------------------------------------------------------------------------------------
// Round trips

// Lengths at the block boundaries, both forms: the same bytes, step count, version and flags.
TEST_F(EventFileTest, StreamsAtBlockBoundariesRoundTripInBothForms) {
  const uint32_t lengths[] = {14, 100, 65535, 65536, 65537, 131072, 131073, 200003};
  for (uint32_t length : lengths) {
    auto source = Recorded(length);
    for (bool full : {true, false}) {
      SCOPED_TRACE(testing::Message() << length << (full ? " full" : " raw"));
      MemoryStream stream;
      const uint8_t code = full ? WriteEventData(stream, *source, SSize{800, 600}, 40, nullptr, 0x1234)
                                : WriteEventStream(stream, *source, SSize{800, 600});
      ASSERT_EQ(code, 0);
      EXPECT_EQ(stream.Size() % 4, 0);
      if (full) {
        const SEventFileHeader header = DecodeEventFileHeader(stream.Data());
        EXPECT_EQ(header.blockCount, static_cast<int32_t>((length + kBlock - 1) / kBlock));
        EXPECT_EQ(header.version, 40);
        EXPECT_EQ(header.flagWord, 0x1234);
        EXPECT_EQ(header.stepCount, source->stepCount());
        // The last block's unpacked length is what is left.
        int64_t at = 56;
        int32_t lastUnpacked = 0;
        while (at < stream.Size()) {
          const SEventBlockHeader block = DecodeEventBlockHeader(stream.Data() + at);
          lastUnpacked = block.unpackedLength;
          at += 8 + block.size;
        }
        EXPECT_EQ(lastUnpacked, static_cast<int32_t>(length % kBlock == 0 ? kBlock : length % kBlock));
      }
      auto loaded = Fresh();
      ASSERT_TRUE(stream.SetPosition(0));
      ASSERT_EQ(ReadEventChunk(stream, loaded.get(), nullptr), 0);
      EXPECT_EQ(stream.Position(), stream.Size());
      EXPECT_EQ(StreamBytes(*loaded), StreamBytes(*source));
      EXPECT_EQ(loaded->stepCount(), source->stepCount());
      EXPECT_EQ(loaded->writePos(), length);
      EXPECT_EQ(loaded->version, full ? 40 : 43);
      EXPECT_EQ(loaded->fileFlags, full ? 0x1234 : 0);
      EXPECT_EQ(loaded->state, kEventIdle);  // the caller's state stays
    }
  }
}

TEST_F(EventFileTest, LevelAndFlagWordRules) {
  auto source = Recorded(500);
  struct Case {
    int32_t level, flagWord;
    uint16_t version, flags;
  };
  for (const Case& c : {Case{-1, -1, 43, 0}, Case{50, 7, 43, 7}, Case{0, 0x8000, 0, 0x8000}, Case{15, 0, 15, 0},
                        Case{44, -1, 43, 0}}) {
    MemoryStream stream;
    ASSERT_EQ(WriteEventData(stream, *source, SSize{1, 1}, c.level, nullptr, c.flagWord), 0);
    const SEventFileHeader header = DecodeEventFileHeader(stream.Data());
    EXPECT_EQ(header.version, c.version) << c.level;
    EXPECT_EQ(header.flagWord, c.flags) << c.level;
  }
}

TEST_F(EventFileTest, ThumbnailBeforeTheEventsIsSkipped) {
  auto source = Recorded(70000);
  MemoryStream stream;
  TMTC picture(30, 20);
  picture.FillValue(0xFF336699u);
  ASSERT_EQ(WritePictureChunk(stream, SSize{300, 200}, picture, true), 0);
  ASSERT_EQ(WriteEventData(stream, *source, SSize{300, 200}, -1, nullptr, -1), 0);
  auto loaded = Fresh();
  ASSERT_TRUE(stream.SetPosition(0));
  ASSERT_EQ(ReadEventChunk(stream, loaded.get(), nullptr), 0);
  EXPECT_EQ(StreamBytes(*loaded), StreamBytes(*source));
}

TEST_F(EventFileTest, ProgressStepsOncePerBlock) {
  auto source = Recorded(3 * kBlock + 5);
  std::vector<std::string> log;
  RecordingProgressDlg dialog(log);
  MemoryStream stream;
  dialog.SetRange(4, 0);
  ASSERT_EQ(WriteEventData(stream, *source, SSize{1, 1}, -1, &dialog, -1), 0);
  EXPECT_EQ(dialog.Position(), 4);
  auto loaded = Fresh();
  ASSERT_TRUE(stream.SetPosition(0));
  dialog.SetRange(1, 0);
  ASSERT_EQ(ReadEventChunk(stream, loaded.get(), &dialog), 0);
  EXPECT_EQ(dialog.Maximum(), 4);
  EXPECT_EQ(dialog.Position(), 4);
  EXPECT_EQ(dialog.Percent(), 100);
}

// ---------------------------------------------------------------------------------------------
// Writers

TEST_F(EventFileTest, WritersRefuseEmptyBrokenAndUnwalkableStreams) {
  // Empty: 42 from every writer.
  auto empty = std::make_unique<CEventMngr>(kBlock, 1048576);
  ASSERT_TRUE(empty->setupRecording(nullptr, nullptr, 8, 8));
  MemoryStream stream;
  EXPECT_EQ(WriteEventData(stream, *empty, SSize{1, 1}, -1, nullptr, -1), 42);
  EXPECT_EQ(WriteEventStream(stream, *empty, SSize{1, 1}), 42);
  EXPECT_EQ(WriteEventBlocks(stream, *empty, nullptr), 42);
  EXPECT_EQ(stream.Size(), 0);

  // Broken (an append failed): 47 from every writer.
  auto broken = Recorded(200);
  SetMemoryRefusals(1);
  std::vector<uint8_t> more(kBlock, 5);
  uint8_t count[4];
  StoreU32(count, kBlock);
  EXPECT_FALSE(broken->appendPacket(kPcInfo, 3, count, 4, more.data(), kBlock));
  SetMemoryRefusals(0);
  ASSERT_TRUE(broken->isBroken());
  EXPECT_EQ(WriteEventData(stream, *broken, SSize{1, 1}, -1, nullptr, -1), 47);
  EXPECT_EQ(WriteEventStream(stream, *broken, SSize{1, 1}), 47);
  EXPECT_EQ(WriteEventBlocks(stream, *broken, nullptr), 47);
  EXPECT_EQ(stream.Size(), 0);

  // A stream that does not walk packet by packet: warned about, 47.
  auto garbage = Fresh();
  std::vector<uint8_t> bytes(300, 0xEE);  // class 0xEE is no packet class
  MemoryStream source(bytes);
  ASSERT_EQ(garbage->loadRawStream(source, 300, 1), 300u);
  warnings_.Clear();
  EXPECT_EQ(WriteEventData(stream, *garbage, SSize{1, 1}, -1, nullptr, -1), 47);
  EXPECT_EQ(WriteEventStream(stream, *garbage, SSize{1, 1}), 47);
  ASSERT_EQ(warnings_.Texts().size(), 2u);
  EXPECT_EQ(warnings_.Texts()[0], "イベントパケットが不正です!");
  EXPECT_EQ(stream.Size(), 0);
}

TEST_F(EventFileTest, WritesRefusedAtAnyByteReportShortWrite) {
  auto source = Recorded(1000, kSmallBlock, 200);
  MemoryStream whole;
  ASSERT_EQ(WriteEventData(whole, *source, SSize{1, 1}, -1, nullptr, -1), 0);
  MemoryStream wholeRaw;
  ASSERT_EQ(WriteEventStream(wholeRaw, *source, SSize{1, 1}), 0);
  for (int64_t limit = 0; limit < whole.Size(); ++limit) {
    FaultStream stream(limit);
    ASSERT_EQ(WriteEventData(stream, *source, SSize{1, 1}, -1, nullptr, -1), 8) << limit;
  }
  for (int64_t limit = 0; limit < wholeRaw.Size(); ++limit) {
    FaultStream stream(limit);
    ASSERT_EQ(WriteEventStream(stream, *source, SSize{1, 1}), 8) << limit;
  }
}

// ---------------------------------------------------------------------------------------------
// Bad input

enum class Form { kFull, kRaw, kThumbnailFirst };

struct BadEventCase {
  const char* name;
  Form form;
  int32_t offset;  // in the file; for kFull block fields, 56 + field
  int32_t width;   // 2 or 4; 0: the byte XORed with 0xFF
  int64_t value;
  uint8_t code;
  bool streamKept;  // the target's previous stream is untouched
};

void PrintTo(const BadEventCase& c, std::ostream* os) { *os << c.name; }

// 1000 bytes in blocks of 256 (four blocks, the last of 232).
class EventFileBadInput : public EventFileTest, public ::testing::WithParamInterface<BadEventCase> {};

TEST_P(EventFileBadInput, NamesTheCodeAndKeepsWhatItShould) {
  const BadEventCase& c = GetParam();
  auto source = Recorded(1000, kSmallBlock, 200);
  MemoryStream stream;
  if (c.form == Form::kThumbnailFirst) {
    TMTC picture(4, 4);
    ASSERT_EQ(WritePictureChunk(stream, SSize{4, 4}, picture, false), 0);
  }
  if (c.form == Form::kRaw)
    ASSERT_EQ(WriteEventStream(stream, *source, SSize{1, 1}), 0);
  else
    ASSERT_EQ(WriteEventData(stream, *source, SSize{1, 1}, -1, nullptr, -1), 0);
  std::vector<uint8_t> bytes = stream.TakeBytes();
  uint8_t* at = bytes.data() + c.offset;
  if (c.width == 0) *at ^= 0xFF;
  if (c.width == 2) StoreU16(at, static_cast<uint16_t>(c.value));
  if (c.width == 4) StoreU32(at, static_cast<uint32_t>(c.value));

  auto target = Recorded(300, kSmallBlock, 100);
  const std::vector<uint8_t> before = StreamBytes(*target);
  MemoryStream damaged(bytes);
  EXPECT_EQ(ReadEventChunk(damaged, target.get(), nullptr), c.code);
  if (c.streamKept) {
    EXPECT_EQ(StreamBytes(*target), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EventFileBadInput,
    ::testing::Values(BadEventCase{"WrongId", Form::kFull, 0, 4, 0x50564558, 16, true},
                      BadEventCase{"HeaderSize", Form::kFull, 4, 4, 47, 17, true},
                      BadEventCase{"Version44", Form::kFull, 16, 2, 44, 12, true},
                      BadEventCase{"StepsNegative", Form::kFull, 24, 4, -1, 17, true},
                      BadEventCase{"LengthNegative", Form::kFull, 28, 4, -1000, 17, true},
                      BadEventCase{"LengthZero", Form::kFull, 28, 4, 0, 42, true},
                      BadEventCase{"LengthBeyondTheManager", Form::kFull, 28, 4, 0x7FFFFFFF, 17, true},
                      BadEventCase{"BlockCountZero", Form::kFull, 40, 4, 0, 42, true},
                      BadEventCase{"BlockCountNegative", Form::kFull, 40, 4, -4, 17, true},
                      BadEventCase{"BlockSizeDiffers", Form::kFull, 44, 4, 512, 44, true},
                      BadEventCase{"BlockId", Form::kFull, 56 + 0, 4, 0x56454254 ^ 0x20, 16, false},
                      BadEventCase{"BlockSizeBelow20", Form::kFull, 56 + 4, 4, 19, 17, false},
                      BadEventCase{"BlockSizePastTheEnd", Form::kFull, 56 + 4, 4, 0x7FFFFFF0, 9, false},
                      BadEventCase{"UnpackedZero", Form::kFull, 56 + 12, 4, 0, 17, false},
                      BadEventCase{"UnpackedNegative", Form::kFull, 56 + 12, 4, -5, 17, false},
                      BadEventCase{"UnpackedAboveBlock", Form::kFull, 56 + 12, 4, 257, 17, false},
                      BadEventCase{"PackedZero", Form::kFull, 56 + 16, 4, 0, 17, false},
                      BadEventCase{"PackedNegative", Form::kFull, 56 + 16, 4, -1, 17, false},
                      BadEventCase{"PackedBeyondBlock", Form::kFull, 56 + 16, 4, 0x10000, 17, false},
                      BadEventCase{"PackedByteFlipped", Form::kFull, 56 + 28 + 5, 0, 0, 39, false},
                      BadEventCase{"RawFlagWord", Form::kRaw, 18, 2, 1, 15, true},
                      BadEventCase{"RawVersion44", Form::kRaw, 16, 2, 44, 12, true},
                      BadEventCase{"RawPaddingNegative", Form::kRaw, 4, 4, 32 + 999, 17, true},
                      BadEventCase{"RawLengthZero", Form::kRaw, 28, 4, 0, 42, true},
                      BadEventCase{"RawLengthNegative", Form::kRaw, 28, 4, -1, 17, true},
                      BadEventCase{"RawStepsNegative", Form::kRaw, 24, 4, -3, 17, true},
                      BadEventCase{"RawLongerThanTheFile", Form::kRaw, 4, 4, 0x7FFFFF00, 41, true},
                      BadEventCase{"ThumbnailSizeBelow40", Form::kThumbnailFirst, 4, 4, 39, 17, true},
                      BadEventCase{"ThumbnailSizePastTheEnd", Form::kThumbnailFirst, 4, 4, 0x7FFFFF00, 9, true}),
    [](const ::testing::TestParamInfo<BadEventCase>& info) { return std::string(info.param.name); });

TEST_F(EventFileTest, NoUsableManagerIs40) {
  auto source = Recorded(100);
  MemoryStream stream;
  ASSERT_EQ(WriteEventData(stream, *source, SSize{1, 1}, -1, nullptr, -1), 0);
  ASSERT_TRUE(stream.SetPosition(0));
  EXPECT_EQ(ReadEventChunk(stream, nullptr, nullptr), 40);
  CEventMngr noBlocks(0, 0);
  ASSERT_TRUE(stream.SetPosition(0));
  EXPECT_EQ(ReadEventChunk(stream, &noBlocks, nullptr), 40);
}

// The last block's unpacked length may not reach past the stream length.
TEST_F(EventFileTest, BlockPastTheStreamLengthIs17) {
  auto source = Recorded(1000, kSmallBlock, 200);
  MemoryStream stream;
  ASSERT_EQ(WriteEventData(stream, *source, SSize{1, 1}, -1, nullptr, -1), 0);
  std::vector<uint8_t> bytes = stream.TakeBytes();
  StoreI32(bytes.data() + 28, 900);  // the header now promises less than the blocks hold
  MemoryStream damaged(bytes);
  auto loaded = Fresh(kSmallBlock);
  EXPECT_EQ(ReadEventChunk(damaged, loaded.get(), nullptr), 17);
  EXPECT_EQ(loaded->committed(), 768);  // three whole blocks were read
}

// A file cut anywhere loads the whole blocks before the cut and stops at the block that failed.
TEST_F(EventFileTest, EveryPrefixLoadsTheBlocksBeforeTheCut) {
  auto source = Recorded(1000, kSmallBlock, 200);
  MemoryStream stream;
  ASSERT_EQ(WriteEventData(stream, *source, SSize{1, 1}, -1, nullptr, -1), 0);
  const std::vector<uint8_t> bytes = stream.TakeBytes();
  const std::vector<uint8_t> full = StreamBytes(*source);
  std::vector<int64_t> blockStarts;
  for (int64_t at = 56; at < static_cast<int64_t>(bytes.size()); at += 8 + LoadU32(bytes.data() + at + 4))
    blockStarts.push_back(at);
  ASSERT_EQ(blockStarts.size(), 4u);
  for (size_t n = 0; n < bytes.size(); ++n) {
    MemoryStream cut(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
    auto loaded = Fresh(kSmallBlock);
    ASSERT_EQ(ReadEventChunk(cut, loaded.get(), nullptr), 9) << n;
    size_t whole = 0;
    while (whole < blockStarts.size() &&
           (whole + 1 < blockStarts.size() ? blockStarts[whole + 1] : bytes.size()) <= n)
      ++whole;
    const size_t expected = std::min<size_t>(whole * kSmallBlock, full.size());
    ASSERT_EQ(static_cast<size_t>(loaded->committed()), n < 56 ? 0 : expected) << n;
    const std::vector<uint8_t> got = StreamBytes(*loaded);
    ASSERT_TRUE(std::equal(got.begin(), got.end(), full.begin())) << n;
    if (n >= 56) {
      EXPECT_EQ(cut.Position(), blockStarts[std::min(whole, blockStarts.size() - 1)]) << n;
    }
  }
}

// Blocks that do not unpack were loaded as zeros; now they end the read with 39.
TEST_F(EventFileTest, CorruptBlockIsRefusedNotLoadedAsZeros) {
  auto source = Recorded(1000, kSmallBlock, 200);
  MemoryStream stream;
  ASSERT_EQ(WriteEventData(stream, *source, SSize{1, 1}, -1, nullptr, -1), 0);
  std::vector<uint8_t> bytes = stream.TakeBytes();
  const int64_t second = 56 + 8 + LoadU32(bytes.data() + 56 + 4);
  bytes[static_cast<size_t>(second + 28 + 10)] ^= 0x5A;
  MemoryStream damaged(bytes);
  auto loaded = Fresh(kSmallBlock);
  EXPECT_EQ(ReadEventChunk(damaged, loaded.get(), nullptr), 39);
  EXPECT_EQ(loaded->committed(), 256);
  EXPECT_EQ(damaged.Position(), second);
}

// ---------------------------------------------------------------------------------------------
// The end marker

TEST_F(EventFileTest, RemoveEventFinDropsOnlyTheEndMarkerStep) {
  auto m = Recorded(300);
  const int32_t committed = m->committed();
  const int32_t steps = m->stepCount();
  EXPECT_FALSE(m->removeEventFin());  // not finished
  ASSERT_TRUE(m->appendStep(kPcPaper, kPaperEndMarker, nullptr, 0));
  m->state = kEventFinished;
  ASSERT_TRUE(m->removeEventFin());
  EXPECT_EQ(m->state, kEventRecording);
  EXPECT_EQ(m->committed(), committed);
  EXPECT_EQ(m->stepCount(), steps);

  // A finished stream whose last step is another command keeps it.
  ASSERT_TRUE(m->appendStep(kPcPaper, 16, nullptr, 0));
  m->state = kEventFinished;
  EXPECT_FALSE(m->removeEventFin());
  EXPECT_EQ(m->state, kEventFinished);
  EXPECT_EQ(m->committed(), committed + 2);
}

}  // namespace
}  // namespace tf
