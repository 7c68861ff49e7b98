// The pixel writer chain, the plot hooks, the air maps and the lightness curve.
#pragma once
// Every pixel a stroke, a dab, a text job or a shape fill paints passes a chain of two stages:
// the dab routine computes a value 0..255 and hands it to stage 1, which modulates it by the
// selection mask and the screen tone or replaces the colour by the gradation; stage 2 writes the
// pixel (an 8-bit channel writer, or the colour writer of 32-bit images).
//
// The chain is process-wide state of the one painting thread, kept in slots (function pointers)
// that UpdateStrokeWriters chooses per stroke and dab routines may swap for one dab (restored by
// ScopedColourWriter, also on failure). A dab never looks a stage up per pixel: WithImageWriter
// and WithChannelWriter read the slots once and hand the dab's loop one functor in which both
// stages are inlined (a stage or writer installed from elsewhere is called through its pointer).
// ResetPixelWriters restores the start-up state (for tests).
#include <cstdint>

#include "paint/PaintDocument.h"
#include "raster/ChannelShapes.h"
#include "raster/ColorMath.h"
#include "raster/Composite.h"
#include "raster/Drawing.h"
#include "raster/PixelOps.h"

namespace tf {

class TStroke;
class TChannel;
class TMTC;

// Stage 1 of 8-bit channels: (pixel, x, y, value, extra).
using ChannelStage1 = void (*)(uint8_t* pixel, int32_t x, int32_t y, int32_t value, int32_t extra);
// Stage 1 of 32-bit images: (pixel, x, y, value, colour).
using ImageStage1 = void (*)(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);
// Stage 2 of 8-bit channels: (pixel, extra, value).
using ChannelStage2 = void (*)(uint8_t* pixel, int32_t extra, int32_t value);
// Stage 2 of 32-bit images is the colour writer, a PixelOp: (pixel, colour, value).

// Entries of the air map and of the lightness curve.
inline constexpr int32_t kAirMapEntries = 2048;

// ---------------------------------------------------------------------------------------------
// Process-wide state

struct SWriterState {
  ChannelStage1 channelStage1;
  ImageStage1 imageStage1;
  ChannelStage2 channelStage2;
  PixelOp colourWriter;
  PaintDocument* window;  // the current draw window
  ToneSampler* tone;      // the tone manager in use
  MaskSampler* mask;      // the active selection mask, or null
  TPoint maskOffset;      // the mask's offset relative to the active layer
  bool locked;            // the writer lock
  uint8_t airMapKind;
  int32_t airMap[kAirMapEntries];
  int32_t lightnessCurve[kAirMapEntries];
};

// The one state (read by the inline dispatch below).
SWriterState& WriterState();
// Start-up values: plain first stages, ChannelWriteMax, BlendColor; no window, tone or mask;
// unlocked; the air map of kind 3; the lightness curve of k = 1.
void ResetPixelWriters();

inline ChannelStage1 GetChannelStage1() { return WriterState().channelStage1; }
inline ImageStage1 GetImageStage1() { return WriterState().imageStage1; }
inline ChannelStage2 GetChannelStage2() { return WriterState().channelStage2; }
inline PixelOp GetColourWriter() { return WriterState().colourWriter; }
// Each stores the stage (null restores the start-up one) and returns the one before.
ChannelStage1 SetChannelStage1(ChannelStage1 stage);
ImageStage1 SetImageStage1(ImageStage1 stage);
ChannelStage2 SetChannelStage2(ChannelStage2 stage);
PixelOp SetColourWriter(PixelOp writer);

// While set, UpdateStrokeWriters refreshes the window state and the air map but keeps the
// stages (the draw window sets it around operations that install writers of their own).
inline bool IsWriterLocked() { return WriterState().locked; }
inline void SetWriterLock(bool locked) { WriterState().locked = locked; }

// Replaces the colour writer for its lifetime (one dab) and restores the one before, also when
// the dab fails or raises.
class ScopedColourWriter {
 public:
  explicit ScopedColourWriter(PixelOp writer) : saved_(SetColourWriter(writer)) {}
  ~ScopedColourWriter() { WriterState().colourWriter = saved_; }
  ScopedColourWriter(const ScopedColourWriter&) = delete;
  ScopedColourWriter& operator=(const ScopedColourWriter&) = delete;

 private:
  PixelOp saved_;
};

// ---------------------------------------------------------------------------------------------
// Window, tone and mask

// Stores the window (null for none) and refreshes the tone and mask state.
void SetCurrentDrawWindow(PaintDocument* window);
inline PaintDocument* GetCurrentDrawWindow() { return WriterState().window; }
// Tone := the window's; mask := the document's active mask when its selection is enabled (offset
// = mask origin - active layer offset when the mask is allocated, else (0, 0)), else none.
void RefreshToneAndMask();

// ---------------------------------------------------------------------------------------------
// Choosing the stages

// RefreshToneAndMask and the air map of the stroke's kind; unless locked, the first stages by
// the stroke's tone and gradation switches and whether the mask is allocated, the plot hooks,
// and the colour writer (BlendColor when the stroke keeps alpha, else PixelPaintOver).
void UpdateStrokeWriters(TStroke& stroke);
// UpdateStrokeWriters; with a document that has layers the stroke keeps alpha as the active
// layer does; a document locked for playback that runs the oldest engine writes with BlendColor.
void BindStrokeToPaper(TStroke& stroke, PaintDocument* paper);
// At main window creation: the air map of the stroke's kind rebuilt, then BindStrokeToPaper
// without a document.
void InitStrokeWriters(TStroke& stroke);

// ---------------------------------------------------------------------------------------------
// First stages and the channel writer (the slots' function forms)

void ChannelValuePlain(uint8_t* pixel, int32_t x, int32_t y, int32_t value, int32_t extra);
void ChannelValueMask(uint8_t* pixel, int32_t x, int32_t y, int32_t value, int32_t extra);
void ChannelValueTone(uint8_t* pixel, int32_t x, int32_t y, int32_t value, int32_t extra);
void ChannelValueToneMask(uint8_t* pixel, int32_t x, int32_t y, int32_t value, int32_t extra);
void ImageValuePlain(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);
void ImageValueMask(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);
void ImageValueGradation(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);
void ImageValueGradationMask(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);
void ImageValueTone(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);
void ImageValueToneMask(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);
void ImageValueToneGradation(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);
void ImageValueToneGradationMask(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour);

// pixel := max(pixel, MulTable[extra][value]): a channel keeps the largest coverage any dab gave.
inline void ChannelWriteMax(uint8_t* pixel, int32_t extra, int32_t value) {
  const uint32_t a = MulDiv255(static_cast<uint32_t>(extra) & 0xFFu, static_cast<uint32_t>(value) & 0xFFu);
  if (*pixel < a) *pixel = static_cast<uint8_t>(a);
}

// ---------------------------------------------------------------------------------------------
// Plot hooks of the dot routines

// Inside the channel: channel stage 1 with the pixel's address (DotPlotter form).
bool ChannelPlot(TChannel& channel, int32_t x, int32_t y, int32_t value, int32_t extra);
// Inside the image: image stage 1 (SoftDotPlotter form: colour, then value).
void ImagePlot(TMTC& image, int32_t x, int32_t y, uint32_t colour, int32_t value);
void SetPlotters(DotPlotter channelPlot, SoftDotPlotter imagePlot);

// ---------------------------------------------------------------------------------------------
// Air maps (falloff of the older engines' dabs) and the lightness curve

// Stores the kind in the stroke (when given); rebuilds the global air map when forced or when
// the kind differs from the one it was built for.
void SetAirMap(TStroke* stroke, uint8_t kind, bool force);
inline const int32_t* AirMap() { return WriterState().airMap; }
inline uint8_t AirMapKind() { return WriterState().airMapKind; }
// Builds 2048 entries by kind & 0x7F: 0 hard, 1 circle, 2 smooth, 3 linear, 4 inverse circle;
// any other kind leaves the table as it is (false).
bool BuildAirMap(uint8_t kind, int32_t* table);
void AirMapHard(int32_t* table);
void AirMapCircle(int32_t* table);
void AirMapSmooth(int32_t* table);
void AirMapLinear(int32_t* table);
void AirMapInverseCircle(int32_t* table);

// table[i] := (i / 2047)^k in 16.16 (clamped into 0..1; NaN entries 0).
void BuildLightnessCurve(float k);
inline const int32_t* LightnessCurve() { return WriterState().lightnessCurve; }
// Lightness in 16.16 (0..255) through the curve, 16.16 (0..255): the index
// ((lightness >> 13) * 2047) / 2040 is clamped into 0..2047.
int32_t LightnessCurveLookup(int32_t lightness);
// The pixel's lightness through the curve (hue and saturation kept), blended in by v, alpha kept.
void PixelLightnessCurve(uint32_t* pixel, uint32_t colour, int32_t v);

// ---------------------------------------------------------------------------------------------
// The per-dab dispatch

namespace writer_detail {

struct ColourWriterPointer {
  PixelOp op;
  void operator()(uint32_t* pixel, uint32_t colour, int32_t value) const { op(pixel, colour, value); }
};
struct ChannelWriterPointer {
  ChannelStage2 op;
  void operator()(uint8_t* pixel, int32_t extra, int32_t value) const { op(pixel, extra, value); }
};
struct ChannelWriteMaxFn {
  void operator()(uint8_t* pixel, int32_t extra, int32_t value) const { ChannelWriteMax(pixel, extra, value); }
};

// Image stage 1 with the given steps; a later step runs only when the value before it is not 0.
// A step whose source is missing (no mask, tone or document) writes nothing.
template <bool kMask, bool kTone, bool kGradation, class Write>
struct ImageStage {
  Write write;
  const MaskSampler* mask;
  int32_t maskX, maskY;
  const ToneSampler* tone;
  PaintDocument* document;

  void operator()(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour) const {
    if (value == 0) return;
    if constexpr (kMask) {
      if (mask == nullptr) return;
      value = mask->ValueAt(x + maskX, y + maskY, value);
      if (value == 0) return;
    }
    if constexpr (kTone) {
      if (tone == nullptr) return;
      value = tone->ToneValueAt(x, y, value);
      if (value == 0) return;
    }
    if constexpr (kGradation) {
      if (document == nullptr) return;
      const uint32_t gradient = document->GradationColorAt(x, y);
      colour = ColorToPixel(gradient);
      if constexpr (!kTone) {
        value = static_cast<int32_t>(MulDiv255(static_cast<uint32_t>(value) & 0xFFu, gradient >> 24));
        if (value == 0) return;
      }
    }
    write(pixel, colour, value);
  }
};

template <bool kMask, bool kTone, class Write>
struct ChannelStage {
  Write write;
  const MaskSampler* mask;
  int32_t maskX, maskY;
  const ToneSampler* tone;

  void operator()(uint8_t* pixel, int32_t x, int32_t y, int32_t value, int32_t extra) const {
    if (value == 0) return;
    if constexpr (kMask) {
      if (mask == nullptr) return;
      value = mask->ValueAt(x + maskX, y + maskY, value);
      if (value == 0) return;
    }
    if constexpr (kTone) {
      if (tone == nullptr) return;
      value = tone->ToneValueAt(x, y, value);
      if (value == 0) return;
    }
    write(pixel, extra, value);
  }
};

struct ImageStagePointer {
  ImageStage1 op;
  void operator()(uint32_t* pixel, int32_t x, int32_t y, int32_t value, uint32_t colour) const {
    op(pixel, x, y, value, colour);
  }
};
struct ChannelStagePointer {
  ChannelStage1 op;
  void operator()(uint8_t* pixel, int32_t x, int32_t y, int32_t value, int32_t extra) const {
    op(pixel, x, y, value, extra);
  }
};

template <bool kMask, bool kTone, bool kGradation, class Write>
ImageStage<kMask, kTone, kGradation, Write> MakeImageStage(const SWriterState& s, Write write) {
  return {write, s.mask, s.maskOffset.x, s.maskOffset.y, s.tone, s.window};
}
template <bool kMask, bool kTone, class Write>
ChannelStage<kMask, kTone, Write> MakeChannelStage(const SWriterState& s, Write write) {
  return {write, s.mask, s.maskOffset.x, s.maskOffset.y, s.tone};
}

// Calls fn with the colour writer as an inlined functor when it is one of the operators the
// chain installs, else through its pointer.
template <class Fn>
void WithColourWriterFn(PixelOp op, Fn&& fn) {
  if (op == &PixelPaintOver) {
    fn(PixelOpFn<&PixelPaintOver>{});
  } else if (op == &BlendColor) {
    fn(PixelOpFn<&BlendColor>{});
  } else if (op == &PixelEraseAlpha) {
    fn(PixelOpFn<&PixelEraseAlpha>{});
  } else if (op == &PixelLerpARGB) {
    fn(PixelOpFn<&PixelLerpARGB>{});
  } else if (op == &PixelLightnessCurve) {
    fn(PixelOpFn<&PixelLightnessCurve>{});
  } else {
    fn(ColourWriterPointer{op});
  }
}

}  // namespace writer_detail

// Calls body once with the image chain as one functor f(pixel, x, y, value, colour): the slots
// are read here, once per dab.
template <class Body>
void WithImageWriter(Body&& body) {
  using namespace writer_detail;
  const SWriterState& s = WriterState();
  const ImageStage1 stage = s.imageStage1;
  if (stage != &ImageValuePlain && stage != &ImageValueMask && stage != &ImageValueGradation &&
      stage != &ImageValueGradationMask && stage != &ImageValueTone && stage != &ImageValueToneMask &&
      stage != &ImageValueToneGradation && stage != &ImageValueToneGradationMask) {
    body(ImageStagePointer{stage});
    return;
  }
  WithColourWriterFn(s.colourWriter, [&](auto write) {
    if (stage == &ImageValuePlain) {
      body(MakeImageStage<false, false, false>(s, write));
    } else if (stage == &ImageValueMask) {
      body(MakeImageStage<true, false, false>(s, write));
    } else if (stage == &ImageValueGradation) {
      body(MakeImageStage<false, false, true>(s, write));
    } else if (stage == &ImageValueGradationMask) {
      body(MakeImageStage<true, false, true>(s, write));
    } else if (stage == &ImageValueTone) {
      body(MakeImageStage<false, true, false>(s, write));
    } else if (stage == &ImageValueToneMask) {
      body(MakeImageStage<true, true, false>(s, write));
    } else if (stage == &ImageValueToneGradation) {
      body(MakeImageStage<false, true, true>(s, write));
    } else {
      body(MakeImageStage<true, true, true>(s, write));
    }
  });
}

// The same for 8-bit channels: f(pixel, x, y, value, extra).
template <class Body>
void WithChannelWriter(Body&& body) {
  using namespace writer_detail;
  const SWriterState& s = WriterState();
  const ChannelStage1 stage = s.channelStage1;
  if (stage != &ChannelValuePlain && stage != &ChannelValueMask && stage != &ChannelValueTone &&
      stage != &ChannelValueToneMask) {
    body(ChannelStagePointer{stage});
    return;
  }
  auto withWrite = [&](auto write) {
    if (stage == &ChannelValuePlain) {
      body(MakeChannelStage<false, false>(s, write));
    } else if (stage == &ChannelValueMask) {
      body(MakeChannelStage<true, false>(s, write));
    } else if (stage == &ChannelValueTone) {
      body(MakeChannelStage<false, true>(s, write));
    } else {
      body(MakeChannelStage<true, true>(s, write));
    }
  };
  if (s.channelStage2 == &ChannelWriteMax) {
    withWrite(ChannelWriteMaxFn{});
  } else {
    withWrite(ChannelWriterPointer{s.channelStage2});
  }
}

}  // namespace tf
