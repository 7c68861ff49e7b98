// The zoom, eyedropper, view-drag and click tools: handler groups 1 to 4 of the document window.
#pragma once
#include <cstdint>

#include "app/ToolDispatch.h"

namespace tf {

namespace ViewTools {
SToolHandler ZoomRecord();
SToolHandler EyedropperRecord();
// The hand, the view rotation and the brush-size drag.
SToolHandler ViewRecord();
// Seed fill, magic wand and magic eraser.
SToolHandler ClickRecord();
// The brush size of a drag d client pixels long from the size at the press within the limits:
// s0 + d x 100 / (maximum - minimum); the size at the press when the limits leave no range.
float BrushSizeAfterDrag(float sizeAtPress, int32_t dx, float minimum, float maximum);
// The magic wand's pointer (cursor slot; 0: leave the cursor as it is).
int32_t WandCursor(TDrawWindow& window, uint32_t shift);
}  // namespace ViewTools

}  // namespace tf
