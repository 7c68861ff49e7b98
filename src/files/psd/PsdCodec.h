// The channel codecs of PSD files: PackBits rows and zip (with or without row deltas).
#pragma once
#include <cstddef>
#include <cstdint>

namespace tf {

// Most bytes PackBits can need for a row of width bytes.
constexpr int64_t PackBitsBound(int64_t width) { return width + (width + 127) / 128; }

// Packs one row; returns the bytes written to out (which holds PackBitsBound(width)).
int64_t PackBitsEncodeRow(const uint8_t* row, int64_t width, uint8_t* out);

// Unpacks one row of exactly width bytes from packed bytes. False when a count runs past the
// row or past the packed bytes, or the packed bytes end before the row is full. Packed bytes
// left after a full row are ignored.
bool PackBitsDecodeRow(const uint8_t* packed, int64_t packedBytes, uint8_t* row, int64_t width);

// Inflates a zlib stream into exactly outBytes bytes; false on corrupt data or another size.
// With rowDeltas, each row of rowBytes bytes is then summed up from its first byte (PSD
// compression 3 at 8 bits).
bool ZipDecode(const uint8_t* packed, int64_t packedBytes, uint8_t* out, int64_t outBytes, bool rowDeltas,
               int64_t rowBytes);

}  // namespace tf
