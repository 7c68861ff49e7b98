// The preview open and save dialogs of file kinds, reached through a host interface.
#pragma once
// The core asks for a file through this host so that it never sees the window system. The file
// subsystem installs the real dialogs (with their preview pane) at start-up. Without one the
// request is written to the developer output and answered as cancelled; tests install a
// ScriptedFileDialogHost that records the requests and answers from a script.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tf {

// File kinds of the dialogs (open kinds must pick an existing file).
enum FileDialogKind : int32_t {
  kFileDialogBrushSetOpen = 3,
  kFileDialogNibSetOpen = 4,
  kFileDialogPaletteOpen = 5,
  kFileDialogGradientSetOpen = 6,
  kFileDialogToneSetOpen = 7,
  kFileDialogBrushSetSave = 11,
  kFileDialogNibSetSave = 12,
  kFileDialogPaletteSave = 13,
  kFileDialogGradientSetSave = 14,
  kFileDialogToneSetSave = 15,
};

class FileDialogHost {
 public:
  virtual ~FileDialogHost() = default;
  // Runs the dialog of the kind starting in folder with the initial file name; true with the
  // chosen path (folder and filter index updated to the choice), false when cancelled.
  virtual bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName,
                                 std::string& folder, int32_t* filterIndex) = 0;
};

// Records every request; answers from a script in order (a path, or cancel), then cancels.
class ScriptedFileDialogHost final : public FileDialogHost {
 public:
  struct Request {
    int32_t kind;
    std::string initialName;
    std::string folder;
  };
  bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName, std::string& folder,
                         int32_t* filterIndex) override;
  void Choose(std::string path) { answers_.emplace_back(std::move(path)); }
  void Cancel() { answers_.emplace_back(std::nullopt); }
  const std::vector<Request>& Requests() const { return requests_; }
  void Clear() {
    requests_.clear();
    answers_.clear();
  }

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<Request> requests_;
};

// Installing null restores the default host (cancels, with a line on the developer output).
// Returns the host installed before.
FileDialogHost* SetFileDialogHost(FileDialogHost* host);
FileDialogHost& GetFileDialogHost();

// Asks through the installed host.
bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName, std::string& folder,
                       int32_t* filterIndex);

}  // namespace tf
