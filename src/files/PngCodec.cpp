#include "files/PngCodec.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

#include "files/ImageCodec.h"

namespace tf {

namespace {

// The library's errors jump back to the frame that called setjmp on png_jmpbuf (each phase
// below, holding no C++ object with a destructor); warnings are dropped.
void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

struct SMemoryReader {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  SMemoryReader* r = static_cast<SMemoryReader*>(png_get_io_ptr(png));
  if (count > r->size - r->at) png_error(png, "read past the end");
  std::memcpy(out, r->data + r->at, count);
  r->at += count;
}

struct SDecodeState {
  png_structp png;
  png_infop info;
  SMemoryReader reader;
  png_uint_32 width;
  png_uint_32 height;
  int32_t pelsPerMeter;
};

// Phase 1: signature, headers, transforms to B, G, R, A bytes.
bool DecodeStart(SDecodeState* s) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_set_read_fn(s->png, &s->reader, ReadFromMemory);
  png_set_user_limits(s->png, 0x7FFFFFFF, 0x7FFFFFFF);
  png_set_chunk_cache_max(s->png, 1000);
  png_set_chunk_malloc_max(s->png, 8 * 1024 * 1024);
  png_read_info(s->png, s->info);
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(s->png, s->info, &s->width, &s->height, &depth, &colour, &interlace, nullptr, nullptr);
  png_uint_32 x = 0, y = 0;
  int unit = 0;
  if (png_get_pHYs(s->png, s->info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER)
    s->pelsPerMeter = x > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(x);
  // Straight alpha as stored; gamma and colour profiles are not applied.
  png_set_expand(s->png);  // palette to RGB, tRNS to alpha, grey below 8 bits to 8
  png_set_strip_16(s->png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(s->png);
  png_set_bgr(s->png);
  png_set_filler(s->png, 0xFF, PNG_FILLER_AFTER);  // no-op when alpha is there
  png_set_interlace_handling(s->png);
  png_read_update_info(s->png, s->info);
  if (png_get_rowbytes(s->png, s->info) != size_t{4} * s->width) png_error(s->png, "unexpected row size");
  return true;
}

// Phase 2: every row (the passes of Adam7 included) into the rows table.
bool DecodeRows(SDecodeState* s, png_bytepp rows) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_read_image(s->png, rows);
  png_read_end(s->png, nullptr);
  return true;
}

struct SEncodeState {
  png_structp png;
  png_infop info;
  std::vector<uint8_t>* out;
  bool failed;
};

void WriteToVector(png_structp png, png_bytep data, size_t count) {
  SEncodeState* s = static_cast<SEncodeState*>(png_get_io_ptr(png));
  // A failed append ends the encode through the library's error path.
  if (s->failed) png_error(png, "out of memory");
  try {
    s->out->insert(s->out->end(), data, data + count);
  } catch (const std::bad_alloc&) {
    s->failed = true;
  }
  if (s->failed) png_error(png, "out of memory");
}
void FlushNothing(png_structp) {}

bool EncodeRun(SEncodeState* s, png_bytepp rows, png_uint_32 width, png_uint_32 height, bool alpha,
               int32_t level, int32_t pelsPerMeter) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_set_write_fn(s->png, s, WriteToVector, FlushNothing);
  png_set_IHDR(s->png, s->info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (level >= 0 && level <= 9) png_set_compression_level(s->png, level);
  if (pelsPerMeter > 0)
    png_set_pHYs(s->png, s->info, static_cast<png_uint_32>(pelsPerMeter), static_cast<png_uint_32>(pelsPerMeter),
                 PNG_RESOLUTION_METER);
  png_write_info(s->png, s->info);
  png_set_bgr(s->png);
  png_write_image(s->png, rows);
  png_write_end(s->png, nullptr);
  return true;
}

}  // namespace

uint8_t PngDecode(const uint8_t* data, size_t size, SDib& dib) {
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return kImageCorrupt;
  SDecodeState s{};
  s.reader = SMemoryReader{data, size, 0};
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!s.png) return kImageNoMemory;
  s.info = png_create_info_struct(s.png);
  if (!s.info) {
    png_destroy_read_struct(&s.png, nullptr, nullptr);
    return kImageNoMemory;
  }
  uint8_t result = kImageOk;
  png_bytepp rows = nullptr;
  if (!DecodeStart(&s)) {
    result = kImageCorrupt;
  } else if (int64_t{s.width} * s.height > kMaxBmpPixels || s.width > kMaxBmpPixels || s.height > kMaxBmpPixels) {
    result = kImageTooLarge;
  } else if (!dib.Make(static_cast<int32_t>(s.width), -static_cast<int32_t>(s.height), 32, s.pelsPerMeter) ||
             !(rows = new (std::nothrow) png_bytep[s.height])) {
    result = kImageNoMemory;
  } else {
    for (png_uint_32 y = 0; y < s.height; ++y) rows[y] = dib.Writable() + size_t{4} * s.width * y;
    if (!DecodeRows(&s, rows)) result = kImageCorrupt;
  }
  delete[] rows;
  png_destroy_read_struct(&s.png, &s.info, nullptr);
  if (result != kImageOk) {
    dib.pixels.reset();
    dib.borrowed = nullptr;
    dib.writable = nullptr;
    dib.pixelBytes = 0;
  }
  return result;
}

uint8_t pngGetImage(const std::string& path, SDib& dib) {
  std::vector<uint8_t> bytes;
  const uint8_t read = ReadImageFileBytes(path, bytes);
  if (read != kImageOk) return read;
  return PngDecode(bytes.data(), bytes.size(), dib);
}

bool PngEncodeDib(const SDib& dib, int32_t level, std::vector<uint8_t>& out) {
  out.clear();
  const SBitmapInfoHeader& h = dib.header;
  if (!DibWritable(dib)) return false;
  const int64_t stride = DibRowLength(h.width, h.bitCount);
  const int64_t count = dib.Rows();
  png_bytepp rows = new (std::nothrow) png_bytep[static_cast<size_t>(count)];
  if (!rows) return false;
  for (int64_t y = 0; y < count; ++y)
    rows[y] = const_cast<png_bytep>(dib.Data()) + (dib.TopDown() ? y : count - 1 - y) * stride;
  SEncodeState s{};
  s.out = &out;
  bool ok = false;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (s.png) s.info = png_create_info_struct(s.png);
  if (s.png && s.info)
    ok = EncodeRun(&s, rows, static_cast<png_uint_32>(h.width), static_cast<png_uint_32>(count), h.bitCount == 32,
                   level, h.xPelsPerMeter);
  if (s.png) png_destroy_write_struct(&s.png, s.info ? &s.info : nullptr);
  delete[] rows;
  if (!ok) out.clear();
  return ok;
}

uint8_t pngSaveImage(const std::string& path, const SDib& dib, int32_t level) {
  std::vector<uint8_t> bytes;
  if (!PngEncodeDib(dib, level, bytes)) return kImageCorrupt;
  return WriteImageFileBytes(path, bytes.data(), bytes.size());
}

}  // namespace tf
