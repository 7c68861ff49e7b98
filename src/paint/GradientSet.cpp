#include "paint/GradientSet.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "paint/PresetSettings.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/FileDialog.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "raster/ChunkStream.h"

namespace tf {

namespace {

// A colour with red in the low byte as a stop colour word of the given source.
uint32_t ColorWord(uint32_t color, uint8_t source) { return (color & 0x00FFFFFFu) | (uint32_t{source} << 24); }

SGradOption SettingsOptions() {
  SGradOption o = GetPresetSettingsHost().GradientOptions();
  o.ownOptions = 0;
  return o;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CGradMngr

CGradMngr::CGradMngr(bool withPinned) {
  SetPinned(withPinned);
  SetOptions(SettingsOptions());
}

CGradMngr::~CGradMngr() {
  changed_ = nullptr;
  ClearAll();
}

void CGradMngr::Notify() {
  if (changed_) changed_(*this);
}

std::unique_ptr<CGradObj> CGradMngr::MakePinnedEntry() const {
  auto entry = CGradObj::CreateTwoColor(0x00000000u, 0xFFFFFFFFu, Utf8ToCp932(kPinnedGradientName));
  if (entry) entry->SetOptions(SettingsOptions());
  return entry;
}

bool CGradMngr::SetPinned(bool on) {
  if (!on) {
    if (!HasPinned()) return true;
    const int32_t at = pinned_;
    const bool wasCurrent = current_ == at;
    items_.erase(items_.begin() + at);
    pinned_ = -1;
    if (wasCurrent) {
      currentEntry_ = nullptr;
      current_ = -1;
      SetCurrent(0);
    } else if (current_ > at) {
      --current_;
    }
    return true;
  }
  if (HasPinned()) return true;
  auto entry = MakePinnedEntry();
  if (!entry) return true;
  items_.insert(items_.begin(), std::move(entry));
  pinned_ = 0;
  if (current_ >= 0) ++current_;
  return true;
}

void CGradMngr::GetOptions(SGradOption& out) const {
  out = HasPinned() ? items_[static_cast<size_t>(pinned_)]->Options() : options_;
}

void CGradMngr::SetOptions(const SGradOption& options) {
  SGradOption o = options;
  o.ownOptions = 0;
  if (o.repeatCount <= 0) o.repeatCount = 1;
  if (!HasPinned()) options_ = o;
  for (auto& g : items_)
    if (g->Options().ownOptions == 0) g->SetOptions(o);
  StoreOptionsToProfile();
}

void CGradMngr::StoreOptionsToProfile() {
  SGradOption o;
  GetOptions(o);
  GetPresetSettingsHost().SetGradientOptions(o);
}

bool CGradMngr::SetWorkingOptions(const SGradOption& options, bool renewId) {
  if (!working_) return false;
  working_->SetOptions(options);
  if (renewId) working_->RenewId();
  return true;
}

bool CGradMngr::SetDynamicColors(uint32_t foreground, uint32_t background) {
  if (items_.empty()) return false;
  for (auto& g : items_) g->Stops()->SetDynamicColors(foreground, background);
  GetWorkingCopy();
  return true;
}

CGradObj* CGradMngr::GetItem(int32_t index) {
  return InRange(index) ? items_[static_cast<size_t>(index)].get() : nullptr;
}

const CGradObj* CGradMngr::GetItem(int32_t index) const {
  return InRange(index) ? items_[static_cast<size_t>(index)].get() : nullptr;
}

int32_t CGradMngr::SetCurrent(int32_t index) {
  if (items_.empty()) {
    current_ = -1;
    currentEntry_ = nullptr;
    working_.reset();
    return -1;
  }
  current_ = ClampInt(index, 0, Count() - 1);
  currentEntry_ = items_[static_cast<size_t>(current_)].get();
  GetWorkingCopy();
  Notify();
  return current_;
}

CGradObj* CGradMngr::GetWorkingCopy() {
  if (!working_) {
    working_.reset(new (std::nothrow) CGradObj());
    if (!working_) return nullptr;
  }
  if (currentEntry_ != nullptr) working_->Assign(*currentEntry_);
  return working_.get();
}

int32_t CGradMngr::Add(std::unique_ptr<CGradObj> gradient) {
  if (!gradient) return -1;
  try {
    items_.push_back(std::move(gradient));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  SetModified(true);
  return Count() - 1;
}

int32_t CGradMngr::AddTwoColor(uint32_t color0, uint32_t color1) {
  return Add(CGradObj::CreateTwoColor(color0, color1, ""));
}

bool CGradMngr::Delete(int32_t index) {
  if (!InRange(index)) return false;
  items_.erase(items_.begin() + index);
  if (pinned_ == index)
    pinned_ = -1;
  else if (pinned_ > index)
    --pinned_;
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

int32_t CGradMngr::Clear() {
  const int32_t count = Count();
  items_.clear();
  pinned_ = -1;
  current_ = -1;
  currentEntry_ = nullptr;
  return count;
}

int32_t CGradMngr::ClearAll() {
  const int32_t count = Clear();
  working_.reset();
  return count;
}

void CGradMngr::TakeEntries(CGradMngr& other) {
  items_.reserve(items_.size() + other.items_.size());
  for (auto& g : other.items_) items_.push_back(std::move(g));
  other.Clear();
}

void CGradMngr::SetModified(bool modified) {
  modified_ = modified;
  Notify();
}

void CGradMngr::SetFileName(const std::string& path) {
  if (path == fileName_) return;
  fileName_ = path;
  Notify();
}

bool CGradMngr::AddBuiltinGradients() {
  struct Stop {
    uint32_t color;  // red in the low byte
    int32_t weight;
  };
  static const std::vector<Stop> kBuiltins[4] = {
      {{0x000000, 65536}, {0xFFFFFF, 65536}},
      {{0x000000, 65536}, {0x00FFFF, 65536}},
      {{0xFF0000, 32768}, {0x00FF00, 32768}, {0x0000FF, 65536}},
      {{0xFF0000, 21845}, {0xFF0000, 0}, {0x00FF00, 21845}, {0x00FF00, 0}, {0x0000FF, 21846}, {0x0000FF, 65536}},
  };
  try {
    for (int32_t n = 0; n < 4; ++n) {
      auto g = std::make_unique<CGradObj>();
      const std::vector<Stop>& stops = kBuiltins[n];
      for (size_t i = 0; i < stops.size(); ++i)
        if (!g->Stops()->SetStop(static_cast<int32_t>(i), ColorWord(stops[i].color, kSourceFixed),
                                 stops[i].weight, 255))
          return false;
      g->Normalize();
      g->SetDefaultName(n + 1);
      if (Add(std::move(g)) < 0) return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool CGradMngr::LoadBuiltins() {
  const bool ok = AddBuiltinGradients();
  if (!InRange(current_)) SetCurrent(0);
  return ok;
}

bool CGradMngr::LoadFromFile(const std::string& path, bool append) {
  const uint8_t code = LoadGradientSet(path, *this, append);
  if (code != 0) ShowPresetLoadFailure(kGradientSetWord, code);
  return code == 0;
}

bool CGradMngr::Save(const std::string& path) {
  const uint8_t code = SaveGradientSet(path, *this);
  if (code != 0) ShowPresetSaveFailure(kGradientSetWord, code);
  return code == 0;
}

bool CGradMngr::LoadDefault(bool builtinsOnFailure) {
  const std::string path = FindDefaultPresetFile(PresetSet::kGradients, "default.tgs");
  if (!path.empty() && LoadFromFile(path, false)) return true;
  const bool result = builtinsOnFailure && LoadBuiltins();
  ForgetDefaultPresetFile(PresetSet::kGradients);
  SetFileName("");
  return result;
}

bool CGradMngr::LoadWithDialog(bool append) {
  std::string path;
  if (!RunPresetFileDialog(kFileDialogGradientSetOpen, fileName_, path)) return false;
  return LoadFromFile(path, append);
}

bool CGradMngr::SaveWithDialog() {
  std::string path;
  if (!RunPresetFileDialog(kFileDialogGradientSetSave, fileName_, path)) return false;
  return Save(path);
}

// ---------------------------------------------------------------------------------------------
// Records

uint8_t WriteGradientRecord(Stream& stream, const CColorSlotGroup& stops, const SGradOption& options) {
  if (!stops.AllUsed()) return kGradientNotStops;
  const std::string& name = stops.Name();
  const size_t nameLength = Cp932FitLength(name, 0xFFFF);
  const uint32_t padding = ChunkPadding(nameLength);
  const int32_t count = stops.LastStop() + 1;
  uint8_t head[kGradientRecordHeadBytes] = {};
  StoreU32(head + 0, kGradientRecordId);
  StoreU32(head + 4, static_cast<uint32_t>(28 + nameLength + padding + size_t{24} * static_cast<size_t>(count)));
  StoreU16(head + 8, options.ownOptions != 0 ? 1 : 0);
  StoreU16(head + 10, 1);
  StoreU16(head + 12, options.shape);
  StoreU16(head + 14, options.mirror);
  StoreU16(head + 16, options.endless);
  StoreU16(head + 18, static_cast<uint16_t>(options.repeatCount));
  StoreU16(head + 30, static_cast<uint16_t>(count));
  StoreU16(head + 32, kColorSlotBytes);
  StoreU16(head + 34, static_cast<uint16_t>(nameLength));
  if (!stream.WriteExact(head, sizeof head)) return kFileShortWrite;
  if (!stream.WriteExact(name.data(), static_cast<int64_t>(nameLength))) return kFileShortWrite;
  const uint8_t zeros[4] = {};
  if (!stream.WriteExact(zeros, padding)) return kFileShortWrite;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t bytes[kColorSlotBytes];
    ColorSlotToBytes(*stops.GetSlot(i), bytes);
    if (!stream.WriteExact(bytes, sizeof bytes)) return kFileShortWrite;
  }
  return kFileOk;
}

uint8_t WriteGradientRecordSafe(Stream& stream, const CColorSlotGroup& stops, const SGradOption& options) {
  return WriteGuarded(stream, [&] { return WriteGradientRecord(stream, stops, options); });
}

uint8_t ReadGradientRecord(Stream& stream, CColorSlotGroup& stops, SGradOption& options) {
  uint8_t head[kGradientRecordHeadBytes];
  if (!stream.ReadExact(head, sizeof head)) return kFileShortRead;
  if (LoadU32(head) != kGradientRecordId) return kFileChunkId;
  if (LoadU16(head + 10) > 1) return kFileLevel;
  const uint32_t size = LoadU32(head + 4);
  options.ownOptions = (LoadU16(head + 8) & 1) != 0 ? 1 : 0;
  options.shape = static_cast<uint8_t>(std::min<uint16_t>(LoadU16(head + 12), 2));
  options.mirror = static_cast<uint8_t>(std::min<uint16_t>(LoadU16(head + 14), 1));
  options.endless = static_cast<uint8_t>(std::min<uint16_t>(LoadU16(head + 16), 1));
  // Every other road keeps the count at 1 or more; the renderer needs it.
  options.repeatCount = std::max<int32_t>(LoadU16(head + 18), 1);
  const uint32_t nameLength = LoadU16(head + 34);
  const uint64_t nameBytes = uint64_t{nameLength} + ChunkPadding(nameLength);
  if (size < 28 || nameBytes > size - 28) return kFileChunkSize;
  std::string name;
  if (uint8_t code = ReadChunkString(stream, nameLength, name)) return code;
  stops.SetName(name);
  if (!SkipChunkBytes(stream, ChunkPadding(nameLength))) return kFileSeekFailed;
  uint64_t remaining = size - 28 - nameBytes;
  int32_t index = 0;
  while (remaining >= kColorSlotBytes) {
    uint8_t bytes[kColorSlotBytes];
    if (!stream.ReadExact(bytes, sizeof bytes)) return kFileShortRead;
    if (!stops.SetSlot(index, ColorSlotFromBytes(bytes))) return kGradientStopStore;
    ++index;
    remaining -= kColorSlotBytes;
  }
  if (index < 2) return kGradientNotStops;
  return kFileOk;
}

uint8_t ReadGradientRecordSafe(Stream& stream, CColorSlotGroup& stops, SGradOption& options) {
  const int64_t start = stream.Position();
  uint8_t code = kFileException;
  try {
    code = ReadGradientRecord(stream, stops, options);
  } catch (const std::bad_alloc&) {
    code = kFileNoMemory;
  } catch (...) {
    code = kFileException;
  }
  if (code != kFileOk) stream.SetPosition(start);
  return code;
}

uint8_t ReadGradientRecords(Stream& stream, CGradMngr& manager, int32_t most, int32_t& loaded) {
  loaded = 0;
  const int64_t size = stream.Size();
  int64_t position = stream.Position();
  if (size < 0 || position < 0) return kFileSeekFailed;
  int64_t remaining = size - position;
  while (most > 0 && remaining > 0) {
    SChunkHeader header;
    if (!ReadChunkHeader(stream, header)) return kFileShortRead;
    remaining -= kChunkHeaderBytes;
    if (int64_t{header.size} > remaining) return kFileSeekFailed;
    if (header.id == kGradientRecordId && stream.SetPosition(position)) {
      auto gradient = std::unique_ptr<CGradObj>(new (std::nothrow) CGradObj());
      SGradOption options;
      InitGradOption(options);
      if (gradient && ReadGradientRecordSafe(stream, *gradient->Stops(), options) == kFileOk) {
        gradient->SetOptionsRaw(options);
        // A gradient whose stops do not normalise (negative or overflowing weights) or whose
        // slots are not all stops cannot be rendered or copied: it counts as unreadable.
        if (gradient->Stops()->Normalize() && gradient->Stops()->AllUsed() &&
            manager.Add(std::move(gradient)) >= 0) {
          ++loaded;
          --most;
        }
      }
    }
    // Step by the declared size, whatever the record read, so the walk stays in step.
    remaining -= int64_t{header.size};
    position += kChunkHeaderBytes + int64_t{header.size};
    if (!stream.SetPosition(position)) return kFileSeekFailed;
  }
  return kFileOk;
}

// ---------------------------------------------------------------------------------------------
// The set file

uint8_t SaveGradientSet(const std::string& path, CGradMngr& manager) {
  const int32_t count = manager.Count() - (manager.HasPinned() ? 1 : 0);
  if (count <= 0) return kGradientEmptySet;
  if (count > 0xFFFF) return kFileChunkSize;
  const uint8_t code = SavePresetFile(path, [&](Stream& stream) -> uint8_t {
    uint8_t header[kGradientSetHeaderBytes] = {};
    StoreU32(header + 0, kGradientSetId);
    StoreU32(header + 4, 24);
    StoreU16(header + 8, kGradientSetVersion);
    StoreU16(header + 10, static_cast<uint16_t>(count));
    if (!manager.HasPinned()) {
      StoreU16(header + 16, static_cast<uint16_t>(manager.CurrentIndex()));
      StoreU16(header + 18, 0xFFFF);
    } else {
      StoreU16(header + 18, static_cast<uint16_t>(manager.PinnedIndex()));
      if (manager.IsCurrentPinned()) {
        StoreU32(header + 12, 1);
        StoreU16(header + 16, static_cast<uint16_t>(manager.PinnedIndex()));
      } else {
        StoreU16(header + 16, static_cast<uint16_t>(manager.CurrentIndex() - 1));
      }
    }
    if (!stream.WriteExact(header, sizeof header)) return kFileShortWrite;
    int32_t written = 0;
    for (int32_t i = 0; i < manager.Count(); ++i) {
      if (manager.IsPinnedIndex(i)) continue;
      const CGradObj* g = manager.GetItem(i);
      if (uint8_t c = WriteGradientRecordSafe(stream, *g->Stops(), g->Options())) return c;
      ++written;
    }
    return written > 0 ? uint8_t{kFileOk} : kGradientEmptySet;
  });
  if (code != 0) return code;
  manager.SetFileName(path);
  manager.SetModified(false);
  return 0;
}

uint8_t LoadGradientSet(const std::string& path, CGradMngr& manager, bool append) {
  MemoryStream stream;
  if (uint8_t code = LoadPresetFile(path, stream)) return code;
  return LoadGradientSetFromStream(stream, path, manager, append);
}

uint8_t LoadGradientSetFromStream(Stream& stream, const std::string& path, CGradMngr& manager, bool append) {
  uint8_t header[kGradientSetHeaderBytes];
  if (!stream.ReadExact(header, sizeof header)) return kFileShortRead;
  if (LoadU32(header) != kGradientSetId) return kFileChunkId;
  if (LoadU32(header + 4) != 24) return kFileChunkSize;
  const uint16_t version = LoadU16(header + 8);
  if (version > kGradientSetVersion) return kFileLevel;
  const int32_t count = LoadU16(header + 10);
  if (count == 0) return kGradientEmptySet;
  const uint32_t flags = LoadU32(header + 12);
  // The stored index is signed: 0xFFFF is -1.
  const int32_t storedCurrent = LoadI16(header + 16);

  PresetSettingsHost& settings = GetPresetSettingsHost();
  const uint32_t foreground = ColorWord(settings.ForegroundColor(), kSourceForeground);
  const uint32_t background = ColorWord(settings.BackgroundColor(), kSourceBackground);

  // Read into a set of its own first: a replacing load changes nothing unless an entry reads.
  CGradMngr read(false);
  int32_t loaded = 0;
  uint8_t code = kFileOk;
  try {
    code = ReadGradientRecords(stream, read, count, loaded);
  } catch (const std::bad_alloc&) {
    code = kFileNoMemory;
  }
  // None loaded is the empty set's code, also when the walk stopped on a damaged chunk.
  if (loaded == 0) return code != kFileOk && code != kFileShortRead && code != kFileSeekFailed ? code
                                                                                                 : kGradientEmptySet;

  if (!append) {
    manager.ClearAll();
    if (version == 1) manager.AddTwoColor(foreground, background);
  }
  manager.TakeEntries(read);
  if (!append) {
    if (version == 2 || (flags & 1) != 0)
      manager.SetCurrent(0);
    else
      manager.SetCurrent(storedCurrent + 1);
    manager.SetFileName(path);
  }
  manager.SetDynamicColors(foreground, background);
  SGradOption options;
  manager.GetOptions(options);
  manager.SetOptions(options);
  manager.SetModified(append);
  if (loaded < count) ShowPresetMissingCount(count - loaded, kGradientSetWord);
  // What was read is kept; the result is the walk's own code.
  return code;
}

}  // namespace tf
