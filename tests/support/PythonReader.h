#pragma once

// Runs the independent Python readers of tests/data (chunk_files.py, doc_files.py) and gives
// their key=value lines.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace tf::test {

// Runs a script of tests/data with the arguments: the script's exit status (127: python3 could
// not be started); out takes the key=value lines, output the whole text (for failure messages).
inline int RunDataScript(const std::string& script, const std::string& arguments,
                         std::map<std::string, std::string>& out, std::string& output,
                         const char* python = "python3") {
  const std::string command =
      std::string(python) + " '" + TF_TEST_DATA_DIR + "/" + script + "' " + arguments + " 2>&1";
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

// The chunk files script (tests/data/chunk_files.py).
inline int RunChunkFilesScript(const std::string& arguments, std::map<std::string, std::string>& out,
                               std::string& output) {
  return RunDataScript("chunk_files.py", arguments, out, output);
}

// A script that needs numpy: the system's python3 carries it (scripts/deps.sh); another one first
// on the path may not, so that one is tried second.
inline int RunNumpyScript(const std::string& script, const std::string& arguments,
                          std::map<std::string, std::string>& out, std::string& output) {
  int status = 127;
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    out.clear();
    output.clear();
    status = RunDataScript(script, arguments, out, output, python);
    if (status == 0) break;
  }
  return status;
}

}  // namespace tf::test
