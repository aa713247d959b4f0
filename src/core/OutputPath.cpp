#include "core/OutputPath.h"

#include <cstdlib>
#include <filesystem>

namespace pixolan::core {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  size_t start = 0;
  for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    result.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  result.append(text.substr(start));
  return result;
}

namespace {

constexpr std::string_view kKeepDe = "<beibehalten>";
constexpr std::string_view kKeepEn = "<keep>";

// "\" as "/", runs of separators as one, "~/" at the start as the home folder.
std::string NormalizeFolder(std::string_view text) {
  std::string result;
  for (char c : text) {
    if (c == '\\') c = '/';
    if (c == '/' && !result.empty() && result.back() == '/') continue;
    result += c;
  }
  if (result == "~" || result.starts_with("~/")) {
    const char* home = std::getenv("HOME");
    result.replace(0, 1, home && *home ? home : "/");
    if (result.starts_with("//")) result.erase(0, 1);
  }
  return result;
}

std::string SourceFolder(const std::string& sourcePath) {
  const size_t slash = sourcePath.rfind('/');
  return slash == std::string::npos ? std::string() : sourcePath.substr(0, slash + 1);
}

std::string SourceFileName(const std::string& sourcePath) {
  return sourcePath.substr(SourceFolder(sourcePath).size());
}

// From the last "." of the file name to its end, or empty.
std::string SourceExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

std::string BaseName(const std::string& fileName) {
  const std::string extension = SourceExtension(fileName);
  return extension.empty() ? fileName : ReplaceAll(fileName, extension, "");
}

std::string PaddedNumber(size_t number, size_t count) {
  std::string digits = std::to_string(number);
  const size_t width = std::to_string(count).size();
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

// The format entry's mask without "*": "*.png - Portable ..." gives ".png".
std::string FormatExtension(std::string_view entry) {
  return ReplaceAll(FormatEntryMask(entry), "*", "");
}

// The folder pattern for a source in sourceFolder, ending in "/".
std::string ResolveFolder(const ConversionSettings& settings, const std::string& sourceFolder) {
  std::string folder = IsKeepText(settings.FolderPattern) ? sourceFolder : settings.FolderPattern;
  if (folder.find('%') != std::string::npos)
    folder = ReplaceAll(ReplaceAll(folder, "%ordner%", sourceFolder), "%folder%", sourceFolder);
  folder = NormalizeFolder(folder);
  // An empty folder (a source given without one) stays the current folder, not the root.
  if (!folder.empty() && !folder.ends_with('/')) folder += '/';
  return folder;
}

}  // namespace

std::string_view FormatEntryMask(std::string_view entry) {
  return entry.substr(0, entry.find(" - "));
}

bool IsKeepText(std::string_view text) {
  return text == kKeepDe || text == kKeepEn;
}

std::string ResolveOutputPath(const ConversionSettings& settings, const std::string& sourcePath,
                              const TOutputNameValues& values) {
  if (settings.OverwriteOriginal) return sourcePath;
  const std::string fileName = SourceFileName(sourcePath);
  const std::string folder = ResolveFolder(settings, SourceFolder(sourcePath));

  std::string name;
  if (IsKeepText(settings.NamePattern)) {
    name = BaseName(fileName);
  } else {
    name = ReplaceAll(settings.NamePattern, "%name%", BaseName(fileName));
    if (name.find('%') != std::string::npos) {
      const std::string width = std::to_string(values.Width);
      const std::string height = std::to_string(values.Height);
      name = ReplaceAll(name, "%num%", std::to_string(values.Index + 1));
      name = ReplaceAll(name, "%0num%", PaddedNumber(values.Index + 1, values.Count));
      name = ReplaceAll(name, "%abs%", std::to_string(values.Count));
      name = ReplaceAll(name, "%breite%", width);
      name = ReplaceAll(name, "%höhe%", height);
      name = ReplaceAll(name, "%width%", width);
      name = ReplaceAll(name, "%height%", height);
    }
  }

  const std::string extension =
      IsKeepText(settings.Format) ? SourceExtension(fileName) : FormatExtension(settings.Format);
  return folder + name + extension;
}

std::string ResolveClipboardOutputPath(const ConversionSettings& settings,
                                       const std::string& capturesFolder, std::string_view name,
                                       const std::function<bool(const std::string&)>& taken) {
  std::string folder = capturesFolder;
  if (!folder.empty() && !folder.ends_with('/')) folder += '/';
  folder = ResolveFolder(settings, folder);
  const std::string extension =
      IsKeepText(settings.Format) ? std::string(".jpg") : FormatExtension(settings.Format);
  const std::string first = folder + std::string(name) + extension;
  if (!taken(first)) return first;
  for (size_t number = 1;; ++number) {
    std::string path = folder + std::string(name) + std::to_string(number) + extension;
    if (!taken(path)) return path;
  }
}

bool IsValidFolderPath(std::string_view pattern) {
  std::string text = NormalizeFolder(
      ReplaceAll(ReplaceAll(pattern, "%ordner%", "/Ordner/"), "%folder%", "/Ordner/"));
  if (text == "/") return true;
  if (!text.starts_with('/')) return false;
  if (text.ends_with('/')) text.pop_back();
  const std::string_view last = std::string_view(text).substr(text.rfind('/') + 1);
  return !last.empty() && last.find_first_of(":?/>|\\<*\"") == std::string_view::npos;
}

std::string FolderOf(const std::string& path) {
  return SourceFolder(path);
}

bool PathTaken(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace pixolan::core
