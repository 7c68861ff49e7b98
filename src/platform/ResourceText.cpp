// The program's texts: built-in table and language module.
#include "ResourceText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "ByteOrder.h"
#include "Debug.h"

namespace tf {
namespace {

const char* const* const kBuiltin = kBuiltinTexts;

constexpr std::uint32_t kModuleVersion = 1;
constexpr std::size_t kHeaderSize = 12;
// A language module is a few hundred kilobytes at most; a larger file is not one.
constexpr std::size_t kMaxModuleSize = 16u << 20;

std::vector<std::string>& Loaded() {
  static std::vector<std::string> texts;
  return texts;
}

bool ValidUtf8(const std::uint8_t* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t c = p[i];
    std::size_t more;
    std::uint32_t cp;
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      more = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      more = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      more = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (n - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    static const std::uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

}  // namespace

const char* Tx(TextId id) {
  const auto index = static_cast<std::size_t>(id);
  if (index >= static_cast<std::size_t>(kTextCount)) return "";
  const auto& loaded = Loaded();
  if (!loaded.empty()) return loaded[index].c_str();
  return kBuiltin[index];
}

std::string TxFormat(TextId id, ...) {
  const char* format = Tx(id);
  va_list args;
  va_start(args, id);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (n >= 0) {
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return text;
}

bool TextConversions(std::string_view text, std::vector<std::string>& conversions) {
  conversions.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 1 < text.size() && text[i + 1] == '%') {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    // flags, width, precision, length, then the conversion letter
    while (j < text.size() && std::strchr("-+ #0123456789.*hlLqjzt", text[j]) != nullptr) ++j;
    if (j >= text.size()) return false;
    conversions.emplace_back(text.substr(i, j - i + 1));
    i = j;
  }
  return true;
}

bool ParseTextModule(const std::uint8_t* data, std::size_t size, std::vector<std::string>& texts) {
  if (data == nullptr || size < kHeaderSize || size > kMaxModuleSize) return false;
  if (std::memcmp(data, "TFTX", 4) != 0) return false;
  if (LoadLE<std::uint32_t>(data + 4) != kModuleVersion) return false;
  const std::uint32_t count = LoadLE<std::uint32_t>(data + 8);
  if (count != static_cast<std::uint32_t>(kTextCount)) return false;
  const std::uint64_t tableEnd = kHeaderSize + std::uint64_t{count} * 8;
  if (tableEnd > size) return false;
  std::vector<std::string> out;
  out.reserve(count);
  std::vector<std::string> want, have;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = data + kHeaderSize + std::size_t{i} * 8;
    const std::uint64_t offset = LoadLE<std::uint32_t>(entry);
    const std::uint64_t length = LoadLE<std::uint32_t>(entry + 4);
    if (offset < tableEnd || offset > size || length > size - offset) return false;
    const std::uint8_t* text = data + offset;
    if (!ValidUtf8(text, static_cast<std::size_t>(length))) return false;
    std::string value(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
    if (!TextConversions(kBuiltin[i], want) || !TextConversions(value, have) || want != have) return false;
    out.push_back(std::move(value));
  }
  texts = std::move(out);
  return true;
}

bool LoadTextModule(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff end = in.tellg();
  if (end < 0 || static_cast<std::uint64_t>(end) > kMaxModuleSize) return false;
  in.seekg(0, std::ios::beg);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end));
  if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), end)) return false;
  std::vector<std::string> texts;
  if (!ParseTextModule(bytes.data(), bytes.size(), texts)) {
    DebugOutF("LoadTextModule: %s is not a language module of this program\n", path.c_str());
    return false;
  }
  Loaded() = std::move(texts);
  return true;
}

void ResetTextModule() { Loaded().clear(); }

}  // namespace tf
