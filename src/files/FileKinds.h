// File kinds: the filters, default extensions and extension tests of the file dialogs, and the
// kind of a path by its extension.
#pragma once
// Dialog kinds 0 to 18 fix a dialog's filter list ("text|pattern" pairs joined with "|"), its
// default extension and its class; a second numbering (0 to 10, GetFileKind) tells the reader or
// writer a path needs. All headless; the Qt dialogs (files/qt/) turn the filters into Qt's form
// with QtNameFilters.
#include <cstdint>
#include <string>
#include <vector>

namespace tf {

// Kind of a path by its extension (case-insensitive).
enum PathKind : int32_t {
  kPathOther = 0,
  kPathOldDocument = 1,  // .wpb
  kPathOldEvents = 2,    // .wpe
  kPathDocument = 3,     // .tfi
  kPathEvents2 = 4,      // .tes
  kPathEvents3 = 5,      // .te3 .ta3
  kPathEvents4 = 6,      // .te4 .ta4
  kPathBmp = 7,
  kPathJpeg = 8,  // .jpg .jpeg .jpe .jif .jfif .jfi
  kPathPng = 9,
  kPathPsd = 10,
};

// Classes of dialogs the kinds make.
enum class FileDialogClass : int32_t { kNone, kPreviewOpen, kPreviewSave, kOpen, kSave };

inline constexpr int32_t kLastFileDialogKind = 18;

// The filter list of a dialog kind; empty above 18 (or below 0).
std::string FilterForKind(int32_t kind);
// The default extension of a kind without its dot; empty above 18.
std::string DefaultExtForKind(int32_t kind);
// Whether an extension (with or without its dot, any case) belongs to the kind.
bool IsExtensionOfKind(const std::string& extension, int32_t kind);
// The path's kind by its extension.
PathKind GetFileKind(const std::string& path);
// The extension (with its dot) a save dialog of the kind gives the file name for its 1-based
// filter index; empty for another index or kind.
std::string SaveExtensionForFilter(int32_t kind, int32_t filterIndex);
// Kinds 8 to 15 and 17.
bool IsSaveKind(int32_t kind);
FileDialogClass DialogClassForKind(int32_t kind);
// The name with its extension replaced by ext (with its dot; empty removes the extension).
std::string ReplaceExtension(const std::string& name, const std::string& ext);

// A filter list as Qt name filters: "text (patterns)" with the patterns in both cases and
// separated by spaces, "*.*" as "*". Shown with HideNameFilterDetails, the text stands as given.
std::vector<std::string> QtNameFilters(const std::string& filterList);

}  // namespace tf
