// libFuzzer target: ParseDecimal over any zero-terminated text.
//
// The bytes (cut at a first zero byte) become a zero-terminated string in a block of exactly its
// size, so a read past the terminator is caught. The result must match a plain model: spaces
// skipped, then digits accumulated with wrap-around in 32 bits; `used` counts both; false with
// value 0 when no digit follows the spaces.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "FuzzQuiet.h"
#include "raster/SmallRoutines.h"

namespace {

[[noreturn]] void FailAt(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}
#define Fail(line) FailAt(line)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  const void* zero = std::memchr(data, 0, size);
  const size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
  std::unique_ptr<char[]> text(new char[length + 1]);
  std::memcpy(text.get(), data, length);
  text[length] = '\0';

  size_t i = 0;
  while (i < length && text[i] == ' ') ++i;
  const size_t digitsFrom = i;
  uint32_t model = 0;
  while (i < length && text[i] >= '0' && text[i] <= '9')
    model = model * 10u + static_cast<uint32_t>(text[i++] - '0');
  const bool expectDigits = i > digitsFrom;

  int32_t value = -1, used = -1;
  const bool got = tf::ParseDecimal(text.get(), value, used);
  if (got != expectDigits) Fail(__LINE__);
  if (static_cast<size_t>(used) != (expectDigits ? i : digitsFrom)) Fail(__LINE__);
  if (value != (expectDigits ? static_cast<int32_t>(model) : 0)) Fail(__LINE__);

  // Null text is refused the same way.
  if (tf::ParseDecimal(nullptr, value, used) || value != 0 || used != 0) Fail(__LINE__);
  return 0;
}
