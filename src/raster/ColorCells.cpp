#include "raster/ColorCells.h"

#include <algorithm>

#include "raster/Appearance.h"

namespace tf {
namespace {

constexpr SChannelOps kCopyAll{ChannelCopy, ChannelCopy};
constexpr SChannelOps kSolid{ChannelCopy, ChannelKeep};

uint32_t Appearance(int32_t index) { return AppearanceColors[static_cast<size_t>(index)]; }

bool SizeImage(TMemoryGraphic& image, int32_t w, int32_t h) {
  if (image.Width() != w || image.Height() != h || !image.IsValid()) return image.SetSize(w, h);
  return true;
}

// A one-pixel frame, one inside it, and the colour inside both.
void DrawTwinPart(TMemoryGraphic& g, const TRect& r, bool active, uint32_t colour) {
  g.FrameRect(r, 1, Appearance(active ? acHighlight : acGrayText), kSolid);
  g.FrameRect({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, 1, Appearance(active ? acHighlightText : acBtnFace),
              kSolid);
  g.FillRect({r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}, colour, kCopyAll);
}

}  // namespace

bool CCustomColorCellCore::SetManagerColor(TColorManager& manager, const SColorValue& value) {
  SColorValue stored;
  manager.GetColor(stored);
  return IsEqualPickerColor(stored, value) != 0 && manager.SetColor(value);
}

void CCustomColorCellCore::SetColor(const SColorValue& value) {
  if (SetManagerColor(color_, value)) Changed();
}

void CCustomColorCellCore::Changed() {
  if (onChange) onChange();
  if (onRepaint) onRepaint();
}

// ---- picker cell ----

void CPickerColorCellCore::SetInitialColor(const SColorValue& value) {
  if (SetManagerColor(initial_, value) && onRepaint) onRepaint();
}

void CPickerColorCellCore::SetDrawInitialColor(bool draw) {
  if (draw == drawInitial_) return;
  drawInitial_ = draw;
  if (onRepaint) onRepaint();
}

void CPickerColorCellCore::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (onRepaint) onRepaint();
}

int32_t CPickerColorCellCore::HitTest(int32_t x, int32_t y, int32_t width, int32_t height) const {
  if (x <= 1 || x > width - 2 || y <= 1 || y > height - 2) return 0;
  return drawInitial_ && y < height / 2 ? 2 : 1;
}

void CPickerColorCellCore::RenderCell(TMemoryGraphic& image, int32_t width, int32_t height) const {
  const int32_t w = std::max(width, 6), h = std::max(height, 6);
  image.SetBackground(BGRABlack);
  if (!SizeImage(image, w, h)) return;
  image.DrawBevel({0, 0, w, h}, 1, Appearance(acBtnShadow), Appearance(acBtnHighlight), kSolid);
  image.FrameRect({1, 1, w - 1, h - 1}, 1, Appearance(acWindowFrame), kSolid);
  TRect last{2, 2, w - 2, h - 2};
  if (drawInitial_) {
    const int32_t k = (h - 4) / 2;
    image.FillRect({2, 2, w - 2, h - 2 - k}, initial_.GetPackedRGB(), kCopyAll);
    last = {2, 2 + k, w - 2, h - 2};
  }
  image.FillRect(last, color_.GetPackedRGB(), kCopyAll);
  if (!enabled_) {
    image.FillRect({last.left - 2, last.top - 2, last.right + 2, last.bottom + 2}, Appearance(acBtnFaceTwoThirds),
                   {ChannelBlend, ChannelKeep});
  }
}

// ---- twin cell ----

CTwinColorCellCore::CTwinColorCellCore() { sub_.SetRGB(1, 1, 1); }

void CTwinColorCellCore::SetActiveCell(int32_t n) {
  if (!switchingAllowed || (n != 1 && n != 2) || n == active_) return;
  active_ = n;
  if (onActiveCell) onActiveCell();
  if (onRepaint) onRepaint();
}

void CTwinColorCellCore::SetColor(const SColorValue& value) {
  if (active_ == 2) {
    SetSubColor(value);
  } else {
    CCustomColorCellCore::SetColor(value);
  }
}

void CTwinColorCellCore::GetColor(SColorValue& value) const {
  (active_ == 2 ? sub_ : color_).GetColor(value);
}

void CTwinColorCellCore::SetSubColor(const SColorValue& value) {
  if (SetManagerColor(sub_, value)) Changed();
}

void CTwinColorCellCore::SetComponents(int32_t space, float c1, float c2, float c3) {
  ActiveColor().SetComponents(space, c1, c2, c3);
  Changed();
}

void CTwinColorCellCore::SwapColors() {
  SColorValue main, sub;
  color_.GetColor(main);
  sub_.GetColor(sub);
  color_.SetColor(sub);
  sub_.SetColor(main);
  Changed();
}

int32_t CTwinColorCellCore::HitTest(int32_t x, int32_t y, int32_t width, int32_t height) {
  const int32_t tx = width / 3, ty = height / 3;
  auto inside = [&](int32_t l, int32_t t, int32_t r, int32_t b) { return x >= l && x < r && y >= t && y < b; };
  if (inside(0, 0, width - tx, height - ty)) return 1;
  if (inside(tx, ty, width, height)) return 2;
  if (inside(width - tx, 0, width, ty)) return 3;
  return 0;
}

int32_t CTwinColorCellCore::MouseDown(int32_t x, int32_t y, int32_t width, int32_t height) {
  const int32_t hit = HitTest(x, y, width, height);
  if (hit == 1 || hit == 2) {
    SetActiveCell(hit);
  } else if (hit == 3) {
    SwapColors();
  }
  return hit;
}

bool CTwinColorCellCore::DoubleClickOpensDialog(int32_t x, int32_t y, int32_t width, int32_t height) const {
  return HitTest(x, y, width, height) == active_;
}

void CTwinColorCellCore::RenderCell(TMemoryGraphic& image, int32_t width, int32_t height) const {
  const int32_t w = std::max(width, 8), h = std::max(height, 8);
  const int32_t tx = w / 3, ty = h / 3;
  image.SetBackground(Appearance(acBtnFace));
  if (!SizeImage(image, w, h)) return;
  image.Clear();
  DrawTwinPart(image, {tx, ty, w, h}, active_ == 2, sub_.GetPackedRGB());
  DrawTwinPart(image, {0, 0, w - tx, h - ty}, active_ == 1, color_.GetPackedRGB());
  if (tx > 10 && ty > 10) {
    const TMemoryGraphic& glyph = AppearanceManager().GetButtonGlyph(5, gsNone);
    image.DrawGraphic(w - glyph.Width(), 0, glyph.Width(), glyph.Height(), glyph, 0, 0, {ChannelBlend, ChannelKeep});
  }
}

}  // namespace tf
