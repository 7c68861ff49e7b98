#include "app/GradientStops.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "paint/Gradient.h"
#include "raster/Appearance.h"

namespace tf {

namespace {

constexpr SChannelOps kOver{ChannelBlend, ChannelKeep};
constexpr float kEpsilon = 1.1920929e-7f;

float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

struct SMarkers {
  std::array<TMemoryGraphic, 4> glyphs;  // normal, normal joined, selected, selected joined
  bool built = false;
};
SMarkers& Markers() {
  static SMarkers markers;
  return markers;
}

// The index table of one marker: 0 transparent, 1 outline, 2 ring, 3 fill.
std::array<uint8_t, 225> MarkerTable(bool joined) {
  std::array<uint8_t, 225> t{};
  for (int32_t r = 0; r < 15; ++r) {
    const int32_t k = 7 - std::abs(r - 7);
    for (int32_t c = 7 - k; c <= 7 + k; ++c) {
      const int32_t inside = std::min(c - (7 - k), (7 + k) - c);
      t[static_cast<size_t>(r * 15 + c)] = inside == 0 ? 1 : (inside <= 2 ? 2 : 3);
    }
  }
  if (joined) {
    for (int32_t r = 1; r <= 13; ++r) t[static_cast<size_t>(r * 15 + 7)] = 1;
    for (int32_t r = 2; r <= 12; ++r) {
      t[static_cast<size_t>(r * 15 + 6)] = 2;
      t[static_cast<size_t>(r * 15 + 8)] = 2;
    }
  }
  return t;
}

void BuildMarkers(SMarkers& m) {
  const auto& c = AppearanceColors;
  auto alpha = [](uint32_t colour, uint32_t a) { return (colour & 0x00FFFFFFu) | (a << 24); };
  const uint32_t clear = alpha(c[acBtnFace], 0);
  const uint32_t normal[4] = {clear, alpha(c[acGrayText], 170), alpha(c[acBtnFace], 170), alpha(c[acGrayText], 170)};
  const uint32_t selected[4] = {clear, alpha(c[acWindowFrame], 255), alpha(c[acHighlightText], 255),
                                alpha(c[acHighlight], 255)};
  for (int32_t i = 0; i < 4; ++i) {
    const std::array<uint8_t, 225> table = MarkerTable((i & 1) != 0);
    const uint32_t* colours = i < 2 ? normal : selected;
    TMemoryGraphic& g = m.glyphs[static_cast<size_t>(i)];
    g = TMemoryGraphic(15, 15, clear);
    for (int32_t p = 0; p < 225; ++p) g.SetPixel(p % 15, p / 15, colours[table[static_cast<size_t>(p)]]);
  }
  m.built = true;
}

SColorValue ColourFromPixel(uint32_t pixel) {
  SColorValue v;
  BGRAToColorValue(pixel, v);
  return v;
}

}  // namespace

const TMemoryGraphic& GradientMarker(bool selected, bool joined) {
  SMarkers& m = Markers();
  if (!m.built) BuildMarkers(m);
  return m.glyphs[static_cast<size_t>((selected ? 2 : 0) + (joined ? 1 : 0))];
}

void ResetGradientMarkers() { Markers().built = false; }

// ---------------------------------------------------------------------------------------------
// One stop

TGradientEditPos TGradientEditPos::Create(float position) {
  return CreateStop(kStopOwnColor, position, ColourFromPixel(0xFF000000u), 1.0f);
}

TGradientEditPos TGradientEditPos::CreateStop(uint8_t kind, float position, const SColorValue& colour,
                                              float opacity) {
  TGradientEditPos p;
  p.kind = kind;
  p.position = position;
  p.colour = colour;
  p.opacity = opacity;
  p.joined = false;
  return p;
}

TGradientEditPos TGradientEditPos::CreateFromSlot(const SColorSlot& slot) {
  TGradientEditPos p = Create(0.0f);
  p.LoadFromSlot(slot);
  return p;
}

void TGradientEditPos::LoadFromSlot(const SColorSlot& slot) {
  if (slot.used == 0 || slot.active == 0) return;
  position = static_cast<float>(slot.position) / 65536.0f;
  const uint8_t source = static_cast<uint8_t>(slot.color >> 24);
  kind = source == kSourceForeground ? kStopForeground : (source == kSourceBackground ? kStopBackground : kStopOwnColor);
  ColorValueFromRGB(static_cast<float>(slot.color & 0xFF) / 255.0f, static_cast<float>((slot.color >> 8) & 0xFF) / 255.0f,
                    static_cast<float>((slot.color >> 16) & 0xFF) / 255.0f, colour);
  opacity = static_cast<float>(slot.alpha) / 255.0f;
  joined = slot.flag == 0;
}

void TGradientEditPos::SaveToSlot(SColorSlot& slot, int32_t index, float next) const {
  slot.used = 1;
  slot.active = 1;
  slot.flag = joined ? 0 : 1;
  slot.alpha = ColorComponentToByte(opacity);
  slot.index = index;
  const uint32_t source =
      kind == kStopForeground ? kSourceForeground : (kind == kStopBackground ? kSourceBackground : kSourceFixed);
  slot.color = uint32_t{ColorComponentToByte(colour.rgb.r)} | uint32_t{ColorComponentToByte(colour.rgb.g)} << 8 |
               uint32_t{ColorComponentToByte(colour.rgb.b)} << 16 | source << 24;
  const int32_t from = static_cast<int32_t>(Clamp01(position) * 65536.0f + 0.5f);
  const int32_t to = static_cast<int32_t>(Clamp01(next) * 65536.0f + 0.5f);
  slot.weight = to - from;
  slot.position = from;
  slot.span = 0x10000;
}

// ---------------------------------------------------------------------------------------------
// The editor

CGradientStops::CGradientStops() {
  foreground_ = ColourFromPixel(0xFF000000u);
  background_ = ColourFromPixel(0xFFFFFFFFu);
  stops_.push_back(TGradientEditPos::CreateStop(kStopOwnColor, 0.0f, ColourFromPixel(0xFF000000u), 1.0f));
  stops_.push_back(TGradientEditPos::CreateStop(kStopOwnColor, 1.0f, ColourFromPixel(0xFFFFFFFFu), 1.0f));
  control_.SetBackground(AppearanceColors[acBtnFace]);
  bar_.SetBackground(AppearanceColors[acBtnFace]);
}

void CGradientStops::SetSize(int32_t width, int32_t height) {
  width_ = std::max(width, kGradientEditMinWidth);
  height_ = std::max(height, kGradientEditMinHeight);
  control_.SetSize(width_, height_);
  bar_.SetSize(width_ - 13, height_);
  RenderBar();
  Render();
}

void CGradientStops::Changed() {
  RenderBar();
  Render();
  if (OnChange) OnChange();
}

void CGradientStops::SetSelectIndex(int32_t index) {
  if (!IsValidIndex(index)) return;
  if (Joined(index - 1)) --index;
  selected_ = index;
  Render();
  if (OnChange) OnChange();
}

void CGradientStops::SetForeground(const SColorValue& colour) {
  foreground_ = colour;
  RenderBar();
  Render();
}

void CGradientStops::SetBackground(const SColorValue& colour) {
  background_ = colour;
  RenderBar();
  Render();
}

int32_t CGradientStops::AddStop(bool select, float x) {
  if (!(x >= 0.0f && x <= 1.0f)) return -1;
  if (GetCount() >= kMaxGradientStops) return -1;
  int32_t v = GetCount() - 1;
  for (int32_t i = 1; i < GetCount() - 1; ++i) {
    if (At(i).position >= x) {
      v = i;
      break;
    }
  }
  const TGradientEditPos& l = At(v - 1);
  const TGradientEditPos& r = At(v);
  const float d = r.position - l.position;
  const float t = d <= kEpsilon ? 0.5f : (x - l.position) / d;
  const float opacity = l.opacity + t * (r.opacity - l.opacity);
  const uint8_t kind = (l.kind == r.kind && l.kind != kStopOwnColor) ? l.kind : uint8_t{kStopOwnColor};
  SColorValue colour;
  if (kind == kStopForeground) {
    colour = foreground_;
  } else if (kind == kStopBackground) {
    colour = background_;
  } else {
    ColorValueFromRGB(l.colour.rgb.r + t * (r.colour.rgb.r - l.colour.rgb.r),
                      l.colour.rgb.g + t * (r.colour.rgb.g - l.colour.rgb.g),
                      l.colour.rgb.b + t * (r.colour.rgb.b - l.colour.rgb.b), colour);
  }
  try {
    stops_.insert(stops_.begin() + v, TGradientEditPos::CreateStop(kind, x, colour, opacity));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (selected_ >= v) ++selected_;
  RenderBar();
  if (select) SetSelectIndex(v);
  return v;
}

void CGradientStops::DeleteStop(int32_t index) {
  index = Resolve(index);
  if (!IsInnerIndex(index)) return;
  if (At(index).joined && IsInnerIndex(index + 1)) stops_.erase(stops_.begin() + index + 1);
  if (Joined(index - 1) && IsInnerIndex(index - 1)) {
    stops_.erase(stops_.begin() + index - 1);
    --index;
  }
  stops_.erase(stops_.begin() + index);
  selected_ = std::max(0, std::min(index - 1, GetCount() - 1));
  Changed();
}

void CGradientStops::GetNeighbours(int32_t index, int32_t& left, int32_t& right, int32_t& partner) const {
  index = Resolve(index);
  partner = -1;
  if (Joined(index)) {
    partner = index + 1;
    left = index - 1;
    right = index + 2;
  } else if (Joined(index - 1)) {
    partner = index - 1;
    left = index - 2;
    right = index + 1;
  } else {
    left = index - 1;
    right = index + 1;
  }
  if (!IsValidIndex(partner)) partner = -1;
  if (!IsValidIndex(left)) left = -1;
  if (!IsValidIndex(right)) right = -1;
}

void CGradientStops::GetMoveRange(int32_t index, float& from, float& to) const {
  index = Resolve(index);
  int32_t left, right, partner;
  GetNeighbours(index, left, right, partner);
  from = left >= 0 ? At(left).position : At(index).position;
  to = right >= 0 ? At(right).position : At(index).position;
}

void CGradientStops::MoveStop(int32_t index, float position) {
  index = Resolve(index);
  if (!IsInnerIndex(index) || std::isnan(position)) return;
  int32_t left, right, partner;
  GetNeighbours(index, left, right, partner);
  if (left < 0 || right < 0) return;
  const float p = std::min(std::max(position, At(left).position), At(right).position);
  At(index).position = p;
  if (partner >= 0) At(partner).position = p;
  Changed();
}

void CGradientStops::CenterStop(int32_t index) {
  index = Resolve(index);
  if (!IsInnerIndex(index)) return;
  int32_t left, right, partner;
  GetNeighbours(index, left, right, partner);
  if (left < 0 || right < 0) return;
  const float p = (At(left).position + At(right).position) / 2.0f;
  At(index).position = p;
  if (partner >= 0) At(partner).position = p;
  Changed();
}

void CGradientStops::SetStopKind(uint8_t kind, int32_t index) {
  index = Resolve(index);
  if (kind > kStopBackground || At(index).kind == kind) return;
  At(index).kind = kind;
  if (kind == kStopForeground) At(index).colour = foreground_;
  if (kind == kStopBackground) At(index).colour = background_;
  Changed();
}

void CGradientStops::SetStopColor(const SColorValue& colour, int32_t index) {
  index = Resolve(index);
  if (At(index).kind != kStopOwnColor || !IsFiniteColorValue(colour)) return;
  At(index).colour = colour;
  Changed();
}

void CGradientStops::SetStopOpacity(int32_t index, float opacity) {
  index = Resolve(index);
  if (std::isnan(opacity)) return;
  opacity = Clamp01(opacity);
  if (At(index).opacity == opacity) return;
  At(index).opacity = opacity;
  Changed();
}

bool CGradientStops::GetStopPosition(int32_t index, float& position) const {
  if (!IsValidIndex(index)) return false;
  position = At(index).position;
  return true;
}
bool CGradientStops::GetStopKind(int32_t index, uint8_t& kind) const {
  if (!IsValidIndex(index)) return false;
  kind = At(index).kind;
  return true;
}
bool CGradientStops::GetStopColor(int32_t index, SColorValue& colour) const {
  if (!IsValidIndex(index)) return false;
  colour = At(index).colour;
  return true;
}
bool CGradientStops::GetStopOpacity(int32_t index, float& opacity) const {
  if (!IsValidIndex(index)) return false;
  opacity = At(index).opacity;
  return true;
}

bool CGradientStops::CanUnionRight(int32_t index) const {
  return IsInnerIndex(index) && index < GetCount() - 2 && !Joined(index) && !Joined(index - 1) &&
         !Joined(index + 1);
}

void CGradientStops::UnionRight(int32_t index) {
  index = Resolve(index);
  if (!CanUnionRight(index)) return;
  At(index).position = At(index + 1).position;
  At(index).joined = true;
  Changed();
}

void CGradientStops::UnionLeft(int32_t index) {
  index = Resolve(index);
  if (!CanUnionLeft(index)) return;
  At(index).position = At(index - 1).position;
  At(index - 1).joined = true;
  selected_ = index - 1;
  Changed();
}

void CGradientStops::Unjoin(int32_t index) {
  index = Resolve(index);
  At(index).joined = false;
  if (index > 0) At(index - 1).joined = false;
  Changed();
}

uint8_t CGradientStops::GetStopJoin(int32_t index) const {
  if (!IsValidIndex(index)) return 255;
  if (!IsInnerIndex(index)) return 0;
  if (At(index).joined) return 2;
  if (Joined(index - 1)) return 1;
  return 0;
}

bool CGradientStops::CanSubdivide(int32_t index, int32_t parts) const {
  return index >= 0 && index <= GetCount() - 2 && parts >= 1 && int64_t{GetCount()} + parts <= capacity_;
}

void CGradientStops::Subdivide(int32_t index, int32_t parts) {
  if (!CanSubdivide(index, parts)) return;
  const float from = At(index).position;
  const int32_t next = At(index).joined ? index + 2 : index + 1;
  if (!IsValidIndex(next)) return;
  const float to = At(next).position;
  for (int32_t k = 1; k < parts; ++k)
    if (AddStop(false, from + (1.0f / static_cast<float>(parts)) * (to - from) * static_cast<float>(k)) < 0) break;
  Changed();
}

void CGradientStops::CopyStop(int32_t target, int32_t source) {
  target = Resolve(target);
  source = Resolve(source);
  TGradientEditPos& t = At(target);
  const TGradientEditPos& s = At(source);
  t.kind = s.kind;
  t.colour = s.colour;
  t.opacity = s.opacity;
  Changed();
}

void CGradientStops::SwapStops(int32_t a, int32_t b) {
  a = Resolve(a);
  b = Resolve(b);
  TGradientEditPos& x = At(a);
  TGradientEditPos& y = At(b);
  std::swap(x.kind, y.kind);
  std::swap(x.colour, y.colour);
  std::swap(x.opacity, y.opacity);
  Changed();
}

void CGradientStops::Reverse() {
  const int32_t count = GetCount();
  if (count < 2) return;
  TGradientEditPos& first = At(0);
  TGradientEditPos& last = At(count - 1);
  std::swap(first.kind, last.kind);
  std::swap(first.colour, last.colour);
  std::swap(first.opacity, last.opacity);
  std::reverse(stops_.begin() + 1, stops_.end() - 1);
  for (int32_t i = 1; i < count - 1; ++i) At(i).position = 1.0f - At(i).position;
  // The marks travelled with their stops; a pair's mark belongs on its new first half, one
  // index down. Taken from a copy, so no mark is read after it was overwritten.
  std::vector<bool> marks(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) marks[static_cast<size_t>(i)] = At(i).joined;
  for (int32_t i = count - 2; i >= 0; --i) At(i).joined = marks[static_cast<size_t>(i + 1)];
  At(count - 2).joined = false;
  At(count - 1).joined = false;
  selected_ = count - 1 - selected_;
  Changed();
}

void CGradientStops::SetColorSlotGroup(const CColorSlotGroup* group) {
  if (group == nullptr) return;
  const int32_t last = group->LastUsed();
  if (last < 0) return;
  std::vector<TGradientEditPos> loaded;
  try {
    loaded.push_back(stops_.front());
    if (const SColorSlot* s = group->GetSlot(0)) loaded.back().LoadFromSlot(*s);
    for (int32_t i = 1; i < last; ++i) {
      const SColorSlot* s = group->GetSlot(i);
      if (s != nullptr && s->used != 0 && s->active != 0) loaded.push_back(TGradientEditPos::CreateFromSlot(*s));
    }
    loaded.push_back(stops_.back());
    if (last > 0) loaded.back().LoadFromSlot(*group->GetSlot(last));
  } catch (const std::bad_alloc&) {
    return;
  }
  // The last stop ends the gradient: it joins nothing.
  loaded.back().joined = false;
  stops_.swap(loaded);
  selected_ = 0;
  Changed();
}

bool CGradientStops::SaveToColorSlotGroup(CColorSlotGroup& group) const {
  const int32_t count = GetCount();
  if (count < 2 || count > kMaxGradientStops) return false;
  try {
    CColorSlotGroup temp(count);
    for (int32_t i = 0; i < count; ++i) {
      SColorSlot slot = CColorSlotGroup::ResetSlot(i);
      At(i).SaveToSlot(slot, i, i + 1 < count ? At(i + 1).position : 0.0f);
      if (!temp.SetSlot(i, slot)) return false;
    }
    if (!temp.Normalize()) return false;
    temp.SetName(group.Name());
    // Built aside and moved in whole: a failure leaves the target as it was.
    CColorSlotGroup staged(group);
    if (!temp.CopyTo(&staged)) return false;
    group = std::move(staged);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Pictures and the mouse

uint32_t CGradientStops::StopPixel(const TGradientEditPos& stop) const {
  const SColorValue& c =
      stop.kind == kStopForeground ? foreground_ : (stop.kind == kStopBackground ? background_ : stop.colour);
  return ColorValueToBGRA(c, ColorComponentToByte(stop.opacity));
}

void CGradientStops::RenderBar() {
  if (!bar_.IsValid() || width_ == 0) return;
  const int32_t w = bar_.Width(), h = bar_.Height();
  bar_.SetBackground(AppearanceColors[acBtnFace]);
  bar_.Clear();
  bar_.FrameRect(TRect{0, 0, w, h}, 1, AppearanceColors[acWindowFrame], SChannelOps{ChannelCopy, ChannelCopy});
  bar_.FillChecker(TRect{1, 1, w - 1, h - 1}, 4, 4, 0xFFFFFFFFu, 0xFFCCCCCCu, SChannelOps{ChannelCopy, ChannelCopy});
  const int32_t inner = w - 2;
  int32_t x0 = 1;
  for (int32_t i = 1; i < GetCount(); ++i) {
    const int32_t x1 = static_cast<int32_t>(static_cast<float>(inner) * Clamp01(At(i).position) + 1.5f);
    if (x0 < x1 && !At(i - 1).joined)
      bar_.FillGradient(TRect{x0, 1, x1, h - 1}, StopPixel(At(i - 1)), StopPixel(At(i)), kDirRight, kOver);
    x0 = std::max(x0, x1);
  }
}

int32_t CGradientStops::MarkerLeft(int32_t index) const {
  return static_cast<int32_t>(static_cast<float>(BarInnerWidth()) * Clamp01(At(index).position) + 0.5f);
}

void CGradientStops::Render() {
  if (!control_.IsValid() || width_ == 0) return;
  control_.SetBackground(AppearanceColors[acBtnFace]);
  control_.Clear();
  control_.DrawGraphic(6, 0, bar_.Width(), bar_.Height(), bar_, 0, 0, SChannelOps{ChannelCopy, ChannelCopy});
  const int32_t top = MarkerTop();
  auto draw = [&](int32_t i, bool selected) {
    const TMemoryGraphic& m = GradientMarker(selected, At(i).joined);
    control_.DrawGraphic(MarkerLeft(i), top, 15, 15, m, 0, 0, kOver);
  };
  if (pressed_ && outside_) {
    draw(selected_, true);
    const uint32_t veil = (AppearanceColors[acBtnFace] & 0x00FFFFFFu) | 0xC0000000u;
    control_.FillRect(TRect{MarkerLeft(selected_), top, MarkerLeft(selected_) + 15, top + 15}, veil, kOver);
  }
  for (int32_t i = 0; i < GetCount(); ++i) {
    if (i == selected_ || Joined(i - 1)) continue;
    draw(i, false);
  }
  if (!(pressed_ && outside_)) draw(selected_, true);
  if (OnInvalidate) OnInvalidate();
}

void CGradientStops::MouseDown(int32_t x) {
  pressed_ = false;
  lastX_ = x;
  const int32_t w = BarInnerWidth();
  if (w <= 0) return;
  bool onMarker = false;
  for (int32_t i = 0; i < GetCount() && !onMarker; ++i) {
    const int32_t px = MarkerLeft(i);
    onMarker = px <= x && x <= px + 14;
  }
  if (onMarker) {
    const int32_t t = x - 7;
    int32_t best = 0;
    if (x < 8) {
      best = 0;
    } else if (t >= w) {
      best = GetCount() - 1;
    } else {
      float bestDistance = INFINITY;
      for (int32_t i = 0; i < GetCount(); ++i) {
        const float d = std::fabs(static_cast<float>(w) * At(i).position - static_cast<float>(t));
        if (d < bestDistance) {
          bestDistance = d;
          best = i;
        }
      }
    }
    SetSelectIndex(best);
  } else {
    AddStop(true, static_cast<float>(x - 7) / static_cast<float>(w));
  }
  pressed_ = true;
}

void CGradientStops::MouseMove(int32_t x, bool inside) {
  if (!pressed_ || x == lastX_) return;
  lastX_ = x;
  outside_ = !inside;
  const int32_t w = BarInnerWidth();
  if (w <= 0) return;
  MoveStop(selected_, static_cast<float>(x - 7) / static_cast<float>(w));
  Render();
}

void CGradientStops::MouseUp(bool inside) {
  if (!pressed_) return;
  pressed_ = false;
  outside_ = false;
  if (!inside) DeleteStop(selected_);
  Render();
}

}  // namespace tf
