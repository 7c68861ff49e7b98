#include "app/PreferenceValues.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/AppProfile.h"
#include "platform/Debug.h"
#include "platform/FileDialog.h"
#include "platform/Registry.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

class PreferenceValuesTest : public test::TempFolderTest {
 protected:
  PreferenceValuesTest() : TempFolderTest("tf-pref") {}

  void Touch(const std::string& name) { WriteFile(PathOf(name), "x"); }

  // Settings unlike the defaults, with values the lists cannot show and preset files present
  // (and one missing, as on a drive not mounted).
  void OddSettings(CAppProfile& p) {
    p.psdSaveVer = 7;
    p.ShortcutMode = 5;
    p.PresetSaveAsQuit = 2;
    p.mouseMBtnFunc = 9;
    p.GridColor = 0xC8123456;
    p.gridW = 17;
    p.gridH = 499;
    p.undoMax = 50;
    p.AutoSizeAdjust = 5;
    p.FileIODir = 2;
    p.ToolFindNext = false;
    p.silentFileIO = true;
    p.DrawToolCursor = 1;
    p.OtherToolCursor = 1;
    p.UseLastFile = false;
    Touch("b.pmt");
    Touch("n.psh");
    Touch("p.tpl");
    Touch("g.tgs");
    p.brushFile = PathOf("b.pmt");
    p.nibFile = PathOf("n.psh");
    p.palFile = PathOf("p.tpl");
    p.gradFile2 = PathOf("g.tgs");
    p.toneFile = PathOf("unmounted/t.tts");
    p.CursorFile = PathOf("unmounted/c.cur");
  }
};

TEST_F(PreferenceValuesTest, UntouchedOkStoresEveryKeyAsItWas) {
  CRegistry registry(dir_ + "/reg");
  registry.Load();
  CAppProfile profile(&registry);
  profile.LoadAll();
  OddSettings(profile);
  ASSERT_TRUE(profile.SaveAll());
  const std::string before = ReadFile(registry.FilePath());

  CRegistry second(dir_ + "/reg");
  second.Load();
  CAppProfile loaded(&second);
  loaded.LoadAll();
  SPreferenceValues values;
  LoadPreferenceValues(loaded, values);
  EXPECT_EQ(values.psdItem, -1);
  EXPECT_EQ(values.shortcut, -1);
  SavePreferenceValues(values, loaded);
  ASSERT_TRUE(loaded.SaveAll());
  EXPECT_EQ(ReadFile(second.FilePath()), before);
  EXPECT_EQ(loaded.psdSaveVer, 7);
  EXPECT_EQ(loaded.ShortcutMode, 5);
  EXPECT_EQ(loaded.toneFile, PathOf("unmounted/t.tts"));
  EXPECT_EQ(loaded.GridColor, 0xC8123456u);
}

TEST_F(PreferenceValuesTest, InitialiseThenOkGivesTheDefaultsAndCancelChangesNothing) {
  CRegistry registry(dir_ + "/reg");
  registry.Load();
  CAppProfile fresh(&registry);
  fresh.LoadAll();
  CAppProfile profile(&registry);
  profile.LoadAll();
  OddSettings(profile);
  SPreferenceValues values;
  LoadPreferenceValues(profile, values);
  const float opacity = values.gridOpacity;
  InitialisePreferenceValues(values);
  EXPECT_EQ(values.gridOpacity, opacity);  // kept
  // Cancel: the settings never see the values.
  EXPECT_EQ(profile.psdSaveVer, 7);
  SavePreferenceValues(values, profile);
  EXPECT_EQ(profile.psdSaveVer, fresh.psdSaveVer);
  EXPECT_EQ(profile.ShortcutMode, fresh.ShortcutMode);
  EXPECT_EQ(profile.PresetSaveAsQuit, fresh.PresetSaveAsQuit);
  EXPECT_EQ(profile.mouseMBtnFunc, fresh.mouseMBtnFunc);
  EXPECT_EQ(profile.gridW, fresh.gridW);
  EXPECT_EQ(profile.gridH, fresh.gridH);
  EXPECT_EQ(profile.undoMax, fresh.undoMax);
  EXPECT_EQ(profile.AutoSizeAdjust, fresh.AutoSizeAdjust);
  EXPECT_EQ(profile.FileIODir, fresh.FileIODir);
  EXPECT_EQ(profile.ToolFindNext, fresh.ToolFindNext);
  EXPECT_EQ(profile.silentFileIO, fresh.silentFileIO);
  EXPECT_EQ(profile.DrawToolCursor, fresh.DrawToolCursor);
  EXPECT_EQ(profile.OtherToolCursor, fresh.OtherToolCursor);
  EXPECT_EQ(profile.UseLastFile, fresh.UseLastFile);
  EXPECT_EQ(profile.brushFile, fresh.brushFile);
  EXPECT_EQ(profile.toneFile, fresh.toneFile);
  EXPECT_EQ(profile.CursorFile, fresh.CursorFile);
  EXPECT_EQ(profile.GridColor & 0xFFFFFF, fresh.GridColor & 0xFFFFFF);
  // Every other key too: the settings as a fresh profile saves them, the grid's alpha aside.
  profile.GridColor = fresh.GridColor;
  ASSERT_TRUE(fresh.SaveAll());
  const std::string freshText = ReadFile(registry.FilePath());
  ASSERT_TRUE(profile.SaveAll());
  EXPECT_EQ(ReadFile(registry.FilePath()), freshText);
}

TEST_F(PreferenceValuesTest, GridOpacityAndColour) {
  struct Case {
    uint32_t stored;
    float opacity;
    uint32_t saved;
  };
  const Case cases[] = {
      {0x00FFFFFF, 50, 0x80FFFFFF},  // alpha 0 opens at 50 %
      {0x01000000, 1, 0x03000000},   // the range starts at 1 %: 1 and 2 become 3
      {0x02000000, 1, 0x03000000},
      {0x03000000, 3 * 100.0f / 255, 0x03000000},
      {0xFF102030, 100, 0xFF102030},
  };
  for (const auto& c : cases) {
    CAppProfile p;
    p.GridColor = c.stored;
    SPreferenceValues v;
    LoadPreferenceValues(p, v);
    EXPECT_FLOAT_EQ(v.gridOpacity, c.opacity) << std::hex << c.stored;
    SavePreferenceValues(v, p);
    EXPECT_EQ(p.GridColor, c.saved) << std::hex << c.stored;
  }
  // Every alpha from 3 up comes back as it was.
  for (uint32_t a = 3; a < 256; ++a) {
    CAppProfile p;
    p.GridColor = a << 24 | 0x445566;
    SPreferenceValues v;
    LoadPreferenceValues(p, v);
    SavePreferenceValues(v, p);
    ASSERT_EQ(p.GridColor, a << 24 | 0x445566) << a;
  }
  SColorValue black;
  BGRAToColorValue(0, black);
  EXPECT_EQ(GridColorFromValues(black, 100), 0xFF000000u);
}

TEST_F(PreferenceValuesTest, PresetPathsAreCheckedWithTheKindsExtension) {
  Touch("brush.pmt");
  Touch("cursor.cur");
  Touch("plain");
  struct Case {
    std::string path;
    int32_t kind;
    std::string expected;
  };
  const Case cases[] = {
      {PathOf("brush.pmt"), kFileDialogBrushSetOpen, PathOf("brush.pmt")},
      {PathOf("brush"), kFileDialogBrushSetOpen, PathOf("brush.pmt")},      // extension added
      {PathOf("brush.txt"), kFileDialogBrushSetOpen, PathOf("brush.pmt")},  // extension replaced
      {PathOf("missing.pmt"), kFileDialogBrushSetOpen, ""},
      {PathOf("missing"), kFileDialogBrushSetOpen, ""},
      {PathOf("plain"), kFileDialogNibSetOpen, ""},  // plain.psh does not exist
      {PathOf("cursor"), kFileDialogCursorOpen, PathOf("cursor.cur")},
      {"", kFileDialogToneSetOpen, ""},
  };
  for (const auto& c : cases) {
    std::string setting = "old";
    ValidatePresetPath(setting, c.path, c.kind);
    EXPECT_EQ(setting, c.expected) << c.path;
  }
}

// OK used to check all six paths, so a preset file missing at that moment (a drive not mounted)
// lost its setting though the person never touched it. Only edited paths are checked now.
TEST_F(PreferenceValuesTest, OnlyEditedPathsAreCheckedOnOk) {
  Touch("new.tgs");
  CAppProfile p;
  p.brushFile = "/media/off/brush.pmt";
  p.gradFile2 = "/media/off/grad.tgs";
  p.CursorFile = "/media/off/c.cur";
  SPreferenceValues v;
  LoadPreferenceValues(p, v);
  v.presetPaths[3] = PathOf("new");
  v.presetPathEdited[3] = true;
  SavePreferenceValues(v, p);
  EXPECT_EQ(p.brushFile, "/media/off/brush.pmt");
  EXPECT_EQ(p.CursorFile, "/media/off/c.cur");
  EXPECT_EQ(p.gradFile2, PathOf("new.tgs"));
}

TEST_F(PreferenceValuesTest, BitsListsAndEnabling) {
  CAppProfile p;
  p.AutoSizeAdjust = 6;
  p.FileIODir = 3;
  p.psdSaveVer = 5;
  SPreferenceValues v;
  LoadPreferenceValues(p, v);
  EXPECT_FALSE(v.autoSize);
  EXPECT_TRUE(v.autoSizeOnlyEvent && v.autoSizeOnlyZoomOut && v.separatePaths && v.filePathFirst);
  EXPECT_EQ(v.psdItem, 1);
  v.autoSize = true;
  v.autoSizeOnlyZoomOut = false;
  v.filePathFirst = false;
  v.saveConfirm = false;
  SavePreferenceValues(v, p);
  EXPECT_EQ(p.AutoSizeAdjust, 3);
  EXPECT_EQ(p.FileIODir, 2);
  EXPECT_TRUE(p.silentFileIO);

  SPreferenceValues e;
  e.drawCursorFine = true;
  e.brushGhost = false;
  e.autoSize = false;
  e.useLastFile = true;
  auto en = PreferenceEnabling(e);
  EXPECT_FALSE(en.cursorPath || en.ghostCenter || en.autoSizeOptions || en.presetGroups);
  e.drawCursorFine = false, e.brushGhost = true, e.autoSize = true, e.useLastFile = false;
  en = PreferenceEnabling(e);
  EXPECT_TRUE(en.cursorPath && en.ghostCenter && en.autoSizeOptions && en.presetGroups);
}

TEST_F(PreferenceValuesTest, DocumentApplyFailsLoudlyUntilTheWindowRegisters) {
  std::string out;
  auto old = SetDebugSink([&](std::string_view t) { out += t; });
  auto saved = SetDocumentPreferencesApplier(nullptr);
  MainFormChild* none = nullptr;
  EXPECT_FALSE(ApplyDocumentPreferences(none));
  EXPECT_NE(out.find("document window is not built"), std::string::npos);
  int calls = 0;
  SetDocumentPreferencesApplier([&](MainFormChild*) { return ++calls, true; });
  EXPECT_TRUE(ApplyDocumentPreferences(none));
  EXPECT_EQ(calls, 1);
  SetDocumentPreferencesApplier(saved);
  SetDebugSink(old);
}

}  // namespace
}  // namespace tf
