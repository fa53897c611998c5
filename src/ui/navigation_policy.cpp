// What a page may do: the navigation rule, put to every navigation the web view is about to
// perform, and the answer to its permission requests.
#include "ui/navigation_policy.h"

#include <algorithm>
#include <string_view>

#include "application/app_delegate.h"

namespace tessary {

namespace {
constexpr double kDropFollowedWithin = 2.0;
}

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
  // The engine opens what a drop that no part of the page takes carried in place of the page:
  // that navigation, right after the drop, is refused.
  if (address && system_.now() - droppedAt_ < kDropFollowedWithin &&
      std::find(dropped_.begin(), dropped_.end(), address->uri) != dropped_.end()) {
    return false;
  }
  return allowNavigation(address);
}

// Counted from the drop, however long the drag was held before it. Only a drop from another
// program carries files: one that started in the page could name any file.
void AppDelegate::pageDropped(const platform::Drop& drop) {
  dropped_ = drop.dropped;
  droppedAt_ = system_.now();
  if (drop.fromOtherProgram && !drop.files.empty()) webView->handDroppedFiles(drop.files);
}

// The panel needs no location, device, notification or clipboard of the desktop: whatever a
// page asks for is refused, and the user is never prompted.
bool AppDelegate::decidePermission(platform::Permission) {
  return false;
}

}  // namespace tessary
