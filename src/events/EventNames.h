// Event kinds: the name and glyph of every played step, for the event log and the step counts.
#pragma once
// A kind is an index 1..133 (0: no name). Packets of the current stream map to a kind by
// (class, code), the older version's 16-bit codes by code. Names are the language module's texts,
// read each time they are asked for (so a module loaded later is followed without a reload).
#include <cstdint>

namespace tf {

inline constexpr int32_t kEventKindCount = 134;  // 0..133
inline constexpr int32_t kEventKindStroke = 70;
// The generic glyph of kinds without one of their own.
inline constexpr uint8_t kEventGlyphGeneric = 86;

// The kind of a packet of the current stream (0 for state packets, stroke starts and unknown
// pairs). Filter classes (32-35, 38) take the filter id as code.
int32_t getEventKind(uint8_t cls, uint8_t code);
// The kind of an older-version event code (0 for unknown codes).
int32_t getOldEventKind(uint16_t code);
// The name ("" for 0 and kinds above 133).
const char* getEventName(int32_t kind);
// The glyph manager's glyph index (a TtFGlyphType value) of the kind; the generic glyph for
// kinds out of range.
uint8_t getEventGlyph(int32_t kind);

}  // namespace tf
