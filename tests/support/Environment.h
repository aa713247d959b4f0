// Environments for code that reads its variables through platform::TEnvironment, so tests
// need not touch the process environment.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Folders.h"

namespace pixolan::test {

// An environment holding exactly these variables.
inline platform::TEnvironment EnvironmentOf(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](std::string_view name) -> std::optional<std::string> {
    const auto found = variables.find(std::string(name));
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

}  // namespace pixolan::test
