// The actions area of the main window: the scroll box "ScrollBox1" with the thirteen pairs
// of a header panel (an action's check box and its options button) and the options panel
// below it, stacked by code in a fixed order.
#pragma once

#include <QColor>
#include <QPoint>
#include <QScrollArea>
#include <functional>
#include <memory>
#include <optional>

#include "config/SettingsStore.h"
#include "lang/Language.h"

namespace pixolan::ui {

// Every widget carries its control's name. The stored ones are bound by the window's
// ui::TStoreBinding; the area itself follows the store: an options panel is shown while
// its Panel entry is on (ticking an action opens it through the store's rules), the order
// list shows the order entries, the color fields show their colors, the text memo its
// font and colors. The mouse wheel scrolls the area by 20 pixels while the pointer is over
// it, unless a click went into one of its combo boxes (the wheel then belongs to the
// combo box) and no click on a panel or label gave it back.
class TActionsArea : public QScrollArea {
 public:
  explicit TActionsArea(config::SettingsStore& store, QWidget* parent = nullptr);
  ~TActionsArea() override;
  TActionsArea(const TActionsArea&) = delete;
  TActionsArea& operator=(const TActionsArea&) = delete;

  // Stacks the visible panels from the top without gaps and keeps the scroll position as
  // far as the new height allows.
  void PanelsAnordnen();
  // Hides the thirteen options panels through the store; the caller restacks.
  void CloseAllActions();
  // Texts that the language tables do not reach: the blur and sharpen filter sizes.
  void LanguageChanged(lang::TLanguage language);

  // Whether the mouse wheel scrolls the area now (see above).
  bool WheelScrollingAllowed() const;
  // Reads the screen pixel at a global position for the pick buttons; nullopt when the
  // platform cannot read the screen. Replaced by tests.
  using TScreenReader = std::function<std::optional<QColor>(QPoint global)>;
  void SetScreenReader(TScreenReader reader);

  // 316 pixels wide, as the right column is designed.
  QSize sizeHint() const override;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::ui
