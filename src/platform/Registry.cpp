#include "platform/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <new>
#include <set>

#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "platform/RegistryFormat.h"
#include "platform/RegistryTree.h"
#include "platform/Stream.h"

namespace tf {

using namespace registry;

namespace {

// ---------------------------------------------------------------------------------------------
// Names

// A settings file larger than this is not ours.
constexpr size_t kMaxFileBytes = 64u << 20;

// Splits a path relative to HKEY_CURRENT_USER into the parts below the program's key.
// False for paths outside it or with empty or unusable parts.
bool SplitPath(std::string_view path, std::vector<std::string_view>& parts) {
  parts.clear();
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return false;
  std::vector<std::string_view> all;
  size_t start = 0;
  while (true) {
    size_t end = path.find('\\', start);
    std::string_view part = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
    if (!UsableKeyName(part)) return false;
    all.push_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (all.size() < 3 || all.size() > 3 + kRegMaxDepth) return false;
  for (size_t i = 0; i < 3; ++i) {
    if (!SameName(all[i], kRootParts[i])) return false;
  }
  parts.assign(all.begin() + 3, all.end());
  return true;
}

// ---------------------------------------------------------------------------------------------
// Merging

bool DeepEqual(const RegKeyNode& a, const RegKeyNode& b) {
  if (a.name != b.name || a.values.size() != b.values.size() || a.children.size() != b.children.size()) {
    return false;
  }
  for (size_t i = 0; i < a.values.size(); ++i) {
    if (!SameValue(a.values[i], b.values[i])) return false;
  }
  for (size_t i = 0; i < a.children.size(); ++i) {
    if (!DeepEqual(*a.children[i], *b.children[i])) return false;
  }
  return true;
}

void ReplaceContents(RegKeyNode& target, const RegKeyNode& source) {
  target.values = source.values;
  target.valueAt = source.valueAt;
  target.children.clear();
  for (const auto& c : source.children) target.children.push_back(c->Clone());
  target.childAt = source.childAt;
}

// Applies what changed from base (as last read or saved) to current (as this store sees it)
// onto merged (the file as read now). Only what this store did reaches merged: values it wrote
// with new contents, values and keys it deleted, keys it made. A key that another instance
// deleted and this store left alone stays deleted; when this store wrote into it, it comes back
// with just what was written. Returns true when merged received something this store wrote or
// made (so that a key missing from the file is worth adding).
bool ApplyChanges(const RegKeyNode* base, const RegKeyNode& current, RegKeyNode& merged) {
  if (current.recreated) {
    if (base && DeepEqual(*base, current)) return false;
    ReplaceContents(merged, current);
    return true;
  }
  bool wrote = !base;  // a key this store made
  for (const RegValue& v : current.values) {
    const RegValue* old = base ? base->FindValue(v.name) : nullptr;
    if (!old || old->kind != v.kind || old->data != v.data) {
      merged.SetValue(v);
      wrote = true;
    }
  }
  if (base) {
    for (const RegValue& v : base->values) {
      if (!current.FindValue(v.name)) merged.RemoveValue(v.name);
    }
  }
  for (const auto& child : current.children) {
    const RegKeyNode* oldChild = base ? base->FindChild(child->name) : nullptr;
    if (RegKeyNode* there = merged.FindChild(child->name)) {
      wrote = ApplyChanges(oldChild, *child, *there) || wrote;
      continue;
    }
    // Missing from the file: added only when this store made it or wrote into it.
    RegKeyNode added;
    added.name = child->name;
    if (ApplyChanges(oldChild, *child, added)) {
      ReplaceContents(merged.FindOrAddChild(child->name), added);
      wrote = true;
    }
  }
  if (base) {
    for (const auto& child : base->children) {
      if (!current.FindChild(child->name)) merged.RemoveChild(child->name);
    }
  }
  return wrote;
}

// ---------------------------------------------------------------------------------------------
// Files

enum class ReadResult { kMissing, kRead, kTooLarge, kError };

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kError;
  ReadResult result = ReadResult::kRead;
  char buffer[65536];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      result = ReadResult::kError;
      break;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > kMaxFileBytes) {
      result = ReadResult::kTooLarge;
      break;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return result;
}

bool FolderExists(const std::string& folder) {
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Exclusive lock on the folder's lock file for the lifetime of the object. A lock that cannot
// be had (no such folder, a file system without locks) leaves the object unlocked.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) {
    std::string path = folder + "/" + std::string(kRegistryLockName);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        DebugOutF("CRegistry: cannot lock %s (errno %d)\n", path.c_str(), errno);
        break;
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// Moves a damaged file aside without replacing an earlier copy. Returns the new name, or empty.
std::string MoveAside(const std::string& file) {
  time_t now = ::time(nullptr);
  struct tm t;
  ::gmtime_r(&now, &t);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &t);
  for (int n = 0; n < 1000; ++n) {
    std::string aside = file + ".damaged-" + stamp;
    if (n) aside += "-" + std::to_string(n);
    if (::link(file.c_str(), aside.c_str()) == 0) {
      ::unlink(file.c_str());
      return aside;
    }
    if (errno == EEXIST) continue;
    // File systems without hard links: rename onto a name that does not exist yet.
    struct stat st;
    if (::lstat(aside.c_str(), &st) == 0) continue;
    if (::rename(file.c_str(), aside.c_str()) == 0) return aside;
    return std::string();
  }
  return std::string();
}

// Replaces the file with bytes through the one atomic save. The settings file stays private
// to its user (0600) whatever the umask or an earlier file's permissions.
bool ReplaceFile(const std::string& target, const std::string& bytes) {
  int error = 0;
  const bool ok = SaveFileAtomically(
      target, [&](Stream& out) { return out.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size())); }, 0600,
      &error);
  if (!ok) DebugOutF("CRegistry: cannot write %s (errno %d)\n", target.c_str(), error);
  return ok;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd pw;
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
    return found->pw_dir;
  }
  return "/tmp";
}

std::unique_ptr<CRegistry> g_instance;

}  // namespace

// ---------------------------------------------------------------------------------------------

struct CRegistry::Impl {
  std::string folder;
  std::unique_ptr<RegKeyNode> base = NewRoot();     // as last read or saved
  std::unique_ptr<RegKeyNode> current = NewRoot();  // as this process sees it
  std::set<std::string> deleted;                    // folded paths of keys deleted since
  bool changed = false;
  std::string damagedCopy;

  std::string File() const { return folder + "/" + std::string(kRegistryFileName); }

  const RegKeyNode* Find(std::string_view path) const {
    std::vector<std::string_view> parts;
    if (!SplitPath(path, parts)) return nullptr;
    const RegKeyNode* node = current.get();
    for (std::string_view part : parts) {
      node = node->FindChild(part);
      if (!node) return nullptr;
    }
    return node;
  }
  RegKeyNode* Find(std::string_view path) {
    return const_cast<RegKeyNode*>(static_cast<const Impl*>(this)->Find(path));
  }

  // Reads the file into a tree. Damaged files are moved aside. kError: cannot read.
  enum class Got { kEmpty, kTree, kDamaged, kError };
  Got ReadTree(std::unique_ptr<RegKeyNode>& tree) {
    tree = NewRoot();
    std::string bytes;
    ReadResult r = ReadWholeFile(File(), bytes);
    if (r == ReadResult::kMissing) return Got::kEmpty;
    if (r == ReadResult::kError) {
      DebugOutF("CRegistry: cannot read %s (errno %d)\n", File().c_str(), errno);
      return Got::kError;
    }
    if (r == ReadResult::kRead && ParseRegistryText(bytes, *tree)) return Got::kTree;
    tree = NewRoot();
    damagedCopy = MoveAside(File());
    DebugOutF("CRegistry: damaged settings file %s moved to %s\n", File().c_str(),
              damagedCopy.empty() ? "(nowhere)" : damagedCopy.c_str());
    return Got::kDamaged;
  }

  bool WriteValue(std::string_view path, std::string_view name, RegValueKind kind, std::string data) {
    RegKeyNode* node = Find(path);
    if (!node || !UsableValueName(name)) return false;
    RegValue v;
    v.name = std::string(name);
    v.kind = kind;
    v.data = std::move(data);
    if (node->SetValue(v)) changed = true;
    return true;
  }

  void Synced(const RegKeyNode& tree) {
    base = tree.Clone();
    current = tree.Clone();
    deleted.clear();
    changed = false;
  }
};

CRegistry::CRegistry(std::string folder) : impl_(std::make_unique<Impl>()) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  impl_->folder = std::move(folder);
}

CRegistry::~CRegistry() = default;

std::string CRegistry::DefaultFolder() {
  std::string config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    config = xdg;
  } else {
    config = HomeFolder() + "/.config";
  }
  while (config.size() > 1 && config.back() == '/') config.pop_back();
  return config + "/Quillmarsh/Tintaframe4 Plus";
}

CRegistry& CRegistry::Instance() {
  if (!g_instance) {
    g_instance = std::make_unique<CRegistry>(DefaultFolder());
    g_instance->Load();
  }
  return *g_instance;
}

void CRegistry::ResetInstance() { g_instance.reset(); }

const std::string& CRegistry::Folder() const { return impl_->folder; }
std::string CRegistry::FilePath() const { return impl_->File(); }
bool CRegistry::HasChanges() const { return impl_->changed; }
const std::string& CRegistry::DamagedCopy() const { return impl_->damagedCopy; }

bool CRegistry::Load() {
  try {
    std::unique_ptr<RegKeyNode> tree;
    Impl::Got got;
    if (!FolderExists(impl_->folder)) {
      tree = NewRoot();
      got = Impl::Got::kEmpty;
    } else {
      FolderLock lock(impl_->folder);
      got = impl_->ReadTree(tree);
    }
    impl_->Synced(*tree);
    return got != Impl::Got::kError;
  } catch (const std::bad_alloc&) {
    impl_->Synced(*NewRoot());
    return false;
  }
}

bool CRegistry::Save() {
  if (!impl_->changed) return true;
  try {
    if (!MakeFolders(impl_->folder)) {
      DebugOutF("CRegistry: cannot make the folder %s\n", impl_->folder.c_str());
      return false;
    }
    FolderLock lock(impl_->folder);
    std::unique_ptr<RegKeyNode> merged;
    Impl::Got got = impl_->ReadTree(merged);
    if (got == Impl::Got::kError) return false;
    if (got == Impl::Got::kDamaged) merged = impl_->base->Clone();  // what we read before
    std::unique_ptr<RegKeyNode> onDisk = merged->Clone();
    ApplyChanges(impl_->base.get(), *impl_->current, *merged);
    if (got != Impl::Got::kTree || !DeepEqual(*onDisk, *merged)) {
      if (!ReplaceFile(impl_->File(), FormatRegistryText(*merged))) return false;
    }
    impl_->Synced(*merged);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::KeyExists(std::string_view path) const { return impl_->Find(path) != nullptr; }

bool CRegistry::CreateKey(std::string_view path) {
  try {
    std::vector<std::string_view> parts;
    if (!SplitPath(path, parts)) return false;
    RegKeyNode* node = impl_->current.get();
    std::string folded;
    for (std::string_view part : parts) {
      if (!folded.empty()) folded.push_back('\\');
      folded += FoldName(part);
      RegKeyNode* child = node->FindChild(part);
      if (!child) {
        child = &node->FindOrAddChild(part);
        child->recreated = impl_->deleted.count(folded) != 0;
        impl_->changed = true;
      }
      node = child;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::DeleteKey(std::string_view path) {
  try {
    std::vector<std::string_view> parts;
    if (!SplitPath(path, parts) || parts.empty()) return false;
    RegKeyNode* parent = impl_->current.get();
    std::string folded;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      parent = parent->FindChild(parts[i]);
      if (!parent) return false;
      folded += FoldName(parts[i]);
      folded.push_back('\\');
    }
    if (!parent->RemoveChild(parts.back())) return false;
    folded += FoldName(parts.back());
    impl_->deleted.insert(folded);
    impl_->changed = true;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::vector<std::string> CRegistry::SubKeyNames(std::string_view path) const {
  std::vector<std::string> names;
  if (const RegKeyNode* node = impl_->Find(path)) {
    for (const auto& c : node->children) names.push_back(c->name);
  }
  return names;
}

std::vector<std::string> CRegistry::ValueNames(std::string_view path) const {
  std::vector<std::string> names;
  if (const RegKeyNode* node = impl_->Find(path)) {
    for (const RegValue& v : node->values) names.push_back(v.name);
  }
  return names;
}

RegValueKind CRegistry::ValueKind(std::string_view path, std::string_view name) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  return v ? v->kind : RegValueKind::kNone;
}

bool CRegistry::DeleteValue(std::string_view path, std::string_view name) {
  RegKeyNode* node = impl_->Find(path);
  if (!node || !node->RemoveValue(name)) return false;
  impl_->changed = true;
  return true;
}

bool CRegistry::ReadDword(std::string_view path, std::string_view name, int32_t& value) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  if (!v || v->kind != RegValueKind::kDword || v->data.size() != 4) return false;
  value = DwordOf(v->data);
  return true;
}

bool CRegistry::ReadString(std::string_view path, std::string_view name, std::string& value) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  if (!v || v->kind != RegValueKind::kString) return false;
  try {
    value = v->data;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool CRegistry::ReadBinary(std::string_view path, std::string_view name, std::vector<uint8_t>& value) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  if (!v || v->kind != RegValueKind::kBinary) return false;
  try {
    value.assign(v->data.begin(), v->data.end());
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool CRegistry::ReadDouble(std::string_view path, std::string_view name, double& value) const {
  const RegKeyNode* node = impl_->Find(path);
  const RegValue* v = node ? node->FindValue(name) : nullptr;
  if (!v || v->kind != RegValueKind::kBinary || v->data.size() != 8) return false;
  value = DoubleOf(v->data);
  return true;
}

bool CRegistry::WriteDword(std::string_view path, std::string_view name, int32_t value) {
  try {
    return impl_->WriteValue(path, name, RegValueKind::kDword, DwordData(value));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::WriteString(std::string_view path, std::string_view name, std::string_view value) {
  size_t zero = value.find('\0');
  if (zero != std::string_view::npos) value = value.substr(0, zero);
  try {
    return impl_->WriteValue(path, name, RegValueKind::kString, std::string(value));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::WriteBinary(std::string_view path, std::string_view name, const void* data, size_t size) {
  if (size && !data) return false;
  try {
    std::string bytes(static_cast<const char*>(data), size);
    return impl_->WriteValue(path, name, RegValueKind::kBinary, std::move(bytes));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistry::WriteDouble(std::string_view path, std::string_view name, double value) {
  uint8_t bytes[8];
  StoreF64(bytes, value);
  return WriteBinary(path, name, bytes, sizeof bytes);
}

// ---------------------------------------------------------------------------------------------

CRegistryKey::CRegistryKey(CRegistry* store) : store_(store ? store : &CRegistry::Instance()) {}

bool CRegistryKey::Resolve(std::string_view path, std::string& absolute) const {
  try {
    if (!path.empty() && path.front() == '\\') {
      absolute.assign(path.substr(1));
    } else if (open_) {
      absolute = path_;
      if (!path.empty()) {
        absolute.push_back('\\');
        absolute.append(path);
      }
    } else {
      absolute.assign(path);
    }
    while (!absolute.empty() && absolute.back() == '\\') absolute.pop_back();
    return !absolute.empty();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CRegistryKey::OpenKey(std::string_view path, bool canCreate) {
  std::string absolute;
  if (!Resolve(path, absolute)) return false;
  bool ok = canCreate ? store_->CreateKey(absolute) : store_->KeyExists(absolute);
  if (!ok) return false;
  path_ = std::move(absolute);
  open_ = true;
  return true;
}

void CRegistryKey::CloseKey() {
  path_.clear();
  open_ = false;
}

bool CRegistryKey::KeyExists(std::string_view path) const {
  std::string absolute;
  return Resolve(path, absolute) && store_->KeyExists(absolute);
}

bool CRegistryKey::CreateKey(std::string_view path) {
  std::string absolute;
  return Resolve(path, absolute) && store_->CreateKey(absolute);
}

bool CRegistryKey::DeleteKey(std::string_view path) {
  std::string absolute;
  return Resolve(path, absolute) && store_->DeleteKey(absolute);
}

std::vector<std::string> CRegistryKey::GetKeyNames() const {
  return open_ ? store_->SubKeyNames(path_) : std::vector<std::string>();
}

std::vector<std::string> CRegistryKey::GetValueNames() const {
  return open_ ? store_->ValueNames(path_) : std::vector<std::string>();
}

bool CRegistryKey::ValueExists(std::string_view name) const { return GetDataType(name) != RegValueKind::kNone; }

RegValueKind CRegistryKey::GetDataType(std::string_view name) const {
  return open_ ? store_->ValueKind(path_, name) : RegValueKind::kNone;
}

bool CRegistryKey::DeleteValue(std::string_view name) { return open_ && store_->DeleteValue(path_, name); }

bool CRegistryKey::ReadInteger(std::string_view name, int32_t& value) const {
  return open_ && store_->ReadDword(path_, name, value);
}

bool CRegistryKey::ReadBool(std::string_view name, bool& value) const {
  int32_t v;
  if (!ReadInteger(name, v)) return false;
  value = v != 0;
  return true;
}

bool CRegistryKey::ReadDouble(std::string_view name, double& value) const {
  return open_ && store_->ReadDouble(path_, name, value);
}

bool CRegistryKey::ReadString(std::string_view name, std::string& value) const {
  return open_ && store_->ReadString(path_, name, value);
}

bool CRegistryKey::ReadBinary(std::string_view name, std::vector<uint8_t>& value) const {
  return open_ && store_->ReadBinary(path_, name, value);
}

bool CRegistryKey::WriteInteger(std::string_view name, int32_t value) {
  return open_ && store_->WriteDword(path_, name, value);
}

bool CRegistryKey::WriteBool(std::string_view name, bool value) { return WriteInteger(name, value ? 1 : 0); }

bool CRegistryKey::WriteDouble(std::string_view name, double value) {
  return open_ && store_->WriteDouble(path_, name, value);
}

bool CRegistryKey::WriteString(std::string_view name, std::string_view value) {
  return open_ && store_->WriteString(path_, name, value);
}

bool CRegistryKey::WriteBinary(std::string_view name, const void* data, size_t size) {
  return open_ && store_->WriteBinary(path_, name, data, size);
}

}  // namespace tf
