// The pixel writer chain, the plot hooks, the air maps and the lightness curve.
#include "paint/PixelWriters.h"

#include <cmath>

#include "paint/Stroke.h"
#include "platform/Debug.h"
#include "raster/FlatImage.h"
#include "raster/SafeConvert.h"

namespace tf {

namespace {

SWriterState MakeStartState() {
  SWriterState s{};
  s.channelStage1 = &ChannelValuePlain;
  s.imageStage1 = &ImageValuePlain;
  s.channelStage2 = &ChannelWriteMax;
  s.colourWriter = &BlendColor;
  s.window = nullptr;
  s.tone = nullptr;
  s.mask = nullptr;
  s.maskOffset = {0, 0};
  s.locked = false;
  s.airMapKind = 3;
  AirMapLinear(s.airMap);
  for (int32_t i = 0; i < kAirMapEntries; ++i) {
    s.lightnessCurve[i] = static_cast<int32_t>((int64_t{i} * 65536) / (kAirMapEntries - 1));
  }
  return s;
}

SWriterState& State() {
  static SWriterState state = MakeStartState();
  return state;
}

}  // namespace

SWriterState& WriterState() { return State(); }

void ResetPixelWriters() {
  State() = MakeStartState();
  SetPlotters(nullptr, nullptr);
}

ChannelStage1 SetChannelStage1(ChannelStage1 stage) {
  const ChannelStage1 before = State().channelStage1;
  State().channelStage1 = stage != nullptr ? stage : &ChannelValuePlain;
  return before;
}

ImageStage1 SetImageStage1(ImageStage1 stage) {
  const ImageStage1 before = State().imageStage1;
  State().imageStage1 = stage != nullptr ? stage : &ImageValuePlain;
  return before;
}

ChannelStage2 SetChannelStage2(ChannelStage2 stage) {
  const ChannelStage2 before = State().channelStage2;
  State().channelStage2 = stage != nullptr ? stage : &ChannelWriteMax;
  return before;
}

PixelOp SetColourWriter(PixelOp writer) {
  const PixelOp before = State().colourWriter;
  State().colourWriter = writer != nullptr ? writer : &BlendColor;
  return before;
}

// ---------------------------------------------------------------------------------------------
// Window, tone and mask

void SetCurrentDrawWindow(PaintDocument* window) {
  State().window = window;
  RefreshToneAndMask();
}

void RefreshToneAndMask() {
  SWriterState& s = State();
  PaintDocument* window = s.window;
  s.tone = window != nullptr ? window->GetToneSampler() : nullptr;
  s.mask = nullptr;
  s.maskOffset = {0, 0};
  if (window != nullptr && window->IsSelectionEnabled()) {
    s.mask = window->GetActiveMask();
    if (s.mask != nullptr && s.mask->IsAllocated()) {
      const TPoint origin = window->GetActiveMaskOrigin();
      const TPoint offset = window->GetActiveLayerOffset();
      s.maskOffset = {SubSat(origin.x, offset.x), SubSat(origin.y, offset.y)};
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Choosing the stages

void UpdateStrokeWriters(TStroke& stroke) {
  RefreshToneAndMask();
  SetAirMap(&stroke, stroke.GetAirMapKind(), false);
  SWriterState& s = State();
  if (s.locked) return;
  const bool tone = stroke.GetUseTone();
  const bool gradation = stroke.GetUseGradation();
  const bool mask = s.mask != nullptr && s.mask->IsAllocated();
  if (tone && s.tone == nullptr) DebugOut("UpdateStrokeWriters: tone stage without a tone source; it writes nothing\n");
  if (gradation && s.window == nullptr) {
    DebugOut("UpdateStrokeWriters: gradation stage without a document; it writes nothing\n");
  }
  static constexpr ChannelStage1 kChannel[2][2] = {{&ChannelValuePlain, &ChannelValueMask},
                                                    {&ChannelValueTone, &ChannelValueToneMask}};
  static constexpr ImageStage1 kImage[2][2][2] = {
      {{&ImageValuePlain, &ImageValueMask}, {&ImageValueGradation, &ImageValueGradationMask}},
      {{&ImageValueTone, &ImageValueToneMask}, {&ImageValueToneGradation, &ImageValueToneGradationMask}}};
  s.channelStage1 = kChannel[tone][mask];
  s.imageStage1 = kImage[tone][gradation][mask];
  SetPlotters(&ChannelPlot, &ImagePlot);
  s.colourWriter = stroke.GetKeepAlpha() ? &BlendColor : &PixelPaintOver;
}

void BindStrokeToPaper(TStroke& stroke, PaintDocument* paper) {
  UpdateStrokeWriters(stroke);
  if (paper == nullptr) return;
  if (paper->HasLayers()) stroke.SetKeepAlpha(paper->ActiveLayerKeepsAlpha(), true);
  if (paper->IsLockedForPlayback() && !paper->HasModernEngine()) State().colourWriter = &BlendColor;
}

void InitStrokeWriters(TStroke& stroke) {
  SetAirMap(&stroke, stroke.GetAirMapKind(), true);
  BindStrokeToPaper(stroke, nullptr);
}

// ---------------------------------------------------------------------------------------------
// First stages (the function forms of the dispatch's functors)

namespace {
using writer_detail::ChannelWriterPointer;
using writer_detail::ColourWriterPointer;

template <bool kMask, bool kTone, bool kGradation>
void RunImageStage(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour) {
  const SWriterState& s = State();
  writer_detail::MakeImageStage<kMask, kTone, kGradation>(s, ColourWriterPointer{s.colourWriter})(pixel, x, y, value,
                                                                                                  colour);
}

template <bool kMask, bool kTone>
void RunChannelStage(uint8_t* pixel, int32_t x, int32_t y, int32_t value, int32_t extra) {
  const SWriterState& s = State();
  writer_detail::MakeChannelStage<kMask, kTone>(s, ChannelWriterPointer{s.channelStage2})(pixel, x, y, value, extra);
}
}  // namespace

void ChannelValuePlain(uint8_t* p, int32_t x, int32_t y, int32_t v, int32_t e) { RunChannelStage<false, false>(p, x, y, v, e); }
void ChannelValueMask(uint8_t* p, int32_t x, int32_t y, int32_t v, int32_t e) { RunChannelStage<true, false>(p, x, y, v, e); }
void ChannelValueTone(uint8_t* p, int32_t x, int32_t y, int32_t v, int32_t e) { RunChannelStage<false, true>(p, x, y, v, e); }
void ChannelValueToneMask(uint8_t* p, int32_t x, int32_t y, int32_t v, int32_t e) {
  RunChannelStage<true, true>(p, x, y, v, e);
}

void ImageValuePlain(uint32_t* p, int32_t x, int32_t y, int32_t v, uint32_t c) { RunImageStage<false, false, false>(p, x, y, v, c); }
void ImageValueMask(uint32_t* p, int32_t x, int32_t y, int32_t v, uint32_t c) { RunImageStage<true, false, false>(p, x, y, v, c); }
void ImageValueGradation(uint32_t* p, int32_t x, int32_t y, int32_t v, uint32_t c) {
  RunImageStage<false, false, true>(p, x, y, v, c);
}
void ImageValueGradationMask(uint32_t* p, int32_t x, int32_t y, int32_t v, uint32_t c) {
  RunImageStage<true, false, true>(p, x, y, v, c);
}
void ImageValueTone(uint32_t* p, int32_t x, int32_t y, int32_t v, uint32_t c) { RunImageStage<false, true, false>(p, x, y, v, c); }
void ImageValueToneMask(uint32_t* p, int32_t x, int32_t y, int32_t v, uint32_t c) {
  RunImageStage<true, true, false>(p, x, y, v, c);
}
void ImageValueToneGradation(uint32_t* p, int32_t x, int32_t y, int32_t v, uint32_t c) {
  RunImageStage<false, true, true>(p, x, y, v, c);
}
void ImageValueToneGradationMask(uint32_t* p, int32_t x, int32_t y, int32_t v, uint32_t c) {
  RunImageStage<true, true, true>(p, x, y, v, c);
}

// ---------------------------------------------------------------------------------------------
// Plot hooks

bool ChannelPlot(TChannel& channel, int32_t x, int32_t y, int32_t value, int32_t extra) {
  if (!channel.IsValid() || !PointInSize(x, y, channel.Width(), channel.Height())) return false;
  State().channelStage1(PixelAddr8(channel.View(), x, y), x, y, value, extra);
  return true;
}

void ImagePlot(TMTC& image, int32_t x, int32_t y, uint32_t colour, int32_t value) {
  if (!image.IsValid() || !PointInSize(x, y, image.Width(), image.Height())) return;
  State().imageStage1(image.Pixel(x, y), x, y, value, colour);
}

void SetPlotters(DotPlotter channelPlot, SoftDotPlotter imagePlot) {
  SetDotPlotter(channelPlot);
  SetSoftDotPlotter(imagePlot);
}

// ---------------------------------------------------------------------------------------------
// Air maps

void SetAirMap(TStroke* stroke, uint8_t kind, bool force) {
  if (stroke != nullptr) stroke->StoreAirMapKind(kind);
  SWriterState& s = State();
  if (force || kind != s.airMapKind) {
    BuildAirMap(kind, s.airMap);
    s.airMapKind = kind;
  }
}

bool BuildAirMap(uint8_t kind, int32_t* table) {
  switch (kind & 0x7F) {
    case 0: AirMapHard(table); return true;
    case 1: AirMapCircle(table); return true;
    case 2: AirMapSmooth(table); return true;
    case 3: AirMapLinear(table); return true;
    case 4: AirMapInverseCircle(table); return true;
    default: return false;  // 127 and 255 come from settings and recordings: the table stays
  }
}

namespace {
constexpr int32_t kFull = 255 << 16;

// trunc(f * (255 << 16)) of a curve f evaluated in single precision at x = i / 2047.
template <class Curve>
void FillAirMap(int32_t* table, Curve curve) {
  for (int32_t i = 0; i < kAirMapEntries; ++i) {
    const float x = static_cast<float>(i) / 2047.0f;
    table[i] = TruncClamped(curve(x) * static_cast<float>(kFull), 0, kFull);
  }
}
}  // namespace

void AirMapHard(int32_t* table) {
  for (int32_t i = 0; i < kAirMapEntries; ++i) table[i] = i < 1844 ? kFull : kFull - MulDiv(kFull, i - 1844, 203);
}

void AirMapCircle(int32_t* table) {
  FillAirMap(table, [](float x) { return std::sqrt(1.0f - x * x); });
}

void AirMapSmooth(int32_t* table) {
  FillAirMap(table, [](float x) { return 2.0f * x * x * x - 3.0f * x * x + 1.0f; });
}

void AirMapLinear(int32_t* table) {
  for (int32_t i = 0; i < kAirMapEntries; ++i) table[i] = MulDiv(kFull, 2047 - i, 2047);
}

void AirMapInverseCircle(int32_t* table) {
  FillAirMap(table, [](float x) {
    const float y = 1.0f - x;
    return 1.0f - std::sqrt(1.0f - y * y);
  });
}

// ---------------------------------------------------------------------------------------------
// Lightness curve

void BuildLightnessCurve(float k) {
  int32_t* table = State().lightnessCurve;
  for (int32_t i = 0; i < kAirMapEntries; ++i) {
    const double value = std::pow(static_cast<double>(i) / 2047.0, static_cast<double>(k));
    table[i] = TruncClamped(ClampDoubleChecked(value, 0.0, 1.0) * 65536.0, 0, 65536);
  }
}

int32_t LightnessCurveLookup(int32_t lightness) {
  int32_t index = ((lightness >> 13) * 2047) / 2040;
  index = index < 0 ? 0 : (index > 2047 ? 2047 : index);
  return State().lightnessCurve[index] * 255;
}

void PixelLightnessCurve(uint32_t* pixel, uint32_t /*colour*/, int32_t v) {
  SHSLFix hsl;
  PixelToHSL(pixel, hsl);
  hsl.lightness = LightnessCurveLookup(hsl.lightness);
  uint32_t changed = *pixel;
  HSLToPixel(hsl, &changed);
  BlendColor(pixel, changed, v);
}

}  // namespace tf
