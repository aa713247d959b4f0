// Whether a path can be read as a source image file, judged without opening it.
#pragma once

#include <string>

namespace pixolan::core {

// Why the path cannot be a source image, in words for the user, with the system's reason
// where it gives one: missing, not examinable, a folder, not a regular file (named pipe,
// device, socket), empty, or not readable. Empty when it is a readable regular file with
// content. The file is never opened, so a named pipe cannot block the caller.
std::string SourceFileProblem(const std::string& path);

}  // namespace pixolan::core
