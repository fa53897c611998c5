// The merge copy of the shipped code tree, on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace tessary {
namespace {

using testing::readFile;
using testing::writeFile;

unsigned modeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(CopyTree, MergesIntoTheDestinationKeepingModesAndForeignFiles) {
  testing::TempDir dir;
  writeFile(dir / "from/installer/bootstrap.sh", "new");
  writeFile(dir / "from/readme", "shipped");
  ::chmod((dir / "from/installer/bootstrap.sh").c_str(), 0750);
  ::chmod((dir / "from/readme").c_str(), 0600);
  writeFile(dir / "to/installer/bootstrap.sh", "old and longer");
  writeFile(dir / "to/.venv/bin/tessary", "made by the wizard");

  EXPECT_TRUE(platform::copyTree(dir / "from", dir / "to"));
  EXPECT_EQ(readFile(dir / "to/installer/bootstrap.sh"), "new");
  EXPECT_EQ(readFile(dir / "to/readme"), "shipped");
  EXPECT_EQ(readFile(dir / "to/.venv/bin/tessary"), "made by the wizard");
  EXPECT_EQ(modeOf(dir / "to/installer/bootstrap.sh"), 0750u);
  EXPECT_EQ(modeOf(dir / "to/readme"), 0600u);
}

TEST(CopyTree, CreatesTheDestinationAndItsParents) {
  testing::TempDir dir;
  writeFile(dir / "from/a/b", "x");
  EXPECT_TRUE(platform::copyTree(dir / "from", dir / "deep/down/to"));
  EXPECT_EQ(readFile(dir / "deep/down/to/a/b"), "x");
}

TEST(CopyTree, ReportsAMissingSource) {
  testing::TempDir dir;
  EXPECT_FALSE(platform::copyTree(dir / "nothing", dir / "to"));
}

TEST(AppendFile, AppendsAndNeverCreates) {
  testing::TempDir dir;
  platform::AppendFile missing(dir / "missing.log");
  EXPECT_FALSE(missing.isOpen());
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.log"));
  writeFile(dir / "log", "a");
  platform::AppendFile log(dir / "log");
  log.write("bc");
  log.close();
  log.write("lost after close");
  EXPECT_EQ(readFile(dir / "log"), "abc");
}

}  // namespace
}  // namespace tessary
