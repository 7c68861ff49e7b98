// The recorder's stroke and pen sources over the painting engine's own objects: the stroke state
// (TStroke), the pen renderer (CPenRender) and the stroke manager (CStrokeMngr); and the setters
// the player uses to give them back what a recording holds.
#pragma once
#include "events/RecordSources.h"

namespace tf {

class TStroke;
class CPenRender;
class CStrokeMngr;

// Reads the pen state of a stroke (the main window's, or a player's).
class StrokeRecordSource final : public IRecordedStroke {
 public:
  explicit StrokeRecordSource(const TStroke* stroke = nullptr) : stroke_(stroke) {}
  void SetStroke(const TStroke* stroke) { stroke_ = stroke; }
  const TStroke* Stroke() const { return stroke_; }
  // Without a stroke the record keeps its defaults.
  void recordedStroke(SRecordedStroke& out) const override;

 private:
  const TStroke* stroke_;
};

// Reads the nib settings of a renderer and the dynamics of a stroke manager.
class PenRecordSource final : public IRecordedPen {
 public:
  PenRecordSource() = default;
  void Set(const CPenRender* renderer, const CStrokeMngr* manager) {
    renderer_ = renderer;
    manager_ = manager;
  }
  const CPenRender* Renderer() const { return renderer_; }
  const CStrokeMngr* Manager() const { return manager_; }
  // A missing renderer or manager leaves its part of the record at its defaults.
  void recordedPen(SRecordedPen& out) const override;

 private:
  const CPenRender* renderer_ = nullptr;
  const CStrokeMngr* manager_ = nullptr;
};

// The recorded pen state back into a stroke, through its setters.
void ApplyRecordedStroke(const SRecordedStroke& in, TStroke& stroke);
// The recorded nib settings back into a renderer, and the dynamics into a manager (may be null).
void ApplyRecordedPen(const SRecordedPen& in, CPenRender& renderer, CStrokeMngr* manager);

}  // namespace tf
