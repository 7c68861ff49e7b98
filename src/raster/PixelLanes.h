// Eight 32-bit pixels as planes of 16-bit lanes (SSE2), and sixteen in AVX2, for the row loops
// written by hand.
#pragma once
// Blue, green, red and alpha of eight pixels each in a plane of eight 16-bit lanes, so that
// products of two bytes fit a lane. Built only where the compiler targets SSE2 (every x86-64).
#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstdint>

namespace tf::lanes {

// x div 255 for 0 <= x <= 65025 in each lane: (x*32897) >> 23, as MulDiv255.
inline __m128i Div255(__m128i x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(-32639)), 7); }

struct SPlanes {
  __m128i blue, green, red, alpha;
};

// Pixels 0..3 and 4..7 as planes: blue and green from the low halves, red and alpha from the
// high halves.
inline SPlanes Split(__m128i first, __m128i second) {
  const __m128i lowMask = _mm_set1_epi16(0x00FF);
  // Sign-extended halves pack back to the same 16 bits.
  const __m128i low = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(first, 16), 16),
                                      _mm_srai_epi32(_mm_slli_epi32(second, 16), 16));
  const __m128i high = _mm_packs_epi32(_mm_srai_epi32(first, 16), _mm_srai_epi32(second, 16));
  return SPlanes{_mm_and_si128(low, lowMask), _mm_srli_epi16(low, 8), _mm_and_si128(high, lowMask),
                 _mm_srli_epi16(high, 8)};
}

inline SPlanes Split(const uint32_t* pixels) {
  return Split(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels)),
               _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 4)));
}

// The planes (each lane a byte) back as eight pixels.
inline void Join(uint32_t* pixels, const SPlanes& v) {
  const __m128i blueGreen = _mm_or_si128(v.blue, _mm_slli_epi16(v.green, 8));
  const __m128i redAlpha = _mm_or_si128(v.red, _mm_slli_epi16(v.alpha, 8));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), _mm_unpacklo_epi16(blueGreen, redAlpha));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 4), _mm_unpackhi_epi16(blueGreen, redAlpha));
}

}  // namespace tf::lanes
#endif

// The same planes for sixteen pixels in AVX2, for loops built for AVX2 beside their baseline
// build and chosen when the processor has it. Every function carries the target itself, so the
// header can be included by files built for the baseline. The planes hold the pixels in the
// order the 128-bit halves of the pack give (0-3, 8-11 | 4-7, 12-15); Join undoes it, and loops
// that only combine planes lane by lane never see it.
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define TF_LANES_AVX2 1
#define TF_TARGET_AVX2 __attribute__((target("avx2")))

namespace tf::lanes256 {

struct SPlanes {
  __m256i blue, green, red, alpha;
};

TF_TARGET_AVX2 inline __m256i Div255(__m256i x) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(-32639)), 7);
}

TF_TARGET_AVX2 inline SPlanes Split(__m256i first, __m256i second) {
  const __m256i lowMask = _mm256_set1_epi16(0x00FF);
  const __m256i low = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_slli_epi32(first, 16), 16),
                                         _mm256_srai_epi32(_mm256_slli_epi32(second, 16), 16));
  const __m256i high = _mm256_packs_epi32(_mm256_srai_epi32(first, 16), _mm256_srai_epi32(second, 16));
  return SPlanes{_mm256_and_si256(low, lowMask), _mm256_srli_epi16(low, 8), _mm256_and_si256(high, lowMask),
                 _mm256_srli_epi16(high, 8)};
}

TF_TARGET_AVX2 inline SPlanes Split(const uint32_t* pixels) {
  return Split(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels)),
               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + 8)));
}

TF_TARGET_AVX2 inline void Join(uint32_t* pixels, const SPlanes& v) {
  const __m256i blueGreen = _mm256_or_si256(v.blue, _mm256_slli_epi16(v.green, 8));
  const __m256i redAlpha = _mm256_or_si256(v.red, _mm256_slli_epi16(v.alpha, 8));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), _mm256_unpacklo_epi16(blueGreen, redAlpha));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 8), _mm256_unpackhi_epi16(blueGreen, redAlpha));
}

}  // namespace tf::lanes256
#else
#define TF_LANES_AVX2 0
#endif
