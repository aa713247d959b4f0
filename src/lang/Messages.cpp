#include "lang/Messages.h"

#include <stdexcept>
#include <utility>

namespace pixolan::lang {

namespace {

// The second line of "formatfehler" points to where the supported formats are listed.
constexpr TCatalogueEntry kCatalogue[] = {
    {"ordnerfalschopen",
     true,
     false,
     {"Falscher Ordner angegeben",
      {"Dieser Ordner kann nicht durchsucht werden:",
       "Geben Sie einen richtigen Ordner an und versuchen Sie es erneut.", ""}},
     {"False Folder",
      {"This Folder can not be searched in:", "Enter a correct Folder and try again.", ""}}},
    {"ordnerfalsch",
     true,
     false,
     {"Falscher Ordner angegeben",
      {"Dies ist kein richtiger Ordner zum Speichern von Dateien:",
       "Geben Sie unter \"Ordner\" einen richtigen Ordner für Ihre Bilder an.", ""}},
     {"False Folder",
      {"This is not a correct Folder for Saving Files:",
       "Enter a correct Folder for your Images and try again.", ""}}},
    {"keinordner",
     false,
     false,
     {"Kein Ordner angegeben",
      {"Ihre Bilder konnten leider nicht bearbeitet werden, da unter den",
       "Speicheroptionen kein Ordner für die Bilder angegeben wurde.",
       "Geben Sie unter \"Ordner\" einen Ordner für Ihre Bilder an."}},
     {"No Folder declared",
      {"Your Images could not be processed, because in the",
       "Saving-Options no Folder is declared.",
       "Enter a correct Folder for your Images and try again."}}},
    {"keinname",
     false,
     false,
     {"Kein Dateiname angegeben",
      {"Ihre Bilder konnten leider nicht bearbeitet werden, da unter den",
       "Speicheroptionen kein Dateiname für die Bilder angegeben wurde.",
       "Geben Sie unter \"Dateiname\" einen Namen für Ihre Bilder an."}},
     {"No Filename declared",
      {"Your Images could not be processed, because in the",
       "Saving-Options no Filename is declared.",
       "Enter a correct Filename for your Images and try again."}}},
    {"formatfehler",
     true,
     true,
     {"Format nicht unterstützt",
      {"Das Format dieser Datei wird leider nicht unterstützt:",
       "Eine Übersicht der unterstützten Formate finden Sie auf unserer Webseite.", ""}},
     {"Format not supported",
      {"Unfortunately, the Format of this File is not supported:",
       "An overview of the supported Formats is on our Web Site.", ""}}},
    {"dateischoninliste",
     true,
     true,
     {"Datei ist schon hinzugefügt",
      {"Diese Datei befindet sich bereits in der Liste:",
       "Dateien können nur einmal zur Liste hinzugefügt werden.", ""}},
     {"File already added",
      {"This file is added to the List already:",
       "A File can be added to the List only for one time.", ""}}},
    {"keinestartkonfig",
     false,
     false,
     {"Startkonfiguration nicht definiert",
      {"Es kann keine Startkonfiguration geladen werden, da keine definiert",
       "wurde (als Datei auto.pxc im Programmverzeichnis).",
       "Speichern Sie eine Konfiguation als auto.pxc im Programmverzeichnis."}},
     {"Start Configuration not defined",
      {"It is not possible to load a Start Configuration, because no one is",
       "defined (as File named auto.pxc in the Application Folder).",
       "Save a Configuration as auto.pxc in the Application Folder."}}},
    {"speicherfehler",
     true,
     true,
     {"Fehler beim Speichern",
      {"Es kam zu einem Fehler beim Speichern dieser Datei:", "Benutzen Sie ein anderes Format.",
       ""}},
     {"Saving Error",
      {"An Erros occurs during saving this file:", "Please use another file format.", ""}}},
    {"konvertierfehler",
     true,
     true,
     {"Fehler beim Konvertieren",
      {"Es kam zu einem Fehler beim Konvertieren dieser Datei:", "Benutzen Sie ein anderes Format.",
       ""}},
     {"Converting Error",
      {"An Error occurs during converting this file:", "Please use another file format.", ""}}},
    {"originalweg",
     false,
     false,
     {"Achtung!",
      {"Mit dieser Option werden alle Originaldateien nach dem Konvertieren",
       "unwiederruflich gelöscht und Ihnen bleiben nur die konvertierten Bilder.",
       "Gelöschte Dateien können nicht wiederhergestellt werden."}},
     {"Attention!",
      {"With this option all original files will be deleted after converting",
       "and only the converted files will be there.",
       "Original files can not be recovered after deleting."}}},
};

// Drops the first folder of a folder part, leaving "..." in its place: "/a/b/" gives
// "/.../b/", "/.../b/" gives "/.../", and a part of nothing but "..." gives nothing, so
// that shortening always ends.
void CutFirstFolder(std::string& folders, char separator) {
  if (folders.size() == 1 && folders.front() == separator) {
    folders.clear();
    return;
  }
  const bool root = folders.front() == separator;
  std::string_view rest = folders;
  if (root) rest.remove_prefix(1);
  if (rest.size() >= 4 && rest.substr(0, 3) == "..." && rest[3] == separator) rest.remove_prefix(4);
  const size_t next = rest.find(separator);
  std::string cut;
  if (next != std::string_view::npos) {
    if (root) cut.push_back(separator);
    cut.append("...").push_back(separator);
    cut.append(rest.substr(next + 1));
  } else if (root) {
    cut.push_back(separator);
  }
  folders = std::move(cut);
}

// Texts are built by append: g++ 12 warns falsely (-Wrestrict) on operator+ chains here.
std::string Joined(std::string_view drive, std::string_view folders, std::string_view name) {
  std::string text;
  text.reserve(drive.size() + folders.size() + name.size());
  text.append(drive).append(folders).append(name);
  return text;
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.append("\"").append(text).append("\"");
  return quoted;
}

}  // namespace

std::span<const TCatalogueEntry> MessageCatalogue() {
  return kCatalogue;
}

const TCatalogueEntry& CatalogueEntry(std::string_view key) {
  for (const TCatalogueEntry& entry : kCatalogue)
    if (entry.Key == key) return entry;
  throw std::invalid_argument("no message '" + std::string(key) + "' in the catalogue");
}

int CharacterWidth(std::string_view text) {
  int count = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

std::string MinimizeName(std::string_view path, const TTextWidth& textWidth, int width,
                         char separator) {
  std::string_view drive, name = path;
  if (name.size() >= 2 && name[1] == ':') {
    drive = name.substr(0, 2);
    name.remove_prefix(2);
  }
  std::string folders;
  const size_t last = name.rfind(separator);
  if (last != std::string_view::npos) {
    folders.assign(name.substr(0, last + 1));
    name.remove_prefix(last + 1);
  }
  std::string onlyEllipsis(1, separator);
  onlyEllipsis.append("...").push_back(separator);
  std::string result = Joined(drive, folders, name);
  while (textWidth(result) > width && (!drive.empty() || !folders.empty())) {
    if (folders == onlyEllipsis) {
      drive = {};
      folders = onlyEllipsis.substr(1);
    } else if (folders.empty()) {
      drive = {};
    } else {
      CutFirstFolder(folders, separator);
    }
    result = Joined(drive, folders, name);
  }
  return result;
}

TMessage ComposeMessage(std::string_view key, std::string_view argument, TLanguage language,
                        const TTextWidth& textWidth, int argumentWidth) {
  const TCatalogueEntry& entry = CatalogueEntry(key);
  const TMessageTexts& texts = language == TLanguage::De ? entry.De : entry.En;
  TMessage message;
  message.Key = entry.Key;
  message.Title = texts.Title;
  message.OffersOkForAll = entry.OffersOkForAll;
  if (entry.HasArgument) {
    message.Lines = {std::string(texts.Lines[0]),
                     Quoted(MinimizeName(argument, textWidth, argumentWidth)),
                     std::string(texts.Lines[1])};
  } else {
    message.Lines = {std::string(texts.Lines[0]), std::string(texts.Lines[1]),
                     std::string(texts.Lines[2])};
  }
  return message;
}

bool meldungzeigen(TMessageFrontEnd& frontEnd, std::string_view key, std::string_view argument) {
  const TMessage message = ComposeMessage(
      key, argument, CurrentLanguage(),
      [&frontEnd](std::string_view text) { return frontEnd.TextWidth(text); },
      frontEnd.ArgumentWidth());
  const bool okForAll = frontEnd.ShowMessage(message);
  return message.OffersOkForAll && okForAll;
}

}  // namespace pixolan::lang
