// The header panels of the actions area, the order of actions and the "More Functions"
// notice.
#include <QCheckBox>
#include <QListWidget>

#include "ui/ActionPanels.h"

namespace pixolan::ui::actionpanels {

namespace {

QHBoxLayout* HeaderRow(QVBoxLayout& column, QWidget& caption, QWidget& button) {
  QHBoxLayout* row = Row(column, {&caption});
  row->addWidget(&button);
  return row;
}

QVBoxLayout* HeaderColumn(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  column->setContentsMargins(4, 1, 4, 1);
  return column;
}

}  // namespace

void BuildActionHeader(QWidget& panel, const char* checkBox, const char* button,
                       const char* heading) {
  QVBoxLayout* column = HeaderColumn(panel);
  if (heading) column->addWidget(Label(panel, heading));
  HeaderRow(*column, *Make<QCheckBox>(panel, checkBox), *Button(panel, button));
}

void BuildOrderHeader(QWidget& panel) {
  QVBoxLayout* column = HeaderColumn(panel);
  column->addWidget(Label(panel, "Label55"));
  HeaderRow(*column, *Label(panel, "Label62", ""), *Button(panel, "des_tab_bb"));
}

void BuildMoreHeader(QWidget& panel) {
  QVBoxLayout* column = HeaderColumn(panel);
  QLabel* caption = Label(panel, "Label61", "");
  caption->setCursor(Qt::PointingHandCursor);  // a click on it opens the notice too
  HeaderRow(*column, *caption, *Button(panel, "act_weitere"));
}

void BuildOrder(QWidget& panel) {
  auto* row = new QHBoxLayout(&panel);
  row->setContentsMargins(6, 4, 6, 4);
  auto* list = Make<QListWidget>(panel, "act_ordnung");
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setDragDropMode(QAbstractItemView::InternalMove);
  list->setDefaultDropAction(Qt::MoveAction);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  row->addWidget(list, 1);
  auto* side = new QVBoxLayout;
  side->setSpacing(3);
  side->addWidget(Button(panel, "BitBtn7"));
  side->addWidget(Button(panel, "BitBtn10"));
  for (const char* line : {"Label56", "Label57", "Label58", "Label59", "Label60"})
    side->addWidget(Label(panel, line, ""));
  side->addStretch(1);
  row->addLayout(side);
}

void BuildMoreFunctions(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  for (const char* line : {"Label42", "Label43", "Label44", "Label45"})
    column->addWidget(Label(panel, line));
  column->addStretch(1);
}

}  // namespace pixolan::ui::actionpanels
