#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "paint/GradientSet.h"
#include "paint/PresetSettings.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/ChunkStream.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

// ---------------------------------------------------------------------------------------------
// Bytes of set files built here, apart from the program's writer.

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
uint32_t Get16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 8;
}
uint32_t Get32(const std::string& s, size_t at) { return Get16(s, at) | Get16(s, at + 2) << 16; }

std::string SetHeader(uint16_t version, uint16_t count, uint32_t flags, uint16_t current, uint16_t pinned) {
  std::string s = "GRST";
  Put32(s, 24);
  Put16(s, version);
  Put16(s, count);
  Put32(s, flags);
  Put16(s, current);
  Put16(s, pinned);
  s.append(12, '\0');
  return s;
}

struct Stop {
  uint32_t color;  // colour word
  int32_t weight;
  uint8_t used = 1;
};

// A TGRD record; extraBytes are appended inside the record after the stops.
std::string Record(const std::string& name, const std::vector<Stop>& stops, uint16_t shape = 0,
                   uint16_t repeat = 1, uint16_t flags = 0, int extraBytes = 0, uint16_t version = 1) {
  const size_t pad = (4 - name.size() % 4) % 4;
  std::string s = "TGRD";
  Put32(s, static_cast<uint32_t>(28 + name.size() + pad + 24 * stops.size() + extraBytes));
  Put16(s, flags);
  Put16(s, version);
  Put16(s, shape);
  Put16(s, 0);
  Put16(s, 0);
  Put16(s, repeat);
  s.append(10, '\0');
  Put16(s, static_cast<uint32_t>(stops.size()));
  Put16(s, 24);
  Put16(s, static_cast<uint32_t>(name.size()));
  s += name;
  s.append(pad, '\0');
  for (size_t i = 0; i < stops.size(); ++i) {
    s += static_cast<char>(stops[i].used);
    s += static_cast<char>(stops[i].used);
    s += '\1';
    s += '\xFF';
    Put32(s, static_cast<uint32_t>(i));
    Put32(s, stops[i].color);
    Put32(s, static_cast<uint32_t>(stops[i].weight));
    Put32(s, 0);
    Put32(s, 0);
  }
  s.append(static_cast<size_t>(extraBytes), '\x5A');
  return s;
}

const std::vector<Stop> kBW = {{0xFF000000u, 65536}, {0xFFFFFFFFu, 65536}};
const std::vector<Stop> kRGB = {{0xFF0000FFu, 1}, {0xFF00FF00u, 1}, {0xFFFF0000u, 2}};

class GradientSetTest : public test::TempFolderTest {
 protected:
  GradientSetTest() : TempFolderTest("tf-gradset") {}
  void SetUp() override {
    TempFolderTest::SetUp();
    ResetGradIdCounter();
    settings_.programFolder = PathOf("prog/");
    settings_.foreground = 0x0000FF;  // red
    settings_.background = 0x00FF00;  // green
    SetPresetSettingsHost(&settings_);
    SetWarningHost(&warnings_);
  }
  void TearDown() override {
    SetPresetSettingsHost(nullptr);
    SetWarningHost(nullptr);
    TempFolderTest::TearDown();
  }
  std::string Names(CGradMngr& m) {
    std::string out;
    for (int32_t i = 0; i < m.Count(); ++i) out += m.GetItem(i)->Stops()->Name() + ";";
    return out;
  }
  MemoryPresetSettings settings_;
  RecordingWarningHost warnings_;
};

TEST_F(GradientSetTest, BuiltinGradients) {
  CGradMngr m;
  ASSERT_TRUE(m.LoadBuiltins());
  ASSERT_EQ(m.Count(), 4);
  EXPECT_EQ(Names(m), "untitled1;untitled2;untitled3;untitled4;");
  EXPECT_EQ(m.CurrentIndex(), 0);
  ASSERT_NE(m.WorkingCopy(), nullptr);
  const CColorSlotGroup* g3 = m.GetItem(3)->Stops();
  ASSERT_EQ(g3->StopCount(), 6);
  // Three solid bands: blue, green, red (red in the low byte of a colour word).
  EXPECT_EQ(g3->GetSlot(0)->color, 0xFFFF0000u);
  EXPECT_EQ(g3->GetSlot(2)->color, 0xFF00FF00u);
  EXPECT_EQ(g3->GetSlot(5)->color, 0xFF0000FFu);
  EXPECT_EQ(g3->GetSlot(1)->alpha, 255);
  EXPECT_EQ(m.GetItem(1)->Stops()->GetSlot(1)->color, 0xFF00FFFFu);  // yellow
}

TEST_F(GradientSetTest, WrittenBytesReadApart) {
  CGradMngr m;
  ASSERT_TRUE(m.LoadBuiltins());
  m.GetItem(2)->Stops()->SetName("abcde");
  SGradOption own{1, 2, 1, 0, 300};
  m.GetItem(2)->SetOptions(own);
  m.SetCurrent(2);
  const std::string path = PathOf("a.tgs");
  ASSERT_TRUE(m.Save(path));
  EXPECT_FALSE(m.IsModified());
  EXPECT_EQ(m.FileName(), path);
  const std::string f = ReadFile(path);
  ASSERT_GE(f.size(), 32u);
  EXPECT_EQ(f.substr(0, 4), "GRST");
  EXPECT_EQ(Get32(f, 4), 24u);
  EXPECT_EQ(Get16(f, 8), 2u);
  EXPECT_EQ(Get16(f, 10), 4u);
  EXPECT_EQ(Get32(f, 12), 0u);
  EXPECT_EQ(Get16(f, 16), 2u);
  EXPECT_EQ(Get16(f, 18), 0xFFFFu);
  size_t at = 32;
  std::vector<std::string> names;
  for (int r = 0; r < 4; ++r) {
    ASSERT_EQ(f.substr(at, 4), "TGRD");
    const uint32_t size = Get32(f, at + 4);
    const uint32_t count = Get16(f, at + 30);
    const uint32_t nameLength = Get16(f, at + 34);
    EXPECT_EQ(Get16(f, at + 10), 1u);
    EXPECT_EQ(Get16(f, at + 32), 24u);
    EXPECT_EQ(size, 28 + nameLength + (4 - nameLength % 4) % 4 + 24 * count);
    names.push_back(f.substr(at + 36, nameLength));
    if (r == 2) {
      EXPECT_EQ(Get16(f, at + 8), 1u);   // own options
      EXPECT_EQ(Get16(f, at + 12), 2u);  // shape
      EXPECT_EQ(Get16(f, at + 14), 1u);  // mirror
      EXPECT_EQ(Get16(f, at + 18), 300u);
      EXPECT_EQ(count, 3u);
      const size_t slot = at + 36 + 8;
      EXPECT_EQ(static_cast<uint8_t>(f[slot]), 1);  // used
      EXPECT_EQ(Get32(f, slot + 8), 0xFFFF0000u);   // blue, fixed
      EXPECT_EQ(Get32(f, slot + 12), 32768u);       // weight
      EXPECT_EQ(Get32(f, slot + 24 + 16), 32768u);  // position of the second stop
    }
    at += 8 + size;
  }
  EXPECT_EQ(at, f.size());
  EXPECT_EQ(names, (std::vector<std::string>{"untitled1", "untitled2", "abcde", "untitled4"}));

  // Round trip: same stops, options and names; a version-2 file selects entry 0.
  CGradMngr back;
  ASSERT_TRUE(back.LoadFromFile(path, false));
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(back.CurrentIndex(), 0);
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(back.GetItem(i)->Stops()->Equals(*m.GetItem(i)->Stops())) << i;
    EXPECT_EQ(back.GetItem(i)->Stops()->Name(), m.GetItem(i)->Stops()->Name());
  }
  EXPECT_EQ(back.GetItem(2)->Options(), own);
  EXPECT_FALSE(back.IsModified());
  EXPECT_TRUE(warnings_.Texts().empty());
}

TEST_F(GradientSetTest, PinnedEntryIsNeverWritten) {
  CGradMngr only(true);
  ASSERT_EQ(only.Count(), 1);
  EXPECT_TRUE(only.IsPinnedIndex(0));
  EXPECT_EQ(SaveGradientSet(PathOf("p.tgs"), only), kGradientEmptySet);
  EXPECT_FALSE(PresetFileExists(PathOf("p.tgs")));

  CGradMngr m(true);
  ASSERT_TRUE(m.AddBuiltinGradients());
  m.Delete(4);      // pinned + three
  m.SetCurrent(2);  // the second of the three
  ASSERT_EQ(SaveGradientSet(PathOf("q.tgs"), m), 0);
  std::string f = ReadFile(PathOf("q.tgs"));
  EXPECT_EQ(Get16(f, 10), 3u);
  EXPECT_EQ(Get16(f, 16), 1u);
  EXPECT_EQ(Get16(f, 18), 0u);
  EXPECT_EQ(Get32(f, 12), 0u);
  m.SetCurrent(0);
  ASSERT_EQ(SaveGradientSet(PathOf("q.tgs"), m), 0);
  f = ReadFile(PathOf("q.tgs"));
  EXPECT_EQ(Get32(f, 12), 1u);
  EXPECT_EQ(Get16(f, 16), 0u);
  // Turning the pin off keeps the current entry the same gradient.
  m.SetCurrent(2);
  CGradObj* current = m.Current();
  m.SetPinned(false);
  EXPECT_EQ(m.Current(), current);
  EXPECT_EQ(m.CurrentIndex(), 1);
}

TEST_F(GradientSetTest, VersionOneFileGainsTheTwoColourEntry) {
  WriteFile(PathOf("v1.tgs"),
            SetHeader(1, 3, 0, 1, 0xFFFF) + Record("a", kBW) + Record("b", kRGB) + Record("c", kBW, 7, 0, 1));
  CGradMngr m;
  ASSERT_TRUE(m.LoadFromFile(PathOf("v1.tgs"), false));
  ASSERT_EQ(m.Count(), 4);
  EXPECT_EQ(Names(m), ";a;b;c;");
  EXPECT_EQ(m.CurrentIndex(), 2);  // stored index + 1
  // The two-colour entry follows the foreground and background colours from the settings.
  const CColorSlotGroup* two = m.GetItem(0)->Stops();
  EXPECT_EQ(two->GetSlot(0)->color, 0x000000FFu);
  EXPECT_EQ(two->GetSlot(1)->color, 0x0100FF00u);
  // Shape 7 loads as 2; a repeat count of 0 as 1 (the record keeps options of its own).
  EXPECT_EQ(m.GetItem(3)->Options().shape, 2);
  EXPECT_EQ(m.GetItem(3)->Options().repeatCount, 1);

  // 0xFFFF is -1: stored index + 1 selects entry 0.
  WriteFile(PathOf("v1b.tgs"), SetHeader(1, 1, 0, 0xFFFF, 0xFFFF) + Record("a", kBW));
  ASSERT_TRUE(m.LoadFromFile(PathOf("v1b.tgs"), false));
  EXPECT_EQ(m.CurrentIndex(), 0);
  // Version 2 always selects entry 0.
  WriteFile(PathOf("v2.tgs"), SetHeader(2, 2, 0, 1, 0xFFFF) + Record("a", kBW) + Record("b", kBW));
  ASSERT_TRUE(m.LoadFromFile(PathOf("v2.tgs"), false));
  EXPECT_EQ(m.CurrentIndex(), 0);
  EXPECT_EQ(Names(m), "a;b;");
}

TEST_F(GradientSetTest, UnreadableRecordsAreSkippedAndCounted) {
  // A one-stop record, a record with negative weights, an unknown chunk, a record of a newer
  // version and a record with bytes after its last whole stop; the walk keeps in step.
  std::string unknown = "XXXX";
  Put32(unknown, 4);
  unknown += "zzzz";
  const std::string file = SetHeader(2, 6, 0, 0, 0xFFFF) + Record("one", {{0xFF000000u, 65536}}) +
                           Record("neg", {{0xFF000000u, -5}, {0xFF000000u, 1}}) + unknown +
                           Record("new", kBW, 0, 1, 0, 0, 2) + Record("tail", kBW, 0, 1, 0, 23) +
                           Record("ok", kRGB) + Record("notstops", {{0xFF000000u, 1}, {0, 1, 0}});
  WriteFile(PathOf("bad.tgs"), file);
  CGradMngr m;
  ASSERT_TRUE(m.LoadFromFile(PathOf("bad.tgs"), false));
  EXPECT_EQ(Names(m), "tail;ok;");
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "4個のグラデーション集が読み込めませんでした！");

  // Reading one record straight: the codes.
  struct Case {
    std::string bytes;
    uint8_t code;
  } cases[] = {
      {Record("one", {{0xFF000000u, 65536}}), kGradientNotStops},
      {Record("v", kBW, 0, 1, 0, 0, 2), kFileLevel},
      {"TGRX" + Record("x", kBW).substr(4), kFileChunkId},
      {Record("x", kBW).substr(0, 30), kFileShortRead},
      {Record("x", kBW).substr(0, 60), kFileShortRead},
  };
  for (const Case& c : cases) {
    MemoryStream s(std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
    CColorSlotGroup g;
    SGradOption o;
    EXPECT_EQ(ReadGradientRecordSafe(s, g, o), c.code);
    EXPECT_EQ(s.Position(), 0);
  }
  // A name longer than its record.
  std::string longName = Record("abcdefgh", kBW);
  longName[4] = 30;  // size 30 cannot hold 8 name bytes and two stops
  longName[5] = 0;
  MemoryStream s(std::vector<uint8_t>(longName.begin(), longName.end()));
  CColorSlotGroup g;
  SGradOption o;
  EXPECT_EQ(ReadGradientRecord(s, g, o), kFileChunkSize);
}

TEST_F(GradientSetTest, FailedLoadsKeepTheSet) {
  CGradMngr m;
  ASSERT_TRUE(m.LoadBuiltins());
  m.SetModified(false);
  const std::string good = SetHeader(2, 2, 0, 0, 0xFFFF) + Record("a", kBW) + Record("b", kRGB);
  struct Case {
    std::string name, bytes;
    uint8_t code;
  } cases[] = {
      {"id", "GRSX" + good.substr(4), kFileChunkId},
      {"size", good.substr(0, 4) + std::string("\x19\0\0\0", 4) + good.substr(8), kFileChunkSize},
      {"version", SetHeader(3, 2, 0, 0, 0xFFFF) + good.substr(32), kFileLevel},
      {"empty count", SetHeader(2, 0, 0, 0, 0xFFFF) + good.substr(32), kGradientEmptySet},
      {"short header", good.substr(0, 20), kFileShortRead},
      {"no record", SetHeader(2, 2, 0, 0, 0xFFFF), kGradientEmptySet},
      {"all unreadable", SetHeader(2, 1, 0, 0, 0xFFFF) + Record("one", {{0, 1}}), kGradientEmptySet},
      // The walk stops on a damaged chunk with nothing loaded: none loaded.
      {"past end", SetHeader(2, 1, 0, 0, 0xFFFF) + Record("a", kBW).substr(0, 50), kGradientEmptySet},
      {"chunk head cut", SetHeader(2, 1, 0, 0, 0xFFFF) + Record("a", kBW).substr(0, 5), kGradientEmptySet},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(PathOf("f.tgs"), c.bytes);
    EXPECT_EQ(LoadGradientSet(PathOf("f.tgs"), m, false), c.code);
    EXPECT_EQ(m.Count(), 4);
    EXPECT_EQ(Names(m), "untitled1;untitled2;untitled3;untitled4;");
    EXPECT_FALSE(m.IsModified());
  }
  EXPECT_EQ(LoadGradientSet(PathOf("missing.tgs"), m, false), kFileMissing);
  // Every truncation of a good file: a code or fewer entries, never a crash; the set is either
  // untouched or holds what read.
  for (size_t n = 0; n < good.size(); ++n) {
    WriteFile(PathOf("t.tgs"), good.substr(0, n));
    CGradMngr t;
    ASSERT_TRUE(t.LoadBuiltins());
    const uint8_t code = LoadGradientSet(PathOf("t.tgs"), t, false);
    if (Names(t) == "a;") {
      // Record b cut: a is kept, the result the walk's code.
      EXPECT_TRUE(code == 0 || code == kFileShortRead || code == kFileSeekFailed) << n << " " << int{code};
    } else {
      EXPECT_NE(code, 0) << n;
      EXPECT_EQ(t.Count(), 4) << n;
    }
  }
}

// Damage after the first record: the gradients before it are kept and the result is the code
// the walk stopped on (it once answered 0); none loaded gives 37 (it once gave 9 or 10).
TEST_F(GradientSetTest, ADamagedChunkKeepsWhatPrecedesItWithTheWalksCode) {
  const std::string two = SetHeader(2, 3, 0, 0, 0xFFFF) + Record("a", kBW) + Record("b", kRGB);
  const std::string third = Record("c", kBW);
  struct Case {
    const char* name;
    std::string bytes;
    uint8_t code;
  } cases[] = {
      {"short chunk head", two + third.substr(0, 6), kFileShortRead},
      {"chunk past the end", two + third.substr(0, 40), kFileSeekFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    warnings_.Clear();
    WriteFile(PathOf("d.tgs"), c.bytes);
    CGradMngr m;
    ASSERT_TRUE(m.LoadBuiltins());
    EXPECT_EQ(LoadGradientSet(PathOf("d.tgs"), m, false), c.code);
    EXPECT_EQ(Names(m), "a;b;");
    ASSERT_EQ(warnings_.Texts().size(), 1u);
    EXPECT_EQ(warnings_.Texts()[0], "1個のグラデーション集が読み込めませんでした！");
  }
}

TEST_F(GradientSetTest, AppendMarksModifiedAndKeepsTheEntries) {
  WriteFile(PathOf("x.tgs"), SetHeader(2, 1, 0, 0, 0xFFFF) + Record("x", kBW));
  CGradMngr m;
  ASSERT_TRUE(m.LoadBuiltins());
  m.SetCurrent(3);
  m.SetModified(false);
  ASSERT_TRUE(m.LoadFromFile(PathOf("x.tgs"), true));
  EXPECT_EQ(m.Count(), 5);
  EXPECT_TRUE(m.IsModified());
  EXPECT_EQ(m.CurrentIndex(), 3);
  EXPECT_EQ(m.FileName(), "");
  ASSERT_TRUE(m.LoadFromFile(PathOf("x.tgs"), false));
  EXPECT_FALSE(m.IsModified());
  EXPECT_EQ(m.FileName(), PathOf("x.tgs"));
}

TEST_F(GradientSetTest, DeleteKeepsTheCurrentEntryConsistent) {
  struct Case {
    int32_t current, deleted, expectIndex;
    const char* expectName;
  } cases[] = {
      {3, 3, 2, "untitled3"},  // the last entry while current: the new last
      {1, 1, 1, "untitled3"},  // a current middle entry: the entry now at its index
      {3, 1, 2, "untitled4"},  // current above the deleted one: the same entry, one lower
      {0, 2, 1, "untitled2"},  // current below: the entry before the deleted position
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "current " << c.current << " deleted " << c.deleted);
    CGradMngr m;
    ASSERT_TRUE(m.LoadBuiltins());
    m.SetCurrent(c.current);
    ASSERT_TRUE(m.Delete(c.deleted));
    EXPECT_EQ(m.CurrentIndex(), c.expectIndex);
    EXPECT_EQ(m.Current(), m.GetItem(c.expectIndex));
    EXPECT_EQ(m.Current()->Stops()->Name(), c.expectName);
    EXPECT_TRUE(m.WorkingCopy()->Stops()->Equals(*m.Current()->Stops()));
    EXPECT_TRUE(m.IsModified());
  }
  CGradMngr m;
  EXPECT_FALSE(m.Delete(0));
  m.AddTwoColor(0, 0xFFFFFFFFu);
  m.SetCurrent(0);
  ASSERT_TRUE(m.Delete(0));
  EXPECT_EQ(m.CurrentIndex(), -1);
  EXPECT_EQ(m.Current(), nullptr);
  EXPECT_EQ(m.WorkingCopy(), nullptr);
}

TEST_F(GradientSetTest, FailedSaveKeepsThePreviousFile) {
  CGradMngr m;
  ASSERT_TRUE(m.LoadBuiltins());
  const std::string path = PathOf("keep.tgs");
  ASSERT_TRUE(m.Save(path));
  const std::string before = ReadFile(path);
  // A gradient whose slots are not all stops cannot be written: the save fails with 20 after
  // the first records were written, and the file on disk stays as it was.
  auto broken = std::make_unique<CGradObj>();
  SColorSlot slot = CColorSlotGroup::ResetSlot(0);
  broken->Stops()->SetSlot(0, slot);
  m.Add(std::move(broken));
  EXPECT_FALSE(m.Save(path));
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_TRUE(m.IsModified());
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "グラデーション集の保存に失敗しました! (err=20)");
  EXPECT_EQ(EntryCount(), 1u);  // no temporary file left behind
  // A folder that does not exist: 5.
  EXPECT_EQ(SaveGradientSet(PathOf("no/such/x.tgs"), m), 5);
}

TEST_F(GradientSetTest, OptionsReachTheSettingsAndEveryGradientWithoutItsOwn) {
  settings_.gradient = SGradOption{0, 1, 1, 0, 3};
  CGradMngr m;
  SGradOption o;
  m.GetOptions(o);
  EXPECT_EQ(o, (SGradOption{0, 1, 1, 0, 3}));
  ASSERT_TRUE(m.LoadBuiltins());
  m.GetItem(1)->SetOptions(SGradOption{1, 2, 0, 1, 5});
  m.SetOptions(SGradOption{0, 0, 0, 1, 0});
  EXPECT_EQ(m.GetItem(0)->Options(), (SGradOption{0, 0, 0, 1, 1}));
  EXPECT_EQ(m.GetItem(1)->Options(), (SGradOption{1, 2, 0, 1, 5}));
  EXPECT_EQ(settings_.gradient, (SGradOption{0, 0, 0, 1, 1}));
  ASSERT_TRUE(m.SetWorkingOptions(SGradOption{0, 2, 0, 0, 2}, true));
  EXPECT_EQ(m.WorkingCopy()->Options().shape, 2);
}

TEST_F(GradientSetTest, FirstStartWithoutPresetFilesOffersTheBuiltins) {
  settings_.files[0] = PathOf("gone.tgs");
  CGradMngr m;
  ASSERT_TRUE(m.LoadDefault(true));
  EXPECT_EQ(m.Count(), 4);
  EXPECT_EQ(m.CurrentIndex(), 0);
  EXPECT_EQ(settings_.files[0], "");
  EXPECT_EQ(settings_.folders[0], PathOf("prog/preset"));
  EXPECT_EQ(m.FileName(), "");
  EXPECT_TRUE(warnings_.Texts().empty());

  // A default file in the program's preset folder is found and loaded.
  std::filesystem::create_directories(PathOf("prog/preset"));
  WriteFile(PathOf("prog/preset/default.tgs"), SetHeader(2, 1, 0, 0, 0xFFFF) + Record("d", kBW));
  CGradMngr d;
  ASSERT_TRUE(d.LoadDefault(true));
  EXPECT_EQ(Names(d), "d;");
  EXPECT_EQ(settings_.files[0], PathOf("prog/preset/default.tgs"));
}

}  // namespace
}  // namespace tf
