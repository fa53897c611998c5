// Asking the panel whether it answers.
#include "application/app_delegate.h"
#include "backend/probe.h"

namespace tessary {

void AppDelegate::checkPanel(double timeout, std::function<void(bool alive)> completion) {
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

}  // namespace tessary
