// First-run setup on the fake platform: checks, copy, the wizard's process and its page calls.
#include <sys/stat.h>

#include "logic/delegate_fixture.h"

namespace tessary {
namespace {

using testing::DelegateTest;
using testing::writeFile;

const char kMissingCodeText[] =
    "Ta wersja aplikacji nie zawiera dołączonego kodu. Użyj paczki zip i ./install.sh, albo "
    "zbuduj aplikację przez installer/build_app.sh.";

unsigned modeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

class Setup : public DelegateTest {
 protected:
  // Launches into the setup road and lets the copy hand over to the wizard.
  void runToWizard() {
    launch(std::nullopt);
    system.runPending();
    ASSERT_EQ(system.spawns.size(), 1u);
  }
  void output(std::string_view bytes) { lastSpawn().spec.onOutput(bytes); }
  void exit(int status) { lastSpawn().spec.onExit(status); }
  std::vector<std::string>& scripts() { return view().scripts; }
};

TEST_F(Setup, ShippedCodeIsCopiedAndTheWizardRunsWithItsThreeArguments) {
  shipBundle();
  runToWizard();
  const auto& spec = lastSpawn().spec;
  EXPECT_EQ(spec.argv, (std::vector<std::string>{
                           "/bin/bash", locations.installedRoot + "/installer/bootstrap.sh",
                           locations.installedRoot, dir / "res/bin"}));
  EXPECT_EQ(spec.workingDirectory, locations.installedRoot);
  EXPECT_EQ(spec.output, platform::Output::Pipe);
  EXPECT_FALSE(spec.ownGroup);
  EXPECT_EQ(testing::readFile(locations.installedRoot + "/installer/bootstrap.sh"), "echo hi\n");
  EXPECT_EQ(modeOf(locations.installedRoot + "/installer/bootstrap.sh"), 0755u);
  EXPECT_EQ(modeOf(locations.installedRoot + "/install.sh"), 0755u);
  EXPECT_TRUE(delegate().setupProc);
}

TEST_F(Setup, WithoutASetupPageTheWizardStillRuns) {
  shipBundle(/*withPage=*/false);
  runToWizard();
  EXPECT_TRUE(view().loads.empty());
}

TEST_F(Setup, MissingShippedCodeGivesTheAlertAndNothingElse) {
  launch(std::nullopt);
  ASSERT_EQ(desktop.alerts.size(), 1u);
  EXPECT_EQ(desktop.alerts[0].title, "Brak dołączonego kodu");
  EXPECT_EQ(desktop.alerts[0].text, kMissingCodeText);

  desktop.alerts.clear();
  writeFile(*locations.bundledRoot + "/install.sh", "");  // code without its wizard
  delegate().runSetup();
  system.runPending();
  ASSERT_EQ(desktop.alerts.size(), 1u);
  EXPECT_EQ(desktop.alerts[0].text, kMissingCodeText);
  EXPECT_TRUE(view().loads.empty());
  EXPECT_TRUE(system.spawns.empty());
  EXPECT_FALSE(std::filesystem::exists(locations.appSupportDir));
}

class SetupWithoutResources : public DelegateTest {
 protected:
  SetupWithoutResources() : DelegateTest(false) {}
};

TEST_F(SetupWithoutResources, AProgramWithoutResourcesShowsTheMissingCodeAlert) {
  launch(std::nullopt);
  ASSERT_EQ(desktop.alerts.size(), 1u);
  EXPECT_EQ(desktop.alerts[0].title, "Brak dołączonego kodu");
  EXPECT_TRUE(system.spawns.empty());
}

TEST_F(SetupWithoutResources, TheWizardGetsAnEmptyThirdArgument) {
  writeFile(locations.installedRoot + "/installer/bootstrap.sh", "");
  delegate().applicationDidFinishLaunching();
  delegate().launchBootstrap();
  EXPECT_EQ(lastSpawn().spec.argv.size(), 4u);
  EXPECT_EQ(lastSpawn().spec.argv[3], "");
}

TEST_F(Setup, OutputGoesToTheLogByteForByteAndValidLinesToThePage) {
  shipBundle();
  writeFile(locations.setupLogFile, "stale log of an earlier run");
  runToWizard();
  EXPECT_EQ(testing::readFile(locations.setupLogFile), "");
  output("1/3 \"Pobieranie\" C:\\x\n2/3 za");
  output("\xC5\x82\xC3\xB3\r\n\xFF bad\nlast");
  EXPECT_EQ(scripts(), (std::vector<std::string>{
                           "wrLog(\"1\\/3 \\\"Pobieranie\\\" C:\\\\x\")",
                           "wrLog(\"2\\/3 załó\\r\")",
                       }));
  EXPECT_EQ(testing::readFile(locations.setupLogFile),
            "1/3 \"Pobieranie\" C:\\x\n2/3 za\xC5\x82\xC3\xB3\r\n\xFF bad\nlast");
}

TEST_F(Setup, SuccessSaysDoneThenStartsTheBackendNoSoonerThan1_4SecondsLater) {
  shipBundle();
  runToWizard();
  installCode();  // what the wizard leaves behind
  exit(0);
  EXPECT_EQ(scripts(), std::vector<std::string>{"wrDone()"});
  system.advance(1.39);
  EXPECT_EQ(system.spawns.size(), 1u);
  system.advance(0.01);
  ASSERT_EQ(system.spawns.size(), 2u);
  EXPECT_EQ(lastSpawn().spec.argv[1], "-lc");
  EXPECT_TRUE(delegate().backend);
}

TEST_F(Setup, AFailingWizardPointsToTheLog) {
  shipBundle();
  runToWizard();
  output("krok 1\n");
  exit(2);
  EXPECT_EQ(scripts(),
            (std::vector<std::string>{
                "wrLog(\"krok 1\")",
                "wrFail(\"Zajrzyj do dziennika: " + testing::escapeSlashes(locations.setupLogFile) +
                    ". Możesz też uruchomić kreator ponownie (zamknij i otwórz aplikację) albo "
                    "użyć .\\/install.sh z paczki.\")"}));
  system.advance(5);
  EXPECT_EQ(system.spawns.size(), 1u) << "no backend";
  EXPECT_TRUE(desktop.alerts.empty());
}

TEST_F(Setup, AWizardThatSucceedsWithoutAnApprootFileIsAFailure) {
  shipBundle();
  runToWizard();
  exit(0);
  EXPECT_EQ(scripts(),
            (std::vector<std::string>{"wrFail(\"Kreator zakończył się bez zapisania pliku " +
                                      testing::escapeSlashes(locations.approotFile) +
                                      ". Zajrzyj do dziennika: " +
                                      testing::escapeSlashes(locations.setupLogFile) + ".\")"}));
  system.advance(5);
  EXPECT_EQ(system.spawns.size(), 1u) << "no second install, no backend";
}

TEST_F(Setup, AWizardThatCannotStartFailsOnceWithTheReason) {
  shipBundle();
  system.nextSpawnError = "Failed to change to directory “/x” (No such file or directory)";
  launch(std::nullopt);
  system.runPending();
  EXPECT_EQ(scripts(), (std::vector<std::string>{
                           "wrFail(\"Nie udało się uruchomić kreatora: Failed to change to "
                           "directory “\\/x” (No such file or directory)\")"}));
  EXPECT_FALSE(delegate().setupProc);
  system.advance(5);
  EXPECT_EQ(scripts().size(), 1u);
}

TEST_F(Setup, ASilentWizardSendsNoLines) {
  shipBundle();
  runToWizard();
  installCode();
  exit(0);
  EXPECT_EQ(scripts(), std::vector<std::string>{"wrDone()"});
}

TEST_F(Setup, QuittingDuringTheWizardLeavesItAlone) {
  shipBundle();
  runToWizard();
  auto wizard = lastSpawn().child;
  delegate().applicationWillTerminate();
  EXPECT_EQ(wizard->terminates + wizard->kills, 0);
}

}  // namespace
}  // namespace tessary
