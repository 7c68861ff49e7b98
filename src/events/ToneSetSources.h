#pragma once
// The tone set as the event recorder and the event player reach it. The recorder reads the tool
// window's tone set through CRecordedToneSet: the working pattern (the current entry made at its
// scale), keyed by its serial id. The player rebuilds recorded tones and patterns into a tone set
// of its own through CPlayedToneSet, which answers the tone half of IPlayedResources; the image
// nib half goes to the pen shapes the caller passes.
#include <cstdint>
#include <memory>
#include <string_view>

#include "events/Dictionaries.h"
#include "events/RecordSources.h"

namespace tf {

class CToneMngr;
struct SToneAttr;

// The 24 stored bytes of tone attributes as the six 32-bit numbers of the tone packets, and back
// (byte for byte; the switch and name are not among them).
void ToneAttrToNumbers(const SToneAttr& attr, int32_t numbers[6]);
void ToneAttrFromNumbers(SToneAttr& attr, const int32_t numbers[6]);

class CRecordedToneSet final : public IRecordedTones {
 public:
  explicit CRecordedToneSet(CToneMngr& tones) : tones_(tones) {}
  // The working pattern; false when the set has none (no current entry, or it could not be
  // made at its scale). The name and tile stay the pattern's own until the set changes.
  bool currentPattern(SRecordedPattern& out) const override;

 private:
  CToneMngr& tones_;
};

class CPlayedToneSet final : public IPlayedResources {
 public:
  // shapes answers rebuildImageShape and imageShapeValid (the player's pen shapes); without it
  // they fail with a line on the developer output.
  explicit CPlayedToneSet(CToneMngr& tones, IPlayedResources* shapes = nullptr)
      : tones_(tones), shapes_(shapes) {}

  // A plain pattern holding a copy of the tile; -1 for no tile or one the set refuses.
  int32_t addImagePattern(std::unique_ptr<TChannel> tile, int32_t scale, int32_t offsetX,
                          int32_t offsetY) override;
  // A screen tone built from the attributes (the tile, when given, is its preview); -1 for
  // attributes that cannot be built.
  int32_t addScreenTone(const int32_t attributes[6], bool toneSwitch, std::unique_ptr<TChannel> tile) override;
  bool setPatternPlacement(int32_t index, int32_t offsetX, int32_t offsetY, int32_t scale,
                           bool inverted) override;
  bool setPatternName(int32_t index, std::string_view name) override;
  int32_t setCurrentPattern(int32_t index) override;

  bool rebuildImageShape(const TChannel& channel, int16_t scale, uint32_t key) override;
  bool imageShapeValid() const override;

 private:
  CToneMngr& tones_;
  IPlayedResources* shapes_;
};

}  // namespace tf
