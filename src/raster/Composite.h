// Byte and pixel compositing primitives and their lookup tables.
#pragma once
// Byte and pixel compositing primitives, the three 64 KB lookup tables and the
// straight-alpha compositing step used by the blend modes.
//
// Pixels are 32-bit values with blue in byte 0, green 1, red 2 and alpha 3,
// straight (not premultiplied) alpha.
//
// Every primitive is an inline function with the shape of its callback type, so
// a rectangle loop can take it either as a plain function pointer (one loop for
// every mode) or as a functor template argument (PixelOpFn / ByteOpFn below), in
// which case the call is inlined into the pixel loop.
#include <cstdint>

#include "raster/Geometry.h"  // SRandom

namespace tf {

// Per-pixel callbacks of the rectangle loops.
// PixelOp: (destination pixel, colour or source pixel, alpha or value).
using PixelOp = void (*)(uint32_t* pixel, uint32_t colour, int32_t alpha);
// ByteOp: (destination byte, value).
using ByteOp = void (*)(uint8_t* byte, uint8_t value);

// Wraps a fixed operation as a functor so that a templated loop inlines it.
template <PixelOp Op>
struct PixelOpFn {
  void operator()(uint32_t* pixel, uint32_t colour, int32_t alpha) const { Op(pixel, colour, alpha); }
};
template <ByteOp Op>
struct ByteOpFn {
  void operator()(uint8_t* byte, uint8_t value) const { Op(byte, value); }
};

// Lookup tables, indexed [row][column] (row*256 + column). Built once by
// InitCompositeTables at start-up; read-only afterwards.
//   MulTable[i][j]      = i*j div 255
//   InvMulTable[i][j]   = 255 - (i*(255-j)) div 255   (j pulled toward white as i falls)
//   HalfDiffTable[i][d] = (2*i*d)/255 truncated toward zero, d in -128..127 stored as
//                         its two's-complement byte; the entry is a two's-complement
//                         byte too (kept mod 256: users add it and mask with 255).
extern uint8_t MulTable[256][256];
extern uint8_t InvMulTable[256][256];
extern uint8_t HalfDiffTable[256][256];

// Fill MulTable and InvMulTable / HalfDiffTable.
void BuildBlendTables();
void BuildHalfDiffTable();
// Module start-up: builds the three tables once (later calls do nothing). Runs
// from a static initialiser of this module; tests may call it as well.
void InitCompositeTables();

// ---- Arithmetic ----------------------------------------------------------

// x*y div 255 for bytes, as (x*y*32897) >> 23 in unsigned 32-bit arithmetic.
inline uint32_t MulDiv255(uint32_t x, uint32_t y) { return (x * y * 32897u) >> 23; }

// (a*w + b*(255-w)) div 255; 8388735 = 255*32897.
inline uint32_t LerpByte(uint32_t a, uint32_t b, uint32_t w) {
  return (a * w * 32897u + b * (8388735u - w * 32897u)) >> 23;
}

// byte := LerpByte(value, byte, alpha).
inline void BlendByte(uint8_t& byte, uint32_t value, uint32_t alpha) {
  byte = static_cast<uint8_t>(LerpByte(value, byte, alpha));
}

// ---- Pixel operations (PixelOp) ------------------------------------------
// Bytes 0..2 are changed channel by channel; the alpha byte is kept, except by
// SetPixelOp. Only the low byte of alpha counts.

namespace composite_detail {
inline uint32_t Channel(uint32_t v, int shift) { return (v >> shift) & 0xFFu; }

// ceil(2^32 / d) for d in 1..255: (v * Reciprocal[d]) >> 32 = v div d exactly for
// v <= 65025 (the error v*(d-1)/(d*2^32) stays below 1/d).
struct ReciprocalTable {
  uint64_t value[256];
};
constexpr ReciprocalTable MakeReciprocals() {
  ReciprocalTable t{};
  for (uint64_t d = 1; d < 256; ++d) t.value[d] = ((uint64_t{1} << 32) + d - 1) / d;
  return t;
}
inline constexpr ReciprocalTable kReciprocal = MakeReciprocals();

// v div d for v <= 65025, d in 1..255.
inline uint32_t DivideSmall(uint32_t v, uint32_t d) {
  return static_cast<uint32_t>((uint64_t{v} * kReciprocal.value[d]) >> 32);
}
}  // namespace composite_detail

// Linear blend of B, G, R toward the colour by alpha. The most used operation.
// Alpha 0 leaves B, G, R as they are, 255 copies the colour's; otherwise each is
// (c*alpha*32897 + p*(8388735 - alpha*32897)) >> 23 = (c*alpha + p*(255-alpha)) div 255.
// Computed without branches, two channels per multiply (16-bit lanes that cannot
// carry: c*a + p*(255-a) <= 65025), with the exact x div 255 = (x + 1 + (x >> 8)) >> 8
// for x <= 65025; the same result for every input, and loops that inline it vectorise.
// The pixel is always stored (with its old value when alpha is 0).
inline void BlendColor(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  const uint32_t a = static_cast<uint32_t>(alpha) & 0xFFu;
  const uint32_t ia = 255u - a;
  const uint32_t p = *pixel;
  // Lanes: blue and red; green and alpha (the alpha lane is discarded).
  uint32_t rb = (colour & 0x00FF00FFu) * a + (p & 0x00FF00FFu) * ia;
  uint32_t ga = ((colour >> 8) & 0x00FF00FFu) * a + ((p >> 8) & 0x00FF00FFu) * ia;
  rb = ((rb + 0x00010001u + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  ga = (ga + 0x00010001u + ((ga >> 8) & 0x00FF00FFu)) & 0x0000FF00u;
  *pixel = (p & 0xFF000000u) | rb | ga;
}

// pixel := value, all four bytes.
inline void SetPixelOp(uint32_t* pixel, uint32_t value, int32_t /*ignored*/) { *pixel = value; }

// Multiply by the colour at the given opacity: MulTable[p][InvMulTable[alpha][c]].
inline void MultiplyOp(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  const uint8_t* inv = InvMulTable[static_cast<uint32_t>(alpha) & 0xFFu];
  const uint32_t p = *pixel;
  using composite_detail::Channel;
  const uint32_t b = MulTable[Channel(p, 0)][inv[Channel(colour, 0)]];
  const uint32_t g = MulTable[Channel(p, 8)][inv[Channel(colour, 8)]];
  const uint32_t r = MulTable[Channel(p, 16)][inv[Channel(colour, 16)]];
  *pixel = (p & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

// p := min(255, p + c*alpha/255).
inline void AddOp(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  const uint8_t* mul = MulTable[static_cast<uint32_t>(alpha) & 0xFFu];
  const uint32_t p = *pixel;
  using composite_detail::Channel;
  uint32_t b = Channel(p, 0) + mul[Channel(colour, 0)];
  uint32_t g = Channel(p, 8) + mul[Channel(colour, 8)];
  uint32_t r = Channel(p, 16) + mul[Channel(colour, 16)];
  b = b > 255 ? 255 : b;
  g = g > 255 ? 255 : g;
  r = r > 255 ? 255 : r;
  *pixel = (p & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

// p := max(0, p - c*alpha/255).
inline void SubtractOp(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  const uint8_t* mul = MulTable[static_cast<uint32_t>(alpha) & 0xFFu];
  const uint32_t p = *pixel;
  using composite_detail::Channel;
  const int32_t b = static_cast<int32_t>(Channel(p, 0)) - mul[Channel(colour, 0)];
  const int32_t g = static_cast<int32_t>(Channel(p, 8)) - mul[Channel(colour, 8)];
  const int32_t r = static_cast<int32_t>(Channel(p, 16)) - mul[Channel(colour, 16)];
  *pixel = (p & 0xFF000000u) | (static_cast<uint32_t>(r < 0 ? 0 : r) << 16) |
           (static_cast<uint32_t>(g < 0 ? 0 : g) << 8) | static_cast<uint32_t>(b < 0 ? 0 : b);
}

// Approximate blend with one table lookup per byte and no multiplication.
inline void BlendColorFast(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  const uint32_t a = static_cast<uint32_t>(alpha) & 0xFFu;
  if (a == 0) return;
  const uint32_t p = *pixel;
  if (a == 255) {
    *pixel = (p & 0xFF000000u) | (colour & 0x00FFFFFFu);
    return;
  }
  const uint8_t* half = HalfDiffTable[a];
  using composite_detail::Channel;
  auto one = [half](uint32_t pc, uint32_t cc) -> uint32_t {
    return (pc + half[((cc >> 1) - (pc >> 1)) & 0xFFu]) & 0xFFu;
  };
  const uint32_t b = one(Channel(p, 0), Channel(colour, 0));
  const uint32_t g = one(Channel(p, 8), Channel(colour, 8));
  const uint32_t r = one(Channel(p, 16), Channel(colour, 16));
  *pixel = (p & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

// Dissolve: t := MulDiv255(stored threshold, colour's alpha byte); one draw r from
// the stored random record; when r < t (unsigned) the stored operation is applied
// with the same arguments. Every call advances the stored sequence.
void RandomThresholdOp(uint32_t* pixel, uint32_t colour, int32_t alpha);

// Stores the operation, a copy of the random record and the threshold used by
// RandomThresholdOp. One process-wide slot: dissolve passes must not interleave.
void SetRandomThreshold(PixelOp operation, const SRandom& random, int32_t threshold);
// Clears the dissolve slot (no operation, threshold 0); for tests.
void ResetRandomThreshold();
// The stored random record as it stands now (after the draws made so far).
const SRandom& DissolveRandomState();

// ---- Byte operations (ByteOp) --------------------------------------------

inline void SetByteOp(uint8_t* byte, uint8_t value) { *byte = value; }
inline void MaxByteOp(uint8_t* byte, uint8_t value) {
  if (value > *byte) *byte = value;
}
inline void MulByteOp(uint8_t* byte, uint8_t value) { *byte = static_cast<uint8_t>(MulDiv255(*byte, value)); }

// Fast byte blend (three arguments; used directly, not as a ByteOp).
inline void BlendByteFast(uint8_t* byte, uint8_t value, int32_t alpha) {
  const uint32_t a = static_cast<uint32_t>(alpha) & 0xFFu;
  if (a == 0) return;
  if (a == 255) {
    *byte = value;
    return;
  }
  const uint32_t p = *byte;
  *byte = static_cast<uint8_t>((p + HalfDiffTable[a][((static_cast<uint32_t>(value) >> 1) - (p >> 1)) & 0xFFu]) &
                               0xFFu);
}

// ---- Straight-alpha compositing ------------------------------------------

enum : uint8_t {
  kCompositeStartFromSource = 0x08,  // start the accumulator from the source colour
  kCompositeSkipZeroAlpha = 0x40,    // leave the pixel when the effective source alpha is 0
};

// A weighted routine over a row: op(acc[i], colour[i], weight[i]) for i in 0..count-1.
using WeightedRowOp = void (*)(uint32_t* acc, const uint32_t* colour, const uint32_t* weight, int32_t count);

// Descriptor taken by CompositePixel. The routines belong to the blend modes: they
// leave in bytes 0..2 of the accumulator the blue, green and red sums of the blend
// weighted by alpha, each within a byte. The row forms, where the blend modes give them,
// are the same routines over a row; the rectangle composites then work row by row
// (raster/CompositeRows.h).
struct SCompositeOps {
  uint32_t startColor = 0;                  // initial accumulator
  uint8_t flags = 0;                        // kComposite* bits
  uint8_t reserved[3] = {};                 // carry nothing
  PixelOp destination = nullptr;            // (accumulator, destination pixel, destination alpha)
  PixelOp source = nullptr;                 // (accumulator, source colour, effective source alpha)
  WeightedRowOp destinationRows = nullptr;  // row form of destination, or none
  WeightedRowOp sourceRows = nullptr;       // row form of source, or none
};

// CompositePixel with the two routines given as callables (functors or function
// pointers). Blend-mode loops instantiate it with functors so nothing is called
// indirectly per pixel.
template <class DestinationOp, class SourceOp>
inline void CompositePixelWith(uint32_t* pixel, uint32_t source, int32_t opacity, uint32_t startColor,
                               uint8_t flags, DestinationOp&& destination, SourceOp&& sourceOp) {
  // Opacity is held to 0..255 (a wild value would take e and out past a byte).
  const uint32_t o = opacity < 0 ? 0u : (opacity > 255 ? 255u : static_cast<uint32_t>(opacity));
  const uint32_t e = MulDiv255(source >> 24, o);
  if ((flags & kCompositeSkipZeroAlpha) && e == 0) return;
  const uint32_t before = *pixel;
  const uint32_t a = before >> 24;
  const uint32_t out = a + e - MulDiv255(a, e);
  // out = 0: the alpha byte is 0 and the colour bytes stay.
  uint32_t result = before & 0x00FFFFFFu;
  if (out != 0) {
    uint32_t acc = (flags & kCompositeStartFromSource) ? source : startColor;
    destination(&acc, before, static_cast<int32_t>(a));
    sourceOp(&acc, source, static_cast<int32_t>(e));
    // (byte*255) div out, exact, by a reciprocal multiply; clamped to a byte.
    auto unweight = [out](uint32_t v) -> uint32_t {
      const uint32_t c = composite_detail::DivideSmall(v * 255u, out);
      return c > 255 ? 255 : c;
    };
    const uint32_t b = unweight(acc & 0xFFu);
    const uint32_t g = unweight((acc >> 8) & 0xFFu);
    const uint32_t r = unweight((acc >> 16) & 0xFFu);
    result = (out << 24) | (r << 16) | (g << 8) | b;
  }
  *pixel = result;
}

// The compositing step (opacity held to 0..255): effective alpha e := MulDiv255(source alpha, opacity);
// out := a + e - a*e/255; accumulator through the destination and source routines;
// colour := accumulator*255/out, clamped to a byte.
inline void CompositePixel(uint32_t* pixel, uint32_t source, int32_t opacity, const SCompositeOps& ops) {
  CompositePixelWith(pixel, source, opacity, ops.startColor, ops.flags, ops.destination, ops.source);
}

}  // namespace tf
