#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "lang/Messages.h"

namespace pixolan::lang {
namespace {

constexpr int kWide = 1000;

TEST(Messages, EveryKeyHasItsTitleAndLinesInBothLanguages) {
  // key, language, title, the three lines as shown; the argument is "/x/a.png".
  const struct {
    std::string_view key;
    TLanguage language;
    std::string_view title, line1, line2, line3;
  } cases[] = {
      {"ordnerfalschopen", TLanguage::De, "Falscher Ordner angegeben",
       "Dieser Ordner kann nicht durchsucht werden:", "\"/x/a.png\"",
       "Geben Sie einen richtigen Ordner an und versuchen Sie es erneut."},
      {"ordnerfalschopen", TLanguage::En, "False Folder", "This Folder can not be searched in:",
       "\"/x/a.png\"", "Enter a correct Folder and try again."},
      {"ordnerfalsch", TLanguage::De, "Falscher Ordner angegeben",
       "Dies ist kein richtiger Ordner zum Speichern von Dateien:", "\"/x/a.png\"",
       "Geben Sie unter \"Ordner\" einen richtigen Ordner für Ihre Bilder an."},
      {"ordnerfalsch", TLanguage::En, "False Folder",
       "This is not a correct Folder for Saving Files:", "\"/x/a.png\"",
       "Enter a correct Folder for your Images and try again."},
      {"keinordner", TLanguage::De, "Kein Ordner angegeben",
       "Ihre Bilder konnten leider nicht bearbeitet werden, da unter den",
       "Speicheroptionen kein Ordner für die Bilder angegeben wurde.",
       "Geben Sie unter \"Ordner\" einen Ordner für Ihre Bilder an."},
      {"keinordner", TLanguage::En, "No Folder declared",
       "Your Images could not be processed, because in the",
       "Saving-Options no Folder is declared.",
       "Enter a correct Folder for your Images and try again."},
      {"keinname", TLanguage::De, "Kein Dateiname angegeben",
       "Ihre Bilder konnten leider nicht bearbeitet werden, da unter den",
       "Speicheroptionen kein Dateiname für die Bilder angegeben wurde.",
       "Geben Sie unter \"Dateiname\" einen Namen für Ihre Bilder an."},
      {"keinname", TLanguage::En, "No Filename declared",
       "Your Images could not be processed, because in the",
       "Saving-Options no Filename is declared.",
       "Enter a correct Filename for your Images and try again."},
      {"formatfehler", TLanguage::De, "Format nicht unterstützt",
       "Das Format dieser Datei wird leider nicht unterstützt:", "\"/x/a.png\"",
       "Eine Übersicht der unterstützten Formate finden Sie auf unserer Webseite."},
      {"formatfehler", TLanguage::En, "Format not supported",
       "Unfortunately, the Format of this File is not supported:", "\"/x/a.png\"",
       "An overview of the supported Formats is on our Web Site."},
      {"dateischoninliste", TLanguage::De, "Datei ist schon hinzugefügt",
       "Diese Datei befindet sich bereits in der Liste:", "\"/x/a.png\"",
       "Dateien können nur einmal zur Liste hinzugefügt werden."},
      {"dateischoninliste", TLanguage::En, "File already added",
       "This file is added to the List already:", "\"/x/a.png\"",
       "A File can be added to the List only for one time."},
      {"keinestartkonfig", TLanguage::De, "Startkonfiguration nicht definiert",
       "Es kann keine Startkonfiguration geladen werden, da keine definiert",
       "wurde (als Datei auto.pxc im Programmverzeichnis).",
       "Speichern Sie eine Konfiguation als auto.pxc im Programmverzeichnis."},
      {"keinestartkonfig", TLanguage::En, "Start Configuration not defined",
       "It is not possible to load a Start Configuration, because no one is",
       "defined (as File named auto.pxc in the Application Folder).",
       "Save a Configuration as auto.pxc in the Application Folder."},
      {"speicherfehler", TLanguage::De, "Fehler beim Speichern",
       "Es kam zu einem Fehler beim Speichern dieser Datei:", "\"/x/a.png\"",
       "Benutzen Sie ein anderes Format."},
      {"speicherfehler", TLanguage::En, "Saving Error", "An Erros occurs during saving this file:",
       "\"/x/a.png\"", "Please use another file format."},
      {"konvertierfehler", TLanguage::De, "Fehler beim Konvertieren",
       "Es kam zu einem Fehler beim Konvertieren dieser Datei:", "\"/x/a.png\"",
       "Benutzen Sie ein anderes Format."},
      {"konvertierfehler", TLanguage::En, "Converting Error",
       "An Error occurs during converting this file:", "\"/x/a.png\"",
       "Please use another file format."},
      {"originalweg", TLanguage::De, "Achtung!",
       "Mit dieser Option werden alle Originaldateien nach dem Konvertieren",
       "unwiederruflich gelöscht und Ihnen bleiben nur die konvertierten Bilder.",
       "Gelöschte Dateien können nicht wiederhergestellt werden."},
      {"originalweg", TLanguage::En, "Attention!",
       "With this option all original files will be deleted after converting",
       "and only the converted files will be there.",
       "Original files can not be recovered after deleting."},
  };
  size_t index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + std::string(LanguageCode(c.language)));
    const TMessage message = ComposeMessage(c.key, "/x/a.png", c.language, CharacterWidth, kWide);
    EXPECT_EQ(message.Key, c.key);
    EXPECT_EQ(message.Title, c.title);
    EXPECT_EQ(message.Lines[0], c.line1);
    EXPECT_EQ(message.Lines[1], c.line2);
    EXPECT_EQ(message.Lines[2], c.line3);
    // The catalogue lists the keys in this order, German before English.
    EXPECT_EQ(MessageCatalogue()[index / 2].Key, c.key);
    ++index;
  }
  EXPECT_EQ(index, MessageCatalogue().size() * 2);
}

TEST(Messages, OnlyMessagesThatRecurInOneOperationOfferOkForAll) {
  const std::vector<std::string_view> recurring = {"formatfehler", "dateischoninliste",
                                                   "speicherfehler", "konvertierfehler"};
  for (const TCatalogueEntry& entry : MessageCatalogue()) {
    const bool expected =
        std::find(recurring.begin(), recurring.end(), entry.Key) != recurring.end();
    EXPECT_EQ(ComposeMessage(entry.Key, "", TLanguage::En, CharacterWidth, kWide).OffersOkForAll,
              expected)
        << entry.Key;
  }
}

TEST(Messages, AnEmptyArgumentShowsTwoQuotesAndUnknownKeysAreRefused) {
  EXPECT_EQ(ComposeMessage("formatfehler", "", TLanguage::De, CharacterWidth, kWide).Lines[1],
            "\"\"");
  EXPECT_THROW(ComposeMessage("Formatfehler", "", TLanguage::De, CharacterWidth, kWide),
               std::invalid_argument);
  EXPECT_THROW(CatalogueEntry(""), std::invalid_argument);
}

TEST(Messages, TheArgumentIsShortenedToTheLineWidth) {
  const TMessage message = ComposeMessage("speicherfehler", "/home/anna/Bilder/Urlaub/bild.jpg",
                                          TLanguage::De, CharacterWidth, 20);
  EXPECT_EQ(message.Lines[1], "\"/.../Urlaub/bild.jpg\"");
}

TEST(MinimizeName, LeadingFoldersGiveWayStepByStep) {
  const std::string path = "C:\\Users\\Anna\\Urlaub\\bild.jpg";
  // Each width with the widest text that fits, or the shortest there is.
  const struct {
    int width;
    std::string_view expected;
  } cases[] = {
      {100, "C:\\Users\\Anna\\Urlaub\\bild.jpg"},
      {29, "C:\\Users\\Anna\\Urlaub\\bild.jpg"},
      {28, "C:\\...\\Anna\\Urlaub\\bild.jpg"},
      {23, "C:\\...\\Urlaub\\bild.jpg"},
      {22, "C:\\...\\Urlaub\\bild.jpg"},
      {21, "C:\\...\\bild.jpg"},
      {15, "C:\\...\\bild.jpg"},
      {14, "...\\bild.jpg"},
      {12, "...\\bild.jpg"},
      {11, "bild.jpg"},
      {3, "bild.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    EXPECT_EQ(MinimizeName(path, CharacterWidth, c.width, '\\'), c.expected);
  }
}

TEST(MinimizeName, WorksOnNativePathsAndNeverCutsTheName) {
  const struct {
    std::string_view path;
    int width;
    std::string_view expected;
  } cases[] = {
      {"/home/anna/Urlaub/bild.jpg", 20, "/.../Urlaub/bild.jpg"},
      {"/home/anna/Urlaub/bild.jpg", 26, "/home/anna/Urlaub/bild.jpg"},
      {"/home/anna/Urlaub/bild.jpg", 19, "/.../bild.jpg"},
      {"/home/anna/Urlaub/bild.jpg", 12, ".../bild.jpg"},
      {"/home/anna/Urlaub/bild.jpg", 1, "bild.jpg"},
      {"ein_sehr_langer_dateiname.jpg", 5, "ein_sehr_langer_dateiname.jpg"},
      {"/bild.jpg", 3, "bild.jpg"},
      {"relativ/ordner/bild.jpg", 19, ".../ordner/bild.jpg"},
      {"relativ/ordner/bild.jpg", 18, ".../bild.jpg"},
      {"/Über/Ärger/ö.jpg", 16, "/.../Ärger/ö.jpg"},
      {"/Über/Ärger/ö.jpg", 15, "/.../ö.jpg"},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.width));
    EXPECT_EQ(MinimizeName(c.path, CharacterWidth, c.width), c.expected);
  }
}

class TRecordingFrontEnd final : public TMessageFrontEnd {
 public:
  explicit TRecordingFrontEnd(bool answer) : answer_(answer) {}
  int TextWidth(std::string_view text) const override { return CharacterWidth(text) * 2; }
  int ArgumentWidth() const override { return 40; }
  bool ShowMessage(const TMessage& message) override {
    shown_.push_back(message);
    return answer_;
  }
  const std::vector<TMessage>& Shown() const { return shown_; }

 private:
  bool answer_;
  std::vector<TMessage> shown_;
};

TEST(Meldungzeigen, ShowsInTheCurrentLanguageAndReportsOkForAllWhereOffered) {
  TRecordingFrontEnd frontEnd(true);
  SetCurrentLanguage(TLanguage::De);
  EXPECT_TRUE(meldungzeigen(frontEnd, "konvertierfehler", "/home/anna/Urlaub/bild.jpg"));
  SetCurrentLanguage(TLanguage::En);
  EXPECT_FALSE(meldungzeigen(frontEnd, "originalweg", ""));
  EXPECT_TRUE(meldungzeigen(frontEnd, "dateischoninliste", "a.png"));
  SetCurrentLanguage(TLanguage::De);
  ASSERT_EQ(frontEnd.Shown().size(), 3u);
  EXPECT_EQ(frontEnd.Shown()[0].Title, "Fehler beim Konvertieren");
  // The front end's font is two units a character and its line 40 units wide.
  EXPECT_EQ(frontEnd.Shown()[0].Lines[1], "\"/.../Urlaub/bild.jpg\"");
  EXPECT_EQ(frontEnd.Shown()[1].Title, "Attention!");
  EXPECT_FALSE(frontEnd.Shown()[1].OffersOkForAll);
  EXPECT_EQ(frontEnd.Shown()[2].Lines[1], "\"a.png\"");
  EXPECT_THROW(meldungzeigen(frontEnd, "unknown", ""), std::invalid_argument);
  EXPECT_EQ(frontEnd.Shown().size(), 3u);
}

}  // namespace
}  // namespace pixolan::lang
