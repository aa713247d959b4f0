// The message catalogue: the ten messages the program shows, by key, in both languages;
// showing one through a front end; and MinimizeName, which shortens paths for display.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "lang/Language.h"

namespace pixolan::lang {

// The texts of one message in one language. A message with an argument uses Lines[0] and
// Lines[1] around the argument; the others use all three lines.
struct TMessageTexts {
  std::string_view Title;
  std::array<std::string_view, 3> Lines;
};

struct TCatalogueEntry {
  std::string_view Key;
  bool HasArgument;     // a file or folder path stands between the first two lines
  bool OffersOkForAll;  // the message can occur many times in one operation
  TMessageTexts De, En;
};

// The ten messages in catalogue order.
std::span<const TCatalogueEntry> MessageCatalogue();
// The entry of a key; raises std::invalid_argument for a key the catalogue lacks.
const TCatalogueEntry& CatalogueEntry(std::string_view key);

// Width of a text in some font, in that font's units.
using TTextWidth = std::function<int(std::string_view text)>;
// One unit per character (code point of UTF-8): the width for tests and the console.
int CharacterWidth(std::string_view text);

// Shortens a path for display to at most `width`: leading folders give way to "..."
// ("/home/anna/Urlaub/bild.jpg" becomes "/.../Urlaub/bild.jpg"), then the folder part
// and a drive ("X:") go altogether. The file name is never cut, so a bare name wider than
// `width` comes back whole. `separator` is the path's folder separator.
std::string MinimizeName(std::string_view path, const TTextWidth& textWidth, int width,
                         char separator = '/');

// A message as a window shows it: title and three lines in one language. For a message
// with an argument the second line is the argument, shortened and in double quotes.
struct TMessage {
  std::string Key;
  std::string Title;
  std::array<std::string, 3> Lines;
  bool OffersOkForAll = false;
};

// The message of `key` in `language`; the argument is shortened with MinimizeName to
// `argumentWidth` in `textWidth`'s units and is ignored by messages without one. Raises
// std::invalid_argument for an unknown key.
TMessage ComposeMessage(std::string_view key, std::string_view argument, TLanguage language,
                        const TTextWidth& textWidth, int argumentWidth);

// What a front end provides to show catalogue messages.
class TMessageFrontEnd {
 public:
  virtual ~TMessageFrontEnd() = default;
  // Width of a text in the font of the message's argument line.
  virtual int TextWidth(std::string_view text) const = 0;
  // Width of the argument line.
  virtual int ArgumentWidth() const = 0;
  // Shows the message and returns when the user has seen it: true when "OK for all" was
  // chosen (only offered when message.OffersOkForAll).
  virtual bool ShowMessage(const TMessage& message) = 0;
};

// Shows the catalogue message of `key` in the current interface language and returns
// whether the user chose "OK for all" (never for a message that does not offer it).
// Raises std::invalid_argument for an unknown key.
bool meldungzeigen(TMessageFrontEnd& frontEnd, std::string_view key, std::string_view argument);

}  // namespace pixolan::lang
