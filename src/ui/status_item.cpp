// The status-area icon and its menu.
#include "application/app_delegate.h"

namespace tessary {

void AppDelegate::buildStatusItem() {
  platform::StatusItemOptions options;
  options.iconName = "halvaren-tessary-symbolic";
  options.title = "Halvaren Tessary";
  options.entries = {
      {"Otwórz Tessary", "", [this] { showWindowAction(); }},
      {"Panel w przeglądarce", "", [this] { openInBrowser(); }},
      {"", "", nullptr},
      {"Zakończ", "", [this] { quitAction(); }},
  };
  statusItem = desktop_.createStatusItem(options);
}

void AppDelegate::openInBrowser() {
  desktop_.openInBrowser(kPanelURL);
}

void AppDelegate::quitAction() {
  desktop_.quit();
}

}  // namespace tessary
