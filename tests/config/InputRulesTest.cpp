#include <gtest/gtest.h>

#include "config/InputRules.h"

namespace pixolan::config {
namespace {

TEST(InputRules, KeysByControlFamily) {
  constexpr bool kIn = true, kOut = false;
  const struct {
    std::string_view control, text;
    char32_t key;
    bool accepted;
    bool message = false;
    bool clearFirst = false;
  } cases[] = {
      // Digits only, with the numbers-only message.
      {"act_sizebenutzer_x", "64", '0', kIn},
      {"act_sizebenutzer_x", "64", kBackspace, kIn},
      {"act_sizebenutzer_x", "64", 'a', kOut, true},
      {"act_sizebenutzer_x", "64", '-', kOut, true},
      {"act_weich_gr_v", "~", '2', kIn},
      {"act_randbreite", "", ',', kOut, true},
      // Signed integers while the text is one (or still empty or a lone sign).
      {"act_farbe_r", "10", '-', kIn},
      {"act_farbe_r", "-", '5', kIn},
      {"act_farbe_r", "", '5', kIn},
      {"act_farbe_r", "10", 'x', kOut},
      {"act_farbe_r", "abc", '1', kOut},
      {"act_farbe_r", "abc", kBackspace, kIn},
      {"act_hart_st", "35", '0', kIn},
      // Decimals.
      {"act_farberot", "1", ',', kIn},
      {"act_farberot", "1", '.', kIn},
      {"act_farberot", "1,0", '5', kIn},
      {"act_farberot", ",", '5', kIn},
      {"act_farberot", "1,0", '-', kOut},
      {"act_farberot", "x", '1', kOut},
      // Percentages while the text is an integer within 0..100.
      {"act_wz_transpwert", "50", '0', kIn},
      {"act_wz_transpwert", "100", '0', kIn},
      {"act_wz_transpwert", "1000", '0', kOut},
      {"act_wz_transpwert", "1000", kBackspace, kIn},
      {"act_text_transpwert", "", '7', kIn},
      {"act_randtransp", "5", '%', kOut},
      // The output quality: refused while the box holds a number outside 1..100.
      {"EACB.out_quality", "100", '0', kIn},
      {"EACB.out_quality", "1000", '0', kOut},
      {"EACB.out_quality", "0", '5', kOut},
      {"EACB.out_quality", "", '5', kIn},
      {"EACB.out_quality", "1000", kBackspace, kIn},
      {"EACB.out_quality", "95", 'a', kOut},
      // Read-only lists.
      {"act_sizemethode", "Bicubic", 'B', kOut},
      {"act_channels_zufarbe", "White", kBackspace, kOut},
      {"out_format", "<keep>", 'x', kOut},
      // Output name and folder: no characters a name cannot hold; "<keep>" starts anew.
      {"out_name", "<keep>", 'a', kIn, false, true},
      {"out_name", "<beibehalten>", 'a', kIn, false, true},
      {"out_name", "%name%", 'a', kIn},
      {"out_name", "%name%", '/', kOut},
      {"out_name", "%name%", '\\', kOut},
      {"out_name", "%name%", ':', kOut},
      {"out_name", "<keep>", '?', kOut},
      {"out_ordner", "<keep>", '/', kIn, false, true},
      {"out_ordner", "/tmp", ':', kIn},
      {"out_ordner", "/tmp", '*', kOut},
      {"out_ordner", "/tmp", '"', kOut},
      // Preview zoom: digits and "%"; a "<...>" text is replaced.
      {"vor_resize", "<Adjust>", '5', kIn, false, true},
      {"vor_resize", "50", '%', kIn},
      {"vor_resize", "50", 'x', kOut},
      // Folder boxes take "/", the renamer's name fields do not.
      {"inp_ordner", "", '/', kIn},
      {"inp_ordner", "", '?', kOut},
      {"quordner", "", '|', kOut},
      {"maske", "%name%", '/', kOut},
      {"maske", "%name%", '1', kIn},
      {"numstart", "1", 'a', kOut},
      {"DFED.filter", "jpg", ',', kIn},
      {"DFED.filter", "jpg", '*', kOut},
      // Controls without a rule take anything.
      {"act_wz_quelle", "", '*', kIn},
  };
  SettingsStore store;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " '" + std::string(c.text) + "' " +
                 std::to_string(static_cast<uint32_t>(c.key)));
    const size_t index = store.Resolve(c.control);
    store.SetText(index, std::string(c.text), TChangeSource::Program);
    const TKeyOutcome outcome = KeyPressed(store, index, c.key);
    EXPECT_EQ(outcome.Accepted, c.accepted);
    EXPECT_EQ(outcome.ShowNumbersOnlyMessage, c.message);
    EXPECT_EQ(outcome.ClearFirst, c.clearFirst);
  }
  EXPECT_EQ(NumbersOnlyMessage(TLanguage::De), "In diesem Feld sind nur Zahleneingaben erlaubt.");
  EXPECT_EQ(NumbersOnlyMessage(TLanguage::En), "In this box only numerical entries are allowed.");
}

TEST(InputRules, CustomEntryClearsTheBoxOtherEntriesBecomeTheText) {
  const struct {
    TLanguage language;
    std::string_view control;
    size_t item;
    bool cleared;
    std::string_view text;
  } cases[] = {
      {TLanguage::En, "act_sizebenutzer_x", 19, true, ""},  // "Custom.."
      {TLanguage::De, "act_sizebenutzer_x", 19, true, ""},  // "Benutzer.."
      {TLanguage::En, "act_sizebenutzer_x", 10, false, "1024"},
      {TLanguage::En, "out_ordner", 2, true, ""},
      {TLanguage::De, "out_name", 7, true, ""},  // "Benutzerdefiniert.."
      {TLanguage::En, "out_name", 6, false, "%name% (%width%x%height%)"},
      {TLanguage::En, "act_sizemethode", 2, false, "Nearest"},
      {TLanguage::En, "act_sizemethode", 3, false, "Bicubic"},  // out of range: unchanged
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " " + std::to_string(c.item));
    SettingsStore store(c.language);
    const size_t index = store.Resolve(c.control);
    EXPECT_EQ(ItemChosen(store, index, c.item), c.cleared);
    EXPECT_EQ(store.Entry(index).Text, c.text);
  }
  // Choosing a value is a user change: the tied scroll bar follows.
  SettingsStore store;
  ItemChosen(store, store.Resolve("act_hart_st"), 0);
  EXPECT_EQ(store.Number("PBSB", "ScrollBar11"), 300);
}

TEST(InputRules, EmptyBoxGetsItsValueBackOnLeaving) {
  const struct {
    TLanguage language;
    std::string_view control, text, after;
  } cases[] = {
      {TLanguage::En, "act_sizebenutzer_x", "", "640"},
      {TLanguage::En, "act_sizebenutzer_y", "", "480"},
      {TLanguage::En, "act_wz_benutzer_y", "", "480"},
      {TLanguage::En, "act_text_p_benutzer_pixelou", "", "100"},
      {TLanguage::En, "act_randbreite", "", "5"},
      {TLanguage::En, "act_zuschoben", "", "0"},
      {TLanguage::En, "act_weich_gr_v", "", "~"},
      {TLanguage::En, "act_weich_gr_h", "", "1"},
      {TLanguage::En, "act_hart_gr", "", "2"},
      {TLanguage::En, "out_ordner", "", "<keep>"},
      {TLanguage::De, "out_ordner", "", "<beibehalten>"},
      {TLanguage::En, "out_name", "", "%name%-1"},
      {TLanguage::En, "act_sizebenutzer_x", "12", "12"},  // not empty: kept
      {TLanguage::En, "act_farbe_r", "", ""},             // no rule
      {TLanguage::En, "act_wz_quelle", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control));
    SettingsStore store(c.language);
    const size_t index = store.Resolve(c.control);
    store.SetText(index, std::string(c.text));
    FocusLeft(store, index);
    EXPECT_EQ(store.Entry(index).Text, c.after);
  }
}

}  // namespace
}  // namespace pixolan::config
