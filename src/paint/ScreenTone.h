// Screen tones and patterns: the halftone generator (CToneMaker) and the pattern classes.
#pragma once
// A pattern is an 8-bit value per canvas pixel that the tone pixel writers multiply into the
// coverage of a stroke or a fill (255 lets the paint through, 0 keeps it out).
//
//   CToneMaker  the halftone screen: ten dot shapes, any cell size and angle 0..90 degrees,
//               computed once into a tile that covers one super-cell (N x N cells whose corners
//               fall on whole pixels, so the screen repeats exactly)
//   CPatObj     the common base of patterns (identity, offsets, scale, name)
//   CPat8       a plain pattern: a small 8-bit tile repeated over the canvas
//   CPat8Tone   a screen tone: SToneAttr and a maker (shared with the tone set, or its own)
//
// All screen arithmetic is single precision (float, no contraction), so a tone gives the same
// value at a pixel on every machine: recorded strokes replay through it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class TMTC;

// ---------------------------------------------------------------------------------------------
// Tone attributes

inline constexpr int32_t kToneShapeCount = 10;
// The first seven fields of SToneAttr as stored (shape .. spread), little-endian.
inline constexpr int32_t kToneAttrBytes = 24;

// The attributes of a screen tone. The first 24 bytes (shape to spread) travel byte for byte
// into tone records, tone set files and recorded events.
struct SToneAttr {
  uint8_t shape = 0;         // 0..9 (ToneShapeName)
  uint8_t reserved[3] = {};  // zero as written; kept as read
  float resolution = 0;      // pixels per length unit
  float ruling = 0;          // screen lines per the same unit; cell = resolution / ruling
  float density = 0;         // ink coverage in percent, 0..100
  float angle = 0;           // screen angle in degrees, 0..90
  int32_t spread = 0;        // width of the soft edge in percent steps (0: hard edge)
  uint8_t toneSwitch = 1;    // stored with the tone, not read by the generator
  std::string name;          // code page 932 bytes
};

// Zero the 24 stored bytes, empty name, switch 1.
void InitToneAttr(SToneAttr& attr);
// The 24 stored bytes, little-endian.
void ToneAttrToBytes(const SToneAttr& attr, uint8_t out[kToneAttrBytes]);
// Sets the 24 stored fields from bytes; the switch and the name stay.
void ToneAttrFromBytes(SToneAttr& attr, const uint8_t in[kToneAttrBytes]);
// Whether two attributes agree in their 24 stored bytes.
bool SameToneBytes(const SToneAttr& a, const SToneAttr& b);

// "Round", "Dot", ... for 0..9; "???" for any other shape.
const char* ToneShapeName(int32_t shape);

// Requested cell sizes outside this range are refused before the repeat search: they could
// never snap into 3..128 pixels, and the search would loop too long or overflow on them.
inline constexpr float kToneCellSearchMin = 2.5f;
inline constexpr float kToneCellSearchMax = 130.0f;
// The snapped cell size must lie in this range.
inline constexpr float kToneCellMin = 3.0f;
inline constexpr float kToneCellMax = 128.0f;

// The number of cells along a super-cell side for the cell components k = c cos t and
// s = c sin t (both 0 or more): the first n whose corner falls within 0.05 of whole pixels, else
// the nearest. The caller keeps max(k, s) within the search range above; 0 when it is not.
int32_t FindToneRepeat(float k, float s);

// Sorts the values ascending, the same sequence std::sort gives. The spot values of a screen
// (finite, 0 or more) are sorted by their bits, three passes of 11 bits; any other value makes
// it fall back to std::sort.
void SortToneValues(std::vector<float>& values);

// ---------------------------------------------------------------------------------------------
// The screen generator

class CToneMaker {
 public:
  // One of the 101 level entries (one per percent of the sorted spot values).
  struct SLevelEntry {
    int32_t index;       // index into the sorted values
    float value;         // the spot value there
    int32_t runLength;   // equal values around that index
    int32_t equalBelow;  // directly neighbouring entries below holding the same value
    int32_t equalAbove;  // ... and above
    int32_t runsBelow;   // sums of their run lengths
    int32_t runsAbove;
  };

  CToneMaker() = default;
  CToneMaker(const CToneMaker&) = delete;
  CToneMaker& operator=(const CToneMaker&) = delete;

  // Sets up the screen. False, everything kept, for a shape outside 0..9, a cell size or angle
  // the geometry refuses, or a value that is not finite. Density is clamped to 0..100.
  bool Setup(int32_t shape, int32_t spread, float cellSize, float angle, float density);
  // Computes the super-cell for the cell size and the angle (degrees, 0..90). False, everything
  // kept, unless the snapped cell lies in 3..128 pixels.
  bool SetGeometry(float cellSize, float angle);
  // Whether SetGeometry would accept the cell size and angle (nothing is built).
  static bool CanBuild(float cellSize, float angle);
  // The screen value at a canvas pixel, 0..255; 255 is ink. 0 before the first Setup.
  // Pixels visited along a row (x rising by 1) are stepped in whole numbers from the last one,
  // with the single-precision path wherever a pixel lies close enough to a cell edge for its
  // rounding to matter; the result is always that of SampleSingle.
  uint8_t Sample(int32_t x, int32_t y) const {
    Walk& w = walk_;
    if (w.valid && y == w.y && x == w.x + 1 && x < w.xEnd) {
      w.x = x;
      ++w.index;
      w.remP += w.stepP;
      if (w.remP >= w.d) {
        w.remP -= w.d;
        w.index += w.indexStepI;
      }
      w.remQ += w.stepQ;
      if (w.remQ >= w.d) {
        w.remQ -= w.d;
        w.index += w.indexStepJ;
      }
      // Remainders within the margin of a cell edge take the single-precision path.
      if (static_cast<uint32_t>(w.remP - w.margin) <= w.inner &&
          static_cast<uint32_t>(w.remQ - w.margin) <= w.inner)
        return superCell_[static_cast<size_t>(w.index)];
      return SampleSingle(x, y);
    }
    return SampleStart(x, y);
  }
  // The screen value computed in single precision alone (the reference of Sample).
  uint8_t SampleSingle(int32_t x, int32_t y) const;
  // Sample(x + i, y) into out[i] for i < count.
  void SampleRow(int32_t x, int32_t y, int32_t count, uint8_t* out) const;
  // Every channel pixel (j, i) := Sample(x0 + j, y0 + i). True.
  bool DrawIntoChannel(TChannel& channel, int32_t x0, int32_t y0) const;
  // (i b + j a, -i a + j b).
  TPoint LatticePoint(int32_t i, int32_t j) const;

  bool IsReady() const { return tile_ != nullptr && tile_->IsValid(); }
  float CellSize() const { return cellSize_; }
  float RequestedAngle() const { return requestedAngle_; }
  float SnappedAngle() const { return snappedAngle_; }
  float SuperCellSide() const { return side_; }
  int32_t A() const { return a_; }
  int32_t B() const { return b_; }
  int32_t N() const { return n_; }
  float VerticalOffset() const { return verticalOffset_; }
  float Sine() const { return sine_; }
  float Cosine() const { return cosine_; }
  int32_t Shape() const { return shape_; }
  float Density() const { return density_; }
  int32_t Spread() const { return spread_; }
  // The tile of levels; null before the first successful Setup.
  const TChannel* Tile() const { return tile_.get(); }
  // The normalised spot value of tile pixel (col, row); the tile must be ready.
  float SpotAt(int32_t col, int32_t row) const { return spots_[static_cast<size_t>(row) * tileWidth_ + col]; }
  const SLevelEntry& Level(int32_t i) const { return levels_[i]; }
  float LowerThreshold() const { return lower_; }
  float UpperThreshold() const { return upper_; }
  // The level of a spot value under the present thresholds, 0..255.
  uint8_t LevelOf(float spot) const;
  // How many reads since the last Setup fell outside the tile and were clamped (the fold of a
  // super-cell into the tile should never need it).
  int64_t ClampedReads() const { return clampedReads_; }

 private:
  struct Geometry {
    float cellSize, requestedCell, requestedAngle, radians;
    float sine, cosine;
    float cellSine, cellCosine, halfSum, halfDifference;
    float side;
    int32_t a, b, n;
    float verticalOffset;
    float snappedAngle;
  };
  static bool ComputeGeometry(float cellSize, float angle, Geometry& g);
  bool Rebuild(bool changed);
  void ComputeSpots();
  void BuildLevels();
  void SetThresholds(int32_t index);
  // The tile value at a pixel of the super-cell at (dx, dy) from its lattice point.
  uint8_t TileLookup(int32_t dx, int32_t dy) const;
  // TileLookup over the box of the super-cell square, dx in 0 .. a + b - 1, dy in -a .. b - 1.
  void BuildSuperCellTable();
  // Starts the row walk at (x, y) and samples there.
  uint8_t SampleStart(int32_t x, int32_t y) const;

  // The row walk: the remainders of the exact numerators ((2x + 1) b - (2y + 1) a and
  // (2x + 1) a + (2y + 1) b) over d = 2 (a^2 + b^2), whose quotients are the lattice cell of the
  // last pixel, and the index of that pixel in the super-cell table.
  struct Walk {
    bool valid = false;
    int32_t x = 0, y = 0, xEnd = 0;
    int32_t d = 0, remP = 0, remQ = 0, stepP = 0, stepQ = 0;
    int32_t margin = 0;  // remainders this close to a cell edge take the single-precision path
    uint32_t inner = 0;  // d - 2 margin
    int64_t index = 0;   // (dy + a) (a + b) + dx, valid only away from the edges
    int64_t indexStepI = 0, indexStepJ = 0;
  };
  mutable Walk walk_;
  std::vector<uint8_t> superCell_;  // (a + b) x (a + b), row dy + a
  float cellSize_ = 0;
  float requestedCell_ = 0;
  float requestedAngle_ = 0;
  float radians_ = 0;
  float sine_ = 0, cosine_ = 0;
  float cellSine_ = 0, cellCosine_ = 0, halfSum_ = 0, halfDifference_ = 0;
  float side_ = 0;
  int32_t a_ = 0, b_ = 0, n_ = 0;
  float verticalOffset_ = 0;
  int32_t verticalOffsetInt_ = 0;
  float snappedAngle_ = 0;
  int32_t shape_ = 0;
  float density_ = 0;
  int32_t spread_ = 0;
  bool hasGeometry_ = false;
  bool built_ = false;  // the last Setup finished: tile and super-cell table match its request
  std::unique_ptr<TChannel> tile_;
  int32_t tileWidth_ = 0, tileHeight_ = 0;
  std::vector<float> spots_;  // one per tile pixel, row by row
  SLevelEntry levels_[101] = {};
  float lower_ = 0, upper_ = 0, difference_ = 0;
  mutable int64_t clampedReads_ = 0;
};

// Whether a tone's attributes can be built at the scale (percent): a shape of 0..9, finite
// values, resolution and ruling above 0, an angle of 0..90 and a cell that snaps into 3..128
// pixels both as stored and at the scale.
bool IsBuildableToneAttr(const SToneAttr& attr, int32_t scale);

// ---------------------------------------------------------------------------------------------
// Patterns

enum : uint8_t { kPatternPlain = 0, kPatternTone = 1 };
inline constexpr int32_t kTypeCodePattern = 2;
inline constexpr int32_t kTypeCodeTone = 18;
// Largest side of a pattern tile (and of a working tile at scale).
inline constexpr int32_t kMaxPatternSide = 4096;

class CPatObj {
 public:
  CPatObj(int32_t width, int32_t height, int32_t typeCode);
  virtual ~CPatObj() = default;
  CPatObj(const CPatObj&) = delete;
  CPatObj& operator=(const CPatObj&) = delete;

  // A copy of every field but the serial id (a new one) and the display tile.
  virtual std::unique_ptr<CPatObj> Clone() const = 0;

  // Address of tile pixel (x, y); nullptr outside the tile.
  virtual uint8_t* PixelAddr(int32_t x, int32_t y) = 0;
  // The pattern value at a canvas pixel, 0..255.
  virtual uint8_t PixelAt(int32_t x, int32_t y) const = 0;
  // PixelAt(x + i, y) into out[i] for i < count.
  virtual void PixelRow(int32_t x, int32_t y, int32_t count, uint8_t* out) const = 0;
  virtual SSize GetSize() const { return SSize{width_, height_}; }
  // The scales in percent the palette offers (minimum, maximum).
  virtual void GetScaleRange(int32_t& minimum, int32_t& maximum) const;
  virtual void SetName(const std::string& name) { name_ = name; }
  virtual bool SetFromChannel(const TChannel& /*channel*/) { return false; }
  virtual bool DrawTile(TMTC& /*image*/, SRectWH /*rect*/) const { return false; }
  virtual bool DrawTiled(TMTC& image, SRectWH rect) const;
  virtual bool Paint(TMTC& image, SRectWH rect) const { return DrawTiled(image, rect); }

  // Takes a fresh serial id; returns the old one.
  int32_t RenewId();
  // Stores the flag only when the display tile is a valid image.
  void SetBuilt(bool built);

  bool IsBuilt() const { return built_; }
  int32_t SerialId() const { return serialId_; }
  uint8_t Kind() const { return kind_; }
  int32_t OffsetX() const { return offsetX_; }
  int32_t OffsetY() const { return offsetY_; }
  void SetOffsets(int32_t x, int32_t y) {
    offsetX_ = x;
    offsetY_ = y;
  }
  // A canvas point in the pattern's own coordinates. Offsets come from files and may be any
  // value: the difference wraps like the 32-bit coordinates it stands for instead of overflowing.
  int32_t PatternX(int32_t x) const { return WrapSub(x, offsetX_); }
  int32_t PatternY(int32_t y) const { return WrapSub(y, offsetY_); }
  static int32_t WrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
  }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Scale() const { return scale_; }
  void SetScale(int32_t scale) { scale_ = scale; }
  int32_t TypeCode() const { return typeCode_; }
  const std::string& Name() const { return name_; }
  const TChannel* DisplayTile() const { return displayTile_; }

 protected:
  // Copies every field of source but the serial id and the display tile.
  void CopyFieldsFrom(const CPatObj& source);

  bool built_ = false;
  int32_t serialId_;
  uint8_t kind_ = kPatternPlain;
  int32_t offsetX_ = 0, offsetY_ = 0;
  int32_t width_ = 0, height_ = 0;
  int32_t scale_ = 100;
  int32_t typeCode_;
  std::string name_;
  const TChannel* displayTile_ = nullptr;
};

// The process-wide serial-id counter: the next pattern made takes this id. Tests reset it.
void ResetPatternIdCounter(int32_t next = 1);

class CPat8 : public CPatObj {
 public:
  // A tile of the size filled with 0 (an empty tile for a size that cannot be made).
  CPat8(int32_t width, int32_t height, int32_t typeCode);
  // Source size, its tile and invert flag.
  static std::unique_ptr<CPat8> CreateCopy(const CPat8& source);

  std::unique_ptr<CPatObj> Clone() const override;
  uint8_t* PixelAddr(int32_t x, int32_t y) override;
  // Tile value at ((x + offset x) mod width, (y + offset y) mod height), XOR 255 when inverted.
  uint8_t PixelAt(int32_t x, int32_t y) const override;
  void PixelRow(int32_t x, int32_t y, int32_t count, uint8_t* out) const override;
  void GetScaleRange(int32_t& minimum, int32_t& maximum) const override;
  // Copies the channel into the tile at (0, 0), clipped. True.
  bool SetFromChannel(const TChannel& channel) override;
  // The tile from its own origin into the rectangle, clipped to both: blue = green = red =
  // 255 - tile value, alpha untouched.
  bool DrawTile(TMTC& image, SRectWH rect) const override;

  // Copies the pattern's tile into this one (resized to it).
  bool CopyTileFrom(const CPat8& pattern);
  // Resizes the tile (and the pattern's size) to the channel and copies it. False for an empty
  // or oversized channel.
  bool SetTileFromChannel(const TChannel& channel);

  bool Inverted() const { return inverted_; }
  void SetInverted(bool inverted) { inverted_ = inverted; }
  const TChannel& Tile() const { return tile_; }
  TChannel& Tile() { return tile_; }

 protected:
  TChannel tile_;
  bool inverted_ = false;
};

class CPat8Tone : public CPat8 {
 public:
  // 64 x 64, kind 1, type code 18, InitToneAttr, no maker.
  CPat8Tone();
  ~CPat8Tone() override;
  // The attributes, tile, offsets and scale; a source owning its maker makes the copy own a new
  // one (not set up until the copy is built), else the copy shares the source's maker.
  static std::unique_ptr<CPat8Tone> CreateCopy(const CPat8Tone& source);

  std::unique_ptr<CPatObj> Clone() const override;
  // Sample(x - offset x, y - offset y), 255 minus it when inverted; 0 without a ready maker.
  uint8_t PixelAt(int32_t x, int32_t y) const override;
  void PixelRow(int32_t x, int32_t y, int32_t count, uint8_t* out) const override;
  // (100, 100) when built.
  SSize GetSize() const override;
  // The scales at which the cell measures 3.5 and 127.5 pixels.
  void GetScaleRange(int32_t& minimum, int32_t& maximum) const override;
  void SetName(const std::string& name) override;
  // 255 - Sample(i, j) into pixel (rect.left + i, rect.top + j), without tiling.
  bool DrawTile(TMTC& image, SRectWH rect) const override;
  bool DrawTiled(TMTC& image, SRectWH rect) const override { return DrawTile(image, rect); }
  // The tile channel in bands as DrawTiled of a plain pattern (a non-zero v gives (v, v, v,
  // 255), zero gives 0), then $00FFFFFF XORed into the rectangle.
  bool Paint(TMTC& image, SRectWH rect) const override;

  // Sets the maker up from the attributes (when rebuild or no channel) and fills the tile: the
  // channel when given (a stored preview), else drawn from the maker. maker null: the tone
  // makes its own. False, the tone left unbuilt, when the maker cannot be made or set up.
  bool Build(const SToneAttr* attr, CToneMaker* maker, bool rebuild, const TChannel* channel);
  // Releases an owned maker and shares the given one.
  void UseMaker(CToneMaker* maker);
  // Releases the maker and makes its own; false when that fails.
  bool OwnMaker();
  // Frees the maker when owned and forgets it.
  void ReleaseMaker();

  const SToneAttr& Attr() const { return attr_; }
  SToneAttr& Attr() { return attr_; }
  const CToneMaker* Maker() const { return maker_; }
  bool OwnsMaker() const { return ownsMaker_; }

 private:
  SToneAttr attr_;
  CToneMaker* maker_ = nullptr;
  bool ownsMaker_ = false;
};

// The dot pattern tile: round dots of the radius every step pixels, the first at (g, g) with
// g = step * sqrt(2) / 2, stamped on the cleared work channel up to (width, height); the pattern
// takes the top-left width x height of it. Null for sizes outside 1 .. work channel size.
std::unique_ptr<CPat8> MakeDotPattern(TChannel& work, float width, float height, float step, float radius);

}  // namespace tf
