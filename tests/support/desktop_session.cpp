// The private desktop of the integration tests.
#include "support/desktop_session.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/http_server.h"

extern char** environ;

namespace tessary::testing {

namespace {

// Standard error goes to errorLog: the servers' chatter is not the test's output.
pid_t spawnWithOutput(const std::vector<std::string>& argv, int outFd,
                      const std::string& errorLog) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

std::string readLineFrom(int fd, double timeout) {
  std::string line;
  const double end = monotonicSeconds() + timeout;
  char c;
  while (monotonicSeconds() < end) {
    ssize_t n = ::read(fd, &c, 1);
    if (n == 1) {
      if (c == '\n') return line;
      line += c;
    } else if (n == 0) {
      break;
    }
  }
  return line;
}

void endProcess(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  int status;
  ::waitpid(pid, &status, 0);
}

}  // namespace

DesktopSession& DesktopSession::get() {
  static DesktopSession session;
  return session;
}

DesktopSession::DesktopSession() {
  // Orphans of the program (a backend whose parent died) become our children, so a test
  // sees every process it caused.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);

  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  xvfb_ = spawnWithOutput({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                           "1600x1000x24", "-nolisten", "tcp", "-noreset"},
                          -1, dir_ / "xvfb.log");
  ::close(fds[1]);
  std::string number = readLineFrom(fds[0], 20);
  ::close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  display_ = ":" + number;

  // A bus without service activation: nothing starts behind the test's back.
  const std::string config = dir_ / "session.conf";
  std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                           "Configuration 1.0//EN\" "
                           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig><type>session</type><listen>unix:dir="
                        << dir_.path()
                        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                           "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  dbus_ = spawnWithOutput({"dbus-daemon", "--nofork", "--config-file=" + config, "--print-address"},
                          fds[1], dir_ / "dbus.log");
  ::close(fds[1]);
  bus_ = readLineFrom(fds[0], 20);
  ::close(fds[0]);
  if (bus_.empty()) throw std::runtime_error("dbus-daemon did not start");

  ::setenv("DISPLAY", display_.c_str(), 1);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_.c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
  ::setenv("NO_AT_BRIDGE", "1", 1);
}

DesktopSession::~DesktopSession() {
  endProcess(dbus_);
  endProcess(xvfb_);
}

Home::Home() {
  for (const char* sub : {".local/share", ".config", ".cache", "runtime"}) {
    std::filesystem::create_directories(dir_ / sub);
  }
  std::filesystem::permissions(dir_ / "runtime", std::filesystem::perms::owner_all);
}

std::vector<std::string> Home::environment(const std::map<std::string, std::string>& extra) const {
  auto& session = DesktopSession::get();
  std::map<std::string, std::string> env = {
      {"HOME", path()},
      {"XDG_DATA_HOME", dataHome()},
      {"XDG_CONFIG_HOME", dir_ / ".config"},
      {"XDG_CACHE_HOME", dir_ / ".cache"},
      {"XDG_RUNTIME_DIR", dir_ / "runtime"},
      {"DISPLAY", session.display()},
      {"DBUS_SESSION_BUS_ADDRESS", session.busAddress()},
      {"NO_AT_BRIDGE", "1"},
      {"PATH", std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"},
      {"LANG", "C.UTF-8"},
  };
  for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char* v = std::getenv(keep)) env[keep] = v;
  }
  for (const auto& [k, v] : extra) env[k] = v;
  std::vector<std::string> out;
  for (const auto& [k, v] : env) out.push_back(k + "=" + v);
  return out;
}

std::vector<ProcessInfo> strayChildren() {
  std::vector<ProcessInfo> out;
  const pid_t self = ::getpid();
  const auto own = DesktopSession::get().ownProcesses();
  DIR* proc = ::opendir("/proc");
  while (dirent* entry = ::readdir(proc)) {
    pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 2));
    char state;
    pid_t ppid;
    rest >> state >> ppid;
    if (ppid != self || pid == own[0] || pid == own[1]) continue;
    size_t open = text.find('(');
    out.push_back({pid, state, text.substr(open + 1, close - open - 1)});
  }
  ::closedir(proc);
  return out;
}

std::vector<ProcessInfo> waitForNoStrayChildren(double timeout) {
  const double end = monotonicSeconds() + timeout;
  for (;;) {
    auto children = strayChildren();
    std::vector<ProcessInfo> running;
    for (const auto& c : children) {
      if (c.state == 'Z') {
        ::waitpid(c.pid, nullptr, WNOHANG);
      } else {
        running.push_back(c);
      }
    }
    if (running.empty() || monotonicSeconds() > end) return running;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void killStrayChildren() {
  // Killing one stray can hand us its children (we are their sub-reaper): repeat.
  for (int round = 0; round < 20; ++round) {
    auto left = waitForNoStrayChildren(0.2);
    if (left.empty()) return;
    for (const auto& c : left) ::kill(c.pid, SIGKILL);
  }
}

bool processAlive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t close = text.rfind(')');
  return close != std::string::npos && text[close + 2] != 'Z';
}

std::string describe(const std::vector<ProcessInfo>& processes) {
  std::string out;
  for (const auto& p : processes) out += std::to_string(p.pid) + " " + p.command + "; ";
  return out;
}

}  // namespace tessary::testing
