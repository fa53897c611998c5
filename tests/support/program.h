// The built program, started from outside as a user would start it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "support/desktop_session.h"

namespace tessary::testing {

// The program in the build tree (with its shipped resources beside it).
std::string programPath();

// A copy of the program alone in a prefix of its own inside home, without the resources it
// normally ships: it then picks the home folder's uv and has no code to install.
std::string programWithoutResources(const Home& home);

// Installed backend code in home named by the approot file, started by uvScript installed as
// ~/.local/bin/uv. Returns the code root.
std::string installCode(const Home& home, const std::string& codeRoot, const std::string& uvScript);

class Program {
 public:
  // Starts executable as the user of home; its output goes to a file in home.
  explicit Program(const Home& home, const std::map<std::string, std::string>& extraEnv = {},
                   const std::string& executable = programPath());
  // Ends the program by force if a test left it running.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  void signal(int sig);
  // The exit status (128 + signal when a signal ended it), or nothing after timeout.
  std::optional<int> waitExit(double timeout);
  std::string output() const;

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string outputPath_;
};

// Top-level windows titled exactly title, as X window ids; only mapped ones when visible.
std::vector<std::string> findWindows(const std::string& title, bool visibleOnly);
// Waits until a window titled title is mapped; its id, or empty after timeout seconds.
std::string waitForWindow(const std::string& title, double timeout);
// What a window manager sends when the user clicks the close button.
void sendCloseRequest(const std::string& windowId);
// The screen's colour at x, y as "r,g,b".
std::string pixelAt(int x, int y);
struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};
Geometry windowGeometry(const std::string& windowId);

// Polls condition every 20 ms; true as soon as it holds, false after timeout seconds.
template <typename Condition>
bool eventually(double timeout, Condition condition);

}  // namespace tessary::testing

#include <chrono>
#include <thread>

#include "support/http_server.h"

template <typename Condition>
bool tessary::testing::eventually(double timeout, Condition condition) {
  const double end = monotonicSeconds() + timeout;
  for (;;) {
    if (condition()) return true;
    if (monotonicSeconds() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}
