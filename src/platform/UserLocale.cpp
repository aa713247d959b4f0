#include "platform/UserLocale.h"

#include <langinfo.h>
#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <memory>

#include "platform/TextEncoding.h"

namespace pixolan::platform {

namespace {

struct TLocaleDeleter {
  void operator()(locale_t locale) const { freelocale(locale); }
};
using TLocale = std::unique_ptr<std::remove_pointer_t<locale_t>, TLocaleDeleter>;

// The user's locale for the categories, or the "C" locale when the environment names one
// that does not exist here.
TLocale UserLocale(int categoryMask) {
  if (locale_t locale = newlocale(categoryMask, "", locale_t(nullptr))) return TLocale(locale);
  return TLocale(newlocale(categoryMask, "C", locale_t(nullptr)));
}

std::wstring FoldedWide(std::string_view text, locale_t locale) {
  const std::u32string points = CodePointsOf(text);
  std::wstring wide;
  wide.reserve(points.size());
  for (const char32_t c : points) wide.push_back(wchar_t(towlower_l(wint_t(c), locale)));
  return wide;
}

}  // namespace

std::string UserDecimalSeparator() {
  const TLocale locale = UserLocale(LC_NUMERIC_MASK);
  if (!locale) return ".";
  const char* radix = nl_langinfo_l(RADIXCHAR, locale.get());
  return radix && *radix ? std::string(radix) : std::string(".");
}

TTextCompare UserTextCompareIgnoreCase() {
  std::shared_ptr<std::remove_pointer_t<locale_t>> locale(
      UserLocale(LC_COLLATE_MASK | LC_CTYPE_MASK).release(), TLocaleDeleter());
  return [locale](std::string_view a, std::string_view b) {
    if (!locale) return a.compare(b);
    const std::wstring wa = FoldedWide(a, locale.get()), wb = FoldedWide(b, locale.get());
    // wcscoll stops at a NUL; texts of the list never hold one.
    return wcscoll_l(wa.c_str(), wb.c_str(), locale.get());
  };
}

}  // namespace pixolan::platform
