// The parameter blocks of the filters.
#include "filters/FilterBlocks.h"

#include "platform/ByteOrder.h"

namespace tf {

int32_t BlockWord(const void* block, int32_t index) {
  return LoadLE<int32_t>(static_cast<const uint8_t*>(block) + 4 * index);
}

void SetBlockWord(void* block, int32_t index, int32_t value) {
  StoreLE<int32_t>(static_cast<uint8_t*>(block) + 4 * index, value);
}

void ClearFilterBlock8(void* block) { std::memset(block, 0, 8); }
void ClearFilterBlock16(void* block) { std::memset(block, 0, 16); }
void ClearFilterBlock24(void* block) { std::memset(block, 0, 24); }

// memcmp compares the words bit for bit, which is what a block comparison means: a float of -0.0
// and one of 0.0 are different blocks.
bool EqualFilterBlock8(const void* a, const void* b) { return std::memcmp(a, b, 8) == 0; }
bool EqualFilterBlock16(const void* a, const void* b) { return std::memcmp(a, b, 16) == 0; }
bool EqualFilterBlock24(const void* a, const void* b) { return std::memcmp(a, b, 24) == 0; }

int16_t SFilterParam50::DataLength() const { return LoadLE<int16_t>(bytes + 0); }
int16_t SFilterParam50::Count() const { return LoadLE<int16_t>(bytes + 2); }
int16_t SFilterParam50::ItemSize() const { return LoadLE<int16_t>(bytes + 4); }

bool InitFilterBlock50(SFilterParam50& block, int32_t count, int32_t itemSize) {
  if (count < 0 || itemSize < 0 || count > kMaxBlockDataLength || itemSize > kMaxBlockDataLength) return false;
  const int64_t length = int64_t{count} * itemSize;
  if (length > kMaxBlockDataLength) return false;
  StoreLE<int16_t>(block.bytes + 0, static_cast<int16_t>(length));
  StoreLE<int16_t>(block.bytes + 2, static_cast<int16_t>(count));
  StoreLE<int16_t>(block.bytes + 4, static_cast<int16_t>(itemSize));
  std::memset(block.bytes + SFilterParam50::kInlineOffset, 0, SFilterParam50::kInlineSize);
  block.data = nullptr;
  return true;
}

void InitKernel5x5(int32_t kernel[27]) {
  for (int32_t i = 0; i < 25; ++i) kernel[i] = 0;
  kernel[25] = 1;
  kernel[26] = 0;
}

void ClearLightingData(uint8_t data[kLightingDataBytes]) { std::memset(data, 0, kLightingDataBytes); }

bool EqualLightRecord(const uint8_t a[40], const uint8_t b[40]) {
  for (const int32_t field : {1, 2, 3, 4, 7, 10})
    if (LoadLE<int32_t>(a + 4 * (field - 1)) != LoadLE<int32_t>(b + 4 * (field - 1))) return false;
  for (const int32_t field : {5, 6, 8, 9})
    if (LoadLE<float>(a + 4 * (field - 1)) != LoadLE<float>(b + 4 * (field - 1))) return false;
  return true;
}

void ClearRecord20(uint8_t record[20]) { std::memset(record, 0, 20); }

void InitFloorParams(SFltFloor& block) {
  std::memset(block.values, 0, sizeof block.values);
  block.values[46] = 30;
  block.values[44] = 1;
}

void InitFloorTexture(SFltTexture& texture) {
  texture.resolution = 0;
  texture.image = nullptr;
  texture.path.clear();
}

void InitFloorBlock(SFltFloor& block) {
  InitFloorParams(block);
  InitFloorTexture(block.ceiling);
  InitFloorTexture(block.floor);
}

bool IsCeilingTextureFromFile(const SFltFloor& block) { return (block.values[42] & block.values[43] & 1) != 0; }
bool IsFloorTextureFromFile(const SFltFloor& block) { return (block.values[42] & block.values[43] & 2) != 0; }

void InitGradientMapBlock(SGradientMapBlock& block) {
  block.stops = nullptr;
  InitGradOption(block.options);
  block.reverse = 0;
  block.keepAlpha = 1;
}

}  // namespace tf
