// The stroke state (TStroke): the current pen's settings and the state of the stroke in progress.
#pragma once
// TStroke holds the pen settings (colour, opacity, pen type, width, minimum size, gamma, effect
// values, switches) and, for the older stroke engines, the state of the stroke in progress: the
// last input points, the segment and stroke bounds, counters, the travelled distance, the
// watercolour mixing colours and the two pick-up windows of the smudging pens. The newest engine
// reads the same object for colour, opacity, pen type, switches and pick-up windows.
//
// Floats from settings, files and recordings may be NaN or infinite: the clamping setters take
// NaN as below their range, and every conversion of a float to an integer here is checked.
#include <cstdint>
#include <memory>

#include "paint/ColorPickup.h"
#include "paint/PaintDocument.h"
#include "paint/PenSetting.h"
#include "raster/Geometry.h"

namespace tf {

class TMTC;

// One input point.
struct SStrokePoint {
  float x;
  float y;
  float pressure;
};

class TStroke {
 public:
  // Switches 0, GAMMA 1, pen type 0, air-map kind 3, colour 0, back colour 0xFFFFFF, opacity 1,
  // the tag (2 for the tool window's stroke, 0 for the draw windows' and the player's), pick-up
  // count -1, two new pick-up windows.
  explicit TStroke(int32_t tag);
  TStroke(const TStroke&) = delete;
  TStroke& operator=(const TStroke&) = delete;

  // ---- settings ----
  // Stores the colour (pixel order); marks changed when different.
  void SetColor(uint32_t colour);
  void SetLayerIndex(int32_t index) { layerIndex_ = index; }
  // Stores without marking.
  void StoreColor(uint32_t colour) { colour_ = colour; }
  void SetBackColor(uint32_t colour) { backColour_ = colour; }
  // Clamped into 0.01..1.
  void SetOpacity(float x);
  // Each marks changed when different; with rechoose the writers are chosen again. True when the
  // switch changed.
  bool SetUseTone(bool on, bool rechoose);
  bool SetUseGradation(bool on, bool rechoose);
  // Stores without marking changed; with rechoose the writers are chosen again.
  bool SetKeepAlpha(bool on, bool rechoose);
  // By the pen type's row of the tables (false for a type above 8).
  bool CanUseTone() const;
  bool CanUseGradation() const;

  // Store a different value and mark changed.
  void SetMin(float x);
  void SetPenType(uint8_t type);
  void SetIfSize(bool on);
  void SetIfTransparency(bool on);
  void SetIfEdge(bool on);
  void SetEffect(float x);
  void SetEnv(float x);
  void SetSpeed(float x);
  // A different value is stored, marked, then clamped into 0.1..200.
  void SetWidth(float x);
  // A different value is stored as clamp(x, 0.01, 6) and marked.
  void SetGamma(float x);
  // clamp(x, 0.02, 2), not marked.
  void SetSpacing(float x);
  void SetChanged(bool flag) { changed_ = flag; }
  // The air-map kind (SetAirMap of the pixel writers stores it here and rebuilds the map).
  void StoreAirMapKind(uint8_t kind) { airMapKind_ = kind; }
  void SetRawPoints(bool on) { rawPoints_ = on; }
  void SetShapeStroke(bool on) { shapeStroke_ = on; }
  // Set while the program drives the stroke (shapes painted, events replayed): the document
  // window's stroke road then takes it whatever keys are held and during playback.
  void SetProgramDriven(bool on) { programDriven_ = on; }
  bool IsProgramDriven() const { return programDriven_; }

  // The pen settings as a record, and back (through the setters above).
  void GetPenSetting(SPenSetting& record) const;
  void SetPenSetting(const SPenSetting& record);

  uint32_t GetColor() const { return colour_; }
  uint32_t GetBackColor() const { return backColour_; }
  int32_t GetLayerIndex() const { return layerIndex_; }
  uint8_t GetPenType() const { return penType_; }
  uint8_t GetAirMapKind() const { return airMapKind_; }
  bool GetUseTone() const { return useTone_; }
  bool GetUseGradation() const { return useGradation_; }
  bool GetKeepAlpha() const { return keepAlpha_; }
  bool GetRawPoints() const { return rawPoints_; }
  bool GetShapeStroke() const { return shapeStroke_; }
  bool IsChanged() const { return changed_; }
  bool GetIfSize() const { return ifSize_; }
  bool GetIfTransparency() const { return ifTransparency_; }
  bool GetIfEdge() const { return ifEdge_; }
  float GetMin() const { return min_; }
  float GetWidth() const { return width_; }
  float GetGamma() const { return gamma_; }
  float GetEffect() const { return effect_; }
  float GetEnv() const { return env_; }
  float GetSpeed() const { return speed_; }
  float GetStoredOpacity() const { return opacity_; }
  float GetStoredSpacing() const { return spacing_; }
  int32_t GetTag() const { return tag_; }

  // 1.0 while the current draw window's document runs the oldest engine, else the stored opacity.
  float GetOpacity() const;
  // trunc(GetOpacity * 255) with a modern engine in the current window, else 255.
  int32_t GetOpacity255() const;
  // max(0.02, the pen type's fixed spacing, or the stroke's own).
  float GetSpacing() const;
  // WIDTH, or m + p*(WIDTH - m) with m = WIDTH*MIN/100 when pressure drives the size.
  float SizeAtPressure(float p) const;

  // ---- stroke in progress ----
  void IncStepCounter() { ++stepCounter_; }
  void ResetDistance(float value) { distance_ = value; }
  void AddDistance(float d) { distance_ += d; }
  int32_t GetStepCounter() const { return stepCounter_; }
  int32_t GetDabCounter() const { return dabCounter_; }
  void IncDabCounter() { ++dabCounter_; }
  float GetDistance() const { return distance_; }
  uint32_t GetNeutralColor() const { return neutralColour_; }

  void GetNewestPoint(SStrokePoint& point) const { point = points_[0]; }
  // Entries 0..7, newest first; false for another index.
  bool GetPoint(int32_t index, SStrokePoint& point) const;
  // Entry 2 := (x0, y0, p0), entry 1 := (x1, y1, p1).
  void SetSegmentPoints(float x0, float y0, float p0, float x1, float y1, float p1);
  // Every entry one place older, entry 0 := the point; unless raw points, entry 1 := the midpoint
  // of entries 0 and 2.
  void AddPoint(float x, float y, float p);
  // Segment bounds := entries 1 and 2 widened by WIDTH + 2; the stroke bounds take their union.
  void UpdateSegmentBounds();
  // Floors with bit 0 cleared, widths from ceilings + 1 with bit 0 cleared.
  void GetDirtyRect(SRectWH& rect) const;
  void GetStrokeRect(SRectWH& rect) const;
  const SRectF& SegmentBounds() const { return segmentBounds_; }
  const SRectF& StrokeBounds() const { return strokeBounds_; }

  // Counters and distance 0; the neutral colour of the stroke layer's blend mode; stroke bounds
  // empty; every history entry (x, y, 0).
  void ResetStroke(PaintDocument* paper, float x, float y);
  // The pen type's start step: wc WatercolourStartOld, rubpen StartPickup with radius WIDTH,
  // darken and lighten the lightness curve.
  void StartPenType(PaintDocument* paper, const TMTC& image, float x, float y, float p);
  // ResetStroke at (x, y), StartPenType at the point shifted by the working copy's origin.
  void BeginStroke(PaintDocument* paper, const TMTC& image, TPoint origin, float x, float y, float p);
  // The same without the shift.
  void BeginStrokeDirect(PaintDocument* paper, const TMTC& image, float x, float y, float p);
  // Mean of the 11 x 11 pixels around the point as the mixing colour and environment, then the
  // mixing colour moved toward the stroke colour by 255 - trunc(EFFECT*255/100) (into 0..255).
  void WatercolourStartOld(const TMTC& image, float x, float y);

  // ---- pick-up windows ----
  void StartPickup(const TMTC& image, float radius, float x, float y);
  bool UpdatePickup(const TMTC& image, float radius, float x, float y);
  bool SwapPickup(const TMTC& image, float radius, float x, float y);
  bool SwapPickupOld(const TMTC& image, float x, float y) { return SwapPickup(image, width_, x, y); }
  // Null while the count is below 1; the first window for an odd count, the second for an even.
  CPenTC* GetPickupWindow() const;
  CPenTC* GetPickupWindowByIndex(int32_t i) const;
  int32_t GetPickupCount() const { return pickupCount_; }
  TPoint GetPickupPosition() const { return pickupPosition_; }

  // ---- watercolour state ----
  uint32_t GetPickedColor() const { return pickedColour_; }
  uint32_t GetMixingColor() const { return mixingColour_; }
  uint32_t GetPaintColor() const { return paintColour_; }
  void SetMixingColor(uint32_t c) { mixingColour_ = c; }
  void SetPaintColor(uint32_t c) { paintColour_ = c; }
  float EnvRed() const { return envRed_; }
  float EnvGreen() const { return envGreen_; }
  float EnvBlue() const { return envBlue_; }
  void SetEnvironment(float r, float g, float b) {
    envRed_ = r;
    envGreen_ = g;
    envBlue_ = b;
  }

 private:
  SRectF segmentBounds_{0, 0, 0, 0};
  // Bounds as (min x, min y, max x, max y); the empty stroke bounds are (65535, 65535, -65535, -65535).
  SRectF strokeBounds_{65535, 65535, -65535, -65535};
  SStrokePoint points_[8] = {};
  uint32_t backColour_ = 0xFFFFFF;
  float opacity_ = 1.0f;
  uint8_t airMapKind_ = 3;
  bool useTone_ = false, useGradation_ = false, rawPoints_ = false, shapeStroke_ = false, keepAlpha_ = false,
       changed_ = false;
  bool programDriven_ = false;
  uint32_t colour_ = 0;
  int32_t layerIndex_ = 0;
  uint8_t penType_ = 0;
  bool ifSize_ = false, ifTransparency_ = false, ifEdge_ = false;
  float min_ = 0, width_ = 0, gamma_ = 1.0f, effect_ = 0, env_ = 0, speed_ = 0;
  int32_t stepCounter_ = 0;
  float distance_ = 0;
  float spacing_ = 0.02f;
  int32_t dabCounter_ = 0;
  int32_t tag_;
  TPoint pickupPosition_{0, 0};
  uint32_t neutralColour_ = 0x00FFFFFF;
  int32_t pickupCount_ = -1;
  std::unique_ptr<CPenTC> pickup_[2];
  uint32_t pickedColour_ = 0, mixingColour_ = 0, paintColour_ = 0;
  float envRed_ = 0, envGreen_ = 0, envBlue_ = 0;
};

}  // namespace tf
