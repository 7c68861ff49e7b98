// The colour cells without their window: the picker cell (one colour, optionally over the colour
// it started with) and the twin cell (main and sub drawing colours with a swap corner).
#pragma once
// Each cell keeps its colours in TColorManager objects (raster/ColorValue.h), renders itself into
// a TMemoryGraphic the size of the control, and answers hit tests. The window half
// (ui/ColorCells.h) routes the mouse and opens the colour picker dialog.
#include <cstdint>
#include <functional>

#include "raster/ColorValue.h"
#include "raster/MemoryGraphic.h"

namespace tf {

// What both cells share: the colour, the change callback and the repaint request.
class CCustomColorCellCore {
 public:
  virtual ~CCustomColorCellCore() = default;

  std::function<void()> onChange;
  std::function<void()> onRepaint;

  // When value differs (space byte or components): the manager takes it, the callback fires, the
  // cell renders and repaints.
  virtual void SetColor(const SColorValue& value);
  virtual void GetColor(SColorValue& value) const { color_.GetColor(value); }
  TColorManager& Color() { return color_; }
  const TColorManager& Color() const { return color_; }

  // The picture of a control of this size.
  virtual void RenderCell(TMemoryGraphic& image, int32_t width, int32_t height) const = 0;

 protected:
  // SetColor's rule on any of the cell's managers; true when it changed.
  bool SetManagerColor(TColorManager& manager, const SColorValue& value);
  void Changed();

  TColorManager color_;
};

// One colour; with DrawInitialColor the upper half shows the colour it started with.
class CPickerColorCellCore final : public CCustomColorCellCore {
 public:
  bool callPickerDialog = true;

  void SetInitialColor(const SColorValue& value);  // as SetColor, without the callback
  void GetInitialColor(SColorValue& value) const { initial_.GetColor(value); }
  const TColorManager& InitialColor() const { return initial_; }
  bool DrawInitialColor() const { return drawInitial_; }
  void SetDrawInitialColor(bool draw);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // 0 on the frame, 2 on the initial colour (upper half with DrawInitialColor), else 1.
  int32_t HitTest(int32_t x, int32_t y, int32_t width, int32_t height) const;
  void RenderCell(TMemoryGraphic& image, int32_t width, int32_t height) const override;

 private:
  TColorManager initial_;
  bool drawInitial_ = false;
  bool enabled_ = true;
};

// The tool window's main (1) and sub (2) colours: black and white to start with.
class CTwinColorCellCore final : public CCustomColorCellCore {
 public:
  CTwinColorCellCore();

  std::function<void()> onActiveCell;
  bool switchingAllowed = true;

  int32_t ActiveCell() const { return active_; }
  // When switching is allowed and n is 1 or 2 and new: the active-cell callback, repaint.
  void SetActiveCell(int32_t n);
  // Both act on the active cell.
  void SetColor(const SColorValue& value) override;
  void GetColor(SColorValue& value) const override;
  void GetMainColor(SColorValue& value) const { color_.GetColor(value); }
  void GetSubColor(SColorValue& value) const { sub_.GetColor(value); }
  void SetMainColor(const SColorValue& value) { CCustomColorCellCore::SetColor(value); }
  void SetSubColor(const SColorValue& value);
  TColorManager& SubColor() { return sub_; }
  TColorManager& ActiveColor() { return active_ == 2 ? sub_ : color_; }
  // SetComponents on the active colour, then the callback and a repaint, always.
  void SetComponents(int32_t space, float c1, float c2, float c3);
  // The two colours exchanged whole; the callback, a repaint.
  void SwapColors();

  // 1 main, 2 sub, 3 the swap corner, 0 none, on a control of width x height.
  static int32_t HitTest(int32_t x, int32_t y, int32_t width, int32_t height);
  // A left button down: a colour becomes active, the corner swaps. Returns the hit.
  int32_t MouseDown(int32_t x, int32_t y, int32_t width, int32_t height);
  // A double-click: true when it lies on the active colour (the dialog opens for it).
  bool DoubleClickOpensDialog(int32_t x, int32_t y, int32_t width, int32_t height) const;
  void RenderCell(TMemoryGraphic& image, int32_t width, int32_t height) const override;

 private:
  TColorManager sub_;
  int32_t active_ = 1;
};

}  // namespace tf
