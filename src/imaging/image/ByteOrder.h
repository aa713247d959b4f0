// Reads and writes of 16- and 32-bit values at unaligned addresses: little-endian (the
// engine's own pixel layouts and most file formats) and big-endian.
#pragma once

#include <cstdint>

namespace pixolan::imaging {

inline uint16_t Get16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

inline void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// Big-endian: the network-graphics formats store every multi-byte field this way.
inline uint16_t GetBe16(const uint8_t* p) {
  return uint16_t(p[0] << 8 | p[1]);
}

inline uint32_t GetBe32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline void PutBe16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}

inline void PutBe32(uint8_t* p, uint32_t v) {
  PutBe16(p, v >> 16);
  PutBe16(p + 2, v);
}

}  // namespace pixolan::imaging
