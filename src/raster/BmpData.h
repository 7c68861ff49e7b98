// BMP files and packed DIBs: headers, reading into and writing from 32-bit images.
#pragma once
// BMP and DIB data of the raster core: the 14-byte file header and the 40-byte info header
// (little-endian on disk, read and written field by field), reading 24- and 32-bit BMP data into
// a 32-bit image, writing an image as a 24-bit BMP file, packed DIBs for the clipboard and image
// export, and the row converters between 24- and 32-bit pixels.
#include <cstdint>
#include <string>

#include "raster/Geometry.h"

namespace tf {

class CDibCore;
class TMTC;
class Stream;

inline constexpr uint16_t kBmpMagic = 0x4D42;  // "BM"
inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiBitfields = 3;
inline constexpr int32_t kBmpFileHeaderSize = 14;
inline constexpr int32_t kBmpInfoHeaderSize = 40;

// Largest picture the readers accept, in pixels (the canvas limit is 10000 x 10000); larger
// sizes in a file are refused before anything is allocated.
inline constexpr int64_t kMaxBmpPixels = int64_t{10000} * 10000;

struct SBitmapFileHeader {
  uint16_t type;  // "BM"
  uint32_t size;  // file size
  uint16_t reserved1;
  uint16_t reserved2;
  uint32_t offBits;  // offset of the pixel data from the start of the file
};

struct SBitmapInfoHeader {
  uint32_t size;  // 40
  int32_t width;
  int32_t height;        // positive: bottom-up rows
  uint16_t planes;       // 1
  uint16_t bitCount;     // 24 or 32
  uint32_t compression;  // kBiRgb or kBiBitfields
  uint32_t sizeImage;
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;
  uint32_t clrImportant;
};
static_assert(sizeof(SBitmapInfoHeader) == kBmpInfoHeaderSize);

// Byte images of the headers as they lie in a file.
void EncodeBitmapFileHeader(const SBitmapFileHeader& header, uint8_t out[kBmpFileHeaderSize]);
void DecodeBitmapFileHeader(const uint8_t in[kBmpFileHeaderSize], SBitmapFileHeader& header);
void EncodeBitmapInfoHeader(const SBitmapInfoHeader& header, uint8_t out[kBmpInfoHeaderSize]);
void DecodeBitmapInfoHeader(const uint8_t in[kBmpInfoHeaderSize], SBitmapInfoHeader& header);

// Trunc(dpi*100/2.54) pixels per metre.
int32_t DpiToPelsPerMeter(int32_t dpi);

// The header of a 24-bit copy of the image; returns the row length (3*width + 3) and not 3.
int32_t MakeBitmapInfo24(const CDibCore& image, SBitmapInfoHeader& header, int32_t dpi);
// The header of 32-bit data of the size; returns 4*width.
int32_t MakeBitmapInfo32(SBitmapInfoHeader& header, int32_t dpi, int32_t width, int32_t height);
// MakeBitmapInfo32 for the image's own size.
void MakeBitmapInfo(const CDibCore& image, SBitmapInfoHeader& header, int32_t dpi);
// Header sizes 40, 108 and 124: Trunc(horizontal pixels per metre * 2.54/100 + 0.41), a negative
// resolution giving 0; any other size 0.
int32_t BmpDpiFromHeader(const SBitmapInfoHeader& header);

// Reads 24- or 32-bit BMP data (file header, 40-byte info header, rows) from the stream's
// position into the image. Image row y receives the y-th row stored, so a bottom-up file arrives
// upside down (callers turn it with FlipVerticalAll); for 24 bits byte 3 of each pixel keeps what
// the block held. dpi (may be null) is set from the info header as soon as it is read.
// Refused, before the image is touched: a wrong magic or header size, a width <= 0, a height < 0,
// a picture over kMaxBmpPixels or a single row wider than it, another bit count or compression, bit fields other
// than the standard 00FF0000/0000FF00/000000FF, and (on a stream that knows its size) fewer bytes than the rows
// need. The rows start at the file header's pixel offset when it lies past the headers, else right after them. A
// stream that ends early anyway keeps the complete rows read and answers false. A height of 0 answers true and
// leaves the image empty (0 x 0, no block), allocating nothing. Nothing raises.
bool LoadBMP(TMTC& image, Stream& stream, int32_t* dpi = nullptr);
// LoadBMP from a complete BMP file held in memory.
bool LoadBMPFromMemory(TMTC& image, const void* data, int64_t size, int32_t* dpi = nullptr);

// Writes the image as a 24-bit BMP file (bottom picture row first, rows padded with zeros to
// 4 bytes) with the resolution in its header. The file is replaced only when it was written
// completely; false (nothing raised, an existing file untouched) on any failure.
bool SaveBMP24(const TMTC& image, const std::string& path, int32_t dpi);

// A 24-bit packed DIB of the whole image: header and rowLength*height bytes, bottom picture row
// first, padding zeroed. On success the caller owns bits (release with FreeMem); on failure bits
// is null.
bool MakePackedDIB24(const TMTC& image, int32_t dpi, SBitmapInfoHeader& header, uint8_t*& bits);
// A 32-bit DIB of a rectangle: the rectangle is clipped to the image (false when empty), the
// header is MakeBitmapInfo32 of the clipped size, bits hold its rows from the bottom row up, the
// pixels unchanged. The caller owns bits (FreeMem); null on failure.
bool MakeDIB32Rect(const TMTC& image, int32_t dpi, SRectWH& rect, SBitmapInfoHeader& header, uint8_t*& bits);

// count 3-byte pixels to 4-byte pixels, byte 3 of each destination pixel not written.
void Rows24To32(uint8_t* dest, const uint8_t* source, int32_t count);
// count 4-byte pixels to 3-byte pixels (byte 3 dropped).
void Rows32To24(uint8_t* dest, const uint8_t* source, int32_t count);

}  // namespace tf
