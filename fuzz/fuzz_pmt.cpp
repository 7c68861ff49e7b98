// libFuzzer target: the brush set file (.pmt) read from arbitrary bytes.
//
// A set holding the nine default brushes reads the bytes as a replacing load. A load that fails
// must leave the set as it was; one that succeeds keeps its indexes inside the list, is written
// back and read again giving the same brushes, and every brush goes through the tool settings
// and back, so values from the file reach the conversions and the nib records too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "FuzzQuiet.h"
#include "paint/NibPreset.h"
#include "paint/PaintParam.h"
#include "paint/PenMethod.h"
#include "paint/PenMethodFile.h"
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
  tf::CPenMethodMngr set;
  set.AddMissingKinds();
  const uint8_t code = tf::ReadBrushSet(stream, set, false, "fuzz.pmt");
  if (code != 0) {
    EXPECT(set.Count() == 9 && set.HasAllKinds());
    return 0;
  }
  EXPECT(set.Count() >= 1 && set.IsValidIndex(set.GetCurrentIndex()));
  int32_t positions[tf::kStoredPositionCount];
  if (set.GetStoredPositions(positions)) {
    for (int32_t p : positions) EXPECT(set.IsValidIndex(p));
  }

  tf::MemoryStream written;
  EXPECT(tf::WriteBrushSet(written, set) == 0);
  written.Seek(0, tf::SeekOrigin::kBegin);
  tf::CPenMethodMngr again;
  EXPECT(tf::ReadBrushSet(written, again, false, "again.pmt") == 0);
  EXPECT(again.Count() == set.Count());

  for (int32_t i = 0; i < set.Count() && i < 16; ++i) {
    const tf::CPenMethodObj& a = *set.GetItem(i);
    const tf::CPenMethodObj& b = *again.GetItem(i);
    EXPECT(a.Name() == b.Name() && a.HasNib() == b.HasNib() && a.HasIcon() == b.HasIcon());
    bool made = false;
    auto settings = tf::TPaintParam::CreateFromPenMethod(&a, made);
    if (settings == nullptr) continue;
    tf::SNibShape shape;
    tf::SGradeMap profile;
    settings->GetNibShape(shape);
    settings->GetGradeMap(profile);
    EXPECT(shape.angle >= 0 && shape.angle < 3600);
    tf::CPenMethodObj copy;
    copy.SetNib(std::make_unique<tf::CPenShapeObj>());
    settings->SaveToPenMethod(&copy);
  }
  return 0;
}
