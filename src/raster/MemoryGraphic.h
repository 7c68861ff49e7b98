// TMemoryGraphic: the off-screen 32-bit drawing surface of the controls, its channel operations
// and primitives.
#pragma once
// The off-screen surface behind every owner-drawn control, glyph and picker: top-down rows of
// straight (not premultiplied) BGRA pixels (0xAARRGGBB), no row padding. Every primitive takes
// a pair of channel operations, one for the colour bytes and one for alpha, and returns false
// when the surface is invalid, the area is clipped away, a size condition fails, an argument is
// not a finite number, or a work buffer cannot be allocated.
//
// Compositing rule: painting colour C (alpha Ca) with coverage k sets each colour byte to
// color(dst, C, k * Ca / 255) and alpha to alpha(dst alpha, Ca, k) for 0 < k < 1, with weights
// Ca / 255 and 1 for k >= 1; k <= 0 leaves the pixel. Ca / 255 is a Single computed once per call.
// The operation pair is chosen once per call; pixel loops carry no branch on it.
//
// Putting a surface on a window (Draw, DrawBlend) and drawing text (DrawText, DrawCaption) are
// the window system's half: ui/MemoryGraphicQt.h.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "raster/Geometry.h"

namespace tf {

// A channel operation: how one byte of a touched pixel changes, as a function of (destination
// byte, source byte, weight).
enum class TChannelOp : uint8_t { Keep, Copy, Blend, Multiply };
// Destination unchanged.
inline constexpr TChannelOp ChannelKeep = TChannelOp::Keep;
// The source byte.
inline constexpr TChannelOp ChannelCopy = TChannelOp::Copy;
// destination + Trunc((source - destination) * weight), in byte arithmetic.
inline constexpr TChannelOp ChannelBlend = TChannelOp::Blend;
// ChannelBlend towards destination * source / 255 ((d * s * 32897) >> 23).
inline constexpr TChannelOp ChannelMultiply = TChannelOp::Multiply;

// The operation pair of a primitive: the colour operation first, then the alpha operation.
struct SChannelOps {
  TChannelOp color;
  TChannelOp alpha;
};

// The new destination byte.
uint8_t ApplyChannelOp(TChannelOp op, uint8_t destination, uint8_t source, float weight);

// Colours the controls share.
inline constexpr uint32_t BGRABlack = 0xFF000000;
inline constexpr uint32_t BGRABlue = 0xFF0000FF;
inline constexpr uint32_t BGRARed = 0xFFFF0000;
inline constexpr uint32_t BGRAGreen = 0xFF00FF00;
inline constexpr uint32_t BGRAWhite = 0xFFFFFFFF;
inline constexpr uint32_t BGRAGray = 0xFF808080;
inline constexpr uint32_t BGRAClear = 0x00000000;
inline constexpr uint32_t BGRAClearWhite = 0x00FFFFFF;

// Directions of ramps, gradients and triangles: where a ramp starts, where a triangle points.
enum : uint8_t { kDirDown = 0, kDirUp = 1, kDirRight = 2, kDirLeft = 3 };

// The density of a falloff ellipse at a normalised distance 0..1 (supplied by the caller).
using FalloffFunction = std::function<float(float)>;

class TMemoryGraphic {
 public:
  // Empty (no pixels), background 0x00FFFFFF.
  TMemoryGraphic();
  // Empty, with a background colour.
  static TMemoryGraphic CreateColor(uint32_t background);
  // Sized (at least 1 x 1) and cleared to the background.
  TMemoryGraphic(int32_t width, int32_t height, uint32_t background = BGRAClearWhite);
  ~TMemoryGraphic();
  TMemoryGraphic(TMemoryGraphic&& other) noexcept;
  TMemoryGraphic& operator=(TMemoryGraphic&& other) noexcept;
  TMemoryGraphic(const TMemoryGraphic&) = delete;
  TMemoryGraphic& operator=(const TMemoryGraphic&) = delete;

  // Resizes to at least 1 x 1 and clears; the same size keeps the pixels. False when the pixels
  // cannot be allocated (the size is kept, IsValid is false).
  bool SetSize(int32_t width, int32_t height);
  // The whole surface to the background colour.
  bool Clear();
  bool IsValid() const { return pixels_ != nullptr && width_ > 0 && height_ > 0; }
  bool Contains(int32_t x, int32_t y) const { return IsValid() && x >= 0 && x < width_ && y >= 0 && y < height_; }
  // Coordinates outside are clamped into the surface; 0 when invalid.
  uint32_t GetPixel(int32_t x, int32_t y) const;
  void SetPixel(int32_t x, int32_t y, uint32_t value);
  // Row y, null outside.
  uint32_t* ScanLine(int32_t y);
  const uint32_t* ScanLine(int32_t y) const;
  // Unchecked.
  uint32_t* PixelAddress(int32_t x, int32_t y) { return pixels_ + static_cast<ptrdiff_t>(y) * width_ + x; }

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  uint32_t* Pixels() { return pixels_; }
  const uint32_t* Pixels() const { return pixels_; }
  // Bytes from one row to the next.
  ptrdiff_t Stride() const { return static_cast<ptrdiff_t>(width_) * 4; }
  uint32_t Background() const { return background_; }
  // Takes effect at the next Clear or resize.
  void SetBackground(uint32_t colour) { background_ = colour; }

  // Clipping: a negative origin shortens the size, then the size is limited by the surface.
  // False when invalid or nothing is left (the values are then not to be used).
  bool ClipBounds(int32_t& x, int32_t& y, int32_t& width, int32_t& height) const;
  bool ClipRect(const TRect& rect, int32_t& x, int32_t& y, int32_t& width, int32_t& height) const;
  // The clipped rectangle; unchanged when nothing is left.
  bool ClipRectOut(const TRect& in, TRect& out) const;

  // ---- Rectangles, frames, gradients ----
  bool FillRect(const TRect& rect, uint32_t colour, SChannelOps ops);
  // Cells of (cellX, cellY) from the clipped top-left; colour 1 where row and column parity
  // agree. False for a cell side below 1.
  bool FillChecker(const TRect& rect, int32_t cellX, int32_t cellY, uint32_t colour1, uint32_t colour2,
                   SChannelOps ops);
  // Needs the clipped size to be at least the line width (and the width at least 1).
  bool FrameRect(const TRect& rect, int32_t lineWidth, uint32_t colour, SChannelOps ops);
  // Needs 2 * line width within the clipped width and height.
  bool FrameRect4(const TRect& rect, int32_t lineWidth, uint32_t left, uint32_t top, uint32_t right,
                  uint32_t bottom, SChannelOps ops);
  // Colour 1 left and top, colour 2 right and bottom.
  bool DrawBevel(const TRect& rect, int32_t lineWidth, uint32_t colour1, uint32_t colour2, SChannelOps ops);
  // A frame with cut corners; the twelve pixels beside the surface's corners get colour
  // weight 0.5.
  bool RoundFrame(const TRect& rect, int32_t lineWidth, uint32_t colour, SChannelOps ops);
  // From A where the direction starts to B, by LerpPixel.
  bool FillGradient(const TRect& rect, uint32_t a, uint32_t b, uint8_t direction, SChannelOps ops);
  bool FillGradient4(const TRect& rect, uint32_t topLeft, uint32_t topRight, uint32_t bottomRight,
                     uint32_t bottomLeft, SChannelOps ops);

  // ---- Lines ----
  // Antialiased, stepped in 16.16 along the longer axis; both operations get the line's weights.
  bool DrawLine(SPointF p1, SPointF p2, uint32_t colour, SChannelOps ops);
  bool DrawPolyline(const SPointF* points, int32_t count, uint32_t colour, SChannelOps ops);

  // ---- Blits ----
  // The core blit between two top-down blocks whose stride is their width: colour bytes
  // color(dst, src, src alpha / 255), alpha alpha(dst alpha, src alpha, 1).
  static bool BlendBits(uint32_t* destination, int32_t x, int32_t y, int32_t width, int32_t height,
                        int32_t destinationWidth, int32_t destinationHeight, const uint32_t* source,
                        int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                        SChannelOps ops);
  bool DrawGraphic(int32_t x, int32_t y, int32_t width, int32_t height, const TMemoryGraphic& source,
                   int32_t sourceX, int32_t sourceY, SChannelOps ops);
  bool DrawBits(int32_t x, int32_t y, int32_t width, int32_t height, const uint32_t* source, int32_t sourceX,
                int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight, SChannelOps ops);
  // Copies the values unchanged; true when anything was copied.
  bool CopyBits(int32_t x, int32_t y, int32_t width, int32_t height, const uint32_t* source, int32_t sourceX,
                int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight);

  // ---- Colour fields (HSV conversion when hsv, else HSL with value as lightness) ----
  bool FillHueRamp(const TRect& rect, uint8_t direction, float startHue, float saturation, float value,
                   float alpha, SChannelOps ops, bool hsv);
  bool FillSaturationRamp(const TRect& rect, uint8_t direction, float hue, float value, float alpha,
                          SChannelOps ops, bool hsv);
  bool FillValueRamp(const TRect& rect, uint8_t direction, float hue, float saturation, float alpha,
                     SChannelOps ops, bool hsv);
  bool FillHueValuePlane(const TRect& rect, uint8_t hueDirection, float startHue, float saturation, float alpha,
                         uint8_t valueDirection, SChannelOps ops, bool hsv);
  bool FillHueSaturationPlane(const TRect& rect, uint8_t hueDirection, float startHue, float value, float alpha,
                              uint8_t saturationDirection, SChannelOps ops, bool hsv);
  bool FillSaturationValuePlane(const TRect& rect, uint8_t saturationDirection, float hue, float alpha,
                                uint8_t valueDirection, SChannelOps ops, bool hsv);

  // ---- Antialiased shapes ----
  bool FillCircle(SPointF centre, uint32_t colour, float radius, SChannelOps ops);
  // Disc and ring inscribed in the square (x, y, size), shrunk to the square's visible part.
  bool FillDot(int32_t x, int32_t y, int32_t size, uint32_t colour, SChannelOps ops);
  bool FrameDot(int32_t x, int32_t y, int32_t size, int32_t lineWidth, uint32_t colour, SChannelOps ops);
  bool FillHueDisc(int32_t x, int32_t y, int32_t size, float startHue, float saturation, float value, float alpha,
                   SChannelOps ops, bool hsv);
  bool FillHueSaturationDisc(int32_t x, int32_t y, int32_t size, float startHue, float value, float alpha,
                             SChannelOps ops, bool hsv);
  bool FillHueValueDisc(int32_t x, int32_t y, int32_t size, float startHue, float saturation, float alpha,
                        SChannelOps ops, bool hsv);
  bool FrameHueRing(int32_t x, int32_t y, int32_t size, int32_t lineWidth, float startHue, float saturation,
                    float value, float alpha, SChannelOps ops, bool hsv);
  // Rotated ellipses: the longer radius points along the angle (radians).
  bool FillEllipse(SPointF centre, float radiusX, float radiusY, float angle, uint32_t colour, SChannelOps ops);
  bool FillEllipseFalloff(SPointF centre, float radiusX, float radiusY, float angle, uint32_t colour,
                          const FalloffFunction& falloff, float inner, float floor, SChannelOps ops);
  bool FillEllipseRing(SPointF centre, float radiusX, float radiusY, float innerScale, float angle,
                       uint32_t innerColour, uint32_t outerColour, SChannelOps ops);
  bool FillTriangle(const TRect& rect, uint32_t colour, uint8_t direction, SChannelOps ops);
  bool FillTriangleH(const TRect& rect, uint32_t colour, uint8_t direction, SChannelOps ops);
  bool FillTriangleV(const TRect& rect, uint32_t colour, uint8_t direction, SChannelOps ops);
  bool FillGradientTriangle(const TRect& rect, uint32_t cornerA, uint32_t apex, uint32_t cornerB,
                            uint8_t direction, SChannelOps ops);
  bool FillGradientTriangleH(const TRect& rect, uint32_t cornerA, uint32_t apex, uint32_t cornerB,
                             uint8_t direction, SChannelOps ops);
  bool FillGradientTriangleV(const TRect& rect, uint32_t cornerA, uint32_t apex, uint32_t cornerB,
                             uint8_t direction, SChannelOps ops);

 private:
  void Release();
  // The four bands of a frame; the clipped size must reach widthsNeeded line widths.
  bool FrameBands(const TRect& rect, int32_t lineWidth, int32_t widthsNeeded, uint32_t left, uint32_t top,
                  uint32_t right, uint32_t bottom, SChannelOps ops);
  bool FillBand(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour, SChannelOps ops);
  bool FillRamp(const TRect& rect, uint8_t direction, int axis, float hue, float saturation, float value,
                float alpha, SChannelOps ops, bool hsv);
  bool FillPlane(const TRect& rect, uint8_t firstDirection, int firstAxis, uint8_t secondDirection,
                 int secondAxis, float hue, float saturation, float value, float alpha, SChannelOps ops,
                 bool hsv);
  bool DrawDisc(int32_t x, int32_t y, int32_t size, int32_t lineWidth, int kind, uint32_t colour, float startHue,
                float saturation, float value, float alpha, SChannelOps ops, bool hsv);
  bool DrawEllipse(SPointF centre, float radiusX, float radiusY, float angle, int kind, uint32_t colour,
                   uint32_t outerColour, float innerScale, const FalloffFunction* falloff, float inner,
                   float floor, SChannelOps ops);

  uint32_t* pixels_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint32_t background_ = BGRAClearWhite;
};

// The density of the falloff ellipse: 1 at the centre, or when inner or floor reaches 1;
// otherwise the function of the distance (rescaled past inner), raised by floor, clamped 0..1.
float FalloffValue(const FalloffFunction& falloff, float rho, float inner, float floor);

}  // namespace tf
