// PNG files through libpng: reading into a DIB, writing a DIB, both also in memory.
#pragma once
// Decoding gives a 32-bit top-down DIB (B, G, R, A, straight alpha): palettes (with their tRNS
// alpha), grey, grey with alpha, RGB, RGBA, 1 to 16 bits (16 cut to 8), Adam7. gAMA and iCCP are
// ignored; pHYs in metres becomes the header's pixels per metre. Any error the library raises
// answers kImageCorrupt: our error handler jumps back instead of ending the process.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/BmpConv32.h"

namespace tf {

// Decodes PNG bytes into dib (32-bit, top-down). 0 or an ImageResult.
uint8_t PngDecode(const uint8_t* data, size_t size, SDib& dib);
// pngGetImage: the file at path into dib.
uint8_t pngGetImage(const std::string& path, SDib& dib);

// Encodes a 24-bit DIB as RGB, a 32-bit one as RGBA (either row order), with pHYs from its
// pixels per metre. level -1: libpng's default compression, else 0..9. True with out filled.
bool PngEncodeDib(const SDib& dib, int32_t level, std::vector<uint8_t>& out);
// pngSaveImage: PngEncodeDib written over path through AtomicFileWriter. 0 or an ImageResult.
uint8_t pngSaveImage(const std::string& path, const SDib& dib, int32_t level);

}  // namespace tf
