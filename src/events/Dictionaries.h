// The event stream's resource dictionaries and what the player rebuilds them into.
#pragma once
// Resource dictionaries of the event stream: pictures that settings carry (the current tone or
// pattern tile, an image nib) are recorded once as a definition under a key and referred to by
// key afterwards. This header holds what the player rebuilds them into: its tone set and its
// pen shapes belong to the painting engine, so the player reaches them through
// IPlayedResources. The recorder's and player's own dictionary operations are members of
// CEventMngr (EventStream.h).
#include <cstdint>
#include <memory>
#include <string_view>

namespace tf {

class TChannel;

// The player's tone set and pen shapes (filled by the painting engine: CToneMngr, CPenShapeObj).
class IPlayedResources {
 public:
  virtual ~IPlayedResources() = default;

  // Adds an image pattern made from the tile; its index, or -1.
  virtual int32_t addImagePattern(std::unique_ptr<TChannel> tile, int32_t scale, int32_t offsetX,
                                  int32_t offsetY) = 0;
  // Adds a screen tone computed from its six attributes and switch (the tile may be null); its
  // index, or -1.
  virtual int32_t addScreenTone(const int32_t attributes[6], bool toneSwitch, std::unique_ptr<TChannel> tile) = 0;
  // Placement, inversion and name of the pattern at index; false for an index outside the set.
  virtual bool setPatternPlacement(int32_t index, int32_t offsetX, int32_t offsetY, int32_t scale,
                                   bool inverted) = 0;
  virtual bool setPatternName(int32_t index, std::string_view name) = 0;
  // Makes the pattern current; the index it answers (CPatMngrBase.SetCurrent).
  virtual int32_t setCurrentPattern(int32_t index) = 0;

  // Rebuilds the image shape from the base shape with a copy of the channel, the scale and the
  // key as its serial id; it replaces the previous image shape. False when it cannot be made.
  virtual bool rebuildImageShape(const TChannel& channel, int16_t scale, uint32_t key) = 0;
  // The image shape exists and is a valid image nib.
  virtual bool imageShapeValid() const = 0;
};

}  // namespace tf
