// libFuzzer target: the first version's layered pictures (.wpb) from outside bytes.
//
// Input: the file. It is written to a scratch folder and read into a fresh document. Inputs whose
// header asks for a canvas side above kMaxSide are skipped (the reader allows 10000). A document
// that loaded has its layers, an active layer among them, and events the check took.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "FuzzQuiet.h"
#include "FuzzScratch.h"
#include "events/OldEventPacket.h"
#include "files/OldDocument.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "platform/Debug.h"

namespace {

constexpr uint32_t kMaxSide = 512;

uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tf;
  tf::fuzz::QuietWarnings();
  SetDebugSink([](std::string_view) {});
  if (size > (1u << 20)) return 0;
  if (size >= 16 && (U32(data + 8) > kMaxSide || U32(data + 12) > kMaxSide)) return 0;
  static const std::string folder = tf::fuzz::MakeScratchFolder("old-document");
  const std::string path = folder + "/in.wpb";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  HeadlessDocumentWindow window;
  TEventPacket packets;
  if (LoadOldDocument(window.Paper(), &window.Flow(), path, packets)) {
    TPaper& paper = window.Paper();
    if (paper.GetLayerCount() < 1 || paper.GetActiveLayerIndex() < 0 ||
        paper.GetActiveLayerIndex() >= paper.GetLayerCount())
      tf::fuzz::FailAt(__FILE__, __LINE__);
  }
  if (packets.Memory().GetReadPos() > packets.Memory().GetWritePos()) tf::fuzz::FailAt(__FILE__, __LINE__);
  SetDebugSink(nullptr);
  return 0;
}
