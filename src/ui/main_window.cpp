// The one main window: its size, its closing, its page brought back, and a quit that asks.
#include "ui/main_window.h"

#include <algorithm>
#include <utility>

#include "ui/ui_texts.h"

namespace tessary {

namespace {
constexpr platform::Size kFrame{16, 48};
}  // namespace

MainWindow::MainWindow(platform::Desktop& desktop, platform::System& system, Events events)
    : desktop_(desktop), system_(system), events_(std::move(events)) {}

void MainWindow::buildWindow(const std::string& title, platform::Color background) {
  platform::WindowOptions options;
  options.title = title;
  // As large as asked where that fits, and never a minimum the screen cannot hold; the size
  // excludes the window manager's frame, which needs some room of its own.
  const platform::Size area = desktop_.workArea().value_or(platform::Size{1 << 16, 1 << 16});
  options.width = std::min(1280, area.width - kFrame.width);
  options.height = std::min(840, area.height - kFrame.height);
  options.minWidth = std::min(900, options.width);
  options.minHeight = std::min(600, options.height);
  options.background = background;
  window_ = desktop_.createWindow(options);
  window_->setCloseHandler([this] { return windowShouldClose(); });
  webView_ = &window_->webView();
  webView_->setCrashHandler([this] { webContentCrashed(); });
}

bool MainWindow::windowShouldClose() {
  window_->hide();
  return false;
}

void MainWindow::loadPanel(const std::string& url) {
  panelLoaded_ = true;
  webView_->loadUrl(url);
}

// A dead content process leaves the window blank: the page comes back by itself, unless the
// engine keeps dying, where reloading would only spin; the user is told so, once.
void MainWindow::webContentCrashed() {
  if (!contentCrashes_.allow(system_.now())) {
    if (!std::exchange(pageGaveUp_, true)) events_.alert(kPageGaveUpTitle, kPageGaveUpText);
    return;
  }
  events_.reloading();
  webView_->reload();
}

void MainWindow::tryAgain() {
  if (!std::exchange(pageGaveUp_, false)) return;
  contentCrashes_.clear();
  events_.reloading();
  webView_->reload();
}

void MainWindow::askToLeave(std::function<void()> leave) {
  webView_->askToLeave([this, leave = std::move(leave)](platform::LeaveAnswer answer) {
    if (answer == platform::LeaveAnswer::Asking) {
      window_->present();
    } else {
      leave();
    }
  });
}

}  // namespace tessary
