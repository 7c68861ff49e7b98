// The nib set file: reader and writer.
#include "paint/NibSetFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <new>
#include <vector>

#include "paint/NibPreset.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"
#include "raster/SmallRoutines.h"

namespace tf {

namespace {

// Body offsets.
enum : int32_t {
  kBodyKind = 0,
  kBodyNameLength = 2,
  kBodyVersion = 4,
  kBodyCurve = 16,
  kBodyCore = 20,
  kBodyFloor = 22,
  kBodySize = 40,
  kBodyMinRatio = 42,
  kBodyAspect = 44,
  kBodyAngle = 46,
  kBodyFlag = 64,
  kBodyScale = 88,
  kBodyScaleMin = 92,
  kBodyScaleMax = 94,
};

// Group size, stride and tail of the byte pass of nib images.
constexpr uint8_t kNibImageGroupSize = 7;
constexpr uint8_t kNibImageStride = 3;

uint16_t Low16(int32_t v) { return static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFFu); }

uint8_t WriteNibRecordBody(Stream& stream, const CPenShapeObj& nib) {
  if (nib.GetNibKind() > CPenShapeObj::kImage) return kNibKindUnwritable;
  const bool image = nib.IsBitmapNib();
  const std::string& name = nib.Name();
  const uint32_t nameLength = static_cast<uint32_t>(std::min<size_t>(name.size(), 0xFFFF));
  uint8_t body[kNibBodyBytes] = {};
  StoreU16(body + kBodyKind, image ? 1 : 0);
  StoreU16(body + kBodyNameLength, static_cast<uint16_t>(nameLength));
  StoreU16(body + kBodyVersion, 1);
  StoreU16(body + kBodyCurve, nib.Profile().kind);
  StoreU16(body + kBodyCore, Low16(nib.Profile().core));
  StoreU16(body + kBodyFloor, Low16(nib.Profile().floor));
  StoreU16(body + kBodySize, Low16(nib.Shape().size));
  StoreU16(body + kBodyMinRatio, Low16(nib.Shape().minRatio));
  StoreU16(body + kBodyAspect, Low16(nib.Shape().aspect));
  StoreU16(body + kBodyAngle, Low16(nib.Shape().angle));
  StoreU32(body + kBodyFlag, nib.Flag());
  if (image) {
    StoreU16(body + kBodyScale, Low16(nib.GetScalePercent()));
    StoreU16(body + kBodyScaleMin, Low16(nib.GetScaleMin()));
    StoreU16(body + kBodyScaleMax, Low16(nib.GetScaleMax()));
  }
  const SChunkHeader header{kChunkNib, kNibBodyBytes + nameLength + ChunkPadding(nameLength)};
  if (!WriteChunkHeader(stream, header) || !stream.WriteExact(body, sizeof body) ||
      !stream.WriteExact(name.data(), nameLength)) {
    return kFileShortWrite;
  }
  const uint8_t zeros[4] = {};
  if (!stream.WriteExact(zeros, ChunkPadding(nameLength))) return kFileShortWrite;
  if (!image) return kFileOk;
  const TChannel& channel = *nib.Image();
  SImageChunkInfo info;
  info.kind = kImagePassed;
  info.contentCode = kContentChannel4;
  info.groupSize = kNibImageGroupSize;
  info.xorByte = kNibImageXorByte;
  info.stride = kNibImageStride;
  info.tail = 0;
  info.sourceWidth = info.width = channel.Width();
  info.sourceHeight = info.height = channel.Height();
  info.unpackedLength = channel.GetImageSize();
  return WriteImageChunk(stream, info, channel.Bits());
}

}  // namespace

uint8_t WriteNibRecord(Stream& stream, const CPenShapeObj& nib) {
  return WriteGuarded(stream, [&] { return WriteNibRecordBody(stream, nib); });
}

uint8_t WriteNibSet(Stream& stream, const CPenShapeMngr& manager) {
  if (manager.Count() > 0xFFFF) return kFileChunkSize;
  uint8_t header[kNibSetHeaderBytes] = {};
  EncodeChunkHeader(SChunkHeader{kChunkNibSet, kNibSetHeaderBytes - kChunkHeaderBytes}, header);
  StoreU16(header + 8, 1);
  StoreU16(header + 12, static_cast<uint16_t>(manager.Count()));
  StoreU16(header + 14, Low16(manager.GetCurrentIndex()));
  if (!stream.WriteExact(header, sizeof header)) return kFileShortWrite;
  for (int32_t i = 0; i < manager.Count(); ++i) {
    if (const uint8_t code = WriteNibRecord(stream, *manager.GetItem(i))) return code;
  }
  return kFileOk;
}

uint8_t SaveNibSet(const std::string& path, CPenShapeMngr& manager) {
  if (manager.Count() == 0) return kNibSetEmpty;
  const uint8_t code = SaveChunkFileAtomically(path, kNibSetCreateFailed,
                                               [&](Stream& stream) { return WriteNibSet(stream, manager); });
  if (code != kFileOk) return code;
  manager.SetFileName(path);
  manager.SetModified(false);
  return kFileOk;
}

uint8_t ReadNibRecord(Stream& stream, uint32_t size, std::unique_ptr<CPenShapeObj>& nib, int64_t& imageLength) {
  imageLength = 0;
  const int64_t bodyStart = stream.Position();
  if (size < static_cast<uint32_t>(kNibBodyBytes)) return kNibRecordShort;
  uint8_t body[kNibBodyBytes];
  if (!stream.ReadExact(body, sizeof body)) return kFileShortRead;
  const uint16_t kind = LoadU16(body + kBodyKind);
  const uint16_t nameLength = LoadU16(body + kBodyNameLength);
  if (nameLength > size - kNibBodyBytes) return kNibRecordShort;
  std::string name;
  if (const uint8_t code = ReadChunkString(stream, nameLength, name)) return code;
  if (!stream.SetPosition(bodyStart + size)) return kFileSeekFailed;  // the padding
  if (LoadU16(body + kBodyVersion) >= 2) return kFileLevel;
  SNibRecord record{};
  record.profile.kind = body[kBodyCurve];
  record.profile.core = LoadU16(body + kBodyCore);
  record.profile.floor = LoadU16(body + kBodyFloor);
  record.shape.size = LoadU16(body + kBodySize);
  record.shape.minRatio = LoadU16(body + kBodyMinRatio);
  record.shape.aspect = LoadU16(body + kBodyAspect);
  record.shape.angle = LoadU16(body + kBodyAngle);
  record.flag = LoadU32(body + kBodyFlag);
  const int32_t scale = LoadU16(body + kBodyScale);
  std::unique_ptr<TChannel> image;
  if (kind == CPenShapeObj::kImage) {
    SImageChunkInfo info;
    if (const uint8_t code = ReadChannelChunk(stream, info, image, imageLength)) return code;
    // The picture must be whole: exactly width x height bytes of a non-empty image.
    if (info.width < 1 || info.height < 1 || info.width > kMaxImageChunkSide ||
        info.height > kMaxImageChunkSide || int64_t{info.unpackedLength} != int64_t{info.width} * info.height) {
      return kFileContentCode;
    }
  } else if (kind != CPenShapeObj::kParametric) {
    return kFileContentCode;
  }
  std::unique_ptr<CPenShapeObj> result(new (std::nothrow) CPenShapeObj(record));
  if (result == nullptr) return kFileNoMemory;
  if (kind == CPenShapeObj::kImage) {
    if (!result->SetImage(std::move(image), false)) return kFileContentCode;
    if (scale != result->GetScalePercent() && !result->SetScale(scale)) {
      DebugOut("ReadNibRecord: internal error: the stored scale lies outside the image's range\n");
    }
  }
  result->SetName(std::move(name));
  nib = std::move(result);
  return kFileOk;
}

uint8_t ReadNibSet(Stream& stream, CPenShapeMngr& manager, bool append, const std::string& path) {
  try {
    uint8_t header[kNibSetHeaderBytes];
    if (!stream.ReadExact(header, sizeof header)) return kFileShortRead;
    if (const uint8_t code =
            CheckChunkHeader(DecodeChunkHeader(header), kChunkNibSet, kNibSetHeaderBytes - kChunkHeaderBytes)) {
      return code;
    }
    if (LoadU16(header + 8) > 1) return kFileLevel;
    const int32_t announced = LoadU16(header + 12);
    const int32_t storedCurrent = LoadI16(header + 14);  // 0xFFFF is -1
    if (announced == 0) return kNibSetEmpty;

    std::vector<std::unique_ptr<CPenShapeObj>> nibs;
    const int64_t end = stream.Size();
    int64_t position = stream.Position();
    if (end < 0 || position < 0) return kFileSeekFailed;
    int32_t attempted = 0;
    while (attempted < announced && position < end) {
      const int64_t left = end - position;
      SChunkHeader chunk;
      // A short or overlong chunk ends the walk; the nibs read before it are kept.
      if (!ReadChunkHeader(stream, chunk) || int64_t{chunk.size} > left - kChunkHeaderBytes) break;
      const int64_t bodyStart = position + kChunkHeaderBytes;
      int64_t imageLength = 0;
      if (chunk.id == kChunkNib) {
        ++attempted;
        std::unique_ptr<CPenShapeObj> nib;
        uint8_t code;
        try {
          code = ReadNibRecord(stream, chunk.size, nib, imageLength);
        } catch (...) {
          code = kFileException;
        }
        if (code == kFileOk) {
          nibs.push_back(std::move(nib));
        } else {
          DebugOutF("ReadNibSet: nib %d skipped (err=%d)\n", static_cast<int>(attempted), static_cast<int>(code));
        }
        // An image chunk counts only when it lies inside the file after the record.
        if (imageLength < 0 || imageLength > left - kChunkHeaderBytes - int64_t{chunk.size}) imageLength = 0;
      }
      // Every step goes by the declared sizes, whatever the record's reader consumed.
      position = bodyStart + chunk.size + imageLength;
      if (!stream.SetPosition(position)) return kFileSeekFailed;
    }
    if (nibs.empty()) return kNibSetEmpty;
    const int32_t missing = announced - static_cast<int32_t>(nibs.size());
    if (append) {
      manager.AppendItems(std::move(nibs));
    } else {
      manager.ReplaceItems(std::move(nibs));
      manager.SetCurrent(std::clamp(storedCurrent, 0, manager.Count() - 1));
      manager.SetFileName(path);
      manager.SetModified(false);
    }
    if (missing > 0) ShowWarningF(kPartialLoadFormat, static_cast<int>(missing), kNibSetWord);
    return kFileOk;
  } catch (const std::bad_alloc&) {
    return kFileNoMemory;
  } catch (...) {
    return kFileException;
  }
}

uint8_t LoadNibSet(const std::string& path, CPenShapeMngr& manager, bool append) {
  if (!FileExists(path)) return kFileMissing;
  std::unique_ptr<FileStream> file = TryCreateFileStream(path, FileMode::kOpenRead);
  if (file == nullptr) return kFileOpenFailed;
  return ReadNibSet(*file, manager, append, path);
}

}  // namespace tf
