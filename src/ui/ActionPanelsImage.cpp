// The options panels of the actions that change the image itself: size, rotation, color,
// contrast, blur, sharpness and crop; and the widget helpers all panels share.
#include <QCheckBox>
#include <QGridLayout>
#include <QRadioButton>

#include "ui/ActionPanels.h"

namespace pixolan::ui::actionpanels {

namespace {

constexpr int kIndent = 18;  // sub-options stand under their switch's caption

// A number box with the scroll bar that mirrors it, below the label that explains both.
void TiedRow(QWidget& panel, QVBoxLayout& column, const char* label, const char* box,
             const char* bar) {
  column.addWidget(Label(panel, label));
  Fill(*Row(column, {NumberBox(panel, box)}), TieBar(panel, bar));
}

}  // namespace

QLabel* Label(QWidget& parent, std::string_view name, const char* formText) {
  auto* label = Make<QLabel>(parent, name);
  if (formText) {
    label->setText(QString::fromUtf8(formText));
  } else {
    label->setWordWrap(true);
  }
  return label;
}

QComboBox* NumberBox(QWidget& parent, std::string_view name) {
  auto* box = Make<QComboBox>(parent, name);
  box->setEditable(true);
  box->setCompleter(nullptr);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setMinimumContentsLength(6);
  box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  return box;
}

QComboBox* ListBox(QWidget& parent, std::string_view name) {
  auto* box = Make<QComboBox>(parent, name);
  box->setEditable(false);
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return box;
}

QScrollBar* TieBar(QWidget& parent, std::string_view name) {
  auto* bar = Make<QScrollBar>(parent, name);
  bar->setOrientation(Qt::Horizontal);
  bar->setSingleStep(2);
  bar->setPageStep(10);
  return bar;
}

QPushButton* Button(QWidget& parent, std::string_view name, const char* formText) {
  auto* button = Make<QPushButton>(parent, name);
  if (formText) button->setText(QString::fromUtf8(formText));
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  return button;
}

QVBoxLayout* Column(QWidget& panel) {
  auto* column = new QVBoxLayout(&panel);
  column->setContentsMargins(6, 4, 6, 4);
  column->setSpacing(3);
  return column;
}

QHBoxLayout* Row(QBoxLayout& column, std::initializer_list<QWidget*> widgets, int indent) {
  auto* row = new QHBoxLayout;
  row->setSpacing(4);
  if (indent > 0) row->addSpacing(indent);
  for (QWidget* widget : widgets) row->addWidget(widget);
  row->addStretch(1);
  column.addLayout(row);
  return row;
}

void Fill(QHBoxLayout& row, QWidget* widget) {
  // Before the row's closing stretch, which then gives up its share.
  const int last = row.count() - 1;
  row.insertWidget(last, widget, 1);
  row.setStretch(last + 1, 0);
}

void BuildResize(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  column->addWidget(Label(panel, "Label2"));
  auto* presets = new QGridLayout;
  presets->setContentsMargins(kIndent, 0, 0, 0);
  presets->addWidget(Make<QRadioButton>(panel, "act_size240x320"), 0, 0);
  presets->addWidget(Make<QRadioButton>(panel, "act_size640x480"), 0, 1);
  presets->addWidget(Make<QRadioButton>(panel, "act_size800x600"), 1, 0);
  presets->addWidget(Make<QRadioButton>(panel, "act_size1024x768"), 1, 1);
  // The preset captions are the same in both languages.
  for (const char* name :
       {"act_size240x320", "act_size640x480", "act_size800x600", "act_size1024x768"}) {
    QString caption = QString::fromLatin1(name + 8);
    caption.replace(QLatin1Char('x'), QLatin1String(" x "));
    panel.findChild<QRadioButton*>(QString::fromLatin1(name))->setText(caption);
  }
  column->addLayout(presets);
  Row(*column, {Make<QRadioButton>(panel, "act_sizebenutzer")}, kIndent);
  Row(*column,
      {NumberBox(panel, "act_sizebenutzer_x"), Label(panel, "la_sizebenutzer_mal", "x"),
       NumberBox(panel, "act_sizebenutzer_y"), Label(panel, "la_sizebenutzer_pixel", "Pixel")},
      2 * kIndent);
  column->addWidget(Label(panel, "Label3"));
  for (const char* name :
       {"act_sizeprop", "act_sizehochquerformat", "act_sizebigger", "act_sizekleiner"})
    Row(*column, {Make<QCheckBox>(panel, name)}, kIndent / 2);
  column->addWidget(Label(panel, "Label4"));
  Row(*column, {ListBox(panel, "act_sizemethode")}, kIndent);
  column->addStretch(1);
}

void BuildRotate(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  Row(*column, {Make<QCheckBox>(panel, "act_spiegelnvert")});
  Row(*column, {Make<QCheckBox>(panel, "act_spiegelnhor")});
  Row(*column, {Make<QCheckBox>(panel, "act_drehen"), ListBox(panel, "act_drehencb")});
  column->addStretch(1);
}

void BuildColor(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  TiedRow(panel, *column, "Label26", "act_farbe_r", "ScrollBar5");
  TiedRow(panel, *column, "Label28", "act_farbe_g", "ScrollBar6");
  TiedRow(panel, *column, "Label29", "act_farbe_b", "ScrollBar7");
  Row(*column, {Make<QCheckBox>(panel, "act_farbe_kolorieren")});
  Row(*column, {Make<QCheckBox>(panel, "act_farbegamma")});
  Row(*column,
      {Label(panel, "Label21", ""), NumberBox(panel, "act_farberot"), Label(panel, "Label23", ""),
       NumberBox(panel, "act_farbegruen"), Label(panel, "Label24", ""),
       NumberBox(panel, "act_farbeblau")},
      kIndent);
  column->addWidget(Label(panel, "Label20"));
  Row(*column, {Make<QCheckBox>(panel, "act_farbenegativ")});
  Row(*column, {Make<QCheckBox>(panel, "act_farbereduzieren"), NumberBox(panel, "act_farberedcb")});
  Row(*column, {Make<QCheckBox>(panel, "act_farbevertauschen")});
  Row(*column,
      {ListBox(panel, "act_farbevert1"), Label(panel, "Label27", ""),
       ListBox(panel, "act_farbevert2")},
      kIndent);
  column->addStretch(1);
}

void BuildContrast(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  TiedRow(panel, *column, "Label18", "act_farbekontrast", "ScrollBar2");
  TiedRow(panel, *column, "Label19", "act_farbehelligkeit", "ScrollBar3");
  TiedRow(panel, *column, "Label25", "act_farbesaettigung", "ScrollBar4");
  column->addStretch(1);
}

void BuildBlur(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  column->addWidget(Label(panel, "Label68"));
  Row(*column,
      {Label(panel, "la_weich_h", "H:"), NumberBox(panel, "act_weich_gr_h"),
       Label(panel, "la_weich_v", "V:"), NumberBox(panel, "act_weich_gr_v")},
      kIndent);
  column->addWidget(Label(panel, kBlurHint));
  Row(*column, {Make<QCheckBox>(panel, "act_weich_gauss")});
  column->addStretch(1);
}

void BuildSharpen(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  column->addWidget(Label(panel, "Label69"));
  Fill(*Row(*column, {NumberBox(panel, "act_hart_st")}, kIndent), TieBar(panel, "ScrollBar11"));
  column->addWidget(Label(panel, "Label70"));
  Fill(*Row(*column, {NumberBox(panel, "act_hart_gr")}, kIndent), Label(panel, kSharpenHint, ""));
  column->addStretch(1);
}

void BuildCrop(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  column->addWidget(Label(panel, "Label13"));
  auto* sides = new QGridLayout;
  sides->setContentsMargins(kIndent, 0, 0, 0);
  sides->setHorizontalSpacing(6);
  sides->addWidget(Label(panel, "Label14", ""), 0, 0);
  sides->addWidget(NumberBox(panel, "act_zuschlinks"), 0, 1);
  sides->addWidget(Label(panel, "Label15", ""), 0, 2);
  sides->addWidget(NumberBox(panel, "act_zuschrechts"), 0, 3);
  sides->addWidget(Label(panel, "Label16", ""), 1, 0);
  sides->addWidget(NumberBox(panel, "act_zuschoben"), 1, 1);
  sides->addWidget(Label(panel, "Label17", ""), 1, 2);
  sides->addWidget(NumberBox(panel, "act_zuschunten"), 1, 3);
  sides->setColumnStretch(4, 1);
  column->addLayout(sides);
  Row(*column, {Make<QRadioButton>(panel, "rb_zuschn_abschneiden")});
  Row(*column, {Make<QRadioButton>(panel, "rb_zuschn_beibehalten")});
  column->addStretch(1);
}

}  // namespace pixolan::ui::actionpanels
