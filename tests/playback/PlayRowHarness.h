// Plays the command packet of one document's last recorded step into another document through a
// row list, the way the player calls a row.
#pragma once
#include <cstdint>
#include <span>

#include "events/EventStream.h"
#include "paint/Stroke.h"
#include "paper/Paper.h"
#include "playback/PlayRows.h"

namespace tf::test {

struct RecordedCommand {
  bool found = false;
  SPacketFrame frame{};
  CPlayPayload payload;
};

// The first packet of the last closed step that is not a state or information packet.
inline RecordedCommand LastRecordedCommand(const CEventMngr& events) {
  RecordedCommand command;
  if (events.stepCount() <= 0) return command;
  const uint32_t start = static_cast<uint32_t>(events.ring().Current());
  events.walkPackets(start, static_cast<uint32_t>(events.committed()), [&](const SPacketFrame& f) {
    if (f.header.cls == kPcState || f.header.cls == kPcInfo) return true;
    command.frame = f;
    command.found = command.payload.Load(events, f);
    return false;
  });
  return command;
}

inline const SPlayRow* FindRow(std::span<const SPlayRow> rows, uint8_t cls, uint8_t code) {
  for (const SPlayRow& row : rows)
    if (row.cls == cls && row.code == code) return &row;
  return nullptr;
}

// False when the pair has no row or the row fails. afterStep (optional) gets the row's bits and
// those the routine added.
inline bool PlayRecordedCommand(std::span<const SPlayRow> rows, const RecordedCommand& command, TPaper& paper,
                                TFlowImage* flow, TStroke& stroke, int32_t appVersion = 400,
                                uint8_t* afterStep = nullptr) {
  if (!command.found || paper.EventMngr() == nullptr) return false;
  const SPlayRow* row = FindRow(rows, command.frame.header.cls, command.frame.header.code);
  if (row == nullptr) return false;
  uint8_t bits = 0;
  SPlayCall call{nullptr,       paper,           flow,       stroke, *paper.EventMngr(),
                 command.frame, command.payload, appVersion, bits};
  if (!row->play(call)) return false;
  if (afterStep != nullptr) *afterStep = static_cast<uint8_t>(bits | row->afterStep);
  return true;
}

}  // namespace tf::test
