// Stopping the backend this run started, on every road out of the program.
#include "application/app_delegate.h"

namespace tessary {

namespace {
constexpr double kGracePeriod = 3.0;
constexpr double kWaitStep = 0.1;
}  // namespace

void AppDelegate::stopBackendIfOwned() {
  if (!backend) return;
  if (!backend->isRunning()) return;
  backend->terminate();
  const double deadline = system_.now() + kGracePeriod;
  while (backend->isRunning() && system_.now() < deadline) system_.sleep(kWaitStep);
  if (backend->isRunning()) backend->kill();
  backend.reset();
}

}  // namespace tessary
