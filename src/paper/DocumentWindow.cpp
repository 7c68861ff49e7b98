// The installed application host of the documents.
#include "paper/DocumentWindow.h"

#include "platform/Debug.h"
#include "platform/HostSlot.h"

namespace tf {

namespace {
using Slot = HostSlot<PaperHost, PaperHost>;
}  // namespace

PaperHost* SetPaperHost(PaperHost* host) { return Slot::Install(host); }

PaperHost& GetPaperHost() { return Slot::Get(); }

SPaperSettings PaperSettings() { return GetPaperHost().Settings(); }
CGradMngr* MainGradMngr() { return GetPaperHost().MainGradMngr(); }

bool CommandGateAllows(const SCommandGateState& s, bool allowDuringPlayback, bool onlyWhenPaused) {
  if (!s.documentReady || s.unattendedMode || !s.modernEngine || s.strokeActive || s.keyMoveMode || s.textWindowOpen)
    return false;
  if (!s.playing) return true;
  if (!allowDuringPlayback) return false;
  return !onlyWhenPaused || s.playbackPaused;
}

bool PaperHost::ToolColours(uint32_t& foreground, uint32_t& background) {
  foreground = background = 0;
  DebugOut("no tool window gives the foreground and background colours\n");
  return false;
}

bool DocumentWindow::CopySelectionToClipboard(int32_t layer, int32_t mask) {
  (void)layer;
  (void)mask;
  DebugOut("DocumentWindow::CopySelectionToClipboard: this window has no clipboard; nothing copied\n");
  return false;
}

}  // namespace tf
