// The one main window: built once, hidden instead of closed, shown again on demand.
#include "application/app_delegate.h"

#include <algorithm>
#include <utility>

#include "backend/probe.h"

namespace tessary {

namespace {
constexpr platform::Size kFrame{16, 48};
constexpr char kPageGaveUpTitle[] = "Strona przestała działać";
constexpr char kPageGaveUpText[] =
    "Proces wyświetlający stronę zakończył się trzy razy w ciągu minuty, więc strona nie jest "
    "już wczytywana ponownie.\n\nAby spróbować jeszcze raz, wybierz „Otwórz Tessary” w menu "
    "ikony albo uruchom aplikację ponownie.";
}  // namespace

void AppDelegate::buildWindow() {
  platform::WindowOptions options;
  options.title = kProductName;
  // As large as asked where that fits, and never a minimum the screen cannot hold; the size
  // excludes the window manager's frame, which needs some room of its own.
  const platform::Size area = desktop_.workArea().value_or(platform::Size{1 << 16, 1 << 16});
  options.width = std::min(1280, area.width - kFrame.width);
  options.height = std::min(840, area.height - kFrame.height);
  options.minWidth = std::min(900, options.width);
  options.minHeight = std::min(600, options.height);
  options.background = kPaperColor;
  window = desktop_.createWindow(options);
  window->setCloseHandler([this] { return windowShouldClose(); });
  webView = &window->webView();
  webView->setNavigationPolicy([this](const std::optional<platform::Address>& address) {
    return decidePolicyForNavigation(address);
  });
  webView->setPermissionPolicy(
      [this](platform::Permission kind) { return decidePermission(kind); });
  webView->setCrashHandler([this] { webContentCrashed(); });
  setupPage_ = std::make_unique<SetupPage>(*webView, system_, locations_.setupLogFile);
  webView->setLoadHandler([this] {
    if (!panelLoaded) setupPage_->loaded();
  });
  webView->setDownloadHandler(
      [this](const std::string& name, std::shared_ptr<platform::Download> download) {
        saveDownload(name, std::move(download));
      });
  webView->setDropHandler([this](const platform::Drop& drop) { pageDropped(drop); });
  webView->setFileRequestHandler(
      [this](const platform::FileRequest& request, platform::FileListCompletion done) {
        runOpenPanel(request, std::move(done));
      });
}

// A dead content process leaves the window blank: the page comes back by itself, unless the
// engine keeps dying, where reloading would only spin; the user is told so, once.
void AppDelegate::webContentCrashed() {
  if (!withinLimit(contentCrashes_, 2, 60.0)) {
    if (!std::exchange(pageGaveUp_, true)) configAlert(kPageGaveUpTitle, kPageGaveUpText);
    return;
  }
  setupPage_->reloading();
  webView->reload();
}

void AppDelegate::tryAgain() {
  if (std::exchange(pageGaveUp_, false)) {
    contentCrashes_.clear();
    setupPage_->reloading();
    webView->reload();
  }
  if (std::exchange(backendGaveUp_, false)) {
    backendRestarts_.clear();
    panelLoaded = false;
    // A panel the user started meanwhile is shown; ours would only fail on the taken port.
    checkPanel(kLaunchProbeTimeout, [this](bool alive) {
      if (alive) {
        loadPanel();
      } else {
        startBackend(/*emptyLog=*/false);
      }
    });
  }
}

void AppDelegate::showWindow() {
  window->present();
  tryAgain();
}

bool AppDelegate::windowShouldClose() {
  window->hide();
  return false;
}

void AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
  if (!hasVisibleWindows) window->present();
  tryAgain();
}

}  // namespace tessary
