// The move and drag tools: handler group 5 of the document window (layer, selection and combined
// moves, the gradient line and the crop rectangle).
#pragma once
#include "app/ToolDispatch.h"

namespace tf {

namespace MoveTools {
SToolHandler MoveRecord();
// Puts the layers a move drag previews and the selection outline back where they were at the
// press (an Escape, or any end of the drag but its release).
void CancelMoveDrag(TDrawWindow& window);
}  // namespace MoveTools

}  // namespace tf
