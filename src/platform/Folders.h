// The folders the program keeps its files in, and the environment they come from.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pixolan::platform {

// Reads an environment variable; nullopt when it is not set.
using TEnvironment = std::function<std::optional<std::string>(std::string_view name)>;
// The process's own environment.
TEnvironment ProcessEnvironment();

// Where configurations live: PIXOLAN_HOME when set (tests and portable installs), else
// $XDG_CONFIG_HOME/pixolan, else ~/.config/pixolan. Empty and relative values of
// XDG_CONFIG_HOME are ignored, as the XDG rules say. Raises std::runtime_error when
// neither PIXOLAN_HOME nor XDG_CONFIG_HOME nor HOME gives a folder.
std::filesystem::path ConfigurationFolder(const TEnvironment& environment);

// Where clipboard captures go when their folder pattern keeps the "program folder":
// PIXOLAN_HOME when set, else the user's pictures folder + "/Pixolan". The pictures folder
// is $XDG_PICTURES_DIR, else the XDG_PICTURES_DIR line of user-dirs.dirs in the
// configuration home (where desktops keep a localised name such as ~/Bilder), else
// ~/Pictures. Raises std::runtime_error when no variable gives a folder.
std::filesystem::path CapturesFolder(const TEnvironment& environment);

}  // namespace pixolan::platform
