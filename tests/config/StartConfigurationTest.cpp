#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "config/ConfigIniFile.h"
#include "config/StartConfiguration.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::config {
namespace {

namespace fs = std::filesystem;

class TRecordingMessages final : public lang::TMessageFrontEnd {
 public:
  int TextWidth(std::string_view text) const override { return lang::CharacterWidth(text); }
  int ArgumentWidth() const override { return 100; }
  bool ShowMessage(const lang::TMessage& message) override {
    keys.push_back(message.Key);
    return false;
  }
  std::vector<std::string> keys;
};

TEST(StartConfiguration, IsAutoPxcInTheConfigurationFolder) {
  EXPECT_EQ(StartConfigurationPath("/home/anna/.config/pixolan"),
            "/home/anna/.config/pixolan/Auto.pxc");
}

TEST(StartConfiguration, LoadsWhenThereAndIsSilentWhenNot) {
  const test::TTempFolder folder;
  const std::string path = StartConfigurationPath(folder.Path());
  SettingsStore store;
  EXPECT_FALSE(LoadStartConfiguration(store, path, TScreenSize::Unlimited()));
  EXPECT_FALSE(store.Checked("PBCH", "act_size"));

  SettingsStore saved;
  saved.SetChecked(saved.IndexOf("PBCH", "act_size"), true);
  saved.SetChecked(saved.IndexOf("SP", "PF"), true);
  KonfigurationSpeichern(saved, path);
  EXPECT_TRUE(LoadStartConfiguration(store, path, TScreenSize::Unlimited()));
  EXPECT_TRUE(store.Checked("PBCH", "act_size"));
  EXPECT_TRUE(store.Checked("SP", "PF")) << "a start-up load maximizes";
}

TEST(StartConfiguration, DamagedOrUnreadableFilesNeverStopTheStart) {
  const struct {
    std::string_view name;
    void (*make)(const fs::path& path);
  } cases[] = {
      {"garbage", [](const fs::path& p) { test::WriteFileText(p, "\xFF\xFE[\0P\0B\0"); }},
      {"empty", [](const fs::path& p) { test::WriteFileText(p, ""); }},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }},
      {"binary", [](const fs::path& p) { test::WriteFileText(p, std::string(4096, '\x80')); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const test::TTempFolder folder;
    const std::string path = StartConfigurationPath(folder.Path());
    c.make(path);
    SettingsStore store;
    store.SetText(store.IndexOf("PBCB", "out_name"), "%name%_x");
    EXPECT_NO_THROW(LoadStartConfiguration(store, path, TScreenSize::Unlimited()));
    EXPECT_EQ(store.Text("PBCB", "out_name"), "%name%_x");
  }
}

TEST(StartConfiguration, TheMenuCommandTellsWhenThereIsNone) {
  const test::TTempFolder folder;
  const std::string path = StartConfigurationPath(folder.Path());
  SettingsStore store;
  TRecordingMessages messages;
  EXPECT_FALSE(KonfigurationLadenStart(store, path, TScreenSize::Unlimited(), messages));
  EXPECT_EQ(messages.keys, std::vector<std::string>{"keinestartkonfig"});

  SettingsStore saved;
  saved.SetChecked(saved.IndexOf("SP", "PF"), true);
  saved.SetChecked(saved.IndexOf("PBCH", "act_rand"), true);
  KonfigurationSpeichern(saved, path);
  EXPECT_TRUE(KonfigurationLadenStart(store, path, TScreenSize::Unlimited(), messages));
  EXPECT_EQ(messages.keys.size(), 1u);
  EXPECT_TRUE(store.Checked("PBCH", "act_rand"));
  EXPECT_FALSE(store.Checked("SP", "PF")) << "a menu load does not maximize";
}

TEST(AutoSave, WritesWhatTheChoiceSays) {
  const struct {
    std::string_view choice;
    bool written;
    bool placement;  // the full configuration's window placement is in the file
  } cases[] = {{"N", false, false}, {"A", true, true}, {"P", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.choice);
    const test::TTempFolder folder;
    const std::string path = StartConfigurationPath(folder.Path());
    SettingsStore store;
    store.SetChecked(store.IndexOf("AS", c.choice), true);
    AutoSaveOnExit(store, path);
    EXPECT_EQ(fs::exists(path), c.written);
    if (!c.written) continue;
    const TConfigIniFile file(path);
    EXPECT_EQ(file.SectionExists("SP"), c.placement);
    EXPECT_EQ(file.ReadString("AS", std::string(c.choice), ""), "1");
  }
}

TEST(AutoSave, ProfileWithNoGroupWritesOnlyTheAutosaveKeys) {
  const test::TTempFolder folder;
  const std::string path = StartConfigurationPath(folder.Path());
  SettingsStore store;
  store.SetChecked(store.IndexOf("AS", "P"), true);
  AutoSaveOnExit(store, path);
  const TConfigIniFile file(path);
  EXPECT_EQ(file.ReadSections(), std::vector<std::string>{"AS"});
  EXPECT_EQ(file.ReadSectionKeys("AS"), (std::vector<std::string>{"N", "P", "A"}));
}

TEST(AutoSave, AnUnwritableStartConfigurationRaises) {
  const test::TTempFolder folder;
  const std::string path = StartConfigurationPath(folder.Path());
  fs::create_directory(path);
  SettingsStore store;
  store.SetChecked(store.IndexOf("AS", "A"), true);
  EXPECT_THROW(AutoSaveOnExit(store, path), EConfigWriteError);
}

TEST(ConfigurationMenu, ListsEachPathOnceUnderItsShortenedCaption) {
  const std::string start = "/home/anna/.config/pixolan/Auto.pxc";
  TConfigurationMenu menu(start,
                          [](std::string_view text) { return 10 * lang::CharacterWidth(text); });
  EXPECT_FALSE(menu.Add(start));
  EXPECT_FALSE(menu.Add(""));
  EXPECT_TRUE(menu.Add("/home/anna/a.pxc"));
  EXPECT_FALSE(menu.Add("/home/anna/a.pxc"));
  EXPECT_TRUE(menu.Add("/home/anna/A.pxc")) << "another spelling is another entry";
  const std::string longPath = "/home/anna/Dokumente/Konfigurationen/Urlaub/2026/sommer.pxc";
  EXPECT_TRUE(menu.Add(longPath));
  ASSERT_EQ(menu.Entries().size(), 3u);
  const struct {
    std::string_view name, hint, caption;
  } expected[] = {
      {"m_konfig_9", "/home/anna/a.pxc", "/home/anna/a.pxc"},
      {"m_konfig_10", "/home/anna/A.pxc", "/home/anna/A.pxc"},
      // 37 characters of 10 units fit into 372.
      {"m_konfig_11", longPath, "/.../Urlaub/2026/sommer.pxc"},
  };
  for (size_t i = 0; i < menu.Entries().size(); ++i) {
    EXPECT_EQ(menu.Entries()[i].Name, expected[i].name);
    EXPECT_EQ(menu.Entries()[i].Hint, expected[i].hint);
    EXPECT_EQ(menu.Entries()[i].Caption, expected[i].caption);
  }
  menu.SetStartHint("/tmp/Auto.pxc");
  EXPECT_TRUE(menu.Add(start));
}

TEST(ConfigurationMenu, TheFolderGivesItsPxcFilesButNotTheStartConfiguration) {
  const test::TTempFolder folder;
  for (std::string_view name : {"b.pxc", "a.PXC", "Auto.pxc", "notes.txt", "c.pxc.bak"})
    test::WriteFileText(folder / name, "");
  fs::create_directory(folder / "sub.pxc");
  fs::create_directory(folder / "inner");
  test::WriteFileText(folder / "inner" / "deep.pxc", "");
  TConfigurationMenu menu(StartConfigurationPath(folder.Path()), lang::CharacterWidth);
  menu.AddFolder(folder.Path());
  std::vector<std::string> hints;
  for (const TConfigurationMenuEntry& entry : menu.Entries()) hints.push_back(entry.Hint);
  EXPECT_EQ(hints, (std::vector<std::string>{folder.File("a.PXC"), folder.File("b.pxc")}));
  TConfigurationMenu missing("/x/Auto.pxc", lang::CharacterWidth);
  missing.AddFolder(folder / "does-not-exist");
  EXPECT_TRUE(missing.Entries().empty());
}

TEST(ConfigurationMenu, AnEntryWhoseFileIsGoneDoesNothing) {
  const test::TTempFolder folder;
  const std::string path = folder.File("k.pxc");
  SettingsStore saved;
  saved.SetChecked(saved.IndexOf("PBCH", "act_farbe"), true);
  KonfigurationSpeichern(saved, path);
  TConfigurationMenu menu(StartConfigurationPath(folder.Path()), lang::CharacterWidth);
  ASSERT_TRUE(menu.Add(path));
  SettingsStore store;
  EXPECT_TRUE(KonfigurationLadenMenu(store, menu.Entries()[0], TScreenSize::Unlimited()));
  EXPECT_TRUE(store.Checked("PBCH", "act_farbe"));
  fs::remove(path);
  SettingsStore other;
  EXPECT_FALSE(KonfigurationLadenMenu(other, menu.Entries()[0], TScreenSize::Unlimited()));
  EXPECT_EQ(menu.Entries().size(), 1u);
}

TEST(ConfigurationMenu, SavedLoadedAndProfileFilesAreListedOnce) {
  const test::TTempFolder folder;
  const std::string start = StartConfigurationPath(folder.Path());
  TConfigurationMenu menu(start, lang::CharacterWidth);
  SettingsStore store;
  store.SetChecked(store.IndexOf("PBCH", "act_rand"), true);
  store.SetChecked(store.IndexOf("PSCH", "act_rand"), true);

  KonfigurationSpeichernDialog(store, menu, "");
  ProfilSpeichernDialog(store, menu, "");
  KonfigurationLadenDialog(store, menu, "", TScreenSize::Unlimited());
  EXPECT_TRUE(menu.Entries().empty());
  EXPECT_TRUE(folder.Entries().empty());

  KonfigurationSpeichernDialog(store, menu, folder.File("full.pxc"));
  ProfilSpeichernDialog(store, menu, folder.File("profile.pxc"));
  KonfigurationSpeichernDialog(store, menu, folder.File("full.pxc"));
  SettingsStore loaded;
  KonfigurationLadenDialog(loaded, menu, folder.File("profile.pxc"), TScreenSize::Unlimited());
  EXPECT_TRUE(loaded.Checked("PBCH", "act_rand"));
  std::vector<std::string> hints;
  for (const TConfigurationMenuEntry& entry : menu.Entries()) hints.push_back(entry.Hint);
  EXPECT_EQ(hints, (std::vector<std::string>{folder.File("full.pxc"), folder.File("profile.pxc")}));
  EXPECT_TRUE(TConfigIniFile(folder.File("full.pxc")).SectionExists("SP"));
  EXPECT_FALSE(TConfigIniFile(folder.File("profile.pxc")).SectionExists("SP"));

  const std::string other = folder.File("elsewhere.pxc");
  KonfigurationSpeichernStart(store, menu, other);
  EXPECT_EQ(menu.StartHint(), other);
  EXPECT_TRUE(fs::exists(other));
  EXPECT_FALSE(menu.Add(other));
}

}  // namespace
}  // namespace pixolan::config
