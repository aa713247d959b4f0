#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <filesystem>

#include "config/SettingsStore.h"
#include "core/ImageFiles.h"
#include "lang/Language.h"
#include "support/DialogScript.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "ui/MessageWindow.h"
#include "ui/OverwriteQuestion.h"
#include "ui/ProcessingWindow.h"
#include "ui/WindowRun.h"

namespace pixolan::ui {
namespace {

namespace fs = std::filesystem;
using test::LabelText;
using test::TDialogScript;

// Every case runs with one job and with three: the window must not see a difference.
class WindowRunTest : public testing::TestWithParam<unsigned> {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  void SetUp() override {
    lang::SetCurrentLanguage(lang::TLanguage::En);
    main_.show();
    fs::create_directories(folder_ / "in");
    Set("out_ordner", folder_.File("out"));
    Set("out_name", "%name%");
    Set("out_format", "*.bmp - Windows Bitmap");
  }
  void TearDown() override { lang::SetCurrentLanguage(lang::TLanguage::De); }

  void Set(const char* name, const std::string& text) {
    store_.SetText(store_.Resolve(name), text);
  }
  // Sources in/<name>.bmp, each of its own color.
  std::vector<std::string> Sources(std::initializer_list<const char*> names) {
    std::vector<std::string> sources;
    uint32_t color = 0xFF102030;
    for (const char* name : names) {
      sources.push_back(folder_.File(std::string("in/") + name + ".bmp"));
      EXPECT_TRUE(core::SaveResultImage(sources.back(), test::Filled(3, 2, color += 0x070503)));
    }
    return sources;
  }
  std::string Out(const char* name) const { return folder_.File(std::string("out/") + name); }
  // A file that is in the way of a result.
  void Existing(const char* name) {
    fs::create_directories(folder_ / "out");
    test::WriteFileText(Out(name), std::string("old ") + name);
  }
  std::optional<core::TBatchResult> Run(const std::vector<std::string>& sources) {
    return RunInWindow(store_, sources, {main_, processing_, messages_, overwrite_}, GetParam());
  }
  // What a window shows when the script answers it, and whether the main window is
  // disabled and the processing window shown meanwhile.
  std::function<void(QWidget&)> Record(const char* line) {
    return [this, line](QWidget& window) {
      seen_.push_back(LabelText(window, line));
      if (main_.isEnabled() || !processing_.isVisible()) seen_.push_back("main window usable");
    };
  }
  bool IsImage(const std::string& path) const {
    imaging::TImageData image;
    return core::LoadSourceImage(path, image);
  }
  void ExpectEnded() const {
    EXPECT_TRUE(main_.isEnabled());
    EXPECT_FALSE(processing_.isVisible());
    EXPECT_FALSE(processing_.CancelRequested());
    EXPECT_FALSE(messages_.OkForAll());
  }

  test::TTempFolder folder_;
  config::SettingsStore store_{config::TLanguage::En};
  QWidget main_;
  TProcessingWindow processing_;
  TMessageWindow messages_;
  TOverwriteQuestion overwrite_;
  std::vector<std::string> seen_;
};

// Results a.bmp and b.bmp are in the way; c.bmp and d.bmp are new.
TEST_P(WindowRunTest, AnswersDecideWhichExistingResultsAreReplaced) {
  struct TCase {
    std::vector<std::string> buttons;
    std::vector<const char*> asked;     // the results the question named
    std::vector<const char*> replaced;  // of a.bmp and b.bmp
  };
  const TCase cases[] = {
      {{"button No", "button Yes"}, {"a.bmp", "b.bmp"}, {"b.bmp"}},
      {{"button Yes", "button No"}, {"a.bmp", "b.bmp"}, {"a.bmp"}},
      {{"button NoForAll"}, {"a.bmp"}, {}},
      {{"button YesForAll"}, {"a.bmp"}, {"a.bmp", "b.bmp"}},
  };
  const std::vector<std::string> sources = Sources({"a", "b", "c", "d"});
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.buttons.front());
    fs::remove_all(folder_ / "out");
    Existing("a.bmp");
    Existing("b.bmp");
    seen_.clear();
    // The answers for all files last one run: a second run asks again.
    for (int run = 0; run < 2; ++run) {
      const TDialogScript answers(overwrite_, c.buttons, Record("line 2"));
      const std::optional<core::TBatchResult> result = Run(sources);
      ASSERT_TRUE(result);
      if (run == 1) break;
      EXPECT_EQ(result->Converted, 2u + c.replaced.size());
      EXPECT_EQ(result->Skipped, 2u - c.replaced.size());
      EXPECT_FALSE(result->Cancelled);
      std::vector<std::string> asked;
      for (const char* name : c.asked) asked.push_back(Out(name));
      EXPECT_EQ(seen_, asked);
      for (const char* name : {"a.bmp", "b.bmp"}) {
        const bool replaced = std::find(c.replaced.begin(), c.replaced.end(),
                                        std::string_view(name)) != c.replaced.end();
        EXPECT_EQ(test::ReadFileText(Out(name)) != std::string("old ") + name, replaced) << name;
        EXPECT_EQ(IsImage(Out(name)), replaced) << name;
      }
      for (const char* name : {"c.bmp", "d.bmp"}) EXPECT_TRUE(IsImage(Out(name))) << name;
      ExpectEnded();
      seen_.clear();
    }
    ASSERT_FALSE(seen_.empty());
    EXPECT_EQ(seen_.front(), Out("a.bmp"));
  }
}

TEST_P(WindowRunTest, BreakInTheQuestionStopsTheRunThere) {
  const std::vector<std::string> sources = Sources({"a", "b", "c", "d"});
  Existing("b.bmp");
  const TDialogScript answers(overwrite_, {"button Cancel"}, Record("line 2"));
  const std::optional<core::TBatchResult> result = Run(sources);
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->Cancelled);
  EXPECT_EQ(result->Converted, 1u);
  EXPECT_EQ(answers.Seen(), 1u);
  EXPECT_TRUE(IsImage(Out("a.bmp")));
  EXPECT_EQ(test::ReadFileText(Out("b.bmp")), "old b.bmp");
  EXPECT_FALSE(fs::exists(Out("c.bmp")));
  EXPECT_FALSE(fs::exists(Out("d.bmp")));
  ExpectEnded();
}

// Break in the processing window takes effect after the file being worked on.
TEST_P(WindowRunTest, BreakInTheProcessingWindowStopsAfterTheCurrentFile) {
  const std::vector<std::string> sources = Sources({"a", "b", "c", "d"});
  Existing("a.bmp");
  const TDialogScript answers(overwrite_, {"button Yes"}, [this](QWidget&) {
    processing_.findChild<QPushButton*>("Abbrechen")->click();
  });
  const std::optional<core::TBatchResult> result = Run(sources);
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->Cancelled);
  EXPECT_EQ(result->Converted, 1u);
  EXPECT_TRUE(IsImage(Out("a.bmp")));
  for (const char* name : {"b.bmp", "c.bmp", "d.bmp"}) EXPECT_FALSE(fs::exists(Out(name)));
  ExpectEnded();
}

TEST_P(WindowRunTest, ProgressMovesThroughTheListInOrder) {
  std::vector<std::string> sources;
  for (int i = 0; i < 20; ++i) {
    const std::string name = std::to_string(100 + i);
    sources.push_back(Sources({name.c_str()}).front());
  }
  auto* bar = processing_.findChild<QProgressBar*>();
  std::vector<int> positions;
  std::vector<std::string> lines;
  QObject::connect(bar, &QProgressBar::valueChanged, &processing_, [&](int value) {
    positions.push_back(value);
    lines.push_back(LabelText(processing_, "line 2"));
    EXPECT_FALSE(main_.isEnabled());
    EXPECT_TRUE(processing_.isVisible());
  });
  const std::optional<core::TBatchResult> result = Run(sources);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->Converted, 20u);
  std::vector<int> expected;
  for (int i = 0; i <= 20; ++i) expected.push_back(i);
  ASSERT_EQ(positions, expected);
  EXPECT_EQ(bar->maximum(), 20);
  EXPECT_EQ(LabelText(processing_, "title label"), "Processing");
  EXPECT_EQ(LabelText(processing_, "line 1"), "Current Image:");
  EXPECT_EQ(lines[1], sources.front() + " (1/20)");
  EXPECT_EQ(lines.back(), sources.back() + " (20/20)");
  ExpectEnded();
}

// A result that cannot be written is a saving error; "OK for all" silences the others of
// the run, and the next run tells again.
TEST_P(WindowRunTest, OkForAllSilencesSavingErrorsForTheRun) {
  const std::vector<std::string> sources = Sources({"a", "b", "c"});
  test::WriteFileText(folder_ / "out", "a file where the folder should be");
  const TDialogScript okForAll(messages_, {"OKalle"}, Record("line 2"));
  std::optional<core::TBatchResult> result = Run(sources);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->Failed, 3u);
  const std::string quoted = std::string(1, '"').append(Out("a.bmp")).append(1, '"');
  EXPECT_EQ(seen_, std::vector<std::string>{quoted});
  ExpectEnded();
  result = Run(sources);
  EXPECT_EQ(okForAll.Seen(), 2u);
}

TEST_P(WindowRunTest, RefusedSettingsShowTheirMessageAndStartNothing) {
  struct TCase {
    const char* control;
    const char* text;
    const char* title;  // of the message; empty: none
  };
  const TCase cases[] = {
      {"out_ordner", "", "No Folder declared"},
      {"out_ordner", "relative/folder", "False Folder"},
      {"out_name", "", "No Filename declared"},
      {"EACB.out_quality", "very good", "Output Settings"},
  };
  const std::vector<std::string> sources = Sources({"a"});
  const TDialogScript ok(messages_, {"OK"}, [this](QWidget& window) {
    seen_.push_back(LabelText(window, "title label"));
    if (processing_.isVisible()) seen_.push_back("processing shown");
  });
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.control) + "=" + c.text);
    seen_.clear();
    const size_t index = store_.Resolve(c.control);
    const std::string saved = store_.Entry(index).Text;
    store_.SetText(index, c.text);
    EXPECT_EQ(Run(sources), std::nullopt);
    EXPECT_EQ(seen_, std::vector<std::string>{c.title});
    store_.SetText(index, saved);
  }
  EXPECT_FALSE(fs::exists(Out("a.bmp")));
  // An empty list starts nothing and says nothing.
  seen_.clear();
  EXPECT_EQ(Run({}), std::nullopt);
  EXPECT_TRUE(seen_.empty());
  ExpectEnded();
}

INSTANTIATE_TEST_SUITE_P(Jobs, WindowRunTest, testing::Values(1u, 3u),
                         [](const testing::TestParamInfo<unsigned>& param) {
                           return std::to_string(param.param) + "Jobs";
                         });

}  // namespace
}  // namespace pixolan::ui
