#include "config/Defaults.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/JobSettings.h"
#include "config/StoreDefinition.h"

namespace pixolan::config {

namespace {

struct TResetValue {
  std::string_view Name;   // a main window control, or "SECTION.NAME"
  std::string_view Value;  // as configuration files hold it: booleans 1/0
};

// The main window's part, in the order the reset sets it.
constexpr TResetValue kMainWindow[] = {
    {"inp_ordner", ""},
    {"act_wz_transpfarbe", "#FFFFFF"},
    {"act_text_hintergrund", "#FFFFFF"},
    {"act_randfarbe", "#000000"},
    {"act_text_fontcolor", "#000000"},
    {"vor_resize", "<Anpassen>"},
    {"out_format", "<beibehalten>"},
    {"out_ordner", "<beibehalten>"},
    {"out_name", "%name%-1"},
    {"act_sizebenutzer_x", "640"},
    {"act_wz_benutzer_x", "640"},
    {"act_text_benutzer_x", "640"},
    {"act_sizebenutzer_y", "480"},
    {"act_wz_benutzer_y", "480"},
    {"act_text_benutzer_y", "480"},
    {"act_sizemethode", "Bikubisch"},
    {"act_drehencb", "90°"},
    {"act_farberedcb", "2"},
    {"act_farbevert1", "Rot"},
    {"act_farbevert2", "Blau"},
    {"act_farbe_r", "0"},
    {"act_farbe_g", "0"},
    {"act_farbe_b", "0"},
    {"act_farbekontrast", "0"},
    {"act_farbehelligkeit", "0"},
    {"act_farbesaettigung", "0"},
    {"act_zuschlinks", "0"},
    {"act_zuschrechts", "0"},
    {"act_zuschoben", "0"},
    {"act_zuschunten", "0"},
    {"act_randtransp", "0"},
    {"act_farberot", "1,0"},
    {"act_farbegruen", "1,0"},
    {"act_farbeblau", "1,0"},
    {"act_wz_transpwert", "50"},
    {"act_text_transpwert", "50"},
    {"act_wz_p_benutzer_pixelou", "100"},
    {"act_wz_p_benutzer_pixellr", "100"},
    {"act_text_p_benutzer_pixelou", "100"},
    {"act_text_p_benutzer_pixellr", "100"},
    {"act_randbreite", "5"},
    {"act_weich_gr_h", "1"},
    {"act_hart_gr", "1"},
    {"act_weich_gr_v", "~"},
    {"act_hart_st", "35"},
    {"act_text_quelle", "abc"},
    {"inp_uv", "1"},
    {"vor_okay", "1"},
    {"act_sizeprop", "1"},
    {"act_sizehochquerformat", "1"},
    {"act_sizebigger", "1"},
    {"act_sizekleiner", "1"},
    {"act_wz_p_benutzer_unten", "1"},
    {"act_wz_p_benutzer_rechts", "1"},
    {"act_text_p_benutzer_unten", "1"},
    {"act_text_p_benutzer_rechts", "1"},
    {"act_size", "0"},
    {"act_drehenspiegeln", "0"},
    {"act_spiegelnvert", "0"},
    {"act_drehen", "0"},
    {"act_spiegelnhor", "0"},
    {"act_farbe", "0"},
    {"act_farbenegativ", "0"},
    {"act_farbereduzieren", "0"},
    {"act_farbevertauschen", "0"},
    {"act_farbegamma", "0"},
    {"act_wasserzeichen", "0"},
    {"act_zuschneiden", "0"},
    {"act_khs", "0"},
    {"act_wz_transpfarbeaktiv", "0"},
    {"act_wz_p_benutzer_oben", "0"},
    {"act_wz_p_benutzer_links", "0"},
    {"act_rand", "0"},
    {"act_randhinzu", "0"},
    {"act_weich", "0"},
    {"act_weich_gauss", "0"},
    {"act_hart", "0"},
    {"act_text", "0"},
    {"act_text_hgtransparent", "0"},
    {"act_text_p_benutzer_oben", "0"},
    {"act_text_p_benutzer_links", "0"},
    {"rb_zuschn_abschneiden", "1"},
    {"out_newimage", "1"},
    {"act_size640x480", "1"},
    {"act_wz_g_original", "1"},
    {"act_wz_p_mittig", "1"},
    {"act_text_p_mittig", "1"},
    {"act_text_g_schrift", "1"},
    {"out_overwrite", "0"},
    {"act_sizebenutzer", "0"},
    {"act_size1024x768", "0"},
    {"act_size800x600", "0"},
    {"act_size240x320", "0"},
    {"act_wz_g_resize", "0"},
    {"act_wz_p_benutzer", "0"},
    {"act_wz_g_benutzer", "0"},
    {"ScrollBar5", "0"},
    {"ScrollBar6", "0"},
    {"ScrollBar7", "0"},
    {"ScrollBar2", "0"},
    {"ScrollBar3", "0"},
    {"ScrollBar4", "0"},
    {"ScrollBar8", "50"},
    {"ScrollBar1", "50"},
    {"ScrollBar11", "35"},
    {"apanel10", "1"},
    {"apanel20", "1"},
    {"apanel30", "1"},
    {"apanel40", "1"},
    {"apanel50", "1"},
    {"apanel60", "1"},
    {"apanel70", "1"},
    {"apanel80", "1"},
    {"apanelweitere0", "1"},
    {"apanel11", "0"},
    {"apanel21", "0"},
    {"apanel31", "0"},
    {"apanel41", "0"},
    {"apanel41a", "0"},
    {"apanel41b", "0"},
    {"apanel51", "0"},
    {"apanel61", "0"},
    {"apanel71", "0"},
    {"apanel81", "0"},
    {"apanel91", "0"},
    {"apanel101", "0"},
    {"apanelweitere1", "0"},
};

// The other windows, after the format filter's check boxes are switched off.
constexpr TResetValue kOtherWindows[] = {
    {"PFRB.alle", "1"},           {"PFRB.auswahl", "0"},         {"EACB.out_quality", "80"},
    {"EASB.ScrollBar1", "80"},    {"EACH.progressivaktiv", "1"}, {"DUED.quordner", ""},
    {"DUED.suchenalt", ""},       {"DUED.suchenneu", ""},        {"DUCH.uv", "1"},
    {"DUCH.suchenersetzen", "0"}, {"DUCB.maske", "%name%1"},     {"DUCB.numstart", "1"},
    {"DFRB.alle", "1"},           {"DFRB.auswahl", "0"},         {"DFED.filter", "jpg,bmp,txt"},
};

// Visible areas, autosave "Never" and auto-close off.
constexpr TResetValue kMenus[] = {
    {"PA.AI", "1"}, {"PA.AV", "1"}, {"PA.AA", "1"}, {"PA.AO", "1"},
    {"AS.N", "1"},  {"AS.A", "0"},  {"AS.P", "0"},  {"AC.AC", "0"},
};

void Apply(SettingsStore& store, std::span<const TResetValue> values) {
  for (const TResetValue& value : values)
    store.SetValueText(store.Resolve(value.Name), value.Value, TChangeSource::User);
}

// Sorting the list by its texts puts "01 ..." to "11 ..." in order; the steps follow.
void SortOrderList(SettingsStore& store) {
  std::vector<size_t> indexes;
  std::vector<std::string> texts;
  for (int i = 0; i < definition::kOrderEntries; ++i) {
    indexes.push_back(store.IndexOf("PBRF", definition::OrderKey(i)));
    texts.push_back(store.Entry(indexes.back()).Text);
  }
  std::sort(texts.begin(), texts.end());
  for (size_t i = 0; i < indexes.size(); ++i)
    store.SetText(indexes[i], texts[i], TChangeSource::User);
  ReihenFolgeFestlegen(store);
}

}  // namespace

void KonfigurationLadenStandard(SettingsStore& store) {
  Apply(store, kMainWindow);
  SortOrderList(store);
  for (size_t i = 0; i < store.Count(); ++i)
    if (store.Entry(i).Section == "PFCH") store.SetChecked(i, false, TChangeSource::User);
  Apply(store, kOtherWindows);
  Apply(store, kMenus);
}

}  // namespace pixolan::config
