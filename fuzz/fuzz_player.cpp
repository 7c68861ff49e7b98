// libFuzzer target: the event player over streams from outside bytes.
//
// Input: the raw packet stream. It is loaded into a fresh document's recorder as a loaded
// recording and played step by step, whole strokes and point by point alternating, for at most
// kStepCap steps, then stopped. Streams whose new document would be larger than kMaxSide on a
// side, or that add a layer of a larger store, are skipped (a played document may be 10000 pixels
// a side: too large for a fuzz run).
// Afterwards the stream's positions stay ordered and the read position never passes the write
// position.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "FuzzQuiet.h"
#include "events/EventStream.h"
#include "platform/Debug.h"
#include "platform/Warning.h"
#include "playback/HeadlessPlaybackWindow.h"
#include "playback/Player.h"

namespace {

using namespace tf;

constexpr int32_t kStepCap = 400;
constexpr int32_t kMaxSide = 256;

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

int32_t I32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                              (uint32_t{p[3]} << 24));
}

// False when a new-document packet, or an added or new layer, asks for a side above kMaxSide (or
// the stream cannot be walked): a layer store may be 65536 pixels a side, and a 590-byte stream
// adding 2048 x 65535 layers spent seconds copying them.
bool SmallDocuments(const CEventMngr& m) {
  bool small = true;
  m.walkPackets(0, m.writePos(), [&](const SPacketFrame& frame) {
    const uint8_t cls = frame.header.cls, code = frame.header.code;
    if (cls == kPcPaper && (code == 0 || code == 8) && frame.length >= 16) {
      uint8_t sizes[16];
      if (m.readAt(frame.payloadPos, sizes, 16) != 16) return false;
      for (int i = 0; i < 4; ++i)
        if (I32(sizes + 4 * i) > kMaxSide) small = false;
    }
    // Add layer (4/0) and new layer (4/11): the store's width and height at bytes 2 and 6.
    if (cls == kPcLayer && (code == 0 || code == 11) && frame.length >= 10) {
      uint8_t sizes[8];
      if (m.readAt(frame.payloadPos + 2, sizes, 8) != 8) return false;
      if (I32(sizes) > kMaxSide || I32(sizes + 4) > kMaxSide) small = false;
    }
    return small;
  });
  return small;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  SetDebugSink([](std::string_view) {});
  if (size == 0 || size > (1u << 20)) return 0;
  HeadlessPlaybackWindow window;
  TPaper& paper = window.Paper();
  CEventMngr& m = *paper.EventMngr();
  if (!m.resetForLoad()) Fail(__LINE__);
  if (m.writeSpan(0, data, static_cast<uint32_t>(size)) != size) return 0;
  if (!m.setLoadedLength(static_cast<int32_t>(size), 0)) Fail(__LINE__);
  if (!SmallDocuments(m)) return 0;

  CPlayer player(paper, &window);
  if (player.startLoaded() == kStartPlayStarted) {
    uint8_t r = kPlayStepPlayed;
    for (int32_t i = 0; i < kStepCap && r == kPlayStepPlayed; ++i) {
      player.setPointByPoint((i / 7) % 2 == 1);
      r = player.playStep();
      if (m.readPos < 0 || static_cast<uint32_t>(m.readPos) > m.writePos()) Fail(__LINE__);
      if (m.playStepStart > m.readPos) Fail(__LINE__);
    }
    if (r == kPlayStepPlayed && (m.runFlags & kRunStrokeOpen)) player.completeStroke();
    player.stopPlay(r == kPlayStepEnded);
    if (m.committed() < 0 || static_cast<uint32_t>(m.committed()) > m.writePos()) Fail(__LINE__);
  }
  SetDebugSink(nullptr);
  return 0;
}
