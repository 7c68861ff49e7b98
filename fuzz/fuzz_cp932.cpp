// libFuzzer target: the code page 932 converters and the double-byte-aware cut.
//
// The bytes are taken both as code page 932 and as UTF-8. Decoding code page 932 always gives
// well-formed UTF-8 (replacements included); encoding to code page 932 and decoding again is
// stable after one round (every encoded text encodes back to itself); a text that decoded
// cleanly from code page 932 encodes back cleanly to text that decodes to the same characters.
// Cp932FitLength cuts at a character boundary within the limit, as long as the limit allows.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "FuzzQuiet.h"
#include "platform/Text.h"

namespace {

[[noreturn]] void FailAt(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}
#define Fail(line) FailAt(line)

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, no surrogates,
// nothing past U+10FFFF.
bool WellFormedUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n;
  }
  return true;
}

// Characters of a code page 932 string: a lead byte with a byte after it is two bytes.
size_t CharLength(std::string_view s, size_t at) {
  return tf::IsCp932LeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  if (size == 0) return 0;
  const size_t limit = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  // Code page 932 -> UTF-8.
  const std::string utf8 = Cp932ToUtf8(text);
  if (!WellFormedUtf8(utf8)) Fail(__LINE__);
  bool ok = false;
  const std::string back = Utf8ToCp932(utf8, &ok);
  if (ok && Cp932ToUtf8(back) != utf8) Fail(__LINE__);

  // UTF-8 (any bytes) -> code page 932, stable after one round.
  bool clean = false;
  const std::string encoded = Utf8ToCp932(text, &clean);
  if (clean && !WellFormedUtf8(text)) Fail(__LINE__);
  const std::string decoded = Cp932ToUtf8(encoded);
  if (!WellFormedUtf8(decoded)) Fail(__LINE__);
  if (Utf8ToCp932(decoded) != encoded) Fail(__LINE__);

  // The cut: within the limit, at a character boundary, as long as the next character fits.
  const size_t fit = Cp932FitLength(text, limit);
  if (fit > limit || fit > text.size()) Fail(__LINE__);
  size_t at = 0;
  while (at < fit) at += CharLength(text, at);
  if (at != fit) Fail(__LINE__);
  if (fit < text.size() && fit + CharLength(text, fit) <= limit) Fail(__LINE__);
  return 0;
}
