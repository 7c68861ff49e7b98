// CScaleImage and its subclasses: the area-averaging resampler.
#pragma once
// Area-averaging resampler: every destination pixel receives the coverage-weighted average of
// the source area it covers (16.16 steps, Single sums). One abstract class holds the geometry
// and the averaging; subclasses say where pixels are and how one is accumulated and stored.
//
// Subclasses elsewhere override the five pixel slots (AddPixel, AddPixelWeighted, StorePixel,
// SourcePixel, DestPixel) and get the generic path. The classes of this file run a direct loop
// for their own layout; a subclass of one of them that overrides a slot falls back to the
// generic path automatically, so the contract always holds.
#include <cstdint>
#include <typeinfo>

#include "raster/Geometry.h"

namespace tf {

class TMTC;
class TChannel;
struct SFlattenBackground;

// Four Single sums: for 32-bit pixels the bytes 2, 1, 0, 3 (red, green, blue, alpha); the 8-bit
// classes use only the first.
struct SScaleAcc {
  float sum[4];
};

class CScaleImage {
 public:
  // Sizes and rectangles 0, both steps 65536.
  CScaleImage();
  virtual ~CScaleImage();
  CScaleImage(const CScaleImage&) = delete;
  CScaleImage& operator=(const CScaleImage&) = delete;

  // Pixel slots.
  // acc += R, G, B, A of the 32-bit pixel at the address.
  virtual void AddPixel(SScaleAcc& acc, const uint8_t* pixel);
  // acc += weight * each channel.
  virtual void AddPixelWeighted(SScaleAcc& acc, const uint8_t* pixel, float weight);
  // Each of R, G, B, A := clamp(trunc((acc + g)/area), 0, 255), the guard g = 0.01 where the
  // area exceeds 0.01 and 0.99*area where it does not (a lift below one level either way).
  virtual void StorePixel(uint8_t* dest, const SScaleAcc& acc, float area);
  virtual const uint8_t* SourcePixel(int32_t x, int32_t y) = 0;
  virtual uint8_t* DestPixel(int32_t x, int32_t y) = 0;

  // Clips both rectangles to their images, then takes the steps. False when either rectangle
  // becomes empty, or the source is too large for 16.16 positions (a side over 32767).
  bool ComputeSteps();
  // Stores both rectangles, ComputeSteps, then ScaleAll. False when ComputeSteps fails or
  // anything raises.
  bool Scale(const SRectWH& source, const SRectWH& dest);
  // Every pixel of the destination rectangle from its area of the source rectangle.
  virtual void ScaleAll();
  // Averages the 16.16 source area (x0, y0 not negative) into the destination address.
  virtual void AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1);
  // Adds one source row of an area: a left pixel weighted, count whole pixels, a right pixel
  // weighted (each weighted pixel only when its 16.16 weight is > 0).
  void AddRow(int32_t x, int32_t y, SScaleAcc& acc, int32_t leftWeight, int32_t rightWeight, int32_t count);
  // Intersects the 16.16 area with the source; false when nothing is left (the caller writes
  // its background), else AverageArea over the intersection.
  bool SampleArea(uint8_t* dest, TRect& area);
  // AverageArea without the intersection.
  void SampleAreaRaw(uint8_t* dest, const TRect& area);

  const SSize& GetSourceSize() const { return sourceSize_; }
  const SSize& GetDestSize() const { return destSize_; }
  const SRectWH& GetSourceRect() const { return sourceRect_; }
  const SRectWH& GetDestRect() const { return destRect_; }
  Fixed GetXStep() const { return xStep_; }
  Fixed GetYStep() const { return yStep_; }
  void SetSourceRect(const SRectWH& r) { sourceRect_ = r; }
  void SetDestRect(const SRectWH& r) { destRect_ = r; }

 protected:
  // The classes with direct loops name themselves in their constructors. The loops serve an
  // object only when it is exactly the class that named itself last: a subclass may override
  // a pixel slot, so it takes the generic path.
  void SetDirectClass(const std::type_info& cls) { directClass_ = &cls; }
  bool IsDirectClass() const { return directClass_ != nullptr && typeid(*this) == *directClass_; }

  // The per-pixel algorithm through the virtual slots.
  void AverageAreaGeneric(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1);
  void ScaleAllGeneric();

  SSize sourceSize_;
  SSize destSize_;
  SRectWH sourceRect_;
  SRectWH destRect_;
  Fixed xStep_;
  Fixed yStep_;

 private:
  const std::type_info* directClass_ = nullptr;
};

// 32-bit TMTC source into any 32-bit flat image.
class CScaleImageTMTC : public CScaleImage {
 public:
  // Takes the source size and, when there is a destination, its size.
  CScaleImageTMTC(TMTC* source, TMTC* dest);
  void SetImages(TMTC* source, TMTC* dest);

  const uint8_t* SourcePixel(int32_t x, int32_t y) override;
  uint8_t* DestPixel(int32_t x, int32_t y) override;
  void ScaleAll() override;
  void AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) override;

  TMTC* Source() const { return source_; }
  TMTC* Dest() const { return dest_; }
  // The direct loops apply: exactly this class, and a valid source that covers the source size.
  bool IsPlain() const;

 private:
  TMTC* source_ = nullptr;
  TMTC* dest_ = nullptr;
};

// 8-bit channel source into a 32-bit image (a TTC as a rule) shown as opaque grey.
class CScaleImageCH2TMTC : public CScaleImage {
 public:
  CScaleImageCH2TMTC(TChannel* source, TMTC* dest);

  void AddPixel(SScaleAcc& acc, const uint8_t* pixel) override;
  void AddPixelWeighted(SScaleAcc& acc, const uint8_t* pixel, float weight) override;
  // v := clamp(trunc((acc + g)/area), 0, 255) with the guard of CScaleImage; B = G = R = v, A = 255.
  void StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) override;
  const uint8_t* SourcePixel(int32_t x, int32_t y) override;
  uint8_t* DestPixel(int32_t x, int32_t y) override;
  void ScaleAll() override;
  void AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) override;

 private:
  bool IsPlain() const;
  TChannel* source_ = nullptr;
  TMTC* dest_ = nullptr;
};

// One-byte accumulation and store; addressing left to subclasses.
class CScaleImage8 : public CScaleImage {
 public:
  void AddPixel(SScaleAcc& acc, const uint8_t* pixel) override;
  void AddPixelWeighted(SScaleAcc& acc, const uint8_t* pixel, float weight) override;
  // byte := clamp(trunc((acc + g)/area), 0, 255) with the guard of CScaleImage.
  void StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) override;
};

// Channel into channel.
class CScaleImageCH : public CScaleImage8 {
 public:
  CScaleImageCH(TChannel* source, TChannel* dest);

  const uint8_t* SourcePixel(int32_t x, int32_t y) override;
  uint8_t* DestPixel(int32_t x, int32_t y) override;
  void ScaleAll() override;
  void AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) override;

 protected:
  TChannel* source_ = nullptr;
  TChannel* dest_ = nullptr;

 private:
  bool IsPlain() const;
};

// Stores 32-bit 16.16 coverage values (0..65536) instead of bytes; the destination address
// is a 4-byte cell of the caller's own. Built with the channel constructor and driven through
// SampleArea only: it keeps no destination image, so Scale refuses (a channel has 1-byte cells).
class CScaleImageCH_fixp : public CScaleImageCH {
 public:
  CScaleImageCH_fixp(TChannel* source, TChannel* dest);
  // int32 := clamp(round(65536*s), 0, 65536), s = acc/(area*255) held as a Single.
  void StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) override;
  void ScaleAll() override;
  void AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) override;

 private:
  bool IsPlain() const;
};

// Raw 8-bit buffers whose row stride is their width.
class CScaleImageBYTE : public CScaleImage8 {
 public:
  // The destination size is taken only when there are destination bytes.
  CScaleImageBYTE(const uint8_t* source, uint8_t* dest, const SSize& sourceSize, const SSize& destSize);

  const uint8_t* SourcePixel(int32_t x, int32_t y) override;
  uint8_t* DestPixel(int32_t x, int32_t y) override;
  void ScaleAll() override;
  void AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) override;

 private:
  bool IsPlain() const;
  const uint8_t* source_ = nullptr;
  uint8_t* dest_ = nullptr;
};

// Fills the destination with background, then scales the whole source into the whole
// destination, or (fitCentered) into PlaceSizeInBox of the destination. Returns Scale's result.
bool ScaleImageInto(TMTC& dest, TMTC& source, bool fitCentered, uint32_t background);
// The same from a channel, as opaque grey.
bool ScaleChannelInto(TMTC& dest, TChannel& source, bool fitCentered, uint32_t background);
// A new image holding the source scaled into the box (FitSizeInBox when fitAlways, else
// PlaceSizeInBox); with shrinkToFit the image has exactly the scaled size, else the box's size,
// filled with background around the picture. Null on any failure. The caller owns the result.
TMTC* MakeScaledCopy(const SSize& box, TMTC& source, bool shrinkToFit, bool fitAlways, uint32_t background);
// Free rotation with scaling through the caller's resampler (angle in radians, about the
// source point centre); pixels whose area misses the source get the background. False when
// the destination rectangle clips to nothing or the scale is not a finite value > 0.
// With a flatten background, every pixel whose area met the source is then shown over it
// (FlattenPixel at its destination position); background pixels are left as written.
bool ScaleRotateInto(TMTC& dest, TMTC& source, CScaleImageTMTC& resampler, const TPoint& centre, SRectWH destRect,
                     float angle, float scale, uint32_t background, const SFlattenBackground* flatten = nullptr);
// The same for plain 8-bit buffers (row stride = width) over the whole destination, with
// separate scales, the rotation taken before the scaling. False only when a scale is not a
// finite value > 0.
bool ScaleRotateBytes(uint8_t* dest, const uint8_t* source, const SSize& destSize, const SSize& sourceSize,
                      const TPoint& centre, float angle, float xScale, float yScale, uint8_t background);

namespace scale_detail {
// Tests: the direct loops of 32-bit images run their baseline build even where the processor
// has AVX2 (both give the same results).
void ForceBaselineScaling(bool force);
}  // namespace scale_detail

}  // namespace tf
