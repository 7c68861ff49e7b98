// libFuzzer target: tiled-block chunks (TBIM and TBMK) from outside bytes, into both stores.
//
// Input: byte 0 picks the store (bit 0: mask) and bytes 1 and 2 the tiles across and down the
// owning record claims (1 to 16 each); the store has 1 to 8 tiles a side from byte 3, so a
// record may claim more tiles than the store has. The rest is the chunk stream. Whatever the
// reader accepted is written out again and must read back to the same tiles.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "FuzzQuiet.h"
#include "platform/Stream.h"
#include "raster/BlockChunk.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"

namespace {

[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "expectation failed at %s:%d\n", __FILE__, line);
  __builtin_trap();
}

using namespace tf;

// Committed state, fill of uncommitted tiles and bytes of committed ones.
std::vector<uint8_t> Contents(const CBlockImage& store) {
  std::vector<uint8_t> out;
  for (int32_t i = 0; i < store.TileCount(); ++i) {
    const STileInfo& t = store.TileByIndex(i);
    out.push_back(t.committed);
    if (t.committed) {
      out.insert(out.end(), t.block, t.block + t.byteSize);
    } else {
      for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(t.fill >> (8 * k)));
    }
  }
  return out;
}

uint8_t ReadBlocksOf(Stream& s, CBlockVMTC& store, int32_t a, int32_t d) {
  return ReadLayerBlocks(s, store, a, d);
}
uint8_t ReadBlocksOf(Stream& s, CBlockVCH& store, int32_t a, int32_t d) { return ReadMaskBlocks(s, store, a, d); }
uint8_t WriteBlocksOf(Stream& s, const CBlockVMTC& store) { return WriteLayerBlocks(s, store); }
uint8_t WriteBlocksOf(Stream& s, const CBlockVCH& store) { return WriteMaskBlocks(s, store); }

template <class Store>
void Run(const std::vector<uint8_t>& bytes, int32_t side, int32_t across, int32_t down, int32_t storeAcross,
         int32_t storeDown) {
  Store store(storeAcross * side - 3, storeDown * side - 5);
  if (!store.IsValid()) Fail(__LINE__);
  MemoryStream stream(bytes);
  if (ReadBlocksOf(stream, store, across, down) != 0) return;
  // Every claimed tile was visited, so the claimed grid lies inside the store's.
  if (across > store.TilesAcross() || down > store.TilesDown()) Fail(__LINE__);
  MemoryStream out;
  if (WriteBlocksOf(out, store) != 0) Fail(__LINE__);
  Store back(store.Width(), store.Height());
  if (!out.SetPosition(0)) Fail(__LINE__);
  if (ReadBlocksOf(out, back, store.TilesAcross(), store.TilesDown()) != 0) Fail(__LINE__);
  if (Contents(back) != Contents(store)) Fail(__LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tf::fuzz::QuietWarnings();
  if (size < 4) return 0;
  const bool mask = data[0] & 1;
  const int32_t across = 1 + data[1] % 16;
  const int32_t down = 1 + data[2] % 16;
  const int32_t storeAcross = 1 + data[3] % 8;
  const int32_t storeDown = 1 + (data[3] >> 3) % 8;
  const std::vector<uint8_t> bytes(data + 4, data + size);
  if (mask)
    Run<CBlockVCH>(bytes, 64, across, down, storeAcross, storeDown);
  else
    Run<CBlockVMTC>(bytes, 32, across, down, storeAcross, storeDown);
  return 0;
}
