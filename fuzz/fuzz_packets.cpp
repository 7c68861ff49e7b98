// libFuzzer target: the packet length table and the packet walkers over arbitrary bytes.
// A plain walk over the flat bytes (PacketLengthFromBytes) must agree with the event
// manager's walk over the same bytes held in blocks (getPacketLength, readPacketFrame,
// walkPackets), packet by packet, from every start position and up to any end.
//
// Input: byte 0 chooses the block size and an end position; the rest is the stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "events/EventPacket.h"
#include "events/EventStream.h"
#include "platform/Warning.h"

namespace {

// Stops the run at a broken expectation, naming its line.
[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using namespace tf;

// Every rule of the table describes a payload that holds its own fixed part, and the fixed
// part fits the manager's read buffer.
void CheckTableOnce() {
  static bool checked = false;
  if (checked) return;
  checked = true;
  for (int cls = 0; cls < 256; ++cls) {
    for (int code = 0; code < 256; ++code) {
      SPacketLengthRule rule;
      if (!GetPacketLengthRule(static_cast<uint8_t>(cls), static_cast<uint8_t>(code), rule)) {
        if (PacketLengthFromBytes(static_cast<uint8_t>(cls), static_cast<uint8_t>(code), nullptr, 0) != -1)
          Fail(__LINE__);
        continue;
      }
      if (rule.fixed < 0 || rule.fixedPartSize() > 160 || rule.fixed < rule.fixedPartSize()) Fail(__LINE__);
      if (rule.fieldSize != 0 && rule.fieldSize != 2 && rule.fieldSize != 4) Fail(__LINE__);
      if (rule.fieldSize == 0 &&
          PacketLengthFromBytes(static_cast<uint8_t>(cls), static_cast<uint8_t>(code), nullptr, 0) != rule.fixed)
        Fail(__LINE__);
    }
  }
}

// Payload length of the packet at pos of the flat bytes, -1 when it cannot be stepped over
// within size.
int64_t FlatLength(const uint8_t* data, size_t size, size_t pos) {
  if (pos + 2 > size) return -1;
  const size_t available = size - pos - 2;
  // The payload handed over is an exact copy (of at most the largest fixed part, 160 bytes),
  // so reading past `available` shows under ASan.
  std::vector<uint8_t> payload(data + pos + 2, data + pos + 2 + std::min<size_t>(available, 160));
  int32_t length =
      PacketLengthFromBytes(data[pos], data[pos + 1], payload.empty() ? nullptr : payload.data(), available);
  if (length < 0) return -1;
  if (static_cast<uint64_t>(length) > available) return -1;
  return length;
}

class QuietWarnings {
 public:
  QuietWarnings() { previous_ = SetWarningHost(&host_); }
  ~QuietWarnings() { SetWarningHost(previous_); }

 private:
  RecordingWarningHost host_;
  WarningHost* previous_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckTableOnce();
  if (size < 1) return 0;
  QuietWarnings quiet;
  static constexpr uint32_t kBlockSizes[] = {160, 161, 256, 1000, 65536};
  const uint32_t blockSize = kBlockSizes[(data[0] & 7) % 5];
  const uint8_t* bytes = data + 1;
  const size_t n = size - 1;

  CEventMngr mngr(blockSize, 1 << 20);
  if (!mngr.setupStream(nullptr, nullptr, 16, 16)) Fail(__LINE__);
  if (n > 0 && mngr.writeSpan(0, bytes, static_cast<uint32_t>(n)) != n) Fail(__LINE__);
  if (!mngr.setLoadedLength(static_cast<int32_t>(n), 0)) Fail(__LINE__);
  if (mngr.writePos() != n) Fail(__LINE__);

  // Every start position: the frame the manager reads is the flat one.
  for (size_t pos = 0; pos <= n + 2; ++pos) {
    SPacketFrame frame;
    bool ok = mngr.readPacketFrame(static_cast<uint32_t>(pos), static_cast<uint32_t>(n), frame);
    int64_t flat = FlatLength(bytes, n, pos);
    if (ok != (flat >= 0)) Fail(__LINE__);
    if (ok) {
      if (frame.pos != pos || frame.payloadPos != pos + 2 || frame.length != flat) Fail(__LINE__);
      if (frame.header.cls != bytes[pos] || frame.header.code != bytes[pos + 1]) Fail(__LINE__);
      if (frame.next() > n || frame.next() <= pos) Fail(__LINE__);
      if (mngr.getPacketLength(frame.header, frame.payloadPos) != flat) Fail(__LINE__);
    }
  }

  // Whole walks, to the end and to a shorter end.
  const size_t ends[] = {n, n ? (size_t{data[0]} * 37) % (n + 1) : 0};
  for (size_t end : ends) {
    std::vector<uint32_t> flatStarts;
    size_t pos = 0;
    bool flatOk = true;
    while (pos < end) {
      int64_t length = FlatLength(bytes, end, pos);
      if (length < 0) {
        flatOk = false;
        break;
      }
      flatStarts.push_back(static_cast<uint32_t>(pos));
      pos += 2 + static_cast<size_t>(length);
    }
    std::vector<uint32_t> walked;
    SPacketWalkResult walk = mngr.walkPackets(0, static_cast<uint32_t>(end), [&](const SPacketFrame& f) {
      if (f.next() > end) Fail(__LINE__);
      walked.push_back(f.pos);
      return true;
    });
    if (walk.ok != flatOk || walked != flatStarts) Fail(__LINE__);
    if (!walk.ok && walk.failPos != pos) Fail(__LINE__);
    if (!walked.empty() && walk.lastPos != walked.back()) Fail(__LINE__);
  }

  // A walk stopped by the visitor reports the packet it stopped on.
  size_t stopAfter = data[0] >> 3;
  size_t seen = 0;
  uint32_t stoppedAt = 0;
  SPacketWalkResult stopped = mngr.walkPackets(0, static_cast<uint32_t>(n), [&](const SPacketFrame& f) {
    stoppedAt = f.pos;
    return seen++ < stopAfter;
  });
  if (seen > stopAfter && (stopped.ok || stopped.failPos != stoppedAt)) Fail(__LINE__);
  return 0;
}
