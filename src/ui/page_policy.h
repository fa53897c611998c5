// What the page may do: where it may navigate (the loopback host and local schemes, never to
// what a drop that no part of the page took carried), what it may ask for (nothing), which
// files a drop hands it, and the chooser its file inputs open. It keeps what was dropped last.
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/system.h"
#include "platform/web_view.h"

namespace tessary {

class PagePolicy {
 public:
  PagePolicy(platform::Desktop& desktop, platform::System& system);
  // Installs the answers on the view, for as long as it lives.
  void attach(platform::WebView& webView);

  bool decidePolicyForNavigation(const std::optional<platform::Address>& address);
  bool decidePermission(platform::Permission kind);
  void pageDropped(const platform::Drop& drop);
  void runOpenPanel(const platform::FileRequest& request, platform::FileListCompletion done);

 private:
  platform::Desktop& desktop_;
  platform::System& system_;
  platform::WebView* webView_ = nullptr;
  // What was dropped on the page last, and when.
  std::vector<std::string> dropped_;
  double droppedAt_ = -std::numeric_limits<double>::infinity();
};

}  // namespace tessary
