#include "ui/DialogButtons.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

namespace pixolan::ui {

QPushButton& AddOkRow(QDialog& dialog, QBoxLayout& column) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* ok = new QPushButton(&dialog);
  ok->setObjectName(QStringLiteral("Button1"));
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog] { dialog.accept(); });
  buttons->addWidget(ok);
  column.addLayout(buttons);
  return *ok;
}

}  // namespace pixolan::ui
