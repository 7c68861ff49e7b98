#include "files/ImageFiles.h"

#include <new>

#include "files/BmpCodec.h"
#include "files/ImageCodec.h"
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "platform/Debug.h"

namespace tf {

namespace {

enum class Reader { kNone, kBmp, kJpeg, kPng, kPsd };

Reader ReaderFor(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == "bmp") return Reader::kBmp;
  if (ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jif" || ext == "jfif" || ext == "jfi")
    return Reader::kJpeg;
  if (ext == "png") return Reader::kPng;
  if (ext == "psd") return Reader::kPsd;
  return Reader::kNone;
}

}  // namespace

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

std::unique_ptr<TMTC> DibToImage32(const SDib& dib) {
  int64_t rowBytes = 0;
  if (!DibCheckHeader(dib.header, &rowBytes)) return nullptr;
  const int32_t width = dib.header.width;
  const int32_t height = static_cast<int32_t>(dib.Rows());
  std::unique_ptr<TMTC> image(new (std::nothrow) TMTC());
  if (!image || !image->Resize(width, height) || !image->IsValid()) return nullptr;
  if (!BmpConv32(dib, reinterpret_cast<uint32_t*>(image->Bits()), width, height, width)) return nullptr;
  return image;
}

std::unique_ptr<TMTC> LoadImageFile(const std::string& path, int32_t* resolution) {
  SDib dib;
  // JPEG and PNG decode straight into the image.
  std::unique_ptr<TMTC> target(new (std::nothrow) TMTC());
  if (!target) return nullptr;
  dib.decodeInto = target.get();
  uint8_t result;
  switch (ReaderFor(path)) {
    case Reader::kBmp: result = bmpGetImage(path, dib); break;
    case Reader::kJpeg: result = jpegGetImage(path, dib); break;
    case Reader::kPng: result = pngGetImage(path, dib); break;
    case Reader::kPsd:
      // The merged picture of a PSD file comes from the PSD reader (files/PsdFile.h) once it is
      // connected here.
      DebugOut("LoadImageFile: PSD files are not built yet\n");
      return nullptr;
    default: return nullptr;
  }
  if (result != kImageOk) return nullptr;
  std::unique_ptr<TMTC> image = dib.DecodedInto() ? std::move(target) : DibToImage32(dib);
  if (image && resolution) *resolution = BmpDpiFromHeader(dib.header);
  return image;
}

std::unique_ptr<TMTC> LoadPsdPreview(const std::string& path, SSize& documentSize) {
  if (ReaderFor(path) != Reader::kPsd) return nullptr;
  // The preview picture and document size come from the PSD reader (files/PsdFile.h) once it
  // is connected here.
  (void)documentSize;
  DebugOut("LoadPsdPreview: PSD files are not built yet\n");
  return nullptr;
}

}  // namespace tf
