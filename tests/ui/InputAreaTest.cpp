#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "config/SettingsStore.h"
#include "core/ImageFiles.h"
#include "input/InputList.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "ui/InputArea.h"

namespace pixolan::ui {
namespace {

namespace fs = std::filesystem;
using lang::TLanguage;
using TPaths = std::vector<std::string>;

// Writes an image of the size through the engine's own writer (the extension picks it).
std::string WriteImage(const fs::path& path, int32_t width, int32_t height) {
  fs::create_directories(path.parent_path());
  if (!core::SaveResultImage(path.string(), test::Filled(width, height, 0xFF336699)))
    throw std::runtime_error("cannot write " + path.string());
  return path.string();
}

// The progress a scan or a drop reports, one word a call.
class TRecordingScan final : public input::TScanFrontEnd {
 public:
  std::vector<std::string> Calls;
  void Searching() override { Calls.push_back("searching"); }
  void Analyzing(size_t found) override { Calls.push_back("analyzing " + std::to_string(found)); }
  void Adding(size_t count) override { Calls.push_back("adding " + std::to_string(count)); }
  void Finished() override { Calls.push_back("finished"); }
};

class InputAreaTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }

  InputAreaTest() {
    area_.SetFrontEnds(scan_, nullptr);
    area_.ListChanged = [this] { ++listChanges_; };
    area_.SourceSelected = [this](const std::string& path) { shown_.push_back(path); };
    area_.Choosers.Inform = [this](QWidget*, const QString&, const QString& text) {
      informed_.push_back(text.toStdString());
    };
  }

  template <class W>
  W* Find(const char* name) const {
    W* widget = area_.findChild<W*>(name);
    if (!widget) ADD_FAILURE() << "no " << name;
    return widget;
  }
  QTreeWidget& Tree() const { return *Find<QTreeWidget>("qulist"); }
  std::string CountLabel() const { return Find<QLabel>("la_bilderanzahl")->text().toStdString(); }
  // The texts of a column of the list view, top to bottom.
  TPaths ShownColumn(int column) const {
    TPaths texts;
    for (int row = 0; row < Tree().topLevelItemCount(); ++row)
      texts.push_back(Tree().topLevelItem(row)->text(column).toStdString());
    return texts;
  }
  TPaths ShownPaths() const { return ShownColumn(5); }
  void SelectRows(std::initializer_list<int> rows) {
    Tree().clearSelection();
    for (const int row : rows) Tree().topLevelItem(row)->setSelected(true);
  }

  test::TTempFolder folder_;
  config::SettingsStore store_{TLanguage::En};
  test::TRecordingListMessages messages_;
  input::TInputList list_{messages_, test::FixedListOptions()};
  TRecordingScan scan_;
  TInputArea area_{store_, list_};
  int listChanges_ = 0;
  TPaths shown_;
  TPaths informed_;
};

TEST_F(InputAreaTest, AddedFilesShowTheModelsColumnsInItsOrder) {
  const std::string b = WriteImage(folder_ / "b.png", 3, 2);
  const std::string a = WriteImage(folder_ / "a.bmp", 5, 4);
  const std::string c = WriteImage(folder_ / "c.x.tga", 1, 1);
  area_.AddFiles({b, a, c});

  EXPECT_EQ(listChanges_, 1);
  ASSERT_EQ(Tree().topLevelItemCount(), 3);
  EXPECT_EQ(ShownPaths(), (TPaths{a, b, c}));  // the model sorts by name
  for (int row = 0; row < 3; ++row) {
    const input::InputListEntry& entry = list_.Entry(size_t(row));
    std::string size = entry.Size;  // the model writes ","; the English window shows "."
    size[size.find(',')] = '.';
    const TPaths expected = {entry.Name, entry.Type, entry.Width, entry.Height, size, entry.Path};
    for (int column = 0; column < 6; ++column)
      EXPECT_EQ(Tree().topLevelItem(row)->text(column).toStdString(), expected[size_t(column)])
          << "row " << row << " column " << column;
  }
  EXPECT_EQ(ShownColumn(0), (TPaths{"a", "b", "c.x"}));
  EXPECT_EQ(ShownColumn(2), (TPaths{"5", "3", "1"}));
  for (const int column : {2, 3, 4})
    EXPECT_TRUE(Tree().topLevelItem(0)->textAlignment(column) & Qt::AlignRight);
  EXPECT_EQ(CountLabel(), "3 Images");
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(InputAreaTest, HeaderClicksSortAndReverse) {
  area_.AddFiles({WriteImage(folder_ / "m.png", 20, 1), WriteImage(folder_ / "a.png", 30, 2),
                  WriteImage(folder_ / "z.png", 10, 3)});
  struct TCase {
    int Column;
    TPaths Names;
    Qt::SortOrder Indicator;
  };
  // The list is by name already, so the first click on Name reverses it.
  for (const TCase& c : {
           TCase{0, {"z", "m", "a"}, Qt::DescendingOrder},
           TCase{2, {"z", "m", "a"}, Qt::AscendingOrder},
           TCase{2, {"a", "m", "z"}, Qt::DescendingOrder},
           TCase{3, {"m", "a", "z"}, Qt::AscendingOrder},
           TCase{0, {"a", "m", "z"}, Qt::AscendingOrder},
       }) {
    emit Tree().header()->sectionClicked(c.Column);
    EXPECT_EQ(ShownColumn(0), c.Names) << "column " << c.Column;
    EXPECT_EQ(Tree().header()->sortIndicatorSection(), c.Column);
    EXPECT_EQ(Tree().header()->sortIndicatorOrder(), c.Indicator);
  }
}

TEST_F(InputAreaTest, SortingKeepsTheSelectedFilesSelected) {
  area_.AddFiles({WriteImage(folder_ / "a.png", 1, 1), WriteImage(folder_ / "b.png", 2, 2),
                  WriteImage(folder_ / "c.png", 3, 3)});
  SelectRows({0});
  emit Tree().header()->sectionClicked(0);  // now c, b, a
  EXPECT_EQ(area_.SelectedIndexes(), (std::vector<size_t>{2}));
  EXPECT_EQ(list_.Entry(2).Name, "a");
}

TEST_F(InputAreaTest, RemoveCommandsRemoveExactlyWhatTheySay) {
  TPaths paths;
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"})
    paths.push_back(WriteImage(folder_ / name, 2, 2));
  area_.AddFiles(paths);

  SelectRows({2, 0});
  EXPECT_EQ(area_.SelectedIndexes(), (std::vector<size_t>{0, 2}));
  Find<QPushButton>("BitBtn3")->click();
  EXPECT_EQ(list_.Paths(), (TPaths{paths[1], paths[3]}));
  EXPECT_EQ(ShownPaths(), list_.Paths());
  EXPECT_EQ(CountLabel(), "2 Images");

  // The Delete key on the list, and the context menu's command, do the same.
  SelectRows({1});
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  Tree().setFocus();
  QApplication::sendEvent(&Tree(), &del);
  EXPECT_EQ(list_.Paths(), (TPaths{paths[1]}));
  SelectRows({0});
  Find<QAction>("pop4")->trigger();
  EXPECT_EQ(list_.Count(), 0u);

  // Ctrl+A selects every entry.
  area_.AddFiles(paths);
  Tree().clearSelection();
  QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "a");
  QApplication::sendEvent(&Tree(), &all);
  EXPECT_EQ(area_.SelectedIndexes(), (std::vector<size_t>{0, 1, 2, 3}));

  Find<QPushButton>("BitBtn2")->click();
  EXPECT_EQ(list_.Count(), 0u);
  EXPECT_EQ(Tree().topLevelItemCount(), 0);
  EXPECT_TRUE(messages_.Shown.empty());
  EXPECT_EQ(CountLabel(), "0 Images");
}

TEST_F(InputAreaTest, CountLabelAndSizesFollowTheLanguage) {
  const std::string one = WriteImage(folder_ / "one.png", 4, 4);
  const std::string two = WriteImage(folder_ / "two.png", 4, 4);
  struct TCase {
    TPaths Files;
    TLanguage Language;
    std::string Label;
    char Separator;
  };
  for (const TCase& c : {
           TCase{{}, TLanguage::De, "0 Bilder", ','},
           TCase{{one}, TLanguage::De, "1 Bild", ','},
           TCase{{one, two}, TLanguage::De, "2 Bilder", ','},
           TCase{{}, TLanguage::En, "0 Images", '.'},
           TCase{{one}, TLanguage::En, "1 Image", '.'},
           TCase{{one, two}, TLanguage::En, "2 Images", '.'},
       }) {
    area_.RemoveAll();
    area_.AddFiles(c.Files);
    area_.LanguageChanged(c.Language);
    EXPECT_EQ(CountLabel(), c.Label);
    for (const std::string& size : ShownColumn(4))
      EXPECT_EQ(size[size.size() - 7], c.Separator) << size;
  }
}

TEST_F(InputAreaTest, FolderScanFollowsSearchSubfolders) {
  const std::string sub = WriteImage(folder_ / "in" / "sub" / "s.png", 2, 2);
  const std::string own = WriteImage(folder_ / "in" / "o.png", 2, 2);
  test::WriteFileText(folder_ / "in" / "notes.png", "not an image");
  QCheckBox& subfolders = *Find<QCheckBox>("inp_uv");
  ASSERT_TRUE(subfolders.isChecked());
  struct TCase {
    bool Subfolders;
    TPaths Listed;
  };
  for (const TCase& c : {TCase{true, {own, sub}}, TCase{false, {own}}}) {
    area_.RemoveAll();
    scan_.Calls.clear();
    if (subfolders.isChecked() != c.Subfolders) subfolders.click();
    EXPECT_EQ(store_.Checked("PBCH", "inp_uv"), c.Subfolders);
    area_.AddFolder((folder_ / "in").string());
    EXPECT_EQ(list_.Paths(), c.Listed);
    EXPECT_EQ(ShownPaths(), c.Listed);
    EXPECT_EQ(scan_.Calls.front(), "searching");
    EXPECT_EQ(scan_.Calls.back(), "finished");
  }
  // The scan skipped the text file silently and gives the window back.
  EXPECT_TRUE(messages_.Shown.empty());
  EXPECT_TRUE(area_.isEnabled());
}

TEST_F(InputAreaTest, EnterInTheFolderBoxScansOrReportsTheFolder) {
  const std::string image = WriteImage(folder_ / "in" / "x.png", 2, 2);
  QLineEdit& box = *Find<QLineEdit>("inp_ordner");
  int chosen = 0;
  area_.FolderChosen = [&] { ++chosen; };
  const auto typeAndEnter = [&](const std::string& text) {
    store_.SetText(store_.IndexOf("PBED", "inp_ordner"), text);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&box, &enter);
  };
  typeAndEnter((folder_ / "missing").string());
  EXPECT_EQ(messages_.Shown, (TPaths{"ordnerfalschopen: " + (folder_ / "missing").string()}));
  EXPECT_EQ(list_.Count(), 0u);
  typeAndEnter((folder_ / "in").string());
  EXPECT_EQ(list_.Paths(), (TPaths{image}));
  EXPECT_EQ(chosen, 2);  // the watch rule is asked after each
}

TEST_F(InputAreaTest, TheFolderBoxDropsWhatAFolderPathCannotHold) {
  QLineEdit& box = *Find<QLineEdit>("inp_ordner");
  box.setFocus();
  for (const char* text : {"/tmp/a", "?", "*", "|", "<", ">", "\"", "b"}) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8(text));
    QApplication::sendEvent(&box, &key);
  }
  EXPECT_EQ(box.text(), "/tmp/ab");
  EXPECT_EQ(store_.Text("PBED", "inp_ordner"), "/tmp/ab");
}

TEST_F(InputAreaTest, TheFolderBrowserFillsTheBoxAndScansUnlessCancelled) {
  const std::string image = WriteImage(folder_ / "in" / "x.png", 2, 2);
  std::string answer;
  TChooserRequest asked;
  area_.Choosers.Folder = [&](QWidget*, const TChooserRequest& request) {
    asked = request;
    return answer;
  };
  int chosen = 0;
  area_.FolderChosen = [&] { ++chosen; };

  area_.OpenFolder();  // cancelled
  EXPECT_EQ(asked.Title.toStdString(), "Choose a Folder for Output");
  EXPECT_TRUE(scan_.Calls.empty());
  EXPECT_EQ(chosen, 0);

  answer = (folder_ / "in").string();
  area_.OpenFolder();
  EXPECT_EQ(store_.Text("PBED", "inp_ordner"), answer);
  EXPECT_EQ(Find<QLineEdit>("inp_ordner")->text().toStdString(), answer);
  EXPECT_EQ(list_.Paths(), (TPaths{image}));
  EXPECT_EQ(chosen, 1);
  area_.OpenFolder();  // starts where the box points
  EXPECT_EQ(asked.Start.toStdString(), answer);
}

TEST_F(InputAreaTest, DroppedFoldersAreScannedAndFilesAdded) {
  const std::string inFolder = WriteImage(folder_ / "drop" / "f.png", 2, 2);
  const std::string loose1 = WriteImage(folder_ / "p.png", 2, 2);
  const std::string loose2 = WriteImage(folder_ / "q.png", 2, 2);
  const std::string text = (folder_ / "r.pxc").string();
  test::WriteFileText(text, "[PBCH]");
  area_.AddDropped({QUrl::fromLocalFile(QString::fromStdString((folder_ / "drop").string())),
                    QUrl::fromLocalFile(QString::fromStdString(loose1)),
                    QUrl("https://example.org/x.png"),
                    QUrl::fromLocalFile(QString::fromStdString(text)),
                    QUrl::fromLocalFile(QString::fromStdString(loose2))});
  EXPECT_EQ(list_.Paths(), (TPaths{inFolder, loose1, loose2}));
  EXPECT_EQ(ShownPaths(), list_.Paths());
  // A dropped configuration is a file like any other: refused as no image.
  EXPECT_EQ(messages_.Shown, (TPaths{"formatfehler: " + text}));
  EXPECT_EQ(scan_.Calls,
            (TPaths{"adding 4", "searching", "analyzing 1", "finished", "adding 4", "finished"}));
  EXPECT_FALSE(messages_.OkForAll());
  EXPECT_EQ(listChanges_, 1);
}

TEST_F(InputAreaTest, OkForAllSilencesTheRestOfADropAcrossItsFolders) {
  WriteImage(folder_ / "drop" / "f.png", 2, 2);
  const std::string before = (folder_ / "a.txt").string();
  const std::string after = (folder_ / "b.txt").string();
  test::WriteFileText(before, "x");
  test::WriteFileText(after, "y");
  // The user chooses "OK for all" at the first message.
  struct TChoosingMessages final : test::TRecordingListMessages {
    void ShowMessage(std::string_view key, std::string_view argument) override {
      TRecordingListMessages::ShowMessage(key, argument);
      SetOkForAll(true);
    }
  };
  TChoosingMessages messages;
  input::TInputList list(messages, test::FixedListOptions());
  TInputArea area(store_, list);
  area.AddDropped({QUrl::fromLocalFile(QString::fromStdString(before)),
                   QUrl::fromLocalFile(QString::fromStdString((folder_ / "drop").string())),
                   QUrl::fromLocalFile(QString::fromStdString(after))});
  EXPECT_EQ(messages.Shown, (TPaths{"formatfehler: " + before}));
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_FALSE(messages.OkForAll());  // for that drop only
}

TEST_F(InputAreaTest, ADropOnTheAreaAddsItsFilesOnceTheDropHasEnded) {
  const std::string image = WriteImage(folder_ / "p.png", 2, 2);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(image))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&area_, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&area_, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(list_.Count(), 0u);  // the source of the drag does not wait for the adding
  QCoreApplication::processEvents();
  EXPECT_EQ(list_.Paths(), (TPaths{image}));
}

TEST_F(InputAreaTest, TheCheckBoxesAreTheirStoreEntries) {
  for (const char* name : {"inp_uv", "inp_ow", "inp_cbwatch"}) {
    QCheckBox& box = *Find<QCheckBox>(name);
    const bool before = store_.Checked("PBCH", name);
    EXPECT_EQ(box.isChecked(), before) << name;
    box.click();
    EXPECT_EQ(store_.Checked("PBCH", name), !before) << name;
    store_.SetChecked(store_.IndexOf("PBCH", name), before, config::TChangeSource::Program);
    EXPECT_EQ(box.isChecked(), before) << name;
  }
  EXPECT_EQ(Find<QCheckBox>("inp_ow")->text().toStdString(), "Watch Content of Folder");
  EXPECT_EQ(Tree().headerItem()->text(4).toStdString(), "Filesize");
}

TEST_F(InputAreaTest, ADuplicateIsReportedThroughTheListsMessages) {
  const std::string image = WriteImage(folder_ / "a.png", 2, 2);
  area_.AddFiles({image});
  area_.AddFiles({image});
  EXPECT_EQ(messages_.Shown, (TPaths{"dateischoninliste: " + image}));
  EXPECT_EQ(Tree().topLevelItemCount(), 1);
}

TEST_F(InputAreaTest, SelectingARowShowsItsFile) {
  const std::string a = WriteImage(folder_ / "a.png", 2, 2);
  const std::string b = WriteImage(folder_ / "b.png", 2, 2);
  area_.AddFiles({a, b});
  EXPECT_TRUE(shown_.empty());  // adding selects nothing
  Tree().setCurrentItem(Tree().topLevelItem(1));
  EXPECT_EQ(shown_, (TPaths{b}));
  Tree().setCurrentItem(Tree().topLevelItem(0));
  EXPECT_EQ(shown_, (TPaths{b, a}));
  // Sorting moves the rows, not the selection: nothing new to show.
  emit Tree().header()->sectionClicked(0);
  EXPECT_EQ(shown_, (TPaths{b, a}));
}

TEST_F(InputAreaTest, TheContextMenuOpensOnlyOverASelection) {
  area_.AddFiles({WriteImage(folder_ / "a.png", 2, 2)});
  QMenu& menu = *Find<QMenu>("popupqulist");
  TPaths names;
  for (const QAction* action : menu.actions())
    if (!action->isSeparator()) names.push_back(action->objectName().toStdString());
  EXPECT_EQ(names, (TPaths{"pop1", "pop2", "pop3", "pop4"}));
  EXPECT_EQ(Find<QAction>("pop3")->text().toStdString(), "Copy selected Images to Clipboard");

  emit Tree().customContextMenuRequested(QPoint(2, 2));
  EXPECT_FALSE(menu.isVisible());
  SelectRows({0});
  emit Tree().customContextMenuRequested(QPoint(2, 2));
  EXPECT_TRUE(menu.isVisible());
  menu.hide();
}

TEST_F(InputAreaTest, CopyPutsTheSelectedFilesOnTheClipboardInListOrder) {
  TPaths paths;
  for (const char* name : {"a.png", "b.png", "c.png"})
    paths.push_back(WriteImage(folder_ / name, 2, 2));
  area_.AddFiles(paths);
  fs::remove(paths[1]);  // gone since it was listed: pasting it could only fail
  SelectRows({2, 1, 0});
  Find<QAction>("pop3")->trigger();
  const QMimeData* copied = QApplication::clipboard()->mimeData();
  ASSERT_NE(copied, nullptr);
  ASSERT_TRUE(copied->hasUrls());
  TPaths urls;
  for (const QUrl& url : copied->urls()) urls.push_back(url.toLocalFile().toStdString());
  EXPECT_EQ(urls, (TPaths{paths[0], paths[2]}));
  EXPECT_EQ(copied->text().toStdString(), paths[0] + "\n" + paths[2]);
}

TEST_F(InputAreaTest, TheFolderCommandShowsTheFirstSelectedExistingFile) {
  const std::string a = WriteImage(folder_ / "a.png", 2, 2);
  const std::string b = WriteImage(folder_ / "b.png", 2, 2);
  area_.AddFiles({a, b});
  TPaths shownInManager;
  area_.Choosers.ShowInFileManager = [&](const std::string& path) {
    shownInManager.push_back(path);
  };
  SelectRows({1, 0});
  Find<QAction>("pop1")->trigger();
  fs::remove(a);
  Find<QAction>("pop1")->trigger();  // its file is gone: nothing to show
  EXPECT_EQ(shownInManager, (TPaths{a}));
}

TEST_F(InputAreaTest, FileInformationShowsTheEntrysFile) {
  area_.AddFiles({WriteImage(folder_ / "a.png", 7, 5)});
  SelectRows({0});
  Find<QAction>("pop2")->trigger();
  auto* window = area_.findChild<QDialog*>("TFileInformation");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->findChild<QLabel*>("info_dimensions")->text().toStdString(), "7 x 5 pixels");
  EXPECT_EQ(window->findChild<QLabel*>("info_name")->text().toStdString(), "a.png");
  window->close();
}

TEST_F(InputAreaTest, OpenImagesAddsTheChosenFilesInTheirOrder) {
  const std::string a = WriteImage(folder_ / "a.png", 2, 2);
  const std::string b = WriteImage(folder_ / "b.gif", 2, 2);
  TChooserRequest asked;
  int opened = 0;
  area_.Choosers.OpenFiles = [&](QWidget*, const TChooserRequest& request) {
    asked = request;
    ++opened;
    return TPaths{b, a, b};
  };
  area_.OpenImages();
  EXPECT_EQ(asked.Title.toStdString(), "Open..");
  ASSERT_EQ(asked.Filters.size(), 21);
  EXPECT_TRUE(asked.Filters[0].startsWith("Any readable Files"));
  EXPECT_TRUE(asked.Filters[1].endsWith("(*.bmp *.dib)")) << asked.Filters[1].toStdString();
  EXPECT_EQ(list_.Paths(), (TPaths{a, b}));
  EXPECT_EQ(messages_.Shown, (TPaths{"dateischoninliste: " + b}));  // in the chooser's order
  // A double click on the list opens the same dialog, where the last files were.
  emit Tree().itemDoubleClicked(Tree().topLevelItem(0), 0);
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(asked.Start.toStdString(), folder_.Path().string());
}

TEST_F(InputAreaTest, FileListsGoOutAndComeBack) {
  const std::string listFile = (folder_ / "list.txt").string();
  area_.Choosers.SaveFile = [&](QWidget*, const TChooserRequest& request) {
    EXPECT_EQ(request.Filters, QStringList{"Text (*.txt)"});
    EXPECT_EQ(request.DefaultSuffix, "txt");
    return listFile;
  };
  area_.Choosers.OpenFile = [&](QWidget*, const TChooserRequest&) { return listFile; };

  area_.SaveFileList();  // empty list: told so, nothing written
  EXPECT_EQ(informed_, (TPaths{"There are no files to store in your file list."}));
  EXPECT_FALSE(fs::exists(listFile));

  TPaths paths;
  for (const char* name : {"c.png", "a.png", "b.png"})
    paths.push_back(WriteImage(folder_ / name, 2, 2));
  area_.AddFiles(paths);
  emit Tree().header()->sectionClicked(0);  // the file keeps the list's order: c, b, a
  const TPaths saved = list_.Paths();
  area_.SaveFileList();
  area_.RemoveAll();
  area_.OpenFileList();
  EXPECT_EQ(list_.Paths(), saved);
  EXPECT_EQ(ShownPaths(), saved);
  EXPECT_EQ(test::ReadFileText(listFile),
            "\xEF\xBB\xBF" + saved[0] + "\r\n" + saved[1] + "\r\n" + saved[2] + "\r\n");
  EXPECT_EQ(informed_.size(), 1u);

  // A list is never written over an image, and the user learns that it was not saved.
  const std::string imageName = WriteImage(folder_ / "keep.jpg", 2, 2);
  const std::vector<uint8_t> image = test::ReadFileBytes(imageName);
  area_.Choosers.SaveFile = [&](QWidget*, const TChooserRequest&) { return imageName; };
  area_.SaveFileList();
  EXPECT_EQ(test::ReadFileBytes(imageName), image);
  ASSERT_EQ(informed_.size(), 2u);
  EXPECT_EQ(informed_[1],
            "The file list was not saved: file lists are not written under the "
            "name of an image.\n" +
                imageName);
}

TEST_F(InputAreaTest, AFileListThatCannotBeReadIsReported) {
  area_.Choosers.OpenFile = [&](QWidget*, const TChooserRequest&) {
    return (folder_ / "none.txt").string();
  };
  area_.OpenFileList();
  ASSERT_EQ(informed_.size(), 1u);
  EXPECT_NE(informed_[0].find("none.txt"), std::string::npos) << informed_[0];
}

}  // namespace
}  // namespace pixolan::ui
