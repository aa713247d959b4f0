#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/ImageFiles.h"
#include "input/InputList.h"
#include "support/Files.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;

class InputListTest : public testing::Test {
 protected:
  std::string Path(std::string_view name) const { return folder_.File(name); }
  // An image file of the size in the format its extension names (or, with `as`, in that
  // format under the name).
  std::string Image(std::string_view name, int width, int height, std::string_view as = {}) {
    const std::string path = Path(name);
    const std::string written = as.empty() ? path : Path(std::string(name) + "." + std::string(as));
    EXPECT_TRUE(core::SaveResultImage(written, test::Filled(width, height, 0xFF336699)));
    if (written != path) fs::rename(written, path);
    return path;
  }
  std::vector<std::string> Names(const TInputList& list) const {
    std::vector<std::string> names;
    for (const InputListEntry& entry : list.Entries()) names.push_back(entry.Name);
    return names;
  }

  test::TTempFolder folder_;
  test::TRecordingListMessages messages_;
};

TEST(SizeText, KilobytesWithThreeDecimalsAndEightSignificantDigits) {
  const struct {
    uint64_t bytes;
    std::string separator, text;
  } cases[] = {
      {0, ",", "0,000 KB"},
      {12345, ",", "12,056 KB"},
      {12345, ".", "12.056 KB"},
      {4096, ",", "4,000 KB"},
      {1, ",", "0,001 KB"},   // 0.0009765625 rounds up
      {64, ".", "0.063 KB"},  // 0.0625: a half goes away from zero
      {1023 * 1024 + 1023, ".", "1023.999 KB"},
      // Six integer digits leave two significant decimals, seven one.
      {uint64_t(123456789), ".", "120563.270 KB"},        // 120563.2705...
      {uint64_t(1234567890), ".", "1205632.700 KB"},      // 1205632.705...
      {uint64_t(102399999590), ".", "100000000.000 KB"},  // 99999999.6 carries
      {uint64_t(1) << 40, "٫", "1073741800٫000 KB"},      // 1073741824: 8 digits kept
  };
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes, c.separator), c.text) << c.bytes;
}

TEST(ListColumns, NameLosesEveryCopyOfTheExtensionAndTypeIsItInCapitals) {
  const struct {
    std::string path, name, type;
  } cases[] = {
      {"/p/photo.jpg", "photo", "JPG"},
      {"/p/photo.jpg.jpg", "photo", "JPG"},
      {"/p/x.JPG", "x", "JPG"},
      {"/p/x.jpg.JPG", "x.jpg", "JPG"},  // the copies compare case-sensitively
      {"/p.d/noext", "noext", ""},
      {"/p/.hidden", "", "HIDDEN"},
      {"relative.png", "relative", "PNG"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ListName(c.path), c.name) << c.path;
    EXPECT_EQ(ListType(c.path), c.type) << c.path;
  }
}

TEST_F(InputListTest, Add2ListFillsTheColumnsAndRefusesWhatIsNoNewImage) {
  const std::string bmp = Image("photo.bmp", 30, 20);
  const std::string png = Image("photo.jpg.jpg", 7, 5, "png");  // the content decides
  const std::string icon = Image("icon.ico", 32, 32);
  Image("Photo.BMP", 2, 2);
  test::WriteFileText(Path("text.png"), "not an image at all");
  test::WriteFileText(Path("empty.bmp"), "");
  ASSERT_EQ(::mkfifo(Path("pipe.bmp").c_str(), 0600), 0);
  fs::create_directory(Path("folder.bmp"));

  TInputList list(messages_, test::FixedListOptions());
  const struct {
    std::string path;
    TAddResult result;
    std::string message;
  } cases[] = {
      {bmp, TAddResult::Added, ""},
      {png, TAddResult::Added, ""},
      {icon, TAddResult::Added, ""},
      {bmp, TAddResult::AlreadyListed, "dateischoninliste: " + bmp},
      // The duplicate test compares the text exactly.
      {Path("Photo.BMP"), TAddResult::Added, ""},
      {Path("text.png"), TAddResult::NotAnImage, "formatfehler: " + Path("text.png")},
      {Path("empty.bmp"), TAddResult::NotAnImage, "formatfehler: " + Path("empty.bmp")},
      // Never opened: a pipe without writer would block the reader forever.
      {Path("pipe.bmp"), TAddResult::NotAnImage, "formatfehler: " + Path("pipe.bmp")},
      {Path("folder.bmp"), TAddResult::NotAnImage, "formatfehler: " + Path("folder.bmp")},
      {Path("missing.bmp"), TAddResult::NotAnImage, "formatfehler: " + Path("missing.bmp")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    messages_.Shown.clear();
    EXPECT_EQ(list.add2list(c.path), c.result);
    EXPECT_EQ(messages_.Shown,
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
  }
  ASSERT_EQ(list.Count(), 4u);
  // Sorted by name, ascending, letter case aside; equal names keep the order of adding.
  EXPECT_EQ(list.Entry(0), (InputListEntry{"icon", "ICO", "32", "32", "4,000 KB", icon}));
  EXPECT_EQ(list.Entry(1).Path, bmp);
  EXPECT_EQ(list.Entry(2).Path, png);
  EXPECT_EQ(list.Entry(2),
            (InputListEntry{"photo", "JPG", "7", "5", SizeText(fs::file_size(png), ","), png}));
  EXPECT_EQ(list.Entry(3).Name, "Photo");
  EXPECT_EQ(list.Entry(1).Size, SizeText(fs::file_size(bmp), ","));
  EXPECT_EQ(list.Entry(1).Width, "30");
  EXPECT_EQ(list.Entry(1).Height, "20");
}

TEST_F(InputListTest, OkForAllSilencesTheRefusals) {
  const std::string bmp = Image("a.bmp", 2, 2);
  TInputList list(messages_, test::FixedListOptions());
  messages_.SetOkForAll(true);
  EXPECT_EQ(list.add2list(bmp), TAddResult::Added);
  EXPECT_EQ(list.add2list(bmp), TAddResult::AlreadyListed);
  EXPECT_EQ(list.add2list(Path("nothing.png")), TAddResult::NotAnImage);
  EXPECT_TRUE(messages_.Shown.empty());
}

// A message front end that answers "OK for all" at its n-th message.
class TScriptedMessages : public lang::TMessageFrontEnd {
 public:
  explicit TScriptedMessages(size_t okForAllAt) : okForAllAt_(okForAllAt) {}
  int TextWidth(std::string_view text) const override { return int(text.size()); }
  int ArgumentWidth() const override { return 1000; }
  bool ShowMessage(const lang::TMessage& message) override {
    Titles.push_back(message.Title);
    return Titles.size() == okForAllAt_;
  }
  std::vector<std::string> Titles;

 private:
  size_t okForAllAt_;
};

TEST_F(InputListTest, OkForAllChosenInTheCatalogueMessageSilencesTheRest) {
  lang::SetCurrentLanguage(lang::TLanguage::En);
  TScriptedMessages window(2);
  TCatalogueListMessages messages(window);
  TInputList list(messages, test::FixedListOptions());
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) list.add2list(Path(name));
  EXPECT_EQ(window.Titles,
            (std::vector<std::string>{"Format not supported", "Format not supported"}));
  EXPECT_TRUE(messages.OkForAll());
  EXPECT_EQ(messages.Shown(), 2u);
  messages.SetOkForAll(false);
  list.add2list(Path("e.png"));
  EXPECT_EQ(window.Titles.size(), 3u);
}

TEST_F(InputListTest, PathsOnlyDetectsTheContentWithoutDecoding) {
  const std::string good = Image("good.png", 3, 3);
  // A PNG signature and nothing else: recognised, though no image can be decoded from it.
  const std::string cut = Path("cut.png");
  test::WriteFileText(cut, std::string("\x89PNG\r\n\x1A\n", 8));
  test::WriteFileText(Path("text.png"), "no image");
  // Icons are read by name: their header stands in for the content detection, and a PNG
  // named .ico is none.
  const std::string icon = Image("icon.cur", 2, 2);
  const std::string pngIcon = Image("png.ico", 2, 2, "png");
  for (const TListDetail detail : {TListDetail::Columns, TListDetail::PathsOnly}) {
    TInputList list(messages_, test::FixedListOptions(detail));
    messages_.Shown.clear();
    EXPECT_EQ(list.add2list(good), TAddResult::Added);
    EXPECT_EQ(list.add2list(Path("text.png")), TAddResult::NotAnImage);
    EXPECT_EQ(list.add2list(icon), TAddResult::Added);
    EXPECT_EQ(list.add2list(pngIcon), TAddResult::NotAnImage);
    const TAddResult cutResult = list.add2list(cut);
    if (detail == TListDetail::Columns) {
      EXPECT_EQ(cutResult, TAddResult::NotAnImage);
      EXPECT_EQ(list.Entry(0).Width, "3");
    } else {
      // The run reports what cannot be decoded.
      EXPECT_EQ(cutResult, TAddResult::Added);
      EXPECT_EQ(list.Entry(1), (InputListEntry{"good", "PNG", "", "", "", good}));
    }
  }
}

TEST_F(InputListTest, ColumnClicksSortByColumnAndDirection) {
  TInputList list(messages_, test::FixedListOptions());
  const std::string a = Image("b.bmp", 100, 9);
  const std::string b = Image("A.png", 9, 100);
  const std::string c = Image("c.gif", 20, 20);
  for (const std::string& path : {a, b, c}) list.add2list(path);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"A", "b", "c"}));
  const struct {
    TListColumn column;
    bool descending;
    std::vector<std::string> names;
  } clicks[] = {
      {TListColumn::Name, true, {"c", "b", "A"}},    // the list is sorted by name already
      {TListColumn::Width, false, {"A", "c", "b"}},  // 9 < 20 < 100, not as texts
      {TListColumn::Width, true, {"b", "c", "A"}},  {TListColumn::Height, false, {"b", "c", "A"}},
      {TListColumn::Type, false, {"b", "c", "A"}},  // BMP, GIF, PNG
  };
  for (const auto& click : clicks) {
    list.qulistColumnClick(click.column);
    EXPECT_EQ(list.SortColumn(), click.column);
    EXPECT_EQ(list.Descending(), click.descending);
    EXPECT_EQ(Names(list), click.names) << int(click.column);
  }
  // New entries take their place in the current order, after their equals.
  list.add2list(Image("d.png", 1, 50));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"b", "c", "A", "d"}));
  for (const bool descending : {false, true}) {
    list.qulistColumnClick(TListColumn::Size);
    EXPECT_EQ(list.Descending(), descending);
    for (size_t i = 1; i < list.Count(); ++i) {
      const auto before = fs::file_size(list.Entry(i - 1).Path);
      const auto after = fs::file_size(list.Entry(i).Path);
      EXPECT_TRUE(descending ? before >= after : before <= after) << i;
    }
  }
}

TEST_F(InputListTest, SizesCompareAsNumbersAndBadNumbersAsZero) {
  TInputList list(messages_, test::FixedListOptions());
  list.qulistColumnClick(TListColumn::Size);
  const auto entry = [](std::string size, std::string width) {
    InputListEntry e;
    e.Size = std::move(size);
    e.Width = std::move(width);
    return e;
  };
  EXPECT_LT(list.qulistCompare(entry("9,500 KB", ""), entry("10,000 KB", "")), 0);
  EXPECT_GT(list.qulistCompare(entry("1000,000 KB", ""), entry("999,999 KB", "")), 0);
  EXPECT_EQ(list.qulistCompare(entry("", ""), entry("0,000 KB", "")), 0);
  list.qulistColumnClick(TListColumn::Width);
  EXPECT_LT(list.qulistCompare(entry("", "x"), entry("", "1")), 0);
  EXPECT_EQ(list.qulistCompare(entry("", "x"), entry("", "0")), 0);
  EXPECT_LT(list.qulistCompare(entry("", "-5"), entry("", "")), 0);
}

TEST_F(InputListTest, DeletionAndTheCountLabel) {
  TInputList list(messages_, test::FixedListOptions());
  EXPECT_EQ(list.CountLabel(lang::TLanguage::En), "0 Images");
  std::vector<std::string> paths;
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) {
    paths.push_back(Image(name, 2, 2));
    list.add2list(paths.back());
  }
  EXPECT_EQ(list.CountLabel(lang::TLanguage::De), "4 Bilder");
  const std::vector<size_t> selected = {3, 1, 1, 9};
  list.DeleteSelected(selected);
  EXPECT_EQ(list.Paths(), (std::vector<std::string>{paths[0], paths[2]}));
  EXPECT_FALSE(list.Contains(paths[1]));
  // A deleted file may be added again.
  EXPECT_EQ(list.add2list(paths[1]), TAddResult::Added);
  EXPECT_EQ(list.CountLabel(lang::TLanguage::En), "3 Images");

  fs::remove(paths[0]);
  fs::rename(paths[2], Path("moved.bmp"));
  EXPECT_EQ(list.RemoveVanished(), 2u);
  EXPECT_EQ(list.Paths(), (std::vector<std::string>{paths[1]}));
  EXPECT_EQ(list.CountLabel(lang::TLanguage::En), "1 Image");
  EXPECT_EQ(list.CountLabel(lang::TLanguage::De), "1 Bild");
  list.DeleteAll();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.add2list(paths[1]), TAddResult::Added);
}

TEST_F(InputListTest, UpdateListItemReadsTheFileAgain) {
  TInputList list(messages_, test::FixedListOptions());
  const std::string a = Image("a.bmp", 10, 10);
  const std::string b = Image("b.bmp", 20, 20);
  list.add2list(a);
  list.add2list(b);
  list.qulistColumnClick(TListColumn::Width);
  Image("a.bmp", 40, 30);
  EXPECT_TRUE(list.UpdateListItem(0));
  // The size is now the decoded size, and the entry moved to its place by width.
  EXPECT_EQ(list.Entry(1), (InputListEntry{"a", "BMP", "40", "30", "4,688 KB", a}));
  EXPECT_EQ(list.Entry(0).Path, b);

  test::WriteFileText(b, "no longer an image");
  EXPECT_FALSE(list.UpdateListItem(0));
  EXPECT_EQ(list.Entry(0).Width, "20");
  EXPECT_FALSE(list.UpdateListItem(2));
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(InputListTest, RenameListItemGivesTheEntryTheNewPathAndItsPlace) {
  TInputList list(messages_, test::FixedListOptions());
  const std::string a = Image("a.bmp", 10, 10);
  const std::string b = Image("b.bmp", 20, 20);
  list.add2list(a);
  list.add2list(b);
  // Renamed to something that is no image (any more): name, type and path follow, the
  // other columns stay.
  const std::string c = Path("c.txt");
  fs::rename(a, c);
  test::WriteFileText(c, "text");
  EXPECT_TRUE(list.RenameListItem(0, c));
  EXPECT_EQ(list.Entry(1), (InputListEntry{"c", "TXT", "10", "10", list.Entry(1).Size, c}));
  EXPECT_FALSE(list.Contains(a));
  EXPECT_TRUE(list.Contains(c));
  // A path that another entry has, and an index past the end, change nothing.
  EXPECT_FALSE(list.RenameListItem(0, c));
  EXPECT_FALSE(list.RenameListItem(2, Path("d.bmp")));
  EXPECT_EQ(list.Paths(), (std::vector<std::string>{b, c}));
}

}  // namespace
}  // namespace pixolan::input
