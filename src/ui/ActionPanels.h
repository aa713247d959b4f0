// Builds the content of the actions area's panels: every control of an action with its
// labels, each named as its control, laid out by Qt layouts so that the panels follow the
// area's width and the screen's scale. Internal to the actions area.
#pragma once

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>
#include <initializer_list>
#include <string_view>

namespace pixolan::ui::actionpanels {

// Labels the area computes (no table holds their texts).
inline constexpr char kBlurHint[] = "la_weich_filter";
inline constexpr char kSharpenHint[] = "la_hart_filter";
inline constexpr char kFontName[] = "la_schriftname";

// Header panels: the action's check box and its options button (the first also carries
// the area's heading).
void BuildActionHeader(QWidget& panel, const char* checkBox, const char* button,
                       const char* heading = nullptr);
void BuildOrderHeader(QWidget& panel);
void BuildMoreHeader(QWidget& panel);

// Options panels.
void BuildResize(QWidget& panel);
void BuildRotate(QWidget& panel);
void BuildColor(QWidget& panel);
void BuildContrast(QWidget& panel);
void BuildBlur(QWidget& panel);
void BuildSharpen(QWidget& panel);
void BuildCrop(QWidget& panel);
void BuildFrame(QWidget& panel);
void BuildChannels(QWidget& panel);
void BuildWatermark(QWidget& panel);
void BuildText(QWidget& panel);
void BuildOrder(QWidget& panel);
void BuildMoreFunctions(QWidget& panel);

// Widgets named as their controls, owned by their parent.
template <class W>
W* Make(QWidget& parent, std::string_view name) {
  auto* widget = new W(&parent);
  widget->setObjectName(QString::fromUtf8(name.data(), qsizetype(name.size())));
  return widget;
}

// A label; formText is the text of labels no table holds (units, "x"). Long labels wrap.
QLabel* Label(QWidget& parent, std::string_view name, const char* formText = nullptr);
// A combo box the user types numbers into: editable, narrow and without completion, so
// that "12" stays 12 and does not become "1280".
QComboBox* NumberBox(QWidget& parent, std::string_view name);
// A fixed list.
QComboBox* ListBox(QWidget& parent, std::string_view name);
// A scroll bar tied to a number box; it moves by 2 per arrow click.
QScrollBar* TieBar(QWidget& parent, std::string_view name);
QPushButton* Button(QWidget& parent, std::string_view name, const char* formText = nullptr);

// The panel's column of rows with the area's margins.
QVBoxLayout* Column(QWidget& panel);
// A row of widgets, left-aligned, indented by `indent` pixels.
QHBoxLayout* Row(QBoxLayout& column, std::initializer_list<QWidget*> widgets, int indent = 0);
// Adds a widget to the end of a row that takes the rest of the row's width.
void Fill(QHBoxLayout& row, QWidget* widget);

}  // namespace pixolan::ui::actionpanels
