// What a page may do: the navigation rule, put to every navigation the web view is about to
// perform, and the answer to its permission requests.
#include "ui/navigation_policy.h"

#include <string_view>

#include "application/app_delegate.h"

namespace tessary {

bool allowNavigation(const std::optional<platform::Address>& address) {
  if (!address) return false;
  if (address->scheme) {
    for (std::string_view scheme : {"about", "blob", "data", "file"}) {
      if (*address->scheme == scheme) return true;
    }
  }
  const std::string_view host = address->host ? std::string_view(*address->host) : "";
  return host == "127.0.0.1" || host == "localhost";
}

bool AppDelegate::decidePolicyForNavigation(const std::optional<platform::Address>& address) {
  return allowNavigation(address);
}

// The panel needs no location, device, notification or clipboard of the desktop: whatever a
// page asks for is refused, and the user is never prompted.
bool AppDelegate::decidePermission(platform::Permission) {
  return false;
}

}  // namespace tessary
