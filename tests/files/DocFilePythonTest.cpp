// The independent Python reader and writer of documents (tests/data/doc_files.py): it
// reassembles the layers and masks of our files, and a file it wrote opens in ours.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "files/DocFile.h"
#include "paper/PaperTestSupport.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

int RunDocScript(const std::string& arguments, std::map<std::string, std::string>& out, std::string& text) {
  return test::RunDataScript("doc_files.py", arguments, out, text);
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

uint32_t LayerCrc(const CBlockVMTC& store) {
  std::vector<uint8_t> bytes;
  for (int32_t y = 0; y < store.Height(); ++y)
    for (int32_t x = 0; x < store.Width(); ++x) {
      const uint32_t p = store.GetPixel(x, y);
      for (int k = 0; k < 4; ++k) bytes.push_back(uint8_t(p >> (8 * k)));
    }
  return Crc32(bytes);
}

class DocFilePythonTest : public test::TempFolderTest {
 protected:
  DocFilePythonTest() : TempFolderTest("tf-docfile-py") {}
  test::PaperTestScope scope;
};

TEST_F(DocFilePythonTest, ScriptReassemblesOurLayersAndMasks) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("p.tfi", &window.Flow(), false, false, 96, 45, 75));
  CLayerMngr& layers = paper.Layers();
  ASSERT_EQ(layers.InsertLayer(1, 140, 70, true, 99, false, 14), 1);
  layers.Get(1)->offsetX = -20;
  layers.Get(1)->offsetY = 11;
  layers.Get(1)->name = "\x83\x8C\x83\x43";
  for (int32_t y = 0; y < 70; y += 3)
    for (int32_t x = 0; x < 140; x += 2)
      layers.Get(1)->Store()->SetPixel(x, y, 0x80000000u | uint32_t(x * 977 + y));
  auto mask = CMaskData::Create(1, 90, 66);
  mask->offsetX = -4;
  for (int32_t y = 0; y < 66; ++y) *mask->Store()->PixelPtr(y, y, true) = uint8_t(y * 3);
  ASSERT_GE(paper.MaskMngr()->InsertMask(1, mask), 0);
  paper.MaskMngr()->Renumber();
  const std::string path = PathOf("ours.tfi");
  ASSERT_TRUE(SaveDocFile(path, paper, kDocLayers | kDocMasks | kDocThumbnail | kDocEvents));

  std::map<std::string, std::string> out;
  std::string text;
  ASSERT_EQ(RunDocScript("dump-doc '" + path + "'", out, text), 0) << text;
  EXPECT_EQ(out["width"], "75");
  EXPECT_EQ(out["layers_read"], "2");
  EXPECT_EQ(out["masks_read"], "2");
  EXPECT_EQ(out["chunks"], "TTNL,TLYR,TMSK,TEVP,TBEV");
  for (int32_t i = 0; i < 2; ++i) {
    const CLayerData& layer = *layers.Get(i);
    const std::string key = "layer." + std::to_string(i) + ".";
    EXPECT_EQ(out[key + "name"], Hex(layer.name));
    EXPECT_EQ(out[key + "mode"], std::to_string(layer.blendMode));
    EXPECT_EQ(out[key + "store"], std::to_string(layer.StoreWidth()) + "x" + std::to_string(layer.StoreHeight()));
    EXPECT_EQ(out[key + "offset"], std::to_string(layer.offsetX) + "," + std::to_string(layer.offsetY));
    EXPECT_EQ(out[key + "crc"], std::to_string(LayerCrc(*layer.Store())));
  }
  EXPECT_EQ(out["layer.1.level"], "1");
  EXPECT_EQ(out["mask.0.store"], "none");
  EXPECT_EQ(out["mask.1.store"], "90x66");
  EXPECT_EQ(out["mask.1.offset"], "-4,0");
  std::vector<uint8_t> values;
  const CBlockVCH& store = *paper.MaskMngr()->GetMask(1)->Store();
  for (int32_t y = 0; y < 66; ++y)
    for (int32_t x = 0; x < 90; ++x) values.push_back(store.GetPixel(x, y));
  EXPECT_EQ(out["mask.1.crc"], std::to_string(Crc32(values)));
}

TEST_F(DocFilePythonTest, FileTheScriptWroteOpens) {
  const std::string path = PathOf("py.tfi");
  std::map<std::string, std::string> out;
  std::string text;
  ASSERT_EQ(RunDocScript("write-doc '" + path + "'", out, text), 0) << text;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_EQ(LoadDocFile(path, paper), 0);
  EXPECT_TRUE(scope.warnings.Texts().empty());
  EXPECT_EQ(paper.canvasWidth, 50);
  EXPECT_EQ(paper.resolution, 300);
  ASSERT_EQ(paper.GetLayerCount(), 2);
  EXPECT_EQ(paper.GetActiveLayerIndex(), 1);
  const CLayerData& photo = *paper.GetLayer(0);
  EXPECT_EQ(photo.name, "py0");
  bool same = true;
  for (int32_t y = 0; y < 40 && same; ++y)
    for (int32_t x = 0; x < 50 && same; ++x)
      same = photo.Store()->GetPixel(x, y) ==
             (0xFF000000u | 77u << 16 | uint32_t((y * 6) & 0xFF) << 8 | uint32_t((x * 5) & 0xFF));
  EXPECT_TRUE(same);
  const CLayerData& flat = *paper.GetLayer(1);
  EXPECT_EQ(flat.blendMode, 9);
  EXPECT_EQ(flat.opacity, 128);
  EXPECT_EQ(flat.offsetX, -10);
  EXPECT_EQ(flat.StoreWidth(), 70);
  EXPECT_EQ(flat.Store()->GetPixel(69, 39), 0x40102030u);
  EXPECT_EQ(flat.Store()->CommittedTileCount(), 0);
  const CMaskData& mask = *paper.MaskMngr()->GetMask(0);
  EXPECT_EQ(mask.name, "pm");
  EXPECT_EQ(mask.offsetX, 3);
  EXPECT_EQ(mask.offsetY, -2);
  EXPECT_EQ(mask.Store()->GetPixel(10, 20), 30);
  EXPECT_EQ(paper.MaskMngr()->NameCounter(), 1);
}

}  // namespace
}  // namespace tf
