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
#include <vector>

#include "events/EventPacket.h"
#include "paint/Gradient.h"
#include "platform/Clock.h"
#include "platform/DWordMap.h"
#include "raster/FlatImage.h"
#include "raster/RingBuf.h"

namespace tf {

class Stream;
class TStroke;
class CPenRender;
class CStrokeMngr;
class CToneMngr;

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

// The snapshot bit of a class-0 state code: byte index 0..2 and mask; false for a code
// without one (128, 129, 136 and unknown codes).
bool GetStateSnapshotBit(uint8_t code, int& byteIndex, uint8_t& mask);

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
  // Resets the stream, sets the ring up with ringCount + ringExtra slots, keeps stroke and
  // toneMngr and allocates the first block. Only when the manager is ready.
  bool setupStream(TStroke* stroke, CToneMngr* toneMngr, int32_t ringCount, int32_t ringExtra);
  // setupStream, then recording state and the application-state record.
  bool setupRecording(TStroke* stroke, CToneMngr* toneMngr, int32_t ringCount, int32_t ringExtra);
  // The paper's stroke manager and pen renderer, recorded from and played into.
  void attachPaperObjects(CStrokeMngr* strokeMngr, CPenRender* penRender);

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
  // equal (codes 8 and 32 are always written); otherwise the snapshot takes it, the bit is
  // set, and the packet is appended while recording.
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
  TStroke* stroke = nullptr;
  CPenRender* penRender = nullptr;
  CStrokeMngr* strokeMngr = nullptr;
  CToneMngr* toneMngr = nullptr;
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

  // Snapshot bits by state code.
  bool isSnapshotValid(uint8_t code) const;
  void setSnapshotValid(uint8_t code, bool valid);

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
