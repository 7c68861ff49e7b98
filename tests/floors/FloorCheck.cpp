#include "floors/FloorCheck.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

namespace tf::floors {

namespace {

// Lowest first; app, ui and palettes share the top floor.
const std::map<std::string, int>& FloorTable() {
  static const std::map<std::string, int> table = {
      {"platform", 0}, {"raster", 1},   {"document", 2}, {"paint", 3}, {"events", 4}, {"paper", 5},
      {"filters", 6},  {"playback", 7}, {"files", 8},    {"app", 9},   {"ui", 9},     {"palettes", 9},
  };
  return table;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(path);
  while (std::getline(in, part, '/')) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::string FirstComponent(const std::string& path) {
  std::vector<std::string> parts = SplitPath(path);
  return parts.size() > 1 ? parts.front() : std::string();
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// "a/b/../c.h" -> "a/c.h"; "./x.h" -> "x.h".
std::string Normalise(const std::string& path) {
  std::vector<std::string> out;
  for (const std::string& part : SplitPath(path)) {
    if (part == ".") continue;
    if (part == ".." && !out.empty() && out.back() != "..") {
      out.pop_back();
    } else {
      out.push_back(part);
    }
  }
  std::string joined;
  for (const std::string& part : out) joined += (joined.empty() ? "" : "/") + part;
  return joined;
}

bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The text with every comment replaced by spaces (newlines kept, so line numbers stay). String
// and character literals are stepped over so that "//" or "/*" inside them starts no comment.
std::string StripComments(const std::string& text) {
  std::string out = text;
  size_t i = 0;
  const size_t n = text.size();
  auto blank = [&](size_t from, size_t to) {
    for (size_t k = from; k < to && k < n; ++k) {
      if (out[k] != '\n') out[k] = ' ';
    }
  };
  while (i < n) {
    char c = text[i];
    if (c == '/' && i + 1 < n && text[i + 1] == '/') {
      size_t end = text.find('\n', i);
      if (end == std::string::npos) end = n;
      blank(i, end);
      i = end;
    } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      size_t end = text.find("*/", i + 2);
      end = end == std::string::npos ? n : end + 2;
      blank(i, end);
      i = end;
    } else if (c == 'R' && i + 1 < n && text[i + 1] == '"' &&
               (i == 0 || !IsIdentifierChar(text[i - 1]) || text[i - 1] == '8' || text[i - 1] == 'u' ||
                text[i - 1] == 'U' || text[i - 1] == 'L')) {
      // Raw string: R"delim( ... )delim"
      size_t open = text.find('(', i + 2);
      if (open == std::string::npos) break;
      std::string closing = ")" + text.substr(i + 2, open - (i + 2)) + "\"";
      size_t end = text.find(closing, open + 1);
      i = end == std::string::npos ? n : end + closing.size();
    } else if (c == '"' || (c == '\'' && (i == 0 || !IsIdentifierChar(text[i - 1])))) {
      size_t k = i + 1;
      while (k < n && text[k] != c && text[k] != '\n') {
        k += text[k] == '\\' ? 2 : 1;
      }
      i = k + 1;
    } else {
      ++i;
    }
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

bool IsHeader(const std::string& path) {
  auto ends = [&](const char* suffix) {
    std::string s(suffix);
    return path.size() >= s.size() && path.compare(path.size() - s.size(), s.size(), s) == 0;
  };
  return ends(".h") || ends(".hpp") || ends(".inl");
}

const std::regex& QuotedInclude() {
  static const std::regex re(R"(^\s*#\s*include\s*"([^"]+)\")");
  return re;
}
const std::regex& QtInclude() {
  static const std::regex re(R"(^\s*#\s*include\s*<(Q[^>]*)>)");
  return re;
}
const std::regex& ForwardDeclaration() {
  static const std::regex re(R"(^\s*(?:class|struct)\s+([A-Za-z_]\w*)\s*;)");
  return re;
}
const std::regex& Definition() {
  static const std::regex re(R"(^(?:class|struct)\s+([A-Za-z_]\w*)\s*(?:final\s*)?(?::[^{;]*)?\{)");
  return re;
}

}  // namespace

int FloorOf(const std::string& folder) {
  auto it = FloorTable().find(folder);
  return it == FloorTable().end() ? -1 : it->second;
}

bool IsQtPlace(const std::string& path) {
  std::vector<std::string> parts = SplitPath(path);
  if (parts.size() < 2) return false;
  if (parts[0] == "ui" || parts[0] == "palettes") return true;
  return std::find(parts.begin(), parts.end() - 1, "qt") != parts.end() - 1;
}

int FloorOfFile(const std::string& path) {
  const std::string folder = FirstComponent(path);
  const int floor = FloorOf(folder);
  if (floor < 0 || folder == "platform" || !IsQtPlace(path)) return floor;
  int top = 0;
  for (const auto& [name, level] : FloorTable()) top = std::max(top, level);
  return top;
}

std::vector<SourceFile> ReadSourceTree(const std::filesystem::path& root) {
  static const std::set<std::string> kExtensions = {".h", ".hpp", ".cpp", ".cc", ".inl"};
  std::vector<SourceFile> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || kExtensions.count(entry.path().extension().string()) == 0) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    files.push_back({entry.path().lexically_relative(root).generic_string(), text.str()});
  }
  std::sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) { return a.path < b.path; });
  return files;
}

std::vector<Violation> CheckFloors(const std::vector<SourceFile>& files,
                                   const std::vector<Allowance>& allowances) {
  std::set<std::string> paths;
  for (const SourceFile& file : files) paths.insert(file.path);

  // The lowest floor that defines each class name (in a header, at column 0).
  std::map<std::string, int> classFloor;
  std::vector<std::vector<std::string>> strippedLines;
  for (const SourceFile& file : files) {
    strippedLines.push_back(Lines(StripComments(file.text)));
    int floor = FloorOfFile(file.path);
    if (!IsHeader(file.path) || floor < 0) continue;
    for (const std::string& line : strippedLines.back()) {
      std::smatch match;
      if (!std::regex_search(line, match, Definition())) continue;
      auto [it, added] = classFloor.emplace(match[1].str(), floor);
      if (!added) it->second = std::min(it->second, floor);
    }
  }

  std::vector<Violation> found;
  auto report = [&](const std::string& path, int line, const std::string& target, const std::string& reason) {
    for (const Allowance& allowed : allowances) {
      if (allowed.path == path && allowed.target == target) return;
    }
    found.push_back({path, line, target, reason});
  };

  for (size_t f = 0; f < files.size(); ++f) {
    const std::string& path = files[f].path;
    const std::string folder = FirstComponent(path);
    const int floor = FloorOfFile(path);
    const bool qtPlace = IsQtPlace(path);
    if (floor < 0) {
      report(path, 0, folder, "the folder has no floor");
      continue;
    }
    const std::vector<std::string>& lines = strippedLines[f];
    for (size_t l = 0; l < lines.size(); ++l) {
      const int lineNumber = static_cast<int>(l) + 1;
      std::smatch match;
      if (std::regex_search(lines[l], match, QtInclude())) {
        if (!qtPlace) {
          report(path, lineNumber, match[1].str(), "Qt header outside ui/, palettes/ and qt/ folders");
        }
      } else if (std::regex_search(lines[l], match, QuotedInclude())) {
        std::string target = match[1].str();
        // Next to the including file first, then from the source root.
        std::string besideFile = Normalise(DirectoryOf(path) + "/" + target);
        std::string resolved = paths.count(besideFile) ? besideFile : Normalise(target);
        int targetFloor = FloorOfFile(resolved);
        if (targetFloor < 0) continue;  // not a header of src/ (a system or generated one)
        if (targetFloor > floor) {
          report(path, lineNumber, target, "includes a header above the floor of " + folder + "/");
        } else if (!qtPlace && IsQtPlace(resolved)) {
          report(path, lineNumber, target, "includes a Qt-side header outside ui/, palettes/ and qt/ folders");
        }
      } else if (std::regex_search(lines[l], match, ForwardDeclaration())) {
        auto it = classFloor.find(match[1].str());
        if (it != classFloor.end() && it->second > floor) {
          report(path, lineNumber, match[1].str(),
                 "forward-declares a class defined above the floor of " + folder + "/");
        }
      }
    }
  }
  std::sort(found.begin(), found.end(), [](const Violation& a, const Violation& b) {
    return std::tie(a.path, a.line, a.target) < std::tie(b.path, b.line, b.target);
  });
  return found;
}

std::string Describe(const Violation& violation) {
  return violation.path + ":" + std::to_string(violation.line) + ": " + violation.target + ": " +
         violation.reason;
}

}  // namespace tf::floors
