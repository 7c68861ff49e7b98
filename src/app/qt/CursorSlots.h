// The 33 tool cursors in their slots 5 to 37, which the tool window and the document windows
// pick from (QWidget::setCursor). The busy cursor stays with QtCursorHost's override.
#pragma once
// The artwork is the program's own (scripts/make_cursors.py writes app/qt/CursorArt.cpp): 32 x 32,
// '.' transparent, '#' black, 'o' white, with a hot spot each.
#include <QCursor>
#include <cstdint>

namespace tf {

inline constexpr int32_t kCursorSlotFirst = 5;
inline constexpr int32_t kCursorSlotCount = 33;
inline constexpr int32_t kCursorSlotLast = kCursorSlotFirst + kCursorSlotCount - 1;

enum CursorSlot : int32_t {
  crSelect = 5, crSelectPlus, crSelectMinus, crSelectAnd, crDrag, crCopy, crDelete, crPencil,
  crEraser, crBrush, crAirbrush, crBlur, crFingertip, crSpread, crBurn, crDodge, crBucket,
  crMagicWand, crMagicWandPlus, crMagicWandMinus, crMagicWandAnd, crMove, crText, crSpuit,
  crSpuitPlus, crSpuitMinus, crGrabber, crZoomIn, crZoomOut, crDetail, crDetailPlus,
  crDetailMinus, crDetailAnd,
};
static_assert(crDetailAnd == kCursorSlotLast);

struct SCursorArt {
  const char* name;  // "CR_SELECT" ...
  int32_t hotX;
  int32_t hotY;
  const char* rows[32];
};
extern const SCursorArt kCursorArt[kCursorSlotCount];

// Makes the 33 cursors (once; the main window's creation step). Needs a QGuiApplication.
void LoadToolCursors();
// The cursor of a slot; the arrow for a slot outside 5..37 or before LoadToolCursors.
QCursor ToolCursor(int32_t slot);

}  // namespace tf
