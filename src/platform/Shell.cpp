#include "platform/Shell.h"

#include "platform/Debug.h"
#include "platform/HostSlot.h"

namespace tf {
namespace {

class NoShellHost final : public ShellHost {
 public:
  bool ShellOpen(const std::string& path) override {
    DebugOutF("ShellOpen: no desktop shell to open %s\n", path.c_str());
    return false;
  }
  bool OpenURL(const std::string& address) override {
    DebugOutF("OpenURL: no desktop shell to open %s\n", address.c_str());
    return false;
  }
};

using Slot = HostSlot<ShellHost, NoShellHost>;

}  // namespace

ShellHost* SetShellHost(ShellHost* host) { return Slot::Install(host); }
ShellHost& GetShellHost() { return Slot::Get(); }

bool ShellOpen(const std::string& path) { return GetShellHost().ShellOpen(path); }

bool OpenURL(const std::string& address) {
  if (address.empty()) return false;
  return GetShellHost().OpenURL(address);
}

}  // namespace tf
