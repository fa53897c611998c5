// The approot file over real files.
#include <gtest/gtest.h>

#include <filesystem>

#include "backend/ready_root.h"
#include "support/temp_dir.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;

class ReadyRoot : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir / "code/.venv/bin"); }
  void install() { testing::writeFile(dir / "code/.venv/bin/tessary", "#!/bin/sh\n"); }
  std::optional<std::string> withApproot(const std::string& content) {
    testing::writeFile(approot, content);
    return readyRoot(approot);
  }
  testing::TempDir dir;
  std::string approot = dir / "approot";
};

TEST_F(ReadyRoot, AcceptsTheTrimmedRootWhenItsCommandExists) {
  install();
  EXPECT_EQ(withApproot(dir / "code\n"), dir / "code");
  EXPECT_EQ(withApproot("  \t\n" + (dir / "code") + " \r\n\n"), dir / "code");
}

TEST_F(ReadyRoot, KeepsATrailingSlash) {
  install();
  EXPECT_EQ(withApproot(dir / "code/\n"), dir / "code/");
}

TEST_F(ReadyRoot, AcceptsTheCommandAsAFolderToo) {
  fs::create_directories(dir / "code/.venv/bin/tessary");
  EXPECT_EQ(withApproot(dir / "code"), dir / "code");
}

TEST_F(ReadyRoot, RefusesEverythingElse) {
  install();
  EXPECT_EQ(readyRoot(approot), std::nullopt) << "no file";
  EXPECT_EQ(withApproot(""), std::nullopt);
  EXPECT_EQ(withApproot("   \n\t"), std::nullopt);
  EXPECT_EQ(withApproot((dir / "code") + "\n" + (dir / "code")), std::nullopt) << "two lines";
  EXPECT_EQ(withApproot((dir / "code") + "\xFF"), std::nullopt) << "invalid UTF-8";
  EXPECT_EQ(withApproot("~/code"), std::nullopt) << "no tilde expansion";
  EXPECT_EQ(withApproot(dir / "elsewhere"), std::nullopt);
}

TEST_F(ReadyRoot, FollowsLinksAndTreatsADanglingOneAsAbsent) {
  fs::create_directories(dir / "real/.venv/bin");
  testing::writeFile(dir / "real/.venv/bin/tessary", "");
  fs::create_directory_symlink(dir / "real", dir / "linked");
  EXPECT_EQ(withApproot(dir / "linked"), dir / "linked");
  fs::create_symlink(dir / "nowhere", dir / "code/.venv/bin/tessary");
  EXPECT_EQ(withApproot(dir / "code"), std::nullopt);
}

}  // namespace
}  // namespace tessary
