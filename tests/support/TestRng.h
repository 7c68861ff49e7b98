#pragma once

// A small deterministic generator for sample data, independent of the program's own.

#include <cstdint>

namespace tf::test {

// xorshift64; each suite picks its seed, and may step s itself to vary a sequence.
struct XorShiftRng {
  uint64_t s;
  explicit XorShiftRng(uint64_t seed) : s(seed) {}
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<uint32_t>(s >> 16);
  }
};

}  // namespace tf::test
