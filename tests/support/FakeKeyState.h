// A key-state host whose keys a test holds down and lets go.
#pragma once
#include <cstdint>
#include <set>

#include "platform/Host.h"

namespace tf::test {

// Installed for its lifetime; the host before comes back afterwards.
class FakeKeyState final : public InputHost {
 public:
  FakeKeyState() : previous_(SetInputHost(this)) {}
  ~FakeKeyState() override { SetInputHost(previous_); }
  FakeKeyState(const FakeKeyState&) = delete;
  FakeKeyState& operator=(const FakeKeyState&) = delete;

  bool IsKeyDown(int32_t virtualKey) override { return down_.count(virtualKey) != 0; }
  // Holds exactly the modifiers given (Shift, Ctrl, Alt).
  void Hold(bool shift, bool ctrl, bool alt) {
    down_.clear();
    if (shift) down_.insert(kVkShift);
    if (ctrl) down_.insert(kVkControl);
    if (alt) down_.insert(kVkMenu);
  }
  void ReleaseAll() { down_.clear(); }
  // The keys held now, to hold or let go of single keys.
  std::set<int32_t>& keys() { return down_; }

 private:
  InputHost* previous_;
  std::set<int32_t> down_;
};

}  // namespace tf::test
