// A document window without a screen.
#include "paper/HeadlessWindow.h"

namespace tf {

HeadlessDocumentWindow::HeadlessDocumentWindow()
    : paper_(std::make_unique<TPaper>(this)), flow_(std::make_unique<TFlowImage>(paper_.get())) {}

HeadlessDocumentWindow::~HeadlessDocumentWindow() {
  // The document goes first: its destruction still tells the window it is no longer ready.
  paper_.reset();
  flow_.reset();
}

bool HeadlessDocumentWindow::PrepareCommand(bool allowDuringPlayback, bool onlyWhenPaused) {
  SCommandGateState state;
  state.documentReady = paper_->ready != 0;
  state.modernEngine = paper_->HasModernEngine();
  state.strokeActive = strokeActive;
  state.textWindowOpen = textToolOpen;
  state.playing = playing;
  state.playbackPaused = playbackPaused;
  return CommandGateAllows(state, allowDuringPlayback, onlyWhenPaused);
}

bool HeadlessDocumentWindow::SetModified(bool value) {
  const bool previous = modified;
  modified = value;
  return previous;
}

void HeadlessDocumentWindow::UpdateScrollBars(const TPoint*) { ++scrollBarUpdates; }

void HeadlessDocumentWindow::UpdateCaption(bool clear) {
  if (clear) {
    caption.clear();
  } else {
    paper_->GetCaption(caption);
  }
}

void HeadlessDocumentWindow::RefreshAfterEdit(bool, bool, bool) { ++refreshesAfterEdit; }

void HeadlessDocumentWindow::Invalidate(bool) { ++invalidations; }

}  // namespace tf
