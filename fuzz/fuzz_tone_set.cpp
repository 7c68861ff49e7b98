// libFuzzer target: a tone set file (.tts) loaded replacing and appending; every entry read is
// made current (building its working copy) and sampled through the tone value of the writers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "paint/ToneSet.h"
#include "platform/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tf;
  for (bool append : {false, true}) {
    CToneMngr set;
    set.AddBuiltinTones();
    MemoryStream stream(std::vector<uint8_t>(data, data + size));
    const uint8_t code = LoadToneSetFromStream(stream, "fuzz.tts", set, append);
    if (code != 0 && set.Count() != 2) __builtin_trap();  // a failed load keeps the set
    for (int32_t i = 0; i < set.Count(); ++i) {
      set.SetCurrent(i);
      uint32_t sum = 0;
      for (int32_t y = -3; y < 3; ++y)
        for (int32_t x = -3; x < 3; ++x) sum += static_cast<uint32_t>(set.ToneValueAt(x * 97, y * 89, 255));
      (void)sum;
    }
  }
  return 0;
}
