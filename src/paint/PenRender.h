// CPenRender: draws one dab of the current pen into an image or a coverage channel.
#pragma once
// The renderer sets up a dab's footprint (a round or elliptic nib through the nib rasteriser and
// its falloff map, or an image nib of a preset), walks the pixels the footprint covers and hands
// each covered pixel a value 0..255 through the pixel writer chain. The render type (SPenParam)
// chooses what colour the writer gets and, for one dab, which colour writer is in force: the
// eraser, blur, smudging and burn/dodge dabs swap it under a scope guard that restores it also
// when the dab fails.
//
// Positions, radii, coverage and opacity are 16.16 fixed point. The slots of the writer chain are
// read once per dab; the pixel loop has no dispatch.
//
// Failures: a dab that draws nothing (opacity 0, outside the picture) returns false. A missing
// stroke on LoadColors, a nib that cannot be prepared or a smudge window out of place is an
// assertion failure: the dab is abandoned, the call returns false, a developer line is written
// and the failure stays flagged (HasFailure) until the caller of the stroke operation takes it
// (TakeFailure) and reports its error. Nothing is thrown.
#include <cstdint>
#include <memory>
#include <vector>

#include "paint/FalloffMap.h"
#include "paint/NibShape.h"
#include "paint/PenParam.h"
#include "raster/Geometry.h"

namespace tf {

class TStroke;
class TMTC;
class TChannel;
class CBlockVMTC;
class CPenShapeObj;
class CPenTC;
class PaintDocument;
struct SDibView;

// A dab position: centre in pixels and opacity 0..1.
struct SDabPoint {
  float x = 0;
  float y = 0;
  float opacity = 0;
};

// The text and source name of the renderer's assertion failures.
inline constexpr const char* kPenAssertionText = "Assertion failure";
inline constexpr const char* kPenAssertionSource = "pen";
// Shown when the blur's column sums cannot be had, with the blur tool's name.
inline constexpr const char* kPenOutOfMemoryFormat = "メモリ不足により%sの実行に失敗しました！";
inline constexpr const char* kBlurToolName = "ぼかし";

// Largest blur radius: only sizes far beyond any drawable nib reach it, and it keeps the box
// sums of the largest box inside 64 bits.
inline constexpr int32_t kMaxBlurRadius = 1 << 24;

class CPenRender {
 public:
  // Nib shape SNibShape.Init(10), flag word 0, colours 0xFFFFFF and 0, pen parameters 0, a falloff
  // map of 2048 entries and a rasteriser with antialias, falloff and lookup on.
  explicit CPenRender(TStroke* stroke);
  ~CPenRender();
  CPenRender(const CPenRender&) = delete;
  CPenRender& operator=(const CPenRender&) = delete;

  // Each returns the one before.
  TStroke* SetStroke(TStroke* stroke);
  PaintDocument* SetPaper(PaintDocument* paper);
  TStroke* GetStroke() const { return stroke_; }
  PaintDocument* GetPaper() const { return paper_; }

  // Getters the stroke recorder uses.
  void GetPenParams(SPenParam& record) const;
  void GetGradeMap(SGradeMap& record) const;
  void GetColor(uint32_t pair[2]) const;
  void GetNibShape(SNibShape& record) const;
  void GetNibFlag(uint32_t& word) const;

  // Each true when the value changed. A changed profile rebuilds the falloff table and the
  // rasteriser's result.
  bool SetNibShape(const SNibShape& record);
  bool SetNibFlag(uint32_t word);
  bool SetGradeMap(const SGradeMap& profile);
  // An image-nib preset becomes the image nib (the rasteriser takes it, forced); anything else
  // clears the image nib. With a preset, the switches copy its shape, flag word and profile.
  void SetPenShape(CPenShapeObj* preset, bool copyShape, bool copyFlag, bool copyProfile);
  // A byte argument of 255 or a negative integer leaves that field unchanged; the channel switch
  // is stored as 0 or 1.
  bool SetPenHeader(int32_t type, int32_t option2, int32_t channel, int32_t option1);
  // Copies the 32-bit slots at offsets 4, 8 and 12 selected by mask bits 1, 2 and 4.
  bool SetPenValues(const SPenParam& record, uint32_t mask);
  // The header from the record's first four bytes, then the values.
  bool SetPenParams(const SPenParam& record, uint32_t mask);
  // First colour := the stroke's colour, second := its back colour. Without a stroke: an
  // assertion failure.
  bool LoadColors();

  // Sizes: a parametric nib's size is its radius in pixels, an image nib's is its scale in percent.
  float GetNibSize() const;
  float GetMinSize(float size) const;
  float GetSpacingPixels(float spacing, float size) const;
  void GetDabExtent(float size, int32_t& hx, int32_t& hy) const;
  // Set by the stroke manager when the segment's major axis is y: the exact footprints then run
  // row-wise.
  void SetMinorAxis(bool rowWise) { minorAxis_ = rowWise; }
  bool GetMinorAxis() const { return minorAxis_; }

  // Drawing, called by the stroke manager.
  // Records the image nib's scale and runs the render type's start step (no pixels painted).
  bool StartDab(TMTC& image, float x, float y, float pressure);
  bool DabToImage(TMTC& image, const SDabPoint& dab, uint32_t colour, float size);
  // Paints coverage into the channel with sub-pixel placement; sizes from 0.5 to below 3 are
  // drawn twice, once per sweep direction.
  bool DabToChannel(TChannel& channel, const SDabPoint& dab, int32_t value, float size);
  // Blur radius := round(EFFECT * size / 100) (at most kMaxBlurRadius); the blur reads the store.
  void SetBlurSource(CBlockVMTC* store, float size);
  // With an image nib, the preset gets back the scale recorded at the stroke's start.
  void EndStroke();

  // Assertion failures (see above).
  bool HasFailure() const { return failed_; }
  // Whether one was flagged; clears the flag.
  bool TakeFailure();

  // State, for the stroke manager and tests.
  const SPenParam& PenParams() const { return params_; }
  bool PaintsChannel() const { return params_.channel != 0; }
  bool HasImageNib() const { return imageNibFlag_ != 0; }
  int32_t GetImageNibScale() const { return imageNibScale_; }
  int32_t GetBlurRadius() const { return blurRadius_; }
  const CPenShape& Rasteriser() const { return *shape_; }
  // The last dab's pixel bounds (right and bottom outside) and its opacity (16.16).
  const TRect& DabBounds() const { return bounds_; }
  Fixed DabOpacity() const { return opacity_; }

 private:
  // Sums of the blur box or of one of its columns, per channel (64-bit: big boxes).
  struct SBlurSum {
    int64_t blue, green, red, alpha;
  };

  // Flags the failure and writes the developer line; returns false.
  bool Fail(const char* what);

  bool SetupDab(int32_t width, int32_t height, const SDabPoint& dab, uint32_t value, float rx, float ry);
  bool PrepareDab(float size);
  bool PrepareNib();
  // The set-up of either target, and the nib, in the order of the nib kind.
  bool SetupAndPrepare(int32_t width, int32_t height, const SDabPoint& dab, uint32_t value, float size);

  // fn(x, value) for every pixel of row y from left to right - 1 that the dab writes (value
  // 1..255); false when the row misses the footprint.
  template <class Fn>
  bool WalkRow(int32_t y, Fn fn) const;
  // fn(x, y, value) for every pixel the dab writes, rows top to bottom.
  template <class Fn>
  void WalkDab(Fn fn) const;
  // write(pixel, value) for every pixel of the footprint's columns, value 0 included (for writers
  // that leave a pixel unchanged at 0); Pixel is the target's pixel type.
  template <class Pixel, class Write>
  void WalkRowsDense(const SDibView& view, Write write) const;

  bool RunImageDab(TMTC& image);
  bool PaintDabImage(TMTC& image);
  bool PaintDabChannel(TChannel& channel);
  bool DabToChannelOnce(TChannel& channel, const SDabPoint& dab, int32_t value, float size);

  void WatercolourStart(const TMTC& image, float x, float y);
  bool WatercolourDab(TMTC& image);
  void BlurStart();
  bool BlurDab(TMTC& image);
  template <bool kWeighted>
  bool BlurDabRows(TMTC& image);
  bool EraserDab(TMTC& image);
  void SmudgeStart(const TMTC& image, float x, float y);
  bool SpreadDab(TMTC& image);
  bool FingertipDab(TMTC& image);
  bool SmudgeDab(TMTC& image);
  void BurnDodgeStart();
  bool BurnDodgeDab(TMTC& image);

  TStroke* stroke_;
  PaintDocument* paper_ = nullptr;
  std::unique_ptr<CGradeMapObj> gradeMap_;
  CPenShapeObj* imageNib_ = nullptr;
  SNibShape nibShape_{};
  uint32_t nibFlag_ = 0;
  uint32_t colours_[2] = {0xFFFFFFu, 0u};
  std::unique_ptr<CPenShape> shape_;
  bool minorAxis_ = false;
  uint8_t imageNibFlag_ = 0;
  int32_t imageNibScale_ = 0;
  SPenParam params_{};

  // The dab in set-up: centre, radii and opacity in 16.16, pixel bounds, clip offsets, the value
  // handed to the writer, and the centre as given.
  Fixed centreX_ = 0, centreY_ = 0;
  Fixed radiusX_ = 0, radiusY_ = 0;
  Fixed opacity_ = 0;
  TRect bounds_{0, 0, 0, 0};
  int32_t clipX_ = 0, clipY_ = 0;
  uint32_t value_ = 0;
  float dabX_ = 0, dabY_ = 0;

  std::vector<SBlurSum> blurSums_;
  std::vector<uint8_t> rowValues_;
  CBlockVMTC* blurSource_ = nullptr;
  int32_t blurRadius_ = 0;
  CPenTC* pickup_ = nullptr;

  bool failed_ = false;
};

}  // namespace tf
