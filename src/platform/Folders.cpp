#include "platform/Folders.h"

#include <cstdlib>
#include <stdexcept>

namespace pixolan::platform {

namespace {

std::optional<std::string> NonEmpty(const TEnvironment& environment, std::string_view name) {
  std::optional<std::string> value = environment(name);
  if (value && value->empty()) return std::nullopt;
  return value;
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

}  // namespace pixolan::platform
