// libFuzzer target: the settings object loaded from a hostile settings file.
//
// The bytes become the settings file of a scratch folder; a store loads it (a file the reader
// refuses ends the case) and a settings object reads every section from it: fileIO, config,
// color, paper, window and font, each value of any kind and any range. Whatever was read must
// be within the ranges the loaders promise: saving it and loading it again gives the same
// settings, value for value, and the counts that size tables stay within them.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzQuiet.h"
#include "FuzzScratch.h"
#include "app/AppProfile.h"
#include "platform/Registry.h"

namespace {

using namespace tf;

#define Fail(line) tf::fuzz::FailAt(__FILE__, line)

const std::string& Folder() {
  static const std::string folder = fuzz::MakeScratchFolder("app-profile");
  return folder;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Every key and value below path as lines, in the store's order.
void Dump(const CRegistry& store, const std::string& path, std::vector<std::string>& out) {
  out.push_back("K " + path);
  for (const std::string& name : store.ValueNames(path)) {
    std::string line = "V " + name + "=" + std::to_string(static_cast<int>(store.ValueKind(path, name))) + ":";
    int32_t dword = 0;
    std::string text;
    std::vector<uint8_t> binary;
    if (store.ReadDword(path, name, dword)) line += std::to_string(dword);
    if (store.ReadString(path, name, text)) line += text;
    if (store.ReadBinary(path, name, binary)) line.append(binary.begin(), binary.end());
    out.push_back(line);
  }
  for (const std::string& child : store.SubKeyNames(path)) Dump(store, path + "\\" + child, out);
}

void LoadSections(CAppProfile& profile) {
  if (!profile.LoadFileIO() || !profile.LoadConfig() || !profile.LoadColor() || !profile.LoadPaper() ||
      !profile.LoadWindow() || !profile.LoadFont())
    Fail(__LINE__);
}

void SaveSections(CAppProfile& profile) {
  if (!profile.SaveWindow() || !profile.SaveFileIO() || !profile.SaveConfig() || !profile.SaveColor() ||
      !profile.SavePaper() || !profile.SaveFont())
    Fail(__LINE__);
}

// The settings of the program's key only (what the sections hold), without the file around them.
std::vector<std::string> Settings(const CRegistry& store) {
  std::vector<std::string> lines;
  for (const char* section :
       {kSectionFileIO, kSectionConfig, kSectionColor, kSectionPaper, kSectionWindow, kSectionFont}) {
    Dump(store, CAppProfile::SectionPath(section), lines);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  CRegistry file(Folder());
  if (!WriteFile(file.FilePath(), data, size)) Fail(__LINE__);
  if (!file.Load()) Fail(__LINE__);
  ::unlink(file.FilePath().c_str());
  if (!file.DamagedCopy().empty()) {
    ::unlink(file.DamagedCopy().c_str());
    return 0;
  }

  CAppProfile first(&file);
  LoadSections(first);
  if (first.FloatFormCount < 0 || first.FloatFormCount > kFloatFormMax) Fail(__LINE__);
  if (first.FloatPaneTotal() < 0 || first.FloatPaneTotal() > kFloatPaneMax) Fail(__LINE__);

  // What was read, saved into a fresh store (no file: the folder is never made) ...
  CRegistry saved(Folder() + "/never");
  first.SetRegistry(&saved);
  SaveSections(first);
  const std::vector<std::string> once = Settings(saved);

  // ... reads back as the same settings and saves as the same values.
  CAppProfile second(&saved);
  LoadSections(second);
  CRegistry again(Folder() + "/never");
  second.SetRegistry(&again);
  SaveSections(second);
  if (Settings(again) != once) Fail(__LINE__);
  if (second.FloatFormCount != first.FloatFormCount || second.FloatPaneTotal() != first.FloatPaneTotal())
    Fail(__LINE__);
  return 0;
}
