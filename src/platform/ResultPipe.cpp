#include "platform/ResultPipe.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace tf {

bool WriteResultToDescriptor(int64_t descriptor, int32_t code) {
  if (descriptor <= 2 || descriptor > INT32_MAX) return false;
  const int fd = static_cast<int>(descriptor);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  const int access = flags & O_ACCMODE;
  if (access != O_WRONLY && access != O_RDWR) return false;
  const uint32_t value = static_cast<uint32_t>(code);
  const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  // A reader that went away must not kill the run with SIGPIPE: the write just fails.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old);
  size_t done = 0;
  while (done < sizeof bytes) {
    const ssize_t n = ::write(fd, bytes + done, sizeof bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::sigaction(SIGPIPE, &old, nullptr);
  ::close(fd);
  return done == sizeof bytes;
}

}  // namespace tf
