// Stopping the backend this run started, on every road out of the program.
#include "backend/shutdown.h"

#include "application/app_delegate.h"

namespace tessary {

void AppDelegate::stopBackendIfOwned() {
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
