#include "playback/OldPlayer.h"

#include <algorithm>
#include <vector>

#include "document/ShellServices.h"
#include "document/UndoData.h"
#include "events/OldEventPacket.h"
#include "paint/Stroke.h"
#include "paper/DocumentWindow.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/Debug.h"

namespace tf {

namespace {

// Codes the player passes over as seal markers.
constexpr uint16_t kMarkerFirst = 768;
constexpr uint16_t kMarkerLast = 895;
constexpr uint8_t kMaxOldBlendMode = 3;

struct SOldStep {
  TPaper& paper;
  TFlowImage* flow;
  TEventPacket& packets;
  WindowHandle window;
  TStroke& stroke;
  const UntitledNameSource& untitledName;
  int32_t& layersChanged;
};

void NavigatorSize(SOldStep& s) { SetNaviImageSize(&s.paper, s.paper.canvasWidth, s.paper.canvasHeight); }

void InvalidateWindow(SOldStep& s) {
  if (DocumentWindow* window = s.paper.GetDrawWindow(); window != nullptr) window->Invalidate(false);
}

// The rectangle composed, painted into the window, the window invalidated.
void RepaintRect(SOldStep& s, const SRectWH& r) {
  s.paper.ComposeRect(r, true);
  s.paper.PaintRect(s.window, TRect{r.left, r.top, r.left + r.width, r.top + r.height});
  InvalidateWindow(s);
}

// Layer commands that save the whole layer's undo first.
template <typename Op>
bool WithLayerUndo(SOldStep& s, Op op) {
  const uint8_t layer = s.packets.ReadLayer();
  if (layer < s.paper.GetLayerCount()) {
    s.paper.SaveWholeLayerUndo(layer);
    op(layer);
  }
  return true;
}

bool PlayStrokeStart(SOldStep& s, uint16_t code) {
  s.stroke.SetPenType(static_cast<uint8_t>(code));
  float x = 0, y = 0, pressure = 0;
  s.packets.ReadStrokeStart(s.stroke, x, y, pressure);
  const bool begun = s.paper.BeginStrokeDirect(s.flow, s.stroke, true, x, y, pressure);
  if (!s.packets.InStroke() && begun) {
    // A stroke of its first point alone: begun and ended in this step.
    SRectWH rect{};
    if (s.paper.EndStroke(s.flow, s.stroke, true, rect, s.window))
      s.paper.UpdateThumbnailsRect(false, s.stroke.GetLayerIndex(), rect);
  }
  s.layersChanged = 0;
  return true;
}

bool PlayStrokePoint(SOldStep& s) {
  float x = 0, y = 0, pressure = 0;
  const bool last = s.packets.ReadStrokePoint(x, y, pressure);
  s.paper.StrokeTo(s.flow, s.stroke, true, s.window, x, y, pressure);
  if (last) {
    SRectWH rect{};
    if (s.paper.EndStroke(s.flow, s.stroke, true, rect, s.window))
      s.paper.UpdateThumbnailsRect(false, s.stroke.GetLayerIndex(), rect);
  }
  return true;
}

bool PlayRectangle(SOldStep& s, bool fill) {
  const SOldRect r = s.packets.ReadLayerRect();
  const uint32_t colour = fill ? s.packets.ReadColour() : 0;
  const SRectWH rect{r.x, r.y, r.width, r.height};
  s.layersChanged = 0;
  if (r.layer >= s.paper.GetLayerCount()) return true;
  s.paper.SaveLayerUndo(r.layer, rect, kUndoLayerRect);
  const bool done =
      fill ? s.paper.FillRectOld(s.flow, r.layer, rect, colour) : s.paper.ClearRectOld(s.flow, r.layer, rect);
  if (done) RepaintRect(s, rect);
  return true;
}

bool PlayPolygon(SOldStep& s, bool fill) {
  uint8_t layer = 0;
  uint32_t colour = 0;
  std::vector<SOldPoint> stored;
  if (fill)
    s.packets.ReadPolygonColour(layer, colour, stored);
  else
    s.packets.ReadPolygon(layer, stored);
  s.layersChanged = 0;
  if (layer >= s.paper.GetLayerCount() || stored.empty()) return true;
  std::vector<TPoint> points(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) points[i] = TPoint{stored[i].x, stored[i].y};
  const int32_t count = static_cast<int32_t>(points.size());
  const SRectWH rect = PolygonBounds(points.data(), count);
  s.paper.SaveLayerUndo(layer, rect, kUndoLayerRect);
  const bool done = fill ? s.paper.FillPolygonOld(s.flow, layer, colour, 0, points.data(), count, count, nullptr)
                         : s.paper.ClearPolygonOld(s.flow, layer, 0, points.data(), count, count, nullptr);
  if (done) RepaintRect(s, rect);
  return true;
}

using OldHandler = bool (*)(SOldStep&);
struct SOldRow {
  uint16_t code;
  OldHandler play;
};

// One row per event code (strokes are played apart).
const SOldRow kOldRows[] = {
    // Layer stack.
    {kOldNewLayer,
     [](SOldStep& s) {
       const uint8_t mode = s.packets.ReadLayer();
       // A mode the first version never wrote would put every later layer index off.
       if (mode > kMaxOldBlendMode) return false;
       s.paper.AddTopLayer(s.flow, mode);
       return true;
     }},
    {kOldDeleteLayer,
     [](SOldStep& s) { return s.paper.DeleteLayer(s.flow, s.packets.ReadLayer(), false), true; }},
    {kOldMergeVisible, [](SOldStep& s) { return s.paper.MergeVisibleOld(s.flow), true; }},
    {kOldCopyLayer,
     [](SOldStep& s) {
       s.packets.ReadLayer();
       return s.paper.DuplicateToTop(s.flow), true;
     }},
    {kOldMoveLayer,
     [](SOldStep& s) {
       uint8_t from = 0, to = 0;
       s.packets.ReadTwoBytes(from, to);
       return s.paper.MoveLayer(s.flow, from, false, to), true;
     }},
    {kOldMergeDown, [](SOldStep& s) { return s.paper.MergeDown(s.flow, s.packets.ReadLayer(), false), true; }},
    {kOldUndoLayer,
     [](SOldStep& s) {
       SRectWH rect{};
       const uint8_t layer = s.packets.ReadLayer();
       if (layer < s.paper.GetLayerCount()) s.paper.UndoLayerPixels(s.flow, layer, rect);
       s.layersChanged = 0;
       return true;
     }},
    {kOldActiveLayer,
     [](SOldStep& s) {
       const uint8_t layer = s.packets.ReadLayer();
       if (layer < s.paper.GetLayerCount()) s.paper.SetActiveLayer(s.flow, layer);
       s.layersChanged = 0;
       return true;
     }},
    {kOldLayerVisible,
     [](SOldStep& s) {
       uint8_t layer = 0, shown = 0;
       s.packets.ReadTwoBytes(layer, shown);
       return s.paper.SetLayerVisible(layer, shown == 1, false), true;
     }},
    {kOldLayerOpacity,
     [](SOldStep& s) {
       uint8_t layer = 0, opacity = 0;
       s.packets.ReadTwoBytes(layer, opacity);
       return s.paper.SetLayerOpacity(layer, opacity, false), true;
     }},
    {kOldLayerMode,
     [](SOldStep& s) {
       uint8_t layer = 0, mode = 0;
       s.packets.ReadTwoBytes(layer, mode);
       return s.paper.SetLayerBlendMode(layer, mode, false), true;
     }},
    {kOldShowOnly,
     [](SOldStep& s) {
       const uint8_t layer = s.packets.ReadLayer();
       if (layer < s.paper.GetLayerCount()) s.paper.ToggleSoloVisibility(layer);
       return true;
     }},
    // Pixels of one layer.
    {kOldFlipLayerVertical,
     [](SOldStep& s) {
       return WithLayerUndo(s, [&](int32_t l) { s.paper.FlipLayerVertical(s.flow, l, false); });
     }},
    {kOldFlipLayerHorizontal,
     [](SOldStep& s) {
       return WithLayerUndo(s, [&](int32_t l) { s.paper.FlipLayerHorizontal(s.flow, l, false); });
     }},
    {kOldRotateLayer180,
     [](SOldStep& s) { return WithLayerUndo(s, [&](int32_t l) { s.paper.RotateLayer180(s.flow, l, false); }); }},
    {kOldInvertLayer,
     [](SOldStep& s) {
       return WithLayerUndo(s, [&](int32_t l) { s.paper.InvertLayerColors(s.flow, l, false); });
     }},
    {kOldClearLayer,
     [](SOldStep& s) { return WithLayerUndo(s, [&](int32_t l) { s.paper.ClearLayer(s.flow, l, false); }); }},
    {kOldFillLayer,
     [](SOldStep& s) {
       const uint8_t layer = s.packets.ReadLayer();
       const uint32_t colour = s.packets.ReadColour();
       if (layer < s.paper.GetLayerCount()) {
         s.paper.SaveWholeLayerUndo(layer);
         s.paper.FillLayerColor(s.flow, layer, colour);
       }
       return true;
     }},
    {kOldShiftLayer,
     [](SOldStep& s) {
       uint8_t layer = 0;
       int16_t dx = 0, dy = 0;
       s.packets.ReadLayerShift(layer, dx, dy);
       if (layer < s.paper.GetLayerCount()) {
         s.paper.SaveWholeLayerUndo(layer);
         s.paper.ShiftLayerLegacy(s.flow, layer, dx, dy);
       }
       return true;
     }},
    {kOldEraseRect, [](SOldStep& s) { return PlayRectangle(s, false); }},
    {kOldFillRect, [](SOldStep& s) { return PlayRectangle(s, true); }},
    {kOldErasePolygon, [](SOldStep& s) { return PlayPolygon(s, false); }},
    {kOldFillPolygon, [](SOldStep& s) { return PlayPolygon(s, true); }},
    {kOldLine,
     [](SOldStep& s) {
       const SOldLine line = s.packets.ReadLine(s.stroke);
       s.paper.DrawLine(s.flow, s.stroke, s.window, line.x1, line.y1, line.x2, line.y2);
       InvalidateWindow(s);
       s.layersChanged = 0;
       return true;
     }},
    // Canvas.
    {kOldNewCanvas,
     [](SOldStep& s) {
       const SOldSize size = s.packets.ReadSize();
       const std::string name = s.untitledName ? s.untitledName() : std::string();
       if (!s.paper.NewDocumentWithSlots(name, s.flow, size.height, size.width)) {
         DebugOut("PlayOldEvents: the new canvas was refused\n");
         return false;
       }
       NavigatorSize(s);
       return true;
     }},
    {kOldPaperColor, [](SOldStep& s) { return s.paper.SetPaperColor(s.packets.ReadColour(), false), true; }},
    {kOldCanvasSize,
     [](SOldStep& s) {
       SOldSize size{};
       uint8_t anchor = 0;
       s.packets.ReadSizeAnchor(size, anchor);
       s.paper.ResizeCanvasOld(s.flow, size.width, ConvertOldAnchor(anchor), size.height);
       NavigatorSize(s);
       return true;
     }},
    {kOldResample,
     [](SOldStep& s) {
       const SOldSize size = s.packets.ReadSize();
       s.paper.ResizeImageOld(s.flow, size.width, size.height);
       NavigatorSize(s);
       return true;
     }},
    {kOldRotateRight,
     [](SOldStep& s) {
       s.paper.RotateCanvas90(s.flow, true, false);
       NavigatorSize(s);
       return true;
     }},
    {kOldRotateLeft,
     [](SOldStep& s) {
       s.paper.RotateCanvas90(s.flow, false, false);
       NavigatorSize(s);
       return true;
     }},
    {kOldClearAllUndo,
     [](SOldStep& s) {
       s.paper.ClearAllUndo();
       NavigatorSize(s);
       return true;
     }},
    {kOldClearLayerUndo,
     [](SOldStep& s) {
       s.paper.ClearLayerUndoOld(s.packets.ReadLayer());
       NavigatorSize(s);
       return true;
     }},
    // The visible layers.
    {kOldFlipVisibleVertical, [](SOldStep& s) { return s.paper.FlipImageVertical(s.flow, false), true; }},
    {kOldFlipVisibleHorizontal, [](SOldStep& s) { return s.paper.FlipImageHorizontal(s.flow, false), true; }},
    {kOldRotateVisible180, [](SOldStep& s) { return s.paper.RotateImage180(s.flow, false), true; }},
    {kOldInvertVisible, [](SOldStep& s) { return s.paper.InvertImage(s.flow, false), true; }},
};

// The next code is whole but not in the table.
bool UnknownCodeAhead(const TEventPacket& packets) {
  const TMyMemory& m = packets.Memory();
  if (m.GetUnreadSize() < 2) return false;
  const uint8_t* p = m.GetBuffer() + m.GetReadPos();
  const uint16_t code = static_cast<uint16_t>(p[0] | (p[1] << 8));
  return OldEventPayloadLength(code, p + 2, m.GetUnreadSize() - 2) < 0 &&
         !(code >= kMarkerFirst && code <= kMarkerLast);
}

}  // namespace

SRectWH PolygonBounds(const TPoint* points, int32_t count) {
  if (points == nullptr || count < 1) return SRectWH{0, 0, 0, 0};
  int32_t minX = points[0].x, maxX = points[0].x, minY = points[0].y, maxY = points[0].y;
  for (int32_t i = 1; i < count; ++i) {
    minX = std::min(minX, points[i].x);
    maxX = std::max(maxX, points[i].x);
    minY = std::min(minY, points[i].y);
    maxY = std::max(maxY, points[i].y);
  }
  return SRectWH{minX - 2, minY - 2, maxX - minX + 4, maxY - minY + 4};
}

bool PlayOldEvents(TPaper& paper, TFlowImage* flow, TEventPacket& packets, uint16_t& code, int32_t& layersChanged,
                   WindowHandle window, TStroke& stroke, const UntitledNameSource& untitledName) {
  SOldStep s{paper, flow, packets, window, stroke, untitledName, layersChanged};
  if (packets.InStroke()) {
    layersChanged = 0;
    return PlayStrokePoint(s);
  }
  // A step that cannot read a whole event fails, so the caller reports it instead of playing
  // nothing for ever. An unknown code is read and reported before it fails the step.
  if (!packets.WholeEventAhead() && !UnknownCodeAhead(packets)) {
    layersChanged = 0;
    return false;
  }
  layersChanged = 1;
  uint16_t read = packets.ReadCode();
  code = read;
  // Every marker in a row is passed over; the reported code stays the first marker's.
  while (read >= kMarkerFirst && read <= kMarkerLast) {
    if (!packets.WholeEventAhead()) {
      if (UnknownCodeAhead(packets)) packets.ReadCode();
      return false;
    }
    read = packets.ReadCode();
  }
  if (read <= 4) return PlayStrokeStart(s, read);
  if (read == kOldEndCode) return false;
  for (const SOldRow& row : kOldRows)
    if (row.code == read) return row.play(s);
  return false;
}

}  // namespace tf
