#include "paint/PresetSettings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "platform/FileDialog.h"
#include "platform/HostSlot.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/SmallRoutines.h"

namespace tf {
namespace {

std::string ExecutableFolder() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  std::string path(buffer, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

using Slot = HostSlot<PresetSettingsHost, MemoryPresetSettings>;

}  // namespace

MemoryPresetSettings::MemoryPresetSettings() : programFolder(ExecutableFolder()) {}

PresetSettingsHost* SetPresetSettingsHost(PresetSettingsHost* host) { return Slot::Install(host); }
PresetSettingsHost& GetPresetSettingsHost() { return Slot::Get(); }
MemoryPresetSettings& DefaultPresetSettings() { return Slot::Default(); }

bool PresetFileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FindDefaultPresetFile(PresetSet set, const std::string& name) {
  PresetSettingsHost& settings = GetPresetSettingsHost();
  std::string path = settings.File(set);
  if (!PresetFileExists(path)) {
    path = JoinPath(settings.Folder(set), name);
    if (!PresetFileExists(path)) {
      const std::string folder = JoinPath(settings.ProgramFolder(), "preset");
      settings.SetFolder(set, folder);
      path = JoinPath(folder, name);
    }
    settings.SetFile(set, path);
  }
  if (!PresetFileExists(path)) {
    settings.SetFile(set, "");
    return "";
  }
  return path;
}

void ForgetDefaultPresetFile(PresetSet set) { GetPresetSettingsHost().SetFile(set, ""); }

void ShowPresetLoadFailure(const char* setWord, int32_t code) {
  ShowWarningF("%sの読み込みに失敗しました! (err=%d)", setWord, code);
}

void ShowPresetSaveFailure(const char* setWord, int32_t code) {
  ShowWarningF("%sの保存に失敗しました! (err=%d)", setWord, code);
}

void ShowPresetMissingCount(int32_t missing, const char* itemWord) {
  ShowWarningF("%d個の%sが読み込めませんでした！", missing, itemWord);
}

bool RunPresetFileDialog(int32_t kind, const std::string& fileName, std::string& path) {
  const size_t slash = fileName.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  return ExecuteFileDialog(path, kind, name, folder, nullptr);
}

uint8_t LoadPresetFile(const std::string& path, MemoryStream& contents) {
  if (!PresetFileExists(path)) return 4;
  try {
    if (!contents.LoadFromFile(path)) return 6;
  } catch (const std::bad_alloc&) {
    return 1;
  }
  return 0;
}

uint8_t SavePresetFile(const std::string& path, const std::function<uint8_t(Stream&)>& writer) {
  AtomicFileWriter file;
  if (!file.Begin(path)) return 5;
  uint8_t code = 3;
  try {
    code = writer(file.GetStream());
  } catch (const std::bad_alloc&) {
    code = 1;
  } catch (...) {
    code = 3;
  }
  if (code != 0) {
    file.Abandon();
    return code;
  }
  return file.Commit() ? 0 : 8;
}

}  // namespace tf
