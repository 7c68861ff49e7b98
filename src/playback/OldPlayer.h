// PlayOldEvents: plays an event stream of the program's first version onto a document, one step
// at a time.
#pragma once
// The document window opens the stream, puts the document into the older stroke engine
// (UseStrokeEngine0) with its recording stopped, and calls PlayOldEvents on every playback tick.
// One call plays one event, or one point of a stroke (a stroke of N further points takes 1 + N
// steps); seal markers are passed over within the step. The player keeps no state of its own:
// the read position and the stroke in progress live in the TEventPacket, the pen settings in the
// stroke. When it answers false the caller takes the end code off (DropEndCode) and ends the
// playback with ResetStrokeEngines.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Window.h"
#include "raster/Geometry.h"

namespace tf {

class TPaper;
class TFlowImage;
class TStroke;
class TEventPacket;

// A fresh untitled document name for the new-canvas event (the document window's
// MakeUntitledName).
using UntitledNameSource = std::function<std::string()>;

// One step. code takes the code read in this step (a marker's when markers were passed over; left
// as it was for a stroke point and for a step that did nothing); layersChanged is 1 when the caller
// must refresh the layer stack itself. True while the playback goes on; false at the end code, at a
// code without an operation (520 among them), at a new layer of a blend mode above 3, at a new
// canvas the document refuses, and when the bytes left do not hold a whole event.
bool PlayOldEvents(TPaper& paper, TFlowImage* flow, TEventPacket& packets, uint16_t& code, int32_t& layersChanged,
                   WindowHandle window, TStroke& stroke, const UntitledNameSource& untitledName);

// The bounds of a polygon, two pixels around (x, y, width, height).
SRectWH PolygonBounds(const TPoint* points, int32_t count);

}  // namespace tf
