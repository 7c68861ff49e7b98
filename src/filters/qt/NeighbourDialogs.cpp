#include "filters/qt/NeighbourDialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>
#include <memory>

#include "document/LayerData.h"
#include "filters/FilterCore.h"
#include "platform/Clock.h"
#include "platform/ResourceText.h"
#include "raster/NumMngr.h"
#include "ui/GraphicTrackbar.h"
#include "ui/NumEdits.h"

namespace tf {

namespace {

struct SNumberForm {
  float min, max, step, defaultValue;
  const char* format;
  bool wrap;
  bool centre = false;
};

SNumberForm NumberForm(FilterKey key, int32_t index) {
  switch (key) {
    case FilterKey::GaussianBlur: return {0.1f, 10, 0.1f, 1, "%.4g", false};
    case FilterKey::MotionBlur:
      return index == 0 ? SNumberForm{-999, 999, 1, 0, "%1.0f", true} : SNumberForm{1, 100, 1, 1, "%1.0f", false};
    case FilterKey::SharpenCustom: return {0, 1, 0.01f, 0.3f, "%.6g", false};
    case FilterKey::Noise: return {0, 512, 1, 1, "%1.0f", false};
    case FilterKey::Diffuse: return {1, 255, 1, 1, "%1.0f", false};
    case FilterKey::Median: return {1, 100, 1, 8, "%1.0f", false};
    case FilterKey::Mosaic: return {2, 255, 1, 16, "%1.0f", false};
    case FilterKey::Emboss:
      if (index == 0) return {-999, 999, 1, 120, "%1.0f", true};
      if (index == 1) return {0.1f, 100, 1, 3, "%0.6g", false};
      return {1, 500, 1, 100, "%1.0f", false, true};
    case FilterKey::ColorHalftone:
      return index == 0 ? SNumberForm{3, 255, 1, 8, "%1.0f", false} : SNumberForm{-999, 999, 1, 0, "%1.0f", true};
    default: return {0, 1, 1, 0, "%1.0f", false};
  }
}

}  // namespace

TFormNeighbourFilter::TFormNeighbourFilter(FilterKey key, QWidget* parent) : TFormFilterPreview(parent), key_(key) {
  setWindowTitle(QString::fromUtf8(FilterRow(key).name));
  const int32_t top = 246;
  switch (key) {
    case FilterKey::MotionBlur:
      numbers_ = 2;
      AddNumber(0, Tx(TextId::FilterAngleA), Tx(TextId::FilterUnitDegrees), top + 0);
      AddNumber(1, Tx(TextId::FilterDistanceD), Tx(TextId::FilterUnitPixels), top + 26);
      break;
    case FilterKey::Median: AddNumber(0, Tx(TextId::FilterRadiusR), Tx(TextId::FilterUnitPixels), top + 0); break;
    case FilterKey::Mosaic: AddNumber(0, Tx(TextId::FilterSizeC), Tx(TextId::FilterUnitPixels), top + 0); break;
    case FilterKey::Diffuse: AddNumber(0, Tx(TextId::FilterRangeA), "", top); break;
    case FilterKey::Emboss:
      numbers_ = 3;
      AddNumber(0, Tx(TextId::FilterAngleA), Tx(TextId::FilterUnitDegrees), top + 0);
      AddNumber(1, Tx(TextId::FilterHeightH), Tx(TextId::FilterUnitPixels), top + 26);
      AddNumber(2, Tx(TextId::FilterAmountM), TxFormat(TextId::FilterUnitPercent).c_str(), top + 52);
      break;
    case FilterKey::ColorHalftone:
      numbers_ = 4;
      AddNumber(0, Tx(TextId::FilterDiameterD), Tx(TextId::FilterUnitPixels), top + 0);
      AddNumber(1, Tx(TextId::FilterAngleR), Tx(TextId::FilterUnitDegrees), top + 26);
      AddNumber(2, Tx(TextId::FilterAngleG), Tx(TextId::FilterUnitDegrees), top + 52);
      AddNumber(3, Tx(TextId::FilterAngleB), Tx(TextId::FilterUnitDegrees), top + 78);
      break;
    default: AddNumber(0, Tx(TextId::FilterAmountA), "", top); break;
  }
  int32_t height = top + 26 * numbers_ + 8;
  if (key == FilterKey::Noise || key == FilterKey::Diffuse) {
    check_ = new QCheckBox(QString::fromUtf8(Tx(key == FilterKey::Noise ? TextId::FilterMonochromeM : TextId::FilterRadialS)), this);
    check_->setGeometry(240, 104, 100, 20);
    connect(check_, &QCheckBox::toggled, this, [this](bool) { Changed(check_); });
    buttonR_ = new QPushButton(QString::fromUtf8(Tx(TextId::FilterRecreateR)), this);
    buttonR_->setGeometry(240, 130, 88, 24);
    connect(buttonR_, &QPushButton::clicked, this, [this] { Changed(buttonR_); });
  }
  if (key == FilterKey::Diffuse) {
    auto* group = new QGroupBox(QString::fromUtf8(Tx(TextId::FilterModeGroup)), this);
    group->setGeometry(240, 160, 100, 84);
    modes_ = new QButtonGroup(this);
    const TextId items[3] = {TextId::FilterModeNormal, TextId::FilterModeDarken, TextId::FilterModeLighten};
    for (int32_t i = 0; i < 3; ++i) {
      auto* radio = new QRadioButton(QString::fromUtf8(Tx(items[i])), group);
      radio->setGeometry(6, 18 + 20 * i, 90, 18);
      modes_->addButton(radio, i);
    }
    connect(modes_, &QButtonGroup::idClicked, this, [this](int) { Changed(modes_); });
  }
  resize(344, std::max(292, height));
}

TFormNeighbourFilter::~TFormNeighbourFilter() {
  for (int32_t i = 0; i < kNumbers; ++i) {
    if (edit_[i] != nullptr) edit_[i]->SetAssociate(nullptr);
    if (num_[i] != nullptr) num_[i]->OnChange = nullptr;
    if (track_[i] != nullptr) track_[i]->OnChange = nullptr;
    delete num_[i];
  }
}

void TFormNeighbourFilter::AddNumber(int32_t index, const char* caption, const char* unit, int32_t top) {
  const SNumberForm form = NumberForm(key_, index);
  num_[index] = new TNumMngr();
  SNumMngrProps props;
  props.value = form.defaultValue;
  props.valueDefault = form.defaultValue;
  props.valueMin = form.min;
  props.valueMax = form.max;
  props.amount = form.step;
  props.amountLow = form.step;
  props.amountHigh = form.step * 10;
  if (form.centre) {
    props.useCenter = true;
    props.valueCenter = form.defaultValue;
  }
  if (form.wrap) {
    props.wrapAround = true;
    props.wrapMin = -180;
    props.wrapMax = 180;
  }
  num_[index]->Load(props);
  auto* label = new QLabel(QString::fromUtf8(caption), this);
  label->setGeometry(16, top, 70, 20);
  edit_[index] = new TNumEdit(this);
  edit_[index]->setGeometry(88, top, 60, 20);
  edit_[index]->SetFormatString(form.format);
  edit_[index]->SetAssociate(num_[index]);
  label->setBuddy(edit_[index]);
  if (unit != nullptr && *unit != 0) {
    auto* unitLabel = new QLabel(QString::fromUtf8(unit), this);
    unitLabel->setGeometry(150, top, 20, 20);
  }
  track_[index] = new TGraphicTrackbar(this);
  track_[index]->setGeometry(172, top + 4, 60, 12);
  TNumMngr* num = num_[index];
  TGraphicTrackbar* track = track_[index];
  num->OnChange = [this, num](TNumMngr*) { Changed(num); };
  track->OnChange = [this, track](TGraphicTrackbar*) { Changed(track); };
}

int32_t TFormNeighbourFilter::GetParamSize() const { return FilterRow(key_).blockSize; }

void TFormNeighbourFilter::SetAppliedParams(const void* block) {
  std::memcpy(applied_, block, static_cast<size_t>(GetParamSize()));
}

void TFormNeighbourFilter::ReadControls() {
  SNeighbourDialogValues v;
  v.a = num_[0]->Value();
  if (num_[1] != nullptr) v.b = num_[1]->Value();
  if (num_[2] != nullptr) v.c = num_[2]->Value();
  if (num_[3] != nullptr) v.d = num_[3]->Value();
  v.check = check_ != nullptr && check_->isChecked();
  v.choice = modes_ != nullptr ? std::max(0, modes_->checkedId()) : 0;
  v.seed = seed_;
  const uint8_t alpha = HasCore() && Core()->Layer() != nullptr ? Core()->Layer()->alphaProtect : 0;
  BuildNeighbourBlock(key_, v, alpha, current_);
}

void TFormNeighbourFilter::LoadControls() {
  const SNeighbourDialogValues v = LoadNeighbourDialog(key_);
  seed_ = v.seed;
  const float values[kNumbers] = {v.a, v.b, v.c, v.d};
  for (int32_t i = 0; i < numbers_; ++i) {
    num_[i]->SetValue(values[i]);
    track_[i]->SetPosition(num_[i]->GetPosition());
  }
  if (check_ != nullptr) check_->setChecked(v.check);
  if (modes_ != nullptr && modes_->button(v.choice) != nullptr) modes_->button(v.choice)->setChecked(true);
  if (key_ == FilterKey::ColorHalftone) {
    // Opens with the box cleared; the remembered state counts as seen.
    SetPreviewOn(false);
    SetPreviewSeen(v.preview);
  } else {
    SetPreviewOn(v.preview);
  }
}

int32_t TFormNeighbourFilter::ControlChanged(const void* sender) {
  for (int32_t i = 0; i < numbers_; ++i) {
    if (sender == num_[i]) {
      track_[i]->SetPosition(num_[i]->GetPosition());
      return 2;
    }
    if (sender == track_[i]) {
      num_[i]->SetPosition(track_[i]->GetPosition());
      return 2;
    }
  }
  if (sender != nullptr && sender == buttonR_) {
    seed_ = timeGetTime();
    return 1;
  }
  if (sender != nullptr && (sender == check_ || sender == modes_)) return 1;
  return 0;
}

void TFormNeighbourFilter::Confirmed() { ConfirmNeighbourDialog(key_, current_, IsPreviewOn()); }

bool RunNeighbourDialog(FilterKey key, CFlt4Core& core, const FilterModalRunner& runner, void* block) {
  auto dialog = std::make_unique<TFormNeighbourFilter>(key, FilterDialogParent(core));
  return RunFormFilter(*dialog, core, runner, block);
}

}  // namespace tf
