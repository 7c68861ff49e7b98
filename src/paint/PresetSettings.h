// The settings the preset sets read and keep, reached through a host the application installs.
#pragma once
// The gradient, tone and swatch sets read a few settings (the gradient options in force, the
// foreground and background colours, the folder and file of each set) and write some back. The
// settings object lives in the application, above this floor, so the sets reach it through
// this interface; the application installs one over its settings object at start-up. Without
// one, a set of values held in memory stands in (headless runs and tests).
#include <cstdint>
#include <functional>
#include <string>

#include "paint/Gradient.h"

namespace tf {

// The preset sets that keep a default file in the settings.
enum class PresetSet : int32_t { kGradients = 0, kTones = 1, kSwatches = 2 };

class PresetSettingsHost {
 public:
  virtual ~PresetSettingsHost() = default;
  // gradType, gradMap, gradRep, gradRepCnt as options (own options 0); unchecked values.
  virtual SGradOption GradientOptions() = 0;
  virtual void SetGradientOptions(const SGradOption& options) = 0;
  // Colours with red in the low byte.
  virtual uint32_t ForegroundColor() = 0;
  virtual uint32_t BackgroundColor() = 0;
  // The preset folder of a set (gradPath2, tonePath, palPath) and its file (gradFile2,
  // toneFile, palFile).
  virtual std::string Folder(PresetSet set) = 0;
  virtual void SetFolder(PresetSet set, const std::string& folder) = 0;
  virtual std::string File(PresetSet set) = 0;
  virtual void SetFile(PresetSet set, const std::string& path) = 0;
  // The program's folder (the built-in "preset" folder lies in it).
  virtual std::string ProgramFolder() = 0;
};

// Values held in memory. The program folder is the running executable's folder.
class MemoryPresetSettings final : public PresetSettingsHost {
 public:
  MemoryPresetSettings();
  SGradOption GradientOptions() override { return gradient; }
  void SetGradientOptions(const SGradOption& options) override { gradient = options; }
  uint32_t ForegroundColor() override { return foreground; }
  uint32_t BackgroundColor() override { return background; }
  std::string Folder(PresetSet set) override { return folders[static_cast<int32_t>(set)]; }
  void SetFolder(PresetSet set, const std::string& folder) override {
    folders[static_cast<int32_t>(set)] = folder;
  }
  std::string File(PresetSet set) override { return files[static_cast<int32_t>(set)]; }
  void SetFile(PresetSet set, const std::string& path) override { files[static_cast<int32_t>(set)] = path; }
  std::string ProgramFolder() override { return programFolder; }

  SGradOption gradient{0, 0, 0, 0, 1};
  uint32_t foreground = 0x000000;
  uint32_t background = 0xFFFFFF;
  std::string folders[3];
  std::string files[3];
  std::string programFolder;
};

// Installing null restores the in-memory default. Returns the host installed before.
PresetSettingsHost* SetPresetSettingsHost(PresetSettingsHost* host);
PresetSettingsHost& GetPresetSettingsHost();
// The in-memory default (tests read and set it when they install nothing).
MemoryPresetSettings& DefaultPresetSettings();

// Finds a set's default file as the preset sets do at start-up: the file setting when it names
// an existing file; else `name` in the folder setting; else `name` in the folder "preset" of
// the program's folder, which then becomes the folder setting. The file setting keeps the path
// found. Empty (and the file setting cleared) when none of them exists.
std::string FindDefaultPresetFile(PresetSet set, const std::string& name);
// Clears the file setting of a set (its default file did not load).
void ForgetDefaultPresetFile(PresetSet set);

// The messages of the preset sets (UTF-8): "<set> could not be loaded / saved (err=code)" and
// "<missing> <items> could not be read".
void ShowPresetLoadFailure(const char* setWord, int32_t code);
void ShowPresetSaveFailure(const char* setWord, int32_t code);
void ShowPresetMissingCount(int32_t missing, const char* itemWord);

class Stream;
class MemoryStream;

// Reads a whole preset file into memory for a reader: 0, 4 when it does not exist, 6 when it
// cannot be opened or read.
uint8_t LoadPresetFile(const std::string& path, MemoryStream& contents);
// Saves a preset file through the atomic writer: the user's previous file is replaced only when
// the writer returns 0 and the new file reaches the disk. 5 when the file cannot be created,
// the writer's code when it fails, 8 when the finished file cannot be put in place; an
// exception in the writer gives 3 (1 for out of memory).
uint8_t SavePresetFile(const std::string& path, const std::function<uint8_t(Stream&)>& writer);

// Runs the preview file dialog of the kind (platform/FileDialog.h) starting with the folder and
// name of the set's file name; true with the chosen path.
bool RunPresetFileDialog(int32_t kind, const std::string& fileName, std::string& path);

// Whether a regular file exists at the path.
bool PresetFileExists(const std::string& path);

}  // namespace tf
