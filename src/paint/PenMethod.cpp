// Brush presets and the brush set.
#include "paint/PenMethod.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "paint/NibPreset.h"
#include "paint/PaintParam.h"
#include "paint/PenMethodFile.h"
#include "paint/ToolTexts.h"
#include "platform/FileDialog.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "raster/ScaleImage.h"
#include "raster/SmallRoutines.h"

namespace tf {

namespace {

uint32_t gBrushSerial = 0;

}  // namespace

void SPenMethodParams::Init() {
  pen = SPenParam{};
  useGradation = 0;
  useTone = 0;
  pad[0] = pad[1] = 0;
  InitStrokeParam(stroke);
}

uint32_t NewBrushSerialId() { return ++gBrushSerial; }

// ---- CPenMethodObj ----

CPenMethodObj::CPenMethodObj() { Reset(); }

CPenMethodObj::~CPenMethodObj() = default;

std::unique_ptr<CPenMethodObj> CPenMethodObj::CreateCopy(const CPenMethodObj& other) {
  std::unique_ptr<CPenMethodObj> copy(new (std::nothrow) CPenMethodObj());
  if (copy != nullptr) copy->Assign(other);
  return copy;
}

bool CPenMethodObj::Reset() {
  valid_ = false;
  serialId_ = NewBrushSerialId();
  params_.Init();
  nib_.reset();
  icon_.reset();
  smallIcon_.reset();
  return true;
}

bool CPenMethodObj::SetParams(const SPenParam* pen, const uint8_t* switches, const SStrokeParam* stroke) {
  valid_ = pen != nullptr;
  if (pen == nullptr) return false;
  params_.pen = *pen;
  if (switches != nullptr) {
    params_.useGradation = switches[0];
    params_.useTone = switches[1];
  }
  if (stroke != nullptr) params_.stroke = *stroke;
  return true;
}

bool CPenMethodObj::SetParamsBlock(const SPenMethodParams& block) {
  const uint8_t switches[2] = {block.useGradation, block.useTone};
  return SetParams(&block.pen, switches, &block.stroke);
}

bool CPenMethodObj::GetParamsBlock(SPenMethodParams& block) const {
  if (valid_) block = params_;
  return valid_;
}

bool CPenMethodObj::SetNib(std::unique_ptr<CPenShapeObj> nib) {
  nib_ = std::move(nib);
  return true;
}

bool CPenMethodObj::SetNibCopy(const CPenShapeObj& nib) {
  if (nib_ == nullptr) {
    nib_.reset(new (std::nothrow) CPenShapeObj());
    if (nib_ == nullptr) return false;
  }
  return nib_->Assign(nib);
}

bool CPenMethodObj::HasNib() const { return nib_ != nullptr && nib_->IsValid(); }

bool CPenMethodObj::SetIcon(const TMTC* picture) {
  icon_.reset();
  smallIcon_.reset();
  if (picture == nullptr) return true;
  if (!picture->IsValid() || picture->Width() < 1 || picture->Height() < 1) return false;
  if (picture->Width() <= kBrushIconSide && picture->Height() <= kBrushIconSide) {
    icon_.reset(new (std::nothrow) TMTC(*picture));
  } else {
    // The scaler reads the source only.
    icon_.reset(
        MakeScaledCopy(SSize{kBrushIconSide, kBrushIconSide}, const_cast<TMTC&>(*picture), true, true, 0));
  }
  if (icon_ != nullptr && !icon_->IsValid()) icon_.reset();
  if (icon_ == nullptr) return false;
  return MakeSmallIcon();
}

bool CPenMethodObj::SetIcon(std::unique_ptr<TMTC> picture) {
  if (picture == nullptr || picture->Width() > kBrushIconSide || picture->Height() > kBrushIconSide ||
      !picture->IsValid() || picture->Width() < 1 || picture->Height() < 1) {
    return SetIcon(static_cast<const TMTC*>(picture.get()));
  }
  smallIcon_.reset();
  icon_ = std::move(picture);
  return MakeSmallIcon();
}

bool CPenMethodObj::MakeSmallIcon() {
  smallIcon_.reset(MakeScaledCopy(SSize{kBrushSmallIconSide, kBrushSmallIconSide}, *icon_, false, false, 0));
  if (smallIcon_ != nullptr && !smallIcon_->IsValid()) smallIcon_.reset();
  return HasIcon();
}

bool CPenMethodObj::Assign(const CPenMethodObj& other) {
  if (!other.valid_) return false;
  name_ = other.name_;
  SetIcon(other.icon_.get());
  const bool params = SetParamsBlock(other.params_);
  bool nib = true;
  if (other.nib_ != nullptr) {
    nib = SetNibCopy(*other.nib_);
  } else {
    nib_.reset();
  }
  return params && nib;
}

// ---- CPenMethodMngr ----

CPenMethodMngr::~CPenMethodMngr() {
  callback_ = nullptr;
  Clear();
}

bool CPenMethodMngr::SetCurrent(int32_t i) {
  const bool valid = IsValidIndex(i);
  if (valid) current_ = i;
  Notify();
  return valid;
}

bool CPenMethodMngr::SetAlternateIndex(int32_t i, bool clamp) {
  if (IsValidIndex(i)) {
    alternate_ = i;
    return true;
  }
  if (clamp) alternate_ = Count() > 0 ? std::clamp(i, 0, Count() - 1) : -1;
  Notify();
  return HasAlternateIndex();
}

void CPenMethodMngr::SetStoredPositions(const int32_t (&positions)[kStoredPositionCount]) {
  std::copy(std::begin(positions), std::end(positions), storedPositions_);
  hasStoredPositions_ = true;
}

bool CPenMethodMngr::GetStoredPositions(int32_t (&positions)[kStoredPositionCount]) const {
  std::copy(std::begin(storedPositions_), std::end(storedPositions_), positions);
  return hasStoredPositions_;
}

void CPenMethodMngr::AdjustStoredPositions(int32_t at, int32_t delta) {
  if (!hasStoredPositions_) return;
  for (int32_t& p : storedPositions_) {
    if (p > at) p += delta;
    p = Count() > 0 ? std::clamp(p, 0, Count() - 1) : 0;
  }
}

int32_t CPenMethodMngr::Insert(int32_t i, std::unique_ptr<CPenMethodObj> brush) {
  if (brush == nullptr || i < 0 || i > Count()) return -1;
  try {
    items_.insert(items_.begin() + i, std::move(brush));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  AdjustStoredPositions(i, 1);
  SetModified(true);
  return i;
}

bool CPenMethodMngr::Delete(int32_t i) {
  if (!IsValidIndex(i)) return false;
  items_.erase(items_.begin() + i);
  AdjustStoredPositions(i, -1);
  if (i < current_) --current_;
  current_ = std::min(current_, Count() - 1);
  SetModified(true);
  return true;
}

int32_t CPenMethodMngr::Clear() {
  const int32_t count = Count();
  current_ = -1;
  while (!items_.empty()) items_.erase(items_.begin());
  return count;
}

int32_t CPenMethodMngr::ClearAll() {
  const int32_t count = Clear();
  current_ = -1;
  alternate_ = -1;
  return count;
}

bool CPenMethodMngr::HasAllKinds() const {
  bool seen[kPaintKindCount] = {};
  for (const auto& brush : items_) {
    uint8_t kind = 0;
    if (PenMethodPaintKind(kind, brush.get()) && kind < kPaintKindCount) seen[kind] = true;
  }
  for (uint8_t kind = 0; kind < kPaintKindCount; ++kind) {
    if (PaintKindEngine(kind) == 2 && !seen[kind]) return false;
  }
  return true;
}

bool CPenMethodMngr::AddMissingKinds() {
  bool seen[kPaintKindCount] = {};
  for (const auto& brush : items_) {
    uint8_t kind = 0;
    if (PenMethodPaintKind(kind, brush.get()) && kind < kPaintKindCount) seen[kind] = true;
  }
  int32_t handled = 0;
  for (uint8_t kind = 0; kind < kPaintKindCount; ++kind) {
    if (PaintKindEngine(kind) != 2 || seen[kind]) continue;
    TPaintParam settings(kind);
    std::unique_ptr<CPenMethodObj> brush(new (std::nothrow) CPenMethodObj());
    std::unique_ptr<CPenShapeObj> nib(new (std::nothrow) CPenShapeObj());
    if (brush == nullptr || nib == nullptr) return false;
    brush->SetNib(std::move(nib));
    if (!settings.SaveToPenMethod(brush.get())) return false;
    if (Add(std::move(brush)) < 0) return false;
    ++handled;
  }
  if (handled == 9 && !IsValidIndex(current_)) SetCurrent(0);
  return handled == 9;
}

void CPenMethodMngr::SetModified(bool flag) {
  modified_ = flag;
  Notify();
}

void CPenMethodMngr::SetFileName(const std::string& path) {
  if (fileName_ == path) return;
  fileName_ = path;
  Notify();
}

void CPenMethodMngr::Notify() {
  if (callback_) callback_(*this);
}

bool CPenMethodMngr::LoadFromFile(const std::string& path, bool append) {
  const uint8_t code = LoadBrushSet(path, *this, append);
  if (code != 0) ShowWarningF(kLoadFailedFormat, Tx(texts::kBrushSetWord), static_cast<int>(code));
  if (HasAllKinds()) return true;
  return AddMissingKinds();
}

bool CPenMethodMngr::LoadWithDialog(bool append) {
  std::string folder = FolderPart(fileName_);
  std::string path;
  if (!ExecuteFileDialog(path, kBrushSetOpenDialog, NamePart(fileName_), folder, nullptr)) return false;
  return LoadFromFile(path, append);
}

bool CPenMethodMngr::SaveToFile(const std::string& path) {
  const uint8_t code = SaveBrushSet(path, *this);
  if (code == 0) return true;
  ShowWarningF(kSaveFailedFormat, Tx(texts::kBrushSetWord), static_cast<int>(code));
  return false;
}

bool CPenMethodMngr::SaveWithDialog() {
  std::string folder = FolderPart(fileName_);
  std::string path;
  if (!ExecuteFileDialog(path, kBrushSetSaveDialog, NamePart(fileName_), folder, nullptr)) return false;
  return SaveToFile(path);
}

bool CPenMethodMngr::LoadDefault(bool addDefaults, std::string& penPath, std::string& brushFile,
                                 const std::string& programFolder) {
  auto fallBack = [&] {
    const bool result = addDefaults && AddMissingKinds();
    brushFile.clear();
    SetFileName(std::string());
    return result;
  };
  if (!FileExists(brushFile)) {
    brushFile = JoinPath(penPath, "default.pmt");
    if (!FileExists(brushFile)) {
      penPath = JoinPath(programFolder, "preset");
      brushFile = JoinPath(penPath, "default.pmt");
    }
    if (!FileExists(brushFile)) return fallBack();
  }
  if (LoadFromFile(brushFile, false) && HasAllKinds()) return true;
  return fallBack();
}

void CPenMethodMngr::ReplaceItems(std::vector<std::unique_ptr<CPenMethodObj>> items) {
  ClearAll();
  hasStoredPositions_ = false;
  items_ = std::move(items);
}

void CPenMethodMngr::AppendItems(std::vector<std::unique_ptr<CPenMethodObj>> items) {
  for (auto& item : items) items_.push_back(std::move(item));
  SetModified(true);
}

}  // namespace tf
