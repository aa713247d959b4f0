#include "ui/InputArea.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValidator>
#include <filesystem>
#include <map>
#include <system_error>
#include <unordered_set>

#include "config/InputRules.h"
#include "input/FileLists.h"
#include "input/TextFiles.h"
#include "lang/WindowTexts.h"
#include "ui/ControlTexts.h"
#include "ui/FileInformationWindow.h"
#include "ui/StoreBinding.h"
#include "ui/WrappingCheckBox.h"

namespace pixolan::ui {

namespace {

using input::TListColumn;

constexpr int kColumns = 6;

constexpr std::string_view kListNotOverImageDe =
    "Die Dateiliste wurde nicht gespeichert: Dateilisten werden nicht unter dem Namen eines "
    "Bildes gespeichert.";
constexpr std::string_view kListNotOverImageEn =
    "The file list was not saved: file lists are not written under the name of an image.";
constexpr int kPathRole = Qt::UserRole;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string S(const QString& text) {
  return text.toStdString();
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// Paths in the list are as they were given (a command line may give relative ones); the
// desktop needs them whole.
std::string Absolute(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

// The size column in the interface language's decimal separator: the model writes the
// user's, but every decimal the window shows follows the interface language.
std::string SizeInLanguage(const std::string& size, std::string_view separator,
                           lang::TLanguage language) {
  constexpr std::string_view kTail = " KB";
  const std::string_view wanted = language == lang::TLanguage::De ? "," : ".";
  // "12,056 KB": the separator stands before the three decimals and the unit.
  const size_t tail = 3 + kTail.size();
  if (separator.empty() || size.size() < tail + separator.size() || !size.ends_with(kTail))
    return size;
  const size_t at = size.size() - tail - separator.size();
  if (size.compare(at, separator.size(), separator) != 0) return size;
  std::string shown(size.data(), at);
  shown.append(wanted);
  shown.append(size, at + separator.size());
  return shown;
}

// The folder box drops, while typing or pasting, what a folder path cannot hold: the
// store's typing rule decides each character.
class TFolderValidator final : public QValidator {
 public:
  TFolderValidator(const config::SettingsStore& store, size_t index, QObject* parent)
      : QValidator(parent), store_(store), index_(index) {}
  State validate(QString& input, int& position) const override {
    QString kept;
    int keptBeforeCursor = 0;
    int at = 0;
    for (const char32_t character : input.toUcs4()) {
      const QString piece = QString::fromUcs4(&character, 1);
      if (config::KeyPressed(store_, index_, character).Accepted) {
        kept += piece;
        if (at < position) keptBeforeCursor += int(piece.size());
      }
      at += int(piece.size());
    }
    if (kept.size() != input.size()) {
      input = kept;
      position = keptBeforeCursor;
    }
    return Acceptable;
  }

 private:
  const config::SettingsStore& store_;
  size_t index_;
};

// Double-clicking the folder box selects its whole text, not a word of the path.
class TSelectAllOnDoubleClick final : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonDblClick) {
      if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
        edit->selectAll();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// A key on a widget runs a command; the widget never sees the key.
class TKeyCommand final : public QObject {
 public:
  TKeyCommand(int key, std::function<void()> command, QObject* parent)
      : QObject(parent), key_(key), command_(std::move(command)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* press = static_cast<QKeyEvent*>(event);
      if (press->key() == key_ && (press->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        command_();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  int key_;
  std::function<void()> command_;
};

// Disables the window for a long operation and gives it back, enabled and active.
class TWindowBusy {
 public:
  explicit TWindowBusy(QWidget* window) : window_(window), wasEnabled_(window->isEnabled()) {
    window_->setEnabled(false);
  }
  ~TWindowBusy() {
    window_->setEnabled(wasEnabled_);
    if (wasEnabled_) window_->activateWindow();
  }
  TWindowBusy(const TWindowBusy&) = delete;
  TWindowBusy& operator=(const TWindowBusy&) = delete;

 private:
  QWidget* window_;
  bool wasEnabled_;
};

std::vector<std::string> DialogOpenFiles(QWidget* parent, const TChooserRequest& request) {
  QFileDialog dialog(parent, request.Title, request.Start);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(request.Filters);
  std::vector<std::string> paths;
  if (dialog.exec() != QDialog::Accepted) return paths;
  for (const QString& file : dialog.selectedFiles()) paths.push_back(S(file));
  return paths;
}

std::string DialogOneFile(QWidget* parent, const TChooserRequest& request, bool save) {
  QFileDialog dialog(parent, request.Title, request.Start);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setNameFilters(request.Filters);
  dialog.setDefaultSuffix(request.DefaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return S(dialog.selectedFiles().front());
}

std::string DialogFolder(QWidget* parent, const TChooserRequest& request) {
  return S(QFileDialog::getExistingDirectory(parent, request.Title, request.Start,
                                             QFileDialog::ShowDirsOnly));
}

void DialogInform(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::information(parent, title, text);
}

// A file manager that has not answered by then is not coming; the folder opens instead.
constexpr int kFileManagerTimeoutMs = 5000;

// The desktop's file manager shows the folder with the file selected; where no file
// manager answers on the session bus, the folder opens without a selection.
void DesktopShowInFileManager(const std::string& path) {
  const QUrl file = QUrl::fromLocalFile(Q(path));
  const QUrl folder = QUrl::fromLocalFile(QFileInfo(Q(path)).absolutePath());
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    QDesktopServices::openUrl(folder);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                     "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{file.toString()} << QString();
  // Asynchronous: starting a file manager may take seconds, the window must not wait.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kFileManagerTimeoutMs), qApp);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, qApp,
                   [folder](QDBusPendingCallWatcher* finished) {
                     if (finished->isError()) QDesktopServices::openUrl(folder);
                     finished->deleteLater();
                   });
}

}  // namespace

QStringList ImageOpenFilters(lang::TLanguage language) {
  QStringList filters;
  for (const lang::TFilterGroup& group : lang::ImageOpenFilter(language)) {
    // The group names list their patterns with commas, which Qt would take for one
    // pattern; Qt reads the last parenthesis, so the patterns follow the name there.
    QStringList patterns;
    for (const std::string& pattern : group.Patterns) patterns.append(Q(pattern));
    filters.append(Q(group.Name) + " (" + patterns.join(' ') + ")");
  }
  return filters;
}

struct TInputArea::TImpl {
  TImpl(TInputArea& area, config::SettingsStore& store, input::TInputList& list)
      : Area(area), Store(store), List(list), Language(store.Language()) {}

  TInputArea& Area;
  config::SettingsStore& Store;
  input::TInputList& List;
  lang::TLanguage Language;
  input::TScanFrontEnd NoScanFrontEnd;
  input::TScanFrontEnd* Scan = &NoScanFrontEnd;
  QWidget* DialogParent = nullptr;

  QLabel* Instruction = nullptr;
  QLineEdit* Folder = nullptr;
  QPushButton* OpenFolderButton = nullptr;
  QPushButton* FilterButton = nullptr;
  QTreeWidget* Tree = nullptr;
  QLabel* Count = nullptr;
  QPushButton* RemoveSelectedButton = nullptr;
  QPushButton* RemoveAllButton = nullptr;
  QMenu* Menu = nullptr;
  std::unique_ptr<TStoreBinding> Binding;

  QFileIconProvider Icons;
  std::map<std::string, QIcon> IconOfType;  // by the type column: one lookup per type
  bool Reloading = false;
  // Where the last opened images were: the next "Open Images" starts there.
  QString ImageFolder;
  // The receiver of every widget signal, and the first member to go: the widgets outlive
  // this object (their parent deletes them later) and must not call into it meanwhile.
  std::unique_ptr<QObject> Context = std::make_unique<QObject>();

  QWidget* Parent() const { return DialogParent ? DialogParent : Area.window(); }

  void Build();
  QTreeWidgetItem* MakeItem(const input::InputListEntry& entry);
  void ShowSelection();
  std::vector<std::string> SelectedPaths() const;
  // After entries were added or removed: the list, its count, and whoever listens.
  void Changed() {
    Area.Reload();
    if (Area.ListChanged) Area.ListChanged();
  }
  void EnterFolder();
};

void TInputArea::TImpl::Build() {
  auto* layout = new QVBoxLayout(&Area);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  Instruction = new QLabel(&Area);
  Instruction->setObjectName("Label1");
  Instruction->setWordWrap(true);
  layout->addWidget(Instruction);

  auto* folderRow = new QHBoxLayout;
  Folder = new QLineEdit(&Area);
  Folder->setObjectName("inp_ordner");
  Folder->setValidator(new TFolderValidator(Store, Store.IndexOf("PBED", "inp_ordner"), Folder));
  Folder->installEventFilter(new TSelectAllOnDoubleClick(Folder));
  OpenFolderButton = new QPushButton(&Area);
  OpenFolderButton->setObjectName("OpenOrdner");
  FilterButton = new QPushButton(&Area);
  FilterButton->setObjectName("bitbtn1");
  folderRow->addWidget(Folder, 1);
  folderRow->addWidget(OpenFolderButton);
  folderRow->addWidget(FilterButton);
  layout->addLayout(folderRow);

  auto* checkRow = new QHBoxLayout;
  // Long captions (German) wrap instead of being cut when the column is narrow.
  for (const char* name : {"inp_uv", "inp_ow", "inp_cbwatch"}) {
    auto* box = new TWrappingCheckBox(&Area);
    box->setObjectName(name);
    checkRow->addWidget(box);
  }
  checkRow->addStretch(1);
  layout->addLayout(checkRow);

  Tree = new QTreeWidget(&Area);
  Tree->setObjectName("qulist");
  Tree->setColumnCount(kColumns);
  Tree->setRootIsDecorated(false);
  Tree->setItemsExpandable(false);
  Tree->setUniformRowHeights(true);
  Tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Tree->setSortingEnabled(false);  // the model sorts; the header only reports clicks
  Tree->setContextMenuPolicy(Qt::CustomContextMenu);
  Tree->setIconSize(QSize(16, 16));
  QHeaderView* header = Tree->header();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setMinimumSectionSize(25);
  header->setStretchLastSection(true);
  const int widths[kColumns] = {100, 45, 50, 50, 75, 110};
  for (int column = 0; column < kColumns; ++column) Tree->setColumnWidth(column, widths[column]);
  for (const TListColumn column : {TListColumn::Width, TListColumn::Height, TListColumn::Size})
    Tree->headerItem()->setTextAlignment(int(column), Qt::AlignRight | Qt::AlignVCenter);
  layout->addWidget(Tree, 1);

  auto* bottomRow = new QHBoxLayout;
  Count = new QLabel(&Area);
  Count->setObjectName("la_bilderanzahl");
  RemoveSelectedButton = new QPushButton(&Area);
  RemoveSelectedButton->setObjectName("BitBtn3");
  RemoveAllButton = new QPushButton(&Area);
  RemoveAllButton->setObjectName("BitBtn2");
  bottomRow->addWidget(Count, 1);
  bottomRow->addWidget(RemoveSelectedButton);
  bottomRow->addWidget(RemoveAllButton);
  layout->addLayout(bottomRow);

  Menu = new QMenu(&Area);
  Menu->setObjectName("popupqulist");
  const auto addCommand = [this](const char* name, void (TInputArea::*command)()) {
    QAction* action = Menu->addAction(QString());
    action->setObjectName(name);
    QObject::connect(action, &QAction::triggered, Context.get(),
                     [this, command] { (Area.*command)(); });
  };
  addCommand("pop1", &TInputArea::OpenContainingFolder);
  addCommand("pop2", &TInputArea::ShowFileInformation);
  Menu->addSeparator();
  addCommand("pop3", &TInputArea::CopySelectedToClipboard);
  Menu->addSeparator();
  addCommand("pop4", &TInputArea::RemoveSelected);
}

QTreeWidgetItem* TInputArea::TImpl::MakeItem(const input::InputListEntry& entry) {
  auto* item = new QTreeWidgetItem;
  for (int column = 0; column < kColumns; ++column) {
    const std::string& text = entry.Column(TListColumn(column));
    item->setText(column, Q(column == int(TListColumn::Size)
                                ? SizeInLanguage(text, List.Options().DecimalSeparator, Language)
                                : text));
  }
  for (const TListColumn column : {TListColumn::Width, TListColumn::Height, TListColumn::Size})
    item->setTextAlignment(int(column), Qt::AlignRight | Qt::AlignVCenter);
  item->setData(0, kPathRole, Q(entry.Path));
  auto [icon, added] = IconOfType.try_emplace(entry.Type);
  if (added) icon->second = Icons.icon(QFileInfo(Q(entry.Path)));
  item->setIcon(0, icon->second);
  return item;
}

std::vector<std::string> TInputArea::TImpl::SelectedPaths() const {
  std::vector<std::string> paths;
  for (int row = 0; row < Tree->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = Tree->topLevelItem(row);
    if (item->isSelected()) paths.push_back(S(item->data(0, kPathRole).toString()));
  }
  return paths;
}

void TInputArea::TImpl::ShowSelection() {
  if (Reloading || !Area.SourceSelected) return;
  // The row the user acted on last, else the first selected one.
  QTreeWidgetItem* shown = Tree->currentItem();
  if (!shown || !shown->isSelected()) {
    const QList<QTreeWidgetItem*> selected = Tree->selectedItems();
    shown = selected.isEmpty() ? nullptr : selected.front();
  }
  if (shown) Area.SourceSelected(S(shown->data(0, kPathRole).toString()));
}

void TInputArea::TImpl::EnterFolder() {
  const std::string folder = Store.Text("PBED", "inp_ordner");
  if (IsFolder(folder)) {
    Area.AddFolder(folder);
  } else {
    List.Messages().ShowMessage("ordnerfalschopen", folder);
  }
  if (Area.FolderChosen) Area.FolderChosen();
}

TInputArea::TInputArea(config::SettingsStore& store, input::TInputList& list, QWidget* parent)
    : QWidget(parent), impl_(std::make_unique<TImpl>(*this, store, list)) {
  Choosers.OpenFiles = DialogOpenFiles;
  Choosers.OpenFile = [](QWidget* p, const TChooserRequest& r) {
    return DialogOneFile(p, r, false);
  };
  Choosers.SaveFile = [](QWidget* p, const TChooserRequest& r) {
    return DialogOneFile(p, r, true);
  };
  Choosers.Folder = DialogFolder;
  Choosers.Inform = DialogInform;
  Choosers.ShowInFileManager = DesktopShowInFileManager;

  impl_->Build();
  setAcceptDrops(true);
  impl_->Binding = std::make_unique<TStoreBinding>(store, *this, "PB");
  SetControlTexts(*this, "Tprog", impl_->Language);

  TImpl& impl = *impl_;
  QObject* context = impl.Context.get();
  connect(impl.Folder, &QLineEdit::returnPressed, context, [&impl] { impl.EnterFolder(); });
  connect(impl.OpenFolderButton, &QPushButton::clicked, context, [this] { OpenFolder(); });
  connect(impl.FilterButton, &QPushButton::clicked, context, [this] {
    if (ShowFilter) ShowFilter();
  });
  connect(impl.RemoveSelectedButton, &QPushButton::clicked, context, [this] { RemoveSelected(); });
  connect(impl.RemoveAllButton, &QPushButton::clicked, context, [this] { RemoveAll(); });
  connect(impl.Tree->header(), &QHeaderView::sectionClicked, context, [this](int column) {
    if (column < 0 || column >= kColumns) return;
    impl_->List.qulistColumnClick(TListColumn(column));
    Reload();
  });
  connect(impl.Tree, &QTreeWidget::itemSelectionChanged, context,
          [&impl] { impl.ShowSelection(); });
  connect(impl.Tree, &QTreeWidget::itemDoubleClicked, context, [this] { OpenImages(); });
  connect(impl.Tree, &QWidget::customContextMenuRequested, context, [this](const QPoint& at) {
    // Without a selected entry there is nothing the menu's commands could act on.
    if (SelectedIndexes().empty()) return;
    impl_->Menu->popup(impl_->Tree->viewport()->mapToGlobal(at));
  });
  impl.Tree->installEventFilter(new TKeyCommand(
      Qt::Key_Delete, [this] { RemoveSelected(); }, impl.Tree));

  Reload();
}

TInputArea::~TInputArea() = default;

void TInputArea::SetFrontEnds(input::TScanFrontEnd& scan, QWidget* dialogParent) {
  impl_->Scan = &scan;
  impl_->DialogParent = dialogParent;
}

void TInputArea::AddFolder(const std::string& folder) {
  if (!IsFolder(folder)) return;
  {
    const TWindowBusy busy(window());
    input::AddOrdner(impl_->List, folder, input::ScanSettingsOf(impl_->Store), *impl_->Scan);
  }
  impl_->Changed();
}

void TInputArea::AddFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  for (const std::string& path : paths) impl_->List.add2list(path);
  impl_->Changed();
}

void TInputArea::AddDropped(const QList<QUrl>& urls) {
  std::vector<std::string> paths;
  for (const QUrl& url : urls)
    if (url.isLocalFile()) paths.push_back(S(url.toLocalFile()));
  if (paths.empty()) return;

  TImpl& impl = *impl_;
  input::TListMessages& messages = impl.List.Messages();
  input::TScanFrontEnd& progress = *impl.Scan;
  {
    const TWindowBusy busy(window());
    progress.Adding(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
      if (IsFolder(paths[i])) {
        // A folder's scan clears "OK for all" when it ends; the user's choice holds for
        // the whole drop.
        const bool okForAll = messages.OkForAll();
        const input::TScanResult scan =
            input::AddOrdner(impl.List, paths[i], input::ScanSettingsOf(impl.Store), progress);
        messages.SetOkForAll(okForAll);
        if (scan.Cancelled) break;      // the user stopped the drop, not just this folder
        progress.Adding(paths.size());  // the drop's own progress shows again
      } else {
        impl.List.add2list(paths[i]);
      }
      progress.Analyzed(i + 1, paths.size());
      if (progress.CancelRequested()) {
        progress.ClearCancelRequest();
        break;
      }
    }
    progress.Finished();
  }
  messages.SetOkForAll(false);
  impl.Changed();
}

void TInputArea::OpenImages() {
  TChooserRequest request;
  request.Title = Q(lang::LanguageText("TextOpenImagesTitle", impl_->Language));
  request.Filters = ImageOpenFilters(impl_->Language);
  request.Start = impl_->ImageFolder;
  const std::vector<std::string> chosen = Choosers.OpenFiles(impl_->Parent(), request);
  if (!chosen.empty()) impl_->ImageFolder = QFileInfo(Q(chosen.front())).absolutePath();
  AddFiles(chosen);
}

void TInputArea::OpenFolder() {
  TImpl& impl = *impl_;
  const std::string current = impl.Store.Text("PBED", "inp_ordner");
  TChooserRequest request;
  request.Title = Q(lang::LanguageText("TextChooseFolder", impl.Language));
  request.Start = IsFolder(current) ? Q(current) : QDir::homePath();
  const std::string chosen = Choosers.Folder(impl.Parent(), request);
  // A cancelled browser changes nothing and scans nothing.
  if (chosen.empty()) return;
  impl.Store.SetText(impl.Store.IndexOf("PBED", "inp_ordner"), chosen);
  AddFolder(chosen);
  if (FolderChosen) FolderChosen();
}

void TInputArea::SaveFileList() {
  TImpl& impl = *impl_;
  TChooserRequest request;
  request.Filters = {"Text (*.txt)"};
  request.DefaultSuffix = "txt";
  const std::string file = Choosers.SaveFile(impl.Parent(), request);
  if (file.empty()) return;
  try {
    switch (input::SaveFileList(impl.List, file)) {
      case input::TSaveFileListResult::Written:
        break;
      case input::TSaveFileListResult::NoFiles:
        Choosers.Inform(impl.Parent(), Q(lang::kWindowTitle),
                        Q(input::NoFilesToStoreText(impl.Language)));
        break;
      case input::TSaveFileListResult::Refused:
        // The name of an image is kept from being overwritten by a list; the user must
        // not take the list for saved.
        Choosers.Inform(
            impl.Parent(), Q(lang::kWindowTitle),
            Q(lang::InLanguage(impl.Language, kListNotOverImageDe, kListNotOverImageEn)) + "\n" +
                Q(file));
        break;
    }
  } catch (const input::ETextFileError& error) {
    Choosers.Inform(impl.Parent(), Q(lang::kWindowTitle), QString::fromUtf8(error.what()));
  }
}

void TInputArea::OpenFileList() {
  TImpl& impl = *impl_;
  TChooserRequest request;
  request.Filters = {"Text (*.txt)"};
  const std::string file = Choosers.OpenFile(impl.Parent(), request);
  if (file.empty()) return;
  try {
    input::OpenFileList(impl.List, file);
  } catch (const input::ETextFileError& error) {
    Choosers.Inform(impl.Parent(), Q(lang::kWindowTitle), QString::fromUtf8(error.what()));
  }
  impl.Changed();
}

void TInputArea::RemoveSelected() {
  const std::vector<size_t> selected = SelectedIndexes();
  if (selected.empty()) return;
  impl_->List.DeleteSelected(selected);
  impl_->Changed();
}

void TInputArea::RemoveAll() {
  if (impl_->List.Count() == 0) return;
  impl_->List.DeleteAll();
  impl_->Changed();
}

void TInputArea::Reload() {
  TImpl& impl = *impl_;
  QTreeWidget& tree = *impl.Tree;
  const std::vector<std::string> selectedPaths = impl.SelectedPaths();
  const std::unordered_set<std::string> selected(selectedPaths.begin(), selectedPaths.end());
  const QString current =
      tree.currentItem() ? tree.currentItem()->data(0, kPathRole).toString() : QString();

  impl.Reloading = true;
  tree.setUpdatesEnabled(false);
  tree.clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(qsizetype(impl.List.Count()));
  for (const input::InputListEntry& entry : impl.List.Entries()) items.append(impl.MakeItem(entry));
  tree.addTopLevelItems(items);
  // The same files stay selected wherever sorting or removal moved them.
  for (QTreeWidgetItem* item : items) {
    const QString path = item->data(0, kPathRole).toString();
    if (path == current) tree.setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    if (selected.contains(S(path))) item->setSelected(true);
  }
  tree.header()->setSortIndicator(int(impl.List.SortColumn()), impl.List.Descending()
                                                                   ? Qt::DescendingOrder
                                                                   : Qt::AscendingOrder);
  tree.setUpdatesEnabled(true);
  impl.Reloading = false;

  impl.Count->setText(Q(impl.List.CountLabel(impl.Language)));
}

void TInputArea::LanguageChanged(lang::TLanguage language) {
  impl_->Language = language;
  Reload();
}

std::vector<size_t> TInputArea::SelectedIndexes() const {
  // By path, so that the answer is the model's even if it changed since the last Reload.
  const std::vector<std::string> paths = impl_->SelectedPaths();
  const std::unordered_set<std::string> selected(paths.begin(), paths.end());
  std::vector<size_t> indexes;
  const auto entries = impl_->List.Entries();
  for (size_t i = 0; i < entries.size(); ++i)
    if (selected.contains(entries[i].Path)) indexes.push_back(i);
  return indexes;
}

void TInputArea::OpenContainingFolder() {
  const std::vector<size_t> selected = SelectedIndexes();
  if (selected.empty()) return;
  const std::string& path = impl_->List.Entry(selected.front()).Path;
  if (IsFile(path)) Choosers.ShowInFileManager(Absolute(path));
}

void TInputArea::ShowFileInformation() {
  const std::vector<size_t> selected = SelectedIndexes();
  if (selected.empty()) return;
  const input::InputListEntry& entry = impl_->List.Entry(selected.front());
  if (!IsFile(entry.Path)) return;
  auto* window = new TFileInformationWindow(entry, impl_->Language, impl_->Parent());
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
}

void TInputArea::CopySelectedToClipboard() {
  QList<QUrl> urls;
  QStringList lines;
  // Files that are gone would only fail where they are pasted.
  for (const size_t index : SelectedIndexes()) {
    const std::string& path = impl_->List.Entry(index).Path;
    if (!IsFile(path)) continue;
    const QString absolute = Q(Absolute(path));
    urls.append(QUrl::fromLocalFile(absolute));
    lines.append(absolute);
  }
  if (urls.isEmpty()) return;
  auto mime = std::make_unique<QMimeData>();
  mime->setUrls(urls);
  mime->setText(lines.join('\n'));
  // GNOME's file manager pastes files only from its own list of copied files.
  QByteArray copied = "copy";
  for (const QUrl& url : urls) copied += "\n" + url.toEncoded();
  mime->setData("x-special/gnome-copied-files", copied);
  QGuiApplication::clipboard()->setMimeData(mime.release());  // the clipboard owns it
}

void TInputArea::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TInputArea::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TInputArea::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls()) return;
  event->acceptProposedAction();
  // The drop ends first: the source's drag must not wait for a long scan.
  QMetaObject::invokeMethod(
      this, [this, urls = event->mimeData()->urls()] { AddDropped(urls); }, Qt::QueuedConnection);
}

}  // namespace pixolan::ui
