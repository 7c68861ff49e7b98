#include "filters/FilterDialogValues.h"

#include <cmath>
#include <cstring>

#include "filters/Convolve.h"
#include "filters/FilterBlocks.h"
#include "platform/ByteOrder.h"
#include "platform/Clock.h"

namespace tf {

namespace {

bool DefaultPreview(FilterKey key) { return key != FilterKey::MotionBlur; }

bool gPreview[kFilterKeyCount];
bool gPreviewSet = false;

void EnsurePreviewDefaults() {
  if (gPreviewSet) return;
  ResetFilterPreviewMemory();
}

int32_t TruncHalfUp(float x) { return static_cast<int32_t>(std::trunc(static_cast<double>(x) + 0.5)); }

}  // namespace

bool IsNeighbourDialog(FilterKey key) {
  switch (key) {
    case FilterKey::GaussianBlur:
    case FilterKey::MotionBlur:
    case FilterKey::SharpenCustom:
    case FilterKey::Noise:
    case FilterKey::Diffuse:
    case FilterKey::Median:
    case FilterKey::Mosaic:
    case FilterKey::Emboss:
    case FilterKey::ColorHalftone:
      return true;
    default:
      return false;
  }
}

bool& FilterPreviewMemory(FilterKey key) {
  EnsurePreviewDefaults();
  return gPreview[static_cast<int32_t>(key)];
}

void ResetFilterPreviewMemory() {
  for (int32_t i = 0; i < kFilterKeyCount; ++i) gPreview[i] = DefaultPreview(static_cast<FilterKey>(i));
  gPreviewSet = true;
}

float WrapAngle180(float angle) {
  double a = std::fmod(static_cast<double>(angle) + 180.0, 360.0);
  if (a < 0) a += 360.0;
  return static_cast<float>(a - 180.0);
}

SNeighbourDialogValues LoadNeighbourDialog(FilterKey key) {
  const uint8_t* m = FilterMemory(key).block;
  SNeighbourDialogValues v;
  v.preview = FilterPreviewMemory(key);
  switch (key) {
    case FilterKey::GaussianBlur:
      std::memcpy(&v.a, m, 4);
      break;
    case FilterKey::MotionBlur:
      v.a = LoadLE<int16_t>(m + 2);
      v.b = m[0];
      break;
    case FilterKey::SharpenCustom:
      v.a = 0.3f;
      break;
    case FilterKey::Noise:
      v.a = static_cast<float>(BlockWord(m, 0));
      v.check = BlockWord(m, 1) != 0;
      v.seed = timeGetTime();
      break;
    case FilterKey::Diffuse:
      v.a = static_cast<float>(BlockWord(m, 0));
      v.choice = BlockWord(m, 1);
      v.check = m[12] != 0;
      v.seed = timeGetTime();
      break;
    case FilterKey::Median:
      v.a = m[0];
      break;
    case FilterKey::Mosaic:
      v.a = static_cast<float>(BlockWord(m, 0));
      break;
    case FilterKey::Emboss:
      v.a = static_cast<float>(BlockWord(m, 0));
      std::memcpy(&v.b, m + 4, 4);
      v.c = static_cast<float>(BlockWord(m, 2));
      break;
    case FilterKey::ColorHalftone:
      v.a = static_cast<float>(BlockWord(m, 0));
      v.b = static_cast<float>(BlockWord(m, 1));
      v.c = static_cast<float>(BlockWord(m, 2));
      v.d = static_cast<float>(BlockWord(m, 3));
      break;
    default:
      break;
  }
  return v;
}

void BuildNeighbourBlock(FilterKey key, const SNeighbourDialogValues& v, uint8_t alphaProtect, uint8_t* block) {
  std::memset(block, 0, static_cast<size_t>(FilterRow(key).blockSize));
  switch (key) {
    case FilterKey::GaussianBlur:
    case FilterKey::SharpenCustom:
      std::memcpy(block, &v.a, 4);
      break;
    case FilterKey::MotionBlur:
      block[0] = static_cast<uint8_t>(RoundHalfAway(v.b));
      block[1] = 2;
      StoreLE<int16_t>(block + 2, static_cast<int16_t>(RoundHalfAway(WrapAngle180(v.a))));
      break;
    case FilterKey::Noise:
      SetBlockWord(block, 0, RoundHalfAway(v.a));
      SetBlockWord(block, 1, v.check ? 1 : 0);
      SetBlockWord(block, 2, static_cast<int32_t>(v.seed));
      break;
    case FilterKey::Diffuse:
      SetBlockWord(block, 0, RoundHalfAway(v.a));
      SetBlockWord(block, 1, v.choice);
      SetBlockWord(block, 2, static_cast<int32_t>(v.seed));
      block[12] = v.check ? 1 : 0;
      block[14] = alphaProtect;
      break;
    case FilterKey::Median:
      block[0] = static_cast<uint8_t>(TruncHalfUp(v.a));
      block[1] = alphaProtect;
      break;
    case FilterKey::Mosaic:
      SetBlockWord(block, 0, TruncHalfUp(v.a));
      SetBlockWord(block, 1, alphaProtect);
      break;
    case FilterKey::Emboss:
      SetBlockWord(block, 0, RoundHalfAway(-static_cast<long double>(WrapAngle180(v.a))));
      std::memcpy(block + 4, &v.b, 4);
      SetBlockWord(block, 2, RoundHalfAway(v.c));
      break;
    case FilterKey::ColorHalftone:
      SetBlockWord(block, 0, RoundHalfAway(v.a));
      SetBlockWord(block, 1, RoundHalfAway(WrapAngle180(v.b)));
      SetBlockWord(block, 2, RoundHalfAway(WrapAngle180(v.c)));
      SetBlockWord(block, 3, RoundHalfAway(WrapAngle180(v.d)));
      break;
    default:
      break;
  }
}

void ConfirmNeighbourDialog(FilterKey key, const uint8_t* block, bool preview) {
  // The emboss's angle goes back to the dialog's sense there.
  RememberFilterBlock(key, block, FilterRow(key).blockSize);
  FilterPreviewMemory(key) = preview;
}

}  // namespace tf
