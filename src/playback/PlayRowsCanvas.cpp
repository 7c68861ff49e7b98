// Player rows of the canvas transforms and the layer and folder moves.
#include "playback/PlayRows.h"

namespace tf {

// Rows are added here as the commands of this area are played; until a pair has its row the
// player fails its packets and names the pair on the developer output.
std::span<const SPlayRow> CanvasPlayRows() { return {}; }

}  // namespace tf
