#include "platform/Stream.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <random>
#include <string_view>

#include "platform/ByteOrder.h"

namespace tf {
namespace {

// Largest count handed to one read or write call.
constexpr int64_t kMaxChunk = int64_t{1} << 30;
// Largest memory stream.
constexpr int64_t kMaxMemoryStream = int64_t{1} << 40;

// base + offset, or -1 when that overflows or is negative.
int64_t OffsetPosition(int64_t base, int64_t offset) {
  if (base < 0) return -1;
  if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) return -1;
  int64_t result = base + offset;
  return result < 0 ? -1 : result;
}

template <typename T>
bool ReadLittle(Stream& s, T& value) {
  uint8_t bytes[sizeof(T)];
  if (!s.ReadExact(bytes, sizeof(T))) {
    value = 0;
    return false;
  }
  value = LoadLE<T>(bytes);
  return true;
}

template <typename T>
bool WriteLittle(Stream& s, T value) {
  uint8_t bytes[sizeof(T)];
  StoreLE(bytes, value);
  return s.WriteExact(bytes, sizeof(T));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Stream

int64_t Stream::Remaining() {
  int64_t size = Size();
  int64_t position = Position();
  if (size < 0 || position < 0 || position >= size) return 0;
  return size - position;
}

bool Stream::ReadExact(void* buffer, int64_t count) {
  if (count < 0) return false;
  if (count == 0) return true;
  return Read(buffer, count) == count;
}

bool Stream::WriteExact(const void* buffer, int64_t count) {
  if (count < 0) return false;
  if (count == 0) return true;
  return Write(buffer, count) == count;
}

bool Stream::ReadU8(uint8_t& value) { return ReadLittle(*this, value); }
bool Stream::ReadU16(uint16_t& value) { return ReadLittle(*this, value); }
bool Stream::ReadU32(uint32_t& value) { return ReadLittle(*this, value); }
bool Stream::ReadU64(uint64_t& value) { return ReadLittle(*this, value); }
bool Stream::ReadI32(int32_t& value) {
  uint32_t v = 0;
  bool ok = ReadLittle(*this, v);
  value = static_cast<int32_t>(v);
  return ok;
}
bool Stream::WriteU8(uint8_t value) { return WriteLittle(*this, value); }
bool Stream::WriteU16(uint16_t value) { return WriteLittle(*this, value); }
bool Stream::WriteU32(uint32_t value) { return WriteLittle(*this, value); }
bool Stream::WriteU64(uint64_t value) { return WriteLittle(*this, value); }
bool Stream::WriteI32(int32_t value) { return WriteLittle(*this, static_cast<uint32_t>(value)); }

int64_t Stream::CopyFrom(Stream& source, int64_t count) {
  if (count <= 0) return 0;
  uint8_t buffer[65536];
  int64_t copied = 0;
  while (copied < count) {
    int64_t want = std::min<int64_t>(count - copied, sizeof(buffer));
    int64_t got = source.Read(buffer, want);
    if (got <= 0) break;
    int64_t put = Write(buffer, got);
    copied += put;
    if (put != got || got != want) break;
  }
  return copied;
}

// ---------------------------------------------------------------------------------------------
// FileStream

FileStream::~FileStream() { Close(); }

FileStream::FileStream(FileStream&& other) noexcept
    : descriptor_(other.descriptor_),
      mode_(other.mode_),
      lastError_(other.lastError_),
      path_(std::move(other.path_)) {
  other.descriptor_ = -1;
  other.path_.clear();
}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = other.descriptor_;
    mode_ = other.mode_;
    lastError_ = other.lastError_;
    path_ = std::move(other.path_);
    other.descriptor_ = -1;
    other.path_.clear();
  }
  return *this;
}

bool FileStream::Open(const std::string& path, FileMode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileMode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case FileMode::kOpenRead: flags |= O_RDONLY; break;
    case FileMode::kOpenWrite: flags |= O_WRONLY; break;
    case FileMode::kOpenReadWrite: flags |= O_RDWR; break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  // A folder opens read-only on Linux; it is no file to read.
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    lastError_ = EISDIR;
    return false;
  }
  descriptor_ = fd;
  mode_ = mode;
  path_ = path;
  lastError_ = 0;
  return true;
}

void FileStream::Adopt(int descriptor, const std::string& path, FileMode mode) {
  Close();
  descriptor_ = descriptor;
  path_ = path;
  mode_ = mode;
  lastError_ = 0;
}

bool FileStream::Sync() {
  if (!IsOpen()) {
    lastError_ = EBADF;
    return false;
  }
  if (::fsync(descriptor_) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

bool FileStream::Close() {
  if (!IsOpen()) return true;
  int result = ::close(descriptor_);
  descriptor_ = -1;
  path_.clear();
  if (result != 0 && errno != EINTR) {
    lastError_ = errno;
    return false;
  }
  return true;
}

int64_t FileStream::Read(void* buffer, int64_t count) {
  if (!IsOpen()) {
    lastError_ = EBADF;
    return 0;
  }
  if (count <= 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count) {
    ssize_t got = ::read(descriptor_, out + total, static_cast<size_t>(std::min(count - total, kMaxChunk)));
    if (got < 0) {
      if (errno == EINTR) continue;
      lastError_ = errno;
      break;
    }
    if (got == 0) break;
    total += got;
  }
  return total;
}

int64_t FileStream::Write(const void* buffer, int64_t count) {
  if (!IsOpen()) {
    lastError_ = EBADF;
    return 0;
  }
  if (count <= 0) return 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count) {
    ssize_t put = ::write(descriptor_, in + total, static_cast<size_t>(std::min(count - total, kMaxChunk)));
    if (put < 0) {
      if (errno == EINTR) continue;
      lastError_ = errno;
      break;
    }
    if (put == 0) {
      lastError_ = ENOSPC;
      break;
    }
    total += put;
  }
  return total;
}

int64_t FileStream::Seek(int64_t offset, SeekOrigin origin) {
  if (!IsOpen()) {
    lastError_ = EBADF;
    return -1;
  }
  int whence = origin == SeekOrigin::kBegin ? SEEK_SET : origin == SeekOrigin::kCurrent ? SEEK_CUR : SEEK_END;
  off_t result = ::lseek(descriptor_, static_cast<off_t>(offset), whence);
  if (result < 0) {
    lastError_ = errno;
    return -1;
  }
  return result;
}

int64_t FileStream::Size() {
  if (!IsOpen()) {
    lastError_ = EBADF;
    return -1;
  }
  struct stat st;
  if (::fstat(descriptor_, &st) != 0) {
    lastError_ = errno;
    return -1;
  }
  return st.st_size;
}

bool FileStream::SetSize(int64_t size) {
  if (!IsOpen()) {
    lastError_ = EBADF;
    return false;
  }
  if (size < 0) {
    lastError_ = EINVAL;
    return false;
  }
  int result;
  do {
    result = ::ftruncate(descriptor_, static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    lastError_ = errno;
    return false;
  }
  int64_t position = Position();
  if (position > size) return Seek(size, SeekOrigin::kBegin) == size;
  return true;
}

std::unique_ptr<FileStream> TryCreateFileStream(const std::string& path, FileMode mode) {
  auto stream = std::make_unique<FileStream>();
  if (!stream->Open(path, mode)) return nullptr;
  return stream;
}

// ---------------------------------------------------------------------------------------------
// MemoryStream

int64_t MemoryStream::Read(void* buffer, int64_t count) {
  int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t MemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ > kMaxMemoryStream - count) return 0;
  int64_t end = position_ + count;
  if (end > Size()) {
    try {
      bytes_.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
      return 0;
    } catch (const std::length_error&) {
      return 0;
    }
  }
  std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t MemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::kBegin ? 0 : origin == SeekOrigin::kCurrent ? position_ : Size();
  int64_t result = OffsetPosition(base, offset);
  if (result < 0) return -1;
  position_ = result;
  return result;
}

bool MemoryStream::SetSize(int64_t size) {
  if (size < 0 || size > kMaxMemoryStream) return false;
  try {
    bytes_.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  if (position_ > size) position_ = size;
  return true;
}

std::vector<uint8_t> MemoryStream::TakeBytes() {
  std::vector<uint8_t> out;
  out.swap(bytes_);
  position_ = 0;
  return out;
}

void MemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

bool MemoryStream::LoadFromFile(const std::string& path) {
  FileStream file;
  if (!file.OpenRead(path)) return false;
  return LoadFromStream(file);
}

bool MemoryStream::LoadFromStream(Stream& source) {
  std::vector<uint8_t> loaded;
  try {
    int64_t expected = source.Remaining();
    if (expected > kMaxMemoryStream) return false;
    loaded.reserve(static_cast<size_t>(expected));
    uint8_t buffer[65536];
    for (;;) {
      int64_t got = source.Read(buffer, sizeof(buffer));
      if (got <= 0) break;
      loaded.insert(loaded.end(), buffer, buffer + got);
      if (static_cast<int64_t>(loaded.size()) > kMaxMemoryStream) return false;
    }
    if (static_cast<int64_t>(loaded.size()) < expected) return false;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  bytes_.swap(loaded);
  position_ = 0;
  return true;
}

// ---------------------------------------------------------------------------------------------
// FixedMemoryStream

FixedMemoryStream::FixedMemoryStream(void* block, int64_t size)
    : block_(static_cast<uint8_t*>(block)), size_(block && size > 0 ? size : 0), writable_(true) {}

FixedMemoryStream::FixedMemoryStream(const void* block, int64_t size)
    : block_(const_cast<uint8_t*>(static_cast<const uint8_t*>(block))),
      size_(block && size > 0 ? size : 0),
      writable_(false) {}

int64_t FixedMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, block_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t FixedMemoryStream::Write(const void* buffer, int64_t count) {
  if (!writable_ || count <= 0 || position_ > size_ || count > size_ - position_) return 0;
  std::memcpy(block_ + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t FixedMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::kBegin ? 0 : origin == SeekOrigin::kCurrent ? position_ : size_;
  int64_t result = OffsetPosition(base, offset);
  if (result < 0) return -1;
  position_ = result;
  return result;
}

void* FixedMemoryStream::Detach() {
  void* block = block_;
  block_ = nullptr;
  size_ = 0;
  position_ = 0;
  writable_ = false;
  return block;
}

// ---------------------------------------------------------------------------------------------
// AtomicFileWriter

namespace {

// The folder part of a path ("." when there is none).
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t CurrentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::atomic<bool> g_unnamedAllowed{true};

// Temporary names: "." + target name + ".tmp-" + six letters or digits.
constexpr std::string_view kTempInfix = ".tmp-";
constexpr size_t kTempSuffixLength = 6;
constexpr char kTempLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string TempPrefix(const std::string& target) {
  std::string prefix = NameOf(target);
  prefix.insert(0, 1, '.');
  prefix.append(kTempInfix);
  return prefix;
}

std::string RandomTempName(const std::string& target) {
  static std::mutex mutex;
  static std::mt19937_64 random{std::random_device{}() ^ (uint64_t(::getpid()) << 32)};
  std::string name = FolderOf(target) + "/" + TempPrefix(target);
  std::lock_guard<std::mutex> hold(mutex);
  for (size_t i = 0; i < kTempSuffixLength; ++i)
    name.push_back(kTempLetters[random() % (sizeof kTempLetters - 1)]);
  return name;
}

bool IsTempNameOf(const std::string& entry, const std::string& prefix) {
  if (entry.size() != prefix.size() + kTempSuffixLength || entry.compare(0, prefix.size(), prefix) != 0)
    return false;
  for (size_t i = prefix.size(); i < entry.size(); ++i) {
    if (std::strchr(kTempLetters, entry[i]) == nullptr || entry[i] == '\0') return false;
  }
  return true;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Exclusive lock on an open file without waiting; true when held. A file system without locks
// answers false, so nothing is taken for stale there.
bool TryLock(int fd) {
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// Removes temporaries of the target's naming that no live writer holds: a writer locks its
// temporary from creation to rename, so a lock we can take belongs to a writer that was
// killed or crashed. Only regular files of this user are touched.
void SweepStaleTemporaries(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string prefix = TempPrefix(target);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (const struct dirent* entry = ::readdir(dir)) {
    if (IsTempNameOf(entry->d_name, prefix)) names.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() && TryLock(fd) &&
        ::lstat(path.c_str(), &named) == 0 && SameFile(held, named)) {
      ::unlink(path.c_str());
    }
    ::close(fd);  // releases the lock
  }
}

// /proc/self/fd is how an unnamed file gets its name without privileges.
bool CanNameUnnamedFiles() { return ::access("/proc/self/fd", X_OK) == 0; }

}  // namespace

bool AllowUnnamedTemporaryFiles(bool allowed) { return g_unnamedAllowed.exchange(allowed); }

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

bool AtomicFileWriter::Begin(const std::string& targetPath, int mode) {
  Abandon();
  lastError_ = 0;
  if (targetPath.empty() || targetPath.back() == '/' || (mode != kKeepFileMode && (mode & ~07777) != 0)) {
    lastError_ = EINVAL;
    return false;
  }
  SweepStaleTemporaries(targetPath);
  const std::string folder = FolderOf(targetPath);
  int fd = -1;
  bool unnamed = false;
  std::string temp;
  if (g_unnamedAllowed.load() && CanNameUnnamedFiles()) {
    // A file with no name until Commit: a writer killed before then leaves nothing behind.
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
      unnamed = true;
      temp = RandomTempName(targetPath);
      TryLock(fd);  // a new file nobody else can open yet
    }
  }
  // Without O_TMPFILE (the file system or the switch): a named temporary, locked at once. A
  // sweep may take a name between its creation and our lock; then we start over.
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    std::string pattern = folder + "/" + TempPrefix(targetPath) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      lastError_ = errno;
      return false;
    }
    temp = name.data();
    const bool locked = TryLock(fd);
    const int lockError = errno;
    struct stat held, named;
    if ((locked || lockError != EWOULDBLOCK) && ::fstat(fd, &held) == 0 && ::lstat(temp.c_str(), &named) == 0 &&
        SameFile(held, named)) {
      break;
    }
    ::close(fd);  // taken for stale while new: whoever holds it removes it
    fd = -1;
  }
  if (fd < 0) {
    lastError_ = EEXIST;
    return false;
  }
  // A second descriptor keeps the lock from Commit's close until the rename is done.
  lockDescriptor_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  target_ = targetPath;
  temp_ = std::move(temp);
  unnamed_ = unnamed;
  mode_ = mode;
  stream_.Adopt(fd, unnamed ? folder : temp_, FileMode::kOpenReadWrite);
  return true;
}

bool AtomicFileWriter::Commit() {
  if (!IsActive()) {
    lastError_ = EBADF;
    return false;
  }
  // The temporary file is private until now; give it the permissions asked for, else the
  // target's or those of a plain create.
  struct stat st;
  mode_t mode = mode_ != kKeepFileMode              ? static_cast<mode_t>(mode_)
                : ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777)
                                                    : (0666 & ~CurrentUmask());
  if (::fchmod(stream_.Descriptor(), mode) != 0) {
    lastError_ = errno;
    Abandon();
    return false;
  }
  if (!stream_.Sync()) {
    lastError_ = stream_.LastError();
    Abandon();
    return false;
  }
  if (unnamed_) {
    // The unnamed file gets a temporary name, then the rename puts it in place. A kill between
    // the two leaves a named temporary, which the next save's sweep removes.
    const std::string self = "/proc/self/fd/" + std::to_string(stream_.Descriptor());
    int result = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
      result = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW);
      if (result == 0 || errno != EEXIST) break;
      temp_ = RandomTempName(target_);
    }
    if (result != 0) {
      lastError_ = errno;
      Abandon();
      return false;
    }
    unnamed_ = false;
  }
  if (!stream_.Close()) {
    lastError_ = stream_.LastError();
    Abandon();
    return false;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    lastError_ = errno;
    Abandon();
    return false;
  }
  temp_.clear();
  ReleaseLock();
  SyncFolder(FolderOf(target_));
  return true;
}

void AtomicFileWriter::Abandon() {
  stream_.Close();
  if (!temp_.empty() && !unnamed_) ::unlink(temp_.c_str());
  temp_.clear();
  unnamed_ = false;
  ReleaseLock();
}

void AtomicFileWriter::ReleaseLock() {
  if (lockDescriptor_ >= 0) ::close(lockDescriptor_);
  lockDescriptor_ = -1;
}

bool SaveFileAtomically(const std::string& targetPath, const std::function<bool(Stream&)>& write, int mode,
                        int* error) {
  AtomicFileWriter writer;
  bool ok = writer.Begin(targetPath, mode);
  if (ok && !write(writer.GetStream())) {
    writer.Abandon();
    ok = false;
  } else if (ok) {
    ok = writer.Commit();
  }
  if (error) *error = ok ? 0 : writer.LastError();
  return ok;
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  size_t pos = 0;
  while (pos <= folder.size()) {
    size_t next = folder.find('/', pos);
    if (next == std::string::npos) next = folder.size();
    const std::string path = folder.substr(0, next);
    if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    pos = next + 1;
  }
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace tf
