// JPEG files through libjpeg-turbo: reading into a DIB, writing a DIB, encoding into memory.
#pragma once
// Decoding gives a 32-bit top-down DIB (B, G, R, 255): grey, YCbCr, RGB, CMYK and YCCK (Adobe's
// inverted values) all arrive as colour. The JFIF density becomes the header's pixels per metre
// (dots per inch through DpiToPelsPerMeter, dots per centimetre times 100). A file cut short
// keeps the picture libjpeg made of it (the missing rows grey) and reads as success; a file whose
// headers are damaged, or any error the library raises, answers kImageCorrupt. Nothing ends the
// process: the library's errors come back through our own error manager.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/BmpConv32.h"

namespace tf {

// The five values of the JPEG options record, as the options dialog fills them.
struct SJpegOptions {
  int32_t progressive = 0;  // -1 progressive, 0 baseline
  int32_t greyscale = 0;    // -1 one grey component, 0 colour
  int32_t smoothingOn = 0;  // -1 when smoothing is above 0
  int32_t quality = 75;     // 0..100
  int32_t smoothing = 0;    // 0..100
};
static_assert(sizeof(SJpegOptions) == 20);

// Pixel layouts the encoder takes.
enum class JpegInput : int32_t { kRgb24, kBgr24, kBgrx32 };

// Decodes JPEG bytes into dib (32-bit, top-down). 0 or an ImageResult.
uint8_t JpegDecode(const uint8_t* data, size_t size, SDib& dib);
// Decodes scaled by 1/scaleDenominator (1, 2, 4 or 8), for previews; the size the full picture
// has comes back in fullWidth and fullHeight when given.
uint8_t JpegDecodeScaled(const uint8_t* data, size_t size, int32_t scaleDenominator, SDib& dib,
                         int32_t* fullWidth = nullptr, int32_t* fullHeight = nullptr);
// jpegGetImage: the file at path into dib.
uint8_t jpegGetImage(const std::string& path, SDib& dib);

// Encodes height rows of width pixels (the first at firstRow, the next rowStep bytes on, which
// may be negative for bottom-up data) into JFIF bytes. dpi > 0 is written as the density in
// dots per inch. True with out filled; false on any failure (out empty).
bool JpegEncodeRows(const uint8_t* firstRow, int64_t rowStep, int32_t width, int32_t height, JpegInput layout,
                    const SJpegOptions& options, int32_t dpi, std::vector<uint8_t>& out);
// Encodes a 24-bit picture (R, G, B bytes per pixel, rows top first, rowStep bytes apart) as a
// baseline colour JFIF of the quality: the thumbnail other formats embed.
bool JpegEncodeRgb24(const uint8_t* rgb, int64_t rowStep, int32_t width, int32_t height, int32_t quality,
                     std::vector<uint8_t>& out);
// Encodes a 24- or 32-bit DIB (either row order) with the options; its pixels per metre become
// the density so that reading the file back gives the same dots per inch.
bool JpegEncodeDib(const SDib& dib, const SJpegOptions& options, std::vector<uint8_t>& out);
// jpegSaveImage: JpegEncodeDib written over path through AtomicFileWriter. 0 or an ImageResult.
uint8_t jpegSaveImage(const std::string& path, const SDib& dib, const SJpegOptions& options);

}  // namespace tf
