// An environment variable set for the life of an object and restored afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace pixolan::test {

class TScopedEnvironment {
 public:
  // value nullopt unsets the variable.
  TScopedEnvironment(std::string name, const std::optional<std::string>& value)
      : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    Set(value);
  }
  ~TScopedEnvironment() { Set(old_); }
  TScopedEnvironment(const TScopedEnvironment&) = delete;
  TScopedEnvironment& operator=(const TScopedEnvironment&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    const int status = value ? setenv(name_.c_str(), value->c_str(), 1) : unsetenv(name_.c_str());
    if (status != 0) throw std::runtime_error("cannot set " + name_);
  }

  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace pixolan::test
