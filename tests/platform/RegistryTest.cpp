#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace tf {
namespace {

namespace fs = std::filesystem;

const std::string kRoot(kRegistryRoot);
const std::string kConfig = kRoot + "\\config";

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Repeat(const std::string& part, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += part;
  return out;
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// Every test gets its own configuration folder.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tf-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    temp_ = pattern;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("XDG_CONFIG_HOME", temp_.c_str(), 1);
    folder_ = CRegistry::DefaultFolder();
    CRegistry::ResetInstance();
  }
  void TearDown() override {
    CRegistry::ResetInstance();
    if (hadOld_) {
      setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    std::error_code ec;
    fs::remove_all(temp_, ec);
  }
  std::string File() const { return folder_ + "/registry.txt"; }
  std::vector<std::string> DamagedCopies() const {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
      if (entry.path().filename().string().find(".damaged-") != std::string::npos) {
        found.push_back(entry.path().string());
      }
    }
    return found;
  }

  std::string temp_;
  std::string folder_;
  std::string old_;
  bool hadOld_ = false;
};

TEST_F(RegistryTest, DefaultFolderFollowsXdgConfigHome) {
  EXPECT_EQ(folder_, temp_ + "/Quillmarsh/Tintaframe4 Plus");
  EXPECT_EQ(CRegistry::Instance().Folder(), folder_);
  // A relative XDG_CONFIG_HOME is not valid and falls back to ~/.config.
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  if (!home.empty()) {
    EXPECT_EQ(CRegistry::DefaultFolder(), home + "/.config/Quillmarsh/Tintaframe4 Plus");
  }
  setenv("XDG_CONFIG_HOME", temp_.c_str(), 1);
}

struct ValueCase {
  const char* label;
  std::string name;
  RegValueKind kind;
  int32_t dword;
  std::string bytes;  // string or binary contents
};

std::string AllBytesButZero() {
  std::string s;
  for (int c = 1; c < 256; ++c) s.push_back(static_cast<char>(c));
  return s;
}

std::string DoubleBytes(double d) {
  std::string s(8, '\0');
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  for (int i = 0; i < 8; ++i) s[i] = static_cast<char>(bits >> (8 * i));
  return s;
}

TEST_F(RegistryTest, EveryKindOfValueRoundTripsThroughTheFileByteExact) {
  const std::vector<ValueCase> cases = {
      {"zero", "a", RegValueKind::kDword, 0, ""},
      {"minus one", "b", RegValueKind::kDword, -1, ""},
      {"min", "c", RegValueKind::kDword, INT32_MIN, ""},
      {"max", "d", RegValueKind::kDword, INT32_MAX, ""},
      {"colour", "GridColor", RegValueKind::kDword, static_cast<int32_t>(0x80000000u), ""},
      {"empty string", "e", RegValueKind::kString, 0, ""},
      {"plain", "loadPath", RegValueKind::kString, 0, "/home/user/pictures/"},
      {"quotes and escapes", "q", RegValueKind::kString, 0, "a\"b\\c\\x41;[x]%20"},
      {"code page 932", "face", RegValueKind::kString, 0, "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e"},
      {"every byte", "bytes", RegValueKind::kString, 0, AllBytesButZero()},
      {"empty binary", "bin0", RegValueKind::kBinary, 0, ""},
      {"double", "opaquePaint", RegValueKind::kBinary, 0, DoubleBytes(0.625)},
      {"nan double", "nan", RegValueKind::kBinary, 0, DoubleBytes(std::nan(""))},
      {"raw binary", "raw", RegValueKind::kBinary, 0, std::string("\x00\xff\x10\x80\x7f", 5)},
      {"empty name", "", RegValueKind::kDword, 7, ""},
      {"odd name", "na\"me \\ with;=[]\x82\xa0", RegValueKind::kDword, 8, ""},
  };
  {
    CRegistry store(folder_);
    ASSERT_TRUE(store.CreateKey(kConfig));
    for (const ValueCase& c : cases) {
      bool ok = false;
      if (c.kind == RegValueKind::kDword) ok = store.WriteDword(kConfig, c.name, c.dword);
      if (c.kind == RegValueKind::kString) ok = store.WriteString(kConfig, c.name, c.bytes);
      if (c.kind == RegValueKind::kBinary) {
        ok = store.WriteBinary(kConfig, c.name, c.bytes.data(), c.bytes.size());
      }
      EXPECT_TRUE(ok) << c.label;
    }
    ASSERT_TRUE(store.Save());
  }
  CRegistry again(folder_);
  ASSERT_TRUE(again.Load());
  EXPECT_TRUE(again.DamagedCopy().empty());
  std::vector<std::string> names = again.ValueNames(kConfig);
  ASSERT_EQ(names.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const ValueCase& c = cases[i];
    EXPECT_EQ(names[i], c.name) << c.label;  // written order
    EXPECT_EQ(again.ValueKind(kConfig, c.name), c.kind) << c.label;
    if (c.kind == RegValueKind::kDword) {
      int32_t v = 0;
      EXPECT_TRUE(again.ReadDword(kConfig, c.name, v));
      EXPECT_EQ(v, c.dword) << c.label;
    } else if (c.kind == RegValueKind::kString) {
      std::string v;
      EXPECT_TRUE(again.ReadString(kConfig, c.name, v));
      EXPECT_EQ(v, c.bytes) << c.label;
    } else {
      std::vector<uint8_t> v;
      EXPECT_TRUE(again.ReadBinary(kConfig, c.name, v));
      EXPECT_EQ(std::string(v.begin(), v.end()), c.bytes) << c.label;
    }
  }
  double d = 0;
  EXPECT_TRUE(again.ReadDouble(kConfig, "opaquePaint", d));
  EXPECT_EQ(d, 0.625);
}

TEST_F(RegistryTest, FileIsReadableText) {
  CRegistry store(folder_);
  ASSERT_TRUE(store.CreateKey(kConfig));
  store.WriteDword(kConfig, "gridW", 32);
  store.WriteString(kConfig, "face", "\x82\x6c\x82\x72");
  store.WriteDouble(kConfig, "opaquePaint", 1.0);
  ASSERT_TRUE(store.Save());
  std::string text = ReadFileText(File());
  EXPECT_EQ(text.rfind("TF4REG 1\n", 0), 0u);
  EXPECT_NE(text.find("[Software\\Quillmarsh\\Tintaframe4 Plus\\config]\n"), std::string::npos);
  EXPECT_NE(text.find("\"gridW\"=dword:32\n"), std::string::npos);
  // Bytes outside printable ASCII are escaped; a UTF-8 copy follows as a comment.
  EXPECT_NE(text.find("\"face\"=string:\"\\x82l\\x82r\" ; \xef\xbc\xad\xef\xbc\xb3\n"), std::string::npos);
  EXPECT_NE(text.find("\"opaquePaint\"=binary:000000000000f03f ; double 1\n"), std::string::npos);
}

TEST_F(RegistryTest, ValuesKeepTheirOrderAndAnOverwriteStaysInPlace) {
  CRegistry store(folder_);
  ASSERT_TRUE(store.CreateKey(kConfig));
  for (const char* n : {"zeta", "alpha", "mid"}) store.WriteDword(kConfig, n, 1);
  store.WriteString(kConfig, "ALPHA", "now a string");  // same value, other case: replaced in place
  store.WriteDword(kConfig, "first", 2);
  EXPECT_EQ(store.ValueNames(kConfig), (std::vector<std::string>{"zeta", "alpha", "mid", "first"}));
  EXPECT_EQ(store.ValueKind(kConfig, "alpha"), RegValueKind::kString);
  EXPECT_TRUE(store.DeleteValue(kConfig, "Zeta"));
  EXPECT_FALSE(store.DeleteValue(kConfig, "zeta"));
  store.WriteDword(kConfig, "zeta", 3);  // comes back at the end
  EXPECT_EQ(store.ValueNames(kConfig), (std::vector<std::string>{"alpha", "mid", "first", "zeta"}));
  ASSERT_TRUE(store.Save());
  CRegistry again(folder_);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.ValueNames(kConfig), (std::vector<std::string>{"alpha", "mid", "first", "zeta"}));
}

TEST_F(RegistryTest, ValueOfAnotherKindReadsAsMissing) {
  CRegistry store(folder_);
  ASSERT_TRUE(store.CreateKey(kConfig));
  store.WriteDword(kConfig, "dw", 5);
  store.WriteString(kConfig, "str", "5");
  uint8_t four[4] = {0, 0, 0x80, 0x3f};
  store.WriteBinary(kConfig, "bin4", four, 4);
  int32_t i = 99;
  std::string s = "keep";
  std::vector<uint8_t> b = {1};
  double d = 9.5;
  EXPECT_FALSE(store.ReadString(kConfig, "dw", s));
  EXPECT_FALSE(store.ReadBinary(kConfig, "dw", b));
  EXPECT_FALSE(store.ReadDouble(kConfig, "dw", d));
  EXPECT_FALSE(store.ReadDword(kConfig, "str", i));
  EXPECT_FALSE(store.ReadDouble(kConfig, "str", d));
  EXPECT_FALSE(store.ReadDword(kConfig, "bin4", i));
  EXPECT_FALSE(store.ReadDouble(kConfig, "bin4", d));  // a float is 8 bytes here
  EXPECT_FALSE(store.ReadDword(kConfig, "missing", i));
  EXPECT_EQ(i, 99);
  EXPECT_EQ(s, "keep");
  EXPECT_EQ(b, std::vector<uint8_t>{1});
  EXPECT_EQ(d, 9.5);
  CRegistryKey key(&store);
  ASSERT_TRUE(key.OpenKey("\\" + kConfig, false));
  bool flag = true;
  EXPECT_FALSE(key.ReadBool("str", flag));
  EXPECT_TRUE(key.ReadBool("dw", flag));
  EXPECT_TRUE(flag);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseExceptInsideDoubleByteCharacters) {
  CRegistry store(folder_);
  ASSERT_TRUE(store.CreateKey(kRoot + "\\Config"));
  EXPECT_TRUE(store.KeyExists("software\\QUILLMARSH\\tintaframe4 plus\\CONFIG"));
  store.WriteDword(kConfig, "GridW", 1);
  int32_t v = 0;
  EXPECT_TRUE(store.ReadDword(kConfig, "gridw", v));
  // 0x83 0x41 and 0x83 0x61 are two different katakana: the trail byte is not a letter.
  store.WriteDword(kConfig, "\x83\x41", 10);
  store.WriteDword(kConfig, "\x83\x61", 20);
  EXPECT_TRUE(store.ReadDword(kConfig, "\x83\x41", v));
  EXPECT_EQ(v, 10);
  EXPECT_TRUE(store.ReadDword(kConfig, "\x83\x61", v));
  EXPECT_EQ(v, 20);
}

TEST_F(RegistryTest, OnlyTheProgramsKeyCanExist) {
  CRegistry store(folder_);
  for (const std::string& path :
       {std::string(""), std::string("\\"), std::string("Software"), std::string("Software\\Quillmarsh"),
        std::string("Software\\Other\\Tintaframe4 Plus"), kRoot + "\\\\gap", kRoot + "\\" + std::string(256, 'k'),
        std::string("Software\\Quillmarsh\\Tintaframe4 Plus2")}) {
    EXPECT_FALSE(store.CreateKey(path)) << path;
    EXPECT_FALSE(store.KeyExists(path)) << path;
  }
  EXPECT_TRUE(store.CreateKey("\\" + kRoot + "\\"));  // leading and trailing '\' allowed
  EXPECT_TRUE(store.KeyExists(kRoot));
  EXPECT_FALSE(store.DeleteKey(kRoot));  // the root stays
  EXPECT_TRUE(store.CreateKey(kRoot + "\\" + std::string(255, 'k')));
  EXPECT_TRUE(store.CreateKey(kRoot + Repeat("\\d", 64)));
  EXPECT_FALSE(store.CreateKey(kRoot + Repeat("\\d", 65)));
  EXPECT_FALSE(store.WriteDword(kRoot, std::string("a\0b", 3), 1));
  EXPECT_FALSE(store.WriteDword(kRoot, std::string(kRegMaxValueName + 1, 'n'), 1));
  EXPECT_FALSE(store.WriteDword(kRoot + "\\missing", "x", 1));
}

TEST_F(RegistryTest, StringsEndAtTheirFirstZeroByte) {
  CRegistry store(folder_);
  ASSERT_TRUE(store.CreateKey(kConfig));
  store.WriteString(kConfig, "s", std::string("abc\0def", 7));
  std::string v;
  EXPECT_TRUE(store.ReadString(kConfig, "s", v));
  EXPECT_EQ(v, "abc");
}

TEST_F(RegistryTest, KeyHandleTakesPathsFromTheOpenKey) {
  CRegistry store(folder_);
  CRegistryKey key(&store);
  EXPECT_FALSE(key.WriteInteger("x", 1));  // nothing open
  EXPECT_FALSE(key.OpenKey("\\" + kRoot + "\\fileMRU", false));
  ASSERT_TRUE(key.OpenKey("\\" + kRoot, true));
  ASSERT_TRUE(key.OpenKey("penSetting\\wc2", true));  // relative to the open key
  EXPECT_EQ(key.CurrentPath(), kRoot + "\\penSetting\\wc2");
  EXPECT_TRUE(key.WriteDouble("MIN", 0.5));
  EXPECT_TRUE(key.WriteBool("ifSIZE", true));
  EXPECT_TRUE(key.OpenKey("\\" + kRoot + "\\penSetting", false));
  EXPECT_EQ(key.GetKeyNames(), std::vector<std::string>{"wc2"});
  EXPECT_TRUE(key.KeyExists("WC2"));
  EXPECT_TRUE(key.DeleteKey("wc2"));
  EXPECT_FALSE(store.KeyExists(kRoot + "\\penSetting\\wc2"));
  EXPECT_FALSE(key.OpenKey("missing", false));
  EXPECT_EQ(key.CurrentPath(), kRoot + "\\penSetting");  // a failed open keeps the key
  key.CloseKey();
  EXPECT_FALSE(key.HasCurrentKey());
  EXPECT_TRUE(key.GetValueNames().empty());
  // Without an open key a relative path starts at HKEY_CURRENT_USER.
  EXPECT_TRUE(key.OpenKey(kRoot + "\\fileMRU", true));
  EXPECT_TRUE(key.WriteString("path0", "/a.tfi"));
  EXPECT_TRUE(key.ValueExists("PATH0"));
  EXPECT_EQ(key.GetDataType("path0"), RegValueKind::kString);
}

TEST_F(RegistryTest, DeletedValuesAndKeysStayDeletedInTheFile) {
  {
    CRegistry store(folder_);
    store.CreateKey(kRoot + "\\penSetting\\pen0");
    store.CreateKey(kRoot + "\\penSetting\\wc1");
    store.CreateKey(kConfig);
    store.WriteDword(kRoot + "\\penSetting\\pen0", "airMap", 3);
    store.WriteDword(kConfig, "a", 1);
    store.WriteDword(kConfig, "b", 2);
    ASSERT_TRUE(store.Save());
  }
  {
    CRegistry store(folder_);
    ASSERT_TRUE(store.Load());
    EXPECT_TRUE(store.DeleteKey(kRoot + "\\penSetting\\pen0"));
    EXPECT_TRUE(store.DeleteValue(kConfig, "a"));
    ASSERT_TRUE(store.Save());
  }
  CRegistry store(folder_);
  ASSERT_TRUE(store.Load());
  EXPECT_FALSE(store.KeyExists(kRoot + "\\penSetting\\pen0"));
  EXPECT_TRUE(store.KeyExists(kRoot + "\\penSetting\\wc1"));
  EXPECT_EQ(store.ValueNames(kConfig), std::vector<std::string>{"b"});
}

// Files that are not ours, each with a short label.
struct DamagedCase {
  const char* label;
  std::string text;
};

TEST_F(RegistryTest, DamagedFileIsKeptAsideAndReadsAsEmpty) {
  const std::string good = "TF4REG 1\n[Software\\Quillmarsh\\Tintaframe4 Plus\\config]\n";
  const std::vector<DamagedCase> cases = {
      {"no header", "[Software\\Quillmarsh\\Tintaframe4 Plus]\n"},
      {"other header", "TF4REG 2\n"},
      {"garbage", std::string("\x7f"
                              "ELF\x01\x02",
                              6)},
      {"zero byte", good + std::string("\"a\"=dword:1\0\n", 13)},
      {"value before key", "TF4REG 1\n\"a\"=dword:1\n"},
      {"key outside", "TF4REG 1\n[Software\\Other]\n"},
      {"empty key part", "TF4REG 1\n[Software\\Quillmarsh\\Tintaframe4 Plus\\\\x]\n"},
      {"bad escape in key", "TF4REG 1\n[Software\\Quillmarsh\\Tintaframe4 Plus\\%4]\n"},
      {"unclosed key", "TF4REG 1\n[Software\\Quillmarsh\\Tintaframe4 Plus\n"},
      {"dword overflow", good + "\"a\"=dword:2147483648\n"},
      {"dword underflow", good + "\"a\"=dword:-2147483649\n"},
      {"dword text", good + "\"a\"=dword:12ab\n"},
      {"unknown kind", good + "\"a\"=qword:1\n"},
      {"unterminated string", good + "\"a\"=string:\"abc\n"},
      {"bad string escape", good + "\"a\"=string:\"\\q\"\n"},
      {"short hex escape", good + "\"a\"=string:\"\\x4\"\n"},
      {"zero in string", good + "\"a\"=string:\"\\x00\"\n"},
      {"odd hex", good + "\"a\"=binary:abc\n"},
      {"trailing junk", good + "\"a\"=dword:1 2\n"},
      {"truncated line", good + "\"a\"=dwo"},
      {"too deep", "TF4REG 1\n[Software\\Quillmarsh\\Tintaframe4 Plus" + Repeat("\\k", 65) + "]\n"},
  };
  for (const DamagedCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::create_directories(folder_);
    WriteFileText(File(), c.text);
    CRegistry store(folder_);
    EXPECT_TRUE(store.Load());
    EXPECT_TRUE(store.SubKeyNames(kRoot).empty());
    ASSERT_FALSE(store.DamagedCopy().empty());
    EXPECT_FALSE(fs::exists(File()));
    EXPECT_EQ(ReadFileText(store.DamagedCopy()), c.text);  // kept as it was
    // The next save writes a sound file and leaves the copy alone.
    ASSERT_TRUE(store.CreateKey(kConfig));
    store.WriteDword(kConfig, "x", 1);
    ASSERT_TRUE(store.Save());
    CRegistry again(folder_);
    ASSERT_TRUE(again.Load());
    EXPECT_TRUE(again.DamagedCopy().empty());
    int32_t v = 0;
    EXPECT_TRUE(again.ReadDword(kConfig, "x", v));
    EXPECT_EQ(DamagedCopies().size(), 1u);
  }
}

TEST_F(RegistryTest, SecondDamagedFileDoesNotReplaceTheFirstCopy) {
  fs::create_directories(folder_);
  WriteFileText(File(), "first");
  CRegistry a(folder_);
  a.Load();
  WriteFileText(File(), "second");
  CRegistry b(folder_);
  b.Load();
  ASSERT_NE(a.DamagedCopy(), b.DamagedCopy());
  EXPECT_EQ(ReadFileText(a.DamagedCopy()), "first");
  EXPECT_EQ(ReadFileText(b.DamagedCopy()), "second");
}

TEST_F(RegistryTest, HandEditedFileWithCommentsAndLineEndsReads) {
  fs::create_directories(folder_);
  WriteFileText(File(),
                "TF4REG 1\r\n"
                "; my settings\r\n"
                "\r\n"
                "  [software\\quillmarsh\\tintaframe4 plus\\config]  ; section\r\n"
                "\"gridW\"=dword:-16 ; grid\r\n"
                "\t\"face\"=string:\"\\x82\\x6C\"\r\n"
                "[Software\\Quillmarsh\\Tintaframe4 Plus\\pen%53etting\\wc2]\n"
                "\"MIN\"=binary:000000000000E03F\n"
                "[Software\\Quillmarsh\\Tintaframe4 Plus\\config]\n"
                "\"gridH\"=dword:8\n"
                "\"gridW\"=dword:16\n");
  CRegistry store(folder_);
  ASSERT_TRUE(store.Load());
  EXPECT_TRUE(store.DamagedCopy().empty());
  int32_t v = 0;
  EXPECT_TRUE(store.ReadDword(kConfig, "gridW", v));
  EXPECT_EQ(v, 16);  // a repeated value replaces the first in place
  EXPECT_EQ(store.ValueNames(kConfig), (std::vector<std::string>{"gridW", "face", "gridH"}));
  std::string s;
  EXPECT_TRUE(store.ReadString(kConfig, "face", s));
  EXPECT_EQ(s, "\x82\x6c");
  double d = 0;
  EXPECT_TRUE(store.ReadDouble(kRoot + "\\penSetting\\wc2", "MIN", d));
  EXPECT_EQ(d, 0.5);
}

// An editor saving the file may put a UTF-8 byte order mark in front, and one working in code
// page 932 writes double-byte characters as they are, some with '\\' as their second byte
// (0x95 0x5C, 0x83 0x5C).
TEST_F(RegistryTest, HandEditedFileWithByteOrderMarkAndRawDoubleByteTextReads) {
  fs::create_directories(folder_);
  WriteFileText(File(),
                "\xEF\xBB\xBFTF4REG 1\n"
                "[Software\\Quillmarsh\\Tintaframe4 Plus\\fileIO]\n"
                "\"loadPath\"=string:\"C:\\\\\x95\x5C\x8E\xA6\\\\\x83\x5C\x83\x74\x83\x67\\x41\"\n"
                "\"\x95\x5C\"=dword:3\n");
  CRegistry store(folder_);
  ASSERT_TRUE(store.Load());
  EXPECT_TRUE(store.DamagedCopy().empty());
  const std::string fileIO = kRoot + "\\fileIO";
  std::string s;
  EXPECT_TRUE(store.ReadString(fileIO, "loadPath", s));
  EXPECT_EQ(s,
            "C:\\\x95\x5C\x8E\xA6\\\x83\x5C\x83\x74\x83\x67"
            "A");
  int32_t v = 0;
  EXPECT_TRUE(store.ReadDword(fileIO, "\x95\x5C", v));
  EXPECT_EQ(v, 3);
  // Saved again, the file is plain and reads the same.
  store.WriteDword(fileIO, "x", 1);
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(ReadFileText(File()).rfind("TF4REG 1\n", 0), 0u);
  CRegistry again(folder_);
  ASSERT_TRUE(again.Load());
  EXPECT_TRUE(again.ReadString(fileIO, "loadPath", s));
  EXPECT_EQ(s,
            "C:\\\x95\x5C\x8E\xA6\\\x83\x5C\x83\x74\x83\x67"
            "A");
}

TEST_F(RegistryTest, EmptyOrMissingFileReadsAsEmptyWithoutCopies) {
  CRegistry missing(folder_);
  EXPECT_TRUE(missing.Load());
  EXPECT_FALSE(fs::exists(folder_));  // reading makes nothing
  fs::create_directories(folder_);
  WriteFileText(File(), "");
  CRegistry empty(folder_);
  EXPECT_TRUE(empty.Load());
  EXPECT_TRUE(empty.DamagedCopy().empty());
  EXPECT_TRUE(DamagedCopies().empty());
}

TEST_F(RegistryTest, UnreadableFileIsNeitherReadNorReplaced) {
  fs::create_directories(File());  // a folder where the file should be
  CRegistry store(folder_);
  EXPECT_FALSE(store.Load());
  ASSERT_TRUE(store.CreateKey(kConfig));
  EXPECT_FALSE(store.Save());
  EXPECT_TRUE(store.HasChanges());
  EXPECT_TRUE(fs::is_directory(File()));
}

TEST_F(RegistryTest, SaveFailsWhenTheFolderCannotBeMade) {
  std::string blocker = temp_ + "/file";
  WriteFileText(blocker, "x");
  CRegistry store(blocker + "/sub");
  ASSERT_TRUE(store.Load());
  ASSERT_TRUE(store.CreateKey(kConfig));
  EXPECT_FALSE(store.Save());
  EXPECT_TRUE(store.HasChanges());  // still pending
}

TEST_F(RegistryTest, SaveWithoutChangesLeavesTheFileAlone) {
  CRegistry store(folder_);
  EXPECT_TRUE(store.Save());
  EXPECT_FALSE(fs::exists(File()));
  store.CreateKey(kConfig);
  store.WriteDword(kConfig, "a", 1);
  EXPECT_TRUE(store.HasChanges());
  ASSERT_TRUE(store.Save());
  EXPECT_FALSE(store.HasChanges());
  struct stat before, after;
  ASSERT_EQ(stat(File().c_str(), &before), 0);
  store.WriteDword(kConfig, "a", 1);  // same value
  EXPECT_FALSE(store.HasChanges());
  EXPECT_TRUE(store.Save());
  ASSERT_EQ(stat(File().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  // No temporary files are left behind.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2u);  // registry.txt and registry.lock
}

TEST_F(RegistryTest, SettingsFileIsPrivateToItsUser) {
  CRegistry store(folder_);
  ASSERT_TRUE(store.Load());
  ASSERT_TRUE(store.CreateKey(kConfig));
  ASSERT_TRUE(store.WriteDword(kConfig, "a", 1));
  const mode_t oldMask = ::umask(022);
  ASSERT_TRUE(store.Save());
  struct stat st;
  ASSERT_EQ(stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  // A file someone opened up is made private again by the next save.
  ASSERT_EQ(chmod(File().c_str(), 0644), 0);
  ASSERT_TRUE(store.WriteDword(kConfig, "a", 2));
  ASSERT_TRUE(store.Save());
  ::umask(oldMask);
  ASSERT_EQ(stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  CRegistry again(folder_);
  ASSERT_TRUE(again.Load());
  int32_t v = 0;
  EXPECT_TRUE(again.ReadDword(kConfig, "a", v));
  EXPECT_EQ(v, 2);
}

TEST_F(RegistryTest, TwoStoresSavingInTurnEachKeepWhatTheyChanged) {
  {
    CRegistry seed(folder_);
    seed.CreateKey(kConfig);
    seed.WriteDword(kConfig, "shared", 1);
    seed.WriteDword(kConfig, "doomed", 1);
    ASSERT_TRUE(seed.Save());
  }
  CRegistry a(folder_), b(folder_);
  ASSERT_TRUE(a.Load());
  ASSERT_TRUE(b.Load());
  a.WriteDword(kConfig, "onlyA", 10);
  a.WriteDword(kConfig, "shared", 1);  // unchanged: not a change of A's
  b.WriteDword(kConfig, "onlyB", 20);
  b.WriteDword(kConfig, "shared", 2);
  b.DeleteValue(kConfig, "doomed");
  b.CreateKey(kRoot + "\\font");
  ASSERT_TRUE(b.Save());
  ASSERT_TRUE(a.Save());
  // A sees B's changes after its save.
  int32_t v = 0;
  EXPECT_TRUE(a.ReadDword(kConfig, "onlyB", v));
  CRegistry check(folder_);
  ASSERT_TRUE(check.Load());
  EXPECT_TRUE(check.ReadDword(kConfig, "onlyA", v));
  EXPECT_EQ(v, 10);
  EXPECT_TRUE(check.ReadDword(kConfig, "onlyB", v));
  EXPECT_EQ(v, 20);
  EXPECT_TRUE(check.ReadDword(kConfig, "shared", v));
  EXPECT_EQ(v, 2);
  EXPECT_EQ(check.ValueKind(kConfig, "doomed"), RegValueKind::kNone);
  EXPECT_TRUE(check.KeyExists(kRoot + "\\font"));
}

TEST_F(RegistryTest, KeyDeletedAndWrittenAgainReplacesTheFilesCopyOnlyWhenItChanged) {
  const std::string mru = kRoot + "\\fileMRU";
  auto writeList = [&](CRegistry& store, const std::vector<std::string>& paths) {
    store.DeleteKey(mru);
    store.CreateKey(mru);
    for (size_t i = 0; i < paths.size(); ++i) {
      store.WriteString(mru, "path" + std::to_string(i), paths[i]);
    }
  };
  auto readList = [&]() {
    CRegistry store(folder_);
    store.Load();
    std::vector<std::string> out;
    for (const std::string& name : store.ValueNames(mru)) {
      std::string v;
      store.ReadString(mru, name, v);
      out.push_back(name + "=" + v);
    }
    return out;
  };
  {
    CRegistry seed(folder_);
    writeList(seed, {"/a", "/b", "/c"});
    ASSERT_TRUE(seed.Save());
  }
  CRegistry first(folder_), second(folder_);
  first.Load();
  second.Load();
  writeList(second, {"/x"});
  ASSERT_TRUE(second.Save());
  writeList(first, {"/a", "/b", "/c"});  // rewritten as loaded: no change of its own
  ASSERT_TRUE(first.Save());
  EXPECT_EQ(readList(), std::vector<std::string>{"path0=/x"});
  writeList(first, {"/y", "/x"});
  ASSERT_TRUE(first.Save());
  EXPECT_EQ(readList(), (std::vector<std::string>{"path0=/y", "path1=/x"}));
}

// Two instances over one file: this store loads the seed, the other instance changes the file
// (through a store of its own, or by writing bytes over it), then this store makes its changes
// and saves. The file afterwards holds the other instance's file with exactly this store's
// changes applied.
struct MergeCase {
  const char* label;
  std::string seed;                                    // lines after the header
  std::function<void(const std::string& file)> other;  // what another writer does to the file
  std::function<void(CRegistry&)> mine;
  std::string expected;  // the file afterwards, after the header
};

// The other instance as a store of its own: loads, changes, saves.
std::function<void(const std::string&)> OtherStore(std::function<void(CRegistry&)> change) {
  return [change](const std::string& file) {
    CRegistry other(fs::path(file).parent_path().string());
    ASSERT_TRUE(other.Load());
    change(other);
    ASSERT_TRUE(other.Save());
  };
}

// The file's key and value lines: comments and blank lines dropped.
std::string Lines(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != ';') out += line + "\n";
  }
  return out;
}

std::string KeyLine(const std::string& below) {
  return "[" + kRoot + (below.empty() ? "" : "\\" + below) + "]\n";
}

TEST_F(RegistryTest, MergeAppliesOnlyWhatThisStoreChanged) {
  const std::string k = kRoot + "\\K", sub = kRoot + "\\Sub";
  const std::vector<MergeCase> cases = {
      {"key deleted elsewhere stays deleted",
       KeyLine("") + "\"a\"=dword:1\n" + KeyLine("K") + "\"kv\"=dword:2\n" + KeyLine("K\\Deep") +
           "\"d\"=dword:3\n",
       OtherStore([&](CRegistry& o) { ASSERT_TRUE(o.DeleteKey(k)); }),
       [&](CRegistry& me) { ASSERT_TRUE(me.WriteDword(kRoot, "a", 5)); }, KeyLine("") + "\"a\"=dword:5\n"},
      {"key deleted elsewhere comes back with only what was written into it",
       KeyLine("") + KeyLine("K") + "\"kv\"=dword:2\n" + KeyLine("K\\Deep") + "\"d\"=dword:3\n",
       OtherStore([&](CRegistry& o) { ASSERT_TRUE(o.DeleteKey(k)); }),
       [&](CRegistry& me) {
         ASSERT_TRUE(me.WriteDword(k, "new", 7));
         ASSERT_TRUE(me.DeleteValue(k + "\\Deep", "d"));  // a deletion alone brings nothing back
       },
       KeyLine("") + KeyLine("K") + "\"new\"=dword:7\n"},
      {"key made here under a key deleted elsewhere", KeyLine("") + KeyLine("K") + "\"kv\"=dword:2\n",
       OtherStore([&](CRegistry& o) { ASSERT_TRUE(o.DeleteKey(k)); }),
       [&](CRegistry& me) { ASSERT_TRUE(me.CreateKey(k + "\\Made")); },
       KeyLine("") + KeyLine("K") + KeyLine("K\\Made")},
      {"key deleted and made again here replaces what the other added",
       KeyLine("") + KeyLine("Sub") + "\"x\"=dword:1\n",
       OtherStore([&](CRegistry& o) { ASSERT_TRUE(o.WriteDword(sub, "y", 2)); }),
       [&](CRegistry& me) {
         ASSERT_TRUE(me.DeleteKey(sub));
         ASSERT_TRUE(me.CreateKey(sub));
         ASSERT_TRUE(me.WriteDword(sub, "z", 3));
       },
       KeyLine("") + KeyLine("Sub") + "\"z\"=dword:3\n"},
      {"file damaged by another writer: what was read stays",
       KeyLine("") + "\"a\"=dword:1\n" + KeyLine("K") + "\"kv\"=dword:2\n",
       [](const std::string& file) { WriteFileText(file, "TF4REG 1\n\"broken"); },
       [&](CRegistry& me) { ASSERT_TRUE(me.WriteDword(kRoot, "b", 4)); },
       KeyLine("") + "\"a\"=dword:1\n\"b\"=dword:4\n" + KeyLine("K") + "\"kv\"=dword:2\n"},
      {"same bytes as another kind is a change", KeyLine("") + "\"v\"=binary:61626364\n",
       OtherStore([](CRegistry&) {}),
       [&](CRegistry& me) {
         ASSERT_TRUE(me.WriteDword(kRoot, "v", 0x64636261));
         EXPECT_EQ(me.ValueKind(kRoot, "v"), RegValueKind::kDword);
       },
       KeyLine("") + "\"v\"=dword:1684234849\n"},
      {"binary then dword in one session", KeyLine(""), OtherStore([](CRegistry&) {}),
       [&](CRegistry& me) {
         ASSERT_TRUE(me.WriteBinary(kRoot, "v", "abcd", 4));
         ASSERT_TRUE(me.WriteDword(kRoot, "v", 0x64636261));
         EXPECT_EQ(me.ValueKind(kRoot, "v"), RegValueKind::kDword);
       },
       KeyLine("") + "\"v\"=dword:1684234849\n"},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::create_directories(folder_);
    WriteFileText(File(), "TF4REG 1\n" + c.seed);
    CRegistry me(folder_);
    ASSERT_TRUE(me.Load());
    ASSERT_TRUE(me.DamagedCopy().empty());
    c.other(File());
    c.mine(me);
    ASSERT_TRUE(me.Save());
    EXPECT_EQ(Lines(ReadFileText(File())), "TF4REG 1\n" + c.expected);
  }
}

// The settings file is saved through the one atomic save: a temporary left by a save that was
// killed is removed by the next one, and the file stays private.
TEST_F(RegistryTest, SaveRemovesTemporariesLeftByAKilledSave) {
  fs::create_directories(folder_);
  WriteFileText(folder_ + "/.registry.txt.tmp-Kill3d", std::string(4096, 'x'));
  CRegistry store(folder_);
  ASSERT_TRUE(store.Load());
  ASSERT_TRUE(store.CreateKey(kConfig));
  ASSERT_TRUE(store.WriteDword(kConfig, "x", 1));
  ASSERT_TRUE(store.Save());
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"registry.lock", "registry.txt"}));
  struct stat st;
  ASSERT_EQ(::stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(RegistryTest, ProcessesSavingAtTheSameTimeKeepAllValues) {
  constexpr int kRounds = 25;
  auto run = [&](const char* who) {
    CRegistry store(folder_);
    bool ok = store.Load();
    for (int i = 0; i < kRounds && ok; ++i) {
      ok = store.CreateKey(kConfig) && store.WriteDword(kConfig, std::string(who) + std::to_string(i), i) &&
           store.Save();
    }
    return ok;
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(run("child") ? 0 : 1);
  bool parentOk = run("parent");
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(parentOk);
  CRegistry check(folder_);
  ASSERT_TRUE(check.Load());
  EXPECT_TRUE(check.DamagedCopy().empty());
  EXPECT_EQ(check.ValueNames(kConfig).size(), 2u * kRounds);
  for (int i = 0; i < kRounds; ++i) {
    int32_t v = -1;
    EXPECT_TRUE(check.ReadDword(kConfig, "child" + std::to_string(i), v));
    EXPECT_EQ(v, i);
    EXPECT_TRUE(check.ReadDword(kConfig, "parent" + std::to_string(i), v));
    EXPECT_EQ(v, i);
  }
}

TEST_F(RegistryTest, ProcessWideStoreReadsTheFileOnFirstUse) {
  {
    CRegistry store(folder_);
    store.CreateKey(kConfig);
    store.WriteDword(kConfig, "undoMax", 12);
    ASSERT_TRUE(store.Save());
  }
  int32_t v = 0;
  EXPECT_TRUE(CRegistry::Instance().ReadDword(kConfig, "undoMax", v));
  EXPECT_EQ(v, 12);
  CRegistryKey key;  // the process-wide store
  ASSERT_TRUE(key.OpenKey(kConfig, false));
  EXPECT_TRUE(key.ReadInteger("undoMax", v));
}

}  // namespace
}  // namespace tf
