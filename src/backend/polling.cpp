// Readiness polling: a probe every half second until the panel answers or a minute passes.
#include "backend/polling.h"

#include "application/app_delegate.h"

namespace tessary {

std::string pollAlertText(const std::string& shellLogFile) {
  return "Panel nie odpowiedział na http://127.0.0.1:8477 w ciągu 60 sekund.\n\n"
         "Zajrzyj do logu:\n" +
         shellLogFile + "\n\nalbo uruchom ręcznie w Terminalu: uv run tessary serve";
}

void AppDelegate::beginPolling() {
  // A second call must not leave the first timer running beside the new one.
  if (pollTimer) pollTimer->invalidate();
  pollDeadline = system_.now() + kPollDeadline;
  pollTimer = system_.startRepeating(kPollInterval, [this] { pollTick(); });
}

void AppDelegate::pollTick() {
  if (panelLoaded) {
    pollTimer->invalidate();
    return;
  }
  // The deadline goes before the in-flight test, so an outstanding probe cannot delay it.
  if (system_.now() > pollDeadline) {
    pollTimer->invalidate();
    configAlert(kPollAlertTitle, pollAlertText(locations_.shellLogFile));
    return;
  }
  if (pollInFlight) return;
  pollInFlight = true;
  checkPanel(kPollTimeout, [this](bool alive) {
    pollInFlight = false;
    // A late answer still loads the panel, even after the alert.
    if (alive && !panelLoaded) {
      if (pollTimer) pollTimer->invalidate();
      loadPanel();
    }
  });
}

}  // namespace tessary
