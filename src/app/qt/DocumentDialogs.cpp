#include "app/qt/DocumentDialogs.h"

#include <functional>
#include <initializer_list>

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include "app/AppProfile.h"
#include "app/qt/FormValue.h"
#include "document/BlendMode.h"
#include "filters/Convolve.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/UiAppearance.h"

namespace tf {

namespace {

// After each of the models' own change handlers, the form's texts follow.
void RefreshAfterChanges(std::initializer_list<TNumMngr*> models, const std::function<void()>& refresh) {
  for (TNumMngr* m : models) {
    auto inner = m->OnChange;
    m->OnChange = [inner, refresh](TNumMngr* s) {
      inner(s);
      refresh();
    };
  }
}

QString T(TextId id) { return QString::fromUtf8(Tx(id)); }

SNumRow MakeRow(QWidget* parent, const QString& label, TNumMngr& model, const char* format, const QString& unit,
                int x, int y, int labelWidth = 64) {
  SNumRow row;
  row.label = new QLabel(label, parent);
  row.label->setGeometry(x, y + 2, labelWidth, 16);
  row.edit = new TNumEdit(parent);
  row.edit->setGeometry(x + labelWidth, y, 64, 20);
  row.edit->SetFormatString(format);
  row.edit->SetAssociate(&model);
  row.unit = new QLabel(unit, parent);
  row.unit->setGeometry(x + labelWidth + 68, y + 2, 72, 16);
  row.label->setBuddy(row.edit);
  return row;
}

QComboBox* UnitList(QWidget* parent, int x, int y) {
  auto* list = new QComboBox(parent);
  for (const uint8_t unit : kUnitListUnits) list->addItem(QString::fromUtf8(UnitLongNames[unit].data()));
  list->setCurrentIndex(0);
  list->setGeometry(x, y, 72, 20);
  return list;
}

QComboBox* ModeList(QWidget* parent) {
  auto* list = new QComboBox(parent);
  for (uint32_t i = 0; i < 22; ++i) list->addItem(QString::fromStdString(BlendModeName(i)));
  list->setCurrentIndex(0);
  return list;
}

// A 0..100 model and its track bar following each other (position = value / 100).
TGraphicTrackbar* PercentTrack(QWidget* parent, TNumMngr& model, const QRect& box) {
  auto* bar = new TGraphicTrackbar(parent);
  bar->setGeometry(box);
  bar->SetPosition(1);
  bar->OnChange = [&model](TGraphicTrackbar* b) { model.SetValue(b->GetPosition() * 100); };
  return bar;
}

SNumMngrProps Percent() {
  SNumMngrProps p;
  p.value = 100;
  p.valueDefault = 100;
  p.valueMax = 100;
  p.wrapMax = 100;
  return p;
}

template <typename Form>
bool RunModal(Form& form) {
  return form.exec() == 1;
}

}  // namespace

// ---- Anchor picker --------------------------------------------------------------------------

TSizePositionControl::TSizePositionControl(QWidget* parent) : QWidget(parent) {}

QRect TSizePositionControl::Cell(int32_t i) const {
  auto edges = [](int32_t size, int32_t k) {
    const int32_t c = (size - 4) * 2 / 3;
    const int32_t e[4] = {2, 2 + c / 2, 2 + c, size - 2};
    return std::pair<int32_t, int32_t>(e[k], e[k + 1]);
  };
  const auto [l, r] = edges(width(), i % 3);
  const auto [t, b] = edges(height(), i / 3);
  return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

void TSizePositionControl::SetSelected(int32_t cell) {
  if (cell < 0 || cell > 8 || cell == selected_) return;
  selected_ = cell;
  update();
}

void TSizePositionControl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  DrawSunkenFrame(p, rect(), std::nullopt);
  for (int32_t i = 0; i < 9; ++i) {
    const QRect r = Cell(i).adjusted(0, 0, 1, 1);
    if (i == selected_) {
      DrawFrame3D(p, r, AppearanceColor(acHighlight), AppearanceColor(acHighlight), AppearanceColor(acHighlightText));
    } else {
      DrawRaisedFrame(p, r, AppearanceColor(acBtnFace));
    }
  }
}

void TSizePositionControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  for (int32_t i = 0; i < 9; ++i) {
    if (Cell(i).contains(event->position().toPoint())) {
      SetSelected(i);
      return;
    }
  }
}

// ---- Image size -----------------------------------------------------------------------------

TSizeFormBase::TSizeFormBase(QWidget* parent) : TDialogBaseForm(parent) { resize(320, 250); }

void TSizeFormBase::BuildSizeControls(TNumMngr& numWidth, TNumMngr& numHeight, TNumMngr& numPixelW,
                                      TNumMngr& numPixelH) {
  auto* current = new QLabel(T(TextId::DocCurrentSize), this);
  current->setGeometry(8, 8, 90, 16);
  LblSize = new QLabel(this);
  LblSize->setGeometry(100, 8, 110, 16);
  auto* group = new QGroupBox(T(TextId::DocImageSizeCaption), this);
  group->setGeometry(8, 30, 200, 72);
  width = MakeRow(group, T(TextId::DocWidthUnit), numWidth, "%1.5g", QString(), 8, 18, 48);
  height = MakeRow(group, T(TextId::DocHeightUnit), numHeight, "%1.5g", QString(), 8, 44, 48);
  CmbWidth = UnitList(group, 124, 18);
  CmbHeight = UnitList(group, 124, 44);
  GrpPixel = new QGroupBox(this);
  GrpPixel->setGeometry(8, 108, 200, 72);
  pixelW = MakeRow(GrpPixel, T(TextId::DocWidthPixel), numPixelW, "%1.0f", "pixel", 8, 18, 48);
  pixelH = MakeRow(GrpPixel, T(TextId::DocHeightPixel), numPixelH, "%1.0f", "pixel", 8, 44, 48);
}

TFormImageSize::TFormImageSize(QWidget* parent) : TSizeFormBase(parent) {
  setWindowTitle(T(TextId::DocImageSizeCaption));
  BuildSizeControls(core.NumWidth, core.NumHeight, core.NumPixelW, core.NumPixelH);
  ChkRelation = new QCheckBox(T(TextId::DocRelation), this);
  ChkRelation->setGeometry(8, 188, 100, 20);
  Position = new TSizePositionControl(this);
  Position->setGeometry(216, 120, 88, 88);
  core.Wire();
  // Every change goes through the core, then the texts follow.
  RefreshAfterChanges({&core.NumWidth, &core.NumHeight, &core.NumPixelW, &core.NumPixelH}, [this] { Refresh(); });
  connect(CmbWidth, &QComboBox::activated, this, [this](int i) {
    core.unitIndexW = i;
    core.ParamChange(CImageSizeCore::sCmbWidth);
    Refresh();
  });
  connect(CmbHeight, &QComboBox::activated, this, [this](int i) {
    core.unitIndexH = i;
    core.ParamChange(CImageSizeCore::sCmbHeight);
    Refresh();
  });
  connect(ChkRelation, &QCheckBox::toggled, this, [this](bool on) {
    core.relation = on;
    core.ParamChange(CImageSizeCore::sChkRelation);
    Refresh();
  });
}

void TFormImageSize::Seed(int32_t w, int32_t h, int32_t resolution) {
  core.Seed(w, h, resolution);
  Refresh();
}

void TFormImageSize::Refresh() {
  LblSize->setText(QString::fromStdString(core.SizeText()));
  GrpPixel->setTitle(QString::fromStdString(core.PixelCaption()));
}

bool ExecImageSizeDialog(TImageSizeValue& value, int32_t resolution, QWidget* owner) {
  TFormImageSize form(owner);
  form.Seed(value.width, value.height, resolution);
  if (!RunModal(form)) return false;
  const int32_t w = form.core.ResultWidth(), h = form.core.ResultHeight();
  if (w == value.width && h == value.height) return false;
  value = {w, h, form.Position->Selected()};
  return true;
}

// ---- Resolution -----------------------------------------------------------------------------

TFormResolution::TFormResolution(QWidget* parent) : TSizeFormBase(parent) {
  setWindowTitle(T(TextId::DocResolutionCaption));
  BuildSizeControls(core.NumWidth, core.NumHeight, core.NumPixelW, core.NumPixelH);
  ChkConstraint = new QCheckBox(T(TextId::DocConstraint), this);
  ChkConstraint->setGeometry(8, 188, 160, 20);
  ChkConstraint->setChecked(true);
  resolution = MakeRow(this, T(TextId::DocResolutionLabel), core.NumResolution, "%1.0f", "pixels/inch", 8, 216);
  core.Wire();
  RefreshAfterChanges({&core.NumWidth, &core.NumHeight, &core.NumPixelW, &core.NumPixelH, &core.NumResolution},
                      [this] { Refresh(); });
  connect(CmbWidth, &QComboBox::activated, this, [this](int i) {
    core.unitIndexW = i;
    core.ParamChange(CResolutionCore::sCmbWidth);
    Refresh();
  });
  connect(CmbHeight, &QComboBox::activated, this, [this](int i) {
    core.unitIndexH = i;
    core.ParamChange(CResolutionCore::sCmbHeight);
    Refresh();
  });
  connect(ChkConstraint, &QCheckBox::toggled, this, [this](bool on) {
    core.constraint = on;
    core.ParamChange(CResolutionCore::sChkConstraint);
    Refresh();
  });
}

void TFormResolution::Seed(int32_t w, int32_t h, int32_t res, uint8_t mode) {
  core.Seed(w, h, res);
  if (mode == 1) {
    setWindowTitle(T(TextId::DocLayerScaleCaption));
    resolution.label->hide();
    resolution.edit->hide();
    resolution.unit->hide();
    resize(QDialog::width(), QDialog::height() - 28);
  }
  Refresh();
}

void TFormResolution::Refresh() {
  LblSize->setText(QString::fromStdString(core.SizeText()));
  GrpPixel->setTitle(QString::fromStdString(core.PixelCaption()));
}

bool ExecResolutionDialog(TResolutionValue& value, uint8_t mode, QWidget* owner) {
  TFormResolution form(owner);
  form.Seed(value.width, value.height, value.resolution, mode);
  if (!RunModal(form)) return false;
  const TResolutionValue result{form.core.ResultWidth(), form.core.ResultHeight(),
                                mode == 1 ? value.resolution : form.core.Resolution()};
  if (result.width == value.width && result.height == value.height && result.resolution == value.resolution) {
    return false;
  }
  value = result;
  return true;
}

// ---- JPEG -----------------------------------------------------------------------------------

TFormJpegOption::TFormJpegOption(QWidget* parent) : TDialogBaseForm(parent) {
  setWindowTitle(T(TextId::DocJpegCaption));
  resize(320, 170);
  core = std::make_unique<CJpegOptionCore>(AppProfile());
  CmbC = new QComboBox(this);
  for (TextId id : {TextId::DocPresetBest, TextId::DocPresetHigh, TextId::DocPresetStandard, TextId::DocPresetLow}) {
    CmbC->addItem(T(id));
  }
  CmbC->setGeometry(72, 8, 64, 20);
  quality = MakeRow(this, T(TextId::DocQuality), core->NumQ, "%1.0f", QString(), 8, 34);
  TrackQ = new TGraphicTrackbar(this);
  TrackQ->setGeometry(8, 58, 196, 16);
  TrackQ->SetCenterLine(true);
  TrackQ->OnInFilter = [](TGraphicTrackbar*, float& p) { p = JpegTrackIn(p); };
  TrackQ->OnOutFilter = [](TGraphicTrackbar*, float& p) { p = JpegTrackOut(p); };
  auto* marks = new QLabel(T(TextId::DocMarkLowest) + "      " + T(TextId::DocPresetStandard) +
                               "                        " + T(TextId::DocPresetBest),
                           this);
  marks->setGeometry(8, 74, 200, 14);
  smooth = MakeRow(this, T(TextId::DocSmooth), core->NumS, "%1.0f", QString(), 8, 92);
  TrackS = new TGraphicTrackbar(this);
  TrackS->setGeometry(8, 116, 196, 16);
  auto* marksS =
      new QLabel(T(TextId::DocMarkNone) + "                                           " + T(TextId::DocMarkMost), this);
  marksS->setGeometry(8, 132, 200, 14);
  ChkG = new QCheckBox(T(TextId::DocGrey), this);
  ChkG->setGeometry(216, 90, 100, 20);
  ChkP = new QCheckBox(T(TextId::DocProgressive), this);
  ChkP->setGeometry(216, 114, 100, 20);
  core->Seed();
  Refresh();
  core->NumQ.OnChange = [this](TNumMngr*) {
    core->ValueChange(CJpegOptionCore::sNumQ);
    Refresh();
  };
  core->NumS.OnChange = [this](TNumMngr*) {
    core->ValueChange(CJpegOptionCore::sNumS);
    Refresh();
  };
  connect(CmbC, &QComboBox::activated, this, [this](int i) {
    core->presetIndex = i;
    core->ValueChange(CJpegOptionCore::sCmbC);
    Refresh();
  });
  TrackQ->OnChange = [this](TGraphicTrackbar* b) {
    if (refreshing_) return;
    core->ValueChange(CJpegOptionCore::sTrackQ, b->GetPosition());
    Refresh();
  };
  TrackS->OnChange = [this](TGraphicTrackbar* b) {
    if (refreshing_) return;
    core->ValueChange(CJpegOptionCore::sTrackS, b->GetPosition());
    Refresh();
  };
  connect(ChkG, &QCheckBox::toggled, this, [this](bool on) {
    core->grayscale = on;
    core->ValueChange(CJpegOptionCore::sChkG);
  });
  connect(ChkP, &QCheckBox::toggled, this, [this](bool on) {
    core->progressive = on;
    core->ValueChange(CJpegOptionCore::sChkP);
  });
}

void TFormJpegOption::Refresh() {
  refreshing_ = true;
  CmbC->setCurrentIndex(core->presetIndex);
  TrackQ->SetPosition(core->trackQ);
  TrackS->SetPosition(core->trackS);
  ChkP->setChecked(core->progressive);
  refreshing_ = false;
}

void TFormJpegOption::ButtonOKClick() {
  TDialogBaseForm::ButtonOKClick();
  core->WriteSettings(AppProfile());
}

bool ExecJpegOptionDialog(TJpegOptionValue& value, QWidget* owner) {
  TFormJpegOption form(owner);
  if (!RunModal(form)) return false;
  value = form.core->value;
  return true;
}

// ---- New layer ------------------------------------------------------------------------------

TFormNewLayer::TFormNewLayer(QWidget* parent) : TDialogBaseForm(parent) {
  setWindowTitle(T(TextId::DocNewLayerCaption));
  resize(320, 150);
  auto* nameLabel = new QLabel(T(TextId::DocLayerName), this);
  nameLabel->setGeometry(8, 10, 80, 16);
  EdtLayerName = new QLineEdit(this);
  EdtLayerName->setGeometry(90, 8, 116, 20);
  nameLabel->setBuddy(EdtLayerName);
  auto* modeLabel = new QLabel(T(TextId::DocMode), this);
  modeLabel->setGeometry(8, 36, 80, 16);
  CmbDrawMode = ModeList(this);
  CmbDrawMode->setGeometry(90, 34, 116, 20);
  modeLabel->setBuddy(CmbDrawMode);
  auto* colourLabel = new QLabel(T(TextId::DocInitialColour), this);
  colourLabel->setGeometry(8, 62, 80, 16);
  CmbColor = new QComboBox(this);
  CmbColor->setGeometry(90, 60, 116, 20);
  colourLabel->setBuddy(CmbColor);
  ChkTransparent = new QCheckBox(T(TextId::DocTransparent), this);
  ChkTransparent->setGeometry(216, 60, 100, 20);
  ChkTransparent->setChecked(true);
  opacity = MakeRow(this, T(TextId::DocOpacity), core.NumOpaque, "%1.0f", "%", 8, 88, 82);
  TrackOpaque = PercentTrack(this, core.NumOpaque, QRect(8, 114, 196, 16));
  core.NumOpaque.OnChange = [this](TNumMngr* m) { TrackOpaque->SetPosition(m->Value() / 100); };
  RefreshColours();
  connect(CmbDrawMode, &QComboBox::activated, this, [this](int i) {
    core.ModeChange(i);
    RefreshColours();
  });
  connect(CmbColor, &QComboBox::activated, this, [this](int i) { core.colourIndex = i; });
  connect(ChkTransparent, &QCheckBox::toggled, this, [this](bool on) { core.transparent = on; });
}

void TFormNewLayer::RefreshColours() {
  CmbColor->clear();
  for (const std::string& item : core.colourItems) CmbColor->addItem(QString::fromStdString(item));
  CmbColor->setCurrentIndex(core.colourIndex);
}

bool ExecNewLayerDialog(TNewLayerValue& value, QWidget* owner) {
  TFormNewLayer form(owner);
  form.EdtLayerName->setText(QString::fromStdString(value.name));
  if (!RunModal(form)) return false;
  value = form.core.Result(form.EdtLayerName->text().toStdString());
  return true;
}

// ---- Rotation -------------------------------------------------------------------------------

bool ExecRotationDialog(float& angle, QWidget* owner) {
  TFormRotation form(owner);
  form.SetTrackOrientation(TGraphicTrackbarOrientation::gtCounterClockWise);
  if (!RunModal(form)) return false;
  angle = form.NumValue.Value();
  return true;
}

// ---- Layer and mask options -------------------------------------------------------------------

TFormLayerOption::TFormLayerOption(bool mask, QWidget* parent) : TDialogBaseForm(parent) {
  setWindowTitle(mask ? QString::fromStdString(TxFormat(TextId::DocMaskOptionFormat, Tx(TextId::DocMask)))
                      : T(TextId::DocLayerOptionCaption));
  resize(320, 360);
  NumOpaque.Load(Percent());
  NumDither.Load(Percent());
  BoxGeneral = new QGroupBox(T(TextId::DocGeneral), this);
  BoxGeneral->setGeometry(8, 8, 200, 110);
  auto* nameLabel = new QLabel(T(TextId::DocLayerName), BoxGeneral);
  nameLabel->setGeometry(8, 20, 70, 16);
  EdtLayerName = new QLineEdit(BoxGeneral);
  EdtLayerName->setGeometry(80, 18, 112, 20);
  nameLabel->setBuddy(EdtLayerName);
  auto* modeLabel = new QLabel(T(TextId::DocMode), BoxGeneral);
  modeLabel->setGeometry(8, 46, 70, 16);
  CmbDrawMode = ModeList(BoxGeneral);
  CmbDrawMode->setGeometry(80, 44, 112, 20);
  modeLabel->setBuddy(CmbDrawMode);
  opacity = MakeRow(BoxGeneral, T(TextId::DocOpacity), NumOpaque, "%1.0f", "%", 8, 70, 72);
  TrackOpaque = PercentTrack(BoxGeneral, NumOpaque, QRect(8, 92, 184, 14));
  NumOpaque.OnChange = [this](TNumMngr* m) { TrackOpaque->SetPosition(m->Value() / 100); };
  ChkDither = new QCheckBox(T(TextId::DocDither), this);
  ChkDither->setGeometry(8, 122, 140, 20);
  GrpDither = new QGroupBox(this);
  GrpDither->setGeometry(8, 142, 200, 50);
  dither = MakeRow(GrpDither, T(TextId::DocDitherDensity), NumDither, "%1.0f", "%", 8, 6, 72);
  TrackDither = PercentTrack(GrpDither, NumDither, QRect(8, 30, 184, 14));
  NumDither.OnChange = [this](TNumMngr* m) { TrackDither->SetPosition(m->Value() / 100); };
  connect(ChkDither, &QCheckBox::toggled, this, [this](bool on) { ChkDitherClick(on); });
  ChkDitherClick(false);
  GrpPositionSize = new QGroupBox(T(TextId::DocPositionSize), this);
  GrpPositionSize->setGeometry(8, 198, 304, 150);
  x = MakeRow(GrpPositionSize, T(TextId::DocLeft), NumX, "%1.0f", "pixel", 8, 20, 48);
  y = MakeRow(GrpPositionSize, T(TextId::DocTop), NumY, "%1.0f", "pixel", 8, 46, 48);
  auto* wLabel = new QLabel(T(TextId::DocWidth), GrpPositionSize);
  wLabel->setGeometry(8, 74, 48, 16);
  LblWidth = new QLabel(GrpPositionSize);
  LblWidth->setGeometry(56, 74, 64, 16);
  auto* hLabel = new QLabel(T(TextId::DocHeight), GrpPositionSize);
  hLabel->setGeometry(8, 94, 48, 16);
  LblHeight = new QLabel(GrpPositionSize);
  LblHeight->setGeometry(56, 94, 64, 16);
  ChkCrop = new QCheckBox(T(TextId::DocCrop), GrpPositionSize);
  ChkCrop->setGeometry(8, 120, 180, 20);
  BoxPreview = new QLabel(GrpPositionSize);
  BoxPreview->setGeometry(192, 18, 104, 104);
  preview.SetSize(104, 104);
  if (mask) {
    CmbDrawMode->hide();
    modeLabel->hide();
    for (QWidget* w : {static_cast<QWidget*>(opacity.label), static_cast<QWidget*>(opacity.edit),
                       static_cast<QWidget*>(opacity.unit), static_cast<QWidget*>(TrackOpaque),
                       static_cast<QWidget*>(ChkDither), static_cast<QWidget*>(GrpDither)}) {
      w->hide();
    }
    BoxGeneral->resize(BoxGeneral->width(), 60);
    GrpPositionSize->move(8, 72);
    resize(320, 230);
  }
}

void TFormLayerOption::ChkDitherClick(bool checked) {
  for (QWidget* w : {static_cast<QWidget*>(dither.label), static_cast<QWidget*>(dither.edit),
                     static_cast<QWidget*>(dither.unit), static_cast<QWidget*>(TrackDither)}) {
    w->setEnabled(checked);
  }
}

void TFormLayerOption::ShowPreview() {
  BoxPreview->setPixmap(QPixmap::fromImage(SurfaceImage(preview, QImage::Format_RGB32).copy()));
}

namespace {

void SeedPosition(TFormLayerOption& form, int32_t sw, int32_t sh, int32_t x, int32_t y, int32_t cw, int32_t ch) {
  SeedPositionModel(form.NumX, sw, x);
  SeedPositionModel(form.NumY, sh, y);
  form.x.edit->NumRefresh();
  form.y.edit->NumRefresh();
  form.LblWidth->setText(QString::number(sw));
  form.LblHeight->setText(QString::number(sh));
  form.ChkCrop->setEnabled(CropOffered(sw, sh, cw, ch));
}

}  // namespace

std::unique_ptr<TFormLayerOption> MakeLayerOptionForm(const TLayerOptionValue& value, const CBlockVMTC& store,
                                                      int32_t canvasW, int32_t canvasH, QWidget* owner) {
  auto made = std::make_unique<TFormLayerOption>(false, owner);
  TFormLayerOption& form = *made;
  if (!DrawLayerPreview(form.preview, store, value.x, value.y, canvasW, canvasH)) return nullptr;
  form.ShowPreview();
  SeedPosition(form, store.Width(), store.Height(), value.x, value.y, canvasW, canvasH);
  form.ChkCrop->setChecked(value.crop);
  form.EdtLayerName->setText(QString::fromStdString(value.name));
  form.CmbDrawMode->setCurrentIndex(LayerModeToBlendMode(static_cast<uint32_t>(value.blendMode)));
  form.NumOpaque.SetValue(OpacityToPercent(value.opacity));
  form.ChkDither->setChecked(value.dither);
  form.NumDither.SetValue(OpacityToPercent(value.ditherStrength));
  return made;
}

bool ExecLayerOptionDialog(TLayerOptionValue& value, const CBlockVMTC& store, int32_t canvasW, int32_t canvasH,
                           QWidget* owner) {
  std::unique_ptr<TFormLayerOption> made = MakeLayerOptionForm(value, store, canvasW, canvasH, owner);
  if (!made) return false;
  TFormLayerOption& form = *made;
  if (!RunModal(form)) return false;
  value.x = RoundHalfAway(form.NumX.Value());
  value.y = RoundHalfAway(form.NumY.Value());
  value.crop = form.ChkCrop->isChecked();
  value.name = form.EdtLayerName->text().toStdString();
  value.blendMode = BlendModeToLayerMode(static_cast<uint32_t>(form.CmbDrawMode->currentIndex()));
  value.opacity = PercentToOpacity(form.NumOpaque.Value());
  value.dither = form.ChkDither->isChecked();
  value.ditherStrength = PercentToOpacity(form.NumDither.Value());
  return true;
}

bool ExecMaskOptionDialog(TMaskOptionValue& value, const CBlockVCH* store, int32_t canvasW, int32_t canvasH,
                          QWidget* owner) {
  TFormLayerOption form(true, owner);
  if (!DrawMaskPreview(form.preview, store, value.x, value.y, canvasW, canvasH)) return false;
  form.ShowPreview();
  if (store != nullptr) {
    SeedPosition(form, store->Width(), store->Height(), value.x, value.y, canvasW, canvasH);
  } else {
    for (QWidget* w : {static_cast<QWidget*>(form.x.edit), static_cast<QWidget*>(form.y.edit),
                       static_cast<QWidget*>(form.ChkCrop)}) {
      w->setEnabled(false);
    }
  }
  form.ChkCrop->setChecked(value.crop);
  form.EdtLayerName->setText(QString::fromStdString(value.name));
  if (!RunModal(form)) return false;
  value.x = RoundHalfAway(form.NumX.Value());
  value.y = RoundHalfAway(form.NumY.Value());
  value.crop = form.ChkCrop->isChecked();
  value.name = form.EdtLayerName->text().toStdString();
  return true;
}

}  // namespace tf
