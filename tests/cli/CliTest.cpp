#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <sstream>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/CliMain.h"
#include "config/ConfigIniFile.h"
#include "config/ConfigurationFile.h"
#include "config/JobSettings.h"
#include "config/SettingsStore.h"
#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"
#include "support/Files.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::cli {
namespace {

struct TRun {
  int status;
  std::string out, err;
};

// The CLI reads its start configuration from PIXOLAN_HOME and its language from the
// locale: every run of these tests sees an empty home and English unless a test says
// otherwise.
void IsolateFromTheUser() {
  static const test::TTempFolder home;
  static const test::TScopedEnvironment homeVariable("PIXOLAN_HOME", home.Path().string());
  static const test::TScopedEnvironment locale("LC_ALL", "C.UTF-8");
}

TRun RunWith(std::vector<std::string> args, const TConsole& console = {}) {
  IsolateFromTheUser();
  std::ostringstream out, err;
  const int status = RunCli(args, out, err, console);
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
      {{"--configure=x.pxc"}, "pixolan-cli: unknown option '--configure'\n"},
      {{"--config=x.pxc"}, "pixolan-cli: configuration 'x.pxc' does not exist\n"},
      {{"missing.PXC", "--print-settings"},
       "pixolan-cli: configuration 'missing.PXC' does not exist\n"},
      {{"--set", "act_size"}, "pixolan-cli: --set takes NAME=VALUE, not 'act_size'\n"},
      {{"--set", "=1"}, "pixolan-cli: --set takes NAME=VALUE, not '=1'\n"},
      {{"--set", "frobnicate=1"}, "pixolan-cli: --set: unknown setting 'frobnicate'\n"},
      {{"--set", "alle=1", "--print-settings"},
       "pixolan-cli: --set: setting 'alle' is used by several windows: use PFRB.alle, PSCH.alle "
       "or DFRB.alle\n"},
      {{"--set", "act_size=yes", "--print-settings"},
       "pixolan-cli: --set: PBCH.act_size takes 1 or 0, not 'yes'\n"},
      {{"--set", "ScrollBar5=1.5"},
       "pixolan-cli: --set: PBSB.ScrollBar5 takes an integer, not '1.5'\n"},
      {{"--lang", "fr"}, "pixolan-cli: --lang takes 'de' or 'en', not 'fr'\n"},
      {{"--save-config="}, "pixolan-cli: the configuration file name must not be empty\n"},
      {{"-x"}, "pixolan-cli: unknown option '-x'\n"},
      {{"-hx"}, "pixolan-cli: unknown option '-x'\n"},
      {{"--version=2"}, "pixolan-cli: option '--version' takes no value\n"},
      {{"-o", "out", "-f", "xyz", "photo.png"},
       "pixolan-cli: -f: no output format 'xyz'; choose one of: keep, jpg, png, gif, bmp, dib, "
       "ico, cur, psd, pdd, tif, tiff, jpeg, jfif, jpe, jif, mng, jng, pgm, ppm, pam, pfm, jp2, "
       "j2k, j2c, jpx, jpc, dds, tga\n"},
      {{"-o", "out", "-f", "*.pcx", "--print-settings"},
       "pixolan-cli: -f: no output format 'pcx'; choose one of: keep, jpg, png, gif, bmp, dib, "
       "ico, cur, psd, pdd, tif, tiff, jpeg, jfif, jpe, jif, mng, jng, pgm, ppm, pam, pfm, jp2, "
       "j2k, j2c, jpx, jpc, dds, tga\n"},
      {{"-n", "", "photo.png"}, "pixolan-cli: the name pattern must not be empty\n"},
      {{"-f", "a/b", "photo.png"},
       "pixolan-cli: 'a/b' is not an output format (e.g. png, .jpg, keep)\n"},
      {{"--existing", "maybe", "photo.png"},
       "pixolan-cli: --existing takes 'ask', 'overwrite' or 'skip', not 'maybe'\n"},
      {{"--jobs", "0", "photo.png"}, "pixolan-cli: --jobs takes a number from 1 to 256, not '0'\n"},
      {{"-j2x", "photo.png"}, "pixolan-cli: --jobs takes a number from 1 to 256, not '2x'\n"},
      {{"-o"}, "pixolan-cli: option '-o' needs a value PATTERN\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args.front());
    const TRun run = RunWith(c.args);
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.message + "Try 'pixolan-cli --help' for more information.\n");
  }
}

TEST(Cli, RefusedRunsShowTheCatalogueMessageInTheLanguage) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--set", "out_ordner=", "photo.png"},
       "No Folder declared: Your Images could not be processed, because in the Saving-Options "
       "no Folder is declared. Enter a correct Folder for your Images and try again.\n"},
      {{"--set", "out_name=", "--", "--version"},
       "No Filename declared: Your Images could not be processed, because in the "
       "Saving-Options no Filename is declared. Enter a correct Filename for your Images and "
       "try again.\n"},
      {{"-o", "%folder%/a:b", "photo.png"},
       "False Folder: This is not a correct Folder for Saving Files: \"%folder%/a:b\" Enter a "
       "correct Folder for your Images and try again.\n"},
      {{"--set", "out_ordner=relative", "photo.png"},
       "False Folder: This is not a correct Folder for Saving Files: \"relative\" Enter a "
       "correct Folder for your Images and try again.\n"},
      {{"--lang", "de", "--set", "out_ordner=", "photo.png"},
       "Kein Ordner angegeben: Ihre Bilder konnten leider nicht bearbeitet werden, da unter den "
       "Speicheroptionen kein Ordner für die Bilder angegeben wurde. Geben Sie unter \"Ordner\" "
       "einen Ordner für Ihre Bilder an.\n"},
      {{"--lang=de", "-n", "%name%", "-o", "/tmp/x/../%ordner%/a*b", "photo.png"},
       "Falscher Ordner angegeben: Dies ist kein richtiger Ordner zum Speichern von Dateien: "
       "\"/tmp/x/../%ordner%/a*b\" Geben Sie unter \"Ordner\" einen richtigen Ordner für Ihre "
       "Bilder an.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    const TRun run = RunWith(c.args);
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.message);
  }
}

TEST(Cli, WithoutLangTheLocaleChoosesTheLanguage) {
  IsolateFromTheUser();
  const struct {
    std::optional<std::string> lcAll;
    std::string title;
  } cases[] = {
      {"de_DE.UTF-8", "Kein Dateiname angegeben:"},
      {"en_US.UTF-8", "No Filename declared:"},
      {"C", "No Filename declared:"},
  };
  for (const auto& c : cases) {
    const test::TScopedEnvironment locale("LC_ALL", c.lcAll);
    const TRun run = RunWith({"--set", "out_name=", "photo.png"});
    EXPECT_TRUE(run.err.starts_with(c.title)) << run.err;
  }
  const test::TScopedEnvironment locale("LC_ALL", "de_DE.UTF-8");
  EXPECT_TRUE(RunWith({"--lang", "en", "--set", "out_name=", "photo.png"})
                  .err.starts_with("No Filename declared:"));
}

TEST(Cli, ConvertsFilesAndExitsByTheWorstOutcome) {
  namespace fs = std::filesystem;
  const test::TTempFolder folder;
  const fs::path& dir = folder.Path();
  const std::string gif = std::string(PIXOLAN_TESTDATA_DIR) + "/gif/peterdn/animated_loop.gif";
  const std::string broken = (dir / "broken.bmp").string();
  test::WriteFileText(broken, "BM not really");
  const std::string out = (dir / "results").string();

  const TRun good = RunWith({"-o", out, "-f", ".bmp", "-v", gif});
  EXPECT_EQ(good.status, kExitOk) << good.err;
  // The name pattern is the store's default, "%name%-1".
  EXPECT_TRUE(fs::exists(dir / "results" / "animated_loop-1.bmp"));
  EXPECT_NE(good.out.find("animated_loop.gif -> "), std::string::npos);
  EXPECT_NE(good.out.find("1 converted, 0 skipped, 0 failed"), std::string::npos);

  // The result now exists: skipped by default, and a source that is no image is refused
  // as the window's list refuses it, which fails the command.
  const TRun mixed = RunWith({"-o", out, "-f", "bmp", gif, broken});
  EXPECT_EQ(mixed.status, kExitFailed);
  EXPECT_NE(mixed.err.find("animated_loop-1.bmp: skipped: The file already exists."),
            std::string::npos)
      << mixed.err;
  EXPECT_NE(mixed.err.find("Format not supported: Unfortunately, the Format of this File is not "
                           "supported: \"" +
                           broken + "\""),
            std::string::npos)
      << mixed.err;
  EXPECT_NE(mixed.out.find("0 converted, 1 skipped, 0 failed"), std::string::npos);

  const TRun overwrite =
      RunWith({"-o", out, "-n", "%name%", "-f", "tga", "--existing=overwrite", "-q", gif});
  EXPECT_EQ(overwrite.status, kExitOk);
  EXPECT_EQ(overwrite.out, "");
  EXPECT_TRUE(fs::exists(dir / "results" / "animated_loop.tga"));
}

TEST(Cli, ActionsRunAndAFailedOneIsReportedWithStatusOne) {
  namespace fs = std::filesystem;
  const test::TTempFolder folder;
  const std::string gif = std::string(PIXOLAN_TESTDATA_DIR) + "/gif/peterdn/animated_loop.gif";
  const std::string out = folder.File("results");
  const std::vector<std::string> resize = {
      "--set", "act_size=1", "--set", "act_sizebenutzer=1",
      "-o",    out,          "-n",    "%name%-%width%x%height%",
      "-f",    "bmp"};
  std::vector<std::string> fits = resize;
  fits.insert(fits.end(), {"--set", "act_sizebenutzer_x=20", "--set", "act_sizebenutzer_y=20",
                           "--set", "act_sizeprop=0", gif});
  const TRun good = RunWith(fits);
  EXPECT_EQ(good.status, kExitOk) << good.err;
  EXPECT_TRUE(fs::exists(folder.Path() / "results" / "animated_loop-20x20.bmp"));

  // A zero-width box makes the resize fail: the image is saved as loaded, and reported.
  std::vector<std::string> zero = resize;
  zero.insert(zero.end(), {"--set", "act_sizebenutzer_x=0", gif});
  const TRun failed = RunWith(zero);
  EXPECT_EQ(failed.status, kExitFailed);
  const std::string source = fs::path(gif).lexically_normal().string();
  EXPECT_NE(failed.err.find("Converting Error: An Error occurs during converting this file: \"" +
                            source + "\" Please use another file format.\n"),
            std::string::npos)
      << failed.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

// A JPEG converted with -f png, mng and jng gives files that pngcheck (an independent
// checker of all three) passes and that load back at the source's size: the program saves
// A8R8G8B8 results, so the PNG is 8-bit RGBA.
TEST(Cli, ConvertsToTheNetworkGraphicsFormats) {
  namespace fs = std::filesystem;
  ASSERT_EQ(std::system("command -v pngcheck >/dev/null 2>&1"), 0) << "pngcheck is needed";
  const test::TTempFolder folder;
  const fs::path& dir = folder.Path();
  const std::string jpeg =
      std::string(PIXOLAN_TESTDATA_DIR) + "/jpeg/jpegsuite/baseline/32x32x8_ycbcr_interleaved.jpg";
  ASSERT_TRUE(fs::exists(jpeg)) << jpeg;
  for (const char* ext : {"png", "mng", "jng"}) {
    SCOPED_TRACE(ext);
    const TRun run = RunWith({"-o", dir.string(), "-n", "%name%", "-f", ext, "-q", jpeg});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    const fs::path result = dir / (std::string("32x32x8_ycbcr_interleaved.") + ext);
    ASSERT_TRUE(fs::exists(result));
    EXPECT_EQ(std::system(("pngcheck -q '" + result.string() + "' >/dev/null").c_str()), 0);
    imaging::TImageData loaded;
    ASSERT_TRUE(imaging::ImageLoadFile(result.string(), loaded));
    EXPECT_EQ(loaded.Width, 32);
    EXPECT_EQ(loaded.Height, 32);
    if (std::string(ext) == "png") {
      EXPECT_EQ(loaded.Format, imaging::TImageFormatId::A8R8G8B8);
    }
  }
}

TEST(Cli, ConvertsToAndFromIconsAndCursors) {
  namespace fs = std::filesystem;
  const test::TTempFolder folder;
  const fs::path& dir = folder.Path();
  const std::string jpeg =
      std::string(PIXOLAN_TESTDATA_DIR) + "/jpeg/jpegsuite/baseline/32x32x8_ycbcr_interleaved.jpg";
  ASSERT_TRUE(fs::exists(jpeg)) << jpeg;
  for (const char* ext : {"ico", "cur"}) {
    SCOPED_TRACE(ext);
    const TRun run = RunWith({"-o", dir.string(), "-n", "%name%", "-f", ext, "-q", jpeg});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    const fs::path result = dir / (std::string("32x32x8_ycbcr_interleaved.") + ext);
    const std::vector<uint8_t> bytes = test::ReadFileBytes(result);
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(bytes[2], 1);  // an icon resource under either name
    // And back: an icon source converts like any other.
    const fs::path back = dir / ext;
    const TRun reverse = RunWith({"-o", back.string(), "-n", "%name%", "-f", "png", "-q", result});
    EXPECT_EQ(reverse.status, kExitOk) << reverse.err;
    imaging::TImageData loaded;
    ASSERT_TRUE(imaging::ImageLoadFile((back / "32x32x8_ycbcr_interleaved.png").string(), loaded));
    EXPECT_EQ(loaded.Width, 32);
    EXPECT_EQ(loaded.Height, 32);
  }

  // An image too large for an icon fails with the reason, and no file is left.
  imaging::TImageData wide;
  imaging::ImageCreate(300, 20, imaging::TImageFormatId::R8G8B8, wide);
  ASSERT_TRUE(core::SaveResultImage((dir / "wide.bmp").string(), wide));
  const fs::path out = dir / "icons";
  const TRun refused =
      RunWith({"-o", out.string(), "-n", "%name%", "-f", "ico", (dir / "wide.bmp").string()});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_NE(refused.err.find("An icon can be at most 256 x 256 pixels, but the image is 300 x 20 "
                             "pixels; resize it first."),
            std::string::npos)
      << refused.err;
  EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out));
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

// The handlers this build registers, in registration order, and the icon files after them,
// written out by hand: an expectation made with the printer under test would agree with
// any mistake of it.
TEST(Cli, ListFormatsShowsTheRegistryInOrder) {
  const TRun run = RunWith({"--list-formats"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "Format                                  Masks                            Load  Save\n"
            "X Window Pixmap                         *.xpm                            yes   no\n"
            "ZSoft Paintbrush Image                  *.pcx                            yes   no\n"
            "Photoshop Image                         *.psd,*.pdd                      yes   yes\n"
            "Tagged Image File Format                *.tif,*.tiff                     yes   yes\n"
            "JPEG 2000 Image                         *.jp2,*.j2k,*.j2c,*.jpx,*.jpc    yes   yes\n"
            "Portable Bit Map                        *.pbm                            yes   no\n"
            "Portable Gray Map                       *.pgm                            yes   yes\n"
            "Portable Pixel Map                      *.ppm                            yes   yes\n"
            "Portable Arbitrary Map                  *.pam                            yes   yes\n"
            "Portable Float Map                      *.pfm                            yes   yes\n"
            "Truevision Targa Image                  *.tga                            yes   yes\n"
            "DirectDraw Surface                      *.dds                            yes   yes\n"
            "Graphics Interchange Format             *.gif                            yes   yes\n"
            "Joint Photographic Experts Group Image  *.jpg,*.jpeg,*.jfif,*.jpe,*.jif  yes   yes\n"
            "Portable Network Graphics               *.png                            yes   yes\n"
            "Multiple Network Graphics               *.mng                            yes   yes\n"
            "JPEG Network Graphics                   *.jng                            yes   yes\n"
            "Windows Bitmap Image                    *.bmp,*.dib                      yes   yes\n"
            "Windows Icon and Cursor                 *.ico,*.cur                      yes   yes\n");
  const std::vector<std::string> lines = Lines(run.out);
  const std::vector<imaging::TImageFileFormat*> formats = core::ImageFileFormats();
  ASSERT_EQ(lines.size(), formats.size() + 1);
  for (size_t i = 0; i < formats.size(); ++i)
    EXPECT_TRUE(lines[i + 1].starts_with(formats[i]->Name)) << lines[i + 1];
}

TEST(CliArguments, ConfigurationsAndSettingsKeepTheirOrder) {
  const std::vector<std::string> args = {
      "-c",    "a.pxc",      "photo.png",      "b.PXC",
      "--set", "act_size=1", "--config=c.pxc", "--set=out_name=x=y",
      "--",    "d.pxc",      "e.jpg"};
  const TCliArguments arguments = ParseCliArguments(args);
  EXPECT_EQ(arguments.Configurations,
            (std::vector<std::string>{"a.pxc", "b.PXC", "c.pxc", "d.pxc"}));
  EXPECT_EQ(arguments.Paths, (std::vector<std::string>{"photo.png", "e.jpg"}));
  EXPECT_EQ(arguments.Settings, (std::vector<std::pair<std::string, std::string>>{
                                    {"act_size", "1"}, {"out_name", "x=y"}}));
  EXPECT_FALSE(arguments.PrintSettings);
  EXPECT_EQ(arguments.Language, std::nullopt);
}

// A folder for the test's files, removed afterwards.
class CliFiles : public ::testing::Test {
 protected:
  std::string Path(std::string_view name) const { return folder_.File(name); }

  test::TTempFolder folder_;
};

// The value of SECTION.NAME in --print-settings output.
std::string Setting(const std::string& out, std::string_view name) {
  for (const std::string& line : Lines(out))
    if (line.starts_with(std::string(name) + "=")) return line.substr(name.size() + 1);
  return "(missing)";
}

TEST(CliSettings, PrintsEveryEntryInCreationOrder) {
  const TRun run = RunWith({"--print-settings"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err, "");
  const config::SettingsStore store;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), store.Count());
  for (size_t i = 0; i < store.Count(); ++i)
    EXPECT_EQ(lines[i], store.Entry(i).QualifiedName() + "=" + store.ValueText(i));
  const struct {
    std::string_view name, value;
  } cases[] = {
      {"PBPA.Panel1", "1"},
      {"PBED.inp_ordner", ""},
      {"PBCB.out_ordner", "<keep>"},
      {"PBCB.act_sizemethode", "Bicubic"},
      {"PBCB.act_sizebenutzer_x", "640"},
      {"PBRB.act_size640x480", "1"},
      {"PBCH.act_size", "0"},
      {"PBSB.ScrollBar11", "35"},
      {"PBMM.act_text_quelle", "abc"},
      {"PBRF.r0", "01   Image Size"},
      {"EACB.out_quality", "95"},
      {"EASB.ScrollBar1", "95"},
      {"FCE.FCL", "-16777208"},
      {"SP.PB", "842"},
      {"AS.N", "1"},
      {"AC.AC", "1"},
  };
  for (const auto& c : cases) EXPECT_EQ(Setting(run.out, c.name), c.value) << c.name;
  EXPECT_EQ(lines.front(), "PBPA.Panel1=1");
  EXPECT_EQ(lines.back(), "AC.AC=1");
  EXPECT_EQ(Setting(RunWith({"--lang", "de", "--print-settings"}).out, "PBCB.out_ordner"),
            "<beibehalten>");
}

TEST(CliSettings, SetAppliesInOrderWithTheWindowsRules) {
  const TRun run = RunWith({"--set", "act_farbe_r=40", "--set", "EASB.ScrollBar1=80", "--set",
                            "act_size240x320=1", "--set", "ScrollBar8=250", "--set", "act_size=1",
                            "--set", "act_size=0", "--set", "act_text_quelle=eins\x1Fzwei", "--set",
                            "PBRF.r0=03", "--print-settings"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  const struct {
    std::string_view name, value;
  } cases[] = {
      {"PBCB.act_farbe_r", "40"},
      {"PBSB.ScrollBar5", "40"},
      {"EACB.out_quality", "80"},
      {"EASB.ScrollBar1", "80"},
      {"PBRB.act_size240x320", "1"},
      {"PBRB.act_size640x480", "0"},
      {"PBSB.ScrollBar8", "100"},
      {"PBCB.act_wz_transpwert", "100"},
      {"PBCH.act_size", "0"},
      {"PBMM.act_text_quelle", "eins\x1Fzwei"},
      // The order list is repaired: action 3 moved to the top, action 1 takes its place.
      {"PBRF.r0", "03   Color"},
      {"PBRF.r2", "01   Image Size"},
  };
  for (const auto& c : cases) EXPECT_EQ(Setting(run.out, c.name), c.value) << c.name;
}

TEST(CliSettings, FlagsWriteTheirStoreEntriesBeforeSet) {
  const TRun run = RunWith(
      {"-o", "/srv/D", "-f", "bmp", "-n", "x-%name%", "--overwrite-original", "--print-settings"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  const struct {
    std::string_view name, value;
  } cases[] = {
      {"PBCB.out_ordner", "/srv/D"}, {"PBCB.out_format", "*.bmp - Windows Bitmap"},
      {"PBCB.out_name", "x-%name%"}, {"PBRB.out_overwrite", "1"},
      {"PBRB.out_newimage", "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Setting(run.out, c.name), c.value) << c.name;

  // --set wins over the flag wherever it stands; the flag wins over a configuration.
  EXPECT_EQ(Setting(RunWith({"--set", "out_ordner=/srv/E", "-o", "/srv/D", "--print-settings"}).out,
                    "PBCB.out_ordner"),
            "/srv/E");
  // Formats by extension in any form and letter case, in the store's language.
  const struct {
    std::vector<std::string> args;
    std::string value;
  } formats[] = {
      {{"-f", "JPG"}, "*.jpg - JPEG-Image"},
      {{"-f", "*.tga"}, "*.tga - Truevision Targa Image"},
      {{"--lang", "de", "-f", ".tga"}, "*.tga - Truevision Targa Bild"},
      {{"-f", "gif", "-f", "keep"}, "<keep>"},
      {{"--lang", "de", "-f", "keep"}, "<beibehalten>"},
  };
  for (const auto& c : formats) {
    std::vector<std::string> args = c.args;
    args.push_back("--print-settings");
    const TRun format = RunWith(args);
    ASSERT_EQ(format.status, kExitOk) << format.err;
    EXPECT_EQ(Setting(format.out, "PBCB.out_format"), c.value) << c.args.back();
  }
  // A relative folder is taken from the current folder, so a saved configuration means it.
  EXPECT_EQ(Setting(RunWith({"-o", "rel/out", "--print-settings"}).out, "PBCB.out_ordner"),
            (std::filesystem::current_path() / "rel/out").string());
}

// The run starts from the store's snapshot, and the snapshot is the same whether flags,
// the window's way of setting controls or a configuration file filled the store.
TEST_F(CliFiles, TheRunsSnapshotIsTheStoresWhoeverFilledIt) {
  config::SettingsStore byFlags;
  ApplySettings(ParseCliArguments(std::vector<std::string>{"-o",    "/srv/out",
                                                           "-n",    "x-%name%",
                                                           "-f",    "bmp",
                                                           "--set", "act_size=1",
                                                           "--set", "act_sizebenutzer=1",
                                                           "--set", "act_sizebenutzer_x=800",
                                                           "--set", "act_rand=1",
                                                           "--set", "act_randfarbe=#FF8000",
                                                           "--set", "EACB.out_quality=70",
                                                           "--set", "PBRF.r0=08"}),
                byFlags);

  config::SettingsStore byWindow;
  const auto text = [&](std::string_view section, std::string_view name, std::string value) {
    byWindow.SetText(byWindow.IndexOf(section, name), std::move(value));
  };
  const auto check = [&](std::string_view section, std::string_view name) {
    byWindow.SetChecked(byWindow.IndexOf(section, name), true);
  };
  text("PBCB", "out_ordner", "/srv/out");
  text("PBCB", "out_name", "x-%name%");
  text("PBCB", "out_format", "*.bmp - Windows Bitmap");
  check("PBCH", "act_size");
  check("PBRB", "act_sizebenutzer");
  text("PBCB", "act_sizebenutzer_x", "800");
  check("PBCH", "act_rand");
  text("PBED", "act_randfarbe", "#FF8000");
  text("EACB", "out_quality", "70");
  text("PBRF", "r0", "08");
  config::ReihenFolgeFestlegen(byWindow);

  config::KonfigurationSpeichern(byWindow, Path("window.pxc"));
  config::SettingsStore byFile;
  config::KonfigurationLaden(byFile, Path("window.pxc"), config::TLoadOrigin::StartUp,
                             config::TScreenSize::Unlimited());

  const core::TRunSettings snapshot = config::TakeRunSettings(byFlags);
  EXPECT_EQ(snapshot.Conversion.FolderPattern, "/srv/out");
  EXPECT_EQ(snapshot.Conversion.NamePattern, "x-%name%");
  EXPECT_EQ(snapshot.Conversion.Format, "*.bmp - Windows Bitmap");
  EXPECT_TRUE(snapshot.Conversion.IsEnabled(core::ActionId::Resize));
  EXPECT_EQ(snapshot.Conversion.TargetWidth, 800);
  EXPECT_EQ(snapshot.Conversion.TargetHeight, 480);
  EXPECT_TRUE(snapshot.Conversion.IsEnabled(core::ActionId::Frame));
  EXPECT_EQ(snapshot.Conversion.FrameColor, 0x0080FFu);
  EXPECT_EQ(snapshot.Conversion.StepOf(core::ActionId::Frame), 0);
  EXPECT_EQ(snapshot.Conversion.StepOf(core::ActionId::Resize), 7);
  EXPECT_EQ(snapshot.Save.Quality, 70);
  EXPECT_EQ(config::TakeRunSettings(byWindow), snapshot);
  EXPECT_EQ(config::TakeRunSettings(byFile), snapshot);
  config::SettingsStore untouched;
  EXPECT_NE(config::TakeRunSettings(untouched), snapshot);
}

TEST_F(CliFiles, SavedConfigurationLoadsBackToTheSameSettings) {
  const std::vector<std::string> sets = {"--set", "out_name=%name%_klein",
                                         "--set", "act_rand=1",
                                         "--set", "act_randfarbe=#FF8000",
                                         "--set", "EACB.out_quality=60",
                                         "--set", "PFRB.auswahl=1",
                                         "--set", "cb_jpg=1",
                                         "--set", "SP.PL=77",
                                         "--set", "PBRF.r0=11",
                                         "--set", "PBRF.r10=01"};
  std::vector<std::string> save = sets;
  save.insert(save.end(), {"--save-config", Path("saved.pxc"), "--print-settings"});
  const TRun saved = RunWith(save);
  ASSERT_EQ(saved.status, kExitOk) << saved.err;
  ASSERT_TRUE(std::filesystem::exists(Path("saved.pxc")));

  // As -c, as a PATH, and through a second configuration that changes nothing.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-c", Path("saved.pxc"), "--print-settings"},
        std::vector<std::string>{Path("saved.pxc"), "--print-settings"}}) {
    const TRun loaded = RunWith(args);
    ASSERT_EQ(loaded.status, kExitOk) << loaded.err;
    EXPECT_EQ(loaded.out, saved.out);
  }
  EXPECT_EQ(Setting(saved.out, "PFCH.jpeg"), "1");
  EXPECT_EQ(Setting(saved.out, "PBRF.r0"), "11   Add Text");
  EXPECT_NE(saved.out, RunWith({"--print-settings"}).out);

  // --set comes after every configuration; later configurations win over earlier ones.
  config::TConfigIniFile second(Path("second.pxc"));
  second.WriteString("PBCB", "out_name", "%name%_zwei");
  second.WriteBool("PBCH", "act_rand", false);
  const TRun both = RunWith(
      {"--set", "act_rand=1", "-c", Path("saved.pxc"), Path("second.pxc"), "--print-settings"});
  ASSERT_EQ(both.status, kExitOk) << both.err;
  EXPECT_EQ(Setting(both.out, "PBCB.out_name"), "%name%_zwei");
  EXPECT_EQ(Setting(both.out, "PBCH.act_rand"), "1");
  EXPECT_EQ(Setting(both.out, "EACB.out_quality"), "60");
}

TEST_F(CliFiles, SaveConfigReportsAnUnwritableFile) {
  const std::string path = Path("no/folder/x.pxc");
  const TRun run = RunWith({"--save-config", path});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.err, "pixolan-cli: Unable to write to " + path + "\n");
}

TEST_F(CliFiles, OutputQualityReachesTheRunAndIsCheckedBeforeIt) {
  const std::string gif = std::string(PIXOLAN_TESTDATA_DIR) + "/gif/peterdn/animated_loop.gif";
  const TRun refused =
      RunWith({"--set", "EACB.out_quality=viel", "-o", Path("out"), "-f", "jpg", gif});
  EXPECT_EQ(refused.status, kExitUsage);
  EXPECT_EQ(refused.err,
            "pixolan-cli: The output quality \"viel\" is not a whole number. Please enter a "
            "number from 1 to 100 in the Output Settings.\n");
  EXPECT_FALSE(std::filesystem::exists(Path("out")));

  std::vector<uintmax_t> sizes;
  for (std::string_view quality : {"5", "100"}) {
    const std::string folder = Path(std::string("q") + std::string(quality));
    const TRun run = RunWith({"--set", "EACB.out_quality=" + std::string(quality), "-o", folder,
                              "-f", "jpg", "-q", gif});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    sizes.push_back(std::filesystem::file_size(folder + "/animated_loop-1.jpg"));
  }
  EXPECT_LT(sizes[0], sizes[1]);
}

TEST_F(CliFiles, TheStartConfigurationLoadsWhenNoConfigurationIsNamed) {
  IsolateFromTheUser();
  const test::TScopedEnvironment home("PIXOLAN_HOME", folder_.Path().string());
  config::SettingsStore start;
  start.SetText(start.IndexOf("PBCB", "out_name"), "from-start");
  start.SetText(start.IndexOf("EACB", "out_quality"), "50");
  config::KonfigurationSpeichern(start, Path("Auto.pxc"));
  config::SettingsStore other;
  other.SetText(other.IndexOf("PBCB", "act_hart_st"), "70");
  config::KonfigurationSpeichern(other, Path("other.pxc"));

  const struct {
    std::vector<std::string> args;
    std::string name, quality, sharpen;
  } cases[] = {
      {{}, "from-start", "50", "35"},
      {{"--no-start-config"}, "%name%-1", "95", "35"},
      {{Path("other.pxc")}, "%name%-1", "95", "70"},
      {{"-c", Path("other.pxc")}, "%name%-1", "95", "70"},
      // The reset comes after the start configuration and before the rest.
      {{"--reset"}, "%name%-1", "80", "35"},
      {{"--reset", "-n", "x", "--set", "EACB.out_quality=60"}, "x", "60", "35"},
      {{"--reset", Path("other.pxc")}, "%name%-1", "95", "70"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("--print-settings");
    SCOPED_TRACE(args.front());
    const TRun run = RunWith(args);
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(Setting(run.out, "PBCB.out_name"), c.name);
    EXPECT_EQ(Setting(run.out, "EACB.out_quality"), c.quality);
    EXPECT_EQ(Setting(run.out, "PBCB.act_hart_st"), c.sharpen);
  }
}

TEST_F(CliFiles, ADamagedStartConfigurationNeverStopsTheProgram) {
  IsolateFromTheUser();
  const test::TScopedEnvironment home("PIXOLAN_HOME", folder_.Path().string());
  for (const std::string& content : {std::string("\xFF\xFE[\0"), std::string(300, '\x80')}) {
    test::WriteFileText(Path("Auto.pxc"), content);
    const TRun run = RunWith({"--print-settings"});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Setting(run.out, "PBCB.out_name"), "%name%-1");
  }
  std::filesystem::remove(Path("Auto.pxc"));
  std::filesystem::create_directory(Path("Auto.pxc"));
  EXPECT_EQ(RunWith({"--print-settings"}).status, kExitOk);
  const test::TScopedEnvironment noHome("PIXOLAN_HOME", std::nullopt);
  const test::TScopedEnvironment noUser("HOME", std::nullopt);
  const test::TScopedEnvironment noXdg("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(RunWith({"--print-settings"}).status, kExitOk);
}

TEST_F(CliFiles, SaveProfileWritesTheChosenGroups) {
  const struct {
    std::string groups;
    std::vector<std::string> sections;
  } cases[] = {
      {"sharpen", {"AS", "PBCH", "PBCB", "PBSB"}},
      {"sharpen,order", {"AS", "PBCH", "PBCB", "PBSB", "PBRF"}},
      {"act_hart,opt_order", {"AS", "PBCH", "PBCB", "PBSB", "PBRF"}},
      {"text", {"AS", "PBCH", "PBMM", "PBED", "PBCB", "PBRB", "PBSB", "FCE"}},
      {"all", {"AS", "PBCH", "PBCB", "PBRB", "PBSB", "PBED", "PBMM", "PBRF", "FCE"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.groups);
    const std::string path = Path(c.groups + ".pxc");
    const TRun run =
        RunWith({"--set", "act_hart_st=70", "--save-profile", c.groups, path, "--set", "AS.P=1"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    const config::TConfigIniFile file(path);
    EXPECT_EQ(file.ReadSections(), c.sections);
    EXPECT_EQ(file.ReadString("AS", "P", ""), "1");
    EXPECT_EQ(file.ReadString("PBCB", "act_hart_st", "(none)"),
              c.groups == "text" ? "(none)" : "70");
    EXPECT_FALSE(file.SectionExists("SP"));
  }
  const struct {
    std::vector<std::string> args;
    std::string message;
  } refused[] = {
      {{"--save-profile", "sharpen"}, "pixolan-cli: option '--save-profile' needs a value FILE\n"},
      {{"--save-profile", "sharpen,zoom", "p.pxc"},
       "pixolan-cli: --save-profile: no group 'zoom'; choose from: all, resize, rotate, color, "
       "contrast, crop, watermark, frame, channels, text, sharpen, blur, order\n"},
      {{"--save-profile=", "p.pxc"},
       "pixolan-cli: --save-profile: no group ''; choose from: all, resize, rotate, color, "
       "contrast, crop, watermark, frame, channels, text, sharpen, blur, order\n"},
      {{"--save-profile", "blur", ""}, "pixolan-cli: the profile file name must not be empty\n"},
  };
  for (const auto& c : refused) {
    const TRun run = RunWith(c.args);
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.err, c.message + "Try 'pixolan-cli --help' for more information.\n");
  }
  EXPECT_EQ(RunWith({"--save-profile", "blur", folder_.Path().string()}).status, kExitFailed);
}

// Sources for runs on the console: a GIF, a BMP and a broken file, and a folder for results.
class CliConsole : public testing::Test {
 protected:
  void SetUp() override {
    gif_ = std::string(PIXOLAN_TESTDATA_DIR) + "/gif/peterdn/animated_loop.gif";
    imaging::TImageData image;
    imaging::ImageCreate(7, 5, imaging::TImageFormatId::A8R8G8B8, image);
    for (int i = 0; i < image.Size; ++i) image.bits()[i] = uint8_t(i * 7);
    ASSERT_TRUE(core::SaveResultImage(folder_.File("small.bmp"), image));
    test::WriteFileText(folder_.File("broken.bmp"), "BM not really");
  }
  std::string Out(const std::string& name = "") const {
    return name.empty() ? folder_.File("out") : folder_.File("out/" + name);
  }

  test::TTempFolder folder_;
  std::string gif_;
};

TEST_F(CliConsole, ExistingResultsAreAskedAboutOnATerminalAndSkippedWithoutOne) {
  namespace fs = std::filesystem;
  const std::vector<std::string> args = {"-o",  Out(), "-n", "%name%", "-f",
                                         "tga", "-j",  "2",  gif_,     folder_.File("small.bmp")};
  const struct {
    const char* name;
    bool canAsk;
    std::vector<std::optional<std::string>> typed;
    size_t questions;
    bool replaced;
    int status;
  } cases[] = {
      {"no terminal", false, {}, 0, false, kExitOk},
      {"an unknown answer, then yes for all", true, {"maybe", " ja für ALLE "}, 1, true, kExitOk},
      {"a number per file", true, {"1", "3"}, 2, true, kExitOk},
      {"the end of input", true, {std::nullopt}, 1, false, kExitFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_directories(Out());
    for (const char* name : {"animated_loop.tga", "small.tga"})
      test::WriteFileText(Out(name), "old");
    std::deque<std::optional<std::string>> typed(c.typed.begin(), c.typed.end());
    TConsole console;
    console.CanAsk = c.canAsk;
    console.ReadLine = [&typed]() -> std::optional<std::string> {
      if (typed.empty()) return std::nullopt;
      std::optional<std::string> line = typed.front();
      typed.pop_front();
      return line;
    };
    const TRun run = RunWith(args, console);
    EXPECT_EQ(run.status, c.status) << run.err;
    size_t questions = 0;
    for (size_t at = 0; (at = run.err.find("File already exists: ", at)) != std::string::npos; ++at)
      ++questions;
    EXPECT_EQ(questions, c.questions) << run.err;
    if (c.questions > 0) {
      EXPECT_NE(run.err.find("The following File is already exists: " + Out("animated_loop.tga")),
                std::string::npos);
      EXPECT_NE(run.err.find("1) Yes  2) Yes for all  3) No  4) No for all  5) Break: "),
                std::string::npos);
    }
    EXPECT_EQ(fs::file_size(Out("animated_loop.tga")) != 3, c.replaced);
    // "1" then "3": the second file was kept.
    EXPECT_EQ(fs::file_size(Out("small.tga")) != 3, c.replaced && c.typed.front() != "1");
  }
}

TEST(CliConsoleAnswers, TypedAnswersInEitherLanguage) {
  using A = core::TOverwriteAnswer;
  const struct {
    std::string typed;
    std::optional<A> answer;
  } cases[] = {
      {"1", A::Yes},         {"5", A::Cancel},       {"6", std::nullopt},
      {"y", A::Yes},         {"Ja", A::Yes},         {"yes", A::Yes},
      {"j", A::Yes},         {"ja f", A::YesForAll}, {"no", A::No},
      {"nein", A::No},       {"n", A::No},           {"no for all", A::NoForAll},
      {"Break", A::Cancel},  {"abbr", A::Cancel},    {"", std::nullopt},
      {"   ", std::nullopt}, {"x", std::nullopt},    {"Nein für alle", A::NoForAll},
  };
  for (const auto& c : cases) EXPECT_EQ(OverwriteAnswerOf(c.typed), c.answer) << c.typed;
}

TEST_F(CliConsole, SeveralJobsGiveExactlyTheRunOfOne) {
  namespace fs = std::filesystem;
  // A clash (two sources named small), a failure, a failing action on every file and
  // numbered names: everything that depends on the list's order.
  const std::string other = folder_.File("sub/small.gif");
  fs::create_directories(fs::path(other).parent_path());
  fs::copy_file(gif_, other);
  const auto run = [&](const std::string& jobs) {
    const std::string out = folder_.File("out" + jobs);
    TRun result =
        RunWith({"-o", out, "-n", "%name%", "-f", "png", "-j", jobs, "--set", "act_size=1", "--set",
                 "act_sizebenutzer=1", "--set", "act_sizebenutzer_x=0", gif_,
                 folder_.File("broken.bmp"), folder_.File("small.bmp"), other, gif_});
    for (std::string* text : {&result.out, &result.err})
      for (size_t at; (at = text->find(out)) != std::string::npos;)
        text->replace(at, out.size(), "OUT");
    return result;
  };
  const TRun one = run("1");
  const TRun four = run("4");
  EXPECT_EQ(one.status, kExitFailed);
  EXPECT_EQ(four.status, one.status);
  EXPECT_EQ(four.out, one.out);
  EXPECT_EQ(four.err, one.err);
  EXPECT_NE(one.err.find("An earlier file of this run was already saved under this name."),
            std::string::npos)
      << one.err;
  for (const char* name : {"animated_loop.png", "small.png"})
    EXPECT_EQ(test::ReadFileBytes(folder_.File(std::string("out4/") + name)),
              test::ReadFileBytes(folder_.File(std::string("out1/") + name)))
        << name;
}

TEST_F(CliConsole, AProgressBarOnATerminalPlainLinesOtherwise) {
  const std::vector<std::string> args = {"-o", Out(), "-f", "bmp", gif_, folder_.File("small.bmp")};
  TConsole terminal;
  terminal.ProgressBar = true;
  terminal.Width = 40;
  const TRun bar = RunWith(args, terminal);
  EXPECT_EQ(bar.status, kExitOk) << bar.err;
  EXPECT_EQ(bar.out, "2 converted, 0 skipped, 0 failed\n");
  EXPECT_NE(bar.err.find("\r[........................] 0/2 ..."), std::string::npos) << bar.err;
  EXPECT_NE(bar.err.find("] 1/2 ..."), std::string::npos) << bar.err;
  // Every drawing fits the terminal, and the bar is gone at the end.
  for (size_t at = 0; (at = bar.err.find('\r', at)) != std::string::npos; ++at) {
    const size_t end = bar.err.find('\033', at);
    EXPECT_LT(end - at - 1, 40u) << bar.err.substr(at + 1, end - at - 1);
  }
  EXPECT_TRUE(bar.err.ends_with("\r\033[K")) << bar.err;

  const std::string gif = std::filesystem::path(gif_).lexically_normal().string();
  const TRun plain = RunWith({"-o", Out("plain"), "-f", "bmp", gif_, folder_.File("small.bmp")});
  EXPECT_EQ(Lines(plain.out),
            (std::vector<std::string>{gif + " -> " + Out("plain/animated_loop-1.bmp"),
                                      folder_.File("small.bmp") + " -> " + Out("plain/small-1.bmp"),
                                      "2 converted, 0 skipped, 0 failed"}));
}

TEST_F(CliConsole, AnInterruptStopsTheRunBeforeTheNextFile) {
  namespace fs = std::filesystem;
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    fs::remove_all(Out());
    int asked = 0;
    TConsole console;
    // Comes while the first file is converted.
    console.Interrupted = [&] { return ++asked > 1 ? signal : 0; };
    const TRun run = RunWith(
        {"-o", Out(), "-n", "%name%", "-f", "bmp", "-j", "1", gif_, folder_.File("small.bmp")},
        console);
    EXPECT_EQ(run.status, 128 + signal);
    EXPECT_NE(run.err.find("interrupted; 1 converted before the stop"), std::string::npos);
    EXPECT_TRUE(fs::exists(Out("animated_loop.bmp")));
    EXPECT_FALSE(fs::exists(Out("small.bmp")));
  }
}

}  // namespace
}  // namespace pixolan::cli

namespace pixolan::cli {
namespace {

TEST(CliArguments, RecursiveFlagsAndPathsKeepTheirOrder) {
  const struct {
    std::vector<std::string> args;
    std::optional<bool> recursive;
  } cases[] = {
      {{"a"}, std::nullopt},
      {{"-r", "a"}, true},
      {{"--no-recursive", "a"}, false},
      {{"--no-recursive", "a", "--recursive"}, true},
      {{"-qr", "a"}, true},
  };
  for (const auto& c : cases) {
    const TCliArguments arguments = ParseCliArguments(c.args);
    EXPECT_EQ(arguments.Recursive, c.recursive) << c.args.front();
    EXPECT_EQ(arguments.Paths, std::vector<std::string>{"a"});
  }
  EXPECT_EQ(Setting(RunWith({"--no-recursive", "--print-settings"}).out, "PBCH.inp_uv"), "0");
  EXPECT_EQ(Setting(RunWith({"--set", "inp_uv=0", "-r", "--print-settings"}).out, "PBCH.inp_uv"),
            "0");
}

// PATHs as the window's command line takes them: folders scanned with the filter of the
// store, files through add2list; the list then converts in name order.
class CliPaths : public CliFiles {
 protected:
  std::string Image(std::string_view name) {
    const std::string path = Path(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    EXPECT_TRUE(core::SaveResultImage(path, test::Filled(3, 2, 0xFF102030)));
    return path;
  }
  // The results' names, sorted.
  std::vector<std::string> Results() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Path("out")))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  TRun Convert(std::vector<std::string> args) {
    std::filesystem::remove_all(Path("out"));
    std::vector<std::string> all = {"-o", Path("out"), "-n", "%num%-%name%", "-f", "tga", "-q"};
    all.insert(all.end(), args.begin(), args.end());
    return RunWith(all);
  }
};

TEST_F(CliPaths, FoldersAreScannedWithTheFilterAndTheSubfolderSetting) {
  Image("in/b.png");
  Image("in/A.BMP");
  Image("in/sub/c.gif");
  test::WriteFileText(Path("in/notes.png"), "not an image");
  test::WriteFileText(Path("in/readme.txt"), "text");
  const std::string in = Path("in");
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> results;
  } cases[] = {
      // The fake PNG is skipped without a message, as in a scan of the window.
      {{in}, {"1-A.tga", "2-b.tga", "3-c.tga"}},
      {{"--no-recursive", in}, {"1-A.tga", "2-b.tga"}},
      {{"--set", "PFRB.auswahl=1", "--set", "PFCH.png=1", "--set", "PFCH.gif=1", in},
       {"1-b.tga", "2-c.tga"}},
      {{"--set", "PFRB.auswahl=1", in}, {}},
      // A folder and a file in it: listed once; files and folders in any order.
      {{in + "/sub/c.gif", "--no-recursive", in + "/"}, {"1-A.tga", "2-b.tga", "3-c.tga"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const TRun run = Convert(c.args);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.err, "");
    if (c.results.empty()) {
      EXPECT_FALSE(std::filesystem::exists(Path("out")));
    } else {
      EXPECT_EQ(Results(), c.results);
    }
  }
}

TEST_F(CliPaths, EveryPathThatCannotBeListedIsNamedAndFailsTheCommand) {
  const std::string good = Image("good.bmp");
  test::WriteFileText(Path("empty.png"), "");
  test::WriteFileText(Path("text.png"), "not an image");
  ASSERT_EQ(::mkfifo(Path("pipe.png").c_str(), 0600), 0);
  const struct {
    std::string path, message;
  } cases[] = {
      {Path("missing.png"), "pixolan-cli: " + Path("missing.png") + ": The file does not exist.\n"},
      {Path("empty.png"), "pixolan-cli: " + Path("empty.png") + ": The file is empty.\n"},
      // Refused without being opened: reading a pipe would wait for a writer forever.
      {Path("pipe.png"), "pixolan-cli: " + Path("pipe.png") +
                             ": This is not a regular file (a named pipe, device or socket).\n"},
      {Path("text.png"),
       "Format not supported: Unfortunately, the Format of this File is not "
       "supported: \"" +
           Path("text.png") + "\" An overview of the supported Formats is on our Web Site.\n"},
      // The same file twice, the second time spelled another way.
      {folder_.Path().string() + "/./good.bmp",
       "File already added: This file is added to the List already: \"" + good +
           "\" A File can be added to the List only for one time.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const TRun run = Convert({good, c.path});
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.err, c.message);
    // The rest of the list is converted all the same.
    EXPECT_EQ(Results(), std::vector<std::string>{"1-good.tga"});
  }
  // In German, from the catalogue.
  EXPECT_TRUE(Convert({"--lang", "de", Path("text.png")})
                  .err.starts_with("Format nicht unterstützt: Das Format dieser Datei"));
}

TEST_F(CliPaths, AConfigurationAmongThePathsIsLoadedNotListed) {
  Image("b.bmp");
  Image("a.bmp");
  config::SettingsStore store;
  store.SetText(store.IndexOf("PBCB", "out_name"), "from-config-%name%");
  config::KonfigurationSpeichern(store, Path("settings.pxc"));
  std::filesystem::create_directory(Path("out"));
  const TRun run = RunWith(
      {"-o", Path("out"), "-f", "tga", "-q", Path("b.bmp"), Path("settings.pxc"), Path("a.bmp")});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(Results(), (std::vector<std::string>{"from-config-a.tga", "from-config-b.tga"}));
}

}  // namespace
}  // namespace pixolan::cli
