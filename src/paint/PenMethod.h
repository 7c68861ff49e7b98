// Brush presets (CPenMethodObj) and the brush set (CPenMethodMngr).
#pragma once
// A brush preset is a complete pen of the current stroke engine: name (code page 932 bytes), pen
// parameters, the gradation and tone switches, stroke dynamics, a nib and an icon. The brush set
// is the list the tool window's brush pane shows; after any load it holds a brush for each of the
// paint kinds 9..17. Its file (.pmt) is in PenMethodFile.h.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paint/PenParam.h"
#include "paint/StrokeParam.h"

namespace tf {

class TMTC;
class CPenShapeObj;

// The parameter block of a brush, 44 bytes.
struct SPenMethodParams {
  SPenParam pen;
  uint8_t useGradation;
  uint8_t useTone;
  uint8_t pad[2];
  SStrokeParam stroke;

  // Pen parameters 0, switches 0, stroke dynamics InitStrokeParam.
  void Init();
};
static_assert(sizeof(SPenMethodParams) == 44);

// The next serial id of the process-wide brush counter (starting at 1).
uint32_t NewBrushSerialId();

inline constexpr int32_t kBrushIconSide = 128;
inline constexpr int32_t kBrushSmallIconSide = 32;

class CPenMethodObj {
 public:
  // No icons, then Reset.
  CPenMethodObj();
  ~CPenMethodObj();
  CPenMethodObj(const CPenMethodObj&) = delete;
  CPenMethodObj& operator=(const CPenMethodObj&) = delete;
  // Reset, then Assign(other); null when memory fails.
  static std::unique_ptr<CPenMethodObj> CreateCopy(const CPenMethodObj& other);

  // Not valid, new serial id, params Init, no nib, no icons. True.
  bool Reset();
  // valid = a pen parameter record is given (false without one); copies each part given.
  bool SetParams(const SPenParam* pen, const uint8_t* switches, const SStrokeParam* stroke);
  bool SetParamsBlock(const SPenMethodParams& block);
  // Copies the block when valid; returns valid.
  bool GetParamsBlock(SPenMethodParams& block) const;
  // Frees the old nib and takes the new one (null leaves none). True.
  bool SetNib(std::unique_ptr<CPenShapeObj> nib);
  // An own nib (made when there is none) assigned from the given one.
  bool SetNibCopy(const CPenShapeObj& nib);
  // A nib exists and is valid.
  bool HasNib() const;
  CPenShapeObj* Nib() const { return nib_.get(); }
  // Frees both icons; a picture of at most 128 x 128 is copied, a larger one shrunk to fit, and
  // placed into a 32 x 32 small icon. Null leaves none (true); else true when both icons exist.
  bool SetIcon(const TMTC* picture);
  // The same, taking the picture over instead of copying it when it fits (file readers).
  bool SetIcon(std::unique_ptr<TMTC> picture);
  bool HasIcon() const { return icon_ != nullptr && smallIcon_ != nullptr; }
  TMTC* Icon() const { return icon_.get(); }
  TMTC* SmallIcon() const { return smallIcon_.get(); }
  // False when other is not valid; else name, icon, parameters and nib copied.
  bool Assign(const CPenMethodObj& other);

  bool IsValid() const { return valid_; }
  uint32_t SerialId() const { return serialId_; }
  const SPenMethodParams& Params() const { return params_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

 private:
  bool MakeSmallIcon();

  bool valid_ = false;
  uint32_t serialId_ = 0;
  std::string name_;
  SPenMethodParams params_{};
  std::unique_ptr<CPenShapeObj> nib_;
  std::unique_ptr<TMTC> icon_;
  std::unique_ptr<TMTC> smallIcon_;
};

// File kinds of the preset file dialog used by the brush set.
inline constexpr int32_t kBrushSetOpenDialog = 3;
inline constexpr int32_t kBrushSetSaveDialog = 11;
inline constexpr int32_t kStoredPositionCount = 5;

class CPenMethodMngr {
 public:
  using ChangeCallback = std::function<void(CPenMethodMngr&)>;

  CPenMethodMngr() = default;
  // Callback removed, then Clear.
  ~CPenMethodMngr();
  CPenMethodMngr(const CPenMethodMngr&) = delete;
  CPenMethodMngr& operator=(const CPenMethodMngr&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool IsValidIndex(int32_t i) const { return i >= 0 && i < Count(); }
  CPenMethodObj* GetItem(int32_t i) const {
    return IsValidIndex(i) ? items_[static_cast<size_t>(i)].get() : nullptr;
  }
  CPenMethodObj* GetCurrent() const { return GetItem(current_); }
  int32_t GetCurrentIndex() const { return current_; }
  // Stores a valid index; notifies in every case.
  bool SetCurrent(int32_t i);

  int32_t GetAlternateIndex() const { return alternate_; }
  // A valid i is stored (true, no notification); else with clamp i clamped into the list; then
  // notifies and answers whether the alternate index is valid.
  bool SetAlternateIndex(int32_t i, bool clamp);
  bool HasAlternateIndex() const { return IsValidIndex(alternate_); }

  void SetStoredPositions(const int32_t (&positions)[kStoredPositionCount]);
  bool GetStoredPositions(int32_t (&positions)[kStoredPositionCount]) const;
  bool HasStoredPositions() const { return hasStoredPositions_; }
  // With stored positions: those above at move by delta, then each is clamped into 0..Count-1.
  void AdjustStoredPositions(int32_t at, int32_t delta);

  // i in 0..Count; the manager takes the brush. Index or -1 (the brush freed). Marks modified.
  int32_t Insert(int32_t i, std::unique_ptr<CPenMethodObj> brush);
  int32_t Add(std::unique_ptr<CPenMethodObj> brush) { return Insert(Count(), std::move(brush)); }
  // Removes and frees brush i; the same brush stays current (deleting the current one keeps its
  // index within the list). The alternate index is not adjusted. Marks modified.
  bool Delete(int32_t i);
  // Current -1, every brush removed; the count removed.
  int32_t Clear();
  // Clear, alternate -1; the previous count.
  int32_t ClearAll();

  // A brush for each kind 9..17.
  bool HasAllKinds() const;
  // Appends a default brush for each missing kind 9..17 in kind order; true only when all nine
  // were added (then an invalid current index becomes 0). False on any failure.
  bool AddMissingKinds();

  bool IsModified() const { return modified_; }
  void SetModified(bool flag);
  const std::string& GetFileName() const { return fileName_; }
  void SetFileName(const std::string& path);
  void SetChangeCallback(ChangeCallback callback) { callback_ = std::move(callback); }
  void Notify();

  // LoadBrushSet (a failure shown); then HasAllKinds, or AddMissingKinds when kinds are missing.
  bool LoadFromFile(const std::string& path, bool append);
  bool LoadWithDialog(bool append);
  // SaveBrushSet; a failure is shown and gives false.
  bool SaveToFile(const std::string& path);
  bool SaveWithDialog();
  // The default brush set: brushFile when it exists, else "default.pmt" in penPath, else in the
  // program's "preset" folder (penPath then follows). Without a file, or when the file does not
  // give every kind, AddMissingKinds when addDefaults (else false) and brushFile and the file
  // name are cleared.
  bool LoadDefault(bool addDefaults, std::string& penPath, std::string& brushFile,
                   const std::string& programFolder);

  // The reader's commit: replaces the list (current and alternate -1, stored positions dropped),
  // or appends.
  void ReplaceItems(std::vector<std::unique_ptr<CPenMethodObj>> items);
  void AppendItems(std::vector<std::unique_ptr<CPenMethodObj>> items);

 private:
  std::vector<std::unique_ptr<CPenMethodObj>> items_;
  int32_t current_ = -1;
  int32_t alternate_ = -1;
  bool hasStoredPositions_ = false;
  int32_t storedPositions_[kStoredPositionCount] = {};
  std::string fileName_;
  bool modified_ = false;
  ChangeCallback callback_;
};

}  // namespace tf
