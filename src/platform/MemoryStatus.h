// The machine's memory: physical memory, the process's address space and the swap area.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

namespace tf {

struct SMemoryStatus {
  uint64_t physicalTotal = 0;
  uint64_t physicalAvailable = 0;
  uint64_t virtualTotal = 0;      // the address space the process may use
  uint64_t virtualAvailable = 0;  // what of it the process has not mapped
  uint64_t pageFileTotal = 0;     // swap
  uint64_t pageFileAvailable = 0;
};

// Reads /proc/meminfo (MemTotal, MemAvailable, SwapTotal, SwapFree), /proc/self/status (VmSize)
// and the address-space limit (without one, the 47-bit user half of the address space). A value
// that cannot be read stays 0.
SMemoryStatus ReadMemoryStatus();

// The parsing half, over the two files' texts (tests).
SMemoryStatus ParseMemoryStatus(std::string_view meminfo, std::string_view selfStatus, uint64_t addressLimit);

// Test hook: an empty function restores the real query. Returns the previous hook.
using MemoryStatusSource = std::function<SMemoryStatus()>;
MemoryStatusSource SetMemoryStatusSource(MemoryStatusSource source);

}  // namespace tf
