#include "files/psd/PsdCodec.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <climits>
#include <cstring>

namespace tf {

namespace {

// Bytes equal to p[0] from p on, at most limit (limit >= 1).
inline int64_t RunLength(const uint8_t* p, int64_t limit) {
  const uint8_t value = p[0];
  int64_t j = 1;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  while (j + 16 <= limit) {
    const int equal =
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j)), wanted));
    if (equal != 0xFFFF) return j + __builtin_ctz(~static_cast<unsigned>(equal));
    j += 16;
  }
#endif
  while (j < limit && p[j] == value) ++j;
  return j;
}

// Where the first run of three equal bytes starts within limit bytes (available: bytes readable
// from p); limit when none does.
inline int64_t LiteralLength(const uint8_t* p, int64_t limit, int64_t available) {
  int64_t k = 0;
#if defined(__SSE2__)
  while (k + 16 <= limit && k + 18 <= available) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 1));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 2));
    const int three = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, b), _mm_cmpeq_epi8(b, c)));
    if (three != 0) return k + __builtin_ctz(static_cast<unsigned>(three));
    k += 16;
  }
#endif
  for (; k < limit; ++k)
    if (k + 2 < available && p[k] == p[k + 1] && p[k] == p[k + 2]) return k;
  return limit;
}

}  // namespace

int64_t PackBitsEncodeRow(const uint8_t* row, int64_t width, uint8_t* out) {
  uint8_t* const start = out;
  int64_t i = 0;
  while (i < width) {
    const int64_t limit = width - i < 128 ? width - i : 128;
    // A run of three or more equal bytes goes out as a repeat.
    const int64_t run = RunLength(row + i, limit);
    if (run >= 3) {
      *out++ = static_cast<uint8_t>(1 - run);
      *out++ = row[i];
      i += run;
      continue;
    }
    // Literal bytes up to the next run of three or the 128-byte limit (at least one: no run
    // of three starts here).
    const int64_t count = LiteralLength(row + i, limit, width - i);
    *out++ = static_cast<uint8_t>(count - 1);
    std::memcpy(out, row + i, static_cast<size_t>(count));
    out += count;
    i += count;
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
#if defined(__SSE2__)
      // With room for 128 bytes on both sides, whole 16-byte pieces are copied; bytes past the
      // count are written over by what follows in the row.
      if (packedBytes - in >= 128 && width - done >= 128) {
        for (int64_t k = 0; k < count; k += 16)
          _mm_storeu_si128(reinterpret_cast<__m128i*>(row + done + k),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(packed + in + k)));
        in += count;
        done += count;
        continue;
      }
#endif
      std::memcpy(row + done, packed + in, static_cast<size_t>(count));
      in += count;
      done += count;
    } else if (head != -128) {
      const int64_t count = 1 - int64_t{head};
      if (in >= packedBytes || count > width - done) return false;
#if defined(__SSE2__)
      if (width - done >= 128) {
        const __m128i value = _mm_set1_epi8(static_cast<char>(packed[in++]));
        for (int64_t k = 0; k < count; k += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(row + done + k), value);
        done += count;
        continue;
      }
#endif
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
