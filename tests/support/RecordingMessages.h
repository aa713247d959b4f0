// A message sink that keeps what core code shows the user.
#pragma once

#include <string>
#include <vector>

#include "core/MessageSink.h"

namespace pixolan::test {

class TRecordingMessages : public core::TMessageSink {
 public:
  // Each message as "key: argument".
  std::vector<std::string> Shown;
  void ShowMessage(const std::string& key, const std::string& argument) override {
    Shown.push_back(key + ": " + argument);
  }
};

}  // namespace pixolan::test
