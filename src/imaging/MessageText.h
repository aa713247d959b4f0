// Building the texts of engine error messages.
#pragma once

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

namespace pixolan::imaging {

// printf-style formatting into a string of any length.
template <class... Args>
std::string FormatText(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  std::string text(size_t(std::max(n, 0)), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

// An address as messages show it: 16 upper-case hexadecimal digits.
inline std::string PointerText(const void* p) {
  return FormatText("%016" PRIXPTR, reinterpret_cast<uintptr_t>(p));
}

}  // namespace pixolan::imaging
