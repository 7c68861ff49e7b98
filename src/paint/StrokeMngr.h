// CStrokeMngr: the newest stroke engine. Turns the input points of a stroke into spaced dabs of
// the pen renderer, and keeps the dirty rectangles of the latest segment and of the stroke.
#pragma once
// The manager sits below the document: it reaches the document through StrokePaper, which the
// document implements, and paints into the document's working copy through SStrokeCanvas.
#include <cstdint>

#include "paint/Interpolate.h"
#include "paint/PaintDocument.h"
#include "paint/StrokeParam.h"
#include "raster/Geometry.h"

namespace tf {

class CBlockVMTC;
class CPenRender;
class CPenShapeObj;
class TChannel;
class TMTC;
class TStroke;

// What the stroke manager asks of the document it paints into, beyond what the pixel writers
// ask (PaintDocument).
class StrokePaper : public PaintDocument {
 public:
  // Index of the active layer (-1 without layers) and of the top layer.
  virtual int32_t ActiveLayerIndex() const = 0;
  virtual int32_t TopLayerIndex() const = 0;
  // Where the canvas origin lies in the layer's store ({0, 0} for an unknown layer). Canvas
  // points become store points by adding it.
  virtual TPoint LayerOffset(int32_t layer) const = 0;
  // The layer's store, or null.
  virtual CBlockVMTC* LayerStore(int32_t layer) const = 0;
  // The window plays back a recording whose stream version is 33 or lower.
  virtual bool PlaysVersion33OrLower() const = 0;
  // The pen shape (nib preset) in force, or null.
  virtual CPenShapeObj* PenShape() const = 0;
};

// The working copy a stroke paints into: its 32-bit image, its coverage channel (same size) and
// where the canvas origin lies in it.
struct SStrokeCanvas {
  TMTC* image = nullptr;
  TChannel* channel = nullptr;
  TPoint origin{0, 0};
};

// The dirty rectangles as edges (left, top, right, bottom), canvas coordinates.
struct SStrokeDirty {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

class CStrokeMngr {
 public:
  // Paper none, layer -1, default stroke parameters, interpolation mode 1.
  CStrokeMngr(TStroke* stroke, CPenRender* renderer);
  virtual ~CStrokeMngr() = default;
  CStrokeMngr(const CStrokeMngr&) = delete;
  CStrokeMngr& operator=(const CStrokeMngr&) = delete;

  // Sets the stroke and hands it to the renderer.
  void SetStroke(TStroke* stroke);
  void SetRender(CPenRender* renderer) { renderer_ = renderer; }
  // Sets canvas and paper, and the renderer's paper.
  void Bind(const SStrokeCanvas& canvas, StrokePaper* paper);

  int32_t GetInterpolateMode() const { return interpolate_.GetMode(); }
  bool SetInterpolateMode(int32_t mode) { return interpolate_.SetMode(mode); }
  void SetStrokeParams(const SStrokeParam& record) { params_ = record; }
  void GetStrokeParams(SStrokeParam& record) const { record = params_; }
  SStrokeParam& StrokeParams() { return params_; }

  TStroke* GetStroke() const { return stroke_; }
  CPenRender* GetRender() const { return renderer_; }
  int32_t GetLayer() const { return layer_; }
  int32_t GetStepCounter() const { return stepCounter_; }
  int32_t GetDabCounter() const { return dabCounter_; }
  int32_t GetMajorAxis() const { return majorAxis_; }
  int32_t GetPreviousMajorAxis() const { return previousMajorAxis_; }
  SPointF GetLastPosition() const { return SPointF{lastX_, lastY_}; }
  const CInterpolate& Interpolation() const { return interpolate_; }

  // Bind; counters 0; previous major axis -1; both rectangles zero; a negative layer takes the
  // paper's active layer, a layer of the stack is taken, any other leaves the layer as it was;
  // SetStroke. True.
  bool BeginStroke(int32_t layer, const SStrokeCanvas& canvas, TStroke* stroke, StrokePaper* paper);
  // Starts the history at the point, resets the travelled distance and runs the renderer's start
  // step at the point in working-copy coordinates. False (nothing done) when the history cannot
  // be made, the point is not finite, or no stroke or renderer is bound.
  bool FirstPoint(float x, float y, float pressure);
  // Pushes the point into the history; false for a point that is not finite or an unready
  // history.
  bool AddPoint(float x, float y, float pressure);
  bool GetNewestPoint(SStrokePoint& point) const { return interpolate_.GetNewest(point); }
  // Paints the segment the history offers; the number of dabs drawn.
  int32_t Step();

  // Stroke opacity into the parameters, the stroke's colours into the renderer. False without a
  // stroke or renderer (a line on the developer output).
  bool LoadStrokeSettings();
  // The stroke's travelled distance := 0, then LoadStrokeSettings.
  bool ResetStrokeDistance();

  void AddDirty(int32_t x, int32_t y, bool reset, int32_t halfWidth, int32_t halfHeight);
  void AddDirtySquare(int32_t x, int32_t y, bool reset, int32_t halfSize) {
    AddDirty(x, y, reset, halfSize, halfSize);
  }
  // Position-and-size rectangles: left and top with bit 0 cleared, right + 1 and bottom + 1 with
  // bit 0 cleared.
  void GetSegmentRect(SRectWH& rect) const;
  void GetStrokeRect(SRectWH& rect) const;
  const SStrokeDirty& SegmentDirty() const { return segment_; }
  const SStrokeDirty& StrokeDirty() const { return strokeRect_; }

  // Clears the rectangle of the coverage channel (the whole channel for null) when there is one
  // and force is set or the renderer paints through it.
  void ClearCoverage(const SRectWH* rect, bool force);
  // Ends the renderer's stroke (an image nib gets its scale back).
  void EndStroke();

  // The renderer paints coverage into the channel instead of pixels.
  bool RendersToChannel() const;

 protected:
  // Draws one dab: the stroke opacity scaled by the factor, size and position in working-copy
  // coordinates. Whether the renderer drew.
  virtual bool Dab(float opacityFactor, float size, float x, float y);

 private:
  StrokePaper* paper_ = nullptr;
  SStrokeCanvas canvas_;
  TStroke* stroke_ = nullptr;
  CPenRender* renderer_ = nullptr;
  SStrokeParam params_{};
  CInterpolate interpolate_;
  SStrokeDirty segment_;
  SStrokeDirty strokeRect_;
  int32_t layer_ = -1;
  float lastX_ = 0.0f;
  float lastY_ = 0.0f;
  int32_t stepCounter_ = 0;
  int32_t dabCounter_ = 0;
  uint8_t majorAxis_ = 0;
  int32_t previousMajorAxis_ = -1;
};

// The dab interval in steps for a spacing in pixels: ceil(pixels), at least 1 (also for 0, a
// negative or NaN spacing), at most INT32_MAX.
int32_t DabIntervalSteps(float spacingPixels);
// p ^ g as the engine takes it: g 0 gives 1, p 0 with g above 0 gives 0.
float PressurePower(float p, float g);

}  // namespace tf
