// The nib set file (.psh): its layout, reader and writer.
#pragma once
// Little-endian. A 32-byte set header ("PSST", 24, version 1, 0, count, current index), then one
// PSHP chunk per nib: a 120-byte body, the name bytes and zero padding to a multiple of 4; an image
// nib's picture follows its PSHP chunk as a packed-image chunk (TTNL, 8-bit channel) that the
// PSHP size does not include. Readers skip chunks of other ids and nibs they cannot read.
//
// A load changes the nib set only when it succeeds (a failed or empty load leaves it as it was);
// a save replaces the file only when the whole set was written.
#include <cstdint>
#include <memory>
#include <string>

#include "raster/ChunkStream.h"

namespace tf {

class CPenShapeMngr;
class CPenShapeObj;
class Stream;

inline constexpr uint32_t kChunkNibSet = MakeChunkId("PSST");
inline constexpr uint32_t kChunkNib = MakeChunkId("PSHP");
inline constexpr int32_t kNibSetHeaderBytes = 32;
inline constexpr int32_t kNibBodyBytes = 120;
// The XOR byte this writer puts in the byte pass of nib images (readers take it from the chunk).
inline constexpr uint8_t kNibImageXorByte = 0x5A;

// Codes of the nib set file besides those of ChunkStream.h.
enum NibSetResult : uint8_t {
  kNibSetCreateFailed = 5,
  kNibRecordShort = 11,  // the record does not hold its body or its name
  kNibKindUnwritable = 20,
  kNibSetEmpty = 37,
  kNibNotAdded = 48,
};

// Writes the set to path (replacing a file only when the whole set was written); on success the
// manager's file name becomes path and it is no longer modified. 37 for an empty set (no file
// made), 5, 8, 20, 17 (more nibs than the header can count), 3.
uint8_t SaveNibSet(const std::string& path, CPenShapeMngr& manager);
// The set header and every nib, at the stream's position.
uint8_t WriteNibSet(Stream& stream, const CPenShapeMngr& manager);
// One nib: the PSHP chunk and, for an image nib, its TTNL chunk. 20 for an unknown kind; 8.
uint8_t WriteNibRecord(Stream& stream, const CPenShapeObj& nib);

// Loads path into the manager (replacing its nibs, or appending). 4 missing, 6 cannot open,
// then as ReadNibSet.
uint8_t LoadNibSet(const std::string& path, CPenShapeMngr& manager, bool append);
// Reads a set from the stream's position to its end; path becomes the file name of a replacing
// load. 9, 16, 17, 12, 37 (no nib announced or none read), 10 (a chunk runs past the end), 1, 3.
// Fewer nibs read than announced: the partial-load warning, then 0.
uint8_t ReadNibSet(Stream& stream, CPenShapeMngr& manager, bool append, const std::string& path);
// One nib from a PSHP chunk of the given size whose header was just read; imageLength receives
// the length of an image chunk read after it (0 when none was). 11, 9, 12, 15, 1, and the codes of
// the image chunk.
uint8_t ReadNibRecord(Stream& stream, uint32_t size, std::unique_ptr<CPenShapeObj>& nib, int64_t& imageLength);

}  // namespace tf
