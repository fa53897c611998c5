// What a page may do: the navigation rule, put to every navigation the web view is about to
// perform, the answer to its permission requests, its drops and its file inputs.
#include "ui/page_policy.h"

#include "ui/navigation_policy.h"

#include <algorithm>

#include "ui/ui_texts.h"

namespace tessary {

namespace {
constexpr double kDropFollowedWithin = 2.0;
}

PagePolicy::PagePolicy(platform::Desktop& desktop, platform::System& system)
    : desktop_(desktop), system_(system) {}

void PagePolicy::attach(platform::WebView& webView) {
  webView_ = &webView;
  webView.setNavigationPolicy([this](const std::optional<platform::Address>& address) {
    return decidePolicyForNavigation(address);
  });
  webView.setPermissionPolicy([this](platform::Permission kind) { return decidePermission(kind); });
  webView.setDropHandler([this](const platform::Drop& drop) { pageDropped(drop); });
  webView.setFileRequestHandler(
      [this](const platform::FileRequest& request, platform::FileListCompletion done) {
        runOpenPanel(request, std::move(done));
      });
}

bool PagePolicy::decidePolicyForNavigation(const std::optional<platform::Address>& address) {
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
void PagePolicy::pageDropped(const platform::Drop& drop) {
  dropped_ = drop.dropped;
  droppedAt_ = system_.now();
  if (drop.fromOtherProgram && !drop.files.empty()) webView_->handDroppedFiles(drop.files);
}

// The panel needs no location, device, notification or clipboard of the desktop: whatever a
// page asks for is refused, and the user is never prompted.
bool PagePolicy::decidePermission(platform::Permission) {
  return false;
}

// File inputs of the page: a native chooser, one per request.
void PagePolicy::runOpenPanel(const platform::FileRequest& request,
                              platform::FileListCompletion done) {
  platform::FileChooserOptions options;
  options.title = kOpenPanelTitle;
  options.acceptLabel = kOpenPanelPrompt;
  options.chooseDirectories = request.allowsDirectories;
  options.multiple = request.allowsMultipleSelection;
  desktop_.chooseFiles(options, std::move(done));
}

}  // namespace tessary
