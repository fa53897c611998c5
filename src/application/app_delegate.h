// The application delegate: the launch sequence, the menus and the lifecycle answers, composed
// of the objects that own each piece of state (the backend's supervision, the first run's
// setup, the main window, the page's policies and downloads).
#pragma once

#include <memory>
#include <string>

#include "backend/backend_supervisor.h"
#include "base/locations.h"
#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/system.h"
#include "setup/first_run_setup.h"
#include "ui/downloads.h"
#include "ui/main_window.h"
#include "ui/page_policy.h"

namespace tessary {

class AppDelegate final : public platform::ApplicationDelegate {
 public:
  AppDelegate(platform::Desktop& desktop, platform::System& system, Locations locations);

  void applicationDidFinishLaunching() override;
  bool applicationShouldTerminateAfterLastWindowClosed() override { return false; }
  void applicationShouldHandleReopen(bool hasVisibleWindows) override;
  void applicationWillTerminate() override;

  void buildMainMenu();
  void buildWindow();
  void buildStatusItem();
  void loadPanel();
  void showWindowAction();
  void openInBrowser();
  void quitAction();
  // The one way a problem is shown to the user outside the setup page.
  void configAlert(const std::string& title, const std::string& text);

 private:
  void launchDecision(bool alive);
  // After the program gave up on the backend or the page, the user bringing the window back
  // asks for one more try.
  void tryAgain();

  platform::Desktop& desktop_;
  platform::System& system_;
  const Locations locations_;
  // Destroyed in reverse: what uses the window's view goes before the window.
  BackendSupervisor backend_;
  MainWindow window_;
  std::unique_ptr<platform::StatusItem> statusItem;
  PagePolicy page_;
  Downloads downloads_;
  std::unique_ptr<FirstRunSetup> setup_;  // made with the window's view
};

}  // namespace tessary
