// Player rows of the state, information, the new document, the markers and the strokes.
#include "playback/PlayRows.h"

namespace tf {

// Rows are added here as the commands of this area are played; until a pair has its row the
// player fails its packets and names the pair on the developer output.
std::span<const SPlayRow> CorePlayRows() { return {}; }

}  // namespace tf
