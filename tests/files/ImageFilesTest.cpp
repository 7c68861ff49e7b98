// The image codecs and LoadImageFile against files other programs wrote (PIL, ImageMagick:
// tests/data/image_files.py), the writers read back by PIL, and damaged files of every reader.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "files/BmpCodec.h"
#include "files/ImageCodec.h"
#include "files/ImageFiles.h"
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

std::string Fixture(const std::string& name) { return std::string(TF_TEST_DATA_DIR) + "/images/" + name; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The PIL of the system's Python (tests/data/image_files.py needs numpy and PIL).
int RunImageScript(const std::string& arguments, std::map<std::string, std::string>& out, std::string& text) {
  struct stat st;
  const std::string python = ::stat("/usr/bin/python3", &st) == 0 ? "/usr/bin/python3" : "python3";
  const std::string command = python + " '" + TF_TEST_DATA_DIR + "/image_files.py' " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return 127;
  char buffer[65536];
  while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
  const int status = ::pclose(pipe);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    const size_t eq = line.find('=');
    if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
    at = end + 1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string Hex(const uint8_t* bytes, size_t count) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < count; ++i) {
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  return s;
}

// The image's pixels as R, G, B, A bytes (PIL's order).
std::vector<uint8_t> Rgba(const TMTC& image) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) {
      const uint32_t p = image.GetPixel(x, y);
      out.push_back(static_cast<uint8_t>(p >> 16));
      out.push_back(static_cast<uint8_t>(p >> 8));
      out.push_back(static_cast<uint8_t>(p));
      out.push_back(static_cast<uint8_t>(p >> 24));
    }
  return out;
}

struct DecodeCase {
  const char* name;
  bool compareAlpha;  // false where PIL drops an alpha byte we keep (32-bit BMP without fields)
  int32_t dpi;        // expected resolution, -1: not checked
};

// Every fixture decodes to PIL's pixels (JPEG too: both use the system's libjpeg-turbo).
TEST(ImageFilesTest, FixturesDecodeAsPilDoes) {
  const DecodeCase cases[] = {
      {"rgb8.png", true, 0},         {"rgba8.png", true, -1},        {"grey8.png", true, -1},
      {"greya8.png", true, -1},      {"grey1.png", true, -1},        {"grey16.png", true, -1},
      {"pal4_trns.png", true, -1},   {"pal8.png", true, -1},         {"rgb8_300dpi.png", true, 300},
      {"rgb16.png", true, -1},       {"rgb8_adam7.png", true, -1},   {"rgba8_adam7.png", true, -1},
      {"rgba16.png", true, -1},      {"rgb8_trns.png", true, -1},    {"colour.jpg", true, -1},
      {"progressive.jpg", true, -1}, {"dpi150.jpg", true, 150},      {"grey.jpg", true, -1},
      {"cmyk_pil.jpg", true, -1},    {"cmyk.jpg", true, -1},         {"dpcm40.jpg", true, 102},
      {"truncated.jpg", true, -1},   {"rgb24.bmp", true, 96},        {"mono1.bmp", true, -1},
      {"pal8.bmp", true, -1},        {"grey8.bmp", true, -1},        {"rgbx32.bmp", false, -1},
      {"pal4.bmp", true, -1},        {"rle4.bmp", true, -1},         {"rle8.bmp", true, -1},
      {"rgb555.bmp", true, -1},      {"rgb565.bmp", true, -1},       {"topdown24.bmp", true, -1},
      {"v5_32.bmp", true, 96},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> expected = ReadBytes(Fixture(std::string(c.name) + ".rgba"));
    ASSERT_GE(expected.size(), 8u);
    int32_t w, h;
    std::memcpy(&w, expected.data(), 4);
    std::memcpy(&h, expected.data() + 4, 4);
    int32_t dpi = -5;
    std::unique_ptr<TMTC> image = LoadImageFile(Fixture(c.name), &dpi);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Width(), w);
    ASSERT_EQ(image->Height(), h);
    const std::vector<uint8_t> got = Rgba(*image);
    ASSERT_EQ(got.size() + 8, expected.size());
    int differing = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      if (!c.compareAlpha && i % 4 == 3) continue;
      if (got[i] != expected[i + 8]) ++differing;
    }
    EXPECT_EQ(differing, 0) << "first bytes " << Hex(got.data(), 16) << " vs " << Hex(expected.data() + 8, 16);
    if (c.dpi >= 0) EXPECT_EQ(dpi, c.dpi);
  }
}

TEST(ImageFilesTest, ThirtyTwoBitBmpWithoutFieldsKeepsByteThree) {
  // PIL reads it as RGB; the fourth byte of each pixel is what the file holds.
  const std::vector<uint8_t> file = ReadBytes(Fixture("rgbx32.bmp"));
  std::unique_ptr<TMTC> image = LoadImageFile(Fixture("rgbx32.bmp"));
  ASSERT_TRUE(image);
  const uint8_t* bottomRow = file.data() + 54;  // first stored row is the bottom one
  EXPECT_EQ(image->GetPixel(3, image->Height() - 1), LoadLE<uint32_t>(bottomRow + 12));
}

TEST(ImageFilesTest, ReaderIsChosenByExtensionWithoutRegardToCase) {
  test::ScopedTempFolder folder("imgext");
  const std::vector<uint8_t> jpeg = ReadBytes(Fixture("colour.jpg"));
  WriteBytes(folder.File("photo.JFIF"), jpeg);
  WriteBytes(folder.File("photo.gif"), jpeg);
  WriteBytes(folder.File("photo"), jpeg);
  WriteBytes(folder.File("photo.PNG"), jpeg);  // a JPEG named .png goes to the PNG reader
  EXPECT_TRUE(LoadImageFile(folder.File("photo.JFIF")));
  EXPECT_FALSE(LoadImageFile(folder.File("photo.gif")));
  EXPECT_FALSE(LoadImageFile(folder.File("photo")));
  EXPECT_FALSE(LoadImageFile(folder.File("photo.PNG")));
  EXPECT_FALSE(LoadImageFile(folder.File("missing.bmp")));
}

TEST(ImageFilesTest, CoreHeaderBmpHasNoResolution) {
  // 2 x 1, 24 bits, 12-byte core header.
  std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 24, 0,
                               1, 2, 3, 4, 5, 6, 0, 0};
  test::ScopedTempFolder folder("imgcore");
  WriteBytes(folder.File("core.bmp"), file);
  int32_t dpi = -1;
  std::unique_ptr<TMTC> image = LoadImageFile(folder.File("core.bmp"), &dpi);
  ASSERT_TRUE(image);
  EXPECT_EQ(dpi, 0);
  EXPECT_EQ(image->GetPixel(0, 0), 0xFF030201u);
  EXPECT_EQ(image->GetPixel(1, 0), 0xFF060504u);
}

TEST(ImageFilesTest, PsdRowsFailLoudlyUntilTheReaderIsConnected) {
  std::string lines;
  DebugSink old = SetDebugSink([&](std::string_view text) { lines += text; });
  test::ScopedTempFolder folder("imgpsd");
  WriteBytes(folder.File("a.psd"), {'8', 'B', 'P', 'S'});
  SSize size{0, 0};
  EXPECT_FALSE(LoadImageFile(folder.File("a.psd")));
  EXPECT_FALSE(LoadPsdPreview(folder.File("a.psd"), size));
  EXPECT_FALSE(LoadPsdPreview(folder.File("a.png"), size));
  SetDebugSink(old);
  EXPECT_NE(lines.find("PSD files are not built yet"), std::string::npos);
}

// Damaged files of every reader: null, no crash, no process end.
TEST(ImageFilesTest, DamagedFilesGiveNull) {
  struct Damage {
    const char* fixture;
    const char* what;
    std::function<void(std::vector<uint8_t>&)> change;
  };
  auto cut = [](size_t keep) { return [keep](std::vector<uint8_t>& b) { b.resize(std::min(b.size(), keep)); }; };
  auto poke = [](size_t at, uint8_t value) {
    return [at, value](std::vector<uint8_t>& b) {
      if (at < b.size()) b[at] = value;
    };
  };
  auto putBe32 = [](size_t at, uint32_t v) {
    return [at, v](std::vector<uint8_t>& b) {
      for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
  };
  auto putLe32 = [](size_t at, uint32_t v) {
    return [at, v](std::vector<uint8_t>& b) { StoreLE<uint32_t>(b.data() + at, v); };
  };
  const Damage damages[] = {
      {"rgb8.png", "signature only", cut(8)},
      {"rgb8.png", "cut in IHDR", cut(20)},
      {"rgb8.png", "cut in IDAT", cut(70)},
      {"rgb8.png", "IHDR crc wrong", poke(29, 0x00)},
      {"rgb8.png", "width 0", putBe32(16, 0)},
      {"rgb8.png", "20000 x 20000", [&](std::vector<uint8_t>& b) {
         putBe32(16, 20000)(b);
         putBe32(20, 20000)(b);
       }},
      {"rgba8_adam7.png", "cut in the passes", cut(200)},
      {"colour.jpg", "two bytes", cut(2)},
      {"colour.jpg", "cut in the headers", cut(150)},
      {"colour.jpg", "no SOI", poke(1, 0x00)},
      {"colour.jpg", "65500 x 65500", [](std::vector<uint8_t>& b) {
         // SOF0 length, precision, height, width
         for (size_t i = 2; i + 9 < b.size(); ++i)
           if (b[i] == 0xFF && b[i + 1] == 0xC0) {
             b[i + 5] = 0xFF, b[i + 6] = 0xDC, b[i + 7] = 0xFF, b[i + 8] = 0xDC;
             break;
           }
       }},
      {"rgb24.bmp", "cut in the rows", cut(80)},
      {"rgb24.bmp", "cut in the header", cut(30)},
      {"rgb24.bmp", "height INT32_MIN", putLe32(22, 0x80000000u)},
      {"rgb24.bmp", "20000 x 20000", [&](std::vector<uint8_t>& b) {
         putLe32(18, 20000)(b);
         putLe32(22, 20000)(b);
       }},
      {"rgb24.bmp", "header size 41", putLe32(14, 41)},
      {"pal8.bmp", "600 colours", putLe32(46, 600)},
      {"rgb24.bmp", "bit count 7", [](std::vector<uint8_t>& b) { b[28] = 7; }},
      {"rle8.bmp", "RLE8 top-down", putLe32(22, static_cast<uint32_t>(-5))},
  };
  test::ScopedTempFolder folder("imgbad");
  for (const Damage& d : damages) {
    SCOPED_TRACE(std::string(d.fixture) + ": " + d.what);
    std::vector<uint8_t> bytes = ReadBytes(Fixture(d.fixture));
    d.change(bytes);
    const std::string path = folder.File((std::string("bad.") + LowerExtension(d.fixture)).c_str());
    WriteBytes(path, bytes);
    EXPECT_FALSE(LoadImageFile(path));
  }
}

TEST(ImageFilesTest, RleRunsPastThePictureAreClipped) {
  // 4 x 2 RLE8: a run of 200 pixels on the first row, a delta far outside, an absolute run
  // longer than the row; indexes past the 2-entry table read entry 0.
  std::vector<uint8_t> pixels = {200, 1, 0, 0, 0, 2, 250, 250, 0, 5, 1, 7, 1, 1, 1, 0, 0, 1};
  std::vector<uint8_t> file(14 + 40 + 8);
  file[0] = 'B', file[1] = 'M';
  StoreLE<uint32_t>(file.data() + 10, 14 + 40 + 8);
  SBitmapInfoHeader h{40, 4, 2, 1, 8, kBiRle8, static_cast<uint32_t>(pixels.size()), 0, 0, 2, 0};
  EncodeBitmapInfoHeader(h, file.data() + 14);
  StoreLE<uint32_t>(file.data() + 54, 0x00102030u);
  StoreLE<uint32_t>(file.data() + 58, 0x00A0B0C0u);
  file.insert(file.end(), pixels.begin(), pixels.end());
  SDib dib;
  ASSERT_TRUE(ParseBmpFile(file.data(), file.size(), dib));
  std::unique_ptr<TMTC> image = DibToImage32(dib);
  ASSERT_TRUE(image);
  // Bottom row (stored first): four pixels of index 1.
  for (int x = 0; x < 4; ++x) EXPECT_EQ(image->GetPixel(x, 1), 0xFFA0B0C0u);
  // The delta leaves the picture; the top row stays entry 0.
  for (int x = 0; x < 4; ++x) EXPECT_EQ(image->GetPixel(x, 0), 0xFF102030u);
}

TEST(ImageFilesTest, ColourIndexBeyondTheTableReadsEntryZero) {
  // 3 x 1 at 8 bits with a 2-entry table: indexes 1, 2, 255.
  std::vector<uint8_t> block(40 + 8 + 4);
  SBitmapInfoHeader h{40, 3, 1, 1, 8, kBiRgb, 4, 0, 0, 2, 0};
  EncodeBitmapInfoHeader(h, block.data());
  StoreLE<uint32_t>(block.data() + 40, 0x00112233u);
  StoreLE<uint32_t>(block.data() + 44, 0x00445566u);
  block[48] = 1, block[49] = 2, block[50] = 255;
  SDib dib;
  ASSERT_TRUE(ParsePackedDib(block.data(), block.size(), dib));
  std::unique_ptr<TMTC> image = DibToImage32(dib);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetPixel(0, 0), 0xFF445566u);
  EXPECT_EQ(image->GetPixel(1, 0), 0xFF112233u);
  EXPECT_EQ(image->GetPixel(2, 0), 0xFF112233u);
}

// A picture with every byte different enough to show a swapped channel or row.
SDib TestDib(int32_t width, int32_t height, uint16_t bits, int32_t dpi) {
  SDib dib;
  EXPECT_TRUE(dib.Make(width, height, bits, DpiToPelsPerMeter(dpi)));
  const int64_t stride = DibRowLength(width, bits);
  for (int64_t y = 0; y < dib.Rows(); ++y) {
    uint8_t* row = dib.pixels.get() + y * stride;
    std::memset(row, 0, static_cast<size_t>(stride));
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = row + x * (bits / 8);
      p[0] = static_cast<uint8_t>(x * 7 + y);
      p[1] = static_cast<uint8_t>(y * 13);
      p[2] = static_cast<uint8_t>(x * 3 + y * 5);
      if (bits == 32) p[3] = static_cast<uint8_t>(x * 11 + y * 17);
    }
  }
  return dib;
}

// The DIB's pixels as PIL shows them: R, G, B(, A) top row first.
std::string ExpectedHex(const SDib& dib, bool alpha) {
  const int64_t stride = DibRowLength(dib.Width(), dib.header.bitCount);
  const int bpp = dib.header.bitCount / 8;
  std::vector<uint8_t> out;
  for (int64_t y = 0; y < dib.Rows(); ++y) {
    const uint8_t* row = dib.pixels.get() + (dib.TopDown() ? y : dib.Rows() - 1 - y) * stride;
    for (int32_t x = 0; x < dib.Width(); ++x) {
      const uint8_t* p = row + x * bpp;
      out.insert(out.end(), {p[2], p[1], p[0], static_cast<uint8_t>(alpha ? p[3] : 255)});
    }
  }
  return Hex(out.data(), out.size());
}

TEST(ImageFilesTest, PngWriterIsReadBackByPilExactly) {
  test::ScopedTempFolder folder("imgpng");
  for (uint16_t bits : {uint16_t{24}, uint16_t{32}}) {
    for (int32_t height : {5, -5}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, height " << height);
      const SDib dib = TestDib(7, height, bits, 144);
      const std::string path = folder.File("w.png");
      ASSERT_EQ(pngSaveImage(path, dib, -1), kImageOk);
      std::map<std::string, std::string> out;
      std::string text;
      ASSERT_EQ(RunImageScript("probe '" + path + "'", out, text), 0) << text;
      EXPECT_EQ(out["mode"], bits == 32 ? "RGBA" : "RGB");
      EXPECT_EQ(out["size"], "7x5");
      EXPECT_EQ(out["dpi"], "144");
      EXPECT_EQ(out["rgba"], ExpectedHex(dib, bits == 32));
    }
  }
}

TEST(ImageFilesTest, JpegOptionsReachTheFile) {
  struct Case {
    SJpegOptions options;
    const char* mode;
    int progressive;
  };
  const Case cases[] = {
      {{0, 0, 0, 75, 0}, "RGB", 0},
      {{-1, 0, 0, 75, 0}, "RGB", 1},
      {{0, -1, 0, 75, 0}, "L", 0},
      {{-1, -1, -1, 60, 30}, "L", 1},
      {{0, 0, -1, 100, 50}, "RGB", 0},
  };
  test::ScopedTempFolder folder("imgjpg");
  const SDib dib = TestDib(32, 16, 32, 72);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " progressive " << c.progressive << " quality " << c.options.quality);
    const std::string path = folder.File("w.jpg");
    ASSERT_EQ(jpegSaveImage(path, dib, c.options), kImageOk);
    const std::vector<uint8_t> bytes = ReadBytes(path);
    // SOF2 marks a progressive file.
    bool sof2 = false;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
      if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) sof2 = true;
    EXPECT_EQ(sof2, c.progressive == 1);
    std::map<std::string, std::string> out;
    std::string text;
    ASSERT_EQ(RunImageScript("probe '" + path + "'", out, text), 0) << text;
    EXPECT_EQ(out["mode"], c.mode);
    EXPECT_EQ(out["progressive"], std::to_string(c.progressive));
  }
  // Quality 100 without smoothing: a picture without colour (no chroma to subsample) comes back
  // within 2 levels.
  SDib smooth;
  ASSERT_TRUE(smooth.Make(32, 16, 32, 0));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x)
      StoreLE<uint32_t>(smooth.pixels.get() + 4 * (y * 32 + x), 0xFF000000u | ((x * 6 + y * 3) * 0x010101u));
  const std::string path = folder.File("q100.jpg");
  ASSERT_EQ(jpegSaveImage(path, smooth, SJpegOptions{0, 0, 0, 100, 0}), kImageOk);
  std::unique_ptr<TMTC> back = LoadImageFile(path);
  ASSERT_TRUE(back);
  std::unique_ptr<TMTC> source = DibToImage32(smooth);
  int worst = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x)
      for (int s = 0; s < 24; s += 8) {
        const int a = (back->GetPixel(x, y) >> s) & 0xFF, b = (source->GetPixel(x, y) >> s) & 0xFF;
        worst = std::max(worst, std::abs(a - b));
      }
  EXPECT_LE(worst, 2);
}

TEST(ImageFilesTest, ResolutionRoundTripsThroughEveryWriter) {
  test::ScopedTempFolder folder("imgdpi");
  for (int32_t dpi = 72; dpi <= 600; ++dpi) {
    const SDib dib = TestDib(2, 2, 24, dpi);
    int32_t read = 0;
    ASSERT_EQ(jpegSaveImage(folder.File("d.jpg"), dib, SJpegOptions{}), kImageOk);
    ASSERT_TRUE(LoadImageFile(folder.File("d.jpg"), &read));
    ASSERT_EQ(read, dpi) << "jpeg";
    ASSERT_EQ(pngSaveImage(folder.File("d.png"), dib, -1), kImageOk);
    ASSERT_TRUE(LoadImageFile(folder.File("d.png"), &read));
    ASSERT_EQ(read, dpi) << "png";
    ASSERT_EQ(bmpSaveImage(folder.File("d.bmp"), dib), kImageOk);
    ASSERT_TRUE(LoadImageFile(folder.File("d.bmp"), &read));
    ASSERT_EQ(read, dpi) << "bmp";
  }
}

TEST(ImageFilesTest, ThirtyTwoBitBmpKeepsAlpha) {
  test::ScopedTempFolder folder("imgbmp");
  const SDib dib = TestDib(5, 3, 32, 96);
  ASSERT_EQ(bmpSaveImage(folder.File("a.bmp"), dib), kImageOk);
  std::unique_ptr<TMTC> back = LoadImageFile(folder.File("a.bmp"));
  ASSERT_TRUE(back);
  const std::vector<uint8_t> rgba = Rgba(*back);
  EXPECT_EQ(Hex(rgba.data(), rgba.size()), ExpectedHex(dib, true));
}

TEST(ImageFilesTest, FailedWriteLeavesTheOldFileByteIdentical) {
  test::ScopedTempFolder folder("imgkeep");
  SDib broken = TestDib(4, 4, 24, 72);
  broken.pixelBytes = 5;  // shorter than its rows
  SDib eightBit = TestDib(4, 4, 24, 72);
  eightBit.header.bitCount = 8;  // the PNG and JPEG writers take 24 and 32 bits only
  for (const char* name : {"old.png", "old.jpg", "old.bmp"}) {
    SCOPED_TRACE(name);
    const std::string path = folder.File(name);
    const std::vector<uint8_t> old = {1, 2, 3, 4, 5, 6, 7};
    WriteBytes(path, old);
    const std::string ext = LowerExtension(path);
    if (ext == "png") {
      EXPECT_NE(pngSaveImage(path, broken, -1), kImageOk);
      EXPECT_NE(pngSaveImage(path, eightBit, -1), kImageOk);
    } else if (ext == "jpg") {
      EXPECT_NE(jpegSaveImage(path, broken, SJpegOptions{}), kImageOk);
      EXPECT_NE(jpegSaveImage(path, eightBit, SJpegOptions{}), kImageOk);
    } else {
      EXPECT_NE(bmpSaveImage(path, broken), kImageOk);
    }
    EXPECT_EQ(ReadBytes(path), old);
  }
  // A folder that cannot take the temporary file: the target stays too.
  const std::string sub = folder.File("ro");
  ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
  const std::string target = sub + "/x.png";
  WriteBytes(target, {9, 9});
  ASSERT_EQ(::chmod(sub.c_str(), 0500), 0);
  if (::access(sub.c_str(), W_OK) != 0) {  // root writes anyway
    EXPECT_NE(pngSaveImage(target, TestDib(3, 3, 24, 72), -1), kImageOk);
    EXPECT_EQ(ReadBytes(target), (std::vector<uint8_t>{9, 9}));
  }
  ::chmod(sub.c_str(), 0700);
}

TEST(ImageFilesTest, JpegEncodedIntoMemoryForOtherFormats) {
  // 3 x 2 R, G, B rows as a PSD thumbnail holds them.
  const uint8_t rgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 128, 128, 128, 0, 0, 0};
  std::vector<uint8_t> out;
  ASSERT_TRUE(JpegEncodeRgb24(rgb, 9, 3, 2, 100, out));
  ASSERT_GT(out.size(), 100u);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xD8);
  SDib dib;
  ASSERT_EQ(JpegDecode(out.data(), out.size(), dib), kImageOk);
  EXPECT_EQ(dib.Width(), 3);
  EXPECT_EQ(dib.Rows(), 2);
  EXPECT_FALSE(JpegEncodeRgb24(rgb, 9, 0, 2, 100, out));
  EXPECT_TRUE(out.empty());
}

TEST(ImageFilesTest, JpegScaledDecodeForPreviews) {
  const std::vector<uint8_t> bytes = ReadBytes(Fixture("truncated.jpg"));
  SDib dib;
  int32_t w = 0, h = 0;
  ASSERT_EQ(JpegDecodeScaled(bytes.data(), bytes.size(), 8, dib, &w, &h), kImageOk);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  EXPECT_EQ(dib.Width(), 8);
  EXPECT_EQ(dib.Rows(), 6);
}

}  // namespace
}  // namespace tf
