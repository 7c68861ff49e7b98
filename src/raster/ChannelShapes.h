// Shapes on 8-bit channels: edges, outlines, dots, spans and polygon fills.
#pragma once
// Shapes on 8-bit channels: edge marking of a filled area, run-end and outline strength maps for
// selection outlines, round dots with subsample coverage (hard and soft), antialiased horizontal
// and vertical spans, and the two-pass antialiased polygon fill.
//
// Pixels outside the channel are skipped; nothing is reported.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

class TChannel;

// ---------------------------------------------------------------------------------------------
// Edge marking

// Called with the address of a nonzero byte and whether it lies on the area's edge.
using EdgeCallback = void (*)(uint8_t* byte, int32_t isEdge);

// Reports every nonzero byte of the rectangle (callers pass the whole image): bytes of the
// rectangle's first and last rows and columns are edges, others are edges when one of their
// four neighbours is 0. False when the rectangle clips to nothing.
bool MarkEdgePixels(TChannel& image, SRectWH& rect, EdgeCallback callback);
// byte := 255 when not an edge.
void SetInteriorFull(uint8_t* byte, int32_t isEdge);

// ---------------------------------------------------------------------------------------------
// Outline maps

// Every nonzero byte := value.
void SetNonZero(TChannel& image, uint8_t value);
// Every nonzero byte := value; then in each row and then each column the zero bytes next to a
// nonzero run := endValue.
void MarkRunEnds(TChannel& image, uint8_t value, uint8_t endValue);
// MarkRunEnds(value, 42), then the bytes around the area are raised by 42 per neighbouring
// run of value bytes in rows and in columns (at most 255).
void MakeOutline(TChannel& image, uint8_t value);

// ---------------------------------------------------------------------------------------------
// Dots

// The plot callback of DrawRoundDot, with the form of TChannel::BlendPixel.
using DotPlotter = bool (*)(TChannel& image, int32_t x, int32_t y, int32_t value, int32_t alpha);

// The initial plotter: TChannel::BlendPixel.
bool BlendPixelPlotter(TChannel& image, int32_t x, int32_t y, int32_t value, int32_t alpha);
// Sets the dot plotter (nullptr restores BlendPixelPlotter); returns the one before.
DotPlotter SetDotPlotter(DotPlotter plotter);
DotPlotter GetDotPlotter();

// Round dot through the dot plotter, coverage sampled in fifths of a pixel.
void DrawRoundDot(TChannel& image, int32_t value, bool antialias, float cx, float cy, float radius, float opacity,
                  bool keepMax);
// Round dot written with TChannel::BlendPixelFast; soft makes it fall off with the squared
// distance from the centre.
void DrawSoftDot(TChannel& image, int32_t value, bool keepMax, float cx, float cy, float radius, float opacity,
                 bool soft);
// Antialiased round dots of value 255 on a grid. End x is clamped into 2..width, end y into
// 2..height. Steps of 0 or less draw nothing.
void DrawDotGrid(TChannel& image, float startX, float startY, float endX, float endY, float stepX, float stepY,
                 float radius);

// ---------------------------------------------------------------------------------------------
// Spans and polygons

// One antialiased span along row y from x0 to x1, coverage in 64ths of a pixel.
void DrawHSpanAA(TChannel& image, int32_t y, int32_t value, float x0, float x1, float opacity, bool keepMax);
// The same along column x from y0 to y1.
void DrawVSpanAA(TChannel& image, int32_t x, int32_t value, float y0, float y1, float opacity, bool keepMax);
// Antialiased polygon of value 255 over the edges point[k] -> point[k + 1] (the caller closes
// the polygon). Repeated points are dropped; fewer than 4 points draw nothing.
void FillPolygonAA(TChannel& image, const TPoint* points, int32_t count);
// Closes the polygon (on a copy) and fills it with FillPolygonAA.
void FillPolygon(TChannel& image, const TPoint* points, int32_t count);

}  // namespace tf
