// Construction of the delegate, the launch sequence and the application's lifecycle answers.
#include "application/app_delegate.h"

#include "backend/ready_root.h"

namespace tessary {

AppDelegate::AppDelegate(platform::Desktop& desktop, platform::System& system, Locations locations)
    : desktop_(desktop), system_(system), locations_(std::move(locations)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
  buildMainMenu();
  buildWindow();
  buildStatusItem();
  window->present();
  checkPanel(1.0, [this](bool alive) { launchDecision(alive); });
}

void AppDelegate::launchDecision(bool alive) {
  if (alive) {
    loadPanel();
  } else if (readyRoot(locations_.approotFile)) {
    startBackend();
  } else {
    runSetup();
  }
}

void AppDelegate::loadPanel() {
  if (panelLoaded) return;
  panelLoaded = true;
  webView->loadUrl(kPanelURL);
}

void AppDelegate::applicationWillTerminate() {
  stopBackendIfOwned();
}

}  // namespace tessary
