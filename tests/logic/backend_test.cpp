// Starting, polling and stopping the backend, on the fake platform's manual clock.
#include "backend/polling.h"
#include "logic/delegate_fixture.h"

namespace tessary {
namespace {

using testing::DelegateTest;
using testing::writeFile;

class BackendStart : public DelegateTest {
 protected:
  void start() {
    delegate().applicationDidFinishLaunching();
    delegate().startBackend();
  }
  std::string configText(const std::string& root) {
    return "Plik " + locations.approotFile + " wskazuje katalog, który nie istnieje:\n" + root +
           "\n\nUruchom ponownie ./install.sh z katalogu paczki Halvaren Tessary.";
  }
};

TEST_F(BackendStart, WithoutAnApprootFileRunsSetupAndShowsNothing) {
  shipBundle();
  start();
  EXPECT_TRUE(desktop.alerts.empty());
  EXPECT_FALSE(delegate().backend);
  EXPECT_EQ(view().loads.size(), 1u) << "the setup page";
  EXPECT_EQ(system.activeTimers(), 0);
}

TEST_F(BackendStart, ABrokenRootGivesTheConfigurationAlert) {
  writeFile(dir / "plain-file", "");
  struct Case {
    std::string content;
    std::string shownRoot;
  } cases[] = {
      {"", ""},
      {"  \t\n", ""},
      {dir / "missing", dir / "missing"},
      {dir / "plain-file", dir / "plain-file"},
      {dir / "a\n" + dir / "b", dir / "a\n" + dir / "b"},
  };
  start();
  for (const auto& c : cases) {
    desktop.alerts.clear();
    writeFile(locations.approotFile, c.content);
    delegate().startBackend();
    ASSERT_EQ(desktop.alerts.size(), 1u) << c.content;
    EXPECT_EQ(desktop.alerts[0].title, "Nieprawidłowa konfiguracja Halvaren Tessary");
    EXPECT_EQ(desktop.alerts[0].text, configText(c.shownRoot));
  }
  EXPECT_TRUE(system.spawns.empty());
  EXPECT_FALSE(delegate().backend);
  EXPECT_EQ(system.activeTimers(), 0);
}

TEST_F(BackendStart, SuccessRecordsTheBackendAndStartsPolling) {
  std::filesystem::create_directories(dir / "spaced root");
  writeFile(locations.approotFile, "  " + dir / "spaced root" + "\n");
  writeFile(locations.shellLogFile, "old output of an earlier start");
  start();
  ASSERT_EQ(system.spawns.size(), 1u);
  const auto& spec = lastSpawn().spec;
  EXPECT_EQ(spec.argv, (std::vector<std::string>{
                           "/bin/bash", "-lc",
                           "cd '" + dir / "spaced root" + "' && exec 'uv' run tessary serve"}));
  EXPECT_EQ(spec.workingDirectory, dir / "spaced root");
  EXPECT_EQ(spec.output, platform::Output::File);
  EXPECT_EQ(spec.outputFile, locations.shellLogFile);
  EXPECT_TRUE(spec.ownGroup);
  EXPECT_EQ(testing::readFile(locations.shellLogFile), "") << "emptied at every start";
  EXPECT_TRUE(delegate().backend);
  EXPECT_FALSE(lastSpawn().child->released);
  EXPECT_EQ(system.activeTimers(), 1);
  EXPECT_EQ(delegate().pollDeadline, system.clock + 60.0);
}

TEST_F(BackendStart, ALaunchFailureIsReportedWithTheHomeUv) {
  installCode();
  system.nextSpawnError = "Failed to execute child process “/bin/bash” (No such file)";
  start();
  ASSERT_EQ(desktop.alerts.size(), 1u);
  EXPECT_EQ(desktop.alerts[0].title, "Nie udało się uruchomić backendu");
  EXPECT_EQ(desktop.alerts[0].text,
            "Błąd: Failed to execute child process “/bin/bash” (No such file)\n\nSprawdź, czy `" +
                system.home + "/.local/bin/uv` istnieje (instaluje go ./install.sh).");
  EXPECT_FALSE(delegate().backend);
  EXPECT_EQ(system.activeTimers(), 0);
  EXPECT_TRUE(std::filesystem::exists(locations.shellLogFile)) << "emptied before the launch";
}

TEST_F(BackendStart, PrefersTheShippedUvThenTheHomeOneThenTheSearchPath) {
  const std::string shipped = *locations.bundledUVDir + "/uv";
  const std::string home = system.home + "/.local/bin/uv";
  struct Case {
    bool shippedExists, homeExists;
    std::string chosen;
  } cases[] = {
      {true, true, shipped}, {true, false, shipped}, {false, true, home}, {false, false, "uv"}};
  const std::string root = installCode();
  start();
  for (const auto& c : cases) {
    std::filesystem::remove(shipped);
    std::filesystem::remove(home);
    if (c.shippedExists) writeFile(shipped, "");
    if (c.homeExists) writeFile(home, "");
    delegate().backend.reset();
    delegate().startBackend();
    EXPECT_EQ(lastSpawn().spec.argv[2],
              "cd '" + root + "' && exec '" + c.chosen + "' run tessary serve");
  }
}

class BackendStartWithoutResources : public DelegateTest {
 protected:
  BackendStartWithoutResources() : DelegateTest(false) {}
};

TEST_F(BackendStartWithoutResources, OnlyTheHomeUvIsConsidered) {
  const std::string root = installCode();
  writeFile(system.home + "/.local/bin/uv", "");
  delegate().applicationDidFinishLaunching();
  delegate().startBackend();
  EXPECT_EQ(lastSpawn().spec.argv[2],
            "cd '" + root + "' && exec '" + system.home + "/.local/bin/uv' run tessary serve");
}

class Polling : public DelegateTest {
 protected:
  void SetUp() override {
    installCode();
    launch(std::nullopt);  // the backend road
    ASSERT_TRUE(delegate().backend);
  }
  size_t pollProbes() const { return system.probes.size() - 1; }
};

TEST_F(Polling, AnAnswerAtThreeSecondsLoadsThePanelAndStopsTheTimer) {
  for (int tick = 0; tick < 6; ++tick) {
    system.advance(0.5);
    EXPECT_EQ(system.probes.back().timeout, 0.5);
    system.answerProbe(std::nullopt);
  }
  EXPECT_TRUE(view().loads.empty());
  system.advance(0.5);
  system.answerProbe(200);
  EXPECT_EQ(view().loads, std::vector<std::string>{"http://127.0.0.1:8477/"});
  EXPECT_EQ(system.activeTimers(), 0);
  size_t probes = pollProbes();
  system.advance(5);
  EXPECT_EQ(pollProbes(), probes);
}

TEST_F(Polling, NeverAnsweringGivesOneAlertAtTheFirstTickPastTheDeadline) {
  const double started = system.clock;
  double alertedAt = 0;
  while (desktop.alerts.empty() && system.clock < started + 70) {
    system.advance(0.5);
    alertedAt = system.clock;
    while (system.outstandingProbes()) system.answerProbe(std::nullopt);
  }
  ASSERT_EQ(desktop.alerts.size(), 1u);
  EXPECT_DOUBLE_EQ(alertedAt - started, 60.5);
  EXPECT_EQ(desktop.alerts[0].title, "Backend nie wystartował");
  EXPECT_EQ(desktop.alerts[0].text,
            "Panel nie odpowiedział na http://127.0.0.1:8477 w ciągu 60 sekund.\n\nZajrzyj do "
            "logu:\n" +
                locations.shellLogFile +
                "\n\nalbo uruchom ręcznie w Terminalu: uv run tessary serve");
  EXPECT_TRUE(delegate().backend);
  EXPECT_EQ(lastSpawn().child->terminates, 0) << "the server keeps running";
  size_t probes = pollProbes();
  system.advance(30);
  EXPECT_EQ(desktop.alerts.size(), 1u);
  EXPECT_EQ(pollProbes(), probes);
}

TEST_F(Polling, AnAnswerAfterTheAlertStillLoadsThePanel) {
  system.advance(0.5);  // a probe goes out and never comes back in time
  system.advance(60.5);
  ASSERT_EQ(desktop.alerts.size(), 1u);
  system.answerProbe(204);
  EXPECT_EQ(view().loads, std::vector<std::string>{"http://127.0.0.1:8477/"});
}

TEST_F(Polling, TicksDuringAnOutstandingProbeSendNothing) {
  system.advance(0.5);
  EXPECT_EQ(pollProbes(), 1u);
  system.advance(2.0);
  EXPECT_EQ(pollProbes(), 1u);
  EXPECT_TRUE(delegate().pollInFlight);
  system.answerProbe(std::nullopt);
  EXPECT_FALSE(delegate().pollInFlight);
  system.advance(0.5);
  EXPECT_EQ(pollProbes(), 2u);
}

TEST_F(Polling, APanelLoadedByAnotherRoadOnlyStopsTheTimer) {
  delegate().loadPanel();
  system.advance(0.5);
  EXPECT_EQ(system.activeTimers(), 0);
  EXPECT_EQ(pollProbes(), 0u);
  EXPECT_EQ(view().loads.size(), 1u);
}

TEST_F(Polling, ASecondBeginPollingLeavesOneTimerRunning) {
  delegate().beginPolling();
  EXPECT_EQ(system.activeTimers(), 1);
}

class Shutdown : public DelegateTest {
 protected:
  testing::ChildRecord& startOwnedBackend() {
    installCode();
    launch(std::nullopt);
    return *lastSpawn().child;
  }
};

TEST_F(Shutdown, NothingOwnedMeansNothingSent) {
  launch(200);
  delegate().applicationWillTerminate();
  EXPECT_TRUE(system.sleeps.empty());
  EXPECT_TRUE(system.spawns.empty());
}

TEST_F(Shutdown, ABackendThatAlreadyEndedGetsNoSignal) {
  auto& child = startOwnedBackend();
  child.running = false;
  delegate().applicationWillTerminate();
  EXPECT_EQ(child.terminates + child.kills, 0);
  EXPECT_TRUE(delegate().backend) << "left as it was";
}

TEST_F(Shutdown, ACooperativeBackendIsStoppedPolitely) {
  auto& child = startOwnedBackend();
  child.stopsAfterTerminate = 1.0;
  delegate().applicationWillTerminate();
  EXPECT_EQ(child.terminates, 1);
  EXPECT_EQ(child.kills, 0);
  EXPECT_FALSE(delegate().backend);
  EXPECT_TRUE(child.released);
  EXPECT_NEAR(system.clock - *child.terminatedAt, 1.0, 1e-9);
  for (double s : system.sleeps) EXPECT_DOUBLE_EQ(s, 0.1);
}

TEST_F(Shutdown, ABackendIgnoringTheStopIsKilledAfterThreeSeconds) {
  auto& child = startOwnedBackend();
  child.stopsAfterTerminate.reset();
  delegate().applicationWillTerminate();
  EXPECT_EQ(child.terminates, 1);
  EXPECT_EQ(child.kills, 1);
  const double waited = system.clock - *child.terminatedAt;
  EXPECT_GE(waited, 3.0 - 1e-9);
  EXPECT_LE(waited, 3.1 + 1e-9);
  EXPECT_FALSE(delegate().backend);
}

}  // namespace
}  // namespace tessary
