#include "app/ToolDispatch.h"

#include <array>

#include "app/DrawWindow.h"
#include "app/ToolMoves.h"
#include "app/ToolShapes.h"
#include "app/ToolViews.h"
#include "paint/ToolDefs.h"
#include "platform/Debug.h"

namespace tf {

namespace {

// What each group's tools are called on the developer output while they are not built.
constexpr const char* kGroupToolNames[kToolGroupCount] = {
    "the pen",          "the zoom tool",  "the eyedropper",  "the hand and rotation tools",
    "the click tools",  "the move tools", "the shape tools", "the fill tools",
    "the selection tools", "the text tool"};

template <int Group>
void NotBuilt(TDrawWindow& window, uint32_t, const TPoint&) {
  window.Site().Beep();
  DebugOutF("The document window: %s %s not built yet.\n", kGroupToolNames[Group], Group == 3 ? "are" : "is");
}

template <int Group>
SToolHandler Unbuilt(bool shapeDouble) {
  using namespace ToolRoutines;
  SToolHandler h;
  h.leftDown = &NotBuilt<Group>;
  h.leftDouble = shapeDouble ? &NotBuilt<Group> : &GrabberReset;
  h.rightDown = &NotBuilt<Group>;
  h.hover = &TrackPointer;
  h.commit = &NoCommit;
  h.cancel = &Finish;
  return h;
}

std::array<SToolHandler, kToolGroupCount> BuiltTable() {
  using namespace ToolRoutines;
  std::array<SToolHandler, kToolGroupCount> t;
  SToolHandler& pen = t[kGroupFreehand];
  pen.leftDown = &PenDown;
  pen.leftDrag = &PenDrag;
  pen.leftUp = &PenUp;
  pen.leftDouble = &GrabberReset;
  pen.rightDown = &RightPick;
  pen.hover = &TrackPointer;
  pen.commit = &NoCommit;
  pen.cancel = &Finish;
  t[kGroupZoom] = ViewTools::ZoomRecord();
  t[kGroupEyedropper] = ViewTools::EyedropperRecord();
  t[kGroupHand] = ViewTools::ViewRecord();
  t[kGroupClick] = ViewTools::ClickRecord();
  t[kGroupDrag] = MoveTools::MoveRecord();
  t[kGroupShapePaint] = ShapeTools::OutlineRecord();
  t[kGroupShapeFill] = ShapeTools::FillRecord();
  t[kGroupShapeSelect] = ShapeTools::SelectRecord();
  t[9] = Unbuilt<9>(false);
  // The click and text tools pick colours with the right button like the pen.
  t[kGroupClick].rightDown = &RightPick;
  t[kGroupText].rightDown = &RightPick;
  return t;
}

std::array<SToolHandler, kToolGroupCount>& Table() {
  static std::array<SToolHandler, kToolGroupCount> table = BuiltTable();
  return table;
}

const SToolHandler kIdle{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,           nullptr,
                         nullptr, nullptr, nullptr, nullptr, &ToolRoutines::NoCommit, nullptr};

}  // namespace

const SToolHandler& ToolHandlerOf(uint8_t group) {
  group &= 0x7F;
  if (group >= kToolGroupCount) return kIdle;
  return Table()[group];
}

const SToolHandler& IdleToolHandler() { return kIdle; }

SToolHandler SetToolHandlerRoutines(uint8_t group, const SToolHandler& record) {
  group &= 0x7F;
  if (group >= kToolGroupCount) return kIdle;
  const SToolHandler before = Table()[group];
  Table()[group] = record;
  return before;
}

void ResetToolHandlers() { Table() = BuiltTable(); }

}  // namespace tf
