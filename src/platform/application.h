// Process entry into the desktop's event loop, and the two look-ups start-up needs.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop.h"
#include "platform/system.h"

namespace tessary::platform {

// What the application answers when the platform asks.
class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() = 0;
  // The program was started again while running.
  virtual void applicationShouldHandleReopen(bool hasVisibleWindows) = 0;
  virtual bool applicationShouldTerminateAfterLastWindowClosed() = 0;
  virtual void applicationWillTerminate() = 0;
};

using DelegateFactory =
    std::function<std::unique_ptr<ApplicationDelegate>(Desktop& desktop, System& system)>;

// Who the application is, as the desktop shows it.
struct ApplicationInfo {
  std::string id;           // the single instance's name on the session bus
  std::string command;      // the command's name, for messages
  std::string name;         // the product's name, in the about dialog
  std::string version;      // printed by --version, shown in the about dialog
  std::string summary;      // what --help says the program does
  std::string versionHelp;  // what --help says --version does
  std::string comment;      // what the about dialog says the program is
  std::string iconName;     // of its windows and its about dialog
  // Icons of the program's own that no system theme holds (a build tree, another prefix).
  std::optional<std::string> iconThemeDir;
};

// Runs the event loop of the single instance named info.id. A second start hands over to the
// running instance and returns; --help and --version answer without touching it. Returns
// the process's exit status.
int runApplication(const ApplicationInfo& info, int argc, char** argv,
                   const DelegateFactory& makeDelegate);

// The user's data folder (XDG data home).
std::string userDataDirectory();
// The running executable's path, when the system tells it.
std::optional<std::string> executablePath();

}  // namespace tessary::platform
