#include "ui/PreviewArea.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/InputRules.h"
#include "config/JobSettings.h"
#include "core/OutputPath.h"
#include "core/PreviewRenderer.h"
#include "imaging/image/Imaging.h"
#include "lang/Messages.h"
#include "ui/ControlTexts.h"
#include "ui/PreviewPicture.h"
#include "ui/StoreBinding.h"

namespace pixolan::ui {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QColor FromWindowsColor(uint32_t color) {
  return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

// A QImage over the engine's pixels, without copying them: A8R8G8B8 rows are B, G, R, A
// bytes, which is Format_ARGB32 on little-endian machines. The QImage owns the record and
// frees it with its last copy, so a copy handed out stays valid.
QImage WrapImage(imaging::TImageData image) {
  if (!imaging::ImageIsValid(image) || image.Format != imaging::TImageFormatId::A8R8G8B8) return {};
  auto owner = std::make_unique<imaging::TImageData>(std::move(image));
  QImage wrapped(
      owner->Bits.get(), owner->Width, owner->Height, qsizetype(owner->Width) * 4,
      QImage::Format_ARGB32,
      [](void* record) {
        const std::unique_ptr<imaging::TImageData> owned(static_cast<imaging::TImageData*>(record));
      },
      owner.get());
  if (!wrapped.isNull()) static_cast<void>(owner.release());  // the image frees it now
  return wrapped;
}

// What a change of a store entry means to the preview.
enum class TReaction {
  None,
  Actions,     // an action's setting, the order or the text font: recompute when on
  Okay,        // vor_okay: recompute in the new state
  Zoom,        // vor_resize: load and reduce again
  OutputName,  // folder, name, format, overwrite: only the output line
  Strip,       // the strip under the box shows or hides
};

bool InActionsArea(std::string parent,
                   const std::unordered_map<std::string, std::string>& parents) {
  for (int depth = 0; depth < 8; ++depth) {
    if (parent == "ScrollBox1") return true;
    const auto it = parents.find(parent);
    if (it == parents.end()) return false;
    parent = it->second;
  }
  return false;
}

std::vector<TReaction> Reactions(const config::SettingsStore& store) {
  std::unordered_map<std::string, std::string> parents;
  for (const config::TSettingEntry& entry : store.Entries())
    if (entry.Window == "PB") parents.emplace(entry.Name, entry.Parent);
  std::vector<TReaction> reactions;
  for (const config::TSettingEntry& entry : store.Entries()) {
    TReaction reaction = TReaction::None;
    if (entry.Section == "PBRF" || entry.Section == "FCE") {
      reaction = TReaction::Actions;
    } else if (entry.Window != "PB") {
      reaction = TReaction::None;
    } else if (entry.Name == "vor_okay") {
      reaction = TReaction::Okay;
    } else if (entry.Name == "vor_resize") {
      reaction = TReaction::Zoom;
    } else if (entry.Name == "pa_vorschau_unten") {
      reaction = TReaction::Strip;
    } else if (entry.Name == "out_overwrite" || entry.Name == "out_newimage" ||
               entry.Name == "out_ordner" || entry.Name == "out_name" ||
               entry.Name == "out_format") {
      reaction = TReaction::OutputName;
    } else if (entry.Kind != config::TControlKind::Panel && InActionsArea(entry.Parent, parents)) {
      reaction = TReaction::Actions;
    }
    reactions.push_back(reaction);
  }
  return reactions;
}

// An event filter without a class of its own for each use.
class TEventFilter final : public QObject {
 public:
  explicit TEventFilter(std::function<bool(QObject*, QEvent*)> filter)
      : filter_(std::move(filter)) {}
  bool eventFilter(QObject* watched, QEvent* event) override { return filter_(watched, event); }

 private:
  std::function<bool(QObject*, QEvent*)> filter_;
};

template <class W>
W* Named(QWidget* parent, const char* name) {
  auto* widget = new W(parent);  // owned by its parent
  widget->setObjectName(name);
  return widget;
}

}  // namespace

struct TPreviewArea::TImpl {
  TImpl(TPreviewArea& area, config::SettingsStore& store, const input::TInputList& list)
      : Area(area), Store(store), List(list) {}

  void Build();
  void Schedule(bool forceActions);
  void Submit();
  void Show(core::TPreviewOutcome outcome);
  void Place();
  void Reacted(const config::TSettingEntry& entry);
  bool ZoomKey(QKeyEvent& event);
  void Elide(QLabel& label, const std::string& path) const;
  void ApplyBackground(QColor color);
  core::TPreviewSize BoxSize() const;
  bool PreviewOn() const { return Store.Checked("PBCH", "vor_okay"); }
  const std::string& Zoom() const { return Store.Text("PBCB", "vor_resize"); }

  TPreviewArea& Area;
  config::SettingsStore& Store;
  const input::TInputList& List;

  QScrollArea* Box = nullptr;
  QWidget* Canvas = nullptr;
  TPreviewPicture* Picture = nullptr;
  QWidget* Strip = nullptr;
  QComboBox* ZoomBox = nullptr;
  QLabel* Original = nullptr;
  QLabel* Output = nullptr;

  std::string Source;
  std::string OriginalShown, OutputShown;  // the full paths the two labels shorten
  QImage Image;
  core::TPreviewSize Estimated;
  int Frame = 1;
  QColor FrameColor = Qt::black;
  QColor Background;
  TMessageHandler Messages;

  std::vector<TReaction> EntryReactions;
  config::SettingsStore::TListenerId Listener = 0;
  std::unique_ptr<TStoreBinding> Binding;
  std::unique_ptr<TEventFilter> Filter;
  // Store changes arrive in bursts (a configuration, a language switch, a dragged scroll
  // bar): they only mark the preview as wanted, and the timer asks for it once.
  std::unique_ptr<QTimer> Coalesce;
  bool ForceActions = false;
  uint64_t Requested = 0, Shown = 0, CacheEpoch = 0;
  // Receives the outcomes on the window's thread; its end drops those still on their way.
  std::unique_ptr<QObject> Receiver;
  std::unique_ptr<core::TPreviewRenderer> Renderer;
};

void TPreviewArea::TImpl::Build() {
  auto* layout = new QVBoxLayout(&Area);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Box = Named<QScrollArea>(&Area, "vor_box");
  Box->setWidgetResizable(false);
  Canvas = new QWidget;  // the scroll area takes it
  Canvas->setAutoFillBackground(true);
  Picture = new TPreviewPicture(Canvas);
  Picture->hide();
  Box->setWidget(Canvas);
  Box->viewport()->setAutoFillBackground(true);
  layout->addWidget(Box, 1);

  Strip = Named<QWidget>(&Area, "pa_vorschau_unten");
  auto* grid = new QGridLayout(Strip);
  grid->setContentsMargins(4, 4, 4, 4);
  auto* okay = Named<QCheckBox>(Strip, "vor_okay");
  auto* zoomRow = new QHBoxLayout;
  zoomRow->addWidget(Named<QLabel>(Strip, "Label10"));
  ZoomBox = Named<QComboBox>(Strip, "vor_resize");
  ZoomBox->setEditable(true);  // before binding: the user types percentages
  ZoomBox->setInsertPolicy(QComboBox::NoInsert);
  zoomRow->addWidget(ZoomBox);
  zoomRow->addStretch(1);
  grid->addWidget(okay, 0, 0);
  grid->addLayout(zoomRow, 0, 1);
  grid->addWidget(Named<QLabel>(Strip, "Label11"), 1, 0);
  Original = Named<QLabel>(Strip, "vor_orig");
  grid->addWidget(Original, 1, 1);
  grid->addWidget(Named<QLabel>(Strip, "Label12"), 2, 0);
  Output = Named<QLabel>(Strip, "vor_out");
  grid->addWidget(Output, 2, 1);
  grid->setColumnStretch(1, 1);
  // The paths are shortened to the labels' widths, never the other way round.
  for (QLabel* label : {Original, Output})
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(Strip);
}

core::TPreviewSize TPreviewArea::TImpl::BoxSize() const {
  // The client size without scroll bars, so that showing them does not change the zoom.
  const QSize size = Box->maximumViewportSize();
  return {size.width(), size.height()};
}

void TPreviewArea::TImpl::Schedule(bool forceActions) {
  ForceActions = ForceActions || forceActions;
  if (!Coalesce->isActive()) Coalesce->start();
}

void TPreviewArea::TImpl::Submit() {
  const bool force = std::exchange(ForceActions, false);
  if (Source.empty()) return;
  std::error_code error;
  if (!std::filesystem::is_regular_file(Source, error)) return;
  OriginalShown = Source;
  Elide(*Original, OriginalShown);

  core::TPreviewRequest request;
  request.Generation = Requested + 1;
  request.Path = Source;
  request.Zoom = Zoom();
  request.Box = BoxSize();
  request.CacheEpoch = CacheEpoch;
  if (force || PreviewOn()) {
    request.Settings.emplace();
    config::KonvertierWerteSetzen(Store, *request.Settings);
  }
  Requested = request.Generation;
  Renderer->Request(std::move(request));
}

void TPreviewArea::TImpl::Show(core::TPreviewOutcome outcome) {
  if (outcome.Generation != Requested) return;  // a later request is on its way
  Shown = outcome.Generation;
  if (outcome.Loaded) {
    Image = WrapImage(std::move(outcome.Result.Image));
    Estimated = outcome.Result.Estimated;
  } else {
    Image = QImage();
    Estimated = {};
  }
  Picture->SetImage(Image);
  Place();
  if (Messages)
    for (const auto& [key, argument] : outcome.Messages) Messages(key, argument);
  Area.VorschauPfad();
}

void TPreviewArea::TImpl::Place() {
  const core::TPreviewSize box = BoxSize();
  if (Image.isNull()) {
    Picture->hide();
    Canvas->resize(box.Width, box.Height);
    return;
  }
  const core::TPreviewSize image{Image.width(), Image.height()};
  // A scroll bar that appears takes its extent from the other direction.
  const int extent = Box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Box);
  core::TPreviewSize view = box;
  core::TPreviewPlacement placement = core::PlacePreview(image, Frame, view);
  for (int pass = 0; pass < 2; ++pass) {
    const bool horizontal = placement.Scroll.Width > view.Width;
    const bool vertical = placement.Scroll.Height > view.Height;
    const core::TPreviewSize next{box.Width - (vertical ? extent : 0),
                                  box.Height - (horizontal ? extent : 0)};
    if (next == view) break;
    view = next;
    placement = core::PlacePreview(image, Frame, view);
  }
  Canvas->resize(std::max(placement.Scroll.Width, view.Width),
                 std::max(placement.Scroll.Height, view.Height));
  Picture->setGeometry(placement.Left, placement.Top, placement.Picture.Width,
                       placement.Picture.Height);
  Picture->show();
}

void TPreviewArea::TImpl::Reacted(const config::TSettingEntry& entry) {
  const auto index = size_t(&entry - Store.Entries().data());
  if (index >= EntryReactions.size()) return;
  switch (EntryReactions[index]) {
    case TReaction::None:
      break;
    case TReaction::Actions:
      if (PreviewOn()) Schedule(false);
      break;
    case TReaction::Okay:
      Schedule(false);
      break;
    case TReaction::Zoom:
      ++CacheEpoch;
      Schedule(false);
      break;
    case TReaction::OutputName:
      Area.VorschauPfad();
      break;
    case TReaction::Strip:
      Strip->setVisible(entry.Number != 0);
      break;
  }
}

bool TPreviewArea::TImpl::ZoomKey(QKeyEvent& event) {
  char32_t key = 0;
  if (event.key() == Qt::Key_Backspace) {
    key = config::kBackspace;
  } else {
    // Keys that type nothing (arrows, Delete, Enter) and shortcuts keep their meaning.
    const QList<uint> typed = event.text().toUcs4();
    if (typed.isEmpty() || typed.front() < 0x20 ||
        (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
      return false;
    key = typed.front();
  }
  const config::TKeyOutcome outcome =
      config::KeyPressed(Store, Store.IndexOf("PBCB", "vor_resize"), key);
  if (!outcome.Accepted) return true;
  if (outcome.ClearFirst) ZoomBox->lineEdit()->clear();
  return false;
}

void TPreviewArea::TImpl::ApplyBackground(QColor color) {
  Background = color;
  for (QWidget* widget : {Canvas, Box->viewport()}) {
    QPalette colors = widget->palette();
    colors.setColor(QPalette::Window, color);
    widget->setPalette(colors);
  }
  Picture->SetBackground(color);
}

void TPreviewArea::TImpl::Elide(QLabel& label, const std::string& path) const {
  const QFontMetrics metrics(label.font());
  const lang::TTextWidth width = [&metrics](std::string_view text) {
    return metrics.horizontalAdvance(Q(text));
  };
  label.setText(Q(lang::MinimizeName(path, width, label.contentsRect().width())));
}

TPreviewArea::TPreviewArea(config::SettingsStore& store, const input::TInputList& list,
                           QWidget* parent)
    : QWidget(parent), impl_(std::make_unique<TImpl>(*this, store, list)) {
  TImpl& impl = *impl_;
  impl.Build();
  SetControlTexts(*this, "Tprog", store.Language());
  impl.Binding = std::make_unique<TStoreBinding>(store, *this, "PB");
  impl.Strip->setVisible(store.Checked("PBPA", "pa_vorschau_unten"));
  impl.ApplyBackground(palette().color(QPalette::Base));  // the window color
  impl.Picture->SetFrame(impl.Frame, impl.FrameColor);

  impl.Coalesce = std::make_unique<QTimer>();
  impl.Coalesce->setSingleShot(true);
  impl.Coalesce->setInterval(0);
  impl.Receiver = std::make_unique<QObject>();
  QObject::connect(impl.Coalesce.get(), &QTimer::timeout, impl.Receiver.get(), [&impl] {
    try {
      impl.Submit();
    } catch (const std::exception&) {
      // The store lacks a control the settings need: no preview rather than an exception
      // in the event loop.
    }
  });
  QObject* receiver = impl.Receiver.get();
  impl.Renderer =
      std::make_unique<core::TPreviewRenderer>([receiver, &impl](core::TPreviewOutcome outcome) {
        auto shared = std::make_shared<core::TPreviewOutcome>(std::move(outcome));
        QMetaObject::invokeMethod(
            receiver,
            [&impl, shared] {
              try {
                impl.Show(std::move(*shared));
              } catch (const std::exception&) {
                // Showing failed (memory): the picture stays as it was.
              }
            },
            Qt::QueuedConnection);
      });

  impl.Filter = std::make_unique<TEventFilter>([&impl](QObject* watched, QEvent* event) {
    if (watched == impl.ZoomBox->lineEdit() && event->type() == QEvent::KeyPress)
      return impl.ZoomKey(*static_cast<QKeyEvent*>(event));
    if (event->type() != QEvent::Resize) return false;
    if (watched == impl.Box) {
      impl.Place();
      if (core::ZoomFollowsBox(impl.Zoom())) {
        ++impl.CacheEpoch;
        impl.Schedule(false);
      }
    } else if (watched == impl.Original) {
      impl.Elide(*impl.Original, impl.OriginalShown);
    } else if (watched == impl.Output) {
      impl.Elide(*impl.Output, impl.OutputShown);
    }
    return false;
  });
  for (QObject* watched : std::initializer_list<QObject*>{impl.Box, impl.ZoomBox->lineEdit(),
                                                          impl.Original, impl.Output})
    watched->installEventFilter(impl.Filter.get());

  impl.EntryReactions = Reactions(store);
  impl.Listener =
      store.AddChangeListener([&impl](const config::TSettingEntry& entry) { impl.Reacted(entry); });
}

TPreviewArea::~TPreviewArea() {
  impl_->Store.RemoveChangeListener(impl_->Listener);
  // The thread ends first; what it sent on its way then goes with the receiver.
  impl_->Renderer.reset();
  impl_->Receiver.reset();
}

void TPreviewArea::VorschauSetzen(const std::string& path) {
  impl_->Source = path;
  impl_->Original->setToolTip(Q(path));
  InvalidateCache();
  Vorschau();
}

void TPreviewArea::Vorschau() {
  impl_->Schedule(false);
}

void TPreviewArea::VorschauWennAktiv() {
  if (impl_->PreviewOn()) Vorschau();
}

void TPreviewArea::VorschauPfad() {
  TImpl& impl = *impl_;
  if (impl.Source.empty()) return;
  core::ConversionSettings settings;
  config::TakeOutputSettings(impl.Store, settings);
  core::TOutputNameValues values;
  const auto entries = impl.List.Entries();
  const auto found =
      std::find_if(entries.begin(), entries.end(),
                   [&](const input::InputListEntry& e) { return e.Path == impl.Source; });
  values.Index = found == entries.end() ? 0 : size_t(found - entries.begin());
  values.Count = std::max<size_t>(entries.size(), 1);
  values.Width = impl.Estimated.Width;
  values.Height = impl.Estimated.Height;
  impl.OutputShown = core::ResolveOutputPath(settings, impl.Source, values);
  impl.Output->setToolTip(Q(impl.OutputShown));
  impl.Elide(*impl.Output, impl.OutputShown);
}

void TPreviewArea::InvalidateCache() {
  ++impl_->CacheEpoch;
}

void TPreviewArea::PreviewOnce(bool reload) {
  if (reload) InvalidateCache();
  impl_->Schedule(true);
}

void TPreviewArea::SetBackgroundColor(uint32_t windowsColor) {
  impl_->ApplyBackground(FromWindowsColor(windowsColor));
}

void TPreviewArea::SetFrameColor(uint32_t windowsColor) {
  impl_->FrameColor = FromWindowsColor(windowsColor);
  impl_->Picture->SetFrame(impl_->Frame, impl_->FrameColor);
}

void TPreviewArea::SetFrameWidth(int pixels) {
  impl_->Frame = std::max(pixels, 0);
  impl_->Picture->SetFrame(impl_->Frame, impl_->FrameColor);
  impl_->Place();
}

void TPreviewArea::LanguageChanged(lang::TLanguage) {
  // The paths read the same in every language; the labels' fonts may have changed.
  impl_->Elide(*impl_->Original, impl_->OriginalShown);
  impl_->Elide(*impl_->Output, impl_->OutputShown);
}

void TPreviewArea::SetMessageHandler(TMessageHandler handler) {
  impl_->Messages = std::move(handler);
}

void TPreviewArea::WaitUntilIdle() {
  TImpl& impl = *impl_;
  // The outcome arrives as an event; the heartbeat only keeps a lost one from blocking
  // forever.
  QTimer heartbeat;
  heartbeat.start(100);
  QElapsedTimer clock;
  clock.start();
  while ((impl.Coalesce->isActive() || impl.Shown != impl.Requested) && clock.elapsed() < 120000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QImage TPreviewArea::ShownImage() const {
  return impl_->Image;
}

std::string TPreviewArea::SourcePath() const {
  return impl_->Source;
}

size_t TPreviewArea::RenderCount() const {
  return impl_->Renderer->Renders();
}

}  // namespace pixolan::ui
