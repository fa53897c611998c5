// The delegate on the fake platform, each scenario checked against the whole transcript of
// what it asked of the desktop and the system: the launch's roads, the menus, the backend's
// start, polling, stop and restarts, and the first-run setup, against a manual clock.
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

TEST(Window, EveryMenuEntryDoesItsOwnThing) {
  World w;
  w.launch(200);
  w.take();
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

// The first-run wizard's failures reach the page in the program runs; here what follows success.
TEST(Setup, AfterTheWizardsSuccessTheBackendStarts1_4SecondsLaterOrSaysWhyNot) {
  const std::string wait = "1.39 s", now = "1.4 s";
  const std::string notStarted =
      "alert Nie udało się uruchomić backendu|Błąd: No such file\n\nSprawdź, czy "
      "`~/home/.local/bin/uv` istnieje (instaluje go ./install.sh).";
  const std::string badRoot = "alert Nieprawidłowa konfiguracja Halvaren Tessary|Plik " + kData +
                              "/approot wskazuje katalog, który nie istnieje:\n~/missing\n\n"
                              "Uruchom ponownie ./install.sh z katalogu paczki Halvaren Tessary.";
  const struct {
    std::string root;  // what the wizard records: "code" has its command
    bool bothUvs, backendFails;
    Strings then;
  } rows[] = {{"code", false, false, {"wrDone()", wait, backend(), now}},
              {"code", true, false, {"wrDone()", wait, backend("~/res/bin/uv"), now}},
              {"code", false, true, {"wrDone()", wait, backend(), notStarted, now}},
              {"missing", false, false, {"wrDone()", wait, badRoot, now}}};
  for (const auto& row : rows) {
    World w;
    w.shipBundle();
    w.launch(std::nullopt);
    Strings seen = w.take();  // the interface, the setup page, the wizard and what followed
    EXPECT_EQ(seen.at(5), kWizard);
    seen.erase(seen.begin(), seen.begin() + 6);
    if (row.root == "code") w.installCode();
    if (row.root == "missing") writeFile(w.locations.approotFile, "  " + w.dir / "missing\n");
    for (const char* uv : {"home/.local/bin/uv", "res/bin/uv"})
      if (row.bothUvs) writeFile(w.dir / uv, "");
    if (row.backendFails) w.fake.spawnError = "No such file";
    w.fake.spawns.back().onExit(0);
    w.fake.advance(1.39);
    w.fake.log(wait);
    w.fake.advance(0.01);
    w.fake.log(now);
    // Where no backend runs, nothing more happens: no poll timer is left behind.
    if (row.root != "code" || row.backendFails) w.fake.advance(60);
    for (auto& line : w.take()) seen.push_back(line);
    EXPECT_EQ(seen, row.then);
  }
}

}  // namespace
}  // namespace tessary
