// The brush set file: reader and writer.
#include "paint/PenMethodFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <new>
#include <vector>

#include "paint/NibPreset.h"
#include "paint/NibSetFile.h"
#include "paint/PenMethod.h"
#include "paint/ToolTexts.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"
#include "raster/SmallRoutines.h"

namespace tf {

namespace {

// Body offsets.
enum : int32_t {
  kBodyNameLength = 2,
  kBodyVersion = 4,
  kBodyFlags = 8,
  kBodyType = 16,
  kBodyOption1 = 17,
  kBodyOption2 = 18,
  kBodyPenValues = 20,  // SPenParam bytes 4..15
  kBodyOpacity = 40,
  kBodyGamma = 42,
  kBodySpacing = 44,
  kBodyThreshold1 = 46,
  kBodyThreshold2 = 48,
};

// Header offsets.
enum : int32_t {
  kHeadVersion = 8,
  kHeadCount = 12,
  kHeadCurrent = 14,
  kHeadFlags = 16,
  kHeadAlternate = 20,
  kHeadPositions = 22,
};
constexpr uint32_t kHeadHasAlternate = 1u << 0;
constexpr uint32_t kHeadHasPositions = 1u << 1;

constexpr uint8_t kIconGroupSize = 5;
constexpr uint8_t kIconStride = 1;

uint16_t Low16(int32_t v) { return static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFFu); }

void PenValuesToBytes(const SPenParam& pen, uint8_t* out) {
  StoreU16(out, pen.effect);
  StoreU16(out + 2, pen.env);
  StoreU16(out + 4, pen.speed);
  std::copy(std::begin(pen.zero), std::end(pen.zero), out + 6);
}

void PenValuesFromBytes(const uint8_t* in, SPenParam& pen) {
  pen.effect = LoadU16(in);
  pen.env = LoadU16(in + 2);
  pen.speed = LoadU16(in + 4);
  std::copy(in + 6, in + 12, pen.zero);
}

uint8_t WriteBrushIcon(Stream& stream, const TMTC& icon) {
  SImageChunkInfo info;
  info.kind = kImagePassed;
  info.contentCode = kContentIcon;
  info.groupSize = kIconGroupSize;
  info.xorByte = kBrushIconXorByte;
  info.stride = kIconStride;
  info.tail = 0;
  info.sourceWidth = info.width = icon.Width();
  info.sourceHeight = info.height = icon.Height();
  info.unpackedLength = icon.GetImageSize();
  return WriteImageChunkGuarded(stream, info, icon.Bits());
}

uint8_t WriteBrushRecordBody(Stream& stream, const CPenMethodObj& brush) {
  const std::string& name = brush.Name();
  const uint32_t nameLength = static_cast<uint32_t>(Cp932FitLength(name, 0xFFFF));
  const SPenMethodParams& params = brush.Params();
  const bool icon = brush.HasIcon();
  const bool nib = brush.HasNib();
  uint32_t flags = 0;
  if (nib) flags |= kBrushHasNib;
  if (icon) flags |= kBrushHasIcon;
  if (params.pen.channel) flags |= kBrushOption3;
  if (params.useGradation) flags |= kBrushUseGradation;
  if (params.useTone) flags |= kBrushUseTone;
  if (params.stroke.ifSize) flags |= kBrushIfSize;
  if (params.stroke.ifTransparency) flags |= kBrushIfTransparency;
  uint8_t body[kBrushBodyBytes] = {};
  StoreU16(body + kBodyNameLength, static_cast<uint16_t>(nameLength));
  StoreU32(body + kBodyFlags, flags);
  body[kBodyType] = params.pen.type;
  body[kBodyOption1] = params.pen.option1;
  body[kBodyOption2] = params.pen.option2;
  PenValuesToBytes(params.pen, body + kBodyPenValues);
  StoreU16(body + kBodyOpacity, Low16(params.stroke.opacity));
  StoreU16(body + kBodyGamma, Low16(params.stroke.gamma));
  StoreU16(body + kBodySpacing, Low16(params.stroke.spacing));
  StoreU16(body + kBodyThreshold1, Low16(params.stroke.sizeThreshold1));
  StoreU16(body + kBodyThreshold2, Low16(params.stroke.sizeThreshold2));
  const SChunkHeader header{kChunkBrush, kBrushBodyBytes + nameLength + ChunkPadding(nameLength)};
  if (!WriteChunkHeader(stream, header) || !stream.WriteExact(body, sizeof body) ||
      !stream.WriteExact(name.data(), nameLength)) {
    return kFileShortWrite;
  }
  const uint8_t zeros[4] = {};
  if (!stream.WriteExact(zeros, ChunkPadding(nameLength))) return kFileShortWrite;
  if (icon) {
    // A failed icon chunk has been cut away; the reader then finds no icon.
    if (const uint8_t code = WriteBrushIcon(stream, *brush.Icon())) {
      DebugOutF("WriteBrushRecord: icon chunk left out (err=%d)\n", static_cast<int>(code));
    }
  }
  if (nib) return WriteNibRecord(stream, *brush.Nib());
  return kFileOk;
}

}  // namespace

uint8_t WriteBrushRecord(Stream& stream, const CPenMethodObj& brush) {
  return WriteGuarded(stream, [&] { return WriteBrushRecordBody(stream, brush); });
}

uint8_t WriteBrushSet(Stream& stream, const CPenMethodMngr& manager) {
  if (manager.Count() > 0xFFFF) return kFileChunkSize;
  uint8_t header[kBrushSetHeaderBytes] = {};
  EncodeChunkHeader(SChunkHeader{kChunkBrushSet, kBrushSetHeaderBytes - kChunkHeaderBytes}, header);
  StoreU16(header + kHeadVersion, 1);
  StoreU16(header + kHeadCount, static_cast<uint16_t>(manager.Count()));
  StoreU16(header + kHeadCurrent, Low16(manager.GetCurrentIndex()));
  uint32_t flags = 0;
  if (manager.HasAlternateIndex()) {
    flags |= kHeadHasAlternate;
    StoreU16(header + kHeadAlternate, Low16(manager.GetAlternateIndex()));
  }
  int32_t positions[kStoredPositionCount];
  if (manager.GetStoredPositions(positions)) {
    flags |= kHeadHasPositions;
    for (int32_t i = 0; i < kStoredPositionCount; ++i) {
      header[kHeadPositions + i] = static_cast<uint8_t>(positions[i] & 0xFF);
    }
  }
  StoreU32(header + kHeadFlags, flags);
  if (!stream.WriteExact(header, sizeof header)) return kFileShortWrite;
  for (int32_t i = 0; i < manager.Count(); ++i) {
    if (const uint8_t code = WriteBrushRecord(stream, *manager.GetItem(i))) return code;
  }
  return kFileOk;
}

uint8_t SaveBrushSet(const std::string& path, CPenMethodMngr& manager) {
  if (manager.Count() == 0) return kBrushSetEmpty;
  const uint8_t code = SaveChunkFileAtomically(path, kBrushSetCreateFailed,
                                               [&](Stream& stream) { return WriteBrushSet(stream, manager); });
  if (code != kFileOk) return code;
  manager.SetFileName(path);
  manager.SetModified(false);
  return kFileOk;
}

uint8_t ReadBrushRecord(Stream& stream, uint32_t size, std::unique_ptr<CPenMethodObj>& brush,
                        int64_t& followers) {
  followers = 0;
  const int64_t bodyStart = stream.Position();
  if (size < static_cast<uint32_t>(kBrushBodyBytes)) return kBrushRecordShort;
  uint8_t body[kBrushBodyBytes];
  if (!stream.ReadExact(body, sizeof body)) return kFileShortRead;
  const uint16_t nameLength = LoadU16(body + kBodyNameLength);
  if (nameLength > size - kBrushBodyBytes) return kBrushRecordShort;
  std::string name;
  if (const uint8_t code = ReadChunkString(stream, nameLength, name)) return code;
  if (!stream.SetPosition(bodyStart + size)) return kFileSeekFailed;  // the padding
  if (LoadU32(body + kBodyVersion) >= 2) return kFileLevel;
  const uint32_t flags = LoadU32(body + kBodyFlags);

  std::unique_ptr<TMTC> icon;
  if (flags & kBrushHasIcon) {
    const int64_t iconStart = stream.Position();
    SImageChunkData data;
    uint8_t code = ReadImageChunkData(stream, data);
    if (code == kFileOk &&
        (data.info.contentCode != kContentIcon || data.info.width < 1 || data.info.height < 1 ||
         int64_t{data.info.unpackedLength} != int64_t{data.info.width} * data.info.height * 4)) {
      code = kFileContentCode;
    }
    if (code == kFileOk) {
      icon.reset(new (std::nothrow) TMTC(data.info.width, data.info.height));
      if (icon != nullptr && icon->IsValid()) {
        std::copy(data.pixels.begin(), data.pixels.begin() + data.info.unpackedLength, icon->Bits());
      } else {
        icon.reset();
      }
      followers += data.chunkLength;
    } else {
      DebugOutF("ReadBrushRecord: icon chunk not read (err=%d)\n", static_cast<int>(code));
      if (!stream.SetPosition(iconStart)) return kFileSeekFailed;
    }
  }

  std::unique_ptr<CPenShapeObj> nib;
  if (flags & kBrushHasNib) {
    SChunkHeader chunk;
    if (!ReadChunkHeader(stream, chunk)) return kFileShortRead;
    if (chunk.id != kChunkNib) return kFileChunkId;
    followers += kChunkHeaderBytes;
    int64_t imageLength = 0;
    const uint8_t code = ReadNibRecord(stream, chunk.size, nib, imageLength);
    followers += int64_t{chunk.size} + std::max<int64_t>(imageLength, 0);
    if (code != kFileOk) return code;
  }

  std::unique_ptr<CPenMethodObj> result(new (std::nothrow) CPenMethodObj());
  if (result == nullptr) return kFileNoMemory;
  SPenMethodParams block;
  block.Init();
  block.pen.type = body[kBodyType];
  block.pen.option1 = body[kBodyOption1];
  block.pen.option2 = body[kBodyOption2];
  block.pen.channel = (flags & kBrushOption3) ? 1 : 0;
  PenValuesFromBytes(body + kBodyPenValues, block.pen);
  block.useGradation = (flags & kBrushUseGradation) ? 1 : 0;
  block.useTone = (flags & kBrushUseTone) ? 1 : 0;
  block.stroke.ifSize = (flags & kBrushIfSize) ? 1 : 0;
  block.stroke.ifTransparency = (flags & kBrushIfTransparency) ? 1 : 0;
  block.stroke.opacity = LoadU16(body + kBodyOpacity);
  block.stroke.gamma = LoadU16(body + kBodyGamma);
  block.stroke.spacing = LoadU16(body + kBodySpacing);
  block.stroke.sizeThreshold1 = LoadU16(body + kBodyThreshold1);
  block.stroke.sizeThreshold2 = LoadU16(body + kBodyThreshold2);
  result->SetParamsBlock(block);
  result->SetName(std::move(name));
  result->SetIcon(std::move(icon));
  result->SetNib(std::move(nib));
  brush = std::move(result);
  return kFileOk;
}

uint8_t ReadBrushSet(Stream& stream, CPenMethodMngr& manager, bool append, const std::string& path) {
  try {
    uint8_t header[kBrushSetHeaderBytes];
    if (!stream.ReadExact(header, sizeof header)) return kFileShortRead;
    if (const uint8_t code = CheckChunkHeader(DecodeChunkHeader(header), kChunkBrushSet,
                                              kBrushSetHeaderBytes - kChunkHeaderBytes)) {
      return code;
    }
    if (LoadU16(header + kHeadVersion) > 1) return kFileLevel;
    const int32_t announced = LoadU16(header + kHeadCount);
    const int32_t storedCurrent = LoadI16(header + kHeadCurrent);  // 0xFFFF is -1
    const uint32_t headerFlags = LoadU32(header + kHeadFlags);
    const int32_t storedAlternate = LoadI16(header + kHeadAlternate);
    if (announced == 0) return kBrushSetEmpty;

    std::vector<std::unique_ptr<CPenMethodObj>> brushes;
    const int64_t end = stream.Size();
    int64_t position = stream.Position();
    if (end < 0 || position < 0) return kFileSeekFailed;
    int32_t attempted = 0;
    while (attempted < announced && position < end) {
      const int64_t left = end - position;
      SChunkHeader chunk;
      if (!ReadChunkHeader(stream, chunk)) return kFileShortRead;
      if (int64_t{chunk.size} > left - kChunkHeaderBytes) return kFileSeekFailed;
      const int64_t bodyStart = position + kChunkHeaderBytes;
      int64_t followers = 0;
      if (chunk.id == kChunkBrush) {
        ++attempted;
        std::unique_ptr<CPenMethodObj> brush;
        uint8_t code;
        try {
          code = ReadBrushRecord(stream, chunk.size, brush, followers);
        } catch (const std::bad_alloc&) {
          code = kFileNoMemory;
        } catch (...) {
          code = kFileException;
        }
        if (code == kFileOk) {
          brushes.push_back(std::move(brush));
        } else {
          DebugOutF("ReadBrushSet: brush %d skipped (err=%d)\n", static_cast<int>(attempted),
                    static_cast<int>(code));
        }
        // Followers count only while they lie inside the file after the record.
        if (followers < 0 || followers > left - kChunkHeaderBytes - int64_t{chunk.size}) followers = 0;
      }
      // Every step goes by the declared sizes and the followers read.
      position = bodyStart + chunk.size + followers;
      if (!stream.SetPosition(position)) return kFileSeekFailed;
    }
    if (brushes.empty()) return kBrushSetEmpty;
    const int32_t missing = announced - static_cast<int32_t>(brushes.size());
    if (append) {
      manager.AppendItems(std::move(brushes));
    } else {
      manager.ReplaceItems(std::move(brushes));
      const int32_t last = manager.Count() - 1;
      manager.SetCurrent(std::clamp(storedCurrent, 0, last));
      if (headerFlags & kHeadHasAlternate) manager.SetAlternateIndex(storedAlternate, false);
      if (headerFlags & kHeadHasPositions) {
        // Kept within the list, as inserting and deleting keep them.
        int32_t positions[kStoredPositionCount];
        for (int32_t i = 0; i < kStoredPositionCount; ++i) {
          positions[i] = std::clamp<int32_t>(header[kHeadPositions + i], 0, last);
        }
        manager.SetStoredPositions(positions);
      }
      manager.SetFileName(path);
      manager.SetModified(false);
    }
    if (missing > 0) ShowWarningF(kPartialLoadFormat, static_cast<int>(missing), Tx(texts::kBrushSetWord));
    return kFileOk;
  } catch (const std::bad_alloc&) {
    return kFileNoMemory;
  } catch (...) {
    return kFileException;
  }
}

uint8_t LoadBrushSet(const std::string& path, CPenMethodMngr& manager, bool append) {
  if (!FileExists(path)) return kFileMissing;
  std::unique_ptr<FileStream> file = TryCreateFileStream(path, FileMode::kOpenRead);
  if (file == nullptr) return kFileOpenFailed;
  return ReadBrushSet(*file, manager, append, path);
}

}  // namespace tf
