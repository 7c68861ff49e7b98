// TFormEventReport: the modal report shown when a playback ends.
#pragma once
// A thin form over app/EventReport.h: it shows the texts made there and copies the index surface
// that DrawIndex fills. Close ("閉じる(&C)") and Esc close it; the Cancel button of the base form
// has no caption here and stays hidden, OK taking the cancel role.
#include <QWidget>
#include <memory>

#include "app/EventReport.h"
#include "raster/MemoryGraphic.h"
#include "ui/BaseForm.h"

class QLabel;

namespace tf {

class TFormEventReport : public TDialogBaseForm {
  Q_OBJECT
 public:
  explicit TFormEventReport(QWidget* parent = nullptr);
  ~TFormEventReport() override;

  // Fills the labels and draws the index pictures.
  void Fill(const TEventReportParam& report);
  void DrawIndex(const std::array<const TMTC*, kReportIndexSlots>& pictures);

  QLabel* LblState() const { return lblState_; }
  QLabel* LblFileName() const { return lblFileName_; }
  QLabel* LblTime() const { return lblTime_; }
  QLabel* LblStep() const { return lblStep_; }
  QWidget* BoxIndex() const { return boxIndex_; }
  const TMemoryGraphic& Surface() const { return surface_; }

 private:
  friend class BoxIndexWidget;
  // Copies the surface to the paint box.
  void BoxIndexPaint(QWidget* box);

  QLabel* lblState_;
  QLabel* lblFileName_;
  QWidget* boxIndex_;
  QLabel* staticTime_;
  QLabel* staticStep_;
  QLabel* lblTime_;
  QLabel* lblStep_;
  TMemoryGraphic surface_;
};

// Creates the form, fills it, shows it modally and frees it; false when it could not be made.
bool ShowEventReport(const TEventReportParam& report, QWidget* parent = nullptr);

}  // namespace tf
