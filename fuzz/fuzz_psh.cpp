// libFuzzer target: the nib set file (.psh) read from arbitrary bytes.
//
// A set holding the built-in nibs reads the bytes as a replacing load. A load that fails must
// leave the set as it was; one that succeeds is written back and read again, giving the same
// nibs, and every nib it read is rasterised (parametric nibs as ellipses, image nibs as they are),
// so values from the file reach the footprint code too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "FuzzQuiet.h"
#include "paint/FalloffMap.h"
#include "paint/NibPreset.h"
#include "paint/NibSetFile.h"
#include "paint/NibShape.h"
#include "platform/Stream.h"
#include "platform/Warning.h"

namespace {

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}
#define EXPECT(condition)             \
  do {                                \
    if (!(condition)) Fail(__LINE__); \
  } while (0)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  tf::MemoryStream stream(std::vector<uint8_t>(data, data + size));
  tf::CPenShapeMngr set;
  set.UseBuiltins();
  const uint8_t code = tf::ReadNibSet(stream, set, false, "fuzz.psh");
  if (code != 0) {
    EXPECT(set.Count() == tf::kBuiltinNibCount);
    return 0;
  }
  EXPECT(set.Count() >= 1 && set.IsValidIndex(set.GetCurrentIndex()));

  tf::MemoryStream written;
  EXPECT(tf::WriteNibSet(written, set) == 0);
  written.Seek(0, tf::SeekOrigin::kBegin);
  tf::CPenShapeMngr again;
  EXPECT(tf::ReadNibSet(written, again, false, "again.psh") == 0);
  EXPECT(again.Count() == set.Count());

  tf::CGradeMapObj map(tf::kFalloffEntries);
  tf::CPenShape shape(&map);
  shape.SetAntialias(true);
  for (int32_t i = 0; i < set.Count() && i < 8; ++i) {
    const tf::CPenShapeObj& a = *set.GetItem(i);
    const tf::CPenShapeObj& b = *again.GetItem(i);
    EXPECT(a.Profile().Equal(b.Profile()) && a.Shape().Equal(b.Shape()) && a.Flag() == b.Flag());
    EXPECT(a.IsBitmapNib() == b.IsBitmapNib() && a.Name() == b.Name());
    map.SetProfile(a.Profile());
    if (a.IsBitmapNib()) {
      shape.SetImageNib(&a, true);
    } else {
      const int64_t radius = int64_t{a.Shape().size} * 65536 / 100;
      if (radius <= (64 << 16))
        shape.SetEllipse(static_cast<int32_t>(radius), a.Shape().aspect / 10, a.Shape().angle / 10);
    }
  }
  return 0;
}
