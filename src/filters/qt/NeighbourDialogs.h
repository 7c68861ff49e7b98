// The parameter dialogs of the Gaussian and motion blurs, custom sharpen, noise, diffuse, median,
// mosaic, emboss and colour halftone: one to four numbers with their track bars, and the check box, mode choice and
// "再作成(&R)" button of those that have them.
#pragma once
#include <cstdint>

#include "filters/FilterCommands.h"
#include "filters/FilterDialogValues.h"
#include "filters/qt/FormFilter.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;

namespace tf {

class TGraphicTrackbar;
class TNumEdit;
class TNumMngr;

class TFormNeighbourFilter : public TFormFilterPreview {
  Q_OBJECT
 public:
  TFormNeighbourFilter(FilterKey key, QWidget* parent = nullptr);
  ~TFormNeighbourFilter() override;

  const void* GetParams() const override { return current_; }
  const void* GetAppliedParams() const override { return applied_; }
  int32_t GetParamSize() const override;
  void SetAppliedParams(const void* block) override;
  void ReadControls() override;
  void LoadControls() override;
  int32_t ControlChanged(const void* sender) override;

  TNumMngr& NumA() { return *num_[0]; }
  TNumMngr& NumB() { return *num_[1]; }
  TNumMngr* Num(int32_t i) { return i >= 0 && i < kNumbers ? num_[i] : nullptr; }
  TGraphicTrackbar* TrackA() const { return track_[0]; }
  TNumEdit* EditA() const { return edit_[0]; }
  QCheckBox* Check() const { return check_; }
  QPushButton* ButtonR() const { return buttonR_; }
  QButtonGroup* Modes() const { return modes_; }
  uint32_t Seed() const { return seed_; }

 protected:
  void Confirmed() override;

 private:
  void AddNumber(int32_t index, const char* caption, const char* unit, int32_t top);

  FilterKey key_;
  static constexpr int32_t kNumbers = 4;
  TNumMngr* num_[kNumbers]{};
  TNumEdit* edit_[kNumbers]{};
  TGraphicTrackbar* track_[kNumbers]{};
  int32_t numbers_ = 1;
  QCheckBox* check_ = nullptr;
  QButtonGroup* modes_ = nullptr;
  QPushButton* buttonR_ = nullptr;
  uint32_t seed_ = 0;
  uint8_t current_[16]{};
  uint8_t applied_[16]{};
};

// The run function of a neighbourhood filter's dialog (IsNeighbourDialog).
bool RunNeighbourDialog(FilterKey key, CFlt4Core& core, const FilterModalRunner& runner, void* block);

}  // namespace tf
