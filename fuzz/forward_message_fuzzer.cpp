// Reads arbitrary bytes as a second start's message, as the running instance does with
// whatever arrives at its socket: the size from the header, then the whole message. What
// decodes must encode to the same bytes, so no two byte strings mean the same command line,
// and its arguments must come out absolute.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "input/SingleInstance.h"

namespace {

using namespace pixolan::input;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  std::optional<size_t> announced;
  try {
    announced = ForwardMessageSize(bytes);
    Check(announced || size < 8);
    if (announced) Check(*announced >= 16 && *announced <= kMaxForwardMessageBytes);
  } catch (const EForwardMessageError&) {
  }
  TForwardedCommandLine commandLine;
  try {
    commandLine = DecodeForwardMessage(bytes);
  } catch (const EForwardMessageError&) {
    return 0;
  }
  Check(announced == size);
  Check(EncodeForwardMessage(commandLine) == std::vector<uint8_t>(bytes.begin(), bytes.end()));
  const std::vector<std::string> arguments = AbsoluteArguments(commandLine);
  Check(arguments.size() == commandLine.Arguments.size());
  for (const std::string& argument : arguments) Check(argument.empty() || argument[0] == '/');
  return 0;
}
