// libFuzzer target: the frames a later start hands to the running instance (InstanceFrameDecoder).
//
// The bytes arrive in pieces whose sizes the input's first byte chooses. Every path frame taken
// must be absolute, without zero bytes, and at most 4095 bytes long, and encode back to the same
// frame; once a frame is bad, nothing more is taken; nothing else may be reported.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzQuiet.h"
#include "platform/SingleInstance.h"

namespace {

[[noreturn]] void FailAt(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 16;
  tf::InstanceFrameDecoder decoder;
  bool wasBad = false;
  for (size_t at = 1; at < size; at += piece) {
    decoder.Feed(data + at, std::min(piece, size - at));
    for (;;) {
      std::string path;
      const auto result = decoder.Next(path);
      if (result == tf::InstanceFrameDecoder::kNeedMore) break;
      if (result == tf::InstanceFrameDecoder::kBad) {
        wasBad = true;
        break;
      }
      if (wasBad) FailAt(__LINE__);
      if (result == tf::InstanceFrameDecoder::kPath) {
        if (path.empty() || path[0] != '/' || path.size() > 4095) FailAt(__LINE__);
        if (path.find('\0') != std::string::npos) FailAt(__LINE__);
        std::vector<uint8_t> frame;
        if (!tf::EncodePathFrame(path, frame)) FailAt(__LINE__);
        tf::InstanceFrameDecoder again;
        again.Feed(frame.data(), frame.size());
        std::string back;
        if (again.Next(back) != tf::InstanceFrameDecoder::kPath || back != path) FailAt(__LINE__);
      }
    }
    if (wasBad && !decoder.IsBad()) FailAt(__LINE__);
    if (wasBad) break;
  }
  return 0;
}
