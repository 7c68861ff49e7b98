#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/AddressSpace.h"
#include "platform/ByteOrder.h"
#include "platform/Stream.h"
#include "raster/BlockChunk.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::XorShiftRng;

// What a store holds, tile by tile: committed state, the fill of an uncommitted tile, the bytes
// of a committed one (overhang included).
template <class Store>
std::vector<std::vector<uint8_t>> TileContents(const Store& store) {
  std::vector<std::vector<uint8_t>> tiles;
  for (int32_t i = 0; i < store.TileCount(); ++i) {
    const STileInfo& t = store.TileByIndex(i);
    if (t.committed) {
      std::vector<uint8_t> bytes(t.block, t.block + t.byteSize);
      bytes.push_back(1);
      tiles.push_back(bytes);
    } else {
      tiles.push_back({0, static_cast<uint8_t>(t.fill), static_cast<uint8_t>(t.fill >> 8),
                       static_cast<uint8_t>(t.fill >> 16), static_cast<uint8_t>(t.fill >> 24)});
    }
  }
  return tiles;
}

// Each tile at random: uncommitted with a random fill, committed with random bytes, committed
// and uniform, or committed, uniform and then compacted away (fill kept).
template <class Store>
void FillRandomly(Store& store, uint64_t seed, uint32_t fillMask) {
  XorShiftRng rng(seed);
  for (int32_t row = 0; row < store.TilesDown(); ++row)
    for (int32_t column = 0; column < store.TilesAcross(); ++column) {
      const uint32_t choice = rng.Next() % 5;
      if (choice == 0) {
        store.GetTile(column, row, false)->fill = rng.Next() & fillMask;
        continue;
      }
      STileInfo* tile = store.GetTile(column, row, true);
      ASSERT_NE(tile, nullptr);
      if (choice <= 2) {
        for (int32_t i = 0; i < tile->byteSize; ++i) tile->block[i] = static_cast<uint8_t>(rng.Next());
      } else {
        std::memset(tile->block, static_cast<int>(rng.Next() & 0xFF), static_cast<size_t>(tile->byteSize));
      }
    }
  store.Compact();  // the uniform ones of choice 4 and 3 alike: both kinds of uniform tile stay
}

struct StoreSize {
  int32_t width, height;
};

TEST(BlockChunk, HeadBytes) {
  STiledBlockHead head;
  head.id = kChunkLayerBlocks;
  head.size = 0x01020304;
  head.blockWidth = 32;
  head.blockHeight = 0x0A0B0C0D;
  head.kind = 1;
  head.count = -2;
  head.packedLength = 0x11121314;
  head.dataLength = 0x40000;
  uint8_t bytes[40];
  EncodeTiledBlockHead(head, bytes);
  const uint8_t expected[40] = {'T',  'B',  'I', 'M', 4, 3, 2,    1,    32,   0,    0,    0,    0x0D, 0x0C,
                                0x0B, 0x0A, 1,   0,   0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0x14, 0x13, 0x12, 0x11,
                                0,    0,    4,   0,   0, 0, 0,    0,    0,    0,    0,    0};
  EXPECT_EQ(std::memcmp(bytes, expected, 40), 0);
  const STiledBlockHead back = DecodeTiledBlockHead(bytes);
  EXPECT_EQ(std::memcmp(&back, &head, sizeof head), 0);
}

// Seeded random stores of several sizes (partial edge tiles included) come back exactly.
TEST(BlockChunk, RandomStoresRoundTrip) {
  const StoreSize sizes[] = {{1, 1}, {32, 32}, {100, 70}, {257, 129}, {640, 33}};
  uint64_t seed = 1;
  for (const StoreSize& size : sizes) {
    for (int trial = 0; trial < 3; ++trial, ++seed) {
      CBlockVMTC layer(size.width, size.height);
      FillRandomly(layer, seed, 0xFFFFFFFFu);
      MemoryStream stream;
      ASSERT_EQ(WriteLayerBlocks(stream, layer), 0);
      EXPECT_EQ(stream.Size() % 4, 0);
      CBlockVMTC layerBack(size.width, size.height);
      ASSERT_TRUE(stream.SetPosition(0));
      ASSERT_EQ(ReadLayerBlocks(stream, layerBack, layer.TilesAcross(), layer.TilesDown()), 0);
      EXPECT_EQ(stream.Position(), stream.Size());
      EXPECT_EQ(TileContents(layerBack), TileContents(layer)) << size.width << "x" << size.height;

      CBlockVCH mask(size.width * 2, size.height * 2);
      FillRandomly(mask, seed * 31, 0xFFu);
      MemoryStream maskStream;
      ASSERT_EQ(WriteMaskBlocks(maskStream, mask), 0);
      CBlockVCH maskBack(size.width * 2, size.height * 2);
      ASSERT_TRUE(maskStream.SetPosition(0));
      ASSERT_EQ(ReadMaskBlocks(maskStream, maskBack, mask.TilesAcross(), mask.TilesDown()), 0);
      EXPECT_EQ(TileContents(maskBack), TileContents(mask));
    }
  }
}

// Uniform blocks read over committed tiles set every pixel; fills with alpha make content.
TEST(BlockChunk, UniformBlocksOverCommittedTilesSetEveryPixel) {
  CBlockVMTC source(64, 32);
  source.GetTile(0, 0, false)->fill = 0x80102030u;
  source.GetTile(1, 0, false)->fill = 0x00FFFFFFu;
  MemoryStream stream;
  ASSERT_EQ(WriteLayerBlocks(stream, source), 0);
  CBlockVMTC dest(64, 32);
  ASSERT_TRUE(dest.SetPixel(3, 3, 0x12345678u));  // tile 0 committed
  ASSERT_TRUE(stream.SetPosition(0));
  ASSERT_EQ(ReadLayerBlocks(stream, dest, 2, 1), 0);
  EXPECT_TRUE(dest.GetTile(0, 0)->committed);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(dest.GetPixel(x, y), 0x80102030u);
  EXPECT_EQ(dest.ContentRects().count, 1);
}

// How the runs are cut: at most 16 committed tiles a chunk; uniform runs are not cut.
TEST(BlockChunk, RunsOfTilesBecomeChunks) {
  auto chunkCounts = [](MemoryStream& stream) {
    std::vector<std::pair<int32_t, int32_t>> chunks;  // kind, count
    int64_t at = 0;
    while (at < stream.Size()) {
      const STiledBlockHead head = DecodeTiledBlockHead(stream.Data() + at);
      chunks.push_back({head.kind, head.count});
      at += 8 + head.size;
    }
    return chunks;
  };
  // 40 committed tiles in a row: 16, 16 and 8.
  CBlockVMTC row(40 * 32, 32);
  for (int32_t c = 0; c < 40; ++c) ASSERT_TRUE(row.SetPixel(c * 32, 0, 0xFF000000u + c));
  MemoryStream stream;
  ASSERT_EQ(WriteLayerBlocks(stream, row), 0);
  EXPECT_EQ(chunkCounts(stream), (std::vector<std::pair<int32_t, int32_t>>{{1, 16}, {1, 16}, {1, 8}}));

  // Alternating tiles: one chunk each.
  CBlockVMTC alternating(5 * 32, 32);
  for (int32_t c = 0; c < 5; c += 2) ASSERT_TRUE(alternating.SetPixel(c * 32, 0, 1u));
  MemoryStream stream2;
  ASSERT_EQ(WriteLayerBlocks(stream2, alternating), 0);
  EXPECT_EQ(chunkCounts(stream2),
            (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {2, 1}, {1, 1}, {2, 1}, {1, 1}}));

  // A mask with no committed tile: one uniform chunk of all its tiles.
  CBlockVCH mask(1000, 300);
  MemoryStream stream3;
  ASSERT_EQ(WriteMaskBlocks(stream3, mask), 0);
  EXPECT_EQ(chunkCounts(stream3), (std::vector<std::pair<int32_t, int32_t>>{{2, 16 * 5}}));
  EXPECT_EQ(stream3.Size(), 40 + 4 * 80);
}

// ---------------------------------------------------------------------------------------------
// Bad input: one field of a good chunk changed; layers and masks name their own codes.

struct BadBlockCase {
  const char* name;
  int32_t offset;  // in the chunk; -1: the first packed byte XORed with 0xFF
  int64_t value;
  bool uniform;       // damage the uniform chunk (second) instead of the packed one (first)
  uint8_t layerCode;  // the mask code is this + 8 where it is a block code (22..26)
};

void PrintTo(const BadBlockCase& c, std::ostream* os) { *os << c.name; }

class BlockChunkBadInput : public ::testing::TestWithParam<BadBlockCase> {};

uint8_t WriteBlocksOf(Stream& stream, const CBlockVMTC& store) { return WriteLayerBlocks(stream, store); }
uint8_t WriteBlocksOf(Stream& stream, const CBlockVCH& store) { return WriteMaskBlocks(stream, store); }

// A store of 3 x 2 tiles: two committed tiles, then four uniform ones.
template <class Store>
std::vector<uint8_t> GoodBlocks(int32_t side) {
  Store store(3 * side, 2 * side);
  for (int32_t c = 0; c < 2; ++c) {
    STileInfo* tile = store.GetTile(c, 0, true);
    for (int32_t i = 0; i < tile->byteSize; ++i) tile->block[i] = static_cast<uint8_t>(i * (c + 3));
  }
  MemoryStream stream;
  EXPECT_EQ(WriteBlocksOf(stream, store), 0);
  return stream.TakeBytes();
}

std::vector<uint8_t> Damaged(std::vector<uint8_t> bytes, const BadBlockCase& c) {
  int64_t at = 0;
  if (c.uniform) at = 8 + LoadU32(bytes.data() + 4);
  if (c.offset < 0)
    bytes[static_cast<size_t>(at + 40 + 7)] ^= 0xFF;
  else
    StoreU32(bytes.data() + at + c.offset, static_cast<uint32_t>(c.value));
  return bytes;
}

TEST_P(BlockChunkBadInput, NamesTheCodeForBothStores) {
  const BadBlockCase& c = GetParam();
  {
    MemoryStream stream(Damaged(GoodBlocks<CBlockVMTC>(32), c));
    CBlockVMTC store(96, 64);
    EXPECT_EQ(ReadLayerBlocks(stream, store, 3, 2), c.layerCode);
  }
  {
    MemoryStream stream(Damaged(GoodBlocks<CBlockVCH>(64), c));
    CBlockVCH store(192, 128);
    const uint8_t maskCode = c.layerCode >= 22 && c.layerCode <= 26 ? c.layerCode + 8 : c.layerCode;
    EXPECT_EQ(ReadMaskBlocks(stream, store, 3, 2), maskCode);
  }
}

INSTANTIATE_TEST_SUITE_P(Fields, BlockChunkBadInput,
                         ::testing::Values(BadBlockCase{"WrongId", 0, 0x4D494254 ^ 0x20, false, 16},
                                           BadBlockCase{"BlockWidth", 8, 16, false, 22},
                                           BadBlockCase{"BlockHeight", 12, 128, false, 22},
                                           BadBlockCase{"KindThree", 16, 3, false, 24},
                                           BadBlockCase{"KindZero", 16, 0, true, 24},
                                           BadBlockCase{"CountZero", 20, 0, false, 23},
                                           BadBlockCase{"CountNegative", 20, -1, true, 23},
                                           BadBlockCase{"CountNotDataLength", 20, 1, false, 25},
                                           BadBlockCase{"DataLengthOverflows", 20, 0x10000000, false, 25},
                                           BadBlockCase{"PackedZero", 24, 0, false, 25},
                                           BadBlockCase{"PackedBeyondChunk", 24, 0x7FFFFFF0, false, 25},
                                           BadBlockCase{"PackedByteFlipped", -1, 0, false, 25},
                                           BadBlockCase{"SizePastTheEnd", 4, 0x7FFFFFF0, false, 9},
                                           BadBlockCase{"UniformValuesBeyondChunk", 4, 32 + 4 * 3, true, 25},
                                           BadBlockCase{"UniformCountHuge", 20, 0x40000000, true, 25}),
                         [](const ::testing::TestParamInfo<BadBlockCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(BlockChunk, BlocksPastTheStoreAreRefused) {
  // The owning record claims more tiles across than the store has.
  const std::vector<uint8_t> bytes = GoodBlocks<CBlockVMTC>(32);
  MemoryStream stream(bytes);
  CBlockVMTC narrow(64, 64);  // 2 x 2 tiles; the record says 3 x 2
  EXPECT_EQ(ReadLayerBlocks(stream, narrow, 3, 2), 26);
  // A count above the blocks the record has left.
  MemoryStream stream2(bytes);
  CBlockVMTC store(96, 64);
  EXPECT_EQ(ReadLayerBlocks(stream2, store, 1, 1), 26);
  // A record of no tiles reads nothing.
  MemoryStream stream3(bytes);
  EXPECT_EQ(ReadLayerBlocks(stream3, store, 0, 5), 0);
  EXPECT_EQ(stream3.Position(), 0);
}

// A chunk announcing more blocks than the record's grid has left was once refused before any
// block was placed; the blocks go in order and the read fails at the first one past the grid.
TEST(BlockChunk, ACountPastTheGridPlacesWhatFitsThenFails) {
  const std::vector<uint8_t> bytes = GoodBlocks<CBlockVMTC>(32);  // packed: tiles 0, 1; uniform: 2..5
  struct Case {
    const char* name;
    int32_t across, down;
    int32_t placed;  // committed tiles of the packed chunk that must hold their bytes
  } cases[] = {
      {"packed chunk past a 1 x 1 grid", 1, 1, 1},
      {"uniform chunk past a 3 x 1 grid", 3, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryStream stream(bytes);
    CBlockVMTC store(96, 64);
    EXPECT_EQ(ReadLayerBlocks(stream, store, c.across, c.down), 26);
    for (int32_t k = 0; k < 2; ++k) {
      const STileInfo& tile = store.TileByIndex(k);
      ASSERT_EQ(tile.committed, k < c.placed) << k;
      if (!tile.committed) continue;
      for (int32_t i = 0; i < tile.byteSize; ++i)
        ASSERT_EQ(tile.block[i], static_cast<uint8_t>(i * (k + 3))) << k << " " << i;
    }
  }
}

TEST(BlockChunk, EveryPrefixFailsWithoutHarm) {
  const std::vector<uint8_t> bytes = GoodBlocks<CBlockVCH>(64);
  for (size_t n = 0; n < bytes.size(); ++n) {
    MemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
    CBlockVCH store(192, 128);
    EXPECT_EQ(ReadMaskBlocks(stream, store, 3, 2), 9) << n;
  }
}

TEST(BlockChunk, GeometryOfTheStoreIsChecked) {
  // A 64-pixel store cannot take 32-pixel blocks, whatever the chunk says.
  CBlockVCH mask(64, 64);
  MemoryStream stream;
  EXPECT_EQ(WriteMaskBlocks(stream, mask), 0);
  CBlockVMTC invalid;
  EXPECT_EQ(WriteLayerBlocks(stream, invalid), 22);
  ASSERT_TRUE(stream.SetPosition(0));
  CBlockVMTC layer(64, 64);
  EXPECT_EQ(ReadLayerBlocks(stream, layer, 1, 1), 16);  // a TBMK where a TBIM belongs
}

TEST(BlockChunk, RefusedCommitIsOutOfMemory) {
  const std::vector<uint8_t> bytes = GoodBlocks<CBlockVMTC>(32);
  MemoryStream stream(bytes);
  CBlockVMTC store(96, 64);
  RefuseNextCommits(1);
  EXPECT_EQ(ReadLayerBlocks(stream, store, 3, 2), 1);
  RefuseNextCommits(0);
  EXPECT_EQ(store.CommittedTileCount(), 0);
}

// Every pixel of the tile grid, row by row, as the store keeps its bytes.
template <class Store>
uint32_t GridCrc(const Store& store) {
  std::vector<uint8_t> grid;
  const int32_t side = store.TileWidth();
  const int32_t bpp = store.BytesPerPixel();
  for (int32_t row = 0; row < store.TilesDown(); ++row)
    for (int32_t y = 0; y < side; ++y)
      for (int32_t column = 0; column < store.TilesAcross(); ++column) {
        const STileInfo* t = store.GetTile(column, row);
        for (int32_t x = 0; x < side; ++x) {
          uint32_t value = t->fill;
          if (t->committed) {
            value = 0;
            std::memcpy(&value, t->block + (y * side + x) * bpp, static_cast<size_t>(bpp));
          }
          for (int32_t k = 0; k < bpp; ++k) grid.push_back(static_cast<uint8_t>(value >> (8 * k)));
        }
      }
  return static_cast<uint32_t>(crc32(0, grid.data(), static_cast<uInt>(grid.size())));
}

// The independent Python reader decodes what we write, tile for tile.
TEST(BlockChunk, PythonReaderDecodesOurChunks) {
  test::ScopedTempFolder folder("tf-blockchunk");
  ASSERT_FALSE(folder.Path().empty());
  CBlockVMTC layer(300, 170);
  FillRandomly(layer, 99, 0xFFFFFFFFu);
  CBlockVCH mask(700, 130);
  FillRandomly(mask, 98, 0xFFu);
  MemoryStream layerStream;
  ASSERT_EQ(WriteLayerBlocks(layerStream, layer), 0);
  MemoryStream maskStream;
  ASSERT_EQ(WriteMaskBlocks(maskStream, mask), 0);
  FileStream file;
  ASSERT_TRUE(file.Create(folder.File("layer.bin")));
  ASSERT_TRUE(file.WriteExact(layerStream.Data(), layerStream.Size()));
  ASSERT_TRUE(file.Create(folder.File("mask.bin")));
  ASSERT_TRUE(file.WriteExact(maskStream.Data(), maskStream.Size()));
  ASSERT_TRUE(file.Close());

  std::map<std::string, std::string> out;
  std::string output;
  const std::string arguments = "dump-blocks '" + folder.File("layer.bin") + "' TBIM " +
                                std::to_string(layer.TilesAcross()) + " " + std::to_string(layer.TilesDown()) +
                                " '" + folder.File("mask.bin") + "' TBMK " + std::to_string(mask.TilesAcross()) +
                                " " + std::to_string(mask.TilesDown());
  const int status = test::RunChunkFilesScript(arguments, out, output);
  if (status == 127) GTEST_SKIP() << "python3 not available";
  ASSERT_EQ(status, 0) << output;
  EXPECT_EQ(out["0.committed"], std::to_string(layer.CommittedTileCount()));
  EXPECT_EQ(out["0.grid_crc"], std::to_string(GridCrc(layer)));
  EXPECT_EQ(out["1.committed"], std::to_string(mask.CommittedTileCount()));
  EXPECT_EQ(out["1.grid_crc"], std::to_string(GridCrc(mask)));
}

}  // namespace
}  // namespace tf
