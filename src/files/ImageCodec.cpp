#include "files/ImageCodec.h"

#include <cerrno>
#include <new>

#include "platform/Stream.h"

namespace tf {

uint8_t ReadImageFileBytes(const std::string& path, std::vector<uint8_t>& bytes, int64_t maxBytes) {
  bytes.clear();
  FileStream file;
  if (!file.OpenRead(path)) return errno == ENOENT ? kImageMissing : kImageOpenFailed;
  const int64_t size = file.Size();
  if (size < 0) return kImageOpenFailed;
  if (size > maxBytes) return kImageTooLarge;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
  if (!file.ReadExact(bytes.data(), size)) {
    bytes.clear();
    return kImageShortRead;
  }
  return kImageOk;
}

uint8_t WriteImageFileBytes(const std::string& path, const uint8_t* bytes, size_t count) {
  int error = 0;
  bool wrote = false;
  const bool saved = SaveFileAtomically(
      path,
      [&](Stream& stream) {
        wrote = stream.WriteExact(bytes, static_cast<int64_t>(count));
        return wrote;
      },
      kKeepFileMode, &error);
  if (saved) return kImageOk;
  return wrote ? kImageCreateFailed : (error == 0 ? kImageShortWrite : kImageCreateFailed);
}

}  // namespace tf
