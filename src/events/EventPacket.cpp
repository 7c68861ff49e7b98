#include "events/EventPacket.h"

#include <initializer_list>
#include <limits>

namespace tf {
namespace {

bool In(uint8_t code, std::initializer_list<uint8_t> codes) {
  for (uint8_t c : codes)
    if (c == code) return true;
  return false;
}

bool Range(uint8_t code, uint8_t first, uint8_t last) { return code >= first && code <= last; }

SPacketLengthRule Fixed(int32_t n) { return SPacketLengthRule{n, 0, 0, 0}; }
SPacketLengthRule U16At(int32_t fixed, int32_t offset, int32_t multiplier = 1) {
  return SPacketLengthRule{fixed, offset, 2, multiplier};
}
SPacketLengthRule I32At(int32_t fixed, int32_t offset) { return SPacketLengthRule{fixed, offset, 4, 1}; }

bool StateRule(uint8_t code, SPacketLengthRule& r) {
  if (In(code, {0, 5, 52, 53}))
    r = Fixed(12);
  else if (In(code, {2, 3, 8, 58}))
    r = Fixed(4);
  else if (In(code, {4, 57, 60}))
    r = Fixed(16);
  else if (In(code, {12, 13}))
    r = Fixed(2);
  else if (In(code, {16, 17, 48, 50, 56}))
    r = Fixed(8);
  else if (code == 18)
    r = Fixed(22);
  else if (code == 32)
    r = Fixed(68);
  else if (code == 37)
    r = Fixed(20);
  else if (code == 45)
    r = Fixed(24);
  else if (code == 33)
    r = U16At(2, 0);
  else if (code == 36)
    r = I32At(160, 156);
  else if (code == 40)
    r = U16At(12, 6);
  else if (code == 44)
    r = I32At(40, 36);
  else if (code == 128 || code == 129)
    r = I32At(22, 12);
  else if (code == 136)
    r = I32At(4, 0);
  else
    return false;
  return true;
}

bool PaperRule(uint8_t code, SPacketLengthRule& r) {
  if (code == 0)
    r = Fixed(16);
  else if (In(code, {1, 24, 25, 26}))
    r = Fixed(4);
  else if (In(code, {2, 3, 9}))
    r = Fixed(10);
  else if (code == 6)
    r = Fixed(18);
  else if (code == 8)
    r = Fixed(28);
  else if (code == 10)
    r = Fixed(12);
  else if (code == 11)
    r = Fixed(20);
  else if (In(code, {4, 5, 7, 254, 255}) || Range(code, 16, 19) || Range(code, 32, 35))
    r = Fixed(0);
  else
    return false;
  return true;
}

bool LayerRule(uint8_t code, SPacketLengthRule& r) {
  if (code == 0)
    r = Fixed(14);
  else if (Range(code, 1, 5) || In(code, {8, 9, 24, 25}) || Range(code, 32, 37))
    r = Fixed(4);
  else if (In(code, {6, 7, 10, 38, 39}) || Range(code, 48, 51))
    r = Fixed(12);
  else if (code == 12 || code == 13)
    r = Fixed(20);
  else if (In(code, {16, 17, 18, 20}))
    r = Fixed(6);
  else if (code == 21)
    r = Fixed(18);
  else if (code == 11)
    r = U16At(42, 40);
  else if (code == 19)
    r = U16At(4, 2);
  else
    return false;
  return true;
}

bool LinkGroupRule(uint8_t code, SPacketLengthRule& r) {
  if (code == 0 || code == 1)
    r = I32At(24, 12);
  else if (In(code, {8, 11, 12, 13, 16}))
    r = Fixed(12);
  else if (code == 9 || code == 10)
    r = Fixed(20);
  else
    return false;
  return true;
}

bool FillRule(uint8_t code, SPacketLengthRule& r) {
  if (Range(code, 0, 3) || code == 5 || code == 6)
    r = Fixed(22);
  else if (code == 4)
    r = U16At(4, 2, 8);
  else
    return false;
  return true;
}

bool MaskRule(uint8_t code, SPacketLengthRule& r) {
  if (Range(code, 0, 6) || In(code, {11, 20, 21}))
    r = Fixed(4);
  else if (Range(code, 7, 10) || In(code, {13, 14, 22, 24, 25, 26}))
    r = Fixed(12);
  else if (In(code, {16, 17, 19}))
    r = Fixed(22);
  else if (code == 12)
    r = U16At(4, 2);
  else if (code == 18)
    r = U16At(8, 6, 8);
  else
    return false;
  return true;
}

bool ChannelRule(uint8_t code, SPacketLengthRule& r) {
  if (In(code, {0, 1, 4, 16, 17, 32}))
    r = I32At(54, 42);
  else if (In(code, {2, 3, 5}))
    r = I32At(72, 60);
  else
    return false;
  return true;
}

}  // namespace

uint8_t FilterClassOfId(uint8_t id) {
  if (In(id, {0, 1, 8, 9, 12, 13, 20, 52, 53, 56, 64, 65}) || Range(id, 81, 84)) return 32;
  if (In(id, {2, 4, 10, 14, 18, 21, 22, 23, 26, 27, 32, 34, 49, 55, 58, 63, 80, 85, 86}) || Range(id, 66, 69))
    return 33;
  if (In(id, {3, 17, 19, 24, 25, 33, 36, 48, 50, 57, 59, 61, 62, 70, 71, 73})) return 34;
  if (In(id, {16, 35, 37, 38, 60, 72})) return 35;
  if (In(id, {39, 40, 51, 54, 74})) return 38;
  return 0;
}

bool GetPacketLengthRule(uint8_t cls, uint8_t code, SPacketLengthRule& rule) {
  switch (cls) {
    case 0: return StateRule(code, rule);
    case 1: rule = I32At(4, 0); return true;
    case 2: return PaperRule(code, rule);
    case 4: return LayerRule(code, rule);
    case 5: return LinkGroupRule(code, rule);
    case 6: return FillRule(code, rule);
    case 10: return MaskRule(code, rule);
    case 12:
      // Code 0 is named as a kind but has no packet.
      if (code != 1 && code != 2) return false;
      rule = I32At(22, 12);
      return true;
    case 13: return ChannelRule(code, rule);
    case 16:
    case 20:
    case 21:
    case 22:
    case 23:
    case 24:
    case 48:
    case 49:
      if (code != 0) return false;
      rule = Fixed(4);
      return true;
    case 17:
    case 18: rule = Fixed(12 * int32_t{code}); return true;
    case 32:
    case 33:
    case 34:
    case 35:
      if (FilterClassOfId(code) != cls) return false;
      rule = Fixed(cls == 32 ? 4 : cls == 33 ? 12 : cls == 34 ? 20 : 28);
      return true;
    case 38: rule = U16At(50, 4); return true;
    default: return false;
  }
}

int32_t PacketLengthFromBytes(uint8_t cls, uint8_t code, const uint8_t* payload, size_t available) {
  SPacketLengthRule rule;
  if (!GetPacketLengthRule(cls, code, rule)) return -1;
  if (rule.fieldSize == 0) return rule.fixed;
  if (!payload || available < static_cast<size_t>(rule.fixedPartSize())) return -1;
  const uint8_t* field = payload + rule.fieldOffset;
  int64_t value = rule.fieldSize == 2 ? int64_t{LoadU16(field)} : int64_t{LoadI32(field)};
  if (value < 0) return -1;
  int64_t length = rule.fixed + value * rule.multiplier;
  if (length > std::numeric_limits<int32_t>::max() - 2) return -1;
  return static_cast<int32_t>(length);
}

int ChannelKindOfCode(uint8_t code) {
  switch (code) {
    case 0:
    case 4: return 0;
    case 1: return 1;
    case 16: return 2;
    case 17: return 3;
    case 32: return 6;
    case 2:
    case 5: return 4;
    case 3: return 5;
    default: return -1;
  }
}

int StrokeEngineOfClass(uint8_t cls) {
  switch (cls) {
    case 16:
    case 20: return 0;
    case 21:
    case 22: return 1;
    case 23:
    case 24: return 2;
    case 48:
    case 49: return 4;
    default: return -1;
  }
}

bool IsInterpolationZeroClass(uint8_t cls) { return cls == 20 || cls == 22 || cls == 24 || cls == 49; }

void InitFilterBlock(SFilterBlock& block, int16_t layer, int16_t value, uint16_t count, uint16_t itemSize) {
  block = SFilterBlock{};
  block.layer = layer;
  block.value = value;
  // uint16 x uint16 would be an int product, which can overflow: counted in 32 unsigned bits.
  block.dataLength = static_cast<uint16_t>(uint32_t{count} * itemSize);
  block.count = count;
  block.itemSize = itemSize;
}

}  // namespace tf
