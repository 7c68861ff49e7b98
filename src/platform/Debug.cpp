#include "platform/Debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tf {
namespace {

DebugSink& CurrentSink() {
  static DebugSink sink;
  return sink;
}

void DefaultSink(std::string_view text) {
  static const bool enabled = std::getenv("TF_DEBUG") != nullptr;
  if (enabled) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
}

}  // namespace

void DebugOut(std::string_view text) {
  DebugSink& sink = CurrentSink();
  if (sink)
    sink(text);
  else
    DefaultSink(text);
}

void DebugOutF(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n >= 0) {
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    DebugOut(std::string_view(buffer.data(), static_cast<size_t>(n)));
  }
  va_end(args);
}

DebugSink SetDebugSink(DebugSink sink) {
  DebugSink previous = std::move(CurrentSink());
  CurrentSink() = std::move(sink);
  return previous;
}

}  // namespace tf
