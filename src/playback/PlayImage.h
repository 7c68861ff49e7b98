// The image packet as the player reads it: class 12 codes 1 and 2, class 0 codes 128 and 129.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "events/EventPacket.h"
#include "playback/PlayRows.h"
#include "raster/FlatImage.h"

namespace tf {

// Largest side of a played image or layer: what a working copy (a flat copy of a whole layer
// store) can hold side by side; the area is bounded by the flat image's byte limit as well.
inline constexpr int32_t kMaxPlayedImageSide = 1 << 16;
// Largest canvas side of a played new document.
inline constexpr int32_t kMaxPlayedCanvasSide = 10000;

// True for sides 1..kMaxPlayedImageSide whose 32-bit pixels fit one flat image.
bool PlayedImageSizeAllowed(int64_t width, int64_t height);

struct SPlayedImage {
  int16_t layer = 0;
  bool hasAttributes = false;
  uint8_t attributes[72] = {};
  std::string name;
  std::unique_ptr<TMTC> image;
};

// Reads the packet's image: the 22-byte header, the 72-byte attribute record when flagged, the
// name cut at its first zero, then width x height x 4 bytes of pixels, rows top-down. Every
// size is checked against the others and the payload before it is used: sides 1..65536, 32 bits
// per pixel, pixel bytes = width x height x 4 (in 64 bits), attribute flag 0 or 1, record +
// name + pixels inside the length and the length inside the payload. False (out empty) for
// anything that does not fit.
bool ReadImagePacket(const CPlayPayload& payload, SPlayedImage& out);

// The packed channel of a class-13 packet in its 54-byte header form (codes 0, 1, 4, 16, 17, 32):
// the header, its rectangle (not empty, area equal to the byte count), the packed bytes inside
// the payload, unpacked. False when any of it does not hold.
struct SPlayedChannel {
  SChannelPacket header{};
  SRectWH rect{};
  std::vector<uint8_t> bytes;  // rect.width x rect.height, rows top-down
};
bool ReadChannelPacket(const CPlayPayload& payload, SPlayedChannel& out);
// The bytes into the channel at their rectangle; false when the rectangle does not fit.
bool PutPlayedChannel(const SPlayedChannel& played, TChannel& channel);

}  // namespace tf
