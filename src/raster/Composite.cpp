#include "raster/Composite.h"

namespace tf {

alignas(64) uint8_t MulTable[256][256];
alignas(64) uint8_t InvMulTable[256][256];
alignas(64) uint8_t HalfDiffTable[256][256];

void BuildBlendTables() {
  for (int i = 0; i < 256; ++i) {
    for (int j = 0; j < 256; ++j) {
      MulTable[i][j] = static_cast<uint8_t>((i * j) / 255);
      InvMulTable[i][j] = static_cast<uint8_t>(((i * (255 - j)) / 255) ^ 255);
    }
  }
}

void BuildHalfDiffTable() {
  for (int i = 0; i < 256; ++i) {
    for (int j = 0; j < 128; ++j) HalfDiffTable[i][j] = static_cast<uint8_t>((i * j * 2) / 255);
    // Negative differences: C++ division truncates toward zero; the entry is kept mod 256.
    for (int d = -1; d >= -128; --d)
      HalfDiffTable[i][d + 256] = static_cast<uint8_t>(static_cast<uint32_t>((i * d * 2) / 255) & 0xFFu);
  }
}

namespace {
bool gTablesBuilt = false;

// Module start-up: the tables exist before any other module's code runs on them.
struct TablesInit {
  TablesInit() { InitCompositeTables(); }
} gTablesInit;

// Dissolve slot.
PixelOp gDissolveOperation = nullptr;
SRandom gDissolveRandom = {0, 0, 0, 0, 0};
int32_t gDissolveThreshold = 0;
}  // namespace

void InitCompositeTables() {
  if (gTablesBuilt) return;
  BuildBlendTables();
  BuildHalfDiffTable();
  gTablesBuilt = true;
}

void SetRandomThreshold(PixelOp operation, const SRandom& random, int32_t threshold) {
  gDissolveOperation = operation;
  gDissolveRandom = random;
  gDissolveThreshold = threshold;
}

void ResetRandomThreshold() {
  gDissolveOperation = nullptr;
  gDissolveRandom = {0, 0, 0, 0, 0};
  gDissolveThreshold = 0;
}

const SRandom& DissolveRandomState() { return gDissolveRandom; }

void RandomThresholdOp(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  const uint32_t t = MulDiv255(static_cast<uint32_t>(gDissolveThreshold), colour >> 24);
  const uint32_t r = static_cast<uint32_t>(RandomDraw(gDissolveRandom));
  // No stored operation: the draw still advances the sequence, nothing is written.
  if (r < t && gDissolveOperation != nullptr) gDissolveOperation(pixel, colour, alpha);
}

}  // namespace tf
