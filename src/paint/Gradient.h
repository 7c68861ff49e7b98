// Gradients: colour stops, options, named gradients and the renderer.
#pragma once
// Gradients: colour stops (CColorSlotGroup), gradient options (SGradOption), a named gradient
// (CGradObj) and the renderer (CGradation) that gives the colour of a gradient at any pixel for
// the linear, radial and circular shapes, with repetition and mirroring.
//
// Colour words of stops have red in byte 0, green 1, blue 2; byte 3 is the colour source
// (0 foreground, 1 background, 255 fixed). Rendered colours have red, green, blue in bytes 0..2
// and alpha in byte 3. All renderer arithmetic is single precision (float).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "raster/Geometry.h"

namespace tf {

class TMTC;

// Slot records are stored in files and events exactly as they lie in memory.
static_assert(std::endian::native == std::endian::little, "stored records assume little-endian");

// ---------------------------------------------------------------------------------------------
// Stored records

// One colour stop, 24 bytes.
struct SColorSlot {
  uint8_t used;      // 1 for a stop
  uint8_t active;    // 1 for a stop; a slot is a stop only when both bytes are non-zero
  uint8_t flag;      // 1 after a reset; not read by rendering
  uint8_t alpha;     // 0..255
  int32_t index;     // the slot's own index, written at reset
  uint32_t color;    // red, green, blue in bytes 0..2, colour source in byte 3
  int32_t weight;    // relative length of the segment to the next stop
  int32_t position;  // 0..65536, set by Normalize
  int32_t span;      // length of the segment to the next stop, set by Normalize
};
static_assert(sizeof(SColorSlot) == 24);
static_assert(offsetof(SColorSlot, index) == 4 && offsetof(SColorSlot, color) == 8);
static_assert(offsetof(SColorSlot, weight) == 12 && offsetof(SColorSlot, position) == 16);
static_assert(offsetof(SColorSlot, span) == 20);

inline constexpr int32_t kColorSlotBytes = 24;
// Colour sources (byte 3 of a stop's colour word).
inline constexpr uint8_t kSourceForeground = 0;
inline constexpr uint8_t kSourceBackground = 1;
inline constexpr uint8_t kSourceFixed = 255;

// Little-endian byte forms of a slot (the layout of files and events).
void ColorSlotToBytes(const SColorSlot& slot, uint8_t out[24]);
SColorSlot ColorSlotFromBytes(const uint8_t in[24]);

// Gradient shapes.
enum : uint8_t { kGradLinear = 0, kGradRadial = 1, kGradCircular = 2 };

// Gradient options, 8 bytes.
struct SGradOption {
  uint8_t ownOptions;   // 0: the gradient takes the set's options; 1: its own
  uint8_t shape;        // kGradLinear, kGradRadial, kGradCircular
  uint8_t mirror;       // 0 or 1
  uint8_t endless;      // 0 or 1
  int32_t repeatCount;  // at least 1
  bool operator==(const SGradOption&) const = default;
};
static_assert(sizeof(SGradOption) == 8);
static_assert(offsetof(SGradOption, repeatCount) == 4);

void GradOptionToBytes(const SGradOption& option, uint8_t out[8]);
SGradOption GradOptionFromBytes(const uint8_t in[8]);

// All four bytes 0, repeat count 1.
void InitGradOption(SGradOption& option);

// ---------------------------------------------------------------------------------------------
// Colour stops of one gradient

class CColorSlotGroup {
 public:
  // A group of at least 2730 slots is refused, so slot indexes stop at 2728.
  static constexpr int32_t kMaxSlots = 2730;

  // Grow step = max(4, capacity); every slot of the first step reset.
  explicit CColorSlotGroup(int32_t capacity = 4);

  // Frees and re-creates as the constructor; a capacity of 0 or less keeps the grow step.
  void Reset(int32_t capacity);
  // Counters back to their creation values, array freed.
  void Clear();
  // Makes room for slotsNeeded slots; false (nothing changed) for kMaxSlots or more, or when
  // memory runs out.
  bool Grow(int32_t slotsNeeded);
  // Copies the record into the slot; raises the highest index. False when the slot cannot be
  // stored (the group unchanged).
  bool SetSlot(int32_t index, const SColorSlot& slot);
  // A stop with used = active = 1; flag 1 and the slot's index as a reset leaves them.
  bool SetStop(int32_t index, uint32_t colorWord, int32_t weight, uint8_t alpha);
  // Nullptr outside 0 .. highest.
  SColorSlot* GetSlot(int32_t index);
  const SColorSlot* GetSlot(int32_t index) const;
  // index in 1 .. highest: later slots move down one, the freed top slot is reset.
  bool DeleteSlot(int32_t index);
  // index strictly between the first and the last stop: the previous stop takes the removed
  // segment, the slot is deleted and the group normalised.
  bool RemoveStop(int32_t index);
  int32_t FirstUsed() const;
  int32_t LastUsed() const;
  int32_t NextUsed(int32_t index) const;
  // Positions and spans from the weights. False for a group without stops or whose weight sum
  // is 0 or less or beyond int32 (negative weights count as 0); the stop count is then 0.
  bool Normalize();
  bool IsValid() const;
  bool AllUsed() const;
  bool Equals(const CColorSlotGroup& other) const;
  // Slots 0 .. highest as stored bytes; false (nullptr, 0) when there is none.
  bool GetData(const uint8_t*& data, int32_t& byteSize) const;
  void SetName(const std::string& name) { name_ = name; }
  const std::string& Name() const { return name_; }
  // Stops following the foreground or background colour take it; then Normalize. False, and
  // nothing changed, with fewer than two slots.
  bool SetDynamicColors(uint32_t foreground, uint32_t background);
  // Requires this group AllUsed: the target takes the name and the stops, and is normalised.
  bool CopyTo(CColorSlotGroup* target) const;
  // The stops in chain order in slots 0, 1, 2 ...; nullptr when a step fails.
  std::unique_ptr<CColorSlotGroup> CreateCompactCopy();
  // Colour (alpha in byte 3) at a position 0..65536 of a compact group.
  uint32_t ColorAt(int32_t position) const;

  int32_t GrowStep() const { return growStep_; }
  int32_t Capacity() const { return static_cast<int32_t>(slots_.size()); }
  int32_t Highest() const { return highest_; }
  int32_t WeightSum() const { return weightSum_; }
  int32_t FirstStop() const { return first_; }
  int32_t LastStop() const { return last_; }
  int32_t StopCount() const { return stopCount_; }

  // A reset slot: flag 1, alpha 255, the index, colour source 255, everything else 0.
  static SColorSlot ResetSlot(int32_t index);

 private:
  // The rendered colour of a slot: the colour bytes with alpha in byte 3.
  uint32_t SlotColor(int32_t index) const;

  int32_t growStep_ = 4;
  int32_t highest_ = -1;
  std::vector<SColorSlot> slots_;  // size() is the capacity
  int32_t weightSum_ = 0;
  int32_t first_ = -1;
  int32_t last_ = -1;
  int32_t stopCount_ = 0;
  std::string name_ = "untitled";
};

// a + floor((b - a)*k/65536) on each of the four bytes, 0 <= k <= 65536.
uint32_t LerpColor(uint32_t a, uint32_t b, int32_t k);

// ---------------------------------------------------------------------------------------------
// One gradient: options and owned stops, with an identity

class CGradObj {
 public:
  CGradObj();
  ~CGradObj();
  CGradObj(const CGradObj&) = delete;
  CGradObj& operator=(const CGradObj&) = delete;

  // Create, then Assign (a source without stops leaves the copy's stops empty).
  static std::unique_ptr<CGradObj> CreateCopy(const CGradObj& source);
  // Two stops of alpha 255 and weight 65536, normalised.
  static std::unique_ptr<CGradObj> CreateTwoColor(uint32_t color0, uint32_t color1, const std::string& name);

  // A repeat count of 0 or less becomes 1.
  void SetOptions(const SGradOption& option);
  const SGradOption& Options() const { return options_; }
  // Options as they are (readers of stored records).
  void SetOptionsRaw(const SGradOption& option) { options_ = option; }
  bool Assign(const CGradObj& source);
  // "untitled" followed by n.
  void SetDefaultName(int32_t n);
  void Normalize();
  // Takes a fresh id; returns the old one.
  int32_t RenewId();

  int32_t Id() const { return id_; }
  CColorSlotGroup* Stops() { return stops_.get(); }
  const CColorSlotGroup* Stops() const { return stops_.get(); }

 private:
  int32_t id_;
  SGradOption options_;
  std::unique_ptr<CColorSlotGroup> stops_;
};

// The process-wide id counter; the next gradient made takes this id. Tests reset it.
void ResetGradIdCounter(int32_t next = 1);

// ---------------------------------------------------------------------------------------------
// The renderer

class CGradation {
 public:
  // Line (0, 0)-(100, 0), linear, no mirror, not endless, count 1. The stops are not owned.
  explicit CGradation(const CColorSlotGroup* stops = nullptr);
  // The same with the given line (16.16 points).
  CGradation(const TPoint& start, const TPoint& end, const CColorSlotGroup* stops);

  void SetSlotGroup(const CColorSlotGroup* stops) { stops_ = stops; }
  const CColorSlotGroup* SlotGroup() const { return stops_; }
  // False, nothing changed, unless shape 0..2, mirror and endless 0..1, count above 0.
  bool SetOptions(int32_t shape, int32_t mirror, int32_t endless, int32_t repeatCount);
  // 16.16 points. The scale pair of the circular shape follows the shape in force now.
  void SetLine(const TPoint& start, const TPoint& end);
  void GetLine(TPoint& start, TPoint& end) const;
  // Colour at a pixel: red in byte 0, green 1, blue 2, alpha 3. 0 without stops.
  uint32_t ColorAt(int32_t x, int32_t y) const;
  // Clips the rectangle to the image (false when empty) and writes ColorToPixel(ColorAt) into
  // every pixel of it.
  bool FillRect(TMTC& image, SRectWH& rect) const;

  const SGradOption& Options() const { return options_; }

  // The renderer's values, as kept between SetLine and ColorAt.
  struct Geometry {
    SPointF start, end;
    SPointF scale;      // circular shape
    SPointF direction;  // end - start
    float lengthSq;
    float referenceAngle;  // fraction of a turn
    float reciprocal;      // 1 / repeat count
    int32_t repeatCount;
  };

 private:
  using ColorFunc = uint32_t (*)(const Geometry& g, const CColorSlotGroup& stops, float vx, float vy);
  using RowFunc = void (*)(const Geometry& g, const CColorSlotGroup& stops, uint32_t* row, int32_t x, int32_t y,
                           int32_t width);

  SGradOption options_{};
  Geometry g_{};
  ColorFunc colorFunc_ = nullptr;
  RowFunc rowFunc_ = nullptr;
  const CColorSlotGroup* stops_ = nullptr;
  TPoint start16_{0, 0};
  TPoint end16_{0, 0};
  TPoint direction16_{0, 0};
};

// Fraction of a turn of a vector, 0..1; 0 pointing right, growing clockwise with y down.
float AngleOf(float x, float y);

// Draws a gradient across the whole image: linear left to right, radial and circular from the
// centre, at most 10 repetitions. False when the image is not valid or the options are refused.
bool DrawGradientSample(TMTC& image, const CGradObj& gradient, const SGradOption& option);

}  // namespace tf
