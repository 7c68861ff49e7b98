// Real mouse events for widget tests: through the top-level window, as the window system sends
// them, so that Qt's button state, implicit grab, enter and leave and masks all take part.
#pragma once
#include <QPoint>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace tf::test {

inline QWindow* WindowOf(QWidget* widget) { return widget->window()->windowHandle(); }
inline QPoint InWindow(QWidget* widget, QPoint point) {
  return WindowOf(widget)->mapFromGlobal(widget->mapToGlobal(point));
}
inline void Press(QWidget* widget, QPoint point, Qt::KeyboardModifiers keys = {}) {
  QTest::mousePress(WindowOf(widget), Qt::LeftButton, keys, InWindow(widget, point));
}
inline void Release(QWidget* widget, QPoint point, Qt::KeyboardModifiers keys = {}) {
  QTest::mouseRelease(WindowOf(widget), Qt::LeftButton, keys, InWindow(widget, point));
}
inline void MoveTo(QWidget* widget, QPoint point) { QTest::mouseMove(WindowOf(widget), InWindow(widget, point)); }
inline void Click(QWidget* widget, QPoint point, Qt::KeyboardModifiers keys = {}) {
  Press(widget, point, keys);
  Release(widget, point, keys);
}
inline void DoubleClick(QWidget* widget, QPoint point) {
  QTest::mouseDClick(WindowOf(widget), Qt::LeftButton, {}, InWindow(widget, point));
}
// Shows the top-level window of the widget and waits until it can take events.
inline bool ShowWindow(QWidget* top) {
  top->show();
  return QTest::qWaitForWindowExposed(top);
}

}  // namespace tf::test
