// Which addresses the web view may show.
#include "ui/navigation_policy.h"

#include <string_view>

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

}  // namespace tessary
