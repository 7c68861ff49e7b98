#pragma once

// Builds event streams of the first version byte by byte, from the stored layout: codes,
// payload fields and the end code; also a seeded random stream over every code.

#include <cstdint>
#include <vector>

#include "support/TestRng.h"

namespace tf::test {

class OldStreamBuilder {
 public:
  OldStreamBuilder& U8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  OldStreamBuilder& U16(uint16_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  OldStreamBuilder& I16(int16_t v) { return U16(static_cast<uint16_t>(v)); }
  OldStreamBuilder& Colour(uint32_t c) { return U8(c >> 16).U8(c >> 8).U8(c); }
  OldStreamBuilder& Code(uint16_t code) { return U16(code); }
  OldStreamBuilder& NewCanvas(uint16_t w, uint16_t h) { return U16(512).U16(w).U16(h); }
  OldStreamBuilder& End() { return U16(0xFFFF); }
  // Pen settings record: layer, colour, switches, then min, width, gamma, effect, env, speed.
  OldStreamBuilder& Pen(uint8_t layer, uint32_t colour, uint8_t switches, float width, float min = 20) {
    U8(layer).Colour(colour).U8(switches);
    for (float v : {min, width, 1.0f, 0.5f, 0.5f, 1.0f}) U16(static_cast<uint16_t>(v * 256));
    return *this;
  }
  struct Point {
    int16_t x, y;
    float pressure;
  };
  OldStreamBuilder& Stroke(uint8_t type, uint8_t layer, uint32_t colour, float width,
                           const std::vector<Point>& pts, uint8_t switches = 1) {
    Code(type).Pen(layer, colour, switches, width);
    PointAt(pts[0]);
    U16(static_cast<uint16_t>(pts.size() - 1));
    for (size_t i = 1; i < pts.size(); ++i) PointAt(pts[i]);
    return *this;
  }
  OldStreamBuilder& PointAt(const Point& p) {
    return I16(p.x).I16(p.y).I16(static_cast<int16_t>(p.pressure * 1024));
  }
  std::vector<uint8_t> bytes;
};

// A seeded stream of count events after a new canvas of w x h: strokes of the five pen types and
// every command code (on layers 0..2, a third layer made first), closed by the end code. With
// strokesOnly, strokes and nothing else.
inline std::vector<uint8_t> RandomOldStream(uint64_t seed, int32_t count, uint16_t w, uint16_t h,
                                            bool strokesOnly = false, int32_t maxPoints = 12) {
  XorShiftRng rng(seed);
  OldStreamBuilder b;
  b.NewCanvas(w, h).Code(256).U8(0).Code(256).U8(1);
  auto X = [&] { return static_cast<int16_t>(rng.Next() % w); };
  auto Y = [&] { return static_cast<int16_t>(rng.Next() % h); };
  auto L = [&] { return static_cast<uint8_t>(rng.Next() % 3); };
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t pick = strokesOnly ? 0 : rng.Next() % 40;
    if (pick < 14) {
      std::vector<OldStreamBuilder::Point> pts;
      const int32_t n = 1 + static_cast<int32_t>(rng.Next() % maxPoints);
      for (int32_t k = 0; k < n; ++k) pts.push_back({X(), Y(), 0.25f + (rng.Next() % 4) / 4.0f});
      b.Stroke(static_cast<uint8_t>(rng.Next() % 5), L(), rng.Next() & 0xFFFFFF, 1.0f + rng.Next() % 12, pts,
               static_cast<uint8_t>(rng.Next() % 8));
      continue;
    }
    switch (pick) {
      case 14: b.Code(273).U8(L()); break;
      case 15: b.Code(274).U8(L()).U8(rng.Next() % 2); break;
      case 16: b.Code(275).U8(L()).U8(static_cast<uint8_t>(rng.Next())); break;
      case 17: b.Code(276).U8(L()).U8(rng.Next() % 4); break;
      case 18: b.Code(277).U8(L()); break;
      case 19: b.Code(288 + rng.Next() % 5).U8(L()); break;
      case 20: b.Code(293).U8(L()).Colour(rng.Next()); break;
      case 21:
        b.Code(294)
            .U8(L())
            .I16(static_cast<int16_t>(rng.Next() % 9) - 4)
            .I16(static_cast<int16_t>(rng.Next() % 9) - 4);
        break;
      case 22: b.Code(295).U8(L()).I16(X()).I16(Y()).I16(1 + rng.Next() % 9).I16(1 + rng.Next() % 9); break;
      case 23:
        b.Code(296).U8(L()).I16(X()).I16(Y()).I16(1 + rng.Next() % 9).I16(1 + rng.Next() % 9).Colour(rng.Next());
        break;
      case 24: b.Code(297).U8(L()).U16(3).I16(X()).I16(Y()).I16(X()).I16(Y()).I16(X()).I16(Y()); break;
      case 25:
        b.Code(304)
            .U8(L())
            .Colour(rng.Next())
            .U16(4)
            .I16(X())
            .I16(Y())
            .I16(X())
            .I16(Y())
            .I16(X())
            .I16(Y())
            .I16(X())
            .I16(Y());
        break;
      case 26:
        b.Code(305).Pen(L(), rng.Next() & 0xFFFFFF, 1, 3).I16(rng.Next() % 5).I16(X()).I16(Y()).I16(X()).I16(Y());
        break;
      case 27: b.Code(513).Colour(rng.Next()); break;
      case 28: b.Code(272).U8(L()); break;
      case 29: b.Code(259).U8(0).Code(257).U8(3); break;  // copy to top, then delete it again
      case 30: b.Code(260).U8(L()).U8(L()); break;
      case 31: b.Code(528 + rng.Next() % 4); break;
      case 32: b.Code(519).U8(L()); break;
      case 33: b.Code(518); break;
      case 34: b.Code(516).Code(517); break;  // turned there and back, sizes kept
      case 35: b.Code(514).U16(w).U16(h).U8(rng.Next() % 9); break;
      case 36: b.Code(515).U16(w).U16(h); break;
      case 37: b.Code(256).U8(0).Code(261).U8(3); break;  // a layer merged down again
      default: b.Code(273).U8(2); break;
    }
  }
  b.End();
  return b.bytes;
}

}  // namespace tf::test
