// The warning box of a fuzz run: shows nothing and keeps nothing.
#pragma once
// Without a host of its own a process uses the default warning host, which keeps every text it
// is given. Over a fuzz run that list grows without end, and every input that warns leaves
// allocations behind, so the fuzzer takes it for a possible leak and runs it a second time
// with a leak check. A target whose reader can warn installs this host on every call (cheap:
// the install is a pointer swap).
#include <string_view>

#include "platform/Warning.h"

namespace tf::fuzz {

class QuietWarningHost final : public WarningHost {
 public:
  void ShowWarning(std::string_view) override {}
};

inline void QuietWarnings() {
  static QuietWarningHost quiet;
  SetWarningHost(&quiet);
}

}  // namespace tf::fuzz
