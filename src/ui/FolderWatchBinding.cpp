#include "ui/FolderWatchBinding.h"

#include <QSocketNotifier>
#include <exception>
#include <filesystem>
#include <vector>

#include "input/FolderWatch.h"
#include "input/InotifyWatcher.h"

namespace pixolan::ui {

struct TFolderWatchBinding::TImpl {
  TImpl(config::SettingsStore& store, input::TInputList& list)
      : Store(store),
        Watch(list),
        Folder(store.IndexOf("PBED", "inp_ordner")),
        Watching(store.IndexOf("PBCH", "inp_ow")),
        Subfolders(store.IndexOf("PBCH", "inp_uv")) {}

  config::SettingsStore& Store;
  input::TFolderWatch Watch;
  const size_t Folder, Watching, Subfolders;
  config::SettingsStore::TListenerId Listener = 0;
  // The notifier goes before the watcher whose descriptor it watches.
  std::unique_ptr<input::TInotifyWatcher> Watcher;
  std::unique_ptr<QSocketNotifier> Notifier;

  void Stop() {
    Notifier.reset();
    Watcher.reset();
  }
};

TFolderWatchBinding::TFolderWatchBinding(config::SettingsStore& store, input::TInputList& list)
    : impl_(std::make_unique<TImpl>(store, list)) {
  impl_->Listener = store.AddChangeListener([this](const config::TSettingEntry& entry) {
    if (&entry == &impl_->Store.Entry(impl_->Watching)) Apply();
  });
}

TFolderWatchBinding::~TFolderWatchBinding() {
  impl_->Store.RemoveChangeListener(impl_->Listener);
  impl_->Stop();
}

void TFolderWatchBinding::Apply() {
  TImpl& m = *impl_;
  m.Stop();
  const std::string folder = m.Store.Entry(m.Folder).Text;
  std::error_code error;
  if (folder.empty() || !m.Store.Entry(m.Watching).Number ||
      !std::filesystem::is_directory(folder, error))
    return;
  try {
    m.Watcher = std::make_unique<input::TInotifyWatcher>(folder);
  } catch (const std::exception&) {
    return;  // a folder that cannot be watched leaves the watch stopped
  }
  m.Notifier = std::make_unique<QSocketNotifier>(m.Watcher->Fd(), QSocketNotifier::Read);
  QObject::connect(m.Notifier.get(), &QSocketNotifier::activated, m.Notifier.get(), [this] {
    TImpl& impl = *impl_;
    bool changed = false;
    try {
      // The handlers read the box at each event, as the user may have changed it since.
      for (const input::TWatchEvent& event : impl.Watcher->ReadEvents()) {
        const input::TWatchSettings settings{impl.Store.Entry(impl.Folder).Text,
                                             impl.Store.Entry(impl.Subfolders).Number != 0};
        changed = impl.Watch.Deliver(settings, event) || changed;
      }
    } catch (const std::exception&) {
      // Out of memory or the like in one batch: the entries it did change are shown below,
      // and the watch goes on with the next.
    }
    if (changed && ListChanged) ListChanged();
  });
}

void TFolderWatchBinding::Stop() {
  impl_->Stop();
}

bool TFolderWatchBinding::Watching() const {
  return impl_->Watcher != nullptr;
}

std::string TFolderWatchBinding::WatchedFolder() const {
  return impl_->Watcher ? impl_->Watcher->Folder() : std::string();
}

}  // namespace pixolan::ui
