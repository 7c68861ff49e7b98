#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "events/EventFile.h"
#include "events/EventStream.h"
#include "paper/EventFileDocument.h"
#include "paper/EventFileIO.h"
#include "platform/ByteOrder.h"
#include "platform/Memory.h"
#include "platform/Progress.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/ImageChunk.h"
#include "support/FaultStream.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::FaultStream;
using test::XorShiftRng;

constexpr uint32_t kBlock = 65536;

// A document as the event-file routines see it: a recorder, a canvas and its composed picture.
class FakeDocument final : public CEventFileDocument {
 public:
  FakeDocument(int32_t width, int32_t height) : manager(kBlock, 1048576), picture(width, height) {
    EXPECT_TRUE(manager.setupRecording(nullptr, nullptr, 64, 64));
    XorShiftRng rng(static_cast<uint64_t>(width) * 31 + static_cast<uint64_t>(height));
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) *picture.Pixel(x, y) = rng.Next() & 0x7FFFFFFFu;
  }
  CEventMngr* EventManager() override { return hasManager ? &manager : nullptr; }
  SSize CanvasSize() const override { return picture.Size(); }
  void ClearDocumentRedo() override { ++redoCleared; }
  const TMTC* BeginThumbnailPicture() override {
    ++pictureUses;
    return hasPicture ? &picture : nullptr;
  }
  void EndThumbnailPicture() override { --pictureUses; }

  // Steps of class-1 packets up to about length bytes.
  void Record(uint32_t length, uint64_t seed) {
    XorShiftRng rng(seed);
    ASSERT_TRUE(manager.commitStep());
    while (static_cast<uint32_t>(manager.committed()) < length) {
      const uint32_t n = 1000 + rng.Next() % 20000;
      std::vector<uint8_t> data(n);
      for (auto& b : data) b = static_cast<uint8_t>(rng.Next() % 7);
      uint8_t count[4];
      StoreU32(count, n);
      ASSERT_TRUE(manager.appendPacket(kPcInfo, 3, count, 4, data.data(), n));
      ASSERT_TRUE(manager.commitStep());
    }
  }

  CEventMngr manager;
  TMTC picture;
  bool hasManager = true;
  bool hasPicture = true;
  int32_t redoCleared = 0;
  int32_t pictureUses = 0;
};

std::vector<uint8_t> StreamBytes(const CEventMngr& m) {
  std::vector<uint8_t> bytes(static_cast<size_t>(m.committed()));
  EXPECT_EQ(m.readSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
  return bytes;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  MemoryStream stream;
  EXPECT_TRUE(stream.LoadFromFile(path));
  return stream.TakeBytes();
}

class EventFileIOTest : public test::TempFolderTest {
 protected:
  EventFileIOTest() : TempFolderTest("tf-eventfile") {}
  void SetUp() override {
    TempFolderTest::SetUp();
    previousWarnings_ = SetWarningHost(&warnings_);
    previousProgress_ = SetProgressHost(&progress_);
  }
  void TearDown() override {
    SetMemoryRefusals(0);
    SetWarningHost(previousWarnings_);
    SetProgressHost(previousProgress_);
    TempFolderTest::TearDown();
  }

  RecordingWarningHost warnings_;
  RecordingProgressHost progress_;
  WarningHost* previousWarnings_ = nullptr;
  ProgressHost* previousProgress_ = nullptr;
};

// A recording saved as an event file and loaded into a fresh document: the same stream bytes,
// step count, version and flag word, in both forms, with and without thumbnail.
TEST_F(EventFileIOTest, SavedRecordingLoadsIntoAFreshDocument) {
  struct Case {
    bool thumbnail;
    int32_t flagWord, level;
    bool full;
  };
  int index = 0;
  for (const Case& c : {Case{true, 0x0123, 40, true}, Case{false, -1, -1, true}, Case{true, -1, -1, false},
                        Case{false, 5, 16, false}}) {
    SCOPED_TRACE(index);
    FakeDocument document(300, 200);
    document.Record(150000, 7 + index);
    const std::vector<uint8_t> before = StreamBytes(document.manager);
    const int32_t steps = document.manager.stepCount();
    const std::string path = PathOf("saved" + std::to_string(index++) + ".te4");
    ASSERT_TRUE(SaveEventFile(path, document, c.thumbnail, c.flagWord, c.level, c.full));
    EXPECT_EQ(document.pictureUses, 0);

    // The file holds the recording and its end marker, a step of its own.
    FakeDocument fresh(10, 10);
    ASSERT_EQ(LoadEventFile(path, fresh), 0);
    std::vector<uint8_t> expected = before;
    expected.push_back(kPcPaper);
    expected.push_back(kPaperEndMarker);
    EXPECT_EQ(StreamBytes(fresh.manager), expected);
    EXPECT_EQ(fresh.manager.stepCount(), steps + 1);
    EXPECT_EQ(fresh.manager.version, c.full && c.level >= 0 ? c.level : 43);
    EXPECT_EQ(fresh.manager.fileFlags, c.full && c.flagWord >= 0 ? c.flagWord : 0);

    std::unique_ptr<TMTC> thumbnail;
    SSize canvas{};
    const uint8_t code = ReadEventThumbnail(path, thumbnail, canvas);
    EXPECT_EQ(canvas.width, 300);
    EXPECT_EQ(canvas.height, 200);
    if (c.thumbnail) {
      ASSERT_EQ(code, 0);
      ASSERT_TRUE(thumbnail);
      EXPECT_EQ(thumbnail->Width(), 256);
      EXPECT_EQ(thumbnail->Height(), 170);
      for (int32_t y = 0; y < thumbnail->Height(); ++y)
        for (int32_t x = 0; x < thumbnail->Width(); ++x) ASSERT_EQ(thumbnail->GetPixel(x, y) >> 24, 255u);
    } else {
      EXPECT_EQ(code, 16);  // the thumbnail reader's code: no TTNL where the file begins
      EXPECT_FALSE(thumbnail);
    }
  }
}

// Level 50 is written as 43 with a scrambled thumbnail; 15 and -1 give a plain one, 16 a
// scrambled one.
TEST_F(EventFileIOTest, LevelChoosesTheThumbnailKind) {
  struct Case {
    int32_t level;
    uint16_t kind, version;
  };
  for (const Case& c : {Case{50, 2, 43}, Case{15, 1, 15}, Case{16, 2, 16}, Case{-1, 1, 43}}) {
    FakeDocument document(64, 64);
    document.Record(100, 3);
    const std::string path = PathOf("level.te4");
    ASSERT_TRUE(SaveEventFile(path, document, true, -1, c.level, true));
    const std::vector<uint8_t> bytes = FileBytes(path);
    ASSERT_GT(bytes.size(), 48u);
    const SImageChunkInfo info = DecodeImageChunkInfo(bytes.data() + 8);
    EXPECT_EQ(info.kind, c.kind) << c.level;
    const int64_t events = 8 + LoadU32(bytes.data() + 4);
    const SEventFileHeader header = DecodeEventFileHeader(bytes.data() + events);
    EXPECT_EQ(header.version, c.version) << c.level;
  }
}

// After saving, the recorder records on after its former last step: no end marker is left.
TEST_F(EventFileIOTest, SavingLeavesTheRecorderAsItWas) {
  FakeDocument document(50, 40);
  document.Record(5000, 11);
  const std::vector<uint8_t> before = StreamBytes(document.manager);
  const int32_t steps = document.manager.stepCount();
  ASSERT_TRUE(SaveEventFile(PathOf("a.te4"), document, true, -1, -1, true));
  EXPECT_EQ(document.redoCleared, 1);
  EXPECT_TRUE(document.manager.isRecording());
  EXPECT_EQ(StreamBytes(document.manager), before);
  EXPECT_EQ(document.manager.stepCount(), steps);
  ASSERT_TRUE(document.manager.appendStep(kPcPaper, 16, nullptr, 0));
  EXPECT_EQ(document.manager.committed(), static_cast<int32_t>(before.size()) + 2);
  EXPECT_TRUE(warnings_.Texts().empty());
  // The progress dialog ran from 0 to 100% with the two steps named.
  const auto& log = progress_.log;
  EXPECT_NE(std::find(log.begin(), log.end(), "message: イベント保存中 (a.te4)"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "status: サムネイルを保存しています..."), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "status: イベントデータを保存しています..."), log.end());
  EXPECT_EQ(log.back(), "percent: 100");
}

TEST_F(EventFileIOTest, SavingRefusesWhenNotRecording) {
  FakeDocument document(50, 40);
  document.Record(500, 1);
  const std::string path = PathOf("refused.te4");
  document.manager.state = kEventPlaying;
  EXPECT_FALSE(SaveEventFile(path, document, true, -1, -1, true));
  document.manager.state = kEventFinished;
  EXPECT_FALSE(SaveEventFile(path, document, true, -1, -1, true));
  document.hasManager = false;
  EXPECT_FALSE(SaveEventFile(path, document, true, -1, -1, true));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(document.redoCleared, 0);
}

// A save that fails leaves the previous file whole and the recorder as it was, except the redo
// part, which the save clears before writing.
TEST_F(EventFileIOTest, FailedSaveKeepsThePreviousFileAndTheRecorder) {
  FakeDocument document(80, 60);
  document.Record(70000, 5);
  const std::string path = PathOf("kept.te4");
  ASSERT_TRUE(SaveEventFile(path, document, true, -1, -1, true));
  const std::vector<uint8_t> good = FileBytes(path);

  // Record more, undo one step (a redo part), then fail while the blocks are written.
  document.Record(140000, 6);
  ASSERT_TRUE(document.manager.undoStep());
  ASSERT_EQ(document.manager.getRedoSteps(), 1);
  const std::vector<uint8_t> before = StreamBytes(document.manager);
  const int32_t steps = document.manager.stepCount();
  // The blocks' buffer cannot be had: the event part fails after the file was begun.
  SetMemoryRefusals(1);
  EXPECT_FALSE(SaveEventFile(path, document, false, -1, -1, true));
  SetMemoryRefusals(0);
  EXPECT_EQ(FileBytes(path), good);
  EXPECT_TRUE(document.manager.isRecording());
  EXPECT_EQ(StreamBytes(document.manager), before);
  EXPECT_EQ(document.manager.stepCount(), steps);
  EXPECT_EQ(document.manager.getRedoSteps(), 0);
  EXPECT_EQ(EntryCount(), 1u);  // no temporary file left

  // A folder that cannot be written: nothing changes either.
  const std::string locked = PathOf("locked");
  ASSERT_TRUE(MakeFolders(locked));
  const std::string lockedPath = locked + "/x.te4";
  ASSERT_TRUE(SaveEventFile(lockedPath, document, false, -1, -1, true));
  const std::vector<uint8_t> lockedGood = FileBytes(lockedPath);
  ::chmod(locked.c_str(), 0500);
  if (::access((locked + "/.").c_str(), W_OK) != 0) {  // root writes anyway
    EXPECT_FALSE(SaveEventFile(lockedPath, document, false, -1, -1, true));
    EXPECT_EQ(FileBytes(lockedPath), lockedGood);
    EXPECT_TRUE(document.manager.isRecording());
  }
  ::chmod(locked.c_str(), 0700);
}

// A file-size limit (a full disk alike) that the thumbnail reaches but the events alone would
// not: the save fails and the old file stays as it was, thumbnail and all.
TEST_F(EventFileIOTest, ThumbnailRefusedByAFileSizeLimitFailsTheSave) {
  FakeDocument document(400, 300);  // a noisy picture: its thumbnail packs to tens of kilobytes
  document.Record(600, 9);
  const std::string bare = PathOf("bare.te4");
  ASSERT_TRUE(SaveEventFile(bare, document, false, -1, -1, true));
  const rlim_t eventsAlone = FileBytes(bare).size();
  const std::string path = PathOf("limited.te4");
  ASSERT_TRUE(SaveEventFile(path, document, true, -1, -1, true));
  const std::vector<uint8_t> good = FileBytes(path);
  ASSERT_GT(good.size(), eventsAlone + 16384);

  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = before;
  limited.rlim_cur = eventsAlone + 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool saved = SaveEventFile(path, document, true, -1, -1, true);
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(saved);
  EXPECT_EQ(FileBytes(path), good);
  EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(EventFileIOTest, LoadCodes) {
  FakeDocument document(10, 10);
  EXPECT_EQ(LoadEventFile(PathOf("missing.te4"), document), 4);
  document.Record(100, 1);
  ASSERT_TRUE(SaveEventFile(PathOf("ok.te4"), document, false, -1, -1, true));
  FakeDocument noManager(10, 10);
  noManager.hasManager = false;
  EXPECT_EQ(LoadEventFile(PathOf("ok.te4"), noManager), 40);
  // An unreadable file.
  const std::string secret = PathOf("secret.te4");
  ASSERT_TRUE(SaveEventFile(secret, document, false, -1, -1, true));
  ::chmod(secret.c_str(), 0000);
  FileStream probe;
  if (!probe.OpenRead(secret)) {  // root reads it anyway
    EXPECT_EQ(LoadEventFile(secret, document), 6);
  }
  ::chmod(secret.c_str(), 0600);
}

// The event part of a document: any failure cuts the stream back; a failed read puts the
// position back.
TEST_F(EventFileIOTest, DocumentEventChunkIsGuarded) {
  FakeDocument document(10, 10);
  document.Record(80000, 2);
  MemoryStream whole;
  whole.Write("layers", 6);
  ASSERT_EQ(WriteEventChunk(whole, document, nullptr), 0);
  const int64_t length = whole.Size() - 6;
  for (int64_t limit = 0; limit < length; limit += (limit < 100 ? 1 : 4099)) {
    FaultStream stream;
    stream.Write("layers", 6);
    stream.SetLimit(limit);
    EXPECT_EQ(WriteEventChunk(stream, document, nullptr), 8) << limit;
    EXPECT_EQ(stream.Size(), 6) << limit;
  }
  // Read back at its position; a damaged copy leaves the position where it was.
  FakeDocument fresh(10, 10);
  ASSERT_TRUE(whole.SetPosition(6));
  ASSERT_EQ(ReadEventChunkAt(whole, fresh, nullptr), 0);
  EXPECT_EQ(StreamBytes(fresh.manager), StreamBytes(document.manager));
  std::vector<uint8_t> damaged = whole.TakeBytes();
  damaged[6] = 'X';
  MemoryStream bad(damaged);
  ASSERT_TRUE(bad.SetPosition(6));
  EXPECT_EQ(ReadEventChunkAt(bad, fresh, nullptr), 16);
  EXPECT_EQ(bad.Position(), 6);
}

TEST_F(EventFileIOTest, ThumbnailFitsTheBoxAndFailsLoudlyWithoutAPicture) {
  FakeDocument wide(1000, 10);
  MemoryStream stream;
  ASSERT_EQ(WriteThumbnail(stream, wide, false), 0);
  ASSERT_TRUE(stream.SetPosition(0));
  std::unique_ptr<TMTC> image;
  ASSERT_EQ(ReadImageChunk(stream, image), 0);
  EXPECT_EQ(image->Width(), 256);
  EXPECT_EQ(image->Height(), 2);
  const SImageChunkInfo info = DecodeImageChunkInfo(stream.Data() + 8);
  EXPECT_EQ(info.sourceWidth, 1000);
  EXPECT_EQ(info.sourceHeight, 10);

  FakeDocument tall(3, 5000);
  MemoryStream tallStream;
  ASSERT_EQ(WriteThumbnail(tallStream, tall, true), 0);
  EXPECT_EQ(DecodeImageChunkInfo(tallStream.Data() + 8).width, 1);  // at least one pixel
  EXPECT_EQ(DecodeImageChunkInfo(tallStream.Data() + 8).height, 256);

  FakeDocument none(10, 10);
  none.hasPicture = false;
  MemoryStream empty;
  empty.Write("abc", 3);
  EXPECT_EQ(WriteThumbnail(empty, none, true), 3);
  EXPECT_EQ(empty.Size(), 3);
  EXPECT_EQ(none.pictureUses, 0);
}

// ---------------------------------------------------------------------------------------------
// The independent reader

uint32_t Crc(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

TEST_F(EventFileIOTest, PythonReaderDecodesOurFiles) {
  struct Case {
    bool thumbnail;
    int32_t level;
    bool full;
  };
  const Case cases[] = {{true, 40, true}, {true, 3, true}, {false, -1, false}, {true, -1, false}};
  std::string arguments = "dump-events";
  std::vector<std::vector<uint8_t>> saved;
  std::vector<int32_t> steps;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    FakeDocument document(333, 222);
    document.Record(140000, 20 + i);
    const std::string path = PathOf("py" + std::to_string(i) + ".te4");
    ASSERT_TRUE(SaveEventFile(path, document, c.thumbnail, 0x0042, c.level, c.full));
    arguments += " '" + path + "'";
    saved.push_back(StreamBytes(document.manager));
    saved.back().push_back(kPcPaper);  // the end marker
    saved.back().push_back(kPaperEndMarker);
    steps.push_back(document.manager.stepCount() + 1);
  }
  std::map<std::string, std::string> out;
  std::string output;
  const int status = test::RunChunkFilesScript(arguments, out, output);
  if (status == 127) GTEST_SKIP() << "python3 not available";
  ASSERT_EQ(status, 0) << output;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    auto field = [&](const char* key) { return out[std::to_string(i) + "." + key]; };
    EXPECT_EQ(field("form"), c.full ? "full" : "raw");
    EXPECT_EQ(field("canvas"), "333x222");
    EXPECT_EQ(field("steps"), std::to_string(steps[i]));
    EXPECT_EQ(field("length"), std::to_string(saved[i].size()));
    EXPECT_EQ(field("stream_crc"), std::to_string(Crc(saved[i])));
    EXPECT_EQ(field("app"), "4.58");
    EXPECT_EQ(field("version"), c.full && c.level >= 0 ? std::to_string(c.level) : "43");
    EXPECT_EQ(field("flags"), c.full ? "66" : "0");
    if (c.thumbnail) {
      EXPECT_EQ(field("thumb_kind"), c.level > 15 ? "2" : "1");
      EXPECT_EQ(field("thumb_size"), "256x170");
      EXPECT_EQ(field("thumb_source"), "333x222");
      EXPECT_EQ(field("thumb_alpha"), "255");
    } else {
      EXPECT_EQ(out.count(std::to_string(i) + ".thumb_kind"), 0u);
    }
  }
}

// The fixture the Python writer made (tests/data/chunk_files.py write-fixture) loads in ours.
TEST_F(EventFileIOTest, FixtureWrittenByThePythonWriterLoads) {
  const std::string path = std::string(TF_TEST_DATA_DIR) + "/py_events_full.te4";
  FakeDocument document(10, 10);
  ASSERT_EQ(LoadEventFile(path, document), 0);
  std::vector<uint8_t> expected(65536 + 1000);
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  EXPECT_EQ(StreamBytes(document.manager), expected);
  EXPECT_EQ(document.manager.stepCount(), 12);
  EXPECT_EQ(document.manager.version, 40);
  EXPECT_EQ(document.manager.fileFlags, 0x0102);

  std::unique_ptr<TMTC> thumbnail;
  SSize canvas{};
  ASSERT_EQ(ReadEventThumbnail(path, thumbnail, canvas), 0);
  EXPECT_EQ(canvas.width, 640);
  EXPECT_EQ(canvas.height, 384);
  ASSERT_EQ(thumbnail->Width(), 5);
  ASSERT_EQ(thumbnail->Height(), 3);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(thumbnail->GetPixel(x, y),
                0xFF000000u | (200u << 16) | (uint32_t(y * 80) << 8) | uint32_t(x * 40));
}

}  // namespace
}  // namespace tf
