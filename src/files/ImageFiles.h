// Image files read into the program's 32-bit image, by the path's extension.
#pragma once
// The thin layer over the codecs: the reader picked by extension (case-insensitive): .bmp, the
// six JPEG extensions, .png and .psd; the DIB made 32-bit by BmpConv32; the resolution taken
// from the DIB's header. Every failure answers null without a message (the caller reports it).
#include <cstdint>
#include <memory>
#include <string>

#include "raster/BmpConv32.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// A new 32-bit image (B, G, R, A, top row first) of the file; null for another extension or on
// any failure. resolution (may be null) receives the dots per inch of the DIB's header (0 for
// header sizes other than 40, 108 and 124).
std::unique_ptr<TMTC> LoadImageFile(const std::string& path, int32_t* resolution = nullptr);
// The library's preview picture of a PSD file and the document's size; null for another
// extension or on failure.
std::unique_ptr<TMTC> LoadPsdPreview(const std::string& path, SSize& documentSize);
// A new image of the DIB's width and rows converted by BmpConv32; null when it cannot be made
// or the conversion fails.
std::unique_ptr<TMTC> DibToImage32(const SDib& dib);

// The extension of a path in lower case without its dot ("" when it has none).
std::string LowerExtension(const std::string& path);

}  // namespace tf
