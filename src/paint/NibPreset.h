// Nib presets: the nib record (SNibRecord), one nib preset (CPenShapeObj) and the nib set
// (CPenShapeMngr) with its built-in nibs.
#pragma once
// A nib preset is a parametric nib (falloff profile, geometry, hard-edge flag) or an image nib
// (an 8-bit picture, 0 = full ink, 255 = no ink, with a scale in percent). The nib set is the
// list the tool window shows; it loads and saves nib set files (.psh, NibSetFile.h).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paint/FalloffMap.h"
#include "paint/NibShape.h"

namespace tf {

class TChannel;

// One nib as tool settings, presets and files carry it, 32 bytes.
struct SNibRecord {
  SGradeMap profile;
  SNibShape shape;
  uint32_t flag;

  // SGradeMap.Init, SNibShape.Init(10), flag 0.
  void Init();
};
static_assert(sizeof(SNibRecord) == 32);

// The next serial id of the process-wide counter (starting at 1).
uint32_t NewNibSerialId();

// Built-in nibs 0..6; false (record untouched) for any other index.
inline constexpr int32_t kBuiltinNibCount = 7;
bool BuiltinNibRecord(int32_t index, SNibRecord& record);

class CPenShapeObj {
 public:
  enum NibKind : uint8_t { kParametric = 0, kImage = 1 };

  // Reset.
  CPenShapeObj();
  // Reset, then SetFromRecord.
  explicit CPenShapeObj(const SNibRecord& record);
  ~CPenShapeObj();
  CPenShapeObj(const CPenShapeObj&) = delete;
  CPenShapeObj& operator=(const CPenShapeObj&) = delete;

  // Not valid, new serial id, parametric, default profile and shape (size 10), flag 0, no image.
  void Reset();
  uint32_t RenewSerialId();
  uint32_t SetSerialId(uint32_t id);

  // Valid, parametric; stores each part given (null keeps it). The image, if any, stays.
  bool SetParametric(const SGradeMap* profile, const SNibShape* shape, const uint32_t* flag);
  void SetShapeParams(const SGradeMap* profile, const SNibShape* shape, const uint32_t* flag);
  // SetParametric with all three parts (the profile's core and floor clamped into 0..1000).
  bool SetFromRecord(const SNibRecord& record);
  // The three parts when valid; returns valid.
  bool GetRecord(SNibRecord& record) const;

  bool IsValid() const { return valid_; }
  uint8_t GetNibKind() const { return nibKind_; }
  // Image kind and an image held.
  bool IsBitmapNib() const { return nibKind_ == kImage && image_ != nullptr; }
  // Image nib: longSide * scale / 100 / 2; else size / 100.
  float GetRadius() const;
  float GetMinRatio() const { return shape_.GetMinRatio(); }
  bool HasFlag() const { return flag_ != 0; }
  float GetScale() const { return static_cast<float>(scale_) / 100.0f; }
  int32_t GetScalePercent() const { return scale_; }
  int32_t GetScaleMin() const { return scaleMin_; }
  int32_t GetScaleMax() const { return scaleMax_; }
  int32_t GetLongSide() const { return longSide_; }
  uint32_t SerialId() const { return serialId_; }
  const SGradeMap& Profile() const { return profile_; }
  const SNibShape& Shape() const { return shape_; }
  uint32_t Flag() const { return flag_; }
  const TChannel* Image() const { return image_.get(); }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // Takes the channel as image nib: range scaleMin = max(400 div short side, 1), scaleMax =
  // min(51200 div long side, 500); scale 100 raised to the minimum when below it, else capped at
  // the maximum; resetGeometry makes the shape SNibShape.Init(scale), else only its size becomes
  // scale x 100; new serial id. An empty or invalid channel is refused (false, nothing changed).
  bool SetImage(std::unique_ptr<TChannel> image, bool resetGeometry);
  // SetImage with a copy; false when the copy cannot be made.
  bool SetImageCopy(const TChannel& image, bool resetGeometry);
  // Image nib: a different percent within scaleMin..scaleMax is stored (and the shape's size
  // becomes percent x 100); else false.
  bool SetScale(int32_t percent);
  // Frees the image and clears the image fields (the kind stays); whether one was freed.
  bool FreeImage();
  // FreeImage, then SetParametric with the shape SNibShape.Init(10) only.
  void ResetToDefaultShape();
  // Copies the nib of another valid preset (not its name or serial id). False when other is
  // not valid or of an unknown kind.
  bool Assign(const CPenShapeObj& other);

 private:
  void ClearImageFields();

  bool valid_ = false;
  uint8_t nibKind_ = kParametric;
  uint32_t serialId_ = 0;
  SGradeMap profile_{};
  SNibShape shape_{};
  uint32_t flag_ = 0;
  std::string name_;
  int32_t scaleMin_ = 100;
  int32_t scaleMax_ = 100;
  int32_t scale_ = 100;
  std::unique_ptr<TChannel> image_;
  int32_t longSide_ = 0;
};

// Texts of the nib set.
inline constexpr const char* kNibSetWord = "ペン先集";
inline constexpr const char* kLoadFailedFormat = "%sの読み込みに失敗しました! (err=%d)";
inline constexpr const char* kSaveFailedFormat = "%sの保存に失敗しました! (err=%d)";
inline constexpr const char* kPartialLoadFormat = "%d個の%sが読み込めませんでした！";

// File kinds of the preset file dialog used by the nib set.
inline constexpr int32_t kNibSetOpenDialog = 4;
inline constexpr int32_t kNibSetSaveDialog = 12;

class CPenShapeMngr {
 public:
  using ChangeCallback = std::function<void(CPenShapeMngr&)>;

  CPenShapeMngr() = default;
  // Callback removed, then Clear.
  ~CPenShapeMngr();
  CPenShapeMngr(const CPenShapeMngr&) = delete;
  CPenShapeMngr& operator=(const CPenShapeMngr&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool IsValidIndex(int32_t i) const { return i >= 0 && i < Count(); }
  CPenShapeObj* GetItem(int32_t i) const { return IsValidIndex(i) ? items_[static_cast<size_t>(i)].get() : nullptr; }
  CPenShapeObj* GetCurrent() const { return GetItem(current_); }
  int32_t GetCurrentIndex() const { return current_; }
  // Stores a valid index; notifies in every case.
  bool SetCurrent(int32_t i);

  // i in 0..Count (Count appends); the manager takes the preset. Index or -1 (the preset is
  // freed). Marks modified.
  int32_t Insert(int32_t i, std::unique_ptr<CPenShapeObj> preset);
  int32_t Add(std::unique_ptr<CPenShapeObj> preset) { return Insert(Count(), std::move(preset)); }
  int32_t AddFromRecord(const SNibRecord& record);
  // Removes and frees item i; the same nib stays current (an entry before the current one moves
  // the index down; deleting the current one keeps its index within the list). Marks modified.
  bool Delete(int32_t i);
  // Current -1, every item removed; the count removed.
  int32_t Clear();
  // Clear; the previous count.
  int32_t ClearAll();
  // The seven built-in nibs appended, then SetCurrent(0); the count added.
  int32_t AddBuiltinShapes();
  // AddBuiltinShapes; true when any was added (the current index made valid).
  bool UseBuiltins();

  bool IsModified() const { return modified_; }
  void SetModified(bool flag);
  const std::string& GetFileName() const { return fileName_; }
  void SetFileName(const std::string& path);
  void SetChangeCallback(ChangeCallback callback) { callback_ = std::move(callback); }
  void Notify();

  // LoadNibSet; a failure is shown ("%sの読み込みに失敗しました! (err=%d)") and gives false.
  bool LoadFromFile(const std::string& path, bool append);
  // Asks for a nib set file (file dialog kind 4) starting from the current file's folder and
  // name, then LoadFromFile. False when cancelled.
  bool LoadWithDialog(bool append);
  // SaveNibSet; a failure is shown ("%sの保存に失敗しました! (err=%d)") and gives false.
  bool SaveToFile(const std::string& path);
  // Asks for a file name (file dialog kind 12), then SaveToFile.
  bool SaveWithDialog();
  // The default nib set: nibFile when it exists, else "default.psh" in penPath, else in the
  // program's "preset" folder (penPath then follows); without any, the built-in nibs when
  // useBuiltins. penPath and nibFile are the settings object's, updated as the search goes.
  bool LoadDefault(bool useBuiltins, std::string& penPath, std::string& nibFile, const std::string& programFolder);

  // Replaces the list with the given items (the nib set reader's commit); modified and file
  // name untouched, current -1.
  void ReplaceItems(std::vector<std::unique_ptr<CPenShapeObj>> items);
  // Appends items; marks modified.
  void AppendItems(std::vector<std::unique_ptr<CPenShapeObj>> items);
  // Sets the current index without validity test or notification (the reader's commit).
  void StoreCurrentIndex(int32_t i) { current_ = i; }

 private:
  std::vector<std::unique_ptr<CPenShapeObj>> items_;
  int32_t current_ = -1;
  bool modified_ = false;
  std::string fileName_;
  ChangeCallback callback_;
};

}  // namespace tf
