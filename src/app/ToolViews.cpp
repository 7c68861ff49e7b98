#include "app/ToolViews.h"

#include <cmath>

#include "app/AppProfile.h"
#include "app/DrawWindow.h"
#include "app/ToolWindow.h"
#include "document/LayerData.h"
#include "paint/ToolDefs.h"
#include "platform/Host.h"

namespace tf {

namespace ViewTools {

namespace {

constexpr double kPi = 3.14159265358979323846;

enum : uint8_t { kHand = 0, kRotate = 1, kBrushSize = 2 };
enum : uint8_t { kSeedFill = 2, kWand = 3, kMagicEraser = 4 };

// The modifier of the scheme: Ctrl in scheme 1, Alt in scheme 0.
bool SchemeKeyHeld() { return IsKeyDown(AppProfile().ShortcutMode == 1 ? kVkControl : kVkMenu); }

// ---- zoom ----

void ZoomClick(TDrawWindow& w, uint32_t, const TPoint& point) {
  const bool right = (w.InputFlags() & kInRight) != 0;
  bool in = right != (w.ToolMode() == 31);
  if ((w.InputFlags() & kInTempTool) == 0 && SchemeKeyHeld()) in = !in;
  w.ZoomStepAt(point, in);
}

// ---- eyedropper ----

void PickColour(TDrawWindow& w, uint32_t shift, const TPoint& point) {
  if ((w.InputFlags() & kInRight) != 0) shift = (shift & ~kSsLeft) | kSsRight;
  w.PickColourAt(point, shift);
}

// ---- view drags ----

uint8_t ViewVariant(TDrawWindow& w) {
  uint8_t index = kHand;
  HandToolIndex(index, static_cast<uint8_t>(w.ToolMode()));
  return index;
}

bool Rotating(TDrawWindow& w, uint8_t variant) {
  return variant == kRotate || (variant == kHand && (w.InputFlags() & kInRight) != 0);
}

void ViewDown(TDrawWindow& w, uint32_t, const TPoint& point) {
  const uint8_t variant = ViewVariant(w);
  if (variant == kBrushSize) {
    ToolWindow* tool = w.Owner().Tool();
    w.ValueAtPress() = tool != nullptr ? tool->GetNibSize() : 0.0f;
  } else {
    w.SuspendSmoothing();
    if (Rotating(w, variant)) w.ValueAtPress() = w.Document().rotation.radians;
  }
  w.SetLastDragPoint(point);
}

void Rotate(TDrawWindow& w, const TPoint& point) {
  if (point == w.LastDragPoint()) return;
  w.BuildCanvasRegion();
  const SSize client = w.Site().ClientSize();
  const TPoint c{client.width / 2, client.height / 2};
  const double px = w.PressPoint().x - c.x, py = w.PressPoint().y - c.y;
  const double qx = point.x - c.x, qy = point.y - c.y;
  const double phi = std::atan2(px * qy - py * qx, px * qx + py * qy);
  const bool first = (w.InputFlags() & kInChanged) == 0;
  w.SetViewRotation(first, static_cast<float>((w.ValueAtPress() - phi) * 180.0 / kPi));
  w.SetInputFlag(kInChanged, true);
  w.SetLastDragPoint(point);
}

void ViewDrag(TDrawWindow& w, uint32_t, const TPoint& point) {
  const uint8_t variant = ViewVariant(w);
  if (variant == kBrushSize) {
    ToolWindow* tool = w.Owner().Tool();
    const int32_t dx = point.x - w.PressPoint().x;
    if (tool != nullptr && dx != 0) {
      float minimum = 0, maximum = 0;
      tool->GetNibSizeLimits(minimum, maximum);
      tool->SetNibSize(BrushSizeAfterDrag(w.ValueAtPress(), dx, minimum, maximum));
      w.SetInputFlag(kInChanged, true);
    }
    w.DrawBrushOutlineAt(point.x, point.y);
    return;
  }
  if (Rotating(w, variant)) {
    Rotate(w, point);
    return;
  }
  const TPoint last = w.LastDragPoint();
  if (point == last) return;
  w.ScrollBy(point.x - last.x, point.y - last.y);
  w.SetLastDragPoint(point);
}

void ViewUp(TDrawWindow& w, uint32_t, const TPoint&) {
  const uint8_t variant = ViewVariant(w);
  if (variant == kBrushSize) return;
  w.RestoreSmoothing();
  if (!Rotating(w, variant)) return;
  if ((w.InputFlags() & kInChanged) == 0) {
    // A click without a drag turns the view back upright.
    w.ResetViewRotation();
    w.RefreshView(false);
  } else if (w.Document().UseSmoothZoom()) {
    w.RefreshView(true);
  }
}

void ViewKey(TDrawWindow& w, int32_t key, uint32_t) {
  const uint16_t flags = w.InputFlags();
  if (key != kKeyEscape || (flags & (kInLeft | kInRight | kInMiddle)) == 0) return;
  if (!Rotating(w, ViewVariant(w))) return;
  if ((flags & kInChanged) != 0) {
    if (w.ValueAtPress() == 0.0f) {
      w.ResetViewRotation();
    } else {
      w.SetViewRotation(false, static_cast<float>(w.ValueAtPress() * 180.0 / kPi));
      w.Document().SetRotationAngle(w.ValueAtPress());
    }
    w.RefreshView(false);
  }
  w.RestoreSmoothing();
  const MouseButton button = (flags & kInRight) != 0 ? MouseButton::kRight
                             : (flags & kInMiddle) != 0 ? MouseButton::kMiddle
                                                        : MouseButton::kLeft;
  w.SetInputFlag(kInChanged, false);
  // The drag ends without its release routine: the view stays as restored.
  w.EndButton(button, 0, nullptr);
}

// ---- click tools ----

void ClickTool(TDrawWindow& w, uint32_t, const TPoint& point) {
  uint8_t index = 0;
  if (!ClickToolIndex(index, static_cast<uint8_t>(w.ToolMode()))) return;
  TPaper& paper = w.Document();
  const int32_t layer = paper.GetActiveLayerIndex();
  const CLayerData* data = paper.GetLayer(layer);
  if (data == nullptr) return;
  float cx = 0, cy = 0;
  w.ClientToCanvasF(static_cast<float>(point.x), static_cast<float>(point.y), cx, cy);
  const TPoint offset = paper.GetLayerOffset(layer);
  const TPoint seed{TruncToInt(cx) + offset.x, TruncToInt(cy) + offset.y};
  const TPoint size{data->StoreWidth(), data->StoreHeight()};
  if (seed.x < 0 || seed.y < 0 || seed.x >= size.x || seed.y >= size.y) return;
  const CAppProfile& profile = AppProfile();
  bool done = false;
  if (index == kWand) {
    done = paper.MagicWand(&w.Flow(), layer, true, profile.wandAntiAlias, paper.GetSelectionCombineMode(), seed);
  } else {
    done = paper.BucketFill(&w.Flow(), layer, true, index == kMagicEraser, profile.fillAntiAlias, seed);
  }
  if (done) w.SetModified(true);
  w.RefreshView(true);
  w.SetInputFlag(kInChanged, true);
}

void ClickHover(TDrawWindow& w, uint32_t shift, const TPoint& point) {
  w.TrackPointer(point);
  if (w.ToolMode() != 20) return;
  const int32_t cursor = WandCursor(w, shift);
  if (cursor != 0) w.Site().SetCursorSlot(cursor);
}

}  // namespace

float BrushSizeAfterDrag(float sizeAtPress, int32_t dx, float minimum, float maximum) {
  // An image nib whose scale range is a single value has no range to spread the drag over.
  if (!(maximum > minimum)) return sizeAtPress;
  const float d = static_cast<float>(dx) * 100.0f;
  return sizeAtPress + d / (maximum - minimum);
}

int32_t WandCursor(TDrawWindow& w, uint32_t shift) {
  int32_t group = 0, variant = 0;
  if ((w.InputFlags() & kInTempTool) != 0 || w.GetTempTool(group, variant, true)) return 0;
  if (!w.Document().HasActiveMask()) return 22;
  const int32_t c = SchemeKeyHeld() ? 36 : 34;
  const bool shifted = (shift & kSsShift) != 0 || IsKeyDown(kVkShift);
  if (AppProfile().OtherToolCursor != 0) return shifted ? c + 1 : c;
  return shifted ? c - 11 : c - 12;
}

SToolHandler ZoomRecord() {
  SToolHandler h;
  h.leftDown = &ZoomClick;
  h.rightDown = &ZoomClick;
  h.leftDouble = &ToolRoutines::GrabberReset;
  h.hover = &ToolRoutines::TrackPointer;
  h.commit = &ToolRoutines::NoCommit;
  h.cancel = &ToolRoutines::Finish;
  return h;
}

SToolHandler EyedropperRecord() {
  SToolHandler h = ZoomRecord();
  h.leftDown = &PickColour;
  h.rightDown = &PickColour;
  return h;
}

SToolHandler ViewRecord() {
  SToolHandler h = ZoomRecord();
  h.leftDown = &ViewDown;
  h.leftDrag = &ViewDrag;
  h.leftUp = &ViewUp;
  h.rightDown = &ViewDown;
  h.rightDrag = &ViewDrag;
  h.rightUp = &ViewUp;
  h.keyDown = &ViewKey;
  return h;
}

SToolHandler ClickRecord() {
  SToolHandler h = ZoomRecord();
  h.leftDown = &ClickTool;
  h.rightDown = &ToolRoutines::RightPick;
  h.hover = &ClickHover;
  return h;
}

}  // namespace ViewTools

}  // namespace tf
