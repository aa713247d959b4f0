#include "ui/ActionsArea.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "config/ActionHints.h"
#include "config/StoreDefinition.h"
#include "ui/ActionPanels.h"
#include "ui/ActionsAreaWheel.h"
#include "ui/ColorEdit.h"
#include "ui/ControlTexts.h"
#include "ui/ImageOpenFilter.h"
#include "ui/OrderList.h"

namespace pixolan::ui {

namespace {

namespace panels = actionpanels;

// The thirteen pairs in stacking order with their designed heights.
struct TPairDefinition {
  const char* Header;
  int HeaderHeight;
  const char* Options;
  int OptionsHeight;
  void (*BuildHeader)(QWidget&);
  void (*BuildOptions)(QWidget&);
};

template <const char* CheckBox, const char* Button>
void ActionHeader(QWidget& panel) {
  panels::BuildActionHeader(panel, CheckBox, Button);
}
void ResizeHeader(QWidget& panel) {
  panels::BuildActionHeader(panel, "act_size", "act_size_bb", "Label6");
}

constexpr char kRotate[] = "act_drehenspiegeln", kRotateButton[] = "act_drehenspiegeln_bb";
constexpr char kColor[] = "act_farbe", kColorButton[] = "act_farbe_bb";
constexpr char kContrast[] = "act_khs", kContrastButton[] = "act_khs_bb";
constexpr char kBlur[] = "act_weich", kBlurButton[] = "act_weich_bb";
constexpr char kSharpen[] = "act_hart", kSharpenButton[] = "act_hart_bb";
constexpr char kCrop[] = "act_zuschneiden", kCropButton[] = "act_zuschneiden_bb";
constexpr char kFrame[] = "act_rand", kFrameButton[] = "act_rand_bb";
constexpr char kChannels[] = "act_channels", kChannelsButton[] = "act_channels_bb";
constexpr char kWatermark[] = "act_wasserzeichen", kWatermarkButton[] = "act_wasserzeichen_bb";
constexpr char kText[] = "act_text", kTextButton[] = "act_text_bb";

constexpr TPairDefinition kPairs[] = {
    {"apanel10", 46, "apanel11", 258, ResizeHeader, panels::BuildResize},
    {"apanel20", 21, "apanel21", 59, ActionHeader<kRotate, kRotateButton>, panels::BuildRotate},
    {"apanel30", 21, "apanel31", 305, ActionHeader<kColor, kColorButton>, panels::BuildColor},
    {"apanel40", 21, "apanel41", 148, ActionHeader<kContrast, kContrastButton>,
     panels::BuildContrast},
    {"apanel40a", 21, "apanel41a", 95, ActionHeader<kBlur, kBlurButton>, panels::BuildBlur},
    {"apanel40b", 21, "apanel41b", 101, ActionHeader<kSharpen, kSharpenButton>,
     panels::BuildSharpen},
    {"apanel50", 21, "apanel51", 106, ActionHeader<kCrop, kCropButton>, panels::BuildCrop},
    {"apanel70", 21, "apanel71", 126, ActionHeader<kFrame, kFrameButton>, panels::BuildFrame},
    {"apanel80", 21, "apanel81", 141, ActionHeader<kChannels, kChannelsButton>,
     panels::BuildChannels},
    {"apanel60", 21, "apanel61", 338, ActionHeader<kWatermark, kWatermarkButton>,
     panels::BuildWatermark},
    {"apanel90", 21, "apanel91", 526, ActionHeader<kText, kTextButton>, panels::BuildText},
    {"apanel100", 55, "apanel101", 169, panels::BuildOrderHeader, panels::BuildOrder},
    {"apanelweitere0", 21, "apanelweitere1", 79, panels::BuildMoreHeader,
     panels::BuildMoreFunctions},
};

// The options buttons of the eleven actions and the panel each toggles.
constexpr std::pair<const char*, const char*> kOptionsButtons[] = {
    {"act_size_bb", "apanel11"},        {"act_drehenspiegeln_bb", "apanel21"},
    {"act_farbe_bb", "apanel31"},       {"act_khs_bb", "apanel41"},
    {"act_weich_bb", "apanel41a"},      {"act_hart_bb", "apanel41b"},
    {"act_zuschneiden_bb", "apanel51"}, {"act_rand_bb", "apanel71"},
    {"act_channels_bb", "apanel81"},    {"act_wasserzeichen_bb", "apanel61"},
    {"act_text_bb", "apanel91"},
};

// A check box or radio button that switches a sub-option, and the controls it enables.
struct TEnabling {
  std::string_view Switch;
  std::vector<std::string_view> Controls;
};
const std::vector<TEnabling>& EnablingRules() {
  static const std::vector<TEnabling> rules = {
      {"act_sizebenutzer", {"act_sizebenutzer_x", "act_sizebenutzer_y", "la_sizebenutzer_mal"}},
      {"act_drehen", {"act_drehencb"}},
      {"act_farbegamma",
       {"act_farberot", "act_farbegruen", "act_farbeblau", "Label21", "Label23", "Label24"}},
      {"act_farbereduzieren", {"act_farberedcb"}},
      {"act_farbevertauschen", {"act_farbevert1", "act_farbevert2", "Label27"}},
      {"act_wz_transpfarbeaktiv", {"act_wz_transpfarbe", "BitBtn5", "BitBtn8"}},
      {"act_wz_g_benutzer", {"act_wz_benutzer_x", "act_wz_benutzer_y", "la_wz_benutzer_mal"}},
      {"act_wz_p_benutzer",
       {"act_wz_p_benutzer_pixelou", "act_wz_p_benutzer_pixellr", "act_wz_p_benutzer_oben",
        "act_wz_p_benutzer_unten", "act_wz_p_benutzer_links", "act_wz_p_benutzer_rechts", "Label34",
        "Label35"}},
      {"act_text_g_benutzer",
       {"act_text_benutzer_x", "act_text_benutzer_y", "la_text_benutzer_mal"}},
      {"act_text_p_benutzer",
       {"act_text_p_benutzer_pixelou", "act_text_p_benutzer_pixellr", "act_text_p_benutzer_oben",
        "act_text_p_benutzer_unten", "act_text_p_benutzer_links", "act_text_p_benutzer_rechts",
        "Label53", "Label54"}},
      {"act_channels_rgb", {"act_channel_rot", "act_channel_gruen", "act_channel_blau"}},
      {"act_channels_cmyk", {"act_channel_c", "act_channel_m", "act_channel_y", "act_channel_k"}},
  };
  return rules;
}

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The panel's background: the button face darker by `amount` in each channel, with the
// byte arithmetic of the design (it wraps below 0).
QColor Darker(const QColor& face, int amount) {
  return QColor((face.red() - amount) & 0xFF, (face.green() - amount) & 0xFF,
                (face.blue() - amount) & 0xFF);
}

// The height a panel needs at a width: its designed height, or more when its content
// needs more (larger fonts, a higher screen scale, longer texts).
int PanelHeight(const QWidget& panel, int designed, int width) {
  int needed = panel.heightForWidth(width);
  if (needed < 0) needed = panel.sizeHint().height();
  return std::max(designed, needed);
}

}  // namespace

struct TActionsArea::TImpl {
  TImpl(TActionsArea& owner, config::SettingsStore& settings) : area(owner), store(settings) {}

  // Index of a main-window entry by name, whichever kind it is.
  size_t MainIndex(std::string_view name) const {
    for (const char* section : {"PBPA", "PBCH", "PBRB", "PBCB", "PBED", "PBMM", "PBSB"})
      if (const std::optional<size_t> index = store.Find(section, name)) return *index;
    throw std::out_of_range("no control " + std::string(name));
  }
  template <class W>
  W& Child(std::string_view name) const {
    W* widget = area.findChild<W*>(Q(name));
    if (!widget) throw std::logic_error("the actions area lacks " + std::string(name));
    return *widget;
  }

  void Build();
  void Connect();
  void OnStoreChange(size_t index);
  void Stack();
  void ShowEnabling(const TEnabling& rule);
  void ShowHints();
  void ShowFont();
  void ToggleFromHeader(size_t panel);
  void ChooseFont();
  void OpenWatermark();

  TActionsArea& area;
  config::SettingsStore& store;
  QWidget* content = nullptr;
  struct TPlaced {
    QWidget* Widget;
    size_t Entry;
    int Designed;
  };
  std::vector<TPlaced> stacked;                     // header, options, header, ...
  std::vector<std::pair<size_t, QWidget*>> panels;  // every panel entry the area shows
  std::vector<size_t> optionsPanels;
  std::vector<std::pair<size_t, const TEnabling*>> enabling;
  size_t autoClose = 0, blurAcross = 0, blurDown = 0, sharpenRadius = 0;
  std::vector<size_t> fontEntries;
  QPlainTextEdit* memo = nullptr;
  QLabel* fontName = nullptr;
  lang::TLanguage language = lang::TLanguage::En;
  std::unique_ptr<TOrderList> order;
  std::vector<std::unique_ptr<TColorEdit>> colors;
  std::unique_ptr<TAreaWheel> wheel;
  QPointer<QFontDialog> fontDialog;
  QPointer<QFileDialog> fileDialog;
  config::SettingsStore::TListenerId listener = 0;
  bool closing = false;    // CloseAllActions: hide without restacking
  bool arranging = false;  // Stack runs; a width change meanwhile asks for another pass
  bool again = false;
};

void TActionsArea::TImpl::Build() {
  content = new QWidget;
  content->setObjectName("ScrollBox1_inhalt");
  const QColor face = area.palette().color(QPalette::Button);
  for (const TPairDefinition& pair : kPairs) {
    auto* header = panels::Make<QWidget>(*content, pair.Header);
    pair.BuildHeader(*header);
    auto* options = panels::Make<QFrame>(*content, pair.Options);
    options->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    options->setAutoFillBackground(true);
    QPalette palette = options->palette();
    palette.setColor(QPalette::Window, Darker(face, 5));
    options->setPalette(palette);
    pair.BuildOptions(*options);
    stacked.push_back({header, MainIndex(pair.Header), pair.HeaderHeight});
    stacked.push_back({options, MainIndex(pair.Options), pair.OptionsHeight});
  }
  area.setWidget(content);
  for (std::string_view panel : config::definition::OptionsPanels())
    optionsPanels.push_back(MainIndex(panel));
  for (const TPlaced& placed : stacked) panels.push_back({placed.Entry, placed.Widget});
  for (const char* inner : {"Panel8", "Panel9"})
    panels.push_back({MainIndex(inner), &Child<QWidget>(inner)});
  for (const TEnabling& rule : EnablingRules()) enabling.push_back({MainIndex(rule.Switch), &rule});
  autoClose = store.IndexOf("AC", "AC");
  blurAcross = MainIndex("act_weich_gr_h");
  blurDown = MainIndex("act_weich_gr_v");
  sharpenRadius = MainIndex("act_hart_gr");
  for (const char* key : {"FON", "FSI", "FBO", "FIT", "FUN", "FSO"})
    fontEntries.push_back(store.IndexOf("FCE", key));
  memo = &Child<QPlainTextEdit>("act_text_quelle");
  fontName = &Child<QLabel>(panels::kFontName);
}

void TActionsArea::TImpl::Connect() {
  for (const auto& [button, panel] : kOptionsButtons) {
    const size_t entry = MainIndex(panel);
    QObject::connect(&Child<QAbstractButton>(button), &QAbstractButton::clicked, &area,
                     [this, entry] {
                       // Never closes the others.
                       store.SetChecked(entry, store.Entry(entry).Number == 0);
                     });
  }
  const size_t orderPanel = MainIndex("apanel101"), morePanel = MainIndex("apanelweitere1");
  QObject::connect(&Child<QAbstractButton>("des_tab_bb"), &QAbstractButton::clicked, &area,
                   [this, orderPanel] { ToggleFromHeader(orderPanel); });
  QObject::connect(&Child<QAbstractButton>("act_weitere"), &QAbstractButton::clicked, &area,
                   [this, morePanel] { ToggleFromHeader(morePanel); });
  Child<QLabel>("Label61").installEventFilter(&area);

  order = std::make_unique<TOrderList>(store, Child<QListWidget>("act_ordnung"),
                                       Child<QAbstractButton>("BitBtn7"),
                                       Child<QAbstractButton>("BitBtn10"));
  const auto colorEdit = [this](const char* field, const char* choose, const char* pick,
                                TColorEdit::TColorApplied applied) {
    colors.push_back(std::make_unique<TColorEdit>(store, Child<QLineEdit>(field),
                                                  Child<QAbstractButton>(choose),
                                                  Child<QAbstractButton>(pick), applied));
  };
  colorEdit("act_wz_transpfarbe", "BitBtn5", "BitBtn8", {});
  colorEdit("act_randfarbe", "BitBtn6", "BitBtn12", {});
  // The memo shows the text as it will be drawn: in the font color on the background.
  colorEdit("act_text_fontcolor", "BitBtn14", "BitBtn13", [this](const QColor& color) {
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Text, color);
    memo->setPalette(palette);
  });
  colorEdit("act_text_hintergrund", "BitBtn15", "BitBtn16", [this](const QColor& color) {
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, color);
    memo->setPalette(palette);
  });
  QObject::connect(&Child<QAbstractButton>("BitBtn11"), &QAbstractButton::clicked, &area,
                   [this] { ChooseFont(); });
  QObject::connect(&Child<QAbstractButton>("BitBtn4"), &QAbstractButton::clicked, &area,
                   [this] { OpenWatermark(); });

  listener = store.AddChangeListener([this](const config::TSettingEntry& entry) {
    OnStoreChange(size_t(&entry - store.Entries().data()));
  });
  wheel = std::make_unique<TAreaWheel>(area);
}

void TActionsArea::TImpl::OnStoreChange(size_t index) {
  for (const auto& [entry, widget] : panels) {
    if (entry != index) continue;
    widget->setVisible(store.Entry(entry).Number != 0);
    if (!closing) area.PanelsAnordnen();
    return;
  }
  for (const auto& [entry, rule] : enabling)
    if (entry == index) ShowEnabling(*rule);
  if (index == blurAcross || index == blurDown || index == sharpenRadius) ShowHints();
  if (std::find(fontEntries.begin(), fontEntries.end(), index) != fontEntries.end()) ShowFont();
}

void TActionsArea::TImpl::Stack() {
  QScrollBar* bar = area.verticalScrollBar();
  const int remembered = bar->value();
  const int width = area.viewport()->width();
  int y = 0;
  for (const TPlaced& placed : stacked) {
    const bool shown = store.Entry(placed.Entry).Number != 0;
    placed.Widget->setVisible(shown);
    if (!shown) continue;
    const int height = PanelHeight(*placed.Widget, placed.Designed, width);
    placed.Widget->setGeometry(0, y, width, height);
    y += height;
  }
  content->resize(width, y);
  bar->setRange(0, std::max(0, y - area.viewport()->height()));
  bar->setValue(remembered);  // clamped to the new range
}

void TActionsArea::TImpl::ShowEnabling(const TEnabling& rule) {
  const bool on = store.Entry(MainIndex(rule.Switch)).Number != 0;
  for (std::string_view control : rule.Controls) Child<QWidget>(control).setEnabled(on);
}

void TActionsArea::TImpl::ShowHints() {
  Child<QLabel>(panels::kBlurHint)
      .setText(Q(config::BlurFilterHint(store.Entry(blurAcross).Text, store.Entry(blurDown).Text,
                                        language)));
  Child<QLabel>(panels::kSharpenHint)
      .setText(Q(config::SharpenRadiusHint(store.Entry(sharpenRadius).Text, language)));
}

void TActionsArea::TImpl::ShowFont() {
  QFont font(Q(store.Text("FCE", "FON")));
  font.setPointSize(std::max(1, store.Number("FCE", "FSI")));
  font.setBold(store.Checked("FCE", "FBO"));
  font.setItalic(store.Checked("FCE", "FIT"));
  font.setUnderline(store.Checked("FCE", "FUN"));
  font.setStrikeOut(store.Checked("FCE", "FSO"));
  memo->setFont(font);
  fontName->setText(font.family());
}

void TActionsArea::TImpl::ToggleFromHeader(size_t panel) {
  const bool wasShown = store.Entry(panel).Number != 0;
  if (store.Entry(autoClose).Number != 0) area.CloseAllActions();
  store.SetChecked(panel, !wasShown);
  area.PanelsAnordnen();  // also when closing all left nothing else to change
}

void TActionsArea::TImpl::ChooseFont() {
  if (fontDialog) {
    fontDialog->raise();
    return;
  }
  auto* dialog = new QFontDialog(memo->font(), &area);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(dialog, &QFontDialog::fontSelected, &area, [this](const QFont& font) {
    int points = font.pointSize();
    if (points <= 0) points = std::max(1, font.pixelSize() * 72 / 96);
    store.SetText(store.IndexOf("FCE", "FON"), font.family().toStdString());
    store.SetNumber(store.IndexOf("FCE", "FSI"), points);
    store.SetChecked(store.IndexOf("FCE", "FBO"), font.bold());
    store.SetChecked(store.IndexOf("FCE", "FIT"), font.italic());
    store.SetChecked(store.IndexOf("FCE", "FUN"), font.underline());
    store.SetChecked(store.IndexOf("FCE", "FSO"), font.strikeOut());
  });
  fontDialog = dialog;
  dialog->open();
}

void TActionsArea::TImpl::OpenWatermark() {
  if (fileDialog) {
    fileDialog->raise();
    return;
  }
  const size_t source = MainIndex("act_wz_quelle");
  const QFileInfo current(Q(store.Entry(source).Text));
  auto* dialog = new QFileDialog(&area);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setNameFilters(ImageOpenNameFilters(language));
  if (current.dir().exists()) dialog->setDirectory(current.dir());
  QObject::connect(dialog, &QFileDialog::fileSelected, &area, [this, source](const QString& file) {
    if (!file.isEmpty()) store.SetText(source, file.toStdString());
  });
  fileDialog = dialog;
  dialog->open();
}

TActionsArea::TActionsArea(config::SettingsStore& store, QWidget* parent)
    : QScrollArea(parent), impl_(std::make_unique<TImpl>(*this, store)) {
  setObjectName("ScrollBox1");
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setWidgetResizable(false);
  setFocusPolicy(Qt::StrongFocus);
  verticalScrollBar()->setSingleStep(TAreaWheel::kPixelsPerNotch);
  impl_->language = store.Language();
  impl_->Build();
  impl_->Connect();
  viewport()->installEventFilter(this);
  SetControlTexts(*this, "Tprog", impl_->language);
  for (const auto& [entry, rule] : impl_->enabling) impl_->ShowEnabling(*rule);
  impl_->ShowHints();
  impl_->ShowFont();
  PanelsAnordnen();
}

TActionsArea::~TActionsArea() {
  impl_->store.RemoveChangeListener(impl_->listener);
}

QSize TActionsArea::sizeHint() const {
  return {316, 384};
}

void TActionsArea::PanelsAnordnen() {
  if (impl_->arranging) {
    impl_->again = true;
    return;
  }
  impl_->arranging = true;
  // Showing the scroll bar narrows the panels, which may make them higher; heights only
  // grow as the width shrinks, so a second pass settles it.
  for (int pass = 0; pass < 3; ++pass) {
    impl_->again = false;
    impl_->Stack();
    if (!impl_->again) break;
  }
  impl_->arranging = false;
}

void TActionsArea::CloseAllActions() {
  impl_->closing = true;
  for (size_t panel : impl_->optionsPanels)
    impl_->store.SetChecked(panel, false, config::TChangeSource::Program);
  impl_->closing = false;
}

void TActionsArea::LanguageChanged(lang::TLanguage language) {
  impl_->language = language;
  impl_->ShowHints();
}

bool TActionsArea::WheelScrollingAllowed() const {
  return impl_->wheel->ScrollingAllowed();
}

void TActionsArea::SetScreenReader(TScreenReader reader) {
  for (const auto& color : impl_->colors) color->SetScreenReader(reader);
}

bool TActionsArea::eventFilter(QObject* object, QEvent* event) {
  if (object == viewport() && event->type() == QEvent::Resize) {
    if (impl_->content && impl_->content->width() != viewport()->width()) PanelsAnordnen();
  } else if (object->objectName() == QLatin1String("Label61") &&
             event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        static_cast<QWidget*>(object)->rect().contains(mouse->position().toPoint()))
      impl_->ToggleFromHeader(impl_->MainIndex("apanelweitere1"));
  }
  return QScrollArea::eventFilter(object, event);
}

}  // namespace pixolan::ui
