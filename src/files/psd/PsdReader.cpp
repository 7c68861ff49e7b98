#include "files/psd/PsdReader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/psd/PsdCodec.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
int32_t BeI32(const uint8_t* p) { return static_cast<int32_t>(Be32(p)); }

constexpr int32_t kFileHeaderBytes = 26;
// Smallest layer record: rectangle, channel count, blend signature and key, opacity, clipping,
// flags, filler and the extra data length.
constexpr int64_t kMinLayerRecordBytes = 34;
constexpr int32_t kPreviewBox = 256;

bool IsSignature(const uint8_t* p, const char* text) { return std::memcmp(p, text, 4) == 0; }

}  // namespace

CPsdReader::CPsdReader() = default;
CPsdReader::~CPsdReader() = default;

uint8_t CPsdReader::Open(const std::string& path) {
  auto file = TryCreateFileStream(path, FileMode::kOpenRead);
  if (!file) return kPsdOpenFailed;
  OpenStream(std::move(file));
  return kPsdOk;
}

void CPsdReader::OpenStream(std::unique_ptr<Stream> stream) {
  stream_ = std::move(stream);
  fileSize_ = stream_ ? stream_->Size() : 0;
  checked_ = false;
  readable_ = false;
}

bool CPsdReader::ReadAt(int64_t offset, void* buffer, int64_t count) {
  if (!stream_ || offset < 0 || count < 0 || offset > fileSize_ || count > fileSize_ - offset) return false;
  return stream_->SetPosition(offset) && stream_->ReadExact(buffer, count);
}

int32_t CPsdReader::ColorChannelCount() const {
  switch (psdMode_) {
    case 0: case 1: case 2: case 8: return 1;  // bitmap, grey, indexed, duotone
    case 3: case 9: return 3;                  // RGB, Lab
    case 4: return 4;                          // CMYK
    case 7: return channels_;                  // multichannel
    default: return 0;
  }
}

bool CPsdReader::Check() {
  if (checked_) return readable_;
  checked_ = true;
  readable_ = false;
  lastCode_ = kPsdNotPsd;
  try {
    uint8_t head[kFileHeaderBytes];
    if (!ReadAt(0, head, sizeof head)) return false;
    if (!IsSignature(head, "8BPS") || Be16(head + 4) != 1) return false;
    channels_ = Be16(head + 12);
    height_ = static_cast<int32_t>(std::min<uint32_t>(Be32(head + 14), 0x7FFFFFFF));
    width_ = static_cast<int32_t>(std::min<uint32_t>(Be32(head + 18), 0x7FFFFFFF));
    depth_ = Be16(head + 22);
    psdMode_ = Be16(head + 24);
    if (channels_ < 1 || channels_ > kPsdMaxChannels || width_ < 1 || width_ > kPsdMaxSide || height_ < 1 ||
        height_ > kPsdMaxSide)
      headerCode_ = kPsdBadSize;

    // Colour mode data: skipped.
    int64_t at = kFileHeaderBytes;
    uint8_t word[4];
    if (!ReadAt(at, word, 4)) return false;
    at += 4 + int64_t{Be32(word)};
    if (at > fileSize_) return false;

    // Image resources.
    if (!ReadAt(at, word, 4)) return false;
    const int64_t resourcesEnd = at + 4 + int64_t{Be32(word)};
    if (resourcesEnd > fileSize_) return false;
    std::vector<uint8_t> section(static_cast<size_t>(resourcesEnd - at - 4));
    if (!ReadAt(at + 4, section.data(), static_cast<int64_t>(section.size()))) return false;
    size_t r = 0;
    // A block that does not fit ends the list; the blocks before it stay.
    while (r + 12 <= section.size()) {
      const uint8_t* b = section.data() + r;
      if (!IsSignature(b, "8BIM")) break;
      const uint16_t id = Be16(b + 4);
      const size_t nameSpan = (size_t{b[6]} + 2) & ~size_t{1};
      size_t p = r + 6 + nameSpan;
      if (p + 4 > section.size()) break;
      const size_t size = Be32(section.data() + p);
      p += 4;
      if (size > section.size() - p) break;
      SResource resource;
      resource.id = id;
      resource.data.assign(section.begin() + static_cast<std::ptrdiff_t>(p),
                           section.begin() + static_cast<std::ptrdiff_t>(p + size));
      resources_.push_back(std::move(resource));
      r = p + size + (size & 1);
    }
    at = resourcesEnd;

    // Layer and mask section.
    if (!ReadAt(at, word, 4)) return false;
    const int64_t layerSectionLength = Be32(word);
    if (at + 4 + layerSectionLength > fileSize_) return false;
    if (headerCode_ == kPsdOk) {
      const uint8_t code = ParseLayerSection(at + 4, layerSectionLength);
      if (code != kPsdOk) headerCode_ = code;
    }
    imageDataStart_ = at + 4 + layerSectionLength;
    readable_ = true;
    lastCode_ = kPsdOk;
    return true;
  } catch (const std::bad_alloc&) {
    lastCode_ = kPsdNoMemory;
  } catch (...) {
    lastCode_ = kPsdException;
  }
  return false;
}

uint8_t CPsdReader::ParseLayerSection(int64_t start, int64_t length) {
  layers_.clear();
  layerCount_ = 0;
  mergedAlpha_ = false;
  if (length < 4) return kPsdOk;
  uint8_t word[4];
  if (!ReadAt(start, word, 4)) return kPsdShortRead;
  const int64_t infoLength = Be32(word);
  if (infoLength > length - 4) return kPsdBadSize;
  if (infoLength < 2) return kPsdOk;
  const int64_t infoStart = start + 4;
  const int64_t infoEnd = infoStart + infoLength;
  uint8_t countBytes[2];
  if (!ReadAt(infoStart, countBytes, 2)) return kPsdShortRead;
  const int32_t count = static_cast<int16_t>(Be16(countBytes));
  const int32_t layers = count < 0 ? -count : count;
  if (layers > kPsdMaxLayers || layers * kMinLayerRecordBytes > infoLength - 2) return kPsdBadSize;
  layerCount_ = layers;
  mergedAlpha_ = count < 0;
  layers_.resize(static_cast<size_t>(layers));
  int64_t at = infoStart + 2;
  bool broken = false;
  for (int32_t i = 0; i < layers; ++i) {
    SLayerEntry& entry = layers_[static_cast<size_t>(i)];
    entry.record.index = i;
    if (broken) {
      entry.code = kPsdCorrupt;
      continue;
    }
    entry.code = ParseLayerRecord(at, infoEnd, entry);
    // A record whose length cannot be told ends the walk: the ones after it cannot be found.
    if (entry.code == kPsdCorrupt || entry.code == kPsdShortRead) broken = true;
  }
  // The channel data follows the records, layer after layer.
  for (SLayerEntry& entry : layers_) {
    for (SChannelEntry& channel : entry.channels) {
      channel.offset = at;
      if (broken || channel.length > infoEnd - at) {
        channel.length = -1;  // past the section: this channel cannot be read
        broken = true;
        continue;
      }
      at += channel.length;
    }
  }
  return kPsdOk;
}

uint8_t CPsdReader::ParseLayerRecord(int64_t& at, int64_t end, SLayerEntry& entry) {
  SPsdLayerRecord& record = entry.record;
  uint8_t fixed[18];
  if (end - at < 18 || !ReadAt(at, fixed, 18)) return kPsdCorrupt;
  const int32_t top = BeI32(fixed), left = BeI32(fixed + 4), bottom = BeI32(fixed + 8), right = BeI32(fixed + 12);
  const int32_t channelCount = Be16(fixed + 16);
  at += 18;
  if (end - at < int64_t{channelCount} * 6 + 16) return kPsdCorrupt;
  std::vector<uint8_t> bytes(static_cast<size_t>(channelCount) * 6 + 16);
  if (!ReadAt(at, bytes.data(), static_cast<int64_t>(bytes.size()))) return kPsdCorrupt;
  at += static_cast<int64_t>(bytes.size());
  entry.channels.resize(static_cast<size_t>(channelCount));
  for (int32_t c = 0; c < channelCount; ++c) {
    const uint8_t* p = bytes.data() + c * 6;
    entry.channels[static_cast<size_t>(c)].id = static_cast<int16_t>(Be16(p));
    entry.channels[static_cast<size_t>(c)].length = Be32(p + 2);
  }
  const uint8_t* blend = bytes.data() + channelCount * 6;
  std::memcpy(record.blendKey, blend + 4, 4);
  record.opacity = blend[8];
  record.flags = blend[10];
  const int64_t extraLength = Be32(blend + 12);
  if (extraLength > end - at) return kPsdCorrupt;
  std::vector<uint8_t> extra(static_cast<size_t>(extraLength));
  if (!ReadAt(at, extra.data(), extraLength)) return kPsdCorrupt;
  at += extraLength;

  record.rect = TRect{left, top, right, bottom};
  record.channelCount = channelCount;
  record.blendMode = PsdBlendModeOfKey(record.blendKey);
  record.number = -1;

  // Extra data: mask data, blending ranges, the Pascal name padded to 4, tagged blocks.
  size_t p = 0;
  for (int k = 0; k < 2; ++k) {
    if (p + 4 > extra.size()) return kPsdCorrupt;
    const size_t size = Be32(extra.data() + p);
    if (size > extra.size() - p - 4) return kPsdCorrupt;
    p += 4 + size;
  }
  if (p < extra.size()) {
    const size_t nameLength = extra[p];
    if (nameLength + 1 > extra.size() - p) return kPsdCorrupt;
    record.name.assign(reinterpret_cast<const char*>(extra.data() + p + 1), nameLength);
    p += (nameLength + 4) & ~size_t{3};
  }
  while (p + 12 <= extra.size()) {
    const uint8_t* b = extra.data() + p;
    if (!IsSignature(b, "8BIM") && !IsSignature(b, "8B64")) break;
    const size_t size = Be32(b + 8);
    if (size > extra.size() - p - 12) break;
    const uint8_t* data = b + 12;
    if (IsSignature(b + 4, "luni") && size >= 4) {
      const size_t units = std::min<size_t>(Be32(data), (size - 4) / 2);
      std::vector<uint16_t> text(units);
      for (size_t u = 0; u < units; ++u) text[u] = Be16(data + 4 + 2 * u);
      record.useName = Utf8ToCp932(Utf16ToUtf8(text));
    } else if (IsSignature(b + 4, "lyid") && size >= 4) {
      record.number = static_cast<int32_t>(std::min<uint32_t>(Be32(data), 0x7FFFFFFF));
    }
    p += 12 + size;
  }

  if (channelCount < 1 || channelCount > kPsdMaxChannels) return kPsdBadSize;
  if (right < left || bottom < top) return kPsdBadSize;
  return kPsdOk;
}

uint8_t CPsdReader::Header(SPsdHeader& header) {
  if (!Check()) return lastCode_;
  if (headerCode_ != kPsdOk) return headerCode_;
  header = SPsdHeader{};
  const int32_t colour = ColorChannelCount();
  header.bitsPerPixel = depth_ * colour;
  header.width = width_;
  header.height = height_;
  header.resolutionX = header.resolutionY = 72;
  uint8_t resolution[16];
  if (ImageResource(1005, nullptr, 0) >= 16 && ImageResource(1005, resolution, 16) >= 16) {
    header.resolutionX = static_cast<int32_t>((Be32(resolution) + 0x8000) >> 16);
    header.resolutionY = static_cast<int32_t>((Be32(resolution + 8) + 0x8000) >> 16);
  }
  switch (psdMode_) {
    case 1: header.colorMode = kPsdModeGrey; break;
    case 3: header.colorMode = kPsdModeRgb; break;
    case 0: header.colorMode = kPsdModeBitmap; break;
    default: header.colorMode = kPsdModeOther + psdMode_; break;
  }
  header.colorChannels = colour;
  header.allChannels = channels_;
  header.layerCount = layerCount_;
  header.activeLayer = -1;
  uint8_t target[2];
  if (ImageResource(1024, nullptr, 0) >= 2 && ImageResource(1024, target, 2) >= 2) header.activeLayer = Be16(target);
  header.layerNameCounter = 0;
  header.mergedAlpha = mergedAlpha_ ? 1 : 0;
  header.extraChannels = header.extraChannels2 = channels_ > colour ? 0xFF : 0;
  return kPsdOk;
}

uint8_t CPsdReader::LayerRecord(int32_t index, SPsdLayerRecord& record) {
  if (!Check()) return lastCode_;
  if (headerCode_ != kPsdOk) return headerCode_;
  if (index < 0 || index >= static_cast<int32_t>(layers_.size())) return kPsdBadArgument;
  const SLayerEntry& entry = layers_[static_cast<size_t>(index)];
  if (entry.code != kPsdOk) return entry.code;
  record = entry.record;
  return kPsdOk;
}

uint8_t CPsdReader::DecodeChannel(int64_t offset, int64_t length, int64_t rowBytes, int64_t rows,
                                  std::vector<uint8_t>& out) {
  if (length < 2) return kPsdCorrupt;
  const int64_t area = rowBytes * rows;
  uint8_t head[2];
  if (!ReadAt(offset, head, 2)) return kPsdShortRead;
  const uint16_t compression = Be16(head);
  const int64_t body = length - 2;
  // What the body can decode to at most is known before anything is allocated.
  switch (compression) {
    case 0:
      if (area > body) return kPsdCorrupt;
      break;
    case 1:
      if (rows * 2 > body || (rowBytes + 127) / 128 * 2 * rows > body - rows * 2) return kPsdCorrupt;
      break;
    case 2: case 3:
      if (area > body * 1032 + 1032) return kPsdCorrupt;
      break;
    default: return kPsdUnsupported;
  }
  out.resize(static_cast<size_t>(area));
  if (area == 0) return kPsdOk;
  if (compression == 0) return ReadAt(offset + 2, out.data(), area) ? kPsdOk : kPsdShortRead;
  packed_.resize(static_cast<size_t>(body));
  if (!ReadAt(offset + 2, packed_.data(), body)) return kPsdShortRead;
  if (compression != 1)
    return ZipDecode(packed_.data(), body, out.data(), area, compression == 3, rowBytes) ? kPsdOk : kPsdBadPacked;
  const uint8_t* counts = packed_.data();
  int64_t at = rows * 2;
  for (int64_t y = 0; y < rows; ++y) {
    const int64_t count = Be16(counts + 2 * y);
    if (count > body - at) return kPsdBadPacked;
    if (!PackBitsDecodeRow(packed_.data() + at, count, out.data() + y * rowBytes, rowBytes)) return kPsdBadPacked;
    at += count;
  }
  return kPsdOk;
}

uint8_t CPsdReader::LayerChannel(SPsdChannel& channel) {
  try {
    if (!Check()) return lastCode_;
    if (headerCode_ != kPsdOk) return headerCode_;
    if (channel.layer < 0 || channel.layer >= static_cast<int32_t>(layers_.size())) return kPsdBadArgument;
    const SLayerEntry& entry = layers_[static_cast<size_t>(channel.layer)];
    if (entry.code != kPsdOk) return entry.code;
    if (channel.number < 0 || channel.number >= static_cast<int32_t>(entry.channels.size())) return kPsdBadArgument;
    if (psdMode_ == 0) return kPsdUnsupported;  // layers of bitmap files are not read
    const SChannelEntry& c = entry.channels[static_cast<size_t>(channel.number)];
    channel.id = c.id;
    channel.rect = entry.record.rect;
    channel.bytes = 0;
    if (c.length < 0) return kPsdCorrupt;
    if (c.id < kPsdChannelAlpha) return kPsdOk;
    const int64_t width = int64_t{entry.record.rect.right} - entry.record.rect.left;
    const int64_t height = int64_t{entry.record.rect.bottom} - entry.record.rect.top;
    channel.width = static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
    channel.height = static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX));
    const uint8_t code = DecodeChannel(c.offset, c.length, width, height, channel.pixels);
    if (code == kPsdOk) channel.bytes = width * height;
    return code;
  } catch (const std::bad_alloc&) {
    return kPsdNoMemory;
  } catch (...) {
    return kPsdException;
  }
}

uint8_t CPsdReader::NextMergedChannel(SPsdChannel& channel) {
  try {
    if (!Check()) return lastCode_;
    if (headerCode_ != kPsdOk) return headerCode_;
    if (channel.number < 0 || channel.number >= channels_) return kPsdNoData;
    const int32_t k = channel.number;
    channel.id = k;
    channel.rect = TRect{0, 0, width_, height_};
    channel.width = width_;
    channel.height = height_;
    channel.bytes = 0;
    if (depth_ != 8 && !(depth_ == 1 && psdMode_ == 0)) return kPsdUnsupported;
    const int64_t rowBytes = depth_ == 1 ? (int64_t{width_} + 7) / 8 : width_;
    const int64_t area = rowBytes * height_;
    const int64_t body = fileSize_ - imageDataStart_ - 2;
    uint8_t head[2];
    if (body < 0 || !ReadAt(imageDataStart_, head, 2)) return kPsdShortRead;
    const uint16_t compression = Be16(head);
    const int64_t start = imageDataStart_ + 2;
    if (compression == 0) {
      if (area * (k + 1) > body) return kPsdShortRead;
      channel.pixels.resize(static_cast<size_t>(area));
      if (!ReadAt(start + area * k, channel.pixels.data(), area)) return kPsdShortRead;
    } else if (compression == 1) {
      const int64_t rows = int64_t{height_} * channels_;
      if (mergedRowCounts_.empty()) {
        if (rows * 2 > body) return kPsdShortRead;
        std::vector<uint8_t> counts(static_cast<size_t>(rows * 2));
        if (!ReadAt(start, counts.data(), rows * 2)) return kPsdShortRead;
        mergedRowCounts_.resize(static_cast<size_t>(rows));
        for (int64_t i = 0; i < rows; ++i) mergedRowCounts_[static_cast<size_t>(i)] = Be16(counts.data() + 2 * i);
      }
      int64_t offset = rows * 2;
      for (int64_t i = 0; i < int64_t{height_} * k; ++i) offset += mergedRowCounts_[static_cast<size_t>(i)];
      int64_t packedBytes = 0;
      for (int64_t y = 0; y < height_; ++y) packedBytes += mergedRowCounts_[static_cast<size_t>(int64_t{height_} * k + y)];
      if (offset + packedBytes > body) return kPsdShortRead;
      packed_.resize(static_cast<size_t>(packedBytes));
      if (!ReadAt(start + offset, packed_.data(), packedBytes)) return kPsdShortRead;
      channel.pixels.resize(static_cast<size_t>(area));
      int64_t at = 0;
      for (int64_t y = 0; y < height_; ++y) {
        const int64_t count = mergedRowCounts_[static_cast<size_t>(int64_t{height_} * k + y)];
        if (!PackBitsDecodeRow(packed_.data() + at, count, channel.pixels.data() + y * rowBytes, rowBytes))
          return kPsdBadPacked;
        at += count;
      }
    } else if (compression == 2 || compression == 3) {
      if (mergedZip_.empty()) {
        const int64_t all = area * channels_;
        if (all > body * 1032 + 1032) return kPsdCorrupt;
        packed_.resize(static_cast<size_t>(body));
        if (!ReadAt(start, packed_.data(), body)) return kPsdShortRead;
        std::vector<uint8_t> whole(static_cast<size_t>(all));
        if (!ZipDecode(packed_.data(), body, whole.data(), all, compression == 3, rowBytes)) return kPsdBadPacked;
        mergedZip_ = std::move(whole);
      }
      channel.pixels.assign(mergedZip_.begin() + static_cast<std::ptrdiff_t>(area * k),
                            mergedZip_.begin() + static_cast<std::ptrdiff_t>(area * (k + 1)));
    } else {
      return kPsdUnsupported;
    }
    channel.bytes = area;
    return kPsdOk;
  } catch (const std::bad_alloc&) {
    return kPsdNoMemory;
  } catch (...) {
    return kPsdException;
  }
}

int64_t CPsdReader::ImageResource(uint16_t id, uint8_t* buffer, int64_t size) {
  if (!Check()) return 0;
  for (const SResource& resource : resources_) {
    if (resource.id != id) continue;
    const int64_t have = static_cast<int64_t>(resource.data.size());
    if (buffer != nullptr && size > 0) std::memcpy(buffer, resource.data.data(), static_cast<size_t>(std::min(have, size)));
    return have;
  }
  return 0;
}

uint8_t CPsdReader::MergedImage(std::unique_ptr<TMTC>& image) {
  try {
    image.reset();
    SPsdHeader header;
    if (const uint8_t code = Header(header)) return code;
    const bool bitmap = header.colorMode == kPsdModeBitmap && depth_ == 1;
    if (!bitmap && !((header.colorMode == kPsdModeGrey || header.colorMode == kPsdModeRgb) && depth_ == 8))
      return kPsdUnsupported;
    auto picture = std::make_unique<TMTC>(width_, height_);
    if (!picture->IsValid()) return kPsdNoMemory;
    for (int32_t y = 0; y < height_; ++y)
      for (int32_t x = 0; x < width_; ++x) *picture->Pixel(x, y) = 0xFF000000u;
    const int32_t colour = header.colorChannels;
    const int32_t wanted = colour + (header.mergedAlpha && channels_ > colour ? 1 : 0);
    SPsdChannel channel;
    for (int32_t k = 0; k < wanted; ++k) {
      channel.number = k;
      if (const uint8_t code = NextMergedChannel(channel)) return code;
      const uint8_t* src = channel.pixels.data();
      for (int32_t y = 0; y < height_; ++y) {
        uint8_t* row = reinterpret_cast<uint8_t*>(picture->Pixel(0, y));
        if (bitmap) {
          const uint8_t* bits = src + int64_t{y} * ((width_ + 7) / 8);
          for (int32_t x = 0; x < width_; ++x) {
            const uint8_t v = (bits[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
            row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = v;
          }
          continue;
        }
        const uint8_t* line = src + int64_t{y} * width_;
        if (k == colour) {
          for (int32_t x = 0; x < width_; ++x) row[4 * x + 3] = line[x];
        } else if (colour == 1) {
          for (int32_t x = 0; x < width_; ++x) row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = line[x];
        } else {
          const int32_t byte = 2 - k;  // red 2, green 1, blue 0
          for (int32_t x = 0; x < width_; ++x) row[4 * x + byte] = line[x];
        }
      }
    }
    image = std::move(picture);
    return kPsdOk;
  } catch (const std::bad_alloc&) {
    return kPsdNoMemory;
  } catch (...) {
    return kPsdException;
  }
}

uint8_t CPsdReader::Preview(std::unique_ptr<TMTC>& image, SSize& documentSize) {
  std::unique_ptr<TMTC> merged;
  if (const uint8_t code = MergedImage(merged)) return code;
  documentSize = SSize{width_, height_};
  if (width_ <= kPreviewBox && height_ <= kPreviewBox) {
    image = std::move(merged);
    return kPsdOk;
  }
  std::unique_ptr<TMTC> scaled(MakeScaledCopy(SSize{kPreviewBox, kPreviewBox}, *merged, true, false, 0xFFFFFFFFu));
  if (!scaled) return kPsdNoMemory;
  image = std::move(scaled);
  return kPsdOk;
}

}  // namespace tf
