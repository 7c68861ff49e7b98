#include "raster/BmpData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Memory.h"
#include "platform/Stream.h"
#include "raster/DibImage.h"
#include "raster/FlatImage.h"
#include "support/CountingNew.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace tf {
namespace {

using test::PixelsOf;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string DataFile(const char* name) { return std::string(TF_TEST_DATA_DIR) + "/" + name; }

// A temporary folder for the files of one test.
class TempDir : public test::ScopedTempFolder {
 public:
  TempDir() : ScopedTempFolder("tf_bmp_test") { EXPECT_FALSE(Path().empty()); }
};

void FillPattern(TMTC& image) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x)
      *image.Pixel(x, y) = (uint32_t(x * 37 + y * 11) << 24) | (uint32_t(x * 5 + 1) << 16) |
                           (uint32_t(y * 9 + 2) << 8) | uint32_t(x * y + 3);
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
void SetLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A whole BMP file of 32-bit data from a DIB of the image.
std::vector<uint8_t> File32(const TMTC& image, int32_t dpi) {
  SRectWH rect{0, 0, image.Width(), image.Height()};
  SBitmapInfoHeader info;
  uint8_t* bits = nullptr;
  EXPECT_TRUE(MakeDIB32Rect(image, dpi, rect, info, bits));
  std::vector<uint8_t> file(54);
  EncodeBitmapFileHeader({kBmpMagic, uint32_t(54 + info.sizeImage), 0, 0, 54}, file.data());
  EncodeBitmapInfoHeader(info, file.data() + 14);
  file.insert(file.end(), bits, bits + info.sizeImage);
  FreeMem(bits);
  return file;
}

// A stream that cannot tell its size or seek: only reads.
class PipeStream final : public Stream {
 public:
  explicit PipeStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::min<int64_t>(count, int64_t(bytes_.size()) - at_);
    if (n <= 0) return 0;
    std::memcpy(buffer, bytes_.data() + at_, size_t(n));
    at_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t, SeekOrigin) override { return -1; }
  int64_t Size() override { return -1; }
  bool SetSize(int64_t) override { return false; }

 private:
  std::vector<uint8_t> bytes_;
  int64_t at_ = 0;
};

TEST(Bmp, HeadersAreLittleEndianAndExact) {
  SBitmapInfoHeader info;
  TMTC image(3, 2);
  EXPECT_EQ(MakeBitmapInfo24(image, info, 96), 12);
  EXPECT_EQ(info.size, 40u);
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(info.planes, 1);
  EXPECT_EQ(info.bitCount, 24);
  EXPECT_EQ(info.compression, 0u);
  EXPECT_EQ(info.sizeImage, 24u);
  EXPECT_EQ(info.xPelsPerMeter, 3779);  // 9600/2.54 = 3779.53, truncated
  EXPECT_EQ(info.yPelsPerMeter, 3779);
  EXPECT_EQ(info.clrUsed, 0u);
  uint8_t bytes[40];
  EncodeBitmapInfoHeader(info, bytes);
  const uint8_t expected[40] = {40, 0, 0, 0, 3,    0,    0, 0, 2,    0,    0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                24, 0, 0, 0, 0xC3, 0x0E, 0, 0, 0xC3, 0x0E, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(bytes, expected, 40));
  SBitmapInfoHeader back;
  DecodeBitmapInfoHeader(bytes, back);
  EXPECT_EQ(0, std::memcmp(&back, &info, sizeof info));

  EXPECT_EQ(MakeBitmapInfo32(info, 0, 5, 7), 20);
  EXPECT_EQ(info.bitCount, 32);
  EXPECT_EQ(info.sizeImage, 140u);
  EXPECT_EQ(info.xPelsPerMeter, 0);
  MakeBitmapInfo(image, info, 72);
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.sizeImage, 24u);
  EXPECT_EQ(info.xPelsPerMeter, 2834);

  // Row lengths: width 1 gives 4-byte rows at 24 and at 32 bits.
  TMTC one(1, 5);
  EXPECT_EQ(MakeBitmapInfo24(one, info, 0), 4);
  EXPECT_EQ(info.sizeImage, 20u);
  EXPECT_EQ(MakeBitmapInfo32(info, 0, 1, 5), 4);
}

TEST(Bmp, DpiFromPixelsPerMetre) {
  struct Case {
    uint32_t headerSize;
    int32_t ppm;
    int32_t dpi;
  } cases[] = {
      {40, 3780, 96},
      {40, 3779, 96},
      {40, 2834, 72},
      {40, 2835, 72},
      {40, 3800, 96},  // 96.52 + 0.41: still 96
      {40, 0, 0},
      {108, 3780, 96},
      {124, 5906, 150},
      {12, 3780, 0},
      {64, 3780, 0},
      {40, -3780, 0},
      {40, -1, 0},
      {40, INT32_MIN, 0},  // negative resolutions read as none
      {40, INT32_MAX, 54546085},
  };
  for (const Case& c : cases) {
    SBitmapInfoHeader h{};
    h.size = c.headerSize;
    h.xPelsPerMeter = c.ppm;
    EXPECT_EQ(BmpDpiFromHeader(h), c.dpi) << c.headerSize << " " << c.ppm;
  }
  // Written resolutions read back.
  for (int32_t dpi : {72, 96, 150, 300, 350, 600}) {
    SBitmapInfoHeader h;
    MakeBitmapInfo32(h, dpi, 1, 1);
    EXPECT_EQ(BmpDpiFromHeader(h), dpi);
  }
}

TEST(Bmp, SaveBMP24WritesHeaderFieldsAndPaddedBottomUpRows) {
  TempDir dir;
  TMTC image(3, 2);
  // Top row red, green, blue; bottom row greys with alpha that must not leak.
  const uint32_t px[6] = {0x11FF0000u, 0x2200FF00u, 0x330000FFu, 0x440A141Eu, 0x5528323Cu, 0x6646505Au};
  for (int i = 0; i < 6; ++i) *image.Pixel(i % 3, i / 3) = px[i];
  const std::string path = dir.File("out.bmp");
  ASSERT_TRUE(SaveBMP24(image, path, 96));
  const std::vector<uint8_t> b = ReadFile(path);
  ASSERT_EQ(b.size(), 78u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le32(b, 2), 78u);
  EXPECT_EQ(Le32(b, 6), 0u);
  EXPECT_EQ(Le32(b, 10), 54u);
  EXPECT_EQ(Le32(b, 14), 40u);
  EXPECT_EQ(Le32(b, 34), 24u);    // image size
  EXPECT_EQ(Le32(b, 38), 3779u);  // pixels per metre
  const std::vector<uint8_t> rows(b.begin() + 54, b.end());
  const std::vector<uint8_t> expected = {
      0x1E, 0x14, 0x0A, 0x3C, 0x32, 0x28, 0x5A, 0x50, 0x46, 0, 0, 0,  // bottom row
      0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0, 0, 0};
  EXPECT_EQ(rows, expected);
  // Byte for byte the file Python's writer of the format made of the same picture, but for the
  // resolution (it wrote 3780 pixels per metre).
  std::vector<uint8_t> python = ReadFile(DataFile("py_24bit_3x2.bmp"));
  ASSERT_EQ(python.size(), b.size());
  SetLe32(python, 38, 3779);
  SetLe32(python, 42, 3779);
  EXPECT_EQ(python, b);
  // A TTC (bottom-up rows) writes the same picture.
  TTC dib(3, 2);
  for (int i = 0; i < 6; ++i) *dib.Pixel(i % 3, i / 3) = px[i];
  ASSERT_TRUE(dib.SaveBMP24(dir.File("dib.bmp"), 96));
  EXPECT_EQ(ReadFile(dir.File("dib.bmp")), b);
}

TEST(Bmp, RoundTrips) {
  TempDir dir;
  const SSize sizes[] = {{1, 1}, {1, 4}, {2, 3}, {3, 2}, {5, 5}, {17, 9}};
  for (const SSize& s : sizes) {
    SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
    TMTC image(s);
    FillPattern(image);
    // 24 bits through a file: colours come back, rows in file order (bottom first).
    ASSERT_TRUE(SaveBMP24(image, dir.File("rt.bmp"), 300));
    MemoryStream stream;
    ASSERT_TRUE(stream.LoadFromFile(dir.File("rt.bmp")));
    TMTC loaded;
    int32_t dpi = -1;
    ASSERT_TRUE(LoadBMP(loaded, stream, &dpi));
    EXPECT_EQ(dpi, 300);
    ASSERT_TRUE(loaded.FlipVerticalAll());
    EXPECT_EQ(PixelsOf(loaded, 0x00FFFFFFu), PixelsOf(image, 0x00FFFFFFu));
    // 24 bits into an image of that size already: byte 3 keeps what the block held.
    TMTC keep(s);
    keep.FillAll(0xAB000000u);
    stream.Seek(0, SeekOrigin::kBegin);
    ASSERT_TRUE(LoadBMP(keep, stream));
    for (uint32_t v : PixelsOf(keep)) EXPECT_EQ(v >> 24, 0xABu);
    // Packed 24-bit DIB: the rows of the file.
    SBitmapInfoHeader info;
    uint8_t* bits = nullptr;
    ASSERT_TRUE(MakePackedDIB24(image, 300, info, bits));
    const std::vector<uint8_t> file = ReadFile(dir.File("rt.bmp"));
    EXPECT_EQ(0, std::memcmp(bits, file.data() + 54, info.sizeImage));
    EXPECT_EQ(info.sizeImage + 54, file.size());
    FreeMem(bits);
    // 32 bits from memory: every byte comes back.
    const std::vector<uint8_t> f32 = File32(image, 72);
    TMTC loaded32;
    ASSERT_TRUE(LoadBMPFromMemory(loaded32, f32.data(), int64_t(f32.size()), &dpi));
    EXPECT_EQ(dpi, 72);
    ASSERT_TRUE(loaded32.FlipVerticalAll());
    EXPECT_EQ(PixelsOf(loaded32), PixelsOf(image));
  }
}

TEST(Bmp, MakeDIB32RectClipsAndStacksRowsBottomUp) {
  TMTC image(4, 3);
  FillPattern(image);
  SRectWH rect{2, 1, 5, 5};  // clipped to (2, 1, 2, 2)
  SBitmapInfoHeader info;
  uint8_t* bits = nullptr;
  ASSERT_TRUE(MakeDIB32Rect(image, 96, rect, info, bits));
  EXPECT_EQ(rect, (SRectWH{2, 1, 2, 2}));
  EXPECT_EQ(info.width, 2);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(info.sizeImage, 16u);
  uint32_t px[4];
  std::memcpy(px, bits, 16);
  FreeMem(bits);
  EXPECT_EQ(px[0], image.GetPixel(2, 2));
  EXPECT_EQ(px[1], image.GetPixel(3, 2));
  EXPECT_EQ(px[2], image.GetPixel(2, 1));
  EXPECT_EQ(px[3], image.GetPixel(3, 1));
  SRectWH outside{4, 0, 2, 2};
  bits = reinterpret_cast<uint8_t*>(1);
  EXPECT_FALSE(MakeDIB32Rect(image, 96, outside, info, bits));
  EXPECT_EQ(bits, nullptr);
  // Out of memory: false, no bits.
  SetMemoryRefusals(1);
  SRectWH all{0, 0, 4, 3};
  EXPECT_FALSE(MakeDIB32Rect(image, 96, all, info, bits));
  EXPECT_EQ(bits, nullptr);
  SetMemoryRefusals(1);
  EXPECT_FALSE(MakePackedDIB24(image, 96, info, bits));
  EXPECT_EQ(bits, nullptr);
  SetMemoryRefusals(0);
  TMTC invalid;
  EXPECT_FALSE(MakePackedDIB24(invalid, 96, info, bits));
}

TEST(Bmp, PackedDIB24PaddingIsZero) {
  TMTC image(1, 3);
  image.FillAll(0xFFFFFFFFu);
  SBitmapInfoHeader info;
  uint8_t* bits = nullptr;
  ASSERT_TRUE(MakePackedDIB24(image, 0, info, bits));
  ASSERT_EQ(info.sizeImage, 12u);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(bits[r * 4 + 0], 0xFF);
    EXPECT_EQ(bits[r * 4 + 3], 0x00) << "padding of row " << r;
  }
  FreeMem(bits);
}

TEST(Bmp, RowConverters) {
  const uint8_t rgb[6] = {1, 2, 3, 4, 5, 6};
  uint8_t out[8] = {9, 9, 9, 0xAA, 9, 9, 9, 0xBB};
  Rows24To32(out, rgb, 2);
  const uint8_t want[8] = {1, 2, 3, 0xAA, 4, 5, 6, 0xBB};
  EXPECT_EQ(0, std::memcmp(out, want, 8));
  uint8_t back[6] = {};
  Rows32To24(back, want, 2);
  EXPECT_EQ(0, std::memcmp(back, rgb, 6));
}

// Files written by another program (tests/data/gen_bmp_fixtures.py, Python's struct module).
// A 24-bit file leaves byte 3 of every pixel to the image's block: loaded into a fresh image it
// reads as zero, so two loads give the same bytes even when the allocator hands out blocks
// that held other data (each load follows a freed block of the same size full of a pattern).
TEST(Bmp, Load24IntoAFreshImageGivesTheSameBytesEveryTime) {
  TMTC image(45, 27);
  FillPattern(image);
  TempDir dir;
  ASSERT_TRUE(SaveBMP24(image, dir.File("fresh.bmp"), 96));
  const std::vector<uint8_t> file = ReadFile(dir.File("fresh.bmp"));
  std::vector<std::vector<uint32_t>> loads;
  for (uint8_t pattern : {uint8_t{0x5E}, uint8_t{0x0B}}) {
    void* used = nullptr;
    ASSERT_TRUE(TryGetMem(used, int64_t{4} * 45 * 27));
    std::memset(used, pattern, size_t{4} * 45 * 27);
    FreeMem(used);
    TMTC loaded;
    ASSERT_TRUE(LoadBMPFromMemory(loaded, file.data(), int64_t(file.size())));
    ASSERT_TRUE(loaded.FlipVerticalAll());
    EXPECT_EQ(PixelsOf(loaded), PixelsOf(image, 0x00FFFFFFu)) << "pattern " << int(pattern);
    loads.push_back(PixelsOf(loaded));
  }
  EXPECT_EQ(loads[0], loads[1]);
}

TEST(Bmp, ReadsFilesOfAnotherWriter) {
  struct Case {
    const char* name;
    bool loads;
    int32_t dpi;
    SSize size;
  } cases[] = {
      {"py_24bit_3x2.bmp", true, 96, {3, 2}},       {"py_24bit_gap.bmp", true, 96, {3, 2}},
      {"py_32bit_bitfields.bmp", true, 72, {2, 2}}, {"py_32bit_rgb.bmp", true, 0, {2, 2}},
      {"py_32bit_v5.bmp", false, 150, {0, 0}},      {"py_24bit_topdown.bmp", false, 96, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> data = ReadFile(DataFile(c.name));
    ASSERT_FALSE(data.empty());
    TMTC image;
    int32_t dpi = -1;
    EXPECT_EQ(LoadBMPFromMemory(image, data.data(), int64_t(data.size()), &dpi), c.loads);
    EXPECT_EQ(dpi, c.dpi);
    if (!c.loads) {
      EXPECT_FALSE(image.IsValid());
      continue;
    }
    ASSERT_EQ(image.Size(), c.size);
    image.FlipVerticalAll();
    if (c.size.width == 3) {
      EXPECT_EQ(PixelsOf(image, 0x00FFFFFFu),
                (std::vector<uint32_t>{0xFF0000u, 0x00FF00u, 0x0000FFu, 0x0A141Eu, 0x28323Cu, 0x46505Au}));
    } else {
      EXPECT_EQ(PixelsOf(image), (std::vector<uint32_t>{0x04010203u, 0x08050607u, 0xFDFAFBFCu, 0x000080FFu}));
    }
  }
}

// Valid files of each kind, to be cut and damaged.
std::vector<std::vector<uint8_t>> ValidFiles() {
  std::vector<std::vector<uint8_t>> files;
  for (const char* name : {"py_24bit_3x2.bmp", "py_24bit_gap.bmp", "py_32bit_bitfields.bmp", "py_32bit_rgb.bmp"})
    files.push_back(ReadFile(DataFile(name)));
  return files;
}

TEST(Bmp, TruncatedInputIsRefusedAndChangesNothing) {
  for (const std::vector<uint8_t>& file : ValidFiles()) {
    for (size_t n = 0; n < file.size(); ++n) {
      TMTC image(2, 1);
      image.FillAll(0x5A5A5A5Au);
      const uint8_t* before = image.Bits();
      MemoryStream stream(std::vector<uint8_t>(file.begin(), file.begin() + long(n)));
      EXPECT_FALSE(LoadBMP(image, stream)) << n;
      EXPECT_EQ(image.Size(), (SSize{2, 1})) << n;
      EXPECT_EQ(image.Bits(), before);
      EXPECT_EQ(PixelsOf(image), std::vector<uint32_t>(2, 0x5A5A5A5Au)) << n;
      TMTC fromMemory(2, 1);
      EXPECT_FALSE(LoadBMPFromMemory(fromMemory, file.data(), int64_t(n))) << n;
    }
  }
}

TEST(Bmp, StreamOfUnknownSizeKeepsCompleteRows) {
  // Without a size to check first, a short file loads its complete rows and answers false.
  std::vector<uint8_t> file = ReadFile(DataFile("py_24bit_3x2.bmp"));
  file.resize(54 + 12 + 5);
  TMTC image;
  PipeStream pipe(file);
  EXPECT_FALSE(LoadBMP(image, pipe));
  ASSERT_EQ(image.Size(), (SSize{3, 2}));
  EXPECT_EQ(image.GetPixel(0, 0) & 0xFFFFFFu, 0x0A141Eu);  // first stored row arrived
  // Complete data through the same kind of stream, with a gap to skip by reading.
  const std::vector<uint8_t> gap = ReadFile(DataFile("py_24bit_gap.bmp"));
  PipeStream pipe2(gap);
  TMTC image2;
  EXPECT_TRUE(LoadBMP(image2, pipe2));
  EXPECT_EQ(image2.GetPixel(2, 1) & 0xFFFFFFu, 0x0000FFu);
}

TEST(Bmp, RefusesBadHeadersBeforeAllocating) {
  const std::vector<uint8_t> good = ReadFile(DataFile("py_24bit_3x2.bmp"));
  const std::vector<uint8_t> bitfields = ReadFile(DataFile("py_32bit_bitfields.bmp"));
  struct Case {
    const char* what;
    bool useBitfields;
    size_t at;
    uint32_t value;
    int bytes;  // 2 or 4
  } cases[] = {
      {"magic", false, 0, 0x4D41, 2},
      {"info header size 12", false, 14, 12, 4},
      {"info header size 108", false, 14, 108, 4},
      {"width 0", false, 18, 0, 4},
      {"width negative", false, 18, uint32_t(-3), 4},
      {"height negative (top-down)", false, 22, uint32_t(-2), 4},
      {"width huge", false, 18, 0x7FFFFFFF, 4},
      {"height huge", false, 22, 0x7FFFFFFF, 4},
      {"over the pixel limit", false, 18, 100001, 4},
      {"width huge, height 0", false, 18, 1228603394, 4},
      {"bit count 8", false, 28, 8, 2},
      {"bit count 16", false, 28, 16, 2},
      {"compression RLE8", false, 30, 1, 4},
      {"bit fields without 3 colours", true, 46, 0, 4},
      {"red and blue masks swapped", true, 54, 0x000000FF, 4},
      {"alpha mask as red", true, 54, 0xFF000000, 4},
      {"alpha mask as blue", true, 62, 0xFF000000, 4},
      {"offset past the end", false, 10, 1000, 4},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> file = c.useBitfields ? bitfields : good;
    if (c.bytes == 2) {
      file[c.at] = uint8_t(c.value);
      file[c.at + 1] = uint8_t(c.value >> 8);
    } else {
      SetLe32(file, c.at, c.value);
    }
    if (std::string(c.what) == "over the pixel limit") SetLe32(file, 22, 1000001);
    if (std::string(c.what) == "width huge, height 0") SetLe32(file, 22, 0);
    TMTC image(1, 1);
    image.FillAll(7);
    SetMemoryRefusals(0);
    MemoryStream stream(file);
    EXPECT_FALSE(LoadBMP(image, stream)) << c.what;
    EXPECT_EQ(image.Size(), (SSize{1, 1})) << c.what;
    EXPECT_EQ(image.GetPixel(0, 0), 7u) << c.what;
  }
}

// An offset field pointing into the headers is not believed: the rows are read right after
// the headers (and the masks), as if the field were not there.
TEST(Bmp, OffsetInsideTheHeadersReadsTheRowsAfterThem) {
  struct Case {
    const char* name;
    uint32_t offset;
  } cases[] = {{"py_24bit_3x2.bmp", 0},
               {"py_24bit_3x2.bmp", 40},
               {"py_24bit_3x2.bmp", 53},
               {"py_32bit_bitfields.bmp", 54},
               {"py_32bit_bitfields.bmp", 60}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " offset " << c.offset);
    const std::vector<uint8_t> good = ReadFile(DataFile(c.name));
    TMTC expected;
    ASSERT_TRUE(LoadBMPFromMemory(expected, good.data(), int64_t(good.size())));
    std::vector<uint8_t> file = good;
    SetLe32(file, 10, c.offset);
    TMTC image;
    ASSERT_TRUE(LoadBMPFromMemory(image, file.data(), int64_t(file.size())));
    EXPECT_EQ(PixelsOf(image, 0x00FFFFFFu), PixelsOf(expected, 0x00FFFFFFu));  // 24 bits leave byte 3
  }
}

TEST(Bmp, SixtyByteFileAsksForNothingBig) {
  // 60 bytes claiming 30000 x 30000 pixels (and a file of 10000 x 10000, within the limit,
  // which the data cannot fill): refused without an allocation of the picture.
  for (int32_t side : {30000, 10000}) {
    std::vector<uint8_t> file(60, 0);
    EncodeBitmapFileHeader({kBmpMagic, 60, 0, 0, 54}, file.data());
    SBitmapInfoHeader info{40, side, side, 1, 32, 0, 0, 0, 0, 0, 0};
    EncodeBitmapInfoHeader(info, file.data() + 14);
    TMTC image;
    SetMemoryRefusals(0);
    EXPECT_FALSE(LoadBMPFromMemory(image, file.data(), 60));
    EXPECT_FALSE(image.IsValid());
  }
}

// A picture with no rows loads (true) as an empty image and allocates nothing, however wide (up
// to the pixel limit); a single row wider than the limit is refused. A 54-byte file claiming a width
// of 100000000 once had the reader allocate and clear a 400 MB row buffer.
TEST(Bmp, HeightZeroLoadsNothingAndAllocatesNothing) {
  struct Case {
    int32_t width;
    bool loads;
  } cases[] = {{4, true}, {int32_t{kMaxBmpPixels}, true}, {int32_t{kMaxBmpPixels} + 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    for (uint16_t bits : {24, 32}) {
      std::vector<uint8_t> file(54, 0);
      EncodeBitmapFileHeader({kBmpMagic, 54, 0, 0, 54}, file.data());
      SBitmapInfoHeader info{40, c.width, 0, 1, bits, 0, 0, 0, 0, 0, 0};
      EncodeBitmapInfoHeader(info, file.data() + 14);
      // Into a plain image and into a display image, which keeps at least one row when resized.
      TMTC plain;
      TTC display(3, 2);
      for (TMTC* image : {&plain, static_cast<TMTC*>(&display)}) {
        SetMemoryRefusals(1);
        test::ResetNewStats();
        EXPECT_EQ(LoadBMPFromMemory(*image, file.data(), 54), c.loads);
        const test::NewStats stats = test::CurrentNewStats();
        EXPECT_EQ(PendingMemoryRefusals(), 1);  // TryGetMem was never asked
        EXPECT_EQ(stats.calls, 0);
        SetMemoryRefusals(0);
        if (c.loads) {
          EXPECT_EQ(image->Size(), (SSize{0, 0}));
          EXPECT_FALSE(image->IsValid());
        }
      }
    }
  }
}

// A picture of exactly kMaxBmpPixels passes the size check (the reader goes on to ask for its
// row buffer, refused here by the hook), one pixel more is refused before any request. The
// stream cannot tell its size, so no truncation check stops the reader first.
TEST(Bmp, PixelLimitIsInclusive) {
  struct Case {
    int32_t width, height;
    bool withinLimit;
  } cases[] = {
      {10000, 10000, true},
      {int32_t{kMaxBmpPixels}, 1, true},
      {5882353, 17, false},  // 100000001 pixels
      {int32_t{kMaxBmpPixels} + 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    std::vector<uint8_t> file(54, 0);
    EncodeBitmapFileHeader({kBmpMagic, 54, 0, 0, 54}, file.data());
    SBitmapInfoHeader info{40, c.width, c.height, 1, 32, 0, 0, 0, 0, 0, 0};
    EncodeBitmapInfoHeader(info, file.data() + 14);
    PipeStream stream(file);
    TMTC image;
    SetMemoryRefusals(1);
    EXPECT_FALSE(LoadBMP(image, stream));
    EXPECT_EQ(PendingMemoryRefusals(), c.withinLimit ? 0 : 1);
    SetMemoryRefusals(0);
    EXPECT_FALSE(image.IsValid());
  }
}

TEST(Bmp, CorruptedBytesNeverCrash) {
  // Every byte of each valid file set to a few values; the reader answers and, when it refuses
  // on the headers, leaves the image alone.
  const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
  for (const std::vector<uint8_t>& good : ValidFiles()) {
    for (size_t at = 0; at < good.size(); ++at)
      for (uint8_t v : values) {
        std::vector<uint8_t> file = good;
        file[at] = v;
        TMTC image(1, 1);
        image.FillAll(9);
        int32_t dpi = 0;
        if (!LoadBMPFromMemory(image, file.data(), int64_t(file.size()), &dpi)) {
          EXPECT_EQ(image.Size(), (SSize{1, 1}));
          EXPECT_EQ(image.GetPixel(0, 0), 9u);
        } else {
          EXPECT_TRUE(image.IsValid() || image.Height() == 0);
        }
      }
  }
}

TEST(Bmp, LoadFailsCleanlyWhenMemoryRunsOut) {
  const std::vector<uint8_t> file = ReadFile(DataFile("py_24bit_3x2.bmp"));
  TMTC image;
  SetMemoryRefusals(1);
  EXPECT_FALSE(LoadBMPFromMemory(image, file.data(), int64_t(file.size())));
  SetMemoryRefusals(0);
  EXPECT_TRUE(LoadBMPFromMemory(image, file.data(), int64_t(file.size())));
  EXPECT_FALSE(LoadBMPFromMemory(image, nullptr, 10));
  EXPECT_FALSE(LoadBMPFromMemory(image, file.data(), 0));
}

TEST(Bmp, SaveFailuresAnswerFalseAndKeepTheOldFile) {
  TempDir dir;
  TMTC image(2, 2);
  FillPattern(image);
  // A folder that does not exist: false, nothing raised.
  EXPECT_FALSE(SaveBMP24(image, dir.File("missing/out.bmp"), 0));
  TTC dib(2, 2);
  EXPECT_FALSE(dib.SaveBMP24(dir.File("missing/out.bmp"), 0));
  // An invalid image does not replace a good file.
  const std::string path = dir.File("good.bmp");
  ASSERT_TRUE(SaveBMP24(image, path, 0));
  const std::vector<uint8_t> before = ReadFile(path);
  TMTC invalid;
  EXPECT_FALSE(SaveBMP24(invalid, path, 0));
  EXPECT_EQ(ReadFile(path), before);
  // Saving over an existing file replaces it whole.
  TMTC other(1, 1);
  other.FillAll(0);
  ASSERT_TRUE(SaveBMP24(other, path, 0));
  EXPECT_EQ(ReadFile(path).size(), 58u);
}

}  // namespace
}  // namespace tf
