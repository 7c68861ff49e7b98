// The older generation's projection of textures onto two endless planes (ceiling and floor),
// seen from a camera, with distance fog: CInfinitePlane. Old floor recordings replay through it
// (the current floor filter projects on its own, filters/Floor.h).
#pragma once
// Setup sizes a grid of one point per pixel corner (width + 1) x (height + 1) and the fog limit;
// SetCamera places the eye; Project gives every grid point its texture coordinates (texels), its
// distance from the eye along the plane and its side (0 the plane below, 1 the plane above);
// Render writes every covered pixel of the destination from its grid point.
//
// Texture coordinates are brought into the texture by fmod before they become 16.16 positions
// (a ray parallel to the planes has v = 2^30), and the grid's byte count is computed in 64 bits.
#include <cstdint>
#include <vector>

#include "raster/Geometry.h"

namespace tf {

class CBlockVMTC;
class CMaskData;
class TMTC;

class CInfinitePlane {
 public:
  // Grid (width + 1) x (height + 1); q := (width + height) div 4; fog distance raised to at
  // least 1; D := trunc((d/100)^1.5 (200q - q) + q). False (grid emptied) when a size is
  // negative or the grid cannot be allocated.
  bool Setup(int32_t width, int32_t height, int32_t fogDistance);
  void SetCamera(double eyeX, double eyeHeight, double eyeZ, double heading, double pitch, double extra);
  // Every grid point from the camera: plane level a above (L > 0), 0 below; distance b is the
  // projection distance. The textures are kept for Render (first below, second above).
  void Project(const TMTC* first, const TMTC* second, double level, double distance);
  // Every pixel of the width x height image inside the destination store from its grid point,
  // weighted by the mask (mask store point = pixel + offset) when it is allocated. The
  // fog-opacity term is floor(2.55 x fog opacity) + 255. False when the grid is not set up, the
  // destination is missing, a texture a pixel needs is missing, or a tile cannot be committed.
  bool Render(CBlockVMTC* dest, uint32_t fogColour, bool alphaProtect, TPoint maskOffset, const CMaskData* mask,
              bool infiniteDistance, bool keepPicture, bool transparentFog, int32_t fogOpacityTerm) const;

  int32_t GridWidth() const { return gridWidth_; }
  int32_t GridHeight() const { return gridHeight_; }
  int32_t FogLimit() const { return fogLimit_; }  // D
  int32_t Quarter() const { return quarter_; }    // q
  // The values of grid point (i, r) after Project.
  double U(int32_t i, int32_t r) const { return u_[Index(i, r)]; }
  double V(int32_t i, int32_t r) const { return v_[Index(i, r)]; }
  double Distance(int32_t i, int32_t r) const { return distance_[Index(i, r)]; }
  int32_t Side(int32_t i, int32_t r) const { return side_[Index(i, r)]; }

  double eyeX = 0.0;
  double eyeHeight = 0.0;
  double eyeZ = 0.0;
  double heading = 0.0;
  double pitch = 0.0;
  double extra = 0.0;  // kept with the camera, not read by the projection

 private:
  size_t Index(int32_t i, int32_t r) const {
    return static_cast<size_t>(r) * static_cast<size_t>(gridWidth_) + static_cast<size_t>(i);
  }

  int32_t gridWidth_ = 0;
  int32_t gridHeight_ = 0;
  std::vector<double> u_;
  std::vector<double> v_;
  std::vector<double> distance_;
  std::vector<int32_t> side_;
  const TMTC* first_ = nullptr;
  const TMTC* second_ = nullptr;
  int32_t fogLimit_ = 0;
  int32_t quarter_ = 0;
};

// A texture coordinate in texels as a 16.16 position inside a side of n texels: fmod by n (the
// sign kept), then x 65536 truncated.
int32_t TexelToFix(double t, int32_t n);

}  // namespace tf
