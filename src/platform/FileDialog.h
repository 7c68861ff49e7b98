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

// File kinds of the dialogs, 0 to 18 (open kinds must pick an existing file). The filters and
// extensions of every kind are files/FileKinds.h's.
enum FileDialogKind : int32_t {
  kFileDialogOpenDocument = 0,
  kFileDialogOpenImage = 1,
  kFileDialogOpenEvents = 2,
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
  kFileDialogSaveDocument = 8,
  kFileDialogSaveImage = 9,
  kFileDialogSaveEvents = 10,
  kFileDialogPaletteOpenOwn = 16,
  kFileDialogExportPicture = 17,
  kFileDialogCursorOpen = 18,
};

class FileDialogHost {
 public:
  virtual ~FileDialogHost() = default;
  // Runs the dialog of the kind with the initial file name, starting in folder and with the
  // filter index when given; true with the chosen path (folder and filter index, when given,
  // updated to the choice), false when cancelled.
  virtual bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName,
                                 std::string* folder, int32_t* filterIndex) = 0;
  // The open dialog of recorded events (kind 2) with the check box "停止状態で開く(&A)"
  // (unchecked at the start); openStopped receives its state.
  virtual bool OpenEventFileDialog(std::string& path, bool& openStopped, const std::string& initialName,
                                   int32_t* filterIndex, std::string* folder) = 0;
  // The save dialog of recorded events (kind 10) with the check box "保護付きイベント(&V)".
  virtual bool SaveEventFileDialog(std::string& path, bool& protectedEvents, const std::string& initialName,
                                   int32_t* filterIndex, std::string* folder) = 0;
};

// Records every request; answers from a script in order (a path, or cancel), then cancels.
class ScriptedFileDialogHost final : public FileDialogHost {
 public:
  struct Request {
    int32_t kind;
    std::string initialName;
    std::string folder;
  };
  bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName, std::string* folder,
                         int32_t* filterIndex) override;
  bool OpenEventFileDialog(std::string& path, bool& openStopped, const std::string& initialName,
                           int32_t* filterIndex, std::string* folder) override;
  bool SaveEventFileDialog(std::string& path, bool& protectedEvents, const std::string& initialName,
                           int32_t* filterIndex, std::string* folder) override;
  void Choose(std::string path) { answers_.emplace_back(std::move(path)); }
  // The check box state the event dialogs answer with.
  bool checkBox = false;
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

// Ask through the installed host.
bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName, std::string* folder,
                       int32_t* filterIndex);
inline bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName, std::string& folder,
                              int32_t* filterIndex) {
  return ExecuteFileDialog(path, kind, initialName, &folder, filterIndex);
}
bool OpenEventFileDialog(std::string& path, bool& openStopped, const std::string& initialName, int32_t* filterIndex,
                         std::string* folder);
bool SaveEventFileDialog(std::string& path, bool& protectedEvents, const std::string& initialName,
                         int32_t* filterIndex, std::string* folder);

}  // namespace tf
