#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/CliMain.h"
#include "imaging/Registry.h"

namespace pixolan::cli {
namespace {

struct TRun {
  int status;
  std::string out, err;
};

TRun RunWith(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = RunCli(args, out, err);
  return {status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Cli, InformationOptionsSucceed) {
  const struct {
    std::vector<std::string> args;
    std::string outStart;
  } cases[] = {
      {{"--help"}, "Usage: pixolan-cli [OPTIONS] PATH...\n"},
      {{"-h"}, "Usage: pixolan-cli [OPTIONS] PATH...\n"},
      {{"--version", "--help"}, "Usage: pixolan-cli"},  // help wins
      {{"--help", "photo.png"}, "Usage: pixolan-cli"},
      {{"--version"}, std::string("pixolan-cli ") + PIXOLAN_VERSION + "\n"},
  };
  for (const auto& c : cases) {
    const TRun run = RunWith(c.args);
    SCOPED_TRACE(c.args.front());
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_TRUE(run.out.starts_with(c.outStart)) << run.out;
    EXPECT_EQ(run.err, "");
  }
  EXPECT_EQ(RunWith({"--version"}).out, std::string("pixolan-cli ") + PIXOLAN_VERSION + "\n");
}

TEST(Cli, HelpListsEveryAcceptedOption) {
  const std::string help = RunWith({"--help"}).out;
  for (const TCliOption& option : CliOptions()) {
    EXPECT_NE(help.find("--" + std::string(option.LongName)), std::string::npos) << option.LongName;
    EXPECT_NE(help.find(std::string(option.Help)), std::string::npos);
  }
  EXPECT_NE(help.find("-h, --help"), std::string::npos);
  EXPECT_NE(help.find("Exit status: 0"), std::string::npos);
}

TEST(Cli, BadUsageExitsWithTwo) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "pixolan-cli: no paths given\n"},
      {{"--frobnicate"}, "pixolan-cli: unknown option '--frobnicate'\n"},
      {{"--config=x.pxc"}, "pixolan-cli: unknown option '--config'\n"},
      {{"-x"}, "pixolan-cli: unknown option '-x'\n"},
      {{"-hx"}, "pixolan-cli: unknown option '-x'\n"},
      {{"--version=2"}, "pixolan-cli: option '--version' takes no value\n"},
      {{"photo.png"}, "pixolan-cli: no output folder given (-o FOLDER)\n"},
      {{"--", "--version"}, "pixolan-cli: no output folder given (-o FOLDER)\n"},
      {{"-o", "out", "-f", "xyz", "photo.png"},
       "pixolan-cli: no image format saves .xyz files (see --list-formats)\n"},
      {{"-o", "out", "-f", "*.pcx", "photo.png"},
       "pixolan-cli: no image format saves .pcx files (see --list-formats)\n"},
      {{"-f", "a/b", "photo.png"},
       "pixolan-cli: 'a/b' is not an output format (e.g. png, .jpg, keep)\n"},
      {{"--existing", "maybe", "photo.png"},
       "pixolan-cli: --existing takes 'overwrite' or 'skip', not 'maybe'\n"},
      {{"-o"}, "pixolan-cli: option '-o' needs a value FOLDER\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args.front());
    const TRun run = RunWith(c.args);
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.message + "Try 'pixolan-cli --help' for more information.\n");
  }
}

TEST(Cli, ConvertsFilesAndExitsByTheWorstOutcome) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("pixolan-cli-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string gif = std::string(PIXOLAN_TESTDATA_DIR) + "/gif/peterdn/animated_loop.gif";
  const std::string broken = (dir / "broken.bmp").string();
  std::ofstream(broken) << "BM not really";
  const std::string out = (dir / "results").string();

  const TRun good = RunWith({"-o", out, "-f", ".bmp", "-v", gif});
  EXPECT_EQ(good.status, kExitOk) << good.err;
  EXPECT_TRUE(fs::exists(dir / "results" / "animated_loop.bmp"));
  EXPECT_NE(good.out.find("animated_loop.gif -> "), std::string::npos);
  EXPECT_NE(good.out.find("1 converted, 0 skipped, 0 failed"), std::string::npos);

  // The result now exists: skipped by default, and a broken source fails the run.
  const TRun mixed = RunWith({"-o", out, "-f", "bmp", gif, broken});
  EXPECT_EQ(mixed.status, kExitFailed);
  EXPECT_NE(mixed.err.find("animated_loop.bmp: skipped: The file already exists."),
            std::string::npos)
      << mixed.err;
  EXPECT_NE(mixed.err.find("pixolan-cli: " + broken + ": "), std::string::npos) << mixed.err;
  EXPECT_NE(mixed.out.find("0 converted, 1 skipped, 1 failed"), std::string::npos);

  const TRun overwrite = RunWith({"-o", out, "-f", "tga", "--existing=overwrite", "-q", gif});
  EXPECT_EQ(overwrite.status, kExitOk);
  EXPECT_EQ(overwrite.out, "");
  EXPECT_TRUE(fs::exists(dir / "results" / "animated_loop.tga"));
  fs::remove_all(dir);
}

TEST(Cli, ArgvEntryPointSkipsTheProgramName) {
  std::string program = "pixolan-cli", version = "--version";
  char* argv[] = {program.data(), version.data(), nullptr};
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(2, argv, out, err), kExitOk);
  EXPECT_EQ(out.str(), std::string("pixolan-cli ") + PIXOLAN_VERSION + "\n");
}

// Handlers with the shapes the list must cope with: long names, several masks, load-only.
class TListedFormat : public imaging::TImageFileFormat {
 public:
  TListedFormat(std::string name, std::string_view masks, bool canRead, bool canWrite) {
    Name = std::move(name);
    AddMasks(masks);
    CanRead = canRead;
    CanWrite = canWrite;
  }
};

TEST(FormatList, ColumnsLineUpUnderAHeader) {
  TListedFormat png("Portable Network Graphics", "*.png", true, true);
  TListedFormat jpeg("Joint Photographic Experts Group Image", "*.jpg,*.jpeg", true, true);
  TListedFormat pcx("ZSoft Paintbrush Image", "*.pcx", true, false);
  const std::vector<imaging::TImageFileFormat*> formats = {&png, &jpeg, &pcx};
  std::ostringstream out;
  PrintFormatList(out, formats);
  const std::vector<std::string> lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 6), "Format");
  const size_t masks = lines[0].find("Masks"), load = lines[0].find("Load"),
               save = lines[0].find("Save");
  ASSERT_NE(masks, std::string::npos);
  ASSERT_LT(masks, load);
  ASSERT_LT(load, save);
  const struct {
    std::string name, masks, load, save;
  } rows[] = {
      {"Portable Network Graphics", "*.png", "yes", "yes"},
      {"Joint Photographic Experts Group Image", "*.jpg,*.jpeg", "yes", "yes"},
      {"ZSoft Paintbrush Image", "*.pcx", "yes", "no"},
  };
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(lines[i + 1]);
    EXPECT_TRUE(lines[i + 1].starts_with(rows[i].name + "  "));
    EXPECT_EQ(lines[i + 1].substr(masks, rows[i].masks.size() + 1), rows[i].masks + " ");
    EXPECT_EQ(lines[i + 1].substr(load, 3), rows[i].load);
    EXPECT_EQ(lines[i + 1].substr(save), rows[i].save);
  }
}

TEST(FormatList, SaysSoWhenNothingIsRegistered) {
  std::ostringstream out;
  PrintFormatList(out, {});
  EXPECT_EQ(out.str(), "No image formats are available in this build.\n");
}

TEST(Cli, ListFormatsShowsTheRegistryInOrder) {
  const TRun run = RunWith({"--list-formats"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.err, "");
  const std::vector<imaging::TImageFileFormat*> formats = imaging::FileFormats();
  std::ostringstream expected;
  PrintFormatList(expected, formats);
  EXPECT_EQ(run.out, expected.str());
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), formats.empty() ? 1u : formats.size() + 1);
  for (size_t i = 0; i < formats.size(); ++i)
    EXPECT_TRUE(lines[i + 1].starts_with(formats[i]->Name)) << lines[i + 1];
}

}  // namespace
}  // namespace pixolan::cli
