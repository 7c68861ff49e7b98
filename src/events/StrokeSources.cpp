// The recorder's stroke and pen sources, and the player's way back into the same objects.
#include "events/StrokeSources.h"

#include <cstring>

#include "paint/PenRender.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"

namespace tf {

void StrokeRecordSource::recordedStroke(SRecordedStroke& out) const {
  if (stroke_ == nullptr) return;
  const TStroke& s = *stroke_;
  out.color = s.GetColor();
  out.secondColor = s.GetBackColor();
  out.penType = s.GetPenType();
  out.opacity = s.GetOpacity();
  out.width = s.GetWidth();
  out.minimumSize = s.GetMin();
  out.effect = s.GetEffect();
  out.env = s.GetEnv();
  out.speed = s.GetSpeed();
  out.gamma = s.GetGamma();
  out.spacing = s.GetSpacing();
  out.mapSelector = s.GetAirMapKind();
  out.pressureToSize = s.GetIfSize();
  out.pressureToOpacity = s.GetIfTransparency();
  out.edge = s.GetIfEdge();
  out.useTone = s.GetUseTone();
  out.useGradation = s.GetUseGradation();
  out.interpolationOff = s.GetShapeStroke();
  out.layerIndex = static_cast<int16_t>(s.GetLayerIndex());
}

void PenRecordSource::recordedPen(SRecordedPen& out) const {
  if (renderer_ != nullptr) {
    SGradeMap map{};
    renderer_->GetGradeMap(map);
    out.falloffKind = map.kind;
    out.falloffValue1 = static_cast<uint16_t>(map.core);
    out.falloffValue2 = static_cast<uint16_t>(map.floor);
    uint32_t colours[2] = {0, 0};
    renderer_->GetColor(colours);
    out.color1 = colours[0];
    out.color2 = colours[1];
    SNibShape shape{};
    renderer_->GetNibShape(shape);
    out.nibValues[0] = static_cast<uint16_t>(shape.size);
    out.nibValues[1] = static_cast<uint16_t>(shape.aspect);
    out.nibValues[2] = static_cast<uint16_t>(shape.angle);
    out.nibValues[3] = static_cast<uint16_t>(shape.minRatio);
    renderer_->GetNibFlag(out.nibFlags);
    SPenParam pen{};
    renderer_->GetPenParams(pen);
    static_assert(sizeof pen == sizeof out.penParams);
    std::memcpy(out.penParams, &pen, sizeof pen);
  }
  if (manager_ != nullptr) {
    SStrokeParam p{};
    manager_->GetStrokeParams(p);
    out.strokeParams.pressureToSize = p.ifSize;
    out.strokeParams.pressureToOpacity = p.ifTransparency;
    out.strokeParams.opacity1000 = p.opacity;
    out.strokeParams.gamma100 = p.gamma;
    out.strokeParams.spacing1000 = p.spacing;
    out.strokeParams.sizeThreshold1 = p.sizeThreshold1;
    out.strokeParams.sizeThreshold2 = p.sizeThreshold2;
  }
}

void ApplyRecordedStroke(const SRecordedStroke& in, TStroke& stroke) {
  stroke.SetColor(in.color);
  stroke.SetBackColor(in.secondColor);
  stroke.SetPenType(in.penType);
  stroke.SetOpacity(in.opacity);
  stroke.SetWidth(in.width);
  stroke.SetMin(in.minimumSize);
  stroke.SetEffect(in.effect);
  stroke.SetEnv(in.env);
  stroke.SetSpeed(in.speed);
  stroke.SetGamma(in.gamma);
  stroke.SetSpacing(in.spacing);
  stroke.StoreAirMapKind(in.mapSelector);
  stroke.SetIfSize(in.pressureToSize);
  stroke.SetIfTransparency(in.pressureToOpacity);
  stroke.SetIfEdge(in.edge);
  stroke.SetUseTone(in.useTone, false);
  stroke.SetUseGradation(in.useGradation, false);
  stroke.SetShapeStroke(in.interpolationOff);
  stroke.SetLayerIndex(in.layerIndex);
}

void ApplyRecordedPen(const SRecordedPen& in, CPenRender& renderer, CStrokeMngr* manager) {
  SGradeMap map{};
  renderer.GetGradeMap(map);  // keeps the bytes after the kind
  map.kind = in.falloffKind;
  map.core = in.falloffValue1;
  map.floor = in.falloffValue2;
  renderer.SetGradeMap(map);
  SNibShape shape{};
  shape.size = in.nibValues[0];
  shape.aspect = in.nibValues[1];
  shape.angle = in.nibValues[2];
  shape.minRatio = in.nibValues[3];
  renderer.SetNibShape(shape);
  renderer.SetNibFlag(in.nibFlags);
  SPenParam pen{};
  std::memcpy(&pen, in.penParams, sizeof pen);
  renderer.SetPenParams(pen, 7);
  if (manager != nullptr) {
    SStrokeParam p{};
    manager->GetStrokeParams(p);
    p.ifSize = in.strokeParams.pressureToSize;
    p.ifTransparency = in.strokeParams.pressureToOpacity;
    p.opacity = in.strokeParams.opacity1000;
    p.gamma = in.strokeParams.gamma100;
    p.spacing = in.strokeParams.spacing1000;
    p.sizeThreshold1 = in.strokeParams.sizeThreshold1;
    p.sizeThreshold2 = in.strokeParams.sizeThreshold2;
    manager->SetStrokeParams(p);
  }
}

}  // namespace tf
