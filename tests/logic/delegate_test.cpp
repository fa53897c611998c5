// The delegate on the fake platform, each scenario checked against the whole transcript of
// what it asked of the desktop and the system: the launch's roads, the menus, the backend's
// start, polling, stop and restarts, and the first-run setup, against a manual clock.
#include <sys/stat.h>

#include "logic/fake_platform.h"

namespace tessary {
namespace {

using namespace testing;
const std::string kLoad = "load http://127.0.0.1:8477/", kPoll = "probe http://127.0.0.1:8477/ 0.5",
                  kData = "~/data/HalvarenTessary";
const Strings kStart = {"window Halvaren Tessary 1280x840 min 900x600 #fafaf7",
                        "status halvaren-tessary-symbolic Halvaren Tessary", "present",
                        "probe http://127.0.0.1:8477/ 1"};
std::string backend(const std::string& uv = "uv") {
  return "spawn /bin/bash -lc cd '~/code' && exec '" + uv + "' run tessary serve | in ~/code | " +
         "group | > " + kData + "/native-shell.log";
}
const std::string kWizard = "spawn /bin/bash " + kData + "/app/installer/bootstrap.sh " + kData +
                            "/app ~/res/bin | in " + kData + "/app | pipe";
Strings operator+(Strings a, const Strings& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const std::string kNoCode =
    "alert Brak dołączonego kodu|Ta wersja aplikacji nie zawiera dołączonego kodu. Użyj paczki "
    "zip i ./install.sh, albo zbuduj aplikację przez installer/build_app.sh.";

TEST(Launch, BuildsTheInterfaceThenTheProbeAndWhatIsInstalledPickTheRoad) {
  enum Code { None, Installed, WithoutCommand };
  const struct {
    std::optional<int> status;
    Code code;
    bool bundle, page, resources;
    Strings road;
  } cases[] = {
      {404, Installed, true, true, true, {kLoad}},
      {500, Installed, true, true, true, {backend()}},
      {{}, None, true, true, true, {"load ~/res/setup.html in ~/res", kWizard}},
      {{}, None, true, false, true, {kWizard}},
      {{}, WithoutCommand, false, false, true, {kNoCode}},
      {{}, None, false, false, false, {kNoCode}},
  };
  for (const auto& c : cases) {
    World w(c.resources);
    if (c.code == Installed) w.installCode();
    if (c.code == WithoutCommand) writeFile(w.locations.approotFile, w.dir / "nowhere");
    if (c.bundle) w.shipBundle(c.page);
    w.delegate.applicationDidFinishLaunching();
    EXPECT_EQ(w.take(), kStart) << "nothing loads before the answer";
    w.fake.answer(c.status);
    w.fake.runPending();
    EXPECT_EQ(w.take(), c.road);
    w.delegate.loadPanel();
    w.delegate.loadPanel();
    EXPECT_EQ(w.take(), c.road[0] == kLoad ? Strings{} : Strings{kLoad}) << "loaded once";
  }
}

TEST(Window, HidesOnCloseComesBackOnReopenAndEveryMenuEntryDoesItsOwnThing) {
  World w;
  w.launch(200);
  w.take();
  EXPECT_FALSE(w.view().shouldClose());
  EXPECT_TRUE(w.delegate.applicationShouldHandleReopen(true));
  EXPECT_TRUE(w.delegate.applicationShouldHandleReopen(false));
  EXPECT_FALSE(w.delegate.applicationShouldTerminateAfterLastWindowClosed());
  EXPECT_EQ(w.take(), (Strings{"hide", "present"}));
  Strings rows;
  auto row = [&](const std::string& menu, const platform::MenuEntry& e) {
    if (e.action) e.action();
    std::string done;
    for (const auto& line : w.take()) done += " " + line;
    rows.push_back(menu + "|" + e.label + "|" + e.accelerator + done);
  };
  for (const auto& menu : w.fake.menus)
    for (const auto& e : menu.entries) row(menu.title, e);
  for (const auto& e : w.fake.status.entries) row("status", e);
  EXPECT_EQ(
      rows,
      (Strings{"Halvaren Tessary|O aplikacji Halvaren Tessary| about", "Halvaren Tessary||",
               "Halvaren Tessary|Schowaj Halvaren Tessary|<Control>h hide", "Halvaren Tessary||",
               "Halvaren Tessary|Zakończ Halvaren Tessary|<Control>q quit",
               "Edycja|Cofnij|<Control>z edit 0", "Edycja|Ponów|<Shift><Control>z edit 1",
               "Edycja||", "Edycja|Wytnij|<Control>x edit 2", "Edycja|Kopiuj|<Control>c edit 3",
               "Edycja|Wklej|<Control>v edit 4", "Edycja|Zaznacz wszystko|<Control>a edit 5",
               "Okno|Minimalizuj|<Control>m minimize", "Okno|Zamknij|<Control>w hide",
               "status|Otwórz Tessary| present",
               "status|Panel w przeglądarce| browser http://127.0.0.1:8477/", "status||",
               "status|Zakończ| quit"}));
}

TEST(Window, FileInputsAndDownloadsAskOneChooserEachAndNavigationAsksTheRule) {
  World w;
  w.launch(200);
  w.take();
  std::vector<platform::FileList> chosen;
  std::vector<std::optional<std::string>> saved;
  auto choose = [&](platform::FileList f) { chosen.push_back(f); };
  auto save = [&](std::optional<std::string> path) { saved.push_back(path); };
  w.view().files({false, true}, choose);
  w.view().files({true, false}, choose);
  w.view().download("a.bin", save);
  w.view().download("b.bin", save);
  EXPECT_EQ(w.take(), (Strings{"choose Wybierz nagranie sesji|Wybierz|many|",
                               "choose Wybierz nagranie sesji|Wybierz|dirs|",
                               "choose Zapisz plik|Zapisz|save a.bin"}));
  w.fake.choosers[0](Strings{"/a", "/b"});
  w.fake.choosers[1](std::nullopt);
  w.fake.choosers[2](Strings{"/x/a.bin"});
  EXPECT_EQ(w.take(), Strings{"choose Zapisz plik|Zapisz|save b.bin"}) << "the next one asks now";
  w.fake.choosers[3](std::nullopt);
  EXPECT_EQ(chosen, (std::vector<platform::FileList>{Strings{"/a", "/b"}, std::nullopt}));
  EXPECT_EQ(saved, (std::vector<std::optional<std::string>>{"/x/a.bin", std::nullopt}));
  EXPECT_TRUE(w.view().policy(platform::Address{"http", "127.0.0.1"}));
  EXPECT_FALSE(w.view().policy(platform::Address{"https", "example.com"}));
}

TEST(Backend, ABrokenRootOrAFailedStartIsShownAndTheBestUvRunsThroughALoginShell) {
  World w;
  writeFile(w.dir / "plain-file", "");
  w.launch(200);
  w.take();
  for (const std::string name : {"", "/missing", "/plain-file"}) {
    writeFile(w.locations.approotFile, "  " + (name.empty() ? "" : w.dir.path() + name) + "\n");
    w.delegate.startBackend();
    EXPECT_EQ(w.take(), Strings{"alert Nieprawidłowa konfiguracja Halvaren Tessary|Plik " + kData +
                                "/approot wskazuje katalog, który nie istnieje:\n" +
                                (name.empty() ? "" : "~" + name) +
                                "\n\nUruchom ponownie ./install.sh z katalogu paczki Halvaren "
                                "Tessary."});
  }
  w.installCode();
  w.fake.spawnError = "No such file";
  w.delegate.startBackend();
  EXPECT_EQ(w.take(), (Strings{backend(),
                               "alert Nie udało się uruchomić backendu|Błąd: No such "
                               "file\n\nSprawdź, czy `~/home/.local/bin/uv` istnieje "
                               "(instaluje go ./install.sh)."}));
  EXPECT_EQ(std::make_pair(bool(w.delegate.backend), w.fake.activeTimers()), std::pair(false, 0));
  writeFile(w.locations.shellLogFile, "old output");
  for (const std::string uv : {"~/home/.local/bin/uv", "~/res/bin/uv"}) {  // the shipped one wins
    writeFile(w.dir.path() + uv.substr(1), "");
    w.delegate.startBackend();
    EXPECT_EQ(w.take(), Strings{backend(uv)});
  }
  EXPECT_EQ(readFile(w.locations.shellLogFile), "") << "emptied at every start";
  EXPECT_EQ(w.fake.activeTimers(), 1) << "one poll timer, however often started";
}

TEST(Polling, ProbesOneAtATimeUntilAnAnswerAndNeitherTheAlertNorALateAnswerWaitsForAProbe) {
  World w;
  w.installCode();
  w.launch(std::nullopt);
  w.take();
  for (int tick = 0; tick < 6; ++tick) {
    w.fake.advance(0.5);
    w.fake.answer(503);
  }
  w.fake.advance(0.5);
  w.fake.answer(200);
  w.fake.advance(5);
  Strings polled(7, kPoll);
  polled.push_back(kLoad);
  EXPECT_EQ(w.take(), polled);
  EXPECT_EQ(w.fake.activeTimers(), 0);

  World s;
  s.installCode();
  s.launch(std::nullopt);
  s.take();
  s.fake.advance(60.0);  // the first poll goes out at 0.5 s and stays out
  EXPECT_EQ(s.take(), Strings{kPoll});
  s.fake.advance(0.5);
  EXPECT_EQ(s.take(), Strings{"alert Backend nie wystartował|Panel nie odpowiedział na "
                              "http://127.0.0.1:8477 w ciągu 60 sekund.\n\nZajrzyj do logu:\n" +
                              kData +
                              "/native-shell.log\n\nalbo uruchom ręcznie w Terminalu: uv run "
                              "tessary serve"});
  s.fake.advance(30);
  s.fake.answer(204);
  EXPECT_EQ(s.take(), Strings{kLoad}) << "the server runs on; a late answer still loads";
}

TEST(Shutdown, StopsOnlyARunningBackendPolitelyThenByForce) {
  const struct {
    bool owned, running;
    std::optional<double> stopsAfter;
    Strings stop;
    double waited;
  } cases[] = {{false, true, 0.0, {}, 0},
               {true, false, 0.0, {}, 0},
               {true, true, 1.0, {"terminate"}, 1.0},
               {true, true, std::nullopt, {"terminate", "kill"}, 3.0}};
  for (const auto& c : cases) {
    World w;
    if (c.owned) w.installCode();
    w.launch(c.owned ? std::nullopt : std::optional(200));
    w.take();
    if (c.owned) w.fake.children.back()->running = c.running;
    if (c.owned) w.fake.children.back()->stopsAfter = c.stopsAfter;
    const double start = w.fake.clock;
    w.delegate.applicationWillTerminate();
    EXPECT_EQ(w.take(), c.stop);
    EXPECT_NEAR(w.fake.clock - start, c.waited, 0.1 + 1e-9);
    for (double step : w.fake.slept) EXPECT_EQ(step, 0.1);
  }
}

TEST(Recovery, TheEngineIsReloadedTwiceAMinuteAndTheBackendRestartedThriceInFiveMinutes) {
  World w;
  w.installCode();
  w.launch(std::nullopt);
  w.fake.spawns.back().onExit(1);  // before it ever answered: no restart
  w.fake.advance(0.5);
  w.fake.answer(200);
  EXPECT_EQ(w.take(), (kStart + Strings{backend(), kPoll, kLoad}));
  for (int crash = 0; crash < 3; ++crash) w.view().crashed();
  w.fake.advance(61);
  w.view().crashed();
  EXPECT_EQ(w.take(), (Strings{"reload", "reload", "reload"})) << "two, then a minute later";

  writeFile(w.locations.shellLogFile, "the run that died\n");
  for (int restart = 0; restart < 4; ++restart) {
    w.fake.spawns.back().onExit(137);
    w.fake.advance(0.5);
    if (restart < 3) w.fake.answer(200);
  }
  Strings restarts;
  for (int n = 0; n < 3; ++n) restarts = restarts + Strings{backend(), kPoll, kLoad};
  EXPECT_EQ(w.take(), restarts) << "three restarts and no fourth";
  EXPECT_EQ(readFile(w.locations.shellLogFile), "the run that died\n") << "kept at a restart";

  World q;
  q.installCode();
  q.launch(std::nullopt);
  q.fake.advance(0.5);
  q.fake.answer(200);
  q.delegate.applicationWillTerminate();
  q.fake.spawns.back().onExit(143);
  EXPECT_EQ(q.fake.spawns.size(), 1u) << "a backend stopped by the program stays stopped";
}

TEST(Setup, TheShippedCodeIsCopiedAndTheWizardsOutputGoesToTheLogAndThePage) {
  World w;
  w.shipBundle();
  writeFile(w.locations.setupLogFile, "stale log");
  w.launch(std::nullopt);
  w.take();
  const std::string app = w.locations.installedRoot;
  EXPECT_EQ(readFile(app + "/installer/bootstrap.sh"), "echo hi\n");
  for (const char* script : {"/installer/bootstrap.sh", "/install.sh"}) {
    struct stat st {};
    ::stat((app + script).c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0755u) << script;
  }
  EXPECT_EQ(readFile(w.locations.setupLogFile), "");
  w.fake.spawns.back().onOutput("1/3 \"Pobieranie\" C:\\x\n2/3 za");
  w.fake.spawns.back().onOutput("\xC5\x82\xC3\xB3\r\n\xFF bad\nlast");
  EXPECT_EQ(readFile(w.locations.setupLogFile),
            "1/3 \"Pobieranie\" C:\\x\n2/3 za\xC5\x82\xC3\xB3\r\n\xFF bad\nlast");
  w.delegate.applicationWillTerminate();
  EXPECT_EQ(w.take(),
            (Strings{"wrLog(\"1\\/3 \\\"Pobieranie\\\" C:\\\\x\")", "wrLog(\"2\\/3 załó\\r\")"}))
      << "an invalid line is left out, and quitting leaves the wizard alone";
}

TEST(Setup, TheWizardsEndingIsShownAndOnlySuccessStartsTheBackend1_4SecondsLater) {
  const std::string log = "~\\/data\\/HalvarenTessary\\/setup.log";
  const Strings endings[] = {
      {"wrDone()", "1.39 s", backend(), "1.4 s"},
      {"wrFail(\"Zajrzyj do dziennika: " + log +
           ". Możesz też uruchomić kreator ponownie (zamknij i otwórz aplikację) albo użyć "
           ".\\/install.sh z paczki.\")",
       "1.39 s", "1.4 s"},
      {"wrFail(\"Kreator zakończył się bez zapisania pliku ~\\/data\\/HalvarenTessary\\/approot. "
       "Zajrzyj do dziennika: " +
           log + ".\")",
       "1.39 s", "1.4 s"},
      {"wrFail(\"Nie udało się uruchomić kreatora: Failed to change to directory “\\/x”\")",
       "1.39 s", "1.4 s"}};
  for (int road = 0; road < 4; ++road) {
    World w;
    w.shipBundle();
    if (road == 3) w.fake.spawnError = "Failed to change to directory “/x”";
    w.launch(std::nullopt);
    Strings seen = w.take();  // the interface, the setup page, the wizard and what followed
    EXPECT_EQ(seen.at(5), kWizard);
    seen.erase(seen.begin(), seen.begin() + 6);
    if (road == 0) w.installCode();  // what a wizard leaves behind
    if (road < 3) w.fake.spawns.back().onExit(road == 1 ? 2 : 0);
    w.fake.advance(1.39);
    w.fake.log("1.39 s");
    w.fake.advance(0.01);
    w.fake.log("1.4 s");
    if (road > 0) w.fake.advance(60);
    for (auto& line : w.take()) seen.push_back(line);
    EXPECT_EQ(seen, endings[road]);
  }
}

}  // namespace
}  // namespace tessary
