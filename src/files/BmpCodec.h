// BMP files of every kind read into a DIB, and a DIB written as a BMP file.
#pragma once
#include <cstdint>
#include <string>

#include "raster/BmpConv32.h"

namespace tf {

// bmpGetImage: any BMP (core, 40-byte, V2 to V5 headers; 1 to 32 bits; RLE; bit fields;
// top-down) into dib as stored, for BmpConv32. 0 or an ImageResult.
uint8_t bmpGetImage(const std::string& path, SDib& dib);
// bmpSaveImage: the DIB as given behind a 14-byte file header, through AtomicFileWriter.
uint8_t bmpSaveImage(const std::string& path, const SDib& dib);

}  // namespace tf
