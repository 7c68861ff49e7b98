#pragma once

// A test fixture with a fresh folder under /tmp for each test, removed with everything in it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tf::test {

// A whole file's bytes (empty when it cannot be read), and a file made of bytes.
inline std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under /tmp for the lifetime of the object, removed with everything in it.
// Path() is empty when the folder could not be made.
class ScopedTempFolder {
 public:
  explicit ScopedTempFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScopedTempFolder() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class TempFolderTest : public ::testing::Test {
 protected:
  // prefix names the folder: /tmp/<prefix>-XXXXXX.
  explicit TempFolderTest(const char* prefix) : prefix_(prefix) {}

  void SetUp() override {
    std::string pattern = "/tmp/" + prefix_ + "-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }

  void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t EntryCount() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
  }

  std::string dir_;

 private:
  std::string prefix_;
};

}  // namespace tf::test
