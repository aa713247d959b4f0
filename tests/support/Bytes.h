// Little- and big-endian fields of file headers built or checked byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pixolan::test {

inline uint16_t Le16(std::span<const uint8_t> bytes, size_t at) {
  return uint16_t(bytes[at] | bytes[at + 1] << 8);
}

inline uint32_t Le32(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t(Le16(bytes, at)) | uint32_t(Le16(bytes, at + 2)) << 16;
}

inline void Add16(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.push_back(uint8_t(value));
  bytes.push_back(uint8_t(value >> 8));
}

inline void Add32(std::vector<uint8_t>& bytes, uint32_t value) {
  Add16(bytes, value);
  Add16(bytes, value >> 16);
}

inline uint16_t Be16(std::span<const uint8_t> bytes, size_t at) {
  return uint16_t(bytes[at] << 8 | bytes[at + 1]);
}

inline uint32_t Be32(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t(Be16(bytes, at)) << 16 | Be16(bytes, at + 2);
}

inline void AddBe16(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.push_back(uint8_t(value >> 8));
  bytes.push_back(uint8_t(value));
}

inline void AddBe32(std::vector<uint8_t>& bytes, uint32_t value) {
  AddBe16(bytes, value >> 16);
  AddBe16(bytes, value);
}

}  // namespace pixolan::test
