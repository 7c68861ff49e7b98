// TPaper: composing the picture into the display buffers, painting it, and layer image transfer.
//
// Composing (the visible layers bottom to top into the display buffer, the grid, thumbnails and
// navigator, and the painting at every zoom and rotation) comes with the composing module, which
// fills ComposeRect, UpdateThumbnailsRect, PaintRect and RenderView here. Until then they write
// a line to the developer output and answer false; the display buffer keeps its size but not
// the picture.
#include "paper/Paper.h"
#include "platform/Debug.h"

namespace tf {

bool TPaper::ComposeRect(const SRectWH& rect, bool grid) {
  (void)rect;
  (void)grid;
  DebugOut("TPaper::ComposeRect: composing is not built yet\n");
  return false;
}

bool TPaper::UpdateThumbnailsRect(bool navigatorOnly, int32_t index, const SRectWH& rect) {
  (void)navigatorOnly;
  (void)index;
  (void)rect;
  DebugOut("TPaper::UpdateThumbnailsRect: composing is not built yet\n");
  return false;
}

bool TPaper::PaintRect(WindowHandle window, const TRect& rect) {
  (void)window;
  (void)rect;
  DebugOut("TPaper::PaintRect: painting is not built yet\n");
  return false;
}

bool TPaper::RenderView() {
  DebugOut("TPaper::RenderView: painting is not built yet\n");
  return false;
}

bool TPaper::PutImageToLayer(int32_t index, const TMTC& image, int32_t opacity, const SRectWH& source,
                             const TPoint& dest) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  TPoint point = dest;
  SRectWH area = source;
  return layer->Store()->CopyFromImage(image, point, area, opacity);
}

}  // namespace tf
