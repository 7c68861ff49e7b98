#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Text.h"

namespace tf {
namespace {

TEST(DebugOut, GoesToTheInstalledSink) {
  std::string seen;
  DebugSink previous = SetDebugSink([&](std::string_view t) { seen.append(t); });
  DebugOut("TChannel::Resize: caught an exception!\n");
  DebugOutF("%s %d\n", "value", 42);
  SetDebugSink(previous);
  EXPECT_EQ(seen, "TChannel::Resize: caught an exception!\nvalue 42\n");
}

TEST(Clock, InjectedSourceWrapsAt32Bits) {
  uint32_t now = 0xFFFFFFF0u;
  MillisecondSource previous = SetMillisecondSource([&] { return now; });
  uint32_t start = timeGetTime();
  now += 0x20;  // wraps past zero
  EXPECT_EQ(timeGetTime() - start, 0x20u);
  SetMillisecondSource(previous);
}

TEST(Clock, RealClockAdvancesAndWallTimeIsPlausible) {
  uint32_t a = timeGetTime();
  uint32_t b = timeGetTime();
  EXPECT_LE(b - a, 1000u);
  SSystemTime t = GetSystemTimeUtc();
  EXPECT_GE(t.year, 2024);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_LE(t.dayOfWeek, 6);
}

// Fixed moments, worked out from the calendar: every field, leap days, weekdays, moments
// before 1970 and past 2038.
TEST(Clock, WallTimeFieldsOfFixedMoments) {
  struct Case {
    int64_t seconds, nanoseconds;
    SSystemTime want;  // year, month, day of week, day, hour, minute, second, milliseconds
  } cases[] = {
      {0, 0, {1970, 1, 4, 1, 0, 0, 0, 0}},                         // a Thursday
      {-1, 999999999, {1969, 12, 3, 31, 23, 59, 59, 999}},         // a Wednesday
      {951868799, 500000000, {2000, 2, 2, 29, 23, 59, 59, 500}},   // leap day of a century year
      {1234567890, 123456789, {2009, 2, 5, 13, 23, 31, 30, 123}},  // a Friday
      {2147483648, 1000000, {2038, 1, 2, 19, 3, 14, 8, 1}},        // past 32-bit seconds
      {4102444800, 0, {2100, 1, 5, 1, 0, 0, 0, 0}},                // 2100 is no leap year...
      {4102444800 + 59 * 86400, 0, {2100, 3, 1, 1, 0, 0, 0, 0}},   // ...so 1 March follows 28 February
  };
  auto fields = [](const SSystemTime& t) {
    return std::vector<int>{t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fields(SystemTimeFromUnix(c.seconds, c.nanoseconds)), fields(c.want)) << c.seconds;
  }
  // Years a 16-bit field cannot hold give no date at all.
  EXPECT_EQ(fields(SystemTimeFromUnix(int64_t{1} << 50, 0)), std::vector<int>(8, 0));

  // The test hook replaces the wall time; an empty hook brings the real clock back.
  const SSystemTime fixed{2009, 2, 5, 13, 23, 31, 30, 123};
  WallTimeSource previous = SetWallTimeSource([&] { return fixed; });
  EXPECT_EQ(fields(GetSystemTimeUtc()), fields(fixed));
  SetWallTimeSource(previous);
  EXPECT_GE(GetSystemTimeUtc().year, 2024);
}

class ScriptedKeys final : public InputHost {
 public:
  uint32_t down = 0;  // bit per key index below
  bool IsKeyDown(int32_t vk) override {
    switch (vk) {
      case kVkShift: return down & 1;
      case kVkMenu: return down & 2;
      case kVkControl: return down & 4;
      case kVkLeftButton: return down & 8;
      case kVkRightButton: return down & 16;
      case kVkMiddleButton: return down & 32;
      default: return false;
    }
  }
};

TEST(Host, NullInputHasNoKeyDown) {
  EXPECT_FALSE(IsKeyDown(kVkShift));
  EXPECT_EQ(GetShiftButtons(), 0u);
}

TEST(Host, ShiftButtonBitsFollowTheKeys) {
  ScriptedKeys keys;
  InputHost* previous = SetInputHost(&keys);
  for (uint32_t bits : {1u, 2u, 4u, 8u, 16u, 32u, 5u, 63u}) {
    keys.down = bits;
    EXPECT_EQ(GetShiftButtons(), bits);
  }
  SetInputHost(previous);
}

TEST(Host, WaitCursorRestoresThePreviousCursor) {
  RecordingCursorHost cursors;
  CursorHost* previous = SetCursorHost(&cursors);
  SetSystemCursor(kCursorCross);
  {
    WaitCursor wait;
    EXPECT_EQ(cursors.Current(), kCursorWait);
  }
  EXPECT_EQ(cursors.Current(), kCursorCross);
  SetCursorHost(previous);
}

TEST(Text, ProgramTextsRoundTripThroughCodePage932) {
  const char* texts[] = {
      "メモリ不足のため実行できませんでした！",
      "%sの読み込みに失敗しました! (err=%d)",
      "警告",
      "イベント記録中に例外が発生しました!\r以降のイベント記録は停止します...",
  };
  for (const char* utf8 : texts) {
    bool ok = false;
    std::string cp = Utf8ToCp932(utf8, &ok);
    EXPECT_TRUE(ok) << utf8;
    EXPECT_EQ(Cp932ToUtf8(cp), utf8);
  }
  // 警告 is 0x8C 0x78 0x8D 0x90 in code page 932.
  EXPECT_EQ(Utf8ToCp932("警告"), std::string("\x8C\x78\x8D\x90"));
  // The wave dash of Windows: full-width tilde U+FF5E is 0x8160.
  EXPECT_EQ(Utf8ToCp932("～"), std::string("\x81\x60"));
}

TEST(Text, BadBytesAreReplacedNotDropped) {
  std::string bad("A\x81", 2);  // cut double-byte character
  EXPECT_EQ(Cp932ToUtf8(bad), "A\xEF\xBF\xBD");
  bool ok = true;
  EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80"
                        "b",
                        &ok),
            "a?b");  // emoji has no code page 932 form
  EXPECT_FALSE(ok);
}

TEST(Text, FitLengthNeverSplitsADoubleByteCharacter) {
  std::string cp = Utf8ToCp932("a警告");  // 1 + 2 + 2 bytes
  EXPECT_EQ(Cp932FitLength(cp, 2), 1u);
  EXPECT_EQ(Cp932FitLength(cp, 3), 3u);
  EXPECT_EQ(Cp932FitLength(cp, 100), 5u);
}

}  // namespace
}  // namespace tf
