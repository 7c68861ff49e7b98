// The document window's dialogs without their windows: value records, the size and resolution
// arithmetic, JPEG presets, the new layer's colour items, the layer options' ranges and preview.
#pragma once
// Each core holds the dialog's number models (TNumMngr); the form binds edits and track bars to
// them and calls the core's change handler with the control that changed. Busy guards stop a
// handler from running again while it updates its own models.
#include <cstdint>
#include <string>

#include "raster/LengthUnit.h"
#include "raster/MemoryGraphic.h"
#include "raster/NumMngr.h"

namespace tf {

class CAppProfile;
class CBlockVMTC;
class CBlockVCH;

struct TImageSizeValue {
  int32_t width = 0;
  int32_t height = 0;
  int32_t anchor = 4;  // 3 x 3 cell, row by row from the top left
};

struct TResolutionValue {
  int32_t width = 0;
  int32_t height = 0;
  int32_t resolution = 72;
};

struct TJpegOptionValue {
  int32_t qualityChoice = 0;  // 0..3 a preset, 4 a free quality
  int32_t quality = 75;
  int32_t smoothing = 0;
  bool grayscale = false;
  bool progressive = false;
};

struct TNewLayerValue {
  std::string name;  // UTF-8
  int32_t blendMode = 0;
  int32_t opacity = 255;
  uint32_t color = 0x00FFFFFF;
};

struct TLayerOptionValue {
  int32_t x = 0;
  int32_t y = 0;
  bool crop = false;
  std::string name;
  int32_t blendMode = 0;
  int32_t opacity = 255;
  bool dither = false;
  int32_t ditherStrength = 255;
};

struct TMaskOptionValue {
  int32_t x = 0;
  int32_t y = 0;
  bool crop = false;
  std::string name;
};

// The unit lists' entries in order: "%", "inch", "cm", "mm".
inline constexpr uint8_t kUnitListUnits[4] = {luPercent, luInch, luCm, luMm};
uint8_t UnitOfListIndex(int32_t index);

// trunc(v + 0.5): the size results (the position results round halves away from zero with
// RoundHalfAway of filters/Convolve.h).
int32_t TruncHalfUp(long double v);
// Opacity 0..255 shown as 0..100 and back (trunc(v x 2.55 + 0.5)).
float OpacityToPercent(int32_t opacity);
int32_t PercentToOpacity(float percent);

// One side of a size dialog: the current size in pixels, the new size in the unit it was last
// entered in (never percent: a percentage is kept as pixels), and that unit.
struct SSizeSide {
  int32_t current = 8;
  float size = 8;
  uint8_t unit = luPixel;
};
// The new size in pixels at a resolution, and in a unit (percent: of the current size).
float SidePixels(const SSizeSide& side, float resolution);
float SideInUnit(const SSizeSide& side, uint8_t unit, float resolution);

// ---- Image size -----------------------------------------------------------------------------

class CImageSizeCore {
 public:
  enum Sender : uint8_t { sNone, sCmbWidth, sCmbHeight, sNumWidth, sNumHeight, sNumPixelW, sNumPixelH, sChkRelation };
  CImageSizeCore();
  // Seeds from the picture (the pixel models' changes fill the rest).
  void Seed(int32_t width, int32_t height, int32_t resolution);
  void ParamChange(Sender sender);
  // List indexes of the unit lists (0..3), set by the form before calling ParamChange.
  int32_t unitIndexW = 0, unitIndexH = 0;
  bool relation = false;
  TNumMngr NumWidth, NumHeight, NumPixelW, NumPixelH;
  // The current-size label and the pixel group's caption.
  std::string SizeText() const;
  std::string PixelCaption() const;
  int32_t ResultWidth() const;
  int32_t ResultHeight() const;
  // The form calls this after binding: each model's change goes to ParamChange.
  void Wire();

 private:
  SSizeSide w_, h_;
  float resolution_ = 72;
  bool busy_ = false;
};

// ---- Resolution -----------------------------------------------------------------------------

class CResolutionCore {
 public:
  enum Sender : uint8_t { sNone, sCmbWidth, sCmbHeight, sNumWidth, sNumHeight, sNumPixelW, sNumPixelH, sNumResolution, sChkConstraint };
  CResolutionCore();
  void Seed(int32_t width, int32_t height, int32_t resolution);
  void ParamChange(Sender sender);
  int32_t unitIndexW = 0, unitIndexH = 0;
  bool constraint = true;
  TNumMngr NumWidth, NumHeight, NumPixelW, NumPixelH, NumResolution;
  std::string SizeText() const;
  std::string PixelCaption() const;
  int32_t Resolution() const;
  int32_t ResultWidth() const;
  int32_t ResultHeight() const;
  void Wire();

 private:
  SSizeSide w_, h_;
  bool busy_ = false;
};

// ---- JPEG options ---------------------------------------------------------------------------

// The quality of a preset index (jpegQVHigh, jpegQHigh, jpegQStd, jpegQLow; jpegQHigh otherwise).
int32_t JpegPresetQuality(const CAppProfile& profile, int32_t index);
// The nearest preset of a quality (a tie goes to the higher one).
int32_t JpegPresetOfQuality(const CAppProfile& profile, float quality);
// The quality track bar's warped scale: model position to drawn and back.
float JpegTrackIn(float p);
float JpegTrackOut(float p);

class CJpegOptionCore {
 public:
  enum Sender : uint8_t { sNone, sCmbC, sNumQ, sTrackQ, sNumS, sTrackS, sChkG, sChkP };
  explicit CJpegOptionCore(const CAppProfile& profile);
  // Seeds from the settings (busy while it runs), the track bars' drawn positions included.
  void Seed();
  // trackPosition: the track bar's out-filtered position for sTrackQ and sTrackS.
  void ValueChange(Sender sender, float trackPosition = 0);
  int32_t presetIndex = 0;
  bool grayscale = false, progressive = false;
  TNumMngr NumQ, NumS;
  // The model positions the track bars show (before the in-filter).
  float trackQ = 0, trackS = 0;
  TJpegOptionValue value;
  // Writes jpegQType, jpegQuality, jpegValSmooth, jpegUseSmooth, jpegUseProgressive.
  void WriteSettings(CAppProfile& profile) const;

 private:
  void Fill();
  const CAppProfile& profile_;
  bool busy_ = false;
};

// ---- New layer ------------------------------------------------------------------------------

class CNewLayerCore {
 public:
  CNewLayerCore();
  // The list's three colour items ("白", "黒", "グレー", one renamed as the neutral colour).
  std::string colourItems[3];
  int32_t colourIndex = 0;
  int32_t modeIndex = 0;  // TBlendMode order
  bool transparent = true;
  TNumMngr NumOpaque;
  // The blend-mode list's choice changed.
  void ModeChange(int32_t index);
  TNewLayerValue Result(const std::string& name) const;

 private:
  uint32_t lastEntry_;  // the table entry of the last mode (its id)
};

// ---- Layer and mask options -------------------------------------------------------------------

// The position model of one side: min(-a, v) .. max(a, v), a = min(side, 10000 - side).
void SeedPositionModel(TNumMngr& model, int32_t storeSide, int32_t value);
// Crop is offered when the store is larger than the canvas on a side.
bool CropOffered(int32_t storeW, int32_t storeH, int32_t canvasW, int32_t canvasH);

// The preview of the layer and mask options: box-sized, as the box shows it. False when the store
// (or, without one, the canvas) has a side below 1 or the scaled copy cannot be made.
bool DrawLayerPreview(TMemoryGraphic& box, const CBlockVMTC& store, int32_t x, int32_t y, int32_t canvasW,
                      int32_t canvasH);
bool DrawMaskPreview(TMemoryGraphic& box, const CBlockVCH* store, int32_t x, int32_t y, int32_t canvasW,
                     int32_t canvasH);

}  // namespace tf
