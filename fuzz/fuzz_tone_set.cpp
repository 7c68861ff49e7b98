// libFuzzer target: a tone set file (.tts) loaded replacing and appending; every entry read is
// made current (building its working copy) and sampled through the tone value of the writers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzQuiet.h"
#include "paint/ScreenTone.h"
#include "paint/ToneSet.h"
#include "platform/Stream.h"

namespace {

// The built-in tones are built once per process; every input starts from copies of them.
const tf::CToneMngr& Builtins() {
  static const tf::CToneMngr* set = [] {
    auto* s = new tf::CToneMngr();
    if (!s->AddBuiltinTones()) __builtin_trap();
    return s;
  }();
  return *set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  const CToneMngr& builtins = Builtins();
  for (bool append : {false, true}) {
    CToneMngr set;
    for (int32_t i = 0; i < builtins.Count(); ++i)
      if (set.Add(builtins.GetItem(i)->Clone()) < 0) __builtin_trap();
    MemoryStream stream(std::vector<uint8_t>(data, data + size));
    const uint8_t code = LoadToneSetFromStream(stream, "fuzz.tts", set, append);
    if (code != 0 && set.Count() != builtins.Count()) __builtin_trap();  // a failed load keeps the set
    if (code != 0) continue;
    // Only the entries the file brought: the built-ins' working copies are not under test.
    for (int32_t i = append ? builtins.Count() : 0; i < set.Count(); ++i) {
      set.SetCurrent(i);
      uint32_t sum = 0;
      for (int32_t y = -3; y < 3; ++y)
        for (int32_t x = -3; x < 3; ++x) sum += static_cast<uint32_t>(set.ToneValueAt(x * 97, y * 89, 255));
      (void)sum;
    }
  }
  return 0;
}
