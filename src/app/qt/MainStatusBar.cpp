#include "app/qt/MainStatusBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

namespace tf {

TMainStatusBar::TMainStatusBar(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setObjectName("StatusBar");
}

void TMainStatusBar::SetPanelText(int32_t index, const std::string& text) {
  if (index < 0 || index >= kStatusPanelCount) return;
  const QString value = QString::fromStdString(text);
  if (texts_[static_cast<size_t>(index)] == value) return;
  texts_[static_cast<size_t>(index)] = value;
  update(PanelRect(index));
}

QString TMainStatusBar::PanelText(int32_t index) const {
  if (index < 0 || index >= kStatusPanelCount) return {};
  return texts_[static_cast<size_t>(index)];
}

QRect TMainStatusBar::PanelRect(int32_t index) const {
  if (index < 0 || index >= kStatusPanelCount) return {};
  SStatusPanel panels[kStatusPanelCount];
  StatusPanelLayout(width(), panels);
  return QRect(panels[index].left, 0, std::max(0, panels[index].width), height());
}

QSize TMainStatusBar::sizeHint() const { return QSize(632, fontMetrics().height() + 8); }

void TMainStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  SStatusPanel panels[kStatusPanelCount];
  StatusPanelLayout(width(), panels);
  for (int32_t i = 0; i < kStatusPanelCount; ++i) {
    if (panels[i].width <= 0) continue;
    const QRect r(panels[i].left, 0, panels[i].width, height());
    const QRect frame = r.adjusted(1, 1, -2, -2);
    // Raised panels are lit from the top left; the others are sunk.
    painter.setPen(palette().color(panels[i].raised ? QPalette::Light : QPalette::Dark));
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(palette().color(panels[i].raised ? QPalette::Dark : QPalette::Light));
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());
    painter.setPen(palette().color(QPalette::WindowText));
    const int flags = (panels[i].centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
    painter.drawText(frame.adjusted(3, 0, -3, 0), flags, texts_[static_cast<size_t>(i)]);
  }
}

void TMainStatusBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int32_t panel = StatusPanelAt(width(), event->position().toPoint().x());
  if (panel < 0 || !onPanelClick) return;
  const QRect r = PanelRect(panel);
  onPanelClick(panel, QRect(mapToGlobal(r.topLeft()), r.size()));
}

// A double click is no second press.
void TMainStatusBar::mouseDoubleClickEvent(QMouseEvent*) {}

}  // namespace tf
