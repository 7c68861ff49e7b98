// The pattern record TPAT of tone set files, and the tone attribute bytes the recorder shares.
#pragma once
// A pattern record is a "TPAT" chunk (8-byte head, a 72-byte body, the name padded to a multiple
// of 4) followed directly by a "TTNL" packed image of the pattern's tile. These routines read
// and write one record; they take patterns and plain records only, so the tone set file and the
// event recorder both use them.
//
// Body (offsets within the chunk, little-endian):
//   8 tag 8 | 10 kind (0 plain, 1 tone) | 12 name length | 14 record version 1 |
//   16 flags (bit 0 the tone switch, bit 1 inverted, bit 8 set on plain patterns) |
//   20 scale | 24 offset x | 28 offset y | 32 width | 36 height | 40 zero x 8 |
//   48..71 the 24 stored bytes of SToneAttr (zero for plain patterns) | 72 zero x 8 | 80 name
#include <cstdint>
#include <memory>
#include <string>

#include "paint/ScreenTone.h"

namespace tf {

class Stream;
class TChannel;

inline constexpr uint32_t kToneSetId = 0x54535450;        // "PTST"
inline constexpr uint32_t kPatternRecordId = 0x54415054;  // "TPAT"
inline constexpr int32_t kPatternBodyBytes = 72;          // from offset 8
inline constexpr uint16_t kPatternBodyTag = 8;
inline constexpr uint32_t kPatternFlagSwitch = 0x001;
inline constexpr uint32_t kPatternFlagInverted = 0x002;
inline constexpr uint32_t kPatternFlagPlain = 0x100;
// The XOR byte of the byte pass this program writes in pattern images (readers take the pass
// parameters from each chunk, so any value loads).
inline constexpr uint8_t kPatternImageXorByte = 0x5A;

// Codes of the tone set file beyond the shared ones.
inline constexpr uint8_t kToneRecordShort = 11;  // a record shorter than its parts
inline constexpr uint8_t kToneRecordField = 15;  // an unknown tag, kind or header field
inline constexpr uint8_t kToneEmptySet = 37;
inline constexpr uint8_t kTonePatternAdd = 48;  // the pattern could not be added

// The 24 stored attribute bytes (record bytes 48..71), byte for byte; the switch byte goes into
// bit 0 of flags.
void EncodeToneAttr(const SToneAttr& attr, uint8_t out[kToneAttrBytes], uint32_t& flags);
void DecodeToneAttr(const uint8_t in[kToneAttrBytes], uint32_t flags, SToneAttr& attr);

// The 72 body bytes from offset 8 of a TPAT record of the pattern (its name length included).
void BuildPatternRecordBody(const CPat8& pattern, uint8_t out[kPatternBodyBytes]);
void BuildToneRecordBody(const CPat8Tone& tone, uint8_t out[kPatternBodyBytes]);

// Writes the record and its image chunk: 8 on a short write, 14, 17 from the image writer.
uint8_t WritePatternRecord(Stream& stream, const CPat8& pattern);

// One record as read.
struct SPatternRecord {
  uint16_t kind = 0;
  uint32_t flags = 0;
  int32_t scale = 100;
  int32_t offsetX = 0, offsetY = 0;
  int32_t width = 0, height = 0;
  SToneAttr attr;  // tones
  std::string name;
  std::unique_ptr<TChannel> tile;
};

// Reads the record whose chunk head (id TPAT, size) was just read, and the image chunk after
// it. imageChunkLength receives the length of the TTNL chunk that follows (0 when none does),
// so that a caller can step over both whatever the result. Codes: 11, 9, 15, 12, 17 (a tile
// that is empty, oversized or whose byte count is not its width times its height), 1, 16, 18,
// and 15 for tone attributes or a scale that cannot be built (a working tile under one pixel
// or too large, a resolution of 0 or less at the scale, an angle outside 0..90).
uint8_t ReadPatternRecord(Stream& stream, uint32_t size, SPatternRecord& record, int64_t& imageChunkLength);

// The working tile side of a plain pattern at the scale: scale * side div 100 (64-bit).
int64_t ScaledPatternSide(int32_t side, int32_t scale);

}  // namespace tf
