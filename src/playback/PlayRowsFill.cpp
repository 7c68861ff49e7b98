// Player rows of the layer clears and fills and the fills and selections through a channel.
#include "playback/PlayRows.h"

namespace tf {

// Rows are added here as the commands of this area are played; until a pair has its row the
// player fails its packets and names the pair on the developer output.
std::span<const SPlayRow> FillPlayRows() { return {}; }

}  // namespace tf
