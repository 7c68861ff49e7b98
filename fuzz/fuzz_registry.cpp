// libFuzzer target: the settings registry file read from arbitrary bytes.
//
// The bytes become folder/registry.txt of a scratch folder and a store loads them. A file
// the reader refuses is moved aside unchanged and the store reads as empty. A file it takes
// is walked key by key: every value reads back as its own kind only, through the store and
// through a key handle. Then one value is written and the store saved; a second store
// loading the saved file must see the same tree, and saving it again changes nothing.
// An input with a zero byte is two files instead: the one a store reads, and the one another
// instance saves before this store saves its changes over it. The scratch folders are removed
// also when a check fails (FuzzScratch.h).
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzQuiet.h"
#include "FuzzScratch.h"
#include "platform/Registry.h"

namespace {

using namespace tf;

#define Fail(line) tf::fuzz::FailAt(__FILE__, line)

const std::string& Folder() {
  static const std::string folder = fuzz::MakeScratchFolder("registry");
  return folder;
}

const std::string& ReferenceFolder() {
  static const std::string folder = fuzz::MakeScratchFolder("registry", "-ref");
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

bool SameAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// One value of the root key as kind and bytes, or empty when it is missing.
std::string RootValue(CRegistry& store, const std::string& name) {
  RegValueKind kind = store.ValueKind(kRoot, name);
  std::string out(1, static_cast<char>('0' + static_cast<int>(kind)));
  int32_t dword = 0;
  std::string text;
  std::vector<uint8_t> binary;
  if (store.ReadDword(kRoot, name, dword)) out += std::to_string(dword);
  if (store.ReadString(kRoot, name, text)) out += text;
  if (store.ReadBinary(kRoot, name, binary)) out.append(binary.begin(), binary.end());
  return kind == RegValueKind::kNone ? std::string() : out;
}

// Two instances: this store read `first`, another one saved `second` over it, then this
// store saves what it changed. The file afterwards holds the other instance's tree with
// exactly this store's changes applied.
void MergeCase(const std::string& first, const std::string& second, uint32_t choice) {
  const std::string& folder = Folder();
  CRegistry store(folder);
  if (!WriteFile(store.FilePath(), reinterpret_cast<const uint8_t*>(first.data()), first.size())) Fail(__LINE__);
  if (!store.Load()) Fail(__LINE__);
  if (!store.DamagedCopy().empty()) {
    RemoveScratch(store);
    return;
  }
  const std::string kMine = "fuzz saved";
  // Changes: a value deleted, a key deleted (and maybe made again with one value), a value
  // written.
  std::string deletedValue, deletedKey;
  for (const std::string& name : store.ValueNames(kRoot)) {
    if (!SameAscii(name, kMine)) {
      deletedValue = name;
      break;
    }
  }
  if (!deletedValue.empty() && !store.DeleteValue(kRoot, deletedValue)) Fail(__LINE__);
  std::vector<std::string> keys = store.SubKeyNames(kRoot);
  const bool remake = (choice & 1) != 0;
  if (!keys.empty()) {
    deletedKey = keys[choice % keys.size()];
    if (!store.DeleteKey(kRoot + "\\" + deletedKey)) Fail(__LINE__);
    if (store.KeyExists(kRoot + "\\" + deletedKey)) Fail(__LINE__);
    if (remake) {
      if (!store.CreateKey(kRoot + "\\" + deletedKey)) Fail(__LINE__);
      if (!store.WriteString(kRoot + "\\" + deletedKey, "again", "made again")) Fail(__LINE__);
    }
  }
  if (!store.WriteDword(kRoot, kMine, static_cast<int32_t>(choice))) Fail(__LINE__);

  // The other instance's file; a damaged one counts as what this store read.
  if (!WriteFile(store.FilePath(), reinterpret_cast<const uint8_t*>(second.data()), second.size()))
    Fail(__LINE__);
  const std::string& refFolder = ReferenceFolder();
  auto readReference = [&](const std::string& bytes) {
    auto store = std::make_unique<CRegistry>(refFolder);
    if (!WriteFile(store->FilePath(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
      Fail(__LINE__);
    if (!store->Load()) Fail(__LINE__);
    RemoveScratch(*store);
    return store;
  };
  std::unique_ptr<CRegistry> referenceStore = readReference(second);
  const bool secondDamaged = !referenceStore->DamagedCopy().empty();
  if (secondDamaged) {
    referenceStore = readReference(first);
    if (!referenceStore->DamagedCopy().empty()) Fail(__LINE__);
  }
  CRegistry& reference = *referenceStore;

  if (!store.Save()) Fail(__LINE__);
  if (store.HasChanges()) Fail(__LINE__);
  if (secondDamaged != !store.DamagedCopy().empty()) Fail(__LINE__);
  if (secondDamaged) {
    std::string kept;
    if (!ReadFile(store.DamagedCopy(), kept) || kept != second) Fail(__LINE__);
  }
  CRegistry result(folder);
  if (!result.Load() || !result.DamagedCopy().empty()) Fail(__LINE__);
  int32_t mine = 0;
  if (!result.ReadDword(kRoot, kMine, mine) || mine != static_cast<int32_t>(choice)) Fail(__LINE__);
  if (!deletedValue.empty() && result.ValueKind(kRoot, deletedValue) != RegValueKind::kNone) Fail(__LINE__);
  if (!deletedKey.empty()) {
    const std::string path = kRoot + "\\" + deletedKey;
    if (result.KeyExists(path) != remake) Fail(__LINE__);
    if (remake) {
      std::vector<std::string> lines;
      Walk(result, path, 1, lines);
      std::string text;
      if (lines.size() != 2 || !result.ReadString(path, "again", text) || text != "made again") Fail(__LINE__);
    }
  }
  // What this store did not touch is the other instance's.
  for (const std::string& name : reference.ValueNames(kRoot)) {
    if (SameAscii(name, kMine) || (!deletedValue.empty() && SameAscii(name, deletedValue))) continue;
    if (RootValue(result, name).empty() || RootValue(result, name) != RootValue(reference, name)) Fail(__LINE__);
  }
  for (const std::string& key : reference.SubKeyNames(kRoot)) {
    if (!deletedKey.empty() && SameAscii(key, deletedKey)) continue;
    std::vector<std::string> want, got;
    Walk(reference, kRoot + "\\" + key, 1, want);
    Walk(result, kRoot + "\\" + key, 1, got);
    if (want != got) Fail(__LINE__);
  }
  // Nothing else: no key or value comes back that neither instance has.
  for (const std::string& name : result.ValueNames(kRoot)) {
    if (!SameAscii(name, kMine) && reference.ValueKind(kRoot, name) == RegValueKind::kNone) Fail(__LINE__);
  }
  for (const std::string& key : result.SubKeyNames(kRoot)) {
    if (!(remake && SameAscii(key, deletedKey)) && !reference.KeyExists(kRoot + "\\" + key)) Fail(__LINE__);
  }
  RemoveScratch(store);
  RemoveScratch(result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  // A zero byte never belongs to a settings file: it splits the input into two instances' files.
  const auto* text = reinterpret_cast<const char*>(data);
  if (const void* zero = std::memchr(data, 0, size)) {
    size_t at = static_cast<const uint8_t*>(zero) - data;
    uint32_t choice = static_cast<uint32_t>(size * 2654435761u);
    MergeCase(std::string(text, at), std::string(text + at + 1, size - at - 1), choice);
    return 0;
  }
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
