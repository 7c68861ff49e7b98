// The main window's status bar: seven panels drawn and hit by one position rule
// (app/MainFormCore.h), a click on a panel reported with the panel's rectangle.
#pragma once
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

#include "app/MainFormCore.h"

namespace tf {

class TMainStatusBar final : public QWidget {
  Q_OBJECT
 public:
  explicit TMainStatusBar(QWidget* parent = nullptr);

  void SetPanelText(int32_t index, const std::string& text);
  QString PanelText(int32_t index) const;
  // The panel's rectangle in the bar's coordinates (width clamped at 0).
  QRect PanelRect(int32_t index) const;
  // A left press on a panel: its index and rectangle in screen coordinates.
  std::function<void(int32_t panel, const QRect& screenRect)> onPanelClick;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  std::array<QString, kStatusPanelCount> texts_;
};

}  // namespace tf
