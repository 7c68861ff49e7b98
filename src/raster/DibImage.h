// TTC: the 32-bit image that windows can show.
#pragma once
// TTC: the 32-bit image that windows can show. Its pixel block is plain memory with bottom-up
// rows, laid out as a device-independent bitmap, so it needs no screen; drawing it onto a window,
// paint box, canvas or device context goes through a Surface (platform/Surface.h), which paints
// the pixels opaque (the copies never blend).
//
// makeDC stands for the image's own drawing context: an image made without one can be drawn
// into like any TMTC but cannot be drawn onto a surface, nor framed with FrameRectGDI.
#include <cstdint>
#include <string>

#include "platform/Stream.h"
#include "platform/Surface.h"
#include "raster/BmpData.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// The read-only stream over a block its creator owns, through which BMP data held in memory
// (resources, clipboard data) is parsed. Neither its size nor its block ever changes.
using CFixedMemStream = FixedMemoryStream;

class TTC : public TMTC {
 public:
  // Empty, drawing context wanted.
  TTC();
  // Empty, with or without a drawing context.
  explicit TTC(bool makeDC);
  TTC(int32_t width, int32_t height, bool makeDC = true);
  TTC(const TTC&) = delete;
  TTC& operator=(const TTC&) = delete;
  ~TTC() override;

  // Slot 0: the base's, then makeDC := true.
  void InitFields() override;
  // Slot 1: releases the block and the row table; size 0 x 0.
  void FreeImage() override;
  // Slot 4: the same size answers true at once (no validity check). Otherwise the old block
  // goes and a zeroed block of max(w, 1) x max(h, 1) pixels with bottom-up rows comes.
  // A failed allocation writes "TTC::Resize: caught an exception!\n" to the debugger output and
  // answers false, leaving an invalid image of size 0 x 0.
  bool Resize(int32_t width, int32_t height) override;
  // Slot 7: -width (bottom-up).
  int32_t GetRowStep() const override { return -view_.width; }

  bool MakesDC() const { return makeDC_; }
  // The image can be drawn onto a surface: valid and made with a drawing context.
  bool HasDC() const { return makeDC_ && IsValid(); }

  // Draws onto a window's client area: with stretch, 1:1 at (0, 0) when the client area has the
  // image's size, else stretched over the whole client area; without, 1:1 at (x, y).
  void DrawToWindow(Surface& window, int32_t x, int32_t y, bool stretch) const;
  // The same onto a paint box (its size stands for the client size).
  void DrawToPaintBox(Surface& paintBox, int32_t x, int32_t y, bool stretch) const;
  // 1:1 copy of the whole image to (x, y); the copy's result.
  bool DrawToDC(Surface& dc, int32_t x, int32_t y) const;
  void DrawToCanvas(Surface& canvas, int32_t x, int32_t y) const;
  // One-pixel outline of the bounds (left, top) .. (right - 1, bottom - 1) in a window-system
  // colour (red in the low byte), clipped to the image; nothing when the bounds are empty.
  // Only B, G and R are written: each pixel keeps its alpha byte. False when nothing was drawn.
  bool FrameRectGDI(const TRect& bounds, uint32_t colour);

  // SaveBMP24 of this image.
  bool SaveBMP24(const std::string& path, int32_t dpi) const;

 private:
  bool makeDC_ = true;
};

// The image's pixels as a surface reads them (row 0 on top), whatever the row order.
PixelBlockView BlockViewOf(const TMTC& image);

// Draws any 32-bit image 1:1 at (x, y), upright whatever its row order; the copy's result
// (false for an invalid image).
bool PaintToDC(const TMTC& image, Surface& dc, int32_t x, int32_t y);

}  // namespace tf
