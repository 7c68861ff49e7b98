// HeadlessPlaybackWindow: a headless document window that a player can play into.
#pragma once
// While a player is bound, the window's stroke, renderer, pen shape, tone set and gradient
// colours are the player's, and the window is locked for playback; unbinding gives back the
// ones it had. It keeps the last pen the player asked it to show and counts the steps' refreshes,
// for tests and unattended playback.
#include <cstdint>

#include "paper/HeadlessWindow.h"
#include "playback/Player.h"

namespace tf {

class HeadlessPlaybackWindow : public HeadlessDocumentWindow, public PlaybackHost {
 public:
  HeadlessPlaybackWindow() = default;

  // PlaybackHost.
  void BindPlayer(CPlayer* player) override {
    if (player != nullptr && player_ == nullptr) {
      ownStroke_ = stroke;
      ownRender_ = penRender;
    }
    player_ = player;
    playing = player != nullptr;
    lockedForPlayback = player != nullptr;
    playbackKind = player != nullptr ? 1 : 0;
    stroke = player != nullptr ? player->Stroke() : ownStroke_;
    penRender = player != nullptr ? player->PenRender() : ownRender_;
  }
  bool QuietMode() const override { return quiet; }
  bool RenderMode() const override { return renderMode; }
  void ShowPlaybackPen(const SPlaybackPen& pen) override {
    shownPen = pen;
    ++pensShown;
  }

  // DocumentWindow: the player's pen shape, tone set and gradient colours while bound.
  CPenShapeObj* CurrentPenShape() override { return player_ != nullptr ? player_->PlayShape() : penShape; }
  CToneMngr* ToneMngr() override { return player_ != nullptr ? player_->Tones() : nullptr; }
  const CColorSlotGroup* CurrentGradientStops() override {
    return player_ != nullptr ? &player_->Events().slotGroup : gradientStops;
  }

  CPlayer* BoundPlayer() const { return player_; }

  bool quiet = true;
  bool renderMode = false;
  const CColorSlotGroup* gradientStops = nullptr;  // the stops in force while no player is bound
  SPlaybackPen shownPen{};
  int32_t pensShown = 0;

 private:
  CPlayer* player_ = nullptr;
  TStroke* ownStroke_ = nullptr;
  CPenRender* ownRender_ = nullptr;
};

}  // namespace tf
