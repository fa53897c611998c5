// The delegate, and the objects it is composed of, on the fake platform, each scenario checked
// against its whole transcript: what only a manual clock or the inside can show of the launch,
// menus, polling, restarts, downloads, drops and setup.
#include <algorithm>
#include <fstream>
#include <set>

#include "logic/fake_platform.h"

#include "backend/backend_supervisor.h"
#include "ui/downloads.h"
#include "ui/page_policy.h"

#include "platform/webkit/address.h"
#include "setup/js_string.h"
#include "setup/setup_texts.h"

namespace tessary {
namespace {

using namespace testing;
const std::string kLoad = "load http://127.0.0.1:8477/", kPoll = "probe http://127.0.0.1:8477/ 0.5",
                  kData = "~/data/HalvarenTessary";
const Strings kStart = {"window Halvaren Tessary 1280x840 min 900x600 #fafaf7",
                        "status halvaren-tessary-symbolic Halvaren Tessary", "present",
                        "probe http://127.0.0.1:8477/ 1"};
const std::string kBackend =
    "spawn /bin/bash -lc cd '~/code' && exec 'uv' run tessary serve | in ~/code | session | "
    "guarded | pipe";
const std::string kWizard = "spawn /bin/bash " + kData + "/app/installer/bootstrap.sh " + kData +
                            "/app ~/res/bin | in " + kData + "/app | kept, into " + kData +
                            "/setup.log | locked";
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
      {500, Installed, true, true, true, {kBackend}},
      {{}, None, true, true, true, {"load ~/res/setup.html in ~/res", kWizard}},
      {{}, None, true, false, true, {kWizard}},
      {{}, WithoutCommand, false, false, true, {kNoCode}},
      {{}, None, false, false, false, {kNoCode}},
  };
  World other;  // a listener of another user's on the panel's port is never asked, and no panel
  other.installCode();
  other.fake.listeners = {1000, 0};
  other.delegate.applicationDidFinishLaunching();
  other.fake.runPending();
  EXPECT_EQ(other.take(), (Strings{kStart[0], kStart[1], kStart[2], kBackend}));
  for (const auto& c : cases) {
    World w(c.resources);
    if (c.code == Installed) w.installCode();
    if (c.code == WithoutCommand) writeFile(w.locations.approotFile, w.dir / "nowhere");
    if (c.bundle) w.shipBundle(c.page);
    w.delegate.applicationDidFinishLaunching();
    EXPECT_EQ(w.take(), kStart) << "nothing loads before the answer";
    w.fake.answer(c.status);
    EXPECT_EQ(w.take(), c.road);
  }
}

// The menus as a keyboard user meets them: each title and entry chosen by a letter of its
// label, none twice in a menu; no shortcut twice; none in the status menu. And what each does,
// on a screen too small for the window's wish (GDK_SCALE=2 on 1920x1080).
TEST(Window, EveryMenuEntryHasItsOwnKeysAndDoesItsOwnThing) {
  World w;
  w.fake.area = platform::Size{960, 540};
  w.launch(200);
  EXPECT_EQ(w.take().at(0), "window Halvaren Tessary 944x492 min 900x492 #fafaf7");
  auto lower = [](char c) { return static_cast<char>(std::tolower(c)); };
  auto hasOwnLetter = [&](const std::string& label, char letter, std::set<char>& taken) {
    return letter && label.find(letter) != std::string::npos && taken.insert(lower(letter)).second;
  };
  std::set<char> titles;
  std::set<std::pair<char, unsigned>> shortcuts;
  std::string effects;  // "label=what it did;" for each entry
  auto effect = [&](const platform::MenuEntry& e) {
    e.action();
    std::string did;
    for (const auto& line : w.take()) did += (did.empty() ? "" : ",") + line;
    effects += e.label + (e.shortcut.beforePage ? "(before the page)=" : "=") + did + ";";
  };
  for (const auto& menu : w.fake.menus) {
    EXPECT_TRUE(hasOwnLetter(menu.title, menu.mnemonic, titles)) << menu.title;
    std::set<char> letters;
    for (const auto& e : menu.entries) {
      if (e.label.empty()) continue;
      EXPECT_TRUE(hasOwnLetter(e.label, e.mnemonic, letters)) << e.label;
      EXPECT_TRUE(!e.shortcut.key ||
                  shortcuts.insert({e.shortcut.key, e.shortcut.modifiers}).second);
      effect(e);
    }
  }
  for (const auto& e : w.fake.status.entries) {
    EXPECT_EQ(e.shortcut.key, 0) << e.label;
    if (e.action) effect(e);
  }
  EXPECT_EQ(
      effects,
      "O aplikacji Halvaren Tessary=about;Schowaj Halvaren Tessary=hide;Zakończ Halvaren "
      "Tessary(before the page)=ask to leave,quit;Cofnij=edit 0;Ponów=edit 1;Wytnij=edit 2;"
      "Kopiuj=edit 3;Wklej=edit 4;Zaznacz wszystko=edit 5;Minimalizuj=minimize;Zamknij(before "
      "the page)=hide;Otwórz Tessary=present;Panel w przeglądarce=browser "
      "http://127.0.0.1:8477/;Zakończ=ask to leave,quit;");
  // A page holding unsaved work asks first, in the window shown; the user may stay.
  w.view().answer = platform::LeaveAnswer::Asking;
  w.fake.status.entries.back().action();
  EXPECT_EQ(w.take(), (Strings{"ask to leave", "present"}));
}

// Downloads ask one at a time; one that does not arrive whole, or still runs when they end,
// leaves nothing. A drop the page does not take is not followed by the engine's navigation to
// it, and only one from another program hands the page its files.
TEST(Page, DownloadsAskInTurnLeaveNothingPartialAndADropIsNotFollowed) {
  TempDir saved;
  Fake fake;
  fake.log.dir = saved.path();
  auto window = fake.createWindow({});
  auto downloads = std::make_unique<Downloads>(fake);
  downloads->attach(window->webView());
  std::shared_ptr<FakeDownload> d[3];
  for (int i = 0; i < 3; ++i)
    fake.window->saveAs(std::to_string(i) + ".bin",
                        d[i] = std::make_shared<FakeDownload>(fake.log, std::to_string(i)));
  for (auto answer : {platform::FileList(Strings{saved / "0"}), platform::FileList(),
                      platform::FileList(Strings{saved / "2"})})
    fake.choosers.at(fake.choosers.size() - 1)(answer);
  EXPECT_EQ(fake.log.take(), (Strings{"window  0x0 min 0x0 #000000", "choose Zapisz plik 0.bin",
                                      "0 to ~/0", "choose Zapisz plik 1.bin", "1 cancelled",
                                      "choose Zapisz plik 2.bin", "2 to ~/2"}));
  for (const char* name : {"0", "2", "kept"}) writeFile(saved / name, "part");
  d[0]->ended(false);
  downloads.reset();
  EXPECT_EQ(fake.log.take(), Strings{"2 cancelled"}) << "the one still written when they end";
  EXPECT_EQ(std::filesystem::exists(saved / "0") + std::filesystem::exists(saved / "2"), 0);
  EXPECT_EQ(readFile(saved / "kept"), "part");

  PagePolicy page(fake, fake);
  page.attach(window->webView());
  for (bool fromOtherProgram : {false, true})
    fake.window->dropped(
        {{"file:///dropped.txt", "https://example.com/"}, {"/dropped.txt"}, fromOtherProgram});
  EXPECT_EQ(fake.log.take(), Strings{"hand /dropped.txt"});
  EXPECT_FALSE(fake.window->allow(platform::addressOf("file:///dropped.txt")));
  fake.advance(2.1);
  EXPECT_TRUE(fake.window->allow(platform::addressOf("file:///dropped.txt")));
}

// The poll asks one probe at a time; the deadline alert comes on time all the same, and a late
// answer still shows the panel.
TEST(Supervision, PollsOneProbeAtATimeAndNeitherTheAlertNorALateAnswerWaitsForAProbe) {
  TempDir dir;
  Fake fake;
  fake.log.dir = dir.path();
  const Locations l = computeLocations(dir / "data", std::nullopt);
  writeFile(dir / "code/.venv/bin/tessary", "");
  writeFile(l.approotFile, dir / "code\n");
  BackendSupervisor backend(
      fake, l,
      {[&] { fake.log("panel answers"); }, [&] { fake.log("setup"); },
       [&] { fake.log("restarting"); },
       [&](const std::string& title, const std::string&) { fake.log("alert " + title); }});
  backend.startBackend();
  EXPECT_EQ(fake.log.take(), Strings{kBackend});
  fake.advance(60.0);  // the first poll goes out at 0.5 s and stays out
  EXPECT_EQ(fake.log.take(), Strings{kPoll});
  fake.advance(0.5);
  EXPECT_EQ(fake.log.take(), Strings{"alert Backend nie wystartował"});
  fake.advance(30);
  fake.answer(204);
  EXPECT_EQ(fake.log.take(), Strings{"panel answers"})
      << "the server runs on; a late answer counts";
  fake.advance(5);
  EXPECT_EQ(fake.log.take(), Strings{}) << "no poll after the answer";
  backend.stopBackendIfOwned();
  EXPECT_EQ(fake.log.take(), Strings{"terminate"});
}

// Past its limit each recovery stops and says so once; the window brought back tries again.
TEST(Recovery, TheEngineIsReloadedTwiceAMinuteTheBackendRestartedThriceInFiveMinutesThenAsked) {
  World w;
  w.installCode();
  w.launch(std::nullopt);
  w.fake.spawns.back().onExit(1);
  w.fake.advance(0.5);
  w.fake.answer(200);
  EXPECT_EQ(w.fake.spawns.size(), 1u) << "before it ever answered: no restart";
  w.take();
  const std::string tryAgain =
      "\n\nAby spróbować jeszcze raz, wybierz „Otwórz Tessary” w menu "
      "ikony albo uruchom aplikację ponownie.";
  const std::string pageGaveUp =
      "alert Strona przestała działać|Proces wyświetlający stronę zakończył się trzy razy w "
      "ciągu minuty, więc strona nie jest już wczytywana ponownie." +
      tryAgain;
  for (int crash = 0; crash < 4; ++crash) w.view().crashed();
  w.delegate.showWindowAction();
  for (int crash = 0; crash < 3; ++crash) w.view().crashed();
  EXPECT_EQ(w.take(), (Strings{"reload", "reload", pageGaveUp, "present", "reload", "reload",
                               "reload", pageGaveUp}));

  // The try again asks first: a panel started by hand meanwhile is shown, and no backend beside it.
  Strings expected;
  for (std::optional<int> byHand : {std::optional<int>(), std::optional<int>(200)}) {
    for (int death = 0; death < 4; ++death) {
      w.fake.spawns.back().onExit(137);
      w.fake.advance(0.5);
      if (death < 3) w.fake.answer(200), expected.insert(expected.end(), {kBackend, kPoll, kLoad});
    }
    expected.push_back(
        "alert Backend przestał działać|Backend zakończył działanie cztery razy w "
        "ciągu pięciu minut, więc nie jest już uruchamiany ponownie.\n\nZajrzyj do "
        "logu:\n" +
        kData + "/native-shell.log" + tryAgain);
    if (!byHand) expected.push_back("reload");
    w.delegate.applicationShouldHandleReopen(true);  // a second start
    w.fake.answer(byHand);
    w.fake.advance(0.5);
    if (!byHand) w.fake.answer(200);
    expected.insert(expected.end(), {kStart[3], byHand ? kLoad : kBackend});
    if (!byHand) expected.insert(expected.end(), {kPoll, kLoad});
  }
  EXPECT_EQ(w.take(), expected) << "three restarts, the alert, one more on a second start; again";
}

// The page's calls come from the setup log as the page takes them: one alone as it is, then
// those that came while the page was busy together, never much more than the backlog at once;
// a page loaded again reads the log from its start, and gets the ending after the lines.
TEST(Setup, PageCallsGoTogetherWhileThePageIsBusyAndComeBackFromTheLogAfterAReload) {
  World w;
  w.shipBundle();
  w.launch(std::nullopt);
  w.view().holdScripts = true;
  auto print = [&](const std::string& bytes) {
    std::ofstream(w.locations.setupLogFile, std::ios::app | std::ios::binary) << bytes;
    w.fake.advance(kSetupLogInterval);
  };
  size_t largest = 0;
  auto pageRuns = [&] {  // every script the page is given until it has nothing more to run
    std::string all;
    for (Strings sent; w.fake.advance(kSetupLogInterval),
                       !w.view().scripts.empty() || !(sent = w.take()).empty();) {
      for (const auto& line : sent) all += line + "\n", largest = std::max(largest, line.size());
      EXPECT_LE(w.view().scripts.size(), 1u) << "a script given to a page still running one";
      if (!w.view().scripts.empty()) std::exchange(w.view().scripts, {}).at(0)();
    }
    return all;
  };
  w.take();
  const std::string line(99, 'x');
  std::string flood;
  for (int i = 0; i < 11000; ++i) flood += line + "\n";
  print("one\ntw");
  print("o\nthree\n");
  print(flood);
  w.fake.spawns.back().onExit(3);
  std::string first = pageRuns(), again = (w.view().crashed(), pageRuns());
  for (const std::string& sent : {first, again}) {
    const size_t at[] = {sent.find("\"one\""), sent.find("\"two\",\"three\""), sent.find(line),
                         sent.rfind(line), sent.find("wrFail(")};
    EXPECT_TRUE(std::is_sorted(std::begin(at), std::end(at)) && at[4] != std::string::npos);
    size_t lines = 0;
    for (size_t i = 0; (i = sent.find(line, i)) != std::string::npos; i += line.size()) ++lines;
    EXPECT_EQ(lines, 11000u);
  }
  EXPECT_EQ(first.substr(0, 13), "wrLog(\"one\")\n") << "one call alone, as is";
  EXPECT_LT(largest, kSetupPageBacklog + (128 << 10)) << "the log read on while the page was busy";
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
    bool backendFails;
    Strings then;
  } rows[] = {{"code", false, {"wrDone()", wait, kBackend, now}},
              {"code", true, {"wrDone()", wait, kBackend, notStarted, now}},
              {"missing", false, {"wrDone()", wait, badRoot, now}}};
  for (const auto& row : rows) {
    World w;
    w.shipBundle();
    w.launch(std::nullopt);
    Strings seen = w.take();  // the interface, the setup page, the wizard and what followed
    EXPECT_EQ(seen.at(5), kWizard);
    seen.erase(seen.begin(), seen.begin() + 6);
    if (row.root == "code") w.installCode();
    if (row.root == "missing") writeFile(w.locations.approotFile, "  " + w.dir / "missing\n");
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

// A setup run whose lock is held elsewhere (another session, an older version, a keeper killed,
// some other program) is followed from its log's start to its end as recorded; then this
// version installs its own where that run did not; a wait that lasts is told in the page.
TEST(Setup, ARunHeldElsewhereIsFollowedToItsRecordedEndThenThisVersionsOwnRunIfNeeded) {
  enum Held { ByRun, ByOther };
  const struct {
    Held held;
    double wait;
    std::string ran, recorded;  // the stamp the run installed, the end its keeper wrote
    Strings then;
  } rows[] = {
      {ByRun,
       7200,
       "new",
       "0\n",
       {"wrLog(\"one\")", "wrLog(\"two\")", "long", "wrDone()", kBackend}},
      {ByRun, 9, "new", "", {"wrLog(\"one\")", "wrLog(\"two\")", "failed"}},
      {ByRun,
       9,
       "old",
       "0\n",
       {"wrLog(\"one\")", "wrLog(\"two\")", "load ~/res/setup.html in ~/res", kWizard}},
      {ByOther, 10, "", "", {"locked", "load ~/res/setup.html in ~/res", kWizard}},
  };
  for (const auto& row : rows) {
    World w;
    w.shipBundle();
    writeFile(*w.locations.bundledStamp, "new\n");
    const auto& l = w.locations;
    writeFile(l.setupLogFile, "one\n");
    // An earlier run's record; a folder where none may be.
    writeFile(row.held == ByRun ? l.wizardStatusFile : l.wizardStatusFile + "/x",
              "running " + *platform::fileIdentity(l.setupLogFile) + "\n");
    auto held = std::make_optional<platform::FolderLock>(l.appSupportDir);
    w.launch(std::nullopt);
    std::ofstream(l.setupLogFile, std::ios::app) << "two\n";
    w.fake.advance(row.wait);
    if (!row.ran.empty()) writeFile(l.installedStampFile + ".pending", row.ran + "\n");
    if (!row.recorded.empty()) writeFile(l.wizardStatusFile, row.recorded), w.installCode();
    held.reset();
    w.fake.advance(2);
    Strings seen = w.take();
    seen.erase(seen.begin(), seen.begin() + 5);  // the interface and the setup page
    for (auto& line : seen) {
      if (line == "wrLog(" + jsString(wizardTakesTooLong(l.setupLogFile)) + ")") line = "long";
      if (line == "wrLog(" + jsString(dataFolderLocked(l.appSupportDir)) + ")") line = "locked";
      if (line == failCall(wizardFailure(l.setupLogFile))) line = "failed";
    }
    EXPECT_EQ(seen, row.then);
    EXPECT_EQ(readFile(l.installedStampFile),
              row.ran == "new" && row.recorded == "0\n" ? "new\n" : "");
  }
}

}  // namespace
}  // namespace tessary
