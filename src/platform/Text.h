// Code page 932 to and from UTF-8.
#pragma once
// Code page 932 (Shift_JIS as Windows has it) <-> UTF-8. Strings inside files and events are
// code page 932 bytes; they are converted only where a person sees them.
#include <string>
#include <string_view>

namespace tf {

// Converts code page 932 bytes to UTF-8. Bytes that do not convert become U+FFFD;
// conversion stops at nothing (embedded zeros are kept).
std::string Cp932ToUtf8(std::string_view cp932);

// Converts UTF-8 to code page 932. Characters without a code page 932 form become '?'.
// Returns false in *ok (when given) when any character was replaced or the input was not UTF-8.
std::string Utf8ToCp932(std::string_view utf8, bool* ok = nullptr);

// Byte length of a code page 932 string cut to at most maxBytes without splitting a
// double-byte character.
size_t Cp932FitLength(std::string_view cp932, size_t maxBytes);

// True for a lead byte of a double-byte character in code page 932.
inline bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// printf into a string with "." as the decimal point whatever the locale.
std::string FormatC(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tf
