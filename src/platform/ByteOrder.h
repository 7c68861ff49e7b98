// Little-endian loads and stores: the one byte-order codec of every stored format.
#pragma once
// Little-endian loads and stores of integers and IEEE floats at byte addresses: the one byte
// order codec of every stored format (packets, event and preset files, BMP headers, settings,
// streams). The byte pointers need no alignment and the results do not depend on the host.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tf {

namespace byte_order_detail {
template <size_t N>
struct UnsignedOfSize;
template <>
struct UnsignedOfSize<1> {
  using type = uint8_t;
};
template <>
struct UnsignedOfSize<2> {
  using type = uint16_t;
};
template <>
struct UnsignedOfSize<4> {
  using type = uint32_t;
};
template <>
struct UnsignedOfSize<8> {
  using type = uint64_t;
};
}  // namespace byte_order_detail

// The value of type T (an integer or a float of 1, 2, 4 or 8 bytes) stored little-endian at p.
template <typename T>
inline T LoadLE(const uint8_t* p) {
  static_assert(std::is_arithmetic_v<T>, "LoadLE reads integers and floats");
  using U = typename byte_order_detail::UnsignedOfSize<sizeof(T)>::type;
  U u = 0;
  for (size_t i = 0; i < sizeof(T); ++i) u = static_cast<U>(u | static_cast<U>(U{p[i]} << (8 * i)));
  T value;
  std::memcpy(&value, &u, sizeof value);
  return value;
}

// Stores value (an integer or a float of 1, 2, 4 or 8 bytes) little-endian at p.
template <typename T>
inline void StoreLE(uint8_t* p, T value) {
  static_assert(std::is_arithmetic_v<T>, "StoreLE writes integers and floats");
  using U = typename byte_order_detail::UnsignedOfSize<sizeof(T)>::type;
  U u;
  std::memcpy(&u, &value, sizeof u);
  for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

inline uint16_t LoadU16(const uint8_t* p) { return LoadLE<uint16_t>(p); }
inline int16_t LoadI16(const uint8_t* p) { return LoadLE<int16_t>(p); }
inline uint32_t LoadU32(const uint8_t* p) { return LoadLE<uint32_t>(p); }
inline int32_t LoadI32(const uint8_t* p) { return LoadLE<int32_t>(p); }
inline uint64_t LoadU64(const uint8_t* p) { return LoadLE<uint64_t>(p); }
inline float LoadF32(const uint8_t* p) { return LoadLE<float>(p); }
inline double LoadF64(const uint8_t* p) { return LoadLE<double>(p); }

inline void StoreU16(uint8_t* p, uint16_t v) { StoreLE(p, v); }
inline void StoreI16(uint8_t* p, int16_t v) { StoreLE(p, v); }
inline void StoreU32(uint8_t* p, uint32_t v) { StoreLE(p, v); }
inline void StoreI32(uint8_t* p, int32_t v) { StoreLE(p, v); }
inline void StoreU64(uint8_t* p, uint64_t v) { StoreLE(p, v); }
inline void StoreF32(uint8_t* p, float v) { StoreLE(p, v); }
inline void StoreF64(uint8_t* p, double v) { StoreLE(p, v); }

}  // namespace tf
