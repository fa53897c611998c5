// Process entry into the desktop's event loop, and the look-ups start-up needs.
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
  // The application's identity in reverse-DNS form. What it names is the platform's business:
  // on Linux the single instance's name on the session bus (and so the desktop entry's name).
  std::string id;
  // The command's name, for messages; on Linux also the name of its folders under share/.
  std::string command;
  std::string name;         // the product's name, in the about dialog
  std::string version;      // printed by --version, shown in the about dialog
  std::string summary;      // what --help says the program does
  std::string versionHelp;  // what --help says --version does
  std::string comment;      // what the about dialog says the program is
  // Of its windows and its about dialog. The platform looks for it, and for the status item's
  // icon, among the program's own icons too (see resourceDirectory).
  std::string iconName;
};

// Runs the event loop of the single instance named info.id. A second start hands over to the
// running instance and returns; --help and --version answer without touching it. Returns
// the process's exit status.
int runApplication(const ApplicationInfo& info, int argc, char** argv,
                   const DelegateFactory& makeDelegate);

// The user's data folder (XDG data home).
std::string userDataDirectory();
// The folder of the resources the program ships with, when it has one. On Linux it is
// "<folder of the executable>/../share/<command>", laid out alike in the build tree and an
// installed prefix, with the program's own icons in a hicolor theme at "../share/icons".
std::optional<std::string> resourceDirectory(const ApplicationInfo& info);

}  // namespace tessary::platform
