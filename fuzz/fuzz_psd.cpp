// libFuzzer target: PSD files from outside bytes.
//
// The whole input is the file. It is imported into a fresh headless document under a commit
// budget and a cap on each memory block, and its merged picture is read by a second reader.
// A document that imported has at least one layer and one mask with active ones in range and
// the file's canvas; a merged picture has the file's sides.
//
// Limits: the canvas limit of the program is 10000 x 10000, but a 32-bit display buffer over
// kBlockCap (more than 65536 pixels, e.g. above 256 x 256) is refused as a memory shortage, so
// larger canvases are followed only to that clean refusal. Layer stores committing more than
// kCommitBudget in all meet the memory-shortage path, and a zip channel may unpack to at most
// about 1000 times its packed size, so channel buffers stay small for small inputs. The export
// is not run here (it writes our own pixels, not outside input).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "FuzzQuiet.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "files/PsdFile.h"
#include "files/psd/PsdReader.h"
#include "paper/HeadlessWindow.h"
#include "platform/AddressSpace.h"
#include "platform/Debug.h"
#include "platform/Memory.h"
#include "platform/Stream.h"

namespace {

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using namespace tf;

constexpr int64_t kBlockCap = int64_t{256} << 10;
constexpr uint64_t kCommitBudget = uint64_t{16} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  SetDebugSink([](std::string_view) {});
  SetCommitBudget(kCommitBudget);
  SetMemoryBlockCap(kBlockCap);
  const std::vector<uint8_t> bytes(data, data + size);

  {
    HeadlessDocumentWindow window;
    CPsdReader reader;
    reader.OpenStream(std::make_unique<MemoryStream>(bytes));
    const uint8_t code = ImportPsdReader(reader, "fuzz.psd", window.Paper());
    if (code == 0) {
      TPaper& paper = window.Paper();
      if (paper.GetLayerCount() < 1 || !paper.Layers().IsValidIndex(paper.GetActiveLayerIndex())) Fail(__LINE__);
      CMaskMngr* masks = paper.MaskMngr();
      if (masks == nullptr || masks->GetCount() < 1 || !masks->IsValidIndex(masks->GetActiveIndex()))
        Fail(__LINE__);
      SPsdHeader header;
      if (reader.Header(header) != 0 || paper.canvasWidth != header.width || paper.canvasHeight != header.height)
        Fail(__LINE__);
    }
  }
  {
    CPsdReader reader;
    reader.OpenStream(std::make_unique<MemoryStream>(bytes));
    std::unique_ptr<TMTC> image;
    if (reader.MergedImage(image) == 0) {
      SPsdHeader header;
      if (!image || reader.Header(header) != 0 || image->Width() != header.width) Fail(__LINE__);
    }
  }
  SetCommitBudget(0);
  SetMemoryBlockCap(0);
  return 0;
}
