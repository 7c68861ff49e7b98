// HeadlessDocumentWindow: a document window without a screen, for tests and unattended playback.
#pragma once
// It owns its document and working copy like the Qt window does, keeps the flags a window keeps
// (modified, playback, stroke in progress) and counts what it was asked to do instead of doing
// it on a screen.
#include <cstdint>
#include <memory>

#include "paper/DocumentWindow.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"

namespace tf {

class HeadlessDocumentWindow : public DocumentWindow {
 public:
  // Makes the document and its working copy.
  HeadlessDocumentWindow();
  ~HeadlessDocumentWindow() override;
  HeadlessDocumentWindow(const HeadlessDocumentWindow&) = delete;
  HeadlessDocumentWindow& operator=(const HeadlessDocumentWindow&) = delete;

  TPaper& Paper() { return *paper_; }
  TFlowImage& Flow() { return *flow_; }

  // DocumentWindow.
  TFlowImage* GetFlowImage() override { return flow_.get(); }
  bool PrepareCommand(bool allowDuringPlayback, bool onlyWhenPaused) override;
  bool SetModified(bool value) override;
  void UpdateScrollBars(const TPoint* centre) override;
  void UpdateCaption(bool clear) override;
  void RefreshAfterEdit(bool sizeChanged, bool layersChanged, bool repaint) override;
  void Invalidate(bool erase) override;
  void PaintNow() override { ++paints; }
  void EraseBrushOutline() override {}
  WindowHandle Handle() const override { return 0; }
  SSize ClientSize() const override { return clientSize; }
  bool SmoothDrawing() const override { return smoothDrawing; }
  bool IsPlaying() const override { return playing; }
  int32_t PlaybackKind() const override { return playbackKind; }
  bool IsLockedForPlayback() const override { return lockedForPlayback; }
  TStroke* CurrentStroke() override { return stroke; }
  CPenShapeObj* CurrentPenShape() override { return penShape; }
  const CColorSlotGroup* CurrentGradientStops() override { return nullptr; }
  CToneMngr* ToneMngr() override { return nullptr; }
  CPenRender* CurrentPenRender() override { return penRender; }
  void SetStrokeProgress(bool active, int32_t points) override {
    strokeActive = active;
    strokePoints = points;
  }

  // The window's state, set by whoever drives it.
  bool modified = false;
  bool playing = false;
  bool playbackPaused = false;
  int32_t playbackKind = 0;
  bool lockedForPlayback = false;
  bool strokeActive = false;
  int32_t strokePoints = 0;
  // The renderer the window paints with (none unless set).
  CPenRender* penRender = nullptr;
  bool textToolOpen = false;
  bool smoothDrawing = true;
  SSize clientSize{640, 480};
  std::string caption;
  // The stroke and nib in force (not owned; null for none).
  TStroke* stroke = nullptr;
  CPenShapeObj* penShape = nullptr;

  // What it was asked to do.
  int32_t invalidations = 0;
  int32_t paints = 0;
  int32_t scrollBarUpdates = 0;
  int32_t refreshesAfterEdit = 0;

 private:
  std::unique_ptr<TPaper> paper_;
  std::unique_ptr<TFlowImage> flow_;
};

}  // namespace tf
