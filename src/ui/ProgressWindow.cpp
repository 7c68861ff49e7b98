#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include "platform/qt/QtHosts.h"

namespace tf {

QString ProgramTitleText() {
  const QString name = QGuiApplication::applicationDisplayName();
  if (!name.isEmpty() && name != QCoreApplication::applicationName()) return name;
  return QString::fromUtf8(kProductName.data(), static_cast<qsizetype>(kProductName.size()));
}

TProgressWindow::TProgressWindow(QWidget* parent)
    : TBaseForm(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setFixedSize(272, 88);
  label1_ = new QLabel(this);
  label1_->setGeometry(16, 12, 240, 13);
  label2_ = new QLabel(this);
  label2_->setGeometry(16, 36, 240, 13);
  bar_ = new QProgressBar(this);
  bar_->setGeometry(16, 60, 205, 15);
  bar_->setRange(0, 100);
  bar_->setTextVisible(false);
  label3_ = new QLabel(QStringLiteral("100%"), this);
  label3_->setGeometry(224, 61, 32, 13);
  label3_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TProgressWindow::PaintNow(QWidget* widget) {
  if (isVisible()) widget->repaint();
}

void TProgressWindow::ShowTitle(const std::string& title) {
  setWindowTitle(title.empty() ? ProgramTitleText() : QString::fromStdString(title));
  PaintNow(this);
}

void TProgressWindow::ShowMessage(const std::string& text) {
  label1_->setText(QString::fromStdString(text));
  PaintNow(label1_);
}

void TProgressWindow::ShowStatus(const std::string& text) {
  label2_->setText(QString::fromStdString(text));
  PaintNow(label2_);
}

void TProgressWindow::ShowPercent(int32_t percent) {
  // No lower clamp: a negative position shows as such (the bar stays at its minimum).
  bar_->setValue(std::max(percent, bar_->minimum()));
  label3_->setText(QString::number(percent) + QStringLiteral("%"));
  PaintNow(bar_);
  PaintNow(label3_);
}

void TProgressWindow::ShowWindow(WindowHandle owner) {
  QWidget* ownerWidget = WidgetOfHandle(owner);
  // Centred over the owner (else the main screen).
  QRect area;
  if (ownerWidget) {
    area = ownerWidget->window()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
  show();
  raise();
  // The caller goes on working without running the event loop: wait (briefly) until the window
  // system has shown the window, so that the repaints below reach the screen.
  QElapsedTimer waited;
  waited.start();
  while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < 500) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    QThread::yieldCurrentThread();
  }
  repaint();
}

std::unique_ptr<TProgressDlg> QtProgressHost::MakeProgressDlg() { return std::make_unique<TProgressWindow>(); }

}  // namespace tf
