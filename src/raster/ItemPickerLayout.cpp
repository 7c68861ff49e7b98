#include "raster/ItemPickerLayout.h"

#include <algorithm>

#include "raster/Appearance.h"

namespace tf {

namespace {

constexpr SChannelOps kOver{ChannelBlend, ChannelKeep};
constexpr SChannelOps kColourOnly{ChannelCopy, ChannelKeep};

bool Inside(const TRect& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

SItemPickerLayout LayoutItemPicker(uint8_t style, bool boxed, int32_t width, int32_t height) {
  SItemPickerLayout l;
  int32_t itemWidth;
  if (style == kPickerNoDropDown) {
    l.arrow = TRect{width - 1, 1, width - 1, height - 1};
    itemWidth = width - 2;
  } else {
    l.arrow = TRect{width - 8, 1, width - 1, height - 1};
    itemWidth = (style == kPickerDropDownArrow && boxed) ? width - 10 : width - 9;
  }
  l.item = TRect{1, 1, 1 + std::max(itemWidth, 1), 1 + std::max(height - 2, 1)};
  if (boxed) {
    l.arrow = TRect{l.arrow.left + 1, l.arrow.top + 1, l.arrow.right - 1, l.arrow.bottom - 1};
    l.item = TRect{l.item.left + 1, l.item.top + 1, l.item.right - 1, l.item.bottom - 1};
  }
  return l;
}

int32_t ItemPickerHitTest(const SItemPickerLayout& layout, int32_t width, int32_t height, int32_t x, int32_t y) {
  if (Inside(layout.item, x, y)) return kPickerHitItem;
  if (Inside(layout.arrow, x, y)) return kPickerHitArrow;
  if (x >= 0 && y >= 0 && x < width && y < height) return kPickerHitFace;
  return kPickerHitNone;
}

uint8_t ItemPickerHotFor(uint8_t style, int32_t hit) {
  if (hit != kPickerHitItem && hit != kPickerHitArrow) return 0;
  switch (style) {
    case kPickerNoDropDown: return kPickerHotItem;
    case kPickerDropDownAll: return kPickerHotItem | kPickerHotArrow;
    default: return hit == kPickerHitItem ? kPickerHotItem : kPickerHotArrow;
  }
}

uint8_t ItemPickerHotOnEnter(uint8_t style, int32_t hit) {
  if (hit != kPickerHitItem && hit != kPickerHitArrow) return 0;
  if (style == kPickerDropDownAll) return kPickerHotItem | kPickerHotArrow;
  return hit == kPickerHitItem ? kPickerHotItem : kPickerHotArrow;
}

SItemPickerColors ItemPickerColors(bool enabled, bool downOrDropped, uint8_t hot, bool cutCorners) {
  const auto& c = AppearanceColors;
  SItemPickerColors r{};
  if (downOrDropped) {
    r.frame = c[acHighlight];
    r.itemInk = r.arrowInk = c[acWindowText];
    r.itemFace = r.arrowFace = c[acWindow];
    return r;
  }
  const uint32_t restFrame = cutCorners ? c[acBtnFace] : c[acGrayText];
  const uint32_t hotFrame = cutCorners ? c[acGrayText] : c[acHighlight];
  r.frame = restFrame;
  if (!enabled) {
    r.itemInk = r.arrowInk = c[acGrayText];
    r.itemFace = r.arrowFace = c[acBtnFace];
    return r;
  }
  if ((hot & kPickerHotItem) != 0) {
    r.frame = hotFrame;
    r.itemInk = c[acHighlight];
    r.itemFace = c[acHighlightText];
  } else {
    r.itemInk = c[acWindowText];
    r.itemFace = c[acBtnFace];
  }
  if ((hot & kPickerHotArrow) != 0) {
    r.frame = hotFrame;
    r.arrowInk = c[acHighlight];
    r.arrowFace = c[acHighlightText];
  } else {
    r.arrowInk = c[acWindowText];
    r.arrowFace = c[acBtnFace];
  }
  return r;
}

void RenderItemPickerFace(TMemoryGraphic& face, const TMemoryGraphic& item, const SItemPickerLayout& layout,
                          const SItemPickerColors& colours, uint8_t style, bool boxed, bool cutCorners) {
  if (!face.IsValid()) return;
  const int32_t w = face.Width(), h = face.Height();
  face.SetBackground(AppearanceColors[acBtnFace]);
  face.Clear();
  if (boxed) face.FillRect(TRect{1, 1, w - 1, h - 1}, AppearanceColors[acWindow], kColourOnly);
  face.FillRect(layout.item, colours.itemFace, kColourOnly);
  if (style != kPickerNoDropDown) {
    face.FillRect(layout.arrow, colours.arrowFace, kColourOnly);
    const int32_t r = layout.arrow.right, m = h / 2;
    const SChannelOps copy{ChannelCopy, ChannelCopy};
    face.FillRect(TRect{r - 6, m - 1, r - 1, m}, colours.arrowInk, copy);
    face.FillRect(TRect{r - 5, m, r - 2, m + 1}, colours.arrowInk, copy);
    face.FillRect(TRect{r - 4, m + 1, r - 3, m + 2}, colours.arrowInk, copy);
  }
  const int32_t at = boxed ? 2 : 1;
  if (item.IsValid()) face.DrawGraphic(at, at, item.Width(), item.Height(), item, 0, 0, kOver);
  const TRect all{0, 0, w, h};
  if (cutCorners)
    face.RoundFrame(all, 1, colours.frame, kOver);
  else
    face.FrameRect(all, 1, colours.frame, kOver);
}

bool AirMapPadX(int32_t px, int32_t width, float& x) {
  if (width - 12 <= 0) return false;
  const float v = 2.0f * static_cast<float>(px - 4) / static_cast<float>(width - 12) - 1.0f;
  x = std::min(1.0f, std::max(0.0f, v));
  return true;
}

bool AirMapPadY(int32_t py, int32_t height, float& y) {
  if (height - 12 <= 0) return false;
  const float v = 1.0f - static_cast<float>(py - 4) / static_cast<float>(height - 12);
  y = std::min(1.0f, std::max(0.0f, v));
  return true;
}

int32_t AirMapPadColumn(float x, int32_t width) {
  const float areaWidth = static_cast<float>(width - 14);
  return static_cast<int32_t>(areaWidth * (x * 0.5f + 0.5f) + 7.0f + 0.5f);
}

int32_t AirMapPadRow(float y, int32_t height) {
  const float areaHeight = static_cast<float>(height - 14);
  return static_cast<int32_t>((1.0f - y) * areaHeight + 7.0f + 0.5f);
}

}  // namespace tf
