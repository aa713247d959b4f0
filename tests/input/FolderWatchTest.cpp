#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/ImageFiles.h"
#include "input/FolderWatch.h"
#include "support/Files.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;
using K = TWatchEventKind;

// The watched folder "pics" with a subfolder, and a sibling "pics2" whose name begins
// with the watched folder's.
class FolderWatchTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_ / "pics/sub");
    fs::create_directories(folder_ / "pics2");
    for (const char* name : {"pics/a.bmp", "pics/b.bmp", "pics/new.bmp", "pics/sub/c.bmp",
                             "pics/sub/new.bmp", "pics2/d.bmp"})
      Image(name, 2, 2);
    test::WriteFileText(folder_ / "pics/note.txt", "no image");
  }
  std::string Path(const std::string& name) const { return folder_.File(name); }
  void Image(const std::string& name, int width, int height) {
    ASSERT_TRUE(core::SaveResultImage(Path(name), test::Filled(width, height, 0xFF336699)));
  }
  TWatchSettings Settings(bool subfolders = true) const { return {Path("pics"), subfolders}; }
  // The listed paths relative to the temporary folder, in list order.
  std::vector<std::string> Listed() const {
    std::vector<std::string> names;
    for (const InputListEntry& entry : list_.Entries())
      names.push_back(fs::path(entry.Path).lexically_relative(folder_.Path()).string());
    return names;
  }

  test::TTempFolder folder_;
  test::TRecordingListMessages messages_;
  TInputList list_{messages_, test::FixedListOptions()};
  TFolderWatch watch_{list_};
};

TEST_F(FolderWatchTest, HandlersApplyEventsInsideTheWatchedFolderOnly) {
  struct TScriptedEvent {
    K Kind;
    std::string Path, NewPath;
  };
  const struct {
    const char* Name;
    bool Subfolders;
    std::vector<std::string> Before;
    std::vector<TScriptedEvent> Events;
    std::vector<std::string> After;
  } cases[] = {
      {"created in the folder", false, {}, {{K::Created, "pics/new.bmp", ""}}, {"pics/new.bmp"}},
      {"created in a subfolder, subfolders off",
       false,
       {},
       {{K::Created, "pics/sub/new.bmp", ""}},
       {}},
      {"created in a subfolder, subfolders on",
       true,
       {},
       {{K::Created, "pics/sub/new.bmp", ""}},
       {"pics/sub/new.bmp"}},
      {"created in a folder whose name only begins alike",
       true,
       {},
       {{K::Created, "pics2/d.bmp", ""}},
       {}},
      {"created file is no image", true, {}, {{K::Created, "pics/note.txt", ""}}, {}},
      {"created twice",
       true,
       {},
       {{K::Created, "pics/new.bmp", ""}, {K::Created, "pics/new.bmp", ""}},
       {"pics/new.bmp"}},
      {"deleted in the folder",
       false,
       {"pics/a.bmp", "pics/b.bmp"},
       {{K::Deleted, "pics/a.bmp", ""}},
       {"pics/b.bmp"}},
      {"deleted in a subfolder counts with subfolders off",
       false,
       {"pics/a.bmp", "pics/sub/c.bmp"},
       {{K::Deleted, "pics/sub/c.bmp", ""}},
       {"pics/a.bmp"}},
      {"deleted elsewhere",
       true,
       {"pics/a.bmp", "pics2/d.bmp"},
       {{K::Deleted, "pics2/d.bmp", ""}},
       {"pics/a.bmp", "pics2/d.bmp"}},
      {"deleted twice",
       true,
       {"pics/a.bmp", "pics/b.bmp"},
       {{K::Deleted, "pics/a.bmp", ""}, {K::Deleted, "pics/a.bmp", ""}},
       {"pics/b.bmp"}},
      {"deleted, spelled with a doubled separator",
       true,
       {"pics/a.bmp"},
       {{K::Deleted, "pics//a.bmp", ""}},
       {}},
      {"deleted, other letter case is another file",
       true,
       {"pics/a.bmp"},
       {{K::Deleted, "pics/A.bmp", ""}},
       {"pics/a.bmp"}},
      {"renamed listed file",
       true,
       {"pics/a.bmp", "pics/b.bmp"},
       {{K::Renamed, "pics/a.bmp", "pics/z.bmp"}},
       {"pics/b.bmp", "pics/z.bmp"}},
      {"renamed twice delivered",
       true,
       {"pics/a.bmp"},
       {{K::Renamed, "pics/a.bmp", "pics/z.bmp"}, {K::Renamed, "pics/a.bmp", "pics/z.bmp"}},
       {"pics/z.bmp"}},
      {"renamed unlisted file",
       true,
       {"pics/b.bmp"},
       {{K::Renamed, "pics/a.bmp", "pics/z.bmp"}},
       {"pics/b.bmp"}},
      {"renamed over a listed file",
       true,
       {"pics/a.bmp", "pics/b.bmp"},
       {{K::Renamed, "pics/a.bmp", "pics/b.bmp"}},
       {"pics/b.bmp"}},
      {"written under a temporary name, renamed before it was handled",
       true,
       {},
       {{K::Created, "pics/.tmp-gone", ""}, {K::Renamed, "pics/.tmp-gone", "pics/new.bmp"}},
       {"pics/new.bmp"}},
      {"renamed from outside the folder",
       true,
       {"pics2/d.bmp"},
       {{K::Renamed, "pics2/d.bmp", "pics/d.bmp"}},
       {"pics2/d.bmp"}},
      {"changed unlisted file",
       true,
       {"pics/a.bmp"},
       {{K::Changed, "pics/b.bmp", ""}},
       {"pics/a.bmp"}},
      {"subfolder gone",
       true,
       {"pics/a.bmp", "pics/sub/c.bmp", "pics/sub/new.bmp"},
       {{K::FolderGone, "pics/sub", ""}},
       {"pics/a.bmp"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    list_.DeleteAll();
    for (const std::string& name : c.Before)
      ASSERT_EQ(list_.add2list(Path(name)), TAddResult::Added);
    const std::vector<std::string> before = Listed();
    bool changed = false;
    for (const TScriptedEvent& e : c.Events)
      changed = watch_.Deliver(Settings(c.Subfolders),
                               {e.Kind, Path(e.Path), e.NewPath.empty() ? "" : Path(e.NewPath)}) ||
                changed;
    EXPECT_EQ(Listed(), c.After);
    EXPECT_EQ(changed, Listed() != before);
    EXPECT_TRUE(messages_.Shown.empty());
    EXPECT_FALSE(messages_.OkForAll());
  }
}

TEST_F(FolderWatchTest, EventsAreIgnoredWhileTheFolderBoxNamesNoFolder) {
  ASSERT_EQ(list_.add2list(Path("pics/a.bmp")), TAddResult::Added);
  for (const std::string& folder : {std::string(), Path("gone")}) {
    const TWatchSettings settings{folder, true};
    EXPECT_FALSE(watch_.swCreate(settings, Path("pics/new.bmp")));
    EXPECT_FALSE(watch_.swDelete(settings, Path("pics/a.bmp")));
    EXPECT_FALSE(watch_.swRenameItem(settings, Path("pics/a.bmp"), Path("pics/z.bmp")));
  }
  EXPECT_EQ(Listed(), std::vector<std::string>{"pics/a.bmp"});
}

TEST_F(FolderWatchTest, RenamedAndChangedEntriesAreReadAgain) {
  ASSERT_EQ(list_.add2list(Path("pics/a.bmp")), TAddResult::Added);
  Image("pics/a.bmp", 4, 3);
  EXPECT_TRUE(watch_.swUpdateItem(Settings(), Path("pics/a.bmp")));
  EXPECT_EQ(list_.Entry(0).Width, "4");
  EXPECT_EQ(list_.Entry(0).Height, "3");
  EXPECT_EQ(list_.Entry(0).Size, "0,047 KB");  // the decoded 4 x 3 x 4 bytes

  fs::rename(Path("pics/a.bmp"), Path("pics/Moved.BMP"));
  Image("pics/Moved.BMP", 5, 1);
  EXPECT_TRUE(watch_.swRenameItem(Settings(), Path("pics/a.bmp"), Path("pics/Moved.BMP")));
  const InputListEntry& entry = list_.Entry(0);
  EXPECT_EQ(entry.Path, Path("pics/Moved.BMP"));
  EXPECT_EQ(entry.Name, "Moved");
  EXPECT_EQ(entry.Type, "BMP");
  EXPECT_EQ(entry.Width, "5");
}

// A writer that closes a file before it is complete: the first report finds no image, a
// later change (or the rename of a download's temporary name) adds it after all.
TEST_F(FolderWatchTest, AFileUnreadableAtItsCreationIsAddedWhenItIsChanged) {
  test::WriteFileText(folder_ / "pics/late.bmp", "BM");
  EXPECT_FALSE(watch_.swCreate(Settings(), Path("pics/late.bmp")));
  EXPECT_EQ(watch_.Unsettled(), 1u);
  Image("pics/late.bmp", 2, 2);
  EXPECT_TRUE(watch_.swUpdateItem(Settings(), Path("pics/late.bmp")));
  EXPECT_EQ(Listed(), std::vector<std::string>{"pics/late.bmp"});
  EXPECT_EQ(watch_.Unsettled(), 0u);

  test::WriteFileText(folder_ / "pics/part.tmp", "BM");
  EXPECT_FALSE(watch_.swCreate(Settings(), Path("pics/part.tmp")));
  Image("pics/done.bmp", 2, 2);
  EXPECT_TRUE(watch_.swRenameItem(Settings(), Path("pics/part.tmp"), Path("pics/done.bmp")));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"pics/done.bmp", "pics/late.bmp"}));
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(FolderWatchTest, AnOverflowDropsVanishedEntriesAndRereadsTheOthers) {
  for (const char* name : {"pics/a.bmp", "pics/b.bmp", "pics2/d.bmp"})
    ASSERT_EQ(list_.add2list(Path(name)), TAddResult::Added);
  fs::remove(Path("pics/b.bmp"));
  fs::remove(Path("pics2/d.bmp"));  // outside: not the watch's business
  Image("pics/a.bmp", 7, 1);
  EXPECT_TRUE(watch_.Deliver(Settings(), {K::Overflow, Path("pics"), ""}));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"pics/a.bmp", "pics2/d.bmp"}));
  EXPECT_EQ(list_.Entry(0).Width, "7");
}

TEST_F(FolderWatchTest, AddingKeepsTheMessageSuppressionOfAScanInProgress) {
  messages_.SetOkForAll(true);
  EXPECT_TRUE(watch_.swCreate(Settings(), Path("pics/a.bmp")));
  EXPECT_TRUE(messages_.OkForAll());
}

TEST(IsInsideFolder, ComparesWholeNames) {
  const struct {
    const char *Folder, *Path;
    bool Inside;
  } cases[] = {
      {"/pics", "/pics/a.png", true},
      {"/pics/", "/pics/sub/a.png", true},
      {"/pics", "/pics2/a.png", false},
      {"/pics", "/pics", false},
      {"/pics", "/PICS/a.png", false},
      {"/pics//x/..", "/pics/./a.png", true},
      {"/", "/a.png", true},
      {"", "/a.png", false},
      {"/pics", "/pics/../other/a.png", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsInsideFolder(c.Folder, c.Path), c.Inside) << c.Folder << " " << c.Path;
}

}  // namespace
}  // namespace pixolan::input
