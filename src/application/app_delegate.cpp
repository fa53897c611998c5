// Construction of the delegate, the launch sequence and the application's lifecycle answers.
#include "application/app_delegate.h"

#include "application/application_texts.h"
#include "backend/probe.h"
#include "backend/ready_root.h"
#include "base/text.h"
#include "setup/install.h"

namespace tessary {

namespace {
constexpr platform::Color kPaperColor{250.0 / 255.0, 250.0 / 255.0, 247.0 / 255.0, 1.0};
}  // namespace

AppDelegate::AppDelegate(platform::Desktop& desktop, platform::System& system, Locations locations)
    : desktop_(desktop),
      system_(system),
      locations_(std::move(locations)),
      backend_(
          system, locations_,
          {[this] { loadPanel(); }, [this] { setup_->runSetup(); }, [this] { window_.panelGone(); },
           [this](const std::string& title, const std::string& text) {
             configAlert(title, text);
           }}),
      window_(desktop, system,
              {[this] {
                 if (setup_) setup_->pageReloading();
               },
               [this](const std::string& title, const std::string& text) {
                 configAlert(title, text);
               }}),
      page_(desktop, system),
      downloads_(desktop) {}

void AppDelegate::applicationDidFinishLaunching() {
  buildMainMenu();
  buildWindow();
  buildStatusItem();
  window_.showWindow();
  backend_.checkPanel(kLaunchProbeTimeout, [this](bool alive) { launchDecision(alive); });
}

void AppDelegate::buildWindow() {
  window_.buildWindow(kProductName, kPaperColor);
  platform::WebView& view = window_.webView();
  page_.attach(view);
  downloads_.attach(view);
  setup_ = std::make_unique<FirstRunSetup>(
      view, system_, locations_,
      FirstRunSetup::Events{
          [this] { backend_.startBackend(); },
          [this](const std::string& title, const std::string& text) { configAlert(title, text); }});
  view.setLoadHandler([this] {
    if (!window_.panelLoaded()) setup_->pageLoaded();
  });
}

void AppDelegate::launchDecision(bool alive) {
  if (alive) {
    loadPanel();
    return;
  }
  // A new version of the program installs its own code again before it starts it; no code is
  // started while a setup run may be changing it.
  const bool setupUnderWay = setup_->settleEndedWizard();
  const auto root = readyRoot(locations_.approotFile);
  if (!setupUnderWay && root && !installedCodeOutdated(locations_, *root)) {
    backend_.startBackend();
  } else {
    setup_->runSetup();
  }
}

void AppDelegate::loadPanel() {
  if (window_.panelLoaded()) return;
  setup_->pageLeft();
  window_.loadPanel(kPanelURL);
}

void AppDelegate::tryAgain() {
  window_.tryAgain();
  backend_.tryAgain();
}

void AppDelegate::showWindowAction() {
  window_.showWindow();
  tryAgain();
}

void AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
  if (!hasVisibleWindows) window_.showWindow();
  tryAgain();
}

void AppDelegate::applicationWillTerminate() {
  backend_.stopBackendIfOwned();
}

// A path in the text need not be UTF-8; the desktop shows only text that is.
void AppDelegate::configAlert(const std::string& title, const std::string& text) {
  desktop_.alert(validUtf8(title), validUtf8(text), kAlertButton, nullptr);
}

}  // namespace tessary
