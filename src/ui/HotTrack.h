// Hot tracking: at most one control of a parent shows its hot state, and presses act only on a
// control that is visible, enabled and not read-only.
#pragma once
// Every owner-drawn control (GraphicControl) and our labels carry the HotTrackControl mixin: the
// flag by which a read-only control withholds its standard mouse events, and the mouse-leave
// notification a sibling sends when it enters its hot state. Qt's own enter and leave events are
// enterEvent and leaveEvent; controls that follow the pointer set setMouseTracking(true).
// Notifications go only to our controls, never as synthetic QEvent::Leave to Qt's widgets.
#include <QWidget>

namespace tf {

class HotTrackControl {
 public:
  virtual ~HotTrackControl() = default;
  // A read-only control withholds its standard mouse events (it still shows its value).
  bool WithholdsMouse() const { return withholdsMouse_; }
  void SetWithholdsMouse(bool withhold) { withholdsMouse_ = withhold; }
  // A sibling entered its hot state: leave ours (when HotTrackLeave allows). Empty here.
  virtual void HotTrackMouseLeave() {}

 private:
  bool withholdsMouse_ = false;
};

// True while a mouse button is down or a widget grabs the mouse: some window holds the capture
// (Qt's implicit grab of a pressed widget is not a mouseGrabber, hence the buttons).
bool IsMouseCaptured();
// Visible, enabled and not withholding its mouse events.
bool CanHotTrack(const QWidget* control);
// Sends the mouse-leave notification to every other control of the same parent that carries the
// mixin, from the last child to the first.
void SendMouseLeaveToSiblings(const QWidget* control);
// CanHotTrack; when true the siblings also leave their hot state.
bool EnterHotState(const QWidget* control);
// CanHotTrack and no capture; when true the siblings also leave their hot state. Called at the
// start of every control's mouse-enter handling.
bool HotTrackEnter(const QWidget* control);
// CanHotTrack and no capture. Called in every control's mouse-leave handling.
bool HotTrackLeave(const QWidget* control);

}  // namespace tf
