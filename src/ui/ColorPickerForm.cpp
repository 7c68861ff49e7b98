#include "ui/ColorPickerForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>

#include "platform/Confirm.h"
#include "platform/ResourceText.h"
#include "ui/ColorCells.h"
#include "ui/ColorPickers.h"
#include "ui/NumEdits.h"

namespace tf {
namespace {

QString Text(TextId id) { return QString::fromUtf8(Tx(id)); }

PickColorDialogRunner& Runner() {
  static PickColorDialogRunner runner;
  return runner;
}

// Places of the radio buttons and edits, in field order (H S V U A L R G B).
struct SFieldPlace {
  int32_t radioX, radioY, editX, editY;
  TextId label;
};
constexpr SFieldPlace kFieldPlaces[kColorDialogFieldCount] = {
    {312, 118, 344, 116, TextId::ColorPickerLabelH}, {312, 142, 344, 140, TextId::ColorPickerLabelS},
    {312, 166, 344, 164, TextId::ColorPickerLabelV}, {392, 118, 440, 116, TextId::ColorPickerLabelU},
    {392, 142, 440, 140, TextId::ColorPickerLabelA}, {392, 166, 440, 164, TextId::ColorPickerLabelL},
    {312, 202, 344, 200, TextId::ColorPickerLabelR}, {312, 226, 344, 224, TextId::ColorPickerLabelG},
    {312, 250, 344, 248, TextId::ColorPickerLabelB},
};

// The kind each item of ComboBoxK makes.
constexpr int32_t kItemKinds[3] = {kPickerAreaSlider, kPickerTriangle, kPickerCircle};

}  // namespace

TColorPickerForm::TColorPickerForm(QWidget* parent) : TDialogBaseForm(parent) {
  setWindowTitle(Text(TextId::ColorPickerCaption));
  resize(488, 300);

  picker_ = new TColorPicker(this);
  picker_->setGeometry(11, 5, 284, 266);
  preview_ = new TPickerColorCell(this);
  preview_->setGeometry(312, 8, 56, 56);
  preview_->SetDrawInitialColor(true);
  preview_->SetCallPickerDialog(false);
  preview_->SetOnChange([this](TCustomColorCell&) { ColorChange(Source::Preview, -1); });
  preview_->SetOnMouseDown([this](TCustomColorCell&, int32_t x, int32_t y) { PreviewMouseDown(x, y); });

  labelK_ = new QLabel(Text(TextId::ColorPickerKind), this);
  labelK_->move(312, 84);
  comboBoxK_ = new QComboBox(this);
  comboBoxK_->setGeometry(352, 80, 120, 20);
  comboBoxK_->addItems({Text(TextId::ColorPickerKindAreaSlider), Text(TextId::ColorPickerKindRingArea),
                        Text(TextId::ColorPickerKindRingSlider)});
  comboBoxK_->setCurrentIndex(0);
  labelK_->setBuddy(comboBoxK_);
  connect(comboBoxK_, &QComboBox::activated, this, [this](int) { ComboBoxKChange(); });

  for (int32_t f = 0; f < kColorDialogFieldCount; ++f) {
    const SFieldPlace& place = kFieldPlaces[f];
    radios_[f] = new QRadioButton(this);
    radios_[f]->setGeometry(place.radioX, place.radioY, 16, 16);
    labels_[f] = new QLabel(Text(place.label), this);
    labels_[f]->move(place.radioX + 16, place.radioY);
    edits_[f] = new TNumEdit(this);
    edits_[f]->setGeometry(place.editX, place.editY, 32, 20);
    edits_[f]->SetAlignment(Qt::AlignRight);
    edits_[f]->SetFormatString("%1.0f");
    edits_[f]->SetAssociate(&numbers_.Field(f));
    labels_[f]->setBuddy(edits_[f]);
    numbers_.Field(f).OnChange = [this, f](TNumMngr*) { ColorChange(Source::Number, f); };
    connect(radios_[f], &QRadioButton::clicked, this, [this, f] { RadioClick(f); });
  }
  radios_[cfH]->setChecked(true);

  checkBoxC_ = new QCheckBox(Text(TextId::ColorPickerSliderColored), this);
  checkBoxC_->move(16, 276);
  checkBoxC_->adjustSize();
  checkBoxC_->setChecked(true);
  connect(checkBoxC_, &QCheckBox::toggled, this, [this](bool on) { picker_->SetSliderColored(on); });

  labelX_ = new QLabel(Text(TextId::ColorPickerLabelX), this);
  labelX_->move(410, 252);
  labelX_->hide();
  editX_ = new QLineEdit(QStringLiteral("000000"), this);
  editX_->setGeometry(424, 248, 48, 20);
  editX_->hide();

  // Tab order: the list, the H S V radios and edits, U A L, R G B, then the hidden edit and the
  // check box; OK and Cancel follow.
  QWidget* previous = comboBoxK_;
  auto chain = [&](QWidget* next) {
    setTabOrder(previous, next);
    previous = next;
  };
  for (int32_t group = 0; group < 3; ++group) {
    for (int32_t i = 0; i < 3; ++i) chain(radios_[group * 3 + i]);
    for (int32_t i = 0; i < 3; ++i) chain(edits_[group * 3 + i]);
  }
  chain(editX_);
  chain(checkBoxC_);
  chain(ButtonOK());
  chain(ButtonCancel());

  BindPicker();
  UpdateRadios();
}

TColorPickerForm::~TColorPickerForm() {
  for (int32_t f = 0; f < kColorDialogFieldCount; ++f) numbers_.Field(f).OnChange = nullptr;
}

void TColorPickerForm::BindPicker() {
  picker_->SetOnChange([this](TCustomColorPicker&) { ColorChange(Source::Picker, -1); });
}

void TColorPickerForm::SetInitialColor(const SColorValue& value) { preview_->SetInitialColor(value); }

void TColorPickerForm::SetColor(const SColorValue& value) {
  preview_->SetColor(value);
  picker_->SetColor(value);
}

void TColorPickerForm::GetColor(SColorValue& value) const { preview_->GetColor(value); }

void TColorPickerForm::ComboBoxKChange() {
  const int32_t item = comboBoxK_->currentIndex();
  if (item < 0 || item > 2) return;
  ReplaceColorPicker(picker_, kItemKinds[item], spaces_[item]);
  BindPicker();
  UpdateRadios();
  checkBoxC_->setEnabled(picker_->GetPickerKind() != kPickerTriangle);
}

void TColorPickerForm::UpdateRadios() {
  const uint16_t mask = picker_->GetColorSpaces();
  for (int32_t f = 0; f < kColorDialogFieldCount; ++f) {
    radios_[f]->setEnabled(ColorSpaceInMask(mask, kColorDialogFieldSpace[f]));
  }
  const int32_t field = ColorDialogFieldOfSpace(picker_->ColorSpace());
  if (field >= 0) radios_[field]->setChecked(true);
}

void TColorPickerForm::RadioClick(int32_t field) {
  const uint8_t space = kColorDialogFieldSpace[field];
  const int32_t item = comboBoxK_->currentIndex();
  if (!ColorSpaceInMask(picker_->GetColorSpaces(), space) || item < 0 || item > 2) return;
  spaces_[item] = space;
  picker_->SetColorSpace(space);
}

void TColorPickerForm::PreviewMouseDown(int32_t x, int32_t y) {
  if (preview_->Core().HitTest(x, y, preview_->width(), preview_->height()) != 2) return;
  SColorValue initial, current;
  preview_->GetInitialColor(initial);
  picker_->GetColor(current);
  if (IsEqualPickerColor(initial, current) != 0) picker_->SetColor(initial);
}

void TColorPickerForm::ColorChange(Source source, int32_t field) {
  if (inColorChange_) return;
  inColorChange_ = true;
  SColorValue colour;
  switch (source) {
    case Source::Preview:
      preview_->GetColor(colour);
      numbers_.FillFromColor(colour);
      break;
    case Source::Picker: {
      picker_->GetColor(colour);
      SColorValue shown;
      preview_->GetColor(shown);
      if (IsEqualPickerColor(shown, colour) != 0) preview_->SetColor(colour);
      numbers_.FillFromColor(colour);
      break;
    }
    case Source::Number:
      numbers_.ApplyField(field, picker_->ColorManager());
      picker_->Core().RenderBackground();
      picker_->GetColor(colour);
      preview_->SetColor(colour);
      break;
  }
  picker_->Rerender();
  inColorChange_ = false;
}

bool PickColorDialog(SColorValue& value) {
  if (Runner()) return Runner()(value);
  TColorPickerForm form(nullptr);
  if (QWidget* active = QApplication::activeWindow()) {
    form.winId();
    if (active->windowHandle() && form.windowHandle()) form.windowHandle()->setTransientParent(active->windowHandle());
  }
  form.SetInitialColor(value);
  form.SetColor(value);
  if (form.exec() != kResultOk) return false;
  form.GetColor(value);
  return true;
}

PickColorDialogRunner SetPickColorDialogRunner(PickColorDialogRunner runner) {
  PickColorDialogRunner old = std::move(Runner());
  Runner() = std::move(runner);
  return old;
}

}  // namespace tf
