#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/SourceFile.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::core {
namespace {

TEST(SourceFile, EachProblemHasItsOwnWords) {
  const test::TTempFolder folder;
  test::WriteFileText(folder / "good.png", "x");
  test::WriteFileText(folder / "empty.png", "");
  ASSERT_EQ(::mkfifo(folder.File("pipe.png").c_str(), 0600), 0);
  std::filesystem::create_directory(folder / "dir.png");
  const struct {
    std::string name, problem;
  } cases[] = {
      {"good.png", ""},
      {"empty.png", "The file is empty."},
      {"pipe.png", "This is not a regular file (a named pipe, device or socket)."},
      {"dir.png", "This is a folder, not a file."},
      {"missing.png", "The file does not exist."},
      {"good.png/x", "The file cannot be examined: Not a directory."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SourceFileProblem(folder.File(c.name)), c.problem) << c.name;
  if (::geteuid() != 0) {
    std::filesystem::permissions(folder / "good.png", std::filesystem::perms::none);
    EXPECT_EQ(SourceFileProblem(folder.File("good.png")),
              "The file cannot be read: Permission denied.");
  }
}

}  // namespace
}  // namespace pixolan::core
