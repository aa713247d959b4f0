#include <gtest/gtest.h>

#include <filesystem>

#include "input/CommandLine.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, EachArgumentGoesWhereItBelongs) {
  const test::TTempFolder folder;
  test::WriteFileText(folder / "a.jpg", "x");
  test::WriteFileText(folder / "b.PXC", "x");
  test::WriteFileText(folder / "noextension", "x");
  fs::create_directory(folder / "sub");
  fs::create_directory(folder / "folder.pxc");
  fs::create_symlink(folder / "a.jpg", folder / "link.jpg");
  fs::create_symlink(folder / "missing", folder / "dangling.jpg");
  const struct {
    std::string argument;
    TArgumentKind kind;
  } cases[] = {
      {"c.pxc", TArgumentKind::Configuration},  // need not exist: loading reports that
      {folder.File("folder.pxc"), TArgumentKind::Configuration},
      {folder.File("b.PXC"), TArgumentKind::File},  // refused by add2list as no image
      {"d.Pxc", TArgumentKind::Folder},             // nothing there: the scan ignores it
      {folder.File("a.jpg"), TArgumentKind::File},
      {folder.File("link.jpg"), TArgumentKind::File},
      {folder.File("noextension"), TArgumentKind::File},
      {folder.File("sub"), TArgumentKind::Folder},
      {folder.File("sub/"), TArgumentKind::Folder},
      {folder.File("dangling.jpg"), TArgumentKind::Folder},
      {folder.File("missing.png"), TArgumentKind::Folder},
      {"", TArgumentKind::Folder},
  };
  for (const auto& c : cases) EXPECT_EQ(ArgumentKind(c.argument), c.kind) << c.argument;
}

}  // namespace
}  // namespace pixolan::input
