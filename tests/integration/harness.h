// What every integration test stands on: the built program and the helper servers started
// as a user would start them, in a home of their own, on the display and session bus that
// the test command provides (xvfb-run, dbus-run-session), and the check that a test leaves
// no process behind.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "backend/backend_launch.h"
#include "support/temp_dir.h"

// Last: Xlib defines macros that clash with the names above.
#include <X11/Xlib.h>
#undef Bool
#undef None

namespace tessary::testing {

namespace fs = std::filesystem;
inline const std::string kData = TESSARY_TEST_DATA;
inline const std::string kTitle = "Halvaren Tessary";

inline double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <typename Condition>
bool eventually(double timeout, Condition condition) {
  for (const double end = now() + timeout; !condition();) {
    if (now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A shell command's exit status and standard output.
struct Ran {
  int status;
  std::string out;
};
inline Ran sh(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

inline bool alive(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  return close != std::string::npos && stat[close + 2] != 'Z';
}

// A user who has never run the program.
struct Home : TempDir {
  std::string data() const { return *this / ".local/share/HalvarenTessary"; }
  std::vector<std::string> environment(std::map<std::string, std::string> env) const {
    for (const char* keep : {"PATH", "DISPLAY", "WAYLAND_DISPLAY", "GDK_BACKEND", "XAUTHORITY",
                             "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"})
      if (const char* value = std::getenv(keep)) env.emplace(keep, value);
    env.insert({{"HOME", path()},
                {"XDG_DATA_HOME", *this / ".local/share"},
                {"XDG_CONFIG_HOME", *this / ".config"},
                {"NO_AT_BRIDGE", "1"},
                {"LANG", "C.UTF-8"}});
    std::vector<std::string> out;
    for (const auto& [k, v] : env) out.push_back(k + "=" + v);
    return out;
  }
};

// A process started as the user of home, output to a file; killed if a test leaves it.
class Proc {
 public:
  Proc(const Home& home, std::vector<std::string> argv,
       const std::map<std::string, std::string>& env = {})
      : log_(home / ("proc-" + std::to_string(now()) + ".log")) {
    auto vars = home.environment(env);
    std::vector<char*> args, envp;
    for (auto& a : argv) args.push_back(a.data());
    for (auto& v : vars) envp.push_back(v.data());
    args.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, home.path().c_str());
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Proc() {
    signal(SIGKILL);
    wait(10);
  }
  pid_t pid() const { return pid_; }
  bool running() {
    int status;
    if (pid_ > 0 && !status_ && ::waitpid(pid_, &status, WNOHANG) == pid_)
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return pid_ > 0 && !status_;
  }
  void signal(int sig) {
    if (running()) ::kill(pid_, sig);
  }
  // The exit status, or nothing after timeout seconds.
  std::optional<int> wait(double timeout) {
    eventually(timeout, [&] { return !running(); });
    return status_;
  }
  std::string output() const { return readFile(log_); }

 private:
  std::string log_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

inline std::string program() {
  return TESSARY_PROGRAM;
}

// The program alone in a prefix of its own: no shipped code, and only the home uv.
inline std::string bareProgram(const Home& home) {
  fs::create_directories(home / "bare/bin");
  fs::copy_file(program(), home / "bare/bin/halvaren-tessary", fs::copy_options::skip_existing);
  return home / "bare/bin/halvaren-tessary";
}

// Installed code named by the approot file, whose uv (~/.local/bin/uv) is uvScript.
inline void installCode(const Home& home, const std::string& root, const std::string& uvScript) {
  writeFile(root + "/.venv/bin/tessary", "");
  writeFile(home.data() + "/approot", root + "\n");
  writeFile(home / ".local/bin/uv", uvScript);
  fs::permissions(home / ".local/bin/uv", fs::perms::owner_all);
}

// data/server.py with args, once it listens.
inline std::unique_ptr<Proc> server(const Home& home, std::vector<std::string> args) {
  args.insert(args.begin(), {"python3", "-u", kData + "/server.py"});
  auto proc = std::make_unique<Proc>(home, args);
  EXPECT_TRUE(eventually(10, [&] { return proc->output().find("serving") != std::string::npos; }))
      << proc->output();
  return proc;
}

inline std::vector<std::string> windows(const std::string& title, bool visibleOnly = true) {
  std::string ids =
      sh("LC_ALL=C.UTF-8 xdotool search " + std::string(visibleOnly ? "--onlyvisible " : "") +
         "--name " + shellQuote("^" + title + "$") + " | sort")
          .out;
  std::vector<std::string> out;
  std::istringstream lines(ids);
  for (std::string id; std::getline(lines, id);) out.push_back(id);
  return out;
}

inline std::string waitWindow(const std::string& title, double timeout = 15) {
  std::vector<std::string> ids;
  eventually(timeout, [&] { return !(ids = windows(title)).empty(); });
  return ids.empty() ? "" : ids.front();
}

inline bool noWindow(const std::string& title) {
  return eventually(5, [&] { return windows(title).empty(); });
}

// What a window manager sends when the user clicks the close button.
inline void closeRequest(const std::string& window) {
  Display* display = XOpenDisplay(nullptr);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = std::stoul(window);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XCloseDisplay(display);
}

// Orphans of the program become this test's children, so that none escapes the check.
class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
  void TearDown() override {
    procs.clear();
    // A guardian stops what a killed program left behind within about three seconds.
    std::string left;
    eventually(6, [&] { return (left = children()).empty(); });
    EXPECT_EQ(left, "") << "processes left behind";
    for (int round = 0; round < 20 && !children().empty(); ++round)
      sh("pkill -KILL -P " + std::to_string(::getpid()) + " 2>/dev/null");
  }

  // Live children of this test, reaping the dead ones.
  static std::string children() {
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    return sh("ps -o pid=,args= --ppid " + std::to_string(::getpid()) + " | grep -v ' ps -o'").out;
  }

  Proc& start(std::vector<std::string> argv, const std::map<std::string, std::string>& env = {}) {
    return *procs.emplace_back(std::make_unique<Proc>(home, std::move(argv), env));
  }

  Home home;
  std::vector<std::unique_ptr<Proc>> procs;
};

}  // namespace tessary::testing
