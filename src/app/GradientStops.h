// The gradient bar editor's logic (CGradientStops): the colour stops of one gradient, their
// editing (add, select, move, join, subdivide, copy, reverse, delete), the bar and its markers,
// the mouse, and the exchange with the painting engine's slot groups.
#pragma once
// Stop index 0 is the first stop (position 0), 1 .. n the inner stops ordered by position, n + 1
// the last stop (position 1). A joined stop forms a hard edge with the next one: both share one
// position. Wherever an operation takes an index, an index naming no stop means the selected
// stop (SetSelectIndex alone ignores it). The widget is ui/GradientEdit.h.
#include <cstdint>
#include <functional>
#include <vector>

#include "raster/ColorValue.h"
#include "raster/MemoryGraphic.h"

namespace tf {

class CColorSlotGroup;
struct SColorSlot;

// Colour kinds of a stop.
enum : uint8_t { kStopOwnColor = 0, kStopForeground = 1, kStopBackground = 2 };

// The slot group refuses a group of 2730 slots: a gradient has at most 2729 stops.
inline constexpr int32_t kMaxGradientStops = 2729;
// The smallest control: the bar needs a frame and one marker.
inline constexpr int32_t kGradientEditMinWidth = 32;
inline constexpr int32_t kGradientEditMinHeight = 17;

struct TGradientEditPos {
  float position = 0.0f;
  uint8_t kind = kStopOwnColor;
  SColorValue colour;
  float opacity = 1.0f;
  bool joined = false;

  // Own colour, opaque black.
  static TGradientEditPos Create(float position);
  static TGradientEditPos CreateStop(uint8_t kind, float position, const SColorValue& colour, float opacity);
  static TGradientEditPos CreateFromSlot(const SColorSlot& slot);
  // Nothing for a slot that is no stop.
  void LoadFromSlot(const SColorSlot& slot);
  // The slot of stop index with the next stop at position next.
  void SaveToSlot(SColorSlot& slot, int32_t index, float next) const;
};

// The four stop markers (normal, normal joined, selected, selected joined), 15 x 15, built on
// first use from the appearance colours; ResetGradientMarkers builds them again (tests, a new
// colour scheme).
const TMemoryGraphic& GradientMarker(bool selected, bool joined);
void ResetGradientMarkers();

class CGradientStops {
 public:
  CGradientStops();

  // The control's size, at least 32 x 17; renders.
  void SetSize(int32_t width, int32_t height);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  int32_t GetCount() const { return static_cast<int32_t>(stops_.size()); }
  bool IsValidIndex(int32_t index) const { return index >= 0 && index < GetCount(); }
  bool IsInnerIndex(int32_t index) const { return index > 0 && index < GetCount() - 1; }
  const TGradientEditPos& GetStop(int32_t index) const { return stops_[static_cast<size_t>(Resolve(index))]; }
  int32_t SelectIndex() const { return selected_; }
  void SetSelectIndex(int32_t index);
  int32_t Capacity() const { return capacity_; }
  void SetCapacity(int32_t capacity) { capacity_ = capacity; }

  const SColorValue& Foreground() const { return foreground_; }
  const SColorValue& Background() const { return background_; }
  void SetForeground(const SColorValue& colour);
  void SetBackground(const SColorValue& colour);

  // Adds a stop at x (0..1) interpolated from its neighbours; the new index or -1.
  int32_t AddStop(bool select, float x);
  void DeleteStop(int32_t index);
  void MoveStop(int32_t index, float position);
  void CenterStop(int32_t index);
  void SetStopKind(uint8_t kind, int32_t index);
  void SetStopColor(const SColorValue& colour, int32_t index);
  void SetStopOpacity(int32_t index, float opacity);
  bool GetStopPosition(int32_t index, float& position) const;
  bool GetStopKind(int32_t index, uint8_t& kind) const;
  bool GetStopColor(int32_t index, SColorValue& colour) const;
  bool GetStopOpacity(int32_t index, float& opacity) const;
  // Left and right neighbours taking a joined pair as one, and the pair partner; -1 where none.
  void GetNeighbours(int32_t index, int32_t& left, int32_t& right, int32_t& partner) const;
  void GetMoveRange(int32_t index, float& from, float& to) const;
  bool CanUnionRight(int32_t index) const;
  bool CanUnionLeft(int32_t index) const { return CanUnionRight(index - 1); }
  void UnionRight(int32_t index);
  void UnionLeft(int32_t index);
  void Unjoin(int32_t index);
  // 0 an end stop or a free one, 2 the first of a pair, 1 the second, 255 no such stop.
  uint8_t GetStopJoin(int32_t index) const;
  bool CanSubdivide(int32_t index, int32_t parts) const;
  void Subdivide(int32_t index, int32_t parts);
  void CopyStop(int32_t target, int32_t source);
  void SwapStops(int32_t a, int32_t b);
  void Reverse();

  // Loads the stops of a slot group (nothing for none).
  void SetColorSlotGroup(const CColorSlotGroup* group);
  // Writes the stops into the group: the whole group, or nothing and false (too many stops,
  // memory).
  bool SaveToColorSlotGroup(CColorSlotGroup& group) const;

  // The mouse, left button: x in control coordinates, inside = the point lies in the control.
  void MouseDown(int32_t x);
  void MouseMove(int32_t x, bool inside);
  void MouseUp(bool inside);
  bool Pressed() const { return pressed_; }
  bool Outside() const { return outside_; }
  // Left edge of a stop's marker in the control.
  int32_t MarkerLeft(int32_t index) const;
  int32_t MarkerTop() const { return (height_ - 15) / 2 + 1; }

  void RenderBar();
  void Render();
  const TMemoryGraphic& Picture() const { return control_; }
  const TMemoryGraphic& Bar() const { return bar_; }
  // A stop's colour as drawn (its own, or the foreground or background colour by its kind),
  // alpha from its opacity.
  uint32_t StopPixel(const TGradientEditPos& stop) const;

  std::function<void()> OnChange;
  std::function<void()> OnInvalidate;

 private:
  int32_t Resolve(int32_t index) const { return IsValidIndex(index) ? index : selected_; }
  bool Joined(int32_t index) const { return IsValidIndex(index) && stops_[static_cast<size_t>(index)].joined; }
  TGradientEditPos& At(int32_t index) { return stops_[static_cast<size_t>(index)]; }
  const TGradientEditPos& At(int32_t index) const { return stops_[static_cast<size_t>(index)]; }
  // Re-renders bar and control and fires OnChange.
  void Changed();
  int32_t BarInnerWidth() const { return bar_.Width() - 2; }

  std::vector<TGradientEditPos> stops_;
  int32_t selected_ = 0;
  int32_t capacity_ = 256;
  SColorValue foreground_;
  SColorValue background_;
  TMemoryGraphic control_;
  TMemoryGraphic bar_;
  int32_t width_ = 0, height_ = 0;
  int32_t lastX_ = 0;
  bool pressed_ = false;
  bool outside_ = false;
};

}  // namespace tf
