// Fixture for the floor checker: a clean raster header.
#pragma once
#include "platform/Memory.h"

namespace fixture {
class Image {
 public:
  Block block;
};
}  // namespace fixture
