// libFuzzer target: the settings registry file read from arbitrary bytes.
//
// The bytes become folder/registry.txt of a scratch folder and a store loads them. A file
// the reader refuses is moved aside unchanged and the store reads as empty. A file it takes
// is walked key by key: every value reads back as its own kind only, through the store and
// through a key handle. Then one value is written and the store saved; a second store
// loading the saved file must see the same tree, and saving it again changes nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace {

// Stops the run at a broken expectation, naming its line.
[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using namespace tf;

const std::string& Folder() {
  static const std::string folder = [] {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string f = std::string(base) + "/tf-fuzz-registry-" + std::to_string(::getpid());
    ::mkdir(f.c_str(), 0700);
    return f;
  }();
  return folder;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

bool ReadFile(const std::string& path, std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes.clear();
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return true;
}

const std::string kRoot(kRegistryRoot);

// Every key and value below path, read through the store and a key handle, as lines.
void Walk(CRegistry& store, const std::string& path, size_t depth, std::vector<std::string>& out) {
  if (depth > kRegMaxDepth) Fail(__LINE__);
  if (!store.KeyExists(path)) Fail(__LINE__);
  out.push_back("K " + path);
  CRegistryKey key(&store);
  if (!key.OpenKey("\\" + path, false)) Fail(__LINE__);
  for (const std::string& name : store.ValueNames(path)) {
    RegValueKind kind = store.ValueKind(path, name);
    if (kind == RegValueKind::kNone || key.GetDataType(name) != kind) Fail(__LINE__);
    int32_t dword = 0;
    std::string text;
    std::vector<uint8_t> binary;
    double real = 0;
    bool isDword = store.ReadDword(path, name, dword);
    bool isString = store.ReadString(path, name, text);
    bool isBinary = store.ReadBinary(path, name, binary);
    bool isDouble = store.ReadDouble(path, name, real);
    if (isDword != (kind == RegValueKind::kDword) || isString != (kind == RegValueKind::kString) ||
        isBinary != (kind == RegValueKind::kBinary) || isDouble != (isBinary && binary.size() == 8))
      Fail(__LINE__);
    if (text.find('\0') != std::string::npos) Fail(__LINE__);
    int32_t dword2 = 0;
    std::string text2;
    std::vector<uint8_t> binary2;
    bool b;
    if (key.ReadInteger(name, dword2) != isDword || dword2 != dword) Fail(__LINE__);
    if (key.ReadBool(name, b) != isDword) Fail(__LINE__);
    if (key.ReadString(name, text2) != isString || text2 != text) Fail(__LINE__);
    if (key.ReadBinary(name, binary2) != isBinary || binary2 != binary) Fail(__LINE__);
    std::string line = "V " + name + "=" + std::to_string(static_cast<int>(kind)) + ":";
    if (isDword) line += std::to_string(dword);
    line += text;
    line.append(binary.begin(), binary.end());
    out.push_back(line);
  }
  std::vector<std::string> children = store.SubKeyNames(path);
  if (key.GetKeyNames() != children) Fail(__LINE__);
  for (const std::string& child : children) Walk(store, path + "\\" + child, depth + 1, out);
}

void RemoveScratch(const CRegistry& store) {
  ::unlink(store.FilePath().c_str());
  if (!store.DamagedCopy().empty()) ::unlink(store.DamagedCopy().c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = Folder();
  CRegistry store(folder);
  if (!WriteFile(store.FilePath(), data, size)) Fail(__LINE__);
  if (!store.Load()) Fail(__LINE__);
  if (store.HasChanges()) Fail(__LINE__);

  if (!store.DamagedCopy().empty()) {
    // Refused: kept aside byte for byte, and nothing of it is read.
    std::string kept;
    if (!ReadFile(store.DamagedCopy(), kept)) Fail(__LINE__);
    if (kept != std::string(reinterpret_cast<const char*>(data), size)) Fail(__LINE__);
    if (::access(store.FilePath().c_str(), F_OK) == 0) Fail(__LINE__);
    if (!store.SubKeyNames(kRoot).empty() || !store.ValueNames(kRoot).empty()) Fail(__LINE__);
    RemoveScratch(store);
    return 0;
  }

  std::vector<std::string> tree;
  Walk(store, kRoot, 0, tree);

  // Saved and read again: the same tree.
  if (!store.WriteDword(kRoot, "fuzz saved", static_cast<int32_t>(size))) Fail(__LINE__);
  tree.clear();
  Walk(store, kRoot, 0, tree);
  if (!store.Save()) Fail(__LINE__);
  if (!store.DamagedCopy().empty()) Fail(__LINE__);
  CRegistry again(folder);
  if (!again.Load() || !again.DamagedCopy().empty()) Fail(__LINE__);
  std::vector<std::string> reread;
  Walk(again, kRoot, 0, reread);
  if (reread != tree) Fail(__LINE__);
  std::string saved, resaved;
  if (!ReadFile(again.FilePath(), saved)) Fail(__LINE__);
  if (!again.WriteDword(kRoot, "fuzz saved", static_cast<int32_t>(size) + 1) ||
      !again.WriteDword(kRoot, "fuzz saved", static_cast<int32_t>(size)))
    Fail(__LINE__);
  if (!again.Save() || !ReadFile(again.FilePath(), resaved) || resaved != saved) Fail(__LINE__);
  RemoveScratch(store);
  return 0;
}
