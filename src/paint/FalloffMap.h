// Falloff maps: the falloff profile record (SGradeMap) and its lookup table (CGradeMapObj).
#pragma once
// A falloff map says how strongly a dab inks at each distance from its centre. The profile is a
// curve kind with a core (the part of the radius kept at full value) and a floor (the value kept
// at the rim); the table holds 255 x f(distance) in 16.16 for distances 0 .. 1 over its entries.
#include <cstdint>
#include <vector>

namespace tf {

// Curve kinds of SGradeMap.
enum GradeCurveKind : uint8_t {
  kGradeCircle = 0,         // sqrt(1 - x^2)
  kGradeQuadratic = 1,      // 1 - x^2
  kGradeSmooth = 2,         // 2x^3 - 3x^2 + 1
  kGradeLinear = 3,         // 1 - x
  kGradePower = 4,          // (1 - x)^p with f(0.5) = 0.3
  kGradeInverseCircle = 5,  // 1 - sqrt(1 - (1 - x)^2)
  // any other kind (255 included) is linear
};

// The falloff profile, 12 bytes, stored as it is in the nib set file.
struct SGradeMap {
  uint8_t kind;
  uint8_t kindRest[3];  // belong to the kind field; kept, never interpreted
  int32_t core;         // 0..1000: fraction x 1000 of the radius kept at full value
  int32_t floor;        // 0..1000: value x 1000 kept at the rim

  // Linear, core 0, floor 0; the three bytes after the kind are left as they are.
  void Init();
  // Kind byte, core and floor.
  bool Equal(const SGradeMap& other) const;
  float GetCore() const { return static_cast<float>(core) / 1000.0f; }
  float GetFloor() const { return static_cast<float>(floor) / 1000.0f; }
  // Store clamp(trunc(x*1000 + 0.5), 0, 1000) (NaN gives 0) and return the old value.
  float SetCore(float x);
  float SetFloor(float x);
};
static_assert(sizeof(SGradeMap) == 12);

// The curve of a kind at x in 0..1, in single precision.
float GradeCurveValue(uint8_t kind, float x);

// Fills n entries (n >= 2) of 16.16 values 0..255 from the profile (core and floor taken as
// they are; callers clamp them into 0..1000).
void BuildFalloffTable(const SGradeMap& profile, int32_t* table, int32_t n);

// Core and floor clamped into 0..1000; the kind bytes kept.
SGradeMap ClampedGradeMap(const SGradeMap& profile);

class CGradeMapObj {
 public:
  // Empty table, profile SGradeMap.Init, then SetSize(entries).
  explicit CGradeMapObj(int32_t entries);

  // n 4-byte entries, last index n - 1, valid, rebuilt. False (nothing changed) for fewer than
  // 2 entries or when memory fails.
  bool SetSize(int32_t n);
  // Recomputes the table from the profile when valid; returns valid.
  bool Rebuild();
  // Core and floor clamped into 0..1000 first; when the result differs from the stored profile it
  // is stored and the table rebuilt. True when it changed.
  bool SetProfile(const SGradeMap& profile);

  bool IsValid() const { return valid_; }
  const int32_t* Table() const { return table_.data(); }
  int32_t LastIndex() const { return lastIndex_; }
  const SGradeMap& Profile() const { return profile_; }

 private:
  bool valid_ = false;
  std::vector<int32_t> table_;
  SGradeMap profile_{};
  int32_t lastIndex_ = 0;
};

// Entries of the dab renderer's falloff table.
inline constexpr int32_t kFalloffEntries = 2048;

}  // namespace tf
