#include "platform/Stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Memory.h"
#include "platform/Window.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

// Every test gets a folder of its own.
class TempFolder : public test::TempFolderTest {
 protected:
  TempFolder() : TempFolderTest("tf-stream") {}
};

// ---------------------------------------------------------------------------------------------
// FileStream

using FileStreamTest = TempFolder;

TEST_F(FileStreamTest, WritesReadBackWithExactCounts) {
  std::string path = PathOf("a.bin");
  FileStream s;
  ASSERT_TRUE(s.Create(path));
  EXPECT_TRUE(s.WriteExact("hello world", 11));
  EXPECT_TRUE(s.WriteU32(0x11223344u));
  EXPECT_EQ(s.Size(), 15);
  EXPECT_EQ(s.Position(), 15);

  ASSERT_TRUE(s.SetPosition(6));
  char word[6] = {};
  EXPECT_TRUE(s.ReadExact(word, 5));
  EXPECT_STREQ(word, "world");
  uint32_t v = 0;
  EXPECT_TRUE(s.ReadU32(v));
  EXPECT_EQ(v, 0x11223344u);

  // At the end: a short read counts what arrived and the exact form fails.
  ASSERT_TRUE(s.SetPosition(13));
  char tail[4] = {};
  EXPECT_EQ(s.Read(tail, 4), 2);
  ASSERT_TRUE(s.SetPosition(13));
  EXPECT_FALSE(s.ReadExact(tail, 4));
  EXPECT_FALSE(s.ReadU32(v));
  EXPECT_EQ(v, 0u);
  EXPECT_TRUE(s.Close());
  EXPECT_EQ(ReadFile(path), std::string("hello world\x44\x33\x22\x11", 15));
}

TEST_F(FileStreamTest, SeekMustArriveAndNeverGoesNegative) {
  FileStream s;
  ASSERT_TRUE(s.Create(PathOf("s.bin")));
  ASSERT_TRUE(s.WriteExact("abcd", 4));
  EXPECT_EQ(s.Seek(-5, SeekOrigin::kEnd), -1);
  EXPECT_EQ(s.Position(), 4);  // unchanged
  EXPECT_FALSE(s.SetPosition(-1));
  EXPECT_EQ(s.Seek(-1, SeekOrigin::kCurrent), 3);
  EXPECT_EQ(s.Seek(-4, SeekOrigin::kEnd), 0);
  // Past the end is allowed; a write there leaves a zero gap.
  EXPECT_TRUE(s.SetPosition(8));
  EXPECT_EQ(s.Remaining(), 0);
  ASSERT_TRUE(s.WriteU8('z'));
  EXPECT_EQ(s.Size(), 9);
  ASSERT_TRUE(s.SetPosition(0));
  char all[9];
  ASSERT_TRUE(s.ReadExact(all, 9));
  EXPECT_EQ(std::string(all, 9), std::string("abcd\0\0\0\0z", 9));
}

TEST_F(FileStreamTest, SetSizeCutsAndExtends) {
  FileStream s;
  ASSERT_TRUE(s.Create(PathOf("t.bin")));
  ASSERT_TRUE(s.WriteExact("0123456789", 10));
  // Cutting below the position moves the position to the new end.
  ASSERT_TRUE(s.SetSize(4));
  EXPECT_EQ(s.Size(), 4);
  EXPECT_EQ(s.Position(), 4);
  // Extending keeps the position and adds zeros.
  ASSERT_TRUE(s.SetPosition(1));
  ASSERT_TRUE(s.SetSize(6));
  EXPECT_EQ(s.Position(), 1);
  EXPECT_EQ(s.Remaining(), 5);
  char rest[5];
  ASSERT_TRUE(s.ReadExact(rest, 5));
  EXPECT_EQ(std::string(rest, 5), std::string("123\0\0", 5));
  EXPECT_FALSE(s.SetSize(-1));
}

TEST_F(FileStreamTest, ReadOnlyAndMissingFilesFail) {
  std::string path = PathOf("ro.bin");
  WriteFile(path, "keep");
  FileStream s;
  ASSERT_TRUE(s.OpenRead(path));
  EXPECT_EQ(s.Mode(), FileMode::kOpenRead);
  EXPECT_EQ(s.Write("xx", 2), 0);
  EXPECT_FALSE(s.WriteExact("xx", 2));
  EXPECT_NE(s.LastError(), 0);
  EXPECT_FALSE(s.SetSize(0));
  s.Close();
  EXPECT_EQ(ReadFile(path), "keep");

  std::string missing = PathOf("missing.bin");
  for (FileMode mode : {FileMode::kOpenRead, FileMode::kOpenWrite, FileMode::kOpenReadWrite}) {
    EXPECT_FALSE(s.Open(missing, mode));
    EXPECT_EQ(s.LastError(), ENOENT);
    EXPECT_EQ(TryCreateFileStream(missing, mode), nullptr);
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
  // A folder is no file, and neither is a path inside a missing folder.
  EXPECT_FALSE(s.OpenRead(dir_));
  EXPECT_FALSE(s.Create(PathOf("no/such.bin")));
  EXPECT_EQ(TryCreateFileStream(PathOf("no/such.bin"), FileMode::kCreate), nullptr);
}

TEST_F(FileStreamTest, OpenModesKeepOrTruncate) {
  std::string path = PathOf("m.bin");
  WriteFile(path, "abcdef");
  {
    auto s = TryCreateFileStream(path, FileMode::kOpenWrite);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->WriteExact("XY", 2));
    char c;
    EXPECT_EQ(s->Read(&c, 1), 0);  // write-only
  }
  EXPECT_EQ(ReadFile(path), "XYcdef");
  {
    auto s = TryCreateFileStream(path, FileMode::kOpenReadWrite);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->SetPosition(4));
    ASSERT_TRUE(s->WriteExact("Z", 1));
    ASSERT_TRUE(s->SetPosition(0));
    char all[6];
    ASSERT_TRUE(s->ReadExact(all, 6));
    EXPECT_EQ(std::string(all, 6), "XYcdZf");
  }
  {
    auto s = TryCreateFileStream(path, FileMode::kCreate);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Size(), 0);
  }
  EXPECT_EQ(ReadFile(path), "");
}

TEST_F(FileStreamTest, NoFileIsAStateOfItsOwn) {
  FileStream s;
  EXPECT_FALSE(s.IsOpen());
  EXPECT_EQ(s.Descriptor(), -1);
  char c = 0;
  EXPECT_EQ(s.Read(&c, 1), 0);
  EXPECT_EQ(s.Write(&c, 1), 0);
  EXPECT_EQ(s.Seek(0, SeekOrigin::kBegin), -1);
  EXPECT_EQ(s.Size(), -1);
  EXPECT_FALSE(s.SetSize(0));
  EXPECT_FALSE(s.Sync());
  EXPECT_TRUE(s.Close());

  // Descriptor 0 is an ordinary open file.
  std::string path = PathOf("zero.bin");
  WriteFile(path, "Q");
  int saved = ::dup(0);
  ASSERT_GE(saved, 0);
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::dup2(fd, 0), 0);
  ::close(fd);
  {
    FileStream zero;
    zero.Adopt(0, path, FileMode::kOpenRead);
    EXPECT_TRUE(zero.IsOpen());
    EXPECT_TRUE(zero.ReadU8(reinterpret_cast<uint8_t&>(c)));
    EXPECT_EQ(c, 'Q');
    EXPECT_TRUE(zero.Close());
  }
  ::dup2(saved, 0);
  ::close(saved);
}

TEST_F(FileStreamTest, MovesOwnership) {
  FileStream a;
  ASSERT_TRUE(a.Create(PathOf("mv.bin")));
  FileStream b(std::move(a));
  EXPECT_FALSE(a.IsOpen());
  EXPECT_TRUE(b.IsOpen());
  EXPECT_TRUE(b.WriteU16(0x0102));
  FileStream c;
  c = std::move(b);
  EXPECT_FALSE(b.IsOpen());
  EXPECT_EQ(c.Size(), 2);
}

TEST_F(FileStreamTest, CopyFromCopiesAcrossStreams) {
  std::vector<uint8_t> bytes(200000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  MemoryStream source(bytes);
  FileStream file;
  ASSERT_TRUE(file.Create(PathOf("copy.bin")));
  EXPECT_EQ(file.CopyFrom(source, 150000), 150000);
  EXPECT_EQ(file.CopyFrom(source, 100000), 50000);  // source ends
  ASSERT_TRUE(file.SetPosition(0));
  MemoryStream back;
  ASSERT_TRUE(back.LoadFromStream(file));
  EXPECT_EQ(back.Bytes(), bytes);
}

// ---------------------------------------------------------------------------------------------
// MemoryStream

TEST(MemoryStreamTest, ReadWriteSeekAndSize) {
  MemoryStream s;
  EXPECT_TRUE(s.WriteI32(-2));
  EXPECT_TRUE(s.WriteU64(0x0102030405060708ull));
  EXPECT_EQ(s.Size(), 12);
  ASSERT_TRUE(s.SetPosition(0));
  int32_t i = 0;
  uint64_t u = 0;
  EXPECT_TRUE(s.ReadI32(i));
  EXPECT_TRUE(s.ReadU64(u));
  EXPECT_EQ(i, -2);
  EXPECT_EQ(u, 0x0102030405060708ull);
  EXPECT_EQ(s.Data()[4], 0x08);  // little-endian

  // A write past the end zero-fills the gap.
  ASSERT_TRUE(s.SetPosition(14));
  ASSERT_TRUE(s.WriteU8(9));
  EXPECT_EQ(s.Size(), 15);
  EXPECT_EQ(s.Data()[12], 0);
  EXPECT_EQ(s.Data()[13], 0);

  EXPECT_EQ(s.Seek(-16, SeekOrigin::kEnd), -1);
  EXPECT_EQ(s.Position(), 15);
  ASSERT_TRUE(s.SetSize(3));
  EXPECT_EQ(s.Position(), 3);
  ASSERT_TRUE(s.SetSize(5));
  EXPECT_EQ(s.Data()[4], 0);
  EXPECT_FALSE(s.SetSize(-1));
  EXPECT_EQ(s.Read(&i, -1), 0);

  std::vector<uint8_t> taken = s.TakeBytes();
  EXPECT_EQ(taken.size(), 5u);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
}

TEST_F(FileStreamTest, MemoryStreamLoadFailureKeepsContents) {
  MemoryStream s(std::vector<uint8_t>{1, 2, 3});
  ASSERT_TRUE(s.SetPosition(2));
  EXPECT_FALSE(s.LoadFromFile(PathOf("missing")));
  EXPECT_EQ(s.Size(), 3);
  EXPECT_EQ(s.Position(), 2);
  WriteFile(PathOf("f"), "xyz!");
  ASSERT_TRUE(s.LoadFromFile(PathOf("f")));
  EXPECT_EQ(std::string(s.Bytes().begin(), s.Bytes().end()), "xyz!");
  EXPECT_EQ(s.Position(), 0);
}

// ---------------------------------------------------------------------------------------------
// FixedMemoryStream

TEST(FixedMemoryStreamTest, ReadsAndSeeksOverTheBlock) {
  const uint8_t block[6] = {'B', 'M', 1, 0, 0, 0};
  FixedMemoryStream s(static_cast<const void*>(block), 6);
  EXPECT_FALSE(s.IsWritable());
  uint16_t magic = 0;
  uint32_t v = 0;
  EXPECT_TRUE(s.ReadU16(magic));
  EXPECT_EQ(magic, 0x4D42);
  EXPECT_TRUE(s.ReadU32(v));
  EXPECT_EQ(v, 1u);
  EXPECT_FALSE(s.ReadU8(reinterpret_cast<uint8_t&>(magic)));
  EXPECT_EQ(s.Seek(10, SeekOrigin::kBegin), 10);
  EXPECT_EQ(s.Read(&v, 4), 0);
  EXPECT_EQ(s.Write("x", 1), 0);  // const block
  EXPECT_EQ(s.Seek(-7, SeekOrigin::kEnd), -1);
}

TEST(FixedMemoryStreamTest, NeverGrowsPastItsBlock) {
  uint8_t block[8] = {};
  uint8_t guard = 0xAA;  // not part of the stream
  FixedMemoryStream s(block, 4);
  EXPECT_TRUE(s.WriteExact("abc", 3));
  // A write that would pass the end is refused whole.
  EXPECT_EQ(s.Write("de", 2), 0);
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(block[3], 0);
  EXPECT_EQ(block[4], 0);
  EXPECT_TRUE(s.WriteExact("d", 1));
  EXPECT_TRUE(s.SetPosition(6));
  EXPECT_EQ(s.Write(&guard, 1), 0);
  EXPECT_EQ(block[6], 0);
  EXPECT_EQ(s.Size(), 4);
  EXPECT_FALSE(s.SetSize(8));
  EXPECT_TRUE(s.SetSize(4));
  EXPECT_EQ(std::memcmp(block, "abcd", 4), 0);

  EXPECT_EQ(s.Detach(), block);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.Write("a", 1), 0);
}

// ---------------------------------------------------------------------------------------------
// AtomicFileWriter

using AtomicFileWriterTest = TempFolder;

TEST_F(AtomicFileWriterTest, ReplacesTheTargetOnlyOnCommit) {
  std::string target = PathOf("doc.tfi");
  WriteFile(target, "old contents");
  ::chmod(target.c_str(), 0640);

  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Begin(target));
  EXPECT_EQ(std::filesystem::path(writer.TempPath()).parent_path(), std::filesystem::path(dir_));
  ASSERT_TRUE(writer.GetStream().WriteExact("new", 3));
  EXPECT_EQ(ReadFile(target), "old contents");  // untouched while writing
  ASSERT_TRUE(writer.Commit());
  EXPECT_FALSE(writer.IsActive());
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(EntryCount(), 1u);  // no temporary file left
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicFileWriterTest, AbandonedOrFailedWritesLeaveTheTarget) {
  std::string target = PathOf("doc.tfi");
  WriteFile(target, "good");
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Begin(target));
    ASSERT_TRUE(writer.GetStream().WriteExact("half", 4));
  }  // destroyed without Commit
  EXPECT_EQ(ReadFile(target), "good");
  EXPECT_EQ(EntryCount(), 1u);

  EXPECT_FALSE(SaveFileAtomically(target, [](Stream& s) { return s.WriteExact("bad", 3) && false; }));
  EXPECT_EQ(ReadFile(target), "good");
  EXPECT_EQ(EntryCount(), 1u);

  AtomicFileWriter writer;
  EXPECT_FALSE(writer.Commit());  // nothing begun
  EXPECT_FALSE(writer.Begin(PathOf("no/such/doc.tfi")));
  EXPECT_FALSE(writer.Begin(""));
}

TEST_F(AtomicFileWriterTest, NewFileGetsPlainCreatePermissions) {
  std::string target = PathOf("fresh.bin");
  mode_t mask = ::umask(022);
  ASSERT_TRUE(SaveFileAtomically(target, [](Stream& s) { return s.WriteU32(7); }));
  ::umask(mask);
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(ReadFile(target), std::string("\x07\0\0\0", 4));
}

TEST_F(AtomicFileWriterTest, AGivenModeHoldsForNewAndReplacedFiles) {
  std::string target = PathOf("private.txt");
  mode_t mask = ::umask(022);
  int error = -1;
  ASSERT_TRUE(SaveFileAtomically(
      target, [](Stream& s) { return s.WriteExact("a", 1); }, 0600, &error));
  EXPECT_EQ(error, 0);
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ::chmod(target.c_str(), 0644);
  ASSERT_TRUE(SaveFileAtomically(
      target, [](Stream& s) { return s.WriteExact("b", 1); }, 0600));
  ::umask(mask);
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFile(target), "b");
  EXPECT_EQ(EntryCount(), 1u);

  // A failed step reports its errno; a mode with more than permission bits is refused.
  EXPECT_FALSE(SaveFileAtomically(
      PathOf("no/such/file"), [](Stream&) { return true; }, 0600, &error));
  EXPECT_EQ(error, ENOENT);
  AtomicFileWriter writer;
  EXPECT_FALSE(writer.Begin(target, 0100644));
  EXPECT_EQ(ReadFile(target), "b");
}

// Saves that are killed part-way leave nothing that accumulates: with an unnamed temporary
// nothing at all, with a named one (forced here, as on a file system without O_TMPFILE) a file
// that the next save removes. 300 kills once left 37 MB of temporaries beside the settings.
class AtomicFileWriterKillTest : public TempFolder, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    TempFolder::SetUp();
    before_ = AllowUnnamedTemporaryFiles(GetParam());
  }
  void TearDown() override {
    AllowUnnamedTemporaryFiles(before_);
    TempFolder::TearDown();
  }
  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  bool before_ = true;
};

TEST_P(AtomicFileWriterKillTest, KilledSaveLeavesNoTemporaryAfterTheNextSave) {
  const std::string target = PathOf("doc.tfi");
  WriteFile(target, "good");
  for (int64_t stopAt : {int64_t{0}, int64_t{1} << 20}) {
    SCOPED_TRACE(stopAt);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      AtomicFileWriter writer;
      std::vector<char> bytes(static_cast<size_t>(stopAt), 'x');
      char state = writer.Begin(target, 0600) && writer.GetStream().WriteExact(bytes.data(), stopAt) &&
                           writer.IsUnnamed() == GetParam()
                       ? 'w'
                       : 'f';
      if (::write(ready[1], &state, 1) != 1) _exit(1);
      ::pause();  // stopped here, at byte stopAt, until killed
      _exit(0);
    }
    ::close(ready[1]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(state, 'w');
    // The named temporary is still there; the unnamed one never was anywhere.
    EXPECT_EQ(Entries().size(), GetParam() ? 1u : 2u);
    EXPECT_EQ(ReadFile(target), "good");

    ASSERT_TRUE(SaveFileAtomically(target, [](Stream& s) { return s.WriteExact("next", 4); }));
    EXPECT_EQ(Entries(), std::vector<std::string>{"doc.tfi"});
    EXPECT_EQ(ReadFile(target), "next");
    WriteFile(target, "good");
  }
}

// A sweep removes temporaries of the target's naming that nobody holds, and never one a live
// writer is filling (it holds a lock on it), nor files of other names.
TEST_P(AtomicFileWriterKillTest, SweepSparesLiveTemporariesAndOtherNames) {
  const std::string target = PathOf("doc.tfi");
  const std::vector<std::string> others = {".doc.tfi.tmp-abc", ".doc.tfi.tmp-abcdefg", ".other.tmp-abcdef",
                                           "doc.tfi.tmp-abcdef", ".doc.tfi.tmp-ab.def"};
  for (const std::string& name : others) WriteFile(PathOf(name), "not ours");
  WriteFile(PathOf(".doc.tfi.tmp-Stale9"), "left by a kill between link and rename");

  AtomicFileWriter live;
  ASSERT_TRUE(AllowUnnamedTemporaryFiles(false) == GetParam());  // the live one named, to be visible
  ASSERT_TRUE(live.Begin(target));
  AllowUnnamedTemporaryFiles(GetParam());
  ASSERT_TRUE(live.GetStream().WriteExact("live", 4));
  ASSERT_TRUE(SaveFileAtomically(target, [](Stream& s) { return s.WriteExact("other", 5); }));
  EXPECT_FALSE(std::filesystem::exists(PathOf(".doc.tfi.tmp-Stale9")));
  EXPECT_TRUE(std::filesystem::exists(live.TempPath()));
  for (const std::string& name : others) EXPECT_EQ(ReadFile(PathOf(name)), "not ours") << name;
  EXPECT_EQ(ReadFile(target), "other");
  ASSERT_TRUE(live.Commit());
  EXPECT_EQ(ReadFile(target), "live");
  EXPECT_EQ(Entries().size(), others.size() + 1);
}

// The unnamed temporary is invisible until Commit, and the mode asked for holds on both paths.
TEST_P(AtomicFileWriterKillTest, TemporaryIsInvisibleUntilCommitWhenUnnamed) {
  const std::string target = PathOf("settings.txt");
  AtomicFileWriter writer;
  ASSERT_TRUE(writer.Begin(target, 0600));
  EXPECT_EQ(writer.IsUnnamed(), GetParam());
  ASSERT_TRUE(writer.GetStream().WriteExact("abc", 3));
  EXPECT_EQ(Entries().size(), GetParam() ? 0u : 1u);
  ASSERT_TRUE(writer.Commit());
  EXPECT_EQ(Entries(), std::vector<std::string>{"settings.txt"});
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFile(target), "abc");
  {
    AtomicFileWriter abandoned;
    ASSERT_TRUE(abandoned.Begin(target));
    ASSERT_TRUE(abandoned.GetStream().WriteExact("half", 4));
  }
  EXPECT_EQ(Entries(), std::vector<std::string>{"settings.txt"});
}

INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicFileWriterKillTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Unnamed" : "Named");
                         });

// ---------------------------------------------------------------------------------------------
// Memory

TEST(MemoryTest, TryGetMemFailsWithNull) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_FALSE(TryGetMem(p, 0));
  EXPECT_EQ(p, nullptr);
  EXPECT_FALSE(TryGetMem(p, -5));
  EXPECT_EQ(p, nullptr);
  EXPECT_FALSE(TryGetMem(p, kMaxMemBlock + 1));
  EXPECT_EQ(p, nullptr);

  SetMemoryRefusals(1);
  EXPECT_FALSE(TryGetMem(p, 16));
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(PendingMemoryRefusals(), 0);
  ASSERT_TRUE(TryGetMem(p, 16));
  FreeMem(p);

  uint8_t* z = nullptr;
  ASSERT_TRUE(TryGetZeroMem(z, 64));
  for (int i = 0; i < 64; ++i) EXPECT_EQ(z[i], 0);
  FreeMem(z);
}

TEST(MemoryTest, ReallocKeepsContentsAndFailsWithoutLoss) {
  uint8_t* p = nullptr;
  ASSERT_TRUE(TryReallocMem(p, 4));
  std::memcpy(p, "abcd", 4);
  ASSERT_TRUE(TryReallocMem(p, 1000));
  EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
  uint8_t* before = p;
  SetMemoryRefusals(1);
  EXPECT_FALSE(TryReallocMem(p, 5000));
  EXPECT_EQ(p, before);
  EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
  EXPECT_FALSE(TryReallocMem(p, 0));  // frees
  EXPECT_EQ(p, nullptr);
  SetMemoryRefusals(0);
}

TEST(MemoryTest, BlockCapRefusesLargerBlocksOfEveryAllocatorUntilLifted) {
  EXPECT_EQ(SetMemoryBlockCap(4096), kMaxMemBlock);
  void* p = nullptr;
  ASSERT_TRUE(TryGetMem(p, 4096));
  EXPECT_FALSE(TryReallocMem(p, 4097));  // refused: the block stays
  ASSERT_NE(p, nullptr);
  FreeMem(p);
  struct Case {
    const char* name;
    bool (*allocate)(void*&, int64_t);
  };
  const Case cases[] = {{"TryGetMem", [](void*& q, int64_t n) { return TryGetMem(q, n); }},
                        {"TryGetZeroMem", [](void*& q, int64_t n) { return TryGetZeroMem(q, n); }},
                        {"TryReallocMem", [](void*& q, int64_t n) { return TryReallocMem(q, n); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* q = nullptr;
    EXPECT_FALSE(c.allocate(q, 4097));
    EXPECT_EQ(q, nullptr);
    EXPECT_FALSE(AllocationAllowed(4097));
    ASSERT_TRUE(c.allocate(q, 4096));
    FreeMem(q);
  }
  EXPECT_EQ(SetMemoryBlockCap(0), 4096);  // 0 lifts the cap
  ASSERT_TRUE(TryGetMem(p, 4097));
  FreeMem(p);
  EXPECT_EQ(SetMemoryBlockCap(kMaxMemBlock + 1), kMaxMemBlock);
  EXPECT_FALSE(TryGetMem(p, kMaxMemBlock + 1));
  SetMemoryBlockCap(0);
}

// ---------------------------------------------------------------------------------------------
// Window host

TEST(WindowHostTest, NullHostKnowsNoWindow) {
  WindowHost& host = GetWindowHost();
  ScreenRect r;
  EXPECT_FALSE(host.GetWindowRect(1, r));
  EXPECT_FALSE(host.MoveWindow(1, 0, 0));
  EXPECT_EQ(host.VirtualScreen().width, 0);
  NullWindowHost other;
  SetWindowHost(&other);
  EXPECT_EQ(&GetWindowHost(), &other);
  SetWindowHost(nullptr);
  EXPECT_NE(&GetWindowHost(), &other);
}

}  // namespace
}  // namespace tf
