#include "platform/qt/AppEventFilter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

namespace tf {

AppEventFilter& AppEventFilter::Instance() {
  static QPointer<AppEventFilter> filter;
  if (!filter) {
    filter = new AppEventFilter();
    filter->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
      QObject::connect(gui, &QGuiApplication::focusWindowChanged, filter,
                       [f = filter.data()](QWindow* window) { f->FocusWindowChanged(window); });
    }
  }
  return *filter;
}

AppEventFilter::AppEventFilter() = default;

int32_t AppEventFilter::Push(AppHandlers handlers) {
  const int32_t id = nextId_++;
  stack_.push_back({id, std::move(handlers)});
  return id;
}

void AppEventFilter::Remove(int32_t id) {
  for (auto it = stack_.begin(); it != stack_.end(); ++it) {
    if (it->id == id) {
      stack_.erase(it);
      return;
    }
  }
}

void AppEventFilter::ForwardDeactivate(QWindow* newFocus) {
  if (!stack_.empty() && stack_.back().handlers.deactivate) {
    // A copy: the handler may take its own triple off.
    auto handler = stack_.back().handlers.deactivate;
    handler(newFocus);
  }
}

void AppEventFilter::FocusWindowChanged(QWindow* window) { ForwardDeactivate(window); }

bool AppEventFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      if (watched->isWindowType()) {
        if (event->type() == QEvent::KeyPress) {
          keysDown_.insert(static_cast<QKeyEvent*>(event)->key());
        } else if (event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
          keysDown_.erase(static_cast<QKeyEvent*>(event)->key());
        }
        if (!stack_.empty() && stack_.back().handlers.message) {
          auto handler = stack_.back().handlers.message;
          if (handler(event)) return true;
        }
      }
      break;
    case QEvent::Shortcut:
      if (!stack_.empty() && stack_.back().handlers.shortcut) {
        auto handler = stack_.back().handlers.shortcut;
        if (handler(event)) return true;
      }
      break;
    case QEvent::ApplicationDeactivate:
      if (watched == QCoreApplication::instance()) {
        keysDown_.clear();
        ForwardDeactivate(nullptr);
      }
      break;
    default: break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tf
