// PSD files: the codecs, files made by psd-tools opened as documents, our exports read back by
// psd-tools (tests/data/psd_files.py), export then import, and malformed files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "files/JpegCodec.h"
#include "files/PsdFile.h"
#include "files/psd/PsdCodec.h"
#include "files/psd/PsdReader.h"
#include "files/psd/PsdWriter.h"
#include "paper/PaperTestSupport.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

std::string Fixture(const char* name) { return std::string(TF_TEST_DATA_DIR) + "/psd/" + name; }

using test::FileBytes;
void PutBytes(const std::string& path, const std::vector<uint8_t>& bytes) { test::WriteFileBytes(path, bytes); }

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// psd-tools reading a file: key=value lines; false when the script could not run.
bool ReadWithPsdTools(const std::string& path, std::map<std::string, std::string>& out, std::string& text) {
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    out.clear();
    text.clear();
    if (test::RunDataScript("psd_files.py", "read '" + path + "'", out, text, python) == 0 && out["ok"] == "1")
      return true;
  }
  return false;
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}
void PutBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (24 - 8 * k));
}
void PutBe16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

// Where the sections of a PSD file begin.
struct SLayout {
  size_t resources = 0;     // its length field
  size_t layerSection = 0;  // its length field
  size_t layerCount = 0;    // the int16 count
  size_t firstRecord = 0;
  size_t channelData = 0;   // after the first record (files with one layer)
  size_t merged = 0;        // compression field of the merged picture
};

SLayout LayoutOf(const std::vector<uint8_t>& b) {
  SLayout l;
  l.resources = 26 + 4 + Be32(b, 26);
  l.layerSection = l.resources + 4 + Be32(b, l.resources);
  l.layerCount = l.layerSection + 8;
  l.firstRecord = l.layerCount + 2;
  const size_t channels = static_cast<size_t>(b[l.firstRecord + 16] << 8 | b[l.firstRecord + 17]);
  const size_t extraAt = l.firstRecord + 18 + channels * 6 + 12;
  l.channelData = extraAt + 4 + Be32(b, extraAt);
  l.merged = l.layerSection + 4 + Be32(b, l.layerSection);
  return l;
}

class PsdTest : public test::TempFolderTest {
 protected:
  PsdTest() : TempFolderTest("tf-psd") {}
  test::PaperTestScope scope;

  // A document of w x h with layers filled from their coordinates.
  void MakeDocument(HeadlessDocumentWindow& window, int32_t w, int32_t h) {
    TPaper& paper = window.Paper();
    ASSERT_TRUE(paper.NewDocument("d.tfi", &window.Flow(), true, false, 96, h, w));
    CLayerData& base = *paper.GetLayer(0);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        base.Store()->SetPixel(x, y, 0xFF000000u | uint32_t(x * 7) << 16 | uint32_t(y * 9) << 8 | uint32_t(x + y));
    base.name = "base";
  }

  std::string ImportedSummary(const TPaper& paper) {
    std::string s;
    for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
      const CLayerData& l = *paper.GetLayer(i);
      s += Cp932ToUtf8(l.name) + ":" + std::to_string(l.blendMode) + "/" + std::to_string(l.opacity) + "/" +
           std::to_string(l.visible) + ";";
    }
    return s;
  }
};

// ---- Codecs ----

TEST(PsdCodecTest, PackBitsRoundTripsRowsOfEveryShape) {
  std::vector<std::vector<uint8_t>> rows = {
      {}, {7}, {1, 2}, {5, 5}, {5, 5, 5}, std::vector<uint8_t>(300, 9), std::vector<uint8_t>(129, 1)};
  std::vector<uint8_t> mixed;
  for (int i = 0; i < 1000; ++i) mixed.push_back(static_cast<uint8_t>((i / 7) % 3 == 0 ? 4 : i * 31));
  rows.push_back(mixed);
  // Seeded runs and literals of every length around the 16-byte steps and the 128 limit.
  uint32_t seed = 12345;
  for (int r = 0; r < 40; ++r) {
    std::vector<uint8_t> row;
    while (row.size() < 700) {
      seed = seed * 1103515245u + 12345u;
      const size_t length = 1 + (seed >> 16) % 150;
      const bool repeat = (seed >> 8) & 1;
      for (size_t k = 0; k < length; ++k) row.push_back(uint8_t(repeat ? seed >> 24 : (seed >> 24) + k * 37));
    }
    rows.push_back(row);
  }
  for (const auto& row : rows) {
    std::vector<uint8_t> packed(static_cast<size_t>(PackBitsBound(static_cast<int64_t>(row.size()))) + 1);
    const int64_t n = PackBitsEncodeRow(row.data(), static_cast<int64_t>(row.size()), packed.data());
    ASSERT_LE(n, PackBitsBound(static_cast<int64_t>(row.size())));
    std::vector<uint8_t> back(row.size() + 1, 0xEE);
    ASSERT_TRUE(PackBitsDecodeRow(packed.data(), n, back.data(), static_cast<int64_t>(row.size())));
    EXPECT_TRUE(std::equal(row.begin(), row.end(), back.begin()));
    EXPECT_EQ(back[row.size()], 0xEE);  // nothing past the row
  }
}

TEST(PsdCodecTest, PackBitsCountsPastTheRowOrTheDataFail) {
  struct Case {
    std::vector<uint8_t> packed;
    int64_t width;
    bool ok;
  } cases[] = {
      {{2, 1, 2, 3}, 3, true},
      {{2, 1, 2, 3}, 2, false},         // literal past the row
      {{3, 1, 2, 3}, 4, false},         // literal past the data
      {{0xFE, 9}, 3, true},             // repeat of 3
      {{0xFD, 9}, 3, false},            // repeat of 4 past the row
      {{0xFE}, 3, false},               // repeat without its byte
      {{0x80, 0x00, 7}, 1, true},       // -128 is no operation
      {{0x00, 7}, 2, false},            // data ends before the row is full
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> row(static_cast<size_t>(c.width) + 4, 0);
    EXPECT_EQ(PackBitsDecodeRow(c.packed.data(), static_cast<int64_t>(c.packed.size()), row.data(), c.width), c.ok)
        << Hex(c.packed);
  }
}

// ---- Files made by psd-tools ----

TEST_F(PsdTest, GreyscaleLayerHasEqualColourBytes) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_EQ(ImportPsdFile(Fixture("grey_layer.psd"), paper), 0);
  EXPECT_TRUE(scope.warnings.Texts().empty());
  ASSERT_EQ(paper.GetLayerCount(), 1);
  EXPECT_EQ(paper.resolution, 144);
  const CBlockVMTC& store = *paper.GetLayer(0)->Store();
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const uint32_t v = uint32_t(x * 30 + y);
      ASSERT_EQ(store.GetPixel(x, y), uint32_t(255 - x * 5) << 24 | v << 16 | v << 8 | v) << x << "," << y;
    }
  EXPECT_EQ(paper.GetLayer(0)->name, "grey");
  // No alpha channels: one empty mask, active; the selection shown and enabled.
  ASSERT_EQ(paper.MaskMngr()->GetCount(), 1);
  EXPECT_EQ(paper.MaskMngr()->GetActiveIndex(), 0);
  EXPECT_EQ(paper.selectionVisible, 1);
  EXPECT_EQ(paper.selectionEnabled, 1);
  EXPECT_EQ(paper.showCanvasColor, 0);
}

TEST_F(PsdTest, FilesWithoutLayersGiveOneOpaqueBackground) {
  struct Case {
    const char* file;
    uint32_t pixel12;  // pixel (1, 2)
    uint32_t pixel20;  // pixel (2, 0)
  } cases[] = {
      {"rgb_flat.psd", 0xFF000000u | 32u << 16 | 121u << 8 | 193u, 0xFF000000u | 50u << 16 | 102u << 8 | 198u},
      {"grey_flat.psd", 0xFF202020u, 0xFF3C3C3Cu},
      // Bitmap rows 0b1011_00yy: bit set is black.
      {"bitmap_flat.psd", 0xFFFFFFFFu, 0xFF000000u},
  };
  for (const Case& c : cases) {
    HeadlessDocumentWindow window;
    TPaper& paper = window.Paper();
    ASSERT_EQ(ImportPsdFile(Fixture(c.file), paper), 0) << c.file;
    ASSERT_EQ(paper.GetLayerCount(), 1);
    const CLayerData& layer = *paper.GetLayer(0);
    EXPECT_EQ(Cp932ToUtf8(layer.name), "(背景)");
    EXPECT_EQ(layer.Store()->GetPixel(1, 2), c.pixel12) << c.file;
    EXPECT_EQ(layer.Store()->GetPixel(2, 0), c.pixel20) << c.file;
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(layer.Store()->GetPixel(x, y) >> 24, 255u);
  }
}

TEST_F(PsdTest, LayersComeInWithModesOffsetsNamesAndAlphaChannels) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_EQ(ImportPsdFile(Fixture("layers.psd"), paper), 0);
  EXPECT_TRUE(scope.warnings.Texts().empty()) << scope.warnings.Texts().front();
  ASSERT_EQ(paper.GetLayerCount(), 4);

  // Dissolve at 128 (raw data) at (-10, -5): normal at 255, dissolve 128; the store grows.
  const CLayerData& diss = *paper.GetLayer(0);
  EXPECT_EQ(diss.blendMode, 3);
  EXPECT_EQ(diss.opacity, 255);
  EXPECT_EQ(diss.dissolve, 1);
  EXPECT_EQ(diss.dissolveThreshold, 128);
  EXPECT_EQ(diss.offsetX, 10);
  EXPECT_EQ(diss.offsetY, 5);
  EXPECT_EQ(diss.StoreWidth(), 18);
  EXPECT_EQ(diss.StoreHeight(), 11);
  EXPECT_EQ(diss.Store()->GetPixel(3, 2), uint32_t(43) << 24 | uint32_t(10 + 60 + 2) << 16 |
                                               uint32_t(100 + 3 + 20) << 8 | uint32_t(200 - 3 - 6));
  EXPECT_EQ(diss.Store()->GetPixel(16, 9) >> 24, 0u);  // outside the layer rectangle

  // Hidden multiply layer (zip), protected, with its 'luni' name and id.
  const CLayerData& mul = *paper.GetLayer(1);
  EXPECT_EQ(mul.blendMode, 0);
  EXPECT_EQ(mul.opacity, 77);
  EXPECT_EQ(mul.visible, 0);
  EXPECT_EQ(mul.alphaProtect, 1);
  EXPECT_EQ(Cp932ToUtf8(mul.name), "乗算レイヤ");
  EXPECT_EQ(mul.Store()->GetPixel(2 + 4, 1 + 3), uint32_t(207) << 24 | uint32_t(10 + 80 + 3) << 16 |
                                                     uint32_t(100 + 4 + 30) << 8 | uint32_t(200 - 4 - 9));

  // The group divider (flags 0x18) is a hidden empty layer.
  const CLayerData& divider = *paper.GetLayer(2);
  EXPECT_EQ(divider.visible, 0);
  EXPECT_EQ(divider.StoreWidth(), 8);

  // Screen, zip with row deltas, no name but an id: "(レイヤ 7)".
  const CLayerData& screen = *paper.GetLayer(3);
  EXPECT_EQ(screen.blendMode, 4);
  EXPECT_EQ(Cp932ToUtf8(screen.name), "(レイヤ 7)");
  EXPECT_EQ(screen.Store()->GetPixel(7, 5), 0xFF000000u | uint32_t(10 + 140 + 5) << 16 | uint32_t(100 + 7 + 50) << 8 |
                                                 uint32_t(200 - 7 - 15));

  // Two alpha channels named by 1006, then the empty mask made active.
  CMaskMngr& masks = *paper.MaskMngr();
  ASSERT_EQ(masks.GetCount(), 3);
  EXPECT_EQ(masks.GetMask(0)->name, "first");
  EXPECT_EQ(masks.GetMask(1)->name, "\x83\x8f");
  EXPECT_EQ(masks.GetMask(0)->Store()->GetPixel(3, 4), 60);
  EXPECT_EQ(masks.GetMask(1)->Store()->GetPixel(4, 0), 255);
  EXPECT_EQ(masks.GetMask(1)->Store()->GetPixel(3, 0), 0);
  EXPECT_EQ(masks.GetActiveIndex(), 2);
  EXPECT_FALSE(masks.GetMask(2)->IsAllocated());
}

TEST_F(PsdTest, MergedTransparencyPositionTakesANameButNoMask) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_EQ(ImportPsdFile(Fixture("merged_alpha.psd"), paper), 0);
  // Without a transparency channel the layer is opaque over its rectangle.
  EXPECT_EQ(paper.GetLayer(0)->Store()->GetPixel(5, 5) >> 24, 255u);
  CMaskMngr& masks = *paper.MaskMngr();
  ASSERT_EQ(masks.GetCount(), 2);
  EXPECT_EQ(masks.GetMask(0)->name, "sel");
  EXPECT_EQ(masks.GetMask(0)->Store()->GetPixel(3, 4), 60);
}

TEST_F(PsdTest, OtherDepthsAndModesAreRefused) {
  for (const char* file : {"rgb16.psd", "cmyk.psd"}) {
    HeadlessDocumentWindow window;
    EXPECT_EQ(ImportPsdFile(Fixture(file), window.Paper()), 15) << file;
  }
  HeadlessDocumentWindow window;
  EXPECT_EQ(ImportPsdFile(PathOf("none.psd"), window.Paper()), 4);
}

TEST_F(PsdTest, MergedAndPreviewPicturesOfAFile) {
  std::unique_ptr<TMTC> merged = LoadPsdMergedImage(Fixture("rgb_flat.psd"));
  ASSERT_TRUE(merged);
  EXPECT_EQ(merged->Width(), 8);
  EXPECT_EQ(merged->GetPixel(1, 2), 0xFF000000u | 32u << 16 | 121u << 8 | 193u);
  merged = LoadPsdMergedImage(Fixture("merged_alpha.psd"));
  ASSERT_TRUE(merged);
  EXPECT_EQ(merged->GetPixel(0, 0) >> 24, 99u);
  SSize size{};
  std::unique_ptr<TMTC> preview = ReadPsdPreview(Fixture("layers.psd"), size);
  ASSERT_TRUE(preview);
  EXPECT_EQ(size.width, 8);
  EXPECT_EQ(size.height, 6);
  EXPECT_FALSE(ReadPsdPreview(std::string(TF_TEST_DATA_DIR) + "/py_24bit_3x2.bmp", size));
  EXPECT_FALSE(LoadPsdMergedImage(Fixture("rgb16.psd")));
}

// ---- Our exports ----

TEST_F(PsdTest, ExportReadsInPsdToolsAsTheSameDocument) {
  HeadlessDocumentWindow window;
  MakeDocument(window, 9, 7);
  TPaper& paper = window.Paper();
  CLayerMngr& layers = paper.Layers();
  ASSERT_EQ(layers.InsertLayer(1, 14, 9, false, 99, false, 0), 1);
  CLayerData& top = *layers.Get(1);
  top.offsetX = 3;
  top.offsetY = 2;
  top.alphaProtect = 1;
  top.name = Utf8ToCp932("上のレイヤ");
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 14; ++x) top.Store()->SetPixel(x, y, uint32_t(x * 17) << 24 | uint32_t(y * 20) << 8 | 5);
  ASSERT_EQ(layers.InsertLayer(2, 9, 7, true, 200, false, 3), 2);
  layers.Get(2)->dissolve = 1;
  layers.Get(2)->dissolveThreshold = 128;
  layers.Get(2)->name = "d";
  auto mask = CMaskData::Create(1, 9, 7);
  for (int32_t y = 0; y < 7; ++y) *mask->Store()->PixelPtr(y, y, true) = uint8_t(40 + y);
  mask->name = "m";
  ASSERT_GE(paper.MaskMngr()->InsertMask(1, mask), 0);
  paper.MaskMngr()->Renumber();
  paper.RedrawAll(false);

  const std::string path = PathOf("ours.psd");
  ASSERT_EQ(ExportPsdFile(path, paper, 6, false), 0);
  EXPECT_EQ(ExportPsdFile(path, paper, 6, false), 5);

  std::map<std::string, std::string> out;
  std::string text;
  if (!ReadWithPsdTools(path, out, text)) GTEST_SKIP() << "psd-tools not available: " << text;
  // Two masks (the first empty) up to the last with a store: 3 + 2 channels.
  EXPECT_EQ(out["header"], "9,7,5,8,3,1");
  EXPECT_EQ(out["layers"], "3");
  EXPECT_EQ(out["layer1.rect"], "-3,-2,11,7");
  EXPECT_EQ(out["layer1.key"], "mul ");
  EXPECT_EQ(out["layer1.opacity"], "99");
  EXPECT_EQ(out["layer1.flags"], "11");
  EXPECT_EQ(out["layer1.luni"], Hex(std::vector<uint8_t>{0xe4, 0xb8, 0x8a, 0xe3, 0x81, 0xae, 0xe3, 0x83, 0xac, 0xe3,
                                                          0x82, 0xa4, 0xe3, 0x83, 0xa4}));
  EXPECT_EQ(out["layer1.lyid"], std::to_string(top.id + 1));
  EXPECT_EQ(out["layer1.ids"], "-1,0,1,2");
  EXPECT_EQ(out["layer2.key"], "diss");
  EXPECT_EQ(out["layer2.opacity"], "128");
  EXPECT_EQ(out["layer0.flags"], "8");
  EXPECT_EQ(out["layer0.name"], Hex(std::vector<uint8_t>{'b', 'a', 's', 'e'}));
  // Channel bytes equal the store's.
  std::vector<uint8_t> alpha, red, green;
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 14; ++x) {
      const uint32_t p = top.Store()->GetPixel(x, y);
      alpha.push_back(uint8_t(p >> 24));
      green.push_back(uint8_t(p >> 8));
    }
  EXPECT_EQ(out["layer1.channel-1"], Hex(alpha));
  EXPECT_EQ(out["layer1.channel1"], Hex(green));
  EXPECT_EQ(out["layer1.compression0"], "1");
  // Merged planes are the composed picture; the masks follow.
  const TMTC& composed = paper.DisplayBuffer();
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 9; ++x) red.push_back(uint8_t(composed.GetPixel(x, y) >> 16));
  EXPECT_EQ(out["merged0"], Hex(red));
  EXPECT_EQ(out["merged3"], Hex(std::vector<uint8_t>(63, 0)));
  std::vector<uint8_t> m(63, 0);
  for (int32_t y = 0; y < 7; ++y) m[size_t(y * 9 + y)] = uint8_t(40 + y);
  EXPECT_EQ(out["merged4"], Hex(m));
  EXPECT_EQ(out["merged.compression"], "1");
  // Resolution 96 dpi; alpha names; the thumbnail (9 x 7 unscaled, width rounded up to 12 with
  // white) decodes.
  EXPECT_EQ(out["resource1005"], "00600000" "0001" "0001" "00600000" "0001" "0001");
  std::string names = "";
  const std::string first = paper.MaskMngr()->GetMask(0)->name;
  names += Hex(std::vector<uint8_t>{uint8_t(first.size())}) + Hex(std::vector<uint8_t>(first.begin(), first.end()));
  names += "016d";
  EXPECT_EQ(out["resource1006"], names);
  EXPECT_NE(out["resource1036"], "none");
  EXPECT_EQ(out["thumbnail"], "12,7");
  const unsigned long corner = std::stoul(out["thumbnail.corner"], nullptr, 16);
  for (int shift = 0; shift < 24; shift += 8) EXPECT_GE((corner >> shift) & 0xFF, 0xF0u) << out["thumbnail.corner"];
}

TEST_F(PsdTest, ThumbnailResourceIsAFittedJpeg) {
  HeadlessDocumentWindow window;
  MakeDocument(window, 300, 150);
  TPaper& paper = window.Paper();
  paper.RedrawAll(false);
  const std::string path = PathOf("thumb.psd");
  ASSERT_EQ(ExportPsdFile(path, paper, 6, true), 0);
  CPsdReader reader;
  ASSERT_EQ(reader.Open(path), 0);
  ASSERT_TRUE(reader.Check());
  std::vector<uint8_t> resource(static_cast<size_t>(reader.ImageResource(1036, nullptr, 0)));
  ASSERT_GT(resource.size(), 28u);
  reader.ImageResource(1036, resource.data(), static_cast<int64_t>(resource.size()));
  // 300 x 150 fitted into 128 x 128: 128 x 64, width already a multiple of 4.
  char size[9];
  std::snprintf(size, sizeof size, "%08zx", resource.size() - 28);
  EXPECT_EQ(Hex(std::vector<uint8_t>(resource.begin(), resource.begin() + 28)),
            std::string("00000001" "00000080" "00000040" "00000180" "00006000") + size + "0018" "0001");
  SDib dib;
  ASSERT_EQ(JpegDecode(resource.data() + 28, resource.size() - 28, dib), 0);
  EXPECT_EQ(dib.header.width, 128);
  // A picture that fits is not scaled; its width is rounded up to 4 with white.
  TMTC small(5, 3);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) *small.Pixel(x, y) = 0x00000000u;
  std::unique_ptr<TMTC> thumb = MakePsdThumbnail(small);
  ASSERT_TRUE(thumb);
  EXPECT_EQ(thumb->Width(), 8);
  EXPECT_EQ(thumb->Height(), 3);
  EXPECT_EQ(thumb->GetPixel(1, 1), 0xFFFFFFFFu);  // transparent over white
  EXPECT_EQ(thumb->GetPixel(7, 2), 0xFFFFFFFFu);
}

TEST_F(PsdTest, ExportThenImportKeepsLayersAttributesAndMasks) {
  HeadlessDocumentWindow window;
  MakeDocument(window, 40, 30);
  TPaper& paper = window.Paper();
  CLayerMngr& layers = paper.Layers();
  ASSERT_EQ(layers.InsertLayer(1, 50, 40, true, 150, false, 5), 1);
  layers.Get(1)->offsetX = 10;
  layers.Get(1)->offsetY = 3;
  for (int32_t y = 0; y < 40; y += 2)
    for (int32_t x = 0; x < 50; x += 3) layers.Get(1)->Store()->SetPixel(x, y, 0x80000000u | uint32_t(x * 1000 + y));
  layers.Get(1)->name = Utf8ToCp932("二番");
  for (int32_t i = 0; i < 30; ++i) {
    auto mask = CMaskData::Create(i + 1, 40, 30);
    mask->Store()->SetPixel(i, i % 30, uint8_t(i + 1));
    mask->name = "m" + std::to_string(i);
    ASSERT_GE(paper.MaskMngr()->InsertMask(paper.MaskMngr()->GetCount(), mask), 0);
  }
  paper.MaskMngr()->Renumber();
  paper.RedrawAll(false);
  const std::string path = PathOf("round.psd");
  ASSERT_EQ(ExportPsdFile(path, paper, 7, false), 0);

  CPsdReader reader;
  ASSERT_EQ(reader.Open(path), 0);
  SPsdHeader header;
  ASSERT_EQ(reader.Header(header), 0);
  EXPECT_EQ(header.allChannels, 24);  // 31 masks, capped

  HeadlessDocumentWindow back;
  TPaper& b = back.Paper();
  ASSERT_EQ(ImportPsdFile(path, b), 0);
  EXPECT_TRUE(scope.warnings.Texts().empty());
  ASSERT_EQ(b.GetLayerCount(), 2);
  for (int32_t i = 0; i < 2; ++i) {
    const CLayerData& x = *paper.GetLayer(i);
    const CLayerData& y = *b.GetLayer(i);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.blendMode, y.blendMode);
    EXPECT_EQ(x.opacity, y.opacity);
    EXPECT_EQ(x.offsetX, y.offsetX);
    EXPECT_EQ(x.StoreWidth(), y.StoreWidth());
    EXPECT_EQ(x.StoreHeight(), y.StoreHeight());
    bool same = true;
    for (int32_t yy = 0; yy < x.StoreHeight() && same; ++yy)
      for (int32_t xx = 0; xx < x.StoreWidth() && same; ++xx)
        same = x.Store()->GetPixel(xx, yy) == y.Store()->GetPixel(xx, yy);
    EXPECT_TRUE(same) << i;
  }
  EXPECT_EQ(b.GetActiveLayerIndex(), paper.GetActiveLayerIndex());
  // 21 alpha channels came back (24 - 3), plus the new empty one.
  CMaskMngr& masks = *b.MaskMngr();
  ASSERT_EQ(masks.GetCount(), 22);
  for (int32_t i = 1; i < 21; ++i) {
    EXPECT_EQ(masks.GetMask(i)->name, paper.MaskMngr()->GetMask(i)->name);
    EXPECT_EQ(masks.GetMask(i)->Store()->GetPixel(i - 1, (i - 1) % 30), i);
  }
}

TEST_F(PsdTest, NamesAreCutAt255BytesOnACharacterBoundaryAndUnicodeOnlyFromVersion6) {
  HeadlessDocumentWindow window;
  MakeDocument(window, 4, 4);
  TPaper& paper = window.Paper();
  std::string name = "ab";
  for (int i = 0; i < 130; ++i) name += "\x83\x8C";  // 262 bytes of code page 932
  paper.GetLayer(0)->name = name;
  paper.RedrawAll(false);
  for (int32_t version : {3, 6}) {
    const std::string path = PathOf("names" + std::to_string(version) + ".psd");
    ASSERT_EQ(ExportPsdFile(path, paper, version, true), 0);
    CPsdReader reader;
    ASSERT_EQ(reader.Open(path), 0);
    SPsdLayerRecord record;
    ASSERT_EQ(reader.LayerRecord(0, record), 0);
    EXPECT_EQ(record.name, name.substr(0, 254)) << version;  // 255 would split a character
    EXPECT_EQ(record.useName.has_value(), version >= 6);
    if (record.useName) {
      EXPECT_EQ(*record.useName, name);
      EXPECT_EQ(record.number, paper.GetLayer(0)->id + 1);
    }
  }
}

// ---- Failures ----

class FailingSource final : public PsdWriteSource {
 public:
  bool LayerRecord(int32_t, SPsdLayerRecord& record) override {
    record.rect = TRect{0, 0, 4, 4};
    record.channelCount = 1;
    return true;
  }
  bool LayerChannelId(int32_t, int32_t, int32_t& id) override {
    id = -1;
    return true;
  }
  bool ExtraChannelInfo(SPsdChannel&) override { return false; }
  bool LayerChannelData(SPsdChannel& channel) override {
    channel.pixels.assign(16, 7);
    channel.bytes = 16;
    return true;
  }
  bool MergedChannelData(SPsdChannel&) override { return false; }  // fails late
  bool Thumbnail(const TMTC*&) override { return false; }
};

TEST_F(PsdTest, FailedWriteLeavesTheOldFileAsItWas) {
  const std::string path = PathOf("keep.psd");
  PutBytes(path, {1, 2, 3, 4, 5});
  CPsdWriter writer;
  SPsdHeader header;
  header.width = 4;
  header.height = 4;
  header.allChannels = 3;
  header.layerCount = 1;
  ASSERT_EQ(writer.SetHeader(header), 0);
  FailingSource source;
  EXPECT_EQ(MapPsdCode(writer.Write(path, source)), 63);
  EXPECT_EQ(FileBytes(path), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(EntryCount(), 1u);
  // The codes land on the program codes of the same meaning.
  EXPECT_EQ(MapPsdCode(kPsdNoMemory), 1);
  EXPECT_EQ(MapPsdCode(kPsdNotPsd), 52);
  EXPECT_EQ(MapPsdCode(kPsdShortWrite + 128), 8);
  EXPECT_EQ(MapPsdCode(kPsdOpenFailed), 6);
  EXPECT_EQ(MapPsdCode(kPsdException), 3);
  EXPECT_EQ(MapPsdCode(99), 2);
}

// One layer of 8 x 6 over a canvas of 8 x 6 and one named alpha channel, as our writer makes it.
std::vector<uint8_t> SmallExport(PsdTest& test, const std::string& path) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  EXPECT_TRUE(paper.NewDocument("s.tfi", &window.Flow(), true, false, 72, 6, 8));
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) paper.GetLayer(0)->Store()->SetPixel(x, y, 0xFF102030u + uint32_t(x));
  auto mask = CMaskData::Create(0, 8, 6);
  mask->Store()->SetPixel(1, 1, 9);
  mask->name = "sel";
  paper.MaskMngr()->Clear();
  EXPECT_GE(paper.MaskMngr()->InsertMask(0, mask), 0);
  paper.RedrawAll(false);
  EXPECT_EQ(ExportPsdFile(path, paper, 6, true), 0);
  (void)test;
  return FileBytes(path);
}

TEST_F(PsdTest, MalformedFilesGiveTheirCodesAndNeverCrash) {
  const std::string good = PathOf("good.psd");
  const std::vector<uint8_t> bytes = SmallExport(*this, good);
  const SLayout l = LayoutOf(bytes);
  using Mutation = std::function<void(std::vector<uint8_t>&)>;
  // A layer whose channels all fail stays in, empty, and is warned about with 57.
  struct Case {
    const char* what;
    Mutation change;
    uint8_t code;
    const char* warning = nullptr;
  } cases[] = {
      {"unchanged", [](auto&) {}, 0},
      {"cut in the header", [](auto& b) { b.resize(20); }, 52},
      {"cut in the resources", [&](auto& b) { b.resize(l.resources + 10); }, 52},
      {"cut in the layer records", [&](auto& b) { b.resize(l.firstRecord + 10); }, 52},
      {"cut in the channel data", [&](auto& b) { b.resize(l.channelData + 20); }, 52},
      {"cut in the merged picture: the layers still read", [&](auto& b) { b.resize(l.merged + 10); }, 0},
      {"signature", [](auto& b) { b[0] = 'X'; }, 52},
      {"version 2", [](auto& b) { PutBe16(b, 4, 2); }, 52},
      {"resources past the end", [&](auto& b) { PutBe32(b, l.resources, 0x7FFFFFF0u); }, 52},
      {"layer section past the end", [&](auto& b) { PutBe32(b, l.layerSection, 0x7FFFFFF0u); }, 52},
      {"layer info past its section", [&](auto& b) { PutBe32(b, l.layerSection + 4, 0x7FFFFFF0u); }, 55},
      {"width 0", [](auto& b) { PutBe32(b, 18, 0); }, 55},
      {"height 30001", [](auto& b) { PutBe32(b, 14, 30001); }, 55},
      {"0 channels in the header", [](auto& b) { PutBe16(b, 12, 0); }, 55},
      {"10001 layers", [&](auto& b) { PutBe16(b, l.layerCount, 10001); }, 55},
      {"more layers than the section holds", [&](auto& b) { PutBe16(b, l.layerCount, 200); }, 55},
      {"0 channels in the record", [&](auto& b) { PutBe16(b, l.firstRecord + 16, 0); }, 57},
      {"57 channels in the record", [&](auto& b) { PutBe16(b, l.firstRecord + 16, 57); }, 57},
      {"inverted rectangle", [&](auto& b) { PutBe32(b, l.firstRecord + 4, 50); }, 57},
      {"huge rectangle", [&](auto& b) { PutBe32(b, l.firstRecord + 12, 0x7FFFFFF0u); }, 57},
      {"channel length past the section", [&](auto& b) { PutBe32(b, l.firstRecord + 20, 0x7FFFFFF0u); }, 0,
       "(err=57)"},
      {"extra data past the section", [&](auto& b) { PutBe32(b, l.firstRecord + 18 + 24 + 12, 0x7FFFFFF0u); }, 57},
      {"bad PackBits in every channel",
       [&](auto& b) {
         for (size_t at = l.channelData; at < l.merged - 4; ++at) b[at] = 0x7F;
         // each channel keeps compression 1 at its start
         size_t at = l.channelData;
         for (int c = 0; c < 4; ++c) {
           PutBe16(b, at, 1);
           at += Be32(b, l.firstRecord + 18 + size_t(c) * 6 + 2);
         }
       },
       0, "(err=57)"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> broken = bytes;
    c.change(broken);
    const std::string path = PathOf("broken.psd");
    PutBytes(path, broken);
    HeadlessDocumentWindow window;
    scope.warnings.Clear();
    EXPECT_EQ(ImportPsdFile(path, window.Paper()), c.code) << c.what;
    if (c.warning != nullptr) {
      ASSERT_EQ(scope.warnings.Texts().size(), 1u) << c.what;
      EXPECT_NE(scope.warnings.Texts()[0].find(c.warning), std::string::npos) << c.what;
    }
  }
}

TEST_F(PsdTest, AShortChannelFailsAloneAndTheFirstLostLayerIsWarned) {
  const std::string good = PathOf("good.psd");
  std::vector<uint8_t> bytes = SmallExport(*this, good);
  const SLayout l = LayoutOf(bytes);
  // The transparency channel (the first) claims one row count too many bytes.
  const size_t firstCount = l.channelData + 2;
  PutBe16(bytes, firstCount, static_cast<uint16_t>((bytes[firstCount] << 8 | bytes[firstCount + 1]) + 200));
  const std::string path = PathOf("short.psd");
  PutBytes(path, bytes);
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_EQ(ImportPsdFile(path, paper), 0);
  // The colour channels came; the missing transparency makes the rectangle opaque.
  EXPECT_EQ(paper.GetLayer(0)->Store()->GetPixel(3, 2), 0xFF102033u);
  EXPECT_TRUE(scope.warnings.Texts().empty());

  // Two layers: the first lost, the second fine. The warning names the first failure; the
  // result is 0 since a layer was made.
  HeadlessDocumentWindow two;
  ASSERT_TRUE(two.Paper().NewDocument("t.tfi", &two.Flow(), true, false, 72, 6, 8));
  ASSERT_EQ(two.Paper().Layers().InsertLayer(1, 8, 6, true, 255, false, 3), 1);
  two.Paper().RedrawAll(false);
  const std::string twoPath = PathOf("two.psd");
  ASSERT_EQ(ExportPsdFile(twoPath, two.Paper(), 6, true), 0);
  std::vector<uint8_t> b2 = FileBytes(twoPath);
  const SLayout l2 = LayoutOf(b2);
  PutBe32(b2, l2.firstRecord + 4, 50);  // the bottom record: left past right
  PutBytes(twoPath, b2);
  HeadlessDocumentWindow read;
  scope.warnings.Clear();
  ASSERT_EQ(ImportPsdFile(twoPath, read.Paper()), 0);
  EXPECT_EQ(read.Paper().GetLayerCount(), 1);
  ASSERT_EQ(scope.warnings.Texts().size(), 1u);
  EXPECT_NE(scope.warnings.Texts()[0].find("レイヤ読み込み中にエラーが検出されました! (err=57)"), std::string::npos)
      << scope.warnings.Texts()[0];
}

TEST_F(PsdTest, AlphaNamesStopAtTheEndOfTheirResource) {
  const std::string good = PathOf("good.psd");
  std::vector<uint8_t> bytes = SmallExport(*this, good);
  // Resource 1006 holds "\x03sel": make its length byte claim 200 bytes.
  const std::vector<uint8_t> pattern = {3, 's', 'e', 'l'};
  auto at = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
  ASSERT_NE(at, bytes.end());
  *at = 200;
  const std::string path = PathOf("names.psd");
  PutBytes(path, bytes);
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_EQ(ImportPsdFile(path, paper), 0);
  ASSERT_EQ(paper.MaskMngr()->GetCount(), 2);
  EXPECT_EQ(Cp932ToUtf8(paper.MaskMngr()->GetMask(0)->name), "(マスク 1)");
  EXPECT_EQ(paper.MaskMngr()->GetMask(0)->Store()->GetPixel(1, 1), 9);
}

TEST_F(PsdTest, ALayerStoreOverTheLimitIsRefusedWith21) {
  const std::string good = PathOf("good.psd");
  std::vector<uint8_t> bytes = SmallExport(*this, good);
  const SLayout l = LayoutOf(bytes);
  PutBe32(bytes, l.firstRecord + 4, static_cast<uint32_t>(-70000));  // left far outside
  const std::string path = PathOf("wide.psd");
  PutBytes(path, bytes);
  HeadlessDocumentWindow window;
  EXPECT_EQ(ImportPsdFile(path, window.Paper()), 57);
  ASSERT_FALSE(scope.warnings.Texts().empty());
  EXPECT_NE(scope.warnings.Texts()[0].find("(err=21)"), std::string::npos);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// ImageMagick's reader, where it is installed, agrees on the layers' offsets and names.
TEST_F(PsdTest, ImageMagickAgreesOnOffsetsAndNames) {
  if (std::system("identify -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick not installed";
  HeadlessDocumentWindow window;
  MakeDocument(window, 9, 7);
  TPaper& paper = window.Paper();
  ASSERT_EQ(paper.Layers().InsertLayer(1, 20, 12, true, 255, false, 3), 1);
  paper.GetLayer(1)->offsetX = 6;
  paper.GetLayer(1)->offsetY = 4;
  paper.GetLayer(1)->name = "moved";
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 20; ++x) paper.GetLayer(1)->Store()->SetPixel(x, y, 0xFF00FF00u);
  paper.RedrawAll(false);
  const std::string path = PathOf("im.psd");
  ASSERT_EQ(ExportPsdFile(path, paper, 6, false), 0);
  FILE* pipe = ::popen(("identify -format '%s %X %Y %l|' '" + path + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  ::pclose(pipe);
  EXPECT_NE(text.find("1 +0 +0 base|"), std::string::npos) << text;
  EXPECT_NE(text.find("2 -6 -4 moved|"), std::string::npos) << text;
}

}  // namespace
}  // namespace tf
