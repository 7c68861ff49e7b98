// The filter catalogue, the commands and replay twins, Filter > Repeat, the remembered values
// and the default filter dialog host.
#include "filters/FilterCommands.h"

#include <cstdio>
#include <memory>
#include <new>

#include "document/LayerData.h"
#include "events/EventPacket.h"
#include "filters/Blurs.h"
#include "filters/ColourAdjust.h"
#include "filters/Convolve.h"
#include "filters/Distortions.h"
#include "filters/FilterCore.h"
#include "filters/Floor.h"
#include "filters/Generators.h"
#include "filters/Lighting.h"
#include "filters/PointEffects.h"
#include "filters/NoiseDiffuseMedian.h"
#include "filters/Patterns.h"
#include "filters/Sharpen.h"
#include "filters/FilterTexts.h"
#include "paint/GradientSet.h"
#include "paint/Stroke.h"
#include "paper/DocumentWindow.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/ByteOrder.h"
#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Stream.h"

namespace tf {

namespace {

// ---------------------------------------------------------------------------------------------
// Compiled defaults and loaders of the rows

void LevelsDefaults(SFilterMemory& m) {
  for (int32_t c = 0; c < 4; ++c) {
    m.block[c] = 0;
    m.block[4 + c] = 100;
    m.block[8 + c] = 255;
    m.block[12 + c] = 0;
    m.block[16 + c] = 255;
  }
  m.block[20] = 1;  // linear
}
void ColorBalanceDefaults(SFilterMemory& m) {
  const float one = 1.0f;
  for (int32_t c = 0; c < 3; ++c) std::memcpy(m.block + 4 * c, &one, 4);
}
void PosterizeDefaults(SFilterMemory& m) { SetBlockWord(m.block, 0, 4); }
void ThresholdDefaults(SFilterMemory& m) { m.block[0] = 128; }
// The remembered threshold, built by Repeat: source byte 0.
bool LoadThreshold(const SFilterCatalogueRow& row, void* block, const CLayerData&) {
  std::memcpy(block, FilterMemory(row.key).block, static_cast<size_t>(row.blockSize));
  static_cast<uint8_t*>(block)[1] = 0;
  return true;
}

void GaussianBlurDefaults(SFilterMemory& m) {
  const float one = 1.0f;
  std::memcpy(m.block, &one, 4);
}
void MotionBlurDefaults(SFilterMemory& m) {
  m.block[0] = 1;  // distance
  m.block[1] = 2;  // variant: the 16-bit angle, the saturating sampler
}
// The selection of the command whose block a loader builds (null outside a command: the whole
// layer).
const CMaskData* gLoadingMask = nullptr;
const CMaskData* ZoomBlurMask() { return gLoadingMask; }

// The zoom blur remembers the size of the selection it was made for (inline bytes 0..7).
void ZoomBlurDefaults(SFilterMemory& m) {
  m.block[4] = 1;  // amount
  m.block[6] = 1;  // the saturating sampler
  StoreLE<int32_t>(m.inlineBytes + 0, 256);
  StoreLE<int32_t>(m.inlineBytes + 4, 256);
}
// The remembered centre scaled from the remembered selection size to the layer's part under the
// selection now; false when a remembered side is not above 0.
bool LoadZoomBlur(const SFilterCatalogueRow& row, void* block, const CLayerData& layer) {
  SFilterMemory& m = FilterMemory(row.key);
  const int32_t rw = LoadLE<int32_t>(m.inlineBytes + 0), rh = LoadLE<int32_t>(m.inlineBytes + 4);
  if (rw <= 0 || rh <= 0) return false;
  TRect bounds{0, 0, 0, 0};
  if (!GetMaskedLayerRect(layer, ZoomBlurMask(), bounds)) return false;
  const int32_t w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
  auto* b = static_cast<uint8_t*>(block);
  std::memset(b, 0, 8);
  const long double x = static_cast<long double>(LoadLE<int16_t>(m.block + 0)) * w / rw;
  const long double y = static_cast<long double>(LoadLE<int16_t>(m.block + 2)) * h / rh;
  StoreLE<int16_t>(b + 0, static_cast<int16_t>(std::clamp<int32_t>(RoundHalfAway(x), INT16_MIN, INT16_MAX)));
  StoreLE<int16_t>(b + 2, static_cast<int16_t>(std::clamp<int32_t>(RoundHalfAway(y), INT16_MIN, INT16_MAX)));
  b[4] = m.block[4];
  b[5] = layer.alphaProtect;
  b[6] = 1;
  StoreLE<int32_t>(m.inlineBytes + 0, w);
  StoreLE<int32_t>(m.inlineBytes + 4, h);
  return true;
}

void SharpenCustomDefaults(SFilterMemory& m) {
  const float amount = 0.3f;
  std::memcpy(m.block, &amount, 4);
}

void NoiseDefaults(SFilterMemory& m) { SetBlockWord(m.block, 0, 1); }
void DiffuseDefaults(SFilterMemory& m) { SetBlockWord(m.block, 0, 1); }
void MedianDefaults(SFilterMemory& m) { m.block[0] = 8; }
// Noise and diffuse take a new seed from the clock each time; diffuse also the layer's flag.
bool LoadNoise(const SFilterCatalogueRow& row, void* block, const CLayerData&) {
  std::memcpy(block, FilterMemory(row.key).block, 16);
  SetBlockWord(block, 2, static_cast<int32_t>(timeGetTime()));
  return true;
}
bool LoadDiffuse(const SFilterCatalogueRow& row, void* block, const CLayerData& layer) {
  std::memcpy(block, FilterMemory(row.key).block, 16);
  SetBlockWord(block, 2, static_cast<int32_t>(timeGetTime()));
  static_cast<uint8_t*>(block)[14] = layer.alphaProtect;
  return true;
}

void ColorHalftoneDefaults(SFilterMemory& m) {
  SetBlockWord(m.block, 0, 8);
  SetBlockWord(m.block, 1, 18);
  SetBlockWord(m.block, 2, 72);
}
void MosaicDefaults(SFilterMemory& m) { SetBlockWord(m.block, 0, 16); }
// The emboss remembers its angle as the dialog shows it; the block holds it negated.
void EmbossDefaults(SFilterMemory& m) {
  SetBlockWord(m.block, 0, 120);
  const float height = 3.0f;
  std::memcpy(m.block + 4, &height, 4);
  SetBlockWord(m.block, 2, 100);
}
bool LoadEmboss(const SFilterCatalogueRow& row, void* block, const CLayerData&) {
  std::memcpy(block, FilterMemory(row.key).block, 16);
  SetBlockWord(block, 0, static_cast<int32_t>(0u - static_cast<uint32_t>(BlockWord(block, 0))));
  return true;
}
// ---- Distortions

// Polar: the remembered direction with the layer's flag (the generic loader, byte 1).
// Rotate: the remembered angle and bytes 6 and 7, the layer's flag, method 1.
void RotateDefaults(SFilterMemory& m) { m.block[5] = 1; }
bool LoadRotate(const SFilterCatalogueRow& row, void* block, const CLayerData& layer) {
  auto* b = static_cast<uint8_t*>(block);
  std::memcpy(b, FilterMemory(row.key).block, 8);
  b[4] = layer.alphaProtect;
  b[5] = 1;
  return true;
}

// The rectangle of the command a loader or a dialog works for: the layer's part under the
// selection (the runner's Bounds).
const TRect* gCommandBounds = nullptr;

void ScaleDefaults(SFilterMemory& m) {
  const float hundred = 100.0f;
  std::memcpy(m.block + 0, &hundred, 4);
  std::memcpy(m.block + 4, &hundred, 4);
  m.block[8] = 1;
}
// The remembered percentages of the Bounds of this command.
bool LoadScale(const SFilterCatalogueRow& row, void* block, const CLayerData& layer) {
  TRect bounds{0, 0, 0, 0};
  if (!GetMaskedLayerRect(layer, ZoomBlurMask(), bounds)) return false;
  const SFilterMemory& m = FilterMemory(row.key);
  float pw, ph;
  std::memcpy(&pw, m.block + 0, 4);
  std::memcpy(&ph, m.block + 4, 4);
  auto* b = static_cast<uint8_t*>(block);
  std::memset(b, 0, 16);
  const long double w = static_cast<long double>(bounds.right - bounds.left) * pw / 100;
  const long double h = static_cast<long double>(bounds.bottom - bounds.top) * ph / 100;
  StoreLE<int32_t>(b + 0, RoundHalfAway(w));
  StoreLE<int32_t>(b + 4, RoundHalfAway(h));
  b[8] = layer.alphaProtect;
  b[9] = 1;
  return true;
}

void WaveDefaults(SFilterMemory& m) {
  m.block[0] = 1;   // horizontal count
  m.block[1] = 1;   // vertical count
  m.block[2] = 10;  // horizontal strength
  m.block[3] = 10;  // vertical strength
}
void TwirlDefaults(SFilterMemory& m) {
  StoreLE<int16_t>(m.block + 0, 50);
  m.block[2] = 1;
}

// ---- Generators

void PlasmaDefaults(SFilterMemory& m) {
  StoreLE<uint16_t>(m.block + 6, 100);
  m.block[9] = 100;
}
// A new seed; contrast and opacity from percent.
bool LoadPlasma(const SFilterCatalogueRow& row, void* block, const CLayerData&) {
  const SFilterMemory& m = FilterMemory(row.key);
  auto* b = static_cast<uint8_t*>(block);
  std::memset(b, 0, 16);
  StoreLE<uint32_t>(b + 0, timeGetTime());
  b[4] = m.block[4] != 0 ? 1 : 0;
  const int32_t roughness = RoundHalfAway(static_cast<long double>(LoadLE<uint16_t>(m.block + 6)) * 256 / 100);
  StoreLE<uint16_t>(b + 6, static_cast<uint16_t>(std::clamp(roughness, 0, 65535)));
  b[8] = m.block[8];
  b[9] = static_cast<uint8_t>(std::clamp(RoundHalfAway(static_cast<long double>(m.block[9]) * 255 / 100), 0, 255));
  return true;
}

void CloudsRockDefaults(SFilterMemory& m) {
  StoreLE<uint32_t>(m.block + 0, 0x00000000u);
  StoreLE<uint32_t>(m.block + 4, 0x00FFFFFFu);
  StoreLE<uint16_t>(m.block + 12, 256);
  StoreLE<uint16_t>(m.block + 14, 256);
  StoreLE<uint16_t>(m.block + 16, 100);
  StoreLE<uint16_t>(m.inlineBytes + 0, 100);
  StoreLE<uint16_t>(m.inlineBytes + 2, 100);
  m.inlineBytes[4] = 1;
  m.inlineBytes[5] = 0;
  StoreLE<uint16_t>(m.inlineBytes + 6, 50);
}
// The remembered colours, a new seed, the remembered tile with wrap-around (else the store's
// size), the contrast of the remembered kind and the softness for rock.
bool LoadCloudsRock(const SFilterCatalogueRow& row, void* block, const CLayerData& layer) {
  const SFilterMemory& m = FilterMemory(row.key);
  auto* b = static_cast<uint8_t*>(block);
  std::memset(b, 0, 24);
  std::memcpy(b, m.block, 8);
  StoreLE<uint32_t>(b + 8, timeGetTime());
  const bool wrap = m.inlineBytes[4] != 0, rock = m.inlineBytes[5] != 0;
  const auto side = [](int32_t v) { return static_cast<uint16_t>(std::clamp(v, 0, 65535)); };
  StoreLE<uint16_t>(b + 12, wrap ? LoadLE<uint16_t>(m.block + 12) : side(layer.StoreWidth()));
  StoreLE<uint16_t>(b + 14, wrap ? LoadLE<uint16_t>(m.block + 14) : side(layer.StoreHeight()));
  StoreLE<uint16_t>(b + 16, LoadLE<uint16_t>(m.inlineBytes + (rock ? 2 : 0)));
  StoreLE<uint16_t>(b + 18, rock ? LoadLE<uint16_t>(m.inlineBytes + 6) : 0);
  return true;
}

// ---- Point effects and lighting

// The lighting dialog's start: a point light at the centre (colour 252, 249, 233, height 50,
// intensity 300, range 100), ambient colour 255, 254, 199 at level 0.
void LightingDefaults(SFilterMemory& m) {
  StoreLE<uint32_t>(m.inlineBytes + 0, 0xFFFFFEC7u);
  StoreLE<int32_t>(m.inlineBytes + 4, 0);
  uint8_t* d = m.data.data();
  std::memset(d, 0, kLightingDataBytes);
  StoreLE<int32_t>(d + 0, 0);
  StoreLE<int32_t>(d + 4, 300);
  StoreLE<uint32_t>(d + 8, 0xFFFCF9E9u);
  StoreLE<int32_t>(d + 12, 100);
  const float half = 0.5f;
  std::memcpy(d + 16, &half, 4);
  std::memcpy(d + 20, &half, 4);
  StoreLE<int32_t>(d + 24, 50);
}

// ---- Floor

// X, Y, Z, H, P 0; S, E 100; transparent fog, colour 0, opacity 100, distance 50; infinite
// distance, keep the picture; both textures from the layer.
void FloorDefaults(SFilterMemory& m) {
  uint8_t* v = m.floorValues;
  std::memset(v, 0, kFloorValueBytes);
  StoreLE<int32_t>(v + 0, 50);
  const float eye = 50.0f;  // (0 + 100) x 100 / 200
  std::memcpy(v + 4, &eye, 4);
  StoreLE<int32_t>(v + 8, 50);
  StoreLE<int32_t>(v + 24, 100);
  StoreLE<int32_t>(v + 28, 100);
  StoreLE<int32_t>(v + 32, 100);
  v[40] = 1;
  v[41] = 1;
  v[42] = 3;
  v[44] = 1;
  v[45] = 2;
  v[46] = 50;
  for (int32_t i = 0; i < 4; ++i) StoreLE<int16_t>(v + 47 + 2 * i, 256);
}
// The remembered values; a texture from a file takes its remembered picture, one from the
// layer the Bounds of this command scaled into 256 x 256 with the Bounds' size as source size.
bool LoadFloor(const SFilterCatalogueRow& row, void* block, const CLayerData& layer) {
  const SFilterMemory& m = FilterMemory(row.key);
  auto& b = *static_cast<SFltFloor*>(block);
  std::memcpy(b.values, m.floorValues, kFloorValueBytes);
  b.values[45] = 2;
  b.values[43] &= b.values[42];
  TRect bounds{0, 0, 0, 0};
  if (!GetMaskedLayerRect(layer, ZoomBlurMask(), bounds) || layer.Store() == nullptr) return false;
  SFltTexture* textures[2] = {&b.ceiling, &b.floor};
  for (int32_t i = 0; i < 2; ++i) {
    const uint8_t bit = static_cast<uint8_t>(1 << i);
    SFltTexture& t = *textures[i];
    t.path.clear();
    if ((b.values[42] & bit) == 0 || t.image == nullptr) continue;
    if ((b.values[43] & bit) != 0 && m.floorPictures[i] && m.floorPictures[i]->IsValid()) {
      const TMTC& picture = *m.floorPictures[i];
      if (!t.image->Resize(picture.Width(), picture.Height())) return false;
      for (int32_t y = 0; y < picture.Height(); ++y)
        std::memcpy(t.image->Pixel(0, y), picture.Pixel(0, y), 4 * static_cast<size_t>(picture.Width()));
      t.resolution = m.floorResolutions[i];
      continue;
    }
    b.values[43] &= static_cast<uint8_t>(~bit);
    if (!MakeLayerTexture(*layer.Store(), bounds, *t.image)) return false;
    t.resolution = 0;
    StoreLE<int16_t>(b.values + 47 + 4 * i, static_cast<int16_t>(std::min(bounds.right - bounds.left, 32767)));
    StoreLE<int16_t>(b.values + 49 + 4 * i, static_cast<int16_t>(std::min(bounds.bottom - bounds.top, 32767)));
  }
  return true;
}

void TilesDefaults(SFilterMemory& m) {
  m.block[0] = 1;  // squares
  StoreLE<uint16_t>(m.block + 2, 32);
  for (int32_t c = 0; c < 3; ++c) m.block[4 + 4 * c + 3] = 255;  // black, opaque
}

// ---------------------------------------------------------------------------------------------
// The catalogue. A filter's algorithm, loader, compiled defaults and keep-alpha byte go into its
// row; the rows stay in the order of FilterKey.
//   key, key name, menu action, name, event id, block size, FilterProc, dialog, loader, defaults,
//   keep-alpha byte, data bytes, replay keep-alpha
constexpr SFilterCatalogueRow kCatalogue[] = {
    {FilterKey::BrightnessContrast, "BrightnessContrast", "actFilterContrast4", texts::kFilterBrightnessContrast, 62, 16, &BrightnessContrastFilter, "TFormBrightnessContrast4", nullptr, nullptr, -1, 0, false},
    {FilterKey::ColorBalance, "ColorBalance", "actFilterGamma4", texts::kFilterColorBalance, 24, 16, &ColorBalanceFilter, "TFormGamma4", nullptr, &ColorBalanceDefaults, -1, 0, false},
    {FilterKey::GradientMap, "GradientMap", "actFilterGradateMap", texts::kFilterGradientMap, 54, 14, &GradientMapFilter, "TFormGradientMap4", nullptr, nullptr, -1, 0, true},
    {FilterKey::HueSaturation, "HueSaturation", "actFilterHLS4", texts::kFilterHueSaturation, 61, 16, &HueSaturationFilter, "TFormHueSaturation4", nullptr, nullptr, -1, 0, false},
    {FilterKey::Invert, "Invert", "actFilterNega", texts::kFilterInvert, 81, 0, &InvertFilter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::FlipHorizontal, "FlipHorizontal", "actFilterFlipLR", texts::kFilterFlipHorizontal, 82, 0, &FlipHorizontalFilter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::FlipVertical, "FlipVertical", "actFilterFlipTB", texts::kFilterFlipVertical, 83, 0, &FlipVerticalFilter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::Rotate180, "Rotate180", "actFilterRot180", texts::kFilterRotate180, 84, 0, &Rotate180Filter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::Levels, "Levels", "actFilterLevels4", texts::kFilterLevels, 60, 24, &LevelsFilter, "TFormLevels4", nullptr, &LevelsDefaults, -1, 0, false},
    {FilterKey::Posterize, "Posterize", "actFilterPoster4", texts::kFilterPosterize, 27, 8, &PosterizeFilter, "TFormPosterize4", nullptr, &PosterizeDefaults, -1, 0, false},
    {FilterKey::Threshold, "Threshold", "actFilterMonotone", texts::kFilterThreshold, 49, 8, &ThresholdFilter, "TFormThreshold4", &LoadThreshold, &ThresholdDefaults, -1, 0, false},
    {FilterKey::Blur, "Blur", "actFilterBlur", texts::kFilterBlur, 64, 0, &BlurFilter, nullptr, nullptr, nullptr, -1, 0, true},
    {FilterKey::BlurMore, "BlurMore", "actFilterBlurStrong", texts::kFilterBlurMore, 65, 0, &BlurMoreFilter, nullptr, nullptr, nullptr, -1, 0, true},
    {FilterKey::RadialBlur, "RadialBlur", "actFilterBlurZoom", texts::kFilterRadialBlur, 66, 8, &ZoomBlurFilter, "TFormRadialBlur4", &LoadZoomBlur, &ZoomBlurDefaults, -1, 0, false},
    {FilterKey::MotionBlur, "MotionBlur", "actFilterBlurMove4", texts::kFilterMotionBlur, 4, 8, &MotionBlurFilter, "TFormMotionBlur4", nullptr, &MotionBlurDefaults, -1, 0, false},
    {FilterKey::GaussianBlur, "GaussianBlur", "actFilterGauss", texts::kFilterGaussianBlur, 67, 8, &GaussianBlurFilter, "TFormGaussianBlur4", nullptr, &GaussianBlurDefaults, -1, 0, false},
    {FilterKey::Polar, "Polar", "actFilterPolar", texts::kFilterPolar, 55, 8, &PolarFilter, "TFormPolarCoordinates4", nullptr, nullptr, 1, 0, false},
    {FilterKey::Rotate, "Rotate", "actFilterRotate4", texts::kFilterRotate, 58, 8, &RotateFilter, "TFormRotate4", &LoadRotate, &RotateDefaults, -1, 0, false},
    {FilterKey::Scale, "Scale", "actFilterZoom4", texts::kFilterScale, 57, 16, &ScaleFilter, "TFormScale4", &LoadScale, &ScaleDefaults, -1, 0, false},
    {FilterKey::Noise, "Noise", "actFilterNoise4", texts::kFilterNoise, 25, 16, &NoiseFilter, "TFormNoise4", &LoadNoise, &NoiseDefaults, -1, 0, false},
    {FilterKey::ColorHalftone, "ColorHalftone", "actFilterHalftone", texts::kFilterColorHalftone, 48, 16, &ColorHalftoneFilter, "TFormColorHalftone4", nullptr, &ColorHalftoneDefaults, -1, 0, false},
    {FilterKey::Mosaic, "Mosaic", "actFilterMosaic4", texts::kFilterMosaic, 26, 8, &MosaicFilter, "TFormMosaic4", nullptr, &MosaicDefaults, 4, 0, false},
    {FilterKey::Median, "Median", "actFilterMedian4", texts::kFilterMedian, 86, 8, &MedianFilter, "TFormMedian4", nullptr, &MedianDefaults, 1, 0, false},
    {FilterKey::Sharpen, "Sharpen", "actFilterSharp4", texts::kFilterSharpen, 12, 0, &SharpenFilter, nullptr, nullptr, nullptr, -1, 0, true},
    {FilterKey::SharpenMore, "SharpenMore", "actFilterSharpStrong4", texts::kFilterSharpenMore, 13, 0, &SharpenMoreFilter, nullptr, nullptr, nullptr, -1, 0, true},
    {FilterKey::SharpenCustom, "SharpenCustom", "actFilterSharpCustom4", texts::kFilterSharpenCustom, 14, 8, &SharpenCustomFilter, "TFormSharpenCustom4", nullptr, &SharpenCustomDefaults, -1, 0, false},
    {FilterKey::Diffuse, "Diffuse", "actFilterDifuse", texts::kFilterDiffuse, 59, 16, &DiffuseFilter, "TFormDifuse4", &LoadDiffuse, &DiffuseDefaults, -1, 0, false},
    {FilterKey::Emboss, "Emboss", "actFilterEmboss4", texts::kFilterEmboss, 50, 16, &EmbossFilter, "TFormEmboss4", &LoadEmboss, &EmbossDefaults, -1, 0, false},
    {FilterKey::FindEdges, "FindEdges", "actFilterFindEdge", texts::kFilterFindEdges, 53, 0, &EdgeDetectFilter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::Solarize, "Solarize", "actFilterSolarization", texts::kFilterSolarize, 56, 0, &SolarizeFilter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::Tiles, "Tiles", "actFilterTile", texts::kFilterTiles, 73, 16, &TilesFilter, "TFormTiles4", nullptr, &TilesDefaults, -1, 0, false},
    {FilterKey::Clouds, "Clouds", "actFilterCloud", texts::kFilterClouds, 70, 16, &CloudsFilter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::Clouds2, "Clouds2", "actFilterCloud2", texts::kFilterClouds2, 70, 16, &CloudsFilter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::Plasma, "Plasma", "actFilterPlasma", texts::kFilterPlasma, 71, 16, &PlasmaFilter, "TFormPlasma4", &LoadPlasma, &PlasmaDefaults, -1, 0, false},
    {FilterKey::CloudsRock, "CloudsRock", "actFilterRock", texts::kFilterCloudsRock, 72, 24, &CloudsRockFilter, "TFormClouds4", &LoadCloudsRock, &CloudsRockDefaults, -1, 0, false},
    {FilterKey::Wave, "Wave", "actFilterWave", texts::kFilterWave, 85, 8, &WaveFilterV2, "TFormWave4", nullptr, &WaveDefaults, -1, 0, false},
    {FilterKey::Twirl, "Twirl", "actFilterTwist", texts::kFilterTwirl, 68, 8, &TwirlFilter, "TFormTwirl4", nullptr, &TwirlDefaults, -1, 0, false},
    {FilterKey::Custom, "Custom", "actFilterCustom55", texts::kFilterCustom, 51, 50, &CustomKernelFilter, "TFormCustom4", nullptr, nullptr, -1, 108, false},
    {FilterKey::LuminanceToAlpha, "LuminanceToAlpha", "ActEditDens2A", nullptr, 63, 8, &LumToAlphaFilter, nullptr, nullptr, nullptr, -1, 0, false},
    {FilterKey::Lighting, "Lighting", "actFilterLighting", texts::kFilterLighting, 74, 50, &LightingFilter, "TFormLighting4", nullptr, &LightingDefaults, -1, 56, false},
    {FilterKey::Floor, "Floor", "actFilterFloor", texts::kFilterFloor, 40, 87, &FloorFilter, "TFormFloor4", &LoadFloor, &FloorDefaults, -1, 0, false},
};
static_assert(std::size(kCatalogue) == static_cast<size_t>(kFilterKeyCount));

constexpr bool CatalogueInKeyOrder() {
  for (size_t i = 0; i < std::size(kCatalogue); ++i)
    if (static_cast<size_t>(kCatalogue[i].key) != i) return false;
  return true;
}

// Algorithms put in place of a row's by ScopedFilterProc.
struct SProcOverride {
  bool set = false;
  FilterProc proc = nullptr;
};
SProcOverride gProcOverrides[kFilterKeyCount];

// ---------------------------------------------------------------------------------------------
// Remembered values and Filter > Repeat

struct SMemoryTable {
  SFilterMemory entries[kFilterKeyCount];
  SMemoryTable() { Reset(); }
  void Reset() {
    for (int32_t i = 0; i < kFilterKeyCount; ++i) {
      SFilterMemory& m = entries[i];
      m = SFilterMemory{};
      const SFilterCatalogueRow& row = kCatalogue[i];
      if (row.blockSize == kBlock50) m.data.assign(static_cast<size_t>(row.dataBytes), 0);
      if (row.key == FilterKey::Custom) {
        int32_t kernel[27];
        BuiltInKernel5x5(kernel);
        for (int32_t k = 0; k < 27; ++k) StoreLE<int32_t>(m.data.data() + 4 * k, kernel[k]);
      }
      if (row.key == FilterKey::Floor) {
        SFltFloor floor;
        InitFloorParams(floor);
        std::memcpy(m.floorValues, floor.values, sizeof m.floorValues);
      }
      InitGradOption(m.gradientOptions);
      if (row.defaults != nullptr) row.defaults(m);
    }
  }
};

SMemoryTable& Memory() {
  static SMemoryTable table;
  return table;
}

const SFilterCatalogueRow* gRepeatHook = nullptr;
std::string& RepeatNameText() {
  static std::string name;
  return name;
}

// ---------------------------------------------------------------------------------------------
// The default dialog host

FilterDialogHost gDefaultDialogHost;
FilterDialogHost* gDialogHost = &gDefaultDialogHost;

}  // namespace

static_assert(CatalogueInKeyOrder(), "the catalogue rows follow FilterKey");

const SFilterCatalogueRow& FilterRow(FilterKey key) { return kCatalogue[static_cast<size_t>(key)]; }

std::span<const SFilterCatalogueRow> FilterCatalogue() { return std::span<const SFilterCatalogueRow>(kCatalogue); }

FilterProc FilterProcOf(FilterKey key) {
  const SProcOverride& o = gProcOverrides[static_cast<size_t>(key)];
  return o.set ? o.proc : FilterRow(key).proc;
}

ScopedFilterProc::ScopedFilterProc(FilterKey key, FilterProc proc) : key_(key) {
  SProcOverride& o = gProcOverrides[static_cast<size_t>(key)];
  previous_ = o.proc;
  hadPrevious_ = o.set;
  o.set = true;
  o.proc = proc;
}

ScopedFilterProc::~ScopedFilterProc() {
  SProcOverride& o = gProcOverrides[static_cast<size_t>(key_)];
  o.set = hadPrevious_;
  o.proc = previous_;
}

bool FilterDialogHost::RunFilterDialog(const SFilterCatalogueRow& row, CFlt4Core& /*core*/, void* /*block*/) {
  DebugOutF("filter %s: no dialog %s is installed\n", row.keyName, row.dialog != nullptr ? row.dialog : "");
  return false;
}

FilterDialogHost* SetFilterDialogHost(FilterDialogHost* host) {
  FilterDialogHost* previous = gDialogHost == &gDefaultDialogHost ? nullptr : gDialogHost;
  gDialogHost = host != nullptr ? host : &gDefaultDialogHost;
  return previous;
}

FilterDialogHost& GetFilterDialogHost() { return *gDialogHost; }

SFilterMemory& FilterMemory(FilterKey key) { return Memory().entries[static_cast<size_t>(key)]; }

void ResetFilterMemory() { Memory().Reset(); }

namespace {

// The percentages of the Bounds of the command the dialog worked for (100 % without one), the
// aspect lock on.
void RememberScale(SFilterMemory& m, const void* block) {
  const auto* b = static_cast<const uint8_t*>(block);
  const int32_t w0 = gCommandBounds != nullptr ? gCommandBounds->right - gCommandBounds->left : 0;
  const int32_t h0 = gCommandBounds != nullptr ? gCommandBounds->bottom - gCommandBounds->top : 0;
  const auto percent = [](int32_t v, int32_t whole) {
    return whole > 0 ? static_cast<float>(static_cast<double>(v) * 100.0 / whole) : 100.0f;
  };
  const float pw = percent(LoadLE<int32_t>(b + 0), w0), ph = percent(LoadLE<int32_t>(b + 4), h0);
  std::memcpy(m.block + 0, &pw, 4);
  std::memcpy(m.block + 4, &ph, 4);
  m.block[8] = 1;
}

void RememberPlasma(SFilterMemory& m, const void* block) {
  const auto* b = static_cast<const uint8_t*>(block);
  m.block[4] = b[4] != 0 ? 1 : 0;
  const int32_t contrast = RoundHalfAway(static_cast<long double>(LoadLE<uint16_t>(b + 6)) * 100 / 256);
  StoreLE<uint16_t>(m.block + 6, static_cast<uint16_t>(std::clamp(contrast, 1, 1000)));
  m.block[8] = b[8];
  m.block[9] = static_cast<uint8_t>(std::clamp(RoundHalfAway(static_cast<long double>(b[9]) * 100 / 255), 1, 100));
}

void RememberCloudsRock(SFilterMemory& m, const void* block) {
  const auto* b = static_cast<const uint8_t*>(block);
  std::memcpy(m.block, b, 24);
  const bool rock = LoadLE<uint16_t>(b + 18) != 0;
  m.inlineBytes[5] = rock ? 1 : 0;
  StoreLE<uint16_t>(m.inlineBytes + (rock ? 2 : 0), LoadLE<uint16_t>(b + 16));
  if (rock) StoreLE<uint16_t>(m.inlineBytes + 6, LoadLE<uint16_t>(b + 18));
}

void RememberFloor(SFilterMemory& m, const SFltFloor& b) {
  std::memcpy(m.floorValues, b.values, sizeof m.floorValues);
  const SFltTexture* textures[2] = {&b.ceiling, &b.floor};
  for (int32_t i = 0; i < 2; ++i) {
    m.floorPictures[i].reset();
    m.floorResolutions[i] = 0;
    const bool fromFile = (b.values[42] & b.values[43] & (1 << i)) != 0;
    const TMTC* picture = textures[i]->image;
    if (!fromFile || picture == nullptr || !picture->IsValid()) continue;
    auto copy = std::make_shared<TMTC>(picture->Width(), picture->Height());
    if (!copy->IsValid()) continue;
    for (int32_t y = 0; y < picture->Height(); ++y)
      std::memcpy(copy->Pixel(0, y), picture->Pixel(0, y), 4 * static_cast<size_t>(picture->Width()));
    m.floorPictures[i] = std::move(copy);
    m.floorResolutions[i] = textures[i]->resolution;
  }
}

}  // namespace

void RememberFilterBlock(FilterKey key, const void* block, int32_t size) {
  const SFilterCatalogueRow& row = FilterRow(key);
  if (block == nullptr || size != row.blockSize) return;
  SFilterMemory& m = FilterMemory(key);
  switch (size) {
    case kBlock8:
    case kBlock16:
    case kBlock24:
      if (key == FilterKey::Scale) {
        RememberScale(m, block);
        break;
      }
      if (key == FilterKey::Plasma) {
        RememberPlasma(m, block);
        break;
      }
      if (key == FilterKey::CloudsRock) {
        RememberCloudsRock(m, block);
        break;
      }
      std::memcpy(m.block, block, static_cast<size_t>(size));
      // The emboss block holds the dialog's angle negated; the angle is remembered as the dialog
      // shows it (its loader negates it back).
      if (key == FilterKey::Emboss) SetBlockWord(m.block, 0, static_cast<int32_t>(0u - static_cast<uint32_t>(BlockWord(block, 0))));
      break;
    case kBlock50: {
      const auto& b = *static_cast<const SFilterParam50*>(block);
      std::memcpy(m.inlineBytes, b.Inline(), sizeof m.inlineBytes);
      if (b.data != nullptr && b.DataLength() > 0) m.data.assign(b.data, b.data + b.DataLength());
      break;
    }
    case kBlockFloor: RememberFloor(m, *static_cast<const SFltFloor*>(block)); break;
    case kBlockGradientMap: {
      const auto& b = *static_cast<const SGradientMapBlock*>(block);
      m.gradientOptions = b.options;
      m.gradientReverse = b.reverse;
      break;
    }
    default: break;
  }
}

bool LoadLastFilter(FilterKey key, void* block, const CLayerData& layer) {
  const SFilterCatalogueRow& row = FilterRow(key);
  if (row.loader != nullptr) return row.loader(row, block, layer);
  const SFilterMemory& m = FilterMemory(key);
  switch (row.blockSize) {
    case kBlockNone: return true;
    case kBlock8:
    case kBlock16:
    case kBlock24:
      std::memcpy(block, m.block, static_cast<size_t>(row.blockSize));
      if (row.keepAlphaAt >= 0 && row.keepAlphaAt < row.blockSize)
        static_cast<uint8_t*>(block)[row.keepAlphaAt] = layer.alphaProtect;
      return true;
    case kBlock50: {
      auto& b = *static_cast<SFilterParam50*>(block);
      std::memcpy(b.Inline(), m.inlineBytes, sizeof m.inlineBytes);
      if (row.keepAlphaAt >= 0 && row.keepAlphaAt < SFilterParam50::kInlineSize)
        b.Inline()[row.keepAlphaAt] = layer.alphaProtect;
      const int32_t n = b.DataLength();
      if (n > 0 && b.data == nullptr) return false;
      if (n > 0) {
        std::memset(b.data, 0, static_cast<size_t>(n));
        std::memcpy(b.data, m.data.data(), std::min(static_cast<size_t>(n), m.data.size()));
      }
      return true;
    }
    case kBlockFloor: std::memcpy(static_cast<SFltFloor*>(block)->values, m.floorValues, sizeof m.floorValues); return true;
    case kBlockGradientMap: {
      auto& b = *static_cast<SGradientMapBlock*>(block);
      CGradMngr* gradients = MainGradMngr();
      CGradObj* current = gradients != nullptr ? gradients->Current() : nullptr;
      if (current == nullptr || current->Stops() == nullptr) {
        DebugOutF("filter %s: no gradient set gives the current gradient\n", row.keyName);
        return false;
      }
      b.stops = current->Stops();
      b.options = m.gradientOptions;
      b.reverse = m.gradientReverse;
      b.keepAlpha = layer.alphaProtect;
      return true;
    }
    default: return false;
  }
}

bool CanRepeatFilter() { return gRepeatHook != nullptr; }

std::string RepeatFilterName() { return RepeatNameText(); }

std::string RepeatFilterCaption() {
  const std::string name = RepeatFilterName();
  if (name.empty()) return texts::kFilterRepeat;
  char caption[256];
  std::snprintf(caption, sizeof caption, texts::kFilterRepeatFormat, name.c_str());
  return caption;
}

void ResetRepeatFilter() {
  gRepeatHook = nullptr;
  RepeatNameText().clear();
}

bool RunRepeatFilter(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool useLast) {
  if (gRepeatHook == nullptr) return false;
  return RunFilterCommand(gRepeatHook->key, paper, flow, layerIndex, useLast);
}

// ---------------------------------------------------------------------------------------------
// Commands

namespace {

// The block of one command or replay, for every size.
struct SBlockHolder {
  alignas(8) uint8_t words[24]{};
  SFilterParam50 block50{};
  std::vector<uint8_t> data;
  SFltFloor floor{};
  std::unique_ptr<TMTC> ceilingImage;
  std::unique_ptr<TMTC> floorImage;
  SGradientMapBlock gradientMap{};

  void* For(int32_t size) {
    switch (size) {
      case kBlock8:
      case kBlock16:
      case kBlock24: return words;
      case kBlock50: return &block50;
      case kBlockFloor: return &floor;
      case kBlockGradientMap: return &gradientMap;
      default: return nullptr;
    }
  }
};

// Clouds and clouds 2: colours from the tool window, a new seed, roughness 256, blend mode 0 or
// 16, opacity 255.
bool BuildCloudsBlock(const SFilterCatalogueRow& row, uint8_t* block) {
  uint32_t foreground = 0, background = 0;
  if (!GetPaperHost().ToolColours(foreground, background)) return false;
  StoreLE<uint32_t>(block + 0, foreground | 0xFF000000u);
  StoreLE<uint32_t>(block + 4, background | 0xFF000000u);
  StoreLE<uint32_t>(block + 8, timeGetTime());
  StoreLE<uint16_t>(block + 12, 256);
  block[14] = row.key == FilterKey::Clouds2 ? 16 : 0;
  block[15] = 255;
  return true;
}

// Luminance to alpha: the stroke's colour and mix flag 1.
bool BuildLuminanceToAlphaBlock(TPaper& paper, uint8_t* block) {
  const TStroke* stroke = paper.GetCurrentStroke();
  if (stroke == nullptr) {
    DebugOutF("filter LuminanceToAlpha: no stroke gives the colour\n");
    return false;
  }
  StoreLE<uint32_t>(block + 0, stroke->GetColor());
  StoreLE<uint32_t>(block + 4, 1);
  return true;
}

// The block from its dialog, from the remembered values, or built without either.
bool PrepareBlock(const SFilterCatalogueRow& row, SBlockHolder& b, CFlt4Core& core, TPaper& paper, bool useLast) {
  switch (row.blockSize) {
    case kBlock50:
      b.data.assign(static_cast<size_t>(row.dataBytes), 0);
      if (!InitFilterBlock50(b.block50, 1, row.dataBytes)) return false;
      b.block50.data = b.data.data();
      break;
    case kBlockFloor:
      InitFloorBlock(b.floor);
      b.ceilingImage = std::make_unique<TMTC>();
      b.floorImage = std::make_unique<TMTC>();
      b.floor.ceiling.image = b.ceilingImage.get();
      b.floor.floor.image = b.floorImage.get();
      break;
    case kBlockGradientMap: InitGradientMapBlock(b.gradientMap); break;
    default: break;
  }
  if (row.key == FilterKey::Clouds || row.key == FilterKey::Clouds2) return BuildCloudsBlock(row, b.words);
  if (row.key == FilterKey::LuminanceToAlpha) return BuildLuminanceToAlphaBlock(paper, b.words);
  if (row.dialog == nullptr) return true;  // a filter without parameters
  void* block = b.For(row.blockSize);
  if (useLast) {
    gLoadingMask = core.Mask();
    const bool loaded = LoadLastFilter(row.key, block, *core.Layer());
    gLoadingMask = nullptr;
    return loaded;
  }
  return GetFilterDialogHost().RunFilterDialog(row, core, block);
}

void SetRepeat(const SFilterCatalogueRow& row) {
  if (row.name == nullptr) return;  // luminance to alpha leaves Filter > Repeat as it was
  gRepeatHook = &row;
  RepeatNameText() = row.name;
}

// The gradient map: its block refers to colour stops, so it runs through Execute and records a
// 50-byte block whose data is the gradient record.
bool RunGradientMap(const SFilterCatalogueRow& row, CFlt4Core& core, SGradientMapBlock& block) {
  if (block.stops == nullptr) return false;
  MemoryStream stream;
  if (WriteGradientRecord(stream, *block.stops, block.options) != 0) return false;
  const int64_t size = stream.Size();
  // The record's size becomes the block's 16-bit data length.
  if (size <= 0 || size > kMaxBlockDataLength) {
    DebugOutF("filter %s: a gradient record of %lld bytes does not fit a filter block\n", row.keyName,
              static_cast<long long>(size));
    return false;
  }
  if (!core.Execute(&block, kBlockGradientMap, nullptr)) return false;
  SetRepeat(row);
  RefreshAfterFilter(core.FlowImage(), core.Paper(), core.LayerIndex());
  SFilterParam50 recorded{};
  InitFilterBlock50(recorded, 1, static_cast<int32_t>(size));
  StoreLE<int32_t>(recorded.Inline() + 0, block.stops->LastUsed() + 1);
  recorded.Inline()[4] = block.reverse;
  recorded.Inline()[5] = block.keepAlpha;
  recorded.data = stream.Data();
  core.RecordEvent50(row.eventId, recorded);
  core.CommitUndo();
  return true;
}

}  // namespace

bool RunFilterCommand(FilterKey key, TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool useLast) {
  const SFilterCatalogueRow& row = FilterRow(key);
  DocumentWindow* window = paper.GetDrawWindow();
  if (window == nullptr || !window->PrepareCommand(false, true)) return false;
  const FilterProc proc = FilterProcOf(key);
  if (proc == nullptr) {
    DebugOutF("filter %s (%s): its algorithm is not built yet\n", row.keyName, row.action);
    return false;
  }
  return paper.RunCommand(
      true, [] { return true; },
      [&](PaperCommand& command) {
        CFlt4Core core(paper, flow, layerIndex, proc, true);
        if (!core.IsValid()) {
          // No memory for the backup (or for the working copy to hold the layer) is said; the other
          // reasons (no layer, an empty selection) end the command silently.
          if (core.Failure() == FilterFailure::kNoBackup || core.Failure() == FilterFailure::kNoWorkingCopy)
            ShowCommandOutOfMemory();
          return false;
        }
        core.SetCommand(&command);
        SBlockHolder b;
        gCommandBounds = &core.Bounds();
        const bool prepared = PrepareBlock(row, b, core, paper, useLast);
        gCommandBounds = nullptr;
        if (!prepared) return false;
        bool ok;
        {
          WaitCursor cursor;
          ok = key == FilterKey::GradientMap ? RunGradientMap(row, core, b.gradientMap)
                                             : core.RunSized(row.eventId, b.For(row.blockSize), row.blockSize);
        }
        if (!ok) {
          if (core.Failure() == FilterFailure::kOutOfMemory) ShowCommandOutOfMemory();
          return false;
        }
        SetRepeat(row);
        return true;
      });
}

// ---------------------------------------------------------------------------------------------
// Replays

namespace {

bool ReplayBody(const SFilterCatalogueRow& row, FilterProc proc, TPaper& paper, TFlowImage* flow, int32_t layerIndex,
                const SFilterRecordedValues& values, bool record, int32_t keepAlpha) {
  CFlt4Core core(paper, flow, layerIndex, proc, record);
  if (!core.IsValid()) return false;
  if (row.replayKeepAlpha) core.SetKeepAlphaOverride(keepAlpha);
  SBlockHolder b;
  switch (row.blockSize) {
    case kBlockNone: return core.Run0(row.eventId);
    case kBlock8:
    case kBlock16:
    case kBlock24:
      if (values.wordCount != row.blockSize / 4) return false;
      for (int32_t i = 0; i < values.wordCount; ++i) SetBlockWord(b.words, i, values.words[i]);
      return core.RunSized(row.eventId, b.words, row.blockSize);
    case kBlock50: {
      if (values.header == nullptr) return false;
      const int32_t count = LoadLE<uint16_t>(values.header + 6);
      const int32_t itemSize = LoadLE<uint16_t>(values.header + 8);
      if (!InitFilterBlock50(b.block50, count, itemSize) || values.data.size() != static_cast<size_t>(count * itemSize))
        return false;
      std::memcpy(b.block50.Inline(), values.header + 18, SFilterParam50::kInlineSize);
      b.data.assign(values.data.begin(), values.data.end());
      b.block50.data = b.data.empty() ? nullptr : b.data.data();
      return core.Run50(row.eventId, b.block50);
    }
    case kBlockGradientMap: {
      if (values.gradient == nullptr || values.header == nullptr) return false;
      InitGradientMapBlock(b.gradientMap);
      b.gradientMap.stops = values.gradient;
      if (values.gradientOptions != nullptr) b.gradientMap.options = *values.gradientOptions;
      b.gradientMap.reverse = values.header[18 + 4];
      b.gradientMap.keepAlpha = static_cast<uint8_t>(keepAlpha != 0);
      if (!core.Execute(&b.gradientMap, kBlockGradientMap, nullptr)) return false;
      RefreshAfterFilter(flow, paper, layerIndex);
      return true;
    }
    case kBlockFloor: {
      if (values.data.size() != static_cast<size_t>(kFloorValueBytes)) return false;
      InitFloorBlock(b.floor);
      std::memcpy(b.floor.values, values.data.data(), kFloorValueBytes);
      // A texture from a file comes with the recording; one from the layer is the layer's part
      // under the selection scaled into 256 x 256, as the command made it.
      const TMTC* given[2] = {values.ceilingTexture, values.floorTexture};
      std::unique_ptr<TMTC>* made[2] = {&b.ceilingImage, &b.floorImage};
      SFltTexture* textures[2] = {&b.floor.ceiling, &b.floor.floor};
      for (int32_t i = 0; i < 2; ++i) {
        const bool fromFile = (b.floor.values[42] & b.floor.values[43] & (1 << i)) != 0;
        if (fromFile && given[i] != nullptr) {
          textures[i]->image = const_cast<TMTC*>(given[i]);
          continue;
        }
        if ((b.floor.values[42] & (1 << i)) == 0) continue;
        *made[i] = std::make_unique<TMTC>();
        if (!MakeLayerTexture(*core.Layer()->Store(), core.Bounds(), **made[i])) return false;
        textures[i]->image = made[i]->get();
      }
      if (!core.Execute(&b.floor, kBlockFloor, nullptr)) return false;
      RefreshAfterFilter(flow, paper, layerIndex);
      return true;
    }
    default: return false;
  }
}

}  // namespace

bool ReplayFilter(FilterKey key, TPaper& paper, TFlowImage* flow, int32_t layerIndex,
                  const SFilterRecordedValues& values, bool record, int32_t keepAlpha) {
  const SFilterCatalogueRow& row = FilterRow(key);
  const FilterProc proc = FilterProcOf(key);
  if (proc == nullptr) {
    DebugOutF("filter %s: its algorithm is not built yet; event %u cannot be replayed\n", row.keyName, row.eventId);
    return false;
  }
  try {
    return ReplayBody(row, proc, paper, flow, layerIndex, values, record, keepAlpha);
  } catch (...) {
    return false;
  }
}

namespace {

bool ReplayBoxBlur(FilterProc proc, uint8_t eventId, TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool record,
                   int32_t keepAlpha) {
  try {
    CFlt4Core core(paper, flow, layerIndex, proc, record);
    if (!core.IsValid()) return false;
    core.SetKeepAlphaOverride(keepAlpha);
    return core.Run0(eventId);
  } catch (...) {
    return false;
  }
}

}  // namespace

bool ReplayBlurV1(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool record, int32_t keepAlpha) {
  return ReplayBoxBlur(&BlurBoxFilter, 0, paper, flow, layerIndex, record, keepAlpha);
}

bool ReplayBlurMoreV1(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool record, int32_t keepAlpha) {
  return ReplayBoxBlur(&BlurMoreBoxFilter, 1, paper, flow, layerIndex, record, keepAlpha);
}

bool ReplayColorBalanceV1(TPaper& paper, TFlowImage* flow, int32_t layerIndex, const SFilterRecordedValues& values,
                          bool record, int32_t keepAlpha) {
  return ReplayFilter(FilterKey::ColorBalance, paper, flow, layerIndex, values, record, keepAlpha);
}

bool ReplayWaveVariant(int32_t variant, TPaper& paper, TFlowImage* flow, int32_t layerIndex,
                       const SFilterRecordedValues& values, bool record, int32_t keepAlpha) {
  const FilterProc proc = variant == 0 ? &WaveFilterV0 : variant == 1 ? &WaveFilterV1 : &WaveFilterV2;
  const uint8_t id = variant == 0 ? 69 : variant == 1 ? 80 : 85;
  try {
    CFlt4Core core(paper, flow, layerIndex, proc, record);
    if (!core.IsValid() || values.wordCount != 2) return false;
    uint8_t block[8];
    SetBlockWord(block, 0, values.words[0]);
    SetBlockWord(block, 1, values.words[1]);
    (void)keepAlpha;
    return core.Run8(id, block);
  } catch (...) {
    return false;
  }
}

bool ReplayLuminanceToAlphaWithoutColour(TPaper& paper, TFlowImage* flow, int32_t layerIndex, bool record) {
  const TStroke* stroke = paper.GetCurrentStroke();
  if (stroke == nullptr) return false;
  SFilterRecordedValues values;
  values.words[0] = static_cast<int32_t>(stroke->GetColor());
  values.words[1] = 0;
  values.wordCount = 2;
  return ReplayFilter(FilterKey::LuminanceToAlpha, paper, flow, layerIndex, values, record, 0);
}

}  // namespace tf
