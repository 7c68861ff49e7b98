// The settings registry: keys of typed values kept in a text file.
#pragma once
// The settings registry of the current user: keys holding typed values (signed 32-bit dwords,
// zero-terminated strings, binary blocks), kept in a text file
//   $XDG_CONFIG_HOME/Quillmarsh/Tintaframe4 Plus/registry.txt   (default ~/.config)
// that holds the key HKEY_CURRENT_USER\Software\Quillmarsh\Tintaframe4 Plus and everything below.
//
// Key paths are relative to HKEY_CURRENT_USER, parts separated by '\' (a leading '\' is allowed);
// key and value names compare case-insensitively (ASCII letters; code page 932 double-byte
// characters compare exactly). Values keep the order they were first written in; writing an
// existing value replaces its data in place. A value read as another kind than it was written
// reads as missing.
//
// Changes stay in memory until Save(). Save takes a lock, reads the file again, applies only
// what this store changed since it last read or saved (values written with new contents, values
// and keys deleted, keys made; a key deleted and made again replaces the file's copy as a whole;
// a key another instance deleted comes back only when this store wrote into it, and then with
// just what it wrote), and replaces the file through the one atomic save (SaveFileAtomically).
// So several instances saving at their exits each keep what they changed. A damaged file is
// moved aside (kept) and reads as empty.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

// The program's key under HKEY_CURRENT_USER; the only key (with its subkeys) the store holds.
inline constexpr std::string_view kRegistryRoot = "Software\\Quillmarsh\\Tintaframe4 Plus";
// File names inside the store's folder.
inline constexpr std::string_view kRegistryFileName = "registry.txt";
inline constexpr std::string_view kRegistryLockName = "registry.lock";

enum class RegValueKind : uint8_t {
  kNone = 0,  // no such value
  kDword = 1,
  kString = 2,
  kBinary = 3,
};

// Limits of names (bytes); longer names are refused.
inline constexpr size_t kRegMaxKeyName = 255;
inline constexpr size_t kRegMaxValueName = 16383;
// Deepest key below the program's key; deeper paths are refused.
inline constexpr size_t kRegMaxDepth = 64;

class CRegistry {
 public:
  // A store over the given folder (the file is folder/registry.txt). Nothing is read yet.
  explicit CRegistry(std::string folder);
  ~CRegistry();
  CRegistry(const CRegistry&) = delete;
  CRegistry& operator=(const CRegistry&) = delete;

  // $XDG_CONFIG_HOME/Quillmarsh/Tintaframe4 Plus (XDG_CONFIG_HOME when set and absolute,
  // else ~/.config), read at the time of the call.
  static std::string DefaultFolder();

  // The process-wide store over DefaultFolder(), created and loaded on first use.
  static CRegistry& Instance();
  // Drops the process-wide store without saving; the next Instance() reads the file afresh.
  static void ResetInstance();

  const std::string& Folder() const;
  std::string FilePath() const;

  // Reads the file, dropping changes not saved. A missing file reads as empty. A damaged file
  // is moved aside (DamagedCopy() names where) and reads as empty. False only when the file
  // exists but cannot be read; the store is then empty and Save refuses to write.
  bool Load();
  // Merges this store's changes into the file (see the top of this file). True when the file
  // holds them afterwards (also when there was nothing to write); false when the folder, the
  // lock, the temporary file or the rename fails (the changes stay pending for a later Save).
  bool Save();
  // True when something was changed since the last Load or Save.
  bool HasChanges() const;
  // Path of the last damaged file moved aside by this store, or empty.
  const std::string& DamagedCopy() const;

  // Keys. Paths outside kRegistryRoot never exist and cannot be made.
  bool KeyExists(std::string_view path) const;
  // Makes the key and its missing parents; true when it exists afterwards.
  bool CreateKey(std::string_view path);
  // Deletes the key with its values and subkeys; false when missing or for the root key itself.
  bool DeleteKey(std::string_view path);
  // Names of the subkeys in the order they were made; empty for a missing key.
  std::vector<std::string> SubKeyNames(std::string_view path) const;

  // Values.
  std::vector<std::string> ValueNames(std::string_view path) const;
  RegValueKind ValueKind(std::string_view path, std::string_view name) const;
  bool DeleteValue(std::string_view path, std::string_view name);

  // Reads fail (false, out untouched) when the key or the value is missing or of another kind.
  bool ReadDword(std::string_view path, std::string_view name, int32_t& value) const;
  bool ReadString(std::string_view path, std::string_view name, std::string& value) const;
  bool ReadBinary(std::string_view path, std::string_view name, std::vector<uint8_t>& value) const;
  // An IEEE double stored as an 8-byte binary value (little-endian); other sizes fail.
  bool ReadDouble(std::string_view path, std::string_view name, double& value) const;

  // Writes fail when the key does not exist or the name is too long or holds a zero byte.
  bool WriteDword(std::string_view path, std::string_view name, int32_t value);
  // Strings are stored byte for byte up to their first zero byte (code page 932 as it comes).
  bool WriteString(std::string_view path, std::string_view name, std::string_view value);
  bool WriteBinary(std::string_view path, std::string_view name, const void* data, size_t size);
  bool WriteDouble(std::string_view path, std::string_view name, double value);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A handle on one open key of a store: opens, creates and deletes keys, reads and writes values.
// A path beginning with '\' is taken from HKEY_CURRENT_USER; any other path is taken from the
// key open now, or from HKEY_CURRENT_USER when none is open.
class CRegistryKey {
 public:
  // Works on the given store, or on CRegistry::Instance() when null.
  explicit CRegistryKey(CRegistry* store = nullptr);

  CRegistry& Store() const { return *store_; }

  // Opens a key; with canCreate a missing key is made with its parents. On failure the key
  // open before stays open.
  bool OpenKey(std::string_view path, bool canCreate);
  void CloseKey();
  bool HasCurrentKey() const { return open_; }
  // Absolute path of the open key (without a leading '\'); empty when none is open.
  const std::string& CurrentPath() const { return path_; }

  // Subkeys, relative as OpenKey.
  bool KeyExists(std::string_view path) const;
  bool CreateKey(std::string_view path);
  bool DeleteKey(std::string_view path);
  std::vector<std::string> GetKeyNames() const;

  // Values of the open key; everything fails while no key is open.
  std::vector<std::string> GetValueNames() const;
  bool ValueExists(std::string_view name) const;
  RegValueKind GetDataType(std::string_view name) const;
  bool DeleteValue(std::string_view name);

  bool ReadInteger(std::string_view name, int32_t& value) const;
  // A dword; any value other than 0 reads as true.
  bool ReadBool(std::string_view name, bool& value) const;
  bool ReadDouble(std::string_view name, double& value) const;
  bool ReadString(std::string_view name, std::string& value) const;
  bool ReadBinary(std::string_view name, std::vector<uint8_t>& value) const;

  bool WriteInteger(std::string_view name, int32_t value);
  // A dword 0 or 1.
  bool WriteBool(std::string_view name, bool value);
  bool WriteDouble(std::string_view name, double value);
  bool WriteString(std::string_view name, std::string_view value);
  bool WriteBinary(std::string_view name, const void* data, size_t size);

 private:
  // The absolute path a relative or absolute path names; false for an unusable path.
  bool Resolve(std::string_view path, std::string& absolute) const;

  CRegistry* store_;
  std::string path_;
  bool open_ = false;
};

}  // namespace tf
