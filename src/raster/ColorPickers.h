// The colour pickers without their window: layouts, background fields, picks and markers of the
// four kinds (area and slider, hue ring, hue disc, three sliders).
#pragma once
// Each picker keeps its colour in a TColorManager (raster/ColorValue.h) and draws into two
// surfaces: the background (the colour fields, rebuilt when the colour or the size changes) and
// the foreground (the background and the markers), centred in the control at Offset(). The
// window half (ui/ColorPickers.h) routes the mouse here and copies Foreground() to the screen.
//
// A change made with the mouse goes through TColorManager::SetComponents with the picker's space
// (components in the model's order, whatever the axes), then the picker's change callback, the
// background where it depends on the change, and a repaint. A region under 2 pixels in the
// direction a pick divides by takes no picks, so no colour ever gets a component that is not a
// finite number.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "raster/ColorValue.h"
#include "raster/Geometry.h"
#include "raster/MemoryGraphic.h"

namespace tf {

// The kinds, as GetPickerKind answers them.
enum : int32_t {
  kPickerAreaSlider = 0,  // TColorPicker
  kPickerSliders = 1,     // TSliderColorPicker
  kPickerTriangle = 2,    // TTriangleColorPicker
  kPickerCircle = 3,      // TCircleColorPicker
};

class CColorPickerCore {
 public:
  virtual ~CColorPickerCore();

  // 0..3 as above.
  virtual int32_t GetPickerKind() const = 0;
  // The 9-bit mask of the spaces the kind shows.
  virtual uint16_t GetColorSpaces() const = 0;

  // The picker's change callback (its sender is the picker that holds this core), and the request
  // to show the foreground again.
  std::function<void()> onChange;
  std::function<void()> onRepaint;

  TColorManager& Color() { return *color_; }
  const TColorManager& Color() const { return *color_; }
  // Hands the manager over (to a picker of another kind), and takes one.
  std::unique_ptr<TColorManager> TakeColorManager();
  void SetColorManager(std::unique_ptr<TColorManager> manager);

  uint8_t ColorSpace() const { return space_; }
  // Nothing when equal or not supported; else the manager's space byte, render, repaint.
  bool SetColorSpace(int32_t space);
  bool SliderColored() const { return sliderColored_; }
  void SetSliderColored(bool colored);
  // Nothing when equal (IsEqualPickerColor 0); else the manager takes value, the background is
  // rendered when a component differed, and the change callback fires. The area-and-slider kind
  // then applies its slider and area values again through its own setters, which always fire:
  // two callbacks more than the other kinds.
  void SetColor(const SColorValue& value);
  void GetColor(SColorValue& value) const { color_->GetColor(value); }

  // The control's size: the layout, then the background.
  void SetBounds(int32_t width, int32_t height);
  int32_t ControlWidth() const { return controlWidth_; }
  int32_t ControlHeight() const { return controlHeight_; }
  // Rebuilds the background (and the foreground).
  void RenderBackground();
  // The background with the markers on top.
  void RenderForeground();
  const TMemoryGraphic& Background() const { return background_; }
  const TMemoryGraphic& Foreground() const { return foreground_; }
  // Where the surfaces' top-left corner lies in the control.
  TPoint Offset() const { return offset_; }
  // Puts the foreground on a surface of the control's size (cleared to button face first).
  void PaintTo(TMemoryGraphic& target) const;

  // Mouse, in control coordinates. A left button down chooses the region to drag and picks; moves
  // while the button is held pick in that region, clamped; the button up ends the drag.
  void MouseDown(int32_t x, int32_t y);
  void MouseMove(int32_t x, int32_t y);
  void MouseUp();
  // 0 no drag; the kinds number their regions from 1.
  int32_t DragMode() const { return drag_; }

  // The colour's three components in the order of a model (0 RGB, 1 HSV, 2 HSL).
  void ModelComponents(int32_t model, float components[3]) const;

 protected:
  CColorPickerCore(uint8_t initialSpace, int32_t markGlyph);

  // Sizes the surfaces and places the regions; false when the surfaces cannot be made.
  virtual bool Layout(int32_t width, int32_t height) = 0;
  // The background in parts: what depends only on the layout and the space (frames, rings), then
  // fields that do not overlap, each drawn over the static part inside its rectangle and
  // depending only on its key. A field whose key has not changed is copied from its last drawing
  // instead of drawn again; the pixels are the same.
  using FieldKeyValues = std::array<float, 4>;
  virtual void DrawStatic() = 0;
  virtual int32_t FieldCount() const = 0;
  virtual TRect FieldRect(int32_t field) const = 0;
  virtual void FieldKey(int32_t field, FieldKeyValues& key) const = 0;
  virtual void DrawField(int32_t field) = 0;
  // The components of the space's model.
  void CurrentValues(float components[3]) const { ModelComponents(ColorSpaceModel(space_), components); }
  // The static part and every field are drawn afresh at the next render.
  void InvalidateBackground() { staticValid_ = false; }
  virtual void DrawMarkers() = 0;
  // The region under a local point (0 none); -1 ignores the press altogether.
  virtual int32_t HitRegion(int32_t x, int32_t y) = 0;
  virtual void Pick(int32_t region, int32_t x, int32_t y) = 0;
  // After SetColor: the kind's own setters with the stored colour.
  virtual void ReapplyColor() {}

  // The callback, the background when asked, and a repaint.
  void Changed(bool render);
  void Repaint();
  // Sets the model's components through the manager with the picker's space.
  bool SetModelComponents(const float components[3]);
  // Blends the marker glyph with its top-left at (x, y) of the foreground.
  void DrawMarker(int32_t x, int32_t y);
  bool SurfacesValid() const { return valid_; }
  bool ResizeSurfaces(int32_t width, int32_t height);

  TMemoryGraphic background_;
  TMemoryGraphic foreground_;
  TPoint offset_{0, 0};
  uint8_t space_;
  bool sliderColored_ = true;
  int32_t drag_ = 0;

 private:
  std::unique_ptr<TColorManager> color_;
  int32_t markGlyph_;
  int32_t controlWidth_ = 0;
  int32_t controlHeight_ = 0;
  bool valid_ = false;

  struct SFieldCache {
    bool valid = false;
    FieldKeyValues key{};
    TRect rect{};
    std::vector<uint32_t> pixels;
  };
  TMemoryGraphic static_;
  bool staticValid_ = false;
  std::vector<SFieldCache> fieldCaches_;
};

// A new core of a kind (null for a kind outside 0..3).
std::unique_ptr<CColorPickerCore> CreateColorPickerCore(int32_t kind);

// The layout of the area-and-slider and the disc pickers: a = min(width, height + 18), the surfaces
// a x (a - 18), b = a - 18, m = 5; area or disc square (m, m) sized b - 2m, slider (a - 15, m)
// 11 x (b - 2m).
struct SAreaSliderLayout {
  int32_t a, b;
  TPoint offset;
  TRect area;
  TRect slider;
};
SAreaSliderLayout AreaSliderLayout(int32_t width, int32_t height);

// The hue ring's layout: a = min(width, height), the inner square (HSV) or triangle (HSL) in a
// circle of diameter a - a div 4 - 12.
struct STriangleLayout {
  int32_t a;
  TPoint offset;
  TRect square;
  TRect triangle;
};
STriangleLayout TriangleLayout(int32_t width, int32_t height);

// The slider picker's layout: the surfaces max(width, 10) x max(height, 57), slider k at
// (4, 5 + 19k) sized (width - 8) x 16 (the bar is its top 7 rows), the spectrum (4, 62) sized
// (width - 8) x (height - 66).
struct SSliderLayout {
  int32_t width, height;
  TPoint offset;
  TRect sliders[3];
  TRect spectrum;
};
SSliderLayout SliderLayout(int32_t width, int32_t height);

// A marker coordinate trunc(position + 0.5), a result below 0 moved one c up and one above c one c
// down, so hues below 0 wrap round.
int32_t WrapMarker(double position, int32_t c);

}  // namespace tf
