#include "paint/ToneSet.h"

#include <algorithm>
#include <new>

#include "paint/PresetSettings.h"
#include "paint/ToneRecord.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/FileDialog.h"
#include "platform/Stream.h"
#include "raster/ChunkStream.h"
#include "raster/Composite.h"
#include "raster/ScaleImage.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// CPatMngrBase

CPatMngrBase::~CPatMngrBase() = default;

void CPatMngrBase::Notify() {
  if (changed_) changed_(*this);
}

bool CPatMngrBase::HasCurrent() const { return !items_.empty() && InRange(current_); }

int32_t CPatMngrBase::Clear() { return DeleteAll(); }

int32_t CPatMngrBase::DeleteAll() {
  const int32_t count = Count();
  current_ = -1;
  currentEntry_ = nullptr;
  items_.clear();
  Notify();
  return count;
}

void CPatMngrBase::FreeWorkingCopy() {
  working_.reset();
  Notify();
}

CPatObj* CPatMngrBase::UpdateWorkingCopy() {
  if (!working_ || currentEntry_ == nullptr) return working_.get();
  working_->SetName(currentEntry_->Name());
  working_->SetOffsets(currentEntry_->OffsetX(), currentEntry_->OffsetY());
  working_->SetScale(100);
  Notify();
  return working_.get();
}

int32_t CPatMngrBase::SetCurrent(int32_t index) {
  if (items_.empty()) {
    current_ = -1;
    currentEntry_ = nullptr;
    FreeWorkingCopy();
    return -1;
  }
  current_ = ClampInt(index, 0, Count() - 1);
  currentEntry_ = items_[static_cast<size_t>(current_)].get();
  MakeWorkingCopy();
  return current_;
}

int32_t CPatMngrBase::Add(std::unique_ptr<CPatObj> pattern) {
  if (!pattern) return -1;
  try {
    items_.push_back(std::move(pattern));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  SetModified(true);
  return Count() - 1;
}

bool CPatMngrBase::Delete(int32_t index) {
  if (!InRange(index)) return false;
  items_.erase(items_.begin() + index);
  if (current_ == index) {
    currentEntry_ = nullptr;
    SetCurrent(std::min(index, Count() - 1));
  } else if (current_ >= 0 && current_ < index) {
    SetCurrent(index - 1);
  } else if (current_ > index) {
    // The same entry stays current: its index moves down with it.
    --current_;
  }
  SetModified(true);
  return true;
}

void CPatMngrBase::SetModified(bool modified) {
  modified_ = modified;
  Notify();
}

void CPatMngrBase::SetFileName(const std::string& path) {
  if (path == fileName_) return;
  fileName_ = path;
  Notify();
}

void CPatMngrBase::TakeEntriesFrom(CPatMngrBase& other) {
  items_.reserve(items_.size() + other.items_.size());
  for (auto& p : other.items_) items_.push_back(std::move(p));
  other.items_.clear();
  other.current_ = -1;
  other.currentEntry_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// CToneMngr

CToneMngr::CToneMngr() = default;

CToneMngr::~CToneMngr() {
  changed_ = nullptr;
  working_.reset();
  items_.clear();
}

std::unique_ptr<CPat8> CToneMngr::NewPattern(const TChannel& channel, int32_t scale, const TPoint* offsets) {
  if (!channel.IsValid() || channel.Width() > kMaxPatternSide || channel.Height() > kMaxPatternSide)
    return nullptr;
  std::unique_ptr<CPat8> p(new (std::nothrow) CPat8(channel.Width(), channel.Height(), kTypeCodePattern));
  if (!p || !p->Tile().IsValid()) return nullptr;
  p->SetFromChannel(channel);
  p->SetBuilt(true);
  p->SetScale(scale);
  if (offsets != nullptr) p->SetOffsets(offsets->x, offsets->y);
  return p;
}

int32_t CToneMngr::AddPattern(const TChannel& channel, int32_t scale, const TPoint* offsets) {
  return Add(NewPattern(channel, scale, offsets));
}

std::unique_ptr<CPat8Tone> CToneMngr::NewTone(const SToneAttr& attr, bool rebuild, const TChannel* channel) {
  try {
    std::unique_ptr<CPat8Tone> t(new CPat8Tone());
    if (!t->Build(&attr, &maker_, rebuild, channel)) return nullptr;
    t->SetName(attr.name);
    return t;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int32_t CToneMngr::AddTone(const SToneAttr& attr, bool rebuild, const TChannel* channel) {
  return Add(NewTone(attr, rebuild, channel));
}

std::unique_ptr<CPat8> CToneMngr::DrawDotPattern(float width, float height, float step, float radius) {
  return MakeDotPattern(WorkChannel(), width, height, step, radius);
}

int32_t CToneMngr::AddDotPattern(float width, float height, float step, float radius) {
  return Add(DrawDotPattern(width, height, step, radius));
}

TChannel& CToneMngr::WorkChannel() {
  // Made on first use: only the dot patterns draw on it.
  if (!work_.IsValid()) work_.Resize(256, 256);
  return work_;
}

void CToneMngr::CacheWorkingCopy() {
  workingPlain_ = nullptr;
  workingTone_ = nullptr;
  if (!working_) return;
  if (working_->Kind() == kPatternTone)
    workingTone_ = static_cast<const CPat8Tone*>(working_.get());
  else
    workingPlain_ = static_cast<const CPat8*>(working_.get());
}

void CToneMngr::FreeWorkingCopy() {
  working_.reset();
  CacheWorkingCopy();
  Notify();
}

CPatObj* CToneMngr::UpdateWorkingCopy() {
  if (working_ && currentEntry_ != nullptr)
    static_cast<CPat8*>(working_.get())->SetInverted(static_cast<CPat8*>(currentEntry_)->Inverted());
  return CPatMngrBase::UpdateWorkingCopy();
}

CPatObj* CToneMngr::MakeWorkingCopy() {
  if (currentEntry_ == nullptr) {
    FreeWorkingCopy();
    return nullptr;
  }
  CPatObj* result = currentEntry_->Kind() == kPatternTone ? MakeToneWorkingCopy() : MakePatternWorkingCopy();
  CacheWorkingCopy();
  return result;
}

CPatObj* CToneMngr::MakePatternWorkingCopy() {
  const CPat8& entry = *static_cast<const CPat8*>(currentEntry_);
  const int32_t s = entry.Scale();
  const int64_t w = ScaledPatternSide(entry.Width(), s);
  const int64_t h = ScaledPatternSide(entry.Height(), s);
  if (!entry.Tile().IsValid() || w < 1 || h < 1 || w > kMaxPatternSide || h > kMaxPatternSide) {
    DebugOutF("CToneMngr::MakePatternWorkingCopy: scale %d of a %dx%d tile refused\n", s, entry.Width(),
              entry.Height());
    FreeWorkingCopy();
    return nullptr;
  }
  if (!working_ || working_->Kind() != kPatternPlain || working_->Width() != w || working_->Height() != h) {
    working_.reset(new (std::nothrow) CPat8(static_cast<int32_t>(w), static_cast<int32_t>(h), kTypeCodePattern));
    if (!working_ || !static_cast<CPat8*>(working_.get())->Tile().IsValid()) {
      FreeWorkingCopy();
      return nullptr;
    }
  } else {
    // A reused working copy is a new picture: recordings key pictures by serial id.
    working_->RenewId();
  }
  CPat8& work = *static_cast<CPat8*>(working_.get());
  if (s == 100) {
    work.SetFromChannel(entry.Tile());
  } else {
    TChannel& source = const_cast<TChannel&>(entry.Tile());
    CScaleImageCH scaler(&source, &work.Tile());
    scaler.Scale(SRectWH{0, 0, entry.Tile().Width(), entry.Tile().Height()},
                 SRectWH{0, 0, work.Tile().Width(), work.Tile().Height()});
  }
  work.SetBuilt(true);
  return UpdateWorkingCopy();
}

CPatObj* CToneMngr::MakeToneWorkingCopy() {
  const CPat8Tone& entry = *static_cast<const CPat8Tone*>(currentEntry_);
  if (!working_ || working_->Kind() != kPatternTone) {
    working_.reset(new (std::nothrow) CPat8Tone());
    if (!working_) {
      FreeWorkingCopy();
      return nullptr;
    }
  } else {
    working_->RenewId();
  }
  SToneAttr attr = entry.Attr();
  const int32_t s = entry.Scale();
  // The cell grows with the scale.
  if (s != 100) attr.resolution = static_cast<float>(s) * attr.resolution / 100.0f;
  if (!static_cast<CPat8Tone*>(working_.get())->Build(&attr, &maker_, true, nullptr)) {
    DebugOutF("CToneMngr::MakeToneWorkingCopy: the tone at scale %d cannot be built\n", s);
    FreeWorkingCopy();
    return nullptr;
  }
  return UpdateWorkingCopy();
}

int32_t CToneMngr::ToneValueAt(int32_t x, int32_t y, int32_t value) const {
  uint32_t v;
  if (workingTone_ != nullptr) {
    v = maker_.Sample(workingTone_->PatternX(x), workingTone_->PatternY(y));
    if (workingTone_->Inverted()) v = 255 - v;
  } else if (workingPlain_ != nullptr) {
    v = workingPlain_->PixelAt(x, y);
  } else {
    return value;
  }
  return static_cast<int32_t>(MulDiv255(static_cast<uint32_t>(value) & 0xFFu, v));
}

void CToneMngr::ToneRow(int32_t x, int32_t y, int32_t count, uint8_t* values) const {
  if (count <= 0 || (workingTone_ == nullptr && workingPlain_ == nullptr)) return;
  uint8_t pattern[256];
  for (int32_t done = 0; done < count;) {
    const int32_t n = std::min(count - done, 256);
    if (workingTone_ != nullptr)
      workingTone_->PixelRow(x + done, y, n, pattern);
    else
      workingPlain_->PixelRow(x + done, y, n, pattern);
    for (int32_t i = 0; i < n; ++i)
      values[done + i] = static_cast<uint8_t>(MulDiv255(values[done + i], pattern[i]));
    done += n;
  }
}

bool CToneMngr::AddBuiltinTones() {
  try {
    if (AddDotPattern(64, 64, 8, 2) < 0) return false;
    if (AddDotPattern(64, 64, 16, 3) < 0) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool CToneMngr::LoadBuiltins() {
  const bool ok = AddBuiltinTones();
  if (!InRange(current_)) SetCurrent(0);
  return ok;
}

bool CToneMngr::LoadFromFile(const std::string& path, bool append) {
  const uint8_t code = LoadToneSet(path, *this, append);
  if (code != 0) ShowPresetLoadFailure(kToneSetWord, code);
  return code == 0;
}

bool CToneMngr::Save(const std::string& path) {
  const uint8_t code = SaveToneSet(path, *this);
  if (code != 0) ShowPresetSaveFailure(kToneSetWord, code);
  return code == 0;
}

bool CToneMngr::LoadDefault(bool builtinsOnFailure) {
  const std::string path = FindDefaultPresetFile(PresetSet::kTones, "default.tts");
  if (!path.empty() && LoadFromFile(path, false)) return true;
  const bool result = builtinsOnFailure && LoadBuiltins();
  ForgetDefaultPresetFile(PresetSet::kTones);
  SetFileName("");
  return result;
}

bool CToneMngr::LoadWithDialog(bool append) {
  std::string path;
  if (!RunPresetFileDialog(kFileDialogToneSetOpen, fileName_, path)) return false;
  return LoadFromFile(path, append);
}

bool CToneMngr::SaveWithDialog() {
  std::string path;
  if (!RunPresetFileDialog(kFileDialogToneSetSave, fileName_, path)) return false;
  return Save(path);
}

void CToneMngr::TakeEntries(CToneMngr& other) {
  for (auto& p : other.items_)
    if (p->Kind() == kPatternTone) static_cast<CPat8Tone*>(p.get())->UseMaker(&maker_);
  TakeEntriesFrom(other);
}

// ---------------------------------------------------------------------------------------------
// The set file

uint8_t SaveToneSet(const std::string& path, CToneMngr& manager) {
  if (manager.Count() == 0) return kToneEmptySet;
  if (manager.Count() > 0xFFFF) return kFileChunkSize;
  const uint8_t code = SavePresetFile(path, [&](Stream& stream) -> uint8_t {
    uint8_t header[kToneSetHeaderBytes] = {};
    StoreU32(header + 0, kToneSetId);
    StoreU32(header + 4, 24);
    StoreU16(header + 10, 1);
    StoreU16(header + 12, static_cast<uint16_t>(manager.Count()));
    StoreU16(header + 14, static_cast<uint16_t>(manager.CurrentIndex()));
    if (!stream.WriteExact(header, sizeof header)) return kFileShortWrite;
    for (int32_t i = 0; i < manager.Count(); ++i) {
      const CPat8& p = *static_cast<const CPat8*>(manager.GetItem(i));
      if (uint8_t c = WriteGuarded(stream, [&] { return WritePatternRecord(stream, p); })) return c;
    }
    return kFileOk;
  });
  if (code != 0) return code;
  manager.SetFileName(path);
  manager.SetModified(false);
  return 0;
}

uint8_t ReadPatternRecords(Stream& stream, CToneMngr& manager, int32_t most, int32_t& loaded) {
  loaded = 0;
  const int64_t size = stream.Size();
  int64_t position = stream.Position();
  if (size < 0 || position < 0) return kFileSeekFailed;
  while (most > 0 && position < size) {
    SChunkHeader header;
    if (!ReadChunkHeader(stream, header)) return kFileShortRead;
    const int64_t remaining = size - position - kChunkHeaderBytes;
    if (int64_t{header.size} > remaining) return kFileSeekFailed;
    int64_t imageLength = 0;
    if (header.id == kPatternRecordId) {
      SPatternRecord record;
      uint8_t code = kFileException;
      try {
        code = ReadPatternRecord(stream, header.size, record, imageLength);
      } catch (const std::bad_alloc&) {
        code = kFileNoMemory;
      } catch (...) {
        code = kFileException;
      }
      if (code == kFileOk) {
        const TPoint offsets{record.offsetX, record.offsetY};
        int32_t index = -1;
        if (record.kind == kPatternPlain)
          index = manager.AddPattern(*record.tile, record.scale, &offsets);
        else
          index = manager.AddTone(record.attr, false, record.tile.get());
        if (CPat8* p = static_cast<CPat8*>(manager.GetItem(index))) {
          p->SetOffsets(record.offsetX, record.offsetY);
          p->SetScale(record.scale);
          p->SetName(record.name);
          p->SetInverted((record.flags & kPatternFlagInverted) != 0);
          ++loaded;
          --most;
        }
      }
    }
    // Step over the chunk and the image after a record by their declared sizes.
    position += kChunkHeaderBytes + int64_t{header.size} + imageLength;
    if (position >= size) break;
    if (!stream.SetPosition(position)) return kFileSeekFailed;
  }
  return kFileOk;
}

uint8_t LoadToneSet(const std::string& path, CToneMngr& manager, bool append) {
  MemoryStream stream;
  if (uint8_t code = LoadPresetFile(path, stream)) return code;
  return LoadToneSetFromStream(stream, path, manager, append);
}

uint8_t LoadToneSetFromStream(Stream& stream, const std::string& path, CToneMngr& manager, bool append) {
  uint8_t header[kToneSetHeaderBytes];
  if (!stream.ReadExact(header, sizeof header)) return kFileShortRead;
  if (LoadU32(header) != kToneSetId) return kFileChunkId;
  if (LoadU32(header + 4) != 24) return kFileChunkSize;
  if (LoadU16(header + 8) != 0) return kToneRecordField;
  if (LoadU16(header + 10) > 1) return kFileLevel;
  const int32_t count = LoadU16(header + 12);
  if (count == 0) return kToneEmptySet;
  // The stored index is signed: 0xFFFF is -1, then clamped.
  const int32_t storedCurrent = LoadI16(header + 14);

  // Read into a set of its own first: a replacing load changes nothing unless an entry reads.
  CToneMngr read;
  int32_t loaded = 0;
  uint8_t code = kFileOk;
  try {
    code = ReadPatternRecords(stream, read, count, loaded);
  } catch (const std::bad_alloc&) {
    code = kFileNoMemory;
  }
  // None loaded is the empty set's code, also when the walk stopped on a damaged chunk.
  if (loaded == 0) return code != kFileOk && code != kFileShortRead && code != kFileSeekFailed ? code : kToneEmptySet;
  if (!append) manager.Clear();
  manager.TakeEntries(read);
  if (!append) {
    manager.SetCurrent(storedCurrent);
    manager.SetFileName(path);
  }
  manager.SetModified(append);
  if (loaded < count) ShowPresetMissingCount(count - loaded, kToneSetWord);
  return kFileOk;
}

}  // namespace tf
