#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "core/OutputPath.h"

namespace pixolan::core {
namespace {

struct TOutputCase {
  const char* what;
  std::string source, folder, name, format;
  TOutputNameValues values;
  std::string expected;
};

TEST(ResolveOutputPath, BuildsFolderNameAndExtensionFromThePatterns) {
  const std::string png = "*.png - Portable Network Graphics";
  const TOutputCase cases[] = {
      {"defaults",
       "/Fotos/urlaub.jpg",
       "<beibehalten>",
       "%name%-1",
       png,
       {},
       "/Fotos/urlaub-1.png"},
      {"english keep", "/Fotos/urlaub.jpg", "<keep>", "<keep>", "<keep>", {}, "/Fotos/urlaub.jpg"},
      {"folder below the source's",
       "/Fotos/urlaub.jpg",
       "%ordner%\\neu",
       "%name%-1",
       png,
       {},
       "/Fotos/neu/urlaub-1.png"},
      {"english placeholder, doubled separators",
       "/Fotos/urlaub.jpg",
       "%folder%//neu//",
       "%name%",
       png,
       {},
       "/Fotos/neu/urlaub.png"},
      {"fixed folder", "/Fotos/urlaub.jpg", "/srv/out", "%name%", png, {}, "/srv/out/urlaub.png"},
      {"counters", "/Fotos/urlaub.jpg", "/o", "%0num%-%abs%", png, {4, 12, 0, 0}, "/o/05-12.png"},
      {"padding follows the count",
       "/a/b.gif",
       "/o",
       "%0num%_%num%",
       "<keep>",
       {6, 9, 0, 0},
       "/o/7_7.gif"},
      {"three digits", "/a/b.gif", "/o", "%0num%", "<keep>", {6, 100, 0, 0}, "/o/007.gif"},
      {"sizes in both languages",
       "/Fotos/urlaub.jpg",
       "/o",
       "%name% (%breite%x%höhe%)",
       png,
       {0, 1, 640, 480},
       "/o/urlaub (640x480).png"},
      {"english sizes", "/a/b.jpg", "/o", "%width%x%height%", "<keep>", {0, 1, 3, 2}, "/o/3x2.jpg"},
      {"every occurrence of the extension leaves the base name",
       "/a/a.jpg.jpg",
       "<keep>",
       "%name%",
       "<keep>",
       {},
       "/a/a.jpg"},
      {"no extension, keep format", "/a/README", "<keep>", "%name%-1", "<keep>", {}, "/a/README-1"},
      {"the extension is added to a name that has one",
       "/a/b.png",
       "<keep>",
       "%name%.jpg",
       png,
       {},
       "/a/b.jpg.png"},
      {"a replacement is not scanned again",
       "/a/x%name%y.gif",
       "<keep>",
       "%name%",
       "<keep>",
       {0, 1, 0, 0},
       "/a/x%name%y.gif"},
      {"later placeholders apply to the inserted name",
       "/a/%num%.gif",
       "<keep>",
       "%name%",
       "<keep>",
       {2, 3, 0, 0},
       "/a/3.gif"},
      {"placeholders are case-sensitive",
       "/a/b.gif",
       "/o",
       "%NAME%",
       "<keep>",
       {},
       "/o/%NAME%.gif"},
  };
  for (const TOutputCase& c : cases) {
    SCOPED_TRACE(c.what);
    ConversionSettings settings;
    settings.FolderPattern = c.folder;
    settings.NamePattern = c.name;
    settings.Format = c.format;
    EXPECT_EQ(ResolveOutputPath(settings, c.source, c.values), c.expected);
  }
}

TEST(ResolveOutputPath, OverwriteModeIsTheSourceAndHomeIsExpanded) {
  ConversionSettings settings;
  settings.FolderPattern = "/elsewhere";
  settings.Format = "*.png - Portable Network Graphics";
  settings.OverwriteOriginal = true;
  EXPECT_EQ(ResolveOutputPath(settings, "/a/b.jpg", {}), "/a/b.jpg");

  settings.OverwriteOriginal = false;
  settings.FolderPattern = "~/Bilder";
  settings.NamePattern = "%name%";
  const char* home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(ResolveOutputPath(settings, "/a/b.jpg", {}), std::string(home) + "/Bilder/b.png");
}

TEST(IsValidFolderPath, AbsoluteWithAPlainLastPart) {
  const struct {
    std::string_view pattern;
    bool valid;
  } cases[] = {
      {"/", true},
      {"/srv", true},
      {"/srv/out/", true},
      {"%ordner%", true},
      {"%ordner%\\neu", true},
      {"%folder%/neu", true},
      {"~/Bilder", true},
      {"", false},
      {"out", false},
      {"C:", false},
      {"/srv/a:b", false},
      {"/srv/a?b", false},
      {"/srv/a*", false},
      {"/srv/a<b>", false},
      {"/srv/a|b", false},
      {"/srv/\"a\"", false},
      {"\\\\server\\share", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidFolderPath(c.pattern), c.valid) << c.pattern;
}

TEST(ClipboardOutputPath, TakesTheCapturesFolderAndTheFirstFreeNumberedName) {
  const std::set<std::string> existing = {"/pics/Pixolan/ClipBoard.jpg",
                                          "/pics/Pixolan/ClipBoard1.jpg",
                                          "/pics/out/Zwischenablage.png"};
  const auto taken = [&](const std::string& path) { return existing.contains(path); };
  const struct {
    std::string folder, format, name, expected;
  } cases[] = {
      {"<keep>", "<keep>", "ClipBoard", "/pics/Pixolan/ClipBoard2.jpg"},
      {"<beibehalten>", "*.png - Portable Network Graphics", "ClipBoard",
       "/pics/Pixolan/ClipBoard.png"},
      {"/pics/out", "*.png - Portable Network Graphics", "Zwischenablage",
       "/pics/out/Zwischenablage1.png"},
      {"%folder%/sub", "<keep>", "Zwischenablage", "/pics/Pixolan/sub/Zwischenablage.jpg"},
  };
  for (const auto& c : cases) {
    ConversionSettings settings;
    settings.FolderPattern = c.folder;
    settings.Format = c.format;
    settings.NamePattern = "%name%-%num%";  // not used for captures
    settings.OverwriteOriginal = true;      // nor is overwriting: there is no source
    EXPECT_EQ(ResolveClipboardOutputPath(settings, "/pics/Pixolan", c.name, taken), c.expected)
        << c.folder << " " << c.format;
  }
}

}  // namespace
}  // namespace pixolan::core
