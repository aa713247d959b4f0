#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "config/SettingsStore.h"
#include "core/ImageFiles.h"
#include "input/FolderScan.h"
#include "support/Files.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;

class FolderScanTest : public testing::Test {
 protected:
  // Creates the file (and its folders); image files get a small image in the format
  // of their extension, others a line of text.
  std::string Make(std::string_view relative, bool image = true) {
    const fs::path path = folder_ / relative;
    fs::create_directories(path.parent_path());
    if (image) {
      const std::string lower = [&] {
        std::string ext = path.extension().string();
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        return ext;
      }();
      const std::string temporary = (path.parent_path() / ("made" + lower)).string();
      EXPECT_TRUE(core::SaveResultImage(temporary, test::Filled(2, 2, 0xFF00FF00))) << relative;
      fs::rename(temporary, path);
    } else {
      test::WriteFileText(path, "text");
    }
    return path.string();
  }
  std::string Root() const { return folder_.Path().string(); }
  std::vector<std::string> Found(std::vector<std::string> extensions, bool recursive,
                                 const std::string& folder = {}) const {
    std::vector<std::string> list;
    FindFiles(list, folder.empty() ? Root() : folder, extensions, recursive);
    for (std::string& path : list) path.erase(0, Root().size() + 1);
    return list;
  }

  test::TTempFolder folder_;
  test::TRecordingListMessages messages_;
};

TEST_F(FolderScanTest, SubfoldersFirstThenOwnFilesByExtensionInNameOrder) {
  for (const char* name : {"b.png", "a.png", "c.jpg", "Z.JPG", "sub/x.png", "sub/deep/y.jpg",
                           "a-sub/w.png", "notes.txt", ".hidden.png", "sub/pic.jpeg"})
    Make(name, false);
  fs::create_directories(folder_ / "folder.png");
  const struct {
    std::vector<std::string> extensions;
    bool recursive;
    std::vector<std::string> found;
  } cases[] = {
      {{".jpg", ".png"},
       true,
       {"a-sub/w.png", "sub/deep/y.jpg", "sub/x.png", "Z.JPG", "c.jpg", ".hidden.png", "a.png",
        "b.png"}},
      {{".png", ".jpg"}, false, {".hidden.png", "a.png", "b.png", "Z.JPG", "c.jpg"}},
      {{".JPEG"}, true, {"sub/pic.jpeg"}},
      {{}, true, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Found(c.extensions, c.recursive), c.found);
  // A trailing separator changes nothing.
  EXPECT_EQ(Found({".jpg"}, false, Root() + "/"), (std::vector<std::string>{"Z.JPG", "c.jpg"}));
}

TEST_F(FolderScanTest, LinksToFoldersAreNotFollowedAndScansAlwaysEnd) {
  Make("real/a.png", false);
  fs::create_directory_symlink(folder_ / "real", folder_ / "link");
  fs::create_directory_symlink(folder_.Path(), folder_ / "real" / "loop");
  fs::create_symlink(folder_ / "real" / "a.png", folder_ / "file-link.png");
  fs::create_symlink(folder_ / "gone.png", folder_ / "dangling.png");
  EXPECT_EQ(Found({".png"}, true),
            (std::vector<std::string>{"real/a.png", "dangling.png", "file-link.png"}));
}

TEST_F(FolderScanTest, UnreadableSubfoldersAreSkipped) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  Make("open/a.png", false);
  Make("closed/b.png", false);
  fs::permissions(folder_ / "closed", fs::perms::none);
  EXPECT_EQ(Found({".png"}, true), (std::vector<std::string>{"open/a.png"}));
  fs::permissions(folder_ / "closed", fs::perms::owner_all);
}

TEST(FormatFilter, ExtensionsFollowTheFilterSettingsOfTheStore) {
  config::SettingsStore store;
  TScanSettings settings = ScanSettingsOf(store);
  EXPECT_TRUE(settings.Recursive);
  ASSERT_EQ(settings.Extensions.size(), 31u);
  EXPECT_EQ(settings.Extensions[2], ".jpg");
  EXPECT_EQ(settings.Extensions[3], ".jpeg");
  EXPECT_EQ(settings.Extensions.back(), ".ico");

  const auto set = [&](std::string_view name, std::string_view value) {
    store.SetValueText(store.Resolve(name), value);
  };
  set("PFRB.auswahl", "1");
  set("PBCH.inp_uv", "0");
  settings = ScanSettingsOf(store);
  EXPECT_FALSE(settings.Recursive);
  EXPECT_TRUE(settings.Extensions.empty());
  // A family box ticks its members, as in the window; the order is the filter's.
  set("PFCH.cb_jpg", "1");
  set("PFCH.gif", "1");
  set("PFCH.bmp", "1");
  EXPECT_EQ(ScanSettingsOf(store).Extensions,
            (std::vector<std::string>{".bmp", ".jpg", ".jpeg", ".jfif", ".jpe", ".jif", ".gif"}));
  set("PFRB.alle", "1");
  EXPECT_EQ(ScanSettingsOf(store).Extensions.size(), 31u);
}

TEST(FormatFilter, BoxesAreUsableOnlyForSelectedFormatsAndMembersOfTickedFamilies) {
  config::SettingsStore store;
  const auto usable = [&] {
    std::string names;
    for (const std::string_view box : {"cb_jpg", "jpg", "jpeg", "cb_tiff", "tif", "png"})
      if (FormatBoxEnabled(store, box)) names += std::string(names.empty() ? "" : " ").append(box);
    return names;
  };
  EXPECT_EQ(usable(), "");
  store.SetChecked(store.IndexOf("PFRB", "auswahl"), true);
  EXPECT_EQ(usable(), "cb_jpg cb_tiff png");
  store.SetChecked(store.IndexOf("PFCH", "cb_jpg"), true);
  EXPECT_EQ(usable(), "cb_jpg jpg jpeg cb_tiff png");
  // With all formats a ticked family's members are of no use either.
  store.SetChecked(store.IndexOf("PFRB", "alle"), true);
  EXPECT_EQ(usable(), "");
}

// Counts what the scan shows and asks to stop after `cancelAt` analyzed files.
class TScriptedScan : public TScanFrontEnd {
 public:
  explicit TScriptedScan(size_t cancelAt = 0) : cancelAt_(cancelAt) {}
  void Searching() override { Calls.push_back("searching"); }
  void Analyzing(size_t found) override { Calls.push_back("analyzing " + std::to_string(found)); }
  void Analyzed(size_t analyzed, size_t found) override {
    Calls.push_back(std::to_string(analyzed) + "/" + std::to_string(found));
    if (analyzed == cancelAt_) cancel_ = true;
  }
  bool CancelRequested() override { return cancel_; }
  void ClearCancelRequest() override {
    cancel_ = false;
    Calls.push_back("cleared");
  }
  void Finished() override { Calls.push_back("finished"); }
  std::vector<std::string> Calls;

 private:
  size_t cancelAt_;
  bool cancel_ = false;
};

TEST_F(FolderScanTest, AddOrdnerAddsSilentlyAndReportsProgress) {
  const std::string sub = Make("sub/s.png");
  const std::string a = Make("a.bmp");
  Make("fake.png", false);
  TInputList list(messages_, test::FixedListOptions());
  list.add2list(a);
  TScriptedScan scan;
  const TScanResult result = AddOrdner(list, Root(), {{".png", ".bmp"}, true}, scan);
  EXPECT_EQ(result.Found, 3u);
  EXPECT_EQ(result.Analyzed, 3u);
  EXPECT_EQ(result.Added, 1u);
  EXPECT_FALSE(result.Cancelled);
  EXPECT_EQ(list.Paths(), (std::vector<std::string>{a, sub}));
  // Neither the listed file nor the fake image was reported.
  EXPECT_TRUE(messages_.Shown.empty());
  EXPECT_FALSE(messages_.OkForAll());
  EXPECT_EQ(scan.Calls, (std::vector<std::string>{"searching", "analyzing 3", "1/3", "2/3", "3/3",
                                                  "finished"}));
  // Without subfolders, and with nothing selected, nothing is found.
  TInputList flat(messages_, test::FixedListOptions());
  AddOrdner(flat, Root(), {{".png"}, false}, scan);
  EXPECT_EQ(flat.Count(), 0u);
  EXPECT_EQ(AddOrdner(flat, Root(), {{}, true}, scan).Found, 0u);
}

TEST_F(FolderScanTest, CancellingKeepsWhatWasAdded) {
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) Make(name);
  TInputList list(messages_, test::FixedListOptions());
  TScriptedScan scan(2);
  const TScanResult result = AddOrdner(list, Root(), {{".png"}, true}, scan);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.Analyzed, 2u);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(scan.Calls, (std::vector<std::string>{"searching", "analyzing 4", "1/4", "2/4",
                                                  "cleared", "finished"}));
  EXPECT_FALSE(messages_.OkForAll());
}

TEST_F(FolderScanTest, OnlyExistingFoldersAreScanned) {
  Make("a.png");
  const std::string file = Make("b.png");
  TInputList list(messages_, test::FixedListOptions());
  TScriptedScan scan;
  for (const std::string& folder : {std::string(), file, Root() + "/missing"})
    EXPECT_EQ(AddOrdner(list, folder, {{".png"}, true}, scan).Found, 0u) << folder;
  EXPECT_TRUE(scan.Calls.empty());
  // A folder whose name holds ".txt" is a folder like any other.
  Make("notes.txt.d/c.png");
  EXPECT_EQ(AddOrdner(list, Root() + "/notes.txt.d", {{".png"}, true}, scan).Added, 1u);
}

TEST(ScanProgress, TextsInTheLanguage) {
  const TScanProgressTexts en = ScanProgressTexts(TScanPhase::Searching, 0, 0, lang::TLanguage::En);
  EXPECT_EQ(en.Title, "Searching for Images");
  EXPECT_EQ(en.FoundLine, "0 Images found");
  EXPECT_EQ(en.AnalyzedLine, "0 Images analyzed");
  const TScanProgressTexts de =
      ScanProgressTexts(TScanPhase::Analyzing, 12, 3, lang::TLanguage::De);
  EXPECT_EQ(de.Title, "Bilder werden analysiert");
  EXPECT_EQ(de.FoundLine, "12 Bilder gefunden");
  EXPECT_EQ(de.AnalyzedLine, "3 Bilder analysiert");
  // A drop: analysed, counted as added.
  for (const auto& [language, title, found] :
       {std::tuple{lang::TLanguage::En, "Analyzing Images", "4 Images added"},
        std::tuple{lang::TLanguage::De, "Bilder werden analysiert",
                   "4 Bilder werden hinzugefügt"}}) {
    const TScanProgressTexts drop = ScanProgressTexts(TScanPhase::Adding, 4, 1, language);
    EXPECT_EQ(drop.Title, title);
    EXPECT_EQ(drop.FoundLine, found);
  }
}

}  // namespace
}  // namespace pixolan::input
