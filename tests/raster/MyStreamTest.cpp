#include "raster/MyStream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "platform/Memory.h"
#include "platform/Screen.h"
#include "platform/Window.h"
#include "raster/SmallRoutines.h"
#include "raster/WindowHelpers.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

class MyStreamFiles : public test::TempFolderTest {
 protected:
  MyStreamFiles() : TempFolderTest("tf-mystream") {}
};

// ---------------------------------------------------------------------------------------------
// TMyMemory

TEST(TMyMemoryTest, GrowsByTheLargerOfCountAndStep) {
  TMyMemory m(16);
  EXPECT_EQ(m.GetCapacity(), 16);
  uint8_t bytes[20] = {};
  m.Write(bytes, 20);
  EXPECT_EQ(m.GetCapacity(), 36);  // 16 + max(20, 16)
  m.Write(bytes, 4);
  m.Write(bytes, 4);
  EXPECT_EQ(m.GetCapacity(), 36);
  EXPECT_EQ(m.GetWritePos(), 28);
  m.Write(bytes, 9);  // passes 36
  EXPECT_EQ(m.GetCapacity(), 52);
  EXPECT_EQ(m.GetGrowthStep(), 16);

  TMyMemory none(0);
  EXPECT_EQ(none.GetBuffer(), nullptr);
  none.WriteByte(7);
  EXPECT_EQ(none.GetCapacity(), 1);
  EXPECT_EQ(none.ReadByte(), 7);
}

TEST(TMyMemoryTest, OffsetsPeekAndPatchWithoutMoving) {
  TMyMemory m(8);
  m.WriteWord(0x1111);
  m.WriteWord(0x2222);
  m.WriteWord(0xFFFE);
  EXPECT_EQ(m.GetWritePos(), 6);
  EXPECT_TRUE(m.WriteWord(0x3333, -4));  // rewrites the word 4 bytes back
  EXPECT_EQ(m.GetWritePos(), 6);

  EXPECT_EQ(m.ReadWord(2), 0x3333);
  EXPECT_EQ(m.GetReadPos(), 0);
  EXPECT_EQ(m.ReadWord(), 0x1111);
  EXPECT_EQ(m.GetReadPos(), 2);
  EXPECT_EQ(m.ReadSmallInt(2), -2);
  EXPECT_EQ(m.ReadByte(-1), 0x11);  // behind the read position
  m.SkipRead(-1);
  EXPECT_EQ(m.GetReadPos(), 1);
  EXPECT_EQ(m.GetCapacity(), 8);
  EXPECT_EQ(m.GetUnreadSize(), 5);
  EXPECT_FALSE(m.Overrun());
  EXPECT_FALSE(m.WriteWord(1, -7));  // before the block
  EXPECT_FALSE(m.WriteWord(1, 100));
}

TEST(TMyMemoryTest, PacketStreamPattern) {
  TMyMemory m(4);
  uint32_t rec = 0xAABBCCDD;
  m.WriteWord(5);
  m.Write(&rec, 4);
  m.WriteWord(0xFFFF);  // end code
  m.SkipWrite(-2);      // take it back to append more
  m.WriteWord(6);
  m.WriteWord(0xFFFF);
  EXPECT_EQ(m.ReadWord(), 5);
  EXPECT_EQ(m.ReadDWord(), 0xAABBCCDDu);
  EXPECT_EQ(m.ReadWord(), 6);
  m.SetWritePos(m.GetReadPos());  // drop the unread rest
  EXPECT_EQ(m.GetUnreadSize(), 0);
  m.RewindRead();
  EXPECT_EQ(m.GetUnreadSize(), 8);
  m.Clear();
  EXPECT_EQ(m.GetWritePos(), 0);
  EXPECT_EQ(m.GetCapacity(), 12);
}

// Reads past the written bytes (a truncated stream) give 0 and a sticky flag, never bytes
// beyond the contents.
TEST(TMyMemoryTest, ReadsPastTheContentsSetOverrun) {
  struct Case {
    const char* name;
    int readFirst;  // bytes consumed before the read under test
    std::function<uint32_t(TMyMemory&)> read;
    uint32_t expected;
    bool overrun;
  };
  const std::vector<Case> cases = {
      {"byte inside", 2, [](TMyMemory& m) { return uint32_t{m.ReadByte()}; }, 0x03, false},
      {"byte at end", 3, [](TMyMemory& m) { return uint32_t{m.ReadByte()}; }, 0, true},
      {"word one byte short", 2, [](TMyMemory& m) { return uint32_t{m.ReadWord()}; }, 0, true},
      {"dword short", 0, [](TMyMemory& m) { return m.ReadDWord(); }, 0, true},
      {"peek before start", 0, [](TMyMemory& m) { return uint32_t{m.ReadByte(-1)}; }, 0, true},
      {"peek past end", 0, [](TMyMemory& m) { return uint32_t{m.ReadWord(2)}; }, 0, true},
      {"block after written", 0,
       [](TMyMemory& m) {
         uint8_t b[4] = {9, 9, 9, 9};
         m.Read(b, 4);
         return uint32_t{b[0]} | b[3];
       },
       0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMyMemory m(64);  // capacity well past the contents
    m.WriteByte(1);
    m.WriteByte(2);
    m.WriteByte(3);
    m.SkipRead(c.readFirst);
    EXPECT_EQ(c.read(m), c.expected);
    EXPECT_EQ(m.Overrun(), c.overrun);
  }

  TMyMemory m(8);
  m.WriteWord(0x0102);
  EXPECT_EQ(m.ReadDWord(), 0u);
  EXPECT_TRUE(m.Overrun());
  EXPECT_EQ(m.GetUnreadSize(), -2);  // the position still advances
  m.RewindRead();
  EXPECT_EQ(m.ReadWord(), 0x0102);
  EXPECT_TRUE(m.Overrun());  // sticky
  m.ClearOverrun();
  EXPECT_FALSE(m.Overrun());
}

TEST(TMyMemoryTest, PositionsStayInRange) {
  TMyMemory m(8);
  m.WriteWord(1);
  m.SkipRead(-5);
  EXPECT_EQ(m.GetReadPos(), 0);
  EXPECT_TRUE(m.Overrun());
  m.Clear();
  // A skip count from damaged data neither allocates nor passes silently.
  m.WriteWord(1);
  m.SkipRead(0x7FFFFFF0);
  EXPECT_EQ(m.GetCapacity(), 8);
  EXPECT_TRUE(m.Overrun());
  m.SkipRead(0x7FFFFFF0);
  EXPECT_EQ(m.GetReadPos(), INT32_MAX);
  EXPECT_EQ(m.ReadByte(), 0);

  m.SkipWrite(-100);
  EXPECT_EQ(m.GetWritePos(), 0);
  m.SkipWrite(100);
  EXPECT_EQ(m.GetWritePos(), 8);  // never past the block
  m.SetWritePos(-3);
  EXPECT_EQ(m.GetWritePos(), 0);
  m.Write("abcdefghij", 10);  // still lands inside the block
  EXPECT_EQ(std::memcmp(m.GetBuffer(), "abcdefghij", 10), 0);
}

TEST(TMyMemoryTest, GrowFailureRaisesAndKeepsTheContents) {
  TMyMemory m(4);
  m.Write("abcd", 4);
  SetMemoryRefusals(1);
  EXPECT_THROW(m.Write("e", 1), std::bad_alloc);
  SetMemoryRefusals(0);
  EXPECT_EQ(m.GetCapacity(), 4);
  EXPECT_EQ(m.GetWritePos(), 4);
  EXPECT_EQ(std::memcmp(m.GetBuffer(), "abcd", 4), 0);
  EXPECT_THROW(m.Grow(INT32_MAX), std::bad_alloc);  // capacity would pass 32 bits
  EXPECT_EQ(m.GetCapacity(), 4);

  SetMemoryRefusals(1);
  EXPECT_THROW(TMyMemory(16), std::bad_alloc);
  SetMemoryRefusals(0);
}

// Appending bytes of the buffer itself: the block grows (and moves) before the copy.
TEST(TMyMemoryTest, WriteOfItsOwnBytesSurvivesGrowth) {
  TMyMemory m(4);
  m.Write("abcd", 4);
  m.Write(m.GetBuffer() + 1, 3);  // needs growth: capacity 4 -> 8
  EXPECT_EQ(m.GetCapacity(), 8);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.GetBuffer()), 7), "abcdbcd");
  m.Write(m.GetBuffer(), 7);  // again past the capacity
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.GetBuffer()), 14), "abcdbcdabcdbcd");
}

TEST(TMyMemoryTest, Moves) {
  TMyMemory a(4);
  a.WriteWord(9);
  TMyMemory b(std::move(a));
  EXPECT_EQ(a.GetBuffer(), nullptr);
  EXPECT_EQ(b.ReadWord(), 9);
  TMyMemory c;
  c = std::move(b);
  EXPECT_EQ(c.GetWritePos(), 2);
}

using TMyMemoryFileTest = MyStreamFiles;

TEST_F(TMyMemoryFileTest, LoadFromFileReplacesOrKeeps) {
  TMyMemory m(16);
  m.Write("old", 3);
  m.ReadByte();
  EXPECT_FALSE(m.LoadFromFile(PathOf("missing.wpe")));
  EXPECT_FALSE(m.LoadFromFile(dir_));  // a folder
  EXPECT_EQ(m.GetWritePos(), 3);
  EXPECT_EQ(m.GetReadPos(), 1);
  EXPECT_EQ(std::memcmp(m.GetBuffer(), "old", 3), 0);

  WriteFile(PathOf("s.wpe"), "stream!");
  ASSERT_TRUE(m.LoadFromFile(PathOf("s.wpe")));
  EXPECT_EQ(m.GetReadPos(), 0);
  EXPECT_EQ(m.GetWritePos(), 7);
  EXPECT_EQ(m.GetCapacity(), 7);
  EXPECT_EQ(m.GetGrowthStep(), 16);
  EXPECT_EQ(std::memcmp(m.GetBuffer(), "stream!", 7), 0);

  WriteFile(PathOf("empty"), "");
  ASSERT_TRUE(m.LoadFromFile(PathOf("empty")));
  EXPECT_EQ(m.GetCapacity(), 0);
  EXPECT_EQ(m.ReadByte(), 0);
  EXPECT_TRUE(m.Overrun());
}

// ---------------------------------------------------------------------------------------------
// TMyFile

using TMyFileTest = MyStreamFiles;

TEST_F(TMyFileTest, ExactCountsAndShortReads) {
  std::string path = PathOf("f.bin");
  TMyFile f;
  EXPECT_FALSE(f.IsOpen());
  ASSERT_TRUE(f.CreateFile(path));
  EXPECT_TRUE(f.Write("\x01\x02\x03\x04\x05\x06", 6));
  f.Close();
  EXPECT_FALSE(f.IsOpen());
  f.Close();  // twice is fine

  ASSERT_TRUE(f.OpenRead(path));
  bool ok = false;
  EXPECT_EQ(f.ReadDWord(&ok), 0x04030201u);
  EXPECT_TRUE(ok);
  // Two bytes left: no stale bytes from the earlier read.
  EXPECT_EQ(f.ReadDWord(&ok), 0u);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(f.Write("x", 1));  // read-only
  ASSERT_TRUE(f.GetStream().SetPosition(4));
  char two[3] = {};
  EXPECT_FALSE(f.Read(two, 3));
  EXPECT_TRUE(f.Read(two, 0));

  TMyFile g;
  EXPECT_FALSE(g.OpenRead(PathOf("missing")));
  EXPECT_FALSE(g.IsOpen());
  EXPECT_FALSE(g.Read(two, 1));
  EXPECT_EQ(g.ReadDWord(), 0u);
}

TEST_F(TMyFileTest, FileSizeByName) {
  WriteFile(PathOf("five"), "12345");
  EXPECT_EQ(FileSizeByName(PathOf("five")), 5);
  EXPECT_EQ(FileSizeByName(PathOf("missing")), -1);
  EXPECT_EQ(FileSizeByName(dir_), -1);
}

// ---------------------------------------------------------------------------------------------
// Small routines

TEST(SmallRoutinesTest, FileNamePieces) {
  const std::pair<const char*, const char*> titles[] = {
      {"/home/u/pic.tfi", "pic"}, {"a/b.c.te4", "b.c"}, {"plain", "plain"},
      {"/x/.config", ".config"},  {"/x/dir/", ""},      {"name.", "name"},
  };
  for (const auto& [path, title] : titles) EXPECT_EQ(ExtractFileTitle(path), title) << path;

  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("", "b"), "b");
}

TEST(SmallRoutinesTest, ParseDecimal) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
    int32_t used;
  };
  const Case cases[] = {
      {"  42a", true, 42, 4},
      {"  a", false, 0, 2},
      {"", false, 0, 0},
      {"7", true, 7, 1},
      {"00012 3", true, 12, 5},
      {"2147483647", true, INT32_MAX, 10},
      {"2147483648", true, INT32_MIN, 10},  // wraps in 32 bits
      {"4294967297", true, 1, 10},
      {"-5", false, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t value = -1, used = -1;
    EXPECT_EQ(ParseDecimal(c.text, value, used), c.ok) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(used, c.used) << c.text;
  }
}

TEST(SmallRoutinesTest, CStrings) {
  EXPECT_EQ(StrScanLen("abc", 'z'), 3);
  EXPECT_EQ(StrScanLen("abc", 'b'), 1);
  EXPECT_EQ(StrScanLen("", 'b'), 0);
  EXPECT_TRUE(IsDigitChar('0'));
  EXPECT_TRUE(IsDigitChar('9'));
  EXPECT_FALSE(IsDigitChar('a'));
  EXPECT_FALSE(IsDigitChar('/'));

  char* copy = StrNewCopy("abc");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "abc");
  EXPECT_EQ(copy[4], '\0');
  FreeMem(copy);
  EXPECT_EQ(StrNewCopy(nullptr), nullptr);
  SetMemoryRefusals(1);
  EXPECT_EQ(StrNewCopy("abc"), nullptr);
  SetMemoryRefusals(0);

  MemoryStream m;
  EXPECT_TRUE(StreamWriteCStr(m, "hi"));
  EXPECT_EQ(m.Size(), 2);
  char small[3];
  FixedMemoryStream fixed(small, 3);
  EXPECT_FALSE(StreamWriteCStr(fixed, "four"));
  EXPECT_TRUE(DebugAssert(true));
  EXPECT_FALSE(DebugAssert(false));
}

// A window system with one virtual screen and a few windows.
class ScriptedWindowHost final : public WindowHost {
 public:
  ScreenRect VirtualScreen() override { return screen; }
  bool GetWindowRect(WindowHandle window, ScreenRect& rect) override {
    auto it = windows.find(window);
    if (it == windows.end()) return false;
    rect = it->second;
    return true;
  }
  bool MoveWindow(WindowHandle window, int32_t left, int32_t top) override {
    auto it = windows.find(window);
    if (it == windows.end()) return false;
    it->second.left = left;
    it->second.top = top;
    ++moves;
    return true;
  }
  ScreenRect screen;
  std::map<WindowHandle, ScreenRect> windows;
  int moves = 0;
};

TEST(SmallRoutinesTest, KeepFormOnScreen) {
  struct Case {
    ScreenRect screen;
    ScreenRect window;
    bool moved;
    int32_t left, top;
  };
  const Case cases[] = {
      {{0, 0, 1000, 800}, {100, 100, 200, 100}, false, 100, 100},     // inside
      {{0, 0, 1000, 800}, {950, 100, 200, 100}, true, 800, 100},      // off the right
      {{0, 0, 1000, 800}, {-30, 750, 200, 100}, true, 0, 700},        // left and below
      {{-1280, 0, 2560, 800}, {-1300, 0, 100, 100}, true, -1280, 0},  // second monitor on the left
      {{0, 0, 1000, 800}, {50, 50, 1200, 100}, true, 0, 50},          // wider than the screen
      // Larger than the virtual screen: to its left and top edges, where the title bar can be
      // reached (a window saved on a monitor now gone comes back into sight).
      {{0, 0, 1000, 800}, {2500, 1900, 1200, 900}, true, 0, 0},
      {{-1280, 0, 2560, 800}, {3000, 50, 100, 900}, true, 1180, 0},   // taller only
      {{0, 0, 1000, 800}, {0, 0, 1000, 800}, false, 0, 0},             // exactly the screen
      {{0, 0, 0, 0}, {2000, 100, 100, 100}, true, 1820, 100},         // virtual size unknown: primary
  };
  ScriptedWindowHost host;
  HeadlessScreenHost screens;  // primary screen 1920 x 1080
  ScreenHost* screensBefore = SetScreenHost(&screens);
  WindowHost* before = SetWindowHost(&host);
  for (const Case& c : cases) {
    host.screen = c.screen;
    host.windows[7] = c.window;
    host.moves = 0;
    EXPECT_EQ(KeepFormOnScreen(7), c.moved);
    EXPECT_EQ(host.windows[7].left, c.left);
    EXPECT_EQ(host.windows[7].top, c.top);
    EXPECT_EQ(host.moves, c.moved ? 1 : 0);
  }
  TPoint p{5, 5};
  EXPECT_FALSE(FitWindowToScreen(99, p));  // unknown window
  EXPECT_EQ(p, (TPoint{5, 5}));
  SetWindowHost(before);
  SetScreenHost(screensBefore);
  EXPECT_FALSE(KeepFormOnScreen(7));  // headless
}

// KeepWindowOnScreen only computes: the window stays where it is.
TEST(WindowHelpersTest, KeepWindowOnScreenComputesWithoutMoving) {
  ScriptedWindowHost host;
  WindowHost* before = SetWindowHost(&host);
  host.screen = {-1280, 0, 2560, 1024};
  host.windows[3] = {-1400, 100, 300, 200};  // half off the left edge
  TPoint p{0, 0};
  EXPECT_TRUE(KeepWindowOnScreen(3, p));
  EXPECT_EQ(p, (TPoint{-1280, 100}));
  host.windows[4] = {10, 10, 300, 200};
  EXPECT_FALSE(KeepWindowOnScreen(4, p));
  EXPECT_EQ(p, (TPoint{10, 10}));
  EXPECT_EQ(host.moves, 0);
  EXPECT_EQ(host.windows[3].left, -1400);
  SetWindowHost(before);
}

TEST(WindowHelpersTest, ArrowKeysAreOnePixelSteps) {
  struct Case {
    int32_t key;
    bool arrow;
    TPoint step;
  };
  const Case cases[] = {{kVkLeft, true, {-1, 0}}, {kVkUp, true, {0, -1}}, {kVkRight, true, {1, 0}},
                        {kVkDown, true, {0, 1}},  {kVkHome, false, {7, 7}}, {0, false, {7, 7}}};
  for (const Case& c : cases) {
    TPoint p{7, 7};
    EXPECT_EQ(ArrowKeyToStep(c.key, &p), c.arrow) << c.key;
    EXPECT_EQ(p, c.step) << c.key;
  }
  EXPECT_TRUE(ArrowKeyToStep(kVkUp, nullptr));
}

// StreamToGlobal with a count of 0, negative or past the stream gives no block.
TEST(WindowHelpersTest, StreamToGlobalTakesExactlyTheBytesThatAreThere) {
  std::vector<uint8_t> data(100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  MemoryStream stream;
  ASSERT_TRUE(stream.WriteExact(data.data(), 100));
  ASSERT_TRUE(stream.SetPosition(40));  // 60 left
  EXPECT_EQ(StreamToGlobal(stream, 100), nullptr);
  EXPECT_EQ(StreamToGlobal(stream, 0), nullptr);
  EXPECT_EQ(StreamToGlobal(stream, -5), nullptr);
  EXPECT_EQ(StreamToGlobal(stream, INT64_MAX), nullptr);
  EXPECT_EQ(stream.Position(), 40);
  auto block = StreamToGlobal(stream, 60);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(*block, std::vector<uint8_t>(data.begin() + 40, data.end()));
  EXPECT_EQ(StreamToGlobal(stream, 1), nullptr);  // at the end
}

}  // namespace
}  // namespace tf
