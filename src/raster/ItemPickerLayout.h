// The item picker's arithmetic and face: the parts of the owner-drawn palette button (an item,
// an optional drop-down arrow), their hit test, the colours of its states and the face it shows;
// and the falloff pad's mapping of points to its two values.
#pragma once
// The widgets are ui/ItemPicker.h; the pad's picture (which draws a falloff curve of the
// painting engine) is app/AirMapPad.h.
#include <cstdint>

#include "raster/Geometry.h"
#include "raster/MemoryGraphic.h"

namespace tf {

// Styles: no drop-down part, the whole control drops down (an arrow is shown), only the arrow.
enum : uint8_t { kPickerNoDropDown = 0, kPickerDropDownAll = 1, kPickerDropDownArrow = 2 };
// Hot flags: the pointer over the item, over the arrow.
enum : uint8_t { kPickerHotItem = 4, kPickerHotArrow = 8 };
// Hit codes.
enum : int32_t { kPickerHitNone = 0, kPickerHitFace = 1, kPickerHitItem = 2, kPickerHitArrow = 3 };

struct SItemPickerLayout {
  TRect item{1, 1, 2, 2};
  TRect arrow{0, 1, 0, 1};
};

// The parts of a control of width x height in a style, boxed or not.
SItemPickerLayout LayoutItemPicker(uint8_t style, bool boxed, int32_t width, int32_t height);
// 2 in the item, 3 in the arrow, 1 elsewhere in the control, 0 outside.
int32_t ItemPickerHitTest(const SItemPickerLayout& layout, int32_t width, int32_t height, int32_t x, int32_t y);
// The hot flags a hit code gives as the pointer moves over the control.
uint8_t ItemPickerHotFor(uint8_t style, int32_t hit);
// The hot flags on entering the control.
uint8_t ItemPickerHotOnEnter(uint8_t style, int32_t hit);

struct SItemPickerColors {
  uint32_t frame;
  uint32_t itemInk;
  uint32_t itemFace;
  uint32_t arrowInk;
  uint32_t arrowFace;
};
SItemPickerColors ItemPickerColors(bool enabled, bool downOrDropped, uint8_t hot, bool cutCorners);

// The face: button face, the window box when boxed, the item and arrow faces, the nine-pixel
// arrow (styles 1 and 2), the item image blended at (1, 1) or (2, 2) when boxed, and the frame
// (cut corners or a plain rectangle). The face must have the control's size.
void RenderItemPickerFace(TMemoryGraphic& face, const TMemoryGraphic& item, const SItemPickerLayout& layout,
                          const SItemPickerColors& colours, uint8_t style, bool boxed, bool cutCorners);

// The pad's values from a pointer column or row of a pad of width x height: x = 2 (px - 4) /
// (width - 12) - 1 and y = 1 - (py - 4) / (height - 12), each clamped to 0..1 (the left half
// gives x = 0). False (nothing set) for a pad too small to divide by.
bool AirMapPadX(int32_t px, int32_t width, float& x);
bool AirMapPadY(int32_t py, int32_t height, float& y);
// The cross hair's column and row in the pad's picture for the values.
int32_t AirMapPadColumn(float x, int32_t width);
int32_t AirMapPadRow(float y, int32_t height);

}  // namespace tf
