// libFuzzer target: BlockUnpack over arbitrary packed bytes and destination sizes, checked
// against a one-shot inflate, and a pack/unpack round trip of the input with wrong sizes,
// a cut, trailing padding and a flipped byte.
//
// Input: byte 0 chooses the mode; bytes 1..3 a destination size (mode 0) or a damage
// position (mode 1); the rest is the packed data (mode 0) or the data to pack (mode 1).
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzQuiet.h"
#include "platform/BlockPack.h"

namespace {

// Stops the run at a broken expectation, naming its line.
[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using tf::BlockPack;
using tf::BlockUnpack;

// The answer BlockUnpack must give: one intact stream within packed whose data is exactly
// size bytes; out receives the data.
bool Reference(const uint8_t* packed, size_t length, size_t size, std::vector<uint8_t>& out) {
  out.assign(size + 1, 0);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) Fail(__LINE__);
  z.next_in = const_cast<Bytef*>(packed);
  z.avail_in = static_cast<uInt>(length);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int rc = inflate(&z, Z_FINISH);
  bool ok = rc == Z_STREAM_END && z.total_out == size;
  inflateEnd(&z);
  out.resize(size);
  return ok;
}

// Unpacks into a buffer of exactly size bytes (no buffer for 0) so that ASan sees overruns.
bool Unpack(const uint8_t* packed, size_t length, size_t size, std::vector<uint8_t>* got) {
  std::unique_ptr<uint8_t[]> dest(size ? new uint8_t[size] : nullptr);
  bool ok = BlockUnpack(packed, length, dest.get(), size);
  if (ok && got) got->assign(dest.get(), dest.get() + size);
  return ok;
}

void CheckAgainstReference(const uint8_t* packed, size_t length, size_t size) {
  std::vector<uint8_t> expected, got;
  bool want = Reference(packed, length, size, expected);
  bool ok = Unpack(packed, length, size, &got);
  if (ok != want) Fail(__LINE__);
  if (ok && got != expected) Fail(__LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  if (size < 4) return 0;
  const uint32_t param = uint32_t{data[1]} | (uint32_t{data[2]} << 8) | (uint32_t{data[3]} << 16);
  const uint8_t* rest = data + 4;
  const size_t restSize = size - 4;

  // Nothing to read never succeeds.
  uint8_t one = 0;
  if (BlockUnpack(rest, 0, &one, 1) || BlockUnpack(nullptr, 16, &one, 1)) Fail(__LINE__);

  if ((data[0] & 1) == 0) {
    // Arbitrary packed bytes: the exact heap copy of the input ends where packed ends.
    size_t dest = param & 0x3FFFF;
    if (restSize == 0) return 0;
    std::vector<uint8_t> packed(rest, rest + restSize);  // exactly sized: overreads show
    CheckAgainstReference(packed.data(), packed.size(), dest);
    // The size the data really has, when it is a stream at all.
    std::vector<uint8_t> probe(0x40000);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) Fail(__LINE__);
    z.next_in = packed.data();
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = probe.data();
    z.avail_out = static_cast<uInt>(probe.size());
    int rc = inflate(&z, Z_FINISH);
    size_t produced = z.total_out;
    inflateEnd(&z);
    if (rc == Z_STREAM_END) {
      CheckAgainstReference(packed.data(), packed.size(), produced);
      if (produced > 0) CheckAgainstReference(packed.data(), packed.size(), produced - 1);
      CheckAgainstReference(packed.data(), packed.size(), produced + 1);
    }
    return 0;
  }

  // Round trip of the input.
  std::vector<uint8_t> packed;
  uint32_t packedLength = BlockPack(rest, restSize, packed);
  if (packedLength == 0 || packed.size() != packedLength) Fail(__LINE__);
  std::vector<uint8_t> got;
  if (!Unpack(packed.data(), packed.size(), restSize, &got)) Fail(__LINE__);
  if (restSize && std::memcmp(got.data(), rest, restSize) != 0) Fail(__LINE__);
  // A wrong size fails both ways.
  if (restSize > 0 && Unpack(packed.data(), packed.size(), restSize - 1, nullptr)) Fail(__LINE__);
  if (Unpack(packed.data(), packed.size(), restSize + 1, nullptr)) Fail(__LINE__);
  // A cut stream fails; nothing past the given length is read.
  std::vector<uint8_t> cut(packed.begin(), packed.begin() + (param % packed.size()));
  if (!cut.empty() && Unpack(cut.data(), cut.size(), restSize, nullptr)) Fail(__LINE__);
  // Padding after the stream is ignored.
  std::vector<uint8_t> padded(packed);
  padded.insert(padded.end(), 1 + (param >> 16) % 4, static_cast<uint8_t>(param));
  if (!Unpack(padded.data(), padded.size(), restSize, nullptr)) Fail(__LINE__);
  // A damaged byte gives what zlib says.
  std::vector<uint8_t> damaged(packed);
  damaged[param % damaged.size()] ^= static_cast<uint8_t>(1 + (param >> 8) % 255);
  CheckAgainstReference(damaged.data(), damaged.size(), restSize);
  return 0;
}
