// The launch sequence, the window's lifecycle and the menus, on the fake platform.
#include "logic/delegate_fixture.h"

namespace tessary {
namespace {

using testing::DelegateTest;
using testing::writeFile;

TEST_F(DelegateTest, StartsWithNothingBuiltAndNothingOnDisk) {
  auto& d = delegate();
  EXPECT_FALSE(d.window || d.webView || d.statusItem || d.backend || d.setupProc || d.pollTimer);
  EXPECT_EQ(d.pollDeadline, std::numeric_limits<double>::infinity());
  EXPECT_FALSE(d.pollInFlight);
  EXPECT_FALSE(d.panelLoaded);
  EXPECT_FALSE(std::filesystem::exists(dir / "data"));
}

TEST_F(DelegateTest, LaunchBuildsTheInterfaceThenProbesOnceForOneSecond) {
  delegate().applicationDidFinishLaunching();
  ASSERT_NE(desktop.window, nullptr);
  const auto& spec = desktop.window->spec;
  EXPECT_EQ(spec.title, "Halvaren Tessary");
  EXPECT_EQ(std::tie(spec.width, spec.height, spec.minWidth, spec.minHeight),
            std::make_tuple(1280, 840, 900, 600));
  EXPECT_DOUBLE_EQ(spec.background.red, 0.9803921568627451);
  EXPECT_DOUBLE_EQ(spec.background.blue, 0.9686274509803922);
  EXPECT_EQ(desktop.menus.size(), 3u);
  EXPECT_TRUE(desktop.statusSpec);
  EXPECT_EQ(desktop.window->presents, 1);
  ASSERT_EQ(system.probes.size(), 1u);
  EXPECT_EQ(system.probes[0].url, "http://127.0.0.1:8477/");
  EXPECT_EQ(system.probes[0].timeout, 1.0);
  EXPECT_TRUE(view().loads.empty()) << "nothing loads before the answer";
}

TEST_F(DelegateTest, AnAnsweringPanelIsLoadedAndNothingElseHappens) {
  installCode();
  launch(404);
  EXPECT_EQ(view().loads, std::vector<std::string>{"http://127.0.0.1:8477/"});
  EXPECT_TRUE(delegate().panelLoaded);
  EXPECT_TRUE(system.spawns.empty());
  EXPECT_FALSE(delegate().backend);
  delegate().loadPanel();
  EXPECT_EQ(view().loads.size(), 1u) << "a second loadPanel sends no second request";
}

TEST_F(DelegateTest, NoPanelAndInstalledCodeStartsTheBackend) {
  installCode();
  launch(500);
  ASSERT_EQ(system.spawns.size(), 1u);
  EXPECT_EQ(lastSpawn().spec.argv[0], "/bin/bash");
  EXPECT_TRUE(view().loads.empty());
}

TEST_F(DelegateTest, NoPanelAndNoCodeRunsSetup) {
  shipBundle();
  launch(std::nullopt);
  ASSERT_EQ(view().loads.size(), 1u);
  EXPECT_EQ(view().loads[0], "file:" + *locations.bundledSetupHTML + " root:" + dir / "res");
  system.runPending();
  ASSERT_EQ(system.spawns.size(), 1u);
  EXPECT_EQ(lastSpawn().spec.argv[1], locations.installedRoot + "/installer/bootstrap.sh");
}

TEST_F(DelegateTest, CodeWithoutItsCommandCountsAsNoCode) {
  writeFile(locations.approotFile, dir / "nowhere");
  launch(std::nullopt);
  ASSERT_EQ(desktop.alerts.size(), 1u);
  EXPECT_EQ(desktop.alerts[0].title, "Brak dołączonego kodu") << "setup road, no bundle";
  EXPECT_TRUE(system.spawns.empty());
}

TEST_F(DelegateTest, ClosingHidesAndReopeningShowsTheSameWindow) {
  launch(200);
  auto* window = desktop.window;
  EXPECT_FALSE(window->shouldClose());
  EXPECT_FALSE(window->visible);
  EXPECT_TRUE(delegate().applicationShouldHandleReopen(false));
  EXPECT_TRUE(window->visible);
  int presents = window->presents;
  EXPECT_TRUE(delegate().applicationShouldHandleReopen(true));
  EXPECT_EQ(window->presents, presents) << "a visible window is left alone";
  EXPECT_FALSE(delegate().applicationShouldTerminateAfterLastWindowClosed());
  EXPECT_EQ(view().loads.size(), 1u) << "the page is never reloaded";
}

TEST_F(DelegateTest, StatusMenuHasItsThreeEntriesAndWorksAtAnyTime) {
  delegate().applicationDidFinishLaunching();
  const auto& entries = desktop.statusSpec->entries;
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].label, "Otwórz Tessary");
  EXPECT_EQ(entries[1].label, "Panel w przeglądarce");
  EXPECT_EQ(entries[2].label, "");
  EXPECT_EQ(entries[3].label, "Zakończ");
  for (const auto& e : entries) EXPECT_EQ(e.accelerator, "");
  EXPECT_EQ(desktop.statusSpec->title, "Halvaren Tessary");

  desktop.window->hide();
  entries[0].action();
  EXPECT_TRUE(desktop.window->visible);
  entries[1].action();
  EXPECT_EQ(desktop.browserOpens, std::vector<std::string>{"http://127.0.0.1:8477/"});
  entries[3].action();
  EXPECT_EQ(desktop.quits, 1);
}

TEST_F(DelegateTest, MenuBarHasThePolishTitlesShortcutsAndActions) {
  delegate().applicationDidFinishLaunching();
  std::vector<std::string> rows;
  for (const auto& menu : desktop.menus) {
    for (const auto& e : menu.entries)
      rows.push_back(menu.title + "|" + e.label + "|" + e.accelerator);
  }
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "Halvaren Tessary|O aplikacji Halvaren Tessary|",
                      "Halvaren Tessary||",
                      "Halvaren Tessary|Schowaj Halvaren Tessary|<Control>h",
                      "Halvaren Tessary||",
                      "Halvaren Tessary|Zakończ Halvaren Tessary|<Control>q",
                      "Edycja|Cofnij|<Control>z",
                      "Edycja|Ponów|<Shift><Control>z",
                      "Edycja||",
                      "Edycja|Wytnij|<Control>x",
                      "Edycja|Kopiuj|<Control>c",
                      "Edycja|Wklej|<Control>v",
                      "Edycja|Zaznacz wszystko|<Control>a",
                      "Okno|Minimalizuj|<Control>m",
                      "Okno|Zamknij|<Control>w",
                  }));
  auto& app = desktop.menus[0].entries;
  auto& edit = desktop.menus[1].entries;
  auto& win = desktop.menus[2].entries;
  app[0].action();
  EXPECT_EQ(desktop.abouts, 1);
  app[2].action();
  EXPECT_FALSE(desktop.window->visible);
  desktop.window->present();
  win[1].action();
  EXPECT_FALSE(desktop.window->visible) << "Zamknij hides like the close button";
  win[0].action();
  EXPECT_EQ(desktop.window->minimizes, 1);
  for (size_t i : {0, 1, 3, 4, 5, 6}) edit[i].action();
  using platform::EditCommand;
  EXPECT_EQ(view().edits, (std::vector<EditCommand>{EditCommand::Undo, EditCommand::Redo,
                                                    EditCommand::Cut, EditCommand::Copy,
                                                    EditCommand::Paste, EditCommand::SelectAll}));
  app[4].action();
  EXPECT_EQ(desktop.quits, 1);
}

TEST_F(DelegateTest, FileInputsOpenANewChooserPerRequestAndPassTheAnswerOn) {
  delegate().applicationDidFinishLaunching();
  std::vector<platform::FileList> answers;
  view().fileRequests({false, true}, [&](platform::FileList f) { answers.push_back(f); });
  view().fileRequests({true, false}, [&](platform::FileList f) { answers.push_back(f); });
  ASSERT_EQ(desktop.choosers.size(), 2u);
  EXPECT_EQ(desktop.choosers[0].title, "Wybierz nagranie sesji");
  EXPECT_EQ(desktop.choosers[0].acceptLabel, "Wybierz");
  EXPECT_TRUE(desktop.choosers[0].multiple);
  EXPECT_FALSE(desktop.choosers[0].chooseDirectories);
  EXPECT_TRUE(desktop.choosers[1].chooseDirectories);
  desktop.chooserCompletions[0](std::vector<std::string>{"/a", "/b"});
  desktop.chooserCompletions[1](std::nullopt);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0], (std::vector<std::string>{"/a", "/b"}));
  EXPECT_FALSE(answers[1]);
}

TEST_F(DelegateTest, TheWebViewAsksTheNavigationRule) {
  delegate().applicationDidFinishLaunching();
  EXPECT_TRUE(view().policy(platform::Address{"http", "127.0.0.1"}));
  EXPECT_FALSE(view().policy(platform::Address{"https", "example.com"}));
  EXPECT_FALSE(view().policy(std::nullopt));
}

}  // namespace
}  // namespace tessary
