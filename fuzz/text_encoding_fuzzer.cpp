// Decodes arbitrary bytes with every decoder the text files use (UTF-7, UTF-16 and UTF-32 in
// both byte orders, Windows-1252) and checks that each result is valid UTF-8, and that a
// valid UTF-8 input survives the way through UTF-16 and back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/TextEncoding.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixolan::platform;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const bool bigEndian : {false, true}) {
    Check(IsValidUtf8(Utf8FromUtf16Bytes(bytes, bigEndian, U'?')));
    Check(IsValidUtf8(Utf8FromUtf32Bytes(bytes, bigEndian, U'?')));
  }
  Check(IsValidUtf8(Utf8FromUtf7(bytes, U'?')));
  Check(IsValidUtf8(Utf8FromWindows1252(bytes)));
  const std::u32string points = CodePointsOf(bytes);
  Check(points.size() <= bytes.size());
  const std::string through = Utf8FromUtf16(Utf16FromUtf8(bytes));
  Check(IsValidUtf8(through));
  if (IsValidUtf8(bytes)) Check(through == bytes);
  return 0;
}
