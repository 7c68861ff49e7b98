// libFuzzer target: the pen settings of every pen type read from a hostile settings file.
//
// The bytes become the settings file of a scratch folder; a store loads it (a file the reader
// refuses ends the case) and the pen setting of every type is read from its key (slots 0 and 1),
// each value of any kind and any range. A record read whole is written into a fresh store and
// read again, giving the same bytes; handed to a stroke, its width, gamma, opacity and spacing
// stay within the ranges the stroke promises, NaN and infinities included.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzQuiet.h"
#include "FuzzScratch.h"
#include "paint/PenSetting.h"
#include "paint/Stroke.h"
#include "platform/Registry.h"

namespace {

using namespace tf;

#define Fail(line) tf::fuzz::FailAt(__FILE__, line)

const std::string& Folder() {
  static const std::string folder = fuzz::MakeScratchFolder("pen-setting");
  return folder;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

bool Within(float x, float low, float high) { return std::isfinite(x) && x >= low && x <= high; }

void CheckRecord(uint8_t type, const SPenSetting& read) {
  // Written into a fresh store (no file: the folder is never made) and read again: the same bytes.
  CRegistry fresh(Folder() + "/never");
  CRegistryKey out(&fresh);
  if (!out.OpenKey("\\" + std::string(kRegistryRoot) + "\\pen", true)) Fail(__LINE__);
  if (!WritePenSetting(out, read)) Fail(__LINE__);
  SPenSetting again;
  std::memset(&again, 0, sizeof again);
  InitPenSetting(again, type);
  if (!ReadPenSetting(out, again)) Fail(__LINE__);
  if (std::memcmp(&again, &read, sizeof read) != 0) Fail(__LINE__);

  // A stroke holds the clamped values whatever the file said.
  TStroke stroke(0);
  stroke.SetPenSetting(read);
  if (!Within(stroke.GetWidth(), 0.1f, 200.0f)) Fail(__LINE__);
  if (!Within(stroke.GetGamma(), 0.01f, 6.0f)) Fail(__LINE__);
  if (!Within(stroke.GetStoredOpacity(), 0.01f, 1.0f)) Fail(__LINE__);
  if (!Within(stroke.GetStoredSpacing(), 0.02f, 2.0f)) Fail(__LINE__);
  SPenSetting back;
  stroke.GetPenSetting(back);
  if (back.ifSize > 1 || back.ifTransparency > 1 || back.ifEdge > 1 || back.useTone > 1 || back.useGradation > 1)
    Fail(__LINE__);
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
  for (uint8_t type = 0; type < kPenTypeCount; ++type) {
    for (int32_t slot = 0; slot < 2; ++slot) {
      std::string path;
      if (!PenSettingKey(type, slot, std::string(kRegistryRoot), path)) Fail(__LINE__);
      CRegistryKey key(&file);
      if (!key.OpenKey("\\" + path, false)) continue;
      SPenSetting read;
      std::memset(&read, 0, sizeof read);
      InitPenSetting(read, type);
      if (ReadPenSetting(key, read)) CheckRecord(type, read);
    }
  }
  return 0;
}
