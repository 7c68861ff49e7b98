#include "files/JpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// jpeglib.h wants FILE and size_t declared first.
#include <jpeglib.h>

#include "files/ImageCodec.h"

namespace tf {

namespace {

// The library's errors come back here: error_exit jumps to the frame that set the jump, which
// holds no C++ object with a destructor (each phase below is such a frame), and messages are
// dropped instead of printed.
struct SJpegErrors {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void ErrorExit(j_common_ptr info) { longjmp(reinterpret_cast<SJpegErrors*>(info->err)->jump, 1); }
void OutputMessage(j_common_ptr) {}

void InstallErrors(SJpegErrors& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  errors.pub.output_message = OutputMessage;
}

struct SDecodeState {
  jpeg_decompress_struct info;
  SJpegErrors errors;
  bool created;
  JDIMENSION reached;  // rows decoded
};

// Phase 1: headers, output colour space and size. False when the library raised an error.
bool DecodeStart(SDecodeState* s, const uint8_t* data, size_t size, int32_t denominator) {
  if (setjmp(s->errors.jump)) return false;
  jpeg_create_decompress(&s->info);
  s->created = true;
  jpeg_mem_src(&s->info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&s->info, TRUE);
  const J_COLOR_SPACE in = s->info.jpeg_color_space;
  s->info.out_color_space = (in == JCS_CMYK || in == JCS_YCCK) ? JCS_CMYK : JCS_EXT_BGRA;
  s->info.scale_num = 1;
  s->info.scale_denom = static_cast<unsigned>(denominator);
  jpeg_calc_output_dimensions(&s->info);
  return true;
}

// Phase 2: every row into out (4 bytes a pixel, rows stride bytes apart).
bool DecodeRows(SDecodeState* s, uint8_t* out, int64_t stride) {
  if (setjmp(s->errors.jump)) return false;
  jpeg_start_decompress(&s->info);
  JSAMPROW rows[16];
  while (s->info.output_scanline < s->info.output_height) {
    const JDIMENSION at = s->info.output_scanline;
    const JDIMENSION count = s->info.output_height - at < 16 ? s->info.output_height - at : 16;
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = out + static_cast<int64_t>(at + i) * stride;
    if (jpeg_read_scanlines(&s->info, rows, count) == 0) break;
  }
  // A file cut short has had its end made up by the source (libjpeg's warning); rows it never
  // reached are left as decoded.
  s->reached = s->info.output_scanline;
  if (s->info.output_scanline < s->info.output_height) jpeg_abort_decompress(&s->info);
  else jpeg_finish_decompress(&s->info);
  return true;
}

inline uint8_t MulDiv255(uint32_t a, uint32_t b) {
  const uint32_t t = a * b + 128;
  return static_cast<uint8_t>(((t >> 8) + t) >> 8);
}

// CMYK rows in place to B, G, R, 255. Adobe's files store the values inverted.
void CmykToBgra(uint8_t* row, int32_t width, bool inverted) {
  for (int32_t x = 0; x < width; ++x, row += 4) {
    uint32_t c = row[0], m = row[1], y = row[2], k = row[3];
    if (inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    const uint32_t nk = 255 - k;
    const uint8_t r = static_cast<uint8_t>(nk - MulDiv255(c, nk));
    const uint8_t g = static_cast<uint8_t>(nk - MulDiv255(m, nk));
    const uint8_t b = static_cast<uint8_t>(nk - MulDiv255(y, nk));
    row[0] = b;
    row[1] = g;
    row[2] = r;
    row[3] = 255;
  }
}

struct SEncodeState {
  jpeg_compress_struct info;
  SJpegErrors errors;
  bool created;
  unsigned char* buffer;
  unsigned long size;
};

bool EncodeRun(SEncodeState* s, const uint8_t* firstRow, int64_t rowStep, int32_t width, int32_t height,
               JpegInput layout, const SJpegOptions* options, int32_t dpi) {
  if (setjmp(s->errors.jump)) return false;
  jpeg_create_compress(&s->info);
  s->created = true;
  jpeg_mem_dest(&s->info, &s->buffer, &s->size);
  s->info.image_width = static_cast<JDIMENSION>(width);
  s->info.image_height = static_cast<JDIMENSION>(height);
  switch (layout) {
    case JpegInput::kRgb24:
      s->info.input_components = 3;
      s->info.in_color_space = JCS_EXT_RGB;
      break;
    case JpegInput::kBgr24:
      s->info.input_components = 3;
      s->info.in_color_space = JCS_EXT_BGR;
      break;
    case JpegInput::kBgrx32:
      s->info.input_components = 4;
      s->info.in_color_space = JCS_EXT_BGRX;
      break;
  }
  jpeg_set_defaults(&s->info);
  if (options->greyscale) jpeg_set_colorspace(&s->info, JCS_GRAYSCALE);
  jpeg_set_quality(&s->info, options->quality, TRUE);
  if (options->progressive) jpeg_simple_progression(&s->info);
  const int32_t smoothing = options->smoothing < 0 ? 0 : (options->smoothing > 100 ? 100 : options->smoothing);
  s->info.smoothing_factor = options->smoothingOn ? smoothing : 0;
  if (dpi > 0) {
    s->info.write_JFIF_header = TRUE;
    s->info.density_unit = 1;
    s->info.X_density = static_cast<UINT16>(dpi > 65535 ? 65535 : dpi);
    s->info.Y_density = s->info.X_density;
  }
  jpeg_start_compress(&s->info, TRUE);
  JSAMPROW rows[16];
  while (s->info.next_scanline < s->info.image_height) {
    const JDIMENSION at = s->info.next_scanline;
    const JDIMENSION count = s->info.image_height - at < 16 ? s->info.image_height - at : 16;
    for (JDIMENSION i = 0; i < count; ++i)
      rows[i] = const_cast<JSAMPROW>(firstRow + static_cast<int64_t>(at + i) * rowStep);
    jpeg_write_scanlines(&s->info, rows, count);
  }
  jpeg_finish_compress(&s->info);
  return true;
}

}  // namespace

uint8_t JpegDecodeScaled(const uint8_t* data, size_t size, int32_t scaleDenominator, SDib& dib, int32_t* fullWidth,
                         int32_t* fullHeight) {
  if (!data || size == 0) return kImageCorrupt;
  if (scaleDenominator != 1 && scaleDenominator != 2 && scaleDenominator != 4 && scaleDenominator != 8)
    return kImageUnsupported;
  SDecodeState* s = new (std::nothrow) SDecodeState{};
  if (!s) return kImageNoMemory;
  InstallErrors(s->errors);
  s->info.err = &s->errors.pub;
  uint8_t result = kImageOk;
  if (!DecodeStart(s, data, size, scaleDenominator)) {
    result = kImageCorrupt;
  } else {
    const int64_t w = s->info.output_width, h = s->info.output_height;
    if (fullWidth) *fullWidth = static_cast<int32_t>(s->info.image_width);
    if (fullHeight) *fullHeight = static_cast<int32_t>(s->info.image_height);
    int32_t ppm = 0;
    if (s->info.saw_JFIF_marker) {
      if (s->info.density_unit == 1) ppm = DpiToPelsPerMeter(s->info.X_density);
      else if (s->info.density_unit == 2) ppm = int32_t{s->info.X_density} * 100;
    }
    if (w <= 0 || h <= 0 || w * h > kMaxBmpPixels ||
        int64_t{s->info.image_width} * s->info.image_height > kMaxBmpPixels) {
      result = kImageTooLarge;
    } else if (!dib.Make(static_cast<int32_t>(w), -static_cast<int32_t>(h), 32, ppm)) {
      result = kImageNoMemory;
    } else {
      // Rows libjpeg never reaches read as zero, not as whatever the block held.
      const bool cmyk = s->info.out_color_space == JCS_CMYK;
      if (!DecodeRows(s, dib.Writable(), 4 * w)) {
        result = kImageCorrupt;
      } else if (s->reached < h) {
        std::memset(dib.Writable() + int64_t{s->reached} * 4 * w, 0, static_cast<size_t>((h - s->reached) * 4 * w));
      }
      if (result == kImageOk && cmyk) {
        for (int64_t y = 0; y < h; ++y)
          CmykToBgra(dib.Writable() + y * 4 * w, static_cast<int32_t>(w), s->info.saw_Adobe_marker);
      }
    }
  }
  if (s->created) jpeg_destroy_decompress(&s->info);
  delete s;
  if (result != kImageOk) {
    dib.pixels.reset();
    dib.borrowed = nullptr;
    dib.writable = nullptr;
    dib.pixelBytes = 0;
  }
  return result;
}

uint8_t JpegDecode(const uint8_t* data, size_t size, SDib& dib) { return JpegDecodeScaled(data, size, 1, dib); }

uint8_t jpegGetImage(const std::string& path, SDib& dib) {
  std::vector<uint8_t> bytes;
  const uint8_t read = ReadImageFileBytes(path, bytes);
  if (read != kImageOk) return read;
  return JpegDecode(bytes.data(), bytes.size(), dib);
}

bool JpegEncodeRows(const uint8_t* firstRow, int64_t rowStep, int32_t width, int32_t height, JpegInput layout,
                    const SJpegOptions& options, int32_t dpi, std::vector<uint8_t>& out) {
  out.clear();
  if (!firstRow || width <= 0 || height <= 0 || width > 65500 || height > 65500 ||
      int64_t{width} * height > kMaxBmpPixels)
    return false;
  SEncodeState* s = new (std::nothrow) SEncodeState{};
  if (!s) return false;
  InstallErrors(s->errors);
  s->info.err = &s->errors.pub;
  bool ok = EncodeRun(s, firstRow, rowStep, width, height, layout, &options, dpi);
  if (s->created) jpeg_destroy_compress(&s->info);
  if (ok) {
    try {
      out.assign(s->buffer, s->buffer + s->size);
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  std::free(s->buffer);
  delete s;
  return ok;
}

bool JpegEncodeRgb24(const uint8_t* rgb, int64_t rowStep, int32_t width, int32_t height, int32_t quality,
                     std::vector<uint8_t>& out) {
  SJpegOptions options;
  options.quality = quality;
  return JpegEncodeRows(rgb, rowStep, width, height, JpegInput::kRgb24, options, 0, out);
}

bool JpegEncodeDib(const SDib& dib, const SJpegOptions& options, std::vector<uint8_t>& out) {
  out.clear();
  const SBitmapInfoHeader& h = dib.header;
  if (!DibWritable(dib)) return false;
  const int64_t stride = DibRowLength(h.width, h.bitCount);
  const int64_t rows = dib.Rows();
  const uint8_t* first = dib.TopDown() ? dib.Data() : dib.Data() + (rows - 1) * stride;
  const int64_t step = dib.TopDown() ? stride : -stride;
  SBitmapInfoHeader forDpi = h;
  forDpi.size = kBmpInfoHeaderSize;
  const int32_t dpi = BmpDpiFromHeader(forDpi);
  return JpegEncodeRows(first, step, h.width, static_cast<int32_t>(rows),
                        h.bitCount == 24 ? JpegInput::kBgr24 : JpegInput::kBgrx32, options, dpi, out);
}

uint8_t jpegSaveImage(const std::string& path, const SDib& dib, const SJpegOptions& options) {
  std::vector<uint8_t> bytes;
  if (!JpegEncodeDib(dib, options, bytes)) return kImageCorrupt;
  return WriteImageFileBytes(path, bytes.data(), bytes.size());
}

}  // namespace tf
