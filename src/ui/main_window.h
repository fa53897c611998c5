// The one main window and its web view: built once, hidden instead of closed, shown again on
// demand; the page it shows (the panel, once loaded) and the page brought back when its
// content process dies, within a limit. It owns the window; the rest is told to whoever
// composes it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/recovery_limit.h"
#include "platform/desktop.h"
#include "platform/system.h"

namespace tessary {

class MainWindow {
 public:
  struct Events {
    std::function<void()> reloading;  // the page shown is loaded again, its process gone
    std::function<void(const std::string& title, const std::string& text)> alert;
  };
  MainWindow(platform::Desktop& desktop, platform::System& system, Events events);

  // Once, at launch.
  void buildWindow(const std::string& title, platform::Color background);
  platform::Window& window() { return *window_; }
  platform::WebView& webView() { return *webView_; }

  void showWindow() { window_->present(); }
  // Closing only hides it.
  bool windowShouldClose();
  // The panel, shown until it goes away with its backend.
  void loadPanel(const std::string& url);
  bool panelLoaded() const { return panelLoaded_; }
  void panelGone() { panelLoaded_ = false; }
  // After a give-up, the user brought the window back: the page is loaded once more.
  void tryAgain();
  // A quit the user asks for: the page may ask first, in the window shown; leave runs only
  // when it lets the program go.
  void askToLeave(std::function<void()> leave);

 private:
  void webContentCrashed();

  platform::Desktop& desktop_;
  platform::System& system_;
  const Events events_;
  std::unique_ptr<platform::Window> window_;
  platform::WebView* webView_ = nullptr;  // owned by the window
  bool panelLoaded_ = false;
  RecoveryLimit contentCrashes_{2, 60.0};
  bool pageGaveUp_ = false;
};

}  // namespace tessary
