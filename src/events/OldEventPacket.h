// TEventPacket: an event stream of the program's first version (.wpe files, the tail of .wpb).
#pragma once
// The stream is a plain sequence of little-endian events: a uint16 code, then a payload whose
// length follows from the code (and for strokes and polygons from a count inside it), closed by
// the end code 0xFFFF. A protected ("sealed") stream carries each of the 16 seal markers 768..783
// once, spread among its events. The program plays these streams and writes them back only
// sealed; it never records new events in this form.
#include <cstdint>
#include <string>
#include <vector>

#include "raster/MyStream.h"

namespace tf {

class TStroke;

inline constexpr uint16_t kOldEndCode = 0xFFFF;
inline constexpr uint16_t kOldSealFirst = 768;
inline constexpr uint16_t kOldSealLast = 783;
inline constexpr int32_t kOldSealCount = 16;
// The fewest events a sealed save takes (16 markers need an interval of at least 2).
inline constexpr int32_t kOldSealMinEvents = 48;

// Event codes.
enum OldEventCode : uint16_t {
  kOldNewLayer = 256,
  kOldDeleteLayer = 257,
  kOldMergeVisible = 258,
  kOldCopyLayer = 259,
  kOldMoveLayer = 260,
  kOldMergeDown = 261,
  kOldUndoLayer = 272,
  kOldActiveLayer = 273,
  kOldLayerVisible = 274,
  kOldLayerOpacity = 275,
  kOldLayerMode = 276,
  kOldShowOnly = 277,
  kOldFlipLayerVertical = 288,
  kOldFlipLayerHorizontal = 289,
  kOldRotateLayer180 = 290,
  kOldInvertLayer = 291,
  kOldClearLayer = 292,
  kOldFillLayer = 293,
  kOldShiftLayer = 294,
  kOldEraseRect = 295,
  kOldFillRect = 296,
  kOldErasePolygon = 297,
  kOldFillPolygon = 304,
  kOldLine = 305,
  kOldNewCanvas = 512,
  kOldPaperColor = 513,
  kOldCanvasSize = 514,
  kOldResample = 515,
  kOldRotateRight = 516,
  kOldRotateLeft = 517,
  kOldClearAllUndo = 518,
  kOldClearLayerUndo = 519,
  kOldNewCanvas2 = 520,
  kOldFlipVisibleVertical = 528,
  kOldFlipVisibleHorizontal = 529,
  kOldRotateVisible180 = 530,
  kOldInvertVisible = 531,
};

inline bool IsOldSealMarker(uint16_t code) { return code >= kOldSealFirst && code <= kOldSealLast; }

// The payload length of an event (without its 2-byte code) whose payload starts at `payload`
// with `available` bytes there; -1 for a code not in the table (seal markers included). For the
// counted events the count is read only when the fixed part is available; when it is not, the
// fixed part's length is answered (more than available, so the caller sees a short event).
// This one routine serves the check, the player's whole-event test and the save.
int32_t OldEventPayloadLength(uint16_t code, const uint8_t* payload, int32_t available);

// The older anchor numbering (0..8) in the current one: 0, 3, 6, 1, 4, 7, 2, 5, 8. Other values
// are kept.
uint8_t ConvertOldAnchor(uint8_t anchor);

// Payload records, one per layout.
struct SOldRect {
  uint8_t layer;
  int16_t x, y, width, height;
};
struct SOldPoint {
  int16_t x, y;
};
struct SOldLine {
  int16_t penType;
  int16_t x1, y1, x2, y2;
};
struct SOldSize {
  uint16_t width, height;
};

class TEventPacket {
 public:
  TEventPacket();
  ~TEventPacket();
  TEventPacket(const TEventPacket&) = delete;
  TEventPacket& operator=(const TEventPacket&) = delete;

  // Empties the block, event count and in-stroke flag 0.
  void Clear();
  // Checks the stream in source from its read position and takes it over (up to and including
  // its end code, read position 0). False, the packet unchanged, for a stream that is not whole
  // and well formed, whose first event is not a new canvas, or that carries some but not all
  // seal markers; sealed tells whether it carries all of them.
  bool Validate(TMyMemory& source, bool& sealed);
  // Reads a .wpe file whole and validates it.
  bool LoadFromFile(const std::string& path, bool& sealed);
  // Writes the stream up to and including its end code, with seal spread over it the 16 markers
  // in an order drawn from a generator seeded from the clock. False for a stream too short to
  // seal (fewer than 48 events), one without its end code or holding a marker or an unknown code,
  // or a file that cannot be written; the file is written under a temporary name and put in
  // place only when whole, so a refusal leaves an existing file as it was.
  bool SaveToFile(const std::string& path, bool seal);
  // The end code put at the data end (one event more); taken off again (one event less).
  void AppendEndCode();
  void DropEndCode();

  // The next code, or 0xFFFF (overrun set) when fewer than 2 bytes remain.
  uint16_t ReadCode();
  // Whether the bytes left hold the whole next event (a marker needs its 2 bytes only); false
  // for an unknown code.
  bool WholeEventAhead() const;

  // Payload readers: fields in stored order from the read position.
  uint8_t ReadLayer() { return memory_.ReadByte(); }
  void ReadTwoBytes(uint8_t& a, uint8_t& b) {
    a = memory_.ReadByte();
    b = memory_.ReadByte();
  }
  uint32_t ReadColour();
  void ReadLayerShift(uint8_t& layer, int16_t& dx, int16_t& dy);
  SOldRect ReadLayerRect();
  // Layer and count, then the points into points (resized to the count).
  void ReadPolygon(uint8_t& layer, std::vector<SOldPoint>& points);
  void ReadPolygonColour(uint8_t& layer, uint32_t& colour, std::vector<SOldPoint>& points);
  SOldSize ReadSize();
  void ReadSizeAnchor(SOldSize& size, uint8_t& anchor);
  // The pen settings record into the stroke.
  void ReadPenSettings(TStroke& stroke);
  // Pen settings, the first point and N; N points remain and the in-stroke flag is set (a stroke
  // of one point, N = 0, leaves it clear: it is begun and ended at once).
  void ReadStrokeStart(TStroke& stroke, float& x, float& y, float& pressure);
  // One stroke point; true when it was the last, which also clears the in-stroke flag.
  bool ReadStrokePoint(float& x, float& y, float& pressure);
  // Code 305: pen settings, pen type (0..4 taken by the stroke), the two points.
  SOldLine ReadLine(TStroke& stroke);

  TMyMemory& Memory() { return memory_; }
  const TMyMemory& Memory() const { return memory_; }
  bool InStroke() const { return inStroke_ != 0; }
  int32_t RemainingPoints() const { return remainingPoints_; }
  int32_t EventCount() const { return eventCount_; }

 private:
  // Checks a stream of size bytes: its length up to and including the end code, the event
  // count and the markers; -1 when it is refused.
  static int32_t CheckStream(const uint8_t* data, int32_t size, int32_t& events, bool& sealed);
  void ReadPoint(float& x, float& y, float& pressure);

  TMyMemory memory_;
  uint8_t inStroke_ = 0;
  int32_t remainingPoints_ = 0;
  int32_t eventCount_ = 0;
};

}  // namespace tf
