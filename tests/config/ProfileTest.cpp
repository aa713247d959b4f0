#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "config/ConfigIniFile.h"
#include "config/ConfigurationFile.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::config {
namespace {

using TLayout = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Every section of the file with its keys, in file order.
TLayout LayoutOf(const std::string& path) {
  const TConfigIniFile file(path);
  TLayout layout;
  for (const std::string& section : file.ReadSections())
    layout.emplace_back(section, file.ReadSectionKeys(section));
  return layout;
}

void Choose(SettingsStore& store, std::initializer_list<std::string_view> boxes) {
  for (std::string_view box : boxes) store.SetChecked(store.IndexOf("PSCH", box), true);
}

TEST(Profile, HoldsTheAutosaveChoiceAndTheChosenGroupsOnly) {
  const struct {
    std::vector<std::string_view> boxes;
    TLayout expected;
  } cases[] = {
      {{}, {{"AS", {"N", "P", "A"}}}},
      {{"act_hart"},
       {{"AS", {"N", "P", "A"}},
        {"PBCH", {"act_hart"}},
        {"PBCB", {"act_hart_st", "act_hart_gr"}},
        {"PBSB", {"ScrollBar11"}}}},
      {{"act_weich"},
       {{"AS", {"N", "P", "A"}},
        {"PBCB", {"act_weich_gr_h", "act_weich_gr_v"}},
        {"PBCH", {"act_weich_gauss", "act_weich"}}}},
      {{"act_wasserzeichen"},
       {{"AS", {"N", "P", "A"}},
        {"PBCH",
         {"act_wasserzeichen", "act_wz_transpfarbeaktiv", "act_wz_p_benutzer_oben",
          "act_wz_p_benutzer_unten", "act_wz_p_benutzer_links", "act_wz_p_benutzer_rechts"}},
        {"PBED", {"act_wz_quelle", "act_wz_transpfarbe"}},
        {"PBCB",
         {"act_wz_transpwert", "act_wz_p_benutzer_pixelou", "act_wz_p_benutzer_pixellr",
          "act_wz_benutzer_x", "act_wz_benutzer_y"}},
        {"PBRB",
         {"act_wz_g_original", "act_wz_g_resize", "act_wz_p_mittig", "act_wz_p_benutzer",
          "act_wz_g_benutzer"}},
        {"PBSB", {"ScrollBar8"}}}},
      {{"opt_order", "act_drehenspiegeln"},
       {{"AS", {"N", "P", "A"}},
        {"PBCH", {"act_drehenspiegeln", "act_spiegelnvert", "act_drehen", "act_spiegelnhor"}},
        {"PBCB", {"act_drehencb"}},
        {"PBRF", {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10"}}}},
      {{"act_text"},
       {{"AS", {"N", "P", "A"}},
        {"PBCH",
         {"act_text", "act_text_hgtransparent", "act_text_p_benutzer_oben",
          "act_text_p_benutzer_unten", "act_text_p_benutzer_links", "act_text_p_benutzer_rechts"}},
        {"PBMM", {"act_text_quelle"}},
        {"PBED", {"act_text_fontcolor", "act_text_hintergrund"}},
        {"PBCB",
         {"act_text_transpwert", "act_text_p_benutzer_pixelou", "act_text_p_benutzer_pixellr",
          "act_text_benutzer_x", "act_text_benutzer_y"}},
        {"PBRB",
         {"act_text_g_schrift", "act_text_p_mittig", "act_text_p_benutzer", "act_text_g_benutzer",
          "act_text_g_resize"}},
        {"PBSB", {"ScrollBar1"}},
        {"FCE", {"FSI", "FCL", "FON", "FBO", "FIT", "FUN", "FSO"}}}},
  };
  for (const auto& c : cases) {
    const test::TTempFolder folder;
    SettingsStore store;
    for (std::string_view box : c.boxes) Choose(store, {box});
    const std::string path = folder.File("profile.pxc");
    KonfigurationSpeichernProfil(store, path);
    SCOPED_TRACE(c.boxes.empty() ? "none" : std::string(c.boxes.front()));
    EXPECT_EQ(LayoutOf(path), c.expected);
    EXPECT_EQ(test::ReadFileText(path).substr(0, 2), "\xFF\xFE");
  }
}

TEST(Profile, TheTextGoesWithItsLineBreaksMarkedAndIsNotLoadedBack) {
  const test::TTempFolder folder;
  const std::string path = folder.File("text.pxc");
  SettingsStore store;
  Choose(store, {"act_text"});
  store.SetText(store.IndexOf("PBMM", "act_text_quelle"), "\"Zeile 1\r\nZeile 2\"");
  KonfigurationSpeichernProfil(store, path);
  const TConfigIniFile file(path);
  EXPECT_EQ(file.ReadString("PBMM", "act_text_quelle", ""), "\"Zeile 1\x1FZeile 2\"");

  SettingsStore loaded;
  KonfigurationLaden(loaded, path, TLoadOrigin::Menu, TScreenSize::Unlimited());
  EXPECT_EQ(loaded.Text("PBMM", "act_text_quelle"), "abc");
}

TEST(Profile, SavedOverAFullConfigurationKeepsEverythingElse) {
  const test::TTempFolder folder;
  const std::string path = folder.File("full.pxc");
  SettingsStore store;
  store.SetNumber(store.IndexOf("SP", "PB"), 1111);
  store.SetText(store.IndexOf("PBCB", "act_hart_st"), "50");
  KonfigurationSpeichern(store, path);
  const TLayout full = LayoutOf(path);

  store.SetNumber(store.IndexOf("SP", "PB"), 900);
  store.SetText(store.IndexOf("PBCB", "act_hart_st"), "70");
  store.SetText(store.IndexOf("PBCB", "act_weich_gr_h"), "9");
  store.SetChecked(store.IndexOf("AS", "P"), true);
  Choose(store, {"act_hart"});
  KonfigurationSpeichernProfil(store, path);

  EXPECT_EQ(LayoutOf(path), full);
  const TConfigIniFile file(path);
  EXPECT_EQ(file.ReadInteger("SP", "PB", 0), 1111);
  EXPECT_EQ(file.ReadString("PBCB", "act_hart_st", ""), "70");
  EXPECT_EQ(file.ReadString("PBCB", "act_weich_gr_h", ""), "1");
  EXPECT_EQ(file.ReadString("AS", "P", ""), "1");
  EXPECT_EQ(file.ReadString("AS", "N", ""), "0");
}

TEST(Profile, LoadingShowsAllAreasAndClearsTheFontStylesUnlessItHoldsTheText) {
  for (const bool withText : {false, true}) {
    const test::TTempFolder folder;
    const std::string path = folder.File("p.pxc");
    SettingsStore source;
    Choose(source, {"act_hart"});
    if (withText) Choose(source, {"act_text"});
    source.SetChecked(source.IndexOf("FCE", "FIT"), true);
    source.SetChecked(source.IndexOf("PBCH", "act_hart"), true);
    KonfigurationSpeichernProfil(source, path);

    SettingsStore target;
    for (std::string_view area : {"AI", "AV", "AA", "AO"})
      target.SetChecked(target.IndexOf("PA", area), false);
    KonfigurationLaden(target, path, TLoadOrigin::Menu, TScreenSize::Unlimited());
    for (std::string_view area : {"AI", "AV", "AA", "AO"}) EXPECT_TRUE(target.Checked("PA", area));
    EXPECT_TRUE(target.Checked("PBCH", "act_hart"));
    EXPECT_EQ(target.Checked("FCE", "FIT"), withText);
    EXPECT_EQ(target.Checked("FCE", "FBO"), withText) << "bold is the initial style";
  }
}

TEST(Profile, AnUnwritableFileRaisesTheWriteError) {
  const test::TTempFolder folder;
  SettingsStore store;
  EXPECT_THROW(KonfigurationSpeichernProfil(store, folder.Path().string()), EConfigWriteError);
}

TEST(Profile, TheAllBoxGivesEveryOtherBoxOfTheDialogItsState) {
  SettingsStore store;
  std::vector<size_t> boxes;
  for (size_t i = 0; i < store.Count(); ++i)
    if (store.Entry(i).Section == "PSCH" && store.Entry(i).Name != "alle") boxes.push_back(i);
  ASSERT_EQ(boxes.size(), 12u);
  store.SetChecked(store.IndexOf("PSCH", "act_farbe"), true);
  const size_t all = store.IndexOf("PSCH", "alle");
  for (const bool state : {true, false}) {
    store.SetChecked(all, state);
    for (size_t box : boxes)
      EXPECT_EQ(store.Entry(box).Number != 0, state) << store.Entry(box).Name;
  }
  // A configuration that stores "all" ticked keeps the boxes it stores.
  store.SetChecked(all, true, TChangeSource::Program);
  for (size_t box : boxes) EXPECT_EQ(store.Entry(box).Number, 0) << store.Entry(box).Name;
  // The main window's namesakes are not the dialog's boxes.
  EXPECT_FALSE(store.Checked("PBCH", "act_farbe"));
}

}  // namespace
}  // namespace pixolan::config
