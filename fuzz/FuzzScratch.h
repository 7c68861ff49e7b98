// Scratch folders of the fuzz targets that touch files, and the stop on a broken expectation.
#pragma once
// A target that needs files works in folders named tf-fuzz-<what>-<pid>[<suffix>] under /dev/shm
// (or /tmp). They are removed with everything in them when the process exits normally and
// when a check fails (Fail), and folders left by processes that no longer run (a crash, a
// timeout, a kill) are removed when the next run makes its own.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tf::fuzz {

// Never destroyed: the exit handler that removes the folders may run after static destructors.
inline std::vector<std::string>& ScratchFolders() {
  static auto* folders = new std::vector<std::string>;
  return *folders;
}

inline const char* ScratchBase() { return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"; }

// Removes a folder and the files in it (the scratch folders hold no subfolders).
inline void RemoveFolder(const std::string& folder) {
  if (DIR* dir = ::opendir(folder.c_str())) {
    std::vector<std::string> names;
    while (const struct dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : names) ::unlink((folder + "/" + name).c_str());
  }
  ::rmdir(folder.c_str());
}

inline void RemoveScratchFolders() {
  for (const std::string& folder : ScratchFolders()) RemoveFolder(folder);
}

// Removes tf-fuzz-<what>-<pid>... folders whose process no longer runs.
inline void RemoveFoldersOfEndedRuns(const std::string& what) {
  const std::string base = ScratchBase();
  const std::string prefix = "tf-fuzz-" + what + "-";
  DIR* dir = ::opendir(base.c_str());
  if (!dir) return;
  std::vector<std::string> ended;
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || end == name.c_str() + prefix.size()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ended.push_back(base + "/" + name);
  }
  ::closedir(dir);
  for (const std::string& folder : ended) RemoveFolder(folder);
}

// Makes this process's scratch folder tf-fuzz-<what>-<pid><suffix> (mode 0700) and registers it
// for removal.
inline std::string MakeScratchFolder(const std::string& what, const std::string& suffix = "") {
  static bool registered = false;
  if (!registered) {
    registered = true;
    RemoveFoldersOfEndedRuns(what);
    std::atexit(RemoveScratchFolders);
  }
  std::string folder =
      std::string(ScratchBase()) + "/tf-fuzz-" + what + "-" + std::to_string(::getpid()) + suffix;
  ::mkdir(folder.c_str(), 0700);
  ScratchFolders().push_back(folder);
  return folder;
}

// Stops the run at a broken expectation, naming its line; the scratch folders go first.
[[noreturn]] inline void FailAt(const char* file, int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", file, line);
  RemoveScratchFolders();
  __builtin_trap();
}

}  // namespace tf::fuzz
