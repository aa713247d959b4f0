#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "config/SettingsStore.h"
#include "core/ImageFiles.h"
#include "input/InputList.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "ui/FolderWatchBinding.h"

namespace pixolan::ui {
namespace {

namespace fs = std::filesystem;

class FolderWatchBindingTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }

  void SetUp() override {
    binding_.ListChanged = [this] { ++listChanged_; };
  }
  void SetFolder(const std::string& folder) {
    store_.SetText(store_.IndexOf("PBED", "inp_ordner"), folder);
  }
  void Tick(const char* name, bool checked) {
    store_.SetChecked(store_.IndexOf("PBCH", name), checked);
  }
  void Image(const std::string& name) {
    ASSERT_TRUE(core::SaveResultImage(folder_.File(name), test::Filled(3, 2, 0xFF112233)));
  }
  // Runs the event loop until the condition holds. The limit only keeps a broken watch
  // from hanging the test; it is no measure of speed.
  bool RunUntil(const std::function<bool()>& condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition() && std::chrono::steady_clock::now() < limit)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
  }

  test::TTempFolder folder_;
  config::SettingsStore store_;
  test::TRecordingListMessages messages_;
  input::TInputList list_{messages_, test::FixedListOptions()};
  TFolderWatchBinding binding_{store_, list_};
  int listChanged_ = 0;
};

TEST_F(FolderWatchBindingTest, WatchesWhenTickedForAnExistingFolderOnly) {
  test::WriteFileText(folder_ / "file", "x");
  const struct {
    std::string Folder;
    bool Ticked, Watching;
  } cases[] = {
      {folder_.Path().string(), true, true},
      {folder_.Path().string(), false, false},
      {"", true, false},
      {folder_.File("missing"), true, false},
      {folder_.File("file"), true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Folder + (c.Ticked ? " ticked" : ""));
    Tick("inp_ow", false);
    SetFolder(c.Folder);
    Tick("inp_ow", c.Ticked);  // ticking applies the rule by itself
    EXPECT_EQ(binding_.Watching(), c.Watching);
    EXPECT_EQ(binding_.WatchedFolder(), c.Watching ? c.Folder : "");
  }
  Tick("inp_ow", false);
  EXPECT_FALSE(binding_.Watching());
}

TEST_F(FolderWatchBindingTest, ImagesCreatedInTheFolderEnterTheListAndDeletedOnesLeave) {
  fs::create_directories(folder_ / "sub");
  SetFolder(folder_.Path().string());
  Tick("inp_uv", false);
  Tick("inp_ow", true);
  ASSERT_TRUE(binding_.Watching());

  // Written before the top-level one: once that is listed, the subfolder's was handled.
  Image("sub/deep.bmp");
  Image("top.bmp");
  test::WriteFileText(folder_ / "note.txt", "no image");
  EXPECT_TRUE(RunUntil([&] { return list_.Contains(folder_.File("top.bmp")); }));
  EXPECT_EQ(list_.Paths(), std::vector<std::string>{folder_.File("top.bmp")});
  EXPECT_GT(listChanged_, 0);
  EXPECT_TRUE(messages_.Shown.empty());

  Tick("inp_uv", true);
  Image("sub/later.bmp");
  EXPECT_TRUE(RunUntil([&] { return list_.Contains(folder_.File("sub/later.bmp")); }));

  fs::rename(folder_.File("top.bmp"), folder_.File("renamed.bmp"));
  EXPECT_TRUE(RunUntil([&] { return list_.Contains(folder_.File("renamed.bmp")); }));
  EXPECT_FALSE(list_.Contains(folder_.File("top.bmp")));

  fs::remove(folder_.File("renamed.bmp"));
  EXPECT_TRUE(RunUntil([&] { return !list_.Contains(folder_.File("renamed.bmp")); }));
  EXPECT_EQ(list_.Count(), 1u);
}

TEST_F(FolderWatchBindingTest, ApplyMovesTheWatchToTheFolderNowInTheBox) {
  fs::create_directories(folder_ / "first");
  fs::create_directories(folder_ / "second");
  SetFolder(folder_.File("first"));
  Tick("inp_ow", true);
  SetFolder(folder_.File("second"));
  EXPECT_EQ(binding_.WatchedFolder(), folder_.File("first"));  // typing alone changes nothing
  binding_.Apply();                                            // as after Enter in the box
  EXPECT_EQ(binding_.WatchedFolder(), folder_.File("second"));
  Image("first/old.bmp");
  Image("second/new.bmp");
  EXPECT_TRUE(RunUntil([&] { return list_.Contains(folder_.File("second/new.bmp")); }));
  EXPECT_EQ(list_.Count(), 1u);

  SetFolder("");
  binding_.Apply();
  EXPECT_FALSE(binding_.Watching());
}

}  // namespace
}  // namespace pixolan::ui
