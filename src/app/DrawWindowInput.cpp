// TDrawWindow: the tool input dispatch: buttons, drags, hover, keys, temporary tools, finishing,
// auto-scroll, the tool cursor and the right-button colour pick.
#include <algorithm>

#include "app/AppProfile.h"
#include "app/DrawWindow.h"
#include "app/ToolWindow.h"
#include "document/LayerData.h"
#include "paint/PaintParam.h"
#include "paint/Stroke.h"
#include "paint/ToolDefs.h"
#include "platform/Debug.h"
#include "platform/Host.h"

namespace tf {

namespace {

// The middle button's tools by mouseMBtnFunc: (group, variant).
constexpr uint8_t kMiddleTools[11][2] = {{3, 0}, {3, 1}, {3, 2}, {5, 0}, {5, 3}, {7, 0},
                                         {7, 3}, {4, 2}, {8, 0}, {8, 3}, {4, 3}};

// Cursor slots of the tool modes (mode 0 is chosen by the paint kind).
constexpr int32_t kModeCursor[kDrawModeCount] = {
    5,  5,  5,  5,  5,  5,  5,  5,  5,  5,  5,  5,  21, 13, 5,  5,  5,
    5,  26, 26, 22, 26, 26, 26, 26, 27, 27, 5,  28, 31, 31, 32, 33};

// Cursor slots of the current engine's paint kinds 9..17 (pencil, eraser, brush, airbrush, blur,
// fingertip, spread, burn, dodge); the older pens take the pencil.
int32_t PaintKindCursor(uint8_t kind) {
  constexpr int32_t kKinds[9] = {12, 13, 14, 15, 16, 17, 18, 19, 20};
  kind &= 0x7F;
  return kind >= 9 && kind <= 17 ? kKinds[kind - 9] : 12;
}

void Call(ToolPointRoutine routine, TDrawWindow& window, uint32_t shift, const TPoint& point) {
  if (routine != nullptr) routine(window, shift, point);
}

}  // namespace

int32_t TDrawWindow::ToolMode() const {
  const ToolWindow* tool = const_cast<DrawWindowOwner&>(owner_).Tool();
  return tool != nullptr ? tool->ToolMode() : 0;
}

bool TDrawWindow::PressAllowed() const {
  if (!playing_) return true;
  return ToolGroupEditsDocument(DrawModeGroup(static_cast<uint8_t>(ToolMode()))) == 0;
}

void TDrawWindow::SelectToolHandler(bool cancelOld) {
  if (cancelOld) RunAbandonRoutine();
  if (cancelOld && handler_ != nullptr && handler_->cancel != nullptr) {
    const TPoint mouse = site_.MousePosition();
    inputFlags_ |= kInCallback;
    handler_->cancel(*this, &mouse);
    inputFlags_ &= ~kInCallback;
  }
  if (handler_ == &IdleToolHandler()) return;
  handler_ = &ToolHandlerOf(DrawModeGroup(static_cast<uint8_t>(ToolMode())));
}

void TDrawWindow::InstallIdleHandler() { handler_ = &IdleToolHandler(); }

// ---- buttons ----

void TDrawWindow::FormMouseDown(MouseButton button, uint32_t shift, int32_t x, int32_t y) {
  if ((inputFlags_ & kInIgnoreMouse) != 0) return;
  const TPoint point{x, y};
  const bool twice = (shift & kSsDouble) != 0;
  if (!twice) {
    if ((inputFlags_ & (kInLeft | kInRight)) != 0) return;
    if ((inputFlags_ & kInMiddle) != 0) {
      // A press during a middle-button drag drops that drag without its up routine.
      inputFlags_ &= ~kInMiddle;
      StopAutoScroll();
      const bool overlay = (inputFlags_ & kInOverlay) != 0;
      inputFlags_ &= ~(kInIgnoreMouse | kInCollecting | kInOverlay);
      if (overlay) RefreshView(true);
      site_.Beep();
    }
  }
  auto begin = [&](uint16_t held) {
    inputFlags_ |= held | kInDrag;
    inputFlags_ &= ~kInChanged;
    if ((inputFlags_ & kInCollecting) == 0) pressPoint_ = point;
  };
  switch (button) {
    case MouseButton::kLeft: {
      if (twice) {
        if (PressAllowed()) {
          Call(handler_->leftDouble, *this, shift, point);
        } else {
          site_.Beep();
        }
        return;
      }
      begin(kInLeft);
      int32_t group = 0, variant = 0;
      if (GetTempTool(group, variant, false)) BeginTempTool(group, variant);
      if (PressAllowed()) {
        Call(handler_->leftDown, *this, shift, point);
      } else {
        EndButton(MouseButton::kLeft, shift, nullptr);
        site_.Beep();
      }
      return;
    }
    case MouseButton::kRight: {
      if (twice) {
        if (PressAllowed()) {
          Call(handler_->rightDouble, *this, shift, point);
        } else {
          site_.Beep();
        }
        return;
      }
      begin(kInRight);
      int32_t group = 0, variant = 0;
      if (GetTempTool(group, variant, false) && group >= 1 && group <= 3) BeginTempTool(group, variant);
      if (PressAllowed()) {
        Call(handler_->rightDown, *this, shift, point);
      } else {
        EndButton(MouseButton::kRight, shift, nullptr);
        site_.Beep();
      }
      return;
    }
    case MouseButton::kMiddle: {
      if (twice || (inputFlags_ & kInMiddle) != 0) return;
      begin(kInMiddle);
      const int32_t function = std::clamp(AppProfile().mouseMBtnFunc, 0, 10);
      BeginTempTool(kMiddleTools[function][0], kMiddleTools[function][1]);
      if (PressAllowed()) {
        Call(handler_->leftDown, *this, shift, point);
      } else {
        EndButton(MouseButton::kMiddle, shift, nullptr);
        site_.Beep();
      }
      return;
    }
  }
}

void TDrawWindow::FormMouseMove(uint32_t shift, int32_t x, int32_t y) {
  if ((inputFlags_ & kInIgnoreMouse) != 0) return;
  const TPoint point{x, y};
  if ((inputFlags_ & kInRight) != 0) {
    Call(handler_->rightDrag, *this, shift, point);
  } else if ((inputFlags_ & kInLeft) != 0) {
    Call(handler_->leftDrag, *this, shift, point);
  } else if ((shift & kSsMiddle) != 0) {
    if ((inputFlags_ & kInMiddle) != 0 && (inputFlags_ & kInTempTool) != 0)
      Call(handler_->leftDrag, *this, shift, point);
  } else if ((shift & kSsDouble) == 0) {
    Call(handler_->hover, *this, shift, point);
  }
  lastDrag_ = point;
}

void TDrawWindow::FormMouseUp(MouseButton button, uint32_t shift, int32_t x, int32_t y) {
  const TPoint point{x, y};
  EndButton(button, shift, &point);
}

void TDrawWindow::EndButton(MouseButton button, uint32_t shift, const TPoint* point) {
  if (point == nullptr) RunAbandonRoutine();
  switch (button) {
    case MouseButton::kLeft:
      if ((inputFlags_ & kInLeft) != 0) {
        if (point != nullptr) Call(handler_->leftUp, *this, shift, *point);
        EndTempTool(point != nullptr);
        inputFlags_ &= ~(kInLeft | kInDrag | kInIgnoreMouse);
      }
      break;
    case MouseButton::kRight:
      if ((inputFlags_ & kInRight) != 0) {
        if (point != nullptr) Call(handler_->rightUp, *this, shift, *point);
        EndTempTool(point != nullptr);
        inputFlags_ &= ~(kInRight | kInDrag | kInIgnoreMouse);
      }
      break;
    case MouseButton::kMiddle:
      if ((inputFlags_ & kInMiddle) != 0) {
        if (point != nullptr) Call(handler_->leftUp, *this, shift, *point);
        EndTempTool(point != nullptr);
        inputFlags_ &= ~(kInMiddle | kInDrag | kInIgnoreMouse);
      }
      break;
  }
  if (point != nullptr && (inputFlags_ & kInTempTool) == 0) UpdateToolCursor(point->x, point->y);
  StopAutoScroll();
}

void TDrawWindow::FinishPending() {
  bool ended = true;
  if ((inputFlags_ & kInLeft) != 0) {
    EndButton(MouseButton::kLeft, kSsLeft, nullptr);
  } else if ((inputFlags_ & kInMiddle) != 0) {
    EndButton(MouseButton::kMiddle, kSsMiddle, nullptr);
  } else if ((inputFlags_ & kInRight) != 0) {
    EndButton(MouseButton::kRight, kSsRight, nullptr);
  } else {
    ended = false;
    if ((inputFlags_ & kInKeyMove) != 0 && handler_->cancel != nullptr) {
      inputFlags_ |= kInCallback;
      handler_->cancel(*this, nullptr);
      inputFlags_ &= ~kInCallback;
    }
  }
  if (ended) {
    const bool overlay = (inputFlags_ & kInOverlay) != 0;
    inputFlags_ &= ~(kInIgnoreMouse | kInCollecting | kInOverlay);
    if (overlay) RefreshView(true);
  }
}

void TDrawWindow::Finish(const TPoint* point) {
  if ((inputFlags_ & kInLeft) != 0) {
    if (point != nullptr) Call(handler_->leftUp, *this, kSsLeft, *point);
    inputFlags_ &= ~kInLeft;
  } else if ((inputFlags_ & kInRight) != 0) {
    if (point != nullptr) Call(handler_->rightUp, *this, kSsRight, *point);
    inputFlags_ &= ~kInRight;
  } else if ((inputFlags_ & kInMiddle) != 0) {
    if (point != nullptr) Call(handler_->leftUp, *this, kSsMiddle, *point);
    inputFlags_ &= ~kInMiddle;
  }
  EndTempTool(false);
  const bool overlay = (inputFlags_ & kInOverlay) != 0;
  inputFlags_ &= ~(kInDrag | kInChanged | kInIgnoreMouse | kInCollecting | kInOverlay);
  StopAutoScroll();
  if (overlay) RefreshView(false);
  const TPoint at = point != nullptr ? *point : site_.MousePosition();
  UpdateToolCursor(at.x, at.y);
}

// ---- temporary tools ----

bool TDrawWindow::GetTempTool(int32_t& group, int32_t& variant, bool forHover) const {
  const bool alt = IsKeyDown(kVkMenu);
  const bool ctrl = IsKeyDown(kVkControl);
  const bool shift = IsKeyDown(kVkShift);
  const bool space = IsKeyDown(kVkSpace);
  const auto mode = static_cast<uint8_t>(ToolMode());
  const int32_t g = DrawModeGroup(mode);
  const int32_t v = DrawModeVariant(mode);
  const bool selectionLike = g == 8 || (g == 4 && v == 3 && paper_ != nullptr && paper_->HasActiveMask());
  const int32_t scheme = AppProfile().ShortcutMode;
  auto answer = [&](int32_t a, int32_t b) {
    group = a;
    variant = b;
    return true;
  };
  if (scheme != 0 && scheme != 1) return answer(g, v);
  if (ctrl && space) return answer(1, alt ? 1 : 0);
  if (ctrl && alt && !space && !selectionLike) return answer(3, 2);
  if (space && !ctrl && !alt) return answer(3, 0);
  if (scheme == 0 ? (alt && space && !ctrl) : (alt && !ctrl && !shift && !space)) return answer(3, 1);
  if (scheme == 0 ? (alt && !ctrl && !space && !selectionLike && g != 1)
                  : (shift && !ctrl && !alt && !space && !selectionLike && g != 1 && g != 3))
    return answer(2, 0);
  if (g == 1 && (scheme == 0 ? alt : ctrl)) return answer(1, 1);
  if (!forHover && g == 8 && !shift && !(scheme == 0 ? alt : ctrl) && paper_ != nullptr) {
    const TPoint mouse = site_.MousePosition();
    if (paper_->SelectionValueAt(mouse.x, mouse.y) > 0) return answer(5, 1);
  }
  return false;
}

bool TDrawWindow::BeginTempTool(int32_t group, int32_t variant) {
  if ((inputFlags_ & kInTempTool) != 0) return false;
  if (playing_ && ToolGroupEditsDocument(static_cast<uint8_t>(group)) != 0) return false;
  const uint8_t mode = DrawModeOfGroupVariant(static_cast<uint8_t>(group), static_cast<uint8_t>(variant));
  if (mode == kNotFound) return false;
  ToolWindow* tool = owner_.Tool();
  if (tool == nullptr) return false;
  savedToolMode_ = static_cast<uint8_t>(tool->ToolMode());
  tool->SetToolMode(mode, false);
  temporaryMode_ = mode;
  SelectToolHandler(false);
  inputFlags_ |= kInTempTool;
  return true;
}

void TDrawWindow::EndTempTool(bool refresh) {
  if ((inputFlags_ & kInTempTool) == 0) return;
  inputFlags_ &= ~(kInTempTool | kInOverlay);
  temporaryMode_ = -1;
  if (ToolWindow* tool = owner_.Tool()) tool->SetToolMode(savedToolMode_, refresh);
  SelectToolHandler(false);
}

// ---- hover, cursor, outline ----

void TDrawWindow::TrackPointer(const TPoint& client) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  lastMouse_ = client;
  float cx = 0, cy = 0;
  ClientToCanvasF(static_cast<float>(client.x), static_cast<float>(client.y), cx, cy);
  lastCanvas_ = SPointF{cx, cy};
  if (ToolWindow* tool = owner_.Tool()) tool->UpdateInfoPane(1, TruncToInt(cx), TruncToInt(cy));
}

int32_t TDrawWindow::EffectiveToolMode() const {
  int32_t group = 0, variant = 0;
  if ((inputFlags_ & kInTempTool) == 0 && GetTempTool(group, variant, true)) {
    const uint8_t mode = DrawModeOfGroupVariant(static_cast<uint8_t>(group), static_cast<uint8_t>(variant));
    if (mode != kNotFound) return mode;
  }
  return ToolMode();
}

void TDrawWindow::UpdateToolCursor(int32_t x, int32_t y) {
  (void)x;
  (void)y;
  const int32_t mode = EffectiveToolMode();
  const CAppProfile& profile = AppProfile();
  if (mode != 0) {
    site_.SetCursorSlot(mode >= 0 && mode < kDrawModeCount ? kModeCursor[mode] : 5);
    if (mode != 6) EraseBrushOutline();
    return;
  }
  if (profile.BrushGhost && !profile.ShowGhostCenter) {
    site_.SetCursorSlot(0);
    return;
  }
  ToolWindow* tool = owner_.Tool();
  const TPaintParam* param = tool != nullptr ? tool->GetPaintParam() : nullptr;
  site_.SetCursorSlot(param != nullptr ? PaintKindCursor(param->kind) : 5);
}

// ---- keys ----

bool TDrawWindow::KeyDown(int32_t key, bool autoRepeat, uint32_t shift) {
  const bool ctrl = (shift & kSsCtrl) != 0;
  const bool alt = (shift & kSsAlt) != 0;
  const bool shiftKey = (shift & kSsShift) != 0;
  bool handled = false;
  if (!autoRepeat) {
    handled = true;
    if (key == kKeyBack || key == kKeyDelete) {
      if (paper_ != nullptr && paper_->HasSelection() && paper_->selectionEnabled != 0) {
        DebugOut("Clearing the selected area is not built yet (the window's fill commands).\n");
      } else if (PrepareCommand(false, false)) {
        if (paper_->ClearLayer(flow_.get(), paper_->GetActiveLayerIndex(), true)) RefreshAfterEdit(false, true, true);
      }
    } else if ((key == kKeyEnter || key == kKeyEscape) && playing_ && !ctrl && (inputFlags_ & kInCallback) == 0) {
      SetPlaybackPause(!playbackPaused_);
    } else if (key == kKeyInsert) {
      DebugOut("Filling the layer with a colour is not built yet (the window's fill commands).\n");
    } else if (ctrl && alt && !shiftKey && key == kKeyF) {
      owner_.RepeatFilter();
    } else if (ctrl && alt && shiftKey && key == kKeyN) {
      owner_.NewStandardLayer();
    } else if ((ctrl && (key == kKeyPadPlus || key == kKeyPlus) && !site_.IsMinimized()) || key == kKeyF5) {
      ZoomStep(true);
    } else if ((ctrl && (key == kKeyPadMinus || key == kKeyMinus) && !site_.IsMinimized()) ||
               (key == kKeyF6 && !ctrl)) {
      ZoomStep(false);
    } else if (key == kKeyF6 && ctrl) {
      owner_.ActivateNextWindow(shiftKey);
    } else {
      handled = false;
    }
  }
  if (!handled && (inputFlags_ & kInCallback) == 0 && handler_->keyDown != nullptr) {
    handler_->keyDown(*this, key, autoRepeat ? (1u << 30) : 0u);
    handled = true;
  }
  if (!handled || !autoRepeat) {
    const TPoint mouse = site_.MousePosition();
    UpdateToolCursor(mouse.x, mouse.y);
  }
  return handled;
}

void TDrawWindow::KeyUp() {
  const TPoint mouse = site_.MousePosition();
  UpdateToolCursor(mouse.x, mouse.y);
}

bool TDrawWindow::HandleCloseKey(int32_t key) {
  if (key != kKeyF4) return false;
  owner_.PostMainClose();
  return true;
}

bool TDrawWindow::CanRefreshPanes() const {
  const int32_t g = DrawModeGroup(static_cast<uint8_t>(ToolMode()));
  return !((g == 5 || g == 6 || g == 7) && (inputFlags_ & kInChanged) != 0);
}

// ---- auto-scroll ----

void TDrawWindow::TimerAutoScrollTimer() {
  if (!AppProfile().useAutoScroll || paper_ == nullptr || paper_->ready == 0) return;
  SSize client = site_.ClientSize();
  if (site_.ScrollBarsVisible()) {
    client.width -= site_.ScrollBarThickness(false);
    client.height -= site_.ScrollBarThickness(true);
  }
  const TPoint delta = AutoScrollDelta(site_.MousePosition(), client.width, client.height);
  if (delta.x == 0 && delta.y == 0) return;
  SuspendSmoothing();
  autoScrolled_ = true;
  ScrollBy(delta.x, delta.y);
  for (TPoint& p : positions_) {
    p.x += delta.x;
    p.y += delta.y;
  }
  pressPoint_.x += delta.x;
  pressPoint_.y += delta.y;
  BuildCanvasRegion();
}

void TDrawWindow::StopAutoScroll() {
  if (autoScrolled_ && ViewNeedsRebuild()) {
    autoScrolled_ = false;
    RestoreSmoothing();
    RefreshView(true);
  }
  autoScrolled_ = false;
  site_.SetAutoScrollTimer(false);
}

// ---- colour pick ----

void TDrawWindow::PickColourAt(const TPoint& client, uint32_t shift) {
  if (IsStrokeActive() || paper_ == nullptr || paper_->ready == 0) return;
  const TPoint c = ClientToCanvasInt(client.x, client.y);
  uint32_t pixel = 0;
  if ((shift & kSsCtrl) != 0) {
    const CLayerData* layer = paper_->GetLayer(paper_->GetActiveLayerIndex());
    if (layer == nullptr || layer->Store() == nullptr) return;
    pixel = layer->Store()->GetPixelClamped(c.x + layer->offsetX, c.y + layer->offsetY);
  } else {
    const TMTC& display = paper_->DisplayBuffer();
    if (!display.IsValid()) return;
    pixel = display.GetPixelClamped(c.x, c.y);
  }
  ToolWindow* tool = owner_.Tool();
  if (tool == nullptr) return;
  const TStroke& stroke = tool->GetStroke();
  const uint32_t colour = (pixel & 0xFFFFFFu) | 0xFF000000u;
  if ((shift & kSsRight) != 0) {
    if ((stroke.GetBackColor() & 0xFFFFFFu) != (pixel & 0xFFFFFFu)) tool->SetBackColor(colour);
  } else {
    if ((stroke.GetColor() & 0xFFFFFFu) != (pixel & 0xFFFFFFu)) tool->SetForeColor(colour);
  }
}

// ---- the common routines ----

namespace ToolRoutines {

void PenDown(TDrawWindow& window, uint32_t, const TPoint& point) {
  if (window.Owner().TabletPenInProximity()) return;
  if (TStroke* stroke = window.MainStroke())
    window.StrokeTo(*stroke, false, static_cast<float>(point.x), static_cast<float>(point.y), 1.0f);
}

void PenDrag(TDrawWindow& window, uint32_t, const TPoint& point) {
  window.TrackPointer(point);
  if (window.Owner().TabletPenInProximity()) return;
  if (TStroke* stroke = window.MainStroke())
    window.StrokeTo(*stroke, false, static_cast<float>(point.x), static_cast<float>(point.y), 1.0f);
  window.Site().SetAutoScrollTimer(true);
}

void PenUp(TDrawWindow& window, uint32_t, const TPoint& point) {
  if (TStroke* stroke = window.MainStroke())
    window.StrokeEnd(*stroke, false, static_cast<float>(point.x), static_cast<float>(point.y));
  window.RestoreSmoothing();
}

void GrabberReset(TDrawWindow&, uint32_t, const TPoint&) {
  // The view grabber lives in the tool window, which does not hand it out yet.
  DebugOut("GrabberReset: the tool window's view grabber is not reachable yet; nothing reset\n");
}

void RightPick(TDrawWindow& window, uint32_t shift, const TPoint& point) {
  if (!AppProfile().useRBtnColPicker) return;
  if ((shift & kSsShift) == 0) shift = (shift & ~kSsRight) | kSsLeft;
  window.PickColourAt(point, shift);
}

void TrackPointer(TDrawWindow& window, uint32_t, const TPoint& point) { window.TrackPointer(point); }

void Finish(TDrawWindow& window, const TPoint* point) { window.Finish(point); }

bool NoCommit(TDrawWindow&, const TPoint&, const TPoint&) { return false; }

}  // namespace ToolRoutines

}  // namespace tf
