// The floor checker: finds includes and forward declarations that reach above a folder's floor.
#pragma once
// Every folder of src/ sits on a floor (src/README.md). A source file may include headers of its
// own floor and of the floors below, and forward-declare only classes defined in those floors'
// headers. `<Q...>` headers (Qt) may be included only in ui/, palettes/ and any qt/ subfolder, and
// a file outside those places may not include a header inside them (it would pull Qt into tfcore).
//
// The checker reads the text only: `#include "..."` lines, `#include <Q...>` lines, column-0
// class and struct definitions in headers, and `class X;` / `struct X;` declarations. Comments
// are skipped. Paths are relative to the source root, with '/' separators.
#include <filesystem>
#include <string>
#include <vector>

namespace tf::floors {

// One source file: its path relative to the source root and its text.
struct SourceFile {
  std::string path;
  std::string text;
};

// An accepted exception: the file, and the include path or class name it may use.
struct Allowance {
  std::string path;
  std::string target;
};

struct Violation {
  std::string path;
  int line = 0;
  std::string target;  // the include path or class name
  std::string reason;
};

// The floor of a top-level folder, lowest 0; -1 for a folder that has none.
int FloorOf(const std::string& folder);
// The floor of a file: its folder's, but a qt/ subfolder (other than platform/qt) sits on the
// top floor, since its widgets derive from ui/ classes; core folders never include one.
int FloorOfFile(const std::string& path);

// True for files whose folder or subfolder may use Qt (ui/, palettes/, any qt/ subfolder).
bool IsQtPlace(const std::string& path);

// Every .h, .hpp, .cpp, .cc and .inl file under root, sorted by path.
std::vector<SourceFile> ReadSourceTree(const std::filesystem::path& root);

// The violations of files, in path and line order, leaving out the allowed ones.
std::vector<Violation> CheckFloors(const std::vector<SourceFile>& files,
                                   const std::vector<Allowance>& allowances = {});

// "path:line: target: reason", for test failure messages.
std::string Describe(const Violation& violation);

}  // namespace tf::floors
