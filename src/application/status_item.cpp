// The status-area icon and its menu.
#include "application/app_delegate.h"
#include "application/application_texts.h"

namespace tessary {

void AppDelegate::buildStatusItem() {
  platform::StatusItemOptions options;
  options.id = kProgramName;
  options.iconName = "halvaren-tessary-symbolic";
  options.title = kProductName;
  options.entries = {
      {kStatusShow, 0, {}, [this] { showWindowAction(); }},
      {kStatusBrowser, 0, {}, [this] { openInBrowser(); }},
      {},
      {kStatusQuit, 0, {}, [this] { quitAction(); }},
  };
  statusItem = desktop_.createStatusItem(options);
}

void AppDelegate::openInBrowser() {
  desktop_.openInBrowser(kPanelURL);
}

// A quit the user asks for lets the page keep unsaved work: its question is shown in the
// window, and the program ends only when the user leaves.
void AppDelegate::quitAction() {
  window_.askToLeave([this] { desktop_.quit(); });
}

}  // namespace tessary
