// The navigation rule, put to every navigation the web view is about to perform.
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

}  // namespace tessary
