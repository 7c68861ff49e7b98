#include "app/qt/FormValue.h"

#include "raster/LengthUnit.h"

namespace tf {

namespace {

SValueFormKind BaseKind() {
  SValueFormKind k{Tx(TextId::ValueCaption), Tx(TextId::ValueLabel), UnitLongNames[luPercent].data(), "%1.5g", {}};
  k.props.valueMax = 255;
  k.props.wrapMax = 255;
  return k;
}

SValueFormKind SelExtKind() {
  SValueFormKind k = BaseKind();
  k.caption = Tx(TextId::SelExtCaption);
  k.unit = Tx(TextId::SelExtUnit);
  k.format = "%1.0f";
  k.props.value = 1;
  k.props.valueDefault = 1;
  k.props.valueMin = 1;
  k.props.valueMax = 32;
  k.props.valueCenter = 16;
  k.props.wrapMax = 32;
  return k;
}

SValueFormKind RotationKind() {
  SValueFormKind k = BaseKind();
  k.caption = Tx(TextId::RotationCaption);
  k.label = Tx(TextId::RotationLabel);
  k.unit = Tx(TextId::RotationUnit);
  k.format = "%1.4g";
  k.props.valueMin = -999;
  k.props.valueMax = 999;
  k.props.wrapAround = true;
  k.props.wrapMin = -180;
  k.props.wrapMax = 180;
  return k;
}

SValueFormKind SplitKind() {
  SValueFormKind k = BaseKind();
  k.caption = Tx(TextId::SplitCaption);
  k.label = Tx(TextId::SplitLabel);
  k.unit = Tx(TextId::SplitUnit);
  k.format = "%1.0f";
  k.props.value = 2;
  k.props.valueDefault = 2;
  k.props.valueMin = 2;
  k.props.valueMax = 16;
  k.props.wrapMax = 16;
  return k;
}

SValueFormKind LogCountKind() {
  SValueFormKind k = BaseKind();
  k.caption = Tx(TextId::LogCountCaption);
  k.label = Tx(TextId::LogCountLabel);
  k.unit = Tx(TextId::LogCountUnit);
  k.format = "%1.0f";
  k.props.value = 10;
  k.props.valueDefault = 10;
  k.props.valueMax = 50;
  k.props.wrapMax = 50;
  return k;
}

}  // namespace

TFormValue::TFormValue(QWidget* parent) : TFormValue(BaseKind(), parent) {}

TFormValue::TFormValue(const SValueFormKind& kind, QWidget* parent) : TDialogBaseForm(parent) {
  setWindowTitle(QString::fromUtf8(kind.caption));
  resize(320, 80);
  StaticValue = new QLabel(QString::fromUtf8(kind.label), this);
  StaticValue->setGeometry(8, 10, 60, 16);
  EdtValue = new TNumEdit(this);
  EdtValue->setGeometry(70, 8, 64, 20);
  StaticValueUnit = new QLabel(QString::fromUtf8(kind.unit), this);
  StaticValueUnit->setGeometry(138, 10, 40, 16);
  StaticValue->setBuddy(EdtValue);
  BoxValue = new QWidget(this);
  BoxValue->setGeometry(8, 40, 196, 16);
  NumValue.Load(kind.props);
  EdtValue->SetFormatString(kind.format);
  EdtValue->SetAssociate(&NumValue);
  Track = new TGraphicTrackbar(this);
  Track->setGeometry(BoxValue->geometry());
  Track->SetFocusControl(EdtValue);
  Track->OnChange = [this](TGraphicTrackbar*) { TrackValueChange(); };
  NumValue.OnChange = [this](TNumMngr*) { NumValueChange(); };
  NumValueChange();
  EdtValue->setFocus();
}

void TFormValue::NumValueChange() { Track->SetPosition(NumValue.GetPosition()); }

void TFormValue::TrackValueChange() { NumValue.SetPosition(Track->GetPosition()); }

void TFormValue::SetTrackOrientation(TGraphicTrackbarOrientation orientation) {
  Track->SetOrientation(orientation);
  if (orientation == TGraphicTrackbarOrientation::gtClockWise ||
      orientation == TGraphicTrackbarOrientation::gtCounterClockWise) {
    Track->setGeometry(8, 36, 40, 40);
    if (height() < 84) resize(width(), 84);
  } else {
    Track->setGeometry(BoxValue->geometry());
  }
  NumValueChange();
}

TFormSelExt::TFormSelExt(QWidget* parent) : TFormValue(SelExtKind(), parent) {}
TFormRotation::TFormRotation(QWidget* parent) : TFormValue(RotationKind(), parent) {}
TFormSplit::TFormSplit(QWidget* parent) : TFormValue(SplitKind(), parent) {}
TFormLogCount::TFormLogCount(QWidget* parent) : TFormValue(LogCountKind(), parent) {}

}  // namespace tf
