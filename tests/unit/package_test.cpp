// The sample backend package's own scripts, run for real: the wizard, the uv runner and the
// installation by hand.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using testing::runCommand;

const std::string kPackage = TESSARY_PACKAGE_DIR;

class Package : public ::testing::Test {
 protected:
  Package() { fs::copy(kPackage, dir / "package", fs::copy_options::recursive); }
  // Runs a shell command as a user whose home and data home are in the temporary folder.
  testing::CommandResult run(const std::string& command, const std::string& path = "") {
    return runCommand({"env", "HOME=" + dir.path(), "XDG_DATA_HOME=" + (dir / "data"),
                       "PATH=" + (path.empty() ? std::string(std::getenv("PATH")) : path), "bash",
                       "-c", command + " 2>&1"});
  }
  std::string approot() { return testing::readFile(dir / "data/HalvarenTessary/approot"); }

  testing::TempDir dir;
};

TEST_F(Package, TheWizardInstallsACommandThatServesAndRecordsTheCodeRoot) {
  const std::string root = dir / "package/app-root";
  auto result = run("bash '" + root + "/installer/bootstrap.sh' '" + root + "' ''");
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("[1/4] Sprawdzanie Pythona 3"), std::string::npos);
  EXPECT_NE(result.output.find("[4/4] Zapisywanie konfiguracji"), std::string::npos);
  EXPECT_EQ(approot(), root + "\n");
  auto help = run("'" + root + "/.venv/bin/tessary' --help");
  EXPECT_EQ(help.status, 0) << help.output;
  EXPECT_NE(help.output.find("serve"), std::string::npos);
}

TEST_F(Package, TheWizardFailsClearlyWithoutPython) {
  // A search path with the tools the script uses, and no Python.
  fs::create_directories(dir / "tools");
  for (const char* tool : {"dirname", "mkdir", "mv", "cat", "bash"}) {
    fs::create_symlink(fs::path("/usr/bin") / tool, dir / ("tools/" + std::string(tool)));
  }
  const std::string root = dir / "package/app-root";
  auto result = run("bash '" + root + "/installer/bootstrap.sh' '" + root + "' ''", dir / "tools");
  EXPECT_NE(result.status, 0);
  EXPECT_NE(result.output.find("Błąd: nie znaleziono Pythona 3"), std::string::npos)
      << result.output;
  EXPECT_FALSE(fs::exists(dir / "data/HalvarenTessary/approot"));
}

TEST_F(Package, TheUvRunnerRunsTheProjectCommandFromAnySubfolder) {
  testing::writeFile(dir / "proj/.venv/bin/tessary", "#!/bin/bash\necho \"ran with: $*\"\n");
  fs::permissions(dir / "proj/.venv/bin/tessary", fs::perms::owner_all);
  fs::create_directories(dir / "proj/sub");
  const std::string uv = dir / "package/bin/uv";
  auto result = run("cd '" + (dir / "proj/sub") + "' && '" + uv + "' run tessary serve --x 'a b'");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output, "ran with: serve --x a b\n");
  EXPECT_EQ(run("cd '" + dir.path() + "' && '" + uv + "' run tessary serve").status, 127);
  EXPECT_EQ(run("'" + uv + "' sync").status, 2);
}

TEST_F(Package, InstallingByHandRecordsThePackageAndProvidesUv) {
  auto result = run("'" + (dir / "package/app-root/install.sh") + "'");
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(approot(), (dir / "package/app-root") + "\n");
  EXPECT_TRUE(fs::exists(dir / ".local/bin/uv"));
}

}  // namespace
}  // namespace tessary
