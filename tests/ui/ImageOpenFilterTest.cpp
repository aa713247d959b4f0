#include <gtest/gtest.h>

#include "lang/WindowTexts.h"
#include "ui/ImageOpenFilter.h"

namespace pixolan::ui {
namespace {

TEST(ImageOpenFilterTest, GroupsBecomeQtFiltersThatMatchBothCases) {
  for (const lang::TLanguage language : {lang::TLanguage::De, lang::TLanguage::En}) {
    const QStringList filters = ImageOpenNameFilters(language);
    ASSERT_EQ(filters.size(), qsizetype(lang::ImageOpenFilter(language).size()));
    EXPECT_EQ(filters[1], "Windows Bitmap (*.bmp *.BMP *.dib *.DIB)");
    // The first group reads every pattern of the others.
    const auto patterns = [](const QString& filter) {
      return filter.section('(', -1).chopped(1).split(' ');
    };
    const QStringList all = patterns(filters[0]);
    for (qsizetype i = 1; i < filters.size(); ++i)
      for (const QString& pattern : patterns(filters[i]))
        EXPECT_TRUE(all.contains(pattern)) << pattern.toStdString();
  }
  EXPECT_TRUE(ImageOpenNameFilters(lang::TLanguage::De)[0].startsWith("Alle lesbaren Dateien ("));
}

}  // namespace
}  // namespace pixolan::ui
