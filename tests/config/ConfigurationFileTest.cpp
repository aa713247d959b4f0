#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "config/ConfigIniFile.h"
#include "config/ConfigurationFile.h"
#include "config/JobSettings.h"
#include "config/StoreDefinition.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::config {
namespace {

namespace fs = std::filesystem;

const TScreenSize kScreen{1280, 1024};

class ConfigurationFileTest : public ::testing::Test {
 protected:
  std::string Path(std::string_view name) const { return folder_.File(name); }

  test::TTempFolder folder_;
};

// UTF-8 to UTF-16LE code units (the test texts stay within the BMP).
std::string Utf16le(std::string_view text) {
  std::string bytes;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    uint32_t code = c;
    size_t length = 1;
    if (c >= 0xE0) {
      code = (c & 0x0F) << 12 | (text[i + 1] & 0x3F) << 6 | (text[i + 2] & 0x3F);
      length = 3;
    } else if (c >= 0xC0) {
      code = (c & 0x1F) << 6 | (text[i + 1] & 0x3F);
      length = 2;
    }
    bytes += static_cast<char>(code & 0xFF);
    bytes += static_cast<char>(code >> 8);
    i += length;
  }
  return bytes;
}

// A file as the Windows program writes it: byte order mark, UTF-16LE, CR LF.
void WriteWindowsFile(const std::string& path, std::initializer_list<std::string_view> lines) {
  std::string bytes = "\xFF\xFE";
  for (std::string_view line : lines) bytes += Utf16le(std::string(line) + "\r\n");
  test::WriteFileText(path, bytes);
}

// The file's text as UTF-8 (BMP only), without its byte order mark.
std::string RawText(const std::string& path) {
  const std::string bytes = test::ReadFileText(path);
  std::string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const uint32_t code =
        static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (code < 0x80) {
      text += static_cast<char>(code);
    } else if (code < 0x800) {
      text += static_cast<char>(0xC0 | code >> 6);
      text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | code >> 12);
      text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return text;
}

void Set(SettingsStore& store, std::string_view name, std::string_view value) {
  store.SetValueText(store.Resolve(name), value);
}

// Entries whose values differ, as "SECTION.NAME: a | b".
std::vector<std::string> Differences(const SettingsStore& a, const SettingsStore& b) {
  std::vector<std::string> differences;
  for (size_t i = 0; i < a.Count(); ++i)
    if (a.ValueText(i) != b.ValueText(i))
      differences.push_back(a.Entry(i).QualifiedName() + ": " + a.ValueText(i) + " | " +
                            b.ValueText(i));
  return differences;
}

// A store far from the initial state in every section a configuration holds.
SettingsStore ChangedStore(TLanguage language) {
  SettingsStore store(language);
  const bool german = language == TLanguage::De;
  const std::string first = definition::OrderEntryText(11, language);
  const std::string last = definition::OrderEntryText(1, language);
  const std::pair<std::string_view, std::string_view> values[] = {
      {"inp_ordner", "/home/anna/Bilder"},
      {"inp_ow", "1"},
      {"inp_uv", "0"},
      {"out_overwrite", "1"},
      {"out_ordner", german ? "%ordner%/klein" : "%folder%/klein"},
      {"out_name", "'quoted'"},
      {"out_format", "*.png - Portable Network Graphics"},
      {"act_size", "1"},
      {"act_sizebenutzer", "1"},
      {"act_sizebenutzer_x", " 800"},
      {"act_sizebenutzer_y", "\"600\""},
      {"act_sizemethode", "Bilinear"},
      {"act_farbe", "1"},
      {"act_farbe_r", "-120"},
      {"act_farbehelligkeit", "45"},
      {"act_farberot", german ? "2,5" : "2.5"},
      {"act_farbevert1", german ? "Grün" : "Green"},
      {"act_wz_quelle", "/home/anna/Logo.png"},
      {"act_wz_transpfarbe", "#12AB34"},
      {"act_wz_transpwert", "30"},
      {"act_wz_g_benutzer", "1"},
      {"act_wz_p_benutzer_links", "1"},
      {"act_text_transpwert", "0"},
      {"act_text_fontcolor", "#FF0000"},
      {"act_hart_st", "-250"},
      {"act_weich_gr_v", "3"},
      {"rb_zuschn_beibehalten", "1"},
      {"act_channels_cmyk", "1"},
      {"act_channel_y", "0"},
      {"apanel11", "0"},  // resize on, its options closed by the user
      {"apanel61", "1"},
      {"PBRF.r0", first},
      {"PBRF.r10", last},
      {"PFRB.auswahl", "1"},
      {"cb_bitmap", "1"},
      {"bmp", "0"},  // a family ticked, one member unticked afterwards
      {"png", "1"},
      {"EACB.out_quality", "70"},
      {"progressivaktiv", "1"},
      {"psdlayers", "0"},
      {"PSCH.act_hart", "1"},
      {"opt_order", "1"},
      {"quordner", "/data"},
      {"suchenersetzen", "1"},
      {"suchenalt", "IMG"},
      {"maske", "%0num% %name%"},
      {"numstart", "0"},
      {"DFRB.auswahl", "1"},
      {"DFED.filter", "jpg, png"},
      {"beldateien", "jpg"},
      {"FCE.FSI", "24"},
      {"FCE.FON", "DejaVu Sans Mono"},
      {"FCE.FBO", "0"},
      {"FCE.FUN", "1"},
      {"SP.PB", "1000"},
      {"SP.PH", "700"},
      {"SP.PT", "-8"},
      {"SP.PL", "120"},
      {"SP.PR", "400"},
      {"SP.PO", "250"},
      {"SD.PF", "1"},
      {"PA.AV", "0"},
      {"AS.A", "1"},
      {"AC.AC", "0"},
  };
  for (const auto& [name, value] : values) Set(store, name, value);
  return store;
}

TEST_F(ConfigurationFileTest, SavedAndLoadedGivesTheSameStore) {
  for (TLanguage language : {TLanguage::En, TLanguage::De}) {
    SCOPED_TRACE(LanguageCode(language));
    const SettingsStore saved = ChangedStore(language);
    KonfigurationSpeichern(saved, Path("full.pxc"));
    SettingsStore loaded(language);
    KonfigurationLaden(loaded, Path("full.pxc"), TLoadOrigin::Menu, kScreen);
    EXPECT_EQ(Differences(saved, loaded), std::vector<std::string>{});
    EXPECT_GT(Differences(SettingsStore(language), loaded).size(), 60u);
    // Saved again, the file is the same.
    const std::string first = test::ReadFileText(Path("full.pxc"));
    KonfigurationSpeichern(loaded, Path("again.pxc"));
    EXPECT_EQ(test::ReadFileText(Path("again.pxc")), first);
  }
}

TEST_F(ConfigurationFileTest, NewFileHoldsTheSectionsAndKeysInOrder) {
  const SettingsStore store;
  KonfigurationSpeichern(store, Path("new.pxc"));
  const std::string bytes = test::ReadFileText(Path("new.pxc"));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::string text = RawText(Path("new.pxc"));
  EXPECT_TRUE(text.starts_with("[PBPA]\r\nPanel1=1\r\nPanel2=1\r\n")) << text.substr(0, 40);
  EXPECT_EQ(text.find("\n\n"), std::string::npos);

  TConfigIniFile file(Path("new.pxc"));
  const std::vector<std::string> sections = {"PBPA", "PBED", "PBCH", "PBCB", "PBRB", "PBSB", "PBRF",
                                             "PFCH", "PFRB", "EACB", "EASB", "EACH", "PSCH", "DUED",
                                             "DUCH", "DUCB", "DFRB", "DFED", "SCED", "FCE",  "SP",
                                             "SD",   "PA",   "AS",   "AC"};
  EXPECT_EQ(file.ReadSections(), sections);
  size_t keys = 0;
  for (const std::string& section : sections) {
    std::vector<std::string> expected;
    for (const TSettingEntry& entry : store.Entries())
      if (entry.Section == section) expected.push_back(entry.Name);
    EXPECT_EQ(file.ReadSectionKeys(section), expected) << section;
    keys += expected.size();
  }
  EXPECT_EQ(keys, store.Count() - 1) << "everything but the text of the text action";
  EXPECT_FALSE(file.SectionExists("PBMM"));
  EXPECT_EQ(file.ReadString("PBCB", "act_farberot", ""), "1.0");
  EXPECT_EQ(file.ReadString("FCE", "FCL", ""), "-16777208");
  EXPECT_EQ(file.ReadString("PBRF", "r3", ""), "04   Contr. Brightn. Sat.");
}

TEST_F(ConfigurationFileTest, QuotedTextsComeBackUnchanged) {
  const struct {
    std::string_view text, written;
  } cases[] = {
      {"'abc'", "''abc''"},
      {"\"abc\"", "\"\"abc\"\""},
      {" abc", "\" abc\""},
      {"abc ", "\"abc \""},
      {"'", "'"},
      {"\"", "\""},
      {"''", "''''"},
      {"\"\"", "\"\"\"\""},
      {"'a\"", "'a\""},
      {"'x y'", "''x y''"},
      {"\"' '\"", "\"\"' '\"\""},
      {"  ", "\"  \""},
      {"", ""},
      {"a=b", "a=b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    SettingsStore store;
    Set(store, "out_name", c.text);
    Set(store, "quordner", c.text);
    const std::string path = Path("quotes.pxc");
    fs::remove(path);
    KonfigurationSpeichern(store, path);
    const std::string raw = RawText(path);
    EXPECT_NE(raw.find("\r\nout_name=" + std::string(c.written) + "\r\n"), std::string::npos);
    SettingsStore loaded;
    Set(loaded, "out_name", "something else");
    Set(loaded, "quordner", "something else");
    KonfigurationLaden(loaded, path, TLoadOrigin::Menu, kScreen);
    EXPECT_EQ(loaded.Text("PBCB", "out_name"), c.text);
    EXPECT_EQ(loaded.Text("DUED", "quordner"), c.text);
  }
}

TEST_F(ConfigurationFileTest, OrderEntriesAndFontFaceAreNotProtected) {
  SettingsStore store;
  Set(store, "FCE.FON", " Mono");
  Set(store, "PBRF.r0", "01   Image Size");
  KonfigurationSpeichern(store, Path("font.pxc"));
  const std::string raw = RawText(Path("font.pxc"));
  EXPECT_NE(raw.find("\r\nFON=\" Mono\"\r\n"), std::string::npos);
  SettingsStore loaded;
  KonfigurationLaden(loaded, Path("font.pxc"), TLoadOrigin::Menu, kScreen);
  EXPECT_EQ(loaded.Text("FCE", "FON"), " Mono");
}

TEST_F(ConfigurationFileTest, FileOfTheWindowsProgramLoadsAndKeepsUnknownKeys) {
  const std::string path = Path("Windows.pxc");
  WriteWindowsFile(path, {
                             "[PBED]",
                             "inp_ordner=C:\\Bilder",
                             "act_randfarbe=#FF0000",
                             "zukunft=bleibt",
                             "[pbcb]",
                             "OUT_ORDNER=<beibehalten>\\klein",
                             "out_name=%name% (%breite%x%höhe%)",
                             "out_format=*.jpg - JPEG-Bild",
                             "act_sizemethode=Nächster Nachbar",
                             "act_farberot=1,5",
                             "act_farbevert1=Grün",
                             "act_channels_zufarbe=Schwarz",
                             "vor_resize=50%",
                             "act_farbe_r=  -20  ",
                             "[PBCH]",
                             "act_size=1",
                             "act_text=0x1",
                             "act_sizeprop=kaputt",
                             "out_deleteoriginal=1",
                             "[PBSB]",
                             "ScrollBar5=-20",
                             "[PBRF]",
                             "r0=11   Text hinzufügen",
                             "r10=01   Bildgröße",
                             "[Unbekannt]",
                             "x=y",
                             "[AS]",
                             "N=0",
                             "P=0",
                             "A=1",
                         });
  SettingsStore store(TLanguage::En);
  KonfigurationLaden(store, path, TLoadOrigin::StartUp, kScreen);
  const std::pair<std::string_view, std::string_view> expected[] = {
      {"inp_ordner", "C:\\Bilder"},
      {"out_ordner", "<keep>\\klein"},
      {"out_name", "%name% (%width%x%height%)"},
      {"out_format", "*.jpg - JPEG-Image"},
      {"act_sizemethode", "Nearest"},
      {"act_farberot", "1.5"},
      {"act_farbevert1", "Green"},
      {"act_channels_zufarbe", "Black"},
      {"vor_resize", "<Adjust>"},  // the language pass puts the zoom back to its first entry
      {"act_farbe_r", "-20"},
      {"ScrollBar5", "-20"},
      {"act_size", "1"},
      {"act_text", "1"},
      {"act_sizeprop", "1"},  // not a boolean: the current value stays
      {"out_deleteoriginal", "0"},
      {"PBRF.r0", "11   Add Text"},
      {"PBRF.r10", "01   Image Size"},
      {"AS.N", "0"},
      {"AS.A", "1"},
  };
  for (const auto& [name, value] : expected)
    EXPECT_EQ(store.ValueText(store.Resolve(name)), value) << name;
  EXPECT_EQ(store.Color("PBED", "act_randfarbe"), 0x0000FFu);

  KonfigurationSpeichern(store, path);
  EXPECT_EQ(test::ReadFileText(path).substr(0, 2), "\xFF\xFE");
  TConfigIniFile file(path);
  EXPECT_EQ(file.ReadString("PBED", "zukunft", ""), "bleibt");
  EXPECT_EQ(file.ReadString("Unbekannt", "x", ""), "y");
  EXPECT_EQ(file.ReadString("PBCB", "out_ordner", ""), "<keep>\\klein");
  EXPECT_EQ(file.ReadSections().front(), "PBED");
  SettingsStore again(TLanguage::En);
  KonfigurationLaden(again, path, TLoadOrigin::StartUp, kScreen);
  EXPECT_EQ(Differences(store, again), std::vector<std::string>{});
}

TEST_F(ConfigurationFileTest, MissingSectionsRunTheFixedSteps) {
  const std::string path = Path("partial.pxc");
  WriteWindowsFile(path, {"[PBCH]", "act_rand=1"});
  SettingsStore store;
  for (std::string_view area : {"PA.AI", "PA.AV", "PA.AA", "PA.AO"}) Set(store, area, "0");
  Set(store, "FCE.FIT", "1");
  Set(store, "FCE.FSO", "1");
  Set(store, "FCE.FSI", "30");
  Set(store, "FCE.FON", "Liberation Serif");
  Set(store, "out_deleteoriginal", "1");
  Set(store, "out_name", "%name%_z");
  KonfigurationLaden(store, path, TLoadOrigin::Menu, kScreen);
  for (std::string_view area : {"PA.AI", "PA.AV", "PA.AA", "PA.AO"})
    EXPECT_EQ(store.ValueText(store.Resolve(area)), "1") << area;
  for (std::string_view style : {"FCE.FBO", "FCE.FIT", "FCE.FUN", "FCE.FSO"})
    EXPECT_EQ(store.ValueText(store.Resolve(style)), "0") << style;
  EXPECT_EQ(store.Number("FCE", "FSI"), 30);
  EXPECT_EQ(store.Text("FCE", "FON"), "Liberation Serif");
  EXPECT_FALSE(store.Checked("PBCH", "out_deleteoriginal"));
  EXPECT_TRUE(store.Checked("PBCH", "act_rand"));
  EXPECT_EQ(store.Text("PBCB", "out_name"), "%name%_z");
}

TEST_F(ConfigurationFileTest, DeleteOriginalsIsAlwaysOffAfterALoad) {
  const struct {
    std::string_view stored;  // empty: no such key
    bool before;
  } cases[] = {{"1", false}, {"1", true}, {"0", true}, {"", true}, {"-1", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + (c.before ? " on" : " off"));
    const std::string path = Path("delete.pxc");
    if (c.stored.empty())
      WriteWindowsFile(path, {"[PBCH]", "act_size=1"});
    else
      WriteWindowsFile(path, {"[PBCH]", "out_deleteoriginal=" + std::string(c.stored)});
    SettingsStore store;
    Set(store, "out_deleteoriginal", c.before ? "1" : "0");
    KonfigurationLaden(store, path, TLoadOrigin::StartUp, kScreen);
    EXPECT_FALSE(store.Checked("PBCH", "out_deleteoriginal"));
  }
}

TEST_F(ConfigurationFileTest, OrderSectionIsAppliedByPositionThenRepaired) {
  const struct {
    std::string_view name;
    std::initializer_list<std::string_view> lines;
    std::array<int, 11> order;
  } cases[] = {
      {"only some positions",
       {"r2=10   Wasserzeichen", "r9=03   Farbe"},
       {1, 2, 10, 4, 5, 6, 7, 8, 9, 3, 11}},
      {"a number twice", {"r0=05   Weichzeichnen"}, {5, 2, 3, 4, 1, 6, 7, 8, 9, 10, 11}},
      {"no numbers", {"r0=Bildgröße", "r1=", "r5=99   Neu"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"keys beyond the list",
       {"r11=01   Bildgröße", "r-1=02"},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    std::vector<std::string> lines = {"[PBRF]"};
    for (std::string_view line : c.lines) lines.emplace_back(line);
    std::string bytes = "\xFF\xFE";
    for (const std::string& line : lines) bytes += Utf16le(line + "\r\n");
    test::WriteFileText(Path("order.pxc"), bytes);
    SettingsStore store(TLanguage::De);
    KonfigurationLaden(store, Path("order.pxc"), TLoadOrigin::Menu, kScreen);
    EXPECT_EQ(RepairedOrder(store), c.order);
    for (int i = 0; i < 11; ++i)
      EXPECT_EQ(store.Text("PBRF", definition::OrderKey(i)),
                definition::OrderEntryText(c.order[i], TLanguage::De));
    core::ConversionSettings settings;
    KonvertierWerteSetzen(store, settings);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(settings.ActionStep[c.order[i]], i);
  }
}

TEST_F(ConfigurationFileTest, LoadOrderConsequences) {
  const struct {
    std::string_view name;
    std::initializer_list<std::string_view> lines;
    std::initializer_list<std::pair<std::string_view, std::string_view>> expected;
  } cases[] = {
      // A scroll bar whose stored position differs from its current one writes the combo.
      {"bar moves",
       {"[PBCB]", "act_farbe_r=20", "[PBSB]", "ScrollBar5=40"},
       {{"act_farbe_r", "40"}, {"ScrollBar5", "40"}}},
      {"bar stays",
       {"[PBCB]", "act_farbe_r=20", "[PBSB]", "ScrollBar5=0"},
       {{"act_farbe_r", "20"}, {"ScrollBar5", "0"}}},
      {"combo only", {"[PBCB]", "act_hart_st=90"}, {{"act_hart_st", "90"}, {"ScrollBar11", "35"}}},
      {"bar out of range",
       {"[PBSB]", "ScrollBar8=250"},
       {{"ScrollBar8", "100"}, {"act_wz_transpwert", "100"}}},
      {"bar below range",
       {"[EASB]", "ScrollBar1=-4"},
       {{"EASB.ScrollBar1", "1"}, {"EACB.out_quality", "1"}}},
      {"bar not a number", {"[PBSB]", "ScrollBar8=viel"}, {{"ScrollBar8", "50"}}},
      // A later "1" in a radio group wins.
      {"later radio wins",
       {"[PBRB]", "act_size640x480=1", "act_size240x320=1"},
       {{"act_size240x320", "1"}, {"act_size640x480", "0"}}},
      {"all radios off",
       {"[PBRB]", "out_overwrite=0", "out_newimage=0"},
       {{"out_overwrite", "0"}, {"out_newimage", "0"}}},
      // A text the list does not hold is shown as it is.
      {"text not in list",
       {"[PBCB]", "act_drehencb=45°", "act_sizemethode=Lanczos"},
       {{"act_drehencb", "45°"}, {"act_sizemethode", "Lanczos"}}},
      // Loading does not open option panels or tick format families.
      {"panels as stored",
       {"[PBCH]", "act_size=1", "act_text=1", "[PBPA]", "apanel91=1"},
       {{"apanel11", "0"}, {"apanel91", "1"}}},
      {"family as stored",
       {"[PFCH]", "cb_jpg=1", "jpeg=1"},
       {{"cb_jpg", "1"}, {"jpeg", "1"}, {"jpg", "0"}, {"jif", "0"}}},
      // The text font's color follows the loaded text color until "FCE" says otherwise.
      {"font color follows", {"[PBED]", "act_text_fontcolor=#0000FF"}, {{"FCE.FCL", "16711680"}}},
      {"font color stored",
       {"[PBED]", "act_text_fontcolor=#0000FF", "[FCE]", "FCL=255"},
       {{"FCE.FCL", "255"}}},
      {"hexadecimal", {"[FCE]", "FSI=0x10", "FCL=0xFF"}, {{"FCE.FSI", "16"}, {"FCE.FCL", "255"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    std::string bytes = "\xFF\xFE";
    for (std::string_view line : c.lines) bytes += Utf16le(std::string(line) + "\r\n");
    test::WriteFileText(Path("order.pxc"), bytes);
    SettingsStore store;
    KonfigurationLaden(store, Path("order.pxc"), TLoadOrigin::Menu, kScreen);
    for (const auto& [name, value] : c.expected)
      EXPECT_EQ(store.ValueText(store.Resolve(name)), value) << name;
  }
}

TEST_F(ConfigurationFileTest, PlacementAgainstTheScreen) {
  const struct {
    std::string_view name;
    TLoadOrigin origin;
    std::initializer_list<std::string_view> lines;
    std::initializer_list<std::pair<std::string_view, int32_t>> expected;
  } cases[] = {
      {"fits",
       TLoadOrigin::Menu,
       {"[SP]", "PF=0", "PB=1000", "PH=800", "PT=10", "PL=20", "PR=330", "PO=300"},
       {{"SP.PF", 0},
        {"SP.PB", 1000},
        {"SP.PH", 800},
        {"SP.PT", 10},
        {"SP.PL", 20},
        {"SP.PR", 330},
        {"SP.PO", 300}}},
      {"screen edges are allowed",
       TLoadOrigin::Menu,
       {"[SP]", "PB=1280", "PH=1024", "PT=1024", "PL=1280"},
       {{"SP.PB", 1280}, {"SP.PH", 1024}, {"SP.PT", 1024}, {"SP.PL", 1280}}},
      {"larger than the screen",
       TLoadOrigin::Menu,
       {"[SP]", "PB=1281", "PH=1025", "PT=1025", "PL=1281"},
       {{"SP.PB", 842}, {"SP.PH", 696}, {"SP.PT", 0}, {"SP.PL", 0}}},
      {"negative",
       TLoadOrigin::Menu,
       {"[SP]", "PT=-30", "PL=-1280"},
       {{"SP.PT", -30}, {"SP.PL", -1280}}},
      {"columns wider than the window",
       TLoadOrigin::Menu,
       {"[SP]", "PB=900", "PH=600", "PR=901", "PO=601"},
       {{"SP.PB", 900}, {"SP.PH", 600}, {"SP.PR", 316}, {"SP.PO", 312}}},
      {"columns against the loaded size",
       TLoadOrigin::Menu,
       {"[SP]", "PB=500", "PR=500", "PO=700"},
       {{"SP.PR", 500}, {"SP.PO", 312}}},
      {"maximized at start-up",
       TLoadOrigin::StartUp,
       {"[SP]", "PF=1", "PB=1000", "PT=50", "PL=60"},
       {{"SP.PF", 1}, {"SP.PB", 842}, {"SP.PT", 0}, {"SP.PL", 0}}},
      {"maximized from the menu",
       TLoadOrigin::Menu,
       {"[SP]", "PF=1", "PB=1000", "PT=50", "PL=60"},
       {{"SP.PF", 0}, {"SP.PB", 842}, {"SP.PT", 0}, {"SP.PL", 0}}},
      {"renamer",
       TLoadOrigin::Menu,
       {"[SD]", "PB=2000", "PH=500", "PT=-5", "PL=7"},
       {{"SD.PF", 0}, {"SD.PB", 592}, {"SD.PH", 500}, {"SD.PT", -5}, {"SD.PL", 7}}},
      {"renamer maximized",
       TLoadOrigin::Menu,
       {"[SD]", "PF=1", "PB=300"},
       {{"SD.PF", 1}, {"SD.PB", 592}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    std::string bytes = "\xFF\xFE";
    for (std::string_view line : c.lines) bytes += Utf16le(std::string(line) + "\r\n");
    test::WriteFileText(Path("place.pxc"), bytes);
    SettingsStore store;
    Set(store, "SP.PT", "0");
    KonfigurationLaden(store, Path("place.pxc"), c.origin, kScreen);
    for (const auto& [name, value] : c.expected)
      EXPECT_EQ(store.Entry(store.Resolve(name)).Number, value) << name;
  }
  // A maximized window loaded from the menu keeps its size and only moves.
  const std::string path = Path("max.pxc");
  WriteWindowsFile(path, {"[SP]", "PF=1"});
  SettingsStore store;
  Set(store, "SP.PL", "300");
  Set(store, "SP.PT", "200");
  KonfigurationLaden(store, path, TLoadOrigin::Menu, kScreen);
  EXPECT_EQ(store.Number("SP", "PL"), 0);
  EXPECT_EQ(store.Number("SP", "PT"), 0);
  EXPECT_FALSE(store.Checked("SP", "PF"));
}

TEST_F(ConfigurationFileTest, DamagedFilesChangeOnlyTheFixedSteps) {
  SettingsStore expected;
  Set(expected, "FCE.FBO", "0");  // font styles default to off when "FCE" cannot be read
  std::mt19937 random(1234);
  std::vector<std::pair<std::string, std::string>> files = {
      {"empty", ""},
      {"only a byte order mark", "\xFF\xFE"},
      {"odd length", "\xFF\xFE[\0P"},
      {"zeros", std::string(64, '\0')},
      {"big-endian mark only", "\xFE\xFF"},
      {"truncated header", "\xFF\xFE" + Utf16le("[PBC")},
      {"no equals", "\xFF\xFE" + Utf16le("[PBCH]\r\nact_size\r\n")},
      {"unpaired surrogate", std::string("\xFF\xFE", 2) + Utf16le("[PBED]\r\ninp_ordner=") +
                                 "\x00\xD8" + Utf16le("\r\n")},
      {"huge value", "\xFF\xFE" + Utf16le("[PBED]\r\nzz=" + std::string(100000, 'x'))},
  };
  for (int n = 0; n < 20; ++n) {
    std::string bytes(static_cast<size_t>(random() % 3000), '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    if (n % 2 == 0) bytes = "\xFF\xFE" + bytes;
    files.emplace_back("random " + std::to_string(n), bytes);
  }
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    test::WriteFileText(Path("damaged.pxc"), bytes);
    SettingsStore store;
    KonfigurationLaden(store, Path("damaged.pxc"), TLoadOrigin::StartUp, kScreen);
    // Random bytes may happen to spell a key; nothing else may change.
    if (name.starts_with("random"))
      EXPECT_LT(Differences(expected, store).size(), 3u);
    else
      EXPECT_EQ(Differences(expected, store), std::vector<std::string>{});
  }
  for (const std::string& path : {Path("missing.pxc"), folder_.Path().string(), std::string()}) {
    SCOPED_TRACE(path);
    SettingsStore store;
    KonfigurationLaden(store, path, TLoadOrigin::Menu, kScreen);
    EXPECT_EQ(Differences(expected, store), std::vector<std::string>{});
  }
}

TEST_F(ConfigurationFileTest, UnwritableFileRaisesTheWriteError) {
  const SettingsStore store;
  const std::string path = Path("no/such/folder/x.pxc");
  try {
    KonfigurationSpeichern(store, path);
    ADD_FAILURE() << "written";
  } catch (const EConfigWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
  EXPECT_THROW(KonfigurationSpeichern(store, folder_.Path().string()), EConfigWriteError);
}

TEST_F(ConfigurationFileTest, SavingIntoAProfileKeepsItsOtherSections) {
  const std::string path = Path("profile.pxc");
  WriteWindowsFile(path, {"[AS]", "N=1", "[PBMM]",
                          "act_text_quelle=Zeile 1\x1F"
                          "Zeile 2",
                          "[PBCH]", "act_hart=1"});
  SettingsStore store;
  KonfigurationLaden(store, path, TLoadOrigin::Menu, kScreen);
  EXPECT_TRUE(store.Checked("PBCH", "act_hart"));
  EXPECT_EQ(store.Text("PBMM", "act_text_quelle"), "abc") << "profiles' text is not loaded";
  KonfigurationSpeichern(store, path);
  TConfigIniFile file(path);
  EXPECT_EQ(file.ReadString("PBMM", "act_text_quelle", ""), "Zeile 1\x1FZeile 2");
  EXPECT_EQ(file.ReadSections().front(), "AS");
}

}  // namespace
}  // namespace pixolan::config
