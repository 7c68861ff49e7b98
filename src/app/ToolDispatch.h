// The tool handler records of the document window: thirteen routines per handler group.
#pragma once
// The document window does not know its tools: every press, drag, release, double click, hover,
// key, overlay paint, commit and cancel goes to one routine of the record of the current tool
// mode's handler group (paint/ToolDefs.h maps modes to groups). An empty slot is not called.
//
// The pen group's routines and the common ones (TrackPointer, GrabberReset, RightPick, Finish)
// are here. The zoom, eyedropper, view, click and move tools and the shape, fill, selection and
// text tools install their routines with SetToolHandlerRoutines when they are built; until then
// a press in their modes beeps and says on the developer output which tool is not built yet.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

class Surface;
class TDrawWindow;

using ToolPointRoutine = void (*)(TDrawWindow& window, uint32_t shift, const TPoint& point);
using ToolKeyRoutine = void (*)(TDrawWindow& window, int32_t key, uint32_t keyData);
using ToolPaintRoutine = void (*)(TDrawWindow& window, Surface& surface);
using ToolCommitRoutine = bool (*)(TDrawWindow& window, const TPoint& press, const TPoint& end);
using ToolCancelRoutine = void (*)(TDrawWindow& window, const TPoint* point);

// Slots in their order: 0 left down, 1 left drag, 2 left up, 3 left double click, 4 right down,
// 5 right drag, 6 right up, 7 right double click, 8 hover, 9 key down, 10 overlay paint,
// 11 commit, 12 cancel.
struct SToolHandler {
  ToolPointRoutine leftDown = nullptr;
  ToolPointRoutine leftDrag = nullptr;
  ToolPointRoutine leftUp = nullptr;
  ToolPointRoutine leftDouble = nullptr;
  ToolPointRoutine rightDown = nullptr;
  ToolPointRoutine rightDrag = nullptr;
  ToolPointRoutine rightUp = nullptr;
  ToolPointRoutine rightDouble = nullptr;
  ToolPointRoutine hover = nullptr;
  ToolKeyRoutine keyDown = nullptr;
  ToolPaintRoutine paint = nullptr;
  ToolCommitRoutine commit = nullptr;
  ToolCancelRoutine cancel = nullptr;
};

// The record of a handler group (masked with 0x7F; a group past 9 gives the idle record).
const SToolHandler& ToolHandlerOf(uint8_t group);
// The record whose routines all do nothing (its commit answers false).
const SToolHandler& IdleToolHandler();
// Replaces a group's record (the tools of the other groups, as they are built); returns the
// record before. A group past 9 is refused (the idle record is returned, nothing changes).
SToolHandler SetToolHandlerRoutines(uint8_t group, const SToolHandler& record);
// The table as built here.
void ResetToolHandlers();

// The common routines.
namespace ToolRoutines {
void PenDown(TDrawWindow& window, uint32_t shift, const TPoint& point);
void PenDrag(TDrawWindow& window, uint32_t shift, const TPoint& point);
void PenUp(TDrawWindow& window, uint32_t shift, const TPoint& point);
void GrabberReset(TDrawWindow& window, uint32_t shift, const TPoint& point);
void RightPick(TDrawWindow& window, uint32_t shift, const TPoint& point);
void TrackPointer(TDrawWindow& window, uint32_t shift, const TPoint& point);
void Finish(TDrawWindow& window, const TPoint* point);
bool NoCommit(TDrawWindow& window, const TPoint& press, const TPoint& end);
}  // namespace ToolRoutines

}  // namespace tf
