#include "input/CommandLine.h"

#include <filesystem>

namespace pixolan::input {

TArgumentKind ArgumentKind(const std::string& argument) {
  const std::filesystem::path path(argument);
  if (path.extension() == ".pxc") return TArgumentKind::Configuration;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status) || std::filesystem::is_directory(status))
    return TArgumentKind::Folder;
  return TArgumentKind::File;
}

}  // namespace pixolan::input
