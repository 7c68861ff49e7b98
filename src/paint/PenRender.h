// CPenRender: draws one dab of the current pen into an image or a coverage channel.
//
// Interface only so far: the implementation (PenRender.cpp) is not written yet. Every member
// declared here is undefined, so any caller fails at link time rather than drawing nothing.
#pragma once
#include <cstdint>

#include "paint/FalloffMap.h"
#include "paint/NibShape.h"
#include "paint/PenParam.h"

namespace tf {

class TStroke;
class TMTC;
class TChannel;
class CBlockVMTC;
class CPenShapeObj;
class PaintDocument;

// A dab position: centre in pixels and opacity 0..1.
struct SDabPoint {
  float x = 0;
  float y = 0;
  float opacity = 0;
};

class CPenRender {
 public:
  explicit CPenRender(TStroke* stroke);
  ~CPenRender();
  CPenRender(const CPenRender&) = delete;
  CPenRender& operator=(const CPenRender&) = delete;

  TStroke* SetStroke(TStroke* stroke);
  PaintDocument* SetPaper(PaintDocument* paper);

  // Getters the stroke recorder uses.
  void GetPenParams(SPenParam& record) const;
  void GetGradeMap(SGradeMap& record) const;
  void GetColor(uint32_t pair[2]) const;
  void GetNibShape(SNibShape& record) const;
  void GetNibFlag(uint32_t& word) const;

  bool SetNibShape(const SNibShape& record);
  bool SetNibFlag(uint32_t word);
  bool SetGradeMap(const SGradeMap& profile);
  void SetPenShape(CPenShapeObj* preset, bool copyShape, bool copyFlag, bool copyProfile);
  // A byte argument of 255 or a negative integer leaves that field unchanged.
  bool SetPenHeader(int32_t type, int32_t option2, int32_t channel, int32_t option1);
  bool SetPenValues(const SPenParam& record, uint32_t mask);
  bool SetPenParams(const SPenParam& record, uint32_t mask);
  bool LoadColors();

  float GetNibSize() const;
  float GetMinSize(float size) const;
  float GetSpacingPixels(float spacing, float size) const;
  void GetDabExtent(float size, int32_t& hx, int32_t& hy) const;
  void SetMinorAxis(bool rowWise);

  // Drawing, called by the stroke manager.
  bool StartDab(TMTC& image, float x, float y, float pressure);
  bool DabToImage(TMTC& image, const SDabPoint& dab, uint32_t colour, float size);
  bool DabToChannel(TChannel& channel, const SDabPoint& dab, int32_t value, float size);
  void SetBlurSource(CBlockVMTC* store, float size);
  void EndStroke();
};

}  // namespace tf
