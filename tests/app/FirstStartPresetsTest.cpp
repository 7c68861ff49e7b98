// A first start as a new user has it: no settings yet, no preset files beside the program. The
// settings object, loaded from an empty store and reached by the preset sets through the
// installed host, leads the gradient, tone and swatch sets to their built-in entries, quietly;
// sets saved as the defaults are what the next start loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/AppPresetSettings.h"
#include "app/AppProfile.h"
#include "paint/GradientSet.h"
#include "paint/PresetSettings.h"
#include "paint/Swatches.h"
#include "paint/ToneSet.h"
#include "platform/Registry.h"
#include "platform/Warning.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

class FirstStartPresetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.Path().empty());
    previousWarnings_ = SetWarningHost(&warnings_);
    previousProbe_ = CAppProfile::SetSpeedProbe([](int32_t, double* f) { *f = 2e9; });
    ResetAppProfile();
    AppProfile().SetRegistry(&store_);
    ASSERT_TRUE(AppProfile().LoadAll());
    // The program installed in a folder of its own, without a "preset" folder.
    std::filesystem::create_directories(temp_.Path() + "/install");
    AppProfile().programFolder = temp_.Path() + "/install/";
    previousSettings_ = InstallAppPresetSettings();
  }
  void TearDown() override {
    SetPresetSettingsHost(previousSettings_);
    ResetAppProfile();
    CAppProfile::SetSpeedProbe(previousProbe_);
    SetWarningHost(previousWarnings_);
  }

  test::ScopedTempFolder temp_{"tf-first-start"};
  CRegistry store_{temp_.Path() + "/config"};  // no file yet
  RecordingWarningHost warnings_;
  WarningHost* previousWarnings_ = nullptr;
  PresetSettingsHost* previousSettings_ = nullptr;
  CAppProfile::SpeedProbe previousProbe_;
};

TEST_F(FirstStartPresetsTest, BuiltinGradientsTonesAndSwatchesAreOffered) {
  CAppProfile& profile = AppProfile();
  CGradMngr gradients;
  ASSERT_TRUE(gradients.LoadDefault(true));
  EXPECT_EQ(gradients.Count(), 4);
  EXPECT_EQ(gradients.CurrentIndex(), 0);
  ASSERT_NE(gradients.GetWorkingCopy(), nullptr);

  CToneMngr tones;
  ASSERT_TRUE(tones.LoadDefault(true));
  EXPECT_EQ(tones.Count(), 2);
  EXPECT_EQ(tones.CurrentIndex(), 0);
  EXPECT_NE(tones.WorkingCopy(), nullptr);
  // The pixel writers' tone value follows the chosen dot pattern.
  bool patterned = false;
  for (int32_t x = 0; x < 64 && !patterned; ++x) patterned = tones.ToneValueAt(x, 0, 255) != 255;
  EXPECT_TRUE(patterned);

  TSwatchMngr swatches;
  ASSERT_TRUE(swatches.LoadDefault(true));
  EXPECT_EQ(swatches.Count(), 256);

  // Nothing to complain about on a first start; no default file is remembered, and each set's
  // folder is the program's preset folder.
  EXPECT_TRUE(warnings_.Texts().empty());
  const std::string preset = temp_.Path() + "/install/preset";
  for (const std::string* file : {&profile.gradFile2, &profile.toneFile, &profile.palFile}) EXPECT_EQ(*file, "");
  for (const std::string* folder : {&profile.gradPath2, &profile.tonePath, &profile.palPath})
    EXPECT_EQ(std::filesystem::path(*folder).lexically_normal(),
              std::filesystem::path(preset).lexically_normal());
  // The gradient options come from the settings' defaults.
  EXPECT_EQ(gradients.GetItem(0)->Options().repeatCount, profile.gradRepCnt);
}

TEST_F(FirstStartPresetsTest, SetsSavedAsDefaultsLoadOnTheNextStart) {
  {
    CAppProfile& profile = AppProfile();
    CGradMngr gradients;
    ASSERT_TRUE(gradients.LoadDefault(true));
    CToneMngr tones;
    ASSERT_TRUE(tones.LoadDefault(true));
    TSwatchMngr swatches;
    ASSERT_TRUE(swatches.LoadDefault(true));
    // The user trims each set and saves it: the gradients and swatches as the defaults in the
    // preset folder, the tones in a folder of their own, chosen in the preferences.
    ASSERT_TRUE(std::filesystem::create_directories(profile.gradPath2));
    ASSERT_TRUE(gradients.Delete(3));
    ASSERT_TRUE(gradients.Save(profile.gradPath2 + "/default.tgs"));
    ASSERT_TRUE(swatches.Delete(0));
    ASSERT_TRUE(swatches.SaveToFile(profile.palPath + "/default.tpl"));
    const std::string mine = temp_.Path() + "/mine";
    std::filesystem::create_directories(mine);
    ASSERT_TRUE(tones.Delete(1));
    ASSERT_TRUE(tones.Save(mine + "/dots.tts"));
    profile.toneFile = mine + "/dots.tts";
    ASSERT_TRUE(profile.SaveAll());
  }

  // The next start reads the settings back from the store.
  ResetAppProfile();
  CRegistry next(temp_.Path() + "/config");
  ASSERT_TRUE(next.Load());
  AppProfile().SetRegistry(&next);
  ASSERT_TRUE(AppProfile().LoadAll());
  AppProfile().programFolder = temp_.Path() + "/install/";
  InstallAppPresetSettings();
  CGradMngr gradients;
  ASSERT_TRUE(gradients.LoadDefault(true));
  EXPECT_EQ(gradients.Count(), 3);
  EXPECT_NE(gradients.FileName(), "");
  CToneMngr tones;
  ASSERT_TRUE(tones.LoadDefault(true));
  EXPECT_EQ(tones.Count(), 1);
  EXPECT_EQ(tones.FileName(), temp_.Path() + "/mine/dots.tts");
  TSwatchMngr swatches;
  ASSERT_TRUE(swatches.LoadDefault(true));
  EXPECT_EQ(swatches.Count(), 255);
  EXPECT_TRUE(warnings_.Texts().empty());
  AppProfile().SetRegistry(&store_);
}

}  // namespace
}  // namespace tf
