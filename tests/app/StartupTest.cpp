// The start without the window system: switches, start-up checks, the hand-off and the language
// module.
#include "app/Startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/AppProfile.h"
#include "app/ShellCalls.h"
#include "document/BlendMode.h"
#include "platform/Confirm.h"
#include "platform/ResourceText.h"
#include "platform/Screen.h"
#include "platform/Shell.h"
#include "platform/Warning.h"
#include "support/TempFolder.h"
#include "support/TextModuleImage.h"

namespace tf {
namespace {

// Installs recording warning, scripted confirm and headless screen hosts; resets the switches.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStartupValues();
    warnings_before_ = SetWarningHost(&warnings_);
    confirm_before_ = SetConfirmHost(&confirm_);
    screen_before_ = SetScreenHost(&screen_);
  }
  void TearDown() override {
    SetWarningHost(warnings_before_);
    SetConfirmHost(confirm_before_);
    SetScreenHost(screen_before_);
    ResetStartupValues();
    ResetTextModule();
    LoadBlendModeNames();
  }

  RecordingWarningHost warnings_;
  ScriptedConfirmHost confirm_;
  HeadlessScreenHost screen_;

 private:
  WarningHost* warnings_before_ = nullptr;
  ConfirmHost* confirm_before_ = nullptr;
  ScreenHost* screen_before_ = nullptr;
};

TEST_F(StartupTest, SwitchScanTable) {
  struct Case {
    std::vector<std::string> args;
    bool renderOrViewer, viewer;
    std::string folder;
    int32_t seconds;
    WindowHandle window;
    std::vector<std::string> warned;  // arguments named by an "unknown switch" warning
  };
  const Case cases[] = {
      {{}, false, false, "", 0, 0, {}},
      {{"-RENDER"}, true, false, "", 0, 0, {}},
      {{"/render"}, true, false, "", 0, 0, {}},
      {{"-renderx"}, false, false, "", 0, 0, {"-renderx"}},
      {{"-viewer", "-render"}, true, false, "", 0, 0, {}},
      {{"-render", "-Viewer"}, true, true, "", 0, 0, {}},
      {{"-t"}, false, false, "", 10, 0, {}},
      {{"-t:"}, false, false, "", 10, 0, {}},
      {{"-t:5"}, false, false, "", 5, 0, {}},
      {{"-t5"}, false, false, "", 5, 0, {}},
      {{"-t:$10"}, false, false, "", 16, 0, {}},
      {{"-t:7", "-t:9"}, false, false, "", 9, 0, {}},
      {{"-t:x5"}, false, false, "", 0, 0, {"-t:x5"}},
      {{"-t:$"}, false, false, "", 0, 0, {"-t:$"}},
      {{"-t:2147483648"}, false, false, "", 0, 0, {"-t:2147483648"}},
      {{"-t:-2147483648"}, false, false, "", INT32_MIN, 0, {}},
      {{"-w:99999999999"}, false, false, "", 0, 0, {"-w:99999999999"}},
      {{"-w"}, false, false, "", 0, 0, {"-w"}},
      {{"-w:$FFFFFFFF"}, false, false, "", 0, -1, {}},
      {{"-w:$100000000"}, false, false, "", 0, 0, {"-w:$100000000"}},
      {{"-w1234"}, false, false, "", 0, 1234, {}},
      {{"-o:C:\\out"}, false, false, "C:\\out", 0, 0, {}},
      {{"-o"}, false, false, "", 0, 0, {}},
      {{"/o:/home/out"}, false, false, "/home/out", 0, 0, {}},
      {{"/t5"}, false, false, "", 5, 0, {}},
      {{"/tmp/x.tfi"}, false, false, "", 0, 0, {}},  // a path, not a switch
      {{"picture.tfi", "", "-"}, false, false, "", 0, 0, {"-"}},
      {{"-foo", "-bar"}, false, false, "", 0, 0, {"-foo", "-bar"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0]);
    ResetStartupValues();
    warnings_.Clear();
    ScanSwitches(c.args);
    EXPECT_EQ(RenderOrViewerMode, c.renderOrViewer);
    EXPECT_EQ(ViewerMode, c.viewer);
    EXPECT_EQ(OutputFolder, c.folder);
    EXPECT_EQ(ViewerWaitSeconds, c.seconds);
    EXPECT_EQ(ResultWindow, c.window);
    ASSERT_EQ(warnings_.Texts().size(), c.warned.size());
    for (size_t i = 0; i < c.warned.size(); ++i) {
      EXPECT_EQ(warnings_.Texts()[i], "unknown command line switch!\r    arg = " + c.warned[i]);
      EXPECT_EQ(warnings_.Owners()[i], 0);
      EXPECT_EQ(warnings_.Captions()[i], "");  // the standard caption
    }
  }
}

TEST_F(StartupTest, SlashBeginsASwitchOnlyWhenNoPathIsMeant) {
  test::ScopedTempFolder folder("tf-switch");
  std::string rest;
  EXPECT_TRUE(IsSwitchArg("/render", rest));
  EXPECT_EQ(rest, "render");
  EXPECT_TRUE(IsSwitchArg("/o:/home/out", rest));
  EXPECT_EQ(rest, "o:/home/out");
  EXPECT_FALSE(IsSwitchArg("/tmp/x.tfi", rest));
  EXPECT_FALSE(IsSwitchArg("", rest));
  EXPECT_FALSE(IsSwitchArg("x.tfi", rest));
  EXPECT_TRUE(IsSwitchArg("-", rest));
  EXPECT_EQ(rest, "");
  // A file at the root named like a switch would be taken as the file; "/" itself exists.
  EXPECT_FALSE(IsSwitchArg("/", rest));
}

TEST_F(StartupTest, PaletteScreensAskAndOnlyYesGoesOn) {
  ScriptedInstanceHost instance;
  std::vector<std::string> args;
  screen_.bitsPerPixel = 8;
  confirm_.Script({kResultNo});
  EXPECT_EQ(StartupChecks(args, instance), 1);
  ASSERT_EQ(confirm_.Questions().size(), 1u);
  EXPECT_EQ(confirm_.Questions()[0].buttons, kButtonsYesNo);
  EXPECT_EQ(confirm_.Questions()[0].text.rfind("Tintaframe はパレットモードでの動作には対応していません!\r", 0), 0u);
  EXPECT_EQ(instance.lockCalls, 0);  // declined before anything else

  confirm_.Clear();
  confirm_.Script({kResultYes});
  EXPECT_EQ(StartupChecks(args, instance), 0);
  EXPECT_EQ(confirm_.Questions().size(), 1u);

  confirm_.Clear();
  screen_.bitsPerPixel = 16;
  EXPECT_EQ(StartupChecks(args, instance), 0);
  EXPECT_TRUE(confirm_.Questions().empty());
}

TEST_F(StartupTest, RenderAndViewerStartsNeitherLockNorAsk) {
  // Two render starts side by side: neither touches the lock, so both run.
  for (int start = 0; start < 2; ++start) {
    ResetStartupValues();
    ScriptedInstanceHost instance;
    instance.lockResult = 0;  // even with an instance running
    instance.reply = kInstanceReplyNormal;
    std::vector<std::string> args = {"-render", "a.te4"};
    EXPECT_EQ(StartupChecks(args, instance), 0);
    EXPECT_EQ(instance.lockCalls, 0);
    EXPECT_EQ(instance.queries, 0);
    EXPECT_TRUE(instance.sent.empty());
    EXPECT_EQ(QueryReply(), kInstanceReplyRender);
  }
  ResetStartupValues();
  ScanSwitches({"-viewer"});
  EXPECT_EQ(QueryReply(), kInstanceReplyViewer);
  ResetStartupValues();
  EXPECT_EQ(QueryReply(), kInstanceReplyNormal);
}

TEST_F(StartupTest, LockResults) {
  std::vector<std::string> args = {"a.tfi"};
  ScriptedInstanceHost none;
  none.lockResult = -1;
  EXPECT_EQ(StartupChecks(args, none), -1);
  ScriptedInstanceHost first;
  EXPECT_EQ(StartupChecks(args, first), 0);
  EXPECT_EQ(first.queries, 0);
  // Held, but nobody (or a viewer) answers: start normally and keep the files.
  for (uint32_t reply : {0u, kInstanceReplyViewer, kInstanceReplyRender}) {
    ScriptedInstanceHost held;
    held.lockResult = 0;
    held.reply = reply;
    EXPECT_EQ(StartupChecks(args, held), -2);
    EXPECT_TRUE(held.sent.empty());
    EXPECT_EQ(args, std::vector<std::string>{"a.tfi"});
  }
}

// Paths go over absolute: the running instance has another working folder.
TEST_F(StartupTest, HandOffSendsEveryFileAbsoluteInOrderThenRaises) {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ScriptedInstanceHost running;
  running.lockResult = 0;
  running.reply = kInstanceReplyNormal;
  std::vector<std::string> args = {"./one.tfi", "-t5", "/tmp/two.tfi"};
  EXPECT_EQ(StartupChecks(args, running), 1);
  EXPECT_EQ(running.sent, (std::vector<std::string>{std::string(cwd) + "/one.tfi", "/tmp/two.tfi"}));
  EXPECT_EQ(running.raises, 1);
  EXPECT_EQ(ViewerWaitSeconds, 5);
}

// Paths the instance did not acknowledge (it closed meanwhile) are opened here, not lost.
TEST_F(StartupTest, PathsNotAcknowledgedStayWithThisStart) {
  ScriptedInstanceHost closing;
  closing.lockResult = 0;
  closing.reply = kInstanceReplyNormal;
  closing.acknowledged = 1;
  std::vector<std::string> args = {"/tmp/a.tfi", "-t", "/tmp/b.tfi", "/tmp/c.tfi"};
  EXPECT_EQ(StartupChecks(args, closing), -2);
  EXPECT_EQ(closing.sent, std::vector<std::string>{"/tmp/a.tfi"});
  EXPECT_EQ(closing.raises, 0);
  EXPECT_EQ(args, (std::vector<std::string>{"-t", "/tmp/b.tfi", "/tmp/c.tfi"}));
}

TEST(StartupPaths, LanguageModulePathAndAbsolutePaths) {
  EXPECT_EQ(LanguageModulePath("/opt/tf/", "tintaframe4"), "/opt/tf/tintaframe4.enu");
  EXPECT_EQ(LanguageModulePath("/opt/tf/", "x.exe"), "/opt/tf/x.enu");
  EXPECT_EQ(LanguageModulePath("/opt/tf", "a.b.c"), "/opt/tf/a.b.enu");
  EXPECT_EQ(LanguageModulePath("/opt/tf/", ".hidden"), "/opt/tf/.hidden.enu");
  EXPECT_EQ(AbsolutePath("/a/b"), "/a/b");
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(AbsolutePath("b/c.tfi"), std::string(cwd) + "/b/c.tfi");
}

// ---- The language module ---------------------------------------------------------------------

using test::BuiltinTextList;
using test::TextModuleImage;

class LanguageModuleTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    profile_.programFolder = folder_.Path() + "/";
    profile_.programFileName = "tintaframe4";
    path_ = folder_.Path() + "/tintaframe4.enu";
  }
  void Write(const std::vector<uint8_t>& bytes) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  test::ScopedTempFolder folder_{"tf-module"};
  CAppProfile profile_;
  std::string path_;
};

TEST_F(LanguageModuleTest, ADamagedModuleIsRefusedAsAWhole) {
  const std::vector<uint8_t> good = TextModuleImage(BuiltinTextList());
  auto with = [&](auto change) {
    std::vector<uint8_t> bytes = good;
    change(bytes);
    return bytes;
  };
  std::vector<std::string> converted = BuiltinTextList();
  converted[static_cast<int>(TextId::LanguageModuleFailed)] = "Failed to load %d!";
  std::vector<std::string> badUtf8 = BuiltinTextList();
  badUtf8[static_cast<int>(TextId::BlendScreen)] = "\xC3\x28";
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"truncated", std::vector<uint8_t>(good.begin(), good.end() - 3)},
      {"wrong magic", with([](std::vector<uint8_t>& b) { b[0] = 'X'; })},
      {"offset past the end", with([](std::vector<uint8_t>& b) { b[12] = 0xFF, b[13] = 0xFF, b[14] = 0xFF; })},
      {"bad UTF-8", TextModuleImage(badUtf8)},
      {"changed conversion", TextModuleImage(converted)},
      {"empty", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    warnings_.Clear();
    Write(c.bytes);
    profile_.UiLanguage = 0;
    EXPECT_FALSE(LoadLanguageModule(profile_));
    EXPECT_EQ(profile_.UiLanguage, 2);
    ASSERT_EQ(warnings_.Texts().size(), 1u);
    EXPECT_EQ(warnings_.Texts()[0], "Failed to load \"" + path_ + "\"!");
    EXPECT_STREQ(Tx(TextId::BlendScreen), "スクリーン");  // nothing of it was taken
  }
  // No file at all.
  warnings_.Clear();
  std::remove(path_.c_str());
  EXPECT_FALSE(InitApplication(profile_));
  EXPECT_EQ(warnings_.Texts().size(), 1u);
}

TEST_F(LanguageModuleTest, AModuleRenamesTheBlendModes) {
  std::vector<std::string> texts = BuiltinTextList();
  texts[static_cast<int>(TextId::BlendScreen)] = "Screen";
  texts[static_cast<int>(TextId::UnknownSwitch)] = "Unknown switch: %s";
  Write(TextModuleImage(texts));
  ASSERT_TRUE(LoadLanguageModule(profile_));
  EXPECT_TRUE(warnings_.Texts().empty());
  EXPECT_STREQ(GetBlendModeEntry(kModeScreen)->name, "Screen");
  EXPECT_STREQ(GetBlendModeEntry(kModeNormal)->name, "標準");
  ScanSwitches({"-q"});
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "Unknown switch: -q");
}

// ---- Shell calls -------------------------------------------------------------------------------

TEST_F(StartupTest, AHelpFileThatCannotBeOpenedWarnsWithItsPath) {
  RecordingShellHost shell;
  ShellHost* before = SetShellHost(&shell);
  shell.result = false;
  EXPECT_FALSE(ShowHelp("/opt/tf/"));
  ASSERT_EQ(shell.opened, std::vector<std::string>{"/opt/tf/tF45e.chm"});
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "ヘルプファイルの表示に失敗しました!\r   file = /opt/tf/tF45e.chm");
  shell.result = true;
  warnings_.Clear();
  EXPECT_TRUE(ShowHelp("/opt/tf/"));
  EXPECT_TRUE(warnings_.Texts().empty());
  // Web pages of an unset build setting open nothing, silently.
  if (HomePageAddress()[0] == '\0') {
    EXPECT_FALSE(OpenHomePage());
  }
  if (UploadPageAddress()[0] == '\0') {
    EXPECT_FALSE(OpenUploadPage());
  }
  EXPECT_TRUE(shell.addresses.empty() || HomePageAddress()[0] != '\0');
  EXPECT_TRUE(warnings_.Texts().empty());
  SetShellHost(before);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST(StartupPlatform, UnattendedRunsWithoutADisplayPaintIntoMemory) {
  using V = std::vector<std::string>;
  struct Case {
    V args;
    const char* qpa;
    const char* display;
    const char* wayland;
    const char* platform;
  } cases[] = {
      {{"-render", "-o:out", "a.te4"}, nullptr, nullptr, nullptr, "offscreen"},
      {{"-VIEWER", "-t:0", "a.wpe"}, nullptr, "", nullptr, "offscreen"},
      {{"-render", "a.te4"}, nullptr, ":0", nullptr, "xcb"},
      {{"-render", "a.te4"}, nullptr, nullptr, "wayland-0", "xcb"},
      {{"-render", "a.te4"}, "minimal", nullptr, nullptr, ""},  // the person's choice stands
      {{"a.te4"}, nullptr, nullptr, nullptr, "xcb"},
      {{"render.te4", "-o:render"}, nullptr, nullptr, nullptr, "xcb"},  // no switch asks for it
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChoosePlatform(c.args, c.qpa, c.display, c.wayland), c.platform) << c.args[0];
}

}  // namespace
}  // namespace tf
