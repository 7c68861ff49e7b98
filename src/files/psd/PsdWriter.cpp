#include "files/psd/PsdWriter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/JpegCodec.h"
#include "files/psd/PsdCodec.h"
#include "platform/Debug.h"
#include "platform/Stream.h"
#include "platform/Text.h"

namespace tf {

namespace {

constexpr int64_t kMaxLength32 = 0xFFFFFFFFll;
constexpr uint32_t kThumbnailFormatJpeg = 1;
constexpr int32_t kThumbnailQuality = 80;

// A byte buffer written big-endian.
struct BeBuffer {
  std::vector<uint8_t> bytes;
  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    bytes.push_back(static_cast<uint8_t>(v >> 8));
    bytes.push_back(static_cast<uint8_t>(v));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v >> 16));
    U16(static_cast<uint16_t>(v));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Text(const char* text, size_t n) { bytes.insert(bytes.end(), text, text + n); }
  void Raw(const uint8_t* data, size_t n) { bytes.insert(bytes.end(), data, data + n); }
  void PadTo(size_t multiple, size_t from) {
    while ((bytes.size() - from) % multiple != 0) bytes.push_back(0);
  }
  void PatchU32(size_t at, uint32_t v) {
    bytes[at] = static_cast<uint8_t>(v >> 24);
    bytes[at + 1] = static_cast<uint8_t>(v >> 16);
    bytes[at + 2] = static_cast<uint8_t>(v >> 8);
    bytes[at + 3] = static_cast<uint8_t>(v);
  }
};

bool WriteBuffer(Stream& stream, const BeBuffer& buffer) {
  return stream.WriteExact(buffer.bytes.data(), static_cast<int64_t>(buffer.bytes.size()));
}

bool PatchU32At(Stream& stream, int64_t at, uint32_t value) {
  const int64_t back = stream.Position();
  uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                      static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return back >= 0 && stream.SetPosition(at) && stream.WriteExact(bytes, 4) && stream.SetPosition(back);
}

// A Pascal name of at most 255 bytes, never ending inside a double-byte character.
std::string PascalName(const std::string& name) {
  const std::string text = name.substr(0, name.find('\0'));
  return text.substr(0, Cp932FitLength(text, 255));
}

}  // namespace

uint8_t CPsdWriter::SetHeader(const SPsdHeader& header) {
  if (header.width < 1 || header.width > kPsdMaxSide || header.height < 1 || header.height > kPsdMaxSide ||
      header.allChannels < 3 || header.allChannels > kPsdMaxChannels || header.layerCount < 0 ||
      header.layerCount > kPsdMaxLayers)
    return kPsdBadSize;
  header_ = header;
  hasHeader_ = true;
  return kPsdOk;
}

uint8_t CPsdWriter::Write(const std::string& path, PsdWriteSource& source) {
  if (!hasHeader_) return kPsdNoHeader;
  AtomicFileWriter writer;
  if (!writer.Begin(path)) return kPsdOpenFailed;
  const uint8_t code = WriteStream(writer.GetStream(), source);
  if (code != kPsdOk) {
    writer.Abandon();
    return code;
  }
  return writer.Commit() ? kPsdOk : kPsdShortWrite;
}

uint8_t CPsdWriter::WriteStream(Stream& stream, PsdWriteSource& source) {
  if (!hasHeader_) return kPsdNoHeader;
  packedInput_ = packedOutput_ = 0;
  try {
    BeBuffer head;
    head.Text("8BPS", 4);
    head.U16(1);
    for (int i = 0; i < 6; ++i) head.U8(0);
    head.U16(static_cast<uint16_t>(header_.allChannels));
    head.U32(static_cast<uint32_t>(header_.height));
    head.U32(static_cast<uint32_t>(header_.width));
    head.U16(8);
    head.U16(3);  // RGB
    head.U32(0);  // no colour mode data
    if (!WriteBuffer(stream, head)) return kPsdShortWrite;
    if (const uint8_t code = WriteResources(stream, source)) return code;
    if (const uint8_t code = WriteLayers(stream, source)) return code;
    return WriteMerged(stream, source);
  } catch (const std::bad_alloc&) {
    return kPsdNoMemory;
  } catch (...) {
    return kPsdException;
  }
}

uint8_t CPsdWriter::WriteResources(Stream& stream, PsdWriteSource& source) {
  BeBuffer r;
  r.U32(0);  // section length, filled in below
  auto begin = [&r](uint16_t id) {
    r.Text("8BIM", 4);
    r.U16(id);
    r.U16(0);  // empty Pascal name padded to even
    r.U32(0);  // size, filled in by end
    return r.bytes.size();
  };
  auto end = [&r](size_t dataStart) {
    r.PatchU32(dataStart - 4, static_cast<uint32_t>(r.bytes.size() - dataStart));
    r.PadTo(2, 0);
  };

  size_t at = begin(1005);
  const auto fixed = [](int32_t dpi) { return static_cast<uint32_t>(std::clamp(dpi, 1, 32767)) << 16; };
  r.U32(fixed(header_.resolutionX));
  r.U16(1);  // pixels per inch
  r.U16(1);  // width shown in inches
  r.U32(fixed(header_.resolutionY));
  r.U16(1);
  r.U16(1);
  end(at);

  if (header_.allChannels > 3) {
    at = begin(1006);
    for (int32_t number = 3; number < header_.allChannels; ++number) {
      SPsdChannel channel;
      channel.number = number;
      if (!source.ExtraChannelInfo(channel)) return kPsdCallback;
      const std::string name = PascalName(channel.name);
      r.U8(static_cast<uint8_t>(name.size()));
      r.Text(name.data(), name.size());
    }
    end(at);
  }

  if (header_.layerCount > 0) {
    at = begin(1024);
    r.U16(static_cast<uint16_t>(std::clamp(header_.activeLayer, 0, header_.layerCount - 1)));
    end(at);
  }

  const TMTC* thumbnail = nullptr;
  if (!source.Thumbnail(thumbnail) || thumbnail == nullptr || !thumbnail->IsValid()) {
    DebugOut("CPsdWriter: no thumbnail picture; the thumbnail resource is left out\n");
  } else {
    std::vector<uint8_t> jfif;
    SJpegOptions options;
    options.quality = kThumbnailQuality;
    if (!JpegEncodeRows(reinterpret_cast<const uint8_t*>(thumbnail->Pixel(0, 0)), int64_t{thumbnail->GetRowStep()} * 4,
                        thumbnail->Width(), thumbnail->Height(), JpegInput::kBgrx32, options, 0, jfif) ||
        jfif.empty()) {
      DebugOut("CPsdWriter: the thumbnail could not be encoded; the thumbnail resource is left out\n");
    } else {
      at = begin(1036);
      const uint32_t width = static_cast<uint32_t>(thumbnail->Width());
      const uint32_t height = static_cast<uint32_t>(thumbnail->Height());
      const uint32_t widthBytes = (width * 24 + 31) / 32 * 4;
      r.U32(kThumbnailFormatJpeg);
      r.U32(width);
      r.U32(height);
      r.U32(widthBytes);
      r.U32(widthBytes * height);
      r.U32(static_cast<uint32_t>(jfif.size()));
      r.U16(24);
      r.U16(1);
      r.Raw(jfif.data(), jfif.size());
      end(at);
    }
  }
  r.PatchU32(0, static_cast<uint32_t>(r.bytes.size() - 4));
  return WriteBuffer(stream, r) ? kPsdOk : kPsdShortWrite;
}

bool CPsdWriter::PackPlane(const uint8_t* pixels, int64_t width, int64_t height) {
  const int64_t bound = PackBitsBound(width);
  if (bound > 0xFFFF) return false;
  packedRows_.resize(static_cast<size_t>(bound * height));
  rowCounts_.resize(static_cast<size_t>(height));
  int64_t at = 0;
  for (int64_t y = 0; y < height; ++y) {
    const int64_t n = PackBitsEncodeRow(pixels + y * width, width, packedRows_.data() + at);
    rowCounts_[static_cast<size_t>(y)] = static_cast<uint16_t>(n);
    at += n;
  }
  packedRows_.resize(static_cast<size_t>(at));
  packedInput_ += width * height;
  packedOutput_ += at;
  return true;
}

uint8_t CPsdWriter::WriteLayers(Stream& stream, PsdWriteSource& source) {
  const int64_t sectionStart = stream.Position();
  if (sectionStart < 0) return kPsdShortWrite;
  const int32_t count = header_.layerCount;
  BeBuffer b;
  b.U32(0);  // layer and mask section length
  b.U32(0);  // layer info length
  b.U16(static_cast<uint16_t>(count));
  // Where each record's channel lengths sit in the file, to be filled in after the data.
  std::vector<std::vector<int64_t>> lengthAt(static_cast<size_t>(count));
  std::vector<std::vector<int32_t>> ids(static_cast<size_t>(count));
  std::vector<SSize> sizes(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    SPsdLayerRecord record;
    record.index = i;
    if (!source.LayerRecord(i, record)) return kPsdCallback;
    const int64_t width = int64_t{record.rect.right} - record.rect.left;
    const int64_t height = int64_t{record.rect.bottom} - record.rect.top;
    if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX) return kPsdBadSize;
    sizes[static_cast<size_t>(i)] = SSize{static_cast<int32_t>(width), static_cast<int32_t>(height)};
    b.I32(record.rect.top);
    b.I32(record.rect.left);
    b.I32(record.rect.bottom);
    b.I32(record.rect.right);
    const int32_t channels = std::clamp(record.channelCount, 0, kPsdMaxChannels);
    b.U16(static_cast<uint16_t>(channels));
    for (int32_t n = 0; n < channels; ++n) {
      int32_t id = 0;
      if (!source.LayerChannelId(i, n, id)) return kPsdCallback;
      ids[static_cast<size_t>(i)].push_back(id);
      b.U16(static_cast<uint16_t>(static_cast<int16_t>(id)));
      lengthAt[static_cast<size_t>(i)].push_back(sectionStart + static_cast<int64_t>(b.bytes.size()));
      b.U32(0);
    }
    b.Text("8BIM", 4);
    b.Text(PsdIsDissolveKey(record.blendKey) ? "diss" : PsdBlendKey(static_cast<uint8_t>(record.blendMode)), 4);
    b.U8(record.opacity);
    b.U8(0);  // clipping
    b.U8(record.flags);
    b.U8(0);
    const size_t extraLengthAt = b.bytes.size();
    b.U32(0);
    const size_t extraStart = b.bytes.size();
    b.U32(0);  // no layer mask data
    b.U32(0);  // no blending ranges
    const std::string name = PascalName(record.useName ? *record.useName : record.name);
    const size_t nameStart = b.bytes.size();
    b.U8(static_cast<uint8_t>(name.size()));
    b.Text(name.data(), name.size());
    b.PadTo(4, nameStart);
    if (version_ >= 6) {
      const std::vector<uint16_t> units = Utf8ToUtf16(Cp932ToUtf8(record.useName ? *record.useName : record.name));
      b.Text("8BIM", 4);
      b.Text("luni", 4);
      const size_t lengthField = b.bytes.size();
      b.U32(0);
      const size_t dataStart = b.bytes.size();
      b.U32(static_cast<uint32_t>(units.size()));
      for (uint16_t u : units) b.U16(u);
      b.PadTo(4, dataStart);
      b.PatchU32(lengthField, static_cast<uint32_t>(b.bytes.size() - dataStart));
      b.Text("8BIM", 4);
      b.Text("lyid", 4);
      b.U32(4);
      b.U32(static_cast<uint32_t>(record.number));
    }
    b.PatchU32(extraLengthAt, static_cast<uint32_t>(b.bytes.size() - extraStart));
  }
  if (!WriteBuffer(stream, b)) return kPsdShortWrite;

  SPsdChannel channel;
  for (int32_t i = 0; i < count; ++i) {
    const SSize size = sizes[static_cast<size_t>(i)];
    for (size_t n = 0; n < ids[static_cast<size_t>(i)].size(); ++n) {
      channel.layer = i;
      channel.number = static_cast<int32_t>(n);
      channel.id = ids[static_cast<size_t>(i)][n];
      channel.width = size.width;
      channel.height = size.height;
      channel.bytes = 0;
      const int64_t area = int64_t{size.width} * size.height;
      if (!source.LayerChannelData(channel) || channel.bytes < area ||
          static_cast<int64_t>(channel.pixels.size()) < area)
        return kPsdCallback;
      BeBuffer h;
      int64_t length = 2;
      if (area > 0 && PackPlane(channel.pixels.data(), size.width, size.height)) {
        h.U16(1);
        for (uint16_t c : rowCounts_) h.U16(c);
        if (!WriteBuffer(stream, h) ||
            !stream.WriteExact(packedRows_.data(), static_cast<int64_t>(packedRows_.size())))
          return kPsdShortWrite;
        length += int64_t{size.height} * 2 + static_cast<int64_t>(packedRows_.size());
      } else {
        h.U16(0);
        if (!WriteBuffer(stream, h) || !stream.WriteExact(channel.pixels.data(), area)) return kPsdShortWrite;
        length += area;
      }
      if (length > kMaxLength32) return kPsdTooLarge;
      if (!PatchU32At(stream, lengthAt[static_cast<size_t>(i)][n], static_cast<uint32_t>(length)))
        return kPsdShortWrite;
    }
  }
  // The layer info is padded to an even length; then an empty global mask record.
  int64_t infoEnd = stream.Position();
  if (infoEnd < 0) return kPsdShortWrite;
  if ((infoEnd - sectionStart - 8) % 2 != 0) {
    const uint8_t zero = 0;
    if (!stream.WriteExact(&zero, 1)) return kPsdShortWrite;
    ++infoEnd;
  }
  const uint8_t noGlobalMask[4] = {0, 0, 0, 0};
  if (!stream.WriteExact(noGlobalMask, 4)) return kPsdShortWrite;
  const int64_t sectionEnd = infoEnd + 4;
  if (sectionEnd - sectionStart - 4 > kMaxLength32) return kPsdTooLarge;
  if (!PatchU32At(stream, sectionStart, static_cast<uint32_t>(sectionEnd - sectionStart - 4)) ||
      !PatchU32At(stream, sectionStart + 4, static_cast<uint32_t>(infoEnd - sectionStart - 8)))
    return kPsdShortWrite;
  return kPsdOk;
}

uint8_t CPsdWriter::WriteMerged(Stream& stream, PsdWriteSource& source) {
  const int64_t width = header_.width;
  const int64_t height = header_.height;
  const int32_t channels = header_.allChannels;
  const int64_t start = stream.Position();
  if (start < 0) return kPsdShortWrite;
  // Compression, then the row counts of every channel (filled in afterwards), then the rows.
  std::vector<uint8_t> counts(static_cast<size_t>(2 + 2 * height * channels), 0);
  counts[1] = 1;
  if (!stream.WriteExact(counts.data(), static_cast<int64_t>(counts.size()))) return kPsdShortWrite;
  SPsdChannel channel;
  for (int32_t k = 0; k < channels; ++k) {
    channel.number = k;
    channel.id = k < 3 ? k : kPsdChannelAlpha;
    channel.rect = TRect{0, 0, header_.width, header_.height};
    channel.width = header_.width;
    channel.height = header_.height;
    channel.bytes = 0;
    if (!source.MergedChannelData(channel) || channel.bytes < width * height ||
        static_cast<int64_t>(channel.pixels.size()) < width * height)
      return kPsdCallback;
    if (!PackPlane(channel.pixels.data(), width, height)) return kPsdTooLarge;
    for (int64_t y = 0; y < height; ++y) {
      const uint16_t c = rowCounts_[static_cast<size_t>(y)];
      counts[static_cast<size_t>(2 + 2 * (k * height + y))] = static_cast<uint8_t>(c >> 8);
      counts[static_cast<size_t>(3 + 2 * (k * height + y))] = static_cast<uint8_t>(c);
    }
    if (!stream.WriteExact(packedRows_.data(), static_cast<int64_t>(packedRows_.size()))) return kPsdShortWrite;
  }
  const int64_t end = stream.Position();
  if (end < 0 || !stream.SetPosition(start) ||
      !stream.WriteExact(counts.data(), static_cast<int64_t>(counts.size())) || !stream.SetPosition(end))
    return kPsdShortWrite;
  return kPsdOk;
}

}  // namespace tf
