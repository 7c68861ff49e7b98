// libFuzzer target: TMyMemory, the carrier of older event streams, driven by a script of writes,
// reads, skips and position moves read from the bytes.
//
// A plain model (a byte vector with the two positions, the capacity and the overrun flag) runs
// beside it. After every step the buffer's positions, capacity, flag and every byte of its
// block match the model: a read outside the written bytes gives 0 and sets the flag, a write
// grows the block by the documented step (or raises std::bad_alloc and changes nothing, also
// when memory is refused), a write of bytes taken from the buffer itself copies the right ones.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "FuzzQuiet.h"
#include "platform/Memory.h"
#include "raster/MyStream.h"

namespace {

[[noreturn]] void FailAt(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}
#define Fail(line) FailAt(line)

constexpr int64_t kMaxInt32 = std::numeric_limits<int32_t>::max();

int32_t Clamp(int64_t v, int64_t lo, int64_t hi) { return static_cast<int32_t>(std::min(std::max(v, lo), hi)); }

struct Model {
  std::vector<uint8_t> bytes;  // the block, capacity bytes
  int32_t readPos = 0, writePos = 0, step = 0;
  bool overrun = false;

  int32_t Capacity() const { return static_cast<int32_t>(bytes.size()); }
  // False when the buffer must raise (too large, or memory refused).
  bool Grow(int32_t n, bool refused) {
    if (n <= 0 || int64_t{writePos} + n <= Capacity()) return true;
    const int64_t capacity = int64_t{Capacity()} + std::max(n, step);
    if (capacity > kMaxInt32 || refused) return false;
    bytes.resize(static_cast<size_t>(capacity), 0);
    return true;
  }
  const uint8_t* Place(int32_t offset, int32_t size) {
    const int64_t place = int64_t{readPos} + offset;
    if (place < 0 || place + size > writePos) {
      overrun = true;
      return nullptr;
    }
    return bytes.data() + place;
  }
  void Advance(int32_t n) { readPos = Clamp(int64_t{readPos} + n, 0, kMaxInt32); }
  uint32_t ReadValue(int32_t offset, int32_t size) {
    const uint8_t* p = Place(offset, size);
    uint32_t v = 0;
    if (p)
      for (int32_t i = size - 1; i >= 0; --i) v = (v << 8) | p[i];
    if (offset == 0) Advance(size);
    return v;
  }
};

void Check(const tf::TMyMemory& m, const Model& model) {
  if (m.GetReadPos() != model.readPos || m.GetWritePos() != model.writePos ||
      m.GetCapacity() != model.Capacity() || m.Overrun() != model.overrun ||
      m.GetUnreadSize() != model.writePos - model.readPos)
    Fail(__LINE__);
  if (model.Capacity() > 0 && std::memcmp(m.GetBuffer(), model.bytes.data(), model.bytes.size()) != 0)
    Fail(__LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  using namespace tf;
  FuzzedDataProvider in(data, size);
  const int32_t initial = in.ConsumeIntegralInRange<int32_t>(0, 300);
  TMyMemory m(initial);
  Model model;
  model.bytes.assign(static_cast<size_t>(initial), 0);
  model.step = initial;
  Check(m, model);
  // A small count mostly; sometimes one at the edges of the 32-bit range.
  auto count = [&](int32_t smallMax) -> int32_t {
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
      case 0: return in.ConsumeIntegral<int32_t>();
      case 1: return -in.ConsumeIntegralInRange<int32_t>(0, 64);
      default: return in.ConsumeIntegralInRange<int32_t>(0, smallMax);
    }
  };
  for (int steps = 0; steps < 200 && in.remaining_bytes() > 0; ++steps) {
    const int op = in.ConsumeIntegralInRange<int>(0, 15);
    switch (op) {
      case 0:  // Write of new bytes, or of bytes of the buffer itself
      case 1: {
        const bool refused = in.ConsumeBool();
        int32_t n = in.ConsumeIntegralInRange<int32_t>(0, 600);
        std::vector<uint8_t> bytes;
        const uint8_t* source;
        if (op == 1 && model.Capacity() > 0) {
          const int32_t at = in.ConsumeIntegralInRange<int32_t>(0, model.Capacity() - 1);
          n = std::min(n, model.Capacity() - at);
          bytes.assign(model.bytes.begin() + at, model.bytes.begin() + at + n);
          source = m.GetBuffer() + at;
        } else {
          bytes = in.ConsumeBytes<uint8_t>(static_cast<size_t>(n));
          n = static_cast<int32_t>(bytes.size());
          source = bytes.data();
        }
        const bool grows = model.Grow(n, refused);
        SetMemoryRefusals(refused ? 1 : 0);
        bool raised = false;
        try {
          m.Write(source, n);
        } catch (const std::bad_alloc&) {
          raised = true;
        }
        SetMemoryRefusals(0);
        if (raised == grows) Fail(__LINE__);
        if (grows && n > 0) {
          std::copy(bytes.begin(), bytes.end(), model.bytes.begin() + model.writePos);
          model.writePos += n;
        }
        break;
      }
      case 2: {
        const uint16_t value = in.ConsumeIntegral<uint16_t>();
        const int32_t offset = in.ConsumeBool() ? 0 : count(64);
        bool raised = false, stored = false;
        try {
          stored = m.WriteWord(value, offset);
        } catch (const std::bad_alloc&) {
          raised = true;
        }
        if (raised != !model.Grow(2, false)) Fail(__LINE__);
        if (raised) break;
        const int64_t place = int64_t{model.writePos} + offset;
        const bool fits = place >= 0 && place + 2 <= model.Capacity();
        if (stored != fits) Fail(__LINE__);
        if (fits) {
          model.bytes[static_cast<size_t>(place)] = static_cast<uint8_t>(value);
          model.bytes[static_cast<size_t>(place) + 1] = static_cast<uint8_t>(value >> 8);
          if (offset == 0) model.writePos += 2;
        }
        break;
      }
      case 3: {
        const uint32_t value = in.ConsumeIntegral<uint32_t>();
        m.WriteDWord(value);
        if (!model.Grow(4, false)) Fail(__LINE__);
        for (int i = 0; i < 4; ++i)
          model.bytes[static_cast<size_t>(model.writePos + i)] = static_cast<uint8_t>(value >> (8 * i));
        model.writePos += 4;
        break;
      }
      case 4: {
        const int32_t n = count(400);
        m.SkipWrite(n);
        model.writePos = Clamp(int64_t{model.writePos} + n, 0, model.Capacity());
        break;
      }
      case 5: {
        const int32_t pos = count(400);
        m.SetWritePos(pos);
        model.writePos = Clamp(pos, 0, model.Capacity());
        break;
      }
      case 6: {
        const int32_t offset = in.ConsumeBool() ? 0 : count(64);
        if (m.ReadByte(offset) != model.ReadValue(offset, 1)) Fail(__LINE__);
        break;
      }
      case 7: {
        const int32_t offset = in.ConsumeBool() ? 0 : count(64);
        if (m.ReadWord(offset) != model.ReadValue(offset, 2)) Fail(__LINE__);
        break;
      }
      case 8: {
        const int32_t offset = in.ConsumeBool() ? 0 : count(64);
        if (m.ReadSmallInt(offset) != static_cast<int16_t>(model.ReadValue(offset, 2))) Fail(__LINE__);
        break;
      }
      case 9: {
        const int32_t offset = in.ConsumeBool() ? 0 : count(64);
        if (m.ReadInt32(offset) != static_cast<int32_t>(model.ReadValue(offset, 4))) Fail(__LINE__);
        break;
      }
      case 10: {
        int32_t n = count(600);
        if (n > 4096) n = 4096;  // the copy's own buffer; larger counts read the same way
        std::vector<uint8_t> got(static_cast<size_t>(std::max(n, 0)) + 1, 0xAA);
        const bool ok = m.Read(got.data(), n);
        bool expectOk;
        if (n < 0) {
          model.overrun = true;
          expectOk = false;
        } else if (n == 0) {
          expectOk = true;
        } else {
          const uint8_t* p = model.Place(0, n);
          expectOk = p != nullptr;
          for (int32_t i = 0; i < n; ++i)
            if (got[static_cast<size_t>(i)] != (p ? p[i] : 0)) Fail(__LINE__);
          model.Advance(n);
        }
        if (ok != expectOk || got.back() != 0xAA) Fail(__LINE__);
        break;
      }
      case 11: {
        const int32_t n = count(400);
        m.SkipRead(n);
        const int64_t place = int64_t{model.readPos} + n;
        if (place < 0 || place > model.writePos) model.overrun = true;
        model.readPos = Clamp(place, 0, kMaxInt32);
        break;
      }
      case 12:
        m.RewindRead();
        model.readPos = 0;
        break;
      case 13:
        m.ClearOverrun();
        model.overrun = false;
        break;
      case 14:
        m.Clear();
        model.readPos = model.writePos = 0;
        model.overrun = false;
        break;
      case 15: {
        // Making room only; a count past the 32-bit range raises and changes nothing.
        const int32_t n =
            in.ConsumeBool() ? static_cast<int32_t>(kMaxInt32) : in.ConsumeIntegralInRange<int32_t>(0, 2000);
        const bool canRaise = model.Capacity() > 0 || n < (1 << 20);
        if (!canRaise) break;  // would allocate 2 GB
        bool raised = false;
        try {
          m.Grow(n);
        } catch (const std::bad_alloc&) {
          raised = true;
        }
        if (raised == model.Grow(n, false)) Fail(__LINE__);
        break;
      }
    }
    Check(m, model);
  }
  return 0;
}
