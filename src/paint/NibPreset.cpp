// Nib presets and the nib set.
#include "paint/NibPreset.h"

#include <sys/stat.h>

#include <algorithm>
#include <new>

#include "paint/NibSetFile.h"
#include "platform/Debug.h"
#include "platform/FileDialog.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"
#include "raster/SmallRoutines.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// Records

void SNibRecord::Init() {
  profile.Init();
  shape.Init(10.0f);
  flag = 0;
}

namespace {

uint32_t g_nextNibSerialId = 1;

struct SBuiltinNib {
  uint8_t curve;
  int32_t core, floor, size, aspect, angle, minRatio;
  uint32_t flag;
};
constexpr SBuiltinNib kBuiltinNibs[kBuiltinNibCount] = {
    {kGradeLinear, 1000, 0, 100, 1000, 0, 750, 0},   {kGradeLinear, 1000, 0, 1600, 1000, 0, 333, 0},
    {kGradeLinear, 1000, 0, 1200, 1000, 0, 1000, 0}, {kGradeLinear, 0, 0, 1200, 1000, 0, 1000, 0},
    {kGradeLinear, 0, 0, 3000, 1000, 0, 600, 0},     {kGradeLinear, 0, 0, 1500, 1000, 0, 600, 0},
    {kGradeCircle, 0, 0, 2500, 1000, 0, 600, 0},
};

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

uint32_t NewNibSerialId() { return g_nextNibSerialId++; }

bool BuiltinNibRecord(int32_t index, SNibRecord& record) {
  if (index < 0 || index >= kBuiltinNibCount) return false;
  const SBuiltinNib& b = kBuiltinNibs[index];
  record = SNibRecord{};
  record.profile.kind = b.curve;
  record.profile.core = b.core;
  record.profile.floor = b.floor;
  record.shape = SNibShape{b.size, b.aspect, b.angle, b.minRatio};
  record.flag = b.flag;
  return true;
}

// ---------------------------------------------------------------------------------------------
// CPenShapeObj

CPenShapeObj::CPenShapeObj() { Reset(); }

CPenShapeObj::CPenShapeObj(const SNibRecord& record) {
  Reset();
  SetFromRecord(record);
}

CPenShapeObj::~CPenShapeObj() { FreeImage(); }

void CPenShapeObj::ClearImageFields() {
  image_.reset();
  scaleMin_ = 100;
  scaleMax_ = 100;
  scale_ = 100;
  longSide_ = 0;
}

void CPenShapeObj::Reset() {
  valid_ = false;
  serialId_ = NewNibSerialId();
  nibKind_ = kParametric;
  profile_ = SGradeMap{};
  profile_.Init();
  shape_.Init(10.0f);
  flag_ = 0;
  ClearImageFields();
}

uint32_t CPenShapeObj::RenewSerialId() {
  const uint32_t old = serialId_;
  serialId_ = NewNibSerialId();
  return old;
}

uint32_t CPenShapeObj::SetSerialId(uint32_t id) {
  const uint32_t old = serialId_;
  serialId_ = id;
  return old;
}

void CPenShapeObj::SetShapeParams(const SGradeMap* profile, const SNibShape* shape, const uint32_t* flag) {
  if (profile != nullptr) profile_ = ClampedGradeMap(*profile);
  if (shape != nullptr) shape_ = *shape;
  if (flag != nullptr) flag_ = *flag;
}

bool CPenShapeObj::SetParametric(const SGradeMap* profile, const SNibShape* shape, const uint32_t* flag) {
  valid_ = true;
  nibKind_ = kParametric;
  SetShapeParams(profile, shape, flag);
  return true;
}

bool CPenShapeObj::SetFromRecord(const SNibRecord& record) {
  return SetParametric(&record.profile, &record.shape, &record.flag);
}

bool CPenShapeObj::GetRecord(SNibRecord& record) const {
  if (!valid_) return false;
  record.profile = profile_;
  record.shape = shape_;
  record.flag = flag_;
  return true;
}

float CPenShapeObj::GetRadius() const {
  if (IsBitmapNib()) return static_cast<float>(longSide_) * static_cast<float>(scale_) / 100.0f / 2.0f;
  return static_cast<float>(shape_.size) / 100.0f;
}

bool CPenShapeObj::SetImage(std::unique_ptr<TChannel> image, bool resetGeometry) {
  if (image == nullptr || !image->IsValid() || image->Width() < 1 || image->Height() < 1 ||
      image->Width() > kMaxImageChunkSide || image->Height() > kMaxImageChunkSide) {
    DebugOut("CPenShapeObj::SetImage: empty or oversized image refused\n");
    return false;
  }
  FreeImage();
  nibKind_ = kImage;
  const int32_t shortSide = std::min(image->Width(), image->Height());
  longSide_ = std::max(image->Width(), image->Height());
  image_ = std::move(image);
  scaleMin_ = std::max(400 / shortSide, 1);
  scaleMax_ = std::min(51200 / longSide_, 500);
  // A value below the minimum takes the minimum before the maximum is looked at, so an image
  // whose range is empty (2 x 3000: 200..17) keeps its minimum.
  scale_ = 100;
  if (scale_ < scaleMin_) {
    scale_ = scaleMin_;
  } else if (scale_ > scaleMax_) {
    scale_ = scaleMax_;
  }
  if (resetGeometry) {
    shape_.Init(static_cast<float>(scale_));
  } else {
    shape_.size = scale_ * 100;
  }
  serialId_ = NewNibSerialId();
  return true;
}

bool CPenShapeObj::SetImageCopy(const TChannel& image, bool resetGeometry) {
  std::unique_ptr<TChannel> copy(new (std::nothrow) TChannel(image));
  if (copy == nullptr || !copy->IsValid()) return false;
  return SetImage(std::move(copy), resetGeometry);
}

bool CPenShapeObj::SetScale(int32_t percent) {
  if (!IsBitmapNib() || percent == scale_ || percent < scaleMin_ || percent > scaleMax_) return false;
  scale_ = percent;
  shape_.size = percent * 100;
  return true;
}

bool CPenShapeObj::FreeImage() {
  const bool had = image_ != nullptr;
  ClearImageFields();
  return had;
}

void CPenShapeObj::ResetToDefaultShape() {
  FreeImage();
  SNibShape shape;
  shape.Init(10.0f);
  SetParametric(nullptr, &shape, nullptr);
}

bool CPenShapeObj::Assign(const CPenShapeObj& other) {
  if (!other.valid_ || other.nibKind_ > kImage) return false;
  if (other.IsBitmapNib()) {
    SetParametric(&other.profile_, &other.shape_, &other.flag_);
    if (!SetImageCopy(*other.image_, false)) return false;
    SetScale(other.scale_);
    return true;
  }
  FreeImage();
  SetParametric(&other.profile_, &other.shape_, &other.flag_);
  return true;
}

// ---------------------------------------------------------------------------------------------
// CPenShapeMngr

CPenShapeMngr::~CPenShapeMngr() {
  callback_ = nullptr;
  Clear();
}

void CPenShapeMngr::Notify() {
  if (callback_) callback_(*this);
}

bool CPenShapeMngr::SetCurrent(int32_t i) {
  const bool ok = IsValidIndex(i);
  if (ok) current_ = i;
  Notify();
  return ok;
}

void CPenShapeMngr::SetModified(bool flag) {
  modified_ = flag;
  Notify();
}

void CPenShapeMngr::SetFileName(const std::string& path) {
  if (path == fileName_) return;
  fileName_ = path;
  Notify();
}

int32_t CPenShapeMngr::Insert(int32_t i, std::unique_ptr<CPenShapeObj> preset) {
  if (preset == nullptr || i < 0 || i > Count()) return -1;
  try {
    items_.insert(items_.begin() + i, std::move(preset));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  SetModified(true);
  return i;
}

int32_t CPenShapeMngr::AddFromRecord(const SNibRecord& record) {
  std::unique_ptr<CPenShapeObj> preset(new (std::nothrow) CPenShapeObj(record));
  if (preset == nullptr) return -1;
  return Add(std::move(preset));
}

bool CPenShapeMngr::Delete(int32_t i) {
  if (!IsValidIndex(i)) return false;
  items_.erase(items_.begin() + i);
  if (i < current_) --current_;
  current_ = std::min(current_, Count() - 1);
  SetModified(true);
  return true;
}

int32_t CPenShapeMngr::Clear() {
  const int32_t removed = Count();
  current_ = -1;
  items_.clear();
  Notify();
  return removed;
}

int32_t CPenShapeMngr::ClearAll() {
  const int32_t removed = Clear();
  current_ = -1;
  return removed;
}

int32_t CPenShapeMngr::AddBuiltinShapes() {
  int32_t added = 0;
  for (int32_t i = 0; i < kBuiltinNibCount; ++i) {
    SNibRecord record;
    BuiltinNibRecord(i, record);
    if (AddFromRecord(record) >= 0) ++added;
  }
  SetCurrent(0);
  return added;
}

bool CPenShapeMngr::UseBuiltins() {
  const int32_t added = AddBuiltinShapes();
  if (added > 0 && !IsValidIndex(current_)) SetCurrent(0);
  return added > 0;
}

void CPenShapeMngr::ReplaceItems(std::vector<std::unique_ptr<CPenShapeObj>> items) {
  items_ = std::move(items);
  current_ = -1;
}

void CPenShapeMngr::AppendItems(std::vector<std::unique_ptr<CPenShapeObj>> items) {
  items_.reserve(items_.size() + items.size());
  for (auto& item : items) items_.push_back(std::move(item));
  SetModified(true);
}

bool CPenShapeMngr::LoadFromFile(const std::string& path, bool append) {
  const uint8_t code = LoadNibSet(path, *this, append);
  if (code == 0) return true;
  ShowWarningF(kLoadFailedFormat, kNibSetWord, static_cast<int>(code));
  return false;
}

bool CPenShapeMngr::SaveToFile(const std::string& path) {
  const uint8_t code = SaveNibSet(path, *this);
  if (code == 0) return true;
  ShowWarningF(kSaveFailedFormat, kNibSetWord, static_cast<int>(code));
  return false;
}

bool CPenShapeMngr::LoadWithDialog(bool append) {
  std::string folder = FolderPart(fileName_);
  std::string path;
  if (!ExecuteFileDialog(path, kFileDialogNibSetOpen, NamePart(fileName_), folder, nullptr)) return false;
  return LoadFromFile(path, append);
}

bool CPenShapeMngr::SaveWithDialog() {
  std::string folder = FolderPart(fileName_);
  std::string path;
  if (!ExecuteFileDialog(path, kFileDialogNibSetSave, NamePart(fileName_), folder, nullptr)) return false;
  return SaveToFile(path);
}

bool CPenShapeMngr::LoadDefault(bool useBuiltins, std::string& penPath, std::string& nibFile,
                                const std::string& programFolder) {
  auto fallBack = [&] {
    const bool result = useBuiltins && UseBuiltins();
    nibFile.clear();
    SetFileName(std::string());
    return result;
  };
  if (!IsRegularFile(nibFile)) {
    nibFile = JoinPath(penPath, "default.psh");
    if (!IsRegularFile(nibFile)) {
      penPath = JoinPath(programFolder, "preset");
      nibFile = JoinPath(penPath, "default.psh");
    }
    if (!IsRegularFile(nibFile)) return fallBack();
  }
  if (LoadFromFile(nibFile, false)) return true;
  return fallBack();
}

}  // namespace tf
