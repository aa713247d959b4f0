#include <gtest/gtest.h>

#include <map>

#include "config/SettingsStore.h"
#include "config/StoreDefinition.h"
#include "config/StoreLanguage.h"
#include "core/ConversionSettings.h"

namespace pixolan::config {
namespace {

std::vector<std::string> Split(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t space = text.find(' ', start);
    const size_t end = space == std::string_view::npos ? text.size() : space;
    if (end > start) parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Every section of a full configuration with its keys in file order.
const std::pair<std::string_view, std::string_view> kSections[] = {
    {"PBED",
     "inp_ordner act_wz_quelle act_wz_transpfarbe act_randfarbe act_text_fontcolor "
     "act_text_hintergrund"},
    {"PBCB",
     "vor_resize out_ordner out_name out_format act_sizebenutzer_x act_sizebenutzer_y "
     "act_sizemethode act_drehencb act_farberedcb act_farbevert1 act_farbevert2 act_farbe_r "
     "act_farbe_g act_farbe_b act_farberot act_farbegruen act_farbeblau act_farbekontrast "
     "act_farbehelligkeit act_farbesaettigung act_zuschlinks act_zuschrechts act_zuschoben "
     "act_zuschunten act_wz_transpwert act_wz_p_benutzer_pixelou act_wz_p_benutzer_pixellr "
     "act_wz_benutzer_x act_wz_benutzer_y act_randbreite act_randtransp act_channels_zufarbe "
     "act_text_transpwert act_text_p_benutzer_pixelou act_text_p_benutzer_pixellr "
     "act_text_benutzer_x act_text_benutzer_y act_weich_gr_h act_weich_gr_v act_hart_st "
     "act_hart_gr"},
    {"PBRB",
     "out_overwrite out_newimage act_sizebenutzer act_size1024x768 act_size800x600 "
     "act_size640x480 act_size240x320 rb_zuschn_abschneiden rb_zuschn_beibehalten "
     "act_wz_g_original act_wz_g_resize act_wz_p_mittig act_wz_p_benutzer act_wz_g_benutzer "
     "act_channels_rgb act_channels_cmyk act_text_g_schrift act_text_p_mittig "
     "act_text_p_benutzer act_text_g_benutzer act_text_g_resize"},
    {"PBCH",
     "inp_ow inp_uv inp_cbwatch vor_okay out_deleteoriginal act_size act_sizeprop "
     "act_sizehochquerformat act_sizebigger act_sizekleiner act_drehenspiegeln act_spiegelnvert "
     "act_drehen act_spiegelnhor act_farbe act_farbenegativ act_farbereduzieren "
     "act_farbevertauschen act_farbegamma act_farbe_kolorieren act_wasserzeichen "
     "act_zuschneiden act_khs act_wz_transpfarbeaktiv act_wz_p_benutzer_oben "
     "act_wz_p_benutzer_unten act_wz_p_benutzer_links act_wz_p_benutzer_rechts act_rand "
     "act_randhinzu act_channels act_channel_rot act_channel_gruen act_channel_blau "
     "act_channel_c act_channel_m act_channel_y act_channel_k act_text act_text_hgtransparent "
     "act_text_p_benutzer_oben act_text_p_benutzer_unten act_text_p_benutzer_links "
     "act_text_p_benutzer_rechts act_weich_gauss act_weich act_hart"},
    {"PBSB",
     "ScrollBar5 ScrollBar6 ScrollBar7 ScrollBar2 ScrollBar3 ScrollBar4 ScrollBar8 ScrollBar1 "
     "ScrollBar11"},
    {"PBPA",
     "Panel1 Panel2 Panel4 box_dat box_dat_top Panel5 box_vor box_vor_top pa_vorschau_unten "
     "Panel3 Panel7 box_sav box_sav_top Panel6 box_akt box_akt_top apanel10 apanel11 apanel20 "
     "apanel21 apanel30 apanel31 apanel60 apanel41 apanel50 apanel51 apanel40 apanel61 Panel8 "
     "apanel70 apanel71 apanelweitere0 apanelweitere1 apanel80 apanel81 apanel90 apanel91 "
     "Panel9 apanel100 apanel101 apanel41a apanel40a apanel40b apanel41b Panel12"},
    {"PBRF", "r0 r1 r2 r3 r4 r5 r6 r7 r8 r9 r10"},
    {"PBMM", "act_text_quelle"},
    {"PFRB", "alle auswahl"},
    {"PFCH",
     "jpg bmp cb_bitmap dib cb_jpg jpeg jfif jpe jif png mng jng gif cb_photoshop ico tif "
     "cb_tiff tiff psd pdd cur jp2 cb_jpg2000 j2k j2c jpx jpc cb_portable pbm pgm ppm pam pfm "
     "dds tga pcx xpm"},
    {"EACB", "out_quality"},
    {"EASB", "ScrollBar1"},
    {"EACH", "progressivaktiv psdlayers"},
    {"PSCH",
     "alle act_size act_drehenspiegeln act_farbe act_khs act_zuschneiden act_wasserzeichen "
     "act_rand act_channels act_text opt_order act_weich act_hart"},
    {"DUED", "quordner suchenalt suchenneu"},
    {"DUCB", "maske numstart"},
    {"DUCH", "uv suchenersetzen cb_suchendung cb_suchname"},
    {"DFRB", "alle auswahl"},
    {"DFED", "filter"},
    {"SCED", "beldateien"},
    {"FCE", "FSI FCL FON FBO FIT FUN FSO"},
    {"SP", "PF PB PH PT PL PR PO"},
    {"SD", "PF PB PH PT PL"},
    {"PA", "AI AV AA AO"},
    {"AS", "N P A"},
    {"AC", "AC"},
};

TEST(SettingsStore, HoldsEverySectionWithItsKeysInOrder) {
  const SettingsStore store;
  std::map<std::string, std::vector<std::string>> found;
  for (const TSettingEntry& entry : store.Entries()) found[entry.Section].push_back(entry.Name);
  size_t total = 0;
  for (const auto& [section, keys] : kSections) {
    SCOPED_TRACE(std::string(section));
    EXPECT_EQ(found[std::string(section)], Split(keys));
    total += Split(keys).size();
  }
  EXPECT_EQ(store.Count(), total) << "entries outside the listed sections";
}

TEST(SettingsStore, InitialValuesOfBothLanguages) {
  const struct {
    std::string_view section, name, de, en;
  } cases[] = {
      {"PBCB", "vor_resize", "<Anpassen>", "<Adjust>"},
      {"PBCB", "out_ordner", "<beibehalten>", "<keep>"},
      {"PBCB", "out_name", "%name%-1", "%name%-1"},
      {"PBCB", "out_format", "<beibehalten>", "<keep>"},
      {"PBCB", "act_sizemethode", "Bikubisch", "Bicubic"},
      {"PBCB", "act_drehencb", "90°", "90°"},
      {"PBCB", "act_farbevert1", "Rot", "Red"},
      {"PBCB", "act_farbevert2", "Blau", "Blue"},
      {"PBCB", "act_farberot", "1,0", "1.0"},
      {"PBCB", "act_channels_zufarbe", "Weiß", "White"},
      {"PBCB", "act_hart_st", "35", "35"},
      {"PBCB", "act_weich_gr_v", "~", "~"},
      {"PBCB", "act_wz_benutzer_x", "640", "640"},
      {"PBCB", "act_text_p_benutzer_pixellr", "100", "100"},
      {"PBCB", "act_randbreite", "5", "5"},
      {"PBED", "act_wz_transpfarbe", "#FFFFFF", "#FFFFFF"},
      {"PBED", "act_text_fontcolor", "#000000", "#000000"},
      {"PBMM", "act_text_quelle", "abc", "abc"},
      {"PBRF", "r0", "01   Bildgröße", "01   Image Size"},
      {"PBRF", "r3", "04   Kontr. Hell. Sätt.", "04   Contr. Brightn. Sat."},
      {"PBRF", "r10", "11   Text hinzufügen", "11   Add Text"},
      {"EACB", "out_quality", "95", "95"},
      {"DUCB", "maske", "%name%", "%name%"},
      {"DFED", "filter", "jpg,bmp,txt", "jpg,bmp,txt"},
      {"SCED", "beldateien", "jpg,bmp,png", "jpg,bmp,png"},
      {"FCE", "FON", "Courier New", "Courier New"},
  };
  const SettingsStore de(TLanguage::De), en(TLanguage::En);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(de.Text(c.section, c.name), c.de);
    EXPECT_EQ(en.Text(c.section, c.name), c.en);
    EXPECT_EQ(en.Entry(en.IndexOf(c.section, c.name)).InitialText, c.en);
  }
  const struct {
    std::string_view section, name;
    int32_t value;
  } numbers[] = {
      {"PBCH", "inp_uv", 1},
      {"PBCH", "vor_okay", 1},
      {"PBCH", "act_size", 0},
      {"PBCH", "act_sizeprop", 1},
      {"PBCH", "act_channel_k", 1},
      {"PBCH", "act_wz_p_benutzer_unten", 1},
      {"PBCH", "act_wz_p_benutzer_oben", 0},
      {"PBRB", "out_newimage", 1},
      {"PBRB", "act_size640x480", 1},
      {"PBRB", "act_text_g_schrift", 1},
      {"PBRB", "act_text_g_resize", 0},
      {"PBSB", "ScrollBar8", 50},
      {"PBSB", "ScrollBar11", 35},
      {"PBSB", "ScrollBar5", 0},
      {"PBPA", "apanel10", 1},
      {"PBPA", "apanel11", 0},
      {"PBPA", "Panel12", 1},
      {"EASB", "ScrollBar1", 95},
      {"EACH", "psdlayers", 1},
      {"EACH", "progressivaktiv", 0},
      {"PFRB", "alle", 1},
      {"DUCH", "uv", 1},
      {"DUCH", "cb_suchname", 1},
      {"DFRB", "alle", 1},
      {"FCE", "FSI", 16},
      {"FCE", "FCL", -16777208},
      {"FCE", "FBO", 1},
      {"SP", "PB", 842},
      {"SP", "PH", 696},
      {"SP", "PR", 316},
      {"SP", "PO", 312},
      {"SD", "PB", 592},
      {"SD", "PH", 615},
      {"PA", "AO", 1},
      {"AS", "N", 1},
      {"AS", "A", 0},
      {"AC", "AC", 1},
  };
  for (const auto& c : numbers) {
    SCOPED_TRACE(std::string(c.section) + "." + std::string(c.name));
    EXPECT_EQ(en.Number(c.section, c.name), c.value);
  }
}

TEST(SettingsStore, EveryScrollBarFollowsItsComboAndStartsEqual) {
  const SettingsStore store;
  size_t ties = 0;
  for (size_t i = 0; i < store.Count(); ++i) {
    const TSettingEntry& bar = store.Entry(i);
    if (bar.Kind != TControlKind::ScrollBar) continue;
    SCOPED_TRACE(bar.QualifiedName());
    ASSERT_NE(bar.Tie, TSettingEntry::kNoTie);
    EXPECT_LT(bar.Tie, i) << "the combo box must be loaded before its scroll bar";
    EXPECT_EQ(store.Entry(bar.Tie).Tie, i);
    EXPECT_EQ(store.Entry(bar.Tie).Window, bar.Window);
    EXPECT_EQ(store.Entry(bar.Tie).Text, std::to_string(bar.Number));
    ++ties;
  }
  EXPECT_EQ(ties, 10u);
  // The watched folder is loaded before the watch switch.
  EXPECT_LT(store.IndexOf("PBED", "inp_ordner"), store.IndexOf("PBCH", "inp_ow"));
}

TEST(SettingsStore, CheckingARadioUnchecksItsGroupOnly) {
  SettingsStore store;
  const auto check = [&](std::string_view name) {
    store.SetChecked(store.IndexOf("PBRB", name), true);
  };
  check("act_sizebenutzer");
  EXPECT_TRUE(store.Checked("PBRB", "act_sizebenutzer"));
  EXPECT_FALSE(store.Checked("PBRB", "act_size640x480"));
  // The watermark's size and position radios sit on different parents.
  check("act_wz_g_benutzer");
  check("act_wz_p_benutzer");
  EXPECT_TRUE(store.Checked("PBRB", "act_wz_g_benutzer"));
  EXPECT_FALSE(store.Checked("PBRB", "act_wz_g_original"));
  EXPECT_FALSE(store.Checked("PBRB", "act_wz_p_mittig"));
  EXPECT_TRUE(store.Checked("PBRB", "act_text_p_mittig"));
  // The two "alle"/"auswahl" pairs of different windows are separate groups.
  store.SetChecked(store.IndexOf("PFRB", "auswahl"), true);
  EXPECT_FALSE(store.Checked("PFRB", "alle"));
  EXPECT_TRUE(store.Checked("DFRB", "alle"));
  // Unchecking leaves the group without a checked radio.
  store.SetChecked(store.IndexOf("PBRB", "out_newimage"), false);
  EXPECT_FALSE(store.Checked("PBRB", "out_newimage"));
  EXPECT_FALSE(store.Checked("PBRB", "out_overwrite"));
}

TEST(SettingsStore, ScrollBarsClampAndWriteTheirCombo) {
  const struct {
    std::string_view bar, combo;
    int32_t position, expected;
  } cases[] = {
      {"PBSB.ScrollBar5", "PBCB.act_farbe_r", 40, 40},
      {"PBSB.ScrollBar5", "PBCB.act_farbe_r", 999, 300},
      {"PBSB.ScrollBar11", "PBCB.act_hart_st", -301, -300},
      {"PBSB.ScrollBar8", "PBCB.act_wz_transpwert", -5, 0},
      {"PBSB.ScrollBar1", "PBCB.act_text_transpwert", 101, 100},
      {"EASB.ScrollBar1", "EACB.out_quality", 0, 1},
      {"EASB.ScrollBar1", "EACB.out_quality", 80, 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.bar) + " " + std::to_string(c.position));
    SettingsStore store;
    store.SetNumber(store.Resolve(c.bar), c.position);
    EXPECT_EQ(store.Entry(store.Resolve(c.bar)).Number, c.expected);
    EXPECT_EQ(store.Entry(store.Resolve(c.combo)).Text, std::to_string(c.expected));
  }
}

TEST(SettingsStore, TypedIntegerMovesTheBarButAProgramWriteDoesNot) {
  const struct {
    std::string_view text;
    TChangeSource source;
    int32_t bar;
    std::string_view comboAfter;
  } cases[] = {
      {"40", TChangeSource::User, 40, "40"},
      {"-120", TChangeSource::User, -120, "-120"},
      {"abc", TChangeSource::User, 0, "abc"},  // not an integer: the bar stays
      {"", TChangeSource::User, 0, ""},
      {"400", TChangeSource::User, 300, "300"},  // the bar moved, so it writes its position
      {"40", TChangeSource::Program, 0, "40"},   // loading a combo runs no handler
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    SettingsStore store;
    store.SetText(store.IndexOf("PBCB", "act_farbe_r"), std::string(c.text), c.source);
    EXPECT_EQ(store.Number("PBSB", "ScrollBar5"), c.bar);
    EXPECT_EQ(store.Text("PBCB", "act_farbe_r"), c.comboAfter);
  }
  // A typed value beyond the range that clamps to the current position changes nothing
  // else: "1000" stays in the quality box while the bar stays at 100.
  SettingsStore store;
  store.SetNumber(store.Resolve("EASB.ScrollBar1"), 100);
  store.SetText(store.Resolve("out_quality"), "1000");
  EXPECT_EQ(store.Text("EACB", "out_quality"), "1000");
  EXPECT_EQ(store.Number("EASB", "ScrollBar1"), 100);
}

TEST(SettingsStore, ColorFieldsKeepTheirLastValidColor) {
  SettingsStore store;
  const size_t field = store.IndexOf("PBED", "act_randfarbe");
  const struct {
    std::string_view text;
    uint32_t color;
  } steps[] = {
      {"#FF0000", 0x0000FF}, {"#00FF0", 0x0000FF},  // five digits: the previous color stays
      {"zzz", 0x0000FF},     {"", 0x0000FF},       {"#00ff00", 0x00FF00},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.text));
    store.SetText(field, std::string(step.text));
    EXPECT_EQ(store.Entry(field).Color, step.color);
    EXPECT_EQ(store.Entry(field).Text, step.text);
  }
  // The text font's color follows the text color field, also for program writes.
  store.SetText(store.IndexOf("PBED", "act_text_fontcolor"), "#123456", TChangeSource::Program);
  EXPECT_EQ(store.Number("FCE", "FCL"), 0x563412);
  store.SetText(store.IndexOf("PBED", "act_text_fontcolor"), "#12345");
  EXPECT_EQ(store.Number("FCE", "FCL"), 0x563412);
}

TEST(SettingsStore, SideCheckBoxesExcludeEachOther) {
  SettingsStore store;
  store.SetChecked(store.IndexOf("PBCH", "act_wz_p_benutzer_oben"), true);
  EXPECT_FALSE(store.Checked("PBCH", "act_wz_p_benutzer_unten"));
  store.SetChecked(store.IndexOf("PBCH", "act_wz_p_benutzer_unten"), true);
  EXPECT_FALSE(store.Checked("PBCH", "act_wz_p_benutzer_oben"));
  // Unticking one does not tick the other; the other pairs stay as they are.
  store.SetChecked(store.IndexOf("PBCH", "act_wz_p_benutzer_unten"), false);
  EXPECT_FALSE(store.Checked("PBCH", "act_wz_p_benutzer_oben"));
  EXPECT_TRUE(store.Checked("PBCH", "act_wz_p_benutzer_rechts"));
  EXPECT_TRUE(store.Checked("PBCH", "act_text_p_benutzer_unten"));
}

TEST(SettingsStore, TickingAnActionOpensItsOptionsAndClosesOthersWithAutoClose) {
  const struct {
    bool autoClose;
    bool resizeOptionsOpenAfter;
  } cases[] = {{true, false}, {false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.autoClose);
    SettingsStore store;
    store.SetChecked(store.IndexOf("AC", "AC"), c.autoClose);
    store.SetChecked(store.IndexOf("PBCH", "act_size"), true);
    EXPECT_TRUE(store.Checked("PBPA", "apanel11"));
    store.SetChecked(store.IndexOf("PBCH", "act_farbe"), true);
    EXPECT_TRUE(store.Checked("PBPA", "apanel31"));
    EXPECT_EQ(store.Checked("PBPA", "apanel11"), c.resizeOptionsOpenAfter);
    EXPECT_TRUE(store.Checked("PBPA", "apanel10")) << "header panels stay";
    store.SetChecked(store.IndexOf("PBCH", "act_farbe"), false);
    EXPECT_FALSE(store.Checked("PBPA", "apanel31"));
  }
  // A program write (a load) leaves the panels as they are.
  SettingsStore store;
  store.SetChecked(store.IndexOf("PBCH", "act_text"), true, TChangeSource::Program);
  EXPECT_FALSE(store.Checked("PBPA", "apanel91"));
}

TEST(SettingsStore, FormatFamilyTicksItsMembersForTheUser) {
  SettingsStore store;
  store.SetChecked(store.IndexOf("PFCH", "cb_jpg"), true);
  for (std::string_view member : {"jpg", "jpeg", "jfif", "jpe", "jif"})
    EXPECT_TRUE(store.Checked("PFCH", member)) << member;
  EXPECT_FALSE(store.Checked("PFCH", "bmp"));
  store.SetChecked(store.IndexOf("PFCH", "cb_jpg"), false);
  EXPECT_FALSE(store.Checked("PFCH", "jpeg"));
  store.SetChecked(store.IndexOf("PFCH", "cb_tiff"), true, TChangeSource::Program);
  EXPECT_FALSE(store.Checked("PFCH", "tif"));
}

TEST(SettingsStore, ChoosingAllOrSelectedFormatsBringsMembersToTheirFamilyBox) {
  SettingsStore store;
  store.SetChecked(store.IndexOf("PFRB", "auswahl"), true);
  store.SetChecked(store.IndexOf("PFCH", "cb_jpg"), true);
  store.SetChecked(store.IndexOf("PFCH", "jpeg"), false);
  // A member ticked on its own while its family box is not, as a configuration may hold.
  store.SetChecked(store.IndexOf("PFCH", "tif"), true, TChangeSource::Program);
  store.SetChecked(store.IndexOf("PFCH", "png"), true);
  store.SetChecked(store.IndexOf("PFRB", "alle"), true);
  EXPECT_TRUE(store.Checked("PFCH", "jpeg"));
  EXPECT_FALSE(store.Checked("PFCH", "tif"));
  EXPECT_TRUE(store.Checked("PFCH", "png"));  // single formats keep their state
  // Loading a configuration keeps the member states it stores.
  store.SetChecked(store.IndexOf("PFCH", "jpe"), false, TChangeSource::Program);
  store.SetChecked(store.IndexOf("PFRB", "auswahl"), true, TChangeSource::Program);
  EXPECT_FALSE(store.Checked("PFCH", "jpe"));
}

TEST(SettingsStore, ListenersSeeEveryChangedEntryInOrder) {
  SettingsStore store;
  std::vector<std::string> seen;
  const auto id = store.AddChangeListener(
      [&](const TSettingEntry& entry) { seen.push_back(entry.QualifiedName()); });
  store.SetNumber(store.IndexOf("PBSB", "ScrollBar8"), 70);
  EXPECT_EQ(seen, (std::vector<std::string>{"PBSB.ScrollBar8", "PBCB.act_wz_transpwert"}));
  seen.clear();
  store.SetChecked(store.IndexOf("PBRB", "act_size800x600"), true);
  EXPECT_EQ(seen, (std::vector<std::string>{"PBRB.act_size800x600", "PBRB.act_size640x480"}));
  seen.clear();
  store.SetChecked(store.IndexOf("PBRB", "act_size800x600"), true);  // no change, no call
  EXPECT_TRUE(seen.empty());
  store.RemoveChangeListener(id);
  store.SetText(store.IndexOf("PBED", "inp_ordner"), "/tmp");
  EXPECT_TRUE(seen.empty());
}

TEST(SettingsStore, ListenerMayChangeTheStore) {
  SettingsStore store;
  const size_t input = store.IndexOf("PBED", "inp_ordner");
  const size_t watch = store.IndexOf("PBCH", "inp_ow");
  store.AddChangeListener([&](const TSettingEntry& entry) {
    if (entry.Name == "inp_ordner") store.SetChecked(watch, !entry.Text.empty());
  });
  store.SetText(input, "/home");
  EXPECT_TRUE(store.Checked("PBCH", "inp_ow"));
}

TEST(SettingsStore, ResolvesPlainAndQualifiedNames) {
  const SettingsStore store;
  const struct {
    std::string_view name;
    std::string_view error;  // empty: resolves
  } cases[] = {
      {"act_sizebenutzer_x", ""},
      {"pbcb.ACT_SIZEBENUTZER_X", ""},
      {"EASB.ScrollBar1", ""},
      {"PBSB.ScrollBar1", ""},
      {"PF", "setting 'PF' is used by several windows: use SP.PF or SD.PF"},
      {"alle",
       "setting 'alle' is used by several windows: use PFRB.alle, PSCH.alle or "
       "DFRB.alle"},
      {"nonsense", "unknown setting 'nonsense'"},
      {"PBCB.act_size", "unknown setting 'PBCB.act_size'"},
      {"", "unknown setting ''"},
      {".", "unknown setting '.'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    if (c.error.empty()) {
      EXPECT_EQ(store.Entry(store.Resolve(c.name)).Name.size(),
                c.name.substr(c.name.find('.') + 1).size());
    } else {
      try {
        store.Resolve(c.name);
        ADD_FAILURE() << "resolved";
      } catch (const ESettingNameError& e) {
        EXPECT_EQ(e.what(), c.error);
      }
    }
  }
  // A bare name means the main window's control; the dialogs' namesakes need a section.
  EXPECT_EQ(store.Resolve("act_size"), store.IndexOf("PBCH", "act_size"));
  EXPECT_EQ(store.Resolve("ScrollBar1"), store.IndexOf("PBSB", "ScrollBar1"));
  EXPECT_NE(store.Resolve("PSCH.act_size"), store.Resolve("PBCH.act_size"));
}

TEST(SettingsStore, ValuesAsText) {
  const struct {
    std::string_view name, value, printed;
    bool valid;
  } cases[] = {
      {"act_size", "1", "1", true},
      {"act_size", "0", "0", true},
      {"act_size", "7", "1", true},
      {"act_size", "0x0", "0", true},
      {"act_size", "yes", "", false},
      {"act_size", "", "", false},
      {"PBSB.ScrollBar5", "-45", "-45", true},
      {"PBSB.ScrollBar5", "0x10", "16", true},
      {"PBSB.ScrollBar5", "1,5", "", false},
      {"PBSB.ScrollBar5", "+1", "", false},
      {"FCE.FCL", "0xFFFFFFFF", "-1", true},
      {"act_sizebenutzer_x", " 800 ", " 800 ", true},
      {"out_name", "%name%_klein", "%name%_klein", true},
      {"act_text_quelle", "line 1\x1Fline 2", "line 1\x1Fline 2", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "=" + std::string(c.value));
    SettingsStore store;
    const size_t index = store.Resolve(c.name);
    const std::string before = store.ValueText(index);
    if (c.valid) {
      store.SetValueText(index, c.value);
      EXPECT_EQ(store.ValueText(index), c.printed);
    } else {
      EXPECT_THROW(store.SetValueText(index, c.value), ESettingValueError);
      EXPECT_EQ(store.ValueText(index), before);
    }
  }
  SettingsStore store;
  store.SetValueText(store.Resolve("act_text_quelle"),
                     "a\x1F"
                     "b");
  EXPECT_EQ(store.Text("PBMM", "act_text_quelle"), "a\r\nb");
}

TEST(SettingsStore, WrongKindIsAProgrammingError) {
  SettingsStore store;
  EXPECT_THROW(store.SetText(store.IndexOf("PBCH", "act_size"), "1"), std::logic_error);
  EXPECT_THROW(store.SetChecked(store.IndexOf("PBCB", "out_name"), true), std::logic_error);
  EXPECT_THROW(store.SetNumber(store.IndexOf("PBRB", "out_overwrite"), 1), std::logic_error);
  EXPECT_THROW(store.IndexOf("PBCB", "nothing"), std::out_of_range);
}

TEST(SettingsStore, LanguageSwitchKeepsSettingsAndExchangesTokens) {
  const struct {
    std::string_view name, de, en;
  } cases[] = {
      {"out_name", "%name%_%breite%x%höhe%", "%name%_%width%x%height%"},
      {"out_ordner", "/Bilder/<beibehalten>/<beibehalten>", "/Bilder/<keep>/<beibehalten>"},
      {"out_ordner", "%ordner%/x/%ordner%", "%folder%/x/%folder%"},
      {"out_format", "*.tga - Truevision Targa Bild", "*.tga - Truevision Targa Image"},
      {"out_format", "*.png - Portable Network Graphics", "*.png - Portable Network Graphics"},
      {"act_sizemethode", "Nächster Nachbar", "Nearest"},
      {"act_sizemethode", "Bilinear", "Bilinear"},
      {"act_farbevert1", "Grün", "Green"},
      {"act_channels_zufarbe", "Negativ", "Negative"},
      {"act_farberot", "0,25", "0.25"},
      {"act_farbe_r", "-40", "-40"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::string(c.de));
    SettingsStore store(TLanguage::De);
    const size_t index = store.IndexOf("PBCB", c.name);
    store.SetText(index, std::string(c.de));
    store.SwitchLanguage(TLanguage::En);
    EXPECT_EQ(store.Entry(index).Text, c.en);
    store.SwitchLanguage(TLanguage::De);
    EXPECT_EQ(store.Entry(index).Text, c.de);
  }
  // The order list keeps its order; the zoom returns to its first entry.
  SettingsStore store(TLanguage::De);
  store.SetText(store.IndexOf("PBRF", "r0"), "11   Text hinzufügen");
  store.SetText(store.IndexOf("PBRF", "r10"), "01   Bildgröße");
  store.SetText(store.IndexOf("PBCB", "vor_resize"), "50%");
  store.SwitchLanguage(TLanguage::En);
  EXPECT_EQ(store.Text("PBRF", "r0"), "11   Add Text");
  EXPECT_EQ(store.Text("PBRF", "r10"), "01   Image Size");
  EXPECT_EQ(store.Text("PBCB", "vor_resize"), "<Adjust>");
}

TEST(SettingsStore, ComboItemsFollowTheLanguage) {
  const SettingsStore store;
  const auto items = [&](std::string_view name, TLanguage language) {
    return ComboItems(store.Entry(store.IndexOf("PBCB", name)), language);
  };
  EXPECT_EQ(items("out_ordner", TLanguage::En),
            (std::vector<std::string>{"<keep>", "%folder%/new", "Custom.."}));
  EXPECT_EQ(items("out_ordner", TLanguage::De),
            (std::vector<std::string>{"<beibehalten>", "%ordner%/neu", "Benutzerdefiniert.."}));
  EXPECT_EQ(items("out_name", TLanguage::En).back(), "Custom..");
  EXPECT_EQ(items("out_name", TLanguage::En)[6], "%name% (%width%x%height%)");
  EXPECT_EQ(items("act_sizebenutzer_x", TLanguage::En).back(), "Custom..");
  EXPECT_EQ(items("act_sizebenutzer_x", TLanguage::De).back(), "Benutzer..");
  EXPECT_EQ(items("vor_resize", TLanguage::En)[2], "<Window Size>");
  EXPECT_EQ(items("vor_resize", TLanguage::En)[3], "10%");
  EXPECT_EQ(items("act_sizemethode", TLanguage::En),
            (std::vector<std::string>{"Bicubic", "Bilinear", "Nearest"}));
  EXPECT_EQ(items("act_farberot", TLanguage::En)[2], "0.25");
  EXPECT_EQ(items("out_format", TLanguage::En).size(), 29u);
  EXPECT_EQ(items("out_format", TLanguage::En)[1], "*.jpg - JPEG-Image");
  EXPECT_EQ(items("act_hart_st", TLanguage::De).size(), 42u);
}

}  // namespace
}  // namespace pixolan::config
