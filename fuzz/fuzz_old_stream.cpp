// libFuzzer target: the first version's event streams from outside bytes.
//
// Input: a .wpe stream. It is checked; a stream the check takes is played into a fresh document
// step by step for at most kStepCap steps. Streams that ask for a canvas side above kMaxSide are
// only checked (a played canvas may be 65535 pixels a side: too large for a fuzz run).
// Afterwards the read position never passes the data end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "FuzzQuiet.h"
#include "FuzzScratch.h"
#include "events/EventStream.h"
#include "events/OldEventPacket.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "playback/OldPlayer.h"

namespace {

using namespace tf;

constexpr int32_t kStepCap = 400;
constexpr uint16_t kMaxSide = 256;

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// False when an event sets a canvas side above kMaxSide.
bool SmallCanvases(const TMyMemory& m) {
  const uint8_t* data = m.GetBuffer();
  const int32_t size = m.GetWritePos();
  for (int32_t pos = 0; pos + 2 <= size;) {
    const uint16_t code = Word(data + pos);
    pos += 2;
    if (IsOldSealMarker(code)) continue;
    const int32_t length = OldEventPayloadLength(code, data + pos, size - pos);
    if (length < 0 || length > size - pos) return true;
    if ((code == kOldNewCanvas || code == kOldCanvasSize || code == kOldResample || code == kOldNewCanvas2) &&
        (Word(data + pos) > kMaxSide || Word(data + pos + 2) > kMaxSide))
      return false;
    pos += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  SetDebugSink([](std::string_view) {});
  if (size == 0 || size > (1u << 20)) return 0;
  TMyMemory source(64);
  source.Write(data, static_cast<int32_t>(size));
  source.RewindRead();
  TEventPacket packets;
  bool sealed = false;
  if (packets.Validate(source, sealed) && SmallCanvases(packets.Memory())) {
    HeadlessDocumentWindow window;
    TStroke stroke(0);
    window.stroke = &stroke;
    if (CEventMngr* events = window.Paper().EventMngr(); events != nullptr) events->resetStream();
    UseStrokeEngine0(window.Paper());
    uint16_t code = 0;
    int32_t layersChanged = 0;
    int32_t n = 0;
    while (n < kStepCap && PlayOldEvents(window.Paper(), &window.Flow(), packets, code, layersChanged, 0, stroke,
                                         [] { return std::string("untitled"); }))
      ++n;
    if (packets.Memory().GetReadPos() > packets.Memory().GetWritePos()) tf::fuzz::FailAt(__FILE__, __LINE__);
    window.Paper().ResetStrokeEngines();
  }
  SetDebugSink(nullptr);
  return 0;
}
