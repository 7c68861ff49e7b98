// The preview file dialogs' host.
#include "platform/FileDialog.h"

#include "platform/Debug.h"
#include "platform/HostSlot.h"

namespace tf {
namespace {

class DefaultHost final : public FileDialogHost {
 public:
  bool ExecuteFileDialog(std::string&, int32_t kind, const std::string&, std::string*, int32_t*) override {
    DebugOutF("ExecuteFileDialog: no file dialog installed (kind %d); cancelled\n", static_cast<int>(kind));
    return false;
  }
  bool OpenEventFileDialog(std::string&, bool&, const std::string&, int32_t*, std::string*) override {
    DebugOut("OpenEventFileDialog: no file dialog installed; cancelled\n");
    return false;
  }
  bool SaveEventFileDialog(std::string&, bool&, const std::string&, int32_t*, std::string*) override {
    DebugOut("SaveEventFileDialog: no file dialog installed; cancelled\n");
    return false;
  }
};

using Slot = HostSlot<FileDialogHost, DefaultHost>;

// The folder part of a path (up to and including the last '/').
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool ScriptedFileDialogHost::ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName,
                                               std::string* folder, int32_t* /*filterIndex*/) {
  requests_.push_back(Request{kind, initialName, folder ? *folder : std::string()});
  if (answers_.empty()) return false;
  std::optional<std::string> answer = std::move(answers_.front());
  answers_.pop_front();
  if (!answer) return false;
  path = *answer;
  if (folder) *folder = FolderOf(path);
  return true;
}

bool ScriptedFileDialogHost::OpenEventFileDialog(std::string& path, bool& openStopped, const std::string& initialName,
                                                 int32_t* filterIndex, std::string* folder) {
  if (!ExecuteFileDialog(path, 2, initialName, folder, filterIndex)) return false;
  openStopped = checkBox;
  return true;
}

bool ScriptedFileDialogHost::SaveEventFileDialog(std::string& path, bool& protectedEvents,
                                                 const std::string& initialName, int32_t* filterIndex,
                                                 std::string* folder) {
  if (!ExecuteFileDialog(path, 10, initialName, folder, filterIndex)) return false;
  protectedEvents = checkBox;
  return true;
}

FileDialogHost* SetFileDialogHost(FileDialogHost* host) { return Slot::Install(host); }
FileDialogHost& GetFileDialogHost() { return Slot::Get(); }

bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName, std::string* folder,
                       int32_t* filterIndex) {
  return GetFileDialogHost().ExecuteFileDialog(path, kind, initialName, folder, filterIndex);
}

bool OpenEventFileDialog(std::string& path, bool& openStopped, const std::string& initialName, int32_t* filterIndex,
                         std::string* folder) {
  return GetFileDialogHost().OpenEventFileDialog(path, openStopped, initialName, filterIndex, folder);
}

bool SaveEventFileDialog(std::string& path, bool& protectedEvents, const std::string& initialName,
                         int32_t* filterIndex, std::string* folder) {
  return GetFileDialogHost().SaveEventFileDialog(path, protectedEvents, initialName, filterIndex, folder);
}

}  // namespace tf
