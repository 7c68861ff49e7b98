// Fixture for the floor checker: a clean document header forward-declaring a lower class.
#pragma once
#include "raster/Image.h"

namespace fixture {
class Image;
class Layer {
 public:
  Image* image = nullptr;
};
}  // namespace fixture
