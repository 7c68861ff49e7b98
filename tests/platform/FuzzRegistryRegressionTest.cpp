// Cases from fuzzing and stressing the settings file reader, kept as regression tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace tf {
namespace {

namespace fs = std::filesystem;

const std::string kRoot(kRegistryRoot);

class FuzzRegistryRegressionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tf-registry-fuzz-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  void WriteSettings(const std::string& text) {
    std::ofstream out(folder_ + "/registry.txt", std::ios::binary | std::ios::trunc);
    out << text;
  }

  std::string folder_;
};

// Lookups of keys and values by name went through a scan of every sibling, so reading a file
// with many keys took time growing with the square of their count (minutes for a few MB).
// Names are now found through an index; these cases check that the index follows every
// change: names that differ only in case, values and keys removed from the middle, keys
// deleted and made again, and a save and reload.
TEST_F(FuzzRegistryRegressionTest, ManySiblingKeysAndValuesStayFindableThroughChanges) {
  constexpr int kCount = 3000;
  std::string text = "TF4REG 1\n[" + kRoot + "]\n";
  for (int i = 0; i < kCount; ++i) text += "\"Value" + std::to_string(i) + "\"=dword:" + std::to_string(i) + "\n";
  // The same value again in another case replaces the data in place.
  text += "\"VALUE7\"=dword:-7\n";
  for (int i = 0; i < kCount; ++i) {
    text += "[" + kRoot + "\\Key" + std::to_string(i) + "]\n\"n\"=dword:" + std::to_string(i) + "\n";
  }
  // A key named again in another case is the same key.
  text += "[software\\QUILLMARSH\\tintaframe4 plus\\KEY5]\n\"extra\"=string:\"five\"\n";
  WriteSettings(text);

  CRegistry store(folder_);
  ASSERT_TRUE(store.Load());
  ASSERT_TRUE(store.DamagedCopy().empty());
  ASSERT_EQ(store.ValueNames(kRoot).size(), size_t{kCount});
  ASSERT_EQ(store.SubKeyNames(kRoot).size(), size_t{kCount});
  int32_t v = 0;
  EXPECT_TRUE(store.ReadDword(kRoot, "value7", v));
  EXPECT_EQ(v, -7);
  EXPECT_EQ(store.ValueNames(kRoot)[7], "Value7");
  std::string s;
  EXPECT_TRUE(store.ReadString(kRoot + "\\key5", "EXTRA", s));
  EXPECT_EQ(s, "five");
  EXPECT_EQ(store.SubKeyNames(kRoot)[5], "Key5");

  // Removing from the middle keeps every later name findable and in order.
  ASSERT_TRUE(store.DeleteValue(kRoot, "value100"));
  ASSERT_TRUE(store.DeleteKey(kRoot + "\\KEY100"));
  for (int i : {0, 99, 101, 2000, kCount - 1}) {
    ASSERT_TRUE(store.ReadDword(kRoot, "Value" + std::to_string(i), v)) << i;
    EXPECT_EQ(v, i == 7 ? -7 : i);
    ASSERT_TRUE(store.ReadDword(kRoot + "\\Key" + std::to_string(i), "n", v)) << i;
    EXPECT_EQ(v, i);
  }
  EXPECT_EQ(store.ValueKind(kRoot, "Value100"), RegValueKind::kNone);
  EXPECT_FALSE(store.KeyExists(kRoot + "\\Key100"));
  EXPECT_EQ(store.ValueNames(kRoot)[100], "Value101");
  EXPECT_EQ(store.SubKeyNames(kRoot)[100], "Key101");

  // Added again: found, and at the end of the order.
  ASSERT_TRUE(store.CreateKey(kRoot + "\\key100"));
  ASSERT_TRUE(store.WriteDword(kRoot + "\\KEY100", "again", 1));
  ASSERT_TRUE(store.WriteDword(kRoot, "VALUE100", 100));
  EXPECT_EQ(store.SubKeyNames(kRoot).back(), "key100");
  EXPECT_EQ(store.ValueNames(kRoot).back(), "VALUE100");
  EXPECT_EQ(store.ValueNames(kRoot + "\\Key100"), std::vector<std::string>{"again"});

  ASSERT_TRUE(store.Save());
  CRegistry reread(folder_);
  ASSERT_TRUE(reread.Load());
  ASSERT_TRUE(reread.DamagedCopy().empty());
  EXPECT_EQ(reread.ValueNames(kRoot), store.ValueNames(kRoot));
  EXPECT_EQ(reread.SubKeyNames(kRoot), store.SubKeyNames(kRoot));
  ASSERT_TRUE(reread.ReadDword(kRoot + "\\Key100", "again", v));
  EXPECT_EQ(v, 1);
  EXPECT_EQ(reread.ValueKind(kRoot + "\\key100", "n"), RegValueKind::kNone);
  ASSERT_TRUE(reread.ReadDword(kRoot, "value2999", v));
  EXPECT_EQ(v, kCount - 1);
}

}  // namespace
}  // namespace tf
