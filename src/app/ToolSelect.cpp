#include "app/ToolSelect.h"

#include "paint/PaintParam.h"
#include "paint/ToolDefs.h"
#include <utility>

namespace tf {

namespace {
// Runs its function when the scope ends, by any path.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};
}  // namespace

// clang-format off
const std::array<uint8_t, kToolKindCount> ToolBoxGroupOfKind = {
    0, 0, 1, 1, 1, 2, 2, 3, 3, 4, 4, 4, 4, 4, 5, 5, 5, 5, 6, 6,
    6, 6, 7, 7, 8, 8, 8, 8, 9, 10, 10, 11, 11, 12, 13, 14, 14, 15};
const std::array<uint8_t, kToolKindCount> ToolDensityApplies = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
const std::array<uint8_t, kToolKindCount> AlternateToolKind = {
    1, 0, 3, 4, 2, 6, 5, 8, 7, 10, 11, 12, 13, 9, 15, 16, 17, 14, 19, 20,
    21, 18, 23, 22, 25, 26, 27, 24, 28, 30, 29, 32, 31, 33, 34, 35, 35, 37};

const std::array<SToolBoxGroup, kToolBoxGroupCount> ToolBoxGroups = {{
    {TextId::ToolBoxHint0, tgPencil4, 0, 'A', 0, true, 1, 2, 28, 23},
    {TextId::ToolBoxHint1, tgEraser4, 2, 'S', 0, true, 28, 2, 55, 23},
    {TextId::ToolBoxHint2, tgWaterColor4, 5, 'D', 0, true, 1, 23, 28, 44},
    {TextId::ToolBoxHint3, tgAirBrush4, 7, 'F', 0, true, 28, 23, 55, 44},
    {TextId::ToolBoxHint4, tgBlur4, 9, 'G', 0, true, 1, 44, 28, 65},
    {TextId::ToolBoxHint5, tgBurn4, 14, 'H', 0, true, 28, 44, 55, 65},
    {TextId::ToolBoxHint6, tgFillRectangle, 18, 'P', 0, true, 1, 71, 28, 92},
    {TextId::ToolBoxHint7, tgSeedFill, 22, 'J', 'K', true, 28, 71, 55, 92},
    {TextId::ToolBoxHint8, tgSelectRectangle, 24, 'L', 'M', true, 1, 92, 28, 113},
    {TextId::ToolBoxHint9, tgMagicWand, 28, 'W', 0, false, 28, 92, 55, 113},
    {TextId::ToolBoxHint10, tgMoveLayer, 29, 'V', 0, true, 1, 113, 28, 134},
    {TextId::ToolBoxHint11, tgFillText, 31, 'T', 0, true, 28, 113, 55, 134},
    {TextId::ToolBoxHint12, tgCrop, 33, 'C', 0, false, 1, 140, 28, 161},
    {TextId::ToolBoxHint13, tgSpuit, 34, 'I', 0, false, 28, 140, 55, 161},
    {TextId::ToolBoxHint14, tgGrabber, 35, 0, 0, false, 1, 161, 28, 182},
    {TextId::ToolBoxHint15, tgZoom, 37, 0, 0, false, 28, 161, 55, 182},
}};

namespace {
const TextId kMenuCaptions[33] = {
    TextId::ToolMenuPencil4, TextId::ToolMenuPencil1, TextId::ToolMenuEraser4, TextId::ToolMenuSeedEraser,
    TextId::ToolMenuEraser1, TextId::ToolMenuWaterColor4, TextId::ToolMenuWaterColor1, TextId::ToolMenuAirBrush4,
    TextId::ToolMenuAirBrush1, TextId::ToolMenuBlur4, TextId::ToolMenuFingerTip4, TextId::ToolMenuSpread4,
    TextId::ToolMenuBlur1, TextId::ToolMenuFingerTip1, TextId::ToolMenuBurn4, TextId::ToolMenuDodge4,
    TextId::ToolMenuBurn1, TextId::ToolMenuDodge1, TextId::ToolMenuFillRectangle, TextId::ToolMenuFillEllipse,
    TextId::ToolMenuFillPolygon, TextId::ToolMenuFillLasso, TextId::ToolMenuSeedFill, TextId::ToolMenuGradient,
    TextId::ToolMenuSelectRectangle, TextId::ToolMenuSelectEllipse, TextId::ToolMenuSelectPolygon,
    TextId::ToolMenuSelectLasso, TextId::ToolMenuPencil4 /* 28 has none */, TextId::ToolMenuLayerMove,
    TextId::ToolMenuLayerMoveWithSelection, TextId::ToolMenuFillText, TextId::ToolMenuSelectText};
}  // namespace
// clang-format on

bool ToolHasMenuItem(uint8_t kind) { return kind < 33 && kind != 28; }

TextId ToolMenuCaption(uint8_t kind) { return ToolHasMenuItem(kind) ? kMenuCaptions[kind] : TextId{}; }

CToolSelection::CToolSelection(ToolSelectionHost& host) : host_(host) {
  for (int32_t g = 0; g < kToolBoxGroupCount; ++g) {
    lastKind_[g] = DefaultToolOfBoxGroup(g);
    density_[g] = 100.0f;
  }
}

void CToolSelection::SetLastKindOfGroup(int32_t group, uint8_t kind) {
  // Only a kind of that group is kept (saved choices come from the settings file).
  if (kind < kToolKindCount && ToolBoxGroupOfKind[kind] == (group & 15)) lastKind_[group & 15] = kind;
}

void CToolSelection::SelectTool(uint8_t kind) {
  if (kind >= kToolKindCount || kind == kind_ || selecting_) return;
  const uint8_t oldGroup = switchingSet_ ? setGroup_[set_ ^ 1] : setGroup_[set_];
  lastKind_[oldGroup] = kind_;
  density_[oldGroup] = host_.ToolDensity();
  selecting_ = true;
  {
    ScopeExit clear([this] { selecting_ = false; });
    const bool applies = ToolDensityApplies[kind] != 0;
    const uint8_t newGroup = ToolBoxGroupOfKind[kind];
    const bool groupChanged = ToolBoxGroupOfKind[kind_] != newGroup;
    host_.EnableToolDensity(applies);
    kind_ = kind;
    uint8_t mode = ToolToDrawMode(kind);
    if (mode == 0) mode = SubPaintToDrawMode(host_.SubPaintShape());
    SetToolMode(mode, true);
    setGroup_[set_] = newGroup;
    lastKind_[newGroup] = kind;
    host_.PressGroupButton(newGroup, ToolToGlyph(kind));
    uint8_t paintKind = 0;
    if (ToolToPaintKind(kind, paintKind)) {
      host_.SetItemListPaintKind(paintKind);
      const bool wantsCurrent = PaintKindEngine(paintKind) == 2;
      if (wantsCurrent != (host_.StrokeEngine() == 2)) host_.ToggleStrokeEngine();
      if (host_.AutoFreeHand()) {
        host_.SetSubPaintShape(0);
        SetToolMode(SubPaintToDrawMode(0), true);
      }
    }
    if (!applies)
      host_.SetToolDensity(100.0f);
    else if (groupChanged)
      host_.SetToolDensity(density_[newGroup]);
  }
  host_.RefreshOptions();
}

void CToolSelection::SelectGroup(uint8_t group, bool alternate) {
  group &= 15;
  uint8_t kind = lastKind_[group];
  if (alternate && group == setGroup_[set_] && !selecting_) kind = AlternateKind(kind);
  SelectTool(kind);
}

void CToolSelection::SelectToolSet(uint8_t set) {
  set &= 1;
  if (set == set_) return;
  switchingSet_ = true;
  ScopeExit clear([this] { switchingSet_ = false; });
  set_ = set;
  SelectTool(lastKind_[setGroup_[set_]]);
}

bool CToolSelection::SetToolMode(uint8_t mode, bool cancel) {
  const bool changed = drawMode_ != mode;
  if (changingMode_) return changed;
  changingMode_ = true;
  ScopeExit clear([this] { changingMode_ = false; });
  const bool bound = host_.HasDrawWindow();
  if (bound) host_.DropToolHandler(cancel);
  drawMode_ = mode;
  if (bound) {
    host_.UpdateToolCursorAtMouse();
    host_.PickToolHandler();
  }
  return changed;
}

void CToolSelection::SubPaintChange() {
  if (selecting_) return;
  drawMode_ = SubPaintToDrawMode(host_.SubPaintShape());
  if (host_.HasDrawWindow()) host_.UpdateToolCursorAtMouse();
}

}  // namespace tf
