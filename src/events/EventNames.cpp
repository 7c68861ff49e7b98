#include "events/EventNames.h"

#include <cstddef>
#include <initializer_list>
#include <utility>

#include "platform/ResourceText.h"

namespace tf {

namespace {

// Glyph of each kind (TtFGlyphType values).
constexpr uint8_t kGlyphs[kEventKindCount] = {
    86, 86, 86, 86, 45, 45, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 45, 45, 45, 45, 46, 46, 86,
    86, 86, 86, 35, 86, 86, 86, 86, 86, 44, 79, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86,
    86, 86, 86, 86, 86, 86, 86, 29, 28, 86, 86, 3,  24, 25, 26, 37, 18, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86,
    86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86, 86,
    45, 45, 45, 46, 86, 86, 86, 86, 86, 86, 86, 86, 86, 34, 86, 30, 31, 32, 38, 86, 86, 86, 86, 86, 86, 86,
};

// Kinds by class: a full 256-entry row per class that names anything; "every code" classes
// fill their row with one kind.
struct SKindRow {
  uint8_t cls;
  uint8_t kinds[256];
};

constexpr SKindRow MakeRow(uint8_t cls, std::initializer_list<std::pair<uint8_t, uint8_t>> pairs,
                           uint8_t all = 0) {
  SKindRow row{cls, {}};
  for (int i = 0; i < 256; ++i) row.kinds[i] = all;
  for (const auto& p : pairs) row.kinds[p.first] = p.second;
  return row;
}

// The filter classes (current, two older generations, and the floor) share one table of codes.
constexpr std::pair<uint8_t, uint8_t> kFilterKinds[] = {
    {0, 87},   {1, 88},  {2, 89},   {3, 90},   {4, 89},   {8, 92},   {9, 93},  {10, 94}, {12, 92},
    {13, 93},  {14, 94}, {16, 77},  {17, 78},  {18, 80},  {19, 83},  {20, 85}, {21, 82}, {22, 97},
    {23, 100}, {24, 79}, {25, 97},  {26, 100}, {27, 82},  {32, 91},  {33, 56}, {34, 98}, {35, 58},
    {36, 71},  {37, 73}, {38, 73},  {39, 102}, {40, 59},  {48, 103}, {49, 86}, {50, 98}, {51, 95},
    {52, 107}, {53, 96}, {54, 84},  {55, 55},  {56, 81},  {57, 41},  {58, 43}, {59, 99}, {60, 77},
    {61, 83},  {62, 80}, {63, 107}, {64, 87},  {65, 88},  {66, 90},  {67, 91}, {68, 57}, {69, 58},
    {70, 72},  {71, 74}, {72, 73},  {73, 71},  {74, 102}, {80, 58},  {81, 76}, {82, 51}, {83, 54},
    {84, 47},  {85, 58}, {86, 101},
};

template <std::size_t N>
constexpr SKindRow MakeRowOf(uint8_t cls, const std::pair<uint8_t, uint8_t> (&pairs)[N]) {
  SKindRow row{cls, {}};
  for (const auto& p : pairs) row.kinds[p.first] = p.second;
  return row;
}

const SKindRow kRows[] = {
    MakeRow(2, {{0, 4},    {1, 8},    {2, 6},   {3, 9},   {4, 10},  {5, 12},  {6, 7},   {7, 28},
                {8, 4},    {9, 9},    {10, 28}, {16, 18}, {17, 19}, {18, 17}, {19, 16}, {24, 130},
                {25, 131}, {26, 132}, {32, 13}, {33, 14}, {34, 11}, {35, 15}, {254, 1}, {255, 2}}),
    MakeRow(4, {{0, 20},  {1, 24},  {2, 64},   {3, 22},   {4, 32},  {5, 26},  {6, 30},  {7, 30},  {8, 31},
                {9, 63},  {10, 26}, {11, 20},  {12, 30},  {13, 30}, {16, 35}, {17, 36}, {18, 33}, {19, 34},
                {20, 37}, {21, 35}, {24, 104}, {25, 105}, {32, 50}, {33, 53}, {34, 46}, {35, 75}, {36, 44},
                {37, 48}, {38, 42}, {39, 40},  {48, 49},  {49, 52}, {50, 45}, {51, 76}}),
    MakeRow(5, {{0, 38}, {1, 39}, {8, 24}, {9, 30}, {10, 30}, {11, 32}, {12, 27}, {13, 25}, {16, 33}}),
    MakeRow(6, {{0, 60}, {1, 66}, {2, 61}, {3, 67}, {4, 68}, {5, 60}, {6, 67}}),
    MakeRow(10,
            {{0, 108},  {1, 120},  {2, 111},  {3, 129},  {4, 110},  {5, 117},  {6, 114},  {7, 113},  {8, 115},
             {9, 112},  {10, 127}, {11, 23},  {12, 116}, {13, 133}, {14, 118}, {16, 123}, {17, 124}, {18, 125},
             {19, 124}, {20, 119}, {21, 106}, {22, 109}, {24, 23},  {25, 127}, {26, 128}}),
    MakeRow(12, {{0, 21}, {1, 21}, {2, 5}}),
    MakeRow(13, {{0, 62}, {1, 121}, {2, 62}, {3, 121}, {4, 65}, {5, 65}, {16, 69}, {17, 126}, {32, 122}}),
    MakeRow(17, {}, 70),
    MakeRow(18, {}, 70),
    MakeRowOf(32, kFilterKinds),
    MakeRowOf(33, kFilterKinds),
    MakeRowOf(34, kFilterKinds),
    MakeRowOf(35, kFilterKinds),
    MakeRowOf(38, kFilterKinds),
};

struct SOldKind {
  uint16_t code;
  uint8_t kind;
};
constexpr SOldKind kOldKinds[] = {
    {0, 70},   {1, 70},   {2, 70},   {3, 70},   {4, 70},    {256, 20}, {257, 24}, {258, 28}, {259, 22},
    {260, 32}, {261, 26}, {272, 3},  {273, 29}, {274, 33},  {275, 36}, {276, 35}, {277, 33}, {288, 53},
    {289, 50}, {290, 46}, {291, 75}, {292, 64}, {293, 60},  {294, 30}, {295, 66}, {296, 66}, {297, 68},
    {304, 68}, {305, 70}, {512, 4},  {513, 8},  {514, 6},   {515, 9},  {516, 10}, {517, 12}, {520, 4},
    {528, 19}, {529, 18}, {530, 17}, {531, 16}, {65535, 2},
};

// The names stand in a row in the texts, kind 1 first.
static_assert(static_cast<int32_t>(TextId::EventKind133) - static_cast<int32_t>(TextId::EventKind1) == 132);

}  // namespace

int32_t getEventKind(uint8_t cls, uint8_t code) {
  for (const SKindRow& row : kRows)
    if (row.cls == cls) return row.kinds[code];
  return 0;
}

int32_t getOldEventKind(uint16_t code) {
  for (const SOldKind& entry : kOldKinds)
    if (entry.code == code) return entry.kind;
  return 0;
}

const char* getEventName(int32_t kind) {
  if (kind < 1 || kind >= kEventKindCount) return "";
  return Tx(static_cast<TextId>(static_cast<int32_t>(TextId::EventKind1) + kind - 1));
}

uint8_t getEventGlyph(int32_t kind) {
  if (kind < 0 || kind >= kEventKindCount) return kEventGlyphGeneric;
  return kGlyphs[kind];
}

}  // namespace tf
