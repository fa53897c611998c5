// The status-area item, driven over D-Bus through its own menu protocol, as a desktop's
// status area does.
#include <signal.h>

#include <filesystem>

#include "support/integration_fixture.h"
#include "support/status_watcher.h"

namespace tessary {
namespace {

using testing::HttpRequest;
using testing::HttpResponse;
using testing::HttpServer;
using testing::kPanelPort;
using testing::Program;

constexpr char kTitle[] = "Halvaren Tessary";

class StatusMenu : public testing::IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();  // the private bus first
    watcher = std::make_unique<testing::StatusWatcher>();
    ASSERT_TRUE(watcher->owned());
    installFakeBrowser();
  }

  // A default browser for http in the user's XDG folders that notes what it was given.
  void installFakeBrowser() {
    const std::string script = home.path() + "/fake-browser.sh";
    testing::writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$HOME/browser-opened\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    testing::writeFile(home.dataHome() + "/applications/fake-browser.desktop",
                       "[Desktop Entry]\nType=Application\nName=Fake Browser\nExec=" + script +
                           " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n");
    testing::writeFile(home.path() + "/.config/mimeapps.list",
                       "[Default Applications]\nx-scheme-handler/http=fake-browser.desktop\n"
                       "x-scheme-handler/https=fake-browser.desktop\n");
  }

  // Starts the program and finds its item and menu as the status area sees them.
  std::unique_ptr<testing::StatusArea> startAndFindItem(Program*& program, const std::string& exe) {
    programs.push_back(std::make_unique<Program>(home, std::map<std::string, std::string>{}, exe));
    program = programs.back().get();
    auto item = watcher->waitForItem(15);
    EXPECT_TRUE(item) << program->output();
    if (!item) return nullptr;
    auto area = std::make_unique<testing::StatusArea>(*item);
    labels.clear();
    for (const auto& e : area->menu()) {
      labels.push_back(e.type == "separator" ? "---" : e.label);
      ids[e.label] = e.id;
      EXPECT_FALSE(e.hasShortcut) << e.label;
    }
    return area;
  }

  void TearDown() override {
    programs.clear();
    watcher.reset();
    IntegrationTest::TearDown();
  }

  std::unique_ptr<testing::StatusWatcher> watcher;
  std::vector<std::unique_ptr<Program>> programs;
  std::vector<std::string> labels;
  std::map<std::string, int> ids;
};

TEST_F(StatusMenu, OffersItsThreeEntriesAndWorksDuringSetupToo) {
  HttpServer panel("127.0.0.1", kPanelPort, [](const HttpRequest& r) {
    return r.path == "/" ? HttpResponse{200, testing::beaconPage("Panel")} : HttpResponse{204};
  });
  Program* program = nullptr;
  auto area = startAndFindItem(program, testing::programPath());
  ASSERT_TRUE(area);
  EXPECT_EQ(labels,
            (std::vector<std::string>{"Otwórz Tessary", "Panel w przeglądarce", "---", "Zakończ"}));
  EXPECT_EQ(area->property("Title"), "Halvaren Tessary");
  EXPECT_EQ(area->property("IconName"), "halvaren-tessary-symbolic");
  EXPECT_TRUE(std::filesystem::exists(area->property("IconThemePath") +
                                      "/hicolor/scalable/apps/halvaren-tessary-symbolic.svg"));

  ASSERT_TRUE(panel.waitFor("/beacon", 15));
  const std::string window = testing::waitForWindow(kTitle, 5);
  testing::sendCloseRequest(window);
  ASSERT_TRUE(testing::eventually(5, [] { return testing::findWindows(kTitle, true).empty(); }));
  area->click(ids["Otwórz Tessary"]);
  EXPECT_EQ(testing::waitForWindow(kTitle, 5), window);
  EXPECT_EQ(panel.count("/beacon?Panel"), 1u) << "shown again without a reload";

  area->click(ids["Panel w przeglądarce"]);
  EXPECT_TRUE(testing::eventually(10, [&] {
    return testing::readFile(home.path() + "/browser-opened") == "http://127.0.0.1:8477/\n";
  })) << testing::readFile(home.path() + "/browser-opened");
}

TEST_F(StatusMenu, QuitStopsTheBackendTheProgramStarted) {
  // Installed code run by the uv stand-in, with the program alone in a prefix of its own.
  testing::installCode(home, home.path() + "/code",
                       "#!/bin/bash\necho $$ > \"$HOME/uv.pid\"\nexec python3 -u " +
                           std::string(TESSARY_TEST_DATA) + "/fake_backend.py\n");
  const std::string exe = testing::programWithoutResources(home);

  Program* program = nullptr;
  auto area = startAndFindItem(program, exe);
  ASSERT_TRUE(area);
  pid_t uv = 0;
  ASSERT_TRUE(testing::eventually(15, [&] {
    uv = std::atoi(testing::readFile(home.path() + "/uv.pid").c_str());
    return uv > 0 && testing::readFile(home.appSupport() + "/native-shell.log").find("/beacon") !=
                         std::string::npos;
  }));
  area->click(ids["Zakończ"]);
  EXPECT_EQ(program->waitExit(10), 0) << program->output();
  EXPECT_FALSE(testing::processAlive(uv));
}

}  // namespace
}  // namespace tessary
