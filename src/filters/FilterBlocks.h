// The parameter blocks of the filters: their sizes, the 50-byte block with outside data, the
// floor block, the gradient map's block in memory, and the small operations on them.
#pragma once
// A block carries everything one run of a filter needs besides the pixels. It is filled by the
// filter's dialog or by its last-used loader, passed unchanged through the runner to the
// algorithm, and recorded after the filter's event id so that the player can rebuild it. Its
// logical size (0, 8, 16, 24, 50 or 87; 14 for the gradient map, never recorded as such) goes
// with it everywhere as the size argument, and the recorded bytes are part of the event format.
//
// Blocks of 8, 16 and 24 bytes are whole little-endian 32-bit words (an int32, a float or four
// bytes) recorded as 2, 4 or 6 int32 values in block order. The 50-byte block keeps its 36
// recorded bytes in place and its data address as a typed member that is never recorded; the
// floor block keeps its 63 recorded value bytes and its two textures, whose picture and path are
// typed members. The gradient map's block refers to its colour stops.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "paint/Gradient.h"

namespace tf {

class TMTC;
class CColorSlotGroup;

// Logical block sizes (the size argument of the runner and of every FilterProc).
inline constexpr int32_t kBlockNone = 0;
inline constexpr int32_t kBlock8 = 8;
inline constexpr int32_t kBlock16 = 16;
inline constexpr int32_t kBlock24 = 24;
inline constexpr int32_t kBlock50 = 50;
inline constexpr int32_t kBlockFloor = 87;
inline constexpr int32_t kBlockGradientMap = 14;

// The word blocks.
struct SFilterWords8 {
  int32_t words[2];
};
struct SFilterWords16 {
  int32_t words[4];
};
struct SFilterWords24 {
  int32_t words[6];
};
static_assert(sizeof(SFilterWords8) == 8 && sizeof(SFilterWords16) == 16 && sizeof(SFilterWords24) == 24);

// Words of a block in block order (little-endian bytes).
int32_t BlockWord(const void* block, int32_t index);
void SetBlockWord(void* block, int32_t index, int32_t value);

void ClearFilterBlock8(void* block);
void ClearFilterBlock16(void* block);
void ClearFilterBlock24(void* block);
// Compares 2, 4 or 6 words bit for bit (a float field of -0.0 differs from one of 0.0).
bool EqualFilterBlock8(const void* a, const void* b);
bool EqualFilterBlock16(const void* a, const void* b);
bool EqualFilterBlock24(const void* a, const void* b);

// ---------------------------------------------------------------------------------------------
// The 50-byte block

// Bytes 0..45 as recorded in place (int16 data length, int16 count, int16 item size, 8 bytes the
// runner neither uses nor records, 32 inline bytes); then the address of the data (count x item
// size bytes, owned by whoever built the block).
struct SFilterParam50 {
  uint8_t bytes[46];
  uint8_t* data;  // the data buffer (never recorded as an address)

  int16_t DataLength() const;
  int16_t Count() const;
  int16_t ItemSize() const;
  uint8_t* Inline() { return bytes + kInlineOffset; }
  const uint8_t* Inline() const { return bytes + kInlineOffset; }

  static constexpr int32_t kInlineOffset = 14;
  static constexpr int32_t kInlineSize = 32;
};
static_assert(offsetof(SFilterParam50, bytes) == 0 && sizeof(SFilterParam50::bytes) == 46);

// Offset 0 := count x item size, 2 := count, 4 := item size (int16 each); bytes 14..45 and the
// data address := 0; bytes 6..13 are left as they were. False (nothing changed) when count or
// item size is negative or the length does not fit the 16-bit field.
bool InitFilterBlock50(SFilterParam50& block, int32_t count, int32_t itemSize);

// The custom 5x5 filter's 27 int32 values (25 weights, divisor, offset): weights 0, divisor 1,
// offset 0. Its data is 108 bytes; the lighting filter's is 56.
inline constexpr int32_t kKernel5x5Bytes = 108;
inline constexpr int32_t kLightingDataBytes = 56;
void InitKernel5x5(int32_t kernel[27]);
void ClearLightingData(uint8_t data[kLightingDataBytes]);
// Two 40-byte light records: int32 fields 1 to 4, 7 and 10 (1-based) exactly, float fields 5, 6,
// 8 and 9 by value.
bool EqualLightRecord(const uint8_t a[40], const uint8_t b[40]);
// The colour-range dialog's 20-byte value record := 0.
void ClearRecord20(uint8_t record[20]);

// ---------------------------------------------------------------------------------------------
// The floor block

// One texture of the floor: the source's resolution, its picture (owned by the floor command)
// and the path of a picture taken from a file.
struct SFltTexture {
  int32_t resolution = 0;
  TMTC* image = nullptr;
  std::string path;
};

inline constexpr int32_t kFloorValueBytes = 63;
struct SFltFloor {
  uint8_t values[kFloorValueBytes];  // recorded; byte 42 textures in use, 43 taken from files
  SFltTexture ceiling;               // the ceiling texture (its file picture travels as 0/128)
  SFltTexture floor;                 // the floor texture (its file picture travels as 0/129)
};

void InitFloorParams(SFltFloor& block);  // values := 0, then byte 46 := 30, byte 44 := 1
void InitFloorTexture(SFltTexture& texture);
void InitFloorBlock(SFltFloor& block);
// Bit 0 (ceiling) / bit 1 (floor) of both byte 42 and byte 43.
bool IsCeilingTextureFromFile(const SFltFloor& block);
bool IsFloorTextureFromFile(const SFltFloor& block);

// ---------------------------------------------------------------------------------------------
// The gradient map's block (in memory only; recorded as a 50-byte block whose data is the
// gradient record)

struct SGradientMapBlock {
  const CColorSlotGroup* stops = nullptr;
  SGradOption options{0, 0, 0, 0, 1};
  uint8_t reverse = 0;
  uint8_t keepAlpha = 1;
};
static_assert(sizeof(SGradOption) == 8);
void InitGradientMapBlock(SGradientMapBlock& block);

// The largest data length the 16-bit field of a 50-byte block holds.
inline constexpr int32_t kMaxBlockDataLength = 32767;

}  // namespace tf
