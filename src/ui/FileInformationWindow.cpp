#include "ui/FileInformationWindow.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <string_view>

#include "core/ImageFiles.h"
#include "imaging/io/Registry.h"
#include "platform/JpegMetadata.h"

namespace pixolan::ui {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The window's own texts; the language tables hold none for it.
struct TCaption {
  std::string_view Name, German, English;
};
constexpr TCaption kCaptions[] = {
    {"window title", "Dateiinformationen", "File Information"},
    {"close", "Schließen", "Close"},
    {"info_name", "Datei:", "File:"},
    {"info_folder", "Ordner:", "Folder:"},
    {"info_size", "Größe:", "Size:"},
    {"info_dimensions", "Abmessungen:", "Dimensions:"},
    {"info_format", "Format:", "Format:"},
    {"info_modified", "Geändert:", "Modified:"},
    {"info_created", "Erstellt:", "Created:"},
    {"info_read", "Letzter Zugriff:", "Last read:"},
    {"info_exif_Make", "Kamerahersteller:", "Camera maker:"},
    {"info_exif_Model", "Kameramodell:", "Camera model:"},
    {"info_exif_DateTimeOriginal", "Aufnahmedatum:", "Date taken:"},
    {"info_exif_ExposureTime", "Belichtungszeit:", "Exposure time:"},
    {"info_exif_FNumber", "Blende:", "F-number:"},
    {"info_exif_ISOSpeedRatings", "ISO-Empfindlichkeit:", "ISO speed:"},
    {"info_exif_FocalLength", "Brennweite:", "Focal length:"},
    {"pixels", "Pixel", "pixels"},
    {"bytes", "Bytes", "bytes"},
};

std::string Caption(std::string_view name, lang::TLanguage language) {
  for (const TCaption& caption : kCaptions)
    if (caption.Name == name)
      return std::string(lang::InLanguage(language, caption.German, caption.English));
  return std::string(name);
}

QLocale LocaleOf(lang::TLanguage language) {
  return QLocale(language == lang::TLanguage::De ? QLocale::German : QLocale::English);
}

std::string DateText(const QDateTime& time, lang::TLanguage language) {
  return time
      .toString(language == lang::TLanguage::De ? "dd.MM.yyyy HH:mm:ss" : "yyyy-MM-dd HH:mm:ss")
      .toStdString();
}

std::string FormatName(const std::string& path) {
  try {
    if (const imaging::TImageFileFormat* format = imaging::DetectFileFormat(path))
      return format->Name;
    // Icons and cursors have no content test: their name decides, as when they are listed.
    if (const imaging::TImageFileFormat* format = core::ResultFormatOf(path);
        format && (input::ListType(path) == "ICO" || input::ListType(path) == "CUR"))
      return format->Name;
  } catch (const std::exception&) {
    // A file that cannot be examined shows no format.
  }
  return {};
}

}  // namespace

std::vector<TFileInformationLine> FileInformationLines(const input::InputListEntry& entry,
                                                       lang::TLanguage language) {
  std::vector<TFileInformationLine> lines;
  const auto add = [&](std::string_view name, std::string value) {
    if (!value.empty())
      lines.push_back({std::string(name), Caption(name, language), std::move(value)});
  };
  const QFileInfo info(Q(entry.Path));
  add("info_name", info.fileName().toStdString());
  add("info_folder", info.absolutePath().toStdString());
  if (info.exists()) {
    const uint64_t bytes = uint64_t(info.size());
    add("info_size", input::SizeText(bytes, language == lang::TLanguage::De ? "," : ".") + " (" +
                         LocaleOf(language).toString(qulonglong(bytes)).toStdString() + " " +
                         Caption("bytes", language) + ")");
  }
  if (!entry.Width.empty() && !entry.Height.empty())
    add("info_dimensions", entry.Width + " x " + entry.Height + " " + Caption("pixels", language));
  add("info_format", FormatName(entry.Path));
  if (info.exists()) {
    add("info_modified", DateText(info.lastModified(), language));
    if (info.birthTime().isValid()) add("info_created", DateText(info.birthTime(), language));
    add("info_read", DateText(info.lastRead(), language));
  }
  try {
    if (const auto metadata = platform::ReadJpegMetadata(entry.Path)) {
      for (const platform::TJpegMetadata::TField& field : metadata->MainFields())
        add("info_exif_" + field.Tag, field.Value);
    }
  } catch (const platform::EJpegMetadataError&) {
    // Damaged metadata: the window shows what the file itself tells.
  }
  return lines;
}

TFileInformationWindow::TFileInformationWindow(const input::InputListEntry& entry,
                                               lang::TLanguage language, QWidget* parent)
    : QDialog(parent) {
  setObjectName("TFileInformation");
  setWindowTitle(Q(Caption("window title", language)));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (const TFileInformationLine& line : FileInformationLines(entry, language)) {
    auto* value = new QLabel(Q(line.Value), this);
    value->setObjectName(Q(line.Name));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(true);
    form->addRow(Q(line.Caption), value);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText(Q(Caption("close", language)));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace pixolan::ui
