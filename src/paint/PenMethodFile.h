// The brush set file (.pmt): its layout, reader and writer.
#pragma once
// Little-endian. A 32-byte set header ("PMST", 24, version 1, 0, count, current index as 16 bits,
// flags: bit 0 alternate index present, bit 1 stored positions present; the alternate index as
// 16 bits; the five stored positions as their low bytes), then one PMTD chunk per brush: a
// 72-byte body, the name bytes (code page 932) and zero padding to a multiple of 4. The brush's
// icon follows as a packed-image chunk (TTNL, 32-bit pixels) when body flag bit 1 is set, then its
// nib as a whole nib record (PSHP and, for an image nib, its TTNL) when bit 0 is set; neither is
// counted in the PMTD size. Readers skip chunks of other ids and brushes they cannot read.
//
// A load changes the brush set only when it reads a brush (a failed or empty load leaves it as it
// was); a save replaces the file only when the whole set was written.
#include <cstdint>
#include <memory>
#include <string>

#include "raster/ChunkStream.h"

namespace tf {

class CPenMethodMngr;
class CPenMethodObj;
class Stream;

inline constexpr uint32_t kChunkBrushSet = MakeChunkId("PMST");
inline constexpr uint32_t kChunkBrush = MakeChunkId("PMTD");
inline constexpr int32_t kBrushSetHeaderBytes = 32;
inline constexpr int32_t kBrushBodyBytes = 72;
// The XOR byte this writer puts in the byte pass of brush icons (readers take it from the chunk).
inline constexpr uint8_t kBrushIconXorByte = 0x3C;

// Body flags.
enum : uint32_t {
  kBrushHasNib = 1u << 0,
  kBrushHasIcon = 1u << 1,
  kBrushOption3 = 1u << 4,
  kBrushUseGradation = 1u << 8,
  kBrushUseTone = 1u << 9,
  kBrushIfSize = 1u << 16,
  kBrushIfTransparency = 1u << 17,
};

// Codes of the brush set file besides those of ChunkStream.h.
enum BrushSetResult : uint8_t {
  kBrushSetCreateFailed = 5,
  kBrushRecordShort = 11,
  kBrushSetEmpty = 37,
  kBrushNotAdded = 48,
};

// Writes the set to path, replacing a file only when the whole set was written; on success the
// manager's file name becomes path and it is no longer modified. 37 for an empty set (no file
// made), 5, 8, 17 (more brushes than the header counts), 3.
uint8_t SaveBrushSet(const std::string& path, CPenMethodMngr& manager);
uint8_t WriteBrushSet(Stream& stream, const CPenMethodMngr& manager);
// One brush: the PMTD chunk, its icon chunk (a failed icon chunk is cut away and the record goes
// on) and its nib record. 8, 3.
uint8_t WriteBrushRecord(Stream& stream, const CPenMethodObj& brush);

// Loads path into the manager. 4 missing, 6 cannot open, then as ReadBrushSet.
uint8_t LoadBrushSet(const std::string& path, CPenMethodMngr& manager, bool append);
// Reads a set from the stream's position; path becomes the file name of a replacing load.
// 9, 16, 17, 12, 37 (none announced or none read), 10 (a chunk runs past the end), 1, 3.
uint8_t ReadBrushSet(Stream& stream, CPenMethodMngr& manager, bool append, const std::string& path);
// One brush from a PMTD chunk of the given size whose header was just read; followers receives
// the length of the icon and nib chunks read after it. 11, 9, 12, 16, 1, and the nib record's
// codes.
uint8_t ReadBrushRecord(Stream& stream, uint32_t size, std::unique_ptr<CPenMethodObj>& brush, int64_t& followers);

}  // namespace tf
