#include "platform/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <set>
#include <unordered_map>

#include "platform/Debug.h"
#include "platform/Stream.h"
#include "platform/Text.h"

namespace tf {
namespace {

// ---------------------------------------------------------------------------------------------
// Names

constexpr std::string_view kRootParts[] = {"Software", "Quillmarsh", "Tintaframe4 Plus"};
constexpr std::string_view kFileMagic = "TF4REG 1";
// An editor may put a UTF-8 byte order mark in front of the file.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// A settings file larger than this is not ours.
constexpr size_t kMaxFileBytes = 64u << 20;

// Case folding of registry names: ASCII letters only, and never the trail byte of a code page
// 932 double-byte character (those bytes overlap the ASCII letters).
std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (size_t i = 0; i < folded.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(folded[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
      continue;
    }
    if (c >= 'A' && c <= 'Z') folded[i] = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldName(a) == FoldName(b);
}

bool UsableKeyName(std::string_view name) {
  return !name.empty() && name.size() <= kRegMaxKeyName &&
         name.find('\0') == std::string_view::npos && name.find('\\') == std::string_view::npos;
}

bool UsableValueName(std::string_view name) {
  return name.size() <= kRegMaxValueName && name.find('\0') == std::string_view::npos;
}

// Splits a path relative to HKEY_CURRENT_USER into the parts below the program's key.
// False for paths outside it or with empty or unusable parts.
bool SplitPath(std::string_view path, std::vector<std::string_view>& parts) {
  parts.clear();
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return false;
  std::vector<std::string_view> all;
  size_t start = 0;
  while (true) {
    size_t end = path.find('\\', start);
    std::string_view part =
        path.substr(start, end == std::string_view::npos ? path.npos : end - start);
    if (!UsableKeyName(part)) return false;
    all.push_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (all.size() < 3 || all.size() > 3 + kRegMaxDepth) return false;
  for (size_t i = 0; i < 3; ++i) {
    if (!SameName(all[i], kRootParts[i])) return false;
  }
  parts.assign(all.begin() + 3, all.end());
  return true;
}

// ---------------------------------------------------------------------------------------------
// The tree

struct RegValue {
  std::string name;
  RegValueKind kind = RegValueKind::kNone;
  std::string data;  // dword: 4 bytes little-endian; string: its bytes; binary: its bytes
};

bool SameValue(const RegValue& a, const RegValue& b) {
  return a.name == b.name && a.kind == b.kind && a.data == b.data;
}

struct RegKeyNode {
  std::string name;
  std::vector<RegValue> values;
  std::vector<std::unique_ptr<RegKeyNode>> children;
  bool recreated = false;  // deleted and made again since the last read or save
  // Positions by folded name, so that a large file does not make every lookup a scan.
  std::unordered_map<std::string, size_t> valueAt;
  std::unordered_map<std::string, size_t> childAt;

  const RegValue* FindValue(std::string_view n) const {
    auto it = valueAt.find(FoldName(n));
    return it == valueAt.end() ? nullptr : &values[it->second];
  }
  RegValue* FindValue(std::string_view n) {
    return const_cast<RegValue*>(static_cast<const RegKeyNode*>(this)->FindValue(n));
  }
  const RegKeyNode* FindChild(std::string_view n) const {
    auto it = childAt.find(FoldName(n));
    return it == childAt.end() ? nullptr : children[it->second].get();
  }
  RegKeyNode* FindChild(std::string_view n) {
    return const_cast<RegKeyNode*>(static_cast<const RegKeyNode*>(this)->FindChild(n));
  }
  RegKeyNode& FindOrAddChild(std::string_view n) {
    if (RegKeyNode* c = FindChild(n)) return *c;
    auto node = std::make_unique<RegKeyNode>();
    node->name = std::string(n);
    childAt.emplace(FoldName(n), children.size());
    children.push_back(std::move(node));
    return *children.back();
  }
  // True when the data changed or the value is new.
  bool SetValue(const RegValue& value) {
    if (RegValue* v = FindValue(value.name)) {
      if (v->kind == value.kind && v->data == value.data) return false;
      v->kind = value.kind;
      v->data = value.data;
      return true;
    }
    valueAt.emplace(FoldName(value.name), values.size());
    values.push_back(value);
    return true;
  }
  bool RemoveValue(std::string_view n) {
    auto it = valueAt.find(FoldName(n));
    if (it == valueAt.end()) return false;
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(it->second));
    valueAt.clear();
    for (size_t i = 0; i < values.size(); ++i) valueAt.emplace(FoldName(values[i].name), i);
    return true;
  }
  bool RemoveChild(std::string_view n) {
    auto it = childAt.find(FoldName(n));
    if (it == childAt.end()) return false;
    children.erase(children.begin() + static_cast<std::ptrdiff_t>(it->second));
    childAt.clear();
    for (size_t i = 0; i < children.size(); ++i) childAt.emplace(FoldName(children[i]->name), i);
    return true;
  }
  std::unique_ptr<RegKeyNode> Clone() const {
    auto copy = std::make_unique<RegKeyNode>();
    copy->name = name;
    copy->values = values;
    copy->valueAt = valueAt;
    for (const auto& c : children) copy->children.push_back(c->Clone());
    copy->childAt = childAt;
    return copy;
  }
};

bool DeepEqual(const RegKeyNode& a, const RegKeyNode& b) {
  if (a.name != b.name || a.values.size() != b.values.size() ||
      a.children.size() != b.children.size()) {
    return false;
  }
  for (size_t i = 0; i < a.values.size(); ++i) {
    if (!SameValue(a.values[i], b.values[i])) return false;
  }
  for (size_t i = 0; i < a.children.size(); ++i) {
    if (!DeepEqual(*a.children[i], *b.children[i])) return false;
  }
  return true;
}

void ReplaceContents(RegKeyNode& target, const RegKeyNode& source) {
  target.values = source.values;
  target.valueAt = source.valueAt;
  target.children.clear();
  for (const auto& c : source.children) target.children.push_back(c->Clone());
  target.childAt = source.childAt;
}

// Applies what changed from base to current onto merged (the file as read now).
void ApplyChanges(const RegKeyNode* base, const RegKeyNode& current, RegKeyNode& merged) {
  if (current.recreated) {
    if (!base || !DeepEqual(*base, current)) ReplaceContents(merged, current);
    return;
  }
  for (const RegValue& v : current.values) {
    const RegValue* old = base ? base->FindValue(v.name) : nullptr;
    if (!old || old->kind != v.kind || old->data != v.data) merged.SetValue(v);
  }
  if (base) {
    for (const RegValue& v : base->values) {
      if (!current.FindValue(v.name)) merged.RemoveValue(v.name);
    }
  }
  for (const auto& child : current.children) {
    const RegKeyNode* oldChild = base ? base->FindChild(child->name) : nullptr;
    ApplyChanges(oldChild, *child, merged.FindOrAddChild(child->name));
  }
  if (base) {
    for (const auto& child : base->children) {
      if (!current.FindChild(child->name)) merged.RemoveChild(child->name);
    }
  }
}

std::unique_ptr<RegKeyNode> NewRoot() {
  auto root = std::make_unique<RegKeyNode>();
  root->name = std::string(kRootParts[2]);
  return root;
}

// ---------------------------------------------------------------------------------------------
// Text form

const char kHex[] = "0123456789abcdef";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendKeyPart(std::string& out, std::string_view part) {
  for (unsigned char c : part) {
    if (c >= 0x20 && c < 0x7F && c != '%' && c != '[' && c != ']' && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  out.push_back('"');
}

bool IsCp932TrailByte(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x40 && u <= 0xFC && u != 0x7F;
}

bool HasHighBytes(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return true;
  }
  return false;
}

int32_t DwordOf(const std::string& data) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[i]);
  return static_cast<int32_t>(v);
}

std::string DwordData(int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return data;
}

double DoubleOf(const std::string& data) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(data[i]);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void AppendValue(std::string& out, const RegValue& v) {
  AppendQuoted(out, v.name);
  switch (v.kind) {
    case RegValueKind::kDword: {
      char buffer[24];
      std::snprintf(buffer, sizeof buffer, "=dword:%" PRId32, DwordOf(v.data));
      out += buffer;
      break;
    }
    case RegValueKind::kString:
      out += "=string:";
      AppendQuoted(out, v.data);
      if (HasHighBytes(v.data)) {
        // A readable copy for people; the reader ignores comments.
        std::string shown = Cp932ToUtf8(v.data);
        for (char& c : shown) {
          if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
        }
        out += " ; ";
        out += shown;
      }
      break;
    case RegValueKind::kBinary:
    case RegValueKind::kNone:
      out += "=binary:";
      for (unsigned char c : v.data) {
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 15]);
      }
      if (v.data.size() == 8) {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, " ; double %.17g", DoubleOf(v.data));
        out += buffer;
      }
      break;
  }
  out.push_back('\n');
}

void AppendKey(std::string& out, const RegKeyNode& node, std::string& path) {
  out.push_back('\n');
  out.push_back('[');
  out += path;
  out += "]\n";
  for (const RegValue& v : node.values) AppendValue(out, v);
  for (const auto& child : node.children) {
    size_t length = path.size();
    path.push_back('\\');
    AppendKeyPart(path, child->name);
    AppendKey(out, *child, path);
    path.resize(length);
  }
}

std::string Serialize(const RegKeyNode& root) {
  std::string out(kFileMagic);
  out +=
      "\n; Settings of Tintaframe4 Plus: the key HKEY_CURRENT_USER\\Software\\Quillmarsh\\"
      "Tintaframe4 Plus and its subkeys.\n"
      "; Strings are code page 932 bytes (\\xHH escapes a byte); floating-point values are 8-byte\n"
      "; little-endian doubles.\n";
  std::string path;
  for (size_t i = 0; i < 3; ++i) {
    if (i) path.push_back('\\');
    AppendKeyPart(path, kRootParts[i]);
  }
  AppendKey(out, root, path);
  return out;
}

class LineParser {
 public:
  explicit LineParser(std::string_view line) : s_(line) {}
  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }
  bool Take(char c) {
    if (Peek() != c || AtEnd()) return false;
    ++pos_;
    return true;
  }
  void SkipBlanks() {
    while (!AtEnd() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  // Only blanks and an optional comment may follow.
  bool RestIsComment() {
    SkipBlanks();
    return AtEnd() || s_[pos_] == ';';
  }
  bool Quoted(std::string& out) {
    out.clear();
    if (!Take('"')) return false;
    while (!AtEnd()) {
      unsigned char c = static_cast<unsigned char>(s_[pos_++]);
      if (c == '"') return true;
      // A double-byte character typed as it is: its second byte may be '\\'.
      if (IsCp932LeadByte(c) && !AtEnd() && IsCp932TrailByte(s_[pos_])) {
        out.push_back(static_cast<char>(c));
        out.push_back(s_[pos_++]);
        continue;
      }
      if (c == '\\') {
        if (AtEnd()) return false;
        char e = s_[pos_++];
        if (e == '\\' || e == '"') {
          out.push_back(e);
        } else if (e == 'x') {
          if (pos_ + 2 > s_.size()) return false;
          int hi = HexDigit(s_[pos_]), lo = HexDigit(s_[pos_ + 1]);
          if (hi < 0 || lo < 0) return false;
          out.push_back(static_cast<char>(hi * 16 + lo));
          pos_ += 2;
        } else {
          return false;
        }
      } else if (c < 0x20 || c == 0x7F) {
        return false;
      } else {
        out.push_back(static_cast<char>(c));
      }
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }
  bool Decimal(int32_t& value) {
    bool negative = Take('-');
    int64_t v = 0;
    size_t digits = 0;
    while (!AtEnd() && s_[pos_] >= '0' && s_[pos_] <= '9') {
      v = v * 10 + (s_[pos_++] - '0');
      if (++digits > 10) return false;
    }
    if (digits == 0) return false;
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
  }
  bool HexBytes(std::string& out) {
    out.clear();
    while (!AtEnd() && HexDigit(s_[pos_]) >= 0) {
      if (pos_ + 1 >= s_.size()) return false;
      int hi = HexDigit(s_[pos_]), lo = HexDigit(s_[pos_ + 1]);
      if (lo < 0) return false;
      out.push_back(static_cast<char>(hi * 16 + lo));
      pos_ += 2;
    }
    return true;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

// Decodes one key-name part of a key line.
bool DecodeKeyPart(std::string_view raw, std::string& out) {
  out.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(raw[i]);
    if (c == '%') {
      if (i + 2 >= raw.size()) return false;
      int hi = HexDigit(raw[i + 1]), lo = HexDigit(raw[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else if (c < 0x20 || c == 0x7F || c == '[' || c == ']') {
      return false;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return UsableKeyName(out);
}

// Parses the text form into root; false when the text is not a well-formed settings file.
bool Parse(std::string_view text, RegKeyNode& root) {
  if (text.substr(0, kUtf8Mark.size()) == kUtf8Mark) text.remove_prefix(kUtf8Mark.size());
  if (text.empty()) return true;
  if (text.find('\0') != std::string_view::npos) return false;
  RegKeyNode* key = nullptr;
  bool first = true;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line =
        text.substr(start, end == std::string_view::npos ? text.npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != kFileMagic) return false;
      first = false;
      continue;
    }
    size_t lead = line.find_first_not_of(" \t");
    if (lead == std::string_view::npos) continue;
    line.remove_prefix(lead);
    if (line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      if (close == std::string_view::npos) return false;
      LineParser rest(line.substr(close + 1));
      if (!rest.RestIsComment()) return false;
      std::string_view raw = line.substr(1, close - 1);
      std::vector<std::string> parts;
      size_t p = 0;
      while (true) {
        size_t q = raw.find('\\', p);
        std::string part;
        if (!DecodeKeyPart(raw.substr(p, q == std::string_view::npos ? raw.npos : q - p), part)) {
          return false;
        }
        parts.push_back(std::move(part));
        if (q == std::string_view::npos) break;
        p = q + 1;
      }
      if (parts.size() < 3 || parts.size() > 3 + kRegMaxDepth) return false;
      for (size_t i = 0; i < 3; ++i) {
        if (!SameName(parts[i], kRootParts[i])) return false;
      }
      key = &root;
      for (size_t i = 3; i < parts.size(); ++i) key = &key->FindOrAddChild(parts[i]);
      continue;
    }
    if (line.front() != '"' || !key) return false;
    LineParser in(line);
    RegValue value;
    if (!in.Quoted(value.name) || !UsableValueName(value.name)) return false;
    if (!in.Take('=')) return false;
    if (in.Word("dword:")) {
      int32_t v;
      if (!in.Decimal(v)) return false;
      value.kind = RegValueKind::kDword;
      value.data = DwordData(v);
    } else if (in.Word("string:")) {
      if (!in.Quoted(value.data)) return false;
      if (value.data.find('\0') != std::string::npos) return false;
      value.kind = RegValueKind::kString;
    } else if (in.Word("binary:")) {
      if (!in.HexBytes(value.data)) return false;
      value.kind = RegValueKind::kBinary;
    } else {
      return false;
    }
    if (!in.RestIsComment()) return false;
    key->SetValue(value);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Files

enum class ReadResult { kMissing, kRead, kTooLarge, kError };

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kError;
  ReadResult result = ReadResult::kRead;
  char buffer[65536];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      result = ReadResult::kError;
      break;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > kMaxFileBytes) {
      result = ReadResult::kTooLarge;
      break;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return result;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FolderExists(const std::string& folder) {
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Exclusive lock on the folder's lock file for the lifetime of the object. A lock that cannot
// be had (no such folder, a file system without locks) leaves the object unlocked.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) {
    std::string path = folder + "/" + std::string(kRegistryLockName);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        DebugOutF("CRegistry: cannot lock %s (errno %d)\n", path.c_str(), errno);
        break;
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// Moves a damaged file aside without replacing an earlier copy. Returns the new name, or empty.
std::string MoveAside(const std::string& file) {
  time_t now = ::time(nullptr);
  struct tm t;
  ::gmtime_r(&now, &t);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &t);
  for (int n = 0; n < 1000; ++n) {
    std::string aside = file + ".damaged-" + stamp;
    if (n) aside += "-" + std::to_string(n);
    if (::link(file.c_str(), aside.c_str()) == 0) {
      ::unlink(file.c_str());
      return aside;
    }
    if (errno == EEXIST) continue;
    // File systems without hard links: rename onto a name that does not exist yet.
    struct stat st;
    if (::lstat(aside.c_str(), &st) == 0) continue;
    if (::rename(file.c_str(), aside.c_str()) == 0) return aside;
    return std::string();
  }
  return std::string();
}

bool SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0 || errno == EINVAL;
  ::close(fd);
  return ok;
}

// Writes bytes to a temporary file in the folder, syncs it and renames it over target.
bool ReplaceFile(const std::string& folder, const std::string& target, const std::string& bytes) {
  std::string pattern = target + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    DebugOutF("CRegistry: cannot create a temporary file in %s (errno %d)\n", folder.c_str(),
              errno);
    return false;
  }
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(name.data(), target.c_str()) == 0;
  if (!ok) {
    DebugOutF("CRegistry: cannot write %s (errno %d)\n", target.c_str(), errno);
    ::unlink(name.data());
    return false;
  }
  SyncFolder(folder);
  return true;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd pw;
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir) {
    return found->pw_dir;
  }
  return "/tmp";
}

std::unique_ptr<CRegistry> g_instance;

}  // namespace

// ---------------------------------------------------------------------------------------------

struct CRegistry::Impl {
  std::string folder;
  std::unique_ptr<RegKeyNode> base = NewRoot();     // as last read or saved
  std::unique_ptr<RegKeyNode> current = NewRoot();  // as this process sees it
  std::set<std::string> deleted;                    // folded paths of keys deleted since
  bool changed = false;
  std::string damagedCopy;

  std::string File() const { return folder + "/" + std::string(kRegistryFileName); }

  const RegKeyNode* Find(std::string_view path) const {
    std::vector<std::string_view> parts;
    if (!SplitPath(path, parts)) return nullptr;
    const RegKeyNode* node = current.get();
    for (std::string_view part : parts) {
      node = node->FindChild(part);
      if (!node) return nullptr;
    }
    return node;
  }
  RegKeyNode* Find(std::string_view path) {
    return const_cast<RegKeyNode*>(static_cast<const Impl*>(this)->Find(path));
  }

  // Reads the file into a tree. Damaged files are moved aside. kError: cannot read.
  enum class Got { kEmpty, kTree, kDamaged, kError };
  Got ReadTree(std::unique_ptr<RegKeyNode>& tree) {
    tree = NewRoot();
    std::string bytes;
    ReadResult r = ReadWholeFile(File(), bytes);
    if (r == ReadResult::kMissing) return Got::kEmpty;
    if (r == ReadResult::kError) {
      DebugOutF("CRegistry: cannot read %s (errno %d)\n", File().c_str(), errno);
      return Got::kError;
    }
    if (r == ReadResult::kRead && Parse(bytes, *tree)) return Got::kTree;
    tree = NewRoot();
    damagedCopy = MoveAside(File());
    DebugOutF("CRegistry: damaged settings file %s moved to %s\n", File().c_str(),
              damagedCopy.empty() ? "(nowhere)" : damagedCopy.c_str());
    return Got::kDamaged;
  }

  bool WriteValue(std::string_view path, std::string_view name, RegValueKind kind,
                  std::string data) {
    RegKeyNode* node = Find(path);
    if (!node || !UsableValueName(name)) return false;
    RegValue v;
    v.name = std::string(name);
    v.kind = kind;
    v.data = std::move(data);
    if (node->SetValue(v)) changed = true;
    return true;
  }

  void Synced(const RegKeyNode& tree) {
    base = tree.Clone();
    current = tree.Clone();
    deleted.clear();
    changed = false;
  }
};

CRegistry::CRegistry(std::string folder) : impl_(std::make_unique<Impl>()) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  impl_->folder = std::move(folder);
}

CRegistry::~CRegistry() = default;

std::string CRegistry::DefaultFolder() {
  std::string config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    config = xdg;
  } else {
    config = HomeFolder() + "/.config";
  }
  while (config.size() > 1 && config.back() == '/') config.pop_back();
  return config + "/Quillmarsh/Tintaframe4 Plus";
}

CRegistry& CRegistry::Instance() {
  if (!g_instance) {
    g_instance = std::make_unique<CRegistry>(DefaultFolder());
    g_instance->Load();
  }
  return *g_instance;
}

void CRegistry::ResetInstance() { g_instance.reset(); }

const std::string& CRegistry::Folder() const { return impl_->folder; }
std::string CRegistry::FilePath() const { return impl_->File(); }
bool CRegistry::HasChanges() const { return impl_->changed; }
const std::string& CRegistry::DamagedCopy() const { return impl_->damagedCopy; }

bool CRegistry::Load() {
  try {
    std::unique_ptr<RegKeyNode> tree;
    Impl::Got got;
    if (!FolderExists(impl_->folder)) {
      tree = NewRoot();
      got = Impl::Got::kEmpty;
    } else {
      FolderLock lock(impl_->folder);
      got = impl_->ReadTree(tree);
    }
    impl_->Synced(*tree);
    return got != Impl::Got::kError;
  } catch (const std::bad_alloc&) {
    impl_->Synced(*NewRoot());
    return false;
  }
}

bool CRegistry::Save() {
  if (!impl_->changed) return true;
  try {
    if (!MakeFolders(impl_->folder)) {
      DebugOutF("CRegistry: cannot make the folder %s\n", impl_->folder.c_str());
      return false;
    }
    FolderLock lock(impl_->folder);
    std::unique_ptr<RegKeyNode> merged;
    Impl::Got got = impl_->ReadTree(merged);
    if (got == Impl::Got::kError) return false;
    if (got == Impl::Got::kDamaged) merged = impl_->base->Clone();  // what we read before
    std::unique_ptr<RegKeyNode> onDisk = merged->Clone();
    ApplyChanges(impl_->base.get(), *impl_->current, *merged);
    if (got != Impl::Got::kTree || !DeepEqual(*onDisk, *merged)) {
      if (!ReplaceFile(impl_->folder, impl_->File(), Serialize(*merged))) return false;
    }
    impl_->Synced(*merged);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::KeyExists(std::string_view path) const { return impl_->Find(path) != nullptr; }

bool CRegistry::CreateKey(std::string_view path) {
  try {
    std::vector<std::string_view> parts;
    if (!SplitPath(path, parts)) return false;
    RegKeyNode* node = impl_->current.get();
    std::string folded;
    for (std::string_view part : parts) {
      if (!folded.empty()) folded.push_back('\\');
      folded += FoldName(part);
      RegKeyNode* child = node->FindChild(part);
      if (!child) {
        child = &node->FindOrAddChild(part);
        child->recreated = impl_->deleted.count(folded) != 0;
        impl_->changed = true;
      }
      node = child;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::DeleteKey(std::string_view path) {
  try {
    std::vector<std::string_view> parts;
    if (!SplitPath(path, parts) || parts.empty()) return false;
    RegKeyNode* parent = impl_->current.get();
    std::string folded;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      parent = parent->FindChild(parts[i]);
      if (!parent) return false;
      folded += FoldName(parts[i]);
      folded.push_back('\\');
    }
    if (!parent->RemoveChild(parts.back())) return false;
    folded += FoldName(parts.back());
    impl_->deleted.insert(folded);
    impl_->changed = true;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::vector<std::string> CRegistry::SubKeyNames(std::string_view path) const {
  std::vector<std::string> names;
  if (const RegKeyNode* node = impl_->Find(path)) {
    for (const auto& c : node->children) names.push_back(c->name);
  }
  return names;
}

std::vector<std::string> CRegistry::ValueNames(std::string_view path) const {
  std::vector<std::string> names;
  if (const RegKeyNode* node = impl_->Find(path)) {
    for (const RegValue& v : node->values) names.push_back(v.name);
  }
  return names;
}

RegValueKind CRegistry::ValueKind(std::string_view path, std::string_view name) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  return v ? v->kind : RegValueKind::kNone;
}

bool CRegistry::DeleteValue(std::string_view path, std::string_view name) {
  RegKeyNode* node = impl_->Find(path);
  if (!node || !node->RemoveValue(name)) return false;
  impl_->changed = true;
  return true;
}

bool CRegistry::ReadDword(std::string_view path, std::string_view name, int32_t& value) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  if (!v || v->kind != RegValueKind::kDword || v->data.size() != 4) return false;
  value = DwordOf(v->data);
  return true;
}

bool CRegistry::ReadString(std::string_view path, std::string_view name, std::string& value) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  if (!v || v->kind != RegValueKind::kString) return false;
  try {
    value = v->data;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool CRegistry::ReadBinary(std::string_view path, std::string_view name,
                           std::vector<uint8_t>& value) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  if (!v || v->kind != RegValueKind::kBinary) return false;
  try {
    value.assign(v->data.begin(), v->data.end());
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool CRegistry::ReadDouble(std::string_view path, std::string_view name, double& value) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  if (!v || v->kind != RegValueKind::kBinary || v->data.size() != 8) return false;
  value = DoubleOf(v->data);
  return true;
}

bool CRegistry::WriteDword(std::string_view path, std::string_view name, int32_t value) {
  try {
    return impl_->WriteValue(path, name, RegValueKind::kDword, DwordData(value));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::WriteString(std::string_view path, std::string_view name, std::string_view value) {
  size_t zero = value.find('\0');
  if (zero != std::string_view::npos) value = value.substr(0, zero);
  try {
    return impl_->WriteValue(path, name, RegValueKind::kString, std::string(value));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::WriteBinary(std::string_view path, std::string_view name, const void* data,
                            size_t size) {
  if (size && !data) return false;
  try {
    std::string bytes(static_cast<const char*>(data), size);
    return impl_->WriteValue(path, name, RegValueKind::kBinary, std::move(bytes));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::WriteDouble(std::string_view path, std::string_view name, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  return WriteBinary(path, name, bytes, sizeof bytes);
}

// ---------------------------------------------------------------------------------------------

CRegistryKey::CRegistryKey(CRegistry* store) : store_(store ? store : &CRegistry::Instance()) {}

bool CRegistryKey::Resolve(std::string_view path, std::string& absolute) const {
  try {
    if (!path.empty() && path.front() == '\\') {
      absolute.assign(path.substr(1));
    } else if (open_) {
      absolute = path_;
      if (!path.empty()) {
        absolute.push_back('\\');
        absolute.append(path);
      }
    } else {
      absolute.assign(path);
    }
    while (!absolute.empty() && absolute.back() == '\\') absolute.pop_back();
    return !absolute.empty();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistryKey::OpenKey(std::string_view path, bool canCreate) {
  std::string absolute;
  if (!Resolve(path, absolute)) return false;
  bool ok = canCreate ? store_->CreateKey(absolute) : store_->KeyExists(absolute);
  if (!ok) return false;
  path_ = std::move(absolute);
  open_ = true;
  return true;
}

void CRegistryKey::CloseKey() {
  path_.clear();
  open_ = false;
}

bool CRegistryKey::KeyExists(std::string_view path) const {
  std::string absolute;
  return Resolve(path, absolute) && store_->KeyExists(absolute);
}

bool CRegistryKey::CreateKey(std::string_view path) {
  std::string absolute;
  return Resolve(path, absolute) && store_->CreateKey(absolute);
}

bool CRegistryKey::DeleteKey(std::string_view path) {
  std::string absolute;
  return Resolve(path, absolute) && store_->DeleteKey(absolute);
}

std::vector<std::string> CRegistryKey::GetKeyNames() const {
  return open_ ? store_->SubKeyNames(path_) : std::vector<std::string>();
}

std::vector<std::string> CRegistryKey::GetValueNames() const {
  return open_ ? store_->ValueNames(path_) : std::vector<std::string>();
}

bool CRegistryKey::ValueExists(std::string_view name) const {
  return GetDataType(name) != RegValueKind::kNone;
}

RegValueKind CRegistryKey::GetDataType(std::string_view name) const {
  return open_ ? store_->ValueKind(path_, name) : RegValueKind::kNone;
}

bool CRegistryKey::DeleteValue(std::string_view name) {
  return open_ && store_->DeleteValue(path_, name);
}

bool CRegistryKey::ReadInteger(std::string_view name, int32_t& value) const {
  return open_ && store_->ReadDword(path_, name, value);
}

bool CRegistryKey::ReadBool(std::string_view name, bool& value) const {
  int32_t v;
  if (!ReadInteger(name, v)) return false;
  value = v != 0;
  return true;
}

bool CRegistryKey::ReadDouble(std::string_view name, double& value) const {
  return open_ && store_->ReadDouble(path_, name, value);
}

bool CRegistryKey::ReadString(std::string_view name, std::string& value) const {
  return open_ && store_->ReadString(path_, name, value);
}

bool CRegistryKey::ReadBinary(std::string_view name, std::vector<uint8_t>& value) const {
  return open_ && store_->ReadBinary(path_, name, value);
}

bool CRegistryKey::WriteInteger(std::string_view name, int32_t value) {
  return open_ && store_->WriteDword(path_, name, value);
}

bool CRegistryKey::WriteBool(std::string_view name, bool value) {
  return WriteInteger(name, value ? 1 : 0);
}

bool CRegistryKey::WriteDouble(std::string_view name, double value) {
  return open_ && store_->WriteDouble(path_, name, value);
}

bool CRegistryKey::WriteString(std::string_view name, std::string_view value) {
  return open_ && store_->WriteString(path_, name, value);
}

bool CRegistryKey::WriteBinary(std::string_view name, const void* data, size_t size) {
  return open_ && store_->WriteBinary(path_, name, data, size);
}

}  // namespace tf
