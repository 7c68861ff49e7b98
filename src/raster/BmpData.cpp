#include "raster/BmpData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/Memory.h"
#include "platform/Stream.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

inline int64_t RowLength24(int64_t width) { return (3 * width + 3) & ~int64_t{3}; }

// The standard masks of 32-bit bit fields: red, green, blue.
constexpr uint32_t kStandardMasks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};

// Moves the stream forward by count bytes: a seek that must arrive, else reading them.
bool SkipForward(Stream& stream, int64_t count) {
  if (count <= 0) return true;
  const int64_t at = stream.Position();
  if (at >= 0 && stream.Seek(count, SeekOrigin::kCurrent) == at + count) return true;
  uint8_t buffer[4096];
  while (count > 0) {
    const int64_t n = count < int64_t{sizeof buffer} ? count : int64_t{sizeof buffer};
    if (!stream.ReadExact(buffer, n)) return false;
    count -= n;
  }
  return true;
}

bool LoadBMPUnguarded(TMTC& image, Stream& stream, int32_t* dpi) {
  uint8_t bytes[kBmpFileHeaderSize];
  if (!stream.ReadExact(bytes, kBmpFileHeaderSize)) return false;
  SBitmapFileHeader file;
  DecodeBitmapFileHeader(bytes, file);
  if (file.type != kBmpMagic) return false;

  uint8_t infoBytes[kBmpInfoHeaderSize];
  if (!stream.ReadExact(infoBytes, kBmpInfoHeaderSize)) return false;
  SBitmapInfoHeader info;
  DecodeBitmapInfoHeader(infoBytes, info);
  if (dpi) *dpi = BmpDpiFromHeader(info);
  if (info.size != kBmpInfoHeaderSize) return false;

  // The size comes from the file: check it before anything is allocated. A single row wider
  // than the limit is refused even when there are no rows.
  if (info.width <= 0 || info.height < 0) return false;
  if (info.width > kMaxBmpPixels || int64_t{info.width} * info.height > kMaxBmpPixels) return false;
  int64_t rowLength;
  if (info.bitCount == 24)
    rowLength = RowLength24(info.width);
  else if (info.bitCount == 32)
    rowLength = int64_t{4} * info.width;
  else
    return false;

  int64_t headerEnd = kBmpFileHeaderSize + kBmpInfoHeaderSize;
  if (info.compression == kBiBitfields) {
    if (info.clrUsed != 3) return false;
    uint8_t masks[12];
    if (!stream.ReadExact(masks, sizeof masks)) return false;
    for (int i = 0; i < 3; ++i)
      if (LoadU32(masks + 4 * i) != kStandardMasks[i]) return false;
    headerEnd += sizeof masks;
  } else if (info.compression != kBiRgb) {
    return false;
  }

  // The pixel rows start at the file header's offset when it lies past the headers (a palette
  // or a gap is skipped); an offset inside the headers is not believed: the rows follow them.
  const int64_t gap = file.offBits > headerEnd ? int64_t{file.offBits} - headerEnd : 0;
  const int64_t pixelBytes = rowLength * info.height;
  const int64_t size = stream.Size();
  const int64_t at = stream.Position();
  if (size >= 0 && at >= 0 && size - at < gap + pixelBytes) return false;  // truncated data
  if (!SkipForward(stream, gap)) return false;

  // A picture without rows leaves the image empty and allocates nothing: no row buffer, and no
  // Resize (a display image would still make a block of one row).
  if (info.height == 0) {
    image.FreeImage();
    return true;
  }
  uint8_t* row = nullptr;
  if (!TryGetMem(row, rowLength)) return false;
  std::unique_ptr<uint8_t, void (*)(void*)> rowOwner(row, FreeMem);
  if (!image.Resize(info.width, info.height)) return false;
  const SDibView& view = image.View();
  for (int32_t y = 0; y < info.height; ++y) {
    if (!stream.ReadExact(row, rowLength)) return false;
    uint8_t* dest = reinterpret_cast<uint8_t*>(PixelAddr32(view, 0, y));
    if (info.bitCount == 24)
      Rows24To32(dest, row, info.width);
    else
      std::memcpy(dest, row, static_cast<size_t>(4) * static_cast<size_t>(info.width));
  }
  return true;
}

}  // namespace

void EncodeBitmapFileHeader(const SBitmapFileHeader& h, uint8_t out[kBmpFileHeaderSize]) {
  StoreU16(out + 0, h.type);
  StoreU32(out + 2, h.size);
  StoreU16(out + 6, h.reserved1);
  StoreU16(out + 8, h.reserved2);
  StoreU32(out + 10, h.offBits);
}

void DecodeBitmapFileHeader(const uint8_t in[kBmpFileHeaderSize], SBitmapFileHeader& h) {
  h.type = LoadU16(in + 0);
  h.size = LoadU32(in + 2);
  h.reserved1 = LoadU16(in + 6);
  h.reserved2 = LoadU16(in + 8);
  h.offBits = LoadU32(in + 10);
}

void EncodeBitmapInfoHeader(const SBitmapInfoHeader& h, uint8_t out[kBmpInfoHeaderSize]) {
  StoreU32(out + 0, h.size);
  StoreU32(out + 4, static_cast<uint32_t>(h.width));
  StoreU32(out + 8, static_cast<uint32_t>(h.height));
  StoreU16(out + 12, h.planes);
  StoreU16(out + 14, h.bitCount);
  StoreU32(out + 16, h.compression);
  StoreU32(out + 20, h.sizeImage);
  StoreU32(out + 24, static_cast<uint32_t>(h.xPelsPerMeter));
  StoreU32(out + 28, static_cast<uint32_t>(h.yPelsPerMeter));
  StoreU32(out + 32, h.clrUsed);
  StoreU32(out + 36, h.clrImportant);
}

void DecodeBitmapInfoHeader(const uint8_t in[kBmpInfoHeaderSize], SBitmapInfoHeader& h) {
  h.size = LoadU32(in + 0);
  h.width = static_cast<int32_t>(LoadU32(in + 4));
  h.height = static_cast<int32_t>(LoadU32(in + 8));
  h.planes = LoadU16(in + 12);
  h.bitCount = LoadU16(in + 14);
  h.compression = LoadU32(in + 16);
  h.sizeImage = LoadU32(in + 20);
  h.xPelsPerMeter = static_cast<int32_t>(LoadU32(in + 24));
  h.yPelsPerMeter = static_cast<int32_t>(LoadU32(in + 28));
  h.clrUsed = LoadU32(in + 32);
  h.clrImportant = LoadU32(in + 36);
}

int32_t DpiToPelsPerMeter(int32_t dpi) {
  return SaturateInt32(static_cast<int64_t>(std::trunc(static_cast<double>(dpi) * 100.0 / 2.54)));
}

static void FillHeader(SBitmapInfoHeader& h, int32_t dpi, int32_t width, int32_t height, uint16_t bits,
                       int64_t imageSize) {
  const int32_t ppm = DpiToPelsPerMeter(dpi);
  h.size = kBmpInfoHeaderSize;
  h.width = width;
  h.height = height;
  h.planes = 1;
  h.bitCount = bits;
  h.compression = kBiRgb;
  h.sizeImage = static_cast<uint32_t>(imageSize);
  h.xPelsPerMeter = ppm;
  h.yPelsPerMeter = ppm;
  h.clrUsed = 0;
  h.clrImportant = 0;
}

int32_t MakeBitmapInfo24(const CDibCore& image, SBitmapInfoHeader& header, int32_t dpi) {
  const int64_t rowLength = RowLength24(image.Width());
  FillHeader(header, dpi, image.Width(), image.Height(), 24, rowLength * image.Height());
  return static_cast<int32_t>(rowLength);
}

int32_t MakeBitmapInfo32(SBitmapInfoHeader& header, int32_t dpi, int32_t width, int32_t height) {
  FillHeader(header, dpi, width, height, 32, int64_t{4} * width * height);
  return static_cast<int32_t>(int64_t{4} * width);
}

void MakeBitmapInfo(const CDibCore& image, SBitmapInfoHeader& header, int32_t dpi) {
  MakeBitmapInfo32(header, dpi, image.Width(), image.Height());
}

int32_t BmpDpiFromHeader(const SBitmapInfoHeader& header) {
  if (header.size != 40 && header.size != 108 && header.size != 124) return 0;
  const double dpi = static_cast<double>(header.xPelsPerMeter) * 2.54 / 100.0 + 0.41;
  if (!(dpi > 0.0)) return 0;  // a negative resolution reads as none
  return SaturateInt32(static_cast<int64_t>(dpi));
}

bool LoadBMP(TMTC& image, Stream& stream, int32_t* dpi) {
  try {
    return LoadBMPUnguarded(image, stream, dpi);
  } catch (...) {
    return false;
  }
}

bool LoadBMPFromMemory(TMTC& image, const void* data, int64_t size, int32_t* dpi) {
  if (data == nullptr || size <= 0) return false;
  try {
    FixedMemoryStream stream(data, size);
    return LoadBMPUnguarded(image, stream, dpi);
  } catch (...) {
    return false;
  }
}

bool SaveBMP24(const TMTC& image, const std::string& path, int32_t dpi) {
  if (!image.IsValid()) return false;
  try {
    SBitmapInfoHeader info;
    const int32_t rowLength = MakeBitmapInfo24(image, info, dpi);
    const int64_t fileSize = int64_t{rowLength} * image.Height() + kBmpFileHeaderSize + kBmpInfoHeaderSize;
    if (fileSize > int64_t{UINT32_MAX}) return false;
    const SBitmapFileHeader file{kBmpMagic, static_cast<uint32_t>(fileSize), 0, 0,
                                 kBmpFileHeaderSize + kBmpInfoHeaderSize};
    uint8_t headers[kBmpFileHeaderSize + kBmpInfoHeaderSize];
    EncodeBitmapFileHeader(file, headers);
    EncodeBitmapInfoHeader(info, headers + kBmpFileHeaderSize);
    std::vector<uint8_t> row(static_cast<size_t>(rowLength), 0);  // padding stays zero
    const SDibView& view = image.View();
    return SaveFileAtomically(path, [&](Stream& out) {
      if (!out.WriteExact(headers, sizeof headers)) return false;
      for (int32_t y = image.Height() - 1; y >= 0; --y) {
        Rows32To24(row.data(), reinterpret_cast<const uint8_t*>(PixelAddr32(view, 0, y)), image.Width());
        if (!out.WriteExact(row.data(), rowLength)) return false;
      }
      return true;
    });
  } catch (...) {
    return false;
  }
}

bool MakePackedDIB24(const TMTC& image, int32_t dpi, SBitmapInfoHeader& header, uint8_t*& bits) {
  bits = nullptr;
  if (!image.IsValid()) return false;
  const int32_t rowLength = MakeBitmapInfo24(image, header, dpi);
  const int64_t bytes = int64_t{rowLength} * image.Height();
  uint8_t* block = nullptr;
  if (!TryGetMem(block, bytes)) return false;
  const SDibView& view = image.View();
  const int32_t h = image.Height();
  const int32_t used = 3 * image.Width();
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = block + int64_t{rowLength} * (h - 1 - y);
    Rows32To24(row, reinterpret_cast<const uint8_t*>(PixelAddr32(view, 0, y)), image.Width());
    std::memset(row + used, 0, static_cast<size_t>(rowLength - used));
  }
  bits = block;
  return true;
}

bool MakeDIB32Rect(const TMTC& image, int32_t dpi, SRectWH& rect, SBitmapInfoHeader& header, uint8_t*& bits) {
  bits = nullptr;
  if (!image.ClipRect(rect)) return false;
  MakeBitmapInfo32(header, dpi, rect.width, rect.height);
  const int64_t rowBytes = int64_t{4} * rect.width;
  uint8_t* block = nullptr;
  if (!TryGetMem(block, rowBytes * rect.height)) return false;
  const SDibView& view = image.View();
  for (int32_t k = 0; k < rect.height; ++k) {
    const int32_t y = rect.top + rect.height - 1 - k;
    std::memcpy(block + rowBytes * k, PixelAddr32(view, rect.left, y), static_cast<size_t>(rowBytes));
  }
  bits = block;
  return true;
}

void Rows24To32(uint8_t* dest, const uint8_t* source, int32_t count) {
  for (int32_t i = 0; i < count; ++i, dest += 4, source += 3) {
    dest[0] = source[0];
    dest[1] = source[1];
    dest[2] = source[2];
  }
}

void Rows32To24(uint8_t* dest, const uint8_t* source, int32_t count) {
  for (int32_t i = 0; i < count; ++i, dest += 3, source += 4) {
    dest[0] = source[0];
    dest[1] = source[1];
    dest[2] = source[2];
  }
}

}  // namespace tf
