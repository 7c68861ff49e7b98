// SPlayRow, SPlayCall and CPlayPayload: one row of the player's handler table and what its routine gets.
#pragma once
// The player looks every packet up by its (class, code) pair in one table. The table is the union
// of the row lists below, one list per area of commands, each kept in its own PlayRows*.cpp. A
// pair with no row fails the packet (step result 3) with a developer-output line naming it: a
// packet is never skipped, or the replayed picture would differ from the recorded one.
//
// A routine plays its packet the way the command recorded it: it reads its fields from the
// payload, checks what it reads, and calls the very document method that wrote the packet with
// the record flag clear. It answers false when the payload is short or refused or the method
// fails; the player then ends the step with 3.
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "events/EventStream.h"

namespace tf {

class TPaper;
class TFlowImage;
class TStroke;
class CPlayer;

// The payload of the packet being played, read out of the stream once. Every read is checked
// against its length, so a routine can never read into the next packet.
class CPlayPayload {
 public:
  // Reads frame.length bytes at frame.payloadPos; false when the stream does not hold them.
  bool Load(const CEventMngr& events, const SPacketFrame& frame) {
    bytes_.resize(frame.length > 0 ? static_cast<size_t>(frame.length) : 0);
    if (bytes_.empty()) return frame.length == 0;
    return events.readSpan(frame.payloadPos, bytes_.data(), static_cast<uint32_t>(bytes_.size())) ==
           bytes_.size();
  }
  // Tests build payloads directly.
  void Assign(std::span<const uint8_t> bytes) { bytes_.assign(bytes.begin(), bytes.end()); }

  uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
  const uint8_t* data() const { return bytes_.data(); }
  // True when [offset, offset + len) lies inside the payload.
  bool Holds(uint64_t offset, uint64_t len) const { return offset + len <= bytes_.size(); }

  // A little-endian field (the stream's byte order is the machine's: x86-64 and ARM64 both
  // little-endian). False, out untouched, when it does not lie inside the payload.
  template <typename T>
  bool Get(uint32_t offset, T& out) const {
    if (!Holds(offset, sizeof(T))) return false;
    std::memcpy(&out, bytes_.data() + offset, sizeof(T));
    return true;
  }
  bool GetBytes(uint32_t offset, void* out, uint32_t len) const {
    if (!Holds(offset, len)) return false;
    if (len) std::memcpy(out, bytes_.data() + offset, len);
    return true;
  }
  // A name field of at most len bytes, cut at its first zero.
  bool GetName(uint32_t offset, uint32_t len, std::string& out) const {
    if (!Holds(offset, len)) return false;
    const char* s = reinterpret_cast<const char*>(bytes_.data() + offset);
    out.assign(s, strnlen(s, len));
    return true;
  }

 private:
  std::vector<uint8_t> bytes_;
};

// What a routine plays on.
struct SPlayCall {
  CPlayer* player;     // the player's own state (its pens, kept records); null in unit tests
  TPaper& paper;       // the document played into
  TFlowImage* flow;    // the document window's working copy
  TStroke& stroke;     // the player's stroke
  CEventMngr& events;  // the document's stream (kept state records, dictionaries)
  const SPacketFrame& frame;
  const CPlayPayload& payload;
  int32_t appVersion;  // major * 100 + minor of the last application-state record, 200 before one
  uint8_t& afterStep;  // bits the routine adds beyond its row's
};

using FPlayRoutine = bool (*)(SPlayCall& call);

struct SPlayRow {
  uint8_t cls;
  uint8_t code;
  FPlayRoutine play;
  uint8_t afterStep;  // added to the step's afterStep when the routine succeeds
  const char* name;   // the operation played, for the developer output
};

// The row lists. Each area's file holds the rows of the commands it plays; a pair belongs to
// exactly one list.
std::span<const SPlayRow> CorePlayRows();       // state, information, new document, markers, strokes
std::span<const SPlayRow> LayerPlayRows();      // layer commands and transforms, images
std::span<const SPlayRow> SelectionPlayRows();  // mask and selection commands
std::span<const SPlayRow> FillPlayRows();       // layer clears and fills, fills and selections through a channel
std::span<const SPlayRow> CanvasPlayRows();     // canvas transforms, layer and folder moves
std::span<const SPlayRow> FolderPlayRows();     // folders, merges, selection grow and shrink, colour range
std::span<const SPlayRow> TextPlayRows();       // the text tool's drawing and selection

}  // namespace tf
