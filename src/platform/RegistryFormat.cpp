#include "platform/RegistryFormat.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace tf::registry {
namespace {

constexpr std::string_view kFileMagic = "TF4REG 1";
// An editor may put a UTF-8 byte order mark in front of the file.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

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

}  // namespace

std::string FormatRegistryText(const RegKeyNode& root) {
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

bool ParseRegistryText(std::string_view text, RegKeyNode& root) {
  if (text.substr(0, kUtf8Mark.size()) == kUtf8Mark) text.remove_prefix(kUtf8Mark.size());
  if (text.empty()) return true;
  if (text.find('\0') != std::string_view::npos) return false;
  RegKeyNode* key = nullptr;
  bool first = true;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? text.npos : end - start);
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

}  // namespace tf::registry
