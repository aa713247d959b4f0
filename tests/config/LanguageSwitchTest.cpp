#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/LanguageSwitch.h"

namespace pixolan::config {
namespace {

TEST(Sprachealles, SwitchesTheProcessAndTheStoreWithThePreviewOffMeanwhile) {
  for (const bool previewOn : {true, false}) {
    SettingsStore store(TLanguage::De);
    store.SetChecked(store.IndexOf("PBCH", "vor_okay"), previewOn);
    store.SetText(store.IndexOf("PBCB", "out_name"), "%name%_%breite%");
    std::vector<std::string> changes;
    store.AddChangeListener([&](const TSettingEntry& entry) {
      if (entry.Name == "vor_okay")
        changes.push_back("vor_okay=" + std::to_string(entry.Number));
      else if (entry.Name == "out_name")
        changes.push_back("out_name");
    });

    sprachealles(store, TLanguage::En);
    EXPECT_EQ(lang::CurrentLanguage(), TLanguage::En);
    EXPECT_EQ(store.Language(), TLanguage::En);
    EXPECT_EQ(store.Text("PBCB", "out_name"), "%name%_%width%");
    EXPECT_EQ(store.Checked("PBCH", "vor_okay"), previewOn);
    const std::vector<std::string> expected =
        previewOn ? std::vector<std::string>{"vor_okay=0", "out_name", "vor_okay=1"}
                  : std::vector<std::string>{"out_name"};
    EXPECT_EQ(changes, expected);

    sprachealles(store, TLanguage::De);
    EXPECT_EQ(lang::CurrentLanguage(), TLanguage::De);
    EXPECT_EQ(store.Text("PBCB", "out_name"), "%name%_%breite%");
  }
}

}  // namespace
}  // namespace pixolan::config
