#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/Defaults.h"
#include "config/JobSettings.h"
#include "config/StoreDefinition.h"

namespace pixolan::config {
namespace {

std::string Value(const SettingsStore& store, std::string_view name) {
  return store.ValueText(store.Resolve(name));
}

// Some other value the control takes: booleans flip, scroll bars move, texts change.
void Disturb(SettingsStore& store, size_t index) {
  const TSettingEntry& entry = store.Entry(index);
  if (IsBooleanKind(entry.Kind))
    store.SetChecked(index, entry.Number == 0);
  else if (entry.Kind == TControlKind::ScrollBar || entry.Kind == TControlKind::Number)
    store.SetNumber(index, entry.Number == 7 ? 8 : 7);
  else if (entry.IsColorField)
    store.SetText(index, entry.Text == "#123456" ? "#654321" : "#123456");
  else
    store.SetText(index, entry.Text == "7" ? "8" : "7");
}

// Every value the reset sets, grouped as the reset's table groups them.
const struct {
  std::string_view value;
  std::vector<std::string_view> names;
} kResetValues[] = {
    {"", {"inp_ordner"}},
    {"#FFFFFF", {"act_wz_transpfarbe", "act_text_hintergrund"}},
    {"#000000", {"act_randfarbe", "act_text_fontcolor"}},
    {"<Anpassen>", {"vor_resize"}},
    {"<beibehalten>", {"out_format", "out_ordner"}},
    {"%name%-1", {"out_name"}},
    {"640", {"act_sizebenutzer_x", "act_wz_benutzer_x", "act_text_benutzer_x"}},
    {"480", {"act_sizebenutzer_y", "act_wz_benutzer_y", "act_text_benutzer_y"}},
    {"Bikubisch", {"act_sizemethode"}},
    {"90°", {"act_drehencb"}},
    {"2", {"act_farberedcb"}},
    {"Rot", {"act_farbevert1"}},
    {"Blau", {"act_farbevert2"}},
    {"0",
     {"act_farbe_r", "act_farbe_g", "act_farbe_b", "act_farbekontrast", "act_farbehelligkeit",
      "act_farbesaettigung", "act_zuschlinks", "act_zuschrechts", "act_zuschoben", "act_zuschunten",
      "act_randtransp"}},
    {"1,0", {"act_farberot", "act_farbegruen", "act_farbeblau"}},
    {"50", {"act_wz_transpwert", "act_text_transpwert"}},
    {"100",
     {"act_wz_p_benutzer_pixelou", "act_wz_p_benutzer_pixellr", "act_text_p_benutzer_pixelou",
      "act_text_p_benutzer_pixellr"}},
    {"5", {"act_randbreite"}},
    {"1", {"act_weich_gr_h", "act_hart_gr"}},
    {"~", {"act_weich_gr_v"}},
    {"35", {"act_hart_st"}},
    {"abc", {"act_text_quelle"}},
    {"1",
     {"inp_uv", "vor_okay", "act_sizeprop", "act_sizehochquerformat", "act_sizebigger",
      "act_sizekleiner", "act_wz_p_benutzer_unten", "act_wz_p_benutzer_rechts",
      "act_text_p_benutzer_unten", "act_text_p_benutzer_rechts"}},
    {"0",
     {"act_size",
      "act_drehenspiegeln",
      "act_spiegelnvert",
      "act_drehen",
      "act_spiegelnhor",
      "act_farbe",
      "act_farbenegativ",
      "act_farbereduzieren",
      "act_farbevertauschen",
      "act_farbegamma",
      "act_wasserzeichen",
      "act_zuschneiden",
      "act_khs",
      "act_wz_transpfarbeaktiv",
      "act_wz_p_benutzer_oben",
      "act_wz_p_benutzer_links",
      "act_rand",
      "act_randhinzu",
      "act_weich",
      "act_weich_gauss",
      "act_hart",
      "act_text",
      "act_text_hgtransparent",
      "act_text_p_benutzer_oben",
      "act_text_p_benutzer_links"}},
    {"1",
     {"rb_zuschn_abschneiden", "out_newimage", "act_size640x480", "act_wz_g_original",
      "act_wz_p_mittig", "act_text_p_mittig", "act_text_g_schrift"}},
    {"0",
     {"out_overwrite", "act_sizebenutzer", "act_size1024x768", "act_size800x600", "act_size240x320",
      "act_wz_g_resize", "act_wz_p_benutzer", "act_wz_g_benutzer", "act_text_p_benutzer",
      "act_text_g_benutzer", "act_text_g_resize"}},
    {"0", {"ScrollBar5", "ScrollBar6", "ScrollBar7", "ScrollBar2", "ScrollBar3", "ScrollBar4"}},
    {"50", {"ScrollBar8", "ScrollBar1"}},
    {"35", {"ScrollBar11"}},
    {"1",
     {"apanel10", "apanel20", "apanel30", "apanel40", "apanel50", "apanel60", "apanel70",
      "apanel80", "apanelweitere0"}},
    {"0",
     {"apanel11", "apanel21", "apanel31", "apanel41", "apanel41a", "apanel41b", "apanel51",
      "apanel61", "apanel71", "apanel81", "apanel91", "apanel101", "apanelweitere1"}},
    {"1", {"PA.AI", "PA.AV", "PA.AA", "PA.AO", "AS.N"}},
    {"0", {"AS.A", "AS.P", "AC.AC"}},
    {"0", {"PFCH.jpg", "PFCH.cb_bitmap", "PFCH.cb_portable", "PFCH.xpm"}},
    {"1", {"PFRB.alle"}},
    {"0", {"PFRB.auswahl"}},
    {"80", {"EACB.out_quality", "EASB.ScrollBar1"}},
    {"1", {"EACH.progressivaktiv"}},
    {"", {"DUED.quordner", "DUED.suchenalt", "DUED.suchenneu"}},
    {"1", {"DUCH.uv"}},
    {"0", {"DUCH.suchenersetzen"}},
    {"%name%1", {"DUCB.maske"}},
    {"1", {"DUCB.numstart"}},
    {"1", {"DFRB.alle"}},
    {"0", {"DFRB.auswahl"}},
    {"jpg,bmp,txt", {"DFED.filter"}},
};

TEST(KonfigurationLadenStandard, SetsEveryNamedControlWhateverItHeld) {
  for (const TLanguage language : {TLanguage::De, TLanguage::En}) {
    SettingsStore store(language);
    for (const auto& group : kResetValues)
      for (std::string_view name : group.names) Disturb(store, store.Resolve(name));
    for (size_t i = 0; i < store.Count(); ++i)
      if (store.Entry(i).Section == "PFCH") store.SetChecked(i, true);
    KonfigurationLadenStandard(store);
    for (const auto& group : kResetValues)
      for (std::string_view name : group.names)
        EXPECT_EQ(Value(store, name), group.value) << name << " " << LanguageCode(language);
    for (size_t i = 0; i < store.Count(); ++i) {
      if (store.Entry(i).Section != "PFCH") continue;
      EXPECT_EQ(store.Entry(i).Number, 0) << store.Entry(i).Name;
    }
  }
}

TEST(KonfigurationLadenStandard, EnglishStoresGetTheGermanTexts) {
  SettingsStore store(TLanguage::En);
  EXPECT_EQ(Value(store, "out_ordner"), "<keep>");
  KonfigurationLadenStandard(store);
  for (const auto& [name, text] :
       std::vector<std::pair<std::string_view, std::string_view>>{{"out_ordner", "<beibehalten>"},
                                                                  {"out_format", "<beibehalten>"},
                                                                  {"vor_resize", "<Anpassen>"},
                                                                  {"act_sizemethode", "Bikubisch"},
                                                                  {"act_farbevert1", "Rot"},
                                                                  {"act_farbevert2", "Blau"}})
    EXPECT_EQ(Value(store, name), text) << name;
  EXPECT_EQ(store.Language(), TLanguage::En);
}

TEST(KonfigurationLadenStandard, PutsTheOrderListBackToTheActionNumbers) {
  for (const TLanguage language : {TLanguage::De, TLanguage::En}) {
    SettingsStore store(language);
    // The user moved actions: 11 first, the rest shifted down.
    for (int i = 0; i < definition::kOrderEntries; ++i)
      store.SetText(store.IndexOf("PBRF", definition::OrderKey(i)),
                    definition::OrderEntryText(i == 0 ? 11 : i, language));
    ReihenFolgeFestlegen(store);
    ASSERT_EQ(ActionStepsOf(store)[11], 0);
    KonfigurationLadenStandard(store);
    for (int i = 0; i < definition::kOrderEntries; ++i)
      EXPECT_EQ(store.Text("PBRF", definition::OrderKey(i)),
                definition::OrderEntryText(i + 1, language));
    const TActionSteps steps = ActionStepsOf(store);
    for (int action = 1; action <= definition::kOrderEntries; ++action)
      EXPECT_EQ(steps[action], action - 1);
  }
}

TEST(KonfigurationLadenStandard, LeavesTheControlsItDoesNotNameAlone) {
  SettingsStore store;
  const std::vector<std::string_view> untouched = {"inp_ow",
                                                   "inp_cbwatch",
                                                   "out_deleteoriginal",
                                                   "act_wz_quelle",
                                                   "act_channels",
                                                   "act_channel_rot",
                                                   "act_channel_gruen",
                                                   "act_channel_blau",
                                                   "act_channel_c",
                                                   "act_channel_m",
                                                   "act_channel_y",
                                                   "act_channel_k",
                                                   "act_channels_zufarbe",
                                                   "act_farbe_kolorieren",
                                                   "apanel90",
                                                   "apanel40a",
                                                   "apanel40b",
                                                   "apanel100",
                                                   "Panel8",
                                                   "FCE.FSI",
                                                   "FCE.FON",
                                                   "FCE.FBO",
                                                   "SP.PB",
                                                   "SP.PH",
                                                   "SP.PF",
                                                   "SD.PB",
                                                   "EACH.psdlayers",
                                                   "DUCH.cb_suchendung",
                                                   "DUCH.cb_suchname",
                                                   "PSCH.act_text",
                                                   "PSCH.alle",
                                                   "SCED.beldateien"};
  for (std::string_view name : untouched) Disturb(store, store.Resolve(name));
  store.SetChecked(store.Resolve("act_channels_cmyk"), true);
  store.SetChecked(store.Resolve("act_text"), true);
  std::vector<std::string> before;
  for (std::string_view name : untouched) before.push_back(Value(store, name));

  KonfigurationLadenStandard(store);
  for (size_t i = 0; i < untouched.size(); ++i)
    EXPECT_EQ(Value(store, untouched[i]), before[i]) << untouched[i];
  // A switched-on color channels action stays on, a text action goes off.
  EXPECT_EQ(Value(store, "act_channels"), "1");
  EXPECT_EQ(Value(store, "act_channels_cmyk"), "1");
  EXPECT_EQ(Value(store, "act_text"), "0");
}

TEST(KonfigurationLadenStandard, DiffersFromTheStartStateWhereTheResetSaysSo) {
  SettingsStore fresh;
  SettingsStore reset;
  KonfigurationLadenStandard(reset);
  const struct {
    std::string_view name, atStart, afterReset;
  } cases[] = {
      {"EACB.out_quality", "95", "80"},
      {"EASB.ScrollBar1", "95", "80"},
      {"EACH.progressivaktiv", "0", "1"},
      {"DUCB.maske", "%name%", "%name%1"},
      {"AC.AC", "1", "0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Value(fresh, c.name), c.atStart) << c.name;
    EXPECT_EQ(Value(reset, c.name), c.afterReset) << c.name;
  }
}

}  // namespace
}  // namespace pixolan::config
