// The player's rows of the two older filter generations: one per (class, id), each decoding the
// packet's words the way its runner recorded them and calling the runner with the record flag
// clear and no backup. A row answers false (the step fails) on a short packet, a value that is
// not a finite Single or lies beyond 32 bits, and on running out of memory.
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "events/EventPacket.h"
#include "filters/FilterCommands.h"
#include "filters/OlderFilterRunners.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "playback/Player.h"

namespace tf {

namespace {

bool Words(const SFilterReplayCall& call, int32_t count) { return call.paramCount >= count; }

// A recorded Single: false when it is not a finite number.
bool Single(const SFilterReplayCall& call, int32_t i, float& out) {
  std::memcpy(&out, &call.params[i], 4);
  return std::isfinite(out);
}

// Runs a row's body; running out of memory (or any other exception) fails the step.
template <class Body>
bool Guarded(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return false;
  } catch (...) {
    return false;
  }
}

// ---- First generation

// A first-generation runner with the record flag clear and no backup, guarded.
template <class Call>
bool FirstGeneration(Call&& call) {
  return Guarded([&] {
    BackupRef none;
    return call(none);
  });
}

bool PlaySharpenV1(const SFilterReplayCall& c) {
  return FirstGeneration([&](BackupRef& none) { return ReplaySharpenV1(c.paper, c.flow, c.layer, none, false); });
}
bool PlaySharpenMoreV1(const SFilterReplayCall& c) {
  return FirstGeneration(
      [&](BackupRef& none) { return ReplaySharpenMoreV1(c.paper, c.flow, c.layer, none, false); });
}
bool PlayGrayscale(const SFilterReplayCall& c) {
  return FirstGeneration([&](BackupRef& none) { return ReplayGrayscale(c.paper, c.flow, c.layer, none, false); });
}
bool PlayLevelsV1(const SFilterReplayCall& c) {
  return Words(c, 6) && FirstGeneration([&](BackupRef& none) {
           return ReplayLevelsV1(c.paper, c.flow, c.layer, none, false, c.params[1], c.params[2], c.params[3],
                                 c.params[4], c.params[5]);
         });
}
bool PlayBrightnessContrastV1(const SFilterReplayCall& c) {
  return Words(c, 2) && FirstGeneration([&](BackupRef& none) {
           return ReplayBrightnessContrastV1(c.paper, c.flow, c.layer, none, false, c.params[0], c.params[1]);
         });
}
bool PlayHueSaturationV1(const SFilterReplayCall& c) {
  return Words(c, 4) && FirstGeneration([&](BackupRef& none) {
           return ReplayHueSaturationV1(c.paper, c.flow, c.layer, none, false, c.params[1], c.params[2],
                                        c.params[3]);
         });
}
bool PlayPosterizeV1(const SFilterReplayCall& c) {
  return Words(c, 2) && FirstGeneration([&](BackupRef& none) {
           return ReplayPosterizeV1(c.paper, c.flow, c.layer, none, false, c.params[1]);
         });
}
bool PlayNoiseV1(const SFilterReplayCall& c) {
  return Words(c, 2) && FirstGeneration([&](BackupRef& none) {
           return ReplayNoiseV1(c.paper, c.flow, c.layer, none, false, c.params[0], c.params[1]);
         });
}
bool PlayMosaicV1(const SFilterReplayCall& c) {
  return Words(c, 2) && FirstGeneration([&](BackupRef& none) {
           return ReplayMosaicV1(c.paper, c.flow, c.layer, none, false, c.params[0], c.params[1]);
         });
}
bool PlayMotionBlurV1(const SFilterReplayCall& c) {
  float distance, angle;
  if (!Words(c, 2) || !Single(c, 0, distance) || !Single(c, 1, angle)) return false;
  // The runner takes the distance as an integer (the recorded Single truncated).
  const double d = std::trunc(double{distance});
  if (d < -2147483648.0 || d > 2147483647.0) return false;
  return FirstGeneration([&](BackupRef& none) {
    return ReplayMotionBlurV1(c.paper, c.flow, c.layer, none, false, static_cast<int32_t>(d), angle,
                              c.alphaProtect);
  });
}
bool PlayZoomBlurV1(const SFilterReplayCall& c) {
  return Words(c, 4) && FirstGeneration([&](BackupRef& none) {
           return ReplayZoomBlurV1(c.paper, c.flow, c.layer, none, false, c.params[1], c.params[2], c.params[3],
                                   c.params[0] & 0xFF);
         });
}

// ---- Second generation: the words from word 0 in the runner's order

bool PlayLegacySharpen(const SFilterReplayCall& c) {
  float strength;
  return Words(c, 1) && Single(c, 0, strength) &&
         Guarded([&] { return RunLegacySharpen(c.paper, c.flow, c.layer, strength); });
}
bool PlayLegacyGaussian(const SFilterReplayCall& c) {
  float sigma;
  return Words(c, 1) && Single(c, 0, sigma) &&
         Guarded([&] { return RunLegacyGaussian(c.paper, c.flow, c.layer, sigma); });
}
bool PlayLegacyTwirl(const SFilterReplayCall& c) {
  float cy, cx, turns;
  return Words(c, 4) && Single(c, 0, cy) && Single(c, 1, cx) && Single(c, 3, turns) && Guarded([&] {
           return RunLegacyTwirl(c.paper, c.flow, c.layer, cy, cx, static_cast<uint8_t>(c.params[2] & 0xFF),
                                 turns);
         });
}
bool PlayLegacyEmboss(const SFilterReplayCall& c) {
  float distance, angle;
  return Words(c, 2) && Single(c, 0, distance) && Single(c, 1, angle) &&
         Guarded([&] { return RunLegacyEmboss(c.paper, c.flow, c.layer, distance, angle); });
}
bool PlayLegacyWave(const SFilterReplayCall& c) {
  float v[5];
  if (!Words(c, 5)) return false;
  for (int32_t i = 0; i < 5; ++i)
    if (!Single(c, i, v[i])) return false;
  return Guarded([&] { return RunLegacyWave(c.paper, c.flow, c.layer, v[0], v[1], v[2], v[3], v[4]); });
}
bool PlayLegacyTiles(const SFilterReplayCall& c) {
  if (!Words(c, 4)) return false;
  // The four recorded words in a zeroed record of 24 bytes.
  SLegacyTiles tiles{};
  std::memcpy(&tiles, c.params, 16);
  return Guarded([&] { return RunLegacyTiles(c.paper, c.flow, c.layer, tiles); });
}
bool PlayLegacyClouds(const SFilterReplayCall& c) {
  if (!Words(c, 6)) return false;
  SLegacyClouds clouds{};
  std::memcpy(&clouds, c.params, 24);
  return Guarded([&] { return RunLegacyClouds(c.paper, c.flow, c.layer, clouds); });
}
// Event 38 needs a rock width beside the six words of the clouds' record, and a six-word packet
// has no place for it: until the recorder's layout of it is known the event cannot be replayed.
bool PlayLegacyCloudsRock(const SFilterReplayCall&) {
  DebugOutF(
      "player: the older clouds/rock event (35, 38) is not replayed yet: its packet has no place for the rock "
      "width\n");
  return false;
}

// Event 39: the ambient colour and level in the block's inline bytes (18 and 22), then the light
// records (the player has checked count x 56 bytes).
bool PlayLegacyLighting(const SFilterReplayCall& c) {
  if (c.block == nullptr || c.data.size() < 56) return false;
  const auto* header = reinterpret_cast<const uint8_t*>(c.block);
  const uint32_t colour = LoadLE<uint32_t>(header + 18);
  const int32_t level = LoadLE<int32_t>(header + 22);
  return Guarded([&] { return RunLegacyLighting(c.paper, c.flow, c.layer, level, colour, c.data); });
}

// Event 40: generation byte 45 of the record selects the older floor (0) or today's.
bool PlayFloor(const SFilterReplayCall& c) {
  if (c.block == nullptr || c.data.size() != static_cast<size_t>(kFloorValueBytes)) return false;
  // The recorder's floor picture (0/128) is the ceiling texture, its wall picture (0/129) the
  // floor texture.
  if (c.data[45] != 0) {
    SFilterRecordedValues values;
    values.header = reinterpret_cast<const uint8_t*>(c.block);
    values.data = c.data;
    values.ceilingTexture = c.floorTexture;
    values.floorTexture = c.wallTexture;
    return ReplayFilter(FilterKey::Floor, c.paper, c.flow, c.layer, values, false, c.alphaProtect);
  }
  return Guarded(
      [&] { return RunLegacyFloor(c.paper, c.flow, c.layer, c.data.data(), c.floorTexture, c.wallTexture); });
}

}  // namespace

std::vector<SFilterReplayRow> OlderFilterReplayRows() {
  struct SRow {
    uint8_t id;
    FFilterReplay replay;
    const char* name;
  };
  static constexpr SRow kRows[] = {
      {8, &PlaySharpenV1, "SharpenV1"},
      {9, &PlaySharpenMoreV1, "SharpenMoreV1"},
      {20, &PlayGrayscale, "Grayscale"},
      {16, &PlayLevelsV1, "LevelsV1"},
      {18, &PlayBrightnessContrastV1, "BrightnessContrastV1"},
      {19, &PlayHueSaturationV1, "HueSaturationV1"},
      {21, &PlayPosterizeV1, "PosterizeV1"},
      {22, &PlayNoiseV1, "NoiseV1"},
      {23, &PlayMosaicV1, "MosaicV1"},
      {2, &PlayMotionBlurV1, "MotionBlurV1"},
      {3, &PlayZoomBlurV1, "ZoomBlurV1"},
      {10, &PlayLegacySharpen, "LegacySharpen"},
      {32, &PlayLegacyGaussian, "LegacyGaussian"},
      {33, &PlayLegacyTwirl, "LegacyTwirl"},
      {34, &PlayLegacyEmboss, "LegacyEmboss"},
      {35, &PlayLegacyWave, "LegacyWave"},
      {36, &PlayLegacyTiles, "LegacyTiles"},
      {37, &PlayLegacyClouds, "LegacyClouds"},
      {38, &PlayLegacyCloudsRock, "LegacyCloudsRock"},
      {39, &PlayLegacyLighting, "LegacyLighting"},
      {40, &PlayFloor, "Floor"},
  };
  std::vector<SFilterReplayRow> rows;
  for (const SRow& r : kRows) rows.push_back(SFilterReplayRow{FilterClassOfId(r.id), r.id, r.replay, r.name});
  return rows;
}

}  // namespace tf
