#include <gtest/gtest.h>

#include "platform/TextEncoding.h"

namespace pixolan::platform {
namespace {

TEST(TextEncoding, Utf8IsValidOnlyWhenWellFormed) {
  const struct {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {"ascii", true},
      {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", true},
      {"\xC0\xAF", false},          // overlong "/"
      {"\xED\xA0\x80", false},      // a surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xE2\x82", false},          // cut
      {"\x80", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(TextEncoding, InvalidBytesKeepTextsApart) {
  // As code points every invalid byte stays itself, so two different texts never compare
  // equal; towards UTF-16 it becomes U+FFFD.
  EXPECT_EQ(CodePointsOf("a\xC3\xA4\xE9"), (std::u32string{U'a', U'\u00E4', U'\u00E9'}));
  EXPECT_EQ(Utf16FromUtf8("a\xE9\xF0\x9F\x98\x80"),
            (std::u16string{u'a', u'\uFFFD', char16_t(0xD83D), char16_t(0xDE00)}));
  EXPECT_EQ(Utf8FromUtf16(std::u16string{u'x', char16_t(0xD800)}, U'?'), "x?");
  EXPECT_EQ(Utf8FromWindows1252("\x80\x81\xFF"), "\xE2\x82\xAC\xC2\x81\xC3\xBF");
  EXPECT_EQ(Utf8FromUtf7("a\xC3+AGE-", U'?'), "a?a");
}

}  // namespace
}  // namespace pixolan::platform
