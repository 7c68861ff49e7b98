// TFormFilter, TFormFilterPreview: the base of the filter parameter dialogs (the Preview check
// box, the delayed canvas preview, the in-dialog preview frame) over CFilterDialogLogic.
#pragma once
// Signals reach the logic through Guard: a handler's exception cancels the dialog and is raised
// again by the run function once the modal loop is over. The close box is Cancel.
#include <functional>

#include "filters/FilterDialogLogic.h"
#include "ui/BaseForm.h"

class QCheckBox;
class QTimer;

namespace tf {

class TPreviewFilter;

// The modal loop a dialog is run in (the main window's RunModalDialog; 1 OK, 2 Cancel).
using FilterModalRunner = std::function<int32_t(QDialog* dialog)>;

class TFormFilter : public TDialogBaseForm, public CFilterDialogLogic {
  Q_OBJECT
 public:
  explicit TFormFilter(QWidget* parent = nullptr);
  ~TFormFilter() override;

  QCheckBox* CheckBoxPreview() const { return checkBoxPreview_; }
  QTimer* TimerUpdate() const { return timerUpdate_; }

  bool IsPreviewOn() const override;
  void SetPreviewOn(bool on) override;
  void SetTimerEnabled(bool enabled) override;
  void CancelDialog() override;

  // A control's change, routed to ValueChange under the guard.
  void Changed(const void* sender);

 protected:
  void showEvent(QShowEvent* event) override;
  void ButtonOKClick() override;
  // After OK: the dialog stores its remembered values.
  virtual void Confirmed() {}

 private:
  QCheckBox* checkBoxPreview_;
  QTimer* timerUpdate_;
};

class TFormFilterPreview : public TFormFilter {
  Q_OBJECT
 public:
  explicit TFormFilterPreview(QWidget* parent = nullptr);
  TPreviewFilter* Preview() const { return preview_; }

  bool Attach(CFlt4Core* core) override;
  void UpdatePreview(bool force) override;

 private:
  TPreviewFilter* preview_;
};

// The run of a dialog made for a core: parent the document window, transient for the main window,
// shown by runner; the dialog is freed on every way out.
bool RunFormFilter(TFormFilter& dialog, CFlt4Core& core, const FilterModalRunner& runner, void* blockOut);
// The document window's widget a core draws into (null when there is none).
QWidget* FilterDialogParent(CFlt4Core& core);

}  // namespace tf
