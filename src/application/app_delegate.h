// The one object that holds the program's run-time state and answers every callback.
// Its member functions are defined in the folder of the subsystem that owns each.
#pragma once

#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "application/locations.h"
#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/system.h"
#include "setup/setup_page.h"

namespace tessary {

class AppDelegate final : public platform::ApplicationDelegate {
 public:
  AppDelegate(platform::Desktop& desktop, platform::System& system, Locations locations);
  ~AppDelegate() override;

  // Application lifecycle (application/).
  void applicationDidFinishLaunching() override;
  bool applicationShouldTerminateAfterLastWindowClosed() override { return false; }
  void applicationWillTerminate() override;
  void loadPanel();

  // Backend supervision (backend/).
  void checkPanel(double timeout, std::function<void(bool alive)> completion);
  // emptyLog is false for a restart, which keeps the output of the run that ended.
  void startBackend(bool emptyLog = true);
  void backendEnded();
  void beginPolling();
  void stopBackendIfOwned();
  void configAlert(const std::string& title, const std::string& text);

  // First-run setup (setup/).
  // A lock already taken for the run may be handed over.
  void runSetup(std::unique_ptr<platform::FolderLock> lock = nullptr);
  void launchBootstrap();
  void followWizard();

  // Window chrome (ui/).
  void buildMainMenu();
  void buildWindow();
  void buildStatusItem();
  void showWindow();
  bool windowShouldClose();
  void applicationShouldHandleReopen(bool hasVisibleWindows) override;
  void showWindowAction() { showWindow(); }
  void openInBrowser();
  void quitAction();
  bool decidePolicyForNavigation(const std::optional<platform::Address>& address);
  bool decidePermission(platform::Permission kind);
  void webContentCrashed();
  void runOpenPanel(const platform::FileRequest& request, platform::FileListCompletion done);
  void saveDownload(const std::string& suggestedName, std::shared_ptr<platform::Download> download);
  void pageDropped(const platform::Drop& drop);

  // Run-time state; public so that the tests can look at it.
  std::unique_ptr<platform::Window> window;
  platform::WebView* webView = nullptr;  // owned by window
  std::unique_ptr<platform::StatusItem> statusItem;
  std::unique_ptr<platform::ChildProcess> backend;
  std::unique_ptr<platform::ChildProcess> setupProc;
  std::unique_ptr<platform::Timer> pollTimer;
  double pollDeadline = std::numeric_limits<double>::infinity();
  bool pollInFlight = false;
  bool panelLoaded = false;

 private:
  void launchDecision(bool alive);
  // Whether a setup run holds its lock; one that ended while no program watched is settled.
  bool settleEndedWizard();
  void installFailed(const std::vector<platform::CopyFailure>& failures);
  // Whether another recovery fits: fewer than limit earlier ones within window seconds.
  bool withinLimit(std::deque<double>& times, size_t limit, double window);
  // After the program gave up on the backend or the page, the user bringing the window back
  // asks for one more try.
  void tryAgain();
  void pollTick();
  void beginRun();
  void lookAtWizard();
  void endRun(std::unique_ptr<platform::FolderLock> lock);
  void finishWizard(std::optional<int> status);

  struct Transfer {
    std::string suggestedName;
    std::shared_ptr<platform::Download> download;
    std::optional<std::string> path;
    bool ended = false;
  };
  void askWhereToSave();
  void downloadEnded(Transfer& transfer, bool complete);

  // Downloads waiting for the user to say where they go, the first one being asked; and the
  // ones being written.
  std::deque<std::shared_ptr<Transfer>> waitingDownloads_;
  std::vector<std::shared_ptr<Transfer>> savingDownloads_;
  // What was dropped on the page last, and when.
  std::vector<std::string> dropped_;
  double droppedAt_ = -std::numeric_limits<double>::infinity();
  std::unique_ptr<SetupPage> setupPage_;
  // One setup run at a time, from any session: its lock, held by this program from the run's
  // start until its wizard's keeper holds it.
  std::unique_ptr<platform::FolderLock> setupLock_;
  std::unique_ptr<platform::Timer> wizardWatch_;  // until the run's lock is free
  bool ownRun_ = false;                           // the run watched is this program's
  std::optional<std::string> followedLog_;        // the log of the run shown in the page
  double waitingSince_ = 0, followingSince_ = 0;
  bool toldLocked_ = false, toldLong_ = false;
  std::deque<double> contentCrashes_;
  std::deque<double> backendRestarts_;
  bool pageGaveUp_ = false;
  bool backendGaveUp_ = false;

  platform::Desktop& desktop_;
  platform::System& system_;
  const Locations locations_;
};

}  // namespace tessary
