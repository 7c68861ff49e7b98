// Small helpers of the owner-drawn controls: showing a 32-bit picture (TMTC) and showing a hint.
#pragma once
#include <QWidget>
#include <string>

#include "raster/FlatImage.h"

class QPainter;

namespace tf {

// Copies the picture's top-left block at (0, 0), opaque (alpha ignored).
void DrawPicture(QPainter& painter, const TMTC& picture);
// A hint "tooltip|status text": the text before "|" becomes the control's tooltip (the one on
// screen is cancelled first), the whole hint its status tip, which the main window splits at "|"
// for its hint panel; with now it is also sent at once, so a hint that changes under the pointer
// shows.
void ShowControlHint(QWidget* control, const std::string& hint, bool now = true);
// The cursor of a code: 0 the arrow, 1 the pointing hand, 2 the I-beam.
void SetControlCursor(QWidget* control, int32_t code);

}  // namespace tf
