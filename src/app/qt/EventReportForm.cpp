#include "app/qt/EventReportForm.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <new>

#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"
#include "ui/MemoryGraphicQt.h"

namespace tf {

namespace {

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

}  // namespace

// The paint box of the index pictures.
class BoxIndexWidget final : public QWidget {
 public:
  BoxIndexWidget(TFormEventReport* form, QWidget* parent) : QWidget(parent), form_(form) {}

 protected:
  void paintEvent(QPaintEvent*) override { form_->BoxIndexPaint(this); }

 private:
  TFormEventReport* form_;
};

TFormEventReport::TFormEventReport(QWidget* parent)
    : TDialogBaseForm(parent), surface_(kReportIndexWidth, kReportIndexHeight, AppearanceColors[acBtnFace]) {
  setWindowTitle(QString::fromUtf8(Tx(TextId::ReportCaption)));
  setFixedSize(544, 351);
  auto label = [this](const char* text, int x, int y, int w, Qt::Alignment align) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setGeometry(x, y, w, 16);
    l->setAlignment(align | Qt::AlignVCenter);
    return l;
  };
  lblState_ = label(Tx(TextId::ReportFinished), 16, 8, 512, Qt::AlignHCenter);
  lblFileName_ = label(Tx(TextId::ReportDefaultFileName), 16, 32, 512, Qt::AlignHCenter);
  boxIndex_ = new BoxIndexWidget(this, this);
  boxIndex_->setGeometry(16, 55, kReportIndexWidth, kReportIndexHeight);
  staticTime_ = label(Tx(TextId::ReportTimeCaption), 16, 275, 248, Qt::AlignRight);
  staticStep_ = label(Tx(TextId::ReportStepCaption), 16, 299, 248, Qt::AlignRight);
  lblTime_ = label(Tx(TextId::ReportNoValue), 280, 275, 248, Qt::AlignLeft);
  lblStep_ = label(Tx(TextId::ReportNoValue), 280, 299, 248, Qt::AlignLeft);
  ButtonOK()->setText(QString::fromUtf8(Tx(TextId::ReportClose)));
  ButtonOK()->move(440, 323);
  ButtonCancel()->setText(QString());
  ButtonCancel()->move(16, 323);
  // Close alone: Esc clicks it.
  SetButtonMode(0);
  surface_.Clear();
}

TFormEventReport::~TFormEventReport() = default;

void TFormEventReport::Fill(const TEventReportParam& report) {
  lblState_->setText(Q(ReportStateText(report.state)));
  lblFileName_->setText(Q(ReportFileNameText(report.fileName, report.appendable != 0)));
  DrawIndex(report.indexPictures);
  lblTime_->setText(Q(ReportTimeText(report.elapsed)));
  lblStep_->setText(Q(ReportStepText(report.steps)));
}

void TFormEventReport::DrawIndex(const std::array<const TMTC*, kReportIndexSlots>& pictures) {
  tf::DrawIndex(surface_, pictures, AppearanceColors[acWindowFrame]);
  boxIndex_->update();
}

void TFormEventReport::BoxIndexPaint(QWidget* box) {
  QPainter painter(box);
  Draw(surface_, painter, 0, 0, surface_.Width(), surface_.Height());
}

bool ShowEventReport(const TEventReportParam& report, QWidget* parent) {
  TFormEventReport* form = new (std::nothrow) TFormEventReport(parent);
  if (form == nullptr) {
    DebugOut("ShowEventReport: the report form could not be made\n");
    return false;
  }
  form->Fill(report);
  form->exec();
  delete form;
  return true;
}

}  // namespace tf
