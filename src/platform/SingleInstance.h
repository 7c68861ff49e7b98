// The single-instance rule: the lock of the running instance, where it listens, and the frames a
// later start hands over.
#pragma once
// One instance per user and display. The instance holds an flock on
// <run>/tintaframe4/<display>.lock and listens on a local socket beside it (<display>.sock);
// <run> is $XDG_RUNTIME_DIR, else /tmp/tintaframe4-<uid>, made 0700 and checked to be ours and no
// symbolic link. A later start finding the lock held asks the socket for its mode ("tF2 query",
// answered with four bytes) and hands over its files, one frame a path, each acknowledged once the
// instance has opened it; a last frame asks the instance to raise and restore its own window.
//
// Frames: a 32-bit little-endian length, then that many bytes.
//   query  "tF2 query" and its zero (10 bytes)      answered with the four-byte reply
//   path   an absolute path and its zero (2..4096)  answered with "TFOk" once opened
//   raise  length 0                                 not answered
// Anything else is a bad frame: the receiver drops the connection.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

// Four characters as a 32-bit value, the first in the lowest byte.
constexpr uint32_t FourChars(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}

// Replies to the query: an instance in normal, viewer or render mode.
inline constexpr uint32_t kInstanceReplyNormal = FourChars("TF40");
inline constexpr uint32_t kInstanceReplyViewer = FourChars("TFVw");
inline constexpr uint32_t kInstanceReplyRender = FourChars("TFRe");
// Acknowledgement of a path frame.
inline constexpr uint32_t kInstancePathAck = FourChars("TFOk");
inline constexpr std::string_view kInstanceQueryText = "tF2 query";
// Longest frame payload: a path of 4095 bytes and its zero.
inline constexpr uint32_t kMaxInstanceFrame = 4096;
// How long a later start waits for the query's answer, retries included.
inline constexpr int32_t kInstanceQueryMilliseconds = 2000;

// The frames, length prefix included. EncodePathFrame refuses (false, out untouched) a path that
// is not absolute, holds a zero byte or is longer than 4095 bytes.
std::vector<uint8_t> EncodeQueryFrame();
bool EncodePathFrame(std::string_view path, std::vector<uint8_t>& out);
std::vector<uint8_t> EncodeRaiseFrame();
void AppendLE32(std::vector<uint8_t>& out, uint32_t value);

// Reads frames from a byte stream as it arrives. Once a frame is bad the decoder stays bad.
class InstanceFrameDecoder {
 public:
  enum Result { kNeedMore, kQuery, kPath, kRaise, kBad };
  // Adds bytes received.
  void Feed(const uint8_t* data, size_t size);
  // The next complete frame; a path frame's path (without its zero) goes to path.
  Result Next(std::string& path);
  bool IsBad() const { return bad_; }
  // Bytes received and not yet taken.
  size_t Pending() const { return buffer_.size() - start_; }

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
  bool bad_ = false;
};

// The folder the lock and the socket live in (<run>/tintaframe4, made when missing); false when no
// safe folder can be had (not ours, a symbolic link, open to others, cannot be made).
bool InstanceRunFolder(std::string& folder);
// The display this start runs on, as a file name: $DISPLAY, else $WAYLAND_DISPLAY, else
// "nodisplay"; characters other than letters, digits, '.', '-' and '_' become '_'.
std::string InstanceDisplayName();

// The instance lock: an flock on a file that stays in place.
class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock() { Release(); }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // 1 taken, 0 another start holds it, -1 no lock could be had (the file could not be opened).
  int32_t Take(const std::string& path);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// What the start-up checks need of the single-instance rule; the window system's half
// (platform/qt/SingleInstanceQt.h) implements it, tests script it.
class InstanceHost {
 public:
  virtual ~InstanceHost() = default;
  // Takes the lock: 1 taken (this start is the instance and listens from now on), 0 another start
  // holds it, -1 no lock could be had.
  virtual int32_t TakeInstanceLock() = 0;
  // Asks the running instance for its mode, retrying while it does not listen yet, for
  // kInstanceQueryMilliseconds at most: its reply, 0 when none came.
  virtual uint32_t QueryRunningInstance() = 0;
  // Hands one absolute path to the instance that answered; true once it acknowledged the path.
  virtual bool SendPath(const std::string& path) = 0;
  // Asks the instance to raise and restore its window; ends the conversation.
  virtual void AskToRaise() = 0;
  // Releases the lock (harmless when none was taken).
  virtual void ReleaseInstanceLock() = 0;
};

// Scripted: tests give the lock result, the reply and how many paths are acknowledged.
class ScriptedInstanceHost final : public InstanceHost {
 public:
  int32_t TakeInstanceLock() override {
    ++lockCalls;
    return lockResult;
  }
  uint32_t QueryRunningInstance() override {
    ++queries;
    return reply;
  }
  bool SendPath(const std::string& path) override {
    if (acknowledged >= 0 && static_cast<int32_t>(sent.size()) >= acknowledged) return false;
    sent.push_back(path);
    return true;
  }
  void AskToRaise() override { ++raises; }
  void ReleaseInstanceLock() override { ++releases; }

  int32_t lockResult = 1;
  uint32_t reply = 0;
  int32_t acknowledged = -1;  // paths acknowledged before the instance "closes"; -1 every one
  int32_t lockCalls = 0;
  int32_t queries = 0;
  int32_t raises = 0;
  int32_t releases = 0;
  std::vector<std::string> sent;
};

}  // namespace tf
