#include "imaging/image/Errors.h"

#include <cstdarg>
#include <exception>

namespace pixolan::imaging {

std::string ComposeErrorMessage(const std::string& message) {
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) {
      return message + " Exception Message: " + e.what();
    } catch (...) {
    }
  }
  return message;
}

void RaiseImaging(const std::string& message) {
  throw EImagingError(ComposeErrorMessage(message));
}

void RaiseImagingFormat(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  RaiseImaging(text);
}

void RaiseLibraryFailure(std::string_view library, const std::string& what,
                         const std::string& libraryMessage, std::exception_ptr streamError) {
  std::string message = std::string(library) + " error: " + what;
  if (!libraryMessage.empty()) message += " (" + libraryMessage + ")";
  message += ".";
  if (streamError) {
    try {
      std::rethrow_exception(streamError);
    } catch (...) {
      RaiseImaging(message);
    }
  }
  throw EImagingError(message);
}

}  // namespace pixolan::imaging
