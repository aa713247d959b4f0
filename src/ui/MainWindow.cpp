#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <deque>
#include <thread>

#include "config/ConfigIniFile.h"
#include "config/ConfigurationFile.h"
#include "config/Defaults.h"
#include "config/LanguageSwitch.h"
#include "config/StartConfiguration.h"
#include "input/CommandLine.h"
#include "input/InputList.h"
#include "lang/Messages.h"
#include "lang/WindowTexts.h"
#include "ui/ActionsArea.h"
#include "ui/AreaBox.h"
#include "ui/ClipboardCapture.h"
#include "ui/ControlTexts.h"
#include "ui/FolderWatchBinding.h"
#include "ui/FormatFilterWindow.h"
#include "ui/InputArea.h"
#include "ui/MainMenu.h"
#include "ui/MessageWindow.h"
#include "ui/OutputSettingsWindow.h"
#include "ui/OverwriteQuestion.h"
#include "ui/PreviewArea.h"
#include "ui/ProcessingWindow.h"
#include "ui/SaveOptionsArea.h"
#include "ui/SaveProfileWindow.h"
#include "ui/StoreBinding.h"
#include "ui/WindowRun.h"

namespace pixolan::ui {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The areas' check marks in the store and their view menu entries, by area.
constexpr std::array<const char*, kAreaCount> kAreaFlags = {"AI", "AV", "AA", "AO"};
constexpr std::array<const char*, kAreaCount> kAreaMenu = {"m_anz_input", "m_anz_vorschau",
                                                           "m_anz_aktionen", "m_anz_output"};
constexpr std::array<const char*, kAreaCount> kRestoreButtons = {"max_input", "max_vorschau",
                                                                 "max_aktionen", "max_output"};
constexpr int kRestoreTop = 6;
constexpr int kRestoreButtonWidth = 52;
constexpr int kBarHeight = 35;

// Designed sizes: the window's client area, the right column and the input area.
constexpr int kDesignedWidth = 842, kDesignedHeight = 696;
constexpr int kMinimumWidth = 634, kMinimumHeight = 478;

struct TFrameWidth {
  const char* Entry;
  int Pixels;
};
constexpr TFrameWidth kFrameWidths[] = {{"m_rand0", 0},    {"m_rand1", 1},   {"m_rand2", 2},
                                        {"m_rand5", 5},    {"m_rand10", 10}, {"m_rand25", 25},
                                        {"m_rand100", 100}};

uint32_t WindowsColor(const QColor& color) {
  return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
         (static_cast<uint32_t>(color.blue()) << 16);
}

QString QtFilter(std::string_view filter) {
  // "Name|*.pxc" → "Name (*.pxc)"
  const QString text = Q(filter);
  const qsizetype bar = text.indexOf('|');
  return bar < 0 ? text : text.left(bar) + " (" + text.mid(bar + 1) + ")";
}

}  // namespace

bool MaximizeAtStart(QSize screen, QSize client) {
  return screen.height() < client.height() + 50 || screen.width() < client.width() + 50;
}

struct TMainWindow::TImpl {
  TOptions Options;
  std::string StartPath;
  // The dialogs are windows of their own, not children of the main window: the main
  // window is disabled during a run while they must stay usable, and its texts and
  // bindings must not reach their controls of the same names.
  std::unique_ptr<TMessageWindow> Messages;
  std::unique_ptr<TProcessingWindow> Processing;
  std::unique_ptr<TOverwriteQuestion> Overwrite;
  std::unique_ptr<TOutputSettingsWindow> OutputSettings;
  std::unique_ptr<TFormatFilterWindow> FormatFilter;
  std::unique_ptr<TSaveProfileWindow> SaveProfile;
  std::unique_ptr<input::TListMessages> ListMessages;
  std::unique_ptr<core::TMessageSink> MessageSink;
  // After the sink it reports to, so that it goes first.
  std::unique_ptr<TClipboardCapture> Clipboard;
  std::unique_ptr<input::TInputList> List;
  // After the list it changes, so that it goes first.
  std::unique_ptr<TFolderWatchBinding> FolderWatch;
  std::unique_ptr<TScanProgress> ScanProgress;
  std::unique_ptr<config::TConfigurationMenu> ConfigurationMenu;
  std::unique_ptr<TStoreBinding> Binding;

  TInputArea* Input = nullptr;
  TPreviewArea* Preview = nullptr;
  TActionsArea* Actions = nullptr;
  TSaveOptionsArea* SaveOptions = nullptr;
  std::array<TAreaBox*, kAreaCount> Boxes{};
  QSplitter* ColumnSplitter = nullptr;  // Splitter1
  QSplitter* InputSplitter = nullptr;   // Splitter2
  QWidget* LeftColumn = nullptr;        // Panel2
  QWidget* RightColumn = nullptr;       // Panel3
  QWidget* BottomBar = nullptr;         // Panel12
  std::array<QPushButton*, kAreaCount> Restore{};
  std::array<QFrame*, kAreaCount> Separators{};
  QPushButton* Run = nullptr;

  config::SettingsStore::TListenerId Listener = 0;
  bool FirstShow = true;
  bool PlacementPending = false;
  bool Running = false;
  // A second start's arguments waiting for the window to be free.
  std::deque<std::vector<std::string>> Forwarded;
  bool OpeningForwarded = false;
};

TMainWindow::TMainWindow(config::SettingsStore& store, TOptions options, QWidget* parent)
    : QMainWindow(parent), store_(store), impl_(std::make_unique<TImpl>()) {
  TImpl& m = *impl_;
  m.Options = std::move(options);
  m.StartPath = config::StartConfigurationPath(m.Options.ConfigurationFolder);
  setObjectName("Tprog");
  setWindowTitle(Q(lang::kWindowTitle));
  setAcceptDrops(true);
  setMinimumSize(kMinimumWidth, kMinimumHeight);

  m.Messages = std::make_unique<TMessageWindow>();
  m.Processing = std::make_unique<TProcessingWindow>();
  m.Overwrite = std::make_unique<TOverwriteQuestion>();
  m.ListMessages = std::make_unique<TWindowListMessages>(*m.Messages);
  m.MessageSink = std::make_unique<TWindowMessageSink>(*m.Messages);
  m.Clipboard = std::make_unique<TClipboardCapture>(store_, *m.MessageSink, nullptr);
  m.List = std::make_unique<input::TInputList>(*m.ListMessages);
  m.ScanProgress = std::make_unique<TScanProgress>(*m.Processing, *this, store_.Language());

  BuildMainMenu(*menuBar());
  BuildAreas();
  BuildBottomBar();
  m.FolderWatch = std::make_unique<TFolderWatchBinding>(store_, *m.List);
  m.FolderWatch->ListChanged = [this] {
    impl_->Input->Reload();
    impl_->Preview->VorschauWennAktiv();
  };
  m.Input->FolderChosen = [this] { impl_->FolderWatch->Apply(); };

  m.ConfigurationMenu =
      std::make_unique<config::TConfigurationMenu>(m.StartPath, [this](std::string_view text) {
        return menuBar()->fontMetrics().horizontalAdvance(Q(text));
      });
  m.ConfigurationMenu->AddFolder(m.Options.ConfigurationFolder);

  m.OutputSettings = std::make_unique<TOutputSettingsWindow>(store_);
  m.FormatFilter = std::make_unique<TFormatFilterWindow>(store_);
  m.SaveProfile = std::make_unique<TSaveProfileWindow>(store_, *m.ConfigurationMenu,
                                                       [this] { FillConfigurationMenu(); });

  // The other areas bind their own widgets.
  m.Binding = std::make_unique<TStoreBinding>(store_, *m.Actions, "PB");
  ConnectMenu();
  SwitchLanguage(store_.Language());
  m.Listener =
      store_.AddChangeListener([this](const config::TSettingEntry& entry) { FollowStore(entry); });
  resize(kDesignedWidth, kDesignedHeight);
  ArrangeAreas();
}

TMainWindow::~TMainWindow() {
  store_.RemoveChangeListener(impl_->Listener);
  // The areas refer to the list, the watch and the dialogs: they go before them, after
  // the binding of their widgets.
  impl_->Binding.reset();
  std::unique_ptr<QWidget> areas(takeCentralWidget());
}

input::TInputList& TMainWindow::List() {
  return *impl_->List;
}
TInputArea& TMainWindow::InputArea() {
  return *impl_->Input;
}
TPreviewArea& TMainWindow::PreviewArea() {
  return *impl_->Preview;
}
TActionsArea& TMainWindow::ActionsArea() {
  return *impl_->Actions;
}
TMessageWindow& TMainWindow::Messages() {
  return *impl_->Messages;
}
TOverwriteQuestion& TMainWindow::OverwriteQuestion() {
  return *impl_->Overwrite;
}
TProcessingWindow& TMainWindow::Processing() {
  return *impl_->Processing;
}

void TMainWindow::BuildAreas() {
  TImpl& m = *impl_;
  auto* panel1 = new QWidget(this);
  panel1->setObjectName("Panel1");
  setCentralWidget(panel1);
  auto* outer = new QVBoxLayout(panel1);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  m.ColumnSplitter = new QSplitter(Qt::Horizontal, panel1);
  m.ColumnSplitter->setObjectName("Splitter1");
  m.ColumnSplitter->setHandleWidth(6);
  m.ColumnSplitter->setChildrenCollapsible(false);
  outer->addWidget(m.ColumnSplitter, 1);

  m.LeftColumn = new QWidget;
  m.LeftColumn->setObjectName("Panel2");
  auto* left = new QVBoxLayout(m.LeftColumn);
  left->setContentsMargins(0, 0, 0, 0);
  m.InputSplitter = new QSplitter(Qt::Vertical, m.LeftColumn);
  m.InputSplitter->setObjectName("Splitter2");
  m.InputSplitter->setHandleWidth(6);
  m.InputSplitter->setChildrenCollapsible(false);
  left->addWidget(m.InputSplitter);

  m.Input = new TInputArea(store_, *m.List);
  m.Input->SetFrontEnds(*m.ScanProgress, this);
  m.Preview = new TPreviewArea(store_, *m.List);
  m.Actions = new TActionsArea(store_);
  m.SaveOptions = new TSaveOptionsArea(store_);

  struct TAreaPlace {
    const char *Panel, *Box, *Close;
    QWidget* Content;
  };
  const std::array<TAreaPlace, kAreaCount> places = {{
      {"Panel4", "box_dat", "close_input", m.Input},
      {"Panel5", "box_vor", "close_vorschau", m.Preview},
      {"Panel6", "box_akt", "close_actions", m.Actions},
      {"Panel7", "box_sav", "close_output", m.SaveOptions},
  }};
  std::array<QWidget*, kAreaCount> panels{};
  for (int area = 0; area < kAreaCount; ++area) {
    auto* panel = new QWidget;
    panel->setObjectName(places[area].Panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    m.Boxes[area] =
        new TAreaBox(places[area].Box, places[area].Close, *places[area].Content, panel);
    layout->addWidget(m.Boxes[area]);
    m.Boxes[area]->Close().Clicked = [this, area] { ToggleArea(static_cast<TArea>(area)); };
    panels[area] = panel;
  }
  panels[0]->setMinimumSize(295, 200);
  panels[1]->setMinimumSize(295, 165);
  m.InputSplitter->addWidget(panels[0]);
  m.InputSplitter->addWidget(panels[1]);

  m.RightColumn = new QWidget;
  m.RightColumn->setObjectName("Panel3");
  m.RightColumn->setMinimumWidth(316);
  auto* right = new QVBoxLayout(m.RightColumn);
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(0);
  right->addWidget(panels[2], 1);
  right->addWidget(panels[3], 0);
  panels[3]->setMinimumHeight(191);

  m.ColumnSplitter->addWidget(m.LeftColumn);
  m.ColumnSplitter->addWidget(m.RightColumn);
  m.ColumnSplitter->setStretchFactor(0, 1);
  m.ColumnSplitter->setStretchFactor(1, 0);

  m.Input->SourceSelected = [this](const std::string& path) {
    impl_->Preview->VorschauSetzen(path);
  };
  m.Input->ListChanged = [this] { impl_->Preview->VorschauWennAktiv(); };
  m.Preview->SetMessageHandler([this](const std::string& key, const std::string& argument) {
    impl_->MessageSink->ShowMessage(key, argument);
  });
  m.Input->ShowFilter = [this] { impl_->FormatFilter->exec(); };
  m.SaveOptions->ShowMessage = [this](std::string_view key) {
    lang::meldungzeigen(*impl_->Messages, key, "");
  };
}

void TMainWindow::BuildBottomBar() {
  TImpl& m = *impl_;
  m.BottomBar = new QWidget(centralWidget());
  m.BottomBar->setObjectName("Panel12");
  m.BottomBar->setFixedHeight(kBarHeight);
  static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(m.BottomBar);
  for (int area = 0; area < kAreaCount; ++area) {
    auto* separator = new QFrame(m.BottomBar);
    separator->setObjectName(QString("max_b%1").arg(area + 1));
    separator->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    separator->hide();
    m.Separators[area] = separator;
  }
  for (int area = 0; area < kAreaCount; ++area) {
    auto* button = new QPushButton(m.BottomBar);
    button->setObjectName(kRestoreButtons[area]);
    button->setFlat(true);
    button->hide();
    QObject::connect(button, &QPushButton::clicked, this,
                     [this, area] { ToggleArea(static_cast<TArea>(area)); });
    m.Restore[area] = button;
  }
  m.Run = new QPushButton(m.BottomBar);
  m.Run->setObjectName("durchfuehren");
  QObject::connect(m.Run, &QPushButton::clicked, this, [this] { Durchfuehren(); });
  m.BottomBar->installEventFilter(this);
}

void TMainWindow::PlaceBottomBar() {
  TImpl& m = *impl_;
  const int height = std::max(25, m.Run->sizeHint().height());
  const int top = std::max(0, (m.BottomBar->height() - height) / 2);
  // Lefts and widths are the arrangement's; the height follows the font.
  for (int area = 0; area < kAreaCount; ++area) {
    QPushButton* button = m.Restore[area];
    button->setGeometry(button->x(), std::min(kRestoreTop, top), button->width(), height);
    QFrame* separator = m.Separators[area];
    separator->setGeometry(separator->x(), std::min(kRestoreTop, top), separator->width(), height);
  }
  const int width = std::max(166, m.Run->sizeHint().width() + 16);
  m.Run->setGeometry(m.BottomBar->width() - width - 6, top, width, height);
}

void TMainWindow::ArrangeAreas() {
  TImpl& m = *impl_;
  std::array<bool, kAreaCount> shown{};
  for (int area = 0; area < kAreaCount; ++area)
    shown[area] = store_.Checked("PA", kAreaFlags[area]);
  const TAreaArrangement a = ui::ArrangeAreas(shown);
  m.LeftColumn->setVisible(a.LeftColumn);
  m.RightColumn->setVisible(a.RightColumn);
  for (int area = 0; area < kAreaCount; ++area) {
    m.Boxes[area]->parentWidget()->setVisible(a.AreaShown[area]);
    if (QAction* entry = findChild<QAction*>(kAreaMenu[area])) entry->setChecked(shown[area]);
  }
  // Both left areas shown: the input area takes half the column.
  if (a.InputSplitter) {
    const int half = m.InputSplitter->height() / 2;
    m.InputSplitter->setSizes({half, m.InputSplitter->height() - half});
  }
  // The restore buttons of hidden areas stand at their designed places, moved right by
  // what wider captions need (a larger font, the other language), so that none is cut.
  // The k-th separator follows the k-th button shown.
  int overflow = 0;
  int shownButtons = 0;
  for (int area = 0; area < kAreaCount; ++area) {
    m.Separators[area]->setVisible(a.SeparatorShown[area]);
    QPushButton* button = m.Restore[area];
    button->setVisible(a.RestoreShown[area]);
    if (!a.RestoreShown[area]) continue;
    const int width = std::max(kRestoreButtonWidth, button->sizeHint().width());
    const int left = a.RestoreLeft[area] + overflow;
    button->setGeometry(left, button->y(), width, button->height());
    m.Separators[shownButtons]->setGeometry(left + width + 2, kRestoreTop, 4, button->height());
    overflow += width - kRestoreButtonWidth;
    ++shownButtons;
  }
  PlaceBottomBar();
  m.Preview->InvalidateCache();
  m.Preview->VorschauWennAktiv();
}

void TMainWindow::ToggleArea(TArea area) {
  const size_t flag = store_.IndexOf("PA", kAreaFlags[static_cast<int>(area)]);
  store_.SetChecked(flag, !store_.Entry(flag).Number);
}

void TMainWindow::FollowStore(const config::TSettingEntry& entry) {
  TImpl& m = *impl_;
  if (entry.Section == "PA") {
    ArrangeAreas();
  } else if (entry.Section == "SP") {
    // A loaded configuration moves the window once, after all of its entries arrived.
    if (!m.PlacementPending) {
      m.PlacementPending = true;
      QTimer::singleShot(0, this, [this] {
        impl_->PlacementPending = false;
        if (!impl_->FirstShow) ApplyPlacement();
      });
    }
  } else if (entry.Section == "AC") {
    findChild<QAction*>("m_einst_autocloseactions")->setChecked(entry.Number != 0);
  } else if (entry.Section == "AS") {
    const char* menu = entry.Name == "N"   ? "m_konfig_autosave_nie"
                       : entry.Name == "A" ? "m_konfig_autosave_alles"
                                           : "m_konfig_autosave_profil";
    if (entry.Number) findChild<QAction*>(menu)->setChecked(true);
  } else if (entry.Window == "PB" && entry.Name == "vor_okay") {
    findChild<QAction*>("m_einst_vorschau")->setChecked(entry.Number != 0);
  }
}

void TMainWindow::ConnectMenu() {
  TImpl& m = *impl_;
  auto on = [this](const char* name, auto command) {
    QAction* action = findChild<QAction*>(name);
    QObject::connect(action, &QAction::triggered, this, command);
  };
  on("m_datei_open", [this] { impl_->Input->OpenImages(); });
  on("m_datei_ordner", [this] { impl_->Input->OpenFolder(); });
  on("m_dateiliste_save", [this] { impl_->Input->SaveFileList(); });
  on("m_dateiliste_open", [this] { impl_->Input->OpenFileList(); });
  on("m_datei_delmark", [this] { impl_->Input->RemoveSelected(); });
  on("m_datei_delall", [this] { impl_->Input->RemoveAll(); });
  on("m_datei_konvert", [this] { Durchfuehren(); });
  on("m_datei_vorschau", [this] { impl_->Preview->PreviewOnce(false); });
  on("m_datei_vorschauaktualisieren", [this] { impl_->Preview->PreviewOnce(true); });
  on("m_datei_beenden", [this] { close(); });

  on("m_einst_ausgabe", [this] {
    impl_->OutputSettings->show();
    impl_->OutputSettings->raise();
  });
  on("m_einst_filter", [this] { impl_->FormatFilter->exec(); });
  on("m_einst_vor_hg", [this] {
    const QColor color = QColorDialog::getColor(palette().color(QPalette::Window), this);
    if (!color.isValid()) return;
    impl_->Preview->SetBackgroundColor(WindowsColor(color));
    impl_->Preview->PreviewOnce(true);
  });
  on("m_einst_vor_randfarbe", [this] {
    const QColor color = QColorDialog::getColor(Qt::black, this);
    if (!color.isValid()) return;
    impl_->Preview->SetFrameColor(WindowsColor(color));
    impl_->Preview->PreviewOnce(true);
  });
  for (const TFrameWidth& width : kFrameWidths) {
    const int pixels = width.Pixels;
    on(width.Entry, [this, pixels] {
      impl_->Preview->SetFrameWidth(pixels);
      impl_->Preview->PreviewOnce(true);
    });
  }
  on("m_einst_autocloseactions",
     [this](bool checked) { store_.SetChecked(store_.IndexOf("AC", "AC"), checked); });
  on("m_einst_vorschau",
     [this](bool checked) { store_.SetChecked(store_.IndexOf("PBCH", "vor_okay"), checked); });
  on("m_einst_sprache_deutsch", [this] { SwitchLanguage(lang::TLanguage::De); });
  on("m_einst_sprache_english", [this] { SwitchLanguage(lang::TLanguage::En); });
  for (int area = 0; area < kAreaCount; ++area)
    on(kAreaMenu[area], [this, area] { ToggleArea(static_cast<TArea>(area)); });

  on("m_konfig_save", [this] {
    const std::string name =
        QFileDialog::getSaveFileName(
            this, QString(), Q(lang::LanguageText("TextConfigurationFileName", store_.Language())),
            QtFilter(lang::LanguageText("TextConfigurationFilter", store_.Language())))
            .toStdString();
    if (!name.empty()) SaveConfiguration(name);
  });
  on("m_konfig_save_start", [this] { SaveStartConfiguration(); });
  on("m_konfig_save_profil", [this] { impl_->SaveProfile->exec(); });
  on("m_konfig_load", [this] {
    const std::string name =
        QFileDialog::getOpenFileName(
            this, QString(), QString(),
            QtFilter(lang::LanguageText("TextConfigurationFilter", store_.Language())))
            .toStdString();
    if (!name.empty()) LoadConfiguration(name);
  });
  for (const char* name :
       {"m_konfig_autosave_nie", "m_konfig_autosave_alles", "m_konfig_autosave_profil"}) {
    const std::string key = name == std::string_view("m_konfig_autosave_nie")     ? "N"
                            : name == std::string_view("m_konfig_autosave_alles") ? "A"
                                                                                  : "P";
    on(name, [this, key] { store_.SetChecked(store_.IndexOf("AS", key), true); });
  }
  on("m_konfig_standard", [this] { ResetSettings(); });
  on("m_konfig_start", [this] { LoadStartConfiguration(); });

  // The menu follows the store's state at start.
  findChild<QAction*>("m_einst_autocloseactions")->setChecked(store_.Checked("AC", "AC"));
  findChild<QAction*>("m_einst_vorschau")->setChecked(store_.Checked("PBCH", "vor_okay"));
  for (const char* key : {"N", "A", "P"})
    if (store_.Checked("AS", key)) FollowStore(store_.Entry(store_.IndexOf("AS", key)));
  FillConfigurationMenu();
  (void)m;
}

void TMainWindow::FillConfigurationMenu() {
  QMenu* menu = findChild<QMenu*>("m_konfig");
  QAction* start = findChild<QAction*>("m_konfig_start");
  start->setToolTip(Q(impl_->ConfigurationMenu->StartHint()));
  menu->setToolTipsVisible(true);
  bool files = false;
  for (QAction* action : menu->actions()) {
    if (files) {
      menu->removeAction(action);
      action->deleteLater();
    }
    if (action->objectName() == "m_konfig_files") files = true;
  }
  for (const config::TConfigurationMenuEntry& entry : impl_->ConfigurationMenu->Entries()) {
    QAction* action = menu->addAction(Q(entry.Caption));
    action->setObjectName(Q(entry.Name));
    action->setToolTip(Q(entry.Hint));
    QObject::connect(action, &QAction::triggered, this, [this, entry] {
      if (config::KonfigurationLadenMenu(store_, entry, config::TScreenSize::Unlimited()))
        AfterConfigurationLoad();
    });
  }
}

void TMainWindow::SwitchLanguage(lang::TLanguage language) {
  TImpl& m = *impl_;
  config::sprachealles(store_, language);
  // Scans report in the language of the moment.
  m.ScanProgress = std::make_unique<TScanProgress>(*m.Processing, *this, language);
  m.Input->SetFrontEnds(*m.ScanProgress, this);
  SetControlTexts(*this, "Tprog", language);
  m.Binding->Refresh();
  m.Input->LanguageChanged(language);
  m.Preview->LanguageChanged(language);
  m.Actions->LanguageChanged(language);
  m.SaveOptions->LanguageChanged(language);
  m.Messages->LanguageChanged(language);
  m.Processing->LanguageChanged(language);
  m.Overwrite->LanguageChanged(language);
  m.OutputSettings->LanguageChanged(language);
  m.FormatFilter->LanguageChanged(language);
  m.SaveProfile->LanguageChanged(language);
  findChild<QAction*>(language == lang::TLanguage::De ? "m_einst_sprache_deutsch"
                                                      : "m_einst_sprache_english")
      ->setChecked(true);
  FillConfigurationMenu();
  ArrangeAreas();
  m.Preview->PreviewOnce(true);
}

void TMainWindow::Durchfuehren() {
  TImpl& m = *impl_;
  if (m.Running) return;
  m.Running = true;
  const std::vector<std::string> sources = m.List->Paths();
  const TRunWindows windows{*this, *m.Processing, *m.Messages, *m.Overwrite};
  std::optional<core::TBatchResult> result;
  try {
    result = RunInWindow(store_, sources, windows, m.Options.Jobs);
  } catch (const std::exception& error) {
    // Files fail one by one inside the run; what reaches here stopped the whole run.
    m.Running = false;
    QMessageBox::critical(this, Q(lang::kWindowTitle), QString::fromUtf8(error.what()));
    return;
  }
  m.Running = false;
  if (!result || result->Cancelled) return;
  // Sources a run deleted leave the list; results beside their sources change the preview.
  m.List->RemoveVanished();
  m.Input->Reload();
  m.Preview->VorschauWennAktiv();
}

// The widgets, the options panels' stacking and the preview follow the store's changes by
// themselves; what a load needs beyond them is here.
void TMainWindow::AfterConfigurationLoad() {
  // A loaded folder with watching on is watched from now on.
  impl_->FolderWatch->Apply();
  // Arranging also brings the preview up to date.
  ArrangeAreas();
}

void TMainWindow::ResetSettings() {
  config::KonfigurationLadenStandard(store_);
  AfterConfigurationLoad();
}

void TMainWindow::LoadStartConfiguration() {
  if (config::KonfigurationLadenStart(store_, impl_->StartPath, config::TScreenSize::Unlimited(),
                                      *impl_->Messages))
    AfterConfigurationLoad();
}

void TMainWindow::LoadConfiguration(const std::string& fileName) {
  config::KonfigurationLadenDialog(store_, *impl_->ConfigurationMenu, fileName,
                                   config::TScreenSize::Unlimited());
  FillConfigurationMenu();
  AfterConfigurationLoad();
}

void TMainWindow::SaveConfiguration(const std::string& fileName) {
  StorePlacement();
  try {
    config::KonfigurationSpeichernDialog(store_, *impl_->ConfigurationMenu, fileName);
  } catch (const config::EConfigWriteError& error) {
    ShowWriteError(error);
  }
  FillConfigurationMenu();
}

void TMainWindow::SaveStartConfiguration() {
  StorePlacement();
  try {
    config::KonfigurationSpeichernStart(store_, *impl_->ConfigurationMenu, impl_->StartPath);
  } catch (const config::EConfigWriteError& error) {
    ShowWriteError(error);
  }
  FillConfigurationMenu();
}

void TMainWindow::StorePlacement() {
  TImpl& m = *impl_;
  const auto set = [this](const char* key, int32_t value) {
    store_.SetNumber(store_.IndexOf("SP", key), value, config::TChangeSource::Program);
  };
  const bool maximized = isMaximized();
  store_.SetChecked(store_.IndexOf("SP", "PF"), maximized, config::TChangeSource::Program);
  if (!maximized) {
    const QRect client = geometry();
    set("PB", client.width());
    set("PH", client.height());
    set("PT", client.top());
    set("PL", client.left());
  }
  if (m.RightColumn->isVisible()) set("PR", m.RightColumn->width());
  if (m.Boxes[0]->isVisible()) set("PO", m.Boxes[0]->parentWidget()->height());
}

void TMainWindow::ApplyPlacement() {
  TImpl& m = *impl_;
  const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
  const int width = std::max<int>(kMinimumWidth, store_.Number("SP", "PB"));
  const int height = std::max<int>(kMinimumHeight, store_.Number("SP", "PH"));
  if (store_.Checked("SP", "PF")) {
    showMaximized();
  } else {
    if (isMaximized()) showNormal();
    resize(width, height);
    const int left = store_.Number("SP", "PL"), top = store_.Number("SP", "PT");
    // Never stored (or reset): centred on the screen.
    if (left == 0 && top == 0 && screen.isValid())
      move(screen.center() - QPoint(width / 2, height / 2));
    else
      move(left, top);
  }
  const int rightWidth = std::max(316, static_cast<int>(store_.Number("SP", "PR")));
  const int total = m.ColumnSplitter->width() > 0 ? m.ColumnSplitter->width() : width;
  m.ColumnSplitter->setSizes({std::max(300, total - rightWidth - 6), rightWidth});
  const int inputHeight = std::max(200, static_cast<int>(store_.Number("SP", "PO")));
  const int column = m.InputSplitter->height() > 0 ? m.InputSplitter->height() : height - 100;
  m.InputSplitter->setSizes({inputHeight, std::max(165, column - inputHeight - 6)});
}

bool TMainWindow::OpenArguments(const std::vector<std::string>& arguments) {
  TImpl& m = *impl_;
  bool configurationNamed = false;
  for (const std::string& argument : arguments) {
    switch (input::ArgumentKind(argument)) {
      case input::TArgumentKind::Configuration:
        config::KonfigurationLaden(store_, argument, config::TLoadOrigin::StartUp,
                                   config::TScreenSize::Unlimited());
        m.ConfigurationMenu->Add(argument);
        configurationNamed = true;
        break;
      case input::TArgumentKind::Folder:
        m.Input->AddFolder(argument);
        break;
      case input::TArgumentKind::File:
        m.Input->AddFiles({argument});
        break;
    }
  }
  return configurationNamed;
}

void TMainWindow::Start(const std::vector<std::string>& arguments) {
  if (!OpenArguments(arguments))
    config::LoadStartConfiguration(store_, impl_->StartPath, config::TScreenSize::Unlimited());
  FillConfigurationMenu();
  AfterConfigurationLoad();
}

void TMainWindow::OpenForwarded(const std::vector<std::string>& arguments) {
  impl_->Forwarded.push_back(arguments);
  QTimer::singleShot(0, this, [this] { OpenWaitingForwarded(); });
}

void TMainWindow::OpenWaitingForwarded() {
  TImpl& m = *impl_;
  if (m.Forwarded.empty() || m.OpeningForwarded) return;
  // A run, a scan (the window is disabled) or a dialog ends first; adding inside their
  // event loops would mix two lists of work.
  if (m.Running || !isEnabled() || QApplication::activeModalWidget()) {
    QTimer::singleShot(200, this, [this] { OpenWaitingForwarded(); });
    return;
  }
  m.OpeningForwarded = true;
  while (!m.Forwarded.empty()) {
    const std::vector<std::string> arguments = std::move(m.Forwarded.front());
    m.Forwarded.pop_front();
    if (OpenArguments(arguments)) FillConfigurationMenu();
    AfterConfigurationLoad();
  }
  m.OpeningForwarded = false;
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void TMainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  TImpl& m = *impl_;
  if (!m.FirstShow) return;
  m.FirstShow = false;
  ApplyPlacement();
  // A screen hardly larger than the designed window gets the whole screen.
  const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
  if (screen.isValid() &&
      MaximizeAtStart(screen.size(), {store_.Number("SP", "PB"), store_.Number("SP", "PH")}))
    QTimer::singleShot(0, this, [this] { showMaximized(); });
  QTimer::singleShot(0, this, [this] {
    PlaceBottomBar();
    impl_->Actions->PanelsAnordnen();
    impl_->Preview->VorschauWennAktiv();
  });
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == impl_->BottomBar && event->type() == QEvent::Resize) PlaceBottomBar();
  return QMainWindow::eventFilter(watched, event);
}

void TMainWindow::ShowWriteError(const std::exception& error) {
  QMessageBox::warning(this, Q(lang::kWindowTitle), QString::fromUtf8(error.what()));
}

void TMainWindow::closeEvent(QCloseEvent* event) {
  TImpl& m = *impl_;
  if (m.Running) {
    event->ignore();
    return;
  }
  StorePlacement();
  try {
    config::AutoSaveOnExit(store_, m.StartPath);
  } catch (const config::EConfigWriteError& error) {
    // The settings could not be kept: the window stays open so that nothing is lost.
    ShowWriteError(error);
    event->ignore();
    return;
  }
  m.FolderWatch->Stop();
  event->accept();
  QApplication::quit();
}

void TMainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  // The drop's data stays with the source application until the handler returns; the
  // scan runs after it, with its own progress window.
  QTimer::singleShot(0, this, [this, urls] { impl_->Input->AddDropped(urls); });
}

}  // namespace pixolan::ui
