#pragma once
// The preset sets' settings over the application's settings object: the gradient options
// (gradType, gradMap, gradRep, gradRepCnt), the foreground and background colours, the folders
// (gradPath2, tonePath, palPath) and files (gradFile2, toneFile, palFile) of the gradient, tone
// and swatch sets, and the program's folder. Installed at start-up; the sets read and write the
// settings object through it.
#include <string>

#include "paint/PresetSettings.h"

namespace tf {

class CAppProfile;

class CAppPresetSettings final : public PresetSettingsHost {
 public:
  explicit CAppPresetSettings(CAppProfile& profile) : profile_(profile) {}

  SGradOption GradientOptions() override;
  void SetGradientOptions(const SGradOption& options) override;
  uint32_t ForegroundColor() override;
  uint32_t BackgroundColor() override;
  std::string Folder(PresetSet set) override;
  void SetFolder(PresetSet set, const std::string& folder) override;
  std::string File(PresetSet set) override;
  void SetFile(PresetSet set, const std::string& path) override;
  std::string ProgramFolder() override;

 private:
  std::string& FolderField(PresetSet set);
  std::string& FileField(PresetSet set);

  CAppProfile& profile_;
};

// Installs a host over the process-wide settings object (AppProfile()) for the preset sets;
// returns the host installed before.
PresetSettingsHost* InstallAppPresetSettings();

}  // namespace tf
