#include <gtest/gtest.h>

#include "core/TextPlaceholders.h"

namespace pixolan::core {
namespace {

// 5 March 2014, 07:08:09.
std::tm FixedTime() {
  std::tm t{};
  t.tm_year = 114;
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 7;
  t.tm_min = 8;
  t.tm_sec = 9;
  return t;
}

struct TPlaceholderCase {
  const char *Text, *Source, *Expanded;
};

TEST(TextPlaceholdersTest, ReplacesPathPiecesDatesAndRanges) {
  const TPlaceholderCase cases[] = {
      {"%name%", "/Bilder/Urlaub.2014.jpg", "Urlaub.2014"},
      {"%ext%", "/Bilder/Urlaub.2014.jpg", "jpg"},
      {"%filename%", "/Bilder/Urlaub.2014.jpg", "Urlaub.2014.jpg"},
      {"%path%", "/Bilder/Urlaub.2014.jpg", "/Bilder/"},
      {"%filepath%", "/Bilder/Urlaub.2014.jpg", "/Bilder/Urlaub.2014.jpg"},
      {"%name% without extension", "/Bilder/README", "README without extension"},
      {"%name;1-3%", "/Bilder/Urlaub.jpg", "Url"},
      // Characters 4 on of Urlaub, after the first three "Url".
      {"%name;4-99%", "/Bilder/Urlaub.jpg", "aub"},
      {"%name;3-1%", "/Bilder/Urlaub.jpg", "%name;3-1%"},
      {"%name;0-2%", "/Bilder/Urlaub.jpg", "Url"},
      {"%name;2-3% and %name;2-3%", "/Bilder/Urlaub.jpg", "rl and rl"},
      {"%name;1-99999999999%", "/Bilder/Urlaub.jpg", "%name;1-99999999999%"},
      {"%name;2-3%", "/Bilder/Mädchen.jpg", "äd"},
      {"%name;1-2%name;3-4%", "/Bilder/Urlaub.jpg", "Urname;3-4%"},
      {"%name;12% %name;-3% %name;1-3", "/Bilder/Urlaub.jpg", "%name;12% %name;-3% %name;1-3"},
      {"%%name;1-2%", "/Bilder/Urlaub.jpg", "%Ur"},
      {"%filepath;1-2%", "/Bilder/Urlaub.jpg", "/B"},
      {"%path;2-7%", "/Bilder/Urlaub.jpg", "Bilder"},
      {"Datum: %dd%.%mm%.%yyyy%", "/a.jpg", "Datum: 05.03.2014"},
      {"%d%.%m%.%yy% %t%/%tt%", "/a.jpg", "5.3.14 5/05"},
      {"%hh%:%ii%:%ss% %h%:%i%:%s%", "/a.jpg", "07:08:09 7:8:9"},
      {"%name% %path%|", "ClipboardFile", "ClipboardFile |"},
      {"yyyy mm dd without a percent sign", "/a.jpg", "yyyy mm dd without a percent sign"},
      {"100%", "/a.jpg", "100%"},
  };
  for (const TPlaceholderCase& c : cases)
    EXPECT_EQ(ExpandTextPlaceholders(c.Text, c.Source, FixedTime), c.Expanded) << c.Text;
}

TEST(TextPlaceholdersTest, ReadsTheClockOnlyForDatePlaceholdersThatArePresent) {
  int reads = 0;
  const TClock counting = [&reads] {
    ++reads;
    return FixedTime();
  };
  ExpandTextPlaceholders("%name% 50%", "/a.jpg", counting);
  EXPECT_EQ(reads, 0);
  ExpandTextPlaceholders("%dd%.%mm%.%dd%", "/a.jpg", counting);
  EXPECT_EQ(reads, 2);
}

}  // namespace
}  // namespace pixolan::core
