#pragma once

// Runs the independent Python reader of the chunk files (tests/data/chunk_files.py) and gives
// its key=value lines.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace tf::test {

// The script's exit status (127: python3 could not be started); out takes the key=value lines,
// output the whole text (for failure messages).
inline int RunChunkFilesScript(const std::string& arguments, std::map<std::string, std::string>& out,
                               std::string& output) {
  const std::string command =
      std::string("python3 '") + TF_TEST_DATA_DIR + "/chunk_files.py' " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return 127;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  const int status = ::pclose(pipe);
  size_t at = 0;
  while (at < output.size()) {
    size_t end = output.find('\n', at);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(at, end - at);
    const size_t equals = line.find('=');
    if (equals != std::string::npos) out[line.substr(0, equals)] = line.substr(equals + 1);
    at = end + 1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

}  // namespace tf::test
