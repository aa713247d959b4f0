#include "ui/StartWindow.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "lang/WindowTexts.h"

namespace pixolan::ui {

namespace {

constexpr int kWidth = 380;
constexpr int kHeight = 235;
constexpr int kTickMilliseconds = 600;
constexpr int kShowMainAt = 3, kHideAt = 5, kStopAt = 7;

QString ToQt(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

QPixmap TStartWindow::StartPicture(lang::TLanguage language, qreal devicePixelRatio) {
  QPixmap pixmap(int(std::ceil(kWidth * devicePixelRatio)),
                 int(std::ceil(kHeight * devicePixelRatio)));
  pixmap.setDevicePixelRatio(devicePixelRatio);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, QColor(24, 58, 110));
  sky.setColorAt(1, QColor(70, 140, 200));
  p.fillRect(QRect(0, 0, kWidth, kHeight), sky);

  // A stack of three picture frames: a batch of images.
  for (int i = 2; i >= 0; --i) {
    const QRectF frame(24 + i * 10, 40 + i * 10, 92, 70);
    p.setPen(QPen(QColor(255, 255, 255, 230), 3));
    p.setBrush(QColor(200 - i * 30, 225 - i * 20, 255));
    p.drawRoundedRect(frame, 4, 4);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 210, 60));
  p.drawEllipse(QRectF(70, 64, 14, 14));  // the sun over
  p.setBrush(QColor(60, 130, 70));
  QPolygonF hill;
  hill << QPointF(46, 126) << QPointF(76, 96) << QPointF(96, 112) << QPointF(110, 100)
       << QPointF(138, 126);
  p.drawPolygon(hill);  // the hills of the front picture

  QFont product;
  product.setPixelSize(40);
  product.setBold(true);
  p.setFont(product);
  p.setPen(Qt::white);
  p.drawText(QRect(150, 48, 220, 52), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Pixolan"));

  QFont maker;
  maker.setPixelSize(15);
  p.setFont(maker);
  p.setPen(QColor(220, 235, 255));
  p.drawText(QRect(152, 100, 220, 22), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orvanta"));

  // The line in the language, and the language itself in the corner: German and English
  // pictures differ at a glance.
  QFont line;
  line.setPixelSize(13);
  p.setFont(line);
  p.setPen(Qt::white);
  const bool german = language == lang::TLanguage::De;
  p.drawText(QRect(20, 160, kWidth - 40, 40), Qt::AlignCenter | Qt::TextWordWrap,
             german ? ToQt("Bilder stapelweise konvertieren und bearbeiten")
                    : QStringLiteral("Convert and edit whole batches of images"));
  QFont corner;
  corner.setPixelSize(11);
  corner.setBold(true);
  p.setFont(corner);
  p.setPen(QColor(220, 235, 255));
  p.drawText(QRect(kWidth - 60, kHeight - 26, 48, 18), Qt::AlignRight | Qt::AlignVCenter,
             german ? QStringLiteral("DE") : QStringLiteral("EN"));
  p.setPen(QPen(QColor(255, 255, 255, 120), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1));
  return pixmap;
}

TStartWindow::TStartWindow(std::function<void()> showMainWindow, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::SplashScreen),
      showMainWindow_(std::move(showMainWindow)) {
  setObjectName(QStringLiteral("Tstart"));
  setWindowTitle(ToQt(lang::kWindowTitle));
  setFixedSize(kWidth, kHeight);
  image_ = new QLabel(this);
  image_->setObjectName(QStringLiteral("Image1"));
  image_->setGeometry(0, 0, kWidth, kHeight);
  // Clicks on the picture reach the window.
  image_->setAttribute(Qt::WA_TransparentForMouseEvents);
  timer_ = new QTimer(this);
  timer_->setInterval(kTickMilliseconds);
  QObject::connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
  sprache(lang::CurrentLanguage());
}

TStartWindow::~TStartWindow() = default;

void TStartWindow::sprache(lang::TLanguage language) {
  picture_ = StartPicture(language, devicePixelRatioF());
  image_->setPixmap(picture_);
  setWindowTitle(ToQt(lang::kWindowTitle));
}

void TStartWindow::Start() {
  ticks_ = 0;
  mainWindowShown_ = false;
  if (const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen()) {
    const QRect area = shown->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
  }
  show();
  timer_->start();
}

void TStartWindow::Tick() {
  ++ticks_;
  if (ticks_ == kShowMainAt) ShowMainWindow();
  if (ticks_ == kHideAt) hide();
  if (ticks_ >= kStopAt) timer_->stop();
}

bool TStartWindow::TimerActive() const {
  return timer_->isActive();
}

void TStartWindow::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  timer_->stop();
  ShowMainWindow();
  hide();
}

void TStartWindow::ShowMainWindow() {
  // A click after the third tick must not show the window a second time.
  if (mainWindowShown_) return;
  mainWindowShown_ = true;
  if (showMainWindow_) showMainWindow_();
}

}  // namespace pixolan::ui
