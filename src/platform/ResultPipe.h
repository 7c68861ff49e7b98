// Handing an unattended run's result code to the process that started it.
#pragma once
#include <cstdint>

namespace tf {

// Writes the code as four little-endian bytes to the descriptor the starter left open for it (the
// w switch), then closes the descriptor. A descriptor that is 2 or below, not open, or not open for
// writing stands for a receiver that no longer exists: nothing is written and false is answered.
bool WriteResultToDescriptor(int64_t descriptor, int32_t code);

}  // namespace tf
