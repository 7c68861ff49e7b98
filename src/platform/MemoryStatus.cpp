#include "platform/MemoryStatus.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

namespace tf {

namespace {

MemoryStatusSource& Source() {
  static MemoryStatusSource source;
  return source;
}

// "Key:   1234 kB" → bytes; 0 when the key is missing or the number does not parse.
uint64_t FieldBytes(std::string_view text, std::string_view key) {
  size_t at = 0;
  while ((at = text.find(key, at)) != std::string_view::npos) {
    const bool lineStart = at == 0 || text[at - 1] == '\n';
    if (lineStart && at + key.size() < text.size() && text[at + key.size()] == ':') break;
    at += key.size();
  }
  if (at == std::string_view::npos) return 0;
  size_t p = at + key.size() + 1;
  while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
  uint64_t value = 0;
  const auto result = std::from_chars(text.data() + p, text.data() + text.size(), value);
  if (result.ec != std::errc()) return 0;
  std::string_view rest = text.substr(static_cast<size_t>(result.ptr - text.data()));
  const bool kilobytes = rest.starts_with(" kB");
  if (kilobytes) return value > UINT64_MAX / 1024 ? UINT64_MAX : value * 1024;
  return value;
}

std::string ReadAll(const char* path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

SMemoryStatus ParseMemoryStatus(std::string_view meminfo, std::string_view selfStatus, uint64_t addressLimit) {
  SMemoryStatus s;
  s.physicalTotal = FieldBytes(meminfo, "MemTotal");
  s.physicalAvailable = std::min(FieldBytes(meminfo, "MemAvailable"), s.physicalTotal);
  s.pageFileTotal = FieldBytes(meminfo, "SwapTotal");
  s.pageFileAvailable = std::min(FieldBytes(meminfo, "SwapFree"), s.pageFileTotal);
  const uint64_t used = FieldBytes(selfStatus, "VmSize");
  s.virtualTotal = addressLimit;
  s.virtualAvailable = used < addressLimit ? addressLimit - used : 0;
  return s;
}

SMemoryStatus ReadMemoryStatus() {
  if (Source()) return Source()();
  uint64_t limit = uint64_t{1} << 47;
  rlimit rl{};
  if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) limit = rl.rlim_cur;
  return ParseMemoryStatus(ReadAll("/proc/meminfo"), ReadAll("/proc/self/status"), limit);
}

MemoryStatusSource SetMemoryStatusSource(MemoryStatusSource source) {
  MemoryStatusSource old = std::move(Source());
  Source() = std::move(source);
  return old;
}

}  // namespace tf
