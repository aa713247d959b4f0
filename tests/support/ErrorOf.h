// The message of the exception a call raises.
#pragma once

#include <string>
#include <utility>

namespace pixolan::test {

// What fn raises as an E; "no error" when it returns. Other exceptions pass through, so a
// wrong kind of error fails the test.
template <class E, class Fn>
std::string ErrorOf(Fn&& fn) {
  try {
    std::forward<Fn>(fn)();
  } catch (const E& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace pixolan::test
