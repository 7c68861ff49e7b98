// Layered PSD files: a PSD file opened as a document, a document saved as a PSD file, and the
// merged and preview pictures the image files and the open dialog take from a PSD file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CPsdReader;
class TPaper;

// Import codes (besides 0, 4 missing and 3 exception).
inline constexpr uint8_t kPsdImportNotReadable = 52;
inline constexpr uint8_t kPsdImportNoHandle = 53;
inline constexpr uint8_t kPsdImportHeader = 55;
inline constexpr uint8_t kPsdImportMode = 15;
inline constexpr uint8_t kPsdImportLayer = 21;
inline constexpr uint8_t kPsdImportNoMerged = 56;
inline constexpr uint8_t kPsdImportNoLayer = 57;
inline constexpr uint8_t kPsdImportNoAlpha = 58;
inline constexpr uint8_t kPsdImportMaskMade = 29;
inline constexpr uint8_t kPsdImportMaskRefused = 35;
// Export codes besides the mapped writer codes.
inline constexpr uint8_t kPsdExportExists = 5;
inline constexpr uint8_t kPsdExportNoHandle = 53;

// Fills a fresh document (one whose window stopped its recording) from the PSD file: one layer
// per PSD layer, or one background layer from the merged picture when the file has none, and
// one mask per alpha channel. Returns 0, 4, 52, 53, 55, 15, 57 or 3. Layers and masks that fail
// are skipped and the first failure is warned about with its code.
uint8_t ImportPsdFile(const std::string& path, TPaper& paper);
// The same over a reader opened on any stream (path names the document).
uint8_t ImportPsdReader(CPsdReader& reader, const std::string& path, TPaper& paper);

// Writes the document as a layered PSD file (version 3 to 7 of the writer, psdSaveVer): its
// layers, its masks as alpha channels, the composed picture and a thumbnail. 5 when the file
// exists and overwrite is false; otherwise the writer's code mapped (MapPsdCode). The file is
// written beside the path and takes its place only when complete.
uint8_t ExportPsdFile(const std::string& path, TPaper& paper, int32_t version, bool overwrite);

// The merged picture of a PSD file (LoadImageFile's .psd row) and its resolution (may be
// null): null on any failure.
std::unique_ptr<TMTC> LoadPsdMergedImage(const std::string& path, int32_t* resolution = nullptr);
// The preview picture of a PSD file and its document size (LoadPsdPreview's): null for a path
// that does not end in .psd (any case) or on any failure.
std::unique_ptr<TMTC> ReadPsdPreview(const std::string& path, SSize& documentSize);

// The thumbnail picture the export hands the writer: the composed picture placed in a 128 x 128
// box (unscaled when it fits, else fitted), its width rounded up to a multiple of 4, over white.
std::unique_ptr<TMTC> MakePsdThumbnail(const TMTC& composed);

}  // namespace tf
