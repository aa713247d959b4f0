#include "core/SourceFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pixolan::core {

std::string SourceFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT
               ? "The file does not exist."
               : "The file cannot be examined: " + std::string(std::strerror(errno)) + ".";
  if (S_ISDIR(st.st_mode)) return "This is a folder, not a file.";
  if (!S_ISREG(st.st_mode)) return "This is not a regular file (a named pipe, device or socket).";
  if (st.st_size == 0) return "The file is empty.";
  if (::access(path.c_str(), R_OK) != 0)
    return "The file cannot be read: " + std::string(std::strerror(errno)) + ".";
  return {};
}

}  // namespace pixolan::core
