// The options panels of the actions that draw onto the image or keep channels: frame,
// color channels, watermark and text.
#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <string>

#include "ui/ActionPanels.h"

namespace pixolan::ui::actionpanels {

namespace {

constexpr int kIndent = 18;

QLineEdit* ColorField(QWidget& parent, const char* name) {
  auto* field = Make<QLineEdit>(parent, name);
  field->setMaxLength(7);
  field->setAutoFillBackground(true);
  field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("#DDDDDDD")) + 12);
  return field;
}

// The position controls of the watermark and the text: centred or user-defined offsets
// from one of the sides. They sit on a panel of their own (Panel8, Panel9) so that their
// radio buttons form a group apart from the size radios.
void BuildPosition(QWidget& owner, QVBoxLayout& column, const char* panelName, const char* heading,
                   const char* prefix, const char* fromLabel1, const char* fromLabel2) {
  auto* panel = Make<QWidget>(owner, panelName);
  auto* inner = new QVBoxLayout(panel);
  inner->setContentsMargins(0, 0, 0, 0);
  inner->setSpacing(3);
  const auto name = [prefix](const char* suffix) { return std::string(prefix) + suffix; };
  inner->addWidget(Label(*panel, heading));
  Row(*inner, {Make<QRadioButton>(*panel, name("_p_mittig"))}, kIndent);
  Row(*inner, {Make<QRadioButton>(*panel, name("_p_benutzer"))}, kIndent);
  Row(*inner,
      {NumberBox(*panel, name("_p_benutzer_pixelou")), Label(*panel, fromLabel1, ""),
       Make<QCheckBox>(*panel, name("_p_benutzer_oben")),
       Make<QCheckBox>(*panel, name("_p_benutzer_unten"))},
      2 * kIndent);
  Row(*inner,
      {NumberBox(*panel, name("_p_benutzer_pixellr")), Label(*panel, fromLabel2, ""),
       Make<QCheckBox>(*panel, name("_p_benutzer_links")),
       Make<QCheckBox>(*panel, name("_p_benutzer_rechts"))},
      2 * kIndent);
  column.addWidget(panel);
}

// The three ways to size an overlay: each a radio, the last with its two boxes.
void BuildSize(QWidget& panel, QVBoxLayout& column, const char* heading, const char* first,
               const char* second, const char* custom, const char* width, const char* height,
               const char* times) {
  column.addWidget(Label(panel, heading));
  Row(column, {Make<QRadioButton>(panel, first)}, kIndent);
  Row(column, {Make<QRadioButton>(panel, second)}, kIndent);
  Row(column, {Make<QRadioButton>(panel, custom)}, kIndent);
  Row(column, {NumberBox(panel, width), Label(panel, times, "x"), NumberBox(panel, height)},
      2 * kIndent);
}

}  // namespace

void BuildFrame(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  Row(*column, {Label(panel, "Label36", ""), NumberBox(panel, "act_randbreite"),
                Label(panel, "la_randbreite_pixel", "Pixel")});
  column->addWidget(Label(panel, "Label38"));
  Row(*column,
      {ColorField(panel, "act_randfarbe"), Button(panel, "BitBtn6"),
       Button(panel, "BitBtn12", "Pipette..")},
      kIndent);
  Row(*column, {Make<QCheckBox>(panel, "act_randhinzu")});
  // The frame's transparency is stored but not offered in the window.
  QLabel* transparency = Label(panel, "la_randtransp", "Transparenz (0 bis 100%):");
  QComboBox* transparencyBox = NumberBox(panel, "act_randtransp");
  QLabel* percent = Label(panel, "la_randtransp_prozent", "%");
  for (QWidget* hidden : {static_cast<QWidget*>(transparency),
                          static_cast<QWidget*>(transparencyBox), static_cast<QWidget*>(percent)})
    hidden->hide();
  column->addStretch(1);
}

void BuildChannels(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  column->addWidget(Label(panel, "Label46"));
  Row(*column, {Make<QRadioButton>(panel, "act_channels_rgb")}, kIndent);
  Row(*column,
      {Make<QCheckBox>(panel, "act_channel_rot"), Make<QCheckBox>(panel, "act_channel_gruen"),
       Make<QCheckBox>(panel, "act_channel_blau")},
      2 * kIndent);
  Row(*column, {Make<QRadioButton>(panel, "act_channels_cmyk")}, kIndent);
  auto* cmyk = new QGridLayout;
  cmyk->setContentsMargins(2 * kIndent, 0, 0, 0);
  cmyk->addWidget(Make<QCheckBox>(panel, "act_channel_c"), 0, 0);
  cmyk->addWidget(Make<QCheckBox>(panel, "act_channel_m"), 0, 1);
  cmyk->addWidget(Make<QCheckBox>(panel, "act_channel_y"), 1, 0);
  cmyk->addWidget(Make<QCheckBox>(panel, "act_channel_k"), 1, 1);
  cmyk->setColumnStretch(2, 1);
  column->addLayout(cmyk);
  column->addWidget(Label(panel, "Label47"));
  Row(*column, {ListBox(panel, "act_channels_zufarbe")}, kIndent);
  column->addStretch(1);
}

void BuildWatermark(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  column->addWidget(Label(panel, "Label22"));
  QHBoxLayout* source = Row(*column, {}, kIndent);
  Fill(*source, Make<QLineEdit>(panel, "act_wz_quelle"));
  source->addWidget(Button(panel, "BitBtn4"));
  column->addWidget(Label(panel, "Label30"));
  Fill(*Row(*column,
            {NumberBox(panel, "act_wz_transpwert"), Label(panel, "la_wz_transpwert_prozent", "%")},
            kIndent),
       TieBar(panel, "ScrollBar8"));
  Row(*column, {Make<QCheckBox>(panel, "act_wz_transpfarbeaktiv")});
  Row(*column,
      {ColorField(panel, "act_wz_transpfarbe"), Button(panel, "BitBtn5"),
       Button(panel, "BitBtn8", "Pipette..")},
      kIndent);
  BuildSize(panel, *column, "Label32", "act_wz_g_original", "act_wz_g_resize", "act_wz_g_benutzer",
            "act_wz_benutzer_x", "act_wz_benutzer_y", "la_wz_benutzer_mal");
  BuildPosition(panel, *column, "Panel8", "Label33", "act_wz", "Label34", "Label35");
  column->addStretch(1);
}

void BuildText(QWidget& panel) {
  QVBoxLayout* column = Column(panel);
  column->addWidget(Label(panel, "Label48"));
  auto* memo = Make<QPlainTextEdit>(panel, "act_text_quelle");
  memo->setFixedHeight(64);
  memo->setAutoFillBackground(true);
  column->addWidget(memo);
  QHBoxLayout* font = Row(*column, {Label(panel, "Label64", "")});
  QLabel* fontName = Label(panel, kFontName, "");
  fontName->setTextFormat(Qt::PlainText);
  Fill(*font, fontName);
  font->addWidget(Button(panel, "BitBtn11"));
  Row(*column, {Label(panel, "Label63", ""), ColorField(panel, "act_text_fontcolor"),
                Button(panel, "BitBtn14"), Button(panel, "BitBtn13", "Pipette")});
  Row(*column, {Label(panel, "Label66", ""), ColorField(panel, "act_text_hintergrund"),
                Button(panel, "BitBtn15"), Button(panel, "BitBtn16", "Pipette")});
  Row(*column, {Make<QCheckBox>(panel, "act_text_hgtransparent")});
  column->addWidget(Label(panel, "Label49"));
  Fill(*Row(*column,
            {NumberBox(panel, "act_text_transpwert"),
             Label(panel, "la_text_transpwert_prozent", "%")},
            kIndent),
       TieBar(panel, "ScrollBar1"));
  BuildSize(panel, *column, "Label50", "act_text_g_schrift", "act_text_g_resize",
            "act_text_g_benutzer", "act_text_benutzer_x", "act_text_benutzer_y",
            "la_text_benutzer_mal");
  BuildPosition(panel, *column, "Panel9", "Label52", "act_text", "Label53", "Label54");
  column->addWidget(Label(panel, "la_add_text_placeholder1"));
  column->addWidget(Label(panel, "la_add_text_placeholder2"));
  column->addWidget(Label(panel, "la_add_text_placeholder3"));
  column->addStretch(1);
}

}  // namespace pixolan::ui::actionpanels
