// A DIB in memory (header, colour table, pixel rows) and its one converter to 32-bit pixels.
#pragma once
// SDib is what the image codecs hand over and take: the info header as stored (any of the sizes
// 12, 40, 52, 56, 108, 124, read into the 40-byte fields), the bit-field masks, the colour table
// and the rows as stored (each padded to 4 bytes; bottom row first for a positive height, top
// row first for a negative one). BmpConv32 turns any such DIB into B, G, R, A pixels, top row
// first: 1, 4 and 8 bits through the table (RLE4 and RLE8 too), 16 and 32 bits plain or with bit
// fields, 24 bits. ParsePackedDib reads a packed DIB (header, table, rows in one block, as the
// clipboard holds it) against the block's length.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "raster/BmpData.h"

namespace tf {

class TMTC;

inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiAlphaBitfields = 6;
inline constexpr uint32_t kBmpCoreHeaderSize = 12;

struct SDib {
  SBitmapInfoHeader header{};  // header.size: the size as stored
  uint32_t masks[4] = {};      // red, green, blue, alpha (bit-field compression or a V4/V5 header)
  std::vector<uint32_t> colors;  // table entries as 0x00RRGGBB (bytes B, G, R)
  std::unique_ptr<uint8_t[]> pixels;  // not cleared when allocated
  size_t pixelBytes = 0;
  const uint8_t* borrowed = nullptr;  // rows lent by the caller instead of pixels (ParsePackedDib)
  // When set, Make of a 32-bit top-down DIB of the image's own layout lends the image's block
  // as the rows (the decoders then write the picture in place; DecodedInto tells).
  TMTC* decodeInto = nullptr;
  uint8_t* writable = nullptr;  // the rows the decoders write: pixels, or decodeInto's block

  // The rows: borrowed ones, else the block.
  const uint8_t* Data() const { return borrowed ? borrowed : pixels.get(); }
  // The rows a decoder writes into (the block Make gave).
  uint8_t* Writable() const { return writable; }
  // The picture lies in decodeInto already.
  bool DecodedInto() const;

  int32_t Width() const { return header.width; }
  // Number of rows (the height's absolute value, in 64 bits so INT32_MIN is no trap).
  int64_t Rows() const { return header.height < 0 ? -int64_t{header.height} : int64_t{header.height}; }
  bool TopDown() const { return header.height < 0; }
  // Makes room for count pixel bytes; false (and no block) when memory is short.
  bool AllocatePixels(size_t count);
  // A 40-byte header of width x height at 24 or 32 bits (height negative for top-down rows) and
  // a block for its rows; false when the size is refused (over kMaxBmpPixels) or memory is short.
  bool Make(int32_t width, int32_t height, uint16_t bits, int32_t pelsPerMeter);
};

// Row length in bytes of width pixels at bits per pixel, padded to 4 bytes (64 bits, no overflow
// for any 32-bit width).
inline int64_t DibRowLength(int64_t width, int32_t bits) { return ((width * bits + 31) / 32) * 4; }

// The geometry a DIB's header promises: width > 0, height != 0, both within kMaxBmpPixels as a
// product; a supported depth and compression. The byte count its rows need (for RLE the block's
// own size, whatever it is, is used). False for anything else.
bool DibCheckHeader(const SBitmapInfoHeader& header, int64_t* rowBytes);

// A DIB the image writers take as it is: uncompressed 24 or 32 bits with a valid header and all
// of its rows present.
bool DibWritable(const SDib& dib);

// Reads a packed DIB of size bytes into dib (header, masks, table, a copy of the rows, or with
// borrow the rows left in the block, which must then outlive dib). False when the header, the
// masks, the table or the rows run past the block, or the header is refused by DibCheckHeader.
// At most 2^bits colours are taken for 1, 4 and 8 bits.
bool ParsePackedDib(const uint8_t* block, size_t size, SDib& dib, bool borrow = false);
// The same over a BMP file's bytes (14-byte file header first; the rows at its pixel offset
// when that lies past the headers and the table).
bool ParseBmpFile(const uint8_t* data, size_t size, SDib& dib, bool borrow = false);

// Fills width x height 32-bit pixels (B, G, R, A; dest row y at dest + y * destStride pixels,
// top picture row first) from the DIB. The size must be the header's (width, rows). Colour
// indexes beyond the table read entry 0; RLE runs are clipped to the picture and rows the data
// never reaches stay as the first table entry. 24 bits and the table give alpha 255; 32 bits
// without bit fields keep byte 3; bit fields without an alpha mask give 255. False for an
// unsupported DIB or rows shorter than the header promises.
bool BmpConv32(const SDib& dib, uint32_t* dest, int32_t width, int32_t height, int64_t destStride);

// A packed DIB's bytes: header (40 bytes, or the masks after it for bit fields), table, rows.
std::vector<uint8_t> PackDib(const SDib& dib);

}  // namespace tf
