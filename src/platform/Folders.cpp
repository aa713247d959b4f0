#include "platform/Folders.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace pixolan::platform {

namespace {

std::optional<std::string> NonEmpty(const TEnvironment& environment, std::string_view name) {
  std::optional<std::string> value = environment(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

// The configuration home of the XDG rules, without our own folder.
std::optional<std::filesystem::path> ConfigurationHome(const TEnvironment& environment) {
  if (const std::optional<std::string> xdg = NonEmpty(environment, "XDG_CONFIG_HOME");
      xdg && std::filesystem::path(*xdg).is_absolute())
    return std::filesystem::path(*xdg);
  if (const std::optional<std::string> home = NonEmpty(environment, "HOME"))
    return std::filesystem::path(*home) / ".config";
  return std::nullopt;
}

// XDG_PICTURES_DIR="$HOME/Bilder" from user-dirs.dirs: a quoted value, either absolute or
// starting with "$HOME/"; nullopt for anything else.
std::optional<std::filesystem::path> PicturesFolderOfUserDirs(const std::filesystem::path& file,
                                                              const std::string& home) {
  std::ifstream in(file);
  constexpr std::string_view kKey = "XDG_PICTURES_DIR=\"";
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with(kKey) || !line.ends_with('"') || line.size() <= kKey.size()) continue;
    std::string value = line.substr(kKey.size(), line.size() - kKey.size() - 1);
    if (value.starts_with("$HOME/")) {
      if (home.empty()) return std::nullopt;
      value = home + value.substr(5);
    }
    if (std::filesystem::path(value).is_absolute()) return std::filesystem::path(value);
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

TEnvironment ProcessEnvironment() {
  return [](std::string_view name) -> std::optional<std::string> {
    const char* value = std::getenv(std::string(name).c_str());
    if (!value) return std::nullopt;
    return std::string(value);
  };
}

std::filesystem::path ConfigurationFolder(const TEnvironment& environment) {
  if (const std::optional<std::string> home = NonEmpty(environment, "PIXOLAN_HOME"))
    return std::filesystem::path(*home);
  if (const std::optional<std::string> xdg = NonEmpty(environment, "XDG_CONFIG_HOME");
      xdg && std::filesystem::path(*xdg).is_absolute())
    return std::filesystem::path(*xdg) / "pixolan";
  if (const std::optional<std::string> home = NonEmpty(environment, "HOME"))
    return std::filesystem::path(*home) / ".config" / "pixolan";
  throw std::runtime_error("no configuration folder: neither PIXOLAN_HOME nor HOME is set");
}

std::filesystem::path CapturesFolder(const TEnvironment& environment) {
  if (const std::optional<std::string> home = NonEmpty(environment, "PIXOLAN_HOME"))
    return std::filesystem::path(*home);
  if (const std::optional<std::string> pictures = NonEmpty(environment, "XDG_PICTURES_DIR");
      pictures && std::filesystem::path(*pictures).is_absolute())
    return std::filesystem::path(*pictures) / "Pixolan";
  const std::string home = NonEmpty(environment, "HOME").value_or("");
  if (const std::optional<std::filesystem::path> configuration = ConfigurationHome(environment))
    if (const std::optional<std::filesystem::path> pictures =
            PicturesFolderOfUserDirs(*configuration / "user-dirs.dirs", home))
      return *pictures / "Pixolan";
  if (home.empty())
    throw std::runtime_error("no folder for captures: neither PIXOLAN_HOME nor HOME is set");
  return std::filesystem::path(home) / "Pictures" / "Pixolan";
}

}  // namespace pixolan::platform
