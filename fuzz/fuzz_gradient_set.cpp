// libFuzzer target: a gradient set file (.tgs) loaded replacing and appending into a set that
// already holds the built-in gradients; every entry read is made current and rendered once.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzQuiet.h"
#include "paint/GradientSet.h"
#include "platform/Stream.h"
#include "raster/ChunkStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  for (bool append : {false, true}) {
    CGradMngr set;
    set.AddBuiltinGradients();
    MemoryStream stream(std::vector<uint8_t>(data, data + size));
    const uint8_t code = LoadGradientSetFromStream(stream, "fuzz.tgs", set, append);
    // A failed load keeps the set; a walk stopped by a damaged chunk (9, 10) keeps what it read
    // before the damage, so the set changed only when that code comes with entries read.
    const bool walkStopped = code == kFileShortRead || code == kFileSeekFailed;
    if (code != 0 && !walkStopped && set.Count() != 4) __builtin_trap();
    for (int32_t i = 0; i < set.Count(); ++i) {
      set.SetCurrent(i);
      CGradation renderer(set.GetWorkingCopy()->Stops());
      renderer.SetLine(TPoint{0, 0}, TPoint{10 << 16, 3 << 16});
      (void)renderer.ColorAt(5, 1);
    }
  }
  return 0;
}
