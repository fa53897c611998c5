// The status-area icon and its menu.
#include "application/app_delegate.h"

namespace tessary {

void AppDelegate::buildStatusItem() {
  platform::StatusItemOptions options;
  options.id = kProgramName;
  options.iconName = "halvaren-tessary-symbolic";
  options.title = kProductName;
  options.entries = {
      {"Otwórz Tessary", 0, {}, [this] { showWindowAction(); }},
      {"Panel w przeglądarce", 0, {}, [this] { openInBrowser(); }},
      {},
      {"Zakończ", 0, {}, [this] { quitAction(); }},
  };
  statusItem = desktop_.createStatusItem(options);
}

void AppDelegate::openInBrowser() {
  desktop_.openInBrowser(kPanelURL);
}

// A quit the user asks for lets the page keep unsaved work: its question is shown in the
// window, and the program ends only when the user leaves.
void AppDelegate::quitAction() {
  webView->askToLeave([this](platform::LeaveAnswer answer) {
    if (answer == platform::LeaveAnswer::Asking) {
      window->present();
    } else {
      desktop_.quit();
    }
  });
}

}  // namespace tessary
