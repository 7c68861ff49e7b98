// Fixture for the floor checker: the one upward include (raster reaches document).
#include "raster/Image.h"

namespace fixture {
const char* kPattern = "src/*.h";  // not the start of a comment
}  // namespace fixture

#include "document/Layer.h"
