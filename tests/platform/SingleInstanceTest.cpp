// The single-instance rule's core: frames, the run folder and the lock.
#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace tf {
namespace {

std::vector<uint8_t> Frame(uint32_t length, const std::string& payload) {
  std::vector<uint8_t> out;
  AppendLE32(out, length);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

TEST(InstanceFrames, RepliesAreFourCharactersFirstLowest) {
  EXPECT_EQ(kInstanceReplyNormal, 0x30344654u);  // "TF40"
  EXPECT_EQ(kInstanceReplyViewer, 0x77564654u);  // "TFVw"
  EXPECT_EQ(kInstanceReplyRender, 0x65524654u);  // "TFRe"
}

TEST(InstanceFrames, EncodedFramesDecodeInOrderWhateverTheirSplit) {
  std::vector<uint8_t> stream = EncodeQueryFrame();
  std::vector<uint8_t> path;
  ASSERT_TRUE(EncodePathFrame("/home/a/one.tfi", path));
  stream.insert(stream.end(), path.begin(), path.end());
  ASSERT_TRUE(EncodePathFrame("/two", path));
  stream.insert(stream.end(), path.begin(), path.end());
  const std::vector<uint8_t> raise = EncodeRaiseFrame();
  stream.insert(stream.end(), raise.begin(), raise.end());
  for (size_t chunk : {size_t{1}, size_t{3}, size_t{7}, stream.size()}) {
    SCOPED_TRACE(chunk);
    InstanceFrameDecoder decoder;
    std::vector<std::string> seen;
    for (size_t at = 0; at < stream.size(); at += chunk) {
      decoder.Feed(stream.data() + at, std::min(chunk, stream.size() - at));
      std::string p;
      for (InstanceFrameDecoder::Result r; (r = decoder.Next(p)) != InstanceFrameDecoder::kNeedMore;) {
        ASSERT_NE(r, InstanceFrameDecoder::kBad);
        seen.push_back(r == InstanceFrameDecoder::kQuery ? "query" : r == InstanceFrameDecoder::kRaise ? "raise" : p);
      }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"query", "/home/a/one.tfi", "/two", "raise"}));
    EXPECT_EQ(decoder.Pending(), 0u);
  }
}

// The receiver took a zero-terminated path without its size; now a frame of at most 4096 bytes
// holding its zero, anything else refused.
TEST(InstanceFrames, BadFramesAreRefusedAndStayRefused) {
  const std::string longest(4095, 'a');
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool bad;
  };
  const Case cases[] = {
      {"longest path", Frame(4096, "/" + longest.substr(1) + std::string(1, '\0')), false},
      {"too long", Frame(4097, ""), true},
      {"huge length", Frame(0xFFFFFFFFu, ""), true},
      {"no zero", Frame(4, "/abc"), true},
      {"zero inside", Frame(5, std::string("/a\0b\0", 5)), true},
      {"relative path", Frame(4, std::string("abc\0", 4)), true},
      {"zero alone", Frame(1, std::string(1, '\0')), true},
      {"other text", Frame(10, std::string("tF2 qvery\0", 10)), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstanceFrameDecoder decoder;
    decoder.Feed(c.bytes.data(), c.bytes.size());
    std::string path;
    const auto result = decoder.Next(path);
    EXPECT_EQ(result == InstanceFrameDecoder::kBad, c.bad);
    if (c.bad) {
      const std::vector<uint8_t> query = EncodeQueryFrame();
      decoder.Feed(query.data(), query.size());
      EXPECT_EQ(decoder.Next(path), InstanceFrameDecoder::kBad);
    }
  }
  std::vector<uint8_t> out = {1, 2};
  EXPECT_FALSE(EncodePathFrame("relative", out));
  EXPECT_FALSE(EncodePathFrame("/" + std::string(4095, 'x'), out));
  EXPECT_FALSE(EncodePathFrame(std::string("/a\0b", 4), out));
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2}));
  EXPECT_TRUE(EncodePathFrame("/" + std::string(4094, 'x'), out));
  EXPECT_EQ(out.size(), 4u + 4096u);
}

class EnvironmentValue {
 public:
  EnvironmentValue(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvironmentValue() {
    if (had_) {
      ::setenv(name_, old_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

TEST(InstanceRunFolderTest, PrivateFolderUnderTheRuntimeFolderOnly) {
  test::ScopedTempFolder temp("tf-run");
  ::chmod(temp.Path().c_str(), 0700);
  {
    EnvironmentValue runtime("XDG_RUNTIME_DIR", temp.Path().c_str());
    std::string folder;
    ASSERT_TRUE(InstanceRunFolder(folder));
    EXPECT_EQ(folder, temp.Path() + "/tintaframe4");
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Open to others, or a symbolic link: refused.
    ::chmod(folder.c_str(), 0755);
    EXPECT_FALSE(InstanceRunFolder(folder));
    ::rmdir((temp.Path() + "/tintaframe4").c_str());
    ASSERT_EQ(::symlink("/tmp", (temp.Path() + "/tintaframe4").c_str()), 0);
    EXPECT_FALSE(InstanceRunFolder(folder));
  }
  {
    // Without a runtime folder: /tmp/tintaframe4-<uid>.
    EnvironmentValue runtime("XDG_RUNTIME_DIR", nullptr);
    std::string folder;
    ASSERT_TRUE(InstanceRunFolder(folder));
    EXPECT_EQ(folder, "/tmp/tintaframe4-" + std::to_string(::getuid()) + "/tintaframe4");
  }
}

TEST(InstanceRunFolderTest, DisplayNamesAreFileNames) {
  {
    EnvironmentValue display("DISPLAY", ":91.0");
    EXPECT_EQ(InstanceDisplayName(), "_91.0");
  }
  {
    EnvironmentValue display("DISPLAY", "../../etc/x");
    EXPECT_EQ(InstanceDisplayName(), ".._.._etc_x");
  }
  {
    EnvironmentValue display("DISPLAY", nullptr);
    EnvironmentValue wayland("WAYLAND_DISPLAY", nullptr);
    EXPECT_EQ(InstanceDisplayName(), "nodisplay");
  }
}

TEST(InstanceLockTest, OneHolderAtATime) {
  test::ScopedTempFolder temp("tf-lock");
  const std::string path = temp.File("x.lock");
  InstanceLock first, second;
  EXPECT_EQ(first.Take(path), 1);
  EXPECT_EQ(second.Take(path), 0);
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_EQ(second.Take(path), 1);
  EXPECT_EQ(first.Take(temp.File("missing/x.lock")), -1);
  // A symbolic link is never followed.
  ASSERT_EQ(::symlink(path.c_str(), temp.File("link.lock").c_str()), 0);
  EXPECT_EQ(first.Take(temp.File("link.lock")), -1);
}

}  // namespace
}  // namespace tf
