#include "raster/BmpConv32.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "platform/ByteOrder.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

inline uint32_t Le32(const uint8_t* p) { return LoadLE<uint32_t>(p); }
inline uint16_t Le16(const uint8_t* p) { return LoadLE<uint16_t>(p); }

bool IsBitfields(uint32_t compression) { return compression == kBiBitfields || compression == kBiAlphaBitfields; }

// Reads the header (any supported size) at the block's start; masks and the header's byte count
// in the block (the size as stored plus masks that follow a 40-byte header).
bool ReadHeader(const uint8_t* block, size_t size, SDib& dib, size_t& used) {
  if (size < 4) return false;
  const uint32_t headerSize = Le32(block);
  if (headerSize > size) return false;
  SBitmapInfoHeader& h = dib.header;
  h = SBitmapInfoHeader{};
  std::fill(std::begin(dib.masks), std::end(dib.masks), 0u);
  if (headerSize == kBmpCoreHeaderSize) {
    h.size = headerSize;
    h.width = Le16(block + 4);
    h.height = Le16(block + 6);
    h.planes = Le16(block + 8);
    h.bitCount = Le16(block + 10);
    h.compression = kBiRgb;
    used = headerSize;
    return true;
  }
  if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
    return false;
  DecodeBitmapInfoHeader(block, h);
  used = headerSize;
  if (headerSize >= 52) {
    for (int i = 0; i < 3; ++i) dib.masks[i] = Le32(block + 40 + 4 * i);
    if (headerSize >= 56) dib.masks[3] = Le32(block + 52);
  } else if (IsBitfields(h.compression)) {
    const size_t count = h.compression == kBiAlphaBitfields ? 4 : 3;
    if (size - used < 4 * count) return false;
    for (size_t i = 0; i < count; ++i) dib.masks[i] = Le32(block + used + 4 * i);
    used += 4 * count;
  }
  if (!IsBitfields(h.compression)) std::fill(std::begin(dib.masks), std::end(dib.masks), 0u);
  return true;
}

// Table entries the DIB carries: clrUsed, or 2^bits when 0 for 1, 4 and 8 bits. Negative when
// the count is refused (more than 2^bits).
int64_t TableEntries(const SBitmapInfoHeader& h) {
  if (h.size == kBmpCoreHeaderSize) return h.bitCount <= 8 ? (int64_t{1} << h.bitCount) : 0;
  if (h.bitCount <= 8) {
    const int64_t most = int64_t{1} << h.bitCount;
    if (h.clrUsed == 0) return most;
    return h.clrUsed > most ? -1 : int64_t{h.clrUsed};
  }
  return h.clrUsed;
}

// Block laid out as header, masks, table, then (at pixelOffset when given and past the table,
// else right after it) the rows.
bool ParseDib(const uint8_t* block, size_t size, int64_t pixelOffset, SDib& dib, bool borrow) {
  size_t used = 0;
  if (!ReadHeader(block, size, dib, used)) return false;
  int64_t rowBytes = 0;
  if (!DibCheckHeader(dib.header, &rowBytes)) return false;
  const int64_t entries = TableEntries(dib.header);
  if (entries < 0) return false;
  const int64_t entrySize = dib.header.size == kBmpCoreHeaderSize ? 3 : 4;
  const int64_t tableEnd = static_cast<int64_t>(used) + entries * entrySize;
  if (tableEnd > static_cast<int64_t>(size)) return false;
  dib.colors.clear();
  if (dib.header.bitCount <= 8) {
    dib.colors.resize(static_cast<size_t>(entries));
    for (int64_t i = 0; i < entries; ++i) {
      const uint8_t* e = block + used + i * entrySize;
      dib.colors[static_cast<size_t>(i)] = uint32_t{e[0]} | uint32_t{e[1]} << 8 | uint32_t{e[2]} << 16;
    }
  }
  int64_t start = tableEnd;
  if (pixelOffset >= tableEnd && pixelOffset <= static_cast<int64_t>(size)) start = pixelOffset;
  const int64_t available = static_cast<int64_t>(size) - start;
  const bool rle = dib.header.compression == kBiRle8 || dib.header.compression == kBiRle4;
  if (!rle && available < rowBytes) return false;
  const int64_t take = rle ? available : rowBytes;
  if (borrow) {
    dib.pixels.reset();
    dib.borrowed = block + start;
    dib.pixelBytes = static_cast<size_t>(take);
    return true;
  }
  dib.borrowed = nullptr;
  if (!dib.AllocatePixels(static_cast<size_t>(take))) return false;
  if (take > 0) std::memcpy(dib.pixels.get(), block + start, static_cast<size_t>(take));
  return true;
}

// A channel of bit fields: where it lies and how wide it is.
struct SChannel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
};

SChannel ChannelOf(uint32_t mask) {
  SChannel c;
  c.mask = mask;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  c.bits = 32 - std::countl_zero(mask >> c.shift);
  return c;
}

// A field value of bits width scaled to 0..255 (v * 255 / max, truncated, as other readers do);
// wider fields keep their top 8 bits.
inline uint32_t Widen(uint32_t v, int bits) {
  if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
  return v * 255 / ((1u << bits) - 1);
}

inline uint32_t Extract(uint32_t pixel, const SChannel& c) {
  if (c.bits == 0) return 0;
  return Widen((pixel & c.mask) >> c.shift, c.bits);
}

// RLE4/RLE8 data decoded into one colour index per pixel (rows bottom first); unreached pixels
// keep index 0, runs are clipped to the picture.
void DecodeRle(const uint8_t* data, size_t size, bool four, int64_t width, int64_t rows, uint8_t* indexes) {
  int64_t x = 0, y = 0;
  size_t at = 0;
  auto put = [&](uint8_t value) {
    if (x < width && y < rows) indexes[y * width + x] = value;
    ++x;
  };
  while (at + 2 <= size && y < rows) {
    const uint8_t count = data[at];
    const uint8_t value = data[at + 1];
    at += 2;
    if (count > 0) {
      const int64_t n = std::min<int64_t>(count, std::max<int64_t>(0, width - x));
      for (int64_t i = 0; i < n; ++i) put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      x += count - n;
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // delta
      if (at + 2 > size) break;
      x += data[at];
      y += data[at + 1];
      at += 2;
    } else {  // absolute run of value indexes, padded to 2 bytes
      const size_t bytes = four ? (size_t{value} + 1) / 2 : value;
      const size_t padded = (bytes + 1) & ~size_t{1};
      if (at + bytes > size) break;
      for (int i = 0; i < value; ++i) {
        const uint8_t b = data[at + (four ? i / 2 : i)];
        put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
      }
      at += std::min(padded, size - at);
    }
  }
}

}  // namespace

bool SDib::AllocatePixels(size_t count) {
  borrowed = nullptr;
  pixels.reset(new (std::nothrow) uint8_t[count == 0 ? 1 : count]);
  writable = pixels.get();
  pixelBytes = pixels ? count : 0;
  return pixels != nullptr;
}

bool SDib::DecodedInto() const {
  return decodeInto && decodeInto->IsValid() && borrowed == decodeInto->Bits() && borrowed != nullptr;
}

bool SDib::Make(int32_t width, int32_t height, uint16_t bits, int32_t pelsPerMeter) {
  header = SBitmapInfoHeader{};
  header.size = kBmpInfoHeaderSize;
  header.width = width;
  header.height = height;
  header.planes = 1;
  header.bitCount = bits;
  header.compression = kBiRgb;
  header.xPelsPerMeter = pelsPerMeter;
  header.yPelsPerMeter = pelsPerMeter;
  std::fill(std::begin(masks), std::end(masks), 0u);
  colors.clear();
  int64_t rowBytes = 0;
  if ((bits != 24 && bits != 32) || !DibCheckHeader(header, &rowBytes)) return false;
  header.sizeImage = static_cast<uint32_t>(rowBytes);
  if (decodeInto && bits == 32 && height < 0) {
    // The image's rows are top-down and 4 * width bytes apart: the DIB's own layout.
    if (!decodeInto->Resize(width, -height) || !decodeInto->IsValid()) return false;
    pixels.reset();
    writable = decodeInto->Bits();
    borrowed = writable;
    pixelBytes = static_cast<size_t>(rowBytes);
    return true;
  }
  return AllocatePixels(static_cast<size_t>(rowBytes));
}

bool DibCheckHeader(const SBitmapInfoHeader& h, int64_t* rowBytes) {
  if (h.width <= 0 || h.height == 0) return false;
  const int64_t rows = h.height < 0 ? -int64_t{h.height} : int64_t{h.height};
  if (h.width > kMaxBmpPixels || rows > kMaxBmpPixels || int64_t{h.width} * rows > kMaxBmpPixels) return false;
  const uint32_t c = h.compression;
  bool ok = false;
  switch (h.bitCount) {
    case 1: ok = c == kBiRgb; break;
    case 4: ok = c == kBiRgb || c == kBiRle4; break;
    case 8: ok = c == kBiRgb || c == kBiRle8; break;
    case 16:
    case 32: ok = c == kBiRgb || IsBitfields(c); break;
    case 24: ok = c == kBiRgb; break;
    default: ok = false;
  }
  if (!ok) return false;
  const bool rle = c == kBiRle4 || c == kBiRle8;
  if (rle && h.height < 0) return false;  // compressed rows are always bottom-up
  if (rowBytes) *rowBytes = rle ? 0 : DibRowLength(h.width, h.bitCount) * rows;
  return true;
}

bool DibWritable(const SDib& dib) {
  const SBitmapInfoHeader& h = dib.header;
  int64_t rowBytes = 0;
  return (h.bitCount == 24 || h.bitCount == 32) && h.compression == kBiRgb && DibCheckHeader(h, &rowBytes) &&
         static_cast<int64_t>(dib.pixelBytes) >= rowBytes && dib.Data() != nullptr;
}

bool ParsePackedDib(const uint8_t* block, size_t size, SDib& dib, bool borrow) {
  if (!block) return false;
  return ParseDib(block, size, -1, dib, borrow);
}

bool ParseBmpFile(const uint8_t* data, size_t size, SDib& dib, bool borrow) {
  if (!data || size < kBmpFileHeaderSize + 4) return false;
  SBitmapFileHeader file;
  DecodeBitmapFileHeader(data, file);
  if (file.type != kBmpMagic) return false;
  return ParseDib(data + kBmpFileHeaderSize, size - kBmpFileHeaderSize,
                  static_cast<int64_t>(file.offBits) - kBmpFileHeaderSize, dib, borrow);
}

bool BmpConv32(const SDib& dib, uint32_t* dest, int32_t width, int32_t height, int64_t destStride) {
  const SBitmapInfoHeader& h = dib.header;
  int64_t rowBytes = 0;
  if (!dest || !DibCheckHeader(h, &rowBytes)) return false;
  const int64_t rows = dib.Rows();
  if (width != h.width || height != rows || destStride < width) return false;
  if (!dib.Data() && dib.pixelBytes > 0) return false;
  const bool rle = h.compression == kBiRle4 || h.compression == kBiRle8;
  if (!rle && static_cast<int64_t>(dib.pixelBytes) < rowBytes) return false;
  const int64_t stride = DibRowLength(width, h.bitCount);
  const uint8_t* bits = dib.Data();
  auto sourceRow = [&](int64_t y) { return bits + (dib.TopDown() ? y : rows - 1 - y) * stride; };
  auto destRow = [&](int64_t y) { return dest + y * destStride; };

  // Colours of the table, opaque; an index past the table reads entry 0 (black without one).
  uint32_t table[256];
  if (h.bitCount <= 8) {
    const uint32_t first = dib.colors.empty() ? 0u : dib.colors[0];
    for (size_t i = 0; i < 256; ++i) table[i] = 0xFF000000u | (i < dib.colors.size() ? dib.colors[i] : first);
  }

  if (rle) {
    std::unique_ptr<uint8_t[]> indexes(new (std::nothrow) uint8_t[static_cast<size_t>(int64_t{width} * rows)]);
    if (!indexes) return false;
    std::memset(indexes.get(), 0, static_cast<size_t>(int64_t{width} * rows));
    DecodeRle(bits, dib.pixelBytes, h.compression == kBiRle4, width, rows, indexes.get());
    for (int64_t y = 0; y < rows; ++y) {
      const uint8_t* s = indexes.get() + (rows - 1 - y) * width;
      uint32_t* d = destRow(y);
      for (int32_t x = 0; x < width; ++x) d[x] = table[s[x]];
    }
    return true;
  }

  switch (h.bitCount) {
    case 1:
    case 4:
    case 8: {
      const int b = h.bitCount;
      const int perByte = 8 / b;
      const uint32_t mask = (1u << b) - 1;
      for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* s = sourceRow(y);
        uint32_t* d = destRow(y);
        if (b == 8) {
          for (int32_t x = 0; x < width; ++x) d[x] = table[s[x]];
        } else {
          for (int32_t x = 0; x < width; ++x) {
            const int shift = 8 - b * (x % perByte + 1);
            d[x] = table[(s[x / perByte] >> shift) & mask];
          }
        }
      }
      return true;
    }
    case 24:
      for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* s = sourceRow(y);
        uint32_t* d = destRow(y);
        for (int32_t x = 0; x < width; ++x, s += 3)
          d[x] = 0xFF000000u | uint32_t{s[2]} << 16 | uint32_t{s[1]} << 8 | s[0];
      }
      return true;
    case 16: {
      uint32_t masks[4] = {0x7C00u, 0x03E0u, 0x001Fu, 0u};
      if (IsBitfields(h.compression)) std::copy(std::begin(dib.masks), std::end(dib.masks), masks);
      const SChannel r = ChannelOf(masks[0] & 0xFFFF), g = ChannelOf(masks[1] & 0xFFFF),
                     b = ChannelOf(masks[2] & 0xFFFF), a = ChannelOf(masks[3] & 0xFFFF);
      std::vector<uint32_t> lookup;
      try {
        lookup.resize(65536);
      } catch (const std::bad_alloc&) {
        return false;
      }
      for (uint32_t p = 0; p < 65536; ++p)
        lookup[p] = (a.bits ? Extract(p, a) : 0xFFu) << 24 | Extract(p, r) << 16 | Extract(p, g) << 8 | Extract(p, b);
      for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* s = sourceRow(y);
        uint32_t* d = destRow(y);
        for (int32_t x = 0; x < width; ++x) d[x] = lookup[Le16(s + 2 * x)];
      }
      return true;
    }
    case 32: {
      if (!IsBitfields(h.compression)) {
        for (int64_t y = 0; y < rows; ++y) std::memcpy(destRow(y), sourceRow(y), size_t{4} * width);
        return true;
      }
      const SChannel r = ChannelOf(dib.masks[0]), g = ChannelOf(dib.masks[1]), b = ChannelOf(dib.masks[2]),
                     a = ChannelOf(dib.masks[3]);
      const bool standard = dib.masks[0] == 0x00FF0000u && dib.masks[1] == 0x0000FF00u && dib.masks[2] == 0xFFu;
      for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* s = sourceRow(y);
        uint32_t* d = destRow(y);
        if (standard && dib.masks[3] == 0xFF000000u) {
          std::memcpy(d, s, size_t{4} * width);
        } else if (standard && dib.masks[3] == 0) {
          for (int32_t x = 0; x < width; ++x) d[x] = Le32(s + 4 * x) | 0xFF000000u;
        } else {
          for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = Le32(s + 4 * x);
            d[x] = (a.bits ? Extract(p, a) : 0xFFu) << 24 | Extract(p, r) << 16 | Extract(p, g) << 8 | Extract(p, b);
          }
        }
      }
      return true;
    }
    default:
      return false;
  }
}

std::vector<uint8_t> PackDib(const SDib& dib) {
  const bool fields = IsBitfields(dib.header.compression);
  const size_t masks = fields ? (dib.header.compression == kBiAlphaBitfields ? 16 : 12) : 0;
  const size_t table = dib.header.bitCount <= 8 ? 4 * dib.colors.size() : 0;
  std::vector<uint8_t> out(kBmpInfoHeaderSize + masks + table + dib.pixelBytes);
  SBitmapInfoHeader h = dib.header;
  h.size = kBmpInfoHeaderSize;
  if (table) h.clrUsed = static_cast<uint32_t>(dib.colors.size());
  EncodeBitmapInfoHeader(h, out.data());
  uint8_t* p = out.data() + kBmpInfoHeaderSize;
  for (size_t i = 0; i < masks / 4; ++i, p += 4) StoreLE<uint32_t>(p, dib.masks[i]);
  if (table)
    for (uint32_t c : dib.colors) {
      StoreLE<uint32_t>(p, c & 0x00FFFFFF);
      p += 4;
    }
  if (dib.pixelBytes) std::memcpy(p, dib.Data(), dib.pixelBytes);
  return out;
}

}  // namespace tf
