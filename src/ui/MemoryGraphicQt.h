// Putting a drawing surface on a window, and text into a surface: the window system's half of
// TMemoryGraphic.
#pragma once
// Draw copies a surface's block opaquely (alpha forced to 0xFF, colour bytes as they are);
// DrawBlend composites it over what the target already shows. Both draw through a QPainter,
// normally in a widget's paintEvent. When the painter's device is a 32-bit QImage with no
// transformation (ARGB32 or RGB32), DrawBlend composites exactly as BlendBits does; on a widget it
// uses the composition mode of the colour operation (one off from ChannelBlend at most).
//
// DrawText paints with QPainter through an RGB32 view of the surface's own bytes, clipped to the
// rectangle, then makes the rectangle opaque (FillRect with ChannelKeep, ChannelCopy).
#include <QFont>
#include <QImage>
#include <cstdint>
#include <string_view>

#include "raster/MemoryGraphic.h"

class QPainter;

namespace tf {

// Text formats (the window system's text-drawing flags).
enum : uint32_t {
  kDtLeft = 0x0,
  kDtCenter = 0x1,
  kDtRight = 0x2,
  kDtVCenter = 0x4,
  kDtBottom = 0x8,
  kDtWordBreak = 0x10,
  kDtSingleLine = 0x20,
  kDtNoClip = 0x100,
  kDtCalcRect = 0x400,
  kDtNoPrefix = 0x800,
  kDtEndEllipsis = 0x8000,
};

// A QImage over the surface's pixels (no copy); null for an invalid surface.
QImage SurfaceImage(TMemoryGraphic& graphic, QImage::Format format = QImage::Format_ARGB32);

// Copies the top-left width x height block to (x, y), opaque.
bool Draw(const TMemoryGraphic& graphic, QPainter& painter, int32_t x, int32_t y, int32_t width, int32_t height);
// Composites the block at (sourceLeft, sourceTop) over the target at (x, y).
bool DrawBlend(const TMemoryGraphic& graphic, QPainter& painter, int32_t x, int32_t y, int32_t width,
               int32_t height, int32_t sourceLeft, int32_t sourceTop, SChannelOps ops);
// Draws UTF-8 text in the colour (a BGRA pixel value), or with kDtCalcRect measures it into
// rect (right and bottom move). False when the surface has no pixels.
bool DrawText(TMemoryGraphic& graphic, std::string_view text, TRect& rect, uint32_t format, uint32_t colour,
              const QFont& font);
// The caption bar of a tool pane, 18 pixels high at the top of the surface, or with
// kDtCalcRect its size for the text (rect becomes (0, 0, text width + 21, 18)).
bool DrawCaption(TMemoryGraphic& graphic, std::string_view text, TRect& rect, bool active, uint32_t format);

// Qt alignment and text flags of a text format.
int QtTextFlags(uint32_t format);

}  // namespace tf
