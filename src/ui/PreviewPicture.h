// The picture of the preview (`vor_bild`): the image on a frame of its own color.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace pixolan::ui {

class TPreviewPicture : public QWidget {
 public:
  explicit TPreviewPicture(QWidget* parent = nullptr);

  // The image is shown as it is, at (frame, frame); a null image shows nothing.
  void SetImage(QImage image);
  const QImage& Image() const { return image_; }
  // Frame width in pixels on every side and its color; the widget's size is the caller's.
  void SetFrame(int width, QColor color);
  // What shows through the image's transparent pixels.
  void SetBackground(QColor color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  int frame_ = 1;
  QColor frameColor_ = Qt::black;
  QColor background_ = Qt::white;
};

}  // namespace pixolan::ui
