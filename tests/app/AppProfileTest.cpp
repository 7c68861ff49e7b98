#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/AppProfile.h"
#include "platform/Registry.h"
#include "platform/Screen.h"

namespace tf {
namespace {

namespace fs = std::filesystem;

// One registry value: dwords (integers and booleans), strings, or floats (8-byte doubles).
struct KeyCase {
  std::string section;
  std::string name;
  RegValueKind kind;
  int32_t dword = 0;
  std::string text;
  double number = 0;
};

KeyCase Dw(const char* section, std::string name, int32_t v) {
  return {section, std::move(name), RegValueKind::kDword, v, "", 0};
}
KeyCase Str(const char* section, std::string name, std::string v) {
  return {section, std::move(name), RegValueKind::kString, 0, std::move(v), 0};
}
KeyCase Dbl(const char* section, std::string name, double v) {
  return {section, std::move(name), RegValueKind::kBinary, 0, "", v};
}

std::string Fmt(const char* format, int i) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, i);
  return buffer;
}

// Every key of the six sections with a value in range and unlike its default.
std::vector<KeyCase> AllKeys() {
  const char* io = "fileIO";
  const char* cf = "config";
  const char* wn = "window";
  std::vector<KeyCase> k = {
      Str(io, "loadPath", "/home/u/\x93\xfa\x96\x7b/"),
      Str(io, "savePath", "/save/"),
      Str(io, "eventPath", "/events/"),
      Str(io, "palPath", "/p/pal"),
      Str(io, "tonePath", "/p/tone"),
      Str(io, "gradPath2", "/p/grad"),
      Str(io, "penPath", "/p/pen"),
      Str(io, "palFile", "a.tpl"),
      Str(io, "toneFile", "b.tts"),
      Str(io, "gradFile2", "c.tgs"),
      Str(io, "nibFile", "d.psh"),
      Str(io, "brushFile", "e.pmt"),
      Dw(io, "FileIODir", 3),
      Dw(io, "pictLoadExtIdx", 4),
      Dw(io, "eventLoadExtIdx", 2),
      Dw(io, "silentFileIO", 1),
      Dw(io, "jpegUseProgressive", 1),
      Dw(io, "jpegUseSmooth", 1),
      Dw(io, "jpegValSmooth", 30),
      Dw(io, "jpegQType", 3),
      Dw(io, "jpegQuality", 85),
      Dw(io, "jpegQVHigh", 99),
      Dw(io, "jpegQHigh", 88),
      Dw(io, "jpegQStd", 70),
      Dw(io, "jpegQLow", 40),
      Dw(io, "psdSaveVer", 5),
      Dw(io, "psdSaveFlags", 0x12),

      Dw(cf, "appVerID", 20),
      Dw(cf, "lastCP", 1252),
      Dw(cf, "lastLCID", 0x407),
      Dw(cf, "gridW", 16),
      Dw(cf, "gridH", 24),
      Dw(cf, "undoMax", 30),
      Dw(cf, "fillLimit", 40),
      Dw(cf, "wandLimit", 50),
      Dw(cf, "fillTarget", 1),
      Dw(cf, "wandTarget", 1),
      Dw(cf, "fillAntiAlias", 1),
      Dw(cf, "wandAntiAlias", 1),
      Dw(cf, "gradType", 2),
      Dw(cf, "gradMap", 1),
      Dw(cf, "gradRep", 1),
      Dw(cf, "gradRepCnt", 7),
      Dw(cf, "ignoreTablet", 1),
      Dw(cf, "eventWait", 16),
      Dw(cf, "tabletType", 1),
      Dw(cf, "rgbPalBarFixed", 0),
      Dw(cf, "useRBtnColPicker", 0),
      Dw(cf, "useAutoScroll", 1),
      Dw(cf, "useFilePreview", 0),
      Dw(cf, "useZoomAntialias", 0),
      Dw(cf, "showScrollBar", 1),
      Dw(cf, "titleFullpath", 1),
      Dw(cf, "mouseMBtnFunc", 7),
      Dbl(cf, "opaquePaint", 0.5),
      Dbl(cf, "opaqueAreaFill", 0.25),
      Dbl(cf, "opaqueSeedFill", 0.75),
      Dbl(cf, "opaqueGradate", 0.125),
      Dbl(cf, "opaqueDraw", 0.375),
      Dbl(cf, "opaqueLine", 0.625),
      Dbl(cf, "opaqueFont", 0.875),
      Dw(cf, "DrawToolMode", 1),
      Dw(cf, "AutoFreeHand", 1),
      Dw(cf, "ShortcutMode", 1),
      Dw(cf, "UseLastFile", 0),
      Dw(cf, "PresetSaveAsQuit", 2),
      Dw(cf, "GridColor", 0x40FF0000),
      Dw(cf, "DrawToolAutoSave", 1),
      Dw(cf, "DrawToolCursor", 1),
      Dw(cf, "OtherToolCursor", 1),
      Str(cf, "CursorFile", "/c.cur"),
      Dw(cf, "BrushGhost", 1),
      Dw(cf, "ShowGhostCenter", 0),
      Dw(cf, "UseGrabCtrl", 0),
      Dw(cf, "CellExchange", 1),
      Dw(cf, "AutoSizeAdjust", 5),
      Dw(cf, "PlayAntiOff", 0),
      Dw(cf, "ForceDispParam", 1),
      Dw(cf, "RotZoomDblClk", 0),
      Dw(cf, "RotGrabDblClk", 0),
      Dw(cf, "UseVertSlider", 0),
      Dw(cf, "ToolFindNext", 0),
      Dw(cf, "ToolSubMode", 0x22),

      Dw("color", "fgCol", 0x00123456),
      Dw("color", "bgCol", 0x00ABCDEF),
  };
  for (int i = 0; i < kPaperPresetCount; ++i) {
    k.push_back(Dw("paper", Fmt("unit%d", i), i % 3 + 1));
    k.push_back(Dw("paper", Fmt("dpi%d", i), 100 + i));
    k.push_back(Dbl("paper", Fmt("w%d", i), 100.5 + i));
    k.push_back(Dbl("paper", Fmt("h%d", i), 200.25 + i));
    k.push_back(Dw("paper", Fmt("transparent%d", i), 1));
  }
  for (auto [name, value] : std::vector<std::pair<const char*, int32_t>>{{"mainWinX", 10},
                                                                         {"mainWinY", 20},
                                                                         {"mainWinW", 800},
                                                                         {"mainWinH", 600},
                                                                         {"mainWinMax", 0},
                                                                         {"childWinMax", 1},
                                                                         {"fontDlgX", 30},
                                                                         {"fontDlgY", 40},
                                                                         {"fontDlgW", 392},
                                                                         {"fontDlgH", 290},
                                                                         {"FloatFormCount", 2}}) {
    k.push_back(Dw(wn, name, value));
  }
  // Two float forms with two and one columns: column records 0, 1 and 2.
  const int panes[] = {2, 1};
  int pane = 0;
  for (int i = 0; i < 2; ++i) {
    k.push_back(Dw(wn, Fmt("FloatForm%dPaneCount", i), panes[i]));
    k.push_back(Dw(wn, Fmt("FloatForm%dVisible", i), 0));
    k.push_back(Dw(wn, Fmt("FloatForm%dX", i), 100 + i));
    k.push_back(Dw(wn, Fmt("FloatForm%dY", i), 110 + i));
    k.push_back(Dw(wn, Fmt("FloatForm%dWidth", i), 120 + i));
    k.push_back(Dw(wn, Fmt("FloatForm%dHeight", i), 130 + i));
    for (int j = 0; j < panes[i]; ++j, ++pane) {
      k.push_back(Dw(wn, Fmt("FloatPane%dParentForm", pane), i));
      k.push_back(Dw(wn, Fmt("FloatPane%dPaneIndex", pane), j));
      k.push_back(Dw(wn, Fmt("FloatPane%dActiveView", pane), pane + 1));
      k.push_back(Dw(wn, Fmt("FloatPane%dViewCount", pane), pane + 2));
      k.push_back(Dw(wn, Fmt("FloatPane%dCollapse", pane), 1));
    }
  }
  for (auto [name, value] : std::vector<std::pair<const char*, int32_t>>{{"ToolFormVisible", 0},
                                                                         {"ToolFormX", 5},
                                                                         {"ToolFormY", 6},
                                                                         {"ToolFormWidth", 200},
                                                                         {"ToolFormHeight", 500}}) {
    k.push_back(Dw(wn, name, value));
  }
  for (int i = 0; i < kDockViewCount; ++i) {
    std::string view = kDockViewNames[i];
    k.push_back(Dw(wn, view + "ParentForm", i % 2));
    k.push_back(Dw(wn, view + "ParentPane", i % 3));
    k.push_back(Dw(wn, view + "ViewIndex", i % 4));
    k.push_back(Dw(wn, view + "Width", 100 + i));
    k.push_back(Dw(wn, view + "Height", 50 + i));
    k.push_back(Dw(wn, view + "Visible", 0));
  }
  int32_t n = 0;
  for (const char* name :
       {"NavigatorContains", "PreviewCounterRotate", "OptionListDblClick", "ColorSampler",
        "SwathListType",     "BrushListType",        "LayerListType",      "MaskListType",
        "EventCapacity",     "LoupeMagnification",   "LoupeCenter",        "LoupeStroking",
        "PopBrushListWidth", "PopBrushListHeight",   "PopPenNibListWidth", "PopPenNibListHeight",
        "PopGradListWidth",  "PopGradListHeight",    "PopToneListWidth",   "PopToneListHeight",
        "PopBrushListType",  "PopPenNibListType",    "PopGradListType",    "PopToneListType",
        "PopGradPrevType",   "PopTonePrevType",      "EdtBrushListType",   "EdtPenNibListType",
        "EdtGradListType",   "EdtToneListType"}) {
    std::string s = name;
    int32_t value = 300 + n++;
    if (s == "PreviewCounterRotate" || s == "OptionListDblClick") value = 1;
    if (s == "LoupeCenter") value = 0;
    if (s == "EventCapacity") value = 20;
    if (s == "LoupeMagnification") value = 4;
    if (s == "LoupeStroking") value = 0;
    if (s == "NavigatorContains") value = 0x00400050;
    if (s == "ColorSampler") value = 0x20001;
    k.push_back(Dw(wn, s, value));
  }
  const char* ft = "font";
  for (KeyCase c : {Str(ft, "face", "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e"), Dw(ft, "point", 12),
                    Dw(ft, "charset", 128), Dw(ft, "italic", 1), Dw(ft, "bold", 1), Dw(ft, "vertical", 1),
                    Dw(ft, "underline", 1), Dw(ft, "strikeout", 1), Dw(ft, "spacing", -3), Dw(ft, "leading", 5),
                    Dw(ft, "useFont", 0), Dw(ft, "usePreview", 0)}) {
    k.push_back(c);
  }
  return k;
}

void WriteCase(CRegistry& store, const KeyCase& c) {
  std::string path = CAppProfile::SectionPath(c.section);
  store.CreateKey(path);
  switch (c.kind) {
    case RegValueKind::kDword: ASSERT_TRUE(store.WriteDword(path, c.name, c.dword)); break;
    case RegValueKind::kString: ASSERT_TRUE(store.WriteString(path, c.name, c.text)); break;
    default: ASSERT_TRUE(store.WriteDouble(path, c.name, c.number)); break;
  }
}

class AppProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tf-profile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    temp_ = pattern;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "TMPDIR"}) {
      const char* old = std::getenv(name);
      saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    }
    setenv("XDG_CONFIG_HOME", (temp_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (temp_ + "/data").c_str(), 1);
    setenv("TMPDIR", (temp_ + "/tmp").c_str(), 1);
    CRegistry::ResetInstance();
    folder_ = CRegistry::DefaultFolder();
    store_ = std::make_unique<CRegistry>(folder_);
    screen_.width = 1280;
    screen_.height = 1024;
    previousScreen_ = SetScreenHost(&screen_);
    previousProbe_ = CAppProfile::SetSpeedProbe([](int32_t, double* f) { *f = 2e9; });
  }
  void TearDown() override {
    CAppProfile::SetSpeedProbe(previousProbe_);
    SetScreenHost(previousScreen_);
    store_.reset();
    CRegistry::ResetInstance();
    ResetAppProfile();
    for (auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    std::error_code ec;
    fs::remove_all(temp_, ec);
  }
  // A store over a folder of its own.
  std::unique_ptr<CRegistry> OtherStore(const std::string& name) {
    return std::make_unique<CRegistry>(temp_ + "/" + name);
  }
  // Writes one value into the test store, then loads a profile from it.
  CAppProfile LoadWith(const std::vector<KeyCase>& cases) {
    for (const KeyCase& c : cases) WriteCase(*store_, c);
    CAppProfile p(store_.get());
    p.LoadAll();
    return p;
  }

  std::string temp_;
  std::string folder_;
  std::unique_ptr<CRegistry> store_;
  HeadlessScreenHost screen_;
  ScreenHost* previousScreen_ = nullptr;
  CAppProfile::SpeedProbe previousProbe_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(AppProfileTest, EveryKeyRoundTripsThroughTheStore) {
  const std::vector<KeyCase> cases = AllKeys();
  {
    CRegistry source(folder_);
    for (const KeyCase& c : cases) WriteCase(source, c);
    ASSERT_TRUE(source.Save());
  }
  ASSERT_TRUE(store_->Load());
  CAppProfile p(store_.get());
  ASSERT_TRUE(p.LoadAll());

  auto target = OtherStore("target");
  p.SetRegistry(target.get());
  ASSERT_TRUE(p.SaveAll());
  CRegistry written(target->Folder());
  ASSERT_TRUE(written.Load());

  std::map<std::string, std::set<std::string>> expectedNames;
  expectedNames["fileIO"].insert("appPath");
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.section + "\\" + c.name);
    expectedNames[c.section].insert(c.name);
    std::string path = CAppProfile::SectionPath(c.section);
    ASSERT_EQ(written.ValueKind(path, c.name), c.kind);
    if (c.kind == RegValueKind::kDword) {
      int32_t v = 0;
      written.ReadDword(path, c.name, v);
      if (c.name == "lastCP") {
        EXPECT_EQ(v, 932);  // the current code page, not the loaded one
      } else if (c.name == "lastLCID") {
        EXPECT_EQ(v, p.userLocale);
      } else {
        EXPECT_EQ(v, c.dword);
      }
    } else if (c.kind == RegValueKind::kString) {
      std::string v;
      written.ReadString(path, c.name, v);
      EXPECT_EQ(v, c.text);
    } else {
      double v = 0;
      written.ReadDouble(path, c.name, v);
      EXPECT_EQ(v, c.number);
    }
  }
  // Nothing else is written, and every section is there.
  for (const auto& [section, names] : expectedNames) {
    std::vector<std::string> got = written.ValueNames(CAppProfile::SectionPath(section));
    EXPECT_EQ(std::set<std::string>(got.begin(), got.end()), names) << section;
    EXPECT_EQ(got.size(), names.size()) << section;
  }
  std::string appPath;
  EXPECT_TRUE(written.ReadString(CAppProfile::SectionPath("fileIO"), "appPath", appPath));
  EXPECT_EQ(appPath, p.programFolder);
}

TEST_F(AppProfileTest, LoadedValuesLandInTheirFields) {
  CAppProfile p = LoadWith(AllKeys());
  EXPECT_EQ(p.loadPath, "/home/u/\x93\xfa\x96\x7b/");
  EXPECT_EQ(p.brushFile, "e.pmt");
  EXPECT_EQ(p.jpegQStd, 70);
  EXPECT_EQ(p.psdSaveVer, 5);
  EXPECT_TRUE(p.jpegUseSmooth);
  EXPECT_EQ(p.lastCP, 1252);
  EXPECT_EQ(p.lastLCID, 0x407);
  EXPECT_EQ(p.undoMax, 30);
  EXPECT_EQ(p.gridH, 24);
  EXPECT_FALSE(p.useZoomAntialias);
  EXPECT_EQ(p.opaqueFont, 0.875f);
  EXPECT_EQ(p.opaqueSeedFill, 0.75f);
  EXPECT_EQ(p.GridColor, 0x40FF0000u);
  EXPECT_EQ(p.CursorFile, "/c.cur");
  EXPECT_EQ(p.ToolSubMode, 0x22);
  EXPECT_EQ(p.fgCol, 0x00123456u);
  EXPECT_EQ(p.bgCol, 0x00ABCDEFu);
  EXPECT_EQ(p.paper[5].unit, 3);
  EXPECT_EQ(p.paper[5].dpi, 105);
  EXPECT_EQ(p.paper[5].w, 105.5f);
  EXPECT_EQ(p.paper[2].h, 202.25f);
  EXPECT_TRUE(p.paper[0].transparent);
  EXPECT_EQ(p.mainWinW, 800);
  EXPECT_FALSE(p.mainWinMax);
  EXPECT_EQ(p.fontDlgH, 290);
  EXPECT_EQ(p.FloatFormCount, 2);
  EXPECT_EQ(p.floatForms[1].PaneCount, 1);
  EXPECT_EQ(p.floatForms[1].X, 101);
  EXPECT_FALSE(p.floatForms[0].Visible);
  EXPECT_EQ(p.floatPanes[2].ParentForm, 1);
  EXPECT_EQ(p.floatPanes[2].ViewCount, 4);
  EXPECT_EQ(p.floatPanes[1].PaneIndex, 1);
  EXPECT_TRUE(p.floatPanes[0].Collapse);
  EXPECT_EQ(p.FloatPaneTotal(), 3);
  EXPECT_EQ(p.ToolFormHeight, 500);
  EXPECT_EQ(p.views[9].Height, 59);
  EXPECT_EQ(p.views[3].ParentForm, 1);
  EXPECT_FALSE(p.views[0].Visible);
  EXPECT_EQ(p.NavigatorContains, 0x00400050);
  EXPECT_EQ(p.EventCapacity, 20);
  EXPECT_EQ(p.EdtToneListType, 329);
  EXPECT_EQ(p.font.face, "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e");
  EXPECT_EQ(p.font.charset, 128);
  EXPECT_EQ(p.font.spacing, -3);
  EXPECT_TRUE(p.font.strikeout);
  EXPECT_FALSE(p.font.usePreview);
}

TEST_F(AppProfileTest, FirstStartRunsWithDefaultsAndCreatesEverySection) {
  CAppProfile p(store_.get());
  ASSERT_TRUE(p.LoadAll());
  for (const char* section : {"fileIO", "config", "color", "paper", "window", "font"}) {
    EXPECT_TRUE(store_->KeyExists(CAppProfile::SectionPath(section))) << section;
  }
  const std::string preset = p.programFolder + "preset";
  EXPECT_EQ(p.loadPath, p.programFolder);
  EXPECT_EQ(p.eventPath, p.programFolder);
  EXPECT_EQ(p.penPath, preset);
  EXPECT_EQ(p.gradPath2, preset);
  EXPECT_EQ(p.nibFile, "");
  EXPECT_EQ(p.FileIODir, 1);
  EXPECT_EQ(p.pictLoadExtIdx, 1);
  EXPECT_EQ(p.jpegQType, 1);
  EXPECT_EQ(p.jpegQuality, 90);
  EXPECT_EQ(p.jpegQVHigh, 100);
  EXPECT_EQ(p.jpegQLow, 50);
  EXPECT_EQ(p.psdSaveVer, 6);
  EXPECT_EQ(p.appVerID, 0);  // missing: 0, not the read's default 20
  EXPECT_EQ(p.lastCP, 932);
  EXPECT_EQ(p.lastLCID, p.userLocale);
  EXPECT_EQ(p.gridW, 32);
  EXPECT_EQ(p.undoMax, 8);
  EXPECT_EQ(p.fillLimit, 20);
  EXPECT_EQ(p.gradRepCnt, 1);
  EXPECT_TRUE(p.rgbPalBarFixed);
  EXPECT_TRUE(p.useRBtnColPicker);
  EXPECT_TRUE(p.useFilePreview);
  EXPECT_TRUE(p.useZoomAntialias);  // the probe says 2e9
  EXPECT_FALSE(p.showScrollBar);
  EXPECT_EQ(p.opaquePaint, 1.0f);
  EXPECT_EQ(p.opaqueGradate, 1.0f);
  EXPECT_TRUE(p.UseLastFile);
  EXPECT_EQ(p.GridColor, 0x80000000u);
  EXPECT_TRUE(p.ShowGhostCenter);
  EXPECT_TRUE(p.UseGrabCtrl);
  EXPECT_EQ(p.AutoSizeAdjust, 7);
  EXPECT_TRUE(p.PlayAntiOff);
  EXPECT_TRUE(p.RotZoomDblClk);
  EXPECT_TRUE(p.RotGrabDblClk);
  EXPECT_TRUE(p.UseVertSlider);
  EXPECT_TRUE(p.ToolFindNext);
  EXPECT_EQ(p.fgCol, 0u);
  EXPECT_EQ(p.bgCol, 0xFFFFFFu);
  for (const SPaperPreset& preset : p.paper) {
    EXPECT_EQ(preset.unit, 0);
    EXPECT_EQ(preset.dpi, 72);
    EXPECT_EQ(preset.w, 640.0f);
    EXPECT_EQ(preset.h, 480.0f);
    EXPECT_FALSE(preset.transparent);
  }
  EXPECT_EQ(p.mainWinX, -1);
  EXPECT_EQ(p.mainWinW, -1);
  EXPECT_TRUE(p.mainWinMax);
  EXPECT_FALSE(p.childWinMax);
  EXPECT_EQ(p.fontDlgW, -1);
  EXPECT_EQ(p.FloatFormCount, 0);
  EXPECT_EQ(p.FloatPaneTotal(), 0);
  EXPECT_EQ(p.floatPanes[0].ParentForm, -1);
  EXPECT_TRUE(p.ToolFormVisible);
  EXPECT_EQ(p.ToolFormX, -1);
  for (const SViewLayout& view : p.views) {
    EXPECT_EQ(view.ParentForm, -1);
    EXPECT_EQ(view.ViewIndex, -1);
    EXPECT_EQ(view.Height, -1);
    EXPECT_TRUE(view.Visible);
  }
  EXPECT_EQ(p.NavigatorContains, -1);
  EXPECT_EQ(p.ColorSampler, 3);
  EXPECT_EQ(p.EventCapacity, -1);
  EXPECT_EQ(p.LoupeMagnification, 2);
  EXPECT_TRUE(p.LoupeCenter);
  EXPECT_EQ(p.LoupeStroking, 1);
  EXPECT_EQ(p.PopToneListHeight, -1);
  EXPECT_EQ(p.EdtGradListType, -1);
  EXPECT_EQ(p.font.face, "");
  EXPECT_EQ(p.font.point, 0);
  EXPECT_EQ(p.font.charset, -1);
  EXPECT_FALSE(p.font.bold);
  EXPECT_TRUE(p.font.useFont);
  EXPECT_TRUE(p.font.usePreview);
  EXPECT_TRUE(p.EnbLabelDrag);
  EXPECT_TRUE(p.EnbLabelDblClk);

  // The exit writes every key into the file.
  ASSERT_TRUE(p.SaveAll());
  CRegistry written(folder_);
  ASSERT_TRUE(written.Load());
  std::map<std::string, size_t> count;
  for (const KeyCase& c : AllKeys()) ++count[c.section];
  count["fileIO"] += 1;              // appPath
  count["window"] -= 2 * 6 + 3 * 5;  // no float-form records: only FloatFormCount
  for (const auto& [section, n] : count) {
    EXPECT_EQ(written.ValueNames(CAppProfile::SectionPath(section)).size(), n) << section;
  }
}

TEST_F(AppProfileTest, SlowProcessorLeavesSmoothZoomOffByDefault) {
  CAppProfile::SetSpeedProbe([](int32_t iterations, double* f) {
    EXPECT_EQ(iterations, 100);
    *f = 5e8;
  });
  CAppProfile p(store_.get());
  p.LoadAll();
  EXPECT_EQ(p.processorSpeed, 5e8);
  EXPECT_FALSE(p.useZoomAntialias);
}

TEST_F(AppProfileTest, ValueOfTheWrongKindReadsAsMissing) {
  CAppProfile p = LoadWith({
      Str("config", "gridW", "64"),
      Dw("fileIO", "loadPath", 5),
      Dw("config", "opaquePaint", 0),
      Str("window", "mainWinMax", "0"),
      Dw("paper", "w0", 100),
      Str("window", "FloatFormCount", "3"),
      Str("config", "appVerID", "10"),
  });
  EXPECT_EQ(p.gridW, 32);
  EXPECT_EQ(p.loadPath, p.programFolder);
  EXPECT_EQ(p.opaquePaint, 1.0f);
  EXPECT_TRUE(p.mainWinMax);
  EXPECT_EQ(p.paper[0].w, 640.0f);
  EXPECT_EQ(p.FloatFormCount, 0);
  EXPECT_EQ(p.appVerID, 0);
  // A 4-byte binary is no float here.
  uint8_t single[4] = {0, 0, 0, 0x3f};
  store_->WriteBinary(CAppProfile::SectionPath("config"), "opaqueLine", single, 4);
  p.LoadConfig();
  EXPECT_EQ(p.opaqueLine, 1.0f);
}

// A value stored out of range and what the field receives.
struct RangeCase {
  KeyCase stored;
  std::function<double(const CAppProfile&)> field;
  double expected;
};

TEST_F(AppProfileTest, ValuesAreRangeCheckedOnLoad) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<RangeCase> cases = {
      // The clamps of the settings themselves.
      {Dw("fileIO", "jpegQType", 9), [](auto& p) { return p.jpegQType; }, 4},
      {Dw("fileIO", "psdSaveVer", 2), [](auto& p) { return p.psdSaveVer; }, 3},
      {Dw("fileIO", "psdSaveVer", 8), [](auto& p) { return p.psdSaveVer; }, 7},
      {Dw("fileIO", "jpegQuality", -5), [](auto& p) { return p.jpegQuality; }, 0},
      {Dw("fileIO", "jpegQLow", 101), [](auto& p) { return p.jpegQLow; }, 100},
      {Dw("fileIO", "jpegValSmooth", 500), [](auto& p) { return p.jpegValSmooth; }, 100},
      {Dw("config", "mouseMBtnFunc", 11), [](auto& p) { return p.mouseMBtnFunc; }, 10},
      {Dw("window", "mainWinW", 50), [](auto& p) { return p.mainWinW; }, 200},
      {Dw("window", "mainWinW", -1), [](auto& p) { return p.mainWinW; }, -1},
      {Dw("window", "mainWinW", 5000), [](auto& p) { return p.mainWinW; }, 1280},
      {Dw("window", "mainWinH", 0), [](auto& p) { return p.mainWinH; }, 200},
      {Dw("window", "mainWinH", 1500), [](auto& p) { return p.mainWinH; }, 1024},
      // Checks of values used as sizes, counts, indexes and divisors.
      {Dw("config", "undoMax", 0), [](auto& p) { return p.undoMax; }, 1},
      {Dw("config", "undoMax", 1000000), [](auto& p) { return p.undoMax; }, 50},
      {Dw("config", "gridW", 0), [](auto& p) { return p.gridW; }, 2},
      {Dw("config", "gridH", -40), [](auto& p) { return p.gridH; }, 2},
      {Dw("config", "gradRepCnt", 0), [](auto& p) { return p.gradRepCnt; }, 1},
      {Dw("config", "gradType", 3), [](auto& p) { return p.gradType; }, 0},
      // A scheme other than 0 and 1 is a scheme of its own (only replace and add): kept.
      {Dw("config", "ShortcutMode", 5), [](auto& p) { return p.ShortcutMode; }, 5},
      {Dw("config", "PresetSaveAsQuit", -1), [](auto& p) { return p.PresetSaveAsQuit; }, 0},
      {Dw("config", "tabletType", 2), [](auto& p) { return p.tabletType; }, 0},
      {Dw("config", "eventWait", -5), [](auto& p) { return p.eventWait; }, 0},
      {Dbl("config", "opaquePaint", 3.0), [](auto& p) { return p.opaquePaint; }, 1.0},
      {Dbl("config", "opaqueLine", -0.5), [](auto& p) { return p.opaqueLine; }, 0.0},
      {Dbl("config", "opaqueFont", nan), [](auto& p) { return p.opaqueFont; }, 1.0},
      {Dbl("config", "opaqueDraw", 1e300), [](auto& p) { return p.opaqueDraw; }, 1.0},
      {Dw("fileIO", "pictLoadExtIdx", 0), [](auto& p) { return p.pictLoadExtIdx; }, 1},
      {Dw("paper", "dpi0", 0), [](auto& p) { return p.paper[0].dpi; }, 72},
      {Dw("paper", "dpi1", 100000), [](auto& p) { return p.paper[1].dpi; }, 600},
      {Dw("paper", "unit2", 9), [](auto& p) { return p.paper[2].unit; }, 0},
      {Dw("paper", "unit3", -1), [](auto& p) { return p.paper[3].unit; }, 0},
      {Dbl("paper", "w4", nan), [](auto& p) { return p.paper[4].w; }, 640},
      {Dbl("paper", "w5", -3), [](auto& p) { return p.paper[5].w; }, 640},
      {Dbl("paper", "h0", inf), [](auto& p) { return p.paper[0].h; }, 480},
      {Dbl("paper", "h1", 0), [](auto& p) { return p.paper[1].h; }, 480},
      {Dw("window", "mainWinX", 99999), [](auto& p) { return p.mainWinX; }, -1},
      {Dw("window", "mainWinY", -5), [](auto& p) { return p.mainWinY; }, -5},
      {Dw("window", "ToolFormWidth", 1 << 20), [](auto& p) { return p.ToolFormWidth; }, -1},
      {Dw("window", "OptionViewParentForm", 40), [](auto& p) { return p.views[0].ParentForm; }, -1},
      {Dw("window", "EventViewViewIndex", -7), [](auto& p) { return p.views[9].ViewIndex; }, -1},
      {Dw("window", "LayerViewParentPane", 16), [](auto& p) { return p.views[7].ParentPane; }, -1},
      {Dw("window", "MaskViewHeight", 70000), [](auto& p) { return p.views[8].Height; }, -1},
      {Dw("window", "EventCapacity", 1000000), [](auto& p) { return p.EventCapacity; }, 50},
      {Dw("window", "EventCapacity", -9), [](auto& p) { return p.EventCapacity; }, -1},
      {Dw("window", "LoupeMagnification", 100), [](auto& p) { return p.LoupeMagnification; }, 8},
      {Dw("window", "PopGradListWidth", -50000), [](auto& p) { return p.PopGradListWidth; }, -1},
      // Picker kind (bits 16 to 23) indexes the four picker buttons, the colour space (bits 0
      // to 7) the nine spaces: a value naming neither reads as the default.
      {Dw("window", "ColorSampler", 0x30008), [](auto& p) { return p.ColorSampler; }, 0x30008},
      {Dw("window", "ColorSampler", 0x40000), [](auto& p) { return p.ColorSampler; }, 3},
      {Dw("window", "ColorSampler", 0xFF0001), [](auto& p) { return p.ColorSampler; }, 3},
      {Dw("window", "ColorSampler", 0x10009), [](auto& p) { return p.ColorSampler; }, 3},
      {Dw("window", "ColorSampler", -1), [](auto& p) { return p.ColorSampler; }, 3},
      {Dw("font", "point", 5000), [](auto& p) { return p.font.point; }, 999},
      {Dw("font", "charset", 300), [](auto& p) { return p.font.charset; }, -1},
      {Dw("font", "spacing", -5000), [](auto& p) { return p.font.spacing; }, -999},
      {Dw("font", "leading", 5000), [](auto& p) { return p.font.leading; }, 999},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.stored.name);
    CRegistry store(temp_ + "/range");
    WriteCase(store, c.stored);
    CAppProfile p(&store);
    p.LoadAll();
    EXPECT_EQ(c.field(p), c.expected);
  }
}

TEST_F(AppProfileTest, OverlongStringsReadAsMissing) {
  CAppProfile p =
      LoadWith({Str("fileIO", "savePath", std::string(5000, 'a')), Str("font", "face", std::string(4096, 'f'))});
  EXPECT_EQ(p.savePath, p.programFolder);
  EXPECT_EQ(p.font.face.size(), 4096u);
}

TEST_F(AppProfileTest, AppVerIdAndLastCodePage) {
  CAppProfile p = LoadWith({Dw("config", "appVerID", 10), Dw("config", "lastCP", 949)});
  EXPECT_EQ(p.appVerID, 10);  // migrated later by the main window
  EXPECT_EQ(p.lastCP, 949);
  p.appVerID = 20;
  ASSERT_TRUE(p.SaveAll());
  int32_t v = 0;
  EXPECT_TRUE(store_->ReadDword(CAppProfile::SectionPath("config"), "appVerID", v));
  EXPECT_EQ(v, 20);
  EXPECT_TRUE(store_->ReadDword(CAppProfile::SectionPath("config"), "lastCP", v));
  EXPECT_EQ(v, 932);
}

TEST_F(AppProfileTest, MissingFloatFormIsSkippedAndLaterFormsKeepTheirPlaces) {
  const char* w = "window";
  CAppProfile p = LoadWith({
      Dw(w, "FloatFormCount", 3),
      // form 0 has no pane count: skipped, uses no column records
      Dw(w, "FloatForm0X", 77),
      Dw(w, "FloatForm1PaneCount", 2),
      Dw(w, "FloatForm1X", 11),
      Dw(w, "FloatForm2PaneCount", 1),
      Dw(w, "FloatForm2X", 22),
      Dw(w, "FloatPane0ParentForm", 1),
      Dw(w, "FloatPane1ParentForm", 1),
      Dw(w, "FloatPane1PaneIndex", 1),
      Dw(w, "FloatPane2ParentForm", 2),
  });
  EXPECT_EQ(p.FloatFormCount, 3);
  EXPECT_EQ(p.floatForms[0].PaneCount, 0);
  EXPECT_EQ(p.floatForms[0].X, 0);
  EXPECT_EQ(p.floatForms[1].PaneCount, 2);
  EXPECT_EQ(p.floatForms[1].X, 11);
  EXPECT_EQ(p.floatForms[2].X, 22);
  EXPECT_EQ(p.floatPanes[0].ParentForm, 1);
  EXPECT_EQ(p.floatPanes[1].PaneIndex, 1);
  EXPECT_EQ(p.floatPanes[2].ParentForm, 2);
  EXPECT_EQ(p.floatPanes[3].ParentForm, -1);
  EXPECT_EQ(p.FloatPaneTotal(), 3);

  // Saved and read again, form 2 stays form 2.
  auto target = OtherStore("again");
  p.SetRegistry(target.get());
  ASSERT_TRUE(p.SaveAll());
  CAppProfile q(target.get());
  q.LoadAll();
  EXPECT_EQ(q.FloatFormCount, 3);
  EXPECT_EQ(q.floatForms[0].PaneCount, 0);
  EXPECT_EQ(q.floatForms[2].X, 22);
  EXPECT_EQ(q.floatForms[2].PaneCount, 1);
  EXPECT_EQ(q.floatPanes[2].ParentForm, 2);
}

TEST_F(AppProfileTest, FloatFormAndPaneCountsFromTheFileAreBounded) {
  const char* w = "window";
  std::vector<KeyCase> cases = {Dw(w, "FloatFormCount", 40)};
  for (int i = 0; i < 40; ++i) {
    cases.push_back(Dw(w, Fmt("FloatForm%dPaneCount", i), i == 1 ? -4 : 3));
    cases.push_back(Dw(w, Fmt("FloatForm%dY", i), i));
  }
  for (int n = 0; n < 40; ++n) cases.push_back(Dw(w, Fmt("FloatPane%dViewCount", n), n % 10));
  CAppProfile p = LoadWith(cases);
  EXPECT_EQ(p.FloatFormCount, 16);
  EXPECT_EQ(p.floatForms[0].PaneCount, 3);
  EXPECT_EQ(p.floatForms[1].PaneCount, 0);  // negative
  EXPECT_EQ(p.floatForms[1].Y, 1);
  // Forms 0, 2, 3, 4, 5 take 15 column records; form 6 gets the last one.
  EXPECT_EQ(p.floatForms[5].PaneCount, 3);
  EXPECT_EQ(p.floatForms[6].PaneCount, 1);
  EXPECT_EQ(p.floatForms[7].PaneCount, 0);
  EXPECT_EQ(p.floatForms[15].Y, 15);
  EXPECT_EQ(p.FloatPaneTotal(), 16);
  EXPECT_EQ(p.floatPanes[15].ViewCount, 5);

  // What the saver writes fits the same bounds, also after the fields were set out of range.
  p.FloatFormCount = 99;
  p.floatForms[7].PaneCount = 50;
  ASSERT_TRUE(p.SaveWindow());
  const std::string path = CAppProfile::SectionPath(w);
  int32_t v = 0;
  EXPECT_TRUE(store_->ReadDword(path, "FloatFormCount", v));
  EXPECT_EQ(v, 16);
  EXPECT_TRUE(store_->ReadDword(path, "FloatForm7PaneCount", v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(store_->ReadDword(path, "FloatPane15ViewCount", v));
  EXPECT_EQ(v, 5);
  // Records past the sixteenth are neither read nor written (nor deleted).
  EXPECT_TRUE(store_->ReadDword(path, "FloatPane16ViewCount", v));
  EXPECT_EQ(v, 6);
}

TEST_F(AppProfileTest, WindowSaverRemovesFloatRecordsOfAnEarlierLayout) {
  const char* w = "window";
  CAppProfile p = LoadWith({Dw(w, "FloatFormCount", 4), Dw(w, "FloatForm3PaneCount", 2),
                            Dw(w, "FloatPane1Collapse", 1), Dw(w, "FloatForm9Visible", 1)});
  p.FloatFormCount = 1;
  p.floatForms[0] = SFloatFormLayout{1, true, 5, 6, 7, 8};
  p.floatPanes[0] = SFloatColumnLayout{0, 0, 2, 3, true};
  ASSERT_TRUE(p.SaveWindow());
  const std::string path = CAppProfile::SectionPath(w);
  std::vector<std::string> names = store_->ValueNames(path);
  std::vector<std::string> floatNames;
  for (const std::string& n : names) {
    if (n.rfind("Float", 0) == 0) floatNames.push_back(n);
  }
  EXPECT_EQ(floatNames,
            (std::vector<std::string>{"FloatFormCount", "FloatForm0PaneCount", "FloatForm0Visible", "FloatForm0X",
                                      "FloatForm0Y", "FloatForm0Width", "FloatForm0Height",
                                      "FloatPane0ParentForm", "FloatPane0PaneIndex", "FloatPane0ActiveView",
                                      "FloatPane0ViewCount", "FloatPane0Collapse"}));
}

TEST_F(AppProfileTest, SetToolOpacityStoresByToolKind) {
  struct Case {
    int32_t kind;
    float CAppProfile::*field;
  };
  const std::vector<Case> cases = {
      {0, &CAppProfile::opaquePaint},        {4, &CAppProfile::opaqueSeedFill},
      {10, &CAppProfile::opaqueDraw},        {11, &CAppProfile::opaqueAreaFill},
      {13, &CAppProfile::opaqueAreaFill},    {12, &CAppProfile::opaqueLine},
      {14, &CAppProfile::opaqueFont},        {19, &CAppProfile::opaqueGradate},
      {0x80 | 12, &CAppProfile::opaqueLine},  // top bit ignored
  };
  const std::vector<float CAppProfile::*> all = {&CAppProfile::opaquePaint,    &CAppProfile::opaqueAreaFill,
                                                 &CAppProfile::opaqueSeedFill, &CAppProfile::opaqueGradate,
                                                 &CAppProfile::opaqueDraw,     &CAppProfile::opaqueLine,
                                                 &CAppProfile::opaqueFont};
  for (const Case& c : cases) {
    CAppProfile p;
    p.SetToolOpacity(c.kind, 0.25f);
    for (auto field : all) EXPECT_EQ(p.*field, field == c.field ? 0.25f : 0.0f) << c.kind;
  }
  for (int32_t kind : {1, 2, 3, 5, 16, 18, 20, 0x7F}) {
    CAppProfile p;
    p.SetToolOpacity(kind, 0.25f);
    for (auto field : all) EXPECT_EQ(p.*field, 0.0f) << kind;
  }
}

TEST_F(AppProfileTest, SaveAllLetsTheWindowsStoreTheirStateFirst) {
  CAppProfile p(store_.get());
  p.LoadAll();
  std::vector<std::string> calls;
  p.storeMainWindowState = [&](CAppProfile& q) {
    calls.push_back("main");
    q.mainWinMax = false;
    q.mainWinX = 123;
  };
  p.storeToolWindowLayout = [&](CAppProfile& q) {
    calls.push_back("tool");
    q.FloatFormCount = 1;
    q.floatForms[0].PaneCount = 1;
    q.floatPanes[0].ViewCount = 4;
  };
  ASSERT_TRUE(p.SaveAll());
  EXPECT_EQ(calls, (std::vector<std::string>{"main", "tool"}));
  // Read what reached the file.
  CRegistry file(folder_);
  ASSERT_TRUE(file.Load());
  CAppProfile q(&file);
  q.LoadAll();
  EXPECT_EQ(q.mainWinX, 123);
  EXPECT_FALSE(q.mainWinMax);
  EXPECT_EQ(q.floatPanes[0].ViewCount, 4);
}

TEST_F(AppProfileTest, SaveAllReportsAFileThatCannotBeWritten) {
  std::ofstream(temp_ + "/blocker") << "x";
  CRegistry store(temp_ + "/blocker/settings");
  CAppProfile p(&store);
  p.LoadAll();
  EXPECT_FALSE(p.SaveAll());
}

TEST_F(AppProfileTest, TwoInstancesSavingAtExitKeepEachOthersChanges) {
  {
    CAppProfile first(store_.get());  // an earlier run wrote every key
    first.LoadAll();
    ASSERT_TRUE(first.SaveAll());
  }
  CRegistry storeA(folder_), storeB(folder_);
  ASSERT_TRUE(storeA.Load());
  ASSERT_TRUE(storeB.Load());
  CAppProfile a(&storeA), b(&storeB);
  a.LoadAll();
  b.LoadAll();
  a.undoMax = 20;
  b.gridW = 64;
  b.loadPath = "/b/";
  ASSERT_TRUE(a.SaveAll());
  ASSERT_TRUE(b.SaveAll());  // writes undoMax 8 as it was loaded: no change of its own
  CRegistry file(folder_);
  ASSERT_TRUE(file.Load());
  CAppProfile c(&file);
  c.LoadAll();
  EXPECT_EQ(c.undoMax, 20);
  EXPECT_EQ(c.gridW, 64);
  EXPECT_EQ(c.loadPath, "/b/");
}

TEST_F(AppProfileTest, EnvironmentProbe) {
  screen_.monitors = 3;
  CAppProfile p(store_.get());
  p.ProbeEnvironment();
  EXPECT_EQ(p.ansiCodePage, 932);
  EXPECT_EQ(p.UiLanguage, 0);
  EXPECT_TRUE(p.isNTFamily);
  EXPECT_GT(p.osVersion, 0);
  EXPECT_EQ(p.counterFrequency, 1e9);
  EXPECT_EQ(p.processorSpeed, 2e9);
  EXPECT_EQ(p.monitorCount, 3);
  EXPECT_EQ(p.tempFolder, temp_ + "/tmp/");
  EXPECT_EQ(p.sharedDataFolder, temp_ + "/data/");
  EXPECT_TRUE(fs::is_directory(temp_ + "/data"));  // created when missing
  ASSERT_FALSE(p.programFolder.empty());
  EXPECT_EQ(p.programFolder.back(), '/');
  EXPECT_TRUE(fs::exists(p.programFolder + p.programFileName));
  screen_.monitors = 0;
  p.ProbeEnvironment();
  EXPECT_EQ(p.monitorCount, 1);

  std::optional<std::string> lang;
  if (const char* l = std::getenv("LC_ALL")) lang = l;
  setenv("LC_ALL", "ko_KR.UTF-8", 1);
  p.ProbeEnvironment();
  EXPECT_EQ(p.userLocale, 0x412);
  setenv("LC_ALL", "ja_JP.UTF-8", 1);
  p.ProbeEnvironment();
  EXPECT_EQ(p.userLocale, 0x411);
  if (lang) {
    setenv("LC_ALL", lang->c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

TEST_F(AppProfileTest, ScreenFactsComeFromTheInstalledHost) {
  EXPECT_EQ(GetPrimaryScreenWidth(), 1280);
  EXPECT_EQ(GetDesktopBitsPerPixel(), 32);
  SetScreenHost(nullptr);
  EXPECT_EQ(GetPrimaryScreenWidth(), HeadlessScreenHost::kWidth);
  EXPECT_EQ(GetPrimaryScreenHeight(), HeadlessScreenHost::kHeight);
  EXPECT_EQ(GetMonitorCount(), 1);
  SetScreenHost(&screen_);
}

TEST_F(AppProfileTest, ProcessWideObjectUsesTheProcessWideStore) {
  {
    CRegistry seed(folder_);
    seed.CreateKey(CAppProfile::SectionPath("config"));
    seed.WriteDword(CAppProfile::SectionPath("config"), "undoMax", 12);
    ASSERT_TRUE(seed.Save());
  }
  ResetAppProfile();
  EXPECT_EQ(AppProfile().undoMax, 0);  // empty until loaded
  AppProfile().LoadAll();
  EXPECT_EQ(AppProfile().undoMax, 12);
  EXPECT_EQ(&AppProfile().Registry(), &CRegistry::Instance());
}

}  // namespace
}  // namespace tf
