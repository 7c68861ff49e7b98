// What the about box says: the memory lines and the picture's credit.
#pragma once
#include <cstdint>
#include <string>

#include "platform/MemoryStatus.h"

namespace tf {

// "%4d B" below 1 KB, "%4.2f KB" below 1 MB, "%4.2f MB" below 1 GB, "%4.2f GB" from 1 GB on.
// 64 bits: a machine with 16 GB of memory shows 16.00 GB, not a wrapped count.
std::string FormatMemorySize(uint64_t bytes);

struct SAboutMemoryLines {
  std::string physical;
  std::string virtualMemory;
  std::string pageFile;
};

// "used / total" of physical memory, the address space and the swap area.
SAboutMemoryLines AboutMemoryLines(const SMemoryStatus& status);

// Who painted the picture, for "Illustrated by %s.".
inline constexpr const char* kAboutIllustrator = "the Tintaframe team";

}  // namespace tf

namespace tf {

class TMemoryGraphic;

inline constexpr int32_t kAboutPictureWidth = 382;
inline constexpr int32_t kAboutPictureHeight = 240;

// The about box's picture, upright, into a surface of its size; false (the surface untouched) when
// it cannot be made.
bool LoadAboutPicture(TMemoryGraphic& surface);

}  // namespace tf
