// The interfaces the event recorder reads the document, stroke, pen and tones through.
#pragma once
// What the event recorder reads while it records: the document's state, the stroke being set up
// in the tool window, the pen renderer with its stroke dynamics, and the current tone or
// pattern. The recorder sits below the document and the painting engine, so it reads them
// through these interfaces; the document (TPaper) implements IRecordedDocument, and the stroke,
// pen renderer and tone set plug in adapters that fill the plain records below.
//
// Every getter fills a record whole: the recorder builds its state packets from the record, so a
// value the source does not have must still be set (to the value it records as "none").
#include <cstdint>
#include <string_view>

#include "paint/Gradient.h"
#include "raster/Geometry.h"

namespace tf {

class TChannel;
class TMTC;

// The pen state of the stroke the tool window sets up (TStroke), as it is recorded.
struct SRecordedStroke {
  uint32_t color = 0;        // the three low bytes are recorded, low byte first
  uint32_t secondColor = 0;  // likewise
  uint8_t penType = 0;       // the pen-setting type
  float opacity = 1.0f;      // TStroke.GetOpacity
  float width = 1.0f;
  float minimumSize = 0.0f;
  float effect = 0.0f;
  float env = 0.0f;
  float speed = 0.0f;
  float gamma = 1.0f;
  float spacing = 0.0f;  // TStroke.GetSpacing
  uint8_t mapSelector = 0;
  bool pressureToSize = false;
  bool pressureToOpacity = false;
  bool edge = false;
  bool useTone = false;
  bool useGradation = false;
  // The stroke is drawn with interpolation mode 0 (shape strokes): its start packet takes the
  // twin class.
  bool interpolationOff = false;
  int16_t layerIndex = 0;  // the layer the stroke paints on
};

// The stroke dynamics of the stroke manager (SStrokeParam), as integers.
struct SRecordedStrokeParams {
  uint8_t pressureToSize = 0;
  uint8_t pressureToOpacity = 0;
  int32_t opacity1000 = 1000;
  int32_t gamma100 = 100;
  int32_t spacing1000 = 100;
  int32_t sizeThreshold1 = 0;
  int32_t sizeThreshold2 = 0;
};

// The pen renderer's nib settings (CPenRender) and the stroke manager's dynamics
// (CStrokeMngr), as they are recorded.
struct SRecordedPen {
  uint8_t falloffKind = 0;  // CPenRender.GetGradeMap: kind and its two values
  uint16_t falloffValue1 = 0;
  uint16_t falloffValue2 = 0;
  uint32_t color1 = 0;  // CPenRender.GetColor
  uint32_t color2 = 0;
  uint16_t nibValues[4] = {0, 0, 0, 0};  // CPenRender.GetNibShape, values 0 to 3
  uint32_t nibFlags = 0;                 // CPenRender.GetNibFlag
  uint8_t penParams[16] = {};            // CPenRender.GetPenParams: the 16-byte SPenParam
  SRecordedStrokeParams strokeParams;    // CStrokeMngr.GetStrokeParams
};

// The pen shape the document paints with (TPaper.GetPenShape) when it is an image nib.
struct SRecordedNib {
  uint32_t key = 0;       // the nib's serial id
  int16_t scale = 100;    // percent
  int16_t nibValue1 = 0;  // the shape's two nib values
  int16_t nibValue2 = 0;
  const TChannel* channel = nullptr;  // the nib image; must be valid and not empty
};

// The current tone or pattern of the tool window's tone set (CPat8 / CPat8Tone).
struct SRecordedPattern {
  uint32_t key = 0;     // the pattern's serial id
  uint16_t kind = 0;    // 0 image pattern, 1 screen tone
  int32_t scale = 100;  // percent
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  bool inverted = false;
  int16_t toneValue = 0;                           // screen tone: its tone value
  bool toneSwitch = false;                         // screen tone: the switch of its attributes
  int32_t toneAttributes[6] = {0, 0, 0, 0, 0, 0};  // screen tone: SToneAttr's six numbers
  std::string_view name;                           // code page 932 bytes; more than 64 are cut
  // The tile (width and height recorded for both kinds; its bytes only for an image pattern).
  const TChannel* tile = nullptr;
};

// A picture that travels with a command (the floor filter's textures from image files).
struct SRecordedImage {
  const TMTC* image = nullptr;
  std::string_view name;  // code page 932 bytes
};

// The document (TPaper), as the recorder reads it.
class IRecordedDocument {
 public:
  virtual ~IRecordedDocument() = default;

  virtual uint32_t paperColor() const = 0;
  virtual bool showCanvasColor() const = 0;
  virtual bool backgroundPattern() const = 0;
  virtual bool selectionEnabled() const = 0;
  virtual int32_t activeLayerIndex() const = 0;  // -1 when the stack is empty
  virtual int32_t activeMaskIndex() const = 0;   // -1 when there is none
  // The paper gradation: its two end points and options, and the colour stops in use (null
  // when it has none).
  virtual void gradationPoints(TPoint& start, TPoint& end) const = 0;
  virtual SGradOption gradationOptions() const = 0;
  virtual const CColorSlotGroup* gradationSlots() const = 0;
  // The stroke engine in use (1 or 2; 0 while an older stream plays).
  virtual int32_t strokeEngine() const = 0;
  // The pen shape in use when it is an image nib with a non-empty channel; false otherwise.
  virtual bool imageNib(SRecordedNib& nib) const = 0;
  // The layer's blend mode, opacity and packet flags (0x01 visible, 0x02 alpha protected,
  // 0x10 clip); false for an index outside the stack.
  virtual bool layerAttributes(int32_t layer, uint8_t& blendMode, uint8_t& opacity, uint16_t& flags) const = 0;
  // The layer's offset: the canvas's top-left pixel inside the layer's store; false for an
  // index outside the stack.
  virtual bool layerOrigin(int32_t layer, TPoint& origin) const = 0;
};

// The stroke whose pen state is recorded (the main window's TStroke).
class IRecordedStroke {
 public:
  virtual ~IRecordedStroke() = default;
  virtual void recordedStroke(SRecordedStroke& out) const = 0;
};

// The pen renderer and stroke manager of the document (TPaper.GetPenRender, its CStrokeMngr).
class IRecordedPen {
 public:
  virtual ~IRecordedPen() = default;
  virtual void recordedPen(SRecordedPen& out) const = 0;
};

// The tool window's tone set: its current pattern; false when it has none.
class IRecordedTones {
 public:
  virtual ~IRecordedTones() = default;
  virtual bool currentPattern(SRecordedPattern& out) const = 0;
};

}  // namespace tf
