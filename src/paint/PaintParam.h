// Tool settings (TPaintParam): the editable settings of one painting tool, the per-kind tables,
// the conversions to and from strokes, brush presets, nib presets and pen settings, the preview
// painters of the nib and falloff controls, and the built-in pen icons.
#pragma once
// Paint kinds 0..8 are the older engines' pens, 9..17 the current engine's (pencil, eraser,
// watercolour, airbrush, blur, fingertip, spread, burn, dodge). Kind lookups use the low 7 bits
// of the kind; a kind past 17 is not found (engine 255, mask 0, no name, no icon).
//
// The name field holds code page 932 bytes, as brush presets and their files keep names; the
// kind names are the display texts turned into code page 932.
#include <cstdint>
#include <memory>
#include <string>

#include "paint/FalloffMap.h"
#include "paint/NibShape.h"
#include "paint/PenParam.h"
#include "paint/PenSetting.h"
#include "paint/StrokeParam.h"
#include "raster/Geometry.h"

namespace tf {

class TMTC;
class TChannel;
class TStroke;
class TMemoryGraphic;
class CPenShapeObj;
class CGradeMapObj;
class CPenMethodObj;

inline constexpr int32_t kPaintKindCount = 18;
inline constexpr uint8_t kFirstCurrentKind = 9;
// Answer of the lookups for a kind, type or index they do not know.
inline constexpr uint8_t kNotFoundKind = 255;

// Setting-mask bits.
enum : uint32_t {
  kSettingName = 1u << 0,
  kSettingOpaque = 1u << 2,
  kSettingSpacing = 1u << 3,
  kSettingEffect = 1u << 4,
  kSettingEnv = 1u << 5,
  kSettingSpeed = 1u << 6,
  kSettingGamma = 1u << 7,
  kSettingIfTransparency = 1u << 8,
  kSettingIfSize = 1u << 9,
  kSettingWidth = 1u << 12,
  kSettingMin = 1u << 13,
  kSettingNibRatio = 1u << 14,
  kSettingNibAngle = 1u << 15,
  kSettingAirMap = 1u << 16,
  kSettingNibScale = 1u << 19,
  kSettingIfEdge = 1u << 20,
  kSettingNibFlag = 1u << 21,
};

// Air-map indexes: 0 linear, 1 power, 2 flat, 3 circle, 4 quadratic, 5 smooth, 6 inverse circle,
// 7 none (flat).
inline constexpr uint8_t kAirMapNone = 7;

// Per-kind tables.
uint8_t PaintKindEngine(uint8_t kind);
uint32_t PaintKindSettingMask(uint8_t kind);
uint8_t PaintKindAirMapMode(uint8_t kind);
// The pen-setting type (PenType) of the kind; 255 past 17.
uint8_t PaintKindPenType(uint8_t kind);
// The kind's display name (UTF-8); empty past 17.
std::string PaintKindName(uint8_t kind);
// The falloff curve of an air-map index at x in 0..1 (indexes past 7 read as 7).
float AirMapCurve(uint8_t index, float x);
uint8_t AirMapToGradeKind(uint8_t index);
uint8_t AirMapToStrokeAirMap(uint8_t index);
// Curve kinds 0..6 give 3, 4, 5, 0, 1, 6, 7; any other kind (255 included) gives 7.
uint8_t GradeKindToAirMap(uint8_t kind);
// Stroke air-map values 0..4 give 2, 3, 5, 0, 6; every other value (the 127 that pen settings
// store for "none", negatives, anything from the registry) gives 7.
uint8_t StrokeAirMapToAirMap(int32_t value);

uint8_t OldPenSettingType(uint8_t n);
uint8_t OldPenPaintKind(uint8_t n);
uint8_t PaintKindOldPenIndex(uint8_t kind);
uint8_t PenIndexPaintKind(uint8_t engine, uint8_t index, uint8_t oldIndex);
uint8_t PaintKindPenMethodIndex(uint8_t kind);
uint8_t PenMethodKindIndex(const CPenMethodObj* method);
bool PenMethodPaintKind(uint8_t& kind, const CPenMethodObj* method);
bool PenParamPaintKind(uint8_t& kind, const SPenParam& param);
bool PenParamForKind(SPenParam& param, uint8_t kind);
// Pen-setting types 0..8 give kinds 0, 2, 4, 1, 5, 3, 6, 7, 8; false (kind untouched) above 8.
bool PenTypeOldPaintKind(uint8_t& kind, uint8_t type);
// The built-in icon of the kind (not owned by the caller); null past 17 or when the icons cannot
// be built.
TMTC* PaintKindDefaultIcon(uint8_t kind);
// Effect label of index 0..2 (UTF-8); every other combination gives "効果".
void PaintKindEffectLabel(uint8_t kind, int32_t index, std::string& text);

// Built-in icons, indexed by pen-setting type (blur2 is the blur picture), and the spread icon.
// BuildPenIcons runs at start-up (PaintKindDefaultIcon builds them when it finds none);
// ReleasePenIcons frees them (the blur2 entry only cleared).
bool BuildPenIcons();
void ReleasePenIcons();
TMTC* BuiltinPenIcon(uint8_t type);
TMTC* BuiltinSpreadIcon();

// Scale range of an image nib of the size: minimum max(4 / short side, 0.01) (0.01 without a
// short side), maximum min(512 / long side, 5) (5 without a long side).
void BitmapNibScaleRange(int32_t width, int32_t height, float& minimum, float& maximum);
// Each byte 255 minus the channel pixel, rows top first; null when memory fails.
std::unique_ptr<uint8_t[]> ChannelToInvertedBytes(const TChannel& channel);

// The preview of a nib; the image block is 0 = full ink.
struct SNibPreview {
  float size = 1.0f;
  float minRatio = 1.0f;
  float ratio = 1.0f;
  float angle = 0.0f;
  uint8_t airMap = 0;
  float airMapParam1 = 0.0f;
  float airMapParam2 = 0.0f;
  uint8_t hasImage = 0;
  std::unique_ptr<uint8_t[]> image;
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  float imageScale = 1.0f;
  uint8_t nibFlag = 0;
};
void InitNibPreview(SNibPreview& preview);
void NibPreviewFromShape(const CPenShapeObj& nib, SNibPreview& preview);
void FreeNibPreview(SNibPreview& preview);

// The curve of an air-map index as a filled graph in the rectangle (16 samples a pixel), each
// pixel's colour moved towards colour by its coverage, alpha 255. False when the rectangle is
// empty or not inside the graphic.
bool DrawAirMapPreview(TMemoryGraphic& graphic, const TRect& rect, uint8_t index, uint32_t colour, float floor,
                       float core);
// Clears the graphic and draws the nib at its centre. filled: the nib's falloff; else its outline
// ellipse in colour with the minimum-size ellipse in secondColour. False when a buffer cannot be
// had.
bool DrawNibPreview(TMemoryGraphic& graphic, const SNibPreview& preview, uint32_t colour, float scale,
                    bool filled, uint32_t secondColour);

class TPaintParam {
 public:
  // nibSerialId -1, then SetKind(kind).
  explicit TPaintParam(uint8_t kind);
  static std::unique_ptr<TPaintParam> CreateCopy(const TPaintParam& source, bool& made);
  static std::unique_ptr<TPaintParam> CreateFromPenSetting(uint8_t kind, const SPenSetting& setting, bool& made);
  static std::unique_ptr<TPaintParam> CreateFromPenMethod(const CPenMethodObj* method, bool& made);
  ~TPaintParam();
  TPaintParam(const TPaintParam&) = delete;
  TPaintParam& operator=(const TPaintParam&) = delete;

  // Kind tables, then the kind's defaults (icon and image nib dropped), then the kind's name.
  // nibSerialId is kept.
  void SetKind(uint8_t kind);
  bool Assign(const TPaintParam& source);

  // Setters store a differing value (floats compared exactly); none clamps.
  void SetName(const std::string& name);
  void SetOpaque(float x) { Store(opaque, x); }
  void SetPenSpacing(float x) { Store(penSpacing, x); }
  void SetEffect(float x) { Store(effect, x); }
  void SetEnv(float x) { Store(env, x); }
  void SetSpeed(float x) { Store(speed, x); }
  void SetGamma(float x) { Store(gamma, x); }
  void SetIfTransparency(uint8_t x) { Store(ifTransparency, x); }
  void SetIfSize(uint8_t x) { Store(ifSize, x); }
  void SetUseGradation(uint8_t x) { Store(useGradation, x); }
  void SetUseTone(uint8_t x) { Store(useTone, x); }
  void SetWidth(float x) { Store(width, x); }
  void SetMin(float x) { Store(min, x); }
  void SetNibRatio(float x) { Store(nibRatio, x); }
  void SetNibAngle(float x) { Store(nibAngle, x); }
  void SetAirMap(uint8_t x) { Store(airMap, x); }
  void SetAirMapParam1(float x) { Store(airMapParam1, x); }
  void SetAirMapParam2(float x) { Store(airMapParam2, x); }
  void SetNibScale(float x) { Store(nibScale, x); }
  void SetIfEdge(uint8_t x) { Store(ifEdge, x); }
  void SetNibFlag(uint8_t x) { Store(nibFlag, x); }
  void SetSizeThresholds(float first, float second) {
    Store(sizeThreshold1, first);
    Store(sizeThreshold2, second);
  }

  // Own icon: a copy of the picture (none for null); hasIcon tells whether the copy exists.
  void SetIcon(const TMTC* picture);
  // The own icon, else the kind's built-in icon (not owned by the caller).
  TMTC* GetIcon() const;
  // Image nib from a channel (bytes 255 minus its pixels) or none for null.
  void SetNibImage(const TChannel* channel);
  // Image nib from width x height bytes (255 = full ink), copied as they are; none for null.
  void SetNibImageBytes(const uint8_t* bytes, int32_t width, int32_t height);

  float GetParametricWidth() const;
  float GetEffectiveWidth() const;
  float GetMinWidth() const;
  float GetMaxWidth() const;
  float GetMinNibScale() const;
  float GetMaxNibScale() const;

  bool LoadFromPenSetting(const SPenSetting& setting);
  bool SaveToPenSetting(SPenSetting& setting) const;
  bool LoadFromStroke(const TStroke* stroke);
  bool ApplyToStroke(TStroke& stroke) const;
  bool LoadFromPenMethod(const CPenMethodObj* method);
  bool SaveToPenMethod(CPenMethodObj* method) const;
  bool LoadFromPenShape(const CPenShapeObj* nib);
  // Fills the nib only when the nib geometry, flag word and falloff all convert (an air map of 2
  // or 7 gives false and leaves the nib untouched).
  bool SaveToPenShape(CPenShapeObj* nib) const;
  bool LoadFromPenState(const CGradeMapObj* gradeMap, const CPenShapeObj* nib, const SStrokeParam& strokeParam,
                        const SPenParam& penParam);
  bool SaveToStrokeParam(SStrokeParam& record) const;
  bool SaveToPenParam(SPenParam& record) const;
  bool GetNibShape(SNibShape& record) const;
  bool GetNibFlagWord(uint32_t& word) const;
  bool GetGradeMap(SGradeMap& record) const;
  // Returns nibFlag.
  bool GetNibPreview(SNibPreview& preview) const;

  void GetEffectLabel(int32_t index, std::string& text) const;
  void GetEffectHint(int32_t index, std::string& text) const;
  bool DrawNibPreview(TMemoryGraphic& graphic, uint32_t colour, float scale, bool filled,
                      uint32_t secondColour) const;
  bool DrawIcon(TMemoryGraphic& graphic, const TRect& rect) const;

  // Fields (read freely; written through the setters).
  uint8_t kind = 0;
  uint8_t engine = 0;
  uint32_t settingMask = 0;
  uint8_t airMapMode = 0;
  std::string name;
  uint8_t hasIcon = 0;
  std::unique_ptr<TMTC> icon;
  float opaque = 1.0f;
  float penSpacing = 0.1f;
  float effect = 0.0f;
  float env = 0.0f;
  float speed = 0.0f;
  float gamma = 1.0f;
  uint8_t ifTransparency = 0;
  uint8_t ifSize = 0;
  uint8_t useGradation = 0;
  uint8_t useTone = 0;
  float width = 1.0f;
  float min = 0.0f;  // a fraction 0..1 (pen settings and strokes keep percent)
  float sizeThreshold1 = 0.0f;
  float sizeThreshold2 = 0.0f;
  float nibRatio = 1.0f;
  float nibAngle = 0.0f;
  uint8_t airMap = 0;
  float airMapParam1 = 0.0f;
  float airMapParam2 = 0.0f;
  uint8_t hasNibImage = 0;
  std::unique_ptr<uint8_t[]> nibImage;
  int32_t nibImageWidth = 0;
  int32_t nibImageHeight = 0;
  float nibScale = 1.0f;
  uint8_t ifEdge = 0;
  uint8_t nibFlag = 0;
  int32_t nibSerialId = -1;

 private:
  template <class T>
  static void Store(T& field, T value) {
    if (field != value) field = value;
  }
  void LoadStrokeValues(const SStrokeParam& strokeParam, const SPenParam& penParam);
};

}  // namespace tf
