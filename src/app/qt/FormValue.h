// TFormValue: the dialog that asks for one number with an edit and a track bar, and its four kinds.
#pragma once
// The model's change sets the track bar's position; the track bar's change sets the model's
// position, which updates the edit. The kinds only change caption, label, unit, format and the
// model's properties.
#include <QLabel>
#include <string>

#include "platform/ResourceText.h"
#include "raster/NumMngr.h"
#include "ui/BaseForm.h"
#include "ui/GraphicTrackbar.h"
#include "ui/NumEdits.h"

namespace tf {

struct SValueFormKind {
  const char* caption;
  const char* label;
  const char* unit;
  const char* format;
  SNumMngrProps props;
};

class TFormValue : public TDialogBaseForm {
  Q_OBJECT
 public:
  explicit TFormValue(QWidget* parent = nullptr);
  TFormValue(const SValueFormKind& kind, QWidget* parent);

  QLabel* StaticValue;
  TNumEdit* EdtValue;
  QLabel* StaticValueUnit;
  TNumMngr NumValue;
  QWidget* BoxValue;
  TGraphicTrackbar* Track;

  void NumValueChange();
  void TrackValueChange();
  // The track bar as a dial (a square box) or a slider.
  void SetTrackOrientation(TGraphicTrackbarOrientation orientation);
};

// Select > grow and shrink: 1..32 pixels.
class TFormSelExt : public TFormValue {
  Q_OBJECT
 public:
  explicit TFormSelExt(QWidget* parent = nullptr);
};
// Free rotation: -999..999 wrapping into -180..180.
class TFormRotation : public TFormValue {
  Q_OBJECT
 public:
  explicit TFormRotation(QWidget* parent = nullptr);
};
// A custom split count of a gradient: 2..16.
class TFormSplit : public TFormValue {
  Q_OBJECT
 public:
  explicit TFormSplit(QWidget* parent = nullptr);
};
// The event log's length: 0..50, 10 at start.
class TFormLogCount : public TFormValue {
  Q_OBJECT
 public:
  explicit TFormLogCount(QWidget* parent = nullptr);
};

}  // namespace tf
