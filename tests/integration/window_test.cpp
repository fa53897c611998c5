// The built program on the private desktop: its window, the launch probe's roads, single
// instance, and the run without a display.
#include <signal.h>

#include <filesystem>

#include "support/integration_fixture.h"

namespace tessary {
namespace {

using testing::HttpResponse;
using testing::HttpServer;
using testing::kPanelPort;
using testing::Program;

constexpr char kTitle[] = "Halvaren Tessary";

// A panel whose page reports its load with a beacon; "/" answers with rootStatus.
HttpServer::Handler panel(int rootStatus = 200) {
  return [rootStatus](const testing::HttpRequest& r) {
    if (r.path == "/") return HttpResponse{rootStatus, testing::beaconPage("Panel")};
    return HttpResponse{204};
  };
}

size_t engineRequests(const HttpServer& server) {
  size_t n = 0;
  for (const auto& r : server.requests()) {
    n += r.path == "/" && r.headers.find("AppleWebKit") != std::string::npos;
  }
  return n;
}

using Window = testing::IntegrationTest;

TEST_F(Window, ShowsAPanelThatIsAlreadyRunningEvenOn404) {
  HttpServer server("127.0.0.1", kPanelPort, panel(404));
  ASSERT_TRUE(server.listening());
  Program program(home);
  ASSERT_FALSE(testing::waitForWindow(kTitle, 15).empty()) << program.output();
  ASSERT_TRUE(server.waitFor("/beacon", 15)) << program.output();
  EXPECT_EQ(engineRequests(server), 1u) << "the web engine itself loaded the panel";
  EXPECT_FALSE(std::filesystem::exists(home.appSupport())) << "no installation looked at";
  program.signal(SIGTERM);
  EXPECT_EQ(program.waitExit(10), 0);
  EXPECT_TRUE(server.listening()) << "a server started by hand is left running";
}

TEST_F(Window, IsPaintedInThePaperColourBeforeAnyPage) {
  HttpServer silent("127.0.0.1", kPanelPort, [](const auto&) {
    HttpResponse r;
    r.neverAnswer = true;
    return r;
  });
  Program program(home, {}, testing::programWithoutResources(home));
  std::string id = testing::waitForWindow(kTitle, 15);
  ASSERT_FALSE(id.empty()) << program.output();
  auto g = testing::windowGeometry(id);
  EXPECT_EQ(g.width, 1280);
  // The launch probe waits a second on the silent listener: the page is still empty.
  for (auto [fx, fy] : {std::pair{0.5, 0.5}, {0.05, 0.9}, {0.95, 0.1}, {0.95, 0.95}}) {
    int x = g.x + static_cast<int>(g.width * fx), y = g.y + static_cast<int>(g.height * fy);
    EXPECT_EQ(testing::pixelAt(x, y), "250,250,247") << "at " << x << "," << y;
  }
}

TEST_F(Window, AServerAnsweringAfterTheLaunchProbeIsNotTakenAsRunning) {
  HttpServer slow("127.0.0.1", kPanelPort, [](const auto&) {
    HttpResponse r{200};
    r.delay = 1.5;
    return r;
  });
  Program program(home, {}, testing::programWithoutResources(home));
  // Not running, no installation, no shipped code: the setup road's alert.
  EXPECT_FALSE(testing::waitForWindow("Brak dołączonego kodu", 15).empty()) << program.output();
  EXPECT_EQ(slow.count("/"), 1u);
  // A logout does not wait for anyone to press "OK".
  program.signal(SIGTERM);
  EXPECT_EQ(program.waitExit(5), 0);
}

TEST_F(Window, ClosingHidesAndStartingAgainShowsTheSameWindow) {
  HttpServer server("127.0.0.1", kPanelPort, panel());
  Program first(home);
  std::string id = testing::waitForWindow(kTitle, 15);
  ASSERT_FALSE(id.empty());
  ASSERT_TRUE(server.waitFor("/beacon", 15));
  const auto windowsBefore = testing::findWindows(kTitle, false);

  testing::sendCloseRequest(id);
  EXPECT_TRUE(testing::eventually(5, [&] { return testing::findWindows(kTitle, true).empty(); }));
  EXPECT_TRUE(first.running()) << "closing only hides";

  Program second(home);
  EXPECT_EQ(second.waitExit(15), 0) << second.output();
  EXPECT_EQ(testing::waitForWindow(kTitle, 5), id);
  EXPECT_EQ(testing::findWindows(kTitle, false), windowsBefore) << "no second window";
  EXPECT_EQ(engineRequests(server), 1u) << "the page was not reloaded";
  EXPECT_EQ(server.count("/beacon?Panel"), 1u);
  first.signal(SIGTERM);
  EXPECT_EQ(first.waitExit(10), 0);
}

TEST_F(Window, WithoutADisplayTheProgramSaysHowToRunIt) {
  Program program(home, {{"DISPLAY", ""}});
  EXPECT_EQ(program.waitExit(10), 1);
  const std::string output = program.output();
  EXPECT_NE(output.find("no graphical display"), std::string::npos) << output;
  EXPECT_NE(output.find("xvfb-run"), std::string::npos) << output;
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
}

}  // namespace
}  // namespace tessary
