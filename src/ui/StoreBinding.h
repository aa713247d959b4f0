// Binds the widgets of a window to their entries in the settings store: the widget's
// objectName is the control's name. The store stays the only holder of settings; a widget
// shows its entry and reports what the user does to it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/SettingsStore.h"

class QObject;
class QString;
class QWidget;

namespace pixolan::ui {

// Binds, for the lifetime of the object, every descendant of root whose objectName names an
// entry of the store's window prefix ("PB" main window, "PF" format filter, "EA" output
// settings...):
// - edit and text entries to a QLineEdit (edited text), memo entries to a QPlainTextEdit;
// - combo entries to a QComboBox, filled with the entry's items in the store's language;
//   the window decides whether the box is editable: an editable box reports its text, a
//   fixed list the chosen item;
// - check boxes and radio buttons to QAbstractButton (a checked radio button unchecks its
//   group through the store's rules, which every bound button follows);
// - scroll bars to a QAbstractSlider with the entry's range.
// What the user does goes into the store as a user change (so ties and group rules apply);
// every change of the store, from a configuration, the reset or a tie, shows in the
// widget without being reported back. Widgets of other kinds, and entries of other kinds
// (panels, the order list), are left to their windows.
// The typing rules of config/InputRules apply to every bound edit and combo box: a typed
// key goes through config::KeyPressed (a refused key is dropped, some show the
// numbers-only message), choosing an entry of a combo box through config::ItemChosen
// ("Custom.." empties the box and puts the focus into it) and leaving a box through
// config::FocusLeft (an empty box gets its value back).
class TStoreBinding {
 public:
  TStoreBinding(config::SettingsStore& store, QWidget& root, std::string window);
  ~TStoreBinding();
  TStoreBinding(const TStoreBinding&) = delete;
  TStoreBinding& operator=(const TStoreBinding&) = delete;

  // The names of the bound widgets, in the store's order.
  std::vector<std::string> BoundNames() const;

  // Shows every bound entry again, as after a language switch re-labels combo items.
  void Refresh();

  // Shows the numbers-only message for a key typed into widget. By default an information
  // box with an OK button over the widget's window; tests put their own in.
  using TMessageShower = std::function<void(QWidget& widget, const std::string& text)>;
  void SetMessageShower(TMessageShower shower);

 private:
  class TRulesFilter;
  struct TBound {
    size_t Entry;
    QWidget* Widget;
  };
  void Show(const TBound& bound);
  // The input rules; true when the event is used up.
  bool KeyTyped(QWidget& widget, size_t entry, const QString& text, bool backspace);
  void FocusLost(size_t entry);

  config::SettingsStore& store_;
  // The receiver of the widgets' signals: its end disconnects them, so a widget that
  // outlives the binding never calls into it.
  std::unique_ptr<QObject> context_;
  TMessageShower showMessage_;
  std::vector<TBound> bound_;
  config::SettingsStore::TListenerId listener_ = 0;
  bool showing_ = false;  // the store is being shown: widget signals are not user changes
};

}  // namespace pixolan::ui
