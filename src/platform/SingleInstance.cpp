// The single-instance rule: frames, the run folder and the lock.
#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/Debug.h"

namespace tf {

void AppendLE32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> EncodeQueryFrame() {
  std::vector<uint8_t> out;
  AppendLE32(out, static_cast<uint32_t>(kInstanceQueryText.size() + 1));
  out.insert(out.end(), kInstanceQueryText.begin(), kInstanceQueryText.end());
  out.push_back(0);
  return out;
}

bool EncodePathFrame(std::string_view path, std::vector<uint8_t>& out) {
  if (path.empty() || path[0] != '/' || path.size() + 1 > kMaxInstanceFrame) return false;
  if (path.find('\0') != std::string_view::npos) return false;
  std::vector<uint8_t> frame;
  frame.reserve(path.size() + 5);
  AppendLE32(frame, static_cast<uint32_t>(path.size() + 1));
  frame.insert(frame.end(), path.begin(), path.end());
  frame.push_back(0);
  out = std::move(frame);
  return true;
}

std::vector<uint8_t> EncodeRaiseFrame() {
  std::vector<uint8_t> out;
  AppendLE32(out, 0);
  return out;
}

void InstanceFrameDecoder::Feed(const uint8_t* data, size_t size) {
  if (bad_ || data == nullptr || size == 0) return;
  // Drop what was taken before growing.
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > 4096) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

InstanceFrameDecoder::Result InstanceFrameDecoder::Next(std::string& path) {
  if (bad_) return kBad;
  const size_t available = buffer_.size() - start_;
  if (available < 4) return kNeedMore;
  const uint8_t* p = buffer_.data() + start_;
  const uint32_t length = LoadLE<uint32_t>(p);
  if (length > kMaxInstanceFrame) {
    bad_ = true;
    return kBad;
  }
  if (available - 4 < length) return kNeedMore;
  const uint8_t* payload = p + 4;
  start_ += 4 + size_t{length};
  if (length == 0) return kRaise;
  // Every payload ends with its zero and holds no other.
  const void* firstZero = std::memchr(payload, 0, length);
  if (firstZero != payload + length - 1) {
    bad_ = true;
    return kBad;
  }
  const std::string_view text(reinterpret_cast<const char*>(payload), length - 1);
  if (text == kInstanceQueryText) return kQuery;
  if (text.size() >= 1 && text[0] == '/') {
    path.assign(text);
    return kPath;
  }
  bad_ = true;
  return kBad;
}

namespace {

// A folder that is ours, no symbolic link, and closed to others; made (0700) when missing.
bool SafeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
    DebugOutF("InstanceRunFolder: %s is not a private folder of this user\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool InstanceRunFolder(std::string& folder) {
  std::string base;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) base = runtime;
  }
  if (base.empty()) {
    base = "/tmp/tintaframe4-" + std::to_string(::getuid());
    if (!SafeFolder(base)) return false;
  }
  if (base.back() == '/') base.pop_back();
  const std::string path = base + "/tintaframe4";
  if (!SafeFolder(path)) return false;
  folder = path;
  return true;
}

std::string InstanceDisplayName() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') display = std::getenv("WAYLAND_DISPLAY");
  std::string name = display != nullptr && display[0] != '\0' ? display : "nodisplay";
  if (name.size() > 64) name.resize(64);
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == '-' || c == '_';
    if (!plain) c = '_';
  }
  return name;
}

int32_t InstanceLock::Take(const std::string& path) {
  Release();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    DebugOutF("InstanceLock: cannot open %s (%s)\n", path.c_str(), std::strerror(errno));
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return 0;
    DebugOutF("InstanceLock: cannot lock %s (%s)\n", path.c_str(), std::strerror(error));
    return -1;
  }
  fd_ = fd;
  return 1;
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace tf
