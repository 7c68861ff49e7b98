// What the image codecs share: their result codes, reading a whole file, replacing a file.
#pragma once
// The BMP, JPEG and PNG readers and writers answer 0 for success and one of these codes
// otherwise (the file result codes of the document files where they mean the same).
#include <cstdint>
#include <string>
#include <vector>

namespace tf {

enum ImageResult : uint8_t {
  kImageOk = 0,
  kImageNoMemory = 1,
  kImageMissing = 4,
  kImageCreateFailed = 5,
  kImageOpenFailed = 6,
  kImageShortWrite = 8,
  kImageShortRead = 9,
  kImageCorrupt = 20,      // the codec refused the data
  kImageTooLarge = 21,     // over kMaxBmpPixels, refused before anything was allocated
  kImageUnsupported = 22,  // a depth, compression or colour space the codecs do not read or write
};

// The whole file into bytes (at most maxBytes; a larger file is kImageTooLarge).
uint8_t ReadImageFileBytes(const std::string& path, std::vector<uint8_t>& bytes, int64_t maxBytes = int64_t{1} << 32);
// Replaces the file with the bytes through AtomicFileWriter: the old file stays as it was on
// any failure.
uint8_t WriteImageFileBytes(const std::string& path, const uint8_t* bytes, size_t count);

}  // namespace tf
