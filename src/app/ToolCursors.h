// The tool cursor tables the document window reads: a cursor number per paint kind and per draw
// mode, chosen by the cursor settings.
#pragma once
// Numbers are slots of the application's cursor list: 5..37 the built-in cursors, 38 the cursor
// loaded from the settings' CursorFile.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tf {

inline constexpr int16_t kCursorFromFile = 38;
inline constexpr int16_t kCursorDetail = 34;

struct SToolCursorTables {
  std::array<int16_t, 18> paint{};
  std::array<int16_t, 33> mode{};
};

// Loads the cursor file into slot 38; false when it cannot be read as a cursor.
using CursorFileLoader = std::function<bool(const std::string& path)>;

// drawToolCursor 1: the detail cursor for every paint kind; otherwise an existing cursorFile
// that loads gives slot 38 for all of them, and one that exists but does not load leaves the
// standard row (said on developer output). otherToolCursor 1: the detail cursors by mode.
SToolCursorTables MakeToolCursorTables(int32_t drawToolCursor, int32_t otherToolCursor, const std::string& cursorFile,
                                       const CursorFileLoader& load);

}  // namespace tf
