// libFuzzer target: recorded-event files from outside bytes.
//
// Input: byte 0 picks the manager's block size (256 << (byte % 3): small blocks reach many
// block boundaries); the rest is the file. The reader loads it into a manager that already
// holds a short recording. Afterwards the manager's positions stay ordered and every committed
// byte reads back; a stream that loaded whole is written in both forms and must read back to
// the same bytes, step count, version and flag word. The preview reader runs over the same
// bytes through a file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FuzzQuiet.h"
#include "events/EventFile.h"
#include "events/EventStream.h"
#include "platform/Stream.h"
#include "platform/Warning.h"

namespace {

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using namespace tf;

std::vector<uint8_t> Committed(const CEventMngr& m) {
  std::vector<uint8_t> bytes(static_cast<size_t>(m.committed()));
  if (m.readSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())) != bytes.size()) Fail(__LINE__);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  if (size < 1) return 0;
  const uint32_t blockSize = 256u << (data[0] % 3);
  const std::vector<uint8_t> bytes(data + 1, data + size);

  CEventMngr manager(blockSize, 1 << 20);
  if (!manager.setupRecording(nullptr, nullptr, 16, 16) || !manager.commitStep()) Fail(__LINE__);
  MemoryStream stream(bytes);
  const uint8_t code = ReadEventChunk(stream, &manager, nullptr);
  if (manager.committed() < 0 || static_cast<uint32_t>(manager.committed()) > manager.writePos()) Fail(__LINE__);
  if (manager.writePos() > manager.allocated()) Fail(__LINE__);
  const std::vector<uint8_t> loaded = Committed(manager);

  if (code == 0 && !loaded.empty()) {
    // The loaded bytes need not be packets: write them as they are, both forms, and read back.
    MemoryStream full;
    MemoryStream raw;
    const uint8_t fullCode =
        WriteEventData(full, manager, SSize{1, 1}, manager.version, nullptr, manager.fileFlags);
    const uint8_t rawCode = WriteEventStream(raw, manager, SSize{1, 1});
    if (fullCode != rawCode || (fullCode != 0 && fullCode != kFileBrokenStream)) Fail(__LINE__);
    if (fullCode == 0) {
      for (MemoryStream* written : {&full, &raw}) {
        CEventMngr back(blockSize, 1 << 20);
        if (!back.setupStream(nullptr, nullptr, 16, 16) || !written->SetPosition(0)) Fail(__LINE__);
        if (ReadEventChunk(*written, &back, nullptr) != 0) Fail(__LINE__);
        if (Committed(back) != loaded || back.stepCount() != manager.stepCount()) Fail(__LINE__);
        if (written == &full && (back.version != manager.version || back.fileFlags != manager.fileFlags))
          Fail(__LINE__);
      }
    }
  }

  // The preview reader, through a file.
  static std::string path = [] {
    char name[] = "/tmp/fuzz-event-file-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    std::atexit([] { ::unlink(path.c_str()); });
    return std::string(name);
  }();
  {
    FileStream file;
    if (file.Create(path)) {
      file.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
      file.Close();
      std::unique_ptr<TMTC> image;
      SSize canvas{};
      const uint8_t previewCode = ReadEventThumbnail(path, image, canvas);
      if (previewCode != 0 && image) Fail(__LINE__);
    }
  }
  return 0;
}
