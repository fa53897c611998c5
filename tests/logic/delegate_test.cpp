// The delegate on the fake platform: the launch's roads, the menus, the backend's start,
// polling and stop, and the first-run setup, against a manual clock.
#include <sys/stat.h>

#include "logic/fake_platform.h"

namespace tessary {
namespace {

using namespace testing;
const std::string kPanel = "http://127.0.0.1:8477/";

std::string slashes(std::string text) {
  for (size_t at = 0; (at = text.find('/', at)) != std::string::npos; at += 2)
    text.insert(at, "\\");
  return text;
}

TEST(Launch, BuildsTheInterfaceThenTheProbeAndWhatIsInstalledPickTheRoad) {
  enum Code { None, Installed, WithoutCommand };
  struct Case {
    std::optional<int> status;
    Code code;
    bool bundle, page, resources;
    Strings loads, spawns, alerts;
  } cases[] = {
      {404, Installed, true, true, true, {kPanel}, {}, {}},
      {500, Installed, true, true, true, {}, {"-lc"}, {}},
      {{}, None, true, true, true, {"setup page"}, {"bootstrap"}, {}},
      {{}, None, true, false, true, {}, {"bootstrap"}, {}},
      {{}, WithoutCommand, false, false, true, {}, {}, {"Brak dołączonego kodu"}},
      {{}, None, false, false, false, {}, {}, {"Brak dołączonego kodu"}},
  };
  for (const auto& c : cases) {
    World w(c.resources);
    if (c.code == Installed) w.installCode();
    if (c.code == WithoutCommand) writeFile(w.locations.approotFile, w.dir / "nowhere");
    if (c.bundle) w.shipBundle(c.page);
    w.delegate.applicationDidFinishLaunching();
    const auto& spec = w.view().spec;
    EXPECT_EQ(std::tie(spec.title, spec.width, spec.height, spec.minWidth, spec.minHeight),
              std::make_tuple("Halvaren Tessary", 1280, 840, 900, 600));
    EXPECT_EQ(std::tie(spec.background.red, spec.background.blue),
              std::make_tuple(250 / 255.0, 247 / 255.0));
    EXPECT_EQ(w.view().presents, 1);
    EXPECT_EQ(w.system.probes.at(0).first, kPanel + " 1.000000");
    EXPECT_TRUE(w.view().loads.empty()) << "nothing loads before the answer";
    w.system.answerProbe(c.status);
    w.system.runPending();
    Strings loads = w.view().loads, spawns, alerts;
    for (auto& l : loads)
      if (l == w.dir / "res/setup.html in " + w.dir / "res") l = "setup page";
    for (const auto& s : w.system.spawns)
      spawns.push_back(s.argv[1] == "-lc" ? "-lc" : s.argv[1].substr(s.argv[1].size() - 12, 9));
    for (const auto& a : w.desktop.alerts) alerts.push_back(a.substr(0, a.find('|')));
    EXPECT_EQ(std::tie(loads, spawns, alerts), std::tie(c.loads, c.spawns, c.alerts))
        << (c.status ? *c.status : 0) << " " << c.code;
    w.delegate.loadPanel();
    w.delegate.loadPanel();
    EXPECT_EQ(std::count(w.view().loads.begin(), w.view().loads.end(), kPanel), 1);
  }
}

TEST(Window, HidesOnCloseComesBackOnReopenAndOffersItsMenus) {
  World w;
  w.launch(200);
  auto& window = w.view();
  EXPECT_FALSE(window.shouldClose());
  EXPECT_FALSE(window.visible);
  EXPECT_TRUE(w.delegate.applicationShouldHandleReopen(false));
  EXPECT_TRUE(w.delegate.applicationShouldHandleReopen(true));
  EXPECT_EQ(std::tie(window.visible, window.presents), std::make_tuple(true, 2));
  EXPECT_FALSE(w.delegate.applicationShouldTerminateAfterLastWindowClosed());
  Strings rows;
  for (const auto& menu : w.desktop.menus)
    for (const auto& e : menu.entries)
      rows.push_back(menu.title + "|" + e.label + "|" + e.accelerator);
  for (const auto& e : w.desktop.status.entries) rows.push_back(e.label + "|" + e.accelerator);
  EXPECT_EQ(rows,
            (Strings{"Halvaren Tessary|O aplikacji Halvaren Tessary|", "Halvaren Tessary||",
                     "Halvaren Tessary|Schowaj Halvaren Tessary|<Control>h", "Halvaren Tessary||",
                     "Halvaren Tessary|Zakończ Halvaren Tessary|<Control>q",
                     "Edycja|Cofnij|<Control>z", "Edycja|Ponów|<Shift><Control>z", "Edycja||",
                     "Edycja|Wytnij|<Control>x", "Edycja|Kopiuj|<Control>c",
                     "Edycja|Wklej|<Control>v", "Edycja|Zaznacz wszystko|<Control>a",
                     "Okno|Minimalizuj|<Control>m", "Okno|Zamknij|<Control>w", "Otwórz Tessary|",
                     "Panel w przeglądarce|", "|", "Zakończ|"}));
  EXPECT_EQ(w.desktop.status.title, "Halvaren Tessary");
  w.desktop.menus[0].entries[0].action();
  w.desktop.menus[2].entries[0].action();
  EXPECT_EQ(std::tie(w.desktop.abouts, window.minimizes), std::make_tuple(1, 1));
}

TEST(Window, FileInputsGetAChooserEachAndTheNavigationRuleIsAsked) {
  World w;
  w.delegate.applicationDidFinishLaunching();
  std::vector<platform::FileList> answers;
  w.view().files({false, true}, [&](platform::FileList f) { answers.push_back(f); });
  w.view().files({true, false}, [&](platform::FileList f) { answers.push_back(f); });
  ASSERT_EQ(w.desktop.choosers.size(), 2u);
  auto& [spec, done] = w.desktop.choosers[0];
  EXPECT_EQ(std::tie(spec.title, spec.acceptLabel, spec.multiple, spec.chooseDirectories),
            std::make_tuple("Wybierz nagranie sesji", "Wybierz", true, false));
  EXPECT_TRUE(w.desktop.choosers[1].first.chooseDirectories);
  done(Strings{"/a", "/b"});
  w.desktop.choosers[1].second(std::nullopt);
  EXPECT_EQ(answers, (std::vector<platform::FileList>{Strings{"/a", "/b"}, std::nullopt}));
  EXPECT_TRUE(w.view().policy(platform::Address{"http", "127.0.0.1"}));
  EXPECT_FALSE(w.view().policy(platform::Address{"https", "example.com"}));
}

TEST(Backend, ABrokenRootOrAFailedStartIsShownAndStartsNothing) {
  World w;
  writeFile(w.dir / "plain-file", "");
  w.delegate.applicationDidFinishLaunching();
  for (const std::string& root : {std::string(), w.dir / "missing", w.dir / "plain-file"}) {
    w.desktop.alerts.clear();
    writeFile(w.locations.approotFile, "  " + root + "\n");
    w.delegate.startBackend();
    EXPECT_EQ(w.desktop.alerts,
              Strings{"Nieprawidłowa konfiguracja Halvaren Tessary|Plik " +
                      w.locations.approotFile + " wskazuje katalog, który nie istnieje:\n" + root +
                      "\n\nUruchom ponownie ./install.sh z katalogu paczki Halvaren Tessary."});
  }
  EXPECT_TRUE(w.system.spawns.empty());
  w.desktop.alerts.clear();
  w.installCode();
  w.system.spawnError = "No such file";
  w.delegate.startBackend();
  EXPECT_EQ(w.desktop.alerts,
            Strings{"Nie udało się uruchomić backendu|Błąd: No such file\n\n"
                    "Sprawdź, czy `" +
                    w.system.home + "/.local/bin/uv` istnieje (instaluje go ./install.sh)."});
  EXPECT_FALSE(w.delegate.backend);
  EXPECT_EQ(w.system.activeTimers(), 0);
}

TEST(Backend, StartsThroughALoginShellWithTheBestUvAndAnEmptiedLog) {
  World w;
  const std::string root = w.installCode(), shipped = w.dir / "res/bin/uv",
                    home = w.system.home + "/.local/bin/uv";
  writeFile(w.locations.shellLogFile, "old output");
  w.delegate.applicationDidFinishLaunching();
  const std::tuple<bool, bool, std::string> cases[] = {
      {true, true, shipped}, {false, true, home}, {false, false, "uv"}};
  for (const auto& [hasShipped, hasHome, chosen] : cases) {
    std::filesystem::remove(shipped), std::filesystem::remove(home);
    if (hasShipped) writeFile(shipped, "");
    if (hasHome) writeFile(home, "");
    w.delegate.startBackend();
    EXPECT_EQ(w.system.spawns.back().argv,
              (Strings{"/bin/bash", "-lc",
                       "cd '" + root + "' && exec '" + chosen + "' run tessary serve"}));
  }
  const auto& spec = w.system.spawns.back();
  EXPECT_EQ(std::tie(spec.workingDirectory, spec.output, spec.outputFile, spec.ownGroup),
            std::make_tuple(root, platform::Output::File, w.locations.shellLogFile, true));
  EXPECT_EQ(readFile(w.locations.shellLogFile), "") << "emptied at every start";
  EXPECT_EQ(w.system.activeTimers(), 1) << "one poll timer, however often started";
}

TEST(Polling, AnAnswerLoadsThePanelAndStopsTheTimer) {
  World w;
  w.installCode();
  w.launch(std::nullopt);
  for (int tick = 0; tick < 6; ++tick) {
    w.system.advance(0.5);
    EXPECT_EQ(w.system.probes.back().first, kPanel + " 0.500000");
    w.system.answerProbe(503);
  }
  EXPECT_TRUE(w.view().loads.empty());
  w.system.advance(0.5);
  w.system.answerProbe(200);
  EXPECT_EQ(w.view().loads, Strings{kPanel});
  w.system.advance(5);
  EXPECT_EQ(w.system.probes.size(), 8u);
  EXPECT_EQ(w.system.activeTimers(), 0);
}

TEST(Polling, AProbeInFlightDelaysNeitherTheAlertNorALateAnswer) {
  World w;
  w.installCode();
  w.launch(std::nullopt);
  w.system.advance(60.0);  // the first poll goes out at 0.5 s and stays out
  EXPECT_EQ(w.system.probes.size(), 2u) << "no probe while one is in flight";
  EXPECT_TRUE(w.desktop.alerts.empty());
  w.system.advance(0.5);
  EXPECT_EQ(w.desktop.alerts,
            Strings{"Backend nie wystartował|Panel nie odpowiedział na "
                    "http://127.0.0.1:8477 w ciągu 60 sekund.\n\nZajrzyj do "
                    "logu:\n" +
                    w.locations.shellLogFile +
                    "\n\nalbo uruchom ręcznie w Terminalu: uv run tessary serve"});
  w.system.advance(30);
  EXPECT_EQ(std::make_pair(w.system.probes.size(), w.desktop.alerts.size()),
            std::make_pair(2ul, 1ul));
  EXPECT_EQ(w.system.children[0]->terminates, 0) << "the server keeps running";
  w.system.answerProbe(204);  // long after the alert
  EXPECT_EQ(w.view().loads, Strings{kPanel});
}

TEST(Shutdown, StopsOnlyARunningBackendPolitelyThenByForce) {
  struct Case {
    bool owned, running;
    std::optional<double> stopsAfter;
    int terminates, kills;
    double waited;
  } cases[] = {{false, true, 0.0, 0, 0, 0},
               {true, false, 0.0, 0, 0, 0},
               {true, true, 1.0, 1, 0, 1.0},
               {true, true, std::nullopt, 1, 1, 3.0}};
  for (const auto& c : cases) {
    World w;
    if (c.owned) w.installCode();
    w.launch(c.owned ? std::nullopt : std::optional(200));
    auto record = c.owned ? w.system.children.back() : std::make_shared<ChildRecord>();
    record->running = c.running;
    record->stopsAfterTerminate = c.stopsAfter;
    const double start = w.system.clock;
    w.delegate.applicationWillTerminate();
    EXPECT_EQ(std::tie(record->terminates, record->kills), std::tie(c.terminates, c.kills));
    EXPECT_NEAR(w.system.clock - start, c.waited, 0.1 + 1e-9);
    for (double s : w.system.sleeps) EXPECT_EQ(s, 0.1);
    EXPECT_EQ(bool(w.delegate.backend), c.owned && !c.terminates);
  }
}

TEST(Recovery, TheEngineIsReloadedTwiceAMinuteAndTheBackendRestartedThriceInFiveMinutes) {
  World w;
  w.installCode();
  w.launch(std::nullopt);
  w.system.spawns.back().onExit(1);  // before it ever answered: no restart
  w.system.advance(0.5);
  w.system.answerProbe(200);
  for (int crash = 0; crash < 3; ++crash) w.view().crashed();
  EXPECT_EQ(w.view().reloads, 2);
  w.system.advance(61);
  w.view().crashed();
  EXPECT_EQ(w.view().reloads, 3) << "a minute later the page is reloaded again";

  writeFile(w.locations.shellLogFile, "the run that died\n");
  for (int restart = 0; restart < 3; ++restart) {
    w.system.spawns.back().onExit(137);
    w.system.advance(0.5);
    w.system.answerProbe(200);
  }
  w.system.spawns.back().onExit(137);
  EXPECT_EQ(w.system.spawns.size(), 4u) << "three restarts and no fourth";
  EXPECT_EQ(readFile(w.locations.shellLogFile), "the run that died\n") << "kept at a restart";
  EXPECT_EQ(std::count(w.view().loads.begin(), w.view().loads.end(), kPanel), 4);

  World q;
  q.installCode();
  q.launch(std::nullopt);
  q.system.advance(0.5);
  q.system.answerProbe(200);
  q.delegate.applicationWillTerminate();
  q.system.spawns.back().onExit(143);
  EXPECT_EQ(q.system.spawns.size(), 1u) << "a backend stopped by the program stays stopped";
}

// Launched into the setup road, past the copy, with the wizard running.
struct SetupWorld : World {
  SetupWorld() {
    shipBundle();
    writeFile(locations.setupLogFile, "stale log");
    launch(std::nullopt);
    system.runPending();
  }
};

TEST(Setup, TheShippedCodeIsCopiedAndTheWizardsOutputGoesToTheLogAndThePage) {
  SetupWorld w;
  const std::string app = w.locations.installedRoot;
  const auto& spec = w.system.spawns.back();
  EXPECT_EQ(spec.argv,
            (Strings{"/bin/bash", app + "/installer/bootstrap.sh", app, w.dir / "res/bin"}));
  EXPECT_EQ(std::tie(spec.workingDirectory, spec.output, spec.ownGroup),
            std::make_tuple(app, platform::Output::Pipe, false));
  EXPECT_EQ(readFile(app + "/installer/bootstrap.sh"), "echo hi\n");
  for (const char* script : {"/installer/bootstrap.sh", "/install.sh"}) {
    struct stat st {};
    ::stat((app + script).c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0755u) << script;
  }
  EXPECT_EQ(readFile(w.locations.setupLogFile), "");
  spec.onOutput("1/3 \"Pobieranie\" C:\\x\n2/3 za");
  spec.onOutput("\xC5\x82\xC3\xB3\r\n\xFF bad\nlast");
  EXPECT_EQ(w.view().scripts,
            (Strings{"wrLog(\"1\\/3 \\\"Pobieranie\\\" C:\\\\x\")", "wrLog(\"2\\/3 załó\\r\")"}));
  EXPECT_EQ(readFile(w.locations.setupLogFile),
            "1/3 \"Pobieranie\" C:\\x\n2/3 za\xC5\x82\xC3\xB3\r\n\xFF bad\nlast");
  w.delegate.applicationWillTerminate();
  EXPECT_EQ(w.system.children[0]->terminates + w.system.children[0]->kills, 0)
      << "quitting leaves the wizard alone";
}

TEST(Setup, SuccessSaysDoneAndStartsTheBackend1_4SecondsLater) {
  SetupWorld w;
  w.installCode();  // what the wizard leaves behind
  w.system.spawns.back().onExit(0);
  EXPECT_EQ(w.view().scripts, Strings{"wrDone()"});
  w.system.advance(1.39);
  EXPECT_EQ(w.system.spawns.size(), 1u);
  w.system.advance(0.01);
  EXPECT_EQ(w.system.spawns.back().argv[1], "-lc");
}

TEST(Setup, EveryFailureEndsInThePageAndStartsNothingMore) {
  for (int road : {0, 1, 2}) {
    World w;
    w.shipBundle();
    if (road == 2) w.system.spawnError = "Failed to change to directory “/x”";
    w.launch(std::nullopt);
    w.system.runPending();
    if (road < 2) w.system.spawns.back().onExit(road == 0 ? 2 : 0);
    w.system.advance(5);
    const std::string log = slashes(w.locations.setupLogFile);
    const Strings expected[] = {
        {"wrFail(\"Zajrzyj do dziennika: " + log +
         ". Możesz też uruchomić kreator ponownie (zamknij i otwórz aplikację) albo użyć "
         ".\\/install.sh z paczki.\")"},
        {"wrFail(\"Kreator zakończył się bez zapisania pliku " + slashes(w.locations.approotFile) +
         ". Zajrzyj do dziennika: " + log + ".\")"},
        {"wrFail(\"Nie udało się uruchomić kreatora: Failed to change to directory “\\/x”\")"}};
    EXPECT_EQ(w.view().scripts, expected[road]);
    EXPECT_EQ(w.system.spawns.size(), 1u) << "no backend, no second wizard";
  }
}

}  // namespace
}  // namespace tessary
