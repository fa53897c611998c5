// The status-area icon and its menu.
#include "application/app_delegate.h"

namespace tessary {

void AppDelegate::buildStatusItem() {
  platform::StatusItemSpec spec;
  spec.iconName = "halvaren-tessary-symbolic";
  spec.title = "Halvaren Tessary";
  spec.entries = {
      {"Otwórz Tessary", "", [this] { showWindowAction(); }},
      {"Panel w przeglądarce", "", [this] { openInBrowser(); }},
      {"", "", nullptr},
      {"Zakończ", "", [this] { quitAction(); }},
  };
  statusItem = desktop_.createStatusItem(spec);
}

void AppDelegate::openInBrowser() {
  desktop_.openInBrowser(kPanelURL);
}

void AppDelegate::quitAction() {
  desktop_.quit();
}

}  // namespace tessary
