// The input area of the main window: the folder box with its buttons and check boxes, the
// list of input files over the input list model, its count label and remove buttons, and
// the list's context menu. The model (TInputList) decides what enters and leaves; this
// area only shows it and turns the user's commands into its operations.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/SettingsStore.h"
#include "input/FolderScan.h"
#include "input/InputList.h"
#include "lang/Language.h"

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

namespace pixolan::ui {

// What a file or folder chooser is asked for.
struct TChooserRequest {
  QString Title;
  // Qt name filters ("Text (*.txt)"); the first is chosen at first.
  QStringList Filters;
  // The folder (or file) the chooser starts at; empty: the chooser's own choice.
  QString Start;
  // Added to a saved name that has no extension.
  QString DefaultSuffix;
};

// The area's ways out to dialogs and the desktop. The defaults open Qt's dialogs and the
// desktop's file manager; tests replace them so that nothing blocks on a user.
struct TInputAreaChoosers {
  // Several files to open, in the chooser's order; empty when cancelled.
  std::function<std::vector<std::string>(QWidget* parent, const TChooserRequest&)> OpenFiles;
  // One file to open or to save to; empty when cancelled.
  std::function<std::string(QWidget* parent, const TChooserRequest&)> OpenFile;
  std::function<std::string(QWidget* parent, const TChooserRequest&)> SaveFile;
  // A folder; empty when cancelled.
  std::function<std::string(QWidget* parent, const TChooserRequest&)> Folder;
  // An information or error box with an OK button.
  std::function<void(QWidget* parent, const QString& title, const QString& text)> Inform;
  // Shows the file selected in the desktop's file manager.
  std::function<void(const std::string& path)> ShowInFileManager;
};

class TInputArea : public QWidget {
 public:
  TInputArea(config::SettingsStore& store, input::TInputList& list, QWidget* parent = nullptr);
  ~TInputArea() override;

  // Where scans and drops report progress (the processing window; tests pass fakes), and
  // the parent of the dialogs the area opens: choosers, information boxes, the file
  // information window (null: the area's window). The list's messages go through the
  // list's own TListMessages.
  void SetFrontEnds(input::TScanFrontEnd& scan, QWidget* dialogParent);

  std::function<void(const std::string& path)> SourceSelected;  // click/selection -> preview
  std::function<void()> ListChanged;  // entries added/removed (count label already updated)
  std::function<void()> ShowFilter;   // button bitbtn1
  // After Enter in inp_ordner and after the folder browser: where the folder watch is
  // started or stopped, as inp_ordner and inp_ow now say.
  std::function<void()> FolderChosen;

  void AddFolder(const std::string& folder);             // scan with the store's filter and inp_uv
  void AddFiles(const std::vector<std::string>& paths);  // add2list each, in order
  void AddDropped(const QList<QUrl>& urls);              // files and folders dropped on the window
  void OpenImages();                                     // "Open Images" dialog (several files)
  void OpenFolder();  // OpenOrdner / m_datei_ordner: folder browser, then the scan
  void SaveFileList();
  void OpenFileList();
  void RemoveSelected();
  void RemoveAll();
  void Reload();  // show the model again (after a run: RemoveVanished, UpdateListItem)
  void LanguageChanged(lang::TLanguage language);  // count label, decimal texts
  // Indexes into the model of the selected rows, ascending.
  std::vector<size_t> SelectedIndexes() const;

  // Context menu commands (pop1..pop3; pop4 is RemoveSelected).
  void OpenContainingFolder();
  void ShowFileInformation();
  void CopySelectedToClipboard();

  // The chooser and desktop functions; replaceable.
  TInputAreaChoosers Choosers;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

// The Qt name filters of the "Open Images" dialog: every group of the language's image
// filter, its patterns readable by Qt.
QStringList ImageOpenFilters(lang::TLanguage language);

}  // namespace pixolan::ui
