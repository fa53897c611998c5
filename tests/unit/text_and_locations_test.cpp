// UTF-8 validation, the approot trimming rule, the probe's status rule and the locations.
#include <gtest/gtest.h>

#include "application/locations.h"
#include "application/text.h"
#include "backend/probe.h"
#include "support/temp_dir.h"

namespace tessary {
namespace {

TEST(Utf8, AcceptsWellFormedTextOfEveryLength) {
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_TRUE(isValidUtf8("abc"));
  EXPECT_TRUE(isValidUtf8("zażółć gęślą jaźń"));
  EXPECT_TRUE(isValidUtf8("\xE2\x80\xA8"));      // U+2028
  EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));  // astral plane
  EXPECT_TRUE(isValidUtf8(std::string("a\0b", 3)));
}

TEST(Utf8, RejectsMalformedSequences) {
  for (const char* bad : {"\xFF", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                          "\xF4\x90\x80\x80", "\x80", "a\xE2\x82", "\xF8\x88\x80\x80\x80"}) {
    EXPECT_FALSE(isValidUtf8(bad)) << ::testing::PrintToString(bad);
  }
}

TEST(Trim, RemovesTheWhiteSpaceSetAtBothEndsOnly) {
  EXPECT_EQ(trimWhiteSpace("  /opt/code\n"), "/opt/code");
  EXPECT_EQ(trimWhiteSpace("\t\r\n\v\f/x y\t"), "/x y");
  EXPECT_EQ(trimWhiteSpace("\xC2\x85/x\xC2\xA0"), "/x");                      // U+0085, U+00A0
  EXPECT_EQ(trimWhiteSpace("\xE3\x80\x80/x\xE2\x80\xA9\xE2\x80\x83"), "/x");  // Zs, Zp
  EXPECT_EQ(trimWhiteSpace("/a\n/b\n"), "/a\n/b");
  EXPECT_EQ(trimWhiteSpace(" \n\t "), "");
  EXPECT_EQ(trimWhiteSpace("/\xC5\x82\xC4\x85"), "/łą");
  // U+200B (zero width space) is not in category Z.
  EXPECT_EQ(trimWhiteSpace("\xE2\x80\x8B/x"), "\xE2\x80\x8B/x");
}

TEST(ProbeStatus, OnlyHttpAnswersShortOfServerErrorsMeanAlive) {
  struct Case {
    std::optional<int> status;
    bool alive;
  } cases[] = {{199, false}, {200, true},  {204, true},          {401, true},  {404, true},
               {499, true},  {500, false}, {503, false},         {100, false}, {0, false},
               {-1, false},  {600, false}, {std::nullopt, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(probeAlive(c.status), c.alive) << (c.status ? *c.status : -999);
  }
}

TEST(Locations, AreComputedFromTheDataHomeWithoutTouchingTheDisk) {
  testing::TempDir home;
  auto l = computeLocations(home / "data", std::nullopt);
  EXPECT_EQ(l.appSupportDir, home / "data/HalvarenTessary");
  EXPECT_EQ(l.approotFile, home / "data/HalvarenTessary/approot");
  EXPECT_EQ(l.shellLogFile, home / "data/HalvarenTessary/native-shell.log");
  EXPECT_EQ(l.setupLogFile, home / "data/HalvarenTessary/setup.log");
  EXPECT_EQ(l.installedRoot, home / "data/HalvarenTessary/app");
  EXPECT_FALSE(l.bundledRoot || l.bundledUVDir || l.bundledSetupHTML || l.resourceDir);
  EXPECT_FALSE(std::filesystem::exists(home / "data"));
}

TEST(Locations, ResourceFolderSitsBesideTheExecutablesFolderWhenItExists) {
  testing::TempDir prefix;
  EXPECT_EQ(resourceDirectoryFor(prefix / "bin/halvaren-tessary"), std::nullopt);
  std::filesystem::create_directories(prefix / "share/halvaren-tessary");
  auto resources = resourceDirectoryFor(prefix / "bin/halvaren-tessary");
  ASSERT_TRUE(resources);
  EXPECT_EQ(*resources, prefix / "share/halvaren-tessary");
  auto l = computeLocations("/d", resources);
  EXPECT_EQ(l.bundledRoot, prefix / "share/halvaren-tessary/app-root");
  EXPECT_EQ(l.bundledUVDir, prefix / "share/halvaren-tessary/bin");
  EXPECT_EQ(l.bundledSetupHTML, prefix / "share/halvaren-tessary/setup.html");
}

}  // namespace
}  // namespace tessary
