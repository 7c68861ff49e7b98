#include "app/AppPresetSettings.h"

#include <memory>

#include "app/AppProfile.h"

namespace tf {

SGradOption CAppPresetSettings::GradientOptions() {
  return SGradOption{0, static_cast<uint8_t>(profile_.gradType), static_cast<uint8_t>(profile_.gradMap),
                     static_cast<uint8_t>(profile_.gradRep), profile_.gradRepCnt};
}

void CAppPresetSettings::SetGradientOptions(const SGradOption& options) {
  profile_.gradType = options.shape;
  profile_.gradMap = options.mirror;
  profile_.gradRep = options.endless;
  profile_.gradRepCnt = options.repeatCount;
}

uint32_t CAppPresetSettings::ForegroundColor() { return profile_.fgCol; }
uint32_t CAppPresetSettings::BackgroundColor() { return profile_.bgCol; }

std::string& CAppPresetSettings::FolderField(PresetSet set) {
  switch (set) {
    case PresetSet::kGradients: return profile_.gradPath2;
    case PresetSet::kTones: return profile_.tonePath;
    case PresetSet::kSwatches: break;
  }
  return profile_.palPath;
}

std::string& CAppPresetSettings::FileField(PresetSet set) {
  switch (set) {
    case PresetSet::kGradients: return profile_.gradFile2;
    case PresetSet::kTones: return profile_.toneFile;
    case PresetSet::kSwatches: break;
  }
  return profile_.palFile;
}

std::string CAppPresetSettings::Folder(PresetSet set) { return FolderField(set); }
void CAppPresetSettings::SetFolder(PresetSet set, const std::string& folder) { FolderField(set) = folder; }
std::string CAppPresetSettings::File(PresetSet set) { return FileField(set); }
void CAppPresetSettings::SetFile(PresetSet set, const std::string& path) { FileField(set) = path; }
std::string CAppPresetSettings::ProgramFolder() { return profile_.programFolder; }

PresetSettingsHost* InstallAppPresetSettings() {
  // One host at a time, over the settings object of the moment (tests replace that object).
  static std::unique_ptr<CAppPresetSettings> host;
  auto next = std::make_unique<CAppPresetSettings>(AppProfile());
  PresetSettingsHost* before = SetPresetSettingsHost(next.get());
  if (before == host.get()) before = nullptr;
  host = std::move(next);
  return before;
}

}  // namespace tf
