#include "app/ToolCursors.h"

#include <filesystem>
#include <system_error>

#include "platform/Debug.h"

namespace tf {

namespace {
constexpr std::array<int16_t, 18> kPaintStandard = {12, 13, 14, 15, 16, 16, 17, 19, 20,
                                                    12, 13, 14, 15, 16, 17, 18, 19, 20};
constexpr std::array<int16_t, 33> kModeStandard = {5,  5,  5,  5,  5,  5,  5,  5,  5,  5,  5,
                                                   5,  21, 13, 5,  5,  5,  5,  5,  5,  22, 26,
                                                   26, 26, 26, 27, 27, 5,  28, 31, 31, 32, 33};

std::array<int16_t, 33> DetailModes() {
  std::array<int16_t, 33> m{};
  for (int32_t i = 0; i < 33; ++i) {
    if (i == 6)
      m[i] = 5;
    else if (i >= 21 && i <= 24)
      m[i] = 26;
    else if (i == 25 || i == 26)
      m[i] = 27;
    else if (i == 29 || i == 30)
      m[i] = 31;
    else if (i == 31)
      m[i] = 32;
    else if (i == 32)
      m[i] = 33;
    else
      m[i] = kCursorDetail;
  }
  return m;
}
}  // namespace

SToolCursorTables MakeToolCursorTables(int32_t drawToolCursor, int32_t otherToolCursor, const std::string& cursorFile,
                                       const CursorFileLoader& load) {
  SToolCursorTables t;
  t.paint = kPaintStandard;
  if (drawToolCursor == 1) {
    t.paint.fill(kCursorDetail);
  } else if (!cursorFile.empty()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(cursorFile, ec)) {
      if (load && load(cursorFile))
        t.paint.fill(kCursorFromFile);
      else
        DebugOutF("tool cursors: %s is not a cursor that can be read; using the standard cursors",
                  cursorFile.c_str());
    }
  }
  t.mode = otherToolCursor == 1 ? DetailModes() : kModeStandard;
  return t;
}

}  // namespace tf
