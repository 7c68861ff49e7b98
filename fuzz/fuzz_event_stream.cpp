// libFuzzer target: event streams loaded from outside bytes into the event manager, then
// walked and stepped over.
//
// A stream is loaded raw (loadRawStream, with a length that may not match the bytes) or as
// packed blocks, the way the recorded-event reader takes them: each block of the input is
// packed, possibly damaged (a flipped byte, a cut, a wrong unpacked length), unpacked with
// BlockUnpack into a zeroed buffer and appended with writeSpan until the first bad block;
// setLoadedLength then takes what was read. Afterwards a script of operations runs over the
// loaded data: packet walks, undo, redo and drop of steps whose checkpoints lie on packet
// starts, appends (some with memory refused), block trimming and writing the stream out.
// After every operation the positions stay ordered and the committed bytes read back as the
// model says.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "events/EventPacket.h"
#include "events/EventStream.h"
#include "platform/BlockPack.h"
#include "platform/Memory.h"
#include "platform/Stream.h"
#include "platform/Warning.h"

namespace {

// Stops the run at a broken expectation, naming its line.
[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using namespace tf;

class QuietWarnings {
 public:
  QuietWarnings() { previous_ = SetWarningHost(&host_); }
  ~QuietWarnings() {
    SetWarningHost(previous_);
    SetMemoryRefusals(0);
  }

 private:
  RecordingWarningHost host_;
  WarningHost* previous_;
};

// The bytes the stream holds, as far as anything wrote them.
struct Model {
  std::vector<uint8_t> bytes;
  // A failed append may have written part of its packet past the write position, over bytes
  // a redo would bring back; the stream is broken then and never written out.
  size_t trusted = SIZE_MAX;

  void Write(uint32_t pos, const void* data, uint32_t len) {
    if (bytes.size() < size_t{pos} + len) bytes.resize(size_t{pos} + len, 0);
    if (len) std::memcpy(bytes.data() + pos, data, len);
  }
};

void Check(const CEventMngr& mngr, const Model& model) {
  if (mngr.committed() < 0 || static_cast<uint32_t>(mngr.committed()) > mngr.writePos()) Fail(__LINE__);
  if (mngr.allocated() > 0 && mngr.writePos() > mngr.allocated()) Fail(__LINE__);
  if (mngr.stepCount() < 0 || mngr.getUndoSteps() < 0 || mngr.getRedoSteps() < 0) Fail(__LINE__);
  if (mngr.allocated() != mngr.blockCountHeld() * mngr.blockSize()) Fail(__LINE__);
  const uint32_t committed = static_cast<uint32_t>(mngr.committed());
  std::vector<uint8_t> held(committed);
  if (mngr.readSpan(0, held.data(), committed) != committed) Fail(__LINE__);
  if (committed > model.bytes.size() && model.bytes.size() < model.trusted) {
    // Never written: only zeroed block memory can be there.
    for (size_t i = model.bytes.size(); i < std::min<size_t>(committed, model.trusted); ++i)
      if (held[i] != 0) Fail(__LINE__);
  }
  size_t known = std::min({size_t{committed}, model.bytes.size(), model.trusted});
  if (known && std::memcmp(held.data(), model.bytes.data(), known) != 0) Fail(__LINE__);
  // Nothing past the write position can be read.
  uint8_t byte;
  if (mngr.readAt(mngr.writePos(), &byte, 1) != 0) Fail(__LINE__);
}

// Packet starts of [0, committed) as far as the walk gets.
std::vector<uint32_t> PacketStarts(const CEventMngr& mngr) {
  std::vector<uint32_t> starts;
  const uint32_t end = static_cast<uint32_t>(mngr.committed());
  SPacketWalkResult walk = mngr.walkPackets(0, end, [&](const SPacketFrame& f) {
    if (f.next() > end || f.next() < f.pos + 2) Fail(__LINE__);
    if (mngr.getPacketLength(f.header, f.payloadPos) != f.length) Fail(__LINE__);
    starts.push_back(f.pos);
    return true;
  });
  if (!walk.ok && walk.failPos > end) Fail(__LINE__);
  starts.push_back(walk.ok ? end : walk.failPos);
  return starts;
}

void LoadPacked(CEventMngr& mngr, Model& model, FuzzedDataProvider& fdp, const std::vector<uint8_t>& content,
                int32_t steps) {
  const uint32_t blockSize = mngr.blockSize();
  const uint8_t damage = fdp.ConsumeIntegral<uint8_t>() % 5;
  const uint32_t damagedBlock = fdp.ConsumeIntegral<uint16_t>();
  const uint32_t where = fdp.ConsumeIntegral<uint32_t>();
  if (!mngr.resetForLoad()) Fail(__LINE__);
  model.bytes.clear();
  uint32_t total = 0;
  uint32_t blockCount = static_cast<uint32_t>((content.size() + blockSize - 1) / blockSize);
  for (uint32_t i = 0; i < blockCount; ++i) {
    const uint8_t* source = content.data() + size_t{i} * blockSize;
    uint32_t length = static_cast<uint32_t>(std::min<size_t>(blockSize, content.size() - size_t{i} * blockSize));
    std::vector<uint8_t> packed;
    if (BlockPack(source, length, packed) == 0) Fail(__LINE__);
    uint32_t unpacked = length;
    bool bad = false;
    if (i == damagedBlock % blockCount) {
      switch (damage) {
        case 1: packed[where % packed.size()] ^= static_cast<uint8_t>(1 + (where >> 24) % 255); break;
        case 2:
          packed.resize(where % packed.size());
          bad = true;
          break;
        case 3:
          unpacked = length + 1 + (where % 3);
          bad = true;
          break;
        case 4:
          unpacked = length - std::min(length, 1 + where % 3);
          bad = true;
          break;
        default: break;
      }
    }
    // The reader's step: the block's unpacked length may not pass the block size.
    if (unpacked > blockSize || packed.empty()) break;
    std::vector<uint8_t> buffer(unpacked, 0);
    bool ok = BlockUnpack(packed.data(), packed.size(), buffer.empty() ? nullptr : buffer.data(), buffer.size());
    if (ok && bad) Fail(__LINE__);  // a cut stream or a wrong length never unpacks
    if (ok && unpacked && std::memcmp(buffer.data(), source, unpacked) != 0) Fail(__LINE__);
    if (!ok) break;
    if (mngr.writeSpan(total, buffer.data(), unpacked) != unpacked) Fail(__LINE__);
    model.Write(total, buffer.data(), unpacked);
    total += unpacked;
  }
  if (total > 0 && !mngr.setLoadedLength(static_cast<int32_t>(total), steps)) Fail(__LINE__);
  if (static_cast<uint32_t>(mngr.committed()) != total) Fail(__LINE__);
}

void LoadRaw(CEventMngr& mngr, Model& model, FuzzedDataProvider& fdp, const std::vector<uint8_t>& content,
             int32_t steps) {
  int32_t length = static_cast<int32_t>(content.size());
  switch (fdp.ConsumeIntegral<uint8_t>() % 4) {
    case 1: length += fdp.ConsumeIntegralInRange<int32_t>(-8, 8); break;
    case 2: length = fdp.ConsumeIntegral<int32_t>(); break;
    default: break;
  }
  MemoryStream stream(content);
  uint32_t got = mngr.loadRawStream(stream, length, steps);
  model.bytes.clear();
  if (length > 0 && static_cast<size_t>(length) <= content.size()) {
    if (got != static_cast<uint32_t>(length)) Fail(__LINE__);
    if (mngr.committed() != length || mngr.writePos() != static_cast<uint32_t>(length)) Fail(__LINE__);
    if (mngr.stepCount() != std::max(steps, 0)) Fail(__LINE__);
    model.Write(0, content.data(), static_cast<uint32_t>(length));
  } else {
    // Short or no stream: nothing is kept.
    if (mngr.committed() != 0 || mngr.writePos() != 0) Fail(__LINE__);
    if (length > 0 && got >= static_cast<uint32_t>(length)) Fail(__LINE__);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietWarnings quiet;
  FuzzedDataProvider fdp(data, size);
  static constexpr uint32_t kBlockSizes[] = {160, 256, 4096, 65536};
  const uint32_t blockSize = kBlockSizes[fdp.ConsumeIntegral<uint8_t>() % 4];
  const int32_t ringCount = fdp.ConsumeIntegralInRange<int32_t>(1, 40);
  const int32_t ringExtra = fdp.ConsumeIntegralInRange<int32_t>(0, 40);
  const bool packed = fdp.ConsumeBool();
  const int32_t steps = fdp.ConsumeIntegral<int32_t>();
  // The script of operations comes from the end of the input, the stream from its start.
  std::vector<uint8_t> script = fdp.ConsumeBytes<uint8_t>(fdp.ConsumeIntegralInRange<size_t>(0, 96));
  std::vector<uint8_t> params = fdp.ConsumeBytes<uint8_t>(8);
  std::vector<uint8_t> content = fdp.ConsumeRemainingBytes<uint8_t>();

  CEventMngr mngr(blockSize, 1 << 20);
  if (!mngr.setupStream(nullptr, nullptr, ringCount, ringExtra)) return 0;
  Model model;
  FuzzedDataProvider loadFdp(params.data(), params.size());
  if (packed)
    LoadPacked(mngr, model, loadFdp, content, steps);
  else
    LoadRaw(mngr, model, loadFdp, content, steps);
  Check(mngr, model);

  FuzzedDataProvider ops(script.data(), script.size());
  while (ops.remaining_bytes() > 0) {
    const uint8_t op = ops.ConsumeIntegral<uint8_t>() % 13;
    const uint32_t arg = ops.ConsumeIntegral<uint16_t>();
    std::vector<uint32_t> starts = PacketStarts(mngr);
    const uint32_t startPick = starts[arg % starts.size()];
    const int32_t before = mngr.committed();
    if (std::getenv("FUZZ_TRACE"))
      std::fprintf(stderr, "op %d arg %u: writePos %u committed %d steps %d back %d fwd %d alloc %u pick %u\n",
                   op, arg, mngr.writePos(), mngr.committed(), mngr.stepCount(), mngr.ring().BackCount(),
                   mngr.ring().ForwardCount(), mngr.allocated(), startPick);
    switch (op) {
      case 0:
        if (mngr.undoStep() && mngr.committed() > before) Fail(__LINE__);
        break;
      case 1:
        if (mngr.redoStep() && mngr.committed() < before) Fail(__LINE__);
        break;
      case 2:
        if (mngr.dropLastStep() && mngr.committed() > before) Fail(__LINE__);
        break;
      case 3: mngr.clearRedo(); break;
      case 4: {
        uint8_t cls = 0, code = 0;
        mngr.getLastStepPacket(cls, code);
        break;
      }
      case 5:
        // A checkpoint where a step starts, as the player sets them.
        if (mngr.stepCount() == 0 || mngr.ring().BackCount() == 0)
          mngr.ring().Put(static_cast<int32_t>(startPick));
        else
          mngr.ring().Push(static_cast<int32_t>(startPick));
        break;
      case 6:
        // The player stops at a packet start.
        mngr.setWritePosition(startPick, static_cast<int32_t>(startPick), static_cast<int32_t>(arg >> 8));
        break;
      case 7:
      case 8: {
        // A recorded step: one packet with a payload, some of it past the block size.
        if (mngr.isBroken()) break;  // recording stopped for good
        if (op == 8) SetMemoryRefusals(1);
        mngr.state = kEventRecording;
        uint8_t payload[300];
        uint32_t len = arg % sizeof payload;
        for (uint32_t i = 0; i < len; ++i) payload[i] = static_cast<uint8_t>(arg + i);
        uint8_t trailing[64];
        uint32_t trailingLen = (arg >> 9) % sizeof trailing;
        std::memset(trailing, static_cast<uint8_t>(arg >> 3), trailingLen);
        const uint32_t at = mngr.writePos();
        bool ok = mngr.appendStep(kPcInfo, 3, payload, std::min(len, mngr.blockSize()), trailing, trailingLen);
        SetMemoryRefusals(0);
        if (ok) {
          uint8_t header[2] = {kPcInfo, 3};
          model.Write(at, header, 2);
          uint32_t payloadLen = std::min(len, mngr.blockSize());
          model.Write(at + 2, payload, payloadLen);
          model.Write(at + 2 + payloadLen, trailing, trailingLen);
        }
        if (!ok) {
          if (mngr.writePos() != at || !mngr.isBroken()) Fail(__LINE__);
          model.trusted = std::min<size_t>(model.trusted, at);
        }
        mngr.state = kEventIdle;
        break;
      }
      case 9:
        mngr.trimBlocks();
        if (model.bytes.size() > mngr.allocated()) model.bytes.resize(mngr.allocated());
        break;
      case 10: {
        MemoryStream out;
        uint32_t written = mngr.writeStreamTo(out);
        if (mngr.isBroken()) {
          if (written != 0) Fail(__LINE__);
        } else {
          if (written != static_cast<uint32_t>(std::max(mngr.committed(), 0))) Fail(__LINE__);
          size_t known = std::min({size_t{written}, model.bytes.size(), model.trusted});
          if (known && std::memcmp(out.Data(), model.bytes.data(), known) != 0) Fail(__LINE__);
        }
        break;
      }
      case 11: {
        SPacketFrame frame;
        uint32_t pos = arg % (mngr.writePos() + 3);
        if (mngr.readPacketFrame(pos, mngr.writePos(), frame) && frame.next() > mngr.writePos()) Fail(__LINE__);
        break;
      }
      case 12: {
        const uint32_t writePos = mngr.writePos();
        int32_t length = static_cast<int32_t>(arg % (writePos + 3));
        bool ok = mngr.setLoadedLength(length, static_cast<int32_t>(arg) - 100);
        if (ok != (static_cast<uint32_t>(length) <= writePos)) Fail(__LINE__);
        break;
      }
    }
    Check(mngr, model);
  }
  return 0;
}
