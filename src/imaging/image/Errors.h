// How the engine reports failures: the texts of its messages and the raise helpers.
//
// Every engine failure is an EImagingError (declared with the image record, since every
// engine header needs it). Its message names the operation; when the failure happens
// while another exception is being handled, that exception's message is appended, so a
// loader's "Error while loading ..." still tells what went wrong inside the handler.
#pragma once

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "imaging/image/ImagingTypes.h"

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

// Builds the message of an EImagingError: the operation's message, and when another
// exception is being handled, " Exception Message: " and that exception's message.
std::string ComposeErrorMessage(const std::string& message);
[[noreturn]] void RaiseImaging(const std::string& message);
// RaiseImaging with a printf-style message (at most 255 characters).
[[noreturn]] __attribute__((format(printf, 1, 2))) void RaiseImagingFormat(const char* format, ...);

// A failure inside a codec library that works on the engine's streams: raises
// "<library> error: <what> (<libraryMessage>)." (without the parenthesis when the library
// said nothing). When the stream under the library failed first, its exception is the
// reason, appended as RaiseImaging does.
[[noreturn]] void RaiseLibraryFailure(std::string_view library, const std::string& what,
                                      const std::string& libraryMessage,
                                      std::exception_ptr streamError);

}  // namespace pixolan::imaging
