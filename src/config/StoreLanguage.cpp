#include "config/StoreLanguage.h"

#include <array>
#include <span>
#include <string>

#include "core/ValueText.h"
#include "lang/WindowTexts.h"

namespace pixolan::config {

namespace {

struct TPair {
  std::string_view De, En;
};

constexpr TPair kKeep = {"<beibehalten>", "<keep>"};
constexpr TPair kFolder = {"%ordner%", "%folder%"};
constexpr TPair kWidth = {"%breite%", "%width%"};
constexpr TPair kHeight = {"%höhe%", "%height%"};
constexpr TPair kBicubic = {"Bikubisch", "Bicubic"};
constexpr TPair kNearest = {"Nächster Nachbar", "Nearest"};

// The preview zoom's named entries come from the window's language table.
const std::array<TPair, 3>& ZoomItems() {
  static const std::array<TPair, 3> items = [] {
    std::array<TPair, 3> result;
    for (size_t i = 0; i < result.size(); ++i) {
      const std::string property = "item " + std::to_string(i);
      result[i] = {*lang::MainWindowText("vor_resize", property, TLanguage::De),
                   *lang::MainWindowText("vor_resize", property, TLanguage::En)};
    }
    return result;
  }();
  return items;
}
constexpr TPair kFolderItems[] = {
    {"<beibehalten>", "<keep>"},
    {"%ordner%/neu", "%folder%/new"},
    {"Benutzerdefiniert..", "Custom.."},
};
constexpr TPair kChannelItems[] = {{"Rot", "Red"}, {"Grün", "Green"}, {"Blau", "Blue"}};
constexpr TPair kMissingChannelItems[] = {
    {"Weiß", "White"}, {"Schwarz", "Black"}, {"Negativ", "Negative"}};
constexpr TPair kFormatItems[] = {
    {"*.jpg - JPEG-Bild", "*.jpg - JPEG-Image"},
    {"*.jpeg - JPEG-Bild", "*.jpeg - JPEG-Image"},
    {"*.jfif - JPEG-Bild", "*.jfif - JPEG-Image"},
    {"*.jpe - JPEG-Bild", "*.jpe - JPEG-Image"},
    {"*.jif - JPEG-Bild", "*.jif - JPEG-Image"},
    {"*.psd - Photoshop Bild", "*.psd - Photoshop Image"},
    {"*.pdd - Photoshop Bild", "*.pdd - Photoshop Image"},
    {"*.tga - Truevision Targa Bild", "*.tga - Truevision Targa Image"},
};

std::string_view From(const TPair& pair, TLanguage to) {
  return to == TLanguage::En ? pair.De : pair.En;
}
std::string_view To(const TPair& pair, TLanguage to) {
  return to == TLanguage::En ? pair.En : pair.De;
}

void ReplaceFirst(std::string& text, const TPair& pair, TLanguage to) {
  const std::string_view from = From(pair, to);
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), To(pair, to));
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view replacement) {
  for (size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + replacement.size()))
    text.replace(at, from.size(), replacement);
}

void ReplaceAll(std::string& text, const TPair& pair, TLanguage to) {
  ReplaceAll(text, From(pair, to), To(pair, to));
}

// A text of a fixed list in either language becomes the same entry in `to`.
bool MapFixed(std::string& text, std::span<const TPair> pairs, TLanguage to) {
  for (const TPair& pair : pairs) {
    if (text == pair.De || text == pair.En) {
      text = To(pair, to);
      return true;
    }
  }
  return false;
}

bool IsGammaBox(std::string_view name) {
  return name == "act_farberot" || name == "act_farbegruen" || name == "act_farbeblau";
}

}  // namespace

std::string TranslatedText(const TSettingEntry& entry, std::string_view text, TLanguage to) {
  std::string result(text);
  if (entry.Window != "PB" || entry.Kind != TControlKind::Combo) return result;
  const std::string_view name = entry.Name;
  if (name == "vor_resize") {
    result = To(ZoomItems()[0], to);
  } else if (name == "act_farbevert1" || name == "act_farbevert2") {
    MapFixed(result, kChannelItems, to);
  } else if (name == "act_channels_zufarbe") {
    MapFixed(result, kMissingChannelItems, to);
  } else if (name == "out_ordner") {
    ReplaceFirst(result, kKeep, to);
    ReplaceAll(result, kFolder, to);
  } else if (name == "out_name") {
    ReplaceFirst(result, kKeep, to);
    ReplaceAll(result, kWidth, to);
    ReplaceAll(result, kHeight, to);
  } else if (name == "out_format") {
    ReplaceFirst(result, kKeep, to);
    MapFixed(result, kFormatItems, to);
  } else if (name == "act_sizemethode") {
    ReplaceFirst(result, kBicubic, to);
    ReplaceFirst(result, kNearest, to);
  } else if (IsGammaBox(name) && core::IsDecimalText(result)) {
    for (char& c : result)
      if (c == ',' || c == '.') c = to == TLanguage::De ? ',' : '.';
  }
  return result;
}

std::vector<std::string> ComboItems(const TSettingEntry& entry, TLanguage language) {
  std::vector<std::string> items = entry.Items;
  if (language == TLanguage::De || entry.Window != "PB") return items;
  const std::string_view name = entry.Name;
  for (std::string& item : items) {
    if (name == "vor_resize") {
      MapFixed(item, ZoomItems(), language);
    } else if (name == "out_ordner") {
      MapFixed(item, kFolderItems, language);
    } else {
      item = TranslatedText(entry, item, language);
      ReplaceAll(item, "Benutzerdefiniert", "Custom");
      ReplaceAll(item, "Benutzer", "Custom");
    }
  }
  return items;
}

}  // namespace pixolan::config
