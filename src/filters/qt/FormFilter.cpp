#include "filters/qt/FormFilter.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include "filters/FilterCore.h"
#include "filters/qt/PreviewFrame.h"
#include "paper/DocumentWindow.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/ResourceText.h"
#include "platform/qt/QtHosts.h"

namespace tf {

TFormFilter::TFormFilter(QWidget* parent) : TDialogBaseForm(parent) {
  resize(344, 100);
  checkBoxPreview_ = new QCheckBox(QString::fromUtf8(Tx(TextId::FilterPreviewCheck)), this);
  checkBoxPreview_->setGeometry(240, 72, 88, 20);
  checkBoxPreview_->setChecked(false);
  connect(checkBoxPreview_, &QCheckBox::toggled, this, [this](bool) { Guard([this] { CheckBoxPreviewClick(); }); });
  timerUpdate_ = new QTimer(this);
  timerUpdate_->setInterval(static_cast<int>(FilterPreviewDelay::kIntervalMs));
  connect(timerUpdate_, &QTimer::timeout, this, [this] { Guard([this] { TimerTick(); }); });
}

TFormFilter::~TFormFilter() = default;

bool TFormFilter::IsPreviewOn() const { return checkBoxPreview_->isChecked(); }
void TFormFilter::SetPreviewOn(bool on) { checkBoxPreview_->setChecked(on); }

void TFormFilter::SetTimerEnabled(bool enabled) {
  if (enabled) {
    timerUpdate_->start();
  } else {
    timerUpdate_->stop();
  }
}

void TFormFilter::CancelDialog() { done(2); }

void TFormFilter::Changed(const void* sender) {
  Guard([this, sender] { ValueChange(sender); });
}

void TFormFilter::showEvent(QShowEvent* event) {
  TDialogBaseForm::showEvent(event);
  Guard([this] { FormShow(); });
}

void TFormFilter::ButtonOKClick() {
  TDialogBaseForm::ButtonOKClick();
  Guard([this] { Confirmed(); });
}

TFormFilterPreview::TFormFilterPreview(QWidget* parent) : TFormFilter(parent) {
  resize(344, 292);
  preview_ = new TPreviewFilter(this);
  preview_->move(16, 8);
  setTabOrder(ButtonOK(), ButtonCancel());
  setTabOrder(ButtonCancel(), CheckBoxPreview());
}

bool TFormFilterPreview::Attach(CFlt4Core* core) {
  if (!TFormFilter::Attach(core)) return false;
  if (!preview_->Bind(core, GetParams(), GetParamSize())) return false;
  preview_->Redraw();
  return true;
}

void TFormFilterPreview::UpdatePreview(bool force) {
  if (!force && !NeedsUpdate()) return;
  SetAppliedParams(GetParams());
  preview_->Redraw();
  if (IsPreviewOn()) ApplyPreviewNow();
}

QWidget* FilterDialogParent(CFlt4Core& core) {
  DocumentWindow* window = core.Paper().GetDrawWindow();
  return window != nullptr ? WidgetOfHandle(window->Handle()) : nullptr;
}

bool RunFormFilter(TFormFilter& dialog, CFlt4Core& core, const FilterModalRunner& runner, void* blockOut) {
  return RunFilterDialogLogic(dialog, core, [&] { return runner ? runner(&dialog) : dialog.exec(); }, blockOut);
}

}  // namespace tf
