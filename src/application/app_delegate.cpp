// Construction of the delegate, the launch sequence and the application's lifecycle answers.
#include "application/app_delegate.h"

#include "backend/probe.h"
#include "backend/ready_root.h"
#include "setup/install.h"

namespace tessary {

AppDelegate::AppDelegate(platform::Desktop& desktop, platform::System& system, Locations locations)
    : desktop_(desktop), system_(system), locations_(std::move(locations)) {}

void AppDelegate::applicationDidFinishLaunching() {
  buildMainMenu();
  buildWindow();
  buildStatusItem();
  window->present();
  checkPanel(kLaunchProbeTimeout, [this](bool alive) { launchDecision(alive); });
}

void AppDelegate::launchDecision(bool alive) {
  if (alive) {
    loadPanel();
    return;
  }
  // A new version of the program installs its own code again before it starts it; no code is
  // started while a setup run may be changing it.
  const bool setupUnderWay = settleEndedWizard();
  const auto root = readyRoot(locations_.approotFile);
  if (!setupUnderWay && root && !installedCodeOutdated(locations_, *root)) {
    startBackend();
  } else {
    runSetup();
  }
}

void AppDelegate::loadPanel() {
  if (panelLoaded) return;
  panelLoaded = true;
  setupPage_->left();
  webView->loadUrl(kPanelURL);
}

bool AppDelegate::withinLimit(std::deque<double>& times, size_t limit, double window) {
  const double now = system_.now();
  while (!times.empty() && now - times.front() > window) times.pop_front();
  if (times.size() >= limit) return false;
  times.push_back(now);
  return true;
}

void AppDelegate::applicationWillTerminate() {
  stopBackendIfOwned();
}

}  // namespace tessary
