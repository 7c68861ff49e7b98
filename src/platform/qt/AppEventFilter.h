// The one application event filter: application-wide message, shortcut and deactivation hooks,
// and the keys seen down.
#pragma once
// Forms that take over the application's events while they are open (popups, inline editors)
// push a triple of handlers; the filter calls the innermost one. Handlers come off in any order
// (a popup closing under another takes only its own triple).
//
// Input events are seen once each, where the window system delivers them: at the top-level
// window (QWindow) that receives them, before any widget does. A message handler that answers
// true has handled the event: it goes no further (an inline edit swallows Tab, Enter, Space,
// Escape and presses outside it); a shortcut handler may swallow the shortcut it is asked about.
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

class QEvent;
class QWindow;

namespace tf {

struct AppHandlers {
  // A key press or release, a mouse press, release or double click (global position in the
  // event), once per event. True: handled, the event is stopped.
  std::function<bool(QEvent* event)> message;
  // A shortcut is about to fire; true swallows it.
  std::function<bool(QEvent* event)> shortcut;
  // The application lost activation, or another window took the focus (newFocus, null when the
  // application lost it). Title-bar clicks never reach Qt; this is how they are noticed.
  std::function<void(QWindow* newFocus)> deactivate;
};

class AppEventFilter final : public QObject {
  Q_OBJECT
 public:
  // The filter of the running QApplication, installed on first use.
  static AppEventFilter& Instance();

  // Pushes a triple; returns its id.
  int32_t Push(AppHandlers handlers);
  // Takes the triple off wherever it is; unknown ids are ignored.
  void Remove(int32_t id);
  int32_t Depth() const { return static_cast<int32_t>(stack_.size()); }
  // Calls the innermost triple's deactivation handler (a handler passing the event on after it
  // took itself off).
  void ForwardDeactivate(QWindow* newFocus);

  // Keys (Qt key codes) the filter saw pressed and not yet released.
  bool IsQtKeyDown(int key) const { return keysDown_.count(key) != 0; }
  void ForgetKeys() { keysDown_.clear(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  AppEventFilter();
  void FocusWindowChanged(QWindow* window);

  struct Entry {
    int32_t id;
    AppHandlers handlers;
  };
  std::vector<Entry> stack_;
  int32_t nextId_ = 1;
  std::set<int> keysDown_;
};

}  // namespace tf
