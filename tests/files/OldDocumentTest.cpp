// The first version's layered pictures (.wpb): the independently written fixtures (three layers
// named レイヤ1 to レイヤ3, runs of every kind, sealed and broken events, a wrong magic) and the
// header and run edge cases, with the faults mended: unchecked sizes and lengths, the active
// index, a layer whose runs end early.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "events/OldEventPacket.h"
#include "files/OldDocument.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/PaperTestSupport.h"
#include "platform/Text.h"
#include "support/OldStreamBuilder.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

// A .wpb file built from its layout.
struct WpbBuilder {
  struct Layer {
    uint8_t mode, opacity, visible;
    std::vector<uint8_t> runs;
    uint32_t declaredLength = 0xFFFFFFFFu;  // the runs' size unless set
  };
  uint32_t width = 2, height = 1, paper = 0xFFFFFF, flag = 0;
  uint8_t active = 0;
  std::vector<Layer> layers;
  std::vector<uint8_t> events;
  uint32_t declaredEvents = 0xFFFFFFFFu;
  std::string Bytes() const {
    OldStreamBuilder b;
    for (char c : std::string("WPB2")) b.U8(static_cast<uint8_t>(c));
    auto u32 = [&b](uint32_t v) { b.U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16)); };
    u32(flag);
    u32(width);
    u32(height);
    u32(paper);
    b.U8(static_cast<uint8_t>(layers.size() - 1)).U8(active).U8(0).U8(0);
    u32(declaredEvents != 0xFFFFFFFFu ? declaredEvents : static_cast<uint32_t>(events.size()));
    u32(0);
    for (const Layer& l : layers) {
      b.U8(l.mode).U8(l.opacity).U8(l.visible).U8(0).U8(0).U8(0).U8(0).U8(0);
      u32(l.declaredLength != 0xFFFFFFFFu ? l.declaredLength : static_cast<uint32_t>(l.runs.size()));
      b.bytes.insert(b.bytes.end(), l.runs.begin(), l.runs.end());
    }
    b.bytes.insert(b.bytes.end(), events.begin(), events.end());
    return std::string(b.bytes.begin(), b.bytes.end());
  }
};

class OldDocumentTest : public TempFolderTest {
 protected:
  OldDocumentTest() : TempFolderTest("old-document") {}
  bool Load(const std::string& file) {
    return LoadOldDocument(window.Paper(), &window.Flow(), PathOf(file), packets);
  }
  bool LoadBytes(const std::string& bytes) {
    WriteFile(PathOf("t.wpb"), bytes);
    return Load("t.wpb");
  }
  TPaper& Paper() { return window.Paper(); }
  uint32_t Pixel(int32_t layer, int32_t x, int32_t y) { return Paper().GetLayer(layer)->Store()->GetPixel(x, y); }

  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TEventPacket packets;
};

TEST_F(OldDocumentTest, IndependentlyWrittenFixturesOpen) {
  std::map<std::string, std::string> out;
  std::string output;
  ASSERT_EQ(RunDataScript("old_files.py", "write '" + dir_ + "'", out, output), 0) << output;
  ASSERT_TRUE(Load("three.wpb"));
  ASSERT_EQ(Paper().GetLayerCount(), 3);
  EXPECT_EQ(Paper().canvasWidth, 4);
  EXPECT_EQ(Paper().canvasHeight, 3);
  for (int32_t i = 0; i < 3; ++i)
    EXPECT_EQ(Cp932ToUtf8(Paper().GetLayer(i)->name), "レイヤ" + std::to_string(i + 1));
  EXPECT_EQ(Paper().GetActiveLayerIndex(), 1);
  // Rows bottom-up: the file's first row is the picture's last.
  EXPECT_EQ(Pixel(0, 0, 2), 0xFF112233u);
  EXPECT_EQ(Pixel(0, 3, 1), 0xFF445566u);
  EXPECT_EQ(Pixel(0, 1, 0), 0xFF778899u);
  EXPECT_EQ(Pixel(1, 0, 2), 0xFF010203u) << "a zero repeat and an empty literal run pass";
  EXPECT_EQ(Pixel(1, 3, 2), 0xFF0A0B0Cu);
  EXPECT_EQ(Pixel(1, 2, 0), 0xFFFF0000u);
  EXPECT_EQ(Paper().GetLayer(1)->opacity, 128);
  EXPECT_EQ(Paper().GetLayer(1)->blendMode, 1);
  EXPECT_FALSE(Paper().GetLayer(2)->visible);
  EXPECT_EQ(Pixel(2, 1, 1), 0xFF808080u) << "a layer of mode 3 is opaque too";
  EXPECT_EQ(Paper().protectedDocument, 0);
  // The open events, without their end code.
  const std::string stream = ReadFile(PathOf("open.wpe"));
  EXPECT_EQ(packets.Memory().GetWritePos(), static_cast<int32_t>(stream.size()) - 2);
  EXPECT_EQ(packets.EventCount(), 7);
  EXPECT_TRUE(scope.warnings.Texts().empty());

  HeadlessDocumentWindow sealedWindow;
  TEventPacket sealedPackets;
  ASSERT_TRUE(LoadOldDocument(sealedWindow.Paper(), &sealedWindow.Flow(), PathOf("sealed.wpb"), sealedPackets));
  EXPECT_EQ(sealedWindow.Paper().protectedDocument, 1);
  EXPECT_EQ(sealedWindow.Paper().GetLayer(0)->Store()->GetPixel(1, 0), 0xFF123456u);

  HeadlessDocumentWindow brokenWindow;
  TEventPacket brokenPackets;
  ASSERT_TRUE(LoadOldDocument(brokenWindow.Paper(), &brokenWindow.Flow(), PathOf("broken.wpb"), brokenPackets));
  EXPECT_EQ(brokenPackets.Memory().GetWritePos(), 0);
  ASSERT_EQ(scope.warnings.Texts().size(), 1u);
  EXPECT_EQ(scope.warnings.Texts()[0], "イベントデータ部が壊れています! イベント出力は無効です...");

  HeadlessDocumentWindow magicWindow;
  TEventPacket magicPackets;
  EXPECT_FALSE(LoadOldDocument(magicWindow.Paper(), &magicWindow.Flow(), PathOf("magic.wpb"), magicPackets));
  EXPECT_EQ(magicWindow.Paper().GetLayerCount(), 0) << "the document stays as it was";
  EXPECT_EQ(scope.warnings.Texts().back(), "未知の形式です！");
}

TEST_F(OldDocumentTest, RunEdgeCases) {
  WpbBuilder w;
  w.width = 130;
  // 255: no pixels; 0: zero repeats; 125: 130 literals.
  std::vector<uint8_t> runs = {255, 0, 1, 2, 3, 125};
  for (int i = 0; i < 130; ++i) runs.insert(runs.end(), {static_cast<uint8_t>(i), 0, 0});
  w.layers = {{2, 255, 1, runs}};
  ASSERT_TRUE(LoadBytes(w.Bytes()));
  EXPECT_EQ(Pixel(0, 0, 0), 0xFF000000u);
  EXPECT_EQ(Pixel(0, 129, 0), 0xFF810000u);
}

TEST_F(OldDocumentTest, SizesAndLengthsFromTheHeaderAreChecked) {
  for (uint32_t side : {0u, 10001u, 0x80000000u}) {
    WpbBuilder w;
    w.width = side;
    w.layers = {{0, 255, 1, {2, 1, 2, 3}}};
    HeadlessDocumentWindow fresh;
    WriteFile(PathOf("s.wpb"), w.Bytes());
    EXPECT_FALSE(LoadOldDocument(fresh.Paper(), &fresh.Flow(), PathOf("s.wpb"), packets)) << side;
    EXPECT_EQ(fresh.Paper().GetLayerCount(), 0) << side;
  }
  // A layer length and an event length far beyond the file: what is there is read, nothing more.
  WpbBuilder w;
  w.layers = {{0, 255, 1, {2, 1, 2, 3}, 0xFFFFFFF0u}};
  w.events = OldStreamBuilder().NewCanvas(2, 1).End().bytes;
  w.declaredEvents = 0xFFFFFFF0u;
  ASSERT_TRUE(LoadBytes(w.Bytes()));
  EXPECT_EQ(Pixel(0, 1, 0), 0xFF010203u);
  EXPECT_EQ(packets.Memory().GetWritePos(), 0);
}

TEST_F(OldDocumentTest, ABlendModeTheStackRefusesFailsTheLoad) {
  WpbBuilder w;
  w.layers = {{200, 255, 1, {2, 1, 2, 3}}};
  EXPECT_FALSE(LoadBytes(w.Bytes()));
}

TEST_F(OldDocumentTest, AnActiveIndexBeyondTheLayersTakesTheTopLayer) {
  WpbBuilder w;
  w.active = 9;
  w.layers = {{0, 255, 1, {2, 1, 2, 3}}, {0, 255, 1, {2, 4, 5, 6}}};
  ASSERT_TRUE(LoadBytes(w.Bytes()));
  EXPECT_EQ(Paper().GetActiveLayerIndex(), 1);
}

TEST_F(OldDocumentTest, ALayerWhoseRunsEndEarlyDoesNotShowThePreviousLayer) {
  WpbBuilder w;
  w.layers = {{0, 255, 1, {2, 9, 9, 9}}, {0, 255, 1, {1, 4, 5, 6}}};
  ASSERT_TRUE(LoadBytes(w.Bytes()));
  EXPECT_EQ(Pixel(1, 0, 0), 0xFF040506u);
  EXPECT_EQ(Pixel(1, 1, 0), 0xFF000000u);
}

TEST_F(OldDocumentTest, ANonZeroLayerFlagReadsNoLayersButTheEvents) {
  WpbBuilder w;
  w.flag = 1;
  w.layers = {{0, 255, 1, {2, 9, 9, 9}}};
  w.events = OldStreamBuilder().NewCanvas(2, 1).End().bytes;
  EXPECT_FALSE(LoadBytes(w.Bytes()));
  EXPECT_EQ(packets.EventCount(), 1);
}

// The runs carry no alpha: a normal layer (mode 3) left at alpha 0 would compose as nothing,
// while the older player makes its layers opaque.
TEST_F(OldDocumentTest, ANormalLayerShowsOverTheLayerBelow) {
  WpbBuilder w;
  w.layers = {{0, 255, 1, {2, 0x80, 0x80, 0x80}}, {3, 255, 1, {2, 0x20, 0x40, 0xF0}}};
  ASSERT_TRUE(LoadBytes(w.Bytes()));
  ASSERT_TRUE(Paper().ComposeRect(SRectWH{0, 0, 2, 1}, false));
  EXPECT_EQ(Paper().DisplayBuffer().GetPixel(0, 0) & 0xFFFFFF, 0x2040F0u);
}

}  // namespace
}  // namespace tf::test
