#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "paint/PaletteFiles.h"
#include "paint/PresetSettings.h"
#include "paint/Swatches.h"
#include "platform/Confirm.h"
#include "platform/Warning.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

std::string Fixture(const char* name) { return std::string(TF_TEST_DATA_DIR) + "/" + name; }

class SwatchesTest : public test::TempFolderTest {
 protected:
  SwatchesTest() : TempFolderTest("tf-swatch") {}
  void SetUp() override {
    TempFolderTest::SetUp();
    settings_.programFolder = PathOf("prog/");
    SetPresetSettingsHost(&settings_);
    SetWarningHost(&warnings_);
    SetConfirmHost(&questions_);
  }
  void TearDown() override {
    SetPresetSettingsHost(nullptr);
    SetWarningHost(nullptr);
    SetConfirmHost(nullptr);
    TempFolderTest::TearDown();
  }
  static std::vector<uint32_t> Colours(const TSwatchMngr& m) {
    std::vector<uint32_t> out;
    for (int32_t i = 0; i < m.Count(); ++i) out.push_back(m.GetItem(i).colour);
    return out;
  }
  MemoryPresetSettings settings_;
  RecordingWarningHost warnings_;
  ScriptedConfirmHost questions_;
};

TEST_F(SwatchesTest, AcoFixturesFromThePublicLayout) {
  struct Case {
    const char* file;
    std::vector<uint32_t> colours;
    std::vector<std::string> warnings;
  } cases[] = {
      {"py_rgb.aco", {0x00FF0000u, 0x003F7FBFu, 0x00FFFFFFu}, {}},
      {"py_grey.aco", {0x027F7F7Fu, 0x02FFFFFFu}, {"1個のパレットが読み込めませんでした！"}},
      {"py_short.aco", {0x00FF0000u, 0x003F7FBFu}, {"2個のパレットが読み込めませんでした！"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    warnings_.Clear();
    TSwatchMngr m;
    ASSERT_TRUE(m.LoadFromFile(Fixture(c.file), false));
    EXPECT_EQ(Colours(m), c.colours);
    EXPECT_EQ(warnings_.Texts(), c.warnings);
    EXPECT_EQ(m.GetItem(0).name, "Undefined");
  }
  // HSB: red, green, and a grey of brightness one half.
  TSwatchMngr hsb;
  ASSERT_TRUE(hsb.LoadFromFile(Fixture("py_hsb.aco"), false));
  ASSERT_EQ(hsb.Count(), 3);
  EXPECT_EQ(hsb.GetItem(0).colour, 0x01FF0000u);
  const uint32_t green = hsb.GetItem(1).colour;
  EXPECT_EQ(green >> 24, 1u);
  EXPECT_LE((green >> 16) & 0xFF, 5u);
  EXPECT_GE((green >> 8) & 0xFF, 250u);
  EXPECT_EQ(hsb.GetItem(2).colour, 0x017F7F7Fu);
  // Version 2 is refused: the reader's message, then the load failure with 37.
  warnings_.Clear();
  TSwatchMngr v2;
  ASSERT_TRUE(v2.AddDefaultColours());
  EXPECT_FALSE(v2.LoadFromFile(Fixture("py_v2.aco"), false));
  EXPECT_EQ(v2.Count(), 256);
  EXPECT_EQ(warnings_.Texts(),
            (std::vector<std::string>{"Invalid ACO version!", "扱えないパレットデータ形式でした！",
                                      "色見本の読み込みに失敗しました! (err=37)"}));
}

TEST_F(SwatchesTest, CmykColoursAreDroppedOnlyWhenTheUserAgrees) {
  TSwatchMngr m;
  questions_.Script({kResultYes});
  ASSERT_TRUE(m.LoadFromFile(Fixture("py_cmyk.aco"), false));
  EXPECT_EQ(Colours(m), (std::vector<uint32_t>{0x000000FFu, 0x0000FF00u}));
  ASSERT_EQ(questions_.Questions().size(), 1u);
  EXPECT_EQ(questions_.Questions()[0].text,
            "CMYKパレットは正常に色を変換できません！\rCMYKパレットは破棄してよいですか？ (4色中2色)");
  EXPECT_EQ(questions_.Questions()[0].buttons, kButtonsYesNoCancel);
  questions_.Script({kResultNo});
  ASSERT_TRUE(m.LoadFromFile(Fixture("py_cmyk.aco"), false));
  EXPECT_EQ(Colours(m), (std::vector<uint32_t>{0x000000FFu, 0x03FFFFFFu, 0x03000000u, 0x0000FF00u}));
}

TEST_F(SwatchesTest, AcoRoundTripKeepsTheColours) {
  TSwatchMngr m;
  questions_.Script({kResultNo});
  ASSERT_TRUE(m.LoadFromFile(Fixture("py_cmyk.aco"), false));
  ASSERT_TRUE(m.LoadFromFile(Fixture("py_rgb.aco"), true));
  ASSERT_TRUE(m.LoadFromFile(Fixture("py_hsb.aco"), true));
  const std::vector<uint32_t> before = Colours(m);
  ASSERT_TRUE(m.SaveToFile(PathOf("r.aco")));
  TSwatchMngr back;
  ASSERT_TRUE(back.LoadFromFile(PathOf("r.aco"), false));
  ASSERT_EQ(back.Count(), m.Count());
  for (int32_t i = 0; i < m.Count(); ++i)
    EXPECT_EQ(back.GetItem(i).colour, before[static_cast<size_t>(i)] & 0xFFFFFFu);
  // The file is version 1, big-endian, RGB records.
  const std::string f = ReadFile(PathOf("r.aco"));
  EXPECT_EQ(f.substr(0, 4), std::string("\0\1\0\12", 4));
  EXPECT_EQ(f.substr(4, 10), std::string("\0\0\0\0\0\0\xFF\xFF\0\0", 10));  // blue
}

TEST_F(SwatchesTest, TextPalettes) {
  TSwatchMngr m;
  m.InsertColor(-1, 0x00FF8000u);
  m.InsertColor(-1, 0x00010203u);
  m.cellWidth = 16;
  m.cellHeight = 12;
  m.columns = 8;
  m.rows = 2;
  ASSERT_TRUE(m.SaveToFile(PathOf("a.pcs")));
  ASSERT_TRUE(m.SaveToFile(PathOf("a.txt")));
  const std::string lines =
      "ROWS 2|COLS 8|WIDTH 16|HEIGHT 12|TEXTHEIGHT 0|SPACING 1|R:255, G:128, B:000|"
      "R:001, G:002, B:003|";
  std::string cr = lines, crlf = lines;
  for (char& c : cr)
    if (c == '|') c = '\r';
  crlf.clear();
  for (char c : lines) crlf += c == '|' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(ReadFile(PathOf("a.pcs")), cr);
  EXPECT_EQ(ReadFile(PathOf("a.txt")), crlf);

  // Lower-case prefixes, clamped layout, a missing COLS, capitals in the extension.
  WriteFile(PathOf("b.TXT"), "rows 3\nwidth 100\nheight 2\nspacing 9\nr:255, g:128, b:0\nxyz r:1\nnothing\n");
  TSwatchMngr t;
  ASSERT_TRUE(t.LoadFromFile(PathOf("b.TXT"), false));
  EXPECT_EQ(Colours(t), (std::vector<uint32_t>{0x00FF8000u, 0x00010000u}));
  EXPECT_EQ(t.cellWidth, 64);
  EXPECT_EQ(t.cellHeight, 8);
  EXPECT_EQ(t.columns, 1);
  EXPECT_EQ(t.rows, 3);
  EXPECT_EQ(PaletteKindOf("x.Pcs"), kPalettePcs);
  EXPECT_EQ(PaletteKindOf("x.ACO"), kPaletteAco);
  EXPECT_EQ(PaletteKindOf("dir.tpl/x"), kPaletteNone);
  WriteFile(PathOf("c.bmp"), "R:1");
  EXPECT_EQ(LoadPalette(PathOf("c.bmp"), t, false), kPaletteNotAPalette);
  EXPECT_EQ(LoadPalette(PathOf("gone.txt"), t, false), 4);
  WriteFile(PathOf("d.txt"), "ROWS 2\r\n");
  EXPECT_EQ(LoadPalette(PathOf("d.txt"), t, false), kPaletteEmpty);
  EXPECT_EQ(t.Count(), 2);
}

TEST_F(SwatchesTest, TplFilesAndTheirCount) {
  TSwatchMngr m;
  ASSERT_TRUE(m.AddDefaultColours());
  m.cellWidth = 200;  // stored as its low byte, clamped when read
  m.cellHeight = 10;
  m.columns = 16;
  m.rows = 16;
  ASSERT_TRUE(m.SaveToFile(PathOf("a.tpl")));
  std::string f = ReadFile(PathOf("a.tpl"));
  ASSERT_EQ(f.size(), 20u + 1024u);
  EXPECT_EQ(f.substr(0, 12), std::string("TPAL\x0C\x04\0\0\xC8\x0A\x10\x10", 12));
  TSwatchMngr back;
  ASSERT_TRUE(back.LoadFromFile(PathOf("a.tpl"), false));
  EXPECT_EQ(Colours(back), Colours(m));
  EXPECT_EQ(back.cellWidth, 64);
  EXPECT_FALSE(back.IsModified());
  // Announcing 10, holding 7: 7 load, 3 are reported missing.
  std::string seven = f.substr(0, 12) + std::string("\x0A\0\0\0\0\0\0\0", 8) + f.substr(20, 28);
  WriteFile(PathOf("s.tpl"), seven);
  warnings_.Clear();
  ASSERT_TRUE(back.LoadFromFile(PathOf("s.tpl"), false));
  EXPECT_EQ(back.Count(), 7);
  EXPECT_EQ(warnings_.Texts(), (std::vector<std::string>{"3個のパレットが読み込めませんでした！"}));
  // A count of four thousand million with eight bytes of colours: room for two only.
  SPaletteData data;
  std::string huge = f.substr(0, 12) + std::string("\xFF\xFF\xFF\xFF\0\0\0\0", 8) + f.substr(20, 8);
  EXPECT_EQ(ReadPaletteTpl(std::vector<uint8_t>(huge.begin(), huge.end()), data), 2);
  EXPECT_EQ(data.colours.capacity(), 2u);
  // Wrong magic: the reader's message, then 37.
  WriteFile(PathOf("w.tpl"), "TPAX");
  warnings_.Clear();
  EXPECT_EQ(LoadPalette(PathOf("w.tpl"), back, false), kPaletteEmpty);
  EXPECT_EQ(warnings_.Texts()[0], "パレットファイルのロードに失敗しました！");
  EXPECT_EQ(back.Count(), 7);
}

TEST_F(SwatchesTest, BuiltinColoursAppendAndSaves) {
  TSwatchMngr m;
  ASSERT_TRUE(m.LoadDefault(true));  // a first start: no palette file anywhere
  ASSERT_EQ(m.Count(), 256);
  EXPECT_EQ(m.GetItem(0).colour, 0x000000u);
  EXPECT_EQ(m.GetItem(1).colour, 0x240000u);  // dark red
  EXPECT_EQ(m.GetItem(7).colour, 0xFF0000u);
  EXPECT_EQ(m.GetItem(8).colour, 0x002400u);
  EXPECT_EQ(m.GetItem(64).colour, 0x000055u);
  EXPECT_EQ(m.GetItem(255).colour, 0xFFFFFFu);
  EXPECT_EQ(settings_.files[2], "");
  EXPECT_EQ(m.FileName(), "");

  TSwatchMngr a;
  a.InsertColor(-1, 0x123456);
  a.SetModified(false);
  ASSERT_TRUE(a.LoadFromFile(Fixture("py_rgb.aco"), true));
  EXPECT_EQ(a.Count(), 4);
  EXPECT_EQ(a.GetItem(0).colour, 0x123456u);
  EXPECT_TRUE(a.IsModified());
  EXPECT_EQ(a.FileName(), Fixture("py_rgb.aco"));
  a.InsertColor(1, 0xABCDEF);
  EXPECT_EQ(a.GetItem(1).colour, 0xABCDEFu);
  EXPECT_TRUE(a.Delete(1));
  EXPECT_FALSE(a.Delete(9));

  TSwatchMngr empty;
  EXPECT_EQ(SavePalette(PathOf("e.pcs"), empty), kPaletteEmpty);
  EXPECT_EQ(SavePalette(PathOf("e.png"), a), kPaletteNotAPalette);
  // A failed write keeps the user's previous file.
  ASSERT_TRUE(a.SaveToFile(PathOf("k.aco")));
  const std::string before = ReadFile(PathOf("k.aco"));
  TSwatchMngr big;
  for (int32_t i = 0; i < 70000; ++i) big.InsertColor(-1, static_cast<uint32_t>(i));
  EXPECT_EQ(SavePalette(PathOf("k.aco"), big), kPaletteWriteFailed);
  EXPECT_EQ(ReadFile(PathOf("k.aco")), before);
  EXPECT_EQ(SavePalette(PathOf("no/such/k.tpl"), a), kPaletteWriteFailed);
}

}  // namespace
}  // namespace tf
