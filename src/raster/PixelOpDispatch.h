// Choosing inlined functor or pointer loops for pixel and byte operations.
#pragma once
// Choosing the loop for a pixel or byte operation once per call: the standard operations are
// passed to the body as functors (inlined into its pixel loop), any other as its pointer.
//
//   return WithPixelOp(op, [&](auto fn) { return CombineFromWith(..., fn); });
#include <cstdint>

#include "raster/Composite.h"

namespace tf {

template <class Body>
bool WithPixelOp(PixelOp op, Body&& body) {
  if (op == &BlendColor) return body(PixelOpFn<BlendColor>{});
  if (op == &SetPixelOp) return body(PixelOpFn<SetPixelOp>{});
  if (op == &MultiplyOp) return body(PixelOpFn<MultiplyOp>{});
  if (op == &AddOp) return body(PixelOpFn<AddOp>{});
  if (op == &SubtractOp) return body(PixelOpFn<SubtractOp>{});
  if (op == &BlendColorFast) return body(PixelOpFn<BlendColorFast>{});
  return body(op);
}

template <class Body>
bool WithByteOp(ByteOp op, Body&& body) {
  if (op == &SetByteOp) return body(ByteOpFn<SetByteOp>{});
  if (op == &MaxByteOp) return body(ByteOpFn<MaxByteOp>{});
  if (op == &MulByteOp) return body(ByteOpFn<MulByteOp>{});
  return body(op);
}

// CompositePixel with a fixed set of routines, as a pixel operation.
struct CompositeWithOps {
  const SCompositeOps* ops;
  void operator()(uint32_t* pixel, uint32_t source, int32_t opacity) const {
    CompositePixel(pixel, source, opacity, *ops);
  }
};

}  // namespace tf
