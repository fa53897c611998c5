// What an integration test runs in: a private Xvfb display and D-Bus session bus for the
// whole test program, a temporary home per test, and bookkeeping of every child process.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tessary::testing {

// Started once per test program; ends its processes at exit.
class DesktopSession {
 public:
  static DesktopSession& get();
  const std::string& display() const { return display_; }
  const std::string& busAddress() const { return bus_; }
  std::vector<pid_t> ownProcesses() const { return {xvfb_, dbus_}; }
  ~DesktopSession();

 private:
  DesktopSession();
  std::string display_;
  std::string bus_;
  pid_t xvfb_ = -1;
  pid_t dbus_ = -1;
  TempDir dir_;
};

// A user who has never run the program: HOME and the XDG folders in a temporary folder.
class Home {
 public:
  Home();
  const std::string& path() const { return dir_.path(); }
  std::string dataHome() const { return dir_ / ".local/share"; }
  std::string appSupport() const { return dataHome() + "/HalvarenTessary"; }
  // The environment of a program started as this user, on the private desktop.
  std::vector<std::string> environment(const std::map<std::string, std::string>& extra = {}) const;

 private:
  TempDir dir_;
};

struct ProcessInfo {
  pid_t pid;
  char state;
  std::string command;
};

// The children of this test program (with the sub-reaper on, orphans of its children too),
// apart from the session's own Xvfb and bus.
std::vector<ProcessInfo> strayChildren();
// Waits up to timeout seconds for every stray child to end, reaping them; returns those left.
std::vector<ProcessInfo> waitForNoStrayChildren(double timeout);
void killStrayChildren();

bool processAlive(pid_t pid);
std::string describe(const std::vector<ProcessInfo>& processes);

}  // namespace tessary::testing
