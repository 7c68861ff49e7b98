// Pen types and their pen settings (SPenSetting) kept in the registry.
#pragma once
// The older engines' pen types 0..8 with their per-type constants, and the 44-byte pen-setting
// record that the registry keeps under <root>\penSetting\<type name><slot> and recorded tool
// events carry.
#include <array>
#include <cstdint>
#include <string>

namespace tf {

class CRegistry;
class CRegistryKey;

// Pen types.
enum PenType : uint8_t {
  kPenPen = 0,
  kPenWatercolour = 1,
  kPenBlur = 2,
  kPenEraser = 3,
  kPenBlur2 = 4,
  kPenAirbrush = 5,
  kPenRubPen = 6,
  kPenDarken = 7,
  kPenLighten = 8,
};
inline constexpr int32_t kPenTypeCount = 9;

// Per-type constants; a type above 8 gives the neutral answer (-1, false).
// Fixed spacing as a fraction of the size, -1 for the stroke's own.
float PenTypeFixedSpacing(uint8_t type);
bool PenTypeScalesSize(uint8_t type);
bool PenTypeCanUseTone(uint8_t type);
bool PenTypeCanUseGradation(uint8_t type);
bool PenTypeUsesCoverage(uint8_t type);

// The record, 44 bytes; little-endian as laid out here where it is stored.
struct SPenSetting {
  float min;               // 0 "MIN"
  float width;             // 4 "WIDTH"
  float gamma;             // 8 "GAMMA"
  float effect;            // 12 "EFFECT"
  float env;               // 16 "ENV"
  float speed;             // 20 "SPEED"
  uint8_t ifSize;          // 24 "ifSIZE"
  uint8_t ifTransparency;  // 25 "ifTRANSPARENCY"
  uint8_t ifEdge;          // 26 "ifEDGE"
  uint8_t useTone;         // 27 "useTone"
  uint8_t useGradation;    // 28 "useGradation"
  uint8_t padding[3];      // 29
  float opaque;            // 32 "opaque"
  float penSpacing;        // 36 "penSpacing"
  int32_t airMap;          // 40 "airMap"
};
static_assert(sizeof(SPenSetting) == 44);

// The type's registry group name ("pen", "wc", ...); false (name untouched) above 8.
bool PenTypeName(uint8_t type, std::string& name);
// root\penSetting\<name><slot>; false above 8.
bool PenSettingKey(uint8_t type, int32_t slot, const std::string& root, std::string& key);
// The defaults of the type; false for blur2 (the base defaults stay) and types above 8.
bool InitPenSetting(SPenSetting& record, uint8_t type);
// Reads the open key's values in all-or-nothing groups: MIN, WIDTH, GAMMA; EFFECT, ENV, SPEED;
// ifSIZE, ifTRANSPARENCY, ifEDGE; useTone; useGradation, opaque, penSpacing with airMap. The
// first missing group ends the read with false; the groups read before stay in the record.
bool ReadPenSetting(const CRegistryKey& registry, SPenSetting& record);
// Writes the fourteen values in table order (floats as doubles, switches as 0/1 dwords, airMap
// a dword); false when any write fails.
bool WritePenSetting(CRegistryKey& registry, const SPenSetting& record);

// The older pens' setting slots: 8 pens x 5 slots, record index = pen x 5 + slot - 1 (slot 1..5).
// Pens 0..7 use the pen-setting types 0, 3, 1, 5, 2, 6, 7, 8 (paint kinds 0, 1, 2, 3, 4 and 5, 6,
// 7, 8).
inline constexpr int32_t kOldPenCount = 8;
inline constexpr int32_t kPenSlotCount = 5;
inline constexpr int32_t kPenSettingRecordCount = kOldPenCount * kPenSlotCount;

class CPenSettingBlock {
 public:
  // Every record zero (the state without settings); LoadPenSettings fills the defaults.
  CPenSettingBlock() : records_{} {}
  // The record of a pen (0..7) and slot index (0..4); null out of range.
  SPenSetting* Slot(int32_t pen, int32_t slot);
  const SPenSetting* Slot(int32_t pen, int32_t slot) const;
  // The record of a record index 0..39; null out of range.
  SPenSetting* Record(int32_t index);
  const SPenSetting* Record(int32_t index) const;
  // Each record takes its pen type's defaults.
  void SetDefaults();

 private:
  std::array<SPenSetting, kPenSettingRecordCount> records_;
};

// The pen-setting type of an older pen 0..7; 255 otherwise.
uint8_t OldPenType(int32_t pen);

// Every slot from its key "<root>\penSetting\<name><slot>" of the store, over its type's
// defaults: a missing key or value keeps the defaults, and so does a value that is not a finite
// number. False only when the store cannot be read (it is then left as it was read).
bool LoadPenSettings(CRegistry& store, CPenSettingBlock& block);
// Every slot's key made and its fourteen values written into the store (the caller saves the
// store); a slot that cannot be written is skipped. False when a slot could not be written.
bool SavePenSettings(CRegistry& store, const CPenSettingBlock& block);

}  // namespace tf
