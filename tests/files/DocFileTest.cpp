// The native document file: save and open with every layer attribute, masks and the recording;
// header and chunk faults; every prefix and flipped bytes; failed saves; the preview thumbnail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "document/ClipLayerAttr.h"
#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "events/EventStream.h"
#include "files/DocFile.h"
#include "files/LayerChunk.h"
#include "files/MaskChunk.h"
#include "paper/PaperTestSupport.h"
#include "platform/ByteOrder.h"
#include "platform/Memory.h"
#include "platform/Progress.h"
#include "platform/Stream.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/ChunkStream.h"
#include "support/FaultStream.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

using test::PaperTestScope;

constexpr uint32_t kAllFlags = kDocLayers | kDocMasks | kDocThumbnail | kDocEvents;

std::vector<uint8_t> StreamBytes(const CEventMngr& m) {
  std::vector<uint8_t> bytes(static_cast<size_t>(m.committed()));
  if (!bytes.empty()) {
    EXPECT_EQ(m.readSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
  }
  return bytes;
}

using test::FileBytes;
using test::WriteFileBytes;

// Offsets of the chunks after the header, in file order.
struct ChunkAt {
  uint32_t id;
  size_t offset;
  uint32_t size;
};
std::vector<ChunkAt> ChunksOf(const std::vector<uint8_t>& bytes) {
  std::vector<ChunkAt> chunks;
  size_t at = kDocHeaderBytes;
  while (at + 8 <= bytes.size()) {
    const uint32_t size = LoadU32(bytes.data() + at + 4);
    chunks.push_back({LoadU32(bytes.data() + at), at, size});
    at += 8 + size;
  }
  return chunks;
}
size_t OffsetOfChunk(const std::vector<uint8_t>& bytes, uint32_t id, int nth = 0) {
  for (const ChunkAt& c : ChunksOf(bytes))
    if (c.id == id && nth-- == 0) return c.offset;
  return bytes.size();
}

// A pattern that differs per pixel and layer, with alpha.
uint32_t PatternPixel(int32_t layer, int32_t x, int32_t y) {
  return (uint32_t((x * 7 + y * 3 + layer * 29) & 0xFF) << 24) | uint32_t((x * 13 + layer) & 0xFF) << 16 |
         uint32_t((y * 11) & 0xFF) << 8 | uint32_t((x ^ y) & 0xFF);
}

// Builds the document the round trip keeps: nested folders, hidden and protected layers, all 22
// blend modes, opacities, dissolve with seeds, oversized stores with negative offsets, several
// masks, the switches, transparent paper, the pattern, name counters and a recording.
void BuildRichDocument(HeadlessDocumentWindow& window) {
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("rich.tfi", &window.Flow(), false, false, 144, 48, 70));
  CLayerMngr& layers = paper.Layers();
  for (int32_t mode = 0; mode <= 21; ++mode) {
    const bool oversized = mode % 5 == 1;
    const int32_t width = oversized ? 130 : 70;
    const int32_t height = oversized ? 100 : 48;
    const int32_t at = layers.InsertLayer(layers.Count(), width, height, mode % 4 != 2, uint8_t(40 + mode * 9),
                                          !paper.HasDocumentUndo(), uint8_t(mode));
    ASSERT_GE(at, 0);
    CLayerData& layer = *layers.Get(at);
    layers.AssignDefaultName(at, 1);
    if (oversized) {
      layer.offsetX = mode % 2 ? -12 : 25;
      layer.offsetY = -7;
    }
    layer.alphaProtect = mode % 3 == 0;
    layer.dissolve = mode % 4 == 1;
    layer.dissolveThreshold = uint8_t(200 - mode);
    layer.SetSeed(1000 + mode * 77);
    layer.SetGroupDepth(mode < 6 ? mode % 3 : (mode % 7 == 0 ? 250 : 0));
    CBlockVMTC& store = *layer.Store();
    // Committed pixels over part of the store, a uniform tile with its own fill, the rest left.
    for (int32_t y = 0; y < std::min(height, 40); ++y)
      for (int32_t x = 0; x < std::min(width, 45 + mode); ++x) store.SetPixel(x, y, PatternPixel(mode, x, y));
    if (STileInfo* tile = store.TileAt(width - 1, height - 1, false); tile != nullptr && !tile->committed)
      tile->fill = 0x80112233u + uint32_t(mode);
  }
  layers.Get(5)->name = "\x83\x8C\x83\x43\x83\x84 name";  // code page 932 bytes
  layers.SetNameCounter(41);
  layers.SetActive(7);

  CMaskMngr& masks = *paper.MaskMngr();
  masks.GetMask(0)->offsetX = 6;  // the empty mask's offset is not kept
  masks.GetMask(0)->offsetY = -2;
  for (int32_t i = 0; i < 3; ++i) {
    auto mask = CMaskData::Create(masks.GetCount(), 70 + 60 * i, 48 + 20 * i);
    ASSERT_NE(mask, nullptr);
    mask->offsetX = i == 2 ? -20 : 3 * i;
    mask->offsetY = i == 1 ? -9 : 0;
    mask->name = "m" + std::to_string(i);
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 20 + 30 * i; ++x) *mask->Store()->PixelPtr(x, y, true) = uint8_t(x * 5 + y + i);
    ASSERT_GE(masks.InsertMask(masks.GetCount(), mask), 0);
  }
  masks.Renumber();
  masks.SetNameCounter(9);
  masks.SetActive(2);
  paper.selectionVisible = 1;
  paper.selectionEnabled = 1;
  paper.showCanvasColor = 0;
  paper.backgroundPattern = 1;
  paper.paperColor = 0x00345678u;
  paper.RedrawAll(true);

  CEventMngr& events = *paper.EventMngr();
  for (int i = 0; i < 4; ++i) {
    std::vector<uint8_t> data(100 + i, uint8_t(i));
    uint8_t count[4];
    StoreU32(count, uint32_t(data.size()));
    ASSERT_TRUE(events.appendPacket(kPcInfo, 3, count, 4, data.data(), uint32_t(data.size())));
    ASSERT_TRUE(events.commitStep());
  }
}

void ExpectSameLayers(const TPaper& a, const TPaper& b) {
  ASSERT_EQ(a.GetLayerCount(), b.GetLayerCount());
  for (int32_t i = 0; i < a.GetLayerCount(); ++i) {
    SCOPED_TRACE("layer " + std::to_string(i));
    const CLayerData& x = *a.GetLayer(i);
    const CLayerData& y = *b.GetLayer(i);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.index, y.index);
    EXPECT_EQ(x.visible, y.visible);
    EXPECT_EQ(x.opacity, y.opacity);
    EXPECT_EQ(x.blendMode, y.blendMode);
    EXPECT_EQ(x.alphaProtect, y.alphaProtect);
    EXPECT_EQ(x.dissolve, y.dissolve);
    EXPECT_EQ(x.dissolveThreshold, y.dissolveThreshold);
    EXPECT_EQ(x.random.seed, y.random.seed);
    EXPECT_EQ(x.GroupDepth(), y.GroupDepth());
    EXPECT_EQ(x.offsetX, y.offsetX);
    EXPECT_EQ(x.offsetY, y.offsetY);
    EXPECT_EQ(x.canvasWidth, y.canvasWidth);
    EXPECT_EQ(x.canvasHeight, y.canvasHeight);
    const CBlockVMTC& s = *x.Store();
    const CBlockVMTC& t = *y.Store();
    ASSERT_EQ(s.Size(), t.Size());
    bool same = true;
    for (int32_t py = 0; py < s.Height() && same; ++py)
      for (int32_t px = 0; px < s.Width() && same; ++px) same = s.GetPixel(px, py) == t.GetPixel(px, py);
    EXPECT_TRUE(same);
    // Uncommitted tiles keep their fill; the loaded store holds no more committed tiles.
    for (int32_t k = 0; k < s.TileCount(); ++k) {
      const STileInfo& tile = t.TileByIndex(k);
      if (!tile.committed) {
        EXPECT_EQ(tile.fill, s.GetPixel(tile.pixelX, tile.pixelY));
      }
    }
    EXPECT_LE(t.CommittedTileCount(), s.CommittedTileCount());
  }
}

void ExpectSameMasks(const TPaper& a, const TPaper& b) {
  const CMaskMngr& m = *a.MaskMngr();
  const CMaskMngr& n = *b.MaskMngr();
  ASSERT_EQ(m.GetCount(), n.GetCount());
  EXPECT_EQ(m.GetActiveIndex(), n.GetActiveIndex());
  EXPECT_EQ(m.NameCounter(), n.NameCounter());
  for (int32_t i = 0; i < m.GetCount(); ++i) {
    SCOPED_TRACE("mask " + std::to_string(i));
    const CMaskData& x = *m.GetMask(i);
    const CMaskData& y = *n.GetMask(i);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(y.index, i);
    ASSERT_EQ(x.IsAllocated(), y.IsAllocated());
    if (!x.IsAllocated()) {
      // A mask without pixels reopens at (0, 0) wherever it was.
      EXPECT_EQ(y.offsetX, 0);
      EXPECT_EQ(y.offsetY, 0);
      continue;
    }
    EXPECT_EQ(x.offsetX, y.offsetX);
    EXPECT_EQ(x.offsetY, y.offsetY);
    ASSERT_EQ(x.Store()->Size(), y.Store()->Size());
    bool same = true;
    for (int32_t py = 0; py < x.Store()->Height() && same; ++py)
      for (int32_t px = 0; px < x.Store()->Width() && same; ++px)
        same = x.Store()->GetPixel(px, py) == y.Store()->GetPixel(px, py);
    EXPECT_TRUE(same);
  }
}

class DocFileTest : public test::TempFolderTest {
 protected:
  DocFileTest() : TempFolderTest("tf-docfile") {}
  PaperTestScope scope;
};

TEST_F(DocFileTest, RichDocumentRoundTripsAndSavesDeterministically) {
  HeadlessDocumentWindow source;
  BuildRichDocument(source);
  if (HasFatalFailure()) return;
  TPaper& a = source.Paper();
  const std::vector<uint8_t> recorded = StreamBytes(*a.EventMngr());
  const std::string first = PathOf("first.tfi");
  ASSERT_TRUE(SaveDocFile(first, a, kAllFlags));
  EXPECT_EQ(StreamBytes(*a.EventMngr()), recorded);  // a save changes nothing

  HeadlessDocumentWindow reopened;
  TPaper& b = reopened.Paper();
  ASSERT_EQ(LoadDocFile(first, b), 0);
  EXPECT_TRUE(scope.warnings.Texts().empty()) << scope.warnings.Texts().front();
  EXPECT_EQ(b.canvasWidth, 70);
  EXPECT_EQ(b.canvasHeight, 48);
  EXPECT_EQ(b.resolution, 144);
  EXPECT_EQ(b.paperColor, 0x00345678u);
  EXPECT_EQ(b.showCanvasColor, 0);
  EXPECT_EQ(b.backgroundPattern, 1);
  EXPECT_EQ(b.selectionVisible, 1);
  EXPECT_EQ(b.selectionEnabled, 1);
  EXPECT_EQ(b.ready, 1);
  EXPECT_EQ(b.GetActiveLayerIndex(), 7);
  EXPECT_EQ(b.Layers().NameCounter(), 41);
  ExpectSameLayers(a, b);
  ExpectSameMasks(a, b);
  // The stream is the saved one, and recording goes on after it.
  const std::vector<uint8_t> loaded = StreamBytes(*b.EventMngr());
  ASSERT_GT(loaded.size(), recorded.size());
  EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), loaded.begin()));
  EXPECT_TRUE(b.EventMngr()->isRecording());
  // The next new layer takes the next number.
  const int32_t added = b.Layers().AddLayer(70, 48, true, 255, false, 3);
  ASSERT_TRUE(b.Layers().AssignDefaultName(added, 1));
  EXPECT_EQ(b.GetLayer(added)->name, std::string(kLayerNameStem) + "42");
  b.Layers().Delete(added);

  // save, open, save, open, save: the last two agree up to the event chunk.
  const std::string second = PathOf("second.tfi");
  const std::string third = PathOf("third.tfi");
  ASSERT_TRUE(SaveDocFile(second, b, kAllFlags));
  HeadlessDocumentWindow again;
  ASSERT_EQ(LoadDocFile(second, again.Paper()), 0);
  ExpectSameLayers(b, again.Paper());
  ASSERT_TRUE(SaveDocFile(third, again.Paper(), kAllFlags));
  const std::vector<uint8_t> s2 = FileBytes(second);
  const std::vector<uint8_t> s3 = FileBytes(third);
  const size_t events2 = OffsetOfChunk(s2, kChunkEventData);
  const size_t events3 = OffsetOfChunk(s3, kChunkEventData);
  ASSERT_LT(events2, s2.size());
  ASSERT_EQ(events2, events3);
  EXPECT_TRUE(std::equal(s2.begin(), s2.begin() + long(events2), s3.begin()));
}

TEST_F(DocFileTest, ChunkOrderAndRecordLayouts) {
  HeadlessDocumentWindow source;
  BuildRichDocument(source);
  if (HasFatalFailure()) return;
  MemoryStream stream;
  ASSERT_TRUE(WriteDocStream(stream, source.Paper(), kAllFlags, nullptr));
  const std::vector<uint8_t>& bytes = stream.Bytes();
  EXPECT_EQ(LoadU32(bytes.data()), MakeChunkId("TPIM"));
  EXPECT_EQ(LoadU32(bytes.data() + 4), 48u);
  EXPECT_EQ(LoadU32(bytes.data() + 24), kAllFlags | 0x10 | 0x20 | 0x40 | 0x80 | 0x100 | 0x200);
  EXPECT_EQ(LoadU16(bytes.data() + 40), 23);  // layers
  EXPECT_EQ(LoadU16(bytes.data() + 44), 4);   // masks
  EXPECT_EQ(LoadU16(bytes.data() + 36), 144);
  std::vector<uint32_t> order;
  for (const ChunkAt& c : ChunksOf(bytes)) {
    if (order.empty() || order.back() != c.id) order.push_back(c.id);
    EXPECT_EQ(c.size % 4, 0u);
  }
  ASSERT_GE(order.size(), 4u);
  EXPECT_EQ(order.front(), kChunkImage);
  EXPECT_EQ(order[1], kChunkLayer);
  EXPECT_EQ(order.back(), kChunkEventBlock);
  // Layer 4 (mode 3) is level 0, layer 6 (mode 5) level 1; flags always carry 0x10.
  const size_t l4 = OffsetOfChunk(bytes, kChunkLayer, 4);
  const size_t l6 = OffsetOfChunk(bytes, kChunkLayer, 6);
  EXPECT_EQ(bytes[l4 + 14], 3);
  EXPECT_EQ(LoadU16(bytes.data() + l4 + 62), 0);
  EXPECT_EQ(bytes[l6 + 14], 5);
  EXPECT_EQ(LoadU16(bytes.data() + l6 + 62), 1);
  EXPECT_TRUE(LoadU16(bytes.data() + l6 + 12) & 0x10);
  EXPECT_EQ(LoadI32(bytes.data() + l6 + 16), 32);
  EXPECT_EQ(LoadU32(bytes.data() + l6 + 56), 0x00FFFFFFu);
  // A mask without a store has its store fields 0 and no blocks after it.
  const size_t m0 = OffsetOfChunk(bytes, kChunkMask, 0);
  EXPECT_EQ(LoadU16(bytes.data() + m0 + 12), 0);
  for (size_t k = 16; k < 60; ++k) EXPECT_EQ(bytes[m0 + k], 0) << k;
  EXPECT_EQ(LoadU32(bytes.data() + m0 + 8 + LoadU32(bytes.data() + m0 + 4)), kChunkMask);
}

// ---------------------------------------------------------------------------------------------
// A small file for the fault table: canvas 40 x 30, one layer, one mask with a store.

std::vector<uint8_t> SmallFile(uint32_t flags = kDocLayers | kDocMasks) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  EXPECT_TRUE(paper.NewDocument("small.tfi", &window.Flow(), true, false, 96, 30, 40));
  paper.GetLayer(0)->Store()->SetPixel(3, 4, 0xFF102030u);
  CMaskMngr& masks = *paper.MaskMngr();
  auto mask = CMaskData::Create(1, 40, 30);
  *mask->Store()->PixelPtr(1, 1, true) = 200;
  masks.InsertMask(1, mask);
  masks.Renumber();
  MemoryStream stream;
  EXPECT_TRUE(WriteDocStream(stream, paper, flags, nullptr));
  return stream.TakeBytes();
}

struct LoadOutcome {
  uint8_t code = 0;
  int32_t layers = 0;
  int32_t masks = 0;
  int32_t resolution = 0;
  int32_t activeLayer = -1;
  int32_t activeMask = -1;
  uint8_t blendMode0 = 0;
  std::vector<std::string> warnings;
  bool Warned(const std::string& part) const {
    for (const std::string& w : warnings)
      if (w.find(part) != std::string::npos) return true;
    return false;
  }
};

LoadOutcome LoadBytes(const std::vector<uint8_t>& bytes) {
  PaperTestScope scope;
  LoadOutcome out;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  MemoryStream stream(bytes);
  out.code = LoadDocStream(stream, paper, "x.tfi", nullptr);
  out.warnings = scope.warnings.Texts();
  if (out.code == 0) {
    out.layers = paper.GetLayerCount();
    out.masks = paper.MaskMngr()->GetCount();
    out.resolution = paper.resolution;
    out.activeLayer = paper.GetActiveLayerIndex();
    out.activeMask = paper.MaskMngr()->GetActiveIndex();
    out.blendMode0 = paper.GetLayer(0)->blendMode;
    EXPECT_GE(out.activeLayer, 0);
    EXPECT_GE(out.activeMask, 0);
    EXPECT_EQ(paper.ready, 1);
  } else {
    EXPECT_EQ(paper.ready, 0);
  }
  return out;
}

struct FaultCase {
  const char* name;
  friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }
  void (*edit)(std::vector<uint8_t>& bytes);
  uint8_t code;         // LoadDocStream's result
  const char* warning;  // a part of a warning shown, or null for none
  int32_t layers;       // layers afterwards (when code is 0)
};

size_t Layer0(const std::vector<uint8_t>& b) { return OffsetOfChunk(b, kChunkLayer); }
size_t Mask1(const std::vector<uint8_t>& b) { return OffsetOfChunk(b, kChunkMask, 1); }

const FaultCase kFaults[] = {
    {"Intact", [](std::vector<uint8_t>&) {}, 0, nullptr, 1},
    {"WidthZeroRefused", [](std::vector<uint8_t>& b) { StoreI32(b.data() + 8, 0); }, 13, nullptr, 0},
    {"HeightNegativeRefused", [](std::vector<uint8_t>& b) { StoreI32(b.data() + 12, -5); }, 13, nullptr, 0},
    {"Width10001Refused", [](std::vector<uint8_t>& b) { StoreI32(b.data() + 8, 10001); }, 13, nullptr, 0},
    {"Width10000Accepted", [](std::vector<uint8_t>& b) { StoreI32(b.data() + 8, 10000); }, 0, nullptr, 1},
    {"WrongMagic", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, 16, nullptr, 0},
    {"WrongSizeField", [](std::vector<uint8_t>& b) { StoreU32(b.data() + 4, 52); }, 17, nullptr, 0},
    {"Version2Refused", [](std::vector<uint8_t>& b) { StoreU32(b.data() + 16, 2); }, 12, nullptr, 0},
    {"ShortHeader", [](std::vector<uint8_t>& b) { b.resize(50); }, 9, nullptr, 0},
    {"ResolutionZeroReadAsDefault", [](std::vector<uint8_t>& b) { StoreU16(b.data() + 36, 0); }, 0, nullptr, 1},
    {"ActiveIndexesOutOfRangeClamped",
     [](std::vector<uint8_t>& b) {
       StoreI16(b.data() + 32, 300);
       StoreI16(b.data() + 34, -4);
     },
     0, nullptr, 1},
    {"UnknownBlendModeReadAsNormal", [](std::vector<uint8_t>& b) { b[Layer0(b) + 14] = 99; }, 0, nullptr, 1},
    {"LayerLevel2Refused", [](std::vector<uint8_t>& b) { StoreU16(b.data() + Layer0(b) + 62, 2); }, 0, "(err=12)",
     1},
    {"LayerSizeBelowRecord",
     [](std::vector<uint8_t>& b) {
       const size_t at = Layer0(b);
       StoreU32(b.data() + at + 4, 60);
     },
     0, "(err=17)", 1},
    // The name length field disagreeing with the chunk size once dropped the whole layer or mask.
    {"LayerNameLengthFieldIgnored", [](std::vector<uint8_t>& b) { StoreU16(b.data() + Layer0(b) + 60, 200); },
     0, nullptr, 1},
    {"LayerTilesAcrossDisagree", [](std::vector<uint8_t>& b) { StoreI32(b.data() + Layer0(b) + 24, 7); }, 0,
     "(err=22)", 1},
    {"LayerTileSide64Refused", [](std::vector<uint8_t>& b) { StoreI32(b.data() + Layer0(b) + 16, 64); }, 0,
     "(err=22)", 1},
    {"LayerStoreBytesBeyond32Bits",
     [](std::vector<uint8_t>& b) {
       const size_t at = Layer0(b);
       StoreI32(b.data() + at + 32, 32 * 1000);
       StoreI32(b.data() + at + 36, 32 * 1000);
       StoreI32(b.data() + at + 24, 1000);
       StoreI32(b.data() + at + 28, 1000);
     },
     0, "(err=21)", 1},
    {"MaskLevel1Refused", [](std::vector<uint8_t>& b) { StoreU16(b.data() + Mask1(b) + 62, 1); }, 0, "(err=12)",
     1},
    {"MaskTilesDownDisagree", [](std::vector<uint8_t>& b) { StoreI32(b.data() + Mask1(b) + 28, 3); }, 0,
     "(err=30)", 1},
    {"MaskNameLengthFieldIgnored", [](std::vector<uint8_t>& b) { StoreU16(b.data() + Mask1(b) + 60, 90); }, 0,
     nullptr, 1},
    {"MaskStoreBytesBeyond32Bits",
     [](std::vector<uint8_t>& b) {
       const size_t at = Mask1(b);
       StoreI32(b.data() + at + 32, 64 * 800);
       StoreI32(b.data() + at + 36, 64 * 800);
       StoreI32(b.data() + at + 24, 800);
       StoreI32(b.data() + at + 28, 800);
     },
     0, "(err=29)", 1},
    // Every failed layer says so itself; the default layer comes without a second warning.
    {"AllLayersFailingWarnsAndOpensADefaultLayer",
     [](std::vector<uint8_t>& b) { StoreU16(b.data() + Layer0(b) + 62, 7); }, 0, "(err=12)", 1},
    // Layers announced but never met: the only word the person gets.
    {"AnnouncedLayersMissingWarns", [](std::vector<uint8_t>& b) { b.resize(Layer0(b)); }, 0, kDocNoLayerText, 1},
    {"UnknownChunksCountedOnce",
     [](std::vector<uint8_t>& b) {
       const uint8_t unknown[] = {'A', 'B', 'C', 'D', 4, 0, 0, 0, 1, 2, 3, 4, 'W', 'X', 'Y', 'Z', 0, 0, 0, 0};
       b.insert(b.begin() + long(Layer0(b)), unknown, unknown + sizeof unknown);
     },
     0, "2個の未知のデータブロックを無視しました!  (id = WXYZ)", 1},
    {"ChunkPastTheEnd", [](std::vector<uint8_t>& b) { StoreU32(b.data() + Mask1(b) + 4, 0x7FFFFFF0u); }, 0,
     "(err=11)", 1},
};

class DocFileFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(DocFileFaults, NamedCodeOrWarning) {
  const FaultCase& c = GetParam();
  std::vector<uint8_t> bytes = SmallFile();
  c.edit(bytes);
  const LoadOutcome out = LoadBytes(bytes);
  EXPECT_EQ(out.code, c.code);
  if (c.warning != nullptr) {
    EXPECT_TRUE(out.Warned(c.warning)) << (out.warnings.empty() ? std::string("no warning")
                                                                : out.warnings.back());
  } else {
    EXPECT_TRUE(out.warnings.empty()) << out.warnings.front();
  }
  if (c.code == 0) {
    EXPECT_EQ(out.layers, c.layers);
    EXPECT_GE(out.masks, 1);
    EXPECT_NE(out.resolution, 0);
    EXPECT_LT(out.blendMode0, 22);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, DocFileFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// The name is the chunk's rest after the record; a name length field that disagrees once
// dropped the layer or the mask with all its pixels.
TEST(DocFileEdges, NameLengthFieldsThatDisagreeKeepTheLayerAndTheMask) {
  const std::vector<uint8_t> good = SmallFile();
  for (const uint16_t field : {uint16_t{0}, uint16_t{3}, uint16_t{200}, uint16_t{0xFFFF}}) {
    SCOPED_TRACE(field);
    std::vector<uint8_t> bytes = good;
    StoreU16(bytes.data() + Layer0(bytes) + 60, field);
    StoreU16(bytes.data() + Mask1(bytes) + 60, field);
    PaperTestScope scope;
    HeadlessDocumentWindow intact, window;
    MemoryStream a(good), b(bytes);
    ASSERT_EQ(LoadDocStream(a, intact.Paper(), "a.tfi", nullptr), 0);
    ASSERT_EQ(LoadDocStream(b, window.Paper(), "b.tfi", nullptr), 0);
    EXPECT_TRUE(scope.warnings.Texts().empty());
    TPaper& paper = window.Paper();
    ASSERT_EQ(paper.GetLayerCount(), 1);
    EXPECT_EQ(paper.GetLayer(0)->name, intact.Paper().GetLayer(0)->name);
    EXPECT_EQ(paper.GetLayer(0)->Store()->GetPixel(3, 4), 0xFF102030u);
    ASSERT_EQ(paper.MaskMngr()->GetCount(), 2);
    const CMaskData& mask = *paper.MaskMngr()->GetMask(1);
    EXPECT_EQ(mask.name, intact.Paper().MaskMngr()->GetMask(1)->name);
    ASSERT_TRUE(mask.IsAllocated());
    EXPECT_EQ(mask.Store()->GetPixel(1, 1), 200);
  }
}

// A failed layer warned twice: its own failure, then that no layer was read.
TEST(DocFileEdges, AllLayersFailingWarnsOncePerLayer) {
  std::vector<uint8_t> bytes = SmallFile();
  StoreU16(bytes.data() + Layer0(bytes) + 62, 7);
  const LoadOutcome out = LoadBytes(bytes);
  EXPECT_EQ(out.code, 0);
  ASSERT_EQ(out.warnings.size(), 1u);
  EXPECT_NE(out.warnings[0].find("(err=12)"), std::string::npos);
  EXPECT_EQ(out.layers, 1);
}

// A mask without pixels reopens at (0, 0), whatever offset its record holds.
TEST(DocFileEdges, AMaskWithoutPixelsReopensAtTheOrigin) {
  std::vector<uint8_t> bytes = SmallFile();
  const size_t m0 = OffsetOfChunk(bytes, kChunkMask, 0);
  StoreI32(bytes.data() + m0 + 8 + 32, 7);
  StoreI32(bytes.data() + m0 + 8 + 36, -3);
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  MemoryStream stream(bytes);
  ASSERT_EQ(LoadDocStream(stream, window.Paper(), "m.tfi", nullptr), 0);
  const CMaskData& mask = *window.Paper().MaskMngr()->GetMask(0);
  EXPECT_FALSE(mask.IsAllocated());
  EXPECT_EQ(mask.offsetX, 0);
  EXPECT_EQ(mask.offsetY, 0);
  // The mask with pixels keeps its own.
  EXPECT_TRUE(window.Paper().MaskMngr()->GetMask(1)->IsAllocated());
}

TEST(DocFileEdges, ActiveIndexesAreClampedAndResolutionDefaults) {
  std::vector<uint8_t> bytes = SmallFile();
  StoreI16(bytes.data() + 32, 300);
  StoreI16(bytes.data() + 34, -4);
  StoreU16(bytes.data() + 36, 0);
  const LoadOutcome out = LoadBytes(bytes);
  EXPECT_EQ(out.activeLayer, 0);
  EXPECT_EQ(out.activeMask, 0);
  EXPECT_EQ(out.resolution, kDefaultDocResolution);
  std::vector<uint8_t> mode = SmallFile();
  mode[Layer0(mode) + 14] = 99;
  EXPECT_EQ(LoadBytes(mode).blendMode0, 3);
}

// A canvas whose buffers are larger than the memory allows is refused before any chunk is read:
// the no-memory code, the document not ready. The fuzz target keeps its blocks small this way.
TEST(DocFileEdges, CanvasLargerThanTheMemoryAllowsIsRefusedCleanly) {
  const std::vector<uint8_t> bytes = SmallFile();
  const int64_t before = SetMemoryBlockCap(256 * 1024);
  EXPECT_EQ(LoadBytes(bytes).code, 0);  // 30 x 40: every block well below the cap
  std::vector<uint8_t> wide = bytes;
  StoreI32(wide.data() + 8, 4000);  // 4000 x 40 x 4 bytes: over the cap
  const LoadOutcome out = LoadBytes(wide);
  EXPECT_EQ(out.code, kFileNoMemory);
  EXPECT_EQ(out.layers, 0);
  SetMemoryBlockCap(before);
  EXPECT_EQ(LoadBytes(wide).code, 0);
}

TEST(DocFileEdges, HeaderAndThumbnailOnlyGivesOneNormalLayerAndWarns19) {
  std::vector<uint8_t> bytes = SmallFile(kDocThumbnail);
  const LoadOutcome out = LoadBytes(bytes);
  EXPECT_EQ(out.code, 0);
  EXPECT_TRUE(out.Warned("(err=19)"));
  EXPECT_EQ(out.layers, 1);
  EXPECT_EQ(out.blendMode0, 3);
  EXPECT_EQ(out.masks, 1);  // a new empty active mask
}

TEST(DocFileEdges, EveryPrefixLoadsOrIsRefusedWithoutCrash) {
  const std::vector<uint8_t> bytes = SmallFile();
  for (size_t n = 0; n <= bytes.size(); n += (n < 200 ? 1 : 7)) {
    SCOPED_TRACE(n);
    const LoadOutcome out = LoadBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(n)));
    if (n < size_t(kDocHeaderBytes)) {
      EXPECT_EQ(out.code, kFileShortRead);
    } else {
      EXPECT_EQ(out.code, 0);
      EXPECT_GE(out.layers, 1);
      EXPECT_GE(out.masks, 1);
    }
  }
}

TEST(DocFileEdges, FlippedBytesGiveACodeOrAWarningNeverACrash) {
  const std::vector<uint8_t> bytes = SmallFile();
  for (size_t at = 0; at < bytes.size(); at += (at < 400 ? 1 : 5)) {
    SCOPED_TRACE(at);
    std::vector<uint8_t> flipped = bytes;
    flipped[at] ^= 0xA5;
    const LoadOutcome out = LoadBytes(flipped);
    if (out.code == 0) {
      EXPECT_GE(out.layers, 1);
      EXPECT_GE(out.masks, 1);
    } else {
      EXPECT_LT(at, size_t(kDocHeaderBytes));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(DocFileTest, WritesRefusedAtAnyByteFailTheSave) {
  HeadlessDocumentWindow window;
  BuildRichDocument(window);
  if (HasFatalFailure()) return;
  MemoryStream whole;
  ASSERT_TRUE(WriteDocStream(whole, window.Paper(), kAllFlags, nullptr));
  const int64_t size = whole.Size();
  for (int64_t limit :
       {int64_t{0}, int64_t{30}, int64_t{56}, int64_t{57}, size / 3, size / 2, size - 9, size - 1}) {
    SCOPED_TRACE(limit);
    test::FaultStream stream(limit);
    EXPECT_FALSE(WriteDocStream(stream, window.Paper(), kAllFlags, nullptr));
  }
  test::FaultStream enough(-1);
  EXPECT_TRUE(WriteDocStream(enough, window.Paper(), kAllFlags, nullptr));
}

TEST_F(DocFileTest, FailingLayerChunkFailsTheSaveAndKeepsThePreviousFile) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("a.tfi", &window.Flow(), false, false, 72, 20, 20));
  const std::string path = PathOf("kept.tfi");
  const std::vector<uint8_t> previous = {'o', 'l', 'd'};
  WriteFileBytes(path, previous);
  // A layer without a store cannot be written (22): warned, the other chunks stay, the save fails.
  auto broken = std::make_unique<CLayerData>(1, false);
  broken->name = "broken";
  ASSERT_GE(paper.Layers().InsertExisting(1, broken), 0);
  scope.warnings.Clear();
  EXPECT_FALSE(SaveDocFile(path, paper, kAllFlags));
  EXPECT_EQ(FileBytes(path), previous);
  ASSERT_FALSE(scope.warnings.Texts().empty());
  EXPECT_NE(scope.warnings.Texts().back().find("(\"broken\") の保存に失敗しました! (err=22)"), std::string::npos);
  // The stream form keeps the layers before and after the failed one whole.
  MemoryStream stream;
  EXPECT_FALSE(WriteDocStream(stream, paper, kDocLayers, nullptr));
  EXPECT_EQ(ChunksOf(stream.Bytes()).front().id, kChunkLayer);
  paper.Layers().Delete(1);
  ASSERT_TRUE(SaveDocFile(path, paper, kAllFlags));
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
    EXPECT_EQ(entry.path().filename().string().rfind(".kept.tfi.tmp", 0), std::string::npos);
  HeadlessDocumentWindow back;
  EXPECT_EQ(LoadDocFile(path, back.Paper()), 0);
}

TEST_F(DocFileTest, GuardedChunkWritersLeaveNothingBehindAndSizeRequestsWriteNothing) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("g.tfi", &window.Flow(), false, false, 72, 70, 90));
  CLayerData& layer = *paper.GetLayer(0);
  layer.name = "abcde";  // 6 bytes with the zero: 8 written
  auto mask = CMaskData::Create(0, 130, 70);
  ASSERT_NE(mask, nullptr);
  mask->name = "abc";  // 4 bytes with the zero: 4 written
  *mask->Store()->PixelPtr(100, 60, true) = 9;
  MemoryStream none;
  uint32_t length = 0;
  EXPECT_EQ(WriteLayerRecord(none, layer, &length), 0);
  EXPECT_EQ(length, 88u);
  EXPECT_EQ(WriteMaskChunk(none, SSize{90, 70}, *mask, &length), 0);
  EXPECT_EQ(length, 84u);
  EXPECT_EQ(none.Size(), 0);
  for (int64_t limit : {int64_t{3}, int64_t{50}, int64_t{90}, int64_t{130}}) {
    SCOPED_TRACE(limit);
    std::vector<uint8_t> before(17, 0xEE);
    test::FaultStream layerStream(before, int64_t(before.size()) + limit);
    layerStream.SetLimit(limit);
    EXPECT_NE(WriteLayerChunkGuarded(layerStream, layer), 0);
    EXPECT_EQ(layerStream.Bytes(), before);
    test::FaultStream maskStream(before);
    maskStream.SetLimit(limit);
    EXPECT_NE(WriteMaskChunkGuarded(maskStream, SSize{90, 70}, *mask), 0);
    EXPECT_EQ(maskStream.Bytes(), before);
  }
}

TEST_F(DocFileTest, ProgressDialogShowsTitlesAndEveryLayerAndMask) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("p.tfi", &window.Flow(), false, false, 72, 20, 20));
  RecordingProgressHost host;
  ProgressHost* previous = SetProgressHost(&host);
  const std::string path = PathOf("p.tfi");
  const bool saved = SaveDocFile(path, paper, kAllFlags);
  HeadlessDocumentWindow back;
  const uint8_t loaded = LoadDocFile(path, back.Paper());
  SetProgressHost(previous);
  ASSERT_TRUE(saved);
  ASSERT_EQ(loaded, 0);
  auto has = [&](const std::string& line) {
    return std::find(host.log.begin(), host.log.end(), line) != host.log.end();
  };
  EXPECT_TRUE(has("title: 画像保存中 (p.tfi)"));
  EXPECT_TRUE(has("status: サムネイルを保存しています..."));
  EXPECT_TRUE(has("status: レイヤ1を保存しています..."));
  EXPECT_TRUE(has("status: マスク1を保存しています..."));
  EXPECT_TRUE(has("status: イベントデータを保存しています..."));
  EXPECT_TRUE(has("title: 画像ロード中 (p.tfi)"));
  EXPECT_TRUE(has("status: レイヤ1をロードしています..."));
  EXPECT_TRUE(has("status: マスク1をロードしています..."));
  EXPECT_TRUE(has("status: イベントデータをロードしています..."));
  EXPECT_EQ(host.made, 2);
}

TEST_F(DocFileTest, MissingAndUnreadableFiles) {
  HeadlessDocumentWindow window;
  EXPECT_EQ(LoadDocFile(PathOf("none.tfi"), window.Paper()), kFileMissing);
  std::unique_ptr<TMTC> image;
  SSize canvas{};
  EXPECT_EQ(ReadDocumentThumbnail(PathOf("none.tfi"), image, canvas), kFileMissing);
  EXPECT_FALSE(SaveDocFile(PathOf("no/such/folder/x.tfi"), window.Paper(), kDocLayers));
}

TEST_F(DocFileTest, DocumentThumbnailGivesCanvasSizeAndPicture) {
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("t.tfi", &window.Flow(), false, false, 72, 300, 600));
  const std::string path = PathOf("t.tfi");
  ASSERT_TRUE(SaveDocFile(path, paper, kAllFlags));
  std::unique_ptr<TMTC> image;
  SSize canvas{};
  ASSERT_EQ(ReadDocumentThumbnail(path, image, canvas), 0);
  EXPECT_EQ(canvas.width, 600);
  EXPECT_EQ(canvas.height, 300);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Width(), 256);
  EXPECT_EQ(image->Height(), 128);
  EXPECT_EQ(image->GetPixel(10, 10) >> 24, 0xFFu);
  // Without a thumbnail: result 0 and no picture.
  ASSERT_TRUE(SaveDocFile(path, paper, kDocLayers));
  ASSERT_EQ(ReadDocumentThumbnail(path, image, canvas), 0);
  EXPECT_EQ(image, nullptr);
}

TEST_F(DocFileTest, BadEventBlocksKeepLayersAndDiscardTheStream) {
  HeadlessDocumentWindow window;
  BuildRichDocument(window);
  if (HasFatalFailure()) return;
  MemoryStream stream;
  ASSERT_TRUE(WriteDocStream(stream, window.Paper(), kAllFlags, nullptr));
  std::vector<uint8_t> bytes = stream.TakeBytes();
  const size_t block = OffsetOfChunk(bytes, kChunkEventBlock);
  ASSERT_LT(block + 60, bytes.size());
  // Garble the packed bytes of the first event block.
  for (size_t k = block + 40; k < std::min(bytes.size(), block + 80); ++k) bytes[k] ^= 0x5A;
  PaperTestScope local;
  HeadlessDocumentWindow target;
  MemoryStream in(bytes);
  SDocReadReport report;
  ASSERT_EQ(LoadDocStream(in, target.Paper(), "e.tfi", nullptr, &report), 0);
  EXPECT_EQ(report.layersRead, 23);
  EXPECT_FALSE(report.eventsRead);
  ExpectSameLayers(window.Paper(), target.Paper());
  // The stream holds only the fresh recording, not the saved one.
  EXPECT_LT(StreamBytes(*target.Paper().EventMngr()).size(), StreamBytes(*window.Paper().EventMngr()).size());
  EXPECT_TRUE(target.Paper().EventMngr()->isRecording());
  bool warned = false;
  for (const std::string& w : local.warnings.Texts()) warned = warned || w.find("イベント") != std::string::npos;
  EXPECT_TRUE(warned);
}

}  // namespace
}  // namespace tf
