// The document window's modal dialogs: image size, resolution (and layer scale), JPEG options, new
// layer, rotation angle, layer and mask properties.
#pragma once
// Each Exec function creates its form, seeds it from the record, shows it modally and, on OK,
// copies the result back (the size functions only when something changed). The arithmetic lives in
// app/DocumentDialogValues.h; these forms bind edits, lists, check boxes and track bars to it.
// Only the JPEG dialog writes settings.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <memory>

#include "app/DocumentDialogValues.h"
#include "ui/BaseForm.h"
#include "ui/GraphicTrackbar.h"
#include "ui/NumEdits.h"

class QWidget;

namespace tf {

class CBlockVMTC;
class CBlockVCH;

bool ExecImageSizeDialog(TImageSizeValue& value, int32_t resolution, QWidget* owner = nullptr);
bool ExecResolutionDialog(TResolutionValue& value, uint8_t mode, QWidget* owner = nullptr);
bool ExecJpegOptionDialog(TJpegOptionValue& value, QWidget* owner = nullptr);
bool ExecNewLayerDialog(TNewLayerValue& value, QWidget* owner = nullptr);
bool ExecRotationDialog(float& angle, QWidget* owner = nullptr);
bool ExecLayerOptionDialog(TLayerOptionValue& value, const CBlockVMTC& store, int32_t canvasW, int32_t canvasH,
                           QWidget* owner = nullptr);
bool ExecMaskOptionDialog(TMaskOptionValue& value, const CBlockVCH* store, int32_t canvasW, int32_t canvasH,
                          QWidget* owner = nullptr);

// The anchor picker: nine cells, 4 (the centre) at start.
class TSizePositionControl : public QWidget {
  Q_OBJECT
 public:
  explicit TSizePositionControl(QWidget* parent = nullptr);
  int32_t Selected() const { return selected_; }
  void SetSelected(int32_t cell);
  QRect Cell(int32_t i) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int32_t selected_ = 4;
};

// A number row: label with its mnemonic, edit over a model, unit label.
struct SNumRow {
  QLabel* label;
  TNumEdit* edit;
  QLabel* unit;
};

// What both size dialogs show: the current size, the size group with units, the pixel group.
class TSizeFormBase : public TDialogBaseForm {
  Q_OBJECT
 public:
  explicit TSizeFormBase(QWidget* parent = nullptr);
  QLabel* LblSize;
  SNumRow width, height, pixelW, pixelH;
  QComboBox *CmbWidth, *CmbHeight;
  QGroupBox* GrpPixel;

 protected:
  void BuildSizeControls(TNumMngr& numWidth, TNumMngr& numHeight, TNumMngr& numPixelW, TNumMngr& numPixelH);
};

class TFormImageSize : public TSizeFormBase {
  Q_OBJECT
 public:
  explicit TFormImageSize(QWidget* parent = nullptr);
  CImageSizeCore core;
  QCheckBox* ChkRelation;
  TSizePositionControl* Position;
  void Seed(int32_t w, int32_t h, int32_t resolution);
  void Refresh();
};

class TFormResolution : public TSizeFormBase {
  Q_OBJECT
 public:
  explicit TFormResolution(QWidget* parent = nullptr);
  CResolutionCore core;
  SNumRow resolution;
  QCheckBox* ChkConstraint;
  void Seed(int32_t w, int32_t h, int32_t res, uint8_t mode);
  void Refresh();
};

class TFormJpegOption : public TDialogBaseForm {
  Q_OBJECT
 public:
  explicit TFormJpegOption(QWidget* parent = nullptr);
  std::unique_ptr<CJpegOptionCore> core;
  QComboBox* CmbC;
  SNumRow quality, smooth;
  TGraphicTrackbar *TrackQ, *TrackS;
  QCheckBox *ChkG, *ChkP;
  void Refresh();

 protected:
  void ButtonOKClick() override;

 private:
  bool refreshing_ = false;
};

class TFormNewLayer : public TDialogBaseForm {
  Q_OBJECT
 public:
  explicit TFormNewLayer(QWidget* parent = nullptr);
  CNewLayerCore core;
  QLineEdit* EdtLayerName;
  QComboBox *CmbDrawMode, *CmbColor;
  QCheckBox* ChkTransparent;
  SNumRow opacity;
  TGraphicTrackbar* TrackOpaque;
  void RefreshColours();
};

class TFormLayerOption : public TDialogBaseForm {
  Q_OBJECT
 public:
  explicit TFormLayerOption(bool mask, QWidget* parent = nullptr);
  QGroupBox* BoxGeneral;
  QLineEdit* EdtLayerName;
  QComboBox* CmbDrawMode;
  SNumRow opacity, dither, x, y;
  TNumMngr NumOpaque, NumDither, NumX, NumY;
  TGraphicTrackbar *TrackOpaque, *TrackDither;
  QCheckBox *ChkDither, *ChkCrop;
  QGroupBox *GrpDither, *GrpPositionSize;
  QLabel *LblWidth, *LblHeight;
  QLabel* BoxPreview;
  TMemoryGraphic preview;
  void ChkDitherClick(bool checked);
  void ShowPreview();
};

// The layer properties dialog made, seeded and its preview drawn, ready to show (null when the
// preview cannot be prepared).
std::unique_ptr<TFormLayerOption> MakeLayerOptionForm(const TLayerOptionValue& value, const CBlockVMTC& store,
                                                      int32_t canvasW, int32_t canvasH, QWidget* owner = nullptr);

}  // namespace tf
