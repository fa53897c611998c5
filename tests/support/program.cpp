// Starting the built program and looking at its windows on the private display.
#include "support/program.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "support/run_command.h"

namespace tessary::testing {

std::string programPath() {
  return TESSARY_PROGRAM;
}

std::string programWithoutResources(const Home& home) {
  const std::string exe = home.path() + "/bare/bin/halvaren-tessary";
  std::filesystem::create_directories(home.path() + "/bare/bin");
  std::filesystem::copy_file(programPath(), exe, std::filesystem::copy_options::skip_existing);
  return exe;
}

std::string installCode(const Home& home, const std::string& codeRoot,
                        const std::string& uvScript) {
  std::filesystem::create_directories(codeRoot + "/.venv/bin");
  writeFile(codeRoot + "/.venv/bin/tessary", "");
  writeFile(home.appSupport() + "/approot", codeRoot + "\n");
  writeFile(home.path() + "/.local/bin/uv", uvScript);
  std::filesystem::permissions(home.path() + "/.local/bin/uv", std::filesystem::perms::owner_all);
  return codeRoot;
}

Program::Program(const Home& home, const std::map<std::string, std::string>& extraEnv,
                 const std::string& executable)
    : outputPath_(home.path() + "/program-output-" + std::to_string(monotonicSeconds()) + ".log") {
  std::vector<std::string> env = home.environment(extraEnv);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, home.path().c_str());
  char* argv[] = {const_cast<char*>(executable.c_str()), nullptr};
  if (posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

Program::~Program() {
  if (running()) {
    signal(SIGKILL);
    waitExit(10);
  }
}

bool Program::running() {
  if (pid_ <= 0 || status_) return false;
  int status;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

void Program::signal(int sig) {
  if (running()) ::kill(pid_, sig);
}

std::optional<int> Program::waitExit(double timeout) {
  eventually(timeout, [&] { return !running(); });
  return status_;
}

std::string Program::output() const {
  return readFile(outputPath_);
}

std::vector<std::string> findWindows(const std::string& title, bool visibleOnly) {
  std::vector<std::string> args = {"xdotool", "search"};
  if (visibleOnly) args.push_back("--onlyvisible");
  args.insert(args.end(), {"--name", "^" + title + "$"});
  std::istringstream out(runCommand(args).output);
  std::vector<std::string> ids;
  for (std::string id; std::getline(out, id);) {
    if (!id.empty()) ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::string waitForWindow(const std::string& title, double timeout) {
  std::string id;
  eventually(timeout, [&] {
    auto ids = findWindows(title, true);
    if (!ids.empty()) id = ids.front();
    return !id.empty();
  });
  return id;
}

void sendCloseRequest(const std::string& windowId) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return;
  Window window = std::stoul(windowId);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  XCloseDisplay(display);
}

std::string pixelAt(int x, int y) {
  auto result =
      runCommand({"import", "-silent", "-window", "root", "-crop",
                  "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8", "rgb:-"});
  if (result.output.size() < 3) return "none";
  auto c = [&](int i) { return std::to_string(static_cast<unsigned char>(result.output[i])); };
  return c(0) + "," + c(1) + "," + c(2);
}

Geometry windowGeometry(const std::string& windowId) {
  auto out = runCommand({"xdotool", "getwindowgeometry", "--shell", windowId}).output;
  Geometry g;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    int value = std::atoi(line.c_str() + eq + 1);
    std::string key = line.substr(0, eq);
    if (key == "X") g.x = value;
    if (key == "Y") g.y = value;
    if (key == "WIDTH") g.width = value;
    if (key == "HEIGHT") g.height = value;
  }
  return g;
}

}  // namespace tessary::testing
