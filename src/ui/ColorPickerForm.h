// TColorPickerForm ("カラーピッカー") and PickColorDialog: every colour choice of the program goes
// through this dialog.
#pragma once
// A picker (area and slider, hue ring with area, or hue disc with slider), a preview cell with the
// colour the dialog opened with above the new one, and number fields for HSV, HSL and RGB
// (raster/ColorDialogNumbers.h). ColorChange is the one point where the picker, the preview and the
// numbers meet; its guard keeps the changes it makes from coming back into it.
#include <cstdint>
#include <functional>

#include "raster/ColorDialogNumbers.h"
#include "ui/BaseForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace tf {

class TCustomColorPicker;
class TNumEdit;
class TPickerColorCell;

class TColorPickerForm : public TDialogBaseForm {
  Q_OBJECT
 public:
  explicit TColorPickerForm(QWidget* parent = nullptr);
  ~TColorPickerForm() override;

  // The preview's initial colour.
  void SetInitialColor(const SColorValue& value);
  // The preview's colour, then the picker's.
  void SetColor(const SColorValue& value);
  // The preview's colour.
  void GetColor(SColorValue& value) const;

  TCustomColorPicker* Picker() const { return picker_; }
  TPickerColorCell* Preview() const { return preview_; }
  QComboBox* ComboBoxK() const { return comboBoxK_; }
  QCheckBox* CheckBoxC() const { return checkBoxC_; }
  QRadioButton* Radio(int32_t field) const { return radios_[field]; }
  TNumEdit* Edit(int32_t field) const { return edits_[field]; }
  CColorDialogNumbers& Numbers() { return numbers_; }

  // Item 0 area and slider, 1 hue ring and area, 2 hue disc and slider.
  void ComboBoxKChange();

 private:
  enum class Source { Preview, Picker, Number };
  void ColorChange(Source source, int32_t field);
  void RadioClick(int32_t field);
  void PreviewMouseDown(int32_t x, int32_t y);
  void BindPicker();
  void UpdateRadios();

  CColorDialogNumbers numbers_;
  TCustomColorPicker* picker_ = nullptr;
  TPickerColorCell* preview_ = nullptr;
  QLabel* labelK_ = nullptr;
  QComboBox* comboBoxK_ = nullptr;
  QRadioButton* radios_[kColorDialogFieldCount] = {};
  QLabel* labels_[kColorDialogFieldCount] = {};
  TNumEdit* edits_[kColorDialogFieldCount] = {};
  QCheckBox* checkBoxC_ = nullptr;
  QLabel* labelX_ = nullptr;
  QLineEdit* editX_ = nullptr;
  // The space remembered for each kind of the list.
  uint8_t spaces_[3] = {cpHSV, cpRGB, cpRGB};
  bool inColorChange_ = false;
};

// Runs the dialog on value: true when the user confirmed (value then holds the chosen colour),
// false with value unchanged. The form has no owner but is transient for the active window.
bool PickColorDialog(SColorValue& value);

// Tests script the dialog: a runner set here answers PickColorDialog instead of the form. Returns
// the runner set before; an empty one goes back to the form.
using PickColorDialogRunner = std::function<bool(SColorValue& value)>;
PickColorDialogRunner SetPickColorDialogRunner(PickColorDialogRunner runner);

}  // namespace tf
