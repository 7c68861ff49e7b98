#include "platform/Text.h"

#include <iconv.h>

#include <locale.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace tf {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts; at an input sequence that does not convert, appends the replacement and skips
  // skipBytes(input) bytes. Returns false when anything was replaced.
  template <typename Skip>
  bool Run(std::string_view in, std::string& out, std::string_view replacement, Skip skipBytes) {
    bool clean = true;
    out.clear();
    if (!Valid()) {
      out.assign(in);
      return false;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    std::vector<char> buffer(in.size() * 4 + 16);
    while (srcLeft > 0) {
      char* dst = buffer.data();
      size_t dstLeft = buffer.size();
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a cut sequence at the end): replace and go on.
      clean = false;
      out.append(replacement);
      size_t skip = skipBytes(std::string_view(src, srcLeft));
      if (skip == 0 || skip > srcLeft) skip = srcLeft > 0 ? 1 : 0;
      src += skip;
      srcLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state.
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
    return clean;
  }

 private:
  iconv_t cd_;
};

size_t Utf8SequenceLength(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  return n <= s.size() ? n : 1;
}

size_t Cp932SequenceLength(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  return (IsCp932LeadByte(c) && s.size() >= 2) ? 2 : 1;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  Converter conv("UTF-8", "CP932");
  std::string out;
  conv.Run(cp932, out, "\xEF\xBF\xBD", Cp932SequenceLength);
  return out;
}

std::string Utf8ToCp932(std::string_view utf8, bool* ok) {
  Converter conv("CP932", "UTF-8");
  std::string out;
  bool clean = conv.Run(utf8, out, "?", Utf8SequenceLength);
  if (ok) *ok = clean;
  return out;
}

size_t Cp932FitLength(std::string_view cp932, size_t maxBytes) {
  size_t i = 0;
  while (i < cp932.size()) {
    size_t n = Cp932SequenceLength(cp932.substr(i));
    if (i + n > maxBytes) break;
    i += n;
  }
  return i;
}

}  // namespace tf

namespace tf {

std::string FormatC(const char* format, ...) {
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
  const locale_t before = uselocale(cLocale);
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  uselocale(before);
  return text;
}

}  // namespace tf
