// The player's filter rows: one for each event id of the filter catalogue, calling the filter's
// replay twin with the recorded values and the record flag clear.
#include <array>
#include <utility>

#include "events/EventPacket.h"
#include "filters/FilterCommands.h"
#include "playback/Player.h"

namespace tf {

namespace {

SFilterRecordedValues RecordedValues(const SFilterReplayCall& call) {
  SFilterRecordedValues values;
  values.wordCount = call.paramCount;
  for (int32_t i = 0; i < call.paramCount && i < 6; ++i) values.words[i] = call.params[i];
  values.header = call.block != nullptr ? reinterpret_cast<const uint8_t*>(call.block) : nullptr;
  values.data = call.data;
  values.gradient = call.gradient;
  values.gradientOptions = call.gradientOptions;
  // The recorder's floor picture (0/128) is the ceiling texture, its wall picture (0/129) the
  // floor texture.
  values.ceilingTexture = call.floorTexture;
  values.floorTexture = call.wallTexture;
  return values;
}

template <FilterKey Key>
bool PlayFilterRow(const SFilterReplayCall& call) {
  return ReplayFilter(Key, call.paper, call.flow, call.layer, RecordedValues(call), false, call.alphaProtect);
}

// Event 52: an older luminance to alpha, recorded without its colour.
bool PlayLuminanceToAlphaWithoutColour(const SFilterReplayCall& call) {
  return ReplayLuminanceToAlphaWithoutColour(call.paper, call.flow, call.layer, false);
}

// The waves of events 69 and 80 (today's records 85).
bool PlayWaveV0(const SFilterReplayCall& call) {
  return ReplayWaveVariant(0, call.paper, call.flow, call.layer, RecordedValues(call), false, call.alphaProtect);
}
bool PlayWaveV1(const SFilterReplayCall& call) {
  return ReplayWaveVariant(1, call.paper, call.flow, call.layer, RecordedValues(call), false, call.alphaProtect);
}

// The first blur, blur more and colour balance (events 0, 1 and 17).
bool PlayBlurV1(const SFilterReplayCall& call) {
  return ReplayBlurV1(call.paper, call.flow, call.layer, false, call.alphaProtect);
}
bool PlayBlurMoreV1(const SFilterReplayCall& call) {
  return ReplayBlurMoreV1(call.paper, call.flow, call.layer, false, call.alphaProtect);
}
bool PlayColorBalanceV1(const SFilterReplayCall& call) {
  return ReplayColorBalanceV1(call.paper, call.flow, call.layer, RecordedValues(call), false, call.alphaProtect);
}

template <size_t... I>
constexpr std::array<FFilterReplay, sizeof...(I)> ReplayRoutines(std::index_sequence<I...>) {
  return {&PlayFilterRow<static_cast<FilterKey>(I)>...};
}

std::vector<SFilterReplayRow> MakeRows() {
  constexpr auto routines = ReplayRoutines(std::make_index_sequence<kFilterKeyCount>{});
  std::vector<SFilterReplayRow> rows;
  for (const SFilterCatalogueRow& row : FilterCatalogue()) {
    // Clouds 2 records the clouds' event: one replay serves both (the block's blend mode byte
    // tells them apart).
    if (row.key == FilterKey::Clouds2) continue;
    const uint8_t cls = FilterClassOfId(row.eventId);
    if (cls == 0) continue;
    rows.push_back(SFilterReplayRow{cls, row.eventId, routines[static_cast<size_t>(row.key)], row.keyName});
  }
  rows.push_back(SFilterReplayRow{FilterClassOfId(52), 52, &PlayLuminanceToAlphaWithoutColour, "LuminanceToAlpha"});
  rows.push_back(SFilterReplayRow{FilterClassOfId(0), 0, &PlayBlurV1, "BlurV1"});
  rows.push_back(SFilterReplayRow{FilterClassOfId(1), 1, &PlayBlurMoreV1, "BlurMoreV1"});
  rows.push_back(SFilterReplayRow{FilterClassOfId(17), 17, &PlayColorBalanceV1, "ColorBalanceV1"});
  rows.push_back(SFilterReplayRow{FilterClassOfId(69), 69, &PlayWaveV0, "WaveV0"});
  rows.push_back(SFilterReplayRow{FilterClassOfId(80), 80, &PlayWaveV1, "WaveV1"});
  return rows;
}

}  // namespace

std::span<const SFilterReplayRow> FilterReplayRows() {
  static const std::vector<SFilterReplayRow> rows = MakeRows();
  return rows;
}

}  // namespace tf
