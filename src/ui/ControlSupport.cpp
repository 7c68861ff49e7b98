#include "ui/ControlSupport.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStatusTipEvent>
#include <QToolTip>

namespace tf {

void DrawPicture(QPainter& painter, const TMTC& picture) {
  if (!picture.IsValid()) return;
  // Rows lie top-down without padding in a TMTC; other row orders are copied row by row.
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGB32);
  for (int32_t y = 0; y < picture.Height(); ++y)
    std::copy_n(picture.Pixel(0, y), picture.Width(), reinterpret_cast<uint32_t*>(image.scanLine(y)));
  painter.drawImage(0, 0, image);
}

void ShowControlHint(QWidget* control, const std::string& hint, bool now) {
  if (control == nullptr) return;
  const size_t bar = hint.find('|');
  QToolTip::hideText();
  control->setToolTip(QString::fromStdString(hint.substr(0, bar)));
  const QString tip = QString::fromStdString(hint);
  control->setStatusTip(tip);
  if (!now) return;
  QStatusTipEvent event(tip);
  QApplication::sendEvent(control, &event);
}

void SetControlCursor(QWidget* control, int32_t code) {
  if (control == nullptr) return;
  switch (code) {
    case 1: control->setCursor(Qt::PointingHandCursor); break;
    case 2: control->setCursor(Qt::IBeamCursor); break;
    default: control->unsetCursor(); break;
  }
}

}  // namespace tf
