// The vector build of a descriptor composite run, written once for both widths. CompositeRows.cpp
// includes it twice (no include guard), once per instruction set, inside a namespace that gives:
//   I, F            the integer and single-precision vector types
//   kStep           pixels per vector step (8 or 16)
//   kAllBits        what a byte mask of a vector gives when every byte is set
//   TF_V(op)        the intrinsic op of that width (_mm_op or _mm256_op)
//   TF_SI(op)       the whole-register intrinsic op (_mm_op_si128 or _mm256_op_si256)
//   TF_RUN_ATTR     the target attribute of every function here
//   SPlanes, Split, Join, Div255 for that width (raster/PixelLanes.h)
// Both builds compute the same integers: the steps are lane by lane, the one division is the same
// single-precision quotient and no multiply-add is fused.

TF_RUN_ATTR inline I Load(const uint32_t* p) { return TF_SI(loadu)(reinterpret_cast<const I*>(p)); }
TF_RUN_ATTR inline void Store(uint32_t* p, I v) { TF_SI(storeu)(reinterpret_cast<I*>(p), v); }
TF_RUN_ATTR inline I Set16(uint32_t v) { return TF_V(set1_epi16)(static_cast<int16_t>(v)); }
TF_RUN_ATTR inline I Zero() { return TF_SI(setzero)(); }
TF_RUN_ATTR inline I Select(I mask, I ifSet, I ifClear) {
  return TF_SI(or)(TF_SI(and)(mask, ifSet), TF_SI(andnot)(mask, ifClear));
}
TF_RUN_ATTR inline bool AllLanes(I mask) { return TF_V(movemask_epi8)(mask) == kAllBits; }
TF_RUN_ATTR inline I Equal(I a, uint32_t v) { return TF_V(cmpeq_epi16)(a, Set16(v)); }

TF_RUN_ATTR inline SPlanes Splat(uint32_t v) {
  return SPlanes{Set16(v & 0xFFu), Set16((v >> 8) & 0xFFu), Set16((v >> 16) & 0xFFu), Set16(v >> 24)};
}

// The alpha plane of kStep pixels.
TF_RUN_ATTR inline I AlphaOf(const uint32_t* p) {
  return TF_V(packs_epi32)(TF_V(srli_epi32)(Load(p), 24), TF_V(srli_epi32)(Load(p + kStep / 2), 24));
}

// e := MulDiv255(alpha, opacity).
TF_RUN_ATTR inline I Effective(I alpha, I opacity) { return Div255(TF_V(mullo_epi16)(alpha, opacity)); }

// BlendColor(acc, colour, weight) on the planes: B, G, R := (c*w + acc*(255 - w)) div 255,
// the accumulator's alpha kept.
TF_RUN_ATTR inline I BlendLanes(I a, I c, I weight, I rest) {
  return Div255(TF_V(add_epi16)(TF_V(mullo_epi16)(c, weight), TF_V(mullo_epi16)(a, rest)));
}
TF_RUN_ATTR inline SPlanes BlendPlanes(const SPlanes& acc, const SPlanes& colour, I weight) {
  const I rest = TF_V(sub_epi16)(Set16(255), weight);
  return SPlanes{BlendLanes(acc.blue, colour.blue, weight, rest),
                 BlendLanes(acc.green, colour.green, weight, rest), BlendLanes(acc.red, colour.red, weight, rest),
                 acc.alpha};
}

// Lanes as kStep 32-bit values, in pixel order.
TF_RUN_ATTR inline void Widen(uint32_t* to, I lanes) {
  Store(to, TF_V(unpacklo_epi16)(lanes, Zero()));
  Store(to + kStep / 2, TF_V(unpackhi_epi16)(lanes, Zero()));
}

// min(255, trunc(byte * scale + 1/1024)) per lane, the scales of the low and high halves given;
// where none is set the byte kept instead.
TF_RUN_ATTR inline I UnweightLanes(I bytes, I keep, I none, F scaleLow, F scaleHigh) {
  const I zero = Zero();
  const F bias = TF_V(set1_ps)(1.0f / 1024.0f);
  const I low = TF_V(cvttps_epi32)(
      TF_V(add_ps)(TF_V(mul_ps)(TF_V(cvtepi32_ps)(TF_V(unpacklo_epi16)(bytes, zero)), scaleLow), bias));
  const I high = TF_V(cvttps_epi32)(
      TF_V(add_ps)(TF_V(mul_ps)(TF_V(cvtepi32_ps)(TF_V(unpackhi_epi16)(bytes, zero)), scaleHigh), bias));
  return Select(none, keep, TF_V(min_epi16)(TF_V(packs_epi32)(low, high), Set16(255)));
}

// Each colour byte of the accumulator := min(255, (byte*255) div out) with alpha out; where out
// is 0 the colour bytes as they were, alpha 0.
//
// (byte*255) div out is computed as trunc(byte * float(255/out) + 1/1024): for out in 1..255
// and byte in 0..255 the quotient's fraction is 0 or at least 1/255 from the next integer, and
// the two roundings move it by less than 1/10000, so the bias lands every case on the same
// integer as the exact division (the tests go through every pair).
TF_RUN_ATTR inline SPlanes Unweighted(const SPlanes& before, const SPlanes& acc, I out) {
  const I zero = Zero();
  // Dividing by 255 gives every byte back (the common case of an opaque result).
  if (AllLanes(Equal(out, 255))) return SPlanes{acc.blue, acc.green, acc.red, out};
  const I none = TF_V(cmpeq_epi16)(out, zero);
  const I divisor = TF_V(sub_epi16)(out, none);  // 0 read as 1
  const F numerator = TF_V(set1_ps)(255.0f);
  const F scaleLow = TF_V(div_ps)(numerator, TF_V(cvtepi32_ps)(TF_V(unpacklo_epi16)(divisor, zero)));
  const F scaleHigh = TF_V(div_ps)(numerator, TF_V(cvtepi32_ps)(TF_V(unpackhi_epi16)(divisor, zero)));
  return SPlanes{UnweightLanes(acc.blue, before.blue, none, scaleLow, scaleHigh),
                 UnweightLanes(acc.green, before.green, none, scaleLow, scaleHigh),
                 UnweightLanes(acc.red, before.red, none, scaleLow, scaleHigh), out};
}

// The last step of kStep pixels: out := a + e - MulDiv255(a, e); each colour byte :=
// min(255, (byte*255) div out) of the accumulator; out = 0 keeps the colour bytes with alpha 0;
// with the zero-alpha option a pixel whose e is 0 stays as it was.
TF_RUN_ATTR inline void Finish(uint32_t* dest, const SPlanes& before, const SPlanes& acc, I e, bool skipZero) {
  const I a = before.alpha;
  const I out = TF_V(sub_epi16)(TF_V(add_epi16)(a, e), Div255(TF_V(mullo_epi16)(a, e)));
  SPlanes result = Unweighted(before, acc, out);
  if (skipZero) {
    const I stay = TF_V(cmpeq_epi16)(e, Zero());
    result.blue = Select(stay, before.blue, result.blue);
    result.green = Select(stay, before.green, result.green);
    result.red = Select(stay, before.red, result.red);
    result.alpha = Select(stay, before.alpha, result.alpha);
  }
  Join(dest, result);
}

// With BlendColor as the source routine, e = 255 leaves the source colour in the accumulator and
// out = 255: the pixel becomes the source pixel (whose alpha is 255). True when all kStep were
// so and have been copied.
TF_RUN_ATTR inline bool CopiesSource(uint32_t* dest, const uint32_t* source, I e) {
  if (!AllLanes(Equal(e, 255))) return false;
  Store(dest, Load(source));
  Store(dest + kStep / 2, Load(source + kStep / 2));
  return true;
}

// e = 0 leaves every pixel as it was where the zero-alpha option is set, and otherwise where the
// destination alpha is 0 or 255 (the accumulator then divides back to the pixel).
TF_RUN_ATTR inline bool NothingChanges(I e, I destAlpha, bool skipZero) {
  if (!AllLanes(TF_V(cmpeq_epi16)(e, Zero()))) return false;
  return skipZero || AllLanes(TF_SI(or)(Equal(destAlpha, 0), Equal(destAlpha, 255)));
}

// One run of a multiple of kStep pixels. DestinationBlend / SourceBlend: that routine is
// BlendColor, worked inline; the others are called once over the run.
template <bool DestinationBlend, bool SourceBlend>
TF_RUN_ATTR void CompositeRun(uint32_t* dest, const uint32_t* source, int32_t n, uint32_t opacity,
                              const SCompositeRowOps& ops) {
  const I o = Set16(opacity);
  const bool fromSource = (ops.flags & kCompositeStartFromSource) != 0;
  const bool skipZero = (ops.flags & kCompositeSkipZeroAlpha) != 0;
  const SPlanes start = Splat(ops.startColor);
  if constexpr (DestinationBlend && SourceBlend) {
    for (int32_t i = 0; i < n; i += kStep) {
      const SPlanes s = Split(source + i);
      const I e = Effective(s.alpha, o);
      if (CopiesSource(dest + i, source + i, e)) continue;
      const SPlanes p = Split(dest + i);
      if (NothingChanges(e, p.alpha, skipZero)) continue;
      if (AllLanes(Equal(p.alpha, 255))) {
        // Over opaque pixels the accumulator starts as the pixel and out is 255: the source
        // blended in by e (e = 0 gives the pixel back, as the zero-alpha option wants).
        const SPlanes mixed = BlendPlanes(p, s, e);
        Join(dest + i, SPlanes{mixed.blue, mixed.green, mixed.red, p.alpha});
        continue;
      }
      const SPlanes acc = BlendPlanes(BlendPlanes(fromSource ? s : start, p, p.alpha), s, e);
      Finish(dest + i, p, acc, e, skipZero);
    }
  } else {
    alignas(32) uint32_t acc[kRun], weight[kRun] = {};
    for (int32_t i = 0; i < n; i += kStep) {
      const SPlanes p = Split(dest + i);
      if constexpr (DestinationBlend) {
        Join(acc + i, BlendPlanes(fromSource ? Split(source + i) : start, p, p.alpha));
      } else {
        if (fromSource)
          std::memcpy(acc + i, source + i, kStep * sizeof(uint32_t));
        else
          Join(acc + i, start);
        Widen(weight + i, p.alpha);
      }
    }
    if constexpr (!DestinationBlend) ops.destination(acc, dest, weight, n);
    if constexpr (!SourceBlend) {
      for (int32_t i = 0; i < n; i += kStep) Widen(weight + i, Effective(AlphaOf(source + i), o));
      ops.source(acc, source, weight, n);
    }
    for (int32_t i = 0; i < n; i += kStep) {
      const SPlanes s = Split(source + i);
      const I e = Effective(s.alpha, o);
      if (SourceBlend && CopiesSource(dest + i, source + i, e)) continue;
      SPlanes a = Split(acc + i);
      if constexpr (SourceBlend) a = BlendPlanes(a, s, e);
      Finish(dest + i, Split(dest + i), a, e, skipZero);
    }
  }
}

// Asks for the run kAheadRuns runs on, on both sides. Tiles lie a page each, where the
// processor's own prefetching starts cold at every tile; the tiles of a store follow each other
// in memory, so asking past the end of a span warms the next tile (a prefetch never faults).
TF_RUN_ATTR inline void PrefetchAhead(const uint32_t* dest, const uint32_t* source) {
  // Addresses as integers: the run asked for may lie past the end of the span.
  constexpr uintptr_t kAhead = 4 * kRun * sizeof(uint32_t);
  const uintptr_t d = reinterpret_cast<uintptr_t>(dest) + kAhead;
  const uintptr_t s = reinterpret_cast<uintptr_t>(source) + kAhead;
  for (uintptr_t b = 0; b < kRun * sizeof(uint32_t); b += 64) {
    __builtin_prefetch(reinterpret_cast<const void*>(d + b), 1, 3);
    __builtin_prefetch(reinterpret_cast<const void*>(s + b), 0, 3);
  }
}

using RunFn = void (*)(uint32_t*, const uint32_t*, int32_t, uint32_t, const SCompositeRowOps&);

// CompositePixel over a row with opacity o (0..255): runs of kRun, the last few pixels through
// a padded buffer of kStep.
TF_RUN_ATTR void CompositeAlong(uint32_t* dest, const uint32_t* source, int32_t count, uint32_t o,
                                const SCompositeRowOps& ops) {
  const bool d = ops.destination == &BlendColorWeightedRow;
  const bool s = ops.source == &BlendColorWeightedRow;
  const RunFn run =
      d && s ? &CompositeRun<true, true>
             : (d ? &CompositeRun<true, false> : (s ? &CompositeRun<false, true> : &CompositeRun<false, false>));
  const int32_t whole = count - count % kStep;
  for (int32_t done = 0; done < whole; done += kRun) {
    const int32_t n = whole - done < kRun ? whole - done : kRun;
    PrefetchAhead(dest + done, source + done);
    run(dest + done, source + done, n, o, ops);
  }
  if (whole < count) {
    // Padded with clear pixels; only the real ones are copied back.
    const int32_t rest = count - whole;
    alignas(32) uint32_t dp[kStep] = {}, sp[kStep] = {};
    std::memcpy(dp, dest + whole, static_cast<size_t>(rest) * sizeof(uint32_t));
    std::memcpy(sp, source + whole, static_cast<size_t>(rest) * sizeof(uint32_t));
    run(dp, sp, kStep, o, ops);
    std::memcpy(dest + whole, dp, static_cast<size_t>(rest) * sizeof(uint32_t));
  }
}
