// Little-endian reads and writes of 16- and 32-bit values at unaligned addresses: the byte
// order of every file format the engine handles and of its own pixel layouts.
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

}  // namespace pixolan::imaging
