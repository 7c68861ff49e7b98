#include "events/EventStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/BlockArena.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/Memory.h"
#include "platform/Stream.h"
#include "platform/Warning.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// CMemSeg

CMemSeg::CMemSeg(int32_t bytes) {
  void* block = nullptr;
  if (bytes > 0 && TryGetArenaBlock(block, bytes)) {
    memory = static_cast<uint8_t*>(block);
    size = bytes;
    valid = 1;
  }
}

CMemSeg::~CMemSeg() { FreeArenaBlock(memory, size); }

uint32_t CMemSeg::write(uint32_t offset, const void* data, uint32_t len) {
  if (!memory || offset >= static_cast<uint32_t>(size)) return 0;
  uint32_t n = std::min(len, static_cast<uint32_t>(size) - offset);
  if (n) std::memcpy(memory + offset, data, n);
  return n;
}

uint32_t CMemSeg::read(uint32_t offset, void* buffer, uint32_t len) const {
  if (!memory || offset >= static_cast<uint32_t>(size)) return 0;
  uint32_t n = std::min(len, static_cast<uint32_t>(size) - offset);
  if (n) std::memcpy(buffer, memory + offset, n);
  return n;
}

// ---------------------------------------------------------------------------------------------
// Stored state records

uint8_t* CEventMngr::stateRecordBytes(uint8_t code, uint32_t& len) {
  auto as = [&](auto& record) {
    len = sizeof record;
    return reinterpret_cast<uint8_t*>(&record);
  };
  SStateRecords& r = records;
  switch (code) {
    case 0: return as(r.app);
    case 2: return as(r.paperColor);
    case 3: return as(r.background);
    case 4: return as(r.gradPoints);
    case 5: return as(r.gradOptions);
    case 8: return as(r.activeLayer);
    case 12: return as(r.flagWord);
    case 13: return as(r.pressure);
    case 16: return as(r.penColor);
    case 17: return as(r.penSize);
    case 18: return as(r.penDynamics);
    case 32: return as(r.font);
    case 37: return as(r.toneReference);
    case 45: return as(r.shapeReference);
    case 48: return as(r.nibFalloff);
    case 50: return as(r.nibColors);
    case 52: return as(r.nibShape);
    case 53: return as(r.nibFlags);
    case 56: return as(r.penParamsA);
    case 57: return as(r.penParamsB);
    case 58: return as(r.paintSwitches);
    case 60: return as(r.strokeDynamics);
    default: len = 0; return nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Construction

CEventMngr::CEventMngr(uint32_t blockSize, uint32_t maximumSize) : blockSize_(blockSize) {
  if (blockSize_ > 0) {
    uint64_t wanted = (uint64_t{maximumSize} + blockSize_ - 1) / blockSize_;
    try {
      blocks_.reserve(static_cast<size_t>(std::max<uint64_t>(wanted, 10)));
    } catch (const std::bad_alloc&) {
      // the list grows as blocks are added
    }
  }
}

CEventMngr::~CEventMngr() {
  resetStream();
  blocks_.clear();
}

bool CEventMngr::setupStream(IRecordedStroke* recordedStroke, IRecordedTones* recordedTones, int32_t ringCount,
                             int32_t ringExtra) {
  if (!isReady()) return false;
  resetStream();
  if (!ring_.Setup(ringCount, ringExtra)) return false;
  resetStream();  // the ring is ready now: clears what the first reset could not
  stroke = recordedStroke;
  tones = recordedTones;
  return addBlock();
}

bool CEventMngr::setupRecording(IRecordedStroke* recordedStroke, IRecordedTones* recordedTones, int32_t ringCount,
                                int32_t ringExtra) {
  if (!setupStream(recordedStroke, recordedTones, ringCount, ringExtra)) return false;
  state = kEventRecording;
  SAppStateRecord app{};
  app.major = kAppVersionMajor;
  app.minor = kAppVersionMinor;
  app.extFlagsVersion = 0;
  return writeStateRecord(kStAppState, &app, sizeof app) != StateWrite::kFailed;
}

// ---------------------------------------------------------------------------------------------
// Queries

bool CEventMngr::hasStream() const { return isReady() && ring_.IsReady() && allocated_ > 0 && !blocks_.empty(); }

int32_t CEventMngr::getBlockCount() const {
  if (blockSize_ == 0 || committed_ <= 0) return 0;
  return static_cast<int32_t>((uint64_t(committed_) + blockSize_ - 1) / blockSize_);
}

int32_t CEventMngr::getRedoSteps() const { return std::max(ring_.ForwardCount() - 1, 0); }

void CEventMngr::forgetActiveLayer() { setSnapshotValid(kStActiveLayer, false); }

// ---------------------------------------------------------------------------------------------
// Blocks and bytes

bool CEventMngr::addBlock() {
  // Stream lengths and positions are int32 in the stream's headers and in committed: the
  // blocks never hold more than that.
  if (uint64_t{allocated_} + blockSize_ > static_cast<uint64_t>(INT32_MAX)) return false;
  try {
    auto block = std::make_unique<CMemSeg>(static_cast<int32_t>(blockSize_));
    if (!block->memory) return false;
    blocks_.push_back(std::move(block));
    allocated_ += blockSize_;
    return true;
  } catch (...) {
    return false;
  }
}

uint32_t CEventMngr::writeAt(uint32_t pos, const void* data, uint32_t len) {
  if (len == 0 || len > blockSize_ || !data || pos > writePos_) return 0;
  uint64_t end = uint64_t{pos} + len;
  if (end > UINT32_MAX) return 0;
  if (end > writePos_ && !(uint64_t{writePos_} + len < allocated_)) {
    if (!addBlock()) return 0;
  }
  uint32_t b = pos / blockSize_;
  uint32_t c = static_cast<uint32_t>(end / blockSize_);
  uint32_t offset = pos % blockSize_;
  auto blockWrite = [&](uint32_t index, uint32_t at, const void* from, uint32_t n) -> uint32_t {
    if (index >= blocks_.size()) return 0;
    return blocks_[index]->write(at, from, n);
  };
  if (b == c) return blockWrite(b, offset, data, len);
  uint32_t first = blockSize_ - offset;
  uint32_t done = blockWrite(b, offset, data, first);
  if (done < first) return done;
  uint32_t rest = len - first;
  if (rest == 0) return done;
  return done + blockWrite(c, 0, static_cast<const uint8_t*>(data) + first, rest);
}

uint32_t CEventMngr::readAt(uint32_t pos, void* buffer, uint32_t len) const {
  if (len == 0 || len > blockSize_ || !buffer) return 0;
  if (uint64_t{pos} + len > writePos_) return 0;
  uint32_t b = pos / blockSize_;
  uint32_t c = (pos + len - 1) / blockSize_;
  uint32_t offset = pos % blockSize_;
  auto blockRead = [&](uint32_t index, uint32_t at, void* to, uint32_t n) -> uint32_t {
    if (index >= blocks_.size()) return 0;
    return blocks_[index]->read(at, to, n);
  };
  if (b == c) return blockRead(b, offset, buffer, len);
  uint32_t first = blockSize_ - offset;
  uint32_t done = blockRead(b, offset, buffer, first);
  if (done < first) return done;
  return done + blockRead(c, 0, static_cast<uint8_t*>(buffer) + first, len - first);
}

uint32_t CEventMngr::writeSpan(uint32_t pos, const void* data, uint32_t len) {
  const auto* from = static_cast<const uint8_t*>(data);
  uint32_t done = 0;
  while (done < len) {
    uint32_t piece = std::min(len - done, blockSize_);
    uint32_t n = writeAt(pos + done, from + done, piece);
    done += n;
    if (pos + done > writePos_) writePos_ = pos + done;
    if (n < piece) break;
  }
  return done;
}

uint32_t CEventMngr::readSpan(uint32_t pos, void* buffer, uint32_t len) const {
  auto* to = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < len) {
    uint32_t piece = std::min(len - done, blockSize_);
    uint32_t n = readAt(pos + done, to + done, piece);
    done += n;
    if (n < piece) break;
  }
  return done;
}

// ---------------------------------------------------------------------------------------------
// Recording

void CEventMngr::markBroken() {
  if (broken_) return;
  broken_ = true;
  state = kEventIdle;
  runFlags &= static_cast<uint8_t>(~kRunInStroke);
  ShowWarning(kEventAppendFailedText);
}

bool CEventMngr::appendPacket(uint8_t cls, uint8_t code, const void* payload, uint32_t payloadLen,
                              const void* trailing, uint32_t trailingLen) {
  if (state != kEventRecording) return true;
  // Anything appended now lies over the bytes of undone steps: they can no longer be redone.
  ring_.ClearForward();
  const uint32_t start = writePos_;
  bool ok = false;
  try {
    const uint8_t header[2] = {cls, code};
    ok = hasStream() && writeAt(writePos_, header, 2) == 2;
    if (ok) {
      writePos_ += 2;
      if (payloadLen > 0) {
        ok = payload && writeAt(writePos_, payload, payloadLen) == payloadLen;
        if (ok) writePos_ += payloadLen;
      }
    }
    if (ok && trailing && trailingLen > 0) ok = writeSpan(writePos_, trailing, trailingLen) == trailingLen;
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    writePos_ = start;
    markBroken();
  }
  return ok;
}

bool CEventMngr::appendStep(uint8_t cls, uint8_t code, const void* payload, uint32_t payloadLen,
                            const void* trailing, uint32_t trailingLen) {
  if (state != kEventRecording) return true;
  return appendPacket(cls, code, payload, payloadLen, trailing, trailingLen) && commitStep();
}

bool CEventMngr::commitStep(const void* trailing, uint32_t trailingLen) {
  if (state != kEventRecording) return true;
  const uint32_t start = writePos_;
  bool ok = true;
  if (trailing && trailingLen > 0) ok = writeSpan(writePos_, trailing, trailingLen) == trailingLen;
  if (ok) {
    if (stepCount_ == 0) {
      // The first step goes into the current slot; nothing ahead of it can be redone.
      ok = ring_.Put(committed_);
      ring_.ClearForward();
    } else {
      ok = ring_.Push(committed_);
    }
  }
  if (!ok) {
    writePos_ = start;
    markBroken();
    return false;
  }
  // A step count read from a file may already stand at the top of its range.
  if (stepCount_ < INT32_MAX) ++stepCount_;
  committed_ = static_cast<int32_t>(writePos_);
  return true;
}

StateWrite CEventMngr::writeStateRecord(uint8_t code, const void* record, uint32_t len) {
  // The stored record and its bit change only after the packet is in the stream: a refused
  // append must not leave them claiming a state the stream never got.
  const auto* bytes = static_cast<const uint8_t*>(record);
  const bool recording = state == kEventRecording;
  if (code == kStText) {
    bool same = isSnapshotValid(code) && records.text.size() == len &&
                (len == 0 || std::memcmp(records.text.data(), bytes, len) == 0);
    if (same) return StateWrite::kUnchanged;
    std::vector<uint8_t> text;
    try {
      text.assign(bytes, bytes + len);
    } catch (const std::bad_alloc&) {
      return StateWrite::kFailed;
    }
    if (recording && !appendPacket(kPcState, code, record, len)) return StateWrite::kFailed;
    records.text.swap(text);
  } else {
    uint32_t size = 0;
    uint8_t* stored = stateRecordBytes(code, size);
    if (!stored || size != len) return StateWrite::kFailed;
    bool always = code == kStActiveLayer || code == kStFont;
    if (!always && isSnapshotValid(code) && std::memcmp(stored, record, len) == 0) return StateWrite::kUnchanged;
    if (recording && !appendPacket(kPcState, code, record, len)) return StateWrite::kFailed;
    std::memcpy(stored, record, len);
  }
  setSnapshotValid(code, true);
  return StateWrite::kWritten;
}

// ---------------------------------------------------------------------------------------------
// Saving and loading

uint32_t CEventMngr::writeStreamTo(Stream& stream) const {
  if (broken_ || committed_ <= 0) return 0;
  uint32_t total = static_cast<uint32_t>(committed_);
  uint32_t done = 0;
  for (size_t i = 0; i < blocks_.size() && done < total; ++i) {
    uint32_t n = std::min(blockSize_, total - done);
    if (stream.Write(blocks_[i]->memory, n) != n) break;
    done += n;
  }
  return done;
}

bool CEventMngr::resetForLoad() {
  if (!resetStream()) return false;
  ring_.Reset();
  return addBlock();
}

uint32_t CEventMngr::loadRawStream(Stream& stream, int32_t length, int32_t steps) {
  if (!resetForLoad() || length <= 0) return 0;
  std::vector<uint8_t> piece;
  try {
    piece.resize(blockSize_);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  uint32_t total = static_cast<uint32_t>(length);
  uint32_t done = 0;
  while (done < total) {
    uint32_t want = std::min(blockSize_, total - done);
    int64_t got = stream.Read(piece.data(), want);
    if (got <= 0) break;
    uint32_t n = writeSpan(writePos_, piece.data(), static_cast<uint32_t>(got));
    done += n;
    if (n < got || got < want) break;
  }
  if (done < total) {
    resetForLoad();
    return done;
  }
  setLoadedLength(length, steps);
  return done;
}

bool CEventMngr::setLoadedLength(int32_t length, int32_t steps) {
  if (length < 0 || static_cast<uint32_t>(length) > writePos_) return false;
  writePos_ = static_cast<uint32_t>(length);
  committed_ = length;
  stepCount_ = std::max(steps, 0);
  readPos = playStepStart = playStepCount = 0;
  return true;
}

void CEventMngr::setWritePosition(uint32_t position, int32_t committedLength, int32_t steps) {
  if (position >= allocated_ || committedLength < 0 || static_cast<uint32_t>(committedLength) > position) return;
  writePos_ = position;
  committed_ = committedLength;
  stepCount_ = std::max(steps, 0);
}

void CEventMngr::trimBlocks() {
  if (blockSize_ == 0) return;
  size_t keep = writePos_ / blockSize_ + 1;
  if (blocks_.size() > keep) blocks_.resize(keep);
  allocated_ = static_cast<uint32_t>(blocks_.size()) * blockSize_;
}

bool CEventMngr::resetStream() {
  if (!isReady() || !ring_.IsReady()) return false;
  blocks_.clear();
  allocated_ = writePos_ = 0;
  committed_ = stepCount_ = 0;
  readPos = playStepStart = playStepCount = 0;
  snapshotValid[0] = snapshotValid[1] = snapshotValid[2] = 0;
  runFlags = strokeFlags = 0;
  state = kEventIdle;
  broken_ = false;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Undo and redo

bool CEventMngr::forgetStepState(uint32_t start, uint32_t end) {
  SPacketWalkResult walk = walkPackets(start, end, [&](const SPacketFrame& f) {
    if (f.header.cls != kPcState) return true;
    uint8_t code = f.header.code;
    if (code == kStFloorTexture || code == kStWallTexture || code == kStColorRange) return true;
    int index = 0;
    uint8_t mask = 0;
    if (!GetStateSnapshotBit(code, index, mask)) return false;  // not a state record
    setSnapshotValid(code, false);
    if (code == kStToneDefinition || code == kStShapeDefinition) {
      uint8_t key[4];
      if (f.length < 4 || readAt(f.payloadPos, key, 4) != 4) return false;
      CMapDD& dict = code == kStToneDefinition ? toneDict : shapeDict;
      dict.removeKey(LoadU32(key));
    }
    return true;
  });
  return walk.ok;
}

void CEventMngr::forgetOpenPackets() {
  // Packets appended after the last closed step leave the stream with it. They are whole unless
  // the stream broke while appending, and a broken stream is never written: as far as they can
  // be walked is enough.
  if (writePos_ > static_cast<uint32_t>(committed_))
    forgetStepState(static_cast<uint32_t>(committed_), writePos_);
}

bool CEventMngr::undoStep() {
  if (stepCount_ <= 0 || ring_.BackCount() <= 0) return false;
  if (ring_.ForwardCount() == 0) {
    if (!ring_.Push(committed_) || !ring_.Back()) return false;
  }
  uint32_t start = static_cast<uint32_t>(ring_.Current());
  if (start > static_cast<uint32_t>(committed_)) return false;
  if (!forgetStepState(start, static_cast<uint32_t>(committed_))) return false;
  forgetOpenPackets();
  if (!ring_.Back()) return false;
  committed_ = static_cast<int32_t>(start);
  writePos_ = start;
  --stepCount_;
  return true;
}

bool CEventMngr::restoreStepDefinitions(uint32_t start, uint32_t end) {
  // Undo took the keys of the step's definitions out of the dictionaries; the redone bytes hold
  // those definitions again, and a second definition of a key would fail at playback.
  struct Key {
    CMapDD* dict;
    uint32_t key;
    uint32_t pos;
  };
  std::vector<Key> keys;
  try {
    SPacketWalkResult walk = walkPackets(start, end, [&](const SPacketFrame& f) {
      if (f.header.cls != kPcState) return true;
      if (f.header.code != kStToneDefinition && f.header.code != kStShapeDefinition) return true;
      uint8_t key[4];
      if (f.length < 4 || readAt(f.payloadPos, key, 4) != 4) return false;
      CMapDD& dict = f.header.code == kStToneDefinition ? toneDict : shapeDict;
      keys.push_back(Key{&dict, LoadU32(key), f.pos});
      return true;
    });
    if (!walk.ok) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    if (!keys[i].dict->setAt(keys[i].key, keys[i].pos)) {
      while (i-- > 0) keys[i].dict->removeKey(keys[i].key);
      return false;
    }
  }
  return true;
}

bool CEventMngr::redoStep() {
  if (ring_.ForwardCount() <= 1) return false;
  int32_t end = 0;
  if (!ring_.Forward()) return false;
  const uint32_t start = static_cast<uint32_t>(ring_.Current());
  if (!ring_.Peek(1, end) || end < committed_ || static_cast<uint32_t>(end) > allocated_ ||
      start > static_cast<uint32_t>(end)) {
    ring_.Back();
    return false;
  }
  const int32_t oldCommitted = committed_;
  const uint32_t oldWritePos = writePos_;
  committed_ = end;
  writePos_ = static_cast<uint32_t>(end);
  if (!restoreStepDefinitions(start, static_cast<uint32_t>(end))) {
    committed_ = oldCommitted;
    writePos_ = oldWritePos;
    ring_.Back();
    return false;
  }
  if (stepCount_ < INT32_MAX) ++stepCount_;
  return true;
}

bool CEventMngr::dropLastStep() {
  if (stepCount_ <= 0 || ring_.BackCount() <= 0) return false;
  uint32_t start = static_cast<uint32_t>(ring_.Current());
  if (start > static_cast<uint32_t>(committed_)) return false;
  if (!forgetStepState(start, static_cast<uint32_t>(committed_))) return false;
  forgetOpenPackets();
  committed_ = static_cast<int32_t>(start);
  writePos_ = start;
  ring_.Drop();
  --stepCount_;
  return true;
}

bool CEventMngr::removeEventFin() {
  if (state != kEventFinished) return false;
  uint8_t cls = 0;
  uint8_t code = 0;
  if (!getLastStepPacket(cls, code) || cls != kPcPaper || code != kPaperEndMarker) return false;
  if (!dropLastStep()) return false;
  state = kEventRecording;
  return true;
}

bool CEventMngr::clearRedo() { return ring_.ClearForward() > 1; }

bool CEventMngr::getLastStepPacket(uint8_t& cls, uint8_t& code) const {
  if (stepCount_ <= 0 || ring_.BackCount() <= 0) return false;
  uint32_t start = static_cast<uint32_t>(ring_.Current());
  bool found = false;
  walkPackets(start, static_cast<uint32_t>(committed_), [&](const SPacketFrame& f) {
    if (f.header.cls == kPcState || f.header.cls == kPcInfo) return true;
    cls = f.header.cls;
    code = f.header.code;
    found = true;
    return false;  // stop here
  });
  return found;
}

// ---------------------------------------------------------------------------------------------
// Packets

int32_t CEventMngr::getPacketLength(const SPacketHeader& header, uint32_t payloadPos) const {
  SPacketLengthRule rule;
  if (!GetPacketLengthRule(header.cls, header.code, rule)) return -1;
  int32_t length = rule.fixed;
  if (rule.fieldSize > 0) {
    uint8_t fixed[160];
    uint32_t need = static_cast<uint32_t>(rule.fixedPartSize());
    if (need > sizeof fixed || readAt(payloadPos, fixed, need) != need) return -1;
    length = PacketLengthFromBytes(header.cls, header.code, fixed, need);
    if (length < 0) return -1;
  }
  if (uint64_t{payloadPos} + static_cast<uint32_t>(length) > writePos_) return -1;
  return length;
}

bool CEventMngr::readPacketFrame(uint32_t pos, uint32_t end, SPacketFrame& frame) const {
  frame = SPacketFrame{};
  frame.pos = pos;
  uint8_t header[2];
  if (readAt(pos, header, 2) != 2) return false;
  frame.header = SPacketHeader{header[0], header[1]};
  frame.payloadPos = pos + 2;
  frame.length = getPacketLength(frame.header, frame.payloadPos);
  if (frame.length < 0) return false;
  return uint64_t{frame.payloadPos} + static_cast<uint32_t>(frame.length) <= end;
}

}  // namespace tf
