// TFormPreference ("環境設定"), the preferences dialog of Edit > Preferences, and the routines that
// run it and apply its settings.
#pragma once
// The values, their loading, saving, Initialise and enabling rules are app/PreferenceValues.h;
// this form shows them on four pages chosen from a list and hands them back on OK.
#include <cstdint>

#include "app/PreferenceValues.h"
#include "raster/NumMngr.h"
#include "ui/BaseForm.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QWidget;

namespace tf {

class CAppProfile;
class MainFormChild;
class TGraphicTrackbar;
class TMainForm;
class TNumEdit;
class TPickerColorCell;

class TFormPreference : public TDialogBaseForm {
  Q_OBJECT
 public:
  // Loads the settings of profile into the controls.
  explicit TFormPreference(CAppProfile& profile, QWidget* parent = nullptr);
  ~TFormPreference() override;

  // The controls' state, and the controls from a state.
  SPreferenceValues Values() const;
  void SetValues(const SPreferenceValues& values);
  // OK: the controls into the settings.
  void SaveSettings();
  // "初期化(&I)".
  void Initialize();
  // Shows and enables the page of a list entry, hides and disables the others.
  void SelectPage(int32_t index);

  QListWidget* LstPage() const { return lstPage_; }
  QWidget* Page(int32_t index) const { return pages_[index]; }
  TGraphicTrackbar* Trackbar(int32_t index) const { return trackbars_[index]; }
  TNumMngr& Number(int32_t index) { return numbers_[index]; }
  TPickerColorCell* GridColorCell() const { return gridColor_; }
  QPushButton* BtnInitialize() const { return btnInitialize_; }
  QLineEdit* PresetEdit(int32_t index) const { return presetEdits_[index]; }
  QPushButton* PresetButton(int32_t index) const { return presetButtons_[index]; }
  QLineEdit* CursorPathEdit() const { return edtCursorPath_; }
  QPushButton* CursorPathButton() const { return btnCursorPath_; }

  // Number models and their track bars: undo, grid width, grid height, grid opacity.
  enum : int32_t { kNumUndo = 0, kNumGridX = 1, kNumGridY = 2, kNumGridOpaque = 3 };

  // The controls by name, for the tests and the enabling rules.
  QComboBox *cmbMButtonProc = nullptr, *cmbShortCut = nullptr, *cmbPSD = nullptr, *cmbSaveAsQuit = nullptr;
  QCheckBox *chkRightButton = nullptr, *chkUseGrabCtrl = nullptr, *chkToolFindNext = nullptr,
            *chkDrawToolAutoSave = nullptr, *chkGrabToolDblClk = nullptr, *chkZoomToolDblClk = nullptr,
            *chkExColor = nullptr, *chkAutoFreeHand = nullptr, *chkVerticalPopup = nullptr, *chkBrushGhost = nullptr,
            *chkGhostCenter = nullptr, *chkDispScrollBar = nullptr, *chkDispFullPath = nullptr,
            *chkUseAutoScroll = nullptr, *chkForceDisp = nullptr, *chkAutoSize = nullptr,
            *chkAutoSizeOnlyEvent = nullptr, *chkAutoSizeOnlyZoomOut = nullptr, *chkPlayAntiOff = nullptr,
            *chkSaveConfirm = nullptr, *chkImageIOOtherPath = nullptr, *chkPriorityFilePath = nullptr,
            *chkUseLastFile = nullptr;
  QRadioButton *radDrawCursorS = nullptr, *radDrawCursorP = nullptr, *radOtherCursorT = nullptr,
               *radOtherCursorE = nullptr;

 protected:
  void ButtonOKClick() override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildToolsPage(QWidget* page);
  void BuildCursorGridPage(QWidget* page);
  void BuildDocumentPage(QWidget* page);
  void BuildStartupPage(QWidget* page);
  TNumEdit* NumberRow(QWidget* parent, int32_t index, int32_t y, const char* label, const char* unit, float min,
                      float max);
  void ValueChange(int32_t index, bool fromTrackbar);
  void UpdateEnabling();
  void BrowseCursor();
  void BrowsePreset(int32_t index);
  void PlaceButtons();

  CAppProfile& profile_;
  QListWidget* lstPage_ = nullptr;
  QWidget* pages_[4] = {};
  TNumMngr numbers_[4];
  TNumEdit* numberEdits_[4] = {};
  TGraphicTrackbar* trackbars_[4] = {};
  TPickerColorCell* gridColor_ = nullptr;
  QLineEdit* edtCursorPath_ = nullptr;
  QPushButton* btnCursorPath_ = nullptr;
  QGroupBox* presetGroups_[kPreferencePresetCount] = {};
  QLineEdit* presetEdits_[kPreferencePresetCount] = {};
  QPushButton* presetButtons_[kPreferencePresetCount] = {};
  QPushButton* btnInitialize_ = nullptr;
  bool cursorPathEdited_ = false;
  bool presetEdited_[kPreferencePresetCount] = {};
  // Lists that opened without an item keep their setting unless one is picked.
  bool valueChanging_ = false;
};

// Runs the dialog through the main window's modal runner, then, whatever its result, reloads the
// tool cursors and lets the document window (when given) re-read its grid and undo settings.
// Returns the dialog's result.
int32_t ShowPreferencesDialog(TMainForm& main, MainFormChild* window);
// Edit > Preferences: the dialog for the active document window, then the tool window's sliders
// follow the vertical-slider setting.
void ShowPreferences(TMainForm& main);

}  // namespace tf
