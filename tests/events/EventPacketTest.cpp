#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "events/EventPacket.h"
#include "events/EventStream.h"
#include "platform/Warning.h"

namespace tf {
namespace {

// ---------------------------------------------------------------------------------------------
// The payload length table, written out by hand as rules "codes: length" per class and parsed
// here, so that the code is checked against a second statement of the lengths rather than
// against itself.

const std::map<int, std::string> kLengthTable = {
    {0,
     "0, 5, 52, 53: 12; 2, 3, 8, 58: 4; 4, 57, 60: 16; 12, 13: 2; 16, 17, 48, 50, 56: 8; "
     "18: 22; 32: 68; 37: 20; 45: 24; 33: 2 + uint16 at 0; 36: 160 + int32 at 156; "
     "40: 12 + uint16 at 6; 44: 40 + int32 at 36; 128, 129: 22 + int32 at 12; "
     "136: 4 + int32 at 0"},
    {1, "any code: 4 + int32 at 0"},
    {2,
     "0: 16; 1, 24, 25, 26: 4; 2, 3, 9: 10; 6: 18; 8: 28; 10: 12; 11: 20; "
     "4, 5, 7, 16-19, 32-35, 254, 255: 0"},
    {4,
     "0: 14; 1-5, 8, 9, 24, 25, 32-37: 4; 6, 7, 10, 38, 39, 48-51: 12; 12, 13: 20; "
     "16, 17, 18, 20: 6; 21: 18; 11: 42 + uint16 at 40; 19: 4 + uint16 at 2"},
    {5, "0, 1: 24 + int32 at 12; 8, 11, 12, 13, 16: 12; 9, 10: 20"},
    {6, "0-3, 5, 6: 22; 4: 4 + 8 x uint16 at 2"},
    {10,
     "0-6, 11, 20, 21: 4; 7-10, 13, 14, 22, 24, 25, 26: 12; 16, 17, 19: 22; "
     "12: 4 + uint16 at 2; 18: 8 + 8 x uint16 at 6"},
    {12, "1, 2: 22 + int32 at 12"},
    {13, "0, 1, 4, 16, 17, 32: 54 + int32 at 42; 2, 3, 5: 72 + int32 at 60"},
    {16, "0: 4"},
    {20, "0: 4"},
    {21, "0: 4"},
    {22, "0: 4"},
    {23, "0: 4"},
    {24, "0: 4"},
    {48, "0: 4"},
    {49, "0: 4"},
    {17, "any code k: 12 x k"},
    {18, "any code k: 12 x k"},
    {32, "0, 1, 8, 9, 12, 13, 20, 52, 53, 56, 64, 65, 81-84: 4"},
    {33, "2, 4, 10, 14, 18, 21, 22, 23, 26, 27, 32, 34, 49, 55, 58, 63, 66-69, 80, 85, 86: 12"},
    {34, "3, 17, 19, 24, 25, 33, 36, 48, 50, 57, 59, 61, 62, 70, 71, 73: 20"},
    {35, "16, 35, 37, 38, 60, 72: 28"},
    {38, "any code: 50 + uint16 at 4"},
};

struct Formula {
  int fixed = 0;
  int multiplier = 1;  // of the field, or of k
  int fieldSize = 0;   // 0, 2 (uint16), 4 (int32)
  int fieldOffset = 0;
  bool timesCode = false;  // "12 x k"
};

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(s);
  std::string part;
  while (std::getline(in, part, sep)) parts.push_back(Trim(part));
  return parts;
}

Formula ParseFormula(const std::string& text) {
  Formula f;
  if (text == "12 x k") {
    f.multiplier = 12;
    f.timesCode = true;
    return f;
  }
  size_t plus = text.find('+');
  f.fixed = std::stoi(text.substr(0, plus));
  if (plus == std::string::npos) return f;
  std::string rest = Trim(text.substr(plus + 1));  // "[m x ]uint16 at o" or "int32 at o"
  size_t x = rest.find(" x ");
  if (x != std::string::npos) {
    f.multiplier = std::stoi(rest.substr(0, x));
    rest = rest.substr(x + 3);
  }
  f.fieldSize = rest.rfind("uint16", 0) == 0 ? 2 : 4;
  f.fieldOffset = std::stoi(rest.substr(rest.find(" at ") + 4));
  return f;
}

// Formula of every (class, code) pair the table lists.
std::map<std::pair<int, int>, Formula> ParsedTable() {
  std::map<std::pair<int, int>, Formula> table;
  for (const auto& [cls, text] : kLengthTable) {
    for (const std::string& entry : Split(text, ';')) {
      size_t colon = entry.find(':');
      std::string codes = entry.substr(0, colon);
      Formula f = ParseFormula(Trim(entry.substr(colon + 1)));
      if (codes.rfind("any code", 0) == 0) {
        for (int code = 0; code < 256; ++code) table[{cls, code}] = f;
        continue;
      }
      for (const std::string& item : Split(codes, ',')) {
        size_t dash = item.find('-');
        int first = std::stoi(item.substr(0, dash));
        int last = dash == std::string::npos ? first : std::stoi(item.substr(dash + 1));
        for (int code = first; code <= last; ++code) table[{cls, code}] = f;
      }
    }
  }
  return table;
}

// Payload whose length field (if any) holds a value that reads differently at the wrong width:
// uint16 fields hold 3 followed by 01 00, int32 fields hold 0x00010003.
std::vector<uint8_t> PayloadFor(const Formula& f, int& expected) {
  std::vector<uint8_t> payload(200, 0);
  if (f.timesCode) return payload;
  expected = f.fixed;
  if (f.fieldSize == 2) {
    payload[f.fieldOffset] = 3;
    payload[f.fieldOffset + 2] = 1;
    expected += 3 * f.multiplier;
  } else if (f.fieldSize == 4) {
    StoreU32(&payload[f.fieldOffset], 0x00010003u);
    expected += 0x00010003 * f.multiplier;
  }
  return payload;
}

TEST(PacketLength, EveryPairMatchesTheTable) {
  auto table = ParsedTable();
  int known = 0;
  for (int cls = 0; cls < 256; ++cls) {
    for (int code = 0; code < 256; ++code) {
      auto it = table.find({cls, code});
      int expected = -1;
      std::vector<uint8_t> payload(200, 0);
      if (it != table.end()) {
        ++known;
        const Formula& f = it->second;
        payload = PayloadFor(f, expected);
        if (f.timesCode) expected = 12 * code;
      }
      ASSERT_EQ(PacketLengthFromBytes(static_cast<uint8_t>(cls), static_cast<uint8_t>(code), payload.data(),
                                      payload.size()),
                expected)
          << "class " << cls << " code " << code;
      SPacketLengthRule rule;
      EXPECT_EQ(GetPacketLengthRule(static_cast<uint8_t>(cls), static_cast<uint8_t>(code), rule),
                it != table.end());
    }
  }
  EXPECT_GT(known, 1000);
}

TEST(PacketLength, SettledPoints) {
  uint8_t zeros[200] = {};
  // Layer options are 18 bytes (attributes, extra byte, 0, seed, 6 zero bytes).
  EXPECT_EQ(PacketLengthFromBytes(4, 21, zeros, sizeof zeros), 18);
  EXPECT_EQ(sizeof(SLayerOptionsPacket), 18u);
  // Class 12 code 0 has an event kind but no packet.
  EXPECT_EQ(PacketLengthFromBytes(12, 0, zeros, sizeof zeros), -1);
  // Points: any code k is 12 x k, code 0 an empty payload.
  EXPECT_EQ(PacketLengthFromBytes(17, 0, nullptr, 0), 0);
  EXPECT_EQ(PacketLengthFromBytes(18, 16, nullptr, 0), 192);
  EXPECT_EQ(PacketLengthFromBytes(17, 255, nullptr, 0), 3060);
  // Edge cases of the format.
  EXPECT_EQ(PacketLengthFromBytes(16, 1, zeros, sizeof zeros), -1);
  EXPECT_EQ(PacketLengthFromBytes(6, 7, zeros, sizeof zeros), -1);
  EXPECT_EQ(PacketLengthFromBytes(13, 33, zeros, sizeof zeros), -1);
  EXPECT_EQ(PacketLengthFromBytes(0, 136, zeros, sizeof zeros), 4);
}

TEST(PacketLength, VariablePartsAreChecked) {
  // Negative int32 length fields are refused.
  struct Case {
    uint8_t cls, code;
    int offset;
  };
  for (Case c : {Case{0, 36, 156}, Case{0, 44, 36}, Case{0, 128, 12}, Case{0, 136, 0}, Case{1, 17, 0},
                 Case{5, 0, 12}, Case{12, 1, 12}, Case{13, 0, 42}, Case{13, 2, 60}}) {
    std::vector<uint8_t> payload(200, 0);
    StoreU32(&payload[c.offset], 0xFFFFFFF0u);
    EXPECT_EQ(PacketLengthFromBytes(c.cls, c.code, payload.data(), payload.size()), -1)
        << int(c.cls) << "," << int(c.code);
    // A huge length does not wrap into a small one.
    StoreU32(&payload[c.offset], 0x7FFFFFFFu);
    EXPECT_EQ(PacketLengthFromBytes(c.cls, c.code, payload.data(), payload.size()), -1);
    // Fixed part cut short.
    EXPECT_EQ(PacketLengthFromBytes(c.cls, c.code, payload.data(), c.offset + 3), -1);
  }
}

// The edges of a class-1 packet's length (4 + the int32 field at offset 0): a field that is all
// there but the last byte answers -1 even when its value is small, and the longest length kept
// is INT32_MAX - 2.
TEST(PacketLength, EdgesOfTheFixedPartAndTheLongestLength) {
  struct Case {
    const char* what;
    uint32_t field;
    size_t available;
    int32_t expected;
  } cases[] = {
      {"field cut short", 5, 3, -1},
      {"field complete", 5, 4, 9},
      {"no bytes", 5, 0, -1},
      {"longest kept", INT32_MAX - 6, 4, INT32_MAX - 2},
      {"one past the longest", INT32_MAX - 5, 4, -1},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> payload(16, 0);
    StoreU32(payload.data(), c.field);
    EXPECT_EQ(PacketLengthFromBytes(kPcInfo, 3, payload.data(), c.available), c.expected) << c.what;
  }
}

// ---------------------------------------------------------------------------------------------
// Lengths read from the stream

class StreamFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    previousHost_ = SetWarningHost(&warnings_);
    ASSERT_TRUE(mngr_.setupRecording(nullptr, nullptr, 42, 42));
    mngr_.commitStep();  // the application-state record as a step of its own
  }
  void TearDown() override { SetWarningHost(previousHost_); }

  RecordingWarningHost warnings_;
  WarningHost* previousHost_ = nullptr;
  CEventMngr mngr_{65536, 1048576};
};

TEST_F(StreamFixture, LengthNeedsTheWholePacketWritten) {
  // A class-1 packet whose length field says 16 but whose data is not all there yet.
  uint32_t headerPos = mngr_.writePos();
  uint8_t info[4 + 16] = {};
  StoreU32(info, 16);
  ASSERT_TRUE(mngr_.appendPacket(1, 17, info, sizeof info));
  SPacketHeader h{1, 17};
  EXPECT_EQ(mngr_.getPacketLength(h, headerPos + 2), 20);
  // The same header with the stream ending inside the payload.
  mngr_.setWritePosition(headerPos + 2 + 10, mngr_.committed(), mngr_.stepCount());
  EXPECT_EQ(mngr_.getPacketLength(h, headerPos + 2), -1);
  // The fixed part itself beyond the write position.
  mngr_.setWritePosition(headerPos + 2 + 3, mngr_.committed(), mngr_.stepCount());
  EXPECT_EQ(mngr_.getPacketLength(h, headerPos + 2), -1);
  // Fixed-length packets too.
  EXPECT_EQ(mngr_.getPacketLength(SPacketHeader{2, 8}, headerPos + 2), -1);
  EXPECT_EQ(mngr_.getPacketLength(SPacketHeader{2, 255}, headerPos + 2), 0);
}

TEST_F(StreamFixture, WalkStopsAtANegativeLengthInsteadOfGoingBack) {
  // A state packet 136 whose length field is negative would step backwards.
  uint8_t bad[4];
  StoreU32(bad, static_cast<uint32_t>(-6));
  ASSERT_TRUE(mngr_.appendPacket(2, 1, "\0\0\0\0", 4));
  uint32_t badPos = mngr_.writePos();
  ASSERT_TRUE(mngr_.appendPacket(0, 136, bad, 4));
  ASSERT_TRUE(mngr_.appendPacket(2, 255, nullptr, 0));
  int visited = 0;
  SPacketWalkResult r = mngr_.walkPackets(0, mngr_.writePos(), [&](const SPacketFrame&) {
    ++visited;
    return true;
  });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failPos, badPos);
  EXPECT_EQ(r.failHeader.cls, 0);
  EXPECT_EQ(r.failHeader.code, 136);
  EXPECT_EQ(r.lastHeader.cls, 2);
  EXPECT_EQ(visited, 2);
}

// ---------------------------------------------------------------------------------------------
// Layouts and helpers

TEST(PacketLayout, FieldsAreLittleEndianAtTheirOffsets) {
  SImagePacketHeader h{};
  h.layer = -2;
  h.width = 0x01020304;
  h.height = 5;
  h.bitsPerPixel = 32;
  h.hasAttributes = 1;
  h.length = 0x0A0B0C0E;
  h.nameLength = 6;
  h.pixelBytes = 80;
  const auto* b = reinterpret_cast<const uint8_t*>(&h);
  EXPECT_EQ(b[0], 0xFE);
  EXPECT_EQ(b[1], 0xFF);
  EXPECT_EQ(b[2], 0x04);
  EXPECT_EQ(b[5], 0x01);
  EXPECT_EQ(b[10], 32);
  EXPECT_EQ(b[11], 1);
  EXPECT_EQ(LoadI32(b + 12), 0x0A0B0C0E);
  EXPECT_EQ(LoadI16(b + 16), 6);
  EXPECT_EQ(LoadI32(b + 18), 80);
  EXPECT_EQ(PacketLengthFromBytes(12, 1, b, sizeof h), 22 + 0x0A0B0C0E);
  EXPECT_EQ(h.layer.get(), -2);

  SStrokePointPacket p{};
  p.x = 1.5f;
  p.pressure = -0.25f;
  const auto* pb = reinterpret_cast<const uint8_t*>(&p);
  EXPECT_EQ(LoadU32(pb), 0x3FC00000u);
  EXPECT_EQ(LoadU32(pb + 8), 0xBE800000u);
  EXPECT_EQ(p.pressure.get(), -0.25f);
}

TEST(PacketLayout, FilterBlockAndStrings) {
  SFilterBlock block;
  std::memset(&block, 0xCC, sizeof block);
  InitFilterBlock(block, 3, -1, 1, kFloorItemSize);
  const auto* b = reinterpret_cast<const uint8_t*>(&block);
  EXPECT_EQ(LoadI16(b), 3);
  EXPECT_EQ(LoadI16(b + 2), -1);
  EXPECT_EQ(LoadU16(b + 4), 63);
  EXPECT_EQ(LoadU16(b + 6), 1);
  EXPECT_EQ(LoadU16(b + 8), 63);
  for (size_t i = 10; i < sizeof block; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(PacketLengthFromBytes(38, 40, b, sizeof block), 50 + 63);
  // The data length is a 16-bit field: a product beyond it keeps its low 16 bits (and the
  // largest counts do not overflow while it is formed).
  InitFilterBlock(block, 0, 0, 0xFFFF, 0xFFFF);
  EXPECT_EQ(LoadU16(b + 4), 0x0001);

  // Strings: length + terminator, rounded down to even.
  EXPECT_EQ(PacketStringLength(0), 2u);
  EXPECT_EQ(PacketStringLength(1), 2u);
  EXPECT_EQ(PacketStringLength(2), 4u);
  EXPECT_EQ(PacketStringLength(5), 6u);
  EXPECT_EQ(RoundUpEven(7), 8u);
  EXPECT_EQ(RoundUpEven(8), 8u);
}

TEST(PacketLayout, ClassesOfStrokesChannelsAndFilters) {
  struct Stroke {
    uint8_t cls;
    int engine;
    bool interpolationZero;
  };
  for (Stroke s : {Stroke{16, 0, false}, Stroke{20, 0, true}, Stroke{21, 1, false}, Stroke{22, 1, true},
                   Stroke{23, 2, false}, Stroke{24, 2, true}, Stroke{48, 4, false}, Stroke{49, 4, true}}) {
    EXPECT_EQ(StrokeEngineOfClass(s.cls), s.engine);
    EXPECT_EQ(IsInterpolationZeroClass(s.cls), s.interpolationZero);
  }
  EXPECT_EQ(StrokeEngineOfClass(17), -1);
  EXPECT_EQ(StrokeEngineOfClass(25), -1);

  const std::map<int, int> kinds = {{0, 0}, {4, 0}, {1, 1}, {16, 2}, {17, 3}, {32, 6}, {2, 4}, {5, 4}, {3, 5}};
  for (int code = 0; code < 256; ++code) {
    auto it = kinds.find(code);
    EXPECT_EQ(ChannelKindOfCode(static_cast<uint8_t>(code)), it == kinds.end() ? -1 : it->second);
  }

  // Every filter id named by the format has the class whose table lists it.
  const std::map<int, int> idClass = {
      {0, 32},  {64, 32}, {1, 32},  {65, 32}, {2, 33},  {4, 33},  {3, 34},  {66, 33}, {8, 32},  {12, 32},
      {9, 32},  {13, 32}, {10, 33}, {14, 33}, {16, 35}, {60, 35}, {17, 34}, {18, 33}, {62, 34}, {19, 34},
      {61, 34}, {20, 32}, {21, 33}, {27, 33}, {22, 33}, {25, 34}, {23, 33}, {26, 33}, {24, 34}, {32, 33},
      {67, 33}, {33, 34}, {34, 33}, {50, 34}, {35, 35}, {69, 33}, {80, 33}, {85, 33}, {36, 34}, {73, 34},
      {37, 35}, {38, 35}, {72, 35}, {39, 38}, {74, 38}, {40, 38}, {48, 34}, {49, 33}, {51, 38}, {52, 32},
      {63, 33}, {53, 32}, {54, 38}, {55, 33}, {56, 32}, {57, 34}, {58, 33}, {59, 34}, {68, 33}, {70, 34},
      {71, 34}, {81, 32}, {82, 32}, {83, 32}, {84, 32}, {86, 33}};
  for (int id = 0; id < 256; ++id) {
    auto it = idClass.find(id);
    EXPECT_EQ(FilterClassOfId(static_cast<uint8_t>(id)), it == idClass.end() ? 0 : it->second) << "id " << id;
  }
}

}  // namespace
}  // namespace tf
