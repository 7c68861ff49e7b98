// The blend-mode table, the merge, pair and legacy tables, the two orders of the modes and the
// drawing of flat images through a mode.
#include "document/BlendMode.h"

#include "document/BlendFunctions.h"
#include "platform/Clock.h"
#include "platform/ResourceText.h"

namespace tf {

namespace {

// Texts of the names, by mode id (resources/texts/document.txt).
constexpr TextId kNameIds[kBlendModeCount] = {
    TextId::BlendMultiply,    TextId::BlendAdd,         TextId::BlendSubtract,   TextId::BlendNormal,
    TextId::BlendScreen,      TextId::BlendOverlay,     TextId::BlendHardLight,  TextId::BlendSoftLight,
    TextId::BlendDifference,  TextId::BlendExclusion,   TextId::BlendDarken,     TextId::BlendLighten,
    TextId::BlendBurn,        TextId::BlendDodge,       TextId::BlendHue,        TextId::BlendSaturation,
    TextId::BlendColor,       TextId::BlendLuminosity,  TextId::BlendLinearBurn, TextId::BlendLinearLight,
    TextId::BlendVividLight,  TextId::BlendPinLight,
};

template <PixelOp Weighted, PixelOp SourceAlpha>
constexpr SLayerParam Entry(int32_t id, uint32_t neutral, uint32_t start, int32_t flags) {
  return SLayerParam{id,
                     BuiltinText(kNameIds[id]),
                     neutral,
                     SourceAlpha,
                     Weighted,
                     start,
                     flags,
                     RowOpsOf<SourceAlpha>(),
                     WeightedRowOf<Weighted>()};
}

// The table of modes, in id order. The names start as the built-in texts; LoadBlendModeNames
// replaces them with the resource texts.
SLayerParam gModes[kBlendModeCount] = {
    Entry<MultiplyOp, PixelMultiplySourceAlpha>(0, 0xFFFFFF, 0xFFFFFF, 0x20),
    Entry<AddOp, PixelAddSourceAlpha>(1, 0x000000, 0x000000, 0x20),
    Entry<SubtractOp, PixelSubtractSourceAlpha>(2, 0x000000, 0xFFFFFF, 0x21),
    Entry<BlendColor, PixelBlendSourceAlpha>(3, 0xFFFFFF, 0x000000, 0x00),
    Entry<ScreenOp, ScreenSrcOp>(4, 0x000000, 0x000000, 0x22),
    Entry<OverlayOp, OverlaySrcOp>(5, 0x7F7F7F, 0x7F7F7F, 0x26),
    Entry<HardLightOp, HardLightSrcOp>(6, 0x7F7F7F, 0x7F7F7F, 0x26),
    Entry<SoftLightOp, SoftLightSrcOp>(7, 0x7F7F7F, 0x7F7F7F, 0x26),
    Entry<DifferenceOp, DifferenceSrcOp>(8, 0x000000, 0x000000, 0x22),
    Entry<ExclusionOp, ExclusionSrcOp>(9, 0x000000, 0x000000, 0x22),
    Entry<DarkenOp, DarkenSrcOp>(10, 0xFFFFFF, 0xFFFFFF, 0x22),
    Entry<LightenOp, LightenSrcOp>(11, 0x000000, 0x000000, 0x22),
    Entry<BurnOp, BurnSrcOp>(12, 0xFFFFFF, 0xFFFFFF, 0x22),
    Entry<DodgeOp, DodgeSrcOp>(13, 0x000000, 0x000000, 0x22),
    Entry<HueOp, HueSrcOp>(14, 0x000000, 0xFFFFFF, 0x1A),
    Entry<SaturationOp, SaturationSrcOp>(15, 0x000000, 0xFFFFFF, 0x1A),
    Entry<ColorOp, ColorSrcOp>(16, 0x000000, 0xFFFFFF, 0x1A),
    Entry<LuminosityOp, LuminositySrcOp>(17, 0x000000, 0xFFFFFF, 0x1A),
    Entry<LinearBurnOp, LinearBurnSrcOp>(18, 0xFFFFFF, 0xFFFFFF, 0x20),
    Entry<LinearLightOp, LinearLightSrcOp>(19, 0x7F7F7F, 0x7F7F7F, 0x26),
    Entry<VividLightOp, VividLightSrcOp>(20, 0xFFFFFF, 0xFFFFFF, 0x02),
    Entry<PinLightOp, PinLightSrcOp>(21, 0x7F7F7F, 0x7F7F7F, 0x26),
};

// Storage of the loaded names.
std::string gNames[kBlendModeCount];

template <PixelOp Op>
constexpr SMergeRoutine Merge() {
  return SMergeRoutine{Op, RowOpsOf<Op>()};
}

// Merge routines, in id order.
constexpr SMergeRoutine kMerges[kBlendModeCount] = {
    Merge<PixelMultiplyOver>(),          // multiply merge
    Merge<PixelAddOverOpaque>(),         // add merge
    Merge<PixelAddOverOpaque>(),         // add merge
    Merge<PixelPaintOverSourceAlpha>(),  // normal merge
    Merge<ScreenMergeOp>(),
    Merge<OverlayMergeOp>(),
    Merge<HardLightMergeOp>(),
    Merge<SoftLightMergeOp>(),
    Merge<DifferenceMergeOp>(),
    Merge<ExclusionMergeOp>(),
    Merge<DarkenMergeOp>(),
    Merge<LightenMergeOp>(),
    Merge<BurnMergeOp>(),
    Merge<DodgeMergeOp>(),
    Merge<HueMergeOp>(),
    Merge<SaturationMergeOp>(),
    Merge<ColorMergeOp>(),
    Merge<LuminosityMergeOp>(),
    Merge<LinearBurnMergeOp>(),
    Merge<LinearLightMergeOp>(),
    Merge<VividLightMergeOp>(),
    Merge<PinLightMergeOp>(),
};

// Pair table, searched in this order.
constexpr SBlendPair kPairs[6] = {
    {0, 0, Merge<PixelMultiplyOver>()},         {2, 2, Merge<PixelAddOverOpaque>()},
    {3, 0, Merge<PixelMultiplyOver>()},         {0, 3, Merge<PixelPaintOverSourceAlpha>()},
    {3, 3, Merge<PixelPaintOverSourceAlpha>()}, {1, 1, Merge<PixelAddOverOpaque>()},
};
constexpr int32_t kPairSearchLength[4] = {2, 2, 4, 6};

constexpr SLegacyOpPair kLegacyPairs[4] = {
    {OldCompositeMultiply, MultiplyOp, RowOpsOf<MultiplyOp>()},
    {OldCompositeAdd, AddOp, RowOpsOf<AddOp>()},
    {OldCompositeSubtract, SubtractOp, RowOpsOf<SubtractOp>()},
    {OldCompositeSourceAlpha, PixelBlendSourceAlpha, RowOpsOf<PixelBlendSourceAlpha>()},
};

// Layer mode id -> TBlendMode value, and back.
constexpr uint8_t kLayerToBlend[kBlendModeCount] = {6, 4, 9, 0,  2,  10, 12, 11, 16, 17, 5,
                                                    1, 7, 3, 18, 19, 20, 21, 8,  14, 13, 15};
struct BlendToLayerTable {
  uint8_t value[kBlendModeCount];
};
constexpr BlendToLayerTable MakeBlendToLayer() {
  BlendToLayerTable t{};
  for (int32_t id = 0; id < kBlendModeCount; ++id) t.value[kLayerToBlend[id]] = static_cast<uint8_t>(id);
  return t;
}
constexpr BlendToLayerTable kBlendToLayer = MakeBlendToLayer();

// Seed range of a fresh dissolve record (as a layer's own record is made).
constexpr int32_t kDissolveLow = 0;
constexpr int32_t kDissolveHigh = 255;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Names

const char* DefaultBlendModeName(int32_t mode) {
  return mode >= 0 && mode < kBlendModeCount ? BuiltinText(kNameIds[mode]) : "";
}

void LoadBlendModeNames(BlendNameLookup lookup) {
  for (int32_t id = 0; id < kBlendModeCount; ++id) {
    std::string text;
    if (lookup == nullptr) {
      text = Tx(kNameIds[id]);
    } else if (!lookup(id, text)) {
      text = BuiltinText(kNameIds[id]);
    }
    gNames[id] = std::move(text);
    gModes[id].name = gNames[id].c_str();
  }
}

void ReleaseBlendModeNames() {
  for (int32_t id = 0; id < kBlendModeCount; ++id) {
    gModes[id].name = "";
    std::string().swap(gNames[id]);
  }
}

// ---------------------------------------------------------------------------------------------
// Look-ups

const SLayerParam* GetBlendModeEntry(uint32_t mode) {
  const uint32_t id = mode & 0x7Fu;
  return id < static_cast<uint32_t>(kBlendModeCount) ? &gModes[id] : nullptr;
}

bool GetBlendModeName(int32_t mode, std::string& name) {
  if (mode < 0 || mode >= kBlendModeCount) {
    name.clear();
    return false;
  }
  name = gModes[mode].name;
  return true;
}

uint32_t GetBlendModeNeutralColor(uint32_t mode) {
  const SLayerParam* entry = GetBlendModeEntry(mode);
  return entry != nullptr ? entry->neutralColor : 0x00FFFFFFu;
}

const SMergeRoutine& GetMergeRoutine(uint32_t mode) {
  const uint32_t id = mode & 0x7Fu;
  return id < static_cast<uint32_t>(kBlendModeCount) ? kMerges[id] : kMerges[kModeNormal];
}

SCompositeRowOps MergeDescriptor(uint32_t mode) {
  const SLayerParam* entry = GetBlendModeEntry(mode);
  if (entry == nullptr) entry = &gModes[kModeNormal];
  return SCompositeRowOps{entry->startColor, 0, WeightedRowOf<BlendColor>(), entry->weightedRows};
}

uint8_t BlendModeToLayerMode(uint32_t blendMode) {
  const uint32_t i = blendMode & 0x7Fu;
  return i < static_cast<uint32_t>(kBlendModeCount) ? kBlendToLayer.value[i] : uint8_t{0xFF};
}

uint8_t LayerModeToBlendMode(uint32_t layerMode) {
  const uint32_t i = layerMode & 0x7Fu;
  return i < static_cast<uint32_t>(kBlendModeCount) ? kLayerToBlend[i] : uint8_t{0xFF};
}

std::string BlendModeName(uint32_t blendMode) {
  const SLayerParam* entry = GetBlendModeEntry(BlendModeToLayerMode(blendMode));
  return entry != nullptr ? std::string(entry->name) : std::string();
}

const SBlendPair* FindBlendPair(uint32_t destMode, uint32_t sourceMode, uint32_t selector) {
  if (selector > 3) return nullptr;
  for (int32_t i = 0; i < kPairSearchLength[selector]; ++i)
    if (kPairs[i].destMode == destMode && kPairs[i].sourceMode == sourceMode) return &kPairs[i];
  return nullptr;
}

const SLegacyOpPair& GetLegacyOpPair(uint32_t mode) {
  const uint32_t id = mode & 0x7Fu;
  return kLegacyPairs[id < 3 ? id : 3];
}

SCompositeRowOps LayerCompositeDescriptor(uint32_t destMode, uint32_t sourceMode, bool zeroAlphaOption) {
  const SLayerParam* lower = GetBlendModeEntry(destMode);
  const SLayerParam* upper = GetBlendModeEntry(sourceMode);
  if (lower == nullptr) lower = &gModes[kModeNormal];
  if (upper == nullptr) upper = &gModes[kModeNormal];
  SCompositeRowOps ops;
  ops.startColor = upper->startColor == lower->startColor
                       ? upper->startColor
                       : (upper->startColor > lower->startColor ? upper->startColor : lower->startColor);
  ops.flags = static_cast<uint8_t>(upper->flags | (zeroAlphaOption ? kCompositeSkipZeroAlpha : 0));
  ops.destination = lower->weightedRows;
  ops.source = upper->weightedRows;
  return ops;
}

SCompositeOps LayerCompositeOps(uint32_t destMode, uint32_t sourceMode, bool zeroAlphaOption) {
  const SLayerParam* lower = GetBlendModeEntry(destMode);
  const SLayerParam* upper = GetBlendModeEntry(sourceMode);
  if (lower == nullptr) lower = &gModes[kModeNormal];
  if (upper == nullptr) upper = &gModes[kModeNormal];
  const SCompositeRowOps rows = LayerCompositeDescriptor(destMode, sourceMode, zeroAlphaOption);
  SCompositeOps ops;
  ops.startColor = rows.startColor;
  ops.flags = rows.flags;
  ops.destination = lower->weighted;
  ops.source = upper->weighted;
  ops.destinationRows = rows.destination;
  ops.sourceRows = rows.source;
  return ops;
}

// ---------------------------------------------------------------------------------------------
// Flat images

bool BlendImageIntoImage(TMTC& display, const TMTC& source, const SBlendLayer& layer, uint32_t modeWord,
                         SRectWH& sourceRect, TPoint& destPoint) {
  const SLayerParam* entry = GetBlendModeEntry(layer.mode);
  if (entry == nullptr) return false;
  const SBlendPair* pair = FindBlendPair(kModeNormal, layer.mode, modeWord & 0xFFFFu);
  if (pair != nullptr)
    return CombineRowsFrom(display, source, destPoint, sourceRect, 255, layer.opacity, pair->routine.rows.pixels);
  // Normal mode's start colour is 0, so the larger of the two is the layer mode's.
  const SCompositeRowOps ops =
      LayerCompositeDescriptor(kModeNormal, layer.mode, (modeWord & kModeWordZeroAlpha) != 0);
  return CompositeRowsFrom(display, source, destPoint, sourceRect, 255, layer.opacity, ops);
}

bool DrawImageAsLayer(TMTC& display, const TMTC& source, TPoint& destPoint, bool reseed, const SBlendLayer& layer,
                      SRectWH& sourceRect) {
  const SLayerParam* entry = GetBlendModeEntry(layer.mode);
  if (entry == nullptr) return false;
  if (!layer.dissolve)
    return CombineRowsTo(source, display, destPoint, sourceRect, layer.opacity, entry->sourceAlphaRows.pixels);
  SRandom random = layer.random;
  if (reseed) RandomInit(random, static_cast<int32_t>(timeGetTime()), kDissolveLow, kDissolveHigh);
  SetRandomThreshold(entry->sourceAlpha, random, layer.dissolveThreshold);
  if (!display.IsValid() || !source.IsValid()) return false;
  if (!ClipBlit(display.Size(), source.Size(), destPoint, sourceRect)) return false;
  const bool result = DissolveRowsToRaw(source, display, destPoint, sourceRect, layer.opacity,
                                        entry->sourceAlphaRows.pixels, random, layer.dissolveThreshold);
  // The slot ends as the pixel-by-pixel pass leaves it: the record advanced by every draw.
  SetRandomThreshold(entry->sourceAlpha, random, layer.dissolveThreshold);
  return result;
}

bool ApplyLegacyImageOp(TMTC& display, const TMTC& source, const SRectWH& sourceRect, const TPoint& destPoint,
                        int32_t value, int32_t kind) {
  const SLegacyOpPair& pair = GetLegacyOpPair(static_cast<uint32_t>(kind));
  return pair.block(display, source, sourceRect.left, sourceRect.top, sourceRect.width, sourceRect.height,
                    destPoint.x, destPoint.y, value);
}

void FillImageNeutral(TMTC& image, uint32_t mode) {
  SRectWH rect{0, 0, image.Width(), image.Height()};
  image.MaskedFillRect(rect, 0x00FFFFFFu, GetBlendModeNeutralColor(mode));
}

}  // namespace tf
