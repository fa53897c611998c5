// The first run, and the first run of a new version: the shipped code installed, the setup
// page shown, the wizard run and followed to its end, one run at a time from any session. It
// owns the run's lock, the wizard's process and the setup page's feed; what follows a run (the
// backend started, an alert) is told to whoever composes it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/locations.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/web_view.h"
#include "setup/setup_page.h"

namespace tessary {

class FirstRunSetup {
 public:
  struct Events {
    std::function<void()> startBackend;  // the wizard succeeded
    std::function<void(const std::string& title, const std::string& text)> alert;
  };
  FirstRunSetup(platform::WebView& webView, platform::System& system, const Locations& locations,
                Events events);

  // A lock already taken for the run may be handed over.
  void runSetup(std::unique_ptr<platform::FolderLock> lock = nullptr);
  // Whether a setup run holds its lock; one that ended while no program watched is settled.
  bool settleEndedWizard();

  // The page the view shows: loaded (the setup page's own load, while it is shown), loaded
  // again after its content process died, or replaced by the panel.
  void pageLoaded() { setupPage_.loaded(); }
  void pageReloading() { setupPage_.reloading(); }
  void pageLeft() { setupPage_.left(); }

 private:
  void beginRun();
  void launchBootstrap();
  void followWizard();
  void lookAtWizard();
  void installFailed(const std::vector<platform::CopyFailure>& failures);
  void endRun(std::unique_ptr<platform::FolderLock> lock);
  void finishWizard(std::optional<int> status);

  platform::WebView& webView_;
  platform::System& system_;
  const Locations& locations_;
  const Events events_;
  SetupPage setupPage_;
  std::unique_ptr<platform::ChildProcess> setupProc;
  // One setup run at a time, from any session: its lock, held by this program from the run's
  // start until its wizard's keeper holds it.
  std::unique_ptr<platform::FolderLock> setupLock_;
  std::unique_ptr<platform::Timer> wizardWatch_;  // until the run's lock is free
  bool ownRun_ = false;                           // the run watched is this program's
  std::optional<std::string> followedLog_;        // the log of the run shown in the page
  double waitingSince_ = 0, followingSince_ = 0;
  bool toldLocked_ = false, toldLong_ = false;
};

}  // namespace tessary
