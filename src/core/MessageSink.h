// Where core code sends the catalogue messages it shows the user; the front end owns the
// texts and decides how to show them.
#pragma once

#include <string>

namespace pixolan::core {

class TMessageSink {
 public:
  virtual ~TMessageSink() = default;
  // key is a message catalogue key ("konvertierfehler", "formatfehler"...), argument the
  // text the message names (a path). Implementations must not throw.
  virtual void ShowMessage(const std::string& key, const std::string& argument) = 0;
};

}  // namespace pixolan::core
