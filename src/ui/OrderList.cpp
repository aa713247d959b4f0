#include "ui/OrderList.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <optional>

#include "config/JobSettings.h"
#include "config/StoreDefinition.h"

namespace pixolan::ui {

namespace {

constexpr int kEnabledRole = Qt::UserRole;

// Entries of actions that are off are gray, selected or not.
class TOrderDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(kEnabledRole).toBool()) return;
    QPalette& palette = option->palette;
    palette.setColor(QPalette::Text, palette.color(QPalette::Disabled, QPalette::Text));
    // On the selection: halfway between the selection's text and its background.
    const QColor text = palette.color(QPalette::HighlightedText);
    const QColor back = palette.color(QPalette::Highlight);
    palette.setColor(QPalette::HighlightedText,
                     QColor((text.red() + back.red()) / 2, (text.green() + back.green()) / 2,
                            (text.blue() + back.blue()) / 2));
  }
};

}  // namespace

TOrderList::TOrderList(config::SettingsStore& store, QListWidget& list, QAbstractButton& up,
                       QAbstractButton& down)
    : store_(store), list_(list), context_(std::make_unique<QObject>()) {
  for (int i = 0; i < config::definition::kOrderEntries; ++i)
    entries_.push_back(store_.IndexOf("PBRF", config::definition::OrderKey(i)));
  for (const config::definition::TActionPanel& action : config::definition::ActionPanels())
    actionBoxes_.push_back(store_.IndexOf("PBCH", action.CheckBox));

  list_.setItemDelegate(new TOrderDelegate(&list_));
  QObject::connect(&up, &QAbstractButton::clicked, context_.get(), [this] { MoveSelected(-1); });
  QObject::connect(&down, &QAbstractButton::clicked, context_.get(), [this] { MoveSelected(+1); });
  // A drag moves the entry inside the list; the store takes the list's new order.
  QObject::connect(list_.model(), &QAbstractItemModel::rowsMoved, context_.get(),
                   [this] { TakeListOrder(); });
  listener_ = store_.AddChangeListener([this](const config::TSettingEntry& entry) {
    if (writing_) return;
    const size_t index = size_t(&entry - store_.Entries().data());
    if (std::find(entries_.begin(), entries_.end(), index) != entries_.end() ||
        std::find(actionBoxes_.begin(), actionBoxes_.end(), index) != actionBoxes_.end())
      Refresh();
  });
  Refresh();
}

TOrderList::~TOrderList() {
  store_.RemoveChangeListener(listener_);
}

void TOrderList::MoveSelected(int direction) {
  QListWidgetItem* current = list_.currentItem();
  if (!current || !current->isSelected()) return;
  const int row = list_.row(current);
  const int target = row + direction;
  if (target < 0 || target >= int(entries_.size())) return;
  const std::string moving = store_.Entry(entries_[size_t(row)]).Text;
  const std::string other = store_.Entry(entries_[size_t(target)]).Text;
  writing_ = true;
  store_.SetText(entries_[size_t(row)], other);
  store_.SetText(entries_[size_t(target)], moving);
  config::ReihenFolgeFestlegen(store_);
  writing_ = false;
  Refresh();
  list_.setCurrentRow(target);
}

void TOrderList::TakeListOrder() {
  if (writing_) return;
  std::vector<std::string> texts;
  for (int i = 0; i < list_.count(); ++i) texts.push_back(list_.item(i)->text().toStdString());
  const int selected = list_.currentRow();
  writing_ = true;
  for (size_t i = 0; i < entries_.size() && i < texts.size(); ++i)
    store_.SetText(entries_[i], texts[i]);
  config::ReihenFolgeFestlegen(store_);
  writing_ = false;
  Refresh();
  list_.setCurrentRow(selected);
}

void TOrderList::Refresh() {
  const bool wasWriting = writing_;
  writing_ = true;  // the list's own signals are no moves
  while (list_.count() < int(entries_.size())) list_.addItem(QString());
  const QPalette palette = list_.palette();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const std::string& text = store_.Entry(entries_[i]).Text;
    QListWidgetItem* item = list_.item(int(i));
    const QString shown = QString::fromStdString(text);
    if (item->text() != shown) item->setText(shown);
    const std::optional<int> action = config::definition::OrderEntryAction(text);
    const bool enabled = action && store_.Entry(actionBoxes_[size_t(*action - 1)]).Number != 0;
    item->setData(kEnabledRole, enabled);
    item->setForeground(enabled ? palette.color(QPalette::Active, QPalette::Text)
                                : palette.color(QPalette::Disabled, QPalette::Text));
  }
  writing_ = wasWriting;
}

}  // namespace pixolan::ui
