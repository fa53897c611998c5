// The backend's supervision: asking whether the panel answers, starting the backend through
// the user's login shell, waiting for it to answer, starting it again when it ends by itself,
// and stopping it at quit. It owns the backend process and the poll; what follows from it
// (the panel shown, the first run's setup, an alert) is told to whoever composes it.
#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "base/locations.h"
#include "base/recovery_limit.h"
#include "platform/system.h"

namespace tessary {

class BackendSupervisor {
 public:
  struct Events {
    std::function<void()> panelAnswers;  // a backend of ours (or another) answers: show it
    std::function<void()> needsSetup;    // there is no code root to start
    std::function<void()> restarting;    // the panel shown went away with its backend
    std::function<void(const std::string& title, const std::string& text)> alert;
  };
  BackendSupervisor(platform::System& system, const Locations& locations, Events events);

  void checkPanel(double timeout, std::function<void(bool alive)> completion);
  // emptyLog is false for a restart, which keeps the output of the run that ended.
  void startBackend(bool emptyLog = true);
  void beginPolling();
  // On every road out of the program: politely, then by force once the grace is over.
  void stopBackendIfOwned();
  // After a give-up, the user brought the window back: one more try, a panel that answers
  // meanwhile (one started by hand, say) shown instead. Nothing when it had not given up.
  void tryAgain();

 private:
  void backendEnded();
  void pollTick();
  void panelAnswered();

  platform::System& system_;
  const Locations& locations_;
  const Events events_;
  std::unique_ptr<platform::ChildProcess> backend;
  std::unique_ptr<platform::Timer> pollTimer;
  double pollDeadline = std::numeric_limits<double>::infinity();
  bool pollInFlight = false;
  // The backend of ours answered since it was started: only then does its end call for another.
  bool answered_ = false;
  RecoveryLimit restarts_{3, 300.0};
  bool gaveUp_ = false;
};

}  // namespace tessary
