// Backend supervision with real processes: the login shell, a uv stand-in that runs a real
// loopback server as its child, the log, and every road out of the program.
#include <signal.h>

#include <filesystem>

#include "support/integration_fixture.h"
#include "support/run_command.h"

namespace tessary {
namespace {

using testing::Program;

class Backend : public testing::IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    // Installed code whose uv is the stand-in; a program without shipped resources, so the
    // home uv is the one it picks.
    codeRoot =
        testing::installCode(home, home.path() + "/my code",
                             testing::readFile(std::string(TESSARY_TEST_DATA) + "/uv-standin.sh"));
    bare = testing::programWithoutResources(home);
  }

  std::unique_ptr<Program> start(std::map<std::string, std::string> env = {}) {
    env["TEST_DATA"] = TESSARY_TEST_DATA;
    return std::make_unique<Program>(home, env, bare);
  }

  pid_t pidFrom(const std::string& name) {
    pid_t pid = 0;
    testing::eventually(10, [&] {
      pid = std::atoi(testing::readFile(home.path() + "/" + name).c_str());
      return pid > 0;
    });
    return pid;
  }

  // Waits for the panel's beacon from the web view; a plain client watches the server.
  bool panelShown(double timeout) {
    return testing::eventually(timeout, [&] {
      return testing::readFile(log()).find("/beacon?Panel") != std::string::npos;
    });
  }

  std::string log() { return home.appSupport() + "/native-shell.log"; }

  // Quits as a session logout does, and returns how long the program took to end.
  double quit(Program& program) {
    const double start = testing::monotonicSeconds();
    program.signal(SIGTERM);
    EXPECT_EQ(program.waitExit(10), 0) << program.output();
    return testing::monotonicSeconds() - start;
  }

  std::string codeRoot;
  std::string bare;
};

TEST_F(Backend, StartsTheInstalledServerShowsThePanelAndStopsTheWholeGroupAtQuit) {
  testing::writeFile(log(), "output of an earlier start\n");
  auto program = start({{"UV_DELAY", "2"}});
  ASSERT_TRUE(panelShown(20)) << program->output() << testing::readFile(log());
  const std::string output = testing::readFile(log());
  EXPECT_EQ(output.find("earlier start"), std::string::npos);
  EXPECT_NE(output.find("uv stand-in: run tessary serve in " + codeRoot), std::string::npos);
  EXPECT_NE(output.find("fake backend serving on 127.0.0.1:8477"), std::string::npos);
  const pid_t uv = pidFrom("uv.pid"), server = pidFrom("server.pid");
  ASSERT_TRUE(testing::processAlive(uv) && testing::processAlive(server));

  EXPECT_LT(quit(*program), 1.0);
  EXPECT_FALSE(testing::processAlive(uv));
  EXPECT_FALSE(testing::processAlive(server)) << "the server, uv's child, is stopped too";
}

TEST_F(Backend, ABackendIgnoringThePoliteStopIsKilledAfterAboutThreeSeconds) {
  auto program = start({{"UV_IGNORE_TERM", "1"}, {"FAKE_BACKEND_ARGS", "--ignore-term"}});
  ASSERT_TRUE(panelShown(20)) << program->output();
  const pid_t uv = pidFrom("uv.pid"), server = pidFrom("server.pid");
  const double took = quit(*program);
  EXPECT_GE(took, 2.9);
  EXPECT_LT(took, 4.0);
  EXPECT_TRUE(testing::eventually(
      1, [&] { return !testing::processAlive(uv) && !testing::processAlive(server); }));
}

TEST_F(Backend, ABackendThatAlreadyEndedIsNotWaitedFor) {
  auto program = start({{"UV_FAIL", "1"}});
  ASSERT_TRUE(testing::eventually(10, [&] {
    return testing::readFile(log()).find("uv stand-in: failing") != std::string::npos;
  })) << program->output();
  const pid_t uv = pidFrom("uv.pid");
  ASSERT_TRUE(testing::eventually(5, [&] { return !testing::processAlive(uv); }));
  EXPECT_LT(quit(*program), 1.0);
}

TEST_F(Backend, AServerAlreadyRunningAtLaunchIsNeverSignalled) {
  const std::string marker = home.path() + "/got-term";
  // A hand-started server: python3 with the fake backend, as a child of the test.
  testing::writeFile(home.path() + "/serve.sh", "#!/bin/bash\nexec python3 -u " +
                                                    std::string(TESSARY_TEST_DATA) +
                                                    "/fake_backend.py --term-marker " + marker +
                                                    " --pidfile " + home.path() + "/hand.pid\n");
  std::filesystem::permissions(home.path() + "/serve.sh", std::filesystem::perms::owner_all);
  Program handStarted(home, {}, home.path() + "/serve.sh");
  ASSERT_TRUE(testing::eventually(10, [&] {
    return testing::runCommand(
               {"python3", "-c", "import urllib.request as u; u.urlopen('http://127.0.0.1:8477/')"})
               .status == 0;
  }));

  auto program = start();
  ASSERT_TRUE(testing::eventually(15, [&] {
    return handStarted.output().find("/beacon?Panel") != std::string::npos;
  })) << program->output();
  EXPECT_FALSE(std::filesystem::exists(log())) << "no backend was started";
  EXPECT_LT(quit(*program), 1.0);
  EXPECT_TRUE(handStarted.running());
  EXPECT_FALSE(std::filesystem::exists(marker));
  handStarted.signal(SIGKILL);
  handStarted.waitExit(5);
}

TEST_F(Backend, AProgramKilledOutrightLeavesNoBackendBehind) {
  auto program = start();
  ASSERT_TRUE(panelShown(20)) << program->output();
  const pid_t uv = pidFrom("uv.pid"), server = pidFrom("server.pid");
  program->signal(SIGKILL);
  program->waitExit(5);
  EXPECT_TRUE(testing::eventually(
      4, [&] { return !testing::processAlive(uv) && !testing::processAlive(server); }));
}

}  // namespace
}  // namespace tessary
