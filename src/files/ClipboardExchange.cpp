#include "files/ClipboardExchange.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "document/LayerData.h"
#include "files/ImageCodec.h"
#include "files/ImageFiles.h"
#include "files/JpegCodec.h"
#include "files/LayerChunk.h"
#include "files/PngCodec.h"
#include "platform/ByteOrder.h"
#include "platform/ClipboardFormats.h"
#include "platform/Debug.h"
#include "platform/Stream.h"
#include "raster/BmpConv32.h"
#include "raster/BmpData.h"
#include "raster/ChunkStream.h"

namespace tf {

namespace {

struct SSpill {
  bool allowed = false;
  std::string folder;
};

SSpill& Spill() {
  static SSpill spill;
  return spill;
}

std::string DefaultSpillFolder() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) return std::string(run) + "/tintaframe4";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.cache/tintaframe4";
  return "/tmp/tintaframe4-" + std::to_string(::getuid());
}

// A BMP file's bytes read as a DIB and made 32-bit; alpha 255 unless keepAlpha (32-bit data).
std::unique_ptr<TMTC> ConvertBmp(const uint8_t* bytes, size_t count, bool keepAlpha) {
  SDib dib;
  const bool parsed = count >= 2 && bytes[0] == 'B' && bytes[1] == 'M' ? ParseBmpFile(bytes, count, dib, true)
                                                                       : ParsePackedDib(bytes, count, dib, true);
  if (!parsed) return nullptr;
  const bool opaque = !(keepAlpha && dib.header.bitCount == 32);
  if (opaque && dib.header.bitCount == 32 && dib.header.compression == kBiRgb) {
    // Read as bit fields without alpha: converted and made opaque in one pass.
    dib.header.compression = kBiBitfields;
    dib.masks[0] = 0x00FF0000u, dib.masks[1] = 0x0000FF00u, dib.masks[2] = 0x000000FFu, dib.masks[3] = 0;
  }
  std::unique_ptr<TMTC> image = DibToImage32(dib);
  if (!image) return nullptr;
  if (opaque && dib.masks[3] != 0) {
    uint32_t* p = reinterpret_cast<uint32_t*>(image->Bits());
    const int64_t n = int64_t{image->Width()} * image->Height();
    for (int64_t i = 0; i < n; ++i) p[i] |= 0xFF000000u;
  }
  return image;
}

std::unique_ptr<TMTC> ReadSpillFile() {
  std::vector<uint8_t> bytes;
  if (ReadImageFileBytes(ClipboardSpillPath(), bytes) != kImageOk) return nullptr;
  if (bytes.size() <= 54 || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
  return ConvertBmp(bytes.data(), bytes.size(), true);
}

bool PutImage(WindowHandle window, const TMTC& image, SRectWH rect, int32_t bits) {
  // Clip to the image in 64 bits.
  const int64_t left = std::max<int64_t>(rect.left, 0), top = std::max<int64_t>(rect.top, 0);
  const int64_t right = std::min<int64_t>(int64_t{rect.left} + rect.width, image.Width());
  const int64_t bottom = std::min<int64_t>(int64_t{rect.top} + rect.height, image.Height());
  if (!image.IsValid() || right <= left || bottom <= top) return false;
  const SRectWH clipped{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
                        static_cast<int32_t>(bottom - top)};
  auto bmp = std::make_unique<std::vector<uint8_t>>();
  try {
    if (!BuildClipboardBmp(image, clipped, bits, *bmp)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (Spill().allowed && static_cast<int64_t>(bmp->size()) - kBmpFileHeaderSize > kClipSpillLimit) {
    // Too large for the clipboard here: offered without data, the picture in the spill file.
    ClipboardSetData(window, kClipDibFormat, {});
    MakeFolders(Spill().folder.empty() ? DefaultSpillFolder() : Spill().folder);
    const bool written = WriteImageFileBytes(ClipboardSpillPath(), bmp->data(), bmp->size()) == kImageOk;
    if (!written) DeleteSpillFile();
    return written;
  }
  DeleteSpillFile();
  if (!ClipboardSetData(window, kClipDibFormat, std::move(*bmp))) {
    DebugOutF("%d\n", errno);
    return false;
  }
  // Other programs may ask for PNG: made from the DIB on the clipboard when they do.
  ClipboardSetDelayed(window, "image/png", [window]() {
    std::vector<uint8_t> png;
    ClipboardReadFormat(window, kClipDibFormat, [&](const uint8_t* bytes, size_t count) {
      SDib dib;
      return ParseBmpFile(bytes, count, dib, true) && PngEncodeDib(dib, -1, png);
    });
    return png;
  });
  return true;
}

}  // namespace

void SetClipboardSpill(bool allowed, const std::string& folder) {
  Spill().allowed = allowed;
  Spill().folder = folder;
}

bool ClipboardSpillAllowed() { return Spill().allowed; }

std::string ClipboardSpillPath() {
  const std::string folder = Spill().folder.empty() ? DefaultSpillFolder() : Spill().folder;
  return folder + "/" + kClipSpillName;
}

bool BuildClipboardBmp(const TMTC& image, const SRectWH& rect, int32_t bits, std::vector<uint8_t>& out) {
  if (bits != 24 && bits != 32) return false;
  const int64_t rowLength = DibRowLength(rect.width, bits);
  const int64_t imageSize = rowLength * rect.height;
  const int64_t total = kBmpFileHeaderSize + kBmpInfoHeaderSize + imageSize;
  if (imageSize > 0xFFFFFFFFll - 54) return false;
  out.assign(static_cast<size_t>(total), 0);
  SBitmapFileHeader file{kBmpMagic, static_cast<uint32_t>(total), 0, 0, kBmpFileHeaderSize + kBmpInfoHeaderSize};
  EncodeBitmapFileHeader(file, out.data());
  SBitmapInfoHeader h{};
  h.size = kBmpInfoHeaderSize;
  h.width = rect.width;
  h.height = rect.height;
  h.planes = 1;
  h.bitCount = static_cast<uint16_t>(bits);
  h.compression = kBiRgb;
  h.sizeImage = static_cast<uint32_t>(imageSize);
  EncodeBitmapInfoHeader(h, out.data() + kBmpFileHeaderSize);
  uint8_t* rows = out.data() + kBmpFileHeaderSize + kBmpInfoHeaderSize;
  for (int32_t y = 0; y < rect.height; ++y) {
    const uint8_t* source = reinterpret_cast<const uint8_t*>(image.Pixel(rect.left, rect.top + y));
    uint8_t* dest = rows + (rect.height - 1 - y) * rowLength;
    if (bits == 32) std::memcpy(dest, source, size_t{4} * rect.width);
    else Rows32To24(dest, source, rect.width);
  }
  return true;
}

bool PutClipboardImage24(WindowHandle window, const TMTC& image, SRectWH rect) {
  return PutImage(window, image, rect, 24);
}

bool PutClipboardImage32(WindowHandle window, const TMTC& image, SRectWH rect) {
  return PutImage(window, image, rect, 32);
}

bool PutClipLayerAttr(WindowHandle window, const CLayerData& layer) {
  uint32_t length = 0;
  MemoryStream stream;
  if (WriteLayerRecord(stream, layer, &length) != 0) return false;
  if (WriteLayerRecord(stream, layer, nullptr) != 0) return false;
  std::vector<uint8_t> bytes = stream.Bytes();
  if (bytes.size() != length || bytes.size() < kChunkHeaderBytes + kClipLayerAttrBytes) return false;
  // Flags at offset 4 of the record.
  uint16_t flags = LoadLE<uint16_t>(bytes.data() + kChunkHeaderBytes + 4);
  StoreLE<uint16_t>(bytes.data() + kChunkHeaderBytes + 4, static_cast<uint16_t>(flags | kClipLayerClipboard));
  return ClipboardSetData(window, kClipLayerAttrFormat, std::move(bytes));
}

bool ReadClipLayerAttr(WindowHandle window, SClipLayerAttr& record, std::string& name) {
  return ClipboardReadFormat(window, kClipLayerAttrFormat, [&](const uint8_t* bytes, size_t count) {
    if (count < size_t{kChunkHeaderBytes} + kClipLayerAttrBytes) return false;
    if (std::memcmp(bytes, "TLYR", 4) != 0) return false;
    if (LoadLE<uint32_t>(bytes + 4) < static_cast<uint32_t>(kClipLayerAttrBytes)) return false;
    record = DecodeClipLayerAttr(bytes + kChunkHeaderBytes);
    const uint8_t* text = bytes + kChunkHeaderBytes + kClipLayerAttrBytes;
    const size_t room = count - (kChunkHeaderBytes + kClipLayerAttrBytes);
    const void* zero = std::memchr(text, 0, room);
    const size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - text) : room;
    name.assign(reinterpret_cast<const char*>(text), length);
    return true;
  });
}

bool PutClipBox(WindowHandle window, const SRectWH& rect) {
  std::vector<uint8_t> bytes(16);
  StoreLE<int32_t>(bytes.data(), rect.left);
  StoreLE<int32_t>(bytes.data() + 4, rect.top);
  StoreLE<int32_t>(bytes.data() + 8, rect.width);
  StoreLE<int32_t>(bytes.data() + 12, rect.height);
  return ClipboardSetData(window, kClipBoxFormat, std::move(bytes));
}

bool ClearClipBox(WindowHandle window) { return ClipboardSetData(window, kClipBoxFormat, {}); }

bool GetClipBox(WindowHandle window, SRectWH& rect) {
  return ClipboardReadFormat(window, kClipBoxFormat, [&](const uint8_t* bytes, size_t count) {
    if (count < 16) return false;
    rect = SRectWH{LoadLE<int32_t>(bytes), LoadLE<int32_t>(bytes + 4), LoadLE<int32_t>(bytes + 8),
                   LoadLE<int32_t>(bytes + 12)};
    return true;
  });
}

bool ClipboardHasImage(WindowHandle window) {
  for (const char* format : kClipReadFormats)
    if (ClipboardHasFormat(window, format)) return true;
  return Spill().allowed && ::access(ClipboardSpillPath().c_str(), F_OK) == 0;
}

bool GetClipboardImageSize(WindowHandle window, int32_t& width, int32_t& height, int32_t& bitsPerPixel) {
  for (const char* format : {"image/bmp", "image/x-bmp"}) {
    bool found = false;
    const bool ok = ClipboardReadFormat(window, format, [&](const uint8_t* bytes, size_t count) {
      found = true;
      const size_t at = count >= 2 && bytes[0] == 'B' && bytes[1] == 'M' ? kBmpFileHeaderSize : 0;
      if (count < at + 16) return false;
      const uint32_t headerSize = LoadLE<uint32_t>(bytes + at);
      int64_t w, h;
      int32_t bits;
      if (headerSize == kBmpCoreHeaderSize) {
        w = LoadLE<uint16_t>(bytes + at + 4);
        h = LoadLE<uint16_t>(bytes + at + 6);
        bits = LoadLE<uint16_t>(bytes + at + 10);
      } else {
        w = LoadLE<int32_t>(bytes + at + 4);
        h = LoadLE<int32_t>(bytes + at + 8);
        bits = LoadLE<uint16_t>(bytes + at + 14);
      }
      w = w < 0 ? -w : w;
      h = h < 0 ? -h : h;
      if (w == 0 || h == 0 || w > kMaxBmpPixels || h > kMaxBmpPixels || w * h > kMaxBmpPixels) return false;
      width = static_cast<int32_t>(w);
      height = static_cast<int32_t>(h);
      bitsPerPixel = bits;
      return true;
    });
    if (found) return ok;
  }
  std::unique_ptr<TMTC> image = ReadClipboardImage(window);
  if (!image) return false;
  width = image->Width();
  height = image->Height();
  bitsPerPixel = 32;
  return true;
}

std::unique_ptr<TMTC> ReadClipboardImage(WindowHandle window) {
  try {
    std::unique_ptr<TMTC> image;
    const bool ours = ClipboardHasFormat(window, kClipLayerAttrFormat);
    for (const char* format : {"image/bmp", "image/x-bmp"})
      if (ClipboardReadFormat(window, format, [&](const uint8_t* bytes, size_t count) {
            image = ConvertBmp(bytes, count, ours);
            return image != nullptr;
          }))
        return image;
    auto decode = [&](uint8_t (*codec)(const uint8_t*, size_t, SDib&)) {
      return [&, codec](const uint8_t* bytes, size_t count) {
        SDib dib;
        if (codec(bytes, count, dib) != kImageOk) return false;
        image = DibToImage32(dib);
        return image != nullptr;
      };
    };
    if (ClipboardReadFormat(window, "image/png", decode(PngDecode))) return image;
    if (ClipboardReadFormat(window, "image/jpeg", decode(JpegDecode))) return image;
    // Nothing on the clipboard: the spill file, only while spilling is allowed.
    if (Spill().allowed) return ReadSpillFile();
    return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void InstallClipboardExchange(bool install) {
  static CClipboardExchange exchange;
  SetClipboardHost(install ? &exchange : nullptr);
}

void DeleteSpillFile() {
  ::unlink(ClipboardSpillPath().c_str());
}

}  // namespace tf
