// libFuzzer target: native document files (.tfi) from outside bytes.
//
// The whole input is the file. It is loaded into a fresh headless document under a commit
// budget and a cap on each memory block, so that huge stores and canvases fail as a memory
// shortage. A document that loaded has at least one layer and one mask with active ones in
// range; it is saved again and must load again with the same layer and mask counts.
//
// The limits are far below the program's own: a tiny file can ask for a 10000 x 10000 canvas,
// and composing and copying such a canvas pixel by pixel takes seconds under the fuzzer's
// instrumentation. Left unexplored by this target: canvases whose 32-bit buffers exceed
// kBlockCap (more than 65536 pixels, e.g. above 256 x 256) are followed only to the clean
// refusal (no-memory code, document not ready) and their chunks are not read; tiled stores
// committing more than kCommitBudget in all meet the memory-shortage path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "FuzzQuiet.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "files/DocFile.h"
#include "paper/HeadlessWindow.h"
#include "platform/AddressSpace.h"
#include "platform/Debug.h"
#include "platform/Memory.h"
#include "platform/Stream.h"
#include "platform/Warning.h"

namespace {

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using namespace tf;

constexpr int64_t kBlockCap = int64_t{256} << 10;
constexpr uint64_t kCommitBudget = uint64_t{16} << 20;

void CheckLoaded(TPaper& paper) {
  if (paper.GetLayerCount() < 1 || !paper.Layers().IsValidIndex(paper.GetActiveLayerIndex())) Fail(__LINE__);
  CMaskMngr* masks = paper.MaskMngr();
  if (masks == nullptr || masks->GetCount() < 1 || !masks->IsValidIndex(masks->GetActiveIndex())) Fail(__LINE__);
  if (paper.canvasWidth < 1 || paper.canvasWidth > kMaxDocCanvasSide || paper.resolution == 0) Fail(__LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  SetDebugSink([](std::string_view) {});
  SetCommitBudget(kCommitBudget);
  SetMemoryBlockCap(kBlockCap);
  const std::vector<uint8_t> bytes(data, data + size);

  HeadlessDocumentWindow window;
  MemoryStream stream(bytes);
  const uint8_t code = LoadDocStream(stream, window.Paper(), "fuzz.tfi", nullptr);
  if (code == 0) {
    TPaper& paper = window.Paper();
    CheckLoaded(paper);
    // The round trip leaves the thumbnail out: it reduces the composed canvas, our own pixels
    // rather than outside input, and would take most of the time.
    MemoryStream saved;
    const uint32_t flags = kDocLayers | kDocMasks | kDocEvents;
    if (WriteDocStream(saved, paper, flags, nullptr)) {
      // The copy gets a budget of its own on top of what the first document holds.
      SetCommitBudget(CommittedBytesTotal() + kCommitBudget);
      HeadlessDocumentWindow again;
      saved.SetPosition(0);
      if (LoadDocStream(saved, again.Paper(), "again.tfi", nullptr) != 0) Fail(__LINE__);
      CheckLoaded(again.Paper());
      if (again.Paper().GetLayerCount() != paper.GetLayerCount()) Fail(__LINE__);
      if (again.Paper().MaskMngr()->GetCount() != paper.MaskMngr()->GetCount()) Fail(__LINE__);
    }
  } else if (window.Paper().ready != 0) {
    Fail(__LINE__);
  }
  SetCommitBudget(0);
  SetMemoryBlockCap(0);
  return 0;
}
