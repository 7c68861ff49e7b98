#include "files/BmpCodec.h"

#include <vector>

#include "files/ImageCodec.h"
#include "platform/ByteOrder.h"

namespace tf {

uint8_t bmpGetImage(const std::string& path, SDib& dib) {
  std::vector<uint8_t> bytes;
  const uint8_t read = ReadImageFileBytes(path, bytes);
  if (read != kImageOk) return read;
  if (bytes.size() >= 18) {
    SBitmapInfoHeader h{};
    const uint32_t headerSize = LoadLE<uint32_t>(bytes.data() + kBmpFileHeaderSize);
    if (headerSize >= 40 && bytes.size() >= kBmpFileHeaderSize + 40u) {
      DecodeBitmapInfoHeader(bytes.data() + kBmpFileHeaderSize, h);
      const int64_t rows = h.height < 0 ? -int64_t{h.height} : int64_t{h.height};
      if (int64_t{h.width} * rows > kMaxBmpPixels) return kImageTooLarge;
    }
  }
  return ParseBmpFile(bytes.data(), bytes.size(), dib) ? kImageOk : kImageCorrupt;
}

uint8_t bmpSaveImage(const std::string& path, const SDib& dib) {
  int64_t rowBytes = 0;
  const bool rle = dib.header.compression == kBiRle4 || dib.header.compression == kBiRle8;
  if (!DibCheckHeader(dib.header, &rowBytes) || (!rle && static_cast<int64_t>(dib.pixelBytes) < rowBytes))
    return kImageUnsupported;
  std::vector<uint8_t> packed;
  try {
    packed = PackDib(dib);
    const size_t pixelStart = packed.size() - dib.pixelBytes;
    SBitmapFileHeader file{};
    file.type = kBmpMagic;
    file.size = static_cast<uint32_t>(packed.size() + kBmpFileHeaderSize);
    file.offBits = static_cast<uint32_t>(pixelStart + kBmpFileHeaderSize);
    uint8_t head[kBmpFileHeaderSize];
    EncodeBitmapFileHeader(file, head);
    packed.insert(packed.begin(), head, head + kBmpFileHeaderSize);
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
  return WriteImageFileBytes(path, packed.data(), packed.size());
}

}  // namespace tf
