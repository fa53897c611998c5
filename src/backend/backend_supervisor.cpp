// The backend's supervision: the probe, the start, the poll, the restarts and the stop.
#include "backend/backend_supervisor.h"

#include "backend/backend_launch.h"
#include "backend/backend_texts.h"
#include "backend/probe.h"
#include "backend/ready_root.h"
#include "backend/shell_log.h"
#include "platform/files.h"

namespace tessary {

namespace {
// Waiting for a freshly started backend: a probe every half second, for a minute.
constexpr double kPollInterval = 0.5;
constexpr double kPollTimeout = 0.5;
constexpr double kPollDeadline = 60.0;
// Stopping it: politely, then by force after the grace, looked at every step meanwhile.
constexpr double kGracePeriod = 3.0;
constexpr double kWaitStep = 0.1;
}  // namespace

BackendSupervisor::BackendSupervisor(platform::System& system, const Locations& locations,
                                     Events events)
    : system_(system), locations_(locations), events_(std::move(events)) {}

void BackendSupervisor::checkPanel(double timeout, std::function<void(bool alive)> completion) {
  // Another user's server is never asked.
  if (!listenersAreOwn(system_.loopbackListenerOwners(kPanelPort), system_.currentUser())) {
    system_.post([completion = std::move(completion)] { completion(false); });
    return;
  }
  system_.probe(kPanelURL, timeout,
                [completion = std::move(completion)](std::optional<int> status) {
                  completion(probeAlive(status));
                });
}

void BackendSupervisor::startBackend(bool emptyLog) {
  auto root = readCodeRoot(locations_.approotFile);
  if (!root) {
    events_.needsSetup();
    return;
  }
  if (root->empty() || !platform::isDirectory(*root)) {
    events_.alert(kConfigAlertTitle, configAlertText(locations_.approotFile, *root));
    return;
  }
  const std::string home = system_.homeDirectory();

  platform::SpawnOptions options;
  options.argv = {"/bin/bash", "-lc",
                  backendCommandLine(*root, chooseUV(locations_.bundledUVDir, home))};
  options.workingDirectory = *root;
  // The server runs as a grandchild of the shell's uv: only a process group reaches both.
  options.ownSession = options.stoppedWithProgram = true;
  options.stopGrace = kGracePeriod;
  options.stopStep = kWaitStep;

  platform::createDirectories(locations_.appSupportDir);
  if (emptyLog) platform::createEmptyFile(locations_.shellLogFile);
  // Without a log the backend writes where the program does.
  if (auto log = std::make_shared<ShellLog>(locations_.shellLogFile); log->isOpen()) {
    options.output = platform::Output::Pipe;
    options.onOutput = [log](std::string_view bytes) { log->write(bytes); };
  }
  options.onExit = [this](int) { backendEnded(); };

  auto launched = system_.spawn(std::move(options));
  if (!launched.child) {
    events_.alert(kLaunchAlertTitle, launchAlertText(launched.error, home));
    return;
  }
  backend = std::move(launched.child);
  answered_ = false;
  beginPolling();
}

// A backend of ours that served the panel and then ended by itself (a crash, a kill) is
// started again, a few times at most, and then the user is told; one that never answered, or
// that the program itself stopped, is not.
void BackendSupervisor::backendEnded() {
  if (!answered_ || !backend) return;
  backend.reset();
  if (!restarts_.allow(system_.now())) {
    gaveUp_ = true;
    events_.alert(kBackendGaveUpTitle, backendGaveUpText(locations_.shellLogFile));
    return;
  }
  events_.restarting();
  startBackend(/*emptyLog=*/false);
}

void BackendSupervisor::tryAgain() {
  if (!std::exchange(gaveUp_, false)) return;
  restarts_.clear();
  events_.restarting();
  // A panel the user started meanwhile is shown; ours would only fail on the taken port.
  checkPanel(kLaunchProbeTimeout, [this](bool alive) {
    if (alive) {
      events_.panelAnswers();
    } else {
      startBackend(/*emptyLog=*/false);
    }
  });
}

void BackendSupervisor::beginPolling() {
  // A second call must not leave the first timer running beside the new one.
  if (pollTimer) pollTimer->invalidate();
  pollDeadline = system_.now() + kPollDeadline;
  pollTimer = system_.startRepeating(kPollInterval, [this] { pollTick(); });
}

void BackendSupervisor::pollTick() {
  if (answered_) {
    pollTimer->invalidate();
    return;
  }
  // The deadline goes before the in-flight test, so an outstanding probe cannot delay it.
  if (system_.now() > pollDeadline) {
    pollTimer->invalidate();
    events_.alert(kPollAlertTitle, pollAlertText(locations_.shellLogFile));
    return;
  }
  if (pollInFlight) return;
  pollInFlight = true;
  checkPanel(kPollTimeout, [this](bool alive) {
    pollInFlight = false;
    // A late answer still shows the panel, even after the alert.
    if (alive && !answered_) panelAnswered();
  });
}

void BackendSupervisor::panelAnswered() {
  answered_ = true;
  if (pollTimer) pollTimer->invalidate();
  events_.panelAnswers();
}

void BackendSupervisor::stopBackendIfOwned() {
  if (!backend) return;
  if (!backend->isRunning()) return;
  backend->terminate();
  const double deadline = system_.now() + kGracePeriod;
  // Its last words still reach the log, and a full pipe cannot keep it from ending.
  for (backend->readOutput(); backend->isRunning() && system_.now() < deadline;
       backend->readOutput())
    system_.sleep(kWaitStep);
  if (backend->isRunning()) backend->kill();
  backend->readOutput();
  backend.reset();
}

}  // namespace tessary
