// The two calls into the desktop shell: open a file with its program, open a web page.
#pragma once
// Reached through a host so that the core never sees the window system. Without one (headless
// runs) both calls fail and say so on the developer output; tests install a recording one.
#include <string>
#include <string_view>
#include <vector>

namespace tf {

class ShellHost {
 public:
  virtual ~ShellHost() = default;
  // Opens the file with the program the desktop associates with it; true once that program was
  // started. A file that cannot be read fails without asking the desktop.
  virtual bool ShellOpen(const std::string& path) = 0;
  // Opens the web page in the user's browser; true once the browser was started.
  virtual bool OpenURL(const std::string& address) = 0;
};

// Records every call and answers with the given result.
class RecordingShellHost final : public ShellHost {
 public:
  bool ShellOpen(const std::string& path) override {
    opened.push_back(path);
    return result;
  }
  bool OpenURL(const std::string& address) override {
    addresses.push_back(address);
    return result;
  }
  bool result = true;
  std::vector<std::string> opened;
  std::vector<std::string> addresses;
};

// Installing null restores the default (which fails every call). Returns the host installed before.
ShellHost* SetShellHost(ShellHost* host);
ShellHost& GetShellHost();

bool ShellOpen(const std::string& path);
// An empty address fails at once, silently.
bool OpenURL(const std::string& address);

}  // namespace tf
