// A color field of the actions area with its two buttons: the field shows its color as
// background with a font that stays readable, the choose button opens the color dialog
// and the pick button reads the color of a screen pixel.
#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <functional>
#include <optional>

#include "config/SettingsStore.h"

class QAbstractButton;
class QColorDialog;
class QLineEdit;

namespace pixolan::ui {

// The field is bound to its store entry by the window; this class follows the entry's
// color (the last valid one, so a half-typed text keeps the old background) and writes
// chosen and picked colors into the store as "#RRGGBB", as if typed.
// Picking: pressing the mouse on the pick button sets the cross-hair cursor and grabs the
// mouse; every move shows the pixel under the pointer in the field; releasing applies the
// last color read.
class TColorEdit : public QObject {
 public:
  using TScreenReader = std::function<std::optional<QColor>(QPoint global)>;
  // Called with the entry's color whenever it is shown from the store (not while picking).
  using TColorApplied = std::function<void(const QColor& color)>;

  TColorEdit(config::SettingsStore& store, QLineEdit& field, QAbstractButton& choose,
             QAbstractButton& pick, TColorApplied applied = {});
  ~TColorEdit() override;
  TColorEdit(const TColorEdit&) = delete;
  TColorEdit& operator=(const TColorEdit&) = delete;

  void SetScreenReader(TScreenReader reader);

  // The color of a Windows color value (red in the low byte) and back.
  static QColor FromWindows(uint32_t color);
  static uint32_t ToWindows(const QColor& color);
  // Reads one pixel of the screen under a global position; nullopt where the platform
  // does not allow it.
  static std::optional<QColor> ReadScreenPixel(QPoint global);

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  void Choose();
  void Apply(const QColor& color);
  void Show();
  void Paint(const QColor& color);
  void StopPicking();

  config::SettingsStore& store_;
  size_t entry_;
  QLineEdit& field_;
  QAbstractButton& pick_;
  TColorApplied applied_;
  TScreenReader readScreen_;
  QPointer<QColorDialog> dialog_;
  bool picking_ = false;
  QColor picked_;
  config::SettingsStore::TListenerId listener_ = 0;
};

}  // namespace pixolan::ui
