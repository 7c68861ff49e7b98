// Player rows of the layer commands, layer and image-wide transforms and pasted images.
#include "playback/PlayRows.h"

namespace tf {

// Rows are added here as the commands of this area are played; until a pair has its row the
// player fails its packets and names the pair on the developer output.
std::span<const SPlayRow> LayerPlayRows() { return {}; }

}  // namespace tf
