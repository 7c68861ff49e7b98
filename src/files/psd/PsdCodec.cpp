#include "files/psd/PsdCodec.h"

#include <zlib.h>

#include <climits>
#include <cstring>

namespace tf {

int64_t PackBitsEncodeRow(const uint8_t* row, int64_t width, uint8_t* out) {
  uint8_t* const start = out;
  int64_t i = 0;
  while (i < width) {
    // A run of three or more equal bytes goes out as a repeat.
    const uint8_t value = row[i];
    int64_t j = i + 1;
    const int64_t runEnd = i + 128 < width ? i + 128 : width;
    while (j < runEnd && row[j] == value) ++j;
    if (j - i >= 3) {
      *out++ = static_cast<uint8_t>(1 - (j - i));
      *out++ = value;
      i = j;
      continue;
    }
    // Literal bytes up to the next run of three or the 128-byte limit.
    const int64_t literalStart = i;
    const int64_t literalEnd = i + 128 < width ? i + 128 : width;
    while (i < literalEnd) {
      if (i + 2 < width && row[i] == row[i + 1] && row[i] == row[i + 2]) break;
      ++i;
    }
    const int64_t count = i - literalStart;
    *out++ = static_cast<uint8_t>(count - 1);
    std::memcpy(out, row + literalStart, static_cast<size_t>(count));
    out += count;
  }
  return out - start;
}

bool PackBitsDecodeRow(const uint8_t* packed, int64_t packedBytes, uint8_t* row, int64_t width) {
  int64_t in = 0;
  int64_t done = 0;
  while (done < width) {
    if (in >= packedBytes) return false;
    const int8_t head = static_cast<int8_t>(packed[in++]);
    if (head >= 0) {
      const int64_t count = int64_t{head} + 1;
      if (count > packedBytes - in || count > width - done) return false;
      std::memcpy(row + done, packed + in, static_cast<size_t>(count));
      in += count;
      done += count;
    } else if (head != -128) {
      const int64_t count = 1 - int64_t{head};
      if (in >= packedBytes || count > width - done) return false;
      std::memset(row + done, packed[in++], static_cast<size_t>(count));
      done += count;
    }
  }
  return true;
}

bool ZipDecode(const uint8_t* packed, int64_t packedBytes, uint8_t* out, int64_t outBytes, bool rowDeltas,
               int64_t rowBytes) {
  if (packedBytes < 0 || outBytes < 0) return false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  int64_t inLeft = packedBytes;
  int64_t outLeft = outBytes;
  const uint8_t* in = packed;
  uint8_t* dest = out;
  uint8_t spare = 0;  // takes a byte past the expected size: that is a failure
  int status = Z_OK;
  // zlib counts in 32 bits: feed and drain in pieces.
  while (status == Z_OK) {
    if (z.avail_in == 0 && inLeft > 0) {
      const uInt piece = inLeft > INT_MAX ? INT_MAX : static_cast<uInt>(inLeft);
      z.next_in = const_cast<Bytef*>(in);
      z.avail_in = piece;
      in += piece;
      inLeft -= piece;
    }
    if (z.avail_out == 0) {
      if (outLeft > 0) {
        const uInt piece = outLeft > INT_MAX ? INT_MAX : static_cast<uInt>(outLeft);
        z.next_out = dest;
        z.avail_out = piece;
        dest += piece;
        outLeft -= piece;
      } else if (z.next_out != &spare + 1) {
        z.next_out = &spare;
        z.avail_out = 1;
      }
    }
    status = inflate(&z, Z_NO_FLUSH);
    if (status == Z_BUF_ERROR) break;  // no progress: input ended early, or more output than expected
  }
  const bool whole = status == Z_STREAM_END && z.total_out == static_cast<uLong>(outBytes);
  inflateEnd(&z);
  if (!whole) return false;
  if (rowDeltas && rowBytes > 0) {
    for (int64_t at = 0; at + rowBytes <= outBytes; at += rowBytes) {
      uint8_t* r = out + at;
      for (int64_t x = 1; x < rowBytes; ++x) r[x] = static_cast<uint8_t>(r[x] + r[x - 1]);
    }
  }
  return true;
}

}  // namespace tf
