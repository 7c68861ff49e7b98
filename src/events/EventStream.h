// CEventMngr and CMemSeg: the event recorder and player of one document and its byte store.
#pragma once
// CEventMngr: the event recorder and player of one document, and its byte store.
//
// The stream lives in fixed-size blocks (CMemSeg) that are allocated one at a time and never
// move. Recording appends packets at the write position and closes a step with commitStep;
// the checkpoint ring holds the start of every closed step so that undo and redo move the
// write position over whole steps without erasing bytes.
//
// A failed append (out of memory, or an exception) leaves the stream without a command the
// document has, so a saved recording would replay a different picture. The manager then warns
// once, marks the stream broken and stops recording; a broken stream is never written out.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "events/EventPacket.h"
#include "paint/Gradient.h"
#include "platform/Clock.h"
#include "platform/DWordMap.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/RingBuf.h"

namespace tf {

class Stream;
class IRecordedDocument;
class IRecordedStroke;
class IRecordedPen;
class IRecordedTones;
class IPlayedResources;
struct SRecordedImage;
struct SRecordedNib;
struct SRecordedStroke;
struct SPackedChannel;

// One block of the stream. Allocated once (zeroed), never moved or resized.
class CMemSeg {
 public:
  // Allocation failure leaves memory null and valid 0.
  explicit CMemSeg(int32_t size);
  ~CMemSeg();
  CMemSeg(const CMemSeg&) = delete;
  CMemSeg& operator=(const CMemSeg&) = delete;

  // Copies min(len, size - offset) bytes; nothing for an unallocated block or offset >= size.
  uint32_t write(uint32_t offset, const void* data, uint32_t len);
  uint32_t read(uint32_t offset, void* buffer, uint32_t len) const;

  uint8_t* memory = nullptr;
  int32_t size = 0;
  int32_t valid = 0;
};

// Recorder states.
enum EventState : uint8_t {
  kEventIdle = 0,
  kEventRecording = 1,
  kEventPlaying = 2,
  kEventFinished = 3,
};

// runFlags bits.
enum EventRunFlag : uint8_t {
  kRunInStroke = 0x02,  // recording: a stroke is open; playing: the stroke has drawn
  kRunPointByPoint = 0x08,
  kRunPaused = 0x10,
  kRunAfterFirstStep = 0x20,
  kRunEndMarkerPlayed = 0x40,
  kRunStrokeOpen = 0x80,
};

// strokeFlags bits (player).
enum EventStrokeFlag : uint8_t {
  kStrokePointByPoint = 0x01,
  kStrokeLastPacketRead = 0x02,
  kStrokeInterpolationZero = 0x04,
};

// Result code of the file readers and writers for a stream that may not be saved.
constexpr uint8_t kEventResultBrokenStream = 47;

// The warning shown when an append fails; recording stops after it.
inline constexpr const char* kEventAppendFailedText =
    "イベント記録中に例外が発生しました!\r以降のイベント記録は停止します...";

// The snapshot bit of each state code below 64: byte index and mask (mask 0: no bit).
struct SSnapshotBits {
  uint8_t byte[64];
  uint8_t mask[64];
};

constexpr SSnapshotBits MakeSnapshotBits() {
  struct Bit {
    uint8_t code;
    uint8_t byte;
    uint8_t mask;
  };
  constexpr Bit kBits[] = {
      {0, 0, 0x01},  {2, 0, 0x02},  {3, 0, 0x04},  {4, 0, 0x08},  {5, 0, 0x10},  {8, 0, 0x20},  {12, 0, 0x40},
      {13, 0, 0x80}, {16, 1, 0x01}, {17, 1, 0x02}, {18, 1, 0x04}, {32, 1, 0x08}, {33, 1, 0x10}, {36, 1, 0x20},
      {37, 1, 0x20}, {40, 1, 0x40}, {48, 1, 0x80}, {50, 2, 0x01}, {52, 2, 0x02}, {53, 2, 0x04}, {44, 2, 0x08},
      {45, 2, 0x08}, {56, 2, 0x10}, {57, 2, 0x20}, {58, 2, 0x40}, {60, 2, 0x80},
  };
  SSnapshotBits table{};
  for (const Bit& b : kBits) {
    table.byte[b.code] = b.byte;
    table.mask[b.code] = b.mask;
  }
  return table;
}

inline constexpr SSnapshotBits kSnapshotBits = MakeSnapshotBits();

// The snapshot bit of a class-0 state code: byte index 0..2 and mask; false for a code
// without one (128, 129, 136 and unknown codes).
inline bool GetStateSnapshotBit(uint8_t code, int& byteIndex, uint8_t& mask) {
  if (code >= 64 || kSnapshotBits.mask[code] == 0) return false;
  byteIndex = kSnapshotBits.byte[code];
  mask = kSnapshotBits.mask[code];
  return true;
}

// The last written (recording) or last played (playback) class-0 state records.
struct SStateRecords {
  SAppStateRecord app{};                   // 0
  SColorRecord paperColor{};               // 2
  SColorRecord background{};               // 3
  SGradPointsRecord gradPoints{};          // 4
  SGradOptionsRecord gradOptions{};        // 5
  SActiveLayerRecord activeLayer{};        // 8
  SFlagWordRecord flagWord{};              // 12
  SPressureRecord pressure{};              // 13
  SPenColorRecord penColor{};              // 16
  SPenSizeRecord penSize{};                // 17
  SPenDynamicsRecord penDynamics{};        // 18
  SFontRecord font{};                      // 32
  std::vector<uint8_t> text;               // 33: the whole payload (uint16 n, text)
  SToneReference toneReference{};          // 37
  SNibFalloffRecord nibFalloff{};          // 48
  SNibColorsRecord nibColors{};            // 50
  SNibShapeRecord nibShape{};              // 52
  SNibFlagsRecord nibFlags{};              // 53
  SShapeReference shapeReference{};        // 45
  SPenParamsARecord penParamsA{};          // 56
  SPenParamsBRecord penParamsB{};          // 57
  SPaintSwitchesRecord paintSwitches{};    // 58
  SStrokeDynamicsRecord strokeDynamics{};  // 60
};

// Outcome of writing one state record.
enum class StateWrite : uint8_t { kUnchanged, kWritten, kFailed };

// The four settings a channel packet carries for its command (bytes 21 to 23 and the int16 at 24
// of the header).
struct SChannelSettings {
  uint8_t antiAlias = 0;
  uint8_t target = 0;
  uint8_t combineMode = 0;
  int16_t tolerance = 0;
};

// The gradient options of state codes 5 and 40 (shape, the two repetition switches, the
// repeat count).
SGradOptionsRecord GradOptionsRecordOf(const SGradOption& option);

// One packet found in the stream.
struct SPacketFrame {
  SPacketHeader header{};
  uint32_t pos = 0;         // of the header
  uint32_t payloadPos = 0;  // pos + 2
  int32_t length = 0;       // payload bytes
  uint32_t next() const { return payloadPos + static_cast<uint32_t>(length); }
};

// Where a packet walk stopped.
struct SPacketWalkResult {
  bool ok = true;
  uint32_t failPos = 0;        // header position of the packet that could not be stepped over
  SPacketHeader failHeader{};  // its header (0, 0 when it could not be read)
  uint32_t lastPos = 0;        // header position of the packet before it
  SPacketHeader lastHeader{};
};

class CEventMngr {
 public:
  // The list of blocks is sized for maximumSize bytes (at least 10 blocks).
  CEventMngr(uint32_t blockSize, uint32_t maximumSize);
  ~CEventMngr();
  CEventMngr(const CEventMngr&) = delete;
  CEventMngr& operator=(const CEventMngr&) = delete;

  // ---- set-up
  // Resets the stream, sets the ring up with ringCount + ringExtra slots, keeps the recorded
  // stroke and tone set and allocates the first block. Only when the manager is ready.
  bool setupStream(IRecordedStroke* stroke, IRecordedTones* tones, int32_t ringCount, int32_t ringExtra);
  // setupStream, then recording state and the application-state record.
  bool setupRecording(IRecordedStroke* stroke, IRecordedTones* tones, int32_t ringCount, int32_t ringExtra);
  // The document and its pen renderer with the stroke manager (RecordSources.h). Either may be
  // attached or replaced at any time; a state group that needs one that is missing fails (false,
  // and a line on the debugger output).
  void attachDocument(IRecordedDocument* document) { document_ = document; }
  void attachPen(IRecordedPen* pen) { pen_ = pen; }

  // ---- queries
  bool isReady() const { return blockSize_ > 0; }
  bool hasStream() const;
  bool isRecording() const { return hasStream() && state == kEventRecording; }
  // True after a failed append or commit: recording stopped and the stream may not be saved.
  bool isBroken() const { return broken_; }
  int32_t getBlockCount() const;
  int32_t getUndoSteps() const { return ring_.BackCount(); }
  int32_t getRedoSteps() const;
  void forgetActiveLayer();

  // ---- byte access
  // One transfer of 1..blockSize bytes over at most two blocks; the count moved.
  // A write that reaches past writePos first makes room (one new block at most);
  // writePos itself is not moved. A write may not begin past writePos.
  uint32_t writeAt(uint32_t pos, const void* data, uint32_t len);
  // Refused (0) unless pos + len <= writePos.
  uint32_t readAt(uint32_t pos, void* buffer, uint32_t len) const;
  // Any length, in pieces of at most blockSize; writeSpan raises writePos to its end.
  uint32_t writeSpan(uint32_t pos, const void* data, uint32_t len);
  uint32_t readSpan(uint32_t pos, void* buffer, uint32_t len) const;

  // Appends one packet at writePos without closing the step: the header, the payload (at most
  // blockSize bytes) and any trailing bytes. Does nothing (true) unless recording. On failure
  // writePos is restored, the stream marked broken (warned once), false returned.
  bool appendPacket(uint8_t cls, uint8_t code, const void* payload, uint32_t payloadLen,
                    const void* trailing = nullptr, uint32_t trailingLen = 0);
  template <typename T>
  bool appendRecord(uint8_t cls, uint8_t code, const T& record) {
    return appendPacket(cls, code, &record, sizeof record);
  }
  // appendPacket, then commitStep.
  bool appendStep(uint8_t cls, uint8_t code, const void* payload, uint32_t payloadLen,
                  const void* trailing = nullptr, uint32_t trailingLen = 0);
  // Appends optional trailing bytes, then closes the step.
  bool commitStep(const void* trailing = nullptr, uint32_t trailingLen = 0);

  // Writes one class-0 state record: unchanged when its snapshot bit is set and the bytes are
  // equal (codes 8 and 32 are always written); otherwise the packet is appended while
  // recording, and only once it is in the stream do the stored record and its bit take it (a
  // refused append leaves both as they were). Not recording, the record is only stored (the
  // player keeps what it played).
  StateWrite writeStateRecord(uint8_t code, const void* record, uint32_t len);

  // Bytes 0 .. committed - 1 to the stream, block by block; the count written.
  // 0 for a broken stream.
  uint32_t writeStreamTo(Stream& stream) const;
  // resetStream, ring Reset and one fresh block.
  bool resetForLoad();
  // Replaces the stream with length bytes read from the stream; the count read. Anything
  // short of length leaves the stream empty.
  uint32_t loadRawStream(Stream& stream, int32_t length, int32_t steps);
  // writePos = committed = length (at most the bytes held), stepCount = steps (negative
  // counts as 0), player positions 0.
  bool setLoadedLength(int32_t length, int32_t steps);
  // Frees every block after the one holding writePos.
  void trimBlocks();

  // ---- undo and redo
  bool undoStep();
  // Moves forward over the next undone step; the keys of its definitions return to the
  // dictionaries.
  bool redoStep();
  bool dropLastStep();
  // Only when finished (state 3): drops the last step when it is the end marker (its first packet
  // after the state and information packets is 2/255) and records again (state 1); false
  // otherwise. Saving an event file appends the marker for the file and takes it off again.
  bool removeEventFin();
  bool clearRedo();
  bool getLastStepPacket(uint8_t& cls, uint8_t& code) const;
  // Deletes every block and zeroes the positions; state idle. False (nothing done) unless
  // the manager and its ring are ready.
  bool resetStream();

  // ---- recording (RecordState.cpp, RecordPaper.cpp, RecordLayer.cpp, RecordMask.cpp,
  // RecordStroke.cpp, RecordFilter.cpp, Dictionaries.cpp).
  // Every operation does nothing and answers true unless recording. A command's operation
  // writes its state group first (only the records that changed since they were last written),
  // then its packet, and closes the step; a failed state write skips the packet. False when
  // nothing (or not everything) was recorded, including codes the operation does not accept.

  // State groups.
  bool writeDocState();     // 0, 2, 3, 4, 5, 8, 12, then the tone (36/37) and gradient (40)
  bool writeStrokeState();  // 13, 16, 17, 18
  bool writePenState();     // 48, 50, 52, 53, the image nib (44/45), 56, 57, 58, 60
  bool writeAllState();
  // Dictionaries, inside the groups.
  bool writeTone();
  bool writeGradientColors(bool force);
  bool writePenShape();

  // Recording start and end.
  // The document state, the start time (1/17) and the start marker (2/254), one step.
  bool startRecording();
  // The end marker (2/255) as a step of its own; the state becomes finished.
  bool writeEventFin();

  // Class 2, paper and canvas.
  // Codes 4, 5, 16-19 and 32-35 (no payload).
  bool writePaperOp(uint8_t code);
  bool writePaperColor(uint32_t color);
  // 2/2: the two placement values of the canvas-size command, width and height.
  bool writeCanvasSize(int32_t width, int32_t height, uint8_t keepAttributes, uint8_t anchor);
  // 2/3 (first form) or 2/9: mode, width, height.
  bool writeResolution(uint8_t code, uint16_t mode, int32_t width, int32_t height);
  // 2/8, after only the application-state record. Closes the document's first step.
  bool writeNewDocument(int32_t canvasWidth, int32_t canvasHeight, int32_t layerWidth, int32_t layerHeight,
                        int32_t resolution, bool showCanvasColor, bool opaqueLayer);
  // 2/10: active index, 0, composite flag, first visible layer.
  bool writeMergeVisible(int16_t layer, int16_t value, int32_t a, int32_t b);
  // 2/24, 2/25, 2/26: layer and value.
  bool writePaperValue(int16_t layer, int16_t value, uint8_t code);
  // 2/11: layer, keep-attributes mode and the crop rectangle (left, top, width, height).
  bool writeTrimCanvas(int16_t layer, int16_t mode, const SRectWH& rect);

  // Class 4, layers.
  // 4/0: position, width, protect flag, visible, opacity, blend mode, height.
  bool writeAddLayer(int16_t position, int32_t width, bool protect, bool visible, uint8_t opacity,
                     uint8_t blendMode, int32_t height);
  // 4/11: as 4/0 with the name and the fill value of the new layer's store.
  bool writeNewLayer(int16_t position, int32_t width, bool protect, bool visible, std::string_view name,
                     uint32_t fillValue, uint8_t opacity, uint8_t blendMode, int32_t height);
  // Codes 1-5, 8, 9, 24, 25, 32-37: layer and value.
  bool writeLayerOp(int16_t layer, int16_t value, uint8_t code);
  // Codes 10, 38, 39, 48-51: layer, value and two 32-bit values. For 10 (the merge mode), 38
  // (the angle's float bits) and 48-51 (the keep-alpha switch, one byte) value3 lies at offset
  // 4 and value2 at offset 8; for 39 (the two sizes) value2 lies at 4 and value3 at 8.
  bool writeLayerOpEx(int16_t layer, int16_t value, uint8_t code, int32_t value2, int32_t value3);
  // 4/16, 4/17, 4/18, 4/20: the layer's attributes (from the document) with the new value.
  bool writeLayerBlend(int16_t layer, uint8_t blendMode);
  bool writeLayerOpacity(int16_t layer, uint8_t opacity);
  bool writeLayerVisible(int16_t layer, bool visible);
  bool writeLayerProtect(int16_t layer, bool protect);
  // 4/21: the attributes with the clip (dissolve) flag, the threshold byte and the seed.
  bool writeLayerDissolve(int16_t layer, bool dissolve, int32_t seed, uint8_t threshold);
  // 4/6: the offsets of the layer move.
  bool writeLayerOffset(int16_t layer, int32_t dx, int32_t dy);
  // 4/7: overflow bits, a second byte (1) and the two offsets, in this order.
  bool writeLayerOffsetGrow(int16_t layer, uint8_t overflowBits, uint8_t flag, int32_t dy, int32_t dx);
  // 4/12 and 4/13: layer, mask, the offset, and for 13 the overflow bits.
  bool writeLayerOffsetInMask(int16_t layer, int16_t mask, const TPoint& offset);
  bool writeLayerOffsetInMaskGrow(int16_t layer, int16_t mask, const TPoint& offset, int16_t overflowBits);
  // 4/19: the layer's new name.
  bool writeLayerName(int16_t layer, std::string_view name);

  // Class 5, folders.
  // 5/0 (deeper) or 5/1: the layer, and two arrays of count depth bytes in the order given
  // (the depths after the change, then before).
  bool writeLinkGroup(int16_t layer, bool deeper, const uint8_t* first, const uint8_t* second, int32_t count);
  // 5/8, 5/11, 5/12, 5/13, 5/16: layer, value, two 32-bit values.
  bool writeLinkGroupOp(uint8_t code, int16_t layer, int16_t value, int32_t value2, int32_t value3);
  // 5/9, 5/10: layer, value, the offset point, two 32-bit values.
  bool writeLinkGroupOpEx(uint8_t code, int16_t layer, int16_t value, int32_t value2, const TPoint& offset,
                          int32_t value3);

  // Class 6, fills (all state first). Codes 0-3, 5, 6; a missing point is written as zeros.
  // Code 2 (gradient fill) writes the gradient colours (0/40) first, always.
  bool writeFill(int16_t layer, int32_t value, uint8_t code, const TPoint* first, const SPointF* second);
  // 6/4: the polygon's points (at most 65535).
  bool writeFillPolygon(int16_t layer, int32_t count, const TPoint* points);

  // Class 10, masks and selection.
  // Codes 0-6, 11, 20, 21.
  bool writeMaskOp(int16_t layer, int16_t mask, uint8_t code);
  // Codes 7-10, 13, 14, 22, 24-26.
  bool writeMaskOpEx(int16_t layer, int16_t mask, uint8_t code, int32_t value1, int32_t value2);
  // Codes 16, 17, 19: a rectangle or ellipse selection; a missing point is written as 0, 0.
  bool writeMaskRect(int16_t layer, int16_t mask, uint8_t code, uint8_t combineMode, const TPoint* a,
                     const TPoint* b);
  // 10/18: a polygon selection (at most 65535 points).
  bool writeMaskPolygon(int16_t layer, int16_t mask, uint8_t combineMode, const TPoint* points, int32_t count);
  // 10/12: the mask's new name.
  bool writeMaskName(int16_t mask, std::string_view name);

  // Class 12: an image pasted (code 1) or opened into the document (code 2); the 72-byte layer
  // attribute record and the name are optional. Any other code is refused.
  bool writeLayerImage(int16_t layer, const TMTC& image, uint8_t code, std::string_view name,
                       const uint8_t* attributes);

  // Class 13, operations through a channel (all state first). The channel's non-zero
  // rectangle is packed; an empty channel records nothing (false).
  // Codes 0, 1, 4, 16, 17, 32: the seed point may be null.
  bool writeMaskChannel(int16_t layer, int16_t mask, uint8_t code, uint8_t antiAlias, int16_t tolerance,
                        uint8_t target, uint8_t combineMode, const TPoint* seed, const TChannel& channel);
  // Codes 2, 3, 5: with the area size and the area offset before the seed.
  bool writeMaskChannelEx(int16_t layer, int16_t mask, uint8_t code, uint8_t antiAlias, int16_t tolerance,
                          uint8_t target, uint8_t combineMode, const TPoint& areaSize, const TPoint& areaOffset,
                          const TPoint* seed, const TChannel& channel);
  // The text tool: the font (0/32) with the two layout values, the text (0/33), then the
  // channel as 13/16 (text drawn) or 13/17 (text selection, with the combine mode it used);
  // other codes record nothing.
  bool writeTextSelection(int16_t layer, int16_t mask, const TChannel& channel, const TPoint& position,
                          uint8_t flag, std::string_view text, const uint8_t logFont[60], int16_t spacing,
                          int16_t leading, uint8_t code, uint8_t combineMode = 0);
  // The colour-mask dialog: the colour-range record (0/136: the 20-byte header whose first
  // int32 counts the ranges, then the ranges of 8 bytes), then the channel as 13/32.
  bool writeColorMask(int16_t layer, int16_t mask, uint8_t combineMode, const TChannel& channel,
                      const SColorRangeHeader& header, const uint8_t* ranges);

  // Strokes: the start packet (after all state), points 16 to a packet, the last packet
  // closes the step. Points outside an open stroke are refused.
  bool beginStroke(float x, float y, float pressure);
  bool addStrokePoint(float x, float y, float pressure) {
    // A stroke has thousands of points: the common case, a point into a buffer with room, stays
    // inline.
    if (state == kEventRecording && (runFlags & kRunInStroke) && pointCount >= 0 &&
        pointCount < kMaxPointsPerPacket) {
      pointBuffer[pointCount++] = SBufferedPoint{x, y, pressure};
      ++strokePointCount;
      return true;
    }
    return addStrokePointSlow(x, y, pressure);
  }
  bool endStroke();
  bool isInStroke() const { return (runFlags & kRunInStroke) != 0; }

  // Filters (all state first); each accepts only the ids of its class.
  bool writeFilter0(uint8_t id, int16_t layer, int16_t value);
  bool writeFilter2(uint8_t id, int16_t layer, int16_t value, const int32_t params[2]);
  bool writeFilter4(uint8_t id, int16_t layer, int16_t value, const int32_t params[4]);
  bool writeFilter6(uint8_t id, int16_t layer, int16_t value, const int32_t params[6]);
  // Ids 39, 51, 54, 74: the block and its dataLength bytes of data.
  bool writeFilterBlock(uint8_t id, const SFilterBlock& block, const void* data);
  // The floor filter (id 40): the texture pictures taken from image files first (0/128 floor,
  // 0/129 wall; null when the texture comes from the layer), then the block and the 63 value
  // bytes of the floor record; the first 16-bit fields of its two texture records go to bytes
  // 18 and 20 of the block.
  bool writeFloorFilter(int16_t layer, int16_t value, const uint8_t values[63], uint16_t ceilingTextureField,
                        uint16_t floorTextureField, const SRecordedImage* floorTexture,
                        const SRecordedImage* wallTexture);

  // ---- dictionaries at playback (Dictionaries.cpp). Each reads the packet's payload from
  // the stream; false fails the packet.
  void attachPlayedResources(IPlayedResources* resources) { played_ = resources; }
  bool playToneDefinition(const SPacketFrame& frame);
  bool playToneReference(const SPacketFrame& frame);
  bool playGradientColors(const SPacketFrame& frame);
  bool playShapeDefinition(const SPacketFrame& frame);
  bool playShapeReference(const SPacketFrame& frame);
  // The last played nib-shape record says an image nib is in use and the rebuilt image shape
  // is a valid image nib: the player paints with it, else with its base shape.
  bool playUsesImageShape() const;
  // Empties both dictionaries and the player's shape images.
  void clearDictionaries();

  // ---- packets
  // Payload length of the packet whose header is given and whose payload starts at
  // payloadPos; -1 for an unknown pair, a fixed part that cannot be read, a negative
  // variable part, or a packet that would end past writePos.
  int32_t getPacketLength(const SPacketHeader& header, uint32_t payloadPos) const;
  // The packet at pos, which must end by end; false when it cannot be read or stepped over.
  bool readPacketFrame(uint32_t pos, uint32_t end, SPacketFrame& frame) const;
  // Calls visit for each packet of [start, end) in order; visit returns false to stop (the
  // result is then not ok, failPos the packet's position). Every step moves forward.
  template <typename Visit>
  SPacketWalkResult walkPackets(uint32_t start, uint32_t end, Visit&& visit) const;

  // ---- fields (the recorder and player work on them directly)
  IRecordedStroke* stroke = nullptr;  // the stroke whose pen state is recorded
  IRecordedTones* tones = nullptr;    // the tone set whose current pattern is recorded
  CMapDD toneDict{10};
  CMapDD shapeDict{10};
  // Last recorded gradient slots while recording, the played gradient while playing.
  CColorSlotGroup slotGroup{16};
  uint8_t state = kEventIdle;
  uint8_t protectedStream = 0;
  uint8_t version = kStreamVersion;
  uint16_t fileFlags = 0;
  uint8_t snapshotValid[3] = {0, 0, 0};
  uint8_t runFlags = 0;
  uint8_t strokeFlags = 0;
  SStateRecords records;
  SSystemTime startTime{};
  int32_t strokePointCount = 0;
  int32_t strokePacketCount = 0;
  int16_t strokeStart[2] = {0, 0};  // layer, mask of the open recorded stroke
  struct SBufferedPoint {
    float x;
    float y;
    float pressure;
  };
  int32_t pointCount = 0;
  SBufferedPoint pointBuffer[kMaxPointsPerPacket] = {};
  uint32_t stepTime = 0;
  int32_t readPos = 0;
  int32_t playStepStart = 0;
  int32_t playStepCount = 0;
  int32_t pointsDrawn = 0;
  uint8_t afterStep = 0;
  SPacketHeader lastPacket{};
  std::vector<uint8_t> colorRange;  // last class-0 code-136 payload, for the next colour mask
  // Pictures of the last image state packets 128 and 129, for the next floor filter.
  std::unique_ptr<TMTC> floorTexture;
  std::unique_ptr<TMTC> wallTexture;
  // The player's pen-shape images, by the index the shape dictionary holds (null: a definition
  // without an image).
  std::vector<std::unique_ptr<TChannel>> shapeImages;

  // Snapshot bits by state code.
  bool isSnapshotValid(uint8_t code) const {
    int index = 0;
    uint8_t mask = 0;
    return GetStateSnapshotBit(code, index, mask) && (snapshotValid[index] & mask) != 0;
  }
  void setSnapshotValid(uint8_t code, bool valid) {
    int index = 0;
    uint8_t mask = 0;
    if (!GetStateSnapshotBit(code, index, mask)) return;
    if (valid)
      snapshotValid[index] |= mask;
    else
      snapshotValid[index] &= static_cast<uint8_t>(~mask);
  }

  // Store fields (read-only outside; the loader and player move them through the operations).
  uint32_t blockSize() const { return blockSize_; }
  uint32_t allocated() const { return allocated_; }
  uint32_t writePos() const { return writePos_; }
  int32_t committed() const { return committed_; }
  int32_t stepCount() const { return stepCount_; }
  const CRingBufDWORD& ring() const { return ring_; }
  CRingBufDWORD& ring() { return ring_; }
  size_t blockCountHeld() const { return blocks_.size(); }
  // The player and the stopping of playback move the write position.
  void setWritePosition(uint32_t writePos, int32_t committed, int32_t stepCount);

 private:
  bool addBlock();
  void markBroken();
  bool forgetStepState(uint32_t start, uint32_t end);
  // forgetStepState over the packets after committed, as far as they can be walked.
  void forgetOpenPackets();
  // Puts the keys of the tone and pen-shape definitions in [start, end) back into the
  // dictionaries (value: the packet's position); false when the range cannot be walked.
  bool restoreStepDefinitions(uint32_t start, uint32_t end);
  // The stored record of a fixed-width state code, or null.
  uint8_t* stateRecordBytes(uint8_t code, uint32_t& len);

  // Recording frame (RecordState.cpp).
  enum class RecordGroup : uint8_t { kNone, kDocument, kAll };
  bool writeGroup(RecordGroup group);
  // The groups from one reading of the stroke.
  bool readStroke(SRecordedStroke& s) const;
  bool writeAllGroups(const SRecordedStroke& s);
  bool writeDocGroup(const SRecordedStroke& s);
  bool writeStrokeGroup(const SRecordedStroke& s);
  bool writePenGroup(const SRecordedStroke& s);
  // The pen shape when the document paints with the given image nib (null: none).
  bool writePenShapeOf(const SRecordedNib* nib);
  // The state group, the packet (with optional trailing bytes) closing the step, then what a
  // command that changes the layer or mask structure leaves behind.
  bool recordCommand(RecordGroup group, uint8_t cls, uint8_t code, const void* payload, uint32_t payloadLen,
                     const void* trailing = nullptr, uint32_t trailingLen = 0);
  void afterCommand(uint8_t cls, uint8_t code);
  // A line on the debugger output; false.
  bool missingSource(const char* what) const;
  bool playedResourcesMissing() const;
  enum class AttributeChange : uint8_t { kBlend, kOpacity, kVisible, kProtect };
  bool writeLayerAttribute(int16_t layer, uint8_t code, AttributeChange change, int32_t value);
  bool appendImagePacket(uint8_t cls, uint8_t code, int16_t layer, const TMTC& image, std::string_view name,
                         const uint8_t* attributes, bool closeStep);
  bool appendChannelPacket(uint8_t code, int16_t layer, int16_t mask, const SChannelSettings& settings,
                           const TPoint points[3], const SPackedChannel& packed);
  bool addStrokePointSlow(float x, float y, float pressure);
  // The buffered points as one packet: class 18 closing the step when last, else class 17.
  bool writePointPacket(bool last);

  IRecordedDocument* document_ = nullptr;
  IRecordedPen* pen_ = nullptr;
  IPlayedResources* played_ = nullptr;

  std::vector<std::unique_ptr<CMemSeg>> blocks_;
  uint32_t blockSize_ = 0;
  CRingBufDWORD ring_;
  uint32_t allocated_ = 0;
  uint32_t writePos_ = 0;
  int32_t committed_ = 0;
  int32_t stepCount_ = 0;
  bool broken_ = false;
};

template <typename Visit>
SPacketWalkResult CEventMngr::walkPackets(uint32_t start, uint32_t end, Visit&& visit) const {
  SPacketWalkResult result;
  uint32_t pos = start;
  while (pos < end) {
    SPacketFrame frame;
    if (!readPacketFrame(pos, end, frame) || !visit(frame)) {
      result.ok = false;
      result.failPos = pos;
      result.failHeader = frame.header;
      return result;
    }
    result.lastPos = pos;
    result.lastHeader = frame.header;
    pos = frame.next();  // at least pos + 2
  }
  return result;
}

}  // namespace tf
