// The order of actions: the list "act_ordnung" showing the store's order entries, moved
// by the up and down buttons or by dragging an entry.
#pragma once

#include <memory>
#include <vector>

#include "config/SettingsStore.h"

class QAbstractButton;
class QListWidget;
class QObject;

namespace pixolan::ui {

// The list shows the entries "NN   Label" from top to bottom; an entry whose action is
// off is drawn gray. Every move writes the new order into the store and recomputes the
// steps (config::ReihenFolgeFestlegen), so the run and the preview see it.
class TOrderList {
 public:
  TOrderList(config::SettingsStore& store, QListWidget& list, QAbstractButton& up,
             QAbstractButton& down);
  ~TOrderList();
  TOrderList(const TOrderList&) = delete;
  TOrderList& operator=(const TOrderList&) = delete;

  // Exchanges the selected entry with its neighbour above (-1) or below (+1); nothing
  // when no entry is selected or it has no such neighbour.
  void MoveSelected(int direction);

 private:
  void Refresh();
  void TakeListOrder();

  config::SettingsStore& store_;
  QListWidget& list_;
  std::vector<size_t> entries_;      // the order entries, top to bottom
  std::vector<size_t> actionBoxes_;  // the action check boxes by action number - 1
  std::unique_ptr<QObject> context_;
  config::SettingsStore::TListenerId listener_ = 0;
  bool writing_ = false;  // our own writes: show them once at the end
};

}  // namespace pixolan::ui
