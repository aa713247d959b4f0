// The frame the processing window, the message window and the overwrite question share: a
// 48 x 48 picture at the left, a divider, a title line and text lines at the right, buttons
// at the bottom right; a tool window without a close box that stays on top and centres
// itself on the main window whenever it is shown.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <string_view>
#include <vector>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace pixolan::ui {

enum class TDialogPicture { Processing, Message, Question };

// The picture of a message-style window, drawn at the given device pixel ratio.
QPixmap DialogPicture(TDialogPicture picture, qreal devicePixelRatio = 1.0);

// A designed size in pixels (for Tahoma 8 point, the font the windows were laid out in),
// grown with the widget's font so that the texts still fit with a larger system font.
int ScaledToFont(const QWidget& widget, int designed);

class TMessageStyleDialog : public QDialog {
 public:
  // The width the text lines are designed for.
  static constexpr int kLineWidth = 353;

  // The window this one centres itself on when shown; nullptr centres it on the screen.
  // The main window must outlive this window or be set back to nullptr first.
  void CentreOn(const QWidget* mainWindow) { centreOn_ = mainWindow; }
  const QWidget* CentredOn() const { return centreOn_; }

  // The width of a text line, and the width of a text in the lines' font.
  int LineWidth() const;
  int LineTextWidth(std::string_view text) const;

 protected:
  // The window gets objectName, title label "title label" and lines "line 1".."line N".
  // Create it without a parent, or with one that is never disabled: a window that is a
  // child of the main window would be disabled with it while an operation runs.
  TMessageStyleDialog(const char* objectName, TDialogPicture picture, int lines, QWidget* parent);

  QLabel& TitleLabel() const { return *title_; }
  QLabel& Line(int number) const { return *lines_.at(size_t(number - 1)); }
  // The column of the title and the lines, for widgets below the lines (a progress bar).
  QVBoxLayout& TextColumn() const { return *textColumn_; }
  // Adds a 75 x 25 button at the right end of the button row.
  QPushButton& AddButton(const char* objectName);

  void showEvent(QShowEvent* event) override;

 private:
  void Centre();

  const QWidget* centreOn_ = nullptr;
  QLabel* title_ = nullptr;
  std::vector<QLabel*> lines_;
  QVBoxLayout* textColumn_ = nullptr;
  QHBoxLayout* buttons_ = nullptr;
};

}  // namespace pixolan::ui
