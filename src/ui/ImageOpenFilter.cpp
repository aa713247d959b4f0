#include "ui/ImageOpenFilter.h"

#include "lang/WindowTexts.h"

namespace pixolan::ui {

QStringList ImageOpenNameFilters(lang::TLanguage language) {
  QStringList filters;
  for (const lang::TFilterGroup& group : lang::ImageOpenFilter(language)) {
    QString name = QString::fromStdString(group.Name);
    // The table's names carry their patterns for a Windows dialog ("(*.bmp,*.dib)"), a
    // form Qt would read as one pattern.
    if (const qsizetype open = name.lastIndexOf(QLatin1Char('(')); open > 0) name.truncate(open);
    QStringList patterns;
    for (const std::string& pattern : group.Patterns) {
      const QString lower = QString::fromStdString(pattern).toLower();
      patterns << lower;
      if (lower.toUpper() != lower) patterns << lower.toUpper();
    }
    filters << name.trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')');
  }
  return filters;
}

}  // namespace pixolan::ui
