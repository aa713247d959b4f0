// An input list message front end that keeps what add2list shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "input/InputList.h"

namespace pixolan::test {

class TRecordingListMessages : public input::TListMessages {
 public:
  // Each message as "key: argument".
  std::vector<std::string> Shown;
  bool OkForAll() const override { return okForAll_; }
  void SetOkForAll(bool okForAll) override { okForAll_ = okForAll; }
  void ShowMessage(std::string_view key, std::string_view argument) override {
    Shown.push_back(std::string(key) + ": " + std::string(argument));
  }

 private:
  bool okForAll_ = false;
};

// List options that do not depend on the user's locale: "," as decimal separator, as in
// German, and texts compared bytewise after ASCII lower-casing.
inline input::TListOptions FixedListOptions(
    input::TListDetail detail = input::TListDetail::Columns) {
  input::TListOptions options;
  options.Detail = detail;
  options.DecimalSeparator = ",";
  options.CompareText = [](std::string_view a, std::string_view b) {
    std::string la(a), lb(b);
    for (char& c : la) c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    for (char& c : lb) c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    return la.compare(lb);
  };
  return options;
}

}  // namespace pixolan::test
